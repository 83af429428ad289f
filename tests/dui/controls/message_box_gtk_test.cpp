// The exit question on the real window system, answered with real keys and
// clicks through XTest.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <optional>
#include <string>

#include "dui/controls/controls_module.h"
#include "dui/controls/message_box.h"
#include "dui/core/control_registry.h"
#include "dui/core/host_window.h"
#include "platform/backend.h"
#include "platform/gtk/gtk_top_level.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"

// Last: Xlib defines macros (None, Bool, True) that clash with C++ names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace {

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

void Tap(KeySym symbol) {
    const KeyCode code = XKeysymToKeycode(XDisplay(), symbol);
    XTestFakeKeyEvent(XDisplay(), code, True, CurrentTime);
    XTestFakeKeyEvent(XDisplay(), code, False, CurrentTime);
    XFlush(XDisplay());
}

void ClickAt(plat::POINT screen) {
    XTestFakeMotionEvent(XDisplay(), -1, screen.x, screen.y, CurrentTime);
    XTestFakeButtonEvent(XDisplay(), 1, True, CurrentTime);
    XTestFakeButtonEvent(XDisplay(), 1, False, CurrentTime);
    XFlush(XDisplay());
}

// The answer to give once the box is on screen and has the keyboard.
struct Answer {
    std::function<void(plat::HWND box)> act;
    plat::HWND box = nullptr;
    uint64_t deadline = 0;
    bool given = false;
};

Answer& Pending() {
    static Answer answer;
    return answer;
}

bool OnScreenWithFocus(plat::HWND box) {
    plat::gtk::GtkWindowSystem* system = plat::gtk::GtkWindowSystem::Current();
    plat::gtk::GtkTopLevel* level = system != nullptr ? system->Find(box) : nullptr;
    if (level == nullptr) return false;
    GtkWidget* widget = GTK_WIDGET(level->Window());
    return gtk_widget_get_mapped(widget) && gtk_window_has_toplevel_focus(level->Window());
}

// Polls while the box's loop runs: acts once the box can take input, or
// gives up (closing the box) at the deadline.
void PollAnswer(plat::HWND, plat::UINT, plat::UINT_PTR id, plat::DWORD) {
    Answer& answer = Pending();
    if (answer.given || !plat::IsWindow(answer.box)) {
        plat::KillTimer(nullptr, id);
        return;
    }
    if (OnScreenWithFocus(answer.box)) {
        answer.given = true;
        plat::KillTimer(nullptr, id);
        answer.act(answer.box);
    } else if (plat::GetTickCount64() > answer.deadline) {
        plat::KillTimer(nullptr, id);
        plat::DestroyWindow(answer.box);
    }
}

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

class MessageBoxGtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Initialise(plat::Backend::Gtk);
        if (plat::gtk::GtkWindowSystem::Current() == nullptr) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(dui::ControlsStartup());
        dui::HostWindowOptions options;
        options.title = "owner";
        options.width = 500;
        options.height = 400;
        owner = dui::CreateHostWindow(options);
        ASSERT_NE(owner, nullptr);
        dui::AttachOptions attach;
        attach.background_colour = 0x604020;
        ASSERT_TRUE(host.Attach(owner, attach));
        host.Show();
        plat::SetForegroundWindow(owner);
    }

    void TearDown() override {
        if (plat::IsWindow(owner)) plat::DestroyWindow(owner);
        plat::Shutdown();
    }

    std::optional<int> Ask(std::function<void(plat::HWND)> act) {
        Pending() = Answer{std::move(act), nullptr, plat::GetTickCount64() + 5000, false};
        dui::MessageBoxOptions options;
        options.buttons = dui::kButtonsConfirmCancel;
        options.captions = {"手贱了", "是的"};
        options.icon = dui::kIconQuestion;
        options.default_button = 2;
        options.centre_on_owner = true;
        options.init = [](plat::HWND box, int, int) {
            Pending().box = box;
            plat::SetTimer(nullptr, 0, 20, PollAnswer);
        };
        const int code = dui::ShowMessageBox(owner, "老衲写的这么辛苦,你真的要\r\n退出程序吗?", options);
        if (!Pending().given) return std::nullopt;   // never got on screen
        return code;
    }

    plat::HWND owner = nullptr;
    dui::ExHostWindow host;
};

TEST_F(MessageBoxGtkTest, ExitQuestionAnsweredWithRealKeysAndClicks) {
    EXPECT_EQ(Ask([](plat::HWND) { Tap(XK_Return); }), std::optional<int>(dui::kCodeConfirm));
    EXPECT_TRUE(plat::IsWindowEnabled(owner));
    EXPECT_EQ(Ask([](plat::HWND) { Tap(XK_Escape); }), std::optional<int>(dui::kCodeCancel));
    EXPECT_EQ(Ask([](plat::HWND box) { ClickAt(ButtonCentre(box, 2)); }), std::optional<int>(dui::kCodeConfirm));
    EXPECT_EQ(Ask([](plat::HWND box) { ClickAt(ButtonCentre(box, 1)); }), std::optional<int>(dui::kCodeCancel));
    EXPECT_TRUE(plat::IsWindowEnabled(owner));
    EXPECT_TRUE(plat::IsWindow(owner));
}

}  // namespace
