// Reads one directory in batches with getdents64, typing entries from d_type
// and sizing non-directories with one statx each. Shared by the scan engine
// and the quick sizer so both see the disk the same way.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tidewell {

enum class EntryKind : std::uint8_t { directory, symlink, other };

struct DirEntry {
    std::string_view name;
    EntryKind kind;
    std::int64_t allocatedBytes;  // 0 for directories and symbolic links
};

// One batch buffer; a walker owns one and reuses it for each directory it has open.
class ReadBuffer {
  public:
    static constexpr std::size_t kBytes = 256 * 1024;
    ReadBuffer() : data_(std::make_unique_for_overwrite<std::byte[]>(kBytes)) {}
    std::span<std::byte> bytes() const { return {data_.get(), kBytes}; }

  private:
    std::unique_ptr<std::byte[]> data_;
};

struct DirectoryIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const DirectoryIdentity&) const = default;
};

class DirectoryReader {
  public:
    // Opens by absolute path without following a final symbolic link. A
    // directory that cannot be opened reads as empty.
    DirectoryReader(const std::string& path, std::span<std::byte> buffer);
    ~DirectoryReader() { close(); }
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Device and inode of the open directory, for cycle detection.
    DirectoryIdentity identity() const;
    void close();

    // Reads one batch and hands each entry to `fn`; false at the end or on an
    // error (errors end the listing silently).
    template <typename Fn>
    bool nextBatch(Fn&& fn);

  private:
    std::int64_t statEntry(const char* name, EntryKind& kind) const;

    int fd_ = -1;
    std::span<std::byte> buffer_;
};

template <typename Fn>
bool DirectoryReader::nextBatch(Fn&& fn) {
    if (fd_ < 0) return false;
    const ssize_t n = ::getdents64(fd_, buffer_.data(), buffer_.size());
    if (n <= 0) return false;
    for (ssize_t off = 0; off < n;) {
        const auto* d = reinterpret_cast<const struct dirent64*>(buffer_.data() + off);
        off += d->d_reclen;
        const char* name = d->d_name;
        if (name[0] == '\0' ||
            (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))))
            continue;
        DirEntry e{std::string_view(name), EntryKind::other, 0};
        switch (d->d_type) {
            case DT_DIR:
                e.kind = EntryKind::directory;
                break;
            case DT_LNK:
                e.kind = EntryKind::symlink;
                break;
            default:
                e.allocatedBytes = statEntry(name, e.kind);
                break;
        }
        fn(e);
    }
    return true;
}

}  // namespace tidewell
