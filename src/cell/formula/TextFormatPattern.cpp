// The format patterns of TEXT() ("0.00", "#,##0", "yyyy年m月d日", "[DBNum1]", ...): formatWithPattern.

#include "cell/formula/FunctionSupport.h"

#include <QDate>
#include <QRegularExpression>

namespace cell::formula {

using namespace fn;

namespace {

// ---- text formatting (TEXT) ---------------------------------------------------------------------------------------

QString groupThousands(const QString& digits)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i && (n - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits[i];
    }
    return out;
}

// "1005" → 一千零五 (upper: 壹仟零伍).
QString chineseInteger(QStringView digits, bool upper, bool shortTeens)
{
    static const char16_t lowerDigits[] = u"零一二三四五六七八九";
    static const char16_t upperDigits[] = u"零壹贰叁肆伍陆柒捌玖";
    static const char16_t* lowerUnits[] = {u"", u"十", u"百", u"千"};
    static const char16_t* upperUnits[] = {u"", u"拾", u"佰", u"仟"};
    static const char16_t* bigUnits[] = {u"", u"万", u"亿", u"万亿"};
    const char16_t* dg = upper ? upperDigits : lowerDigits;
    const char16_t** units = upper ? upperUnits : lowerUnits;
    while (digits.size() > 1 && digits[0] == QLatin1Char('0'))
        digits = digits.mid(1);
    if (digits.size() > 16)
        return digits.toString();
    if (digits == QLatin1String("0"))
        return QString(QChar(dg[0]));
    QString out;
    bool zero = false;   // a zero is owed before the next non-zero digit
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        const int d = digits[i].unicode() - '0';
        const int pos = n - 1 - i;   // power of ten
        if (d == 0) {
            zero = !out.isEmpty();
        } else {
            if (zero)
                out += QChar(dg[0]);
            zero = false;
            if (!(shortTeens && d == 1 && pos % 4 == 1 && out.isEmpty()))
                out += QChar(dg[d]);
            out += QString::fromUtf16(units[pos % 4]);
        }
        if (pos % 4 == 0 && pos > 0) {
            // the group unit, unless the whole group of four was zero
            const int from = std::max(0, i - 3);
            bool any = false;
            for (int k = from; k <= i; ++k)
                any = any || digits[k] != QLatin1Char('0');
            if (any)
                out += QString::fromUtf16(bigUnits[pos / 4]);
        }
    }
    return out;
}

// Replaces the digit runs of formatted text with Chinese numerals: the integer part read with units, digits after
// a decimal point one by one; in dates the year digit by digit (二〇二四) and month and day with units (十二).
QString chineseDigits(const QString& text, bool upper, bool date)
{
    static const char16_t lowerDigits[] = u"〇一二三四五六七八九";
    static const char16_t upperDigits[] = u"零壹贰叁肆伍陆柒捌玖";
    const char16_t* dg = upper ? upperDigits : lowerDigits;
    QString out;
    const int n = int(text.size());
    for (int i = 0; i < n;) {
        if (!text[i].isDigit() || text[i].unicode() > 127) {
            out += text[i++];
            continue;
        }
        int j = i;
        while (j < n && (text[j].isDigit() || (text[j] == QLatin1Char(',') && !date)) && text[j].unicode() < 128)
            ++j;
        QString run = text.mid(i, j - i);
        run.remove(QLatin1Char(','));
        const bool afterPoint = i > 0 && text[i - 1] == QLatin1Char('.');
        if (afterPoint || (date && run.size() >= 3)) {
            for (QChar ch : run)
                out += QChar(dg[ch.unicode() - '0']);
        } else {
            out += chineseInteger(run, upper, date);
        }
        i = j;
    }
    return out;
}

bool isDatePattern(const QString& p)
{
    bool inQuote = false;
    for (int i = 0; i < p.size(); ++i) {
        const QChar ch = p[i];
        if (ch == QLatin1Char('"'))
            inQuote = !inQuote;
        else if (!inQuote && ch == QLatin1Char('\\'))
            ++i;
        else if (!inQuote) {
            const QChar l = ch.toLower();
            if (l == QLatin1Char('y') || l == QLatin1Char('d') || l == QLatin1Char('h') || l == QLatin1Char('s')
                || l == QLatin1Char('m') || l == QLatin1Char('a'))
                return true;
        }
    }
    return false;
}

QString formatDate(double v, const QString& p)
{
    int y, mo, d;
    if (!serialToDate(v, y, mo, d))
        return QString();
    double frac = v - std::floor(v);
    int secs = int(std::floor(frac * 86400.0 + 0.5));
    if (secs >= 86400)
        secs = 86399;
    const int hh = secs / 3600, mi = (secs / 60) % 60, ss = secs % 60;
    const bool ampm = p.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive) || p.contains(QStringLiteral("上午/下午"));
    static const char* monthsShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* monthsLong[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
    static const char* daysShort[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* daysLong[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    static const char16_t cnDays[] = u"一二三四五六日";
    const int dow = QDate(y, mo, d).dayOfWeek();   // 1 = Monday
    QString out;
    bool lastWasHour = false;
    const int n = int(p.size());
    for (int i = 0; i < n;) {
        const QChar ch = p[i];
        const QChar l = ch.toLower();
        int run = 1;
        while (i + run < n && p[i + run].toLower() == l)
            ++run;
        if (ch == QLatin1Char('"')) {
            int j = i + 1;
            while (j < n && p[j] != QLatin1Char('"'))
                out += p[j++];
            i = j + 1;
            continue;
        }
        if (ch == QLatin1Char('\\') && i + 1 < n) {
            out += p[i + 1];
            i += 2;
            continue;
        }
        if (p.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            out += hh < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
            continue;
        }
        if (p.mid(i, 5) == QStringLiteral("上午/下午")) {
            out += hh < 12 ? QStringLiteral("上午") : QStringLiteral("下午");
            i += 5;
            continue;
        }
        if (l == QLatin1Char('y')) {
            out += run <= 2 ? QString::number(y % 100).rightJustified(2, QLatin1Char('0'))
                            : QString::number(y).rightJustified(4, QLatin1Char('0'));
        } else if (l == QLatin1Char('m')) {
            // minutes after an hour or before seconds, else month
            bool minutes = lastWasHour;
            if (!minutes) {
                int j = i + run;
                while (j < n && !p[j].isLetter())
                    ++j;
                minutes = j < n && p[j].toLower() == QLatin1Char('s') && run <= 2;
            }
            if (minutes)
                out += run == 1 ? QString::number(mi) : QString::number(mi).rightJustified(2, QLatin1Char('0'));
            else if (run == 1)
                out += QString::number(mo);
            else if (run == 2)
                out += QString::number(mo).rightJustified(2, QLatin1Char('0'));
            else if (run == 3)
                out += QLatin1String(monthsShort[mo - 1]);
            else
                out += QLatin1String(monthsLong[mo - 1]);
        } else if (l == QLatin1Char('d')) {
            if (run == 1)
                out += QString::number(d);
            else if (run == 2)
                out += QString::number(d).rightJustified(2, QLatin1Char('0'));
            else if (run == 3)
                out += QLatin1String(daysShort[dow - 1]);
            else
                out += QLatin1String(daysLong[dow - 1]);
        } else if (l == QLatin1Char('a') && run >= 3) {
            out += (run == 3 ? QString() : QStringLiteral("星期")) + QChar(cnDays[dow - 1]);
        } else if (l == QLatin1Char('h')) {
            int h = hh;
            if (ampm) {
                h = hh % 12;
                if (h == 0)
                    h = 12;
            }
            out += run == 1 ? QString::number(h) : QString::number(h).rightJustified(2, QLatin1Char('0'));
        } else if (l == QLatin1Char('s')) {
            out += run == 1 ? QString::number(ss) : QString::number(ss).rightJustified(2, QLatin1Char('0'));
        } else {
            out += QString(run, ch);
        }
        if (l == QLatin1Char('h'))
            lastWasHour = true;
        else if (ch.isLetter())
            lastWasHour = false;
        i += run;
    }
    return out;
}

QString formatNumberPattern(double v, const QString& pat)
{
    // split into literal prefix, the number placeholders and a literal suffix
    QString prefix, suffix, body;
    int state = 0;   // 0 prefix, 1 body, 2 suffix
    bool percent = false;
    const int n = int(pat.size());
    for (int i = 0; i < n; ++i) {
        QChar ch = pat[i];
        QString lit;
        bool isLit = true;
        if (ch == QLatin1Char('"')) {
            int j = i + 1;
            while (j < n && pat[j] != QLatin1Char('"'))
                lit += pat[j++];
            i = j;
        } else if (ch == QLatin1Char('\\') && i + 1 < n) {
            lit = pat[++i];
        } else if (ch == QLatin1Char('_') && i + 1 < n) {   // room for the width of the next character
            lit = QStringLiteral(" ");
            ++i;
        } else if (ch == QLatin1Char('*') && i + 1 < n) {   // fill character: no column to fill here
            ++i;
        } else if (ch == QLatin1Char('0') || ch == QLatin1Char('#') || ch == QLatin1Char('?')
                   || ((ch == QLatin1Char('.') || ch == QLatin1Char(',')) && state == 1)
                   || (ch == QLatin1Char('.') && i + 1 < n
                       && (pat[i + 1] == QLatin1Char('0') || pat[i + 1] == QLatin1Char('#')))) {
            isLit = false;
            if (state == 2) {   // placeholders after a literal in the middle: keep it inside the body
                body += suffix;
                suffix.clear();
            }
            state = 1;
            body += ch;
        } else if ((ch == QLatin1Char('E') || ch == QLatin1Char('e')) && state == 1 && i + 1 < n
                   && (pat[i + 1] == QLatin1Char('+') || pat[i + 1] == QLatin1Char('-'))) {
            isLit = false;
            body += QLatin1Char('E');
            body += pat[++i];
        } else {
            if (ch == QLatin1Char('%'))
                percent = true;
            lit = ch;
        }
        if (isLit) {
            if (state == 0)
                prefix += lit;
            else
                suffix += lit, state = 2;
        }
    }
    if (percent)
        v *= 100;
    if (body.isEmpty())
        return prefix + suffix;
    const bool neg = v < 0;
    v = std::fabs(v);
    const int ePos = body.indexOf(QLatin1Char('E'));
    QString mant = ePos >= 0 ? body.left(ePos) : body;
    // trailing commas scale by thousands
    while (mant.endsWith(QLatin1Char(','))) {
        v /= 1000;
        mant.chop(1);
    }
    const bool group = mant.contains(QLatin1Char(','));
    mant.remove(QLatin1Char(','));
    const int dot = mant.indexOf(QLatin1Char('.'));
    const QString intPat = dot >= 0 ? mant.left(dot) : mant;
    const QString fracPat = dot >= 0 ? mant.mid(dot + 1) : QString();
    int exponent = 0;
    if (ePos >= 0 && v != 0) {
        const int intDigits = std::max(1, int(intPat.size()));
        exponent = int(std::floor(std::log10(v))) - (intDigits - 1);
        v /= std::pow(10.0, exponent);
        if (excelRound(v, int(fracPat.size()), 0) >= std::pow(10.0, intDigits)) {
            v /= 10;
            ++exponent;
        }
    }
    const double r = excelRound(v, int(fracPat.size()), 0);
    QString digits = QString::number(r, 'f', int(fracPat.size()));
    QString ip = digits.section(QLatin1Char('.'), 0, 0);
    QString fp = digits.section(QLatin1Char('.'), 1);
    const int minInt = int(intPat.count(QLatin1Char('0')));
    if (ip == QLatin1String("0") && minInt == 0)
        ip.clear();
    while (ip.size() < minInt)
        ip.prepend(QLatin1Char('0'));
    if (group)
        ip = groupThousands(ip);
    // optional fraction digits (#) drop trailing zeros
    int keep = int(fp.size());
    while (keep > 0 && fracPat[keep - 1] != QLatin1Char('0') && fp[keep - 1] == QLatin1Char('0'))
        --keep;
    fp.truncate(keep);
    QString out = ip;
    if (dot >= 0 && (!fp.isEmpty() || fracPat.isEmpty()))
        out += QLatin1Char('.') + fp;
    if (ePos >= 0) {
        const QChar sign = body[ePos + 1];
        const int expDigits = std::max(1, int(body.size()) - ePos - 2);
        out += QLatin1Char('E');
        if (exponent < 0)
            out += QLatin1Char('-');
        else if (sign == QLatin1Char('+'))
            out += QLatin1Char('+');
        out += QString::number(std::abs(exponent)).rightJustified(expDigits, QLatin1Char('0'));
    }
    // a negative number keeps its sign even when it rounds to zero ("-0.00"), as spreadsheets show it
    return (neg ? QStringLiteral("-") : QString()) + prefix + out + suffix;
}

} // namespace

QString formatWithPattern(double v, const QString& pattern)
{
    QStringList sections;
    {
        QString cur;
        bool inQuote = false;
        for (int i = 0; i < pattern.size(); ++i) {
            const QChar ch = pattern[i];
            if (ch == QLatin1Char('"'))
                inQuote = !inQuote;
            if (ch == QLatin1Char(';') && !inQuote) {
                sections << cur;
                cur.clear();
                continue;
            }
            cur += ch;
            if (ch == QLatin1Char('\\') && i + 1 < pattern.size())
                cur += pattern[++i];
        }
        sections << cur;
    }
    QString p = sections[0];
    if (v < 0 && sections.size() >= 2) {
        p = sections[1];
        v = -v;
    } else if (v == 0 && sections.size() >= 3) {
        p = sections[2];
    }
    // [DBNum1] / [DBNum2]: Chinese numerals (一百二十三 / 壹佰贰拾叁)
    static const QRegularExpression dbnum(QStringLiteral("\\[DBNum([123])\\]"), QRegularExpression::CaseInsensitiveOption);
    int chinese = 0;
    if (const auto m = dbnum.match(p); m.hasMatch())
        chinese = m.capturedView(1).toInt() == 2 ? 2 : 1;
    // colour and condition brackets such as [Red] are not shown
    p.remove(QRegularExpression(QStringLiteral("\\[(?!h\\]|m\\]|s\\])[^\\]]*\\]"), QRegularExpression::CaseInsensitiveOption));
    const QString t = p.trimmed();
    QString out;
    const bool date = !t.isEmpty() && isDatePattern(p) && t.compare(QLatin1String("General"), Qt::CaseInsensitive) != 0;
    if (t.isEmpty() || t.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0
        || t == QStringLiteral("G/通用格式") || t == QLatin1String("@"))
        out = generalNumberText(v);
    else if (date)
        out = formatDate(v, p);
    else
        out = formatNumberPattern(v, p);
    return chinese ? chineseDigits(out, chinese == 2, date) : out;
}

} // namespace cell::formula
