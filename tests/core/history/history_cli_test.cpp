// The change history through tidewell-cli, with tidewell-historyd running,
// exactly as a user meets it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "history_fixture.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::TempDir;

class CliWithService : public ::testing::Test {
  protected:
    void SetUp() override { service = std::make_unique<test::HistoryService>(area / "state"); }
    void TearDown() override { service.reset(); }

    test::CommandRun cli(const std::string& args) const {
        const std::string env =
            "XDG_STATE_HOME=" + (area / "state") + " XDG_CACHE_HOME=" + (area / "cache") +
            " XDG_CONFIG_HOME=" + (area / "config") + " XDG_DATA_HOME=" + (area / "data") + " ";
        return test::runCommand(env + TIDEWELL_CLI_PATH + " " + args + " 2>&1");
    }

    TempDir area;
    std::unique_ptr<test::HistoryService> service;
};

bool has(const test::CommandRun& r, const std::string& text) {
    return r.out.find(text) != std::string::npos;
}

TEST_F(CliWithService, RootRemovedAndMadeAgainIsNeverShownStale) {
    const std::string s = area.mkdir("S");
    const test::CommandRun watch = cli("history watch " + s);
    EXPECT_TRUE(has(watch, "Kaydediliyor")) << watch.out;
    EXPECT_TRUE(has(cli("scan --cached " + s), "Tam tarama"));
    std::filesystem::remove_all(s);
    area.mkdir("S");
    const test::CommandRun again = cli("scan --cached " + s);
    EXPECT_TRUE(has(again, "Tam tarama")) << again.out;
    area.write("S/more", 3000000);
    const test::CommandRun after = cli("scan --cached " + s);
    EXPECT_EQ(after.status, 0);
    EXPECT_TRUE(has(after, "Toplam 3.0 MB")) << after.out;
    EXPECT_FALSE(has(after, "0 klasör yeniden okundu")) << after.out;
    // From then on the history is whole again: the next change is refreshed.
    area.write("S/another", 1000000);
    const test::CommandRun refreshed = cli("scan --cached " + s);
    EXPECT_TRUE(has(refreshed, "Önbellekten güncellendi")) << refreshed.out;
    EXPECT_TRUE(has(refreshed, "Toplam 4.0 MB")) << refreshed.out;
}

// With the service recording between runs, each cached run reads again only
// the folders that changed, and its reports come from the refreshed tree.
TEST_F(CliWithService, CachedRunsReadOnlyWhatChanged) {
    const std::string s = area.mkdir("S");
    area.mkdir("S/a");
    area.mkdir("S/b");
    area.write("S/a/one", 1000000);
    area.write("S/b/two", 2000000);
    const test::CommandRun first = cli("scan --cached " + s);
    EXPECT_EQ(first.out.rfind("Tam tarama (önbellek yok) · ", 0), 0u) << first.out;
    const test::CommandRun same = cli("scan --cached " + s);
    EXPECT_EQ(same.out.rfind("Önbellekten güncellendi: 0 klasör yeniden okundu · ", 0), 0u)
        << same.out;
    EXPECT_TRUE(has(same, "Toplam 3.0 MB")) << same.out;

    area.write("S/a/grown", 4000000);
    const test::CommandRun grown = cli("scan --cached " + s + " --depth 1");
    EXPECT_EQ(grown.status, 0);
    EXPECT_EQ(grown.out.rfind("Önbellekten güncellendi: 1 klasör yeniden okundu · ", 0), 0u)
        << grown.out;
    EXPECT_TRUE(has(grown, "Toplam 7.0 MB · 6 öğe (3 dosya, 3 klasör)")) << grown.out;
    // The rows, largest first (the temporary folder's own name may hold "b/").
    EXPECT_LT(grown.out.find(" a/\n"), grown.out.find(" b/\n")) << grown.out;
    EXPECT_NE(grown.out.find(" b/\n"), std::string::npos) << grown.out;

    area.write("S/b/three", 5000000);
    const test::CommandRun top = cli("top --cached " + s + " -n 1");
    EXPECT_EQ(top.status, 0);
    EXPECT_EQ(top.out.rfind("Önbellekten güncellendi: 1 klasör yeniden okundu · ", 0), 0u)
        << top.out;
    EXPECT_TRUE(has(top, "  " + s + "/b/three\n")) << top.out;
    const test::CommandRun smart = cli("smart --cached " + s);
    EXPECT_EQ(smart.out.rfind("Önbellekten güncellendi: 0 klasör yeniden okundu · ", 0), 0u)
        << smart.out;
}

TEST_F(CliWithService, AFileUnderAWatchedFolderIsReadAgain) {
    area.mkdir("S");
    const std::string file = area.write("S/file", 1000);
    EXPECT_EQ(cli("history watch " + (area / "S")).status, 0);
    EXPECT_EQ(cli("scan --cached " + file).status, 0);
    area.write("S/file", 2000000);
    const test::CommandRun grown = cli("scan --cached " + file);
    EXPECT_TRUE(has(grown, "Tam tarama")) << grown.out;
    EXPECT_TRUE(has(grown, "Toplam 2.0 MB")) << grown.out;
}

TEST_F(CliWithService, IdentifiersTheJournalNeverGaveAreUnreliable) {
    const std::string s = area.mkdir("S");
    ASSERT_EQ(cli("history watch " + s).status, 0);
    const test::CommandRun now = cli("history now");
    ASSERT_EQ(now.status, 0);
    const std::uint64_t id = std::stoull(now.out);
    const test::CommandRun current = cli("history changes " + s + " --since " + std::to_string(id));
    EXPECT_EQ(current.status, 0) << current.out;
    for (const std::uint64_t since : {id + 5, std::uint64_t{0}, id - (std::uint64_t{1} << 40)}) {
        const test::CommandRun r =
            cli("history changes " + s + " --since " + std::to_string(since));
        EXPECT_EQ(r.status, 3) << since << ": " << r.out;
        EXPECT_EQ(r.out.rfind("unreliable: ", 0), 0u) << r.out;
    }
}

}  // namespace
}  // namespace tidewell
