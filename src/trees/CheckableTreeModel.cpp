#include "trees/CheckableTreeModel.h"

bool CheckableTreeModel::isChecked(const QModelIndex& node) const
{
    return node.isValid() && m_checked.contains(node.data(ItemIdRole).toInt());
}

void CheckableTreeModel::setChecked(const QModelIndex& node, bool checked)
{
    if (!node.isValid())
        return;
    if (checked)
        for (QModelIndex p = node.parent(); p.isValid(); p = p.parent())
            mark(p, true);
    markSubtree(node, checked);
    emit checksChanged();
}

void CheckableTreeModel::checkAll()
{
    forEachPreOrder([this](const QModelIndex& n, int) { m_checked.insert(n.data(ItemIdRole).toInt()); });
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    emit checksChanged();
}

void CheckableTreeModel::mark(const QModelIndex& node, bool checked)
{
    const int id = node.data(ItemIdRole).toInt();
    if (m_checked.contains(id) == checked)
        return;
    if (checked)
        m_checked.insert(id);
    else
        m_checked.remove(id);
    emit dataChanged(node, node, {Qt::CheckStateRole});
}

void CheckableTreeModel::markSubtree(const QModelIndex& node, bool checked)
{
    mark(node, checked);
    for (int r = 0; r < rowCount(node); ++r)
        markSubtree(index(r, 0, node), checked);
}

QVariant CheckableTreeModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::CheckStateRole)
        return index.isValid() ? QVariant(isChecked(index) ? Qt::Checked : Qt::Unchecked) : QVariant();
    return LibraryTreeModel::data(index, role);
}

bool CheckableTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid())
        return false;
    setChecked(index, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags CheckableTreeModel::flags(const QModelIndex& index) const
{
    return LibraryTreeModel::flags(index) | Qt::ItemIsUserCheckable;
}
