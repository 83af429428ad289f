// Popup windows, the popup input grab, disabled owners and cross-thread
// wake-ups of the GTK backend against a real X server, with input injected
// through XTest.

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <optional>
#include <gtk/gtk.h>

#include "platform/background.h"
#include "platform/gtk/gtk_top_level.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"
#include "tests/support/x_input.h"

// Last: Xlib defines macros (None, Bool, True) that clash with C++ names.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace {

using namespace plat;
using testing_support::ClickAt;
using testing_support::Mapped;
using testing_support::PumpUntil;
using testing_support::ReleaseButtons;
using testing_support::Tap;
using testing_support::XDisplay;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

std::vector<Seen>& Log() {
    static std::vector<Seen> log;
    return log;
}

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_KEYDOWN: case WM_ACTIVATE:
        case WM_CAPTURECHANGED:
            Log().push_back({hwnd, message, wparam, lparam});
            break;
        default:
            break;
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

std::vector<Seen> Logged(UINT message, HWND hwnd) {
    std::vector<Seen> result;
    for (const Seen& seen : Log()) {
        if (seen.message == message && seen.hwnd == hwnd) result.push_back(seen);
    }
    return result;
}

class PopupGrabGtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_system = testing_support::StartGtkBackend();
        if (m_system == nullptr) GTEST_SKIP() << "needs an X display";
        WNDCLASSEX window_class;
        window_class.lpfnWndProc = RecordingProc;
        window_class.lpszClassName = "GrabTestWindow";
        RegisterClassEx(&window_class);
        Log().clear();
        m_owner = CreateWindowEx(0, "GrabTestWindow", "owner", WS_POPUP, 100, 100, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
        ShowWindow(m_owner, SW_SHOW);
        SetForegroundWindow(m_owner);
        ASSERT_TRUE(PumpUntil([&] { return Mapped(m_owner); })) << "the owner never mapped";
    }

    void TearDown() override {
        if (m_system != nullptr) ReleaseButtons();
        Shutdown();
    }

    HWND OpenPopup(RECT rect) {
        HWND popup = CreateWindowEx(0, "GrabTestWindow", "popup", WS_POPUP, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, m_owner, nullptr,
                                    nullptr, nullptr);
        SetWindowRole(popup, WindowRole::PopupMenu);
        ShowWindow(popup, SW_SHOW);
        EXPECT_TRUE(PumpUntil([&] { return Mapped(popup); })) << "the popup never mapped";
        return popup;
    }

    gtk::GtkWindowSystem* m_system = nullptr;
    HWND m_owner = nullptr;
};

TEST_F(PopupGrabGtkTest, PopupMenuIsAnOverrideRedirectWindow) {
    HWND popup = OpenPopup(RECT{450, 120, 570, 200});
    GtkWindow* window = m_system->Find(popup)->Window();
    EXPECT_EQ(gtk_window_get_window_type(window), GTK_WINDOW_POPUP);
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(XDisplay(), GDK_WINDOW_XID(gtk_widget_get_window(GTK_WIDGET(window))),
                                   &attributes),
              0);
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(gtk_window_get_window_type(m_system->Find(m_owner)->Window()), GTK_WINDOW_TOPLEVEL);
}

TEST_F(PopupGrabGtkTest, OutsideClickReachesThePopupAsDeactivation) {
    HWND popup = OpenPopup(RECT{450, 120, 570, 200});
    ASSERT_TRUE(GrabPopupInput(popup)) << "grab failure " << static_cast<int>(LastGrabFailure());
    Log().clear();
    ClickAt(900, 800);   // the bare root window: no window of the program
    // The popup's own activation from being shown may still be queued; the
    // outside click is the deactivation that follows it.
    const auto deactivation = [&]() -> std::optional<Seen> {
        for (const Seen& seen : Logged(WM_ACTIVATE, popup)) {
            if (LOWORD(seen.wparam) == WA_INACTIVE) return seen;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(PumpUntil([&] { return deactivation().has_value(); }))
        << "the outside click never reached the popup";
    EXPECT_EQ(deactivation()->lparam, 0);
    EXPECT_TRUE(Logged(WM_LBUTTONDOWN, popup).empty());
    EXPECT_TRUE(Logged(WM_LBUTTONDOWN, m_owner).empty());
    EXPECT_EQ(PopupInputHolder(), nullptr);
    EXPECT_EQ(m_system->PopupGrab(), nullptr);
}

TEST_F(PopupGrabGtkTest, EscapeReachesTheGrabbingPopup) {
    HWND popup = OpenPopup(RECT{450, 120, 570, 200});
    ASSERT_TRUE(GrabPopupInput(popup));
    Log().clear();
    Tap(XK_Escape);
    ASSERT_TRUE(PumpUntil([&] { return !Logged(WM_KEYDOWN, popup).empty(); }))
        << "Esc never reached the popup";
    EXPECT_EQ(Logged(WM_KEYDOWN, popup).front().wparam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_TRUE(Logged(WM_KEYDOWN, m_owner).empty());
}

TEST_F(PopupGrabGtkTest, ClickOnTheOwnerWhileGrabbedReachesTheOwner) {
    HWND popup = OpenPopup(RECT{450, 120, 570, 200});
    ASSERT_TRUE(GrabPopupInput(popup));
    Log().clear();
    ClickAt(150, 150);
    ASSERT_TRUE(PumpUntil([&] { return !Logged(WM_LBUTTONDOWN, m_owner).empty(); }))
        << "the press on the owner was not delivered";
    const Seen press = Logged(WM_LBUTTONDOWN, m_owner).front();
    EXPECT_EQ(GET_X_LPARAM(press.lparam), 50);
    EXPECT_EQ(GET_Y_LPARAM(press.lparam), 50);
    EXPECT_EQ(PopupInputHolder(), popup);
    // Not an outside press: the popup is at most deactivated for its owner.
    for (const Seen& seen : Logged(WM_ACTIVATE, popup)) EXPECT_NE(seen.lparam, 0);
}

TEST_F(PopupGrabGtkTest, DestroyingThePopupReleasesTheSeat) {
    HWND popup = OpenPopup(RECT{450, 120, 570, 200});
    ASSERT_TRUE(GrabPopupInput(popup));
    DestroyWindow(popup);
    EXPECT_EQ(m_system->PopupGrab(), nullptr);
    // Another grab of the seat succeeds only when ours is gone.
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkWindow* owner_window = gtk_widget_get_window(GTK_WIDGET(m_system->Find(m_owner)->Window()));
    EXPECT_EQ(gdk_seat_grab(seat, owner_window, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, nullptr,
                            nullptr, nullptr),
              GDK_GRAB_SUCCESS);
    gdk_seat_ungrab(seat);
}

TEST_F(PopupGrabGtkTest, ClickOnADisabledOwnerDoesNothing) {
    HWND dialog = CreateWindowEx(0, "GrabTestWindow", "dialog", WS_POPUP, 500, 500, 200, 100, m_owner,
                                 nullptr, nullptr, nullptr);
    SetWindowRole(dialog, WindowRole::Dialog);
    EnableWindow(m_owner, 0);
    ShowWindow(dialog, SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return Mapped(dialog); }));
    EXPECT_FALSE(gtk_widget_get_sensitive(m_system->Find(m_owner)->Layer()));
    Log().clear();
    ClickAt(150, 150);   // the owner
    ClickAt(550, 550);   // then the dialog: its press comes after the owner's
    ASSERT_TRUE(PumpUntil([&] { return !Logged(WM_LBUTTONDOWN, dialog).empty(); }))
        << "the click on the dialog never arrived";
    EXPECT_TRUE(Logged(WM_LBUTTONDOWN, m_owner).empty());
    EXPECT_TRUE(Logged(WM_LBUTTONUP, m_owner).empty());
    EnableWindow(m_owner, 1);
    EXPECT_TRUE(gtk_widget_get_sensitive(m_system->Find(m_owner)->Layer()));
}

TEST_F(PopupGrabGtkTest, ABlockedGetMessageWakesForAWorkersResult) {
    std::atomic<bool> delivered{false};
    RunInBackground(
        m_owner,
        [] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return 7;
        },
        [&delivered](int value) { delivered = value == 7; });
    // A safety net far away: the loop must wake for the worker, not for it.
    SetTimer(m_owner, 1, 10000, nullptr);
    bool timer_fired = false;
    MSG msg;
    while (!delivered && !timer_fired && GetMessage(&msg, nullptr, 0, 0) > 0) {
        timer_fired = msg.message == WM_TIMER;
        DispatchMessage(&msg);
    }
    KillTimer(m_owner, 1);
    EXPECT_TRUE(delivered);
    EXPECT_FALSE(timer_fired) << "the loop woke only for the safety timer";
}

}  // namespace
