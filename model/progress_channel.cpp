#include "progress_channel.h"

#include <QMetaObject>
#include <QThread>

#include "scan_progress_value.h"

namespace tidewell {

ScanProgressValue ScanProgressValue::from(const ScanProgress& p) {
    return {p.fileCount, p.byteCount, QString::fromStdString(p.currentPath)};
}

ProgressChannel::ProgressChannel(QObject* receiver, std::function<void(const ScanProgress&)> apply)
    : receiver_(receiver), apply_(std::move(apply)) {}

void ProgressChannel::send(ScanProgress record) {
    // From the receiver's own thread, with nothing waiting, a record is
    // applied at once; walkers' records wait and coalesce.
    if (receiver_ && QThread::currentThread() == receiver_->thread()) {
        bool now = false;
        {
            std::lock_guard lock(mutex_);
            if (finished_) return;
            now = !posted_;
            if (!now) pending_ = std::move(record);
        }
        if (now) apply_(record);
        return;
    }
    std::lock_guard lock(mutex_);
    if (finished_) return;
    pending_ = std::move(record);
    post();
}

void ProgressChannel::sendInOrder(ScanProgress record) {
    std::lock_guard lock(mutex_);
    if (finished_) return;
    // A walker's record still waiting is older than this text: it is skipped.
    pending_.reset();
    ordered_.push_back(std::move(record));
    post();
}

void ProgressChannel::post() {
    // One delivery in flight at most; it takes whatever waits by then.
    if (posted_ || !receiver_) return;
    posted_ = true;
    QMetaObject::invokeMethod(
        receiver_.data(), [self = shared_from_this()] { self->deliver(); }, Qt::QueuedConnection);
}

void ProgressChannel::deliver() {
    std::deque<ScanProgress> ordered;
    std::optional<ScanProgress> record;
    {
        std::lock_guard lock(mutex_);
        posted_ = false;
        if (cancelled_) return;
        ordered = std::exchange(ordered_, {});
        record = std::exchange(pending_, std::nullopt);
    }
    if (!receiver_) return;
    // Each record is applied unless a cancel came meanwhile (`apply` may cancel).
    auto live = [this] {
        std::lock_guard lock(mutex_);
        return !cancelled_;
    };
    for (const ScanProgress& r : ordered) {
        if (!live()) return;
        apply_(r);
    }
    if (record && live()) apply_(*record);
}

void ProgressChannel::finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
}

void ProgressChannel::cancel() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    cancelled_ = true;
    ordered_.clear();
    pending_.reset();
}

}  // namespace tidewell
