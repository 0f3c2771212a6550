#include "projects/NewProject.h"

#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "projects/HeaderFields.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/WriteUnit.h"
#include "trees/PendingChangesGuard.h"
#include "trees/TreeBuilder.h"
#include "users/Login.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

const QString kTableExt = QStringLiteral(".cll");

bool ownsFileInTemplate(int typeId) { return typeId == 5 || typeId == 11 || typeId == NodeKinds::ExternalFile; }
bool ownsFillInTemplate(int typeId) { return typeId == 5 || typeId == 11; }
bool ownsFillInProject(int typeId) { return typeId == 5 || typeId == 6 || typeId == 7 || typeId == 11; }

// One node of the new project, planned before anything is written.
struct PlannedNode {
    NodeRecord rec;
    int partIndex = 0;
    int oldIDir = 0;
    int oldFillMode = 0;
    bool atRoot = false;
};

// CopyCheckedItems as a plan: the rows of `result` below `oldParent` become children of `newParent`, numbered
// together before any grandchild (keys k, k+1, ... per level under each parent), then each child's own children.
class CopyPlanner {
public:
    CopyPlanner(const DataPacket& result, int dirNo, int firstKey, int firstFillKey, int rootRow)
        : m_dirNo(dirNo), m_key(firstKey), m_fillKey(firstFillKey), m_rootRow(rootRow)
    {
        const QStringList& c = result.columns;
        m_cols = {int(c.indexOf(QStringLiteral("ItemID"))),   int(c.indexOf(QStringLiteral("Name"))),
                  int(c.indexOf(QStringLiteral("TypeID"))),   int(c.indexOf(QStringLiteral("P_ItemID"))),
                  int(c.indexOf(QStringLiteral("iDir"))),     int(c.indexOf(QStringLiteral("File_Name"))),
                  int(c.indexOf(QStringLiteral("Ext"))),      int(c.indexOf(QStringLiteral("FillMode")))};
        if (std::any_of(m_cols.begin(), m_cols.end(), [](int i) { return i < 0; }))
            throw QuelmarError(QStringLiteral("新建工程的条目缺少必要的列。"));
        for (const QVariantList& row : result.rows)
            m_children[row.value(m_cols[3]).toInt()].append(&row);
    }

    QList<PlannedNode> plan()
    {
        copyLevel(0, 0, true);
        return m_nodes;
    }

private:
    void copyLevel(int oldParent, int newParent, bool atRoot)
    {
        const QList<const QVariantList*> rows = m_children.value(oldParent);
        QList<QPair<int, int>> level;   // old ItemID, new ItemID
        int index = 0;
        for (const QVariantList* row : rows) {
            PlannedNode n;
            n.rec.ItemID = m_key++;
            n.rec.Name = row->value(m_cols[1]).toString();
            n.rec.TypeID = row->value(m_cols[2]).toInt();
            n.rec.P_ItemID = newParent;
            n.rec.iDir = m_dirNo;
            n.rec.File_Name = row->value(m_cols[5]).toInt();
            n.rec.Ext = row->value(m_cols[6]).toString();
            n.rec.FillMode = ownsFillInProject(n.rec.TypeID) ? m_fillKey++ : 0;
            n.oldIDir = row->value(m_cols[4]).toInt();
            n.oldFillMode = row->value(m_cols[7]).toInt();
            n.atRoot = atRoot;
            n.partIndex = atRoot ? m_rootRow + index : index;
            ++index;
            m_nodes.append(n);
            level.append({row->value(m_cols[0]).toInt(), n.rec.ItemID});
        }
        for (const auto& [oldId, newId] : level)
            copyLevel(oldId, newId, false);
    }

    int m_dirNo;
    int m_key;
    int m_fillKey;
    int m_rootRow;
    std::array<int, 8> m_cols{};
    QHash<int, QList<const QVariantList*>> m_children;
    QList<PlannedNode> m_nodes;
};

} // namespace

// ---- the wizard's tick tree ---------------------------------------------------------------------------------------

ProjectWizardTree::ProjectWizardTree(QObject* parent) : CheckableTreeModel(Library::Moban, parent) {}

void ProjectWizardTree::build(RowSet& templateRows, const NodeRecord& templateNode)
{
    clear();
    clearChecks();
    const QModelIndex root = addNode({}, templateNode);
    BuildTree(*this, templateRows, root, templateNode.ItemID);
    m_builtFor = templateNode.ItemID;
    checkAll();
}

QStringList ProjectWizardTree::resultColumns()
{
    return {QStringLiteral("iPartIndex"), QStringLiteral("ItemID"),    QStringLiteral("Name"),
            QStringLiteral("TypeID"),     QStringLiteral("P_ItemID"),  QStringLiteral("iDir"),
            QStringLiteral("File_Name"),  QStringLiteral("Ext"),       QStringLiteral("FillMode")};
}

DataPacket ProjectWizardTree::result(const QString& projectName) const
{
    DataPacket p;
    p.columns = resultColumns();
    p.keyColumn = QStringLiteral("ItemID");
    bool first = true;
    forEachPreOrder([&](const QModelIndex& node, int) {
        if (!isChecked(node))
            return;
        const NodeRecord r = record(node);
        p.rows.append(QVariantList{node.row(), r.ItemID, first ? projectName : r.Name, first ? 1 : r.TypeID,
                                   r.P_ItemID, r.iDir, r.File_Name, r.Ext, r.FillMode});
        first = false;
    });
    return p;
}

// ---- the wizard ---------------------------------------------------------------------------------------------------

ProjectWizard::ProjectWizard(TDataPoolDM& dm)
{
    m_rows.load(dm.GetMobanData(), QStringLiteral("ItemID"));
    QList<QPair<int, NodeRecord>> tops;
    for (RowSet::RowId id : m_rows.allRows()) {
        const NodeRecord r = NodeRecord::fromRow(m_rows, id);
        if (r.P_ItemID == 0 && r.ItemID != NodeKinds::RecycleBinItemID && r.TypeID != NodeKinds::RecycleBin)
            tops.append({m_rows.value(id, QStringLiteral("iPartIndex")).toInt(), r});
    }
    std::stable_sort(tops.begin(), tops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& t : tops)
        m_templates.append(t.second);
}

const NodeRecord* ProjectWizard::findTemplate(int itemId) const
{
    for (const NodeRecord& t : m_templates)
        if (t.ItemID == itemId)
            return &t;
    return nullptr;
}

bool ProjectWizard::prepareTree(const NodeRecord& templateNode)
{
    if (m_tree.builtFor() == templateNode.ItemID && m_tree.rowCount() > 0)
        return false;
    m_tree.build(m_rows, templateNode);
    return true;
}

QString ProjectWizard::nameRefusal(const QString& name)
{
    return name.trimmed().isEmpty() ? QStringLiteral("名称无效，请输入正确的名称。") : QString();
}

QString ProjectWizard::finishRefusal() const
{
    return m_tree.isChecked(m_tree.rootNode()) ? QString()
                                               : QStringLiteral("由于没有选中任何节点，因不能进行下一步的操作。");
}

DataPacket WizardResultFor(TDataPoolDM& dm, int templateItemId, const QString& projectName,
                           const QList<int>& excluded)
{
    const QString refusal = ProjectWizard::nameRefusal(projectName);
    if (!refusal.isEmpty())
        throw QuelmarError(refusal);
    ProjectWizard wizard(dm);
    const NodeRecord* templ = wizard.findTemplate(templateItemId);
    if (!templ)
        throw QuelmarError(QStringLiteral("模板库中没有关键字为 %1 的模板。").arg(templateItemId));
    wizard.prepareTree(*templ);
    for (int id : excluded) {
        const QModelIndex node = wizard.tree().indexOfItem(id);
        if (!node.isValid())
            throw QuelmarError(QStringLiteral("模板“%1”中没有关键字为 %2 的条目。").arg(templ->Name).arg(id));
        wizard.tree().setChecked(node, false);
    }
    const QString finish = wizard.finishRefusal();
    if (!finish.isEmpty())
        throw QuelmarError(finish);
    return wizard.tree().result(projectName);
}

// ---- new project --------------------------------------------------------------------------------------------------

QModelIndex CreateProjectFromTemplate(NodeOpsContext ctx, const QString& projectName, const DataPacket& result)
{
    LibraryData& data = ctx.data;
    if (data.library() != Library::ZiLiao)
        throw QuelmarError(QStringLiteral("新建工程只用于资料库。"));
    if (result.rows.isEmpty())
        throw QuelmarError(QStringLiteral("由于没有选中任何节点，因不能进行下一步的操作。"));
    const QPersistentModelIndex bin = data.recycleNode();
    if (!bin.isValid())
        throw QuelmarError(QStringLiteral("没找到回收站点"));
    const QModelIndex root = bin.parent();

    BusyCursor busy(ctx.prompter);
    ctx.prompter.status(QStringLiteral("正在创建..."));
    PendingChangesGuard guard(data.rows);
    // One unit: the folder number, keys and file numbers are this program's own until the rows exist, and a
    // failure anywhere takes back the folder (when the project made it), the files and the records.
    WriteUnit unit(ctx.dm, ctx.paths);
    unit.track(data.rows);

    const int dirNo = ctx.dm.NewZiLiaoDirNo();
    const QString folder = ctx.paths.ZiLiaoFolderPath(dirNo);
    unit.createFolder(folder, false);

    const int templateDir = result.rows.first().value(result.columns.indexOf(QStringLiteral("iDir"))).toInt();
    RowSet oldFill(QStringLiteral("ID"));
    oldFill.load(ctx.dm.GetMobanFillRanges(templateDir), QStringLiteral("ID"));
    // The new folder's records: the template's BeFilledN, RowN and ColN unchanged under new IDs, written as one
    // change log (the folder is new, so it holds none yet).
    ChangeLog newFill;
    newFill.columns = oldFill.columns();
    const int idColumn = int(newFill.columns.indexOf(QStringLiteral("ID")));

    const QList<PlannedNode> plan =
        CopyPlanner(result, dirNo, ctx.dm.NewZiLiaoKey(), ctx.dm.NewFillRangeKey(), bin.row()).plan();

    // Files and header-fill records, node by node.
    for (const PlannedNode& n : plan) {
        ctx.prompter.status(QStringLiteral("正在创建节点: ") + n.rec.Name);
        if (ownsFileInTemplate(n.rec.TypeID)) {
            const QString source =
                FileLayout::NodeFilePath(ctx.paths.MobanFolderPath(n.oldIDir), n.rec.File_Name, n.rec.Ext);
            // A template item without its file is still created, without a file.
            if (FileLayout::NodeFileExists(source)
                && !unit.copyFile(source, FileLayout::NodeFilePath(folder, n.rec.File_Name, n.rec.Ext)))
                throw QuelmarError(QStringLiteral("复制物理文件时出错！"));
        }
        if (ownsFillInTemplate(n.rec.TypeID)) {
            const RowSet::RowId old = oldFill.find(n.oldFillMode);
            if (old < 0)
                throw QuelmarError(QStringLiteral("“%1”节点没有自动填充属性！").arg(n.rec.Name));
            QVariantList values = oldFill.values(old);
            values[idColumn] = n.rec.FillMode;
            newFill.changes.append({RowChange::Kind::Insert, {}, values});
        }
        const QString owner = ctx.login.opName;
        QVariantMap values = n.rec.toValues();
        values.insert(QStringLiteral("iPartIndex"), n.partIndex);
        values.insert(QStringLiteral("UserID"), owner);
        data.rows.append(values);
    }
    if (data.rows.pendingCount() != plan.size())
        throw QuelmarError(QStringLiteral("树节点信息未插入到数据容器中。"));

    // The recycle bin moves one place down behind the new project.
    const RowSet::RowId binRow = data.rows.find(NodeKinds::RecycleBinItemID);
    if (binRow < 0)
        throw QuelmarError(QStringLiteral("没找到回收站点"));
    const int rootCount = int(std::count_if(plan.begin(), plan.end(), [](const PlannedNode& n) { return n.atRoot; }));
    data.rows.setValue(binRow, QStringLiteral("iPartIndex"), bin.row() + rootCount);
    if (data.rows.pendingCount() != plan.size() + 1)
        throw QuelmarError(QStringLiteral("回收站点位置未下移？"));

    if (!newFill.isEmpty())
        ctx.dm.ApplyZiLiaoFillRanges(dirNo, newFill);
    data.applyUpdates(ctx.dm, ctx.login.opName);
    unit.commit();

    // The tree follows: the project just before the recycle bin, everything else as the last child of its parent.
    for (const PlannedNode& n : plan) {
        if (n.atRoot) {
            data.tree.addNode(root, n.rec, bin.row());
            continue;
        }
        data.tree.addNode(data.tree.indexOfItem(n.rec.P_ItemID), n.rec);
    }
    const QModelIndex project = data.tree.indexOfItem(plan.first().rec.ItemID);
    ctx.prompter.status(QString());
    ctx.prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("工程“%1”创建成功。").arg(projectName));
    return project;
}

// ---- quick add ----------------------------------------------------------------------------------------------------

QModelIndex QuickAddForm(NodeOpsContext ctx, const QModelIndex& selected)
{
    LibraryData& data = ctx.data;
    if (!NodeOps(ctx).RecycleGuard(selected))
        return {};
    const NodeRecord source = data.tree.record(selected);
    if (data.library() != Library::ZiLiao || (source.TypeID != 6 && source.TypeID != 7))
        throw QuelmarError(QStringLiteral("快增加只用于检验表格和通用表格。"));
    QString name;
    if (!ctx.prompter.askText(QStringLiteral("复制为同级节点"), QStringLiteral("请输入名称:"), name))
        return {};
    if (name.trimmed().isEmpty())
        throw QuelmarError(QStringLiteral("名称无效，请提供一个正确有效的名称。"));

    BusyCursor busy(ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(ctx.dm, ctx.paths);
    unit.track(data.rows);
    RequireNodeRow(ctx.dm, Library::ZiLiao, source.ItemID);
    NodeRecord rec;
    rec.TypeID = source.TypeID;
    rec.ItemID = ctx.dm.NewZiLiaoKey();
    rec.Name = name;
    rec.P_ItemID = source.P_ItemID;
    rec.iDir = source.iDir;
    rec.File_Name = ctx.dm.NewZiLiaoFileNo(source.iDir);
    rec.Ext = kTableExt;
    rec.FillMode = ctx.dm.NewFillRangeKey();

    const QString folder = ctx.paths.ZiLiaoFolderPath(source.iDir);
    const QString from = FileLayout::NodeFilePath(folder, source.File_Name, source.Ext);
    if (!FileLayout::NodeFileExists(from))
        throw QuelmarError(QStringLiteral("样式表格不存在。"));
    const QString to = FileLayout::NodeFilePath(folder, rec.File_Name, rec.Ext);
    if (!unit.copyFile(from, to))
        throw QuelmarError(QStringLiteral("复制文件“%1”出错！").arg(QDir::toNativeSeparators(from)));

    RowSet fill(QStringLiteral("ID"));
    fill.load(ctx.dm.GetHeadingFillRangeData(rec.FillMode), QStringLiteral("ID"));
    if (fill.totalCount() > 0)
        throw QuelmarError(QStringLiteral("%1 样式已经存在！").arg(rec.FillMode));
    fill.append({{QStringLiteral("ID"), rec.FillMode}});
    ctx.dm.ApplyHeadingFillRangeUpdates(rec.FillMode, fill.changeLog());

    const QModelIndex parent = selected.parent();
    const int row = data.tree.rowCount(parent);
    QVariantMap values = rec.toValues();
    values.insert(QStringLiteral("iPartIndex"), row);
    values.insert(QStringLiteral("UserID"), ctx.login.opName);
    data.rows.append(values);
    if (!data.rows.hasChanges())
        throw QuelmarError(QStringLiteral("新的节点信息未插入到数据容器中。"));
    data.applyUpdates(ctx.dm, ctx.login.opName);
    unit.commit();
    return data.tree.addNode(parent, rec, row);
}
