#pragma once

#include <array>
#include <string>

#include "app/main_window.h"
#include "app/settings.h"
#include "dui/core/geometry.h"
#include "platform/platform.h"

namespace bench_support {

// The whole main window on the headless window system, each engine's site
// root set, on its first engine's tab; closed again on destruction. For
// benchmarks that drive the window as a user does.
class HeadlessMainWindow {
public:
    explicit HeadlessMainWindow(
        const std::array<std::string, app::kSettingsEngineCount>& engine_roots);
    ~HeadlessMainWindow();
    HeadlessMainWindow(const HeadlessMainWindow&) = delete;
    HeadlessMainWindow& operator=(const HeadlessMainWindow&) = delete;

    plat::HWND Window() const { return m_window; }
    app::MainWindow& Ui() const { return *m_ui; }
    // A click at the centre of `bounds` (client coordinates), with the
    // messages it causes pumped.
    void Click(const dui::RectF& bounds) const;

private:
    plat::HWND m_window = nullptr;
    app::MainWindow* m_ui = nullptr;
};

}  // namespace bench_support
