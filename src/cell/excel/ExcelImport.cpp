#include "cell/excel/ExcelImport.h"

#include "cell/CellControl.h"
#include "cell/excel/ExcelFormats.h"
#include "cell/formula/FormulaEngine.h"
#include "core/QuelmarError.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTime>
#include <QDateTime>
#include <QXmlStreamReader>

#include <orcus/exception.hpp>
#include <orcus/orcus_csv.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <freexl.h>

#include <cmath>
#include <memory>
#include <vector>

namespace cell::excel {

namespace {

namespace ss = orcus::spreadsheet;
namespace iface = orcus::spreadsheet::iface;

constexpr qint64 MaxFileSize = 200LL * 1024 * 1024;

QString fromView(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
QRgb rgbOf(ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) { return qRgb(r, g, b); }

double pixelsOf(double v, orcus::length_unit_t unit, bool column)
{
    switch (unit) {
    case orcus::length_unit_t::xlsx_column_digit: return columnPixels(v);
    case orcus::length_unit_t::point: return v / 0.75;
    case orcus::length_unit_t::inch: return v * 96;
    case orcus::length_unit_t::centimeter: return v / 2.54 * 96;
    case orcus::length_unit_t::millimeter: return v / 25.4 * 96;
    case orcus::length_unit_t::twip: return v / 15.0;
    case orcus::length_unit_t::pixel: return v;
    default: return column ? columnPixels(v) : v / 0.75;
    }
}

int lineOf(ss::border_style_t s)
{
    switch (s) {
    case ss::border_style_t::none:
    case ss::border_style_t::unknown: return 0;
    case ss::border_style_t::medium: return 3;
    case ss::border_style_t::thick:
    case ss::border_style_t::double_border:
    case ss::border_style_t::double_thin: return 4;
    case ss::border_style_t::dashed:
    case ss::border_style_t::fine_dashed: return 5;
    case ss::border_style_t::dotted:
    case ss::border_style_t::hair: return 6;
    case ss::border_style_t::dash_dot: return 7;
    case ss::border_style_t::dash_dot_dot: return 8;
    case ss::border_style_t::medium_dashed: return 9;
    case ss::border_style_t::medium_dash_dot:
    case ss::border_style_t::slant_dash_dot: return 11;
    case ss::border_style_t::medium_dash_dot_dot: return 12;
    default: return 2;
    }
}

// ---- shared strings --------------------------------------------------------------------------------------------

class SharedStrings final : public iface::import_shared_strings {
public:
    std::vector<QString> strings;
    size_t append(std::string_view s) override
    {
        strings.push_back(fromView(s));
        return strings.size() - 1;
    }
    size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { m_segments += fromView(s); }
    size_t commit_segments() override
    {
        strings.push_back(m_segments);
        m_segments.clear();
        return strings.size() - 1;
    }

private:
    QString m_segments;
};

// ---- styles ------------------------------------------------------------------------------------------------------

class Styles final : public iface::import_styles {
public:
    explicit Styles(Workbook& wb) : m_wb(wb) {}

    struct Font {
        QString name = QStringLiteral("宋体");
        double size = 11;
        bool bold = false, italic = false, underline = false;
        bool hasColor = false;
        QRgb color = 0;
    };
    struct Fill {
        bool solid = false;
        QRgb color = 0;
        bool hasColor = false;
    };
    struct Border {
        Line side[4];
        Line diag[2];
    };
    struct Xf {
        size_t font = 0, fill = 0, border = 0, protection = 0, numFmt = 0;
        ss::hor_alignment_t h = ss::hor_alignment_t::unknown;
        ss::ver_alignment_t v = ss::ver_alignment_t::unknown;
    };

    // What the reader does not pass on of a cell xf's <alignment>, read from the file itself.
    struct AlignmentExtra {
        bool wrap = false;
        bool centreAcross = false;   // horizontal="centerContinuous"
    };
    void setAlignmentExtras(std::vector<AlignmentExtra> extras)
    {
        m_extras = std::move(extras);
        m_resolved.clear();
    }

    // The cell format of xf `index` (the default format for an unknown index).
    CellFormat format(size_t index)
    {
        if (index >= m_xfs.size())
            return CellFormat{};
        if (index < m_resolved.size() && m_resolved[index].first)
            return m_resolved[index].second;
        const Xf& x = m_xfs[index];
        CellFormat f;
        if (x.font < m_fonts.size()) {
            const Font& fo = m_fonts[x.font];
            f.font = m_wb.findFontIndex(fo.name.isEmpty() ? QStringLiteral("宋体") : fo.name, true);
            f.fontSize = qBound(5, int(std::lround(fo.size)), 400);
            f.fontStyle = (fo.bold ? 2 : 0) | (fo.italic ? 4 : 0) | (fo.underline ? 8 : 0);
            if (fo.hasColor && (fo.color & 0xffffff) != 0)
                f.textColor = m_wb.findColorIndex(fo.color | 0xff000000, true);
        }
        if (x.fill < m_fills.size() && m_fills[x.fill].solid && m_fills[x.fill].hasColor)
            f.backColor = m_wb.findColorIndex(m_fills[x.fill].color | 0xff000000, true);
        if (x.border < m_borders.size()) {
            for (int i = 0; i < 4; ++i)
                f.border[i] = m_borders[x.border].side[i];
            for (int i = 0; i < 2; ++i)
                f.diagonal[i] = m_borders[x.border].diag[i];
        }
        if (x.protection < m_locked.size())
            f.input = m_locked[x.protection] ? 1 : 1;   // Excel locks every cell by default: nothing to take over
        const QString code = m_numFmts.value(x.numFmt, builtinFormatCode(int(x.numFmt)));
        applyNumberFormatCode(code, f);
        switch (x.h) {
        case ss::hor_alignment_t::left: f.align |= AlignLeft; break;
        case ss::hor_alignment_t::right: f.align |= AlignRight; break;
        case ss::hor_alignment_t::center:
        case ss::hor_alignment_t::distributed:
        case ss::hor_alignment_t::justified: f.align |= AlignHCenter; break;
        default: break;
        }
        switch (x.v) {
        case ss::ver_alignment_t::top: f.align |= AlignTop; break;
        case ss::ver_alignment_t::bottom: f.align |= AlignBottom; break;
        default: break;   // centre is the engine's default
        }
        if (index < m_extras.size()) {
            if (m_extras[index].wrap)
                f.textStyle = 2;
            if (m_extras[index].centreAcross && !(f.align & HAlignMask))
                f.align |= AlignHCenter;
        }
        if (m_resolved.size() <= index)
            m_resolved.resize(index + 1);
        m_resolved[index] = {true, f};
        return f;
    }

    void set_font_count(size_t) override {}
    void set_font_bold(bool b) override { m_font.bold = b; }
    void set_font_italic(bool b) override { m_font.italic = b; }
    void set_font_name(std::string_view s) override { m_font.name = fromView(s); }
    void set_font_size(double p) override { m_font.size = p; }
    void set_font_underline(ss::underline_t e) override { m_font.underline = e != ss::underline_t::none; }
    void set_font_underline_width(ss::underline_width_t) override {}
    void set_font_underline_mode(ss::underline_mode_t) override {}
    void set_font_underline_type(ss::underline_type_t) override {}
    void set_font_underline_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_font_color(ss::color_elem_t, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) override
    {
        m_font.hasColor = true;
        m_font.color = rgbOf(r, g, b);
    }
    void set_strikethrough_style(ss::strikethrough_style_t) override {}
    void set_strikethrough_type(ss::strikethrough_type_t) override {}
    void set_strikethrough_width(ss::strikethrough_width_t) override {}
    void set_strikethrough_text(ss::strikethrough_text_t) override {}
    size_t commit_font() override
    {
        m_fonts.push_back(m_font);
        m_font = Font{};
        return m_fonts.size() - 1;
    }

    void set_fill_count(size_t) override {}
    void set_fill_pattern_type(ss::fill_pattern_t fp) override { m_fill.solid = fp == ss::fill_pattern_t::solid; }
    void set_fill_fg_color(ss::color_elem_t, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) override
    {
        m_fill.hasColor = true;
        m_fill.color = rgbOf(r, g, b);
    }
    void set_fill_bg_color(ss::color_elem_t, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) override
    {
        if (!m_fill.hasColor) {
            m_fill.hasColor = true;
            m_fill.color = rgbOf(r, g, b);
        }
    }
    size_t commit_fill() override
    {
        m_fills.push_back(m_fill);
        m_fill = Fill{};
        return m_fills.size() - 1;
    }

    void set_border_count(size_t) override {}
    void set_border_style(ss::border_direction_t dir, ss::border_style_t style) override
    {
        if (Line* l = lineOf(dir))
            l->style = quint8(lineOf(style));
    }
    void set_border_color(ss::border_direction_t dir, ss::color_elem_t, ss::color_elem_t r, ss::color_elem_t g,
                          ss::color_elem_t b) override
    {
        if (Line* l = lineOf(dir))
            l->color = rgbOf(r, g, b) | 0xff000000;
    }
    void set_border_width(ss::border_direction_t, double, orcus::length_unit_t) override {}
    size_t commit_border() override
    {
        m_borders.push_back(m_border);
        m_border = Border{};
        return m_borders.size() - 1;
    }

    void set_cell_hidden(bool) override {}
    void set_cell_locked(bool b) override { m_lockedNow = b; }
    void set_cell_print_content(bool) override {}
    void set_cell_formula_hidden(bool) override {}
    size_t commit_cell_protection() override
    {
        m_locked.push_back(m_lockedNow);
        m_lockedNow = true;
        return m_locked.size() - 1;
    }

    void set_number_format_count(size_t) override {}
    void set_number_format_identifier(size_t id) override { m_numFmtId = id; }
    void set_number_format_code(std::string_view s) override { m_numFmtCode = fromView(s); }
    size_t commit_number_format() override
    {
        m_numFmts.insert(m_numFmtId, m_numFmtCode);
        const size_t id = m_numFmtId;
        m_numFmtCode.clear();
        m_numFmtId = 0;
        return id;
    }

    void set_cell_xf_count(size_t) override {}
    void set_cell_style_xf_count(size_t) override {}
    void set_dxf_count(size_t) override {}
    void set_xf_font(size_t i) override { m_xf.font = i; }
    void set_xf_fill(size_t i) override { m_xf.fill = i; }
    void set_xf_border(size_t i) override { m_xf.border = i; }
    void set_xf_protection(size_t i) override { m_xf.protection = i; }
    void set_xf_number_format(size_t i) override { m_xf.numFmt = i; }
    void set_xf_style_xf(size_t) override {}
    void set_xf_apply_alignment(bool) override {}
    void set_xf_horizontal_alignment(ss::hor_alignment_t a) override { m_xf.h = a; }
    void set_xf_vertical_alignment(ss::ver_alignment_t a) override { m_xf.v = a; }
    size_t commit_cell_xf() override
    {
        m_xfs.push_back(m_xf);
        m_xf = Xf{};
        return m_xfs.size() - 1;
    }
    size_t commit_cell_style_xf() override
    {
        m_xf = Xf{};
        return m_styleXfs++;
    }
    size_t commit_dxf() override
    {
        m_xf = Xf{};
        return m_dxfs++;
    }

    void set_cell_style_count(size_t) override {}
    void set_cell_style_name(std::string_view) override {}
    void set_cell_style_xf(size_t) override {}
    void set_cell_style_builtin(size_t) override {}
    void set_cell_style_parent_name(std::string_view) override {}
    size_t commit_cell_style() override { return m_cellStyles++; }

private:
    Line* lineOf(ss::border_direction_t dir)
    {
        switch (dir) {
        case ss::border_direction_t::left: return &m_border.side[Left];
        case ss::border_direction_t::top: return &m_border.side[Top];
        case ss::border_direction_t::right: return &m_border.side[Right];
        case ss::border_direction_t::bottom: return &m_border.side[Bottom];
        case ss::border_direction_t::diagonal_bl_tr: return &m_border.diag[0];
        case ss::border_direction_t::diagonal_tl_br: return &m_border.diag[1];
        default: return nullptr;
        }
    }
    static int lineOf(ss::border_style_t s) { return excel::lineOf(s); }

    Workbook& m_wb;
    std::vector<Font> m_fonts;
    std::vector<Fill> m_fills;
    std::vector<Border> m_borders;
    std::vector<bool> m_locked;
    std::vector<Xf> m_xfs;
    std::vector<std::pair<bool, CellFormat>> m_resolved;
    std::vector<AlignmentExtra> m_extras;
    QHash<size_t, QString> m_numFmts;
    Font m_font;
    Fill m_fill;
    Border m_border;
    Xf m_xf;
    bool m_lockedNow = true;
    size_t m_numFmtId = 0;
    QString m_numFmtCode;
    size_t m_styleXfs = 0, m_dxfs = 0, m_cellStyles = 0;
};

// ---- sheets ------------------------------------------------------------------------------------------------------

struct SheetData {
    QString name;
    QHash<quint32, Cell> cells;
    QHash<quint32, size_t> xf;               // the style of each cell, resolved once the whole file is read
    QSet<quint32> dates;                     // cells the reader gave as a date
    QHash<int, int> colWidths, rowHeights;   // 1-based index -> pixels
    QList<Range> merges;
    QList<Range> wraps;                      // blocks whose cells wrap their text, beyond what the styles say
    qint64 repeatBudget = 1'000'000;         // cells that repeated rows may still add (a hostile file asks for more)
    int maxCol = 0, maxRow = 0;
};

struct Shared {
    Workbook& wb;
    SharedStrings strings;
    Styles styles;
    ImportReport report;
    int originOffset = 0;   // days to add to a date of the file's origin (1904 files)
    explicit Shared(Workbook& w) : wb(w), styles(w) {}
};

class SheetImport;

class FormulaImport final : public iface::import_formula {
public:
    FormulaImport(SheetImport& sheet) : m_sheet(sheet) {}
    void set_position(ss::row_t row, ss::col_t col) override
    {
        m_row = row;
        m_col = col;
    }
    void set_formula(ss::formula_grammar_t, std::string_view formula) override { m_text = fromView(formula); }
    void set_shared_formula_index(size_t index) override { m_shared = qint64(index); }
    void set_result_string(std::string_view value) override { m_result = fromView(value); }
    void set_result_value(double value) override { m_result = value; }
    void set_result_bool(bool value) override { m_result = value; }
    void set_result_empty() override { m_result = Empty{}; }
    void commit() override;

private:
    SheetImport& m_sheet;
    ss::row_t m_row = 0;
    ss::col_t m_col = 0;
    QString m_text;
    qint64 m_shared = -1;
    Value m_result;
};

class PropertiesImport final : public iface::import_sheet_properties {
public:
    explicit PropertiesImport(SheetData& d) : m_d(d) {}
    void set_column_width(ss::col_t col, double width, orcus::length_unit_t unit) override
    {
        if (col >= 0 && col < MaxCols)
            m_d.colWidths.insert(col + 1, qBound(0, int(std::lround(pixelsOf(width, unit, true))), 4000));
    }
    void set_column_hidden(ss::col_t col, bool hidden) override
    {
        if (hidden && col >= 0 && col < MaxCols)
            m_d.colWidths.insert(col + 1, 0);
    }
    void set_row_height(ss::row_t row, double height, orcus::length_unit_t unit) override
    {
        if (row >= 0 && row < MaxRows)
            m_d.rowHeights.insert(row + 1, qBound(0, int(std::lround(pixelsOf(height, unit, false))), 4000));
    }
    void set_row_hidden(ss::row_t row, bool hidden) override
    {
        if (hidden && row >= 0 && row < MaxRows)
            m_d.rowHeights.insert(row + 1, 0);
    }
    void set_merge_cell_range(const ss::range_t& r) override
    {
        const Range m{r.first.column + 1, r.first.row + 1, r.last.column + 1, r.last.row + 1};
        if (m.isEmpty() || m.col1 < 1 || m.row1 < 1 || m.col2 > MaxCols || m.row2 > MaxRows)
            return;
        if (m.width() == 1 && m.height() == 1)
            return;
        for (const Range& o : std::as_const(m_d.merges))
            if (o.intersects(m))
                return;
        m_d.merges << m;
        m_d.maxCol = qMax(m_d.maxCol, m.col2);
        m_d.maxRow = qMax(m_d.maxRow, m.row2);
    }

private:
    SheetData& m_d;
};

class SheetImport final : public iface::import_sheet {
public:
    SheetImport(Shared& shared, const QString& name) : m_shared(shared), m_formula(*this), m_props(data)
    {
        data.name = name;
    }

    SheetData data;

    iface::import_sheet_properties* get_sheet_properties() override { return &m_props; }
    iface::import_formula* get_formula() override { return &m_formula; }

    // The cell at a 0-based position of the file, or nullptr beyond what a sheet can hold.
    Cell* cell(ss::row_t row, ss::col_t col)
    {
        if (row < 0 || col < 0)
            return nullptr;
        if (row >= MaxRows || col >= MaxCols) {
            m_shared.report.clipped = true;
            return nullptr;
        }
        data.maxCol = qMax(data.maxCol, int(col) + 1);
        data.maxRow = qMax(data.maxRow, int(row) + 1);
        return &data.cells[Sheet::key(col + 1, row + 1)];
    }

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override
    {
        Cell* c = cell(row, col);
        if (!c)
            return;
        const QString t = fromView(s);
        static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
        bool ok = false;
        const double v = number.match(t).hasMatch() ? t.trimmed().toDouble(&ok) : 0.0;
        if (ok && std::isfinite(v))
            c->value = v;
        else if (!t.isEmpty())
            c->value = t;
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t sindex) override
    {
        Cell* c = cell(row, col);
        if (c && sindex < m_shared.strings.strings.size() && !m_shared.strings.strings[sindex].isEmpty())
            c->value = m_shared.strings.strings[sindex];
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override
    {
        if (Cell* c = cell(row, col); c && std::isfinite(value))
            c->value = value;
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override
    {
        if (Cell* c = cell(row, col))
            c->value = value;
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                       double second) override
    {
        Cell* c = cell(row, col);
        const QDate d(year, month, day);
        if (!c || !d.isValid())
            return;
        const double serial = double(QDate(1899, 12, 30).daysTo(d)) + (hour * 3600 + minute * 60 + second) / 86400.0;
        c->value = serial;
        data.dates.insert(Sheet::key(col + 1, row + 1));
    }
    // The styles part may come after the sheets: the index is kept and resolved at the end.
    void set_format(ss::row_t row, ss::col_t col, size_t xf) override
    {
        if (cell(row, col))
            data.xf.insert(Sheet::key(col + 1, row + 1), xf);
    }
    void set_format(ss::row_t r1, ss::col_t c1, ss::row_t r2, ss::col_t c2, size_t xf) override
    {
        // Whole rows or columns formatted: only the part that holds cells, so an empty sheet stays small.
        r2 = qMin(r2, ss::row_t(qMax(data.maxRow, int(r1) + 1) - 1));
        c2 = qMin(c2, ss::col_t(qMax(data.maxCol, int(c1) + 1) - 1));
        if (qint64(r2 - r1 + 1) * (c2 - c1 + 1) > 1000000)
            return;
        for (ss::row_t r = r1; r <= r2; ++r)
            for (ss::col_t c = c1; c <= c2; ++c)
                set_format(r, c, xf);
    }
    void fill_down_cells(ss::row_t row, ss::col_t col, ss::row_t size) override
    {
        Cell* src = cell(row, col);
        if (!src)
            return;
        const Cell copy = *src;
        const auto xf = data.xf.constFind(Sheet::key(col + 1, row + 1));
        for (ss::row_t i = 1; i <= size && row + i < MaxRows; ++i)
            if (Cell* c = cell(row + i, col)) {
                *c = copy;
                if (xf != data.xf.constEnd())
                    data.xf.insert(Sheet::key(col + 1, row + i + 1), xf.value());
            }
    }
    ss::range_size_t get_sheet_size() const override { return ss::range_size_t{MaxRows, MaxCols}; }

    // A formula of the file: taken over when the engine knows it, else its last result stays.
    void formula(ss::row_t row, ss::col_t col, QString text, qint64 shared, const Value& result)
    {
        Cell* c = cell(row, col);
        if (!c)
            return;
        if (shared >= 0) {
            auto it = m_sharedFormulas.constFind(shared);
            if (!text.isEmpty() && it == m_sharedFormulas.constEnd()) {
                m_sharedFormulas.insert(shared, {text, {int(row), int(col)}});
            } else if (it != m_sharedFormulas.constEnd() && text.isEmpty()) {
                text = formula::FormulaEngine::translateFormula(it->first, int(col) - it->second.second,
                                                                int(row) - it->second.first);
            }
        }
        c->value = result;
        if (text.startsWith(QLatin1Char('=')))
            text.remove(0, 1);
        if (text.isEmpty())
            return;
        QString normalized;
        if (formula::FormulaEngine::knowsFormula(text, &normalized) && !normalized.isEmpty()) {
            c->formula = normalized;
            ++m_shared.report.formulas;
            return;
        }
        ++m_shared.report.formulasAsValues;
    }

private:
    Shared& m_shared;
    FormulaImport m_formula;
    PropertiesImport m_props;
    QHash<qint64, std::pair<QString, std::pair<int, int>>> m_sharedFormulas;
};

void FormulaImport::commit()
{
    m_sheet.formula(m_row, m_col, m_text, m_shared, m_result);
    m_text.clear();
    m_shared = -1;
    m_result = Empty{};
}

class Globals final : public iface::import_global_settings {
public:
    explicit Globals(Shared& s) : m_s(s) {}
    void set_origin_date(int year, int month, int day) override
    {
        const QDate d(year, month, day);
        if (d.isValid())
            m_s.originOffset = int(QDate(1899, 12, 30).daysTo(d));
    }
    void set_default_formula_grammar(ss::formula_grammar_t g) override { m_grammar = g; }
    ss::formula_grammar_t get_default_formula_grammar() const override { return m_grammar; }
    void set_character_set(orcus::character_set_t) override {}

private:
    Shared& m_s;
    ss::formula_grammar_t m_grammar = ss::formula_grammar_t::xlsx;
};

// "B2", "$B$2", "Sheet!B2", "B2:D8" in A1 notation, as the readers hand merged ranges and references over.
class Resolver final : public iface::import_reference_resolver {
public:
    ss::src_address_t resolve_address(std::string_view address) override
    {
        QString t = fromView(address);
        const int bang = int(t.lastIndexOf(QLatin1Char('!')));
        if (bang >= 0)
            t = t.mid(bang + 1);
        t.remove(QLatin1Char('$'));
        int col = 0, row = 0;
        if (!CellControl::ParseCellRef(t, col, row))
            throw orcus::invalid_arg_error("invalid cell address");
        return ss::src_address_t{0, row - 1, col - 1};
    }
    ss::src_range_t resolve_range(std::string_view range) override
    {
        const std::string_view::size_type colon = range.find(':');
        if (colon == std::string_view::npos) {
            const ss::src_address_t a = resolve_address(range);
            return ss::src_range_t{a, a};
        }
        return ss::src_range_t{resolve_address(range.substr(0, colon)), resolve_address(range.substr(colon + 1))};
    }
};

class Factory final : public iface::import_factory {
public:
    explicit Factory(Shared& s) : m_s(s), m_globals(s) {}
    std::vector<std::unique_ptr<SheetImport>> sheets;

    iface::import_global_settings* get_global_settings() override { return &m_globals; }
    iface::import_shared_strings* get_shared_strings() override { return &m_s.strings; }
    iface::import_styles* get_styles() override { return &m_s.styles; }
    iface::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override { return &m_resolver; }
    iface::import_sheet* append_sheet(ss::sheet_t, std::string_view name) override
    {
        if (sheets.size() >= 1000)
            return nullptr;
        sheets.push_back(std::make_unique<SheetImport>(m_s, fromView(name)));
        return sheets.back().get();
    }
    iface::import_sheet* get_sheet(std::string_view name) override
    {
        const QString n = fromView(name);
        for (auto& s : sheets)
            if (s->data.name == n)
                return s.get();
        return nullptr;
    }
    iface::import_sheet* get_sheet(ss::sheet_t index) override
    {
        return index >= 0 && size_t(index) < sheets.size() ? sheets[size_t(index)].get() : nullptr;
    }
    void finalize() override {}

private:
    Shared& m_s;
    Globals m_globals;
    Resolver m_resolver;
};

// ---- inline strings of .xlsx -----------------------------------------------------------------------------------

QByteArray zipEntry(const orcus::zip_archive& zip, const char* name)
{
    std::vector<unsigned char> buf;
    if (!zip.read_file_entry(name, buf))
        return {};
    return QByteArray(reinterpret_cast<const char*>(buf.data()), qsizetype(buf.size()));
}

// The sheet parts in the order of the workbook ("xl/worksheets/sheet1.xml", ...).
QStringList sheetParts(const orcus::zip_archive& zip)
{
    QHash<QString, QString> targets;
    QXmlStreamReader rels(zipEntry(zip, "xl/_rels/workbook.xml.rels"));
    while (!rels.atEnd() && !rels.hasError()) {
        rels.readNext();
        if (rels.isStartElement() && rels.name() == QLatin1String("Relationship"))
            targets.insert(rels.attributes().value(QLatin1String("Id")).toString(),
                           rels.attributes().value(QLatin1String("Target")).toString());
    }
    QStringList parts;
    QXmlStreamReader book(zipEntry(zip, "xl/workbook.xml"));
    while (!book.atEnd() && !book.hasError()) {
        book.readNext();
        if (book.isStartElement() && book.name() == QLatin1String("sheet")) {
            QString id;
            for (const QXmlStreamAttribute& a : book.attributes())
                if (a.name() == QLatin1String("id"))
                    id = a.value().toString();
            QString target = targets.value(id);
            if (target.startsWith(QLatin1Char('/')))
                target = target.mid(1);
            else if (!target.isEmpty())
                target = QStringLiteral("xl/") + target;
            parts << target;
        }
    }
    return parts;
}

void addInlineStrings(const QByteArray& file, Factory& factory)
{
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    orcus::zip_archive zip(&stream);
    zip.load();
    const QStringList parts = sheetParts(zip);
    for (int i = 0; i < parts.size() && size_t(i) < factory.sheets.size(); ++i) {
        if (parts.at(i).isEmpty())
            continue;
        const QByteArray xml = zipEntry(zip, parts.at(i).toUtf8().constData());
        if (!xml.contains("inlineStr"))
            continue;
        SheetImport& sheet = *factory.sheets[size_t(i)];
        QXmlStreamReader r(xml);
        while (!r.atEnd() && !r.hasError()) {
            r.readNext();
            if (!r.isStartElement() || r.name() != QLatin1String("c")
                || r.attributes().value(QLatin1String("t")) != QLatin1String("inlineStr"))
                continue;
            int col = 0, row = 0;
            if (!CellControl::ParseCellRef(r.attributes().value(QLatin1String("r")).toString(), col, row))
                continue;
            const QString style = r.attributes().value(QLatin1String("s")).toString();
            QString text;
            // Every <t> inside the cell's <is>, rich-text runs included.
            while (!r.atEnd() && !r.hasError()) {
                r.readNext();
                if (r.isEndElement() && r.name() == QLatin1String("c"))
                    break;
                if (r.isStartElement() && r.name() == QLatin1String("t"))
                    text += r.readElementText(QXmlStreamReader::IncludeChildElements);
            }
            Cell* c = sheet.cell(row - 1, col - 1);
            if (!c)
                continue;
            if (!style.isEmpty() && !sheet.data.xf.contains(Sheet::key(col, row)))
                sheet.data.xf.insert(Sheet::key(col, row), size_t(style.toUInt()));
            if (std::holds_alternative<Empty>(c->value) && !text.isEmpty())
                c->value = text;
        }
    }
}

// ---- alignment of .xlsx that liborcus drops --------------------------------------------------------------------------

// The <xf> elements of <cellXfs> in xl/styles.xml, in order (the index cells refer to by s="..."): whether each wraps
// its text and whether it centres across the selection.
std::vector<Styles::AlignmentExtra> xlsxAlignmentExtras(const QByteArray& file)
{
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    orcus::zip_archive zip(&stream);
    zip.load();
    std::vector<Styles::AlignmentExtra> out;
    QXmlStreamReader r(zipEntry(zip, "xl/styles.xml"));
    bool inCellXfs = false;
    while (!r.atEnd() && !r.hasError()) {
        r.readNext();
        if (r.isEndElement() && r.name() == QLatin1String("cellXfs"))
            break;
        if (!r.isStartElement())
            continue;
        if (r.name() == QLatin1String("cellXfs"))
            inCellXfs = true;
        else if (inCellXfs && r.name() == QLatin1String("xf")) {
            if (out.size() >= 65536)   // more formats than any real file has: the rest keep the reader's
                break;
            out.emplace_back();
        } else if (inCellXfs && r.name() == QLatin1String("alignment") && !out.empty()) {
            const QXmlStreamAttributes a = r.attributes();
            const QStringView wrap = a.value(QLatin1String("wrapText"));
            out.back().wrap = wrap == QLatin1String("1") || wrap == QLatin1String("true");
            out.back().centreAcross = a.value(QLatin1String("horizontal")) == QLatin1String("centerContinuous");
        }
    }
    return out;
}

// ---- wrapping of .ods that liborcus drops -----------------------------------------------------------------------------

// The cell styles of an OpenDocument file that wrap (fo:wrap-option="wrap"), their own or from a parent style.
QSet<QString> odsWrappingStyles(const orcus::zip_archive& zip)
{
    QHash<QString, QString> parent;
    QHash<QString, bool> own;   // set only where the style says
    for (const char* part : {"styles.xml", "content.xml"}) {
        QXmlStreamReader r(zipEntry(zip, part));
        QString current;
        while (!r.atEnd() && !r.hasError()) {
            r.readNext();
            if (r.isStartElement() && r.name() == QLatin1String("style") && r.namespaceUri().endsWith(QLatin1String(":style:1.0"))) {
                current = r.attributes().value(QLatin1String("style:name")).toString();
                if (r.attributes().value(QLatin1String("style:family")) != QLatin1String("table-cell"))
                    current.clear();
                else if (r.attributes().hasAttribute(QLatin1String("style:parent-style-name")))
                    parent.insert(current, r.attributes().value(QLatin1String("style:parent-style-name")).toString());
            } else if (r.isStartElement() && r.name() == QLatin1String("table-cell-properties") && !current.isEmpty()) {
                const QStringView w = r.attributes().value(QLatin1String("fo:wrap-option"));
                if (!w.isEmpty())
                    own.insert(current, w == QLatin1String("wrap"));
            } else if (r.isEndElement() && r.name() == QLatin1String("style")) {
                current.clear();
            }
        }
    }
    QSet<QString> out;
    QStringList names = own.keys();
    for (auto it = parent.cbegin(); it != parent.cend(); ++it)
        if (!own.contains(it.key()))
            names << it.key();
    for (const QString& name : std::as_const(names)) {
        QString at = name;
        for (int depth = 0; depth < 16 && !at.isEmpty(); ++depth) {   // a loop of parents ends here
            if (own.contains(at)) {
                if (own.value(at))
                    out.insert(name);
                break;
            }
            at = parent.value(at);
        }
    }
    return out;
}

// A row of content.xml written once for several equal rows (table:number-rows-repeated): the reader takes in
// only the first. Its cells are copied into the others here (a long run of empty rows has no cells to copy).
void repeatOdsRows(SheetData& d, int row1, int count)
{
    QList<quint32> keys;
    for (int col = 1; col <= qMin(d.maxCol, MaxCols); ++col)
        if (d.cells.contains(Sheet::key(col, row1)))
            keys << Sheet::key(col, row1);
    if (keys.isEmpty())
        return;
    const int last = qMin(row1 + count - 1, MaxRows);
    const qint64 adds = qint64(last - row1) * keys.size();
    if (adds > d.repeatBudget)   // more than any form holds: a hostile file
        return;
    d.repeatBudget -= adds;
    for (int row = row1 + 1; row <= last; ++row)
        for (quint32 k : std::as_const(keys)) {
            const quint32 to = Sheet::key(Sheet::keyCol(k), row);
            d.cells.insert(to, d.cells.value(k));
            const auto xf = d.xf.constFind(k);
            if (xf != d.xf.constEnd())
                d.xf.insert(to, xf.value());
        }
    d.maxRow = qMax(d.maxRow, last);
}

// What the reader leaves out of content.xml: the contents of repeated rows, and the blocks of each sheet whose
// cells have a wrapping style (their own, else their row's or column's default cell style). Repeated rows and cells
// count as many as they repeat (up to the sheet's limits).
void addOdsParts(const QByteArray& file, std::vector<SheetData>& sheets)
{
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    orcus::zip_archive zip(&stream);
    zip.load();
    const QSet<QString> wrapping = odsWrappingStyles(zip);
    QXmlStreamReader r(zipEntry(zip, "content.xml"));
    int sheet = -1, depth = 0, row = 0, col = 0, rowsRepeated = 1;
    QString rowStyle;
    QVector<bool> colWraps;   // by 0-based column: the column's default style wraps
    const auto count = [&r](const char* attribute) {
        const int n = r.attributes().value(QLatin1String(attribute)).toInt();
        return qBound(1, n, MaxRows);
    };
    while (!r.atEnd() && !r.hasError()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("table") && r.namespaceUri().endsWith(QLatin1String(":table:1.0"))) {
            if (depth++ > 0)
                continue;   // a table inside a cell: not a sheet
            ++sheet;
            row = 0;
            colWraps.clear();
        } else if (r.isEndElement() && r.name() == QLatin1String("table") && r.namespaceUri().endsWith(QLatin1String(":table:1.0"))) {
            --depth;
        } else if (depth != 1 || sheet < 0 || size_t(sheet) >= sheets.size() || !r.isStartElement()) {
            if (depth == 1 && r.isEndElement() && r.name() == QLatin1String("table-row") && sheet >= 0
                && size_t(sheet) < sheets.size()) {
                if (rowsRepeated > 1 && row < MaxRows)
                    repeatOdsRows(sheets[size_t(sheet)], row + 1, rowsRepeated);
                row += rowsRepeated;
            }
            continue;
        } else if (r.name() == QLatin1String("table-column")) {
            const bool wraps = wrapping.contains(r.attributes().value(QLatin1String("table:default-cell-style-name")).toString());
            for (int n = count("table:number-columns-repeated"); n > 0 && colWraps.size() < MaxCols; --n)
                colWraps << wraps;
        } else if (r.name() == QLatin1String("table-row")) {
            rowsRepeated = count("table:number-rows-repeated");
            rowStyle = r.attributes().value(QLatin1String("table:default-cell-style-name")).toString();
            col = 0;
        } else if (r.name() == QLatin1String("table-cell") || r.name() == QLatin1String("covered-table-cell")) {
            const int n = count("table:number-columns-repeated");
            const QString style = r.attributes().value(QLatin1String("table:style-name")).toString();
            if (row < MaxRows && !wrapping.isEmpty())
                for (int c = col; c < col + n && c < MaxCols; ++c) {
                    const bool wraps = !style.isEmpty() ? wrapping.contains(style)
                        : !rowStyle.isEmpty()          ? wrapping.contains(rowStyle)
                                                       : colWraps.value(c);
                    if (!wraps)
                        continue;
                    // Runs of one row grow to the right as long as they touch.
                    QList<Range>& list = sheets[size_t(sheet)].wraps;
                    const Range cellRange{c + 1, row + 1, c + 1, qMin(row + rowsRepeated, MaxRows)};
                    if (!list.isEmpty() && list.last().row1 == cellRange.row1 && list.last().row2 == cellRange.row2
                        && list.last().col2 == c)
                        list.last().col2 = c + 1;
                    else if (list.size() < 100000)
                        list << cellRange;
                }
            col += n;
        }
    }
}

// ---- legacy .xls -----------------------------------------------------------------------------------------------------

void readXls(const QString& path, std::vector<SheetData>& out, ImportReport& report)
{
    const void* handle = nullptr;
    const QByteArray p = QFile::encodeName(path);
    if (freexl_open(p.constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        throw QuelmarError(QString());
    }
    const auto closer = std::unique_ptr<const void, int (*)(const void*)>(handle, freexl_close);
    unsigned int count = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0 || count > 1000)
        throw QuelmarError(QString());
    for (unsigned short s = 0; s < count; ++s) {
        SheetData d;
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, s, &name) == FREEXL_OK && name)
            d.name = QString::fromUtf8(name);
        if (freexl_select_active_worksheet(handle, s) != FREEXL_OK)
            throw QuelmarError(QString());
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_worksheet_dimensions(handle, &rows, &cols) != FREEXL_OK)
            throw QuelmarError(QString());
        if (rows > unsigned(MaxRows) || cols > MaxCols)
            report.clipped = true;
        rows = qMin(rows, unsigned(MaxRows));
        cols = qMin<unsigned short>(cols, MaxCols);
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK)
                    continue;
                Cell cell;
                switch (v.type) {
                case FREEXL_CELL_INT: cell.value = double(v.value.int_value); break;
                case FREEXL_CELL_DOUBLE: cell.value = v.value.double_value; break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    if (v.value.text_value && *v.value.text_value)
                        cell.value = QString::fromUtf8(v.value.text_value);
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME: {
                    const QString t = QString::fromUtf8(v.value.text_value ? v.value.text_value : "");
                    const QDateTime dt = QDateTime::fromString(t, v.type == FREEXL_CELL_DATE ? QStringLiteral("yyyy-MM-dd")
                                                                : v.type == FREEXL_CELL_TIME ? QStringLiteral("HH:mm:ss")
                                                                                             : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                    if (v.type == FREEXL_CELL_TIME) {
                        const QTime tm = QTime::fromString(t, QStringLiteral("HH:mm:ss"));
                        if (tm.isValid()) {
                            cell.value = QTime(0, 0).secsTo(tm) / 86400.0;
                            cell.format.numType = NumTime;
                            cell.format.timeStyle = 3;
                        }
                    } else if (dt.isValid()) {
                        cell.value = double(QDate(1899, 12, 30).daysTo(dt.date())) + QTime(0, 0).secsTo(dt.time()) / 86400.0;
                        cell.format.numType = NumDate;
                        cell.format.dateStyle = v.type == FREEXL_CELL_DATE ? 1 : 2;
                    } else if (!t.isEmpty()) {
                        cell.value = t;
                    }
                    break;
                }
                default: break;
                }
                if (cell.isBlank())
                    continue;
                d.cells.insert(Sheet::key(c + 1, int(r) + 1), cell);
                d.maxCol = qMax(d.maxCol, int(c) + 1);
                d.maxRow = qMax(d.maxRow, int(r) + 1);
            }
        out.push_back(std::move(d));
    }
}

Workbook assemble(std::vector<SheetData>& sheets, Workbook wb, ImportReport& report)
{
    wb.sheets.clear();
    QSet<QString> names;
    for (SheetData& d : sheets) {
        const int cols = qBound(1, d.maxCol, MaxCols), rows = qBound(1, d.maxRow, MaxRows);
        QString name = d.name.trimmed().isEmpty() ? QStringLiteral("Sheet%1").arg(wb.sheets.size() + 1) : d.name.trimmed();
        for (int n = 2; names.contains(name.toLower()); ++n)
            name = d.name.trimmed() + QStringLiteral("(%1)").arg(n);
        names.insert(name.toLower());
        Sheet sh = makeSheet(name, cols, rows);
        for (auto it = d.colWidths.cbegin(); it != d.colWidths.cend(); ++it)
            if (it.key() < sh.cols)
                sh.colWidths[it.key()] = it.value();
        for (auto it = d.rowHeights.cbegin(); it != d.rowHeights.cend(); ++it)
            if (it.key() < sh.rows)
                sh.rowHeights[it.key()] = it.value();
        for (const Range& m : std::as_const(d.merges))
            if (m.col2 < sh.cols && m.row2 < sh.rows)
                sh.merges << m;
        for (auto it = d.cells.cbegin(); it != d.cells.cend(); ++it) {
            const Cell& c = it.value();
            if (c.isBlank() && c.format == CellFormat{})
                continue;
            sh.cells.insert(it.key(), c);
            if (!c.isBlank())
                ++report.cells;
        }
        wb.sheets << sh;
    }
    if (wb.sheets.isEmpty())
        throw QuelmarError(QString());
    wb.curSheet = 0;
    report.sheets = int(wb.sheets.size());
    return wb;
}

enum class Kind { Xlsx, Ods, Csv, Xls, Unknown };

Kind kindOf(const QString& path, const QByteArray& head)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (head.startsWith("PK\x03\x04"))
        return ext == QLatin1String("ods") ? Kind::Ods : Kind::Xlsx;
    if (head.startsWith("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"))
        return Kind::Xls;
    if (ext == QLatin1String("csv") || ext == QLatin1String("txt"))
        return Kind::Csv;
    return Kind::Unknown;
}

} // namespace

Workbook importFile(const QString& path, ImportReport* reportOut)
{
    const QString shown = QFileInfo(path).fileName();
    const auto damaged = [&] {
        return QuelmarError(QStringLiteral("无法导入“%1”：文件已损坏，或不是 Excel、OpenDocument 或 CSV 文件。").arg(shown));
    };
    QFile f(path);
    if (!QFileInfo(path).isFile())
        throw QuelmarError(QStringLiteral("文件 %1 不存在。").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        throw QuelmarError(QStringLiteral("无法打开“%1”：%2").arg(shown, f.errorString()));
    if (f.size() > MaxFileSize)
        throw QuelmarError(QStringLiteral("无法导入“%1”：文件太大（最多 200 MB）。").arg(shown));
    const QByteArray bytes = f.readAll();
    f.close();
    if (bytes.isEmpty())
        throw QuelmarError(QStringLiteral("无法导入“%1”：文件是空的。").arg(shown));

    Workbook wb;
    wb.fonts = {QStringLiteral("宋体")};
    Shared shared(wb);
    std::vector<SheetData> sheets;
    const Kind kind = kindOf(path, bytes.left(8));
    try {
        switch (kind) {
        case Kind::Xls:
            readXls(path, sheets, shared.report);
            break;
        case Kind::Xlsx:
        case Kind::Ods:
        case Kind::Csv: {
            Factory factory(shared);
            const std::string_view view(bytes.constData(), size_t(bytes.size()));
            if (kind == Kind::Xlsx) {
                orcus::orcus_xlsx filter(&factory);
                filter.read_stream(view);
                addInlineStrings(bytes, factory);
                shared.styles.setAlignmentExtras(xlsxAlignmentExtras(bytes));
            } else if (kind == Kind::Ods) {
                orcus::orcus_ods filter(&factory);
                filter.read_stream(view);
            } else {
                if (bytes.contains('\0'))   // a binary file named .csv
                    throw damaged();
                orcus::orcus_csv filter(&factory);
                filter.read_stream(view);
            }
            for (auto& s : factory.sheets)
                sheets.push_back(std::move(s->data));
            if (kind == Kind::Ods)
                addOdsParts(bytes, sheets);
            break;
        }
        case Kind::Unknown:
            throw damaged();
        }
    } catch (const QuelmarError&) {
        throw damaged();
    } catch (const std::exception&) {
        throw damaged();
    }
    for (SheetData& d : sheets) {
        for (auto it = d.xf.cbegin(); it != d.xf.cend(); ++it)
            d.cells[it.key()].format = shared.styles.format(it.value());
        if (!d.wraps.isEmpty())
            for (auto it = d.cells.begin(); it != d.cells.end(); ++it) {
                const int col = Sheet::keyCol(it.key()), row = Sheet::keyRow(it.key());
                for (const Range& w : std::as_const(d.wraps))
                    if (w.contains(col, row)) {
                        it->format.textStyle = 2;
                        break;
                    }
            }
        for (quint32 k : std::as_const(d.dates)) {
            CellFormat& f = d.cells[k].format;
            if (f.numType != NumDate && f.numType != NumTime) {
                f.numType = NumDate;
                f.dateStyle = 1;
            }
        }
    }
    // A 1904-based file: its date serials count from another day.
    if (shared.originOffset != 0)
        for (SheetData& d : sheets)
            for (Cell& c : d.cells)
                if ((c.format.numType == NumDate || c.format.numType == NumTime) && std::holds_alternative<double>(c.value)
                    && c.formula.isEmpty())
                    c.value = std::get<double>(c.value) + shared.originOffset;
    Workbook out;
    try {
        out = assemble(sheets, wb, shared.report);
    } catch (const QuelmarError&) {
        throw damaged();
    }
    if (reportOut)
        *reportOut = shared.report;
    return out;
}

QString importNote(const ImportReport& r)
{
    QString note = QStringLiteral("已导入 %1 个表页、%2 个单元格").arg(r.sheets).arg(r.cells);
    if (r.formulas)
        note += QStringLiteral("、%1 个公式").arg(r.formulas);
    note += QStringLiteral("。");
    if (r.formulasAsValues)
        note += QStringLiteral("%1 个公式用了本程序不支持的函数，保留为计算结果。").arg(r.formulasAsValues);
    if (r.clipped)
        note += QStringLiteral("超出 256 列或 65535 行的单元格未导入。");
    return note;
}

} // namespace cell::excel
