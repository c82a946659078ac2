#include "sheet_support.h"

#include <QVariantMap>
#include <utility>

#include "app_model.h"
#include "size_format.h"
#include "text_format.h"

namespace tidewell {

SheetSupport::SheetSupport(QObject* parent) : QObject(parent), locale_(interfaceLocaleName()) {}

QString SheetSupport::basketSummary(double count, double bytes) const {
    return QStringLiteral("Sepet: ") + countAndSize(count, bytes);
}

QString SheetSupport::countAndSize(double count, double bytes) const {
    return tidewell::countAndSize(static_cast<qint64>(count), static_cast<qint64>(bytes), locale_);
}

QString SheetSupport::categoryLine(double count, const QString& subtitle) const {
    return formatCount(static_cast<qint64>(count), locale_) + QStringLiteral(" öğe · ") + subtitle;
}

QString SheetSupport::hiddenLine(double hidden) const {
    return QStringLiteral("+ ") + formatCount(static_cast<qint64>(hidden), locale_) +
           QStringLiteral(" öğe daha (en büyükler gösteriliyor)");
}

QString SheetSupport::selectionSummary(double count, double bytes) const {
    return formatCount(static_cast<qint64>(count), locale_) + QStringLiteral(" öğe seçili · ") +
           QString::fromStdString(formatBytes(static_cast<std::int64_t>(bytes)));
}

QString SheetSupport::age(const QVariant& date, const QDateTime& now) const {
    if (!date.isValid() || date.isNull()) return {};
    return relativeDate(date.toDateTime(), now, locale_, RelativeStyle::shortStyle);
}

QVariantList SheetSupport::filterChips() const {
    using F = AppModel::DownloadsFilter;
    const std::pair<const char*, F> chips[] = {
        {"Tümü", F::all},     {"30 gün+", F::days30}, {"90 gün+", F::days90},
        {"1 yıl+", F::year1}, {"3 yıl+", F::years3},  {"100 MB+", F::big},
    };
    QVariantList out;
    for (const auto& [title, filter] : chips)
        out.push_back(QVariantMap{{QStringLiteral("title"), QString::fromUtf8(title)},
                                  {QStringLiteral("filter"), static_cast<int>(filter)}});
    return out;
}

}  // namespace tidewell
