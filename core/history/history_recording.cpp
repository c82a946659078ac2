#include "history_recording.h"

#include "history_roots.h"
#include "journal_history.h"
#include "journal_writer.h"
#include "user_dirs.h"

namespace tidewell {

namespace {

// A root recorded anew may need its whole tree watched first.
constexpr std::chrono::seconds kServiceSyncTimeout{30};
constexpr std::chrono::seconds kOwnSyncTimeout{10};

}  // namespace

std::optional<std::uint64_t> HistoryRecording::identifierFor(const std::string& root) {
    std::shared_ptr<ChangeRecorder> own;
    {
        std::lock_guard lock(mutex_);
        // It stopped, or its folder went: a new one starts below.
        if (own_ && (!own_->running() || !own_->journalIsAt(dir_))) own_.reset();
        own = own_;
    }
    JournalHistory journal(dir_);
    if (!own && journal::writerIsRunning(dir_)) {
        // The service records the root before it answers; the roots file
        // keeps it recorded after the service restarts.
        history::addListedRoot(dir_, root);
        const JournalHistory::Synced synced = journal.sync(kServiceSyncTimeout, root);
        if (synced.id && history::coveringRoot(dir_, root, *synced.id)) {
            std::lock_guard lock(mutex_);
            service_ = true;
            return synced.id;
        }
        // The service holds the journal but cannot record this root.
        if (journal::writerIsRunning(dir_)) return std::nullopt;
    }
    {
        std::lock_guard lock(mutex_);
        if (!own_) {
            // The folder may have been removed with the journal in it.
            makeDirectories(dir_, 0700);
            own_ = ChangeRecorder::start(dir_);
            service_ = false;
        }
        own = own_;
    }
    if (!own || !own->recordRoot(root, false)) return std::nullopt;
    return journal.sync(kOwnSyncTimeout).id;
}

std::shared_ptr<ScanObserver> HistoryRecording::scanObserver() const {
    std::lock_guard lock(mutex_);
    return own_;
}

bool HistoryRecording::usesService() const {
    std::lock_guard lock(mutex_);
    return !own_ && service_;
}

}  // namespace tidewell
