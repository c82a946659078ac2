// The largest files of a scanned tree, without sorting the whole tree.
#pragma once

#include <cstddef>
#include <vector>

#include "cleanup_item.h"
#include "file_node.h"

namespace tidewell {

// At most `limit` files (never directories) under `root`, largest first;
// equal sizes keep the order in which the walk met them. Reads only the
// tree, never the disk, and holds at most 2 * limit candidates at a time.
std::vector<CleanupItem> computeTopFiles(const FileNode& root, std::size_t limit);

}  // namespace tidewell
