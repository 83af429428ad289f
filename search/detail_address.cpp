#include "search/detail_address.h"

#include "search/engine_search.h"
#include "services/encoding.h"

namespace search {

std::string TextBetween(std::string_view text, std::string_view start, std::string_view end) {
    const std::size_t start_at = text.find(start);
    if (start_at == std::string_view::npos) return {};
    const std::string_view rest = text.substr(start_at + start.size());
    const std::size_t end_at = rest.find(end);
    if (end_at == std::string_view::npos) return {};
    return std::string(rest.substr(0, end_at));
}

PageResult ResolveDetailAddressResult(std::string_view detail_url,
                                      std::optional<services::CancelToken> cancel) {
    const SearchEngine* engine = BuiltInEngine(2);
    if (engine == nullptr || !engine->detail) {
        return {.failure = services::HttpFailure::BadAddress, .detail = "no detail page rule"};
    }
    return ResolveDetailAddressResult(detail_url, *engine->detail, std::move(cancel));
}

PageResult ResolveDetailAddressResult(std::string_view detail_url, const DetailRule& rule,
                                      std::optional<services::CancelToken> cancel) {
    if (detail_url.empty()) {
        return {.failure = services::HttpFailure::BadAddress, .detail = "no detail address"};
    }
    PageResult result = FetchRawTextResult(detail_url, std::move(cancel));
    if (result.Failed()) {
        result.text.clear();
        return result;
    }
    // Converted once, like the result pages of engines 1 and 2.
    result.text = TextBetween(services::PercentDecode(result.text, /*to_gbk=*/true), rule.start,
                              rule.end);
    return result;
}

std::string ResolveDetailAddress(std::string_view detail_url) {
    return ResolveDetailAddressResult(detail_url).text;
}

}  // namespace search
