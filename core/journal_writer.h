// The one writer of a change journal (see journal.h for the format).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "journal.h"

namespace tidewell::journal {

struct WriterOptions {
    std::size_t segmentBytes = 8u << 20;  // a new segment past this size
    std::size_t capBytes = 64u << 20;     // oldest segments dropped past this total
};

struct NewRecord {
    std::uint32_t flags = 0;
    std::string path;
};

class JournalWriter {
  public:
    // Takes the journal's lock; nothing when another writer holds it (or the
    // folder cannot be written). Starts a new segment with a writer-started record.
    static std::unique_ptr<JournalWriter> open(const std::string& dir, WriterOptions options = {});
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Appends the records in one write (two across a segment boundary) and
    // returns the identifier given to the last one. Not thread-safe.
    std::uint64_t append(std::span<const NewRecord> records);
    std::uint64_t lastId() const { return next_ - 1; }
    const std::string& directory() const { return dir_; }
    std::size_t writes() const { return writes_; }

    struct Opened {  // only open() can make one
        explicit Opened() = default;
    };
    JournalWriter(Opened, std::string dir, WriterOptions options, int lockFd);

  private:
    bool startSegment();
    void dropOldSegments();

    std::string dir_;
    WriterOptions options_;
    int lockFd_ = -1;
    int segmentFd_ = -1;
    std::size_t segmentSize_ = 0;
    std::uint64_t next_ = 1;
    std::size_t writes_ = 0;
};

// True when some process holds the journal's writer lock.
bool writerIsRunning(const std::string& dir);

}  // namespace tidewell::journal
