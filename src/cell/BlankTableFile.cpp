#include "cell/BlankTableFile.h"
#include "cell/CellControl.h"
#include "cell/TableFile.h"
#include "core/QuelmarError.h"

namespace cell {

void writeBlankTableFile(const QString& path)
{
    Workbook wb;
    wb.sheets = {makeSheet(QStringLiteral("Sheet1"), 10, 30)};
    TableFileWriter writer;
    if (!writer.write(path, tableFilePassword(), wb))
        throw QuelmarError(writer.errorString());
}

} // namespace cell
