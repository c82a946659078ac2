// `tidewell-cli caches` as a script sees it: usage errors and the refusal to
// empty anything without a terminal to confirm on.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace {

int exitCode(const std::string& args) {
    const std::string command =
        std::string(TIDEWELL_CLI_PATH) + " caches " + args + " </dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CachesCommand, UsageErrors) {
    EXPECT_EQ(exitCode("--clean"), 2);
    EXPECT_EQ(exitCode("--frobnicate"), 2);
    EXPECT_EQ(exitCode("--clean .npm --clean .m2/repository --yes"), 2);
}

TEST(CachesCommand, CleanRefusesWithoutATerminalOrYes) {
    EXPECT_EQ(exitCode("--clean .npm"), 2);
}

}  // namespace
