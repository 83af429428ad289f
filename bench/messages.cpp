// Message throughput of the window-system core on the headless backend:
// post + get + dispatch round trips, direct sends, and mouse input from the
// backend queue to the window procedure.

#include <benchmark/benchmark.h>

#include "bench/support/headless_scene.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

using namespace plat;

int64_t g_handled = 0;

LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_USER || message == WM_MOUSEMOVE) {
        ++g_handled;
        return 0;
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

HWND MakeWindow() { return bench_support::MakeWindow(CountingProc); }

void BM_PostGetDispatch(benchmark::State& state) {
    HWND hwnd = MakeWindow();
    MSG msg;
    for (auto _ : state) {
        PostMessage(hwnd, WM_USER, 1, 2);
        GetMessage(&msg, nullptr, 0, 0);
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    state.SetItemsProcessed(state.iterations());
    headless::Reset();
}
BENCHMARK(BM_PostGetDispatch);

// A burst of posts drained by the loop, as redraw requests arrive.
void BM_PostBurstThenDrain(benchmark::State& state) {
    HWND hwnd = MakeWindow();
    const int burst = static_cast<int>(state.range(0));
    MSG msg;
    for (auto _ : state) {
        for (int i = 0; i < burst; ++i) PostMessage(hwnd, WM_USER, static_cast<WPARAM>(i), 0);
        for (int i = 0; i < burst; ++i) {
            GetMessage(&msg, nullptr, 0, 0);
            DispatchMessage(&msg);
        }
    }
    state.SetItemsProcessed(state.iterations() * burst);
    headless::Reset();
}
BENCHMARK(BM_PostBurstThenDrain)->Arg(100)->Arg(5000);

void BM_SendMessage(benchmark::State& state) {
    HWND hwnd = MakeWindow();
    for (auto _ : state) benchmark::DoNotOptimize(SendMessage(hwnd, WM_USER, 1, 2));
    state.SetItemsProcessed(state.iterations());
    headless::Reset();
}
BENCHMARK(BM_SendMessage);

void BM_MouseMoveRoundTrip(benchmark::State& state) {
    HWND hwnd = MakeWindow();
    MSG msg;
    int x = 0;
    for (auto _ : state) {
        x = (x + 1) % 300;
        headless::MouseMove(hwnd, POINT{x, 10});
        GetMessage(&msg, nullptr, 0, 0);
        DispatchMessage(&msg);
    }
    state.SetItemsProcessed(state.iterations());
    headless::Reset();
}
BENCHMARK(BM_MouseMoveRoundTrip);

}  // namespace

BENCHMARK_MAIN();
