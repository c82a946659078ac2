// A throw-away home for the programs that show the window without a user:
// the screenshots and the benchmarks. Its settings, caches, Trash, history
// and runtime folders live in a temporary folder removed at the end.
#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace tidewell {

class ScratchHome {
  public:
    // Points the XDG folders into a new temporary folder (the runtime one
    // private to the user) and draws offscreen unless a platform is chosen.
    // Made before the application object.
    ScratchHome();
    bool isValid() const { return dir_.isValid(); }
    // The temporary folder; config/, data/, cache/, state/ and runtime/ are in it.
    QDir root() const { return QDir(dir_.path()); }

  private:
    QTemporaryDir dir_;
};

}  // namespace tidewell
