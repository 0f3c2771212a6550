#include "cli/Cli.h"
#include "cli/CliSession.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>

#include <algorithm>
#include <optional>
#include <cstdio>

CliContext::CliContext() : out(stdout), err(stderr) {}
CliContext::~CliContext() = default;

QString CliContext::arg(int i, const char* what) const
{
    if (i >= opt.args.size())
        throw CliUsageError(QStringLiteral("缺少参数 %1").arg(QString::fromUtf8(what)));
    return opt.args.at(i);
}

int CliContext::intArg(int i, const char* what) const
{
    bool ok = false;
    const int v = arg(i, what).toInt(&ok);
    if (!ok)
        throw CliUsageError(QStringLiteral("参数 %1 应为整数：%2").arg(QString::fromUtf8(what), opt.args.at(i)));
    return v;
}

void CliContext::print(const QString& line)
{
    out << line << '\n';
    out.flush();
}

void CliContext::printJson(const QJsonValue& value)
{
    QJsonDocument doc;
    if (value.isArray())
        doc = QJsonDocument(value.toArray());
    else if (value.isObject())
        doc = QJsonDocument(value.toObject());
    else {
        // A bare value: wrap and strip so that strings and numbers print as JSON too.
        QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        out << QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2)) << '\n';
        out.flush();
        return;
    }
    out << QString::fromUtf8(doc.toJson(QJsonDocument::Indented));
    out.flush();
}

CliSession& CliContext::session()
{
    if (!m_session)
        m_session = std::make_unique<CliSession>(*this);
    return *m_session;
}

CliCommand makeCliCommand(const char* name, const char* usage, const char* summary, int minArgs, int maxArgs,
                          std::function<int(CliContext&)> run, bool needsLogin)
{
    CliCommand c;
    c.name = QString::fromUtf8(name);
    c.usage = QString::fromUtf8(usage);
    c.summary = QString::fromUtf8(summary);
    c.needsLogin = needsLogin;
    c.minArgs = minArgs;
    c.maxArgs = maxArgs;
    c.run = std::move(run);
    return c;
}

CliRegistry& CliRegistry::instance()
{
    static CliRegistry registry;
    return registry;
}

void CliRegistry::add(CliCommand command)
{
    m_commands.append(std::move(command));
}

const CliCommand* CliRegistry::find(const QStringList& words, int* wordsUsed) const
{
    const CliCommand* best = nullptr;
    int bestWords = 0;
    for (const CliCommand& c : m_commands) {
        const QStringList parts = c.name.split(QLatin1Char(' '));
        if (parts.size() > words.size() || parts.size() <= bestWords)
            continue;
        if (std::equal(parts.begin(), parts.end(), words.begin())) {
            best = &c;
            bestWords = int(parts.size());
        }
    }
    if (wordsUsed)
        *wordsUsed = bestWords;
    return best;
}

QList<const CliCommand*> CliRegistry::all() const
{
    QList<const CliCommand*> out;
    for (const CliCommand& c : m_commands)
        out << &c;
    std::sort(out.begin(), out.end(), [](auto a, auto b) { return a->name < b->name; });
    return out;
}

namespace {

QString helpText()
{
    QString text = QStringLiteral(
        "用法: quelmar-cli [--dir 程序目录] [--db postgresql://用户@主机:端口/数据库] [--user 用户名] [--password 口令] "
        "[--json] 命令 [参数...]\n\n命令:\n");
    for (const CliCommand* c : CliRegistry::instance().all())
        text += QStringLiteral("  %1 %2\n      %3\n").arg(c->name, c->usage, c->summary);
    return text;
}

// Splits the global options, the command words and the command's own options. Options may stand anywhere; an
// option takes a value when it is a global one with a value or any registered command declares it with one. A
// command that declares --password (user add) takes it when it stands after the command's name; the login password
// then goes before the name or into QUELMAR_PASSWORD.
void parseArguments(const QStringList& arguments, CliContext& ctx, const CliCommand*& command)
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    CliOptions& o = ctx.opt;
    o.dir = env.value(QStringLiteral("QUELMAR_DIR"));
    o.user = env.value(QStringLiteral("QUELMAR_USER"), QStringLiteral("Admin"));
    o.password = env.value(QStringLiteral("QUELMAR_PASSWORD"));

    QSet<QString> valueOptions{QStringLiteral("dir"), QStringLiteral("user"), QStringLiteral("password"),
                               QStringLiteral("db")};
    for (const CliCommand* c : CliRegistry::instance().all())
        for (const QString& v : c->valueOptions)
            valueOptions.insert(v);

    QStringList words;
    QList<std::pair<QString, std::optional<QString>>> own;   // the command's options, checked once it is known
    bool afterDashes = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (afterDashes || !a.startsWith(QLatin1String("--")) || a.size() == 2) {
            if (!afterDashes && a == QLatin1String("--"))
                afterDashes = true;
            else
                words << a;
            continue;
        }
        QString name = a.mid(2);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        } else if (valueOptions.contains(name)) {
            if (i + 1 >= arguments.size())
                throw CliUsageError(QStringLiteral("选项 --%1 缺少值").arg(name));
            value = arguments.at(++i);
        }
        if (name == QLatin1String("dir") && value)
            o.dir = *value;
        else if (name == QLatin1String("user") && value)
            o.user = *value;
        else if (name == QLatin1String("password") && value && !words.isEmpty())
            own.append({name, value});   // the command's own --password when it has one (user add), else the login's
        else if (name == QLatin1String("password") && value)
            o.password = *value;
        else if (name == QLatin1String("db") && value)
            o.db = *value;
        else if (name == QLatin1String("json") && !value)
            o.json = true;
        else if (name == QLatin1String("yes") && !value)
            o.yes = true;
        else if (name == QLatin1String("help") && !value)
            words.prepend(QStringLiteral("help"));
        else
            own.append({name, value});
    }

    int used = 0;
    command = CliRegistry::instance().find(words, &used);
    if (!command) {
        if (words.isEmpty() || words.first() == QLatin1String("help"))
            return;
        throw CliUsageError(QStringLiteral("未知命令：%1").arg(words.first()));
    }
    for (const auto& [name, value] : own) {
        if (name == QLatin1String("password") && value && !command->valueOptions.contains(name))
            o.password = *value;
        else if (value && command->valueOptions.contains(name))
            o.values[name].append(*value);
        else if (!value && command->flagOptions.contains(name))
            o.flags.insert(name);
        else
            throw CliUsageError(QStringLiteral("命令 %1 没有选项 --%2").arg(command->name, name));
    }
    o.args = words.mid(used);
    if (o.args.size() < command->minArgs || (command->maxArgs >= 0 && o.args.size() > command->maxArgs))
        throw CliUsageError(QStringLiteral("参数个数不对"));
}

} // namespace

int runCli(const QStringList& arguments)
{
    CliContext ctx;
    const CliCommand* command = nullptr;
    try {
        parseArguments(arguments, ctx, command);
        if (!command) {
            ctx.out << helpText();
            return arguments.isEmpty() ? 2 : 0;
        }
        ctx.prompter.defaultYes = ctx.opt.yes;
        ctx.prompter.echoProgress = true;
        if (ctx.opt.dir.isEmpty())
            ctx.opt.dir = QDir::currentPath();
        if (command->needsLogin)
            ctx.session();
        return command->run(ctx);
    } catch (const CliUsageError& e) {
        ctx.err << e.message() << '\n';
        if (command)
            ctx.err << QStringLiteral("用法: quelmar-cli %1 %2\n").arg(command->name, command->usage);
        else
            ctx.err << helpText();
        ctx.err.flush();
        return 2;
    } catch (const QuelmarError& e) {
        ctx.err << e.message() << '\n';
        ctx.err.flush();
        return 1;
    } catch (const std::exception& e) {
        ctx.err << QString::fromLocal8Bit(e.what()) << '\n';
        ctx.err.flush();
        return 1;
    }
}
