// Statistical functions: averages, counts, extremes, spread, ranks and percentiles, and the normal and t
// distributions (representative values of compaction and strength use their quantiles).

#include "cell/formula/FunctionSupport.h"

namespace cell::formula::fn {

namespace {

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

const FnDef kTable[] = {
    {"AVERAGE", fAverage, 1, -1, false, false},
    {"COUNT", fCount, 1, -1, false, false},
    {"COUNTA", fCountA, 1, -1, false, false},
    {"COUNTBLANK", fCountBlank, 1, 1, false, false},
    {"LARGE", fLarge, 2, 2, false, false},
    {"MAX", fMax, 1, -1, false, false},
    {"MEDIAN", fMedian, 1, -1, false, false},
    {"MIN", fMin, 1, -1, false, false},
    {"RANK", fRank, 2, 3, false, false},
    {"RANK.EQ", fRank, 2, 3, false, false},
    {"SMALL", fSmall, 2, 2, false, false},
    {"STDEV", fStdev, 1, -1, false, false},
    {"STDEV.P", fStdevP, 1, -1, false, false},
    {"STDEV.S", fStdev, 1, -1, false, false},
    {"STDEVP", fStdevP, 1, -1, false, false},
    {"VAR", fVar, 1, -1, false, false},
    {"VARP", fVarP, 1, -1, false, false},
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

std::span<const FnDef> statisticsFunctions()
{
    return kTable;
}

} // namespace cell::formula::fn
