#include "cell/Charts.h"

#include "cell/NumberFormat.h"
#include "cell/PageRenderer.h"
#include "cell/Pictures.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace cell {

namespace {

QString shownText(const Sheet& sh, int col, int row)
{
    const Cell* c = sh.cellAt(col, row);
    return c ? displayText(*c) : QString();
}

double number(const Sheet& sh, int col, int row)
{
    const Cell* c = sh.cellAt(col, row);
    if (!c)
        return 0;
    if (const double* d = std::get_if<double>(&c->value))
        return std::isfinite(*d) ? *d : 0;
    return 0;
}

QColor seriesColor(int i)
{
    static const QRgb palette[] = {0x4472c4, 0xed7d31, 0xa5a5a5, 0xffc000, 0x5b9bd5, 0x70ad47, 0x264478, 0x9e480e};
    return QColor::fromRgb(palette[i % 8]);
}

QFont chartFont(double pixels, bool bold = false)
{
    QFont f;
    f.setFamilies(fontFamiliesFor(QStringLiteral("宋体")));
    f.setPixelSize(std::max(1, int(std::lround(pixels))));
    f.setBold(bold);
    return f;
}

// Round steps for an axis from lo to hi: 1, 2 or 5 times a power of ten.
double niceStep(double range, int ticks)
{
    if (!(range > 0))
        return 1;
    const double raw = range / ticks;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    return (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * mag;
}

QString axisText(double v)
{
    return generalNumberText(std::abs(v) < 1e-12 ? 0.0 : v);
}

} // namespace

ChartData chartData(const Sheet& sh, const Chart& chart)
{
    ChartData d;
    const Range r{qMax(1, chart.data.col1), qMax(1, chart.data.row1), qMin(chart.data.col2, sh.cols - 1),
                  qMin(chart.data.row2, sh.rows - 1)};
    if (r.isEmpty())
        return d;
    const int skip = chart.labelsInFirst ? 1 : 0;
    // Along a series: rows when series are columns.
    const int nCat = (chart.seriesInRows ? r.width() : r.height()) - skip;
    const int nSer = (chart.seriesInRows ? r.height() : r.width()) - skip;
    if (nCat <= 0 || nSer <= 0)
        return d;
    const auto at = [&](int series, int category) {
        return chart.seriesInRows ? std::pair{r.col1 + skip + category, r.row1 + skip + series}
                                  : std::pair{r.col1 + skip + series, r.row1 + skip + category};
    };
    for (int k = 0; k < nCat; ++k) {
        QString name;
        if (skip)
            name = chart.seriesInRows ? shownText(sh, r.col1 + skip + k, r.row1) : shownText(sh, r.col1, r.row1 + skip + k);
        d.categories << (name.isEmpty() ? QString::number(k + 1) : name);
    }
    for (int s = 0; s < nSer; ++s) {
        ChartSeries series;
        if (skip)
            series.name = chart.seriesInRows ? shownText(sh, r.col1, r.row1 + skip + s) : shownText(sh, r.col1 + skip + s, r.row1);
        if (series.name.isEmpty())
            series.name = QStringLiteral("系列%1").arg(s + 1);
        for (int k = 0; k < nCat; ++k) {
            const auto [c, row] = at(s, k);
            series.values << number(sh, c, row);
        }
        d.series << series;
    }
    return d;
}

Range chartAnchorFor(const Sheet& sheet, const Range& data)
{
    // Beside the data when the sheet has room on the right, else below it.
    int width = 0;
    for (int c = data.col2 + 2; c < sheet.cols; ++c)
        width += sheet.colWidth(c);
    if (width >= 480)
        return pictureAnchorFor(sheet, data.col2 + 2, data.row1, QSize(480, 300));
    return pictureAnchorFor(sheet, data.col1, qMin(data.row2 + 2, sheet.rows - 1), QSize(480, 300));
}

void paintChart(QPainter& p, const Workbook&, const Sheet& sheet, const Chart& chart, const QRectF& rect)
{
    const ChartData d = chartData(sheet, chart);
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(rect, Qt::white);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
    const double unit = std::clamp(std::min(rect.width(), rect.height()) / 22.0, 7.0, 16.0);
    QRectF area = rect.adjusted(unit, unit * 0.6, -unit, -unit * 0.6);
    if (!chart.title.isEmpty()) {
        const QFont tf = chartFont(unit * 1.25, true);
        p.setFont(tf);
        p.setPen(Qt::black);
        const double h = QFontMetricsF(tf).height();
        p.drawText(QRectF(area.left(), area.top(), area.width(), h), Qt::AlignCenter, chart.title);
        area.setTop(area.top() + h + unit * 0.4);
    }
    if (d.series.isEmpty() || d.categories.isEmpty()) {
        p.setFont(chartFont(unit));
        p.setPen(Qt::gray);
        p.drawText(area, Qt::AlignCenter, QStringLiteral("（无数据）"));
        p.restore();
        return;
    }
    const QFont font = chartFont(unit);
    const QFontMetricsF fm(font);
    p.setFont(font);

    // Legend on the right: the series, or the categories of a pie.
    const bool pie = chart.type == ChartType::Pie;
    QStringList names;
    if (pie)
        names = d.categories;
    else
        for (const ChartSeries& s : d.series)
            names << s.name;
    double legendWidth = 0;
    for (const QString& n : std::as_const(names))
        legendWidth = std::max(legendWidth, fm.horizontalAdvance(n));
    legendWidth = std::min(legendWidth + unit * 1.8, area.width() * 0.35);
    const QRectF legend(area.right() - legendWidth, area.top(), legendWidth, area.height());
    area.setRight(legend.left() - unit * 0.6);
    for (int i = 0; i < names.size(); ++i) {
        const double y = legend.top() + i * fm.height() * 1.2;
        if (y + fm.height() > legend.bottom())
            break;
        p.fillRect(QRectF(legend.left(), y + fm.height() * 0.2, unit * 0.9, fm.height() * 0.6), seriesColor(i));
        p.setPen(Qt::black);
        p.drawText(QRectF(legend.left() + unit * 1.2, y, legend.width() - unit * 1.2, fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(names.at(i), Qt::ElideRight, legend.width() - unit * 1.2));
    }

    if (pie) {
        const QVector<double>& values = d.series.first().values;
        double total = 0;
        for (double v : values)
            total += std::max(0.0, v);
        const double side = std::min(area.width(), area.height()) - unit;
        const QRectF circle(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
        if (total <= 0 || side <= 0) {
            p.restore();
            return;
        }
        double start = 90 * 16;
        for (int i = 0; i < values.size(); ++i) {
            const double v = std::max(0.0, values.at(i));
            const double span = -v / total * 360 * 16;
            p.setPen(QPen(Qt::white, 1));
            p.setBrush(seriesColor(i));
            p.drawPie(circle, int(std::lround(start)), int(std::lround(span)));
            const double mid = (start + span / 2) / 16 * M_PI / 180;
            if (v / total >= 0.04) {
                const QPointF at(circle.center().x() + std::cos(mid) * side * 0.32,
                                 circle.center().y() - std::sin(mid) * side * 0.32);
                p.setPen(Qt::white);
                p.drawText(QRectF(at.x() - side / 4, at.y() - fm.height() / 2, side / 2, fm.height()), Qt::AlignCenter,
                           QStringLiteral("%1%").arg(v / total * 100, 0, 'f', 1));
            }
            start += span;
        }
        p.restore();
        return;
    }

    double lo = 0, hi = 0;
    for (const ChartSeries& s : d.series)
        for (double v : s.values) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    if (hi == lo)
        hi = lo + 1;
    const double step = niceStep(hi - lo, 5);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;
    double labelWidth = 0;
    for (double v = lo; v <= hi + step / 2; v += step)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(axisText(v)));
    QRectF plot = area.adjusted(labelWidth + unit * 0.5, fm.height() * 0.5, 0, -fm.height() * 1.4);
    if (plot.width() <= 0 || plot.height() <= 0) {
        p.restore();
        return;
    }
    const auto yOf = [&](double v) { return plot.bottom() - (v - lo) / (hi - lo) * plot.height(); };
    for (double v = lo; v <= hi + step / 2; v += step) {
        const double y = yOf(v);
        p.setPen(QPen(QColor(0xd9, 0xd9, 0xd9), 0.8));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(area.left(), y - fm.height() / 2, labelWidth, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   axisText(v));
    }
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.topLeft(), plot.bottomLeft());
    const int nCat = int(d.categories.size());
    const double slot = plot.width() / nCat;
    for (int k = 0; k < nCat; ++k)
        p.drawText(QRectF(plot.left() + k * slot, plot.bottom() + 2, slot, fm.height()), Qt::AlignCenter,
                   fm.elidedText(d.categories.at(k), Qt::ElideRight, slot));
    const int nSer = int(d.series.size());
    if (chart.type == ChartType::Bar) {
        const double group = slot * 0.75, bar = group / nSer;
        for (int k = 0; k < nCat; ++k)
            for (int s = 0; s < nSer; ++s) {
                const double v = d.series.at(s).values.at(k);
                const double x = plot.left() + k * slot + (slot - group) / 2 + s * bar;
                const double y0 = yOf(std::clamp(0.0, lo, hi)), y1 = yOf(v);
                p.fillRect(QRectF(x, std::min(y0, y1), bar * 0.92, std::abs(y1 - y0)), seriesColor(s));
            }
    } else {
        for (int s = 0; s < nSer; ++s) {
            QPainterPath path;
            for (int k = 0; k < nCat; ++k) {
                const QPointF pt(plot.left() + (k + 0.5) * slot, yOf(d.series.at(s).values.at(k)));
                k ? path.lineTo(pt) : path.moveTo(pt);
            }
            p.setPen(QPen(seriesColor(s), std::max(1.5, unit / 6)));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
            p.setBrush(seriesColor(s));
            for (int k = 0; k < nCat; ++k)
                p.drawEllipse(QPointF(plot.left() + (k + 0.5) * slot, yOf(d.series.at(s).values.at(k))), unit / 4, unit / 4);
        }
    }
    p.restore();
}

} // namespace cell
