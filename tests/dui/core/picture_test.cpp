#include "dui/core/picture.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::ExPicture;
namespace headless = plat::headless;

// A 1 x 1 GIF whose frames alternate red and blue, one frame per delay (in
// hundredths of a second).
std::string AnimatedGif(const std::vector<int>& delays) {
    std::string gif = "GIF89a";
    gif += std::string("\x01\x00\x01\x00\x80\x00\x00", 7);   // 1 x 1, 2-colour table
    gif += std::string("\xFF\x00\x00\x00\x00\xFF", 6);       // red, blue
    for (size_t i = 0; i < delays.size(); ++i) {
        gif += std::string("\x21\xF9\x04\x04", 4);
        gif += static_cast<char>(delays[i] & 0xFF);
        gif += static_cast<char>((delays[i] >> 8) & 0xFF);
        gif += std::string("\x00\x00", 2);
        gif += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        // LZW, minimum code size 2: clear, the pixel, end.
        gif += i % 2 == 0 ? std::string("\x02\x02\x44\x01\x00", 5)
                          : std::string("\x02\x02\x4C\x01\x00", 5);
    }
    gif += '\x3B';
    return gif;
}

std::string StillPng() {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 1, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(surface);
    return png;
}

class PictureTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        AttachHost();
    }

    // Virtual times (relative to now) at which the picture's timer fires
    // within `span` milliseconds, stepping the clock 5 ms at a time.
    std::vector<uint64_t> TickTimes(ExPicture& picture, uint64_t span) {
        std::vector<uint64_t> ticks;
        const uint64_t start = headless::Now();
        picture.BindEvent(plat::WM_TIMER, [&](const dui::ControlEvent&) {
            ticks.push_back(headless::Now() - start);
        });
        for (uint64_t t = 0; t < span; t += 5) Advance(5);
        picture.BindEvent(plat::WM_TIMER, nullptr);
        return ticks;
    }

    ExPicture picture;
};

TEST_F(PictureTest, ZeroDelayFixPlaysEachFrameForItsOwnDelay) {
    ASSERT_NE(picture.CreateFromBytes(window, 10, 40, 20, 20, AnimatedGif({0, 5, 0}), true, 0, true),
              dui::ControlHandle::None);
    EXPECT_EQ(picture.FrameCount(), 3);
    EXPECT_EQ(picture.FrameDelays(), (std::vector<int32_t>{10, 5, 10}));
    const auto ticks = TickTimes(picture, 400);
    ASSERT_GE(ticks.size(), 4u);
    EXPECT_EQ(ticks[0], 100u);   // frame 1 after 100 ms of frame 0
    EXPECT_EQ(ticks[1], 150u);   // frame 2 after 50 ms of frame 1
    EXPECT_EQ(ticks[2], 250u);   // frame 0 after 100 ms of frame 2
    EXPECT_EQ(ticks[3], 350u);
}

TEST_F(PictureTest, ZeroDelaysWithoutFixRunAtTheTimerMinimum) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, AnimatedGif({0, 5}), true);
    EXPECT_EQ(picture.FrameDelays(), (std::vector<int32_t>{0, 5}));
    const auto ticks = TickTimes(picture, 100);
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_EQ(ticks[0], 10u);
    EXPECT_EQ(ticks[1], 60u);
}

TEST_F(PictureTest, StillPngNeverArmsATimer) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, StillPng(), true);
    ASSERT_NE(picture.Image(), nullptr);
    EXPECT_EQ(picture.FrameCount(), 0);
    EXPECT_TRUE(TickTimes(picture, 1000).empty());
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), 0xFF00FF00u);
}

TEST_F(PictureTest, FramesAlternateOnTheCanvas) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, AnimatedGif({10, 10}), true);
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), 0xFFFF0000u);
    Advance(100);
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), 0xFF0000FFu);
    Advance(100);
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), 0xFFFF0000u);
}

TEST_F(PictureTest, DisabledPictureKeepsItsFrameOnTicks) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, AnimatedGif({10, 10}), true);
    picture.Disabled(true);
    const uint32_t shown = picture.Canvas()->GetPixel(5, 5);
    const int index = picture.FrameIndex();
    Advance(100);
    Advance(100);
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), shown);
    EXPECT_GT(picture.FrameIndex(), index);
}

TEST_F(PictureTest, StoppingLeavesOneTickThatKillsTheTimer) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, AnimatedGif({10, 10}), true);
    Advance(100);
    picture.Playing(false);
    EXPECT_EQ(picture.FrameIndex(), 0);
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), 0xFFFF0000u);
    const auto ticks = TickTimes(picture, 500);
    EXPECT_EQ(ticks.size(), 1u);
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), 0xFFFF0000u);
}

TEST_F(PictureTest, UndecodableBytesDrawOnlyBackColourAndBorder) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, "not an image", true, 0xFF00FF00, false,
                            dui::PictureDrawMode::Stretched, dui::kBorderSolid);
    EXPECT_EQ(picture.Image(), nullptr);
    EXPECT_EQ(picture.FrameCount(), 0);
    EXPECT_EQ(picture.Canvas()->GetPixel(10, 10), 0xFF00FF00u);
    EXPECT_NE(picture.Canvas()->GetPixel(0, 0), 0xFF00FF00u);  // the border
    EXPECT_TRUE(TickTimes(picture, 300).empty());
}

TEST_F(PictureTest, SetImageReplacesImageAndRestartsAtFirstFrame) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, StillPng());
    const std::string gif = AnimatedGif({3, 4});
    EXPECT_EQ(picture.ImageData(gif), gif);
    EXPECT_EQ(picture.FrameCount(), 2);
    EXPECT_EQ(picture.Canvas()->GetPixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(picture.ImageData(), gif);
}

TEST_F(PictureTest, DestroyFreesImageAndStopsPlaying) {
    picture.CreateFromBytes(window, 10, 40, 20, 20, AnimatedGif({10, 10}), true);
    const auto handle = picture.GetHandle();
    picture.Destroy();
    EXPECT_FALSE(picture.Playing());
    EXPECT_EQ(picture.Image(), nullptr);
    EXPECT_TRUE(picture.FrameDelays().empty());
    Advance(300);  // a late tick for the old handle reaches no one
    EXPECT_EQ(dui::ResolveControl(handle), nullptr);
}

}  // namespace
