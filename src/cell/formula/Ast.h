#pragma once
// Inside of the formula engine: the syntax tree of a formula, its parser and printer, and the evaluator's value
// types. Nothing here is meant for callers outside src/cell/formula.

#include "cell/Workbook.h"

#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace cell::formula {

enum class Op : quint8 { Add, Sub, Mul, Div, Pow, Concat, Eq, Ne, Lt, Gt, Le, Ge };

// One end of a reference: column and row from 1, each relative or absolute ($).
struct RefPart {
    int col = 1, row = 1;
    bool absCol = false, absRow = false;
};

struct Array;
struct FnDef;
struct Node;
using NodePtr = std::unique_ptr<Node>;

struct Node {
    enum Kind : quint8 {
        Num, Str, Bool, Err,   // constants
        Ref, Area,             // a cell, a rectangle (a : b)
        Func,                  // text = upper-case name, fn = nullptr when unknown (#NAME?)
        Bin, Neg, Plus, Pct,   // operators (Bin: a chain of one precedence level); unary minus / plus, postfix %
        Paren,                 // parentheses as typed (kept for printing)
        Missing,               // an omitted argument: f(a,,b)
        Name,                  // an unknown name (#NAME?)
        ArrayConst             // {1,2;3,4}: arr
    };
    Kind kind = Num;
    ErrorValue err = ErrorValue::Value;
    bool boolean = false;
    bool sheetGiven = false;   // Ref/Area: text holds the sheet name
    quint8 whole = 0;          // Area: 1 whole columns ("A:C", rows 1..MaxRows), 2 whole rows ("3:5")
    int sheet = -1;            // Ref/Area bound sheet: -1 the formula's own, -2 a sheet that does not exist
    double num = 0;
    QString text;
    RefPart a, b;
    const FnDef* fn = nullptr;
    std::vector<NodePtr> kids;
    std::vector<Op> ops;       // Bin: the operators between kids[i] and kids[i+1]
    std::shared_ptr<const Array> arr;
};

// Parses formula text (with or without a leading '='). Throws QuelmarError with a Chinese message.
NodePtr parseFormula(const QString& text);
// Prints the tree back in normalised form (no leading '=').
QString printFormula(const Node& n);
QString quoteSheetName(const QString& name);

// A rectangle of values (array constants, element-wise results).
struct Array {
    int rows = 0, cols = 0;
    std::vector<Value> v;
    const Value& at(int r, int c) const { return v[size_t(r) * size_t(cols) + size_t(c)]; }
};

// ---- evaluation -------------------------------------------------------------------------------------------------

// What an expression gives: a plain value, a reference to cells, or an array of values.
struct Val {
    enum Kind : quint8 { Scalar, RefV, Arr } kind = Scalar;
    Value v;
    int sheet = 0;
    Range r;
    std::shared_ptr<const Array> arr;

    Val() = default;
    Val(Value x) : v(std::move(x)) {}
    static Val ref(int sheet, const Range& r)
    {
        Val o;
        o.kind = RefV;
        o.sheet = sheet;
        o.r = r;
        return o;
    }
    static Val array(std::shared_ptr<const Array> a)
    {
        Val o;
        o.kind = Arr;
        o.arr = std::move(a);
        return o;
    }
};

struct Ctx {
    const Workbook& wb;
    int sheet = 0, col = 1, row = 1;   // where the formula stands
    // Arguments already evaluated for `preCall` (element-wise calls over arrays): the function reads these instead
    // of evaluating its argument nodes.
    const Node* preCall = nullptr;
    const Value* preArgs = nullptr;
    // Rectangles reached through INDIRECT / OFFSET, which the dependency graph cannot know beforehand; the engine
    // makes sure they are calculated before the formula's result is kept.
    std::vector<std::pair<int, Range>>* dynamicRefs = nullptr;
};

using FnImpl = Val (*)(Ctx&, const Node& call);
struct FnDef {
    const char* name;
    FnImpl fn;
    qint8 minArgs, maxArgs;   // maxArgs -1 = any
    bool isVolatile;
    bool elementwise;         // takes single values; given ranges or arrays it is applied to each item
};
const FnDef* findFunction(const QString& upperName);

Val evalNode(Ctx& c, const Node& n);
// The value a formula leaves in its cell (references reduced by implicit intersection, arrays to their first item,
// an empty reference to 0).
Value evalToCell(Ctx& c, const Node& n);

const Value& cellValue(const Workbook& wb, int sheet, int col, int row);
Value scalarOf(Ctx& c, const Val& v);

// Coercions as a spreadsheet does them. Each returns false (and sets `err`) when the value cannot be converted.
bool toNumber(const Value& v, double& out, ErrorValue& err);
bool textToNumber(const QString& s, double& out);   // "12", " 1,234.5 ", "50%", "2024-5-1", "8:30"
QString errorString(ErrorValue e);
// Comparison as the = < > operators do it: numbers < texts < truth values, texts without case. <0, 0, >0.
int compareValues(const Value& a, const Value& b);
inline bool isError(const Value& v) { return std::holds_alternative<ErrorValue>(v); }
inline bool isEmpty(const Value& v) { return std::holds_alternative<Empty>(v); }

// The longest text a formula may produce; longer results are #VALUE!.
constexpr qsizetype MaxTextLength = 32767;

// Number helpers shared by functions.
double roundTo15(double v);   // v with 15 significant digits, as a spreadsheet keeps its numbers
double excelRound(double v, int digits, int mode);   // mode 0 half away from zero, 1 up (away), -1 down (toward)

} // namespace cell::formula
