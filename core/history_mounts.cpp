#include "history_mounts.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <set>
#include <sstream>

#include "paths.h"

namespace tidewell::history {

namespace {

// mountinfo escapes space, tab, newline and backslash as three octal digits.
std::string unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() + 1 && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

constexpr std::array kUnseen = {
    // Changed by other machines.
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "glusterfs", "afs", "davfs", "ncpfs",
    "lustre", "gfs2", "ocfs2", "sshfs", "fuse",
    // Changed by the kernel itself, or mounted on access.
    "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "debugfs", "tracefs",
    "pstore", "bpf", "mqueue", "fusectl", "configfs", "autofs", "binfmt_misc", "efivarfs",
    "rpc_pipefs", "nsfs", "selinuxfs"};

bool skipped(std::string_view point, const std::vector<std::string>& skips) {
    return std::any_of(skips.begin(), skips.end(),
                       [&](const std::string& s) { return isAtOrBelow(point, s); });
}

}  // namespace

std::vector<Mount> parseMounts(std::string_view mountinfo) {
    std::vector<Mount> out;
    std::istringstream lines{std::string(mountinfo)};
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - fstype source super
        std::istringstream fields(line);
        std::string id, parent, devno, root, point, field;
        if (!(fields >> id >> parent >> devno >> root >> point)) continue;
        bool separator = false;
        while (!separator && fields >> field) separator = field == "-";
        std::string fsType;
        if (!separator || !(fields >> fsType)) continue;
        out.push_back({std::move(id), unescape(point), std::move(fsType)});
    }
    return out;
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

bool changesUnseen(std::string_view fsType) {
    // FUSE file systems name themselves "fuse.<program>"; only block-device
    // backed ones ("fuseblk") are changed through this machine alone.
    if (fsType.starts_with("fuse.")) return true;
    return std::find(kUnseen.begin(), kUnseen.end(), fsType) != kUnseen.end();
}

std::string unwatchableReason(const std::vector<Mount>& mounts, std::string_view root,
                              const std::vector<std::string>& skips) {
    // The root's own file system: the last mount over its deepest ancestor.
    const Mount* own = nullptr;
    for (const Mount& m : mounts)
        if (isAtOrBelow(root, m.point) && (own == nullptr || m.point.size() >= own->point.size()))
            own = &m;
    if (own != nullptr && changesUnseen(own->fsType))
        return "it is on a " + own->fsType + " file system";
    for (const Mount& m : mounts)
        if (m.point != root && isAtOrBelow(m.point, root) && !skipped(m.point, skips) &&
            changesUnseen(m.fsType))
            return "a " + m.fsType + " file system is mounted at " + m.point;
    return {};
}

std::vector<std::string> changedMountPoints(const std::vector<Mount>& before,
                                            const std::vector<Mount>& after) {
    auto keys = [](const std::vector<Mount>& ms) {
        std::set<std::pair<std::string, std::string>> out;
        for (const Mount& m : ms) out.emplace(m.id, m.point);
        return out;
    };
    const auto a = keys(before), b = keys(after);
    std::vector<std::pair<std::string, std::string>> diff;
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(diff));
    std::vector<std::string> out;
    for (auto& d : diff) out.push_back(std::move(d.second));
    return out;
}

}  // namespace tidewell::history
