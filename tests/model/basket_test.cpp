#include <gtest/gtest.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app_model.h"
#include "temp_tree.h"
#include "user_dirs.h"

namespace tidewell {
namespace {

using test::TempDir;

using test::childNamed;

class Basket : public ::testing::Test {
  protected:
    void SetUp() override {
        t.mkdir("a");
        t.mkdir("a/b");
        t.write("a/b/deep", 40000);
        t.write("a/inside", 20000);
        t.write("loose", 8000);
        t.mkdir("nm");
        t.mkdir("nm/node_modules");
        t.write("nm/node_modules/pkg.js", 4000);
        model.startScan(QString::fromStdString(t.path()));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return model.screen() == AppModel::Screen::results; }, 10000));
        root = model.root().get();
        a = childNamed(root, "a");
        inside = childNamed(a, "inside");
    }
    void runDeletion(bool permanently) {
        QSignalSpy done(&model, &AppModel::deletionFinished);
        model.deleteBasket(permanently);
        ASSERT_TRUE(done.wait(10000) || done.count() == 1);
    }
    static std::string trashFiles() { return *dataHome() + "/Trash/files"; }

    TempDir t;
    AppModel model;
    FileNode* root = nullptr;
    FileNode* a = nullptr;
    FileNode* inside = nullptr;
};

TEST_F(Basket, FolderAndAFileInsideGoAsOne) {
    model.toggleBasket(root);  // the scanned location itself: nothing, no message
    EXPECT_TRUE(model.basket().isEmpty());
    EXPECT_FALSE(model.errorMessage());
    model.toggleBasket(a);
    model.toggleBasket(inside);
    ASSERT_EQ(model.basket().size(), 2);
    EXPECT_TRUE(model.isInBasket(inside));

    // Zoomed into a/b: deleting a cuts the path back to the root.
    model.setPath({model.root(), NodeRef(a), NodeRef(childNamed(a, "b"))});
    const qint64 folderSize = a->size();
    const qint64 rootBefore = root->size();
    const std::optional<qint64> freeBefore = model.volumeFree();
    model.requestDelete();
    EXPECT_TRUE(model.showDeleteConfirm());
    runDeletion(false);
    EXPECT_FALSE(model.showDeleteConfirm());
    EXPECT_FALSE(model.isDeleting());
    EXPECT_TRUE(model.basket().isEmpty());
    EXPECT_EQ(model.freed(), folderSize);
    EXPECT_EQ(root->size(), rootBefore - folderSize);
    EXPECT_EQ(childNamed(root, "a"), nullptr);
    ASSERT_EQ(model.path().size(), 1);
    EXPECT_EQ(model.path().front(), model.root());
    EXPECT_EQ(model.treeVersion(), 1);
    if (freeBefore) {
        EXPECT_EQ(*model.volumeFree(), *freeBefore + folderSize);
    }
    // Only the folder went to the Trash, with its file inside.
    EXPECT_FALSE(std::filesystem::exists(t / "a"));
    EXPECT_TRUE(std::filesystem::exists(trashFiles()));
    bool found = false;
    for (const auto& e : std::filesystem::directory_iterator(trashFiles()))
        if (std::filesystem::exists(e.path() / "inside")) found = true;
    EXPECT_TRUE(found);
}

TEST_F(Basket, EveryItemFailingChangesNothingButTheVersion) {
    model.toggleBasket(inside);
    model.toggleBasket(childNamed(root, "loose"));
    // Gone from disk behind the model's back: both deletions fail.
    std::filesystem::remove(t / "a/inside");
    std::filesystem::remove(t / "loose");
    const qint64 before = root->size();
    runDeletion(true);
    EXPECT_EQ(model.basket().size(), 2);
    EXPECT_EQ(model.freed(), 0);
    EXPECT_EQ(root->size(), before);
    EXPECT_EQ(model.treeVersion(), 1);
    ASSERT_TRUE(model.errorMessage());
    EXPECT_EQ(model.errorMessage()->count('\n'), 1) << model.errorMessage()->toStdString();
}

TEST_F(Basket, NavigationAndCategoryRules) {
    model.goUp();  // at the root: nothing
    EXPECT_EQ(model.path().size(), 1);
    model.setPath({model.root(), NodeRef(a)});
    model.setHovered(inside);
    EXPECT_EQ(model.hoveredNode(), inside);
    model.goUp();
    EXPECT_EQ(model.path().size(), 1);
    EXPECT_EQ(model.hoveredNode(), nullptr);

    // A node the user may not delete is refused with the message.
    if (::chown((t / "loose").c_str(), 65534, 65534) == 0 && ::getuid() == 0) {
        AppModel fresh;
        fresh.startScan(QString::fromStdString(t.path()));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return fresh.screen() == AppModel::Screen::results; }, 10000));
        fresh.toggleBasket(childNamed(fresh.root().get(), "loose"));
        EXPECT_TRUE(fresh.basket().isEmpty());
        ASSERT_TRUE(fresh.errorMessage());
        EXPECT_TRUE(
            fresh.errorMessage()->startsWith("“loose” sistemin ya da başka bir kullanıcının"));
    }

    model.openSmartCleanup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.smartResults().has_value(); }, 10000));
    ASSERT_FALSE(model.smartResults()->empty());
    const CleanupCategoryResult node = model.smartResults()->front();
    EXPECT_EQ(node.key, "node");
    model.addCategoryToBasket(node);
    EXPECT_EQ(model.basket().size(), 1);
    model.addCategoryToBasket(node);
    EXPECT_EQ(model.basket().size(), 1);
}

TEST_F(Basket, NoAnalysisStartsWhileADeletionEditsTheTree) {
    model.toggleBasket(a);
    QSignalSpy done(&model, &AppModel::deletionFinished);
    model.deleteBasket(true);
    ASSERT_TRUE(model.isDeleting());
    model.analyzeSmart();
    model.analyzeTopFiles();
    model.openSmartCleanup();
    model.openTopFiles();
    EXPECT_FALSE(model.isAnalyzingSmart());
    EXPECT_FALSE(model.isAnalyzingTop());
    EXPECT_EQ(model.smartResultsVersion(), -1);
    EXPECT_EQ(model.topFilesVersion(), -1);
    ASSERT_TRUE(done.wait(10000) || done.count() == 1);
    // Afterwards they run, on the edited tree.
    model.openTopFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.topFiles().has_value(); }, 10000));
    EXPECT_EQ(model.topFiles()->front().node->name(), "loose");
}

// A node whose folder was deleted still has a path, and it names another
// place: here a decoy folder outside the tree, "/tmp/<decoy>", because the
// deleted folder was called "tmp". Nothing may reach it.
TEST(BasketStaleNodes, ADetachedNodeReachesNothing) {
    std::string decoy = "/tmp/tidewell-decoy-XXXXXX";
    ASSERT_NE(::mkdtemp(decoy.data()), nullptr);
    const std::string decoyName = decoy.substr(std::string("/tmp/").size());
    std::ofstream(decoy + "/keep") << "keep";
    TempDir t;
    t.mkdir("tmp");
    t.mkdir("tmp/" + decoyName);
    t.write("tmp/" + decoyName + "/file", 4000);
    t.write("other", 100);

    AppModel model;
    model.startScan(QString::fromStdString(t.path()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.screen() == AppModel::Screen::results; }, 10000));
    FileNode* root = model.root().get();
    FileNode* folder = childNamed(root, "tmp");
    FileNode* other = childNamed(root, "other");
    const NodeRef stale(childNamed(folder, decoyName));
    ASSERT_TRUE(stale);
    EXPECT_TRUE(model.canDelete(stale.get()));  // remembered while it is attached
    const qint64 folderSize = folder->size();
    const auto runDeletion = [&] {
        QSignalSpy done(&model, &AppModel::deletionFinished);
        model.deleteBasket(true);
        return done.wait(10000) || done.count() == 1;
    };
    model.toggleBasket(folder);
    ASSERT_TRUE(runDeletion());
    ASSERT_FALSE(std::filesystem::exists(t / "tmp"));
    ASSERT_EQ(stale->path(), decoy);

    EXPECT_FALSE(model.canDelete(stale.get()));
    EXPECT_FALSE(model.canDelete(NodeValue(stale)));
    model.toggleBasket(stale.get());
    model.toggleBasket(NodeValue(stale));
    EXPECT_TRUE(model.basket().isEmpty());
    EXPECT_FALSE(model.errorMessage());
    // Put in the basket behind the model's back, the run leaves it alone.
    model.setBasket({stale});
    ASSERT_TRUE(runDeletion());
    EXPECT_TRUE(std::filesystem::exists(decoy + "/keep"));
    EXPECT_TRUE(model.basket().isEmpty());
    EXPECT_EQ(model.freed(), folderSize);

    // What QML writes is checked against the shown tree.
    model.setProperty("hovered", QVariant::fromValue(NodeValue(NodeRef(other))));
    EXPECT_EQ(model.hovered(), other);
    EXPECT_EQ(model.property("hovered").value<NodeValue>().node(), other);
    model.setProperty("hovered", QVariant::fromValue(qulonglong{4096}));
    EXPECT_EQ(model.hovered(), nullptr);
    model.setProperty("hovered", QVariant::fromValue(NodeValue(stale)));
    EXPECT_EQ(model.hovered(), nullptr);
    EXPECT_FALSE(model.property("hovered").isValid());
    model.setProperty("path", QVariantList{QVariant::fromValue(NodeValue(model.root())),
                                           QVariant::fromValue(NodeValue(stale))});
    ASSERT_EQ(model.path().size(), 1);
    EXPECT_EQ(model.path().front(), model.root());
    model.setProperty("path", QVariantList{QVariant::fromValue(NodeValue(model.root())),
                                           QVariant::fromValue(NodeValue(NodeRef(other)))});
    EXPECT_EQ(model.path().size(), 2);

    std::filesystem::remove_all(decoy);
}

TEST_F(Basket, DeletableMemoNeverOutlivesItsTree) {
    FileNode* loose = childNamed(root, "loose");
    EXPECT_TRUE(model.canDelete(loose));
    if (::getuid() != 0 || ::chown((t / "loose").c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "needs root to hand the file to another user";
    EXPECT_TRUE(model.canDelete(loose));  // remembered for this node
    model.resetToSelect();
    model.startScan(QString::fromStdString(t.path()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.screen() == AppModel::Screen::results; }, 10000));
    EXPECT_FALSE(model.canDelete(childNamed(model.root().get(), "loose")));
}

TEST_F(Basket, AnalysesRunOncePerTreeVersionAndNeverShowAnOldTree) {
    QSignalSpy started(&model, &AppModel::smartResultsVersionChanged);
    model.openSmartCleanup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.smartResults().has_value(); }, 10000));
    model.setShowSmartCleanup(false);
    model.openSmartCleanup();
    EXPECT_TRUE(model.smartResults().has_value());  // no second analysis
    EXPECT_EQ(started.count(), 1);

    model.openTopFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.topFiles().has_value(); }, 10000));
    EXPECT_EQ(model.topFiles()->front().node->name(), "deep");

    // A new tree: the old results go, and so does a late one for the old tree.
    model.analyzeTopFiles();
    model.resetToSelect();
    model.startScan(QString::fromStdString(t.path()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model.screen() == AppModel::Screen::results; }, 10000));
    QTest::qWait(200);
    EXPECT_FALSE(model.topFiles().has_value());
    EXPECT_FALSE(model.smartResults().has_value());
    EXPECT_EQ(model.topFilesVersion(), -1);
}

}  // namespace
}  // namespace tidewell
