#include <gtest/gtest.h>

#include "skip_paths.h"

namespace tidewell {
namespace {

TEST(WholeDiskSkipPaths, FixedListAndVirtualMounts) {
    const std::string mountinfo =
        "22 1 0:21 / / rw,relatime - tmpfs rootfs rw\n"
        "23 22 0:22 / /proc rw,nosuid shared:5 - proc proc rw\n"
        "24 22 8:1 / /home rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "25 22 0:23 / /tmp rw master:2 - tmpfs tmpfs rw\n"
        "26 24 0:50 / /home/u/remote\\040share rw - cifs //srv/x rw\n"
        "27 24 0:51 / /home/u/box rw - fuse.sshfs u@h: rw\n"
        "28 22 8:3 / /data rw - xfs /dev/sda3 rw\n"
        "garbage line\n";
    const SkipPaths s = wholeDiskSkipPaths(mountinfo);
    for (const char* p : {"/proc", "/sys", "/dev", "/run", "/mnt", "/media", "/lost+found",
                          "/Volumes", "/net", "/Network", "/System/Volumes/Data",
                          "/System/Volumes/VM", "/tmp", "/home/u/remote share", "/home/u/box"})
        EXPECT_TRUE(s.contains(p)) << p;
    for (const char* p : {"/", "/home", "/data"}) EXPECT_FALSE(s.contains(p)) << p;
}

TEST(WholeDiskSkipPaths, ReadsThisMachine) {
    const SkipPaths s = wholeDiskSkipPaths();
    EXPECT_TRUE(s.contains("/proc"));
    EXPECT_FALSE(s.contains("/"));
}

}  // namespace
}  // namespace tidewell
