#include "cell/BlankTableFile.h"
#include "cell/CellControl.h"
#include "cell/NumberFormat.h"
#include "cell/TableFile.h"
#include "core/QuelmarError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>
#include <sys/resource.h>

using namespace cell;

namespace {

// A workbook that uses every part of the model, so that a round trip shows what the format forgets.
Workbook fullWorkbook()
{
    Workbook wb;
    wb.fonts = {QStringLiteral("宋体"), QStringLiteral("黑体"), QStringLiteral("Arial")};
    wb.colors = {0xffff0000, 0xff00ff00, 0xff123456};
    wb.showSheetLabel = false;
    Sheet a = makeSheet(QStringLiteral("检验表"), 12, 40);
    a.colWidths[3] = 130;
    a.rowHeights[5] = 44;
    a.cellRef(1, 1).value = QStringLiteral("工程名称：K12+300～K13+000 路基");
    a.cellRef(2, 1).value = 3.14159;
    a.cellRef(3, 1).value = true;
    a.cellRef(4, 1).value = ErrorValue::Div0;
    Cell& f = a.cellRef(5, 2);
    f.formula = QStringLiteral("SUM(B1:B4)");
    f.value = 3.14159;
    CellFormat fmt;
    fmt.font = 1;
    fmt.fontSize = 14;
    fmt.fontStyle = 2 | 8;
    fmt.textColor = 0;
    fmt.backColor = 2;
    fmt.align = AlignHCenter | AlignTop;
    fmt.textStyle = 2;
    fmt.numType = NumDate;
    fmt.decimals = 2;
    fmt.separator = 2;
    fmt.currency = 3;
    fmt.dateStyle = 21;
    fmt.timeStyle = 10;
    fmt.input = 5;
    fmt.border[Left] = Line{2, 0xff000000};
    fmt.border[Top] = Line{3, 0xff0000ff};
    fmt.border[Right] = Line{12, 0xff000000};
    fmt.border[Bottom] = Line{255, 0xff00ff00};
    fmt.diagonal[0] = Line{6, 0xff000000};
    fmt.diagonal[1] = Line{7, 0xffabcdef};
    a.cellRef(6, 3).format = fmt;
    a.cellRef(6, 3).value = 45000.5;
    Cell& d = a.cellRef(2, 8);
    d.dropdown = QStringLiteral("甲监理公司\n乙监理公司\n");
    d.dropdownKind = 2;
    a.cellRef(3, 8).hyperlink = QStringLiteral("#Sheet2!A1");
    a.cellRef(12, 40).value = QStringLiteral("最后一格");
    a.merges = {Range{1, 10, 4, 11}, Range{6, 6, 6, 9}};
    a.pictures = {Picture{Range{2, 20, 4, 24}, QByteArray("\x89PNG fake bytes\0\1\2", 19)}};
    a.backgroundPicture = QByteArray(300, 'x');
    a.curCol = 3;
    a.curRow = 7;
    a.selection = Range{3, 7, 5, 9};
    a.fixedCols = 2;
    a.fixedRows = 3;
    a.showRowLabel = false;
    a.showGrid = false;
    a.showVScroll = false;
    a.zoom = 1.5;
    a.page.paper = 8;
    a.page.landscape = true;
    a.page.marginLeft = 20.5;
    a.page.marginBottom = 9;
    a.page.scale = 80;
    a.page.fitToWidth = true;
    a.page.centerHorizontally = false;
    a.page.centerVertically = true;
    a.page.printArea = Range{1, 1, 8, 30};
    a.page.copies = 3;
    Sheet b = makeSheet(QStringLiteral("Sheet2"), 3, 3);
    b.cellRef(1, 1).value = QString();   // an empty text is not a blank cell
    wb.sheets = {a, b};
    wb.curSheet = 1;
    return wb;
}

void compareCells(const Cell& x, const Cell& y, const QString& where)
{
    QVERIFY2(x.value == y.value, qPrintable(where));
    QCOMPARE(x.formula, y.formula);
    QVERIFY2(x.format == y.format, qPrintable(where));
    QCOMPARE(x.dropdown, y.dropdown);
    QCOMPARE(x.dropdownKind, y.dropdownKind);
    QCOMPARE(x.hyperlink, y.hyperlink);
}

void compareWorkbooks(const Workbook& x, const Workbook& y)
{
    QCOMPARE(x.fonts, y.fonts);
    QCOMPARE(x.colors, y.colors);
    QCOMPARE(x.curSheet, y.curSheet);
    QCOMPARE(x.showSheetLabel, y.showSheetLabel);
    QCOMPARE(x.sheets.size(), y.sheets.size());
    for (int i = 0; i < x.sheets.size(); ++i) {
        const Sheet &a = x.sheets.at(i), &b = y.sheets.at(i);
        QCOMPARE(a.name, b.name);
        QCOMPARE(a.cols, b.cols);
        QCOMPARE(a.rows, b.rows);
        QCOMPARE(a.colWidths, b.colWidths);
        QCOMPARE(a.rowHeights, b.rowHeights);
        QCOMPARE(a.cells.size(), b.cells.size());
        for (auto it = a.cells.cbegin(); it != a.cells.cend(); ++it) {
            QVERIFY(b.cells.contains(it.key()));
            compareCells(it.value(), b.cells.value(it.key()),
                         CellControl::GetCellRef(Sheet::keyCol(it.key()), Sheet::keyRow(it.key())));
        }
        QCOMPARE(a.merges, b.merges);
        QCOMPARE(a.pictures.size(), b.pictures.size());
        for (int p = 0; p < a.pictures.size(); ++p) {
            QVERIFY(a.pictures.at(p).anchor == b.pictures.at(p).anchor);
            QCOMPARE(a.pictures.at(p).data, b.pictures.at(p).data);
        }
        QCOMPARE(a.backgroundPicture, b.backgroundPicture);
        QCOMPARE(a.curCol, b.curCol);
        QCOMPARE(a.curRow, b.curRow);
        QVERIFY(a.selection == b.selection);
        QCOMPARE(a.fixedCols, b.fixedCols);
        QCOMPARE(a.fixedRows, b.fixedRows);
        QCOMPARE(a.showRowLabel, b.showRowLabel);
        QCOMPARE(a.showColLabel, b.showColLabel);
        QCOMPARE(a.showGrid, b.showGrid);
        QCOMPARE(a.showHScroll, b.showHScroll);
        QCOMPARE(a.showVScroll, b.showVScroll);
        QCOMPARE(a.zoom, b.zoom);
        QVERIFY(a.page == b.page);
    }
}

} // namespace

// The table-file format: what it keeps, whom it lets in, and how it fails.
class TstTableFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void roundTripKeepsEverything()
    {
        const Workbook wb = fullWorkbook();
        TableFileWriter w;
        QVERIFY2(w.write(path("full.cll"), tableFilePassword(), wb), qPrintable(w.errorString()));
        Workbook back;
        TableFileReader r;
        QVERIFY2(r.read(path("full.cll"), tableFilePassword(), back), qPrintable(r.errorString()));
        compareWorkbooks(wb, back);
    }

    void theControlSavesWhatItOpens()
    {
        TableFileWriter w;
        QVERIFY(w.write(path("ctl.cll"), tableFilePassword(), fullWorkbook()));
        CellControl c;
        QCOMPARE(c.OpenFile(path("ctl.cll"), tableFilePassword()), 1);
        QCOMPARE(c.GetFileName(), path("ctl.cll"));
        QCOMPARE(c.SaveFile(path("ctl2.cll"), 1), 1);
        Workbook back;
        QVERIFY(TableFileReader().read(path("ctl2.cll"), tableFilePassword(), back));
        compareWorkbooks(c.workbook(), back);
        QCOMPARE(c.GetFileName(), path("ctl2.cll"));
    }

    void blankTableFileIsAOneSheetForm()
    {
        writeBlankTableFile(path("Book1.cll"));
        CellControl c;
        QCOMPARE(c.OpenFile(path("Book1.cll"), tableFilePassword()), 1);
        QCOMPARE(c.workbook().sheets.size(), 1);
        QCOMPARE(c.GetCols(0), 11);
        QCOMPARE(c.GetRows(0), 31);
        QVERIFY(c.sheet(0).cells.isEmpty());
        QCOMPARE(c.IsModified(), 0);
    }

    void anotherPasswordDoesNotOpen()
    {
        QVERIFY(TableFileWriter().write(path("pw.cll"), tableFilePassword(), fullWorkbook()));
        for (const QString& wrong : {QStringLiteral(""), QStringLiteral("58206144"), QStringLiteral("582061430")}) {
            Workbook out;
            TableFileReader r;
            QVERIFY(!r.read(path("pw.cll"), wrong, out));
            QVERIFY2(r.errorString().contains(QStringLiteral("密码")), qPrintable(r.errorString()));
        }
    }

    void badFilesFailWithAMessage_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("message");
        const QString damaged = QStringLiteral("损坏");
        const QString foreign = QStringLiteral("不是表格文件");
        QTest::newRow("empty file") << "truncate" << 0 << foreign;
        QTest::newRow("magic only") << "truncate" << 8 << damaged;
        QTest::newRow("header cut") << "truncate" << 60 << damaged;
        QTest::newRow("header only") << "truncate" << 104 << damaged;
        QTest::newRow("half") << "truncate" << -2 << damaged;
        QTest::newRow("last byte missing") << "truncate" << -1 << damaged;
        QTest::newRow("flipped version") << "flip" << 8 << damaged;
        QTest::newRow("flipped size") << "flip" << 61 << damaged;
        QTest::newRow("flipped header check") << "flip" << 69 << damaged;
        QTest::newRow("flipped mac") << "flip" << 80 << damaged;
        QTest::newRow("flipped payload start") << "flip" << 104 << damaged;
        QTest::newRow("flipped payload middle") << "flip" << -2 << damaged;
        QTest::newRow("flipped last byte") << "flip" << -1 << damaged;
        QTest::newRow("garbage appended") << "append" << 0 << damaged;
        QTest::newRow("flipped salt") << "flip" << 13 << damaged;
        QTest::newRow("flipped verifier") << "flip" << 40 << damaged;
        QTest::newRow("text file") << "text" << 0 << foreign;
        QTest::newRow("random bytes") << "random" << 0 << foreign;
        QTest::newRow("missing") << "missing" << 0 << QStringLiteral("不存在");
    }
    void badFilesFailWithAMessage()
    {
        QFETCH(QString, how);
        QFETCH(int, at);
        QFETCH(QString, message);
        const QByteArray good = TableFileWriter::encode(fullWorkbook(), tableFilePassword());
        QByteArray bytes = good;
        const int pos = at == -2 ? int(good.size() / 2) : (at == -1 ? int(good.size()) - 1 : at);
        if (how == "truncate")
            bytes.truncate(at == -1 ? pos : pos);
        else if (how == "flip")
            bytes[pos] = char(bytes.at(pos) ^ 0x20);
        else if (how == "append")
            bytes += "trailing";
        else if (how == "text")
            bytes = "工程名称,监理单位\n甲,乙\n";
        else if (how == "random") {
            bytes.resize(5000);
            for (char& ch : bytes)
                ch = char(QRandomGenerator::global()->bounded(256));
        }
        const QString file = path("bad.cll");
        QFile::remove(file);
        if (how != "missing") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        Workbook out = fullWorkbook();
        TableFileReader r;
        QVERIFY(!r.read(file, tableFilePassword(), out));
        QVERIFY2(r.errorString().contains(message), qPrintable(r.errorString()));
        compareWorkbooks(out, fullWorkbook());   // untouched on failure

        // The control never keeps a stale workbook after a failed open: a later save cannot overwrite a file
        // with another form's content.
        CellControl c;
        QVERIFY(TableFileWriter().write(path("other.cll"), tableFilePassword(), fullWorkbook()));
        QCOMPARE(c.OpenFile(path("other.cll"), tableFilePassword()), 1);
        c.SetCellString(1, 1, 0, QStringLiteral("改过"));
        QCOMPARE(c.OpenFile(file, tableFilePassword()), 0);
        QVERIFY(c.GetFileName().isEmpty());
        QCOMPARE(c.IsModified(), 0);
        QCOMPARE(c.workbook().sheets.size(), 1);
        QVERIFY(c.sheet(0).cells.isEmpty());
        QVERIFY(c.errorString().contains(message));
    }

    void craftedPayloadsNeverCrash()
    {
        // The password is no secret, so a file can pass every check of the file layer and still carry nonsense:
        // the parser must refuse it or produce a workbook whose indexes all hold.
        const QByteArray good = TableFileWriter::payload(fullWorkbook());
        QRandomGenerator rng(20261210);
        for (int i = 0; i < 400; ++i) {
            QByteArray bad = good;
            const int pos = int(rng.bounded(qint64(good.size())));
            switch (i % 4) {
            case 0: bad.truncate(pos); break;
            case 1:
                for (int k = 0; k < 3; ++k)
                    bad[int(rng.bounded(qint64(good.size())))] = char(rng.bounded(256));
                break;
            case 2: bad.replace(pos, 4, QByteArray(4, '\xff')); break;
            case 3: bad.insert(pos, QByteArray(int(rng.bounded(1, 9)), char(rng.bounded(256)))); break;
            }
            Workbook out;
            TableFileReader r;
            if (!r.decode(TableFileWriter::seal(bad, tableFilePassword()), tableFilePassword(), out)) {
                QVERIFY2(r.errorString().contains(QStringLiteral("损坏")), qPrintable(r.errorString()));
                continue;
            }
            QVERIFY(!out.fonts.isEmpty());
            QVERIFY(out.curSheet >= 0 && out.curSheet < out.sheets.size());
            for (const Sheet& sh : out.sheets) {
                QCOMPARE(sh.colWidths.size(), sh.cols);
                QCOMPARE(sh.rowHeights.size(), sh.rows);
                QVERIFY(!sh.selection.isEmpty() && sh.selection.col2 < sh.cols && sh.selection.row2 < sh.rows);
                for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
                    QVERIFY(Sheet::keyCol(it.key()) < sh.cols && Sheet::keyRow(it.key()) < sh.rows);
                    QVERIFY(it.value().format.font < out.fonts.size());
                    QVERIFY(it.value().format.textColor < out.colors.size());
                    QVERIFY(it.value().format.backColor < out.colors.size());
                }
                for (const Range& m : sh.merges)
                    QVERIFY(m.col2 < sh.cols && m.row2 < sh.rows);
            }
        }
    }

    // Each field read from a file is checked against its range: what no program writes makes the file damaged,
    // a value that is only unusual is brought to its default or limit. Nothing read may crash what shows it.
    void fieldsOutOfRangeAreRefusedOrBounded_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("read");   // the value read back when not refused
        enum { Decimals, NumberType, FontSize, DateStyle, TimeStyle, Currency, Input, Copies, Scale, Dropdown };
        QTest::newRow("decimals 2147483647") << int(Decimals) << 2147483647 << true << 0;
        QTest::newRow("decimals -2") << int(Decimals) << -2 << true << 0;
        QTest::newRow("decimals 30") << int(Decimals) << 30 << false << 30;
        QTest::newRow("number type 99") << int(NumberType) << 99 << true << 0;
        QTest::newRow("number type -1") << int(NumberType) << -1 << true << 0;
        QTest::newRow("font size 100000") << int(FontSize) << 100000 << false << 409;
        QTest::newRow("font size -3") << int(FontSize) << -3 << false << 1;
        QTest::newRow("date style 99") << int(DateStyle) << 99 << false << 0;
        QTest::newRow("time style -4") << int(TimeStyle) << -4 << false << 0;
        QTest::newRow("currency 77") << int(Currency) << 77 << false << 0;
        QTest::newRow("input 3") << int(Input) << 3 << false << 1;
        QTest::newRow("copies 0") << int(Copies) << 0 << false << 1;
        QTest::newRow("scale 100000") << int(Scale) << 100000 << false << 400;
        QTest::newRow("drop-down kind 9") << int(Dropdown) << 9 << false << 0;
    }

    void fieldsOutOfRangeAreRefusedOrBounded()
    {
        QFETCH(int, field);
        QFETCH(int, stored);
        QFETCH(bool, refused);
        QFETCH(int, read);
        Workbook wb;
        wb.sheets[0] = makeSheet(QStringLiteral("Sheet1"));
        Cell& c = wb.sheets[0].cellRef(2, 2);
        c.value = 1234.5678;
        c.format.numType = NumNumber;
        c.format.decimals = 2;
        c.dropdown = QStringLiteral("甲\n乙\n");
        int* target = nullptr;
        switch (field) {
        case 0: target = &c.format.decimals; break;
        case 1: target = &c.format.numType; break;
        case 2: target = &c.format.fontSize; break;
        case 3: target = &c.format.dateStyle; c.format.numType = NumDate; break;
        case 4: target = &c.format.timeStyle; c.format.numType = NumTime; break;
        case 5: target = &c.format.currency; c.format.numType = NumCurrency; break;
        case 6: target = &c.format.input; break;
        case 7: target = &wb.sheets[0].page.copies; break;
        case 8: target = &wb.sheets[0].page.scale; break;
        case 9: target = &c.dropdownKind; break;
        }
        *target = stored;
        Workbook back;
        TableFileReader r;
        const bool ok = r.decode(TableFileWriter::encode(wb, tableFilePassword()), tableFilePassword(), back);
        QCOMPARE(!ok, refused);
        if (!ok) {
            QVERIFY2(r.errorString().contains(QStringLiteral("已损坏或不完整")), qPrintable(r.errorString()));
            return;
        }
        Cell& b = back.sheets[0].cellRef(2, 2);
        const int values[] = {b.format.decimals, b.format.numType, b.format.fontSize, b.format.dateStyle,
                              b.format.timeStyle, b.format.currency, b.format.input, back.sheets[0].page.copies,
                              back.sheets[0].page.scale, b.dropdownKind};
        QCOMPARE(values[field], read);
        QVERIFY(!displayText(b).isEmpty());
    }

    void marginsAndPrintAreaAreChecked()
    {
        Workbook wb;
        wb.sheets[0] = makeSheet(QStringLiteral("Sheet1"));
        wb.sheets[0].page.marginLeft = std::nan("");
        Workbook back;
        TableFileReader r;
        QVERIFY(!r.decode(TableFileWriter::encode(wb, tableFilePassword()), tableFilePassword(), back));
        wb.sheets[0].page.marginLeft = 1e9;
        wb.sheets[0].page.printArea = Range{-5, 2, 70000, 9};
        QVERIFY2(r.decode(TableFileWriter::encode(wb, tableFilePassword()), tableFilePassword(), back),
                 qPrintable(r.errorString()));
        QCOMPARE(back.sheets[0].page.marginLeft, 500.0);
        const Range area = back.sheets[0].page.printArea;
        QCOMPARE(area.col1, 1);
        QCOMPARE(area.col2, back.sheets[0].cols - 1);
        QCOMPARE(area.row2, 9);
    }

    void aFileFromANewerProgramIsRefused()
    {
        QByteArray bytes = TableFileWriter::encode(fullWorkbook(), tableFilePassword());
        bytes[8] = char(TableFileVersion + 1);
        // A newer program writes a consistent header: recompute its check as it would.
        const QByteArray check = QCryptographicHash::hash(bytes.left(68), QCryptographicHash::Sha256).left(4);
        bytes.replace(68, 4, check);
        Workbook out;
        TableFileReader r;
        QVERIFY(!r.decode(bytes, tableFilePassword(), out, QStringLiteral("new.cll")));
        QVERIFY2(r.errorString().contains(QStringLiteral("更新版本")), qPrintable(r.errorString()));
    }

    void aFailedSaveLeavesTheOldFileIntact()
    {
        const QString file = path("atomic.cll");
        writeBlankTableFile(file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray old = f.readAll();
        f.close();

        // A form far bigger than the old file, written while the process may not write files beyond 8 KB: the
        // write fails half-way, as on a full disk.
        CellControl c;
        QCOMPARE(c.OpenFile(file, tableFilePassword()), 1);
        c.SetRows(2001, 0);
        for (int r = 1; r <= 2000; ++r)
            c.SetCellDouble(1, r, 0, QRandomGenerator::global()->generateDouble());
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit small = saved;
        small.rlim_cur = 8192;
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int result = c.SaveFile(file, 0);
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(result, 0);
        QVERIFY(!c.errorString().isEmpty());
        QCOMPARE(c.IsModified(), 1);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        f.close();
        // No temporary file is left beside it.
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("atomic*")}, QDir::Files), QStringList{"atomic.cll"});
        // And the same save works once the disk has room again.
        QCOMPARE(c.SaveFile(file, 0), 1);
        CellControl d;
        QCOMPARE(d.OpenFile(file, tableFilePassword()), 1);
        QCOMPARE(d.GetRows(0), 2001);
    }

    void saveIntoAMissingFolderFails()
    {
        CellControl c;
        c.SetCellString(1, 1, 0, QStringLiteral("x"));
        QCOMPARE(c.SaveFile(path("no/such/folder/x.cll"), 0), 0);
        QVERIFY(c.errorString().contains(QStringLiteral("无法保存")));
        QCOMPARE(c.IsModified(), 1);
        QVERIFY(c.GetFileName().isEmpty());
    }

    void formatsAreStoredOnce()
    {
        // 5000 cells of one format cost about what 5000 plain cells cost: the format is kept once.
        Workbook plain, formatted;
        Sheet s = makeSheet(QStringLiteral("S"), 50, 100);
        for (int c = 1; c <= 50; ++c)
            for (int r = 1; r <= 100; ++r)
                s.cellRef(c, r).value = double(c * 1000 + r);
        plain.sheets = {s};
        CellFormat f;
        f.fontStyle = 2;
        f.border[0] = Line{2, 0xff000000};
        for (Cell& cell : s.cells)
            cell.format = f;
        formatted.sheets = {s};
        const qsizetype a = TableFileWriter::payload(plain).size(), b = TableFileWriter::payload(formatted).size();
        QVERIFY2(b - a < 200, qPrintable(QStringLiteral("%1 -> %2").arg(a).arg(b)));
    }
};

QTEST_GUILESS_MAIN(TstTableFile)
#include "tst_tablefile.moc"
