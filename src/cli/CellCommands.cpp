// quelmar-cli cell ...: works on any table file, without a program folder or a login.

#include "cli/Cli.h"

#include "cell/BlankTableFile.h"
#include "cell/CellControl.h"
#include "cell/PdfExport.h"
#include "cell/excel/ExcelExport.h"
#include "cell/excel/ExcelImport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

using cell::CellControl;

namespace {

// Opens FILE with the table-file password; a file that does not open ends the command with the reader's message.
void openTable(CellControl& control, const QString& path)
{
    if (!control.OpenFile(path, cell::tableFilePassword()))
        throw QuelmarError(control.errorString());
}

void saveTable(CellControl& control)
{
    if (control.SaveFile(control.GetFileName(), 0) != 1)
        throw QuelmarError(control.errorString());
}

// The cell named by REF on the current sheet; refuses a malformed reference and a cell outside the sheet.
std::pair<int, int> cellArg(const CellControl& control, const QString& ref)
{
    int col = 0, row = 0;
    if (!CellControl::ParseCellRef(ref, col, row))
        throw QuelmarError(QStringLiteral("单元格引用 \"%1\" 不正确（应为列字母加行号，如 B8）。").arg(ref));
    const int sheet = control.GetCurSheet();
    if (!control.isValidCell(col, row, sheet))
        throw QuelmarError(QStringLiteral("单元格 %1 超出表格范围（表格有 %2 列、%3 行）。")
                               .arg(ref.toUpper())
                               .arg(control.GetCols(sheet) - 1)
                               .arg(control.GetRows(sheet) - 1));
    return {col, row};
}

QJsonValue jsonValue(const cell::Value& v)
{
    if (const double* d = std::get_if<double>(&v))
        return *d;
    if (const QString* s = std::get_if<QString>(&v))
        return *s;
    if (const bool* b = std::get_if<bool>(&v))
        return *b;
    if (const cell::ErrorValue* e = std::get_if<cell::ErrorValue>(&v))
        return cell::errorText(*e);
    return QJsonValue::Null;
}

QJsonObject cellJson(const CellControl& control, int col, int row)
{
    const int sheet = control.GetCurSheet();
    const cell::Cell* c = control.sheet(sheet).cellAt(col, row);
    QJsonObject o;
    o.insert(QStringLiteral("ref"), CellControl::GetCellRef(col, row));
    o.insert(QStringLiteral("text"), control.cellText(col, row, sheet));
    o.insert(QStringLiteral("value"), c ? jsonValue(c->value) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("formula"),
             c && !c->formula.isEmpty() ? QJsonValue(c->formula) : QJsonValue(QJsonValue::Null));
    return o;
}

int cellNew(CliContext& ctx)
{
    const QString path = ctx.arg(0, "FILE");
    if (QFileInfo::exists(path) && !ctx.flag(QStringLiteral("force")))
        throw QuelmarError(QStringLiteral("文件 \"%1\" 已存在（用 --force 覆盖）。").arg(path));
    cell::writeBlankTableFile(path);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("file"), path}});
    else
        ctx.print(QStringLiteral("已创建空白表格 %1").arg(path));
    return 0;
}

int cellSet(CliContext& ctx)
{
    CellControl control;
    openTable(control, ctx.arg(0, "FILE"));
    const auto [col, row] = cellArg(control, ctx.arg(1, "REF"));
    // Typed values, except that a leading '=' stays text here: formulas go through "cell formula", so data that
    // happens to start with '=' is never taken for one.
    const QString text = ctx.arg(2, "TEXT");
    if (text.startsWith(QLatin1Char('=')))
        control.SetCellString(col, row, control.GetCurSheet(), text);
    else
        control.enterText(col, row, control.GetCurSheet(), text, false);
    saveTable(control);
    if (ctx.opt.json)
        ctx.printJson(cellJson(control, col, row));
    return 0;
}

int cellFormula(CliContext& ctx)
{
    CellControl control;
    openTable(control, ctx.arg(0, "FILE"));
    const auto [col, row] = cellArg(control, ctx.arg(1, "REF"));
    control.SetFormula(col, row, control.GetCurSheet(), ctx.arg(2, "TEXT"));
    control.CalculateAll();
    saveTable(control);
    if (ctx.opt.json)
        ctx.printJson(cellJson(control, col, row));
    else
        ctx.print(control.cellText(col, row, control.GetCurSheet()));
    return 0;
}

int cellSize(CliContext& ctx)
{
    CellControl control;
    openTable(control, ctx.arg(0, "FILE"));
    const int cols = ctx.intArg(1, "COLS");
    const int rows = ctx.intArg(2, "ROWS");
    if (cols < 1 || cols > cell::MaxCols)
        throw QuelmarError(QStringLiteral("列数应在 1 到 %1 之间。").arg(cell::MaxCols));
    if (rows < 1 || rows > cell::MaxRows)
        throw QuelmarError(QStringLiteral("行数应在 1 到 %1 之间。").arg(cell::MaxRows));
    const int sheet = control.GetCurSheet();
    control.SetCols(cols + 1, sheet);
    control.SetRows(rows + 1, sheet);
    saveTable(control);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("cols"), cols}, {QStringLiteral("rows"), rows}});
    else
        ctx.print(QStringLiteral("表页尺寸：%1 列 × %2 行").arg(cols).arg(rows));
    return 0;
}

int cellGet(CliContext& ctx)
{
    CellControl control;
    openTable(control, ctx.arg(0, "FILE"));
    const auto [col, row] = cellArg(control, ctx.arg(1, "REF"));
    if (ctx.opt.json)
        ctx.printJson(cellJson(control, col, row));
    else
        ctx.print(control.cellText(col, row, control.GetCurSheet()));
    return 0;
}

int cellDump(CliContext& ctx)
{
    CellControl control;
    openTable(control, ctx.arg(0, "FILE"));
    const int sheet = control.GetCurSheet();
    const cell::Sheet& sh = control.sheet(sheet);
    QList<quint32> keys;
    for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it)
        if (!it.value().isBlank())
            keys << it.key();
    // Row by row, left to right: the order a reader of the form expects.
    std::sort(keys.begin(), keys.end(), [](quint32 a, quint32 b) {
        return std::pair(cell::Sheet::keyRow(a), cell::Sheet::keyCol(a))
            < std::pair(cell::Sheet::keyRow(b), cell::Sheet::keyCol(b));
    });
    if (ctx.opt.json) {
        QJsonArray cells;
        for (quint32 k : keys)
            cells.append(cellJson(control, cell::Sheet::keyCol(k), cell::Sheet::keyRow(k)));
        ctx.printJson(QJsonObject{{QStringLiteral("sheets"), int(control.workbook().sheets.size())},
                                  {QStringLiteral("cols"), control.GetCols(sheet) - 1},
                                  {QStringLiteral("rows"), control.GetRows(sheet) - 1},
                                  {QStringLiteral("cells"), cells}});
        return 0;
    }
    ctx.print(QStringLiteral("%1 列 × %2 行").arg(control.GetCols(sheet) - 1).arg(control.GetRows(sheet) - 1));
    for (quint32 k : keys) {
        const int col = cell::Sheet::keyCol(k), row = cell::Sheet::keyRow(k);
        const cell::Cell* c = sh.cellAt(col, row);
        QString line = CellControl::GetCellRef(col, row) + QLatin1Char('\t') + control.cellText(col, row, sheet);
        if (!c->formula.isEmpty())
            line += QStringLiteral("\t=") + c->formula;
        ctx.print(line);
    }
    return 0;
}

int cellPdf(CliContext& ctx)
{
    CellControl control;
    openTable(control, ctx.arg(0, "FILE"));
    const QString out = ctx.arg(1, "OUT.pdf");
    cell::exportSheetToPdf(control.workbook(), control.GetCurSheet(), out);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("pdf"), out}});
    return 0;
}

// Reads IN (xlsx, xls, ods, csv) into the table file OUT.cll: a new file, or the sheets of an existing one
// replaced by / added to. The table file is written only when the whole import succeeded.
int cellImportExcel(CliContext& ctx)
{
    const QString in = ctx.arg(0, "IN");
    const QString out = ctx.arg(1, "OUT.cll");
    const QString mode = ctx.value(QStringLiteral("sheets")).isEmpty() ? QStringLiteral("replace")
                                                                        : ctx.value(QStringLiteral("sheets"));
    if (mode != QLatin1String("replace") && mode != QLatin1String("append"))
        throw QuelmarError(QStringLiteral("--sheets 只能是 replace 或 append。"));
    cell::excel::ImportReport report;
    const cell::Workbook imported = cell::excel::importFile(in, &report);
    CellControl control;
    if (QFileInfo::exists(out))
        openTable(control, out);
    control.insertWorkbookSheets(imported, mode == QLatin1String("replace"));
    if (control.SaveFile(out, 0) != 1)
        throw QuelmarError(control.errorString());
    const QString note = cell::excel::importNote(report);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("file"), out},
                                  {QStringLiteral("sheets"), report.sheets},
                                  {QStringLiteral("cells"), report.cells},
                                  {QStringLiteral("formulas"), report.formulas},
                                  {QStringLiteral("formulasAsValues"), report.formulasAsValues},
                                  {QStringLiteral("clipped"), report.clipped},
                                  {QStringLiteral("note"), note}});
    else
        ctx.print(note);
    return 0;
}

int cellExportExcel(CliContext& ctx)
{
    CellControl control;
    openTable(control, ctx.arg(0, "FILE"));
    const QString out = ctx.arg(1, "OUT.xlsx");
    cell::excel::exportXlsx(control.workbook(), out);
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("xlsx"), out}});
    return 0;
}

CliCommand command(const char* name, const char* usage, const char* summary, int args,
                   std::function<int(CliContext&)> run)
{
    return makeCliCommand(name, usage, summary, args, args, std::move(run), false);
}

CliCommand withForce(CliCommand c)
{
    c.flagOptions << QStringLiteral("force");
    return c;
}

const CliRegistrar regNew(withForce(command("cell new", "FILE [--force]", "新建空白表格文件（1 页，10 列 × 30 行）", 1, cellNew)));
const CliRegistrar regSet(command("cell set", "FILE REF TEXT",
                                  "像用户输入一样写入单元格（数字成为数值，其余为文本；公式用 cell formula）并保存", 3, cellSet));
const CliRegistrar regFormula(command("cell formula", "FILE REF TEXT", "设置单元格公式、重算并保存", 3, cellFormula));
const CliRegistrar regSize(command("cell size", "FILE COLS ROWS", "设置当前表页的数据列数和行数并保存", 3, cellSize));
const CliRegistrar regGet(command("cell get", "FILE REF", "显示单元格的文字（--json：ref, text, value, formula）", 2, cellGet));
const CliRegistrar regDump(command("cell dump", "FILE", "列出当前表页所有非空单元格", 1, cellDump));
const CliRegistrar regImportExcel([] {
    CliCommand c = command("cell import-excel", "IN OUT.cll [--sheets replace|append]",
                           "把 Excel / OpenDocument / CSV 文件导入表格文件（替换或追加表页）", 2, cellImportExcel);
    c.valueOptions << QStringLiteral("sheets");
    return c;
}());
const CliRegistrar regExportExcel(command("cell export-excel", "FILE OUT.xlsx", "把表格文件导出为 Excel 工作簿（.xlsx）", 2,
                                          cellExportExcel));
const CliRegistrar regPdf(command("cell pdf", "FILE OUT.pdf", "把当前表页打印到 PDF 文件", 2, cellPdf));

} // namespace
