// Finds well-known, regenerable bloat in a scanned tree: Xcode leftovers,
// node_modules folders, package-manager caches, other application caches and
// logs. It reads the tree and deletes nothing.
#pragma once

#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "cleanup_item.h"
#include "file_node.h"

namespace tidewell::SmartCleanup {

struct Def {
    std::string_view key;
    std::string_view title;
    std::string_view subtitle;
    std::string_view icon;  // a symbol name; icon sets map it to their own
};

// Every category the analysis can report, in table order.
std::span<const Def> definitions();

// The categories found under `root`, largest total first. `canDelete` is the
// deletability test on an absolute path; a candidate it refuses is left out
// and nothing inside it is looked at. The tree must not change meanwhile.
std::vector<CleanupCategoryResult> analyze(const FileNode& root,
                                           const std::function<bool(std::string_view)>& canDelete);

}  // namespace tidewell::SmartCleanup
