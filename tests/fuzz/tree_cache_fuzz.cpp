// libFuzzer entry point for the tree cache reader.
//
// Besides not crashing, whatever the reader accepts must be a sound tree
// (every folder the sum of its children, largest first, every name below the
// root one a directory can list) and a faithful one: writing it out again
// gives back the bytes it was read from (up to the bits of the directory byte
// that readers ignore, and so the checksum), and that reads again.
//
// A mutated input almost never keeps its checksum, so each input is also read
// with the checksum made to match: that is how the fuzzer reaches the records.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "crc32c.h"
#include "tree_cache.h"

namespace {

// The seeds' headers carry this path; anything else is rejected at once.
constexpr std::string_view kRootPath = "/r";
constexpr std::size_t kCrcBytes = 4;

void require(bool ok) {
    if (!ok) std::abort();
}

bool isEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

void requireSound(const tidewell::FileNode& root) {
    std::vector<const tidewell::FileNode*> stack{&root};
    while (!stack.empty()) {
        const tidewell::FileNode* n = stack.back();
        stack.pop_back();
        require(n->size() >= 0);
        if (n != &root) require(isEntryName(n->name()) && !n->rootPath());
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < n->childCount(); ++i) {
            const tidewell::FileNode* c = n->child(i);
            require(c->parent() == n);
            if (i > 0) require(c->size() <= n->child(i - 1)->size());
            sum += c->size();
            stack.push_back(c);
        }
        if (n->isDirectory()) require(sum == n->size());
    }
}

void check(std::span<const unsigned char> input) {
    using namespace tidewell;
    const auto loaded = TreeCache::decode(input, kRootPath);
    if (!loaded) return;
    require(loaded->root->rootPath() == kRootPath && loaded->root->parent() == nullptr);
    requireSound(*loaded->root);

    const auto again = TreeCache::encode(*loaded->root, kRootPath, loaded->eventId);
    require(again.size() == input.size());
    bool sameFlags = true;
    for (std::size_t i = 0; i + kCrcBytes < again.size(); ++i) {
        if (again[i] == input[i]) continue;
        require(again[i] <= 1 && (input[i] & 1) == again[i]);
        sameFlags = false;
    }
    if (sameFlags) require(std::equal(again.begin(), again.end(), input.begin()));

    const auto reloaded = TreeCache::decode(again, kRootPath);
    require(reloaded.has_value());
    require(TreeCache::encode(*reloaded->root, kRootPath, reloaded->eventId) == again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> input(data, size);
    check(input);
    if (size < kCrcBytes) return 0;
    std::vector<unsigned char> patched(input.begin(), input.end());
    const std::uint32_t crc = tidewell::crc32c(input.first(size - kCrcBytes));
    for (std::size_t i = 0; i < kCrcBytes; ++i)
        patched[size - kCrcBytes + i] = static_cast<unsigned char>(crc >> (8 * i));
    check(patched);
    return 0;
}
