// The designer on a 60 × 200 form with formats: opening the window on the file, and bold, border grid, merge by
// row and insert row on a full-sheet selection, each undone again (one step each). Goals: each command and each
// undo under 50 ms, the window open under 300 ms. Runs under the offscreen platform.
// Usage: bench_designer [ROUNDS]
//        bench_designer --show FORM.cll [MENU] : shows the designer on a form (and pops up menu number MENU) for a
//        look under a virtual screen; it closes itself after eight seconds.
#include "app/QuelmarApplication.h"
#include "cell/CellControl.h"
#include "cell/view/CellView.h"
#include "core/ScriptedPrompter.h"
#include "designer/CellDesignerFrm.h"
#include "designer/DesignerCommands.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QUndoStack>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace cell;

namespace {

QString writeBigForm(const QString& dir)
{
    CellControl c;
    c.SetCols(61, 0);
    c.SetRows(201, 0);
    const int heiti = c.FindFontIndex(QStringLiteral("黑体"), 1);
    const int blue = c.FindColorIndex(QColor(0xdd, 0xeb, 0xf7), 1);
    for (int col = 1; col <= 60; ++col)
        c.setColWidth(0, col, col % 5 == 2 ? 120 : 72);
    c.SetCellString(1, 1, 0, QStringLiteral("水泥混凝土面层实测项目检验表"));
    c.SetCellFont(1, 1, 0, heiti);
    c.SetCellFontSize(1, 1, 0, 16);
    c.MergeCells(1, 1, 12, 1);
    c.SelectRange(1, 2, 60, 200);
    c.DrawLine(1, 2, 60, 200, 0, 2, -1);
    for (int row = 2; row <= 200; ++row)
        for (int col = 1; col <= 60; ++col) {
            if (row == 2) {
                c.SetCellString(col, row, 0, QStringLiteral("检查项目%1").arg(col));
                c.SetCellBackColor(col, row, 0, blue);
                c.SetCellAlign(col, row, 0, AlignHCenter | AlignVCenter);
            } else if (col % 3 == 0) {
                c.SetCellDouble(col, row, 0, row * 1.5 + col);
                c.SetCellNumType(col, row, 0, 1);
                c.SetCellDigital(col, row, 0, 2);
            } else {
                c.SetCellString(col, row, 0, QStringLiteral("K%1+%2").arg(row).arg(col * 20));
            }
        }
    for (int row = 3; row <= 200; row += 10)
        c.SetFormula(60, row, 0, QStringLiteral("Sum(C%1:BG%1)").arg(row));
    const QString path = dir + QStringLiteral("/big.cll");
    if (c.SaveFile(path, 0) != 1)
        qFatal("cannot write the form");
    return path;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int show(int argc, char** argv)
{
    QuelmarApplication app(argc, argv);
    QuelmarApplication::setUpProgram();
    ScriptedPrompter prompter;
    designer::DesignerServices s;
    s.prompter = &prompter;
    designer::TCellDesignerFrm frm(s);
    if (!frm.openFile(QString::fromLocal8Bit(argv[2]), QStringLiteral("压实度检验表"), 1))
        qFatal("cannot open the form");
    frm.Cell1().SelectRange(2, 3, 4, 5);
    const int menu = argc > 3 ? atoi(argv[3]) : -1;
    QTimer::singleShot(1000, &frm, [&] {
        const QList<QAction*> menus = frm.menuBar()->actions();
        if (menu >= 0 && menu < menus.size()) {
            frm.menuBar()->setActiveAction(menus.at(menu));
        } else if (menu >= 100) {
            // 100 + k: the drop-down of the k-th drop-down button.
            const QStringList names = {"BarPaste", "BarDrawLine", "BarEraseLine", "BarCurrency", "BarDate",
                                       "BarTime", "BarFill"};
            if (QMenu* m = frm.dropDown(names.value(menu - 100)))
                m->popup(frm.mapToGlobal(QPoint(400, 90)));
        }
    });
    QTimer::singleShot(8000, &app, [] { QApplication::exit(0); });
    frm.show();
    return app.exec();
}

int main(int argc, char** argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--show") == 0)
        return show(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QuelmarApplication app(argc, argv);
    QuelmarApplication::setUpProgram();
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString path = writeBigForm(dir.path());
    ScriptedPrompter prompter;

    std::vector<double> open;
    struct Figure {
        const char* name;
        std::function<void(designer::DesignerCommands&)> run;
        std::vector<double> command, undo;
    };
    std::vector<Figure> figures = {
        {"bold", [](designer::DesignerCommands& c) { c.FontStyle(true, false, false); }, {}, {}},
        {"border grid", [](designer::DesignerCommands& c) { c.DrawGrid(3); }, {}, {}},
        {"merge by row", [](designer::DesignerCommands& c) { c.MergeRows(); }, {}, {}},
        {"insert row", [](designer::DesignerCommands& c) { c.InsertRows(); }, {}, {}},
    };
    for (int round = 0; round < rounds; ++round) {
        designer::DesignerServices s;
        s.prompter = &prompter;
        QElapsedTimer t;
        t.start();
        auto frm = std::make_unique<designer::TCellDesignerFrm>(s);
        frm->resize(1280, 900);
        if (!frm->openFile(path, QStringLiteral("大表"), 0))
            qFatal("cannot open the form");
        frm->show();
        frm->view()->viewport()->repaint();
        QApplication::processEvents();
        open.push_back(t.nsecsElapsed() / 1e6);

        for (Figure& f : figures) {
            frm->commands().SelectAll();
            QApplication::processEvents();
            t.restart();
            f.run(frm->commands());
            frm->view()->viewport()->repaint();
            f.command.push_back(t.nsecsElapsed() / 1e6);
            if (frm->Cell1().undoStack()->count() != 1)
                qFatal("%s was not one undo step", f.name);
            t.restart();
            frm->Cell1().Undo();
            frm->view()->viewport()->repaint();
            f.undo.push_back(t.nsecsElapsed() / 1e6);
            frm->Cell1().undoStack()->clear();
        }
        frm->Cell1().ResetContent();
        frm->hide();
    }
    std::printf("designer on a 60 x 200 form with formats, median of %d rounds (goal: command / undo < 50 ms, "
                "open < 300 ms)\n",
                rounds);
    std::printf("  %-14s %8.1f ms\n", "window open", median(open));
    for (const Figure& f : figures)
        std::printf("  %-14s %8.1f ms   undo %8.1f ms\n", f.name, median(f.command), median(f.undo));
    return 0;
}
