// Drawing costs over a window-sized canvas (470 x 390, the main window).
#include <benchmark/benchmark.h>

#include "dui/core/canvas.h"

namespace {

constexpr int kWidth = 470;
constexpr int kHeight = 390;

void BM_FillGradient(benchmark::State& state) {
    dui::ExCanvas canvas(kWidth, kHeight);
    const auto mode = static_cast<dui::GradientMode>(state.range(0));
    for (auto _ : state) {
        canvas.FillGradient({0, 0, kWidth, kHeight}, 0xFF3080C0, 0xFFE0F0FF, mode);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillGradient)->DenseRange(0, 3);

void BM_DrawTextLine(benchmark::State& state) {
    dui::ExCanvas canvas(kWidth, kHeight);
    const dui::Font& font = dui::DefaultFont();
    dui::StringFormat format(dui::kFormatNoWrap);
    format.trimming = dui::StringTrimming::EllipsisCharacter;
    for (auto _ : state) {
        canvas.DrawText({10, 10, 450, 20}, "澜橙种子搜索器 - 正在搜索第 1 页 (Searching page 1)", font, 0xFE000000,
                        format);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawTextLine);

void BM_DrawTextGlow(benchmark::State& state) {
    dui::ExCanvas canvas(kWidth, kHeight);
    const dui::Font& font = dui::DefaultFont();
    for (auto _ : state) {
        canvas.DrawText({10, 10, 450, 20}, "澜橙种子搜索器", font, 0xFEFFFFFF, dui::StringFormat{},
                        dui::kTextEffectGlow);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawTextGlow);

void BM_DrawTextWrappedPage(benchmark::State& state) {
    dui::ExCanvas canvas(kWidth, kHeight);
    const dui::Font& font = dui::DefaultFont();
    std::string text;
    for (int i = 0; i < 40; ++i) text += "种子搜索 result row text ";
    for (auto _ : state) {
        canvas.DrawText({0, 0, kWidth, kHeight}, text, font, 0xFE000000, dui::StringFormat{});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawTextWrappedPage);

void BM_ComposeCanvas(benchmark::State& state) {
    dui::ExCanvas back(kWidth, kHeight);
    dui::ExCanvas control(kWidth, kHeight);
    control.Clear(0x80FF8040);
    const int opacity = static_cast<int>(state.range(0));
    for (auto _ : state) {
        back.DrawImageAlpha(control, {0, 0, kWidth, kHeight}, opacity);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComposeCanvas)->Arg(255)->Arg(128);

}  // namespace
BENCHMARK_MAIN();
