#include "downloads_model.h"

#include <QDateTime>
#include <ctime>

#include "app_model.h"
#include "node_value.h"

namespace tidewell {

DownloadsModel::DownloadsModel(AppModel& app) : QAbstractListModel(&app), app_(app) {
    // Every change of the tree, its dates or the filter ends in this one.
    connect(&app, &AppModel::visibleDownloadsChanged, this, &DownloadsModel::reset);
    connect(&app, &AppModel::downloadsSelectionChanged, this, &DownloadsModel::selectionChanged);
    reset();
}

int DownloadsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> DownloadsModel::roleNames() const {
    return {{NodeRole, "node"},
            {NameRole, "name"},
            {SizeRole, "size"},
            {IsDirectoryRole, "isDirectory"},
            {SelectedRole, "selected"},
            {DateRole, "date"},
            {OldRole, "old"}};
}

QVariant DownloadsModel::data(const QModelIndex& index, int role) const {
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
        case IsDirectoryRole:
            return node->isDirectory();
        case SelectedRole:
            return static_cast<bool>(selected_[row]);
        case DateRole: {
            const auto& dates = app_.downloadsDates();
            const auto it = dates.find(node);
            if (it == dates.end()) return {};
            return QDateTime::fromSecsSinceEpoch(it->second);
        }
        case OldRole: {
            // The "30 gün+" rule itself: the amber ages are the entries it lists.
            const auto& dates = app_.downloadsDates();
            const auto it = dates.find(node);
            return it != dates.end() && passesDownloadsFilter(AppModel::DownloadsFilter::days30,
                                                              node->size(), it->second, now_);
        }
        default:
            return {};
    }
}

void DownloadsModel::reset() {
    const int before = count();
    beginResetModel();
    tree_ = app_.downloadsTree();
    const qint64 listedBefore = now_;
    now_ = static_cast<qint64>(std::time(nullptr));
    rows_ = app_.visibleDownloads(now_);
    const auto& selection = app_.downloadsSelection();
    selected_.assign(rows_.size(), false);
    for (std::size_t i = 0; i < rows_.size(); ++i) selected_[i] = selection.contains(rows_[i]);
    endResetModel();
    if (count() != before) emit countChanged();
    if (now_ != listedBefore) emit listedAtChanged();
}

// Neighbouring rows whose tick changed go out as one range: ticking every
// visible entry is one notification, not one per row.
void DownloadsModel::selectionChanged() {
    const auto& selection = app_.downloadsSelection();
    int runStart = -1;
    for (std::size_t i = 0; i <= rows_.size(); ++i) {
        bool changed = false;
        if (i < rows_.size()) {
            const bool now = selection.contains(rows_[i]);
            changed = now != selected_[i];
            selected_[i] = now;
        }
        if (changed && runStart < 0) runStart = static_cast<int>(i);
        if (!changed && runStart >= 0) {
            emit dataChanged(index(runStart), index(static_cast<int>(i) - 1), {SelectedRole});
            runStart = -1;
        }
    }
}

}  // namespace tidewell
