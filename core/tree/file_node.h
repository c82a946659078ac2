// The size tree: one node per file or directory, sizes in allocated bytes.
//
// Nodes live in a per-tree store (TreeStore) and never move, so a node's
// address is its identity. The store grows in chunks mapped as it fills;
// links between nodes are 32-bit chunk numbers and offsets, which keeps a
// node of a typical name at about 40 bytes. The store is freed when the last
// NodeRef into it goes away; a node detached from its tree stays readable
// until then.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
    FileNode* parent() const { return parentLink_ == 0 ? nullptr : target(parentLink_); }

    std::size_t childCount() const { return isDirectory() ? dirInfo()->count : 0; }
    FileNode* child(std::size_t i) const { return target(slotArray()[i]); }

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
        slotArray()[i] = linkTo(child);
        child->setParent(this);
    }
    void sealChildren(std::size_t count, std::int64_t size) {
        dirInfo()->count = static_cast<std::uint32_t>(count);
        setSize(size);
    }

    // Longest name a non-root node can carry. Linux file systems stop at 255
    // bytes, but exFAT, NTFS and CIFS names of 255 UTF-16 units reach about
    // 765 bytes of UTF-8, and a FUSE file system may list anything
    // getdents64 can carry; the cache stores lengths in 16 bits.
    static constexpr std::size_t kMaxName = 0xFFFF;

  private:
    friend class TreeStore;
    FileNode() = default;

    // Flags live in the top bits of the size's high word: sizes need far
    // fewer than 62 bits, and every byte of the header counts a million times.
    static constexpr std::uint32_t kDirectory = 0x8000'0000;
    static constexpr std::uint32_t kRoot = 0x4000'0000;
    static constexpr std::uint32_t kFlagBits = kDirectory | kRoot;
    // The header is 13 bytes; the name follows at once, in the tail padding.
    // A name of 255 bytes or more has the length byte 255 and its real length
    // in the two bytes after it.
    static constexpr std::size_t kHeaderBytes = 13;
    static constexpr std::uint8_t kLongName = 255;

    struct DirInfo {
        std::uint32_t slotsLink;  // the slot array
        std::uint32_t count;
    };

    static std::size_t storedNameBytes(std::size_t nameLen) {
        return nameLen >= kLongName ? nameLen + 2 : nameLen;
    }
    static std::size_t dirInfoOffset(std::size_t nameLen) {
        return (kHeaderBytes + storedNameBytes(nameLen) + 3) & ~std::size_t{3};
    }

    const char* bytesAt(std::size_t offset) const {
        return reinterpret_cast<const char*>(this) + offset;
    }
    std::size_t nameLength() const {
        if (nameLen_ != kLongName) return nameLen_;
        std::uint16_t n = 0;
        std::memcpy(&n, bytesAt(kHeaderBytes), sizeof n);
        return n;
    }
    const char* inlineName() const {
        return bytesAt(nameLen_ == kLongName ? kHeaderBytes + 2 : kHeaderBytes);
    }
    void writeName(std::string_view name);
    DirInfo* dirInfo() const {
        return reinterpret_cast<DirInfo*>(const_cast<char*>(bytesAt(dirInfoOffset(nameLength()))));
    }
    // Slots hold links to the children, so reordering children is a plain
    // move of 32-bit values.
    std::uint32_t* slotArray() const {
        return reinterpret_cast<std::uint32_t*>(target(dirInfo()->slotsLink));
    }
    // A link names a chunk of the store and a 4-byte unit inside it; see TreeStore.
    inline FileNode* target(std::uint32_t link) const;
    static inline std::uint32_t linkTo(const void* p);

    void setSize(std::int64_t v) {
        auto u = static_cast<std::uint64_t>(v);
        sizeLo_ = static_cast<std::uint32_t>(u);
        sizeHi_ = (static_cast<std::uint32_t>(u >> 32) & ~kFlagBits) | (sizeHi_ & kFlagBits);
    }
    void setParent(FileNode* p) { parentLink_ = p == nullptr ? 0 : linkTo(p); }
    void storeSlots(std::span<FileNode* const> nodes);
    std::size_t indexOf(const FileNode* c) const;
    void repositionChild(std::size_t index);

    std::uint32_t sizeLo_ = 0;
    std::uint32_t sizeHi_ = 0;
    std::uint32_t parentLink_ = 0;  // 0: no parent (no node sits at a chunk's start)
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

// The memory of one tree's nodes, names and child lists: chunks of 1 MiB,
// each aligned to its size and headed by a ChunkHeader, so any node finds its
// store by masking its own address. Chunks are mapped as the tree grows (no
// address space is reserved up front, so a limit on it only limits the tree);
// an allocation larger than a chunk gets a mapping of its own, headed alike.
// A link is a chunk's number in the upper bits and a 4-byte unit inside it
// below; everything a link names lies within the first 1 MiB of its mapping.
class TreeStore {
  public:
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
    static constexpr unsigned kUnitBits = 18;  // 4-byte units in a chunk
    static constexpr std::size_t kMaxChunks = std::size_t{1} << (32 - kUnitBits);

    struct ChunkHeader {
        TreeStore* store;
        char* const* chunks;  // the store's table, for resolving links
        std::uint32_t number;
    };

    // A fresh, empty store; NodeRefs to its nodes keep it alive after that.
    // Throws std::bad_alloc when no memory can be had.
    static StoreRef create();
    static const ChunkHeader& headerOf(const void* p) {
        return *reinterpret_cast<const ChunkHeader*>(reinterpret_cast<std::uintptr_t>(p) &
                                                     ~(kChunkBytes - 1));
    }
    static TreeStore& of(const FileNode* node) { return *headerOf(node).store; }

    TreeStore(const TreeStore&) = delete;
    TreeStore& operator=(const TreeStore&) = delete;
    ~TreeStore();

    void retain() { refs_.fetch_add(1, std::memory_order_relaxed); }
    void release();

    // Node construction. Children are stored as given (already sorted, their
    // sizes already summed into `size`) and get this node as their parent.
    // `arena` may be null; walkers pass their own to avoid contention. All
    // throw std::bad_alloc when memory runs out.
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

    void* allocate(std::size_t bytes);  // 4-byte aligned, thread-safe

  private:
    friend class FileNode;
    friend class NodeArena;
    struct Mapping {
        void* base;
        std::size_t bytes;
    };
    TreeStore(Mapping first, std::unique_ptr<char*[]> chunks);

    struct RootInfo {
        std::string name;
        std::string path;
    };
    const RootInfo* rootInfo(const FileNode* node) const;
    FileNode* makeNode(std::string_view name, bool isDirectory, bool isRoot, std::int64_t size,
                       std::span<FileNode* const> children, std::size_t capacity, NodeArena* arena);
    void addRoot(const FileNode* node, std::string_view name, std::string_view rootPath);
    std::uint32_t* allocateSlots(std::size_t count);
    // Maps `bytes` more (a chunk, or more for one large allocation) and heads it; under mutex_.
    char* addMapping(std::size_t bytes);

    std::atomic<std::size_t> refs_{0};
    std::mutex mutex_;                 // guards the fields below and the chunk table's growth
    std::unique_ptr<char*[]> chunks_;  // by chunk number; entries never change once set
    std::vector<Mapping> mappings_;    // the first holds this store itself
    char* cur_ = nullptr;              // bump pointer in the newest shared chunk
    char* end_ = nullptr;
    mutable std::mutex rootsMutex_;
    std::unordered_map<const FileNode*, RootInfo> roots_;
};

inline FileNode* FileNode::target(std::uint32_t link) const {
    const TreeStore::ChunkHeader& here = TreeStore::headerOf(this);
    const std::uint32_t number = link >> TreeStore::kUnitBits;
    // Most links stay within their chunk: no table lookup then.
    const char* base =
        number == here.number ? reinterpret_cast<const char*>(&here) : here.chunks[number];
    return reinterpret_cast<FileNode*>(
        const_cast<char*>(base) +
        std::size_t{link & ((std::uint32_t{1} << TreeStore::kUnitBits) - 1)} * 4);
}

inline std::uint32_t FileNode::linkTo(const void* p) {
    const TreeStore::ChunkHeader& h = TreeStore::headerOf(p);
    const auto units = static_cast<std::uint32_t>(
        (reinterpret_cast<const char*>(p) - reinterpret_cast<const char*>(&h)) / 4);
    return (h.number << TreeStore::kUnitBits) | units;
}

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
    // Sixteen pieces fill a store chunk after its header.
    static constexpr std::size_t kPieceBytes = 64 * 1024 - 64;
    TreeStore* store_;
    char* cur_ = nullptr;
    char* end_ = nullptr;
};

}  // namespace tidewell
