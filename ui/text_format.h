// Texts the screens build from numbers and dates, in the user's locale:
// relative dates through ICU, grouped counts, the scanning screen's lines.
#pragma once

#include <QDateTime>
#include <QString>

namespace tidewell {

// The locale the interface formats for: LC_ALL, LC_TIME or LANG from the
// environment without its encoding ("tr_TR"), Turkish when none is set or
// when it is the plain C locale.
QString interfaceLocaleName();

enum class RelativeStyle { longStyle, shortStyle };

// `when` relative to `now`, with the locale's own words where it has them
// ("şimdi", "dün"): seconds count as now, then minutes and hours within the
// same day, then calendar days, weeks, months and years. A date after `now`
// (a clock set back) reads as now.
QString relativeDate(const QDateTime& when, const QDateTime& now, const QString& localeName,
                     RelativeStyle style = RelativeStyle::longStyle);

// An integer with the locale's digit grouping ("1.234.567" in Turkish).
QString formatCount(qint64 value, const QString& localeName);

// "1.234 öğe · 5,6 MB": a count of items and their size.
QString countAndSize(qint64 count, qint64 bytes, const QString& localeName);

// The count line under the scanned location: "başlatılıyor…" before the
// first file is counted, else "1.234 öğe · 5,6 MB".
QString scanCountLine(qint64 fileCount, qint64 byteCount, const QString& localeName);

// The location line: the picked folder's name, or "Klasör" without one.
QString scanLocationLine(const QString& pickedFolderName);

// A name with the Turkish accusative ending after an apostrophe, by vowel
// harmony on how it is read ("Linux'u", "Debian'ı", "Macintosh HD'yi",
// "Debian 12'yi"): a last word without vowels is read letter by letter.
QString accusativeName(const QString& name);

// The path line: the path being read, or "taranıyor…" before there is one.
QString scanPathLine(const QString& currentPath);

}  // namespace tidewell
