// The clipboard: copy, cut (a paste moves the cells, with the formulas that refer to them)
// and paste, plain or special, also of text another program put on the system clipboard.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "core/QuelmarError.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>

namespace cell {

using namespace control;

namespace control {

Clip& clip()
{
    static Clip c;
    return c;
}

} // namespace control

namespace {

QClipboard* systemClipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

} // namespace

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

} // namespace cell
