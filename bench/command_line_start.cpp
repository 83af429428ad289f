// Whole-process start of the command line next to curl doing the same kind
// of job, in pairs run back to back so that both see the same machine:
//   Version   `seed-searcher --version`  and  `curl --version`
//   Help      `seed-searcher --help`     and  `curl --help`
//   Search    `seed-searcher search` of a loopback demo engine  and  `curl`
//             fetching the same result page
// Counters: the median milliseconds of each side over the pairs and their
// ratio (the program's median over curl's).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/demo_engines.h"
#include "bench/support/program_start.h"

extern char** environ;

namespace {

using bench_support::NowMs;

// Runs a program with its output discarded; its wall time in milliseconds,
// or -1 when it did not exit with status 0.
double TimedRun(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const double start = NowMs();
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double elapsed = NowMs() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string Program() { return bench_support::ExecutableDirectory() + "/../seed-searcher"; }

app::DemoEngines& Engines() {
    static app::DemoEngines engines;
    static const bool started = engines.Start();
    (void)started;
    return engines;
}

void RunPairs(benchmark::State& state, const std::vector<std::string>& ours,
              const std::vector<std::string>& curl) {
    std::vector<double> our_times;
    std::vector<double> curl_times;
    for (auto _ : state) {
        const double mine = TimedRun(ours);
        const double theirs = TimedRun(curl);
        if (mine < 0 || theirs < 0) {
            state.SkipWithError(mine < 0 ? "seed-searcher failed" : "curl failed");
            return;
        }
        our_times.push_back(mine);
        curl_times.push_back(theirs);
        state.SetIterationTime((mine + theirs) / 1000.0);
    }
    const double our_median = Median(our_times);
    const double curl_median = Median(curl_times);
    state.counters["seed_ms"] = our_median;
    state.counters["curl_ms"] = curl_median;
    state.counters["ratio"] = curl_median > 0 ? our_median / curl_median : 0;
}

void BM_Version(benchmark::State& state) {
    RunPairs(state, {Program(), "--version"}, {"curl", "--version"});
}

void BM_Help(benchmark::State& state) {
    RunPairs(state, {Program(), "--help"}, {"curl", "--help"});
}

void BM_Search(benchmark::State& state) {
    const std::string root = Engines().Sites().engine_roots[0];
    RunPairs(state, {Program(), "search", "--engine-root", "1=" + root, "linux"},
             {"curl", "-s", root + "/?s=linux&p=1"});
}

constexpr int kPairs = 21;
BENCHMARK(BM_Version)->Iterations(kPairs)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Help)->Iterations(kPairs)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search)->Iterations(kPairs)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
