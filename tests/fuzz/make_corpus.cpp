// Writes the seed inputs of the fuzz corpus (tests/fuzz/corpus): valid files and payloads to start the fuzzer from,
// and the hostile ones that once broke a reader. Run it by hand after a change of the table-file format:
//   build/tests/quelmar_make_fuzz_corpus tests/fuzz/corpus
#include "cell/BlankTableFile.h"
#include "cell/CellControl.h"
#include "cell/TableFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <limits>

using namespace cell;

namespace {

bool put(const QString& dir, const QString& name, const QByteArray& bytes)
{
    QDir().mkpath(dir);
    QFile f(QDir(dir).filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        return false;
    }
    return true;
}

Workbook richWorkbook()
{
    Workbook wb;
    wb.fonts = {QStringLiteral("宋体"), QStringLiteral("黑体"), QStringLiteral("Arial")};
    wb.colors = {0xffff0000, 0xff00ff00};
    Sheet s = makeSheet(QStringLiteral("检验表"), 7, 11);
    s.cellRef(1, 1).value = QStringLiteral("水泥混凝土面层检验表");
    s.cellRef(1, 2).value = 12.5;
    s.cellRef(2, 2).value = 0.875;
    s.cellRef(2, 2).format.numType = NumPercent;
    s.cellRef(2, 2).format.decimals = 1;
    s.cellRef(3, 2).value = 45355.0;
    s.cellRef(3, 2).format.numType = NumDate;
    s.cellRef(3, 2).format.dateStyle = 5;
    s.cellRef(4, 2).formula = QStringLiteral("SUM(A2:C2)");
    s.cellRef(4, 2).value = 45368.375;
    s.cellRef(5, 2).formula = QStringLiteral("IF(D2>100,\"合格\",\"不合格\")");
    s.cellRef(5, 2).value = QStringLiteral("合格");
    s.cellRef(1, 3).format.border[Bottom] = Line{2, 0xff000000};
    s.cellRef(1, 3).format.diagonal[0] = Line{6, 0xff000000};
    s.cellRef(2, 4).dropdown = QStringLiteral("甲\n乙\n");
    s.cellRef(2, 4).dropdownKind = 2;
    s.cellRef(3, 4).hyperlink = QStringLiteral("#检验表!A1");
    s.merges = {Range{1, 1, 4, 1}};
    s.pictures = {Picture{Range{2, 6, 3, 8}, QByteArray("\x89PNG\r\n\x1a\n", 8)}};
    wb.sheets = {s, makeSheet(QStringLiteral("第二页"))};
    return wb;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString payloads = root + QStringLiteral("/tablefile-payload");
    const QString files = root + QStringLiteral("/tablefile-bytes");
    const QString password = tableFilePassword();
    bool ok = true;

    const Workbook rich = richWorkbook();
    ok &= put(payloads, QStringLiteral("rich.bin"), TableFileWriter::payload(rich));
    ok &= put(files, QStringLiteral("rich.cll"), TableFileWriter::encode(rich, password));
    QDir().mkpath(files);
    writeBlankTableFile(files + QStringLiteral("/blank.cll"));

    // Values no program writes, each alone in an otherwise sound workbook.
    struct Hostile {
        const char* name;
        void (*spoil)(Workbook&);
    };
    const Hostile hostile[] = {
        {"decimals-int-max", [](Workbook& w) { w.sheets[0].cellRef(1, 2).format.decimals = std::numeric_limits<int>::max(); }},
        {"decimals-negative", [](Workbook& w) { w.sheets[0].cellRef(1, 2).format.decimals = -7; }},
        {"number-type", [](Workbook& w) { w.sheets[0].cellRef(1, 2).format.numType = 1000; }},
        {"font-size", [](Workbook& w) { w.sheets[0].cellRef(1, 1).format.fontSize = std::numeric_limits<int>::max(); }},
        {"font-index", [](Workbook& w) { w.sheets[0].cellRef(1, 1).format.font = -9; }},
        {"color-index", [](Workbook& w) { w.sheets[0].cellRef(1, 1).format.textColor = 1 << 30; }},
        {"date-style", [](Workbook& w) { w.sheets[0].cellRef(3, 2).format.dateStyle = 5000; }},
        {"margin-nan", [](Workbook& w) { w.sheets[0].page.marginTop = std::nan(""); }},
        {"margin-huge", [](Workbook& w) { w.sheets[0].page.marginTop = 1e300; }},
        {"scale-zero", [](Workbook& w) { w.sheets[0].page.scale = 0; }},
        {"print-area", [](Workbook& w) { w.sheets[0].page.printArea = Range{-100, -100, 1 << 30, 1 << 30}; }},
        {"current-sheet", [](Workbook& w) { w.curSheet = 77; }},
        {"zoom", [](Workbook& w) { w.sheets[0].zoom = std::numeric_limits<double>::infinity(); }},
        {"merge-outside", [](Workbook& w) { w.sheets[0].merges << Range{5, 5, 900, 5}; }},
        {"picture-outside", [](Workbook& w) { w.sheets[0].pictures << Picture{Range{1, 1, 2, 99999}, QByteArray()}; }},
    };
    for (const Hostile& h : hostile) {
        Workbook w = rich;
        h.spoil(w);
        ok &= put(payloads, QString::fromLatin1(h.name) + QStringLiteral(".bin"), TableFileWriter::payload(w));
        ok &= put(files, QString::fromLatin1(h.name) + QStringLiteral(".cll"), TableFileWriter::encode(w, password));
    }
    // Cut short and padded.
    const QByteArray full = TableFileWriter::payload(rich);
    ok &= put(payloads, QStringLiteral("truncated.bin"), full.left(full.size() / 2));
    ok &= put(payloads, QStringLiteral("count-bomb.bin"), QByteArray(4, '\x7f') + full.mid(4));
    ok &= put(files, QStringLiteral("header-only.cll"), TableFileWriter::encode(rich, password).left(104));

    const QString formulas = root + QStringLiteral("/formula");
    const char* texts[] = {
        "SUM(A1:D4)*2", "IF(B2>=90,\"合格\",\"不合格\")", "ROUND(AVERAGE(A1:A4),2)", "'第二页'!A1+$B$2",
        "E5+1", "1/0", "SUM(A:A)", "SUM(1:65535)", "INDIRECT(\"ZZZ99999999\")", "OFFSET(A1,-1,-1,70000,300)",
        "REPT(\"测\",1E9)", "TEXT(1,\"0.0000000000000000000000000000000000000000\")", "DATE(99999,99,99)",
        "10^308*10", "-(-(-(-(-(-(-1))))))", "((((((((((((((((((((((((((((((1))))))))))))))))))))))))))))))",
        "VLOOKUP(A1,A1:D4,99999,FALSE)", "MID(\"abc\",-1,2147483647)", "CHAR(1114112)", "SUMIF(A1:D4,\">\"&A1)",
        "COUNTIF(A1:D4,\"*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?x\")", "＝ＳＵＭ（Ａ１：Ｂ２）",
        "“文字”&A1", "A1:B2 C1:D4", "#REF!+1", "SUM(", "1+*2", "\"\\", "IV65535+IW1", "A0",
    };
    int i = 0;
    for (const char* t : texts)
        ok &= put(formulas, QStringLiteral("seed-%1.txt").arg(++i, 2, 10, QLatin1Char('0')), QByteArray(t));
    return ok ? 0 : 1;
}
