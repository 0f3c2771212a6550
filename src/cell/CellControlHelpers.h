#pragma once
// Inside of CellControl: the helpers its source files (CellControl*.cpp) share. Nothing here is meant for callers
// outside the control.

#include "cell/CellControl.h"
#include "cell/formula/FormulaEngine.h"

#include <QPointer>

#include <climits>

namespace cell::control {

inline bool sameCell(const Cell& a, const Cell& b)
{
    return a.value == b.value && a.formula == b.formula && a.format == b.format && a.dropdown == b.dropdown
        && a.dropdownKind == b.dropdownKind && a.hyperlink == b.hyperlink && a.rules == b.rules;
}

inline bool isDefaultCell(const Cell& c)
{
    return c.isBlank() && c.format == CellFormat{} && c.dropdown.isEmpty() && c.hyperlink.isEmpty() && c.rules.isEmpty();
}

inline Range normalized(int col1, int row1, int col2, int row2)
{
    return Range{qMin(col1, col2), qMin(row1, row2), qMax(col1, col2), qMax(row1, row2)};
}

// The part of `r` that lies in the data cells of `sh`.
inline Range clipped(const Range& r, const Sheet& sh)
{
    return Range{qMax(r.col1, 1), qMax(r.row1, 1), qMin(r.col2, sh.cols - 1), qMin(r.row2, sh.rows - 1)};
}

inline Range boundingRange(const QList<quint32>& keys)
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

inline void putCell(Sheet& sh, quint32 key, const Cell& c)
{
    if (isDefaultCell(c))
        sh.cells.remove(key);
    else
        sh.cells.insert(key, c);
}

inline Cell cellOf(const Sheet& sh, int col, int row)
{
    const Cell* c = sh.cellAt(col, row);
    return c ? *c : Cell{};
}

// A cell's content moved by (dc, dr): relative references of its formula follow.
inline Cell movedCell(Cell c, int dc, int dr)
{
    if (!c.formula.isEmpty() && (dc || dr))
        c.formula = formula::FormulaEngine::translateFormula(c.formula, dc, dr);
    return c;
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

// The one clipboard of the program (CellControlClipboard.cpp).
Clip& clip();

} // namespace cell::control
