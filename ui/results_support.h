// What the results screen's QML needs from C++ (`Results` in QML): sizes as
// text, the breadcrumb and back chips of a path, the disk usage lines, the
// confirmation title, and the keyboard's moves over the focused folder's
// children. Stateless: every answer follows from the arguments.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QVariant>

#include "app_model.h"
#include "node_value.h"

namespace tidewell {

class ResultsSupport : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Results)
    QML_SINGLETON

  public:
    explicit ResultsSupport(QObject* parent = nullptr) : QObject(parent) {}

    // A byte count in the size format, with the user's decimal separator.
    Q_INVOKABLE QString size(double bytes) const;
    // A node's size; deletions change it in place, so views pass the tree's
    // version to be asked again when it moves on.
    Q_INVOKABLE QString nodeSize(const tidewell::NodeValue& node, double treeVersion) const;

    // The breadcrumb of a path: {gap: true} or {gap: false, node, last}.
    Q_INVOKABLE QVariantList breadcrumb(const QVariantList& path) const;
    // The quick-back chips' nodes, nearest first.
    Q_INVOKABLE QVariantList backChips(const QVariantList& path) const;
    Q_INVOKABLE QString backTitle(const QVariantList& path) const;
    Q_INVOKABLE QString backTooltip(const QVariantList& path) const;
    Q_INVOKABLE QString folderTooltip(const QString& name) const;

    Q_INVOKABLE QString usageLine(const tidewell::NodeValue& root, const QVariant& volumeFree,
                                  double treeVersion) const;
    Q_INVOKABLE QString freedLine(double freed) const;
    // The used share of the volume, or -1 when no bar is drawn.
    Q_INVOKABLE double usageFraction(const QVariant& volumeTotal, const QVariant& volumeFree) const;
    Q_INVOKABLE QString deleteTitle(double count, double totalBytes) const;

    // The keyboard over the folder list. The highlighted row is the model's
    // hovered node when it is a child of the focus, so the map shows it too.
    // Row of the hovered child, or -1.
    Q_INVOKABLE int hoveredRow(tidewell::AppModel* model) const;
    // Moves the highlight `delta` rows (stopping at the ends; from none, down
    // starts at the first row and up at the last) and returns its row.
    Q_INVOKABLE int stepHover(tidewell::AppModel* model, int delta) const;
    // Walks into the hovered child when it has children.
    Q_INVOKABLE bool enterHovered(tidewell::AppModel* model) const;
    // Opens the preview of the hovered child; false when none is hovered.
    Q_INVOKABLE bool previewHovered(tidewell::AppModel* model) const;
    // Puts the hovered child in the basket or takes it out (refusals go
    // through the model's message); false when none is hovered.
    Q_INVOKABLE bool toggleHovered(tidewell::AppModel* model) const;
};

}  // namespace tidewell
