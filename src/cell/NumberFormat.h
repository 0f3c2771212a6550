#pragma once
// The text a cell shows: its value formatted by the number type of its format (general, number, currency, date,
// time, percent). Used by the screen view, the page renderer and the CLI, so that all three show the same text.

#include "cell/Workbook.h"

#include <QDateTime>
#include <QString>

namespace cell {

// The text the cell shows under its format.
QString displayText(const Cell& cell);
// The text `value` shows under `format`.
QString displayText(const Value& value, const CellFormat& format);

// A number as the general format shows it: no trailing zeros, about ten significant digits, scientific notation
// only for very large or very small magnitudes.
QString generalNumberText(double v);
// The same within `maxChars` characters, as a narrow column shows it: fewer decimals, then scientific notation.
// May still be longer when nothing shorter represents the number (the caller then shows ####).
QString generalNumberText(double v, int maxChars);
// A number under number type 1, 2 or 5 (decimals, thousands separator, currency symbol, percent).
QString formatNumber(double v, const CellFormat& format);
// A date serial (days since 1899-12-30, the fraction is the time of day) in date style 1..21 / time style 1..10.
// Out-of-range styles fall back to style 1.
QString formatDate(double serial, int dateStyle);
QString formatTime(double serial, int timeStyle);

// Conversions between date serials and QDateTime (local, no time zone), rounded to the second.
double toDateSerial(const QDateTime& dt);
QDateTime fromDateSerial(double serial);
// Serial numbers a date can show (0001-01-01 .. 9999-12-31 relative to 1899-12-30).
bool isValidDateSerial(double serial);

} // namespace cell
