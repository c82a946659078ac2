// `tidewell-cli caches` as a script sees it: usage errors and the refusal to
// empty anything without a terminal to confirm on, each told apart by its
// message (both exit with 2), and nothing touched either way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "temp_tree.h"

namespace tidewell {
namespace {

using test::TempDir;

// Runs `tidewell-cli caches ARGS` with no terminal on standard input and
// HOME in `home`; the standard output is dropped, the standard error kept.
test::CommandRun caches(const TempDir& home, const std::string& args) {
    return test::runCommand("HOME='" + home.path() + "' " + TIDEWELL_CLI_PATH + " caches " + args +
                            " </dev/null 2>&1 >/dev/null");
}

TEST(CachesCommand, UsageErrorsAndTheMissingConfirmationChangeNothing) {
    TempDir home;
    home.mkdir(".npm");
    home.write(".npm/keep", 100);
    home.mkdir(".m2");
    home.mkdir(".m2/repository");
    home.write(".m2/repository/keep", 100);

    for (const char* args :
         {"--clean", "--frobnicate", "--clean .npm --clean .m2/repository --yes"}) {
        const test::CommandRun run = caches(home, args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out.rfind("Kullanım: tidewell-cli caches", 0), 0u) << args << ": " << run.out;
    }

    const test::CommandRun refused = caches(home, "--clean .npm");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.out.find("onay sorulamıyor"), std::string::npos) << refused.out;

    EXPECT_TRUE(std::filesystem::exists(home / ".npm/keep"));
    EXPECT_TRUE(std::filesystem::exists(home / ".m2/repository/keep"));
}

// Listing and emptying, as the panel does them, from the command line alone.
TEST(CachesCommand, ListsThePresentFoldersAndEmptiesOne) {
    TempDir home;
    TempDir data;
    home.mkdir(".npm");
    home.write(".npm/blob", 50000);
    home.mkdir(".npm/sub");
    home.write(".npm/sub/small", 100);
    home.mkdir(".cache");
    home.mkdir(".cache/pip");
    const std::string env = "HOME='" + home.path() + "' XDG_DATA_HOME='" + data.path() + "' ";
    auto run = [&](const std::string& args) {
        return test::runCommand(env + TIDEWELL_CLI_PATH + " caches " + args + " </dev/null 2>&1");
    };

    const test::CommandRun listed = run("");
    EXPECT_EQ(listed.status, 0);
    const std::int64_t npm =
        test::allocatedBytes(home / ".npm/blob") + test::allocatedBytes(home / ".npm/sub/small");
    const std::string npmSize = std::to_string((npm + 500) / 1000) + " KB";
    EXPECT_EQ(listed.out, std::string(10 - npmSize.size(), ' ') + npmSize +
                              "  npm önbelleği (.npm)\n       0 B  pip önbelleği (.cache/pip)\n");

    const test::CommandRun emptied = run("--clean .npm --yes");
    EXPECT_EQ(emptied.status, 0) << emptied.out;
    EXPECT_EQ(emptied.out, "npm önbelleği boşaltıldı · şimdi 0 B\n");
    EXPECT_TRUE(std::filesystem::is_empty(home / ".npm"));
    // Moved to the Trash, not deleted.
    EXPECT_TRUE(std::filesystem::exists(data / "Trash/files/blob"));
    EXPECT_TRUE(std::filesystem::exists(data / "Trash/files/sub/small"));

    const test::CommandRun unknown = run("--clean .gradle/caches --yes");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.out.find("böyle bir önbellek klasörü yok"), std::string::npos) << unknown.out;
}

}  // namespace
}  // namespace tidewell
