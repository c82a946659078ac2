#include "cached_scan.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "display_text.h"
#include "interrupt.h"
#include "progress_line.h"
#include "scan_command.h"
#include "scan_session.h"
#include "skip_paths.h"
#include "text_output.h"
#include "tree_cache.h"

namespace tidewell::cli {

namespace {

// Shows the session's steps and the engine's records on the progress line.
class LineObserver : public ScanSessionObserver {
  public:
    explicit LineObserver(ProgressLine* line) : line_(line) {}
    void stageStarted(const ScanStage& stage) override {
        if (line_ == nullptr) return;
        if (const std::optional<ScanProgress> record = statusRecord(stage)) line_->show(*record);
    }
    void progressed(const ScanProgress& record) override {
        if (line_ != nullptr) line_->show(record);
    }

  private:
    ProgressLine* line_;  // null when standard error is no terminal
};

// Writes the session's tree on a thread of its own while the output is printed.
class BackgroundSave {
  public:
    BackgroundSave() = default;
    BackgroundSave(const BackgroundSave&) = delete;
    BackgroundSave& operator=(const BackgroundSave&) = delete;
    ~BackgroundSave() { wait(); }

    CacheWriter writer() {
        return [this](NodeRef root, const std::string& rootPath, std::uint64_t eventId) {
            wait();
            thread_ = std::jthread([root = std::move(root), rootPath, eventId] {
                // Nothing escapes the thread: a save that fails leaves the old
                // file or none, and the next run scans in full.
                try {
                    TreeCache::save(*root, rootPath, eventId);
                } catch (...) {
                }
            });
        };
    }
    void wait() {
        if (thread_.joinable()) thread_.join();
    }

  private:
    std::jthread thread_;
};

}  // namespace

int runCachedScan(std::string_view given, const TreePrinter& print) {
    const std::optional<ScanRoot> root = scanRootOf(given);
    if (!root) return 1;

    ProgressLine line;
    LineObserver observer(::isatty(STDERR_FILENO) != 0 ? &line : nullptr);
    BackgroundSave save;
    // As in the application: the whole disk leaves out what is not the disk's own.
    ScanSession session(
        defaultScanServices(),
        {root->path, root->name, root->path == "/" ? wholeDiskSkipPaths() : SkipPaths{}},
        save.writer());
    std::stop_source stop;
    ScanOutcome out;
    const auto started = std::chrono::steady_clock::now();
    {
        InterruptWatch watch(stop);
        out = session.run(observer, stop.get_token());
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    line.clear();
    if (stop.stop_requested()) {
        std::cerr << "tidewell-cli: tarama iptal edildi\n";
        return 130;
    }
    if (!out.root) {
        std::cerr << scanFailedMessage(*root, out.failure);
        return 1;
    }
    if (out.refreshed)
        std::cout << "Önbellekten güncellendi: " << out.directoriesReread
                  << " klasör yeniden okundu · ";
    else
        std::cout << "Tam tarama (" << fullScanReasonText(out) << ") · ";
    std::cout << formatSeconds(elapsed.count()) << '\n';
    print(*out.root, out.unreadableDirs);
    save.wait();
    return 0;
}

}  // namespace tidewell::cli
