#include "window_hub.h"

#include <memory>

#include <QQmlEngine>
#include <QQuickWindow>

#include <cstdio>

#include "app_model.h"
#include "quick_clean_model.h"
#include "update_checker.h"

namespace tidewell {

WindowHub::WindowHub(QQmlEngine& engine, AppModel& model, QuickCleanModel& quickClean,
                     UpdateChecker& updates, QObject* parent)
    : QObject(parent),
      engine_(engine),
      model_(model),
      quickClean_(quickClean),
      updates_(updates),
      component_(&engine, QUrl(QStringLiteral("qrc:/Tidewell/Ui/MainWindow.qml"))) {}

WindowHub::~WindowHub() {
    // Windows are ours (C++ ownership), made by the component without a parent.
    for (const QPointer<QQuickWindow>& w : windows_)
        std::unique_ptr<QQuickWindow>(w.data()).reset();
}

QQuickWindow* WindowHub::openWindow() {
    if (!component_.isReady()) {
        std::fprintf(stderr, "tidewell: %s\n", qPrintable(component_.errorString()));
        return nullptr;
    }
    std::unique_ptr<QObject> made(component_.createWithInitialProperties(
        {{QStringLiteral("model"), QVariant::fromValue(&model_)},
         {QStringLiteral("quickClean"), QVariant::fromValue(&quickClean_)},
         {QStringLiteral("updates"), QVariant::fromValue(&updates_)},
         {QStringLiteral("hub"), QVariant::fromValue(this)}}));
    auto* window = qobject_cast<QQuickWindow*>(made.get());
    if (window == nullptr) {
        std::fprintf(stderr, "tidewell: %s\n", qPrintable(component_.errorString()));
        return nullptr;
    }
    made.release();  // owned from here on by the list below and deleted when closed
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    // A closed window is gone for good; the application ends with the last one.
    connect(window, &QQuickWindow::visibleChanged, this, [window] {
        if (window->isVisible()) return;
        window->deleteLater();
    });
    connect(window, &QObject::destroyed, this, [this] {
        windows_.removeIf([](const QPointer<QQuickWindow>& w) { return w.isNull(); });
        emit windowCountChanged();
    });
    windows_.push_back(window);
    window->show();
    emit windowCountChanged();
    return window;
}

QQuickWindow* WindowHub::showMainWindow() {
    const QList<QQuickWindow*> open = windows();
    if (open.isEmpty()) return openWindow();
    QQuickWindow* window = open.back();
    if (window->windowStates() & Qt::WindowMinimized)
        window->showNormal();
    else
        window->show();
    window->raise();
    window->requestActivate();
    return window;
}

void WindowHub::setOffersQuickClean(bool offers) {
    if (offers == offersQuickClean_) return;
    offersQuickClean_ = offers;
    emit offersQuickCleanChanged();
}

int WindowHub::windowCount() const {
    return static_cast<int>(
        std::count_if(windows_.begin(), windows_.end(), [](const auto& w) { return !w.isNull(); }));
}

QList<QQuickWindow*> WindowHub::windows() const {
    QList<QQuickWindow*> out;
    for (const auto& w : windows_)
        if (w) out.push_back(w.data());
    return out;
}

}  // namespace tidewell
