// Printing a sheet to PDF: the text comes back exactly through pdftotext (Chinese and digits), pages break by
// column widths, row heights and the page settings, merged blocks stay whole, the print area is honoured.
#include "cell/NumberFormat.h"
#include "cell/PageRenderer.h"
#include "cell/PdfExport.h"
#include "core/QuelmarError.h"

#include <QBuffer>
#include <QPainter>
#include <QPageRanges>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace cell;

namespace {

void setText(Sheet& s, int col, int row, const QString& text, int align = 0)
{
    Cell& c = s.cellRef(col, row);
    c.value = text;
    c.format.align = align;
}

void setNumber(Sheet& s, int col, int row, double v, int numType = NumGeneral)
{
    Cell& c = s.cellRef(col, row);
    c.value = v;
    c.format.numType = numType;
}

void frame(Sheet& s, const Range& r)
{
    for (int row = r.row1; row <= r.row2; ++row)
        for (int col = r.col1; col <= r.col2; ++col)
            for (Line& l : s.cellRef(col, row).format.border)
                l.style = 2;
}

// A small inspection form: merged title, header cells, a table of items with measured values and pass rates.
Workbook inspectionForm()
{
    Workbook wb;
    wb.fonts << QStringLiteral("黑体") << QStringLiteral("Arial");
    Sheet s = makeSheet(QStringLiteral("Sheet1"), 6, 12);
    s.colWidths = {40, 50, 140, 120, 110, 90, 80};
    s.rowHeights[1] = 40;
    setText(s, 1, 1, QStringLiteral("水泥混凝土面层检验表"), AlignHCenter);
    s.cellRef(1, 1).format.font = 1;
    s.cellRef(1, 1).format.fontSize = 16;
    s.cellRef(1, 1).format.fontStyle = 2;
    s.merges << Range{1, 1, 6, 1};
    setText(s, 1, 2, QStringLiteral("工程名称：K12+345～K13+000 段路面工程"));
    s.merges << Range{1, 2, 6, 2};
    const QStringList header{QStringLiteral("项次"), QStringLiteral("检查项目"), QStringLiteral("规定值或允许偏差"),
                             QStringLiteral("实测值"), QStringLiteral("合格率"), QStringLiteral("备注")};
    for (int i = 0; i < header.size(); ++i)
        setText(s, i + 1, 3, header[i], AlignHCenter);
    const QStringList items{QStringLiteral("弯拉强度(MPa)"), QStringLiteral("板厚度(mm)"), QStringLiteral("平整度")};
    for (int i = 0; i < items.size(); ++i) {
        setNumber(s, 1, 4 + i, i + 1);
        setText(s, 2, 4 + i, items[i]);
        setText(s, 3, 4 + i, QStringLiteral("±5"));
        setNumber(s, 4, 4 + i, 12.5 + i * 0.25);
        setNumber(s, 5, 4 + i, 0.875 + i * 0.05, NumPercent);
    }
    setText(s, 2, 7, QStringLiteral("检验日期"));
    setNumber(s, 3, 7, 45355, NumDate);   // 2024-03-04
    s.cellRef(3, 7).format.dateStyle = 12;
    Cell& arial = s.cellRef(4, 7);
    arial.value = QStringLiteral("B8 Arial 2024");
    arial.format.font = 2;
    frame(s, Range{1, 3, 6, 7});
    s.cellRef(6, 4).format.diagonal[1].style = 2;
    wb.sheets[0] = s;
    return wb;
}

QString pdfText(const QString& pdf, int page = 0)
{
    QProcess p;
    QStringList args;
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << pdf << QStringLiteral("-");
    p.start(QStringLiteral("pdftotext"), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& line : out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// A sheet of `cols` × `rows` cells, each holding its reference text ("R12C3").
Workbook grid(int cols, int rows)
{
    Workbook wb;
    Sheet s = makeSheet(QStringLiteral("Sheet1"), cols, rows);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= cols; ++c)
            setText(s, c, r, QStringLiteral("R%1C%2").arg(r).arg(c));
    wb.sheets[0] = s;
    return wb;
}

} // namespace

class TestPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void textComesBackExactly();
    void fontsOfTheTable_data();
    void fontsOfTheTable();
    void pageBreaks();
    void mergedBlocksStayWhole();
    void fitToWidthAndPrintArea();
    void picturesBordersNoGrid();
    void narrowColumns();
    void emptySheetAndFailures();

private:
    QTemporaryDir m_dir;
};

void TestPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "poppler-utils (pdftotext) is needed; scripts/deps installs it");
}

void TestPdf::textComesBackExactly()
{
    const Workbook wb = inspectionForm();
    const QString pdf = m_dir.filePath(QStringLiteral("form.pdf"));
    exportSheetToPdf(wb, 0, pdf);
    QCOMPARE(pdfPages(pdf), 1);
    const QString text = pdfText(pdf);
    const QStringList expected{QStringLiteral("水泥混凝土面层检验表"), QStringLiteral("工程名称：K12+345～K13+000 段路面工程"),
                               QStringLiteral("规定值或允许偏差"), QStringLiteral("检查项目"), QStringLiteral("实测值"),
                               QStringLiteral("合格率"), QStringLiteral("弯拉强度(MPa)"), QStringLiteral("板厚度(mm)"),
                               QStringLiteral("±5"), QStringLiteral("12.5"), QStringLiteral("12.75"), QStringLiteral("13"),
                               QStringLiteral("87.5%"), QStringLiteral("92.5%"), QStringLiteral("97.5%"),
                               QStringLiteral("2024年3月4日"), QStringLiteral("B8 Arial 2024")};
    for (const QString& e : expected)
        QVERIFY2(text.contains(e), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(e, text)));

    // Nothing but the cells' texts is printed: no labels, page numbers or sheet names.
    auto letters = [](const QString& t) {
        QList<QChar> list;
        for (QChar ch : t)
            if (!ch.isSpace())
                list << ch;
        std::sort(list.begin(), list.end());
        return list;
    };
    QString cells;
    for (const Cell& c : wb.sheets[0].cells)
        cells += displayText(c);
    QCOMPARE(letters(text), letters(cells));
}

void TestPdf::fontsOfTheTable_data()
{
    QTest::addColumn<QString>("font");
    QTest::newRow("宋体") << QStringLiteral("宋体");
    QTest::newRow("黑体 bold") << QStringLiteral("黑体");
    QTest::newRow("楷体_GB2312") << QStringLiteral("楷体_GB2312");
    QTest::newRow("Times New Roman") << QStringLiteral("Times New Roman");
    QTest::newRow("not installed") << QStringLiteral("方正舒体");
    QTest::newRow("Noto CJK named") << QStringLiteral("Noto Sans CJK SC");
}

void TestPdf::fontsOfTheTable()
{
    QFETCH(QString, font);
    Workbook wb;
    wb.fonts = {font};
    Sheet s = makeSheet(QStringLiteral("Sheet1"), 3, 3);
    s.colWidths[1] = 400;
    // 工 and 页 are the characters some CJK fonts turn into radicals in PDF text.
    const QString line = QStringLiteral("工程 页码 第3页 A1B2C3 0.75 合格率100%");
    setText(s, 1, 1, line);
    s.cellRef(1, 1).format.fontStyle = 2;
    setText(s, 1, 2, line);
    wb.sheets[0] = s;
    const QString pdf = m_dir.filePath(QStringLiteral("font.pdf"));
    exportSheetToPdf(wb, 0, pdf);
    const QString text = pdfText(pdf);
    QCOMPARE(text.count(line), 2);
}

void TestPdf::pageBreaks()
{
    // 72-pixel columns: A4 portrait with 15 mm margins (180 × 267 mm = 680 × 1009 px) holds 9 of them and 45
    // rows of 22 pixels.
    Workbook wb = grid(20, 100);
    PageRenderer r(wb, 0);
    r.layout(r.pageLayout());
    QCOMPARE(r.pageCount(), 3 * 3);
    QCOMPARE(r.page(0), (Range{1, 1, 9, 45}));
    QCOMPARE(r.page(1), (Range{1, 46, 9, 90}));   // down first, then across
    QCOMPARE(r.page(3), (Range{10, 1, 18, 45}));
    QCOMPARE(r.page(8), (Range{19, 91, 20, 100}));

    // A print dialog's page range and copies made as repeated pages.
    {
        const QString ranged = m_dir.filePath(QStringLiteral("ranged.pdf"));
        QPdfWriter writer(ranged);
        r.applyPageSetup(writer);
        QPageRanges ranges;
        ranges.addRange(2, 3);
        writer.setPageRanges(ranges);
        QVERIFY(PageRenderer(wb, 0).print(writer, 2));
    }
    const QString ranged = m_dir.filePath(QStringLiteral("ranged.pdf"));
    QCOMPARE(pdfPages(ranged), 4);
    QVERIFY(pdfText(ranged, 1).contains(QStringLiteral("R46C1")));
    QVERIFY(pdfText(ranged, 2).contains(QStringLiteral("R91C1")));
    QVERIFY(pdfText(ranged, 3).contains(QStringLiteral("R46C1")));

    // Wider columns and landscape paper change the breaks.
    Sheet& s = wb.sheets[0];
    s.page.landscape = true;
    s.colWidths[5] = 300;
    PageRenderer land(wb, 0);
    land.layout(land.pageLayout());
    // 267 mm = 1009 px across: 4 × 72 + 300 + 5 × 72 = 948 fits, one more column does not; 680 px down: 30 rows.
    QCOMPARE(land.page(0).col2, 10);
    QCOMPARE(land.page(0).row2, 30);

    const QString pdf = m_dir.filePath(QStringLiteral("grid.pdf"));
    exportSheetToPdf(wb, 0, pdf);
    QCOMPARE(pdfPages(pdf), land.pageCount());
    const QString first = pdfText(pdf, 1), second = pdfText(pdf, 2);
    QVERIFY(first.contains(QStringLiteral("R1C1")) && first.contains(QStringLiteral("R30C10")));
    QVERIFY(!first.contains(QStringLiteral("R31C1")) && !first.contains(QStringLiteral("R1C11")));
    QVERIFY(second.contains(QStringLiteral("R31C1")));
}

void TestPdf::mergedBlocksStayWhole()
{
    Workbook wb = grid(20, 100);
    Sheet& s = wb.sheets[0];
    // Rows 40..50 and columns 8..11 would be cut by the natural breaks after row 45 and column 9.
    s.merges << Range{2, 40, 3, 50} << Range{8, 2, 11, 3};
    setText(s, 2, 40, QStringLiteral("合并单元格甲"));
    setText(s, 8, 2, QStringLiteral("合并单元格乙"));
    PageRenderer r(wb, 0);
    r.layout(r.pageLayout());
    for (int i = 0; i < r.pageCount(); ++i)
        for (const Range& m : s.merges) {
            const Range p = r.page(i);
            const bool cut = m.intersects(p) && !(p.col1 <= m.col1 && m.col2 <= p.col2 && p.row1 <= m.row1
                                                  && m.row2 <= p.row2);
            QVERIFY2(!cut, qPrintable(QStringLiteral("page %1 cuts a merged block").arg(i + 1)));
        }
    QCOMPARE(r.page(0), (Range{1, 1, 7, 39}));

    const QString pdf = m_dir.filePath(QStringLiteral("merged.pdf"));
    exportSheetToPdf(wb, 0, pdf);
    int pagesWithA = 0, pagesWithB = 0;
    for (int i = 1; i <= r.pageCount(); ++i) {
        const QString t = pdfText(pdf, i);
        pagesWithA += t.count(QStringLiteral("合并单元格甲"));
        pagesWithB += t.count(QStringLiteral("合并单元格乙"));
    }
    QCOMPARE(pagesWithA, 1);
    QCOMPARE(pagesWithB, 1);

    // A block larger than a page is split rather than looping forever.
    s.merges << Range{1, 60, 1, 200};
    s.merges.removeFirst();
    PageRenderer big(wb, 0);
    big.layout(big.pageLayout());
    QVERIFY(big.pageCount() > 0 && big.pageCount() < 30);
}

void TestPdf::fitToWidthAndPrintArea()
{
    Workbook wb = grid(30, 10);
    Sheet& s = wb.sheets[0];
    s.page.fitToWidth = true;
    PageRenderer fit(wb, 0);
    fit.layout(fit.pageLayout());
    QCOMPARE(fit.pageCount(), 1);
    QCOMPARE(fit.page(0), (Range{1, 1, 30, 10}));
    QVERIFY(fit.scale() < 0.35);

    s.page.fitToWidth = false;
    s.page.scale = 50;
    PageRenderer half(wb, 0);
    half.layout(half.pageLayout());
    QCOMPARE(half.page(0).col2, 18);   // 680 px at 50 % holds 18 columns of 72

    s.page.scale = 100;
    s.page.printArea = Range{3, 4, 5, 6};
    const QString pdf = m_dir.filePath(QStringLiteral("area.pdf"));
    exportSheetToPdf(wb, 0, pdf);
    const QString text = pdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("R4C3")) && text.contains(QStringLiteral("R6C5")));
    QVERIFY(!text.contains(QStringLiteral("R3C3")) && !text.contains(QStringLiteral("R4C6")));

    // The used part of the sheet: content, borders and merges count; a font change alone does not.
    Sheet u = makeSheet(QStringLiteral("S"), 20, 50);
    u.cellRef(12, 40).format.fontSize = 20;
    setText(u, 2, 3, QStringLiteral("x"));
    u.cellRef(4, 9).format.border[Bottom].style = 2;
    u.merges << Range{1, 10, 3, 11};
    QCOMPARE(PageRenderer::usedRange(u), (Range{1, 1, 4, 11}));
}

void TestPdf::picturesBordersNoGrid()
{
    Workbook wb;
    Sheet s = makeSheet(QStringLiteral("Sheet1"), 6, 10);
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    red.save(&buf, "PNG");
    s.pictures << Picture{Range{2, 2, 3, 3}, png};
    s.cellRef(5, 5).format.border[Bottom].style = 4;
    setText(s, 6, 10, QStringLiteral("末"));
    s.page.centerHorizontally = false;
    wb.sheets[0] = s;

    // The page as a printer at 96 dpi would receive it: cell (c, r) starts at the sum of the sizes before it.
    PageRenderer r(wb, 0);
    r.layout(r.pageLayout());
    QCOMPARE(r.pageCount(), 1);
    QImage page(800, 1100, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        r.paintPage(p, 0, SheetDpi);
    }
    QCOMPARE(QColor(page.pixel(72 + 72, 22 + 22)), QColor(Qt::red));   // inside B2:C3
    QVERIFY(qGray(page.pixel(4 * 72 + 36, 5 * 22)) < 80);                // the thick bottom edge of E5
    // No grid lines: the inside of the empty area is untouched paper.
    for (int x = 1; x < 5 * 72; ++x)
        QCOMPARE(page.pixel(x, 8 * 22 + 11), qRgb(255, 255, 255));
    for (int y = 1; y < 9 * 22; ++y)
        QCOMPARE(page.pixel(72 / 2, y), qRgb(255, 255, 255));
}

void TestPdf::narrowColumns()
{
    // A general number gives up decimals to fit its column; a number with fixed decimals that cannot fit fills its
    // cell with as many "#" as the cell's text room holds (at least one), whatever the font, rather than showing a
    // cut-off figure.
    Workbook wb;
    const QList<int> widths{8, 14, 30, 45, 70};
    Sheet s = makeSheet(QStringLiteral("Sheet1"), int(widths.size()) + 2, int(widths.size()) + 2);
    s.colWidths[1] = 50;
    setNumber(s, 1, 1, 6.0 / 7.0);
    for (int i = 0; i < widths.size(); ++i) {
        // One number per column and row, so that every fill stands on a line of its own in the text.
        s.colWidths[2 + i] = widths.at(i);
        setNumber(s, 2 + i, 2 + i, 123456789012.345, NumNumber);
        s.cellRef(2 + i, 2 + i).format.decimals = 2;
    }
    wb.sheets[0] = s;
    const QString pdf = m_dir.filePath(QStringLiteral("narrow.pdf"));
    exportSheetToPdf(wb, 0, pdf);
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("0.857")) && !text.contains(QStringLiteral("0.857142857")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("1234")), qPrintable(text));

    QList<int> fills;
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        if (word.startsWith(QLatin1Char('#')))
            fills << int(word.size());
    QVERIFY2(fills.size() == widths.size(), qPrintable(text));
    const QFontMetricsF fm(cellFont(wb, wb.sheets[0].cellAt(2, 2)->format));
    const double hash = fm.horizontalAdvance(QLatin1Char('#'));
    for (int i = 0; i < widths.size(); ++i) {
        const double room = SheetPainter::textRect(QRectF(0, 0, widths.at(i), 20)).width();
        const QString what = QStringLiteral("column of %1 px: %2 \"#\"").arg(widths.at(i)).arg(fills.at(i));
        QVERIFY2(fills.at(i) >= 1, qPrintable(what));
        // The fill fits its room, and one more "#" would not (but a room narrower than one "#" still shows one).
        QVERIFY2(fills.at(i) == 1 || fills.at(i) * hash <= room + 0.5, qPrintable(what));
        QVERIFY2((fills.at(i) + 1) * hash > room - 0.5, qPrintable(what));
    }
}

void TestPdf::emptySheetAndFailures()
{
    Workbook wb;
    wb.sheets[0] = makeSheet(QStringLiteral("Sheet1"));
    const QString pdf = m_dir.filePath(QStringLiteral("empty.pdf"));
    exportSheetToPdf(wb, 0, pdf);
    QCOMPARE(pdfPages(pdf), 1);

    QVERIFY_THROWS_EXCEPTION(QuelmarError, exportSheetToPdf(wb, 3, pdf));
    QVERIFY_THROWS_EXCEPTION(QuelmarError,
                             exportSheetToPdf(wb, 0, m_dir.filePath(QStringLiteral("no/such/folder/x.pdf"))));
    // A failed export leaves the earlier file as it was.
    QCOMPARE(pdfPages(pdf), 1);

    // Unusable page settings still give a page: margins larger than the paper, an unknown paper, zero scale.
    Sheet& s = wb.sheets[0];
    setText(s, 1, 1, QStringLiteral("页边距"));
    s.page.marginLeft = 500;
    s.page.marginTop = -3;
    s.page.paper = 9999;
    s.page.scale = 0;
    exportSheetToPdf(wb, 0, pdf);
    QVERIFY(pdfText(pdf).contains(QStringLiteral("页边距")));
}

QTEST_MAIN(TestPdf)
#include "tst_pdf.moc"
