#include "cell/excel/ExcelFormats.h"

#include <QRegularExpression>

#include <cmath>

namespace cell::excel {

namespace {

// Date styles 1..21 and time styles 1..10 as Excel codes, in the order of the styles.
const char* const DateCodes[21] = {
    "yyyy-m-d", "yyyy-mm-dd hh:mm:ss", "yyyy-m-d h:mm AM/PM", "yyyy-m-d h:mm", "yy-m-d", "m-d-yy", "mm-dd-yy", "m-d",
    "[DBNum1]yyyy\"年\"m\"月\"d\"日\"", "[DBNum1]yyyy\"年\"m\"月\"", "[DBNum1]m\"月\"d\"日\"", "yyyy\"年\"m\"月\"d\"日\"",
    "yyyy\"年\"m\"月\"", "m\"月\"d\"日\"", "aaaa", "aaa", "d-mmm", "d-mmm-yy", "dd-mmm-yy", "mmm-yy", "mmmm-yy"};
const char* const TimeCodes[10] = {"h:mm", "h:mm AM/PM", "h:mm:ss", "h:mm:ss AM/PM", "h\"时\"mm\"分\"",
                                   "h\"时\"mm\"分\"ss\"秒\"", "上午/下午h\"时\"mm\"分\"", "上午/下午h\"时\"mm\"分\"ss\"秒\"",
                                   "[DBNum1]h\"时\"m\"分\"", "[DBNum1]上午/下午h\"时\"m\"分\""};

QString decimalsPart(int decimals)
{
    return decimals > 0 ? QLatin1Char('.') + QString(decimals, QLatin1Char('0')) : QString();
}

// The code without quoted texts, escapes and bracketed parts: what decides what kind of format it is.
QString bareCode(const QString& code)
{
    QString out;
    bool quoted = false;
    int bracket = 0;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('['))
            ++bracket;
        else if (c == QLatin1Char(']'))
            bracket = qMax(0, bracket - 1);
        else if (!bracket)
            out += c;
    }
    return out;
}

} // namespace

QString numberFormatCode(const CellFormat& f)
{
    switch (f.numType) {
    case NumDate:
        return QString::fromUtf8(DateCodes[qBound(1, f.dateStyle, 21) - 1]);
    case NumTime:
        return QString::fromUtf8(TimeCodes[qBound(1, f.timeStyle, 10) - 1]);
    case NumPercent:
        return QLatin1Char('0') + decimalsPart(f.decimals < 0 ? 0 : f.decimals) + QLatin1Char('%');
    case NumCurrency: {
        const QString symbol = f.currency == 3 ? QStringLiteral("$") : f.currency == 4 ? QStringLiteral("€") : QStringLiteral("¥");
        return QLatin1Char('"') + symbol + QStringLiteral("\"#,##0") + decimalsPart(f.decimals < 0 ? 2 : f.decimals);
    }
    case NumNumber:
    case NumGeneral:
    default:
        if (f.numType == NumGeneral && f.decimals < 0 && f.separator != 2)
            return QStringLiteral("General");
        return (f.separator == 2 ? QStringLiteral("#,##0") : QStringLiteral("0"))
            + decimalsPart(f.decimals < 0 ? 0 : f.decimals);
    }
}

void applyNumberFormatCode(const QString& codeIn, CellFormat& f)
{
    const QString code = codeIn.trimmed();
    f.numType = NumGeneral;
    f.decimals = -1;
    f.separator = 0;
    f.currency = 0;
    f.dateStyle = 0;
    f.timeStyle = 0;
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 || code == QLatin1String("@"))
        return;
    for (int i = 0; i < 21; ++i)
        if (code == QString::fromUtf8(DateCodes[i])) {
            f.numType = NumDate;
            f.dateStyle = i + 1;
            return;
        }
    for (int i = 0; i < 10; ++i)
        if (code == QString::fromUtf8(TimeCodes[i])) {
            f.numType = NumTime;
            f.timeStyle = i + 1;
            return;
        }
    const QString first = code.section(QLatin1Char(';'), 0, 0);
    const QString bare = bareCode(first).toLower();
    const bool hasDate = bare.contains(QLatin1Char('y')) || bare.contains(QLatin1Char('d'))
        || (bare.contains(QLatin1Char('m')) && !bare.contains(QLatin1Char('h')) && !bare.contains(QLatin1Char('s')));
    const bool hasTime = bare.contains(QLatin1Char('h')) || bare.contains(QLatin1Char('s'));
    if (hasDate) {
        f.numType = NumDate;
        f.dateStyle = hasTime ? 2 : 1;
        return;
    }
    if (hasTime) {
        f.numType = NumTime;
        f.timeStyle = bare.contains(QLatin1Char('s')) ? 3 : 1;
        return;
    }
    static const QRegularExpression decimalsRe(QStringLiteral("\\.([0#?]+)"));
    const auto m = decimalsRe.match(bare);
    const int decimals = m.hasMatch() ? int(m.captured(1).size()) : 0;
    if (bare.contains(QLatin1Char('%'))) {
        f.numType = NumPercent;
        f.decimals = decimals;
        return;
    }
    const QString symbols = first;   // currency symbols may be quoted or in [$¥-804]
    if (symbols.contains(QStringLiteral("¥")) || symbols.contains(QStringLiteral("￥")) || symbols.contains(QLatin1Char('$'))
        || symbols.contains(QStringLiteral("€"))) {
        f.numType = NumCurrency;
        f.currency = symbols.contains(QStringLiteral("€")) ? 4
            : (symbols.contains(QStringLiteral("¥")) || symbols.contains(QStringLiteral("￥"))) ? 2
                                                                                               : 3;
        f.decimals = decimals;
        f.separator = bare.contains(QLatin1Char(',')) ? 2 : 0;
        return;
    }
    if (bare.contains(QLatin1Char('0')) || bare.contains(QLatin1Char('#'))) {
        f.numType = NumNumber;
        f.decimals = decimals;
        f.separator = bare.contains(QLatin1Char(',')) ? 2 : 0;
    }
}

QString builtinFormatCode(int id)
{
    switch (id) {
    case 0: return QStringLiteral("General");
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 14: return QStringLiteral("yyyy-m-d");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("yyyy-m-d h:mm");
    case 31: return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    case 37: return QStringLiteral("#,##0");
    case 38: return QStringLiteral("#,##0");
    case 39: return QStringLiteral("#,##0.00");
    case 40: return QStringLiteral("#,##0.00");
    case 49: return QStringLiteral("@");
    case 57: return QStringLiteral("yyyy\"年\"m\"月\"");
    case 58: return QStringLiteral("m\"月\"d\"日\"");
    default: return QString();
    }
}

int excelBorderStyle(int lineStyle)
{
    switch (lineStyle) {
    case 0: return 0;
    case 2: return 1;    // thin
    case 3: return 2;    // medium
    case 4: return 5;    // thick
    case 5: return 3;    // dashed
    case 6: return 4;    // dotted
    case 7: return 9;    // dash-dot
    case 8: return 11;   // dash-dot-dot
    case 9: return 8;    // thick dash: medium dashed
    case 10: return 8;   // thick dot: medium dashed (Excel has no thick dots)
    case 11: return 10;  // medium dash-dot
    case 12: return 12;  // medium dash-dot-dot
    default: return 1;
    }
}

int lineStyleOfExcel(int excelStyle)
{
    switch (excelStyle) {
    case 0: return 0;
    case 1: return 2;
    case 2: return 3;
    case 3: return 5;
    case 4: return 6;
    case 5: return 4;
    case 6: return 4;    // double: thick
    case 7: return 6;    // hair: dotted
    case 8: return 9;
    case 9: return 7;
    case 10: return 11;
    case 11: return 8;
    case 12: return 12;
    case 13: return 11;
    default: return 2;
    }
}

// Excel's default font is 7 pixels wide per character at 96 dpi with 5 pixels of padding.
double columnWidthChars(int pixels)
{
    if (pixels <= 0)
        return 0;
    return pixels <= 12 ? pixels / 12.0 : (pixels - 5) / 7.0;
}

// The width in a file counts the padding in: 72 pixels are stored as 10.29 characters.
int columnPixels(double chars)
{
    if (!(chars > 0) || !std::isfinite(chars))
        return 0;
    return chars < 1 ? int(std::lround(chars * 12)) : int(std::lround(chars * 7));
}

double rowHeightPoints(int pixels) { return pixels * 0.75; }

int rowPixels(double points)
{
    if (!(points > 0) || !std::isfinite(points))
        return 0;
    return int(std::lround(points / 0.75));
}

QString excelSheetName(const QString& name)
{
    QString out = name;
    static const QRegularExpression bad(QStringLiteral("[\\[\\]:*?/\\\\]"));
    out.replace(bad, QStringLiteral("_"));
    if (out.startsWith(QLatin1Char('\'')))
        out[0] = QLatin1Char('_');
    out = out.left(31);
    return out.trimmed().isEmpty() ? QStringLiteral("Sheet") : out;
}

} // namespace cell::excel
