// Drag and drop in the three library trees. A node pressed and dragged with the left mouse button is the tree's
// selected node; while it is dragged the node under the mouse is framed when it would take the drop (the tables of
// trees/DragDrop), the cursor says whether it would, and a tree scrolls by a line while the mouse is within 15
// pixels of its top or bottom edge. The drop changes nothing by itself: it remembers the dragged node and the drop
// target and opens the menu the tables choose at the mouse position (copy and move, delete, or archive); the
// menu's entries run the operations (trees/NodeCopy, NodeOps). Escape or a drop that nothing accepts ends the drag.
#include "app/MainFrm.h"

#include "app/NodeIconDelegate.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "trees/DragDrop.h"
#include "trees/NodeCopy.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

namespace {

constexpr int kScrollMargin = 15;

enum Place { Child = 0, Prior = 1, Next = 2 };

DropPlace dropPlace(int place)
{
    return place == Prior ? DropPlace::Prior : place == Next ? DropPlace::Next : DropPlace::Child;
}

NodeIconDelegate* delegateOf(QTreeView* tree)
{
    return dynamic_cast<NodeIconDelegate*>(tree->itemDelegate());
}

} // namespace

// The drag in progress: the tree it started in, where the button went down, and the tree and node under the mouse.
struct TMainFrm::TreeDrag : QObject {
    bool pressed = false;
    bool active = false;
    Library from = Library::ZiLiao;
    QPoint pressPos;
    QPersistentModelIndex source;
    QTreeView* over = nullptr;   // the tree under the mouse, if any
    QPersistentModelIndex target;
    bool accepted = false;
    QPoint lastGlobal;
    QTimer scrollTimer;
    // The menus' entries, by menu.
    QList<QAction*> mobanEntries, ziLiaoEntries, guiDangEntries, archiveEntries;
};

void TMainFrm::setUpDragDrop()
{
    m_drag = new TreeDrag;
    m_drag->setParent(this);
    m_drag->scrollTimer.setInterval(100);
    connect(&m_drag->scrollTimer, &QTimer::timeout, this, [this] {
        if (m_drag->active)
            dragOver(m_drag->lastGlobal);
        else
            m_drag->scrollTimer.stop();
    });
    for (Library lib : {Library::Moban, Library::ZiLiao, Library::GuiDang})
        treeView(lib)->viewport()->installEventFilter(this);
    tvMoban->installEventFilter(this);   // Escape ends a drag (the project and archive trees are watched already)

    const auto selfDragMenu = [this](const char* name, Library lib, QList<QAction*>& entries) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(name));
        const struct {
            const char* caption;
            const char* object;
            bool move;
            int place;
        } items[] = {
            {"复制为子节点(&S)", "CopyAsSubItem", false, Child},
            {"复制为同级上方节点(&T)", "CopyAsPriorItem", false, Prior},
            {"复制为同级下方节点(&B)", "CopyAsNextItem", false, Next},
            {"移到为子节点(&S)", "MoveAsSubItem", true, Child},
            {"移动为同级上方节点(&T)", "MoveAsPriorItem", true, Prior},
            {"移动为同级下方节点(&B)", "MoveAsNextItem", true, Next},
        };
        const QString prefix = lib == Library::Moban ? QStringLiteral("pmiM") : lib == Library::ZiLiao
                                                                                  ? QStringLiteral("pmiZ")
                                                                                  : QStringLiteral("pmiG");
        for (const auto& item : items) {
            if (item.move && item.place == Child)
                menu->addSeparator();
            QAction* a = menu->addAction(QString::fromUtf8(item.caption));
            a->setObjectName(prefix + QString::fromLatin1(item.object));
            a->setProperty("move", item.move);
            a->setProperty("place", item.place);
            const bool move = item.move;
            const int place = item.place;
            connect(a, &QAction::triggered, this,
                    [this, lib, move, place] { run([this, lib, move, place] { dropMenuChosen(lib, move, place); }); });
            entries << a;
        }
        menu->addSeparator();
        menu->addAction(QStringLiteral("取消(&C)"))->setObjectName(QStringLiteral("pmiCancel"));
        return menu;
    };
    pmMSelfDrag = selfDragMenu("pmMSelfDrag", Library::Moban, m_drag->mobanEntries);
    pmZSelfDrag = selfDragMenu("pmZSelfDrag", Library::ZiLiao, m_drag->ziLiaoEntries);
    pmGSelfDrag = selfDragMenu("pmGSelfDrag", Library::GuiDang, m_drag->guiDangEntries);

    pmGuiDang = new QMenu(this);
    pmGuiDang->setObjectName(QStringLiteral("pmGuiDang"));
    const struct {
        const char* caption;
        const char* object;
        int place;
    } archiveItems[] = {{"归档为子节点(&S)", "pmiBecomeSubItem", Child},
                        {"归档为同级上方节点(&T)", "pmiBecomePriorItem", Prior},
                        {"归档为同级下方节点(&B)", "pmiBecomeNextItem", Next}};
    for (const auto& item : archiveItems) {
        QAction* a = pmGuiDang->addAction(QString::fromUtf8(item.caption));
        a->setObjectName(QString::fromLatin1(item.object));
        const int place = item.place;
        connect(a, &QAction::triggered, this, [this, place] { run([this, place] { archiveMenuChosen(place); }); });
        m_drag->archiveEntries << a;
    }
    pmGuiDang->addSeparator();
    pmGuiDang->addAction(QStringLiteral("取消(&C)"))->setObjectName(QStringLiteral("pmiCancel"));

    const auto deleteMenu = [this](const char* name, Library lib) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(name));
        QAction* del = menu->addAction(QStringLiteral("删除节点(&D)"));
        del->setObjectName(QStringLiteral("pmiDeleteNode"));
        connect(del, &QAction::triggered, this, [this, lib] {
            run([this, lib] {
                // The delete action works on the selected node: the dropped one.
                const QPersistentModelIndex source = lib == Library::Moban ? MobanDragSource : ZiLiaoDragSource;
                if (source.isValid() && selectedNode(lib) != QModelIndex(source))
                    selectNode(lib, source);
                if (lib == Library::Moban)
                    MobanDeleteNodeExecute();
                else
                    ZiLiaoDeleteNodeExecute();
            });
        });
        menu->addSeparator();
        menu->addAction(QStringLiteral("取消(&C)"))->setObjectName(QStringLiteral("pmiCancel"));
        return menu;
    };
    pmMDeleteDragSource = deleteMenu("pmMDeleteDragSource", Library::Moban);
    pmZDeleteDragSource = deleteMenu("pmZDeleteDragSource", Library::ZiLiao);
}

bool TMainFrm::dragDropEvent(QObject* watched, QEvent* event)
{
    if (!m_drag)
        return false;
    if (event->type() == QEvent::KeyPress && m_drag->active
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        endDrag();
        return true;
    }
    Library lib = Library::ZiLiao;
    bool isViewport = false;
    for (Library l : {Library::Moban, Library::ZiLiao, Library::GuiDang})
        if (watched == treeView(l)->viewport()) {
            lib = l;
            isViewport = true;
        }
    if (!isViewport)
        return false;
    TreeDrag& d = *m_drag;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (d.active) {
            endDrag();
            return true;
        }
        d.pressed = e->button() == Qt::LeftButton && treeView(lib)->indexAt(e->position().toPoint()).isValid();
        d.from = lib;
        d.pressPos = e->position().toPoint();
        return false;   // the tree selects the pressed node
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (!d.pressed || !(e->buttons() & Qt::LeftButton))
            return false;
        const QPoint global = e->globalPosition().toPoint();
        if (!d.active) {
            if ((e->position().toPoint() - d.pressPos).manhattanLength() < QApplication::startDragDistance())
                return true;   // no selection dragging either
            // The drag starts with the selected node.
            const QModelIndex source = selectedNode(d.from);
            if (!source.isValid()) {
                d.pressed = false;
                return true;
            }
            d.active = true;
            d.source = source;
            if (d.from == Library::Moban)
                MobanDragFromBin = IsInRecycleBin(m_moban.tree, source);
            else if (d.from == Library::ZiLiao)
                ZiLiaoDragFromBin = IsInRecycleBin(m_ziLiao.tree, source);
            d.scrollTimer.start();
        }
        dragOver(global);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        const bool wasActive = d.active && e->button() == Qt::LeftButton;
        d.pressed = false;
        if (!wasActive)
            return false;
        const QPoint global = e->globalPosition().toPoint();
        dragOver(global);
        run([this, global] { dropAt(global); });
        return true;
    }
    default:
        return false;
    }
}

// Every drag-over: the tree under the mouse scrolls near its edges, then the node under the mouse is tested.
void TMainFrm::dragOver(const QPoint& globalPos)
{
    TreeDrag& d = *m_drag;
    d.lastGlobal = globalPos;
    QTreeView* over = nullptr;
    QPoint local;
    for (Library l : {Library::Moban, Library::ZiLiao, Library::GuiDang}) {
        QTreeView* tree = treeView(l);
        if (!tree->isVisible())
            continue;
        const QPoint p = tree->viewport()->mapFromGlobal(globalPos);
        if (tree->viewport()->rect().contains(p)) {
            over = tree;
            local = p;
        }
    }
    if (over) {
        QScrollBar* bar = over->verticalScrollBar();
        if (local.y() < kScrollMargin)
            bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (local.y() >= over->viewport()->height() - kScrollMargin)
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }

    const QModelIndex target = over ? over->indexAt(local) : QModelIndex();
    bool accepted = false;
    if (over == treeView(d.from))
        accepted = DragOverAccepted(library(d.from).tree, d.source, target);
    else if (over == tvGuiDang && d.from == Library::ZiLiao)
        accepted = ArchiveDragOverAccepted(m_ziLiao.tree, d.source, target);

    // The drop highlight follows the accepted target.
    if (d.over && d.over != over)
        if (NodeIconDelegate* delegate = delegateOf(d.over)) {
            delegate->setDropTarget({});
            d.over->viewport()->update();
        }
    if (over)
        if (NodeIconDelegate* delegate = delegateOf(over)) {
            delegate->setDropTarget(accepted ? target : QModelIndex());
            over->viewport()->update();
        }
    d.over = over;
    d.target = target;
    d.accepted = accepted;
    treeView(d.from)->viewport()->setCursor(accepted ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
}

void TMainFrm::endDrag()
{
    TreeDrag& d = *m_drag;
    d.active = false;
    d.pressed = false;
    d.scrollTimer.stop();
    if (d.over)
        if (NodeIconDelegate* delegate = delegateOf(d.over)) {
            delegate->setDropTarget({});
            d.over->viewport()->update();
        }
    for (Library l : {Library::Moban, Library::ZiLiao, Library::GuiDang})
        treeView(l)->viewport()->unsetCursor();
    d.over = nullptr;
}

// The drop: remember source and target, choose the menu and its entries, open it at the mouse.
void TMainFrm::dropAt(const QPoint& globalPos)
{
    TreeDrag& d = *m_drag;
    const bool accepted = d.accepted;
    QTreeView* over = d.over;
    const QPersistentModelIndex source = d.source;
    const QPersistentModelIndex target = d.target;
    const Library from = d.from;
    endDrag();
    if (!accepted || !source.isValid() || !target.isValid())
        return;

    const int s = source.data(LibraryTreeModel::TypeIdRole).toInt();
    const int n = target.data(LibraryTreeModel::TypeIdRole).toInt();
    if (over == tvGuiDang && from == Library::ZiLiao) {
        GuiDangDragSource = source;
        GuiDangDropTarget = target;
        const int code = ArchiveMenuCode(n);
        if (code == ArchiveMenu::None)
            throw QuelmarError(WrongTargetKindMessage());
        const QList<QAction*>& entries = m_drag->archiveEntries;
        entries.at(0)->setEnabled(code & ArchiveMenu::Child);
        for (QAction* a : {entries.at(1), entries.at(2)}) {
            a->setVisible(true);
            a->setEnabled(code & ArchiveMenu::Siblings);
        }
        pmGuiDang->exec(globalPos);
        return;
    }
    if (over != treeView(from))
        return;
    const LibraryTreeModel& tree = library(from).tree;
    // A dragged root or recycle bin opens nothing.
    if (tree.level(source) == 0
        || (from != Library::GuiDang && tree.level(source) == 1 && s == NodeKinds::RecycleBin))
        return;
    switch (from) {
    case Library::Moban:
        MobanDragSource = source;
        MobanDropTarget = target;
        break;
    case Library::ZiLiao:
        ZiLiaoDragSource = source;
        ZiLiaoDropTarget = target;
        break;
    case Library::GuiDang:
        GuiDangDragSource = source;
        GuiDangDropTarget = target;
        break;
    }
    const int code = DropMenuCode(from, s, n);
    if (code == DropMenu::None)
        throw QuelmarError(WrongTargetKindMessage());
    if (code == DropMenu::Delete) {
        (from == Library::Moban ? pmMDeleteDragSource : pmZDeleteDragSource)->exec(globalPos);
        return;
    }
    QMenu* menu = from == Library::Moban ? pmMSelfDrag : from == Library::ZiLiao ? pmZSelfDrag : pmGSelfDrag;
    const QList<QAction*>& entries = from == Library::Moban    ? m_drag->mobanEntries
                                     : from == Library::ZiLiao ? m_drag->ziLiaoEntries
                                                               : m_drag->guiDangEntries;
    for (QAction* a : entries)
        a->setEnabled(DropCodeAllows(code, a->property("move").toBool(), dropPlace(a->property("place").toInt())));
    menu->exec(globalPos);
}

// A copy or move entry of a drop menu. After a copy the source stays selected; after a move the moved node is
// selected and shown again (its form reopened from where it now lies).
void TMainFrm::dropMenuChosen(Library lib, bool move, int place)
{
    const QPersistentModelIndex source = lib == Library::Moban    ? MobanDragSource
                                         : lib == Library::ZiLiao ? ZiLiaoDragSource
                                                                  : GuiDangDragSource;
    const QPersistentModelIndex target = lib == Library::Moban    ? MobanDropTarget
                                         : lib == Library::ZiLiao ? ZiLiaoDropTarget
                                                                  : GuiDangDropTarget;
    if (!source.isValid() || !target.isValid())
        return;
    // A changed table is offered for saving before its file may move.
    if (move && lib != Library::GuiDang)
        offerToSaveViewer(contentPane(lib).viewer());
    QModelIndex result;
    ++m_selectionHold;
    try {
        SubtreeOps ops(nodeOpsContext(lib));
        result = move ? ops.MoveSubtree(source, target, dropPlace(place))
                      : ops.CopySubtree(source, target, dropPlace(place));
    } catch (...) {
        --m_selectionHold;
        throw;
    }
    --m_selectionHold;
    if (!result.isValid())
        return;
    const QModelIndex shown = move ? result : QModelIndex(source);
    selectNode(lib, shown);
    treeView(lib)->scrollTo(shown);
}

void TMainFrm::archiveMenuChosen(int place)
{
    const QPersistentModelIndex source = GuiDangDragSource;
    const QPersistentModelIndex target = GuiDangDropTarget;
    if (!source.isValid() || !target.isValid())
        return;
    ++m_selectionHold;
    QModelIndex archived;
    try {
        archived = ArchiveSubtree(nodeOpsContext(Library::GuiDang), m_ziLiao.tree, source, target, dropPlace(place));
    } catch (...) {
        --m_selectionHold;
        throw;
    }
    --m_selectionHold;
    tvGuiDang->expand(archived.parent());
    tvGuiDang->scrollTo(archived);
}
