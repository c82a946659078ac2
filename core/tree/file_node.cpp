#include "file_node.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace tidewell {

namespace {

constexpr std::size_t align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

// Room for the chunk header at the start of every mapping, keeping what
// follows 8-byte aligned.
constexpr std::size_t kHeaderSpace = (sizeof(TreeStore::ChunkHeader) + 7) & ~std::size_t{7};
// Larger allocations (a folder of some 60,000 children and up) get a mapping
// of their own instead of a shared chunk's tail.
constexpr std::size_t kLargeBytes = TreeStore::kChunkBytes / 4;

// Maps `bytes` (a multiple of the chunk size) aligned to the chunk size, by
// mapping one chunk more and giving back the ends. Pages cost memory only
// once touched.
void* mapAligned(std::size_t bytes) {
    const std::size_t align = TreeStore::kChunkBytes;
    const std::size_t span = bytes + align;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + align - 1) & ~(std::uintptr_t{align} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + bytes;
    if (start + span > tail) ::munmap(reinterpret_cast<void*>(tail), start + span - tail);
    return reinterpret_cast<void*>(aligned);
}

void writeHeader(void* base, TreeStore* store, char* const* chunks, std::size_t number) {
    ::new (base) TreeStore::ChunkHeader{store, chunks, static_cast<std::uint32_t>(number)};
}

}  // namespace

// ---- TreeStore -------------------------------------------------------------

TreeStore::TreeStore(Mapping first, std::unique_ptr<char*[]> chunks) : chunks_(std::move(chunks)) {
    mappings_.push_back(first);
    auto* base = static_cast<char*>(first.base);
    chunks_[0] = base;
    writeHeader(base, this, chunks_.get(), 0);
    cur_ = reinterpret_cast<char*>(this) + ((sizeof(TreeStore) + 7) & ~std::size_t{7});
    end_ = base + first.bytes;
}

TreeStore::~TreeStore() = default;

StoreRef TreeStore::create() {
    static_assert(kHeaderSpace + sizeof(TreeStore) < kChunkBytes / 2);
    void* base = mapAligned(kChunkBytes);
    try {
        auto chunks = std::make_unique_for_overwrite<char*[]>(kMaxChunks);
        // The store heads its own first chunk, right after the chunk header.
        auto* store = ::new (static_cast<char*>(base) + kHeaderSpace)
            TreeStore(Mapping{base, kChunkBytes}, std::move(chunks));
        return StoreRef(*store);
    } catch (...) {
        ::munmap(base, kChunkBytes);
        throw;
    }
}

void TreeStore::release() {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    // The first mapping holds the store itself: unmapped last, after it is gone.
    const std::vector<Mapping> mappings = std::move(mappings_);
    std::destroy_at(this);
    for (auto it = mappings.rbegin(); it != mappings.rend(); ++it) ::munmap(it->base, it->bytes);
}

char* TreeStore::addMapping(std::size_t bytes) {
    const std::size_t number = mappings_.size();
    if (number >= kMaxChunks) throw std::bad_alloc();
    mappings_.reserve(number + 1);
    auto* base = static_cast<char*>(mapAligned(bytes));
    mappings_.push_back(Mapping{base, bytes});
    writeHeader(base, this, chunks_.get(), number);
    chunks_[number] = base;
    return base;
}

void* TreeStore::allocate(std::size_t bytes) {
    bytes = align4(bytes);
    std::lock_guard lock(mutex_);
    if (bytes > kLargeBytes) {
        const std::size_t mapped = (kHeaderSpace + bytes + kChunkBytes - 1) & ~(kChunkBytes - 1);
        return addMapping(mapped) + kHeaderSpace;
    }
    if (static_cast<std::size_t>(end_ - cur_) < bytes) {
        char* base = addMapping(kChunkBytes);
        cur_ = base + kHeaderSpace;
        end_ = base + kChunkBytes;
    }
    char* out = cur_;
    cur_ += bytes;
    return out;
}

void* NodeArena::allocate(std::size_t bytes) {
    bytes = align4(bytes);
    if (bytes > kPieceBytes / 4) return store_->allocate(bytes);
    if (static_cast<std::size_t>(end_ - cur_) < bytes) {
        cur_ = static_cast<char*>(store_->allocate(kPieceBytes));
        end_ = cur_ + kPieceBytes;
    }
    char* out = cur_;
    cur_ += bytes;
    return out;
}

void FileNode::writeName(std::string_view name) {
    char* at = reinterpret_cast<char*>(this) + kHeaderBytes;
    if (name.size() >= kLongName) {
        nameLen_ = kLongName;
        const auto n = static_cast<std::uint16_t>(name.size());
        std::memcpy(at, &n, sizeof n);
        at += sizeof n;
    } else {
        nameLen_ = static_cast<std::uint8_t>(name.size());
    }
    if (!name.empty()) std::memcpy(at, name.data(), name.size());  // a root's is empty, maybe null
}

FileNode* TreeStore::makeNode(std::string_view name, bool isDirectory, bool isRoot,
                              std::int64_t size, std::span<FileNode* const> children,
                              std::size_t capacity, NodeArena* arena) {
    if (!isRoot && name.size() > FileNode::kMaxName)
        throw std::invalid_argument("file name too long");
    const std::size_t nameLen = isRoot ? 0 : name.size();
    std::size_t bytes = FileNode::kHeaderBytes + FileNode::storedNameBytes(nameLen);
    if (isDirectory)
        bytes = FileNode::dirInfoOffset(nameLen) + sizeof(FileNode::DirInfo) +
                std::max(capacity, children.size()) * sizeof(std::uint32_t);
    void* mem = arena != nullptr ? arena->allocate(bytes) : allocate(bytes);
    FileNode* node = ::new (mem) FileNode();
    node->sizeHi_ = (isDirectory ? FileNode::kDirectory : 0) | (isRoot ? FileNode::kRoot : 0);
    node->writeName(name.substr(0, nameLen));
    node->setSize(size);
    if (isDirectory) {
        FileNode::DirInfo* info = node->dirInfo();
        info->count = static_cast<std::uint32_t>(children.size());
        info->slotsLink = FileNode::linkTo(info + 1);
        node->storeSlots(children);
        for (FileNode* c : children) c->setParent(node);
    }
    return node;
}

// The walker makes a million of these: no branch it does not need.
FileNode* TreeStore::makeFile(std::string_view name, std::int64_t size, NodeArena* arena) {
    if (name.size() > FileNode::kMaxName) throw std::invalid_argument("file name too long");
    const std::size_t bytes = FileNode::kHeaderBytes + FileNode::storedNameBytes(name.size());
    void* mem = arena != nullptr ? arena->allocate(bytes) : allocate(bytes);
    FileNode* node = ::new (mem) FileNode();
    node->writeName(name);
    node->setSize(size);
    return node;
}

FileNode* TreeStore::makeDirectory(std::string_view name, std::int64_t size,
                                   std::span<FileNode* const> children, NodeArena* arena) {
    return makeNode(name, true, false, size, children, 0, arena);
}

FileNode* TreeStore::makeRoot(std::string_view name, std::string_view rootPath, bool isDirectory,
                              std::int64_t size, std::span<FileNode* const> children) {
    FileNode* node = makeNode({}, isDirectory, true, size, children, 0, nullptr);
    addRoot(node, name, rootPath);
    return node;
}

FileNode* TreeStore::makeDirectoryShell(std::string_view name,
                                        std::optional<std::string_view> rootPath,
                                        std::size_t capacity, NodeArena* arena) {
    if (!rootPath) return makeNode(name, true, false, 0, {}, capacity, arena);
    FileNode* node = makeNode({}, true, true, 0, {}, capacity, nullptr);
    addRoot(node, name, *rootPath);
    return node;
}

void TreeStore::addRoot(const FileNode* node, std::string_view name, std::string_view rootPath) {
    std::lock_guard lock(rootsMutex_);
    roots_.emplace(node, RootInfo{std::string(name), std::string(rootPath)});
}

const TreeStore::RootInfo* TreeStore::rootInfo(const FileNode* node) const {
    std::lock_guard lock(rootsMutex_);
    auto it = roots_.find(node);
    return it == roots_.end() ? nullptr : &it->second;
}

std::uint32_t* TreeStore::allocateSlots(std::size_t count) {
    return static_cast<std::uint32_t*>(
        allocate(std::max<std::size_t>(count, 1) * sizeof(std::uint32_t)));
}

// ---- NodeRef ---------------------------------------------------------------

NodeRef::NodeRef(FileNode* node) : node_(node) {
    if (node_ != nullptr) TreeStore::of(node_).retain();
}

NodeRef::~NodeRef() {
    if (node_ != nullptr) TreeStore::of(node_).release();
}

// ---- FileNode --------------------------------------------------------------

TreeStore& FileNode::store() const {
    return TreeStore::of(this);
}

std::string_view FileNode::name() const {
    if (isRoot()) {
        const TreeStore::RootInfo* info = store().rootInfo(this);
        return info != nullptr ? std::string_view(info->name) : std::string_view();
    }
    return {inlineName(), nameLength()};
}

std::optional<std::string_view> FileNode::rootPath() const {
    if (!isRoot()) return std::nullopt;
    const TreeStore::RootInfo* info = store().rootInfo(this);
    if (info == nullptr) return std::nullopt;
    return std::string_view(info->path);
}

std::string FileNode::path() const {
    std::vector<const FileNode*> chain;
    const FileNode* n = this;
    std::optional<std::string_view> base;
    for (; n != nullptr; n = n->parent()) {
        if ((base = n->rootPath())) break;
        chain.push_back(n);
    }
    std::string out;
    if (base) out.append(base->data(), base->size());
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (out.size() != 1 || out[0] != '/') out.push_back('/');
        out += (*it)->name();
    }
    if (out.empty()) out.push_back('/');
    return out;
}

void FileNode::storeSlots(std::span<FileNode* const> nodes) {
    std::uint32_t* base = slotArray();
    for (std::size_t i = 0; i < nodes.size(); ++i) base[i] = linkTo(nodes[i]);
}

std::size_t FileNode::indexOf(const FileNode* c) const {
    const std::size_t n = childCount();
    for (std::size_t i = 0; i < n; ++i)
        if (child(i) == c) return i;
    return n;
}

void FileNode::sortChildrenBySize() {
    const std::size_t n = childCount();
    if (n < 2) return;
    std::uint32_t* s = slotArray();
    auto sizeAt = [this](std::uint32_t v) { return target(v)->size(); };
    if (n <= 32) {
        // Insertion sort: stable, and no buffer for the many small directories.
        for (std::size_t i = 1; i < n; ++i) {
            const std::uint32_t v = s[i];
            const std::int64_t sz = sizeAt(v);
            std::size_t j = i;
            for (; j > 0 && sizeAt(s[j - 1]) < sz; --j) s[j] = s[j - 1];
            s[j] = v;
        }
        return;
    }
    std::stable_sort(s, s + n,
                     [&](std::uint32_t a, std::uint32_t b) { return sizeAt(a) > sizeAt(b); });
}

// Moves one child whose size changed to where a stable sort would put it,
// given that the others are in order: O(n) instead of a full sort per ancestor.
void FileNode::repositionChild(std::size_t index) {
    std::uint32_t* s = slotArray();
    const std::size_t n = childCount();
    const std::uint32_t moving = s[index];
    const std::int64_t sz = target(moving)->size();
    std::size_t i = index;
    while (i > 0 && target(s[i - 1])->size() < sz) {
        s[i] = s[i - 1];
        --i;
    }
    while (i + 1 < n && target(s[i + 1])->size() > sz) {
        s[i] = s[i + 1];
        ++i;
    }
    s[i] = moving;
}

void FileNode::adjustSize(std::int64_t delta) {
    if (delta == 0) return;
    setSize(size() + delta);
    FileNode* changed = this;
    for (FileNode* p = parent(); p != nullptr; changed = p, p = p->parent()) {
        p->setSize(p->size() + delta);
        const std::size_t i = p->indexOf(changed);
        if (i < p->childCount())
            p->repositionChild(i);
        else
            p->sortChildrenBySize();
    }
}

void FileNode::setChildren(std::span<FileNode* const> nodes) {
    if (!isDirectory()) throw std::logic_error("setChildren on a file");
    std::vector<FileNode*> sorted(nodes.begin(), nodes.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const FileNode* a, const FileNode* b) { return a->size() > b->size(); });
    // Children no longer listed become detached.
    for (FileNode* old : children()) old->setParent(nullptr);
    std::int64_t sum = 0;
    for (FileNode* c : sorted) {
        if (&TreeStore::of(c) != &store()) throw std::invalid_argument("child from another tree");
        c->setParent(this);
        sum += c->size();
    }
    DirInfo* info = dirInfo();
    if (sorted.size() > info->count) {
        info->slotsLink = linkTo(store().allocateSlots(sorted.size()));
    }
    info->count = static_cast<std::uint32_t>(sorted.size());
    storeSlots(sorted);
    adjustSize(sum - size());
}

void FileNode::replaceChild(FileNode* oldChild, FileNode* newChild) {
    if (&TreeStore::of(newChild) != &store())
        throw std::invalid_argument("child from another tree");
    const std::size_t i = indexOf(oldChild);
    if (i == childCount()) return;
    std::uint32_t* s = slotArray();
    s[i] = linkTo(newChild);
    newChild->setParent(this);
    oldChild->setParent(nullptr);
    repositionChild(i);
    adjustSize(newChild->size() - oldChild->size());
}

void FileNode::removeFromParent() {
    FileNode* p = parent();
    if (p == nullptr) return;
    const std::size_t i = p->indexOf(this);
    const std::size_t n = p->childCount();
    if (i == n) return;
    std::uint32_t* s = p->slotArray();
    std::memmove(s + i, s + i + 1, (n - i - 1) * sizeof(std::uint32_t));
    p->dirInfo()->count = static_cast<std::uint32_t>(n - 1);
    setParent(nullptr);
    // Ancestors shrink, so each must also move down among its siblings; the
    // parent's own list stays in order without this node.
    p->adjustSize(-size());
}

}  // namespace tidewell
