// The focused folder's children as rows for a QML ListView: the folder list.
// Rows are taken when the focus or the tree changes (a reset); a basket
// change only tells the rows whose marks changed. Costly roles are worked
// out when a row is first read and kept until the next reset.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "file_node.h"

namespace tidewell {

class AppModel;

class ChildrenModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the AppModel owns its list models")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

  public:
    enum Role {
        NodeRole = Qt::UserRole + 1,  // NodeValue
        NameRole,
        SizeRole,
        FractionRole,  // share of the focused folder, 0 when it is empty
        ColourRole,    // the map's colour for this child
        IsDirectoryRole,
        HasChildrenRole,
        InBasketRole,  // the node itself is in the basket
        CoveredRole,   // it or one of its ancestors is
        CanDeleteRole,
    };
    Q_ENUM(Role)

    explicit ChildrenModel(AppModel& app);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(rows_.size()); }

    // Rows whose deletability was worked out since the model was made: only
    // rows that were read count, each once per reset.
    std::int64_t canDeleteEvaluations() const { return canDeleteEvaluations_; }

  signals:
    void countChanged();

  private:
    void followFocus();
    void reset();
    void basketChanged();
    bool covers(const FileNode* focus) const;
    int rowOf(const FileNode* node);

    AppModel& app_;
    NodeRef focus_;  // keeps the rows' tree alive
    std::vector<FileNode*> rows_;
    // Per row: -1 not yet known, else the answer.
    mutable std::vector<std::int8_t> canDelete_;
    mutable std::int64_t canDeleteEvaluations_ = 0;
    std::unordered_set<const FileNode*> basket_;
    bool focusCovered_ = false;  // the focus or one of its ancestors is in the basket
    std::unordered_map<const FileNode*, int> rowIndex_;  // made on first need
};

}  // namespace tidewell
