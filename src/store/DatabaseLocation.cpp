#include "store/DatabaseLocation.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString kServerGroup = QStringLiteral("server");

} // namespace

DatabaseLocation DatabaseLocation::sqliteFile(const QString& file)
{
    DatabaseLocation l;
    l.file = file;
    return l;
}

DatabaseLocation DatabaseLocation::fromUrl(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")))
        throw QuelmarError(QStringLiteral("数据库地址“%1”不正确，应为 postgresql://用户名@主机:端口/数据库名。").arg(text));
    DatabaseLocation l;
    l.engine = Engine::Postgres;
    l.host = url.host();
    l.port = url.port(5432);
    l.user = url.userName();
    l.password = url.password();
    l.database = url.path().mid(1);
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("host")))
        l.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (query.hasQueryItem(QStringLiteral("schema")))
        l.schema = query.queryItemValue(QStringLiteral("schema"), QUrl::FullyDecoded);
    if (l.database.isEmpty() || l.database.contains(QLatin1Char('/')))
        throw QuelmarError(QStringLiteral("数据库地址“%1”中没有数据库名，应为 postgresql://用户名@主机:端口/数据库名。").arg(text));
    if (l.port <= 0 || l.port > 65535)
        throw QuelmarError(QStringLiteral("数据库地址“%1”中的端口不正确。").arg(text));
    return l;
}

QString DatabaseLocation::url() const
{
    if (!isServer())
        return QUrl::fromLocalFile(file).toString();
    QUrl u;
    u.setScheme(QStringLiteral("postgresql"));
    u.setUserName(user);
    const bool socket = host.startsWith(QLatin1Char('/'));
    if (!socket)
        u.setHost(host);
    u.setPort(port);
    u.setPath(QLatin1Char('/') + database);
    QUrlQuery q;
    if (socket)
        q.addQueryItem(QStringLiteral("host"), host);
    if (!schema.isEmpty())
        q.addQueryItem(QStringLiteral("schema"), schema);
    u.setQuery(q);
    return u.toString();
}

QString DatabaseLocation::displayName() const
{
    if (!isServer())
        return QDir::toNativeSeparators(file);
    return QStringLiteral("服务器 %1:%2 上的数据库 %3").arg(host.isEmpty() ? QStringLiteral("localhost") : host).arg(port).arg(database);
}

DatabaseLocation DatabaseLocation::readServerFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw QuelmarError(QStringLiteral("连接文件“%1”不存在。").arg(QDir::toNativeSeparators(path)));
    QSettings s(path, QSettings::IniFormat);
    if (s.status() != QSettings::NoError)
        throw QuelmarError(QStringLiteral("连接文件“%1”无法读取。").arg(QDir::toNativeSeparators(path)));
    s.beginGroup(kServerGroup);
    DatabaseLocation l;
    l.engine = Engine::Postgres;
    l.host = s.value(QStringLiteral("host")).toString();
    l.port = s.value(QStringLiteral("port"), 5432).toInt();
    l.database = s.value(QStringLiteral("database")).toString();
    l.user = s.value(QStringLiteral("user")).toString();
    l.schema = s.value(QStringLiteral("schema")).toString();
    if (l.database.isEmpty() || l.port <= 0 || l.port > 65535)
        throw QuelmarError(QStringLiteral("连接文件“%1”不完整：需要 [server] 下的 database（以及 host、port、user）。")
                               .arg(QDir::toNativeSeparators(path)));
    return l;
}

void DatabaseLocation::writeServerFile(const QString& path) const
{
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    {
        QSettings s(temp, QSettings::IniFormat);
        s.beginGroup(kServerGroup);
        s.setValue(QStringLiteral("host"), host);
        s.setValue(QStringLiteral("port"), port);
        s.setValue(QStringLiteral("database"), database);
        s.setValue(QStringLiteral("user"), user);
        if (!schema.isEmpty())
            s.setValue(QStringLiteral("schema"), schema);
        s.endGroup();
        s.sync();
        if (s.status() != QSettings::NoError)
            throw QuelmarError(QStringLiteral("无法写入连接文件“%1”。").arg(QDir::toNativeSeparators(path)));
    }
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw QuelmarError(QStringLiteral("无法写入连接文件“%1”。").arg(QDir::toNativeSeparators(path)));
    }
}

DatabaseLocation ProgramDatabase(const AppPaths& paths, const QString& override)
{
    if (!override.isEmpty())
        return DatabaseLocation::fromUrl(override);
    const QString server = paths.AppDir + DatabaseLocation::ServerFileName();
    if (QFileInfo(server).isFile())
        return DatabaseLocation::readServerFile(server);
    return DatabaseLocation::sqliteFile(paths.DatabaseFile);
}
