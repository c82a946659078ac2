#include "scan_command.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "display_text.h"
#include "interrupt.h"
#include "paths.h"
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
};

std::optional<ScanOptions> parse(std::span<const std::string_view> args) {
    ScanOptions o;
    bool havePath = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--json")
            o.json = true;
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
    return o;
}

// One line on standard error, rewritten in place while the scan runs.
class ProgressLine {
  public:
    void show(const ScanProgress& p) {
        std::lock_guard lock(mutex_);
        std::string path = repairUtf8(p.currentPath);
        constexpr std::size_t kMaxPath = 60;
        if (path.size() > kMaxPath) path = "…" + path.substr(path.size() - kMaxPath);
        std::cerr << "\r\033[K" << formatCount(p.fileCount) << " öğe · " << formatBytes(p.byteCount)
                  << " · " << path << std::flush;
        shown_ = true;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        if (shown_) std::cerr << "\r\033[K" << std::flush;
        shown_ = false;
    }

  private:
    std::mutex mutex_;
    bool shown_ = false;
};

}  // namespace

int execSiblingProgram(std::string_view name, std::span<const std::string_view> lead,
                       std::span<const std::string_view> args) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string program = (self.parent_path() / std::string(name)).string();
    std::vector<std::string> owned{program};
    owned.insert(owned.end(), lead.begin(), lead.end());
    for (const std::string_view a : args)
        if (a != "--cached") owned.emplace_back(a);
    std::vector<char*> argv;
    for (std::string& a : owned) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    std::cerr << "tidewell-cli: " << program << " çalıştırılamadı: " << std::strerror(errno)
              << '\n';
    return 1;
}

// Cached runs (scan, top, smart) use the application model, in a program of
// its own next to this one, so that a plain run never loads Qt.
int execCachedProgram(std::span<const std::string_view> lead,
                      std::span<const std::string_view> args) {
    return execSiblingProgram("tidewell-cli-cached", lead, args);
}

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

std::string scanFailedMessage(const ScanRoot& root, const FreshScan& scan) {
    if (!scan.failure.empty())
        return "tidewell-cli: " + repairUtf8(root.path) + " taranamadı: " + scan.failure + "\n";
    return "tidewell-cli: " + repairUtf8(root.path) + " incelenemiyor\n";
}

int runScanCommand(std::span<const std::string_view> args) {
    for (const std::string_view a : args)
        if (a == "--cached") return execCachedProgram({}, args);
    const std::optional<ScanOptions> opts = parse(args);
    if (!opts) {
        std::cerr << kUsage;
        return 2;
    }
    const std::optional<ScanRoot> root = scanRootOf(opts->path);
    if (!root) return 1;

    const SkipPaths skips = opts->wholeDisk ? wholeDiskSkipPaths() : SkipPaths{};
    const FreshScan scan = scanWithProgress(*root, skips);
    if (scan.cancelled) {
        std::cerr << "tidewell-cli: tarama iptal edildi\n";
        return 130;
    }
    if (!scan.root) {
        std::cerr << scanFailedMessage(*root, scan);
        return 1;
    }
    const NodeRef& tree = scan.root;
    const auto elapsed = scan.elapsed;

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    const auto counts = countSubtrees(tree.get(), opts->depth);
    if (opts->json) {
        printJson(std::cout, tree.get(), opts->depth, counts, ms, scan.unreadableDirs);
        return 0;
    }
    const SubtreeCounts total = tree->isDirectory() ? counts.at(tree.get()) : SubtreeCounts{1, 0};
    const std::int64_t finalFiles = total.files;
    const std::int64_t dirs = total.directories;
    std::cout << repairUtf8(tree->path()) << '\n'
              << "Toplam " << formatBytes(tree->size()) << " · " << formatCount(finalFiles + dirs)
              << " öğe (" << formatCount(finalFiles) << " dosya, " << formatCount(dirs)
              << " klasör) · " << formatSeconds(std::chrono::duration<double>(elapsed).count())
              << '\n'
              << unreadableLine(scan.unreadableDirs);
    if (opts->depth > 0) {
        std::cout << '\n';
        printTree(std::cout, tree.get(), opts->depth);
    }
    return 0;
}

}  // namespace tidewell::cli
