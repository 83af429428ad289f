// Typing one character into a 180 px edit box that holds 200 characters,
// the caret at the end (so the text is scrolled): the key's WM_CHAR reaches
// the focused box through the host, the box re-lays its line, scrolls the
// caret into view and repaints, and the frame composes and presents it.
// Reported: time per character and presents per character. A second run
// does the same with Chinese text committed through the input method.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/support/headless_scene.h"
#include "dui/controls/edit.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

struct Scene : bench_support::HeadlessHost {
    explicit Scene(const std::string& text) : HeadlessHost(0xFFFFFF, bench_support::Modules::Controls) {
        dui::EditOptions edit_options;
        edit_options.text = text;
        edit.CreateEdit(window, 20, 40, 180, 24, edit_options);
        Show();
        plat::headless::Click(window, {30, 52});
        plat::headless::PumpMessages();
        edit.SetCaret(edit.Buffer().Length(), false);
        plat::headless::PumpMessages();
    }
    dui::ExEdit edit;
};

// Times `type` putting one character into the box until the frame is
// presented, and counts the presents; the character is taken out again
// outside the timing.
template <class Type>
void TypeAndCountPresents(benchmark::State& state, Scene& scene, Type type) {
    int64_t presents = 0;
    for (auto _ : state) {
        const int before = plat::headless::PushCount(scene.window);
        type();
        plat::headless::PumpMessages();
        presents += plat::headless::PushCount(scene.window) - before;
        state.PauseTiming();
        plat::SendMessage(scene.window, plat::WM_KEYDOWN, plat::VK_BACK, 0);
        plat::headless::PumpMessages();
        state.ResumeTiming();
    }
    state.counters["presents_per_char"] =
        benchmark::Counter(static_cast<double>(presents) / static_cast<double>(state.iterations()));
}

void TypeOneCharacter(benchmark::State& state) {
    Scene scene(std::string(200, 'w'));
    TypeAndCountPresents(state, scene, [&] { plat::SendMessage(scene.window, plat::WM_CHAR, 'a', 0); });
}
BENCHMARK(TypeOneCharacter)->Unit(benchmark::kMicrosecond);

void CommitOneChineseCharacter(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "种子";
    Scene scene(text);
    TypeAndCountPresents(state, scene, [] { plat::headless::CommitIme("\xE6\x90\x9C"); });  // U+641C as UTF-8
}
BENCHMARK(CommitOneChineseCharacter)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
