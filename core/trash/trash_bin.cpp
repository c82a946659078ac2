#include "trash_bin.h"

#include "unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

namespace tidewell {

namespace {

constexpr std::size_t kInfoSuffixLength = std::string_view(".trashinfo").size();
constexpr unsigned kMaxNameAttempts = 10000;

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::array<char, 32> buf{};
    const std::size_t n = std::strftime(buf.data(), buf.size(), "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(buf.data(), n);
}

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length a UTF-8 sequence starting with `lead` announces; 0 for a byte
// that starts none.
std::size_t sequenceLength(char lead) {
    const auto b = static_cast<unsigned char>(lead);
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return 2;
    if (b >= 0xE0 && b <= 0xEF) return 3;
    if (b >= 0xF0 && b <= 0xF4) return 4;
    return 0;
}

// `s` shortened to at most `limit` bytes. A character of well-formed UTF-8 is
// not split; other bytes are cut where the limit falls, so a name of
// arbitrary bytes keeps all but at most three of them.
std::string_view clipped(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) return s;
    if (!isContinuation(s[limit])) return s.substr(0, limit);
    for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
        const std::size_t lead = limit - back;
        if (isContinuation(s[lead])) continue;
        const std::size_t length = sequenceLength(s[lead]);
        bool whole = length > back && lead + length <= s.size();
        for (std::size_t i = lead + 1; whole && i < lead + length; ++i)
            whole = isContinuation(s[i]);
        return s.substr(0, whole ? lead : limit);
    }
    return s.substr(0, limit);
}

// mkdir -p that leaves existing folders' modes alone; new ones get 0700.
int makeFolders(const std::string& path) {
    for (std::size_t cut = path.find('/', 1);; cut = path.find('/', cut + 1)) {
        const std::string part = path.substr(0, cut);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        if (cut == std::string::npos) return 0;
    }
}

int openSubfolder(int dirFd, const char* name, bool create, UniqueFd& out) {
    if (create && ::mkdirat(dirFd, name, 0700) != 0 && errno != EEXIST) return errno;
    out = UniqueFd(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return out ? 0 : errno;
}

int openTrashParts(int trashFd, TrashFolder& out) {
    if (int err = openSubfolder(trashFd, "files", true, out.files)) return err;
    return openSubfolder(trashFd, "info", true, out.info);
}

bool isOurFolder(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// One rename that never replaces: a stale entry in files/ without its
// .trashinfo must not be clobbered. 0 when moved, else the errno.
int renameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return errno;
    // File systems without NOREPLACE: look first, then the plain rename.
    struct stat st {};
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

}  // namespace

std::string urlEscaped(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        const bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                          (b >= '0' && b <= '9') || b == '-' || b == '.' || b == '_' || b == '~' ||
                          b == '/';
        if (keep) {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
    }
    return out;
}

std::string trashName(std::string_view name, unsigned attempt) {
    constexpr std::size_t limit = NAME_MAX - kInfoSuffixLength;
    if (attempt <= 1 && name.size() <= limit) return std::string(name);
    std::string_view stem = name;
    std::string_view ext;
    if (const std::size_t dot = name.rfind('.');
        dot != std::string_view::npos && dot != 0 && name.size() - dot <= 16) {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
    const std::string counter = attempt <= 1 ? std::string() : " " + std::to_string(attempt);
    // The stem keeps at least limit - 3 - 6 - 16 bytes here, so it is never empty.
    std::string out(clipped(stem, limit - counter.size() - ext.size()));
    out += counter;
    out += ext;
    return out;
}

int openHomeTrash(const std::string& trash, TrashFolder& out) {
    if (int err = makeFolders(trash)) return err;
    // The data folder may legitimately sit behind the user's own links.
    const UniqueFd fd(::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return errno;
    return openTrashParts(fd.get(), out);
}

int openTopdirTrash(int topFd, TrashFolder& out) {
    const std::string uid = std::to_string(::getuid());
    struct stat shared {};
    if (::fstatat(topFd, ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0) {
        UniqueFd sharedFd;
        UniqueFd mine;
        if (openSubfolder(topFd, ".Trash", false, sharedFd) == 0 &&
            openSubfolder(sharedFd.get(), uid.c_str(), true, mine) == 0 &&
            isOurFolder(mine.get()) && openTrashParts(mine.get(), out) == 0)
            return 0;
        out = TrashFolder{};
    }
    const std::string own = ".Trash-" + uid;
    UniqueFd mine;
    if (int err = openSubfolder(topFd, own.c_str(), true, mine)) return err;
    if (!isOurFolder(mine.get())) return EPERM;
    return openTrashParts(mine.get(), out);
}

int moveIntoTrash(const TrashFolder& trash, int parentFd, const std::string& name,
                  std::string_view recordedPath) {
    const std::string info = "[Trash Info]\nPath=" + urlEscaped(recordedPath) +
                             "\nDeletionDate=" + deletionDate() + "\n";
    for (unsigned attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string candidate = trashName(name, attempt);
        const std::string infoName = candidate + ".trashinfo";
        UniqueFd fd(::openat(trash.info.get(), infoName.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == EEXIST) continue;
            return errno;  // EROFS, EACCES, ENOSPC…: trying other names cannot help
        }
        const bool written = writeAll(fd.get(), info);
        int err = written ? 0 : errno;
        if (!fd.close() && err == 0) err = errno;
        if (err == 0) {
            err = renameNoReplace(parentFd, name.c_str(), trash.files.get(), candidate.c_str());
            if (err == 0) return 0;
        }
        ::unlinkat(trash.info.get(), infoName.c_str(), 0);
        if (err != EEXIST) return err;
    }
    return EEXIST;
}

}  // namespace tidewell
