// Sorting a block: the rows by key columns or the columns by key rows, stable, with a header kept in place.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "core/QuelmarError.h"

#include <algorithm>
#include <numeric>

namespace cell {

using namespace control;

namespace {

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

// -1, 0, 1 for a before / equal to / after b in ascending order; blanks are handled by the caller.
int compareValues(const Value& a, const Value& b)
{
    const int ra = rank(a), rb = rank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra == 0)
        return std::get<double>(a) < std::get<double>(b) ? -1 : (std::get<double>(a) > std::get<double>(b) ? 1 : 0);
    if (ra == 1) {
        int cmp = std::get<QString>(a).compare(std::get<QString>(b), Qt::CaseInsensitive);
        if (cmp == 0)
            cmp = std::get<QString>(a).compare(std::get<QString>(b));
        return cmp < 0 ? -1 : (cmp > 0 ? 1 : 0);
    }
    if (ra == 2)
        return int(std::get<bool>(a)) - int(std::get<bool>(b));
    if (ra == 3)
        return int(std::get<ErrorValue>(a)) < int(std::get<ErrorValue>(b)) ? -1
            : (int(std::get<ErrorValue>(a)) > int(std::get<ErrorValue>(b)) ? 1 : 0);
    return 0;
}

// Order of two keys under one sort key: blanks always go last, whatever the direction. -1, 0, 1.
int keyOrder(const Value& a, const Value& b, bool ascending)
{
    const bool ba = rank(a) == 4, bb = rank(b) == 4;
    if (ba || bb)
        return ba == bb ? 0 : (ba ? 1 : -1);
    const int cmp = compareValues(a, b);
    return ascending ? cmp : -cmp;
}

} // namespace

void CellControl::sortRange(const Range& range, const QList<SortKey>& keys, bool byRows, bool header)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    Range r = clipped(normalized(range.col1, range.row1, range.col2, range.row2), cur);
    if (r.isEmpty() || keys.isEmpty())
        return;
    if (header)
        byRows ? ++r.row1 : ++r.col1;
    const int count = byRows ? r.height() : r.width();
    if (count < 2)
        return;
    QList<SortKey> used;
    for (const SortKey& k : keys) {
        if (byRows ? (k.index < r.col1 || k.index > r.col2) : (k.index < r.row1 || k.index > r.row2))
            throw QuelmarError(QStringLiteral("排序关键字不在排序区域内。"));
        used << k;
        if (used.size() == 3)
            break;
    }
    for (const Range& m : cur.merges)
        if (m.intersects(r))
            throw QuelmarError(QStringLiteral("不能对含有组合单元格的区域排序。"));

    const int first = byRows ? r.row1 : r.col1;
    QVector<int> order(count);
    std::iota(order.begin(), order.end(), first);
    // The key values once, not per comparison: a sort of thousands of rows compares each row many times.
    QVector<QVector<Value>> keyValues(count);
    for (int i = 0; i < count; ++i)
        for (const SortKey& k : used) {
            const Cell* c = byRows ? cur.cellAt(k.index, first + i) : cur.cellAt(first + i, k.index);
            keyValues[i] << (c ? c->value : Value{});
        }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (int k = 0; k < used.size(); ++k) {
            const int o = keyOrder(keyValues.at(a - first).at(k), keyValues.at(b - first).at(k), used.at(k).ascending);
            if (o)
                return o < 0;
        }
        return false;
    });
    if (std::is_sorted(order.begin(), order.end()))
        return;
    editSheet(sheet, tr("排序"), [&](Sheet& sh) {
        const Sheet old = sh;
        for (int i = 0; i < count; ++i) {
            const int from = order.at(i), to = first + i;
            if (from == to)
                continue;
            if (byRows) {
                for (int c = r.col1; c <= r.col2; ++c)
                    putCell(sh, Sheet::key(c, to), movedCell(cellOf(old, c, from), 0, to - from));
            } else {
                for (int rr = r.row1; rr <= r.row2; ++rr)
                    putCell(sh, Sheet::key(to, rr), movedCell(cellOf(old, from, rr), to - from, 0));
            }
        }
        return false;
    });
}

void CellControl::SortRow(int order, int key, int col1, int row1, int col2, int row2)
{
    const Range r = clipped(normalized(col1, row1, col2, row2), m_wb.sheets.at(m_wb.curSheet));
    if (r.isEmpty() || r.height() < 2 || key < r.col1 || key > r.col2)
        return;
    sortRange(r, {SortKey{key, order != 0}}, true, false);
}

void CellControl::SortCol(int order, int key, int col1, int row1, int col2, int row2)
{
    const Range r = clipped(normalized(col1, row1, col2, row2), m_wb.sheets.at(m_wb.curSheet));
    if (r.isEmpty() || r.width() < 2 || key < r.row1 || key > r.row2)
        return;
    sortRange(r, {SortKey{key, order != 0}}, false, false);
}

} // namespace cell
