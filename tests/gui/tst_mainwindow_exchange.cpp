// The exchange work through the main window: export and import actions with their dialogs' titles, save as style,
// the tools menu's backup entries, and a package given at start-up imported through the dialog "导入交换包".
#include "app/MainFrm.h"
#include "app/PackageTargetFrm.h"
#include "app/QuelmarApplication.h"
#include "app/WidgetPrompter.h"
#include "core/ScriptedPrompter.h"
#include "exchange/Package.h"
#include "projects/NewProject.h"
#include "projects/SampleTemplate.h"
#include "store/DataPool.h"
#include "support/MainWindowSupport.h"
#include "support/ProgramFolderFixture.h"
#include "support/ModalWalker.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

namespace {

QModelIndex firstOfType(const QAbstractItemModel& m, int type, const QModelIndex& parent = {})
{
    for (int r = 0; r < m.rowCount(parent); ++r) {
        const QModelIndex c = m.index(r, 0, parent);
        if (c.data(LibraryTreeModel::TypeIdRole).toInt() == type)
            return c;
        const QModelIndex below = firstOfType(m, type, c);
        if (below.isValid())
            return below;
    }
    return {};
}

// For a look at the dialogs: QUELMAR_SHOT_DIR=/some/folder saves them as PNG.
void shot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("QUELMAR_SHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class TestMainWindowExchange : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_errors.clear();
        QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
        m_prompter = ScriptedPrompter();
        m_prompter.defaultYes = true;
        m_folder = std::make_unique<ProgramFolderFixture>();
        const int templateId = AddSampleTemplate(m_folder->dm(), m_folder->paths());
        LibraryData ziLiao(Library::ZiLiao);
        ziLiao.load(m_folder->dm(), m_login.opName);
        ScriptedPrompter quiet;
        CreateProjectFromTemplate(NodeOpsContext{ziLiao, m_folder->dm(), m_folder->paths(), m_login, quiet},
                                  QStringLiteral("工程甲"),
                                  WizardResultFor(m_folder->dm(), templateId, QStringLiteral("工程甲"), {}));
        MainServices s = MainServicesFor(*m_folder, m_prompter, m_login);
        m_main = std::make_unique<TMainFrm>(s);
        m_main->LoadUserData();
        m_main->resize(1100, 720);
        m_main->show();
        QVERIFY(m_errors.isEmpty());
    }
    void cleanup()
    {
        m_main->closeWithoutQuery();
        m_main.reset();
        m_folder.reset();
        QuelmarApplication::setErrorSink({});
    }

    void exportAndImportThroughActions()
    {
        LibraryTreeModel& tree = m_main->library(Library::ZiLiao).tree;
        const QModelIndex division = firstOfType(tree, 3);
        m_main->selectNode(Library::ZiLiao, division);
        const QString file = m_outside.filePath(QStringLiteral("分部 一.fb"));
        m_prompter.files.enqueue(file);
        m_main->actions(Library::ZiLiao).own(QStringLiteral("ExportTypeID3"))->trigger();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
        QVERIFY(QFileInfo(file).isFile());
        QCOMPARE(m_prompter.messages(QStringLiteral("information")).last(), QStringLiteral("文件被导到: ") + file);

        const QModelIndex project = firstOfType(tree, 1);
        const int children = tree.rowCount(project);
        m_main->selectNode(Library::ZiLiao, project);
        m_prompter.files.enqueue(file);
        m_main->actions(Library::ZiLiao).own(QStringLiteral("ImportTypeID3"))->trigger();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
        QCOMPARE(tree.rowCount(project), children + 1);
        QCOMPARE(m_main->selectedNode(Library::ZiLiao), tree.index(children, 0, project));
        QCOMPARE(m_main->selectedNode(Library::ZiLiao).data().toString(), division.data().toString());

        // Save as style on a form of the copy.
        const QModelIndex sub = firstOfType(tree, 5, m_main->selectedNode(Library::ZiLiao));
        QVERIFY(sub.isValid());
        m_main->selectNode(Library::ZiLiao, sub);
        m_prompter.texts.enqueue(QStringLiteral("检验表"));
        m_main->actions(Library::ZiLiao).own(QStringLiteral("NewTypeID6"))->trigger();
        QVERIFY(m_main->selectedNode(Library::ZiLiao).data(LibraryTreeModel::TypeIdRole).toInt() == 6);
        const QString style = m_outside.filePath(QStringLiteral("样式.ys"));
        m_prompter.files.enqueue(style);
        m_main->actions(Library::ZiLiao).own(QStringLiteral("SaveAsTemplate"))->trigger();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
        QVERIFY(QFileInfo(style).isFile());
    }

    // The program's save dialog of a package kind: its title, filter and default extension.
    void saveDialogOfAKind()
    {
        WidgetPrompter prompter;
        prompter.setParentWidget(m_main.get());
        const FileDialogSetup d = SetupExportDialog(0);
        QString title, suffix;
        QStringList filters;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            suffix = dialog->defaultSuffix();
            filters = dialog->nameFilters();
            dialog->resize(760, 460);
            shot(dialog, QStringLiteral("export-dialog"));
            dialog->selectFile(m_outside.filePath(QStringLiteral("我的 工程")));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const QString chosen = prompter.chooseSaveFileWithExt(d.title, d.filter, QString(), d.defaultExt);
        QCOMPARE(title, QStringLiteral("导出工程 - 请不要在文件名中使用空格"));
        QCOMPARE(suffix, QStringLiteral("gc"));
        QCOMPARE(filters.size(), 2);
        QCOMPARE(chosen, m_outside.filePath(QStringLiteral("我的 工程.gc")));
    }

    void toolsMenuOffersBackup()
    {
        QVERIFY(m_main->miBackup);
        QCOMPARE(m_main->miBackup->text(), QStringLiteral("备份数据(&B)..."));
        QCOMPARE(m_main->miRestore->text(), QStringLiteral("恢复数据(&R)..."));
        QMenu* tools = nullptr;
        for (QAction* a : m_main->menuBar()->actions())
            if (a->text() == QStringLiteral("工具(&T)"))
                tools = a->menu();
        QVERIFY(tools);
        QVERIFY(tools->actions().contains(m_main->miBackup));
        QVERIFY(tools->actions().contains(m_main->miRestore));
    }

    // A division package given at start-up: the dialog offers both libraries, the project library's selected node
    // first; confirmed on the project, the division is imported there and selected.
    void packageGivenAtStartUp()
    {
        LibraryTreeModel& tree = m_main->library(Library::ZiLiao).tree;
        const QString file = m_outside.filePath(QStringLiteral("分部.fb"));
        ScriptedPrompter quiet;
        ExportSubtreeTo(NodeOpsContext{m_main->library(Library::ZiLiao), m_folder->dm(), m_folder->paths(), m_login, quiet},
                        firstOfType(tree, 3), file);
        const QModelIndex project = firstOfType(tree, 1);
        m_main->selectNode(Library::ZiLiao, project);
        const int children = tree.rowCount(project);
        bool shown = false;
        whenShown<TPackageTargetFrm>([&](TPackageTargetFrm* d) {
            shown = true;
            QCOMPARE(d->windowTitle(), QStringLiteral("导入交换包"));
            QCOMPARE(d->chosenLibrary(), 0);
            QCOMPARE(d->chosenNode(), QModelIndex(project));
            shot(d, QStringLiteral("package-target"));
            d->accept();
        });
        QVERIFY(m_main->ImportPackageFile(file));
        QVERIFY(shown);
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
        QCOMPARE(tree.rowCount(project), children + 1);
        QCOMPARE(m_main->selectedNode(Library::ZiLiao), tree.index(children, 0, project));
        shot(m_main.get(), QStringLiteral("after-import"));

        // A project package always goes below the root: the tree is not offered for choosing.
        const QString gc = m_outside.filePath(QStringLiteral("工程.gc"));
        ExportSubtreeTo(NodeOpsContext{m_main->library(Library::ZiLiao), m_folder->dm(), m_folder->paths(), m_login, quiet},
                        project, gc);
        whenShown<TPackageTargetFrm>([&](TPackageTargetFrm* d) {
            QCOMPARE(d->chosenNode(), tree.index(0, 0));
            shot(d, QStringLiteral("package-target-project"));
            d->reject();
        });
        QVERIFY(!m_main->ImportPackageFile(gc));
    }

private:
    std::unique_ptr<ProgramFolderFixture> m_folder;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login{QStringLiteral("Admin"), 1};
    std::unique_ptr<TMainFrm> m_main;
    QStringList m_errors;
    QTemporaryDir m_outside;
};

QTEST_MAIN(TestMainWindowExchange)
#include "tst_mainwindow_exchange.moc"
