// The mount table of this process (/proc/self/mountinfo).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

struct MountEntry {
    std::string mountPoint;  // unescaped, as this process sees it
    std::string fsType;
};

// The entries of mountinfo text, in its order; malformed lines are left out.
std::vector<MountEntry> parseMountInfo(std::string_view text);
// The text of /proc/self/mountinfo; empty when it cannot be read.
std::string readMountInfo();

}  // namespace tidewell
