// A tree node as QML sees it: a small value that keeps the tree alive and
// compares by the node's identity. It carries no number that could stand for
// the node: QML compares two of them with sameNode(), and every operation
// that takes one checks it against the live tree first (the node may have
// been deleted, or belong to a tree no longer shown).
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QMetaType>
#include <QString>

#include "display_text.h"
#include "file_node.h"

namespace tidewell {

class NodeValue {
    Q_GADGET
    QML_VALUE_TYPE(node)
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(double size READ size CONSTANT)
    Q_PROPERTY(bool isDirectory READ isDirectory CONSTANT)
    Q_PROPERTY(QString path READ path CONSTANT)
    Q_PROPERTY(bool hasChildren READ hasChildren CONSTANT)
    Q_PROPERTY(double childCount READ childCount CONSTANT)
    Q_PROPERTY(bool isValid READ isValid CONSTANT)

  public:
    NodeValue() = default;
    explicit NodeValue(NodeRef ref) : ref_(std::move(ref)) {}
    explicit NodeValue(FileNode* node) : ref_(node) {}

    // Shown names: raw bytes decoded with repair.
    QString name() const { return ref_ ? fromBytes(ref_->name()) : QString(); }
    qint64 size() const { return ref_ ? ref_->size() : 0; }
    bool isDirectory() const { return ref_ && ref_->isDirectory(); }
    QString path() const { return ref_ ? fromBytes(ref_->path()) : QString(); }
    bool hasChildren() const { return ref_ && ref_->childCount() > 0; }
    qint64 childCount() const { return ref_ ? static_cast<qint64>(ref_->childCount()) : 0; }
    bool isValid() const { return static_cast<bool>(ref_); }
    // The same node (identity, not path: two nodes of one name differ).
    Q_INVOKABLE bool sameNode(const tidewell::NodeValue& other) const { return ref_ == other.ref_; }

    FileNode* node() const { return ref_.get(); }
    const NodeRef& ref() const { return ref_; }
    friend bool operator==(const NodeValue& a, const NodeValue& b) { return a.ref_ == b.ref_; }

  private:
    static QString fromBytes(std::string_view bytes) {
        return QString::fromStdString(repairUtf8(bytes));
    }
    NodeRef ref_;
};

}  // namespace tidewell

Q_DECLARE_METATYPE(tidewell::NodeValue)
