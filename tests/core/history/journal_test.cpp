#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "journal.h"
#include "journal_writer.h"
#include "temp_tree.h"

namespace tidewell::journal {
namespace {

using test::TempDir;

std::vector<Record> readAll(const std::string& dir, std::uint64_t since, ReadEnd* end = nullptr) {
    std::vector<Record> out;
    const ReadEnd e = readSince(dir, since, [&](const Record& r) {
        out.push_back(r);
        return true;
    });
    if (end != nullptr) *end = e;
    return out;
}

std::vector<NewRecord> changes(int n, const std::string& prefix) {
    std::vector<NewRecord> out;
    for (int i = 0; i < n; ++i) out.push_back({0, prefix + std::to_string(i)});
    return out;
}

std::size_t fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

TEST(Journal, EachWriterIsAJournalOfItsOwn) {
    TempDir t;
    std::uint64_t firstRun = 0;
    {
        auto w = JournalWriter::open(t.path());
        ASSERT_TRUE(w);
        EXPECT_FALSE(JournalWriter::open(t.path())) << "one writer at a time";
        EXPECT_TRUE(writerIsRunning(t.path()));
        const std::uint64_t start = w->lastId();
        EXPECT_EQ(w->append(changes(3, "/a")), start + 3);
        firstRun = w->lastId();
        ReadEnd end{};
        const auto all = readAll(t.path(), start, &end);
        EXPECT_EQ(end, ReadEnd::end);
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(all[2], (Record{start + 3, 0, "/a2"}));
    }
    EXPECT_FALSE(writerIsRunning(t.path()));

    // The next writer: a new epoch above the last, the old records gone, and
    // none of the old identifiers means anything to it.
    auto w = JournalWriter::open(t.path());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->epoch(), epochOf(firstRun) + 1);
    EXPECT_GT(w->lastId(), firstRun);
    for (const Segment& s : listSegments(t.path())) EXPECT_EQ(epochOf(s.firstId), w->epoch());
    ReadEnd end{};
    readAll(t.path(), firstRun, &end);
    EXPECT_EQ(end, ReadEnd::gap);
    EXPECT_EQ(lastId(t.path()), w->lastId());
    const std::uint64_t beforeDrop = w->lastId();
    w.reset();

    // Every segment gone: the epoch file still makes identifiers grow.
    for (const Segment& s : listSegments(t.path())) ::unlink(s.path.c_str());
    w = JournalWriter::open(t.path());
    ASSERT_TRUE(w);
    EXPECT_GT(w->lastId(), beforeDrop);
    const std::uint64_t oldJournal = w->lastId();
    w.reset();

    // The whole folder made anew: a journal of its own, whose records never
    // read as the continuation of an identifier from the old one, however
    // many it writes.
    std::filesystem::remove_all(t.path());
    std::filesystem::create_directory(t.path());
    w = JournalWriter::open(t.path());
    ASSERT_TRUE(w);
    EXPECT_NE(w->epoch(), epochOf(oldJournal));
    for (int i = 0; i < 20; ++i) w->append(changes(50, "/new"));
    readAll(t.path(), oldJournal, &end);
    EXPECT_EQ(end, ReadEnd::gap);

    // The lock is on the folder itself: emptying it frees nothing.
    for (const auto& e : std::filesystem::directory_iterator(t.path()))
        std::filesystem::remove(e.path());
    EXPECT_TRUE(writerIsRunning(t.path()));
    EXPECT_FALSE(JournalWriter::open(t.path()));
}

TEST(Journal, SizeCapDropsOldestSegmentsAsAGap) {
    TempDir t;
    auto w = JournalWriter::open(t.path(), WriterOptions{4096, 16384});
    ASSERT_TRUE(w);
    const std::uint64_t early = w->lastId();
    for (int i = 0; i < 40; ++i) w->append(changes(10, "/some/longer/directory/name/"));
    const auto segments = listSegments(t.path());
    ASSERT_GE(segments.size(), 2u);
    EXPECT_GT(segments.front().firstId, early + 1);
    std::size_t total = 0;
    for (const Segment& s : segments) total += fileSize(s.path);
    EXPECT_LE(total, 16384u + 4096u);
    ReadEnd end{};
    readAll(t.path(), early, &end);
    EXPECT_EQ(end, ReadEnd::gap);
    // From a retained identifier on, the rest reads whole and in order.
    const auto tail = readAll(t.path(), segments.back().firstId - 1, &end);
    EXPECT_EQ(end, ReadEnd::end);
    for (std::size_t i = 1; i < tail.size(); ++i) EXPECT_EQ(tail[i].id, tail[i - 1].id + 1);
    EXPECT_EQ(lastId(t.path()), w->lastId());
}

TEST(Journal, DamageReadsAsAGapAndNeverCrashes) {
    TempDir t;
    std::uint64_t from = 0;
    {
        auto w = JournalWriter::open(t.path(), WriterOptions{2048, 1 << 20});
        ASSERT_TRUE(w);
        from = w->lastId();
        for (int i = 0; i < 60; ++i) w->append(changes(5, "/dir/"));
    }
    auto segments = listSegments(t.path());
    ASSERT_GE(segments.size(), 3u);

    // A record cut short at the end of the newest segment is still being written.
    const std::string newest = segments.back().path;
    ASSERT_EQ(::truncate(newest.c_str(), static_cast<off_t>(fileSize(newest)) - 3), 0);
    ReadEnd end{};
    const auto before = readAll(t.path(), from, &end);
    EXPECT_EQ(end, ReadEnd::end);
    EXPECT_FALSE(before.empty());

    // Cut in the middle of an older segment: a gap.
    const std::string middle = segments[1].path;
    ASSERT_EQ(::truncate(middle.c_str(), static_cast<off_t>(fileSize(middle) / 2 + 1)), 0);
    readAll(t.path(), from, &end);
    EXPECT_EQ(end, ReadEnd::gap);

    // A flipped byte: a gap, caught by the checksum.
    {
        std::fstream f(segments[0].path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(20);
        f.put('\x7f');
    }
    readAll(t.path(), from, &end);
    EXPECT_EQ(end, ReadEnd::gap);

    // Random bytes as segments: read without crashing.
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::ofstream f(t.path() + "/" + segmentName(1), std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 300; ++i) f.put(static_cast<char>(rng()));
        f.close();
        readAll(t.path(), 0, &end);
        lastId(t.path());
    }
}

// Damage in the segment being written, or the segment taken away from under
// the writer: the writer goes on in a new segment, and only readers from
// before that see a gap.
TEST(Journal, WriterMovesOnFromADamagedOrRemovedSegment) {
    TempDir t;
    auto w = JournalWriter::open(t.path());
    ASSERT_TRUE(w);
    const std::uint64_t early = w->lastId();
    w->append(changes(20, "/before/"));
    {
        const std::string seg = listSegments(t.path()).back().path;
        std::fstream f(seg, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(fileSize(seg) / 2));
        f.put('\x01');
    }
    w->checkSegment();
    const std::optional<std::uint64_t> afterDamage = w->append(changes(3, "/after/"));
    ASSERT_TRUE(afterDamage);
    ReadEnd end{};
    readAll(t.path(), early, &end);
    EXPECT_EQ(end, ReadEnd::gap);
    // The last identifier written before the move (one is skipped at it).
    readAll(t.path(), *afterDamage - 4, &end);
    EXPECT_EQ(end, ReadEnd::gap);
    const auto later = readAll(t.path(), *afterDamage, &end);
    EXPECT_EQ(end, ReadEnd::end);
    EXPECT_TRUE(later.empty());
    w->append(changes(2, "/later/"));
    EXPECT_EQ(readAll(t.path(), *afterDamage, &end).size(), 2u);
    EXPECT_EQ(end, ReadEnd::end);

    // The segment unlinked while written: found at the next check.
    ::unlink(listSegments(t.path()).back().path.c_str());
    w->checkSegment();
    const std::optional<std::uint64_t> fresh = w->append(changes(1, "/fresh/"));
    ASSERT_TRUE(fresh);
    w->append(changes(1, "/fresher/"));
    const auto tail = readAll(t.path(), *fresh, &end);
    EXPECT_EQ(end, ReadEnd::end);
    ASSERT_EQ(tail.size(), 1u);
    EXPECT_EQ(tail[0].path, "/fresher/0");
}

// A write the file system refuses part way (here a file size limit, as a full
// disk would): no half record stays for later records to follow, the lost
// identifiers are a gap, and writing goes on once it can.
TEST(Journal, RefusedWriteIsAGapNotASilentStop) {
    TempDir t;
    auto w = JournalWriter::open(t.path());
    ASSERT_TRUE(w);
    const std::uint64_t before = w->lastId();
    const std::string seg = listSegments(t.path()).back().path;
    const std::size_t sizeBefore = fileSize(seg);

    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old);
    rlimit limit{}, saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    limit = saved;
    limit.rlim_cur = sizeBefore + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::optional<std::uint64_t> refused = w->append(changes(40, "/a/longer/name/"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_FALSE(refused);
    EXPECT_EQ(fileSize(seg), sizeBefore) << "the partial record was taken back";
    // The lost identifiers show as a hole once anything follows them (a
    // reader's sync record always does).
    const std::optional<std::uint64_t> resumed = w->append(changes(2, "/b/"));
    ASSERT_TRUE(resumed);
    ReadEnd end{};
    readAll(t.path(), before, &end);
    EXPECT_EQ(end, ReadEnd::gap) << "the lost records stay a gap";
    w->append(changes(1, "/c/"));
    EXPECT_EQ(readAll(t.path(), *resumed, &end).size(), 1u);
    EXPECT_EQ(end, ReadEnd::end);
}

}  // namespace
}  // namespace tidewell::journal
