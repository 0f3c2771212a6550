// Mathematical functions: sums and products, rounding, powers and logarithms, MOD, CEILING, FLOOR, PI, RAND.

#include "cell/formula/FunctionSupport.h"

#include <QRandomGenerator>

namespace cell::formula::fn {

namespace {

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

const FnDef kTable[] = {
    {"ABS", unaryMath<absOf>, 1, 1, false, true},
    {"CEILING", fCeiling, 1, 2, false, false},
    {"EXP", unaryMath<expOf>, 1, 1, false, true},
    {"FLOOR", fFloor, 1, 2, false, false},
    {"INT", unaryMath<intOf>, 1, 1, false, true},
    {"LN", fLn, 1, 1, false, true},
    {"LOG", fLog, 1, 2, false, true},
    {"LOG10", fLog10, 1, 1, false, true},
    {"MOD", fMod, 2, 2, false, true},
    {"PI", fPi, 0, 0, false, false},
    {"POWER", fPower, 2, 2, false, true},
    {"PRODUCT", fProduct, 1, -1, false, false},
    {"RAND", fRand, 0, 0, true, false},
    {"ROUND", fRound, 2, 2, false, true},
    {"ROUNDDOWN", fRoundDown, 2, 2, false, true},
    {"ROUNDUP", fRoundUp, 2, 2, false, true},
    {"SIGN", unaryMath<signOf>, 1, 1, false, true},
    {"SQRT", fSqrt, 1, 1, false, true},
    {"SUM", fSum, 1, -1, false, false},
    {"SUMPRODUCT", fSumProduct, 1, -1, false, false},
    {"SUMSQ", fSumSq, 1, -1, false, false},
    {"TRUNC", fTrunc, 1, 2, false, true},
};

} // namespace

std::span<const FnDef> mathsFunctions()
{
    return kTable;
}

} // namespace cell::formula::fn
