#include "search/multi_search.h"

#include <time.h>

#include <thread>

namespace search {
namespace {

// <chrono> cannot be compiled with a GBK execution character set.
double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

std::vector<EngineOutcome> SearchEngines(const std::vector<const SearchEngine*>& engines,
                                         std::string_view keyword_gbk, int page) {
    std::vector<EngineOutcome> outcomes(engines.size());
    const std::string keyword(keyword_gbk);
    std::vector<std::jthread> workers;
    workers.reserve(engines.size());
    for (std::size_t i = 0; i < engines.size(); ++i) {
        outcomes[i].engine = engines[i];
        // Each worker writes only its own outcome.
        workers.emplace_back([&outcome = outcomes[i], &keyword, page] {
            const double start = MonotonicSeconds();
            outcome.page = FetchEnginePageResult(*outcome.engine, keyword, page);
            if (!outcome.page.Failed()) {
                ExtractResults(*outcome.engine, std::move(outcome.page.text),
                               [&outcome](std::vector<std::string>&& cells) {
                                   outcome.rows.push_back(std::move(cells));
                               });
            }
            outcome.page.text = std::string();
            outcome.seconds = MonotonicSeconds() - start;
        });
    }
    workers.clear();  // joins
    return outcomes;
}

}  // namespace search
