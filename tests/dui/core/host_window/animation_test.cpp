// Show, close and fade-in animations.

#include "dui/core/host_window.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dui/core/canvas.h"

#include "platform/headless/headless.h"
#include "tests/dui/core/host_window/host_window_fixture.h"

namespace {

using host_window_tests::HostWindowTest;
namespace headless = plat::headless;

TEST_F(HostWindowTest, FadeInRunsOnTheWindowTimerUntilOpaque) {
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    host->SetBackground(std::nullopt, 0x000000, true);
    EXPECT_TRUE(host->Animating());
    a.ClearLog();
    headless::MouseMove(window, {30, 50});
    Pump();
    EXPECT_FALSE(a.Received(dui::EX_MSG_MOUSEENTER));  // input ignored while animating
    for (int tick = 0; tick < 6; ++tick) Advance(50);
    EXPECT_FALSE(host->Animating());
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
}

TEST_F(HostWindowTest, CloseAnimationFadesOutInFifteenFramesThenHidesAndDestroys) {
    AttachHost();
    host->CloseAnimation(dui::kAnimationFade);
    const int before = headless::PushCount(window);
    const uint64_t start = headless::Now();
    int pushes = -1;
    int alpha = -1;
    bool visible = true;
    host->OnMessage([&](plat::HWND w, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == plat::WM_DESTROY) {
            pushes = headless::PushCount(w) - before;
            alpha = headless::LayeredAlpha(w);
            visible = plat::IsWindowVisible(w) != 0;
        }
        return dui::kNotHandled;
    });
    plat::PostMessage(window, plat::WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_EQ(pushes, 16);  // 15 frames and the cleared window
    EXPECT_EQ(alpha, 0);
    EXPECT_FALSE(visible);
    EXPECT_GE(headless::Now() - start, 150u);
}

TEST_F(HostWindowTest, AnimatedShowEndsVisibleUnlayeredAndComposed) {
    AttachHost();
    AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    plat::ShowWindow(window, plat::SW_HIDE);
    host->Show(dui::kAnimationCentre);
    Pump();
    EXPECT_TRUE(plat::IsWindowVisible(window));
    EXPECT_FALSE(host->Animating());
    EXPECT_EQ(plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE) & plat::WS_EX_LAYERED, 0);
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
}

TEST_F(HostWindowTest, WhatRunsAfterTheFirstFrameIsInTheFramesAfterIt) {
    AttachHost();
    for (const int type : {dui::kAnimationCentre, dui::kAnimationNone}) {
        SCOPED_TRACE(type);
        plat::ShowWindow(window, plat::SW_HIDE);
        const int before = headless::PushCount(window);
        int runs = 0;
        int pushed_before_it = -1;
        bool visible_in_it = false;
        host->Show(type, dui::kShowAnimationMs, [&] {
            ++runs;
            pushed_before_it = headless::PushCount(window) - before;
            visible_in_it = plat::IsWindowVisible(window) != 0;
            AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
        });
        Pump();
        EXPECT_EQ(runs, 1);
        EXPECT_TRUE(visible_in_it);
        if (type != dui::kAnimationNone) {
            EXPECT_EQ(pushed_before_it, 1);
        }
        EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
    }
}

TEST_F(HostWindowTest, FirstShowFrameIsTheComposedWindowAtItsStartingPlace) {
    AttachHost();
    AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    std::vector<uint32_t> first_frame;
    host->OnMessage([&](plat::HWND w, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
        if (message == plat::WM_SHOWWINDOW && wparam != 0) first_frame = headless::Pixels(w);
        return dui::kNotHandled;
    });
    for (const bool with_step : {false, true}) {
        SCOPED_TRACE(with_step);
        plat::ShowWindow(window, plat::SW_HIDE);
        first_frame.clear();
        if (with_step) {
            host->Show(dui::kAnimationCentre, dui::kShowAnimationMs, [] {});
        } else {
            host->Show(dui::kAnimationCentre);
        }
        Pump();
        int width = 0;
        int height = 0;
        std::vector<uint32_t> composed = headless::Pixels(window, &width, &height);
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(composed.data()), CAIRO_FORMAT_ARGB32, width, height, width * 4);
        dui::ExCanvas expected(width, height);
        // The first of fifteen steps grows the window from its centre.
        const float scale = 1.0f / 15;
        expected.DrawImage(dui::ImageSource(surface, width, height),
                           {float(width) * (1 - scale) / 2, float(height) * (1 - scale) / 2, float(width) * scale,
                            float(height) * scale});
        cairo_surface_destroy(surface);
        const dui::PixelView view = expected.Pixels();
        std::vector<uint32_t> expected_pixels(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            std::memcpy(expected_pixels.data() + static_cast<size_t>(y) * width, view.data + static_cast<size_t>(y) * view.stride,
                        static_cast<size_t>(width) * 4);
        EXPECT_EQ(first_frame, expected_pixels);
    }
}

TEST_F(HostWindowTest, OnlyTheFadeInStartsTranslucentGrowingAndSlidingStartOpaque) {
    AttachHost();
    int first_frame_alpha = -1;
    host->OnMessage([&](plat::HWND w, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
        // The window is shown right after its first frame was pushed.
        if (message == plat::WM_SHOWWINDOW && wparam != 0) first_frame_alpha = headless::LayeredAlpha(w);
        return dui::kNotHandled;
    });
    for (const int type : {dui::kAnimationCentre, dui::kAnimationSlideDown, dui::kAnimationSlideUp}) {
        SCOPED_TRACE(type);
        plat::ShowWindow(window, plat::SW_HIDE);
        first_frame_alpha = -1;
        host->Show(type);
        EXPECT_EQ(first_frame_alpha, 255);
    }
    plat::ShowWindow(window, plat::SW_HIDE);
    host->Show(dui::kAnimationFade);
    EXPECT_GT(first_frame_alpha, 0);
    EXPECT_LT(first_frame_alpha, 64);
    Pump();
    EXPECT_TRUE(plat::IsWindowVisible(window));
    EXPECT_EQ(plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE) & plat::WS_EX_LAYERED, 0);
}

}  // namespace
