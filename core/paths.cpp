#include "paths.h"

namespace tidewell {

std::string childPath(std::string_view dir, std::string_view name) {
    std::string out;
    out.reserve(dir.size() + 1 + name.size());
    out += dir;
    if (dir != "/") out += '/';
    out += name;
    return out;
}

bool isAtOrBelow(std::string_view path, std::string_view dir) {
    if (dir == "/") return !path.empty() && path.front() == '/';
    return path == dir ||
           (path.size() > dir.size() && path.starts_with(dir) && path[dir.size()] == '/');
}

}  // namespace tidewell
