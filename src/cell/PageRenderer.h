#pragma once
// Drawing of sheets, shared by the screen, the printer, the preview and PDF output so that all of them agree.
//
// Coordinates: one unit is one sheet pixel at 100 % (1/96 inch); font sizes are points converted at 96 dpi. The
// screen scales the painter by its zoom, a printer by its resolution and the print scale.
//
// SheetPainter draws a rectangle of cells (backgrounds, grid lines on screen only, text, diagonals, pictures,
// borders); PageRenderer cuts a sheet into pages by the page settings and paints them onto a printer or PDF writer.

#include "cell/Workbook.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QPair>
#include <QPen>
#include <QRectF>
#include <QVector>

class QPainter;
class QPagedPaintDevice;

namespace cell {

// Sheet pixels per inch.
constexpr double SheetDpi = 96.0;

// Paper codes of the page settings (the printer paper numbers table files use: 1 Letter, 5 Legal, 7 Executive,
// 8 A3, 9 A4, 11 A5, 12 B4, 13 B5, 66 A2, 93 16K, 94 32K) and Qt's page sizes. Unknown codes are A4.
QPageSize::PageSizeId paperSize(int code);
int paperCode(QPageSize::PageSizeId id);   // 9 (A4) for sizes without a code
// The papers the page-setup dialog offers, by code, with their Chinese names.
QList<QPair<int, QString>> paperChoices();

// The font families a font-table name is drawn with: a Latin face of the same style first (it keeps digits and
// Latin letters exact in PDF), then a CJK face whose PDF text extracts correctly.
QStringList fontFamiliesFor(const QString& fontName);
// The font of a cell format, pixel size in sheet pixels.
QFont cellFont(const Workbook& wb, const CellFormat& format);
// The pen of a line-style code; width and dash lengths in sheet pixels. Style 0 gives Qt::NoPen.
QPen linePen(const Line& line);
// A colour-table entry, or `fallback` for -1 and indexes outside the table.
QColor tableColor(const Workbook& wb, int index, const QColor& fallback);

class SheetPainter {
public:
    struct Options {
        bool gridLines = false;              // the light screen grid (never printed)
        QColor gridColor = QColor(0xd0, 0xd7, 0xe5);
        bool pictures = true;
        bool backgroundPicture = false;      // the sheet's background picture, tiled (screen only)
    };

    SheetPainter(const Workbook& wb, const Sheet& sheet);

    // Paints the cells of `area` with the top-left corner of cell (area.col1, area.row1) at (0,0) of the
    // painter's coordinates. Merged blocks and pictures that reach outside `area` are painted whole; the caller
    // clips. Long single-line texts run on into empty neighbours inside `area`, as spreadsheets show them.
    void paint(QPainter& p, const Range& area, const Options& options) const;

    // Paints one cell or merged block into `rect` (background, text, diagonals, borders): the one function both
    // the screen and the printed page use for a cell.
    void paintCell(QPainter& p, int col, int row, const QRectF& rect) const;

    // The text rectangle and alignment flags of a cell drawn in `rect` (also used by the in-place editor).
    int textFlags(const Cell* cell) const;
    static QRectF textRect(const QRectF& rect);

private:
    struct Block {
        Range range;
        QRectF rect;
    };
    void paintBackground(QPainter& p, const Block& b) const;
    void paintText(QPainter& p, const Block& b, const QRectF& clip) const;
    void paintDiagonals(QPainter& p, const Block& b) const;
    void paintBorders(QPainter& p, const Block& b) const;
    void paintPicture(QPainter& p, const Picture& pic, const QRectF& rect) const;
    Line edgeLine(int col, int row, int side) const;
    const RuleResult* ruleOf(int col, int row) const;   // the live result of the cell's rules, if any
    QFont fontOf(const CellFormat& f) const;

    const Workbook& m_wb;
    const Sheet& m_sheet;
    mutable QHash<quint64, QFont> m_fonts;
};

// The pages of one sheet under its page settings.
class PageRenderer {
public:
    PageRenderer(const Workbook& wb, int sheet);

    // Paper, orientation and margins of the sheet's page settings.
    QPageLayout pageLayout() const;
    // The print area, or the used part of the sheet when none is set (empty when the sheet is empty).
    Range printRange() const;
    static Range usedRange(const Sheet& sheet);

    // Cuts the print range into pages for a page of `layout`: columns and rows are kept whole, merged blocks are
    // not split unless one is larger than a page. Pages run down, then across.
    void layout(const QPageLayout& layout);
    int pageCount() const { return int(m_pages.size()); }
    Range page(int index) const { return m_pages.value(index); }
    // Scale from sheet pixels to page (1.0 = 100 %), after fitting to the page width.
    double scale() const { return m_scale; }

    // Paints page `index` onto a painter whose origin is the top-left of the paintable area of the page and whose
    // unit is 1/`dpi` inch (a printer's or PDF writer's device pixels).
    void paintPage(QPainter& p, int index, double dpi) const;

    // Sets the device's page layout from the page settings.
    void applyPageSetup(QPagedPaintDevice& device) const;
    // Lays out for the device's current page layout and paints every page (a blank page when there is nothing to
    // print), or the pages of the device's page ranges when set (a print dialog's "from ... to"). `copies` > 1
    // repeats the pages, collated, for printers that cannot make copies themselves. False when the device cannot
    // be painted on.
    bool print(QPagedPaintDevice& device, int copies = 1);

private:
    QList<int> breaks(int first, int last, double available, bool columns) const;

    const Workbook& m_wb;
    const Sheet& m_sheet;
    QList<Range> m_pages;
    double m_scale = 1.0;
    QSizeF m_paintSize;   // sheet pixels at 100 %, before scaling
};

} // namespace cell
