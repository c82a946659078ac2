#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../support/scoped_env.h"
#include "change_recorder.h"
#include "history_roots.h"
#include "temp_tree.h"
#include "tree_cache.h"
#include "user_dirs.h"

namespace tidewell {
namespace {

using test::TempDir;

using CliRun = test::CommandRun;
using test::cli;

constexpr uid_t kNobody = 65534;

// A size between 1 KB and 1 MB as the summaries print it: whole decimal kilobytes.
std::string kilobytes(std::int64_t bytes) {
    return std::to_string((bytes + 500) / 1000) + " KB";
}

TEST(Cli, ScanPrintsSummaryTreeAndJson) {
    TempDir t;
    t.mkdir("big");
    const std::int64_t blob = test::allocatedBytes(t.write("big/blob", 200000));
    const std::int64_t total = blob + test::allocatedBytes(t.write("small", 10)) +
                               test::allocatedBytes(t.write("q\"uote\xff", 10));

    CliRun text = cli("scan " + t.path() + " --depth 1");
    ASSERT_EQ(text.status, 0);
    // Sizes as the disk has them: what the files occupy.
    EXPECT_NE(text.out.find("Toplam " + kilobytes(total) + " · 5 öğe (3 dosya, 2 klasör)"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find(kilobytes(blob) + " "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("big/"), std::string::npos);
    // Largest first.
    EXPECT_LT(text.out.find("big/"), text.out.find("small"));

    CliRun json = cli("scan --json --depth 1 " + t.path());
    ASSERT_EQ(json.status, 0);
    EXPECT_EQ(json.out.rfind("{\"path\":\"" + t.path() + "\"", 0), 0u) << json.out;
    EXPECT_NE(json.out.find(",\"unreadable\":0"), std::string::npos) << json.out;
    EXPECT_EQ(text.out.find("okunamadı"), std::string::npos);
    EXPECT_NE(json.out.find("\"size\":" + std::to_string(total) +
                            ",\"files\":3,\"directories\":2,\"elapsedMs\":"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"name\":\"big\",\"size\":" + std::to_string(blob) + ","),
              std::string::npos)
        << json.out;
    // Raw bytes are shown repaired and escaped.
    EXPECT_NE(json.out.find("q\\\"uote\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(json.out.find("blob"), std::string::npos);  // below --depth
}

TEST(Cli, ScanRootsAreRealPathsShownByTheirGivenName) {
    TempDir t;
    const std::string base = t.realPath();
    t.mkdir("real");
    t.mkdir("real/sub");
    t.write("real/sub/data", 40000);
    t.symlink(t / "real", "link");
    t.symlink(t / "real", "ancestor");

    CliRun json = cli("scan --json " + t / "link");
    ASSERT_EQ(json.status, 0);
    EXPECT_EQ(json.out.rfind("{\"path\":\"" + base + "/real\",\"name\":\"link\",", 0), 0u)
        << json.out;
    CliRun under = cli("scan " + t / "ancestor/sub");
    ASSERT_EQ(under.status, 0);
    EXPECT_EQ(under.out.rfind(base + "/real/sub\n", 0), 0u) << under.out;
    CliRun top = cli("top " + t / "link");
    ASSERT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("  " + base + "/real/sub/data\n"), std::string::npos) << top.out;
}

// A tree the unprivileged child can read except for two folders it may not
// enter: the plain scan and the cached one count them alike.
TEST(Cli, UnreadableFoldersAreReported) {
    TempDir t;
    t.mkdir("locked");
    t.write("locked/secret", 8192);
    t.mkdir("a");
    t.mkdir("a/locked");
    t.write("a/open", 100);
    ::chmod((t / "locked").c_str(), 0);
    ::chmod((t / "a/locked").c_str(), 0);

    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(77);
        const CliRun text = cli("scan " + t.path());
        if (text.status != 0 || text.out.find("\nUyarı: 2 klasör okunamadı") == std::string::npos)
            ::_exit(1);
        const CliRun json = cli("scan --json " + t.path());
        if (json.status != 0 || json.out.find(",\"unreadable\":2") == std::string::npos) ::_exit(2);
        // The cached run keeps its cache and history where this user may write.
        std::array<char, 32> own{"/tmp/tidewell-nobody-XXXXXX"};
        if (::mkdtemp(own.data()) == nullptr) ::_exit(3);
        const std::string xdg = std::string("XDG_DATA_HOME=") + own.data() +
                                "/data XDG_STATE_HOME=" + own.data() + "/state ";
        const CliRun cached = test::runCommand(xdg + TIDEWELL_CLI_PATH + " scan --cached " +
                                               t.path() + " 2>/dev/null");
        test::runCommand(std::string("rm -rf ") + own.data());
        if (cached.status != 0 ||
            cached.out.find("\nUyarı: 2 klasör okunamadı") == std::string::npos)
            ::_exit(4);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (rc == 77) GTEST_SKIP() << "cannot drop to an unprivileged uid here";
    EXPECT_EQ(rc, 0);
}

// The program by itself in a folder, with nothing next to it to hand work
// over to, runs the cached commands and the cache folders' on its own, and
// loads no Qt library.
TEST(Cli, CachedRunsNeedNoOtherProgramAndNoQt) {
    TempDir area, alone, t;
    t.mkdir("a");
    const std::int64_t big = test::allocatedBytes(t.write("a/big", 300000));
    const std::int64_t total = big + test::allocatedBytes(t.write("small", 100));
    const std::string base = t.realPath();
    const std::string program = alone / "tidewell-cli";
    std::filesystem::copy_file(TIDEWELL_CLI_PATH, program);
    const CliRun libraries = test::runCommand("ldd " + program);
    ASSERT_EQ(libraries.status, 0);
    EXPECT_EQ(libraries.out.find("libQt"), std::string::npos) << libraries.out;

    const std::string env = "HOME=" + area.mkdir("home") + " XDG_DATA_HOME=" + (area / "data") +
                            " XDG_STATE_HOME=" + (area / "state") +
                            " XDG_CONFIG_HOME=" + (area / "config") +
                            " XDG_CACHE_HOME=" + (area / "cache") + " ";
    auto run = [&](const std::string& args) {
        return test::runCommand(env + program + " " + args + " 2>/dev/null");
    };
    const CliRun first = run("scan --cached " + t.path() + " --depth 1");
    ASSERT_EQ(first.status, 0);
    EXPECT_EQ(first.out.rfind("Tam tarama (önbellek yok) · ", 0), 0u) << first.out;
    EXPECT_NE(first.out.find("\n" + base + "\nToplam " + kilobytes(total) +
                             " · 4 öğe (2 dosya, 2 klasör)\n\n"),
              std::string::npos)
        << first.out;
    EXPECT_LT(first.out.find(" a/\n"), first.out.find(" small\n")) << first.out;
    {
        const test::ScopedEnv data("XDG_DATA_HOME", area / "data");
        const std::optional<TreeCache::Loaded> cached = TreeCache::load(base);
        ASSERT_TRUE(cached);
        EXPECT_EQ(cached->root->size(), total);
    }
    // Each run records anew without the service: the history before it has a gap.
    const CliRun second = run("scan --cached " + t.path());
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out.rfind("Tam tarama (değişiklik geçmişi güvenilmez: ", 0), 0u) << second.out;

    const CliRun top = run("top --cached " + t.path() + " -n 1");
    EXPECT_EQ(top.status, 0);
    EXPECT_EQ(top.out.rfind("Tam tarama (", 0), 0u) << top.out;
    EXPECT_NE(top.out.find("  " + base + "/a/big\n"), std::string::npos) << top.out;
    EXPECT_EQ(top.out.find("small"), std::string::npos) << top.out;
    EXPECT_EQ(run("smart --cached " + t.path()).status, 0);

    const CliRun caches = run("caches");
    EXPECT_EQ(caches.status, 0);
    EXPECT_EQ(caches.out, "Önbellek klasörü bulunamadı.\n");

    EXPECT_EQ(run("scan --cached").status, 2);
    EXPECT_EQ(run("scan --cached --json " + t.path()).status, 2);
    EXPECT_EQ(run("scan --cached --whole-disk " + t.path()).status, 2);
    EXPECT_EQ(run("scan --cached " + t / "missing").status, 1);
    EXPECT_EQ(run("top --cached " + t / "missing").status, 1);
}

TEST(Cli, ExitStatuses) {
    TempDir t;
    EXPECT_EQ(cli("scan " + t / "missing").status, 1);
    EXPECT_EQ(cli("scan").status, 2);
    EXPECT_EQ(cli("scan " + t.path() + " --depth x").status, 2);
    EXPECT_EQ(cli("scan " + t.path() + " --bogus").status, 2);
    EXPECT_EQ(cli("frobnicate").status, 2);
}

// Points XDG_STATE_HOME somewhere else for the life of the object.
class ScopedStateHome {
  public:
    explicit ScopedStateHome(const std::string& path) {
        if (const char* old = std::getenv("XDG_STATE_HOME")) old_ = old;
        ::setenv("XDG_STATE_HOME", path.c_str(), 1);
    }
    ~ScopedStateHome() {
        old_ ? ::setenv("XDG_STATE_HOME", old_->c_str(), 1) : ::unsetenv("XDG_STATE_HOME");
    }
    ScopedStateHome(const ScopedStateHome&) = delete;
    ScopedStateHome& operator=(const ScopedStateHome&) = delete;

  private:
    std::optional<std::string> old_;
};

TEST(Cli, HistoryCommands) {
    TempDir state;
    TempDir tree;
    tree.mkdir("a");
    const ScopedStateHome stateHome(state.path());
    const std::string dir = state / "Brackwater/history";
    ASSERT_TRUE(makeDirectories(dir, 0700));
    {
        auto recorder = ChangeRecorder::start(dir);
        ASSERT_TRUE(recorder);
        recorder->recordRoot(tree.path(), true);
        CliRun now = cli("history now");
        ASSERT_EQ(now.status, 0);
        const std::string since = now.out.substr(0, now.out.find('\n'));
        tree.write("a/new", 10);
        CliRun changes = cli("history changes " + tree.path() + " --since " + since);
        EXPECT_EQ(changes.status, 0);
        EXPECT_NE(changes.out.find("changed " + tree / "a" + "\n"), std::string::npos)
            << changes.out;
        CliRun stale = cli("history changes " + tree.path() + " --since 0");
        EXPECT_EQ(stale.status, 3);
        EXPECT_EQ(stale.out.rfind("unreliable: ", 0), 0u) << stale.out;
        // The recorder only records what Tidewell asks it to: a listed root is noted.
        TempDir other;
        CliRun watch = cli("history watch " + other.path());
        EXPECT_EQ(watch.status, 0);
        const std::vector<std::string> listed = history::listedRoots(dir);
        EXPECT_NE(std::find(listed.begin(), listed.end(), other.path()), listed.end());
    }
    EXPECT_EQ(cli("history watch " + tree / "missing").status, 1);
    EXPECT_EQ(cli("history changes " + tree.path()).status, 2);
}

}  // namespace
}  // namespace tidewell
