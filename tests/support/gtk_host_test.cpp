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

}  // namespace testing_support
