// Evaluation of a formula tree: operators, references, arrays and the coercions between numbers, texts and truth
// values as the common spreadsheet programs do them.

#include "cell/formula/Ast.h"
#include "cell/formula/FormulaEngine.h"

#include <QDate>
#include <QLocale>
#include <QVarLengthArray>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cell::formula {

const Value& cellValue(const Workbook& wb, int sheet, int col, int row)
{
    static const Value empty;
    if (sheet < 0 || sheet >= wb.sheets.size())
        return empty;
    const Cell* c = wb.sheets.at(sheet).cellAt(col, row);
    return c ? c->value : empty;
}

double roundTo15(double v)
{
    if (v == 0 || !std::isfinite(v))
        return v;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    return std::strtod(buf, nullptr);
}

double excelRound(double v, int digits, int mode)
{
    if (!std::isfinite(v) || v == 0)
        return v;
    if (digits > 300)
        return v;
    if (digits < -300)
        return 0;
    const double scale = std::pow(10.0, std::abs(digits));
    double x = digits >= 0 ? double((long double)v * scale) : double((long double)v / scale);
    if (!std::isfinite(x) || std::fabs(x) >= 1e15)
        return v;
    x = roundTo15(x);
    double r;
    if (mode == 0)
        r = x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5);
    else if (mode > 0)
        r = x < 0 ? -std::ceil(-x) : std::ceil(x);
    else
        r = std::trunc(x);
    return digits >= 0 ? r / scale : r * scale;
}

QString generalNumberText(double v)
{
    if (v == 0)
        return QStringLiteral("0");
    if (!std::isfinite(v))
        return QStringLiteral("#NUM!");
    const double a = std::fabs(v);
    QString s;
    if (a >= 1e-9 && a < 1e-4) {
        const int exp10 = int(std::floor(std::log10(a)));
        s = QString::number(v, 'f', std::min(15 - exp10 - 1, 30));
        if (s.contains(QLatin1Char('.'))) {
            while (s.endsWith(QLatin1Char('0')))
                s.chop(1);
            if (s.endsWith(QLatin1Char('.')))
                s.chop(1);
        }
        return s;
    }
    s = QString::number(v, 'g', 15);
    const int e = s.indexOf(QLatin1Char('e'));
    if (e >= 0) {   // 1.5e+20 → 1.5E+20, 1e-10 → 1E-10
        QString mant = s.left(e);
        QString exp = s.mid(e + 1);
        const QChar sign = exp[0];
        exp = exp.mid(1);
        while (exp.size() > 2 && exp.startsWith(QLatin1Char('0')))
            exp.remove(0, 1);
        if (exp.size() < 2)
            exp.prepend(QLatin1Char('0'));
        s = mant + QLatin1Char('E') + sign + exp;
    }
    return s;
}

QString valueText(const Value& v)
{
    switch (v.index()) {
    case 0: return QString();
    case 1: return generalNumberText(std::get<double>(v));
    case 2: return std::get<QString>(v);
    case 3: return std::get<bool>(v) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default: return errorString(std::get<ErrorValue>(v));
    }
}

double dateToSerial(int year, int month, int day)
{
    // month and day may run over: DATE(2024,14,1) is 2025-02-01, DATE(2024,3,0) is 2024-02-29
    int y = year + (month - 1 >= 0 ? (month - 1) / 12 : -((12 - month) / 12));
    int m = ((month - 1) % 12 + 12) % 12 + 1;
    const QDate first(y, m, 1);
    if (!first.isValid())
        return NAN;
    static const QDate base(1899, 12, 30);
    return double(base.daysTo(first)) + double(day - 1);
}

bool serialToDate(double serial, int& year, int& month, int& day)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465.0)
        return false;
    static const QDate base(1899, 12, 30);
    const QDate d = base.addDays(qint64(std::floor(serial)));
    d.getDate(&year, &month, &day);
    return true;
}

namespace {

// Reads an unsigned integer at s[i...]; returns -1 when there is none.
int readInt(QStringView s, int& i)
{
    const int b = i;
    int v = 0;
    while (i < s.size() && s[i].isDigit() && i - b < 9)
        v = v * 10 + (s[i++].unicode() - '0');
    return i == b ? -1 : v;
}

// "2024-5-1", "2024/05/01", "2024年5月1日", optionally followed by a time; or a time alone "8:30", "8:30:15".
bool textToDateTime(QStringView s, double& out)
{
    int i = 0;
    double days = 0;
    bool haveDate = false;
    const int n = int(s.size());
    auto skipSpaces = [&] {
        while (i < n && s[i].isSpace())
            ++i;
    };
    {
        int k = 0;
        const int y = readInt(s, k);
        if (y >= 0 && k < n && (s[k] == QLatin1Char('-') || s[k] == QLatin1Char('/') || s[k] == QChar(0x5E74))) {
            const QChar sep = s[k];
            ++k;
            const int m = readInt(s, k);
            const QChar sep2 = sep == QChar(0x5E74) ? QChar(0x6708) : sep;
            if (m < 1 || m > 12 || k >= n || s[k] != sep2)
                return false;
            ++k;
            const int d = readInt(s, k);
            if (d < 1 || d > 31)
                return false;
            if (sep == QChar(0x5E74) && k < n && (s[k] == QChar(0x65E5) || s[k] == QChar(0x53F7)))
                ++k;
            int yy = y;
            const int yearDigits = int(s.indexOf(sep));
            if (yearDigits <= 2)   // "24-5-1": two-digit years as spreadsheets read them
                yy = y < 30 ? 2000 + y : 1900 + y;
            if (yy < 1900 || yy > 9999 || !QDate(yy, m, d).isValid())
                return false;
            days = dateToSerial(yy, m, d);
            haveDate = true;
            i = k;
        }
    }
    skipSpaces();
    if (i >= n)
        return haveDate ? (out = days, true) : false;
    const int b = i;
    const int h = readInt(s, i);
    if (h < 0 || i >= n || s[i] != QLatin1Char(':'))
        return false;
    ++i;
    const int mi = readInt(s, i);
    if (mi < 0 || mi > 59 || i - b > 8)
        return false;
    int sec = 0;
    if (i < n && s[i] == QLatin1Char(':')) {
        ++i;
        sec = readInt(s, i);
        if (sec < 0 || sec > 59)
            return false;
    }
    skipSpaces();
    if (i != n)
        return false;
    out = days + (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
    return true;
}

} // namespace

bool textToNumber(const QString& text, double& out)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    bool neg = false;
    bool percent = false;
    if (s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
        neg = true;
        s = s.mid(1, s.size() - 2).trimmed();
    }
    if (s.startsWith(QLatin1Char('-'))) {
        neg = !neg;
        s = s.mid(1).trimmed();
    } else if (s.startsWith(QLatin1Char('+'))) {
        s = s.mid(1).trimmed();
    }
    if (s.startsWith(QLatin1Char('$')) || s.startsWith(QChar(0xA5)) || s.startsWith(QChar(0xFFE5))
        || s.startsWith(QChar(0x20AC)))
        s = s.mid(1).trimmed();
    if (s.endsWith(QLatin1Char('%'))) {
        percent = true;
        s.chop(1);
        s = s.trimmed();
    }
    if (s.isEmpty())
        return false;
    // digits with optional thousands separators (groups of three), a point and an exponent
    bool sawDigit = false;
    QString plain;
    plain.reserve(s.size());
    int i = 0;
    const int n = int(s.size());
    int groupLen = -1;
    while (i < n && (s[i].isDigit() || s[i] == QLatin1Char(','))) {
        if (s[i] == QLatin1Char(',')) {
            if (!sawDigit || (groupLen >= 0 && groupLen != 3))
                return textToDateTime(text.trimmed(), out);
            groupLen = 0;
        } else {
            plain += s[i];
            sawDigit = true;
            if (groupLen >= 0)
                ++groupLen;
        }
        ++i;
    }
    if (groupLen >= 0 && groupLen != 3)
        return false;
    if (i < n && s[i] == QLatin1Char('.')) {
        plain += QLatin1Char('.');
        ++i;
        while (i < n && s[i].isDigit()) {
            plain += s[i++];
            sawDigit = true;
        }
    }
    if (!sawDigit)
        return false;
    if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        plain += QLatin1Char('e');
        ++i;
        if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            plain += s[i++];
        if (i >= n || !s[i].isDigit())
            return false;
        while (i < n && s[i].isDigit())
            plain += s[i++];
    }
    if (i != n) {
        if (neg || percent)
            return false;
        return textToDateTime(text.trimmed(), out);
    }
    bool ok = false;
    double v = plain.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (percent)
        v /= 100.0;
    out = neg ? -v : v;
    return true;
}

bool toNumber(const Value& v, double& out, ErrorValue& err)
{
    switch (v.index()) {
    case 0: out = 0; return true;
    case 1: out = std::get<double>(v); return true;
    case 2:
        if (textToNumber(std::get<QString>(v), out))
            return true;
        err = ErrorValue::Value;
        return false;
    case 3: out = std::get<bool>(v) ? 1 : 0; return true;
    default: err = std::get<ErrorValue>(v); return false;
    }
}

Value scalarOf(Ctx& c, const Val& v)
{
    switch (v.kind) {
    case Val::Scalar:
        return v.v;
    case Val::Arr:
        return v.arr->rows && v.arr->cols ? v.arr->at(0, 0) : Value(ErrorValue::Value);
    case Val::RefV:
        if (v.r.width() == 1 && v.r.height() == 1)
            return cellValue(c.wb, v.sheet, v.r.col1, v.r.row1);
        // implicit intersection with the formula's own row or column
        if (v.r.width() == 1 && c.row >= v.r.row1 && c.row <= v.r.row2 && v.sheet == c.sheet)
            return cellValue(c.wb, v.sheet, v.r.col1, c.row);
        if (v.r.height() == 1 && c.col >= v.r.col1 && c.col <= v.r.col2 && v.sheet == c.sheet)
            return cellValue(c.wb, v.sheet, c.col, v.r.row1);
        return ErrorValue::Value;
    }
    return ErrorValue::Value;
}

// Order of values of different kinds when compared: numbers < texts < truth values (empty takes the other side's
// kind). Returns <0, 0, >0.
int compareValues(const Value& a0, const Value& b0)
{
    static const Value zero{0.0}, emptyText{QString()}, no{false};
    const Value* a = &a0;
    const Value* b = &b0;
    if (isEmpty(*a) && isEmpty(*b))
        return 0;
    auto fill = [](const Value* other) -> const Value* {
        switch (other->index()) {
        case 2: return &emptyText;
        case 3: return &no;
        default: return &zero;
        }
    };
    if (isEmpty(*a))
        a = fill(b);
    if (isEmpty(*b))
        b = fill(a);
    auto rank = [](const Value& v) { return v.index() == 1 ? 0 : v.index() == 2 ? 1 : 2; };
    const int ra = rank(*a), rb = rank(*b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra == 0) {
        const double x = std::get<double>(*a), y = std::get<double>(*b);
        if (x == y)
            return 0;
        const double rx = roundTo15(x), ry = roundTo15(y);
        if (rx == ry)
            return 0;
        return rx < ry ? -1 : 1;
    }
    if (ra == 1)
        return std::get<QString>(*a).compare(std::get<QString>(*b), Qt::CaseInsensitive);
    return int(std::get<bool>(*a)) - int(std::get<bool>(*b));
}

namespace {

Value arith(Op op, const Value& a, const Value& b)
{
    if (isError(a))
        return a;
    if (isError(b))
        return b;
    if (op == Op::Concat) {
        QString t = valueText(a) + valueText(b);
        if (t.size() > MaxTextLength)   // as spreadsheets limit a cell's text
            return ErrorValue::Value;
        return t;
    }
    if (op >= Op::Eq) {
        const int c = compareValues(a, b);
        switch (op) {
        case Op::Eq: return c == 0;
        case Op::Ne: return c != 0;
        case Op::Lt: return c < 0;
        case Op::Gt: return c > 0;
        case Op::Le: return c <= 0;
        default: return c >= 0;
        }
    }
    double x, y;
    ErrorValue e;
    if (!toNumber(a, x, e) || !toNumber(b, y, e))
        return e;
    double r = 0;
    switch (op) {
    case Op::Add:
    case Op::Sub:
        r = op == Op::Add ? x + y : x - y;
        // a sum that cancels to within the last bits of its operands is zero, as spreadsheets show it
        if (r != 0 && std::fabs(r) < std::max(std::fabs(x), std::fabs(y)) * 1e-15)
            r = 0;
        break;
    case Op::Mul: r = x * y; break;
    case Op::Div:
        if (y == 0)
            return ErrorValue::Div0;
        r = x / y;
        break;
    case Op::Pow:
        if (x == 0 && y == 0)
            return ErrorValue::Num;
        if (x == 0 && y < 0)
            return ErrorValue::Div0;
        r = std::pow(x, y);
        break;
    default: break;
    }
    if (!std::isfinite(r))
        return ErrorValue::Num;
    return r;
}

// The largest array an expression may build (4M items, about 128 MB); beyond it the result is #NUM!.
constexpr qint64 MaxArrayItems = qint64(1) << 22;

// Reduces an operand for element-wise work: single cells become values, ranges become arrays.
Val operand(Ctx& c, Val v)
{
    if (v.kind == Val::RefV) {
        if (v.r.width() == 1 && v.r.height() == 1)
            return Val(cellValue(c.wb, v.sheet, v.r.col1, v.r.row1));
        if (qint64(v.r.width()) * v.r.height() > MaxArrayItems)
            return Val(ErrorValue::Num);
        auto a = std::make_shared<Array>();
        a->rows = v.r.height();
        a->cols = v.r.width();
        a->v.reserve(size_t(a->rows) * size_t(a->cols));
        for (int r = v.r.row1; r <= v.r.row2; ++r)
            for (int k = v.r.col1; k <= v.r.col2; ++k)
                a->v.push_back(cellValue(c.wb, v.sheet, k, r));
        return Val::array(std::move(a));
    }
    return v;
}

const Value& elementAt(const Val& v, int r, int k, bool& outside)
{
    static const Value na(ErrorValue::NA);
    if (v.kind == Val::Scalar)
        return v.v;
    const Array& a = *v.arr;
    const int rr = a.rows == 1 ? 0 : r;
    const int kk = a.cols == 1 ? 0 : k;
    if (rr >= a.rows || kk >= a.cols) {
        outside = true;
        return na;
    }
    return a.at(rr, kk);
}

template <class F>
Val elementwise(const Val& a, const Val& b, F f)
{
    if (a.kind == Val::Scalar && b.kind == Val::Scalar)
        return Val(f(a.v, b.v));
    const int rows = std::max(a.kind == Val::Arr ? a.arr->rows : 1, b.kind == Val::Arr ? b.arr->rows : 1);
    const int cols = std::max(a.kind == Val::Arr ? a.arr->cols : 1, b.kind == Val::Arr ? b.arr->cols : 1);
    if (qint64(rows) * cols > MaxArrayItems)
        return Val(ErrorValue::Num);
    auto out = std::make_shared<Array>();
    out->rows = rows;
    out->cols = cols;
    out->v.reserve(size_t(rows) * size_t(cols));
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < cols; ++k) {
            bool outside = false;
            const Value& x = elementAt(a, r, k, outside);
            const Value& y = elementAt(b, r, k, outside);
            out->v.push_back(outside ? Value(ErrorValue::NA) : f(x, y));
        }
    return Val::array(std::move(out));
}

Value negate(const Value& v)
{
    double x;
    ErrorValue e;
    if (!toNumber(v, x, e))
        return e;
    return -x;
}

Value percentOf(const Value& v)
{
    double x;
    ErrorValue e;
    if (!toNumber(v, x, e))
        return e;
    return x / 100.0;
}

Value plusOf(const Value& v)
{
    return v;
}

// Calls a function of single values: once with its evaluated arguments, or, when an argument is a range or an
// array, once per item (as ABS(A1:A9) inside SUMPRODUCT needs), giving an array.
Val callElementwise(Ctx& c, const Node& n)
{
    const size_t argc = n.kids.size();
    QVarLengthArray<Val, 4> args;
    bool multi = false;
    int rows = 1, cols = 1;
    for (size_t i = 0; i < argc; ++i) {
        Val v = operand(c, evalNode(c, *n.kids[i]));
        if (v.kind == Val::Arr) {
            multi = true;
            rows = std::max(rows, v.arr->rows);
            cols = std::max(cols, v.arr->cols);
        }
        args.append(std::move(v));
    }
    if (qint64(rows) * cols > MaxArrayItems)
        return Val(ErrorValue::Num);
    QVarLengthArray<Value, 4> pre(static_cast<qsizetype>(argc));
    const Node* savedCall = c.preCall;
    const Value* savedArgs = c.preArgs;
    auto callOnce = [&]() {
        c.preCall = &n;
        c.preArgs = pre.data();
        const Val r = n.fn->fn(c, n);
        c.preCall = savedCall;
        c.preArgs = savedArgs;
        return r;
    };
    if (!multi) {
        for (size_t i = 0; i < argc; ++i)
            pre[i] = std::move(args[i].v);
        return callOnce();
    }
    auto out = std::make_shared<Array>();
    out->rows = rows;
    out->cols = cols;
    out->v.reserve(size_t(rows) * size_t(cols));
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < cols; ++k) {
            bool outside = false;
            for (size_t i = 0; i < argc; ++i)
                pre[i] = elementAt(args[i], r, k, outside);
            out->v.push_back(outside ? Value(ErrorValue::NA) : scalarOf(c, callOnce()));
        }
    return Val::array(std::move(out));
}

} // namespace

Val evalNode(Ctx& c, const Node& n)
{
    switch (n.kind) {
    case Node::Num: return Val(n.num);
    case Node::Str: return Val(n.text);
    case Node::Bool: return Val(n.boolean);
    case Node::Err: return Val(n.err);
    case Node::Ref:
    case Node::Area: {
        if (n.sheet == -2)
            return Val(ErrorValue::Ref);
        const int sheet = n.sheet == -1 ? c.sheet : n.sheet;
        const Range r = n.kind == Node::Ref ? Range{n.a.col, n.a.row, n.a.col, n.a.row}
                                            : Range{n.a.col, n.a.row, n.b.col, n.b.row};
        return Val::ref(sheet, r);
    }
    case Node::Func:
        if (!n.fn)
            return Val(ErrorValue::Name);
        if (n.fn->elementwise)
            return callElementwise(c, n);
        return n.fn->fn(c, n);
    case Node::Name: return Val(ErrorValue::Name);
    case Node::ArrayConst: return Val::array(n.arr);
    case Node::Missing: return Val();
    case Node::Paren: return evalNode(c, *n.kids[0]);
    case Node::Neg:
    case Node::Plus:
    case Node::Pct: {
        const Val a = operand(c, evalNode(c, *n.kids[0]));
        Value (*f)(const Value&) = n.kind == Node::Neg ? negate : n.kind == Node::Pct ? percentOf : plusOf;
        if (a.kind == Val::Scalar)
            return Val(f(a.v));
        auto out = std::make_shared<Array>(*a.arr);
        for (Value& x : out->v)
            x = f(x);
        return Val::array(std::move(out));
    }
    case Node::Bin: {
        Val acc = operand(c, evalNode(c, *n.kids[0]));
        for (size_t i = 1; i < n.kids.size(); ++i) {
            const Val b = operand(c, evalNode(c, *n.kids[i]));
            const Op op = n.ops[i - 1];
            acc = elementwise(acc, b, [op](const Value& x, const Value& y) { return arith(op, x, y); });
        }
        return acc;
    }
    }
    return Val(ErrorValue::Value);
}

Value evalToCell(Ctx& c, const Node& n)
{
    Value v = scalarOf(c, evalNode(c, n));
    if (isEmpty(v))
        return 0.0;   // "=A1" with A1 blank shows 0
    if (const double* d = std::get_if<double>(&v); d && (!std::isfinite(*d)))
        return ErrorValue::Num;
    return v;
}

} // namespace cell::formula
