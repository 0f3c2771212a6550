// Date and time functions: TODAY, NOW, DATE, YEAR ... SECOND, TIME, WEEKDAY, DAYS, DATEDIF.

#include "cell/formula/FunctionSupport.h"

#include <QDate>
#include <QDateTime>

namespace cell::formula::fn {

namespace {

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

const FnDef kTable[] = {
    {"DATE", fDate, 3, 3, false, true},
    {"DATEDIF", fDatedif, 3, 3, false, false},
    {"DAY", fDay, 1, 1, false, true},
    {"DAYS", fDays, 2, 2, false, false},
    {"HOUR", fHour, 1, 1, false, true},
    {"MINUTE", fMinute, 1, 1, false, true},
    {"MONTH", fMonth, 1, 1, false, true},
    {"NOW", fNow, 0, 0, true, false},
    {"SECOND", fSecond, 1, 1, false, true},
    {"TIME", fTime, 3, 3, false, false},
    {"TODAY", fToday, 0, 0, true, false},
    {"WEEKDAY", fWeekday, 1, 2, false, true},
    {"YEAR", fYear, 1, 1, false, true},
};

} // namespace

std::span<const FnDef> dateFunctions()
{
    return kTable;
}

} // namespace cell::formula::fn
