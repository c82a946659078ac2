// The reports of `tidewell-cli top` and `tidewell-cli smart`, printed the same
// way after a fresh scan and after a cached one.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string_view>

#include "cleanup_item.h"
#include "file_node.h"

namespace tidewell::cli {

enum class ReportKind { topFiles, smartCleanup };

inline constexpr std::size_t kDefaultTopFiles = 100;
// Items shown under each smart cleanup category; the totals count them all.
inline constexpr std::size_t kSmartItemsShown = 10;

// The N of "-n N": a whole number of at least 1.
std::optional<std::size_t> parseFileLimit(std::string_view text);

// One line per file: its size right-aligned, then its path.
void printTopFiles(std::ostream& out, std::span<const CleanupItem> files);
// Per category its title, total and count, then its largest items indented.
void printSmartCleanup(std::ostream& out, std::span<const CleanupCategoryResult> categories);

// Analyses a finished tree and prints the result; `limit` is for top files.
void printReport(std::ostream& out, const FileNode& root, ReportKind kind, std::size_t limit);

}  // namespace tidewell::cli
