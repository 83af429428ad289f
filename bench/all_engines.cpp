// `seed-searcher search --engine all` against three loopback engines that
// each take 300 ms to answer: the engines run at once, so the whole search
// should take about as long as the slowest one (aim: at most 400 ms from
// process start to exit), not the 900 ms of the sum. One engine alone is
// measured next to it for the process's own cost, and the parallel search
// inside one process without it.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <array>
#include <memory>
#include <thread>

#include "app/demo_engines.h"
#include "bench/support/run_counting.h"
#include "search/multi_search.h"

namespace {

using bench_support::ProgramPath;
using bench_support::RunCounting;

constexpr int kDelayMs = 300;

// One slow site per engine, each answering every request with a page of
// ten catalogue rows in that engine's format after kDelayMs.
class SlowEngines {
public:
    SlowEngines() {
        std::vector<const app::DemoItem*> rows;
        const auto catalogue = app::DemoCatalogue();
        for (std::size_t i = 0; i < 10; ++i) rows.push_back(&catalogue[i % catalogue.size()]);
        for (std::size_t e = 0; e < m_servers.size(); ++e) {
            auto& server = m_servers[e];
            server = std::make_unique<httplib::Server>();
            const int port = server->bind_to_any_port("127.0.0.1");
            m_roots[e] = "http://127.0.0.1:" + std::to_string(port);
            std::string page;
            const char* type = "text/html; charset=utf-8";
            switch (e) {
                case 0: page = app::RenderEngine1Page(rows, "", 1); break;
                case 1: page = app::RenderEngine2Page(rows, "", 1, m_roots[e]); break;
                default:
                    page = app::RenderEngine3Page(rows, "", 1);
                    type = "text/html; charset=gbk";
                    break;
            }
            server->Get(".*", [page, type](const httplib::Request&, httplib::Response& response) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kDelayMs));
                response.set_content(page, type);
            });
            m_threads[e] = std::thread([&server] { server->listen_after_bind(); });
            while (!server->is_running()) usleep(1000);
        }
    }
    ~SlowEngines() {
        for (std::size_t e = 0; e < m_servers.size(); ++e) {
            m_servers[e]->stop();
            m_threads[e].join();
        }
    }
    std::vector<std::string> RootOptions() const {
        std::vector<std::string> options;
        for (std::size_t e = 0; e < m_roots.size(); ++e) {
            options.push_back("--engine-root");
            options.push_back(std::to_string(e + 1) + "=" + m_roots[e]);
        }
        return options;
    }

private:
    std::array<std::unique_ptr<httplib::Server>, 3> m_servers;
    std::array<std::thread, 3> m_threads;
    std::array<std::string, 3> m_roots;
};

SlowEngines& TheEngines() {
    static SlowEngines engines;
    return engines;
}

void Measure(benchmark::State& state, std::vector<std::string> engine_options, long expected) {
    setenv("XDG_CONFIG_HOME", "/nonexistent-seed-searcher-bench", 1);
    std::vector<std::string> args{"search"};
    args.insert(args.end(), engine_options.begin(), engine_options.end());
    for (const std::string& option : TheEngines().RootOptions()) args.push_back(option);
    args.push_back("");
    long lines = 0;
    for (auto _ : state) lines = RunCounting(ProgramPath(), args, bench_support::Stderr::Discard);
    if (lines != expected) {
        state.SkipWithError(("expected " + std::to_string(expected) + " lines, got " +
                             std::to_string(lines)).c_str());
    }
    state.counters["rows"] = static_cast<double>(lines);
}

void BM_AllEnginesEachTaking300ms(benchmark::State& state) {
    Measure(state, {"--engine", "all"}, 30);
}

void BM_OneEngineTaking300ms(benchmark::State& state) {
    Measure(state, {"--engine", "3"}, 10);
}

// The parallel search alone, inside this process: the part that must cost
// the slowest engine and not the sum, without the program's start-up.
void BM_InProcessAllEngines(benchmark::State& state) {
    const std::vector<std::string> options = TheEngines().RootOptions();
    std::vector<search::SearchEngine> engines;
    for (int n = 1; n <= 3; ++n) {
        const std::string& option = options[static_cast<std::size_t>(2 * n - 1)];
        engines.push_back(search::MakeSearchEngine(n, option.substr(2)));
    }
    std::vector<const search::SearchEngine*> selected;
    for (const auto& engine : engines) selected.push_back(&engine);
    std::size_t rows = 0;
    for (auto _ : state) {
        rows = 0;
        for (const auto& outcome : search::SearchEngines(selected, "", 1)) rows += outcome.rows.size();
    }
    if (rows != 30) state.SkipWithError(("expected 30 rows, got " + std::to_string(rows)).c_str());
    state.counters["rows"] = static_cast<double>(rows);
}

BENCHMARK(BM_AllEnginesEachTaking300ms)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OneEngineTaking300ms)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InProcessAllEngines)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
