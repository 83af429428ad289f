#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "search/engine_search.h"

namespace search {

// The text after the first `start` marker up to, not including, the first
// `end` marker that follows it. Both searches are case-sensitive. Empty when
// either marker is missing.
std::string TextBetween(std::string_view text, std::string_view start, std::string_view end);

// A detail lookup: fetches the detail page at `detail_url` and returns the
// download address between the rule's markers (GBK), or an empty text when
// the page has none or cannot be fetched. The page is taken as raw bytes and
// converted exactly once while percent-decoding, like a percent-decoded
// result page. Without a rule, built-in engine 2's is used.
std::string ResolveDetailAddress(std::string_view detail_url);

// The same with the reason of a failed fetch; `text` is the address. A page
// that was fetched but holds no address is no failure: its text is empty.
// Fetch and search only, so it may run on a worker thread.
PageResult ResolveDetailAddressResult(std::string_view detail_url,
                                      std::optional<services::CancelToken> cancel = {});
PageResult ResolveDetailAddressResult(std::string_view detail_url, const DetailRule& rule,
                                      std::optional<services::CancelToken> cancel = {});

}  // namespace search
