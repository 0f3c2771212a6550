#include "support/NodeOpsFixture.h"
#include "store/FileLayout.h"

#include <QDir>

namespace {

QString treeShape(const LibraryTreeModel& m, const RowSet* rows, const QModelIndex& parent = {})
{
    QStringList parts;
    for (int r = 0; r < m.rowCount(parent); ++r) {
        const QModelIndex i = m.index(r, 0, parent);
        QString text = i.data().toString();
        if (rows)
            text += QLatin1Char(':')
                  + rows->value(rows->find(i.data(LibraryTreeModel::ItemIdRole)), QStringLiteral("iPartIndex")).toString();
        const QString inner = treeShape(m, rows, i);
        parts << text + (inner.isEmpty() ? QString() : QStringLiteral("(") + inner + QStringLiteral(")"));
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

NodeOpsFixture::NodeOpsFixture(Library library) : data(library)
{
    reload();
}

NodeOps NodeOpsFixture::ops()
{
    ViewerHook viewer{[this] { return viewerOpen; },
                      [this] {
                          viewerOpen = false;
                          ++viewerClosed;
                      }};
    return NodeOps(NodeOpsContext{data, folder.dm(), folder.paths(), login, prompter, viewer, &headerFillPending,
                                  [this](const QString& t) { objectCounts << t; }});
}

void NodeOpsFixture::reload()
{
    data.load(folder.dm(), login.opName);
}

void NodeOpsFixture::seed(const NodeRecord& r, int partIndex, const QString& userId)
{
    folder.addNode(data.library(), r, userId, partIndex);
    if (LibraryHasRecycleBin(data.library())) {
        RowSet rows;
        rows.load(data.library() == Library::Moban ? folder.dm().GetMobanData()
                                                   : folder.dm().GetZiLiaoData(login.opName));
        rows.setValue(rows.find(1), QStringLiteral("iPartIndex"), 99);
        const ChangeLog log = rows.changeLog();
        if (data.library() == Library::Moban)
            folder.dm().ApplyMobanUpdates(log);
        else
            folder.dm().ApplyZiLiaoUpdates(login.opName, log);
    }
    reload();
}

QString NodeOpsFixture::shape() const
{
    return treeShape(data.tree, nullptr);
}

QString NodeOpsFixture::dbShape()
{
    LibraryData fresh(data.library());
    fresh.load(folder.dm(), login.opName);
    return treeShape(fresh.tree, &fresh.rows);
}

QVariantMap NodeOpsFixture::dbRow(int itemId)
{
    RowSet rows;
    switch (data.library()) {
    case Library::Moban: rows.load(folder.dm().GetMobanData()); break;
    case Library::ZiLiao: rows.load(folder.dm().GetZiLiaoData(login.opName)); break;
    case Library::GuiDang: rows.load(folder.dm().GetGuiDangData(login.opName)); break;
    }
    const RowSet::RowId id = rows.find(itemId);
    return id < 0 ? QVariantMap() : rows.valueMap(id);
}

QVariantMap NodeOpsFixture::fillRange(int id)
{
    RowSet rows;
    rows.load(folder.dm().GetHeadingFillRangeData(id), QStringLiteral("ID"));
    return rows.totalCount() == 0 ? QVariantMap() : rows.valueMap(rows.allRows().first());
}

QString NodeOpsFixture::filePath(const NodeRecord& r) const
{
    const QString dir = data.library() == Library::Moban ? folder.paths().MobanFolderPath(r.iDir)
                                                         : folder.paths().ZiLiaoFolderPath(r.iDir);
    return FileLayout::NodeFilePath(dir, r.File_Name, r.Ext);
}

void NodeOpsFixture::makeFolder(int iDir)
{
    QDir().mkpath(data.library() == Library::Moban ? folder.paths().MobanFolderPath(iDir)
                                                   : folder.paths().ZiLiaoFolderPath(iDir));
}
