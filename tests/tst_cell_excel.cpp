// Excel exchange: a form exported to .xlsx and imported again keeps its content and layout; .xlsx parts liborcus
// drops (inline strings) come in; formulas the engine does not know stay as values; damaged and foreign files
// fail with a clear message and leave the workbook (and the table file) as they were; the CLI commands.

#include "support/TestSupport.h"
#include "support/XlsxFixture.h"

#include "cell/CellControl.h"
#include "cell/PageRenderer.h"
#include "cell/excel/ExcelExport.h"
#include "cell/excel/ExcelImport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

using namespace cell;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The entries of a zip file by name.
QHash<QString, QByteArray> unzipped(const QByteArray& file)
{
    QHash<QString, QByteArray> out;
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    orcus::zip_archive zip(&stream);
    zip.load();
    for (size_t i = 0; i < zip.get_file_entry_count(); ++i) {
        const std::string_view name = zip.get_file_entry_name(i);
        std::vector<unsigned char> buf;
        zip.read_file_entry(name, buf);
        out.insert(QString::fromUtf8(name.data(), qsizetype(name.size())),
                   QByteArray(reinterpret_cast<const char*>(buf.data()), qsizetype(buf.size())));
    }
    return out;
}

const Cell& at(const Workbook& wb, int sheet, int col, int row)
{
    static const Cell blank;
    const Cell* c = wb.sheets.at(sheet).cellAt(col, row);
    return c ? *c : blank;
}

// A small form with what a real one has: a merged title, captions, numbers in formats, a total formula,
// borders, a fill, column widths and row heights.
void buildForm(CellControl& c)
{
    const int s = 0;
    c.SetCols(7, s);
    c.SetRows(9, s);
    c.SetCellString(1, 1, s, QStringLiteral("水泥混凝土抗压强度试验记录"));
    c.MergeCells(1, 1, 6, 1);
    c.SetCellFontStyle(1, 1, s, 2);
    c.SetCellFontSize(1, 1, s, 16);
    c.SetCellAlign(1, 1, s, AlignHCenter | AlignVCenter);
    c.SetCellFont(1, 1, s, c.FindFontIndex(QStringLiteral("黑体"), 1));
    const QStringList captions{QStringLiteral("编号"), QStringLiteral("部位"), QStringLiteral("强度"),
                               QStringLiteral("比例"), QStringLiteral("日期"), QStringLiteral("金额")};
    for (int i = 0; i < captions.size(); ++i) {
        c.SetCellString(1 + i, 2, s, captions.at(i));
        c.SetCellBackColor(1 + i, 2, s, c.FindColorIndex(QColor(0xdd, 0xee, 0xff), 1));
    }
    for (int r = 3; r <= 5; ++r) {
        c.SetCellDouble(1, r, s, r - 2);
        c.SetCellString(2, r, s, QStringLiteral("K%1+200 桥墩").arg(r));
        c.SetCellDouble(3, r, s, 30.25 + r);
        c.SetCellDigital(3, r, s, 2);
        c.SetCellNumType(3, r, s, NumNumber);
        c.SetCellDouble(4, r, s, 0.125 * r);
        c.SetCellNumType(4, r, s, NumPercent);
        c.SetCellDigital(4, r, s, 1);
        c.SetCellDouble(5, r, s, 45000 + r);
        c.SetCellNumType(5, r, s, NumDate);
        c.SetCellDateStyle(5, r, s, 12);
        c.SetCellDouble(6, r, s, 1234.5 * r);
        c.SetCellNumType(6, r, s, NumCurrency);
        c.SetCellCurrency(6, r, s, 2);
        c.SetCellDigital(6, r, s, 2);
    }
    c.SetCellString(2, 6, s, QStringLiteral("平均"));
    c.SetFormula(3, 6, s, QStringLiteral("=ROUND(AVERAGE(C3:C5),2)"));
    c.SetCellTextColor(3, 6, s, c.FindColorIndex(QColor(0xc0, 0, 0), 1));
    c.DrawLine(1, 2, 6, 6, 0, 2, -1);
    c.DrawLine(1, 2, 6, 6, 1, 4, -1);
    c.SetCellAlign(2, 3, s, AlignLeft | AlignTop);
    c.SetCellTextStyle(2, 4, s, 2);   // wraps
    c.SetCellTextStyle(1, 1, s, 2);
    c.setColWidth(s, 2, 150);
    c.setColWidth(s, 5, 110);
    c.setRowHeight(s, 1, 40);
    c.setRowHeight(s, 4, 30);
}

} // namespace

class TstCellExcel : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void roundTripKeepsContentAndLayout()
    {
        CellControl form;
        buildForm(form);
        const QString xlsx = path("form.xlsx");
        excel::exportXlsx(form.workbook(), xlsx);
        QVERIFY(readFile(xlsx).startsWith("PK"));
        excel::ImportReport report;
        const Workbook back = excel::importFile(xlsx, &report);
        const Workbook& wb = form.workbook();
        QCOMPARE(back.sheets.size(), 1);
        QCOMPARE(back.sheets.at(0).name, wb.sheets.at(0).name);
        QCOMPARE(report.formulasAsValues, 0);
        QCOMPARE(report.formulas, 1);
        const Sheet& a = wb.sheets.at(0);
        const Sheet& b = back.sheets.at(0);
        QCOMPARE(b.cols, a.cols);
        QCOMPARE(b.rows, a.rows);
        QCOMPARE(b.merges, a.merges);
        for (int col = 1; col < a.cols; ++col)
            QVERIFY2(qAbs(b.colWidth(col) - a.colWidth(col)) <= 1, qPrintable(QString::number(col)));
        for (int row = 1; row < a.rows; ++row)
            QVERIFY2(qAbs(b.rowHeight(row) - a.rowHeight(row)) <= 1, qPrintable(QString::number(row)));
        for (auto it = a.cells.cbegin(); it != a.cells.cend(); ++it) {
            const int col = Sheet::keyCol(it.key()), row = Sheet::keyRow(it.key());
            const QString where = CellControl::GetCellRef(col, row);
            const Cell& x = it.value();
            const Cell& y = at(back, 0, col, row);
            QVERIFY2(x.value == y.value, qPrintable(where));
            QCOMPARE(y.formula, x.formula);
            const CellFormat& f = x.format;
            const CellFormat& g = y.format;
            QVERIFY2(back.fonts.value(g.font) == wb.fonts.value(f.font), qPrintable(where));
            QCOMPARE(g.fontSize, f.fontSize);
            QCOMPARE(g.fontStyle, f.fontStyle);
            QVERIFY2(g.textStyle == f.textStyle, qPrintable(where));
            QCOMPARE(g.align & HAlignMask, f.align & HAlignMask);
            QCOMPARE(g.align & VAlignMask & ~AlignVCenter, f.align & VAlignMask & ~AlignVCenter);
            QCOMPARE(g.numType, f.numType);
            if (f.numType != NumGeneral)
                QVERIFY2(g.decimals == f.decimals || f.numType == NumDate, qPrintable(where));
            QCOMPARE(g.dateStyle, f.dateStyle);
            QCOMPARE(g.currency, f.currency);
            QCOMPARE(tableColor(back, g.backColor, Qt::transparent), tableColor(wb, f.backColor, Qt::transparent));
            QCOMPARE(tableColor(back, g.textColor, Qt::black), tableColor(wb, f.textColor, Qt::black));
            for (int side = 0; side < 4; ++side)
                QVERIFY2(g.border[side].style == f.border[side].style,
                         qPrintable(QStringLiteral("%1 side %2: %3 for %4").arg(where).arg(side).arg(g.border[side].style).arg(f.border[side].style)));
        }
    }

    // Charts go out as charts of the spreadsheet program over the same cells, titled and named as ours, where ours
    // stand; one without data cells goes out as the picture we draw. (Reading charts back is not possible: the
    // reader has no charts.)
    void chartsAreExportedAsCharts()
    {
        CellControl form;
        buildForm(form);
        form.SetRows(32, 0);
        form.insertChart(0, Chart{ChartType::Bar, Range{2, 2, 4, 5}, false, true, QStringLiteral("强度与比例"), Range{1, 10, 3, 20}});
        form.insertChart(0, Chart{ChartType::Line, Range{3, 3, 4, 5}, true, false, QString(), Range{4, 10, 6, 20}});
        form.insertChart(0, Chart{ChartType::Pie, Range{2, 2, 3, 5}, false, true, QStringLiteral("构成"), Range{1, 21, 2, 30}});
        form.insertChart(0, Chart{ChartType::Bar, Range{6, 8, 6, 8}, false, true, QStringLiteral("空"), Range{4, 21, 5, 25}});
        const QString xlsx = path("charts.xlsx");
        excel::exportXlsx(form.workbook(), xlsx);
        const QHash<QString, QByteArray> parts = unzipped(readFile(xlsx));
        const QByteArray sheet = form.workbook().sheets.at(0).name.toUtf8();
        const QByteArray bar = parts.value("xl/charts/chart1.xml");
        QVERIFY2(bar.contains("<c:barChart>") && bar.contains("<c:barDir val=\"col\"/>"), bar.left(400).constData());
        QVERIFY(bar.contains("<c:f>" + sheet + "!$C$3:$C$5</c:f>"));   // values of the first series
        QVERIFY(bar.contains("<c:f>" + sheet + "!$D$3:$D$5</c:f>"));
        QVERIFY(bar.contains("<c:f>" + sheet + "!$B$3:$B$5</c:f>"));   // the categories
        QVERIFY(bar.contains("<c:f>" + sheet + "!$C$2</c:f>"));        // the series' name
        QVERIFY(bar.contains(QStringLiteral("强度与比例").toUtf8()));
        const QByteArray line = parts.value("xl/charts/chart2.xml");
        QVERIFY(line.contains("<c:lineChart>"));
        QVERIFY(line.contains("<c:f>" + sheet + "!$C$3:$D$3</c:f>"));   // a row is a series
        QVERIFY(line.contains("<c:f>" + sheet + "!$C$5:$D$5</c:f>"));
        QVERIFY(line.contains(QStringLiteral("系列3").toUtf8()));
        const QByteArray pie = parts.value("xl/charts/chart3.xml");
        QVERIFY(pie.contains("<c:pieChart>"));
        QVERIFY(pie.contains("<c:showPercent val=\"1\"/>"));
        QVERIFY(!parts.contains("xl/charts/chart4.xml"));
        int pictures = 0;
        for (auto it = parts.cbegin(); it != parts.cend(); ++it)
            pictures += it.key().startsWith(QLatin1String("xl/media/")) ? 1 : 0;
        QCOMPARE(pictures, 1);   // the chart without data
        // Where they stand: the top-left cells (0-based in the file) of the anchors.
        const QString drawing = QString::fromUtf8(parts.value("xl/drawings/drawing1.xml"));
        static const QRegularExpression from(QStringLiteral("<xdr:from><xdr:col>(\\d+)</xdr:col>.*?<xdr:row>(\\d+)</xdr:row>"));
        QStringList anchors;
        for (auto m = from.globalMatch(drawing); m.hasNext();) {
            const auto one = m.next();
            anchors << CellControl::GetCellRef(one.captured(1).toInt() + 1, one.captured(2).toInt() + 1);
        }
        anchors.sort();
        QCOMPARE(anchors, (QStringList{"A10", "A21", "D10", "D21"}));
        // Rows of the default height are as high in the spreadsheet program, so the charts cover the same rows.
        QVERIFY(parts.value("xl/worksheets/sheet1.xml").contains("defaultRowHeight=\"16.5\""));
        excel::importFile(xlsx);   // a file with charts reads as before
    }

    void importedSheetsReplaceOrAppendInOneUndoStep()
    {
        CellControl form;
        buildForm(form);
        const QString xlsx = path("replace.xlsx");
        excel::exportXlsx(form.workbook(), xlsx);
        const Workbook imported = excel::importFile(xlsx);

        CellControl c;
        c.EnableUndo(1);
        c.SetCellString(1, 1, 0, QStringLiteral("原有内容"));
        c.insertWorkbookSheets(imported, false);
        QCOMPARE(c.workbook().sheets.size(), 2);
        QCOMPARE(c.GetCurSheet(), 1);
        QCOMPARE(c.cellText(3, 6, 1), QStringLiteral("34.25"));   // recalculated in this workbook
        QCOMPARE(c.workbook().fonts.value(c.sheet(1).cellAt(1, 1)->format.font), QStringLiteral("黑体"));

        c.Undo();
        QCOMPARE(c.workbook().sheets.size(), 1);
        c.insertWorkbookSheets(imported, true);
        QCOMPARE(c.workbook().sheets.size(), 1);
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("水泥混凝土抗压强度试验记录"));
        c.Undo();
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("原有内容"));
    }

    void inlineStringsAndUnknownFormulas()
    {
        const QString xlsx = path("inline.xlsx");
        writeFile(xlsx, handMadeXlsx(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>桩号</t></is></c>)"
                                     R"(<c r="B1" t="inlineStr"><is><r><t>K1</t></r><r><t>+200</t></r></is></c></row>)"
                                     R"(<row r="2"><c r="A2"><v>3</v></c><c r="B2"><f>A2*2</f><v>6</v></c>)"
                                     R"(<c r="C2"><f>FOOBAR(A2)</f><v>7</v></c></row>)"));
        excel::ImportReport report;
        const Workbook wb = excel::importFile(xlsx, &report);
        QCOMPARE(wb.sheets.at(0).name, QStringLiteral("检验表"));
        QCOMPARE(at(wb, 0, 1, 1).value, Value(QStringLiteral("桩号")));
        QCOMPARE(at(wb, 0, 2, 1).value, Value(QStringLiteral("K1+200")));
        QCOMPARE(at(wb, 0, 2, 2).formula, QStringLiteral("A2*2"));
        QVERIFY(at(wb, 0, 3, 2).formula.isEmpty());   // kept as its last result
        QCOMPARE(at(wb, 0, 3, 2).value, Value(7.0));
        QCOMPARE(report.formulas, 1);
        QCOMPARE(report.formulasAsValues, 1);
        QVERIFY(excel::importNote(report).contains(QStringLiteral("1 个公式用了本程序不支持的函数")));
    }

    // OpenDocument keeps wrapping in fo:wrap-option of a cell style: the cell's own, a parent's, or the default style
    // of its row or column. A row written once for two equal rows brings its contents into both.
    void odsWrapOptions()
    {
        const QByteArray ns = R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
                              R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
                              R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
                              R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
                              R"(xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.2")";
        const QByteArray styles = R"(<?xml version="1.0" encoding="UTF-8"?><office:document-styles )" + ns
            + R"(><office:styles><style:style style:name="Wrapped" style:family="table-cell">)"
              R"(<style:table-cell-properties fo:wrap-option="wrap"/></style:style></office:styles></office:document-styles>)";
        const auto cell = [](const char* attrs, const char* text) {
            return QByteArray("<table:table-cell ") + attrs + R"( office:value-type="string"><text:p>)" + text
                + "</text:p></table:table-cell>";
        };
        const QByteArray content = R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content )" + ns
            + R"(><office:automatic-styles>)"
              R"(<style:style style:name="ce1" style:family="table-cell"><style:table-cell-properties fo:wrap-option="wrap"/></style:style>)"
              R"(<style:style style:name="ce2" style:family="table-cell" style:parent-style-name="Wrapped"/>)"
              R"(<style:style style:name="ce3" style:family="table-cell"><style:table-cell-properties fo:wrap-option="no-wrap"/></style:style>)"
              R"(</office:automatic-styles><office:body><office:spreadsheet><table:table table:name="表一">)"
              R"(<table:table-column table:number-columns-repeated="2"/><table:table-column table:default-cell-style-name="ce1"/>)"
              R"(<table:table-row>)" + cell(R"(table:style-name="ce1")", "甲") + cell("", "乙") + cell("", "丙") + R"(</table:table-row>)"
              R"(<table:table-row>)" + cell(R"(table:style-name="ce2")", "丁") + cell(R"(table:style-name="ce3")", "戊")
            + cell(R"(table:style-name="ce3")", "己") + R"(</table:table-row>)"
              R"(<table:table-row table:number-rows-repeated="2" table:default-cell-style-name="ce2">)"
            + cell(R"(table:number-columns-repeated="2")", "庚") + R"(</table:table-row>)"
              R"(<table:table-row>)" + cell("", "辛") + R"(</table:table-row>)"
              R"(</table:table></office:spreadsheet></office:body></office:document-content>)";
        const QString ods = path("wrap.ods");
        writeFile(ods, zipOf({{QStringLiteral("mimetype"), QByteArray("application/vnd.oasis.opendocument.spreadsheet")},
                              {QStringLiteral("styles.xml"), styles},
                              {QStringLiteral("content.xml"), content}}));
        const Workbook wb = excel::importFile(ods);
        const QStringList expected{QStringLiteral("A1 甲 2"), QStringLiteral("B1 乙 0"), QStringLiteral("C1 丙 2"),
                                   QStringLiteral("A2 丁 2"), QStringLiteral("B2 戊 0"), QStringLiteral("C2 己 0"),
                                   QStringLiteral("A3 庚 2"), QStringLiteral("B3 庚 2"), QStringLiteral("A4 庚 2"), QStringLiteral("A5 辛 0")};
        for (const QString& e : expected) {
            const QStringList part = e.split(QLatin1Char(' '));
            int col = 0, row = 0;
            QVERIFY(CellControl::ParseCellRef(part.at(0), col, row));
            const Cell& c = at(wb, 0, col, row);
            QVERIFY2(c.value == Value(part.at(1)), qPrintable(e));
            QVERIFY2(c.format.textStyle == part.at(2).toInt(), qPrintable(e));
        }
    }

    // A hostile file: a full row "repeated" a million times brings in that row once, not sixteen million cells.
    void odsHugeRepeatStaysBounded()
    {
        const QByteArray content = R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content )"
                                   R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
                                   R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
                                   R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">)"
                                   R"(<office:body><office:spreadsheet><table:table table:name="大">)"
                                   R"(<table:table-row table:number-rows-repeated="1000000">)"
                                   R"(<table:table-cell table:number-columns-repeated="200" office:value-type="float" office:value="7"/>)"
                                   R"(</table:table-row><table:table-row table:number-rows-repeated="3">)"
                                   R"(<table:table-cell office:value-type="string"><text:p>尾</text:p></table:table-cell>)"
                                   R"(</table:table-row></table:table></office:spreadsheet></office:body></office:document-content>)";
        const QString ods = path("huge.ods");
        writeFile(ods, zipOf({{QStringLiteral("mimetype"), QByteArray("application/vnd.oasis.opendocument.spreadsheet")},
                              {QStringLiteral("content.xml"), content}}));
        excel::ImportReport report;
        const Workbook wb = excel::importFile(ods, &report);
        QVERIFY2(report.cells < 1000, qPrintable(QString::number(report.cells)));
        QCOMPARE(at(wb, 0, 200, 1).value, Value(7.0));
    }

    void csv()
    {
        const QString file = path("data.csv");
        writeFile(file, "部位,方量\n桥,12.5\n\"涵, 洞\",3\n");
        const Workbook wb = excel::importFile(file);
        QCOMPARE(at(wb, 0, 1, 3).value, Value(QStringLiteral("涵, 洞")));
        QCOMPARE(at(wb, 0, 2, 2).value, Value(12.5));
        QCOMPARE(wb.sheets.at(0).cols, 3);
        QCOMPARE(wb.sheets.at(0).rows, 4);
    }

    void damagedFilesFailClearly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        CellControl form;
        buildForm(form);
        const QString good = m_dir.filePath("good.xlsx");
        excel::exportXlsx(form.workbook(), good);
        const QByteArray bytes = readFile(good);
        QTest::newRow("truncated xlsx") << "cut.xlsx" << bytes.left(bytes.size() / 2);
        QByteArray flipped = bytes;
        for (qsizetype i = 200; i < flipped.size() - 200; i += 97)
            flipped[i] = char(flipped[i] ^ 0x5a);
        QTest::newRow("scrambled xlsx") << "scrambled.xlsx" << flipped;
        QTest::newRow("zip without a workbook") << "other.xlsx" << zipOf({{"readme.txt", "hello"}});
        QTest::newRow("text named xlsx") << "text.xlsx" << QByteArray("这不是表格");
        QTest::newRow("fake xls") << "fake.xls" << QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8) + QByteArray(600, 'x');
        QTest::newRow("empty") << "empty.xlsx" << QByteArray();
        QTest::newRow("binary csv") << "bin.csv" << QByteArray("a,b\n\0\0\1", 7);
    }
    void damagedFilesFailClearly()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString file = path(name);
        writeFile(file, bytes);
        const QString message = failureMessage([&] { excel::importFile(file); });
        QVERIFY2(message.contains(QStringLiteral("无法导入")), qPrintable(message));
        QVERIFY(message.contains(name));

        // Through the CLI: the table file it would have written into stays as it was.
        const QString table = path(name + ".cll");
        CellControl c;
        c.SetCellString(1, 1, 0, QStringLiteral("原样"));
        QCOMPARE(c.SaveFile(table, 0), 1);
        const QByteArray before = readFile(table);
        const CliRun r = runQuelmarCli({"cell", "import-excel", file, table});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("无法导入")), qPrintable(r.err));
        QCOMPARE(readFile(table), before);
    }

    void cliImportAndExport()
    {
        CellControl form;
        buildForm(form);
        const QString cll = path("cli-form.cll");
        QCOMPARE(form.SaveFile(cll, 0), 1);
        const QString xlsx = path("cli-form.xlsx");
        QCOMPARE(runQuelmarCli({"cell", "export-excel", cll, xlsx}).exitCode, 0);
        const QString out = path("cli-back.cll");
        CliRun r = runQuelmarCli({"cell", "import-excel", xlsx, out, "--json"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("formulas").toInt(), 1);
        r = runQuelmarCli({"cell", "import-excel", xlsx, out, "--sheets", "append"});
        QCOMPARE(r.exitCode, 0);
        CellControl back;
        QCOMPARE(back.OpenFile(out, tableFilePassword()), 1);
        QCOMPARE(back.workbook().sheets.size(), 2);
        QCOMPARE(back.cellText(2, 6, 1), QStringLiteral("平均"));
        QCOMPARE(runQuelmarCli({"cell", "import-excel", xlsx, out, "--sheets", "some"}).exitCode, 1);
    }
};

QTEST_MAIN(TstCellExcel)
#include "tst_cell_excel.moc"
