// A popup menu on a real X server: popped at the pointer, it opens there,
// and a click outside it (on its owner, with XTest) closes it without the
// click reaching the owner's control; a click on an item delivers the item.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "dui/controls/controls_module.h"
#include "dui/controls/popup_menu.h"
#include "dui/core/host_window.h"
#include "platform/gtk/gtk_top_level.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"

// Last: Xlib defines macros (None, Bool, True) that clash with C++ names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace {

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

void PointerTo(plat::POINT screen) {
    XTestFakeMotionEvent(XDisplay(), -1, screen.x, screen.y, CurrentTime);
    XFlush(XDisplay());
}

void ClickAt(plat::POINT screen) {
    PointerTo(screen);
    XTestFakeButtonEvent(XDisplay(), 1, True, CurrentTime);
    XTestFakeButtonEvent(XDisplay(), 1, False, CurrentTime);
    XFlush(XDisplay());
}

bool PumpUntil(const std::function<bool()>& done, plat::DWORD limit_ms = 5000) {
    const plat::DWORD deadline = plat::GetTickCount() + limit_ms;
    plat::MSG msg{};
    while (true) {
        while (plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE)) {
            plat::TranslateMessage(&msg);
            plat::DispatchMessage(&msg);
        }
        if (done()) return true;
        if (plat::GetTickCount() >= deadline) return false;
        plat::Sleep(5);
    }
}

bool Mapped(plat::HWND window) {
    plat::gtk::GtkWindowSystem* system = plat::gtk::GtkWindowSystem::Current();
    plat::gtk::GtkTopLevel* level = system != nullptr ? system->Find(window) : nullptr;
    return level != nullptr && gtk_widget_get_mapped(GTK_WIDGET(level->Window()));
}

// A control that counts the presses it receives.
class PressCounter : public dui::ExControl {
public:
    ~PressCounter() override { Destroy(); }
    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
        if (message == plat::WM_LBUTTONDOWN) ++presses;
        if (message == plat::WM_LBUTTONUP) ++releases;
        if (message == plat::WM_COMMAND) last_command = static_cast<int>(wparam);
        if (message == plat::WM_PAINT) {
            if (dui::ExCanvas* canvas = BeginPaint()) {
                canvas->Clear(0xFF4080C0);
                EndPaint();
            }
        }
        return ExControl::OnMessage(message, wparam, lparam);
    }
    int presses = 0;
    int releases = 0;
    int last_command = 0;
};

// What to do once the menu is on screen, from a timer of the menu's loop.
struct MenuAction {
    std::function<void(plat::HWND menu)> act;
    plat::HWND menu = nullptr;
    plat::RECT rect{};
    uint64_t deadline = 0;
    bool done = false;
};

MenuAction& Pending() {
    static MenuAction action;
    return action;
}

void PollMenu(plat::HWND, plat::UINT, plat::UINT_PTR id, plat::DWORD) {
    MenuAction& action = Pending();
    const plat::HWND active = plat::PopupInputHolder();
    if (action.done) {
        plat::KillTimer(nullptr, id);
        return;
    }
    if (plat::GetWindowText(active) == dui::kMenuWindowTitle && Mapped(active)) {
        action.done = true;
        action.menu = active;
        plat::GetWindowRect(active, &action.rect);
        plat::KillTimer(nullptr, id);
        action.act(active);
    } else if (plat::GetTickCount64() > action.deadline) {
        // Never on screen: give up without hanging the test.
        plat::KillTimer(nullptr, id);
        if (plat::IsWindow(active)) plat::PostMessage(active, plat::WM_CANCELMODE, 0, 0);
        ADD_FAILURE() << "the menu never showed with the grab";
    }
}

class PopupMenuGtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Initialise(plat::Backend::Gtk);
        if (plat::gtk::GtkWindowSystem::Current() == nullptr) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(dui::ControlsStartup());
        dui::HostWindowOptions options;
        options.title = "owner";
        options.left = 100;
        options.top = 100;
        options.width = 500;
        options.height = 300;
        owner = dui::CreateHostWindow(options);
        ASSERT_NE(owner, nullptr);
        dui::AttachOptions attach;
        attach.background_colour = 0xF0F0F0;
        attach.flags = 0;
        ASSERT_TRUE(host.Attach(owner, attach));
        target.Create(owner, dui::RectF{20, 20, 460, 260}, dui::ControlKind::TextControl);
        host.Show();
        plat::SetForegroundWindow(owner);
        ASSERT_TRUE(PumpUntil([this] { return Mapped(owner); }));
        plat::GetWindowRect(owner, &owner_rect);
        menu.AddItem("First", dui::MenuCommand{11});
        menu.AddItem("Second", dui::MenuCommand{12});
    }

    void TearDown() override {
        target.Destroy();
        if (plat::IsWindow(owner)) plat::DestroyWindow(owner);
        plat::Shutdown();
    }

    // Puts the pointer at a point of the owner and waits until it is known.
    plat::POINT PointAt(int x, int y) {
        const plat::POINT screen{owner_rect.left + x, owner_rect.top + y};
        PointerTo(screen);
        EXPECT_TRUE(PumpUntil([&] {
            plat::POINT now{};
            plat::GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        }));
        return screen;
    }

    bool PopWith(std::function<void(plat::HWND)> act) {
        Pending() = MenuAction{std::move(act), nullptr, {}, plat::GetTickCount64() + 5000, false};
        plat::SetTimer(nullptr, 0, 20, PollMenu);
        menu.Popup(owner);
        return Pending().done;
    }

    plat::HWND owner = nullptr;
    plat::RECT owner_rect{};
    dui::ExHostWindow host;
    PressCounter target;
    dui::ExPopupMenu menu;
};

TEST_F(PopupMenuGtkTest, OpensAtPointerAndClosesOnOutsideClick) {
    const plat::POINT at = PointAt(100, 80);
    ASSERT_TRUE(PopWith([this](plat::HWND) { ClickAt({owner_rect.left + 400, owner_rect.top + 250}); }));
    EXPECT_EQ(Pending().rect.left, at.x);
    EXPECT_EQ(Pending().rect.top, at.y);
    EXPECT_FALSE(plat::IsWindow(Pending().menu));
    EXPECT_FALSE(dui::PopupMenuOpen());
    // The click only closed the menu: its release comes through, its press
    // never does.
    EXPECT_TRUE(PumpUntil([this] { return target.releases > 0; }));
    EXPECT_EQ(target.presses, 0);
    EXPECT_EQ(target.last_command, 0);
}

TEST_F(PopupMenuGtkTest, ClickOnItemDeliversItsCommandToTheControlUnderThePointer) {
    PointAt(120, 90);
    ASSERT_TRUE(PopWith([](plat::HWND menu) {
        plat::RECT rect{};
        plat::GetWindowRect(menu, &rect);
        ClickAt({rect.left + 40, rect.top + 8 + 22 + 11});
    }));
    EXPECT_FALSE(plat::IsWindow(Pending().menu));
    EXPECT_EQ(target.last_command, 12);
}

}  // namespace
