#include "exchange/Package.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "exchange/Cabinet.h"
#include "exchange/TempFolder.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/WriteUnit.h"
#include "trees/NodeFiles.h"
#include "trees/NodeKinds.h"
#include "trees/PendingChangesGuard.h"
#include "users/Login.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStorageInfo>

#include <limits>

namespace {

// Progress of many small steps: the first, the last and then at most every 50 ms reach the prompter (which repaints
// the status bar each time), so that reporting never costs more than the work.
class StepReporter {
public:
    explicit StepReporter(ProgressScope& scope) : m_scope(scope) { m_clock.start(); }
    template <typename F>
    bool step(F&& text, qint64 done, qint64 total)
    {
        if (done != 1 && done != total && m_clock.elapsed() < 50)
            return true;
        m_clock.restart();
        return m_scope.step(text(), done, total);
    }

private:
    ProgressScope& m_scope;
    QElapsedTimer m_clock;
};

const QString kTableExt = QStringLiteral(".cll");
const QString kPackageDatabase = QStringLiteral("S.mdb");

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

const QList<PackageKind>& packageKinds()
{
    static const QList<PackageKind> kinds = [] {
        const auto k = [](int kind, const char* ext, const char* save, const char* open, const char* filter) {
            return PackageKind{kind, QString::fromUtf8(ext), QString::fromUtf8(save), QString::fromUtf8(open),
                               QString::fromUtf8(filter)};
        };
        return QList<PackageKind>{
            k(0, ".gc", "导出工程 - 请不要在文件名中使用空格", "导入工程", "工程文件(*.gc)|*.gc|所有文件(*.*)|*.*"),
            k(1, ".fb", "导出分部 - 请不要在文件名中使用空格", "导入分部", "分部文件(*.fb)|*.fb|所有文件(*.*)|*.*"),
            k(2, ".fl", "导出资料分料 - 请不要在文件名中使用空格", "导入资料分料",
              "资料分类文件(*.fl)|*.fl|所有文件(*.*)|*.*"),
            k(3, ".fx", "导出资料分料 - 请不要在文件名中使用空格", "导入资料分料",
              "分项文件(*.fx)|*.fx|所有文件(*.*)|*.*"),
            k(4, ".jy", "导出检验批表格 - 请不要在文件名中使用空格", "导入检验批表格",
              "检验批表格文件(*.jy)|*.jy|所有文件(*.*)|*.*"),
            k(5, ".bg", "导出通用表格 - 请不要在文件名中使用空格", "导入通用表格",
              "通用表格文件(*.bg)|*.bg|所有文件(*.*)|*.*"),
            k(6, ".mb", "导出模板 - 请不要在文件名中使用空格", "导入模板", "模板文件(*.mb)|*.mb|所有文件(*.*)|*.*"),
            k(7, ".ys", "导出通用表格样式 - 请不要在文件名中使用空格", "导入通用表格样式文件",
              "通用表格样式文件(*.ys)|*.ys|所有文件(*.*)|*.*"),
            k(8, ".cg", "导出常规文件", "导入常规文件", "常规文件(*.cg)|*.cg|所有文件(*.*)|*.*"),
        };
    }();
    return kinds;
}

// The kind that creates a new top-level node with a folder of its own on import: template / project.
int topLevelType(Library library)
{
    return library == Library::Moban ? 9 : 1;
}

bool ownsFile(const NodeKind& k)
{
    return k.ownsTableFile || k.ownsExternalFile;
}

// A whole number of 32 bits as stored in a package (SQLite keeps whatever it was given).
int packageInt(const QVariant& v, bool* ok)
{
    bool good = false;
    qlonglong n = 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        n = v.toLongLong(&good);
        break;
    case QMetaType::Double: {
        const double d = v.toDouble();
        good = d == double(qlonglong(d));
        n = qlonglong(d);
        break;
    }
    case QMetaType::QString:
        n = v.toString().trimmed().toLongLong(&good);
        break;
    default:
        good = v.isNull();   // a null number reads as 0
        break;
    }
    if (good && (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()))
        good = false;
    *ok = good;
    return good ? int(n) : 0;
}

// Why an extension may not name a node file: it must be a dot and a name that stays inside the folder.
QString unsafeExt(const QString& ext)
{
    if (ext.isEmpty())
        return {};
    if (!ext.startsWith(QLatin1Char('.')) || ext.size() > 50)
        return QStringLiteral("扩展名必须以“.”开头且不超过 50 个字符");
    return Cabinet::UnsafeNameReason(QStringLiteral("0") + ext);
}

} // namespace

const PackageKind& CheckPackageKind(int kind)
{
    for (const PackageKind& k : packageKinds())
        if (k.kind == kind)
            return k;
    throw QuelmarError(QStringLiteral("不合法的导出类型。"));
}

int PackageKindOfFile(const QString& path)
{
    const QString suffix = QLatin1Char('.') + QFileInfo(path).suffix().toLower();
    for (const PackageKind& k : packageKinds())
        if (k.ext == suffix)
            return k.kind;
    return -1;
}

int PackageKindOfNode(Library library, int typeId)
{
    if (library == Library::GuiDang)
        return -1;
    switch (typeId) {
    case 1: return library == Library::ZiLiao ? 0 : -1;
    case 3: return 1;
    case 4: return 2;
    case 5: return 3;
    case 6: return library == Library::ZiLiao ? 4 : -1;
    case 7: return library == Library::ZiLiao ? 5 : -1;
    case 9: return library == Library::Moban ? 6 : -1;
    case 11: return 7;
    case 16: return 8;
    }
    return -1;
}

FileDialogSetup SetupExportDialog(int kind)
{
    const PackageKind& k = CheckPackageKind(kind);
    return {k.saveTitle, k.filter, k.ext};
}

FileDialogSetup SetupImportDialog(int kind)
{
    const PackageKind& k = CheckPackageKind(kind);
    return {k.openTitle, k.filter, k.ext};
}

bool EmptyFolder(const QString& path)
{
    QDir dir(path);
    if (path.isEmpty() || !dir.exists())
        return false;
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& e : entries) {
        if (e.isDir() && !e.isSymLink())
            return false;
        QFile f(e.absoluteFilePath());
        if (!e.isSymLink() && !(f.permissions() & QFileDevice::WriteOwner)
            && !f.setPermissions(f.permissions() | QFileDevice::WriteOwner))
            throw QuelmarError(QStringLiteral("设置文件“%1”属性出错！").arg(native(e.absoluteFilePath())));
        if (!f.remove())
            return false;
    }
    return true;
}

QStringList PackageNodeColumns()
{
    return {QStringLiteral("iPartIndex"), QStringLiteral("ItemID"),    QStringLiteral("Name"),
            QStringLiteral("TypeID"),     QStringLiteral("P_ItemID"),  QStringLiteral("iDir"),
            QStringLiteral("File_Name"),  QStringLiteral("Ext"),       QStringLiteral("FillMode")};
}

QStringList PackageFillColumns()
{
    QStringList c{QStringLiteral("ID")};
    for (int n = 1; n <= 18; ++n)
        c << QStringLiteral("BeFilled%1").arg(n) << QStringLiteral("Row%1").arg(n) << QStringLiteral("Col%1").arg(n);
    return c;
}

void WritePackageFile(NodeOpsContext& ctx, const QString& file, const PackageContent& content)
{
    const AppPaths& paths = ctx.paths;
    ctx.prompter.status(QStringLiteral("清空系统临时文件夹..."));
    TempFolderUse temp(paths.TempDir);

    ctx.prompter.status(QStringLiteral("创建目标数据上下文..."));
    if (!QFileInfo(paths.BlankPackageFile).isFile())
        throw QuelmarError(QStringLiteral("系统的 模板文件“S.mdb” 没有找到。"));
    if (!QFile::copy(paths.BlankPackageFile, paths.TempPackageFile))
        throw QuelmarError(QStringLiteral("无法把“%1”复制到“%2”。").arg(native(paths.BlankPackageFile), native(paths.TempPackageFile)));
    QFile(paths.TempPackageFile).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    ctx.prompter.status(QStringLiteral("提交缓冲区..."));
    ChangeLog nodes{PackageNodeColumns(), {}};
    for (const QVariantList& r : content.nodes)
        nodes.changes.append({RowChange::Kind::Insert, {}, r});
    ChangeLog fills{PackageFillColumns(), {}};
    for (const QVariantList& r : content.fillRanges)
        fills.changes.append({RowChange::Kind::Insert, {}, r});
    if (fills.isEmpty())
        ctx.dm.WritePackageNodes(paths.TempPackageFile, content.handle, nodes);
    else
        ctx.dm.WritePackage(paths.TempPackageFile, content.handle, nodes, fills);

    ctx.prompter.status(QStringLiteral("创建目标文件..."));
    QList<Cabinet::Entry> entries{{kPackageDatabase, paths.TempPackageFile, 0}};
    for (const auto& [name, source] : content.files)
        entries.append({name, source, 0});
    Cabinet::Write(file, entries);
}

// ---- export -------------------------------------------------------------------------------------------------------

bool ExportSubtree(NodeOpsContext ctx, int kind, const QModelIndex& top)
{
    if (!NodeOps(ctx).RecycleGuard(top))
        return false;
    const FileDialogSetup d = SetupExportDialog(kind);
    const NodeRecord rec = ctx.data.tree.record(top);
    const QString file = ctx.prompter.chooseSaveFileWithExt(d.title, d.filter, rec.Name + d.defaultExt, d.defaultExt);
    if (file.isEmpty())
        return false;
    ExportSubtreeTo(ctx, top, file);
    return true;
}

void ExportSubtreeTo(NodeOpsContext ctx, const QModelIndex& topIndex, const QString& file)
{
    LibraryData& data = ctx.data;
    const Library lib = data.library();
    if (lib == Library::GuiDang)
        throw QuelmarError(QStringLiteral("档案库的节点不能导出为交换包。"));
    if (!topIndex.isValid())
        throw QuelmarError(QStringLiteral("请先选择要导出的节点。"));
    const NodeRecord top = data.tree.record(topIndex);
    CheckNodeKind(lib, top.TypeID);
    if (top.TypeID == NodeKinds::Root || top.TypeID == NodeKinds::RecycleBin)
        throw QuelmarError(QStringLiteral("“%1”不能导出为交换包。").arg(top.Name));

    BusyCursor busy(ctx.prompter);
    ProgressScope progress(ctx.prompter);
    ctx.prompter.status(QStringLiteral("准备导出..."));
    RowSet fills(QStringLiteral("ID"));
    fills.load(lib == Library::Moban ? ctx.dm.GetMobanFillRanges(top.iDir) : ctx.dm.GetZiLiaoFillRanges(top.iDir),
               QStringLiteral("ID"));
    ctx.prompter.status(QStringLiteral("清空缓冲区..."));
    PackageContent content;
    content.handle = top.P_ItemID;

    ctx.prompter.status(QStringLiteral("写入缓冲区..."));
    QList<QModelIndex> order;   // pre-order, siblings in order
    {
        QList<QModelIndex> stack{topIndex};
        while (!stack.isEmpty()) {
            const QModelIndex n = stack.takeLast();
            order << n;
            for (int r = data.tree.rowCount(n) - 1; r >= 0; --r)
                stack << data.tree.index(r, 0, n);
        }
    }
    const QStringList fillColumns = PackageFillColumns();
    QHash<QString, QString> entrySources;
    qint64 done = 0;
    StepReporter steps(progress);
    for (const QModelIndex& n : order) {
        const NodeRecord rec = data.tree.record(n);
        if (!steps.step([&] { return QStringLiteral("正在导出节点: ") + rec.Name; }, ++done, order.size()))
            throw QuelmarError(QStringLiteral("导出已取消，没有写入交换包。"));
        const NodeKind& kind = CheckNodeKind(lib, rec.TypeID);
        if (ownsFile(kind)) {
            const QString path = NodeFile(ctx.paths, lib, rec);
            if (FileLayout::NodeFileExists(path)) {
                const QString name = QString::number(rec.File_Name) + rec.Ext;
                if (!Cabinet::UnsafeNameReason(name).isEmpty())
                    throw QuelmarError(QStringLiteral("节点“%1”的文件名“%2”不能放进交换包。").arg(rec.Name, name));
                const auto it = entrySources.constFind(name.toLower());
                if (it != entrySources.cend() && it.value() != path)
                    throw QuelmarError(QStringLiteral("节点“%1”的文件与另一个节点的文件同名（%2），不能放进同一个交换包。")
                                           .arg(rec.Name, name));
                if (it == entrySources.cend()) {
                    entrySources.insert(name.toLower(), path);
                    content.files.append({name, path});
                }
            }
        }
        if (kind.ownsFillRange) {
            const RowSet::RowId f = fills.find(rec.FillMode);
            if (f < 0)
                throw QuelmarError(QStringLiteral("在表头信息上下文中找不到节点“%1(%2)”填充信息！").arg(rec.Name).arg(rec.FillMode));
            QVariantList values;
            for (const QString& c : fillColumns)
                values << (fills.hasColumn(c) ? fills.value(f, c) : QVariant());
            content.fillRanges << values;
        }
        const RowSet::RowId row = data.rows.find(rec.ItemID);
        if (row < 0)
            throw QuelmarError(QStringLiteral("在数据容器中找不到节点: ") + rec.Name);
        content.nodes << QVariantList{n.row(),
                                      data.rows.value(row, QStringLiteral("ItemID")),
                                      data.rows.value(row, QStringLiteral("Name")),
                                      data.rows.value(row, QStringLiteral("TypeID")),
                                      data.rows.value(row, QStringLiteral("P_ItemID")),
                                      data.rows.value(row, QStringLiteral("iDir")),
                                      data.rows.value(row, QStringLiteral("File_Name")),
                                      data.rows.value(row, QStringLiteral("Ext")),
                                      data.rows.value(row, QStringLiteral("FillMode"))};
    }

    WritePackageFile(ctx, file, content);
    ctx.prompter.status(QStringLiteral("导出成功！"));
    ctx.prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("文件被导到: ") + file);
    ctx.prompter.status(top.Name);
}

// ---- import -------------------------------------------------------------------------------------------------------

namespace {

struct PackageNode {
    int partIndex = 0;
    int itemId = 0;
    QString name;
    int typeId = 0;
    int parent = 0;
    int fileName = 0;
    QString ext;
    int fillMode = 0;
    QString entry;   // the extracted file's name in the temporary folder; empty when the package has none
};

struct CheckedPackage {
    int handle = 0;
    QList<PackageNode> nodes;                 // in stored order
    QHash<int, QList<int>> children;          // old parent key -> indexes into nodes, in stored order
    QHash<int, QVariantList> fillRanges;      // old ID -> values in PackageFillColumns() order
    int top = -1;                             // index of the top node
};

QString packageProblem(const QString& file, const QString& what)
{
    return QStringLiteral("交换包“%1”不能导入：%2").arg(native(file), what);
}

// Reads the extracted package database and checks all of it: kinds, one proper tree under HID, the header-fill
// records of the forms whose files came along, names and extensions that fit their columns and the folder.
CheckedPackage checkPackage(NodeOpsContext& ctx, const QString& file, const QHash<QString, QString>& entries,
                            const NodeRecord& target, int targetLevel)
{
    const Library lib = ctx.data.library();
    const TDataPoolDM::PackageContents raw = ctx.dm.ReadPackage(ctx.paths.TempPackageFile);
    CheckedPackage p;
    p.handle = raw.handle;

    const QStringList nodeColumns = PackageNodeColumns();
    QList<int> at;
    for (const QString& c : nodeColumns) {
        const qsizetype i = raw.nodes.columns.indexOf(c);
        if (i < 0)
            throw QuelmarError(packageProblem(file, QStringLiteral("包数据库的表 bs 缺少列 %1。").arg(c)));
        at << int(i);
    }
    if (raw.nodes.rows.isEmpty())
        throw QuelmarError(packageProblem(file, QStringLiteral("其中没有节点。")));

    QHash<int, int> byKey;
    for (const QVariantList& row : raw.nodes.rows) {
        PackageNode n;
        bool ok = true;
        const auto number = [&](int column) {
            bool good = false;
            const int v = packageInt(row.value(at[column]), &good);
            ok = ok && good;
            return v;
        };
        n.partIndex = number(0);
        n.itemId = number(1);
        n.name = row.value(at[2]).toString();
        n.typeId = number(3);
        n.parent = number(4);
        n.fileName = number(6);
        n.ext = row.value(at[7]).toString();
        n.fillMode = number(8);
        if (!ok)
            throw QuelmarError(packageProblem(file, QStringLiteral("节点“%1”的记录中有不是整数的值。").arg(n.name.left(80))));
        if (n.name.size() > 255)
            throw QuelmarError(packageProblem(file, QStringLiteral("节点名称超过 255 个字符。")));
        const NodeKind* kind = FindNodeKind(lib, n.typeId);
        // The library's root and recycle bin exist once; a package never brings another.
        if (!kind || n.typeId == NodeKinds::Root || n.typeId == NodeKinds::RecycleBin)
            throw QuelmarError(QStringLiteral("节点类型不正确！"));
        if (const QString why = unsafeExt(n.ext); !why.isEmpty())
            throw QuelmarError(packageProblem(file, QStringLiteral("节点“%1”的扩展名“%2”不合法（%3）。").arg(n.name, n.ext.left(60), why)));
        if (n.typeId == NodeKinds::ExternalFile && n.ext.isEmpty())
            throw QuelmarError(packageProblem(file, QStringLiteral("外部文件“%1”没有扩展名。").arg(n.name)));
        if (byKey.contains(n.itemId))
            throw QuelmarError(packageProblem(file, QStringLiteral("节点关键字 %1 重复。").arg(n.itemId)));
        if (ownsFile(*kind)) {
            const QString name = QString::number(n.fileName) + n.ext;
            n.entry = entries.value(name, entries.value(name.toLower()));
        }
        byKey.insert(n.itemId, int(p.nodes.size()));
        p.nodes << n;
    }

    // One proper tree: exactly one row below HID, every other row below another row, every row reached from the top.
    for (int i = 0; i < p.nodes.size(); ++i) {
        const PackageNode& n = p.nodes[i];
        if (n.itemId == p.handle)
            throw QuelmarError(packageProblem(file, QStringLiteral("节点的上下级关系有循环（节点“%1”）。").arg(n.name)));
        if (n.parent == p.handle) {
            if (p.top >= 0)
                throw QuelmarError(packageProblem(file, QStringLiteral("有不止一个顶层节点（“%1”和“%2”）。")
                                                            .arg(p.nodes[p.top].name, n.name)));
            p.top = i;
        } else if (!byKey.contains(n.parent)) {
            throw QuelmarError(packageProblem(file, QStringLiteral("节点“%1”的上级节点（%2）不在包中。").arg(n.name).arg(n.parent)));
        }
        p.children[n.parent].append(i);
    }
    if (p.top < 0)
        throw QuelmarError(packageProblem(file, QStringLiteral("没有顶层节点。")));
    {
        qsizetype reached = 0;
        QList<int> stack{p.top};
        while (!stack.isEmpty()) {
            const int i = stack.takeLast();
            ++reached;
            for (int c : p.children.value(p.nodes[i].itemId))
                stack << c;
            if (reached > p.nodes.size())
                break;
        }
        if (reached != p.nodes.size())
            throw QuelmarError(packageProblem(file, QStringLiteral("节点的上下级关系有循环，不能构成一棵树。")));
    }

    // Every node where it may stand: the top below the target (a template or project below the library's root),
    // every other below its parent's kind.
    const auto mayStand = [&](int parentType, int childType) {
        const NodeKind* pk = FindNodeKind(lib, parentType);
        return pk && pk->mayContain.contains(childType);
    };
    const PackageNode& topNode = p.nodes[p.top];
    if (topNode.typeId == topLevelType(lib) ? targetLevel != 0 : !mayStand(target.TypeID, topNode.typeId))
        throw QuelmarError(QStringLiteral("交换包中的“%1”（%2）不能导入到“%3”（%4）之下。")
                               .arg(topNode.name, FindNodeKind(lib, topNode.typeId)->name, target.Name,
                                    targetLevel == 0 ? QStringLiteral("库的根节点")
                                                     : FindNodeKind(lib, target.TypeID) ? FindNodeKind(lib, target.TypeID)->name
                                                                                        : QString()));
    for (const PackageNode& n : p.nodes) {
        if (n.parent == p.handle)
            continue;
        const PackageNode& parent = p.nodes[byKey.value(n.parent)];
        if (!mayStand(parent.typeId, n.typeId))
            throw QuelmarError(packageProblem(file, QStringLiteral("“%1”（%2）不能位于“%3”（%4）之下。")
                                                        .arg(n.name, FindNodeKind(lib, n.typeId)->name, parent.name,
                                                             FindNodeKind(lib, parent.typeId)->name)));
    }

    // Header-fill records: one per ID, present for every form whose file came along.
    const QStringList fillColumns = PackageFillColumns();
    QList<int> fat;
    for (const QString& c : fillColumns)
        fat << int(raw.fillRanges.columns.indexOf(c));
    if (!raw.fillRanges.rows.isEmpty() && fat.contains(-1))
        throw QuelmarError(packageProblem(file, QStringLiteral("包数据库的表 hi 缺少列。")));
    for (const QVariantList& row : raw.fillRanges.rows) {
        bool ok = false;
        const int id = packageInt(row.value(fat[0]), &ok);
        if (!ok)
            throw QuelmarError(packageProblem(file, QStringLiteral("表头信息的编号不是整数。")));
        if (p.fillRanges.contains(id))
            throw QuelmarError(packageProblem(file, QStringLiteral("表头信息 %1 重复。").arg(id)));
        QVariantList values;
        for (int i = 0; i < fillColumns.size(); ++i) {
            const QVariant v = row.value(fat[i]);
            if (i == 0) {
                values << id;
            } else if ((i - 1) % 3 == 0) {
                values << (v.isNull() ? false : v.toBool());
            } else {
                const QString text = v.toString();
                if (text.size() > 10)
                    throw QuelmarError(packageProblem(file, QStringLiteral("表头信息 %1 的位置“%2”超过 10 个字符。").arg(id).arg(text.left(20))));
                values << text;
            }
        }
        p.fillRanges.insert(id, values);
    }
    for (const PackageNode& n : p.nodes) {
        const NodeKind* kind = FindNodeKind(lib, n.typeId);
        if (kind->ownsFillRange && !n.entry.isEmpty() && !p.fillRanges.contains(n.fillMode))
            throw QuelmarError(lib == Library::Moban
                                   ? QStringLiteral("%1 在导出的数据容器中没有表头信息！").arg(n.fillMode)
                                   : QStringLiteral("在导出的数据容器中没有表头信息！"));
    }
    return p;
}

} // namespace

QModelIndex ImportPackage(NodeOpsContext ctx, int kind, const QModelIndex& selected)
{
    if (!NodeOps(ctx).RecycleGuard(selected))
        return {};
    const FileDialogSetup d = SetupImportDialog(kind);
    const QString file = ctx.prompter.chooseOpenFile(d.title, d.filter, QString());
    if (file.isEmpty())
        return {};
    return ImportPackageFrom(ctx, selected, file);
}

QModelIndex ImportPackageFrom(NodeOpsContext ctx, const QModelIndex& selected, const QString& file)
{
    LibraryData& data = ctx.data;
    const Library lib = data.library();
    const bool moban = lib == Library::Moban;
    if (lib == Library::GuiDang)
        throw QuelmarError(QStringLiteral("档案库不能导入交换包。"));
    if (!selected.isValid())
        throw QuelmarError(QStringLiteral("请先选择导入到哪个节点之下。"));
    if (!NodeOps(ctx).RecycleGuard(selected))
        return {};
    if (IsInRecycleBin(data.tree, selected))
        throw QuelmarError(QStringLiteral("不能导入到回收站中的节点之下。"));
    const NodeRecord target = data.tree.record(selected);
    CheckNodeKind(lib, target.TypeID);
    const QFileInfo info(file);
    if (!info.isFile())
        throw QuelmarError(QStringLiteral("“%1”文件不存在！").arg(native(file)));

    BusyCursor busy(ctx.prompter);
    ProgressScope progress(ctx.prompter);
    ctx.prompter.status(QStringLiteral("正准备导入..."));
    ctx.prompter.status(QStringLiteral("清空系统临时文件夹..."));
    TempFolderUse temp(ctx.paths.TempDir);

    ctx.prompter.status(QStringLiteral("分解数据到系统临时文件夹..."));
    const QList<Cabinet::Entry> listing = Cabinet::List(file);
    const QStorageInfo storage(ctx.paths.TempDir);
    Cabinet::CheckListing(file, listing, info.size(), storage.isValid() ? storage.bytesAvailable() : -1);
    QHash<QString, QString> entries;   // name and lower-case name -> the name in the folder
    for (const Cabinet::Entry& e : listing) {
        entries.insert(e.name, e.name);
        entries.insert(e.name.toLower(), e.name);
    }
    const QString database = entries.value(kPackageDatabase.toLower());
    if (database.isEmpty())
        throw QuelmarError(packageProblem(file, QStringLiteral("其中没有包数据库“S.mdb”。")));
    Cabinet::Extract(file, ctx.paths.TempDir);
    if (database != kPackageDatabase && !QFile::rename(ctx.paths.TempDir + database, ctx.paths.TempPackageFile))
        throw QuelmarError(QStringLiteral("“%1”文件不存在！").arg(native(ctx.paths.TempPackageFile)));

    ctx.prompter.status(QStringLiteral("加载文件数据缓冲区..."));
    if (!QFileInfo(ctx.paths.TempPackageFile).isFile())
        throw QuelmarError(QStringLiteral("“%1”文件不存在！").arg(native(ctx.paths.TempPackageFile)));
    const int targetLevel = data.tree.level(selected);
    const CheckedPackage pkg = checkPackage(ctx, file, entries, target, targetLevel);
    const PackageNode& topNode = pkg.nodes[pkg.top];
    const bool topLevel = topNode.typeId == topLevelType(lib);

    ctx.prompter.status(QStringLiteral("正准备创建树..."));
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(ctx.dm, ctx.paths);
    unit.track(data.rows);
    RequireNodeRow(ctx.dm, lib, target.ItemID);

    const QPersistentModelIndex bin = data.recycleNode();
    if (topLevel && (!bin.isValid() || bin.parent() != selected))
        throw QuelmarError(QStringLiteral("没有找到回收站点！"));
    const int dirNo = topLevel ? (moban ? ctx.dm.NewMobanDirNo() : ctx.dm.NewZiLiaoDirNo()) : target.iDir;
    const QString folder = NodeFolder(ctx.paths, lib, dirNo);
    if (topLevel)
        unit.createFolder(folder, false);
    int key = moban ? ctx.dm.NewMobanKey() : ctx.dm.NewZiLiaoKey();
    int fileNo = moban ? ctx.dm.NewMobanFileNo(dirNo) : ctx.dm.NewZiLiaoFileNo(dirNo);
    int fillKey = ctx.dm.NewFillRangeKey();

    ChangeLog newFills{PackageFillColumns(), {}};
    struct Planned {
        NodeRecord rec;
        int row;
    };
    QList<Planned> plan;
    plan.reserve(pkg.nodes.size());
    QList<std::pair<QString, QString>> moves;
    // Level by level under each parent, as the package's rows come: a node's children are created together, then
    // each child's subtree in turn (an explicit stack, so a deep package cannot exhaust the program's stack).
    struct Level {
        int oldParent;
        int newParent;
        int firstRow;
    };
    QList<Level> stack{{pkg.handle, target.ItemID, topLevel ? bin.row() : data.tree.rowCount(selected)}};
    qint64 done = 0;
    StepReporter steps(progress);
    while (!stack.isEmpty()) {
        const Level level = stack.takeLast();
        const QList<int> kids = pkg.children.value(level.oldParent);
        QList<Level> next;
        for (int k = 0; k < kids.size(); ++k) {
            const PackageNode& n = pkg.nodes[kids[k]];
            if (!steps.step([&] { return QStringLiteral("正在创建节点: ") + n.name; }, ++done, pkg.nodes.size()))
                throw QuelmarError(QStringLiteral("导入已取消，没有导入任何内容。"));
            const NodeKind& kind = CheckNodeKind(lib, n.typeId);
            NodeRecord rec;
            rec.TypeID = n.typeId;
            rec.Name = n.name;
            rec.ItemID = key++;
            rec.P_ItemID = level.newParent;
            rec.iDir = dirNo;
            if (ownsFile(kind)) {
                rec.File_Name = fileNo++;
                rec.Ext = kind.ownsExternalFile ? n.ext : kTableExt;
                if (!n.entry.isEmpty()) {
                    // The extracted file is this import's own: moved into place (a rename) with the others once
                    // every row is planned, moved back on failure.
                    moves.append({ctx.paths.TempDir + n.entry, FileLayout::NodeFilePath(folder, rec.File_Name, rec.Ext)});
                    // A form gets its header-fill record only with its file; one without a file gets none (and no
                    // number that another form's record could later take).
                    if (kind.ownsFillRange) {
                        rec.FillMode = fillKey++;
                        QVariantList values = pkg.fillRanges.value(n.fillMode);
                        values[0] = rec.FillMode;
                        newFills.changes.append({RowChange::Kind::Insert, {}, values});
                    }
                }
            }
            const int row = level.firstRow + k;
            QVariantMap values = rec.toValues();
            values.insert(QStringLiteral("iPartIndex"), row);
            if (LibraryHasOwner(lib))
                values.insert(QStringLiteral("UserID"), ctx.login.opName);
            data.rows.append(values);
            plan.append({rec, row});
            next.append({n.itemId, rec.ItemID, 0});
        }
        for (auto it = next.rbegin(); it != next.rend(); ++it)
            stack.append(*it);
    }
    if (const qsizetype moved = unit.moveFiles(moves); moved < moves.size())
        throw QuelmarError(QStringLiteral("复制物理文件“%1”出错！").arg(native(moves.at(moved).first)));
    if (data.rows.pendingCount() != plan.size())
        throw QuelmarError(QStringLiteral("树节点信息未插入到数据容器中。"));
    if (topLevel) {
        const RowSet::RowId binRow = data.rows.find(bin.data(LibraryTreeModel::ItemIdRole));
        if (binRow < 0)
            throw QuelmarError(QStringLiteral("没有找到回收站点！"));
        data.rows.setValue(binRow, QStringLiteral("iPartIndex"), bin.row() + 1);
        if (data.rows.pendingCount() != plan.size() + 1)
            throw QuelmarError(moban ? QStringLiteral("回收站的位置没变？") : QStringLiteral("回收站的位置没有改变？"));
    }
    if (!newFills.isEmpty()) {
        if (moban)
            ctx.dm.ApplyMobanFillRanges(dirNo, newFills);
        else
            ctx.dm.ApplyZiLiaoFillRanges(dirNo, newFills);
    }
    data.applyUpdates(ctx.dm, ctx.login.opName);
    unit.commit();

    for (const Planned& n : plan) {
        if (n.rec.P_ItemID == target.ItemID)
            data.tree.addNode(selected, n.rec, n.row);
        else
            data.tree.addNode(data.tree.indexOfItem(n.rec.P_ItemID), n.rec);
    }
    const QModelIndex created = data.tree.indexOfItem(plan.first().rec.ItemID);
    ctx.prompter.status(plan.first().rec.Name);
    ctx.prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("文件“%1”中数据被成功地导入。").arg(file));
    return created;
}
