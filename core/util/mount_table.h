// The mount table of this process (/proc/self/mountinfo).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

struct MountEntry {
    std::string id;          // the kernel's mount identifier
    std::string mountPoint;  // unescaped, as this process sees it
    std::string fsType;
};

// The entries of mountinfo text, in its order; malformed lines are left out.
std::vector<MountEntry> parseMountInfo(std::string_view text);
// The text of /proc/self/mountinfo; empty when it cannot be read.
std::string readMountInfo();
// The whole text of an open mountinfo file, read from its start (a file kept
// open to be polled for changes).
std::string readMountInfo(int fd);

}  // namespace tidewell
