// The main windows: each shows the one application model, so a scan started
// in one shows in all. QML asks it for a new window (Ctrl+N) and, on a desktop
// without a tray, for the quick-clean panel.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QPointer>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QVector>

#include "app_model.h"
#include "quick_clean_model.h"
#include "update_checker.h"

class QQmlEngine;

namespace tidewell {

class WindowHub : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made once by the application")
    Q_PROPERTY(int windowCount READ windowCount NOTIFY windowCountChanged)
    // The window's menu offers "Hızlı Temizlik" (where there is no tray icon).
    Q_PROPERTY(bool offersQuickClean READ offersQuickClean WRITE setOffersQuickClean NOTIFY
                   offersQuickCleanChanged)

  public:
    WindowHub(QQmlEngine& engine, AppModel& model, QuickCleanModel& quickClean,
              UpdateChecker& updates, QObject* parent = nullptr);
    ~WindowHub() override;

    // A new main window at its default size, shown; nullptr (with the reason
    // on standard error) when the QML cannot be loaded.
    Q_INVOKABLE QQuickWindow* openWindow();
    // The newest main window shown, raised and activated; a new one when none
    // is open.
    Q_INVOKABLE QQuickWindow* showMainWindow();
    Q_INVOKABLE void openQuickClean() { emit quickCleanRequested(); }
    bool offersQuickClean() const { return offersQuickClean_; }
    void setOffersQuickClean(bool offers);
    int windowCount() const;
    QList<QQuickWindow*> windows() const;

  signals:
    void windowCountChanged();
    void offersQuickCleanChanged();
    void quickCleanRequested();

  private:
    QQmlEngine& engine_;
    AppModel& model_;
    QuickCleanModel& quickClean_;
    UpdateChecker& updates_;
    QQmlComponent component_;
    QVector<QPointer<QQuickWindow>> windows_;
    bool offersQuickClean_ = false;
};

}  // namespace tidewell
