// One scan of a location as the application and `tidewell-cli --cached` run
// it: the cached tree, the change history asked what changed since it, the
// changed folders read again in place, a full scan when any of that cannot be
// trusted, and the tree handed back to the cache with the identifier it is up
// to date with.
//
// Blocking: run it on a thread of its own. It reports its steps as values to
// an observer; the callers turn them into their own texts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "file_node.h"
#include "scan_engine.h"
#include "scan_progress.h"

namespace tidewell {

class HistoryRecording;
class HistorySource;

// A step of a session.
struct ScanStage {
    enum class Step {
        loadingCache,   // the cached tree is read
        askingHistory,  // a cached tree was found: the change history is asked
        refreshing,     // the history answered: `folders` folders are read again
        scanning,       // the whole location is read
        saving,         // the tree goes to the cache
    };
    Step step = Step::loadingCache;
    std::int64_t folders = 0;  // for refreshing: how many different folders changed
    bool operator==(const ScanStage&) const = default;
};

class ScanSessionObserver {
  public:
    virtual ~ScanSessionObserver() = default;
    // A step begins; on the session's thread, in order.
    virtual void stageStarted(const ScanStage& stage) = 0;
    // The engine's records while it reads (a refresh or a full scan); from
    // any walker thread, possibly from several at once.
    virtual void progressed(const ScanProgress& record) = 0;
};

// Why a session read the whole location.
enum class FullScanCause {
    none,                // it did not: the cached tree was refreshed
    noCache,             // no usable cached tree (missing, damaged, another root's)
    historyUnavailable,  // the location cannot be recorded: no identifier to ask from
    historyUnreliable,   // the history cannot say what changed (see `historyReason`)
    refreshRefused,      // the changes could not be applied in place
};

struct ScanOutcome {
    // Null when the location cannot be examined or the session was cancelled.
    NodeRef root;
    bool cancelled = false;
    bool refreshed = false;              // brought up to date from the cache
    std::int64_t directoriesReread = 0;  // folders a refresh read again, each once
    FullScanCause fullScanCause = FullScanCause::none;
    std::string historyReason;  // for historyUnreliable: what the history said
    // Folders the session could not read (shown as empty); after a refresh,
    // those among the folders it read again.
    std::int64_t unreadableDirs = 0;
    // The history identifier the tree is known to be up to date with; the
    // tree was handed to the cache exactly when there is one.
    std::optional<std::uint64_t> eventId;
    // Why there is no tree although the session was not cancelled and the
    // location could be examined (memory ran out, say); empty otherwise.
    std::string failure;
};

// What a session works with. Shared: the session may run on any thread.
struct ScanServices {
    std::shared_ptr<ScanEngine> engine;
    // Keeps the location recorded and gives the identifier a tree is stored
    // with; without it no tree is cached (nothing could bring it up to date).
    std::shared_ptr<HistoryRecording> recording;
    // The change history that is asked; without it every cached tree is scanned again.
    std::shared_ptr<HistorySource> history;
};

// A new engine and the user's change journal (none without a history folder).
ScanServices defaultScanServices();

// Writes a finished tree to the cache (where and when is the caller's
// choice: the default writes it at once on the session's thread).
using CacheWriter =
    std::function<void(NodeRef root, const std::string& rootPath, std::uint64_t eventId)>;
void writeCacheNow(NodeRef root, const std::string& rootPath, std::uint64_t eventId);

class ScanSession {
  public:
    // The history is asked for at most this many events, for at most this long.
    static constexpr std::int64_t kMaxHistoryEvents = 60000;
    static constexpr double kHistoryTimeoutSeconds = 15.0;

    struct Request {
        std::string rootPath;  // real and absolute: the cache and the history are keyed by it
        std::optional<std::string> displayName;  // the root's name after a full scan
        SkipPaths skipPaths;
    };

    ScanSession(ScanServices services, Request request, CacheWriter writer = writeCacheNow);

    // Runs the whole session. Cancelled through `stop` at any step, it ends
    // with no tree and hands nothing to the cache afterwards. Never throws.
    ScanOutcome run(ScanSessionObserver& observer, std::stop_token stop);

  private:
    ScanOutcome runSteps(ScanSessionObserver& observer, const std::stop_token& stop);
    std::optional<std::uint64_t> takeIdentifier() const;
    // After a tree is final: the identifier kept and the tree handed to the cache.
    void finish(ScanOutcome& out, ScanSessionObserver& observer, const std::stop_token& stop,
                std::optional<std::uint64_t> id);

    ScanServices services_;
    Request request_;
    CacheWriter writer_;
};

// The application's status text for a step, as a progress record with no
// counts; nothing for the steps that have none (scanning shows the engine's
// own records, saving runs behind the results).
std::optional<ScanProgress> statusRecord(const ScanStage& stage);

// Why a full scan ran, in the words `tidewell-cli` and the model report it.
std::string fullScanReasonText(const ScanOutcome& outcome);

}  // namespace tidewell
