// The results screen's texts and small layout rules, free of QML so they can
// be checked on their own: the breadcrumb's gap, the back button, the disk
// usage lines and the delete confirmation's title.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tidewell {

// Which entries of a path of `length` the breadcrumb shows, by index into the
// path; kBreadcrumbGap marks the "…" between the root and the last four once
// the path has seven entries or more.
inline constexpr int kBreadcrumbGap = -1;
std::vector<int> breadcrumbEntries(int length);

// Indexes of the quick-back chips: the parent of the focused folder, then its
// grandparent; none at the root.
std::vector<int> backChipEntries(int length);

// "“name” klasörüne geri dön", the tooltip of every way back to a folder.
QString backToFolderTooltip(const QString& name);

// The first disk line: free space when the volume's is known, else the
// scanned size.
QString diskUsageLine(std::int64_t scannedBytes, std::optional<std::int64_t> volumeFree,
                      std::string_view decimalSeparator);

// The freed line, empty while nothing was freed.
QString freedLine(std::int64_t freed, std::string_view decimalSeparator);

// The used share of the volume, 0..1, or nothing when it is not known (no
// total, a total of 0, or no free space).
std::optional<double> usageFraction(std::optional<std::int64_t> total,
                                    std::optional<std::int64_t> free);

// "2 öğe (1,5 MB) nasıl silinsin?"
QString deleteConfirmTitle(std::int64_t count, std::int64_t totalBytes,
                           std::string_view decimalSeparator);

}  // namespace tidewell
