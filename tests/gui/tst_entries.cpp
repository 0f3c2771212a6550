// The entries the main window offers for a selected node, for every kind of the three libraries: which New, Import
// and Export entries the drop-downs and submenus show, which is the default, the toolbar buttons' captions, and
// which node actions are enabled. The expected rows are written out here independently of the window's tables.
#include "app/LibraryActions.h"
#include "core/QuelmarError.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <QtTest>

Q_DECLARE_METATYPE(Library)

namespace {

// Names of the visible entries of a menu, in menu order.
QStringList visibleEntries(QMenu* menu)
{
    QStringList names;
    if (!menu)
        return names;
    for (QAction* a : menu->actions())
        if (a->isVisible())
            names << a->objectName();
    return names;
}

QStringList split(const QString& s)
{
    return s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool buttonShown(QToolBar* bar, QToolButton* button)
{
    for (QAction* a : bar->actions())
        if (bar->widgetForAction(a) == button)
            return a->isVisible();
    return false;
}

}  // namespace

class TestEntries : public QObject {
    Q_OBJECT

private slots:
    void entriesByKind_data();
    void entriesByKind();
    void sameMenuInEveryPlace();
    void buttonRunsDefaultEntry();
    void kindOutsideTableSwitchesEverythingOff();
};

void TestEntries::entriesByKind_data()
{
    QTest::addColumn<Library>("library");
    QTest::addColumn<int>("typeId");
    QTest::addColumn<QString>("news");       // visible New entries, default first
    QTest::addColumn<QString>("newButton");
    QTest::addColumn<QString>("imports");
    QTest::addColumn<QString>("importButton");
    QTest::addColumn<QString>("exports");
    QTest::addColumn<QString>("exportButton");
    // Enabled node actions: E edit, R rename, D delete, P print, M move, V preview, Q quick add, S save as style.
    QTest::addColumn<QString>("enabled");

    const Library M = Library::Moban, Z = Library::ZiLiao, G = Library::GuiDang;
    QTest::newRow("template root") << M << 0 << "MobanNewTypeID9" << "新建模板" << "MobanImportTypeID9" << "导入模板"
                                   << "" << "" << "";
    QTest::newRow("template bin") << M << 2 << "" << "" << "" << "" << "" << "" << "";
    QTest::newRow("template") << M << 9 << "MobanNewTypeID10 MobanNewTypeID3" << "新建通用部分"
                              << "MobanImportTypeID3" << "导入分部" << "MobanExportTypeID9" << "导出模板" << "RDPM";
    QTest::newRow("template common part")
        << M << 10 << "MobanNewTypeID4 MobanNewTypeID11" << "新建资料分类"
        << "MobanImportTypeID4 MobanImportTypeID11 MobanImportTypeID16" << "导入资料分类" << "MobanExportTypeID3"
        << "导出分部" << "RDPM";
    QTest::newRow("template division") << M << 3 << "MobanNewTypeID4" << "新建资料分类"
                                       << "MobanImportTypeID4 MobanImportTypeID16" << "导入资料分类"
                                       << "MobanExportTypeID3" << "导出分部" << "RDPM";
    QTest::newRow("template data category")
        << M << 4 << "MobanNewTypeID4 MobanNewTypeID11 MobanNewTypeID5" << "新建资料分类"
        << "MobanImportTypeID4 MobanImportTypeID11 MobanImportTypeID5 MobanImportTypeID16" << "导入资料分类"
        << "MobanExportTypeID4" << "导出资料分类" << "RDPM";
    QTest::newRow("template sub-item") << M << 5 << "" << "" << "" << "" << "MobanExportTypeID5" << "导出分项"
                                       << "ERDPMV";
    QTest::newRow("template form style") << M << 11 << "" << "" << "" << "" << "MobanExportTypeID11"
                                         << "导出通用表格样式" << "ERDPMV";
    QTest::newRow("template external file") << M << 16 << "" << "" << "" << "" << "MobanExportTypeID16"
                                            << "导出外部文件" << "ERDPM";

    QTest::newRow("project root") << Z << 0 << "ZiLiaoNewTypeID1" << "新建工程" << "ZiLiaoImportTypeID1" << "导入工程"
                                  << "" << "" << "";
    QTest::newRow("project bin") << Z << 2 << "" << "" << "" << "" << "" << "" << "";
    QTest::newRow("project") << Z << 1 << "ZiLiaoNewTypeID10 ZiLiaoNewTypeID3" << "新建通用部分"
                             << "ZiLiaoImportTypeID3" << "导入分部" << "ZiLiaoExportTypeID1" << "导出工程" << "RDPM";
    QTest::newRow("project common part")
        << Z << 10 << "ZiLiaoNewTypeID4 ZiLiaoNewTypeID11" << "新建资料分类"
        << "ZiLiaoImportTypeID4 ZiLiaoImportTypeID11 ZiLiaoImportTypeID16" << "导入资料分类" << "ZiLiaoExportTypeID3"
        << "导出分部" << "RDPM";
    QTest::newRow("project division") << Z << 3 << "ZiLiaoNewTypeID4" << "新建资料分类"
                                      << "ZiLiaoImportTypeID4 ZiLiaoImportTypeID16" << "导入资料分类"
                                      << "ZiLiaoExportTypeID3" << "导出分部" << "RDPM";
    QTest::newRow("project data category")
        << Z << 4 << "ZiLiaoNewTypeID4 ZiLiaoNewTypeID11 ZiLiaoNewTypeID5" << "新建资料分类"
        << "ZiLiaoImportTypeID4 ZiLiaoImportTypeID11 ZiLiaoImportTypeID5 ZiLiaoImportTypeID16" << "导入资料分类"
        << "ZiLiaoExportTypeID4" << "导出资料分类" << "RDPM";
    QTest::newRow("project sub-item") << Z << 5 << "ZiLiaoNewTypeID6" << "新建检验表格" << "ZiLiaoImportTypeID6"
                                      << "导入检验批表格" << "ZiLiaoExportTypeID5" << "导出分项" << "ERDPMV";
    QTest::newRow("project form style") << Z << 11 << "ZiLiaoNewTypeID7" << "新建通用表格" << "ZiLiaoImportTypeID7"
                                        << "导入通用表格" << "ZiLiaoExportTypeID11" << "导出表格样式" << "ERDPMV";
    QTest::newRow("inspection form") << Z << 6 << "" << "" << "" << "" << "ZiLiaoExportTypeID6" << "导出检验批表格"
                                     << "ERDPMVQS";
    QTest::newRow("general form") << Z << 7 << "" << "" << "" << "" << "ZiLiaoExportTypeID7" << "导出通用表格"
                                  << "ERDPMVQS";
    QTest::newRow("project external file") << Z << 16 << "" << "" << "" << "" << "ZiLiaoExportTypeID16"
                                           << "导出外部文件" << "ERDPM";

    QTest::newRow("archive root") << G << 0 << "GuiDangNewTypeID1" << "新建档案柜" << "" << "" << "" << "" << "";
    QTest::newRow("cabinet") << G << 1 << "GuiDangNewTypeID2" << "新建分类" << "" << "" << "" << "" << "RDPM";
    QTest::newRow("category") << G << 2 << "GuiDangNewTypeID2" << "新建分类" << "" << "" << "" << "" << "RDPM";
    QTest::newRow("archived form") << G << 3 << "" << "" << "" << "" << "" << "" << "ERDPMV";
    QTest::newRow("archive external file") << G << 16 << "" << "" << "" << "" << "" << "" << "ERDPM";
}

void TestEntries::entriesByKind()
{
    QFETCH(Library, library);
    QFETCH(int, typeId);
    QFETCH(QString, news);
    QFETCH(QString, newButton);
    QFETCH(QString, imports);
    QFETCH(QString, importButton);
    QFETCH(QString, exports);
    QFETCH(QString, exportButton);
    QFETCH(QString, enabled);

    QWidget window;
    LibraryActions acts(library, &window);
    const KindEntries* row = findEntries(library, typeId);
    QVERIFY(row);
    acts.apply(row);

    QCOMPARE(visibleEntries(acts.newMenu()), split(news));
    QCOMPARE(acts.newMenu()->menuAction()->isVisible(), !news.isEmpty());
    QCOMPARE(buttonShown(acts.toolBar(), acts.newButton()), !news.isEmpty());
    if (!news.isEmpty()) {
        QCOMPARE(acts.newButton()->text(), newButton);
        QCOMPARE(acts.newMenu()->defaultAction()->objectName(), split(news).first());
    }
    if (library != Library::GuiDang) {
        QCOMPARE(visibleEntries(acts.importMenu()), split(imports));
        QCOMPARE(visibleEntries(acts.exportMenu()), split(exports));
        QCOMPARE(acts.importMenu()->menuAction()->isVisible(), !imports.isEmpty());
        QCOMPARE(acts.exportMenu()->menuAction()->isVisible(), !exports.isEmpty());
        QCOMPARE(buttonShown(acts.toolBar(), acts.importButton()), !imports.isEmpty());
        QCOMPARE(buttonShown(acts.toolBar(), acts.exportButton()), !exports.isEmpty());
        if (!imports.isEmpty()) {
            QCOMPARE(acts.importButton()->text(), importButton);
            QCOMPARE(acts.importMenu()->defaultAction()->objectName(), split(imports).first());
        }
        if (!exports.isEmpty())
            QCOMPARE(acts.exportButton()->text(), exportButton);
    } else {
        QVERIFY(imports.isEmpty() && exports.isEmpty());
        QVERIFY(!acts.importMenu() && !acts.exportMenu());
    }

    const struct {
        QChar letter;
        const char* suffix;
    } flags[] = {{'E', "EditTable"},       {'R', "Rename"},        {'D', "DeleteNode"}, {'P', "PrintWithoutDlg"},
                 {'P', "PrintWithDlg"},    {'M', "MoveUp"},        {'M', "MoveDown"},   {'V', "Preview"},
                 {'Q', "QuicklyNew"},      {'S', "SaveAsTemplate"}};
    for (const auto& f : flags) {
        QAction* a = acts.own(QString::fromLatin1(f.suffix));
        if (!a) {
            QVERIFY2(!enabled.contains(f.letter), f.suffix);
            continue;
        }
        QVERIFY2(a->isEnabled() == enabled.contains(f.letter), f.suffix);
        // A disabled action shows its greyed picture.
        QVERIFY(!a->icon().pixmap(16, QIcon::Disabled).isNull());
    }
    // The overview belongs to project nodes only.
    if (QAction* overview = acts.own(QStringLiteral("ProjectMsg")))
        QCOMPARE(overview->isEnabled(), typeId == 1);
}

void TestEntries::sameMenuInEveryPlace()
{
    for (Library library : {Library::Moban, Library::ZiLiao, Library::GuiDang}) {
        QWidget window;
        LibraryActions acts(library, &window);
        // The drop-down of the toolbar button and the submenus of the tree menu and the operations menu are one
        // menu object, so they can never disagree.
        QCOMPARE(acts.newButton()->menu(), acts.newMenu());
        QVERIFY(acts.treeMenu()->actions().contains(acts.newMenu()->menuAction()));
        QVERIFY(acts.operationsMenu()->actions().contains(acts.newMenu()->menuAction()));
        if (acts.importMenu()) {
            QCOMPARE(acts.importButton()->menu(), acts.importMenu());
            QCOMPARE(acts.exportButton()->menu(), acts.exportMenu());
            QVERIFY(acts.treeMenu()->actions().contains(acts.importMenu()->menuAction()));
            QVERIFY(acts.operationsMenu()->actions().contains(acts.exportMenu()->menuAction()));
        }
        if (acts.recycleMenu()) {
            QCOMPARE(acts.recycleMenu()->actions().size(), 1);
            QCOMPARE(acts.recycleMenu()->actions().first()->text(), QStringLiteral("清空回收站(&R)"));
        }
    }
}

void TestEntries::buttonRunsDefaultEntry()
{
    QWidget window;
    LibraryActions acts(Library::ZiLiao, &window);
    acts.apply(findEntries(Library::ZiLiao, 4));
    QSignalSpy triggered(acts.own(QStringLiteral("NewTypeID4")), &QAction::triggered);
    QSignalSpy other(acts.own(QStringLiteral("NewTypeID5")), &QAction::triggered);
    acts.newButton()->click();
    QCOMPARE(triggered.size(), 1);
    QCOMPARE(other.size(), 0);

    // A drop-down without a default entry refuses.
    acts.newMenu()->setDefaultAction(nullptr);
    try {
        LibraryActions::runDefault(acts.newMenu());
        QFAIL("a menu without default ran something");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("没有指定的默认项。"));
    }
}

void TestEntries::kindOutsideTableSwitchesEverythingOff()
{
    QVERIFY(!findEntries(Library::GuiDang, 5));
    QVERIFY(!findEntries(Library::Moban, 1));
    QWidget window;
    LibraryActions acts(Library::Moban, &window);
    acts.apply(findEntries(Library::Moban, 4));
    acts.apply(nullptr);
    QVERIFY(visibleEntries(acts.newMenu()).isEmpty());
    QVERIFY(!acts.own(QStringLiteral("Rename"))->isEnabled());
    QVERIFY(!acts.own(QStringLiteral("DeleteNode"))->isEnabled());
}

QTEST_MAIN(TestEntries)
#include "tst_entries.moc"
