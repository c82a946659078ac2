// The last top-files result as rows for a QML ListView, largest first, with
// the basket marks. A basket change tells only the rows whose marks changed;
// a new result or a tree change lays the rows out anew. Whether a row may
// be deleted is worked out when it is first read.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "cleanup_item.h"

namespace tidewell {

class AppModel;

class TopFilesModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the AppModel owns its list models")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // A result exists (possibly empty); false before the first and while one is computed.
    Q_PROPERTY(bool hasResults READ hasResults NOTIFY hasResultsChanged)

  public:
    enum Role {
        NodeRole = Qt::UserRole + 1,  // NodeValue
        RankRole,                     // 1 for the largest
        NameRole,
        PathRole,  // as taken when the result was computed
        SizeRole,
        InBasketRole,
        CoveredRole,  // it or one of its ancestors is in the basket
        CanDeleteRole,
        AttachedRole,  // still part of the shown tree (a deletion may have taken it)
    };
    Q_ENUM(Role)

    explicit TopFilesModel(AppModel& app);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(rows_.size()); }
    bool hasResults() const { return hasResults_; }

    std::int64_t canDeleteEvaluations() const { return canDeleteEvaluations_; }

  signals:
    void countChanged();
    void hasResultsChanged();

  private:
    void reset();
    void basketChanged();

    AppModel& app_;
    std::vector<CleanupItem> rows_;
    mutable std::vector<std::int8_t> canDelete_;  // -1 not yet known
    mutable std::int64_t canDeleteEvaluations_ = 0;
    std::unordered_set<const FileNode*> basket_;
    bool hasResults_ = false;
};

}  // namespace tidewell
