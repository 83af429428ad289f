#include "dui/core/canvas.h"

#include <fontconfig/fontconfig.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "dui/core/canvas_access.h"
#include "dui/core/image_surface.h"

namespace dui {
namespace {

constexpr Argb kOpaqueRed = 0xFFFF0000;
constexpr Argb kOpaqueBlue = 0xFF0000FF;

int Alpha(Argb p) { return static_cast<int>(p >> 24); }
int Red(Argb p) { return static_cast<int>((p >> 16) & 0xFF); }
int Green(Argb p) { return static_cast<int>((p >> 8) & 0xFF); }
int Blue(Argb p) { return static_cast<int>(p & 0xFF); }

// Channels may differ by rounding through premultiplied storage.
MATCHER_P2(NearArgb, expected, tolerance, "") {
    Argb e = expected;
    return std::abs(Alpha(arg) - Alpha(e)) <= tolerance && std::abs(Red(arg) - Red(e)) <= tolerance &&
           std::abs(Green(arg) - Green(e)) <= tolerance && std::abs(Blue(arg) - Blue(e)) <= tolerance;
}

Font TestFont(float size = 12, int style = kFontRegular) { return CreateFont("WenQuanYi Zen Hei", size, style); }

// Leftmost, rightmost, top and bottom pixel with alpha above `threshold`.
struct Ink {
    int left = -1, top = -1, right = -1, bottom = -1;
    bool Any() const { return left >= 0; }
};
Ink InkBounds(const ExCanvas& canvas, int threshold = 40) {
    Ink ink;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (Alpha(canvas.GetPixel(x, y)) > threshold) {
                if (!ink.Any()) {
                    ink.left = ink.right = x;
                    ink.top = y;
                }
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.bottom = y;
            }
    return ink;
}

// ---- colours ----

TEST(ColourTest, MakeArgbSwapsRedToTheHighByteAndNeverYieldsAlpha255) {
    EXPECT_EQ(MakeArgb(0x0000FF, 255), 0xFEFF0000u);
    EXPECT_EQ(MakeArgb(0x0000FF, 128), 0x80FF0000u);
    EXPECT_EQ(MakeArgb(0x0000FF), 0xFEFF0000u);
    EXPECT_EQ(MakeArgb(0xFF0000, 10), 0x0A0000FFu);
    EXPECT_EQ(MakeArgb(0x123456, 0), 0x00563412u);
    EXPECT_EQ(MakeArgb(0xFF123456, 1), 0x01563412u) << "the unused top byte of the RGB value is ignored";
}

TEST(ColourTest, DarknessFollowsLuminanceThreshold192) {
    EXPECT_TRUE(IsDarkColour(0xFF000000));
    EXPECT_FALSE(IsDarkColour(0xFFFFFFFF));
    EXPECT_TRUE(IsDarkColour(0xFFBFBFBF));   // luminance 191
    EXPECT_FALSE(IsDarkColour(0xFFC0C0C0));  // luminance 192
    EXPECT_TRUE(IsDarkColour(0x00FF0000)) << "alpha plays no part";
}

// ---- canvas basics ----

TEST(CanvasTest, NewCanvasIsTransparentAndSizesAreBounded) {
    auto canvas = CreateCanvas(8, 6);
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->Width(), 8);
    EXPECT_EQ(canvas->GetPixel(3, 3), 0u);
    EXPECT_EQ(canvas->GetPixel(-1, 0), 0u);
    EXPECT_EQ(canvas->GetPixel(8, 0), 0u);
    EXPECT_TRUE(CreateCanvas(0, 0));
    EXPECT_FALSE(CreateCanvas(-1, 5));
    EXPECT_FALSE(CreateCanvas(kMaxImageSide + 1, 1));
    EXPECT_FALSE(CreateCanvas(kMaxImageSide, kMaxImageSide));
    ExCanvas refused(-5, 100000);
    EXPECT_EQ(refused.Width(), 0);
    refused.Clear(kOpaqueRed);  // drawing on an empty canvas is harmless
    refused.DrawText({0, 0, 10, 10}, "x", TestFont(), kOpaqueRed, StringFormat{});
}

TEST(CanvasTest, ClearCloneAndPixelView) {
    ExCanvas canvas(4, 3);
    canvas.Clear(0x80FF0000);
    EXPECT_THAT(canvas.GetPixel(2, 1), NearArgb(0x80FF0000u, 1));
    auto copy = canvas.Clone();
    canvas.Clear(0);
    EXPECT_EQ(canvas.GetPixel(2, 1), 0u);
    EXPECT_THAT(copy->GetPixel(2, 1), NearArgb(0x80FF0000u, 1));
    PixelView view = copy->Pixels();
    ASSERT_NE(view.data, nullptr);
    EXPECT_EQ(view.width, 4);
    EXPECT_GE(view.stride, 16);
    uint32_t stored = *reinterpret_cast<const uint32_t*>(view.data + view.stride);
    EXPECT_EQ(stored >> 24, 0x80u) << "premultiplied ARGB32, alpha in the top byte";
    EXPECT_NEAR(static_cast<int>((stored >> 16) & 0xFF), 0x80, 1);
}

// ---- paths and rounded rectangles ----

TEST(RoundRectTest, ArcsSitOnePixelInsideTheRightAndBottomEdges) {
    RectF bounds = RoundRectPath({0, 0, 20, 10}, 6).Bounds();
    // Right arcs at x = 13 (box 13..19), bottom arcs at y = 3 (box 3..9).
    EXPECT_FLOAT_EQ(bounds.left, 0);
    EXPECT_FLOAT_EQ(bounds.top, 0);
    EXPECT_FLOAT_EQ(bounds.Right(), 19);
    EXPECT_FLOAT_EQ(bounds.Bottom(), 9);
}

TEST(RoundRectTest, FilledAndOutlinedShapesStayInsideTheRectangleWithRoundCorners) {
    ExCanvas fill(22, 12);
    fill.FillRoundRect({0, 0, 20, 10}, 6, kOpaqueBlue);
    EXPECT_EQ(Alpha(fill.GetPixel(0, 0)), 0) << "corner cut off";
    EXPECT_EQ(Alpha(fill.GetPixel(10, 5)), 255);
    EXPECT_EQ(Alpha(fill.GetPixel(20, 5)), 0);
    EXPECT_EQ(Alpha(fill.GetPixel(10, 10)), 0);

    ExCanvas outline(22, 12);
    outline.DrawRoundRect({0, 0, 20, 10}, 6, kOpaqueBlue);
    EXPECT_GT(Alpha(outline.GetPixel(10, 0)), 240) << "top edge on pixel row 0";
    EXPECT_GT(Alpha(outline.GetPixel(10, 9)), 240) << "bottom edge on row 9";
    EXPECT_GT(Alpha(outline.GetPixel(19, 5)), 240) << "right edge on column 19";
    EXPECT_EQ(Alpha(outline.GetPixel(10, 5)), 0) << "inside stays empty";
    EXPECT_EQ(Alpha(outline.GetPixel(20, 5)), 0);
    EXPECT_LT(Alpha(outline.GetPixel(0, 0)), 60);
}

TEST(RoundRectTest, DashedOutlineLeavesGaps) {
    ExCanvas canvas(40, 10);
    canvas.DrawRoundRect({0, 0, 40, 10}, 0, kOpaqueBlue, DashStyle::Dash);
    int inked = 0;
    for (int x = 0; x < 40; ++x) inked += Alpha(canvas.GetPixel(x, 0)) > 128;
    EXPECT_GT(inked, 15);
    EXPECT_LT(inked, 38);
}

// ---- borders ----

TEST(BorderTest, SunkenAndRaisedDrawDarkAndLightEdges) {
    ExCanvas sunken(10, 10);
    sunken.DrawBorder({0, 0, 10, 10}, kBorderSunken);
    EXPECT_THAT(sunken.GetPixel(5, 0), NearArgb(0xA0000000u, 2));
    EXPECT_THAT(sunken.GetPixel(0, 5), NearArgb(0xA0000000u, 2));
    EXPECT_THAT(sunken.GetPixel(5, 9), NearArgb(0xF5FFFFFFu, 2));
    EXPECT_THAT(sunken.GetPixel(9, 5), NearArgb(0xF5FFFFFFu, 2));
    EXPECT_EQ(sunken.GetPixel(5, 5), 0u);

    ExCanvas raised(10, 10);
    raised.DrawBorder({0, 0, 10, 10}, kBorderRaised);
    EXPECT_THAT(raised.GetPixel(5, 0), NearArgb(0xF5FFFFFFu, 2));
    EXPECT_THAT(raised.GetPixel(0, 5), NearArgb(0xF5FFFFFFu, 2));
    EXPECT_THAT(raised.GetPixel(5, 9), NearArgb(0xA8000000u, 2));
    EXPECT_THAT(raised.GetPixel(9, 5), NearArgb(0xA8000000u, 2));
}

TEST(BorderTest, SolidDashedAndColourValuedStyles) {
    ExCanvas solid(10, 10);
    solid.DrawBorder({0, 0, 10, 10}, kBorderSolid);
    EXPECT_THAT(solid.GetPixel(5, 0), NearArgb(MakeArgb(0x646464, 255), 1));
    EXPECT_THAT(solid.GetPixel(9, 5), NearArgb(MakeArgb(0x646464, 255), 1));
    EXPECT_EQ(solid.GetPixel(5, 5), 0u);
    ExCanvas coloured(10, 10);
    coloured.DrawBorder({0, 0, 10, 10}, kBorderSolid, 0xFF00FF00);
    EXPECT_THAT(coloured.GetPixel(0, 5), NearArgb(0xFF00FF00u, 1));

    ExCanvas dashed(40, 10);
    dashed.DrawBorder({0, 0, 40, 10}, kBorderDashed);
    int inked = 0;
    for (int x = 0; x < 40; ++x) {
        Argb p = dashed.GetPixel(x, 0);
        if (Alpha(p) > 100) {
            ++inked;
            EXPECT_THAT(p, NearArgb(0x78000000u, 2));
        }
    }
    EXPECT_GT(inked, 10);
    EXPECT_LT(inked, 38);

    ExCanvas argb(10, 10);
    argb.DrawBorder({0, 0, 10, 10}, 0x80FF0000);
    EXPECT_THAT(argb.GetPixel(5, 0), NearArgb(0x80FF0000u, 2));
    EXPECT_THAT(argb.GetPixel(9, 9), NearArgb(0x80FF0000u, 2));
    EXPECT_EQ(argb.GetPixel(5, 5), 0u);

    ExCanvas none(10, 10);
    none.DrawBorder({0, 0, 10, 10}, kBorderNone, kOpaqueRed);
    EXPECT_FALSE(InkBounds(none, 0).Any());
}

TEST(LineTest, OnePixelLineCoversItsEndPointsExactly) {
    ExCanvas canvas(12, 3);
    canvas.DrawLine(1, 1, 9, 1, kOpaqueRed);
    EXPECT_THAT(canvas.GetPixel(1, 1), NearArgb(kOpaqueRed, 2));
    EXPECT_THAT(canvas.GetPixel(9, 1), NearArgb(kOpaqueRed, 2));
    EXPECT_EQ(canvas.GetPixel(10, 1), 0u);
    EXPECT_EQ(canvas.GetPixel(0, 1), 0u);
    EXPECT_EQ(canvas.GetPixel(5, 0), 0u);
    EXPECT_EQ(canvas.GetPixel(5, 2), 0u);
}

// ---- gradients ----

TEST(GradientTest, HorizontalRunsLeftToRightAndVerticalTopToBottom) {
    ExCanvas horizontal(41, 21);
    horizontal.FillGradient({0, 0, 41, 21}, 0xFF0000FF, 0xFFFF0000, GradientMode::Horizontal);
    EXPECT_GT(Blue(horizontal.GetPixel(2, 10)), 200);
    EXPECT_GT(Red(horizontal.GetPixel(38, 10)), 200);
    EXPECT_NEAR(Red(horizontal.GetPixel(20, 2)), Red(horizontal.GetPixel(20, 18)), 1) << "no change along y";
    for (int x = 2; x < 38; ++x) EXPECT_LE(Red(horizontal.GetPixel(x, 10)), Red(horizontal.GetPixel(x + 1, 10)));

    ExCanvas vertical(41, 21);
    vertical.FillGradient({0, 0, 41, 21}, 0xFF0000FF, 0xFFFF0000);
    EXPECT_GT(Blue(vertical.GetPixel(20, 1)), 200);
    EXPECT_GT(Red(vertical.GetPixel(20, 19)), 200);
    EXPECT_NEAR(Red(vertical.GetPixel(2, 10)), Red(vertical.GetPixel(38, 10)), 1) << "no change along x";
}

TEST(GradientTest, DiagonalsRunCornerToCorner) {
    ExCanvas forward(41, 21);
    forward.FillGradient({0, 0, 41, 21}, 0xFF0000FF, 0xFFFF0000, GradientMode::ForwardDiagonal);
    EXPECT_GT(Blue(forward.GetPixel(1, 1)), 200);
    EXPECT_GT(Red(forward.GetPixel(39, 19)), 200);
    EXPECT_NEAR(Red(forward.GetPixel(39, 1)), Red(forward.GetPixel(1, 19)), 12);
    EXPECT_NEAR(Red(forward.GetPixel(39, 1)), 128, 30);

    ExCanvas backward(41, 21);
    backward.FillGradient({0, 0, 41, 21}, 0xFF0000FF, 0xFFFF0000, GradientMode::BackwardDiagonal);
    EXPECT_GT(Blue(backward.GetPixel(39, 1)), 200);
    EXPECT_GT(Red(backward.GetPixel(1, 19)), 200);
}

TEST(GradientTest, FillStopsOnePixelShortAndDoesNotBleedOutside) {
    ExCanvas canvas(30, 10);
    canvas.FillGradient({0, 0, 20, 10}, 0xFF0000FF, 0xFF0000FF, GradientMode::Horizontal);
    EXPECT_EQ(Alpha(canvas.GetPixel(10, 5)), 255);
    EXPECT_LT(Alpha(canvas.GetPixel(19, 5)), 200) << "last column only partly covered";
    EXPECT_EQ(Alpha(canvas.GetPixel(20, 5)), 0);
    EXPECT_LT(Alpha(canvas.GetPixel(10, 9)), 200);
    canvas.FillGradient({0, 0, 0, 10}, kOpaqueRed, kOpaqueRed);  // empty: nothing
    canvas.FillGradient({0, 0, 1e30f, 10}, kOpaqueRed, kOpaqueRed);
}

// ---- clipping ----

TEST(ClipTest, ReplaceAndIntersectCombineAsDescribed) {
    ExCanvas canvas(20, 20);
    canvas.SetClipRect({0, 0, 10, 10});
    canvas.SetClipRect({5, 5, 10, 10}, CombineMode::Intersect);
    EXPECT_EQ(canvas.GetClipBounds(), (RectF{5, 5, 5, 5}));
    canvas.Clear(kOpaqueRed);
    EXPECT_EQ(canvas.GetPixel(4, 4), 0u);
    EXPECT_EQ(Alpha(canvas.GetPixel(5, 5)), 255);
    EXPECT_EQ(canvas.GetPixel(10, 10), 0u);

    canvas.SetClipRect({5, 5, 10, 10}, CombineMode::Replace);
    canvas.Clear(kOpaqueBlue);
    EXPECT_EQ(Blue(canvas.GetPixel(14, 14)), 255);
    EXPECT_EQ(canvas.GetPixel(15, 15), 0u);

    canvas.ResetClip();
    EXPECT_EQ(canvas.GetClipBounds(), (RectF{0, 0, 20, 20}));
}

TEST(ClipTest, SavedClipComesBackAndDisjointClipIsEmpty) {
    ExCanvas canvas(20, 20);
    canvas.SetClipRect({0, 0, 10, 10});
    canvas.SaveClip();
    canvas.SetClipRect({15, 15, 5, 5}, CombineMode::Intersect);
    EXPECT_TRUE(canvas.GetClipBounds().IsEmpty());
    canvas.Clear(kOpaqueRed);
    EXPECT_FALSE(InkBounds(canvas, 0).Any());
    canvas.RestoreClip();
    canvas.RestoreClip();  // unbalanced restore is ignored
    EXPECT_EQ(canvas.GetClipBounds(), (RectF{0, 0, 10, 10}));
}

TEST(ClipTest, PathAndRegionClipsCutRoundCorners) {
    Path rounded = RoundRectPath({0, 0, 20, 20}, 8);
    ExCanvas by_path(20, 20);
    by_path.SetClipPath(rounded);
    by_path.Clear(kOpaqueRed);
    EXPECT_EQ(by_path.GetPixel(0, 0), 0u);
    EXPECT_EQ(Alpha(by_path.GetPixel(10, 10)), 255);
    EXPECT_EQ(Alpha(by_path.GetPixel(0, 10)), 255);

    Region region = Region::FromPath(rounded);
    EXPECT_FALSE(region.Contains(0, 0));
    EXPECT_TRUE(region.Contains(10, 10));
    EXPECT_TRUE(region.Contains(19, 10));
    EXPECT_FALSE(region.Contains(20, 10));
    ExCanvas by_region(20, 20);
    by_region.SetClipRegion(region);
    by_region.Clear(kOpaqueRed);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(Alpha(by_region.GetPixel(x, y)) != 0, region.Contains(x, y)) << x << "," << y;
    EXPECT_EQ(by_region.GetPixel(0, 0), by_path.GetPixel(0, 0));
}

TEST(ClipTest, RegionsCombineByPixel) {
    Region a(RectF{0, 0, 10, 10});
    a.Union(Region(RectF{20, 0, 5, 5}));
    EXPECT_TRUE(a.Contains(22, 2));
    a.Subtract(Region(RectF{0, 0, 5, 10}));
    EXPECT_FALSE(a.Contains(2, 2));
    a.Intersect(Region(RectF{0, 0, 8, 8}));
    EXPECT_EQ(a.Bounds(), (RectF{5, 0, 3, 8}));
    a.Translate(10, 1);
    EXPECT_TRUE(a.Contains(15, 1));
    EXPECT_TRUE(Region(RectF{0, 0, 0.4f, 5}).IsEmpty()) << "no pixel centre inside";
    Region huge = Region::FromPath(RoundRectPath({-1e7f, -1e7f, 2e7f, 2e7f}, 4));
    (void)huge;  // bounded work whatever the path claims
}

// ---- images on the canvas ----

class CanvasImageTest : public ::testing::Test {
protected:
    // A 30 x 30 source of nine 10 x 10 cells, cell (c, r) coloured distinctly.
    void SetUp() override {
        source = CreateCanvas(30, 30);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) source->FillRect({c * 10.0f, r * 10.0f, 10, 10}, CellColour(c, r));
    }
    static Argb CellColour(int c, int r) { return ArgbOf(255, static_cast<uint8_t>(c * 100), static_cast<uint8_t>(r * 100), 50); }
    std::unique_ptr<ExCanvas> source;
};

TEST_F(CanvasImageTest, OpacityFullTakesThePlainPathAndHalfHalvesAlpha) {
    ExCanvas plain(47, 33), alpha(47, 33);
    plain.DrawImage(*source, {3, 2, 41, 29});
    alpha.DrawImageAlpha(*source, {3, 2, 41, 29}, 255);
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 47; ++x) ASSERT_EQ(plain.GetPixel(x, y), alpha.GetPixel(x, y)) << x << "," << y;

    ExCanvas half(30, 30);
    half.DrawImageAlpha(*source, {0, 0, 30, 30}, 128);
    EXPECT_NEAR(Alpha(half.GetPixel(15, 15)), 128, 1);
    ExCanvas none(30, 30);
    none.DrawImageAlpha(*source, {0, 0, 30, 30}, 0);
    EXPECT_FALSE(InkBounds(none, 0).Any());
}

TEST_F(CanvasImageTest, NaturalSizeAtTopLeftOrCentred) {
    ExCanvas canvas(50, 50);
    canvas.DrawImageNatural(*source, {0, 0, 50, 50}, true);
    EXPECT_EQ(canvas.GetPixel(9, 9), 0u);
    EXPECT_THAT(canvas.GetPixel(10, 10), NearArgb(CellColour(0, 0), 1));
    EXPECT_THAT(canvas.GetPixel(39, 39), NearArgb(CellColour(2, 2), 1));
    EXPECT_EQ(canvas.GetPixel(40, 40), 0u);
    ExCanvas corner(50, 50);
    corner.DrawImageNatural(*source, {5, 5, 50, 50}, false);
    EXPECT_THAT(corner.GetPixel(5, 5), NearArgb(CellColour(0, 0), 1));
    EXPECT_EQ(corner.GetPixel(35, 35), 0u);
}

TEST_F(CanvasImageTest, PartDrawsOnlyTheSourceRectangleWithoutBleeding) {
    ExCanvas canvas(20, 20);
    canvas.DrawImagePart(*source, {0, 0, 20, 20}, RectF{10, 10, 10, 10});  // the centre cell, doubled
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_THAT(canvas.GetPixel(x, y), NearArgb(CellColour(1, 1), 1)) << x << "," << y;
    canvas.DrawImagePart(*source, {0, 0, 20, 20}, RectF{100, 100, 10, 10});  // outside the image: nothing
    EXPECT_THAT(canvas.GetPixel(0, 0), NearArgb(CellColour(1, 1), 1));
}

TEST_F(CanvasImageTest, NineGridKeepsCornersAndStretchesTheRest) {
    ExCanvas canvas(100, 60);
    canvas.DrawImageNineGrid(*source, {0, 0, 100, 60}, {10, 10, 10, 10});
    EXPECT_THAT(canvas.GetPixel(0, 0), NearArgb(CellColour(0, 0), 1));
    EXPECT_THAT(canvas.GetPixel(9, 9), NearArgb(CellColour(0, 0), 1));
    EXPECT_THAT(canvas.GetPixel(10, 5), NearArgb(CellColour(1, 0), 1));
    EXPECT_THAT(canvas.GetPixel(89, 5), NearArgb(CellColour(1, 0), 1));
    EXPECT_THAT(canvas.GetPixel(90, 5), NearArgb(CellColour(2, 0), 1));
    EXPECT_THAT(canvas.GetPixel(50, 30), NearArgb(CellColour(1, 1), 1));
    EXPECT_THAT(canvas.GetPixel(99, 59), NearArgb(CellColour(2, 2), 1));
    EXPECT_THAT(canvas.GetPixel(5, 55), NearArgb(CellColour(0, 2), 1));
}

TEST_F(CanvasImageTest, NineGridMarginsWiderThanTheTargetShrinkInProportion) {
    ExCanvas canvas(10, 10);
    canvas.DrawImageNineGrid(*source, {0, 0, 10, 10}, {20, 20, 20, 20});
    EXPECT_THAT(canvas.GetPixel(0, 0), NearArgb(CellColour(0, 0), 1));
    EXPECT_THAT(canvas.GetPixel(9, 9), NearArgb(CellColour(2, 2), 1));
    EXPECT_EQ(Alpha(canvas.GetPixel(5, 5)), 255) << "no gap between opposite margins";
}

TEST_F(CanvasImageTest, DrawingACanvasOntoItselfOrAnEmptySourceIsIgnored) {
    source->DrawImage(*source, {0, 0, 15, 15});
    EXPECT_THAT(source->GetPixel(14, 14), NearArgb(CellColour(1, 1), 1));
    ExCanvas empty(0, 0);
    source->DrawImage(empty, {0, 0, 30, 30});
    EXPECT_THAT(source->GetPixel(0, 0), NearArgb(CellColour(0, 0), 1));
}

// ---- fonts ----

TEST(FontTest, MissingFamiliesFallBackToTheDefaultFamily) {
    EXPECT_EQ(CreateFont("NoSuchFamilyAtAll", 14, kFontBold).FamilyUtf8(), DefaultFont().FamilyUtf8());
    EXPECT_EQ(CreateFont("NoSuchFamilyAtAll", 14, kFontBold).Size(), 14);
    EXPECT_EQ(CreateFont("WenQuanYi Zen Hei", 12, 0).FamilyUtf8(), "WenQuanYi Zen Hei");
    EXPECT_TRUE(FontFamilyExists("文泉驿正黑")) << "localized names count";
    EXPECT_FALSE(FontFamilyExists("sans-serif")) << "a generic alias is not an installed family";
    EXPECT_FALSE(FontFamilyExists(""));
}

TEST(FontTest, DefaultFontIsAnInstalledFamilyAtTwelvePixels) {
    const Font& font = DefaultFont();
    EXPECT_EQ(font.Size(), 12);
    EXPECT_EQ(font.Style(), kFontRegular);
    EXPECT_TRUE(FontFamilyExists(font.Family()));
    if (FontFamilyExists("宋体")) {
        EXPECT_EQ(font.Family(), "宋体");
    }
}

TEST(FontTest, DefaultFamilyCoversSimplifiedChinese) {
    // Labels draw without font fallback: a Latin-only default face would
    // turn every Chinese character into a missing-glyph box.
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(DefaultFont().FamilyUtf8().c_str()));
    FcLangSet* languages = FcLangSetCreate();
    FcLangSetAdd(languages, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcPatternAddLangSet(pattern, FC_LANG, languages);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    EXPECT_TRUE(fonts != nullptr && fonts->nfont > 0) << DefaultFont().FamilyUtf8();
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcLangSetDestroy(languages);
    FcPatternDestroy(pattern);
}

TEST(FontTest, HintedTwelvePixelLineIsSixteenHigh) {
    EXPECT_EQ(TestFont().Height(), 16);
    EXPECT_EQ(MeasureString("搜索 Search", TestFont(), {}, StringFormat{}).height, 16);
    EXPECT_GT(TestFont(24).Height(), 28);
}

TEST(FontTest, AbsurdSizesAreClamped) {
    EXPECT_EQ(CreateFont("x", -3, 0).Size(), 12);
    EXPECT_EQ(CreateFont("x", 1e9f, 0).Size(), 1000);
}

TEST(TextEncodingTest, GbkRoundTripsAndBadBytesBecomeQuestionMarks) {
    EXPECT_EQ(TextToUtf8("搜索 abc"), reinterpret_cast<const char*>(u8"搜索 abc"));
    EXPECT_EQ(TextFromUtf8(reinterpret_cast<const char*>(u8"澜橙")), "澜橙");
    EXPECT_EQ(TextToUtf8("a\x81"), "a?") << "truncated double-byte character";
    EXPECT_EQ(TextToUtf8("\xFF" "b"), "?b");
    EXPECT_EQ(TextFromUtf8("\xC3"), "?");
}

// ---- string formats ----

TEST(HotkeyPrefixTest, MarkersAreDroppedAndTheFirstHotKeyIsFound) {
    int at = 0;
    EXPECT_EQ(ApplyHotkeyPrefix("&File", HotkeyPrefix::Show, &at), "File");
    EXPECT_EQ(at, 0);
    EXPECT_EQ(ApplyHotkeyPrefix("Save &As &Copy", HotkeyPrefix::Show, &at), "Save As Copy");
    EXPECT_EQ(at, 5);
    EXPECT_EQ(ApplyHotkeyPrefix("a&&b", HotkeyPrefix::Show, &at), "a&b");
    EXPECT_EQ(at, -1);
    EXPECT_EQ(ApplyHotkeyPrefix("&File", HotkeyPrefix::Hide, &at), "File");
    EXPECT_EQ(at, -1);
    EXPECT_EQ(ApplyHotkeyPrefix("&File", HotkeyPrefix::None, &at), "&File");
    EXPECT_EQ(ApplyHotkeyPrefix("end&", HotkeyPrefix::Show, &at), "end&");
}

class TextTest : public ::testing::Test {
protected:
    Font font = TestFont();
};

TEST_F(TextTest, HotKeyLetterIsUnderlinedOnlyWhenShown) {
    StringFormat shown, hidden, plain;
    shown.hotkey_prefix = HotkeyPrefix::Show;
    hidden.hotkey_prefix = HotkeyPrefix::Hide;
    EXPECT_EQ(MeasureString("&File", font, {}, shown).width, MeasureString("File", font, {}, plain).width);
    EXPECT_GT(MeasureString("&File", font, {}, plain).width, MeasureString("File", font, {}, plain).width);

    ExCanvas with(60, 20), without(60, 20);
    with.DrawText({0, 0, 60, 20}, "&File", font, 0xFF000000, shown);
    without.DrawText({0, 0, 60, 20}, "&File", font, 0xFF000000, hidden);
    Ink a = InkBounds(with), b = InkBounds(without);
    ASSERT_TRUE(a.Any() && b.Any());
    EXPECT_GT(a.bottom, b.bottom) << "underline below the baseline";
    // Only the first letter is underlined.
    int underline_right = -1;
    for (int x = 0; x < 60; ++x)
        if (Alpha(with.GetPixel(x, a.bottom)) > 40) underline_right = x;
    EXPECT_LT(underline_right, MeasureString("Fi", font, {}, plain).width);
}

TEST_F(TextTest, HorizontalAndVerticalAlignmentPlaceTheText) {
    const float text_width = MeasureString("Mid", font, {}, StringFormat{}).width;
    StringFormat centred;
    centred.alignment = StringAlignment::Center;
    centred.line_alignment = StringAlignment::Center;
    ExCanvas canvas(100, 40);
    canvas.DrawText({0, 0, 100, 40}, "Mid", font, 0xFF000000, centred);
    Ink ink = InkBounds(canvas);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 50, 3);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 20, 4);
    RectF measured = *MeasureText("Mid", font, {0, 0, 100, 40}, centred);
    EXPECT_NEAR(measured.left, (100 - text_width) / 2, 1);
    EXPECT_NEAR(measured.top, 12, 1);

    StringFormat far;
    far.alignment = StringAlignment::Far;
    far.line_alignment = StringAlignment::Far;
    ExCanvas right(100, 40);
    right.DrawText({0, 0, 100, 40}, "Mid", font, 0xFF000000, far);
    Ink r = InkBounds(right);
    EXPECT_GE(r.right, 95);
    EXPECT_GE(r.bottom, 30);
    RectF far_box = MeasureString("Mid", font, {0, 0, 100, 40}, far);
    EXPECT_FLOAT_EQ(far_box.Right(), 100);
    EXPECT_FLOAT_EQ(far_box.Bottom(), 40);
}

TEST_F(TextTest, TrailingSpacesCountOnlyWhenMeasured) {
    StringFormat plain(kFormatNoWrap), trailing(kFormatNoWrap | kFormatMeasureTrailingSpaces);
    float bare = MeasureString("AB", font, {}, plain).width;
    EXPECT_EQ(MeasureString("AB   ", font, {}, plain).width, bare);
    EXPECT_GT(MeasureString("AB   ", font, {}, trailing).width, bare);
    EXPECT_EQ(MeasureString("   ", font, {}, plain).width, 0);
}

TEST_F(TextTest, EllipsisTrimmingFitsTheWidthAndClippingKeepsInkInside) {
    const char* long_text = "A rather long caption that cannot fit";
    StringFormat trimmed(kFormatNoWrap);
    trimmed.trimming = StringTrimming::EllipsisCharacter;
    RectF box = MeasureString(long_text, font, {0, 0, 80, 20}, trimmed);
    EXPECT_LE(box.width, 80);
    EXPECT_GT(box.width, 50);
    TextLayout layout(long_text, font, trimmed, {0, 0, 80, 20});
    EXPECT_TRUE(pango_layout_is_ellipsized(dui::TextLayoutAccess::Layout(layout)));

    StringFormat clipped(kFormatNoWrap);
    clipped.trimming = StringTrimming::None;
    EXPECT_GT(MeasureString(long_text, font, {0, 0, 80, 20}, clipped).width, 80);
    EXPECT_LE(MeasureText(long_text, font, {0, 0, 80, 20}, clipped)->width, 80);
    ExCanvas canvas(200, 20);
    canvas.DrawText({0, 0, 80, 20}, long_text, font, 0xFF000000, clipped);
    EXPECT_LT(InkBounds(canvas, 0).right, 80);

    StringFormat unclipped(kFormatNoWrap | kFormatNoClip);
    unclipped.trimming = StringTrimming::None;
    ExCanvas spill(200, 20);
    spill.DrawText({0, 0, 80, 20}, long_text, font, 0xFF000000, unclipped);
    EXPECT_GT(InkBounds(spill).right, 120);
}

TEST_F(TextTest, WrappingAndLineLimit) {
    const char* words = "one two three four five six seven";
    StringFormat wrap;
    TextLayout layout(words, font, wrap, {0, 0, 60, 200});
    EXPECT_GT(layout.LineCount(), 2);
    EXPECT_LE(layout.Bounds().width, 60);
    EXPECT_EQ(TextLayout(words, font, StringFormat(kFormatNoWrap), {0, 0, 60, 200}).LineCount(), 1);

    // A box one and a half lines high: the partial line shows unless LineLimit.
    ExCanvas partial(60, 24), whole(60, 24);
    partial.DrawText({0, 0, 60, 24}, words, font, 0xFF000000, wrap);
    whole.DrawText({0, 0, 60, 24}, words, font, 0xFF000000, StringFormat(kFormatLineLimit));
    EXPECT_GT(InkBounds(partial).bottom, 16);
    EXPECT_LT(InkBounds(whole).bottom, 16);
    EXPECT_EQ(MeasureString(words, font, {0, 0, 60, 24}, StringFormat(kFormatLineLimit)).height, 16);
}

TEST_F(TextTest, TabStopsPlaceTheTextAfterTheTab) {
    StringFormat tabbed(kFormatNoWrap);
    tabbed.SetTabStops(10, {90});
    ExCanvas canvas(200, 20);
    canvas.DrawText({0, 0, 200, 20}, "\tX", font, 0xFF000000, tabbed);
    Ink ink = InkBounds(canvas);
    EXPECT_GE(ink.left, 99);
    EXPECT_LE(ink.left, 103);
    StringFormat repeated(kFormatNoWrap);
    repeated.SetTabStops(1, {8});
    EXPECT_NEAR(MeasureString("\t\t\t", font, {}, StringFormat(kFormatNoWrap | kFormatMeasureTrailingSpaces)).width,
                MeasureString("\t\t\t", font, {}, StringFormat(kFormatNoWrap | kFormatMeasureTrailingSpaces)).width, 0);
    StringFormat measured_tabs(kFormatNoWrap | kFormatMeasureTrailingSpaces);
    measured_tabs.SetTabStops(1, {8});
    EXPECT_EQ(MeasureString("\t\t\t", font, {}, measured_tabs).width, 25);
    StringFormat degenerate(kFormatNoWrap);
    degenerate.SetTabStops(0, {0, -5});  // ignored, not an endless loop
    MeasureString("\tX", font, {}, degenerate);
}

TEST_F(TextTest, GlowColourDefaultsOpposeTheTextColour) {
    auto draw = [&](Argb text, std::optional<Argb> glow) {
        auto canvas = CreateCanvas(60, 30);
        canvas->DrawText({10, 5, 40, 20}, "Glow", font, text, StringFormat{}, kTextEffectGlow, glow);
        return canvas;
    };
    auto same = [](const ExCanvas& a, const ExCanvas& b) {
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width(); ++x)
                if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
        return true;
    };
    // White text: black glow at alpha 75; black text: white glow at 85.
    EXPECT_TRUE(same(*draw(0xFFFFFFFF, std::nullopt), *draw(0xFFFFFFFF, 0x4B000000)));
    EXPECT_FALSE(same(*draw(0xFFFFFFFF, std::nullopt), *draw(0xFFFFFFFF, 0x55FFFFFF)));
    EXPECT_TRUE(same(*draw(0xFF000000, std::nullopt), *draw(0xFF000000, 0x55FFFFFF)));
    EXPECT_TRUE(same(*draw(0xFF202020, std::nullopt), *draw(0xFF202020, 0x55FFFFFF)));

    // With a fully transparent text colour only the glow is left to see.
    auto glow_only = draw(0x00FFFFFF, std::nullopt);
    Ink ink = InkBounds(*glow_only, 0);
    ASSERT_TRUE(ink.Any());
    for (int y = ink.top; y <= ink.bottom; ++y)
        for (int x = ink.left; x <= ink.right; ++x)
            ASSERT_EQ(glow_only->GetPixel(x, y) & 0xFFFFFF, 0u) << "black glow only";
}

TEST_F(TextTest, GlowSpreadsBeyondTheTextAndHonoursAGivenColour) {
    ExCanvas plain(80, 40), glowing(80, 40);
    plain.DrawText({20, 10, 40, 20}, "Ab", font, 0xFF000000, StringFormat{});
    glowing.DrawText({20, 10, 40, 20}, "Ab", font, 0xFF000000, StringFormat{}, kTextEffectGlowFactor, 0xFF00FF00, 2.0f);
    Ink a = InkBounds(plain, 0), b = InkBounds(glowing, 0);
    EXPECT_LT(b.left, a.left);
    EXPECT_GT(b.bottom, a.bottom);
    int green = 0;
    for (int x = b.left; x <= b.right; ++x) green = std::max(green, Green(glowing.GetPixel(x, b.bottom)));
    EXPECT_GT(green, 100) << "the glow below the text is the given green";
    // Bad factors fall back instead of dividing by zero.
    glowing.DrawText({20, 10, 40, 20}, "Ab", font, 0xFF000000, StringFormat{}, kTextEffectGlowFactor, std::nullopt, 0.0f);
    glowing.DrawText({20, 10, 40, 20}, "Ab", font, 0xFF000000, StringFormat{}, kTextEffectGlowFactor, std::nullopt, -1.0f);
}

TEST_F(TextTest, MeasuringHandlesEmptyAndUnboundedRectangles) {
    RectF empty = MeasureString("", font, {5, 6, 0, 0}, StringFormat{});
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.left, 5);
    EXPECT_FALSE(MeasureText("x", font, {0, 0, std::numeric_limits<float>::infinity(), 1}, StringFormat{}));
    StringFormat centred;
    centred.alignment = StringAlignment::Center;
    RectF around = MeasureString("Mid", font, {50, 0, 0, 0}, centred);
    EXPECT_NEAR(around.left + around.width / 2, 50, 1) << "zero width centres on the point";
}

TEST(CanvasTest, ScrollRowsMovesPixelRowsAndKeepsTheUncoveredBand) {
    ExCanvas canvas(3, 6);
    for (int y = 0; y < 6; ++y) canvas.FillRect({0, float(y), 3, 1}, ArgbOf(255, uint8_t(y * 40), 0, 0));
    const auto red = [&](int y) { return (canvas.GetPixel(1, y) >> 16) & 0xFF; };
    canvas.ScrollRows(2);
    EXPECT_EQ(red(2), 0u);
    EXPECT_EQ(red(5), 120u);
    EXPECT_EQ(red(0), 0u) << "the uncovered band keeps its old pixels";
    EXPECT_EQ(red(1), 40u);
    canvas.ScrollRows(-3);
    EXPECT_EQ(red(0), 40u);
    EXPECT_EQ(red(2), 120u);
    canvas.ScrollRows(6);  // the whole height: nothing moves
    EXPECT_EQ(red(0), 40u);
}

}  // namespace
}  // namespace dui

namespace dui {
namespace {

// Large surfaces get pixels of their own mapping; they start cleared like
// the allocator's, and the mapping goes with the surface.
TEST(ImageSurfaceTest, LargeSurfacesStartClearAndSmallOnesToo) {
    for (const int side : {4, 300}) {
        cairo_surface_t* surface = NewImageSurface(side, side);
        ASSERT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS) << side;
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        EXPECT_EQ(stride, cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, side));
        EXPECT_TRUE(std::all_of(data, data + static_cast<std::size_t>(stride) * side,
                                [](unsigned char byte) { return byte == 0; }))
            << side;
        cairo_surface_destroy(surface);
    }
    EXPECT_NE(cairo_surface_status(NewImageSurface(-1, 5)), CAIRO_STATUS_SUCCESS);
}

}  // namespace
}  // namespace dui
