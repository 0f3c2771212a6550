// Rendering figures of a 60 × 200 form with formats: printing it to PDF, painting one screen of it (what the
// view repaints on scrolling) and painting the whole sheet. Usage: bench_render [OUT.pdf] [SCREEN.png]
#include "cell/PageRenderer.h"
#include "cell/PdfExport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

using namespace cell;

namespace {

Workbook bigForm()
{
    Workbook wb;
    wb.fonts << QStringLiteral("黑体") << QStringLiteral("Arial");
    wb.colors << qRgb(0xdd, 0xeb, 0xf7) << qRgb(0xc0, 0, 0);
    Sheet s = makeSheet(QStringLiteral("Sheet1"), 60, 200);
    for (int c = 1; c <= 60; ++c)
        s.colWidths[c] = c % 5 == 2 ? 120 : 72;
    s.rowHeights[1] = 36;
    Cell& title = s.cellRef(1, 1);
    title.value = QStringLiteral("水泥混凝土面层实测项目检验表");
    title.format.font = 1;
    title.format.fontSize = 16;
    title.format.fontStyle = 2;
    title.format.align = AlignHCenter;
    s.merges << Range{1, 1, 12, 1};
    for (int r = 2; r <= 200; ++r) {
        for (int c = 1; c <= 60; ++c) {
            Cell& cell = s.cellRef(c, r);
            for (Line& l : cell.format.border)
                l.style = 2;
            if (r == 2) {
                cell.value = QStringLiteral("检查项目%1").arg(c);
                cell.format.align = AlignHCenter;
                cell.format.backColor = 0;
                cell.format.fontStyle = 2;
                continue;
            }
            switch (c % 5) {
            case 0:
                cell.value = 0.8 + (r % 20) / 100.0;
                cell.format.numType = NumPercent;
                cell.format.decimals = 1;
                break;
            case 1:
                cell.value = double(r * 100 + c);
                cell.format.numType = NumNumber;
                cell.format.separator = 2;
                break;
            case 2:
                cell.value = QStringLiteral("规定值或允许偏差 ±%1 mm").arg(r % 7);
                break;
            case 3:
                cell.value = 45000.0 + r;
                cell.format.numType = NumDate;
                cell.format.dateStyle = 12;
                break;
            default:
                cell.value = 12.5 + (r * c % 100) / 8.0;
                cell.format.numType = NumNumber;
                cell.format.decimals = 2;
                if (r % 9 == 0)
                    cell.format.textColor = 1;
            }
        }
        if (r % 25 == 0)
            s.merges << Range{3, r, 4, r + 1};
    }
    wb.sheets[0] = s;
    return wb;
}

template <typename F>
double timeMs(int runs, F f)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        f();
    return double(t.nsecsElapsed()) / 1e6 / runs;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const Workbook wb = bigForm();
    QTemporaryDir dir;
    const QString pdf = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("form.pdf"));

    PageRenderer renderer(wb, 0);
    renderer.layout(renderer.pageLayout());
    exportSheetToPdf(wb, 0, pdf);   // warms the font caches
    const double pdfMs = timeMs(3, [&] { exportSheetToPdf(wb, 0, pdf); });
    std::printf("PDF of a 60 x 200 form: %d pages, %.1f ms per export\n", renderer.pageCount(), pdfMs);

    // One screen: 1280 × 800 pixels at 100 %, the cells a view shows at once.
    QImage screen(1280, 800, QImage::Format_ARGB32_Premultiplied);
    const Sheet& sheet = wb.sheets[0];
    int lastCol = 1, lastRow = 1;
    for (int x = 0; lastCol < 60 && x < 1280; ++lastCol)
        x += sheet.colWidth(lastCol);
    for (int y = 0; lastRow < 200 && y < 800; ++lastRow)
        y += sheet.rowHeight(lastRow);
    SheetPainter::Options opt;
    opt.gridLines = true;
    auto paintScreen = [&](int firstRow) {
        screen.fill(Qt::white);
        QPainter p(&screen);
        SheetPainter(wb, sheet).paint(p, Range{1, firstRow, lastCol, std::min(200, firstRow + lastRow)}, opt);
    };
    paintScreen(1);
    int row = 1;
    const double screenMs = timeMs(50, [&] { paintScreen(row = row % 160 + 1); });
    std::printf("one screen (1280 x 800, %d x %d cells): %.2f ms per repaint\n", lastCol, lastRow, screenMs);
    if (argc > 2) {
        paintScreen(1);
        screen.save(QString::fromLocal8Bit(argv[2]));
    }

    // The whole sheet at 25 % (an overview), every cell painted.
    QImage whole(1400, 1200, QImage::Format_ARGB32_Premultiplied);
    const double wholeMs = timeMs(3, [&] {
        whole.fill(Qt::white);
        QPainter p(&whole);
        p.scale(0.25, 0.25);
        SheetPainter(wb, sheet).paint(p, Range{1, 1, 60, 200}, opt);
    });
    std::printf("whole sheet (12000 cells) to an image: %.1f ms\n", wholeMs);
    return 0;
}
