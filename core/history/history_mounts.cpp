#include "history_mounts.h"

#include <algorithm>
#include <array>
#include <set>

#include "paths.h"

namespace tidewell::history {

namespace {

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
        if (isAtOrBelow(root, m.mountPoint) &&
            (own == nullptr || m.mountPoint.size() >= own->mountPoint.size()))
            own = &m;
    if (own != nullptr && changesUnseen(own->fsType))
        return "it is on a " + own->fsType + " file system";
    for (const Mount& m : mounts)
        if (m.mountPoint != root && isAtOrBelow(m.mountPoint, root) &&
            !skipped(m.mountPoint, skips) && changesUnseen(m.fsType))
            return "a " + m.fsType + " file system is mounted at " + m.mountPoint;
    return {};
}

std::vector<std::string> changedMountPoints(const std::vector<Mount>& before,
                                            const std::vector<Mount>& after) {
    auto keys = [](const std::vector<Mount>& ms) {
        std::set<std::pair<std::string, std::string>> out;
        for (const Mount& m : ms) out.emplace(m.id, m.mountPoint);
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
