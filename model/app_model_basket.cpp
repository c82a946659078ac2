// AppModel: moving through the tree, the basket, and the deletion run.
#include <QPointer>
#include <unordered_set>

#include "app_model.h"
#include "pool_call.h"
#include "trasher.h"

namespace tidewell {

namespace {

// Every step from `node` up is listed among its parent's children, ending at `root`.
bool isAttachedTo(const FileNode* node, const FileNode* root) {
    if (root == nullptr || node == nullptr) return false;
    const FileNode* n = node;
    while (n->parent() != nullptr) {
        const FileNode* p = n->parent();
        bool listed = false;
        for (const FileNode* c : p->children())
            if (c == n) {
                listed = true;
                break;
            }
        if (!listed) return false;
        n = p;
    }
    return n == root;
}

}  // namespace

FileNode* AppModel::hoveredNode() const {
    // A node's parent link is cleared when it leaves its folder, so the link
    // alone says whether it is a child of the focus.
    FileNode* f = focus();
    return hovered_ && f != nullptr && hovered_->parent() == f ? hovered_.get() : nullptr;
}

bool AppModel::isInBasket(const FileNode* node) const {
    return std::any_of(basket_.begin(), basket_.end(),
                       [node](const NodeRef& n) { return n.get() == node; });
}

bool AppModel::canDelete(FileNode* node) {
    // A detached node's path names whatever now lies there, not the node.
    if (!isAttached(node) && !isAttachedTo(node, downloadsTree_.get())) return false;
    if (auto it = deletableCache_.find(node); it != deletableCache_.end()) return it->second;
    const bool answer = node != root_.get() && Trasher::canDelete(node->path());
    deletableCache_.emplace(node, answer);
    return answer;
}

void AppModel::goUp() {
    if (path_.size() <= 1) return;
    QList<NodeRef> shorter = path_;
    shorter.removeLast();
    setPath(std::move(shorter));
    setHovered(nullptr);
}

void AppModel::toggleBasket(FileNode* node) {
    if (node == nullptr || node == root_.get()) return;
    for (qsizetype i = 0; i < basket_.size(); ++i) {
        if (basket_[i].get() == node) {
            QList<NodeRef> fewer = basket_;
            fewer.removeAt(i);
            setBasket(std::move(fewer));
            return;
        }
    }
    if (!isAttached(node)) return;
    if (canDelete(node)) {
        QList<NodeRef> more = basket_;
        more.push_back(NodeRef(node));
        setBasket(std::move(more));
        return;
    }
    setErrorMessage(QStringLiteral("“") + QString::fromStdString(std::string(node->name())) +
                    QStringLiteral("” sistemin ya da başka bir kullanıcının: Tidewell yönetici "
                                   "parolası istemediği için bu öğeyi silemez. Boyutu haritada "
                                   "görünmeye devam eder."));
}

void AppModel::toggleBasket(const NodeValue& value) {
    if (FileNode* node = value.node(); isAttached(node)) toggleBasket(node);
}

bool AppModel::isInBasket(const NodeValue& value) const {
    return isAttached(value.node()) && isInBasket(value.node());
}

void AppModel::removeFromBasket(const NodeValue& value) {
    const FileNode* node = value.node();
    if (!isAttached(node)) return;
    QList<NodeRef> fewer = basket_;
    fewer.removeIf([node](const NodeRef& n) { return n.get() == node; });
    setBasket(std::move(fewer));
}

void AppModel::jumpTo(const NodeValue& value) {
    FileNode* node = value.node();
    if (!isAttached(node)) return;
    QList<NodeRef> chain;
    for (FileNode* n = node; n != nullptr; n = n->parent()) chain.prepend(NodeRef(n));
    setPath(std::move(chain));
    setHovered(nullptr);
}

bool AppModel::isAttached(const FileNode* node) const {
    return isAttachedTo(node, root_.get());
}

void AppModel::addCategoryToBasket(const CleanupCategoryResult& category) {
    if (!root_) return;
    QList<NodeRef> basket = basket_;
    for (const CleanupItem& item : category.items) {
        FileNode* n = item.node.get();
        if (!isAttached(n)) continue;
        std::unordered_set<const FileNode*> ids;
        for (const NodeRef& b : basket) ids.insert(b.get());
        if (ids.contains(n)) continue;
        bool ancestorIn = false;
        for (const FileNode* a = n->parent(); a != nullptr && !ancestorIn; a = a->parent())
            ancestorIn = ids.contains(a);
        if (ancestorIn) continue;
        basket.push_back(item.node);
    }
    setBasket(std::move(basket));
}

void AppModel::addCategoryToBasket(int index) {
    if (smartResults_ && index >= 0 && static_cast<std::size_t>(index) < smartResults_->size())
        addCategoryToBasket((*smartResults_)[static_cast<std::size_t>(index)]);
}

void AppModel::requestDelete() {
    if (!basket_.isEmpty()) setShowDeleteConfirm(true);
}

void AppModel::deleteBasket(bool permanently) {
    deletionRun(permanently);
}

QCoro::Task<> AppModel::deletionRun(bool permanently) {
    QPointer<AppModel> self(this);
    setShowDeleteConfirm(false);
    if (basket_.isEmpty() || !root_) {
        emit deletionFinished();
        co_return;
    }
    // From here on no analysis starts (isDeleting); those already reading the
    // tree, and a cache save being written, finish before it is edited.
    setIsDeleting(true);
    QThreadPool* saves = &savePool_;
    QThreadPool* analyses = &analysisPool_;
    PoolCall settling(deletePool_, [saves, analyses] {
        saves->waitForDone();
        analyses->waitForDone();
        return true;
    });
    co_await settling;
    if (!self) co_return;

    std::unordered_set<const FileNode*> ids;
    for (const NodeRef& b : basket_) ids.insert(b.get());
    std::vector<NodeRef> targets;
    for (const NodeRef& b : basket_) {
        bool ancestorIn = false;
        for (const FileNode* a = b->parent(); a != nullptr && !ancestorIn; a = a->parent())
            ancestorIn = ids.contains(a);
        if (!ancestorIn) targets.push_back(b);
    }

    qint64 total = 0;
    QStringList failures;
    for (const NodeRef& target : targets) {
        // A node no longer in the shown tree is not what the user picked.
        if (!isAttached(target.get())) continue;
        const std::int64_t size = target->size();
        const std::string path = target->path();
        PoolCall deleting(deletePool_, [path, permanently] {
            return permanently ? Trasher::deletePermanently(path) : Trasher::moveToTrash(path);
        });
        const std::optional<Trasher::TrashError> error = co_await deleting;
        if (!self) co_return;
        if (error) {
            failures.push_back(QString::fromStdString(error->description()));
            continue;
        }
        target->removeFromParent();
        total += size;
    }

    QList<NodeRef> remaining;
    for (const NodeRef& b : basket_)
        if (isAttached(b.get())) remaining.push_back(b);
    setBasket(std::move(remaining));
    setFreed(freed_ + total);
    if (volumeFree_)
        assign(volumeFree_, std::optional<qint64>(*volumeFree_ + total),
               &AppModel::volumeFreeChanged);
    setTreeVersion(treeVersion_ + 1);
    QList<NodeRef> still;
    for (const NodeRef& n : path_)
        if (isAttached(n.get())) still.push_back(n);
    if (still.isEmpty()) still.push_back(root_);
    setPath(std::move(still));
    setHovered(nullptr);
    if (!failures.isEmpty()) setErrorMessage(failures.join(QLatin1Char('\n')));
    if (scannedRootPath_ && cacheEventId_)
        scheduleCacheSave(root_, *scannedRootPath_, *cacheEventId_);
    setIsDeleting(false);
    emit deletionFinished();
}

void AppModel::setTreeVersion(qint64 v) {
    assign(treeVersion_, v, &AppModel::treeVersionChanged);
}

void AppModel::setIsDeleting(bool v) {
    assign(isDeleting_, v, &AppModel::isDeletingChanged);
}

}  // namespace tidewell
