// Which mount a file belongs to. A bind mount shares its file system's
// device number, so only the mount itself tells whether two folders are
// part of one tree: the kernel's mount id (statx STATX_MNT_ID), or on
// kernels without it the mount table entry whose mount point holds the path.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

struct MountId {
    std::uint64_t id = 0;  // the kernel's mount id, or 1 + the holding mount table entry
    dev_t device = 0;
    bool operator==(const MountId&) const = default;
};

// What is known of one file without following a link.
struct EntryStat {
    mode_t mode = 0;
    uid_t uid = 0;
    ino_t inode = 0;
    MountId mount;
};

class MountIds {
  public:
    // The kernel's mount ids when it reports them, else the mount table.
    static MountIds forSystem();
    // Always the mount table (read now).
    static MountIds fromTable();

    // Whether the calls below read their `path` argument.
    bool needsPaths() const { return byTable_; }

    // The file open at `fd`, whose absolute path is `path`. 0 or an errno.
    int ofOpen(int fd, std::string_view path, EntryStat& out) const;
    // The entry `name` of the folder open at `dirFd`, at absolute `path`; a
    // link is examined itself and an automount point is not triggered.
    int ofEntry(int dirFd, const char* name, std::string_view path, EntryStat& out) const;

  private:
    MountIds() = default;
    int statAt(int dirFd, const char* name, int flags, std::string_view path, EntryStat& out) const;

    bool byTable_ = false;
    std::vector<std::string> mountPoints_;  // with the table: in its order
};

}  // namespace tidewell
