#include "tests/support/gtk_host_test.h"

#include "dui/controls/controls_module.h"
#include "tests/support/x_input.h"

namespace testing_support {

void GtkHostTest::SetUp() {
    if (StartGtkBackend() == nullptr) GTEST_SKIP() << "needs an X display";
    ASSERT_TRUE(dui::ControlsStartup());
}

void GtkHostTest::TearDown() {
    if (plat::IsWindow(window)) plat::DestroyWindow(window);
    plat::Shutdown();
}

bool GtkHostTest::OpenHost(const dui::HostWindowOptions& options, const dui::AttachOptions& attach) {
    window = dui::CreateHostWindow(options);
    if (window == nullptr) {
        ADD_FAILURE() << "the host window \"" << options.title << "\" was not created";
        return false;
    }
    if (!host.Attach(window, attach)) {
        ADD_FAILURE() << "the host did not attach to \"" << options.title << "\"";
        return false;
    }
    return true;
}

bool GtkHostTest::OpenPlainHost(const char* title, int left, int top, int width, int height) {
    dui::HostWindowOptions options;
    options.title = title;
    options.left = left;
    options.top = top;
    options.width = width;
    options.height = height;
    dui::AttachOptions attach;
    attach.flags = 0;
    attach.background_colour = 0xFFFFFF;
    attach.frame_style = 0;
    return OpenHost(options, attach);
}

bool GtkHostTest::ShowInPlace() {
    plat::RECT wanted{};
    if (!plat::GetWindowRect(window, &wanted)) return false;
    host.Show();
    const bool shown = PumpUntil([&] {
        plat::RECT rect{};
        return plat::IsWindowVisible(window) && plat::GetWindowRect(window, &rect) &&
               rect.left == wanted.left && rect.top == wanted.top;
    });
    if (!shown) ADD_FAILURE() << "the window never showed in place";
    return shown;
}

}  // namespace testing_support
