#include "quick_clean_window.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQmlEngine>
#include <QQuickView>
#include <QScreen>

#include <algorithm>
#include <cstdio>

#include "window_hub.h"

namespace tidewell {

namespace {

// Between the tray icon and the panel.
constexpr int kGap = 6;
// A tray click this soon after the panel lost the focus is the click that
// took it: it closes the panel rather than opening it again.
constexpr qint64 kSameClickMs = 300;

}  // namespace

QPoint panelPosition(const QRect& anchor, const QSize& size, const QRect& screen,
                     const QRect& available) {
    const QPoint c = anchor.center();
    const int toTop = c.y() - screen.top();
    const int toBottom = screen.bottom() - c.y();
    const int toLeft = c.x() - screen.left();
    const int toRight = screen.right() - c.x();
    const int nearest = std::min({toTop, toBottom, toLeft, toRight});
    QPoint p;
    if (nearest == toTop)
        p = {c.x() - size.width() / 2, anchor.bottom() + 1 + kGap};
    else if (nearest == toBottom)
        p = {c.x() - size.width() / 2, anchor.top() - kGap - size.height()};
    else if (nearest == toLeft)
        p = {anchor.right() + 1 + kGap, c.y() - size.height() / 2};
    else
        p = {anchor.left() - kGap - size.width(), c.y() - size.height() / 2};
    const QRect area = available.isValid() ? available : screen;
    p.setX(std::clamp(p.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
    p.setY(std::clamp(p.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    return p;
}

QuickCleanWindow::QuickCleanWindow(QQmlEngine& engine, QuickCleanModel& model, WindowHub& hub,
                                   QObject* parent)
    : QObject(parent), engine_(engine), hub_(hub), panel_(model) {
    connect(&panel_, &QuickCleanPanel::dismissRequested, this, &QuickCleanWindow::hide);
    connect(&panel_, &QuickCleanPanel::applicationRequested, this, [this] {
        // Beside the tray the panel makes way for the window, as it would on
        // losing the focus to it.
        if (beside_) hide();
        hub_.showMainWindow();
    });
}

QuickCleanWindow::~QuickCleanWindow() = default;

bool QuickCleanWindow::prepare() {
    if (view_) return view_->status() == QQuickView::Ready;
    view_ = std::make_unique<QQuickView>(&engine_, nullptr);
    view_->setTitle(QStringLiteral("Hızlı Temizlik"));
    view_->setColor(QGuiApplication::palette().color(QPalette::Window));
    view_->setResizeMode(QQuickView::SizeViewToRootObject);
    view_->setInitialProperties({{QStringLiteral("panel"), QVariant::fromValue(&panel_)}});
    view_->setSource(QUrl(QStringLiteral("qrc:/Tidewell/Ui/QuickCleanView.qml")));
    if (view_->status() != QQuickView::Ready) {
        for (const QQmlError& error : view_->errors())
            std::fprintf(stderr, "tidewell: %s\n", qPrintable(error.toString()));
        return false;
    }
    connect(view_.get(), &QWindow::activeChanged, this, [this] {
        if (view_->isActive()) {
            wasActive_ = true;
        } else if (beside_ && wasActive_ && view_->isVisible()) {
            lostFocus_.start();
            view_->hide();
        }
    });
    // The panel's height follows its rows; beside the tray it stays in place.
    connect(view_.get(), &QWindow::heightChanged, this, [this] {
        view_->setMinimumSize(view_->size());
        view_->setMaximumSize(view_->size());
        if (beside_ && view_->isVisible()) place();
    });
    view_->setMinimumSize(view_->size());
    view_->setMaximumSize(view_->size());
    return true;
}

void QuickCleanWindow::place() {
    const QScreen* screen = QGuiApplication::screenAt(anchor_.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    view_->setPosition(
        panelPosition(anchor_, view_->size(), screen->geometry(), screen->availableGeometry()));
}

void QuickCleanWindow::present(bool beside) {
    if (!prepare()) return;
    // Window flags change only on a hidden window.
    if (view_->isVisible() && beside != beside_) view_->hide();
    beside_ = beside;
    view_->setFlags(beside ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           : Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                 Qt::WindowMinimizeButtonHint);
    wasActive_ = false;
    lostFocus_.invalidate();
    panel_.appear();
    if (beside) place();
    connect(
        view_.get(), &QQuickWindow::frameSwapped, this, [this] { emit shown(); },
        Qt::SingleShotConnection);
    view_->show();
    view_->raise();
    view_->requestActivate();
}

void QuickCleanWindow::showBeside(const QRect& anchor) {
    anchor_ = anchor;
    present(true);
}

void QuickCleanWindow::showAsWindow() {
    present(false);
}

void QuickCleanWindow::toggleBeside(const QRect& anchor) {
    if (isShowing() && beside_) {
        hide();
        return;
    }
    if (lostFocus_.isValid() && lostFocus_.elapsed() < kSameClickMs) {
        lostFocus_.invalidate();
        return;
    }
    showBeside(anchor);
}

void QuickCleanWindow::hide() {
    if (view_) view_->hide();
}

bool QuickCleanWindow::isShowing() const {
    return view_ && view_->isVisible();
}

}  // namespace tidewell
