#include "dui/core/image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gif_lib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dui/core/canvas.h"
#include "tests/support/paths.h"

namespace dui {
namespace {

using ::testing::ElementsAre;

int Alpha(Argb p) { return static_cast<int>(p >> 24); }

// ---- fixture encoders ----

// A 6 x 4 PNG: left half opaque red, right half blue at alpha 128.
std::string TestPng() {
    ExCanvas canvas(6, 4);
    canvas.FillRect({0, 0, 3, 4}, 0xFFFF0000);
    canvas.FillRect({3, 0, 3, 4}, 0x800000FF);
    return canvas.EncodePng();
}

std::string SavePixbuf(const char* type, int width, int height, bool alpha) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
    gdk_pixbuf_fill(pixbuf, 0x20C040FF);
    gchar* buffer = nullptr;
    gsize size = 0;
    GError* error = nullptr;
    bool ok = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, type, &error, nullptr);
    g_clear_error(&error);
    g_object_unref(pixbuf);
    std::string bytes = ok ? std::string(buffer, size) : std::string();
    g_free(buffer);
    return bytes;
}

struct GifFrameSpec {
    int left = 0, top = 0, width = 4, height = 4;
    std::vector<GifPixelType> pixels;  // palette indices, row by row
    int delay = 0;
    int disposal = DISPOSAL_UNSPECIFIED;
    int transparent = NO_TRANSPARENT_COLOR;
    bool interlace = false;
};

int WriteGifBytes(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

// Palette: 0 black, 1 red, 2 green, 3 blue.
std::string BuildGif(int width, int height, const std::vector<GifFrameSpec>& frames) {
    std::string bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, WriteGifBytes, &error);
    GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 2, 0, map);
    for (const GifFrameSpec& frame : frames) {
        GraphicsControlBlock gcb{frame.disposal, false, frame.delay, frame.transparent};
        GifByteType extension[4];
        size_t length = EGifGCBToExtension(&gcb, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension);
        EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlace, nullptr);
        std::vector<GifPixelType> pixels = frame.pixels;
        pixels.resize(static_cast<size_t>(frame.width) * frame.height, 0);
        auto put_row = [&](int row) {
            EGifPutLine(gif, pixels.data() + static_cast<size_t>(row) * frame.width, frame.width);
        };
        if (frame.interlace) {
            for (int row = 0; row < frame.height; row += 8) put_row(row);
            for (int row = 4; row < frame.height; row += 8) put_row(row);
            for (int row = 2; row < frame.height; row += 4) put_row(row);
            for (int row = 1; row < frame.height; row += 2) put_row(row);
        } else {
            for (int row = 0; row < frame.height; ++row) put_row(row);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return bytes;
}

GifFrameSpec Solid(int colour, int left, int top, int width, int height) {
    GifFrameSpec frame;
    frame.left = left;
    frame.top = top;
    frame.width = width;
    frame.height = height;
    frame.pixels.assign(static_cast<size_t>(width) * height, static_cast<GifPixelType>(colour));
    return frame;
}

Argb PixelOf(const ExImage& image, int x, int y) { return GetPixel(ImageSource(image), x, y); }

// ---- PNG and the stripped signature ----

TEST(LoadImageTest, PngLoadsWithItsPixelsAndNoTimeDimension) {
    auto image = LoadImageFromBytes(TestPng(), false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 6);
    EXPECT_EQ(image->Height(), 4);
    EXPECT_EQ(ImageWidth(*image), 6);
    EXPECT_EQ(image->FrameCount(), 0);
    EXPECT_TRUE(image->FrameDelays().empty());
    EXPECT_EQ(PixelOf(*image, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(Alpha(PixelOf(*image, 4, 1)), 128);
    EXPECT_NEAR(static_cast<int>(PixelOf(*image, 4, 1) & 0xFF), 255, 2);
    EXPECT_FALSE(image->SelectFrame(1));
    EXPECT_TRUE(image->SelectFrame(0));
}

TEST(LoadImageTest, PngWithoutSignatureLoadsOnlyWhenSaidToBeStripped) {
    std::string png = TestPng();
    std::string stripped = png.substr(8);
    EXPECT_TRUE(LoadImageFromBytes(stripped, true));
    EXPECT_FALSE(LoadImageFromBytes(stripped, false));
    EXPECT_FALSE(LoadImageFromBytes(png, true)) << "the signature would be there twice";
}

TEST(LoadImageTest, JpegBmpAndIconDecodeThroughTheirLoaders) {
    for (const char* type : {"jpeg", "bmp", "ico"}) {
        std::string bytes = SavePixbuf(type, 16, 16, std::string(type) == "ico");
        ASSERT_FALSE(bytes.empty()) << type;
        auto image = LoadImageFromBytes(bytes, false);
        ASSERT_TRUE(image) << type;
        EXPECT_EQ(image->Width(), 16) << type;
        EXPECT_EQ(image->FrameCount(), 0) << type;
        Argb p = PixelOf(*image, 8, 8);
        EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 0x20, 6) << type;
        EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 0xC0, 6) << type;
    }
}

// ---- JPEG ----

// Premultiplied pixels as the image loader of gdk-pixbuf gives them, which
// decoded JPEGs before libjpeg was driven directly; nothing when it fails.
std::optional<std::vector<uint32_t>> PixbufLoaderPixels(std::string_view bytes) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("jpeg", nullptr);
    if (loader == nullptr) return std::nullopt;
    const bool written = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    std::optional<std::vector<uint32_t>> pixels;
    if (written && closed && pixbuf != nullptr) {
        std::optional<ExImage> image = ImageFromIcon(pixbuf);
        if (image) {
            pixels.emplace();
            for (int y = 0; y < image->Height(); ++y)
                for (int x = 0; x < image->Width(); ++x) pixels->push_back(PixelOf(*image, x, y));
        }
    }
    g_object_unref(loader);
    return pixels;
}

std::optional<std::vector<uint32_t>> LoadedPixels(std::string_view bytes) {
    std::optional<ExImage> image = LoadImageFromBytes(bytes, false);
    if (!image) return std::nullopt;
    std::vector<uint32_t> pixels;
    for (int y = 0; y < image->Height(); ++y)
        for (int x = 0; x < image->Width(); ++x) pixels.push_back(PixelOf(*image, x, y));
    return pixels;
}

// Where the frame header ends: bytes up to there are what the loader checks
// before it decodes, so only those after it are corrupted below.
size_t JpegFrameHeaderEnd(const std::string& jpeg) {
    size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        const size_t length = (static_cast<size_t>(static_cast<unsigned char>(jpeg[at + 2])) << 8) |
                              static_cast<unsigned char>(jpeg[at + 3]);
        at += 2 + length;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) return at;
    }
    return jpeg.size();
}

std::string JpegFixture(const char* name) {
    return testing_support::ReadFile(testing_support::FixturePath(std::string("images/") + name));
}

// Sampling, restart intervals, grey, inverted CMYK and progressive scans.
const char* const kJpegFixtures[] = {"jpeg_422.jpg", "jpeg_restart_444.jpg", "jpeg_grey.jpg", "jpeg_cmyk.jpg",
                                     "jpeg_progressive.jpg"};

TEST(JpegTest, PixelsAreThoseOfThePixbufLoader) {
    std::vector<std::string> sources = {testing_support::ReadFile(testing_support::SourcePath("res/0.jpg")),
                                        SavePixbuf("jpeg", 12, 12, false)};
    for (const char* name : kJpegFixtures) sources.push_back(JpegFixture(name));
    for (const std::string& bytes : sources) {
        ASSERT_FALSE(bytes.empty());
        const auto expected = PixbufLoaderPixels(bytes);
        ASSERT_TRUE(expected);
        EXPECT_EQ(LoadedPixels(bytes), expected);
    }
}

// A sequential image cut inside its scan keeps its upper rows and decodes
// the rest from nothing; a progressive one cut anywhere is no image.
TEST(JpegTest, CutAndCorruptedFilesFareAsWithThePixbufLoader) {
    uint32_t seed = 4242;
    for (const char* name : kJpegFixtures) {
        const std::string whole = JpegFixture(name);
        const bool progressive = std::string_view(name) == "jpeg_progressive.jpg";
        int decoded_cuts = 0;
        for (size_t length = 0; length < whole.size(); ++length) {
            const std::string_view cut = std::string_view(whole).substr(0, length);
            const auto loaded = LoadedPixels(cut);
            EXPECT_EQ(loaded, PixbufLoaderPixels(cut)) << name << " cut at " << length;
            if (loaded) ++decoded_cuts;
        }
        if (progressive) {
            EXPECT_EQ(decoded_cuts, 0) << name;
        } else {
            EXPECT_GT(decoded_cuts, 0) << name;
        }
        const size_t header_end = JpegFrameHeaderEnd(whole);
        ASSERT_LT(header_end, whole.size()) << name;
        for (int round = 0; round < 150; ++round) {
            std::string bytes = whole;
            for (int flips = 0; flips < 3; ++flips) {
                seed = seed * 1103515245u + 12345u;
                bytes[header_end + (seed >> 8) % (bytes.size() - header_end)] = static_cast<char>(seed >> 24);
            }
            EXPECT_EQ(LoadedPixels(bytes), PixbufLoaderPixels(bytes)) << name << " round " << round;
        }
    }
}

// ---- GIF frames, delays and disposal ----

TEST(GifTest, DelaysAreTheStoredHundredthsOnePerFrame) {
    GifFrameSpec a = Solid(1, 0, 0, 4, 4), b = Solid(2, 0, 0, 4, 4), c = Solid(3, 0, 0, 4, 4);
    a.delay = 0;
    b.delay = 5;
    c.delay = 0;
    auto image = LoadImageFromBytes(BuildGif(4, 4, {a, b, c}), false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->FrameCount(), 3);
    EXPECT_THAT(image->FrameDelays(), ElementsAre(0, 5, 0));
    EXPECT_EQ(PixelOf(*image, 0, 0), 0xFFFF0000u);
    EXPECT_TRUE(image->SelectFrame(1));
    EXPECT_EQ(PixelOf(*image, 0, 0), 0xFF00FF00u);
    EXPECT_TRUE(image->SelectFrame(2));
    EXPECT_EQ(PixelOf(*image, 3, 3), 0xFF0000FFu);
    EXPECT_FALSE(image->SelectFrame(3));
    EXPECT_FALSE(image->SelectFrame(-1));
    EXPECT_EQ(image->ActiveFrame(), 2);
}

TEST(GifTest, SingleFrameGifHasOneTimeFrame) {
    GifFrameSpec only = Solid(1, 0, 0, 2, 2);
    only.delay = 7;
    auto image = LoadImageFromBytes(BuildGif(2, 2, {only}), false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->FrameCount(), 1);
    EXPECT_THAT(image->FrameDelays(), ElementsAre(7));
}

TEST(GifTest, FramesAreComposedByThePreviousFramesDisposal) {
    GifFrameSpec base = Solid(1, 0, 0, 4, 4);              // red everywhere, kept
    base.disposal = DISPOSE_DO_NOT;
    GifFrameSpec patch = Solid(2, 0, 0, 2, 2);             // green corner, then cleared
    patch.disposal = DISPOSE_BACKGROUND;
    GifFrameSpec other = Solid(3, 2, 2, 2, 2);             // blue corner, then undone
    other.disposal = DISPOSE_PREVIOUS;
    GifFrameSpec last = Solid(2, 3, 0, 1, 1);
    auto image = LoadImageFromBytes(BuildGif(4, 4, {base, patch, other, last}), false);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->FrameCount(), 4);

    image->SelectFrame(1);  // green over the kept red
    EXPECT_EQ(PixelOf(*image, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(PixelOf(*image, 3, 3), 0xFFFF0000u);
    image->SelectFrame(2);  // green area cleared to transparent, blue added
    EXPECT_EQ(PixelOf(*image, 0, 0), 0u);
    EXPECT_EQ(PixelOf(*image, 1, 1), 0u);
    EXPECT_EQ(PixelOf(*image, 3, 3), 0xFF0000FFu);
    EXPECT_EQ(PixelOf(*image, 3, 0), 0xFFFF0000u);
    image->SelectFrame(3);  // blue undone back to frame 2's state before it
    EXPECT_EQ(PixelOf(*image, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(PixelOf(*image, 0, 0), 0u);
    EXPECT_EQ(PixelOf(*image, 3, 0), 0xFF00FF00u);
}

TEST(GifTest, TransparentIndexLeavesThePixelsBelow) {
    GifFrameSpec base = Solid(1, 0, 0, 3, 1);
    GifFrameSpec holes = Solid(2, 0, 0, 3, 1);
    holes.pixels = {2, 0, 2};
    holes.transparent = 0;
    auto image = LoadImageFromBytes(BuildGif(3, 1, {base, holes}), false);
    ASSERT_TRUE(image);
    image->SelectFrame(1);
    EXPECT_EQ(PixelOf(*image, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(PixelOf(*image, 1, 0), 0xFFFF0000u);
    GifFrameSpec first = holes;  // transparent on an empty screen
    auto alone = LoadImageFromBytes(BuildGif(3, 1, {first}), false);
    ASSERT_TRUE(alone);
    EXPECT_EQ(PixelOf(*alone, 1, 0), 0u);
}

TEST(GifTest, InterlacedRowsLandInPlace) {
    GifFrameSpec frame;
    frame.width = 1;
    frame.height = 10;
    frame.interlace = true;
    for (int row = 0; row < 10; ++row) frame.pixels.push_back(static_cast<GifPixelType>(1 + row % 3));
    auto image = LoadImageFromBytes(BuildGif(1, 10, {frame}), false);
    ASSERT_TRUE(image);
    const Argb expected[3] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    for (int row = 0; row < 10; ++row) EXPECT_EQ(PixelOf(*image, 0, row), expected[row % 3]) << row;
}

TEST(GifTest, FramesBeyondTheCapAreDropped) {
    std::vector<GifFrameSpec> frames(static_cast<size_t>(kMaxImageFrames) + 20, Solid(1, 0, 0, 1, 1));
    auto image = LoadImageFromBytes(BuildGif(1, 1, frames), false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->FrameCount(), kMaxImageFrames);
    EXPECT_EQ(image->FrameDelays().size(), static_cast<size_t>(kMaxImageFrames));
}

TEST(GifTest, LargeAnimationsStopAtThePixelBudget) {
    // Each composed frame of a 4096 x 4096 screen takes half the budget.
    std::vector<GifFrameSpec> frames(3, Solid(1, 0, 0, 1, 1));
    auto image = LoadImageFromBytes(BuildGif(4096, 4096, frames), false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->FrameCount(), 1);
    EXPECT_EQ(image->Width(), 4096);
    EXPECT_EQ(PixelOf(*image, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelOf(*image, 1, 0), 0u);
}

TEST(GifTest, CloneIsIndependent) {
    auto image = LoadImageFromBytes(BuildGif(2, 2, {Solid(1, 0, 0, 2, 2), Solid(3, 0, 0, 2, 2)}), false);
    ASSERT_TRUE(image);
    ExImage copy = image->Clone();
    image->SelectFrame(1);
    EXPECT_EQ(copy.ActiveFrame(), 0);
    EXPECT_NE(copy.Surface(), image->Surface());
    EXPECT_EQ(PixelOf(copy, 0, 0), 0xFFFF0000u);
    std::optional<ExImage> held = std::move(copy);
    FreeImage(held);
    EXPECT_FALSE(held);
}

// ---- hostile bytes ----

TEST(HostileImageTest, EveryTruncationFailsOrDecodesWithoutCrashing) {
    GifFrameSpec a = Solid(1, 0, 0, 8, 8), b = Solid(2, 2, 2, 4, 4);
    b.delay = 3;
    const std::string sources[] = {TestPng(), BuildGif(8, 8, {a, b}), SavePixbuf("jpeg", 12, 12, false),
                                   SavePixbuf("bmp", 5, 5, false), SavePixbuf("ico", 16, 16, true)};
    for (const std::string& whole : sources) {
        for (size_t length = 0; length < whole.size(); ++length) {
            auto image = LoadImageFromBytes(std::string_view(whole).substr(0, length), false);
            if (image) {
                EXPECT_GT(image->Width(), 0);
                EXPECT_NE(image->Surface(), nullptr);
            }
        }
    }
    // A GIF cut inside its second frame keeps the first.
    std::string gif = BuildGif(8, 8, {a, b});
    auto partial = LoadImageFromBytes(std::string_view(gif).substr(0, gif.size() - 6), false);
    ASSERT_TRUE(partial);
    EXPECT_GE(partial->FrameCount(), 1);
}

// Rows the data ends before are not painted with the palette's first
// colour: they stay transparent.
TEST(HostileImageTest, GifCutInsideItsOnlyFrameKeepsJustTheRowsItHas) {
    GifFrameSpec striped = Solid(1, 0, 0, 64, 64);   // red
    for (size_t i = 0; i < striped.pixels.size(); ++i) striped.pixels[i] = static_cast<GifPixelType>(1 + (i / 64) % 3);
    const std::string gif = BuildGif(64, 64, {striped});
    int partial = 0;
    for (size_t length = 0; length < gif.size(); ++length) {
        auto image = LoadImageFromBytes(std::string_view(gif).substr(0, length), false);
        if (!image) continue;
        bool has_gap = false;
        for (int y = 0; y < 64; ++y) {
            const Argb first = PixelOf(*image, 0, y);
            if (first == 0xFF000000u) FAIL() << "row " << y << " painted black when cut at " << length;
            has_gap = has_gap || Alpha(first) == 0;
        }
        if (has_gap) ++partial;
    }
    EXPECT_GT(partial, 0) << "no cut left a partly decoded frame";
}

TEST(HostileImageTest, CorruptedBytesNeverCrash) {
    const std::string sources[] = {TestPng(), BuildGif(8, 8, {Solid(1, 0, 0, 8, 8)}), SavePixbuf("jpeg", 12, 12, false)};
    uint32_t seed = 12345;
    for (const std::string& whole : sources) {
        for (int round = 0; round < 200; ++round) {
            std::string bytes = whole;
            for (int flips = 0; flips < 4; ++flips) {
                seed = seed * 1103515245u + 12345u;
                bytes[(seed >> 8) % bytes.size()] = static_cast<char>(seed >> 24);
            }
            LoadImageFromBytes(bytes, false);
        }
    }
}

TEST(HostileImageTest, EmptyUnknownAndOversizedInputsGiveNoImage) {
    EXPECT_FALSE(LoadImageFromBytes("", false));
    EXPECT_FALSE(LoadImageFromBytes("", true));
    EXPECT_FALSE(LoadImageFromBytes("hello, this is not an image", false));
    for (const char* name : {"garbage.bin", "png_huge_dimensions.png", "png_over_pixel_limit.png",
                             "gif_huge_screen.gif", "gif_huge_frame.gif", "jpeg_huge_dimensions.jpg",
                             "bmp_huge_dimensions.bmp", "bmp_huge_palette.bmp", "bmp_cut_in_header.bmp",
                             "bmp_huge_header.bmp", "bmp_huge_data_offset.bmp", "ico_bad_offsets.ico",
                             // 92 bytes naming a 4101 x 6401 frame with no row of data
                             "gif_frame_without_data.gif"}) {
        std::string bytes = testing_support::ReadFile(testing_support::FixturePath(std::string("images/") + name));
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_FALSE(LoadImageFromBytes(bytes, false)) << name;
    }
}

// A 2 x 2 one-bit BMP with a two-entry palette (black, white): the top row
// is white then black, the bottom row black then white.
std::string OneBitBmp(uint32_t colours_used, uint16_t depth = 1) {
    std::string bytes;
    auto le16 = [&](uint32_t v) { bytes += static_cast<char>(v & 0xFF), bytes += static_cast<char>(v >> 8); };
    auto le32 = [&](uint32_t v) { le16(v & 0xFFFF), le16(v >> 16); };
    bytes += "BM";
    le32(14 + 40 + 8 + 8);
    le32(0);
    le32(14 + 40 + 8);
    le32(40);
    le32(2), le32(2);
    le16(1), le16(depth);
    le32(0), le32(8), le32(2835), le32(2835);
    le32(colours_used), le32(0);
    le32(0x00000000), le32(0x00FFFFFF);
    le32(0x00000040), le32(0x00000080);  // rows bottom up, each padded to four bytes
    return bytes;
}

TEST(HostileImageTest, BmpPaletteLargerThanItsDepthAllowsIsRefusedBeforeDecoding) {
    auto image = LoadImageFromBytes(OneBitBmp(2), false);
    ASSERT_TRUE(image);
    EXPECT_EQ(PixelOf(*image, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(PixelOf(*image, 1, 0), 0xFF000000u);
    EXPECT_TRUE(LoadImageFromBytes(OneBitBmp(0), false)) << "no count means the full palette of the depth";
    // The decoder would reserve four bytes per declared colour.
    EXPECT_FALSE(LoadImageFromBytes(OneBitBmp(3), false));
    EXPECT_FALSE(LoadImageFromBytes(OneBitBmp(0xA3A3A3A3), false));
    for (uint16_t depth : {0, 2, 280, 0xFFFF}) EXPECT_FALSE(LoadImageFromBytes(OneBitBmp(0, depth), false)) << depth;
    // Found by fuzzing: 126 bytes that made the decoder ask for 2.3 GB.
    std::string found = testing_support::ReadFile(testing_support::FixturePath("images/bmp_huge_palette.bmp"));
    ASSERT_EQ(found.size(), 126u);
    EXPECT_FALSE(LoadImageFromBytes(found, false));
}

// ---- icons ----

TEST(IconTest, AlphaIsKeptWhenPresentOtherwiseTheIconIsOpaque) {
    const uint32_t with_alpha[4] = {0x80FF0000, 0x00000000, 0xFF00FF00, 0x40FFFFFF};
    auto image = ImageFromIcon(with_alpha, 2, 2, 2);
    ASSERT_TRUE(image);
    EXPECT_NEAR(Alpha(PixelOf(*image, 0, 0)), 0x80, 1);
    EXPECT_EQ(PixelOf(*image, 1, 0), 0u);
    EXPECT_EQ(PixelOf(*image, 0, 1), 0xFF00FF00u);

    const uint32_t no_alpha[3] = {0x00FF0000, 0x000000FF, 0x12345678};  // stride 3, width 2
    auto opaque = ImageFromIcon(no_alpha, 2, 1, 3);
    ASSERT_TRUE(opaque);
    EXPECT_EQ(PixelOf(*opaque, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelOf(*opaque, 1, 0), 0xFF0000FFu);

    EXPECT_FALSE(ImageFromIcon(static_cast<const uint32_t*>(nullptr), 2, 2, 2));
    EXPECT_FALSE(ImageFromIcon(with_alpha, 2, 2, 1));
    EXPECT_FALSE(ImageFromIcon(with_alpha, 0, 2, 2));
}

TEST(IconTest, PixbufIconsKeepTheirPixels) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 3, 3);
    gdk_pixbuf_fill(pixbuf, 0x0000FF80);
    auto image = ImageFromIcon(pixbuf);
    g_object_unref(pixbuf);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 3);
    EXPECT_NEAR(Alpha(PixelOf(*image, 1, 1)), 0x80, 1);
    EXPECT_NEAR(static_cast<int>(PixelOf(*image, 1, 1) & 0xFF), 0xFF, 2);
    EXPECT_FALSE(ImageFromIcon(static_cast<const GdkPixbuf*>(nullptr)));
}

}  // namespace
}  // namespace dui
