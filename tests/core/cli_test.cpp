#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "temp_tree.h"

namespace tidewell {
namespace {

using test::TempDir;

struct CliRun {
    int status;
    std::string out;
};

CliRun cli(const std::string& args) {
    const std::string cmd = std::string(TIDEWELL_CLI_PATH) + " " + args + " 2>/dev/null";
    CliRun r{-1, {}};
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

TEST(Cli, ScanPrintsSummaryTreeAndJson) {
    TempDir t;
    t.mkdir("big");
    t.write("big/blob", 200000);
    t.write("small", 10);
    t.write("q\"uote\xff", 10);

    CliRun text = cli("scan " + t.path() + " --depth 1");
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("3 dosya, 2 klasör"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("big/"), std::string::npos);
    // Largest first.
    EXPECT_LT(text.out.find("big/"), text.out.find("small"));

    CliRun json = cli("scan --json --depth 1 " + t.path());
    ASSERT_EQ(json.status, 0);
    EXPECT_EQ(json.out.rfind("{\"path\":\"" + t.path() + "\"", 0), 0u) << json.out;
    EXPECT_NE(json.out.find("\"files\":3,\"directories\":2,\"elapsedMs\":"), std::string::npos);
    EXPECT_NE(json.out.find("\"name\":\"big\""), std::string::npos);
    // Raw bytes are shown repaired and escaped.
    EXPECT_NE(json.out.find("q\\\"uote\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(json.out.find("blob"), std::string::npos);  // below --depth
}

TEST(Cli, ExitStatuses) {
    TempDir t;
    EXPECT_EQ(cli("scan " + t / "missing").status, 1);
    EXPECT_EQ(cli("scan").status, 2);
    EXPECT_EQ(cli("scan " + t.path() + " --depth x").status, 2);
    EXPECT_EQ(cli("scan " + t.path() + " --bogus").status, 2);
    EXPECT_EQ(cli("frobnicate").status, 2);
}

}  // namespace
}  // namespace tidewell
