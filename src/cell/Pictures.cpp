#include "cell/Pictures.h"

namespace cell {

Range pictureAnchorFor(const Sheet& sheet, int col, int row, const QSize& size)
{
    col = qBound(1, col, sheet.cols - 1);
    row = qBound(1, row, sheet.rows - 1);
    int c2 = col, r2 = row;
    for (int w = sheet.colWidth(c2); w < size.width() && c2 + 1 < sheet.cols; w += sheet.colWidth(++c2)) {
    }
    for (int h = sheet.rowHeight(r2); h < size.height() && r2 + 1 < sheet.rows; h += sheet.rowHeight(++r2)) {
    }
    return Range{col, row, c2, r2};
}

int pictureAt(const Sheet& sheet, int col, int row)
{
    for (int i = int(sheet.pictures.size()) - 1; i >= 0; --i)
        if (sheet.pictures.at(i).anchor.contains(col, row))
            return i;
    return -1;
}

} // namespace cell
