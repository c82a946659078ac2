#include "history_roots.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

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
    const std::vector<std::string> listed = listedRoots(dir);
    if (std::find(listed.begin(), listed.end(), root) != listed.end()) return true;
    // One write with O_APPEND: concurrent appenders never interleave a line.
    const int fd =
        ::open((dir + "/roots").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string line = root + "\n";
    const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    return ok;
}

std::vector<ActiveRoot> activeRoots(const std::string& dir) {
    std::vector<ActiveRoot> out;
    std::ifstream in(dir + "/active");
    ActiveRoot r;
    while (in >> r.since && std::getline(in >> std::ws, r.path)) out.push_back(r);
    return out;
}

void writeActiveRoots(const std::string& dir, const std::vector<ActiveRoot>& roots) {
    std::string text;
    for (const ActiveRoot& r : roots) text += std::to_string(r.since) + " " + r.path + "\n";
    const std::string tmp = dir + "/active.tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    // Readers see the old list or the new one, never half of it.
    if (ok) ::rename(tmp.c_str(), (dir + "/active").c_str());
}

}  // namespace tidewell::history
