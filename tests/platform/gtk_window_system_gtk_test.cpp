// The GTK backend against a real X server: input injected with XTest must
// arrive as the right messages at the right client coordinates, presented
// pixels must be on screen, shapes must cut, and the clipboard must work
// with another client.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "platform/backend.h"
#include "platform/gtk/gtk_top_level.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/gtk/widget_child.h"
#include "platform/platform.h"
#include "tests/support/x_input.h"

// Last: Xlib defines macros (None, Bool, True) that clash with C++ names.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace {

using namespace plat;
using testing_support::Button;
using testing_support::Click;
using testing_support::Key;
using testing_support::PointerTo;
using testing_support::PumpFor;
using testing_support::PumpUntil;
using testing_support::ReleaseButtons;
using testing_support::ReleaseModifiers;
using testing_support::RunWhilePumping;
using testing_support::ScreenPixel;
using testing_support::Tap;
using testing_support::XDisplay;

constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;
constexpr uint32_t kBlue = 0xFF0000FFu;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    std::string text;
};

std::vector<Seen>& Log() {
    static std::vector<Seen> log;
    return log;
}

// Limits the test window reports for resize drags.
SIZE& MaxTrack() {
    static SIZE size{0, 0};
    return size;
}

bool Logged(UINT message) {
    return std::any_of(Log().begin(), Log().end(), [message](const Seen& seen) { return seen.message == message; });
}

std::vector<Seen> LoggedOf(UINT message) {
    std::vector<Seen> result;
    for (const Seen& seen : Log()) {
        if (seen.message == message) result.push_back(seen);
    }
    return result;
}

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_MOUSEWHEEL: case WM_KEYDOWN:
        case WM_KEYUP: case WM_CHAR: case WM_SYSKEYDOWN: case WM_MOVE: case WM_SIZE:
            Log().push_back({hwnd, message, wparam, lparam, {}});
            break;
        case WM_CLOSE:
            Log().push_back({hwnd, message, wparam, lparam, {}});
            return 0;   // stays open
        case WM_IME_COMPOSITION: {
            std::string text;
            if (static_cast<DWORD>(lparam) & GCS_RESULTSTR) {
                HIMC context = ImmGetContext(hwnd);
                const LONG size = ImmGetCompositionString(context, GCS_RESULTSTR, nullptr, 0);
                text.resize(static_cast<size_t>(std::max<LONG>(size, 0)));
                ImmGetCompositionString(context, GCS_RESULTSTR, text.data(), static_cast<DWORD>(text.size()));
                ImmReleaseContext(hwnd, context);
            }
            Log().push_back({hwnd, message, wparam, lparam, text});
            return 0;
        }
        case WM_GETMINMAXINFO:
            if (MaxTrack().cx > 0) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
                info->ptMaxTrackSize = POINT{MaxTrack().cx, MaxTrack().cy};
                info->ptMinTrackSize = POINT{50, 40};
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

struct Pixels {
    Pixels(int width, int height, uint32_t fill)
        : data(static_cast<size_t>(width) * height, fill), width(width), height(height) {}
    SurfaceView View() const {
        return SurfaceView{reinterpret_cast<const uint8_t*>(data.data()), width, height, width * 4};
    }
    std::vector<uint32_t> data;
    int width;
    int height;
};

class GtkBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_system = testing_support::StartGtkBackend();
        if (m_system == nullptr) GTEST_SKIP() << "needs an X display";
        WNDCLASSEX window_class;
        window_class.style = CS_DBLCLKS;
        window_class.lpfnWndProc = RecordingProc;
        window_class.lpszClassName = "GtkTestWindow";
        RegisterClassEx(&window_class);
        Log().clear();
        MaxTrack() = SIZE{0, 0};
        ReleaseButtons();
        ReleaseModifiers();
    }

    void TearDown() override {
        if (m_system != nullptr) {
            ReleaseButtons();
            ReleaseModifiers();
        }
        Shutdown();
    }

    // A visible, focused window at `rect` (screen), mapped and placed.
    HWND Open(RECT rect, DWORD ex_style = 0) {
        HWND hwnd = CreateWindowEx(ex_style, "GtkTestWindow", "gtk test", WS_POPUP | WS_VISIBLE,
                                   rect.left, rect.top, rect.right - rect.left,
                                   rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr);
        SetForegroundWindow(hwnd);
        EXPECT_TRUE(PumpUntil([&] { return IsPlacedAt(hwnd, rect); })) << "window never mapped in place";
        Log().clear();
        return hwnd;
    }

    bool IsPlacedAt(HWND hwnd, RECT rect) {
        gtk::GtkTopLevel* top = m_system->Find(hwnd);
        if (top == nullptr || !gtk_widget_get_mapped(GTK_WIDGET(top->Window()))) return false;
        GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(top->Window()));
        int x = 0;
        int y = 0;
        gdk_window_get_origin(window, &x, &y);
        return x == rect.left && y == rect.top &&
               gdk_window_get_width(window) == rect.right - rect.left &&
               gdk_window_get_height(window) == rect.bottom - rect.top;
    }

    static bool TrueColourScreen() {
        return gdk_visual_get_depth(gdk_screen_get_system_visual(gdk_screen_get_default())) >= 24;
    }

    gtk::GtkWindowSystem* m_system = nullptr;
};

TEST_F(GtkBackendTest, ClicksAndMovesArriveAtClientCoordinates) {
    HWND hwnd = Open(RECT{200, 150, 500, 400});
    PointerTo(230, 190);
    Click(1);
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_LBUTTONUP); }));
    const std::vector<Seen> downs = LoggedOf(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].hwnd, hwnd);
    EXPECT_EQ(GET_X_LPARAM(downs[0].lparam), 30);
    EXPECT_EQ(GET_Y_LPARAM(downs[0].lparam), 40);
    ASSERT_FALSE(LoggedOf(WM_MOUSEMOVE).empty());
    EXPECT_EQ(GET_X_LPARAM(LoggedOf(WM_MOUSEMOVE).back().lparam), 30);

    Log().clear();
    PointerTo(470, 160);
    Click(3);
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_RBUTTONUP); }));
    const std::vector<Seen> rights = LoggedOf(WM_RBUTTONDOWN);
    ASSERT_EQ(rights.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(rights[0].lparam), 270);
    EXPECT_EQ(GET_Y_LPARAM(rights[0].lparam), 10);
    EXPECT_FALSE(Logged(WM_LBUTTONDOWN));
}

TEST_F(GtkBackendTest, QuickSecondClickIsOneDoubleClickNotAThirdPress) {
    Open(RECT{200, 150, 500, 400});
    PointerTo(250, 250);
    Click(1);
    Click(1);
    ASSERT_TRUE(PumpUntil([] { return LoggedOf(WM_LBUTTONUP).size() == 2; }));
    PumpFor(50);
    EXPECT_EQ(LoggedOf(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(LoggedOf(WM_LBUTTONDBLCLK).size(), 1u);
}

TEST_F(GtkBackendTest, WheelNotchesArriveAsWheelDeltaWithScreenPosition) {
    Open(RECT{200, 150, 500, 400});
    PointerTo(260, 170);
    Click(4);   // away from the user
    Click(5);
    ASSERT_TRUE(PumpUntil([] { return LoggedOf(WM_MOUSEWHEEL).size() == 2; }));
    const std::vector<Seen> wheels = LoggedOf(WM_MOUSEWHEEL);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wparam), WHEEL_DELTA);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[1].wparam), -WHEEL_DELTA);
    EXPECT_EQ(GET_X_LPARAM(wheels[0].lparam), 260);
    EXPECT_EQ(GET_Y_LPARAM(wheels[0].lparam), 170);
}

TEST_F(GtkBackendTest, KeysBecomeVirtualKeysAndTypedCharacters) {
    HWND hwnd = Open(RECT{200, 150, 500, 400});
    PointerTo(300, 250);
    SetFocus(hwnd);
    ASSERT_TRUE(PumpUntil([&] {
        return gtk_window_is_active(m_system->Find(hwnd)->Window()) != FALSE;
    })) << "window never got the keyboard focus";
    Log().clear();

    Tap(XK_a);
    Key(XK_Shift_L, true);
    Tap(XK_1);
    Key(XK_Shift_L, false);
    Tap(XK_Left);
    Tap(XK_Return);
    ASSERT_TRUE(PumpUntil([] {
        const std::vector<Seen> ups = LoggedOf(WM_KEYUP);
        return !ups.empty() && ups.back().wparam == static_cast<WPARAM>(VK_RETURN);
    }));

    std::vector<WPARAM> downs;
    for (const Seen& seen : LoggedOf(WM_KEYDOWN)) downs.push_back(seen.wparam);
    EXPECT_EQ(downs, (std::vector<WPARAM>{'A', VK_SHIFT, '1', VK_LEFT, VK_RETURN}));
    std::string typed;
    for (const Seen& seen : LoggedOf(WM_CHAR)) typed += static_cast<char>(seen.wparam);
    EXPECT_EQ(typed, "a!\r");
    // Nothing typed twice through the input method.
    EXPECT_FALSE(Logged(WM_IME_COMPOSITION));
}

TEST_F(GtkBackendTest, InputMethodTextArrivesAsCompositionResultInGbk) {
    HWND hwnd = Open(RECT{200, 150, 500, 400});
    SetFocus(hwnd);
    PumpFor(20);
    g_signal_emit_by_name(m_system->Find(hwnd)->Ime(), "commit", reinterpret_cast<const char*>(u8"种子"));
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_IME_COMPOSITION); }));
    EXPECT_EQ(LoggedOf(WM_IME_COMPOSITION).front().text, "种子");
}

TEST_F(GtkBackendTest, PresentedRectanglesReachTheScreenAndNothingElseChanges) {
    if (!TrueColourScreen()) GTEST_SKIP() << "needs a 24-bit screen";
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    Present(hwnd, Pixels(200, 150, kRed).View(), RECT{0, 0, 200, 150});
    // A freshly mapped window may hold its first paint until the server
    // confirms its size.
    ASSERT_TRUE(PumpUntil([] { FlushScreen(); return ScreenPixel(200, 150) == 0xFF0000u; }));
    EXPECT_EQ(ScreenPixel(399, 299), 0xFF0000u);

    // Only the rectangle is copied from a green source.
    Present(hwnd, Pixels(200, 150, kGreen).View(), RECT{10, 20, 30, 40});
    ASSERT_TRUE(PumpUntil([] { FlushScreen(); return ScreenPixel(210, 170) == 0x00FF00u; }));
    EXPECT_EQ(ScreenPixel(229, 189), 0x00FF00u);
    EXPECT_EQ(ScreenPixel(230, 189), 0xFF0000u);
    EXPECT_EQ(ScreenPixel(209, 170), 0xFF0000u);
}

TEST_F(GtkBackendTest, AwaitDrawnReturnsOnceAFreshWindowShowsWhatWasPushed) {
    if (!TrueColourScreen()) GTEST_SKIP() << "needs a 24-bit screen";
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    Present(hwnd, Pixels(200, 150, kRed).View(), RECT{0, 0, 200, 150});
    AwaitDrawn(hwnd, 10000);
    EXPECT_EQ(ScreenPixel(300, 200), 0xFF0000u);
}

TEST_F(GtkBackendTest, ScreenKeepsTheSurfaceWhenTheWindowIsCoveredAndUncovered) {
    if (!TrueColourScreen()) GTEST_SKIP() << "needs a 24-bit screen";
    HWND below = Open(RECT{200, 150, 400, 300});
    Present(below, Pixels(200, 150, kBlue).View(), RECT{0, 0, 200, 150});
    FlushScreen();
    HWND above = Open(RECT{250, 180, 350, 260});
    Present(above, Pixels(100, 80, kRed).View(), RECT{0, 0, 100, 80});
    // A freshly mapped window may hold its first paint until the server
    // confirms its size.
    EXPECT_TRUE(PumpUntil([] { FlushScreen(); return ScreenPixel(300, 200) == 0xFF0000u; }));
    DestroyWindow(above);
    // The uncovered part is repainted from the retained surface without the
    // program drawing anything.
    EXPECT_TRUE(PumpUntil([] { FlushScreen(); return ScreenPixel(300, 200) == 0x0000FFu; }));
}

TEST_F(GtkBackendTest, RoundedWindowCornersAreOutsideItsShape) {
    if (!TrueColourScreen()) GTEST_SKIP() << "needs a 24-bit screen";
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    SetWindowRgn(hwnd, CreateRoundRectRgn(0, 0, 201, 151, 40, 40), TRUE);
    Present(hwnd, Pixels(200, 150, kRed).View(), RECT{0, 0, 200, 150});
    FlushScreen();
    PumpFor(30);
    EXPECT_NE(ScreenPixel(201, 151), 0xFF0000u) << "top-left corner";
    EXPECT_NE(ScreenPixel(398, 298), 0xFF0000u) << "bottom-right corner";
    EXPECT_EQ(ScreenPixel(300, 150), 0xFF0000u) << "middle of the top edge";
    EXPECT_EQ(ScreenPixel(200, 225), 0xFF0000u) << "middle of the left edge";

    // A click on a cut-off corner does not reach the window.
    PointerTo(201, 151);
    Click(1);
    PointerTo(300, 225);
    Click(1);
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_LBUTTONUP); }));
    PumpFor(50);
    const std::vector<Seen> downs = LoggedOf(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(downs[0].lparam), 100);
}

TEST_F(GtkBackendTest, LayeredWindowWithoutCompositorShowsOnlyItsOpaquePixels) {
    if (!TrueColourScreen()) GTEST_SKIP() << "needs a 24-bit screen";
    if (m_system->Composited()) GTEST_SKIP() << "a compositor shows alpha itself";
    const uint32_t background = ScreenPixel(350, 200);
    HWND hwnd = Open(RECT{200, 150, 400, 300}, WS_EX_LAYERED);
    Pixels pixels(200, 150, 0x00000000u);
    for (int y = 0; y < 150; ++y) {
        std::fill_n(pixels.data.begin() + y * 200, 100, kBlue);
    }
    ASSERT_TRUE(UpdateLayeredWindow(hwnd, pixels.View(), 255));
    FlushScreen();
    PumpFor(30);
    EXPECT_EQ(ScreenPixel(250, 200), 0x0000FFu);
    EXPECT_EQ(ScreenPixel(350, 200), background) << "transparent pixels are cut away";

    // Faded below half, nothing is left.
    ASSERT_TRUE(UpdateLayeredWindow(hwnd, pixels.View(), 60));
    FlushScreen();
    PumpFor(30);
    EXPECT_NE(ScreenPixel(250, 200), 0x0000FFu);
}

TEST_F(GtkBackendTest, ProgramMovesTheNativeWindowWithoutEchoes) {
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    MoveWindow(hwnd, 320, 240, 250, 180, TRUE);
    MoveWindow(hwnd, 330, 250, 260, 190, TRUE);
    ASSERT_TRUE(PumpUntil([&] { return IsPlacedAt(hwnd, RECT{330, 250, 590, 440}); }));
    PumpFor(100);
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{330, 250, 590, 440}));
    // The configure events of the first move were not taken for the
    // system moving the window back.
    EXPECT_EQ(LoggedOf(WM_MOVE).size(), 2u);
}

TEST_F(GtkBackendTest, CaptionDragMovesTheWindowAndTheCoreLearnsWhere) {
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    PointerTo(250, 170);
    Button(1, true);
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_LBUTTONDOWN); }));
    SendMessage(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    for (int step = 1; step <= 5; ++step) {
        PointerTo(250 + step * 12, 170 + step * 8);
        PumpFor(15);
    }
    Button(1, false);
    ASSERT_TRUE(PumpUntil([&] {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        return rect == RECT{260, 190, 460, 340};
    })) << "the core never saw the dragged position";
    EXPECT_TRUE(IsPlacedAt(hwnd, RECT{260, 190, 460, 340}));
}

TEST_F(GtkBackendTest, ResizeDragStopsAtTheTrackingLimitThatBindsOnlyTheDrag) {
    MaxTrack() = SIZE{260, 200};
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    PointerTo(398, 298);
    Button(1, true);
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_LBUTTONDOWN); }));
    SendMessage(hwnd, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, 0);
    for (int step = 1; step <= 5; ++step) {
        PointerTo(398 + step * 30, 298 + step * 30);
        PumpFor(15);
    }
    Button(1, false);
    ASSERT_TRUE(PumpUntil([&] {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        return rect == RECT{200, 150, 460, 350};
    })) << "the drag ignored the limit or the core never saw the size: " << [&] {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        return std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
    }();
    PointerTo(300, 200);
    PumpFor(30);

    // The program itself may go beyond the drag limits.
    MoveWindow(hwnd, 200, 150, 320, 260, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return IsPlacedAt(hwnd, RECT{200, 150, 520, 410}); }));
}

TEST_F(GtkBackendTest, CloseRequestFromTheSystemBecomesWmClose) {
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_system->Find(hwnd)->Window()));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = gdk_x11_window_get_xid(window);
    event.xclient.message_type = XInternAtom(XDisplay(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(XDisplay(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(XDisplay(), event.xclient.window, False, NoEventMask, &event);
    XFlush(XDisplay());
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_CLOSE); }));
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(GtkBackendTest, ClipboardTextTravelsBothWaysWithAnotherClient) {
    Open(RECT{200, 150, 400, 300});
    RunWhilePumping({"xclip", "-selection", "clipboard", "-i"}, reinterpret_cast<const char*>(u8"磁力 link"));
    // xclip takes the selection in its background process, a moment later.
    ASSERT_TRUE(PumpUntil([] { return ClipboardHasText(); }));
    EXPECT_EQ(GetClipboardText(), "磁力 link");

    ASSERT_TRUE(SetClipboardText("种子 seed"));
    EXPECT_EQ(RunWhilePumping({"xclip", "-selection", "clipboard", "-o"}, nullptr),
              reinterpret_cast<const char*>(u8"种子 seed"));
    // Our own text reads back without a round trip through another client.
    EXPECT_EQ(GetClipboardText(), "种子 seed");
}

TEST_F(GtkBackendTest, TooltipShowsItsTextWhileThePointerRestsOnTheTool) {
    HWND hwnd = Open(RECT{200, 150, 400, 300});
    ASSERT_TRUE(AddTool(hwnd, RECT{0, 0, 100, 100}, "下载地址"));
    PointerTo(230, 180);
    PumpFor(30);
    PointerTo(232, 181);
    ASSERT_TRUE(PumpUntil([this] { return m_system->Tooltip().IsVisible(); }));
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(m_system->Tooltip().Widget()));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), reinterpret_cast<const char*>(u8"下载地址"));
    int x = 0;
    int y = 0;
    gtk_window_get_position(GTK_WINDOW(m_system->Tooltip().Widget()), &x, &y);
    EXPECT_GE(y, 181) << "below the pointer";

    PointerTo(350, 250);   // off the tool, still over the window
    EXPECT_TRUE(PumpUntil([this] { return !m_system->Tooltip().IsVisible(); }));
}

TEST_F(GtkBackendTest, SurfaceChildShowsItsPixelsAndGetsItsOwnClicks) {
    WNDCLASSEX child_class;
    child_class.lpfnWndProc = RecordingProc;
    child_class.lpszClassName = "GtkTestChild";
    RegisterNativeChildClass(child_class, gtk::CreateSurfaceChild);
    HWND top = Open(RECT{200, 150, 400, 300});
    Present(top, Pixels(200, 150, kRed).View(), RECT{0, 0, 200, 150});
    HWND child = CreateWindowEx(0, "GtkTestChild", "", WS_CHILD | WS_VISIBLE, 20, 30, 80, 60, top,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    ASSERT_NE(GetNativeChild(child), nullptr);
    Present(child, Pixels(80, 60, kGreen).View(), RECT{0, 0, 80, 60});
    FlushScreen();
    if (TrueColourScreen()) {
        EXPECT_TRUE(PumpUntil([] { FlushScreen(); return ScreenPixel(225, 185) == 0x00FF00u; }));
        EXPECT_EQ(ScreenPixel(215, 185), 0xFF0000u);
    }
    Log().clear();
    PointerTo(230, 190);
    Click(1);
    ASSERT_TRUE(PumpUntil([] { return Logged(WM_LBUTTONUP); }));
    const std::vector<Seen> downs = LoggedOf(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].hwnd, child);
    EXPECT_EQ(GET_X_LPARAM(downs[0].lparam), 10);
    EXPECT_EQ(GET_Y_LPARAM(downs[0].lparam), 10);

    // Hidden with its window, the widget shows the parent's pixels again.
    ShowWindow(child, SW_HIDE);
    if (TrueColourScreen()) {
        EXPECT_TRUE(PumpUntil([] { FlushScreen(); return ScreenPixel(225, 185) == 0xFF0000u; }));
    }
}

TEST_F(GtkBackendTest, WorkAreaAndScreenComeFromTheMonitor) {
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &geometry);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), geometry.width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), geometry.height);
    RECT area{};
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_GT(area.right - area.left, 0);
    EXPECT_LE(area.right - area.left, geometry.width);
    EXPECT_LE(area.bottom - area.top, geometry.height);
}

}  // namespace
