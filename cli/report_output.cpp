#include "report_output.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "display_text.h"
#include "size_format.h"
#include "smart_cleanup.h"
#include "text_output.h"
#include "top_files.h"
#include "trasher.h"

namespace tidewell::cli {

namespace {

// Columns a size takes on a terminal: the decimal separator may be more than one byte.
std::size_t columns(std::string_view utf8) {
    return static_cast<std::size_t>(std::ranges::count_if(
        utf8, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Sizes right-aligned in a column as wide as the widest of them.
void printSizedPaths(std::ostream& out, std::span<const CleanupItem> items,
                     std::string_view indent) {
    std::vector<std::string> sizes;
    sizes.reserve(items.size());
    std::size_t width = 0;
    for (const CleanupItem& item : items) {
        sizes.push_back(formatBytes(item.node->size()));
        width = std::max(width, columns(sizes.back()));
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        out << indent << std::string(width - columns(sizes[i]), ' ') << sizes[i] << "  "
            << repairUtf8(items[i].path) << '\n';
}

}  // namespace

std::optional<std::size_t> parseFileLimit(std::string_view text) {
    const std::optional<std::size_t> n = parseNumber<std::size_t>(text);
    if (!n || *n == 0) return std::nullopt;
    return n;
}

void printTopFiles(std::ostream& out, std::span<const CleanupItem> files) {
    if (files.empty()) {
        out << "Hiç dosya yok.\n";
        return;
    }
    printSizedPaths(out, files, "");
}

void printSmartCleanup(std::ostream& out, std::span<const CleanupCategoryResult> categories) {
    if (categories.empty()) {
        out << "Bilinen, yeniden oluşturulabilir bir yük bulunamadı.\n";
        return;
    }
    bool first = true;
    for (const CleanupCategoryResult& c : categories) {
        if (!first) out << '\n';
        first = false;
        out << c.title << " · " << formatBytes(c.totalSize) << " · " << formatCount(c.totalCount)
            << " öğe\n";
        const std::size_t shown = std::min(c.items.size(), kSmartItemsShown);
        printSizedPaths(out, std::span(c.items).first(shown), "    ");
        const std::int64_t rest = c.totalCount - static_cast<std::int64_t>(shown);
        if (rest > 0) out << "    … ve " << formatCount(rest) << " öğe daha\n";
    }
}

void printReport(std::ostream& out, const FileNode& root, ReportKind kind, std::size_t limit) {
    if (kind == ReportKind::topFiles) {
        printTopFiles(out, computeTopFiles(root, limit));
        return;
    }
    printSmartCleanup(out, SmartCleanup::analyze(root, [](std::string_view path) {
                          return Trasher::canDelete(path);
                      }));
}

}  // namespace tidewell::cli
