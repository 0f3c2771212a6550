// The control's core: construction, opening and saving files, addressing, the edit paths every change goes
// through (undo steps, recalculation, change signals), the font and colour tables and undo itself.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "cell/CellCommands.h"
#include "cell/TableFile.h"

#include <QUndoStack>

#include <tuple>

namespace cell {

using namespace control;

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
    markRulesDirty(true);
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
    m_groupBefore.clear();
    m_groupChanged = false;
    m_groupDirty = Range{};
    m_groupDirtySheet = -1;
    m_wb = Workbook{};
    m_wb.sheets = {makeSheet(QStringLiteral("Sheet1"))};
    m_fileName.clear();
    m_error.clear();
    m_viewerOption = true;
    m_painter = Painter{};
}

void CellControl::ResetContent()
{
    resetModel();
    m_engine->rebuild();
    markRulesDirty(true);
    setModified(false);
    emit workbookReset();
}

void CellControl::setModified(bool modified)
{
    if (modified)
        markRulesDirty();   // every edit passes here: the rules see the new values
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
    updateRules();
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
    if (recording()) {
        m_undo->push(command);
    } else {
        // Without undo, or inside an edit group (whose one step is made from the sheets before and after it).
        delete command;
        noteGroupChange(m_wb.curSheet);
    }
    setModified(true);
}

void CellControl::noteGroupChange(int sheet)
{
    if (m_groupDepth > 0) {
        m_groupChanged = true;
        m_groupSheet = sheet;
    }
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
    if (recording()) {
        CellChanges after;
        for (quint32 k : keys)
            if (const Cell* c = sh->cellAt(Sheet::keyCol(k), Sheet::keyRow(k)))
                after.insert(k, *c);
        push(new CellsEdit(*this, sheet, before, after, text));
    } else {
        noteGroupChange(sheet);
        setModified(true);
    }
    notifyCells(sheet, boundingRange(keys));
}

void CellControl::editCell(int col, int row, int sheet, const QString& text, const std::function<void(Cell&)>& change)
{
    if (!isValidCell(col, row, sheet))
        return;
    if (m_undoEnabled && m_groupDepth > 0) {
        // Inside an edit group the group's snapshot is the undo record: the cell is changed in place, and the views
        // hear of all the group's cells once it ends (a command over a whole sheet makes one repaint, not 12,000).
        Sheet& sh = m_wb.sheets[sheet];
        const quint32 key = Sheet::key(col, row);
        const Cell old = cellOf(sh, col, row);
        Cell c = old;
        change(c);
        if (sameCell(old, c))
            return;
        const bool content = !(old.value == c.value) || old.formula != c.formula;
        putCell(sh, key, c);
        if (content)
            m_engine->cellChanged(sheet, col, row);
        noteGroupChange(sheet);
        if (m_groupDirtySheet != sheet) {
            flushGroupCells();
            m_groupDirtySheet = sheet;
        }
        const Range one{col, row, col, row};
        m_groupDirty = m_groupDirty.isEmpty()
            ? one
            : Range{qMin(m_groupDirty.col1, col), qMin(m_groupDirty.row1, row), qMax(m_groupDirty.col2, col),
                    qMax(m_groupDirty.row2, row)};
        setModified(true);
        return;
    }
    Cell c = cellOf(m_wb.sheets.at(sheet), col, row);
    change(c);
    editCells(sheet, {{Sheet::key(col, row), c}}, text);
}

void CellControl::editFormat(int col, int row, int sheet, const std::function<void(CellFormat&)>& change)
{
    static const QString text = tr("设置格式");
    editCell(col, row, sheet, text, [&](Cell& c) { change(c.format); });
}

void CellControl::editSheet(int sheet, const QString& text, const std::function<bool(Sheet&)>& change)
{
    Sheet* sh = sheetPtr(sheet);
    if (!sh)
        return;
    // Without undo no snapshot: holding one would make the first write copy the whole sheet.
    QList<Sheet> before;
    if (recording())
        before = m_wb.sheets;
    if (!change(m_wb.sheets[sheet]))
        m_engine->rebuild();
    markRulesDirty(true);   // cells may have come with rules (paste, fill, import)
    if (recording()) {
        push(new SheetsEdit(*this, before, m_wb.sheets, sheet, text));
    } else {
        noteGroupChange(sheet);
        setModified(true);
    }
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
    markRulesDirty(true);
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

// A group records no step per edit: it keeps the sheets as they were when it began (they share their data, so
// this costs one copy of each sheet the group then changes) and makes one step of them and the sheets as they are
// when it ends. A command that loops over thousands of cells is thus one quick step, undone in one go.
void CellControl::beginEditGroup(const QString& text)
{
    if (!m_undoEnabled || m_groupDepth++ > 0)
        return;
    m_groupBefore = m_wb.sheets;
    m_groupText = text;
    m_groupDirty = Range{};
    m_groupDirtySheet = -1;
    m_groupChanged = false;
    m_groupSheet = m_wb.curSheet;
}

void CellControl::endEditGroup()
{
    if (!m_undoEnabled || m_groupDepth <= 0 || --m_groupDepth > 0)
        return;
    flushGroupCells();
    QList<Sheet> before = std::move(m_groupBefore);
    m_groupBefore.clear();
    if (m_groupChanged)
        m_undo->push(new SheetsEdit(*this, std::move(before), m_wb.sheets, m_groupSheet, m_groupText));
    m_groupChanged = false;
}

void CellControl::flushGroupCells()
{
    const int sheet = m_groupDirtySheet;
    const Range dirty = m_groupDirty;
    m_groupDirty = Range{};
    m_groupDirtySheet = -1;
    if (sheet >= 0 && sheet < m_wb.sheets.size() && !dirty.isEmpty())
        notifyCells(sheet, dirty);
}

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

// ---- Undo ----------------------------------------------------------------------------------------------------------

void CellControl::EnableUndo(int on)
{
    m_undoEnabled = on != 0;
    if (!m_undoEnabled) {
        m_undo->clear();
        m_groupDepth = 0;
        m_groupBefore.clear();
        m_groupChanged = false;
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

} // namespace cell
