// Node commands: show, new, rename, delete, empty-bin, move-up, move-down. Each runs the main window's action on the
// node given by its ItemID, with the CLI's scripted prompter: a question is answered yes only with --yes, the
// name dialog is answered with the NAME argument.
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "projects/HeaderFill.h"
#include "store/FileLayout.h"
#include "trees/NodeFiles.h"
#include "trees/NodeKinds.h"
#include "trees/NodeOps.h"

#include <QJsonObject>

namespace {

NodeOps opsFor(CliContext& ctx, LibraryData& data)
{
    CliSession& s = ctx.session();
    return NodeOps(NodeOpsContext{data, s.dm(), s.paths(), s.login(), s.prompter()});
}

QModelIndex nodeArg(CliContext& ctx, LibraryData& data, int i, const char* what)
{
    const int itemId = ctx.intArg(i, what);
    const QModelIndex index = data.tree.indexOfItem(itemId);
    if (!index.isValid())
        throw QuelmarError(QStringLiteral("没有关键字为 %1 的节点（或它不属于当前用户）。").arg(itemId));
    return index;
}

// The file a node shows: its own table file or document, or for archived forms and documents the project
// library's file they refer to. Empty for nodes without one.
QString nodePath(CliSession& s, Library library, const NodeRecord& r)
{
    const NodeKind* kind = FindNodeKind(library, r.TypeID);
    bool hasFile = kind && (kind->ownsTableFile || kind->ownsExternalFile);
    if (library == Library::GuiDang)
        hasFile = r.TypeID == 3 || r.TypeID == NodeKinds::ExternalFile;
    if (!hasFile)
        return {};
    return NodeFile(s.paths(), library, r);
}

QJsonObject nodeJson(CliContext& ctx, LibraryData& data, const QModelIndex& index)
{
    const NodeRecord r = data.tree.record(index);
    QJsonObject o{
        {QStringLiteral("TypeID"), r.TypeID},   {QStringLiteral("ItemID"), r.ItemID},
        {QStringLiteral("Name"), r.Name},       {QStringLiteral("P_ItemID"), r.P_ItemID},
        {QStringLiteral("iDir"), r.iDir},       {QStringLiteral("File_Name"), r.File_Name},
        {QStringLiteral("Ext"), r.Ext},         {QStringLiteral("FillMode"), r.FillMode},
    };
    const RowSet::RowId row = data.rows.find(r.ItemID);
    if (row >= 0) {
        o.insert(QStringLiteral("iPartIndex"), data.rows.value(row, QStringLiteral("iPartIndex")).toInt());
        if (LibraryHasOwner(data.library()))
            o.insert(QStringLiteral("UserID"), data.rows.value(row, QStringLiteral("UserID")).toString());
    }
    o.insert(QStringLiteral("path"), nodePath(ctx.session(), data.library(), r));
    return o;
}

// What the operation told the user (warnings, information) goes to stderr, as the program shows it in a box.
void reportMessages(CliContext& ctx)
{
    for (const ScriptedPrompter::Event& e : std::as_const(ctx.prompter.events))
        if (e.kind == QLatin1String("warning") || e.kind == QLatin1String("information")
            || e.kind == QLatin1String("error"))
            ctx.err << e.text << '\n';
    ctx.err.flush();
}

// An operation that did nothing: its warning, or the unanswered question.
int notDone(CliContext& ctx, const QString& what)
{
    const bool warned = !ctx.prompter.messages(QStringLiteral("warning")).isEmpty();
    reportMessages(ctx);
    if (!warned)
        ctx.err << what << QStringLiteral("：没有得到确认（加 --yes 回答“是”）。") << '\n';
    ctx.err.flush();
    return 1;
}

QString nodeLabel(LibraryData& data, const QModelIndex& index)
{
    const NodeRecord r = data.tree.record(index);
    return QStringLiteral("%1 [%2]").arg(r.Name).arg(r.ItemID);
}

int runShow(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex index = nodeArg(ctx, data, 1, "ID");
    const QJsonObject o = nodeJson(ctx, data, index);
    if (ctx.opt.json) {
        ctx.printJson(o);
        return 0;
    }
    const NodeKind* kind = FindNodeKind(data.library(), o.value(QStringLiteral("TypeID")).toInt());
    for (const char* key : {"ItemID", "Name", "TypeID", "P_ItemID", "iDir", "File_Name", "Ext", "FillMode",
                            "iPartIndex", "UserID"}) {
        const QString k = QString::fromLatin1(key);
        if (!o.contains(k))
            continue;
        QString value = o.value(k).toVariant().toString();
        if (k == QLatin1String("TypeID") && kind && !kind->name.isEmpty())
            value += QStringLiteral(" (%1)").arg(kind->name);
        ctx.print(QStringLiteral("%1: %2").arg(k, value));
    }
    const QString path = o.value(QStringLiteral("path")).toString();
    if (!path.isEmpty())
        ctx.print(QStringLiteral("path: %1").arg(path));
    return 0;
}

int runNew(CliContext& ctx)
{
    const Library library = CliSession::parseLibrary(ctx.arg(0, "LIBRARY"));
    LibraryData& data = ctx.session().library(library);
    const QModelIndex parent = nodeArg(ctx, data, 1, "PARENT_ID");
    const int typeId = ctx.intArg(2, "TYPEID");
    const QString name = ctx.arg(3, "NAME");
    if (library == Library::ZiLiao && typeId == 1)
        throw QuelmarError(QStringLiteral("新建工程（类型 1）由新建工程向导按模板建立，命令行尚不提供。"));
    if (library != Library::GuiDang && typeId == NodeKinds::ExternalFile)
        throw QuelmarError(QStringLiteral("外部文件（类型 16）通过导入文档建立，命令行尚不提供。"));
    ctx.prompter.texts.enqueue(name);
    NodeOps ops = opsFor(ctx, data);
    const QModelIndex created = ops.NewNode(parent, typeId);
    if (!created.isValid())
        return notDone(ctx, QStringLiteral("未新建"));
    // The program selects the new node, and a new form's first display fills its header cells.
    if (ops.headerFillPending()) {
        const NodeRecord form = data.tree.record(created);
        FillNewFormHeader(ctx.session().dm(), ctx.session().login().opName,
                          nodePath(ctx.session(), library, form), form);
    }
    reportMessages(ctx);
    if (ctx.opt.json)
        ctx.printJson(nodeJson(ctx, data, created));
    else
        ctx.print(QString::number(data.tree.record(created).ItemID));
    return 0;
}

int runRename(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex index = nodeArg(ctx, data, 1, "ID");
    // The program offers no rename on a library's root.
    if (data.tree.level(index) == 0)
        throw QuelmarError(QStringLiteral("最顶层节点不能重命名。"));
    const QString oldName = data.tree.record(index).Name;
    ctx.prompter.texts.enqueue(ctx.arg(2, "NAME"));
    if (!opsFor(ctx, data).Rename(index))
        return notDone(ctx, QStringLiteral("未重命名"));
    reportMessages(ctx);
    if (ctx.opt.json)
        ctx.printJson(nodeJson(ctx, data, index));
    else
        ctx.print(QStringLiteral("已重命名：%1 -> %2").arg(oldName, nodeLabel(data, index)));
    return 0;
}

int runDelete(CliContext& ctx)
{
    const Library library = CliSession::parseLibrary(ctx.arg(0, "LIBRARY"));
    LibraryData& data = ctx.session().library(library);
    const QModelIndex index = nodeArg(ctx, data, 1, "ID");
    const QString label = nodeLabel(data, index);
    const int itemId = data.tree.record(index).ItemID;
    const bool purge = library == Library::GuiDang || IsInRecycleBin(data.tree, index);
    if (!opsFor(ctx, data).DeleteNode(index))
        return notDone(ctx, QStringLiteral("未删除"));
    reportMessages(ctx);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("ItemID"), itemId},
                                  {QStringLiteral("result"), purge ? QStringLiteral("deleted")
                                                                   : QStringLiteral("recycled")}});
    else
        ctx.print((purge ? QStringLiteral("已删除：") : QStringLiteral("已放入回收站：")) + label);
    return 0;
}

int runEmptyBin(CliContext& ctx)
{
    const Library library = CliSession::parseLibrary(ctx.arg(0, "LIBRARY"));
    if (!LibraryHasRecycleBin(library))
        throw QuelmarError(QStringLiteral("档案库没有回收站。"));
    LibraryData& data = ctx.session().library(library);
    const int count = data.tree.rowCount(data.recycleNode());
    if (!opsFor(ctx, data).EmptyRecycleBin())
        return notDone(ctx, QStringLiteral("未清空回收站"));
    reportMessages(ctx);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("purged"), count}});
    else
        ctx.print(QStringLiteral("回收站已清空：%1 个对象。").arg(count));
    return 0;
}

int runMove(CliContext& ctx, bool up)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex index = nodeArg(ctx, data, 1, "ID");
    const int before = index.row();
    NodeOps ops = opsFor(ctx, data);
    const QModelIndex moved = up ? ops.MoveUp(index) : ops.MoveDown(index);
    if (!moved.isValid())
        return notDone(ctx, QStringLiteral("未移动"));
    reportMessages(ctx);
    if (ctx.opt.json)
        ctx.printJson(nodeJson(ctx, data, moved));
    else if (moved.row() == before)
        ctx.print(QStringLiteral("%1：位置未变（%2）").arg(nodeLabel(data, moved)).arg(before));
    else
        ctx.print(QStringLiteral("%1：位置 %2 -> %3").arg(nodeLabel(data, moved)).arg(before).arg(moved.row()));
    return 0;
}

CliCommand command(const char* name, const char* usage, const char* summary, int args,
                   std::function<int(CliContext&)> run)
{
    return makeCliCommand(name, usage, summary, args, args, std::move(run));
}

CliRegistrar showCommand(command("show", "LIBRARY ID", "显示节点的记录，带文件的节点还显示文件的完整路径", 2, runShow));
CliRegistrar newCommand(command("new", "LIBRARY PARENT_ID TYPEID NAME",
                                "在 PARENT_ID 下新建类型为 TYPEID 的节点（同“新建”菜单），输出新节点的 ItemID", 4,
                                runNew));
CliRegistrar renameCommand(command("rename", "LIBRARY ID NAME", "重命名节点", 3, runRename));
CliRegistrar deleteCommand(command("delete", "LIBRARY ID [--yes]",
                                   "删除节点：放入回收站，回收站中的节点彻底删除；档案库直接删除记录", 2, runDelete));
CliRegistrar emptyBinCommand(command("empty-bin", "LIBRARY [--yes]", "清空模板库或工程库的回收站", 1, runEmptyBin));
CliRegistrar moveUpCommand(command("move-up", "LIBRARY ID", "节点在同级中上移一位", 2,
                                   [](CliContext& ctx) { return runMove(ctx, true); }));
CliRegistrar moveDownCommand(command("move-down", "LIBRARY ID", "节点在同级中下移一位", 2,
                                     [](CliContext& ctx) { return runMove(ctx, false); }));

} // namespace
