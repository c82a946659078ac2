// Where the change tracker's history comes from: a replay, for one root, of
// every change since an identifier, in batches, ending with history-done.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial_queue.h"

namespace tidewell {

struct HistoryEvent {
    std::string path;
    std::uint32_t flags = 0;
    std::string reason;  // why the history cannot be trusted, on such events
};

// Flags of history events (the values the change history has always used).
namespace history {
constexpr std::uint32_t kMustScanSubdirs = 0x01;
constexpr std::uint32_t kUserDropped = 0x02;
constexpr std::uint32_t kKernelDropped = 0x04;
constexpr std::uint32_t kIdsWrapped = 0x08;
constexpr std::uint32_t kHistoryDone = 0x10;
constexpr std::uint32_t kMount = 0x40;
constexpr std::uint32_t kUnmount = 0x80;
constexpr std::uint32_t kUnreliableMask = 0xCE;
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
