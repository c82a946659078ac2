// AppModel: the smart-cleanup and top-files analyses and when they run.
#include <QPointer>

#include "app_model.h"
#include "pool_call.h"
#include "smart_cleanup.h"
#include "top_files.h"
#include "trasher.h"

namespace tidewell {

namespace {
constexpr std::size_t kTopFilesLimit = 100;
}

void AppModel::openSmartCleanup() {
    if (isDeleting_) return;
    setShowSmartCleanup(true);
    if (smartResultsVersion_ != treeVersion_) analyzeSmart();
}

// Never while a deletion run edits the tree: the analysis reads it on another thread.
void AppModel::analyzeSmart() {
    if (!root_ || isDeleting_) return;
    assign(isAnalyzingSmart_, true, &AppModel::isAnalyzingSmartChanged);
    smartResults_.reset();
    emit smartResultsChanged();
    assign(smartResultsVersion_, treeVersion_, &AppModel::smartResultsVersionChanged);
    QPointer<AppModel> self(this);
    NodeRef root = root_;
    analysisPool_.start([self, root] {
        auto results = SmartCleanup::analyze(
            *root, [](std::string_view path) { return Trasher::canDelete(path); });
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, root, results = std::move(results)]() mutable {
                // A result for a tree no longer shown is dropped.
                if (!self || self->root_ != root) return;
                self->smartResults_ = std::move(results);
                emit self->smartResultsChanged();
                self->assign(self->isAnalyzingSmart_, false, &AppModel::isAnalyzingSmartChanged);
            },
            Qt::QueuedConnection);
    });
}

void AppModel::openTopFiles() {
    if (isDeleting_) return;
    setShowTopFiles(true);
    if (topFilesVersion_ != treeVersion_) analyzeTopFiles();
}

void AppModel::analyzeTopFiles() {
    if (!root_ || isDeleting_) return;
    assign(isAnalyzingTop_, true, &AppModel::isAnalyzingTopChanged);
    topFiles_.reset();
    emit topFilesChanged();
    assign(topFilesVersion_, treeVersion_, &AppModel::topFilesVersionChanged);
    QPointer<AppModel> self(this);
    NodeRef root = root_;
    analysisPool_.start([self, root] {
        auto files = computeTopFiles(*root, kTopFilesLimit);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, root, files = std::move(files)]() mutable {
                if (!self || self->root_ != root) return;
                self->topFiles_ = std::move(files);
                emit self->topFilesChanged();
                self->assign(self->isAnalyzingTop_, false, &AppModel::isAnalyzingTopChanged);
            },
            Qt::QueuedConnection);
    });
}

QVariant AppModel::smartResultsValue() const {
    if (!smartResults_) return {};
    QVariantList out;
    for (const CleanupCategoryResult& r : *smartResults_) {
        QVariantList items;
        for (const CleanupItem& i : r.items)
            items.push_back(QVariant::fromValue(NodeValue(i.node)));
        out.push_back(QVariantMap{{"key", QString::fromStdString(r.key)},
                                  {"title", QString::fromStdString(r.title)},
                                  {"subtitle", QString::fromStdString(r.subtitle)},
                                  {"icon", QString::fromStdString(r.icon)},
                                  {"items", items},
                                  {"totalSize", static_cast<qint64>(r.totalSize)},
                                  {"totalCount", static_cast<qint64>(r.totalCount)}});
    }
    return out;
}

QVariant AppModel::topFilesValue() const {
    if (!topFiles_) return {};
    QVariantList out;
    for (const CleanupItem& i : *topFiles_) out.push_back(QVariant::fromValue(NodeValue(i.node)));
    return out;
}

}  // namespace tidewell
