#include "tree_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crc32c.h"
#include "scan_engine.h"
#include "temp_tree.h"
#include "unique_fd.h"

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

// Header and records, then the trailer: "KVRC", the record count, the CRC.
Bytes sealed(Bytes b, std::uint64_t nodes) {
    put(b, "KVRC");
    putInt(b, nodes, 8);
    putInt(b, crc32c(b), 4);
    return b;
}
// A sealed file with its trailer taken off and put back over changed bytes.
Bytes resealed(Bytes b) {
    const std::size_t at = b.size() - 16;
    std::uint64_t nodes = 0;
    for (int i = 7; i >= 0; --i) nodes = nodes << 8 | b[at + 4 + static_cast<std::size_t>(i)];
    b.resize(at);
    return sealed(std::move(b), nodes);
}

class TreeCacheTest : public ::testing::Test {
  protected:
    TempDir data;
    ScopedEnv xdg{"XDG_DATA_HOME", data.path().c_str()};

    std::string folder() const { return data.path() + "/Brackwater/TreeCache"; }
    std::string cacheFile(std::string_view rootPath) const {
        return TreeCache::filePath(rootPath).value_or("");
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

TEST_F(TreeCacheTest, OneFileNamedByTheHashOfThePathInAPrivateFolder) {
    // The first 24 hex digits of `printf %s PATH | sha256sum`.
    EXPECT_EQ(TreeCache::filePath("/data/top"), folder() + "/59eee0a9acee63672917161f.kvrtree");
    EXPECT_EQ(TreeCache::filePath("/home/u/Çalışma"),
              folder() + "/6b2de337e5473ea45a7a6e7b.kvrtree");
    EXPECT_EQ(modeOf(folder()), 0700u);
}

// ---- layout -------------------------------------------------------------------

TEST_F(TreeCacheTest, LayoutIsWrittenByteForByte) {
    NodeRef root = smallTree();
    ASSERT_TRUE(TreeCache::save(*root, "/data/top", 0x0102030405060708));
    // clang-format off
    const Bytes records = {
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
    Bytes expected = records;
    put(expected, "KVRC");
    putInt(expected, 4, 8);  // four records
    const std::uint32_t crc = crc32c(expected);
    putInt(expected, crc, 4);
    EXPECT_EQ(readFile(cacheFile("/data/top")), expected);
    EXPECT_EQ(TreeCache::encode(*root, "/data/top", 0x0102030405060708), expected);
    // A reader of the records alone stops where the trailer starts.
    EXPECT_EQ(
        Bytes(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(records.size())),
        records);

    // A single-file root is one record with no children.
    StoreRef store = TreeStore::create();
    NodeRef file(store->makeRoot("one.bin", "/x/one.bin", false, 4096));
    ASSERT_TRUE(TreeCache::save(*file, "/x/one.bin", 3));
    Bytes single = header("/x/one.bin", 3);
    EXPECT_EQ(readFile(cacheFile("/x/one.bin")), sealed(record(single, "one.bin", 0, 4096, 0), 1));
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
    ASSERT_EQ(bytes.size(), at + 2 + 65535 + 13 + 16);
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
    ASSERT_TRUE(loadBytes("/data/top", good));

    // Wrong magic or version, even under a checksum that matches.
    Bytes bad = good;
    bad[2] = 'X';
    EXPECT_FALSE(loadBytes("/data/top", resealed(bad)));
    bad = good;
    bad[4] = 2;
    EXPECT_FALSE(loadBytes("/data/top", resealed(bad)));

    // Any one bit flipped anywhere: in a name, a flag, a count or the trailer.
    for (std::size_t bit = 0; bit < good.size() * 8; ++bit) {
        bad = good;
        bad[bit / 8] ^= static_cast<unsigned char>(1U << (bit % 8));
        ASSERT_FALSE(TreeCache::decode(bad, "/data/top")) << "bit " << bit;
    }
    // Cut anywhere, through the header, the records or the trailer.
    for (std::size_t len = 0; len < good.size(); ++len) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
        EXPECT_FALSE(loadBytes("/data/top", cut)) << len;
    }
    // Bytes after the trailer, or no trailer at all.
    Bytes longer = good;
    put(longer, "anything after the trailer");
    EXPECT_FALSE(loadBytes("/data/top", longer));
    EXPECT_FALSE(loadBytes("/data/top", Bytes(good.begin(), good.end() - 16)));
    // A trailer that counts one record too many or too few.
    for (const std::uint64_t nodes : {3u, 5u}) {
        Bytes b(good.begin(), good.end() - 16);
        EXPECT_FALSE(loadBytes("/data/top", sealed(b, nodes))) << nodes;
    }

    // A file saved for one root never stands in for another.
    ASSERT_TRUE(TreeCache::save(*root, "/a", 1));
    writeFile(cacheFile("/b"), readFile(cacheFile("/a")));
    EXPECT_FALSE(TreeCache::load("/b"));
    EXPECT_TRUE(TreeCache::load("/a"));
    EXPECT_FALSE(TreeCache::load("/never/saved"));
}

// Sizes that do not add up are damage even under a matching checksum (a file
// written by something else, or damaged before it was summed).
TEST_F(TreeCacheTest, FolderSizesMustBeTheSumOfTheirChildren) {
    // root 400 { sub 300 { big 300 }, a.txt 100 }, with some sizes replaced.
    auto file = [](std::int64_t root, std::int64_t sub, std::int64_t big, std::int64_t a) {
        Bytes b = header("/data/top");
        record(b, "top", 1, root, 2);
        record(b, "sub", 1, sub, 1);
        record(b, "big", 0, big, 0);
        record(b, "a.txt", 0, a, 0);
        return sealed(b, 4);
    };
    auto loaded = loadBytes("/data/top", file(400, 300, 300, 100));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->root->child(0)->child(0)->size(), 300);

    // Bit 42 of big's size: a 4.40 TB file under a 300-byte folder.
    const std::int64_t flipped = 300 | std::int64_t{1} << 42;
    EXPECT_FALSE(loadBytes("/data/top", file(400, 300, flipped, 100)));
    // The same with the folder's size flipped too: the root still disagrees.
    EXPECT_FALSE(loadBytes("/data/top", file(400, flipped, flipped, 100)));
    EXPECT_FALSE(loadBytes("/data/top", file(400, 300, 300, 101)));
    EXPECT_FALSE(loadBytes("/data/top", file(401, 300, 300, 100)));
    EXPECT_FALSE(loadBytes("/data/top", file(399, 300, 300, 100)));
    // Negative sizes, even ones that add up.
    EXPECT_FALSE(loadBytes("/data/top", file(300, 400, 400, -100)));
    Bytes negative = header("/data/top");
    record(record(negative, "top", 1, -100, 1), "a", 0, -100, 0);
    EXPECT_FALSE(loadBytes("/data/top", sealed(negative, 2)));
    negative = header("/data/top");
    EXPECT_FALSE(loadBytes("/data/top", sealed(record(negative, "top", 0, -5, 0), 1)));
    // Children must come largest first.
    EXPECT_FALSE(loadBytes("/data/top", file(400, 100, 100, 300)));
    // A root folder that lists nothing holds nothing.
    Bytes empty = header("/data/top");
    EXPECT_FALSE(loadBytes("/data/top", sealed(record(empty, "top", 1, 5, 0), 1)));
    empty = header("/data/top");
    EXPECT_TRUE(loadBytes("/data/top", sealed(record(empty, "top", 1, 0, 0), 1)));
}

TEST_F(TreeCacheTest, NamesBelowTheRootMustBeDirectoryEntries) {
    auto withChild = [](std::string_view name) {
        Bytes b = header("/p");
        record(b, "p", 1, 10, 2);
        record(b, name, 0, 10, 0);
        record(b, "after", 0, 0, 0);
        return sealed(b, 3);
    };
    for (const std::string_view bad :
         {std::string_view(".."), std::string_view("."), std::string_view("x/y"),
          std::string_view("/"), std::string_view("trailing/"), std::string_view(""),
          std::string_view("nul\0inside", 10)}) {
        EXPECT_FALSE(loadBytes("/p", withChild(bad))) << bad;
    }
    // Names that only look odd are names all the same.
    for (const std::string_view fine : {"...", "..x", " ", "\\", "\xff\xfe", "-"}) {
        auto loaded = loadBytes("/p", withChild(fine));
        ASSERT_TRUE(loaded) << fine;
        EXPECT_EQ(loaded->root->child(0)->name(), fine);
    }
    // Longer than Linux's own file systems allow (a FUSE mount may list it),
    // up to what the 16-bit length can say.
    for (const std::size_t len : {255, 256, 765, 65535}) {
        const std::string name(len, 'n');
        auto kept = loadBytes("/p", withChild(name));
        ASSERT_TRUE(kept) << len;
        EXPECT_EQ(kept->root->child(0)->name(), name);
    }
    // The same names deeper down.
    Bytes deep = header("/p");
    record(record(record(deep, "p", 1, 10, 1), "d", 1, 10, 1), "..", 0, 10, 0);
    EXPECT_FALSE(loadBytes("/p", sealed(deep, 3)));

    // The root's record carries a display name, not an entry's: "/" has one.
    Bytes top = header("/");
    auto loaded = loadBytes("/", sealed(record(top, "/", 1, 0, 0), 1));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->root->name(), "/");
}

TEST_F(TreeCacheTest, ChildCountsAreBoundedByTheBytesLeft) {
    // Three minimal records hold three announced children, not four.
    for (std::uint32_t count : {3u, 4u}) {
        Bytes b = header("/p");
        record(b, "p", 1, 0, count);
        for (const char* name : {"a", "b", "c"}) record(b, name, 0, 0, 0);
        EXPECT_EQ(loadBytes("/p", sealed(b, count + 1)).has_value(), count == 3) << count;
    }
    // Counts still open in nested directories add up.
    Bytes b = header("/p");
    record(record(b, "p", 1, 0, 2), "d", 1, 0, 2);
    for (const char* name : {"a", "b"}) record(b, name, 0, 0, 0);
    EXPECT_FALSE(loadBytes("/p", sealed(b, 4)));

    // A huge count over a few bytes fails before anything is reserved for it.
    b = header("/p");
    record(record(b, "p", 1, 0, 4'999'999), "a", 0, 0, 0);
    EXPECT_FALSE(loadBytes("/p", sealed(b, 2)));
    b = header("/p");
    EXPECT_FALSE(loadBytes("/p", sealed(record(b, "p", 1, 0, 5'000'000), 1)));
}

TEST_F(TreeCacheTest, MillionLevelsDeepLoadsWithoutRecursion) {
    constexpr std::size_t kDepth = 1'000'000;
    Bytes b = header("/deep", 99);
    b.reserve(b.size() + kDepth * 16 + 16);
    for (std::size_t i = 0; i + 1 < kDepth; ++i) record(b, "d", 1, 5, 1);
    record(b, "leaf", 0, 5, 0);
    b = sealed(std::move(b), kDepth);
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

// Runs `load` in a child process with a watchdog, so that a load that blocks
// fails the test instead of hanging it: whether a tree was loaded, or nothing
// when the load did not return.
std::optional<bool> loadInChild(std::string_view rootPath) {
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::alarm(20);
        ::_exit(TreeCache::load(rootPath) ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

TEST_F(TreeCacheTest, OnlyARegularFileAtThePathIsRead) {
    NodeRef root = smallTree();
    ASSERT_TRUE(TreeCache::save(*root, "/data/top", 1));
    const std::string file = cacheFile("/data/top");
    const std::string elsewhere = data.path() + "/elsewhere.kvrtree";
    ASSERT_EQ(::rename(file.c_str(), elsewhere.c_str()), 0);

    // A link to a good cache file is not followed.
    ASSERT_EQ(::symlink(elsewhere.c_str(), file.c_str()), 0);
    EXPECT_FALSE(TreeCache::load("/data/top"));
    ASSERT_EQ(::unlink(file.c_str()), 0);

    // A FIFO with no writer: opening it to read would wait for one for good.
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(loadInChild("/data/top"), false);
    ASSERT_EQ(::unlink(file.c_str()), 0);

    // A folder.
    ASSERT_EQ(::mkdir(file.c_str(), 0700), 0);
    EXPECT_FALSE(TreeCache::load("/data/top"));
    ASSERT_EQ(::rmdir(file.c_str()), 0);

    // The same bytes as a plain file load; a save replaces whatever was there.
    ASSERT_EQ(::rename(elsewhere.c_str(), file.c_str()), 0);
    EXPECT_EQ(loadInChild("/data/top"), true);
    ASSERT_EQ(::mkfifo(elsewhere.c_str(), 0600), 0);
    ASSERT_EQ(::rename(elsewhere.c_str(), file.c_str()), 0);
    ASSERT_TRUE(TreeCache::save(*root, "/data/top", 2));
    EXPECT_EQ(loadInChild("/data/top"), true);
}

// A /proc/self/status figure in KiB.
long statusKiB(std::string_view key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(key) && line.size() > key.size() && line[key.size()] == ':')
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    return -1;
}

// A file of gigabytes that is nearly all hole, with a trailer at its end,
// must be turned away without its pages being read.
TEST_F(TreeCacheTest, HugeSparseFileIsRejectedUnread) {
    constexpr std::uint64_t kBytes = std::uint64_t{4} << 30;
    const std::string file = cacheFile("/p");
    for (const bool plausible : {false, true}) {
        SCOPED_TRACE(plausible ? "a record count that fits the size" : "one record");
        ::unlink(file.c_str());
        UniqueFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd);
        Bytes head = header("/p");
        record(head, "p", 1, 0, 0);
        ASSERT_EQ(::pwrite(fd.get(), head.data(), head.size(), 0),
                  static_cast<ssize_t>(head.size()));
        Bytes tail;
        put(tail, "KVRC");
        putInt(tail, plausible ? kBytes / 20 : 1, 8);
        putInt(tail, 0, 4);
        ASSERT_EQ(
            ::pwrite(fd.get(), tail.data(), tail.size(), static_cast<off_t>(kBytes - tail.size())),
            static_cast<ssize_t>(tail.size()));
        const off_t hole = ::lseek(fd.get(), 0, SEEK_HOLE);
        if (hole < 0 || static_cast<std::uint64_t>(hole) >= kBytes)
            GTEST_SKIP() << "this file system does not report holes";
        fd = UniqueFd();

        std::ofstream("/proc/self/clear_refs") << "5";  // peak RSS from here
        const long before = statusKiB("VmHWM");
        EXPECT_FALSE(TreeCache::load("/p"));
        // Reading it would have made gigabytes of it resident.
        EXPECT_LT(statusKiB("VmHWM") - before, 64 * 1024);
    }
}

}  // namespace
}  // namespace tidewell
