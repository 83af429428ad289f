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

}  // namespace
