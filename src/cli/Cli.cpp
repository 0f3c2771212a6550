#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "Version.h"
#include "store/AppPaths.h"
#include "store/UserFolder.h"

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

// The options every command takes (parsed in parseArguments below); --help and the manual page list them.
struct GlobalOption {
    const char* name;
    const char* value;   // empty: a flag
    const char* text;
};
const GlobalOption kGlobalOptions[] = {
    {"dir", "程序目录",
     "程序目录（数据库与表格文件所在的文件夹）。默认：环境变量 QUELMAR_DIR；否则当前文件夹，当它是程序目录时；"
     "否则用户的程序目录（桌面程序创建或打开时记住的那个，默认 ~/Quelmar）。"},
    {"db", "postgresql://用户@主机:端口/数据库", "数据库服务器（多人合用），代替程序目录所指的数据库。"},
    {"user", "用户名", "登录的用户。默认：环境变量 QUELMAR_USER，否则 Admin。"},
    {"password", "口令", "登录口令。默认：环境变量 QUELMAR_PASSWORD，否则为空。"},
    {"json", "", "以 JSON 格式输出结果。"},
    {"yes", "", "对所有提问回答“是”。"},
    {"help", "", "显示命令列表。"},
};

QString helpText()
{
    QString text = QStringLiteral(
        "用法: quelmar-cli [--dir 程序目录] [--db postgresql://用户@主机:端口/数据库] [--user 用户名] [--password 口令] "
        "[--json] 命令 [参数...]\n\n选项:\n");
    for (const GlobalOption& o : kGlobalOptions) {
        const QString value = QString::fromUtf8(o.value);
        text += QStringLiteral("  --%1%2\n      %3\n")
                    .arg(QString::fromUtf8(o.name), value.isEmpty() ? QString() : QLatin1Char(' ') + value,
                         QString::fromUtf8(o.text));
    }
    text += QStringLiteral("\n命令:\n");
    for (const CliCommand* c : CliRegistry::instance().all())
        text += QStringLiteral("  %1 %2\n      %3\n").arg(c->name, c->usage, c->summary);
    return text;
}

// Text for roff: backslashes and minus signs escaped, a control character at the start of a line neutralised, and
// a break point after each CJK character (roff breaks lines only at blanks, and Chinese has none).
QString roff(const QString& text, bool breakCjk = true)
{
    // No break after an opening mark, nor before a closing one or a punctuation mark.
    static const QString opening = QStringLiteral("（“‘《【〔");
    static const QString closing = QStringLiteral("）”’》】〕，。；：！？、");
    const auto isCjk = [](QChar ch) {
        const char16_t u = ch.unicode();
        return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF)
               || opening.contains(ch) || closing.contains(ch);
    };
    QString out;
    out.reserve(text.size() * 2);
    bool lineStart = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (lineStart && (ch == QLatin1Char('.') || ch == QLatin1Char('\'')))
            out += QLatin1String("\\&");
        lineStart = ch == QLatin1Char('\n');
        if (ch == QLatin1Char('\\'))
            out += QLatin1String("\\e");
        else if (ch == QLatin1Char('-'))
            out += QLatin1String("\\-");
        else
            out += ch;
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (breakCjk && isCjk(ch) && !opening.contains(ch) && !next.isNull() && !closing.contains(next)
            && !next.isSpace())
            out += QLatin1String("\\:");
    }
    return out;
}

// The manual page quelmar-cli(1), made from the same option table and command registry as --help.
QString manPageText()
{
    QString t;
    t += QStringLiteral(".TH QUELMAR\\-CLI 1 \"\" \"Quelmar %1\" \"Quelmar\"\n").arg(QStringLiteral(QUELMAR_VERSION));
    // Ragged right: lines of Chinese have no blanks to stretch.
    t += QStringLiteral(".ad l\n.nh\n");
    t += QStringLiteral(".SH NAME\nquelmar\\-cli \\- %1\n").arg(roff(QStringLiteral("Quelmar 公路工程施工资料管理系统的命令行工具"), false));
    t += QStringLiteral(".SH SYNOPSIS\n.B quelmar\\-cli\n");
    for (const GlobalOption& o : kGlobalOptions) {
        const QString value = QString::fromUtf8(o.value);
        if (QLatin1String(o.name) == QLatin1String("help"))
            continue;
        t += value.isEmpty() ? QStringLiteral("[\\fB\\-\\-%1\\fR]\n").arg(roff(QString::fromUtf8(o.name)))
                             : QStringLiteral("[\\fB\\-\\-%1\\fR \\fI%2\\fR]\n")
                                   .arg(roff(QString::fromUtf8(o.name)), roff(value));
    }
    t += QStringLiteral("\\fI%1\\fR [\\fI%2\\fR...]\n.br\n.B quelmar\\-cli \\-\\-help\n")
             .arg(roff(QStringLiteral("命令")), roff(QStringLiteral("参数")));
    t += QStringLiteral(".SH DESCRIPTION\n%1\n.PP\n%2\n")
             .arg(roff(QStringLiteral("quelmar-cli 在没有图形界面时使用桌面程序 quelmar 的同一个程序目录：创建程序目录、"
                                      "查看和修改模板库、工程库和档案库的树、新建工程、填写和打印表格、管理用户。"
                                      "它和桌面程序遵守同样的登录规则，两者可以同时使用同一个程序目录。")),
                  roff(QStringLiteral("quelmar-cli init DIR --sample 创建带示例模板的新程序目录；"
                                      "其他命令都在一个已有的程序目录上工作，并以 --user 指定的用户登录。")));
    t += QStringLiteral(".SH OPTIONS\n");
    for (const GlobalOption& o : kGlobalOptions) {
        const QString value = QString::fromUtf8(o.value);
        t += QStringLiteral(".TP\n\\fB\\-\\-%1\\fR%2\n%3\n")
                 .arg(roff(QString::fromUtf8(o.name)),
                      value.isEmpty() ? QString() : QStringLiteral(" \\fI%1\\fR").arg(roff(value)),
                      roff(QString::fromUtf8(o.text)));
    }
    t += QStringLiteral(".SH COMMANDS\n");
    for (const CliCommand* c : CliRegistry::instance().all())
        t += QStringLiteral(".TP\n\\fB%1\\fR %2\n%3\n").arg(roff(c->name), roff(c->usage), roff(c->summary));
    t += QStringLiteral(".SH ENVIRONMENT\n.TP\n.B QUELMAR_DIR\n%1\n.TP\n.B QUELMAR_USER\n%2\n.TP\n.B QUELMAR_PASSWORD\n%3\n")
             .arg(roff(QStringLiteral("程序目录，代替 --dir 的默认值。")), roff(QStringLiteral("登录的用户名。")),
                  roff(QStringLiteral("登录口令。")));
    t += QStringLiteral(".SH EXIT STATUS\n.TP\n.B 0\n%1\n.TP\n.B 1\n%2\n.TP\n.B 2\n%3\n")
             .arg(roff(QStringLiteral("成功。")), roff(QStringLiteral("操作失败；错误信息在标准错误输出上。")),
                  roff(QStringLiteral("命令行用法错误。")));
    t += QStringLiteral(".SH FILES\n.TP\n.I ~/Quelmar\n%1\n.TP\n.I ~/.config/quelmar/quelmar.conf\n%2\n.TP\n.I /usr/share/quelmar/skel\n%3\n")
             .arg(roff(QStringLiteral("用户的程序目录的默认位置：系统数据库 vesk.mdb、模板库和工程库的表格文件。")),
                  roff(QStringLiteral("记住用户的程序目录在别处时的位置。")),
                  roff(QStringLiteral("桌面程序首次启动时复制的新程序目录（带示例模板）。")));
    t += QStringLiteral(".SH SEE ALSO\n.BR quelmar (1)\n");
    return t;
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
    // Hidden: the manual page, which the build makes from this program itself.
    if (arguments == QStringList{QStringLiteral("--manpage")}) {
        ctx.out << manPageText();
        ctx.out.flush();
        return 0;
    }
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
            ctx.opt.dir = HasProgramDatabase(QDir::currentPath()) ? QDir::currentPath() : UserProgramFolder();
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
