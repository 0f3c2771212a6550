// Move up and down among the siblings.
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "trees/NodeOps.h"
#include "trees/PendingChangesGuard.h"
#include "store/WriteUnit.h"

QModelIndex NodeOps::MoveUp(const QModelIndex& node)
{
    const NodeRecord rec = m_ctx.data.tree.record(node);
    if (!RecycleGuard(node))
        return {};
    CheckNodeKind(library(), rec.TypeID);
    if (m_ctx.data.tree.level(node) == 0 || node.row() == 0)
        return node;
    return moveAndRenumber(node, node.row() - 1);
}

QModelIndex NodeOps::MoveDown(const QModelIndex& node)
{
    const LibraryTreeModel& tree = m_ctx.data.tree;
    const NodeRecord rec = tree.record(node);
    if (!RecycleGuard(node))
        return {};
    CheckNodeKind(library(), rec.TypeID);
    if (tree.level(node) == 0)
        return node;
    const QModelIndex parent = node.parent();
    const int count = tree.rowCount(parent);
    const int row = node.row();
    if (row + 1 >= count)
        return node;
    // Nothing passes the recycle bin, the root's last child.
    const QModelIndex next = tree.index(row + 1, 0, parent);
    if (LibraryHasRecycleBin(library()) && tree.level(node) == 1
        && next.data(LibraryTreeModel::TypeIdRole).toInt() == NodeKinds::RecycleBin)
        return node;
    return moveAndRenumber(node, row + 2 < count ? row + 2 : -1);
}

// Moves the node before `beforeRow` of its own siblings (-1: to the end) and rewrites every sibling's iPartIndex
// to its place, closing any gaps. When writing fails the node goes back to its place.
QModelIndex NodeOps::moveAndRenumber(const QModelIndex& node, int beforeRow)
{
    LibraryData& data = m_ctx.data;
    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm);
    unit.track(data.rows);
    const QPersistentModelIndex parent = node.parent();
    const int oldRow = node.row();
    const QPersistentModelIndex moved = data.tree.moveNode(node, parent, beforeRow);
    unit.onRollback([&data, moved, parent, oldRow] {
        // Back before the sibling that now stands at its old place (moving down, that is one further on).
        const int before = moved.row() < oldRow ? oldRow + 1 : oldRow;
        data.tree.moveNode(moved, parent, before < data.tree.rowCount(parent) ? before : -1);
    });
    if (!RenumberSiblings(data, parent, 0, QStringLiteral("节点信息不在数据容器中。")))
        throw QuelmarError(QStringLiteral("节点位置变化没有映射到数据容器中。"));
    applyUpdates();
    unit.commit();
    return moved;
}
