// The exit question on the real window system, answered with real keys and
// clicks through XTest.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <optional>
#include <string>

#include "dui/controls/message_box.h"
#include "dui/core/control_registry.h"
#include "dui/core/host_window.h"
#include "platform/backend.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"
#include "tests/support/gtk_host_test.h"
#include "tests/support/x_input.h"

#include <X11/keysym.h>

namespace {

using testing_support::ClickAt;
using testing_support::Tap;

// Screen centre of the button at `position` (1 = rightmost).
plat::POINT ButtonCentre(plat::HWND box, int position) {
    plat::RECT rect{};
    plat::GetWindowRect(box, &rect);
    dui::ExHostWindow* host = dui::HostFromWindow(box);
    std::string suffix(1, '|');
    suffix += std::to_string(position);
    for (auto at = host->TopLevelList().first; at != dui::ControlHandle{};) {
        const dui::ExControl* control = dui::ResolveControl(at);
        if (control == nullptr) break;
        const std::string& tag = control->Tag();
        if (tag.size() > suffix.size() && tag.ends_with(suffix)) {
            const dui::RectF& b = control->Bounds();
            return {rect.left + static_cast<int>(b.left + b.width / 2),
                    rect.top + static_cast<int>(b.top + b.height / 2)};
        }
        at = control->NextSibling();
    }
    return {rect.left, rect.top};
}

class MessageBoxGtkTest : public testing_support::GtkHostTest {
protected:
    void SetUp() override {
        GtkHostTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        dui::HostWindowOptions options;
        options.title = "owner";
        options.width = 500;
        options.height = 400;
        dui::AttachOptions attach;
        attach.background_colour = 0x604020;
        ASSERT_TRUE(OpenHost(options, attach));
        host.Show();
        plat::SetForegroundWindow(window);
    }

    // Asks, and answers with `act` once the box is on screen and has the
    // keyboard, or closes it at the deadline: nothing when it never got
    // there.
    std::optional<int> Ask(const std::function<void(plat::HWND)>& act) {
        bool given = false;
        dui::MessageBoxOptions options;
        options.buttons = dui::kButtonsConfirmCancel;
        options.captions = {"手贱了", "是的"};
        options.icon = dui::kIconQuestion;
        options.default_button = 2;
        options.centre_on_owner = true;
        options.init = [&given, &act](plat::HWND box, int, int) {
            testing_support::ActWhenReady([box] { return testing_support::MappedWithFocus(box) ? box : nullptr; },
                                          [&given, &act](plat::HWND shown) {
                                              given = true;
                                              act(shown);
                                          },
                                          [box] { plat::DestroyWindow(box); });
        };
        const int code = dui::ShowMessageBox(window, "老衲写的这么辛苦,你真的要\r\n退出程序吗?", options);
        if (!given) return std::nullopt;   // never got on screen
        return code;
    }
};

TEST_F(MessageBoxGtkTest, ExitQuestionAnsweredWithRealKeysAndClicks) {
    EXPECT_EQ(Ask([](plat::HWND) { Tap(XK_Return); }), std::optional<int>(dui::kCodeConfirm));
    EXPECT_TRUE(plat::IsWindowEnabled(window));
    EXPECT_EQ(Ask([](plat::HWND) { Tap(XK_Escape); }), std::optional<int>(dui::kCodeCancel));
    EXPECT_EQ(Ask([](plat::HWND box) { ClickAt(ButtonCentre(box, 2)); }), std::optional<int>(dui::kCodeConfirm));
    EXPECT_EQ(Ask([](plat::HWND box) { ClickAt(ButtonCentre(box, 1)); }), std::optional<int>(dui::kCodeCancel));
    EXPECT_TRUE(plat::IsWindowEnabled(window));
    EXPECT_TRUE(plat::IsWindow(window));
}

}  // namespace
