// Formula text to syntax tree and back.
//
// Precedence, lowest first: comparisons (= <> < > <= >=), &, + -, * /, ^, postfix %, unary - +, then ranges (:),
// so "-2^2" is 4 and "2^3^2" is 64, as in the common spreadsheet programs. Full-width brackets, commas and colons
// typed with a Chinese input method are read as their ASCII forms (outside strings).

#include "cell/formula/Ast.h"
#include "core/QuelmarError.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace cell::formula {

namespace {

constexpr int MaxFormulaLength = 8192;
constexpr int MaxNesting = 100;

enum class Tok : quint8 {
    End, Num, Str, Bool, Err, Ref, Whole, Sheet, Func, Name, Op, LParen, RParen, Comma, Colon, LBrace, RBrace, Semi
};

struct Token {
    Tok kind = Tok::End;
    int pos = 0;
    double num = 0;
    QString text;        // string literal, sheet name, function or other name; operator text
    RefPart ref, ref2;   // Whole: both ends of "A:C" / "3:5"
    quint8 whole = 0;
    ErrorValue err = ErrorValue::Value;
    bool boolean = false;
};

[[noreturn]] void fail(const QString& why)
{
    throw QuelmarError(QStringLiteral("公式有误：%1").arg(why));
}

// Full-width forms typed with a Chinese input method (（ ） ， ： ＋ ＞＝ １ ...) read as their ASCII forms.
QChar normalizeChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0xFF01 && u <= 0xFF5E)
        return QChar(char16_t(u - 0xFEE0));
    if (u == 0x3000)
        return QLatin1Char(' ');
    return c;
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.');
}

int columnNumber(QStringView letters)
{
    int n = 0;
    for (QChar ch : letters)
        n = n * 26 + (ch.toUpper().unicode() - 'A' + 1);
    return n;
}

// "$A$1", "b7", "AB$12" → RefPart. False when the text is not a reference within the sheet limits.
bool parseRefText(QStringView s, RefPart& out)
{
    int i = 0;
    const int n = int(s.size());
    out = RefPart{};
    if (i < n && s[i] == QLatin1Char('$')) {
        out.absCol = true;
        ++i;
    }
    const int l0 = i;
    while (i < n && s[i].unicode() < 128 && s[i].isLetter())
        ++i;
    const int letters = i - l0;
    if (letters < 1 || letters > 3)
        return false;
    const int col = columnNumber(s.mid(l0, letters));
    if (i < n && s[i] == QLatin1Char('$')) {
        out.absRow = true;
        ++i;
    }
    const int d0 = i;
    while (i < n && s[i].unicode() < 128 && s[i].isDigit())
        ++i;
    if (i == d0 || i != n || i - d0 > 6)
        return false;
    const int row = s.mid(d0).toInt();
    if (col < 1 || col > MaxCols || row < 1 || row > MaxRows)
        return false;
    out.col = col;
    out.row = row;
    return true;
}

struct ErrorLiteral {
    const char* text;
    ErrorValue e;
};
const ErrorLiteral kErrors[] = {
    {"#NULL!", ErrorValue::Null}, {"#DIV/0!", ErrorValue::Div0}, {"#VALUE!", ErrorValue::Value},
    {"#REF!", ErrorValue::Ref},   {"#NAME?", ErrorValue::Name},  {"#NUM!", ErrorValue::Num},
    {"#N/A", ErrorValue::NA},     {"#CIRC!", ErrorValue::Circular},
};

class Lexer {
public:
    explicit Lexer(const QString& text) : s(text) {}

    std::vector<Token> run()
    {
        std::vector<Token> out;
        while (true) {
            skipSpace();
            Token t;
            t.pos = i;
            if (i >= n()) {
                out.push_back(t);
                return out;
            }
            const QChar c = at(i);
            if ((c.isDigit() || c == QLatin1Char('$') || (c.unicode() < 128 && c.isLetter())) && lexWhole(t))
                ;
            else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n() && at(i + 1).isDigit()))
                lexNumber(t);
            else if (c == QLatin1Char('"'))
                lexString(t);
            else if (c == QLatin1Char('\''))
                lexQuotedSheet(t);
            else if (c == QLatin1Char('#'))
                lexError(t);
            else if (c == QLatin1Char('$') || isNameChar(c))
                lexWord(t);
            else
                lexPunct(t);
            out.push_back(std::move(t));
        }
    }

private:
    const QString& s;
    int i = 0;

    int n() const { return int(s.size()); }
    QChar at(int k) const { return normalizeChar(s[k]); }
    void skipSpace()
    {
        while (i < n() && (at(i).isSpace() || s[i] == QChar(0x3000)))
            ++i;
    }

    // Whole columns "A:C", "$B:$B" or whole rows "3:5", "$1:$1".
    bool lexWhole(Token& t)
    {
        // quick look first: "$"? letters or digits, blanks, then ':'
        int k = i;
        if (k < n() && s[k] == QLatin1Char('$'))
            ++k;
        const int b = k;
        while (k < n() && s[k].unicode() < 128 && s[k].isLetterOrNumber())
            ++k;
        if (k == b || k - b > 5)
            return false;
        while (k < n() && s[k].isSpace())
            ++k;
        if (k >= n() || s[k] != QLatin1Char(':'))
            return false;
        static const QRegularExpression cols(
            QStringLiteral("(\\$?)([A-Za-z]{1,3})\\s*:\\s*(\\$?)([A-Za-z]{1,3})(?![A-Za-z0-9_.(!$])"));
        static const QRegularExpression rows(
            QStringLiteral("(\\$?)([0-9]{1,5})\\s*:\\s*(\\$?)([0-9]{1,5})(?![A-Za-z0-9_.(!$])"));
        for (int kind = 1; kind <= 2; ++kind) {
            const QRegularExpressionMatch m = (kind == 1 ? cols : rows)
                                                  .match(s, i, QRegularExpression::NormalMatch,
                                                         QRegularExpression::AnchorAtOffsetMatchOption);
            if (!m.hasMatch())
                continue;
            int lo, hi;
            if (kind == 1) {
                lo = columnNumber(m.capturedView(2));
                hi = columnNumber(m.capturedView(4));
                if (lo > MaxCols || hi > MaxCols)
                    return false;
                t.ref = RefPart{lo, 1, !m.capturedView(1).isEmpty(), false};
                t.ref2 = RefPart{hi, MaxRows, !m.capturedView(3).isEmpty(), false};
            } else {
                lo = m.capturedView(2).toInt();
                hi = m.capturedView(4).toInt();
                if (lo < 1 || hi < 1 || lo > MaxRows || hi > MaxRows)
                    return false;
                t.ref = RefPart{1, lo, false, !m.capturedView(1).isEmpty()};
                t.ref2 = RefPart{MaxCols, hi, false, !m.capturedView(3).isEmpty()};
            }
            t.kind = Tok::Whole;
            t.whole = quint8(kind);
            i = int(m.capturedEnd(0));
            return true;
        }
        return false;
    }

    void lexNumber(Token& t)
    {
        const int b = i;
        while (i < n() && at(i).isDigit())
            ++i;
        if (i < n() && at(i) == QLatin1Char('.')) {
            ++i;
            while (i < n() && at(i).isDigit())
                ++i;
        }
        if (i < n() && (at(i) == QLatin1Char('e') || at(i) == QLatin1Char('E'))) {
            int k = i + 1;
            if (k < n() && (at(k) == QLatin1Char('+') || at(k) == QLatin1Char('-')))
                ++k;
            if (k < n() && at(k).isDigit()) {
                i = k;
                while (i < n() && at(i).isDigit())
                    ++i;
            }
        }
        bool ok = false;
        t.num = QStringView(s).mid(b, i - b).toDouble(&ok);
        if (!ok || !std::isfinite(t.num))
            fail(QStringLiteral("无法识别的数字“%1”").arg(s.mid(b, i - b)));
        t.kind = Tok::Num;
    }

    void lexString(Token& t)
    {
        ++i;
        QString v;
        while (true) {
            if (i >= n())
                fail(QStringLiteral("字符串缺少结束的引号"));
            if (s[i] == QLatin1Char('"')) {
                if (i + 1 < n() && s[i + 1] == QLatin1Char('"')) {
                    v += QLatin1Char('"');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            v += s[i++];
        }
        t.kind = Tok::Str;
        t.text = v;
    }

    void lexQuotedSheet(Token& t)
    {
        ++i;
        QString v;
        while (true) {
            if (i >= n())
                fail(QStringLiteral("工作表名称缺少结束的单引号"));
            if (s[i] == QLatin1Char('\'')) {
                if (i + 1 < n() && s[i + 1] == QLatin1Char('\'')) {
                    v += QLatin1Char('\'');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            v += s[i++];
        }
        if (i >= n() || at(i) != QLatin1Char('!') || v.isEmpty())
            fail(QStringLiteral("工作表名称“%1”后应为“!”").arg(v));
        ++i;
        t.kind = Tok::Sheet;
        t.text = v;
    }

    void lexError(Token& t)
    {
        for (const ErrorLiteral& e : kErrors) {
            const QLatin1StringView lit(e.text);
            if (QStringView(s).mid(i).startsWith(lit, Qt::CaseInsensitive)) {
                i += int(lit.size());
                t.kind = Tok::Err;
                t.err = e.e;
                return;
            }
        }
        fail(QStringLiteral("无法识别的错误值"));
    }

    void lexWord(Token& t)
    {
        const int b = i;
        while (i < n() && (at(i) == QLatin1Char('$') || isNameChar(at(i))))
            ++i;
        const QString word = s.mid(b, i - b);
        int k = i;
        while (k < n() && at(k).isSpace())
            ++k;
        const QChar next = k < n() ? at(k) : QChar();
        if (i < n() && at(i) == QLatin1Char('!')) {
            if (word.contains(QLatin1Char('$')))
                fail(QStringLiteral("无法识别的工作表名称“%1”").arg(word));
            ++i;
            t.kind = Tok::Sheet;
            t.text = word;
            return;
        }
        if (next == QLatin1Char('(') && !word.contains(QLatin1Char('$'))) {
            i = k + 1;
            t.kind = Tok::Func;
            t.text = word.toUpper();
            return;
        }
        if (parseRefText(word, t.ref)) {
            t.kind = Tok::Ref;
            return;
        }
        if (word.contains(QLatin1Char('$')))
            fail(QStringLiteral("无法识别的引用“%1”").arg(word));
        const QString up = word.toUpper();
        if (up == QLatin1String("TRUE") || up == QLatin1String("FALSE")) {
            t.kind = Tok::Bool;
            t.boolean = up == QLatin1String("TRUE");
            return;
        }
        if (word[0].isDigit())
            fail(QStringLiteral("无法识别的内容“%1”").arg(word));
        t.kind = Tok::Name;
        t.text = word;
    }

    void lexPunct(Token& t)
    {
        const QChar c = at(i);
        const QChar d = i + 1 < n() ? at(i + 1) : QChar();
        t.kind = Tok::Op;
        switch (c.unicode()) {
        case '(': t.kind = Tok::LParen; ++i; return;
        case '{': t.kind = Tok::LBrace; ++i; return;
        case '}': t.kind = Tok::RBrace; ++i; return;
        case ';': t.kind = Tok::Semi; ++i; return;
        case ')': t.kind = Tok::RParen; ++i; return;
        case ',': t.kind = Tok::Comma; ++i; return;
        case ':': t.kind = Tok::Colon; ++i; return;
        case '+': case '-': case '*': case '/': case '^': case '&': case '%': case '=':
            t.text = QString(c);
            ++i;
            return;
        case '<':
            if (d == QLatin1Char('>') || d == QLatin1Char('=')) {
                t.text = QString(c) + d;
                i += 2;
            } else {
                t.text = QStringLiteral("<");
                ++i;
            }
            return;
        case '>':
            if (d == QLatin1Char('=')) {
                t.text = QStringLiteral(">=");
                i += 2;
            } else {
                t.text = QStringLiteral(">");
                ++i;
            }
            return;
        default:
            fail(QStringLiteral("无法识别的字符“%1”").arg(c));
        }
    }
};

NodePtr makeNode(Node::Kind k)
{
    auto n = std::make_unique<Node>();
    n->kind = k;
    return n;
}

class Parser {
public:
    explicit Parser(std::vector<Token> t) : toks(std::move(t)) {}

    NodePtr run()
    {
        if (peek().kind == Tok::End)
            fail(QStringLiteral("公式为空"));
        NodePtr n = comparison();
        if (peek().kind != Tok::End)
            unexpected();
        return n;
    }

private:
    std::vector<Token> toks;
    size_t p = 0;
    int depth = 0;

    const Token& peek() const { return toks[p]; }
    bool isOp(const char* op) const { return peek().kind == Tok::Op && peek().text == QLatin1String(op); }

    [[noreturn]] void unexpected() const
    {
        const Token& t = peek();
        if (t.kind == Tok::End)
            fail(QStringLiteral("公式不完整"));
        fail(QStringLiteral("第 %1 个字符处有多余或错误的内容").arg(t.pos + 1));
    }

    // Operators of one precedence level form one node with n operands and n-1 operators, so that long chains such
    // as "A1+A2+...+A999" make a flat tree rather than a deep one.
    static void append(NodePtr& l, Node*& chain, Op op, NodePtr r)
    {
        if (!chain) {
            auto n = makeNode(Node::Bin);
            n->kids.push_back(std::move(l));
            l = std::move(n);
            chain = l.get();
        }
        chain->ops.push_back(op);
        chain->kids.push_back(std::move(r));
    }

    NodePtr comparison()
    {
        NodePtr l = concat();
        Node* chain = nullptr;
        while (peek().kind == Tok::Op) {
            const QString& o = peek().text;
            Op op;
            if (o == QLatin1String("="))
                op = Op::Eq;
            else if (o == QLatin1String("<>"))
                op = Op::Ne;
            else if (o == QLatin1String("<"))
                op = Op::Lt;
            else if (o == QLatin1String(">"))
                op = Op::Gt;
            else if (o == QLatin1String("<="))
                op = Op::Le;
            else if (o == QLatin1String(">="))
                op = Op::Ge;
            else
                break;
            ++p;
            append(l, chain, op, concat());
        }
        return l;
    }

    NodePtr concat()
    {
        NodePtr l = additive();
        Node* chain = nullptr;
        while (isOp("&")) {
            ++p;
            append(l, chain, Op::Concat, additive());
        }
        return l;
    }

    NodePtr additive()
    {
        NodePtr l = multiplicative();
        Node* chain = nullptr;
        while (isOp("+") || isOp("-")) {
            const Op op = isOp("+") ? Op::Add : Op::Sub;
            ++p;
            append(l, chain, op, multiplicative());
        }
        return l;
    }

    NodePtr multiplicative()
    {
        NodePtr l = power();
        Node* chain = nullptr;
        while (isOp("*") || isOp("/")) {
            const Op op = isOp("*") ? Op::Mul : Op::Div;
            ++p;
            append(l, chain, op, power());
        }
        return l;
    }

    NodePtr power()
    {
        NodePtr l = percent();
        Node* chain = nullptr;
        while (isOp("^")) {
            ++p;
            append(l, chain, Op::Pow, percent());
        }
        return l;
    }

    NodePtr percent()
    {
        NodePtr l = unary();
        int n = 0;
        while (isOp("%")) {
            ++p;
            if (++n > MaxNesting)
                fail(QStringLiteral("嵌套层数过多"));
            auto n = makeNode(Node::Pct);
            n->kids.push_back(std::move(l));
            l = std::move(n);
        }
        return l;
    }

    NodePtr unary()
    {
        if (isOp("-") || isOp("+")) {
            const bool neg = isOp("-");
            ++p;
            enter();
            auto n = makeNode(neg ? Node::Neg : Node::Plus);
            n->kids.push_back(unary());
            --depth;
            return n;
        }
        return primary();
    }

    void enter()
    {
        if (++depth > MaxNesting)
            fail(QStringLiteral("嵌套层数过多"));
    }

    NodePtr reference(const QString* sheet)
    {
        const Token t = peek();
        if (t.kind == Tok::Whole) {
            ++p;
            auto n = makeNode(Node::Area);
            n->whole = t.whole;
            n->a = t.ref;
            n->b = t.ref2;
            if (sheet) {
                n->sheetGiven = true;
                n->text = *sheet;
            }
            orderArea(*n);
            return n;
        }
        if (t.kind != Tok::Ref) {
            if (sheet && t.kind == Tok::Err && t.err == ErrorValue::Ref) {
                ++p;
                auto n = makeNode(Node::Err);
                n->err = ErrorValue::Ref;
                return n;
            }
            fail(QStringLiteral("工作表名称后应为单元格引用"));
        }
        ++p;
        auto n = makeNode(Node::Ref);
        n->a = t.ref;
        if (sheet) {
            n->sheetGiven = true;
            n->text = *sheet;
        }
        if (peek().kind == Tok::Colon) {
            ++p;
            if (peek().kind == Tok::Sheet) {   // Sheet1!A1:Sheet1!B2
                const QString other = peek().text;
                if (!sheet || other.compare(*sheet, Qt::CaseInsensitive) != 0)
                    fail(QStringLiteral("区域的两端应在同一工作表"));
                ++p;
            }
            if (peek().kind != Tok::Ref)
                fail(QStringLiteral("“:”后应为单元格引用"));
            n->kind = Node::Area;
            n->b = peek().ref;
            ++p;
            orderArea(*n);
        }
        return n;
    }

    // keeps the rectangle in order, as a spreadsheet does when it reads "B5:A1"
    static void orderArea(Node& n)
    {
        if (n.b.col < n.a.col) {
            std::swap(n.a.col, n.b.col);
            std::swap(n.a.absCol, n.b.absCol);
        }
        if (n.b.row < n.a.row) {
            std::swap(n.a.row, n.b.row);
            std::swap(n.a.absRow, n.b.absRow);
        }
    }

    NodePtr primary()
    {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::Num: {
            auto n = makeNode(Node::Num);
            n->num = t.num;
            ++p;
            return n;
        }
        case Tok::Str: {
            auto n = makeNode(Node::Str);
            n->text = t.text;
            ++p;
            return n;
        }
        case Tok::Bool: {
            auto n = makeNode(Node::Bool);
            n->boolean = t.boolean;
            ++p;
            return n;
        }
        case Tok::Err: {
            auto n = makeNode(Node::Err);
            n->err = t.err;
            ++p;
            return n;
        }
        case Tok::Ref:
        case Tok::Whole:
            return reference(nullptr);
        case Tok::Sheet: {
            const QString sheet = t.text;
            ++p;
            return reference(&sheet);
        }
        case Tok::Name: {
            auto n = makeNode(Node::Name);
            n->text = t.text;
            ++p;
            return n;
        }
        case Tok::LBrace:
            return arrayConstant();
        case Tok::LParen: {
            ++p;
            enter();
            auto n = makeNode(Node::Paren);
            n->kids.push_back(comparison());
            if (peek().kind != Tok::RParen)
                fail(QStringLiteral("缺少右括号"));
            ++p;
            --depth;
            return n;
        }
        case Tok::Func:
            return call();
        default:
            unexpected();
        }
    }

    // {1,2,3} one row, {1;2;3} one column, {1,2;3,4} two rows; items are constants
    NodePtr arrayConstant()
    {
        ++p;
        auto a = std::make_shared<Array>();
        int cols = -1, inRow = 0;
        while (true) {
            bool neg = false;
            if (isOp("-")) {
                neg = true;
                ++p;
            }
            const Token& t = peek();
            switch (t.kind) {
            case Tok::Num: a->v.push_back(neg ? -t.num : t.num); break;
            case Tok::Str: if (neg) unexpected(); a->v.push_back(t.text); break;
            case Tok::Bool: if (neg) unexpected(); a->v.push_back(t.boolean); break;
            case Tok::Err: if (neg) unexpected(); a->v.push_back(t.err); break;
            default: fail(QStringLiteral("数组常量中只能是数字、文本、逻辑值或错误值"));
            }
            ++p;
            ++inRow;
            if (peek().kind == Tok::Comma) {
                ++p;
                continue;
            }
            if (peek().kind != Tok::Semi && peek().kind != Tok::RBrace)
                fail(QStringLiteral("数组常量缺少“}”"));
            if (cols >= 0 && inRow != cols)
                fail(QStringLiteral("数组常量的各行长度应相同"));
            cols = inRow;
            inRow = 0;
            if (peek().kind == Tok::RBrace) {
                ++p;
                break;
            }
            ++p;
        }
        a->cols = cols;
        a->rows = int(a->v.size()) / cols;
        auto n = makeNode(Node::ArrayConst);
        n->arr = std::move(a);
        return n;
    }

    NodePtr call()
    {
        auto n = makeNode(Node::Func);
        n->text = peek().text;
        n->fn = findFunction(n->text);
        ++p;
        enter();
        if (peek().kind == Tok::RParen) {
            ++p;
        } else {
            while (true) {
                if (peek().kind == Tok::Comma || peek().kind == Tok::RParen)
                    n->kids.push_back(makeNode(Node::Missing));
                else
                    n->kids.push_back(comparison());
                if (peek().kind == Tok::Comma) {
                    ++p;
                    continue;
                }
                if (peek().kind == Tok::RParen) {
                    ++p;
                    break;
                }
                if (peek().kind == Tok::End)
                    fail(QStringLiteral("函数 %1 缺少右括号").arg(n->text));
                unexpected();
            }
        }
        --depth;
        if (n->fn) {
            const int argc = int(n->kids.size());
            if (argc < n->fn->minArgs || (n->fn->maxArgs >= 0 && argc > n->fn->maxArgs))
                fail(QStringLiteral("函数 %1 的参数个数不对").arg(n->text));
        }
        return n;
    }
};

QString columnLetters(int col)
{
    QString s;
    while (col > 0) {
        const int r = (col - 1) % 26;
        s.prepend(QChar(u'A' + r));
        col = (col - 1) / 26;
    }
    return s;
}

void printRefPart(QString& out, const RefPart& r)
{
    if (r.absCol)
        out += QLatin1Char('$');
    out += columnLetters(r.col);
    if (r.absRow)
        out += QLatin1Char('$');
    out += QString::number(r.row);
}

void printWholePart(QString& out, const RefPart& r, quint8 whole)
{
    if (whole == 1) {
        if (r.absCol)
            out += QLatin1Char('$');
        out += columnLetters(r.col);
    } else {
        if (r.absRow)
            out += QLatin1Char('$');
        out += QString::number(r.row);
    }
}

const char* opText(Op op)
{
    switch (op) {
    case Op::Add: return "+";
    case Op::Sub: return "-";
    case Op::Mul: return "*";
    case Op::Div: return "/";
    case Op::Pow: return "^";
    case Op::Concat: return "&";
    case Op::Eq: return "=";
    case Op::Ne: return "<>";
    case Op::Lt: return "<";
    case Op::Gt: return ">";
    case Op::Le: return "<=";
    case Op::Ge: return ">=";
    }
    return "?";
}

void print(QString& out, const Node& n)
{
    switch (n.kind) {
    case Node::Num: {
        // the shortest text that reads back as the same number; plain digits unless very large or small
        const double a = std::fabs(n.num);
        if (a == 0 || (a >= 1e-10 && a < 1e21))
            out += QString::number(n.num, 'f', QLocale::FloatingPointShortest);
        else
            out += QString::number(n.num, 'g', QLocale::FloatingPointShortest).toUpper();
        break;
    }
    case Node::Str:
        out += QLatin1Char('"');
        out += QString(n.text).replace(QLatin1String("\""), QLatin1String("\"\""));
        out += QLatin1Char('"');
        break;
    case Node::Bool:
        out += n.boolean ? QLatin1String("TRUE") : QLatin1String("FALSE");
        break;
    case Node::Err:
        out += errorString(n.err);
        break;
    case Node::Ref:
    case Node::Area:
        if (n.sheetGiven) {
            out += quoteSheetName(n.text);
            out += QLatin1Char('!');
        }
        if (n.whole) {
            printWholePart(out, n.a, n.whole);
            out += QLatin1Char(':');
            printWholePart(out, n.b, n.whole);
            break;
        }
        printRefPart(out, n.a);
        if (n.kind == Node::Area) {
            out += QLatin1Char(':');
            printRefPart(out, n.b);
        }
        break;
    case Node::Func:
        out += n.text;
        out += QLatin1Char('(');
        for (size_t i = 0; i < n.kids.size(); ++i) {
            if (i)
                out += QLatin1Char(',');
            print(out, *n.kids[i]);
        }
        out += QLatin1Char(')');
        break;
    case Node::Bin:
        print(out, *n.kids[0]);
        for (size_t i = 1; i < n.kids.size(); ++i) {
            out += QLatin1String(opText(n.ops[i - 1]));
            print(out, *n.kids[i]);
        }
        break;
    case Node::Neg:
        out += QLatin1Char('-');
        print(out, *n.kids[0]);
        break;
    case Node::Plus:
        out += QLatin1Char('+');
        print(out, *n.kids[0]);
        break;
    case Node::Pct:
        print(out, *n.kids[0]);
        out += QLatin1Char('%');
        break;
    case Node::Paren:
        out += QLatin1Char('(');
        print(out, *n.kids[0]);
        out += QLatin1Char(')');
        break;
    case Node::Missing:
        break;
    case Node::Name:
        out += n.text;
        break;
    case Node::ArrayConst:
        out += QLatin1Char('{');
        for (int r = 0; r < n.arr->rows; ++r)
            for (int c = 0; c < n.arr->cols; ++c) {
                if (r || c)
                    out += c ? QLatin1Char(',') : QLatin1Char(';');
                const Value& v = n.arr->at(r, c);
                Node item;
                switch (v.index()) {
                case 1: item.kind = Node::Num; item.num = std::get<double>(v); break;
                case 2: item.kind = Node::Str; item.text = std::get<QString>(v); break;
                case 3: item.kind = Node::Bool; item.boolean = std::get<bool>(v); break;
                default: item.kind = Node::Err; item.err = std::get<ErrorValue>(v); break;
                }
                print(out, item);
            }
        out += QLatin1Char('}');
        break;
    }
}

} // namespace

NodePtr parseFormula(const QString& text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('=')) || t.startsWith(QChar(0xFF1D)))
        t.remove(0, 1);
    // full-width forms outside texts and sheet names; “text” in typographic quotes is a text as "text" is
    QChar quote;
    for (QChar& ch : t) {
        if (!quote.isNull()) {
            if (ch == quote) {
                if (quote == QChar(0x201D))
                    ch = QLatin1Char('"');
                quote = QChar();
            }
            continue;
        }
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            quote = ch;
        } else if (ch == QChar(0x201C)) {
            ch = QLatin1Char('"');
            quote = QChar(0x201D);
        } else {
            ch = normalizeChar(ch);
            if (ch == QLatin1Char('"') || ch == QLatin1Char('\''))
                quote = ch;
        }
    }
    if (t.size() > MaxFormulaLength)
        fail(QStringLiteral("公式过长（最多 %1 个字符）").arg(MaxFormulaLength));
    Lexer lx(t);
    Parser ps(lx.run());
    return ps.run();
}

QString printFormula(const Node& n)
{
    QString out;
    print(out, n);
    return out;
}

QString quoteSheetName(const QString& name)
{
    bool plain = !name.isEmpty() && !name[0].isDigit() && name[0] != QLatin1Char('.');
    for (QChar c : name)
        if (!isNameChar(c))
            plain = false;
    RefPart dummy;
    if (plain && parseRefText(name, dummy))
        plain = false;
    const QString up = name.toUpper();
    if (up == QLatin1String("TRUE") || up == QLatin1String("FALSE"))
        plain = false;
    if (plain)
        return name;
    return QLatin1Char('\'') + QString(name).replace(QLatin1String("'"), QLatin1String("''")) + QLatin1Char('\'');
}

QString errorString(ErrorValue e)
{
    for (const ErrorLiteral& l : kErrors)
        if (l.e == e)
            return QLatin1String(l.text);
    return QStringLiteral("#VALUE!");
}

} // namespace cell::formula
