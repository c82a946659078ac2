#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "change_recorder.h"
#include "change_tracker.h"
#include "history_recording.h"
#include "history_roots.h"
#include "journal_history.h"
#include "scan_engine.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::TempDir;

bool contains(const std::vector<std::string>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

// A recorder on a temporary journal, recording a temporary tree.
class Recording : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.mkdir("a");
        tree.mkdir("b");
        tree.write("b/old", 100);
        tree.write("grow", 100);
        startRecorder();
    }
    void startRecorder(std::chrono::milliseconds flush = std::chrono::milliseconds(50)) {
        ChangeRecorder::Options options;
        options.flushInterval = flush;
        recorder = ChangeRecorder::start(journal.path(), options);
        ASSERT_TRUE(recorder);
        ASSERT_TRUE(recorder->recordRoot(tree.path(), true));
    }
    ChangeTracker::Answer ask(std::uint64_t since, std::int64_t maxEvents = 60000,
                              double timeout = 15.0, JournalHistory::Options o = {}) {
        JournalHistory history(journal.path(), o);
        return ChangeTracker::ask(history, tree.path(), since, maxEvents, timeout);
    }
    // The recorder's answer to a sync: everything it saw so far lies below it.
    std::uint64_t now() {
        const auto synced = JournalHistory(journal.path()).sync(std::chrono::seconds(10));
        EXPECT_TRUE(synced.id) << synced.failure;
        return synced.id.value_or(0);
    }

    TempDir tree;
    TempDir journal;
    std::unique_ptr<ChangeRecorder> recorder;
};

TEST_F(Recording, FileChangesNameTheirDirectories) {
    const std::uint64_t since = now();
    tree.write("a/new", 10);
    ::unlink((tree / "b/old").c_str());
    std::filesystem::rename(tree / "a/new", tree / "b/moved");
    tree.write("grow", 50000);

    const ChangeTracker::Answer answer = ask(since);
    ASSERT_TRUE(answer.changes) << answer.reason;
    const ChangeSet& cs = *answer.changes;
    EXPECT_TRUE(contains(cs.changedDirs, tree / "a"));
    EXPECT_TRUE(contains(cs.changedDirs, tree / "b"));
    EXPECT_TRUE(contains(cs.changedDirs, tree.path()));
    EXPECT_TRUE(cs.subtreeDirs.empty());

    // Nothing since the newest identifier: an empty set.
    const ChangeTracker::Answer quiet = ask(now());
    ASSERT_TRUE(quiet.changes) << quiet.reason;
    EXPECT_TRUE(quiet.changes->changedDirs.empty());
    EXPECT_TRUE(quiet.changes->subtreeDirs.empty());
}

TEST_F(Recording, NewSubdirectoryIsRescannedWholeAndWatched) {
    const std::uint64_t since = now();
    tree.mkdir("fresh");
    tree.mkdir("fresh/inner");
    tree.write("fresh/inner/x", 10);
    const ChangeTracker::Answer first = ask(since);
    ASSERT_TRUE(first.changes) << first.reason;
    EXPECT_TRUE(contains(first.changes->subtreeDirs, tree / "fresh"));
    EXPECT_TRUE(contains(first.changes->changedDirs, tree.path()));

    // Its subdirectories are watched from then on.
    const std::uint64_t later = now();
    tree.write("fresh/inner/y", 10);
    const ChangeTracker::Answer second = ask(later);
    ASSERT_TRUE(second.changes) << second.reason;
    EXPECT_TRUE(contains(second.changes->changedDirs, tree / "fresh/inner"));

    // A directory moved away leaves the watch table.
    const std::size_t watched = recorder->watchCount();
    std::filesystem::rename(tree / "fresh", journal / "fresh-away");
    ask(now());
    EXPECT_EQ(recorder->watchCount(), watched - 2);
}

TEST_F(Recording, EventCountAgainstMaximum) {
    recorder.reset();
    // One flush for everything, so each directory is one event.
    startRecorder(std::chrono::milliseconds(60000));
    for (int i = 0; i < 10; ++i) tree.mkdir("d" + std::to_string(i));
    ask(now());  // a sync writes the creations out before the identifier is taken
    const std::uint64_t since = now();
    for (int i = 0; i < 10; ++i) tree.write("d" + std::to_string(i) + "/f", 10);
    const ChangeTracker::Answer exact = ask(since, 10);
    ASSERT_TRUE(exact.changes) << exact.reason;
    EXPECT_EQ(exact.changes->changedDirs.size(), 10u);
    const ChangeTracker::Answer over = ask(since, 9);
    EXPECT_FALSE(over.changes);
    EXPECT_NE(over.reason.find("more than 9"), std::string::npos) << over.reason;
}

TEST_F(Recording, RestartIsAGapOnlyForEarlierIdentifiers) {
    const std::uint64_t before = now();
    recorder.reset();
    tree.write("a/while-stopped", 10);
    startRecorder();
    const ChangeTracker::Answer stale = ask(before);
    EXPECT_FALSE(stale.changes);
    const std::uint64_t after = now();
    tree.write("a/later", 10);
    const ChangeTracker::Answer fresh = ask(after);
    ASSERT_TRUE(fresh.changes) << fresh.reason;
    EXPECT_TRUE(contains(fresh.changes->changedDirs, tree / "a"));
}

TEST_F(Recording, SlowHistoryMissesTheDeadline) {
    const std::uint64_t since = now();
    tree.write("a/x", 10);
    JournalHistory::Options slow;
    slow.batchDelay = std::chrono::milliseconds(400);
    const auto started = std::chrono::steady_clock::now();
    const ChangeTracker::Answer answer = ask(since, 100, 0.1, slow);
    EXPECT_FALSE(answer.changes);
    EXPECT_NE(answer.reason.find("no answer within"), std::string::npos) << answer.reason;
    // The late batch is dropped with the stream, without holding the caller long.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST_F(Recording, FullScanLeavesTheTreeWatched) {
    recorder.reset();
    for (int i = 0; i < 5; ++i) tree.mkdir("a/s" + std::to_string(i));
    ChangeRecorder::Options options;
    recorder = ChangeRecorder::start(journal.path(), options);
    ASSERT_TRUE(recorder);
    recorder->recordRoot(tree.path(), false);
    EXPECT_EQ(recorder->watchCount(), 1u);
    ScanEngine engine;
    const std::uint64_t since = now();
    ASSERT_TRUE(engine.scan(tree.path(), std::nullopt, {}, {}, {}, recorder.get()));
    EXPECT_EQ(recorder->watchCount(), 8u);  // root, a, b and a/s0..s4
    tree.write("a/s3/new", 10);
    const ChangeTracker::Answer answer = ask(since);
    ASSERT_TRUE(answer.changes) << answer.reason;
    EXPECT_TRUE(contains(answer.changes->changedDirs, tree / "a/s3"));
}

TEST_F(Recording, BurstIsWrittenInFewWrites) {
    for (int i = 0; i < 200; ++i) tree.mkdir("a/d" + std::to_string(i));
    ask(now());  // settle the creations
    const std::size_t writesBefore = recorder->journalWrites();
    for (int round = 0; round < 5; ++round)
        for (int i = 0; i < 200; ++i)
            std::ofstream(tree / ("a/d" + std::to_string(i) + "/f")) << round;
    const ChangeTracker::Answer answer = ask(now() - 1);
    ASSERT_TRUE(answer.changes || !answer.reason.empty());
    // About 3000 inotify events; a handful of writes.
    EXPECT_LT(recorder->journalWrites() - writesBefore, 60u);
}

TEST(HistoryRecording, UsesTheServiceWhenItHoldsTheJournal) {
    TempDir journal, tree;
    tree.mkdir("x");
    {
        // The service: a recorder that follows the roots file.
        ChangeRecorder::Options service;
        service.followRootsFile = true;
        auto daemon = ChangeRecorder::start(journal.path(), service);
        ASSERT_TRUE(daemon);
        HistoryRecording app(journal.path());
        ASSERT_TRUE(app.identifierFor(tree.path()));
        EXPECT_TRUE(app.usesService());
        EXPECT_EQ(app.scanObserver(), nullptr);
        EXPECT_TRUE(daemon->isRecorded(tree / "x"));
        EXPECT_EQ(history::listedRoots(journal.path()), std::vector<std::string>{tree.path()});
        // The service watched the whole tree: changes below are seen at once.
        const std::uint64_t since = JournalHistory(journal.path()).currentEventId();
        tree.write("x/f", 10);
        JournalHistory h(journal.path());
        const auto answer = ChangeTracker::ask(h, tree.path(), since, 100, 5);
        ASSERT_TRUE(answer.changes) << answer.reason;
        EXPECT_TRUE(contains(answer.changes->changedDirs, tree / "x"));
    }
    // No service: the application records by itself.
    HistoryRecording app(journal.path());
    ASSERT_TRUE(app.identifierFor(tree.path()));
    EXPECT_FALSE(app.usesService());
    EXPECT_NE(app.scanObserver(), nullptr);
}

// A history that delivers what a test scripts, for the tracker's own rules.
class ScriptedHistory : public HistorySource {
  public:
    std::vector<std::vector<HistoryEvent>> batches;
    std::chrono::milliseconds pause{0};

    std::unique_ptr<HistoryStream> createStream(const std::string&, std::uint64_t,
                                                SerialQueue& queue,
                                                HistoryCallback callback) override {
        struct Stream : HistoryStream {
            ScriptedHistory* self;
            SerialQueue* queue;
            HistoryCallback cb;
            bool start() override {
                auto delay = std::chrono::milliseconds(0);
                for (const auto& b : self->batches) {
                    delay += self->pause;
                    queue->postAfter(delay, [cb = cb, b] { cb(b); });
                }
                return true;
            }
            void stop() override {}
        };
        auto s = std::make_unique<Stream>();
        s->self = this;
        s->queue = &queue;
        s->cb = std::move(callback);
        return s;
    }
    std::uint64_t currentEventId() override { return 1; }
};

TEST(ChangeTrackerRules, BatchesAnswerExactlyOnce) {
    const HistoryEvent done{{}, history::kHistoryDone, {}};
    ScriptedHistory h;
    h.batches = {{done}};
    auto a = ChangeTracker::ask(h, "/r", 0, 10, 5);
    ASSERT_TRUE(a.changes);
    EXPECT_TRUE(a.changes->changedDirs.empty() && a.changes->subtreeDirs.empty());

    h.batches = {{{"/r/x", history::kMustScanSubdirs, {}}, {"/r/y/", 0, {}}}, {done}};
    a = ChangeTracker::ask(h, "/r", 0, 10, 5);
    ASSERT_TRUE(a.changes);
    EXPECT_EQ(a.changes->subtreeDirs, std::vector<std::string>{"/r/x"});
    EXPECT_EQ(a.changes->changedDirs, std::vector<std::string>{"/r/y/"});

    h.batches = {{{"/r/x", 0, {}}, {{}, history::kKernelDropped, "lost"}, done}};
    a = ChangeTracker::ask(h, "/r", 0, 10, 5);
    EXPECT_FALSE(a.changes);
    EXPECT_EQ(a.reason, "lost");

    // A deadline before history-done; the later batch finds the answer given.
    h.batches = {{{"/r/x", 0, {}}}, {done}};
    h.pause = std::chrono::milliseconds(300);
    a = ChangeTracker::ask(h, "/r", 0, 10, 0.05);
    EXPECT_FALSE(a.changes);
}

}  // namespace
}  // namespace tidewell
