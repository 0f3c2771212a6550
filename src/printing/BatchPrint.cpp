#include "printing/BatchPrint.h"

#include "core/QuelmarError.h"
#include "store/FileLayout.h"
#include "trees/NodeKinds.h"

BatchPrintMode BatchPrintModeFor(Library library)
{
    switch (library) {
    case Library::Moban: return BatchPrintMode::MMode;
    case Library::ZiLiao: return BatchPrintMode::ZMode;
    case Library::GuiDang: return BatchPrintMode::GMode;
    }
    return BatchPrintMode::ZMode;
}

Library BatchPrintLibrary(BatchPrintMode mode)
{
    switch (mode) {
    case BatchPrintMode::ZMode: return Library::ZiLiao;
    case BatchPrintMode::GMode: return Library::GuiDang;
    case BatchPrintMode::MMode: return Library::Moban;
    }
    return Library::ZiLiao;
}

QString BatchPrintPageName(BatchPrintMode mode)
{
    switch (mode) {
    case BatchPrintMode::ZMode: return QStringLiteral("ZMode");
    case BatchPrintMode::GMode: return QStringLiteral("GMode");
    case BatchPrintMode::MMode: return QStringLiteral("MMode");
    }
    return {};
}

QString BatchPrintDescription(BatchPrintMode mode)
{
    switch (mode) {
    case BatchPrintMode::ZMode: return QStringLiteral("说明: 资料库中只能打印最终表格，样式不算。");
    case BatchPrintMode::GMode: return QStringLiteral("说明: 归档库中只能打印最终表格。");
    case BatchPrintMode::MMode: return QStringLiteral("说明: 模板库中只能打印样式表格。");
    }
    return {};
}

QString BatchPrintPanelLabel(BatchPrintMode mode)
{
    return mode == BatchPrintMode::MMode ? QStringLiteral("样式表格") : QStringLiteral("最终表格");
}

bool IsBatchPrintable(BatchPrintMode mode, int typeId)
{
    switch (mode) {
    case BatchPrintMode::ZMode: return typeId == 6 || typeId == 7;
    case BatchPrintMode::GMode: return typeId == 3;
    case BatchPrintMode::MMode: return typeId == 5 || typeId == 11;
    }
    return false;
}

QString BatchPrintCountText(int count)
{
    return QStringLiteral("打印的表格文件数量: %1 个").arg(count);
}

int PrintedFileKind(const NodeRecord& node)
{
    if (node.TypeID != NodeKinds::ExternalFile)
        return node.TypeID;
    const QString ext = node.Ext.toLower();
    static const QStringList known{QStringLiteral(".doc"), QStringLiteral(".xls"), QStringLiteral(".wps"),
                                   QStringLiteral(".txt"), QStringLiteral(".mht")};
    const qsizetype i = known.indexOf(ext);
    return 160 + int(i < 0 ? known.size() : i);
}

int BatchPrintIcon(BatchPrintMode mode, int kind)
{
    // External documents look the same in every mode: .doc .xls .wps .txt .mht, other.
    static const int documents[] = {15, 11, 12, 13, 10, 14};
    if (kind >= 160 && kind <= 165)
        return documents[kind - 160];
    constexpr int Error = -2, Unchanged = -1;
    int icon = Error;
    switch (mode) {
    case BatchPrintMode::ZMode:
        switch (kind) {
        case 0: icon = 4; break;
        case 1: icon = 5; break;
        case 2: icon = Unchanged; break;
        case 3: case 10: icon = 1; break;
        case 4: icon = 2; break;
        case 5: case 11: icon = 3; break;
        case 6: case 7: icon = 6; break;
        }
        break;
    case BatchPrintMode::GMode:
        switch (kind) {
        case 0: icon = 4; break;
        case 1: icon = 7; break;
        case 2: icon = 1; break;
        case 3: icon = 6; break;
        }
        break;
    case BatchPrintMode::MMode:
        switch (kind) {
        case 0: icon = 4; break;
        case 3: case 10: icon = 1; break;
        case 4: icon = 2; break;
        case 5: case 11: icon = 3; break;
        case 9: icon = 0; break;
        }
        break;
    }
    if (icon == Error)
        throw QuelmarError(QStringLiteral("类型错误！"));
    return icon;
}

// ---- the dialog's tree ------------------------------------------------------------------------------------------

BatchPrintTree::BatchPrintTree(BatchPrintMode mode, AppPaths paths, QObject* parent)
    : CheckableTreeModel(BatchPrintLibrary(mode), parent), m_mode(mode), m_paths(std::move(paths))
{
}

QString BatchPrintTree::tablePath(const NodeRecord& node) const
{
    if (!IsBatchPrintable(m_mode, node.TypeID))
        return {};
    // Archived forms refer to the project library's files.
    const QString folder =
        m_mode == BatchPrintMode::MMode ? m_paths.MobanFolderPath(node.iDir) : m_paths.ZiLiaoFolderPath(node.iDir);
    return FileLayout::NodeFilePath(folder, node.File_Name, node.Ext);
}

void BatchPrintTree::build(const LibraryTreeModel& source, const QModelIndex& node)
{
    clear();
    m_files.clear();
    m_icons.clear();
    clearChecks();
    if (!node.isValid())
        return;
    try {
        const NodeRecord r = source.record(node);
        const int kind = PrintedFileKind(r);
        m_icons.insert(r.ItemID, BatchPrintIcon(m_mode, kind));
        m_files.insert(r.ItemID, TPrintedFile{kind, tablePath(r)});
        const QModelIndex top = addNode({}, r);
        copySubtree(source, node, top);
    } catch (...) {
        clear();
        m_files.clear();
        m_icons.clear();
        throw;
    }
    checkAll();
}

void BatchPrintTree::copySubtree(const LibraryTreeModel& source, const QModelIndex& from, const QModelIndex& to)
{
    for (int row = 0; row < source.rowCount(from); ++row) {
        const QModelIndex child = source.index(row, 0, from);
        const NodeRecord r = source.record(child);
        const int kind = PrintedFileKind(r);
        m_icons.insert(r.ItemID, BatchPrintIcon(m_mode, kind));
        m_files.insert(r.ItemID, TPrintedFile{kind, tablePath(r)});
        copySubtree(source, child, addNode(to, r));
    }
}

TPrintedFile BatchPrintTree::printedFile(const QModelIndex& node) const
{
    return m_files.value(node.data(ItemIdRole).toInt());
}

QList<BatchPrintItem> BatchPrintTree::items() const
{
    QList<BatchPrintItem> list;
    forEachPreOrder([&](const QModelIndex& node, int) {
        if (!isChecked(node))
            return;
        const int id = node.data(ItemIdRole).toInt();
        const QString path = m_files.value(id).path;
        if (!path.isEmpty())
            list.append(BatchPrintItem{id, node.data(Qt::DisplayRole).toString(), path});
    });
    return list;
}

QStringList BatchPrintTree::files() const
{
    QStringList paths;
    for (const BatchPrintItem& item : items())
        paths << item.path;
    return paths;
}

QVariant BatchPrintTree::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == IconIndexRole)
        return m_icons.value(index.data(ItemIdRole).toInt(), -1);
    return CheckableTreeModel::data(index, role);
}

QList<BatchPrintItem> BatchPrintItemsFor(const LibraryTreeModel& source, const QModelIndex& node,
                                         const AppPaths& paths, const QList<int>& excluded)
{
    BatchPrintTree tree(BatchPrintModeFor(source.library()), paths);
    tree.build(source, node);
    for (int id : excluded) {
        const QModelIndex n = tree.indexOfItem(id);
        if (!n.isValid())
            throw QuelmarError(QStringLiteral("要排除的节点 %1 不在打印的子树中。").arg(id));
        tree.setChecked(n, false);
    }
    return tree.items();
}
