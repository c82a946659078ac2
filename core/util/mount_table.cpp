#include "mount_table.h"

#include <unistd.h>

#include <array>
#include <fstream>
#include <sstream>

namespace tidewell {

namespace {

bool isOctal(char c, char highest) {
    return c >= '0' && c <= highest;
}

// mountinfo escapes space, tab, newline and backslash as three octal digits;
// anything else after a backslash is kept as it is.
std::string unescapeMountField(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && isOctal(s[i + 1], '3') && isOctal(s[i + 2], '7') &&
            isOctal(s[i + 3], '7')) {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - fstype source super
        std::istringstream fields(line);
        std::string id, parent, devno, root, mountPoint, field;
        if (!(fields >> id >> parent >> devno >> root >> mountPoint)) continue;
        bool sawSeparator = false;
        while (fields >> field)
            if (field == "-") {
                sawSeparator = true;
                break;
            }
        std::string fsType;
        if (!sawSeparator || !(fields >> fsType)) continue;
        entries.push_back(
            MountEntry{std::move(id), unescapeMountField(mountPoint), std::move(fsType)});
    }
    return entries;
}

std::string readMountInfo() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string readMountInfo(int fd) {
    std::string text;
    std::array<char, 16384> buf{};
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buf.data(), buf.size(), at);
        if (n <= 0) break;
        text.append(buf.data(), static_cast<std::size_t>(n));
        at += n;
    }
    return text;
}

}  // namespace tidewell
