// Each engine's extraction pattern over arbitrary pages (the first byte
// picks the engine), with the JIT and with the interpreter: both must find
// the same matches with the same group texts unless a limit stopped one.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "search/engine_search.h"
#include "search/search_engine.h"
#include "services/regex_engine.h"

namespace {

// Budgets well below the program's: an input that uses one up proves
// nothing more by running longer, and the fuzzer tries more inputs. The
// extraction gets four times the budget of the compared runs, so that it
// cannot run out of time where the JIT run, doing the same work, did not.
constexpr std::uint32_t kCompareBudgetMs = 250;

services::RegexLimits FuzzLimits(bool jit, std::uint32_t budget_ms = kCompareBudgetMs) {
    services::RegexLimits limits;
    limits.use_jit = jit;
    limits.match_limit = 200'000;
    limits.time_budget_ms = budget_ms;
    return limits;
}

services::RegexEngine Run(std::string_view pattern, std::string_view page, bool jit) {
    services::RegexEngine regex(FuzzLimits(jit));
    regex.Compile(pattern, std::string(page));
    return regex;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int number = 1 + data[0] % search::kEngineCount;
    const std::string_view page(reinterpret_cast<const char*>(data) + 1, size - 1);
    const search::SearchEngine engine = search::MakeSearchEngine(number, "http://fuzz.invalid");

    int rows = 0;
    search::ExtractResults(
        engine, std::string(page),
        [&](std::vector<std::string>&& cells) {
            if (cells.size() != engine.columns.size()) std::abort();
            for (const std::string& cell : cells) {
                if (cell.size() > page.size()) std::abort();
            }
            ++rows;
        },
        FuzzLimits(true, 4 * kCompareBudgetMs));

    const services::RegexEngine jit = Run(engine.pattern, page, true);
    const services::RegexEngine interpreter = Run(engine.pattern, page, false);
    if (jit.LimitReached() || interpreter.LimitReached()) return 0;
    if (jit.MatchCount() != interpreter.MatchCount() || jit.MatchCount() != rows) std::abort();
    for (int match = 1; match <= jit.MatchCount(); ++match) {
        int jit_at = 0;
        int interpreter_at = 0;
        if (jit.MatchText(match, &jit_at) != interpreter.MatchText(match, &interpreter_at) ||
            jit_at != interpreter_at) {
            std::abort();
        }
        for (int group = 1; group <= jit.SubmatchCount(); ++group) {
            if (jit.SubmatchText(match, group) != interpreter.SubmatchText(match, group)) {
                std::abort();
            }
        }
    }
    return 0;
}
