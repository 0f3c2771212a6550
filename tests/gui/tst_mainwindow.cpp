// The main window driven headless on a fresh program folder: what a selected node shows, the question about a
// changed table, the save actions, page switching and the template load rule, the menus by user type, the window
// layout stored and loaded through the window, the close question.
#include "app/FlashFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "app/RepaintThrottle.h"
#include "cell/view/CellView.h"
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/TableLock.h"
#include "support/MainWindowSupport.h"
#include "support/ProgramFolderFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

namespace {

// A viewer that records what the window asks of it; its "modified" state and save result are set by the test.
class ScriptedViewer final : public TableViewer {
public:
    QWidget* widget() override { return &m_widget; }
    int OpenFile(const QString& path, const QString& password) override
    {
        calls << QStringLiteral("OpenFile %1 %2").arg(QFileInfo(path).fileName(), password);
        file = path;
        modified = false;
        return 1;
    }
    int SaveFile(const QString& path, int mode) override
    {
        calls << QStringLiteral("SaveFile %1 %2").arg(QFileInfo(path).fileName()).arg(mode);
        if (saveResult == 1)
            modified = false;
        return saveResult;
    }
    QString GetFileName() const override { return file; }
    int IsModified() const override { return modified ? 1 : 0; }
    void ResetContent() override
    {
        calls << QStringLiteral("ResetContent");
        file.clear();
        modified = false;
    }
    int GetCurSheet() const override { return 0; }
    void ShowColLabel(int show, int) override { calls << QStringLiteral("ShowColLabel %1").arg(show); }
    void ShowRowLabel(int show, int) override { calls << QStringLiteral("ShowRowLabel %1").arg(show); }
    void SetViewerOption(int on) override { calls << QStringLiteral("SetViewerOption %1").arg(on); }

    QStringList calls;
    QString file;
    bool modified = false;
    int saveResult = 1;

private:
    QWidget m_widget;
};

// Texts of the events of several kinds, in order.
QStringList said(const ScriptedPrompter& p, const QString& kind)
{
    return p.messages(kind);
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selectionShowsContent_data();
    void selectionShowsContent();
    void changedTableIsOfferedForSaving_data();
    void changedTableIsOfferedForSaving();
    void archiveTreeSavesSharedViewer();
    void failedSaveKeepsSelection();
    void saveActionFollowsViewer();
    void recycleBinMenuAndGuard();
    void pendingActionSaysNotAvailable();
    void templatePageLoadsOnFirstVisit();
    void standardUserSeesNoTemplates();
    void layoutStoredAndLoaded_data();
    void layoutStoredAndLoaded();
    void standardUserKeepsTemplatePanelSize();
    void windowOffScreenComesBack();
    void closeAsksFirst();
    void splashIsItsPicture();
    void splashRepaintsAreThrottled();
    void engineViewerCountsOnlyEdits();
    void doubleClickOpens_data();
    void doubleClickOpens();
    void editTableAction();
    void documentOpensInItsApplication();
    void missingReadme();
    void shortcutsActWhereTheyBelong();
    void treeFocusSwitchesCaptionToolbarAndMenus();
    void unknownKindIsRefused_data();
    void unknownKindIsRefused();

private:
    // Builds the window for the user and loads his data (the log-in step of the program).
    void openWindow(const QString& user = QStringLiteral("Admin"), int type = 1);
    ScriptedViewer& viewer(Library lib) { return lib == Library::Moban ? *m_mobanViewer : *m_ziLiaoViewer; }
    QModelIndex node(Library lib, int itemId) { return m_main->library(lib).tree.indexOfItem(itemId); }
    void writeFile(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

    std::unique_ptr<ProgramFolderFixture> m_folder;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login;
    std::unique_ptr<TMainFrm> m_main;
    ScriptedViewer* m_mobanViewer = nullptr;
    ScriptedViewer* m_ziLiaoViewer = nullptr;
    QStringList m_errors;
    QStringList m_designed;        // what the designer was asked to open: "name file FillMode"
    QStringList m_designedPaths;
    QStringList m_designerViewerCalls;   // the files of the template and the project viewer meanwhile
};

void TestMainWindow::init()
{
    m_errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
    m_prompter = ScriptedPrompter();
    m_folder = std::make_unique<ProgramFolderFixture>();
    ProgramFolderFixture& f = *m_folder;
    const AppPaths& p = f.paths();

    // Template library: a template with a division, a data category, a sub-item and a document.
    f.addNode(Library::Moban, nodeRec(9, 2, QStringLiteral("路基模板"), 0, 1), {}, 0);
    f.addNode(Library::Moban, nodeRec(3, 3, QStringLiteral("路基土石方"), 2, 1));
    f.addNode(Library::Moban, nodeRec(4, 4, QStringLiteral("土方路基"), 3, 1));
    f.addNode(Library::Moban, nodeRec(5, 5, QStringLiteral("压实度检验"), 4, 1, 1, QStringLiteral(".cll")));
    writeFile(FileLayout::NodeFilePath(p.MobanFolderPath(1), 1, QStringLiteral(".cll")));

    // Project library: a project with a sub-item, two forms (one whose file is missing) and a document.
    f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("G318改建工程"), 0, 1), QStringLiteral("Admin"));
    f.addNode(Library::ZiLiao, nodeRec(3, 3, QStringLiteral("路基工程"), 2, 1), QStringLiteral("Admin"));
    f.addNode(Library::ZiLiao, nodeRec(5, 4, QStringLiteral("压实度检验"), 3, 1, 1, QStringLiteral(".cll")),
              QStringLiteral("Admin"));
    f.addNode(Library::ZiLiao, nodeRec(6, 5, QStringLiteral("K12 压实度"), 4, 1, 2, QStringLiteral(".cll")),
              QStringLiteral("Admin"), 0);
    f.addNode(Library::ZiLiao, nodeRec(6, 6, QStringLiteral("K13 压实度"), 4, 1, 3, QStringLiteral(".cll")),
              QStringLiteral("Admin"), 1);
    f.addNode(Library::ZiLiao, nodeRec(16, 7, QStringLiteral("施工日志.TXT"), 3, 1, 4, QStringLiteral(".TXT")),
              QStringLiteral("Admin"), 1);
    f.addNode(Library::ZiLiao, nodeRec(6, 8, QStringLiteral("K14 压实度"), 4, 1, 9, QStringLiteral(".cll")),
              QStringLiteral("Admin"), 2);
    for (int file : {1, 2, 3})
        writeFile(FileLayout::NodeFilePath(p.ZiLiaoFolderPath(1), file, QStringLiteral(".cll")));
    writeFile(FileLayout::NodeFilePath(p.ZiLiaoFolderPath(1), 4, QStringLiteral(".TXT")));

    // Archive library: a cabinet, a category and the archived first form.
    f.addNode(Library::GuiDang, nodeRec(1, 1, QStringLiteral("2024 档案"), 0), QStringLiteral("Admin"));
    f.addNode(Library::GuiDang, nodeRec(2, 2, QStringLiteral("G318"), 1), QStringLiteral("Admin"));
    f.addNode(Library::GuiDang, nodeRec(3, 3, QStringLiteral("K12 压实度"), 2, 1, 2, QStringLiteral(".cll")),
              QStringLiteral("Admin"));
}

void TestMainWindow::cleanup()
{
    if (m_main)
        m_main->closeWithoutQuery();
    m_main.reset();
    m_folder.reset();
    QuelmarApplication::setErrorSink({});
}

void TestMainWindow::openWindow(const QString& user, int type)
{
    m_login.opName = user;
    m_login.opType = type;
    MainServices s = MainServicesFor(*m_folder, m_prompter, m_login);
    s.viewerFactory = [this](QWidget*) {
        auto v = std::make_unique<ScriptedViewer>();
        (m_mobanViewer ? m_ziLiaoViewer : m_mobanViewer) = v.get();
        return std::unique_ptr<TableViewer>(std::move(v));
    };
    m_designed.clear();
    m_designedPaths.clear();
    s.designerRunner = [this](QWidget*, const designer::DesignerServices& services,
                              const designer::DesignerRequest& r) {
        QVERIFY(services.dm && services.prompter);
        m_designed << QStringLiteral("%1 %2 %3").arg(r.displayName, QFileInfo(r.path).fileName()).arg(r.fillMode)
                          + (r.readOnly ? QStringLiteral(" [%1]").arg(r.readOnlyNote) : QString());
        m_designedPaths << r.path;
        // What the two viewers hold while the designer has the file.
        m_designerViewerCalls = QStringList{m_mobanViewer->file, m_ziLiaoViewer->file};
    };
    m_mobanViewer = m_ziLiaoViewer = nullptr;
    m_main = std::make_unique<TMainFrm>(s);
    m_main->LoadUserData();
    QVERIFY(m_errors.isEmpty());
}

void TestMainWindow::selectionShowsContent_data()
{
    QTest::addColumn<int>("library");
    QTest::addColumn<int>("itemId");
    QTest::addColumn<int>("page");            // ContentPane::Page
    QTest::addColumn<QString>("opened");      // file opened in the viewer or linked in the document page
    QTest::addColumn<QString>("warning");     // file name the missing-file warning must name, or empty
    QTest::addColumn<QString>("objects");     // panel 1

    const int table = int(ContentPane::Page::TableFile), doc = int(ContentPane::Page::DataPacket),
              info = int(ContentPane::Page::NodeInfo);
    QTest::newRow("inspection form") << int(Library::ZiLiao) << 5 << table << "2.cll" << "" << "0 个对象";
    QTest::newRow("sub-item") << int(Library::ZiLiao) << 4 << table << "1.cll" << "" << "3 个对象";
    QTest::newRow("document") << int(Library::ZiLiao) << 7 << doc << "4.TXT" << "" << "0 个对象";
    QTest::newRow("missing file") << int(Library::ZiLiao) << 8 << info << "" << "9.cll" << "0 个对象";
    QTest::newRow("division") << int(Library::ZiLiao) << 3 << info << "" << "" << "2 个对象";
    QTest::newRow("project") << int(Library::ZiLiao) << 2 << info << "" << "" << "1 个对象";
    QTest::newRow("recycle bin") << int(Library::ZiLiao) << 1 << info << "" << "" << "0 个对象";
    QTest::newRow("archived form") << int(Library::GuiDang) << 3 << table << "2.cll" << "" << "";
    QTest::newRow("cabinet") << int(Library::GuiDang) << 1 << info << "" << "" << "";
}

void TestMainWindow::selectionShowsContent()
{
    QFETCH(int, library);
    QFETCH(int, itemId);
    QFETCH(int, page);
    QFETCH(QString, opened);
    QFETCH(QString, warning);
    QFETCH(QString, objects);
    const Library lib = Library(library);

    openWindow();
    const QString objectsBefore = m_main->statusText(1);
    m_main->selectNode(lib, node(lib, itemId));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));

    ContentPane& pane = m_main->contentPane(lib);
    QCOMPARE(int(pane.currentPage()), page);
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: %1").arg(node(lib, itemId).data().toString()));
    // The archive tree leaves the object count as it was.
    QCOMPARE(m_main->statusText(1), lib == Library::GuiDang ? objectsBefore : objects);

    if (page == int(ContentPane::Page::TableFile)) {
        ScriptedViewer& v = viewer(lib);
        QCOMPARE(QFileInfo(v.file).fileName(), opened);
        // Opened with the table-file password, labels hidden, viewer option off.
        const int open = v.calls.indexOf(QStringLiteral("OpenFile %1 58206143").arg(opened));
        QVERIFY(open >= 0);
        QCOMPARE(v.calls.mid(open + 1, 3), QStringList({QStringLiteral("ShowColLabel 0"),
                                                        QStringLiteral("ShowRowLabel 0"),
                                                        QStringLiteral("SetViewerOption 0")}));
    }
    if (page == int(ContentPane::Page::DataPacket)) {
        QCOMPARE(QFileInfo(pane.documents().linkedFile()).fileName(), opened);
        QVERIFY(m_main->actions(lib).own(QStringLiteral("OpenOleContainer"))->isEnabled());
    }
    const QStringList warnings = said(m_prompter, QStringLiteral("warning"));
    if (warning.isEmpty()) {
        QVERIFY(warnings.isEmpty());
    } else {
        const QString path = QDir::toNativeSeparators(
            FileLayout::NodeFilePath(m_folder->paths().ZiLiaoFolderPath(1), 9, QStringLiteral(".cll")));
        QCOMPARE(warnings, QStringList(QStringLiteral("“%1”文件不存在！").arg(path)));
        // The selection stays on the node.
        QCOMPARE(m_main->selectedNode(lib), node(lib, itemId));
    }
}

void TestMainWindow::changedTableIsOfferedForSaving_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("saveResult");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("nextShown");
    QTest::newRow("yes") << int(Prompter::Answer::Yes) << 1 << true << true;
    QTest::newRow("no") << int(Prompter::Answer::No) << 1 << false << true;
    // A table that cannot be saved stays in the viewer with its changes, and the user is told.
    QTest::newRow("yes, save fails") << int(Prompter::Answer::Yes) << 0 << true << false;
}

void TestMainWindow::changedTableIsOfferedForSaving()
{
    QFETCH(int, answer);
    QFETCH(int, saveResult);
    QFETCH(bool, saved);
    QFETCH(bool, nextShown);

    openWindow();
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 5));
    ScriptedViewer& v = viewer(Library::ZiLiao);
    const QString first = v.file;
    v.modified = true;   // the user edited the table in the viewer
    v.saveResult = saveResult;
    v.calls.clear();
    m_prompter.answers.enqueue(Prompter::Answer(answer));

    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 6));

    const QStringList questions = said(m_prompter, QStringLiteral("question"));
    QCOMPARE(questions, QStringList(QStringLiteral("%1 文件已经改变。\r\n\r\n想保存文件吗？").arg(first)));
    QCOMPARE(v.calls.contains(QStringLiteral("SaveFile 2.cll 0")), saved);
    if (nextShown) {
        QVERIFY(m_errors.isEmpty());
        QCOMPARE(QFileInfo(v.file).fileName(), QStringLiteral("3.cll"));
        // The save comes before the next table is opened.
        if (saved)
            QVERIFY(v.calls.indexOf(QStringLiteral("SaveFile 2.cll 0")) <
                    v.calls.indexOf(QStringLiteral("OpenFile 3.cll 58206143")));
    } else {
        QCOMPARE(m_errors, QStringList(QStringLiteral("文件没有被保存？")));
        QCOMPARE(v.file, first);
        QVERIFY(v.modified);
    }

    // An unchanged table is closed without a question.
    m_prompter.events.clear();
    v.modified = false;
    v.saveResult = 1;
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 4));
    QVERIFY(said(m_prompter, QStringLiteral("question")).isEmpty());
}

void TestMainWindow::archiveTreeSavesSharedViewer()
{
    openWindow();
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 6));
    ScriptedViewer& v = viewer(Library::ZiLiao);
    v.modified = true;
    v.calls.clear();
    // The archive tree keeps the shared viewer: the changed table is saved under its own name before the
    // archived form is opened, without a question.
    m_main->selectNode(Library::GuiDang, node(Library::GuiDang, 3));
    QVERIFY(said(m_prompter, QStringLiteral("question")).isEmpty());
    QVERIFY(!v.calls.contains(QStringLiteral("ResetContent")));
    QCOMPARE(v.calls.mid(0, 2), QStringList({QStringLiteral("SaveFile 3.cll 0"),
                                            QStringLiteral("OpenFile 2.cll 58206143")}));
}

void TestMainWindow::failedSaveKeepsSelection()
{
    openWindow();
    m_main->show();
    QTreeView* tree = m_main->treeView(Library::ZiLiao);
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 5));
    tree->expandAll();
    ScriptedViewer& v = viewer(Library::ZiLiao);
    v.modified = true;
    v.saveResult = 0;
    const auto clickOn = [tree](const QModelIndex& index) {
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
    };

    // The user clicks another form and answers yes; the save fails: the tree, the status bar and the entries stay
    // with the form whose changed table the pane still shows.
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    clickOn(node(Library::ZiLiao, 6));
    QCOMPARE(m_errors, QStringList(QStringLiteral("文件没有被保存？")));
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 5));
    QTRY_COMPARE(tree->selectionModel()->selectedIndexes(), QModelIndexList{node(Library::ZiLiao, 5)});
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: K12 压实度"));
    QCOMPARE(QFileInfo(v.file).fileName(), QStringLiteral("2.cll"));
    QVERIFY(v.modified);
    QCOMPARE(m_main->contentPane(Library::ZiLiao).currentPage(), ContentPane::Page::TableFile);

    // Once the save works, the same click goes on to the other form.
    m_errors.clear();
    v.saveResult = 1;
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    clickOn(node(Library::ZiLiao, 6));
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 6));
    QCOMPARE(QFileInfo(v.file).fileName(), QStringLiteral("3.cll"));

    // The archive tree shares the viewer: its archived form cannot replace the project form's changed table, so
    // the archive selection goes back and the project tree is the current one again.
    v.modified = true;
    v.saveResult = 0;
    m_main->selectNode(Library::GuiDang, node(Library::GuiDang, 3));
    QCOMPARE(m_errors, QStringList(QStringLiteral("文件没有被保存？")));
    QVERIFY(m_main->selectedNode(Library::GuiDang) != node(Library::GuiDang, 3));
    QTRY_VERIFY(!m_main->treeView(Library::GuiDang)->selectionModel()->isSelected(node(Library::GuiDang, 3)));
    QCOMPARE(m_main->windowTitle(), QStringLiteral("工程管理 - Quelmar"));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: K13 压实度"));
    QCOMPARE(m_main->selectedNode(Library::ZiLiao), node(Library::ZiLiao, 6));
    QCOMPARE(QFileInfo(v.file).fileName(), QStringLiteral("3.cll"));
    QVERIFY(v.modified);
    v.modified = false;
}

void TestMainWindow::saveActionFollowsViewer()
{
    openWindow();
    QAction* save = m_main->actions(Library::ZiLiao).own(QStringLiteral("Save"));
    QAction* archiveSave = m_main->actions(Library::GuiDang).own(QStringLiteral("Save"));
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 5));
    ScriptedViewer& v = viewer(Library::ZiLiao);
    m_main->updateSaveActions();
    QVERIFY(!save->isEnabled());
    v.modified = true;
    m_main->updateSaveActions();
    QVERIFY(save->isEnabled());
    QVERIFY(archiveSave->isEnabled());

    v.saveResult = 0;
    save->trigger();
    QCOMPARE(said(m_prompter, QStringLiteral("error")), QStringList(QStringLiteral("文件没有被保存？")));
    QVERIFY(save->isEnabled());

    v.saveResult = 1;
    save->trigger();
    QVERIFY(v.calls.endsWith(QStringLiteral("SaveFile 2.cll 0")));
    QVERIFY(!save->isEnabled());
}

void TestMainWindow::recycleBinMenuAndGuard()
{
    openWindow();
    const QModelIndex bin = node(Library::ZiLiao, 1);
    m_main->selectNode(Library::ZiLiao, bin);
    QMenu* menu = m_main->treeMenuFor(Library::ZiLiao);
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("清空回收站(&R)"));
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 2));
    QCOMPARE(m_main->treeMenuFor(Library::ZiLiao), m_main->actions(Library::ZiLiao).treeMenu());
    // The archive's category (also TypeID 2) is no recycle bin.
    m_main->selectNode(Library::GuiDang, node(Library::GuiDang, 2));
    QCOMPARE(m_main->treeMenuFor(Library::GuiDang), m_main->actions(Library::GuiDang).treeMenu());
}

void TestMainWindow::pendingActionSaysNotAvailable()
{
    openWindow();
    QString firstPending;
#define QUELMAR_FIRST_PENDING(name)                                                                                \
    if (firstPending.isEmpty() && QStringLiteral(#name).startsWith(QStringLiteral("ZiLiao")))                     \
        firstPending = QStringLiteral(#name);
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 4));
    // An entry whose operation is not built yet says so under its own caption.
    QUELMAR_PENDING_ACTIONS(QUELMAR_FIRST_PENDING)
    if (firstPending.isEmpty())
        QSKIP("every entry of the project library is built");
    m_main->actions(Library::ZiLiao).action(firstPending)->trigger();
    QCOMPARE(said(m_prompter, QStringLiteral("information")), QStringList(QStringLiteral("此功能尚未提供。")));
    QCOMPARE(m_prompter.events.last().caption, m_main->actions(Library::ZiLiao).action(firstPending)->toolTip());
#undef QUELMAR_FIRST_PENDING
    // Every action whose operation comes later answers the same way when triggered, whatever its state.
    QStringList pending;
#define QUELMAR_PENDING_NAME(name) pending << QStringLiteral(#name);
    QUELMAR_PENDING_ACTIONS(QUELMAR_PENDING_NAME)
#undef QUELMAR_PENDING_NAME
    for (Library lib : {Library::Moban, Library::ZiLiao, Library::GuiDang}) {
        for (QAction* a : m_main->actions(lib).actions()) {
            if (!pending.contains(a->objectName()))
                continue;
            m_prompter.events.clear();
            a->setEnabled(true);
            a->trigger();
            QVERIFY2(said(m_prompter, QStringLiteral("information")) == QStringList(QStringLiteral("此功能尚未提供。")),
                     qPrintable(a->objectName()));
        }
    }
    QVERIFY(m_errors.isEmpty());
}

void TestMainWindow::templatePageLoadsOnFirstVisit()
{
    openWindow();
    QVERIFY(!m_main->templateLoaded());
    QCOMPARE(m_main->library(Library::Moban).tree.nodeCount(), 0);
    QCOMPARE(m_main->windowTitle(), QStringLiteral("工程管理 - Quelmar"));
    QVERIFY(m_main->operationsMenu(Library::ZiLiao)->menuAction()->isVisible());
    QVERIFY(!m_main->operationsMenu(Library::Moban)->menuAction()->isVisible());

    m_main->miMoban->trigger();
    QVERIFY(m_errors.isEmpty());
    QVERIFY(m_main->templateLoaded());
    QVERIFY(m_main->isTemplatePageCurrent());
    QCOMPARE(m_main->windowTitle(), QStringLiteral("模板管理 - Quelmar"));
    QVERIFY(!m_main->operationsMenu(Library::ZiLiao)->menuAction()->isVisible());
    QVERIFY(m_main->operationsMenu(Library::Moban)->menuAction()->isVisible());
    // The first node is selected and shown.
    QCOMPARE(m_main->selectedNode(Library::Moban), m_main->library(Library::Moban).tree.index(0, 0));
    QCOMPARE(m_main->statusText(0), QStringLiteral("当前节点: 模板库"));
    const int loaded = m_main->library(Library::Moban).tree.nodeCount();

    // A template added behind the window's back is not seen by later visits: the tree is loaded once per login.
    m_folder->addNode(Library::Moban, nodeRec(9, 20, QStringLiteral("桥梁模板"), 0, 2), {}, 1);
    m_main->miMoban->trigger();   // already current: nothing happens
    m_main->miZiLiao->trigger();
    QVERIFY(!m_main->isTemplatePageCurrent());
    QCOMPARE(m_main->windowTitle(), QStringLiteral("工程管理 - Quelmar"));
    QVERIFY(m_main->operationsMenu(Library::ZiLiao)->menuAction()->isVisible());
    m_main->miMoban->trigger();
    QCOMPARE(m_main->library(Library::Moban).tree.nodeCount(), loaded);

    // After the next login the first visit loads again.
    m_main->LoadUserData();
    QVERIFY(!m_main->templateLoaded());
    QVERIFY(!m_main->isTemplatePageCurrent());
    m_main->miMoban->trigger();
    QCOMPARE(m_main->library(Library::Moban).tree.nodeCount(), loaded + 1);
}

void TestMainWindow::standardUserSeesNoTemplates()
{
    m_folder->addUser(QStringLiteral("Li"), QString(), 0);
    openWindow(QStringLiteral("li"), 0);
    QVERIFY(!m_main->miUserManager->isVisible());
    QVERIFY(!m_main->miMoban->isVisible());
    QVERIFY(!m_main->miMoban->isEnabled());
    QVERIFY(!m_main->miZiLiao->isVisible());
    QVERIFY(m_main->operationsMenu(Library::ZiLiao)->menuAction()->isVisible());
    // Li owns no project: he sees the root and the bin only.
    QCOMPARE(m_main->library(Library::ZiLiao).tree.nodeCount(), 2);
    QCOMPARE(m_main->statusText(2), QStringLiteral("当前用户: li"));

    // Another user type is refused by the load.
    m_login.opType = 7;
    try {
        m_main->LoadUserData();
        QFAIL("an unknown user type was accepted");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("用户类型不明确！"));
    }
}

void TestMainWindow::layoutStoredAndLoaded_data()
{
    QTest::addColumn<bool>("maximized");
    QTest::newRow("normal") << false;
    QTest::newRow("maximized") << true;
}

void TestMainWindow::layoutStoredAndLoaded()
{
    QFETCH(bool, maximized);
    openWindow();
    m_main->show();
    const QRect normal(30, 40, 900, 640);
    m_main->setGeometry(normal);
    if (maximized)
        m_main->showMaximized();
    QCoreApplication::processEvents();
    m_main->SaveWindowLayout();

    RowSet row;
    row.load(m_folder->dm().GetOwnerConfigData(QStringLiteral("Admin")));
    QCOMPARE(row.count(), 1);
    const RowSet::RowId id = row.rows().first();
    QCOMPARE(row.value(id, QStringLiteral("IsNormal")).toBool(), !maximized);
    if (maximized) {
        // The geometry of the last normal window stays as it was stored before.
        QCOMPARE(row.value(id, QStringLiteral("FrmWidth")).toInt(), 1024);
    } else {
        QCOMPARE(row.value(id, QStringLiteral("FrmLeft")).toInt(), normal.left());
        QCOMPARE(row.value(id, QStringLiteral("FrmTop")).toInt(), normal.top());
        QCOMPARE(row.value(id, QStringLiteral("FrmWidth")).toInt(), normal.width());
        QCOMPARE(row.value(id, QStringLiteral("FrmHeight")).toInt(), normal.height());
    }

    // The next login of the same user finds the window as he left it.
    m_main->closeWithoutQuery();
    openWindow();
    if (maximized) {
        QCOMPARE(m_main->geometry(), m_main->screen()->availableGeometry());
        QVERIFY(!m_main->isMaximized());
    } else {
        QCOMPARE(m_main->geometry(), normal);
    }
    QVERIFY(m_main->isPanelShown(Library::ZiLiao));
    QVERIFY(m_main->isPanelShown(Library::GuiDang));
    QVERIFY(m_main->isPanelShown(Library::Moban));

    // A hidden panel's width is still stored, and the next login shows the panel again.
    m_main->actions(Library::ZiLiao).own(QStringLiteral("DisplayTree"))->trigger();
    QVERIFY(!m_main->isPanelShown(Library::ZiLiao));
    QVERIFY(!m_main->actions(Library::ZiLiao).own(QStringLiteral("DisplayTree"))->isChecked());
    m_main->SaveWindowLayout();
    m_main->LoadWindowLayout();
    QVERIFY(m_main->isPanelShown(Library::ZiLiao));
    QVERIFY(m_main->actions(Library::ZiLiao).own(QStringLiteral("DisplayTree"))->isChecked());
    row.load(m_folder->dm().GetOwnerConfigData(QStringLiteral("Admin")));
    QCOMPARE(row.value(row.rows().first(), QStringLiteral("ZPanelSize")).toInt(), 240);
}

void TestMainWindow::standardUserKeepsTemplatePanelSize()
{
    m_folder->addUser(QStringLiteral("Li"), QString(), 0);
    openWindow(QStringLiteral("Li"), 0);
    RowSet before;
    before.load(m_folder->dm().GetOwnerConfigData(QStringLiteral("Li")));
    const int mPanel = before.value(before.rows().first(), QStringLiteral("MPanelSize")).toInt();
    m_main->setGeometry(10, 20, 800, 600);
    m_main->SaveWindowLayout();
    RowSet after;
    after.load(m_folder->dm().GetOwnerConfigData(QStringLiteral("Li")));
    QCOMPARE(after.value(after.rows().first(), QStringLiteral("MPanelSize")).toInt(), mPanel);
    QCOMPARE(after.value(after.rows().first(), QStringLiteral("FrmWidth")).toInt(), 800);
}

void TestMainWindow::windowOffScreenComesBack()
{
    openWindow();
    m_main->setGeometry(QRect(QPoint(20000, 15000), QSize(700, 500)));
    m_main->SaveWindowLayout();
    m_main->closeWithoutQuery();
    openWindow();
    const QRect work = m_main->screen()->availableGeometry();
    QCOMPARE(m_main->geometry(), QRect(work.topLeft(), QSize(700, 500)));
}

void TestMainWindow::closeAsksFirst()
{
    openWindow();
    m_main->show();
    m_main->setGeometry(50, 60, 880, 620);
    m_prompter.answers.enqueue(Prompter::Answer::No);
    QVERIFY(!m_main->close());
    QCOMPARE(m_prompter.events.last().caption, QStringLiteral("确认"));
    QCOMPARE(m_prompter.events.last().text, QStringLiteral("您要退出系统吗？"));
    // A changed table is offered for saving before the window goes; a failed save keeps the window open.
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 5));
    ScriptedViewer& v = viewer(Library::ZiLiao);
    v.modified = true;
    v.saveResult = 0;
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    QVERIFY(!m_main->close());
    QCOMPARE(m_errors, QStringList(QStringLiteral("文件没有被保存？")));
    v.saveResult = 1;
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    QVERIFY(m_main->close());
    QVERIFY(v.calls.endsWith(QStringLiteral("SaveFile 2.cll 0")));
    RowSet row;
    row.load(m_folder->dm().GetOwnerConfigData(QStringLiteral("Admin")));
    QCOMPARE(row.value(row.rows().first(), QStringLiteral("FrmLeft")).toInt(), 50);
}

void TestMainWindow::splashIsItsPicture()
{
    TFlashFrm splash;
    QCOMPARE(splash.size(), QSize(400, 245));
    QVERIFY(splash.isVisible());
}

namespace {
// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
}  // namespace

void TestMainWindow::splashRepaintsAreThrottled()
{
    // The steps of a long load repaint at once; the nodes of a tree only when the interval has passed since the
    // last repaint (the first node always shows).
    QWidget window;
    window.resize(80, 40);
    window.show();
    PaintCounter counter;
    window.installEventFilter(&counter);
    RepaintThrottle throttle(&window, 3600 * 1000);
    throttle.tick();
    QCOMPARE(throttle.repaints(), 1);
    for (int i = 0; i < 500; ++i)
        throttle.tick();
    QCOMPARE(throttle.repaints(), 1);
    throttle.now();
    QCOMPARE(throttle.repaints(), 2);
    QVERIFY(counter.paints >= 2);

    // The start-up load still draws its splash between the steps.
    openWindow();
    TFlashFrm splash;
    PaintCounter splashPaints;
    splash.installEventFilter(&splashPaints);
    m_main->LoadUserData(&splash);
    QVERIFY(m_errors.isEmpty());
    QVERIFY2(splashPaints.paints >= 3, qPrintable(QString::number(splashPaints.paints)));
}

void TestMainWindow::engineViewerCountsOnlyEdits()
{
    // The program's own viewer on a real table file: showing it (labels hidden) is no change, an edit is one.
    const QString form = m_folder->dir() + QStringLiteral("/form.cll");
    QVERIFY(QFile::copy(m_folder->paths().BlankTableFile, form));
    std::unique_ptr<TableViewer> viewer = createCellViewer(nullptr);
    QVERIFY(LoadTableFile(*viewer, form));
    QCOMPARE(viewer->GetFileName(), form);
    QCOMPARE(viewer->IsModified(), 0);
    auto* view = qobject_cast<cell::CellView*>(viewer->widget());
    QVERIFY(view);
    view->control()->SetCellString(2, 3, viewer->GetCurSheet(), QStringLiteral("96.5"));
    QCOMPARE(viewer->IsModified(), 1);
    QCOMPARE(viewer->SaveFile(viewer->GetFileName(), 0), 1);
    QCOMPARE(viewer->IsModified(), 0);

    // A file that is no table file leaves the viewer empty and says so.
    const QString damaged = m_folder->dir() + QStringLiteral("/damaged.cll");
    QFile f(damaged);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a table");
    f.close();
    try {
        LoadTableFile(*viewer, damaged);
        QFAIL("a damaged file was shown");
    } catch (const QuelmarError& e) {
        QVERIFY(!e.message().isEmpty());
    }
    QVERIFY(viewer->GetFileName().isEmpty());
}

void TestMainWindow::doubleClickOpens_data()
{
    QTest::addColumn<int>("library");
    QTest::addColumn<int>("itemId");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("information");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("designed");
    QTest::newRow("form: designer") << int(Library::ZiLiao) << 5 << "" << "" << false << "K12 压实度 2.cll 0";
    QTest::newRow("form without file") << int(Library::ZiLiao) << 8 << "文件 %1 不存在。" << "" << false << "";
    QTest::newRow("archived form") << int(Library::GuiDang) << 3 << "" << "" << false << "K12 压实度 2.cll 0";
    QTest::newRow("template form") << int(Library::Moban) << 5 << "" << "" << false << "压实度检验 1.cll 0";
    QTest::newRow("document") << int(Library::ZiLiao) << 7 << "" << "" << true << "";
    QTest::newRow("folder: nothing") << int(Library::ZiLiao) << 3 << "" << "" << false << "";
}

void TestMainWindow::doubleClickOpens()
{
    QFETCH(int, library);
    QFETCH(int, itemId);
    QFETCH(QString, error);
    QFETCH(QString, information);
    QFETCH(bool, opened);
    QFETCH(QString, designed);
    const Library lib = Library(library);
    QStringList openedFiles;
    DocumentPane::setOpener([&](const QString& path) {
        openedFiles << QFileInfo(path).fileName();
        return true;
    });
    openWindow();
    if (lib == Library::Moban)
        m_main->miMobanClick();
    const QModelIndex index = node(lib, itemId);
    m_main->selectNode(lib, index);
    m_prompter.events.clear();
    viewer(lib).calls.clear();
    emit m_main->treeView(lib)->doubleClicked(index);
    // The designer got the node's file, name and FillMode; the viewer let go of the file before and shows it
    // again after.
    QCOMPARE(m_designed.join(QLatin1Char('|')), designed);
    if (!designed.isEmpty()) {
        const QString file = designed.section(QLatin1Char(' '), -2, -2);
        QCOMPARE(viewer(lib).calls.value(0), QStringLiteral("ResetContent"));
        QVERIFY2(viewer(lib).calls.contains(QStringLiteral("OpenFile %1 58206143").arg(file)),
                 qPrintable(viewer(lib).calls.join(QLatin1Char(','))));
        QCOMPARE(m_designerViewerCalls.value(lib == Library::Moban ? 0 : 1), QString());
        QCOMPARE(viewer(lib).GetFileName(), m_designedPaths.value(0));
    }
    if (error.isEmpty()) {
        QVERIFY(m_errors.isEmpty());
    } else {
        const QString path = QDir::toNativeSeparators(
            FileLayout::NodeFilePath(m_folder->paths().ZiLiaoFolderPath(1), 9, QStringLiteral(".cll")));
        QCOMPARE(m_errors, QStringList(error.arg(path)));
    }
    QCOMPARE(said(m_prompter, QStringLiteral("information")),
             information.isEmpty() ? QStringList() : QStringList(information));
    QCOMPARE(openedFiles, opened ? QStringList(QStringLiteral("4.TXT")) : QStringList());
    DocumentPane::setOpener({});
}

void TestMainWindow::editTableAction()
{
    QStringList openedFiles;
    DocumentPane::setOpener([&](const QString& path) {
        openedFiles << QFileInfo(path).fileName();
        return true;
    });
    openWindow();
    QAction* edit = m_main->actions(Library::ZiLiao).action(QStringLiteral("ZiLiaoEditTable"));
    QVERIFY(edit);
    QCOMPARE(edit->text(), QStringLiteral("编辑文件(&E)..."));
    // The recycle bin is refused.
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 1));
    m_prompter.events.clear();
    m_main->ZiLiaoEditTableExecute();
    QCOMPARE(said(m_prompter, QStringLiteral("warning")),
             QStringList(QStringLiteral("加收站不提供此功能！请选择其他节点。")));
    QVERIFY(m_designed.isEmpty());
    // A form goes to the designer with its FillMode; the viewer shows the file again afterwards.
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 6));
    edit->setEnabled(true);
    edit->trigger();
    QCOMPARE(m_designed, QStringList(QStringLiteral("K13 压实度 3.cll 0")));
    QCOMPARE(QFileInfo(viewer(Library::ZiLiao).GetFileName()).fileName(), QStringLiteral("3.cll"));
    // A document goes to its application.
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 7));
    m_main->ZiLiaoEditTableExecute();
    QCOMPARE(openedFiles, QStringList(QStringLiteral("4.TXT")));
    QCOMPARE(m_designed.size(), 1);
    // A form another workstation has open in its designer: shown read-only, with who holds it.
    {
        const QString key = QDir(m_folder->paths().AppDir).relativeFilePath(m_designedPaths.value(0));
        QString holder;
        // The other workstation has a connection of its own (on the server a lock is its holder connection's).
        TDataPoolDM workstation(ProgramDatabase(m_folder->paths()));
        const auto other = store::TableLock::acquire(workstation, key, QStringLiteral("张三"), &holder);
        QVERIFY(other);
        m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 6));
        m_prompter.events.clear();
        m_main->ZiLiaoEditTableExecute();
        QCOMPARE(m_designed.value(1), QStringLiteral("K13 压实度 3.cll 0 [表格正由 张三 编辑。]"));
        QCOMPARE(said(m_prompter, QStringLiteral("information")), QStringList(QStringLiteral("表格正由 张三 编辑。")));
        m_designed.removeLast();
    }
    // Once it is released, the form is the user's to edit; and his own lock went when his designer closed.
    m_main->ZiLiaoEditTableExecute();
    QCOMPARE(m_designed.value(1), QStringLiteral("K13 压实度 3.cll 0"));
    m_designed.removeLast();
    // A form whose file is gone.
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 8));
    try {
        m_main->ZiLiaoEditTableExecute();
        QFAIL("a missing file went to the designer");
    } catch (const QuelmarError& e) {
        QVERIFY(e.message().startsWith(QStringLiteral("文件 ")));
        QVERIFY(e.message().endsWith(QStringLiteral(" 不存在。")));
    }
    QCOMPARE(m_designed.size(), 1);
    DocumentPane::setOpener({});
}

void TestMainWindow::documentOpensInItsApplication()
{
    QStringList openedFiles;
    DocumentPane::setOpener([&](const QString& path) {
        openedFiles << path;
        return true;
    });
    openWindow();
    QAction* open = m_main->actions(Library::ZiLiao).own(QStringLiteral("OpenOleContainer"));
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 7));
    const QString path = m_main->contentPane(Library::ZiLiao).documents().linkedFile();
    open->trigger();
    QCOMPARE(openedFiles, QStringList(path));
    // No application for the file: the user is told that, not that the file was removed.
    DocumentPane::setOpener([&](const QString& p) {
        openedFiles << p;
        return false;
    });
    open->trigger();
    QCOMPARE(said(m_prompter, QStringLiteral("error")),
             QStringList(QStringLiteral("无法打开“%1”：系统中没有与该类文件关联的程序。").arg(QDir::toNativeSeparators(path))));
    m_prompter.events.clear();
    openedFiles.clear();
    // The linked file disappeared: the user is told, nothing else happens.
    QVERIFY(QFile::remove(path));
    open->trigger();
    QVERIFY(openedFiles.isEmpty());
    QCOMPARE(said(m_prompter, QStringLiteral("error")), QStringList(QStringLiteral("文件已经被移除！")));
    DocumentPane::setOpener({});
}

void TestMainWindow::missingReadme()
{
    openWindow();
    QVERIFY(QFile::remove(m_folder->paths().ReadmeFile));
    m_main->miReadme->trigger();
    QCOMPARE(said(m_prompter, QStringLiteral("error")), QStringList(QStringLiteral("找不到Readme.txt文件！")));
}

void TestMainWindow::shortcutsActWhereTheyBelong()
{
    openWindow();
    m_main->show();
    QApplication::setActiveWindow(m_main.get());
    if (!QTest::qWaitForWindowActive(m_main.get()))
        QSKIP("the window system does not activate windows");
    m_main->selectNode(Library::ZiLiao, node(Library::ZiLiao, 5));
    QTreeView* tree = m_main->treeView(Library::ZiLiao);
    tree->setFocus();
    m_prompter.events.clear();
    QTest::keyClick(tree, Qt::Key_Delete);
    // In the tree, Del is the node's delete (which asks first; the script answers no).
    QCOMPARE(m_prompter.events.size(), 1);
    QCOMPARE(m_prompter.events.first().caption, QStringLiteral("确认删除"));

    // In the viewer, Del belongs to the cells; saving works there.
    QWidget* cells = viewer(Library::ZiLiao).widget();
    cells->setFocusPolicy(Qt::StrongFocus);
    cells->setFocus();
    m_prompter.events.clear();
    QTest::keyClick(cells, Qt::Key_Delete);
    QVERIFY(m_prompter.events.isEmpty());
    viewer(Library::ZiLiao).modified = true;
    m_main->updateSaveActions();
    QTest::keyClick(cells, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(viewer(Library::ZiLiao).calls.contains(QStringLiteral("SaveFile 2.cll 0")));
}

void TestMainWindow::treeFocusSwitchesCaptionToolbarAndMenus()
{
    openWindow();
    m_main->show();
    QApplication::setActiveWindow(m_main.get());
    if (!QTest::qWaitForWindowActive(m_main.get()))
        QSKIP("the window system does not activate windows");
    m_main->selectNode(Library::GuiDang, node(Library::GuiDang, 3));
    m_main->treeView(Library::GuiDang)->setFocus();
    QCOMPARE(m_main->windowTitle(), QStringLiteral("归档管理 - Quelmar"));
    QVERIFY(m_main->actions(Library::GuiDang).toolBar()->isVisible());
    QVERIFY(!m_main->actions(Library::ZiLiao).toolBar()->isVisible());
    QVERIFY(m_main->operationsMenu(Library::GuiDang)->menuAction()->isVisible());
    QVERIFY(!m_main->operationsMenu(Library::ZiLiao)->menuAction()->isVisible());
    // The archive's selection event ran: its entries are those of an archived form.
    QVERIFY(m_main->actions(Library::GuiDang).own(QStringLiteral("Preview"))->isEnabled());

    m_main->treeView(Library::ZiLiao)->setFocus();
    QCOMPARE(m_main->windowTitle(), QStringLiteral("工程管理 - Quelmar"));
    QVERIFY(m_main->actions(Library::ZiLiao).toolBar()->isVisible());
    QVERIFY(m_main->operationsMenu(Library::ZiLiao)->menuAction()->isVisible());
    QVERIFY(!m_main->operationsMenu(Library::GuiDang)->menuAction()->isVisible());

    // Hiding the archive panel unchecks "归档视图(&G)" and gives the project tree the focus.
    m_main->treeView(Library::GuiDang)->setFocus();
    QToolButton* hide = nullptr;
    for (QToolButton* b : m_main->findChildren<QToolButton*>())
        if (b->text() == QStringLiteral("隐藏") && m_main->treeView(Library::GuiDang)->parentWidget()->isAncestorOf(b))
            hide = b;
    QVERIFY(hide);
    hide->click();
    QVERIFY(!m_main->isPanelShown(Library::GuiDang));
    QVERIFY(!m_main->actions(Library::ZiLiao).own(QStringLiteral("DisplayGuiDangTree"))->isChecked());
    QCOMPARE(QApplication::focusWidget(), m_main->treeView(Library::ZiLiao));
    m_main->actions(Library::ZiLiao).own(QStringLiteral("DisplayGuiDangTree"))->trigger();
    QVERIFY(m_main->isPanelShown(Library::GuiDang));
}

void TestMainWindow::unknownKindIsRefused_data()
{
    QTest::addColumn<int>("library");
    QTest::addColumn<QString>("message");
    QTest::newRow("project") << int(Library::ZiLiao) << "节点类型不正确！";
    QTest::newRow("archive") << int(Library::GuiDang) << "节点类型的值应在 [0,1,2,3] 之中。";
}

void TestMainWindow::unknownKindIsRefused()
{
    QFETCH(int, library);
    QFETCH(QString, message);
    const Library lib = Library(library);
    m_folder->addNode(lib, nodeRec(8, 40, QStringLiteral("来历不明"), lib == Library::ZiLiao ? 2 : 1),
                      QStringLiteral("Admin"), 5);
    openWindow();
    m_main->selectNode(lib, node(lib, 40));
    QCOMPARE(m_errors, QStringList(message));
    QVERIFY(!m_main->actions(lib).own(QStringLiteral("Rename"))->isEnabled());
    QVERIFY(!m_main->actions(lib).newMenu()->menuAction()->isVisible());
    QCOMPARE(m_main->contentPane(lib).currentPage(), ContentPane::Page::NodeInfo);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
