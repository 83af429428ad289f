// Translation of GDK input and of window shapes, checked without windows
// (the cursor cache needs the display).

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "platform/backend.h"
#include "platform/gtk/gtk_cursors.h"
#include "platform/gtk/gtk_keys.h"
#include "platform/gtk/gtk_shape.h"
#include "platform/platform.h"

namespace {

using namespace plat;
using plat::gtk::KeyText;
using plat::gtk::VirtualKeyFromKeyval;

TEST(GtkVirtualKeys, LettersAndDigitsAreNamedByTheKeyNotByTheCharacter) {
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_a, GDK_KEY_a), 'A');
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_A, GDK_KEY_a), 'A');
    // Shift+1 types '!' but is the '1' key.
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_exclam, GDK_KEY_1), '1');
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_colon, GDK_KEY_semicolon), VK_OEM_1);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_question, GDK_KEY_slash), VK_OEM_2);
    // Without the unmodified keyval the keyval itself decides.
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_z, 0), 'Z');
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_bracketright, 0), VK_OEM_6);
}

TEST(GtkVirtualKeys, LayoutIndependentKeysKeepTheirNamesWhateverTheBaseKey) {
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_Return, GDK_KEY_Return), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_KP_Enter, 0), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_ISO_Left_Tab, GDK_KEY_Tab), VK_TAB);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_Control_R, 0), VK_CONTROL);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_Alt_L, 0), VK_MENU);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_F1, 0), VK_F1);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_F12, 0), VK_F12);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_Page_Down, 0), VK_NEXT);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_Delete, 0), VK_DELETE);
}

TEST(GtkVirtualKeys, KeypadFollowsNumLockThroughTheKeyval) {
    // NumLock on: the keypad types digits.
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_KP_7, GDK_KEY_KP_Home), VK_NUMPAD0 + 7);
    // NumLock off: the same key is Home.
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_KP_Home, GDK_KEY_KP_Home), VK_HOME);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_KP_Add, 0), VK_ADD);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_KP_Divide, 0), VK_DIVIDE);
}

TEST(GtkVirtualKeys, OtherCharacterKeysAreKeysAndSilentKeysAreNone) {
    EXPECT_NE(VirtualKeyFromKeyval(GDK_KEY_odiaeresis, GDK_KEY_odiaeresis), 0);
    EXPECT_NE(VirtualKeyFromKeyval(GDK_KEY_Cyrillic_ef, 0), 0);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_AudioPlay, 0), 0);
    EXPECT_EQ(VirtualKeyFromKeyval(GDK_KEY_VoidSymbol, 0), 0);
}

TEST(GtkKeyText, PlainKeysTypeTheirCharacterAsUtf8) {
    EXPECT_EQ(KeyText(GDK_KEY_a, GdkModifierType(0)), "a");
    EXPECT_EQ(KeyText(GDK_KEY_A, GDK_SHIFT_MASK), "A");
    EXPECT_EQ(KeyText(GDK_KEY_exclam, GDK_SHIFT_MASK), "!");
    EXPECT_EQ(KeyText(GDK_KEY_eacute, GdkModifierType(0)), "\xc3\xa9");   // UTF-8 of U+00E9
    EXPECT_EQ(KeyText(GDK_KEY_KP_5, GDK_MOD2_MASK), "5");
}

TEST(GtkKeyText, EditingKeysTypeWhatTranslateMessageMakesOfThem) {
    EXPECT_EQ(KeyText(GDK_KEY_BackSpace, GdkModifierType(0)), "\b");
    EXPECT_EQ(KeyText(GDK_KEY_Return, GdkModifierType(0)), "\r");
    EXPECT_EQ(KeyText(GDK_KEY_KP_Enter, GdkModifierType(0)), "\r");
    EXPECT_EQ(KeyText(GDK_KEY_Tab, GdkModifierType(0)), "\t");
    EXPECT_EQ(KeyText(GDK_KEY_ISO_Left_Tab, GDK_SHIFT_MASK), "\t");
    EXPECT_EQ(KeyText(GDK_KEY_Escape, GdkModifierType(0)), "\x1b");
    // Keys that move or delete type nothing.
    EXPECT_EQ(KeyText(GDK_KEY_Delete, GdkModifierType(0)), "");
    EXPECT_EQ(KeyText(GDK_KEY_Left, GdkModifierType(0)), "");
    EXPECT_EQ(KeyText(GDK_KEY_F5, GdkModifierType(0)), "");
    EXPECT_EQ(KeyText(GDK_KEY_Shift_L, GdkModifierType(0)), "");
}

TEST(GtkKeyText, ControlMakesControlCharactersAndAltKeepsTheCharacter) {
    EXPECT_EQ(KeyText(GDK_KEY_a, GDK_CONTROL_MASK), "\x01");
    EXPECT_EQ(KeyText(GDK_KEY_C, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK)), "\x03");
    EXPECT_EQ(KeyText(GDK_KEY_z, GDK_CONTROL_MASK), "\x1a");
    EXPECT_EQ(KeyText(GDK_KEY_bracketleft, GDK_CONTROL_MASK), "\x1b");
    EXPECT_EQ(KeyText(GDK_KEY_BackSpace, GDK_CONTROL_MASK), "\x7f");
    EXPECT_EQ(KeyText(GDK_KEY_1, GDK_CONTROL_MASK), "");
    // Alt+letter becomes WM_SYSCHAR of the letter in the core.
    EXPECT_EQ(KeyText(GDK_KEY_f, GDK_MOD1_MASK), "f");
}

TEST(GtkInputState, ModifiersAndButtonsAreReadFromTheEventState) {
    const InputState none = gtk::InputStateOf(0);
    EXPECT_FALSE(none.shift || none.control || none.alt || none.left || none.middle || none.right);
    const InputState all = gtk::InputStateOf(GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK |
                                             GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK);
    EXPECT_TRUE(all.shift && all.control && all.alt && all.left && all.middle && all.right);
    const InputState right_only = gtk::InputStateOf(GDK_BUTTON3_MASK);
    EXPECT_TRUE(right_only.right);
    EXPECT_FALSE(right_only.left || right_only.middle);
}

// Every pixel of the window must agree with the core's rule.
void ExpectRegionMatchesShape(const WindowShape& shape, int width, int height) {
    const gtk::RegionPtr region = gtk::RegionFromShape(shape, width, height);
    for (int y = -1; y <= height; ++y) {
        for (int x = -1; x <= width; ++x) {
            const bool inside_window = x >= 0 && y >= 0 && x < width && y < height;
            const bool expected = inside_window && ShapeContains(shape, x, y);
            ASSERT_EQ(cairo_region_contains_point(region.get(), x, y) != FALSE, expected)
                << "pixel " << x << "," << y << " of shape " << shape.rect.left << ","
                << shape.rect.top << "-" << shape.rect.right << "," << shape.rect.bottom
                << " ellipse " << shape.ellipse_width << "x" << shape.ellipse_height;
        }
    }
}

TEST(GtkShapeRegion, RoundedRectangleCoversExactlyThePixelsOfTheWindowRegion) {
    ExpectRegionMatchesShape(WindowShape{{0, 0, 101, 81}, 20, 20}, 100, 80);
    ExpectRegionMatchesShape(WindowShape{{6, 6, 95, 75}, 10, 10}, 100, 80);
    ExpectRegionMatchesShape(WindowShape{{0, 0, 40, 30}, 7, 13}, 40, 30);
    ExpectRegionMatchesShape(WindowShape{{3, 2, 30, 20}, 0, 0}, 40, 30);   // plain rectangle
}

TEST(GtkShapeRegion, ShapesReachingOutsideTheWindowAreCutAtItsEdges) {
    ExpectRegionMatchesShape(WindowShape{{-20, -10, 200, 200}, 30, 30}, 50, 40);
    ExpectRegionMatchesShape(WindowShape{{60, 60, 90, 90}, 5, 5}, 50, 40);   // wholly outside
    ExpectRegionMatchesShape(WindowShape{{10, 10, 10, 30}, 4, 4}, 50, 40);   // empty
}

struct TestSurface {
    TestSurface(int width, int height, uint32_t fill)
        : pixels(static_cast<size_t>(width) * height, fill), width(width), height(height) {}
    SurfaceView View() const {
        return SurfaceView{reinterpret_cast<const uint8_t*>(pixels.data()), width, height, width * 4};
    }
    std::vector<uint32_t> pixels;
    int width;
    int height;
};

TEST(GtkShapeRegion, AlphaShapeKeepsPixelsReachingTheThresholdAfterConstantAlpha) {
    TestSurface surface(4, 2, 0xFF000000u);
    surface.pixels[1] = 0x7F000000u;   // just below half
    surface.pixels[2] = 0x80000000u;   // half
    surface.pixels[3] = 0x00000000u;
    const gtk::RegionPtr half = gtk::RegionFromAlpha(surface.View(), 255, 128);
    EXPECT_TRUE(cairo_region_contains_point(half.get(), 0, 0));
    EXPECT_FALSE(cairo_region_contains_point(half.get(), 1, 0));
    EXPECT_TRUE(cairo_region_contains_point(half.get(), 2, 0));
    EXPECT_FALSE(cairo_region_contains_point(half.get(), 3, 0));
    EXPECT_TRUE(cairo_region_contains_point(half.get(), 3, 1));

    // Constant alpha scales every pixel: half of opaque is still shown,
    // half of half is not.
    const gtk::RegionPtr faded = gtk::RegionFromAlpha(surface.View(), 128, 128);
    EXPECT_TRUE(cairo_region_contains_point(faded.get(), 0, 0));
    EXPECT_FALSE(cairo_region_contains_point(faded.get(), 2, 0));

    const gtk::RegionPtr hidden = gtk::RegionFromAlpha(surface.View(), 0, 1);
    EXPECT_TRUE(cairo_region_is_empty(hidden.get()));
}

TEST(GtkShapeRegion, UnusableSurfacesGiveAnEmptyShape) {
    TestSurface surface(4, 4, 0xFF000000u);
    SurfaceView short_stride = surface.View();
    short_stride.stride = 8;
    EXPECT_TRUE(cairo_region_is_empty(gtk::RegionFromAlpha(short_stride, 255, 1).get()));
    EXPECT_TRUE(cairo_region_is_empty(gtk::RegionFromAlpha(SurfaceView{}, 255, 1).get()));
    SurfaceView negative = surface.View();
    negative.height = -4;
    EXPECT_TRUE(cairo_region_is_empty(gtk::RegionFromAlpha(negative, 255, 1).get()));
}

TEST(GtkCursors, EverySystemCursorHasADistinctShapeEvenWithoutATheme) {
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "needs an X display";
    gtk::CursorCache cache(gdk_display_get_default());
    const int ids[] = {IDC_ARROW.value, IDC_IBEAM.value, IDC_WAIT.value, IDC_HAND.value,
                       IDC_SIZEWE.value, IDC_SIZENS.value, IDC_SIZENWSE.value,
                       IDC_SIZENESW.value, IDC_SIZEALL.value, 0};
    std::vector<GdkCursor*> seen;
    for (int id : ids) {
        GdkCursor* cursor = cache.Get(id);
        ASSERT_NE(cursor, nullptr) << id;
        EXPECT_EQ(cache.Get(id), cursor) << "created once";
        for (GdkCursor* other : seen) EXPECT_NE(other, cursor) << id;
        seen.push_back(cursor);
    }
    EXPECT_EQ(cache.Get(12345), cache.Get(IDC_ARROW.value));
}

}  // namespace
