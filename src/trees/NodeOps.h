#pragma once
#include "trees/LibraryData.h"

#include <QList>
#include <QModelIndex>
#include <QSet>
#include <QString>

#include <functional>

struct AppPaths;
class Prompter;
class WriteUnit;
class TDataPoolDM;
struct TLoginInfo;

// The table viewer of the library's content pane, as far as the node operations need it: a purge closes the file
// the viewer shows (GetFileName not empty -> ResetContent) before the file is deleted. Empty functions: no viewer.
struct ViewerHook {
    std::function<bool()> hasOpenFile;
    std::function<void()> closeFile;

    void closeIfOpen() const
    {
        if (hasOpenFile && closeFile && hasOpenFile())
            closeFile();
    }
};

// Everything a node operation works with: the library (cached copy + tree + recycle-bin node), the data module,
// the program folder's paths, the logged-in user (owner of new project and archive rows), the prompter (name
// dialogs, confirmations, warnings, status texts, hourglass) and the library's viewer.
struct NodeOpsContext {
    LibraryData& data;
    TDataPoolDM& dm;
    const AppPaths& paths;
    const TLoginInfo& login;
    Prompter& prompter;
    ViewerHook viewer = {};
    // Set to true when a new inspection or general form waits for its header values (the main window's
    // HeaderFillPending); may be null.
    bool* headerFillPending = nullptr;
    // Text of the status bar's second panel (object count); may be empty.
    std::function<void(const QString&)> objectCountStatus = {};
};

// Inside a write unit: the node's row must still be there (another user may have removed it since this program
// read it); otherwise "节点已被其他用户修改或删除，请刷新。".
void RequireNodeRow(TDataPoolDM& dm, Library library, int itemId);

// The kinds the New menu offers below a node of kind `selectedTypeId` (the first is the menu's default); empty
// where New is hidden.
QList<int> NewMenuKinds(Library library, int selectedTypeId);
// Caption of the name dialog of the New action creating `typeId` ("新建模板", "新建检验表格", ...); empty for a kind
// that no New action of this library creates.
QString NewNodeCaption(Library library, int typeId);

// True when the node lies inside the recycle bin: level 2 or deeper below a level-1 recycle-bin node. The root and
// the root's children (the bin itself included) are never inside.
bool IsInRecycleBin(const LibraryTreeModel& tree, const QModelIndex& node);

// Rewrites iPartIndex = tree index for the children of `parent` from row `fromRow` to the last, finding each row
// by ItemID and posting it in the cached copy (nothing is applied). A missing row fails with `missingMessage`,
// followed by the node's text when `appendName`. Returns whether any row changed.
bool RenumberSiblings(LibraryData& data, const QModelIndex& parent, int fromRow, const QString& missingMessage,
                      bool appendName = false);

// Recreates under `to` (of `toTree`) the tree nodes of every descendant of `from` (of `fromTree`), each with a copy
// of its record and so its icon, in order. No row changes. The trees may be different models; within one model the
// keys of the copies must be free.
void CloneTreeChildren(const LibraryTreeModel& fromTree, const QModelIndex& from, LibraryTreeModel& toTree,
                       const QModelIndex& to);

// The node operations of one library: creation (New actions), rename, delete with the recycle bin, emptying the
// bin, move up and down. Each works on the selected node of the library's tree and writes its change at once:
// post in the cached copy, apply through the data module, merge, then change the tree. The main window runs one
// per action (`NodeOps(ctx).NewNode(selected, 6)`); the CLI does the same with a scripted prompter.
//
// A failure throws QuelmarError with the user's message; the hourglass is restored. What was applied stays; row
// changes still pending in the cached copy when an operation fails are thrown away, so the copy keeps matching
// the database.
class NodeOps {
public:
    explicit NodeOps(NodeOpsContext ctx);

    Library library() const { return m_ctx.data.library(); }

    // ---- actions (what the main window's New, Rename, Delete, ClearRecycle, MoveUp and MoveDown run) ----

    // The New action for `typeId` below the selected node: RecycleGuard, the kind must be one the node's New menu
    // offers, the name dialog ("请输入名称:", the action's caption), then CreateNode. Returns the new node (to be
    // selected), or an invalid index when the guard, the dialog or the name refused it.
    QModelIndex NewNode(const QModelIndex& selected, int typeId);
    // Rename action: guard, dialog "重命名" / "请输入新的名称:" starting with the current text (cancel writes the
    // current text back), then RenameNode. False when nothing was written.
    bool Rename(const QModelIndex& node);
    // Delete action: the recycle bin's two stages (template and project library; RecycleNode, or PurgeNode for a
    // node inside the bin) or the archive's immediate row deletion. False when refused or not confirmed.
    bool DeleteNode(const QModelIndex& node);
    // Empty-bin action: purges every child of the recycle-bin node after one confirmation. `selected` is the
    // tree's selected node (the viewer is closed when it lies inside the bin). False when not confirmed.
    bool EmptyRecycleBin(const QModelIndex& selected = {});
    // Move one place up / down among the siblings (the recycle bin stays last). Returns the node's index after the
    // move (the same place when nothing moved; invalid when the guard refused).
    QModelIndex MoveUp(const QModelIndex& node);
    QModelIndex MoveDown(const QModelIndex& node);

    // ---- the operations behind them ----

    // The recycle-bin refusal of the template and project libraries: for the bin node, the warning
    // "加收站不提供此功能！请选择其他节点。" and false. Always true in the archive library.
    bool RecycleGuard(const QModelIndex& node);
    // Creates one child of kind `typeId` with name `name` below `parent` (MobanCreateNode, ZiLiaoCreateNode,
    // GuiDangCreateNode): numbers, folder, table file, header-fill record, row, tree node. Returns the new node, or
    // an invalid index when the name was refused with a warning (template and project libraries).
    QModelIndex CreateNode(int typeId, const QModelIndex& parent, const QString& name);
    // Writes a new name (as typed) to the row, the record and the tree node. False: the name was refused.
    bool RenameNode(const QModelIndex& node, const QString& name);
    // Moves the node with its subtree under the recycle-bin node after TDeleteBoxFrm ("确认删除").
    bool RecycleNode(const QModelIndex& node);
    // Deletes the node's subtree for good after confirmation: files, rows (the database removes the header-fill
    // and overview rows), the folder when no row uses it any more, and the tree nodes.
    bool PurgeNode(const QModelIndex& node);
    // Archive library: deletes the rows of the node's subtree after confirmation; no file is touched.
    bool DeleteArchiveNode(const QModelIndex& node);

    // Whether the last creation made an inspection or general form whose header fields wait to be filled.
    bool headerFillPending() const { return m_headerFillPending; }

private:
    QModelIndex createInLibrary(int typeId, const QModelIndex& parent, const QString& name);
    QModelIndex createInArchive(int typeId, const QModelIndex& parent, const QString& name);
    void makeBlankForm(WriteUnit& unit, const NodeRecord& rec);
    void copyParentForm(WriteUnit& unit, const NodeRecord& parent, const NodeRecord& rec);
    void purgeSubtreeRows(WriteUnit& unit, const QModelIndex& node, QSet<int>& dirs);
    void removeFoldersIfUnused(WriteUnit& unit, const QSet<int>& dirs);
    void reportLeftovers(const WriteUnit& unit);
    void applyUpdates();
    QModelIndex moveAndRenumber(const QModelIndex& node, int beforeRow);

    QString folderOf(int iDir) const;
    QString nodeFile(const NodeRecord& rec) const;
    RowSet::RowId findRow(const NodeRecord& rec, const QString& missingMessage, bool appendName) const;

    NodeOpsContext m_ctx;
    bool m_headerFillPending = false;
};
