// Rename, delete, the recycle bin and its emptying.
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/WriteUnit.h"
#include "trees/NodeOps.h"
#include "trees/PendingChangesGuard.h"
#include "users/Login.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kNotInCopy = QStringLiteral("节点信息不在数据容器中。");
const QString kRowMissing = QStringLiteral("在数据容器中找不到节点: ");
const QString kConfirmCaption = QStringLiteral("确认");

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Rename

bool NodeOps::Rename(const QModelIndex& node)
{
    const NodeRecord rec = m_ctx.data.tree.record(node);
    // The template library's rename is disabled on the bin; the same refusal keeps other callers off it.
    if (!RecycleGuard(node))
        return false;
    QString name = rec.Name;
    if (!m_ctx.prompter.askText(QStringLiteral("重命名"), QStringLiteral("请输入新的名称:"), name))
        name = rec.Name;   // cancel writes the current name back, which changes nothing
    return RenameNode(node, name);
}

bool NodeOps::RenameNode(const QModelIndex& node, const QString& name)
{
    LibraryData& data = m_ctx.data;
    NodeRecord rec = data.tree.record(node);
    CheckNodeKind(library(), rec.TypeID);
    if (name.trimmed().isEmpty()) {
        m_ctx.prompter.warn(QStringLiteral("Quelmar"), QStringLiteral("名称无效，请提供一个正确有效的名称。"));
        return false;
    }
    const RowSet::RowId row = findRow(rec, kRowMissing, true);
    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    data.rows.setValue(row, QStringLiteral("Name"), name);
    applyUpdates();   // an unchanged name leaves the change log empty and writes nothing
    rec.Name = name;
    data.tree.setRecord(node, rec);
    return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Delete

bool NodeOps::DeleteNode(const QModelIndex& node)
{
    if (library() == Library::GuiDang)
        return DeleteArchiveNode(node);
    if (!RecycleGuard(node))
        return false;
    if (!node.isValid())
        throw QuelmarError(QStringLiteral("请选择您要删除的节点！"));
    // The root holds the whole library and the bin: it can go neither into the bin nor away.
    if (m_ctx.data.tree.level(node) == 0)
        throw QuelmarError(QStringLiteral("不能删除最顶层节点！"));
    if (IsInRecycleBin(m_ctx.data.tree, node))
        return PurgeNode(node);   // the bin's icon follows its children in the tree model
    return RecycleNode(node);
}

bool NodeOps::RecycleNode(const QModelIndex& node)
{
    LibraryData& data = m_ctx.data;
    NodeRecord rec = data.tree.record(node);
    CheckNodeKind(library(), rec.TypeID);
    // Neither the root nor the bin can go into the bin: either would make the tree its own descendant.
    if (data.tree.level(node) == 0)
        throw QuelmarError(QStringLiteral("不能删除最顶层节点！"));
    if (!RecycleGuard(node))
        return false;
    if (!m_ctx.prompter.confirm(QStringLiteral("确认删除"), QStringLiteral("确实要把 “%1” 放入回收站吗？").arg(rec.Name)))
        return false;
    const QPersistentModelIndex bin = data.recycleNode();
    if (!bin.isValid())
        throw QuelmarError(library() == Library::Moban ? QStringLiteral("没有找到模板库的回收站点！")
                                                       : QStringLiteral("没有找到资料库的回收站点！"));
    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm);
    unit.track(data.rows);

    const int binKey = bin.data(LibraryTreeModel::ItemIdRole).toInt();
    const int newRow = data.tree.rowCount(bin);
    const RowSet::RowId row = findRow(rec, kNotInCopy, false);
    data.rows.setValues(row, {{QStringLiteral("iPartIndex"), newRow}, {QStringLiteral("P_ItemID"), binKey}});
    if (!data.rows.hasChanges())
        throw QuelmarError(QStringLiteral("新的节点信息未插入到数据容器中！"));
    applyUpdates();

    // The subtree goes under the bin as it is: the descendants keep their rows, which still point to their parents.
    const QPersistentModelIndex moving = node;
    const QPersistentModelIndex oldParent = node.parent();
    const int oldRow = node.row();
    const bool topLevel = data.tree.level(node) == 1;
    const NodeRecord oldRec = rec;
    rec.P_ItemID = binKey;
    data.tree.setRecord(node, rec);
    data.tree.moveNode(node, bin);
    unit.onRollback([&data, moving, oldParent, oldRow, oldRec] {
        data.tree.moveNode(moving, oldParent, oldRow);
        data.tree.setRecord(moving, oldRec);
    });

    // Below the root the following siblings (the bin included) close the gap, so the bin's iPartIndex stays its
    // index; deeper levels keep a gap, which does not change their order.
    if (topLevel) {
        if (!RenumberSiblings(data, oldParent, oldRow, kNotInCopy))
            throw QuelmarError(QStringLiteral("节点位置未改变？"));
        applyUpdates();
    }
    unit.commit();
    return true;
}

bool NodeOps::PurgeNode(const QModelIndex& node)
{
    LibraryData& data = m_ctx.data;
    const NodeRecord rec = data.tree.record(node);
    CheckNodeKind(library(), rec.TypeID);
    if (!m_ctx.prompter.confirm(kConfirmCaption, QStringLiteral("确实要删除节点: ") + rec.Name))
        return false;
    // The viewer lets go of the file it shows before files are deleted; a purge the user declined leaves it open.
    m_ctx.viewer.closeIfOpen();
    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm, m_ctx.paths);
    unit.track(data.rows);
    QSet<int> dirs;
    purgeSubtreeRows(unit, node, dirs);
    if (!data.rows.hasChanges())
        throw QuelmarError(kNotInCopy);
    m_ctx.prompter.status(QStringLiteral("正在刷新数据容器..."));
    applyUpdates();
    removeFoldersIfUnused(unit, dirs);
    unit.commit();
    data.tree.removeNode(node);
    reportLeftovers(unit);
    return true;
}

// The node, then each child in order: its file goes after the rows are written (a file that is already gone
// counts as removed) and its row goes now. The database removes the rows that depend on it (header-fill record,
// project overview).
void NodeOps::purgeSubtreeRows(WriteUnit& unit, const QModelIndex& node, QSet<int>& dirs)
{
    LibraryData& data = m_ctx.data;
    const NodeRecord rec = data.tree.record(node);
    m_ctx.prompter.status(QStringLiteral("正在删除节点: ") + rec.Name);
    const NodeKind& kind = CheckNodeKind(library(), rec.TypeID);
    if (kind.ownsTableFile || kind.ownsExternalFile)
        unit.removeFileAfterCommit(nodeFile(rec));
    dirs.insert(rec.iDir);
    data.rows.remove(findRow(rec, kRowMissing, true));
    for (int r = 0; r < data.tree.rowCount(node); ++r)
        purgeSubtreeRows(unit, data.tree.index(r, 0, node), dirs);
}

// The folders of the purged nodes go when no row of the library (of any user) uses their number any more; asked
// inside the write, so the answer already counts the purged rows out.
void NodeOps::removeFoldersIfUnused(WriteUnit& unit, const QSet<int>& dirs)
{
    const bool moban = library() == Library::Moban;
    for (int iDir : dirs) {
        const bool unused = moban ? m_ctx.dm.IsMobanDirEmpty(iDir) : m_ctx.dm.IsZiLiaoDirEmpty(iDir);
        if (!unused || !QFileInfo(folderOf(iDir)).exists())
            continue;
        m_ctx.prompter.status(moban ? QStringLiteral("正在移除虚拟的模板库目录...")
                                    : QStringLiteral("正在移除虚拟的工程库目录..."));
        unit.removeFolderAfterCommit(folderOf(iDir));
    }
}

// The rows are gone by now; what could not be removed from the disk is only reported (the work journal removes it
// at a later write).
void NodeOps::reportLeftovers(const WriteUnit& unit)
{
    if (unit.leftovers().isEmpty())
        return;
    const bool moban = library() == Library::Moban;
    bool folder = false;
    for (const QString& path : unit.leftovers())
        folder |= path.endsWith(QLatin1Char('/'));
    const QString text = folder ? (moban ? QStringLiteral("无法删除虚拟的模板库目录。") : QStringLiteral("无法删除虚拟的工程库目录。"))
                                : QStringLiteral("无法删除“%1”文件？").arg(unit.leftovers().first());
    m_ctx.prompter.warn(QStringLiteral("Quelmar"), text);
}

bool NodeOps::EmptyRecycleBin(const QModelIndex& selected)
{
    if (!LibraryHasRecycleBin(library()))
        throw QuelmarError(QStringLiteral("档案库没有回收站。"));
    LibraryData& data = m_ctx.data;
    const QPersistentModelIndex bin = data.recycleNode();
    if (!bin.isValid())
        throw QuelmarError(library() == Library::Moban ? QStringLiteral("没有找到模板库的回收站点！")
                                                       : QStringLiteral("没有找到资料库的回收站点！"));
    if (data.tree.rowCount(bin) == 0)
        throw QuelmarError(QStringLiteral("空的！"));
    if (!m_ctx.prompter.confirm(kConfirmCaption, QStringLiteral("您要清空回收站吗？")))
        return false;
    if (selected.isValid() && IsInRecycleBin(data.tree, selected))
        m_ctx.viewer.closeIfOpen();

    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    // The whole bin is one unit: it is emptied, or nothing of it goes. One write per child, last to first.
    WriteUnit unit(m_ctx.dm, m_ctx.paths);
    unit.track(data.rows);
    QSet<int> dirs;
    for (int r = data.tree.rowCount(bin) - 1; r >= 0; --r) {
        const QModelIndex child = data.tree.index(r, 0, bin);
        m_ctx.prompter.status(QStringLiteral("正准备删除节点: ") + data.tree.record(child).Name);
        purgeSubtreeRows(unit, child, dirs);
        m_ctx.prompter.status(QStringLiteral("正在局部刷新数据容器..."));
        applyUpdates();
    }
    removeFoldersIfUnused(unit, dirs);
    unit.commit();
    while (data.tree.rowCount(bin) > 0)
        data.tree.removeNode(data.tree.index(data.tree.rowCount(bin) - 1, 0, bin));
    m_ctx.prompter.status(bin.data().toString());
    if (m_ctx.objectCountStatus)
        m_ctx.objectCountStatus(QStringLiteral("%1 个对象").arg(data.tree.rowCount(bin)));
    reportLeftovers(unit);
    return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Archive

bool NodeOps::DeleteArchiveNode(const QModelIndex& node)
{
    LibraryData& data = m_ctx.data;
    if (!node.isValid())
        throw QuelmarError(QStringLiteral("请选择您要删除的节点！"));
    if (data.tree.level(node) == 0)
        throw QuelmarError(QStringLiteral("不能删除最顶层节点！"));
    const NodeRecord rec = data.tree.record(node);
    CheckNodeKind(Library::GuiDang, rec.TypeID);
    if (!m_ctx.prompter.confirm(kConfirmCaption, QStringLiteral("确实要删除节点: ") + rec.Name))
        return false;
    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    // Archive nodes refer to the project library's files: only rows go.
    const std::function<void(const QModelIndex&)> deleteRows = [&](const QModelIndex& n) {
        const NodeRecord r = data.tree.record(n);
        m_ctx.prompter.status(QStringLiteral("正在删除节点: ") + r.Name);
        data.rows.remove(findRow(r, kRowMissing, true));
        for (int c = 0; c < data.tree.rowCount(n); ++c)
            deleteRows(data.tree.index(c, 0, n));
    };
    deleteRows(node);
    if (!data.rows.hasChanges())
        throw QuelmarError(kNotInCopy);
    m_ctx.prompter.status(QStringLiteral("正在刷新数据容器..."));
    applyUpdates();
    data.tree.removeNode(node);
    return true;
}
