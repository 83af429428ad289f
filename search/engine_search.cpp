#include "search/engine_search.h"

#include "services/encoding.h"
#include "services/http.h"
#include "services/regex_engine.h"

namespace search {

PageResult FetchRawTextResult(std::string_view url, std::optional<services::CancelToken> cancel) {
    services::HttpRequestOptions options;
    options.convert_charset = false;
    options.cancel = std::move(cancel);
    services::HttpResult fetched = services::WebRequestResult(url, options);
    PageResult result;
    result.text = std::move(fetched.body);
    result.status = fetched.status;
    result.failure = fetched.failure;
    result.detail = std::move(fetched.detail);
    // Like FetchText, the text ends at the first zero byte.
    if (const std::size_t nul = result.text.find('\0'); nul != std::string::npos) {
        result.text.resize(nul);
    }
    return result;
}

std::string FetchRawText(std::string_view url) {
    return FetchRawTextResult(url).text;
}

std::string EncodeSearchKeyword(std::string_view keyword_gbk) {
    return services::PercentEncode(keyword_gbk, /*keep_unreserved=*/false, /*to_utf8=*/true);
}

PageResult FetchEnginePageResult(const SearchEngine& engine, std::string_view keyword_gbk,
                                 int page, std::optional<services::CancelToken> cancel) {
    const std::string encoded =
        engine.keyword_encoding == KeywordEncoding::Gbk
            ? services::PercentEncode(keyword_gbk, /*keep_unreserved=*/false, /*to_utf8=*/false)
            : EncodeSearchKeyword(keyword_gbk);
    const std::string address = BuildSearchAddress(engine, encoded, page);
    if (address.empty()) {
        return {.failure = services::HttpFailure::BadAddress, .detail = "no such engine"};
    }
    if (engine.address.starts_with("{root}") && engine.site_root.empty()) {
        return {.failure = services::HttpFailure::BadAddress, .detail = "no site root for the engine"};
    }
    if (engine.page_decoding == PageDecoding::AsServed) {
        services::HttpResult fetched = services::FetchTextResult(address, std::move(cancel));
        PageResult result{.status = fetched.status,
                          .failure = fetched.failure,
                          .detail = std::move(fetched.detail)};
        if (!result.Failed()) result.text = std::move(fetched.body);
        return result;
    }

    // The HTTP routine would already turn a body marked "charset=utf-8" into
    // GBK, and decoding would then convert it a second time and garble every
    // non-ASCII character. Take the raw bytes and convert once, after the
    // escapes have been resolved.
    PageResult result = FetchRawTextResult(address, std::move(cancel));
    if (result.Failed()) {
        result.text.clear();
        return result;
    }
    // One step at a time, each copy released before the next is made, so a
    // large page is never held three times over.
    std::string decoded = services::PercentDecode(result.text, /*to_gbk=*/false);
    result.text = std::string();
    result.text = services::Utf8ToGbk(decoded);
    return result;
}

std::string FetchEnginePage(const SearchEngine& engine, std::string_view keyword_gbk, int page) {
    return FetchEnginePageResult(engine, keyword_gbk, page).text;
}

int ExtractResults(const SearchEngine& engine, std::string page_text, const RowSink& sink,
                   const services::RegexLimits& limits) {
    if (engine.pattern.empty() || engine.columns.empty()) return 0;
    services::RegexEngine regex(limits);
    regex.Compile(engine.pattern, std::move(page_text), engine.case_sensitive, engine.multi_line,
                  /*global=*/true, engine.quote_token);
    const int count = regex.MatchCount();
    for (int match = 1; match <= count; ++match) {
        std::vector<std::string> cells;
        cells.reserve(engine.columns.size());
        for (const Column& column : engine.columns) {
            cells.push_back(regex.SubmatchText(match, column.group));
        }
        sink(std::move(cells));
    }
    return count;
}

int RunEngineSearch(const SearchEngine& engine, std::string_view keyword_gbk, int page,
                    const RowSink& sink) {
    return ExtractResults(engine, FetchEnginePage(engine, keyword_gbk, page), sink);
}

}  // namespace search
