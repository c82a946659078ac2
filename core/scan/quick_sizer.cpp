#include "quick_sizer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <vector>

#include "directory_reader.h"
#include "scan_engine.h"
#include "walk_pool.h"

namespace tidewell::QuickSizer {

namespace {

// The directories on the way down, for telling a bind-mount loop.
struct Ancestor {
    std::shared_ptr<const Ancestor> up;
    DirectoryIdentity id;
};

class Measurement {
  public:
    explicit Measurement(std::stop_token stop)
        : stop_(std::move(stop)),
          buffers_(static_cast<std::size_t>(walkerSlotLimit()) + 1),
          pool_(walkerSlotLimit()) {}

    Totals run(const std::string& path) {
        outstanding_.store(1);
        measureDirectory(pool_.threadCount(), path, nullptr);
        finishJob();
        done_.wait();
        return {bytes_.load(), files_.load()};
    }

  private:
    void finishJob() {
        if (outstanding_.fetch_sub(1, std::memory_order_acq_rel) == 1) done_.open();
    }

    void measureDirectory(std::size_t worker, const std::string& path,
                          std::shared_ptr<const Ancestor> up) {
        if (stop_.stop_requested()) return;
        std::vector<std::string> subdirs;
        auto self = std::make_shared<Ancestor>();
        self->up = std::move(up);
        {
            DirectoryReader reader(path, buffers_[worker].bytes());
            if (!reader.isOpen()) return;
            self->id = reader.identity();
            for (const Ancestor* a = self->up.get(); a != nullptr; a = a->up.get())
                if (a->id == self->id) return;
            std::int64_t bytes = 0, files = 0;
            while (reader.nextBatch([&](const DirEntry& e) {
                switch (e.kind) {
                    case EntryKind::directory:
                        subdirs.push_back(childPath(path, e.name));
                        break;
                    case EntryKind::symlink:
                        break;
                    case EntryKind::other:
                        ++files;
                        bytes += e.allocatedBytes;
                        break;
                }
            })) {
                if (stop_.stop_requested()) break;
            }
            bytes_.fetch_add(bytes, std::memory_order_relaxed);
            files_.fetch_add(files, std::memory_order_relaxed);
        }
        std::vector<std::string*> inlineWork;
        for (std::string& sub : subdirs) {
            if (stop_.stop_requested()) return;
            if (pool_.tryTakeSlot()) {
                outstanding_.fetch_add(1, std::memory_order_relaxed);
                pool_.submit([this, sub = std::move(sub), self](std::size_t w) {
                    measureDirectory(w, sub, self);
                    finishJob();
                });
            } else {
                inlineWork.push_back(&sub);
            }
        }
        for (std::string* sub : inlineWork) {
            if (stop_.stop_requested()) return;
            measureDirectory(worker, *sub, self);
        }
    }

    std::stop_token stop_;
    std::atomic<std::int64_t> bytes_{0};
    std::atomic<std::int64_t> files_{0};
    std::atomic<std::int64_t> outstanding_{0};
    CompletionLatch done_;
    std::vector<ReadBuffer> buffers_;
    WalkPool pool_;  // last: joined first
};

}  // namespace

std::optional<Totals> measure(const std::string& path, std::stop_token stop) {
    struct statx stx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_BLOCKS, &stx) != 0)
        return std::nullopt;
    if (!S_ISDIR(stx.stx_mode)) {
        if (stop.stop_requested()) return std::nullopt;
        return Totals{static_cast<std::int64_t>(stx.stx_blocks) * 512, 1};
    }
    Measurement m(stop);
    Totals totals = m.run(path);
    if (stop.stop_requested()) return std::nullopt;
    return totals;
}

}  // namespace tidewell::QuickSizer
