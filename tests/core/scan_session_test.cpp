// The scan session on real folders, with the real cache file (under a
// private XDG_DATA_HOME) and the real in-process recorder and journal.
#include "scan_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/scoped_env.h"
#include "history_fixture.h"
#include "history_recording.h"
#include "journal_history.h"
#include "temp_tree.h"
#include "tree_cache.h"

namespace tidewell {
namespace {

using test::TempDir;
using Step = ScanStage::Step;

// Notes every step, and cancels the session when told to.
class Steps : public ScanSessionObserver {
  public:
    explicit Steps(std::stop_source& stop) : stop_(stop) {}

    void stageStarted(const ScanStage& stage) override {
        {
            std::lock_guard lock(mutex_);
            stages_.push_back(stage);
        }
        if (cancelAt && *cancelAt == stage.step) stop_.request_stop();
    }
    void progressed(const ScanProgress&) override {
        ++records;
        if (cancelOnRecord) stop_.request_stop();
    }
    std::vector<Step> steps() const {
        std::lock_guard lock(mutex_);
        std::vector<Step> out;
        for (const ScanStage& s : stages_) out.push_back(s.step);
        return out;
    }
    std::optional<ScanStage> stage(Step step) const {
        std::lock_guard lock(mutex_);
        for (const ScanStage& s : stages_)
            if (s.step == step) return s;
        return std::nullopt;
    }

    std::optional<Step> cancelAt;
    bool cancelOnRecord = false;
    std::atomic<int> records{0};

  private:
    std::stop_source& stop_;
    mutable std::mutex mutex_;
    std::vector<ScanStage> stages_;
};

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ScanSessionFlow : public ::testing::Test {
  protected:
    ScanSessionFlow() {
        tree.mkdir("a");
        tree.mkdir("b");
        tree.mkdir("b/inner");
        tree.write("a/one", 5000);
        tree.write("b/two", 12000);
        tree.write("b/inner/three", 300);
        tree.write("top", 100);
    }

    ScanServices services() const {
        return {std::make_shared<ScanEngine>(), recording,
                recording ? std::make_shared<JournalHistory>(journalDir) : nullptr};
    }

    // One session over the tree; `writes` counts what it handed to the cache.
    ScanOutcome run(Steps& steps, std::stop_source& stop, ScanServices with) {
        ScanSession session(std::move(with), {tree.path(), std::nullopt, {}},
                            [this](NodeRef root, const std::string& path, std::uint64_t id) {
                                ++writes;
                                writeCacheNow(std::move(root), path, id);
                            });
        return session.run(steps, stop.get_token());
    }
    ScanOutcome run(Steps& steps, std::stop_source& stop) { return run(steps, stop, services()); }
    ScanOutcome run() {
        std::stop_source stop;
        Steps steps(stop);
        return run(steps, stop);
    }

    // The difference between a tree and a scan made now; empty when none.
    std::string differenceFromDisk(const NodeRef& root) const {
        if (!root) return "no tree";
        const NodeRef fresh = ScanEngine().scan(tree.path(), std::nullopt, {}, {}, {});
        return test::treeDifference(*fresh, *root);
    }
    std::string cacheFile() const { return *TreeCache::filePath(tree.path()); }

    TempDir area;
    TempDir tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", area / "data"};
    const std::string journalDir = test::journalDirectoryIn(area / "state");
    std::shared_ptr<HistoryRecording> recording = std::make_shared<HistoryRecording>(journalDir);
    int writes = 0;
};

TEST_F(ScanSessionFlow, WithoutACacheTheLocationIsScannedAndSaved) {
    std::stop_source stop;
    Steps steps(stop);
    const ScanOutcome out = run(steps, stop);
    ASSERT_TRUE(out.root);
    EXPECT_FALSE(out.cancelled);
    EXPECT_FALSE(out.refreshed);
    EXPECT_EQ(out.fullScanCause, FullScanCause::noCache);
    EXPECT_EQ(fullScanReasonText(out), "önbellek yok");
    EXPECT_EQ(steps.steps(), (std::vector{Step::loadingCache, Step::scanning, Step::saving}));
    EXPECT_GT(steps.records.load(), 0);
    EXPECT_EQ(differenceFromDisk(out.root), "");
    EXPECT_EQ(out.root->size(), test::allocatedBytes(tree / "a/one") +
                                    test::allocatedBytes(tree / "b/two") +
                                    test::allocatedBytes(tree / "b/inner/three") +
                                    test::allocatedBytes(tree / "top"));

    ASSERT_TRUE(out.eventId);
    EXPECT_EQ(writes, 1);
    const std::optional<TreeCache::Loaded> cached = TreeCache::load(tree.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->eventId, *out.eventId);
    EXPECT_EQ(differenceFromDisk(cached->root), "");
}

TEST_F(ScanSessionFlow, ACachedTreeIsRefreshedReadingOnlyTheChangedFolders) {
    const ScanOutcome first = run();
    ASSERT_TRUE(first.root && first.eventId);

    // Nothing changed: nothing is read again, and the identifier moves on.
    std::stop_source stop;
    Steps steps(stop);
    const ScanOutcome same = run(steps, stop);
    ASSERT_TRUE(same.root);
    EXPECT_TRUE(same.refreshed) << fullScanReasonText(same);
    EXPECT_EQ(same.fullScanCause, FullScanCause::none);
    EXPECT_EQ(same.directoriesReread, 0);
    EXPECT_EQ(steps.steps(), (std::vector{Step::loadingCache, Step::askingHistory, Step::refreshing,
                                          Step::saving}));
    EXPECT_EQ(steps.stage(Step::refreshing)->folders, 0);
    ASSERT_TRUE(same.eventId);
    EXPECT_GT(*same.eventId, *first.eventId);
    EXPECT_EQ(differenceFromDisk(same.root), "");

    // One file added in one folder of three: that folder alone is read again.
    tree.write("b/inner/added", 40000);
    std::stop_source stop2;
    Steps steps2(stop2);
    const ScanOutcome changed = run(steps2, stop2);
    ASSERT_TRUE(changed.root);
    EXPECT_TRUE(changed.refreshed) << fullScanReasonText(changed);
    EXPECT_EQ(steps2.stage(Step::refreshing)->folders, 1);
    EXPECT_EQ(changed.directoriesReread, 1);
    EXPECT_EQ(differenceFromDisk(changed.root), "");
    const std::optional<TreeCache::Loaded> cached = TreeCache::load(tree.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->eventId, *changed.eventId);
    EXPECT_EQ(differenceFromDisk(cached->root), "");

    // A new folder with contents of its own, and a file gone.
    tree.mkdir("a/new");
    tree.mkdir("a/new/deep");
    tree.write("a/new/deep/file", 9000);
    std::filesystem::remove(tree / "top");
    const ScanOutcome more = run();
    EXPECT_TRUE(more.refreshed) << fullScanReasonText(more);
    EXPECT_EQ(differenceFromDisk(more.root), "");
    EXPECT_EQ(writes, 4);
}

TEST_F(ScanSessionFlow, AGapInTheHistoryMeansAFullScan) {
    ASSERT_TRUE(run().eventId);
    // The recorder stops: what happens until the next one starts is not in the history.
    recording.reset();
    tree.write("a/while-nobody-watched", 7000);
    recording = std::make_shared<HistoryRecording>(journalDir);
    const ScanOutcome gap = run();
    ASSERT_TRUE(gap.root);
    EXPECT_FALSE(gap.refreshed);
    EXPECT_EQ(gap.fullScanCause, FullScanCause::historyUnreliable);
    EXPECT_FALSE(gap.historyReason.empty());
    EXPECT_EQ(fullScanReasonText(gap), "değişiklik geçmişi güvenilmez: " + gap.historyReason);
    EXPECT_EQ(differenceFromDisk(gap.root), "");
    // Recorded without a break since: the next change is refreshed.
    tree.write("b/later", 3000);
    const ScanOutcome after = run();
    EXPECT_TRUE(after.refreshed) << fullScanReasonText(after);
    EXPECT_EQ(differenceFromDisk(after.root), "");
}

TEST_F(ScanSessionFlow, ACacheFromAnotherJournalIsNotTrusted) {
    ASSERT_TRUE(run().eventId);
    // The journal's folder is replaced: its identifiers mean nothing to the new one.
    recording.reset();
    std::filesystem::remove_all(journalDir);
    test::journalDirectoryIn(area / "state");
    recording = std::make_shared<HistoryRecording>(journalDir);
    tree.write("a/meanwhile", 2000);
    const ScanOutcome out = run();
    ASSERT_TRUE(out.root);
    EXPECT_EQ(out.fullScanCause, FullScanCause::historyUnreliable);
    EXPECT_EQ(differenceFromDisk(out.root), "");
    const std::optional<TreeCache::Loaded> cached = TreeCache::load(tree.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->eventId, *out.eventId);
}

TEST_F(ScanSessionFlow, ADamagedCacheMeansAFullScanAndIsReplaced) {
    ASSERT_TRUE(run().eventId);
    std::vector<unsigned char> bytes = fileBytes(cacheFile());
    ASSERT_GT(bytes.size(), 40u);
    bytes[bytes.size() / 2] ^= 0x20;
    std::ofstream(cacheFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ASSERT_FALSE(TreeCache::load(tree.path()));

    const ScanOutcome out = run();
    ASSERT_TRUE(out.root);
    EXPECT_FALSE(out.refreshed);
    EXPECT_EQ(out.fullScanCause, FullScanCause::noCache);
    EXPECT_EQ(differenceFromDisk(out.root), "");
    const std::optional<TreeCache::Loaded> cached = TreeCache::load(tree.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->eventId, *out.eventId);
}

TEST_F(ScanSessionFlow, CancellingAtEachStepWritesNoCache) {
    auto cancelled = [&](std::optional<Step> at, bool onRecord) {
        std::stop_source stop;
        Steps steps(stop);
        steps.cancelAt = at;
        steps.cancelOnRecord = onRecord;
        return run(steps, stop);
    };
    // The first session of a location: nothing may be cached.
    for (const std::optional<Step> at :
         {std::optional(Step::loadingCache), std::optional(Step::scanning),
          std::optional(Step::saving), std::optional<Step>()}) {
        const ScanOutcome out = cancelled(at, !at);
        EXPECT_TRUE(out.cancelled);
        EXPECT_FALSE(out.root);
        EXPECT_FALSE(out.eventId);
        EXPECT_FALSE(std::filesystem::exists(cacheFile()));
    }
    EXPECT_EQ(writes, 0);

    // With a cache: a changed tree would change it, but a cancelled session leaves it as it was.
    ASSERT_TRUE(run().eventId);
    const std::vector<unsigned char> saved = fileBytes(cacheFile());
    writes = 0;
    int round = 0;
    for (const std::optional<Step> at :
         {std::optional(Step::loadingCache), std::optional(Step::askingHistory),
          std::optional(Step::refreshing), std::optional(Step::saving), std::optional<Step>()}) {
        tree.write("a/change" + std::to_string(round++), 1000);
        const ScanOutcome out = cancelled(at, !at);
        EXPECT_TRUE(out.cancelled);
        EXPECT_FALSE(out.root);
        EXPECT_EQ(fileBytes(cacheFile()), saved);
    }
    EXPECT_EQ(writes, 0);

    // The cached tree is still good, and every change since comes back.
    const ScanOutcome after = run();
    EXPECT_TRUE(after.refreshed) << fullScanReasonText(after);
    EXPECT_EQ(differenceFromDisk(after.root), "");
}

TEST_F(ScanSessionFlow, WithoutAHistoryNothingIsCached) {
    const ScanOutcome fresh = run();
    ASSERT_TRUE(fresh.eventId);
    const std::vector<unsigned char> saved = fileBytes(cacheFile());
    writes = 0;

    // A cache, but no way to know what changed since.
    recording.reset();
    std::stop_source stop;
    Steps steps(stop);
    tree.write("b/new", 1000);
    const ScanOutcome out = run(steps, stop);
    ASSERT_TRUE(out.root);
    EXPECT_EQ(out.fullScanCause, FullScanCause::historyUnavailable);
    EXPECT_EQ(fullScanReasonText(out),
              "değişiklik geçmişi güvenilmez: değişiklik geçmişi kaydedilemiyor");
    EXPECT_EQ(steps.steps(),
              (std::vector{Step::loadingCache, Step::askingHistory, Step::scanning}));
    EXPECT_FALSE(out.eventId);
    EXPECT_EQ(differenceFromDisk(out.root), "");
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(fileBytes(cacheFile()), saved);
}

// A location that cannot be examined ends with no tree and no cache; so does
// a failure inside the session, which never leaves its thread as an exception.
TEST_F(ScanSessionFlow, FailuresEndWithoutATree) {
    std::stop_source stop;
    Steps steps(stop);
    ScanSession missing(services(), {tree / "missing", std::nullopt, {}});
    const ScanOutcome none = missing.run(steps, stop.get_token());
    EXPECT_FALSE(none.root);
    EXPECT_FALSE(none.cancelled);
    EXPECT_FALSE(none.eventId);

    ScanSession throwing(
        services(), {tree.path(), std::nullopt, {}},
        [](NodeRef, const std::string&, std::uint64_t) { throw std::runtime_error("disk full"); });
    const ScanOutcome failed = throwing.run(steps, stop.get_token());
    EXPECT_FALSE(failed.root);
    EXPECT_FALSE(failed.cancelled);
    EXPECT_FALSE(std::filesystem::exists(cacheFile()));
}

}  // namespace
}  // namespace tidewell
