// Finding the real window's items by object name, for the tests that drive it.
#pragma once

#include <QList>
#include <QPoint>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>

#include <functional>

namespace tidewell::test {

inline void collectItems(QQuickItem* item, const std::function<bool(QQuickItem*)>& match,
                         QList<QQuickItem*>& out) {
    if (match(item)) out.push_back(item);
    for (QQuickItem* child : item->childItems()) collectItems(child, match, out);
}

// Visible items by object name, in the window and its pop-ups, in tree order.
inline QList<QQuickItem*> itemsNamed(QQuickWindow* window, const QString& name) {
    QList<QQuickItem*> out;
    collectItems(
        window->contentItem(),
        [&](QQuickItem* i) { return i->objectName() == name && i->isVisible(); }, out);
    return out;
}

inline QQuickItem* itemNamed(QQuickWindow* window, const QString& name) {
    const auto items = itemsNamed(window, name);
    return items.isEmpty() ? nullptr : items.front();
}

inline QPoint centre(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

}  // namespace tidewell::test
