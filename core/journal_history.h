// The change journal as a history source: asks the running recorder to write
// out everything it has seen, then replays the journal up to that point.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "history_source.h"

namespace tidewell {

class JournalHistory : public HistorySource {
  public:
    struct Options {
        std::size_t batchSize = 4096;
        // Pause before each batch: lets tests see a slow history.
        std::chrono::milliseconds batchDelay{0};
        std::chrono::milliseconds syncTimeout{10000};
    };
    explicit JournalHistory(std::string dir) : JournalHistory(std::move(dir), Options{}) {}
    JournalHistory(std::string dir, Options options);

    std::unique_ptr<HistoryStream> createStream(const std::string& root, std::uint64_t since,
                                                SerialQueue& queue,
                                                HistoryCallback callback) override;
    // The newest identifier in the journal (0 when there is none).
    std::uint64_t currentEventId() override;

    // Asks the recorder to write out what it holds; the identifier of its
    // answer, or nothing when no recorder answers before the timeout.
    std::optional<std::uint64_t> sync(std::chrono::milliseconds timeout,
                                      const std::function<bool()>& cancelled = {}) const;

  private:
    std::string dir_;
    Options options_;
};

// The default journal's source, or nothing without a history folder.
std::unique_ptr<JournalHistory> defaultJournalHistory();

}  // namespace tidewell
