// Cell formats, border lines and merged cells.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"

#include <algorithm>

namespace cell {

using namespace control;

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

} // namespace cell
