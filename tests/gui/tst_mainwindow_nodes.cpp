// The node operations run through the main window's actions, as a user runs them: what is selected and shown
// afterwards (tree, status bar, content pane, recycle-bin icon), with a scripted prompter. The operations' own
// rules are checked on the core (tst_nodeops*); here it is the wiring and what the window shows.
#include "app/DeleteBoxFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "app/WidgetPrompter.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/RowSet.h"
#include "support/MainWindowSupport.h"
#include "support/ProgramFolderFixture.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

namespace {

const QString kAdmin = QStringLiteral("Admin");

// The names of a node's children in tree order.
QStringList childNames(const LibraryTreeModel& tree, const QModelIndex& parent)
{
    QStringList names;
    for (int r = 0; r < tree.rowCount(parent); ++r)
        names << tree.index(r, 0, parent).data().toString();
    return names;
}

}  // namespace

class TestMainWindowNodes : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newActionCreatesAndSelects_data();
    void newActionCreatesAndSelects();
    void renameShowsNewName();
    void deleteIntoBinThenPurge();
    void emptyBinFromInside();
    void failedPurgeKeepsNodeShown();
    void archiveDeleteSelectsNeighbour();
    void moveUpAndDown_data();
    void moveUpAndDown();
    void deleteBoxAsksBeforeRecycling();
    void refreshShowsWhatOthersChanged();

private:
    void openWindow();
    LibraryTreeModel& tree(Library lib) { return m_main->library(lib).tree; }
    QModelIndex node(Library lib, int itemId) { return tree(lib).indexOfItem(itemId); }
    QAction* action(Library lib, const QString& suffix) { return m_main->actions(lib).own(suffix); }
    QString filePath(Library lib, int itemId) { return m_main->nodeFilePath(lib, tree(lib).record(node(lib, itemId))); }

    std::unique_ptr<ProgramFolderFixture> m_folder;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login{kAdmin, 1};
    std::unique_ptr<TMainFrm> m_main;
    QStringList m_errors;
};

void TestMainWindowNodes::init()
{
    m_errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
    m_prompter = ScriptedPrompter();
    m_folder = std::make_unique<ProgramFolderFixture>();
    ProgramFolderFixture& f = *m_folder;

    // Templates: 路基模板 (a division with a sub-item) and 路面模板, then the bin.
    f.addNode(Library::Moban, nodeRec(9, 2, QStringLiteral("路基模板"), 0, 1), {}, 0);
    f.addNode(Library::Moban, nodeRec(9, 3, QStringLiteral("路面模板"), 0, 2), {}, 1);
    QDir().mkpath(f.paths().MobanFolderPath(1));
    QDir().mkpath(f.paths().MobanFolderPath(2));
    f.addNode(Library::Moban, nodeRec(3, 4, QStringLiteral("路基工程"), 2, 1), {}, 0);
    QVERIFY(f.addForm(Library::Moban, nodeRec(5, 5, QStringLiteral("压实度检验"), 4, 1, 1, QStringLiteral(".cll")),
                      QStringLiteral("Everyone"), 0));
    f.placeBin(Library::Moban, 2);

    // Project G318: a division, a data category, a sub-item with three forms; then the bin.
    f.addRoadProject(kAdmin);

    // Archive: a cabinet with two categories.
    f.addNode(Library::GuiDang, nodeRec(1, 1, QStringLiteral("2024 档案"), 0), kAdmin, 0);
    f.addNode(Library::GuiDang, nodeRec(2, 2, QStringLiteral("路基"), 1), kAdmin, 0);
    f.addNode(Library::GuiDang, nodeRec(2, 3, QStringLiteral("路面"), 1), kAdmin, 1);
}

void TestMainWindowNodes::cleanup()
{
    if (m_main)
        m_main->closeWithoutQuery();
    m_main.reset();
    m_folder.reset();
    QuelmarApplication::setErrorSink({});
}

void TestMainWindowNodes::openWindow()
{
    MainServices s = MainServicesFor(*m_folder, m_prompter, m_login);
    m_main = std::make_unique<TMainFrm>(s);
    m_main->LoadUserData();
    m_main->miMobanClick();
    m_main->miZiLiaoClick();
    QVERIFY(m_errors.isEmpty());
}

void TestMainWindowNodes::newActionCreatesAndSelects_data()
{
    QTest::addColumn<int>("lib");
    QTest::addColumn<int>("parent");   // ItemID; -1: the library root
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("caption");   // of the name dialog
    QTest::addColumn<bool>("showsTable");

    QTest::newRow("template above the bin") << int(Library::Moban) << -1 << "NewTypeID9" << "新建模板" << false;
    QTest::newRow("template data category") << int(Library::Moban) << 4 << "NewTypeID4" << "新建资料分类" << false;
    QTest::newRow("project data category") << int(Library::ZiLiao) << 4 << "NewTypeID4" << "新建分类" << false;
    QTest::newRow("project sub-item") << int(Library::ZiLiao) << 4 << "NewTypeID5" << "新建分项" << true;
    QTest::newRow("inspection form") << int(Library::ZiLiao) << 5 << "NewTypeID6" << "新建检验表格" << true;
    QTest::newRow("archive cabinet") << int(Library::GuiDang) << -1 << "NewTypeID1" << "新建档案柜" << false;
    QTest::newRow("archive category") << int(Library::GuiDang) << 1 << "NewTypeID2" << "新建分类" << false;
}

void TestMainWindowNodes::newActionCreatesAndSelects()
{
    QFETCH(int, lib);
    QFETCH(int, parent);
    QFETCH(QString, actionName);
    QFETCH(QString, caption);
    QFETCH(bool, showsTable);
    const Library l = Library(lib);
    openWindow();
    if (l == Library::Moban)
        m_main->miMobanClick();
    const QModelIndex root = tree(l).index(0, 0);
    const QPersistentModelIndex parentNode = parent < 0 ? root : node(l, parent);
    m_main->selectNode(l, parentNode);
    const int before = tree(l).rowCount(parentNode);

    m_prompter.events.clear();
    m_prompter.texts.enqueue(QStringLiteral("新节点"));
    QAction* a = action(l, actionName);
    QVERIFY(a->isVisible() && a->isEnabled());
    a->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(m_prompter.events.first().caption, caption);

    // The new node is selected below its parent, and the window shows it.
    const QModelIndex created = m_main->selectedNode(l);
    QCOMPARE(created.data().toString(), QStringLiteral("新节点"));
    QCOMPARE(created.parent(), QModelIndex(parentNode));
    QCOMPARE(tree(l).rowCount(parentNode), before + 1);
    QVERIFY(m_main->treeView(l)->isExpanded(parentNode));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: 新节点"));
    if (l != Library::GuiDang)
        QCOMPARE(m_main->statusText(1), QStringLiteral("0 个对象"));
    ContentPane& pane = m_main->contentPane(l);
    QCOMPARE(pane.currentPage() == ContentPane::Page::TableFile, showsTable);
    if (showsTable)
        QCOMPARE(pane.viewer().GetFileName(), m_main->nodeFilePath(l, tree(l).record(created)));
    // Below the root of the template and project libraries the bin stays last.
    if (parent < 0 && l != Library::GuiDang) {
        QCOMPARE(created.row(), tree(l).rowCount(root) - 2);
        QCOMPARE(tree(l).index(tree(l).rowCount(root) - 1, 0, root).data(LibraryTreeModel::ItemIdRole).toInt(), 1);
    }
    // A cancelled name dialog creates nothing and leaves the selection.
    m_main->selectNode(l, parentNode);
    a->trigger();
    QCOMPARE(tree(l).rowCount(parentNode), before + 1);
    QCOMPARE(m_main->selectedNode(l), QModelIndex(parentNode));
}

void TestMainWindowNodes::renameShowsNewName()
{
    openWindow();
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 6));
    m_prompter.events.clear();
    m_prompter.texts.enqueue(QStringLiteral(" K12+100 压实度 "));
    action(Library::ZiLiao, QStringLiteral("Rename"))->trigger();
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_prompter.events.first().caption, QStringLiteral("重命名"));
    QCOMPARE(node(Library::ZiLiao, 6).data().toString(), QStringLiteral(" K12+100 压实度 "));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点:  K12+100 压实度 "));
    // The archive renames too.
    m_main->selectNode(Library::GuiDang, node(Library::GuiDang, 2));
    m_prompter.texts.enqueue(QStringLiteral("路基资料"));
    action(Library::GuiDang, QStringLiteral("Rename"))->trigger();
    QCOMPARE(node(Library::GuiDang, 2).data().toString(), QStringLiteral("路基资料"));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: 路基资料"));
}

void TestMainWindowNodes::deleteIntoBinThenPurge()
{
    openWindow();
    const QPersistentModelIndex bin = node(Library::ZiLiao, 1);
    QCOMPARE(bin.data(LibraryTreeModel::IconIndexRole).toInt(), 32);
    const QString file = filePath(Library::ZiLiao, 7);
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 7));
    QCOMPARE(m_main->contentPane(Library::ZiLiao).viewer().GetFileName(), file);

    // "否(&N)" in the delete box: nothing moves.
    m_prompter.events.clear();
    m_prompter.answers.enqueue(Prompter::Answer::No);
    action(Library::ZiLiao, QStringLiteral("DeleteNode"))->trigger();
    QCOMPARE(m_prompter.events.first().caption, QStringLiteral("确认删除"));
    QCOMPARE(m_prompter.events.first().text, QStringLiteral("确实要把 “K13 压实度” 放入回收站吗？"));
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 7));

    // "是(&Y)": into the bin; the next sibling is selected and shown, the bin looks full.
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    action(Library::ZiLiao, QStringLiteral("DeleteNode"))->trigger();
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(node(Library::ZiLiao, 7).parent(), QModelIndex(bin));
    QCOMPARE(childNames(tree(Library::ZiLiao), node(Library::ZiLiao, 5)),
             (QStringList{QStringLiteral("K12 压实度"), QStringLiteral("K14 压实度")}));
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 8));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: K14 压实度"));
    QCOMPARE(m_main->contentPane(Library::ZiLiao).viewer().GetFileName(), filePath(Library::ZiLiao, 8));
    QCOMPARE(bin.data(LibraryTreeModel::IconIndexRole).toInt(), 33);
    QVERIFY(QFile::exists(file));

    // Inside the bin the delete purges: file and row go, the viewer lets go of the file, the bin is selected.
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 7));
    QCOMPARE(m_main->contentPane(Library::ZiLiao).viewer().GetFileName(), file);
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    action(Library::ZiLiao, QStringLiteral("DeleteNode"))->trigger();
    QVERIFY(m_errors.isEmpty());
    QVERIFY(!node(Library::ZiLiao, 7).isValid());
    QVERIFY(!QFile::exists(file));
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), QModelIndex(bin));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: 回收站"));
    QCOMPARE(m_main->statusText(1), QStringLiteral("0 个对象"));
    QCOMPARE(bin.data(LibraryTreeModel::IconIndexRole).toInt(), 32);
    QVERIFY(m_main->contentPane(Library::ZiLiao).viewer().GetFileName().isEmpty());
    QCOMPARE(m_main->contentPane(Library::ZiLiao).currentPage(), ContentPane::Page::NodeInfo);
    QCOMPARE(m_main->treeMenuFor(Library::ZiLiao), m_main->actions(Library::ZiLiao).recycleMenu());
    RowSet rows;
    rows.load(m_folder->dm().GetZiLiaoData(kAdmin));
    QCOMPARE(rows.find(7), RowSet::RowId(-1));
}

void TestMainWindowNodes::emptyBinFromInside()
{
    openWindow();
    m_main->miMobanClick();
    // Recycle both templates through the toolbar's delete; the second goes after the first.
    for (int id : {2, 3}) {
        m_main->selectNode(Library::Moban, node(Library::Moban, id));
        m_prompter.answers.enqueue(Prompter::Answer::Yes);
        action(Library::Moban, QStringLiteral("DeleteNode"))->trigger();
    }
    QVERIFY(m_errors.isEmpty());
    const QPersistentModelIndex bin = node(Library::Moban, 1);
    QCOMPARE(childNames(tree(Library::Moban), bin), (QStringList{QStringLiteral("路基模板"), QStringLiteral("路面模板")}));
    // With the last template gone, the bin (its next sibling) is selected.
    QCOMPARE(m_main->selectedNode(Library::Moban), QModelIndex(bin));

    // A form inside the bin is on show when the bin is emptied.
    m_main->selectNode(Library::Moban, node(Library::Moban, 5));
    QVERIFY(!m_main->contentPane(Library::Moban).viewer().GetFileName().isEmpty());
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    action(Library::Moban, QStringLiteral("ClearRecycle"))->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(tree(Library::Moban).rowCount(bin), 0);
    QCOMPARE(m_main->selectedNode(Library::Moban), QModelIndex(bin));
    QCOMPARE(bin.data(LibraryTreeModel::IconIndexRole).toInt(), 32);
    QCOMPARE(m_main->statusText(1), QStringLiteral("0 个对象"));
    QVERIFY(m_main->contentPane(Library::Moban).viewer().GetFileName().isEmpty());
    QVERIFY(!QDir(m_folder->paths().MobanFolderPath(1)).exists());
    QVERIFY(!QDir(m_folder->paths().MobanFolderPath(2)).exists());

    // An empty bin says so before asking anything.
    m_prompter.events.clear();
    action(Library::Moban, QStringLiteral("ClearRecycle"))->trigger();
    QCOMPARE(m_errors, QStringList(QStringLiteral("空的！")));
    QVERIFY(m_prompter.messages(QStringLiteral("confirm")).isEmpty());
}

void TestMainWindowNodes::failedPurgeKeepsNodeShown()
{
    openWindow();
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 8));
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    action(Library::ZiLiao, QStringLiteral("DeleteNode"))->trigger();
    const QString file = filePath(Library::ZiLiao, 8);

    // Another program holds the write lock: the purge fails with nothing changed; the node stays in the bin,
    // selected and shown, and its file is still there.
    m_main->dataModule().setBusyTimeout(50);
    TDataPoolDM other(ProgramDatabase(m_folder->paths()));
    other.beginWrite();
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 8));
    m_prompter.events.clear();
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    action(Library::ZiLiao, QStringLiteral("DeleteNode"))->trigger();
    other.rollbackWrite();
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors.first().startsWith(QStringLiteral("数据库正被其他程序或用户写入")), qPrintable(m_errors.first()));
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 8));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: K14 压实度"));
    QCOMPARE(m_main->contentPane(Library::ZiLiao).currentPage(), ContentPane::Page::TableFile);
    RowSet rows;
    rows.load(m_folder->dm().GetZiLiaoData(kAdmin));
    QVERIFY(rows.find(8) >= 0);
}

void TestMainWindowNodes::archiveDeleteSelectsNeighbour()
{
    openWindow();
    m_main->selectNode(Library::GuiDang, node(Library::GuiDang, 3));
    m_prompter.events.clear();
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    action(Library::GuiDang, QStringLiteral("DeleteNode"))->trigger();
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_prompter.events.first().text, QStringLiteral("确实要删除节点: 路面"));
    QVERIFY(!node(Library::GuiDang, 3).isValid());
    // No next sibling: the previous one.
    QCOMPARE(m_main->selectedNode(Library::GuiDang), node(Library::GuiDang, 2));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: 路基"));
}

void TestMainWindowNodes::moveUpAndDown_data()
{
    QTest::addColumn<int>("lib");
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QStringList>("order");   // the siblings afterwards

    const QString k12 = QStringLiteral("K12 压实度"), k13 = QStringLiteral("K13 压实度"), k14 = QStringLiteral("K14 压实度");
    QTest::newRow("form up") << int(Library::ZiLiao) << 7 << true << QStringList{k13, k12, k14};
    QTest::newRow("form down") << int(Library::ZiLiao) << 7 << false << QStringList{k12, k14, k13};
    QTest::newRow("first up: nothing") << int(Library::ZiLiao) << 6 << true << QStringList{k12, k13, k14};
    QTest::newRow("last template never passes the bin")
        << int(Library::Moban) << 3 << false
        << QStringList{QStringLiteral("路基模板"), QStringLiteral("路面模板"), QStringLiteral("回收站")};
    QTest::newRow("template up")
        << int(Library::Moban) << 3 << true
        << QStringList{QStringLiteral("路面模板"), QStringLiteral("路基模板"), QStringLiteral("回收站")};
    QTest::newRow("archive down") << int(Library::GuiDang) << 2 << false
                                  << QStringList{QStringLiteral("路面"), QStringLiteral("路基")};
}

void TestMainWindowNodes::moveUpAndDown()
{
    QFETCH(int, lib);
    QFETCH(int, item);
    QFETCH(bool, up);
    QFETCH(QStringList, order);
    const Library l = Library(lib);
    openWindow();
    if (l == Library::Moban)
        m_main->miMobanClick();
    const QPersistentModelIndex moving = node(l, item);
    m_main->selectNode(l, moving);
    const QString shown = m_main->contentPane(l).viewer().GetFileName();
    action(l, up ? QStringLiteral("MoveUp") : QStringLiteral("MoveDown"))->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(childNames(tree(l), moving.parent()), order);
    // The moved node stays selected and shown; the stored order is the tree's.
    QCOMPARE(m_main->selectedNode(l), QModelIndex(moving));
    QCOMPARE(m_main->contentPane(l).viewer().GetFileName(), shown);
    LibraryData fresh(l);
    fresh.load(m_folder->dm(), kAdmin);
    const QModelIndex parentAgain = fresh.tree.indexOfItem(moving.parent().data(LibraryTreeModel::ItemIdRole).toInt());
    QCOMPARE(childNames(fresh.tree, parentAgain), order);
}

void TestMainWindowNodes::deleteBoxAsksBeforeRecycling()
{
    // The program's prompter asks the recycle question in TDeleteBoxFrm; other confirmations stay message boxes.
    WidgetPrompter prompter;
    const auto answer = [](bool yes) {
        QTimer::singleShot(0, [yes] {
            auto* box = qobject_cast<TDeleteBoxFrm*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("确认删除"));
            QCOMPARE(box->lblNote->text(), QStringLiteral("确实要把 “路基模板” 放入回收站吗？"));
            QVERIFY(box->lblNote->wordWrap());
            QCOMPARE(box->bbtnYes->text(), QStringLiteral("是(&Y)"));
            QCOMPARE(box->bbtnNo->text(), QStringLiteral("否(&N)"));
            QVERIFY(box->bbtnYes->isDefault());
            QTest::mouseClick(yes ? box->bbtnYes : box->bbtnNo, Qt::LeftButton);
        });
    };
    const QString note = QStringLiteral("确实要把 “路基模板” 放入回收站吗？");
    answer(true);
    QVERIFY(prompter.confirm(QStringLiteral("确认删除"), note));
    answer(false);
    QVERIFY(!prompter.confirm(QStringLiteral("确认删除"), note));
    // Escape answers no.
    QTimer::singleShot(0, [] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(qobject_cast<TDeleteBoxFrm*>(box));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QVERIFY(!prompter.confirm(QStringLiteral("确认删除"), note));
}


// Another program changed the libraries: F5 shows it, with the open branches and the selection kept where the
// nodes are still there.
void TestMainWindowNodes::refreshShowsWhatOthersChanged()
{
    openWindow();
    QTreeView* view = m_main->treeView(Library::ZiLiao);
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 7));
    view->expand(node(Library::ZiLiao, 5));
    QCOMPARE(m_main->miRefresh->shortcut(), QKeySequence(Qt::Key_F5));

    // The other program: a new form under the sub-item, a renamed form, a form gone.
    TDataPoolDM other(ProgramDatabase(m_folder->paths()));
    RowSet rows;
    rows.load(other.GetZiLiaoData(kAdmin));
    rows.setValue(rows.find(6), QStringLiteral("Name"), QStringLiteral("K12+500 压实度"));
    rows.remove(rows.find(8));
    other.ApplyZiLiaoUpdates(kAdmin, rows.changeLog());
    m_folder->addNode(Library::ZiLiao, nodeRec(6, 9, QStringLiteral("K15 压实度"), 5, 1, 5, QStringLiteral(".cll")), kAdmin, 3);
    QVERIFY(!node(Library::ZiLiao, 9).isValid());

    m_main->miRefresh->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QVERIFY(node(Library::ZiLiao, 9).isValid());
    QVERIFY(!node(Library::ZiLiao, 8).isValid());
    QCOMPARE(node(Library::ZiLiao, 6).data().toString(), QStringLiteral("K12+500 压实度"));
    QCOMPARE(tree(Library::ZiLiao).record(view->currentIndex()).ItemID, 7);
    QVERIFY(view->isExpanded(node(Library::ZiLiao, 5)));
    // The status bar still names the node worked on; a tree where nothing was selected stays without a selection.
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: K13 压实度"));
    QVERIFY(!m_main->treeView(Library::GuiDang)->currentIndex().isValid());

    // A selected node that is gone leaves the library's root selected.
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 9));
    rows.load(other.GetZiLiaoData(kAdmin));
    rows.remove(rows.find(9));
    other.ApplyZiLiaoUpdates(kAdmin, rows.changeLog());
    m_main->miRefresh->trigger();
    QCOMPARE(view->currentIndex(), tree(Library::ZiLiao).index(0, 0));
}

QTEST_MAIN(TestMainWindowNodes)
#include "tst_mainwindow_nodes.moc"
