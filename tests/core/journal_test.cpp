#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(Journal, IdentifiersGrowAcrossWritersAndDrops) {
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
        const auto all = readAll(t.path(), start - 1, &end);
        EXPECT_EQ(end, ReadEnd::end);
        ASSERT_EQ(all.size(), 4u);
        EXPECT_EQ(all[0].flags, kWriterStarted);
        EXPECT_EQ(all[3], (Record{start + 3, 0, "/a2"}));
    }
    EXPECT_FALSE(writerIsRunning(t.path()));
    auto w = JournalWriter::open(t.path());
    ASSERT_TRUE(w);
    EXPECT_GT(w->lastId(), firstRun + 1);  // the restart leaves a hole
    ReadEnd end{};
    readAll(t.path(), firstRun, &end);
    EXPECT_EQ(end, ReadEnd::gap);
    EXPECT_EQ(readAll(t.path(), w->lastId()).size(), 0u);
    const std::uint64_t beforeDrop = w->lastId();
    w.reset();

    // Every segment gone: identifiers still never go back.
    for (const Segment& s : listSegments(t.path())) ::unlink(s.path.c_str());
    w = JournalWriter::open(t.path());
    ASSERT_TRUE(w);
    EXPECT_GT(w->lastId(), beforeDrop);
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
    for (const Segment& s : segments) {
        struct stat st {};
        ::stat(s.path.c_str(), &st);
        total += static_cast<std::size_t>(st.st_size);
    }
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
    struct stat st {};
    ::stat(newest.c_str(), &st);
    ASSERT_EQ(::truncate(newest.c_str(), st.st_size - 3), 0);
    ReadEnd end{};
    const auto before = readAll(t.path(), from, &end);
    EXPECT_EQ(end, ReadEnd::end);
    EXPECT_FALSE(before.empty());

    // Cut in the middle of an older segment: a gap.
    const std::string middle = segments[1].path;
    ::stat(middle.c_str(), &st);
    ASSERT_EQ(::truncate(middle.c_str(), st.st_size / 2 + 1), 0);
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

}  // namespace
}  // namespace tidewell::journal
