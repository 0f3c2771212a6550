#pragma once
#include <QString>

namespace cell {
// Writes a blank workbook (one sheet, 10 data columns × 30 data rows) to `path` as a table file, atomically.
// Throws QuelmarError with a Chinese message on failure. Used for "Book1.cll" of a new program folder.
void writeBlankTableFile(const QString& path);
}
