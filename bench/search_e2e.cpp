// End-to-end cost of `seed-searcher search`: process start to exit against
// the demo engines, next to a plain `curl` fetch of the same page, for a
// normal 10-row page and for a 2,000-row engine-1 page.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <thread>

#include "app/demo_engines.h"
#include "bench/support/run_counting.h"
#include "search/engine_search.h"

namespace {

using bench_support::ProgramPath;
using bench_support::RunCounting;

// The demo engines plus one extra engine-1 page of 2,000 rows.
struct Servers {
    app::DemoEngines demo;
    httplib::Server big;
    std::thread big_thread;
    int big_port = 0;

    Servers() {
        demo.Start();
        std::vector<const app::DemoItem*> rows;
        const auto catalogue = app::DemoCatalogue();
        for (std::size_t i = 0; i < 2000; ++i) rows.push_back(&catalogue[i % catalogue.size()]);
        const std::string page = app::RenderEngine1Page(rows, "", 1);
        big.Get(".*", [page](const httplib::Request&, httplib::Response& response) {
            response.set_content(page, "text/html; charset=utf-8");
        });
        big_port = big.bind_to_any_port("127.0.0.1");
        big_thread = std::thread([this] { big.listen_after_bind(); });
        while (!big.is_running()) usleep(1000);
    }
    ~Servers() {
        big.stop();
        big_thread.join();
    }
    std::string BigRoot() const { return "http://127.0.0.1:" + std::to_string(big_port); }
};

Servers& TheServers() {
    static Servers servers;
    return servers;
}

void Report(benchmark::State& state, long lines, long expected) {
    if (lines != expected) {
        state.SkipWithError(("expected " + std::to_string(expected) + " lines, got " +
                             std::to_string(lines)).c_str());
    }
    state.counters["rows"] = static_cast<double>(lines);
}

void BM_CliSearch10Rows(benchmark::State& state) {
    const std::string root = "1=" + TheServers().demo.Sites().engine_roots[0];
    long lines = 0;
    for (auto _ : state) lines = RunCounting(ProgramPath(), {"search", "--engine-root", root, ""});
    Report(state, lines, 10);
}

// The program starts its own demo engines (nothing configured).
void BM_CliSearch10RowsBuiltInDemo(benchmark::State& state) {
    setenv("XDG_CONFIG_HOME", "/nonexistent-seed-searcher-bench", 1);
    long lines = 0;
    for (auto _ : state) lines = RunCounting(ProgramPath(), {"search", ""});
    Report(state, lines, 10);
}

void BM_Curl10Rows(benchmark::State& state) {
    const std::string url = TheServers().demo.Sites().engine_roots[0] + "/?s=&p=1";
    long lines = 0;
    for (auto _ : state) lines = RunCounting("curl", {"-s", url});
    state.counters["lines"] = static_cast<double>(lines);
    if (lines <= 0) state.SkipWithError("curl failed");
}

void BM_CliSearch2000Rows(benchmark::State& state) {
    const std::string root = "1=" + TheServers().BigRoot();
    long lines = 0;
    for (auto _ : state) lines = RunCounting(ProgramPath(), {"search", "--engine-root", root, ""});
    Report(state, lines, 2000);
}

void BM_Curl2000Rows(benchmark::State& state) {
    const std::string url = TheServers().BigRoot() + "/?s=&p=1";
    long lines = 0;
    for (auto _ : state) lines = RunCounting("curl", {"-s", url});
    state.counters["lines"] = static_cast<double>(lines);
    if (lines <= 0) state.SkipWithError("curl failed");
}

// The same 2,000-row search inside this process: fetch, decode, extract.
void BM_InProcessSearch2000Rows(benchmark::State& state) {
    const search::SearchEngine engine = search::MakeSearchEngine(1, TheServers().BigRoot());
    int rows = 0;
    for (auto _ : state) {
        rows = search::RunEngineSearch(engine, "", 1, [](std::vector<std::string>&& cells) {
            benchmark::DoNotOptimize(cells);
        });
    }
    Report(state, rows, 2000);
}

BENCHMARK(BM_CliSearch10Rows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliSearch10RowsBuiltInDemo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Curl10Rows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliSearch2000Rows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Curl2000Rows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InProcessSearch2000Rows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
