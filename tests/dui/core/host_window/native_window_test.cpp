// Creating the native window and the modal loop.

#include "dui/core/host_window.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/dui/core/host_window/host_window_fixture.h"

namespace {

using host_window_tests::HostWindowTest;
using testing_support::RecordingControl;
namespace headless = plat::headless;

TEST_F(HostWindowTest, WindowWithoutSizeIs380By250CentredOnWorkArea) {
    headless::SetWorkArea({100, 50, 1100, 850});
    plat::HWND created = dui::CreateHostWindow();
    ASSERT_NE(created, nullptr);
    plat::RECT rect{};
    plat::GetWindowRect(created, &rect);
    EXPECT_EQ(rect.right - rect.left, 380);
    EXPECT_EQ(rect.bottom - rect.top, 250);
    EXPECT_EQ(rect.left, 100 + (1000 - 380) / 2);
    EXPECT_EQ(rect.top, 50 + (800 - 250) / 2);
    plat::DestroyWindow(created);
}

TEST_F(HostWindowTest, ModalLoopDropsInputForOtherWindowsAndEndsWithItsWindow) {
    AttachHost();
    auto& inside = AddControl({20, 40, 60, 30});
    dui::HostWindowOptions other_options;
    other_options.left = 0;
    other_options.top = 0;
    plat::HWND other = dui::CreateHostWindow(other_options);
    dui::ExHostWindow other_host;
    ASSERT_TRUE(other_host.Attach(other, PlainOptions()));
    plat::ShowWindow(other, plat::SW_SHOWNORMAL);
    RecordingControl outside;
    outside.Create(other, {20, 40, 60, 30}, dui::ControlKind::TextControl);

    headless::PushStep([&] {
        headless::Click(other, {30, 50});
        headless::Click(window, {30, 50});
    });
    headless::PushStep([&] { plat::PostMessage(window, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(window);
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_FALSE(outside.Received(dui::EX_MSG_CLICK));
    EXPECT_TRUE(inside.Received(dui::EX_MSG_CLICK));
    plat::DestroyWindow(other);
}

TEST_F(HostWindowTest, QuitDuringModalLoopIsLeftForTheProgramsLoop) {
    AttachHost();
    headless::PushStep([] { plat::PostQuitMessage(3); });
    dui::RunModalLoop(window);
    EXPECT_TRUE(plat::IsWindow(window));
    plat::MSG msg{};
    ASSERT_TRUE(plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE));
    EXPECT_EQ(msg.message, plat::WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(HostWindowTest, ModalLoopDisablesItsOwnerAndEnablesItAfterwards) {
    AttachHost();
    auto& behind = AddControl({20, 40, 60, 30});
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    dialog_options.left = 600;
    dialog_options.top = 0;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    plat::ShowWindow(dialog, plat::SW_SHOWNORMAL);
    bool disabled_while_running = false;
    headless::PushStep([&] {
        disabled_while_running = !plat::IsWindowEnabled(window);
        headless::Click(window, {30, 50});
    });
    headless::PushStep([&] { plat::PostMessage(dialog, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(dialog, window);
    EXPECT_FALSE(plat::IsWindow(dialog));
    EXPECT_TRUE(disabled_while_running);
    EXPECT_FALSE(behind.Received(dui::EX_MSG_CLICK));
    EXPECT_TRUE(plat::IsWindowEnabled(window));
}

TEST_F(HostWindowTest, ModalLoopEndedByQuitEnablesItsOwnerAndLeavesTheQuit) {
    AttachHost();
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    headless::PushStep([] { plat::PostQuitMessage(5); });
    dui::RunModalLoop(dialog, window);
    EXPECT_TRUE(plat::IsWindowEnabled(window));
    plat::MSG msg{};
    ASSERT_TRUE(plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE));
    EXPECT_EQ(msg.message, plat::WM_QUIT);
    plat::DestroyWindow(dialog);
}

TEST_F(HostWindowTest, ModalLoopWhoseOwnerIsDestroyedEnablesNothingStale) {
    AttachHost();
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    plat::HWND replacement = nullptr;
    // Destroying the owner takes the owned dialog with it; a window created
    // meanwhile must not be taken for the owner.
    headless::PushStep([&] {
        plat::DestroyWindow(window);
        replacement = dui::CreateHostWindow();
        plat::EnableWindow(replacement, 0);
        plat::PostMessage(replacement, plat::WM_NULL, 0, 0);
    });
    dui::RunModalLoop(dialog, window);
    EXPECT_FALSE(plat::IsWindow(dialog));
    EXPECT_FALSE(plat::IsWindowEnabled(replacement));
    plat::DestroyWindow(replacement);
}

TEST_F(HostWindowTest, ModalLoopOfAnAlreadyDisabledOwnerLeavesItDisabled) {
    AttachHost();
    plat::EnableWindow(window, 0);  // an outer modal loop holds it
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    headless::PushStep([&] { plat::PostMessage(dialog, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(dialog, window);
    EXPECT_FALSE(plat::IsWindowEnabled(window));
}

TEST_F(HostWindowTest, ModalLoopLetsInputReachAPopupTheDialogOwns) {
    AttachHost();
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    dialog_options.left = 0;
    dialog_options.top = 0;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    plat::ShowWindow(dialog, plat::SW_SHOWNORMAL);
    dui::HostWindowOptions popup_options;
    popup_options.parent = dialog;
    popup_options.left = 700;
    popup_options.top = 500;
    popup_options.width = 120;
    popup_options.height = 80;
    plat::HWND popup = dui::CreateHostWindow(popup_options);
    dui::ExHostWindow popup_host;
    ASSERT_TRUE(popup_host.Attach(popup, PlainOptions()));
    plat::ShowWindow(popup, plat::SW_SHOWNORMAL);
    RecordingControl item;
    item.Create(popup, {10, 10, 100, 30}, dui::ControlKind::MenuItem);
    headless::PushStep([&] { headless::Click(popup, {20, 20}); });
    headless::PushStep([&] { plat::PostMessage(dialog, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(dialog, window);
    EXPECT_TRUE(item.Received(dui::EX_MSG_CLICK));
}

}  // namespace
