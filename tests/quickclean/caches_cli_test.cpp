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

}  // namespace
}  // namespace tidewell
