// The icon font and the one table from the design's symbol names to its
// glyphs, so views ask for "checkmark" or "trash" rather than code points.
#pragma once

#include <QFont>
#include <QString>
#include <span>
#include <string_view>

namespace tidewell {

// The glyph of a symbol name as text in iconFont(), or an empty string for a
// name the table does not know.
QString iconGlyph(std::string_view symbol);

// Every symbol name the table knows.
std::span<const std::string_view> iconSymbols();

// The icon font at a pixel size; loaded from the system's font files the
// first time if font configuration does not list it.
QFont iconFont(double pixelSize);

}  // namespace tidewell
