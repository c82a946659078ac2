// The file qmllint checks, run for real: every property it reads binds at
// run time through the three modules, with no warning from the engine.
#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>
#include <memory>

#include "app_model.h"
#include "quick_clean_model.h"
#include "temp_tree.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)

namespace tidewell {
namespace {

QStringList* warnings = nullptr;

void collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (warnings != nullptr && type != QtDebugMsg && type != QtInfoMsg) warnings->push_back(text);
}

TEST(QmlFace, EveryPropertyBindsAtRunTime) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    test::TempDir t;
    t.mkdir("sub");
    t.write("sub/file", 5000);
    t.write("top", 3000);
    test::TempDir home;
    AppModel app;
    QuickCleanModel quickClean(QString::fromStdString(home.path()));
    app.startScan(QString::fromStdString(t.path()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.screen() == AppModel::Screen::results; }, 20000));

    QStringList seen;
    warnings = &seen;
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    {
        QQmlEngine engine;
        QQmlComponent component(
            &engine,
            QUrl::fromLocalFile(QStringLiteral(TIDEWELL_QML_TEST_DIR "/uses_everything.qml")));
        ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
        std::unique_ptr<QObject> made(component.createWithInitialProperties(
            {{"app", QVariant::fromValue(&app)},
             {"quickClean", QVariant::fromValue(&quickClean)}}));
        ASSERT_TRUE(made);
        auto* item = qobject_cast<QQuickItem*>(made.get());
        ASSERT_NE(item, nullptr);
        QQuickWindow window;
        window.resize(600, 200);
        item->setSize(QSizeF(600, 200));
        item->setParentItem(window.contentItem());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(100);

        EXPECT_TRUE(item->property("onResults").toBool());
        EXPECT_TRUE(item->property("focusIsRoot").toBool());
        EXPECT_EQ(item->property("childCount").toInt(), 2);
        EXPECT_EQ(item->property("focusSize").toDouble(), static_cast<double>(app.root()->size()));
        EXPECT_EQ(item->property("pathLength").toInt(), 1);
        EXPECT_EQ(item->property("quickAccess").toBool(), quickClean.hasAccess());
        // Changes reach the bindings.
        app.toggleBasket(test::childNamed(app.root().get(), "top"));
        EXPECT_EQ(item->property("basketCount").toInt(), 1);
        EXPECT_GT(item->property("basketTotal").toDouble(), 0.0);
        item->setParentItem(nullptr);
    }
    qInstallMessageHandler(previous);
    warnings = nullptr;
    EXPECT_TRUE(seen.isEmpty()) << seen.join('\n').toStdString();
}

}  // namespace
}  // namespace tidewell
