// Every symbol of the icon table draws a glyph of the installed icon font.
#include "icon_font.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>

namespace tidewell {
namespace {

TEST(IconFont, EverySymbolHasAGlyphInTheFont) {
    const QFont font = iconFont(16);
    const QFontMetricsF metrics(font);
    ASSERT_EQ(QFontInfo(font).family(), font.family()) << "icon font not installed";
    for (const std::string_view symbol : iconSymbols()) {
        const QString glyph = iconGlyph(symbol);
        ASSERT_EQ(glyph.size(), 1) << symbol;
        EXPECT_TRUE(metrics.inFontUcs4(glyph.front().unicode())) << symbol;
    }
    EXPECT_TRUE(iconGlyph("no.such.symbol").isEmpty());
}

}  // namespace
}  // namespace tidewell
