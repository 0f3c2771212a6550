// The shape of a workbook: inserting and deleting rows and columns, the sheet size, and inserting, removing and
// renaming sheets.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "cell/CellCommands.h"
#include "core/QuelmarError.h"

#include <QRegularExpression>

namespace cell {

using namespace control;

// ---- Rows, columns, size -----------------------------------------------------------------------------------------

namespace {

// One index along the moved axis after inserting `count` (> 0) or deleting -count (< 0) at `at`; -1 when deleted.
int movedIndex(int i, int at, int count)
{
    if (i < at)
        return i;
    if (count > 0)
        return i + count;
    return i < at - count ? -1 : i + count;
}

// The span [lo, hi] after the move; false when all of it was deleted. Inserting inside a span grows it;
// inserting at its first index moves it whole.
bool movedSpan(int& lo, int& hi, int at, int count)
{
    if (count > 0) {
        if (lo >= at)
            lo += count;
        if (hi >= at)
            hi += count;
        return true;
    }
    const int del = -count, last = at + del - 1;
    if (lo >= at && hi <= last)
        return false;
    const int nlo = lo < at ? lo : (lo <= last ? at : lo - del);
    const int nhi = hi < at ? hi : (hi <= last ? at - 1 : hi - del);
    lo = nlo;
    hi = nhi;
    return lo <= hi;
}

} // namespace

void CellControl::moveStructure(int sheet, bool rows, int at, int count)
{
    editSheet(sheet, rows ? (count > 0 ? tr("插入行") : tr("删除行")) : (count > 0 ? tr("插入列") : tr("删除列")),
              [&](Sheet& sh) {
                  QHash<quint32, Cell> cells;
                  cells.reserve(sh.cells.size());
                  for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
                      int c = Sheet::keyCol(it.key()), r = Sheet::keyRow(it.key());
                      int& i = rows ? r : c;
                      i = movedIndex(i, at, count);
                      if (i >= 0)
                          cells.insert(Sheet::key(c, r), it.value());
                  }
                  sh.cells = std::move(cells);
                  QVector<int>& sizes = rows ? sh.rowHeights : sh.colWidths;
                  int& total = rows ? sh.rows : sh.cols;
                  sizes.resize(total, rows ? 22 : 72);
                  if (count > 0)
                      sizes.insert(at, count, rows ? 22 : 72);
                  else
                      sizes.remove(at, -count);
                  total += count;
                  const auto moveRange = [&](Range& r) {
                      return rows ? movedSpan(r.row1, r.row2, at, count) : movedSpan(r.col1, r.col2, at, count);
                  };
                  QList<Range> merges;
                  for (Range m : std::as_const(sh.merges))
                      if (moveRange(m) && (m.width() > 1 || m.height() > 1))
                          merges << m;
                  sh.merges = merges;
                  QList<Picture> pictures;
                  for (Picture p : std::as_const(sh.pictures))
                      if (moveRange(p.anchor))
                          pictures << p;
                  sh.pictures = pictures;
                  QList<Chart> charts;
                  for (Chart c : std::as_const(sh.charts))
                      if (moveRange(c.anchor)) {
                          if (!moveRange(c.data))
                              c.data = Range{};
                          charts << c;
                      }
                  sh.charts = charts;
                  if (!sh.page.printArea.isEmpty() && !moveRange(sh.page.printArea))
                      sh.page.printArea = Range{};
                  int& fixed = rows ? sh.fixedRows : sh.fixedCols;
                  if (fixed >= at)
                      fixed = qMax(at - 1, movedIndex(fixed, at, count));
                  if (!moveRange(sh.selection) || sh.selection.isEmpty())
                      sh.selection = Range{1, 1, 1, 1};
                  sh.selection = clipped(sh.selection, sh);
                  int& cur = rows ? sh.curRow : sh.curCol;
                  cur = qBound(1, movedIndex(cur, at, count) < 0 ? at : movedIndex(cur, at, count), total - 1);
                  if (rows)
                      count > 0 ? m_engine->insertRows(sheet, at, count) : m_engine->deleteRows(sheet, at, -count);
                  else
                      count > 0 ? m_engine->insertCols(sheet, at, count) : m_engine->deleteCols(sheet, at, -count);
                  return true;
              });
}

void CellControl::InsertCol(int index, int count, int sheet)
{
    const Sheet* sh = sheetPtr(sheet);
    if (!sh || count <= 0)
        return;
    if (count > MaxCols || sh->cols - 1 + count > MaxCols)
        throw QuelmarError(QStringLiteral("表格最多 %1 列，不能再插入 %2 列。").arg(MaxCols).arg(count));
    moveStructure(sheet, false, qBound(1, index, sh->cols), count);
}

void CellControl::DeleteCol(int index, int count, int sheet)
{
    const Sheet* sh = sheetPtr(sheet);
    if (!sh || count <= 0 || index < 1 || index >= sh->cols)
        return;
    count = qMin(count, sh->cols - index);
    if (count >= sh->cols - 1)
        throw QuelmarError(QStringLiteral("不能删除表格的全部列。"));
    moveStructure(sheet, false, index, -count);
}

void CellControl::InsertRow(int index, int count, int sheet)
{
    const Sheet* sh = sheetPtr(sheet);
    if (!sh || count <= 0)
        return;
    if (count > MaxRows || sh->rows - 1 + count > MaxRows)
        throw QuelmarError(QStringLiteral("表格最多 %1 行，不能再插入 %2 行。").arg(MaxRows).arg(count));
    moveStructure(sheet, true, qBound(1, index, sh->rows), count);
}

void CellControl::DeleteRow(int index, int count, int sheet)
{
    const Sheet* sh = sheetPtr(sheet);
    if (!sh || count <= 0 || index < 1 || index >= sh->rows)
        return;
    count = qMin(count, sh->rows - index);
    if (count >= sh->rows - 1)
        throw QuelmarError(QStringLiteral("不能删除表格的全部行。"));
    moveStructure(sheet, true, index, -count);
}

namespace {

// Cuts everything of `sh` beyond `cols` × `rows` (counts with the label column and row).
void resizeSheet(Sheet& sh, int cols, int rows)
{
    sh.colWidths.resize(sh.cols, 72);
    sh.rowHeights.resize(sh.rows, 22);
    sh.colWidths.resize(cols, 72);
    sh.rowHeights.resize(rows, 22);
    sh.cols = cols;
    sh.rows = rows;
    sh.cells.removeIf([&](const QHash<quint32, Cell>::iterator& it) {
        return Sheet::keyCol(it.key()) >= cols || Sheet::keyRow(it.key()) >= rows;
    });
    QList<Range> merges;
    for (const Range& m : std::as_const(sh.merges)) {
        const Range c = clipped(m, sh);
        if (!c.isEmpty() && (c.width() > 1 || c.height() > 1))
            merges << c;
    }
    sh.merges = merges;
    sh.pictures.removeIf([&](const Picture& p) { return clipped(p.anchor, sh).isEmpty(); });
    for (Picture& p : sh.pictures)
        p.anchor = clipped(p.anchor, sh);
    if (!sh.page.printArea.isEmpty())
        sh.page.printArea = clipped(sh.page.printArea, sh);
    sh.selection = clipped(sh.selection, sh);
    if (sh.selection.isEmpty())
        sh.selection = Range{1, 1, 1, 1};
    sh.curCol = qBound(1, sh.curCol, cols - 1);
    sh.curRow = qBound(1, sh.curRow, rows - 1);
    sh.fixedCols = qMin(sh.fixedCols, cols - 1);
    sh.fixedRows = qMin(sh.fixedRows, rows - 1);
}

} // namespace

void CellControl::SetCols(int count, int sheet)
{
    const Sheet* sh = sheetPtr(sheet);
    if (!sh)
        return;
    count = qBound(2, count, MaxCols + 1);
    if (count == sh->cols)
        return;
    editSheet(sheet, tr("设置列数"), [&](Sheet& s) {
        resizeSheet(s, count, s.rows);
        return false;
    });
}

void CellControl::SetRows(int count, int sheet)
{
    const Sheet* sh = sheetPtr(sheet);
    if (!sh)
        return;
    count = qBound(2, count, MaxRows + 1);
    if (count == sh->rows)
        return;
    editSheet(sheet, tr("设置行数"), [&](Sheet& s) {
        resizeSheet(s, s.cols, count);
        return false;
    });
}

// ---- Sheets ----------------------------------------------------------------------------------------------------

namespace {
bool sheetNameTaken(const Workbook& wb, const QString& name, int except)
{
    for (int i = 0; i < wb.sheets.size(); ++i)
        if (i != except && wb.sheets.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void checkSheetName(const Workbook& wb, const QString& name, int except)
{
    static const QRegularExpression bad(QStringLiteral("[\\[\\]*?:/\\\\']"));
    if (name.trimmed().isEmpty() || name.size() > 31 || name.contains(bad))
        throw QuelmarError(QStringLiteral("表页名称“%1”无效。").arg(name));
    if (sheetNameTaken(wb, name, except))
        throw QuelmarError(QStringLiteral("已有名为“%1”的表页。").arg(name));
}
} // namespace

int CellControl::insertSheet(int index, const QString& name)
{
    index = qBound(0, index, int(m_wb.sheets.size()));
    QString n = name;
    for (int i = int(m_wb.sheets.size()) + 1; n.isEmpty(); ++i)
        if (!sheetNameTaken(m_wb, QStringLiteral("Sheet%1").arg(i), -1))
            n = QStringLiteral("Sheet%1").arg(i);
    checkSheetName(m_wb, n, -1);
    const QList<Sheet> before = m_wb.sheets;
    m_wb.sheets.insert(index, makeSheet(n));
    if (m_wb.curSheet >= index)
        ++m_wb.curSheet;
    m_engine->rebuild();
    push(new SheetsEdit(*this, before, m_wb.sheets, index, tr("插入表页")));
    emit layoutChanged(index);
    emit selectionChanged();
    return index;
}

void CellControl::removeSheet(int index)
{
    if (!sheetPtr(index))
        return;
    if (m_wb.sheets.size() == 1)
        throw QuelmarError(QStringLiteral("不能删除唯一的表页。"));
    const QList<Sheet> before = m_wb.sheets;
    const QString name = m_wb.sheets.at(index).name;
    m_wb.sheets.removeAt(index);
    if (m_wb.curSheet > index || m_wb.curSheet >= m_wb.sheets.size())
        m_wb.curSheet = qMax(0, m_wb.curSheet - 1);
    m_engine->sheetRemoved(name);
    push(new SheetsEdit(*this, before, m_wb.sheets, m_wb.curSheet, tr("删除表页")));
    emit layoutChanged(m_wb.curSheet);
    emit selectionChanged();
}

void CellControl::renameSheet(int index, const QString& name)
{
    if (!sheetPtr(index) || m_wb.sheets.at(index).name == name)
        return;
    checkSheetName(m_wb, name, index);
    const QList<Sheet> before = m_wb.sheets;
    const QString old = m_wb.sheets.at(index).name;
    m_wb.sheets[index].name = name;
    m_engine->sheetRenamed(old, name);
    push(new SheetsEdit(*this, before, m_wb.sheets, index, tr("表页改名")));
    emit layoutChanged(index);
}

void CellControl::insertWorkbookSheets(const Workbook& other, bool replace)
{
    if (other.sheets.isEmpty())
        return;
    // The imported formats index the other workbook's tables: map them into ours.
    QVector<int> fonts, colors;
    for (const QString& f : other.fonts)
        fonts << m_wb.findFontIndex(f, true);
    for (QRgb c : other.colors)
        colors << m_wb.findColorIndex(c, true);
    const auto remap = [&](CellFormat& f) {
        f.font = f.font >= 0 && f.font < fonts.size() ? fonts.at(f.font) : 0;
        f.textColor = f.textColor >= 0 && f.textColor < colors.size() ? colors.at(f.textColor) : -1;
        f.backColor = f.backColor >= 0 && f.backColor < colors.size() ? colors.at(f.backColor) : -1;
    };
    QList<Sheet> incoming = other.sheets;
    for (Sheet& sh : incoming)
        for (Cell& c : sh.cells)
            remap(c.format);
    const int first = replace ? 0 : int(m_wb.sheets.size());
    QStringList taken;
    if (!replace)
        for (const Sheet& sh : std::as_const(m_wb.sheets))
            taken << sh.name.toLower();
    for (Sheet& sh : incoming) {
        static const QRegularExpression bad(QStringLiteral("[\\[\\]*?:/\\\\']"));
        QString name = sh.name.trimmed().replace(bad, QStringLiteral("_")).left(27);
        if (name.isEmpty())
            name = QStringLiteral("Sheet");
        const QString base = name;
        for (int n = 2; taken.contains(name.toLower()); ++n)
            name = base + QStringLiteral("(%1)").arg(n);
        taken << name.toLower();
        sh.name = name;
    }
    const QList<Sheet> before = m_wb.sheets;
    if (replace)
        m_wb.sheets = incoming;
    else
        m_wb.sheets += incoming;
    m_wb.curSheet = first;
    m_engine->rebuild();
    markRulesDirty(true);
    push(new SheetsEdit(*this, before, m_wb.sheets, first, replace ? tr("导入Excel文件") : tr("导入Excel表页")));
    emit layoutChanged(first);
    emit cellsChanged(first, Range{1, 1, m_wb.sheets.at(first).cols - 1, m_wb.sheets.at(first).rows - 1});
    emit selectionChanged();
}

} // namespace cell
