// The node operations of the main window: the New actions of the three libraries (all but the new project, see
// MainFrmProjects.cpp), rename, delete with the recycle bin, emptying the bin, move up and down. Each handler runs
// the library's NodeOps on the selected node and then shows the right selection: a new node is selected (its
// selection event fills a new form's header), a removed node hands the selection to its neighbour.
#include "app/MainFrm.h"

#include "core/QuelmarError.h"

#include <QTreeView>

namespace {

// Where the selection goes when a node leaves its place: the next sibling, else the previous one, else the parent.
QPersistentModelIndex neighbourOf(const QModelIndex& node)
{
    if (!node.isValid())
        return {};
    const QModelIndex next = node.sibling(node.row() + 1, 0);
    if (next.isValid())
        return next;
    if (node.row() > 0)
        return node.sibling(node.row() - 1, 0);
    return node.parent();
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// Handlers

#define QUELMAR_NEW_HANDLER(lib, kind)                                                                             \
    void TMainFrm::lib##NewTypeID##kind##Execute() { newNode(Library::lib, kind); }
QUELMAR_NEW_HANDLER(Moban, 9)
QUELMAR_NEW_HANDLER(Moban, 10)
QUELMAR_NEW_HANDLER(Moban, 3)
QUELMAR_NEW_HANDLER(Moban, 4)
QUELMAR_NEW_HANDLER(Moban, 11)
QUELMAR_NEW_HANDLER(Moban, 5)
QUELMAR_NEW_HANDLER(ZiLiao, 10)
QUELMAR_NEW_HANDLER(ZiLiao, 3)
QUELMAR_NEW_HANDLER(ZiLiao, 4)
QUELMAR_NEW_HANDLER(ZiLiao, 11)
QUELMAR_NEW_HANDLER(ZiLiao, 5)
QUELMAR_NEW_HANDLER(ZiLiao, 6)
QUELMAR_NEW_HANDLER(ZiLiao, 7)
QUELMAR_NEW_HANDLER(GuiDang, 1)
QUELMAR_NEW_HANDLER(GuiDang, 2)
#undef QUELMAR_NEW_HANDLER

#define QUELMAR_NODE_HANDLERS(lib)                                                                                 \
    void TMainFrm::lib##RenameExecute() { renameNode(Library::lib); }                                              \
    void TMainFrm::lib##DeleteNodeExecute() { deleteNode(Library::lib); }                                          \
    void TMainFrm::lib##MoveUpExecute() { moveNode(Library::lib, true); }                                          \
    void TMainFrm::lib##MoveDownExecute() { moveNode(Library::lib, false); }
QUELMAR_NODE_HANDLERS(Moban)
QUELMAR_NODE_HANDLERS(ZiLiao)
QUELMAR_NODE_HANDLERS(GuiDang)
#undef QUELMAR_NODE_HANDLERS

void TMainFrm::MobanClearRecycleExecute()
{
    clearRecycle(Library::Moban);
}

void TMainFrm::ZiLiaoClearRecycleExecute()
{
    clearRecycle(Library::ZiLiao);
}

// ---------------------------------------------------------------------------------------------------------------
// Operations

void TMainFrm::newNode(Library lib, int typeId)
{
    NodeOps ops = nodeOps(lib);
    const QModelIndex created = ops.NewNode(selectedNode(lib), typeId);
    if (!created.isValid())
        return;
    // A new inspection or general form waits for the header values; the fill belongs to this form only.
    if (lib == Library::ZiLiao && ops.headerFillPending())
        HeaderFillItem = created.data(LibraryTreeModel::ItemIdRole).toInt();
    selectNode(lib, created);
}

void TMainFrm::renameNode(Library lib)
{
    const QModelIndex node = selectedNode(lib);
    if (!node.isValid())
        return;
    if (nodeOps(lib).Rename(node) && node == selectedNode(lib))
        setStatusText(0, QStringLiteral("当前节点: %1").arg(node.data().toString()));
}

void TMainFrm::deleteNode(Library lib)
{
    const QModelIndex node = selectedNode(lib);
    runRemoval(lib, neighbourOf(node), [this, lib, node] {
        const bool done = nodeOps(lib).DeleteNode(node);
        // A purged project's folder number may be drawn again for a new project: its values must be read anew.
        if (done && lib == Library::ZiLiao)
            HeaderValuesDir = 0;
        return done;
    });
}

void TMainFrm::clearRecycle(Library lib)
{
    const QModelIndex selected = selectedNode(lib);
    // A selected node inside the bin goes with it; the bin itself is then selected.
    const QPersistentModelIndex afterwards =
        IsInRecycleBin(library(lib).tree, selected) ? QPersistentModelIndex(library(lib).recycleNode())
                                                    : QPersistentModelIndex();
    runRemoval(lib, afterwards, [this, lib, selected] {
        const bool done = nodeOps(lib).EmptyRecycleBin(selected);
        if (done && lib == Library::ZiLiao)
            HeaderValuesDir = 0;
        return done;
    });
}

void TMainFrm::moveNode(Library lib, bool up)
{
    const QModelIndex node = selectedNode(lib);
    if (!node.isValid())
        return;
    NodeOps ops = nodeOps(lib);
    const QModelIndex moved = up ? ops.MoveUp(node) : ops.MoveDown(node);
    if (!moved.isValid())
        return;
    // The moved node stays selected and in sight.
    if (moved != selectedNode(lib))
        selectNode(lib, moved);
    treeView(lib)->scrollTo(moved);
}

void TMainFrm::runRemoval(Library lib, const QPersistentModelIndex& afterwards, const std::function<bool()>& op)
{
    const QPersistentModelIndex before = selectedNode(lib);
    // Shows the library's selection again: `preferred`, else the current node, else the root.
    auto reshow = [this, lib](const QModelIndex& preferred) {
        QModelIndex target = preferred.isValid() ? preferred : selectedNode(lib);
        if (!target.isValid() && library(lib).tree.rowCount() > 0)
            target = library(lib).tree.index(0, 0);
        if (target.isValid())
            selectNode(lib, target);
    };

    bool done = false;
    ++m_selectionHold;
    try {
        done = op();
    } catch (...) {
        --m_selectionHold;
        // What was applied before the failure stays: the tree and the pane show where things now stand. The
        // operation's own message is the one the user sees.
        try {
            reshow(QModelIndex());
        } catch (const QuelmarError&) {
        }
        throw;
    }
    --m_selectionHold;

    if (done && afterwards.isValid())
        reshow(afterwards);
    else if (!before.isValid() || selectedNode(lib) != QModelIndex(before))
        reshow(QModelIndex());
}
