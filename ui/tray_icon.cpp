#include "tray_icon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include "quick_clean_window.h"
#include "window_hub.h"

namespace tidewell {

namespace {

// Sizes panels ask for, at ratio 1 and 2.
constexpr int kSymbolSizes[] = {16, 22, 24, 32, 44, 48, 64};

}  // namespace

QImage traySymbol(int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = pixels;
    const double rim = std::max(1.25, s / 12);  // dark edge that keeps it legible on light panels
    const double shift = s / 14;                // the slice stands out from the pie
    const double d = s - 2 * rim - shift;
    const QRectF body(rim, rim + shift, d, d);
    const QRectF slice(rim + shift, rim, d, d);
    QPainterPath bodyPath(body.center());
    bodyPath.arcTo(body, 0, -270);
    bodyPath.closeSubpath();
    QPainterPath slicePath(slice.center());
    slicePath.arcTo(slice, 0, 90);
    slicePath.closeSubpath();
    const QPen edge(QColor(20, 20, 26, 220), rim * 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(edge);
    p.setBrush(Qt::NoBrush);
    p.drawPath(bodyPath);
    p.drawPath(slicePath);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 107, 107));
    p.drawPath(bodyPath);
    p.setBrush(QColor(255, 179, 71));
    p.drawPath(slicePath);
    return image;
}

TrayIcon::TrayIcon(QuickCleanWindow& panel, WindowHub& hub, QObject* parent)
    : QObject(parent), panel_(panel) {
    QIcon symbol;
    for (int size : kSymbolSizes) symbol.addPixmap(QPixmap::fromImage(traySymbol(size)));
    icon_.setIcon(symbol);
    icon_.setToolTip(QStringLiteral("Tidewell — Hızlı Temizlik"));
    menu_.addAction(QStringLiteral("Tidewell'i Aç"), &hub, &WindowHub::showMainWindow);
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Çık"), qApp, &QCoreApplication::quit);
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activate);
    icon_.show();
}

void TrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger) return;
    // Trays that do not say where the icon is (StatusNotifierItem) leave the
    // pointer, which is on it.
    QRect anchor = icon_.geometry();
    if (!anchor.isValid() || anchor.isEmpty()) anchor = QRect(QCursor::pos(), QSize(1, 1));
    panel_.toggleBeside(anchor);
}

}  // namespace tidewell
