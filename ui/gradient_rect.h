// A rounded rectangle filled with a linear gradient in any direction or a
// radial one, with an optional inner border: the window background and the
// diagonal icon tiles, which Rectangle's gradients (vertical or horizontal
// only) cannot draw. Painted, so it looks the same on every renderer.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QColor>
#include <QList>
#include <QPointF>
#include <QQuickPaintedItem>
#include <QVariantList>

namespace tidewell {

class GradientRect : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    // Evenly spaced stops.
    Q_PROPERTY(QVariantList colors READ colors WRITE setColors NOTIFY appearanceChanged)
    // Linear: from `start` to `end`, as fractions of the size. Radial: centred
    // at `start` (fractions), out to `radius` in logical pixels.
    Q_PROPERTY(bool radial MEMBER radial_ NOTIFY appearanceChanged)
    Q_PROPERTY(QPointF start MEMBER start_ NOTIFY appearanceChanged)
    Q_PROPERTY(QPointF end MEMBER end_ NOTIFY appearanceChanged)
    Q_PROPERTY(double radius MEMBER radius_ NOTIFY appearanceChanged)
    Q_PROPERTY(double cornerRadius MEMBER cornerRadius_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor borderColor MEMBER borderColor_ NOTIFY appearanceChanged)

  public:
    explicit GradientRect(QQuickItem* parent = nullptr);
    void paint(QPainter* painter) override;

    QVariantList colors() const { return colorValues_; }
    void setColors(const QVariantList& colors);

  signals:
    void appearanceChanged();

  private:
    QVariantList colorValues_;
    QList<QColor> colors_;
    bool radial_ = false;
    QPointF start_{0, 0};
    QPointF end_{1, 1};
    double radius_ = 100;
    double cornerRadius_ = 0;
    QColor borderColor_ = Qt::transparent;
};

}  // namespace tidewell
