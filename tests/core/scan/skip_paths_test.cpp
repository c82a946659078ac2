#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "skip_paths.h"
#include "temp_tree.h"

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
        "29 24 0:52 / /home/u/back\\134slash rw - nfs4 srv:/x rw\n"
        "30 24 0:53 / /home/u/odd\\9zz rw - tmpfs tmpfs rw\n"
        "31 22 0:54 / /no-separator rw tmpfs tmpfs rw\n"
        "garbage line\n";
    const SkipPaths s = wholeDiskSkipPaths(mountinfo);
    for (const char* p :
         {"/proc", "/sys", "/dev", "/run", "/mnt", "/media", "/lost+found", "/Volumes", "/net",
          "/Network", "/System/Volumes/Data", "/System/Volumes/VM", "/tmp", "/home/u/remote share",
          "/home/u/box", "/home/u/back\\slash", "/home/u/odd\\9zz"})
        EXPECT_TRUE(s.contains(p)) << p;
    for (const char* p : {"/", "/home", "/data", "/no-separator"}) EXPECT_FALSE(s.contains(p)) << p;
}

// The machine's own mount table: file systems mounted in a private mount
// namespace must come back from /proc/self/mountinfo as the kernel writes it.
TEST(WholeDiskSkipPaths, ReadsTheMountTable) {
    test::TempDir t;
    const std::string spaced = t.mkdir("virtual mount");
    const std::string nested = t / "virtual mount/inner";
    t.mkdir("plain");
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The mounts vanish with this process.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tidewell-test", spaced.c_str(), "tmpfs", 0, "size=1m") != 0 ||
            ::mkdir(nested.c_str(), 0755) != 0 ||
            ::mount("tidewell-test", nested.c_str(), "tmpfs", 0, "size=1m") != 0)
            ::_exit(77);
        const SkipPaths s = wholeDiskSkipPaths();
        if (!s.contains(spaced)) ::_exit(1);
        if (!s.contains(nested)) ::_exit(2);
        if (s.contains(t.path()) || s.contains(t / "plain") || s.contains("/")) ::_exit(3);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (rc == 77) GTEST_SKIP() << "cannot mount in a private mount namespace here";
    EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace tidewell
