#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "quick_sizer.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::allocatedBytes;
using test::TempDir;

TEST(QuickSizer, MeasuresAllocatedBytesAndIgnoresLinks) {
    TempDir t;
    EXPECT_FALSE(QuickSizer::measure(t / "missing"));
    const std::string f = t.write("file", 12345);
    EXPECT_EQ(QuickSizer::measure(f), (QuickSizer::Totals{allocatedBytes(f), 1}));

    t.mkdir("empty");
    EXPECT_EQ(QuickSizer::measure(t / "empty"), (QuickSizer::Totals{0, 0}));

    t.mkdir("tree");
    t.mkdir("tree/sub");
    const std::string a = t.write("tree/a", 5000);
    const std::string b = t.write("tree/sub/b", 70000);
    t.hardlink("tree/a", "tree/sub/a-again");
    t.symlink(t / "tree/sub", "tree/link-dir");
    t.symlink(t / "tree/a", "tree/link-file");
    for (int i = 0; i < 30; ++i) {
        t.mkdir("tree/sub/d" + std::to_string(i));
        t.write("tree/sub/d" + std::to_string(i) + "/x", 100);
    }
    const auto totals = QuickSizer::measure(t / "tree");
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->files, 3 + 30);
    EXPECT_EQ(totals->bytes,
              2 * allocatedBytes(a) + allocatedBytes(b) + 30 * allocatedBytes(t / "tree/sub/d0/x"));

    // A link given as the path is not followed either: the quick-clean model
    // resolves the folders it measures itself.
    EXPECT_EQ(QuickSizer::measure(t / "tree/link-dir"),
              (QuickSizer::Totals{allocatedBytes(t / "tree/link-dir"), 1}));
}

TEST(QuickSizer, AnUnreadableFolderCountsAsEmpty) {
    TempDir t;
    t.mkdir("d");
    t.mkdir("d/locked");
    t.write("d/locked/secret", 8192);
    const std::string open = t.write("d/open", 100);
    ::chmod((t / "d/locked").c_str(), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(77);
        const auto totals = QuickSizer::measure(t / "d");
        ::_exit(totals == QuickSizer::Totals{allocatedBytes(open), 1} ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (rc == 77) GTEST_SKIP() << "cannot drop to an unprivileged uid here";
    EXPECT_EQ(rc, 0);
}

TEST(QuickSizer, CancelledMeasurementGivesNothing) {
    TempDir t;
    t.mkdir("d");
    t.write("d/x", 10);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(QuickSizer::measure(t / "d", stop.get_token()));
    EXPECT_FALSE(QuickSizer::measure(t / "d/x", stop.get_token()));
}

}  // namespace
}  // namespace tidewell
