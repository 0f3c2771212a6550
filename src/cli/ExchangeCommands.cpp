// Exchange commands: export and import of packages, save as style, external files, backup and restore. Each runs the
// operation of the main window's action with the CLI's scripted prompter; files are given instead of file dialogs,
// progress goes to stderr.
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "exchange/Backup.h"
#include "exchange/ExternalFiles.h"
#include "exchange/Package.h"
#include "exchange/SaveAsStyle.h"
#include "trees/NodeKinds.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>

namespace {

NodeOpsContext contextFor(CliContext& ctx, LibraryData& data)
{
    CliSession& s = ctx.session();
    return NodeOpsContext{data, s.dm(), s.paths(), s.login(), s.prompter()};
}

QModelIndex nodeArg(CliContext& ctx, LibraryData& data, int i, const char* what)
{
    const int itemId = ctx.intArg(i, what);
    const QModelIndex index = data.tree.indexOfItem(itemId);
    if (!index.isValid())
        throw QuelmarError(QStringLiteral("没有关键字为 %1 的节点（或它不属于当前用户）。").arg(itemId));
    return index;
}

// A file argument as an absolute path (the operations' messages name it so).
QString fileArg(CliContext& ctx, int i, const char* what)
{
    return QFileInfo(ctx.arg(i, what)).absoluteFilePath();
}

int kindOption(CliContext& ctx, int fallback)
{
    const QString text = ctx.value(QStringLiteral("kind"));
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int kind = text.toInt(&ok);
    if (!ok)
        throw CliUsageError(QStringLiteral("--kind 应是 0 到 8 的整数。"));
    CheckPackageKind(kind);
    return kind;
}

// What the operation told the user (warnings, errors) goes to stderr; its information lines too unless --json.
void report(CliContext& ctx, bool information)
{
    for (const ScriptedPrompter::Event& e : std::as_const(ctx.prompter.events))
        if (e.kind == QLatin1String("warning") || e.kind == QLatin1String("error")
            || (information && e.kind == QLatin1String("information")))
            ctx.err << e.text << '\n';
    ctx.err.flush();
}

void printNode(CliContext& ctx, LibraryData& data, const QModelIndex& node)
{
    const NodeRecord r = data.tree.record(node);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("ItemID"), r.ItemID},
                                  {QStringLiteral("Name"), r.Name},
                                  {QStringLiteral("TypeID"), r.TypeID},
                                  {QStringLiteral("P_ItemID"), r.P_ItemID},
                                  {QStringLiteral("iDir"), r.iDir}});
    else
        ctx.print(QString::number(r.ItemID));
}

int runExport(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex node = nodeArg(ctx, data, 1, "ID");
    const NodeRecord r = data.tree.record(node);
    const int kind = kindOption(ctx, PackageKindOfNode(data.library(), r.TypeID));
    if (kind < 0)
        throw QuelmarError(QStringLiteral("节点“%1”（类型 %2）没有对应的交换包类型，请用 --kind 指定（0 到 8）。")
                               .arg(r.Name)
                               .arg(r.TypeID));
    CheckPackageKind(kind);
    NodeOpsContext c = contextFor(ctx, data);
    if (!NodeOps(c).RecycleGuard(node)) {
        report(ctx, true);
        return 1;
    }
    const QString file = fileArg(ctx, 2, "FILE");
    ExportSubtreeTo(c, node, file);
    report(ctx, !ctx.opt.json);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("kind"), kind}});
    return 0;
}

int runImport(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex parent = nodeArg(ctx, data, 1, "PARENT_ID");
    const QString file = fileArg(ctx, 2, "FILE");
    kindOption(ctx, -1);   // the kind only chooses the dialogs; a wrong one is still refused
    const QModelIndex created = ImportPackageFrom(contextFor(ctx, data), parent, file);
    report(ctx, false);
    if (!created.isValid())
        return 1;
    printNode(ctx, data, created);
    return 0;
}

int runSaveAsStyle(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(Library::ZiLiao);
    const QModelIndex node = nodeArg(ctx, data, 0, "ID");
    NodeOpsContext c = contextFor(ctx, data);
    if (!NodeOps(c).RecycleGuard(node)) {
        report(ctx, true);
        return 1;
    }
    const QString file = fileArg(ctx, 1, "FILE");
    SaveAsStyleTo(c, node, file);
    report(ctx, !ctx.opt.json);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("file"), file}});
    return 0;
}

int runImportFile(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex parent = nodeArg(ctx, data, 1, "PARENT_ID");
    const QModelIndex created = ImportExternalFileFrom(contextFor(ctx, data), parent, fileArg(ctx, 2, "FILE"));
    report(ctx, false);
    if (!created.isValid())
        return 1;
    printNode(ctx, data, created);
    return 0;
}

int runExportFile(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex node = nodeArg(ctx, data, 1, "ID");
    NodeOpsContext c = contextFor(ctx, data);
    if (!NodeOps(c).RecycleGuard(node)) {
        report(ctx, true);
        return 1;
    }
    const QString file = fileArg(ctx, 2, "FILE");
    ExportExternalFileTo(c, node, file);
    report(ctx, !ctx.opt.json);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("file"), file}});
    return 0;
}

QJsonObject infoJson(const BackupInfo& info)
{
    return QJsonObject{{QStringLiteral("program"), info.program},
                       {QStringLiteral("schemaVersion"), info.schemaVersion},
                       {QStringLiteral("created"), info.created.toString(Qt::ISODate)},
                       {QStringLiteral("files"), info.files},
                       {QStringLiteral("bytes"), double(info.bytes)}};
}

int runBackup(CliContext& ctx)
{
    CliSession& s = ctx.session();
    ctx.prompter.echoProgress = true;
    const QString file = fileArg(ctx, 0, "OUT.qmb");
    const BackupInfo info = CreateBackup(s.dm(), s.paths(), file, s.prompter());
    report(ctx, false);
    if (ctx.opt.json)
        ctx.printJson(infoJson(info));
    else
        ctx.print(QStringLiteral("已备份到 %1：数据库和 %2 个文件，共 %3 字节。")
                      .arg(QDir::toNativeSeparators(file))
                      .arg(info.files)
                      .arg(info.bytes));
    return 0;
}

int runRestore(CliContext& ctx)
{
    ctx.prompter.echoProgress = true;
    ctx.prompter.defaultYes = ctx.opt.yes;
    const QString file = fileArg(ctx, 0, "IN.qmb");
    const QString dir = fileArg(ctx, 1, "DIR");
    const BackupInfo info = RestoreBackup(file, dir, ctx.prompter);
    report(ctx, false);
    if (info.files < 0) {
        ctx.err << QStringLiteral("未恢复：“%1”中已有数据，替换它须加 --yes。").arg(QDir::toNativeSeparators(dir)) << '\n';
        ctx.err.flush();
        return 1;
    }
    if (ctx.opt.json)
        ctx.printJson(infoJson(info));
    else
        ctx.print(QStringLiteral("已恢复到 %1：%2 个文件（备份于 %3）。")
                      .arg(QDir::toNativeSeparators(dir))
                      .arg(info.files)
                      .arg(info.created.toString(Qt::ISODate)));
    return 0;
}

CliCommand withKind(CliCommand c)
{
    c.valueOptions << QStringLiteral("kind");
    return c;
}

CliRegistrar exportCommand(withKind(makeCliCommand(
    "export", "LIBRARY ID FILE [--kind K]", "把节点及其下级导出为交换包（类型默认由节点类型决定）", 3, 3, runExport)));
CliRegistrar importCommand(withKind(makeCliCommand(
    "import", "LIBRARY PARENT_ID FILE [--kind K]", "把交换包导入到 PARENT_ID 之下（模板、工程导入为新的一项），输出新顶层节点的 ItemID",
    3, 3, runImport)));
CliRegistrar saveAsStyleCommand(makeCliCommand("save-as-style", "ID FILE", "把工程库中的检验表格或通用表格另存为样式（.ys）", 2,
                                               2, runSaveAsStyle));
CliRegistrar importFileCommand(makeCliCommand("import-file", "LIBRARY PARENT_ID FILE",
                                              "把外部文件导入到 PARENT_ID 之下，输出新节点的 ItemID", 3, 3, runImportFile));
CliRegistrar exportFileCommand(makeCliCommand("export-file", "LIBRARY ID FILE", "把外部文件节点的文档另存一份", 3, 3,
                                              runExportFile));
CliRegistrar backupCommand(makeCliCommand("backup", "OUT.qmb", "备份整个安装（数据库和全部节点文件）到一个文件", 1, 1, runBackup));
CliRegistrar restoreCommand(makeCliCommand("restore", "IN.qmb DIR [--yes]",
                                           "检查备份后恢复到空文件夹 DIR；DIR 是已有的安装时加 --yes 替换它", 2, 2, runRestore,
                                           false));

} // namespace
