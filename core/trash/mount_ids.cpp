#include "mount_ids.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "mount_table.h"
#include "paths.h"

namespace tidewell {

namespace {
constexpr unsigned kWanted = STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO;
}

MountIds MountIds::forSystem() {
    struct statx sx {};
    if (::statx(AT_FDCWD, "/", AT_NO_AUTOMOUNT, STATX_MNT_ID, &sx) == 0 &&
        (sx.stx_mask & STATX_MNT_ID) != 0)
        return MountIds();
    return fromTable();
}

MountIds MountIds::fromTable() {
    MountIds ids;
    ids.byTable_ = true;
    for (MountEntry& m : parseMountInfo(readMountInfo()))
        ids.mountPoints_.push_back(std::move(m.mountPoint));
    return ids;
}

int MountIds::statAt(int dirFd, const char* name, int flags, std::string_view path,
                     EntryStat& out) const {
    struct statx sx {};
    const unsigned mask = byTable_ ? kWanted : kWanted | STATX_MNT_ID;
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &sx) != 0)
        return errno;
    if ((sx.stx_mask & mask) != mask) return EOPNOTSUPP;
    out.mode = sx.stx_mode;
    out.uid = sx.stx_uid;
    out.inode = sx.stx_ino;
    out.mount.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    if (!byTable_) {
        out.mount.id = sx.stx_mnt_id;
        return 0;
    }
    // The deepest mount point holding the path; the last of equals is the
    // one mounted on top.
    std::size_t best = 0;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < mountPoints_.size(); ++i) {
        const std::string& point = mountPoints_[i];
        if (isAtOrBelow(path, point) && point.size() >= bestLength) {
            best = i + 1;
            bestLength = point.size();
        }
    }
    out.mount.id = best;
    return 0;
}

int MountIds::ofOpen(int fd, std::string_view path, EntryStat& out) const {
    return statAt(fd, "", AT_EMPTY_PATH, path, out);
}

int MountIds::ofEntry(int dirFd, const char* name, std::string_view path, EntryStat& out) const {
    return statAt(dirFd, name, 0, path, out);
}

}  // namespace tidewell
