#include "cell/CellControl.h"
#include "cell/CellCommands.h"
#include "cell/NumberFormat.h"
#include "cell/TableFile.h"
#include "cell/formula/FormulaEngine.h"
#include "core/QuelmarError.h"

#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace cell {

CellPrintBackend::~CellPrintBackend() = default;

namespace {

CellPrintBackend* g_printBackend = nullptr;

bool sameCell(const Cell& a, const Cell& b)
{
    return a.value == b.value && a.formula == b.formula && a.format == b.format && a.dropdown == b.dropdown
        && a.dropdownKind == b.dropdownKind && a.hyperlink == b.hyperlink;
}

bool isDefaultCell(const Cell& c)
{
    return c.isBlank() && c.format == CellFormat{} && c.dropdown.isEmpty() && c.hyperlink.isEmpty();
}

Range normalized(int col1, int row1, int col2, int row2)
{
    return Range{qMin(col1, col2), qMin(row1, row2), qMax(col1, col2), qMax(row1, row2)};
}

// The part of `r` that lies in the data cells of `sh`.
Range clipped(const Range& r, const Sheet& sh)
{
    return Range{qMax(r.col1, 1), qMax(r.row1, 1), qMin(r.col2, sh.cols - 1), qMin(r.row2, sh.rows - 1)};
}

Range boundingRange(const QList<quint32>& keys)
{
    Range r{INT_MAX, INT_MAX, -1, -1};
    for (quint32 k : keys) {
        r.col1 = qMin(r.col1, Sheet::keyCol(k));
        r.row1 = qMin(r.row1, Sheet::keyRow(k));
        r.col2 = qMax(r.col2, Sheet::keyCol(k));
        r.row2 = qMax(r.row2, Sheet::keyRow(k));
    }
    return r;
}

void putCell(Sheet& sh, quint32 key, const Cell& c)
{
    if (isDefaultCell(c))
        sh.cells.remove(key);
    else
        sh.cells.insert(key, c);
}

Cell cellOf(const Sheet& sh, int col, int row)
{
    const Cell* c = sh.cellAt(col, row);
    return c ? *c : Cell{};
}

// ---- What the user types ----------------------------------------------------------------------------------------

// "1234", "-1.5e3", "1,234.50", "12%", "¥1,200" -> a number; false for anything else.
bool parseTypedNumber(QString t, double& value, bool& percent)
{
    t = t.trimmed();
    percent = false;
    if (t.isEmpty())
        return false;
    if (t.endsWith(QLatin1Char('%'))) {
        percent = true;
        t.chop(1);
    }
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    static const QRegularExpression grouped(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    if (grouped.match(t).hasMatch())
        t.remove(QLatin1Char(','));
    else if (!plain.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = percent ? v / 100.0 : v;
    return true;
}

// "2024-3-5", "2024/03/05" -> a date serial.
bool parseTypedDate(const QString& t, double& serial)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4})[-/](\\d{1,2})[-/](\\d{1,2})$"));
    const auto m = re.match(t.trimmed());
    if (!m.hasMatch())
        return false;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid())
        return false;
    serial = double(QDate(1899, 12, 30).daysTo(d));
    return true;
}

// ---- The clipboard, shared by every control of the program ---------------------------------------------------

struct Clip {
    bool valid = false;
    int width = 0, height = 0;
    QVector<Cell> cells;                // row-major, width * height
    QVector<int> colWidths, rowHeights;
    QList<Range> merges;                // relative to the top-left (0-based)
    QString text;                       // what was put on the system clipboard
    bool cut = false;
    QPointer<CellControl> source;
    int sourceSheet = 0;
    QString sourceSheetName;            // a cut moves only while its sheet is still at that index
    Range sourceRange;
    const Cell& at(int dc, int dr) const { return cells.at(dr * width + dc); }
};

Clip& clip()
{
    static Clip c;
    return c;
}

QClipboard* systemClipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

// The last run of digits of a text ("第1层", "K12+300"): a text series counts it up.
bool lastNumber(const QString& text, QString& prefix, qint64& n, int& digits, QString& suffix)
{
    static const QRegularExpression re(QStringLiteral("^(.*?)(\\d+)(\\D*)$"));
    const auto m = re.match(text);
    if (!m.hasMatch() || m.captured(2).size() > 15)
        return false;
    prefix = m.captured(1);
    n = m.captured(2).toLongLong();
    digits = int(m.captured(2).size());
    suffix = m.captured(3);
    return true;
}

int rank(const Value& v)
{
    if (std::holds_alternative<double>(v))
        return 0;
    if (std::holds_alternative<QString>(v))
        return std::get<QString>(v).isEmpty() ? 4 : 1;
    if (std::holds_alternative<bool>(v))
        return 2;
    if (std::holds_alternative<ErrorValue>(v))
        return 3;
    return 4;   // blank
}

// Sort order of two keys; blanks always go last, whatever the order.
bool sortsBefore(const Value& a, const Value& b, bool ascending)
{
    const int ra = rank(a), rb = rank(b);
    if (ra == 4 || rb == 4)
        return ra < rb;
    int cmp;
    if (ra != rb)
        cmp = ra < rb ? -1 : 1;
    else if (ra == 0)
        cmp = std::get<double>(a) < std::get<double>(b) ? -1 : (std::get<double>(a) > std::get<double>(b) ? 1 : 0);
    else if (ra == 1) {
        cmp = std::get<QString>(a).compare(std::get<QString>(b), Qt::CaseInsensitive);
        if (cmp == 0)
            cmp = std::get<QString>(a).compare(std::get<QString>(b));
    } else if (ra == 2)
        cmp = int(std::get<bool>(a)) - int(std::get<bool>(b));
    else
        cmp = int(std::get<ErrorValue>(a)) - int(std::get<ErrorValue>(b));
    return ascending ? cmp < 0 : cmp > 0;
}

// A cell's content moved by (dc, dr): relative references of its formula follow.
Cell movedCell(Cell c, int dc, int dr)
{
    if (!c.formula.isEmpty() && (dc || dr))
        c.formula = formula::FormulaEngine::translateFormula(c.formula, dc, dr);
    return c;
}

} // namespace

// ---- Construction, files ---------------------------------------------------------------------------------------

CellControl::CellControl(QObject* parent)
    : QObject(parent), m_undo(std::make_unique<QUndoStack>()), m_engine(std::make_unique<formula::FormulaEngine>(m_wb))
{
    m_wb = Workbook{};
    m_wb.sheets = {makeSheet(QStringLiteral("Sheet1"))};
}

CellControl::~CellControl() = default;

int CellControl::OpenFile(const QString& path, const QString& password)
{
    Workbook loaded;
    TableFileReader reader;
    const bool ok = reader.read(path, password, loaded);
    // Whatever happens, the old workbook is gone: after a failed open the control is empty, so that a later
    // save can never write a stale form over another file.
    resetModel();
    if (ok) {
        m_wb = std::move(loaded);
        m_fileName = path;
    } else {
        m_error = reader.errorString();
    }
    m_engine->rebuild();
    setModified(false);
    emit workbookReset();
    if (!ok)
        emit fileError(m_error);
    return ok ? 1 : 0;
}

int CellControl::SaveFile(const QString& path, int /*mode*/)
{
    m_error.clear();
    if (path.isEmpty()) {
        m_error = QStringLiteral("没有指定要保存的文件名。");
        emit fileError(m_error);
        return 0;
    }
    TableFileWriter writer;
    if (!writer.write(path, tableFilePassword(), m_wb)) {
        m_error = writer.errorString();
        emit fileError(m_error);
        return 0;
    }
    m_fileName = path;
    m_undo->setClean();
    setModified(false);
    return 1;
}

QString CellControl::GetFileName() const { return m_fileName; }

int CellControl::IsModified() const { return m_modified ? 1 : 0; }

void CellControl::resetModel()
{
    // A cut from the workbook that goes away pastes as a copy: there is nothing left to move.
    if (clip().source == this)
        clip().cut = false;
    m_undo->clear();
    m_groupDepth = 0;
    m_wb = Workbook{};
    m_wb.sheets = {makeSheet(QStringLiteral("Sheet1"))};
    m_fileName.clear();
    m_error.clear();
    m_viewerOption = true;
}

void CellControl::ResetContent()
{
    resetModel();
    m_engine->rebuild();
    setModified(false);
    emit workbookReset();
}

void CellControl::setModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

// ---- Sheets and addressing ---------------------------------------------------------------------------------------

int CellControl::GetCurSheet() const { return m_wb.curSheet; }

int CellControl::GetRows(int sheet) const
{
    return sheet >= 0 && sheet < m_wb.sheets.size() ? m_wb.sheets.at(sheet).rows : 0;
}

int CellControl::GetCols(int sheet) const
{
    return sheet >= 0 && sheet < m_wb.sheets.size() ? m_wb.sheets.at(sheet).cols : 0;
}

bool CellControl::ParseCellRef(const QString& text, int& col, int& row)
{
    int i = 0;
    const int n = int(text.size());
    qint64 c = 0;
    while (i < n && i < 4) {
        char16_t ch = text.at(i).unicode();   // ASCII only: QChar::toUpper would also map "ı" to "I"
        if (ch >= u'a' && ch <= u'z')
            ch = char16_t(ch - u'a' + u'A');
        if (ch < u'A' || ch > u'Z')
            break;
        c = c * 26 + (ch - u'A' + 1);
        ++i;
    }
    if (i == 0 || i == n || c > MaxCols)
        return false;
    qint64 r = 0;
    const int digitsStart = i;
    while (i < n) {
        const char16_t ch = text.at(i).unicode();
        if (ch < u'0' || ch > u'9' || i - digitsStart >= 6)
            return false;
        r = r * 10 + (ch - u'0');
        ++i;
    }
    if (r < 1 || r > MaxRows)
        return false;
    col = int(c);
    row = int(r);
    return true;
}

QString CellControl::GetCellRef(int col, int row)
{
    QString letters;
    for (int c = col; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

Sheet* CellControl::sheetPtr(int sheet)
{
    return sheet >= 0 && sheet < m_wb.sheets.size() ? &m_wb.sheets[sheet] : nullptr;
}

const Sheet& CellControl::sheet(int index) const
{
    if (index >= 0 && index < m_wb.sheets.size())
        return m_wb.sheets.at(index);
    return m_wb.sheets.at(qBound(0, m_wb.curSheet, int(m_wb.sheets.size()) - 1));
}

bool CellControl::isValidCell(int col, int row, int sheet) const
{
    return sheet >= 0 && sheet < m_wb.sheets.size() && col >= 1 && row >= 1 && col < m_wb.sheets.at(sheet).cols
        && row < m_wb.sheets.at(sheet).rows;
}

// ---- The edit paths ----------------------------------------------------------------------------------------------

void CellControl::push(QUndoCommand* command)
{
    if (m_undoEnabled)
        m_undo->push(command);
    else
        delete command;
    setModified(true);
}

void CellControl::notifyCells(int sheet, const Range& range)
{
    // Formula results elsewhere on the sheet may have changed with these cells.
    if (m_engine->formulaCount() > 0) {
        const Sheet& sh = m_wb.sheets.at(sheet);
        emit cellsChanged(sheet, Range{1, 1, sh.cols - 1, sh.rows - 1});
    } else {
        emit cellsChanged(sheet, range);
    }
}

void CellControl::editCells(int sheet, const CellChanges& changes, const QString& text)
{
    Sheet* sh = sheetPtr(sheet);
    if (!sh || changes.isEmpty())
        return;
    CellChanges before;
    bool changesSomething = false;   // an edit that changes nothing is no edit: no undo step, not modified
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        const auto old = sh->cells.constFind(it.key());
        if (old != sh->cells.constEnd())
            before.insert(it.key(), old.value());
        if (!sameCell(old != sh->cells.constEnd() ? old.value() : Cell{}, it.value()))
            changesSomething = true;
    }
    if (!changesSomething)
        return;
    const QList<quint32> keys = changes.keys();
    QList<quint32> contentChanged;   // format-only edits need no recalculation
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        const auto old = before.constFind(it.key());
        const Cell& was = old == before.constEnd() ? Cell{} : old.value();
        if (!(was.value == it.value().value) || was.formula != it.value().formula)
            contentChanged << it.key();
        putCell(*sh, it.key(), it.value());
    }
    for (quint32 k : std::as_const(contentChanged))
        m_engine->cellChanged(sheet, Sheet::keyCol(k), Sheet::keyRow(k));
    if (m_undoEnabled) {
        CellChanges after;
        for (quint32 k : keys)
            if (const Cell* c = sh->cellAt(Sheet::keyCol(k), Sheet::keyRow(k)))
                after.insert(k, *c);
        push(new CellsEdit(*this, sheet, before, after, text));
    } else {
        setModified(true);
    }
    notifyCells(sheet, boundingRange(keys));
}

void CellControl::editCell(int col, int row, int sheet, const QString& text, const std::function<void(Cell&)>& change)
{
    if (!isValidCell(col, row, sheet))
        return;
    Cell c = cellOf(m_wb.sheets.at(sheet), col, row);
    change(c);
    editCells(sheet, {{Sheet::key(col, row), c}}, text);
}

void CellControl::editFormat(int col, int row, int sheet, const std::function<void(CellFormat&)>& change)
{
    editCell(col, row, sheet, tr("设置格式"), [&](Cell& c) { change(c.format); });
}

void CellControl::editSheet(int sheet, const QString& text, const std::function<bool(Sheet&)>& change)
{
    Sheet* sh = sheetPtr(sheet);
    if (!sh)
        return;
    // Without undo no snapshot: holding one would make the first write copy the whole sheet.
    QList<Sheet> before;
    if (m_undoEnabled)
        before = m_wb.sheets;
    if (!change(m_wb.sheets[sheet]))
        m_engine->rebuild();
    if (m_undoEnabled)
        push(new SheetsEdit(*this, before, m_wb.sheets, sheet, text));
    else
        setModified(true);
    emit layoutChanged(sheet);
    emit cellsChanged(sheet, Range{1, 1, m_wb.sheets.at(sheet).cols - 1, m_wb.sheets.at(sheet).rows - 1});
    emit selectionChanged();
}

void CellControl::editViewOption(int sheet, const std::function<void(Sheet&)>& change)
{
    Sheet* sh = sheetPtr(sheet);
    if (!sh)
        return;
    // The view settings are saved with the file, so a change modifies the workbook; a call that sets what is
    // already set (a viewer hiding labels a form has hidden anyway) is no change.
    const auto viewState = [](const Sheet& s) {
        return std::tuple(s.showRowLabel, s.showColLabel, s.showGrid, s.showHScroll, s.showVScroll, s.fixedCols,
                          s.fixedRows, s.zoom);
    };
    const auto before = viewState(*sh);
    change(*sh);
    if (viewState(*sh) == before)
        return;
    setModified(true);
    emit layoutChanged(sheet);
}

void CellControl::restoreCells(int sheet, const QList<quint32>& keys, const CellChanges& cells)
{
    Sheet* sh = sheetPtr(sheet);
    if (!sh)
        return;
    for (quint32 k : keys) {
        const auto it = cells.constFind(k);
        putCell(*sh, k, it == cells.constEnd() ? Cell{} : it.value());
    }
    for (quint32 k : keys)
        m_engine->cellChanged(sheet, Sheet::keyCol(k), Sheet::keyRow(k));
    setModified(true);
    notifyCells(sheet, boundingRange(keys));
}

void CellControl::restoreSheets(const QList<Sheet>& sheets, int changedSheet)
{
    m_wb.sheets = sheets;
    m_wb.curSheet = qBound(0, m_wb.curSheet, int(m_wb.sheets.size()) - 1);
    m_engine->rebuild();
    setModified(true);
    const int s = qBound(0, changedSheet, int(m_wb.sheets.size()) - 1);
    emit layoutChanged(s);
    emit cellsChanged(s, Range{1, 1, m_wb.sheets.at(s).cols - 1, m_wb.sheets.at(s).rows - 1});
    emit selectionChanged();
}

void CellControl::replaceSheet(int sheet, const Sheet& state, const QString& text)
{
    editSheet(sheet, text, [&](Sheet& sh) {
        sh = state;
        return false;
    });
}

void CellControl::beginEditGroup(const QString& text)
{
    if (m_undoEnabled && m_groupDepth++ == 0)
        m_undo->beginMacro(text);
}

void CellControl::endEditGroup()
{
    if (m_undoEnabled && m_groupDepth > 0 && --m_groupDepth == 0)
        m_undo->endMacro();
}

// ---- Cell content ----------------------------------------------------------------------------------------------

void CellControl::SetCellString(int col, int row, int sheet, const QString& text)
{
    editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
        c.formula.clear();
        c.value = text.isEmpty() ? Value{Empty{}} : Value{text};
    });
}

void CellControl::SetCellDouble(int col, int row, int sheet, double value)
{
    if (!std::isfinite(value))
        return;
    editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
        c.formula.clear();
        c.value = value;
    });
}

void CellControl::SetFormula(int col, int row, int sheet, const QString& text)
{
    if (!isValidCell(col, row, sheet))
        return;
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("=")) {
        editCell(col, row, sheet, tr("清除公式"), [](Cell& c) {
            c.formula.clear();
            c.value = Empty{};
        });
        return;
    }
    // Normalising first refuses a syntax error before anything changes.
    const QString normal = formula::FormulaEngine::normalize(t);
    editCell(col, row, sheet, tr("输入公式"), [&](Cell& c) {
        c.formula = normal;
        c.value = Empty{};
    });
}

void CellControl::CalculateAll()
{
    m_engine->recalculateAll();
    for (int s = 0; s < m_wb.sheets.size(); ++s)
        emit cellsChanged(s, Range{1, 1, m_wb.sheets.at(s).cols - 1, m_wb.sheets.at(s).rows - 1});
}

void CellControl::SetDropdownList(int col, int row, int sheet, const QString& items, int kind)
{
    editCell(col, row, sheet, tr("下拉列表"), [&](Cell& c) {
        c.dropdown = items;
        c.dropdownKind = items.isEmpty() ? 0 : kind;
    });
}

bool CellControl::enterText(int col, int row, int sheet, const QString& text, bool respectLock)
{
    if (!isValidCell(col, row, sheet))
        return false;
    const Cell current = cellOf(m_wb.sheets.at(sheet), col, row);
    if (respectLock && current.format.input == 5)
        return false;
    if (text.startsWith(QLatin1Char('=')) && text.size() > 1) {
        SetFormula(col, row, sheet, text);
        return true;
    }
    double v = 0;
    bool percent = false;
    if (text.startsWith(QLatin1Char('\''))) {   // a leading apostrophe keeps digits as text
        SetCellString(col, row, sheet, text.mid(1));
    } else if (parseTypedNumber(text, v, percent)) {
        editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
            c.formula.clear();
            c.value = v;
            if (percent && c.format.numType == NumGeneral)
                c.format.numType = NumPercent;
        });
    } else if (parseTypedDate(text, v)) {
        editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
            c.formula.clear();
            c.value = v;
            if (c.format.numType == NumGeneral) {
                c.format.numType = NumDate;
                c.format.dateStyle = 1;
            }
        });
    } else {
        SetCellString(col, row, sheet, text);
    }
    return true;
}

QString CellControl::cellText(int col, int row, int sheet) const
{
    if (sheet < 0 || sheet >= m_wb.sheets.size())
        return QString();
    const Cell* c = m_wb.sheets.at(sheet).cellAt(col, row);
    return c ? displayText(*c) : QString();
}

// ---- Cell formats ------------------------------------------------------------------------------------------------

void CellControl::SetCellAlign(int col, int row, int sheet, int align)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.align = align & (HAlignMask | VAlignMask); });
}

int CellControl::GetCellAlign(int col, int row, int sheet) const
{
    if (sheet < 0 || sheet >= m_wb.sheets.size())
        return 0;
    const Cell* c = m_wb.sheets.at(sheet).cellAt(col, row);
    return c ? c->format.align : 0;
}

void CellControl::SetCellTextStyle(int col, int row, int sheet, int style)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.textStyle = style; });
}

void CellControl::SetCellFont(int col, int row, int sheet, int fontIndex)
{
    if (fontIndex < 0 || fontIndex >= m_wb.fonts.size())
        return;
    editFormat(col, row, sheet, [&](CellFormat& f) { f.font = fontIndex; });
}

void CellControl::SetCellFontSize(int col, int row, int sheet, int size)
{
    if (size < 1)
        return;
    editFormat(col, row, sheet, [&](CellFormat& f) { f.fontSize = qMin(size, 2000); });
}

void CellControl::SetCellFontStyle(int col, int row, int sheet, int style)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.fontStyle = style & (2 | 4 | 8); });
}

void CellControl::SetCellBackColor(int col, int row, int sheet, int colorIndex)
{
    if (colorIndex >= m_wb.colors.size() || colorIndex < -1)
        return;
    editFormat(col, row, sheet, [&](CellFormat& f) { f.backColor = colorIndex; });
}

void CellControl::SetCellTextColor(int col, int row, int sheet, int colorIndex)
{
    if (colorIndex >= m_wb.colors.size() || colorIndex < -1)
        return;
    editFormat(col, row, sheet, [&](CellFormat& f) { f.textColor = colorIndex; });
}

void CellControl::SetCellNumType(int col, int row, int sheet, int type)
{
    if (type < NumGeneral || type > NumPercent)
        return;
    editFormat(col, row, sheet, [&](CellFormat& f) { f.numType = type; });
}

void CellControl::SetCellSeparator(int col, int row, int sheet, int separator)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.separator = separator; });
}

void CellControl::SetCellCurrency(int col, int row, int sheet, int currency)
{
    // Choosing a currency symbol makes the cell a currency cell, as the toolbar's currency button expects.
    editFormat(col, row, sheet, [&](CellFormat& f) {
        f.currency = currency;
        if (currency >= 2 && currency <= 4)
            f.numType = NumCurrency;
    });
}

void CellControl::SetCellDateStyle(int col, int row, int sheet, int style)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.dateStyle = style; });
}

void CellControl::SetCellTimeStyle(int col, int row, int sheet, int style)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.timeStyle = style; });
}

void CellControl::SetCellInput(int col, int row, int sheet, int input)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.input = input == 5 ? 5 : 1; });
}

void CellControl::SetCellDigital(int col, int row, int sheet, int decimals)
{
    editFormat(col, row, sheet, [&](CellFormat& f) { f.decimals = qBound(-1, decimals, 15); });
}

QRgb CellControl::colorOf(int colorIndex) const
{
    return colorIndex >= 0 && colorIndex < m_wb.colors.size() ? m_wb.colors.at(colorIndex) : qRgb(0, 0, 0);
}

void CellControl::SetCellBorder(int col, int row, int sheet, int side, int style, int colorIndex)
{
    if (side < 0 || side > 3)
        return;
    const Line line{quint8(style <= 0 ? 0 : (style > 12 ? 255 : style)), colorOf(colorIndex)};
    editFormat(col, row, sheet, [&](CellFormat& f) { f.border[side] = line.style ? line : Line{}; });
}

// ---- Lines and merges --------------------------------------------------------------------------------------------

void CellControl::DrawLine(int col1, int row1, int col2, int row2, int kind, int style, int colorIndex)
{
    const int sheet = m_wb.curSheet;
    const Sheet& sh = m_wb.sheets.at(sheet);
    const Range r = clipped(normalized(col1, row1, col2, row2), sh);
    if (r.isEmpty() || kind < 0 || kind > 7)
        return;
    const Line line{quint8(style <= 0 ? 2 : (style > 12 ? 255 : style)), colorOf(colorIndex)};
    CellChanges changes;
    const auto cellAtKey = [&](int c, int rr) -> Cell& {
        const quint32 k = Sheet::key(c, rr);
        auto it = changes.find(k);
        if (it == changes.end())
            it = changes.insert(k, cellOf(sh, c, rr));
        return it.value();
    };
    for (int c = r.col1; c <= r.col2; ++c)
        for (int rr = r.row1; rr <= r.row2; ++rr) {
            switch (kind) {
            case 0:
                for (Line& b : cellAtKey(c, rr).format.border)
                    b = line;
                break;
            case 1:
                if (c == r.col1)
                    cellAtKey(c, rr).format.border[Left] = line;
                if (c == r.col2)
                    cellAtKey(c, rr).format.border[Right] = line;
                if (rr == r.row1)
                    cellAtKey(c, rr).format.border[Top] = line;
                if (rr == r.row2)
                    cellAtKey(c, rr).format.border[Bottom] = line;
                break;
            case 2: cellAtKey(c, rr).format.border[Left] = line; break;
            case 3: cellAtKey(c, rr).format.border[Right] = line; break;
            case 4: cellAtKey(c, rr).format.border[Top] = line; break;
            case 5: cellAtKey(c, rr).format.border[Bottom] = line; break;
            default: {
                // Diagonals belong to the top-left cell of a merged block and span the block.
                const Range m = sh.mergeAt(c, rr);
                if (m.col1 == c && m.row1 == rr)
                    cellAtKey(c, rr).format.diagonal[kind == 6 ? 0 : 1] = line;
            }
            }
        }
    editCells(sheet, changes, tr("画线"));
}

void CellControl::ClearLine(int col1, int row1, int col2, int row2, int kind)
{
    const int sheet = m_wb.curSheet;
    const Sheet& sh = m_wb.sheets.at(sheet);
    const Range r = clipped(normalized(col1, row1, col2, row2), sh);
    if (r.isEmpty() || kind < 0 || kind > 7)
        return;
    CellChanges changes;
    // A line between two cells shows when either of them has it, so erasing clears the neighbour's side too.
    const auto clearSide = [&](int c, int rr, int side) {
        if (c < 1 || rr < 1 || c >= sh.cols || rr >= sh.rows)
            return;
        const quint32 k = Sheet::key(c, rr);
        auto it = changes.find(k);
        if (it == changes.end()) {
            const Cell cur = cellOf(sh, c, rr);
            if (cur.format.border[side] == Line{})
                return;
            it = changes.insert(k, cur);
        }
        it.value().format.border[side] = Line{};
    };
    const auto clearEdge = [&](int c, int rr, int side) {
        clearSide(c, rr, side);
        switch (side) {
        case Left: clearSide(c - 1, rr, Right); break;
        case Right: clearSide(c + 1, rr, Left); break;
        case Top: clearSide(c, rr - 1, Bottom); break;
        case Bottom: clearSide(c, rr + 1, Top); break;
        }
    };
    for (int c = r.col1; c <= r.col2; ++c)
        for (int rr = r.row1; rr <= r.row2; ++rr) {
            switch (kind) {
            case 0:
                for (int s = 0; s < 4; ++s)
                    clearEdge(c, rr, s);
                break;
            case 1:
                if (c == r.col1)
                    clearEdge(c, rr, Left);
                if (c == r.col2)
                    clearEdge(c, rr, Right);
                if (rr == r.row1)
                    clearEdge(c, rr, Top);
                if (rr == r.row2)
                    clearEdge(c, rr, Bottom);
                break;
            case 2: clearEdge(c, rr, Left); break;
            case 3: clearEdge(c, rr, Right); break;
            case 4: clearEdge(c, rr, Top); break;
            case 5: clearEdge(c, rr, Bottom); break;
            default: {
                const quint32 k = Sheet::key(c, rr);
                const int d = kind == 6 ? 0 : 1;
                Cell cur = changes.contains(k) ? changes.value(k) : cellOf(sh, c, rr);
                if (cur.format.diagonal[d] == Line{})
                    break;
                cur.format.diagonal[d] = Line{};
                changes.insert(k, cur);
            }
            }
        }
    editCells(sheet, changes, tr("抹线"));
}

void CellControl::MergeCells(int col1, int row1, int col2, int row2)
{
    const int sheet = m_wb.curSheet;
    Range r = clipped(normalized(col1, row1, col2, row2), m_wb.sheets.at(sheet));
    if (r.isEmpty() || (r.width() == 1 && r.height() == 1))
        return;
    editSheet(sheet, tr("组合单元格"), [&](Sheet& sh) {
        // Blocks the new one touches are absorbed; growing may touch further blocks, hence the loop.
        for (bool grew = true; grew;) {
            grew = false;
            for (const Range& m : sh.merges)
                if (m.intersects(r)) {
                    const Range u{qMin(r.col1, m.col1), qMin(r.row1, m.row1), qMax(r.col2, m.col2), qMax(r.row2, m.row2)};
                    if (!(u == r)) {
                        r = u;
                        grew = true;
                    }
                }
        }
        sh.merges.removeIf([&](const Range& m) { return m.intersects(r); });
        sh.merges.append(r);
        if (sh.selection.intersects(r))
            sh.selection = Range{qMin(sh.selection.col1, r.col1), qMin(sh.selection.row1, r.row1),
                                 qMax(sh.selection.col2, r.col2), qMax(sh.selection.row2, r.row2)};
        if (r.contains(sh.curCol, sh.curRow)) {
            sh.curCol = r.col1;
            sh.curRow = r.row1;
        }
        return true;
    });
}

void CellControl::UnmergeCells(int col1, int row1, int col2, int row2)
{
    const int sheet = m_wb.curSheet;
    const Range r = normalized(col1, row1, col2, row2);
    const Sheet& cur = m_wb.sheets.at(sheet);
    if (std::none_of(cur.merges.cbegin(), cur.merges.cend(), [&](const Range& m) { return m.intersects(r); }))
        return;
    editSheet(sheet, tr("取消组合"), [&](Sheet& sh) {
        sh.merges.removeIf([&](const Range& m) { return m.intersects(r); });
        return true;
    });
}

bool CellControl::GetMergeRange(int col, int row, int& col1, int& row1, int& col2, int& row2) const
{
    const Range m = sheet(m_wb.curSheet).mergeAt(col, row);
    col1 = m.col1;
    row1 = m.row1;
    col2 = m.col2;
    row2 = m.row2;
    return true;
}

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

// ---- Sorting -----------------------------------------------------------------------------------------------------

void CellControl::SortRow(int order, int key, int col1, int row1, int col2, int row2)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = clipped(normalized(col1, row1, col2, row2), cur);
    if (r.isEmpty() || r.height() < 2 || key < r.col1 || key > r.col2)
        return;
    for (const Range& m : cur.merges)
        if (m.intersects(r))
            throw QuelmarError(QStringLiteral("不能对含有组合单元格的区域排序。"));
    QVector<int> order_(r.height());
    std::iota(order_.begin(), order_.end(), r.row1);
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        return sortsBefore(cellOf(cur, key, a).value, cellOf(cur, key, b).value, order != 0);
    });
    if (std::is_sorted(order_.begin(), order_.end()))
        return;
    editSheet(sheet, tr("排序"), [&](Sheet& sh) {
        const Sheet old = sh;
        for (int i = 0; i < order_.size(); ++i) {
            const int from = order_.at(i), to = r.row1 + i;
            for (int c = r.col1; c <= r.col2; ++c)
                putCell(sh, Sheet::key(c, to), movedCell(cellOf(old, c, from), 0, to - from));
        }
        return false;
    });
}

void CellControl::SortCol(int order, int key, int col1, int row1, int col2, int row2)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = clipped(normalized(col1, row1, col2, row2), cur);
    if (r.isEmpty() || r.width() < 2 || key < r.row1 || key > r.row2)
        return;
    for (const Range& m : cur.merges)
        if (m.intersects(r))
            throw QuelmarError(QStringLiteral("不能对含有组合单元格的区域排序。"));
    QVector<int> order_(r.width());
    std::iota(order_.begin(), order_.end(), r.col1);
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        return sortsBefore(cellOf(cur, a, key).value, cellOf(cur, b, key).value, order != 0);
    });
    if (std::is_sorted(order_.begin(), order_.end()))
        return;
    editSheet(sheet, tr("排序"), [&](Sheet& sh) {
        const Sheet old = sh;
        for (int i = 0; i < order_.size(); ++i) {
            const int from = order_.at(i), to = r.col1 + i;
            for (int rr = r.row1; rr <= r.row2; ++rr)
                putCell(sh, Sheet::key(to, rr), movedCell(cellOf(old, from, rr), to - from, 0));
        }
        return false;
    });
}

// ---- Clipboard -------------------------------------------------------------------------------------------------

void CellControl::CopyRange(int col1, int row1, int col2, int row2)
{
    const int sheet = m_wb.curSheet;
    const Sheet& sh = m_wb.sheets.at(sheet);
    const Range r = clipped(normalized(col1, row1, col2, row2), sh);
    if (r.isEmpty())
        return;
    Clip c;
    c.valid = true;
    c.width = r.width();
    c.height = r.height();
    c.cells.reserve(c.width * c.height);
    QStringList lines;
    for (int rr = r.row1; rr <= r.row2; ++rr) {
        QStringList fields;
        for (int cc = r.col1; cc <= r.col2; ++cc) {
            c.cells << cellOf(sh, cc, rr);
            fields << cellText(cc, rr, sheet).replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        lines << fields.join(QLatin1Char('\t'));
    }
    for (int cc = r.col1; cc <= r.col2; ++cc)
        c.colWidths << sh.colWidth(cc);
    for (int rr = r.row1; rr <= r.row2; ++rr)
        c.rowHeights << sh.rowHeight(rr);
    for (const Range& m : sh.merges)
        if (m.col1 >= r.col1 && m.col2 <= r.col2 && m.row1 >= r.row1 && m.row2 <= r.row2)
            c.merges << Range{m.col1 - r.col1, m.row1 - r.row1, m.col2 - r.col1, m.row2 - r.row1};
    c.text = lines.join(QLatin1Char('\n'));
    c.source = this;
    c.sourceSheet = sheet;
    c.sourceSheetName = sh.name;
    c.sourceRange = r;
    clip() = c;
    if (QClipboard* sys = systemClipboard())
        sys->setText(c.text);
}

void CellControl::CutRange(int col1, int row1, int col2, int row2)
{
    CopyRange(col1, row1, col2, row2);
    if (clip().valid && clip().source == this)
        clip().cut = true;
}

void CellControl::PasteRange(int col, int row, int mode, int sizeFlag, int blankFlag)
{
    const int sheet = m_wb.curSheet;
    if (mode < 0 || mode > 3 || !isValidCell(col, row, sheet))
        return;
    Clip c = clip();
    // Text another program put on the clipboard since our last copy is pasted as typed cells.
    if (QClipboard* sys = systemClipboard()) {
        const QString text = sys->text();
        if (!text.isEmpty() && (!c.valid || text != c.text)) {
            QStringList lines = text.split(QLatin1Char('\n'));
            if (lines.size() > 1 && lines.last().isEmpty())
                lines.removeLast();
            const EditGroup group(*this, tr("粘贴"));
            for (int i = 0; i < lines.size(); ++i) {
                const QStringList fields = lines.at(i).split(QLatin1Char('\t'));
                for (int j = 0; j < fields.size(); ++j) {
                    QString f = fields.at(j);
                    if (f.endsWith(QLatin1Char('\r')))
                        f.chop(1);
                    if (!isValidCell(col + j, row + i, sheet) || (blankFlag == 0 && f.isEmpty()))
                        continue;
                    try {
                        enterText(col + j, row + i, sheet, f, false);
                    } catch (const QuelmarError&) {   // "=..." that is no formula of ours stays text
                        SetCellString(col + j, row + i, sheet, f);
                    }
                }
            }
            return;
        }
    }
    if (!c.valid)
        return;
    // A cut moves its cells with a plain paste; a special paste of a cut range copies (nothing is lost).
    const bool moving = c.cut && c.source == this && mode == 0 && blankFlag != 0 && c.sourceSheet >= 0
        && c.sourceSheet < m_wb.sheets.size() && m_wb.sheets.at(c.sourceSheet).name == c.sourceSheetName;
    if (moving) {
        // What stands in the cut block now is what moves (it may have been edited since the cut).
        const Sheet& from = m_wb.sheets.at(c.sourceSheet);
        const Range s = c.sourceRange;
        c.cells.clear();
        for (int rr = s.row1; rr <= s.row2; ++rr)
            for (int cc = s.col1; cc <= s.col2; ++cc)
                c.cells << cellOf(from, cc, rr);
        c.merges.clear();
        for (const Range& m : from.merges)
            if (m.col1 >= s.col1 && m.col2 <= s.col2 && m.row1 >= s.row1 && m.row2 <= s.row2)
                c.merges << Range{m.col1 - s.col1, m.row1 - s.row1, m.col2 - s.col1, m.row2 - s.row1};
    }
    const int dc = col - c.sourceRange.col1, dr = row - c.sourceRange.row1;
    editSheet(sheet, moving ? tr("移动") : tr("粘贴"), [&](Sheet& sh) {
        const Range target = clipped(Range{col, row, col + c.width - 1, row + c.height - 1}, sh);
        if (moving) {
            // The cut cells leave their place first (where they do not land on themselves), with their merges.
            // The target's list is already detached by editSheet, so `sh` stays valid.
            Sheet& from = c.sourceSheet == sheet ? sh : m_wb.sheets[c.sourceSheet];
            const Range s = c.sourceRange;
            for (int cc = s.col1; cc <= s.col2; ++cc)
                for (int rr = s.row1; rr <= s.row2; ++rr)
                    from.cells.remove(Sheet::key(cc, rr));
            from.merges.removeIf([&](const Range& m) {
                return m.col1 >= s.col1 && m.col2 <= s.col2 && m.row1 >= s.row1 && m.row2 <= s.row2;
            });
        }
        for (int i = 0; i < c.width; ++i)
            for (int j = 0; j < c.height; ++j) {
                const int tc = col + i, tr_ = row + j;
                if (!target.contains(tc, tr_))
                    continue;
                const Cell& src = c.at(i, j);
                if (blankFlag == 0 && src.isBlank())
                    continue;
                Cell t = cellOf(sh, tc, tr_);
                // Moved formulas are rewritten by the engine below; copied ones are translated like a copy.
                const Cell moved = moving ? src : movedCell(src, dc, dr);
                switch (mode) {
                case 0: t = moved; break;
                case 1:
                    t.formula = moved.formula;
                    t.value = moved.formula.isEmpty() ? moved.value : Value{Empty{}};
                    break;
                case 2:
                    t.formula.clear();
                    t.value = src.value;
                    break;
                case 3: t.format = src.format; break;
                }
                putCell(sh, Sheet::key(tc, tr_), t);
            }
        if (mode == 0) {
            sh.merges.removeIf([&](const Range& m) { return m.intersects(target); });
            for (const Range& m : c.merges) {
                const Range placed{m.col1 + col, m.row1 + row, m.col2 + col, m.row2 + row};
                if (placed.col2 <= target.col2 && placed.row2 <= target.row2)
                    sh.merges << placed;
            }
        }
        if (sizeFlag == 0) {
            sh.colWidths.resize(sh.cols, 72);
            sh.rowHeights.resize(sh.rows, 22);
            for (int i = 0; i < c.width && col + i < sh.cols; ++i)
                sh.colWidths[col + i] = c.colWidths.at(i);
            for (int j = 0; j < c.height && row + j < sh.rows; ++j)
                sh.rowHeights[row + j] = c.rowHeights.at(j);
        }
        sh.selection = target;
        sh.curCol = target.col1;
        sh.curRow = target.row1;
        if (!moving)
            return false;
        // Formulas anywhere in the workbook follow the moved cells (the snapshot of editSheet holds every
        // sheet, so undo puts each rewritten text back).
        m_engine->moveRange(c.sourceSheet, c.sourceRange, sheet, col, row);
        return true;
    });
    if (moving) {
        if (c.sourceSheet != sheet) {
            const Sheet& from = m_wb.sheets.at(c.sourceSheet);
            emit layoutChanged(c.sourceSheet);
            emit cellsChanged(c.sourceSheet, Range{1, 1, from.cols - 1, from.rows - 1});
        }
        clip() = Clip{};   // a cut moves once
    }
}

// ---- Selection -------------------------------------------------------------------------------------------------

void CellControl::SelectRange(int col1, int row1, int col2, int row2)
{
    Sheet& sh = m_wb.sheets[m_wb.curSheet];
    const Range r = clipped(normalized(col1, row1, col2, row2), sh);
    if (r.isEmpty())
        return;
    sh.selection = r;
    sh.curCol = r.col1;
    sh.curRow = r.row1;
    emit selectionChanged();
}

void CellControl::GetSelectRange(int& col1, int& row1, int& col2, int& row2) const
{
    const Range& r = sheet(m_wb.curSheet).selection;
    col1 = r.col1;
    row1 = r.row1;
    col2 = r.col2;
    row2 = r.row2;
}

int CellControl::GetCurCol() const { return sheet(m_wb.curSheet).curCol; }

int CellControl::GetCurRow() const { return sheet(m_wb.curSheet).curRow; }

void CellControl::setCurSheet(int sheet)
{
    if (sheet < 0 || sheet >= m_wb.sheets.size() || sheet == m_wb.curSheet)
        return;
    m_wb.curSheet = sheet;
    emit selectionChanged();
    emit layoutChanged(sheet);
}

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

void CellControl::setCurrentCell(int col, int row)
{
    Sheet& sh = m_wb.sheets[m_wb.curSheet];
    if (col < 1 || row < 1 || col >= sh.cols || row >= sh.rows)
        return;
    const Range m = sh.mergeAt(col, row);
    sh.curCol = m.col1;
    sh.curRow = m.row1;
    sh.selection = m;
    emit selectionChanged();
}

void CellControl::setSelection(int curCol, int curRow, const Range& selection)
{
    Sheet& sh = m_wb.sheets[m_wb.curSheet];
    const Range r = clipped(normalized(selection.col1, selection.row1, selection.col2, selection.row2), sh);
    if (r.isEmpty())
        return;
    sh.selection = r;
    sh.curCol = qBound(1, curCol, sh.cols - 1);
    sh.curRow = qBound(1, curRow, sh.rows - 1);
    emit selectionChanged();
}

// ---- Fill and clear ----------------------------------------------------------------------------------------------

void CellControl::FillSelection(int flag)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = clipped(cur.selection, cur);
    if (r.isEmpty() || (r.width() == 1 && r.height() == 1))
        return;
    if (!(flag & (1 | 2 | 4 | 8 | 16 | 32 | 64)))
        return;
    editSheet(sheet, tr("填充"), [&](Sheet& sh) {
        const Sheet old = sh;
        const auto copyFrom = [&](int fc, int fr, int tc, int trow) {
            putCell(sh, Sheet::key(tc, trow), movedCell(cellOf(old, fc, fr), tc - fc, trow - fr));
        };
        if (flag & 1) {
            for (int c = r.col1; c <= r.col2; ++c)
                for (int rr = r.row1 + 1; rr <= r.row2; ++rr)
                    copyFrom(c, r.row1, c, rr);
        } else if (flag & 2) {
            for (int rr = r.row1; rr <= r.row2; ++rr)
                for (int c = r.col1 + 1; c <= r.col2; ++c)
                    copyFrom(r.col1, rr, c, rr);
        } else if (flag & 4) {
            for (int c = r.col1; c <= r.col2; ++c)
                for (int rr = r.row1; rr < r.row2; ++rr)
                    copyFrom(c, r.row2, c, rr);
        } else if (flag & 8) {
            for (int rr = r.row1; rr <= r.row2; ++rr)
                for (int c = r.col1; c < r.col2; ++c)
                    copyFrom(r.col2, rr, c, rr);
        } else {
            // Series: down each column when the selection has several rows, else right along its row.
            const bool down = r.height() > 1;
            const int runs = down ? r.width() : r.height();
            const int len = down ? r.height() : r.width();
            for (int k = 0; k < runs; ++k) {
                const auto pos = [&](int i) {
                    return down ? std::pair{r.col1 + k, r.row1 + i} : std::pair{r.col1 + i, r.row1 + k};
                };
                const auto cellAtRun = [&](int i) {
                    const auto [c, rr] = pos(i);
                    return cellOf(old, c, rr);
                };
                const Cell first = cellAtRun(0);
                if (first.isBlank())
                    continue;
                if (flag & 16) {
                    // Repeat the leading non-blank cells over the rest of the run.
                    int seeds = 1;
                    while (seeds < len && !cellAtRun(seeds).isBlank())
                        ++seeds;
                    for (int i = seeds; i < len; ++i) {
                        const auto [fc, fr] = pos(i % seeds);
                        const auto [tc, trow] = pos(i);
                        copyFrom(fc, fr, tc, trow);
                    }
                    continue;
                }
                const bool geometric = !(flag & 32);
                const Cell second = len > 1 ? cellAtRun(1) : Cell{};
                const double* a = std::get_if<double>(&first.value);
                const double* b = first.formula.isEmpty() && second.formula.isEmpty()
                    ? std::get_if<double>(&second.value) : nullptr;
                if (a && first.formula.isEmpty()) {
                    double step = geometric ? 2.0 : 1.0;
                    int start = 1;
                    if (b) {
                        if (geometric && *a != 0) {
                            step = *b / *a;
                            start = 2;
                        } else if (!geometric) {
                            step = *b - *a;
                            start = 2;
                        }
                    }
                    double v = start == 2 ? *b : *a;
                    for (int i = start; i < len; ++i) {
                        v = geometric ? v * step : v + step;
                        Cell t = first;
                        t.value = v;
                        const auto [tc, trow] = pos(i);
                        putCell(sh, Sheet::key(tc, trow), t);
                    }
                } else if (const QString* text = std::get_if<QString>(&first.value); text && !geometric) {
                    // "第1层" -> "第2层", "第3层", ...
                    QString prefix, suffix;
                    qint64 n = 0;
                    int digits = 0;
                    if (!lastNumber(*text, prefix, n, digits, suffix))
                        continue;
                    for (int i = 1; i < len; ++i) {
                        Cell t = first;
                        t.value = prefix + QStringLiteral("%1").arg(n + i, digits, 10, QLatin1Char('0')) + suffix;
                        const auto [tc, trow] = pos(i);
                        putCell(sh, Sheet::key(tc, trow), t);
                    }
                }
            }
        }
        return false;
    });
}

void CellControl::ClearSelection(int flag)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = clipped(cur.selection, cur);
    if (r.isEmpty() || !(flag & 63))
        return;
    editSheet(sheet, tr("清除"), [&](Sheet& sh) {
        // Over the stored cells, not the rectangle: clearing a selected whole sheet costs what the sheet holds.
        sh.cells.removeIf([&](const QHash<quint32, Cell>::iterator& it) {
            if (!r.contains(Sheet::keyCol(it.key()), Sheet::keyRow(it.key())))
                return false;
            if (flag & 32)
                return true;
            Cell& cell = it.value();
            if ((flag & 1) || ((flag & 2) && !cell.formula.isEmpty())) {
                cell.formula.clear();
                cell.value = Empty{};
            }
            if (flag & 4)
                cell.hyperlink.clear();
            if (flag & 8)
                cell.format = CellFormat{};
            return isDefaultCell(cell);
        });
        if (flag & (16 | 32))
            sh.pictures.removeIf([&](const Picture& p) { return p.anchor.intersects(r); });
        return false;
    });
}

// ---- View options ------------------------------------------------------------------------------------------------

void CellControl::ShowRowLabel(int show, int sheet)
{
    editViewOption(sheet, [&](Sheet& s) { s.showRowLabel = show != 0; });
}

void CellControl::ShowColLabel(int show, int sheet)
{
    editViewOption(sheet, [&](Sheet& s) { s.showColLabel = show != 0; });
}

void CellControl::ShowSheetLabel(int show, int sheet)
{
    if (!sheetPtr(sheet) || m_wb.showSheetLabel == (show != 0))
        return;
    m_wb.showSheetLabel = show != 0;
    setModified(true);
    emit layoutChanged(sheet);
}

void CellControl::ShowHScroll(int show, int sheet)
{
    editViewOption(sheet, [&](Sheet& s) { s.showHScroll = show != 0; });
}

void CellControl::ShowVScroll(int show, int sheet)
{
    editViewOption(sheet, [&](Sheet& s) { s.showVScroll = show != 0; });
}

void CellControl::ShowGridLine(int show, int sheet)
{
    editViewOption(sheet, [&](Sheet& s) { s.showGrid = show != 0; });
}

void CellControl::SetFixedCols(int on, int last)
{
    editViewOption(m_wb.curSheet, [&](Sheet& s) { s.fixedCols = on ? qBound(0, last, s.cols - 1) : 0; });
}

void CellControl::SetFixedRows(int on, int last)
{
    editViewOption(m_wb.curSheet, [&](Sheet& s) { s.fixedRows = on ? qBound(0, last, s.rows - 1) : 0; });
}

void CellControl::SetScreenScale(int sheet, double scale)
{
    if (!std::isfinite(scale) || scale <= 0)
        return;
    editViewOption(sheet, [&](Sheet& s) { s.zoom = qBound(0.01, scale, 20.0); });
}

void CellControl::SetViewerOption(int on)
{
    m_viewerOption = on != 0;
    emit repaintRequested();
}

void CellControl::Invalidate() { emit repaintRequested(); }

void CellControl::Redraw() { emit repaintRequested(); }

// ---- Tables ------------------------------------------------------------------------------------------------------

int CellControl::FindFontIndex(const QString& name, int add)
{
    return m_wb.findFontIndex(name, add != 0);
}

int CellControl::FindColorIndex(const QColor& color, int add)
{
    if (!color.isValid())
        return -1;
    return m_wb.findColorIndex(color.rgb(), add != 0);
}

// ---- Other edits for the view ----------------------------------------------------------------------------------

void CellControl::setColWidth(int sheet, int col, int width)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || col < 0 || col >= s->cols)
        return;
    editSheet(sheet, tr("列宽"), [&](Sheet& sh) {
        sh.colWidths.resize(sh.cols, 72);
        sh.colWidths[col] = qBound(0, width, 4000);
        return true;
    });
}

void CellControl::setRowHeight(int sheet, int row, int height)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || row < 0 || row >= s->rows)
        return;
    editSheet(sheet, tr("行高"), [&](Sheet& sh) {
        sh.rowHeights.resize(sh.rows, 22);
        sh.rowHeights[row] = qBound(0, height, 4000);
        return true;
    });
}

void CellControl::setCellFormat(int col, int row, int sheet, const CellFormat& format)
{
    CellFormat clean = format;
    if (clean.font < 0 || clean.font >= m_wb.fonts.size())
        clean.font = 0;
    if (clean.textColor < -1 || clean.textColor >= m_wb.colors.size())
        clean.textColor = -1;
    if (clean.backColor < -1 || clean.backColor >= m_wb.colors.size())
        clean.backColor = -1;
    editFormat(col, row, sheet, [&](CellFormat& f) { f = clean; });
}

void CellControl::setHyperlink(int col, int row, int sheet, const QString& target)
{
    editCell(col, row, sheet, tr("超级链接"), [&](Cell& c) { c.hyperlink = target; });
}

void CellControl::addPicture(int sheet, const Picture& picture)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || picture.data.isEmpty())
        return;
    const Range a = clipped(normalized(picture.anchor.col1, picture.anchor.row1, picture.anchor.col2,
                                       picture.anchor.row2), *s);
    if (a.isEmpty())
        return;
    editSheet(sheet, tr("插入图片"), [&](Sheet& sh) {
        sh.pictures.append(Picture{a, picture.data});
        return true;
    });
}

void CellControl::setBackgroundPicture(int sheet, const QByteArray& data)
{
    editSheet(sheet, tr("背景图片"), [&](Sheet& sh) {
        sh.backgroundPicture = data;
        return true;
    });
}

void CellControl::setPageSetup(int sheet, const PageSetup& page)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || s->page == page)
        return;
    editSheet(sheet, tr("页面设置"), [&](Sheet& sh) {
        sh.page = page;
        sh.page.scale = qBound(10, sh.page.scale, 400);
        sh.page.copies = qBound(1, sh.page.copies, 999);
        return true;
    });
}

// ---- Undo ----------------------------------------------------------------------------------------------------------

void CellControl::EnableUndo(int on)
{
    m_undoEnabled = on != 0;
    if (!m_undoEnabled) {
        m_undo->clear();
        m_groupDepth = 0;
    }
}

void CellControl::Undo()
{
    if (m_undo->canUndo())
        m_undo->undo();
}

void CellControl::Redo()
{
    if (m_undo->canRedo())
        m_undo->redo();
}

int CellControl::CanUndo() const { return m_undo->canUndo() ? 1 : 0; }

int CellControl::CanRedo() const { return m_undo->canRedo() ? 1 : 0; }

// ---- Printing ------------------------------------------------------------------------------------------------------

void CellControl::setPrintBackend(CellPrintBackend* backend) { g_printBackend = backend; }

CellPrintBackend* CellControl::printBackend() { return g_printBackend; }

namespace {
CellPrintBackend& requireBackend()
{
    if (!g_printBackend)
        throw QuelmarError(QStringLiteral("打印功能不可用"));
    return *g_printBackend;
}
} // namespace

int CellControl::PrintSheet(int withDialog, int sheet)
{
    if (m_fileName.isEmpty())
        return 0;
    return requireBackend().printSheet(*this, withDialog, sheetPtr(sheet) ? sheet : m_wb.curSheet);
}

void CellControl::PrintPreview(int /*mode*/, int sheet)
{
    if (m_fileName.isEmpty())
        return;
    requireBackend().preview(*this, sheetPtr(sheet) ? sheet : m_wb.curSheet);
}

void CellControl::PrintPreviewEx(int /*mode*/, int sheet, bool /*modal*/)
{
    if (m_fileName.isEmpty())
        return;
    requireBackend().preview(*this, sheetPtr(sheet) ? sheet : m_wb.curSheet);
}

void CellControl::PrintPageSetup()
{
    requireBackend().pageSetup(*this);
}

void CellControl::SetPrintCopies(int copies)
{
    // A setting of the next prints, not an edit of the form: no undo step, not a modification.
    for (Sheet& sh : m_wb.sheets)
        sh.page.copies = qBound(1, copies, 32767);
}

} // namespace cell
