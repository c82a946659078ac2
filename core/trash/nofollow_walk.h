// Reaching a folder by its path without ever following a symbolic link: the
// path is walked from "/" one component at a time, each opened relative to
// the one before. A link anywhere on the way, or one swapped in for a folder
// while the walk runs, stops it instead of leading it elsewhere.
#pragma once

#include <functional>
#include <string_view>

#include "unique_fd.h"

namespace tidewell {

// Absolute, without empty, "." or ".." components and without a trailing "/"
// ("/" itself is canonical). Only such paths name one place without resolving.
bool isCanonicalPath(std::string_view path);

// A canonical path other than "/" split at its last "/": the folder ("/" for
// a top-level entry) and the entry's name in it.
struct PathSplit {
    std::string_view folder;
    std::string_view name;
};
PathSplit splitCanonicalPath(std::string_view path);

// Sees every folder the walk opens, "/" first, with the path it was reached by.
using WalkVisitor = std::function<void(int fd, std::string_view path)>;

// Opens the folder at canonical `path` as an O_PATH descriptor (usable with
// the *at calls; needs no read permission), opening every component with
// O_DIRECTORY | O_NOFOLLOW. 0 when done, else the errno of the step that
// failed: ENOTDIR for a symbolic link (or a file) on the way.
int openFolderNoFollow(std::string_view path, UniqueFd& out, const WalkVisitor& visit = {});

}  // namespace tidewell
