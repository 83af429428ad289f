// Work crossing threads on the headless backend: messages a worker posts
// and the UI loop drains, the round trip of one background job, and a batch
// of concurrent jobs.

#include <benchmark/benchmark.h>

#include <thread>

#include "bench/support/headless_scene.h"
#include "platform/background.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

using namespace plat;

constexpr UINT kWorkerMessage = WM_APP + 1;
int64_t g_received = 0;

LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kWorkerMessage) {
        ++g_received;
        return 0;
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

HWND MakeWindow() { return bench_support::MakeWindow(CountingProc); }

// Runs the loop until `done` holds; the headless backend waits in real time
// while jobs are pending.
template <class Done>
void LoopUntil(Done done) {
    MSG msg;
    while (!done() && GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
}

// A worker posts a burst of messages; the UI loop retrieves and dispatches
// them while they arrive.
void BM_WorkerPostsUiDrains(benchmark::State& state) {
    HWND hwnd = MakeWindow();
    const int burst = static_cast<int>(state.range(0));
    for (auto _ : state) {
        g_received = 0;
        std::thread worker([hwnd, burst] {
            for (int i = 0; i < burst; ++i) {
                while (!PostMessage(hwnd, kWorkerMessage, static_cast<WPARAM>(i), 0)) std::this_thread::yield();
            }
        });
        while (g_received < burst) headless::PumpMessages();
        worker.join();
    }
    state.SetItemsProcessed(state.iterations() * burst);
    headless::Reset();
}
BENCHMARK(BM_WorkerPostsUiDrains)->Arg(1000)->UseRealTime();

// One job from RunInBackground to its result on the UI thread, the loop
// blocked meanwhile.
void BM_JobRoundTrip(benchmark::State& state) {
    HWND hwnd = MakeWindow();
    for (auto _ : state) {
        bool delivered = false;
        RunInBackground(hwnd, [] { return 1; }, [&delivered](int) { delivered = true; });
        LoopUntil([&delivered] { return delivered; });
    }
    state.SetItemsProcessed(state.iterations());
    headless::Reset();
}
BENCHMARK(BM_JobRoundTrip)->UseRealTime();

// A batch of jobs started at once, all results back on the UI thread.
void BM_ConcurrentJobs(benchmark::State& state) {
    HWND hwnd = MakeWindow();
    const int jobs = static_cast<int>(state.range(0));
    for (auto _ : state) {
        int delivered = 0;
        for (int i = 0; i < jobs; ++i) {
            RunInBackground(hwnd, [i] { return i; }, [&delivered](int) { ++delivered; });
        }
        LoopUntil([&] { return delivered == jobs; });
    }
    state.SetItemsProcessed(state.iterations() * jobs);
    headless::Reset();
}
BENCHMARK(BM_ConcurrentJobs)->Arg(64)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
