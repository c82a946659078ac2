#include "nofollow_walk.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>

namespace tidewell {

namespace {
constexpr int kStepFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
}

bool isCanonicalPath(std::string_view path) {
    if (path.empty() || path.front() != '/') return false;
    if (path == "/") return true;
    std::size_t start = 1;
    for (;;) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == path.size()) return true;
        start = end + 1;
    }
}

PathSplit splitCanonicalPath(std::string_view path) {
    const std::size_t cut = path.rfind('/');
    return PathSplit{path.substr(0, cut == 0 ? 1 : cut), path.substr(cut + 1)};
}

int openFolderNoFollow(std::string_view path, UniqueFd& out, const WalkVisitor& visit) {
    if (!isCanonicalPath(path)) return EINVAL;
    UniqueFd here(::open("/", kStepFlags));
    if (!here) return errno;
    if (visit) visit(here.get(), "/");
    std::size_t start = 1;
    std::string name;
    while (start < path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        name.assign(path.substr(start, end - start));
        if (name.size() > NAME_MAX) return ENAMETOOLONG;
        UniqueFd next(::openat(here.get(), name.c_str(), kStepFlags));
        if (!next) return errno;
        here = std::move(next);
        if (visit) visit(here.get(), path.substr(0, end));
        start = end + 1;
    }
    out = std::move(here);
    return 0;
}

}  // namespace tidewell
