#include "cli/CliSession.h"
#include "cli/Cli.h"
#include "store/DataPool.h"
#include "store/WriteUnit.h"

#include <QDir>

CliSession::CliSession(CliContext& ctx) : m_ctx(ctx)
{
    // No program folder there at all: say how to make one or name another.
    if (ctx.opt.db.isEmpty() && !HasProgramDatabase(ctx.opt.dir)) {
        const QString dir = QDir::toNativeSeparators(QDir::cleanPath(QDir(ctx.opt.dir).absolutePath()));
        throw QuelmarError(QStringLiteral("系统数据库文件不存在？\n"
                                          "“%1”不是程序目录（其中没有系统数据库 vesk.mdb）。\n"
                                          "新建程序目录：quelmar-cli init %1 --sample（或启动桌面程序 quelmar，它会提议创建）。\n"
                                          "使用已有的程序目录：--dir 目录，或环境变量 QUELMAR_DIR。")
                               .arg(dir));
    }
    m_paths = CheckInstallation(ctx.opt.dir, !ctx.opt.db.isEmpty());
    m_dm = std::make_unique<TDataPoolDM>(ProgramDatabase(m_paths, ctx.opt.db));
    RecoverInterruptedWork(*m_dm, m_paths);
    if (!TryLogin(*m_dm, ctx.opt.user, ctx.opt.password, m_login, false))
        throw QuelmarError(LoginFailedMessage());
    CheckUserType(m_login);
}

CliSession::~CliSession() = default;

Prompter& CliSession::prompter()
{
    return m_ctx.prompter;
}

LibraryData& CliSession::library(Library library)
{
    if (library == Library::Moban && !m_login.isAdvanced())
        throw QuelmarError(QStringLiteral("只有高级用户才能使用模板库，用户“%1”是标准用户。").arg(m_login.opName));
    auto& slot = m_libraries[library];
    if (!slot) {
        auto data = std::make_unique<LibraryData>(library);
        data->load(*m_dm, m_login.opName);
        slot = std::move(data);
    }
    return *slot;
}

Library CliSession::parseLibrary(const QString& text)
{
    const QString t = text.toLower();
    if (t == QLatin1String("moban") || t == QLatin1String("template"))
        return Library::Moban;
    if (t == QLatin1String("ziliao") || t == QLatin1String("project"))
        return Library::ZiLiao;
    if (t == QLatin1String("guidang") || t == QLatin1String("archive"))
        return Library::GuiDang;
    throw CliUsageError(
        QStringLiteral("未知的库：%1（应为 moban/template、ziliao/project 或 guidang/archive）").arg(text));
}
