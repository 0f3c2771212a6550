// The function table: every spreadsheet function the engine knows, with the argument rules of the common
// spreadsheet programs (numbers typed directly into SUM are coerced, numbers in referenced cells are taken as they
// are and texts there are skipped; errors propagate; criteria such as ">=90", "<>", "合格*").

#include "cell/formula/Ast.h"
#include "cell/formula/FormulaEngine.h"

#include <QDate>
#include <QDateTime>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <cmath>

namespace cell::formula {

namespace {

// ---- argument helpers ---------------------------------------------------------------------------------------------

int argc(const Node& call)
{
    return int(call.kids.size());
}

// A number argument as a whole number, kept within ±2^30 so that no conversion overflows.
int toInt(double d)
{
    if (!(d == d))
        return 0;
    return int(std::clamp(std::trunc(d), -1073741824.0, 1073741824.0));
}

bool given(const Node& call, int i)
{
    return i < argc(call) && call.kids[size_t(i)]->kind != Node::Missing;
}

Val ev(Ctx& c, const Node& call, int i)
{
    if (c.preCall == &call)
        return Val(c.preArgs[i]);
    return evalNode(c, *call.kids[size_t(i)]);
}

Value sv(Ctx& c, const Node& call, int i)
{
    return scalarOf(c, ev(c, call, i));
}

bool num(Ctx& c, const Node& call, int i, double& out, Value& err)
{
    ErrorValue e;
    if (toNumber(sv(c, call, i), out, e))
        return true;
    err = e;
    return false;
}

// Optional number argument with a default.
bool numOr(Ctx& c, const Node& call, int i, double def, double& out, Value& err)
{
    if (!given(call, i)) {
        out = def;
        return true;
    }
    return num(c, call, i, out, err);
}

bool text(Ctx& c, const Node& call, int i, QString& out, Value& err)
{
    const Value v = sv(c, call, i);
    if (isError(v)) {
        err = v;
        return false;
    }
    out = valueText(v);
    return true;
}

bool truth(const Value& v, bool& out, Value& err)
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

bool numbers(Ctx& c, const Node& call, int from, std::vector<double>& out, Value& err)
{
    return eachNumber(c, call, from, err, [&](double d) { out.push_back(d); });
}

Val numResult(double d)
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

Grid gridOf(Ctx& c, const Val& v)
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

// ---- criteria (COUNTIF, SUMIF, ...) -------------------------------------------------------------------------------

bool wildcardMatch(QStringView pat, QStringView s)
{
    // '*' any run, '?' one character, '~' escapes the next; case-free
    int p = 0, i = 0, starP = -1, starI = 0;
    const int np = int(pat.size()), ns = int(s.size());
    while (i < ns) {
        if (p < np && pat[p] == QLatin1Char('*')) {
            starP = p++;
            starI = i;
            continue;
        }
        if (p < np) {
            QChar pc = pat[p];
            bool literal = false;
            int adv = 1;
            if (pc == QLatin1Char('~') && p + 1 < np) {
                pc = pat[p + 1];
                literal = true;
                adv = 2;
            }
            if ((!literal && pc == QLatin1Char('?')) || pc.toCaseFolded() == s[i].toCaseFolded()) {
                p += adv;
                ++i;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP + 1;
        i = ++starI;
    }
    while (p < np && pat[p] == QLatin1Char('*'))
        ++p;
    return p == np;
}

bool hasWildcard(const QString& s)
{
    return s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?')) || s.contains(QLatin1Char('~'));
}

struct Criterion {
    enum { Eq, Ne, Lt, Gt, Le, Ge } op = Eq;
    enum { Number, Text, Bool, Error, Blank } kind = Blank;
    double number = 0;
    QString txt;
    bool wildcard = false;
    bool b = false;
    ErrorValue err = ErrorValue::NA;

    bool cmp(int c) const
    {
        switch (op) {
        case Eq: return c == 0;
        case Ne: return c != 0;
        case Lt: return c < 0;
        case Gt: return c > 0;
        case Le: return c <= 0;
        default: return c >= 0;
        }
    }

    // Whether a blank cell meets the criterion (then ranges must be walked cell by cell).
    bool matchesBlank() const { return matches(Value()); }

    bool matches(const Value& v) const
    {
        switch (kind) {
        case Blank:   // "" or "=": blank cells and empty texts; "<>": everything else
            if (op == Eq)
                return isEmpty(v) || (v.index() == 2 && std::get<QString>(v).isEmpty());
            if (op == Ne)
                return !(isEmpty(v) || (v.index() == 2 && std::get<QString>(v).isEmpty()));
            return false;
        case Number: {
            double x;
            if (v.index() == 1) {
                x = std::get<double>(v);
            } else if (v.index() == 2 && (op == Eq || op == Ne) && textToNumber(std::get<QString>(v), x)) {
                // "5" in a cell counts as 5 for equality, as spreadsheets do in COUNTIF
            } else {
                return op == Ne;
            }
            const double a = roundTo15(x), bb = roundTo15(number);
            return cmp(a < bb ? -1 : a > bb ? 1 : 0);
        }
        case Text: {
            if (v.index() != 2 && !(isEmpty(v) && op != Eq && op != Ne))
                return op == Ne;
            const QString s = isEmpty(v) ? QString() : std::get<QString>(v);
            if ((op == Eq || op == Ne) && wildcard)
                return wildcardMatch(txt, s) == (op == Eq);
            return cmp(s.compare(txt, Qt::CaseInsensitive));
        }
        case Bool:
            if (v.index() != 3)
                return op == Ne;
            return cmp(int(std::get<bool>(v)) - int(b));
        case Error:
            if (!isError(v))
                return op == Ne;
            return (std::get<ErrorValue>(v) == err) == (op == Eq);
        }
        return false;
    }
};

Criterion criterionOf(const Value& v)
{
    Criterion k;
    switch (v.index()) {
    case 0: k.kind = Criterion::Number; k.number = 0; return k;
    case 1: k.kind = Criterion::Number; k.number = std::get<double>(v); return k;
    case 3: k.kind = Criterion::Bool; k.b = std::get<bool>(v); return k;
    case 4: k.kind = Criterion::Error; k.err = std::get<ErrorValue>(v); return k;
    default: break;
    }
    QString s = std::get<QString>(v);
    static const struct {
        const char* text;
        decltype(Criterion::op) op;
    } ops[] = {{"<=", Criterion::Le}, {">=", Criterion::Ge}, {"<>", Criterion::Ne},
               {"<", Criterion::Lt},  {">", Criterion::Gt},  {"=", Criterion::Eq}};
    for (const auto& o : ops)
        if (s.startsWith(QLatin1String(o.text))) {
            k.op = o.op;
            s = s.mid(int(qstrlen(o.text)));
            break;
        }
    if (s.isEmpty()) {
        k.kind = Criterion::Blank;
        return k;
    }
    double d;
    if (textToNumber(s, d)) {
        k.kind = Criterion::Number;
        k.number = d;
        return k;
    }
    const QString up = s.trimmed().toUpper();
    if (up == QLatin1String("TRUE") || up == QLatin1String("FALSE")) {
        k.kind = Criterion::Bool;
        k.b = up == QLatin1String("TRUE");
        return k;
    }
    for (ErrorValue e : {ErrorValue::Null, ErrorValue::Div0, ErrorValue::Value, ErrorValue::Ref, ErrorValue::Name,
                         ErrorValue::Num, ErrorValue::NA})
        if (up == errorString(e)) {
            k.kind = Criterion::Error;
            k.err = e;
            return k;
        }
    k.kind = Criterion::Text;
    k.txt = s;
    k.wildcard = hasWildcard(s);
    return k;
}

// One (range, criterion) pair of the *IF* functions.
struct CritRange {
    Grid g;
    Criterion k;
};

// Walks the positions of the first criteria range that meet all criteria: f(rowOffset, colOffset).
template <class F>
Value eachMatch(Ctx& c, std::vector<CritRange>& crits, F&& f)
{
    const Grid& g0 = crits[0].g;
    for (const CritRange& cr : crits)
        if (cr.g.rows() != g0.rows() || cr.g.cols() != g0.cols())
            return ErrorValue::Value;
    auto test = [&](int ro, int co) {
        for (size_t i = 1; i < crits.size(); ++i)
            if (!crits[i].k.matches(crits[i].g.at(ro, co)))
                return;
        f(ro, co);
    };
    bool anyBlank = false;
    for (const CritRange& cr : crits)
        anyBlank = anyBlank || cr.k.matchesBlank();
    if (g0.kind == 1 && !anyBlank) {
        // only cells with content can match: walk those
        eachCell(c.wb, g0.sheet, g0.r, [&](int col, int row, const Value& v) {
            if (crits[0].k.matches(v))
                test(row - g0.r.row1, col - g0.r.col1);
            return true;
        });
    } else {
        for (int ro = 0; ro < g0.rows(); ++ro)
            for (int co = 0; co < g0.cols(); ++co)
                if (crits[0].k.matches(g0.at(ro, co)))
                    test(ro, co);
    }
    return Value();
}

// SUMIF(range, criterion, [sum_range]) / AVERAGEIF / COUNTIF and their *IFS forms share this: mode 0 sum,
// 1 average, 2 count, 3 max, 4 min.
Val ifFamilyWith(Ctx& c, const Node& call, int mode, bool multi, const std::vector<Value>& critValues);

Val ifFamily(Ctx& c, const Node& call, int mode, bool multi)
{
    // criteria given as an array or a range (COUNTIF(A1:A9,{"优","良"})) give one result per criterion
    const int first = multi && mode != 2 ? 1 : 0;
    const int pairs = multi ? (argc(call) - first) / 2 : 1;
    std::vector<Grid> grids;
    int rows = 1, cols = 1;
    bool spread = false;
    for (int p = 0; p < pairs; ++p) {
        const int k = first + 2 * p + 1;
        if (k >= argc(call))
            return Val(ErrorValue::Value);
        const Val kv = ev(c, call, k);
        grids.push_back(gridOf(c, kv));
        if (kv.kind == Val::Arr || (kv.kind == Val::RefV && (kv.r.width() > 1 || kv.r.height() > 1))) {
            spread = true;
            rows = std::max(rows, grids.back().rows());
            cols = std::max(cols, grids.back().cols());
        } else if (kv.kind == Val::RefV) {
            grids.back() = Grid{};
            grids.back().single = scalarOf(c, kv);
        }
    }
    std::vector<Value> crit(static_cast<size_t>(pairs));
    if (!spread) {
        for (int p = 0; p < pairs; ++p)
            crit[size_t(p)] = grids[size_t(p)].at(0, 0);
        return ifFamilyWith(c, call, mode, multi, crit);
    }
    auto out = std::make_shared<Array>();
    out->rows = rows;
    out->cols = cols;
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < cols; ++k) {
            for (int p = 0; p < pairs; ++p) {
                const Grid& g = grids[size_t(p)];
                crit[size_t(p)] = g.at(g.rows() == 1 ? 0 : std::min(r, g.rows() - 1), g.cols() == 1 ? 0 : std::min(k, g.cols() - 1));
            }
            out->v.push_back(scalarOf(c, ifFamilyWith(c, call, mode, multi, crit)));
        }
    return Val::array(std::move(out));
}

Val ifFamilyWith(Ctx& c, const Node& call, int mode, bool multi, const std::vector<Value>& critValues)
{
    std::vector<CritRange> crits;
    Grid target;
    bool haveTarget = false;
    int first = 0;
    if (multi && mode != 2) {   // SUMIFS(sum_range, range1, crit1, ...)
        target = gridOf(c, ev(c, call, 0));
        haveTarget = true;
        first = 1;
    }
    if ((argc(call) - first) % 2 != 0 && multi)
        return Val(ErrorValue::Value);
    const int pairs = multi ? (argc(call) - first) / 2 : 1;
    for (int p = 0; p < pairs; ++p) {
        const Val rv = ev(c, call, first + 2 * p);
        if (rv.kind == Val::Scalar && isError(rv.v))
            return rv;
        if (rv.kind != Val::RefV)
            return Val(ErrorValue::Value);
        CritRange cr;
        cr.g = gridOf(c, rv);
        cr.k = criterionOf(critValues[size_t(p)]);
        crits.push_back(std::move(cr));
    }
    if (!multi && mode != 2 && given(call, 2)) {
        // the sum range takes the shape of the criteria range from its top-left cell
        const Val tv = ev(c, call, 2);
        if (tv.kind != Val::RefV)
            return Val(ErrorValue::Value);
        target = gridOf(c, tv);
        target.r.col2 = target.r.col1 + crits[0].g.cols() - 1;
        target.r.row2 = target.r.row1 + crits[0].g.rows() - 1;
        haveTarget = true;
    }
    if (!haveTarget)
        target = crits[0].g;
    if (multi && mode != 2 && (target.rows() != crits[0].g.rows() || target.cols() != crits[0].g.cols()))
        return Val(ErrorValue::Value);
    double sum = 0, best = mode == 3 ? -INFINITY : INFINITY;
    int count = 0;
    Value err;
    const Value shape = eachMatch(c, crits, [&](int ro, int co) {
        if (mode == 2) {
            ++count;
            return;
        }
        const Value v = target.at(ro, co);
        if (v.index() == 1) {
            const double d = std::get<double>(v);
            sum += d;
            best = mode == 3 ? std::max(best, d) : std::min(best, d);
            ++count;
        } else if (isError(v) && isEmpty(err)) {
            err = v;
        }
    });
    if (isError(shape))
        return Val(shape);
    if (!isEmpty(err))
        return Val(err);
    if (mode == 2)
        return Val(double(count));
    if (mode == 1)
        return count ? numResult(sum / count) : Val(ErrorValue::Div0);
    if (mode >= 3)
        return Val(count ? best : 0.0);
    return numResult(sum);
}

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

// ---- text formatting (TEXT) ---------------------------------------------------------------------------------------

QString groupThousands(const QString& digits)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i && (n - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits[i];
    }
    return out;
}

// "1005" → 一千零五 (upper: 壹仟零伍).
QString chineseInteger(QStringView digits, bool upper, bool shortTeens)
{
    static const char16_t lowerDigits[] = u"零一二三四五六七八九";
    static const char16_t upperDigits[] = u"零壹贰叁肆伍陆柒捌玖";
    static const char16_t* lowerUnits[] = {u"", u"十", u"百", u"千"};
    static const char16_t* upperUnits[] = {u"", u"拾", u"佰", u"仟"};
    static const char16_t* bigUnits[] = {u"", u"万", u"亿", u"万亿"};
    const char16_t* dg = upper ? upperDigits : lowerDigits;
    const char16_t** units = upper ? upperUnits : lowerUnits;
    while (digits.size() > 1 && digits[0] == QLatin1Char('0'))
        digits = digits.mid(1);
    if (digits.size() > 16)
        return digits.toString();
    if (digits == QLatin1String("0"))
        return QString(QChar(dg[0]));
    QString out;
    bool zero = false;   // a zero is owed before the next non-zero digit
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        const int d = digits[i].unicode() - '0';
        const int pos = n - 1 - i;   // power of ten
        if (d == 0) {
            zero = !out.isEmpty();
        } else {
            if (zero)
                out += QChar(dg[0]);
            zero = false;
            if (!(shortTeens && d == 1 && pos % 4 == 1 && out.isEmpty()))
                out += QChar(dg[d]);
            out += QString::fromUtf16(units[pos % 4]);
        }
        if (pos % 4 == 0 && pos > 0) {
            // the group unit, unless the whole group of four was zero
            const int from = std::max(0, i - 3);
            bool any = false;
            for (int k = from; k <= i; ++k)
                any = any || digits[k] != QLatin1Char('0');
            if (any)
                out += QString::fromUtf16(bigUnits[pos / 4]);
        }
    }
    return out;
}

// Replaces the digit runs of formatted text with Chinese numerals: the integer part read with units, digits after
// a decimal point one by one; in dates the year digit by digit (二〇二四) and month and day with units (十二).
QString chineseDigits(const QString& text, bool upper, bool date)
{
    static const char16_t lowerDigits[] = u"〇一二三四五六七八九";
    static const char16_t upperDigits[] = u"零壹贰叁肆伍陆柒捌玖";
    const char16_t* dg = upper ? upperDigits : lowerDigits;
    QString out;
    const int n = int(text.size());
    for (int i = 0; i < n;) {
        if (!text[i].isDigit() || text[i].unicode() > 127) {
            out += text[i++];
            continue;
        }
        int j = i;
        while (j < n && (text[j].isDigit() || (text[j] == QLatin1Char(',') && !date)) && text[j].unicode() < 128)
            ++j;
        QString run = text.mid(i, j - i);
        run.remove(QLatin1Char(','));
        const bool afterPoint = i > 0 && text[i - 1] == QLatin1Char('.');
        if (afterPoint || (date && run.size() >= 3)) {
            for (QChar ch : run)
                out += QChar(dg[ch.unicode() - '0']);
        } else {
            out += chineseInteger(run, upper, date);
        }
        i = j;
    }
    return out;
}

bool isDatePattern(const QString& p)
{
    bool inQuote = false;
    for (int i = 0; i < p.size(); ++i) {
        const QChar ch = p[i];
        if (ch == QLatin1Char('"'))
            inQuote = !inQuote;
        else if (!inQuote && ch == QLatin1Char('\\'))
            ++i;
        else if (!inQuote) {
            const QChar l = ch.toLower();
            if (l == QLatin1Char('y') || l == QLatin1Char('d') || l == QLatin1Char('h') || l == QLatin1Char('s')
                || l == QLatin1Char('m') || l == QLatin1Char('a'))
                return true;
        }
    }
    return false;
}

QString formatDate(double v, const QString& p)
{
    int y, mo, d;
    if (!serialToDate(v, y, mo, d))
        return QString();
    double frac = v - std::floor(v);
    int secs = int(std::floor(frac * 86400.0 + 0.5));
    if (secs >= 86400)
        secs = 86399;
    const int hh = secs / 3600, mi = (secs / 60) % 60, ss = secs % 60;
    const bool ampm = p.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive) || p.contains(QStringLiteral("上午/下午"));
    static const char* monthsShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* monthsLong[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
    static const char* daysShort[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* daysLong[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    static const char16_t cnDays[] = u"一二三四五六日";
    const int dow = QDate(y, mo, d).dayOfWeek();   // 1 = Monday
    QString out;
    bool lastWasHour = false;
    const int n = int(p.size());
    for (int i = 0; i < n;) {
        const QChar ch = p[i];
        const QChar l = ch.toLower();
        int run = 1;
        while (i + run < n && p[i + run].toLower() == l)
            ++run;
        if (ch == QLatin1Char('"')) {
            int j = i + 1;
            while (j < n && p[j] != QLatin1Char('"'))
                out += p[j++];
            i = j + 1;
            continue;
        }
        if (ch == QLatin1Char('\\') && i + 1 < n) {
            out += p[i + 1];
            i += 2;
            continue;
        }
        if (p.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            out += hh < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
            continue;
        }
        if (p.mid(i, 5) == QStringLiteral("上午/下午")) {
            out += hh < 12 ? QStringLiteral("上午") : QStringLiteral("下午");
            i += 5;
            continue;
        }
        if (l == QLatin1Char('y')) {
            out += run <= 2 ? QString::number(y % 100).rightJustified(2, QLatin1Char('0'))
                            : QString::number(y).rightJustified(4, QLatin1Char('0'));
        } else if (l == QLatin1Char('m')) {
            // minutes after an hour or before seconds, else month
            bool minutes = lastWasHour;
            if (!minutes) {
                int j = i + run;
                while (j < n && !p[j].isLetter())
                    ++j;
                minutes = j < n && p[j].toLower() == QLatin1Char('s') && run <= 2;
            }
            if (minutes)
                out += run == 1 ? QString::number(mi) : QString::number(mi).rightJustified(2, QLatin1Char('0'));
            else if (run == 1)
                out += QString::number(mo);
            else if (run == 2)
                out += QString::number(mo).rightJustified(2, QLatin1Char('0'));
            else if (run == 3)
                out += QLatin1String(monthsShort[mo - 1]);
            else
                out += QLatin1String(monthsLong[mo - 1]);
        } else if (l == QLatin1Char('d')) {
            if (run == 1)
                out += QString::number(d);
            else if (run == 2)
                out += QString::number(d).rightJustified(2, QLatin1Char('0'));
            else if (run == 3)
                out += QLatin1String(daysShort[dow - 1]);
            else
                out += QLatin1String(daysLong[dow - 1]);
        } else if (l == QLatin1Char('a') && run >= 3) {
            out += (run == 3 ? QString() : QStringLiteral("星期")) + QChar(cnDays[dow - 1]);
        } else if (l == QLatin1Char('h')) {
            int h = hh;
            if (ampm) {
                h = hh % 12;
                if (h == 0)
                    h = 12;
            }
            out += run == 1 ? QString::number(h) : QString::number(h).rightJustified(2, QLatin1Char('0'));
        } else if (l == QLatin1Char('s')) {
            out += run == 1 ? QString::number(ss) : QString::number(ss).rightJustified(2, QLatin1Char('0'));
        } else {
            out += QString(run, ch);
        }
        if (l == QLatin1Char('h'))
            lastWasHour = true;
        else if (ch.isLetter())
            lastWasHour = false;
        i += run;
    }
    return out;
}

QString formatNumberPattern(double v, const QString& pat)
{
    // split into literal prefix, the number placeholders and a literal suffix
    QString prefix, suffix, body;
    int state = 0;   // 0 prefix, 1 body, 2 suffix
    bool percent = false;
    const int n = int(pat.size());
    for (int i = 0; i < n; ++i) {
        QChar ch = pat[i];
        QString lit;
        bool isLit = true;
        if (ch == QLatin1Char('"')) {
            int j = i + 1;
            while (j < n && pat[j] != QLatin1Char('"'))
                lit += pat[j++];
            i = j;
        } else if (ch == QLatin1Char('\\') && i + 1 < n) {
            lit = pat[++i];
        } else if (ch == QLatin1Char('_') && i + 1 < n) {   // room for the width of the next character
            lit = QStringLiteral(" ");
            ++i;
        } else if (ch == QLatin1Char('*') && i + 1 < n) {   // fill character: no column to fill here
            ++i;
        } else if (ch == QLatin1Char('0') || ch == QLatin1Char('#') || ch == QLatin1Char('?')
                   || ((ch == QLatin1Char('.') || ch == QLatin1Char(',')) && state == 1)
                   || (ch == QLatin1Char('.') && i + 1 < n
                       && (pat[i + 1] == QLatin1Char('0') || pat[i + 1] == QLatin1Char('#')))) {
            isLit = false;
            if (state == 2) {   // placeholders after a literal in the middle: keep it inside the body
                body += suffix;
                suffix.clear();
            }
            state = 1;
            body += ch;
        } else if ((ch == QLatin1Char('E') || ch == QLatin1Char('e')) && state == 1 && i + 1 < n
                   && (pat[i + 1] == QLatin1Char('+') || pat[i + 1] == QLatin1Char('-'))) {
            isLit = false;
            body += QLatin1Char('E');
            body += pat[++i];
        } else {
            if (ch == QLatin1Char('%'))
                percent = true;
            lit = ch;
        }
        if (isLit) {
            if (state == 0)
                prefix += lit;
            else
                suffix += lit, state = 2;
        }
    }
    if (percent)
        v *= 100;
    if (body.isEmpty())
        return prefix + suffix;
    const bool neg = v < 0;
    v = std::fabs(v);
    const int ePos = body.indexOf(QLatin1Char('E'));
    QString mant = ePos >= 0 ? body.left(ePos) : body;
    // trailing commas scale by thousands
    while (mant.endsWith(QLatin1Char(','))) {
        v /= 1000;
        mant.chop(1);
    }
    const bool group = mant.contains(QLatin1Char(','));
    mant.remove(QLatin1Char(','));
    const int dot = mant.indexOf(QLatin1Char('.'));
    const QString intPat = dot >= 0 ? mant.left(dot) : mant;
    const QString fracPat = dot >= 0 ? mant.mid(dot + 1) : QString();
    int exponent = 0;
    if (ePos >= 0 && v != 0) {
        const int intDigits = std::max(1, int(intPat.size()));
        exponent = int(std::floor(std::log10(v))) - (intDigits - 1);
        v /= std::pow(10.0, exponent);
        if (excelRound(v, int(fracPat.size()), 0) >= std::pow(10.0, intDigits)) {
            v /= 10;
            ++exponent;
        }
    }
    const double r = excelRound(v, int(fracPat.size()), 0);
    QString digits = QString::number(r, 'f', int(fracPat.size()));
    QString ip = digits.section(QLatin1Char('.'), 0, 0);
    QString fp = digits.section(QLatin1Char('.'), 1);
    const int minInt = int(intPat.count(QLatin1Char('0')));
    if (ip == QLatin1String("0") && minInt == 0)
        ip.clear();
    while (ip.size() < minInt)
        ip.prepend(QLatin1Char('0'));
    if (group)
        ip = groupThousands(ip);
    // optional fraction digits (#) drop trailing zeros
    int keep = int(fp.size());
    while (keep > 0 && fracPat[keep - 1] != QLatin1Char('0') && fp[keep - 1] == QLatin1Char('0'))
        --keep;
    fp.truncate(keep);
    QString out = ip;
    if (dot >= 0 && (!fp.isEmpty() || fracPat.isEmpty()))
        out += QLatin1Char('.') + fp;
    if (ePos >= 0) {
        const QChar sign = body[ePos + 1];
        const int expDigits = std::max(1, int(body.size()) - ePos - 2);
        out += QLatin1Char('E');
        if (exponent < 0)
            out += QLatin1Char('-');
        else if (sign == QLatin1Char('+'))
            out += QLatin1Char('+');
        out += QString::number(std::abs(exponent)).rightJustified(expDigits, QLatin1Char('0'));
    }
    // a negative number keeps its sign even when it rounds to zero ("-0.00"), as spreadsheets show it
    return (neg ? QStringLiteral("-") : QString()) + prefix + out + suffix;
}

} // namespace

QString formatWithPattern(double v, const QString& pattern)
{
    QStringList sections;
    {
        QString cur;
        bool inQuote = false;
        for (int i = 0; i < pattern.size(); ++i) {
            const QChar ch = pattern[i];
            if (ch == QLatin1Char('"'))
                inQuote = !inQuote;
            if (ch == QLatin1Char(';') && !inQuote) {
                sections << cur;
                cur.clear();
                continue;
            }
            cur += ch;
            if (ch == QLatin1Char('\\') && i + 1 < pattern.size())
                cur += pattern[++i];
        }
        sections << cur;
    }
    QString p = sections[0];
    if (v < 0 && sections.size() >= 2) {
        p = sections[1];
        v = -v;
    } else if (v == 0 && sections.size() >= 3) {
        p = sections[2];
    }
    // [DBNum1] / [DBNum2]: Chinese numerals (一百二十三 / 壹佰贰拾叁)
    static const QRegularExpression dbnum(QStringLiteral("\\[DBNum([123])\\]"), QRegularExpression::CaseInsensitiveOption);
    int chinese = 0;
    if (const auto m = dbnum.match(p); m.hasMatch())
        chinese = m.capturedView(1).toInt() == 2 ? 2 : 1;
    // colour and condition brackets such as [Red] are not shown
    p.remove(QRegularExpression(QStringLiteral("\\[(?!h\\]|m\\]|s\\])[^\\]]*\\]"), QRegularExpression::CaseInsensitiveOption));
    const QString t = p.trimmed();
    QString out;
    const bool date = !t.isEmpty() && isDatePattern(p) && t.compare(QLatin1String("General"), Qt::CaseInsensitive) != 0;
    if (t.isEmpty() || t.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0
        || t == QStringLiteral("G/通用格式") || t == QLatin1String("@"))
        out = generalNumberText(v);
    else if (date)
        out = formatDate(v, p);
    else
        out = formatNumberPattern(v, p);
    return chinese ? chineseDigits(out, chinese == 2, date) : out;
}

namespace {

// ---- the functions ------------------------------------------------------------------------------------------------

Val fSum(Ctx& c, const Node& call)
{
    double s = 0;
    Value err;
    if (!eachNumber(c, call, 0, err, [&](double d) { s += d; }))
        return Val(err);
    return numResult(s);
}

Val fProduct(Ctx& c, const Node& call)
{
    double s = 1;
    bool any = false;
    Value err;
    if (!eachNumber(c, call, 0, err, [&](double d) { s *= d, any = true; }))
        return Val(err);
    return numResult(any ? s : 0);
}

Val fSumSq(Ctx& c, const Node& call)
{
    double s = 0;
    Value err;
    if (!eachNumber(c, call, 0, err, [&](double d) { s += d * d; }))
        return Val(err);
    return numResult(s);
}

Val fAverage(Ctx& c, const Node& call)
{
    double s = 0;
    int n = 0;
    Value err;
    if (!eachNumber(c, call, 0, err, [&](double d) { s += d, ++n; }))
        return Val(err);
    return n ? numResult(s / n) : Val(ErrorValue::Div0);
}

Val fMin(Ctx& c, const Node& call)
{
    double m = INFINITY;
    Value err;
    if (!eachNumber(c, call, 0, err, [&](double d) { m = std::min(m, d); }))
        return Val(err);
    return Val(std::isinf(m) ? 0.0 : m);
}

Val fMax(Ctx& c, const Node& call)
{
    double m = -INFINITY;
    Value err;
    if (!eachNumber(c, call, 0, err, [&](double d) { m = std::max(m, d); }))
        return Val(err);
    return Val(std::isinf(m) ? 0.0 : m);
}

Val fCount(Ctx& c, const Node& call)
{
    double n = 0;
    for (int i = 0; i < argc(call); ++i) {
        if (call.kids[size_t(i)]->kind == Node::Missing)
            continue;
        eachValue(c, ev(c, call, i), [&](const Value& x, bool direct) {
            double d;
            if (x.index() == 1 || (direct && x.index() == 3)
                || (direct && x.index() == 2 && textToNumber(std::get<QString>(x), d)))
                ++n;
            return true;
        });
    }
    return Val(n);
}

Val fCountA(Ctx& c, const Node& call)
{
    double n = 0;
    for (int i = 0; i < argc(call); ++i) {
        if (call.kids[size_t(i)]->kind == Node::Missing)
            continue;
        eachValue(c, ev(c, call, i), [&](const Value&, bool) {
            ++n;
            return true;
        });
    }
    return Val(n);
}

Val fCountBlank(Ctx& c, const Node& call)
{
    const Val v = ev(c, call, 0);
    if (v.kind != Val::RefV)
        return Val(ErrorValue::Value);
    double filled = 0;
    eachCell(c.wb, v.sheet, v.r, [&](int, int, const Value& x) {
        if (!(x.index() == 2 && std::get<QString>(x).isEmpty()))
            ++filled;
        return true;
    });
    return Val(double(qint64(v.r.width()) * v.r.height()) - filled);
}

Val fMedian(Ctx& c, const Node& call)
{
    std::vector<double> xs;
    Value err;
    if (!numbers(c, call, 0, xs, err))
        return Val(err);
    if (xs.empty())
        return Val(ErrorValue::Num);
    std::sort(xs.begin(), xs.end());
    const size_t n = xs.size();
    return Val(n % 2 ? xs[n / 2] : (xs[n / 2 - 1] + xs[n / 2]) / 2);
}

Val variance(Ctx& c, const Node& call, bool sample, bool root)
{
    std::vector<double> xs;
    Value err;
    if (!numbers(c, call, 0, xs, err))
        return Val(err);
    const size_t n = xs.size();
    if (n < (sample ? 2u : 1u))
        return Val(ErrorValue::Div0);
    double mean = 0;
    for (double x : xs)
        mean += x;
    mean /= double(n);
    double ss = 0;
    for (double x : xs)
        ss += (x - mean) * (x - mean);
    const double var = ss / double(sample ? n - 1 : n);
    return numResult(root ? std::sqrt(var) : var);
}

Val fStdev(Ctx& c, const Node& call) { return variance(c, call, true, true); }
Val fStdevP(Ctx& c, const Node& call) { return variance(c, call, false, true); }
Val fVar(Ctx& c, const Node& call) { return variance(c, call, true, false); }
Val fVarP(Ctx& c, const Node& call) { return variance(c, call, false, false); }

Val kth(Ctx& c, const Node& call, bool largest)
{
    std::vector<double> xs;
    Value err;
    {
        const Val v = ev(c, call, 0);
        const bool ok = eachValue(c, v, [&](const Value& x, bool direct) {
            double d;
            ErrorValue e;
            if (x.index() == 1)
                xs.push_back(std::get<double>(x));
            else if (isError(x))
                return err = x, false;
            else if (direct && toNumber(x, d, e))
                xs.push_back(d);
            return true;
        });
        if (!ok)
            return Val(err);
    }
    double k;
    if (!num(c, call, 1, k, err))
        return Val(err);
    const qint64 ki = toInt(std::ceil(k));
    if (ki < 1 || ki > qint64(xs.size()))
        return Val(ErrorValue::Num);
    std::sort(xs.begin(), xs.end());
    return Val(largest ? xs[xs.size() - size_t(ki)] : xs[size_t(ki - 1)]);
}

Val fLarge(Ctx& c, const Node& call) { return kth(c, call, true); }

// The numbers of the first argument only (a range or array), as PERCENTILE and MODE take them.
bool firstArgNumbers(Ctx& c, const Node& call, std::vector<double>& xs, Value& err)
{
    const Val v = ev(c, call, 0);
    return eachValue(c, v, [&](const Value& x, bool direct) {
        double d;
        ErrorValue e;
        if (x.index() == 1)
            xs.push_back(std::get<double>(x));
        else if (isError(x))
            return err = x, false;
        else if (direct && toNumber(x, d, e))
            xs.push_back(d);
        return true;
    });
}

Val fMode(Ctx& c, const Node& call)
{
    std::vector<double> xs;
    Value err;
    if (!numbers(c, call, 0, xs, err))
        return Val(err);
    // the value seen most often; among equals the one that appears first
    double best = 0;
    int bestCount = 1;
    for (size_t i = 0; i < xs.size(); ++i) {
        int n = 0;
        for (size_t j = 0; j < xs.size(); ++j)
            n += xs[j] == xs[i];
        if (n > bestCount) {
            bestCount = n;
            best = xs[i];
        }
    }
    return bestCount > 1 ? Val(best) : Val(ErrorValue::NA);
}

// PERCENTILE(array, k) and QUARTILE(array, q): linear interpolation between the sorted values (inclusive form).
Val percentileOf(Ctx& c, const Node& call, double scale)
{
    std::vector<double> xs;
    Value err;
    double k;
    if (!firstArgNumbers(c, call, xs, err) || !num(c, call, 1, k, err))
        return Val(err);
    if (scale != 1)
        k = std::trunc(k);
    k /= scale;
    if (xs.empty() || k < 0 || k > 1)
        return Val(ErrorValue::Num);
    std::sort(xs.begin(), xs.end());
    const double pos = k * double(xs.size() - 1);
    const size_t lo = size_t(std::floor(pos));
    const double frac = pos - double(lo);
    if (lo + 1 >= xs.size())
        return Val(xs.back());
    return numResult(xs[lo] + frac * (xs[lo + 1] - xs[lo]));
}

Val fPercentile(Ctx& c, const Node& call) { return percentileOf(c, call, 1); }
Val fQuartile(Ctx& c, const Node& call) { return percentileOf(c, call, 4); }

// ---- distributions (representative values of compaction and strength use t and normal quantiles) ----

double betaContinuedFraction(double a, double b, double x)
{
    const double tiny = 1e-300;
    double qab = a + b, qap = a + 1, qam = a - 1;
    double cc = 1, d = 1 - qab * x / qap;
    if (std::fabs(d) < tiny)
        d = tiny;
    d = 1 / d;
    double h = d;
    for (int m = 1; m <= 300; ++m) {
        const int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1 + aa * d;
        if (std::fabs(d) < tiny)
            d = tiny;
        cc = 1 + aa / cc;
        if (std::fabs(cc) < tiny)
            cc = tiny;
        d = 1 / d;
        h *= d * cc;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1 + aa * d;
        if (std::fabs(d) < tiny)
            d = tiny;
        cc = 1 + aa / cc;
        if (std::fabs(cc) < tiny)
            cc = tiny;
        d = 1 / d;
        const double del = d * cc;
        h *= del;
        if (std::fabs(del - 1) < 1e-16)
            break;
    }
    return h;
}

// The regularized incomplete beta function I_x(a, b).
double incompleteBeta(double a, double b, double x)
{
    if (x <= 0)
        return 0;
    if (x >= 1)
        return 1;
    const double bt = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x)
                               + b * std::log(1 - x));
    if (x < (a + 1) / (a + b + 2))
        return bt * betaContinuedFraction(a, b, x) / a;
    return 1 - bt * betaContinuedFraction(b, a, 1 - x) / b;
}

// P(|T| > t) for Student's t with df degrees of freedom.
double tTwoTailed(double t, double df)
{
    return incompleteBeta(df / 2, 0.5, df / (df + t * t));
}

double normalCdf(double z)
{
    return 0.5 * std::erfc(-z / M_SQRT2);
}

// The z with normalCdf(z) = p (rational approximation, then two Newton steps).
double normalQuantile(double p)
{
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                               1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                               6.680131188771972e+01,  -1.328068155288572e+01};
    static const double cc[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    double x;
    if (p < 0.02425) {
        const double q = std::sqrt(-2 * std::log(p));
        x = (((((cc[0] * q + cc[1]) * q + cc[2]) * q + cc[3]) * q + cc[4]) * q + cc[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    } else if (p > 1 - 0.02425) {
        const double q = std::sqrt(-2 * std::log(1 - p));
        x = -(((((cc[0] * q + cc[1]) * q + cc[2]) * q + cc[3]) * q + cc[4]) * q + cc[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    } else {
        const double q = p - 0.5, r = q * q;
        x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q
            / (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
    }
    for (int i = 0; i < 2; ++i) {
        const double e = normalCdf(x) - p;
        const double u = e * std::sqrt(2 * M_PI) * std::exp(x * x / 2);
        x = x - u / (1 + x * u / 2);
    }
    return x;
}

Val fNormsDist(Ctx& c, const Node& call)
{
    double z;
    Value err;
    if (!num(c, call, 0, z, err))
        return Val(err);
    return numResult(normalCdf(z));
}

Val fNormsInv(Ctx& c, const Node& call)
{
    double p;
    Value err;
    if (!num(c, call, 0, p, err))
        return Val(err);
    if (p <= 0 || p >= 1)
        return Val(ErrorValue::Num);
    return numResult(normalQuantile(p));
}

Val fNormDist(Ctx& c, const Node& call)
{
    double x, mean, sd;
    bool cumulative = true;
    Value err;
    if (!num(c, call, 0, x, err) || !num(c, call, 1, mean, err) || !num(c, call, 2, sd, err)
        || !truth(sv(c, call, 3), cumulative, err))
        return Val(err);
    if (sd <= 0)
        return Val(ErrorValue::Num);
    const double z = (x - mean) / sd;
    if (cumulative)
        return numResult(normalCdf(z));
    return numResult(std::exp(-z * z / 2) / (sd * std::sqrt(2 * M_PI)));
}

Val fNormInv(Ctx& c, const Node& call)
{
    double p, mean, sd;
    Value err;
    if (!num(c, call, 0, p, err) || !num(c, call, 1, mean, err) || !num(c, call, 2, sd, err))
        return Val(err);
    if (p <= 0 || p >= 1 || sd <= 0)
        return Val(ErrorValue::Num);
    return numResult(mean + sd * normalQuantile(p));
}

// TINV(p, df) / T.INV.2T: the t with P(|T| > t) = p.
Val fTInv(Ctx& c, const Node& call)
{
    double p, df;
    Value err;
    if (!num(c, call, 0, p, err) || !num(c, call, 1, df, err))
        return Val(err);
    df = std::trunc(df);
    if (p <= 0 || p > 1 || df < 1 || df > 1e10)
        return Val(ErrorValue::Num);
    double lo = 0, hi = 1;
    while (tTwoTailed(hi, df) > p && hi < 1e300)
        hi *= 2;
    for (int i = 0; i < 200 && hi - lo > 1e-15 * hi; ++i) {
        const double mid = (lo + hi) / 2;
        (tTwoTailed(mid, df) > p ? lo : hi) = mid;
    }
    return numResult((lo + hi) / 2);
}

// TDIST(x, df, tails) and T.DIST.2T(x, df)
Val fTDist(Ctx& c, const Node& call)
{
    double x, df, tails;
    Value err;
    if (!num(c, call, 0, x, err) || !num(c, call, 1, df, err) || !numOr(c, call, 2, 2, tails, err))
        return Val(err);
    df = std::trunc(df);
    tails = std::trunc(tails);
    if (x < 0 || df < 1 || (tails != 1 && tails != 2))
        return Val(ErrorValue::Num);
    const double two = tTwoTailed(x, df);
    return numResult(tails == 2 ? two : two / 2);
}
Val fSmall(Ctx& c, const Node& call) { return kth(c, call, false); }

Val fRank(Ctx& c, const Node& call)
{
    double x, order;
    Value err;
    if (!num(c, call, 0, x, err) || !numOr(c, call, 2, 0, order, err))
        return Val(err);
    const Val v = ev(c, call, 1);
    if (v.kind != Val::RefV)
        return Val(ErrorValue::Value);
    int better = 0;
    bool found = false;
    const bool ok = eachValue(c, v, [&](const Value& y, bool) {
        if (isError(y))
            return err = y, false;
        if (y.index() != 1)
            return true;
        const double d = std::get<double>(y);
        if (roundTo15(d) == roundTo15(x))
            found = true;
        else if (order == 0 ? d > x : d < x)
            ++better;
        return true;
    });
    if (!ok)
        return Val(err);
    return found ? Val(double(better + 1)) : Val(ErrorValue::NA);
}

Val fSumProduct(Ctx& c, const Node& call)
{
    std::vector<Grid> gs;
    for (int i = 0; i < argc(call); ++i) {
        const Val v = ev(c, call, i);
        if (v.kind == Val::Scalar && isError(v.v))
            return v;
        gs.push_back(gridOf(c, v));
        if (gs.back().rows() != gs[0].rows() || gs.back().cols() != gs[0].cols())
            return Val(ErrorValue::Value);
    }
    double s = 0;
    for (int r = 0; r < gs[0].rows(); ++r)
        for (int k = 0; k < gs[0].cols(); ++k) {
            double p = 1;
            for (const Grid& g : gs) {
                const Value x = g.at(r, k);
                if (isError(x))
                    return Val(x);
                // booleans from comparisons count, as in SUMPRODUCT((A1:A9>3)*(B1:B9)); other non-numbers are 0
                p *= x.index() == 1 ? std::get<double>(x) : 0.0;
            }
            s += p;
        }
    return numResult(s);
}

Val roundFamily(Ctx& c, const Node& call, int mode)
{
    double x, d;
    Value err;
    if (!num(c, call, 0, x, err) || !numOr(c, call, 1, 0, d, err))
        return Val(err);
    return numResult(excelRound(x, toInt(d), mode));
}

Val fRound(Ctx& c, const Node& call) { return roundFamily(c, call, 0); }
Val fRoundUp(Ctx& c, const Node& call) { return roundFamily(c, call, 1); }
Val fRoundDown(Ctx& c, const Node& call) { return roundFamily(c, call, -1); }
Val fTrunc(Ctx& c, const Node& call) { return roundFamily(c, call, -1); }

template <double (*F)(double)>
Val unaryMath(Ctx& c, const Node& call)
{
    double x;
    Value err;
    if (!num(c, call, 0, x, err))
        return Val(err);
    return numResult(F(x));
}

double intOf(double x) { return std::floor(roundTo15(x)); }
double absOf(double x) { return std::fabs(x); }
double signOf(double x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }
double expOf(double x) { return std::exp(x); }

Val fSqrt(Ctx& c, const Node& call)
{
    double x;
    Value err;
    if (!num(c, call, 0, x, err))
        return Val(err);
    return x < 0 ? Val(ErrorValue::Num) : numResult(std::sqrt(x));
}

Val fLn(Ctx& c, const Node& call)
{
    double x;
    Value err;
    if (!num(c, call, 0, x, err))
        return Val(err);
    return x <= 0 ? Val(ErrorValue::Num) : numResult(std::log(x));
}

Val fLog(Ctx& c, const Node& call)
{
    double x, b;
    Value err;
    if (!num(c, call, 0, x, err) || !numOr(c, call, 1, 10, b, err))
        return Val(err);
    if (x <= 0 || b <= 0)
        return Val(ErrorValue::Num);
    if (b == 1)
        return Val(ErrorValue::Div0);
    return numResult(std::log(x) / std::log(b));
}

Val fLog10(Ctx& c, const Node& call)
{
    double x;
    Value err;
    if (!num(c, call, 0, x, err))
        return Val(err);
    return x <= 0 ? Val(ErrorValue::Num) : numResult(std::log10(x));
}

Val fPower(Ctx& c, const Node& call)
{
    double x, y;
    Value err;
    if (!num(c, call, 0, x, err) || !num(c, call, 1, y, err))
        return Val(err);
    if (x == 0 && y == 0)
        return Val(ErrorValue::Num);
    if (x == 0 && y < 0)
        return Val(ErrorValue::Div0);
    return numResult(std::pow(x, y));
}

Val fMod(Ctx& c, const Node& call)
{
    double x, y;
    Value err;
    if (!num(c, call, 0, x, err) || !num(c, call, 1, y, err))
        return Val(err);
    if (y == 0)
        return Val(ErrorValue::Div0);
    double r = x - y * std::floor(x / y);
    if (std::fabs(r - y) < std::fabs(y) * 1e-15)
        r = 0;
    return numResult(roundTo15(r));
}

Val fPi(Ctx&, const Node&) { return Val(M_PI); }

Val fRand(Ctx&, const Node&) { return Val(QRandomGenerator::global()->generateDouble()); }

Val ceilFloor(Ctx& c, const Node& call, bool up)
{
    double x, s;
    Value err;
    if (!num(c, call, 0, x, err) || !numOr(c, call, 1, x < 0 ? -1 : 1, s, err))
        return Val(err);
    if (s == 0)
        return Val(up ? 0.0 : 0.0);
    if (x > 0 && s < 0)
        return Val(ErrorValue::Num);
    const double q = roundTo15(x / s);
    return numResult((up ? std::ceil(q) : std::floor(q)) * s);
}

Val fCeiling(Ctx& c, const Node& call) { return ceilFloor(c, call, true); }
Val fFloor(Ctx& c, const Node& call) { return ceilFloor(c, call, false); }

Val fSumIf(Ctx& c, const Node& call) { return ifFamily(c, call, 0, false); }
Val fAverageIf(Ctx& c, const Node& call) { return ifFamily(c, call, 1, false); }
Val fCountIf(Ctx& c, const Node& call) { return ifFamily(c, call, 2, false); }
Val fSumIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 0, true); }
Val fAverageIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 1, true); }
Val fCountIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 2, true); }
Val fMaxIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 3, true); }
Val fMinIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 4, true); }

// ---- logic ----

Val fIf(Ctx& c, const Node& call)
{
    bool t;
    Value err;
    if (!truth(sv(c, call, 0), t, err))
        return Val(err);
    if (t)
        return given(call, 1) ? ev(c, call, 1) : Val(argc(call) > 1 ? Value(0.0) : Value(true));
    if (argc(call) < 3)
        return Val(false);
    return given(call, 2) ? ev(c, call, 2) : Val(0.0);
}

Val fIfError(Ctx& c, const Node& call)
{
    const Val v = ev(c, call, 0);
    const Value s = scalarOf(c, v);
    if (isError(s))
        return given(call, 1) ? ev(c, call, 1) : Val(0.0);
    return v;
}

Val fIfNa(Ctx& c, const Node& call)
{
    const Val v = ev(c, call, 0);
    const Value s = scalarOf(c, v);
    if (isError(s) && std::get<ErrorValue>(s) == ErrorValue::NA)
        return given(call, 1) ? ev(c, call, 1) : Val(0.0);
    return v;
}

// AND / OR / XOR: mode 0, 1, 2
Val logical(Ctx& c, const Node& call, int mode)
{
    int seen = 0, trues = 0;
    Value err;
    for (int i = 0; i < argc(call); ++i) {
        const bool ok = eachValue(c, ev(c, call, i), [&](const Value& x, bool direct) {
            bool b;
            if (isError(x))
                return err = x, false;
            if (x.index() == 2 && !direct)
                return true;
            if (!truth(x, b, err))
                return false;
            ++seen;
            trues += b;
            return true;
        });
        if (!ok)
            return Val(err);
    }
    if (!seen)
        return Val(ErrorValue::Value);
    if (mode == 0)
        return Val(trues == seen);
    if (mode == 1)
        return Val(trues > 0);
    return Val(trues % 2 == 1);
}

Val fAnd(Ctx& c, const Node& call) { return logical(c, call, 0); }
Val fOr(Ctx& c, const Node& call) { return logical(c, call, 1); }
Val fXor(Ctx& c, const Node& call) { return logical(c, call, 2); }

Val fNot(Ctx& c, const Node& call)
{
    bool b;
    Value err;
    if (!truth(sv(c, call, 0), b, err))
        return Val(err);
    return Val(!b);
}

Val fTrue(Ctx&, const Node&) { return Val(true); }
Val fFalse(Ctx&, const Node&) { return Val(false); }
Val fNa(Ctx&, const Node&) { return Val(ErrorValue::NA); }

Val isKind(Ctx& c, const Node& call, int what)
{
    const Value v = sv(c, call, 0);
    switch (what) {
    case 0: return Val(isEmpty(v));
    case 1: return Val(v.index() == 1);
    case 2: return Val(v.index() == 2);
    case 3: return Val(isError(v));
    case 4: return Val(isError(v) && std::get<ErrorValue>(v) != ErrorValue::NA);
    case 5: return Val(isError(v) && std::get<ErrorValue>(v) == ErrorValue::NA);
    default: return Val(v.index() == 3);
    }
}

Val fIsBlank(Ctx& c, const Node& call) { return isKind(c, call, 0); }
Val fIsNumber(Ctx& c, const Node& call) { return isKind(c, call, 1); }
Val fIsText(Ctx& c, const Node& call) { return isKind(c, call, 2); }
Val fIsError(Ctx& c, const Node& call) { return isKind(c, call, 3); }
Val fIsErr(Ctx& c, const Node& call) { return isKind(c, call, 4); }
Val fIsNa(Ctx& c, const Node& call) { return isKind(c, call, 5); }
Val fIsLogical(Ctx& c, const Node& call) { return isKind(c, call, 6); }

// ---- text ----

Val fLeftRight(Ctx& c, const Node& call, bool left)
{
    QString s;
    double n;
    Value err;
    if (!text(c, call, 0, s, err) || !numOr(c, call, 1, 1, n, err))
        return Val(err);
    if (n < 0)
        return Val(ErrorValue::Value);
    const qsizetype k = qsizetype(std::min<double>(std::trunc(n), double(s.size())));
    return Val(left ? s.left(k) : s.right(k));
}

Val fLeft(Ctx& c, const Node& call) { return fLeftRight(c, call, true); }
Val fRight(Ctx& c, const Node& call) { return fLeftRight(c, call, false); }

Val fMid(Ctx& c, const Node& call)
{
    QString s;
    double start, n;
    Value err;
    if (!text(c, call, 0, s, err) || !num(c, call, 1, start, err) || !num(c, call, 2, n, err))
        return Val(err);
    if (start < 1 || n < 0)
        return Val(ErrorValue::Value);
    if (start > double(s.size()))
        return Val(QString());
    return Val(s.mid(qsizetype(start) - 1, qsizetype(std::min<double>(n, double(s.size())))));
}

Val fLen(Ctx& c, const Node& call)
{
    QString s;
    Value err;
    if (!text(c, call, 0, s, err))
        return Val(err);
    return Val(double(s.size()));
}

Val fTrim(Ctx& c, const Node& call)
{
    QString s;
    Value err;
    if (!text(c, call, 0, s, err))
        return Val(err);
    // leading and trailing blanks go, runs of blanks inside become one
    QString out;
    bool blank = false;
    for (QChar ch : s) {
        if (ch == QLatin1Char(' ')) {
            blank = true;
            continue;
        }
        if (blank && !out.isEmpty())
            out += QLatin1Char(' ');
        blank = false;
        out += ch;
    }
    return Val(out);
}

Val fConcatenate(Ctx& c, const Node& call)
{
    QString out;
    Value err;
    for (int i = 0; i < argc(call); ++i) {
        const Val v = ev(c, call, i);
        if (v.kind == Val::Scalar || (v.kind == Val::RefV && v.r.width() == 1 && v.r.height() == 1)) {
            const Value x = scalarOf(c, v);
            if (isError(x))
                return Val(x);
            out += valueText(x);
            continue;
        }
        // CONCAT over a range joins its cells in reading order
        const Grid g = gridOf(c, v);
        for (int r = 0; r < g.rows(); ++r)
            for (int k = 0; k < g.cols(); ++k) {
                const Value x = g.at(r, k);
                if (isError(x))
                    return Val(x);
                out += valueText(x);
                if (out.size() > MaxTextLength)
                    return Val(ErrorValue::Value);
            }
    }
    if (out.size() > MaxTextLength)
        return Val(ErrorValue::Value);
    return Val(out);
}

Val fText(Ctx& c, const Node& call)
{
    const Value v = sv(c, call, 0);
    QString pat;
    Value err;
    if (isError(v))
        return Val(v);
    if (!text(c, call, 1, pat, err))
        return Val(err);
    if (v.index() == 3)   // truth values are not numbers to TEXT
        return Val(valueText(v));
    double d;
    ErrorValue e;
    if (v.index() == 2 && !textToNumber(std::get<QString>(v), d))
        return Val(pat.contains(QLatin1Char('@')) ? QString(pat).replace(QLatin1Char('@'), std::get<QString>(v))
                                                  : std::get<QString>(v));
    if (!toNumber(v, d, e))
        return Val(e);
    return Val(formatWithPattern(d, pat));
}

Val fValue(Ctx& c, const Node& call)
{
    const Value v = sv(c, call, 0);
    if (isError(v))
        return Val(v);
    if (v.index() == 1)
        return Val(v);
    if (v.index() == 0)
        return Val(0.0);
    double d;
    if (v.index() == 2 && textToNumber(std::get<QString>(v), d))
        return Val(d);
    return Val(ErrorValue::Value);
}

Val caseOf(Ctx& c, const Node& call, int mode)
{
    QString s;
    Value err;
    if (!text(c, call, 0, s, err))
        return Val(err);
    if (mode == 0)
        return Val(s.toUpper());
    if (mode == 1)
        return Val(s.toLower());
    QString out = s.toLower();
    bool start = true;
    for (QChar& ch : out) {
        if (ch.isLetter()) {
            if (start)
                ch = ch.toUpper();
            start = false;
        } else {
            start = true;
        }
    }
    return Val(out);
}

Val fUpper(Ctx& c, const Node& call) { return caseOf(c, call, 0); }
Val fLower(Ctx& c, const Node& call) { return caseOf(c, call, 1); }
Val fProper(Ctx& c, const Node& call) { return caseOf(c, call, 2); }

Val findOf(Ctx& c, const Node& call, bool search)
{
    QString needle, hay;
    double start;
    Value err;
    if (!text(c, call, 0, needle, err) || !text(c, call, 1, hay, err) || !numOr(c, call, 2, 1, start, err))
        return Val(err);
    if (start < 1 || start > double(hay.size()) + 1)
        return Val(ErrorValue::Value);
    const qsizetype from = qsizetype(start) - 1;
    if (search && hasWildcard(needle)) {
        // * any run, ? one character, ~ takes the next literally: the leftmost match
        QString pattern;
        for (qsizetype i = 0; i < needle.size(); ++i) {
            const QChar ch = needle[i];
            if (ch == QLatin1Char('~') && i + 1 < needle.size())
                pattern += QRegularExpression::escape(QString(needle[++i]));
            else if (ch == QLatin1Char('*'))
                pattern += QLatin1String(".*?");
            else if (ch == QLatin1Char('?'))
                pattern += QLatin1Char('.');
            else
                pattern += QRegularExpression::escape(QString(ch));
        }
        const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption
                                                 | QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = re.match(hay, from);
        return m.hasMatch() ? Val(double(m.capturedStart() + 1)) : Val(ErrorValue::Value);
    }
    const qsizetype at = hay.indexOf(needle, from, search ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return at < 0 ? Val(ErrorValue::Value) : Val(double(at + 1));
}

Val fFind(Ctx& c, const Node& call) { return findOf(c, call, false); }
Val fSearch(Ctx& c, const Node& call) { return findOf(c, call, true); }

Val fSubstitute(Ctx& c, const Node& call)
{
    QString s, from, to;
    double which = 0;
    Value err;
    if (!text(c, call, 0, s, err) || !text(c, call, 1, from, err) || !text(c, call, 2, to, err)
        || !numOr(c, call, 3, 0, which, err))
        return Val(err);
    if (from.isEmpty())
        return Val(s);
    if (!given(call, 3)) {
        s.replace(from, to);
        return s.size() > MaxTextLength ? Val(ErrorValue::Value) : Val(s);
    }
    if (which < 1)
        return Val(ErrorValue::Value);
    qsizetype at = -1;
    for (int k = 0; k < toInt(which); ++k) {
        at = s.indexOf(from, at + 1);
        if (at < 0)
            return Val(s);
    }
    return Val(s.replace(at, from.size(), to));
}

Val fReplace(Ctx& c, const Node& call)
{
    QString s, with;
    double start, n;
    Value err;
    if (!text(c, call, 0, s, err) || !num(c, call, 1, start, err) || !num(c, call, 2, n, err)
        || !text(c, call, 3, with, err))
        return Val(err);
    if (start < 1 || n < 0)
        return Val(ErrorValue::Value);
    const qsizetype at = std::min<qsizetype>(toInt(start) - 1, s.size());
    return Val(s.replace(at, qsizetype(std::min<double>(n, double(s.size()))), with));
}

Val fRept(Ctx& c, const Node& call)
{
    QString s;
    double n;
    Value err;
    if (!text(c, call, 0, s, err) || !num(c, call, 1, n, err))
        return Val(err);
    if (n < 0 || double(s.size()) * n > double(MaxTextLength))
        return Val(ErrorValue::Value);
    return Val(s.repeated(qsizetype(n)));
}

Val fExact(Ctx& c, const Node& call)
{
    QString a, b;
    Value err;
    if (!text(c, call, 0, a, err) || !text(c, call, 1, b, err))
        return Val(err);
    return Val(a == b);
}

Val fChar(Ctx& c, const Node& call)
{
    double n;
    Value err;
    if (!num(c, call, 0, n, err))
        return Val(err);
    if (n < 1 || n > 65535)
        return Val(ErrorValue::Value);
    return Val(QString(QChar(char16_t(n))));
}

Val fCode(Ctx& c, const Node& call)
{
    QString s;
    Value err;
    if (!text(c, call, 0, s, err))
        return Val(err);
    if (s.isEmpty())
        return Val(ErrorValue::Value);
    return Val(double(s[0].unicode()));
}

// ---- dates ----

Val fToday(Ctx&, const Node&)
{
    const QDate d = QDate::currentDate();
    return Val(dateToSerial(d.year(), d.month(), d.day()));
}

Val fNow(Ctx&, const Node&)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    return Val(dateToSerial(d.year(), d.month(), d.day()) + now.time().msecsSinceStartOfDay() / 86400000.0);
}

Val fDate(Ctx& c, const Node& call)
{
    double y, m, d;
    Value err;
    if (!num(c, call, 0, y, err) || !num(c, call, 1, m, err) || !num(c, call, 2, d, err))
        return Val(err);
    int yi = toInt(y);
    if (yi >= 0 && yi < 1900)
        yi += 1900;
    if (yi < 1900 || yi > 9999 || std::fabs(m) > 1e6 || std::fabs(d) > 1e8)
        return Val(ErrorValue::Num);
    const double s = dateToSerial(yi, toInt(m), toInt(d));
    if (!std::isfinite(s) || s < 0)
        return Val(ErrorValue::Num);
    return Val(s);
}

Val datePart(Ctx& c, const Node& call, int part)
{
    double s;
    Value err;
    if (!num(c, call, 0, s, err))
        return Val(err);
    int y, m, d;
    if (!serialToDate(s, y, m, d))
        return Val(ErrorValue::Num);
    switch (part) {
    case 0: return Val(double(y));
    case 1: return Val(double(m));
    case 2: return Val(double(d));
    default: break;
    }
    const int secs = int(std::floor((s - std::floor(s)) * 86400.0 + 0.5)) % 86400;
    if (part == 3)
        return Val(double(secs / 3600));
    if (part == 4)
        return Val(double((secs / 60) % 60));
    return Val(double(secs % 60));
}

Val fYear(Ctx& c, const Node& call) { return datePart(c, call, 0); }
Val fMonth(Ctx& c, const Node& call) { return datePart(c, call, 1); }
Val fDay(Ctx& c, const Node& call) { return datePart(c, call, 2); }
Val fHour(Ctx& c, const Node& call) { return datePart(c, call, 3); }
Val fMinute(Ctx& c, const Node& call) { return datePart(c, call, 4); }
Val fSecond(Ctx& c, const Node& call) { return datePart(c, call, 5); }

Val fTime(Ctx& c, const Node& call)
{
    double h, m, s;
    Value err;
    if (!num(c, call, 0, h, err) || !num(c, call, 1, m, err) || !num(c, call, 2, s, err))
        return Val(err);
    const double secs = std::trunc(h) * 3600 + std::trunc(m) * 60 + std::trunc(s);
    if (secs < 0)
        return Val(ErrorValue::Num);
    return Val(std::fmod(secs, 86400.0) / 86400.0);
}

Val fWeekday(Ctx& c, const Node& call)
{
    double s, type;
    Value err;
    if (!num(c, call, 0, s, err) || !numOr(c, call, 1, 1, type, err))
        return Val(err);
    int y, m, d;
    if (!serialToDate(s, y, m, d))
        return Val(ErrorValue::Num);
    const int iso = QDate(y, m, d).dayOfWeek();   // 1 Monday .. 7 Sunday
    switch (toInt(type)) {
    case 1: return Val(double(iso % 7 + 1));
    case 2: return Val(double(iso));
    case 3: return Val(double(iso - 1));
    default: return Val(ErrorValue::Num);
    }
}

Val fDays(Ctx& c, const Node& call)
{
    double a, b;
    Value err;
    if (!num(c, call, 0, a, err) || !num(c, call, 1, b, err))
        return Val(err);
    return Val(std::trunc(a) - std::trunc(b));
}

Val fDatedif(Ctx& c, const Node& call)
{
    double a, b;
    QString unit;
    Value err;
    if (!num(c, call, 0, a, err) || !num(c, call, 1, b, err) || !text(c, call, 2, unit, err))
        return Val(err);
    int y1, m1, d1, y2, m2, d2;
    if (a > b || !serialToDate(a, y1, m1, d1) || !serialToDate(b, y2, m2, d2))
        return Val(ErrorValue::Num);
    unit = unit.toUpper();
    int months = (y2 - y1) * 12 + (m2 - m1) - (d2 < d1 ? 1 : 0);
    if (unit == QLatin1String("Y"))
        return Val(double(months / 12));
    if (unit == QLatin1String("M"))
        return Val(double(months));
    if (unit == QLatin1String("D"))
        return Val(std::floor(b) - std::floor(a));
    if (unit == QLatin1String("YM"))
        return Val(double(months % 12));
    if (unit == QLatin1String("MD")) {
        const QDate from(y1, m1, d1), to(y2, m2, d2);
        QDate anchor = from.addMonths(months);
        return Val(double(anchor.daysTo(to)));
    }
    if (unit == QLatin1String("YD")) {
        const QDate from(y1, m1, d1), to(y2, m2, d2);
        QDate anchor = from.addYears(months / 12);
        return Val(double(anchor.daysTo(to)));
    }
    return Val(ErrorValue::Num);
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

Val fN(Ctx& c, const Node& call)
{
    const Value v = sv(c, call, 0);
    if (isError(v))
        return Val(v);
    if (v.index() == 1)
        return Val(v);
    if (v.index() == 3)
        return Val(std::get<bool>(v) ? 1.0 : 0.0);
    return Val(0.0);
}

const FnDef kFunctions[] = {
    {"ABS", unaryMath<absOf>, 1, 1, false, true},
    {"AND", fAnd, 1, -1, false, false},
    {"AVERAGE", fAverage, 1, -1, false, false},
    {"AVERAGEIF", fAverageIf, 2, 3, false, false},
    {"AVERAGEIFS", fAverageIfs, 3, -1, false, false},
    {"CEILING", fCeiling, 1, 2, false, false},
    {"CHAR", fChar, 1, 1, false, false},
    {"CHOOSE", fChoose, 2, -1, false, false},
    {"CODE", fCode, 1, 1, false, false},
    {"COLUMN", fColumn, 0, 1, false, false},
    {"COLUMNS", fColumns, 1, 1, false, false},
    {"CONCAT", fConcatenate, 1, -1, false, false},
    {"CONCATENATE", fConcatenate, 1, -1, false, false},
    {"COUNT", fCount, 1, -1, false, false},
    {"COUNTA", fCountA, 1, -1, false, false},
    {"COUNTBLANK", fCountBlank, 1, 1, false, false},
    {"COUNTIF", fCountIf, 2, 2, false, false},
    {"COUNTIFS", fCountIfs, 2, -1, false, false},
    {"DATE", fDate, 3, 3, false, true},
    {"DATEDIF", fDatedif, 3, 3, false, false},
    {"DAY", fDay, 1, 1, false, true},
    {"DAYS", fDays, 2, 2, false, false},
    {"EXACT", fExact, 2, 2, false, true},
    {"EXP", unaryMath<expOf>, 1, 1, false, true},
    {"FALSE", fFalse, 0, 0, false, false},
    {"FIND", fFind, 2, 3, false, true},
    {"FLOOR", fFloor, 1, 2, false, false},
    {"HLOOKUP", fHlookup, 3, 4, false, false},
    {"HOUR", fHour, 1, 1, false, true},
    {"IF", fIf, 2, 3, false, true},
    {"IFERROR", fIfError, 2, 2, false, true},
    {"IFNA", fIfNa, 2, 2, false, true},
    {"INDEX", fIndex, 2, 3, false, false},
    {"INDIRECT", fIndirect, 1, 2, true, false},
    {"INT", unaryMath<intOf>, 1, 1, false, true},
    {"ISBLANK", fIsBlank, 1, 1, false, true},
    {"ISERR", fIsErr, 1, 1, false, true},
    {"ISERROR", fIsError, 1, 1, false, true},
    {"ISLOGICAL", fIsLogical, 1, 1, false, true},
    {"ISNA", fIsNa, 1, 1, false, true},
    {"ISNUMBER", fIsNumber, 1, 1, false, true},
    {"ISTEXT", fIsText, 1, 1, false, true},
    {"LARGE", fLarge, 2, 2, false, false},
    {"LEFT", fLeft, 1, 2, false, true},
    {"LEN", fLen, 1, 1, false, true},
    {"LN", fLn, 1, 1, false, true},
    {"LOG", fLog, 1, 2, false, true},
    {"LOG10", fLog10, 1, 1, false, true},
    {"LOOKUP", fLookup, 2, 3, false, false},
    {"LOWER", fLower, 1, 1, false, true},
    {"MATCH", fMatch, 2, 3, false, false},
    {"MAX", fMax, 1, -1, false, false},
    {"MAXIFS", fMaxIfs, 3, -1, false, false},
    {"MEDIAN", fMedian, 1, -1, false, false},
    {"MID", fMid, 3, 3, false, true},
    {"MIN", fMin, 1, -1, false, false},
    {"MINIFS", fMinIfs, 3, -1, false, false},
    {"MINUTE", fMinute, 1, 1, false, true},
    {"MOD", fMod, 2, 2, false, true},
    {"MONTH", fMonth, 1, 1, false, true},
    {"N", fN, 1, 1, false, true},
    {"NA", fNa, 0, 0, false, false},
    {"NOT", fNot, 1, 1, false, true},
    {"NOW", fNow, 0, 0, true, false},
    {"OFFSET", fOffset, 3, 5, true, false},
    {"OR", fOr, 1, -1, false, false},
    {"PI", fPi, 0, 0, false, false},
    {"POWER", fPower, 2, 2, false, true},
    {"PRODUCT", fProduct, 1, -1, false, false},
    {"PROPER", fProper, 1, 1, false, true},
    {"RAND", fRand, 0, 0, true, false},
    {"RANK", fRank, 2, 3, false, false},
    {"RANK.EQ", fRank, 2, 3, false, false},
    {"REPLACE", fReplace, 4, 4, false, false},
    {"REPT", fRept, 2, 2, false, true},
    {"RIGHT", fRight, 1, 2, false, true},
    {"ROUND", fRound, 2, 2, false, true},
    {"ROUNDDOWN", fRoundDown, 2, 2, false, true},
    {"ROUNDUP", fRoundUp, 2, 2, false, true},
    {"ROW", fRow, 0, 1, false, false},
    {"ROWS", fRows, 1, 1, false, false},
    {"SEARCH", fSearch, 2, 3, false, true},
    {"SECOND", fSecond, 1, 1, false, true},
    {"SIGN", unaryMath<signOf>, 1, 1, false, true},
    {"SMALL", fSmall, 2, 2, false, false},
    {"SQRT", fSqrt, 1, 1, false, true},
    {"STDEV", fStdev, 1, -1, false, false},
    {"STDEV.P", fStdevP, 1, -1, false, false},
    {"STDEV.S", fStdev, 1, -1, false, false},
    {"STDEVP", fStdevP, 1, -1, false, false},
    {"SUBSTITUTE", fSubstitute, 3, 4, false, true},
    {"SUM", fSum, 1, -1, false, false},
    {"SUMIF", fSumIf, 2, 3, false, false},
    {"SUMIFS", fSumIfs, 3, -1, false, false},
    {"SUMPRODUCT", fSumProduct, 1, -1, false, false},
    {"SUMSQ", fSumSq, 1, -1, false, false},
    {"TEXT", fText, 2, 2, false, true},
    {"TIME", fTime, 3, 3, false, false},
    {"TODAY", fToday, 0, 0, true, false},
    {"TRIM", fTrim, 1, 1, false, true},
    {"TRUE", fTrue, 0, 0, false, false},
    {"TRUNC", fTrunc, 1, 2, false, true},
    {"UPPER", fUpper, 1, 1, false, true},
    {"VALUE", fValue, 1, 1, false, true},
    {"VAR", fVar, 1, -1, false, false},
    {"VARP", fVarP, 1, -1, false, false},
    {"VLOOKUP", fVlookup, 3, 4, false, false},
    {"WEEKDAY", fWeekday, 1, 2, false, true},
    {"XOR", fXor, 1, -1, false, false},
    {"YEAR", fYear, 1, 1, false, true},
    {"MODE", fMode, 1, -1, false, false},
    {"MODE.SNGL", fMode, 1, -1, false, false},
    {"NORMDIST", fNormDist, 4, 4, false, false},
    {"NORM.DIST", fNormDist, 4, 4, false, false},
    {"NORMINV", fNormInv, 3, 3, false, false},
    {"NORM.INV", fNormInv, 3, 3, false, false},
    {"NORMSDIST", fNormsDist, 1, 1, false, true},
    {"NORMSINV", fNormsInv, 1, 1, false, true},
    {"NORM.S.INV", fNormsInv, 1, 1, false, true},
    {"PERCENTILE", fPercentile, 2, 2, false, false},
    {"PERCENTILE.INC", fPercentile, 2, 2, false, false},
    {"QUARTILE", fQuartile, 2, 2, false, false},
    {"QUARTILE.INC", fQuartile, 2, 2, false, false},
    {"T.DIST.2T", fTDist, 2, 2, false, false},
    {"T.INV.2T", fTInv, 2, 2, false, false},
    {"TDIST", fTDist, 3, 3, false, false},
    {"TINV", fTInv, 2, 2, false, false},
};

} // namespace

const FnDef* findFunction(const QString& upperName)
{
    static const QHash<QString, const FnDef*> table = [] {
        QHash<QString, const FnDef*> t;
        for (const FnDef& f : kFunctions)
            t.insert(QString::fromLatin1(f.name), &f);
        return t;
    }();
    return table.value(upperName, nullptr);
}

} // namespace cell::formula
