#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tidewell {

// One record of a scan's progress stream.
struct ScanProgress {
    std::int64_t fileCount = 0;
    std::int64_t byteCount = 0;
    std::string currentPath;  // the directory just read; the scan root in the final record
};

// Called from any walker thread, possibly from several at once.
using ProgressSink = std::function<void(const ScanProgress&)>;

}  // namespace tidewell
