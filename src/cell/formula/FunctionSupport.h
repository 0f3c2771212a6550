#pragma once
// Inside of the function table: the argument rules every spreadsheet function shares (numbers typed directly into a
// call are coerced, numbers in referenced cells are taken as they are and texts there are skipped, errors
// propagate), and the function families (FunctionsMaths.cpp, FunctionsStatistics.cpp, ...) that Functions.cpp puts
// together into one table.

#include "cell/formula/Ast.h"
#include "cell/formula/FormulaEngine.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>
#include <vector>

namespace cell::formula::fn {

// ---- argument helpers ---------------------------------------------------------------------------------------------

inline int argc(const Node& call)
{
    return int(call.kids.size());
}

// A number argument as a whole number, kept within ±2^30 so that no conversion overflows.
inline int toInt(double d)
{
    if (!(d == d))
        return 0;
    return int(std::clamp(std::trunc(d), -1073741824.0, 1073741824.0));
}

inline bool given(const Node& call, int i)
{
    return i < argc(call) && call.kids[size_t(i)]->kind != Node::Missing;
}

inline Val ev(Ctx& c, const Node& call, int i)
{
    if (c.preCall == &call)
        return Val(c.preArgs[i]);
    return evalNode(c, *call.kids[size_t(i)]);
}

inline Value sv(Ctx& c, const Node& call, int i)
{
    return scalarOf(c, ev(c, call, i));
}

inline bool num(Ctx& c, const Node& call, int i, double& out, Value& err)
{
    ErrorValue e;
    if (toNumber(sv(c, call, i), out, e))
        return true;
    err = e;
    return false;
}

// Optional number argument with a default.
inline bool numOr(Ctx& c, const Node& call, int i, double def, double& out, Value& err)
{
    if (!given(call, i)) {
        out = def;
        return true;
    }
    return num(c, call, i, out, err);
}

inline bool text(Ctx& c, const Node& call, int i, QString& out, Value& err)
{
    const Value v = sv(c, call, i);
    if (isError(v)) {
        err = v;
        return false;
    }
    out = valueText(v);
    return true;
}

inline bool truth(const Value& v, bool& out, Value& err)
{
    switch (v.index()) {
    case 0: out = false; return true;
    case 1: out = std::get<double>(v) != 0; return true;
    case 2: {
        const QString s = std::get<QString>(v).trimmed().toUpper();
        if (s == QLatin1String("TRUE") || s == QLatin1String("FALSE")) {
            out = s == QLatin1String("TRUE");
            return true;
        }
        err = ErrorValue::Value;
        return false;
    }
    case 3: out = std::get<bool>(v); return true;
    default: err = v; return false;
    }
}

// Every non-blank cell of a rectangle (in no particular order when the sheet is sparser than the rectangle).
// f(col, row, value) returns false to stop; eachCell then returns false.
template <class F>
bool eachCell(const Workbook& wb, int sheet, const Range& r, F&& f)
{
    if (sheet < 0 || sheet >= wb.sheets.size())
        return true;
    const Sheet& sh = wb.sheets.at(sheet);
    const qint64 area = qint64(r.width()) * r.height();
    if (area > sh.cells.size()) {
        for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
            const int col = Sheet::keyCol(it.key()), row = Sheet::keyRow(it.key());
            if (r.contains(col, row) && !isEmpty(it->value) && !f(col, row, it->value))
                return false;
        }
        return true;
    }
    for (int row = r.row1; row <= r.row2; ++row)
        for (int col = r.col1; col <= r.col2; ++col) {
            const Cell* cell = sh.cellAt(col, row);
            if (cell && !isEmpty(cell->value) && !f(col, row, cell->value))
                return false;
        }
    return true;
}

// Every value of an argument: f(value, direct) with direct = typed into the call rather than taken from cells or an
// array. Blank cells are skipped.
template <class F>
bool eachValue(Ctx& c, const Val& v, F&& f)
{
    switch (v.kind) {
    case Val::Scalar:
        return f(v.v, true);
    case Val::Arr:
        for (const Value& x : v.arr->v)
            if (!isEmpty(x) && !f(x, false))
                return false;
        return true;
    case Val::RefV:
        return eachCell(c.wb, v.sheet, v.r, [&](int, int, const Value& x) { return f(x, false); });
    }
    return true;
}

// The numbers of the arguments from `from` on, as SUM, AVERAGE, MIN ... take them.
template <class F>
bool eachNumber(Ctx& c, const Node& call, int from, Value& err, F&& f)
{
    for (int i = from; i < argc(call); ++i) {
        if (call.kids[size_t(i)]->kind == Node::Missing) {
            f(0.0);
            continue;
        }
        const Val v = ev(c, call, i);
        const bool ok = eachValue(c, v, [&](const Value& x, bool direct) {
            switch (x.index()) {
            case 1: f(std::get<double>(x)); return true;
            case 4: err = x; return false;
            case 3:
                if (direct)
                    f(std::get<bool>(x) ? 1.0 : 0.0);
                return true;
            case 2:
                if (direct) {
                    double d;
                    if (!textToNumber(std::get<QString>(x), d)) {
                        err = ErrorValue::Value;
                        return false;
                    }
                    f(d);
                }
                return true;
            default: return true;
            }
        });
        if (!ok)
            return false;
    }
    return true;
}

inline bool numbers(Ctx& c, const Node& call, int from, std::vector<double>& out, Value& err)
{
    return eachNumber(c, call, from, err, [&](double d) { out.push_back(d); });
}

inline Val numResult(double d)
{
    if (!std::isfinite(d))
        return Val(ErrorValue::Num);
    return Val(d);
}

// A rectangle of values read from a reference, an array or a single value.
struct Grid {
    const Workbook* wb = nullptr;
    int sheet = 0;
    Range r;
    std::shared_ptr<const Array> arr;
    Value single;
    int kind = 0;   // 0 single, 1 reference, 2 array

    int rows() const { return kind == 1 ? r.height() : kind == 2 ? arr->rows : 1; }
    int cols() const { return kind == 1 ? r.width() : kind == 2 ? arr->cols : 1; }
    Value at(int row, int col) const
    {
        if (kind == 1)
            return cellValue(*wb, sheet, r.col1 + col, r.row1 + row);
        if (kind == 2)
            return arr->at(row, col);
        return single;
    }
};

inline Grid gridOf(Ctx& c, const Val& v)
{
    Grid g;
    g.wb = &c.wb;
    if (v.kind == Val::RefV) {
        g.kind = 1;
        g.sheet = v.sheet;
        g.r = v.r;
    } else if (v.kind == Val::Arr) {
        g.kind = 2;
        g.arr = v.arr;
    } else {
        g.single = v.v;
    }
    return g;
}

// Wildcard texts of criteria and lookups: "*" any run, "?" any one character, "~" takes the next one literally
// (FunctionsCriteria.cpp).
bool wildcardMatch(QStringView pat, QStringView s);
bool hasWildcard(const QString& s);

// The function families, each a table of its own.
std::span<const FnDef> mathsFunctions();
std::span<const FnDef> statisticsFunctions();
std::span<const FnDef> criteriaFunctions();
std::span<const FnDef> logicFunctions();
std::span<const FnDef> textFunctions();
std::span<const FnDef> dateFunctions();
std::span<const FnDef> lookupFunctions();

} // namespace cell::formula::fn
