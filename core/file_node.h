// The size tree: one node per file or directory, sizes in allocated bytes.
//
// Nodes live in a per-tree region (TreeStore) and never move, so a node's
// address is its identity. Links between nodes are 32-bit offsets inside the
// region, which keeps a node of a typical name at about 40 bytes. The region
// is freed when the last NodeRef into it goes away; a node detached from its
// tree stays readable until then.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tidewell {

class TreeStore;
class NodeArena;
class StoreRef;

class FileNode {
  public:
    FileNode(const FileNode&) = delete;
    FileNode& operator=(const FileNode&) = delete;

    // Raw bytes as read from the directory (the display name for a root).
    std::string_view name() const;
    bool isDirectory() const { return (sizeHi_ & kDirectory) != 0; }
    std::optional<std::string_view> rootPath() const;
    std::int64_t size() const {
        // 62-bit two's complement below the two flag bits.
        const std::uint64_t word = (static_cast<std::uint64_t>(sizeHi_) << 32) | sizeLo_;
        return static_cast<std::int64_t>(word << 2) >> 2;
    }
    FileNode* parent() const {
        return parentDelta_ == 0 ? nullptr : offsetBy(const_cast<FileNode*>(this), parentDelta_);
    }

    std::size_t childCount() const { return isDirectory() ? dirInfo()->count : 0; }
    FileNode* child(std::size_t i) const { return slotTarget(slotArray(), slotArray()[i]); }

    class ChildRange;
    ChildRange children() const;

    std::string path() const;
    bool isRoot() const { return (sizeHi_ & kRoot) != 0; }
    TreeStore& store() const;

    // Editing; every one keeps sizes summed and children sorted up to the root.
    void setChildren(std::span<FileNode* const> nodes);
    void replaceChild(FileNode* oldChild, FileNode* newChild);
    void removeFromParent();
    void adjustSize(std::int64_t delta);
    void sortChildrenBySize();

    // For builders that know a directory's child count before its children
    // exist (the walker, the cache reader): fill a shell's slots in order,
    // then seal it with the final count and size. The builder keeps the
    // invariants; nothing is re-sorted or re-summed here.
    void putChild(std::size_t i, FileNode* child) {
        slotArray()[i] = unitsBetween(slotArray(), child);
        child->setParent(this);
    }
    void sealChildren(std::size_t count, std::int64_t size) {
        dirInfo()->count = static_cast<std::uint32_t>(count);
        setSize(size);
    }

    // Longest name a non-root node can carry (Linux NAME_MAX).
    static constexpr std::size_t kMaxName = 255;

  private:
    friend class TreeStore;
    FileNode() = default;

    // Flags live in the top bits of the size's high word: sizes need far
    // fewer than 62 bits, and every byte of the header counts a million times.
    static constexpr std::uint32_t kDirectory = 0x8000'0000;
    static constexpr std::uint32_t kRoot = 0x4000'0000;
    static constexpr std::uint32_t kFlagBits = kDirectory | kRoot;
    // The header is 13 bytes; the name follows at once, in the tail padding.
    static constexpr std::size_t kHeaderBytes = 13;

    struct DirInfo {
        std::int32_t slotsDelta;  // from this DirInfo to the slot array, in 4-byte units
        std::uint32_t count;
    };

    template <typename T>
    static T* offsetBy(T* base, std::int32_t units) {
        return reinterpret_cast<T*>(reinterpret_cast<char*>(base) +
                                    static_cast<std::ptrdiff_t>(units) * 4);
    }
    static std::int32_t unitsBetween(const void* from, const void* to) {
        return static_cast<std::int32_t>(
            (reinterpret_cast<const char*>(to) - reinterpret_cast<const char*>(from)) / 4);
    }
    static std::size_t dirInfoOffset(std::size_t nameLen) {
        return (kHeaderBytes + nameLen + 3) & ~std::size_t{3};
    }

    std::size_t nameLength() const { return nameLen_; }
    const char* inlineName() const { return reinterpret_cast<const char*>(this) + kHeaderBytes; }
    DirInfo* dirInfo() const {
        return reinterpret_cast<DirInfo*>(const_cast<char*>(reinterpret_cast<const char*>(this)) +
                                          dirInfoOffset(nameLength()));
    }
    // Slots hold each child's offset from the start of the slot array, so
    // reordering children is a plain move of 32-bit values.
    std::int32_t* slotArray() const {
        DirInfo* info = dirInfo();
        return reinterpret_cast<std::int32_t*>(
            offsetBy(reinterpret_cast<char*>(info), info->slotsDelta));
    }
    static FileNode* slotTarget(const std::int32_t* base, std::int32_t units) {
        return reinterpret_cast<FileNode*>(
            offsetBy(const_cast<char*>(reinterpret_cast<const char*>(base)), units));
    }

    void setSize(std::int64_t v) {
        auto u = static_cast<std::uint64_t>(v);
        sizeLo_ = static_cast<std::uint32_t>(u);
        sizeHi_ = (static_cast<std::uint32_t>(u >> 32) & ~kFlagBits) | (sizeHi_ & kFlagBits);
    }
    void setParent(FileNode* p) { parentDelta_ = p == nullptr ? 0 : unitsBetween(this, p); }
    void storeSlots(std::span<FileNode* const> nodes);
    std::size_t indexOf(const FileNode* c) const;
    void repositionChild(std::size_t index);

    std::uint32_t sizeLo_ = 0;
    std::uint32_t sizeHi_ = 0;
    std::int32_t parentDelta_ = 0;  // 0: no parent (a node is never its own parent)
    std::uint8_t nameLen_ = 0;      // the name's bytes follow at once
};

class FileNode::ChildRange {
  public:
    class iterator {
      public:
        using value_type = FileNode*;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(const FileNode* owner, std::size_t i) : owner_(owner), i_(i) {}
        FileNode* operator*() const { return owner_->child(i_); }
        iterator& operator++() {
            ++i_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++i_;
            return old;
        }
        bool operator==(const iterator& o) const { return i_ == o.i_; }

      private:
        const FileNode* owner_ = nullptr;
        std::size_t i_ = 0;
    };
    explicit ChildRange(const FileNode* owner) : owner_(owner) {}
    iterator begin() const { return {owner_, 0}; }
    iterator end() const { return {owner_, owner_->childCount()}; }
    std::size_t size() const { return owner_->childCount(); }
    bool empty() const { return size() == 0; }
    FileNode* operator[](std::size_t i) const { return owner_->child(i); }

  private:
    const FileNode* owner_;
};

inline FileNode::ChildRange FileNode::children() const {
    return ChildRange(this);
}

// Shared ownership of a tree's storage, through any node in it. This is what
// the model, the basket and analysis results hold.
class NodeRef {
  public:
    NodeRef() = default;
    explicit NodeRef(FileNode* node);
    NodeRef(const NodeRef& other) : NodeRef(other.node_) {}
    NodeRef(NodeRef&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
    NodeRef& operator=(NodeRef other) noexcept {
        std::swap(node_, other.node_);
        return *this;
    }
    ~NodeRef();

    FileNode* get() const { return node_; }
    FileNode* operator->() const { return node_; }
    FileNode& operator*() const { return *node_; }
    explicit operator bool() const { return node_ != nullptr; }
    friend bool operator==(const NodeRef& a, const NodeRef& b) { return a.node_ == b.node_; }

  private:
    FileNode* node_ = nullptr;
};

// A region of address space holding one tree's nodes, names and child lists.
// Regions are aligned to their size, so any node finds its store by masking
// its own address. Memory is touched only as nodes are made.
class TreeStore {
  public:
    static constexpr std::size_t kRegionBytes = std::size_t{1} << 33;  // 8 GiB of addresses

    // A fresh, empty store; NodeRefs to its nodes keep it alive after that.
    static StoreRef create();
    static TreeStore& of(const FileNode* node) {
        return *reinterpret_cast<TreeStore*>(reinterpret_cast<std::uintptr_t>(node) &
                                             ~(kRegionBytes - 1));
    }

    void retain() { refs_.fetch_add(1, std::memory_order_relaxed); }
    void release();

    // Node construction. Children are stored as given (already sorted, their
    // sizes already summed into `size`) and get this node as their parent.
    // `arena` may be null; walkers pass their own to avoid contention.
    FileNode* makeFile(std::string_view name, std::int64_t size, NodeArena* arena = nullptr);
    FileNode* makeDirectory(std::string_view name, std::int64_t size,
                            std::span<FileNode* const> children, NodeArena* arena = nullptr);
    // A root carries its path; its display name may be any length.
    FileNode* makeRoot(std::string_view name, std::string_view rootPath, bool isDirectory,
                       std::int64_t size, std::span<FileNode* const> children = {});
    // A directory with room for `capacity` children and none yet (see
    // FileNode::putChild); a root when rootPath is given.
    FileNode* makeDirectoryShell(std::string_view name, std::optional<std::string_view> rootPath,
                                 std::size_t capacity, NodeArena* arena = nullptr);

    // Bytes handed out so far (for tests and measurements).
    std::size_t usedBytes() const { return next_.load(std::memory_order_relaxed); }

    void* allocate(std::size_t bytes);  // 4-byte aligned, thread-safe

  private:
    friend class FileNode;
    friend class NodeArena;
    TreeStore();

    struct RootInfo {
        std::string name;
        std::string path;
    };
    const RootInfo* rootInfo(const FileNode* node) const;
    FileNode* makeNode(std::string_view name, bool isDirectory, bool isRoot, std::int64_t size,
                       std::span<FileNode* const> children, std::size_t capacity, NodeArena* arena);
    void addRoot(const FileNode* node, std::string_view name, std::string_view rootPath);
    std::int32_t* allocateSlots(std::size_t count);

    std::atomic<std::size_t> refs_{0};
    std::atomic<std::size_t> next_{0};
    mutable std::mutex rootsMutex_;
    std::unordered_map<const FileNode*, RootInfo> roots_;
};

class StoreRef {
  public:
    StoreRef() = default;
    explicit StoreRef(TreeStore& s) : store_(&s) { s.retain(); }
    StoreRef(const StoreRef& o) : store_(o.store_) {
        if (store_ != nullptr) store_->retain();
    }
    StoreRef(StoreRef&& o) noexcept : store_(std::exchange(o.store_, nullptr)) {}
    StoreRef& operator=(StoreRef o) noexcept {
        std::swap(store_, o.store_);
        return *this;
    }
    ~StoreRef() {
        if (store_ != nullptr) store_->release();
    }
    TreeStore* get() const { return store_; }
    TreeStore* operator->() const { return store_; }
    TreeStore& operator*() const { return *store_; }

  private:
    TreeStore* store_ = nullptr;
};

// Bump allocation from chunks of one store, for a single thread.
class NodeArena {
  public:
    explicit NodeArena(TreeStore& store) : store_(&store) {}
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;
    TreeStore& store() const { return *store_; }
    void* allocate(std::size_t bytes);

  private:
    static constexpr std::size_t kChunkBytes = 64 * 1024;
    TreeStore* store_;
    char* cur_ = nullptr;
    char* end_ = nullptr;
};

}  // namespace tidewell
