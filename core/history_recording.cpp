#include "history_recording.h"

#include "history_roots.h"
#include "journal_history.h"
#include "journal_writer.h"
#include "paths.h"

namespace tidewell {

namespace {

bool recordedByService(const std::string& dir, const std::string& root) {
    for (const history::ActiveRoot& r : history::activeRoots(dir))
        if (isAtOrBelow(root, r.path)) return true;
    return false;
}

}  // namespace

bool HistoryRecording::ensureRecorded(const std::string& root) {
    if (own_) {
        own_->recordRoot(root, false);
        return true;
    }
    if (journal::writerIsRunning(dir_)) {
        // The service reads the roots file before it answers the sync, so
        // the root is recorded once the sync returns.
        service_ = true;
        if (recordedByService(dir_, root)) return true;
        if (!history::addListedRoot(dir_, root)) return false;
        JournalHistory(dir_).sync(std::chrono::seconds(30));
        if (recordedByService(dir_, root)) return true;
    }
    service_ = false;
    own_ = ChangeRecorder::start(dir_);
    if (!own_) return false;
    own_->recordRoot(root, false);
    return true;
}

}  // namespace tidewell
