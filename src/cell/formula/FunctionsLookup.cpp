// Lookup and reference functions: VLOOKUP, HLOOKUP, LOOKUP, MATCH, INDEX, INDIRECT, OFFSET, CHOOSE, ROW, COLUMN.

#include "cell/formula/FunctionSupport.h"

#include <functional>

namespace cell::formula::fn {

namespace {

// ---- lookups ------------------------------------------------------------------------------------------------------

// Position of `key` in a line of values: exact (0; texts with wildcards), largest ≤ key (1, sorted ascending),
// smallest ≥ key (-1, sorted descending). -1 when not found.
int lookupLine(const Value& key, int n, const std::function<Value(int)>& at, int mode)
{
    const bool keyText = key.index() == 2;
    if (mode == 0) {
        const QString kt = keyText ? std::get<QString>(key) : QString();
        const bool wild = keyText && hasWildcard(kt);
        for (int i = 0; i < n; ++i) {
            const Value v = at(i);
            if (keyText) {
                if (v.index() != 2)
                    continue;
                if (wild ? wildcardMatch(kt, std::get<QString>(v))
                         : std::get<QString>(v).compare(kt, Qt::CaseInsensitive) == 0)
                    return i;
            } else if (v.index() == key.index() && compareValues(v, key) == 0) {
                return i;
            }
        }
        return -1;
    }
    int found = -1;
    for (int i = 0; i < n; ++i) {
        const Value v = at(i);
        if (v.index() != key.index())
            continue;
        const int cmp = compareValues(v, key);
        if (mode > 0 ? cmp <= 0 : cmp >= 0)
            found = i;
        else
            break;
    }
    return found;
}

Val lookupTable(Ctx& c, const Node& call, bool vertical)
{
    Value key = sv(c, call, 0);
    if (isError(key))
        return Val(key);
    if (isEmpty(key))
        key = 0.0;
    const Val tv = ev(c, call, 1);
    if (tv.kind == Val::Scalar && isError(tv.v))
        return tv;
    const Grid g = gridOf(c, tv);
    double idx;
    Value err;
    if (!num(c, call, 2, idx, err))
        return Val(err);
    bool approx = true;
    if (given(call, 3) && !truth(sv(c, call, 3), approx, err))
        return Val(err);
    const int k = toInt(idx);
    if (k < 1)
        return Val(ErrorValue::Value);
    if (k > (vertical ? g.cols() : g.rows()))
        return Val(ErrorValue::Ref);
    const int n = vertical ? g.rows() : g.cols();
    const int pos = lookupLine(key, n, [&](int i) { return vertical ? g.at(i, 0) : g.at(0, i); }, approx ? 1 : 0);
    if (pos < 0)
        return Val(ErrorValue::NA);
    Value out = vertical ? g.at(pos, k - 1) : g.at(k - 1, pos);
    return Val(isEmpty(out) ? Value(0.0) : out);
}

// ---- lookup and reference ----

Val fVlookup(Ctx& c, const Node& call) { return lookupTable(c, call, true); }
Val fHlookup(Ctx& c, const Node& call) { return lookupTable(c, call, false); }

// LOOKUP(value, lookup_vector, [result_vector]) and LOOKUP(value, array): the largest value ≤ key in sorted data.
Val fLookup(Ctx& c, const Node& call)
{
    Value key = sv(c, call, 0);
    if (isError(key))
        return Val(key);
    if (isEmpty(key))
        key = 0.0;
    const Val lv = ev(c, call, 1);
    if (lv.kind == Val::Scalar && isError(lv.v))
        return lv;
    const Grid g = gridOf(c, lv);
    // the array form searches the first row or column along the longer side and returns from the last
    const bool vertical = g.cols() == 1 || (g.rows() > 1 && g.rows() >= g.cols());
    const int n = vertical ? g.rows() : g.cols();
    const int pos = lookupLine(key, n, [&](int i) { return vertical ? g.at(i, 0) : g.at(0, i); }, 1);
    if (pos < 0)
        return Val(ErrorValue::NA);
    Value out;
    if (given(call, 2)) {
        const Val rv = ev(c, call, 2);
        if (rv.kind == Val::Scalar && isError(rv.v))
            return rv;
        const Grid r = gridOf(c, rv);
        const bool rVertical = r.cols() == 1;
        if (pos >= (rVertical ? r.rows() : r.cols()))
            return Val(ErrorValue::NA);
        out = rVertical ? r.at(pos, 0) : r.at(0, pos);
    } else {
        out = vertical ? g.at(pos, g.cols() - 1) : g.at(g.rows() - 1, pos);
    }
    return Val(isEmpty(out) ? Value(0.0) : out);
}

Val fMatch(Ctx& c, const Node& call)
{
    Value key = sv(c, call, 0);
    if (isError(key))
        return Val(key);
    if (isEmpty(key))
        key = 0.0;
    const Val v = ev(c, call, 1);
    if (v.kind == Val::Scalar && isError(v.v))
        return v;
    const Grid g = gridOf(c, v);
    double type;
    Value err;
    if (!numOr(c, call, 2, 1, type, err))
        return Val(err);
    if (g.rows() != 1 && g.cols() != 1)
        return Val(ErrorValue::NA);
    const bool vertical = g.cols() == 1;
    const int n = vertical ? g.rows() : g.cols();
    const int mode = type > 0 ? 1 : type < 0 ? -1 : 0;
    const int pos = lookupLine(key, n, [&](int i) { return vertical ? g.at(i, 0) : g.at(0, i); }, mode);
    return pos < 0 ? Val(ErrorValue::NA) : Val(double(pos + 1));
}

Val fIndex(Ctx& c, const Node& call)
{
    const Val v = ev(c, call, 0);
    if (v.kind == Val::Scalar && isError(v.v))
        return v;
    double rd, cd;
    Value err;
    if (!numOr(c, call, 1, 0, rd, err) || !numOr(c, call, 2, 0, cd, err))
        return Val(err);
    int r = toInt(rd), k = toInt(cd);
    const Grid g = gridOf(c, v);
    if (!given(call, 2) && g.rows() == 1 && g.cols() > 1) {   // INDEX(A1:E1, 3) counts along the row
        k = r;
        r = 1;
    }
    if (r < 0 || k < 0 || r > g.rows() || k > g.cols())
        return Val(ErrorValue::Ref);
    if (g.cols() == 1 && k == 0)
        k = 1;
    if (g.rows() == 1 && r == 0)
        r = 1;
    if (v.kind == Val::RefV) {
        Range out = v.r;
        if (r > 0)
            out.row1 = out.row2 = v.r.row1 + r - 1;
        if (k > 0)
            out.col1 = out.col2 = v.r.col1 + k - 1;
        return Val::ref(v.sheet, out);
    }
    if (r == 0 || k == 0)
        return Val(ErrorValue::Value);
    return Val(g.at(r - 1, k - 1));
}

// INDIRECT("B"&ROW()) / INDIRECT("'第二页'!A1:B5"): a reference from its text (A1 style).
Val fIndirect(Ctx& c, const Node& call)
{
    QString t;
    Value err;
    if (!text(c, call, 0, t, err))
        return Val(err);
    bool a1 = true;
    if (given(call, 1) && !truth(sv(c, call, 1), a1, err))
        return Val(err);
    if (!a1)
        return Val(ErrorValue::Ref);
    NodePtr n;
    try {
        n = parseFormula(t);
    } catch (const std::exception&) {
        return Val(ErrorValue::Ref);
    }
    if (n->kind != Node::Ref && n->kind != Node::Area)
        return Val(ErrorValue::Ref);
    int sheet = c.sheet;
    if (n->sheetGiven) {
        sheet = -1;
        for (int i = 0; i < c.wb.sheets.size(); ++i)
            if (c.wb.sheets.at(i).name.compare(n->text, Qt::CaseInsensitive) == 0)
                sheet = i;
        if (sheet < 0)
            return Val(ErrorValue::Ref);
    }
    const Range r = n->kind == Node::Ref ? Range{n->a.col, n->a.row, n->a.col, n->a.row}
                                         : Range{n->a.col, n->a.row, n->b.col, n->b.row};
    if (c.dynamicRefs)
        c.dynamicRefs->emplace_back(sheet, r);
    return Val::ref(sheet, r);
}

// OFFSET(reference, rows, cols, [height], [width])
Val fOffset(Ctx& c, const Node& call)
{
    const Val base = ev(c, call, 0);
    if (base.kind == Val::Scalar && isError(base.v))
        return base;
    if (base.kind != Val::RefV)
        return Val(ErrorValue::Value);
    double dr, dc, h, w;
    Value err;
    if (!num(c, call, 1, dr, err) || !num(c, call, 2, dc, err) || !numOr(c, call, 3, base.r.height(), h, err)
        || !numOr(c, call, 4, base.r.width(), w, err))
        return Val(err);
    const double row1 = base.r.row1 + std::trunc(dr), col1 = base.r.col1 + std::trunc(dc);
    const double row2 = row1 + std::trunc(h) - 1, col2 = col1 + std::trunc(w) - 1;
    if (std::trunc(h) < 1 || std::trunc(w) < 1 || row1 < 1 || col1 < 1 || row2 > MaxRows || col2 > MaxCols)
        return Val(ErrorValue::Ref);
    const Range r{int(col1), int(row1), int(col2), int(row2)};
    if (c.dynamicRefs)
        c.dynamicRefs->emplace_back(base.sheet, r);
    return Val::ref(base.sheet, r);
}

Val fChoose(Ctx& c, const Node& call)
{
    double i;
    Value err;
    if (!num(c, call, 0, i, err))
        return Val(err);
    const int k = toInt(i);
    if (k < 1 || k >= argc(call))
        return Val(ErrorValue::Value);
    return ev(c, call, k);
}

Val rowCol(Ctx& c, const Node& call, bool row, bool count)
{
    if (!given(call, 0)) {
        if (count)
            return Val(ErrorValue::Value);
        return Val(double(row ? c.row : c.col));
    }
    const Val v = ev(c, call, 0);
    if (v.kind == Val::Scalar && isError(v.v))
        return v;
    if (count) {
        const Grid g = gridOf(c, v);
        return Val(double(row ? g.rows() : g.cols()));
    }
    if (v.kind != Val::RefV)
        return Val(ErrorValue::Value);
    return Val(double(row ? v.r.row1 : v.r.col1));
}

Val fRow(Ctx& c, const Node& call) { return rowCol(c, call, true, false); }
Val fColumn(Ctx& c, const Node& call) { return rowCol(c, call, false, false); }
Val fRows(Ctx& c, const Node& call) { return rowCol(c, call, true, true); }
Val fColumns(Ctx& c, const Node& call) { return rowCol(c, call, false, true); }

const FnDef kTable[] = {
    {"CHOOSE", fChoose, 2, -1, false, false},
    {"COLUMN", fColumn, 0, 1, false, false},
    {"COLUMNS", fColumns, 1, 1, false, false},
    {"HLOOKUP", fHlookup, 3, 4, false, false},
    {"INDEX", fIndex, 2, 3, false, false},
    {"INDIRECT", fIndirect, 1, 2, true, false},
    {"LOOKUP", fLookup, 2, 3, false, false},
    {"MATCH", fMatch, 2, 3, false, false},
    {"OFFSET", fOffset, 3, 5, true, false},
    {"ROW", fRow, 0, 1, false, false},
    {"ROWS", fRows, 1, 1, false, false},
    {"VLOOKUP", fVlookup, 3, 4, false, false},
};

} // namespace

std::span<const FnDef> lookupFunctions()
{
    return kTable;
}

} // namespace cell::formula::fn
