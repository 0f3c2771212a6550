#pragma once
#include "trees/LibraryTreeModel.h"

#include <QSet>

// A library tree with a tick on every node, shown and changed through Qt::CheckStateRole (a QTreeView's check
// boxes). Ticking a node ticks its ancestors and its whole subtree; unticking it unticks its subtree. The ticked set
// therefore always holds the ancestors of every ticked node.
class CheckableTreeModel : public LibraryTreeModel {
    Q_OBJECT
public:
    using LibraryTreeModel::LibraryTreeModel;

    bool isChecked(const QModelIndex& node) const;
    // A click on the node's check box.
    void setChecked(const QModelIndex& node, bool checked);
    int checkedCount() const { return int(m_checked.size()); }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The ticks changed.
    void checksChanged();

protected:
    // Every node ticked (after the tree was built), the top-level nodes repainted.
    void checkAll();
    void clearChecks() { m_checked.clear(); }

private:
    void mark(const QModelIndex& node, bool checked);
    void markSubtree(const QModelIndex& node, bool checked);

    QSet<int> m_checked;   // ItemIDs
};
