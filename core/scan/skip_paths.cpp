#include "skip_paths.h"

#include <array>

#include "mount_table.h"

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

bool isVirtualOrRemote(std::string_view fsType) {
    for (std::string_view t : kVirtualOrRemote)
        if (fsType == t) return true;
    return false;
}

}  // namespace

SkipPaths wholeDiskSkipPaths(std::string_view mountinfo) {
    SkipPaths skips(kFixedSkips.begin(), kFixedSkips.end());
    for (MountEntry& m : parseMountInfo(mountinfo))
        if (m.mountPoint != "/" && isVirtualOrRemote(m.fsType))
            skips.insert(std::move(m.mountPoint));
    return skips;
}

SkipPaths wholeDiskSkipPaths() {
    return wholeDiskSkipPaths(readMountInfo());
}

}  // namespace tidewell
