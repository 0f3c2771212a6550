// The data operations of the control's dialogs on forms of real size: replace-all over 12,000 cells, a sort of
// 5,000 rows by two keys, a transpose in a form of 4,000 formulas (each of which may point into the block), and the
// Excel export and import of a 60 × 200 form with charts (median of several runs).

#include "cell/CellControl.h"
#include "cell/excel/ExcelExport.h"
#include "cell/excel/ExcelImport.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace cell;

namespace {

template <typename F> double medianMs(int runs, F f)
{
    QList<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        t << timer.nsecsElapsed() / 1e6;
    }
    std::sort(t.begin(), t.end());
    return t.at(t.size() / 2);
}

// 60 × 200 cells: texts, numbers with formats, row totals, borders, merges in the heading.
void fillForm(CellControl& c)
{
    c.SetCols(61, 0);
    c.SetRows(201, 0);
    Sheet s = c.sheet(0);
    for (int col = 1; col <= 60; ++col)
        for (int r = 1; r <= 200; ++r) {
            Cell& cell = s.cellRef(col, r);
            for (Line& b : cell.format.border)
                b = Line{2, 0xff000000};
            if (col % 3 == 0) {
                cell.value = col * 1.5 + r;
                cell.format.numType = NumNumber;
                cell.format.decimals = 2;
            } else if (col % 3 == 1) {
                cell.value = QStringLiteral("K%1+%2 检测点 合格").arg(r).arg(col * 20);
            } else if (r > 1) {
                cell.formula = QStringLiteral("%1*2").arg(CellControl::GetCellRef(col + 1, r));
            }
        }
    for (int r = 1; r <= 200; r += 20)
        s.merges << Range{1, r, 2, r};
    c.replaceSheet(0, s, QStringLiteral("form"));
    c.CalculateAll();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const int runs = 9;

    // Replace-all over 12,000 cells (every text cell holds the word), undo recording on as in the designer.
    CellControl form;
    form.EnableUndo(1);
    fillForm(form);
    FindOptions o;
    o.text = QStringLiteral("合格");
    bool flip = false;
    int replaced = 0;
    const double replace = medianMs(runs, [&] {
        o.text = flip ? QStringLiteral("不符") : QStringLiteral("合格");
        replaced = form.replaceAll(o, flip ? QStringLiteral("合格") : QStringLiteral("不符"));
        flip = !flip;
    });
    // The same where all 12,000 cells match.
    CellControl every;
    every.EnableUndo(1);
    every.SetCols(61, 0);
    every.SetRows(201, 0);
    {
        Sheet s = every.sheet(0);
        for (int col = 1; col <= 60; ++col)
            for (int r = 1; r <= 200; ++r)
                s.cellRef(col, r).value = QStringLiteral("第%1层 e").arg(r);
        every.replaceSheet(0, s, QStringLiteral("texts"));
    }
    FindOptions all;
    all.matchCase = true;
    int everyCount = 0;
    bool up = false;
    const double replaceEvery = medianMs(runs, [&] {
        all.text = up ? QStringLiteral("E") : QStringLiteral("e");
        everyCount = every.replaceAll(all, up ? QStringLiteral("e") : QStringLiteral("E"));
        up = !up;
    });

    // Sort of 5,000 rows by two keys.
    CellControl table;
    table.EnableUndo(1);
    table.SetCols(7, 0);
    table.SetRows(5001, 0);
    {
        Sheet s = table.sheet(0);
        for (int r = 1; r <= 5000; ++r) {
            s.cellRef(1, r).value = QStringLiteral("部位%1").arg((r * 7919) % 37);
            s.cellRef(2, r).value = double((r * 104729) % 1000);
            for (int col = 3; col <= 6; ++col)
                s.cellRef(col, r).value = double(r * col);
        }
        table.replaceSheet(0, s, QStringLiteral("rows"));
    }
    bool asc = true;
    const double sort = medianMs(runs, [&] {
        table.sortRange(Range{1, 1, 6, 5000}, {SortKey{1, asc}, SortKey{2, !asc}});
        asc = !asc;
    });

    // Transpose of a 30 × 30 block of the form, back and forth: every formula of the workbook is looked at.
    CellControl turn;
    turn.EnableUndo(1);
    fillForm(turn);
    const double transposeMs = medianMs(runs, [&] { turn.transpose(Range{1, 1, 30, 30}); });

    // Excel export and import of the 60 × 200 form, with three charts over its numbers.
    form.insertChart(0, Chart{ChartType::Bar, Range{3, 1, 9, 40}, false, false, QStringLiteral("柱形"), Range{1, 150, 8, 170}});
    form.insertChart(0, Chart{ChartType::Line, Range{3, 1, 9, 40}, true, false, QStringLiteral("折线"), Range{9, 150, 16, 170}});
    form.insertChart(0, Chart{ChartType::Pie, Range{3, 1, 3, 12}, false, false, QStringLiteral("饼"), Range{17, 150, 22, 170}});
    const QString xlsx = dir.filePath(QStringLiteral("form.xlsx"));
    const double exportMs = medianMs(runs, [&] { excel::exportXlsx(form.workbook(), xlsx); });
    excel::ImportReport report;
    const double importMs = medianMs(runs, [&] { excel::importFile(xlsx, &report); });

    std::printf("dialog operations\n");
    std::printf("  replace-all, 4,000 of 12,000 cells match   %8.2f ms (%d replaced)\n", replace, replaced);
    std::printf("  replace-all, all 12,000 cells match        %8.2f ms (%d replaced)\n",
                replaceEvery, everyCount);
    std::printf("  sort of 5,000 rows by two keys             %8.2f ms\n", sort);
    std::printf("  transpose of 30 x 30 among 4,000 formulas  %8.2f ms\n", transposeMs);
    std::printf("  Excel export of a 60 x 200 form, 3 charts  %8.2f ms\n", exportMs);
    std::printf("  Excel import of that file                  %8.2f ms (%d cells, %d formulas)\n", importMs,
                report.cells, report.formulas);
    std::printf("  (median of %d runs)\n", runs);
    return 0;
}
