// The quick-clean panel's window: QuickCleanView.qml in a small window of its
// own. Beside the tray icon it is frameless and goes away when it loses focus
// or on Escape; on a desktop without a tray it is an ordinary small window.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>

#include <memory>

#include "quick_clean_panel.h"

class QQmlEngine;
class QQuickView;

namespace tidewell {

class WindowHub;

// Where a panel of `size` goes beside `anchor` (the tray icon): on the side
// away from the screen edge the anchor is nearest to, kept inside `available`
// (the screen without its panels). `screen` is the whole screen.
QPoint panelPosition(const QRect& anchor, const QSize& size, const QRect& screen,
                     const QRect& available);

class QuickCleanWindow : public QObject {
    Q_OBJECT

  public:
    QuickCleanWindow(QQmlEngine& engine, QuickCleanModel& model, WindowHub& hub,
                     QObject* parent = nullptr);
    ~QuickCleanWindow() override;

    // Loads the view ahead of its first showing; false when the QML cannot
    // be loaded (the reason goes to standard error).
    bool prepare();
    // Frameless beside `anchor`, a rectangle in screen coordinates.
    void showBeside(const QRect& anchor);
    // An ordinary small window with a title.
    void showAsWindow();
    // A click on the tray icon: shows the panel, or closes it when it is
    // open, or was closed a moment ago by that same click taking the focus.
    void toggleBeside(const QRect& anchor);
    void hide();
    bool isShowing() const;

    QQuickView* view() const { return view_.get(); }
    QuickCleanPanel& panel() { return panel_; }

  signals:
    // After each showing, once the view has drawn its first frame.
    void shown();

  private:
    void present(bool beside);
    void place();

    QQmlEngine& engine_;
    WindowHub& hub_;
    QuickCleanPanel panel_;
    std::unique_ptr<QQuickView> view_;
    QRect anchor_;
    bool beside_ = false;
    bool wasActive_ = false;
    QElapsedTimer lostFocus_;  // when the panel last went away by losing the focus
};

}  // namespace tidewell
