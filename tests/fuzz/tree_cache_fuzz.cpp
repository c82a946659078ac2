// libFuzzer entry point for the tree cache reader.
//
// Besides not crashing, whatever the reader accepts must be a faithful tree:
// writing it out again gives back the bytes it was read from (up to the bits
// of the directory byte that readers ignore), and that reads again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "tree_cache.h"

namespace {

// The seeds' headers carry this path; anything else is rejected at once.
constexpr std::string_view kRootPath = "/r";

void require(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tidewell;
    const std::span<const unsigned char> input(data, size);
    const auto loaded = TreeCache::decode(input, kRootPath);
    if (!loaded) return 0;
    require(loaded->root->rootPath() == kRootPath && loaded->root->parent() == nullptr);

    const auto again = TreeCache::encode(*loaded->root, kRootPath, loaded->eventId);
    require(again.size() <= input.size());
    for (std::size_t i = 0; i < again.size(); ++i)
        require(again[i] == input[i] || (again[i] <= 1 && (input[i] & 1) == again[i]));

    const auto reloaded = TreeCache::decode(again, kRootPath);
    require(reloaded.has_value());
    require(TreeCache::encode(*reloaded->root, kRootPath, reloaded->eventId) == again);
    return 0;
}
