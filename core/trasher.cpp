#include "trasher.h"
#include "unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "user_dirs.h"

namespace tidewell::Trasher {

namespace {

// ---- small owners ------------------------------------------------------------

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

struct LocaleFreer {
    void operator()(locale_t l) const { ::freelocale(l); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFreer>;

// ---- texts -------------------------------------------------------------------

// The system's description of `err` in the user's language. LC_CTYPE comes
// along so the translation is not squeezed into ASCII.
std::string systemMessage(int err) {
    constexpr int mask = LC_MESSAGES_MASK | LC_CTYPE_MASK;
    LocaleHandle loc(::newlocale(mask, "", static_cast<locale_t>(nullptr)));
    if (!loc) loc.reset(::newlocale(mask, "C", static_cast<locale_t>(nullptr)));
    if (!loc) return "errno " + std::to_string(err);
    return ::strerror_l(err, loc.get());
}

// ---- paths -------------------------------------------------------------------

// Absolute, without empty, "." or ".." components and without a trailing "/".
bool isStandard(std::string_view path) {
    if (path.empty() || path.front() != '/') return false;
    if (path == "/") return true;
    std::size_t start = 1;
    for (;;) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == path.size()) return true;
        start = end + 1;
    }
}

std::string standardised(std::string_view path) {
    if (path.empty() || isStandard(path)) return std::string(path);
    std::filesystem::path p{std::string(path)};
    if (!p.is_absolute()) {
        std::error_code ec;
        p = std::filesystem::absolute(p, ec);
        if (ec) return std::string(path);
    }
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// The path without its last component: "/" for "/a", empty without a "/".
std::string parentOf(std::string_view path) {
    const std::size_t cut = path.rfind('/');
    if (cut == std::string_view::npos) return {};
    return std::string(path.substr(0, cut == 0 ? 1 : cut));
}

std::string lastComponent(std::string_view path) {
    const std::size_t cut = path.rfind('/');
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

bool isWithin(std::string_view path, std::string_view folder) {
    if (folder == "/") return true;
    return path == folder ||
           (path.starts_with(folder) && path.size() > folder.size() && path[folder.size()] == '/');
}

constexpr std::array<std::string_view, 21> kProtected = {
    "/System", "/usr", "/bin",  "/sbin", "/private/var/db", "/private/var/vm", "/Library/Apple",
    "/cores",  "/etc", "/boot", "/lib",  "/lib32",          "/lib64",          "/libx32",
    "/proc",   "/sys", "/dev",  "/run",  "/snap",           "/var/lib",        "/var/spool",
};

// The protection rule on a path already free of ".", ".." and extra slashes.
bool isProtectedClean(std::string_view path) {
    if (path.empty() || path.front() != '/' || path == "/") return true;
    // Fewer than two components: a clean path has exactly one "/" then.
    if (path.find('/', 1) == std::string_view::npos) return true;
    for (std::string_view p : kProtected)
        if (isWithin(path, p)) return true;
    return false;
}

bool canDeleteClean(const std::string& path) {
    if (isProtectedClean(path)) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || st.st_uid != ::getuid()) return false;
    const std::string parent = parentOf(path);
    return !parent.empty() && ::access(parent.c_str(), W_OK) == 0;
}

std::optional<TrashError> checkClean(const std::string& path) {
    if (isProtectedClean(path)) return TrashError{TrashErrorKind::protectedPath, path, {}};
    if (!canDeleteClean(path)) return TrashError{TrashErrorKind::notOwned, path, {}};
    return std::nullopt;
}

TrashError failure(const std::string& path, int err) {
    return TrashError{TrashErrorKind::failed, path, systemMessage(err)};
}

// ---- the freedesktop.org Trash -----------------------------------------------

constexpr std::size_t kInfoSuffixLength = std::string_view(".trashinfo").size();
constexpr unsigned kMaxNameAttempts = 10000;

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

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::array<char, 32> buf{};
    const std::size_t n = std::strftime(buf.data(), buf.size(), "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(buf.data(), n);
}

// Shortens to at most `limit` bytes without splitting a UTF-8 sequence.
std::string_view clippedUtf8(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) return s;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    return s.substr(0, cut);
}

// The name an item gets in files/: its own, then "report 2.pdf", "report 3.pdf"…
// so the extension stays readable. Short enough that NAME.trashinfo fits.
std::string trashName(std::string_view name, unsigned attempt) {
    constexpr std::size_t limit = NAME_MAX - kInfoSuffixLength;
    std::string_view stem = name;
    std::string_view ext;
    if (const std::size_t dot = name.rfind('.');
        dot != std::string_view::npos && dot != 0 && name.size() - dot <= 16) {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
    const std::string counter = attempt <= 1 ? std::string() : " " + std::to_string(attempt);
    if (attempt <= 1 && name.size() <= limit) return std::string(name);
    std::string out(clippedUtf8(stem, limit - counter.size() - ext.size()));
    out += counter;
    out += ext;
    return out;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// mkdir -p that leaves existing folders' modes alone; new ones get 0700.
int makeFolders(const std::string& path) {
    for (std::size_t cut = path.find('/', 1);; cut = path.find('/', cut + 1)) {
        const std::string part = path.substr(0, cut);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        if (cut == std::string::npos) return 0;
    }
}

// The file system a folder lives on, or would live on once created: that of
// its nearest existing ancestor.
std::optional<dev_t> deviceOfNearest(std::string path) {
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) return st.st_dev;
        if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        if (path == "/" || path.empty()) return std::nullopt;
        path = parentOf(path);
    }
}

int openSubfolder(int dirFd, const char* name, bool create, UniqueFd& out) {
    if (create && ::mkdirat(dirFd, name, 0700) != 0 && errno != EEXIST) return errno;
    out = UniqueFd(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return out ? 0 : errno;
}

struct TrashFolder {
    UniqueFd files;
    UniqueFd info;
};

int openTrashParts(int trashFd, TrashFolder& out) {
    if (int err = openSubfolder(trashFd, "files", true, out.files)) return err;
    return openSubfolder(trashFd, "info", true, out.info);
}

int openHomeTrash(const std::string& trash, TrashFolder& out) {
    if (int err = makeFolders(trash)) return err;
    // The data folder may legitimately sit behind a symbolic link.
    const UniqueFd fd(::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return errno;
    return openTrashParts(fd.get(), out);
}

bool isOurFolder(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// $topdir/.Trash/$uid when the administrator provided a sticky .Trash,
// otherwise our own $topdir/.Trash-$uid.
int openTopdirTrash(const std::string& topdir, TrashFolder& out) {
    const UniqueFd top(::open(topdir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!top) return errno;
    const std::string uid = std::to_string(::getuid());

    struct stat shared {};
    if (::fstatat(top.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX) != 0) {
        UniqueFd sharedFd;
        UniqueFd mine;
        if (openSubfolder(top.get(), ".Trash", false, sharedFd) == 0 &&
            openSubfolder(sharedFd.get(), uid.c_str(), true, mine) == 0 &&
            isOurFolder(mine.get()) && openTrashParts(mine.get(), out) == 0)
            return 0;
        out = TrashFolder{};
    }

    const std::string own = ".Trash-" + uid;
    UniqueFd mine;
    if (int err = openSubfolder(top.get(), own.c_str(), true, mine)) return err;
    if (!isOurFolder(mine.get())) return EPERM;
    return openTrashParts(mine.get(), out);
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

// Reserves a name with an exclusive .trashinfo, then moves the item with one
// rename. 0 when done, else the errno.
int moveInto(const TrashFolder& trash, int parentFd, const std::string& name,
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

// ---- removal -----------------------------------------------------------------

// Directories held open at once while removing; deeper trees close their
// ancestors and come back to them through a verified "..".
constexpr std::size_t kMaxOpenFolders = 64;
// Listings are read again when a folder is still not empty at the end (some
// file systems skip entries while others are removed).
constexpr int kMaxPasses = 3;

struct Frame {
    std::string name;  // in the folder below it on the stack
    dev_t device = 0;
    ino_t inode = 0;
    DirStream dir;
    int passes = 0;
};

// Opens a folder to empty it. Stays on `device`: whatever is mounted inside
// the item is not part of it.
int openForRemoval(int dirFd, const char* name, dev_t device, Frame& out) {
    UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return errno;
    if (st.st_dev != device) return EBUSY;
    // Read-only folders of the user's own (module caches) cannot be emptied
    // otherwise; the folder goes away anyway.
    if (st.st_uid == ::getuid() && (st.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(fd.get(), (st.st_mode & 07777) | S_IRWXU);
    DIR* dir = ::fdopendir(fd.get());
    if (dir == nullptr) return errno;
    fd.release();
    out.name = name;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    out.dir.reset(dir);
    return 0;
}

// Brings back a closed ancestor through the open child's "..", refusing when
// the tree was moved meanwhile.
int reopenThroughChild(const Frame& child, Frame& ancestor) {
    UniqueFd fd(
        ::openat(::dirfd(child.dir.get()), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return errno;
    if (st.st_dev != ancestor.device || st.st_ino != ancestor.inode) return EBUSY;
    DIR* dir = ::fdopendir(fd.get());
    if (dir == nullptr) return errno;
    fd.release();
    ancestor.dir.reset(dir);
    return 0;
}

int unlinkEntry(int dirFd, const char* name) {
    return ::unlinkat(dirFd, name, 0) == 0 || errno == ENOENT ? 0 : errno;
}

// Removes `name` in `parentFd` and everything below it, descending only by
// directory descriptor so no link can redirect it. 0 when done, else errno.
int removeTree(int parentFd, const std::string& name) {
    struct stat item {};
    if (::fstatat(parentFd, name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISDIR(item.st_mode)) return unlinkEntry(parentFd, name.c_str());
    struct stat parent {};
    if (::fstat(parentFd, &parent) != 0) return errno;
    const dev_t device = parent.st_dev;

    std::vector<Frame> stack;
    stack.emplace_back();
    if (int err = openForRemoval(parentFd, name.c_str(), device, stack.back())) return err;
    std::size_t firstOpen = 0;  // frames below this index have their listing closed

    while (!stack.empty()) {
        const std::size_t top = stack.size() - 1;
        DIR* dir = stack[top].dir.get();
        const int fd = ::dirfd(dir);
        errno = 0;
        if (const dirent* e = ::readdir(dir)) {
            const char* entry = e->d_name;
            if (std::strcmp(entry, ".") == 0 || std::strcmp(entry, "..") == 0) continue;
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st {};
                if (::fstatat(fd, entry, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno == ENOENT) continue;
                    return errno;
                }
                isDir = S_ISDIR(st.st_mode);
            }
            if (!isDir) {
                if (::unlinkat(fd, entry, 0) == 0 || errno == ENOENT) continue;
                if (errno != EISDIR) return errno;  // else it became a folder meanwhile
            }
            Frame child;
            const int err = openForRemoval(fd, entry, device, child);
            if (err == ENOENT) continue;
            if (err == ELOOP || err == ENOTDIR) {
                // Swapped for a link or file since it was listed: remove that, never enter it.
                if (int unlinkErr = unlinkEntry(fd, entry)) return unlinkErr;
                continue;
            }
            if (err != 0) return err;
            stack.push_back(std::move(child));
            if (stack.size() - firstOpen > kMaxOpenFolders) stack[firstOpen++].dir.reset();
            continue;
        }
        if (errno != 0) return errno;

        // Listing done: the folder should be empty now.
        if (top > 0 && !stack[top - 1].dir) {
            if (int err = reopenThroughChild(stack[top], stack[top - 1])) return err;
            firstOpen = top - 1;
        }
        const int holder = top == 0 ? parentFd : ::dirfd(stack[top - 1].dir.get());
        if (::unlinkat(holder, stack[top].name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
            const int err = errno;
            if ((err != ENOTEMPTY && err != EEXIST) || ++stack[top].passes >= kMaxPasses)
                return err;
            ::rewinddir(dir);
            continue;
        }
        stack.pop_back();
    }
    return 0;
}

}  // namespace

std::string TrashError::description() const {
    switch (kind) {
        case TrashErrorKind::protectedPath:
            return "Korumalı sistem yolu silinemez: " + path;
        case TrashErrorKind::notOwned:
            return "Bu öğe sana ait değil, uygulama silemez: " + path;
        case TrashErrorKind::failed:
            return "Taşınamadı: " + path + " — " + underlying;
    }
    return path;
}

bool isProtected(std::string_view path) {
    if (path.empty() || path.front() != '/') return true;
    // Paths from a scan are standard already; only odd ones pay for a copy.
    return isStandard(path) ? isProtectedClean(path) : isProtectedClean(standardised(path));
}

bool canDelete(std::string_view path) {
    if (path.empty() || path.front() != '/') return false;
    return canDeleteClean(standardised(path));
}

std::optional<TrashError> check(std::string_view path) {
    return checkClean(standardised(path));
}

std::optional<std::string> homeTrash() {
    const std::optional<std::string> data = dataHome();
    if (!data) return std::nullopt;
    return standardised(*data + "/Trash");
}

std::optional<TrashError> moveToTrash(std::string_view pathArg) {
    const std::string path = standardised(pathArg);
    if (std::optional<TrashError> refusal = checkClean(path)) return refusal;
    const std::string name = lastComponent(path);

    // The topdir walk needs the real folders, not a symbolic link on the way.
    std::error_code ec;
    const std::string parent = std::filesystem::canonical(parentOf(path), ec).string();
    if (ec) return failure(path, ec.value());
    const UniqueFd parentFd(
        ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!parentFd) return failure(path, errno);
    struct stat st {};
    if (::fstatat(parentFd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstat(parentFd.get(), &st) != 0)
        return failure(path, errno);
    // The entry lives in its folder's file system and a rename must stay there
    // (a mount point itself then fails the rename, as it should).
    const dev_t device = st.st_dev;

    TrashFolder trash;
    std::string recorded = path;
    const std::optional<std::string> home = homeTrash();
    if (home && deviceOfNearest(*home + "/files") == device) {
        if (isWithin(*home, path)) return failure(path, EINVAL);  // would move into itself
        if (int err = openHomeTrash(*home, trash)) return failure(path, err);
    } else {
        std::string topdir = parent;
        while (topdir != "/") {
            const std::string up = parentOf(topdir);
            struct stat upSt {};
            if (::stat(up.c_str(), &upSt) != 0 || upSt.st_dev != device) break;
            topdir = up;
        }
        if (int err = openTopdirTrash(topdir, trash)) return failure(path, err);
        // Relative to topdir, as the Trash rules recommend there: a removable
        // disk restores correctly wherever it is mounted next time.
        const std::string real = parent == "/" ? "/" + name : parent + "/" + name;
        recorded = topdir == "/" ? real.substr(1) : real.substr(topdir.size() + 1);
    }
    if (int err = moveInto(trash, parentFd.get(), name, recorded)) return failure(path, err);
    return std::nullopt;
}

std::optional<TrashError> deletePermanently(std::string_view pathArg) {
    const std::string path = standardised(pathArg);
    if (std::optional<TrashError> refusal = checkClean(path)) return refusal;
    const std::string parent = parentOf(path);
    const UniqueFd parentFd(
        ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!parentFd) return failure(path, errno);
    if (int err = removeTree(parentFd.get(), lastComponent(path))) return failure(path, err);
    return std::nullopt;
}

}  // namespace tidewell::Trasher
