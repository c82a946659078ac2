#pragma once

#include <string>
#include <vector>

namespace tidewell {

// Directories the change history names since a stored identifier, as it
// reported them (possibly with a trailing "/"), in arrival order.
struct ChangeSet {
    std::vector<std::string> changedDirs;  // own entries changed: re-read shallowly
    std::vector<std::string> subtreeDirs;  // whole subtree must be rescanned
};

}  // namespace tidewell
