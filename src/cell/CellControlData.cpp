// The data operations that rewrite a block: transpose, round-off balance, series, fill between sheets and the
// batch input of a formula.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "core/QuelmarError.h"

#include <QDate>

#include <algorithm>
#include <cmath>

namespace cell {

using namespace control;

namespace {

bool inside(const Range& outer, const Range& inner)
{
    return inner.col1 >= outer.col1 && inner.col2 <= outer.col2 && inner.row1 >= outer.row1 && inner.row2 <= outer.row2;
}

Range dataRange(const CellControl& control, const Range& range)
{
    const Sheet& sh = control.sheet(control.GetCurSheet());
    return clipped(normalized(range.col1, range.row1, range.col2, range.row2), sh);
}

// ---- Round-off balance -------------------------------------------------------------------------------------------

// Chooses which cells of a table of residuals round up, so that row i gets exactly rowUps[i] and column j
// colUps[j] (as far as the cells allow): the largest residuals first, then augmenting paths. up[i][j] is the
// result; only cells with a residual may round up.
void chooseUps(const QVector<QVector<double>>& residual, QVector<int> rowUps, QVector<int> colUps,
               QVector<QVector<char>>& up)
{
    const int n = int(residual.size()), m = n ? int(residual.at(0).size()) : 0;
    up = QVector<QVector<char>>(n, QVector<char>(m, 0));
    struct Item {
        double r;
        int i, j;
    };
    QVector<Item> items;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j)
            if (residual[i][j] > 1e-9)
                items.append({residual[i][j], i, j});
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.r > b.r; });
    for (const Item& it : items)
        if (rowUps[it.i] > 0 && colUps[it.j] > 0) {
            up[it.i][it.j] = 1;
            --rowUps[it.i];
            --colUps[it.j];
        }
    // Augmenting paths: a row that still needs one, over a free cell to a column, back over a taken cell to a
    // row, ... until a column that still needs one.
    for (;;) {
        QVector<int> prevCol(m, -2), prevRow(n, -2);   // BFS parents
        QVector<int> queue;
        for (int i = 0; i < n; ++i)
            if (rowUps[i] > 0) {
                prevRow[i] = -1;
                queue << i;
            }
        int endCol = -1;
        for (int q = 0; q < queue.size() && endCol < 0; ++q) {
            const int i = queue.at(q);
            for (int j = 0; j < m && endCol < 0; ++j) {
                if (prevCol[j] != -2 || up[i][j] || residual[i][j] <= 1e-9)
                    continue;
                prevCol[j] = i;
                if (colUps[j] > 0) {
                    endCol = j;
                    break;
                }
                for (int i2 = 0; i2 < n; ++i2)
                    if (up[i2][j] && prevRow[i2] == -2) {
                        prevRow[i2] = j;
                        queue << i2;
                    }
            }
        }
        if (endCol < 0)
            return;
        int j = endCol;
        --colUps[j];
        for (;;) {
            const int i = prevCol[j];
            up[i][j] = 1;
            const int back = prevRow[i];
            if (back == -1) {
                --rowUps[i];
                break;
            }
            up[i][back] = 0;
            j = back;
        }
    }
}

// Largest remainders: which of `values` round up so that the rounded values add up to `target`.
QVector<qint64> roundToTotal(const QVector<double>& values, qint64 target)
{
    QVector<qint64> out(values.size());
    qint64 sum = 0;
    QVector<int> order(values.size());
    for (int i = 0; i < values.size(); ++i) {
        out[i] = qint64(std::floor(values[i]));
        sum += out[i];
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return values[a] - std::floor(values[a]) > values[b] - std::floor(values[b]);
    });
    for (int k = 0; k < order.size() && sum < target; ++k)
        if (values[order[k]] - std::floor(values[order[k]]) > 1e-9) {
            ++out[order[k]];
            ++sum;
        }
    return out;
}

// ---- Series ------------------------------------------------------------------------------------------------------

QDate dateOf(double serial) { return QDate(1899, 12, 30).addDays(qint64(std::floor(serial))); }
double serialOf(const QDate& d) { return double(QDate(1899, 12, 30).daysTo(d)); }

} // namespace

// ---- Transpose -----------------------------------------------------------------------------------------------------

void CellControl::transpose(const Range& range, int toCol, int toRow)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = dataRange(*this, range);
    if (r.isEmpty())
        return;
    if (toCol <= 0)
        toCol = r.col1;
    if (toRow <= 0)
        toRow = r.row1;
    const Range target{toCol, toRow, toCol + r.height() - 1, toRow + r.width() - 1};
    if (target.col1 < 1 || target.row1 < 1 || target.col2 >= cur.cols || target.row2 >= cur.rows)
        throw QuelmarError(QStringLiteral("转置后的区域超出表格范围（需要 %1 列、%2 行）。").arg(r.height()).arg(r.width()));
    for (const Range& m : cur.merges)
        if ((m.intersects(r) || m.intersects(target)) && !inside(r, m))
            throw QuelmarError(QStringLiteral("转置的区域不能只含组合单元格的一部分。"));
    editSheet(sheet, tr("数据转置"), [&](Sheet& sh) {
        const Sheet old = sh;
        for (int c = r.col1; c <= r.col2; ++c)
            for (int rr = r.row1; rr <= r.row2; ++rr)
                sh.cells.remove(Sheet::key(c, rr));
        QList<Range> merges;
        for (const Range& m : std::as_const(sh.merges)) {
            if (!inside(r, m)) {
                merges << m;
                continue;
            }
            merges << Range{toCol + m.row1 - r.row1, toRow + m.col1 - r.col1, toCol + m.row2 - r.row1,
                            toRow + m.col2 - r.col1};
        }
        sh.merges = merges;
        // A chart over cells of the block goes on showing them: its range turns, and its series with it.
        for (Chart& chart : sh.charts)
            if (!chart.data.isEmpty() && inside(r, chart.data)) {
                const Range d = chart.data;
                chart.data = Range{toCol + d.row1 - r.row1, toRow + d.col1 - r.col1, toCol + d.row2 - r.row1,
                                   toRow + d.col2 - r.col1};
                chart.seriesInRows = !chart.seriesInRows;
            }
        for (int c = r.col1; c <= r.col2; ++c)
            for (int rr = r.row1; rr <= r.row2; ++rr) {
                Cell cell = cellOf(old, c, rr);
                for (QString* text : {&cell.formula, &cell.rules.showFormula, &cell.rules.colorFormula})
                    if (!text->isEmpty())
                        *text = formula::FormulaEngine::transposeFormula(*text, r, toCol, toRow);
                // The lines turn with the cell: its left edge becomes its top edge.
                CellFormat& f = cell.format;
                std::swap(f.border[Left], f.border[Top]);
                std::swap(f.border[Right], f.border[Bottom]);
                putCell(sh, Sheet::key(toCol + rr - r.row1, toRow + c - r.col1), cell);
            }
        // Formulas (and cell conditions) elsewhere in the workbook that point into the block follow its cells. The
        // moved ones were turned above; the cells they landed on are theirs now.
        const QString blockSheet = sh.name;
        for (int s = 0; s < m_wb.sheets.size(); ++s) {
            Sheet& other = m_wb.sheets[s];
            for (auto it = other.cells.begin(); it != other.cells.end(); ++it) {
                if ((it->formula.isEmpty() && it->rules.isEmpty())
                    || (s == sheet && target.contains(Sheet::keyCol(it.key()), Sheet::keyRow(it.key()))))
                    continue;
                // The cell's formula and its display and colour conditions alike.
                for (QString* text : {&it->formula, &it->rules.showFormula, &it->rules.colorFormula})
                    if (!text->isEmpty())
                        *text = formula::FormulaEngine::followTranspose(*text, s == sheet, blockSheet, r, toCol, toRow);
            }
        }
        return false;
    });
}

// ---- Round-off balance --------------------------------------------------------------------------------------------

void CellControl::roundBalance(const Range& range, const RoundBalanceOptions& o)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = dataRange(*this, range);
    if (o.decimals < 0 || o.decimals > 6)
        throw QuelmarError(QStringLiteral("小数位数应在 0 到 6 之间。"));
    if (!(o.divisor > 0) || !std::isfinite(o.divisor))
        throw QuelmarError(QStringLiteral("换算单位应大于 0。"));
    const Range data{r.col1, r.row1, r.col2 - (o.totalCol ? 1 : 0), r.row2 - (o.totalRow ? 1 : 0)};
    if (r.isEmpty() || data.isEmpty())
        throw QuelmarError(QStringLiteral("请选择含有数据和合计的区域。"));
    const int n = data.height(), m = data.width();
    const double unit = std::pow(10.0, o.decimals);
    QVector<QVector<double>> x(n, QVector<double>(m, 0.0));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) {
            const Cell* c = cur.cellAt(data.col1 + j, data.row1 + i);
            if (!c || c->isBlank())
                continue;
            if (!c->formula.isEmpty())
                throw QuelmarError(QStringLiteral("舍位平衡的数据区域不能含有公式（%1）。")
                                       .arg(GetCellRef(data.col1 + j, data.row1 + i)));
            const double* d = std::get_if<double>(&c->value);
            if (!d)
                continue;   // captions inside the block stay as they are
            // Clean the binary noise of the scaling (0.29 * 100 = 28.999999999999996).
            x[i][j] = std::nearbyint(*d * unit / o.divisor * 1e6) / 1e6;
        }
    QVector<double> rowSum(n, 0.0), colSum(m, 0.0);
    double total = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) {
            rowSum[i] += x[i][j];
            colSum[j] += x[i][j];
            total += x[i][j];
        }
    const auto clean = [](double v) { return std::nearbyint(v * 1e6) / 1e6; };
    for (double& v : rowSum)
        v = clean(v);
    for (double& v : colSum)
        v = clean(v);
    const qint64 grand = qint64(std::floor(clean(total) + 0.5));
    const QVector<qint64> rowTotal = roundToTotal(rowSum, grand), colTotal = roundToTotal(colSum, grand);
    QVector<QVector<double>> residual(n, QVector<double>(m, 0.0));
    QVector<QVector<qint64>> base(n, QVector<qint64>(m, 0));
    QVector<int> rowUps(n), colUps(m);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) {
            base[i][j] = qint64(std::floor(x[i][j]));
            residual[i][j] = x[i][j] - double(base[i][j]);
        }
    for (int i = 0; i < n; ++i) {
        qint64 s = 0;
        for (int j = 0; j < m; ++j)
            s += base[i][j];
        rowUps[i] = int(rowTotal[i] - s);
    }
    for (int j = 0; j < m; ++j) {
        qint64 s = 0;
        for (int i = 0; i < n; ++i)
            s += base[i][j];
        colUps[j] = int(colTotal[j] - s);
    }
    QVector<QVector<char>> up;
    chooseUps(residual, rowUps, colUps, up);

    editSheet(sheet, tr("舍位平衡"), [&](Sheet& sh) {
        const auto write = [&](int c, int rr, qint64 units) {
            Cell cell = cellOf(sh, c, rr);
            if (!cell.formula.isEmpty())
                return;   // a total that is a formula adds up by itself
            cell.value = double(units) / unit;
            cell.format.decimals = o.decimals;
            if (cell.format.numType == NumGeneral)
                cell.format.numType = NumNumber;
            putCell(sh, Sheet::key(c, rr), cell);
        };
        QVector<qint64> rows(n, 0), cols(m, 0);
        qint64 all = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < m; ++j) {
                const qint64 v = base[i][j] + up[i][j];
                rows[i] += v;
                cols[j] += v;
                all += v;
                const Cell* c = sh.cellAt(data.col1 + j, data.row1 + i);
                if (c && std::holds_alternative<double>(c->value))
                    write(data.col1 + j, data.row1 + i, v);
            }
        // The totals are what the rounded cells add up to: the targets whenever the cells allowed it.
        if (o.totalCol)
            for (int i = 0; i < n; ++i)
                write(r.col2, data.row1 + i, rows[i]);
        if (o.totalRow)
            for (int j = 0; j < m; ++j)
                write(data.col1 + j, r.row2, cols[j]);
        if (o.totalRow && o.totalCol)
            write(r.col2, r.row2, all);
        return false;
    });
}

// ---- Series ------------------------------------------------------------------------------------------------------

namespace {

// Whether a series from `start` runs downwards (a growth series falls when its factor shrinks a positive start).
bool seriesFalls(const SeriesOptions& o, double start)
{
    return o.type == SeriesType::Growth ? (o.step < 1) == (start >= 0) : o.step < 0;
}

} // namespace

void CellControl::fillSeries(const Range& range, const SeriesOptions& o)
{
    const int sheet = m_wb.curSheet;
    const Range r = dataRange(*this, range);
    if (r.isEmpty())
        return;
    if (!std::isfinite(o.step) || (o.type == SeriesType::Growth && o.step == 0))
        throw QuelmarError(QStringLiteral("步长值不正确。"));
    if (o.hasStop) {
        // A stop value that every start value has already passed would fill nothing: say so instead.
        bool anyStart = false, anyBefore = false;
        const Sheet& sh = m_wb.sheets.at(sheet);
        const int runs = o.byColumns ? r.width() : r.height();
        for (int k = 0; k < runs; ++k) {
            const Cell* seed = sh.cellAt(o.byColumns ? r.col1 + k : r.col1, o.byColumns ? r.row1 : r.row1 + k);
            const double* v0 = seed && seed->formula.isEmpty() ? std::get_if<double>(&seed->value) : nullptr;
            if (!v0)
                continue;
            anyStart = true;
            const bool down = seriesFalls(o, *v0);
            anyBefore = anyBefore || (down ? o.stop <= *v0 : o.stop >= *v0);
        }
        if (anyStart && !anyBefore)
            throw QuelmarError(QStringLiteral("终止值在起始值之前，没有可填充的单元格。"));
    }
    editSheet(sheet, tr("序列填充"), [&](Sheet& sh) {
        const int runs = o.byColumns ? r.width() : r.height();
        const int len = o.byColumns ? r.height() : r.width();
        for (int k = 0; k < runs; ++k) {
            const auto pos = [&](int i) {
                return o.byColumns ? std::pair{r.col1 + k, r.row1 + i} : std::pair{r.col1 + i, r.row1 + k};
            };
            const auto [c0, r0] = pos(0);
            const Cell seed = cellOf(sh, c0, r0);
            const double* v0 = std::get_if<double>(&seed.value);
            if (!v0 || !seed.formula.isEmpty())
                continue;
            QDate date = dateOf(*v0);
            double v = *v0;
            for (int i = 1; i < len; ++i) {
                switch (o.type) {
                case SeriesType::Linear: v = *v0 + o.step * i; break;
                case SeriesType::Growth: v *= o.step; break;
                case SeriesType::Date: {
                    const int step = int(std::lround(o.step));
                    if (o.unit == DateUnit::Day)
                        date = date.addDays(step);
                    else if (o.unit == DateUnit::Month)
                        date = dateOf(*v0).addMonths(step * i);
                    else if (o.unit == DateUnit::Year)
                        date = dateOf(*v0).addYears(step * i);
                    else {
                        // Working days: the step counts Monday to Friday only.
                        int left = std::abs(step);
                        while (left > 0) {
                            date = date.addDays(step > 0 ? 1 : -1);
                            if (date.dayOfWeek() <= 5)
                                --left;
                        }
                    }
                    if (!date.isValid())
                        return false;
                    v = serialOf(date) + (*v0 - std::floor(*v0));
                    break;
                }
                }
                if (!std::isfinite(v))
                    break;
                if (o.hasStop && (seriesFalls(o, *v0) ? v < o.stop - 1e-9 : v > o.stop + 1e-9))
                    break;
                Cell t = seed;
                t.value = v;
                const auto [c, rr] = pos(i);
                putCell(sh, Sheet::key(c, rr), t);
            }
        }
        return false;
    });
}

// ---- Fill between sheets -----------------------------------------------------------------------------------------

void CellControl::fillBetweenSheets(const Range& range, const QList<int>& sheets)
{
    const int sheet = m_wb.curSheet;
    const Range r = dataRange(*this, range);
    if (r.isEmpty())
        return;
    QList<int> targets;
    for (int s : sheets)
        if (s != sheet && s >= 0 && s < m_wb.sheets.size() && !targets.contains(s))
            targets << s;
    if (targets.isEmpty())
        return;
    editSheet(sheet, tr("垂直填充"), [&](Sheet& src) {
        const Sheet from = src;
        for (int s : std::as_const(targets)) {
            Sheet& to = m_wb.sheets[s];
            const Range t = clipped(r, to);
            if (t.isEmpty())
                continue;
            to.merges.removeIf([&](const Range& m) { return m.intersects(t); });
            for (const Range& m : from.merges)
                if (inside(t, m))
                    to.merges << m;
            for (int c = t.col1; c <= t.col2; ++c)
                for (int rr = t.row1; rr <= t.row2; ++rr)
                    putCell(to, Sheet::key(c, rr), cellOf(from, c, rr));
        }
        return false;
    });
}

// ---- Batch formula -----------------------------------------------------------------------------------------------

void CellControl::setFormulaBatch(const Range& range, const QString& text)
{
    const int sheet = m_wb.curSheet;
    const Range r = dataRange(*this, range);
    if (r.isEmpty())
        return;
    const QString base = formula::FormulaEngine::normalize(text);   // throws on a syntax error
    editSheet(sheet, tr("批量录入公式"), [&](Sheet& sh) {
        for (int c = r.col1; c <= r.col2; ++c)
            for (int rr = r.row1; rr <= r.row2; ++rr) {
                Cell cell = cellOf(sh, c, rr);
                cell.formula = base.isEmpty() ? QString()
                                              : formula::FormulaEngine::translateFormula(base, c - r.col1, rr - r.row1);
                if (cell.formula.isEmpty())
                    cell.value = Empty{};
                putCell(sh, Sheet::key(c, rr), cell);
            }
        return false;
    });
}

// ---- Format painter -----------------------------------------------------------------------------------------------

void CellControl::copyFormats(const Range& source, const Range& target)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range s = clipped(normalized(source.col1, source.row1, source.col2, source.row2), cur);
    Range t = clipped(normalized(target.col1, target.row1, target.col2, target.row2), cur);
    if (s.isEmpty() || t.isEmpty())
        return;
    // A target smaller than the source takes the whole source pattern, as far as the sheet allows.
    t.col2 = qMin(cur.cols - 1, qMax(t.col2, t.col1 + s.width() - 1));
    t.row2 = qMin(cur.rows - 1, qMax(t.row2, t.row1 + s.height() - 1));
    editSheet(sheet, tr("格式刷"), [&](Sheet& sh) {
        const Sheet old = sh;
        for (int c = t.col1; c <= t.col2; ++c)
            for (int r = t.row1; r <= t.row2; ++r) {
                Cell cell = cellOf(sh, c, r);
                cell.format = cellOf(old, s.col1 + (c - t.col1) % s.width(), s.row1 + (r - t.row1) % s.height()).format;
                putCell(sh, Sheet::key(c, r), cell);
            }
        QList<Range> merges;
        for (const Range& m : std::as_const(sh.merges))
            if (!m.intersects(t))
                merges << m;
        for (const Range& m : old.merges) {
            if (!inside(s, m))
                continue;
            for (int dc = 0; dc + s.width() <= t.width() || dc == 0; dc += s.width())
                for (int dr = 0; dr + s.height() <= t.height() || dr == 0; dr += s.height()) {
                    const Range moved{t.col1 + dc + m.col1 - s.col1, t.row1 + dr + m.row1 - s.row1,
                                      t.col1 + dc + m.col2 - s.col1, t.row1 + dr + m.row2 - s.row1};
                    if (inside(t, moved))
                        merges << moved;
                }
        }
        sh.merges = merges;
        return true;
    });
}

void CellControl::startFormatPainter(bool sticky)
{
    m_painter = Painter{true, sticky, m_wb.curSheet, m_wb.sheets.at(m_wb.curSheet).selection};
}

void CellControl::stopFormatPainter()
{
    m_painter.active = false;
}

void CellControl::applyFormatPainter(const Range& target)
{
    if (!m_painter.active)
        return;
    if (m_painter.sheet == m_wb.curSheet && m_painter.source != target)
        copyFormats(m_painter.source, target);
    if (!m_painter.sticky)
        m_painter.active = false;
}

} // namespace cell
