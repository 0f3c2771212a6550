// Sums and queries over blocks: class sums, the cell-by-cell sum of blocks on one sheet or over sheets, the rows
// that meet conditions, the list of formulas.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "core/QuelmarError.h"

#include <algorithm>
#include <cmath>

namespace cell {

using namespace control;

// ---- Conditions ----------------------------------------------------------------------------------------------------

namespace {

bool numberOf(QString t, double& v)
{
    t = t.trimmed();
    t.remove(QLatin1Char(','));
    if (t.isEmpty())
        return false;
    bool ok = false;
    v = t.toDouble(&ok);
    return ok && std::isfinite(v);
}

double numericValue(const Cell* c, bool& ok)
{
    ok = false;
    if (!c)
        return 0;
    if (const double* d = std::get_if<double>(&c->value)) {
        ok = true;
        return *d;
    }
    return 0;
}

Range fittedTarget(const Sheet& sh, int col, int row, int width, int height)
{
    const Range t{col, row, col + width - 1, row + height - 1};
    if (col < 1 || row < 1 || t.col2 >= sh.cols || t.row2 >= sh.rows)
        throw QuelmarError(QStringLiteral("汇总结果超出表格范围（需要 %1 列、%2 行）。").arg(width).arg(height));
    return t;
}

void writeValue(Sheet& sh, int col, int row, const Value& v)
{
    Cell c = cellOf(sh, col, row);
    c.formula.clear();
    c.value = v;
    putCell(sh, Sheet::key(col, row), c);
}

} // namespace

QString compareOpText(CompareOp op)
{
    switch (op) {
    case CompareOp::Equal: return QStringLiteral("等于");
    case CompareOp::NotEqual: return QStringLiteral("不等于");
    case CompareOp::Less: return QStringLiteral("小于");
    case CompareOp::LessEqual: return QStringLiteral("小于等于");
    case CompareOp::Greater: return QStringLiteral("大于");
    case CompareOp::GreaterEqual: return QStringLiteral("大于等于");
    case CompareOp::Contains: return QStringLiteral("包含");
    case CompareOp::NotContains: return QStringLiteral("不包含");
    }
    return QString();
}

bool conditionHolds(const QString& text, const Condition& c)
{
    if (c.op == CompareOp::Contains)
        return text.contains(c.value, Qt::CaseInsensitive);
    if (c.op == CompareOp::NotContains)
        return !text.contains(c.value, Qt::CaseInsensitive);
    double a = 0, b = 0;
    int cmp;
    if (numberOf(text, a) && numberOf(c.value, b))
        cmp = a < b ? -1 : (a > b ? 1 : 0);
    else
        cmp = text.trimmed().compare(c.value.trimmed(), Qt::CaseInsensitive);
    switch (c.op) {
    case CompareOp::Equal: return cmp == 0;
    case CompareOp::NotEqual: return cmp != 0;
    case CompareOp::Less: return cmp < 0;
    case CompareOp::LessEqual: return cmp <= 0;
    case CompareOp::Greater: return cmp > 0;
    case CompareOp::GreaterEqual: return cmp >= 0;
    default: return false;
    }
}

// ---- Class sum -----------------------------------------------------------------------------------------------------

void CellControl::classSum(const Range& range, const ClassSumOptions& o)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    const Range r = clipped(normalized(range.col1, range.row1, range.col2, range.row2), cur);
    if (r.isEmpty())
        return;
    if (o.keyCol < r.col1 || o.keyCol > r.col2)
        throw QuelmarError(QStringLiteral("分类列不在汇总区域内。"));
    if (o.sumCols.isEmpty())
        throw QuelmarError(QStringLiteral("请选择要汇总的列。"));
    for (int c : o.sumCols)
        if (c < r.col1 || c > r.col2)
            throw QuelmarError(QStringLiteral("汇总列不在汇总区域内。"));
    const int firstData = r.row1 + (o.header ? 1 : 0);

    struct Class {
        Value key;
        QVector<double> sum, min, max;
        QVector<int> count;
    };
    QList<Class> classes;
    QHash<QString, int> index;
    const int nSum = int(o.sumCols.size());
    const auto blankClass = [&](const Value& key) {
        return Class{key, QVector<double>(nSum, 0.0), QVector<double>(nSum, 0.0), QVector<double>(nSum, 0.0),
                     QVector<int>(nSum, 0)};
    };
    Class all = blankClass(Value(QStringLiteral("合计")));
    const auto add = [&](Class& k, int i, double v) {
        k.min[i] = k.count[i] ? qMin(k.min[i], v) : v;
        k.max[i] = k.count[i] ? qMax(k.max[i], v) : v;
        k.sum[i] += v;
        ++k.count[i];
    };
    for (int row = firstData; row <= r.row2; ++row) {
        const QString keyText = cellText(o.keyCol, row, sheet);
        if (keyText.trimmed().isEmpty())
            continue;
        auto it = index.constFind(keyText);
        if (it == index.constEnd()) {
            it = index.insert(keyText, int(classes.size()));
            classes << blankClass(cellOf(cur, o.keyCol, row).value);
        }
        Class& k = classes[it.value()];
        for (int i = 0; i < nSum; ++i) {
            bool ok = false;
            const double v = numericValue(cur.cellAt(o.sumCols.at(i), row), ok);
            if (ok) {
                add(k, i, v);
                add(all, i, v);
            }
        }
    }
    const int height = (o.header ? 1 : 0) + int(classes.size()) + (o.grandTotal ? 1 : 0);
    const Range target = fittedTarget(cur, o.toCol, o.toRow, 1 + nSum, height);
    if (target.intersects(r))
        throw QuelmarError(QStringLiteral("汇总结果不能覆盖汇总区域。"));
    const auto result = [&](const Class& k, int i) -> Value {
        switch (o.function) {
        case SumFunction::Sum: return k.sum[i];
        case SumFunction::Count: return double(k.count[i]);
        case SumFunction::Average: return k.count[i] ? Value(k.sum[i] / k.count[i]) : Value(ErrorValue::Div0);
        case SumFunction::Max: return k.count[i] ? Value(k.max[i]) : Value(0.0);
        case SumFunction::Min: return k.count[i] ? Value(k.min[i]) : Value(0.0);
        }
        return Empty{};
    };
    editSheet(sheet, tr("分类汇总"), [&](Sheet& sh) {
        int row = target.row1;
        if (o.header) {
            writeValue(sh, target.col1, row, cellOf(cur, o.keyCol, r.row1).value);
            for (int i = 0; i < nSum; ++i)
                writeValue(sh, target.col1 + 1 + i, row, cellOf(cur, o.sumCols.at(i), r.row1).value);
            ++row;
        }
        for (const Class& k : std::as_const(classes)) {
            writeValue(sh, target.col1, row, k.key);
            for (int i = 0; i < nSum; ++i)
                writeValue(sh, target.col1 + 1 + i, row, result(k, i));
            ++row;
        }
        if (o.grandTotal) {
            writeValue(sh, target.col1, row, all.key);
            for (int i = 0; i < nSum; ++i)
                writeValue(sh, target.col1 + 1 + i, row, result(all, i));
        }
        return false;
    });
}

// ---- Block sums ----------------------------------------------------------------------------------------------------

void CellControl::rangeSum(const QList<Range>& sources, int toCol, int toRow)
{
    const int sheet = m_wb.curSheet;
    const Sheet& cur = m_wb.sheets.at(sheet);
    if (sources.isEmpty())
        return;
    QList<Range> rs;
    for (const Range& s : sources) {
        const Range r = clipped(normalized(s.col1, s.row1, s.col2, s.row2), cur);
        if (r.isEmpty())
            throw QuelmarError(QStringLiteral("汇总区域不在表格内。"));
        if (!rs.isEmpty() && (r.width() != rs.first().width() || r.height() != rs.first().height()))
            throw QuelmarError(QStringLiteral("各汇总区域的大小必须相同。"));
        rs << r;
    }
    const int w = rs.first().width(), h = rs.first().height();
    const Range target = fittedTarget(cur, toCol, toRow, w, h);
    QVector<double> sums(w * h, 0.0);
    for (const Range& r : std::as_const(rs))
        for (int dr = 0; dr < h; ++dr)
            for (int dc = 0; dc < w; ++dc) {
                bool ok = false;
                sums[dr * w + dc] += numericValue(cur.cellAt(r.col1 + dc, r.row1 + dr), ok);
            }
    editSheet(sheet, tr("区域汇总"), [&](Sheet& sh) {
        for (int dr = 0; dr < h; ++dr)
            for (int dc = 0; dc < w; ++dc)
                writeValue(sh, target.col1 + dc, target.row1 + dr, sums[dr * w + dc]);
        return false;
    });
}

void CellControl::sheetRangeSum(const QList<int>& sheets, const Range& range, int toSheet)
{
    if (toSheet < 0 || toSheet >= m_wb.sheets.size())
        throw QuelmarError(QStringLiteral("汇总到的表页不存在。"));
    const Sheet& dest = m_wb.sheets.at(toSheet);
    const Range r = clipped(normalized(range.col1, range.row1, range.col2, range.row2), dest);
    if (r.isEmpty() || sheets.isEmpty())
        return;
    const int w = r.width(), h = r.height();
    QVector<double> sums(w * h, 0.0);
    for (int s : sheets) {
        if (s < 0 || s >= m_wb.sheets.size())
            throw QuelmarError(QStringLiteral("表页 %1 不存在。").arg(s + 1));
        const Sheet& sh = m_wb.sheets.at(s);
        for (int dr = 0; dr < h; ++dr)
            for (int dc = 0; dc < w; ++dc) {
                bool ok = false;
                sums[dr * w + dc] += numericValue(sh.cellAt(r.col1 + dc, r.row1 + dr), ok);
            }
    }
    editSheet(toSheet, tr("页间区域汇总"), [&](Sheet& sh) {
        for (int dr = 0; dr < h; ++dr)
            for (int dc = 0; dc < w; ++dc)
                writeValue(sh, r.col1 + dc, r.row1 + dr, sums[dr * w + dc]);
        return false;
    });
}

// ---- Queries -------------------------------------------------------------------------------------------------------

QList<FoundRow> CellControl::queryRows(const QList<int>& sheets, const Range& range, const Query& query) const
{
    QList<FoundRow> out;
    for (int s : sheets) {
        if (s < 0 || s >= m_wb.sheets.size())
            continue;
        const Sheet& sh = m_wb.sheets.at(s);
        const Range r = clipped(normalized(range.col1, range.row1, range.col2, range.row2), sh);
        if (r.isEmpty())
            continue;
        for (int row = r.row1; row <= r.row2; ++row) {
            bool match = query.all;
            for (const Condition& c : query.conditions) {
                const bool holds = conditionHolds(cellText(c.col, row, s), c);
                if (query.all && !holds) {
                    match = false;
                    break;
                }
                if (!query.all && holds) {
                    match = true;
                    break;
                }
            }
            if (query.conditions.isEmpty())
                match = true;
            if (!match)
                continue;
            FoundRow f;
            f.sheet = s;
            f.row = row;
            for (int c = r.col1; c <= r.col2; ++c)
                f.texts << cellText(c, row, s);
            out << f;
        }
    }
    return out;
}

QList<FoundRow> CellControl::queryFiles(const QStringList& files, int sheet, const Range& range, const Query& query,
                                        QStringList* failed)
{
    QList<FoundRow> out;
    for (const QString& file : files) {
        CellControl book;
        if (!book.OpenFile(file, tableFilePassword())) {
            if (failed)
                *failed << book.errorString();
            continue;
        }
        if (sheet < 0 || sheet >= book.workbook().sheets.size())
            continue;
        for (FoundRow f : book.queryRows({sheet}, range, query)) {
            f.file = file;
            out << f;
        }
    }
    return out;
}

QList<FormulaEntry> CellControl::formulaList(int sheet) const
{
    QList<FormulaEntry> out;
    if (sheet < 0 || sheet >= m_wb.sheets.size())
        return out;
    const Sheet& sh = m_wb.sheets.at(sheet);
    for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it)
        if (!it.value().formula.isEmpty()) {
            const int c = Sheet::keyCol(it.key()), r = Sheet::keyRow(it.key());
            out << FormulaEntry{sheet, c, r, it.value().formula, cellText(c, r, sheet)};
        }
    std::sort(out.begin(), out.end(), [](const FormulaEntry& a, const FormulaEntry& b) {
        return std::pair(a.row, a.col) < std::pair(b.row, b.col);
    });
    return out;
}

} // namespace cell
