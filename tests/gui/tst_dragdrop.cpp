// Drag and drop in the main window's trees with the mouse, as a user does it: press on a node, drag it over another
// one, let go, and pick an entry of the menu that opens there. The operations' own rules are checked on the core
// (tst_nodecopy); here it is which menu opens with which entries, and what the window shows afterwards. Also the
// find dialog "查找".
#include "app/LocateNodeFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/RowSet.h"
#include "support/MainWindowSupport.h"
#include "support/ProgramFolderFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

namespace {

const QString kAdmin = QStringLiteral("Admin");

QStringList childNames(const LibraryTreeModel& tree, const QModelIndex& parent)
{
    QStringList names;
    for (int r = 0; r < tree.rowCount(parent); ++r)
        names << tree.index(r, 0, parent).data().toString();
    return names;
}

// What the popup menu showed when it came up, and the entry picked from it.
struct MenuSeen {
    QString menu;
    QStringList entries;   // visible entries other than separators, "-" in front of disabled ones
};

}  // namespace

class TestDragDrop : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void moveFormAsPriorSiblingWithTheMouse();
    void dropOnTheBinOffersDeleteOnly();
    void dragOntoTheArchiveArchives();
    void refusedTargetOpensNothing();
    void findDialogStepsThroughMatches();

private:
    void openWindow();
    QModelIndex node(Library lib, int itemId) { return m_main->library(lib).tree.indexOfItem(itemId); }
    QPoint centre(Library lib, int itemId) { return m_main->treeView(lib)->visualRect(node(lib, itemId)).center(); }
    // Presses on `from` in its tree, drags to `to` (a point of `toLib`'s tree) and lets go; `entry` is picked from
    // the menu that opens (empty: the menu is closed). Returns what the menu showed (empty when none opened).
    MenuSeen drag(Library lib, int from, Library toLib, int to, const QString& entry);

    std::unique_ptr<ProgramFolderFixture> m_folder;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login{kAdmin, 1};
    std::unique_ptr<TMainFrm> m_main;
    QStringList m_errors;
};

void TestDragDrop::init()
{
    m_errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
    m_prompter = ScriptedPrompter();
    m_folder = std::make_unique<ProgramFolderFixture>();
    ProgramFolderFixture& f = *m_folder;
    f.addRoadProject(kAdmin);
    f.addNode(Library::GuiDang, nodeRec(1, 1, QStringLiteral("2024 档案"), 0), kAdmin, 0);
    f.addNode(Library::GuiDang, nodeRec(2, 2, QStringLiteral("路基"), 1), kAdmin, 0);
}

void TestDragDrop::cleanup()
{
    if (m_main)
        m_main->closeWithoutQuery();
    m_main.reset();
    m_folder.reset();
    QuelmarApplication::setErrorSink({});
}

void TestDragDrop::openWindow()
{
    MainServices s = MainServicesFor(*m_folder, m_prompter, m_login);
    m_main = std::make_unique<TMainFrm>(s);
    m_main->LoadUserData();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    m_main->treeView(Library::ZiLiao)->expandAll();
    m_main->treeView(Library::GuiDang)->expandAll();
    QVERIFY(m_errors.isEmpty());
}

MenuSeen TestDragDrop::drag(Library lib, int from, Library toLib, int to, const QString& entry)
{
    QTreeView* tree = m_main->treeView(lib);
    QWidget* viewport = tree->viewport();
    const QPoint start = centre(lib, from);
    QTreeView* toTree = m_main->treeView(toLib);
    const QPoint end = viewport->mapFromGlobal(toTree->viewport()->mapToGlobal(centre(toLib, to)));

    MenuSeen seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll.stop();
        seen.menu = menu->objectName();
        QAction* pick = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || !a->isVisible())
                continue;
            seen.entries << (a->isEnabled() ? QString() : QStringLiteral("-")) + a->text();
            if (a->text() == entry)
                pick = a;
        }
        if (pick && pick->isEnabled()) {
            menu->setActiveAction(pick);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    poll.start();
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    QTest::mouseMove(viewport, start + QPoint(QApplication::startDragDistance() + 2, 1));
    QTest::mouseMove(viewport, end);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
    QCoreApplication::processEvents();
    poll.stop();
    return seen;
}

void TestDragDrop::moveFormAsPriorSiblingWithTheMouse()
{
    openWindow();
    const LibraryTreeModel& tree = m_main->library(Library::ZiLiao).tree;
    m_prompter.events.clear();
    const MenuSeen seen = drag(Library::ZiLiao, 8, Library::ZiLiao, 6, QStringLiteral("移动为同级上方节点(&T)"));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(seen.menu, QStringLiteral("pmZSelfDrag"));
    // An inspection form on an inspection form: the sibling entries only (code 10).
    QCOMPARE(seen.entries, (QStringList{QStringLiteral("-复制为子节点(&S)"), QStringLiteral("复制为同级上方节点(&T)"),
                                        QStringLiteral("复制为同级下方节点(&B)"), QStringLiteral("-移到为子节点(&S)"),
                                        QStringLiteral("移动为同级上方节点(&T)"), QStringLiteral("移动为同级下方节点(&B)"),
                                        QStringLiteral("取消(&C)")}));
    QCOMPARE(childNames(tree, node(Library::ZiLiao, 5)),
             (QStringList{QStringLiteral("K14 压实度"), QStringLiteral("K12 压实度"), QStringLiteral("K13 压实度")}));
    QCOMPARE(m_main->ZiLiaoDragSource.data(LibraryTreeModel::ItemIdRole).toInt(), 8);
    QCOMPARE(m_main->ZiLiaoDropTarget.data(LibraryTreeModel::ItemIdRole).toInt(), 6);
    // The moved node stays selected and is shown; the order is in the database.
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 8));
    QCOMPARE(m_main->contentPane(Library::ZiLiao).viewer().GetFileName(),
             m_main->nodeFilePath(Library::ZiLiao, tree.record(node(Library::ZiLiao, 8))));
    QCOMPARE(m_prompter.messages(QStringLiteral("information")),
             QStringList{QStringLiteral("目标位置: K12 压实度->上方节点。")});
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: K14 压实度"));
    RowSet rows;
    rows.load(m_folder->dm().GetZiLiaoData(kAdmin));
    QCOMPARE(rows.value(rows.find(8), QStringLiteral("iPartIndex")).toInt(), 0);
    QCOMPARE(rows.value(rows.find(6), QStringLiteral("iPartIndex")).toInt(), 1);
    QCOMPARE(rows.value(rows.find(7), QStringLiteral("iPartIndex")).toInt(), 2);
}

void TestDragDrop::dropOnTheBinOffersDeleteOnly()
{
    openWindow();
    const MenuSeen seen = drag(Library::ZiLiao, 7, Library::ZiLiao, 1, QStringLiteral("取消(&C)"));
    QCOMPARE(seen.menu, QStringLiteral("pmZDeleteDragSource"));
    QCOMPARE(seen.entries, (QStringList{QStringLiteral("删除节点(&D)"), QStringLiteral("取消(&C)")}));
    QCOMPARE(m_main->library(Library::ZiLiao).tree.rowCount(node(Library::ZiLiao, 1)), 0);   // nothing happened

    m_prompter.defaultYes = true;
    const MenuSeen again = drag(Library::ZiLiao, 7, Library::ZiLiao, 1, QStringLiteral("删除节点(&D)"));
    QCOMPARE(again.menu, QStringLiteral("pmZDeleteDragSource"));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(node(Library::ZiLiao, 7).parent(), node(Library::ZiLiao, 1));   // in the bin
}

void TestDragDrop::dragOntoTheArchiveArchives()
{
    openWindow();
    const MenuSeen seen = drag(Library::ZiLiao, 3, Library::GuiDang, 2, QStringLiteral("归档为子节点(&S)"));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(seen.menu, QStringLiteral("pmGuiDang"));
    QCOMPARE(seen.entries, (QStringList{QStringLiteral("归档为子节点(&S)"), QStringLiteral("归档为同级上方节点(&T)"),
                                        QStringLiteral("归档为同级下方节点(&B)"), QStringLiteral("取消(&C)")}));
    const LibraryTreeModel& archive = m_main->library(Library::GuiDang).tree;
    const QModelIndex category = archive.indexOfItem(2);
    QCOMPARE(childNames(archive, category), QStringList{QStringLiteral("路基工程")});
    QStringList kinds;
    archive.forEachPreOrder([&](const QModelIndex& i, int) {
        kinds << QStringLiteral("%1:%2").arg(i.data().toString()).arg(i.data(LibraryTreeModel::TypeIdRole).toInt());
    });
    QCOMPARE(kinds.join(QLatin1Char(' ')),
             QStringLiteral("档案库:0 2024 档案:1 路基:2 路基工程:2 土方路基:2 压实度检验:2 K12 压实度:3 K13 压实度:3 "
                            "K14 压实度:3"));
}

void TestDragDrop::refusedTargetOpensNothing()
{
    openWindow();
    // An inspection form onto the project root: refused while dragging, so the drop opens no menu.
    const MenuSeen seen = drag(Library::ZiLiao, 6, Library::ZiLiao, 0, QStringLiteral("取消(&C)"));
    QCOMPARE(seen.menu, QString());
    QVERIFY(m_errors.isEmpty());
    // Onto the archive cabinet: refused too.
    const MenuSeen cabinet = drag(Library::ZiLiao, 3, Library::GuiDang, 1, QStringLiteral("取消(&C)"));
    QCOMPARE(cabinet.menu, QString());
    QCOMPARE(node(Library::ZiLiao, 6).parent(), node(Library::ZiLiao, 5));
}

void TestDragDrop::findDialogStepsThroughMatches()
{
    openWindow();
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 0));
    TLocateNodeFrm dialog(*m_main, Library::ZiLiao);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("查找"));
    QCOMPARE(dialog.pos(), m_main->frameGeometry().topLeft() + QPoint(40, 50));
    QVERIFY(!dialog.btnFindNext->isEnabled());
    QVERIFY(dialog.rbtnForward->isChecked());
    QVERIFY(!dialog.cbxWholeWordsOnly->isChecked());
    QTest::keyClicks(dialog.edtFindTarget, QStringLiteral(" "));
    QVERIFY(dialog.btnFindNext->isEnabled());   // blanks count
    dialog.edtFindTarget->setText(QStringLiteral("压实度"));
    dialog.btnFindNext->click();
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 5));
    dialog.btnFindNext->click();
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 6));
    dialog.rbtnBackward->setChecked(true);
    dialog.btnFindNext->click();   // a new direction starts at the selected node itself
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 6));
    dialog.btnFindNext->click();
    dialog.btnFindNext->click();
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 5));
    QCOMPARE(m_prompter.messages(QStringLiteral("information")), QStringList{QStringLiteral("“压实度” 没有被找到！")});
    QVERIFY(m_errors.isEmpty());
}

QTEST_MAIN(TestDragDrop)
#include "tst_dragdrop.moc"
