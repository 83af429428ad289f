// An edit box on a real X server: keys typed with XTest arrive as text, and
// Ctrl+C / Ctrl+V exchange Chinese text with another client (xclip) through
// the real clipboard.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>

#include "dui/controls/edit.h"
#include "dui/core/host_window.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"
#include "tests/support/gtk_host_test.h"
#include "tests/support/x_input.h"

#include <X11/keysym.h>

namespace {

using testing_support::ClickAt;
using testing_support::Key;
using testing_support::KeySymbol;
using testing_support::PumpUntil;
using testing_support::RunWhilePumping;
using testing_support::Tap;
using testing_support::TapWith;

class EditGtkTest : public testing_support::GtkHostTest {
protected:
    void SetUp() override {
        GtkHostTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        dui::HostWindowOptions options;
        options.title = "edit";
        options.left = 150;
        options.top = 120;
        options.width = 400;
        options.height = 200;
        dui::AttachOptions attach;
        attach.background_colour = 0xF0F0F0;
        attach.flags = 0;
        ASSERT_TRUE(OpenHost(options, attach));
        edit.CreateEdit(window, 20, 60, 180, 24);
        host.Show();
        plat::SetForegroundWindow(window);
        ASSERT_TRUE(PumpUntil([this] { return testing_support::MappedWithFocus(window); }))
            << "window never got the focus";
        plat::RECT rect{};
        plat::GetWindowRect(window, &rect);
        ClickAt({rect.left + 40, rect.top + 72});
        ASSERT_TRUE(PumpUntil([this] { return host.FocusedControl() == edit.GetHandle(); }));
    }

    void TearDown() override {
        edit.Destroy();
        GtkHostTest::TearDown();
    }

    dui::ExEdit edit;
};

TEST_F(EditGtkTest, TypedKeysArriveAsText) {
    for (KeySymbol key : {XK_s, XK_e, XK_e, XK_d, XK_space, XK_1}) Tap(key);
    Key(XK_Shift_L, true);
    Tap(XK_a);
    Key(XK_Shift_L, false);
    EXPECT_TRUE(PumpUntil([this] { return edit.EditText() == "seed 1A"; })) << edit.EditText();
    Tap(XK_BackSpace);
    Tap(XK_Home);
    Tap(XK_Delete);
    EXPECT_TRUE(PumpUntil([this] { return edit.EditText() == "eed 1"; })) << edit.EditText();
    EXPECT_TRUE(edit.CaretVisible());
}

TEST_F(EditGtkTest, CopyAndPasteGoThroughTheRealClipboard) {
    RunWhilePumping({"xclip", "-selection", "clipboard", "-i"}, reinterpret_cast<const char*>(u8"磁力 link\nsecond"));
    ASSERT_TRUE(PumpUntil([] { return plat::ClipboardHasText(); }));
    TapWith(XK_Control_L, XK_v);
    // A single-line box keeps the first line.
    ASSERT_TRUE(PumpUntil([this] { return edit.EditText() == "磁力 link"; })) << edit.EditText();
    EXPECT_EQ(edit.CaretColumn(), 7);

    Tap(XK_Left);
    Tap(XK_Left);
    Tap(XK_Left);
    Tap(XK_Left);
    Key(XK_Shift_L, true);
    Tap(XK_Home);
    Key(XK_Shift_L, false);
    ASSERT_TRUE(PumpUntil([this] { return edit.SelectedText() == "磁力 "; }));
    TapWith(XK_Control_L, XK_c);
    ASSERT_TRUE(PumpUntil([] { return plat::GetClipboardText() == "磁力 "; }));
    EXPECT_EQ(RunWhilePumping({"xclip", "-selection", "clipboard", "-o"}, nullptr),
              reinterpret_cast<const char*>(u8"磁力 "));
    TapWith(XK_Control_L, XK_x);
    EXPECT_TRUE(PumpUntil([this] { return edit.EditText() == "link"; })) << edit.EditText();
}

}  // namespace
