#include "scan_session.h"

#include <exception>
#include <new>
#include <utility>

#include "change_tracker.h"
#include "history_recording.h"
#include "journal.h"
#include "journal_history.h"
#include "tree_cache.h"

namespace tidewell {

namespace {

// Passes the engine's records on to the observer.
ProgressSink sinkFor(ScanSessionObserver& observer) {
    return [&observer](const ScanProgress& p) { observer.progressed(p); };
}

}  // namespace

ScanServices defaultScanServices() {
    ScanServices s;
    s.engine = std::make_shared<ScanEngine>();
    if (const std::optional<std::string> dir = journal::historyDirectory()) {
        s.recording = std::make_shared<HistoryRecording>(*dir);
        s.history = std::make_shared<JournalHistory>(*dir);
    }
    return s;
}

void writeCacheNow(NodeRef root, const std::string& rootPath, std::uint64_t eventId) {
    // A failed save leaves the old file or none; the next session scans in full.
    TreeCache::save(*root, rootPath, eventId);
}

ScanSession::ScanSession(ScanServices services, Request request, CacheWriter writer)
    : services_(std::move(services)), request_(std::move(request)), writer_(std::move(writer)) {
    if (!services_.engine) services_.engine = std::make_shared<ScanEngine>();
    if (!writer_) writer_ = writeCacheNow;
}

ScanOutcome ScanSession::run(ScanSessionObserver& observer, std::stop_token stop) {
    // The session runs on a worker thread: nothing may escape it. A session
    // that failed this way has no tree and gave nothing to the cache.
    ScanOutcome failed;
    try {
        return runSteps(observer, stop);
    } catch (const std::bad_alloc&) {
        failed.failure = "bellek yetmedi";
    } catch (const std::exception& e) {
        failed.failure = e.what();
    } catch (...) {
        failed.failure = "bilinmeyen hata";
    }
    failed.cancelled = stop.stop_requested();
    return failed;
}

std::optional<std::uint64_t> ScanSession::takeIdentifier() const {
    // The recorder must watch the root before an identifier is taken, so that
    // every change after it is in the history: the identifier is its answer
    // to a sync, below which everything it had seen is in the journal.
    if (!services_.recording) return std::nullopt;
    return services_.recording->identifierFor(request_.rootPath);
}

ScanOutcome ScanSession::runSteps(ScanSessionObserver& observer, const std::stop_token& stop) {
    ScanOutcome out;
    auto cancelled = [&] {
        if (!stop.stop_requested()) return false;
        out = ScanOutcome{};
        out.cancelled = true;
        return true;
    };
    const std::string& path = request_.rootPath;
    const ProgressSink sink = sinkFor(observer);
    ScanEngine& engine = *services_.engine;

    observer.stageStarted({ScanStage::Step::loadingCache});
    std::optional<TreeCache::Loaded> cached = TreeCache::load(path);
    if (cancelled()) return out;

    if (!cached) {
        out.fullScanCause = FullScanCause::noCache;
    } else {
        observer.stageStarted({ScanStage::Step::askingHistory});
        const std::optional<std::uint64_t> queryId = takeIdentifier();
        if (cancelled()) return out;
        std::optional<ChangeSet> changes;
        if (!queryId || !services_.history) {
            out.fullScanCause = FullScanCause::historyUnavailable;
        } else {
            ChangeTracker::Answer answer =
                ChangeTracker::ask(*services_.history, path, cached->eventId, kMaxHistoryEvents,
                                   kHistoryTimeoutSeconds);
            if (cancelled()) return out;
            if (answer.changes) {
                changes = std::move(answer.changes);
            } else {
                out.fullScanCause = FullScanCause::historyUnreliable;
                out.historyReason = std::move(answer.reason);
            }
        }
        if (changes) {
            const auto folders = static_cast<std::int64_t>(distinctFolders(*changes));
            observer.stageStarted({ScanStage::Step::refreshing, folders});
            const std::shared_ptr<ScanObserver> watcher =
                services_.recording ? services_.recording->scanObserver() : nullptr;
            ScanReport read;
            NodeRef refreshed = engine.refresh(cached->root, path, *changes, request_.skipPaths,
                                               sink, stop, watcher.get(), &read);
            if (cancelled()) return out;
            if (refreshed) {
                out.root = std::move(refreshed);
                out.refreshed = true;
                out.directoriesReread = read.directoriesRead;
                // Only the folders read again are known; the others kept their contents.
                out.unreadableDirs = read.unreadableDirs;
                finish(out, observer, stop, queryId);
                return out;
            }
            out.fullScanCause = FullScanCause::refreshRefused;
        }
        // A tree the refresh gave up on may be half edited: it goes.
        cached.reset();
    }

    // The identifier is taken before the reading begins: a change made while
    // the tree is read is reported again by the next query.
    observer.stageStarted({ScanStage::Step::scanning});
    const std::optional<std::uint64_t> scanId = takeIdentifier();
    if (cancelled()) return out;
    const std::shared_ptr<ScanObserver> watcher =
        services_.recording ? services_.recording->scanObserver() : nullptr;
    ScanReport read;
    NodeRef root = engine.scan(path, request_.displayName, request_.skipPaths, sink, stop,
                               watcher.get(), &read);
    if (cancelled()) return out;
    if (!root) {  // the location cannot be examined, or the scan failed
        out.failure = read.failure;
        return out;
    }
    out.root = std::move(root);
    out.unreadableDirs = read.unreadableDirs;
    finish(out, observer, stop, scanId);
    return out;
}

void ScanSession::finish(ScanOutcome& out, ScanSessionObserver& observer,
                         const std::stop_token& stop, std::optional<std::uint64_t> id) {
    // Without an identifier the tree is not cached: nothing could bring it up to date later.
    if (!id) return;
    observer.stageStarted({ScanStage::Step::saving});
    if (stop.stop_requested()) {
        out = ScanOutcome{};
        out.cancelled = true;
        return;
    }
    out.eventId = id;
    writer_(out.root, request_.rootPath, *id);
}

std::optional<ScanProgress> statusRecord(const ScanStage& stage) {
    switch (stage.step) {
        case ScanStage::Step::loadingCache:
            return ScanProgress{0, 0, "önbellek denetleniyor…"};
        case ScanStage::Step::askingHistory:
            return ScanProgress{0, 0, "değişiklikler sorgulanıyor…"};
        case ScanStage::Step::refreshing:
            return ScanProgress{0, 0, std::to_string(stage.folders) + " klasör güncelleniyor…"};
        case ScanStage::Step::scanning:
        case ScanStage::Step::saving:
            return std::nullopt;
    }
    return std::nullopt;
}

std::string fullScanReasonText(const ScanOutcome& outcome) {
    switch (outcome.fullScanCause) {
        case FullScanCause::none:
            return {};
        case FullScanCause::noCache:
            return "önbellek yok";
        case FullScanCause::historyUnavailable:
            return "değişiklik geçmişi güvenilmez: değişiklik geçmişi kaydedilemiyor";
        case FullScanCause::historyUnreliable:
            return "değişiklik geçmişi güvenilmez: " + outcome.historyReason;
        case FullScanCause::refreshRefused:
            return "değişiklikler yerinde uygulanamadı";
    }
    return {};
}

}  // namespace tidewell
