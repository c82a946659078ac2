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
    // From the receiver's own thread (the model's status texts) a record is
    // applied at once, in order; only walkers' records wait and coalesce.
    if (receiver_ && QThread::currentThread() == receiver_->thread()) {
        {
            std::lock_guard lock(mutex_);
            if (finished_) return;
            pending_.reset();
        }
        apply_(record);
        return;
    }
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        post = !pending_.has_value();
        pending_ = std::move(record);
    }
    // One delivery in flight at most; it takes whatever is newest by then.
    if (post && receiver_)
        QMetaObject::invokeMethod(
            receiver_.data(), [self = shared_from_this()] { self->deliver(); },
            Qt::QueuedConnection);
}

void ProgressChannel::deliver() {
    std::optional<ScanProgress> record;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        record = std::exchange(pending_, std::nullopt);
    }
    if (record && receiver_) apply_(*record);
}

void ProgressChannel::finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
}

void ProgressChannel::cancel() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    cancelled_ = true;
    pending_.reset();
}

ProgressSink ProgressChannel::sink() {
    return [self = shared_from_this()](const ScanProgress& p) { self->send(p); };
}

}  // namespace tidewell
