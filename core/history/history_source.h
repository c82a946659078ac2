// Where the change tracker's history comes from: a replay, for one root, of
// every change since an identifier, in batches, ending with history-done.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "journal.h"
#include "serial_queue.h"

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

// Called on the request's queue, once per batch.
using HistoryCallback = std::function<void(std::vector<HistoryEvent> batch)>;

class HistoryStream {
  public:
    virtual ~HistoryStream() = default;
    virtual bool start() = 0;
    // Stops delivering; returns once no callback will be posted any more.
    virtual void stop() = 0;
};

class HistorySource {
  public:
    virtual ~HistorySource() = default;
    virtual std::unique_ptr<HistoryStream> createStream(const std::string& root,
                                                        std::uint64_t since, SerialQueue& queue,
                                                        HistoryCallback callback) = 0;
    virtual std::uint64_t currentEventId() = 0;
};

}  // namespace tidewell
