#include <cairo.h>
#include <gtest/gtest.h>

#include <string>

#include "dui/controls/controls_module.h"
#include "dui/controls/image_button.h"
#include "dui/controls/toggle_button.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::Argb;
using dui::ExImageButton;
namespace headless = plat::headless;

// PNG bytes of a width x height picture filled with `fill`, with its
// top-left `corner` x `corner` pixels in `corner_colour`.
std::string Png(int width, int height, Argb fill, int corner = 0, Argb corner_colour = 0) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    auto set = [&](Argb c) {
        cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                              (c >> 24) / 255.0);
    };
    set(fill);
    cairo_paint(cr);
    if (corner > 0) {
        set(corner_colour);
        cairo_rectangle(cr, 0, 0, corner, corner);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    std::string bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

constexpr Argb kRed = 0xFFFF0000;
constexpr Argb kGreen = 0xFF00FF00;
constexpr Argb kBlue = 0xFF0000FF;

class ImageButtonTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_TRUE(dui::ControlsStartup());
        AttachHost();
        headless::SetAutoAdvanceBudget(10'000);
    }

    Argb FacePixel(int x, int y) const { return button.Canvas()->GetPixel(x, y); }

    ExImageButton button;
};

TEST_F(ImageButtonTest, ShowsThePictureOfEachStateAndNoneWhenDisabled) {
    button.CreateTextControl(window, 20, 20, 60, 30);
    EXPECT_EQ(button.Kind(), dui::ControlKind::ImageButton);
    button.SetImages(Png(40, 20, kRed), Png(40, 20, kGreen), Png(40, 20, kBlue));
    Pump();
    EXPECT_EQ(FacePixel(5, 5), kRed);
    EXPECT_EQ(FacePixel(50, 25) >> 24, 0u);   // natural size at the top-left only

    headless::MouseMove(window, {30, 30});
    Pump();
    EXPECT_EQ(FacePixel(5, 5), kGreen);
    headless::MouseDown(window, {30, 30});
    Pump();
    EXPECT_EQ(FacePixel(6, 6), kBlue);   // pressed
    headless::MouseUp(window, {30, 30});
    Pump();

    button.DrawMode(dui::kImageStretched);
    Pump();
    EXPECT_EQ(FacePixel(58, 28), kGreen);
    button.Disabled(true);
    Pump();
    EXPECT_EQ(FacePixel(30, 15) >> 24, 0u);
}

TEST_F(ImageButtonTest, NoPicturesNoFaceAndUndecodableBytesShowNothing) {
    button.CreateTextControl(window, 20, 20, 60, 30, "搜索");
    button.NormalImage("not a picture");
    Pump();
    const dui::ExCanvas& canvas = *button.Canvas();
    for (int y = 0; y < canvas.Height(); ++y) {
        EXPECT_EQ(canvas.GetPixel(1, y) >> 24, 0u) << y;   // left of the caption
    }
    EXPECT_EQ(button.NormalImage(), "not a picture");
}

TEST_F(ImageButtonTest, NineGridKeepsCornersAndClampsOversizedMargins) {
    button.CreateTextControl(window, 20, 20, 60, 30);
    button.SetImages(Png(20, 20, kRed, 4, kBlue), std::nullopt, std::nullopt, dui::kImageNineGrid,
                     dui::Margins{4, 4, 4, 4});
    Pump();
    EXPECT_EQ(FacePixel(1, 1), kBlue);
    EXPECT_EQ(FacePixel(30, 15), kRed);
    // Margins far beyond the button: scaled down, never negative.
    button.GridMargins(dui::Margins{500, 500, -40, 900});
    Pump();
    EXPECT_NE(FacePixel(1, 1) >> 24, 0u);
    button.Move(std::nullopt, std::nullopt, 2.0f, 2.0f);
    Pump();
    EXPECT_NE(FacePixel(0, 0) >> 24, 0u);
}

TEST_F(ImageButtonTest, FocusRepaintsNothingAndShowsNoFocusCue) {
    button.CreateTextControl(window, 20, 20, 60, 30, "上一页");
    button.SetImages(Png(60, 30, kRed), Png(60, 30, kGreen));
    Pump();
    int paints = 0;
    button.BindEvent(plat::WM_PAINT, [&](const dui::ControlEvent&) { ++paints; });
    host->SetFocus(button.GetHandle(), true);
    Pump();
    EXPECT_EQ(paints, 0);
    EXPECT_EQ(FacePixel(30, 2), kRed);
    button.PaintNow();   // the state stays normal and no dashed cue is drawn
    for (int x = 0; x < 60; ++x) {
        EXPECT_EQ(FacePixel(x, 2), kRed) << x;
        EXPECT_EQ(FacePixel(x, 27), kRed) << x;
    }
}

// Clicks arrive by mouse, Enter, Space and the Alt hotkey; none while
// disabled. The same holds for toggle buttons.
template <class Button>
void ExpectClicksOnlyWhileEnabled(testing_support::HostFixture& fixture, plat::HWND window,
                                  dui::ExHostWindow& host, Button& button) {
    button.CreateTextControl(window, 20, 20, 60, 30, "搜索(&S)");
    int clicks = 0;
    button.BindEvent(dui::EX_MSG_CLICK, [&](const dui::ControlEvent&) { ++clicks; });
    auto press = [&](int key, bool alt) {
        if (alt) headless::KeyDown(plat::VK_MENU);
        headless::PressKey(key);
        if (alt) headless::KeyUp(plat::VK_MENU);
        headless::PumpMessages();
    };
    headless::Click(window, {30, 30});
    headless::PumpMessages();
    EXPECT_EQ(clicks, 1);
    host.SetFocus(button.GetHandle(), true);
    press(plat::VK_RETURN, false);
    press(plat::VK_SPACE, false);
    press('S', true);
    EXPECT_EQ(clicks, 4);

    button.Disabled(true);
    headless::Click(window, {30, 30});
    headless::PumpMessages();
    press(plat::VK_RETURN, false);
    press('S', true);
    EXPECT_EQ(clicks, 4);
    (void)fixture;
}

TEST_F(ImageButtonTest, ClicksByMouseKeysAndHotkeyOnlyWhileEnabled) {
    ExpectClicksOnlyWhileEnabled(*this, window, *host, button);
}

TEST_F(ImageButtonTest, ToggleButtonClicksTooAndKeepsItsCheckedState) {
    dui::ExToggleButton toggle;
    ExpectClicksOnlyWhileEnabled(*this, window, *host, toggle);
    EXPECT_EQ(toggle.Kind(), dui::ControlKind::ToggleButton);
    EXPECT_FALSE(toggle.Checked());
}

}  // namespace
