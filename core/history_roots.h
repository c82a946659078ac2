// The roots a change recorder records: the roots file anyone may append to,
// and the recorder's own list of what it records since when.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidewell::history {

struct ActiveRoot {
    std::uint64_t since = 0;  // identifier of its recording-started record
    std::string path;
};

// Roots listed in the history folder's roots file, in order.
std::vector<std::string> listedRoots(const std::string& dir);
// Appends `root` to the roots file unless listed; false when it cannot be written.
bool addListedRoot(const std::string& dir, const std::string& root);

// What the running recorder records (its "active" file).
std::vector<ActiveRoot> activeRoots(const std::string& dir);
void writeActiveRoots(const std::string& dir, const std::vector<ActiveRoot>& roots);

}  // namespace tidewell::history
