#include "cell/CellControl.h"
#include "core/QuelmarError.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QTest>

using namespace cell;

namespace {

// The cells of column `col` (or row `row` when col is 0) from `from` to `to` as compact text: numbers as they
// print, texts as they are, blanks as "_".
QString column(const CellControl& c, int col, int from, int to)
{
    QStringList out;
    for (int r = from; r <= to; ++r) {
        const QString t = c.cellText(col, r, c.GetCurSheet());
        out << (t.isEmpty() ? QStringLiteral("_") : t);
    }
    return out.join(QLatin1Char(' '));
}

QString row(const CellControl& c, int r, int from, int to)
{
    QStringList out;
    for (int col = from; col <= to; ++col) {
        const QString t = c.cellText(col, r, c.GetCurSheet());
        out << (t.isEmpty() ? QStringLiteral("_") : t);
    }
    return out.join(QLatin1Char(' '));
}

// Fills column `col` from row `from` with the space-separated items ("_" leaves a cell blank).
void setColumn(CellControl& c, int col, int from, const QString& items)
{
    const QStringList list = items.split(QLatin1Char(' '));
    for (int i = 0; i < list.size(); ++i)
        if (list.at(i) != QLatin1String("_"))
            c.enterText(col, from + i, 0, list.at(i));
}

const Cell& cellAt(const CellControl& c, int col, int r)
{
    static const Cell blank;
    const Cell* p = c.sheet(c.GetCurSheet()).cellAt(col, r);
    return p ? *p : blank;
}

} // namespace

// The control operations the designer and the header filling rely on.
class TstCellModel : public QObject {
    Q_OBJECT

private slots:
    void parseCellRef_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::newRow("B8") << "B8" << true << 2 << 8;
        QTest::newRow("lower case") << "c8" << true << 3 << 8;
        QTest::newRow("mixed case") << "aB3" << true << 28 << 3;
        QTest::newRow("two letters") << "AA12" << true << 27 << 12;
        QTest::newRow("last column") << "IV1" << true << 256 << 1;
        QTest::newRow("last row") << "A65535" << true << 1 << 65535;
        QTest::newRow("leading zero row") << "B08" << true << 2 << 8;
        QTest::newRow("empty") << "" << false << 0 << 0;
        QTest::newRow("digits only") << "8" << false << 0 << 0;
        QTest::newRow("letters only") << "B" << false << 0 << 0;
        QTest::newRow("row 0") << "B0" << false << 0 << 0;
        QTest::newRow("column 257") << "IW1" << false << 0 << 0;
        QTest::newRow("row 65536") << "A65536" << false << 0 << 0;
        QTest::newRow("huge row") << "A99999999999" << false << 0 << 0;
        QTest::newRow("digits first") << "8B" << false << 0 << 0;
        QTest::newRow("blank inside") << "B 8" << false << 0 << 0;
        QTest::newRow("leading blank") << " B8" << false << 0 << 0;
        QTest::newRow("trailing blank") << "B8 " << false << 0 << 0;
        QTest::newRow("sign") << "B-8" << false << 0 << 0;
        QTest::newRow("absolute") << "$B$8" << false << 0 << 0;
        QTest::newRow("full-width letters") << "Ｂ8" << false << 0 << 0;
        QTest::newRow("five letters") << "AAAAA1" << false << 0 << 0;
        QTest::newRow("dotless i") << "ıV1" << false << 0 << 0;
    }
    void parseCellRef()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, col);
        QFETCH(int, row);
        int c = -7, r = -7;
        QCOMPARE(CellControl::ParseCellRef(text, c, r), ok);
        QCOMPARE(c, ok ? col : -7);   // untouched on failure
        QCOMPARE(r, ok ? row : -7);
    }

    void cellRefRoundTrip()
    {
        QCOMPARE(CellControl::GetCellRef(2, 8), QStringLiteral("B8"));
        QCOMPARE(CellControl::GetCellRef(26, 1), QStringLiteral("Z1"));
        QCOMPARE(CellControl::GetCellRef(27, 1), QStringLiteral("AA1"));
        QCOMPARE(CellControl::GetCellRef(52, 1), QStringLiteral("AZ1"));
        QCOMPARE(CellControl::GetCellRef(256, 65535), QStringLiteral("IV65535"));
        for (int col = 1; col <= MaxCols; ++col) {
            int c = 0, r = 0;
            QVERIFY(CellControl::ParseCellRef(CellControl::GetCellRef(col, 7), c, r));
            QCOMPARE(c, col);
        }
    }

    void headerFillWritesAtAParsedReference()
    {
        // "3.项目经理" at row "8", column "c": the letters are case-free.
        CellControl c;
        int col = 0, r = 0;
        QVERIFY(CellControl::ParseCellRef(QStringLiteral("c") + QStringLiteral("8"), col, r));
        c.SetCellString(col, r, c.GetCurSheet(), QStringLiteral("张三"));
        QCOMPARE(c.cellText(3, 8, 0), QStringLiteral("张三"));
        QCOMPARE(c.IsModified(), 1);
        // A stored position outside the sheet writes nothing and does not grow the sheet.
        c.SetCellString(40, 8, 0, QStringLiteral("x"));
        c.SetCellString(3, 500, 0, QStringLiteral("x"));
        QCOMPARE(c.GetCols(0), 11);
        QCOMPARE(c.GetRows(0), 31);
        QCOMPARE(c.sheet(0).cells.size(), 1);
        // SetCellString always stores text, also for digits.
        c.SetCellString(1, 1, 0, QStringLiteral("0012"));
        QVERIFY(std::holds_alternative<QString>(cellAt(c, 1, 1).value));
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("0012"));
    }

    void dropdownLists()
    {
        CellControl c;
        c.SetDropdownList(2, 3, 0, QString(), 2);
        c.SetDropdownList(2, 3, 0, QStringLiteral("甲公司\n乙公司\n"), 2);
        QCOMPARE(cellAt(c, 2, 3).dropdown, QStringLiteral("甲公司\n乙公司\n"));
        QCOMPARE(cellAt(c, 2, 3).dropdownKind, 2);
        c.SetDropdownList(2, 3, 0, QString(), 2);
        QVERIFY(cellAt(c, 2, 3).dropdown.isEmpty());
        QCOMPARE(cellAt(c, 2, 3).dropdownKind, 0);
        QVERIFY(c.sheet(0).cells.isEmpty());   // nothing left of the cell
    }

    void enterTextActsLikeTyping_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kind");   // 0 empty, 1 number, 2 text
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("shown");
        QTest::newRow("integer") << "12" << 1 << 12.0 << "12";
        QTest::newRow("negative decimal") << "-3.25" << 1 << -3.25 << "-3.25";
        QTest::newRow("grouped") << "1,234.5" << 1 << 1234.5 << "1234.5";
        QTest::newRow("percent") << "12%" << 1 << 0.12 << "12%";
        QTest::newRow("exponent") << "1e3" << 1 << 1000.0 << "1000";
        QTest::newRow("text") << "合格" << 2 << 0.0 << "合格";
        QTest::newRow("station") << "K12+300" << 2 << 0.0 << "K12+300";
        QTest::newRow("apostrophe keeps digits") << "'0012" << 2 << 0.0 << "0012";
        QTest::newRow("bad grouping") << "1,23" << 2 << 0.0 << "1,23";
        QTest::newRow("inf is text") << "inf" << 2 << 0.0 << "inf";
        QTest::newRow("empty clears") << "" << 0 << 0.0 << "";
    }
    void enterTextActsLikeTyping()
    {
        QFETCH(QString, typed);
        QFETCH(int, kind);
        QFETCH(double, number);
        QFETCH(QString, shown);
        CellControl c;
        c.SetCellString(2, 2, 0, QStringLiteral("old"));
        QVERIFY(c.enterText(2, 2, 0, typed));
        const Value& v = cellAt(c, 2, 2).value;
        QCOMPARE(int(v.index()), kind == 0 ? 0 : (kind == 1 ? 1 : 2));
        if (kind == 1)
            QCOMPARE(std::get<double>(v), number);
        QCOMPARE(c.cellText(2, 2, 0), shown);
    }

    void lockedCellsRefuseTyping()
    {
        CellControl c;
        c.SetCellInput(1, 1, 0, 5);
        QVERIFY(!c.enterText(1, 1, 0, QStringLiteral("x")));
        QVERIFY(cellAt(c, 1, 1).isBlank());
        QVERIFY(c.enterText(1, 1, 0, QStringLiteral("x"), false));   // the program itself may write
        c.SetCellString(1, 2, 0, QStringLiteral("程序写入"));
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("x"));
    }

    void formatsAreStored()
    {
        CellControl c;
        const int font = c.FindFontIndex(QStringLiteral("黑体"), 1);
        QCOMPARE(font, 1);
        QCOMPARE(c.FindFontIndex(QStringLiteral("黑体"), 0), 1);
        QCOMPARE(c.FindFontIndex(QStringLiteral("楷体"), 0), -1);
        const int red = c.FindColorIndex(QColor(255, 0, 0), 1);
        QCOMPARE(c.FindColorIndex(QColor(255, 0, 0), 0), red);
        QCOMPARE(c.FindColorIndex(QColor(0, 0, 255), 0), -1);
        c.SetCellFont(1, 1, 0, font);
        c.SetCellFontSize(1, 1, 0, 14);
        c.SetCellFontStyle(1, 1, 0, 2 | 4);
        c.SetCellTextColor(1, 1, 0, red);
        c.SetCellBackColor(1, 1, 0, red);
        c.SetCellAlign(1, 1, 0, AlignRight | AlignBottom);
        c.SetCellTextStyle(1, 1, 0, 2);
        c.SetCellSeparator(1, 1, 0, 2);
        c.SetCellNumType(1, 1, 0, NumNumber);
        c.SetCellCurrency(2, 1, 0, 2);
        c.SetCellDateStyle(3, 1, 0, 12);
        c.SetCellTimeStyle(3, 1, 0, 5);
        c.SetCellBorder(1, 1, 0, 3, 4);
        const CellFormat& f = cellAt(c, 1, 1).format;
        QCOMPARE(f.font, font);
        QCOMPARE(f.fontSize, 14);
        QCOMPARE(f.fontStyle, 6);
        QCOMPARE(f.textColor, red);
        QCOMPARE(f.backColor, red);
        QCOMPARE(c.GetCellAlign(1, 1, 0), AlignRight | AlignBottom);
        QCOMPARE(f.textStyle, 2);
        QCOMPARE(f.separator, 2);
        QCOMPARE(f.numType, int(NumNumber));
        QCOMPARE(f.border[Bottom].style, quint8(4));
        QCOMPARE(cellAt(c, 2, 1).format.numType, int(NumCurrency));
        QCOMPARE(cellAt(c, 3, 1).format.dateStyle, 12);
        QCOMPARE(cellAt(c, 3, 1).format.timeStyle, 5);
        // Unknown table indexes are ignored rather than stored.
        c.SetCellFont(1, 1, 0, 99);
        c.SetCellTextColor(1, 1, 0, 99);
        QCOMPARE(cellAt(c, 1, 1).format.font, font);
        QCOMPARE(cellAt(c, 1, 1).format.textColor, red);
    }

    void linesAreDrawnAndErased()
    {
        CellControl c;
        c.DrawLine(2, 2, 4, 3, 1, 3, -1);   // frame
        QCOMPARE(cellAt(c, 2, 2).format.border[Left].style, quint8(3));
        QCOMPARE(cellAt(c, 2, 2).format.border[Top].style, quint8(3));
        QCOMPARE(cellAt(c, 3, 2).format.border[Left].style, quint8(0));   // inside: no line
        QCOMPARE(cellAt(c, 4, 3).format.border[Right].style, quint8(3));
        QCOMPARE(cellAt(c, 4, 3).format.border[Bottom].style, quint8(3));
        // A line set on the neighbour's side disappears too when the edge is erased.
        c.SetCellBorder(5, 2, 0, Left, 2);
        c.ClearLine(2, 2, 4, 3, 3);   // right lines of the range
        QCOMPARE(cellAt(c, 4, 2).format.border[Right].style, quint8(0));
        QCOMPARE(cellAt(c, 5, 2).format.border[Left].style, quint8(0));
        QCOMPARE(cellAt(c, 2, 2).format.border[Left].style, quint8(3));
        c.DrawLine(2, 5, 2, 5, 6, 2, -1);
        c.DrawLine(2, 5, 2, 5, 7, 2, -1);
        QCOMPARE(cellAt(c, 2, 5).format.diagonal[0].style, quint8(2));
        QCOMPARE(cellAt(c, 2, 5).format.diagonal[1].style, quint8(2));
        c.ClearLine(2, 5, 2, 5, 6);
        QCOMPARE(cellAt(c, 2, 5).format.diagonal[0].style, quint8(0));
        QCOMPARE(cellAt(c, 2, 5).format.diagonal[1].style, quint8(2));
        c.ClearLine(1, 1, 10, 30, 0);
        c.ClearLine(1, 1, 10, 30, 7);
        QVERIFY(c.sheet(0).cells.isEmpty());
    }

    void merges()
    {
        CellControl c;
        c.MergeCells(2, 2, 3, 3);
        int c1, r1, c2, r2;
        QVERIFY(c.GetMergeRange(3, 3, c1, r1, c2, r2));
        QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({2, 2, 3, 3}));
        QVERIFY(c.GetMergeRange(5, 5, c1, r1, c2, r2));
        QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({5, 5, 5, 5}));
        // A merge over an existing block absorbs it whole.
        c.MergeCells(3, 3, 5, 3);
        QCOMPARE(c.sheet(0).merges.size(), 1);
        QVERIFY(c.sheet(0).merges.first() == (Range{2, 2, 5, 3}));
        // Row merges of the designer's "行组合": one block per row.
        c.MergeCells(2, 6, 4, 6);
        c.MergeCells(2, 7, 4, 7);
        QCOMPARE(c.sheet(0).merges.size(), 3);
        // Unmerging cell by cell as the designer does.
        for (int col = 2; col <= 4; ++col)
            for (int r = 6; r <= 7; ++r) {
                c.GetMergeRange(col, r, c1, r1, c2, r2);
                c.UnmergeCells(c1, r1, c2, r2);
            }
        QCOMPARE(c.sheet(0).merges.size(), 1);
        // Rows inserted inside a block grow it; deleting its rows shrinks it; a block cut to one cell is gone.
        c.InsertRow(3, 2, 0);
        QVERIFY(c.sheet(0).merges.first() == (Range{2, 2, 5, 5}));
        c.DeleteCol(3, 3, 0);
        QVERIFY(c.sheet(0).merges.first() == (Range{2, 2, 2, 5}));
        c.DeleteRow(3, 3, 0);
        QVERIFY(c.sheet(0).merges.isEmpty());
    }

    void rowsColumnsAndSize()
    {
        CellControl c;
        c.SetCellString(2, 2, 0, QStringLiteral("B2"));
        c.SetCellString(2, 5, 0, QStringLiteral("B5"));
        c.InsertRow(3, 2, 0);
        QCOMPARE(c.GetRows(0), 33);
        QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("B2"));
        QCOMPARE(c.cellText(2, 7, 0), QStringLiteral("B5"));
        QCOMPARE(c.sheet(0).rowHeights.size(), 33);
        c.InsertRow(c.GetRows(0), 3, 0);   // "追加行": after the last
        QCOMPARE(c.GetRows(0), 36);
        c.DeleteRow(2, 1, 0);
        QCOMPARE(c.cellText(2, 6, 0), QStringLiteral("B5"));
        c.InsertCol(1, 1, 0);
        QCOMPARE(c.cellText(3, 6, 0), QStringLiteral("B5"));
        QCOMPARE(c.GetCols(0), 12);
        c.DeleteCol(1, 2, 0);
        QCOMPARE(c.cellText(1, 6, 0), QStringLiteral("B5"));
        QCOMPARE(c.sheet(0).colWidths.size(), 10);
        // The sheet-size dialog: 8 columns and 20 rows give counts 9 and 21.
        c.SetCols(8 + 1, 0);
        c.SetRows(20 + 1, 0);
        QCOMPARE(c.GetCols(0), 9);
        QCOMPARE(c.GetRows(0), 21);
        // "设置表格大小" at column 3, row 5: the sheet ends there, cells beyond are gone.
        c.SetCellString(4, 2, 0, QStringLiteral("beyond"));
        c.SetCellString(3, 5, 0, QStringLiteral("corner"));
        c.SetCols(3 + 1, 0);
        c.SetRows(5 + 1, 0);
        QCOMPARE(c.GetCols(0), 4);
        QCOMPARE(c.GetRows(0), 6);
        QCOMPARE(c.sheet(0).cells.size(), 1);
        QCOMPARE(c.cellText(3, 5, 0), QStringLiteral("corner"));
        // Limits: clamped sizes, refused inserts, never an empty sheet.
        c.SetCols(1000, 0);
        QCOMPARE(c.GetCols(0), MaxCols + 1);
        c.SetRows(0, 0);
        QCOMPARE(c.GetRows(0), 2);
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.InsertCol(1, 1, 0));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.InsertRow(1, INT_MAX, 0));   // no overflow of the count
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.DeleteRow(1, 1, 0));
    }

    void formulasFollowInsertedAndDeletedRows()
    {
        CellControl c;
        setColumn(c, 2, 2, QStringLiteral("1 2 3"));
        c.SetFormula(2, 6, 0, QStringLiteral("Sum(B2:B4)"));
        QCOMPARE(c.cellText(2, 6, 0), QStringLiteral("6"));
        c.InsertRow(3, 1, 0);
        c.enterText(2, 3, 0, QStringLiteral("10"));
        QCOMPARE(cellAt(c, 2, 7).formula, QStringLiteral("SUM(B2:B5)"));
        QCOMPARE(c.cellText(2, 7, 0), QStringLiteral("16"));
        c.DeleteRow(2, 4, 0);
        QCOMPARE(c.cellText(2, 3, 0), QStringLiteral("#REF!"));
        // Editing a referenced cell recalculates its dependents at once.
        CellControl d;
        d.enterText(1, 1, 0, QStringLiteral("4"));
        d.enterText(1, 2, 0, QStringLiteral("=A1*2"));
        d.enterText(1, 1, 0, QStringLiteral("5"));
        QCOMPARE(d.cellText(1, 2, 0), QStringLiteral("10"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, d.SetFormula(1, 3, 0, QStringLiteral("SUM(A1")));
        QVERIFY(cellAt(d, 1, 3).isBlank());
    }

    void sorting_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("sorted");
        QTest::newRow("ascending, numbers before text, blanks last")
            << 1 << "b 10 _ 2 a 1" << "1 2 10 a b _";
        QTest::newRow("descending keeps blanks last") << 0 << "b 10 _ 2 a 1" << "b a 10 2 1 _";
        QTest::newRow("already sorted") << 1 << "1 2 3" << "1 2 3";
    }
    void sorting()
    {
        QFETCH(int, order);
        QFETCH(QString, keys);
        QFETCH(QString, sorted);
        CellControl c;
        setColumn(c, 2, 1, keys);
        const int n = int(keys.split(' ').size());
        // A tag in column 3 moves with its row.
        for (int r = 1; r <= n; ++r)
            c.SetCellString(3, r, 0, QStringLiteral("r%1").arg(r));
        c.SortRow(order, 2, 2, 1, 3, n);
        QCOMPARE(column(c, 2, 1, n), sorted);
        // Every row kept its tag: the whole row moved, not just the key.
        for (int r = 1; r <= n; ++r) {
            const int from = c.cellText(3, r, 0).mid(1).toInt();
            QCOMPARE(column(c, 2, r, r), keys.split(' ').at(from - 1));
        }
    }

    void sortingIsStableAndMovesFormatsAndFormulas()
    {
        CellControl c;
        setColumn(c, 1, 1, QStringLiteral("2 1 2 1"));
        setColumn(c, 2, 1, QStringLiteral("a b c d"));
        c.SetCellFontStyle(2, 3, 0, 2);   // "c" is bold
        c.SetFormula(3, 1, 0, QStringLiteral("A1*10"));
        c.SortRow(1, 1, 1, 1, 3, 4);
        QCOMPARE(column(c, 2, 1, 4), QStringLiteral("b d a c"));
        QCOMPARE(cellAt(c, 2, 4).format.fontStyle, 2);
        QCOMPARE(cellAt(c, 3, 3).formula, QStringLiteral("A3*10"));   // still its own row
        QCOMPARE(c.cellText(3, 3, 0), QStringLiteral("20"));
        // Columns by a key row.
        CellControl d;
        d.enterText(1, 2, 0, QStringLiteral("3"));
        d.enterText(2, 2, 0, QStringLiteral("1"));
        d.enterText(3, 2, 0, QStringLiteral("2"));
        d.SetCellString(1, 3, 0, QStringLiteral("x"));
        d.SortCol(1, 2, 1, 2, 3, 3);
        QCOMPARE(row(d, 2, 1, 3), QStringLiteral("1 2 3"));
        QCOMPARE(row(d, 3, 1, 3), QStringLiteral("_ _ x"));
        // A key outside the range and a single cell do nothing; a range through a merged block is refused.
        d.SortCol(0, 9, 1, 2, 3, 3);
        QCOMPARE(row(d, 2, 1, 3), QStringLiteral("1 2 3"));
        d.SortRow(1, 1, 1, 2, 1, 2);
        QCOMPARE(d.IsModified(), 1);
        d.MergeCells(2, 5, 3, 5);
        QVERIFY_THROWS_EXCEPTION(QuelmarError, d.SortRow(1, 2, 1, 4, 3, 6));
    }

    void fills_data()
    {
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("seed");     // column B from row 1
        QTest::addColumn<int>("rows");         // selection B1:B<rows>
        QTest::addColumn<QString>("result");
        QTest::newRow("down") << 1 << "5 _ 7" << 4 << "5 5 5 5";
        QTest::newRow("up") << 4 << "_ _ x" << 3 << "x x x";
        QTest::newRow("repeat one") << 16 << "合格" << 3 << "合格 合格 合格";
        QTest::newRow("repeat pattern") << 16 << "a b" << 5 << "a b a b a";
        QTest::newRow("arithmetic by step") << 32 << "1 3" << 5 << "1 3 5 7 9";
        QTest::newRow("arithmetic from one") << 32 << "7" << 3 << "7 8 9";
        QTest::newRow("arithmetic text") << 32 << "第1层" << 3 << "第1层 第2层 第3层";
        QTest::newRow("geometric") << 64 << "2 6" << 4 << "2 6 18 54";
        QTest::newRow("geometric from one") << 64 << "1" << 4 << "1 2 4 8";
        QTest::newRow("series of plain text copies nothing") << 32 << "abc" << 3 << "abc _ _";
    }
    void fills()
    {
        QFETCH(int, flag);
        QFETCH(QString, seed);
        QFETCH(int, rows);
        QFETCH(QString, result);
        CellControl c;
        setColumn(c, 2, 1, seed);
        c.SelectRange(2, 1, 2, rows);
        c.FillSelection(flag);
        QCOMPARE(column(c, 2, 1, rows), result);
    }

    void fillsAcrossAndWithFormulas()
    {
        CellControl c;
        c.enterText(1, 1, 0, QStringLiteral("1"));
        c.enterText(1, 2, 0, QStringLiteral("2"));
        c.SetFormula(2, 1, 0, QStringLiteral("A1*2"));
        c.SetCellFontStyle(2, 1, 0, 4);
        c.SelectRange(2, 1, 2, 2);
        c.FillSelection(1);
        QCOMPARE(cellAt(c, 2, 2).formula, QStringLiteral("A2*2"));
        QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("4"));
        QCOMPARE(cellAt(c, 2, 2).format.fontStyle, 4);
        c.SelectRange(1, 1, 4, 1);
        c.FillSelection(2);
        QCOMPARE(row(c, 1, 1, 4), QStringLiteral("1 1 1 1"));
        c.SelectRange(1, 5, 3, 5);
        c.enterText(1, 5, 0, QStringLiteral("10"));
        c.enterText(2, 5, 0, QStringLiteral("20"));
        c.FillSelection(32);   // one row: along the row
        QCOMPARE(row(c, 5, 1, 3), QStringLiteral("10 20 30"));
    }

    void clears_data()
    {
        QTest::addColumn<int>("flag");
        QTest::addColumn<bool>("valueLeft");
        QTest::addColumn<bool>("formulaLeft");
        QTest::addColumn<bool>("linkLeft");
        QTest::addColumn<bool>("formatLeft");
        QTest::addColumn<bool>("pictureLeft");
        QTest::newRow("content") << 1 << false << false << true << true << true;
        QTest::newRow("formulas") << 2 << true << false << true << true << true;
        QTest::newRow("hyperlinks") << 4 << true << true << false << true << true;
        QTest::newRow("formats") << 8 << true << true << true << false << true;
        QTest::newRow("pictures") << 16 << true << true << true << true << false;
        QTest::newRow("all") << 32 << false << false << false << false << false;
        QTest::newRow("content and formats") << 9 << false << false << true << false << true;
    }
    void clears()
    {
        QFETCH(int, flag);
        QFETCH(bool, valueLeft);
        QFETCH(bool, formulaLeft);
        QFETCH(bool, linkLeft);
        QFETCH(bool, formatLeft);
        QFETCH(bool, pictureLeft);
        CellControl c;
        c.enterText(1, 1, 0, QStringLiteral("5"));          // a value
        c.SetFormula(1, 2, 0, QStringLiteral("A1+1"));       // a formula
        c.setHyperlink(1, 3, 0, QStringLiteral("#A1"));
        c.SetCellString(1, 3, 0, QStringLiteral("链接"));
        for (int r = 1; r <= 3; ++r)
            c.SetCellFontStyle(1, r, 0, 2);
        c.addPicture(0, Picture{Range{1, 1, 2, 2}, QByteArray("png")});
        c.enterText(5, 5, 0, QStringLiteral("outside"));
        c.SelectRange(1, 1, 1, 3);
        c.ClearSelection(flag);
        QCOMPARE(!cellAt(c, 1, 1).isBlank(), valueLeft);
        QCOMPARE(!cellAt(c, 1, 2).formula.isEmpty(), formulaLeft);
        QCOMPARE(!cellAt(c, 1, 3).hyperlink.isEmpty(), linkLeft);
        QCOMPARE(cellAt(c, 1, 1).format.fontStyle == 2, formatLeft);
        QCOMPARE(!c.sheet(0).pictures.isEmpty(), pictureLeft);
        QCOMPARE(c.cellText(5, 5, 0), QStringLiteral("outside"));
    }

    void pasteModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("blankFlag");
        QTest::addColumn<QString>("texts");      // D1 D2 D3 after the paste
        QTest::addColumn<QString>("formula");    // D2's formula
        QTest::addColumn<bool>("bold");          // D1 bold
        QTest::newRow("all") << 0 << 1 << "7 8 _" << "D1+1" << true;
        QTest::newRow("formulas") << 1 << 1 << "7 8 _" << "D1+1" << false;
        QTest::newRow("texts and values") << 2 << 1 << "7 8 _" << "" << false;
        QTest::newRow("formats") << 3 << 1 << "old old old" << "" << true;
        QTest::newRow("all, skipping blanks") << 0 << 0 << "7 8 old" << "D1+1" << true;
    }
    void pasteModes()
    {
        QFETCH(int, mode);
        QFETCH(int, blankFlag);
        QFETCH(QString, texts);
        QFETCH(QString, formula);
        QFETCH(bool, bold);
        CellControl c;
        c.enterText(2, 1, 0, QStringLiteral("7"));
        c.SetFormula(2, 2, 0, QStringLiteral("B1+1"));
        c.SetCellFontStyle(2, 1, 0, 2);
        c.SetCellString(4, 1, 0, QStringLiteral("old"));
        for (int r = 1; r <= 3; ++r)
            c.SetCellString(4, r, 0, QStringLiteral("old"));
        c.CopyRange(2, 1, 2, 3);
        c.PasteRange(4, 1, mode, 1, blankFlag);
        QStringList shown;
        for (int r = 1; r <= 3; ++r)
            shown << (c.cellText(4, r, 0).isEmpty() ? QStringLiteral("_") : c.cellText(4, r, 0));
        QCOMPARE(shown.join(' '), texts);
        QCOMPARE(cellAt(c, 4, 2).formula, formula);
        // A pasted formula reads the cell above its new place: changing D1 changes it.
        if (!formula.isEmpty()) {
            c.enterText(4, 1, 0, QStringLiteral("100"));
            QCOMPARE(c.cellText(4, 2, 0), QStringLiteral("101"));
        }
        QCOMPARE(cellAt(c, 4, 1).format.fontStyle == 2, bold);
        // The source stays as it was.
        QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("8"));
    }

    void pasteSizesAndCut()
    {
        CellControl c;
        c.setColWidth(0, 2, 150);
        c.setRowHeight(0, 1, 40);
        c.enterText(2, 1, 0, QStringLiteral("x"));
        c.MergeCells(2, 2, 3, 2);
        c.CopyRange(2, 1, 3, 2);
        c.PasteRange(5, 5, 0, 1, 1);
        QCOMPARE(c.sheet(0).colWidth(5), 72);
        QVERIFY(c.sheet(0).merges.contains(Range{5, 6, 6, 6}));
        c.PasteRange(5, 10, 0, 0, 1);   // same sizes as the source
        QCOMPARE(c.sheet(0).colWidth(5), 150);
        QCOMPARE(c.sheet(0).rowHeight(10), 40);
        // Cut moves the cells once; the formula pointing at them keeps its own text.
        c.enterText(1, 20, 0, QStringLiteral("3"));
        c.CutRange(1, 20, 1, 20);
        QCOMPARE(c.cellText(1, 20, 0), QStringLiteral("3"));   // still there until pasted
        c.PasteRange(2, 20, 0, 1, 1);
        QVERIFY(cellAt(c, 1, 20).isBlank());
        QCOMPARE(c.cellText(2, 20, 0), QStringLiteral("3"));
        c.PasteRange(3, 20, 0, 1, 1);
        QVERIFY(cellAt(c, 3, 20).isBlank());
        // A special paste of a cut range copies: the source keeps its content.
        c.CutRange(2, 20, 2, 20);
        c.PasteRange(4, 20, 2, 1, 1);
        QCOMPARE(c.cellText(2, 20, 0), QStringLiteral("3"));
        QCOMPARE(c.cellText(4, 20, 0), QStringLiteral("3"));
    }

    void cutAndPasteMovesReferences()
    {
        CellControl c;
        c.EnableUndo(1);
        c.insertSheet(1, QStringLiteral("附表"));
        c.setCurSheet(0);
        setColumn(c, 1, 1, QStringLiteral("10 20 =A1+A2"));
        c.enterText(3, 1, 0, QStringLiteral("7"));
        c.SetFormula(2, 5, 0, QStringLiteral("SUM(A1:A3)"));   // the whole block: follows
        c.SetFormula(2, 6, 0, QStringLiteral("C1*2"));         // a cell the block lands on: #REF!
        c.SetFormula(2, 7, 0, QStringLiteral("SUM(A1:A5)"));   // partly inside: stays
        c.SetFormula(1, 1, 1, QStringLiteral("Sheet1!A2"));    // from another sheet: follows
        auto formulas = [&] {
            QStringList out;
            for (const auto& [s, ref] : {std::pair{0, "A3"}, {0, "C3"}, {0, "B5"}, {0, "B6"}, {0, "B7"}, {1, "A1"},
                                         {1, "B4"}}) {
                int col = 0, r = 0;
                CellControl::ParseCellRef(QString::fromLatin1(ref), col, r);
                const Cell* cell = c.sheet(s).cellAt(col, r);
                out << (cell && !cell->formula.isEmpty() ? cell->formula : QStringLiteral("_"));
            }
            return out.join(QLatin1Char(' '));
        };
        const QString before = formulas();
        QCOMPARE(before, QStringLiteral("A1+A2 _ SUM(A1:A3) C1*2 SUM(A1:A5) Sheet1!A2 _"));
        QCOMPARE(column(c, 2, 5, 7), QStringLiteral("60 14 60"));
        const int steps = c.undoStack()->count();

        c.CutRange(1, 1, 1, 3);
        c.PasteRange(3, 1, 0, 1, 1);
        QCOMPARE(formulas(), QStringLiteral("_ C1+C2 SUM(C1:C3) #REF!*2 SUM(A1:A5) Sheet1!C2 _"));
        QCOMPARE(column(c, 1, 1, 3), QStringLiteral("_ _ _"));
        QCOMPARE(column(c, 3, 1, 3), QStringLiteral("10 20 30"));
        QCOMPARE(column(c, 2, 5, 7), QStringLiteral("60 #REF! 0"));
        QCOMPARE(c.cellText(1, 1, 1), QStringLiteral("20"));
        // the moved cells are read at their new place
        c.enterText(3, 2, 0, QStringLiteral("5"));
        QCOMPARE(c.cellText(3, 3, 0), QStringLiteral("15"));
        QCOMPARE(c.cellText(1, 1, 1), QStringLiteral("5"));

        // one undo step for the move, and undo puts every rewritten formula back
        c.Undo();
        c.Undo();
        QCOMPARE(c.undoStack()->count() - c.undoStack()->index(), 2);
        QCOMPARE(formulas(), before);
        QCOMPARE(column(c, 1, 1, 3), QStringLiteral("10 20 30"));
        QCOMPARE(column(c, 2, 5, 7), QStringLiteral("60 14 60"));
        QCOMPARE(c.cellText(1, 1, 1), QStringLiteral("20"));
        c.Redo();
        QCOMPARE(formulas(), QStringLiteral("_ C1+C2 SUM(C1:C3) #REF!*2 SUM(A1:A5) Sheet1!C2 _"));
        c.Undo();
        QCOMPARE(c.undoStack()->index(), steps);

        // to another sheet, in one undo step as well
        c.CutRange(1, 1, 1, 3);
        c.setCurSheet(1);
        c.PasteRange(2, 2, 0, 1, 1);
        QCOMPARE(c.undoStack()->index(), steps + 1);
        QCOMPARE(formulas(), QStringLiteral("_ _ SUM(附表!B2:B4) C1*2 SUM(A1:A5) 附表!B3 B2+B3"));
        QCOMPARE(c.cellText(2, 4, 1), QStringLiteral("30"));
        QCOMPARE(c.cellText(1, 1, 1), QStringLiteral("20"));
        QVERIFY(!c.sheet(0).cellAt(1, 1));
        c.Undo();
        QCOMPARE(formulas(), before);
        QCOMPARE(c.sheet(0).cellAt(1, 2)->value, Value(20.0));
    }

    void cutMovesWhatIsThereAtThePaste()
    {
        CellControl c;
        c.enterText(1, 1, 0, QStringLiteral("old"));
        c.enterText(1, 3, 0, QStringLiteral("x"));
        c.CutRange(1, 1, 1, 2);
        c.enterText(1, 1, 0, QStringLiteral("new"));   // edited after the cut: the new text moves
        c.PasteRange(2, 1, 0, 1, 1);
        QCOMPARE(column(c, 1, 1, 3), QStringLiteral("_ _ x"));
        QCOMPARE(column(c, 2, 1, 2), QStringLiteral("new _"));
        // skipping blanks is a special paste: it copies, and the cut stays for a plain paste
        c.SetFormula(4, 1, 0, QStringLiteral("B1"));
        c.CutRange(2, 1, 2, 2);
        c.PasteRange(3, 1, 0, 1, 0);
        QCOMPARE(row(c, 1, 2, 4), QStringLiteral("new new new"));
        QCOMPARE(cellAt(c, 4, 1).formula, QStringLiteral("B1"));
        c.PasteRange(5, 1, 0, 1, 1);
        QCOMPARE(row(c, 1, 2, 5), QStringLiteral("_ new new new"));
        QCOMPARE(cellAt(c, 4, 1).formula, QStringLiteral("E1"));
        // a cut whose workbook or sheet went away pastes as a copy and clears nothing
        c.CutRange(5, 1, 5, 1);
        c.ResetContent();
        c.enterText(5, 1, 0, QStringLiteral("kept"));
        c.PasteRange(1, 1, 0, 1, 1);
        QCOMPARE(row(c, 1, 1, 5), QStringLiteral("new _ _ _ kept"));
        c.insertSheet(1, QStringLiteral("二"));
        c.setCurSheet(1);
        c.enterText(1, 1, 1, QStringLiteral("on two"));
        c.CutRange(1, 1, 1, 1);
        c.setCurSheet(0);
        c.removeSheet(1);
        c.insertSheet(1, QStringLiteral("三"));
        c.setCurSheet(1);
        c.enterText(1, 1, 1, QStringLiteral("on three"));
        c.PasteRange(2, 1, 0, 1, 1);
        QCOMPARE(row(c, 1, 1, 2), QStringLiteral("on three on two"));
    }

    void pasteBetweenControls()
    {
        CellControl a, b;
        a.SetCellString(1, 1, 0, QStringLiteral("甲"));
        a.CopyRange(1, 1, 1, 1);
        b.PasteRange(2, 2, 0, 1, 1);
        QCOMPARE(b.cellText(2, 2, 0), QStringLiteral("甲"));
    }

    void undoAndRedo()
    {
        CellControl c;
        QCOMPARE(c.CanUndo(), 0);
        c.SetCellString(1, 1, 0, QStringLiteral("not recorded"));
        QCOMPARE(c.CanUndo(), 0);   // recording is off until EnableUndo(1)
        c.EnableUndo(1);
        c.SetCellString(1, 1, 0, QStringLiteral("a"));
        c.SetCellFontStyle(1, 1, 0, 2);
        c.InsertRow(1, 2, 0);
        c.MergeCells(1, 5, 2, 6);
        c.SetFormula(2, 3, 0, QStringLiteral("LEN(A3)"));
        QCOMPARE(c.cellText(2, 3, 0), QStringLiteral("1"));
        const QString finalA3 = c.cellText(1, 3, 0);
        QCOMPARE(c.CanUndo(), 1);
        QCOMPARE(c.CanRedo(), 0);
        for (int i = 0; i < 5; ++i)
            c.Undo();
        QCOMPARE(c.CanUndo(), 0);
        QCOMPARE(c.CanRedo(), 1);
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("not recorded"));
        QCOMPARE(cellAt(c, 1, 1).format.fontStyle, 0);
        QCOMPARE(c.GetRows(0), 31);
        QVERIFY(c.sheet(0).merges.isEmpty());
        for (int i = 0; i < 5; ++i)
            c.Redo();
        QCOMPARE(c.cellText(1, 3, 0), finalA3);
        QCOMPARE(cellAt(c, 1, 3).format.fontStyle, 2);
        QCOMPARE(c.GetRows(0), 33);
        QCOMPARE(c.sheet(0).merges.size(), 1);
        QCOMPARE(c.cellText(2, 3, 0), QStringLiteral("1"));
        // Undoing a value edit recalculates the formulas that read it.
        c.SetCellString(1, 3, 0, QStringLiteral("abcd"));
        QCOMPARE(c.cellText(2, 3, 0), QStringLiteral("4"));
        c.Undo();
        QCOMPARE(c.cellText(2, 3, 0), QStringLiteral("1"));
        // A new edit drops the redo history; a group is one step.
        c.beginEditGroup(QStringLiteral("粗体"));
        for (int col = 1; col <= 3; ++col)
            c.SetCellFontStyle(col, 1, 0, 2);
        c.endEditGroup();
        QCOMPARE(c.CanRedo(), 0);
        c.Undo();
        QCOMPARE(cellAt(c, 3, 1).format.fontStyle, 0);
        QCOMPARE(cellAt(c, 1, 1).format.fontStyle, 0);
    }

    // An edit group is one step of the sheets before and after it: nested groups make one, a group that changed
    // nothing none; the views hear of the group's cells once; an edit that throws inside still leaves one step
    // that undoes what was done.
    void editGroups()
    {
        CellControl c;
        c.EnableUndo(1);
        QSignalSpy cells(&c, &CellControl::cellsChanged);
        {
            CellControl::EditGroup outer(c, QStringLiteral("外"));
            for (int col = 1; col <= 5; ++col)
                c.SetCellFontStyle(col, 2, 0, 2);
            {
                CellControl::EditGroup inner(c, QStringLiteral("内"));
                c.MergeCells(1, 4, 3, 4);
                c.SetCellString(2, 2, 0, QStringLiteral("甲"));
            }
            QCOMPARE(c.undoStack()->count(), 0);
        }
        QCOMPARE(c.undoStack()->count(), 1);
        QCOMPARE(c.undoStack()->text(0), QStringLiteral("外"));
        // One notice for the in-place cell edits before the merge, one from the merge, one at the end.
        QVERIFY(cells.count() <= 3);
        c.Undo();
        QCOMPARE(cellAt(c, 5, 2).format.fontStyle, 0);
        QVERIFY(c.sheet(0).merges.isEmpty());
        QCOMPARE(c.cellText(2, 2, 0), QString());
        c.Redo();
        QCOMPARE(cellAt(c, 5, 2).format.fontStyle, 2);
        QCOMPARE(c.sheet(0).merges.size(), 1);
        QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("甲"));
        {
            CellControl::EditGroup nothing(c, QStringLiteral("无"));
            c.SetCellFontStyle(5, 2, 0, 2);   // already so
        }
        QCOMPARE(c.undoStack()->count(), 1);
        try {
            CellControl::EditGroup failing(c, QStringLiteral("失败"));
            c.SetCellDouble(1, 1, 0, 7);
            c.removeSheet(0);   // the last sheet: refused
            QFAIL("the last sheet was removed");
        } catch (const QuelmarError&) {
        }
        QCOMPARE(c.undoStack()->count(), 2);
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("7"));
        c.Undo();
        QCOMPARE(c.cellText(1, 1, 0), QString());
    }

    void modifiedState()
    {
        QTemporaryDir dir;
        CellControl c;
        QSignalSpy spy(&c, &CellControl::modifiedChanged);
        QCOMPARE(c.IsModified(), 0);
        c.SetCellDouble(1, 1, 0, 2.5);
        QCOMPARE(c.IsModified(), 1);
        QCOMPARE(c.SaveFile(dir.filePath("m.cll"), 0), 1);
        QCOMPARE(c.IsModified(), 0);
        c.SetCellDouble(1, 1, 0, 2.5);             // the same value again: no change
        c.SetDropdownList(2, 2, 0, QString(), 2);  // removing a list that is not there
        QCOMPARE(c.IsModified(), 0);
        c.SetCellDouble(1, 1, 0, 3.5);
        c.ResetContent();
        QCOMPARE(c.IsModified(), 0);
        QVERIFY(c.GetFileName().isEmpty());
        QCOMPARE(c.cellText(1, 1, 0), QString());
        QCOMPARE(spy.count(), 4);
    }

    void viewOptions()
    {
        CellControl c;
        c.ShowRowLabel(0, 0);
        c.ShowColLabel(0, 0);
        c.ShowGridLine(0, 0);
        c.ShowHScroll(0, 0);
        c.ShowVScroll(0, 0);
        c.ShowSheetLabel(0, 0);
        c.SetScreenScale(0, 1.5);
        c.setCurrentCell(3, 5);
        c.SetFixedCols(1, c.GetCurCol() - 1);
        c.SetFixedRows(1, c.GetCurRow() - 1);
        const Sheet& s = c.sheet(0);
        QVERIFY(!s.showRowLabel && !s.showColLabel && !s.showGrid && !s.showHScroll && !s.showVScroll);
        QVERIFY(!c.workbook().showSheetLabel);
        QCOMPARE(s.zoom, 1.5);
        QCOMPARE(s.fixedCols, 2);
        QCOMPARE(s.fixedRows, 4);
        c.SetFixedCols(0, -1);
        c.SetFixedRows(0, -1);
        QCOMPARE(c.sheet(0).fixedCols, 0);
        QCOMPARE(c.sheet(0).fixedRows, 0);
        // Select all, as the designer does it.
        c.SelectRange(1, 1, c.GetCols(0) - 1, c.GetRows(0) - 1);
        int c1, r1, c2, r2;
        c.GetSelectRange(c1, r1, c2, r2);
        QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({1, 1, 10, 30}));
        c.SetViewerOption(0);
        QVERIFY(!c.viewerOption());
        c.ResetContent();
        QVERIFY(c.viewerOption());
    }

    void viewOptionsModifyOnlyWhenTheyChange_data()
    {
        // op: which setting; `same` sets what a new workbook has, `other` changes it
        QTest::addColumn<int>("op");
        QTest::newRow("row labels") << 0;
        QTest::newRow("column labels") << 1;
        QTest::newRow("grid") << 2;
        QTest::newRow("horizontal scroll bar") << 3;
        QTest::newRow("vertical scroll bar") << 4;
        QTest::newRow("sheet tabs") << 5;
        QTest::newRow("zoom") << 6;
        QTest::newRow("fixed columns") << 7;
        QTest::newRow("fixed rows") << 8;
    }
    void viewOptionsModifyOnlyWhenTheyChange()
    {
        QFETCH(int, op);
        auto apply = [op](CellControl& c, bool change) {
            const int show = change ? 0 : 1;
            switch (op) {
            case 0: c.ShowRowLabel(show, 0); break;
            case 1: c.ShowColLabel(show, 0); break;
            case 2: c.ShowGridLine(show, 0); break;
            case 3: c.ShowHScroll(show, 0); break;
            case 4: c.ShowVScroll(show, 0); break;
            case 5: c.ShowSheetLabel(show, 0); break;
            case 6: c.SetScreenScale(0, change ? 1.25 : 1.0); break;
            case 7: change ? c.SetFixedCols(1, 2) : c.SetFixedCols(0, 3); break;
            case 8: change ? c.SetFixedRows(1, 2) : c.SetFixedRows(1, 0); break;
            }
        };
        auto state = [](const CellControl& c) {
            const Sheet& s = c.sheet(0);
            return QList<double>{double(s.showRowLabel), double(s.showColLabel), double(s.showGrid),
                                 double(s.showHScroll), double(s.showVScroll), double(c.workbook().showSheetLabel),
                                 s.zoom, double(s.fixedCols), double(s.fixedRows)};
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("v.cll"));
        CellControl c;
        c.enterText(1, 1, 0, QStringLiteral("x"));
        QCOMPARE(c.SaveFile(path, 0), 1);
        const QList<double> fresh = state(c);
        QSignalSpy modified(&c, &CellControl::modifiedChanged);
        QSignalSpy layout(&c, &CellControl::layoutChanged);
        apply(c, false);
        apply(c, false);
        QCOMPARE(c.IsModified(), 0);
        QCOMPARE(modified.count(), 0);
        QCOMPARE(layout.count(), 0);
        QCOMPARE(state(c), fresh);
        // a setting that changes is an edit, and it is saved with the file
        apply(c, true);
        QCOMPARE(c.IsModified(), 1);
        QCOMPARE(layout.count(), 1);
        const QList<double> changed = state(c);
        QVERIFY(changed != fresh);
        QCOMPARE(c.SaveFile(path, 0), 1);
        apply(c, true);
        QCOMPARE(c.IsModified(), 0);
        CellControl reopened;
        QCOMPARE(reopened.OpenFile(path, tableFilePassword()), 1);
        QCOMPARE(state(reopened), changed);
    }

    void sheets()
    {
        CellControl c;
        c.EnableUndo(1);
        QCOMPARE(c.insertSheet(1, QStringLiteral("数据")), 1);
        c.enterText(1, 1, 1, QStringLiteral("21"));
        c.SetFormula(1, 1, 0, QStringLiteral("数据!A1*2"));
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("42"));
        c.renameSheet(1, QStringLiteral("实测"));
        QVERIFY(cellAt(c, 1, 1).formula.contains(QStringLiteral("实测")));
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("42"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.renameSheet(0, QStringLiteral("实测")));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.renameSheet(0, QStringLiteral("a:b")));
        c.removeSheet(1);
        QCOMPARE(c.workbook().sheets.size(), 1);
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("#REF!"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.removeSheet(0));
        c.Undo();   // the sheet comes back, and the formula with it
        QCOMPARE(c.workbook().sheets.size(), 2);
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("42"));
        c.Undo();
        QCOMPARE(c.sheet(1).name, QStringLiteral("数据"));
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("42"));
    }

    void printingNeedsAFileAndABackend()
    {
        CellControl c;
        QCOMPARE(c.PrintSheet(0, 0), 0);   // no file: nothing happens
        c.PrintPreview(1, 0);
        QTemporaryDir dir;
        QCOMPARE(c.SaveFile(dir.filePath("p.cll"), 0), 1);
        CellControl::setPrintBackend(nullptr);
        try {
            c.PrintSheet(0, 0);
            QFAIL("printing without a backend must fail");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), QStringLiteral("打印功能不可用"));
        }
        struct Recorder : CellPrintBackend {
            QStringList calls;
            int printSheet(CellControl&, int withDialog, int sheet) override
            {
                calls << QStringLiteral("print %1 %2").arg(withDialog).arg(sheet);
                return 1;
            }
            void preview(CellControl&, int sheet) override { calls << QStringLiteral("preview %1").arg(sheet); }
            void pageSetup(CellControl&) override { calls << QStringLiteral("setup"); }
        } rec;
        CellControl::setPrintBackend(&rec);
        c.SetPrintCopies(3);
        QCOMPARE(c.PrintSheet(1, 0), 1);
        c.PrintPreviewEx(0, 0, true);
        c.PrintPageSetup();
        CellControl::setPrintBackend(nullptr);
        QCOMPARE(rec.calls, QStringList({"print 1 0", "preview 0", "setup"}));
        QCOMPARE(c.sheet(0).page.copies, 3);
        QCOMPARE(c.IsModified(), 0);
    }
};

QTEST_GUILESS_MAIN(TstCellModel)
#include "tst_cell_model.moc"
