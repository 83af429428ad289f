// Painting and system services: invalid regions, Present and layered
// windows, child composition, shapes, clipboard, tooltips, cursors, native
// children.

#include <cstring>

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

using PaintingTest = PlatformTest;

// A solid source image of one ARGB colour.
struct Image {
    int width, height;
    std::vector<uint32_t> pixels;
    Image(int w, int h, uint32_t colour) : width(w), height(h), pixels(static_cast<size_t>(w) * h, colour) {}
    SurfaceView View() const {
        return SurfaceView{reinterpret_cast<const uint8_t*>(pixels.data()), width, height, width * 4};
    }
};

TEST_F(PaintingTest, BeginPaintReportsTheUnionOfInvalidRectsAndValidates) {
    HWND hwnd = MakeShown(0, 0, 100, 100);
    RECT paint_rect{};
    Hook() = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (message != WM_PAINT) return false;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        paint_rect = paint.rcPaint;
        EndPaint(window, &paint);
        *result = 0;
        return true;
    };
    RECT a{10, 10, 20, 20}, b{50, 5, 60, 15}, outside{90, 90, 200, 200};
    InvalidateRect(hwnd, &a, 0);
    InvalidateRect(hwnd, &b, 0);
    InvalidateRect(hwnd, &outside, 0);
    EXPECT_EQ(headless::PumpMessages(), 1);
    EXPECT_EQ(paint_rect, (RECT{10, 5, 100, 100}));
    RECT update;
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, 0));
}

TEST_F(PaintingTest, HiddenWindowsArePaintedOnlyOnceShown) {
    HWND hwnd = MakeTopLevel();
    InvalidateRect(hwnd, nullptr, 0);
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_PAINT).empty());
    ShowWindow(hwnd, SW_SHOW);
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_PAINT).size(), 1u);
    // UpdateWindow paints at once.
    InvalidateRect(hwnd, nullptr, 0);
    UpdateWindow(hwnd);
    EXPECT_EQ(Messages(WM_PAINT).size(), 2u);
}

TEST_F(PaintingTest, RedrawWindowCanPaintAWholeTreeAtOnce) {
    HWND top = MakeShown(0, 0, 100, 100);
    HWND child = MakeChild(top, 10, 10, 20, 20);
    headless::PumpMessages();
    Log().clear();
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_EQ(Messages(WM_PAINT, top).size(), 1u);
    EXPECT_EQ(Messages(WM_PAINT, child).size(), 1u);
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE);
    RedrawWindow(top, nullptr, nullptr, RDW_VALIDATE);
    EXPECT_EQ(headless::PumpMessages(), 0);
}

TEST_F(PaintingTest, PresentCopiesTheRectangleIntoTheRetainedSurface) {
    HWND hwnd = MakeShown(0, 0, 40, 30);
    const int pushes = headless::PushCount(hwnd);
    Image red(40, 30, 0xFFFF0000);
    Present(hwnd, red.View(), RECT{5, 5, 10, 8});
    EXPECT_EQ(headless::Pixel(hwnd, 5, 5), 0xFFFF0000u);
    EXPECT_EQ(headless::Pixel(hwnd, 9, 7), 0xFFFF0000u);
    EXPECT_EQ(headless::Pixel(hwnd, 10, 7), 0u);
    EXPECT_EQ(headless::Pixel(hwnd, 4, 5), 0u);
    EXPECT_EQ(headless::PushCount(hwnd), pushes + 1);
    // Rectangles reaching past the window or the source are clipped.
    Image small(8, 8, 0xFF00FF00);
    Present(hwnd, small.View(), RECT{-100, -100, 1000, 1000});
    EXPECT_EQ(headless::Pixel(hwnd, 7, 7), 0xFF00FF00u);
    EXPECT_EQ(headless::Pixel(hwnd, 9, 7), 0xFFFF0000u);
    // Unusable sources change nothing.
    Present(hwnd, SurfaceView{nullptr, 10, 10, 40}, RECT{0, 0, 10, 10});
    Present(hwnd, SurfaceView{small.View().data, 8, 8, 4}, RECT{0, 0, 10, 10});
    EXPECT_EQ(headless::Pixel(hwnd, 0, 0), 0xFF00FF00u);
}

TEST_F(PaintingTest, ResizingKeepsTheOverlappingPixels) {
    HWND hwnd = MakeShown(0, 0, 20, 20);
    Image blue(20, 20, 0xFF0000FF);
    Present(hwnd, blue.View(), RECT{0, 0, 20, 20});
    MoveWindow(hwnd, 0, 0, 30, 10, 1);
    int width = 0, height = 0;
    const auto pixels = headless::Pixels(hwnd, &width, &height);
    EXPECT_EQ(width, 30);
    EXPECT_EQ(height, 10);
    EXPECT_EQ(pixels[19], 0xFF0000FFu);
    EXPECT_EQ(pixels[20], 0u);
}

TEST_F(PaintingTest, LayeredWindowTakesTheWholeSurfaceAndConstantAlpha) {
    HWND hwnd = MakeTopLevel(0, 0, 20, 20, "Recorder", WS_EX_LAYERED);
    ShowWindow(hwnd, SW_SHOW);
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_PAINT).empty());   // layered windows are never painted
    EXPECT_TRUE(headless::NativeWindow(hwnd).layered);
    Image half(20, 20, 0x80402010);
    ASSERT_TRUE(UpdateLayeredWindow(hwnd, half.View(), 200));
    EXPECT_EQ(headless::Pixel(hwnd, 19, 19), 0x80402010u);
    EXPECT_EQ(headless::LayeredAlpha(hwnd), 200);
    // A source of another size resizes the window.
    Image bigger(30, 25, 0xFF000000);
    Log().clear();
    ASSERT_TRUE(UpdateLayeredWindow(hwnd, bigger.View(), 255));
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect, (RECT{0, 0, 30, 25}));
    EXPECT_EQ(Messages(WM_SIZE).size(), 1u);
    EXPECT_EQ(headless::Pixel(hwnd, 29, 24), 0xFF000000u);
    // Not for windows that are not layered.
    HWND plain = MakeShown();
    EXPECT_FALSE(UpdateLayeredWindow(plain, half.View(), 255));
}

TEST_F(PaintingTest, LayeredWindowIsNotHitWhereItIsFullyTransparent) {
    HWND below = MakeShown(0, 0, 100, 100);
    HWND layered = MakeTopLevel(0, 0, 100, 100, "Recorder", WS_EX_LAYERED);
    ShowWindow(layered, SW_SHOW);
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), below);   // nothing drawn yet
    Image image(100, 100, 0);
    for (int y = 10; y < 90; ++y) {
        for (int x = 10; x < 90; ++x) image.pixels[static_cast<size_t>(y) * 100 + x] = 0x05000000;
    }
    UpdateLayeredWindow(layered, image.View(), 255);
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), layered);
    EXPECT_EQ(WindowFromPoint(POINT{5, 5}), below);
}

TEST_F(PaintingTest, ChildSurfacesAreComposedOverTheParentClippedToIt) {
    HWND top = MakeShown(0, 0, 40, 40);
    HWND child = MakeChild(top, 30, 30, 20, 20);
    Image grey(40, 40, 0xFF808080);
    Image white(20, 20, 0xFFFFFFFF);
    Present(top, grey.View(), RECT{0, 0, 40, 40});
    Present(child, white.View(), RECT{0, 0, 20, 20});
    EXPECT_EQ(headless::Pixel(top, 29, 29), 0xFF808080u);
    EXPECT_EQ(headless::Pixel(top, 30, 30), 0xFFFFFFFFu);
    EXPECT_EQ(headless::Pixel(top, 39, 39), 0xFFFFFFFFu);
    ShowWindow(child, SW_HIDE);
    EXPECT_EQ(headless::Pixel(top, 30, 30), 0xFF808080u);
}

TEST_F(PaintingTest, RoundRegionShapesTheWindow) {
    HWND hwnd = MakeShown(100, 100, 100, 100);
    HRGN region = CreateRoundRectRgn(6, 6, 94, 94, 10, 10);
    EXPECT_TRUE(PtInRegion(region, 50, 6));
    EXPECT_FALSE(PtInRegion(region, 6, 6));
    EXPECT_FALSE(PtInRegion(region, 94, 50));
    ASSERT_TRUE(SetWindowRgn(hwnd, region, 1));
    EXPECT_FALSE(DeleteObject(region));   // the window owns it now
    const auto shape = headless::NativeWindow(hwnd).shape;
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->rect, (RECT{6, 6, 94, 94}));
    // Outside the shape the pointer is not over the window.
    EXPECT_EQ(WindowFromPoint(POINT{102, 102}), nullptr);
    EXPECT_EQ(WindowFromPoint(POINT{150, 150}), hwnd);
    SetWindowRgn(hwnd, nullptr, 1);
    EXPECT_FALSE(headless::NativeWindow(hwnd).shape.has_value());
    EXPECT_EQ(WindowFromPoint(POINT{102, 102}), hwnd);
}

TEST_F(PaintingTest, ClipboardConvertsBetweenGbkAndUtf8) {
    ASSERT_TRUE(SetClipboardText("magnet:?xt=urn:btih:种子"));
    EXPECT_EQ(headless::SystemClipboard(), U8(u8"magnet:?xt=urn:btih:种子"));
    headless::SetSystemClipboard(U8(u8"ed2k://|file|搜索|"));
    EXPECT_TRUE(ClipboardHasText());
    EXPECT_EQ(GetClipboardText(), "ed2k://|file|搜索|");
    // What GBK cannot hold and malformed bytes become "?"; NUL ends the text.
    headless::SetSystemClipboard(U8(u8"a😀b") + "\xff" + std::string("c\0d", 3));
    EXPECT_EQ(GetClipboardText(), "a?b?c");
    headless::SetSystemClipboard(std::nullopt);
    EXPECT_FALSE(ClipboardHasText());
    EXPECT_EQ(GetClipboardText(), "");
    ASSERT_TRUE(SetClipboardText(std::string("\x81", 1)));   // a cut-off GBK character
    EXPECT_EQ(headless::SystemClipboard(), "?");
}

TEST_F(PaintingTest, TooltipShowsAfterRestingAndHidesOnPressOrLeave) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    ASSERT_TRUE(AddTool(hwnd, RECT{10, 10, 50, 30}, "提示", 1024));
    headless::MouseMove(hwnd, {20, 20});
    headless::PumpMessages();
    EXPECT_FALSE(headless::Tooltip().shown);
    headless::AdvanceClock(499);
    headless::PumpMessages();
    EXPECT_FALSE(headless::Tooltip().shown);
    headless::AdvanceClock(1);
    headless::PumpMessages();
    ASSERT_TRUE(headless::Tooltip().shown);
    EXPECT_EQ(headless::Tooltip().text, U8(u8"提示"));
    EXPECT_EQ(headless::Tooltip().max_width, 1024);
    EXPECT_EQ(headless::Tooltip().screen, (POINT{120, 120}));
    UpdateTool(hwnd, RECT{10, 10, 50, 30}, "new");
    EXPECT_EQ(headless::Tooltip().text, "new");
    headless::MouseDown(hwnd, {20, 20});
    headless::PumpMessages();
    EXPECT_FALSE(headless::Tooltip().shown);
    // Resting again does not bring it back until the pointer has left.
    headless::AdvanceClock(1000);
    headless::PumpMessages();
    EXPECT_FALSE(headless::Tooltip().shown);
    headless::MouseMove(hwnd, {100, 100});
    headless::PumpMessages();
    headless::MouseMove(hwnd, {20, 20});
    headless::PumpMessages();
    headless::AdvanceClock(500);
    headless::PumpMessages();
    EXPECT_TRUE(headless::Tooltip().shown);
    EXPECT_TRUE(RemoveTool(hwnd));
    EXPECT_FALSE(headless::Tooltip().shown);
    EXPECT_FALSE(RemoveTool(hwnd));
    EXPECT_FALSE(UpdateTool(hwnd, RECT{}, "x"));
}

TEST_F(PaintingTest, TooltipPopsDownByItself) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    AddTool(hwnd, RECT{0, 0, 200, 150}, "tip");
    headless::MouseMove(hwnd, {20, 20});
    headless::AdvanceClock(500);
    headless::PumpMessages();
    ASSERT_TRUE(headless::Tooltip().shown);
    headless::AdvanceClock(5000);
    headless::PumpMessages();
    EXPECT_FALSE(headless::Tooltip().shown);
}

TEST_F(PaintingTest, CursorsAreTheSystemOnesAndApplyToTheWindowUnderThePointer) {
    HWND hwnd = MakeShown();
    EXPECT_EQ(LoadCursor(nullptr, 12345), nullptr);
    HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
    ASSERT_NE(hand, nullptr);
    Hook() = [hand](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (message != WM_SETCURSOR) return false;
        SetCursor(hand);
        *result = 1;
        return true;
    };
    headless::MouseMove(hwnd, {5, 5});
    headless::PumpMessages();
    EXPECT_EQ(headless::NativeWindow(hwnd).cursor, IDC_HAND.value);
    EXPECT_EQ(GetCursor(), hand);
}

TEST_F(PaintingTest, BeepsReachTheSystem) {
    MessageBeep(MB_ICONQUESTION);
    MessageBeep(MB_ICONERROR);
    EXPECT_EQ(headless::Beeps(), (std::vector<UINT>{MB_ICONQUESTION, MB_ICONERROR}));
}

class FakeWidget : public NativeChild {
public:
    RECT* placed;
    bool* visible;
    int* focused;
    FakeWidget(RECT* p, bool* v, int* f) : placed(p), visible(v), focused(f) {}
    void Place(const RECT& rect) override { *placed = rect; }
    void SetVisible(bool value) override { *visible = value; }
    void Focus() override { ++*focused; }
};

TEST_F(PaintingTest, NativeChildWidgetsFollowTheirWindow) {
    static RECT placed;
    static bool visible;
    static int focused;
    static int destroyed;
    placed = RECT{};
    visible = false;
    focused = 0;
    destroyed = 0;
    struct Counting : FakeWidget {
        using FakeWidget::FakeWidget;
        ~Counting() override { ++destroyed; }
    };
    WNDCLASSEX browser_class;
    browser_class.lpfnWndProc = RecordingProc;
    browser_class.lpszClassName = "BrowserHost";
    ASSERT_NE(RegisterNativeChildClass(browser_class, [](HWND, HWND) {
                  return std::make_unique<Counting>(&placed, &visible, &focused);
              }),
              0);
    HWND top = MakeShown(100, 100, 300, 200);
    HWND panel = MakeChild(top, 10, 10, 200, 150);
    HWND browser = MakeChild(panel, 5, 6, 100, 80, 1, "BrowserHost");
    ASSERT_NE(browser, nullptr);
    ASSERT_NE(GetNativeChild(browser), nullptr);
    EXPECT_EQ(placed, (RECT{15, 16, 115, 96}));
    EXPECT_TRUE(visible);
    MoveWindow(panel, 20, 20, 200, 150, 1);
    EXPECT_EQ(placed, (RECT{25, 26, 125, 106}));
    ShowWindow(panel, SW_HIDE);
    EXPECT_FALSE(visible);
    ShowWindow(panel, SW_SHOW);
    SetFocus(browser);
    EXPECT_EQ(focused, 1);
    DestroyWindow(top);
    EXPECT_EQ(destroyed, 1);
    // A native class needs a parent.
    EXPECT_EQ(CreateWindowEx(0, "BrowserHost", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             nullptr, nullptr),
              nullptr);
}

}  // namespace
}  // namespace platform_test
