#pragma once
// Pictures placed over the cells of a sheet: where a new picture goes and how the mouse moves and sizes one.
// A picture is anchored to a rectangle of cells and drawn scaled into it (PageRenderer), so it moves and sizes
// with its rows and columns, prints with them and is saved in the table file.

#include "cell/Workbook.h"

#include <QSize>

namespace cell {

// The cells a picture of `size` pixels (at 100 %) covers with its top-left corner at (col, row): as many columns
// and rows as its width and height reach, at most what the sheet has.
Range pictureAnchorFor(const Sheet& sheet, int col, int row, const QSize& size);

// The index of the topmost picture of `sheet` whose anchor holds (col, row); -1 when none.
int pictureAt(const Sheet& sheet, int col, int row);

} // namespace cell
