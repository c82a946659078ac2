#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "change_recorder.h"
#include "change_tracker.h"
#include "history_fixture.h"
#include "history_mounts.h"
#include "history_recording.h"
#include "history_roots.h"
#include "journal.h"
#include "journal_history.h"
#include "journal_writer.h"
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
    // Whether the journal holds a record with these flags for `path` after `since`.
    bool journalHas(std::uint32_t flags, const std::string& path, std::uint64_t since) {
        now();
        bool found = false;
        journal::readSince(journal.path(), since, [&](const journal::Record& r) {
            found = found || (r.flags == flags && r.path == path);
            return true;
        });
        return found;
    }
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
    slow.delay = std::chrono::seconds(5);
    const auto started = std::chrono::steady_clock::now();
    const ChangeTracker::Answer answer = ask(since, 100, 0.1, slow);
    EXPECT_FALSE(answer.changes);
    EXPECT_NE(answer.reason.find("no answer within"), std::string::npos) << answer.reason;
    // The deadline ends the pause: the caller is not held for it.
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

// A folder made, then its parent moved before the recorder got to either:
// the folder's new place is watched all the same.
TEST_F(Recording, AFolderMadeJustBeforeItsParentMovedIsWatched) {
    for (int round = 0; round < 20; ++round) {
        const std::string from = "p" + std::to_string(round);
        const std::string to = "q" + std::to_string(round);
        tree.mkdir(from);
        now();
        tree.mkdir(from + "/made");
        std::filesystem::rename(tree / from, tree / to);
        now();
        const std::uint64_t since = now();
        tree.write(to + "/made/f", 10);
        const ChangeTracker::Answer answer = ask(since);
        ASSERT_TRUE(answer.changes) << answer.reason;
        EXPECT_TRUE(contains(answer.changes->changedDirs, tree / (to + "/made"))) << round;
    }
}

TEST_F(Recording, PermissionChangesAreRecorded) {
    const std::uint64_t since = now();
    ASSERT_EQ(::chmod((tree / "a").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((tree / "b/old").c_str(), 0600), 0);
    const ChangeTracker::Answer answer = ask(since);
    ASSERT_TRUE(answer.changes) << answer.reason;
    // What a scan can read of the folder may have changed: all of it is read again.
    EXPECT_TRUE(contains(answer.changes->subtreeDirs, tree / "a"));
    EXPECT_TRUE(contains(answer.changes->changedDirs, tree / "b"));
}

TEST_F(Recording, ALostRootIsAGapUntilRecordedAgainWhole) {
    const std::uint64_t since = now();
    std::filesystem::rename(tree.path(), tree.path() + ".away");
    std::filesystem::rename(tree.path() + ".away", tree.path());
    const std::uint64_t after = now();
    EXPECT_FALSE(recorder->isRecorded(tree / "a"));
    EXPECT_TRUE(journalHas(journal::kRootLost, tree.path(), since));
    EXPECT_FALSE(ask(since).changes);
    EXPECT_FALSE(ask(after).changes) << "no longer recorded at all";

    const std::optional<std::uint64_t> again = recorder->recordRoot(tree.path(), true);
    ASSERT_TRUE(again);
    EXPECT_GT(*again, after);
    EXPECT_FALSE(ask(after).changes) << "recorded anew after that identifier";
    const std::uint64_t later = now();
    tree.write("b/new", 10);
    const ChangeTracker::Answer answer = ask(later);
    ASSERT_TRUE(answer.changes) << answer.reason;
    EXPECT_TRUE(contains(answer.changes->changedDirs, tree / "b"));
}

TEST_F(Recording, AFolderThatCannotBeWatchedIsAGap) {
    const std::uint64_t since = now();
    test::makeDeepChain(tree / "long");
    EXPECT_FALSE(ask(since).changes);
    EXPECT_TRUE(journalHas(journal::kUserDropped, tree.path(), since));
    EXPECT_FALSE(recorder->isRecorded(tree.path()));
    // Recording it again meets the same folder.
    EXPECT_FALSE(recorder->recordRoot(tree.path(), true));
    const int fd = ::open(tree.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    test::removeTree(fd, "long");
    ::close(fd);
    EXPECT_TRUE(recorder->recordRoot(tree.path(), true));
}

TEST_F(Recording, NeitherAFileNorAnUnwatchableFileSystemIsRecorded) {
    EXPECT_FALSE(recorder->recordRoot(tree / "grow", true));
    EXPECT_FALSE(recorder->recordRoot("/proc/self", false));
    EXPECT_TRUE(recorder->recordRoot(tree / "a", false)) << "a folder under a recorded root";
    // The history of a recorded folder says nothing about a file root in it.
    const std::uint64_t since = now();
    tree.write("grow", 5000);
    JournalHistory history(journal.path());
    const ChangeTracker::Answer answer =
        ChangeTracker::ask(history, tree / "grow", since, 60000, 15.0);
    EXPECT_FALSE(answer.changes);
}

TEST_F(Recording, StopsWhenItsFolderIsRemoved) {
    std::filesystem::remove_all(journal.path());
    pollfd p{recorder->stoppedFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 30000), 1);
    EXPECT_FALSE(recorder->running());
    EXPECT_NE(recorder->failure().find("removed"), std::string::npos) << recorder->failure();
    EXPECT_FALSE(recorder->recordRoot(tree.path(), true));

    std::filesystem::create_directory(journal.path());
    EXPECT_FALSE(journal::writerIsRunning(journal.path()));
    auto next = ChangeRecorder::start(journal.path());
    ASSERT_TRUE(next);
    ASSERT_TRUE(next->recordRoot(tree.path(), true));
    tree.write("a/x", 10);
    now();
    // Nothing of the stopped recorder's reaches the new journal.
    for (const journal::Segment& s : journal::listSegments(journal.path()))
        EXPECT_EQ(journal::epochOf(s.firstId), journal::epochOf(next->lastId()));
}

TEST(HistoryMounts, WhatCanChangeUnseen) {
    const std::string info =
        "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
        "21 26 0:20 / /proc rw - proc proc rw\n"
        "40 26 0:40 / /home/u/nas rw shared:5 - cifs //srv/share rw\n"
        "41 26 0:41 / /home/u/My\\040Disk rw - fuse.sshfs host: rw\n"
        "42 26 7:0 / /home/u/usb rw - ext4 /dev/loop0 rw\n"
        "43 26 8:17 / /home/u/ntfs rw - fuseblk /dev/sdb1 rw\n";
    const std::vector<history::Mount> mounts = parseMountInfo(info);
    ASSERT_EQ(mounts.size(), 6u);
    EXPECT_EQ(mounts[3].mountPoint, "/home/u/My Disk");
    auto reason = [&](std::string_view root, std::vector<std::string> skips = {}) {
        return history::unwatchableReason(mounts, root, skips);
    };
    EXPECT_NE(reason("/home/u").find("cifs"), std::string::npos);
    EXPECT_EQ(reason("/home/u/usb"), "");
    EXPECT_EQ(reason("/home/u/ntfs/x"), "");
    EXPECT_NE(reason("/home/u/My Disk/x").find("fuse.sshfs"), std::string::npos);
    EXPECT_NE(reason("/proc/1").find("proc"), std::string::npos);
    // A whole-disk root leaves out what its scan skips.
    EXPECT_EQ(reason("/", {"/proc", "/home/u/nas", "/home/u/My Disk"}), "");

    // The stick unplugged and plugged in again at the same place.
    std::vector<history::Mount> later = mounts;
    later.erase(later.begin() + 4);
    later.push_back({"44", "/home/u/usb", "ext4"});
    EXPECT_EQ(history::changedMountPoints(mounts, later),
              (std::vector<std::string>{"/home/u/usb", "/home/u/usb"}));
    EXPECT_TRUE(history::changedMountPoints(mounts, mounts).empty());
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
    const std::shared_ptr<ScanObserver> first = app.scanObserver();
    EXPECT_NE(first, nullptr);
    // Its recorder's folder removed: a new one starts in a new folder.
    std::filesystem::remove_all(journal.path());
    EXPECT_TRUE(app.identifierFor(tree.path()));
    EXPECT_NE(app.scanObserver(), first);
    EXPECT_TRUE(journal::writerIsRunning(journal.path()));
}

// Another copy of the application may hold the journal: its recorder then
// answers for this one, which adds no watches of its own while scanning.
TEST(HistoryRecording, ARecorderAskedByAnotherWatchesTheWholeTree) {
    TempDir journal, tree;
    tree.mkdir("deep");
    tree.mkdir("deep/er");
    HistoryRecording first(journal.path());
    ASSERT_TRUE(first.identifierFor(tree.path()));  // records the root, leaves the rest to scans
    ASSERT_FALSE(first.usesService());
    HistoryRecording second(journal.path());
    test::UpdatedTree updated(second, journal.path(), tree.path());
    updated.update();
    EXPECT_TRUE(second.usesService());
    tree.write("deep/er/new", 5000);
    updated.update();
    EXPECT_TRUE(updated.refreshed());
    EXPECT_EQ(updated.differenceFromFreshScan(), "");
}

// A history that hands out what a test scripts, pausing before each event.
class ScriptedHistory : public HistorySource {
  public:
    std::vector<HistoryEvent> events;
    std::chrono::milliseconds pause{0};
    int handedOut = 0;

    void replay(const std::string&, std::uint64_t, std::chrono::steady_clock::time_point deadline,
                const HistorySink& sink) override {
        handedOut = 0;
        for (const HistoryEvent& e : events) {
            std::this_thread::sleep_for(pause);
            if (std::chrono::steady_clock::now() >= deadline) return;
            ++handedOut;
            if (!sink(e)) return;
        }
    }
    std::uint64_t currentEventId() override { return 1; }
};

TEST(ChangeTrackerRules, TheFirstDecidingEventAnswers) {
    const HistoryEvent done{{}, history::kHistoryDone, {}};
    ScriptedHistory h;
    h.events = {done};
    auto a = ChangeTracker::ask(h, "/r", 0, 10, 5);
    ASSERT_TRUE(a.changes);
    EXPECT_TRUE(a.changes->changedDirs.empty() && a.changes->subtreeDirs.empty());

    h.events = {{"/r/x", history::kMustScanSubdirs, {}}, {"/r/y/", 0, {}}, done};
    a = ChangeTracker::ask(h, "/r", 0, 10, 5);
    ASSERT_TRUE(a.changes);
    EXPECT_EQ(a.changes->subtreeDirs, std::vector<std::string>{"/r/x"});
    EXPECT_EQ(a.changes->changedDirs, std::vector<std::string>{"/r/y/"});

    // An unreliable mark stops the replay there.
    h.events = {{"/r/x", 0, {}}, {{}, history::kKernelDropped, "lost"}, {"/r/z", 0, {}}, done};
    a = ChangeTracker::ask(h, "/r", 0, 10, 5);
    EXPECT_FALSE(a.changes);
    EXPECT_EQ(a.reason, "lost");
    EXPECT_EQ(h.handedOut, 2);

    // One event over the limit is enough.
    h.events = {{"/r/a", 0, {}}, {"/r/b", 0, {}}, {"/r/c", 0, {}}, done};
    a = ChangeTracker::ask(h, "/r", 0, 2, 5);
    EXPECT_FALSE(a.changes);
    EXPECT_EQ(a.reason, "more than 2 events");
    EXPECT_EQ(h.handedOut, 3);

    // A replay that ends at the deadline, before history-done, is no answer.
    h.events = {{"/r/x", 0, {}}, done};
    h.pause = std::chrono::milliseconds(300);
    a = ChangeTracker::ask(h, "/r", 0, 10, 0.05);
    EXPECT_FALSE(a.changes);
    EXPECT_NE(a.reason.find("no answer within"), std::string::npos) << a.reason;
}

}  // namespace
}  // namespace tidewell
