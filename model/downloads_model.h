// The Downloads entries that pass the active filter, as rows for a QML
// ListView, with their tick and modification date. Ticking tells only the
// rows whose tick changed; a new scan, a filter or a move to the Trash lays
// the rows out anew.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <QDateTime>
#include <vector>

#include "file_node.h"

namespace tidewell {

class AppModel;

class DownloadsModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the AppModel owns its list models")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // When the rows were last listed: the "now" their ages are measured from.
    Q_PROPERTY(QDateTime listedAt READ listedAt NOTIFY listedAtChanged)

  public:
    enum Role {
        NodeRole = Qt::UserRole + 1,  // NodeValue
        NameRole,
        SizeRole,
        IsDirectoryRole,
        SelectedRole,
        DateRole,  // last modification (whole seconds), or nothing when unknown
        OldRole,   // more than 30 days old at listedAt
    };
    Q_ENUM(Role)

    explicit DownloadsModel(AppModel& app);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(rows_.size()); }
    QDateTime listedAt() const { return QDateTime::fromSecsSinceEpoch(now_); }

  signals:
    void countChanged();
    void listedAtChanged();

  private:
    void reset();
    void selectionChanged();

    AppModel& app_;
    NodeRef tree_;  // keeps the rows alive
    std::vector<FileNode*> rows_;
    std::vector<bool> selected_;  // per row, as last told
    qint64 now_ = 0;              // seconds since the epoch
};

}  // namespace tidewell
