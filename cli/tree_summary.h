// Per-subtree counts for the summary, and its text and JSON forms.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>

#include "file_node.h"

namespace tidewell::cli {

struct SubtreeCounts {
    std::int64_t files = 0;        // non-directory entries below
    std::int64_t directories = 0;  // directories in the subtree, the node itself included
};

// Counts for every node at most `depth` levels below the root (the root is
// level 0), from one walk of the whole tree without recursion.
std::unordered_map<const FileNode*, SubtreeCounts> countSubtrees(const FileNode* root, int depth);

// Children largest first, `depth` levels deep, each with its size and share of its parent.
void printTree(std::ostream& out, const FileNode* root, int depth);

// The summary's line telling how many folders could not be read (their
// contents are not in the totals); empty for none.
std::string unreadableLine(std::int64_t unreadableDirs);

// The root's object also carries the scan's time and how many folders could not be read.
void printJson(std::ostream& out, const FileNode* root, int depth,
               const std::unordered_map<const FileNode*, SubtreeCounts>& counts,
               std::int64_t elapsedMs, std::int64_t unreadableDirs);

}  // namespace tidewell::cli
