// Logical and information functions: IF, IFERROR, AND, OR, NOT, the IS... tests, N.

#include "cell/formula/FunctionSupport.h"

namespace cell::formula::fn {

namespace {

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

const FnDef kTable[] = {
    {"AND", fAnd, 1, -1, false, false},
    {"FALSE", fFalse, 0, 0, false, false},
    {"IF", fIf, 2, 3, false, true},
    {"IFERROR", fIfError, 2, 2, false, true},
    {"IFNA", fIfNa, 2, 2, false, true},
    {"ISBLANK", fIsBlank, 1, 1, false, true},
    {"ISERR", fIsErr, 1, 1, false, true},
    {"ISERROR", fIsError, 1, 1, false, true},
    {"ISLOGICAL", fIsLogical, 1, 1, false, true},
    {"ISNA", fIsNa, 1, 1, false, true},
    {"ISNUMBER", fIsNumber, 1, 1, false, true},
    {"ISTEXT", fIsText, 1, 1, false, true},
    {"N", fN, 1, 1, false, true},
    {"NA", fNa, 0, 0, false, false},
    {"NOT", fNot, 1, 1, false, true},
    {"OR", fOr, 1, -1, false, false},
    {"TRUE", fTrue, 0, 0, false, false},
    {"XOR", fXor, 1, -1, false, false},
};

} // namespace

std::span<const FnDef> logicFunctions()
{
    return kTable;
}

} // namespace cell::formula::fn
