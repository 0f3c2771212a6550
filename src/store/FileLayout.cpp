#include "store/FileLayout.h"
#include "core/QuelmarError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

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

bool NodeFileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool CopyNodeFile(const QString& from, const QString& to)
{
    namespace fs = std::filesystem;
    const fs::path source(from.toStdU16String());
    const fs::path target(to.toStdU16String());
    fs::path part = target;
    part += u".part";
    std::error_code ec;
    // copy_file lets the kernel copy the bytes; QFile::copy would go through a temporary file of its own.
    if (!fs::copy_file(source, part, fs::copy_options::overwrite_existing, ec)) {
        fs::remove(part, ec);
        return false;
    }
    fs::permissions(part, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::rename(part, target, ec);
    if (ec) {
        fs::remove(part, ec);
        return false;
    }
    return true;
}

bool MoveNodeFile(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    struct stat st;
    if (::lstat(source.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // One call that never replaces what is at the target (no window between a check and the rename).
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST || errno == ENOENT)
        return false;
    if (errno != EXDEV) {
        // A file system without no-replace renames: check, then rename.
        if (QFileInfo::exists(to))
            return false;
        if (QFile::rename(from, to))
            return true;
    }
    // Another file system: copy, then remove the source; a source that cannot go takes its copy back.
    if (!CopyNodeFile(from, to))
        return false;
    if (!RemoveNodeFile(from)) {
        QFile::remove(to);
        return false;
    }
    return true;
}

bool RemoveEmptyFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return true;
    return info.isDir() && QDir().rmdir(info.absoluteFilePath());
}

bool Discard(const QString& path, const QString& discarded)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return QFile::rename(path, discarded) || (info.isDir() && QDir().rename(path, discarded));
}

bool MoveBack(const QString& original, const QString& moved)
{
    const QFileInfo from(moved);
    if (!from.exists() && !from.isSymLink())
        return true;
    if (QFileInfo::exists(original))
        return false;
    return from.isDir() ? QDir().rename(moved, original) : QFile::rename(moved, original);
}

bool RemoveDiscarded(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return info.isDir() && !info.isSymLink() ? RemoveNodeFolder(path) : RemoveNodeFile(path);
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
