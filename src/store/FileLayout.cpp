#include "store/FileLayout.h"
#include "core/QuelmarError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

void makeWritable(const QString& path)
{
    QFile f(path);
    const QFileDevice::Permissions perms = f.permissions();
    if (perms & QFileDevice::WriteOwner)
        return;
    if (!f.setPermissions(perms | QFileDevice::WriteOwner | QFileDevice::WriteUser))
        throw QuelmarError(QStringLiteral("设置文件“%1”属性出错！").arg(QDir::toNativeSeparators(path)));
}

} // namespace

namespace FileLayout {

QString NodeFilePath(const QString& folder, int fileName, const QString& ext)
{
    QString f = folder;
    if (!f.endsWith(QLatin1Char('/')) && !f.endsWith(QDir::separator()))
        f += QLatin1Char('/');
    return f + QString::number(fileName) + ext;
}

void CreateNodeFolder(const QString& folder, bool refuseExisting)
{
    if (QFileInfo::exists(folder)) {
        if (refuseExisting)
            throw QuelmarError(QStringLiteral("“%1”目录已经存在！").arg(folder));
        if (QFileInfo(folder).isDir())
            return;
    }
    if (!QDir().mkpath(folder))
        throw QuelmarError(QStringLiteral("“%1”目录创建失败！").arg(folder));
}

bool RemoveNodeFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    makeWritable(path);
    return QFile::remove(path);
}

bool RemoveNodeFolder(const QString& folder)
{
    QDir dir(folder);
    if (!dir.exists())
        return false;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        if (e.isDir() && !e.isSymLink())
            return false;   // entries are deleted as files: a subfolder keeps the folder
        makeWritable(e.filePath());
        if (!QFile::remove(e.filePath()))
            return false;
    }
    return QDir().rmdir(dir.absolutePath());
}

}
