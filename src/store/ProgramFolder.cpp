#include "store/ProgramFolder.h"
#include "cell/BlankTableFile.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
