// The data operations behind the control's dialogs: find and replace, sorting by keys, transpose, round-off
// balance, series, fill between sheets, batch formulas, sums and queries. Each is one undo step.

#include "cell/CellControl.h"
#include "cell/Charts.h"
#include "core/QuelmarError.h"

#include <QDate>
#include <QTest>
#include <QUndoStack>

#include <cmath>

using namespace cell;

namespace {

// Writes a block from rows of space-separated items ("_" leaves a cell blank), top-left at (col,row).
void put(CellControl& c, int col, int row, const QStringList& rows)
{
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList items = rows.at(r).split(QLatin1Char(' '));
        for (int i = 0; i < items.size(); ++i)
            if (items.at(i) != QLatin1String("_"))
                c.enterText(col + i, row + r, c.GetCurSheet(), items.at(i), false);
    }
}

// The block as rows of space-separated texts as shown ("_" for blank), joined by " | ".
QString block(const CellControl& c, const Range& r, int sheet = -1)
{
    if (sheet < 0)
        sheet = c.GetCurSheet();
    QStringList rows;
    for (int row = r.row1; row <= r.row2; ++row) {
        QStringList items;
        for (int col = r.col1; col <= r.col2; ++col) {
            const QString t = c.cellText(col, row, sheet);
            items << (t.isEmpty() ? QStringLiteral("_") : t);
        }
        rows << items.join(QLatin1Char(' '));
    }
    return rows.join(QStringLiteral(" | "));
}

QString formulaAt(const CellControl& c, int col, int row)
{
    const Cell* p = c.sheet(c.GetCurSheet()).cellAt(col, row);
    return p ? p->formula : QString();
}

// One undo brings back exactly what was there before.
void checkOneUndoStep(CellControl& c, const QString& before, const Range& r)
{
    c.Undo();
    QCOMPARE(block(c, r), before);
}

} // namespace

class TstCellDataOps : public QObject {
    Q_OBJECT

private slots:
    // ---- find and replace ----------------------------------------------------------------------------------------
    void replaceAll_data()
    {
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("with");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeCell");
        QTest::addColumn<bool>("inFormulas");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("after");
        // A1..D2: "Abc abc 12 =A3*2" / "ab 112 合格 =SUM(C1:C2)", A3 = 5
        QTest::newRow("any case") << "abc" << "X" << false << false << false << 2 << "X X 12 10 | ab 112 合格 124";
        QTest::newRow("match case") << "abc" << "X" << true << false << false << 1 << "Abc X 12 10 | ab 112 合格 124";
        QTest::newRow("whole cell") << "ab" << "甲" << false << true << false << 1 << "Abc abc 12 10 | 甲 112 合格 124";
        QTest::newRow("numbers stay numbers") << "12" << "30" << false << false << false << 2
                                              << "Abc abc 30 10 | ab 130 合格 160";
        QTest::newRow("results are not replaced") << "10" << "x" << false << false << false << 0
                                                  << "Abc abc 12 10 | ab 112 合格 124";
        QTest::newRow("in formulas") << "A3" << "C1" << false << false << true << 1 << "Abc abc 12 24 | ab 112 合格 124";
        QTest::newRow("formula that would break is kept") << "SUM(" << "" << false << false << true << 0
                                                          << "Abc abc 12 10 | ab 112 合格 124";
        QTest::newRow("Chinese") << "合格" << "不合格" << false << false << false << 1
                                 << "Abc abc 12 10 | ab 112 不合格 124";
    }
    void replaceAll()
    {
        QFETCH(QString, find);
        QFETCH(QString, with);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeCell);
        QFETCH(bool, inFormulas);
        QFETCH(int, count);
        QFETCH(QString, after);
        CellControl c;
        c.EnableUndo(1);
        put(c, 1, 1, {QStringLiteral("Abc abc 12 =A3*2"), QStringLiteral("ab 112 合格 =SUM(C1,B2)"),
                      QStringLiteral("5")});
        const Range r{1, 1, 4, 2};
        const QString before = block(c, r);
        const int steps = c.undoStack()->count();
        FindOptions o;
        o.text = find;
        o.matchCase = matchCase;
        o.wholeCell = wholeCell;
        o.inFormulas = inFormulas;
        QCOMPARE(c.replaceAll(o, with), count);
        QCOMPARE(block(c, r), after);
        QCOMPARE(c.undoStack()->count(), steps + (count ? 1 : 0));
        if (count)
            checkOneUndoStep(c, before, r);
    }

    void findNextOrderAndWrap_data()
    {
        QTest::addColumn<bool>("byColumns");
        QTest::addColumn<QString>("visits");
        QTest::newRow("by rows") << false << "C1 B2 A3 C1";
        QTest::newRow("by columns") << true << "A3 B2 C1 A3";
    }
    void findNextOrderAndWrap()
    {
        QFETCH(bool, byColumns);
        QFETCH(QString, visits);
        CellControl c;
        put(c, 1, 1, {QStringLiteral("a b 桩号"), QStringLiteral("x 桩号K1 y"), QStringLiteral("桩号 _ z")});
        c.setCurrentCell(1, 1);
        FindOptions o;
        o.text = QStringLiteral("桩号");
        o.byColumns = byColumns;
        QStringList seen;
        for (int i = 0; i < 4; ++i) {
            QVERIFY(c.findNext(o));
            seen << CellControl::GetCellRef(c.GetCurCol(), c.GetCurRow());
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), visits);
        o.text = QStringLiteral("没有");
        QVERIFY(!c.findNext(o));
        QCOMPARE(CellControl::GetCellRef(c.GetCurCol(), c.GetCurRow()), seen.last());   // stays where it was
    }

    void replaceOneAtATime()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("甲 乙 甲")});
        c.setCurrentCell(1, 1);
        FindOptions o;
        o.text = QStringLiteral("甲");
        QVERIFY(c.replaceCurrent(o, QStringLiteral("丙")));   // replaces A1, moves on to C1
        QCOMPARE(block(c, Range{1, 1, 3, 1}), QStringLiteral("丙 乙 甲"));
        QCOMPARE(c.GetCurCol(), 3);
        QVERIFY(!c.replaceCurrent(o, QStringLiteral("丙")));  // replaces C1; nothing left to find
        QCOMPARE(block(c, Range{1, 1, 3, 1}), QStringLiteral("丙 乙 丙"));
    }

    // ---- sorting -----------------------------------------------------------------------------------------------
    void sortByKeys_data()
    {
        QTest::addColumn<int>("key1");
        QTest::addColumn<bool>("asc1");
        QTest::addColumn<int>("key2");
        QTest::addColumn<bool>("asc2");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QString>("after");
        // rows: name class score; the header row "姓名 班 分"
        QTest::newRow("one key keeps equal rows in order")
            << 2 << true << 0 << true << true << "姓名 班 分 | 乙 1 80 | 丁 1 90 | 甲 2 70 | 丙 2 90 | 戊 _ 60";
        QTest::newRow("two keys") << 2 << true << 3 << false << true
                                  << "姓名 班 分 | 丁 1 90 | 乙 1 80 | 丙 2 90 | 甲 2 70 | 戊 _ 60";
        QTest::newRow("descending, blanks still last") << 2 << false << 3 << true << true
                                                       << "姓名 班 分 | 甲 2 70 | 丙 2 90 | 乙 1 80 | 丁 1 90 | 戊 _ 60";
        QTest::newRow("without header the caption sorts as text")
            << 3 << true << 0 << true << false << "戊 _ 60 | 甲 2 70 | 乙 1 80 | 丙 2 90 | 丁 1 90 | 姓名 班 分";
    }
    void sortByKeys()
    {
        QFETCH(int, key1);
        QFETCH(bool, asc1);
        QFETCH(int, key2);
        QFETCH(bool, asc2);
        QFETCH(bool, header);
        QFETCH(QString, after);
        CellControl c;
        c.EnableUndo(1);
        put(c, 1, 1, {QStringLiteral("姓名 班 分"), QStringLiteral("甲 2 70"), QStringLiteral("乙 1 80"),
                      QStringLiteral("丙 2 90"), QStringLiteral("丁 1 90"), QStringLiteral("戊 _ 60")});
        const Range r{1, 1, 3, 6};
        const QString before = block(c, r);
        QList<SortKey> keys{SortKey{key1, asc1}};
        if (key2)
            keys << SortKey{key2, asc2};
        c.sortRange(r, keys, true, header);
        QCOMPARE(block(c, r), after);
        checkOneUndoStep(c, before, r);
    }

    void sortMovesFormulasAndRefusesMerges()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("3 =A1*10"), QStringLiteral("1 =A2*10"), QStringLiteral("2 =A3*10")});
        c.sortRange(Range{1, 1, 2, 3}, {SortKey{1, true}});
        QCOMPARE(block(c, Range{1, 1, 2, 3}), QStringLiteral("1 10 | 2 20 | 3 30"));
        QCOMPARE(formulaAt(c, 2, 1), QStringLiteral("A1*10"));
        // Columns by a key row.
        put(c, 4, 1, {QStringLiteral("b a c"), QStringLiteral("1 2 3")});
        c.sortRange(Range{4, 1, 6, 2}, {SortKey{1, true}}, false);
        QCOMPARE(block(c, Range{4, 1, 6, 2}), QStringLiteral("a b c | 2 1 3"));
        c.MergeCells(1, 2, 2, 2);
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.sortRange(Range{1, 1, 2, 3}, {SortKey{1, false}}));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.sortRange(Range{4, 1, 6, 2}, {SortKey{9, true}}));
    }

    // ---- transpose ---------------------------------------------------------------------------------------------
    void transposeBlock()
    {
        CellControl c;
        c.EnableUndo(1);
        // A1:C2 with a merged A1:B1, a row total in C2 and a reference to outside (E5).
        put(c, 1, 1, {QStringLiteral("标题 _ 7"), QStringLiteral("2 3 =A2+B2+E5")});
        c.enterText(5, 5, 0, QStringLiteral("100"));
        c.MergeCells(1, 1, 2, 1);
        c.SetCellBorder(1, 2, 0, Left, 4);
        const Range all{1, 1, 3, 3};
        const QString before = block(c, all);
        c.transpose(Range{1, 1, 3, 2});
        QCOMPARE(block(c, all), QStringLiteral("标题 2 _ | _ 3 _ | 7 105 _"));
        QCOMPARE(block(c, Range{1, 1, 2, 3}), QStringLiteral("标题 2 | _ 3 | 7 105"));
        QCOMPARE(formulaAt(c, 2, 3), QStringLiteral("B1+B2+E5"));   // into the block turned, E5 kept
        QVERIFY(c.sheet(0).merges.contains(Range{1, 1, 1, 2}));
        QCOMPARE(c.sheet(0).cellAt(2, 1)->format.border[Top].style, quint8(4));   // the left line is now on top
        QVERIFY(c.cellText(3, 1, 0).isEmpty());   // C1 was not covered by the result: cleared
        checkOneUndoStep(c, before, all);
        QVERIFY(c.sheet(0).merges.contains(Range{1, 1, 2, 1}));
    }

    // Formulas outside the block, on its sheet or another, follow the cells they point at.
    void transposeFollowedFromOutside_data()
    {
        QTest::addColumn<int>("sheet");   // where the formula stands (in G1)
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("value");
        // A1:B2 = 1 2 / 3 4 lands on D1:E2 as 1 3 / 2 4.
        QTest::newRow("one cell follows") << 0 << "=B1*10" << "D2*10" << "20";
        QTest::newRow("absolute cell follows") << 0 << "=$A$2" << "$E$1" << "3";
        QTest::newRow("range inside turns") << 0 << "=SUM(A1:B1)" << "SUM(D1:D2)" << "3";
        QTest::newRow("whole block") << 0 << "=SUM(A1:B2)" << "SUM(D1:E2)" << "10";
        QTest::newRow("range partly inside stays") << 0 << "=COUNT(A1:C1)" << "COUNT(A1:C1)" << "0";
        QTest::newRow("outside stays") << 0 << "=C5+1" << "C5+1" << "1";
        QTest::newRow("from another sheet") << 1 << "=Sheet1!A2+Sheet1!B2" << "Sheet1!E1+Sheet1!E2" << "7";
        QTest::newRow("other sheet's own cell stays") << 1 << "=B1" << "B1" << "0";
    }
    void transposeFollowedFromOutside()
    {
        QFETCH(int, sheet);
        QFETCH(QString, formula);
        QFETCH(QString, after);
        QFETCH(QString, value);
        CellControl c;
        put(c, 1, 1, {QStringLiteral("1 2"), QStringLiteral("3 4")});
        c.insertSheet(1, QStringLiteral("二页"));
        c.SetFormula(7, 1, sheet, formula);
        c.setCurSheet(0);
        c.EnableUndo(1);
        const QString stored = c.sheet(sheet).cellAt(7, 1)->formula;
        c.transpose(Range{1, 1, 2, 2}, 4, 1);
        QCOMPARE(block(c, Range{4, 1, 5, 2}), QStringLiteral("1 3 | 2 4"));
        QCOMPARE(c.sheet(sheet).cellAt(7, 1)->formula, after);
        QCOMPARE(c.cellText(7, 1, sheet), value);
        c.Undo();
        QCOMPARE(c.sheet(sheet).cellAt(7, 1)->formula, stored);
        QCOMPARE(block(c, Range{1, 1, 5, 2}), QStringLiteral("1 2 _ _ _ | 3 4 _ _ _"));
    }

    // Display and colour conditions are formulas too: inside the block they turn, outside they follow.
    void transposeTurnsCellConditions()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("1 2"), QStringLiteral("3 4")});
        CellRules inside;
        inside.showFormula = QStringLiteral("B1*2");
        c.setCellRules(1, 2, 0, inside);        // A2, lands on E1
        CellRules outside;
        outside.colorFormula = QStringLiteral("B1>1");
        outside.textColor = 0xffff0000;
        c.setCellRules(7, 1, 0, outside);       // G1
        c.EnableUndo(1);
        c.transpose(Range{1, 1, 2, 2}, 4, 1);
        QCOMPARE(c.sheet(0).cellAt(5, 1)->rules.showFormula, QStringLiteral("D2*2"));
        QCOMPARE(c.cellText(5, 1, 0), QStringLiteral("4"));
        QCOMPARE(c.sheet(0).cellAt(7, 1)->rules.colorFormula, QStringLiteral("D2>1"));
        c.Undo();
        QCOMPARE(c.sheet(0).cellAt(1, 2)->rules.showFormula, QStringLiteral("B1*2"));
        QCOMPARE(c.sheet(0).cellAt(7, 1)->rules.colorFormula, QStringLiteral("B1>1"));
    }

    // A chart over the block shows the same series after it turned.
    void transposeTurnsChartsOverTheBlock()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("_ 甲 乙"), QStringLiteral("一 1 2"), QStringLiteral("二 3 4")});
        c.insertChart(0, Chart{ChartType::Bar, Range{1, 1, 3, 3}, false, true, QStringLiteral("图"), Range{1, 10, 4, 20}});
        const ChartData before = chartData(c.sheet(0), c.sheet(0).charts.first());
        c.EnableUndo(1);
        c.transpose(Range{1, 1, 3, 3}, 5, 1);
        const Chart& turned = c.sheet(0).charts.first();
        QCOMPARE(turned.data, (Range{5, 1, 7, 3}));
        const ChartData after = chartData(c.sheet(0), turned);
        QCOMPARE(after.categories, before.categories);
        QCOMPARE(after.series.size(), before.series.size());
        for (int i = 0; i < after.series.size(); ++i) {
            QCOMPARE(after.series.at(i).name, before.series.at(i).name);
            QCOMPARE(after.series.at(i).values, before.series.at(i).values);
        }
        c.Undo();
        QCOMPARE(c.sheet(0).charts.first().data, (Range{1, 1, 3, 3}));
    }

    void transposeRefusals()
    {
        CellControl c;   // 10 × 30
        put(c, 1, 1, {QStringLiteral("1 2 3")});
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.transpose(Range{1, 1, 3, 1}, 1, 29));   // leaves the sheet
        c.MergeCells(1, 3, 2, 3);
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.transpose(Range{1, 1, 3, 1}));          // cuts A3:B3
        QCOMPARE(block(c, Range{1, 1, 3, 1}), QStringLiteral("1 2 3"));
        c.transpose(Range{1, 1, 3, 1}, 5, 1);
        QCOMPARE(block(c, Range{5, 1, 5, 3}), QStringLiteral("1 | 2 | 3"));
        QCOMPARE(block(c, Range{1, 1, 3, 1}), QStringLiteral("_ _ _"));
    }

    // ---- round-off balance ----------------------------------------------------------------------------------------
    void roundBalanceKeepsTotals_data()
    {
        QTest::addColumn<QStringList>("table");   // data with a total column and a total row
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("divisor");
        QTest::newRow("thirds") << QStringList{"0.4 0.4 0.4 1.2", "0.4 0.4 0.4 1.2", "0.8 0.8 0.8 2.4"} << 0 << 1.0;
        QTest::newRow("yuan to 10k yuan") << QStringList{"12345 23456 35801", "34567 45678 80245",
                                                         "46912 69134 116046"}
                                          << 1 << 10000.0;
        QTest::newRow("negatives") << QStringList{"-1.25 3.35 2.1", "2.45 -0.15 2.3", "1.2 3.2 4.4"} << 1 << 1.0;
        QTest::newRow("many halves") << QStringList{"0.5 0.5 0.5 0.5 2", "0.5 0.5 0.5 0.5 2", "0.5 0.5 0.5 0.5 2",
                                                    "1.5 1.5 1.5 1.5 6"}
                                     << 0 << 1.0;
    }
    void roundBalanceKeepsTotals()
    {
        QFETCH(QStringList, table);
        QFETCH(int, decimals);
        QFETCH(double, divisor);
        CellControl c;
        c.EnableUndo(1);
        put(c, 2, 2, table);
        const int w = int(table.first().split(QLatin1Char(' ')).size()), h = int(table.size());
        const Range r{2, 2, 1 + w, 1 + h};
        QVector<QVector<double>> exact(h, QVector<double>(w));
        for (int i = 0; i < h; ++i)
            for (int j = 0; j < w; ++j)
                exact[i][j] = std::get<double>(c.sheet(0).cellAt(2 + j, 2 + i)->value) / divisor;
        const QString before = block(c, r);
        c.roundBalance(r, RoundBalanceOptions{decimals, divisor, true, true});
        const double unit = std::pow(10.0, decimals);
        const auto v = [&](int i, int j) { return std::get<double>(c.sheet(0).cellAt(2 + j, 2 + i)->value) * unit; };
        for (int i = 0; i < h; ++i)
            for (int j = 0; j < w; ++j) {
                QVERIFY2(std::abs(v(i, j) - std::nearbyint(v(i, j))) < 1e-6, "rounded to the decimals");
                QVERIFY2(std::abs(v(i, j) - exact[i][j] * unit) < 1.0 + 1e-6, "within one last digit");
            }
        for (int i = 0; i < h; ++i) {
            double s = 0;
            for (int j = 0; j < w - 1; ++j)
                s += v(i, j);
            QCOMPARE(std::nearbyint(s), std::nearbyint(v(i, w - 1)));
        }
        for (int j = 0; j < w; ++j) {
            double s = 0;
            for (int i = 0; i < h - 1; ++i)
                s += v(i, j);
            QCOMPARE(std::nearbyint(s), std::nearbyint(v(h - 1, j)));
        }
        checkOneUndoStep(c, before, r);
    }

    void roundBalanceWithFormulaTotals()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("1.4 1.4 =A1+B1"), QStringLiteral("1.4 1.4 =A2+B2"),
                      QStringLiteral("=A1+A2 =B1+B2 =C1+C2")});
        c.roundBalance(Range{1, 1, 3, 3}, RoundBalanceOptions{0, 1, true, true});
        QCOMPARE(c.cellText(3, 3, 0), QStringLiteral("6"));   // 5.6 rounds to 6: the cells make it up
        double s = 0;
        for (int col = 1; col <= 2; ++col)
            for (int row = 1; row <= 2; ++row)
                s += std::get<double>(c.sheet(0).cellAt(col, row)->value);
        QCOMPARE(s, 6.0);
        QCOMPARE(formulaAt(c, 3, 3), QStringLiteral("C1+C2"));
        put(c, 5, 1, {QStringLiteral("=1+1 2"), QStringLiteral("3 4")});
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.roundBalance(Range{5, 1, 6, 2}, RoundBalanceOptions{}));
    }

    // ---- series --------------------------------------------------------------------------------------------------
    void fillSeries_data()
    {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("stop");   // 0 = none
        QTest::addColumn<QString>("after");
        QTest::newRow("linear") << "1" << 0 << 0 << 2.5 << 0.0 << "1 | 3.5 | 6 | 8.5 | 11";
        QTest::newRow("linear down") << "10" << 0 << 0 << -3.0 << 0.0 << "10 | 7 | 4 | 1 | -2";
        QTest::newRow("stop value") << "1" << 0 << 0 << 2.0 << 6.0 << "1 | 3 | 5 | _ | _";
        QTest::newRow("growth") << "3" << 1 << 0 << 2.0 << 0.0 << "3 | 6 | 12 | 24 | 48";
        QTest::newRow("shrinking growth to a stop") << "100" << 1 << 0 << 0.5 << 10.0 << "100 | 50 | 25 | 12.5 | _";
        QTest::newRow("falling to a stop") << "10" << 0 << 0 << -4.0 << 1.0 << "10 | 6 | 2 | _ | _";
        QTest::newRow("days") << "2024-02-27" << 2 << 0 << 1.0 << 0.0
                              << "2024-02-27 | 2024-02-28 | 2024-02-29 | 2024-03-01 | 2024-03-02";
        QTest::newRow("working days") << "2024-03-01" << 2 << 1 << 1.0 << 0.0
                                      << "2024-03-01 | 2024-03-04 | 2024-03-05 | 2024-03-06 | 2024-03-07";
        QTest::newRow("month ends") << "2024-01-31" << 2 << 2 << 1.0 << 0.0
                                    << "2024-01-31 | 2024-02-29 | 2024-03-31 | 2024-04-30 | 2024-05-31";
        QTest::newRow("years") << "2020-02-29" << 2 << 3 << 1.0 << 0.0
                               << "2020-02-29 | 2021-02-28 | 2022-02-28 | 2023-02-28 | 2024-02-29";
    }
    void fillSeries()
    {
        QFETCH(QString, seed);
        QFETCH(int, type);
        QFETCH(int, unit);
        QFETCH(double, step);
        QFETCH(double, stop);
        QFETCH(QString, after);
        CellControl c;
        c.EnableUndo(1);
        c.enterText(2, 2, 0, seed);
        SeriesOptions o;
        o.type = SeriesType(type);
        o.unit = DateUnit(unit);
        o.step = step;
        o.hasStop = stop != 0;
        o.stop = stop;
        c.fillSeries(Range{2, 2, 2, 6}, o);
        QString shown = block(c, Range{2, 2, 2, 6});
        if (type == 2) {   // dates as ISO text, whatever the cell's date style
            QStringList items;
            for (int row = 2; row <= 6; ++row) {
                const Cell* p = c.sheet(0).cellAt(2, row);
                items << (p ? QDate(1899, 12, 30).addDays(qint64(std::get<double>(p->value))).toString(Qt::ISODate)
                            : QStringLiteral("_"));
            }
            shown = items.join(QStringLiteral(" | "));
        }
        QCOMPARE(shown, after);
        c.Undo();
        QCOMPARE(c.sheet(0).cells.size(), 1);
    }

    void stopBeforeStartIsRefused_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("stop");
        QTest::newRow("rising, stop below") << 2.0 << 4.0;
        QTest::newRow("falling, stop above") << -2.0 << 9.0;
    }
    void stopBeforeStartIsRefused()
    {
        QFETCH(double, step);
        QFETCH(double, stop);
        CellControl c;
        c.EnableUndo(1);
        c.enterText(2, 2, 0, QStringLiteral("5"));
        SeriesOptions o;
        o.step = step;
        o.hasStop = true;
        o.stop = stop;
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.fillSeries(Range{2, 2, 2, 6}, o));
        QCOMPARE(c.sheet(0).cells.size(), 1);
        c.Undo();   // the typing of the seed: the refused fill left no step of its own
        QCOMPARE(c.sheet(0).cells.size(), 0);
    }

    void fillAlongRows()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("1 _ _ _"), QStringLiteral("5 _ _ _"), QStringLiteral("text")});
        SeriesOptions o;
        o.byColumns = false;
        o.step = 5;
        c.fillSeries(Range{1, 1, 4, 3}, o);
        QCOMPARE(block(c, Range{1, 1, 4, 3}), QStringLiteral("1 6 11 16 | 5 10 15 20 | text _ _ _"));
    }

    // ---- fill between sheets, batch formulas ------------------------------------------------------------------------
    void fillBetweenSheetsCopiesToTheSamePlace()
    {
        CellControl c;
        c.EnableUndo(1);
        c.insertSheet(1, QStringLiteral("第二页"));
        c.insertSheet(2, QStringLiteral("第三页"));
        c.setCurSheet(0);
        put(c, 2, 2, {QStringLiteral("甲 =B2&\"方\""), QStringLiteral("1 _")});
        c.MergeCells(2, 3, 3, 3);
        c.fillBetweenSheets(Range{2, 2, 3, 3}, {2, 0});
        QCOMPARE(block(c, Range{2, 2, 3, 3}, 2), QStringLiteral("甲 甲方 | 1 _"));
        QVERIFY(c.sheet(2).merges.contains(Range{2, 3, 3, 3}));
        QVERIFY(c.sheet(1).cells.isEmpty());
        const int steps = c.undoStack()->count();
        c.Undo();
        QCOMPARE(c.undoStack()->index(), steps - 1);
        QVERIFY(c.sheet(2).cells.isEmpty());
    }

    void batchFormula()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("1 2"), QStringLiteral("3 4")});
        c.setFormulaBatch(Range{3, 1, 3, 2}, QStringLiteral("=A1*B1"));
        QCOMPARE(block(c, Range{3, 1, 3, 2}), QStringLiteral("2 | 12"));
        QCOMPARE(formulaAt(c, 3, 2), QStringLiteral("A2*B2"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.setFormulaBatch(Range{4, 1, 4, 2}, QStringLiteral("=SUM(A1")));
        QVERIFY(c.cellText(4, 1, 0).isEmpty());
    }

    // ---- sums and queries -----------------------------------------------------------------------------------------
    void classSum_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QString>("result");
        QTest::newRow("sum") << int(SumFunction::Sum) << true << "部位 方量 | 桥 30 | 涵 5 | 路 7 | 合计 42";
        QTest::newRow("count") << int(SumFunction::Count) << true << "部位 方量 | 桥 2 | 涵 1 | 路 2 | 合计 5";
        QTest::newRow("average") << int(SumFunction::Average) << true << "部位 方量 | 桥 15 | 涵 5 | 路 3.5 | 合计 8.4";
        QTest::newRow("max") << int(SumFunction::Max) << true << "部位 方量 | 桥 20 | 涵 5 | 路 4 | 合计 20";
        QTest::newRow("no header") << int(SumFunction::Sum) << false << "部位 0 | 桥 30 | 涵 5 | 路 7 | 合计 42";
    }
    void classSum()
    {
        QFETCH(int, function);
        QFETCH(bool, header);
        QFETCH(QString, result);
        CellControl c;
        put(c, 1, 1, {QStringLiteral("部位 方量"), QStringLiteral("桥 10"), QStringLiteral("涵 5"),
                      QStringLiteral("桥 20"), QStringLiteral("路 3"), QStringLiteral("路 4"), QStringLiteral("_ 99")});
        ClassSumOptions o;
        o.keyCol = 1;
        o.sumCols = {2};
        o.function = SumFunction(function);
        o.header = header;
        o.toCol = 4;
        o.toRow = 1;
        c.classSum(Range{1, 1, 2, 7}, o);
        QCOMPARE(block(c, Range{4, 1, 5, 5}), result);
        o.toCol = 2;
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.classSum(Range{1, 1, 2, 7}, o));   // would overwrite the data
    }

    void blockSums()
    {
        CellControl c;
        c.EnableUndo(1);
        put(c, 1, 1, {QStringLiteral("1 2 _ 10 20"), QStringLiteral("3 x _ 30 40")});
        c.rangeSum({Range{1, 1, 2, 2}, Range{4, 1, 5, 2}}, 7, 1);
        QCOMPARE(block(c, Range{7, 1, 8, 2}), QStringLiteral("11 22 | 33 40"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.rangeSum({Range{1, 1, 2, 2}, Range{4, 1, 4, 2}}, 7, 1));

        c.insertSheet(1, QStringLiteral("二月"));
        c.insertSheet(2, QStringLiteral("合计"));
        c.setCurSheet(1);
        put(c, 1, 1, {QStringLiteral("5 5"), QStringLiteral("5 5")});
        c.sheetRangeSum({0, 1}, Range{1, 1, 2, 2}, 2);
        QCOMPARE(block(c, Range{1, 1, 2, 2}, 2), QStringLiteral("6 7 | 8 5"));
        const QList<FoundRow> rows = c.queryRows({0, 1}, Range{1, 1, 5, 2},
                                                 Query{{Condition{1, CompareOp::GreaterEqual, QStringLiteral("3")}}, true});
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).sheet, 0);
        QCOMPARE(rows.at(0).row, 2);
        QCOMPARE(rows.at(0).texts.join(QLatin1Char(' ')), QStringLiteral("3 x  30 40"));
        QCOMPARE(rows.at(1).sheet, 1);
    }

    void conditions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("holds");
        QTest::newRow("numbers, not texts") << "10" << int(CompareOp::Greater) << "9" << true;
        QTest::newRow("grouped number") << "1,200" << int(CompareOp::Equal) << "1200" << true;
        QTest::newRow("text order") << "b" << int(CompareOp::Less) << "a" << false;
        QTest::newRow("text equal any case") << "ABC" << int(CompareOp::Equal) << "abc" << true;
        QTest::newRow("contains") << "C30混凝土" << int(CompareOp::Contains) << "C30" << true;
        QTest::newRow("not contains") << "C30混凝土" << int(CompareOp::NotContains) << "C40" << true;
        QTest::newRow("not equal blank") << "" << int(CompareOp::NotEqual) << "" << false;
    }
    void conditions()
    {
        QFETCH(QString, text);
        QFETCH(int, op);
        QFETCH(QString, value);
        QFETCH(bool, holds);
        QCOMPARE(conditionHolds(text, Condition{1, CompareOp(op), value}), holds);
    }

    void formulaListInRowOrder()
    {
        CellControl c;
        put(c, 1, 1, {QStringLiteral("1 =A1+1"), QStringLiteral("=B1*2 x")});
        const QList<FormulaEntry> list = c.formulaList(0);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).formula, QStringLiteral("A1+1"));
        QCOMPARE(list.at(0).result, QStringLiteral("2"));
        QCOMPARE(list.at(1).col, 1);
        QCOMPARE(list.at(1).row, 2);
    }
};

QTEST_GUILESS_MAIN(TstCellDataOps)
#include "tst_cell_dataops.moc"
