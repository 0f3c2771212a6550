#include "cell/NumberFormat.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <array>
#include <cmath>

namespace cell {

namespace {

QDate epoch() { return QDate(1899, 12, 30); }
constexpr double kLastSerial = 2958465.99999;   // 9999-12-31 23:59:59

const std::array<const char*, 12> kMonthShort = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const std::array<const char*, 12> kMonthLong = {"January", "February", "March",     "April",   "May",      "June",
                                                "July",    "August",   "September", "October", "November", "December"};

QString chineseDigit(int d)
{
    static const QString digits = QStringLiteral("〇一二三四五六七八九");
    return digits.mid(d, 1);
}

// 0..99 the way dates and times are read out: 十, 十一, 二十, 二十一.
QString chineseNumber(int n)
{
    if (n < 10)
        return chineseDigit(n);
    QString s;
    if (n >= 20)
        s += chineseDigit(n / 10);
    s += QStringLiteral("十");
    if (n % 10)
        s += chineseDigit(n % 10);
    return s;
}

// A year digit by digit: 一九九七.
QString chineseYear(int year)
{
    QString s;
    for (QChar c : QString::number(year))
        s += chineseDigit(c.digitValue());
    return s;
}

QString chineseWeekday(const QDate& d)
{
    static const QString days = QStringLiteral("一二三四五六日");
    return days.mid(d.dayOfWeek() - 1, 1);
}

QString twoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

QString yearShort(const QDate& d) { return twoDigits(d.year() % 100); }

QString amPm(const QTime& t) { return t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"); }
QString chineseAmPm(const QTime& t) { return t.hour() < 12 ? QStringLiteral("上午") : QStringLiteral("下午"); }
int hour12(const QTime& t)
{
    int h = t.hour() % 12;
    return h == 0 ? 12 : h;
}

// Splits a serial into day and second of the day, rounding to the nearest second.
void splitSerial(double serial, qint64& day, int& second)
{
    double whole = std::floor(serial);
    day = qint64(whole);
    second = int(std::llround((serial - whole) * 86400.0));
    if (second >= 86400) {
        ++day;
        second = 0;
    }
}

QTime timeOfSerial(double serial)
{
    qint64 day;
    int second;
    splitSerial(serial, day, second);
    return QTime(0, 0).addSecs(second);
}

// Rounds |v| to `decimals` places, halves away from zero, after trimming binary noise below 15 significant digits
// (2.675 shows as 2.68, as spreadsheets show it). Returns the digits without sign: integer part and fraction.
void roundDecimal(double v, int decimals, QString& intPart, QString& fracPart)
{
    decimals = std::clamp(decimals, 0, MaxDecimals);   // the number conversion allows no more
    double a = std::fabs(v);
    double scaled = a * std::pow(10.0, decimals);
    if (scaled < 9e15) {
        scaled = QString::number(scaled, 'g', 15).toDouble();
        qint64 r = qint64(std::floor(scaled + 0.5));
        QString digits = QString::number(r);
        if (decimals > 0) {
            if (digits.size() <= decimals)
                digits = QString(decimals - digits.size() + 1, QLatin1Char('0')) + digits;
            intPart = digits.left(digits.size() - decimals);
            fracPart = digits.right(decimals);
        } else {
            intPart = digits;
            fracPart.clear();
        }
        return;
    }
    QString s = QString::number(a, 'f', decimals);
    int dot = s.indexOf(QLatin1Char('.'));
    intPart = dot < 0 ? s : s.left(dot);
    fracPart = dot < 0 ? QString() : s.mid(dot + 1);
}

QString groupThousands(const QString& digits)
{
    QString out;
    int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits[i];
    }
    return out;
}

// `decimals` < 0: as many as needed (at most `maxAuto`, trailing zeros dropped).
QString fixedText(double v, int decimals, bool separator, int maxAuto)
{
    QString intPart, fracPart;
    bool autoDecimals = decimals < 0;
    roundDecimal(v, autoDecimals ? maxAuto : decimals, intPart, fracPart);
    if (autoDecimals) {
        while (fracPart.endsWith(QLatin1Char('0')))
            fracPart.chop(1);
    }
    bool zero = intPart.count(QLatin1Char('0')) == intPart.size() && fracPart.count(QLatin1Char('0')) == fracPart.size();
    QString s = separator ? groupThousands(intPart) : intPart;
    if (!fracPart.isEmpty())
        s += QLatin1Char('.') + fracPart;
    if (v < 0 && !zero)
        s.prepend(QLatin1Char('-'));
    return s;
}

// Decimal places the general format gives a number: about ten significant digits in all.
int generalDecimals(double a)
{
    int intDigits = a >= 1 ? int(std::floor(std::log10(a))) + 1 : 1;
    return std::max(0, 10 - intDigits);
}

bool needsScientific(double a) { return a != 0 && (a >= 1e15 || a < 1e-4); }

QString scientificText(double v)
{
    QString s = QString::number(v, 'E', 5);   // 1.23457E+15
    int e = s.indexOf(QLatin1Char('E'));
    QString mant = s.left(e);
    if (mant.contains(QLatin1Char('.'))) {
        while (mant.endsWith(QLatin1Char('0')))
            mant.chop(1);
        if (mant.endsWith(QLatin1Char('.')))
            mant.chop(1);
    }
    return mant + s.mid(e);
}

QString currencySymbol(int code)
{
    switch (code) {
    case 3:
        return QStringLiteral("$");
    case 4:
        return QStringLiteral("€");
    default:
        return QStringLiteral("¥");
    }
}

} // namespace

bool isValidDateSerial(double serial) { return std::isfinite(serial) && serial >= 0 && serial <= kLastSerial; }

double toDateSerial(const QDateTime& dt)
{
    qint64 days = epoch().daysTo(dt.date());
    return double(days) + QTime(0, 0).secsTo(dt.time()) / 86400.0;
}

QDateTime fromDateSerial(double serial)
{
    qint64 day;
    int second;
    splitSerial(serial, day, second);
    return QDateTime(epoch().addDays(day), QTime(0, 0).addSecs(second));
}

QString generalNumberText(double v)
{
    if (!std::isfinite(v))
        return errorText(ErrorValue::Num);
    double a = std::fabs(v);
    if (needsScientific(a))
        return scientificText(v);
    return fixedText(v, -1, false, generalDecimals(a));
}

QString generalNumberText(double v, int maxChars)
{
    QString full = generalNumberText(v);
    if (full.size() <= maxChars || !std::isfinite(v))
        return full;
    const double a = std::fabs(v);
    const int sign = v < 0 ? 1 : 0;
    if (!needsScientific(a)) {
        const int intDigits = a >= 1 ? int(std::floor(std::log10(a))) + 1 : 1;
        if (intDigits + sign <= maxChars) {
            const int decimals = std::max(0, maxChars - sign - intDigits - 1);
            QString s = fixedText(v, -1, false, decimals);
            // Rounding may carry into a new digit (9.99 -> 10); a number that rounds to nothing is shown in
            // scientific notation instead.
            const bool lost = a != 0 && s.count(QLatin1Char('0')) + s.count(QLatin1Char('.')) + sign == s.size();
            if (s.size() <= maxChars && !lost)
                return s;
        }
    }
    // Scientific: one digit, the point and as many decimals as fit before "E+nn".
    QString best;
    for (int decimals = 5; decimals >= 0; --decimals) {
        QString s = QString::number(v, 'E', decimals);
        const int e = int(s.indexOf(QLatin1Char('E')));
        QString mant = s.left(e);
        if (mant.contains(QLatin1Char('.'))) {
            while (mant.endsWith(QLatin1Char('0')))
                mant.chop(1);
            if (mant.endsWith(QLatin1Char('.')))
                mant.chop(1);
        }
        best = mant + s.mid(e);
        if (best.size() <= maxChars)
            return best;
    }
    return best;
}

QString formatNumber(double v, const CellFormat& f)
{
    if (!std::isfinite(v))
        return errorText(ErrorValue::Num);
    bool sep = f.separator == 2;
    switch (f.numType) {
    case NumCurrency: {
        QString s = fixedText(std::fabs(v), f.decimals < 0 ? 2 : f.decimals, true, 2);
        bool negative = v < 0 && std::any_of(s.begin(), s.end(), [](QChar c) { return c >= u'1' && c <= u'9'; });
        return (negative ? QStringLiteral("-") : QString()) + currencySymbol(f.currency) + s;
    }
    case NumPercent:
        return fixedText(v * 100.0, f.decimals, sep, 2) + QLatin1Char('%');
    default: {
        double a = std::fabs(v);
        if (f.decimals < 0 && needsScientific(a))
            return scientificText(v);
        return fixedText(v, f.decimals, sep, generalDecimals(a));
    }
    }
}

QString formatDate(double serial, int style)
{
    QDateTime dt = fromDateSerial(serial);
    QDate d = dt.date();
    QTime t = dt.time();
    int y = d.year(), m = d.month(), day = d.day();
    QString Y = QString::number(y), M = QString::number(m), D = QString::number(day);
    switch (style) {
    case 2:
        return QStringLiteral("%1-%2-%3 %4:%5:%6")
            .arg(Y, twoDigits(m), twoDigits(day), twoDigits(t.hour()), twoDigits(t.minute()), twoDigits(t.second()));
    case 3:
        return QStringLiteral("%1-%2-%3 %4:%5 %6").arg(Y, M, D).arg(hour12(t)).arg(twoDigits(t.minute()), amPm(t));
    case 4:
        return QStringLiteral("%1-%2-%3 %4:%5").arg(Y, M, D).arg(t.hour()).arg(twoDigits(t.minute()));
    case 5:
        return QStringLiteral("%1-%2-%3").arg(yearShort(d), M, D);
    case 6:
        return QStringLiteral("%1-%2-%3").arg(M, D, yearShort(d));
    case 7:
        return QStringLiteral("%1-%2-%3").arg(twoDigits(m), twoDigits(day), yearShort(d));
    case 8:
        return QStringLiteral("%1-%2").arg(M, D);
    case 9:
        return chineseYear(y) + QStringLiteral("年") + chineseNumber(m) + QStringLiteral("月") + chineseNumber(day)
            + QStringLiteral("日");
    case 10:
        return chineseYear(y) + QStringLiteral("年") + chineseNumber(m) + QStringLiteral("月");
    case 11:
        return chineseNumber(m) + QStringLiteral("月") + chineseNumber(day) + QStringLiteral("日");
    case 12:
        return QStringLiteral("%1年%2月%3日").arg(Y, M, D);
    case 13:
        return QStringLiteral("%1年%2月").arg(Y, M);
    case 14:
        return QStringLiteral("%1月%2日").arg(M, D);
    case 15:
        return QStringLiteral("星期") + chineseWeekday(d);
    case 16:
        return chineseWeekday(d);
    case 17:
        return QStringLiteral("%1-%2").arg(D, QLatin1String(kMonthShort[m - 1]));
    case 18:
        return QStringLiteral("%1-%2-%3").arg(D, QLatin1String(kMonthShort[m - 1]), yearShort(d));
    case 19:
        return QStringLiteral("%1-%2-%3").arg(twoDigits(day), QLatin1String(kMonthShort[m - 1]), yearShort(d));
    case 20:
        return QStringLiteral("%1-%2").arg(QLatin1String(kMonthShort[m - 1]), yearShort(d));
    case 21:
        return QStringLiteral("%1-%2").arg(QLatin1String(kMonthLong[m - 1]), yearShort(d));
    default:
        return QStringLiteral("%1-%2-%3").arg(Y, M, D);
    }
}

QString formatTime(double serial, int style)
{
    QTime t = timeOfSerial(serial);
    int h = t.hour(), mi = t.minute(), s = t.second();
    switch (style) {
    case 2:
        return QStringLiteral("%1:%2 %3").arg(hour12(t)).arg(twoDigits(mi), amPm(t));
    case 3:
        return QStringLiteral("%1:%2:%3").arg(h).arg(twoDigits(mi), twoDigits(s));
    case 4:
        return QStringLiteral("%1:%2:%3 %4").arg(hour12(t)).arg(twoDigits(mi), twoDigits(s), amPm(t));
    case 5:
        return QStringLiteral("%1时%2分").arg(h).arg(twoDigits(mi));
    case 6:
        return QStringLiteral("%1时%2分%3秒").arg(h).arg(twoDigits(mi), twoDigits(s));
    case 7:
        return QStringLiteral("%1%2时%3分").arg(chineseAmPm(t)).arg(hour12(t)).arg(twoDigits(mi));
    case 8:
        return QStringLiteral("%1%2时%3分%4秒").arg(chineseAmPm(t)).arg(hour12(t)).arg(twoDigits(mi), twoDigits(s));
    case 9:
        return chineseNumber(h) + QStringLiteral("时") + chineseNumber(mi) + QStringLiteral("分");
    case 10:
        return chineseAmPm(t) + chineseNumber(hour12(t)) + QStringLiteral("时") + chineseNumber(mi)
            + QStringLiteral("分");
    default:
        return QStringLiteral("%1:%2").arg(h).arg(twoDigits(mi));
    }
}

QString displayText(const Value& value, const CellFormat& f)
{
    if (std::holds_alternative<Empty>(value))
        return QString();
    if (const QString* s = std::get_if<QString>(&value))
        return *s;
    if (const bool* b = std::get_if<bool>(&value))
        return *b ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (const ErrorValue* e = std::get_if<ErrorValue>(&value))
        return errorText(*e);
    double v = std::get<double>(value);
    switch (f.numType) {
    case NumDate:
        return isValidDateSerial(v) ? formatDate(v, f.dateStyle) : generalNumberText(v);
    case NumTime:
        return isValidDateSerial(v) ? formatTime(v, f.timeStyle) : generalNumberText(v);
    case NumGeneral:
        if (f.decimals < 0 && f.separator != 2)
            return generalNumberText(v);
        return formatNumber(v, f);
    default:
        return formatNumber(v, f);
    }
}

QString displayText(const Cell& cell) { return displayText(cell.value, cell.format); }

} // namespace cell
