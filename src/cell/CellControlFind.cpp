// Find and replace over the cells of a sheet: by the values as shown or by the formula texts, with case and
// whole-cell matching, along rows or down columns.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "core/QuelmarError.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace cell {

using namespace control;

namespace {

// The stored non-blank cells of `sh` in search order.
QList<quint32> searchOrder(const Sheet& sh, bool byColumns, const Range& within)
{
    QList<quint32> keys;
    keys.reserve(sh.cells.size());
    for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
        const int c = Sheet::keyCol(it.key()), r = Sheet::keyRow(it.key());
        if (it.value().isBlank() || c >= sh.cols || r >= sh.rows)
            continue;
        if (!within.isEmpty() && !within.contains(c, r))
            continue;
        keys << it.key();
    }
    std::sort(keys.begin(), keys.end(), [byColumns](quint32 a, quint32 b) {
        return byColumns ? std::pair(Sheet::keyCol(a), Sheet::keyRow(a)) < std::pair(Sheet::keyCol(b), Sheet::keyRow(b))
                         : std::pair(Sheet::keyRow(a), Sheet::keyCol(a)) < std::pair(Sheet::keyRow(b), Sheet::keyCol(b));
    });
    return keys;
}

bool textMatches(const QString& hay, const FindOptions& o)
{
    const Qt::CaseSensitivity cs = o.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return o.wholeCell ? hay.compare(o.text, cs) == 0 : hay.contains(o.text, cs);
}

QString replaced(const QString& hay, const FindOptions& o, const QString& with)
{
    if (o.wholeCell)
        return with;
    QString out = hay;
    return out.replace(o.text, with, o.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

// A number as typed back: plain digits with an optional sign, point and exponent.
bool plainNumber(const QString& t, double& v)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!re.match(t).hasMatch())
        return false;
    bool ok = false;
    v = t.toDouble(&ok);
    return ok && std::isfinite(v);
}

} // namespace

namespace control {

// The text a find looks at in a cell.
QString findText(const CellControl& control, const Cell& c, int col, int row, int sheet, bool inFormulas)
{
    if (inFormulas && !c.formula.isEmpty())
        return QLatin1Char('=') + c.formula;
    if (inFormulas) {
        if (const double* d = std::get_if<double>(&c.value))
            return formula::generalNumberText(*d);
        if (const QString* s = std::get_if<QString>(&c.value))
            return *s;
    }
    return control.cellText(col, row, sheet);
}

// The cell after replacing in it, or false when it stays as it is.
bool replaceInCell(const CellControl& control, Cell& c, int col, int row, int sheet, const FindOptions& o,
                   const QString& with)
{
    if (!textMatches(findText(control, c, col, row, sheet, o.inFormulas), o))
        return false;
    if (!c.formula.isEmpty()) {
        if (!o.inFormulas)
            return false;   // a result is not content one can replace in
        const QString text = replaced(QLatin1Char('=') + c.formula, o, with);
        if (!text.startsWith(QLatin1Char('=')) || text.size() < 2)
            return false;
        try {
            const QString f = formula::FormulaEngine::normalize(text);
            if (f == c.formula)
                return false;
            c.formula = f;
        } catch (const QuelmarError&) {
            return false;
        }
        return true;
    }
    if (const QString* s = std::get_if<QString>(&c.value)) {
        const QString t = replaced(*s, o, with);
        if (t == *s)
            return false;
        if (t.isEmpty())
            c.value = Empty{};
        else
            c.value = t;
        return true;
    }
    if (const double* dp = std::get_if<double>(&c.value)) {
        const double old = *dp;   // c.value is overwritten below
        const double* d = &old;
        const QString general = formula::generalNumberText(*d);
        if (!textMatches(general, o))
            return false;
        const QString t = replaced(general, o, with);
        double v = 0;
        if (plainNumber(t, v))
            c.value = v;
        else if (t.isEmpty())
            c.value = Empty{};
        else
            c.value = t;
        return !(c.value == Value(*d));
    }
    return false;
}

} // namespace control

bool CellControl::findNext(const FindOptions& o)
{
    if (o.text.isEmpty())
        return false;
    const int sheet = m_wb.curSheet;
    const Sheet& sh = m_wb.sheets.at(sheet);
    const QList<quint32> keys = searchOrder(sh, o.byColumns, Range{});
    if (keys.isEmpty())
        return false;
    const auto pos = [&](quint32 k) {
        return o.byColumns ? std::pair(Sheet::keyCol(k), Sheet::keyRow(k)) : std::pair(Sheet::keyRow(k), Sheet::keyCol(k));
    };
    const auto here = o.byColumns ? std::pair(sh.curCol, sh.curRow) : std::pair(sh.curRow, sh.curCol);
    const qsizetype start = std::upper_bound(keys.begin(), keys.end(), here,
                                             [&](const std::pair<int, int>& h, quint32 k) { return h < pos(k); })
        - keys.begin();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const quint32 k = keys.at((start + i) % keys.size());
        const int c = Sheet::keyCol(k), r = Sheet::keyRow(k);
        if (textMatches(findText(*this, *sh.cellAt(c, r), c, r, sheet, o.inFormulas), o)) {
            setCurrentCell(c, r);
            return true;
        }
    }
    return false;
}

bool CellControl::replaceCurrent(const FindOptions& o, const QString& with, bool* replaced)
{
    if (replaced)
        *replaced = false;
    if (o.text.isEmpty())
        return false;
    const int sheet = m_wb.curSheet;
    const Sheet& sh = m_wb.sheets.at(sheet);
    const int c = sh.curCol, r = sh.curRow;
    if (const Cell* cur = sh.cellAt(c, r)) {
        Cell changed = *cur;
        if (replaceInCell(*this, changed, c, r, sheet, o, with)) {
            editCells(sheet, {{Sheet::key(c, r), changed}}, tr("替换"));
            if (replaced)
                *replaced = true;
        }
    }
    return findNext(o);
}

int CellControl::replaceAll(const FindOptions& o, const QString& with, const Range& within)
{
    if (o.text.isEmpty())
        return 0;
    const int sheet = m_wb.curSheet;
    const Sheet& sh = m_wb.sheets.at(sheet);
    CellChanges changes;
    for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
        const int c = Sheet::keyCol(it.key()), r = Sheet::keyRow(it.key());
        if (it.value().isBlank() || (!within.isEmpty() && !within.contains(c, r)))
            continue;
        Cell changed = it.value();
        if (replaceInCell(*this, changed, c, r, sheet, o, with))
            changes.insert(it.key(), changed);
    }
    editCells(sheet, changes, tr("全部替换"));
    return int(changes.size());
}

} // namespace cell
