// tidewell-floor: the least work any scanner must do to size a tree on this machine.
//
// Four threads share a queue of directory paths; each directory is read with raw getdents64
// and every non-directory, non-symlink entry costs exactly one statx. Nothing is kept, so the
// time measured is the kernel's share of a scan and the gap to it is the scanner's overhead.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kThreads = 4;
constexpr std::size_t kBufferSize = 256 * 1024;

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Directories waiting to be read, plus a count of those still being read so that workers
// know when no more can appear.
class WorkQueue {
  public:
    void push(std::vector<std::string>& batch) {
        if (batch.empty()) return;
        {
            std::lock_guard lock(mutex_);
            pending_ += batch.size();
            for (auto& path : batch) queue_.push_back(std::move(path));
        }
        batch.clear();
        ready_.notify_all();
    }

    // Blocks until a directory is available; false once the walk is complete.
    bool pop(std::string& out) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !queue_.empty() || pending_ == 0; });
        if (queue_.empty()) return false;
        out = std::move(queue_.front());
        queue_.pop_front();
        return true;
    }

    void done() {
        bool finished = false;
        {
            std::lock_guard lock(mutex_);
            finished = --pending_ == 0;
        }
        if (finished) ready_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> queue_;
    std::size_t pending_ = 0;
};

struct Totals {
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<std::uint64_t> entries{0};
    std::atomic<std::uint64_t> errors{0};
};

std::string join(const std::string& dir, std::string_view name) {
    std::string path;
    path.reserve(dir.size() + 1 + name.size());
    path = dir;
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

void walk(WorkQueue& queue, Totals& totals) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    std::vector<std::string> subdirs;
    std::string dir_path;
    std::uint64_t bytes = 0;
    std::uint64_t entries = 0;
    std::uint64_t errors = 0;

    while (queue.pop(dir_path)) {
        const Fd dir(
            ::openat(AT_FDCWD, dir_path.c_str(), O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC));
        if (!dir.valid()) ++errors;
        while (dir.valid()) {
            const long n = ::syscall(SYS_getdents64, dir.get(), buffer.get(), kBufferSize);
            if (n < 0) ++errors;
            if (n <= 0) break;
            for (long pos = 0; pos < n;) {
                // Fields are copied out rather than cast: records are packed back to back.
                const char* record = buffer.get() + pos;
                unsigned short reclen = 0;
                unsigned char type = 0;
                std::memcpy(&reclen, record + offsetof(dirent64, d_reclen), sizeof reclen);
                std::memcpy(&type, record + offsetof(dirent64, d_type), sizeof type);
                const char* name = record + offsetof(dirent64, d_name);
                pos += reclen;

                if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                    continue;
                ++entries;
                if (type == DT_DIR) {
                    subdirs.push_back(join(dir_path, name));
                    continue;
                }
                if (type == DT_LNK) continue;

                struct statx stx {};
                if (::statx(dir.get(), name,
                            AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
                            STATX_TYPE | STATX_BLOCKS, &stx) != 0) {
                    ++errors;
                    continue;
                }
                if (type == DT_UNKNOWN) {
                    if (S_ISDIR(stx.stx_mode)) {
                        subdirs.push_back(join(dir_path, name));
                        continue;
                    }
                    if (S_ISLNK(stx.stx_mode)) continue;
                }
                if (stx.stx_mask & STATX_BLOCKS) bytes += stx.stx_blocks * 512;
            }
        }
        queue.push(subdirs);
        queue.done();
    }

    totals.bytes += bytes;
    totals.entries += entries;
    totals.errors += errors;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tidewell-floor PATH\n");
        return 2;
    }
    const std::string root = argv[1];
    {
        const Fd probe(
            ::openat(AT_FDCWD, root.c_str(), O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC));
        if (!probe.valid()) {
            std::fprintf(stderr, "tidewell-floor: cannot open '%s': %s\n", root.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    WorkQueue queue;
    Totals totals;
    std::vector<std::string> first{root};
    queue.push(first);
    {
        std::vector<std::jthread> pool;
        for (unsigned i = 0; i < kThreads; ++i)
            pool.emplace_back(walk, std::ref(queue), std::ref(totals));
    }

    std::printf("%llu bytes in %llu entries\n",
                static_cast<unsigned long long>(totals.bytes.load()),
                static_cast<unsigned long long>(totals.entries.load()));
    if (totals.errors > 0) {
        std::fprintf(stderr, "tidewell-floor: %llu entries could not be read\n",
                     static_cast<unsigned long long>(totals.errors.load()));
        return 1;
    }
    return 0;
}
