// Carries one scan's progress records from any walker thread to the model on
// the main thread. Only the newest record waits: when records come faster
// than the main thread takes them, older ones are skipped, so the window
// never lags behind the scan.
#pragma once

#include <QObject>
#include <QPointer>
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
    void finish();        // records sent later are dropped; one still waiting is delivered
    void cancel();        // nothing more is delivered
    ProgressSink sink();  // a sink for the scan engine

  private:
    void deliver();

    QPointer<QObject> receiver_;
    std::function<void(const ScanProgress&)> apply_;
    std::mutex mutex_;
    std::optional<ScanProgress> pending_;
    bool finished_ = false;
    bool cancelled_ = false;
};

}  // namespace tidewell
