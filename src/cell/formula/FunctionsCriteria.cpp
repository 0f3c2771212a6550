// Functions over the cells that meet criteria (">=90", "<>", "合格*"): SUMIF, COUNTIF, AVERAGEIF and their *IFS
// forms, MAXIFS, MINIFS.

#include "cell/formula/FunctionSupport.h"

namespace cell::formula::fn {

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

namespace {

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

Val fSumIf(Ctx& c, const Node& call) { return ifFamily(c, call, 0, false); }
Val fAverageIf(Ctx& c, const Node& call) { return ifFamily(c, call, 1, false); }
Val fCountIf(Ctx& c, const Node& call) { return ifFamily(c, call, 2, false); }
Val fSumIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 0, true); }
Val fAverageIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 1, true); }
Val fCountIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 2, true); }
Val fMaxIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 3, true); }
Val fMinIfs(Ctx& c, const Node& call) { return ifFamily(c, call, 4, true); }

const FnDef kTable[] = {
    {"AVERAGEIF", fAverageIf, 2, 3, false, false},
    {"AVERAGEIFS", fAverageIfs, 3, -1, false, false},
    {"COUNTIF", fCountIf, 2, 2, false, false},
    {"COUNTIFS", fCountIfs, 2, -1, false, false},
    {"MAXIFS", fMaxIfs, 3, -1, false, false},
    {"MINIFS", fMinIfs, 3, -1, false, false},
    {"SUMIF", fSumIf, 2, 3, false, false},
    {"SUMIFS", fSumIfs, 3, -1, false, false},
};

} // namespace

std::span<const FnDef> criteriaFunctions()
{
    return kTable;
}

} // namespace cell::formula::fn
