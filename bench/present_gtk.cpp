// Putting pixels on screen through the GTK backend: a whole 470 x 390
// window (the main window's size) and a 65 x 26 rectangle (a button), each
// presented and flushed to the X server. Run under an X server, e.g.
// `xvfb-run -a -s "-screen 0 1280x1024x24" ./bench_present_gtk`.

#include <algorithm>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/backend.h"
#include "platform/platform.h"

namespace {

using namespace plat;

constexpr int kWidth = 470;
constexpr int kHeight = 390;

LRESULT QuietProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProc(hwnd, message, wparam, lparam);
}

struct Scene {
    HWND window = nullptr;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(static_cast<size_t>(kWidth) * kHeight);
    SurfaceView View() const {
        return SurfaceView{reinterpret_cast<const uint8_t*>(pixels.data()), kWidth, kHeight, kWidth * 4};
    }
    // Alternating contents, so every push really changes the screen.
    void Fill(uint32_t colour) { std::fill(pixels.begin(), pixels.end(), colour); }
};

Scene* TheScene() {
    static Scene* scene = [] {
        static Scene instance;
        Initialise(Backend::Gtk);
        if (CurrentWindowSystem() == nullptr) return static_cast<Scene*>(nullptr);
        WNDCLASSEX window_class;
        window_class.lpfnWndProc = QuietProc;
        window_class.lpszClassName = "PresentBench";
        RegisterClassEx(&window_class);
        instance.window = CreateWindowEx(0, "PresentBench", "bench", WS_POPUP | WS_VISIBLE, 100, 100,
                                         kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
        // Let the window map before measuring.
        const uint64_t until = GetTickCount64() + 300;
        MSG msg;
        while (GetTickCount64() < until) {
            while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
            CurrentWindowSystem()->WaitForInput(GetTickCount64() + 10);
        }
        return &instance;
    }();
    return scene;
}

void PresentRect(benchmark::State& state, RECT rect) {
    Scene* scene = TheScene();
    if (scene == nullptr || scene->window == nullptr) {
        state.SkipWithError("needs an X display");
        return;
    }
    uint32_t colour = 0xFF204060u;
    for (auto _ : state) {
        state.PauseTiming();
        colour ^= 0x00FFFFFFu;
        scene->Fill(colour);
        state.ResumeTiming();
        Present(scene->window, scene->View(), rect);
        FlushScreen();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PresentWholeWindow(benchmark::State& state) { PresentRect(state, RECT{0, 0, kWidth, kHeight}); }
void BM_PresentButtonRect(benchmark::State& state) { PresentRect(state, RECT{200, 300, 265, 326}); }

BENCHMARK(BM_PresentWholeWindow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentButtonRect)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
