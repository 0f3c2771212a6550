// Printing: what the print actions do by library and node kind, the batch print tree (modes, icons, "类型错误！",
// ticks, the file list), and batch runs into one PDF (copies collated, order, page settings per form, stop, a file
// that cannot be opened, the print dialog only before the first file).
#include "core/ScriptedPrompter.h"
#include "printing/BatchPrint.h"
#include "printing/BatchPrintRun.h"
#include "printing/PrintActions.h"
#include "store/FileLayout.h"
#include "support/PrintSupport.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(PrintStep::Kind)
Q_DECLARE_METATYPE(BatchPrintMode)
Q_DECLARE_METATYPE(PrintCommand)

namespace {

NodeRecord rec(int typeId, int itemId, const QString& name, int iDir = 0, int file = 0,
               const QString& ext = QString())
{
    NodeRecord r;
    r.TypeID = typeId;
    r.ItemID = itemId;
    r.Name = name;
    r.iDir = iDir;
    r.File_Name = file;
    r.Ext = ext;
    return r;
}

// A viewer that records what the print actions ask of it.
class RecordingViewer final : public PrintViewer {
public:
    QString GetFileName() const override { return file; }
    int GetCurSheet() const override { return 2; }
    int PrintSheet(int withDialog, int sheet) override
    {
        calls << QStringLiteral("PrintSheet %1 %2").arg(withDialog).arg(sheet);
        return 1;
    }
    void PrintPreview(int mode, int sheet) override { calls << QStringLiteral("PrintPreview %1 %2").arg(mode).arg(sheet); }
    void PrintPreviewEx(int mode, int sheet, bool modal) override
    {
        calls << QStringLiteral("PrintPreviewEx %1 %2 %3").arg(mode).arg(sheet).arg(modal);
    }
    QString file;
    QStringList calls;
};

// An output that records the run and keeps no pages.
class RecordingOutput final : public BatchPrintOutput {
public:
    bool begin(const cell::Workbook&, int, int& copies) override
    {
        calls << QStringLiteral("begin %1").arg(copies);
        if (dialogCopies > 0)
            copies = dialogCopies;
        return !cancelDialog;
    }
    int add(const cell::Workbook& wb, int, int copies) override
    {
        const cell::Cell* a1 = wb.sheets.value(0).cellAt(1, 1);
        const QString text = a1 && std::holds_alternative<QString>(a1->value) ? std::get<QString>(a1->value) : QString();
        calls << QStringLiteral("add %1 x%2").arg(text).arg(copies);
        if (onAdd)
            onAdd();
        return copies;
    }
    void finish() override { calls << QStringLiteral("finish"); }
    void fail() noexcept override { calls << QStringLiteral("fail"); }
    QString failureNote(int printed) const override { return QStringLiteral("已打印 %1 个表格文件。").arg(printed); }

    QStringList calls;
    int dialogCopies = 0;
    bool cancelDialog = false;
    std::function<void()> onAdd;
};

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT

private slots:
    void printActionTable_data();
    void printActionTable();
    void printStepNeedsTheNodesOwnFile_data();
    void printStepNeedsTheNodesOwnFile();

    void modeTexts();
    void iconTable_data();
    void iconTable();
    void externalDocumentKinds();
    void buildCopiesSubtreeWithPathsAndTicks();
    void buildRefusesUnlistedKind();
    void tickPropagationAndFileList();
    void cliOrderExcludesSubtrees();

    void copiesCollatedInOrder();
    void eachFormKeepsItsPageSettings();
    void stopAfterCurrentFile();
    void failingFileStopsTheRun();
    void emptyListAndCancelledDialog();

private:
    QString form(const QString& name, const QStringList& lines, int rows = 20, const QString& last = QString(),
                 const cell::PageSetup& page = cell::PageSetup());
    QTemporaryDir m_dir;
};

// ---- print actions ---------------------------------------------------------------------------------------------

void TestPrinting::printActionTable_data()
{
    QTest::addColumn<int>("lib");
    QTest::addColumn<int>("typeId");
    QTest::addColumn<bool>("topLevel");
    QTest::addColumn<PrintCommand>("command");
    QTest::addColumn<PrintStep::Kind>("kind");
    QTest::addColumn<int>("withDialog");
    QTest::addColumn<BatchPrintMode>("mode");

    using K = PrintStep::Kind;
    const auto M = int(Library::Moban), Z = int(Library::ZiLiao), G = int(Library::GuiDang);
    const auto now = PrintCommand::PrintWithoutDlg, dlg = PrintCommand::PrintWithDlg, pv = PrintCommand::Preview;
    const auto zm = BatchPrintMode::ZMode, gm = BatchPrintMode::GMode, mm = BatchPrintMode::MMode;
    QTest::newRow("template sub-item at once") << M << 5 << false << now << K::PrintSheet << 0 << zm;
    QTest::newRow("template style with dialog") << M << 11 << false << dlg << K::PrintSheet << 1 << zm;
    QTest::newRow("template folder at once") << M << 4 << false << now << K::BatchPrint << 0 << mm;
    QTest::newRow("template template with dialog") << M << 9 << false << dlg << K::BatchPrint << 0 << mm;
    QTest::newRow("template document") << M << 16 << false << now << K::BatchPrint << 0 << mm;
    QTest::newRow("project top level") << Z << 0 << true << now << K::Nothing << 0 << zm;
    QTest::newRow("project top level with dialog") << Z << 0 << true << dlg << K::Nothing << 0 << zm;
    QTest::newRow("project form at once shows dialog") << Z << 6 << false << now << K::PrintSheet << 1 << zm;
    QTest::newRow("project general form with dialog") << Z << 7 << false << dlg << K::PrintSheet << 1 << zm;
    QTest::newRow("project sub-item") << Z << 5 << false << now << K::BatchPrint << 0 << zm;
    QTest::newRow("project project") << Z << 1 << false << dlg << K::BatchPrint << 0 << zm;
    QTest::newRow("project division") << Z << 3 << false << now << K::BatchPrint << 0 << zm;
    QTest::newRow("archive root") << G << 0 << true << dlg << K::Nothing << 0 << zm;
    QTest::newRow("archive form at once") << G << 3 << false << now << K::PrintSheet << 0 << zm;
    QTest::newRow("archive form with dialog") << G << 3 << false << dlg << K::PrintSheet << 1 << zm;
    QTest::newRow("archive cabinet") << G << 1 << false << now << K::BatchPrint << 0 << gm;
    QTest::newRow("archive category") << G << 2 << false << dlg << K::BatchPrint << 0 << gm;
    QTest::newRow("template bin preview") << M << 2 << false << pv << K::RecycleBinWarning << 0 << zm;
    QTest::newRow("project bin preview") << Z << 2 << false << pv << K::RecycleBinWarning << 0 << zm;
    QTest::newRow("template preview") << M << 5 << false << pv << K::Preview << 0 << zm;
    QTest::newRow("project preview") << Z << 6 << false << pv << K::Preview << 0 << zm;
    QTest::newRow("archive preview") << G << 3 << false << pv << K::PreviewEx << 0 << zm;
}

void TestPrinting::printActionTable()
{
    QFETCH(int, lib);
    QFETCH(int, typeId);
    QFETCH(bool, topLevel);
    QFETCH(PrintCommand, command);
    QFETCH(PrintStep::Kind, kind);
    QFETCH(int, withDialog);
    QFETCH(BatchPrintMode, mode);
    const PrintStep step = PrintStepFor(Library(lib), rec(typeId, 7, QStringLiteral("x")), topLevel, command);
    QCOMPARE(step.kind, kind);
    if (kind == PrintStep::Kind::PrintSheet)
        QCOMPARE(step.withDialog, withDialog);
    if (kind == PrintStep::Kind::BatchPrint)
        QCOMPARE(step.mode, mode);
}

void TestPrinting::printStepNeedsTheNodesOwnFile_data()
{
    QTest::addColumn<PrintStep::Kind>("kind");
    QTest::addColumn<int>("withDialog");
    QTest::addColumn<QString>("shown");   // what the viewer holds: "", "node", "other"
    QTest::addColumn<QString>("calls");

    using K = PrintStep::Kind;
    QTest::newRow("print, empty viewer") << K::PrintSheet << 0 << "" << "";
    QTest::newRow("print, another node's table") << K::PrintSheet << 1 << "other" << "";
    QTest::newRow("print at once") << K::PrintSheet << 0 << "node" << "PrintSheet 0 2";
    QTest::newRow("print with dialog") << K::PrintSheet << 1 << "node" << "PrintSheet 1 2";
    QTest::newRow("preview, empty viewer") << K::Preview << 0 << "" << "";
    QTest::newRow("preview") << K::Preview << 0 << "node" << "PrintPreview 1 2";
    QTest::newRow("archive preview") << K::PreviewEx << 0 << "node" << "PrintPreviewEx 0 2 1";
    QTest::newRow("nothing") << K::Nothing << 0 << "node" << "";
}

void TestPrinting::printStepNeedsTheNodesOwnFile()
{
    QFETCH(PrintStep::Kind, kind);
    QFETCH(int, withDialog);
    QFETCH(QString, shown);
    QFETCH(QString, calls);
    const QString nodeFile = m_dir.filePath(QStringLiteral("ProTables/1/3.cll"));
    RecordingViewer viewer;
    viewer.file = shown == QLatin1String("node")    ? m_dir.filePath(QStringLiteral("ProTables/1/../1/3.cll"))
                : shown == QLatin1String("other") ? m_dir.filePath(QStringLiteral("ProTables/1/4.cll"))
                                                  : QString();
    ScriptedPrompter prompter;
    PrintStep step;
    step.kind = kind;
    step.withDialog = withDialog;
    bool batch = false;
    RunPrintStep(step, viewer, nodeFile, prompter, [&](BatchPrintMode) { batch = true; });
    QCOMPARE(viewer.calls.join(QLatin1Char(';')), calls);
    QVERIFY(!batch);
    QVERIFY(prompter.events.isEmpty());
}

// ---- the batch print tree ----------------------------------------------------------------------------------------

void TestPrinting::modeTexts()
{
    QCOMPARE(BatchPrintDescription(BatchPrintMode::ZMode), QStringLiteral("说明: 资料库中只能打印最终表格，样式不算。"));
    QCOMPARE(BatchPrintDescription(BatchPrintMode::GMode), QStringLiteral("说明: 归档库中只能打印最终表格。"));
    QCOMPARE(BatchPrintDescription(BatchPrintMode::MMode), QStringLiteral("说明: 模板库中只能打印样式表格。"));
    QCOMPARE(BatchPrintPanelLabel(BatchPrintMode::ZMode), QStringLiteral("最终表格"));
    QCOMPARE(BatchPrintPanelLabel(BatchPrintMode::GMode), QStringLiteral("最终表格"));
    QCOMPARE(BatchPrintPanelLabel(BatchPrintMode::MMode), QStringLiteral("样式表格"));
    QCOMPARE(BatchPrintModeFor(Library::ZiLiao), BatchPrintMode::ZMode);
    QCOMPARE(BatchPrintModeFor(Library::GuiDang), BatchPrintMode::GMode);
    QCOMPARE(BatchPrintModeFor(Library::Moban), BatchPrintMode::MMode);
    QCOMPARE(BatchPrintCountText(12), QStringLiteral("打印的表格文件数量: 12 个"));
}

void TestPrinting::iconTable_data()
{
    QTest::addColumn<BatchPrintMode>("mode");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");   // -1 unchanged, -2 "类型错误！"

    struct Row {
        int kind;
        int z, g, m;
    };
    const Row rows[] = {
        {0, 4, 4, 4},   {1, 5, 7, -2},   {2, -1, 1, -2},  {3, 1, 6, 1},     {10, 1, -2, 1},   {4, 2, -2, 2},
        {5, 3, -2, 3},  {11, 3, -2, 3},  {6, 6, -2, -2},  {7, 6, -2, -2},   {9, -2, -2, 0},   {8, -2, -2, -2},
        {160, 15, 15, 15}, {161, 11, 11, 11}, {162, 12, 12, 12}, {163, 13, 13, 13}, {164, 10, 10, 10},
        {165, 14, 14, 14},
    };
    for (const Row& r : rows) {
        QTest::addRow("Z %d", r.kind) << BatchPrintMode::ZMode << r.kind << r.z;
        QTest::addRow("G %d", r.kind) << BatchPrintMode::GMode << r.kind << r.g;
        QTest::addRow("M %d", r.kind) << BatchPrintMode::MMode << r.kind << r.m;
    }
}

void TestPrinting::iconTable()
{
    QFETCH(BatchPrintMode, mode);
    QFETCH(int, kind);
    QFETCH(int, icon);
    if (icon == -2)
        QCOMPARE(failureMessage([&] { BatchPrintIcon(mode, kind); }), QStringLiteral("类型错误！"));
    else
        QCOMPARE(BatchPrintIcon(mode, kind), icon);
}

void TestPrinting::externalDocumentKinds()
{
    const QStringList exts{QStringLiteral(".doc"), QStringLiteral(".XLS"), QStringLiteral(".wps"),
                           QStringLiteral(".txt"), QStringLiteral(".Mht"), QStringLiteral(".pdf"), QString()};
    const QList<int> kinds{160, 161, 162, 163, 164, 165, 165};
    for (int i = 0; i < exts.size(); ++i)
        QCOMPARE(PrintedFileKind(rec(16, 1, QStringLiteral("d"), 0, 1, exts[i])), kinds[i]);
    QCOMPARE(PrintedFileKind(rec(6, 1, QStringLiteral("f"), 0, 1, QStringLiteral(".cll"))), 6);
}

void TestPrinting::buildCopiesSubtreeWithPathsAndTicks()
{
    const AppPaths paths = AppPaths::forDir(m_dir.path());
    struct Case {
        Library library;
        NodeRecord folder, form, style, doc;
        QString folderPath;
    };
    const QList<Case> cases{
        {Library::ZiLiao, rec(3, 10, QStringLiteral("路基")), rec(6, 11, QStringLiteral("检验"), 4, 2, QStringLiteral(".cll")),
         rec(5, 12, QStringLiteral("分项"), 4, 1, QStringLiteral(".cll")), rec(16, 13, QStringLiteral("说明"), 4, 3, QStringLiteral(".doc")),
         paths.ZiLiaoFolderPath(4)},
        {Library::GuiDang, rec(2, 10, QStringLiteral("分类")), rec(3, 11, QStringLiteral("归档表"), 4, 2, QStringLiteral(".cll")),
         rec(2, 12, QStringLiteral("子类")), rec(16, 13, QStringLiteral("说明"), 4, 3, QStringLiteral(".txt")),
         paths.ZiLiaoFolderPath(4)},
        {Library::Moban, rec(4, 10, QStringLiteral("资料分类")), rec(5, 11, QStringLiteral("分项"), 4, 2, QStringLiteral(".cll")),
         rec(11, 12, QStringLiteral("样式"), 4, 1, QStringLiteral(".cll")), rec(16, 13, QStringLiteral("说明"), 4, 3, QStringLiteral(".mht")),
         paths.MobanFolderPath(4)},
    };
    for (const Case& c : cases) {
        LibraryTreeModel source(c.library);
        const QModelIndex top = source.addNode({}, c.folder);
        source.addNode(top, c.form);
        source.addNode(top, c.style);
        source.addNode(top, c.doc);
        BatchPrintTree tree(BatchPrintModeFor(c.library), paths);
        tree.build(source, top);
        QCOMPARE(tree.rowCount(), 1);
        QCOMPARE(tree.rowCount(tree.topNode()), 3);
        const QModelIndex form = tree.indexOfItem(11), style = tree.indexOfItem(12), doc = tree.indexOfItem(13);
        QCOMPARE(tree.printedFile(form).path, FileLayout::NodeFilePath(c.folderPath, 2, QStringLiteral(".cll")));
        QCOMPARE(tree.printedFile(form).kind, c.form.TypeID);
        // The styles of the project library, archive categories and documents carry no printable file.
        const bool styleFile = c.library == Library::Moban;
        QCOMPARE(tree.printedFile(style).path.isEmpty(), !styleFile);
        QVERIFY(tree.printedFile(doc).path.isEmpty());
        QCOMPARE(tree.printedFile(doc).kind, PrintedFileKind(c.doc));
        tree.forEachPreOrder([&](const QModelIndex& n, int) {
            QVERIFY(tree.isChecked(n));
            QCOMPARE(n.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
            QCOMPARE(n.data(LibraryTreeModel::IconIndexRole).toInt(),
                     BatchPrintIcon(tree.mode(), tree.printedFile(n).kind));
        });
        QCOMPARE(tree.fileCount(), styleFile ? 2 : 1);
    }
}

void TestPrinting::buildRefusesUnlistedKind()
{
    // A template node under the project library's mode, and a form kind in the template mode.
    for (const auto& [mode, kind] : {std::pair{BatchPrintMode::ZMode, 9}, std::pair{BatchPrintMode::MMode, 6},
                                     std::pair{BatchPrintMode::GMode, 4}}) {
        LibraryTreeModel source(BatchPrintLibrary(mode));
        const QModelIndex top = source.addNode({}, rec(0, 1, QStringLiteral("根")));
        source.addNode(top, rec(kind, 2, QStringLiteral("子")));
        BatchPrintTree tree(mode, AppPaths::forDir(m_dir.path()));
        QCOMPARE(failureMessage([&] { tree.build(source, top); }), QStringLiteral("类型错误！"));
        QCOMPARE(tree.rowCount(), 0);
    }
}

void TestPrinting::tickPropagationAndFileList()
{
    // 工程 ─ 路基 ─ 土方 ─ f1, f2
    //              └ f3
    //      └ 路面 ─ f4
    //      └ doc
    LibraryTreeModel source(Library::ZiLiao);
    const QModelIndex project = source.addNode({}, rec(1, 1, QStringLiteral("工程"), 1));
    const QModelIndex roadbed = source.addNode(project, rec(3, 2, QStringLiteral("路基"), 1));
    const QModelIndex earth = source.addNode(roadbed, rec(5, 3, QStringLiteral("土方"), 1, 1, QStringLiteral(".cll")));
    source.addNode(earth, rec(6, 4, QStringLiteral("f1"), 1, 2, QStringLiteral(".cll")));
    source.addNode(earth, rec(6, 5, QStringLiteral("f2"), 1, 3, QStringLiteral(".cll")));
    source.addNode(roadbed, rec(7, 6, QStringLiteral("f3"), 1, 4, QStringLiteral(".cll")));
    const QModelIndex surface = source.addNode(project, rec(3, 7, QStringLiteral("路面"), 1));
    source.addNode(surface, rec(6, 8, QStringLiteral("f4"), 1, 5, QStringLiteral(".cll")));
    source.addNode(project, rec(16, 9, QStringLiteral("doc"), 1, 6, QStringLiteral(".doc")));

    BatchPrintTree tree(BatchPrintMode::ZMode, AppPaths::forDir(m_dir.path()));
    tree.build(source, project);
    QSignalSpy changes(&tree, &BatchPrintTree::checksChanged);
    const auto names = [&] {
        QStringList n;
        for (const BatchPrintItem& i : tree.items())
            n << i.name;
        return n.join(QLatin1Char(','));
    };
    const auto checked = [&](int id) { return tree.isChecked(tree.indexOfItem(id)); };
    QCOMPARE(names(), QStringLiteral("f1,f2,f3,f4"));
    QCOMPARE(tree.files().first(), FileLayout::NodeFilePath(AppPaths::forDir(m_dir.path()).ZiLiaoFolderPath(1), 2,
                                                            QStringLiteral(".cll")));

    // Unticking a folder unticks everything below it.
    QVERIFY(tree.setData(tree.indexOfItem(2), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(names(), QStringLiteral("f4"));
    QVERIFY(!checked(3) && !checked(4) && !checked(6) && checked(1));
    QCOMPARE(changes.count(), 1);

    // Ticking one file below the unticked folder ticks its ancestors, not its siblings.
    tree.setChecked(tree.indexOfItem(5), true);
    QCOMPARE(names(), QStringLiteral("f2,f4"));
    QVERIFY(checked(3) && checked(2) && checked(1) && !checked(4) && !checked(6));

    // Ticking the folder again gives its whole subtree the tick.
    tree.setChecked(tree.indexOfItem(2), true);
    QCOMPARE(names(), QStringLiteral("f1,f2,f3,f4"));

    // Unticking the top leaves nothing to print.
    tree.setChecked(tree.topNode(), false);
    QCOMPARE(tree.fileCount(), 0);
    QCOMPARE(BatchPrintCountText(tree.fileCount()), QStringLiteral("打印的表格文件数量: 0 个"));
}

void TestPrinting::cliOrderExcludesSubtrees()
{
    LibraryTreeModel source(Library::Moban);
    const QModelIndex t = source.addNode({}, rec(9, 1, QStringLiteral("模板"), 1));
    const QModelIndex a = source.addNode(t, rec(3, 2, QStringLiteral("A"), 1));
    source.addNode(a, rec(5, 3, QStringLiteral("a1"), 1, 1, QStringLiteral(".cll")));
    const QModelIndex b = source.addNode(t, rec(4, 4, QStringLiteral("B"), 1));
    source.addNode(b, rec(11, 5, QStringLiteral("b1"), 1, 2, QStringLiteral(".cll")));
    source.addNode(b, rec(5, 6, QStringLiteral("b2"), 1, 3, QStringLiteral(".cll")));
    const AppPaths paths = AppPaths::forDir(m_dir.path());
    const auto names = [](const QList<BatchPrintItem>& items) {
        QStringList n;
        for (const BatchPrintItem& i : items)
            n << i.name;
        return n.join(QLatin1Char(','));
    };
    QCOMPARE(names(BatchPrintItemsFor(source, t, paths, {})), QStringLiteral("a1,b1,b2"));
    QCOMPARE(names(BatchPrintItemsFor(source, t, paths, {2, 6})), QStringLiteral("b1"));
    QCOMPARE(names(BatchPrintItemsFor(source, b, paths, {})), QStringLiteral("b1,b2"));
    QVERIFY(failureMessage([&] { BatchPrintItemsFor(source, b, paths, {3}); }).contains(QStringLiteral("3")));
}

// ---- runs --------------------------------------------------------------------------------------------------------

QString TestPrinting::form(const QString& name, const QStringList& lines, int rows, const QString& last,
                           const cell::PageSetup& page)
{
    const QString path = m_dir.filePath(name + QStringLiteral(".cll"));
    writeForm(path, lines, rows, last, page);
    return path;
}

void TestPrinting::copiesCollatedInOrder()
{
    // A one-page form, a three-page form (its last line on its last page), a one-page form.
    const QList<BatchPrintItem> items{
        {1, QStringLiteral("甲"), form(QStringLiteral("a"), {QStringLiteral("甲表 K12+345")})},
        {2, QStringLiteral("乙"), form(QStringLiteral("b"), {QStringLiteral("乙表首页")}, 150, QStringLiteral("乙表末页"))},
        {3, QStringLiteral("丙"), form(QStringLiteral("c"), {QStringLiteral("丙表 2024")})},
    };
    const QString single = m_dir.filePath(QStringLiteral("single.pdf"));
    {
        PdfBatchOutput one(single);
        ScriptedPrompter p;
        const int pages = RunBatchPrint({items[1]}, 1, one, p).pages;
        QCOMPARE(pdfPageCount(single), pages);
    }
    const int bPages = pdfPageCount(single);
    QVERIFY(bPages >= 2);

    const QString pdf = m_dir.filePath(QStringLiteral("batch.pdf"));
    PdfBatchOutput output(pdf);
    ScriptedPrompter prompter;
    const BatchPrintResult r = RunBatchPrint(items, 2, output, prompter);
    QCOMPARE(r.printed, 3);
    QCOMPARE(r.pages, 2 * (1 + bPages + 1));
    const QStringList pages = pdfPageTexts(pdf);
    QCOMPARE(pages.size(), r.pages);
    QStringList expected{QStringLiteral("甲表 K12+345"), QStringLiteral("甲表 K12+345")};
    for (int copy = 0; copy < 2; ++copy)
        for (int i = 1; i <= bPages; ++i)
            expected << pdfPageText(single, i);
    expected << QStringLiteral("丙表 2024") << QStringLiteral("丙表 2024");
    QCOMPARE(pages, expected);
    QVERIFY(pages[2].contains(QStringLiteral("乙表首页")));
    QVERIFY(pages[1 + bPages].contains(QStringLiteral("乙表末页")));

    // Progress: file k of n before each file, then done; the hourglass came and went.
    QCOMPARE(prompter.messages(QStringLiteral("progress")).size(), 4);
    QCOMPARE(prompter.busyDepth, 0);
}

void TestPrinting::eachFormKeepsItsPageSettings()
{
    cell::PageSetup a3;
    a3.paper = 8;
    a3.landscape = true;
    const QList<BatchPrintItem> items{
        {1, QStringLiteral("A4"), form(QStringLiteral("p"), {QStringLiteral("竖版")})},
        {2, QStringLiteral("A3"), form(QStringLiteral("l"), {QStringLiteral("横版")}, 20, QString(), a3)},
    };
    const QString pdf = m_dir.filePath(QStringLiteral("sizes.pdf"));
    PdfBatchOutput output(pdf);
    ScriptedPrompter prompter;
    RunBatchPrint(items, 1, output, prompter);
    QCOMPARE(pdfPageSize(pdf, 1).toSize(), QSize(595, 842));
    QCOMPARE(pdfPageSize(pdf, 2).toSize(), QSize(1191, 842));
}

void TestPrinting::stopAfterCurrentFile()
{
    QList<BatchPrintItem> items;
    for (int i = 1; i <= 4; ++i)
        items << BatchPrintItem{i, QStringLiteral("表%1").arg(i),
                                form(QStringLiteral("s%1").arg(i), {QStringLiteral("第%1张").arg(i)})};
    // The stop answer comes at the progress call before the third file: two files are printed and written.
    const QString pdf = m_dir.filePath(QStringLiteral("stopped.pdf"));
    {
        PdfBatchOutput output(pdf);
        ScriptedPrompter prompter;
        prompter.stopAtProgress = 3;
        const BatchPrintResult r = RunBatchPrint(items, 1, output, prompter);
        QVERIFY(r.stopped);
        QCOMPARE(r.printed, 2);
        QCOMPARE(prompter.progressCalls, 3);
    }
    QCOMPARE(pdfPageTexts(pdf), (QStringList{QStringLiteral("第1张"), QStringLiteral("第2张")}));

    // Stopped before the first file: no file at all.
    const QString none = m_dir.filePath(QStringLiteral("none.pdf"));
    PdfBatchOutput output(none);
    ScriptedPrompter prompter;
    prompter.stopAtProgress = 1;
    const BatchPrintResult r = RunBatchPrint(items, 1, output, prompter);
    QVERIFY(r.stopped);
    QCOMPARE(r.printed, 0);
    QVERIFY(!QFile::exists(none));
}

void TestPrinting::failingFileStopsTheRun()
{
    const QString bad = m_dir.filePath(QStringLiteral("bad.cll"));
    {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a table file at all");
    }
    const QList<BatchPrintItem> items{
        {1, QStringLiteral("好表"), form(QStringLiteral("good"), {QStringLiteral("好")})},
        {2, QStringLiteral("坏表"), bad},
        {3, QStringLiteral("后表"), form(QStringLiteral("after"), {QStringLiteral("后")})},
    };
    // Paper: what was printed is sent, the message names the file, its place and the number printed.
    RecordingOutput paper;
    ScriptedPrompter prompter;
    const QString message = failureMessage([&] { RunBatchPrint(items, 1, paper, prompter); });
    QVERIFY2(message.startsWith(QStringLiteral("第 2 个表格文件“坏表”无法打开：")), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("bad.cll")));
    QVERIFY(message.endsWith(QStringLiteral("已打印 1 个表格文件。")));
    QCOMPARE(paper.calls, (QStringList{QStringLiteral("begin 1"), QStringLiteral("add 好 x1"), QStringLiteral("fail")}));
    QCOMPARE(prompter.busyDepth, 0);

    // PDF: an existing file stays as it was.
    const QString pdf = m_dir.filePath(QStringLiteral("kept.pdf"));
    {
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    PdfBatchOutput output(pdf);
    const QString pdfMessage = failureMessage([&] { RunBatchPrint(items, 1, output, prompter); });
    QVERIFY(pdfMessage.endsWith(QStringLiteral("没有生成 PDF 文件。")));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old"));

    // A missing first file: nothing was begun.
    RecordingOutput none;
    const QString missing = failureMessage([&] {
        RunBatchPrint({{9, QStringLiteral("缺"), m_dir.filePath(QStringLiteral("gone.cll"))}}, 1, none, prompter);
    });
    QVERIFY(missing.startsWith(QStringLiteral("第 1 个表格文件“缺”无法打开：")));
    QVERIFY(none.calls.isEmpty());
}

void TestPrinting::emptyListAndCancelledDialog()
{
    RecordingOutput output;
    ScriptedPrompter prompter;
    const BatchPrintResult empty = RunBatchPrint({}, 3, output, prompter);
    QCOMPARE(empty.printed, 0);
    QCOMPARE(prompter.messages(QStringLiteral("warning")), QStringList{QStringLiteral("请选择要打印的文件！")});
    QVERIFY(output.calls.isEmpty());

    const QList<BatchPrintItem> items{{1, QStringLiteral("一"), form(QStringLiteral("x1"), {QStringLiteral("一")})},
                                      {2, QStringLiteral("二"), form(QStringLiteral("x2"), {QStringLiteral("二")})}};
    // The dialog comes once, before the first file, with the copies of the dialog box; what it sets is used for
    // every file.
    RecordingOutput chosen;
    chosen.dialogCopies = 3;
    RunBatchPrint(items, 2, chosen, prompter);
    QCOMPARE(chosen.calls, (QStringList{QStringLiteral("begin 2"), QStringLiteral("add 一 x3"), QStringLiteral("add 二 x3"),
                                        QStringLiteral("finish")}));

    RecordingOutput cancelled;
    cancelled.cancelDialog = true;
    ScriptedPrompter quiet;
    const BatchPrintResult r = RunBatchPrint(items, 1, cancelled, quiet);
    QVERIFY(r.cancelled);
    QCOMPARE(cancelled.calls, QStringList{QStringLiteral("begin 1")});
    QVERIFY(quiet.messages(QStringLiteral("warning")).isEmpty());
    QCOMPARE(quiet.busyDepth, 0);
}

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
