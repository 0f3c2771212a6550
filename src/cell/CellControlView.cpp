// What the views show: the selection, the current cell and sheet, and the view options saved with a sheet.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"

#include <cmath>

namespace cell {

using namespace control;

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

} // namespace cell
