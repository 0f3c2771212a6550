#pragma once
#include "trees/DragDrop.h"
#include "trees/NodeOps.h"

#include <QModelIndex>

// Copy and move of subtrees inside one library, and archiving a project subtree into the archive library: what the
// drop menus of the trees run (and the CLI's copy, move and archive). Every operation places the source relative
// to the target (DropPlace) and first checks the pair against the drag-and-drop tables (SelfDropRefusal,
// ArchiveDropRefusal), failing with their message.
//
// Each operation is one WriteUnit: keys, folder and file numbers are drawn under the write lock, new folders are
// made and files copied (or moved) before the rows are written in one transaction, and the tree follows. A failure
// anywhere leaves rows, files, folders, the cached copy and the tree exactly as they were; its message names what
// failed.
class SubtreeOps {
public:
    explicit SubtreeOps(NodeOpsContext ctx);

    Library library() const { return m_ctx.data.library(); }

    // Copies the source's whole subtree to the target: new keys, a new folder for a copied template (project),
    // new file numbers and copies of the files, a blank header-fill record for every form; in the project library
    // the rows belong to the current user and a copied project starts with an empty overview. Archive library:
    // new rows referring to the same project files. Shows the status texts and (template and project libraries)
    // the information box of the target position. Returns the new top node.
    QModelIndex CopySubtree(const QModelIndex& source, const QModelIndex& target, DropPlace place);
    QModelIndex CopySubtreeAsChild(const QModelIndex& source, const QModelIndex& newParent)
    {
        return CopySubtree(source, newParent, DropPlace::Child);
    }
    QModelIndex CopySubtreeAsSibling(const QModelIndex& source, const QModelIndex& target, bool prior)
    {
        return CopySubtree(source, target, prior ? DropPlace::Prior : DropPlace::Next);
    }

    // Moves the source with its subtree: the parent link, the siblings renumbered where it left and where it
    // landed (the recycle bin kept last), and, when the subtree lands in another template's (project's) folder,
    // every file of it moved there under a new number (RelocateSubtreeFiles; header-fill records stay). A move as
    // a child of the node's own parent is refused with a warning and returns an invalid index; otherwise returns
    // the moved node. The viewer's file is closed before files move (the caller shows the moved node again).
    QModelIndex MoveSubtree(const QModelIndex& source, const QModelIndex& target, DropPlace place);

    // Whether the last MoveSubtree moved files into another folder.
    bool relocated() const { return m_relocated; }

private:
    QModelIndex copyInLibrary(const QModelIndex& source, const QModelIndex& target, DropPlace place);
    QModelIndex copyInArchive(const QModelIndex& source, const QModelIndex& target, DropPlace place);
    QModelIndex moveInLibrary(const QModelIndex& source, const QModelIndex& target, DropPlace place);
    QModelIndex moveInArchive(const QModelIndex& source, const QModelIndex& target, DropPlace place);
    void applyUpdates();

    NodeOpsContext m_ctx;
    bool m_relocated = false;
};

// Archiving (pmGuiDang): the project subtree below `source` (of `projectTree`) becomes archive rows below or beside
// `target` of the archive library `archiveCtx.data`: categories for every node but the forms, archived forms
// (TypeID 3) for inspection and general forms, external files for external files, each with the project node's
// folder number, file number, extension and header-fill ID, so that it shows the project's own file. No file is
// copied. Returns the new top node.
QModelIndex ArchiveSubtree(NodeOpsContext archiveCtx, const LibraryTreeModel& projectTree, const QModelIndex& source,
                           const QModelIndex& target, DropPlace place);

// The information box after a copy or move: "目标位置: %s->最后一个节点。" / "->上方节点。" / "->下方节点。".
QString DropTargetMessage(const QString& targetName, DropPlace place);
