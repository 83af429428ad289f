// Composition cost of a host window: the whole 470 x 390 main window with 30
// controls, and the repaint of one 65 x 26 control when the mouse enters it
// (paint with a cross-fade snapshot, compose its rectangle, present). A plain
// copy of the same pixels is the floor.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/support/headless_scene.h"
#include "dui/core/canvas.h"
#include "dui/core/control.h"
#include "dui/core/host_window.h"
#include "platform/platform.h"

namespace {

constexpr int kWindowWidth = 470;
constexpr int kWindowHeight = 390;
constexpr int kControlWidth = 65;
constexpr int kControlHeight = 26;

// A button-like control: a gradient face with a rounded outline, changing
// its look with a cross-fade as the text controls do.
class FaceControl : public dui::ExControl {
public:
    ~FaceControl() override { Destroy(); }
    intptr_t OnMessage(uint32_t message, uintptr_t, intptr_t) override {
        if (message == plat::WM_PAINT) Paint();
        return dui::kNotHandled;
    }
    void Hover(bool on) {
        m_hover = on;
        FadeAlpha(51);
        Paint();
    }

private:
    void Paint() {
        dui::ExCanvas* canvas = BeginPaint();
        if (canvas == nullptr) return;
        const dui::RectF face{0, 0, float(canvas->Width()), float(canvas->Height())};
        canvas->FillGradient(face, dui::ArgbOf(m_hover ? 153 : 21, 255, 255, 255),
                             dui::ArgbOf(m_hover ? 21 : 102, 0, 0, 0));
        canvas->DrawRoundRect(face, 3, dui::ArgbOf(70, 0, 0, 0));
        EndPaint();
    }
    bool m_hover = false;
};

struct Scene : bench_support::HeadlessHost {
    Scene() : HeadlessHost(0xE0C080) {
        for (int i = 0; i < 30; ++i) {
            auto control = std::make_unique<FaceControl>();
            const float left = float(20 + (i % 5) * 85);
            const float top = float(40 + (i / 5) * 55);
            control->Create(window, dui::RectF{left, top, kControlWidth, kControlHeight},
                            dui::ControlKind::ImageButton, true, true, std::nullopt, 60);
            controls.push_back(std::move(control));
        }
        Show();
    }

    std::vector<std::unique_ptr<FaceControl>> controls;
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BM_ComposeWholeWindow(benchmark::State& state) {
    Scene& scene = TheScene();
    const dui::RectF whole{0, 0, kWindowWidth, kWindowHeight};
    for (auto _ : state) {
        scene.host.ComposeRect(whole, true);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComposeWholeWindow);

void BM_HoverRepaintOneControl(benchmark::State& state) {
    Scene& scene = TheScene();
    FaceControl& control = *scene.controls[12];
    bool on = false;
    for (auto _ : state) {
        on = !on;
        control.Hover(on);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HoverRepaintOneControl);

void BM_CopyWindowPixels(benchmark::State& state) {
    std::vector<uint32_t> source(kWindowWidth * kWindowHeight, 0x80402010u);
    std::vector<uint32_t> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size() * sizeof(uint32_t));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyWindowPixels);

void BM_CopyControlPixels(benchmark::State& state) {
    // Row by row out of a window-sized buffer, as a rectangle is copied.
    std::vector<uint32_t> source(kWindowWidth * kWindowHeight, 0x80402010u);
    std::vector<uint32_t> target(source.size());
    for (auto _ : state) {
        for (int row = 0; row < kControlHeight; ++row) {
            const size_t offset = size_t(row + 150) * kWindowWidth + 200;
            std::memcpy(&target[offset], &source[offset], kControlWidth * sizeof(uint32_t));
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyControlPixels);

}  // namespace

BENCHMARK_MAIN();
