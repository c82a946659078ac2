#include "journal_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace tidewell::journal {

namespace {

std::string lockPath(const std::string& dir) {
    return dir + "/journal.lock";
}

// The lock file also keeps the first identifier of the newest segment, so
// identifiers keep growing even when every segment is gone.
std::uint64_t readHighWater(int fd) {
    unsigned char b[8] = {};
    if (::pread(fd, b, sizeof b, 0) != static_cast<ssize_t>(sizeof b)) return 0;
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | b[i];
    return v;
}

void writeHighWater(int fd, std::uint64_t v) {
    unsigned char b[8];
    for (unsigned char& c : b) {
        c = static_cast<unsigned char>(v & 0xff);
        v >>= 8;
    }
    [[maybe_unused]] const ssize_t n = ::pwrite(fd, b, sizeof b, 0);
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool writerIsRunning(const std::string& dir) {
    const int fd = ::open(lockPath(dir).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // flock conflicts between open file descriptions, even in one process.
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

std::unique_ptr<JournalWriter> JournalWriter::open(const std::string& dir, WriterOptions options) {
    const int fd = ::open(lockPath(dir).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto w = std::make_unique<JournalWriter>(Opened{}, dir, options, fd);
    // Skip one identifier past anything ever given: the hole marks the restart.
    w->next_ = std::max(journal::lastId(dir), readHighWater(fd)) + 2;
    if (!w->startSegment()) return nullptr;
    w->append(std::span<const NewRecord>(std::array{NewRecord{kWriterStarted, {}}}));
    return w;
}

JournalWriter::JournalWriter(Opened, std::string dir, WriterOptions options, int lockFd)
    : dir_(std::move(dir)), options_(options), lockFd_(lockFd) {}

JournalWriter::~JournalWriter() {
    if (segmentFd_ >= 0) ::close(segmentFd_);
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

bool JournalWriter::startSegment() {
    if (segmentFd_ >= 0) ::close(segmentFd_);
    const std::string path = dir_ + "/" + segmentName(next_);
    segmentFd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    segmentSize_ = 0;
    if (segmentFd_ < 0) return false;
    writeHighWater(lockFd_, next_);
    dropOldSegments();
    return true;
}

void JournalWriter::dropOldSegments() {
    std::vector<Segment> segments = listSegments(dir_);
    std::size_t total = 0;
    std::vector<std::size_t> sizes;
    for (const Segment& s : segments) {
        struct stat st {};
        sizes.push_back(::stat(s.path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size)
                                                         : 0);
        total += sizes.back();
    }
    // The newest segment (the one being written) always stays.
    for (std::size_t i = 0; i + 1 < segments.size() && total > options_.capBytes; ++i) {
        ::unlink(segments[i].path.c_str());
        total -= sizes[i];
    }
}

std::uint64_t JournalWriter::append(std::span<const NewRecord> records) {
    std::string buffer;
    for (const NewRecord& r : records) {
        appendRecord(buffer, Record{next_++, r.flags, r.path});
        if (segmentSize_ + buffer.size() >= options_.segmentBytes) {
            if (writeAll(segmentFd_, buffer)) ++writes_;
            segmentSize_ += buffer.size();
            buffer.clear();
            startSegment();
        }
    }
    if (!buffer.empty()) {
        if (writeAll(segmentFd_, buffer)) ++writes_;
        segmentSize_ += buffer.size();
    }
    return next_ - 1;
}

}  // namespace tidewell::journal
