// The commands of the foundation: creating a program folder, logging in, showing a library tree.
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "projects/SampleTemplate.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "core/Prompter.h"

#include <QFileInfo>
#include "trees/NodeKinds.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

namespace {

int runInit(CliContext& ctx)
{
    const QString server = ctx.value(QStringLiteral("server"));
    const DatabaseLocation location =
        server.isEmpty() ? DatabaseLocation() : DatabaseLocation::fromUrl(server);
    const AppPaths p = server.isEmpty() ? CreateProgramFolder(ctx.arg(0, "DIR"))
                                        : CreateProgramFolder(ctx.arg(0, "DIR"), location);
    const bool sample = ctx.flag(QStringLiteral("sample"));
    if (sample) {
        TDataPoolDM dm(ProgramDatabase(p));
        AddSampleTemplate(dm, p);
    }
    if (ctx.opt.json) {
        ctx.printJson(QJsonObject{{QStringLiteral("dir"), QDir::toNativeSeparators(p.AppDir)},
                                  {QStringLiteral("sample"), sample}});
        return 0;
    }
    ctx.print(QStringLiteral("已创建程序目录：%1").arg(QDir::toNativeSeparators(p.AppDir)));
    if (!server.isEmpty())
        ctx.print(QStringLiteral("数据库在%1（连接文件 server.ini）。").arg(location.displayName()));
    if (sample)
        ctx.print(QStringLiteral("已添加示例模板：%1").arg(SampleTemplateName()));
    ctx.print(QStringLiteral("首次登录请使用用户名 Admin，密码为空。"));
    return 0;
}

QString userTypeText(int type)
{
    return type == 1 ? QStringLiteral("高级用户") : type == 0 ? QStringLiteral("标准用户") : QStringLiteral("未知");
}

int runLogin(CliContext& ctx)
{
    const TLoginInfo& info = ctx.session().login();
    if (ctx.opt.json) {
        ctx.printJson(QJsonObject{{QStringLiteral("opName"), info.opName}, {QStringLiteral("opType"), info.opType}});
        return 0;
    }
    ctx.print(QStringLiteral("%1\t%2 (%3)").arg(info.opName).arg(info.opType).arg(userTypeText(info.opType)));
    return 0;
}

int runTree(CliContext& ctx)
{
    const Library library = CliSession::parseLibrary(ctx.arg(0, "LIBRARY"));
    LibraryData& data = ctx.session().library(library);
    const bool withOwner = LibraryHasOwner(library);
    QJsonArray nodes;
    data.tree.forEachPreOrder([&](const QModelIndex& index, int level) {
        const NodeRecord r = data.tree.record(index);
        if (!ctx.opt.json) {
            ctx.out << QString(level * 2, QLatin1Char(' ')) << r.Name << QStringLiteral("  [%1]").arg(r.ItemID)
                    << '\n';
            return;
        }
        QJsonObject o{
            {QStringLiteral("ItemID"), r.ItemID},       {QStringLiteral("Name"), r.Name},
            {QStringLiteral("TypeID"), r.TypeID},       {QStringLiteral("P_ItemID"), r.P_ItemID},
            {QStringLiteral("iDir"), r.iDir},           {QStringLiteral("File_Name"), r.File_Name},
            {QStringLiteral("Ext"), r.Ext},             {QStringLiteral("FillMode"), r.FillMode},
            {QStringLiteral("iPartIndex"), 0},          {QStringLiteral("level"), level},
        };
        const RowSet::RowId row = data.rows.find(r.ItemID);
        if (row >= 0) {
            o.insert(QStringLiteral("iPartIndex"), data.rows.value(row, QStringLiteral("iPartIndex")).toInt());
            if (withOwner)
                o.insert(QStringLiteral("UserID"), data.rows.value(row, QStringLiteral("UserID")).toString());
        }
        nodes.append(o);
    });
    if (ctx.opt.json)
        ctx.printJson(nodes);
    ctx.out.flush();
    return 0;
}

CliCommand initCommandSpec()
{
    CliCommand c;
    c.name = QStringLiteral("init");
    c.usage = QStringLiteral("DIR [--sample] [--server postgresql://用户@主机:端口/数据库]");
    c.summary = QStringLiteral("创建新的程序目录（数据库、表格目录、空白表格、说明文件）；--server：数据库建在服务器上（多人合用）");
    c.needsLogin = false;
    c.flagOptions = {QStringLiteral("sample")};
    c.valueOptions = {QStringLiteral("server")};
    c.minArgs = 1;
    c.maxArgs = 1;
    c.run = runInit;
    return c;
}

CliCommand loginCommandSpec()
{
    CliCommand c;
    c.name = QStringLiteral("login");
    c.summary = QStringLiteral("按登录规则验证用户，显示登录名和用户类型");
    c.maxArgs = 0;
    c.run = runLogin;
    return c;
}

CliCommand treeCommandSpec()
{
    CliCommand c;
    c.name = QStringLiteral("tree");
    c.usage = QStringLiteral("LIBRARY   (moban|template, ziliao|project, guidang|archive)");
    c.summary = QStringLiteral("按当前用户所见显示一个库的树");
    c.minArgs = 1;
    c.maxArgs = 1;
    c.run = runTree;
    return c;
}

// Moves a single-user folder's database onto a server: every table in one transaction, then "server.ini".
int runDbPush(CliContext& ctx)
{
    const QString server = ctx.value(QStringLiteral("server"));
    if (server.isEmpty())
        throw CliUsageError(QStringLiteral("需要 --server postgresql://用户@主机:端口/数据库"));
    const DatabaseLocation location = DatabaseLocation::fromUrl(server);
    const AppPaths p = CheckInstallation(ctx.arg(0, "DIR"));
    if (QFileInfo::exists(p.ServerFile))
        throw QuelmarError(QStringLiteral("“%1”已经使用数据库服务器（server.ini）。").arg(QDir::toNativeSeparators(p.AppDir)));
    TDataPoolDM dm(p.DatabaseFile);
    ProgressScope progress(ctx.prompter);
    dm.PushToServer(location, [&](const QString& table, qsizetype done, qsizetype total) {
        progress.step(QStringLiteral("复制表 %1").arg(table), done, total);
    });
    location.writeServerFile(p.ServerFile);
    ctx.print(QStringLiteral("已把数据库复制到%1；程序目录从此使用服务器（server.ini）。原来的 vesk.mdb 保留未动。")
                  .arg(location.displayName()));
    return 0;
}

CliCommand dbPushCommandSpec()
{
    CliCommand c;
    c.name = QStringLiteral("db push");
    c.usage = QStringLiteral("DIR --server postgresql://用户@主机:端口/数据库");
    c.summary = QStringLiteral("把单机程序目录的数据库整个复制到数据库服务器上的空数据库，从此多人合用");
    c.needsLogin = false;
    c.valueOptions = {QStringLiteral("server")};
    c.minArgs = 1;
    c.maxArgs = 1;
    c.run = runDbPush;
    return c;
}

CliRegistrar initCommand(initCommandSpec());
CliRegistrar dbPushCommand(dbPushCommandSpec());
CliRegistrar loginCommand(loginCommandSpec());
CliRegistrar treeCommand(treeCommandSpec());

} // namespace
