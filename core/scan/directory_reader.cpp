#include "directory_reader.h"

#include <fcntl.h>
#include <unistd.h>

namespace tidewell {

DirectoryReader::DirectoryReader(const std::string& path, std::span<std::byte> buffer)
    : buffer_(buffer) {
    fd_ = ::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
}

void DirectoryReader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

DirectoryIdentity DirectoryReader::identity() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return {};
    return {st.st_dev, st.st_ino};
}

// Types DT_UNKNOWN entries too. An entry that vanished since the listing
// keeps its place with size 0.
std::int64_t DirectoryReader::statEntry(const char* name, EntryKind& kind) const {
    struct statx stx;  // not zeroed: statx fills what the mask asks for
    if (::statx(fd_, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
                STATX_TYPE | STATX_BLOCKS, &stx) != 0)
        return 0;
    if ((stx.stx_mask & STATX_TYPE) != 0) {
        if (S_ISDIR(stx.stx_mode)) {
            kind = EntryKind::directory;
            return 0;
        }
        if (S_ISLNK(stx.stx_mode)) {
            kind = EntryKind::symlink;
            return 0;
        }
    }
    return (stx.stx_mask & STATX_BLOCKS) != 0 ? static_cast<std::int64_t>(stx.stx_blocks) * 512 : 0;
}

}  // namespace tidewell
