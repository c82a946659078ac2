// Where the change tracker's history comes from: a replay, for one root, of
// every change since an identifier, in batches, ending with history-done.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "journal.h"

namespace tidewell {

struct HistoryEvent {
    std::string path;
    std::uint32_t flags = 0;
    std::string reason;  // why the history cannot be trusted, on such events
};

// Flags of history events: the journal's own, plus the end of a replay.
namespace history {
using journal::kKernelDropped;
using journal::kMustScanSubdirs;
using journal::kUnmount;
using journal::kUserDropped;
constexpr std::uint32_t kHistoryDone = 0x10;
// Any of these makes the history untrustworthy for the root asked about.
constexpr std::uint32_t kUnreliableMask = kUserDropped | kKernelDropped | kUnmount;
}  // namespace history

// Takes the replay's events in order; returning false stops the replay.
using HistorySink = std::function<bool(HistoryEvent)>;

class HistorySource {
  public:
    virtual ~HistorySource() = default;
    // Hands `sink` every change under `root` since `since`, then one
    // history-done event. Returns early, without history-done, when the sink
    // says stop or `deadline` passes.
    virtual void replay(const std::string& root, std::uint64_t since,
                        std::chrono::steady_clock::time_point deadline,
                        const HistorySink& sink) = 0;
    virtual std::uint64_t currentEventId() = 0;
};

}  // namespace tidewell
