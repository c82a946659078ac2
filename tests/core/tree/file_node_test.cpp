#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <vector>

#include "display_text.h"
#include "file_node.h"
#include "size_format.h"

namespace tidewell {
namespace {

TEST(SizeFormat, UnitIsChosenBeforeRounding) {
    EXPECT_EQ(formatBytes(-5, "."), "0 B");
    EXPECT_EQ(formatBytes(0, "."), "0 B");
    EXPECT_EQ(formatBytes(999, "."), "999 B");
    EXPECT_EQ(formatBytes(1000, "."), "1 KB");
    EXPECT_EQ(formatBytes(999'999, "."), "1000 KB");
    EXPECT_EQ(formatBytes(1'500'000, "."), "1.5 MB");
    EXPECT_EQ(formatBytes(1'500'000, ","), "1,5 MB");
    EXPECT_EQ(formatBytes(1'500'000'000, ","), "1,5 GB");
    EXPECT_EQ(formatBytes(999'999'999'999, "."), "1000.0 GB");
    EXPECT_EQ(formatBytes(1'000'000'000'000, "."), "1.00 TB");
    EXPECT_EQ(byteUnit(999'999), "KB");
    EXPECT_EQ(byteUnit(-1), "B");
    const ScaledBytes s = scaledBytes(2'500'000'000'000);
    EXPECT_DOUBLE_EQ(s.value, 2.5);
    EXPECT_EQ(s.decimals, 2);
}

TEST(DisplayText, RepairsOnlyInvalidSequences) {
    EXPECT_EQ(repairUtf8("düz ğüşıöç"), "düz ğüşıöç");
    EXPECT_EQ(repairUtf8("a\xff"
                         "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(repairUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong "/"
    EXPECT_EQ(repairUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
    EXPECT_EQ(repairUtf8("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // truncated
}

// root(/) ─ a(dir) ─ a1 (30), a2 (10)
//         └ b (20)
struct SmallTree {
    StoreRef store = TreeStore::create();
    FileNode* a1 = store->makeFile("a1", 30);
    FileNode* a2 = store->makeFile("a2", 10);
    FileNode* a = nullptr;
    FileNode* b = store->makeFile("b", 20);
    FileNode* root = nullptr;
    SmallTree() {
        std::vector<FileNode*> ak{a1, a2};
        a = store->makeDirectory("a", 40, ak);
        std::vector<FileNode*> rk{a, b};
        root = store->makeRoot("Disk", "/", true, 60, rk);
    }
    std::vector<FileNode*> kids(const FileNode* n) const {
        return {n->children().begin(), n->children().end()};
    }
};

TEST(FileNode, FieldsPathsAndParents) {
    SmallTree t;
    EXPECT_EQ(t.root->name(), "Disk");
    EXPECT_EQ(t.root->rootPath(), "/");
    EXPECT_FALSE(t.a->rootPath().has_value());
    EXPECT_EQ(t.b->path(), "/b");
    EXPECT_EQ(t.a1->path(), "/a/a1");
    EXPECT_EQ(t.a1->parent(), t.a);
    EXPECT_EQ(t.root->parent(), nullptr);
    EXPECT_TRUE(t.a->isDirectory());
    EXPECT_FALSE(t.b->isDirectory());

    StoreRef other = TreeStore::create();
    std::vector<FileNode*> kids{other->makeFile("f", 1)};
    FileNode* r = other->makeRoot("home", "/home/u", true, 1, kids);
    EXPECT_EQ(r->child(0)->path(), "/home/u/f");
    FileNode* loose = other->makeFile("loose", 5);
    EXPECT_EQ(loose->path(), "/loose");

    // Names are raw bytes and come back unchanged.
    FileNode* odd = other->makeFile(std::string_view("\xff\xfe.bin"), 1);
    EXPECT_EQ(odd->name(), std::string_view("\xff\xfe.bin"));
}

TEST(FileNode, ReplaceChildReordersEveryAncestor) {
    SmallTree t;
    // Make a1 huge: a grows past nothing it was not already past, so also
    // grow b's sibling order check through a smaller start.
    FileNode* big = t.store->makeFile("a2", 100);
    t.a->replaceChild(t.a2, big);
    EXPECT_EQ(t.kids(t.a), (std::vector<FileNode*>{big, t.a1}));
    EXPECT_EQ(t.a->size(), 130);
    EXPECT_EQ(t.root->size(), 150);
    EXPECT_EQ(big->parent(), t.a);
    EXPECT_EQ(t.a2->parent(), nullptr);

    // b overtakes a after a shrinks.
    FileNode* tiny = t.store->makeFile("a2", 0);
    t.a->replaceChild(big, tiny);
    FileNode* tiny1 = t.store->makeFile("a1", 1);
    t.a->replaceChild(t.a1, tiny1);
    EXPECT_EQ(t.a->size(), 1);
    EXPECT_EQ(t.kids(t.root), (std::vector<FileNode*>{t.b, t.a}));
    EXPECT_EQ(t.root->size(), 21);

    // An old child that is not there changes nothing.
    t.a->replaceChild(t.a1, t.store->makeFile("x", 500));
    EXPECT_EQ(t.root->size(), 21);
}

TEST(FileNode, SetChildrenResumsAndDetachesDropped) {
    SmallTree t;
    t.a->setChildren({});
    EXPECT_EQ(t.a->size(), 0);
    EXPECT_EQ(t.root->size(), 20);
    EXPECT_EQ(t.kids(t.root), (std::vector<FileNode*>{t.b, t.a}));
    EXPECT_EQ(t.a1->parent(), nullptr);

    // Ties keep the order given.
    FileNode* x = t.store->makeFile("x", 5);
    FileNode* y = t.store->makeFile("y", 7);
    FileNode* z = t.store->makeFile("z", 5);
    std::vector<FileNode*> list{x, y, z};
    t.a->setChildren(list);
    EXPECT_EQ(t.kids(t.a), (std::vector<FileNode*>{y, x, z}));
    EXPECT_EQ(t.root->size(), 37);
    EXPECT_EQ(z->parent(), t.a);

    // A detached node is no longer in its old parent's list: removing it is a no-op.
    t.a->setChildren(std::vector<FileNode*>{y});
    x->removeFromParent();
    EXPECT_EQ(t.a->size(), 7);
    EXPECT_EQ(t.root->size(), 27);
}

TEST(FileNode, RemoveFromParentShrinksAndReordersAncestors) {
    SmallTree t;
    t.a1->removeFromParent();
    EXPECT_EQ(t.a1->parent(), nullptr);
    EXPECT_EQ(t.a->size(), 10);
    EXPECT_EQ(t.root->size(), 30);
    // a (10) now sorts after b (20) in the root.
    EXPECT_EQ(t.kids(t.root), (std::vector<FileNode*>{t.b, t.a}));
    t.a1->removeFromParent();  // already detached
    EXPECT_EQ(t.root->size(), 30);

    // Editing a detached subtree leaves the old tree alone.
    t.root->setChildren(std::vector<FileNode*>{t.b});
    EXPECT_EQ(t.a->parent(), nullptr);
    EXPECT_EQ(t.a2->parent(), t.a);
    t.a2->removeFromParent();
    EXPECT_EQ(t.a->childCount(), 0u);
    EXPECT_EQ(t.a->size(), 0);
    EXPECT_EQ(t.root->size(), 20);
}

TEST(FileNode, AdjustSizePropagatesAndSorts) {
    SmallTree t;
    t.a2->adjustSize(0);
    EXPECT_EQ(t.root->size(), 60);
    t.a2->adjustSize(25);
    EXPECT_EQ(t.kids(t.a), (std::vector<FileNode*>{t.a2, t.a1}));
    EXPECT_EQ(t.a->size(), 65);
    EXPECT_EQ(t.root->size(), 85);
    t.a2->adjustSize(-35);  // back to 0... below a1 again
    EXPECT_EQ(t.kids(t.a), (std::vector<FileNode*>{t.a1, t.a2}));
}

TEST(FileNode, DetachedNodeOutlivesTheTreeHandle) {
    NodeRef kept;
    {
        SmallTree t;
        NodeRef root(t.root);
        kept = NodeRef(t.a1);
        t.a1->removeFromParent();
    }
    // The tree's handles are gone; the kept node still reads.
    EXPECT_EQ(kept->name(), "a1");
    EXPECT_EQ(kept->size(), 30);
    EXPECT_EQ(kept->path(), "/a1");
}

TEST(FileNode, SizesKeepTheirFullRange) {
    StoreRef s = TreeStore::create();
    const std::int64_t huge = std::int64_t{1} << 60;
    FileNode* f = s->makeFile("f", huge);
    std::vector<FileNode*> kids{f};
    FileNode* d = s->makeDirectory("d", huge, kids);
    EXPECT_EQ(f->size(), huge);
    EXPECT_FALSE(f->isDirectory());
    EXPECT_TRUE(d->isDirectory());
    f->adjustSize(-huge - 7);
    EXPECT_EQ(f->size(), -7);
    EXPECT_EQ(d->size(), -7);
    EXPECT_TRUE(d->isDirectory());
    EXPECT_FALSE(d->isRoot());
}

TEST(FileNode, NamesOfEveryLengthAFileSystemCanList) {
    StoreRef s = TreeStore::create();
    for (const std::size_t len : {1, 254, 255, 256, 300, 765, 65535}) {
        const std::string name(len, 'n');
        FileNode* inner = s->makeFile("x", 7);
        std::vector<FileNode*> kids{inner};
        FileNode* d = s->makeDirectory(name, 7, kids);
        FileNode* f = s->makeFile(name, 9);
        std::vector<FileNode*> both{f, d};
        FileNode* r = s->makeRoot("r", "/r", true, 16, both);
        EXPECT_EQ(f->name(), name) << len;
        EXPECT_EQ(f->size(), 9);
        EXPECT_EQ(d->name(), name) << len;
        ASSERT_EQ(d->childCount(), 1u);
        EXPECT_EQ(d->child(0), inner);
        EXPECT_EQ(inner->parent(), d);
        EXPECT_EQ(inner->path(), "/r/" + name + "/x");
        EXPECT_EQ(r->child(1), d);
    }
    EXPECT_THROW(s->makeFile(std::string(65536, 'n'), 1), std::invalid_argument);
    // Roots carry display names of any length.
    FileNode* r = s->makeRoot(std::string(70000, 'r'), "/x", false, 0);
    EXPECT_EQ(r->name().size(), 70000u);
}

// A tree far larger than one chunk, built from several threads at once, with
// a folder whose child list alone needs a mapping of its own.
TEST(FileNode, TheStoreGrowsAsTheTreeFills) {
    StoreRef s = TreeStore::create();
    constexpr int kThreads = 4, kPerThread = 100'000;
    std::vector<std::vector<FileNode*>> made(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                NodeArena arena(*s);
                for (int i = 0; i < kPerThread; ++i)
                    made[t].push_back(s->makeFile(
                        "file-" + std::to_string(t) + "-" + std::to_string(i), i % 1000, &arena));
            });
    }
    std::vector<FileNode*> all;
    std::int64_t total = 0;
    for (const auto& list : made)
        for (FileNode* f : list) {
            all.push_back(f);
            total += f->size();
        }
    std::stable_sort(all.begin(), all.end(),
                     [](const FileNode* a, const FileNode* b) { return a->size() > b->size(); });
    FileNode* big = s->makeDirectory("big", total, all);
    std::vector<FileNode*> top{big};
    FileNode* root = s->makeRoot("r", "/r", true, total, top);
    ASSERT_EQ(big->childCount(), all.size());
    for (std::size_t i = 0; i < all.size(); i += 997) {
        EXPECT_EQ(big->child(i), all[i]);
        EXPECT_EQ(all[i]->parent(), big);
    }
    EXPECT_EQ(all.back()->path(), "/r/big/" + std::string(all.back()->name()));
    // Edits reach across chunks: a larger child list, a removal, a resize.
    FileNode* extra = s->makeFile("extra", 5000);
    all.push_back(extra);
    big->setChildren(all);
    EXPECT_EQ(big->child(0), extra);
    EXPECT_EQ(root->size(), total + 5000);
    FileNode* last = big->child(big->childCount() - 1);
    last->removeFromParent();
    EXPECT_EQ(big->childCount(), all.size() - 1);
    EXPECT_EQ(last->parent(), nullptr);
    big->child(1)->adjustSize(10'000);
    EXPECT_EQ(big->child(0)->size(), 10'000 + 999);
    EXPECT_EQ(root->size(), total + 5000 - last->size() + 10'000);
}

}  // namespace
}  // namespace tidewell
