#include "basket_model.h"

#include <QStringList>
#include <algorithm>

#include "app_model.h"
#include "display_text.h"
#include "node_value.h"

namespace tidewell {

BasketModel::BasketModel(AppModel& app) : QAbstractListModel(&app), app_(app) {
    connect(&app, &AppModel::basketChanged, this, &BasketModel::basketChanged);
    connect(&app, &AppModel::treeVersionChanged, this, &BasketModel::treeChanged);
    rows_ = app.basket();
    setCounts();
}

int BasketModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> BasketModel::roleNames() const {
    return {{NodeRole, "node"},
            {NameRole, "name"},
            {SizeRole, "size"},
            {LocationRole, "location"},
            {IsDirectoryRole, "isDirectory"}};
}

QVariant BasketModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) return {};
    const NodeRef& node = rows_[index.row()];
    switch (role) {
        case NodeRole:
            return QVariant::fromValue(NodeValue(node));
        case NameRole:
            return NodeValue(node).name();
        case SizeRole:
            return static_cast<qint64>(node->size());
        case LocationRole: {
            QStringList names;
            for (const FileNode* a = node->parent(); a != nullptr; a = a->parent())
                names.prepend(QString::fromStdString(repairUtf8(a->name())));
            return names.join(QStringLiteral(" › "));
        }
        case IsDirectoryRole:
            return node->isDirectory();
        default:
            return {};
    }
}

void BasketModel::basketChanged() {
    const QList<NodeRef>& next = app_.basket();
    const qsizetype n = rows_.size();
    const qsizetype m = next.size();
    if (m > n && std::equal(rows_.begin(), rows_.end(), next.begin())) {
        // Entries appended (a toggle, a category).
        beginInsertRows({}, static_cast<int>(n), static_cast<int>(m - 1));
        rows_ = next;
        endInsertRows();
    } else if (m + 1 == n) {
        // One entry taken out: the first place where the lists differ.
        qsizetype at = 0;
        while (at < m && rows_[at] == next[at]) ++at;
        if (std::equal(rows_.begin() + at + 1, rows_.end(), next.begin() + at)) {
            beginRemoveRows({}, static_cast<int>(at), static_cast<int>(at));
            rows_ = next;
            endRemoveRows();
        } else {
            beginResetModel();
            rows_ = next;
            endResetModel();
        }
    } else if (rows_ != next) {
        beginResetModel();
        rows_ = next;
        endResetModel();
    }
    setCounts();
}

// A deletion run changes sizes; the basket itself is told apart.
void BasketModel::treeChanged() {
    if (!rows_.isEmpty()) emit dataChanged(index(0), index(count() - 1), {SizeRole});
    setCounts();
}

void BasketModel::setCounts() {
    qint64 total = 0;
    for (const NodeRef& n : rows_) total += n->size();
    if (total != total_) {
        total_ = total;
        emit totalChanged();
    }
    if (count() != toldCount_) {
        toldCount_ = count();
        emit countChanged();
    }
}

}  // namespace tidewell
