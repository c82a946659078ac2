// The last smart-cleanup result as rows for QML: one row per category,
// largest total first, each with a list model of its listed items. A basket
// change tells only the items whose marks changed and the categories whose
// "every item covered" flag changed; a new result lays everything out anew.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <memory>
#include <unordered_set>
#include <vector>

#include "basket_marks.h"
#include "cleanup_item.h"

namespace tidewell {

class AppModel;

// The listed items of one category, largest first, with their basket marks.
class CleanupItemsModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by SmartCleanupModel")
    Q_PROPERTY(int count READ count CONSTANT)

  public:
    enum Role {
        NodeRole = Qt::UserRole + 1,  // NodeValue
        NameRole,
        PathRole,  // as found by the analysis
        SizeRole,
        InBasketRole,
        CoveredRole,
    };
    Q_ENUM(Role)

    CleanupItemsModel(std::vector<CleanupItem> items,
                      const std::unordered_set<const FileNode*>& basket, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(items_.size()); }

    // Takes the new basket; tells the rows whose marks changed. True when
    // every item is covered afterwards.
    bool setBasket(const std::unordered_set<const FileNode*>& basket);
    bool allCovered() const;

  private:
    std::vector<CleanupItem> items_;
    std::vector<BasketMarks> marks_;
};

class SmartCleanupModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the AppModel owns its list models")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // A result exists (possibly empty); false before the first and while one is computed.
    Q_PROPERTY(bool hasResults READ hasResults NOTIFY hasResultsChanged)

  public:
    enum Role {
        KeyRole = Qt::UserRole + 1,
        TitleRole,
        SubtitleRole,
        IconRole,
        TotalSizeRole,
        TotalCountRole,
        HiddenCountRole,  // items found beyond those listed
        AllCoveredRole,   // every listed item is in the basket or under a folder in it
        ItemsRole,        // CleanupItemsModel*
        ResultIndexRole,  // index into the model's smartResults, for addCategoryToBasket
    };
    Q_ENUM(Role)

    explicit SmartCleanupModel(AppModel& app);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(rows_.size()); }
    bool hasResults() const { return hasResults_; }

  signals:
    void countChanged();
    void hasResultsChanged();

  private:
    struct Row {
        const CleanupCategoryResult* result = nullptr;
        std::unique_ptr<CleanupItemsModel> items;
        bool allCovered = false;
    };
    void reset();
    void basketChanged();

    AppModel& app_;
    std::vector<Row> rows_;
    bool hasResults_ = false;
};

}  // namespace tidewell
