#include "dui/core/font.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <mutex>

#include "util/gbk_text.h"
#include "util/c_deleter.h"

namespace dui {
namespace {

using FcPatternPtr = std::unique_ptr<FcPattern, util::CDeleter<FcPatternDestroy>>;
using FcObjectSetPtr = std::unique_ptr<FcObjectSet, util::CDeleter<FcObjectSetDestroy>>;
using FcFontSetPtr = std::unique_ptr<FcFontSet, util::CDeleter<FcFontSetDestroy>>;

bool FamilyExistsUtf8(const std::string& family) {
    if (family.empty() || !FcInit()) return false;
    FcPatternPtr pattern(FcPatternCreate());
    FcObjectSetPtr objects(FcObjectSetBuild(FC_FAMILY, nullptr));
    if (!pattern || !objects) return false;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcFontSetPtr fonts(FcFontList(nullptr, pattern.get(), objects.get()));
    return fonts && fonts->nfont > 0;
}

// The family fontconfig picks for the generic user-interface face that
// covers simplified Chinese. Plain "sans-serif" is often a Latin-only face,
// and labels draw without font fallback, so every Chinese character of a
// label in the default font would come out as a missing-glyph box.
std::string DesktopUiFamily() {
    if (!FcInit()) return {};
    FcPatternPtr pattern(FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=zh-cn")));
    if (!pattern) return {};
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    FcPatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match) return {};
    FcChar8* family = nullptr;
    if (FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch || !family) return {};
    return reinterpret_cast<const char*>(family);
}

// The first installed family of the two, else fontconfig's own default.
// Only fontconfig is asked, which is safe from any thread.
std::string ResolveDefaultFamily() {
    for (std::string candidate :
         {std::string(reinterpret_cast<const char*>(u8"宋体")), DesktopUiFamily()}) {
        if (FamilyExistsUtf8(candidate)) return candidate;
    }
    return "sans-serif";
}

struct FontModule {
    std::string default_family;
    PangoContext* context = nullptr;
};

// The module's context, on a font map of its own: the fonts can then be
// made ready on another thread and handed over whole.
FontModule BuildFonts() {
    FontModule built;
    PangoFontMap* map = pango_cairo_font_map_new();
    built.context = pango_font_map_create_context(map);
    g_object_unref(map);  // the context holds it
    pango_context_set_language(built.context, pango_language_from_string("zh-cn"));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    pango_cairo_context_set_font_options(built.context, options);
    cairo_font_options_destroy(options);
    built.default_family = ResolveDefaultFamily();
    return built;
}

// Draws a Chinese and a Latin text in the default font once, so that its
// face is loaded and shaped with before the first real text needs it: the
// first text of a large CJK face costs several milliseconds.
void WarmUp(const FontModule& fonts) {
    PangoLayout* layout = pango_layout_new(fonts.context);
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, fonts.default_family.c_str());
    pango_font_description_set_absolute_size(description, 12 * PANGO_SCALE);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    pango_layout_set_text(layout, reinterpret_cast<const char*>(u8"中文 Aa"), -1);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 16);
    cairo_t* cr = cairo_create(surface);
    pango_cairo_show_layout(cr, layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    g_object_unref(layout);
}

// The fonts made ready by PrepareFonts; taken by the first use.
struct PreparedFonts {
    std::mutex mutex;
    std::future<FontModule> fonts;
    bool taken = false;
};

PreparedFonts& Prepared() {
    static PreparedFonts prepared;
    return prepared;
}

// Built once on first use, or taken from PrepareFonts's thread. The Pango
// context is kept for the life of the process: layouts made from it may
// outlive any scope that could free it.
FontModule& Fonts() {
    static FontModule module = [] {
        PreparedFonts& prepared = Prepared();
        std::future<FontModule> fonts;
        {
            std::lock_guard lock(prepared.mutex);
            prepared.taken = true;
            fonts = std::move(prepared.fonts);
        }
        return fonts.valid() ? fonts.get() : BuildFonts();
    }();
    return module;
}

float ClampSize(float size) {
    if (!std::isfinite(size) || size < 1) return size > 0 ? 1.0f : 12.0f;
    return std::min(size, 1000.0f);
}

}  // namespace

std::string TextToUtf8(std::string_view gbk) {
    // Plain ASCII needs no conversion: the common case for most captions.
    if (std::all_of(gbk.begin(), gbk.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(gbk);
    return util::GbkToUtf8(gbk);
}

std::string TextFromUtf8(std::string_view utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(utf8);
    return util::Utf8ToGbk(utf8);
}

PangoContext* SharedPangoContext() { return Fonts().context; }

void InitialiseFonts() { DefaultFont(); }

void PrepareFonts() {
    PreparedFonts& prepared = Prepared();
    std::lock_guard lock(prepared.mutex);
    if (prepared.taken || prepared.fonts.valid()) return;
    // The thread is the only user of what it builds until Fonts() takes it.
    prepared.fonts = std::async(std::launch::async, [] {
        FontModule fonts = BuildFonts();
        WarmUp(fonts);
        return fonts;
    });
}

const Font& DefaultFont() {
    static const Font font(Fonts().default_family, 12, kFontRegular);
    return font;
}

bool FontFamilyExists(std::string_view family_gbk) {
    return FamilyExistsUtf8(TextToUtf8(family_gbk));
}

Font CreateFont(std::string_view family_gbk, float size, int style) {
    std::string family = TextToUtf8(family_gbk);
    if (!FamilyExistsUtf8(family)) family = DefaultFont().FamilyUtf8();
    return Font(std::move(family), size, style);
}

Font::Font() : Font(DefaultFont()) {}

Font::Font(std::string family_utf8, float size, int style)
    : m_family(std::move(family_utf8)), m_size(ClampSize(size)), m_style(style & 15),
      m_description(pango_font_description_new()) {
    pango_font_description_set_family(m_description.get(), m_family.c_str());
    pango_font_description_set_absolute_size(m_description.get(), m_size * PANGO_SCALE);
    pango_font_description_set_weight(m_description.get(),
                                      (m_style & kFontBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(m_description.get(),
                                     (m_style & kFontItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
}

Font::Font(const Font& other)
    : m_family(other.m_family), m_size(other.m_size), m_style(other.m_style),
      m_description(pango_font_description_copy(other.m_description.get())) {}

Font& Font::operator=(const Font& other) {
    if (this != &other) {
        m_family = other.m_family;
        m_size = other.m_size;
        m_style = other.m_style;
        m_description.reset(pango_font_description_copy(other.m_description.get()));
    }
    return *this;
}

std::string Font::Family() const { return TextFromUtf8(m_family); }

int Font::Height() const {
    PangoLayout* layout = pango_layout_new(SharedPangoContext());
    pango_layout_set_font_description(layout, m_description.get());
    pango_layout_set_text(layout, " ", 1);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return logical.height;
}

}  // namespace dui
