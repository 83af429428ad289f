// A host window on the real window system: shown with an animation, given
// input, closed with an animation.

#include <gtest/gtest.h>

#include "dui/core/host_window.h"
#include "dui/core/module.h"
#include "platform/platform.h"
#include "tests/support/host_fixture.h"

namespace {

using testing_support::RecordingControl;

// Runs the window system's messages for a while (real time).
void RunFor(plat::DWORD milliseconds) {
    const plat::DWORD end = plat::GetTickCount() + milliseconds;
    plat::MSG msg{};
    while (plat::GetTickCount() < end) {
        while (plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE)) {
            plat::TranslateMessage(&msg);
            plat::DispatchMessage(&msg);
        }
        plat::Sleep(5);
    }
}

TEST(HostWindowOnGtk, ShowsComposesAndClosesWithAnimations) {
    plat::Initialise(plat::Backend::Gtk);
    ASSERT_TRUE(dui::ModuleStartup());
    dui::HostWindowOptions options;
    options.title = "host";
    options.width = 300;
    options.height = 200;
    plat::HWND window = dui::CreateHostWindow(options);
    ASSERT_NE(window, nullptr);
    dui::ExHostWindow host;
    dui::AttachOptions attach;
    attach.flags = dui::kFlagClose | dui::kFlagMinimise;
    attach.background_colour = 0x804020;
    ASSERT_TRUE(host.Attach(window, attach));
    RecordingControl control(0xFFFF0000);
    control.Create(window, {40, 60, 80, 30}, dui::ControlKind::TextControl);

    host.Show(dui::kAnimationCentre);
    RunFor(200);
    EXPECT_TRUE(plat::IsWindowVisible(window));
    EXPECT_FALSE(host.Animating());

    plat::SendMessage(window, plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, plat::MAKELPARAM(50, 70));
    plat::SendMessage(window, plat::WM_LBUTTONUP, 0, plat::MAKELPARAM(50, 70));
    EXPECT_TRUE(control.Received(dui::EX_MSG_CLICK));

    host.CloseAnimation(dui::kAnimationFade);
    plat::PostMessage(window, plat::WM_CLOSE, 0, 0);
    RunFor(300);
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_FALSE(host.IsAttached());
    plat::Shutdown();
}

}  // namespace
