#include "progress_line.h"

#include <iostream>
#include <string>

#include "display_text.h"
#include "size_format.h"
#include "text_output.h"

namespace tidewell::cli {

void ProgressLine::show(const ScanProgress& p) {
    std::lock_guard lock(mutex_);
    std::string path = repairUtf8(p.currentPath);
    constexpr std::size_t kMaxPath = 60;
    if (path.size() > kMaxPath) path = "…" + path.substr(path.size() - kMaxPath);
    std::cerr << "\r\033[K" << formatCount(p.fileCount) << " öğe · " << formatBytes(p.byteCount)
              << " · " << path << std::flush;
    shown_ = true;
}

void ProgressLine::clear() {
    std::lock_guard lock(mutex_);
    if (shown_) std::cerr << "\r\033[K" << std::flush;
    shown_ = false;
}

}  // namespace tidewell::cli
