// The project work through the main window: a new project from the demo template through the wizard and its
// overview dialog, a new inspection form that shows the project's values in its header (and holds them on disk),
// quick add, the default overview from the tree menu, and the option lists from the tools menu and the overview
// dialog. The dialogs are driven as a user drives them; the rules behind them are tested on the core.
#include "app/MainFrm.h"
#include "app/OptConfigFrm.h"
#include "app/ProjectOptFrm.h"
#include "app/ProjectWizardFrm.h"
#include "app/QuelmarApplication.h"
#include "cell/CellControl.h"
#include "core/ScriptedPrompter.h"
#include "projects/HeaderFields.h"
#include "projects/HeaderFill.h"
#include "projects/OptionLists.h"
#include "projects/ProjectOverview.h"
#include "projects/SampleTemplate.h"
#include "store/DataPool.h"
#include "support/MainWindowSupport.h"
#include "support/ProgramFolderFixture.h"
#include "support/ModalWalker.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <functional>

namespace {

const QString kAdmin = QStringLiteral("Admin");

// The first node below `parent` (pre-order) for which `pick` holds.
QModelIndex findNode(const QAbstractItemModel& model, const QModelIndex& parent,
                     const std::function<bool(const QModelIndex&)>& pick)
{
    for (int r = 0; r < model.rowCount(parent); ++r) {
        const QModelIndex child = model.index(r, 0, parent);
        if (pick(child))
            return child;
        const QModelIndex below = findNode(model, child, pick);
        if (below.isValid())
            return below;
    }
    return {};
}

int typeOf(const QModelIndex& node)
{
    return node.data(LibraryTreeModel::TypeIdRole).toInt();
}

}  // namespace

class TestMainWindowProjects : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newProjectThenFormWithHeader();
    void overviewActionOnProjectsOnly();
    void defaultOverviewFromTreeMenu();
    void optionListsFromToolsMenuAndOverview();

private:
    void openWindow();
    // Runs "新建工程(&G)..." with the demo template, without the bridge division; the overview dialog that follows
    // gets 工程名称 and 监理单位 typed and is confirmed. Returns the project.
    QModelIndex createProject(const QString& name);
    QModelIndex node(int itemId) { return m_main->library(Library::ZiLiao).tree.indexOfItem(itemId); }
    QAction* action(const QString& suffix) { return m_main->actions(Library::ZiLiao).own(suffix); }

    std::unique_ptr<ProgramFolderFixture> m_folder;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login{kAdmin, 1};
    std::unique_ptr<TMainFrm> m_main;
    QStringList m_errors;
};

void TestMainWindowProjects::init()
{
    m_errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
    m_prompter = ScriptedPrompter();
    m_folder = std::make_unique<ProgramFolderFixture>();
    AddSampleTemplate(m_folder->dm(), m_folder->paths());
}

void TestMainWindowProjects::cleanup()
{
    if (m_main)
        m_main->closeWithoutQuery();
    m_main.reset();
    m_folder.reset();
    QuelmarApplication::setErrorSink({});
}

void TestMainWindowProjects::openWindow()
{
    MainServices s = MainServicesFor(*m_folder, m_prompter, m_login);
    m_main = std::make_unique<TMainFrm>(s);
    m_main->LoadUserData();
    QVERIFY(m_errors.isEmpty());
}

QModelIndex TestMainWindowProjects::createProject(const QString& name)
{
    const LibraryTreeModel& tree = m_main->library(Library::ZiLiao).tree;
    m_main->selectNode(Library::ZiLiao, tree.index(0, 0));
    whenShown<TProjectWizardFrm>([name](TProjectWizardFrm* wizard) {
        wizard->templateList()->setCurrentRow(0);
        wizard->nameEdit()->setText(name);
        wizard->next();
        ProjectWizardTree& items = wizard->wizard().tree();
        const QModelIndex bridge = findNode(items, items.rootNode(),
                                            [](const QModelIndex& n) { return n.data().toString() == QStringLiteral("桥梁工程"); });
        items.setData(bridge, Qt::Unchecked, Qt::CheckStateRole);
        wizard->next();
    });
    whenShown<TProjectOptFrm>([name](TProjectOptFrm* overview) {
        QCOMPARE(overview->label(), name);
        overview->box(1)->setEditText(name + QStringLiteral("公路"));
        overview->box(2)->setEditText(QStringLiteral("  华通监理  "));
        overview->accept();
    });
    // The toolbar's New button at the root runs the new project.
    m_main->actions(Library::ZiLiao).newButton()->click();
    return m_main->selectedNode(Library::ZiLiao);
}

void TestMainWindowProjects::newProjectThenFormWithHeader()
{
    openWindow();
    LibraryTreeModel& tree = m_main->library(Library::ZiLiao).tree;
    const QModelIndex project = createProject(QStringLiteral("青白高速"));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(m_prompter.messages(QStringLiteral("information")),
             QStringList(QStringLiteral("工程“青白高速”创建成功。")));

    // The project is selected just above the bin, without the unticked division; its overview holds what was typed
    // (trimmed), and those are the values for its new forms.
    QCOMPARE(project.data().toString(), QStringLiteral("青白高速"));
    QCOMPARE(typeOf(project), 1);
    QCOMPARE(project.row(), tree.rowCount(tree.index(0, 0)) - 2);
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: 青白高速"));
    QVERIFY(action(QStringLiteral("ProjectMsg"))->isEnabled());
    QVERIFY(!findNode(tree, project, [](const QModelIndex& n) { return n.data().toString() == QStringLiteral("桥梁工程"); })
                 .isValid());
    const int dir = tree.record(project).iDir;
    QCOMPARE(ReadProjectOverview(m_folder->dm(), dir)->mid(0, 2),
             (QStringList{QStringLiteral("青白高速公路"), QStringLiteral("华通监理")}));
    QCOMPARE(m_main->PendingHeaderValues.mid(0, 2), (QStringList{QStringLiteral("青白高速公路"), QStringLiteral("华通监理")}));

    // A new inspection form below a sub-item: selected, shown, and its header filled on disk.
    const QModelIndex subItem = findNode(tree, project, [](const QModelIndex& n) { return typeOf(n) == 5; });
    QVERIFY(subItem.isValid());
    m_main->selectNode(Library::ZiLiao, subItem);
    QVERIFY(!action(QStringLiteral("ProjectMsg"))->isEnabled());
    m_prompter.texts.enqueue(QStringLiteral("K0+100 压实度"));
    action(QStringLiteral("NewTypeID6"))->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    const QModelIndex form = m_main->selectedNode(Library::ZiLiao);
    QCOMPARE(form.data().toString(), QStringLiteral("K0+100 压实度"));
    QCOMPARE(form.parent(), subItem);
    QVERIFY(!m_main->HeaderFillPending);
    const NodeRecord rec = tree.record(form);
    const QString path = m_main->nodeFilePath(Library::ZiLiao, rec);
    QCOMPARE(m_main->contentPane(Library::ZiLiao).viewer().GetFileName(), path);
    QCOMPARE(m_main->contentPane(Library::ZiLiao).viewer().IsModified(), 0);

    const FillPositions positions = *ReadFillPositions(m_folder->dm(), rec.FillMode);
    QVERIFY(positions[0].filled && positions[1].filled);
    cell::CellControl cells;
    QCOMPARE(cells.OpenFile(path, cell::tableFilePassword()), 1);
    int col = 0, row = 0;
    QVERIFY(cell::CellControl::ParseCellRef(positions[0].ref(), col, row));
    QCOMPARE(cells.cellText(col, row, cells.GetCurSheet()), QStringLiteral("青白高速公路"));
    QVERIFY(cell::CellControl::ParseCellRef(positions[1].ref(), col, row));
    QCOMPARE(cells.cellText(col, row, cells.GetCurSheet()), QStringLiteral("华通监理"));
    QVERIFY(!cells.sheet(cells.GetCurSheet()).cells.value(cell::Sheet::key(col, row)).dropdown.isEmpty());

    // Quick add: a copy beside the form, selected, with a blank header-fill record.
    m_main->selectNode(Library::ZiLiao, form);
    QVERIFY(action(QStringLiteral("QuicklyNew"))->isEnabled());
    m_prompter.texts.enqueue(QStringLiteral("K0+200 压实度"));
    action(QStringLiteral("QuicklyNew"))->trigger();
    QVERIFY(m_errors.isEmpty());
    const QModelIndex copy = m_main->selectedNode(Library::ZiLiao);
    QCOMPARE(copy.data().toString(), QStringLiteral("K0+200 压实度"));
    QCOMPARE(copy.parent(), subItem);
    QCOMPARE(copy.row(), tree.rowCount(subItem) - 1);
    QVERIFY(!ReadFillPositions(m_folder->dm(), tree.record(copy).FillMode)->at(0).filled);
    QVERIFY(QFile::exists(m_main->nodeFilePath(Library::ZiLiao, tree.record(copy))));
}

void TestMainWindowProjects::overviewActionOnProjectsOnly()
{
    openWindow();
    const QModelIndex project = createProject(QStringLiteral("青白高速"));
    QVERIFY(m_errors.isEmpty());
    const QModelIndex division = findNode(m_main->library(Library::ZiLiao).tree, project,
                                          [](const QModelIndex& n) { return typeOf(n) == 3; });
    m_main->selectNode(Library::ZiLiao, division);
    QVERIFY(!action(QStringLiteral("ProjectMsg"))->isEnabled());

    // On the project: cancelling the dialog keeps the values, confirming replaces them.
    m_main->selectNode(Library::ZiLiao, project);
    whenShown<TProjectOptFrm>([](TProjectOptFrm* overview) {
        overview->box(1)->setEditText(QStringLiteral("不要"));
        overview->reject();
    });
    action(QStringLiteral("ProjectMsg"))->trigger();
    QCOMPARE(m_main->PendingHeaderValues.value(0), QStringLiteral("青白高速公路"));
    whenShown<TProjectOptFrm>([](TProjectOptFrm* overview) {
        overview->box(3)->setEditText(QStringLiteral("王工"));
        overview->accept();
    });
    action(QStringLiteral("ProjectMsg"))->trigger();
    QCOMPARE(m_main->PendingHeaderValues.value(2), QStringLiteral("王工"));

    // A form made after a header fill that never happened is not filled by another form's display: only the new
    // form itself takes the pending values.
    const QModelIndex other = findNode(m_main->library(Library::ZiLiao).tree, project,
                                       [](const QModelIndex& n) { return typeOf(n) == 11; });
    QVERIFY(other.isValid());
    const NodeRecord otherRec = m_main->library(Library::ZiLiao).tree.record(other);
    const QString otherPath = m_main->nodeFilePath(Library::ZiLiao, otherRec);
    QFile before(otherPath);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();
    m_main->HeaderFillPending = true;
    m_main->HeaderFillItem = 99999;
    m_main->selectNode(Library::ZiLiao, other);
    QVERIFY(m_main->HeaderFillPending);
    QFile after(otherPath);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytes);
}

void TestMainWindowProjects::defaultOverviewFromTreeMenu()
{
    openWindow();
    QMenu* treeMenu = m_main->actions(Library::ZiLiao).treeMenu();
    QMenu* opsMenu = m_main->operationsMenu(Library::ZiLiao);
    QAction* defaults = action(QStringLiteral("DefaultProjectMsg"));
    QCOMPARE(defaults->text(), QStringLiteral("缺省概况(&D)"));
    QVERIFY(treeMenu->actions().contains(defaults));
    QVERIFY(opsMenu->actions().contains(defaults));

    // Whatever is selected, the confirmed defaults become the values for new forms.
    const QModelIndex root = m_main->library(Library::ZiLiao).tree.index(0, 0);
    m_main->selectNode(Library::ZiLiao, root);
    whenShown<TProjectOptFrm>([](TProjectOptFrm* overview) {
        QCOMPARE(overview->label(), DefaultOverviewLabel());
        overview->box(10)->setEditText(QStringLiteral("路桥集团"));
        overview->accept();
    });
    defaults->trigger();
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_main->PendingHeaderValues.value(9), QStringLiteral("路桥集团"));
    QCOMPARE(ReadDefaultOverview(m_folder->dm(), kAdmin)->value(9), QStringLiteral("路桥集团"));
}

void TestMainWindowProjects::optionListsFromToolsMenuAndOverview()
{
    openWindow();
    // Tools menu: the dialog on the whole table; a new entry of 监理单位 is written at once.
    whenShown<TOptConfigFrm>([this](TOptConfigFrm* lists) {
        QCOMPARE(lists->windowTitle(), QStringLiteral("维护工程概况选项"));
        lists->fieldList()->setCurrentRow(1);
        m_prompter.texts.enqueue(QStringLiteral("交通监理咨询公司"));
        lists->newItem();
        lists->reject();
    });
    QCOMPARE(m_main->miGkxxConfig->text(), QStringLiteral("维护工程概况选项(&C)..."));
    m_main->miGkxxConfig->trigger();
    QVERIFY(m_errors.isEmpty());
    QVERIFY(OptionLists(m_folder->dm()).items(2).contains(QStringLiteral("交通监理咨询公司")));

    // From the overview dialog: the new entry is offered in the box at once, and what was typed stays.
    whenShown<TProjectOptFrm>([this](TProjectOptFrm* overview) {
        QVERIFY(overview->box(2)->findText(QStringLiteral("交通监理咨询公司")) >= 0);
        overview->box(3)->setEditText(QStringLiteral("李工"));
        whenShown<TOptConfigFrm>([this](TOptConfigFrm* lists) {
            lists->fieldList()->setCurrentRow(2);
            m_prompter.texts.enqueue(QStringLiteral("张工"));
            lists->newItem();
            lists->reject();
        });
        QTest::mouseClick(overview->optionsButton(), Qt::LeftButton);
        QVERIFY(overview->box(3)->findText(QStringLiteral("张工")) >= 0);
        QCOMPARE(overview->box(3)->currentText(), QStringLiteral("李工"));
        overview->reject();
    });
    action(QStringLiteral("DefaultProjectMsg"))->trigger();
    QVERIFY(m_errors.isEmpty());
    QVERIFY(OptionLists(m_folder->dm()).items(3).contains(QStringLiteral("张工")));
}

QTEST_MAIN(TestMainWindowProjects)
#include "tst_mainwindow_projects.moc"
