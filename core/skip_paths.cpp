#include "skip_paths.h"

#include <array>
#include <fstream>
#include <sstream>

namespace tidewell {

namespace {

constexpr std::array kFixedSkips = {
    // Other systems' volume and network folders.
    "/System/Volumes/Data", "/System/Volumes/VM", "/Volumes", "/net", "/Network",
    // Kernel and runtime trees, removable and manual mounts.
    "/dev", "/proc", "/sys", "/run", "/mnt", "/media", "/lost+found"};

// File systems that hold no disk space of this machine.
constexpr std::array kVirtualOrRemote = {
    "proc",        "sysfs",       "devtmpfs",  "devpts",     "tmpfs",  "cgroup",
    "cgroup2",     "securityfs",  "debugfs",   "tracefs",    "pstore", "bpf",
    "mqueue",      "hugetlbfs",   "fusectl",   "configfs",   "autofs", "binfmt_misc",
    "efivarfs",    "nfs",         "nfs4",      "cifs",       "smb3",   "smbfs",
    "fuse.sshfs",  "sshfs",       "ramfs",     "rpc_pipefs", "nsfs",   "selinuxfs",
    "9p",          "ceph",        "glusterfs", "afs",        "davfs",  "fuse.gvfsd-fuse",
    "fuse.portal", "fuse.rclone", "fuse.s3fs", "ncpfs"};

bool isOctal(char c, char highest) {
    return c >= '0' && c <= highest;
}

// mountinfo escapes space, tab, newline and backslash as three octal digits.
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

bool isVirtualOrRemote(std::string_view fsType) {
    for (std::string_view t : kVirtualOrRemote)
        if (fsType == t) return true;
    return false;
}

}  // namespace

SkipPaths wholeDiskSkipPaths(std::string_view mountinfo) {
    SkipPaths skips(kFixedSkips.begin(), kFixedSkips.end());
    std::istringstream lines{std::string(mountinfo)};
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
        std::string point = unescapeMountField(mountPoint);
        if (point != "/" && isVirtualOrRemote(fsType)) skips.insert(std::move(point));
    }
    return skips;
}

SkipPaths wholeDiskSkipPaths() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return wholeDiskSkipPaths(text.str());
}

}  // namespace tidewell
