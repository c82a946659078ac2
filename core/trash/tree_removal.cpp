#include "tree_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "paths.h"
#include "unique_fd.h"

namespace tidewell {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

// Directories held open at once; deeper trees close their ancestors and come
// back to them through a verified "..".
constexpr std::size_t kMaxOpenFolders = 64;
// Listings are read again when a folder is still not empty at the end (some
// file systems skip entries while others are removed).
constexpr int kMaxPasses = 3;

struct Frame {
    std::string name;  // in the folder below it on the stack
    ino_t inode = 0;
    DirStream dir;
    int passes = 0;
    bool blocked = false;  // something mounted inside keeps it
};

int unlinkEntry(int dirFd, const char* name) {
    return ::unlinkat(dirFd, name, 0) == 0 || errno == ENOENT ? 0 : errno;
}

// Brings back a closed ancestor through the open child's "..", refusing when
// the tree was moved meanwhile.
int reopenThroughChild(const Frame& child, Frame& ancestor) {
    UniqueFd fd(
        ::openat(::dirfd(child.dir.get()), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return errno;
    if (st.st_ino != ancestor.inode) return EBUSY;
    DIR* dir = ::fdopendir(fd.get());
    if (dir == nullptr) return errno;
    fd.release();
    ancestor.dir.reset(dir);
    return 0;
}

class Removal {
  public:
    Removal(int parentFd, std::string_view path, const MountIds& ids, const MountId& mount)
        : parentFd_(parentFd), path_(path), ids_(ids), mount_(mount) {}

    int run(const std::string& name) {
        if (int err = take(parentFd_, name.c_str(), path_)) return err;
        while (!stack_.empty())
            if (int err = step()) return err;
        return rootBlocked_ ? EBUSY : 0;
    }

  private:
    // The path of `entry` in the folder on top of the stack, when paths are read.
    std::string pathOf(const char* entry) const {
        if (!ids_.needsPaths()) return {};
        std::string out(path_);
        for (std::size_t i = 1; i < stack_.size(); ++i) out = childPath(out, stack_[i].name);
        return childPath(out, entry);
    }

    void markBlocked() {
        if (stack_.empty())
            rootBlocked_ = true;
        else
            stack_.back().blocked = true;
    }

    // Removes a non-folder entry, or opens a folder and pushes it to be emptied.
    int take(int dirFd, const char* entry, std::string_view path) {
        EntryStat st;
        if (int err = ids_.ofEntry(dirFd, entry, path, st)) return err == ENOENT ? 0 : err;
        if (!S_ISDIR(st.mode)) return unlinkLeaf(dirFd, entry);
        if (st.mount != mount_) {
            markBlocked();
            return 0;
        }
        // The user's own locked folders (0000, 0300, read-only module caches)
        // open up through their parent before anything inside is touched.
        if (st.uid == ::getuid() && (st.mode & S_IRWXU) != S_IRWXU)
            ::fchmodat(dirFd, entry, (st.mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
        UniqueFd fd(::openat(dirFd, entry, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            if (errno == ENOENT) return 0;
            // Swapped for a link or a file since it was examined: remove that, never enter it.
            if (errno == ENOTDIR || errno == ELOOP) return unlinkLeaf(dirFd, entry);
            return errno;
        }
        EntryStat opened;
        if (int err = ids_.ofOpen(fd.get(), path, opened)) return err;
        if (opened.mount != mount_) {  // mounted over since it was examined
            markBlocked();
            return 0;
        }
        DIR* dir = ::fdopendir(fd.get());
        if (dir == nullptr) return errno;
        fd.release();
        Frame frame;
        frame.name = entry;
        frame.inode = opened.inode;
        frame.dir.reset(dir);
        stack_.push_back(std::move(frame));
        if (stack_.size() - firstOpen_ > kMaxOpenFolders) stack_[firstOpen_++].dir.reset();
        return 0;
    }

    int unlinkLeaf(int dirFd, const char* entry) {
        const int err = unlinkEntry(dirFd, entry);
        if (err == EBUSY) {  // a file mounted over: not part of the tree
            markBlocked();
            return 0;
        }
        if (err == EISDIR) return 0;  // became a folder: the next pass over the listing takes it
        return err;
    }

    // Handles one entry of the folder on top, or that folder once its listing is done.
    int step() {
        const std::size_t top = stack_.size() - 1;
        DIR* dir = stack_[top].dir.get();
        errno = 0;
        if (const dirent* e = ::readdir(dir)) {
            const char* entry = e->d_name;
            if (std::strcmp(entry, ".") == 0 || std::strcmp(entry, "..") == 0) return 0;
            const int fd = ::dirfd(dir);
            if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN) {
                if (::unlinkat(fd, entry, 0) == 0 || errno == ENOENT) return 0;
                if (errno == EBUSY) {  // a file mounted over: not part of the tree
                    markBlocked();
                    return 0;
                }
                if (errno != EISDIR) return errno;  // else it became a folder since it was listed
            }
            return take(fd, entry, pathOf(entry));
        }
        if (errno != 0) return errno;

        // Listing done: the folder should be empty now.
        if (top > 0 && !stack_[top - 1].dir) {
            if (int err = reopenThroughChild(stack_[top], stack_[top - 1])) return err;
            firstOpen_ = top - 1;
        }
        const int holder = top == 0 ? parentFd_ : ::dirfd(stack_[top - 1].dir.get());
        if (::unlinkat(holder, stack_[top].name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
            const int err = errno;
            if (err != ENOTEMPTY && err != EEXIST) return err;
            if (!stack_[top].blocked) {
                if (++stack_[top].passes >= kMaxPasses) return err;
                ::rewinddir(dir);
                return 0;
            }
            // Left in place around what is mounted inside; its siblings still go.
            const bool wasRoot = top == 0;
            stack_.pop_back();
            if (wasRoot)
                rootBlocked_ = true;
            else
                stack_.back().blocked = true;
            return 0;
        }
        stack_.pop_back();
        return 0;
    }

    int parentFd_;
    std::string_view path_;
    const MountIds& ids_;
    MountId mount_;
    std::vector<Frame> stack_;
    std::size_t firstOpen_ = 0;  // frames below this index have their listing closed
    bool rootBlocked_ = false;
};

}  // namespace

int removeTree(int parentFd, const std::string& name, std::string_view path, const MountIds& ids,
               const MountId& mount) {
    return Removal(parentFd, path, ids, mount).run(name);
}

}  // namespace tidewell
