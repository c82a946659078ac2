// How a node stands to the basket, for the lists that mark their rows: in
// the basket itself, or covered (it or one of its ancestors is in it).
#pragma once

#include <QList>
#include <unordered_set>

#include "file_node.h"

namespace tidewell {

struct BasketMarks {
    bool inBasket = false;
    bool covered = false;
    bool operator==(const BasketMarks&) const = default;
};

// The basket's nodes by identity.
inline std::unordered_set<const FileNode*> basketIds(const QList<NodeRef>& basket) {
    std::unordered_set<const FileNode*> out;
    out.reserve(static_cast<std::size_t>(basket.size()));
    for (const NodeRef& n : basket) out.insert(n.get());
    return out;
}

inline BasketMarks basketMarks(const FileNode* node,
                               const std::unordered_set<const FileNode*>& basket) {
    BasketMarks m;
    m.inBasket = basket.contains(node);
    m.covered = m.inBasket;
    for (const FileNode* a = node->parent(); a != nullptr && !m.covered; a = a->parent())
        m.covered = basket.contains(a);
    return m;
}

}  // namespace tidewell
