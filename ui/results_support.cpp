#include "results_support.h"

#include <QVariantMap>
#include <algorithm>

#include "results_text.h"
#include "reveal.h"
#include "size_format.h"

namespace tidewell {

namespace {

std::optional<std::int64_t> optionalBytes(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok) return std::nullopt;
    return static_cast<std::int64_t>(d);
}

NodeValue nodeAt(const QVariantList& path, int i) {
    return path.at(i).value<NodeValue>();
}

}  // namespace

QString ResultsSupport::size(double bytes) const {
    return QString::fromStdString(formatBytes(static_cast<std::int64_t>(bytes)));
}

QString ResultsSupport::nodeSize(const NodeValue& node, double /*treeVersion*/) const {
    return QString::fromStdString(formatBytes(node.size()));
}

QVariantList ResultsSupport::breadcrumb(const QVariantList& path) const {
    QVariantList out;
    const int n = static_cast<int>(path.size());
    for (const int i : breadcrumbEntries(n)) {
        QVariantMap item;
        item[QStringLiteral("gap")] = i == kBreadcrumbGap;
        if (i != kBreadcrumbGap) {
            item[QStringLiteral("node")] = path.at(i);
            item[QStringLiteral("last")] = i == n - 1;
        }
        out.push_back(item);
    }
    return out;
}

QVariantList ResultsSupport::backChips(const QVariantList& path) const {
    QVariantList out;
    for (const int i : backChipEntries(static_cast<int>(path.size()))) out.push_back(path.at(i));
    return out;
}

QString ResultsSupport::backTitle(const QVariantList& path) const {
    if (path.size() < 2) return QStringLiteral("Yeni Tarama");
    return nodeAt(path, static_cast<int>(path.size()) - 2).name();
}

QString ResultsSupport::backTooltip(const QVariantList& path) const {
    if (path.size() < 2) return QStringLiteral("Yeni tarama");
    return backToFolderTooltip(nodeAt(path, static_cast<int>(path.size()) - 2).name());
}

QString ResultsSupport::folderTooltip(const QString& name) const {
    return backToFolderTooltip(name);
}

QString ResultsSupport::usageLine(const NodeValue& root, const QVariant& volumeFree,
                                  double /*treeVersion*/) const {
    return diskUsageLine(root.size(), optionalBytes(volumeFree), localeDecimalSeparator());
}

QString ResultsSupport::freedLine(double freed) const {
    return tidewell::freedLine(static_cast<std::int64_t>(freed), localeDecimalSeparator());
}

double ResultsSupport::usageFraction(const QVariant& volumeTotal,
                                     const QVariant& volumeFree) const {
    return tidewell::usageFraction(optionalBytes(volumeTotal), optionalBytes(volumeFree))
        .value_or(-1.0);
}

QString ResultsSupport::deleteTitle(double count, double totalBytes) const {
    return deleteConfirmTitle(static_cast<std::int64_t>(count),
                              static_cast<std::int64_t>(totalBytes), localeDecimalSeparator());
}

int ResultsSupport::hoveredRow(AppModel* model) const {
    if (model == nullptr) return -1;
    const FileNode* hovered = model->hoveredNode();
    const FileNode* focus = model->focus();
    if (hovered == nullptr || focus == nullptr) return -1;
    for (std::size_t i = 0; i < focus->childCount(); ++i)
        if (focus->child(i) == hovered) return static_cast<int>(i);
    return -1;
}

int ResultsSupport::stepHover(AppModel* model, int delta) const {
    if (model == nullptr || model->focus() == nullptr) return -1;
    const FileNode* focus = model->focus();
    const int n = static_cast<int>(focus->childCount());
    if (n == 0 || delta == 0) return hoveredRow(model);
    const int current = hoveredRow(model);
    int next = 0;
    if (current < 0)
        next = delta > 0 ? 0 : n - 1;
    else
        next = std::clamp(current + delta, 0, n - 1);
    model->setHovered(focus->child(static_cast<std::size_t>(next)));
    return next;
}

bool ResultsSupport::enterHovered(AppModel* model) const {
    if (model == nullptr) return false;
    FileNode* node = model->hoveredNode();
    if (node == nullptr || node->childCount() == 0) return false;
    model->jumpTo(NodeValue(node));
    return true;
}

bool ResultsSupport::previewHovered(AppModel* model) const {
    if (model == nullptr) return false;
    const NodeValue node(model->hoveredNode());
    if (!node.isValid()) return false;
    model->setQuickLookURL(nodeFileUrl(node.path(), node.isDirectory()));
    return true;
}

bool ResultsSupport::toggleHovered(AppModel* model) const {
    if (model == nullptr) return false;
    FileNode* node = model->hoveredNode();
    if (node == nullptr) return false;
    model->toggleBasket(node);
    return true;
}

}  // namespace tidewell
