// The exchange work of the main window: export and import of packages (both libraries, every kind), external files
// (import, export; opening is the shell's), save as style, backup and restore in the tools menu, and the import of
// a package file the program was started with.
#include "app/MainFrm.h"

#include "app/IconFactory.h"
#include "app/PackageTargetFrm.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "exchange/Backup.h"
#include "exchange/ExternalFiles.h"
#include "exchange/Package.h"
#include "exchange/SaveAsStyle.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTreeView>

namespace {

// The package kind of each export and import action: the action's TypeID -> the kind of its dialogs.
int kindOfAction(Library library, int typeId)
{
    return PackageKindOfNode(library, typeId);
}

const QString kBackupFilter = QStringLiteral("Quelmar 备份文件(*.qmb)|*.qmb|所有文件(*.*)|*.*");

} // namespace

void TMainFrm::exportPackage(Library lib, int typeId)
{
    if (!RecycleGuard(lib))
        return;
    const QModelIndex node = selectedNode(lib);
    if (!node.isValid())
        return;
    ExportSubtree(nodeOpsContext(lib), kindOfAction(lib, typeId), node);
}

void TMainFrm::importPackage(Library lib, int typeId)
{
    if (!RecycleGuard(lib))
        return;
    const QModelIndex node = selectedNode(lib);
    if (!node.isValid())
        return;
    const QModelIndex created = ImportPackage(nodeOpsContext(lib), kindOfAction(lib, typeId), node);
    if (created.isValid())
        showImported(lib, created);
}

void TMainFrm::importExternalFile(Library lib)
{
    if (!RecycleGuard(lib))
        return;
    const QModelIndex node = selectedNode(lib);
    if (!node.isValid())
        return;
    const QModelIndex created = ImportExternalFile(nodeOpsContext(lib), node);
    if (created.isValid())
        showImported(lib, created);
}

void TMainFrm::exportExternalFile(Library lib)
{
    if (!RecycleGuard(lib))
        return;
    const QModelIndex node = selectedNode(lib);
    if (node.isValid())
        ExportExternalFile(nodeOpsContext(lib), node);
}

void TMainFrm::showImported(Library lib, const QModelIndex& node)
{
    if (lib == Library::Moban)
        miMobanClick();
    else if (lib == Library::ZiLiao)
        miZiLiaoClick();
    treeView(lib)->expand(node.parent());
    selectNode(lib, node);
}

#define QUELMAR_EXPORT_HANDLER(lib, k)                                                                             \
    void TMainFrm::lib##ExportTypeID##k##Execute() { exportPackage(Library::lib, k); }
#define QUELMAR_IMPORT_HANDLER(lib, k)                                                                             \
    void TMainFrm::lib##ImportTypeID##k##Execute() { importPackage(Library::lib, k); }
QUELMAR_EXPORT_HANDLER(Moban, 3)
QUELMAR_EXPORT_HANDLER(Moban, 4)
QUELMAR_EXPORT_HANDLER(Moban, 5)
QUELMAR_EXPORT_HANDLER(Moban, 9)
QUELMAR_EXPORT_HANDLER(Moban, 11)
QUELMAR_IMPORT_HANDLER(Moban, 3)
QUELMAR_IMPORT_HANDLER(Moban, 4)
QUELMAR_IMPORT_HANDLER(Moban, 5)
QUELMAR_IMPORT_HANDLER(Moban, 9)
QUELMAR_IMPORT_HANDLER(Moban, 11)
QUELMAR_EXPORT_HANDLER(ZiLiao, 1)
QUELMAR_EXPORT_HANDLER(ZiLiao, 3)
QUELMAR_EXPORT_HANDLER(ZiLiao, 4)
QUELMAR_EXPORT_HANDLER(ZiLiao, 5)
QUELMAR_EXPORT_HANDLER(ZiLiao, 6)
QUELMAR_EXPORT_HANDLER(ZiLiao, 7)
QUELMAR_EXPORT_HANDLER(ZiLiao, 11)
QUELMAR_IMPORT_HANDLER(ZiLiao, 1)
QUELMAR_IMPORT_HANDLER(ZiLiao, 3)
QUELMAR_IMPORT_HANDLER(ZiLiao, 4)
QUELMAR_IMPORT_HANDLER(ZiLiao, 5)
QUELMAR_IMPORT_HANDLER(ZiLiao, 6)
QUELMAR_IMPORT_HANDLER(ZiLiao, 7)
QUELMAR_IMPORT_HANDLER(ZiLiao, 11)
#undef QUELMAR_EXPORT_HANDLER
#undef QUELMAR_IMPORT_HANDLER

void TMainFrm::MobanImportTypeID16Execute()
{
    importExternalFile(Library::Moban);
}

void TMainFrm::ZiLiaoImportTypeID16Execute()
{
    importExternalFile(Library::ZiLiao);
}

void TMainFrm::MobanExportTypeID16Execute()
{
    exportExternalFile(Library::Moban);
}

void TMainFrm::ZiLiaoExportTypeID16Execute()
{
    exportExternalFile(Library::ZiLiao);
}

// "另存为样式(&A)": the selected inspection or general form as a style package.
void TMainFrm::ZiLiaoSaveAsTemplateExecute()
{
    const QModelIndex node = selectedNode(Library::ZiLiao);
    if (!node.isValid())
        return;
    // The style carries the form as it is on disk: a table changed in the viewer is offered for saving first.
    offerToSaveViewer(m_ziLiaoPane->viewer());
    SaveAsStyle(nodeOpsContext(Library::ZiLiao), node);
}

// ---- the tools menu ---------------------------------------------------------------------------------------------

void TMainFrm::buildExchangeMenu(QMenu* tools)
{
    tools->addSeparator();
    miBackup = tools->addAction(IconFactory::actionIcon(QStringLiteral("save")), QStringLiteral("备份数据(&B)..."));
    miRestore = tools->addAction(IconFactory::actionIcon(QStringLiteral("open")), QStringLiteral("恢复数据(&R)..."));
    connect(miBackup, &QAction::triggered, this, [this] { run([this] { miBackupClick(); }); });
    connect(miRestore, &QAction::triggered, this, [this] { run([this] { miRestoreClick(); }); });
}

void TMainFrm::miBackupClick()
{
    // Tables changed in the viewers belong in the backup.
    if (!SaveChangedTables())
        return;
    const QString proposal =
        QStringLiteral("Quelmar-备份-%1.qmb").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    const QString file =
        m_s.prompter->chooseSaveFileWithExt(QStringLiteral("备份数据"), kBackupFilter, proposal, QStringLiteral(".qmb"));
    if (file.isEmpty())
        return;
    const BackupInfo info = CreateBackup(*m_s.dm, m_s.paths, file, *m_s.prompter);
    setStatusText(0, QStringLiteral("备份完成。"));
    m_s.prompter->inform(QStringLiteral("备份数据"),
                         QStringLiteral("已备份到“%1”：数据库和 %2 个文件，共 %3 MB。")
                             .arg(QDir::toNativeSeparators(file))
                             .arg(info.files)
                             .arg(double(info.bytes) / (1024.0 * 1024.0), 0, 'f', 1));
}

void TMainFrm::miRestoreClick()
{
    const QString file = m_s.prompter->chooseOpenFile(QStringLiteral("恢复数据"), kBackupFilter, QString());
    if (file.isEmpty())
        return;
    const QString dir = m_s.prompter->chooseFolder(QStringLiteral("恢复到哪个文件夹（空文件夹，或要替换的安装文件夹）"), QString());
    if (dir.isEmpty())
        return;
    // This program works on its own folder: it cannot be replaced under it.
    if (QFileInfo(dir).canonicalFilePath() == QFileInfo(m_s.paths.AppDir).canonicalFilePath()) {
        m_s.prompter->warn(QStringLiteral("恢复数据"),
                           QStringLiteral("不能恢复到正在使用的程序文件夹“%1”。请恢复到一个空文件夹，或退出程序后用 "
                                          "quelmar-cli restore 替换它。")
                               .arg(QDir::toNativeSeparators(m_s.paths.AppDir)));
        return;
    }
    const BackupInfo info = RestoreBackup(file, dir, *m_s.prompter);
    if (info.files < 0)
        return;
    setStatusText(0, QStringLiteral("恢复完成。"));
    m_s.prompter->inform(QStringLiteral("恢复数据"),
                         QStringLiteral("已把 %1 的备份（%2 个文件）恢复到“%3”。用 quelmar --dir \"%3\" 启动即可使用。")
                             .arg(info.created.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                             .arg(info.files)
                             .arg(QDir::toNativeSeparators(dir)));
}

// ---- a package file given at start-up -----------------------------------------------------------------------------

bool TMainFrm::ImportPackageFile(const QString& path)
{
    bool done = false;
    run([&] {
        const int kind = PackageKindOfFile(path);
        const bool templates = m_s.login->opType == UserType::Advanced;
        // Where the kind fits: projects and forms belong to the project library, templates to the template library.
        QList<Library> libs;
        if (kind != 6)
            libs << Library::ZiLiao;
        if (templates && kind != 0 && kind != 4 && kind != 5)
            libs << Library::Moban;
        if (libs.isEmpty())
            throw QuelmarError(QStringLiteral("只有高级用户才能导入模板。"));
        if (libs.contains(Library::Moban) && !TemplateLoaded)
            loadTemplateTree();
        QList<TPackageTargetFrm::Choice> choices;
        for (Library lib : libs) {
            TPackageTargetFrm::Choice c;
            c.caption = lib == Library::Moban ? QStringLiteral("模板库") : QStringLiteral("工程库");
            c.model = &library(lib).tree;
            c.initial = selectedNode(lib);
            c.rootOnly = (lib == Library::Moban && kind == 6) || (lib == Library::ZiLiao && kind == 0);
            choices << c;
        }
        TPackageTargetFrm dialog(path, choices, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        const Library lib = libs.value(dialog.chosenLibrary());
        const QModelIndex target = dialog.chosenNode();
        if (!target.isValid())
            return;
        const QModelIndex created = ImportPackageFrom(nodeOpsContext(lib), target, path);
        if (!created.isValid())
            return;
        showImported(lib, created);
        done = true;
    });
    return done;
}
