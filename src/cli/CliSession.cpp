#include "cli/CliSession.h"
#include "cli/Cli.h"

CliSession::CliSession(CliContext&)
{
    throw QuelmarError(QStringLiteral("登录功能尚未完成"));
}

CliSession::~CliSession() = default;
