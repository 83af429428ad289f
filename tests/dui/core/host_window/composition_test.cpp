// Composition of controls into the back buffer and frames.

#include "dui/core/host_window.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/dui/core/host_window/host_window_fixture.h"

namespace {

using host_window_tests::Channel;
using host_window_tests::HostWindowTest;
namespace headless = plat::headless;

TEST_F(HostWindowTest, LaterSiblingsAreDrawnOnTop) {
    AttachHost();
    AddControl({20, 40, 60, 60}, nullptr, 0xFFFF0000);
    AddControl({50, 40, 60, 60}, nullptr, 0xFF0000FF);
    Pump();
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
    EXPECT_EQ(ScreenPixel(60, 50), 0xFF0000FFu);
    EXPECT_EQ(Channel(ScreenPixel(200, 200), 16), 254);  // white background
}

TEST_F(HostWindowTest, ChildrenAreClippedToTheirParent) {
    AttachHost();
    auto& parent = AddControl({20, 40, 60, 60}, nullptr, 0xFF00FF00);
    AddControl({60, 80, 60, 60}, parent.GetHandle(), 0xFFFF0000);
    Pump();
    EXPECT_EQ(ScreenPixel(70, 90), 0xFFFF0000u);   // inside the parent
    EXPECT_EQ(Channel(ScreenPixel(100, 120), 8), 254);  // outside: background
}

TEST_F(HostWindowTest, DisabledControlIsComposedAtItsHalvedAlpha) {
    AttachHost();
    auto& a = AddControl({20, 40, 60, 60}, nullptr, 0xFF000000);
    a.Disabled(true);
    Pump();
    const uint32_t pixel = ScreenPixel(30, 50);
    // Black at 127 over white: about half grey.
    EXPECT_NEAR(Channel(pixel, 16), 127, 3);
}

TEST_F(HostWindowTest, CustomDrawingControlReplacesItsCanvas) {
    AttachHost();
    auto& a = AddControl({20, 40, 60, 60}, nullptr, 0xFF000000);
    a.Answer(dui::EX_MSG_CUSTOMDRAW, 1);
    a.Invalidate();
    Pump();
    EXPECT_EQ(Channel(ScreenPixel(30, 50), 16), 254);
    a.Answer(dui::EX_MSG_CUSTOMDRAW, 0);
    a.Invalidate();
    Pump();
    EXPECT_EQ(Channel(ScreenPixel(30, 50), 16), 0);
}

TEST_F(HostWindowTest, MovedControlRedrawsOldAndNewPlace) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    a.Move(100.0f, 100.0f);
    Pump();
    EXPECT_EQ(ScreenPixel(110, 110), 0xFFFF0000u);
    EXPECT_EQ(Channel(ScreenPixel(25, 45), 8), 254);
}

TEST_F(HostWindowTest, RedrawNowPushesAtOnceQueuedRedrawsWaitForTheFrame) {
    AttachHost();
    const int before = headless::PushCount(window);
    host->RedrawRect({0, 0, 10, 10}, dui::RedrawMode::Now);
    EXPECT_EQ(headless::PushCount(window), before + 1);
    host->RedrawRect({0, 0, 10, 10}, dui::RedrawMode::Append);
    host->RedrawRect({200, 200, 10, 10}, dui::RedrawMode::Front);
    EXPECT_EQ(headless::PushCount(window), before + 1);
    EXPECT_TRUE(host->FramePending());
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 2);
    EXPECT_FALSE(host->FramePending());
}

TEST_F(HostWindowTest, LayeredWindowPushesOncePerFrame) {
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    auto& b = AddControl({120, 40, 30, 30}, nullptr, 0xFF0000FF);
    Pump();
    const int before = headless::PushCount(window);
    a.Invalidate();
    b.Invalidate();
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 1);  // one per frame
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
}

TEST_F(HostWindowTest, FiftySetterCallsOnOneControlPresentOnce) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    const int before = headless::PushCount(window);
    const int paints = a.Count(plat::WM_PAINT);
    for (int i = 0; i < 50; ++i) {
        a.Colour(i % 2 == 0 ? 0xFF00FF00 : 0xFF0000FF);
        a.Invalidate();
    }
    EXPECT_TRUE(a.Dirty());
    EXPECT_EQ(headless::PushCount(window), before);
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 1);
    EXPECT_EQ(a.Count(plat::WM_PAINT), paints + 1);
    EXPECT_FALSE(a.Dirty());
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF0000FFu);
}

TEST_F(HostWindowTest, ChangesOfManyControlsAreComposedAndPresentedInOneFrame) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    auto& b = AddControl({300, 300, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    const int before = headless::PushCount(window);
    a.Colour(0xFF00FF00);
    a.Invalidate();
    b.Colour(0xFF0000FF);
    b.Invalidate();
    b.Move(200.0f, 200.0f);
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 1);
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF00FF00u);
    EXPECT_EQ(ScreenPixel(210, 210), 0xFF0000FFu);
    EXPECT_EQ(Channel(ScreenPixel(310, 310), 8), 254);  // the old place is background
}

TEST_F(HostWindowTest, HiddenDirtyControlIsPaintedWhenShown) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    a.Visible(false);
    a.Colour(0xFF0000FF);
    a.Invalidate();
    const int paints = a.Count(plat::WM_PAINT);
    Pump();
    EXPECT_EQ(a.Count(plat::WM_PAINT), paints);
    EXPECT_EQ(Channel(ScreenPixel(30, 50), 16), 254);  // white background
    a.Visible(true);
    Pump();
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF0000FFu);
}

TEST_F(HostWindowTest, PaintOfTheWindowComposesThePendingFrameFirst) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    a.Colour(0xFF00FF00);
    a.Invalidate();
    plat::UpdateWindow(window);  // no frame ran yet: nothing stale reaches the screen
    plat::InvalidateRect(window, nullptr, 0);
    plat::UpdateWindow(window);
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF00FF00u);
    EXPECT_FALSE(host->FramePending());
}

}  // namespace
