// The live progress line of a scan on a terminal's standard error.
#pragma once

#include <mutex>

#include "scan_progress.h"

namespace tidewell::cli {

// One line on standard error, rewritten in place while the scan runs; from
// any thread.
class ProgressLine {
  public:
    void show(const ScanProgress& p);
    void clear();

  private:
    std::mutex mutex_;
    bool shown_ = false;
};

}  // namespace tidewell::cli
