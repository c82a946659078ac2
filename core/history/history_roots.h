// The roots a change recorder records: the roots file anyone may append to,
// and the recorder's own list of what it records since when.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidewell::history {

struct ActiveRoot {
    std::uint64_t since = 0;  // identifier of its recording-started record
    // The directory that was at `path` when recording began.
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;
};

// Roots listed in the history folder's roots file, in order.
std::vector<std::string> listedRoots(const std::string& dir);
// Appends `root` to the roots file unless listed; false when it cannot be written.
bool addListedRoot(const std::string& dir, const std::string& root);

// What the running recorder records (its "active" file).
std::vector<ActiveRoot> activeRoots(const std::string& dir);
// False when the list could not be written.
bool writeActiveRoots(const std::string& dir, const std::vector<ActiveRoot>& roots);

// The active root that covers `path` and is still the directory it was when
// recording began (a root replaced, or reached through a moved ancestor, is
// not), recorded since `since` or earlier in the same epoch; nothing when none is.
std::optional<ActiveRoot> coveringRoot(const std::string& dir, const std::string& path,
                                       std::uint64_t since);

}  // namespace tidewell::history
