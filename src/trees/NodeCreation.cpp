// Node creation: the New actions of the three libraries.
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/WriteUnit.h"
#include "trees/NodeOps.h"
#include "trees/PendingChangesGuard.h"
#include "users/Login.h"

#include <QFileInfo>

namespace {

const QString kInvalidName = QStringLiteral("名称无效，请提供一个正确有效的名称。");
const QString kTableFileExt = QStringLiteral(".cll");

QString kindList(Library library, const QList<int>& kinds)
{
    if (kinds.isEmpty())
        return QStringLiteral("无");
    QStringList parts;
    for (int k : kinds) {
        const NodeKind* kind = FindNodeKind(library, k);
        parts << QStringLiteral("%1 %2").arg(k).arg(kind ? kind->name : QString());
    }
    return parts.join(QStringLiteral("、"));
}

} // namespace

QModelIndex NodeOps::NewNode(const QModelIndex& selected, int typeId)
{
    const NodeRecord parent = m_ctx.data.tree.record(selected);
    if (!RecycleGuard(selected))
        return {};
    CheckNodeKind(library(), parent.TypeID);
    const QList<int> offered = NewMenuKinds(library(), parent.TypeID);
    if (!offered.contains(typeId))
        throw QuelmarError(QStringLiteral("“%1”下不能新建类型为 %2 的节点；可新建的类型：%3。")
                               .arg(parent.Name)
                               .arg(typeId)
                               .arg(kindList(library(), offered)));
    QString name;
    if (!m_ctx.prompter.askText(NewNodeCaption(library(), typeId), QStringLiteral("请输入名称:"), name))
        return {};
    return CreateNode(typeId, selected, name);
}

QModelIndex NodeOps::CreateNode(int typeId, const QModelIndex& parent, const QString& name)
{
    m_headerFillPending = false;
    if (library() == Library::GuiDang)
        return createInArchive(typeId, parent, name);
    return createInLibrary(typeId, parent, name);
}

QModelIndex NodeOps::createInLibrary(int typeId, const QModelIndex& parentIndex, const QString& name)
{
    LibraryData& data = m_ctx.data;
    const Library lib = library();
    const bool moban = lib == Library::Moban;
    const NodeRecord parent = data.tree.record(parentIndex);
    CheckNodeKind(lib, parent.TypeID);
    const NodeKind& kind = CheckNodeKind(lib, typeId);
    if (!moban && typeId == 1)
        throw QuelmarError(QStringLiteral("新工程由新建工程向导按模板建立。"));
    if (typeId == NodeKinds::ExternalFile)
        throw QuelmarError(QStringLiteral("外部文件节点通过导入文档建立。"));
    if (typeId == NodeKinds::Root || typeId == NodeKinds::RecycleBin)
        throw QuelmarError(QStringLiteral("节点类型不正确！"));

    if (name.trimmed().isEmpty()) {
        m_ctx.prompter.warn(QStringLiteral("Quelmar"), kInvalidName);
        return {};
    }
    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    // Numbers are drawn under the write lock, so no other program draws the same ones before these rows exist.
    WriteUnit unit(m_ctx.dm, m_ctx.paths);
    unit.track(data.rows);
    RequireNodeRow(m_ctx.dm, lib, parent.ItemID);

    NodeRecord rec;
    rec.TypeID = typeId;
    rec.ItemID = moban ? m_ctx.dm.NewMobanKey() : m_ctx.dm.NewZiLiaoKey();
    rec.Name = name;
    rec.P_ItemID = parent.ItemID;
    rec.iDir = (moban && kind.ownsFolder) ? m_ctx.dm.NewMobanDirNo() : parent.iDir;
    if (kind.ownsTableFile) {
        rec.File_Name = moban ? m_ctx.dm.NewMobanFileNo(rec.iDir) : m_ctx.dm.NewZiLiaoFileNo(rec.iDir);
        rec.Ext = kTableFileExt;
        rec.FillMode = m_ctx.dm.NewFillRangeKey();
    }

    if (moban && kind.ownsFolder)
        unit.createFolder(folderOf(rec.iDir), true);
    const bool copiedForm = !moban && (typeId == 6 || typeId == 7);
    if (copiedForm)
        copyParentForm(unit, parent, rec);
    else if (kind.ownsTableFile)
        makeBlankForm(unit, rec);

    // A new template goes just above the recycle bin, which stays the root's last child.
    const QPersistentModelIndex bin = data.recycleNode();
    const bool aboveBin = moban && data.tree.level(parentIndex) == 0 && bin.isValid() && bin.parent() == parentIndex;
    const int row = aboveBin ? bin.row() : data.tree.rowCount(parentIndex);

    QVariantMap values = rec.toValues();
    values.insert(QStringLiteral("iPartIndex"), row);
    if (LibraryHasOwner(lib))
        values.insert(QStringLiteral("UserID"), m_ctx.login.opName);
    data.rows.append(values);
    if (!data.rows.hasChanges())
        throw QuelmarError(QStringLiteral("新的节点信息未插入到数据容器中！"));
    if (aboveBin) {
        const RowSet::RowId binRow = data.rows.find(bin.data(LibraryTreeModel::ItemIdRole));
        if (binRow < 0)
            throw QuelmarError(QStringLiteral("没找到回收站点！"));
        data.rows.setValue(binRow, QStringLiteral("iPartIndex"), bin.row() + 1);
        if (data.rows.pendingCount() < 2)
            throw QuelmarError(QStringLiteral("回收站的位置未改变？"));
    }
    applyUpdates();
    unit.commit();
    const QModelIndex created = data.tree.addNode(parentIndex, rec, row);

    // The header values are filled in when the new form is first shown. Marked only once the form exists: a
    // creation that failed half-way must not have the next table shown filled with them.
    if (copiedForm) {
        m_headerFillPending = true;
        if (m_ctx.headerFillPending)
            *m_ctx.headerFillPending = true;
    }
    return created;
}

// A new sub-item or general form style: a copy of the blank table file and an empty header-fill record.
void NodeOps::makeBlankForm(WriteUnit& unit, const NodeRecord& rec)
{
    const QString blank = m_ctx.paths.BlankTableFile;
    if (!QFileInfo(blank).isFile())
        throw QuelmarError(QStringLiteral("系统模板文件不存在！请与开发商联系。"));
    if (!unit.copyFile(blank, nodeFile(rec)))
        throw QuelmarError(QStringLiteral("创建物理表格失败！"));
    RowSet fill;
    fill.load(m_ctx.dm.GetHeadingFillRangeData(rec.FillMode), QStringLiteral("ID"));
    if (fill.totalCount() > 0)
        throw QuelmarError(QStringLiteral("%1 样式已经存在！").arg(rec.FillMode));
    fill.append({{QStringLiteral("ID"), rec.FillMode}});
    m_ctx.dm.ApplyHeadingFillRangeUpdates(rec.FillMode, fill.changeLog());
    fill.merge();
}

// A new inspection or general form: a copy of its sub-item's (style's) current table file and header positions.
void NodeOps::copyParentForm(WriteUnit& unit, const NodeRecord& parent, const NodeRecord& rec)
{
    const QString source = nodeFile(parent);
    if (!QFileInfo(source).isFile())
        throw QuelmarError(QStringLiteral("“%1”样式表格不存在！").arg(source));
    if (!unit.copyFile(source, nodeFile(rec)))
        throw QuelmarError(QStringLiteral("创建物理表格失败！"));

    RowSet from;
    from.load(m_ctx.dm.GetHeadingFillRangeData(parent.FillMode), QStringLiteral("ID"));
    if (from.totalCount() == 0)
        throw QuelmarError(QStringLiteral("%1 样式不存在！").arg(parent.FillMode));
    RowSet fill;
    fill.load(m_ctx.dm.GetHeadingFillRangeData(rec.FillMode), QStringLiteral("ID"));
    if (fill.totalCount() > 0)
        throw QuelmarError(QStringLiteral("%1 样式已经存在！").arg(rec.FillMode));

    const RowSet::RowId src = from.allRows().first();
    QVariantMap values{{QStringLiteral("ID"), rec.FillMode}};
    for (int n = 1; n <= 18; ++n) {
        const QString beFilled = QStringLiteral("BeFilled%1").arg(n);
        const QString rowCol = QStringLiteral("Row%1").arg(n);
        const QString colCol = QStringLiteral("Col%1").arg(n);
        values.insert(beFilled, from.value(src, beFilled).toBool());
        values.insert(rowCol, from.value(src, rowCol).toString());
        values.insert(colCol, from.value(src, colCol).toString());
    }
    fill.append(values);
    m_ctx.dm.ApplyHeadingFillRangeUpdates(rec.FillMode, fill.changeLog());
    fill.merge();
}

QModelIndex NodeOps::createInArchive(int typeId, const QModelIndex& parentIndex, const QString& name)
{
    LibraryData& data = m_ctx.data;
    const NodeRecord parent = data.tree.record(parentIndex);
    CheckNodeKind(Library::GuiDang, parent.TypeID);
    if (typeId != 1 && typeId != 2) {
        CheckNodeKind(Library::GuiDang, typeId);
        throw QuelmarError(QStringLiteral("归档表格和外部文件由归档操作建立。"));
    }
    if (name.trimmed().isEmpty())
        throw QuelmarError(kInvalidName);
    BusyCursor busy(m_ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(m_ctx.dm);
    unit.track(data.rows);
    RequireNodeRow(m_ctx.dm, Library::GuiDang, parent.ItemID);

    NodeRecord rec;
    rec.TypeID = typeId;
    rec.ItemID = m_ctx.dm.NewGuiDangKey();
    rec.Name = name;
    rec.P_ItemID = parent.ItemID;
    const int row = data.tree.rowCount(parentIndex);
    QVariantMap values = rec.toValues();
    values.insert(QStringLiteral("iPartIndex"), row);
    values.insert(QStringLiteral("UserID"), m_ctx.login.opName);
    data.rows.append(values);
    if (!data.rows.hasChanges())
        throw QuelmarError(QStringLiteral("新的节点信息未插入到数据容器中。"));
    applyUpdates();
    unit.commit();
    return data.tree.addNode(parentIndex, rec, row);
}
