#include "bench/support/headless_main_window.h"

#include <cstddef>

#include "app/start_up.h"
#include "platform/headless/headless.h"

namespace bench_support {

HeadlessMainWindow::HeadlessMainWindow(
    const std::array<std::string, app::kSettingsEngineCount>& engine_roots) {
    plat::Initialise(plat::Backend::Headless);
    plat::headless::SetWorkArea({0, 0, 1280, 1000});
    plat::headless::SetAutoAdvanceBudget(60'000);
    app::InitialiseModules();
    app::App() = app::Application{};
    app::App().data_directory = "/nonexistent";
    for (std::size_t engine = 0; engine < engine_roots.size(); ++engine) {
        app::App().sites.engine_roots[engine] = engine_roots[engine];
    }
    app::OpenMainWindow();
    m_window = app::App().main_window;
    m_ui = app::App().main_ui.get();
    m_ui->SelectTab(2);
    plat::headless::PumpMessages();
}

HeadlessMainWindow::~HeadlessMainWindow() {
    plat::DestroyWindow(m_window);
    app::App().main_ui.reset();
    app::App().main_host.reset();
    app::App().main_window = nullptr;
    plat::headless::Reset();
}

void HeadlessMainWindow::Click(const dui::RectF& bounds) const {
    plat::headless::Click(m_window, {static_cast<int>(bounds.left + bounds.width / 2),
                                     static_cast<int>(bounds.top + bounds.height / 2)});
    plat::headless::PumpMessages();
}

}  // namespace bench_support
