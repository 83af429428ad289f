// A message box (the exit question, owned by a host window) from the call
// to its first frame on screen, and from the answer to the call returning,
// on the headless backend and through the GTK backend. The GTK cases need
// an X server, e.g. `xvfb-run -a -s "-screen 0 1280x1024x24" ./bench_message_box`.

#include <time.h>

#include <cstdint>
#include <memory>

#include <benchmark/benchmark.h>

#include "dui/controls/controls_module.h"
#include "dui/controls/message_box.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

// <chrono> cannot be compiled with the program's GBK execution character
// set (its suffix literals), so the monotonic clock is read directly.
double Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Timings {
    double asked = 0, first_frame = 0, answered = 0, returned = 0;
};

// An owner host window and the hook that sees the box come up: the owner
// is posted its second mouse-leave once the box is shown, right before the
// box's loop starts.
class Scene {
public:
    explicit Scene(plat::Backend backend) {
        plat::Initialise(backend);
        if (plat::CurrentWindowSystem() == nullptr || !dui::ControlsStartup()) return;
        if (backend == plat::Backend::Headless) plat::headless::SetAutoAdvanceBudget(~uint64_t{0} >> 2);
        dui::HostWindowOptions options;
        options.title = "owner";
        options.width = 470;
        options.height = 390;
        owner = dui::CreateHostWindow(options);
        host = std::make_unique<dui::ExHostWindow>();
        dui::AttachOptions attach;
        attach.background_colour = 0x604020;
        host->Attach(owner, attach);
        host->Show();
        host->OnMessage([this](plat::HWND, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
            if (message == plat::WM_MOUSELEAVE && ++leaves == 2) {
                // The box is shown; its first frame may still be pending.
                if (dui::ExHostWindow* box_host = dui::HostFromWindow(box); box_host && box_host->FramePending()) {
                    box_host->ComposeFrame();
                }
                plat::FlushScreen();
                timings.first_frame = Now();
                timings.answered = Now();
                plat::PostMessage(box, plat::WM_KEYDOWN, plat::VK_ESCAPE, 0);
            }
            return dui::kNotHandled;
        });
    }
    ~Scene() {
        host.reset();
        plat::Shutdown();
    }

    bool Ready() const { return owner != nullptr; }

    void Ask() {
        leaves = 0;
        dui::MessageBoxOptions options;
        options.buttons = dui::kButtonsConfirmCancel;
        options.captions = {"手贱了", "是的"};
        options.icon = dui::kIconQuestion;
        options.beep = false;
        options.default_button = 2;
        options.centre_on_owner = true;
        options.init = [this](plat::HWND new_box, int, int) { box = new_box; };
        timings.asked = Now();
        dui::ShowMessageBox(owner, "老衲写的这么辛苦,你真的要\r\n退出程序吗?", options);
        timings.returned = Now();
    }

    Timings timings;

private:
    plat::HWND owner = nullptr;
    plat::HWND box = nullptr;
    int leaves = 0;
    std::unique_ptr<dui::ExHostWindow> host;
};

void Run(benchmark::State& state, plat::Backend backend, bool opening) {
    Scene scene(backend);
    if (!scene.Ready()) {
        state.SkipWithError("no window system");
        return;
    }
    for (auto _ : state) {
        scene.Ask();
        const Timings& t = scene.timings;
        state.SetIterationTime(opening ? t.first_frame - t.asked : t.returned - t.answered);
    }
}

void BM_MessageBoxToFirstFrameHeadless(benchmark::State& state) { Run(state, plat::Backend::Headless, true); }
void BM_MessageBoxCloseHeadless(benchmark::State& state) { Run(state, plat::Backend::Headless, false); }
void BM_MessageBoxToFirstFrameGtk(benchmark::State& state) { Run(state, plat::Backend::Gtk, true); }
void BM_MessageBoxCloseGtk(benchmark::State& state) { Run(state, plat::Backend::Gtk, false); }

BENCHMARK(BM_MessageBoxToFirstFrameHeadless)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MessageBoxCloseHeadless)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MessageBoxToFirstFrameGtk)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MessageBoxCloseGtk)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
