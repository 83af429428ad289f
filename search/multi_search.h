#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "search/engine_search.h"
#include "search/search_engine.h"

namespace search {

// One engine's part of a search over several engines. `page` holds the
// failure (its text is dropped once the rows are read out).
struct EngineOutcome {
    const SearchEngine* engine = nullptr;
    PageResult page;
    std::vector<std::vector<std::string>> rows;  // GBK cells, in page order
    double seconds = 0;                          // fetch and extraction
};

// Searches one page of every engine at once, each on its own thread, so the
// whole takes as long as the slowest engine rather than the sum. Returns one
// outcome per engine in the order given, after every engine has ended (each
// one bounded by the HTTP time limits). The engines must outlive the call.
std::vector<EngineOutcome> SearchEngines(const std::vector<const SearchEngine*>& engines,
                                         std::string_view keyword_gbk, int page);

}  // namespace search
