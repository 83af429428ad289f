// The painted background and frame, the shadow and the window shape.

#include "dui/core/host_window.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/dui/core/host_window/host_window_fixture.h"

namespace {

using host_window_tests::Channel;
using host_window_tests::HostWindowTest;
namespace headless = plat::headless;

TEST_F(HostWindowTest, PlainWindowIsShapedLayeredWindowGetsShadowRings) {
    AttachHost();
    auto shape = headless::NativeWindow(window).shape;
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->rect, (plat::RECT{6, 6, 470 - 6, 390 - 6}));
    EXPECT_EQ(shape->ellipse_width, 5);

    controls.clear();
    plat::DestroyWindow(window);
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    EXPECT_FALSE(headless::NativeWindow(window).shape.has_value());
    // Rings at 5, 4, 3, 2 pixels from the edge fade out: 45, 25, 10, 5.
    EXPECT_NEAR(Channel(ScreenPixel(5, 200), 24), 45, 2);
    EXPECT_NEAR(Channel(ScreenPixel(4, 200), 24), 25, 2);
    EXPECT_NEAR(Channel(ScreenPixel(3, 200), 24), 10, 2);
    EXPECT_NEAR(Channel(ScreenPixel(2, 200), 24), 5, 2);
    EXPECT_EQ(Channel(ScreenPixel(1, 200), 24), 0);
    EXPECT_EQ(Channel(ScreenPixel(200, 200), 24), 254);
}

TEST_F(HostWindowTest, SquareFrameShapeWidensByAPixelWhenMaximisedNoFrameHasNoShape) {
    auto options = PlainOptions();
    options.frame_style = 0;
    AttachHost(options);
    auto shape = headless::NativeWindow(window).shape;
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->rect, (plat::RECT{6, 6, 470 - 6, 390 - 6}));
    EXPECT_EQ(shape->ellipse_width, 0);

    // Maximised, the window reaches 7 pixels past the work area and its
    // shape one pixel further out than in its restored size.
    plat::ShowWindow(window, plat::SW_MAXIMIZE);
    Pump();
    ASSERT_TRUE(plat::IsZoomed(window));
    plat::RECT rect{};
    plat::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    ASSERT_NE(width, 470);
    shape = headless::NativeWindow(window).shape;
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->rect, (plat::RECT{5, 5, width - 5, height - 5}));

    controls.clear();
    plat::DestroyWindow(window);
    options.frame_style = 1;
    AttachHost(options);
    EXPECT_FALSE(headless::NativeWindow(window).shape.has_value());
}

TEST_F(HostWindowTest, NewColourRepaintsTheBackgroundAndMinusOneKeepsIt) {
    AttachHost();
    host->SetBackground(std::nullopt, 0xFF0000);  // blue: red is the low byte
    EXPECT_EQ(host->BackgroundColour(), 0xFF0000);
    EXPECT_LE(Channel(ScreenPixel(200, 200), 16), 2);
    EXPECT_GE(Channel(ScreenPixel(200, 200), 0), 250);
    host->SetBackground(std::nullopt, -1);
    EXPECT_EQ(host->BackgroundColour(), 0xFF0000);
    EXPECT_GE(Channel(ScreenPixel(200, 200), 0), 250);
}

TEST_F(HostWindowTest, SharedBackgroundOverridesTheHostsOwnColour) {
    auto options = PlainOptions();
    options.background_colour = 0x0000FF;  // red
    AttachHost(options);
    dui::HostWindowOptions second_options;
    second_options.width = 200;
    second_options.height = 150;
    plat::HWND second = dui::CreateHostWindow(second_options);
    dui::ExHostWindow second_host;
    auto shared = PlainOptions();
    shared.background_colour = 0x00FF00;
    shared.shared_background = window;
    ASSERT_TRUE(second_host.Attach(second, shared));
    plat::ShowWindow(second, plat::SW_SHOWNORMAL);
    Pump();
    EXPECT_EQ(second_host.BackgroundColour(), 0x0000FF);
    const uint32_t pixel = headless::Pixel(second, 100, 75);
    EXPECT_GE(Channel(pixel, 16), 250);
    EXPECT_LE(Channel(pixel, 8), 2);
    plat::DestroyWindow(second);
}

}  // namespace
