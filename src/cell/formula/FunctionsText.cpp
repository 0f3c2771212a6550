// Text functions: LEFT, MID, LEN, TRIM, CONCATENATE, TEXT, VALUE, FIND, SUBSTITUTE, ...

#include "cell/formula/FunctionSupport.h"

#include <QRegularExpression>

namespace cell::formula::fn {

namespace {

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

const FnDef kTable[] = {
    {"CHAR", fChar, 1, 1, false, false},
    {"CODE", fCode, 1, 1, false, false},
    {"CONCAT", fConcatenate, 1, -1, false, false},
    {"CONCATENATE", fConcatenate, 1, -1, false, false},
    {"EXACT", fExact, 2, 2, false, true},
    {"FIND", fFind, 2, 3, false, true},
    {"LEFT", fLeft, 1, 2, false, true},
    {"LEN", fLen, 1, 1, false, true},
    {"LOWER", fLower, 1, 1, false, true},
    {"MID", fMid, 3, 3, false, true},
    {"PROPER", fProper, 1, 1, false, true},
    {"REPLACE", fReplace, 4, 4, false, false},
    {"REPT", fRept, 2, 2, false, true},
    {"RIGHT", fRight, 1, 2, false, true},
    {"SEARCH", fSearch, 2, 3, false, true},
    {"SUBSTITUTE", fSubstitute, 3, 4, false, true},
    {"TEXT", fText, 2, 2, false, true},
    {"TRIM", fTrim, 1, 1, false, true},
    {"UPPER", fUpper, 1, 1, false, true},
    {"VALUE", fValue, 1, 1, false, true},
};

} // namespace

std::span<const FnDef> textFunctions()
{
    return kTable;
}

} // namespace cell::formula::fn
