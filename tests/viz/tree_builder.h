// Small size trees for the map tests. Children are kept exactly as given,
// so callers pass them largest first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_node.h"

namespace tidewell::testing {

struct TreeBuilder {
    StoreRef store = TreeStore::create();

    FileNode* file(std::string_view name, std::int64_t size) { return store->makeFile(name, size); }
    FileNode* dir(std::string_view name, const std::vector<FileNode*>& kids) {
        return store->makeDirectory(name, sumOf(kids), kids);
    }
    NodeRef root(const std::vector<FileNode*>& kids) {
        return NodeRef(store->makeRoot("root", "/r", true, sumOf(kids), kids));
    }
    // `count` files of `size` bytes each, named f0, f1, ...
    std::vector<FileNode*> files(std::size_t count, std::int64_t size,
                                 std::string_view prefix = "f") {
        std::vector<FileNode*> out;
        for (std::size_t i = 0; i < count; ++i) {
            out.push_back(file(std::string(prefix) + std::to_string(i), size));
        }
        return out;
    }
    static std::int64_t sumOf(const std::vector<FileNode*>& kids) {
        std::int64_t s = 0;
        for (const FileNode* k : kids) s += k->size();
        return s;
    }
};

}  // namespace tidewell::testing
