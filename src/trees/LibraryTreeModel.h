#pragma once
#include "trees/NodeKinds.h"
#include "trees/NodeRecord.h"

#include <QAbstractItemModel>
#include <QHash>

#include <functional>
#include <memory>
#include <vector>

// The tree of one library: every node owns its NodeRecord (freed with the node, also when the tree is cleared).
// One column; Qt::DisplayRole / EditRole give the name, the roles below the rest. A QTreeView shows it as it is;
// the node operations change it only through addNode / removeNode / setRecord / moveNode, each after the row was
// written to the RowSet and the database, so the tree, the cached copy and the database stay in step.
class LibraryTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        IconIndexRole = Qt::UserRole + 1,   // int: index into the shared icon list, -1 for none
        ItemIdRole,
        TypeIdRole,
        RecordRole,                         // QVariant holding the NodeRecord
    };

    explicit LibraryTreeModel(Library library, QObject* parent = nullptr);
    ~LibraryTreeModel() override;

    Library library() const { return m_library; }

    // --- QAbstractItemModel ---
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // --- nodes ---
    void clear();
    // Adds a node with a copy of `record` under `parent` (invalid: top level), before row `beforeRow` or last when
    // it is -1. A second node with the same ItemID fails.
    QModelIndex addNode(const QModelIndex& parent, const NodeRecord& record, int beforeRow = -1);
    // Removes the node with its whole subtree.
    void removeNode(const QModelIndex& index);
    // Replaces the node's record (and so its text and icon). The ItemID may change only to a free one.
    void setRecord(const QModelIndex& index, const NodeRecord& record);
    void rename(const QModelIndex& index, const QString& name);
    // Moves the node with its subtree under `newParent` before `beforeRow` (-1: last). Returns its new index.
    QModelIndex moveNode(const QModelIndex& index, const QModelIndex& newParent, int beforeRow = -1);

    NodeRecord record(const QModelIndex& index) const;
    // The node whose ItemID is `itemId`, or an invalid index.
    QModelIndex indexOfItem(int itemId) const;
    int iconIndex(const QModelIndex& index) const;
    // Depth of a node: 0 for a top-level node.
    int level(const QModelIndex& index) const;
    // Every node in pre-order with its level.
    void forEachPreOrder(const std::function<void(const QModelIndex&, int level)>& visit) const;
    int nodeCount() const { return int(m_byItemId.size()); }

private:
    struct Node {
        NodeRecord record;
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
        int row() const;
    };

    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    void forget(const Node* node);
    void binChanged(const Node* parent);

    Library m_library;
    Node m_root;   // invisible; its children are the top-level nodes
    QHash<int, Node*> m_byItemId;
};
