#include "tree_cache.h"

#include "crc32c.h"
#include "unique_fd.h"
#include "user_dirs.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

namespace tidewell::TreeCache {

namespace {

constexpr std::string_view kMagic = "KVRT";
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kMaxString = 0xFFFF;
// Magic, version, event id, path length; the path follows.
constexpr std::size_t kHeaderFixed = 4 + 4 + 8 + 2;
// The smallest record: name length, directory byte, size, child count.
constexpr std::size_t kMinRecord = 2 + 1 + 8 + 4;
// No real directory comes near this; a count this large is damage.
constexpr std::uint32_t kMaxChildren = 5'000'000;
// FileNode keeps sizes in 62 bits, and a size is never negative; anything
// else cannot have been saved.
constexpr std::int64_t kSizeLimit = std::int64_t{1} << 61;
// After the root's record: "KVRC", u64 node count, u32 CRC-32C of every byte
// before the CRC. Readers that stop after the root's record never see it.
constexpr std::string_view kTrailerMagic = "KVRC";
constexpr std::size_t kTrailer = 4 + 8 + 4;
constexpr std::size_t kInitialBuffer = std::size_t{4} << 20;
constexpr std::string_view kSuffix = ".kvrtree";
constexpr std::size_t kHashChars = 24;

// ---- little-endian integers, unaligned ---------------------------------------

template <typename T>
T readLE(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        auto* b = reinterpret_cast<unsigned char*>(&v);
        std::reverse(b, b + sizeof v);
    }
    return v;
}

template <typename T>
unsigned char* writeLE(unsigned char* p, T v) {
    if constexpr (std::endian::native == std::endian::big) {
        auto* b = reinterpret_cast<unsigned char*>(&v);
        std::reverse(b, b + sizeof v);
    }
    std::memcpy(p, &v, sizeof v);
    return p + sizeof v;
}

std::string_view clipped(std::string_view s) {
    return s.substr(0, kMaxString);
}

// ---- descriptors and mappings ------------------------------------------------

class Mapping {
  public:
    Mapping() = default;
    Mapping(Mapping&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)) {}
    Mapping& operator=(Mapping&&) = delete;
    ~Mapping() {
        if (data_ != nullptr) ::munmap(data_, size_);
    }

    // The first `size` bytes of an open file, read in up front: every byte
    // is read once, in order. Empty when it cannot be mapped.
    static Mapping ofFile(int fd, std::size_t size) {
        Mapping m;
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p == MAP_FAILED) return m;
        m.data_ = p;
        m.size_ = size;
        return m;
    }

    std::span<const unsigned char> bytes() const {
        return {static_cast<const unsigned char*>(data_), size_};
    }

  private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

// Removes a file on scope exit unless told it has been kept.
class TempFile {
  public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!kept_) ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

  private:
    std::string path_;
    bool kept_ = false;
};

// Bytes appended to an anonymous mapping. Growing remaps it instead of
// copying, so the bytes already written are neither copied nor faulted in again.
class GrowingBuffer {
  public:
    explicit GrowingBuffer(std::size_t capacity) : capacity_(pageRounded(capacity)) {
        void* p =
            ::mmap(nullptr, capacity_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<unsigned char*>(p);
    }
    GrowingBuffer(const GrowingBuffer&) = delete;
    GrowingBuffer& operator=(const GrowingBuffer&) = delete;
    ~GrowingBuffer() { ::munmap(data_, capacity_); }

    // `n` bytes to write at the end.
    unsigned char* room(std::size_t n) {
        if (capacity_ - size_ < n) grow(size_ + n);
        unsigned char* at = data_ + size_;
        size_ += n;
        return at;
    }
    std::span<const unsigned char> bytes() const { return {data_, size_}; }

  private:
    static std::size_t pageRounded(std::size_t n) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        return (n + page - 1) / page * page;
    }
    void grow(std::size_t needed) {
        const std::size_t capacity = pageRounded(std::max(capacity_ * 2, needed));
        void* p = ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<unsigned char*>(p);
        capacity_ = capacity;
    }

    unsigned char* data_ = nullptr;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

// Writes a temporary file beside `target` and renames it over the target.
bool replaceFile(const std::string& target, std::span<const unsigned char> bytes) {
    const std::size_t slash = target.rfind('/');
    std::string pattern = target.substr(0, slash + 1) + '.' + target.substr(slash + 1) + ".XXXXXX";
    UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));  // mode 0600
    if (!fd) return false;
    TempFile temp(pattern);
    // fsync before the rename: otherwise a crash can leave the new name on
    // blocks never written, and zeroed records decode as a valid, wrong tree.
    // The folder is not synced: losing the rename keeps the previous file,
    // which still matches its own event id.
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || !fd.close()) return false;
    if (::rename(temp.path().c_str(), target.c_str()) != 0) return false;
    temp.keep();
    return true;
}

// ---- location ----------------------------------------------------------------

std::optional<std::string> hashedName(std::string_view rootPath) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int len = 0;
    const int ok =
        EVP_Digest(rootPath.data(), rootPath.size(), digest.data(), &len, EVP_sha256(), nullptr);
    if (ok != 1) return std::nullopt;
    constexpr std::string_view kHex = "0123456789abcdef";
    std::string out;
    out.reserve(kHashChars + kSuffix.size());
    for (std::size_t i = 0; out.size() < kHashChars; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0xF];
    }
    out += kSuffix;
    return out;
}

// ---- trailer and plausibility --------------------------------------------------

struct Trailer {
    std::uint64_t nodes;
    std::uint32_t crc;
};

std::optional<Trailer> readTrailer(std::span<const unsigned char> t) {
    if (t.size() != kTrailer || std::memcmp(t.data(), kTrailerMagic.data(), 4) != 0)
        return std::nullopt;
    return Trailer{readLE<std::uint64_t>(t.data() + 4), readLE<std::uint32_t>(t.data() + 12)};
}

// Whether a file of `fileBytes` can hold exactly `nodes` records: each needs
// at least kMinRecord bytes, and none but the root's name is longer than a
// file name. Judged before a single record is read, so that a file far larger
// than its tree (a sparse one, say) is turned away without reading it.
bool plausibleSize(std::uint64_t nodes, std::uint64_t fileBytes) {
    if (nodes == 0 || fileBytes < kHeaderFixed + kTrailer) return false;
    const std::uint64_t body = fileBytes - kHeaderFixed - kTrailer;  // path and records
    if (nodes > body / kMinRecord) return false;
    const std::uint64_t longest =
        kMaxString + (kMinRecord + kMaxString) + (nodes - 1) * (kMinRecord + FileNode::kMaxName);
    return body <= longest;
}

// A name as a directory lists it: anything else could make a node's path name
// another file (a deletion of "x/.." would reach its parent).
bool isEntryName(std::string_view name) {
    return !name.empty() && name.size() <= FileNode::kMaxName && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// ---- decoding ----------------------------------------------------------------

struct Record {
    std::string_view name;
    bool isDirectory;
    std::int64_t size;
    std::uint32_t count;
};

// Every read checks that the field lies wholly inside the data first.
class Reader {
  public:
    explicit Reader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return bytes_.size() - pos_; }

    bool raw(std::size_t n, std::string_view& out) {
        if (remaining() < n) return false;
        out = {reinterpret_cast<const char*>(bytes_.data() + pos_), n};
        pos_ += n;
        return true;
    }
    template <typename T>
    bool integer(T& out) {
        if (remaining() < sizeof(T)) return false;
        out = readLE<T>(bytes_.data() + pos_);
        pos_ += sizeof(T);
        return true;
    }
    bool string(std::string_view& out) {
        std::uint16_t n = 0;
        return integer(n) && raw(n, out);
    }

    // One record's fields, checked once for the whole record.
    bool record(Record& r) {
        if (remaining() < 2) return false;
        const unsigned char* p = bytes_.data() + pos_;
        const std::size_t n = readLE<std::uint16_t>(p);
        if (remaining() - 2 < n + (kMinRecord - 2)) return false;
        p += 2;
        r.name = {reinterpret_cast<const char*>(p), n};
        p += n;
        r.isDirectory = (*p & 1) != 0;
        r.size = readLE<std::int64_t>(p + 1);
        r.count = readLE<std::uint32_t>(p + 9);
        pos_ += n + kMinRecord;
        return r.size >= 0 && r.size < kSizeLimit &&
               (r.isDirectory ? r.count < kMaxChildren : r.count == 0);
    }

  private:
    std::span<const unsigned char> bytes_;
    std::size_t pos_ = 0;
};

struct OpenDirectory {
    FileNode* node;
    std::int64_t size;      // as stored
    std::int64_t sum;       // of the children read so far
    std::int64_t previous;  // the last child's size: none may be larger
    std::uint32_t next;
    std::uint32_t count;
};

// Takes in a child's size; false when the folder can no longer add up to
// what it stored or its children are not largest first. Sizes are below
// 2^61, so the sum cannot overflow before it passes the stored size.
bool addChild(OpenDirectory& dir, std::int64_t size) {
    if (size > dir.previous) return false;
    dir.previous = size;
    dir.sum += size;
    return dir.sum <= dir.size;
}

std::optional<Loaded> decodeTree(std::span<const unsigned char> bytes, std::string_view rootPath) {
    if (bytes.size() < kHeaderFixed + kTrailer) return std::nullopt;
    const std::optional<Trailer> trailer = readTrailer(bytes.last(kTrailer));
    if (!trailer || !plausibleSize(trailer->nodes, bytes.size())) return std::nullopt;

    // The records end where the trailer begins.
    Reader in(bytes.first(bytes.size() - kTrailer));
    std::string_view magic, storedPath;
    std::uint32_t version = 0;
    std::uint64_t eventId = 0;
    if (!in.raw(kMagic.size(), magic) || magic != kMagic) return std::nullopt;
    if (!in.integer(version) || version != kVersion) return std::nullopt;
    if (!in.integer(eventId) || !in.string(storedPath) || storedPath != rootPath)
        return std::nullopt;
    // A flipped bit in a name or a flag keeps every size adding up: only the
    // checksum over all bytes before it sees that.
    if (crc32c(bytes.first(bytes.size() - 4)) != trailer->crc) return std::nullopt;
    std::uint64_t nodes = 1;

    Record rec{};
    if (!in.record(rec)) return std::nullopt;
    // Children announced but not yet read, over all open directories: each
    // needs a record of its own, so more than the bytes left could hold is
    // damage, caught before anything that size is reserved.
    std::uint64_t promised = rec.count;
    if (promised > in.remaining() / kMinRecord) return std::nullopt;

    StoreRef store = TreeStore::create();
    if (!rec.isDirectory) {
        if (in.remaining() != 0 || trailer->nodes != 1) return std::nullopt;
        FileNode* file = store->makeRoot(rec.name, rootPath, false, rec.size);
        return Loaded{NodeRef(file), eventId};
    }
    NodeArena arena(*store);
    FileNode* root = store->makeDirectoryShell(rec.name, rootPath, rec.count, &arena);
    std::vector<OpenDirectory> open;
    open.push_back({root, rec.size, 0, kSizeLimit, 0, rec.count});
    while (!open.empty()) {
        OpenDirectory& top = open.back();
        if (top.next == top.count) {
            if (top.sum != top.size) return std::nullopt;
            top.node->sealChildren(top.count, top.size);
            open.pop_back();
            continue;
        }
        FileNode* parent = top.node;
        const std::uint32_t index = top.next++;
        // Only a root's display name may be other than a directory entry's.
        if (!in.record(rec) || !isEntryName(rec.name) || !addChild(top, rec.size))
            return std::nullopt;
        --promised;
        ++nodes;
        if (!rec.isDirectory) {
            parent->putChild(index, store->makeFile(rec.name, rec.size, &arena));
            continue;
        }
        promised += rec.count;
        if (promised > in.remaining() / kMinRecord) return std::nullopt;
        FileNode* dir = store->makeDirectoryShell(rec.name, std::nullopt, rec.count, &arena);
        parent->putChild(index, dir);
        open.push_back({dir, rec.size, 0, kSizeLimit, 0, rec.count});  // `top` is dead from here
    }
    if (in.remaining() != 0 || nodes != trailer->nodes) return std::nullopt;
    return Loaded{NodeRef(root), eventId};
}

// ---- encoding ----------------------------------------------------------------

void encodeInto(GrowingBuffer& out, const FileNode& root, std::string_view rootPath,
                std::uint64_t eventId) {
    auto putString = [](unsigned char* p, std::string_view s) {
        p = writeLE(p, static_cast<std::uint16_t>(s.size()));
        std::memcpy(p, s.data(), s.size());
        return p + s.size();
    };
    rootPath = clipped(rootPath);
    unsigned char* p = out.room(kHeaderFixed + rootPath.size());
    std::memcpy(p, kMagic.data(), kMagic.size());
    p = writeLE(p + kMagic.size(), kVersion);
    p = writeLE(p, eventId);
    putString(p, rootPath);

    std::uint64_t nodes = 0;
    std::vector<const FileNode*> pending{&root};
    while (!pending.empty()) {
        const FileNode* node = pending.back();
        pending.pop_back();
        ++nodes;
        const std::string_view name = clipped(node->name());
        const std::size_t count = node->childCount();
        p = putString(out.room(kMinRecord + name.size()), name);
        *p++ = node->isDirectory() ? 1 : 0;
        p = writeLE(p, node->size());
        writeLE(p, static_cast<std::uint32_t>(count));
        for (std::size_t i = count; i-- > 0;) pending.push_back(node->child(i));
    }

    p = out.room(kTrailer);
    std::memcpy(p, kTrailerMagic.data(), kTrailerMagic.size());
    p = writeLE(p + kTrailerMagic.size(), nodes);
    const std::span<const unsigned char> summed = out.bytes().first(out.bytes().size() - 4);
    writeLE(p, crc32c(summed));
}

// ---- reading the file --------------------------------------------------------

bool readAt(int fd, std::span<unsigned char> out, off_t at) {
    while (!out.empty()) {
        const ssize_t n = ::pread(fd, out.data(), out.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out = out.subspan(static_cast<std::size_t>(n));
        at += n;
    }
    return true;
}

// The cache file's bytes, or an empty mapping. Whatever sits at the path is
// opened without waiting (a FIFO would block an open or a read for good) and
// without following a link, and only a regular file is read. Its size is
// judged against its trailer first, and a file with holes is never read:
// a file this writer made has none.
Mapping mapCacheFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size < kHeaderFixed + kTrailer || size > std::numeric_limits<std::size_t>::max()) return {};
    std::array<unsigned char, kTrailer> tail{};
    if (!readAt(fd.get(), tail, static_cast<off_t>(size - kTrailer))) return {};
    const std::optional<Trailer> trailer = readTrailer(tail);
    if (!trailer || !plausibleSize(trailer->nodes, size)) return {};
    const off_t hole = ::lseek(fd.get(), 0, SEEK_HOLE);
    if (hole >= 0 && static_cast<std::uint64_t>(hole) < size) return {};
    return Mapping::ofFile(fd.get(), static_cast<std::size_t>(size));
}

}  // namespace

// ---- public ------------------------------------------------------------------

std::optional<std::string> filePath(std::string_view rootPath) {
    std::optional<std::string> base = tidewell::dataHome();
    if (!base) return std::nullopt;
    std::optional<std::string> name = hashedName(rootPath);
    if (!name) return std::nullopt;
    std::string folder = std::move(*base);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.back() != '/') folder += '/';
    folder += "Brackwater/TreeCache";
    makeDirectories(folder, 0700);  // the files reveal names: private folders
    return folder + '/' + *name;
}

std::vector<unsigned char> encode(const FileNode& root, std::string_view rootPath,
                                  std::uint64_t eventId) {
    GrowingBuffer out(kInitialBuffer);
    encodeInto(out, root, rootPath, eventId);
    return {out.bytes().begin(), out.bytes().end()};
}

std::optional<Loaded> decode(std::span<const unsigned char> bytes, std::string_view rootPath) {
    try {
        return decodeTree(bytes, rootPath);
    } catch (const std::bad_alloc&) {
        // A tree too large for one store's region: no cache is better than a crash.
        return std::nullopt;
    }
}

bool save(const FileNode& root, std::string_view rootPath, std::uint64_t eventId) {
    const std::optional<std::string> target = filePath(rootPath);
    if (!target) return false;
    try {
        GrowingBuffer bytes(kInitialBuffer);
        encodeInto(bytes, root, rootPath, eventId);
        return replaceFile(*target, bytes.bytes());
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::optional<Loaded> load(std::string_view rootPath) {
    const std::optional<std::string> path = filePath(rootPath);
    if (!path) return std::nullopt;
    const Mapping file = mapCacheFile(*path);
    if (file.bytes().empty()) return std::nullopt;
    return decode(file.bytes(), rootPath);
}

}  // namespace tidewell::TreeCache
