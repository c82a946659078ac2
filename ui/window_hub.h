// The main windows: each shows the one application model, so a scan started
// in one shows in all. QML asks it for a new window (Ctrl+N).
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

  public:
    WindowHub(QQmlEngine& engine, AppModel& model, QuickCleanModel& quickClean,
              UpdateChecker& updates, QObject* parent = nullptr);
    ~WindowHub() override;

    // A new main window at its default size, shown; nullptr (with the reason
    // on standard error) when the QML cannot be loaded.
    Q_INVOKABLE QQuickWindow* openWindow();
    int windowCount() const;
    QList<QQuickWindow*> windows() const;

  signals:
    void windowCountChanged();

  private:
    QQmlEngine& engine_;
    AppModel& model_;
    QuickCleanModel& quickClean_;
    UpdateChecker& updates_;
    QQmlComponent component_;
    QVector<QPointer<QQuickWindow>> windows_;
};

}  // namespace tidewell
