// User commands: user list, add, delete, passwd, set. They run the user manager's rules with the CLI's scripted
// prompter (the delete question is answered yes only with --yes) and need an advanced user's login, as the user
// manager window does. The new user's password of "user add" is the --password after the command's name; the
// login password goes before it (or into QUELMAR_PASSWORD).
#include "cli/Cli.h"
#include "cli/CliSession.h"

#include "users/UserManager.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// The users table as the user manager window loads it (advanced users only).
UserManager openManager(CliContext& ctx)
{
    CliSession& s = ctx.session();
    UserManager m(s.dm(), s.login(), ctx.prompter);
    m.Load();
    return m;
}

UserAccount existing(const UserManager& m, const QString& name)
{
    const std::optional<UserAccount> a = m.account(name);
    if (!a)
        throw QuelmarError(QStringLiteral("没有名为“%1”的用户。").arg(name));
    return *a;
}

int typeOption(CliContext& ctx, int fallback)
{
    const QString t = ctx.value(QStringLiteral("type"));
    if (t.isNull())
        return fallback;
    if (t == QLatin1String("0"))
        return UserType::Standard;
    if (t == QLatin1String("1"))
        return UserType::Advanced;
    throw CliUsageError(QStringLiteral("--type 应为 0（标准用户）或 1（高级用户）：%1").arg(t));
}

// What the rules told the user goes to stderr, as the program shows it in a box.
void reportMessages(CliContext& ctx)
{
    for (const ScriptedPrompter::Event& e : std::as_const(ctx.prompter.events))
        if (e.kind == QLatin1String("warning") || e.kind == QLatin1String("information")
            || e.kind == QLatin1String("error"))
            ctx.err << e.text << '\n';
    ctx.err.flush();
}

QJsonObject accountJson(const UserAccount& a)
{
    return QJsonObject{{QStringLiteral("name"), a.name},
                       {QStringLiteral("fullName"), a.fullName},
                       {QStringLiteral("description"), a.description},
                       {QStringLiteral("type"), a.type}};
}

QString typeName(int type)
{
    return type == UserType::Advanced ? QStringLiteral("高级用户") : QStringLiteral("标准用户");
}

int runList(CliContext& ctx)
{
    const QList<UserAccount> list = openManager(ctx).accounts();
    if (ctx.opt.json) {
        QJsonArray a;
        for (const UserAccount& u : list)
            a.append(accountJson(u));
        ctx.printJson(a);
        return 0;
    }
    for (const UserAccount& u : list)
        ctx.print(QStringLiteral("%1\t%2\t%3\t%4").arg(u.name, typeName(u.type), u.fullName, u.description));
    return 0;
}

int runAdd(CliContext& ctx)
{
    UserManager m = openManager(ctx);
    UserAccount a;
    a.name = ctx.arg(0, "NAME");
    a.fullName = ctx.value(QStringLiteral("full"));
    a.description = ctx.value(QStringLiteral("des"));
    a.type = typeOption(ctx, UserType::Standard);
    const QString stored = m.AddUser(a, ctx.value(QStringLiteral("password")));
    if (ctx.opt.json)
        ctx.printJson(accountJson(*m.account(stored)));
    else
        ctx.print(QStringLiteral("已添加用户 %1（%2）").arg(stored, typeName(a.type)));
    return 0;
}

int runDelete(CliContext& ctx)
{
    UserManager m = openManager(ctx);
    const UserAccount a = existing(m, ctx.arg(0, "NAME"));
    if (!m.DeleteUser(a.name)) {
        const bool told = !ctx.prompter.messages(QStringLiteral("information")).isEmpty()
                       || !ctx.prompter.messages(QStringLiteral("error")).isEmpty();
        reportMessages(ctx);
        if (!told)
            ctx.err << QStringLiteral("未删除：没有得到确认（加 --yes 回答“是”）。") << '\n';
        ctx.err.flush();
        return 1;
    }
    ctx.print(QStringLiteral("已删除用户 %1").arg(a.name));
    return 0;
}

int runPasswd(CliContext& ctx)
{
    UserManager m = openManager(ctx);
    const UserAccount a = existing(m, ctx.arg(0, "NAME"));
    m.SetPassword(a.name, ctx.arg(1, "PW"));
    ctx.print(QStringLiteral("已设置用户 %1 的密码").arg(a.name));
    return 0;
}

int runSet(CliContext& ctx)
{
    UserManager m = openManager(ctx);
    const UserAccount stored = m.PropertiesOf(existing(m, ctx.arg(0, "NAME")).name);
    UserAccount edited = stored;
    if (const QString n = ctx.value(QStringLiteral("rename")); !n.isNull())
        edited.name = n;
    if (const QString f = ctx.value(QStringLiteral("full")); !f.isNull())
        edited.fullName = f;
    if (const QString d = ctx.value(QStringLiteral("des")); !d.isNull())
        edited.description = d;
    edited.type = typeOption(ctx, stored.type);
    if (const UserRefusal r = m.PropertiesRefusal(stored.name, edited))
        throw QuelmarError(r.text);
    const QString name = m.WriteProperties(stored.name, edited);
    reportMessages(ctx);
    if (ctx.opt.json)
        ctx.printJson(accountJson(*m.account(name)));
    else
        ctx.print(QStringLiteral("已修改用户 %1").arg(name));
    return 0;
}

CliCommand userCommand(const char* name, const char* usage, const char* summary, int minArgs, int maxArgs,
                       int (*run)(CliContext&), QStringList valueOptions = {})
{
    CliCommand c = makeCliCommand(name, usage, summary, minArgs, maxArgs, run);
    c.valueOptions = std::move(valueOptions);
    return c;
}

const CliRegistrar regList(userCommand("user list", "", "列出本系统的用户（用户名、类型、全名、说明；--json）", 0, 0,
                                       runList));
const CliRegistrar regAdd(userCommand("user add", "NAME [--full TEXT] [--des TEXT] [--password PW] [--type 0|1]",
                                      "添加用户（类型 0 标准用户，1 高级用户；缺省为标准用户，密码为空）", 1, 1, runAdd,
                                      {QStringLiteral("full"), QStringLiteral("des"), QStringLiteral("password"),
                                       QStringLiteral("type")}));
const CliRegistrar regDelete(userCommand("user delete", "NAME [--yes]", "删除用户（不能删除自己和系统保留的用户）", 1,
                                         1, runDelete));
const CliRegistrar regPasswd(userCommand("user passwd", "NAME PW", "设置用户的密码", 2, 2, runPasswd));
const CliRegistrar regSet(userCommand("user set", "NAME [--rename NEW] [--full TEXT] [--des TEXT] [--type 0|1]",
                                      "修改用户的属性：改名（其工程、档案和设置随之改名）、全名、说明、类型", 1, 1,
                                      runSet,
                                      {QStringLiteral("rename"), QStringLiteral("full"), QStringLiteral("des"),
                                       QStringLiteral("type")}));

} // namespace
