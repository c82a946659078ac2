#include "children_model.h"

#include <algorithm>

#include "app_model.h"
#include "basket_marks.h"
#include "node_value.h"
#include "row_colours.h"

namespace tidewell {

ChildrenModel::ChildrenModel(AppModel& app) : QAbstractListModel(&app), app_(app) {
    connect(&app, &AppModel::pathChanged, this, &ChildrenModel::followFocus);
    connect(&app, &AppModel::rootChanged, this, &ChildrenModel::followFocus);
    // Deletions edit the tree in place: rows may have gone, sizes and order changed.
    connect(&app, &AppModel::treeVersionChanged, this, &ChildrenModel::reset);
    connect(&app, &AppModel::basketChanged, this, &ChildrenModel::basketChanged);
    reset();
}

int ChildrenModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> ChildrenModel::roleNames() const {
    return {{NodeRole, "node"},
            {NameRole, "name"},
            {SizeRole, "size"},
            {FractionRole, "fraction"},
            {ColourRole, "colour"},
            {IsDirectoryRole, "isDirectory"},
            {HasChildrenRole, "hasChildren"},
            {InBasketRole, "inBasket"},
            {CoveredRole, "covered"},
            {CanDeleteRole, "canDelete"}};
}

QVariant ChildrenModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    FileNode* node = rows_[row];
    switch (role) {
        case NodeRole:
            return QVariant::fromValue(NodeValue(node));
        case NameRole:
            return NodeValue(node).name();
        case SizeRole:
            return static_cast<qint64>(node->size());
        case FractionRole: {
            const std::int64_t total = focus_->size();
            return total > 0 ? static_cast<double>(node->size()) / static_cast<double>(total) : 0.0;
        }
        case ColourRole:
            return childRowColour(static_cast<std::int64_t>(row),
                                  static_cast<std::int64_t>(rows_.size()));
        case IsDirectoryRole:
            return node->isDirectory();
        case HasChildrenRole:
            return node->childCount() > 0;
        case InBasketRole:
            return basket_.contains(node);
        case CoveredRole:
            return focusCovered_ || basket_.contains(node);
        case CanDeleteRole:
            // A look at the disk per node: only for rows that are read, once.
            if (canDelete_[row] < 0) {
                canDelete_[row] = app_.canDelete(node) ? 1 : 0;
                ++canDeleteEvaluations_;
            }
            return canDelete_[row] == 1;
        default:
            return {};
    }
}

void ChildrenModel::followFocus() {
    if (app_.focus() != focus_.get()) reset();
}

void ChildrenModel::reset() {
    const int before = count();
    beginResetModel();
    focus_ = NodeRef(app_.focus());
    rows_.clear();
    if (focus_) rows_.assign(focus_->children().begin(), focus_->children().end());
    canDelete_.assign(rows_.size(), -1);
    rowIndex_.clear();
    basket_ = basketIds(app_.basket());
    focusCovered_ = covers(focus_.get());
    endResetModel();
    if (count() != before) emit countChanged();
}

bool ChildrenModel::covers(const FileNode* focus) const {
    for (const FileNode* a = focus; a != nullptr; a = a->parent())
        if (basket_.contains(a)) return true;
    return false;
}

int ChildrenModel::rowOf(const FileNode* node) {
    if (rowIndex_.empty() && !rows_.empty()) {
        rowIndex_.reserve(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i)
            rowIndex_.emplace(rows_[i], static_cast<int>(i));
    }
    const auto it = rowIndex_.find(node);
    return it == rowIndex_.end() ? -1 : it->second;
}

// Only rows whose marks changed are told: a node that entered or left the
// basket is at most one row here, and an ancestor of the focus changes
// every row's "covered".
void ChildrenModel::basketChanged() {
    std::unordered_set<const FileNode*> next = basketIds(app_.basket());
    std::vector<const FileNode*> changed;
    for (const FileNode* n : next)
        if (!basket_.contains(n)) changed.push_back(n);
    for (const FileNode* n : basket_)
        if (!next.contains(n)) changed.push_back(n);
    basket_ = std::move(next);
    if (changed.empty() || rows_.empty()) {
        focusCovered_ = covers(focus_.get());
        return;
    }
    const bool wasCovered = focusCovered_;
    focusCovered_ = covers(focus_.get());
    if (focusCovered_ != wasCovered) emit dataChanged(index(0), index(count() - 1), {CoveredRole});
    std::vector<int> touched;
    for (const FileNode* n : changed)
        if (const int r = rowOf(n); r >= 0) touched.push_back(r);
    std::sort(touched.begin(), touched.end());
    // Neighbouring rows go out as one range.
    for (std::size_t i = 0; i < touched.size();) {
        std::size_t j = i;
        while (j + 1 < touched.size() && touched[j + 1] == touched[j] + 1) ++j;
        emit dataChanged(index(touched[i]), index(touched[j]), {InBasketRole, CoveredRole});
        i = j + 1;
    }
}

}  // namespace tidewell
