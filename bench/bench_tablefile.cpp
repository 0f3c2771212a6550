// Open and save of a 60 × 200 form with formats, the size of the largest forms in use: prints the file size and
// the time of each step (median of several runs).

#include "cell/CellControl.h"
#include "cell/TableFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace cell;

namespace {

Workbook bigForm()
{
    Workbook wb;
    wb.fonts = {QStringLiteral("宋体"), QStringLiteral("黑体"), QStringLiteral("仿宋")};
    wb.colors = {0xffff0000, 0xffeeeeee};
    Sheet s = makeSheet(QStringLiteral("检验表"), 60, 200);
    for (int c = 1; c <= 60; ++c)
        for (int r = 1; r <= 200; ++r) {
            Cell& cell = s.cellRef(c, r);
            for (Line& b : cell.format.border)
                b = Line{2, 0xff000000};
            cell.format.align = (c % 3 == 0) ? AlignHCenter | AlignVCenter : AlignLeft;
            cell.format.fontSize = r < 4 ? 16 : 10;
            cell.format.fontStyle = r < 4 ? 2 : 0;
            if (c % 4 == 0) {
                cell.format.numType = NumNumber;
                cell.format.decimals = 2;
                cell.value = c * 1.25 + r * 0.01;
            } else if (c % 4 == 1) {
                cell.value = QStringLiteral("K%1+%2 桩号检测点").arg(r).arg(c * 20);
            } else if (c % 4 == 2 && r > 1) {
                cell.formula = QStringLiteral("SUM(%1%2:%3%4)")
                                   .arg(CellControl::GetCellRef(c - 1, 1).remove(QRegularExpression("\\d+")))
                                   .arg(r - 1)
                                   .arg(CellControl::GetCellRef(c - 1, 1).remove(QRegularExpression("\\d+")))
                                   .arg(r);
            }
        }
    for (int r = 1; r <= 200; r += 10)
        s.merges << Range{1, r, 3, r};
    wb.sheets = {s};
    return wb;
}

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.cll"));
    const Workbook wb = bigForm();
    const int runs = 15;

    TableFileWriter writer;
    const double write = medianMs(runs, [&] { writer.write(path, tableFilePassword(), wb); });
    const double encode = medianMs(runs, [&] { TableFileWriter::encode(wb, tableFilePassword()); });
    Workbook back;
    TableFileReader reader;
    const double read = medianMs(runs, [&] { reader.read(path, tableFilePassword(), back); });

    CellControl control;
    const double open = medianMs(runs, [&] { control.OpenFile(path, tableFilePassword()); });
    const double save = medianMs(runs, [&] { control.SaveFile(path, 0); });

    // The designer's loops: a format set cell by cell over the whole form, recorded for undo as one step.
    control.EnableUndo(1);
    int style = 0;
    const double loop = medianMs(3, [&] {
        style = style == 2 ? 4 : 2;   // a real change every run: unchanged cells record nothing
        control.beginEditGroup(QStringLiteral("style"));
        for (int c = 1; c <= 60; ++c)
            for (int r = 1; r <= 200; ++r)
                control.SetCellFontStyle(c, r, 0, style);
        control.endEditGroup();
    });
    const double undo = medianMs(1, [&] { control.Undo(); });
    // Typing into a cell that a formula reads: the dependents are recalculated.
    int typed = 0;
    const double typing = medianMs(runs, [&] { control.enterText(1, 100, 0, QString::number(++typed)); });

    std::printf("table file, 60 x 200 form with formats (%lld cells, %d formulas)\n",
                qlonglong(wb.sheets.first().cells.size()), int(std::count_if(wb.sheets.first().cells.cbegin(),
                    wb.sheets.first().cells.cend(), [](const Cell& c) { return !c.formula.isEmpty(); })));
    std::printf("  file size                      %8.1f KB\n", QFileInfo(path).size() / 1024.0);
    std::printf("  encode (in memory)             %8.2f ms\n", encode);
    std::printf("  write (encode + atomic save)   %8.2f ms\n", write);
    std::printf("  read (load + check + parse)    %8.2f ms\n", read);
    std::printf("  CellControl::OpenFile (+calc)  %8.2f ms\n", open);
    std::printf("  CellControl::SaveFile          %8.2f ms\n", save);
    std::printf("  12000 x SetCellFontStyle, undo on %8.2f ms\n", loop);
    std::printf("  undo of those 12000 edits      %8.2f ms\n", undo);
    std::printf("  typing a number (recalc)       %8.2f ms\n", typing);
    std::printf("  (median of %d runs)\n", runs);
    return 0;
}
