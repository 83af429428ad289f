#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/search_engine.h"
#include "services/regex_engine.h"
#include "services/http.h"

namespace search {

// Receives one result row: the cells in column order, each the verbatim text
// (GBK) of one pattern group; a group that took no part in the match gives an
// empty cell. The report list binding is one such sink.
using RowSink = std::function<void(std::vector<std::string>&& cells)>;

// What a fetch delivered: a text in GBK (a result page, or an address) and,
// when the fetch failed, why. The text is empty on every failure except
// HttpStatus, where it is the server's error page.
struct PageResult {
    std::string text{};
    long status = 0;
    services::HttpFailure failure = services::HttpFailure::None;
    std::string detail{};  // the transport's message, ASCII

    bool Failed() const { return failure != services::HttpFailure::None; }
};

// The keyword as every engine expects it: converted from GBK to UTF-8 and
// every byte written as "%" and two upper-case hex digits.
std::string EncodeSearchKeyword(std::string_view keyword_gbk);

// A GET of `url` like FetchText (the body up to its first zero byte, empty on
// any failure) but without the HTTP routine's UTF-8 to GBK conversion.
std::string FetchRawText(std::string_view url);
PageResult FetchRawTextResult(std::string_view url,
                              std::optional<services::CancelToken> cancel = {});

// Fetches one result page of the engine and returns its text in GBK, ready
// for ExtractResults. A percent-decoded engine receives the body untouched
// and converts it exactly once, while percent-decoding (the display names
// inside its magnet links are percent-encoded UTF-8); any other engine's
// body is taken as the HTTP routine delivers it. Any network failure yields
// an empty text.
std::string FetchEnginePage(const SearchEngine& engine, std::string_view keyword_gbk, int page);

// FetchEnginePage with the reason of a failure. It only fetches and
// converts, touches no user interface and no shared state, so it may run on
// a worker thread while ExtractResults runs later on the user-interface
// thread. A failed fetch carries no text: an error page is not searched.
// Cancelling `cancel` from another thread ends the fetch as Cancelled.
PageResult FetchEnginePageResult(const SearchEngine& engine, std::string_view keyword_gbk,
                                 int page, std::optional<services::CancelToken> cancel = {});

// Runs the engine's pattern over the page text and calls the sink once per
// match, in page order. Returns the number of rows delivered.
// The page is kept while the rows are read out: pass it with std::move to
// spare a copy of a large page.
// The limits bound the pattern's work on a hostile page; the defaults are
// the program's.
int ExtractResults(const SearchEngine& engine, std::string page_text, const RowSink& sink,
                   const services::RegexLimits& limits = {});

// FetchEnginePage followed by ExtractResults: one whole search without a
// user interface.
int RunEngineSearch(const SearchEngine& engine, std::string_view keyword_gbk, int page,
                    const RowSink& sink);

}  // namespace search
