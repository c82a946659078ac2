#include "history_roots.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "journal.h"
#include "paths.h"
#include "unique_fd.h"

namespace tidewell::history {

std::vector<std::string> listedRoots(const std::string& dir) {
    std::vector<std::string> out;
    std::ifstream in(dir + "/roots");
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line.front() == '/') out.push_back(line);
    return out;
}

bool addListedRoot(const std::string& dir, const std::string& root) {
    if (root.empty() || root.front() != '/' || root.find('\n') != std::string::npos) return false;
    const std::vector<std::string> listed = listedRoots(dir);
    if (std::find(listed.begin(), listed.end(), root) != listed.end()) return true;
    // One write with O_APPEND: concurrent appenders never interleave a line.
    const UniqueFd fd(
        ::open((dir + "/roots").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (!fd) return false;
    const std::string line = root + "\n";
    return ::write(fd.get(), line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

std::vector<ActiveRoot> activeRoots(const std::string& dir) {
    std::vector<ActiveRoot> out;
    std::ifstream in(dir + "/active");
    ActiveRoot r;
    while (in >> r.since >> r.device >> r.inode && std::getline(in >> std::ws, r.path))
        out.push_back(r);
    return out;
}

bool writeActiveRoots(const std::string& dir, const std::vector<ActiveRoot>& roots) {
    std::string text;
    for (const ActiveRoot& r : roots)
        text += std::to_string(r.since) + " " + std::to_string(r.device) + " " +
                std::to_string(r.inode) + " " + r.path + "\n";
    const std::string tmp = dir + "/active.tmp";
    UniqueFd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd) return false;
    const bool ok =
        ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    // Readers see the old list or the new one, never half of it.
    return fd.close() && ok && ::rename(tmp.c_str(), (dir + "/active").c_str()) == 0;
}

std::optional<ActiveRoot> coveringRoot(const std::string& dir, const std::string& path,
                                       std::uint64_t since) {
    for (const ActiveRoot& r : activeRoots(dir)) {
        if (!isAtOrBelow(path, r.path) || r.since > since ||
            journal::epochOf(r.since) != journal::epochOf(since))
            continue;
        struct stat st {};
        if (::stat(r.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_dev == r.device &&
            st.st_ino == r.inode)
            return r;
    }
    return std::nullopt;
}

}  // namespace tidewell::history
