// Draws every image the program ships and writes them into the source tree:
//   res/skin.dll                  the skin package (eight PNG resources)
//   res/0.jpg                     the window background
//   res/seed-searcher.png         the application icon of the desktop entry
//   res/caption_buttons.png       the caption-button strip (729 x 20)
//   res/message_icons.png         the message-box icon strip (200 x 40)
//   dui/core/caption_strip_data.inc, dui/controls/message_icons_data.inc
//                                 the two strips as byte arrays, stored without
//                                 the 8-byte PNG signature
// Usage: make-art SOURCE_ROOT [PREVIEW_DIR]
// With PREVIEW_DIR every skin resource is also written there as N.png.
// Everything is drawn with cairo from code; the output depends only on this
// file and the cairo/gdk-pixbuf versions, so it is reproducible.

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/skin_package.h"
#include "util/c_deleter.h"

namespace {

using SurfacePtr = std::unique_ptr<cairo_surface_t, util::CDeleter<cairo_surface_destroy>>;
using CairoPtr = std::unique_ptr<cairo_t, util::CDeleter<cairo_destroy>>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, util::CDeleter<cairo_pattern_destroy>>;

struct Rgb {
    double r, g, b;
};

constexpr Rgb Hex(unsigned value) {
    return {((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0,
            (value & 0xFF) / 255.0};
}

// The palette: the accent blue of the program's lists and message boxes and
// an orange that echoes the product's name.
constexpr Rgb kBlue = Hex(0x0088FF);
constexpr Rgb kBlueDeep = Hex(0x0A66CC);
constexpr Rgb kOrange = Hex(0xFF8A1F);
constexpr Rgb kOrangeDeep = Hex(0xE8650A);
constexpr Rgb kWhite = Hex(0xFFFFFF);

constexpr double kPi = 3.14159265358979323846;

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void AddStop(cairo_pattern_t* pattern, double offset, Rgb c, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, c.r, c.g, c.b, alpha);
}

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Rounded rectangle with its own radius per corner: top-left, top-right,
// bottom-right, bottom-left.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double tl, double tr,
                 double br, double bl) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - tr, y + tr, tr, -kPi / 2, 0);
    cairo_arc(cr, x + w - br, y + h - br, br, 0, kPi / 2);
    cairo_arc(cr, x + bl, y + h - bl, bl, kPi / 2, kPi);
    cairo_arc(cr, x + tl, y + tl, tl, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    RoundedRect(cr, x, y, w, h, r, r, r, r);
}

SurfacePtr NewSurface(int width, int height) {
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "make-art: cannot create a %dx%d surface\n", width, height);
        std::exit(1);
    }
    return surface;
}

CairoPtr NewContext(cairo_surface_t* surface) {
    CairoPtr cr(cairo_create(surface));
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_BEST);
    return cr;
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::string EncodePng(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    std::string png;
    if (cairo_surface_write_to_png_stream(surface, AppendToString, &png) !=
        CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "make-art: PNG encoding failed\n");
        std::exit(1);
    }
    return png;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr;
    if (ok) {
        ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        ok = std::fclose(file) == 0 && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "make-art: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// A soft shadow under the current path: the path is filled a few times,
// offset downwards, with falling alpha. Cheap and good enough at icon sizes.
void DropShadow(cairo_t* cr, double alpha) {
    cairo_save(cr);
    for (int i = 2; i >= 1; --i) {
        cairo_save(cr);
        cairo_translate(cr, 0, i * 0.6);
        cairo_set_source_rgba(cr, 0, 0, 0, alpha / i);
        cairo_fill_preserve(cr);
        cairo_restore(cr);
    }
    cairo_restore(cr);
}

// ---------------------------------------------------------------------------
// Tab icons (32 x 32): a rounded tile with a vertical gradient and a white
// glyph, the same tile for all four tabs so they read as one set.

void IconTile(cairo_t* cr, Rgb top, Rgb bottom) {
    RoundedRect(cr, 2, 1.5, 28, 28, 7);
    cairo_path_t* tile = cairo_copy_path(cr);
    DropShadow(cr, 0.16);
    cairo_new_path(cr);
    cairo_append_path(cr, tile);
    PatternPtr fill(cairo_pattern_create_linear(0, 1.5, 0, 29.5));
    AddStop(fill.get(), 0, top);
    AddStop(fill.get(), 1, bottom);
    cairo_set_source(cr, fill.get());
    cairo_fill(cr);
    // A gloss on the upper half and a thin inner edge keep the tile crisp on
    // both the light background and the translucent tab frame.
    cairo_save(cr);
    cairo_append_path(cr, tile);
    cairo_clip(cr);
    PatternPtr gloss(cairo_pattern_create_linear(0, 1.5, 0, 16));
    AddStop(gloss.get(), 0, kWhite, 0.28);
    AddStop(gloss.get(), 1, kWhite, 0.0);
    cairo_set_source(cr, gloss.get());
    cairo_paint(cr);
    cairo_restore(cr);
    RoundedRect(cr, 2.5, 2, 27, 27, 6.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_path_destroy(tile);
}

void HomeGlyph(cairo_t* cr) {
    // Roof and walls as one outline, a door cut out.
    cairo_new_path(cr);
    cairo_move_to(cr, 16, 7.5);
    cairo_line_to(cr, 25, 15.5);
    cairo_line_to(cr, 22.5, 15.5);
    cairo_line_to(cr, 22.5, 23.5);
    cairo_line_to(cr, 18.5, 23.5);
    cairo_line_to(cr, 18.5, 18.5);
    cairo_line_to(cr, 13.5, 18.5);
    cairo_line_to(cr, 13.5, 23.5);
    cairo_line_to(cr, 9.5, 23.5);
    cairo_line_to(cr, 9.5, 15.5);
    cairo_line_to(cr, 7, 15.5);
    cairo_close_path(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 1.2);
    cairo_path_t* house = cairo_copy_path(cr);
    cairo_save(cr);
    cairo_translate(cr, 0, 0.8);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_append_path(cr, house);
    SetColour(cr, kWhite);
    cairo_fill_preserve(cr);
    cairo_stroke(cr);
    cairo_path_destroy(house);
    // A small orange dot over the door: the product's colour.
    cairo_arc(cr, 16, 14.2, 1.7, 0, 2 * kPi);
    SetColour(cr, kOrange);
    cairo_fill(cr);
}

// Seven-segment-free digits: each numeral is a short stroked path so that no
// font is needed and the result is the same everywhere.
void DigitPath(cairo_t* cr, int digit, double cx, double cy, double h) {
    double w = h * 0.56;
    double x0 = cx - w / 2, x1 = cx + w / 2, y0 = cy - h / 2, y1 = cy + h / 2;
    cairo_new_path(cr);
    switch (digit) {
        case 1:
            cairo_move_to(cr, cx - w * 0.35, y0 + h * 0.22);
            cairo_line_to(cr, cx + w * 0.08, y0);
            cairo_line_to(cr, cx + w * 0.08, y1);
            break;
        case 2:
            cairo_move_to(cr, x0, y0 + h * 0.26);
            cairo_curve_to(cr, x0 + w * 0.05, y0 - h * 0.02, x1, y0 - h * 0.06, x1,
                           y0 + h * 0.28);
            cairo_curve_to(cr, x1, y0 + h * 0.5, x0 + w * 0.2, y0 + h * 0.68, x0, y1);
            cairo_line_to(cr, x1 + w * 0.05, y1);
            break;
        case 3:
            cairo_move_to(cr, x0, y0 + h * 0.12);
            cairo_curve_to(cr, x0 + w * 0.3, y0 - h * 0.04, x1 + w * 0.05, y0, x1,
                           y0 + h * 0.25);
            cairo_curve_to(cr, x1, y0 + h * 0.42, cx + w * 0.1, cy - h * 0.02, cx - w * 0.15,
                           cy - h * 0.02);
            cairo_move_to(cr, cx - w * 0.15, cy - h * 0.02);
            cairo_curve_to(cr, x1 + w * 0.1, cy - h * 0.02, x1 + w * 0.1, y1, cx, y1);
            cairo_curve_to(cr, cx - w * 0.3, y1, x0 - w * 0.05, y1 - h * 0.04, x0,
                           y1 - h * 0.14);
            break;
        default:
            break;
    }
}

void SearchGlyph(cairo_t* cr, int digit, Rgb tile) {
    const double cx = 14.2, cy = 13.6, r = 6.8;
    // Handle first so the ring overlaps it cleanly.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int pass = 0; pass < 2; ++pass) {
        cairo_save(cr);
        if (pass == 0) {
            cairo_translate(cr, 0, 0.8);
            cairo_set_source_rgba(cr, 0, 0, 0, 0.2);
        } else {
            SetColour(cr, kWhite);
        }
        cairo_set_line_width(cr, 3.4);
        cairo_move_to(cr, cx + r * 0.72 + 1.2, cy + r * 0.72 + 1.2);
        cairo_line_to(cr, 24.2, 23.6);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 2.4);
        cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    // The lens: a pale disc with the engine's number in the tile colour.
    cairo_arc(cr, cx, cy, r - 1.2, 0, 2 * kPi);
    SetColour(cr, kWhite, 0.92);
    cairo_fill(cr);
    DigitPath(cr, digit, cx, cy, 7.4);
    cairo_set_line_width(cr, 1.9);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, Mix(tile, Hex(0x000000), 0.15));
    cairo_stroke(cr);
}

std::string TabIcon(int tab) {
    SurfacePtr surface = NewSurface(32, 32);
    CairoPtr cr = NewContext(surface.get());
    switch (tab) {
        case 1:
            IconTile(cr.get(), Hex(0xFFA640), kOrangeDeep);
            HomeGlyph(cr.get());
            break;
        case 2:
            IconTile(cr.get(), Hex(0x3FA9FF), kBlueDeep);
            SearchGlyph(cr.get(), 1, kBlueDeep);
            break;
        case 3:
            IconTile(cr.get(), Hex(0x2ED3B7), Hex(0x0E9A8A));
            SearchGlyph(cr.get(), 2, Hex(0x0E9A8A));
            break;
        default:
            IconTile(cr.get(), Hex(0x9C7CFF), Hex(0x6446D8));
            SearchGlyph(cr.get(), 3, Hex(0x6446D8));
            break;
    }
    return EncodePng(surface.get());
}

// The application icon for desktop menus (256 x 256): the tab icons' tile
// in the product's orange with an empty magnifier, drawn at eight times the
// tab icons' scale.
std::string AppIcon() {
    constexpr int kSize = 256;
    SurfacePtr surface = NewSurface(kSize, kSize);
    CairoPtr cr = NewContext(surface.get());
    cairo_scale(cr.get(), kSize / 32.0, kSize / 32.0);
    IconTile(cr.get(), Hex(0xFFA640), kOrangeDeep);
    SearchGlyph(cr.get(), 0, kOrangeDeep);
    return EncodePng(surface.get());
}

// ---------------------------------------------------------------------------
// Push-button faces (65 x 26, drawn at the size the buttons have so the
// stretch is one to one): normal, hover, pressed.

std::string ButtonFace(int state) {
    const int w = 65, h = 26;
    SurfacePtr surface = NewSurface(w, h);
    CairoPtr cr = NewContext(surface.get());
    Rgb top, bottom;
    switch (state) {
        case 0:
            top = Hex(0x3AA2FF);
            bottom = Hex(0x0A77E0);
            break;
        case 1:
            top = Hex(0x62B8FF);
            bottom = Hex(0x1E8CF2);
            break;
        default:
            top = Hex(0x0A68C8);
            bottom = Hex(0x1A82E6);
            break;
    }
    RoundedRect(cr.get(), 0.5, 0.5, w - 1, h - 1, 4);
    PatternPtr fill(cairo_pattern_create_linear(0, 0, 0, h));
    AddStop(fill.get(), 0, top);
    AddStop(fill.get(), 1, bottom);
    cairo_set_source(cr.get(), fill.get());
    cairo_fill_preserve(cr.get());
    cairo_set_line_width(cr.get(), 1);
    SetColour(cr.get(), Hex(0x0756A8), 0.9);
    cairo_stroke(cr.get());
    // Inner light edge: along the top when raised, faint all round when held.
    cairo_save(cr.get());
    RoundedRect(cr.get(), 1.5, 1.5, w - 3, h - 3, 3);
    if (state == 2) {
        cairo_set_source_rgba(cr.get(), 0, 0, 0, 0.12);
    } else {
        PatternPtr edge(cairo_pattern_create_linear(0, 1, 0, h - 1));
        AddStop(edge.get(), 0, kWhite, state == 1 ? 0.6 : 0.45);
        AddStop(edge.get(), 0.5, kWhite, 0.08);
        AddStop(edge.get(), 1, kWhite, 0.0);
        cairo_set_source(cr.get(), edge.get());
    }
    cairo_stroke(cr.get());
    cairo_restore(cr.get());
    return EncodePng(surface.get());
}

// ---------------------------------------------------------------------------
// Top picture (150 x 20): the plate behind the status text. A blue pill with
// faint waves and an orange seed at each end; the status label's white text
// sits on it, so the centre stays calm and dark enough.

std::string TopPicture() {
    const int w = 150, h = 20;
    SurfacePtr surface = NewSurface(w, h);
    CairoPtr cr = NewContext(surface.get());
    cairo_t* c = cr.get();
    RoundedRect(c, 0.5, 0.5, w - 1, h - 1, 9.5);
    cairo_path_t* pill = cairo_copy_path(c);
    PatternPtr fill(cairo_pattern_create_linear(0, 0, 0, h));
    AddStop(fill.get(), 0, Hex(0x2E8FF2));
    AddStop(fill.get(), 1, Hex(0x0B62C2));
    cairo_set_source(c, fill.get());
    cairo_fill(c);
    cairo_save(c);
    cairo_append_path(c, pill);
    cairo_clip(c);
    // Waves: two soft white curves across the lower half.
    for (int i = 0; i < 2; ++i) {
        double base = 14.5 + i * 2.5;
        cairo_move_to(c, 0, base);
        for (double x = 0; x <= w; x += 2) {
            cairo_line_to(c, x, base + 1.4 * std::sin(x / 11.0 + i * 1.7));
        }
        cairo_set_line_width(c, 1.1);
        SetColour(c, kWhite, 0.22 - i * 0.08);
        cairo_stroke(c);
    }
    PatternPtr gloss(cairo_pattern_create_linear(0, 0, 0, h));
    AddStop(gloss.get(), 0, kWhite, 0.35);
    AddStop(gloss.get(), 0.5, kWhite, 0.05);
    AddStop(gloss.get(), 1, kWhite, 0.0);
    cairo_set_source(c, gloss.get());
    cairo_paint(c);
    cairo_restore(c);
    cairo_append_path(c, pill);
    cairo_set_line_width(c, 1);
    SetColour(c, Hex(0x0A4F9A), 0.55);
    cairo_stroke(c);
    // Two small orange seeds at the ends, the product's colour.
    for (double x : {10.0, w - 10.0}) {
        for (int layer = 0; layer < 2; ++layer) {
            cairo_save(c);
            cairo_translate(c, x, h / 2.0 + (layer == 0 ? 0.7 : 0.0));
            cairo_rotate(c, x < w / 2.0 ? -0.5 : 0.5);
            cairo_scale(c, 1.0, 1.4);
            cairo_arc(c, 0, 0, 3.0, 0, 2 * kPi);
            cairo_restore(c);
            if (layer == 0) {
                cairo_set_source_rgba(c, 0, 0, 0, 0.25);
            } else {
                PatternPtr seed(cairo_pattern_create_linear(0, h / 2.0 - 4, 0, h / 2.0 + 4));
                AddStop(seed.get(), 0, Hex(0xFFB455));
                AddStop(seed.get(), 1, kOrangeDeep);
                cairo_set_source(c, seed.get());
            }
            cairo_fill(c);
        }
    }
    cairo_path_destroy(pill);
    return EncodePng(surface.get());
}

// ---------------------------------------------------------------------------
// Background (560 x 466, also centred behind the 470 x 390 main window): a
// light sky with gentle waves and a warm sun at the top right. The upper part
// is a medium blue so that the white caption and tab texts stay legible.

void Background(const std::string& path) {
    const int w = 560, h = 466;
    SurfacePtr surface = NewSurface(w, h);
    CairoPtr cr = NewContext(surface.get());
    cairo_t* c = cr.get();
    PatternPtr sky(cairo_pattern_create_linear(0, 0, 0, h));
    AddStop(sky.get(), 0.0, Hex(0x3C97E0));
    AddStop(sky.get(), 0.28, Hex(0x74B8EC));
    AddStop(sky.get(), 0.62, Hex(0xB9DBF5));
    AddStop(sky.get(), 1.0, Hex(0xDDEEFA));
    cairo_set_source(c, sky.get());
    cairo_paint(c);

    // Blue and yellow would mix to green: the sun is a warm white.
    PatternPtr sun(cairo_pattern_create_radial(w - 80, 30, 0, w - 80, 30, 170));
    AddStop(sun.get(), 0, Hex(0xFFF1DC), 0.55);
    AddStop(sun.get(), 0.3, Hex(0xFFE2C0), 0.2);
    AddStop(sun.get(), 1, Hex(0xFFE2C0), 0.0);
    cairo_set_source(c, sun.get());
    cairo_paint(c);

    PatternPtr glow(cairo_pattern_create_radial(60, h - 40, 0, 60, h - 40, 260));
    AddStop(glow.get(), 0, kWhite, 0.35);
    AddStop(glow.get(), 1, kWhite, 0.0);
    cairo_set_source(c, glow.get());
    cairo_paint(c);

    // Layered waves: filled bands from a base line down to the bottom edge.
    struct Wave {
        double base, amplitude, length, phase, alpha;
    };
    const Wave waves[] = {{250, 14, 150, 0.3, 0.10},
                          {300, 18, 190, 1.9, 0.12},
                          {352, 12, 130, 3.1, 0.14},
                          {402, 16, 170, 4.4, 0.16}};
    for (const Wave& wave : waves) {
        cairo_move_to(c, 0, h);
        for (int x = 0; x <= w; x += 4) {
            cairo_line_to(c, x,
                          wave.base + wave.amplitude *
                                          std::sin(2 * kPi * x / wave.length + wave.phase));
        }
        cairo_line_to(c, w, h);
        cairo_close_path(c);
        SetColour(c, kWhite, wave.alpha);
        cairo_fill(c);
    }
    // Thin highlight lines riding above the waves in the upper sky.
    for (int i = 0; i < 3; ++i) {
        double base = 120 + i * 26;
        cairo_move_to(c, 0, base);
        for (int x = 0; x <= w; x += 4) {
            cairo_line_to(c, x, base + 9 * std::sin(2 * kPi * x / (210 + 30 * i) + i));
        }
        cairo_set_line_width(c, 1.2);
        SetColour(c, kWhite, 0.16 - i * 0.04);
        cairo_stroke(c);
    }
    cairo_surface_flush(surface.get());

    // cairo cannot write JPEG: copy the opaque pixels into an RGB pixbuf.
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    if (!pixbuf) {
        std::fprintf(stderr, "make-art: cannot allocate the background\n");
        std::exit(1);
    }
    const unsigned char* src = cairo_image_surface_get_data(surface.get());
    int src_stride = cairo_image_surface_get_stride(surface.get());
    unsigned char* dst = gdk_pixbuf_get_pixels(pixbuf);
    int dst_stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(src + y * src_stride);
        unsigned char* out = dst + y * dst_stride;
        for (int x = 0; x < w; ++x) {
            std::uint32_t argb = row[x];  // opaque: no un-premultiplying needed
            out[3 * x] = static_cast<unsigned char>((argb >> 16) & 0xFF);
            out[3 * x + 1] = static_cast<unsigned char>((argb >> 8) & 0xFF);
            out[3 * x + 2] = static_cast<unsigned char>(argb & 0xFF);
        }
    }
    GError* error = nullptr;
    gboolean saved = gdk_pixbuf_save(pixbuf, path.c_str(), "jpeg", &error, "quality", "92",
                                     nullptr);
    g_object_unref(pixbuf);
    if (!saved) {
        std::fprintf(stderr, "make-art: cannot write %s: %s\n", path.c_str(),
                     error ? error->message : "unknown error");
        if (error) g_error_free(error);
        std::exit(1);
    }
}

// ---------------------------------------------------------------------------
// Caption-button strip (729 x 20). Faces are the buttons' own size, 19 rows
// high (row 19 is empty), three looks side by side: normal, hover, pressed.
// The exact offsets are written into the generated caption_strip_data.inc.

enum class Glyph { Close, Maximise, Restore, Minimise, Menu, DropDown, Pin, Help };

void CaptionGlyph(cairo_t* c, Glyph glyph, double cx, double cy) {
    cairo_new_path(c);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_SQUARE);
    cairo_set_line_join(c, CAIRO_LINE_JOIN_MITER);
    cairo_set_line_width(c, 1);
    // Pixel-aligned strokes: 1-pixel lines sit on pixel centres.
    double px = std::floor(cx) + 0.5, py = std::floor(cy) + 0.5;
    switch (glyph) {
        case Glyph::Close:
            cairo_set_line_width(c, 1.4);
            cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
            cairo_move_to(c, cx - 4, cy - 4);
            cairo_line_to(c, cx + 4, cy + 4);
            cairo_move_to(c, cx + 4, cy - 4);
            cairo_line_to(c, cx - 4, cy + 4);
            break;
        case Glyph::Maximise:
            cairo_rectangle(c, px - 4, py - 4, 8, 8);
            cairo_move_to(c, px - 4, py - 3);
            cairo_line_to(c, px + 4, py - 3);
            break;
        case Glyph::Restore:
            cairo_move_to(c, px - 2, py - 3);
            cairo_line_to(c, px - 2, py - 5);
            cairo_line_to(c, px + 4, py - 5);
            cairo_line_to(c, px + 4, py + 1);
            cairo_line_to(c, px + 2, py + 1);
            cairo_rectangle(c, px - 4, py - 3, 6, 6);
            break;
        case Glyph::Minimise:
            cairo_move_to(c, px - 4, py + 3);
            cairo_line_to(c, px + 4, py + 3);
            cairo_set_line_width(c, 1);
            break;
        case Glyph::Menu:
            for (int i = -1; i <= 1; ++i) {
                cairo_move_to(c, px - 4, py + 3 * i);
                cairo_line_to(c, px + 4, py + 3 * i);
            }
            break;
        case Glyph::DropDown:
            cairo_set_line_width(c, 1.4);
            cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
            cairo_set_line_join(c, CAIRO_LINE_JOIN_ROUND);
            cairo_move_to(c, cx - 4, cy - 1.5);
            cairo_line_to(c, cx, cy + 2.5);
            cairo_line_to(c, cx + 4, cy - 1.5);
            break;
        case Glyph::Pin:
            cairo_move_to(c, px - 2, py - 5);
            cairo_line_to(c, px + 2, py - 5);
            cairo_line_to(c, px + 2, py);
            cairo_line_to(c, px + 4, py + 1);
            cairo_line_to(c, px - 4, py + 1);
            cairo_line_to(c, px - 2, py);
            cairo_close_path(c);
            cairo_move_to(c, px, py + 1);
            cairo_line_to(c, px, py + 5);
            break;
        case Glyph::Help:
            cairo_set_line_width(c, 1.4);
            cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
            cairo_arc(c, cx, cy - 2, 2.8, kPi, 2.25 * kPi);
            cairo_curve_to(c, cx + 1.5, cy - 0.5, cx, cy + 0.2, cx, cy + 1.6);
            cairo_stroke(c);
            cairo_arc(c, cx, cy + 4.2, 0.95, 0, 2 * kPi);
            cairo_fill(c);
            return;
    }
    cairo_stroke(c);
}

void CaptionFace(cairo_t* c, Glyph glyph, double x, double w, int state) {
    const double h = 19;
    const bool close = glyph == Glyph::Close;
    // Backgrounds hang from the top edge: square at the top, rounded below;
    // the close button also rounds its outer top corner to follow the
    // window's rounded frame.
    if (state > 0) {
        RoundedRect(c, x, 0, w, h, 0, close ? 4 : 0, 4, 4);
        if (close) {
            SetColour(c, state == 1 ? Hex(0xE8404A) : Hex(0xB8202B), 0.96);
        } else if (state == 1) {
            cairo_set_source_rgba(c, 1, 1, 1, 0.32);
        } else {
            cairo_set_source_rgba(c, 0, 0, 0, 0.22);
        }
        cairo_fill(c);
    }
    double cx = x + w / 2.0, cy = 9.5 + (state == 2 ? 0.5 : 0.0);
    // A faint dark copy one pixel lower keeps the white glyph visible on
    // light backgrounds.
    cairo_save(c);
    cairo_translate(c, 0, 1);
    cairo_set_source_rgba(c, 0, 0, 0, state == 0 ? 0.28 : 0.18);
    CaptionGlyph(c, glyph, cx, cy);
    cairo_restore(c);
    cairo_set_source_rgba(c, 1, 1, 1, state == 0 ? 0.92 : 1.0);
    CaptionGlyph(c, glyph, cx, cy);
}

std::string CaptionStrip() {
    SurfacePtr surface = NewSurface(729, 20);
    CairoPtr cr = NewContext(surface.get());
    struct Button {
        Glyph glyph;
        double width;
    };
    const Button buttons[] = {{Glyph::Close, 39},    {Glyph::Maximise, 28}, {Glyph::Restore, 28},
                              {Glyph::Minimise, 28}, {Glyph::Menu, 28},     {Glyph::DropDown, 28},
                              {Glyph::Pin, 28},      {Glyph::Help, 28}};
    double x = 0;
    for (const Button& button : buttons) {
        for (int state = 0; state < 3; ++state) {
            cairo_save(cr.get());
            cairo_rectangle(cr.get(), x, 0, button.width, 19);
            cairo_clip(cr.get());
            CaptionFace(cr.get(), button.glyph, x, button.width, state);
            cairo_restore(cr.get());
            x += button.width;
        }
    }
    return EncodePng(surface.get());
}

// ---------------------------------------------------------------------------
// Message-box icons (200 x 40, five 40 x 40 cells): error, warning, question,
// information, success.

void Badge(cairo_t* c, double x, Rgb top, Rgb bottom) {
    cairo_arc(c, x + 20, 20, 16.5, 0, 2 * kPi);
    DropShadow(c, 0.14);
    cairo_new_path(c);
    cairo_arc(c, x + 20, 20, 16.5, 0, 2 * kPi);
    PatternPtr fill(cairo_pattern_create_linear(0, 3.5, 0, 36.5));
    AddStop(fill.get(), 0, top);
    AddStop(fill.get(), 1, bottom);
    cairo_set_source(c, fill.get());
    cairo_fill(c);
    cairo_arc(c, x + 20, 20, 16, 0, 2 * kPi);
    cairo_set_source_rgba(c, 0, 0, 0, 0.15);
    cairo_set_line_width(c, 1);
    cairo_stroke(c);
    // Gloss on the upper half.
    cairo_save(c);
    cairo_arc(c, x + 20, 20, 15.5, 0, 2 * kPi);
    cairo_clip(c);
    PatternPtr gloss(cairo_pattern_create_linear(0, 3.5, 0, 20));
    AddStop(gloss.get(), 0, kWhite, 0.3);
    AddStop(gloss.get(), 1, kWhite, 0.0);
    cairo_set_source(c, gloss.get());
    cairo_paint(c);
    cairo_restore(c);
}

void ExclamationMark(cairo_t* c, double cx, double top, double bottom) {
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(c, 3.6);
    cairo_move_to(c, cx, top);
    cairo_line_to(c, cx, bottom - 6.5);
    cairo_stroke(c);
    cairo_arc(c, cx, bottom - 1, 2.1, 0, 2 * kPi);
    cairo_fill(c);
}

std::string MessageIcons() {
    SurfacePtr surface = NewSurface(200, 40);
    CairoPtr cr = NewContext(surface.get());
    cairo_t* c = cr.get();

    // Error: red disc with a cross.
    Badge(c, 0, Hex(0xFF6B6B), Hex(0xD92D3A));
    SetColour(c, kWhite);
    cairo_set_line_width(c, 3.4);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(c, 13.5, 13.5);
    cairo_line_to(c, 26.5, 26.5);
    cairo_move_to(c, 26.5, 13.5);
    cairo_line_to(c, 13.5, 26.5);
    cairo_stroke(c);

    // Warning: amber rounded triangle with an exclamation mark.
    {
        const double x = 40;
        cairo_new_path(c);
        cairo_move_to(c, x + 20, 4.5);
        cairo_line_to(c, x + 37, 34.5);
        cairo_line_to(c, x + 3, 34.5);
        cairo_close_path(c);
        cairo_set_line_join(c, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_width(c, 4);
        cairo_path_t* triangle = cairo_copy_path(c);
        cairo_save(c);
        cairo_translate(c, 0, 1);
        cairo_set_source_rgba(c, 0, 0, 0, 0.14);
        cairo_fill_preserve(c);
        cairo_stroke(c);
        cairo_restore(c);
        cairo_append_path(c, triangle);
        PatternPtr fill(cairo_pattern_create_linear(0, 4, 0, 36));
        AddStop(fill.get(), 0, Hex(0xFFD35C));
        AddStop(fill.get(), 1, Hex(0xF29A0E));
        cairo_set_source(c, fill.get());
        cairo_fill_preserve(c);
        cairo_stroke(c);
        cairo_path_destroy(triangle);
        SetColour(c, Hex(0x5A3A00));
        ExclamationMark(c, x + 20, 14, 31);
    }

    // Question: accent-blue disc with a question mark.
    Badge(c, 80, Hex(0x5CB6FF), Hex(0x0A72DA));
    SetColour(c, kWhite);
    cairo_set_line_width(c, 3.4);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    cairo_new_path(c);
    cairo_arc(c, 100, 16, 5.2, 1.05 * kPi, 2.3 * kPi);
    cairo_curve_to(c, 102.5, 19.5, 100, 20.5, 100, 23.2);
    cairo_stroke(c);
    cairo_arc(c, 100, 29, 2.2, 0, 2 * kPi);
    cairo_fill(c);

    // Information: teal-blue disc with a lower-case i.
    Badge(c, 120, Hex(0x4FD1E8), Hex(0x0E8FB5));
    SetColour(c, kWhite);
    cairo_arc(c, 140, 11.8, 2.3, 0, 2 * kPi);
    cairo_fill(c);
    cairo_set_line_width(c, 3.6);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(c, 140, 18);
    cairo_line_to(c, 140, 29);
    cairo_stroke(c);

    // The fifth picture: green disc with a check mark, for confirmations.
    Badge(c, 160, Hex(0x5BD88A), Hex(0x1E9E55));
    SetColour(c, kWhite);
    cairo_set_line_width(c, 3.6);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(c, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(c, 171.5, 20.5);
    cairo_line_to(c, 177.5, 26.5);
    cairo_line_to(c, 189, 14);
    cairo_stroke(c);
    return EncodePng(surface.get());
}

// ---------------------------------------------------------------------------

void WriteByteArray(const std::string& path, const char* name, const std::string& png,
                    const char* what) {
    const std::string kSignature("\x89PNG\r\n\x1A\n", 8);
    if (png.compare(0, kSignature.size(), kSignature) != 0) {
        std::fprintf(stderr, "make-art: %s is not a PNG\n", what);
        std::exit(1);
    }
    std::string out;
    out += "// Generated by tools/make-art; do not edit. Regenerate with\n";
    out += "// tools/regenerate-art.sh.\n";
    out += std::string("// ") + what + "\n";
    out += "// The PNG is stored without its 8-byte signature.\n";
    out += "#pragma once\n\n";
    out += std::string("inline constexpr unsigned char ") + name + "[] = {";
    char cell[8];
    for (std::size_t i = kSignature.size(); i < png.size(); ++i) {
        std::size_t n = i - kSignature.size();
        out += n % 16 == 0 ? "\n    " : " ";
        std::snprintf(cell, sizeof cell, "0x%02x,", static_cast<unsigned char>(png[i]));
        out += cell;
    }
    out += "\n};\n";
    WriteFile(path, out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "Usage: make-art SOURCE_ROOT [PREVIEW_DIR]\n");
        return 2;
    }
    const std::string root = argv[1];

    std::vector<std::string> skin;
    for (int tab = 1; tab <= 4; ++tab) skin.push_back(TabIcon(tab));
    for (int state = 0; state < 3; ++state) skin.push_back(ButtonFace(state));
    skin.push_back(TopPicture());
    std::string error;
    if (!app::WriteSkinPackage(root + "/res/skin.dll", skin, &error)) {
        std::fprintf(stderr, "make-art: %s\n", error.c_str());
        return 1;
    }
    if (argc == 3) {
        for (std::size_t i = 0; i < skin.size(); ++i) {
            WriteFile(std::string(argv[2]) + "/" + std::to_string(i + 1) + ".png", skin[i]);
        }
    }

    Background(root + "/res/0.jpg");
    WriteFile(root + "/res/seed-searcher.png", AppIcon());

    std::string caption = CaptionStrip();
    WriteFile(root + "/res/caption_buttons.png", caption);
    WriteByteArray(root + "/dui/core/caption_strip_data.inc", "kCaptionStripPng", caption,
                   "Caption-button strip, 729 x 20, 8-bit RGBA. Each face has its button's\n"
                   "// size (close 39 x 19, every other button 28 x 19) and sits at y = 0;\n"
                   "// row 19 is empty. Three looks per button side by side, in the order\n"
                   "// normal, hover, pressed:\n"
                   "//   close (flag 4)        x = 0, 39, 78\n"
                   "//   maximise (flag 8)     x = 117, 145, 173\n"
                   "//   restore (flag 8, maximised window)  x = 201, 229, 257\n"
                   "//   minimise (flag 16)    x = 285, 313, 341\n"
                   "//   menu (flag 32)        x = 369, 397, 425\n"
                   "//   drop-down (flag 64)   x = 453, 481, 509\n"
                   "//   pin (flag 128)        x = 537, 565, 593\n"
                   "//   help (flag 256)       x = 621, 649, 677\n"
                   "// x = 705 to 728 is transparent.");

    std::string icons = MessageIcons();
    WriteFile(root + "/res/message_icons.png", icons);
    WriteByteArray(root + "/dui/controls/message_icons_data.inc", "kMessageIconsPng", icons,
                   "Message-box icons, 200 x 40: error, warning, question, information,\n"
                   "// success, one 40 x 40 cell each at x = 0, 40, 80, 120, 160.");
    return 0;
}
