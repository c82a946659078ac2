// Absolute paths as strings: joining and containment, with "/" handled once,
// and the real path a chosen location stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

// The absolute path of an entry named `name` in directory `dir`.
std::string childPath(std::string_view dir, std::string_view name);

// True when `path` is `dir` or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view dir);

// `path` made absolute against the working directory, "." and ".." resolved
// by name and without a trailing "/" (except for "/" itself).
std::string absolutePath(std::string_view path);

// The name a chosen location is shown by: the last component of what was
// picked (before any link is followed); "/" for the root.
std::string locationName(std::string_view path);

// The real path of a directory (every symbolic link resolved), or nothing
// when `path` does not lead to a directory.
std::optional<std::string> realDirectory(std::string_view path);

// The real path of a location chosen for a scan: every link among its
// ancestors resolved, and the location itself followed when it is a link to
// a directory. A link to anything else stays the link. Nothing when the
// location cannot be examined.
std::optional<std::string> realScanRoot(std::string_view path);

}  // namespace tidewell
