// Pictures, charts and the display / colour formulas of cells: part of the workbook, saved in the table file
// (format 2 only when used, hostile fields refused), evaluated live, drawn on the page and exported to PDF.

#include "cell/CellControl.h"
#include "cell/Charts.h"
#include "cell/PageRenderer.h"
#include "cell/PdfExport.h"
#include "cell/TableFile.h"
#include "core/QuelmarError.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

using namespace cell;

namespace {

QByteArray png(const QColor& color, int w = 40, int h = 30)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Output of a quarterly table: captions in row 1 and column 1, numbers in B2:C4.
void quarterly(CellControl& c)
{
    c.SetCellString(1, 1, 0, QStringLiteral("季度"));
    c.SetCellString(2, 1, 0, QStringLiteral("计划"));
    c.SetCellString(3, 1, 0, QStringLiteral("完成"));
    const QStringList q{QStringLiteral("一季度"), QStringLiteral("二季度"), QStringLiteral("三季度")};
    for (int i = 0; i < 3; ++i) {
        c.SetCellString(1, 2 + i, 0, q.at(i));
        c.SetCellDouble(2, 2 + i, 0, 100 + 10 * i);
        c.SetCellDouble(3, 2 + i, 0, 90 + 20 * i);
    }
}

// The share of the pixels of `img` inside `r` that are close to `color`.
double share(const QImage& img, const QRect& r, const QColor& color)
{
    int hits = 0, all = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            ++all;
            if (qAbs(c.red() - color.red()) < 40 && qAbs(c.green() - color.green()) < 40 && qAbs(c.blue() - color.blue()) < 40)
                ++hits;
        }
    return all ? double(hits) / all : 0;
}

} // namespace

class TstCellCharts : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void chartSeriesFromTheCells_data()
    {
        QTest::addColumn<bool>("inRows");
        QTest::addColumn<bool>("labels");
        QTest::addColumn<QString>("expected");   // categories | series: values
        QTest::newRow("series in columns") << false << true << "一季度,二季度,三季度 | 计划:100,110,120 | 完成:90,110,130";
        QTest::newRow("series in rows") << true << true << "计划,完成 | 一季度:100,90 | 二季度:110,110 | 三季度:120,130";
        QTest::newRow("no captions") << false << false << "1,2,3,4 | 系列1:0,100,110,120 | 系列2:0,90,110,130";
    }
    void chartSeriesFromTheCells()
    {
        QFETCH(bool, inRows);
        QFETCH(bool, labels);
        QFETCH(QString, expected);
        CellControl c;
        quarterly(c);
        Chart chart;
        chart.data = labels ? Range{1, 1, 3, 4} : Range{2, 1, 3, 4};
        chart.seriesInRows = inRows;
        chart.labelsInFirst = labels;
        const ChartData d = chartData(c.sheet(0), chart);
        QStringList parts{d.categories.join(QLatin1Char(','))};
        for (const ChartSeries& s : d.series) {
            QStringList v;
            for (double x : s.values)
                v << QString::number(x);
            parts << s.name + QLatin1Char(':') + v.join(QLatin1Char(','));
        }
        QCOMPARE(parts.join(QStringLiteral(" | ")), expected);
    }

    void picturesChartsAndRulesSurviveSaveAndOpen()
    {
        CellControl c;
        c.EnableUndo(1);
        quarterly(c);
        c.addPicture(0, Picture{Range{5, 1, 6, 3}, png(Qt::red)});
        c.insertChart(0, Chart{ChartType::Line, Range{1, 1, 3, 4}, false, true, QStringLiteral("产值"), Range{1, 6, 5, 15}});
        c.setCellRules(3, 2, 0, CellRules{QString(), QStringLiteral("C2<B2"), 0xffff0000, 0});
        const QString path = m_dir.filePath("charts.cll");
        QCOMPARE(c.SaveFile(path, 0), 1);
        CellControl back;
        QCOMPARE(back.OpenFile(path, tableFilePassword()), 1);
        const Sheet& s = back.sheet(0);
        QCOMPARE(s.pictures.size(), 1);
        QCOMPARE(s.pictures.at(0).anchor, (Range{5, 1, 6, 3}));
        QCOMPARE(s.pictures.at(0).data, c.sheet(0).pictures.at(0).data);
        QCOMPARE(s.charts, c.sheet(0).charts);
        QCOMPARE(s.cellAt(3, 2)->rules, c.sheet(0).cellAt(3, 2)->rules);
        // Live again after the open: 90 < 100 colours C2 red.
        QCOMPARE(s.ruleResults.value(Sheet::key(3, 2)).textColor, QRgb(0xffff0000));
    }

    void olderFilesStayFormatOne()
    {
        CellControl c;
        quarterly(c);
        c.addPicture(0, Picture{Range{5, 1, 6, 3}, png(Qt::blue)});
        const QByteArray plain = TableFileWriter::encode(c.workbook(), tableFilePassword());
        QCOMPARE(qFromLittleEndian<quint16>(plain.constData() + 8), quint16(1));
        c.insertChart(0, Chart{ChartType::Bar, Range{1, 1, 3, 4}, false, true, QString(), Range{1, 6, 5, 15}});
        const QByteArray withChart = TableFileWriter::encode(c.workbook(), tableFilePassword());
        QCOMPARE(qFromLittleEndian<quint16>(withChart.constData() + 8), quint16(2));
    }

    void hostileChartFieldsAreRefused_data()
    {
        QTest::addColumn<int>("what");
        QTest::newRow("chart type") << 0;
        QTest::newRow("anchor beyond the sheet") << 1;
        QTest::newRow("empty data range") << 2;
        QTest::newRow("rule outside the sheet") << 3;
        QTest::newRow("charts in a format 1 file") << 4;
    }
    void hostileChartFieldsAreRefused()
    {
        QFETCH(int, what);
        CellControl c;
        quarterly(c);
        c.insertChart(0, Chart{ChartType::Pie, Range{1, 1, 2, 4}, false, true, QStringLiteral("T"), Range{1, 6, 5, 15}});
        c.setCellRules(2, 2, 0, CellRules{QStringLiteral("B2*2"), QString(), 0, 0});
        QByteArray payload = TableFileWriter::payload(c.workbook());
        // The extension block: after "EXT2", per sheet the chart count, then type, data range, ..., then rules.
        const qsizetype ext = payload.indexOf(QByteArray::fromHex("45585432"));
        QVERIFY(ext > 0);
        const qsizetype chart = ext + 4 + 4;   // tag, chart count
        const auto put32 = [&](qsizetype at, qint32 v) { qToBigEndian(v, payload.data() + at); };
        quint16 version = 2;
        switch (what) {
        case 0: payload[chart] = char(7); break;
        case 1: put32(chart + 1 + 16 + 2 + 4 + 2 + 8, 400); break;   // anchor col2 (after the title "T")
        case 2: put32(chart + 1 + 8, 0); break;                     // data col2 < col1
        case 3: {
            const qsizetype rules = chart + 1 + 16 + 2 + (4 + 2) + 16 + 4;   // rule count, then col (u16)
            qToBigEndian(quint16(300), payload.data() + rules);
            break;
        }
        case 4: version = 1; break;
        }
        Workbook out;
        TableFileReader r;
        QVERIFY(!r.decode(TableFileWriter::seal(payload, tableFilePassword(), version), tableFilePassword(), out));
        QVERIFY2(r.errorString().contains(QStringLiteral("已损坏或不完整")), qPrintable(r.errorString()));
    }

    void rulesAreEvaluatedLive()
    {
        CellControl c;
        c.EnableUndo(1);
        c.SetCellDouble(1, 1, 0, 85);
        c.setCellRules(1, 1, 0, CellRules{QStringLiteral("IF(A1>=60,\"合格\",\"不合格\")"), QStringLiteral("A1<60"),
                                          0xffcc0000, 0xffffff00});
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("合格"));
        QCOMPARE(c.sheet(0).ruleResults.value(Sheet::key(1, 1)).backColor, QRgb(0));
        c.SetCellDouble(1, 1, 0, 42);
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("不合格"));
        QCOMPARE(c.sheet(0).ruleResults.value(Sheet::key(1, 1)).backColor, QRgb(0xffffff00));
        QCOMPARE(std::get<double>(c.sheet(0).cellAt(1, 1)->value), 42.0);   // the value itself stays
        c.Undo();
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("合格"));
        c.Undo();   // the rules gone
        QCOMPARE(c.cellText(1, 1, 0), QStringLiteral("85"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, c.setCellRules(1, 1, 0, CellRules{QStringLiteral("IF(A1"), {}, 0, 0}));
    }

    void chartsAndPicturesMoveWithRowsAndClear()
    {
        CellControl c;
        quarterly(c);
        c.addPicture(0, Picture{Range{5, 6, 6, 8}, png(Qt::red)});
        c.insertChart(0, Chart{ChartType::Bar, Range{1, 1, 3, 4}, false, true, QString(), Range{1, 6, 4, 15}});
        c.InsertRow(1, 2, 0);
        QCOMPARE(c.sheet(0).charts.at(0).data, (Range{1, 3, 3, 6}));
        QCOMPARE(c.sheet(0).charts.at(0).anchor, (Range{1, 8, 4, 17}));
        QCOMPARE(c.sheet(0).pictures.at(0).anchor, (Range{5, 8, 6, 10}));
        c.SelectRange(1, 8, 6, 20);
        c.ClearSelection(16);
        QVERIFY(c.sheet(0).charts.isEmpty());
        QVERIFY(c.sheet(0).pictures.isEmpty());
        QCOMPARE(c.cellText(2, 4, 0), QStringLiteral("100"));   // the data stay
    }

    void chartAndPictureInThePdf()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("poppler-utils (pdftoppm) is needed; scripts/deps installs it");
        CellControl c;
        quarterly(c);
        c.setColWidth(0, 5, 100);
        c.addPicture(0, Picture{Range{5, 1, 5, 4}, png(QColor(0, 160, 0))});
        c.insertChart(0, Chart{ChartType::Bar, Range{1, 1, 3, 4}, false, true, QStringLiteral("季度产值对比"),
                               Range{1, 6, 5, 18}});
        const QString pdf = m_dir.filePath("chart.pdf");
        exportSheetToPdf(c.workbook(), 0, pdf);
        const QString text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("季度产值对比")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("完成")));
        QVERIFY(text.contains(QStringLiteral("二季度")));
        const QString images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
        QVERIFY2(images.split(QLatin1Char('\n')).size() >= 4, qPrintable(images));   // header lines + the picture

        run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("48"), QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"), pdf, m_dir.filePath("chart")});
        QImage page(m_dir.filePath("chart.png"));
        QVERIFY(!page.isNull());
        // The bars of both series are there in their colours, the picture in its green.
        QVERIFY(share(page, page.rect(), QColor(0x44, 0x72, 0xc4)) > 0.002);
        QVERIFY(share(page, page.rect(), QColor(0xed, 0x7d, 0x31)) > 0.002);
        QVERIFY(share(page, page.rect(), QColor(0, 160, 0)) > 0.002);
    }
};

QTEST_MAIN(TstCellCharts)
#include "tst_cell_charts.moc"
