// Carries one scan's progress records from any walker thread to the model on
// the main thread. Only the newest record waits: when records come faster
// than the main thread takes them, older ones are skipped, so the window
// never lags behind the scan. Status texts are never skipped.
#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "scan_progress.h"

namespace tidewell {

class ProgressChannel : public std::enable_shared_from_this<ProgressChannel> {
  public:
    // `apply` runs on `receiver`'s thread, never after cancel() or after the
    // receiver is gone.
    ProgressChannel(QObject* receiver, std::function<void(const ScanProgress&)> apply);

    void send(ScanProgress record);  // any thread
    // Any thread: never skipped, and delivered after every record sent
    // before it (a walker's record still waiting then is skipped instead).
    void sendInOrder(ScanProgress record);
    void finish();  // records sent later are dropped; those still waiting are delivered
    void cancel();  // nothing more is delivered

  private:
    void deliver();
    void post();  // with the lock held

    QPointer<QObject> receiver_;
    std::function<void(const ScanProgress&)> apply_;
    std::mutex mutex_;
    std::deque<ScanProgress> ordered_;     // status texts, oldest first
    std::optional<ScanProgress> pending_;  // the newest engine record
    bool posted_ = false;                  // a delivery is on its way
    bool finished_ = false;
    bool cancelled_ = false;
};

}  // namespace tidewell
