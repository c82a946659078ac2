#include "scan_command.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "cached_scan.h"
#include "display_text.h"
#include "interrupt.h"
#include "paths.h"
#include "progress_line.h"
#include "scan_engine.h"
#include "size_format.h"
#include "skip_paths.h"
#include "text_output.h"
#include "tree_summary.h"

namespace tidewell::cli {

namespace {

constexpr std::string_view kUsage =
    "Kullanım: tidewell-cli scan YOL [--depth N] [--json] [--whole-disk]\n"
    "          tidewell-cli scan --cached YOL [--depth N]\n"
    "  --depth N      ağacı N düzey derinliğe kadar, büyükten küçüğe yazar\n"
    "  --json         sonucu tek bir JSON nesnesi olarak yazar\n"
    "  --whole-disk   tüm disk taramasında atlanan yolları atlar\n"
    "  --cached       önbelleği ve değişiklik geçmişini kullanır, önbelleği güncel bırakır\n";

struct ScanOptions {
    std::string path;
    int depth = 0;
    bool json = false;
    bool wholeDisk = false;
    bool cached = false;
};

std::optional<ScanOptions> parse(std::span<const std::string_view> args) {
    ScanOptions o;
    bool havePath = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--json")
            o.json = true;
        else if (a == "--cached")
            o.cached = true;
        else if (a == "--whole-disk")
            o.wholeDisk = true;
        else if (a == "--depth") {
            if (++i == args.size()) return std::nullopt;
            const std::optional<int> depth = parseNumber<int>(args[i]);
            if (!depth) return std::nullopt;
            o.depth = *depth;
        } else if (!a.starts_with("--") && !havePath) {
            o.path = std::string(a);
            havePath = true;
        } else {
            return std::nullopt;
        }
    }
    if (!havePath) return std::nullopt;
    // A cached run prints its summary as text and picks the skipped paths itself.
    if (o.cached && (o.json || o.wholeDisk)) return std::nullopt;
    return o;
}

}  // namespace

std::optional<ScanRoot> scanRootOf(std::string_view given) {
    std::optional<std::string> real = realScanRoot(given);
    if (!real) {
        std::cerr << "tidewell-cli: " << repairUtf8(absolutePath(given))
                  << " incelenemiyor: " << std::strerror(errno) << '\n';
        return std::nullopt;
    }
    return ScanRoot{std::move(*real), locationName(given)};
}

FreshScan scanWithProgress(const ScanRoot& root, const SkipPaths& skips) {
    ProgressLine line;
    const bool live = ::isatty(STDERR_FILENO) != 0;
    ProgressSink sink;
    if (live) sink = [&line](const ScanProgress& p) { line.show(p); };

    std::stop_source stop;
    FreshScan out;
    ScanReport report;
    const auto started = std::chrono::steady_clock::now();
    {
        InterruptWatch watch(stop);
        ScanEngine engine;
        out.root =
            engine.scan(root.path, root.name, skips, sink, stop.get_token(), nullptr, &report);
    }
    out.elapsed = std::chrono::steady_clock::now() - started;
    out.unreadableDirs = report.unreadableDirs;
    out.failure = report.failure;
    line.clear();
    out.cancelled = stop.stop_requested();
    if (out.cancelled) out.root = NodeRef();
    return out;
}

std::string scanFailedMessage(const ScanRoot& root, std::string_view failure) {
    if (!failure.empty())
        return "tidewell-cli: " + repairUtf8(root.path) + " taranamadı: " + std::string(failure) +
               "\n";
    return "tidewell-cli: " + repairUtf8(root.path) + " incelenemiyor\n";
}

int unfinishedScanStatus(const ScanRoot& root, const FreshScan& scan) {
    if (scan.cancelled) {
        std::cerr << "tidewell-cli: tarama iptal edildi\n";
        return 130;
    }
    if (!scan.root) {
        std::cerr << scanFailedMessage(root, scan.failure);
        return 1;
    }
    return 0;
}

namespace {

// The summary of a tree: its path, total size and counts, and the tree
// itself `depth` levels deep. `elapsed` ends the totals' line when given.
void printSummary(const FileNode* tree, int depth, std::optional<double> elapsed,
                  std::int64_t unreadableDirs) {
    const auto counts = countSubtrees(tree, depth);
    const SubtreeCounts total = tree->isDirectory() ? counts.at(tree) : SubtreeCounts{1, 0};
    std::cout << repairUtf8(tree->path()) << '\n'
              << "Toplam " << formatBytes(tree->size()) << " · "
              << formatCount(total.files + total.directories) << " öğe ("
              << formatCount(total.files) << " dosya, " << formatCount(total.directories)
              << " klasör)";
    if (elapsed) std::cout << " · " << formatSeconds(*elapsed);
    std::cout << '\n' << unreadableLine(unreadableDirs);
    if (depth > 0) {
        std::cout << '\n';
        printTree(std::cout, tree, depth);
    }
}

}  // namespace

int runScanCommand(std::span<const std::string_view> args) {
    const std::optional<ScanOptions> opts = parse(args);
    if (!opts) {
        std::cerr << kUsage;
        return 2;
    }
    if (opts->cached)
        return runCachedScan(opts->path, [&](const FileNode& root, std::int64_t unreadable) {
            printSummary(&root, opts->depth, std::nullopt, unreadable);
        });
    const std::optional<ScanRoot> root = scanRootOf(opts->path);
    if (!root) return 1;

    const SkipPaths skips = opts->wholeDisk ? wholeDiskSkipPaths() : SkipPaths{};
    const FreshScan scan = scanWithProgress(*root, skips);
    if (const int status = unfinishedScanStatus(*root, scan)) return status;
    const NodeRef& tree = scan.root;
    const auto elapsed = scan.elapsed;

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    if (opts->json) {
        printJson(std::cout, tree.get(), opts->depth, countSubtrees(tree.get(), opts->depth), ms,
                  scan.unreadableDirs);
        return 0;
    }
    printSummary(tree.get(), opts->depth, std::chrono::duration<double>(elapsed).count(),
                 scan.unreadableDirs);
    return 0;
}

}  // namespace tidewell::cli
