#pragma once
// The designer's commands on the workbook of its control, without a window: what each menu entry and toolbar
// button does with the selection (GetSelectRange), the current cell and the current sheet. The window reads its
// toolbar state (toggle buttons, combo boxes) and passes it in, so every command runs and is tested headless.
//
// Commands that loop over the selection do so column by column (outer loop) and row by row (inner loop). Every
// command that changes the workbook is one undo step (CellControl::EditGroup), named by its caption.

#include <QColor>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

class Prompter;
namespace cell {
class CellControl;
}

namespace designer {

// ---- Toolbar lists ------------------------------------------------------------------------------------------------
// The line-style box: "细线" 2, "中线" 3, "粗线" 4, "划线" 5, "点线" 6, "点划线" 7, "点点划线" 8, "粗划线" 9,
// "粗点线" 10, "粗点划线" 11, "粗点点划线" 12; any other text 255.
QStringList lineStyleTexts();
int lineStyleCode(const QString& text);
QStringList fontSizeTexts();   // "5" ... "2000"
QStringList zoomTexts();       // "200%" ... "1%"
// The captions of the 21 date and the 10 time styles (item k is style k).
QStringList dateStyleCaptions();
QStringList timeStyleCaptions();
// A date as an automation date (whole days since 1899-12-30), a time of day as a fraction of a day.
double automationDate(const QDate& date);
double dayFraction(const QTime& time);

// Horizontal alignment codes of the three buttons (none down: 0).
enum HAlign { HAlignNone = 0, HAlignLeftCode = 1, HAlignRightCode = 2, HAlignCenterCode = 4 };

// What a sort command found to do.
enum class SortOutcome { Sorted, Nothing, NeedsDialog };

class DesignerCommands {
public:
    DesignerCommands(cell::CellControl& control, Prompter& prompter) : m_c(control), m_p(prompter) {}

    // ---- Clipboard and selection ----
    void Cut();
    void Copy();
    void Paste();
    // The special paste: mode 0 all, 1 formulas, 2 texts and values, 3 formats.
    void SpecialPaste(int mode, bool sameSize, bool skipBlanks);
    void SelectAll();

    // ---- View ----
    // "不滚动行列(&F)": `marked` is the menu check mark; it is flipped.
    void ToggleFixedRowsCols(bool& marked);
    void ShowGrid(bool shown);
    // The zoom box: the integer before "%". False (nothing changed, the user told) for any other text.
    bool Zoom(const QString& text);

    // ---- Font and colour ----
    void FontName(const QString& name);
    // False (nothing changed, the user told) when the text is no whole number of points.
    bool FontSize(const QString& text);
    void FontStyle(bool bold, bool italic, bool underline);
    void BackColor(const QColor& color);   // an invalid colour (dialog cancelled) changes nothing
    void TextColor(const QColor& color);
    void Wrap(bool wrap);
    // Keeps the vertical alignment bits (mask 0x38) of each cell and sets the horizontal code (HAlign).
    void HorizontalAlign(int code);

    // ---- Number formats ----
    void Currency(int currency);   // 2 ¥, 3 $, 4 €
    void Percent();
    void Thousands();
    void DateStyle(int style, const QDate& today);     // 1..21
    void TimeStyle(int style, const QTime& now);       // 1..10
    void Lock(bool locked);

    // ---- Borders (style: a line-style code) ----
    void DrawGrid(int style);
    void DrawFrame(int style);
    void DrawSide(int side, int style);    // 0 left, 1 top, 2 right, 3 bottom, each cell of the selection
    void DrawDiagonal(bool slash, int style);   // "/" (kind 6) or "\" (kind 7)
    void EraseLine(int kind);              // ClearLine kinds 0..7

    // ---- Merging ----
    void Merge();
    void MergeRows();
    void MergeCols();
    void Unmerge();

    // ---- Rows, columns, size ----
    void InsertCols();
    void AppendCols();
    void DeleteCols();
    void InsertRows();
    void AppendRows();
    void DeleteRows();
    // "设置表格大小": the sheet ends at the current cell.
    void SetTableSize();
    // "表页尺寸(&S)...": `cols` data columns and `rows` data rows. False (nothing changed, the user told) when a
    // text is no whole number.
    bool SetSheetSize(const QString& rowsText, const QString& colsText);

    // ---- Sorting: one row sorts its columns, one column its rows, a rectangle needs the sort dialog ----
    SortOutcome Sort(bool ascending);

    // ---- Sums: false (with "请选择一个矩形区域！") when the selection is too narrow ----
    bool RowSums();
    bool ColSums();
    bool BothSums();
    // "审核公式(&A)": recalculates and tells "审核全表正确！".
    void CheckFormulas();

    // ---- Fill and clear (the control's flags) ----
    void Fill(int flag);
    void Clear(int flag);

    // The caption of each fill / clear flag, as in the Edit menu.
    static QString fillCaption(int flag);
    static QString clearCaption(int flag);

private:
    struct Sel {
        int col1 = 1, row1 = 1, col2 = 1, row2 = 1;
    };
    Sel selection() const;
    int sheet() const;
    void sumRows(const Sel& s);
    void sumCols(const Sel& s);
    void sum(int targetCol, int targetRow, int col1, int row1, int col2, int row2);

    cell::CellControl& m_c;
    Prompter& m_p;
};

}  // namespace designer
