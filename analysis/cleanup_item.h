// What the analyses hand out: entries of a scanned tree that could go, with
// the path they had when they were found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_node.h"

namespace tidewell {

struct CleanupItem {
    NodeRef node;  // keeps the tree alive as long as the item is held
    std::string path;
};

struct CleanupCategoryResult {
    std::string key;
    std::string title;
    std::string subtitle;
    std::string icon;
    std::vector<CleanupItem> items;  // largest first, at most 50
    std::int64_t totalSize = 0;      // over every item found, not just those listed
    std::int64_t totalCount = 0;
};

}  // namespace tidewell
