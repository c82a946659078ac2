#include "journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

#include "unique_fd.h"
#include "user_dirs.h"

namespace tidewell::journal {

namespace {

constexpr std::size_t kHeaderBytes = 8;  // length, crc
constexpr std::size_t kMinPayload = 12;  // id, flags
constexpr std::size_t kMaxPayload = 12 + 65536;

std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

template <typename T>
T readLE(const char* p) {
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v |= static_cast<T>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

template <typename T>
void writeLE(std::string& out, T v) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// A segment is at most a few megabytes; anything far larger is not one of ours.
constexpr off_t kMaxSegmentBytes = off_t{1} << 30;

bool readWhole(const std::string& path, std::string& out) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxSegmentBytes)
        return false;
    out.clear();
    out.reserve(static_cast<std::size_t>(st.st_size));
    std::array<char, 65536> buf{};
    ssize_t n;
    while ((n = ::read(fd.get(), buf.data(), buf.size())) > 0)
        out.append(buf.data(), static_cast<std::size_t>(n));
    return n == 0;
}

enum class Parse { ok, torn, damaged };

// One record at `at`; advances `at` past it when intact.
Parse parseRecord(std::string_view data, std::size_t& at, Record& r) {
    if (data.size() - at < kHeaderBytes) return Parse::torn;
    const auto length = readLE<std::uint32_t>(data.data() + at);
    const auto crc = readLE<std::uint32_t>(data.data() + at + 4);
    if (length < kMinPayload || length > kMaxPayload) return Parse::damaged;
    if (data.size() - at - kHeaderBytes < length) return Parse::torn;
    const std::string_view payload = data.substr(at + kHeaderBytes, length);
    if (crc32(payload) != crc) return Parse::damaged;
    r.id = readLE<std::uint64_t>(payload.data());
    r.flags = readLE<std::uint32_t>(payload.data() + 8);
    r.path.assign(payload.substr(kMinPayload));
    at += kHeaderBytes + length;
    return Parse::ok;
}

}  // namespace

std::optional<std::string> historyDirectory() {
    const std::optional<std::string> state = stateHome();
    if (!state) return std::nullopt;
    const std::string dir = *state + "/Brackwater/history";
    if (!makeDirectories(dir, 0700)) return std::nullopt;
    return dir;
}

std::uint32_t crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char ch : bytes) c = table[(c ^ static_cast<unsigned char>(ch)) & 0xff] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendRecord(std::string& out, const Record& r) {
    std::string payload;
    payload.reserve(kMinPayload + r.path.size());
    writeLE<std::uint64_t>(payload, r.id);
    writeLE<std::uint32_t>(payload, r.flags);
    payload += r.path.substr(0, kMaxPayload - kMinPayload);
    writeLE<std::uint32_t>(out, static_cast<std::uint32_t>(payload.size()));
    writeLE<std::uint32_t>(out, crc32(payload));
    out += payload;
}

std::string segmentName(std::uint64_t firstId) {
    std::array<char, 32> buf{};
    std::snprintf(buf.data(), buf.size(), "%016llx.seg", static_cast<unsigned long long>(firstId));
    return buf.data();
}

std::vector<Segment> listSegments(const std::string& dir) {
    std::vector<Segment> out;
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d) return out;
    while (const dirent* e = ::readdir(d.get())) {
        const std::string_view name = e->d_name;
        if (name.size() != 20 || !name.ends_with(".seg")) continue;
        std::uint64_t id = 0;
        bool hex = true;
        for (const char c : name.substr(0, 16)) {
            const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (v < 0) hex = false;
            id = id << 4 | static_cast<std::uint64_t>(v < 0 ? 0 : v);
        }
        if (hex) out.push_back({id, dir + "/" + std::string(name)});
    }
    std::sort(out.begin(), out.end(),
              [](const Segment& a, const Segment& b) { return a.firstId < b.firstId; });
    return out;
}

bool holdsWholeRecords(std::string_view data) {
    Record r;
    std::size_t at = 0;
    while (at < data.size())
        if (parseRecord(data, at, r) != Parse::ok) return false;
    return true;
}

namespace {

// The segments of one epoch, oldest first.
std::vector<Segment> segmentsOfEpoch(const std::string& dir, std::uint64_t epoch) {
    std::vector<Segment> all = listSegments(dir);
    std::erase_if(all, [&](const Segment& s) { return epochOf(s.firstId) != epoch; });
    return all;
}

}  // namespace

ReadEnd readSince(const std::string& dir, std::uint64_t since,
                  const std::function<bool(const Record&)>& visit) {
    const std::vector<Segment> segments = segmentsOfEpoch(dir, epochOf(since));
    if (segments.empty()) return ReadEnd::gap;
    if (segments.front().firstId > since + 1) return ReadEnd::gap;  // dropped segments
    // Start in the last segment that begins at or before the first wanted record.
    std::size_t first = 0;
    for (std::size_t i = 0; i < segments.size(); ++i)
        if (segments[i].firstId <= since + 1) first = i;

    std::optional<std::uint64_t> previous;
    std::string data;
    Record r;
    for (std::size_t s = first; s < segments.size(); ++s) {
        const bool newest = s + 1 == segments.size();
        if (!readWhole(segments[s].path, data)) return ReadEnd::gap;
        std::size_t at = 0;
        while (at < data.size()) {
            const Parse p = parseRecord(data, at, r);
            if (p == Parse::torn && newest) return ReadEnd::end;  // still being written
            if (p != Parse::ok) return ReadEnd::gap;
            if (r.id <= since) {
                previous = r.id;
                continue;
            }
            // Identifiers are consecutive; anything else is a hole in the history.
            if (previous ? r.id != *previous + 1 : r.id != since + 1) return ReadEnd::gap;
            previous = r.id;
            if (!visit(r)) return ReadEnd::end;
        }
    }
    return ReadEnd::end;
}

std::uint64_t lastId(const std::string& dir) {
    const std::vector<Segment> all = listSegments(dir);
    std::uint64_t epoch = 0;
    for (const Segment& s : all) epoch = std::max(epoch, epochOf(s.firstId));
    const std::vector<Segment> segments = segmentsOfEpoch(dir, epoch);
    std::string data;
    Record r;
    for (auto it = segments.rbegin(); it != segments.rend(); ++it) {
        if (!readWhole(it->path, data)) continue;
        std::uint64_t last = 0;
        for (std::size_t at = 0; parseRecord(data, at, r) == Parse::ok;) last = r.id;
        if (last != 0) return last;
    }
    return 0;
}

}  // namespace tidewell::journal
