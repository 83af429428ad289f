#include "bench/support/headless_scene.h"

#include "dui/controls/controls_module.h"
#include "dui/core/module.h"
#include "platform/headless/headless.h"

namespace bench_support {

HeadlessHost::HeadlessHost(int32_t background_colour, Modules modules) {
    plat::Initialise(plat::Backend::Headless);
    plat::headless::Reset();
    if (modules == Modules::Controls) {
        dui::ControlsStartup();
    } else {
        dui::ModuleStartup();
    }
    dui::HostWindowOptions options;
    options.width = 470;
    options.height = 390;
    window = dui::CreateHostWindow(options);
    dui::AttachOptions attach;
    attach.background_colour = background_colour;
    attach.flags = 0;
    host.Attach(window, attach);
}

HeadlessHost::~HeadlessHost() { plat::DestroyWindow(window); }

void HeadlessHost::Show() {
    plat::ShowWindow(window, plat::SW_SHOWNORMAL);
    plat::headless::PumpMessages();
}

plat::HWND MakeWindow(plat::WNDPROC procedure) {
    plat::headless::Reset();
    plat::WNDCLASSEX window_class;
    window_class.lpfnWndProc = procedure;
    window_class.lpszClassName = "BenchWindow";
    plat::RegisterClassEx(&window_class);
    plat::HWND hwnd = plat::CreateWindowEx(0, "BenchWindow", "bench", plat::WS_POPUP, 0, 0, 400, 300,
                                           nullptr, nullptr, nullptr, nullptr);
    plat::ShowWindow(hwnd, plat::SW_SHOW);
    plat::headless::PumpMessages();
    return hwnd;
}

}  // namespace bench_support
