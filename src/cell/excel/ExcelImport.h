#pragma once
// Reading spreadsheets of other programs into a workbook: .xlsx, .ods and .csv through liborcus, legacy .xls
// through libfreexl. Values, the formulas the engine knows (others are kept as their last result), merged blocks,
// column widths, row heights, fonts, alignment, borders, fills and number formats where the reader provides them.
// liborcus drops the cells an .xlsx stores as inline strings; they are read from the sheet parts directly.

#include "cell/Workbook.h"

#include <QString>

namespace cell::excel {

struct ImportReport {
    int sheets = 0;
    int cells = 0;
    int formulas = 0;            // formulas taken over
    int formulasAsValues = 0;    // formulas the engine does not know, kept as their last result
    bool clipped = false;        // cells beyond 256 columns or 65535 rows were left out
};

// Reads `path` into a workbook of its own (nothing else is touched). Throws QuelmarError with a clear Chinese
// message for a file that is damaged, empty or of another kind.
Workbook importFile(const QString& path, ImportReport* report = nullptr);

// The note shown after an import: what came in and what was kept as values.
QString importNote(const ImportReport& report);

} // namespace cell::excel
