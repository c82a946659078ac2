// Keeps folders recorded for the application: by tidewell-historyd when it
// holds the journal, else by a recorder inside this process. Used from any
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "change_recorder.h"

namespace tidewell {

class HistoryRecording {
  public:
    explicit HistoryRecording(std::string historyDir) : dir_(std::move(historyDir)) {}

    // Makes sure `root` is recorded from now on (again, with its whole tree,
    // when its recording was lost) and returns an identifier after which
    // every change under it is in the history; nothing when it cannot be
    // recorded or the recorder does not answer.
    std::optional<std::uint64_t> identifierFor(const std::string& root);

    // The scan engine's observer while this process records (it adds each
    // directory's watch before the directory is read); null while the
    // service records (it watches whole trees itself).
    std::shared_ptr<ScanObserver> scanObserver() const;
    bool usesService() const;

  private:
    const std::string dir_;
    mutable std::mutex mutex_;  // guards the two below
    std::shared_ptr<ChangeRecorder> own_;
    bool service_ = false;
};

}  // namespace tidewell
