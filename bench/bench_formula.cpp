// Formula engine figures: loading (parse + first calculation), CalculateAll and single edits over a sheet of
// 100,000 formula cells of the kinds forms use: =A{n}+B{n}*2, row sums, a running total chained down 25,000 rows,
// and a pass/fail verdict per row.

#include "cell/formula/FormulaEngine.h"

#include <QElapsedTimer>
#include <QTextStream>

using namespace cell;
using namespace cell::formula;

namespace {

constexpr int Rows = 25000;

double ms(QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main()
{
    QTextStream out(stdout);
    Workbook wb;
    wb.sheets = {makeSheet(QStringLiteral("Sheet1"), 10, Rows)};
    Sheet& sh = wb.sheets[0];
    for (int r = 1; r <= Rows; ++r) {
        sh.cellRef(1, r).value = double(r);
        sh.cellRef(2, r).value = double(r % 97) / 2;
        sh.cellRef(3, r).formula = QStringLiteral("A%1+B%1*2").arg(r);
        sh.cellRef(4, r).formula = QStringLiteral("SUM(A%1:C%1)").arg(r);
        sh.cellRef(5, r).formula = r == 1 ? QStringLiteral("D1") : QStringLiteral("E%1+D%2").arg(r - 1).arg(r);
        sh.cellRef(6, r).formula = QStringLiteral("IF(ROUND(D%1,1)>=100,\"合格\",\"不合格\")").arg(r);
    }
    FormulaEngine engine(wb);
    QElapsedTimer t;

    t.start();
    engine.rebuild();
    out << "formula cells:                    " << engine.formulaCount() << "\n";
    out << "rebuild (parse + calculate all):  " << ms(t) << " ms\n";

    for (int i = 0; i < 3; ++i) {
        t.start();
        engine.recalculateAll();
        out << "CalculateAll:                     " << ms(t) << " ms\n";
    }

    t.start();
    sh.cellRef(1, Rows).value = 1.0;
    engine.cellChanged(0, 1, Rows);
    out << "edit of the last row (4 cells):   " << ms(t) << " ms\n";

    t.start();
    sh.cellRef(1, 1).value = 2.0;
    engine.cellChanged(0, 1, 1);
    out << "edit of row 1 (25,003 dependents): " << ms(t) << " ms\n";

    t.start();
    engine.setFormula(0, 8, 1, QStringLiteral("SUM(D1:D%1)").arg(Rows));
    out << "new SUM over 25,000 formulas:     " << ms(t) << " ms\n";

    const Cell* last = sh.cellAt(5, Rows);
    out << "check: E" << Rows << " = " << valueText(last ? last->value : Value()) << "\n";

    t.start();
    engine.insertRows(0, 2, 1);
    out << "insert a row (rewrite + rebuild): " << ms(t) << " ms\n";

    return 0;
}
