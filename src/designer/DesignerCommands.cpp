#include "designer/DesignerCommands.h"

#include "cell/CellControl.h"
#include "core/Prompter.h"

namespace designer {

using cell::CellControl;

namespace {

const QString kCaption = QStringLiteral("Diridod");

// Whole number in a text as the user typed it (blanks around it allowed).
bool toInt(const QString& text, int& value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

} // namespace

// ---- Toolbar lists ------------------------------------------------------------------------------------------------

QStringList lineStyleTexts()
{
    return {QStringLiteral("细线"),   QStringLiteral("中线"),     QStringLiteral("粗线"),   QStringLiteral("划线"),
            QStringLiteral("点线"),   QStringLiteral("点划线"),   QStringLiteral("点点划线"), QStringLiteral("粗划线"),
            QStringLiteral("粗点线"), QStringLiteral("粗点划线"), QStringLiteral("粗点点划线")};
}

int lineStyleCode(const QString& text)
{
    const int i = int(lineStyleTexts().indexOf(text));
    return i < 0 ? 255 : i + 2;
}

QStringList fontSizeTexts()
{
    QStringList list;
    for (int s : {5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 36, 42, 48, 72, 100, 150, 300, 500,
                  800, 1200, 2000})
        list << QString::number(s);
    return list;
}

QStringList zoomTexts()
{
    QStringList list;
    for (int z : {200, 150, 120, 110, 100, 90, 80, 70, 50, 30, 20, 15, 10, 5, 3, 1})
        list << QStringLiteral("%1%").arg(z);
    return list;
}

QStringList dateStyleCaptions()
{
    return {QStringLiteral("1997-3-4 "),          QStringLiteral("1997-03-04 13:30:12 "), QStringLiteral("1997-3-4 1:30 PM "),
            QStringLiteral("1997-3-4 13:30"),     QStringLiteral("97-3-4 "),              QStringLiteral("3-4-97"),
            QStringLiteral("03-04-97 "),          QStringLiteral("3-4"),                  QStringLiteral("一九九七年三月四日 "),
            QStringLiteral("一九九七年三月"),     QStringLiteral("三月四日 "),            QStringLiteral("1997年3月4日"),
            QStringLiteral("1997年3月 "),         QStringLiteral("3月4日"),               QStringLiteral("星期二 "),
            QStringLiteral("二 "),                QStringLiteral("4-Mar"),                QStringLiteral("4-Mar-97 "),
            QStringLiteral("04-Mar-97 "),         QStringLiteral("Mar-97"),               QStringLiteral("March-97 ")};
}

QStringList timeStyleCaptions()
{
    return {QStringLiteral("13:30 "),         QStringLiteral("1:30 PM"),          QStringLiteral("13:30:00 "),
            QStringLiteral("1:30:00 PM"),     QStringLiteral("13时30分 "),        QStringLiteral("13时30分00秒"),
            QStringLiteral("下午1时30分 "),   QStringLiteral("下午1时30分00秒"),  QStringLiteral("十三时三十分 "),
            QStringLiteral("下午一时三十分 ")};
}

double automationDate(const QDate& date)
{
    return double(QDate(1899, 12, 30).daysTo(date));
}

double dayFraction(const QTime& time)
{
    return QTime(0, 0).msecsTo(time) / 86400000.0;
}

// ---- Helpers ----------------------------------------------------------------------------------------------------

DesignerCommands::Sel DesignerCommands::selection() const
{
    Sel s;
    m_c.GetSelectRange(s.col1, s.row1, s.col2, s.row2);
    return s;
}

int DesignerCommands::sheet() const { return m_c.GetCurSheet(); }

namespace {

// Columns form the outer loop, rows the inner one.
template <typename Sel, typename F>
void forEachCell(const Sel& s, F&& f)
{
    for (int col = s.col1; col <= s.col2; ++col)
        for (int row = s.row1; row <= s.row2; ++row)
            f(col, row);
}

} // namespace

// ---- Clipboard and selection ----------------------------------------------------------------------------------------

void DesignerCommands::Cut()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("剪切"));
    m_c.CutRange(s.col1, s.row1, s.col2, s.row2);
}

void DesignerCommands::Copy()
{
    const Sel s = selection();
    m_c.CopyRange(s.col1, s.row1, s.col2, s.row2);
}

void DesignerCommands::Paste()
{
    CellControl::EditGroup g(m_c, QStringLiteral("粘贴"));
    m_c.PasteRange(m_c.GetCurCol(), m_c.GetCurRow(), 0, 1, 1);
}

void DesignerCommands::SpecialPaste(int mode, bool sameSize, bool skipBlanks)
{
    CellControl::EditGroup g(m_c, QStringLiteral("选择性粘贴"));
    m_c.PasteRange(m_c.GetCurCol(), m_c.GetCurRow(), mode, sameSize ? 0 : 1, skipBlanks ? 0 : 1);
}

void DesignerCommands::SelectAll()
{
    m_c.Invalidate();
    m_c.SelectRange(1, 1, m_c.GetCols(sheet()) - 1, m_c.GetRows(sheet()) - 1);
    m_c.Redraw();
}

// ---- View ---------------------------------------------------------------------------------------------------------

void DesignerCommands::ToggleFixedRowsCols(bool& marked)
{
    if (marked) {
        m_c.SetFixedCols(0, -1);
        m_c.SetFixedRows(0, -1);
        marked = false;
    } else {
        m_c.SetFixedCols(1, m_c.GetCurCol() - 1);
        m_c.SetFixedRows(1, m_c.GetCurRow() - 1);
        marked = true;
    }
}

void DesignerCommands::ShowGrid(bool shown)
{
    m_c.ShowGridLine(shown ? 1 : 0, sheet());
    m_c.Redraw();
}

bool DesignerCommands::Zoom(const QString& text)
{
    const int percent = int(text.indexOf(QLatin1Char('%')));
    int n = 0;
    if (!toInt(percent < 0 ? text : text.left(percent), n) || n <= 0) {
        m_p.inform(kCaption, QStringLiteral("显示比例“%1”无效，请输入如“100%”的比例。").arg(text));
        return false;
    }
    m_c.SetScreenScale(sheet(), n / 100.0);
    return true;
}

// ---- Font and colour ----------------------------------------------------------------------------------------------

void DesignerCommands::FontName(const QString& name)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("字体"));
    const int index = m_c.FindFontIndex(name, 1);
    forEachCell(s, [&](int col, int row) { m_c.SetCellFont(col, row, sheet(), index); });
    m_c.Redraw();
}

bool DesignerCommands::FontSize(const QString& text)
{
    int size = 0;
    if (!toInt(text, size)) {
        m_p.inform(kCaption, QStringLiteral("字号“%1”不是整数，请输入一个整数字号。").arg(text));
        return false;
    }
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("字号"));
    forEachCell(s, [&](int col, int row) { m_c.SetCellFontSize(col, row, sheet(), size); });
    m_c.Redraw();
    return true;
}

void DesignerCommands::FontStyle(bool bold, bool italic, bool underline)
{
    const int style = (bold ? 2 : 0) + (italic ? 4 : 0) + (underline ? 8 : 0);
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("字形"));
    forEachCell(s, [&](int col, int row) { m_c.SetCellFontStyle(col, row, sheet(), style); });
    m_c.Redraw();
}

void DesignerCommands::BackColor(const QColor& color)
{
    if (!color.isValid())
        return;
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("背景色"));
    forEachCell(s, [&](int col, int row) {
        const int index = m_c.FindColorIndex(color, 1);
        if (index != -1)
            m_c.SetCellBackColor(col, row, sheet(), index);
    });
    m_c.Redraw();
}

void DesignerCommands::TextColor(const QColor& color)
{
    if (!color.isValid())
        return;
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("前景色"));
    forEachCell(s, [&](int col, int row) {
        const int index = m_c.FindColorIndex(color, 1);
        if (index >= 0)
            m_c.SetCellTextColor(col, row, sheet(), index);
    });
    m_c.Redraw();
}

void DesignerCommands::Wrap(bool wrap)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("拆行显示"));
    forEachCell(s, [&](int col, int row) { m_c.SetCellTextStyle(col, row, sheet(), wrap ? 2 : 0); });
    m_c.Redraw();
}

void DesignerCommands::HorizontalAlign(int code)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("对齐"));
    forEachCell(s, [&](int col, int row) {
        const int flags = (m_c.GetCellAlign(col, row, sheet()) & 0x38) | code;
        m_c.SetCellAlign(col, row, sheet(), flags);
    });
    m_c.Redraw();
}

// ---- Number formats -------------------------------------------------------------------------------------------------

void DesignerCommands::Currency(int currency)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("货币符号"));
    forEachCell(s, [&](int col, int row) { m_c.SetCellCurrency(col, row, sheet(), currency); });
    m_c.Redraw();
}

void DesignerCommands::Percent()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("百分号"));
    forEachCell(s, [&](int col, int row) { m_c.SetCellNumType(col, row, sheet(), 5); });
    m_c.Redraw();
}

void DesignerCommands::Thousands()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("千分位"));
    forEachCell(s, [&](int col, int row) {
        m_c.SetCellSeparator(col, row, sheet(), 2);
        m_c.SetCellNumType(col, row, sheet(), 1);
    });
    m_c.Redraw();
}

void DesignerCommands::DateStyle(int style, const QDate& today)
{
    const Sel s = selection();
    const double value = automationDate(today);
    CellControl::EditGroup g(m_c, QStringLiteral("日期"));
    forEachCell(s, [&](int col, int row) {
        m_c.SetCellDouble(col, row, sheet(), value);
        m_c.SetCellNumType(col, row, sheet(), 3);
        m_c.SetCellDateStyle(col, row, sheet(), style);
    });
    m_c.Redraw();
}

void DesignerCommands::TimeStyle(int style, const QTime& now)
{
    const Sel s = selection();
    const double value = dayFraction(now);
    CellControl::EditGroup g(m_c, QStringLiteral("时间"));
    forEachCell(s, [&](int col, int row) {
        m_c.SetCellDouble(col, row, sheet(), value);
        m_c.SetCellNumType(col, row, sheet(), 4);
        m_c.SetCellTimeStyle(col, row, sheet(), style);
    });
    m_c.Redraw();
}

void DesignerCommands::Lock(bool locked)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, locked ? QStringLiteral("加锁") : QStringLiteral("解锁"));
    forEachCell(s, [&](int col, int row) { m_c.SetCellInput(col, row, sheet(), locked ? 5 : 1); });
    m_c.Redraw();
}

// ---- Borders --------------------------------------------------------------------------------------------------------

void DesignerCommands::DrawGrid(int style)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("画网格线"));
    forEachCell(s, [&](int col, int row) {
        for (int side = 0; side <= 3; ++side)
            m_c.SetCellBorder(col, row, sheet(), side, style);
        m_c.Invalidate();
    });
}

void DesignerCommands::DrawFrame(int style)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("画框线"));
    for (int col = s.col1; col <= s.col2; ++col) {
        m_c.SetCellBorder(col, s.row1, sheet(), 1, style);
        m_c.SetCellBorder(col, s.row2, sheet(), 3, style);
        m_c.Invalidate();
    }
    for (int row = s.row1; row <= s.row2; ++row) {
        m_c.SetCellBorder(s.col1, row, sheet(), 0, style);
        m_c.SetCellBorder(s.col2, row, sheet(), 2, style);
        m_c.Invalidate();
    }
}

void DesignerCommands::DrawSide(int side, int style)
{
    static const char16_t* const names[] = {u"画单元格左线", u"画单元格上线", u"画单元格右线", u"画单元格下线"};
    if (side < 0 || side > 3)
        return;
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QString::fromUtf16(names[side]));
    forEachCell(s, [&](int col, int row) { m_c.SetCellBorder(col, row, sheet(), side, style); });
    m_c.Redraw();
}

void DesignerCommands::DrawDiagonal(bool slash, int style)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, slash ? QStringLiteral("画正斜线") : QStringLiteral("画反斜线"));
    m_c.DrawLine(s.col1, s.row1, s.col2, s.row2, slash ? 6 : 7, style, -1);
    m_c.Invalidate();
}

void DesignerCommands::EraseLine(int kind)
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("抹线"));
    m_c.ClearLine(s.col1, s.row1, s.col2, s.row2, kind);
    m_c.Invalidate();
}

// ---- Merging --------------------------------------------------------------------------------------------------------

void DesignerCommands::Merge()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("组合单元格"));
    m_c.MergeCells(s.col1, s.row1, s.col2, s.row2);
}

void DesignerCommands::MergeRows()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("行组合"));
    for (int row = s.row1; row <= s.row2; ++row)
        m_c.MergeCells(s.col1, row, s.col2, row);
}

void DesignerCommands::MergeCols()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("列组合"));
    for (int col = s.col1; col <= s.col2; ++col)
        m_c.MergeCells(col, s.row1, col, s.row2);
}

void DesignerCommands::Unmerge()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("取消组合"));
    forEachCell(s, [&](int col, int row) {
        int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
        m_c.GetMergeRange(col, row, c1, r1, c2, r2);
        if (c1 != c2 || r1 != r2)
            m_c.UnmergeCells(c1, r1, c2, r2);
    });
}

// ---- Rows, columns, size ------------------------------------------------------------------------------------------

void DesignerCommands::InsertCols()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("插入列"));
    m_c.InsertCol(s.col1, s.col2 - s.col1 + 1, sheet());
}

void DesignerCommands::AppendCols()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("追加列"));
    m_c.InsertCol(m_c.GetCols(sheet()), s.col2 - s.col1 + 1, sheet());
}

void DesignerCommands::DeleteCols()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("删除列"));
    m_c.DeleteCol(s.col1, s.col2 - s.col1 + 1, sheet());
}

void DesignerCommands::InsertRows()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("插入行"));
    m_c.InsertRow(s.row1, s.row2 - s.row1 + 1, sheet());
}

void DesignerCommands::AppendRows()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("追加行"));
    m_c.InsertRow(m_c.GetRows(sheet()), s.row2 - s.row1 + 1, sheet());
}

void DesignerCommands::DeleteRows()
{
    const Sel s = selection();
    CellControl::EditGroup g(m_c, QStringLiteral("删除行"));
    m_c.DeleteRow(s.row1, s.row2 - s.row1 + 1, sheet());
}

void DesignerCommands::SetTableSize()
{
    CellControl::EditGroup g(m_c, QStringLiteral("设置表格大小"));
    const int col = m_c.GetCurCol();
    const int row = m_c.GetCurRow();
    m_c.SetCols(col + 1, sheet());
    m_c.SetRows(row + 1, sheet());
}

bool DesignerCommands::SetSheetSize(const QString& rowsText, const QString& colsText)
{
    int cols = 0, rows = 0;
    if (!toInt(colsText, cols)) {
        m_p.inform(kCaption, QStringLiteral("列数“%1”不是整数，请输入 1 到 256 之间的整数。").arg(colsText));
        return false;
    }
    if (!toInt(rowsText, rows)) {
        m_p.inform(kCaption, QStringLiteral("行数“%1”不是整数，请输入 1 到 65535 之间的整数。").arg(rowsText));
        return false;
    }
    CellControl::EditGroup g(m_c, QStringLiteral("表页尺寸"));
    // The added one is the label column / row; the control keeps the counts within its limits.
    m_c.SetCols(qBound(1, cols, 100000) + 1, sheet());
    m_c.SetRows(qBound(1, rows, 1000000) + 1, sheet());
    return true;
}

// ---- Sorting --------------------------------------------------------------------------------------------------------

SortOutcome DesignerCommands::Sort(bool ascending)
{
    const Sel s = selection();
    const int order = ascending ? 1 : 0;
    const bool oneRow = s.row1 == s.row2;
    const bool oneCol = s.col1 == s.col2;
    if (oneRow && oneCol)
        return SortOutcome::Nothing;
    if (!oneRow && !oneCol)
        return SortOutcome::NeedsDialog;
    CellControl::EditGroup g(m_c, ascending ? QStringLiteral("升序排序") : QStringLiteral("降序排序"));
    if (oneRow)
        m_c.SortCol(order, s.row1, s.col1, s.row1, s.col2, s.row2);
    else
        m_c.SortRow(order, s.col1, s.col1, s.row1, s.col2, s.row2);
    return SortOutcome::Sorted;
}

// ---- Sums -----------------------------------------------------------------------------------------------------------

void DesignerCommands::sum(int targetCol, int targetRow, int col1, int row1, int col2, int row2)
{
    const QString text = QStringLiteral("Sum(") + CellControl::GetCellRef(col1, row1) + QLatin1Char(':')
        + CellControl::GetCellRef(col2, row2) + QLatin1Char(')');
    m_c.SetFormula(targetCol, targetRow, sheet(), text);
}

void DesignerCommands::sumRows(const Sel& s)
{
    for (int row = s.row1; row <= s.row2; ++row)
        sum(s.col2, row, s.col1, row, s.col2 - 1, row);
}

void DesignerCommands::sumCols(const Sel& s)
{
    for (int col = s.col1; col <= s.col2; ++col)
        sum(col, s.row2, col, s.row1, col, s.row2 - 1);
}

bool DesignerCommands::RowSums()
{
    const Sel s = selection();
    if (s.col1 == s.col2) {
        m_p.inform(kCaption, QStringLiteral("请选择一个矩形区域！"));
        return false;
    }
    CellControl::EditGroup g(m_c, QStringLiteral("横向求和"));
    sumRows(s);
    m_c.Redraw();
    return true;
}

bool DesignerCommands::ColSums()
{
    const Sel s = selection();
    if (s.row1 == s.row2) {
        m_p.inform(kCaption, QStringLiteral("请选择一个矩形区域！"));
        return false;
    }
    CellControl::EditGroup g(m_c, QStringLiteral("纵向求和"));
    sumCols(s);
    m_c.Redraw();
    return true;
}

bool DesignerCommands::BothSums()
{
    const Sel s = selection();
    if (s.col1 == s.col2 || s.row1 == s.row2) {
        m_p.inform(kCaption, QStringLiteral("请选择一个矩形区域！"));
        return false;
    }
    CellControl::EditGroup g(m_c, QStringLiteral("双向求和"));
    sumRows(s);
    sumCols(s);
    sum(s.col2, s.row2, s.col1, s.row1, s.col2 - 1, s.row2 - 1);
    m_c.Redraw();
    return true;
}

void DesignerCommands::CheckFormulas()
{
    m_c.CalculateAll();
    m_p.inform(kCaption, QStringLiteral("审核全表正确！"));
}

// ---- Fill and clear -------------------------------------------------------------------------------------------------

QString DesignerCommands::fillCaption(int flag)
{
    switch (flag) {
    case 1: return QStringLiteral("向下填充(&D)");
    case 2: return QStringLiteral("向右填充(&R)");
    case 4: return QStringLiteral("向上填充(&U)");
    case 8: return QStringLiteral("向左填充(&L)");
    case 16: return QStringLiteral("重复填充(&P)");
    case 32: return QStringLiteral("等差填充(&A)");
    case 64: return QStringLiteral("等比填充(&G)");
    }
    return {};
}

QString DesignerCommands::clearCaption(int flag)
{
    switch (flag) {
    case 1: return QStringLiteral("清除内容(&C)");
    case 2: return QStringLiteral("清除公式(&L)");
    case 4: return QStringLiteral("清除超级链接(&H)");
    case 8: return QStringLiteral("清除格式(&F)");
    case 16: return QStringLiteral("清除图表(&G)");
    case 32: return QStringLiteral("清除全部(&A)");
    }
    return {};
}

void DesignerCommands::Fill(int flag)
{
    QString text = fillCaption(flag);
    text.truncate(text.indexOf(QLatin1Char('(')));
    CellControl::EditGroup g(m_c, text);
    m_c.FillSelection(flag);
}

void DesignerCommands::Clear(int flag)
{
    QString text = clearCaption(flag);
    text.truncate(text.indexOf(QLatin1Char('(')));
    CellControl::EditGroup g(m_c, text);
    m_c.ClearSelection(flag);
}

}  // namespace designer
