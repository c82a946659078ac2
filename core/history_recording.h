// Keeps folders recorded for the application: by tidewell-historyd when it
// holds the journal, else by a recorder inside this process.
#pragma once

#include <memory>
#include <string>

#include "change_recorder.h"

namespace tidewell {

class HistoryRecording {
  public:
    explicit HistoryRecording(std::string historyDir) : dir_(std::move(historyDir)) {}

    // Makes sure `root` is recorded from now on, so that an identifier taken
    // after this returns covers it. False when nothing can record.
    bool ensureRecorded(const std::string& root);

    // The scan engine's observer while this process records (it adds each
    // directory's watch before the directory is read); null while the
    // service records (it watches whole trees itself).
    ScanObserver* scanObserver() const { return own_.get(); }
    bool usesService() const { return !own_ && service_; }

  private:
    std::string dir_;
    std::unique_ptr<ChangeRecorder> own_;
    bool service_ = false;
};

}  // namespace tidewell
