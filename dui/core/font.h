#pragma once

#include <pango/pango.h>

#include <memory>
#include <string>
#include <string_view>

namespace dui {

// Font style bits, combinable.
enum FontStyle : int {
    kFontRegular = 0,
    kFontBold = 1,
    kFontItalic = 2,
    kFontUnderline = 4,
    kFontStrikeout = 8,
};

// A font: family, em size in pixels and style bits. A value type; copies are
// independent. Underline and strikeout are applied as text attributes when a
// layout is built, the rest lives in the Pango description.
class Font {
public:
    Font();  // the module default font
    Font(std::string family_utf8, float size, int style);
    Font(const Font& other);
    Font& operator=(const Font& other);
    Font(Font&&) noexcept = default;
    Font& operator=(Font&&) noexcept = default;
    ~Font() = default;

    // The family name as the program's texts hold it (GBK).
    std::string Family() const;
    const std::string& FamilyUtf8() const { return m_family; }
    float Size() const { return m_size; }
    int Style() const { return m_style; }
    const PangoFontDescription* Description() const { return m_description.get(); }

    // Height in pixels of one line of text in this font (hinted metrics).
    int Height() const;

    friend bool operator==(const Font& a, const Font& b) {
        return a.m_family == b.m_family && a.m_size == b.m_size && a.m_style == b.m_style;
    }

private:
    struct DescriptionDeleter {
        void operator()(PangoFontDescription* p) const noexcept { pango_font_description_free(p); }
    };
    std::string m_family;
    float m_size = 12;
    int m_style = kFontRegular;
    std::unique_ptr<PangoFontDescription, DescriptionDeleter> m_description;
};

// Builds a font with unit pixel. When no family of that name is installed
// (checked exactly, localized names included) the default font's family is
// used instead. Sizes that are not positive or absurdly large are clamped
// to 1..1000 px.
Font CreateFont(std::string_view family_gbk, float size, int style);

// True when an installed font family carries this name (GBK), in any of its
// localized forms. Never answered by fontconfig's substitution.
bool FontFamilyExists(std::string_view family_gbk);

// The module default font: the first installed family of "宋体" and the
// desktop's user-interface family, 12 px, regular. Built on first use;
// InitialiseFonts() builds it eagerly at module start-up.
const Font& DefaultFont();
void InitialiseFonts();

// Starts making the fonts ready on a thread of its own: fontconfig reads
// its whole configuration for the first question, and the default face is
// loaded for the first text, milliseconds that a program can spend on its
// window system's start meanwhile. The first use of the fonts waits for
// it. Does nothing once the fonts are in use.
void PrepareFonts();

// The Pango context every layout of the module is made from: language zh-cn,
// grey anti-aliasing, hinted metrics.
PangoContext* SharedPangoContext();

// GBK text to UTF-8 for Pango and back, through the program's one
// converter: what cannot be converted becomes "?"; never fails.
std::string TextToUtf8(std::string_view gbk);
std::string TextFromUtf8(std::string_view utf8);

}  // namespace dui
