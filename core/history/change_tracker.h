// Which directories under a root changed since a history identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "change_set.h"
#include "history_source.h"

namespace tidewell::ChangeTracker {

// The change set, or nothing when the history cannot be trusted (then
// `reason` says why): the first of history-done, too many events, an
// unreliable mark or the deadline decides. Read on the caller's thread.
struct Answer {
    std::optional<ChangeSet> changes;
    std::string reason;
};
Answer ask(HistorySource& source, const std::string& root, std::uint64_t since,
           std::int64_t maxEvents, double timeoutSeconds);

// The same from the user's change journal.
std::optional<ChangeSet> changes(const std::string& root, std::uint64_t since,
                                 std::int64_t maxEvents = 60000, double timeoutSeconds = 15.0);

// The newest identifier of the user's change journal (0 without one).
std::uint64_t currentEventId();

}  // namespace tidewell::ChangeTracker
