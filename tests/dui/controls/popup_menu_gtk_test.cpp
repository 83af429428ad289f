// A popup menu on a real X server: popped at the pointer, it opens there,
// and a click outside it (on its owner, with XTest) closes it and still
// reaches the owner's control; a click on an item delivers the item.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "dui/controls/popup_menu.h"
#include "dui/core/host_window.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"
#include "tests/support/gtk_host_test.h"
#include "tests/support/x_input.h"

namespace {

using testing_support::ClickAt;
using testing_support::Mapped;
using testing_support::PointerTo;
using testing_support::PumpUntil;

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

class PopupMenuGtkTest : public testing_support::GtkHostTest {
protected:
    void SetUp() override {
        GtkHostTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        dui::HostWindowOptions options;
        options.title = "owner";
        options.left = 100;
        options.top = 100;
        options.width = 500;
        options.height = 300;
        dui::AttachOptions attach;
        attach.background_colour = 0xF0F0F0;
        attach.flags = 0;
        ASSERT_TRUE(OpenHost(options, attach));
        target.Create(window, dui::RectF{20, 20, 460, 260}, dui::ControlKind::TextControl);
        host.Show();
        plat::SetForegroundWindow(window);
        ASSERT_TRUE(PumpUntil([this] { return Mapped(window); }));
        plat::GetWindowRect(window, &owner_rect);
        menu.AddItem("First", dui::MenuCommand{11});
        menu.AddItem("Second", dui::MenuCommand{12});
    }

    void TearDown() override {
        target.Destroy();
        GtkHostTest::TearDown();
    }

    // Puts the pointer at a point of the owner and waits until it is known.
    plat::POINT PointAt(int x, int y) {
        const plat::POINT screen{owner_rect.left + x, owner_rect.top + y};
        PointerTo(screen.x, screen.y);
        EXPECT_TRUE(PumpUntil([&] {
            plat::POINT now{};
            plat::GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        }));
        return screen;
    }

    // Pops the menu up and, from a timer of its loop, acts once it is on
    // screen with the grab. False when it never got there.
    bool PopWith(std::function<void(plat::HWND)> act) {
        shown = {};
        testing_support::ActWhenReady(
            [] {
                const plat::HWND active = plat::PopupInputHolder();
                return plat::GetWindowText(active) == dui::kMenuWindowTitle && Mapped(active) ? active
                                                                                              : nullptr;
            },
            [this, act = std::move(act)](plat::HWND active) {
                shown.done = true;
                shown.menu = active;
                plat::GetWindowRect(active, &shown.rect);
                act(active);
            },
            [] {
                // Never on screen: give up without hanging the test.
                const plat::HWND active = plat::PopupInputHolder();
                if (plat::IsWindow(active)) plat::PostMessage(active, plat::WM_CANCELMODE, 0, 0);
                ADD_FAILURE() << "the menu never showed with the grab";
            });
        menu.Popup(window);
        return shown.done;
    }

    // The menu as it was when acted on.
    struct {
        plat::HWND menu = nullptr;
        plat::RECT rect{};
        bool done = false;
    } shown;
    plat::RECT owner_rect{};
    PressCounter target;
    dui::ExPopupMenu menu;
};

TEST_F(PopupMenuGtkTest, OpensAtPointerAndClosesOnOutsideClick) {
    const plat::POINT at = PointAt(100, 80);
    ASSERT_TRUE(PopWith([this](plat::HWND) { ClickAt({owner_rect.left + 400, owner_rect.top + 250}); }));
    EXPECT_EQ(shown.rect.left, at.x);
    EXPECT_EQ(shown.rect.top, at.y);
    EXPECT_FALSE(plat::IsWindow(shown.menu));
    EXPECT_FALSE(dui::PopupMenuOpen());
    // The click closed the menu and still reached the control under it.
    EXPECT_TRUE(PumpUntil([this] { return target.releases > 0; }));
    EXPECT_EQ(target.presses, 1);
    EXPECT_EQ(target.last_command, 0);
}

TEST_F(PopupMenuGtkTest, ClickOnItemDeliversItsCommandToTheControlUnderThePointer) {
    PointAt(120, 90);
    ASSERT_TRUE(PopWith([](plat::HWND menu) {
        plat::RECT rect{};
        plat::GetWindowRect(menu, &rect);
        ClickAt({rect.left + 40, rect.top + 8 + 22 + 11});
    }));
    EXPECT_FALSE(plat::IsWindow(shown.menu));
    EXPECT_EQ(target.last_command, 12);
}

}  // namespace
