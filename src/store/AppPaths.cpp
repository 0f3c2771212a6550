#include "store/AppPaths.h"
#include "core/QuelmarError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString withSeparator(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

AppPaths AppPaths::forDir(const QString& dir)
{
    AppPaths p;
    p.AppDir = withSeparator(QDir::cleanPath(QDir(dir).absolutePath()));
    p.DatabaseFile = p.AppDir + QStringLiteral("vesk.mdb");
    p.ServerFile = p.AppDir + QStringLiteral("server.ini");
    p.ProTablesDir = p.AppDir + QStringLiteral("ProTables/");
    p.SysTablesDir = p.AppDir + QStringLiteral("SysTables/");
    p.BlankTableFile = p.AppDir + QStringLiteral("Book1.cll");
    p.BlankPackageFile = p.AppDir + QStringLiteral("S.mdb");
    p.TempDir = p.AppDir + QStringLiteral("Temp/");
    p.TempPackageFile = p.TempDir + QStringLiteral("S.mdb");
    p.ReadmeFile = p.AppDir + QStringLiteral("Readme.txt");
    return p;
}

QString AppPaths::MobanFolderPath(int iDir) const
{
    return SysTablesDir + QString::number(iDir) + QLatin1Char('/');
}

QString AppPaths::ZiLiaoFolderPath(int iDir) const
{
    return ProTablesDir + QString::number(iDir) + QLatin1Char('/');
}

AppPaths CheckInstallation(const QString& dir, bool databaseElsewhere)
{
    const AppPaths p = AppPaths::forDir(dir);
    // In team mode the folder holds the server's connection file instead of the database.
    if (!databaseElsewhere && !QFileInfo(p.DatabaseFile).isFile() && !QFileInfo(p.ServerFile).isFile())
        throw QuelmarError(QStringLiteral("系统数据库文件不存在？"));

    // The path messages are the program's own wording: only the first has no blank before the closing mark.
    const auto isDir = [](const QString& path) { return QFileInfo(path).isDir(); };
    const auto isFile = [](const QString& path) { return QFileInfo(path).isFile(); };
    if (!isDir(p.ProTablesDir))
        throw QuelmarError(QStringLiteral("“%1”目录不存在！").arg(p.ProTablesDir));
    if (!isDir(p.SysTablesDir))
        throw QuelmarError(QStringLiteral("“%1 ”目录不存在！").arg(p.SysTablesDir));
    if (!isFile(p.BlankTableFile))
        throw QuelmarError(QStringLiteral("“%1 ”文件不存在！").arg(p.BlankTableFile));
    if (!isFile(p.BlankPackageFile))
        throw QuelmarError(QStringLiteral("“%1 ”库文件不存在！").arg(p.BlankPackageFile));
    if (!isDir(p.TempDir))
        throw QuelmarError(QStringLiteral("“%1 ”目录不存在！").arg(p.TempDir));
    if (!isFile(p.ReadmeFile))
        throw QuelmarError(QStringLiteral("“%1 ”文件不存在！").arg(p.ReadmeFile));
    return p;
}

bool HasProgramDatabase(const QString& dir)
{
    const AppPaths p = AppPaths::forDir(dir);
    return QFileInfo(p.DatabaseFile).isFile() || QFileInfo(p.ServerFile).isFile();
}

QString InstalledDataDir()
{
    const QString named = qEnvironmentVariable("QUELMAR_DATA_DIR");
    if (!named.isEmpty())
        return QFileInfo(named).isDir() ? withSeparator(QDir::cleanPath(QDir(named).absolutePath())) : QString();
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quelmar");
    return QFileInfo(beside).isDir() ? withSeparator(QDir::cleanPath(beside)) : QString();
}

QString InstalledSkeletonFolder()
{
    const QString data = InstalledDataDir();
    if (data.isEmpty())
        return QString();
    const QString skeleton = data + QStringLiteral("skel/");
    return QFileInfo(skeleton + QStringLiteral("vesk.mdb")).isFile() ? skeleton : QString();
}
