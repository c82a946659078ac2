#include "report_command.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cached_scan.h"
#include "display_text.h"
#include "report_output.h"
#include "scan_command.h"
#include "tree_summary.h"

namespace tidewell::cli {

namespace {

constexpr std::string_view kTopUsage =
    "Kullanım: tidewell-cli top YOL [-n N]\n"
    "          tidewell-cli top --cached YOL [-n N]\n"
    "  -n N       en büyük N dosyayı yazar (varsayılan 100)\n"
    "  --cached   önbelleği ve değişiklik geçmişini kullanır, önbelleği güncel bırakır\n";

constexpr std::string_view kSmartUsage =
    "Kullanım: tidewell-cli smart YOL\n"
    "          tidewell-cli smart --cached YOL\n"
    "  --cached   önbelleği ve değişiklik geçmişini kullanır, önbelleği güncel bırakır\n";

struct ReportOptions {
    std::string path;
    std::size_t limit = kDefaultTopFiles;
    bool cached = false;
};

std::optional<ReportOptions> parse(std::span<const std::string_view> args, ReportKind kind) {
    ReportOptions o;
    bool havePath = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--cached") {
            o.cached = true;
        } else if (a == "-n" && kind == ReportKind::topFiles) {
            if (++i == args.size()) return std::nullopt;
            const std::optional<std::size_t> n = parseFileLimit(args[i]);
            if (!n) return std::nullopt;
            o.limit = *n;
        } else if (!a.starts_with("-") && !havePath) {
            o.path = std::string(a);
            havePath = true;
        } else {
            return std::nullopt;
        }
    }
    if (!havePath) return std::nullopt;
    return o;
}

int runReport(std::span<const std::string_view> args, ReportKind kind, std::string_view usage) {
    const std::optional<ReportOptions> opts = parse(args, kind);
    if (!opts) {
        std::cerr << usage;
        return 2;
    }
    if (opts->cached)
        return runCachedScan(opts->path, [&](const FileNode& root, std::int64_t unreadable) {
            printReport(std::cout, root, kind, opts->limit);
            std::cerr << unreadableLine(unreadable);
        });
    const std::optional<ScanRoot> root = scanRootOf(opts->path);
    if (!root) return 1;
    const FreshScan scan = scanWithProgress(*root, {});
    if (const int status = unfinishedScanStatus(*root, scan)) return status;
    printReport(std::cout, *scan.root, kind, opts->limit);
    // The report is whole only for what could be read.
    std::cerr << unreadableLine(scan.unreadableDirs);
    return 0;
}

}  // namespace

int runTopCommand(std::span<const std::string_view> args) {
    return runReport(args, ReportKind::topFiles, kTopUsage);
}

int runSmartCommand(std::span<const std::string_view> args) {
    return runReport(args, ReportKind::smartCleanup, kSmartUsage);
}

}  // namespace tidewell::cli
