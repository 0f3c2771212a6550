#include "trees/TreeBuilder.h"
#include "core/QuelmarError.h"

#include <algorithm>

namespace {

const QString parentColumn = QStringLiteral("P_ItemID");

void buildLevel(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent, int parentKey,
                const RefreshCallback& refresh)
{
    if (rows.isFiltered())
        rows.setFiltered(false);
    rows.setFilter(parentColumn, parentKey);
    rows.setFiltered(true);
    QList<RowSet::RowId> level = rows.rows();
    if (level.isEmpty()) {
        rows.setFiltered(false);
        return;
    }
    // The fetch order already is sibling order; rows appended to the copy since are put in place too.
    std::stable_sort(level.begin(), level.end(), [&rows](RowSet::RowId a, RowSet::RowId b) {
        return rows.value(a, QStringLiteral("iPartIndex")).toInt() < rows.value(b, QStringLiteral("iPartIndex")).toInt();
    });
    QList<int> added;
    for (RowSet::RowId id : std::as_const(level)) {
        const NodeRecord rec = NodeRecord::fromRow(rows, id);
        if (tree.indexOfItem(rec.ItemID).isValid())
            continue;   // already shown: a duplicate or a row that would close a cycle
        tree.addNode(parent, rec);
        added << rec.ItemID;
        if (refresh)
            refresh();
    }
    for (int itemId : std::as_const(added))
        buildLevel(tree, rows, tree.indexOfItem(itemId), itemId, refresh);
    rows.setFiltered(false);
}

QModelIndex findRecycle(const LibraryTreeModel& tree, const QString& failure)
{
    const QModelIndex root = tree.index(0, 0);
    if (root.isValid()) {
        for (int r = 0; r < tree.rowCount(root); ++r) {
            const QModelIndex child = tree.index(r, 0, root);
            if (child.data(LibraryTreeModel::ItemIdRole).toInt() == NodeKinds::RecycleBinItemID)
                return child;
        }
    }
    throw QuelmarError(failure);
}

} // namespace

void BuildTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent, int parentKey,
               const RefreshCallback& refresh)
{
    buildLevel(tree, rows, parent, parentKey, refresh);
    rows.setFiltered(false);
}

void BuildMobanTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent, const RefreshCallback& refresh,
                    int parentKey)
{
    BuildTree(tree, rows, parent, parentKey, refresh);
}

void BuildZiLiaoTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent, const RefreshCallback& refresh,
                     int parentKey)
{
    BuildTree(tree, rows, parent, parentKey, refresh);
}

void BuildGuiDangTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent,
                      const RefreshCallback& refresh, int parentKey)
{
    BuildTree(tree, rows, parent, parentKey, refresh);
}

QModelIndex FindMobanRecycleNode(const LibraryTreeModel& tree)
{
    return findRecycle(tree, QStringLiteral("没有找到模板库的回收站点！"));
}

QModelIndex FindZiLiaoRecycleNode(const LibraryTreeModel& tree)
{
    return findRecycle(tree, QStringLiteral("没有找到资料库的回收站点！"));
}

QModelIndex FindRecycleNode(const LibraryTreeModel& tree)
{
    return tree.library() == Library::Moban ? FindMobanRecycleNode(tree) : FindZiLiaoRecycleNode(tree);
}
