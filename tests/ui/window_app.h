// The application's objects as tidewell makes them, with its first window
// shown, and the small moves the window tests make on it.
#pragma once

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>
#include <QVersionNumber>

#include <string>
#include <string_view>

#include "app_model.h"
#include "quick_clean_model.h"
#include "size_format.h"
#include "temp_tree.h"
#include "update_checker.h"
#include "window_hub.h"
#include "window_items.h"

namespace tidewell::test {

inline QString text(QQuickWindow* window, const QString& name) {
    QQuickItem* item = itemNamed(window, name);
    return item != nullptr ? item->property("text").toString() : QStringLiteral("<none>");
}

// Lets the window lay out and build what the last change asked for.
inline void settle() {
    QTest::qWait(20);
}

inline void click(QQuickWindow* window, QQuickItem* item) {
    QTest::mouseClick(window, Qt::LeftButton, {}, centre(item));
    settle();
}

// The first item below `item` (or itself) with this object name, visible or not.
inline QQuickItem* childNamed(QQuickItem* item, const QString& name) {
    QList<QQuickItem*> out;
    collectItems(
        item, [&](QQuickItem* i) { return i->objectName() == name; }, out);
    return out.isEmpty() ? nullptr : out.front();
}

inline QString sizeText(qint64 bytes) {
    return QString::fromStdString(formatBytes(bytes));
}

struct App {
    App() : updates(QUrl(), QVersionNumber(0, 1, 0)), hub(engine, model, quickClean, updates) {
        QSettings().remove(QStringLiteral("savedLocations.v1"));
        window = hub.openWindow();
        EXPECT_NE(window, nullptr);
        if (window != nullptr) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        }
    }
    bool scan(const std::string& path) {
        model.startScan(QString::fromStdString(path));
        if (!QTest::qWaitFor([&] { return model.screen() == AppModel::Screen::results; }, 20000))
            return false;
        QTest::qWait(30);  // the screen's first layout
        return true;
    }
    FileNode* node(std::string_view relative) const {
        FileNode* n = model.root().get();
        std::string_view rest = relative;
        while (n != nullptr && !rest.empty()) {
            const auto slash = rest.find('/');
            n = test::childNamed(n, rest.substr(0, slash));
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        }
        return n;
    }
    void jump(std::string_view relative) {
        model.jumpTo(NodeValue(node(relative)));
        settle();
    }
    void key(int key, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(window, static_cast<Qt::Key>(key), mods);
        settle();
    }

    AppModel model;
    QuickCleanModel quickClean;
    UpdateChecker updates;
    QQmlEngine engine;
    WindowHub hub;
    QQuickWindow* window = nullptr;
};

}  // namespace tidewell::test
