// The change journal as a history source: asks the running recorder to write
// out everything it has seen, then replays the journal up to that point.
//
// A replay is a gap (user-dropped) when the root is not a folder, no recorder
// answers, the identifier belongs to another journal or lies beyond its
// newest record, the root is not recorded since the identifier (or is no
// longer the directory it was), or the records in between are incomplete.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "history_source.h"

namespace tidewell {

class JournalHistory : public HistorySource {
  public:
    struct Options {
        // Pause before reading the records: lets tests see a slow history.
        std::chrono::milliseconds delay{0};
        std::chrono::milliseconds syncTimeout{10000};
    };
    explicit JournalHistory(std::string dir) : JournalHistory(std::move(dir), Options{}) {}
    JournalHistory(std::string dir, Options options);

    void replay(const std::string& root, std::uint64_t since,
                std::chrono::steady_clock::time_point deadline, const HistorySink& sink) override;
    // The newest identifier in the journal (0 when there is none).
    std::uint64_t currentEventId() override;

    struct Synced {
        std::optional<std::uint64_t> id;  // the recorder's sync record
        std::string failure;              // why there is none
    };
    // Asks the recorder to record `root` (when given) and to write out what
    // it holds, and waits for its answer: the identifier of its sync record.
    Synced sync(std::chrono::milliseconds timeout, const std::string& root = {}) const;

  private:
    std::string dir_;
    Options options_;
};

// The default journal's source, or nothing without a history folder.
std::unique_ptr<JournalHistory> defaultJournalHistory();

}  // namespace tidewell
