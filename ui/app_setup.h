// What every process showing the window sets up before its first window:
// the controls' style, the dark palette, the default font and Qt's own
// Turkish texts (the folder chooser's, for one).
#pragma once

class QGuiApplication;

namespace tidewell {

void prepareInterface(QGuiApplication& app);

}  // namespace tidewell
