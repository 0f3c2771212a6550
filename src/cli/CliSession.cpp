#include "cli/CliSession.h"
#include "cli/Cli.h"
#include "store/DataPool.h"
#include "store/WriteUnit.h"

CliSession::CliSession(CliContext& ctx) : m_ctx(ctx)
{
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
