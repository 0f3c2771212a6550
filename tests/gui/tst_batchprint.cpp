// The batch print dialog and the print actions of the main window, driven headless: the dialog's texts per mode, the
// ticks and the count, a run with its progress and copies, stopping with "取消", the PDF button, the paper output in
// one job (its print dialog answered by a hook that prints to a PDF file), and which print action does what for
// the selected node.
#include "app/BatchPrintFrm.h"
#include "app/MainFrm.h"
#include "app/PrinterBatchOutput.h"
#include "app/QuelmarApplication.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "support/PrintSupport.h"
#include "support/MainWindowSupport.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"
#include "support/ModalWalker.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

namespace {

const QString kAdmin = QStringLiteral("Admin");

// An output that keeps no pages and records the run.
class RecordingOutput final : public BatchPrintOutput {
public:
    explicit RecordingOutput(QStringList* calls) : m_calls(calls) {}
    bool begin(const cell::Workbook&, int, int& copies) override
    {
        *m_calls << QStringLiteral("begin %1").arg(copies);
        return true;
    }
    int add(const cell::Workbook&, int, int copies) override
    {
        *m_calls << QStringLiteral("add x%1").arg(copies);
        if (onAdd)
            onAdd();
        return copies;
    }
    void finish() override { *m_calls << QStringLiteral("finish"); }
    void fail() noexcept override { *m_calls << QStringLiteral("fail"); }
    QString failureNote(int printed) const override { return QStringLiteral("已打印 %1 个。").arg(printed); }
    std::function<void()> onAdd;

private:
    QStringList* m_calls;
};

// A viewer that opens nothing but remembers the file and records the print calls.
class PrintRecordingViewer final : public TableViewer {
public:
    QWidget* widget() override { return &m_widget; }
    int OpenFile(const QString& path, const QString&) override
    {
        file = path;
        return 1;
    }
    int SaveFile(const QString&, int) override { return 1; }
    QString GetFileName() const override { return file; }
    int IsModified() const override { return 0; }
    void ResetContent() override { file.clear(); }
    int GetCurSheet() const override { return 0; }
    void ShowColLabel(int, int) override {}
    void ShowRowLabel(int, int) override {}
    void SetViewerOption(int) override {}
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

private:
    QWidget m_widget;
};

} // namespace

class TestBatchPrint : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogShowsModeTreeAndCount_data();
    void dialogShowsModeTreeAndCount();
    void printRunsOnceThroughTheOutputAndStaysOpen();
    void emptyListWarns();
    void cancelStopsAfterCurrentFile();
    void pdfButtonWritesOneFile();
    void pdfProposalIsAFileName();
    void paperOutputIsOneCollatedJob();
    void unlistedKindShowsNoDialog();

    void printActionsByNodeKind_data();
    void printActionsByNodeKind();
    void folderOpensBatchDialog();

private:
    void form(Library lib, const NodeRecord& r, int partIndex, const QString& text);
    void openWindow();
    QModelIndex node(Library lib, int id) { return m_main->library(lib).tree.indexOfItem(id); }
    std::unique_ptr<TBatchPrintFrm> dialog(Library lib, int id);

    std::unique_ptr<ProgramFolderFixture> m_f;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login{kAdmin, 1};
    std::unique_ptr<TMainFrm> m_main;
    PrintRecordingViewer* m_mobanViewer = nullptr;
    PrintRecordingViewer* m_ziLiaoViewer = nullptr;
    std::unique_ptr<LibraryData> m_data;
    QStringList m_errors;
};

void TestBatchPrint::form(Library lib, const NodeRecord& r, int partIndex, const QString& text)
{
    m_f->addNode(lib, r, lib == Library::Moban ? QStringLiteral("Everyone") : kAdmin, partIndex);
    const AppPaths& p = m_f->paths();
    const QString folder = lib == Library::Moban ? p.MobanFolderPath(r.iDir) : p.ZiLiaoFolderPath(r.iDir);
    QDir().mkpath(folder);
    writeForm(FileLayout::NodeFilePath(folder, r.File_Name, r.Ext), {text});
}

void TestBatchPrint::init()
{
    m_errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
    m_prompter = ScriptedPrompter();
    m_f = std::make_unique<ProgramFolderFixture>();
    ProgramFolderFixture& f = *m_f;
    const QString cll = QStringLiteral(".cll");
    // Template: 模板 ─ 分部 ─ 分项 (5), 样式 (11); a document.
    f.addNode(Library::Moban, nodeRec(9, 2, QStringLiteral("路基模板"), 0, 1), {}, 0);
    f.addNode(Library::Moban, nodeRec(3, 3, QStringLiteral("路基工程"), 2, 1), {}, 0);
    form(Library::Moban, nodeRec(5, 4, QStringLiteral("压实度分项"), 3, 1, 1, cll), 0, QStringLiteral("模板分项"));
    form(Library::Moban, nodeRec(11, 5, QStringLiteral("通用样式"), 3, 1, 2, cll), 1, QStringLiteral("模板样式"));
    f.addNode(Library::Moban, nodeRec(16, 6, QStringLiteral("说明"), 3, 1, 3, QStringLiteral(".doc")), {}, 2);
    // Project: 工程 ─ 分部 ─ 分项 ─ three forms.
    f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("G318"), 0, 1), kAdmin, 0);
    f.addNode(Library::ZiLiao, nodeRec(3, 3, QStringLiteral("路基工程"), 2, 1), kAdmin, 0);
    form(Library::ZiLiao, nodeRec(5, 4, QStringLiteral("压实度"), 3, 1, 1, cll), 0, QStringLiteral("分项样式"));
    form(Library::ZiLiao, nodeRec(6, 5, QStringLiteral("K1"), 4, 1, 2, cll), 0, QStringLiteral("第一张"));
    form(Library::ZiLiao, nodeRec(6, 6, QStringLiteral("K2"), 4, 1, 3, cll), 1, QStringLiteral("第二张"));
    form(Library::ZiLiao, nodeRec(7, 7, QStringLiteral("K3"), 4, 1, 4, cll), 2, QStringLiteral("第三张"));
    // Archive: a cabinet with a category holding an archived form of K2.
    f.addNode(Library::GuiDang, nodeRec(1, 1, QStringLiteral("2024 档案"), 0), kAdmin, 0);
    f.addNode(Library::GuiDang, nodeRec(2, 2, QStringLiteral("路基"), 1), kAdmin, 0);
    f.addNode(Library::GuiDang, nodeRec(3, 3, QStringLiteral("K2 归档"), 2, 1, 3, cll), kAdmin, 0);
    // The recycle bins after the rest.
    for (Library lib : {Library::Moban, Library::ZiLiao}) {
        RowSet rows;
        rows.load(lib == Library::Moban ? f.dm().GetMobanData() : f.dm().GetZiLiaoData(kAdmin));
        rows.setValue(rows.find(1), QStringLiteral("iPartIndex"), 1);
        lib == Library::Moban ? f.dm().ApplyMobanUpdates(rows.changeLog())
                              : f.dm().ApplyZiLiaoUpdates(kAdmin, rows.changeLog());
    }
}

void TestBatchPrint::cleanup()
{
    if (m_main)
        m_main->closeWithoutQuery();
    m_main.reset();
    m_data.reset();
    m_f.reset();
    PrinterBatchOutput::setDialogHook({});
    QuelmarApplication::setErrorSink({});
}

std::unique_ptr<TBatchPrintFrm> TestBatchPrint::dialog(Library lib, int id)
{
    m_data = std::make_unique<LibraryData>(lib);
    m_data->load(m_f->dm(), kAdmin);
    return std::make_unique<TBatchPrintFrm>(BatchPrintModeFor(lib), m_data->tree, m_data->tree.indexOfItem(id),
                                            m_f->paths(), m_prompter);
}

void TestBatchPrint::dialogShowsModeTreeAndCount_data()
{
    QTest::addColumn<int>("lib");
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("count");
    QTest::newRow("project") << int(Library::ZiLiao) << 2 << "ZMode" << "说明: 资料库中只能打印最终表格，样式不算。" << 3;
    QTest::newRow("archive") << int(Library::GuiDang) << 1 << "GMode" << "说明: 归档库中只能打印最终表格。" << 1;
    QTest::newRow("template") << int(Library::Moban) << 2 << "MMode" << "说明: 模板库中只能打印样式表格。" << 2;
}

void TestBatchPrint::dialogShowsModeTreeAndCount()
{
    QFETCH(int, lib);
    QFETCH(int, node);
    QFETCH(QString, page);
    QFETCH(QString, description);
    QFETCH(int, count);
    auto d = dialog(Library(lib), node);
    QCOMPARE(d->windowTitle(), QStringLiteral("批量打印"));
    QCOMPARE(d->pcMode->currentWidget()->objectName(), page);
    QCOMPARE(d->lblDescription->text(), description);
    QCOMPARE(d->lblCount->text(), QStringLiteral("打印的表格文件数量: %1 个").arg(count));
    QVERIFY(d->tvPrint->isExpanded(d->tree().topNode()));
    QVERIFY(d->tree().isChecked(d->tree().topNode()));
    QCOMPARE(d->seCopies->minimum(), 1);
    QCOMPARE(d->seCopies->maximum(), 9999);
    QCOMPARE(d->seCopies->value(), 1);
    QVERIFY(d->btnPrint->isDefault());
    // A click on the top node's box unticks everything.
    d->tvPrint->model()->setData(d->tree().topNode(), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(d->lblCount->text(), QStringLiteral("打印的表格文件数量: 0 个"));
}

void TestBatchPrint::printRunsOnceThroughTheOutputAndStaysOpen()
{
    auto d = dialog(Library::ZiLiao, 2);
    QStringList calls;
    d->setPaperOutput([&](QWidget*) { return std::make_unique<RecordingOutput>(&calls); });
    d->show();
    d->seCopies->setValue(3);
    d->Print();
    QCOMPARE(calls, (QStringList{"begin 3", "add x3", "add x3", "add x3", "finish"}));
    QVERIFY(d->isVisible());
    QCOMPARE(d->pbProgress->value(), d->pbProgress->maximum());
    QCOMPARE(d->lblProgress->text(), QStringLiteral("已打印 3 个表格文件，共 9 页。"));
    QVERIFY(d->btnPrint->isEnabled() && d->tvPrint->isEnabled());
    // The dialog closes through "取消" only.
    d->btnCancel->click();
    QVERIFY(!d->isVisible());
}

void TestBatchPrint::emptyListWarns()
{
    auto d = dialog(Library::ZiLiao, 2);
    QStringList calls;
    d->setPaperOutput([&](QWidget*) { return std::make_unique<RecordingOutput>(&calls); });
    d->tree().setChecked(d->tree().topNode(), false);
    d->Print();
    d->PrintToPdf();
    QCOMPARE(m_prompter.messages(QStringLiteral("warning")),
             (QStringList{QStringLiteral("请选择要打印的文件！"), QStringLiteral("请选择要打印的文件！")}));
    QVERIFY(calls.isEmpty());
    QVERIFY(m_prompter.messages(QStringLiteral("saveFile")).isEmpty());
}

void TestBatchPrint::cancelStopsAfterCurrentFile()
{
    auto d = dialog(Library::ZiLiao, 2);
    QStringList calls;
    TBatchPrintFrm* frm = d.get();
    d->setPaperOutput([&](QWidget*) {
        auto out = std::make_unique<RecordingOutput>(&calls);
        // The user clicks "取消" while the first file prints; the window stays responsive.
        out->onAdd = [&, frm] {
            if (calls.size() == 2) {
                QVERIFY(!frm->btnPrint->isEnabled() && !frm->tvPrint->isEnabled());
                QVERIFY(frm->isRunning());
                frm->btnCancel->click();
            }
        };
        return out;
    });
    d->show();
    d->Print();
    QCOMPARE(calls, (QStringList{"begin 1", "add x1", "finish"}));
    QCOMPARE(m_prompter.messages(QStringLiteral("information")),
             QStringList{QStringLiteral("打印已停止：已打印 1 个表格文件（共 3 个）。")});
    QVERIFY(d->isVisible());
    QVERIFY(!d->isRunning() && d->btnPrint->isEnabled());
}

void TestBatchPrint::pdfButtonWritesOneFile()
{
    auto d = dialog(Library::ZiLiao, 3);
    d->tree().setChecked(d->tree().indexOfItem(6), false);
    d->seCopies->setValue(2);
    const QString path = m_f->dir() + QStringLiteral("/批量");
    m_prompter.files.enqueue(path);
    d->PrintToPdf();
    QCOMPARE(QFileInfo(m_prompter.messages(QStringLiteral("saveFile")).value(0)).fileName(), QStringLiteral("路基工程.pdf"));
    QCOMPARE(pdfPageTexts(path + QStringLiteral(".pdf")),
             (QStringList{"第一张", "第一张", "第三张", "第三张"}));
    QCOMPARE(m_prompter.messages(QStringLiteral("information")),
             QStringList{QStringLiteral("已把 2 个表格文件（共 4 页）打印到 PDF 文件“%1”。")
                             .arg(QDir::toNativeSeparators(path + QStringLiteral(".pdf")))});
}

void TestBatchPrint::pdfProposalIsAFileName()
{
    m_f->addNode(Library::ZiLiao, nodeRec(3, 30, QStringLiteral("K1/K2:段"), 2, 1), kAdmin, 5);
    form(Library::ZiLiao, nodeRec(6, 31, QStringLiteral("K1"), 30, 1, 9, QStringLiteral(".cll")), 0, QStringLiteral("表"));
    auto d = dialog(Library::ZiLiao, 30);
    d->PrintToPdf();   // the file choice is cancelled
    QCOMPARE(QFileInfo(m_prompter.messages(QStringLiteral("saveFile")).value(0)).fileName(), QStringLiteral("K1_K2_段.pdf"));
    QVERIFY(m_prompter.messages(QStringLiteral("information")).isEmpty());
}

void TestBatchPrint::paperOutputIsOneCollatedJob()
{
    const QString pdf = m_f->dir() + QStringLiteral("/paper.pdf");
    int dialogs = 0;
    PrinterBatchOutput::setDialogHook([&](QPrinter& printer) {
        ++dialogs;
        // The box's copies come in; the user asks for two and prints to a file.
        if (printer.copyCount() != 1)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setCopyCount(2);
        return true;
    });
    auto d = dialog(Library::ZiLiao, 2);
    d->Print();
    QCOMPARE(dialogs, 1);
    QCOMPARE(pdfPageTexts(pdf), (QStringList{"第一张", "第一张", "第二张", "第二张", "第三张", "第三张"}));

    // A cancelled print dialog prints nothing and says nothing.
    PrinterBatchOutput::setDialogHook([](QPrinter&) { return false; });
    QFile::remove(pdf);
    d->Print();
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(m_prompter.events.isEmpty() || m_prompter.messages(QStringLiteral("information")).isEmpty());
}

void TestBatchPrint::unlistedKindShowsNoDialog()
{
    m_f->addNode(Library::ZiLiao, nodeRec(9, 20, QStringLiteral("错放的模板"), 3, 1), kAdmin, 5);
    QCOMPARE(failureMessage([&] { dialog(Library::ZiLiao, 2); }), QStringLiteral("类型错误！"));
}

// ---- the main window's print actions --------------------------------------------------------------------------

void TestBatchPrint::openWindow()
{
    MainServices s = MainServicesFor(*m_f, m_prompter, m_login);
    m_mobanViewer = m_ziLiaoViewer = nullptr;
    s.viewerFactory = [this](QWidget*) {
        auto v = std::make_unique<PrintRecordingViewer>();
        (m_mobanViewer ? m_ziLiaoViewer : m_mobanViewer) = v.get();
        return std::unique_ptr<TableViewer>(std::move(v));
    };
    m_main = std::make_unique<TMainFrm>(s);
    m_main->LoadUserData();
    m_main->miMobanClick();
    m_main->miZiLiaoClick();
    QVERIFY(m_errors.isEmpty());
}

void TestBatchPrint::printActionsByNodeKind_data()
{
    QTest::addColumn<int>("lib");
    QTest::addColumn<int>("node");   // -1: the root
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("warning");

    const int M = int(Library::Moban), Z = int(Library::ZiLiao), G = int(Library::GuiDang);
    QTest::newRow("template form at once") << M << 4 << "PrintWithoutDlg" << "PrintSheet 0 0" << "";
    QTest::newRow("template form with dialog") << M << 5 << "PrintWithDlg" << "PrintSheet 1 0" << "";
    QTest::newRow("template form preview") << M << 4 << "Preview" << "PrintPreview 1 0" << "";
    QTest::newRow("project form at once") << Z << 5 << "PrintWithoutDlg" << "PrintSheet 1 0" << "";
    QTest::newRow("project form with dialog") << Z << 7 << "PrintWithDlg" << "PrintSheet 1 0" << "";
    QTest::newRow("project form preview") << Z << 6 << "Preview" << "PrintPreview 1 0" << "";
    QTest::newRow("project root") << Z << -1 << "PrintWithDlg" << "" << "";
    QTest::newRow("project bin preview") << Z << 1 << "Preview" << "" << "加收站不提供此功能！请选择其他节点。";
    QTest::newRow("template bin preview") << M << 1 << "Preview" << "" << "加收站不提供此功能！请选择其他节点。";
    QTest::newRow("archive form at once") << G << 3 << "PrintWithoutDlg" << "PrintSheet 0 0" << "";
    QTest::newRow("archive form with dialog") << G << 3 << "PrintWithDlg" << "PrintSheet 1 0" << "";
    QTest::newRow("archive form preview") << G << 3 << "Preview" << "PrintPreviewEx 0 0 1" << "";
    QTest::newRow("archive root") << G << -1 << "PrintWithoutDlg" << "" << "";
}

void TestBatchPrint::printActionsByNodeKind()
{
    QFETCH(int, lib);
    QFETCH(int, node);
    QFETCH(QString, action);
    QFETCH(QString, calls);
    QFETCH(QString, warning);
    openWindow();
    const Library l = Library(lib);
    if (l == Library::Moban)
        m_main->miMobanClick();
    const QModelIndex n = node < 0 ? m_main->library(l).tree.index(0, 0) : this->node(l, node);
    m_main->selectNode(l, n);
    PrintRecordingViewer* viewer = l == Library::Moban ? m_mobanViewer : m_ziLiaoViewer;
    viewer->calls.clear();
    m_prompter.events.clear();
    QAction* a = m_main->actions(l).own(action);
    QVERIFY(a);
    if (a->isEnabled()) {
        a->trigger();
    } else {
        // The menus offer no printing on roots and bins; the handlers still do nothing, or refuse, when reached.
        using H = void (TMainFrm::*)();
        const QHash<QString, H> handlers{
            {QStringLiteral("MobanPreview"), &TMainFrm::MobanPreviewExecute},
            {QStringLiteral("ZiLiaoPreview"), &TMainFrm::ZiLiaoPreviewExecute},
            {QStringLiteral("ZiLiaoPrintWithDlg"), &TMainFrm::ZiLiaoPrintWithDlgExecute},
            {QStringLiteral("GuiDangPrintWithoutDlg"), &TMainFrm::GuiDangPrintWithoutDlgExecute},
        };
        const H handler = handlers.value(a->objectName());
        QVERIFY2(handler, qPrintable(a->objectName()));
        (m_main.get()->*handler)();
    }
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(viewer->calls.join(QLatin1Char(';')), calls);
    QCOMPARE(m_prompter.messages(QStringLiteral("warning")).join(QLatin1Char(';')), warning);
    QVERIFY(m_prompter.messages(QStringLiteral("information")).isEmpty());   // no "此功能尚未提供。"
}

void TestBatchPrint::folderOpensBatchDialog()
{
    openWindow();
    struct Case {
        Library lib;
        int node;
        QString action;
        QString page;
        int count;
    };
    const QList<Case> cases{{Library::ZiLiao, 4, QStringLiteral("PrintWithoutDlg"), QStringLiteral("ZMode"), 3},
                            {Library::GuiDang, 2, QStringLiteral("PrintWithDlg"), QStringLiteral("GMode"), 1},
                            {Library::Moban, 3, QStringLiteral("PrintWithDlg"), QStringLiteral("MMode"), 2}};
    for (const Case& c : cases) {
        if (c.lib == Library::Moban)
            m_main->miMobanClick();
        m_main->selectNode(c.lib, node(c.lib, c.node));
        QString seen;
        whenShown<TBatchPrintFrm>([&](TBatchPrintFrm* d) {
            seen = QStringLiteral("%1 %2 %3")
                       .arg(d->tree().topNode().data().toString(), d->pcMode->currentWidget()->objectName())
                       .arg(d->tree().fileCount());
            d->btnCancel->click();
        });
        m_main->actions(c.lib).own(c.action)->trigger();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
        QCOMPARE(seen, QStringLiteral("%1 %2 %3").arg(node(c.lib, c.node).data().toString(), c.page).arg(c.count));
    }
}

QTEST_MAIN(TestBatchPrint)
#include "tst_batchprint.moc"
