// The main window's reload of its trees ("刷新(&R)", F5): what other users or programs changed comes in.
#include "app/ContentPane.h"
#include "app/MainFrm.h"
#include "core/Prompter.h"
#include "trees/LibraryData.h"

#include <QLabel>
#include <QSet>
#include <QTreeView>

namespace {

QSet<int> expandedItems(const QTreeView& view, const LibraryTreeModel& tree)
{
    QSet<int> items;
    tree.forEachPreOrder([&](const QModelIndex& index, int) {
        if (view.isExpanded(index))
            items.insert(tree.record(index).ItemID);
    });
    return items;
}

} // namespace

void TMainFrm::miRefreshClick()
{
    // Changed tables are offered for saving first: the reload shows the tables as they are stored.
    for (ContentPane* pane : {m_mobanPane, m_ziLiaoPane})
        offerToSaveViewer(pane->viewer());
    BusyCursor busy(*m_s.prompter);
    m_status0->setText(QStringLiteral("正在刷新..."));
    m_status0->repaint();
    for (ContentPane* pane : {m_mobanPane, m_ziLiaoPane}) {
        pane->viewer().ResetContent();
        pane->showPage(ContentPane::Page::NodeInfo);
    }
    QList<Library> libraries{Library::ZiLiao, Library::GuiDang};
    if (TemplateLoaded)
        libraries.prepend(Library::Moban);
    // The tree the user works in is restored last: its node is the one the status bar and the entries describe.
    Library active = Library::ZiLiao;
    for (const Library lib : libraries)
        if (treeView(lib)->hasFocus())
            active = lib;
    libraries.removeAll(active);
    libraries.append(active);
    for (const Library lib : libraries) {
        QTreeView* view = treeView(lib);
        LibraryData& data = library(lib);
        const QSet<int> expanded = expandedItems(*view, data.tree);
        const QModelIndex current = view->currentIndex();
        const int selected = current.isValid() ? data.tree.record(current).ItemID : -1;
        data.load(*m_s.dm, m_s.login->opName);
        data.tree.forEachPreOrder([&](const QModelIndex& index, int) {
            if (expanded.contains(data.tree.record(index).ItemID))
                view->expand(index);
        });
        // A tree where nothing was selected stays so; one whose selected node is gone shows its root.
        if (selected < 0)
            continue;
        QModelIndex again = data.tree.indexOfItem(selected);
        if (!again.isValid() && data.tree.rowCount() > 0)
            again = data.tree.index(0, 0);
        if (again.isValid())
            selectNode(lib, again);
    }
    const QModelIndex current = treeView(active)->currentIndex();
    if (current.isValid())
        describeNode(active, current);
    else
        m_status0->clear();
}
