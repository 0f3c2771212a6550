#pragma once
// Writing a workbook as an Excel .xlsx file (libxlsxwriter): values, formulas with their last results, merged
// blocks, column widths and row heights, fonts, alignment, borders, fills, number formats, hyperlinks, pictures,
// the print area and the page settings (paper, orientation, margins, scale or fit to width, centring), so that the
// form prints the same from a spreadsheet program.

#include "cell/Workbook.h"

#include <QString>

namespace cell::excel {

// Writes `wb` to `path` atomically (an existing file stays whole when the export fails). Throws QuelmarError
// with a Chinese message on failure.
void exportXlsx(const Workbook& wb, const QString& path);

} // namespace cell::excel
