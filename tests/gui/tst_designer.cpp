// The designer window headless: its menus, toolbars and actions, the FillMode rule, the caption, save, the close
// question's three answers, undo and redo, the drop-down buttons, the header-fill commands, read-only files and the
// sheet-size and special-paste dialogs.
#include "app/AutoFillRangeFrm.h"
#include "app/QuelmarApplication.h"
#include "cell/CellControl.h"
#include "cell/view/CellView.h"
#include "core/ScriptedPrompter.h"
#include "designer/CellDesignerFrm.h"
#include "designer/DesignerCommands.h"
#include "designer/DesignerEntry.h"
#include "designer/SetSheetSizeFrm.h"
#include "designer/SpecialPasteFrm.h"
#include "projects/HeaderFill.h"
#include "projects/OptionLists.h"
#include "store/DataPool.h"
#include "store/RowSet.h"
#include "support/ModalWalker.h"
#include "support/ProgramFolderFixture.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>

using designer::TCellDesignerFrm;

namespace {

// A form file with a number in B2.
QString writeForm(const QString& dir, const QString& name = QStringLiteral("form.cll"))
{
    cell::CellControl c;
    c.SetCellDouble(2, 2, 0, 12);
    c.SetCellString(1, 1, 0, QStringLiteral("压实度检验"));
    const QString path = dir + QLatin1Char('/') + name;
    if (c.SaveFile(path, 0) != 1)
        qFatal("cannot write the form");
    return path;
}

QString shownInFile(const QString& path, int col, int row)
{
    cell::CellControl c;
    if (c.OpenFile(path, cell::tableFilePassword()) != 1)
        return QStringLiteral("<unreadable>");
    return c.cellText(col, row, 0);
}

int newFillRecord(TDataPoolDM& dm, const FillPositions& p)
{
    const int id = dm.NewFillRangeKey();
    RowSet rows;
    rows.load(dm.GetHeadingFillRangeData(id), QStringLiteral("ID"));
    rows.append({{QStringLiteral("ID"), id}});
    dm.ApplyHeadingFillRangeUpdates(id, rows.changeLog());
    StoreFillPositions(dm, id, p);
    return id;
}

} // namespace

class TestDesigner : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menusToolbarsAndActions();
    void fillModeRule_data();
    void fillModeRule();
    void captionAndOpen();
    void closeQuestion_data();
    void closeQuestion();
    void failedSaveKeepsChanges();
    void undoRedoFollowTheStack();
    void toolbarStateDrivesCommands();
    void dropDownsRunTheirDefault();
    void fontSizeBoxRefusesText();
    void colourDialogCancelChangesNothing();
    void headerFillCommands();
    void readOnlyFile();
    void sheetSizeDialog();
    void specialPasteDialog();
    void aboutBox();

private:
    std::unique_ptr<TCellDesignerFrm> designerOn(const QString& path, int fillMode = 0);

    std::unique_ptr<ProgramFolderFixture> m_folder;
    ScriptedPrompter m_prompter;
    QStringList m_errors;
    QStringList m_headerValues;
};

void TestDesigner::init()
{
    m_errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
    m_prompter = ScriptedPrompter();
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_headerValues.clear();
}

void TestDesigner::cleanup()
{
    m_folder.reset();
    QuelmarApplication::setErrorSink({});
}

std::unique_ptr<TCellDesignerFrm> TestDesigner::designerOn(const QString& path, int fillMode)
{
    designer::DesignerServices s;
    s.dm = &m_folder->dm();
    s.prompter = &m_prompter;
    s.headerValues = [this] { return m_headerValues; };
    auto d = std::make_unique<TCellDesignerFrm>(s);
    if (!path.isEmpty() && !d->openFile(path, QStringLiteral("K12 压实度"), fillMode))
        qWarning("the form did not open");
    return d;
}

void TestDesigner::menusToolbarsAndActions()
{
    auto d = designerOn(writeForm(m_folder->dir()));
    QStringList menus;
    for (QAction* a : d->menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"文件(&F)", "编辑(&E)", "视图(&V)", "格式(&F)", "公式(&M)", "数据(&D)", "帮助(&H)"}));
    QCOMPARE(d->toolBars().size(), 3);
    // Every action once, under its name.
    QStringList names;
    for (QAction* a : d->findChildren<QAction*>(Qt::FindDirectChildrenOnly))
        if (!a->objectName().isEmpty())
            names << a->objectName();
    QCOMPARE(names.size(), QSet<QString>(names.begin(), names.end()).size());
    const QStringList required = {
        "FileSave", "FilePageSetting", "FilePrintPreview", "FilePrintWithDlg", "FilePrintWithoutDlg",
        "FileImportExcel", "FileExportExcel", "FileExportPdf", "FileAutoFillOpt", "FileLoadProjectInfo", "FileBack",
        "EditUndo", "EditRedo", "EditFind", "EditReplace", "EditHyperlink", "EditSpecialChar", "EditFillBetweenSheet",
        "ViewGridPic", "FormatCell", "FormatLine", "FormatInsertPic", "BarInsertPic", "FormatDelPic",
        "FormatFormatBush", "FormulaInput", "FormulaBatchInput", "FormulaFillSerial", "FormulaShow", "FormulaColor",
        "FormulaList", "FormulaCalculateAll", "DataRotate", "DataBlance", "DataRangeSort", "DataRangeQuery",
        "DataRange3DEasySum", "DataRangeClassSum", "DataRange3DSum", "DataRange3DView", "DataRange3DQuery",
        "DataSheet3DQuery", "DataWzdChart", "BarFillSerialDlg", "BarAutoFillInfo"};
    for (const QString& n : required)
        QVERIFY2(names.contains(n), qPrintable(n));
    QCOMPARE(d->action("FileSave")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(d->action("FilePrintWithDlg")->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    QCOMPARE(d->action("FileBack")->shortcut(), QKeySequence(QStringLiteral("Alt+F4")));
    QCOMPARE(d->action("EditUndo")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QCOMPARE(d->action("EditRedo")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
    QCOMPARE(d->action("EditCopy")->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    QCOMPARE(d->action("EditClearContent")->shortcut(), QKeySequence(QStringLiteral("Del")));
    QCOMPARE(d->action("EditFind")->text(), QStringLiteral("查找(&F)..."));
    QVERIFY(!d->action("EditFindNext")->isEnabled());
    QVERIFY(!d->action("EditGoto")->isEnabled());
    // The boxes with their lists and first texts.
    QCOMPARE(d->fontNameBox()->currentText(), QStringLiteral("宋体"));
    QCOMPARE(d->fontSizeBox()->currentText(), QStringLiteral("10"));
    QCOMPARE(d->fontSizeBox()->count(), 28);
    QCOMPARE(d->lineStyleBox()->currentText(), QStringLiteral("细线"));
    QCOMPARE(d->zoomBox()->currentText(), QStringLiteral("100%"));
    QCOMPARE(d->zoomBox()->itemText(0), QStringLiteral("200%"));
    // The menus show the date styles with their captions; the fill drop-down starts with the repeat fill.
    QCOMPARE(d->dropDown("BarDate")->actions().value(14)->text(), QStringLiteral("星期二 "));
    QCOMPARE(d->dropDown("BarFill")->actions().first(), d->action("EditFillRepeat"));
    QCOMPARE(d->dropDown("BarFill")->defaultAction(), d->action("EditFillRepeat"));
    // The screen's fonts come once the window shows, and the box keeps its text.
    d->show();
    QVERIFY(d->fontNameBox()->count() > 0);
    QCOMPARE(d->fontNameBox()->currentText(), QStringLiteral("宋体"));
    d->hide();
    QVERIFY(m_errors.isEmpty());
}

void TestDesigner::fillModeRule_data()
{
    QTest::addColumn<int>("fillMode");
    QTest::addColumn<bool>("shown");
    QTest::newRow("no header-fill record") << 0 << false;
    QTest::newRow("a record") << 7 << true;
}

void TestDesigner::fillModeRule()
{
    QFETCH(int, fillMode);
    QFETCH(bool, shown);
    auto d = designerOn(writeForm(m_folder->dir()), fillMode);
    QCOMPARE(d->action("FileAutoFillOpt")->isVisible(), shown);
    // The toolbar button stays, whatever the record.
    QVERIFY(d->action("BarAutoFillInfo")->isVisible());
}

void TestDesigner::captionAndOpen()
{
    auto empty = designerOn(QString());
    QCOMPARE(empty->windowTitle(), QStringLiteral("无 - Diridod"));
    const QString path = writeForm(m_folder->dir());
    auto d = designerOn(path);
    QCOMPARE(d->windowTitle(), QStringLiteral("K12 压实度 - Diridod"));
    QCOMPARE(d->Cell1().GetFileName(), path);
    QCOMPARE(d->Cell1().undoEnabled(), true);
    QCOMPARE(d->Cell1().cellText(2, 2, 0), QStringLiteral("12"));
    // A file that is no table file does not open: the caller reports the control's message.
    QFile bad(m_folder->dir() + QStringLiteral("/bad.cll"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a table");
    bad.close();
    auto failed = designerOn(QString());
    QVERIFY(!failed->openFile(bad.fileName(), QStringLiteral("坏表"), 0));
    QVERIFY(!failed->Cell1().errorString().isEmpty());
    QVERIFY(failed->Cell1().GetFileName().isEmpty());
}

void TestDesigner::closeQuestion_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");   // Prompter::Answer
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("onDisk");   // B2 in the file afterwards
    QTest::newRow("unchanged: nothing asked") << false << int(Prompter::Answer::Yes) << false << true << "12";
    QTest::newRow("yes saves") << true << int(Prompter::Answer::Yes) << true << true << "99";
    QTest::newRow("no drops the changes") << true << int(Prompter::Answer::No) << true << true << "12";
    QTest::newRow("cancel stays open") << true << int(Prompter::Answer::Cancel) << true << false << "12";
}

void TestDesigner::closeQuestion()
{
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    QFETCH(QString, onDisk);
    const QString path = writeForm(m_folder->dir());
    auto d = designerOn(path);
    d->show();
    if (edit)
        d->Cell1().SetCellDouble(2, 2, 0, 99);
    m_prompter.answers.enqueue(Prompter::Answer(answer));
    d->action("FileBack")->trigger();
    const QStringList questions = m_prompter.messages(QStringLiteral("question"));
    QCOMPARE(questions.size(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(questions.first(),
                 QStringLiteral("%1 文件已经改变。\r\n\r\n想保存文件吗？").arg(path));
    QCOMPARE(d->isVisible(), !closed);
    QCOMPARE(shownInFile(path, 2, 2), onDisk);
    if (!closed) {
        // The changes are still there, and closing asks again.
        QCOMPARE(d->Cell1().cellText(2, 2, 0), QStringLiteral("99"));
        QCOMPARE(d->Cell1().IsModified(), 1);
        m_prompter.answers.enqueue(Prompter::Answer::No);
        d->close();
        QVERIFY(!d->isVisible());
        QCOMPARE(m_prompter.messages(QStringLiteral("question")).size(), 2);
    }
    QVERIFY(m_errors.isEmpty());
}

void TestDesigner::failedSaveKeepsChanges()
{
    const QString sub = m_folder->dir() + QStringLiteral("/gone");
    QVERIFY(QDir().mkpath(sub));
    const QString path = writeForm(sub);
    auto d = designerOn(path);
    d->Cell1().SetCellDouble(2, 2, 0, 5);
    QVERIFY(QDir(sub).removeRecursively());
    d->action("FileSave")->trigger();
    QCOMPARE(m_prompter.messages(QStringLiteral("error")), QStringList(QStringLiteral("文件没有被保存？")));
    QCOMPARE(d->Cell1().IsModified(), 1);
    QCOMPARE(m_prompter.busyDepth, 0);
    // Yes on close tries to save; when that fails too the designer stays open with the changes.
    d->show();
    m_prompter.answers.enqueue(Prompter::Answer::Yes);
    d->close();
    QVERIFY(d->isVisible());
    QCOMPARE(d->Cell1().cellText(2, 2, 0), QStringLiteral("5"));
    m_prompter.answers.enqueue(Prompter::Answer::No);
    d->close();
    QVERIFY(!d->isVisible());
}

void TestDesigner::undoRedoFollowTheStack()
{
    auto d = designerOn(writeForm(m_folder->dir()));
    QAction* undo = d->action("EditUndo");
    QAction* redo = d->action("EditRedo");
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    d->Cell1().SelectRange(1, 1, 3, 3);
    d->action("FormatDrawGrid")->trigger();
    QVERIFY(undo->isEnabled());
    QCOMPARE(d->Cell1().undoStack()->count(), 1);
    undo->trigger();
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    QCOMPARE(d->Cell1().sheet(0).cellAt(2, 2)->format.border[0].style, quint8(0));
    redo->trigger();
    QCOMPARE(d->Cell1().sheet(0).cellAt(2, 2)->format.border[0].style, quint8(2));
    QVERIFY(!redo->isEnabled());
}

void TestDesigner::toolbarStateDrivesCommands()
{
    auto d = designerOn(writeForm(m_folder->dir()));
    cell::CellControl& c = d->Cell1();
    c.SelectRange(2, 2, 3, 3);
    c.SetCellAlign(2, 2, 0, cell::AlignBottom);
    // Bold and italic buttons together give style 2 + 4; releasing bold leaves italic.
    d->action("FormatBold")->trigger();
    d->action("FormatItalic")->trigger();
    QCOMPARE(c.sheet(0).cellAt(3, 3)->format.fontStyle, 6);
    d->action("FormatBold")->trigger();
    QCOMPARE(c.sheet(0).cellAt(3, 3)->format.fontStyle, 4);
    // At most one alignment button is down; releasing it clears the horizontal alignment only.
    d->action("FormatAlignCenter")->trigger();
    d->action("FormatAlignRight")->trigger();
    QVERIFY(!d->action("FormatAlignCenter")->isChecked());
    QCOMPARE(c.GetCellAlign(2, 2, 0), cell::AlignBottom | cell::AlignRight);
    d->action("FormatAlignRight")->trigger();
    QCOMPARE(c.GetCellAlign(2, 2, 0), int(cell::AlignBottom));
    // The line-style box gives the border style.
    d->lineStyleBox()->setCurrentText(QStringLiteral("点划线"));
    d->action("FormatDrawFrame")->trigger();
    QCOMPARE(c.sheet(0).cellAt(2, 2)->format.border[cell::Top].style, quint8(7));
    // The zoom box.
    d->zoomBox()->setCurrentText(QStringLiteral("50%"));
    emit d->zoomBox()->textActivated(QStringLiteral("50%"));
    QCOMPARE(c.sheet(0).zoom, 0.5);
    // The grid button and the view checks.
    d->action("ViewGridLine")->trigger();
    QVERIFY(!c.sheet(0).showGrid);
    d->action("ViewRowLabel")->trigger();
    QVERIFY(!c.sheet(0).showRowLabel);
    c.setCurrentCell(3, 4);
    d->action("ViewFixed")->trigger();
    QVERIFY(d->action("ViewFixed")->isChecked());
    QCOMPARE(c.sheet(0).fixedRows, 3);
    d->action("ViewFixed")->trigger();
    QVERIFY(!d->action("ViewFixed")->isChecked());
    QCOMPARE(c.sheet(0).fixedRows, 0);
    // The buttons show the current cell's format.
    c.setCurrentCell(2, 2);
    QVERIFY(d->action("FormatItalic")->isChecked());
    QVERIFY(!d->action("FormatBold")->isChecked());
    c.setCurrentCell(5, 5);
    QVERIFY(!d->action("FormatItalic")->isChecked());
    QVERIFY(m_errors.isEmpty());
}

void TestDesigner::dropDownsRunTheirDefault()
{
    auto d = designerOn(writeForm(m_folder->dir()));
    cell::CellControl& c = d->Cell1();
    c.SelectRange(2, 2, 2, 2);
    d->action("BarCurrency")->trigger();
    QCOMPARE(c.sheet(0).cellAt(2, 2)->format.currency, 2);
    d->action("BarDrawLine")->trigger();
    QCOMPARE(c.sheet(0).cellAt(2, 2)->format.border[cell::Left].style, quint8(2));
    d->action("BarEraseLine")->trigger();
    QCOMPARE(c.sheet(0).cellAt(2, 2)->format.border[cell::Left].style, quint8(0));
    d->action("BarDate")->trigger();
    QCOMPARE(c.sheet(0).cellAt(2, 2)->format.dateStyle, 1);
    d->action("BarTime")->trigger();
    QCOMPARE(c.sheet(0).cellAt(2, 2)->format.timeStyle, 1);
    QVERIFY(m_errors.isEmpty());
    // A drop-down without a default entry.
    QMenu none;
    none.addAction(QStringLiteral("x"));
    QuelmarApplication::guarded([&] { d->runDefault(&none); });
    QCOMPARE(m_errors, QStringList(QStringLiteral("Error!")));
}

void TestDesigner::fontSizeBoxRefusesText()
{
    auto d = designerOn(writeForm(m_folder->dir()));
    d->Cell1().SelectRange(2, 2, 2, 2);
    emit d->fontSizeBox()->textActivated(QStringLiteral("小四"));
    QCOMPARE(m_prompter.messages(QStringLiteral("information")),
             QStringList(QStringLiteral("字号“小四”不是整数，请输入一个整数字号。")));
    QCOMPARE(d->Cell1().sheet(0).cellAt(2, 2)->format.fontSize, 10);
    QCOMPARE(d->Cell1().CanUndo(), 0);
    emit d->fontSizeBox()->textActivated(QStringLiteral("18"));
    QCOMPARE(d->Cell1().sheet(0).cellAt(2, 2)->format.fontSize, 18);
}

void TestDesigner::colourDialogCancelChangesNothing()
{
    auto d = designerOn(writeForm(m_folder->dir()));
    QColor answer;
    QStringList titles;
    d->setColorChooser([&](const QColor&, const QString& title) {
        titles << title;
        return answer;
    });
    d->Cell1().SelectRange(2, 2, 3, 2);
    d->action("FormatBackColor")->trigger();
    QCOMPARE(d->Cell1().IsModified(), 0);
    answer = QColor(0x12, 0x34, 0x56);
    d->action("FormatTextColor")->trigger();
    const cell::CellFormat f = d->Cell1().sheet(0).cellAt(3, 2)->format;
    QCOMPARE(d->Cell1().workbook().colors.at(f.textColor), answer.rgb());
    QCOMPARE(titles, (QStringList{"背景色", "前景色"}));
}

void TestDesigner::headerFillCommands()
{
    FillPositions p;
    p[0] = FillPosition{true, QStringLiteral("2"), QStringLiteral("b")};   // 工程名称 at B2
    p[1] = FillPosition{true, QStringLiteral("3"), QStringLiteral("C")};   // 监理单位 at C3
    const int id = newFillRecord(m_folder->dm(), p);
    OptionLists lists(m_folder->dm());
    lists.add(2, QStringLiteral("监理甲"));
    lists.add(1, QStringLiteral("G318"));
    m_headerValues = QStringList(18, QString());
    m_headerValues[0] = QStringLiteral("G318改建工程");
    m_headerValues[1] = QStringLiteral("某监理公司");
    const QString path = writeForm(m_folder->dir());
    auto d = designerOn(path, id);
    d->action("FileLoadProjectInfo")->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    cell::CellControl& c = d->Cell1();
    QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("G318改建工程"));
    QCOMPARE(c.cellText(3, 3, 0), QStringLiteral("某监理公司"));
    // Lists for fields 1..18 here (field 1 too), no save, one undo step.
    QCOMPARE(c.sheet(0).cellAt(2, 2)->dropdown, QStringLiteral("G318\n"));
    QCOMPARE(c.sheet(0).cellAt(3, 3)->dropdown, QStringLiteral("监理甲\n"));
    QCOMPARE(shownInFile(path, 2, 2), QStringLiteral("12"));
    QCOMPARE(c.undoStack()->count(), 1);
    c.Undo();
    QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("12"));
    QVERIFY(c.sheet(0).cellAt(3, 3) == nullptr);

    // A form whose record is missing: a clear message, nothing changed.
    auto missing = designerOn(path, id + 100);
    missing->action("FileLoadProjectInfo")->trigger();
    QCOMPARE(m_errors, QStringList(QStringLiteral("没找到相应表格表头信息！")));
    QCOMPARE(missing->Cell1().IsModified(), 0);
    m_errors.clear();
    {
        ModalWalker none;
        missing->action("BarAutoFillInfo")->trigger();
        QCOMPARE(m_errors, QStringList(QStringLiteral("没有找到相应表头信息！")));
        QVERIFY(none.titles.isEmpty());
    }

    // "填写属性(&F)..." opens "填写位置" on the form's record and stores what is confirmed.
    m_errors.clear();
    ModalWalker walker;
    walker.then([](QWidget* w) {
        auto* frm = qobject_cast<TAutoFillRangeFrm*>(w);
        QVERIFY(frm);
        frm->check(3)->setChecked(true);
        frm->rowEdit(3)->setText(QStringLiteral("8"));
        frm->colEdit(3)->setText(QStringLiteral("c"));
        ModalWalker::click(QStringLiteral("确定"))(w);
    });
    d->action("FileAutoFillOpt")->trigger();
    QCOMPARE(walker.titles, QStringList(QStringLiteral("填写位置")));
    QVERIFY(m_errors.isEmpty());
    const std::optional<FillPositions> stored = ReadFillPositions(m_folder->dm(), id);
    QVERIFY(stored.has_value());
    QCOMPARE((*stored)[2], (FillPosition{true, QStringLiteral("8"), QStringLiteral("c")}));
}

void TestDesigner::readOnlyFile()
{
    const QString path = writeForm(m_folder->dir());
    auto d = designerOn(path);
    d->setReadOnly(QStringLiteral("表格正由 张三 编辑。"));
    QVERIFY(d->windowTitle().contains(QStringLiteral("只读")));
    QVERIFY(d->windowTitle().endsWith(QStringLiteral(" - Diridod")));
    QVERIFY(!d->action("FileSave")->isEnabled());
    QVERIFY(!d->action("EditCut")->isEnabled());
    QVERIFY(!d->action("FormatMerge")->isEnabled());
    QVERIFY(!d->action("EditUndo")->isEnabled());
    QVERIFY(d->action("FilePrintPreview")->isEnabled());
    QVERIFY(d->action("EditCopy")->isEnabled());
    QVERIFY(d->view()->isReadOnly());
    d->Cell1().SetCellDouble(2, 2, 0, 77);   // whatever happens to the workbook
    d->show();
    d->close();
    QVERIFY(!d->isVisible());
    QVERIFY(m_prompter.messages(QStringLiteral("question")).isEmpty());
    QCOMPARE(shownInFile(path, 2, 2), QStringLiteral("12"));
    // A missing file for the read-only entry.
    try {
        designer::OpenTableFileReadOnly(nullptr, m_folder->dir() + QStringLiteral("/none.cll"));
        QFAIL("a missing file opened");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("文件 %1 不存在。")
                                  .arg(QDir::toNativeSeparators(m_folder->dir() + QStringLiteral("/none.cll"))));
    }
}

void TestDesigner::sheetSizeDialog()
{
    TSetSheetSizeFrm dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("设置表页尺寸"));
    QCOMPARE(dialog.rowsText(), QStringLiteral("1"));
    QCOMPARE(dialog.colsText(), QStringLiteral("1"));
    // The buttons step within 1..32767 and 1..256; a typed value beyond is passed on as typed.
    dialog.rowsBox()->stepBy(-1);
    QCOMPARE(dialog.rowsText(), QStringLiteral("1"));
    dialog.colsBox()->stepBy(300);
    QCOMPARE(dialog.colsText(), QStringLiteral("256"));
    dialog.setRowsText(QStringLiteral("70000"));
    QCOMPARE(dialog.rowsText(), QStringLiteral("70000"));
    QVERIFY(dialog.findChild<QLabel*>() != nullptr);
    bool noteFound = false;
    for (QLabel* l : dialog.findChildren<QLabel*>())
        noteFound |= l->text() == QStringLiteral("说明: 有效行数1~65535，有效列数1~256。");
    QVERIFY(noteFound);

    // Through the designer's menu: rows 20 and columns 8 give GetRows 21 and GetCols 9, in one undo step.
    auto d = designerOn(writeForm(m_folder->dir()));
    {
        ModalWalker walker;
        walker.then([](QWidget* w) {
            auto* frm = static_cast<TSetSheetSizeFrm*>(w);
            frm->setRowsText(QStringLiteral("20"));
            frm->setColsText(QStringLiteral("8"));
            ModalWalker::click(QStringLiteral("确定"))(w);
        });
        d->action("FormatSheetSize")->trigger();
        QCOMPARE(walker.titles, QStringList(QStringLiteral("设置表页尺寸")));
    }
    QCOMPARE(d->Cell1().GetRows(0), 21);
    QCOMPARE(d->Cell1().GetCols(0), 9);
    QCOMPARE(d->Cell1().undoStack()->count(), 1);
    // Cancel changes nothing.
    ModalWalker cancel;
    cancel.then(ModalWalker::click(QStringLiteral("取消")));
    d->action("FormatSheetSize")->trigger();
    QCOMPARE(d->Cell1().GetRows(0), 21);
    QCOMPARE(d->Cell1().undoStack()->count(), 1);
}

void TestDesigner::specialPasteDialog()
{
    TSpecialPasteFrm dialog(m_prompter);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("选择性粘贴"));
    QStringList items;
    for (int i = 0; i < dialog.modeList()->count(); ++i)
        items << dialog.modeList()->item(i)->text();
    QCOMPARE(items, (QStringList{"全部", "单元公式", "文本和数值", "单元格式"}));
    QCOMPARE(dialog.mode(), 0);
    QVERIFY(!dialog.sameSize());
    QVERIFY(!dialog.skipBlanks());
    QCOMPARE(dialog.sameSizeBox()->text(), QStringLiteral("等大小粘帖"));
    QCOMPARE(dialog.skipBlanksBox()->text(), QStringLiteral("跳过空单元"));
    // No way chosen: the dialog says so and stays.
    dialog.modeList()->clearSelection();
    dialog.show();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(m_prompter.messages(QStringLiteral("information")), QStringList(QStringLiteral("请选择要粘贴的方式！")));
    dialog.modeList()->setCurrentRow(2);
    dialog.skipBlanksBox()->setChecked(true);
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.mode(), 2);

    // Through the designer: texts and values.
    auto d = designerOn(writeForm(m_folder->dir()));
    cell::CellControl& c = d->Cell1();
    c.SetFormula(3, 2, 0, QStringLiteral("B2*2"));
    c.SelectRange(3, 2, 3, 2);
    d->action("EditCopy")->trigger();
    c.setCurrentCell(4, 4);
    ModalWalker walker;
    walker.then([](QWidget* w) {
        static_cast<TSpecialPasteFrm*>(w)->modeList()->setCurrentRow(2);
        ModalWalker::click(QStringLiteral("确定"))(w);
    });
    d->action("EditSpecialPaste")->trigger();
    QCOMPARE(walker.titles, QStringList(QStringLiteral("选择性粘贴")));
    QCOMPARE(c.cellText(4, 4, 0), QStringLiteral("24"));
    QVERIFY(c.sheet(0).cellAt(4, 4)->formula.isEmpty());
}

void TestDesigner::aboutBox()
{
    auto d = designerOn(writeForm(m_folder->dir()));
    QStringList labels;
    ModalWalker walker;
    walker.then([&](QWidget* w) {
        for (QLabel* l : w->findChildren<QLabel*>())
            if (!l->text().isEmpty())
                labels << l->text();
        ModalWalker::click(QStringLiteral("确定(&O)"))(w);
    });
    d->action("HelpAbout")->trigger();
    QCOMPARE(walker.titles, QStringList(QStringLiteral("关于Diridod")));
    QCOMPARE(labels, QStringList(QStringLiteral("Diridod v1.0")));
    QCOMPARE(d->action("HelpAbout")->text(), QStringLiteral("关于 Diridod(&A)..."));
}

QTEST_MAIN(TestDesigner)
#include "tst_designer.moc"
