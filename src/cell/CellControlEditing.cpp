// Editing cell content: what the user types (numbers, dates, formulas, texts), fill and clear of the selection,
// column widths, row heights, hyperlinks, pictures and the page setup.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "cell/NumberFormat.h"
#include "core/QuelmarError.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>

namespace cell {

using namespace control;

namespace {

// ---- What the user types ----------------------------------------------------------------------------------------

// "1234", "-1.5e3", "1,234.50", "12%", "¥1,200" -> a number; false for anything else.
bool parseTypedNumber(QString t, double& value, bool& percent)
{
    t = t.trimmed();
    percent = false;
    if (t.isEmpty())
        return false;
    if (t.endsWith(QLatin1Char('%'))) {
        percent = true;
        t.chop(1);
    }
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    static const QRegularExpression grouped(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    if (grouped.match(t).hasMatch())
        t.remove(QLatin1Char(','));
    else if (!plain.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = percent ? v / 100.0 : v;
    return true;
}

// "2024-3-5", "2024/03/05" -> a date serial.
bool parseTypedDate(const QString& t, double& serial)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4})[-/](\\d{1,2})[-/](\\d{1,2})$"));
    const auto m = re.match(t.trimmed());
    if (!m.hasMatch())
        return false;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid())
        return false;
    serial = double(QDate(1899, 12, 30).daysTo(d));
    return true;
}

// The last run of digits of a text ("第1层", "K12+300"): a text series counts it up.
bool lastNumber(const QString& text, QString& prefix, qint64& n, int& digits, QString& suffix)
{
    static const QRegularExpression re(QStringLiteral("^(.*?)(\\d+)(\\D*)$"));
    const auto m = re.match(text);
    if (!m.hasMatch() || m.captured(2).size() > 15)
        return false;
    prefix = m.captured(1);
    n = m.captured(2).toLongLong();
    digits = int(m.captured(2).size());
    suffix = m.captured(3);
    return true;
}

} // namespace

// ---- Cell content ----------------------------------------------------------------------------------------------

void CellControl::SetCellString(int col, int row, int sheet, const QString& text)
{
    editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
        c.formula.clear();
        c.value = text.isEmpty() ? Value{Empty{}} : Value{text};
    });
}

void CellControl::SetCellDouble(int col, int row, int sheet, double value)
{
    if (!std::isfinite(value))
        return;
    editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
        c.formula.clear();
        c.value = value;
    });
}

void CellControl::SetFormula(int col, int row, int sheet, const QString& text)
{
    if (!isValidCell(col, row, sheet))
        return;
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("=")) {
        editCell(col, row, sheet, tr("清除公式"), [](Cell& c) {
            c.formula.clear();
            c.value = Empty{};
        });
        return;
    }
    // Normalising first refuses a syntax error before anything changes.
    const QString normal = formula::FormulaEngine::normalize(t);
    editCell(col, row, sheet, tr("输入公式"), [&](Cell& c) {
        c.formula = normal;
        c.value = Empty{};
    });
}

void CellControl::CalculateAll()
{
    m_engine->recalculateAll();
    markRulesDirty();
    for (int s = 0; s < m_wb.sheets.size(); ++s)
        emit cellsChanged(s, Range{1, 1, m_wb.sheets.at(s).cols - 1, m_wb.sheets.at(s).rows - 1});
}

void CellControl::SetDropdownList(int col, int row, int sheet, const QString& items, int kind)
{
    editCell(col, row, sheet, tr("下拉列表"), [&](Cell& c) {
        c.dropdown = items;
        c.dropdownKind = items.isEmpty() ? 0 : kind;
    });
}

bool CellControl::enterText(int col, int row, int sheet, const QString& text, bool respectLock)
{
    if (!isValidCell(col, row, sheet))
        return false;
    const Cell current = cellOf(m_wb.sheets.at(sheet), col, row);
    if (respectLock && current.format.input == 5)
        return false;
    if (text.startsWith(QLatin1Char('=')) && text.size() > 1) {
        SetFormula(col, row, sheet, text);
        return true;
    }
    double v = 0;
    bool percent = false;
    if (text.startsWith(QLatin1Char('\''))) {   // a leading apostrophe keeps digits as text
        SetCellString(col, row, sheet, text.mid(1));
    } else if (parseTypedNumber(text, v, percent)) {
        editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
            c.formula.clear();
            c.value = v;
            if (percent && c.format.numType == NumGeneral)
                c.format.numType = NumPercent;
        });
    } else if (parseTypedDate(text, v)) {
        editCell(col, row, sheet, tr("输入"), [&](Cell& c) {
            c.formula.clear();
            c.value = v;
            if (c.format.numType == NumGeneral) {
                c.format.numType = NumDate;
                c.format.dateStyle = 1;
            }
        });
    } else {
        SetCellString(col, row, sheet, text);
    }
    return true;
}

QString CellControl::cellText(int col, int row, int sheet) const
{
    if (sheet < 0 || sheet >= m_wb.sheets.size())
        return QString();
    updateRules();
    const Sheet& sh = m_wb.sheets.at(sheet);
    if (!sh.ruleResults.isEmpty()) {
        const auto r = sh.ruleResults.constFind(Sheet::key(col, row));
        if (r != sh.ruleResults.constEnd() && r->showsText)
            return r->text;
    }
    const Cell* c = sh.cellAt(col, row);
    return c ? displayText(*c) : QString();
}

// ---- Fill and clear ----------------------------------------------------------------------------------------------

void CellControl::FillSelection(int flag)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = clipped(cur.selection, cur);
    if (r.isEmpty() || (r.width() == 1 && r.height() == 1))
        return;
    if (!(flag & (1 | 2 | 4 | 8 | 16 | 32 | 64)))
        return;
    editSheet(sheet, tr("填充"), [&](Sheet& sh) {
        const Sheet old = sh;
        const auto copyFrom = [&](int fc, int fr, int tc, int trow) {
            putCell(sh, Sheet::key(tc, trow), movedCell(cellOf(old, fc, fr), tc - fc, trow - fr));
        };
        if (flag & 1) {
            for (int c = r.col1; c <= r.col2; ++c)
                for (int rr = r.row1 + 1; rr <= r.row2; ++rr)
                    copyFrom(c, r.row1, c, rr);
        } else if (flag & 2) {
            for (int rr = r.row1; rr <= r.row2; ++rr)
                for (int c = r.col1 + 1; c <= r.col2; ++c)
                    copyFrom(r.col1, rr, c, rr);
        } else if (flag & 4) {
            for (int c = r.col1; c <= r.col2; ++c)
                for (int rr = r.row1; rr < r.row2; ++rr)
                    copyFrom(c, r.row2, c, rr);
        } else if (flag & 8) {
            for (int rr = r.row1; rr <= r.row2; ++rr)
                for (int c = r.col1; c < r.col2; ++c)
                    copyFrom(r.col2, rr, c, rr);
        } else {
            // Series: down each column when the selection has several rows, else right along its row.
            const bool down = r.height() > 1;
            const int runs = down ? r.width() : r.height();
            const int len = down ? r.height() : r.width();
            for (int k = 0; k < runs; ++k) {
                const auto pos = [&](int i) {
                    return down ? std::pair{r.col1 + k, r.row1 + i} : std::pair{r.col1 + i, r.row1 + k};
                };
                const auto cellAtRun = [&](int i) {
                    const auto [c, rr] = pos(i);
                    return cellOf(old, c, rr);
                };
                const Cell first = cellAtRun(0);
                if (first.isBlank())
                    continue;
                if (flag & 16) {
                    // Repeat the leading non-blank cells over the rest of the run.
                    int seeds = 1;
                    while (seeds < len && !cellAtRun(seeds).isBlank())
                        ++seeds;
                    for (int i = seeds; i < len; ++i) {
                        const auto [fc, fr] = pos(i % seeds);
                        const auto [tc, trow] = pos(i);
                        copyFrom(fc, fr, tc, trow);
                    }
                    continue;
                }
                const bool geometric = !(flag & 32);
                const Cell second = len > 1 ? cellAtRun(1) : Cell{};
                const double* a = std::get_if<double>(&first.value);
                const double* b = first.formula.isEmpty() && second.formula.isEmpty()
                    ? std::get_if<double>(&second.value) : nullptr;
                if (a && first.formula.isEmpty()) {
                    double step = geometric ? 2.0 : 1.0;
                    int start = 1;
                    if (b) {
                        if (geometric && *a != 0) {
                            step = *b / *a;
                            start = 2;
                        } else if (!geometric) {
                            step = *b - *a;
                            start = 2;
                        }
                    }
                    double v = start == 2 ? *b : *a;
                    for (int i = start; i < len; ++i) {
                        v = geometric ? v * step : v + step;
                        Cell t = first;
                        t.value = v;
                        const auto [tc, trow] = pos(i);
                        putCell(sh, Sheet::key(tc, trow), t);
                    }
                } else if (const QString* text = std::get_if<QString>(&first.value); text && !geometric) {
                    // "第1层" -> "第2层", "第3层", ...
                    QString prefix, suffix;
                    qint64 n = 0;
                    int digits = 0;
                    if (!lastNumber(*text, prefix, n, digits, suffix))
                        continue;
                    for (int i = 1; i < len; ++i) {
                        Cell t = first;
                        t.value = prefix + QStringLiteral("%1").arg(n + i, digits, 10, QLatin1Char('0')) + suffix;
                        const auto [tc, trow] = pos(i);
                        putCell(sh, Sheet::key(tc, trow), t);
                    }
                }
            }
        }
        return false;
    });
}

void CellControl::ClearSelection(int flag)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = clipped(cur.selection, cur);
    if (r.isEmpty() || !(flag & 63))
        return;
    editSheet(sheet, tr("清除"), [&](Sheet& sh) {
        // Over the stored cells, not the rectangle: clearing a selected whole sheet costs what the sheet holds.
        sh.cells.removeIf([&](const QHash<quint32, Cell>::iterator& it) {
            if (!r.contains(Sheet::keyCol(it.key()), Sheet::keyRow(it.key())))
                return false;
            if (flag & 32)
                return true;
            Cell& cell = it.value();
            if ((flag & 1) || ((flag & 2) && !cell.formula.isEmpty())) {
                cell.formula.clear();
                cell.value = Empty{};
            }
            if (flag & 4)
                cell.hyperlink.clear();
            if (flag & 8)
                cell.format = CellFormat{};
            return isDefaultCell(cell);
        });
        if (flag & (16 | 32)) {
            sh.pictures.removeIf([&](const Picture& p) { return p.anchor.intersects(r); });
            sh.charts.removeIf([&](const Chart& c) { return c.anchor.intersects(r); });
        }
        return false;
    });
}

// ---- Other edits for the view ----------------------------------------------------------------------------------

void CellControl::setColWidth(int sheet, int col, int width)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || col < 0 || col >= s->cols)
        return;
    editSheet(sheet, tr("列宽"), [&](Sheet& sh) {
        sh.colWidths.resize(sh.cols, 72);
        sh.colWidths[col] = qBound(0, width, 4000);
        return true;
    });
}

void CellControl::setRowHeight(int sheet, int row, int height)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || row < 0 || row >= s->rows)
        return;
    editSheet(sheet, tr("行高"), [&](Sheet& sh) {
        sh.rowHeights.resize(sh.rows, 22);
        sh.rowHeights[row] = qBound(0, height, 4000);
        return true;
    });
}

void CellControl::setHyperlink(int col, int row, int sheet, const QString& target)
{
    editCell(col, row, sheet, tr("超级链接"), [&](Cell& c) { c.hyperlink = target; });
}

void CellControl::addPicture(int sheet, const Picture& picture)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || picture.data.isEmpty())
        return;
    const Range a = clipped(normalized(picture.anchor.col1, picture.anchor.row1, picture.anchor.col2,
                                       picture.anchor.row2), *s);
    if (a.isEmpty())
        return;
    editSheet(sheet, tr("插入图片"), [&](Sheet& sh) {
        sh.pictures.append(Picture{a, picture.data});
        return true;
    });
}

void CellControl::insertChart(int sheet, const Chart& chart)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s)
        return;
    const Range a = clipped(normalized(chart.anchor.col1, chart.anchor.row1, chart.anchor.col2, chart.anchor.row2), *s);
    const Range d = clipped(normalized(chart.data.col1, chart.data.row1, chart.data.col2, chart.data.row2), *s);
    if (a.isEmpty() || d.isEmpty())
        throw QuelmarError(QStringLiteral("图表的数据区域或位置不在表格内。"));
    editSheet(sheet, tr("插入图表"), [&](Sheet& sh) {
        Chart c = chart;
        c.anchor = a;
        c.data = d;
        sh.charts.append(c);
        return true;
    });
}

void CellControl::setPictureAnchor(int sheet, int index, const Range& anchor)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || index < 0 || index >= s->pictures.size())
        return;
    const Range a = clipped(normalized(anchor.col1, anchor.row1, anchor.col2, anchor.row2), *s);
    if (a.isEmpty() || a == s->pictures.at(index).anchor)
        return;
    editSheet(sheet, tr("移动图片"), [&](Sheet& sh) {
        sh.pictures[index].anchor = a;
        return true;
    });
}

void CellControl::removePicture(int sheet, int index)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || index < 0 || index >= s->pictures.size())
        return;
    editSheet(sheet, tr("删除图片"), [&](Sheet& sh) {
        sh.pictures.removeAt(index);
        return true;
    });
}

void CellControl::setBackgroundPicture(int sheet, const QByteArray& data)
{
    editSheet(sheet, tr("背景图片"), [&](Sheet& sh) {
        sh.backgroundPicture = data;
        return true;
    });
}

void CellControl::setPageSetup(int sheet, const PageSetup& page)
{
    const Sheet* s = sheetPtr(sheet);
    if (!s || s->page == page)
        return;
    editSheet(sheet, tr("页面设置"), [&](Sheet& sh) {
        sh.page = page;
        sh.page.scale = qBound(10, sh.page.scale, 400);
        sh.page.copies = qBound(1, sh.page.copies, 999);
        return true;
    });
}

} // namespace cell
