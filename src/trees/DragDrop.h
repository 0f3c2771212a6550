#pragma once
#include "trees/NodeRecord.h"

#include <QModelIndex>
#include <QString>

class LibraryTreeModel;

// Where a copied, moved or archived subtree goes relative to the drop target: as its last child, just above it or
// just below it.
enum class DropPlace { Child, Prior, Next };

// The drop menu's code (DropMenuCode): which entries of the copy and move menu are enabled, or the delete menu.
namespace DropMenu {
constexpr int None = 0;           // the pair is not covered: "目标节点类型错误！"
constexpr int CopyChild = 1;      // "复制为子节点(&S)"
constexpr int CopySibling = 2;    // "复制为同级上方节点(&T)", "复制为同级下方节点(&B)"
constexpr int MoveChild = 4;      // "移到为子节点(&S)"
constexpr int MoveSibling = 8;    // "移动为同级上方节点(&T)", "移动为同级下方节点(&B)"
constexpr int Delete = 16;        // the delete menu instead ("删除节点(&D)")
constexpr int ChildEntries = CopyChild | MoveChild;        // 5
constexpr int SiblingEntries = CopySibling | MoveSibling;  // 10
constexpr int AllEntries = ChildEntries | SiblingEntries;  // 15
}

// The archiving menu (pmGuiDang): "归档为子节点(&S)" and the two sibling entries.
namespace ArchiveMenu {
constexpr int None = 0;
constexpr int Child = 1;
constexpr int Siblings = 2;
}

// The message of a drop the tables do not cover.
QString WrongTargetKindMessage();   // "目标节点类型错误！"

// ---- drag-over: may the node of kind `targetType` take a drop of a node of kind `sourceType`? ----

// The kind table of a drag inside one tree (template, project or archive library): whether a target of that kind
// accepts the source at all (before the tree's refusals below).
bool DragOverKindAccepted(Library library, int sourceType, int targetType);

// The whole drag-over test of a drag inside one tree: no target, the target is the source, a source that is the
// root or the recycle bin, a target inside the recycle bin, a source inside the bin over the bin, a target inside
// the dragged subtree, and then the kind table. `source` and `target` belong to `tree`.
bool DragOverAccepted(const LibraryTreeModel& tree, const QModelIndex& source, const QModelIndex& target);

// A drag from the project tree over the archive tree: refused for the project root and the recycle bin, no target,
// and the archive root or a cabinet.
bool ArchiveDragOverAccepted(const LibraryTreeModel& projectTree, const QModelIndex& source,
                             const QModelIndex& archiveTarget);

// ---- drop: which menu, which entries ----

// DropMenuCode of a drop inside one tree by the two kinds: 5, 10, 15, 16, or DropMenu::None when the table does
// not cover the pair. The archive tree uses the same codes for pmGSelfDrag (no delete).
int DropMenuCode(Library library, int sourceType, int targetType);
// The archiving entries for a drop of a project node on an archive node of kind `targetType`.
int ArchiveMenuCode(int targetType);

// Whether the copy (`move` false) or move as `place` is enabled by the code.
bool DropCodeAllows(int code, bool move, DropPlace place);

// Why copying or moving `source` to `target` as `place` inside one tree is refused, or empty when both tables allow
// it: what the CLI refuses and what the operations check before they write. `move` chooses the move entries.
QString SelfDropRefusal(const LibraryTreeModel& tree, const QModelIndex& source, const QModelIndex& target,
                        bool move, DropPlace place);
// The same for archiving a project node onto an archive node.
QString ArchiveDropRefusal(const LibraryTreeModel& projectTree, const QModelIndex& source,
                           const LibraryTreeModel& archiveTree, const QModelIndex& target, DropPlace place);

// "child" / "prior" / "next" (the CLI's words); false for anything else.
bool ParseDropPlace(const QString& text, DropPlace* place);
