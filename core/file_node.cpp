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

// Reserves an address range aligned to its own size by mapping twice as much
// and giving back the ends. MAP_NORESERVE: only touched pages cost memory.
void* reserveAlignedRegion(std::size_t bytes) {
    const std::size_t span = bytes * 2;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + bytes - 1) & ~(std::uintptr_t{bytes} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + bytes;
    if (start + span > tail) ::munmap(reinterpret_cast<void*>(tail), start + span - tail);
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

// ---- TreeStore -------------------------------------------------------------

TreeStore::TreeStore() {
    next_.store(align4(sizeof(TreeStore)), std::memory_order_relaxed);
}

StoreRef TreeStore::create() {
    void* region = reserveAlignedRegion(kRegionBytes);
    return StoreRef(*::new (region) TreeStore());  // placement: the store heads its own region
}

void TreeStore::release() {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    std::destroy_at(this);
    ::munmap(this, kRegionBytes);
}

void* TreeStore::allocate(std::size_t bytes) {
    bytes = align4(bytes);
    const std::size_t at = next_.fetch_add(bytes, std::memory_order_relaxed);
    if (at + bytes > kRegionBytes) throw std::bad_alloc();
    return reinterpret_cast<char*>(this) + at;
}

void* NodeArena::allocate(std::size_t bytes) {
    bytes = align4(bytes);
    if (bytes > kChunkBytes / 4) return store_->allocate(bytes);
    if (static_cast<std::size_t>(end_ - cur_) < bytes) {
        cur_ = static_cast<char*>(store_->allocate(kChunkBytes));
        end_ = cur_ + kChunkBytes;
    }
    char* out = cur_;
    cur_ += bytes;
    return out;
}

FileNode* TreeStore::makeNode(std::string_view name, bool isDirectory, bool isRoot,
                              std::int64_t size, std::span<FileNode* const> children,
                              std::size_t capacity, NodeArena* arena) {
    if (!isRoot && name.size() > FileNode::kMaxName)
        throw std::invalid_argument("file name longer than 255 bytes");
    const std::size_t nameLen = isRoot ? 0 : name.size();
    std::size_t bytes = FileNode::kHeaderBytes + nameLen;
    if (isDirectory)
        bytes = FileNode::dirInfoOffset(nameLen) + sizeof(FileNode::DirInfo) +
                std::max(capacity, children.size()) * sizeof(std::int32_t);
    void* mem = arena != nullptr ? arena->allocate(bytes) : allocate(bytes);
    FileNode* node = ::new (mem) FileNode();
    node->nameLen_ = static_cast<std::uint8_t>(nameLen);
    node->sizeHi_ = (isDirectory ? FileNode::kDirectory : 0) | (isRoot ? FileNode::kRoot : 0);
    if (nameLen != 0)
        std::memcpy(reinterpret_cast<char*>(node) + FileNode::kHeaderBytes, name.data(), nameLen);
    node->setSize(size);
    if (isDirectory) {
        FileNode::DirInfo* info = node->dirInfo();
        info->count = static_cast<std::uint32_t>(children.size());
        info->slotsDelta = static_cast<std::int32_t>(sizeof(FileNode::DirInfo) / 4);
        node->storeSlots(children);
        for (FileNode* c : children) c->setParent(node);
    }
    return node;
}

// The walker makes a million of these: no branch it does not need.
FileNode* TreeStore::makeFile(std::string_view name, std::int64_t size, NodeArena* arena) {
    if (name.size() > FileNode::kMaxName)
        throw std::invalid_argument("file name longer than 255 bytes");
    const std::size_t bytes = FileNode::kHeaderBytes + name.size();
    void* mem = arena != nullptr ? arena->allocate(bytes) : allocate(bytes);
    FileNode* node = ::new (mem) FileNode();
    node->nameLen_ = static_cast<std::uint8_t>(name.size());
    std::memcpy(reinterpret_cast<char*>(node) + FileNode::kHeaderBytes, name.data(), name.size());
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

std::int32_t* TreeStore::allocateSlots(std::size_t count) {
    return static_cast<std::int32_t*>(
        allocate(std::max<std::size_t>(count, 1) * sizeof(std::int32_t)));
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
    std::int32_t* base = slotArray();
    for (std::size_t i = 0; i < nodes.size(); ++i) base[i] = unitsBetween(base, nodes[i]);
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
    std::int32_t* s = slotArray();
    auto sizeAt = [s](std::int32_t v) { return slotTarget(s, v)->size(); };
    if (n <= 32) {
        // Insertion sort: stable, and no buffer for the many small directories.
        for (std::size_t i = 1; i < n; ++i) {
            const std::int32_t v = s[i];
            const std::int64_t sz = sizeAt(v);
            std::size_t j = i;
            for (; j > 0 && sizeAt(s[j - 1]) < sz; --j) s[j] = s[j - 1];
            s[j] = v;
        }
        return;
    }
    std::stable_sort(s, s + n,
                     [&](std::int32_t a, std::int32_t b) { return sizeAt(a) > sizeAt(b); });
}

// Moves one child whose size changed to where a stable sort would put it,
// given that the others are in order: O(n) instead of a full sort per ancestor.
void FileNode::repositionChild(std::size_t index) {
    std::int32_t* s = slotArray();
    const std::size_t n = childCount();
    const std::int32_t moving = s[index];
    const std::int64_t sz = slotTarget(s, moving)->size();
    std::size_t i = index;
    while (i > 0 && slotTarget(s, s[i - 1])->size() < sz) {
        s[i] = s[i - 1];
        --i;
    }
    while (i + 1 < n && slotTarget(s, s[i + 1])->size() > sz) {
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
        std::int32_t* fresh = store().allocateSlots(sorted.size());
        info->slotsDelta = unitsBetween(info, fresh);
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
    std::int32_t* s = slotArray();
    s[i] = unitsBetween(s, newChild);
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
    std::int32_t* s = p->slotArray();
    std::memmove(s + i, s + i + 1, (n - i - 1) * sizeof(std::int32_t));
    p->dirInfo()->count = static_cast<std::uint32_t>(n - 1);
    setParent(nullptr);
    // Ancestors shrink, so each must also move down among its siblings; the
    // parent's own list stays in order without this node.
    p->adjustSize(-size());
}

}  // namespace tidewell
