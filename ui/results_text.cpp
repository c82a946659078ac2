#include "results_text.h"

#include <algorithm>

#include "size_format.h"

namespace tidewell {

namespace {

QString sizeText(std::int64_t bytes, std::string_view separator) {
    return QString::fromStdString(formatBytes(bytes, separator));
}

}  // namespace

std::vector<int> breadcrumbEntries(int length) {
    std::vector<int> out;
    if (length <= 0) return out;
    if (length < 7) {
        for (int i = 0; i < length; ++i) out.push_back(i);
        return out;
    }
    out = {0, kBreadcrumbGap};
    for (int i = length - 4; i < length; ++i) out.push_back(i);
    return out;
}

std::vector<int> backChipEntries(int length) {
    std::vector<int> out;
    for (int i = length - 2; i >= 0 && i >= length - 3; --i) out.push_back(i);
    return out;
}

QString backToFolderTooltip(const QString& name) {
    return QStringLiteral("“") + name + QStringLiteral("” klasörüne geri dön");
}

QString diskUsageLine(std::int64_t scannedBytes, std::optional<std::int64_t> volumeFree,
                      std::string_view decimalSeparator) {
    if (volumeFree) return sizeText(*volumeFree, decimalSeparator) + QStringLiteral(" boş");
    return sizeText(scannedBytes, decimalSeparator) + QStringLiteral(" tarandı");
}

QString freedLine(std::int64_t freed, std::string_view decimalSeparator) {
    if (freed <= 0) return {};
    return QStringLiteral("temizlendi: ") + sizeText(freed, decimalSeparator);
}

std::optional<double> usageFraction(std::optional<std::int64_t> total,
                                    std::optional<std::int64_t> free) {
    if (!total || !free || *total <= 0) return std::nullopt;
    const double used = static_cast<double>(*total - *free) / static_cast<double>(*total);
    return std::clamp(used, 0.0, 1.0);
}

QString deleteConfirmTitle(std::int64_t count, std::int64_t totalBytes,
                           std::string_view decimalSeparator) {
    return QString::number(count) + QStringLiteral(" öğe (") +
           sizeText(totalBytes, decimalSeparator) + QStringLiteral(") nasıl silinsin?");
}

}  // namespace tidewell
