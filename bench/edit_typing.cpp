// Typing one character into a 180 px edit box that holds 200 characters,
// the caret at the end (so the text is scrolled): the key's WM_CHAR reaches
// the focused box through the host, the box re-lays its line, scrolls the
// caret into view and repaints, and the frame composes and presents it.
// Reported: time per character and presents per character. A second run
// does the same with Chinese text committed through the input method.

#include <benchmark/benchmark.h>

#include <string>

#include "dui/controls/controls_module.h"
#include "dui/controls/edit.h"
#include "dui/core/host_window.h"
#include "dui/core/module.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

struct Scene {
    explicit Scene(const std::string& text) {
        plat::Initialise(plat::Backend::Headless);
        plat::headless::Reset();
        dui::ControlsStartup();
        dui::HostWindowOptions options;
        options.width = 470;
        options.height = 390;
        window = dui::CreateHostWindow(options);
        dui::AttachOptions attach;
        attach.background_colour = 0xFFFFFF;
        attach.flags = 0;
        host.Attach(window, attach);
        dui::EditOptions edit_options;
        edit_options.text = text;
        edit.CreateEdit(window, 20, 40, 180, 24, edit_options);
        plat::ShowWindow(window, plat::SW_SHOWNORMAL);
        plat::headless::PumpMessages();
        plat::headless::Click(window, {30, 52});
        plat::headless::PumpMessages();
        edit.SetCaret(edit.Buffer().Length(), false);
        plat::headless::PumpMessages();
    }
    ~Scene() {
        edit.Destroy();
        plat::DestroyWindow(window);
    }
    plat::HWND window = nullptr;
    dui::ExHostWindow host;
    dui::ExEdit edit;
};

void TypeOneCharacter(benchmark::State& state) {
    Scene scene(std::string(200, 'w'));
    int64_t presents = 0;
    for (auto _ : state) {
        const int before = plat::headless::PushCount(scene.window);
        plat::SendMessage(scene.window, plat::WM_CHAR, 'a', 0);
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
BENCHMARK(TypeOneCharacter)->Unit(benchmark::kMicrosecond);

void CommitOneChineseCharacter(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "种子";
    Scene scene(text);
    int64_t presents = 0;
    for (auto _ : state) {
        const int before = plat::headless::PushCount(scene.window);
        plat::headless::CommitIme("\xE6\x90\x9C");  // U+641C as UTF-8
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
BENCHMARK(CommitOneChineseCharacter)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
