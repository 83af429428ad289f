// Fonts made ready on PrepareFonts's thread are the ones the module uses:
// this program prepares them before anything else touches a font.

#include <gtest/gtest.h>

#include "dui/core/canvas.h"
#include "dui/core/font.h"

namespace dui {
namespace {

TEST(PreparedFontsTest, AreTheModuleFontsAndDrawChinese) {
    PrepareFonts();
    PrepareFonts();  // a second call while the first runs changes nothing
    const Font& font = DefaultFont();
    EXPECT_EQ(font.Size(), 12);
    EXPECT_TRUE(FontFamilyExists(font.Family())) << font.FamilyUtf8();
    PrepareFonts();  // nor one once the fonts are in use
    EXPECT_EQ(&DefaultFont(), &font);

    const RectF size = MeasureString("中文", font, {0, 0, 80, 20}, StringFormat{});
    EXPECT_GT(size.width, 12);
    EXPECT_GT(font.Height(), 0);
}

}  // namespace
}  // namespace dui
