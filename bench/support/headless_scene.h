#pragma once

#include <cstdint>

#include "dui/core/host_window.h"
#include "platform/platform.h"

// Set-up shared by the benchmarks that run on the headless backend.
namespace bench_support {

// The backend started afresh, with the widget framework, or with the
// controls library on top of it.
enum class Modules { Framework, Controls };

// A host window the size of the main window (470 x 390) on the headless
// backend, attached without caption parts over `background_colour` (RGB).
// A scene derives from it, adds its controls and then shows the window;
// the window is destroyed after the scene's own members.
class HeadlessHost {
public:
    explicit HeadlessHost(int32_t background_colour, Modules modules = Modules::Framework);
    ~HeadlessHost();
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // Shows the window and runs what that queued.
    void Show();

    plat::HWND window = nullptr;
    dui::ExHostWindow host;
};

// A plain 400 x 300 top-level window of `procedure`, shown, on the headless
// backend reset to its start. Its class is "BenchWindow".
plat::HWND MakeWindow(plat::WNDPROC procedure);

}  // namespace bench_support
