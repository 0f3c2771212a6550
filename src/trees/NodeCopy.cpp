// Copy and move of subtrees inside the template, project and archive libraries.
#include "trees/NodeCopy.h"

#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/WriteUnit.h"
#include "trees/NodeFiles.h"
#include "trees/PendingChangesGuard.h"
#include "users/Login.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {

const QString kPartIndex = QStringLiteral("iPartIndex");
const QString kRowMissing = QStringLiteral("在数据容器中找不到节点: ");
const QString kTableExt = QStringLiteral(".cll");
const QString kCaption = QStringLiteral("Quelmar");

// One node of a copy, planned before anything is written.
struct PlannedCopy {
    NodeRecord rec;
    NodeRecord source;
    int partIndex = 0;   // among the copy's siblings (the top node: set by the renumbering)
    bool newFolder = false;
};

// File numbers of a folder handed out one after the other from the first free one (the write lock keeps them ours).
class FileNumbers {
public:
    FileNumbers(TDataPoolDM& dm, Library library) : m_dm(dm), m_moban(library == Library::Moban) {}
    int next(int iDir)
    {
        auto it = m_next.find(iDir);
        if (it == m_next.end())
            it = m_next.insert(iDir, m_moban ? m_dm.NewMobanFileNo(iDir) : m_dm.NewZiLiaoFileNo(iDir));
        return it.value()++;
    }

private:
    TDataPoolDM& m_dm;
    bool m_moban;
    QHash<int, int> m_next;
};

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString DropTargetMessage(const QString& targetName, DropPlace place)
{
    switch (place) {
    case DropPlace::Child: return QStringLiteral("目标位置: %1->最后一个节点。").arg(targetName);
    case DropPlace::Prior: return QStringLiteral("目标位置: %1->上方节点。").arg(targetName);
    case DropPlace::Next: return QStringLiteral("目标位置: %1->下方节点。").arg(targetName);
    }
    return {};
}

SubtreeOps::SubtreeOps(NodeOpsContext ctx) : m_ctx(std::move(ctx)) {}

void SubtreeOps::applyUpdates()
{
    m_ctx.data.applyUpdates(m_ctx.dm, m_ctx.login.opName);
}

QModelIndex SubtreeOps::CopySubtree(const QModelIndex& source, const QModelIndex& target, DropPlace place)
{
    const QString refusal = SelfDropRefusal(m_ctx.data.tree, source, target, false, place);
    if (!refusal.isEmpty())
        throw QuelmarError(refusal);
    if (library() == Library::GuiDang)
        return copyInArchive(source, target, place);
    return copyInLibrary(source, target, place);
}

QModelIndex SubtreeOps::MoveSubtree(const QModelIndex& source, const QModelIndex& target, DropPlace place)
{
    m_relocated = false;
    const QString refusal = SelfDropRefusal(m_ctx.data.tree, source, target, true, place);
    if (!refusal.isEmpty())
        throw QuelmarError(refusal);
    // As a child of the parent it already has, nothing would change.
    if (place == DropPlace::Child && source.parent() == target) {
        m_ctx.prompter.warn(kCaption, QStringLiteral("无法移动“%1”：目标节点和源节点相同。").arg(source.data().toString()));
        return {};
    }
    if (library() == Library::GuiDang)
        return moveInArchive(source, target, place);
    return moveInLibrary(source, target, place);
}

// ---------------------------------------------------------------------------------------------------------------
// Copy in the template and project libraries

QModelIndex SubtreeOps::copyInLibrary(const QModelIndex& sourceIndex, const QModelIndex& target, DropPlace place)
{
    LibraryData& data = m_ctx.data;
    LibraryTreeModel& tree = data.tree;
    const Library lib = library();
    const bool moban = lib == Library::Moban;
    const NodeRecord top = tree.record(sourceIndex);
    const NodeRecord targetRec = tree.record(target);
    const QPersistentModelIndex newParent = place == DropPlace::Child ? QModelIndex(target) : target.parent();
    const NodeRecord parentRec = tree.record(newParent);
    const QPersistentModelIndex bin = data.recycleNode();
    const bool underRoot = tree.level(newParent) == 0;

    BusyCursor busy(m_ctx.prompter);
    m_ctx.prompter.status(QStringLiteral("正准备复制..."));
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm, m_ctx.paths);
    unit.track(data.rows);
    RequireNodeRow(m_ctx.dm, lib, top.ItemID);
    RequireNodeRow(m_ctx.dm, lib, parentRec.ItemID);

    // The plan: every node of the source subtree in pre-order with its new numbers.
    int nextKey = moban ? m_ctx.dm.NewMobanKey() : m_ctx.dm.NewZiLiaoKey();
    int nextFill = 0;
    int firstFill = 0;
    FileNumbers files(m_ctx.dm, lib);
    QList<PlannedCopy> plan;
    const std::function<void(const QModelIndex&, int, int, int)> planNode = [&](const QModelIndex& node, int parentKey,
                                                                               int parentDir, int partIndex) {
        PlannedCopy p;
        p.source = tree.record(node);
        const NodeKind& kind = CheckNodeKind(lib, p.source.TypeID);
        const bool isTop = plan.isEmpty();
        p.rec.TypeID = p.source.TypeID;
        p.rec.ItemID = nextKey++;
        p.rec.Name = p.source.Name;
        p.rec.P_ItemID = parentKey;
        if (isTop) {
            // A template (project) gets a folder of its own; anything else lives in the folder of where it lands.
            p.newFolder = kind.ownsFolder || (place == DropPlace::Child && underRoot);
            p.rec.iDir = p.newFolder ? (moban ? m_ctx.dm.NewMobanDirNo() : m_ctx.dm.NewZiLiaoDirNo())
                                     : (place == DropPlace::Child ? parentRec.iDir : targetRec.iDir);
        } else {
            p.rec.iDir = parentDir;
        }
        if (kind.ownsTableFile || kind.ownsExternalFile) {
            p.rec.File_Name = files.next(p.rec.iDir);
            p.rec.Ext = kind.ownsTableFile ? kTableExt : p.source.Ext;
        }
        if (kind.ownsFillRange) {
            if (nextFill == 0)
                firstFill = nextFill = m_ctx.dm.NewFillRangeKey();
            p.rec.FillMode = nextFill++;
        }
        p.partIndex = partIndex;
        plan.append(p);
        const int key = p.rec.ItemID;
        const int dir = p.rec.iDir;
        for (int r = 0; r < tree.rowCount(node); ++r)
            planNode(tree.index(r, 0, node), key, dir, r);
    };
    planNode(sourceIndex, parentRec.ItemID, 0, 0);

    // Folders and files, node by node.
    RowSet fills(QStringLiteral("ID"));
    if (firstFill != 0)
        fills.load(m_ctx.dm.GetHeadingFillRangeData(firstFill), QStringLiteral("ID"));
    for (const PlannedCopy& p : std::as_const(plan)) {
        m_ctx.prompter.status(QStringLiteral("正在复制节点: %1").arg(p.source.Name));
        if (p.newFolder)
            unit.createFolder(NodeFolder(m_ctx.paths, lib, p.rec.iDir), true);
        const NodeKind& kind = CheckNodeKind(lib, p.rec.TypeID);
        if (kind.ownsTableFile || kind.ownsExternalFile) {
            const QString from = NodeFile(m_ctx.paths, lib, p.source);
            if (!FileLayout::NodeFileExists(from))
                throw QuelmarError(QStringLiteral("节点“%1”的文件不存在？").arg(p.source.Name));
            if (!unit.copyFile(from, NodeFile(m_ctx.paths, lib, p.rec)))
                throw QuelmarError(QStringLiteral("创建物理表格失败！"));
        }
        // A copied form starts with a header-fill record of its own that holds nothing but its ID.
        if (kind.ownsFillRange) {
            if (fills.find(p.rec.FillMode) >= 0)
                throw QuelmarError(QStringLiteral("%1 样式已经存在！").arg(p.rec.FillMode));
            fills.append({{QStringLiteral("ID"), p.rec.FillMode}});
        }
    }
    if (fills.isOpen() && fills.hasChanges())
        m_ctx.dm.ApplyHeadingFillRangeUpdates(firstFill, fills.changeLog());

    // The tree: the copy as the new parent's last child (a template or project just above the recycle bin), just
    // before or just after the target; then its subtree below it in order.
    int row = tree.rowCount(newParent);
    if (place == DropPlace::Prior)
        row = target.row();
    else if (place == DropPlace::Next)
        row = target.row() + 1;
    else if (underRoot && bin.isValid() && bin.parent() == newParent)
        row = bin.row();
    const QPersistentModelIndex copy = tree.addNode(newParent, plan.first().rec, row);
    unit.onRollback([&tree, copy] {
        if (copy.isValid())
            tree.removeNode(copy);
    });
    for (qsizetype i = 1; i < plan.size(); ++i)
        tree.addNode(tree.indexOfItem(plan.at(i).rec.P_ItemID), plan.at(i).rec);

    for (const PlannedCopy& p : std::as_const(plan)) {
        QVariantMap values = p.rec.toValues();
        values.insert(kPartIndex, &p == &plan.first() ? copy.row() : p.partIndex);
        if (LibraryHasOwner(lib))
            values.insert(QStringLiteral("UserID"), m_ctx.login.opName);
        data.rows.append(values);
    }
    if (data.rows.pendingCount() < plan.size())
        throw QuelmarError(QStringLiteral("源节点信息未插入到数据容器中。"));

    // Every sibling at the destination takes its place in the tree as iPartIndex (gaps left by earlier deletions
    // included, so that the order read back is the order shown); below the root that moves the recycle bin's row.
    if (place != DropPlace::Child)
        m_ctx.prompter.status(QStringLiteral("刷新相对位置..."));
    if (place == DropPlace::Child && underRoot && bin.isValid()) {
        if (data.rows.find(bin.data(LibraryTreeModel::ItemIdRole)) < 0)
            throw QuelmarError(QStringLiteral("回收站没有找到？"));
    }
    const bool changed = RenumberSiblings(data, newParent, 0, kRowMissing, true);
    if (place == DropPlace::Prior && !changed)
        throw QuelmarError(QStringLiteral("复制为同级上方节点？"));
    applyUpdates();
    unit.commit();

    m_ctx.prompter.status(QStringLiteral("复制完成！"));
    m_ctx.prompter.inform(kCaption, DropTargetMessage(targetRec.Name, place));
    m_ctx.prompter.status(QStringLiteral("当前节点: %1").arg(top.Name));
    return copy;
}

// ---------------------------------------------------------------------------------------------------------------
// Copy in the archive library: rows only, referring to the same project files.

QModelIndex SubtreeOps::copyInArchive(const QModelIndex& sourceIndex, const QModelIndex& target, DropPlace place)
{
    LibraryData& data = m_ctx.data;
    LibraryTreeModel& tree = data.tree;
    const NodeRecord top = tree.record(sourceIndex);
    const QPersistentModelIndex newParent = place == DropPlace::Child ? QModelIndex(target) : target.parent();
    const NodeRecord parentRec = tree.record(newParent);
    const bool asChild = place == DropPlace::Child;

    BusyCursor busy(m_ctx.prompter);
    if (asChild)
        m_ctx.prompter.status(QStringLiteral("正准备复制..."));
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm);
    unit.track(data.rows);
    RequireNodeRow(m_ctx.dm, Library::GuiDang, top.ItemID);
    RequireNodeRow(m_ctx.dm, Library::GuiDang, parentRec.ItemID);

    int nextKey = m_ctx.dm.NewGuiDangKey();
    QList<PlannedCopy> plan;
    const std::function<void(const QModelIndex&, int, int)> planNode = [&](const QModelIndex& node, int parentKey,
                                                                          int partIndex) {
        PlannedCopy p;
        p.source = tree.record(node);
        CheckNodeKind(Library::GuiDang, p.source.TypeID);
        p.rec = p.source;
        p.rec.ItemID = nextKey++;
        p.rec.P_ItemID = parentKey;
        p.partIndex = partIndex;
        plan.append(p);
        const int key = p.rec.ItemID;
        for (int r = 0; r < tree.rowCount(node); ++r)
            planNode(tree.index(r, 0, node), key, r);
    };
    planNode(sourceIndex, parentRec.ItemID, 0);

    int row = asChild ? tree.rowCount(newParent) : place == DropPlace::Prior ? target.row() : target.row() + 1;
    const QPersistentModelIndex copy = tree.addNode(newParent, plan.first().rec, row);
    unit.onRollback([&tree, copy] {
        if (copy.isValid())
            tree.removeNode(copy);
    });
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const PlannedCopy& p = plan.at(i);
        if (asChild)
            m_ctx.prompter.status(QStringLiteral("正在复制节点: %1").arg(p.source.Name));
        if (i > 0)
            tree.addNode(tree.indexOfItem(p.rec.P_ItemID), p.rec);
        QVariantMap values = p.rec.toValues();
        values.insert(kPartIndex, i == 0 ? copy.row() : p.partIndex);
        values.insert(QStringLiteral("UserID"), m_ctx.login.opName);
        data.rows.append(values);
    }
    if (data.rows.pendingCount() < plan.size())
        throw QuelmarError(QStringLiteral("源节点信息未插入到数据容器中。"));
    const bool changed = RenumberSiblings(data, newParent, 0, kRowMissing, true);
    if (place == DropPlace::Prior && !changed)
        throw QuelmarError(QStringLiteral("复制为同级上方节点？"));
    applyUpdates();
    unit.commit();
    if (asChild) {
        m_ctx.prompter.status(QStringLiteral("复制完成！"));
        m_ctx.prompter.status(QStringLiteral("当前节点: %1").arg(top.Name));
    }
    return copy;
}

// ---------------------------------------------------------------------------------------------------------------
// Move in the template and project libraries

QModelIndex SubtreeOps::moveInLibrary(const QModelIndex& sourceIndex, const QModelIndex& target, DropPlace place)
{
    LibraryData& data = m_ctx.data;
    LibraryTreeModel& tree = data.tree;
    const Library lib = library();
    const NodeRecord src = tree.record(sourceIndex);
    const NodeKind& srcKind = CheckNodeKind(lib, src.TypeID);
    const NodeRecord targetRec = tree.record(target);
    const QPersistentModelIndex newParent = place == DropPlace::Child ? QModelIndex(target) : target.parent();
    const NodeRecord parentRec = tree.record(newParent);
    const QPersistentModelIndex bin = data.recycleNode();
    const bool toRootAboveBin = place == DropPlace::Child && tree.level(newParent) == 0 && bin.isValid()
                                && bin.parent() == newParent;

    BusyCursor busy(m_ctx.prompter);
    m_ctx.prompter.status(QStringLiteral("正准备移动..."));
    m_ctx.prompter.status(QStringLiteral("改变源拖动节点的父节点指向..."));
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm, m_ctx.paths);
    unit.track(data.rows);
    RequireNodeRow(m_ctx.dm, lib, src.ItemID);
    RequireNodeRow(m_ctx.dm, lib, parentRec.ItemID);

    const RowSet::RowId srcRow = data.rows.find(src.ItemID);
    if (srcRow < 0)
        throw QuelmarError(kRowMissing + src.Name);
    data.rows.setValue(srcRow, QStringLiteral("P_ItemID"), parentRec.ItemID);

    // A subtree that lands in another template's (project's) folder takes its files along, renumbered from the
    // first free number there; a template (project) keeps its own folder wherever it goes.
    QHash<int, NodeRecord> records;   // ItemID -> the record after the move, for the tree
    NodeRecord moved = src;
    moved.P_ItemID = parentRec.ItemID;
    records.insert(src.ItemID, moved);
    m_ctx.prompter.status(QStringLiteral("正准备改变移动子树所有节点附属信息..."));
    if (!srcKind.ownsFolder && src.iDir != targetRec.iDir) {
        const int newDir = targetRec.iDir;
        m_relocated = true;
        // The viewer lets go of the file before it moves; the moved node is shown again afterwards.
        m_ctx.viewer.closeIfOpen();
        FileNumbers numbers(m_ctx.dm, lib);
        const QString folder = NodeFolder(m_ctx.paths, lib, newDir);
        unit.createFolder(folder, false);
        QList<std::pair<QString, QString>> moves;
        // RelocateSubtreeFiles, in pre-order.
        const std::function<void(const QModelIndex&)> relocate = [&](const QModelIndex& node) {
            NodeRecord rec = records.value(tree.record(node).ItemID, tree.record(node));
            m_ctx.prompter.status(QStringLiteral("修改节点: “%1”附属信息、移动文件").arg(rec.Name));
            const NodeKind& kind = CheckNodeKind(lib, rec.TypeID);
            int fileNo = 0;
            if (kind.ownsTableFile || kind.ownsExternalFile) {
                const QString from = NodeFile(m_ctx.paths, lib, rec);
                if (!FileLayout::NodeFileExists(from))
                    throw QuelmarError(QStringLiteral("文件“%1”不存在？").arg(nativePath(from)));
                fileNo = numbers.next(newDir);
                const QString to = FileLayout::NodeFilePath(folder, fileNo, rec.Ext);
                if (QFileInfo::exists(to))
                    throw QuelmarError(QStringLiteral("文件“%1”存在？").arg(nativePath(to)));
                moves.append({from, to});
            }
            rec.iDir = newDir;
            rec.File_Name = fileNo;
            const RowSet::RowId row = data.rows.find(rec.ItemID);
            if (row < 0)
                throw QuelmarError(QStringLiteral("节点“%1”没有找到？").arg(rec.Name));
            data.rows.setValues(row, {{QStringLiteral("iDir"), newDir}, {QStringLiteral("File_Name"), fileNo}});
            records.insert(rec.ItemID, rec);
            for (int r = 0; r < tree.rowCount(node); ++r)
                relocate(tree.index(r, 0, node));
        };
        relocate(sourceIndex);
        // The files go together once every row is planned (one journal write for all of them).
        if (unit.moveFiles(moves) < moves.size())
            throw QuelmarError(QStringLiteral("移动文件出错？"));
    }

    // The tree: a template (project) under the root goes just above the recycle bin, anything else as the target's
    // last child; or just before or after the target.
    m_ctx.prompter.status(QStringLiteral("移动拖动的子树..."));
    const QPersistentModelIndex oldParent = sourceIndex.parent();
    const int oldRow = sourceIndex.row();
    int before = -1;
    if (place == DropPlace::Prior)
        before = target.row();
    else if (place == DropPlace::Next)
        before = target.row() + 1;
    else if (toRootAboveBin && srcKind.ownsFolder)
        before = bin.row();
    QHash<int, NodeRecord> oldRecords;
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        oldRecords.insert(it.key(), tree.record(tree.indexOfItem(it.key())));
    const QPersistentModelIndex node = tree.moveNode(sourceIndex, newParent, before);
    unit.onRollback([&tree, node, oldParent, oldRow, oldRecords] {
        for (auto it = oldRecords.cbegin(); it != oldRecords.cend(); ++it)
            tree.setRecord(tree.indexOfItem(it.key()), it.value());
        const int back = node.parent() == oldParent && node.row() < oldRow ? oldRow + 1 : oldRow;
        tree.moveNode(node, oldParent, back < tree.rowCount(oldParent) ? back : -1);
    });
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        tree.setRecord(tree.indexOfItem(it.key()), it.value());
    // A form is shown again from where its file now lies (the caller selects the moved node).
    if (srcKind.ownsTableFile)
        m_ctx.prompter.status(QStringLiteral("重新打开文件..."));

    // Both sibling lists are numbered as the tree shows them (gaps included).
    m_ctx.prompter.status(QStringLiteral("正刷新源节点相邻节点的相对位置..."));
    if (oldParent != newParent)
        RenumberSiblings(data, oldParent, 0, kRowMissing, true);
    if (place != DropPlace::Child)
        m_ctx.prompter.status(QStringLiteral("正刷新目标节点相邻节点的相对位置..."));
    RenumberSiblings(data, newParent, 0, kRowMissing, true);
    if (toRootAboveBin && srcKind.ownsFolder) {
        m_ctx.prompter.status(QStringLiteral("正在刷新回收站节点的相对位置..."));
        if (data.rows.find(bin.data(LibraryTreeModel::ItemIdRole)) < 0)
            throw QuelmarError(QStringLiteral("位置无法改变！回收站没有找到？"));
    }
    // Dropped where it already stands: nothing to write.
    if (!data.rows.hasChanges())
        throw QuelmarError(QStringLiteral("父节点没有指定？"));
    applyUpdates();
    unit.commit();

    m_ctx.prompter.status(QStringLiteral("移动完成！"));
    m_ctx.prompter.inform(kCaption, DropTargetMessage(targetRec.Name, place));
    m_ctx.prompter.status(QStringLiteral("当前节点: %1").arg(src.Name));
    return node;
}

// ---------------------------------------------------------------------------------------------------------------
// Move in the archive library: rows only.

QModelIndex SubtreeOps::moveInArchive(const QModelIndex& sourceIndex, const QModelIndex& target, DropPlace place)
{
    LibraryData& data = m_ctx.data;
    LibraryTreeModel& tree = data.tree;
    NodeRecord src = tree.record(sourceIndex);
    CheckNodeKind(Library::GuiDang, src.TypeID);
    const QPersistentModelIndex newParent = place == DropPlace::Child ? QModelIndex(target) : target.parent();
    const NodeRecord parentRec = tree.record(newParent);

    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm);
    unit.track(data.rows);
    RequireNodeRow(m_ctx.dm, Library::GuiDang, src.ItemID);
    RequireNodeRow(m_ctx.dm, Library::GuiDang, parentRec.ItemID);
    const RowSet::RowId srcRow = data.rows.find(src.ItemID);
    if (srcRow < 0)
        throw QuelmarError(kRowMissing + src.Name);
    data.rows.setValue(srcRow, QStringLiteral("P_ItemID"), parentRec.ItemID);

    const QPersistentModelIndex oldParent = sourceIndex.parent();
    const int oldRow = sourceIndex.row();
    const NodeRecord oldRec = src;
    const int before = place == DropPlace::Prior ? target.row() : place == DropPlace::Next ? target.row() + 1 : -1;
    const QPersistentModelIndex node = tree.moveNode(sourceIndex, newParent, before);
    unit.onRollback([&tree, node, oldParent, oldRow, oldRec] {
        tree.setRecord(node, oldRec);
        const int back = node.parent() == oldParent && node.row() < oldRow ? oldRow + 1 : oldRow;
        tree.moveNode(node, oldParent, back < tree.rowCount(oldParent) ? back : -1);
    });
    src.P_ItemID = parentRec.ItemID;
    tree.setRecord(node, src);
    if (oldParent != newParent)
        RenumberSiblings(data, oldParent, 0, kRowMissing, true);
    RenumberSiblings(data, newParent, 0, kRowMissing, true);
    if (!data.rows.hasChanges())
        throw QuelmarError(QStringLiteral("Delta is null."));
    applyUpdates();
    unit.commit();
    return node;
}
