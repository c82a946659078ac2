#include "journal_writer.h"

#include "unique_fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <random>

namespace tidewell::journal {

namespace {

constexpr std::uint64_t kMaxEpoch = (std::uint64_t{1} << 23) - 1;  // identifiers stay below 2^63
constexpr std::uint64_t kMaxCounter = (std::uint64_t{1} << kCounterBits) - 1;
constexpr const char* kEpochFile = "epoch";

UniqueFd openDirectory(const std::string& dir) {
    return UniqueFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
}

std::optional<std::uint64_t> readEpochFile(int dirFd) {
    const UniqueFd fd(::openat(dirFd, kEpochFile, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd) return std::nullopt;
    std::array<char, 32> buf{};
    const ssize_t n = ::read(fd.get(), buf.data(), buf.size() - 1);
    if (n <= 0) return std::nullopt;
    std::uint64_t v = 0;
    if (std::sscanf(buf.data(), "%" SCNx64, &v) != 1 || v == 0 || v > kMaxEpoch)
        return std::nullopt;
    return v;
}

bool writeEpochFile(int dirFd, std::uint64_t epoch) {
    std::array<char, 32> text{};
    const int len = std::snprintf(text.data(), text.size(), "%" PRIx64 "\n", epoch);
    const char* tmp = "epoch.tmp";
    UniqueFd fd(::openat(dirFd, tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) return false;
    const bool ok =
        writeAll(fd.get(), std::string_view(text.data(), static_cast<std::size_t>(len)));
    if (!fd.close() || !ok) return false;
    return ::renameat(dirFd, tmp, dirFd, kEpochFile) == 0;
}

// One above the newest epoch this folder has seen; a folder with no trace of
// one starts at a random epoch, so identifiers of a journal that was removed
// are unlikely to mean anything to its successor.
std::uint64_t nextEpoch(int dirFd, const std::vector<Segment>& segments) {
    std::optional<std::uint64_t> last = readEpochFile(dirFd);
    for (const Segment& s : segments)
        if (epochOf(s.firstId) <= kMaxEpoch) last = std::max(last.value_or(0), epochOf(s.firstId));
    if (!last) {
        std::random_device rd;
        return std::uniform_int_distribution<std::uint64_t>(1, kMaxEpoch / 2)(rd);
    }
    return *last >= kMaxEpoch ? 1 : *last + 1;
}

}  // namespace

bool writerIsRunning(const std::string& dir) {
    const UniqueFd fd = openDirectory(dir);
    if (!fd) return false;
    // flock conflicts between open file descriptions, even in one process.
    return ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0;
}

std::unique_ptr<JournalWriter> JournalWriter::open(const std::string& dir, WriterOptions options) {
    UniqueFd dirFd = openDirectory(dir);
    if (!dirFd || ::flock(dirFd.get(), LOCK_EX | LOCK_NB) != 0) return nullptr;
    const std::vector<Segment> old = listSegments(dir);
    const std::uint64_t epoch = nextEpoch(dirFd.get(), old);
    if (!writeEpochFile(dirFd.get(), epoch)) return nullptr;
    // Earlier writers' records can never be replayed past this writer's start.
    for (const Segment& s : old) ::unlinkat(dirFd.get(), s.path.substr(dir.size() + 1).c_str(), 0);
    auto w = std::make_unique<JournalWriter>(Opened{}, dir, options, std::move(dirFd), epoch);
    const NewRecord started{kWriterStarted, {}};
    if (!w->append(std::span(&started, 1))) return nullptr;
    return w;
}

JournalWriter::JournalWriter(Opened, std::string dir, WriterOptions options, UniqueFd dirFd,
                             std::uint64_t epoch)
    : dir_(std::move(dir)),
      options_(options),
      dirFd_(std::move(dirFd)),
      next_(epoch << kCounterBits | 1) {}

bool JournalWriter::startSegment(std::uint64_t firstId) {
    segmentFd_ = UniqueFd(::openat(dirFd_.get(), segmentName(firstId).c_str(),
                                   O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600));
    segmentSize_ = 0;
    if (!segmentFd_) return false;
    dropOldSegments();
    return true;
}

void JournalWriter::abandonSegment() {
    segmentFd_ = UniqueFd();
    segmentSize_ = 0;
    ++next_;  // the break shows as a hole to every reader from before it
}

void JournalWriter::dropOldSegments() {
    const std::vector<Segment> segments = listSegments(dir_);
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

// Writes `buffer`, whose first record has identifier `firstId`, and empties it.
bool JournalWriter::write(std::string& buffer, std::uint64_t firstId) {
    if (buffer.empty()) return true;
    bool ok = segmentFd_ || startSegment(firstId);
    if (ok && !writeAll(segmentFd_.get(), buffer)) {
        // Never leave half a record for later records to follow.
        [[maybe_unused]] const int cut =
            ::ftruncate(segmentFd_.get(), static_cast<off_t>(segmentSize_));
        abandonSegment();
        ok = false;
    }
    if (ok) {
        segmentSize_ += buffer.size();
        ++writes_;
        if (segmentSize_ >= options_.segmentBytes) segmentFd_ = UniqueFd();
    }
    buffer.clear();
    return ok;
}

std::optional<std::uint64_t> JournalWriter::append(std::span<const NewRecord> records) {
    if ((next_ & kMaxCounter) + records.size() >= kMaxCounter) return std::nullopt;
    bool ok = true;
    std::string buffer;
    std::uint64_t first = next_;
    for (const NewRecord& r : records) {
        appendRecord(buffer, Record{next_++, r.flags, r.path});
        if (segmentSize_ + buffer.size() >= options_.segmentBytes) {
            ok = write(buffer, first) && ok;
            first = next_;
        }
    }
    ok = write(buffer, first) && ok;
    if (!ok) return std::nullopt;
    return next_ - 1;
}

void JournalWriter::checkSegment() {
    if (!segmentFd_) return;
    struct stat st {};
    bool whole = ::fstat(segmentFd_.get(), &st) == 0 && st.st_nlink > 0 &&
                 st.st_size == static_cast<off_t>(segmentSize_);
    if (whole) {
        std::string data(segmentSize_, '\0');
        whole = ::pread(segmentFd_.get(), data.data(), data.size(), 0) ==
                    static_cast<ssize_t>(data.size()) &&
                holdsWholeRecords(data);
    }
    if (!whole) abandonSegment();
}

}  // namespace tidewell::journal
