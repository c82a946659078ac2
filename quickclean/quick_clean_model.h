// The model behind the quick-clean panel: one row per well-known cache folder
// that exists, its measured size, and emptying it through the Trasher's
// safety rules. Lives on the main thread; measuring and removing run on the
// model's own pool and their results are applied back here.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <qcoro/qcorotask.h>

#include "platform_info.h"
#include "quick_clean_target.h"

namespace tidewell {

class QuickCleanModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the panel's one model is made in C++")
    Q_PROPERTY(QVariantList rows READ rowValues NOTIFY rowsChanged)
    Q_PROPERTY(bool hasAccess READ hasAccess NOTIFY hasAccessChanged)
    Q_PROPERTY(QVariant lastRefresh READ lastRefreshValue NOTIFY lastRefreshChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)

  public:
    struct Row {
        QuickCleanTarget target;
        std::optional<qint64> bytes;  // allocated; absent before a measurement or when it failed
        bool isMeasuring = false;
        bool isCleaning = false;
        std::optional<QString> errorText;  // outcome of the last emptying
        bool operator==(const Row&) const = default;
    };
    using Clock = std::function<QDateTime()>;

    // Sizes are measured again on appear() only after this long.
    static constexpr qint64 kRefreshIntervalSeconds = 180;

    explicit QuickCleanModel(QString home = realHomeDirectory(),
                             Clock clock = &QDateTime::currentDateTimeUtc,
                             QObject* parent = nullptr);
    ~QuickCleanModel() override;
    QuickCleanModel(const QuickCleanModel&) = delete;
    QuickCleanModel& operator=(const QuickCleanModel&) = delete;

    const std::vector<Row>& rows() const { return rows_; }
    bool hasAccess() const { return hasAccess_; }
    const std::optional<QDateTime>& lastRefresh() const { return lastRefresh_; }
    bool isRefreshing() const { return static_cast<bool>(refreshRun_); }
    const QString& home() const { return home_; }
    // The absolute folder of the target with this relative path; for the
    // Trash row, the files folder of the Trash that deletions fill.
    QString folderOf(const QString& relativePath) const;

    Q_INVOKABLE void ensureAccess();
    Q_INVOKABLE void rebuildRows();
    // Each time the panel is shown.
    Q_INVOKABLE void appear();
    // Measures every row now; nothing while a measurement runs or without access.
    Q_INVOKABLE void refresh();
    // Empties the folder of the target with this relative path.
    Q_INVOKABLE void clean(const QString& relativePath);
    void clean(const QuickCleanTarget& target) { clean(target.relativePath); }
    // Sets the row's size as a finished measurement would: for showing the
    // panel in a known state (screenshots, tests).
    void setMeasured(const QString& relativePath, std::optional<qint64> bytes);

  signals:
    void rowsChanged();
    void hasAccessChanged();
    void lastRefreshChanged();
    void isRefreshingChanged();
    void cleanFinished(const QString& relativePath);

  private:
    struct RefreshRun;

    QCoro::Task<> refreshTask(std::shared_ptr<RefreshRun> run);
    QCoro::Task<> cleanTask(QuickCleanTarget target);
    Row* findRow(const QString& relativePath);
    void setHasAccess(bool v);

    QVariantList rowValues() const;
    QVariant lastRefreshValue() const;

    QString home_;
    Clock clock_;
    std::vector<Row> rows_;
    bool hasAccess_ = false;
    std::optional<QDateTime> lastRefresh_;
    std::shared_ptr<RefreshRun> refreshRun_;
    QThreadPool pool_;
};

}  // namespace tidewell
