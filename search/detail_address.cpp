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

std::string ResolveDetailAddress(std::string_view detail_url) {
    if (detail_url.empty()) return {};
    // Converted once, like the result pages of engines 1 and 2.
    const std::string text = services::PercentDecode(FetchRawText(detail_url), /*to_gbk=*/true);
    return TextBetween(text, " readonly>", "</textarea>");
}

}  // namespace search
