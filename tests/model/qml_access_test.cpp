#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTest>

#include "app_model.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

// The screens bind to the model from QML: its fields, nodes and their identity.
TEST(AppModelQml, FieldsAndNodesReadFromQml) {
    test::TempDir t;
    t.mkdir("sub");
    const std::int64_t onDisk = test::allocatedBytes(t.write("sub/file", 5000));
    AppModel model;
    model.startScan(QString::fromStdString(t.path()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.screen() == AppModel::Screen::results; }, 10000));

    QQmlEngine engine;
    engine.rootContext()->setContextProperty("app", &model);
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml
        import Tidewell.Model
        QtObject {
            property int screen: app.screen
            property string rootName: app.root.name
            property bool rootIsFocus: app.focus.sameNode(app.root)
            property int pathLength: app.path.length
            property string firstChild: app.path[0].name
            property bool dir: app.root.isDirectory
            property bool hasKids: app.root.hasChildren
            property double size: app.root.size
            property string status: app.progress.currentPath
            property var total: app.volumeTotal
        })",
                      QUrl());
    std::unique_ptr<QObject> object(component.create());
    ASSERT_TRUE(object) << component.errorString().toStdString();
    EXPECT_EQ(object->property("screen").toInt(), static_cast<int>(AppModel::Screen::results));
    // The folder's own name, as the path ends.
    EXPECT_EQ(object->property("rootName").toString().toStdString(),
              t.path().substr(t.path().rfind('/') + 1));
    EXPECT_TRUE(object->property("rootIsFocus").toBool());
    EXPECT_EQ(object->property("firstChild").toString(), object->property("rootName").toString());
    EXPECT_EQ(object->property("pathLength").toInt(), 1);
    EXPECT_TRUE(object->property("dir").toBool());
    EXPECT_TRUE(object->property("hasKids").toBool());
    EXPECT_EQ(object->property("size").toDouble(), static_cast<double>(onDisk));
    // The scan's last progress record names the scanned folder.
    EXPECT_EQ(object->property("status").toString().toStdString(), t.path());
    EXPECT_EQ(object->property("total").toDouble(), static_cast<double>(*model.volumeTotal()));
}

}  // namespace
}  // namespace tidewell
