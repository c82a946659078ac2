#include "text_format.h"

#include <QLocale>
#include <QStringList>

#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "size_format.h"

namespace tidewell {

QString interfaceLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        QString name = QString::fromLocal8Bit(value);
        name = name.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
        if (name == QLatin1String("C") || name == QLatin1String("POSIX")) break;
        return name;
    }
    return QStringLiteral("tr_TR");
}

namespace {

// The unit and signed amount ICU is asked to name.
struct RelativeAmount {
    double amount;
    URelativeDateTimeUnit unit;
};

RelativeAmount relativeAmount(const QDateTime& when, const QDateTime& now) {
    const qint64 seconds = when.secsTo(now);
    if (seconds < 60) return {0, UDAT_REL_UNIT_SECOND};
    if (seconds < 3600) return {-static_cast<double>(seconds / 60), UDAT_REL_UNIT_MINUTE};
    const QDate day = when.toLocalTime().date();
    const QDate today = now.toLocalTime().date();
    const qint64 days = day.daysTo(today);
    if (days <= 0) return {-static_cast<double>(seconds / 3600), UDAT_REL_UNIT_HOUR};
    if (days < 7) return {-static_cast<double>(days), UDAT_REL_UNIT_DAY};
    const int months = (today.year() - day.year()) * 12 + today.month() - day.month() -
                       (today.day() < day.day() ? 1 : 0);
    if (months < 1) return {-static_cast<double>(days / 7), UDAT_REL_UNIT_WEEK};
    if (months < 12) return {-static_cast<double>(months), UDAT_REL_UNIT_MONTH};
    return {-static_cast<double>(months / 12), UDAT_REL_UNIT_YEAR};
}

}  // namespace

QString relativeDate(const QDateTime& when, const QDateTime& now, const QString& localeName,
                     RelativeStyle style) {
    if (!when.isValid()) return {};
    const RelativeAmount amount = relativeAmount(when, now);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale(localeName.toUtf8().constData());
    const icu::RelativeDateTimeFormatter formatter(
        locale, nullptr, style == RelativeStyle::longStyle ? UDAT_STYLE_LONG : UDAT_STYLE_SHORT,
        UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_FAILURE(status)) return {};
    icu::UnicodeString text;
    // Success may come back as a warning (a fallback locale): only failure counts.
    formatter.format(amount.amount, amount.unit, text, status);
    if (U_FAILURE(status)) return {};
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

QString formatCount(qint64 value, const QString& localeName) {
    QLocale locale(localeName);
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(value);
}

QString countAndSize(qint64 count, qint64 bytes, const QString& localeName) {
    return formatCount(count, localeName) + QStringLiteral(" öğe · ") +
           QString::fromStdString(formatBytes(bytes));
}

QString scanCountLine(qint64 fileCount, qint64 byteCount, const QString& localeName) {
    if (fileCount <= 0) return QStringLiteral("başlatılıyor…");
    return countAndSize(fileCount, byteCount, localeName);
}

QString scanLocationLine(const QString& pickedFolderName) {
    return pickedFolderName.isEmpty() ? QStringLiteral("Klasör") : pickedFolderName;
}

QString scanPathLine(const QString& currentPath) {
    return currentPath.isEmpty() ? QStringLiteral("taranıyor…") : currentPath;
}

QString accusativeName(const QString& name) {
    static const QString frontUnrounded = QStringLiteral("eiEİ");
    static const QString backUnrounded = QStringLiteral("aıAI");
    static const QString backRounded = QStringLiteral("ouOU");
    static const QString frontRounded = QStringLiteral("öüÖÜ");
    const auto isVowel = [&](QChar c) {
        return frontUnrounded.contains(c) || backUnrounded.contains(c) || backRounded.contains(c) ||
               frontRounded.contains(c);
    };
    // How a last digit is read: its last vowel, and whether the word ends in it.
    static const char* const digitWords[] = {"sıfır", "bir",  "iki",  "üç",    "dört",
                                             "beş",   "altı", "yedi", "sekiz", "dokuz"};
    const QString trimmed = name.trimmed();
    QString spoken = trimmed.section(QLatin1Char(' '), -1);
    if (!spoken.isEmpty() && spoken.back().isDigit())
        spoken = QString::fromUtf8(digitWords[spoken.back().digitValue()]);
    else if (std::none_of(spoken.begin(), spoken.end(), isVowel))
        spoken = QStringLiteral("de");  // letter names end in "e": "HD" is "he-de"
    QChar last;
    for (QChar c : spoken)
        if (isVowel(c)) last = c;
    const bool endsInVowel = !spoken.isEmpty() && isVowel(spoken.back());
    QString ending = frontUnrounded.contains(last) ? QStringLiteral("i")
                     : backRounded.contains(last)  ? QStringLiteral("u")
                     : frontRounded.contains(last) ? QStringLiteral("ü")
                                                   : QStringLiteral("ı");
    return trimmed + u'\'' + (endsInVowel ? QStringLiteral("y") : QString()) + ending;
}

}  // namespace tidewell
