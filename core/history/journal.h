// The change journal: Tidewell's own persistent history of which directories
// changed, recorded from inotify and replayed by the change tracker.
//
// Folder: $XDG_STATE_HOME/Brackwater/history/ (mode 0700), holding
//   epoch               the epoch of the newest writer, in hex
//   <16 hex digits>.seg segments, named by the identifier of their first record
//   roots               roots to record, one absolute path a line (anyone appends)
//   active              the writer's recorded roots: "<start id> <dev> <ino> <path>" a line
//   req-<token>         a reader's request being written (an optional root to record)
//   sync-<token>        a request; the writer answers with a sync record and
//                       renames it to done-<token>-<identifier in hex>, or to
//                       fail-<token> when the journal cannot be written
// The one writer holds flock() on the folder itself: a lock that no one can
// unlink from under it.
//
// Identifiers are epoch << 40 | counter. Every writer takes a new epoch (one
// above the last, random for a journal made anew), starts its counter at 1
// and removes the segments of earlier writers; an identifier is meaningful
// only to the writer of its epoch. Within an epoch the counter grows by one per
// record; a hole in it is a gap.
//
// A segment is a sequence of records, all integers little-endian:
//   u32 length   bytes of the payload below (at least 12)
//   u32 crc      CRC-32 (IEEE) of the payload
//   payload:     u64 identifier, u32 flags, then the path bytes (no terminator)
// Readers take a hole, a bad length or a bad CRC for a gap. A record cut short
// at the very end of the newest segment is one still being written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewell::journal {

// Flags. The low byte keeps the change history's own values.
constexpr std::uint32_t kMustScanSubdirs = 0x01;
// path: a root with a folder under it that could not be watched.
constexpr std::uint32_t kUserDropped = 0x02;
constexpr std::uint32_t kKernelDropped = 0x04;  // the inotify queue overflowed
constexpr std::uint32_t kUnmount = 0x80;
constexpr std::uint32_t kRecordingStarted = 0x100;  // path: a root now recorded
constexpr std::uint32_t kWriterStarted = 0x200;     // a new writer; nothing before is trusted
constexpr std::uint32_t kSync = 0x400;              // path: the token of a sync request
// path: a root no longer watched (gone, moved, replaced, remounted).
constexpr std::uint32_t kRootLost = 0x800;
// path: a folder where a file with other names changed. inotify tells only
// the folder of the name written through, so any tree may be stale.
constexpr std::uint32_t kSeveralNames = 0x1000;

constexpr int kCounterBits = 40;
constexpr std::uint64_t epochOf(std::uint64_t id) {
    return id >> kCounterBits;
}

struct Record {
    std::uint64_t id = 0;
    std::uint32_t flags = 0;
    std::string path;
    bool operator==(const Record&) const = default;
};

// The history folder (created 0700), or nothing without a home.
std::optional<std::string> historyDirectory();

std::uint32_t crc32(std::string_view bytes);
void appendRecord(std::string& out, const Record& r);
// True when `data` is a sequence of whole, intact records.
bool holdsWholeRecords(std::string_view data);

struct Segment {
    std::uint64_t firstId = 0;
    std::string path;
};
// The segments in `dir`, oldest first (by first identifier).
std::vector<Segment> listSegments(const std::string& dir);
std::string segmentName(std::uint64_t firstId);

enum class ReadEnd {
    end,  // every record after `since` was read (or the visitor stopped)
    gap,  // records after `since` are missing or damaged
};
// Visits, in order, every record of `since`'s epoch whose identifier is above
// `since`; the visitor returns false to stop. Never throws and never crashes
// on damage.
ReadEnd readSince(const std::string& dir, std::uint64_t since,
                  const std::function<bool(const Record&)>& visit);

// The identifier of the newest intact record of the newest epoch, 0 for an
// empty journal.
std::uint64_t lastId(const std::string& dir);

}  // namespace tidewell::journal
