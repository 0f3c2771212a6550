#include "store/ProgramFolder.h"
#include "cell/BlankTableFile.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void makeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        throw QuelmarError(QStringLiteral("“%1”目录创建失败！").arg(path));
}

void writeText(const QString& path, const QString& text)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit())
        throw QuelmarError(QStringLiteral("无法写入文件“%1”：%2").arg(path, f.errorString()));
}

} // namespace

QString ProgramReadmeText()
{
    return QStringLiteral(
        "Quelmar 公路工程施工资料管理系统\n"
        "================================\n\n"
        "本程序用于管理公路工程施工中的各类质量检验表格和施工资料：从模板库按模板建立工程，\n"
        "在各分部、分项下填写检验表格，自动填写表头（工程名称、监理单位、项目经理等），\n"
        "在表格设计器中编辑、打印表格，把完成的表格归档，并以交换包的形式在不同安装之间交换资料。\n\n"
        "首次登录\n"
        "--------\n"
        "请使用用户名 Admin，密码为空（不输入任何字符）。用户名和密码不区分大小写。\n"
        "登录后请在“工具”菜单中设置密码，以确保数据安全；高级用户还可以在“用户”菜单中添加其他用户。\n"
        "标准用户只能看到工程库和档案库；高级用户还可以维护模板库和管理用户。\n\n"
        "数据存放位置（均在本程序目录中）\n"
        "--------------------------------\n"
        "vesk.mdb     系统数据库：模板库、工程库、档案库、用户、工程概况及每个用户的窗口布局\n"
        "SysTables\\   模板库的表格文件，每个模板一个编号目录\n"
        "ProTables\\   工程库的表格文件和外部文件，每个工程一个编号目录（档案库引用这些文件）\n"
        "Temp\\        导出、导入交换包时使用的临时目录\n"
        "Book1.cll    新建分项和通用表格样式时复制的空白表格\n"
        "S.mdb        导出交换包时复制的空白包数据库\n\n"
        "备份时请先退出程序，再复制整个程序目录。\n\n"
        "命令行工具 quelmar-cli 可以在没有图形界面时使用同一份数据，运行 quelmar-cli --help 查看命令。\n");
}

namespace {

AppPaths createFolderFiles(const QString& dir)
{
    const AppPaths p = AppPaths::forDir(dir);
    if (QFileInfo::exists(p.DatabaseFile))
        throw QuelmarError(QStringLiteral("“%1”中已经有系统数据库 vesk.mdb，不能再次初始化。")
                               .arg(QDir::toNativeSeparators(p.AppDir)));
    if (QFileInfo::exists(p.ServerFile))
        throw QuelmarError(QStringLiteral("“%1”中已经有数据库服务器的连接文件 server.ini，不能再次初始化。")
                               .arg(QDir::toNativeSeparators(p.AppDir)));
    makeFolder(p.AppDir);
    makeFolder(p.ProTablesDir);
    makeFolder(p.SysTablesDir);
    makeFolder(p.TempDir);
    cell::writeBlankTableFile(p.BlankTableFile);
    if (QFileInfo::exists(p.BlankPackageFile) && !QFile::remove(p.BlankPackageFile))
        throw QuelmarError(QStringLiteral("无法替换文件“%1”。").arg(p.BlankPackageFile));
    TDataPoolDM::CreateBlankPackageFile(p.BlankPackageFile);
    writeText(p.ReadmeFile, ProgramReadmeText());
    return p;
}

} // namespace

AppPaths CreateProgramFolder(const QString& dir)
{
    const AppPaths p = createFolderFiles(dir);
    TDataPoolDM::CreateMainDatabase(p.DatabaseFile);
    return p;
}

AppPaths CreateProgramFolder(const QString& dir, const DatabaseLocation& server)
{
    const AppPaths p = createFolderFiles(dir);
    TDataPoolDM::CreateServerDatabase(server);
    server.writeServerFile(p.ServerFile);
    return p;
}

namespace {

// The folders that must be made, outermost first, so that `path` exists.
QStringList missingFolders(const QString& path)
{
    QStringList missing;
    QString p = QDir::cleanPath(path);
    while (!QFileInfo::exists(p)) {
        missing.prepend(p);
        const QString up = QFileInfo(p).absolutePath();
        if (up == p)
            break;
        p = up;
    }
    return missing;
}

void copyTree(const QString& from, const QString& to)
{
    const QDir source(from);
    const QFileInfoList entries =
        source.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& e : entries) {
        const QString name = e.fileName();
        const QString target = to + QLatin1Char('/') + name;
        if (e.isSymLink())
            continue;
        if (e.isDir()) {
            if (name.compare(QLatin1String("Journal"), Qt::CaseInsensitive) == 0)
                continue;
            makeFolder(target);
            copyTree(e.filePath(), target);
            continue;
        }
        if (name.endsWith(QLatin1String("-wal")) || name.endsWith(QLatin1String("-shm"))
            || name.endsWith(QLatin1String("-journal")))
            continue;
        if (!QFile::copy(e.filePath(), target))
            throw QuelmarError(QStringLiteral("复制文件“%1”出错！").arg(QDir::toNativeSeparators(e.filePath())));
        // Installed models are read-only for the user; his copy is his own.
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                                          | QFile::ReadGroup | QFile::ReadOther);
    }
}

} // namespace

AppPaths BuildProgramFolder(const QString& dir, const std::function<void(const QString& folder)>& fill)
{
    const QString target = QDir::cleanPath(QDir(dir).absolutePath());
    const QString shown = QDir::toNativeSeparators(target);
    const QFileInfo info(target);
    if (info.exists()) {
        if (!info.isDir() || !QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            throw QuelmarError(QStringLiteral("“%1”已经存在，而且不是空文件夹。请选择另一个位置。").arg(shown));
    }
    const QString parent = info.absolutePath();
    const QStringList madeParents = missingFolders(parent);
    QString work;
    const auto undo = [&] {
        if (!work.isEmpty())
            QDir(work).removeRecursively();
        for (auto it = madeParents.crbegin(); it != madeParents.crend(); ++it)
            QDir().rmdir(*it);
    };
    try {
        for (const QString& p : madeParents)
            makeFolder(p);
        // The folder is made under a hidden name of its own beside the target, so that nothing half-made ever
        // stands where a program folder is looked for.
        for (int attempt = 0; work.isEmpty(); ++attempt) {
            const QString candidate = parent + QStringLiteral("/.%1.new-%2").arg(info.fileName()).arg(
                                                   QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
            if (QDir().mkdir(candidate))
                work = candidate;
            else if (attempt > 16)
                throw QuelmarError(QStringLiteral("“%1”目录创建失败！").arg(QDir::toNativeSeparators(parent)));
        }
        fill(work);
        // rename() replaces an empty folder, and refuses one that is not empty (someone was quicker).
        if (std::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData()) != 0)
            throw QuelmarError(QStringLiteral("无法创建程序目录“%1”：%2").arg(shown, QString::fromLocal8Bit(std::strerror(errno))));
        work.clear();
    } catch (...) {
        undo();
        throw;
    }
    return AppPaths::forDir(target);
}

AppPaths CopyProgramFolder(const QString& skeleton, const QString& dir)
{
    const AppPaths model = AppPaths::forDir(skeleton);
    if (!QFileInfo(model.DatabaseFile).isFile())
        throw QuelmarError(QStringLiteral("“%1”中没有新程序目录的系统数据库 vesk.mdb。").arg(
            QDir::toNativeSeparators(model.AppDir)));
    return BuildProgramFolder(dir, [&](const QString& folder) {
        copyTree(model.AppDir, folder);
        const AppPaths p = AppPaths::forDir(folder);
        makeFolder(p.ProTablesDir);
        makeFolder(p.SysTablesDir);
        makeFolder(p.TempDir);
        CheckInstallation(folder);
    });
}
