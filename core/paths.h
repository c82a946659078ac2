// Absolute paths as strings: joining and containment, with "/" handled once.
#pragma once

#include <string>
#include <string_view>

namespace tidewell {

// The absolute path of an entry named `name` in directory `dir`.
std::string childPath(std::string_view dir, std::string_view name);

// True when `path` is `dir` or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view dir);

}  // namespace tidewell
