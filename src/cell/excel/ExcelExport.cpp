#include "cell/excel/ExcelExport.h"

#include "cell/Charts.h"
#include "cell/NumberFormat.h"
#include "cell/PageRenderer.h"
#include "cell/excel/ExcelFormats.h"
#include "core/QuelmarError.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cmath>
#include <memory>

namespace cell::excel {

namespace {

constexpr double MmPerInch = 25.4;

lxw_color_t rgbOf(QRgb c) { return lxw_color_t(c & 0xffffff); }

// One lxw_format per distinct cell format; libxlsxwriter owns them with the workbook.
class Formats {
public:
    Formats(lxw_workbook* book, const Workbook& wb) : m_book(book), m_wb(wb) {}

    lxw_format* of(const CellFormat& f)
    {
        const QByteArray key = keyOf(f);
        auto it = m_cache.constFind(key);
        if (it != m_cache.constEnd())
            return it.value();
        lxw_format* x = workbook_add_format(m_book);
        const QByteArray font = m_wb.fonts.value(f.font, QStringLiteral("宋体")).toUtf8();
        format_set_font_name(x, font.constData());
        format_set_font_size(x, f.fontSize > 0 ? f.fontSize : 10);
        if (f.fontStyle & 2)
            format_set_bold(x);
        if (f.fontStyle & 4)
            format_set_italic(x);
        if (f.fontStyle & 8)
            format_set_underline(x, LXW_UNDERLINE_SINGLE);
        if (f.textColor >= 0 && f.textColor < m_wb.colors.size())
            format_set_font_color(x, rgbOf(m_wb.colors.at(f.textColor)));
        if (f.backColor >= 0 && f.backColor < m_wb.colors.size()) {
            format_set_pattern(x, LXW_PATTERN_SOLID);
            format_set_bg_color(x, rgbOf(m_wb.colors.at(f.backColor)));
        }
        switch (f.align & HAlignMask) {
        case AlignLeft: format_set_align(x, LXW_ALIGN_LEFT); break;
        case AlignRight: format_set_align(x, LXW_ALIGN_RIGHT); break;
        case AlignHCenter: format_set_align(x, LXW_ALIGN_CENTER); break;
        default: break;
        }
        switch (f.align & VAlignMask) {
        case AlignTop: format_set_align(x, LXW_ALIGN_VERTICAL_TOP); break;
        case AlignBottom: format_set_align(x, LXW_ALIGN_VERTICAL_BOTTOM); break;
        default: format_set_align(x, LXW_ALIGN_VERTICAL_CENTER); break;   // the engine centres by default
        }
        if (f.textStyle == 2)
            format_set_text_wrap(x);
        const QByteArray num = numberFormatCode(f).toUtf8();
        if (num != "General")
            format_set_num_format(x, num.constData());
        const auto side = [&](const Line& l, void (*setStyle)(lxw_format*, uint8_t),
                              void (*setColor)(lxw_format*, lxw_color_t)) {
            if (!l.style)
                return;
            setStyle(x, uint8_t(excelBorderStyle(l.style)));
            setColor(x, rgbOf(l.color));
        };
        side(f.border[Left], format_set_left, format_set_left_color);
        side(f.border[Top], format_set_top, format_set_top_color);
        side(f.border[Right], format_set_right, format_set_right_color);
        side(f.border[Bottom], format_set_bottom, format_set_bottom_color);
        const Line& up = f.diagonal[0];
        const Line& down = f.diagonal[1];
        if (up.style || down.style) {
            format_set_diag_type(x, up.style && down.style ? LXW_DIAGONAL_BORDER_UP_DOWN
                                    : up.style              ? LXW_DIAGONAL_BORDER_UP
                                                            : LXW_DIAGONAL_BORDER_DOWN);
            const Line& l = up.style ? up : down;
            format_set_diag_border(x, uint8_t(excelBorderStyle(l.style)));
            format_set_diag_color(x, rgbOf(l.color));
        }
        if (f.input != 5)
            format_set_unlocked(x);
        m_cache.insert(key, x);
        return x;
    }

private:
    static QByteArray keyOf(const CellFormat& f)
    {
        QByteArray k;
        const qint32 v[] = {f.font, f.fontSize, f.fontStyle, f.textColor, f.backColor, f.align, f.textStyle, f.numType,
                            f.decimals, f.separator, f.currency, f.dateStyle, f.timeStyle, f.input};
        k.append(reinterpret_cast<const char*>(v), sizeof v);
        for (const Line& l : f.border)
            k.append(char(l.style)).append(reinterpret_cast<const char*>(&l.color), sizeof l.color);
        for (const Line& l : f.diagonal)
            k.append(char(l.style)).append(reinterpret_cast<const char*>(&l.color), sizeof l.color);
        return k;
    }

    lxw_workbook* m_book;
    const Workbook& m_wb;
    QHash<QByteArray, lxw_format*> m_cache;
};

void check(lxw_error e, const QString& what)
{
    if (e != LXW_NO_ERROR)
        throw QuelmarError(QStringLiteral("无法导出 Excel 文件：%1（%2）。").arg(what, QString::fromUtf8(lxw_strerror(e))));
}

// The formula text as Excel takes it: our normalised text is Excel syntax already.
QByteArray excelFormula(const QString& formula) { return (QLatin1Char('=') + formula).toUtf8(); }

void writeCell(lxw_worksheet* ws, int row, int col, const Cell& c, lxw_format* fmt)
{
    const lxw_row_t r = lxw_row_t(row - 1);
    const lxw_col_t k = lxw_col_t(col - 1);
    if (!c.formula.isEmpty()) {
        const QByteArray f = excelFormula(c.formula);
        if (const double* d = std::get_if<double>(&c.value))
            worksheet_write_formula_num(ws, r, k, f.constData(), fmt, *d);
        else if (const QString* s = std::get_if<QString>(&c.value))
            worksheet_write_formula_str(ws, r, k, f.constData(), fmt, s->toUtf8().constData());
        else
            worksheet_write_formula(ws, r, k, f.constData(), fmt);
        return;
    }
    if (const double* d = std::get_if<double>(&c.value)) {
        if (std::isfinite(*d))
            worksheet_write_number(ws, r, k, *d, fmt);
        else
            worksheet_write_blank(ws, r, k, fmt);
    } else if (const QString* s = std::get_if<QString>(&c.value)) {
        // Excel keeps at most 32767 characters in a cell.
        worksheet_write_string(ws, r, k, s->left(32767).toUtf8().constData(), fmt);
    } else if (const bool* b = std::get_if<bool>(&c.value)) {
        worksheet_write_boolean(ws, r, k, *b ? 1 : 0, fmt);
    } else {
        worksheet_write_blank(ws, r, k, fmt);
    }
}

void writePage(lxw_worksheet* ws, const Sheet& sh)
{
    const PageSetup& p = sh.page;
    worksheet_set_paper(ws, uint8_t(qBound(0, p.paper, 255)));
    if (p.landscape)
        worksheet_set_landscape(ws);
    else
        worksheet_set_portrait(ws);
    worksheet_set_margins(ws, p.marginLeft / MmPerInch, p.marginRight / MmPerInch, p.marginTop / MmPerInch,
                          p.marginBottom / MmPerInch);
    if (p.fitToWidth)
        worksheet_fit_to_pages(ws, 1, 0);
    else
        worksheet_set_print_scale(ws, uint16_t(qBound(10, p.scale, 400)));
    if (p.centerHorizontally)
        worksheet_center_horizontally(ws);
    if (p.centerVertically)
        worksheet_center_vertically(ws);
    const Range area = p.printArea.isEmpty() ? PageRenderer::usedRange(sh) : p.printArea;
    if (!area.isEmpty())
        worksheet_print_area(ws, lxw_row_t(area.row1 - 1), lxw_col_t(area.col1 - 1), lxw_row_t(area.row2 - 1),
                             lxw_col_t(area.col2 - 1));
    if (!sh.showGrid)
        worksheet_gridlines(ws, LXW_HIDE_ALL_GRIDLINES);
    if (sh.fixedCols > 0 || sh.fixedRows > 0)
        worksheet_freeze_panes(ws, lxw_row_t(sh.fixedRows), lxw_col_t(sh.fixedCols));
    if (std::abs(sh.zoom - 1.0) > 1e-6)
        worksheet_set_zoom(ws, uint16_t(qBound(10, int(std::lround(sh.zoom * 100)), 400)));
}

// The pixels the cells of `r` cover.
QSizeF sizeOf(const Sheet& sh, const Range& r)
{
    double w = 0, h = 0;
    for (int c = r.col1; c <= r.col2; ++c)
        w += sh.colWidth(c);
    for (int row = r.row1; row <= r.row2; ++row)
        h += sh.rowHeight(row);
    return QSizeF(w, h);
}

void writePictures(lxw_worksheet* ws, const Sheet& sh)
{
    for (const Picture& pic : sh.pictures) {
        QImage img;
        if (pic.data.isEmpty() || !img.loadFromData(pic.data) || img.width() <= 0 || img.height() <= 0)
            continue;
        const QSizeF size = sizeOf(sh, pic.anchor);
        const double w = size.width(), h = size.height();
        // libxlsxwriter sizes a picture by its pixels and its own resolution; scale it to the cells it covers.
        const double dpiX = img.dotsPerMeterX() > 0 ? img.dotsPerMeterX() * 0.0254 : 96.0;
        const double dpiY = img.dotsPerMeterY() > 0 ? img.dotsPerMeterY() * 0.0254 : 96.0;
        lxw_image_options opt{};
        opt.x_scale = w / (img.width() * 96.0 / dpiX);
        opt.y_scale = h / (img.height() * 96.0 / dpiY);
        opt.object_position = LXW_OBJECT_MOVE_AND_SIZE;
        worksheet_insert_image_buffer_opt(ws, lxw_row_t(pic.anchor.row1 - 1), lxw_col_t(pic.anchor.col1 - 1),
                                          reinterpret_cast<const unsigned char*>(pic.data.constData()),
                                          size_t(pic.data.size()), &opt);
    }
}

// The chart as the engine draws it, as a PNG: for a chart a spreadsheet program could not draw from cells.
QByteArray chartPicture(const Workbook& wb, const Sheet& sh, const Chart& chart, const QSize& size)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintChart(p, wb, sh, chart, QRectF(QPointF(0, 0), QSizeF(size)));
    p.end();
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}

// Charts as charts of the spreadsheet program, over the same cells (columns or rows as series, the first row and
// column as names when the chart says so), where ours stand and as large. A chart with no data cells on the sheet
// goes in as the picture of what we draw.
void writeCharts(lxw_workbook* book, lxw_worksheet* ws, const QByteArray& sheetName, const Workbook& wb, const Sheet& sh,
                 QList<QByteArray>& keep)
{
    for (const Chart& chart : sh.charts) {
        const Range a{qMax(1, chart.anchor.col1), qMax(1, chart.anchor.row1), qMin(chart.anchor.col2, sh.cols - 1),
                      qMin(chart.anchor.row2, sh.rows - 1)};
        if (a.isEmpty())
            continue;
        const QSizeF size = sizeOf(sh, a);
        const Range r{qMax(1, chart.data.col1), qMax(1, chart.data.row1), qMin(chart.data.col2, sh.cols - 1),
                      qMin(chart.data.row2, sh.rows - 1)};
        const int skip = chart.labelsInFirst ? 1 : 0;
        const int nCat = r.isEmpty() ? 0 : (chart.seriesInRows ? r.width() : r.height()) - skip;
        const int nSer = r.isEmpty() ? 0 : (chart.seriesInRows ? r.height() : r.width()) - skip;
        if (nCat <= 0 || nSer <= 0 || size.width() < 8 || size.height() < 8) {
            const QSize px(qBound(8, int(size.width()), 4000), qBound(8, int(size.height()), 4000));
            keep << chartPicture(wb, sh, chart, px);
            lxw_image_options opt{};
            opt.object_position = LXW_OBJECT_MOVE_AND_SIZE;
            worksheet_insert_image_buffer_opt(ws, lxw_row_t(a.row1 - 1), lxw_col_t(a.col1 - 1),
                                              reinterpret_cast<const unsigned char*>(keep.last().constData()),
                                              size_t(keep.last().size()), &opt);
            continue;
        }
        const uint8_t type = chart.type == ChartType::Line ? LXW_CHART_LINE
            : chart.type == ChartType::Pie                 ? LXW_CHART_PIE
                                                           : LXW_CHART_COLUMN;
        lxw_chart* x = workbook_add_chart(book, type);
        if (!x)
            continue;
        // 0-based cells of the file: series s, category k.
        const auto row0 = [&](int s, int k) { return lxw_row_t((chart.seriesInRows ? r.row1 + skip + s : r.row1 + skip + k) - 1); };
        const auto col0 = [&](int s, int k) { return lxw_col_t((chart.seriesInRows ? r.col1 + skip + k : r.col1 + skip + s) - 1); };
        const char* name = sheetName.constData();
        // A pie shows one series: the first, as ours does.
        for (int s = 0; s < (chart.type == ChartType::Pie ? 1 : nSer); ++s) {
            lxw_chart_series* series = chart_add_series(x, nullptr, nullptr);
            if (!series)
                break;
            chart_series_set_values(series, name, row0(s, 0), col0(s, 0), row0(s, nCat - 1), col0(s, nCat - 1));
            if (skip) {
                if (chart.seriesInRows) {
                    chart_series_set_categories(series, name, lxw_row_t(r.row1 - 1), col0(s, 0), lxw_row_t(r.row1 - 1),
                                                col0(s, nCat - 1));
                    chart_series_set_name_range(series, name, row0(s, 0), lxw_col_t(r.col1 - 1));
                } else {
                    chart_series_set_categories(series, name, row0(s, 0), lxw_col_t(r.col1 - 1), row0(s, nCat - 1),
                                                lxw_col_t(r.col1 - 1));
                    chart_series_set_name_range(series, name, lxw_row_t(r.row1 - 1), col0(s, 0));
                }
            } else {
                keep << QStringLiteral("系列%1").arg(s + 1).toUtf8();
                chart_series_set_name(series, keep.last().constData());
            }
            if (chart.type == ChartType::Pie) {
                chart_series_set_labels_options(series, LXW_FALSE, LXW_FALSE, LXW_FALSE);
                chart_series_set_labels_percentage(series);
            }
        }
        if (!chart.title.isEmpty()) {
            // A title beginning with "=" would be taken for a formula.
            keep << (chart.title.startsWith(QLatin1Char('=')) ? QLatin1Char(' ') + chart.title : chart.title).toUtf8();
            chart_title_set_name(x, keep.last().constData());
        }
        chart_legend_set_position(x, LXW_CHART_LEGEND_RIGHT);
        lxw_chart_options opt{};
        opt.x_scale = size.width() / 480.0;   // a chart of libxlsxwriter is 480 × 288 pixels at scale 1
        opt.y_scale = size.height() / 288.0;
        opt.object_position = LXW_OBJECT_MOVE_AND_SIZE;
        worksheet_insert_chart_opt(ws, lxw_row_t(a.row1 - 1), lxw_col_t(a.col1 - 1), x, &opt);
    }
}

void writeSheet(lxw_worksheet* ws, const Sheet& sh, Formats& formats)
{
    for (int c = 1; c < sh.cols; ++c)
        worksheet_set_column_pixels(ws, lxw_col_t(c - 1), lxw_col_t(c - 1), uint32_t(qMax(0, sh.colWidth(c))), nullptr);
    // Our rows are 22 pixels unless set otherwise; the spreadsheet program's are 20 unless the sheet says.
    worksheet_set_default_row(ws, 22 * 0.75, LXW_FALSE);
    for (int r = 1; r < sh.rows; ++r)
        if (sh.rowHeight(r) != 22 || r <= 1)
            worksheet_set_row_pixels(ws, lxw_row_t(r - 1), uint32_t(qMax(0, sh.rowHeight(r))), nullptr);
    // Merged blocks first: merge_range writes the block's cells blank with the top-left format; the cells
    // themselves are written after it, each with its own format (borders of the inner edges included).
    for (const Range& m : sh.merges) {
        const Cell* tl = sh.cellAt(m.col1, m.row1);
        worksheet_merge_range(ws, lxw_row_t(m.row1 - 1), lxw_col_t(m.col1 - 1), lxw_row_t(m.row2 - 1),
                              lxw_col_t(m.col2 - 1), "", formats.of(tl ? tl->format : CellFormat{}));
    }
    for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
        const int col = Sheet::keyCol(it.key()), row = Sheet::keyRow(it.key());
        if (col < 1 || row < 1 || col >= sh.cols || row >= sh.rows)
            continue;
        const Cell& c = it.value();
        lxw_format* fmt = formats.of(c.format);
        if (!c.hyperlink.isEmpty() && c.formula.isEmpty()) {
            QString url = c.hyperlink.trimmed();
            if (url.startsWith(QLatin1Char('#')))
                url = QStringLiteral("internal:") + url.mid(1);
            const QByteArray u = url.toUtf8();
            const QByteArray text = displayText(c).toUtf8();
            if (worksheet_write_url_opt(ws, lxw_row_t(row - 1), lxw_col_t(col - 1), u.constData(), fmt,
                                        text.isEmpty() ? nullptr : text.constData(), nullptr)
                == LXW_NO_ERROR) {
                if (std::holds_alternative<double>(c.value))
                    writeCell(ws, row, col, c, fmt);
                continue;
            }
        }
        writeCell(ws, row, col, c, fmt);
    }
    // The size of the sheet: a blank cell at its last corner, so that a reader sees every row and column.
    const lxw_row_t lastRow = lxw_row_t(sh.rows - 2);
    const lxw_col_t lastCol = lxw_col_t(sh.cols - 2);
    if (!sh.cellAt(sh.cols - 1, sh.rows - 1))
        worksheet_write_blank(ws, lastRow, lastCol, formats.of(CellFormat{}));
    writePictures(ws, sh);
    writePage(ws, sh);
}

} // namespace

void exportXlsx(const Workbook& wb, const QString& path)
{
    QTemporaryDir tmp;
    if (!tmp.isValid())
        throw QuelmarError(QStringLiteral("无法导出 Excel 文件：不能建立临时文件夹。"));
    const QString work = tmp.filePath(QStringLiteral("export.xlsx"));
    const QByteArray workPath = QFile::encodeName(work);
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    const QByteArray tmpDir = QFile::encodeName(tmp.path());
    options.tmpdir = const_cast<char*>(tmpDir.constData());
    lxw_workbook* book = workbook_new_opt(workPath.constData(), &options);
    if (!book)
        throw QuelmarError(QStringLiteral("无法导出 Excel 文件：不能建立工作簿。"));
    QList<QByteArray> keep;   // texts and pictures libxlsxwriter may read only when it closes the workbook
    {
        Formats formats(book, wb);
        QSet<QString> used;
        for (int i = 0; i < wb.sheets.size(); ++i) {
            const Sheet& sh = wb.sheets.at(i);
            QString name = excelSheetName(sh.name);
            for (int n = 2; used.contains(name.toLower()); ++n)
                name = excelSheetName(sh.name).left(27) + QStringLiteral("(%1)").arg(n);
            used.insert(name.toLower());
            const QByteArray n8 = name.toUtf8();
            lxw_worksheet* ws = workbook_add_worksheet(book, n8.constData());
            if (!ws) {
                workbook_close(book);
                throw QuelmarError(QStringLiteral("无法导出 Excel 文件：表页“%1”的名称不可用。").arg(sh.name));
            }
            writeSheet(ws, sh, formats);
            writeCharts(book, ws, n8, wb, sh, keep);
            if (i == wb.curSheet)
                worksheet_activate(ws);
        }
    }
    check(workbook_close(book), QStringLiteral("写入工作簿"));

    QFile written(work);
    if (!written.open(QIODevice::ReadOnly))
        throw QuelmarError(QStringLiteral("无法导出 Excel 文件：%1").arg(written.errorString()));
    const QByteArray bytes = written.readAll();
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw QuelmarError(QStringLiteral("无法写入 Excel 文件 \"%1\"：%2").arg(path, out.errorString()));
}

} // namespace cell::excel
