// The context menu every row and cell showing a tree node carries: which
// items it has, in order. Its QML face builds the menu from this list.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace tidewell {

struct NodeMenuEntry {
    enum class Kind { preview, reveal, separator, toggleBasket };
    Kind kind;
    QString title;   // empty for the separator
    QString symbol;  // icon name; empty for the separator
    bool operator==(const NodeMenuEntry&) const = default;
};

// No items when `enabled` is false (a cell standing for several small
// items). Otherwise preview and reveal, then a separator and the basket item
// when the node is in the basket or may be deleted. `canDelete` is asked
// only for a node outside the basket, so a basket entry can always leave it.
std::vector<NodeMenuEntry> nodeMenuEntries(bool enabled, bool inBasket,
                                           const std::function<bool()>& canDelete);

}  // namespace tidewell
