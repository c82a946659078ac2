// The tray icon: the application's symbol, a pie chart, in the desktop's
// tray. A click opens the quick-clean panel beside it; its menu opens the
// main window or quits.
#pragma once

#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace tidewell {

class QuickCleanWindow;
class WindowHub;

// The symbol drawn for `pixels` square: two brand colours inside a dark
// rim, so it reads on light and on dark panels alike.
QImage traySymbol(int pixels);

class TrayIcon : public QObject {
    Q_OBJECT

  public:
    TrayIcon(QuickCleanWindow& panel, WindowHub& hub, QObject* parent = nullptr);

  private:
    void activate(QSystemTrayIcon::ActivationReason reason);

    QuickCleanWindow& panel_;
    QMenu menu_;
    QSystemTrayIcon icon_;
};

}  // namespace tidewell
