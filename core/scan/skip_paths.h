// The directories a whole-disk scan does not enter.
#pragma once

#include <string_view>

#include "scan_engine.h"

namespace tidewell {

// The fixed list plus every mount point of a virtual or remote file system,
// read from /proc/self/mountinfo.
SkipPaths wholeDiskSkipPaths();
// The same from the given mountinfo text.
SkipPaths wholeDiskSkipPaths(std::string_view mountinfo);

}  // namespace tidewell
