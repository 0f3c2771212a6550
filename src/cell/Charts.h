#pragma once
// Charts drawn by the engine: the series a chart takes from its cells, and the drawing of a bar, line or pie
// chart into a rectangle (screen, printer and PDF alike, through SheetPainter).

#include "cell/Workbook.h"

#include <QRectF>
#include <QStringList>
#include <QVector>

class QPainter;

namespace cell {

struct ChartSeries {
    QString name;
    QVector<double> values;   // one per category; a text or blank cell counts as 0
};

struct ChartData {
    QStringList categories;
    QList<ChartSeries> series;
};

// The categories and series of `chart` from the cells of `sheet` as they are now.
ChartData chartData(const Sheet& sheet, const Chart& chart);

// Draws `chart` into `rect` (sheet pixels).
void paintChart(QPainter& p, const Workbook& wb, const Sheet& sheet, const Chart& chart, const QRectF& rect);

// The anchor a new chart gets below or beside `data`: about 480 × 300 pixels within the sheet.
Range chartAnchorFor(const Sheet& sheet, const Range& data);

} // namespace cell
