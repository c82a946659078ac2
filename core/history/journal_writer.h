// The one writer of a change journal (see journal.h for the format).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "journal.h"
#include "unique_fd.h"

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
    // Locks the folder, takes a new epoch, removes earlier writers' segments
    // and starts a segment with a writer-started record. Nothing when another
    // writer holds the folder or it cannot be written.
    static std::unique_ptr<JournalWriter> open(const std::string& dir, WriterOptions options = {});
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Appends the records in one write (two across a segment boundary) and
    // returns the identifier given to the last one, or nothing when any of
    // them could not be written: their identifiers then stay unused, so a
    // reader from before them sees a gap, and the writer goes on in a new
    // segment. Not thread-safe.
    std::optional<std::uint64_t> append(std::span<const NewRecord> records);

    // Checks that the segment being written is still whole and still in the
    // folder; when it is not, later records go to a new segment, so that the
    // damage is a gap only for identifiers from before it.
    void checkSegment();

    // The last identifier given out, written or not.
    std::uint64_t lastId() const { return next_ - 1; }
    std::uint64_t epoch() const { return epochOf(next_); }
    const std::string& directory() const { return dir_; }
    std::size_t writes() const { return writes_; }

    struct Opened {  // only open() can make one
        explicit Opened() = default;
    };
    JournalWriter(Opened, std::string dir, WriterOptions options, UniqueFd dirFd,
                  std::uint64_t epoch);

  private:
    bool write(std::string& buffer, std::uint64_t firstId);
    bool startSegment(std::uint64_t firstId);
    void abandonSegment();
    void dropOldSegments();

    std::string dir_;
    WriterOptions options_;
    UniqueFd dirFd_;  // flock()ed for as long as this writer lives
    UniqueFd segmentFd_;
    std::size_t segmentSize_ = 0;
    std::uint64_t next_ = 1;
    std::size_t writes_ = 0;
};

// True when some process holds the journal's writer lock.
bool writerIsRunning(const std::string& dir);

}  // namespace tidewell::journal
