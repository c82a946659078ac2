#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "temp_tree.h"

namespace tidewell {
namespace {

using test::TempDir;

using CliRun = test::CommandRun;
using test::cli;

std::size_t lineCount(const std::string& s) {
    std::size_t n = 0;
    for (const char c : s) n += c == '\n' ? 1 : 0;
    return n;
}

TEST(CliReport, TopListsTheLargestFileFirstAndHonoursTheLimit) {
    TempDir t;
    t.mkdir("deep");
    t.mkdir("deep/er");
    t.write("deep/er/huge.bin", 300000);
    t.write("medium.bin", 120000);
    t.write("small.txt", 10);
    t.write("empty", 0);

    const CliRun all = cli("top " + t.path());
    ASSERT_EQ(all.status, 0);
    EXPECT_EQ(lineCount(all.out), 4u) << all.out;
    EXPECT_NE(all.out.find(t / "deep/er/huge.bin"), std::string::npos) << all.out;
    EXPECT_LT(all.out.find("huge.bin"), all.out.find("medium.bin"));
    EXPECT_LT(all.out.find("medium.bin"), all.out.find("small.txt"));
    // Directories are never listed.
    EXPECT_EQ(all.out.find(t / "deep\n"), std::string::npos);

    const CliRun two = cli("top -n 2 " + t.path());
    ASSERT_EQ(two.status, 0);
    EXPECT_EQ(lineCount(two.out), 2u) << two.out;
    EXPECT_EQ(two.out.find("small.txt"), std::string::npos);
    // Sizes are right-aligned: both lines put the path in the same column.
    const std::size_t secondLine = two.out.find('\n') + 1;
    EXPECT_EQ(two.out.find(t.path()), two.out.find(t.path(), secondLine) - secondLine) << two.out;
}

// A size between 1 KB and 1 MB as the reports print it: whole decimal kilobytes.
std::string kilobytes(std::int64_t bytes) {
    return std::to_string((bytes + 500) / 1000) + " KB";
}

TEST(CliReport, SmartShowsCategoriesWithTheirItems) {
    TempDir t;
    t.mkdir("web");
    t.mkdir("web/node_modules");
    const std::int64_t lib = test::allocatedBytes(t.write("web/node_modules/lib.js", 80000));
    t.mkdir(".cache");
    const std::int64_t thumb = test::allocatedBytes(t.write(".cache/thumb.png", 9000));

    const CliRun r = cli("smart " + t.path());
    ASSERT_EQ(r.status, 0);
    // Each category with its total and count, then its items, sized from the disk.
    const std::string node = "node_modules klasörleri · " + kilobytes(lib) + " · 1 öğe\n" + "    " +
                             kilobytes(lib) + "  " + t / "web/node_modules\n";
    const std::string caches = "Uygulama önbellekleri · " + kilobytes(thumb) + " · 1 öğe\n" +
                               "    " + kilobytes(thumb) + "  " + t / ".cache/thumb.png\n";
    EXPECT_NE(r.out.find(node), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(caches), std::string::npos) << r.out;
    // Largest category first.
    EXPECT_LT(r.out.find(node), r.out.find(caches));

    TempDir clean;
    clean.write("notes.txt", 100);
    const CliRun none = cli("smart " + clean.path());
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.find("klasörleri"), std::string::npos) << none.out;
}

// Points the cache, history and settings of the cached runs at a temporary
// folder for the life of the object.
class PrivateXdgHomes {
  public:
    PrivateXdgHomes() {
        for (const char* name : kNames) {
            const char* old = std::getenv(name);
            saved_.push_back(old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            ::setenv(name, (dir_ / name).c_str(), 1);
        }
    }
    ~PrivateXdgHomes() {
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            if (saved_[i])
                ::setenv(kNames[i], saved_[i]->c_str(), 1);
            else
                ::unsetenv(kNames[i]);
        }
    }
    PrivateXdgHomes(const PrivateXdgHomes&) = delete;
    PrivateXdgHomes& operator=(const PrivateXdgHomes&) = delete;

  private:
    static constexpr const char* kNames[] = {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                             "XDG_STATE_HOME"};
    TempDir dir_;
    std::vector<std::optional<std::string>> saved_;
};

TEST(CliReport, ExitStatuses) {
    TempDir t;
    EXPECT_EQ(cli("top " + t / "missing").status, 1);
    EXPECT_EQ(cli("smart " + t / "missing").status, 1);
    EXPECT_EQ(cli("top").status, 2);
    EXPECT_EQ(cli("smart").status, 2);
    EXPECT_EQ(cli("top " + t.path() + " -n").status, 2);
    EXPECT_EQ(cli("top " + t.path() + " -n 0").status, 2);
    EXPECT_EQ(cli("top " + t.path() + " -n x").status, 2);
    EXPECT_EQ(cli("smart " + t.path() + " -n 3").status, 2);
    EXPECT_EQ(cli("top " + t.path() + " " + t.path()).status, 2);
    EXPECT_EQ(cli("top --cached").status, 2);
    EXPECT_EQ(cli("top " + t.path()).status, 0);
}

}  // namespace
}  // namespace tidewell
