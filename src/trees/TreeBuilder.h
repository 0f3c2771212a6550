#pragma once
#include "store/RowSet.h"
#include "trees/LibraryTreeModel.h"

#include <functional>

// Called after each node is added while a tree is built (the GUI repaints its splash or main window there).
using RefreshCallback = std::function<void()>;

// Adds under `parent` (invalid: top level) the subtree of the rows whose P_ItemID equals `parentKey`, level by
// level: the children of a node come in iPartIndex order, then each child's own children are built. Rows whose
// parent chain does not reach `parentKey` are never shown, and a row whose ItemID is already in the tree is left
// out. The cached copy's filter is used and switched off again. Called with no parent and parent key -1 on a
// cleared tree for a full build.
void BuildTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent, int parentKey,
               const RefreshCallback& refresh = {});
void BuildMobanTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent, const RefreshCallback& refresh,
                    int parentKey);
void BuildZiLiaoTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent, const RefreshCallback& refresh,
                     int parentKey);
void BuildGuiDangTree(LibraryTreeModel& tree, RowSet& rows, const QModelIndex& parent,
                      const RefreshCallback& refresh, int parentKey);

// The recycle-bin node: the child with ItemID 1 of the tree's first top-level node. Fails with
// "没有找到模板库的回收站点！" / "没有找到资料库的回收站点！".
QModelIndex FindMobanRecycleNode(const LibraryTreeModel& tree);
QModelIndex FindZiLiaoRecycleNode(const LibraryTreeModel& tree);
QModelIndex FindRecycleNode(const LibraryTreeModel& tree);
