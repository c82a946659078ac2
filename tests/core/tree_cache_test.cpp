#include "tree_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scan_engine.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::TempDir;
using Bytes = std::vector<unsigned char>;

// Sets an environment variable (or unsets it, for null) and puts it back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    return out;
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Files crafted by hand, field by field, little-endian.
void put(Bytes& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
}
void putInt(Bytes& b, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
Bytes header(std::string_view rootPath, std::uint64_t eventId = 7) {
    Bytes b;
    put(b, "KVRT");
    putInt(b, 1, 4);
    putInt(b, eventId, 8);
    putInt(b, rootPath.size(), 2);
    put(b, rootPath);
    return b;
}
Bytes& record(Bytes& b, std::string_view name, unsigned char dir, std::int64_t size,
              std::uint32_t count) {
    putInt(b, name.size(), 2);
    put(b, name);
    b.push_back(dir);
    putInt(b, static_cast<std::uint64_t>(size), 8);
    putInt(b, count, 4);
    return b;
}

class TreeCacheTest : public ::testing::Test {
  protected:
    TempDir data;
    ScopedEnv xdg{"XDG_DATA_HOME", data.path().c_str()};

    std::string folder() const { return data.path() + "/Brackwater/TreeCache"; }
    std::string cacheFile(std::string_view rootPath) const {
        return TreeCache::fileURL(rootPath).value_or("");
    }
    std::optional<TreeCache::Loaded> loadBytes(std::string_view rootPath, const Bytes& bytes) {
        writeFile(cacheFile(rootPath), bytes);
        return TreeCache::load(rootPath);
    }

    // root "top" { sub { "\xfe\xff.bin" 300 }, "a.txt" 100 }, children as given.
    NodeRef smallTree() {
        StoreRef store = TreeStore::create();
        FileNode* raw = store->makeFile("\xfe\xff.bin", 300);
        FileNode* sub = store->makeDirectory("sub", 300, std::vector<FileNode*>{raw});
        FileNode* a = store->makeFile("a.txt", 100);
        return NodeRef(
            store->makeRoot("top", "/data/top", true, 400, std::vector<FileNode*>{sub, a}));
    }
};

// ---- location -----------------------------------------------------------------

// ---- layout -------------------------------------------------------------------

TEST_F(TreeCacheTest, LayoutIsWrittenByteForByte) {
    NodeRef root = smallTree();
    ASSERT_TRUE(TreeCache::save(*root, "/data/top", 0x0102030405060708));
    // clang-format off
    const Bytes expected = {
        'K', 'V', 'R', 'T',                                 // magic
        1, 0, 0, 0,                                         // version
        8, 7, 6, 5, 4, 3, 2, 1,                             // event id
        9, 0, '/', 'd', 'a', 't', 'a', '/', 't', 'o', 'p',  // root path
        // root: name, directory, size 400, two children
        3, 0, 't', 'o', 'p', 1, 0x90, 1, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0,
        // sub: directory, size 300, one child
        3, 0, 's', 'u', 'b', 1, 0x2c, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
        // the raw name, bytes unchanged
        6, 0, 0xfe, 0xff, '.', 'b', 'i', 'n', 0, 0x2c, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // a.txt: file, size 100
        5, 0, 'a', '.', 't', 'x', 't', 0, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    };
    // clang-format on
    EXPECT_EQ(readFile(cacheFile("/data/top")), expected);
    EXPECT_EQ(TreeCache::encode(*root, "/data/top", 0x0102030405060708), expected);

    // A single-file root is one record with no children.
    StoreRef store = TreeStore::create();
    NodeRef file(store->makeRoot("one.bin", "/x/one.bin", false, 4096));
    ASSERT_TRUE(TreeCache::save(*file, "/x/one.bin", 3));
    Bytes single = header("/x/one.bin", 3);
    EXPECT_EQ(readFile(cacheFile("/x/one.bin")), record(single, "one.bin", 0, 4096, 0));
    auto loaded = TreeCache::load("/x/one.bin");
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(loaded->root->isDirectory());
    EXPECT_EQ(loaded->root->name(), "one.bin");
    EXPECT_EQ(loaded->root->size(), 4096);
    EXPECT_EQ(loaded->root->rootPath(), "/x/one.bin");
    EXPECT_EQ(loaded->eventId, 3u);

    // Only a root can carry a name past the u16 count, and it is cut there.
    const std::string longName(70000, 'n');
    NodeRef named(store->makeRoot(longName, "/r", true, 0));
    ASSERT_TRUE(TreeCache::save(*named, "/r", 1));
    const Bytes bytes = readFile(cacheFile("/r"));
    const std::size_t at = header("/r").size();
    ASSERT_EQ(bytes.size(), at + 2 + 65535 + 13);
    EXPECT_EQ(bytes[at], 0xff);
    EXPECT_EQ(bytes[at + 1], 0xff);
    loaded = TreeCache::load("/r");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->root->name(), longName.substr(0, 65535));
}

// ---- round trip ---------------------------------------------------------------

void expectSameTree(const FileNode* want, const FileNode* got, std::string_view rootPath) {
    EXPECT_EQ(got->rootPath(), rootPath);
    EXPECT_EQ(got->parent(), nullptr);
    std::vector<std::pair<const FileNode*, const FileNode*>> stack{{want, got}};
    std::size_t nodes = 0;
    while (!stack.empty()) {
        auto [w, g] = stack.back();
        stack.pop_back();
        ++nodes;
        ASSERT_EQ(g->name(), w->name()) << w->path();
        ASSERT_EQ(g->isDirectory(), w->isDirectory()) << w->path();
        ASSERT_EQ(g->size(), w->size()) << w->path();
        ASSERT_EQ(g->childCount(), w->childCount()) << w->path();
        for (std::size_t i = 0; i < w->childCount(); ++i) {
            ASSERT_EQ(g->child(i)->parent(), g);
            ASSERT_FALSE(g->child(i)->rootPath()) << g->child(i)->path();
            stack.emplace_back(w->child(i), g->child(i));
        }
    }
    EXPECT_GT(nodes, 1u);
}

TEST_F(TreeCacheTest, ScannedTreeRoundTrips) {
    TempDir t;
    for (const char* dir : {"docs", "docs/deep", "docs/deep/er", "empty"}) t.mkdir(dir);
    for (auto [file, bytes] : {std::pair{"docs/a.txt", 5000},
                               {"docs/deep/b.bin", 70000},
                               {"docs/deep/er/c", 1},
                               {"docs/same1", 4096},
                               {"docs/same2", 4096},
                               {"caf\xc3\xa9", 20000},
                               {"raw\xff\xfe", 9000},
                               {"zero", 0}})
        t.write(file, static_cast<std::size_t>(bytes));
    t.symlink("docs", "link");
    ScanEngine engine;
    NodeRef scanned = engine.scan(t.path(), std::nullopt, {}, {}, {});
    ASSERT_TRUE(scanned);

    ASSERT_TRUE(TreeCache::save(*scanned, t.path(), 123456789012345ULL));
    auto loaded = TreeCache::load(t.path());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->eventId, 123456789012345ULL);
    expectSameTree(scanned.get(), loaded->root.get(), t.path());
    // The loaded tree is the same file again.
    EXPECT_EQ(TreeCache::encode(*loaded->root, t.path(), 123456789012345ULL),
              readFile(cacheFile(t.path())));

    // The tree outlives everything but its NodeRef.
    NodeRef child(loaded->root->child(0));
    const std::string name(child->name());
    loaded.reset();
    EXPECT_EQ(child->name(), name);
}

// ---- damage -------------------------------------------------------------------

TEST_F(TreeCacheTest, DamagedOrForeignFilesAreRejected) {
    NodeRef root = smallTree();
    ASSERT_TRUE(TreeCache::save(*root, "/data/top", 1));
    const Bytes good = readFile(cacheFile("/data/top"));
    Bytes bad = good;
    bad[2] = 'X';
    EXPECT_FALSE(loadBytes("/data/top", bad));
    bad = good;
    bad[4] = 2;
    EXPECT_FALSE(loadBytes("/data/top", bad));

    // Cut anywhere, through the header or the records.
    for (std::size_t len = 0; len < good.size(); ++len) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
        EXPECT_FALSE(loadBytes("/data/top", cut)) << len;
    }
    Bytes longer = good;
    put(longer, "anything after the root's record");
    auto loaded = loadBytes("/data/top", longer);
    ASSERT_TRUE(loaded);
    expectSameTree(root.get(), loaded->root.get(), "/data/top");

    // A file saved for one root never stands in for another.
    ASSERT_TRUE(TreeCache::save(*root, "/a", 1));
    writeFile(cacheFile("/b"), readFile(cacheFile("/a")));
    EXPECT_FALSE(TreeCache::load("/b"));
    EXPECT_TRUE(TreeCache::load("/a"));
    EXPECT_FALSE(TreeCache::load("/never/saved"));
}

TEST_F(TreeCacheTest, ChildCountsAreBoundedByTheBytesLeft) {
    // Three minimal records hold three announced children, not four.
    for (std::uint32_t count : {3u, 4u}) {
        Bytes b = header("/p");
        record(b, "p", 1, 0, count);
        for (int i = 0; i < 3; ++i) record(b, "", 0, 0, 0);
        EXPECT_EQ(loadBytes("/p", b).has_value(), count == 3) << count;
    }
    // Counts still open in nested directories add up.
    Bytes b = header("/p");
    record(record(b, "p", 1, 0, 2), "d", 1, 0, 2);
    for (int i = 0; i < 2; ++i) record(b, "", 0, 0, 0);
    EXPECT_FALSE(loadBytes("/p", b));

    // A huge count over a few bytes fails at once instead of reserving room.
    b = header("/p");
    record(record(b, "p", 1, 0, 4'999'999), "", 0, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(loadBytes("/p", b));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    b = header("/p");
    EXPECT_FALSE(loadBytes("/p", record(b, "p", 1, 0, 5'000'000)));
}

TEST_F(TreeCacheTest, MillionLevelsDeepLoadsWithoutRecursion) {
    constexpr std::size_t kDepth = 1'000'000;
    Bytes b = header("/deep", 99);
    b.reserve(b.size() + kDepth * 16);
    for (std::size_t i = 0; i + 1 < kDepth; ++i) record(b, "d", 1, 5, 1);
    record(b, "leaf", 1, 5, 0);
    auto loaded = loadBytes("/deep", b);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->eventId, 99u);
    std::size_t depth = 1;
    const FileNode* n = loaded->root.get();
    for (; n->childCount() == 1; n = n->child(0)) ++depth;
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(n->name(), "leaf");
    // Saving it again is iterative too.
    EXPECT_EQ(TreeCache::encode(*loaded->root, "/deep", 99), b);
}

// ---- files --------------------------------------------------------------------

TEST_F(TreeCacheTest, SavingReplacesAtomicallyWithPrivateModes) {
    NodeRef first = smallTree();
    ASSERT_TRUE(TreeCache::save(*first, "/data/top", 1));
    StoreRef store = TreeStore::create();
    NodeRef second(store->makeRoot("top", "/data/top", true, 0));
    ASSERT_TRUE(TreeCache::save(*second, "/data/top", 2));

    const std::string file = cacheFile("/data/top");
    const std::string name = file.substr(file.rfind('/') + 1);
    EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{name});
    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(file), 0600u);
    auto loaded = TreeCache::load("/data/top");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->eventId, 2u);
    EXPECT_EQ(loaded->root->childCount(), 0u);

    // A failed save leaves nothing behind: a non-empty folder where the file
    // should go cannot be renamed over.
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::mkdir(file.c_str(), 0700), 0);
    writeFile(file + "/keep", {1});
    EXPECT_FALSE(TreeCache::save(*first, "/data/top", 3));
    EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{name});
    EXPECT_FALSE(TreeCache::load("/data/top"));
}

}  // namespace
}  // namespace tidewell
