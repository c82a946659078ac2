// The basket as rows for a QML ListView, in insertion order, with its entry
// count and total size. Adding or removing one entry inserts or removes one
// row, so the list keeps its place; anything else lays the rows out anew.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <QList>

#include "file_node.h"

namespace tidewell {

class AppModel;

class BasketModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the AppModel owns its list models")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(double total READ total NOTIFY totalChanged)

  public:
    enum Role {
        NodeRole = Qt::UserRole + 1,  // NodeValue
        NameRole,
        SizeRole,
        LocationRole,  // the ancestors' names from the root down, joined with " › "
        IsDirectoryRole,
    };
    Q_ENUM(Role)

    explicit BasketModel(AppModel& app);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(rows_.size()); }
    // Sum of the entries' sizes, in bytes.
    qint64 total() const { return total_; }

  signals:
    void countChanged();
    void totalChanged();

  private:
    void basketChanged();
    void treeChanged();
    void setCounts();

    AppModel& app_;
    QList<NodeRef> rows_;
    qint64 total_ = 0;
    int toldCount_ = 0;
};

}  // namespace tidewell
