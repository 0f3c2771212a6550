#pragma once
// Printing a sheet to a PDF file, with the same page renderer as the printer and the preview.

#include "cell/Workbook.h"

#include <QString>

namespace cell {

// Writes sheet `sheet` of `wb` to `path` as PDF, laid out by the sheet's page settings. The file is written
// atomically (a failed export leaves an existing file untouched). Throws QuelmarError on failure. Needs a
// QGuiApplication (fonts).
void exportSheetToPdf(const Workbook& wb, int sheet, const QString& path);

} // namespace cell
