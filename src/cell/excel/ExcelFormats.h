#pragma once
// The number formats and line styles of the workbook as Excel writes and reads them: both directions of the
// exchange use the same table, so that a form exported and imported again keeps its formats.

#include "cell/Workbook.h"

#include <QString>

namespace cell::excel {

// The Excel number-format code of a cell format ("General", "0.00", "#,##0", "\"¥\"#,##0.00", "0%",
// "yyyy-m-d", ...).
QString numberFormatCode(const CellFormat& f);
// Reads an Excel number-format code into the number fields of `f` (numType, decimals, separator, currency,
// dateStyle, timeStyle). Built-in format ids are first turned into codes by builtinFormatCode.
void applyNumberFormatCode(const QString& code, CellFormat& f);
QString builtinFormatCode(int id);   // 0..49; "" for an unknown id

// Our line-style codes and Excel's border styles (the LXW_BORDER_* numbering, which is also the order of the
// style names in the file: 0 none, 1 thin, 2 medium, 3 dashed, 4 dotted, 5 thick, 6 double, 7 hair,
// 8 mediumDashed, 9 dashDot, 10 mediumDashDot, 11 dashDotDot, 12 mediumDashDotDot, 13 slantDashDot).
int excelBorderStyle(int lineStyle);
int lineStyleOfExcel(int excelStyle);

// Sheet pixels (at 96 dpi) and Excel's column width in characters of the default font / row height in points.
double columnWidthChars(int pixels);
int columnPixels(double chars);
double rowHeightPoints(int pixels);
int rowPixels(double points);

// A sheet name Excel accepts: at most 31 characters, none of []:*?/\, not empty.
QString excelSheetName(const QString& name);

} // namespace cell::excel
