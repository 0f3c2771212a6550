// Developer tool: shows a CellView on a demo workbook and opens one of the control's dialogs over it, then saves
// a screenshot of the screen and closes everything. Run it under Xvfb to look at a dialog:
//   xvfb-run -a -s "-screen 0 1280x900x24" build/tests/dialog_driver Sort /tmp/sort.png [TAB]
// TAB, when given, is the page of the dialog's tab widget to show (FormatCell has six).
// With "list" it prints the dialog names. "pdf FILE.pdf" writes the demo sheet (with charts and a picture) to PDF,
// "xlsx FILE.xlsx" to Excel.

#include "cell/CellControl.h"
#include "cell/PdfExport.h"
#include "cell/excel/ExcelExport.h"
#include "cell/view/CellView.h"
#include "designer/ControlDialogs.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLibraryInfo>
#include <QTabWidget>
#include <QTranslator>
#include <QMainWindow>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cstdio>

using designer::ControlDialog;

namespace {

const QList<QPair<const char*, ControlDialog>> Dialogs{
    {"Find", ControlDialog::FindReplace},          {"Replace", ControlDialog::FindReplace},
    {"Hyperlink", ControlDialog::Hyperlink},       {"SpecialChar", ControlDialog::SpecialChar},
    {"FillBetweenSheets", ControlDialog::FillBetweenSheets}, {"BackPicture", ControlDialog::BackPicture},
    {"FormatCell", ControlDialog::FormatCell},     {"Line", ControlDialog::Line},
    {"FormulaInput", ControlDialog::FormulaInput}, {"BatchFormula", ControlDialog::BatchFormula},
    {"FillFormulaSerial", ControlDialog::FillFormulaSerial}, {"ShowFormula", ControlDialog::ShowFormula},
    {"ColorFormula", ControlDialog::ColorFormula}, {"FormulaList", ControlDialog::FormulaList},
    {"Transpose", ControlDialog::Transpose},       {"RoundBalance", ControlDialog::RoundBalance},
    {"Sort", ControlDialog::Sort},                 {"RangeQuery", ControlDialog::RangeQuery},
    {"RangeSum", ControlDialog::RangeSum},         {"ClassSum", ControlDialog::ClassSum},
    {"SheetRangeSum", ControlDialog::SheetRangeSum}, {"SheetRangeView", ControlDialog::SheetRangeView},
    {"SheetRangeQuery", ControlDialog::SheetRangeQuery}, {"BookQuery", ControlDialog::BookQuery},
    {"ChartWizard", ControlDialog::ChartWizard},   {"FillSerial", ControlDialog::FillSerial},
    {"ImportExcel", ControlDialog::ImportExcel},   {"InsertPicture", ControlDialog::InsertPicture},
    {"ExportExcel", ControlDialog::ExportExcel},   {"ExportPdf", ControlDialog::ExportPdf},
};

QByteArray demoPicture()
{
    QImage img(160, 100, QImage::Format_RGB32);
    img.fill(QColor(0xe8, 0xf0, 0xe0));
    QPainter p(&img);
    p.setPen(QPen(QColor(0, 120, 0), 4));
    p.drawEllipse(QRect(20, 10, 120, 80));
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("LOGO"));
    p.end();
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}

void demo(cell::CellControl& c)
{
    c.SetCellString(1, 1, 0, QStringLiteral("分部工程产值统计表"));
    c.MergeCells(1, 1, 5, 1);
    c.SetCellFontStyle(1, 1, 0, 2);
    c.SetCellFontSize(1, 1, 0, 14);
    c.SetCellAlign(1, 1, 0, cell::AlignHCenter);
    const QStringList head{QStringLiteral("部位"), QStringLiteral("一季度"), QStringLiteral("二季度"),
                           QStringLiteral("三季度"), QStringLiteral("合计")};
    for (int i = 0; i < head.size(); ++i)
        c.SetCellString(1 + i, 2, 0, head.at(i));
    const QStringList parts{QStringLiteral("路基"), QStringLiteral("路面"), QStringLiteral("桥梁"), QStringLiteral("涵洞"),
                            QStringLiteral("路基"), QStringLiteral("桥梁")};
    for (int r = 0; r < parts.size(); ++r) {
        c.SetCellString(1, 3 + r, 0, parts.at(r));
        for (int q = 0; q < 3; ++q)
            c.SetCellDouble(2 + q, 3 + r, 0, 120.5 + 37 * ((r * 3 + q) % 5) + r);
        c.SetFormula(5, 3 + r, 0, QStringLiteral("SUM(B%1:D%1)").arg(3 + r));
    }
    c.DrawLine(1, 2, 5, 8, 0, 2, -1);
    c.setColWidth(0, 1, 90);
    c.insertSheet(1, QStringLiteral("二月"));
    c.insertSheet(2, QStringLiteral("汇总"));
    c.setCurSheet(0);
    c.SelectRange(1, 2, 5, 8);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt's own texts in Chinese, as the program has them.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    const int tab = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : -1;
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("list");
    const QString shot = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/dialog.png");
    if (which == QLatin1String("list")) {
        for (const auto& d : Dialogs)
            std::printf("%s\n", d.first);
        return 0;
    }
    cell::CellControl control;
    control.EnableUndo(1);
    demo(control);
    if (which == QLatin1String("pdf") || which == QLatin1String("xlsx")) {
        control.addPicture(0, cell::Picture{cell::Range{7, 1, 8, 5}, demoPicture()});
        control.insertChart(0, cell::Chart{cell::ChartType::Bar, cell::Range{1, 2, 4, 8}, false, true,
                                           QStringLiteral("各部位季度产值"), cell::Range{1, 10, 6, 24}});
        control.insertChart(0, cell::Chart{cell::ChartType::Pie, cell::Range{1, 2, 2, 8}, false, true,
                                           QStringLiteral("一季度构成"), cell::Range{7, 10, 9, 24}});
        if (which == QLatin1String("xlsx"))
            cell::excel::exportXlsx(control.workbook(), shot);
        else
            cell::exportSheetToPdf(control.workbook(), 0, shot);
        return 0;
    }
    ControlDialog dialog = ControlDialog::Sort;
    bool found = false;
    for (const auto& d : Dialogs)
        if (which == QLatin1String(d.first)) {
            dialog = d.second;
            found = true;
        }
    if (!found) {
        std::fprintf(stderr, "unknown dialog %s\n", argv[1]);
        return 2;
    }
    QMainWindow window;
    auto* view = new cell::CellView(&window);
    view->setControl(&control);
    window.setCentralWidget(view);
    window.resize(1200, 820);
    window.move(0, 0);
    window.show();
    if (tab >= 0)
        QTimer::singleShot(900, [&] {
            if (QWidget* modal = QApplication::activeModalWidget())
                if (auto* tabs = modal->findChild<QTabWidget*>())
                    tabs->setCurrentIndex(tab);
        });
    QTimer::singleShot(1200, [&] {
        QApplication::primaryScreen()->grabWindow(0).save(shot);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isModal() && w->isVisible())
                w->close();
        QTimer::singleShot(200, [&] { window.close(); });
    });
    QTimer::singleShot(100, [&] {
        designer::RunControlDialog(&window, control, dialog, which == QLatin1String("Replace") ? 1 : 0);
    });
    return app.exec();
}
