#include "icon_font.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>
#include <array>
#include <utility>

namespace tidewell {

namespace {

constexpr std::string_view kFamily = "Material Icons";
constexpr const char* kFontFile =
    "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";

// Sorted by name.
constexpr std::array<std::pair<std::string_view, char16_t>, 39> kGlyphs{{
    {"archivebox", 0xe149},
    {"arrow.clockwise", 0xe5d5},
    {"arrow.down.circle", 0xe2c4},
    {"arrow.up.forward.app", 0xe89e},
    {"chart.pie", 0xe6c4},
    {"chart.pie.fill", 0xe6c4},
    {"checkmark", 0xe5ca},
    {"checkmark.circle.fill", 0xe86c},
    {"chevron.down", 0xe5cf},
    {"chevron.left", 0xe5cb},
    {"circle", 0xe836},
    {"clock.arrow.circlepath", 0xe889},
    {"cube.box", 0xe1a1},
    {"doc.fill", 0xe24d},
    {"doc.text", 0xe873},
    {"envelope", 0xe0be},
    {"exclamationmark.triangle.fill", 0xe002},
    {"eye", 0xe8f4},
    {"folder", 0xe2c7},
    {"folder.fill", 0xe2c7},
    {"hammer", 0xe869},
    {"internaldrive", 0xe1db},
    {"ipad.landscape", 0xe32f},
    {"iphone", 0xe325},
    {"line.3.horizontal", 0xe5d2},
    {"list.number", 0xe242},
    {"lock", 0xe897},
    {"minus.circle", 0xe15d},
    {"mug", 0xe541},
    {"photo", 0xe410},
    {"plus", 0xe145},
    {"plus.circle", 0xe148},
    {"shippingbox", 0xe1a1},
    {"shippingbox.fill", 0xe1a1},
    {"sparkles", 0xe65f},
    {"square.grid.2x2", 0xe871},
    {"trash", 0xe872},
    {"wrench.and.screwdriver", 0xe869},
    {"xmark", 0xe5cd},
}};

}  // namespace

QString iconGlyph(std::string_view symbol) {
    const auto* it =
        std::lower_bound(kGlyphs.begin(), kGlyphs.end(), symbol,
                         [](const auto& e, std::string_view s) { return e.first < s; });
    if (it == kGlyphs.end() || it->first != symbol) return {};
    return QString(QChar(it->second));
}

std::span<const std::string_view> iconSymbols() {
    static const auto names = [] {
        std::array<std::string_view, kGlyphs.size()> out{};
        std::transform(kGlyphs.begin(), kGlyphs.end(), out.begin(),
                       [](const auto& e) { return e.first; });
        return out;
    }();
    return names;
}

QFont iconFont(double pixelSize) {
    static const QString family = [] {
        const QString name =
            QString::fromUtf8(kFamily.data(), static_cast<qsizetype>(kFamily.size()));
        if (QFontDatabase::families().contains(name)) return name;
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(kFontFile));
        const QStringList loaded = QFontDatabase::applicationFontFamilies(id);
        return loaded.isEmpty() ? name : loaded.front();
    }();
    QFont font(family);
    font.setPixelSize(std::max(1, static_cast<int>(pixelSize + 0.5)));
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

}  // namespace tidewell
