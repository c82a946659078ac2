#include "trasher.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <type_traits>
#include <utility>

#include "mount_ids.h"
#include "nofollow_walk.h"
#include "paths.h"
#include "trash_bin.h"
#include "tree_removal.h"
#include "unique_fd.h"
#include "user_dirs.h"

namespace tidewell::Trasher {

namespace {

struct LocaleFreer {
    void operator()(locale_t l) const { ::freelocale(l); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFreer>;

// The system's description of `err` in the user's language. LC_CTYPE comes
// along so the translation is not squeezed into ASCII.
std::string systemMessage(int err) {
    constexpr int mask = LC_MESSAGES_MASK | LC_CTYPE_MASK;
    LocaleHandle loc(::newlocale(mask, "", static_cast<locale_t>(nullptr)));
    if (!loc) loc.reset(::newlocale(mask, "C", static_cast<locale_t>(nullptr)));
    if (!loc) return "errno " + std::to_string(err);
    return ::strerror_l(err, loc.get());
}

TrashError failure(std::string_view path, int err) {
    return TrashError{TrashErrorKind::failed, std::string(path), systemMessage(err)};
}

constexpr std::array<std::string_view, 21> kProtected = {
    "/System", "/usr", "/bin",  "/sbin", "/private/var/db", "/private/var/vm", "/Library/Apple",
    "/cores",  "/etc", "/boot", "/lib",  "/lib32",          "/lib64",          "/libx32",
    "/proc",   "/sys", "/dev",  "/run",  "/snap",           "/var/lib",        "/var/spool",
};

// The protection rule on a canonical path.
bool isProtectedCanonical(std::string_view path) {
    if (path == "/") return true;
    // Fewer than two components: a canonical path has exactly one "/" then.
    if (path.find('/', 1) == std::string_view::npos) return true;
    for (std::string_view p : kProtected)
        if (isAtOrBelow(path, p)) return true;
    return false;
}

// An item reached without following links, with what the rules need of it.
struct Located {
    UniqueFd parent;  // O_PATH, reached by the no-follow walk
    std::string name;
    MountId mount;  // of the parent, and so of the item (a mount point is refused)
    // With `wantTopdir`: the top folder of that mount and its path.
    UniqueFd topdir;
    std::string topdirPath;
};

// Whether the user may write into the folder open at `fd` (an O_PATH
// descriptor). Kernels before faccessat2 (5.8) cannot take the descriptor
// itself; its /proc entry leads to the same folder.
bool mayWriteInto(int fd) {
    if (::faccessat(fd, "", W_OK, AT_EMPTY_PATH) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    return ::access(("/proc/self/fd/" + std::to_string(fd)).c_str(), W_OK) == 0;
}

// A symbolic link on the way stopped the walk. What it leads to is judged
// too, so the refusal says when the item's real place is protected.
TrashError linkedAncestorRefusal(std::string_view path, const PathSplit& split, int err) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(std::string(split.folder), ec);
    if (!ec) {
        const std::string realItem = childPath(real.string(), split.name);
        if (isProtectedCanonical(realItem))
            return TrashError{TrashErrorKind::protectedPath, realItem, {}};
    }
    return failure(path, err);
}

// Decides every refusal before anything is touched, on the entry that will
// then be acted on through `out.parent`.
std::optional<TrashError> locate(std::string_view path, const MountIds& ids, bool wantTopdir,
                                 Located& out) {
    if (!isCanonicalPath(path)) return failure(path, EINVAL);
    if (isProtectedCanonical(path))
        return TrashError{TrashErrorKind::protectedPath, std::string(path), {}};
    const PathSplit split = splitCanonicalPath(path);

    // The top of the item's mount is where a run of folders on one mount
    // begins, the last such run on the way.
    std::optional<MountId> runMount;
    int visitError = 0;
    WalkVisitor visit;
    if (wantTopdir) {
        visit = [&](int fd, std::string_view prefix) {
            EntryStat st;
            if (visitError != 0) return;
            if (int err = ids.ofOpen(fd, prefix, st)) {
                visitError = err;
                return;
            }
            if (runMount && *runMount == st.mount) return;
            runMount = st.mount;
            out.topdir = UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
            out.topdirPath = prefix;
            if (!out.topdir) visitError = errno;
        };
    }
    if (int err = openFolderNoFollow(split.folder, out.parent, visit)) {
        if (err == ENOTDIR || err == ELOOP) return linkedAncestorRefusal(path, split, err);
        return failure(path, err);
    }
    if (visitError != 0) return failure(path, visitError);
    out.name = split.name;

    EntryStat folder;
    if (int err = ids.ofOpen(out.parent.get(), split.folder, folder)) return failure(path, err);
    EntryStat item;
    if (int err = ids.ofEntry(out.parent.get(), out.name.c_str(), path, item))
        return failure(path, err);
    if (item.uid != ::getuid() || !mayWriteInto(out.parent.get()))
        return TrashError{TrashErrorKind::notOwned, std::string(path), {}};
    // Something mounted here is not the user's to delete, and its file system
    // would not go with it anyway.
    if (item.mount != folder.mount) return failure(path, EBUSY);
    out.mount = folder.mount;
    return std::nullopt;
}

// The file system a folder lives on, or would live on once created: that of
// its nearest existing ancestor.
std::optional<dev_t> deviceOfNearest(std::string path) {
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) return st.st_dev;
        if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        if (path == "/" || path.empty()) return std::nullopt;
        path = std::string(splitCanonicalPath(path).folder);
    }
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
    return !isCanonicalPath(path) || isProtectedCanonical(path);
}

bool canDelete(std::string_view path) {
    return !check(path);
}

std::optional<TrashError> check(std::string_view path) {
    Located at;
    return locate(path, MountIds::forSystem(), false, at);
}

std::optional<std::string> homeTrash() {
    const std::optional<std::string> data = dataHome();
    if (!data || data->empty() || data->front() != '/') return std::nullopt;
    // The user's setting, not an item: spelled loosely, it still names one folder.
    std::string trash = std::filesystem::path(*data + "/Trash").lexically_normal().string();
    while (trash.size() > 1 && trash.back() == '/') trash.pop_back();
    return trash;
}

std::optional<TrashError> moveToTrash(std::string_view path) {
    Located at;
    if (std::optional<TrashError> refusal = locate(path, MountIds::forSystem(), true, at))
        return refusal;

    TrashFolder trash;
    std::string recorded(path);
    const std::optional<std::string> home = homeTrash();
    if (home && deviceOfNearest(*home + "/files") == at.mount.device) {
        if (isAtOrBelow(*home, path)) return failure(path, EINVAL);  // would move into itself
        if (int err = openHomeTrash(*home, trash)) return failure(path, err);
    } else {
        if (int err = openTopdirTrash(at.topdir.get(), trash)) return failure(path, err);
        // Relative to topdir, as the Trash rules recommend there: a removable
        // disk restores correctly wherever it is mounted next time.
        recorded = path.substr(at.topdirPath == "/" ? 1 : at.topdirPath.size() + 1);
    }
    if (int err = moveIntoTrash(trash, at.parent.get(), at.name, recorded))
        return failure(path, err);
    return std::nullopt;
}

std::optional<TrashError> deletePermanently(std::string_view path) {
    const MountIds ids = MountIds::forSystem();
    Located at;
    if (std::optional<TrashError> refusal = locate(path, ids, false, at)) return refusal;
    if (int err = removeTree(at.parent.get(), at.name, path, ids, at.mount))
        return failure(path, err);
    return std::nullopt;
}

}  // namespace tidewell::Trasher
