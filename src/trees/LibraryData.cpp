#include "trees/LibraryData.h"
#include "store/DataPool.h"

LibraryData::LibraryData(Library library)
    : rows(QStringLiteral("ItemID")), tree(library), m_library(library)
{
}

void LibraryData::load(TDataPoolDM& dm, const QString& userName, const RefreshCallback& refresh)
{
    switch (m_library) {
    case Library::Moban: rows.load(dm.GetMobanData()); break;
    case Library::ZiLiao: rows.load(dm.GetZiLiaoData(userName)); break;
    case Library::GuiDang: rows.load(dm.GetGuiDangData(userName)); break;
    }
    m_recycle = QPersistentModelIndex();
    tree.clear();
    BuildTree(tree, rows, QModelIndex(), -1, refresh);
    if (LibraryHasRecycleBin(m_library))
        m_recycle = FindRecycleNode(tree);
}

void LibraryData::applyUpdates(TDataPoolDM& dm, const QString& userName)
{
    const ChangeLog log = rows.changeLog();
    if (log.isEmpty())
        return;
    switch (m_library) {
    case Library::Moban: dm.ApplyMobanUpdates(log); break;
    case Library::ZiLiao: dm.ApplyZiLiaoUpdates(userName, log); break;
    case Library::GuiDang: dm.ApplyGuiDangUpdates(userName, log); break;
    }
    rows.merge();
}
