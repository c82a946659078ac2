#include "top_files.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tidewell {

namespace {

bool bySizeDescending(const FileNode* a, const FileNode* b) {
    return a->size() > b->size();
}

}  // namespace

std::vector<CleanupItem> computeTopFiles(const FileNode& root, std::size_t limit) {
    if (limit == 0) return {};
    // Candidates are cut back to `limit` each time they reach `room`.
    const std::size_t room = limit > std::numeric_limits<std::size_t>::max() / 2
                                 ? std::numeric_limits<std::size_t>::max()
                                 : 2 * limit;
    std::vector<FileNode*> candidates;
    candidates.reserve(std::min<std::size_t>(room, std::size_t{1} << 16));
    // The size of the limit-th largest file kept so far; nothing at or below
    // it can make the list once the list is full.
    std::int64_t threshold = 0;

    std::vector<const FileNode*> stack{&root};
    while (!stack.empty()) {
        const FileNode* node = stack.back();
        stack.pop_back();
        for (FileNode* child : node->children()) {
            if (child->isDirectory()) {
                // A directory no larger than the threshold holds no file that would be kept.
                if (child->size() > threshold) stack.push_back(child);
                continue;
            }
            if (child->size() <= threshold && candidates.size() >= limit) continue;
            candidates.push_back(child);
            if (candidates.size() >= room) {
                std::ranges::stable_sort(candidates, bySizeDescending);
                candidates.resize(limit);
                threshold = candidates.empty() ? 0 : candidates.back()->size();
            }
        }
    }

    std::ranges::stable_sort(candidates, bySizeDescending);
    if (candidates.size() > limit) candidates.resize(limit);
    std::vector<CleanupItem> out;
    out.reserve(candidates.size());
    for (FileNode* file : candidates) out.push_back({NodeRef(file), file->path()});
    return out;
}

}  // namespace tidewell
