#include "change_tracker.h"

#include <memory>

#include "journal_history.h"

namespace tidewell::ChangeTracker {

Answer ask(HistorySource& source, const std::string& root, std::uint64_t since,
           std::int64_t maxEvents, double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    ChangeSet set;
    std::int64_t count = 0;
    std::optional<std::string> failure;
    bool done = false;
    source.replay(root, since, deadline, [&](HistoryEvent e) {
        if ((e.flags & history::kHistoryDone) != 0) {
            done = true;
            return false;
        }
        ++count;
        if ((e.flags & history::kUnreliableMask) != 0) {
            failure = e.reason.empty() ? "history unreliable" : std::move(e.reason);
            return false;
        }
        if (count > maxEvents) {
            failure = "more than " + std::to_string(maxEvents) + " events";
            return false;
        }
        if ((e.flags & history::kMustScanSubdirs) != 0)
            set.subtreeDirs.push_back(std::move(e.path));
        else
            set.changedDirs.push_back(std::move(e.path));
        return true;
    });
    if (failure) return {std::nullopt, std::move(*failure)};
    if (!done) return {std::nullopt, "no answer within " + std::to_string(timeoutSeconds) + " s"};
    return {std::move(set), {}};
}

std::optional<ChangeSet> changes(const std::string& root, std::uint64_t since,
                                 std::int64_t maxEvents, double timeoutSeconds) {
    std::unique_ptr<JournalHistory> history = defaultJournalHistory();
    if (!history) return std::nullopt;
    return ask(*history, root, since, maxEvents, timeoutSeconds).changes;
}

std::uint64_t currentEventId() {
    std::unique_ptr<JournalHistory> history = defaultJournalHistory();
    return history ? history->currentEventId() : 0;
}

}  // namespace tidewell::ChangeTracker
