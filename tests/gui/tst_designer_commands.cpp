// The designer's commands against the spreadsheet engine: what each does to the selection, the messages of the
// refused ones, and that each is one undo step that puts contents, formats, merges and sizes back exactly.
#include "cell/CellControl.h"
#include "core/ScriptedPrompter.h"
#include "designer/DesignerCommands.h"

#include <QUndoStack>
#include <QtTest>

#include <algorithm>

#include <functional>

using cell::CellControl;
using designer::DesignerCommands;

namespace {

// A 6 x 8 sheet with numbers in B2:E5, some formats, a merge and odd sizes, undo on.
void fillForm(CellControl& c)
{
    c.SetCols(7, 0);
    c.SetRows(9, 0);
    for (int col = 2; col <= 5; ++col)
        for (int row = 2; row <= 5; ++row)
            c.SetCellDouble(col, row, 0, col * 10 + row);
    c.SetCellString(1, 1, 0, QStringLiteral("表头"));
    c.SetCellAlign(2, 2, 0, cell::AlignBottom | cell::AlignLeft);
    c.SetCellAlign(3, 2, 0, cell::AlignTop);
    c.MergeCells(1, 7, 2, 8);
    c.setColWidth(0, 3, 120);
    c.setRowHeight(0, 4, 40);
    c.EnableUndo(1);
}

const cell::Cell* at(const CellControl& c, int col, int row)
{
    return c.sheet(0).cellAt(col, row);
}

cell::CellFormat formatAt(const CellControl& c, int col, int row)
{
    const cell::Cell* cell = at(c, col, row);
    return cell ? cell->format : cell::CellFormat{};
}

// A formula text as the engine keeps it once set (it writes function names in capitals).
QString stored(const QString& formula)
{
    CellControl scratch;
    scratch.SetFormula(1, 1, 0, formula);
    return scratch.sheet(0).cellAt(1, 1)->formula;
}

// The parts of a sheet a command may change; undo must bring back exactly these.
struct SheetState {
    int cols, rows;
    QVector<int> widths, heights;
    QList<cell::Range> merges;
    QList<QString> cells;   // per key: value, formula, format, list
    bool operator==(const SheetState&) const = default;
};

SheetState stateOf(const CellControl& c)
{
    const cell::Sheet& sh = c.sheet(0);
    SheetState s{sh.cols, sh.rows, sh.colWidths, sh.rowHeights, sh.merges, {}};
    QList<quint32> keys = sh.cells.keys();
    std::sort(keys.begin(), keys.end());
    for (quint32 k : keys) {
        const cell::Cell& cl = sh.cells.value(k);
        const cell::CellFormat& f = cl.format;
        s.cells << QStringLiteral("%1:%2|%3|%4,%5,%6,%7,%8,%9,%10,%11,%12,%13|%14|%15")
                       .arg(k)
                       .arg(c.cellText(cell::Sheet::keyCol(k), cell::Sheet::keyRow(k), 0), cl.formula)
                       .arg(f.fontStyle)
                       .arg(f.align)
                       .arg(f.numType)
                       .arg(f.separator)
                       .arg(f.currency)
                       .arg(f.input)
                       .arg(f.border[0].style * 1000 + f.border[1].style * 100 + f.border[2].style * 10
                            + f.border[3].style)
                       .arg(f.diagonal[0].style * 10 + f.diagonal[1].style)
                       .arg(f.fontSize)
                       .arg(f.textStyle)
                       .arg(cl.dropdown, cl.hyperlink);
    }
    return s;
}

} // namespace

class TestDesignerCommands : public QObject {
    Q_OBJECT

private slots:
    void lineStyles();
    void sums_data();
    void sums();
    void alignmentKeepsVertical_data();
    void alignmentKeepsVertical();
    void numberFormats();
    void borderLoops_data();
    void borderLoops();
    void mergeLoops_data();
    void mergeLoops();
    void sorting_data();
    void sorting();
    void rowsColumnsAndSizes_data();
    void rowsColumnsAndSizes();
    void refusedTexts_data();
    void refusedTexts();
    void specialPasteFlags_data();
    void specialPasteFlags();
    void fillAndClearFlags();
    void oneUndoStepPerCommand_data();
    void oneUndoStepPerCommand();
    void fixedRowsAndColumns();
};

void TestDesignerCommands::lineStyles()
{
    const QStringList texts = designer::lineStyleTexts();
    QCOMPARE(texts.size(), 11);
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(designer::lineStyleCode(texts.at(i)), i + 2);
    QCOMPARE(designer::lineStyleCode(QStringLiteral("粗点点划线")), 12);
    QCOMPARE(designer::lineStyleCode(QStringLiteral("波浪线")), 255);
    QCOMPARE(designer::dateStyleCaptions().size(), 21);
    QCOMPARE(designer::timeStyleCaptions().size(), 10);
    QCOMPARE(designer::automationDate(QDate(1900, 1, 1)), 2.0);
    QCOMPARE(designer::dayFraction(QTime(18, 0)), 0.75);
}

void TestDesignerCommands::sums_data()
{
    QTest::addColumn<int>("kind");   // 0 rows, 1 columns, 2 both
    QTest::addColumn<QRect>("selection");   // x = col1, y = row1, right = col2, bottom = row2
    QTest::addColumn<QStringList>("formulas");   // "E2=Sum(B2:D2)" ...
    QTest::addColumn<bool>("refused");
    QTest::newRow("rows over columns 2..5, rows 2..4")
        << 0 << QRect(QPoint(2, 2), QPoint(5, 4))
        << QStringList{"E2=Sum(B2:D2)", "E3=Sum(B3:D3)", "E4=Sum(B4:D4)"} << false;
    QTest::newRow("columns") << 1 << QRect(QPoint(2, 2), QPoint(3, 5))
                             << QStringList{"B5=Sum(B2:B4)", "C5=Sum(C2:C4)"} << false;
    QTest::newRow("both") << 2 << QRect(QPoint(2, 2), QPoint(4, 4))
                          << QStringList{"D2=Sum(B2:C2)", "D3=Sum(B3:C3)", "B4=Sum(B2:B3)", "C4=Sum(C2:C3)",
                                         "D4=Sum(B2:C3)"}
                          << false;
    QTest::newRow("rows on one column") << 0 << QRect(QPoint(3, 2), QPoint(3, 5)) << QStringList() << true;
    QTest::newRow("columns on one row") << 1 << QRect(QPoint(2, 3), QPoint(5, 3)) << QStringList() << true;
    QTest::newRow("both on one row") << 2 << QRect(QPoint(2, 3), QPoint(5, 3)) << QStringList() << true;
    QTest::newRow("both on one column") << 2 << QRect(QPoint(2, 2), QPoint(2, 5)) << QStringList() << true;
}

void TestDesignerCommands::sums()
{
    QFETCH(int, kind);
    QFETCH(QRect, selection);
    QFETCH(QStringList, formulas);
    QFETCH(bool, refused);
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(selection.left(), selection.top(), selection.right(), selection.bottom());
    const SheetState before = stateOf(c);
    const bool done = kind == 0 ? cmd.RowSums() : kind == 1 ? cmd.ColSums() : cmd.BothSums();
    QCOMPARE(done, !refused);
    if (refused) {
        QCOMPARE(p.messages(QStringLiteral("information")), QStringList(QStringLiteral("请选择一个矩形区域！")));
        QVERIFY(stateOf(c) == before);
        QCOMPARE(c.CanUndo(), 0);
        return;
    }
    for (const QString& f : formulas) {
        int col = 0, row = 0;
        QVERIFY(CellControl::ParseCellRef(f.section(QLatin1Char('='), 0, 0), col, row));
        QCOMPARE(at(c, col, row)->formula, stored(f.section(QLatin1Char('='), 1)));
    }
    // The sums are calculated: row 2 of columns 2..4 is 22 + 32 + 42.
    if (kind == 0)
        QCOMPARE(c.cellText(5, 2, 0), QStringLiteral("96"));
    c.Undo();
    QVERIFY(stateOf(c) == before);
}

void TestDesignerCommands::alignmentKeepsVertical_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("left") << int(designer::HAlignLeftCode);
    QTest::newRow("centre") << int(designer::HAlignCenterCode);
    QTest::newRow("right") << int(designer::HAlignRightCode);
    QTest::newRow("all buttons up") << int(designer::HAlignNone);
}

void TestDesignerCommands::alignmentKeepsVertical()
{
    QFETCH(int, code);
    CellControl c;
    fillForm(c);   // B2 bottom | left, C2 top, D2 nothing
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(2, 2, 4, 2);
    cmd.HorizontalAlign(code);
    QCOMPARE(c.GetCellAlign(2, 2, 0), cell::AlignBottom | code);
    QCOMPARE(c.GetCellAlign(3, 2, 0), cell::AlignTop | code);
    QCOMPARE(c.GetCellAlign(4, 2, 0), code);
}

void TestDesignerCommands::numberFormats()
{
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(2, 2, 3, 3);
    cmd.Thousands();
    for (int col = 2; col <= 3; ++col)
        for (int row = 2; row <= 3; ++row) {
            QCOMPARE(formatAt(c, col, row).separator, 2);
            QCOMPARE(formatAt(c, col, row).numType, 1);
        }
    QCOMPARE(formatAt(c, 4, 2).separator, 0);
    cmd.Percent();
    QCOMPARE(formatAt(c, 3, 3).numType, 5);
    cmd.Currency(3);
    QCOMPARE(formatAt(c, 2, 2).currency, 3);
    QCOMPARE(formatAt(c, 2, 2).numType, int(cell::NumCurrency));
    // Dates and times write the given moment with their style.
    c.SelectRange(2, 6, 3, 6);
    cmd.DateStyle(12, QDate(2026, 3, 4));
    QCOMPARE(std::get<double>(at(c, 3, 6)->value), designer::automationDate(QDate(2026, 3, 4)));
    QCOMPARE(formatAt(c, 3, 6).numType, 3);
    QCOMPARE(formatAt(c, 3, 6).dateStyle, 12);
    QCOMPARE(c.cellText(2, 6, 0), QStringLiteral("2026年3月4日"));
    cmd.TimeStyle(3, QTime(13, 30));
    QCOMPARE(std::get<double>(at(c, 2, 6)->value), designer::dayFraction(QTime(13, 30)));
    QCOMPARE(formatAt(c, 2, 6).numType, 4);
    QCOMPARE(c.cellText(2, 6, 0), QStringLiteral("13:30:00"));
    cmd.Lock(true);
    QCOMPARE(formatAt(c, 2, 6).input, 5);
    cmd.Lock(false);
    QCOMPARE(formatAt(c, 3, 6).input, 1);
    // Fonts: the style bits of the three buttons, a size, a name added to the font table.
    c.SelectRange(2, 2, 2, 3);
    cmd.FontStyle(true, false, true);
    QCOMPARE(formatAt(c, 2, 3).fontStyle, 2 | 8);
    cmd.FontStyle(false, false, false);
    QCOMPARE(formatAt(c, 2, 3).fontStyle, 0);
    QVERIFY(cmd.FontSize(QStringLiteral(" 14 ")));
    QCOMPARE(formatAt(c, 2, 2).fontSize, 14);
    cmd.FontName(QStringLiteral("黑体"));
    QCOMPARE(c.workbook().fonts.at(formatAt(c, 2, 3).font), QStringLiteral("黑体"));
    cmd.Wrap(true);
    QCOMPARE(formatAt(c, 2, 2).textStyle, 2);
    cmd.BackColor(QColor(Qt::yellow));
    QCOMPARE(c.workbook().colors.at(formatAt(c, 2, 2).backColor), QColor(Qt::yellow).rgb());
    cmd.TextColor(QColor(Qt::red));
    QCOMPARE(c.workbook().colors.at(formatAt(c, 2, 3).textColor), QColor(Qt::red).rgb());
    // A cancelled colour dialog changes nothing and makes no step.
    const int steps = c.undoStack()->count();
    cmd.BackColor(QColor());
    QCOMPARE(c.undoStack()->count(), steps);
}

void TestDesignerCommands::borderLoops_data()
{
    QTest::addColumn<QString>("command");
    // For B2:C3: the four sides of each cell as "left top right bottom" line styles, B2 C2 B3 C3.
    QTest::addColumn<QStringList>("sides");
    QTest::newRow("grid") << "grid" << QStringList{"4444", "4444", "4444", "4444"};
    QTest::newRow("frame") << "frame" << QStringList{"4400", "0440", "4004", "0044"};
    QTest::newRow("top side") << "side1" << QStringList{"0400", "0400", "0400", "0400"};
    QTest::newRow("left side") << "side0" << QStringList{"4000", "4000", "4000", "4000"};
    QTest::newRow("erase grid") << "erase0" << QStringList{"0000", "0000", "0000", "0000"};
    QTest::newRow("erase frame") << "erase1" << QStringList{"0022", "2002", "0220", "2200"};
}

void TestDesignerCommands::borderLoops()
{
    QFETCH(QString, command);
    QFETCH(QStringList, sides);
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    if (command.startsWith(QStringLiteral("erase"))) {
        c.SelectRange(2, 2, 3, 3);
        cmd.DrawGrid(2);
    }
    c.SelectRange(2, 2, 3, 3);
    const int steps = c.undoStack()->count();
    const SheetState before = stateOf(c);
    const int style = designer::lineStyleCode(QStringLiteral("粗线"));
    if (command == QStringLiteral("grid"))
        cmd.DrawGrid(style);
    else if (command == QStringLiteral("frame"))
        cmd.DrawFrame(style);
    else if (command.startsWith(QStringLiteral("side")))
        cmd.DrawSide(command.right(1).toInt(), style);
    else
        cmd.EraseLine(command.right(1).toInt());
    const int cells[4][2] = {{2, 2}, {3, 2}, {2, 3}, {3, 3}};
    for (int i = 0; i < 4; ++i) {
        const cell::CellFormat f = formatAt(c, cells[i][0], cells[i][1]);
        const QString got = QStringLiteral("%1%2%3%4")
                                .arg(f.border[0].style)
                                .arg(f.border[1].style)
                                .arg(f.border[2].style)
                                .arg(f.border[3].style);
        QCOMPARE(got, sides.at(i));
    }
    // The whole loop is one step, undone at once.
    QCOMPARE(c.undoStack()->count(), steps + 1);
    c.Undo();
    QVERIFY(stateOf(c) == before);
}

void TestDesignerCommands::mergeLoops_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<cell::Range>>("merges");   // besides the form's own A7:B8
    QTest::newRow("whole") << "merge" << QList<cell::Range>{{2, 2, 4, 4}};
    QTest::newRow("by row") << "rows" << QList<cell::Range>{{2, 2, 4, 2}, {2, 3, 4, 3}, {2, 4, 4, 4}};
    QTest::newRow("by column") << "cols" << QList<cell::Range>{{2, 2, 2, 4}, {3, 2, 3, 4}, {4, 2, 4, 4}};
}

void TestDesignerCommands::mergeLoops()
{
    QFETCH(QString, command);
    QFETCH(QList<cell::Range>, merges);
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(2, 2, 4, 4);
    const SheetState before = stateOf(c);
    if (command == QStringLiteral("merge"))
        cmd.Merge();
    else if (command == QStringLiteral("rows"))
        cmd.MergeRows();
    else
        cmd.MergeCols();
    QList<cell::Range> expected{cell::Range{1, 7, 2, 8}};
    expected << merges;
    QCOMPARE(c.sheet(0).merges, expected);
    QCOMPARE(c.undoStack()->count(), 1);
    // Unmerging a selection that covers every block takes each block apart in one step.
    c.SelectRange(1, 1, 6, 8);
    cmd.Unmerge();
    QVERIFY(c.sheet(0).merges.isEmpty());
    QCOMPARE(c.undoStack()->count(), 2);
    c.Undo();
    QCOMPARE(c.sheet(0).merges, expected);
    c.Undo();
    QVERIFY(stateOf(c) == before);
    c.Redo();
    QCOMPARE(c.sheet(0).merges, expected);
}

void TestDesignerCommands::sorting_data()
{
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("after");   // B2..B5 (one column) or B3..E3 (one row) as shown
    QTest::newRow("one column, descending") << QRect(QPoint(2, 2), QPoint(2, 5)) << int(designer::SortOutcome::Sorted)
                                            << "25 24 23 22";
    QTest::newRow("one row, descending") << QRect(QPoint(2, 3), QPoint(5, 3)) << int(designer::SortOutcome::Sorted)
                                         << "53 43 33 23";
    QTest::newRow("single cell: nothing") << QRect(QPoint(2, 2), QPoint(2, 2))
                                          << int(designer::SortOutcome::Nothing) << "";
    QTest::newRow("rectangle: the dialog") << QRect(QPoint(2, 2), QPoint(3, 3))
                                           << int(designer::SortOutcome::NeedsDialog) << "";
}

void TestDesignerCommands::sorting()
{
    QFETCH(QRect, selection);
    QFETCH(int, outcome);
    QFETCH(QString, after);
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(selection.left(), selection.top(), selection.right(), selection.bottom());
    const SheetState before = stateOf(c);
    QCOMPARE(int(cmd.Sort(false)), outcome);
    if (after.isEmpty()) {
        QVERIFY(stateOf(c) == before);
        QCOMPARE(c.CanUndo(), 0);
        return;
    }
    QStringList shown;
    if (selection.width() == 1)
        for (int row = 2; row <= 5; ++row)
            shown << c.cellText(2, row, 0);
    else
        for (int col = 2; col <= 5; ++col)
            shown << c.cellText(col, 3, 0);
    QCOMPARE(shown.join(QLatin1Char(' ')), after);
    // Ascending puts them back.
    cmd.Sort(true);
    c.Undo();
    c.Undo();
    QVERIFY(stateOf(c) == before);
}

void TestDesignerCommands::rowsColumnsAndSizes_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<int>("cols");   // GetCols afterwards (6 data columns before)
    QTest::addColumn<int>("rows");   // GetRows (8 data rows before)
    QTest::addColumn<QString>("probe");   // a cell and what it shows afterwards: "C2=22"
    QTest::newRow("insert columns") << "insertCols" << QRect(QPoint(2, 1), QPoint(3, 1)) << 9 << 9 << "D2=22";
    QTest::newRow("append columns") << "appendCols" << QRect(QPoint(2, 1), QPoint(3, 1)) << 9 << 9 << "B2=22";
    QTest::newRow("delete columns") << "deleteCols" << QRect(QPoint(2, 1), QPoint(3, 1)) << 5 << 9 << "B2=42";
    QTest::newRow("insert rows") << "insertRows" << QRect(QPoint(1, 2), QPoint(1, 4)) << 7 << 12 << "B5=22";
    QTest::newRow("append rows") << "appendRows" << QRect(QPoint(1, 2), QPoint(1, 4)) << 7 << 12 << "B2=22";
    QTest::newRow("delete rows") << "deleteRows" << QRect(QPoint(1, 2), QPoint(1, 3)) << 7 << 7 << "B2=24";
    // The sheet ends at the current cell: column 3, row 5 leaves 3 data columns and 5 data rows.
    QTest::newRow("table size") << "tableSize" << QRect(QPoint(3, 5), QPoint(3, 5)) << 4 << 6 << "C5=35";
    QTest::newRow("sheet size 20 x 8") << "sheetSize" << QRect(QPoint(1, 1), QPoint(1, 1)) << 9 << 21 << "E5=55";
}

void TestDesignerCommands::rowsColumnsAndSizes()
{
    QFETCH(QString, command);
    QFETCH(QRect, selection);
    QFETCH(int, cols);
    QFETCH(int, rows);
    QFETCH(QString, probe);
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(selection.left(), selection.top(), selection.right(), selection.bottom());
    const SheetState before = stateOf(c);
    const QHash<QString, std::function<void()>> run = {
        {QStringLiteral("insertCols"), [&] { cmd.InsertCols(); }},
        {QStringLiteral("appendCols"), [&] { cmd.AppendCols(); }},
        {QStringLiteral("deleteCols"), [&] { cmd.DeleteCols(); }},
        {QStringLiteral("insertRows"), [&] { cmd.InsertRows(); }},
        {QStringLiteral("appendRows"), [&] { cmd.AppendRows(); }},
        {QStringLiteral("deleteRows"), [&] { cmd.DeleteRows(); }},
        {QStringLiteral("tableSize"), [&] { cmd.SetTableSize(); }},
        {QStringLiteral("sheetSize"), [&] { QVERIFY(cmd.SetSheetSize(QStringLiteral("20"), QStringLiteral("8"))); }},
    };
    run.value(command)();
    QCOMPARE(c.GetCols(0), cols);
    QCOMPARE(c.GetRows(0), rows);
    int col = 0, row = 0;
    QVERIFY(CellControl::ParseCellRef(probe.section(QLatin1Char('='), 0, 0), col, row));
    QCOMPARE(c.cellText(col, row, 0), probe.section(QLatin1Char('='), 1));
    QCOMPARE(c.undoStack()->count(), 1);
    c.Undo();
    QVERIFY(stateOf(c) == before);
}

void TestDesignerCommands::refusedTexts_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("font size 10.5") << "size" << "10.5" << "字号“10.5”不是整数，请输入一个整数字号。";
    QTest::newRow("font size empty") << "size" << "" << "字号“”不是整数，请输入一个整数字号。";
    QTest::newRow("rows x") << "rows" << "x" << "行数“x”不是整数，请输入 1 到 65535 之间的整数。";
    QTest::newRow("columns 3a") << "cols" << "3a" << "列数“3a”不是整数，请输入 1 到 256 之间的整数。";
    QTest::newRow("zoom abc") << "zoom" << "abc%" << "显示比例“abc%”无效，请输入如“100%”的比例。";
}

void TestDesignerCommands::refusedTexts()
{
    QFETCH(QString, command);
    QFETCH(QString, text);
    QFETCH(QString, message);
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(2, 2, 5, 5);
    const SheetState before = stateOf(c);
    bool done = true;
    if (command == QStringLiteral("size"))
        done = cmd.FontSize(text);
    else if (command == QStringLiteral("rows"))
        done = cmd.SetSheetSize(text, QStringLiteral("5"));
    else if (command == QStringLiteral("cols"))
        done = cmd.SetSheetSize(QStringLiteral("5"), text);
    else
        done = cmd.Zoom(text);
    QVERIFY(!done);
    QCOMPARE(p.messages(QStringLiteral("information")), QStringList(message));
    QVERIFY(stateOf(c) == before);
    QCOMPARE(c.CanUndo(), 0);
    QCOMPARE(c.sheet(0).zoom, 1.0);
}

void TestDesignerCommands::specialPasteFlags_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("sameSize");
    QTest::addColumn<bool>("skipBlanks");
    // The source C2:D3 (C3 blank, D3 a formula) pasted at B6: B7 (held "keep") | C7 | B6 | width of column 2.
    QTest::addColumn<QString>("target");
    QTest::newRow("defaults") << 0 << false << false << "|=Sum(B6:B6)|32|72";
    QTest::newRow("texts and values") << 2 << false << false << "|32|32|72";
    QTest::newRow("skip blanks") << 0 << false << true << "keep|=Sum(B6:B6)|32|72";
    QTest::newRow("same size") << 0 << true << false << "|=Sum(B6:B6)|32|120";
}

void TestDesignerCommands::specialPasteFlags()
{
    QFETCH(int, mode);
    QFETCH(bool, sameSize);
    QFETCH(bool, skipBlanks);
    QFETCH(QString, target);
    const auto prepare = [](CellControl& c) {
        fillForm(c);
        c.SetFormula(4, 3, 0, QStringLiteral("Sum(C2:C2)"));
        c.SelectRange(3, 3, 3, 3);
        c.ClearSelection(1);
        c.SetCellString(2, 7, 0, QStringLiteral("keep"));
        c.undoStack()->clear();
    };
    CellControl c;
    prepare(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(3, 2, 4, 3);
    cmd.Copy();
    c.setCurrentCell(2, 6);
    cmd.SpecialPaste(mode, sameSize, skipBlanks);
    const cell::Cell* c7 = at(c, 3, 7);
    const QString shown = QStringLiteral("%1|%2|%3|%4")
                              .arg(c.cellText(2, 7, 0))
                              .arg(c7 && !c7->formula.isEmpty() ? QLatin1Char('=') + c7->formula : c.cellText(3, 7, 0))
                              .replace(stored(QStringLiteral("Sum(B6:B6)")), QStringLiteral("Sum(B6:B6)"))
                              .arg(c.cellText(2, 6, 0))
                              .arg(c.sheet(0).colWidth(2));
    QCOMPARE(shown, target);
    QCOMPARE(c.undoStack()->count(), 1);
    if (mode == 0 && !sameSize && !skipBlanks) {
        // The dialog's defaults paste exactly as the plain paste does.
        CellControl plain;
        prepare(plain);
        DesignerCommands plainCmd(plain, p);
        plain.SelectRange(3, 2, 4, 3);
        plainCmd.Copy();
        plain.setCurrentCell(2, 6);
        plainCmd.Paste();
        QVERIFY(stateOf(plain) == stateOf(c));
    }
}

void TestDesignerCommands::fillAndClearFlags()
{
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    QCOMPARE(DesignerCommands::fillCaption(16), QStringLiteral("重复填充(&P)"));
    QCOMPARE(DesignerCommands::clearCaption(32), QStringLiteral("清除全部(&A)"));
    // Down: the first row over the selection.
    c.SelectRange(2, 2, 3, 5);
    cmd.Fill(1);
    QCOMPARE(c.cellText(2, 5, 0), QStringLiteral("22"));
    QCOMPARE(c.cellText(3, 4, 0), QStringLiteral("32"));
    // Arithmetic series down each column from its first two values.
    c.Undo();
    c.SetCellDouble(2, 3, 0, 30);   // 22, 30 -> 38, 46
    c.SelectRange(2, 2, 2, 5);
    cmd.Fill(32);
    QCOMPARE(c.cellText(2, 5, 0), QStringLiteral("46"));
    // Clearing the content keeps the format; clearing everything does not.
    c.SelectRange(2, 2, 2, 2);
    cmd.Clear(1);
    QVERIFY(at(c, 2, 2)->isBlank());
    QCOMPARE(c.GetCellAlign(2, 2, 0), cell::AlignBottom | cell::AlignLeft);
    cmd.Clear(32);
    QCOMPARE(at(c, 2, 2), nullptr);
    // Pictures only: the content and formats of the selection stay.
    c.addPicture(0, cell::Picture{cell::Range{3, 2, 3, 2}, QByteArray("png")});
    c.SelectRange(3, 2, 3, 2);
    cmd.Clear(16);
    QVERIFY(c.sheet(0).pictures.isEmpty());
    QCOMPARE(c.GetCellAlign(3, 2, 0), int(cell::AlignTop));
    QCOMPARE(c.cellText(3, 2, 0), QStringLiteral("32"));
}

void TestDesignerCommands::oneUndoStepPerCommand_data()
{
    QTest::addColumn<QString>("command");
    for (const char* name : {"bold", "grid", "frame", "mergeRows", "unmerge", "rowSums", "bothSums", "align", "date",
                             "thousands", "insertRow", "appendCols", "sheetSize", "clearAll", "fillRight", "lock"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestDesignerCommands::oneUndoStepPerCommand()
{
    QFETCH(QString, command);
    CellControl c;
    fillForm(c);
    c.SetFormula(6, 2, 0, QStringLiteral("B2*2"));
    c.setHyperlink(6, 3, 0, QStringLiteral("#Sheet1!A1"));
    c.SetDropdownList(6, 4, 0, QStringLiteral("甲\n乙\n"), 2);
    c.undoStack()->clear();
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.SelectRange(1, 1, 6, 8);
    const SheetState before = stateOf(c);
    const QHash<QString, std::function<void()>> run = {
        {QStringLiteral("bold"), [&] { cmd.FontStyle(true, true, false); }},
        {QStringLiteral("grid"), [&] { cmd.DrawGrid(3); }},
        {QStringLiteral("frame"), [&] { cmd.DrawFrame(4); }},
        {QStringLiteral("mergeRows"), [&] { cmd.MergeRows(); }},
        {QStringLiteral("unmerge"), [&] { cmd.Unmerge(); }},
        {QStringLiteral("rowSums"), [&] { cmd.RowSums(); }},
        {QStringLiteral("bothSums"), [&] { cmd.BothSums(); }},
        {QStringLiteral("align"), [&] { cmd.HorizontalAlign(designer::HAlignCenterCode); }},
        {QStringLiteral("date"), [&] { cmd.DateStyle(1, QDate(2024, 2, 29)); }},
        {QStringLiteral("thousands"), [&] { cmd.Thousands(); }},
        {QStringLiteral("insertRow"), [&] { cmd.InsertRows(); }},
        {QStringLiteral("appendCols"), [&] { cmd.AppendCols(); }},
        {QStringLiteral("sheetSize"), [&] { cmd.SetSheetSize(QStringLiteral("3"), QStringLiteral("2")); }},
        {QStringLiteral("clearAll"), [&] { cmd.Clear(32); }},
        {QStringLiteral("fillRight"), [&] { cmd.Fill(2); }},
        {QStringLiteral("lock"), [&] { cmd.Lock(true); }},
    };
    run.value(command)();
    const SheetState after = stateOf(c);
    QVERIFY(!(after == before));
    QCOMPARE(c.undoStack()->count(), 1);
    QCOMPARE(c.CanUndo(), 1);
    c.Undo();
    QVERIFY(stateOf(c) == before);
    QCOMPARE(c.CanUndo(), 0);
    QCOMPARE(c.CanRedo(), 1);
    c.Redo();
    QVERIFY(stateOf(c) == after);
}

void TestDesignerCommands::fixedRowsAndColumns()
{
    CellControl c;
    fillForm(c);
    ScriptedPrompter p;
    DesignerCommands cmd(c, p);
    c.setCurrentCell(3, 4);
    bool mark = false;
    cmd.ToggleFixedRowsCols(mark);
    QVERIFY(mark);
    QCOMPARE(c.sheet(0).fixedCols, 2);
    QCOMPARE(c.sheet(0).fixedRows, 3);
    cmd.ToggleFixedRowsCols(mark);
    QVERIFY(!mark);
    QCOMPARE(c.sheet(0).fixedCols, 0);
    QCOMPARE(c.sheet(0).fixedRows, 0);
    QVERIFY(cmd.Zoom(QStringLiteral("150%")));
    QCOMPARE(c.sheet(0).zoom, 1.5);
    cmd.ShowGrid(false);
    QVERIFY(!c.sheet(0).showGrid);
    cmd.SelectAll();
    int c1, r1, c2, r2;
    c.GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QRect(QPoint(c1, r1), QPoint(c2, r2)), QRect(QPoint(1, 1), QPoint(6, 8)));
}

QTEST_MAIN(TestDesignerCommands)
#include "tst_designer_commands.moc"
