#pragma once
// The spreadsheet control: one facade over a workbook with the operations the rest of the program calls (their
// names and argument orders are the control's, hence the capitalised method names), plus a few accessors and
// signals for CellView. Every edit goes through one path that records it on the undo stack while undo recording
// is on (EnableUndo(1)) and marks the workbook modified.
//
// Addressing: columns and rows count from 1, row 0 / column 0 are the label row and column; `sheet` is a sheet
// index (callers pass GetCurSheet()). Cells outside the sheet, or an unknown sheet, are ignored by the edit
// operations: a stored position that no longer fits the form writes nothing instead of growing the sheet.
//
// QtCore / QtGui only: the widget, the print dialogs and the preview live in cell/view and are reached through
// CellPrintBackend, which the view library installs.

#include "cell/DataOperations.h"
#include "cell/Workbook.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QUndoCommand;
class QUndoStack;

namespace cell {

class CellControl;
namespace formula {
class FormulaEngine;
}

// Printing, preview and page setup of a control. Installed once by the view library (it needs widgets); without a
// backend the print operations throw QuelmarError("打印功能不可用").
class CellPrintBackend {
public:
    virtual ~CellPrintBackend();
    // Prints `sheet`; with a dialog when `withDialog` is 1. Returns 1 when printed, 0 when the dialog was cancelled;
    // a failure (no usable printer, a printer error) throws QuelmarError with its message.
    virtual int printSheet(CellControl& control, int withDialog, int sheet) = 0;
    // Modal print preview of `sheet`.
    virtual void preview(CellControl& control, int sheet) = 0;
    // Modal page-setup dialog for the current sheet; the result is applied with CellControl::setPageSetup.
    virtual void pageSetup(CellControl& control) = 0;
};

// The table-file password every table file of the program is opened and saved with.
inline QString tableFilePassword() { return QStringLiteral("58206143"); }

class CellControl final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CellControl)

public:
    explicit CellControl(QObject* parent = nullptr);
    ~CellControl() override;

    // ---- Files ----------------------------------------------------------------------------------------------
    // Loads the workbook. 1 = opened. On any failure the control is left empty (as after ResetContent, with an
    // empty GetFileName) and errorString() tells why; fileError is emitted with the message.
    int OpenFile(const QString& path, const QString& password);
    // Writes the workbook atomically with the table-file password. Mode 0 (explicit save) and 1 (save on close)
    // write the same file. 1 = saved (GetFileName becomes `path`, IsModified 0); 0 = failed, errorString() says
    // why, the workbook stays modified and the old file stays intact.
    int SaveFile(const QString& path, int mode);
    QString GetFileName() const;
    int IsModified() const;
    // An empty workbook (one blank sheet); GetFileName empty, IsModified 0, the undo history cleared.
    void ResetContent();
    // The message of the last failed OpenFile / SaveFile (Chinese), empty after a success.
    QString errorString() const { return m_error; }

    // ---- Sheets and addressing -------------------------------------------------------------------------------
    int GetCurSheet() const;
    int GetRows(int sheet) const;   // including the label row
    int GetCols(int sheet) const;   // including the label column
    // Column letters (either case) followed by a row number: "B8", "aa12". False for anything else, for row 0,
    // a column beyond 256 or a row beyond 65535; col and row are set only on success.
    static bool ParseCellRef(const QString& text, int& col, int& row);
    static QString GetCellRef(int col, int row);   // (2, 8) -> "B8"

    // ---- Cell content --------------------------------------------------------------------------------------
    void SetCellString(int col, int row, int sheet, const QString& text);   // always a text (clears a formula)
    void SetCellDouble(int col, int row, int sheet, double value);
    // Formula text with or without a leading '='; "" clears the formula. Calculated at once with its dependents.
    void SetFormula(int col, int row, int sheet, const QString& text);
    void CalculateAll();
    // Items each followed by a line feed; kind 2 = pick from the list; empty items remove the list.
    void SetDropdownList(int col, int row, int sheet, const QString& items, int kind);

    // ---- Cell formats ----------------------------------------------------------------------------------------
    void SetCellAlign(int col, int row, int sheet, int align);
    int GetCellAlign(int col, int row, int sheet) const;
    void SetCellTextStyle(int col, int row, int sheet, int style);    // 2 wrap, 0 single line
    void SetCellFont(int col, int row, int sheet, int fontIndex);
    void SetCellFontSize(int col, int row, int sheet, int size);
    void SetCellFontStyle(int col, int row, int sheet, int style);    // 2 bold | 4 italic | 8 underline
    void SetCellBackColor(int col, int row, int sheet, int colorIndex);
    void SetCellTextColor(int col, int row, int sheet, int colorIndex);
    void SetCellNumType(int col, int row, int sheet, int type);
    void SetCellSeparator(int col, int row, int sheet, int separator);
    void SetCellCurrency(int col, int row, int sheet, int currency);
    void SetCellDateStyle(int col, int row, int sheet, int style);
    void SetCellTimeStyle(int col, int row, int sheet, int style);
    void SetCellInput(int col, int row, int sheet, int input);        // 1 editable, 5 locked
    void SetCellDigital(int col, int row, int sheet, int decimals);   // digits after the point, -1 as needed
    // side 0 left, 1 top, 2 right, 3 bottom; style: a line-style code (0 removes); colorIndex -1 = black.
    void SetCellBorder(int col, int row, int sheet, int side, int style, int colorIndex = -1);

    // ---- Lines and merges (current sheet) -------------------------------------------------------------------
    // kind: 0 grid (every side of every cell), 1 frame (outer edge), 2 left, 3 right, 4 top, 5 bottom (of each
    // cell), 6 "/" diagonal, 7 "\" diagonal (of each merged block or cell). colorIndex -1 = black.
    void DrawLine(int col1, int row1, int col2, int row2, int kind, int style, int colorIndex);
    void ClearLine(int col1, int row1, int col2, int row2, int kind);
    // Merges the rectangle into one block; blocks it overlaps are absorbed. The top-left content stays.
    void MergeCells(int col1, int row1, int col2, int row2);
    // Removes every merged block that lies inside the rectangle.
    void UnmergeCells(int col1, int row1, int col2, int row2);
    // The merged block holding (col,row), or the cell itself. Always returns true.
    bool GetMergeRange(int col, int row, int& col1, int& row1, int& col2, int& row2) const;

    // ---- Rows, columns, size ------------------------------------------------------------------------------
    // Insert `count` before `index`; index == GetCols/GetRows appends. Deleting removes `index`..index+count-1.
    // Formulas follow the moved cells; references into deleted cells become #REF!.
    void InsertCol(int index, int count, int sheet);
    void DeleteCol(int index, int count, int sheet);
    void InsertRow(int index, int count, int sheet);
    void DeleteRow(int index, int count, int sheet);
    // The counts including the label column / row (SetCols(9) gives 8 data columns). Clamped to 1..256 data
    // columns and 1..65535 data rows; cells beyond the new size are dropped.
    void SetCols(int count, int sheet);
    void SetRows(int count, int sheet);

    // ---- Sorting (current sheet) ----------------------------------------------------------------------------
    // SortRow: reorders the rows of the range by the values in column `key`; SortCol: reorders the columns of the
    // range by the values in row `key`. order 1 ascending, 0 descending. Numbers before texts, blanks always
    // last, equal keys keep their order; formats move with the cells. The key must lie inside the range (else
    // nothing happens); a range that touches a merged block is refused with QuelmarError.
    void SortRow(int order, int key, int col1, int row1, int col2, int row2);
    void SortCol(int order, int key, int col1, int row1, int col2, int row2);

    // ---- Data operations of the control's dialogs (current sheet unless a sheet is named; each one undo step) ----
    // Find (CellControlFind.cpp): the next cell after the current one that matches, in the order of the options,
    // wrapping round the sheet; it becomes the current cell. False when no cell matches ("找不到").
    bool findNext(const FindOptions& options);
    // Replaces in the current cell when it matches (`replaced` tells whether it did), then moves on to the next
    // match. False when no further match is left.
    bool replaceCurrent(const FindOptions& options, const QString& with, bool* replaced = nullptr);
    // Replaces in every matching cell of the sheet (within `within` when it is not empty); returns how many
    // cells changed. Values: texts and numbers of constant cells (a number stays a number when the result reads
    // as one); formula results are not replaced. Formulas: the formula texts; a result that is no longer a
    // formula leaves that cell as it was.
    int replaceAll(const FindOptions& options, const QString& with, const Range& within = Range{});

    // Sorting (CellControlSort.cpp): the rows of `range` by up to three key columns (byRows), or its columns by
    // key rows; `header`: the first row (column) stays in place. Stable; numbers before texts, blanks last;
    // formats move with the cells. Refused (QuelmarError) when the range touches a merged block.
    void sortRange(const Range& range, const QList<SortKey>& keys, bool byRows = true, bool header = false);

    // Transposes `range` (CellControlData.cpp): rows become columns with the top-left at (toCol, toRow) (the
    // range's own corner when 0). Merged blocks inside turn with it; references of formulas into the block
    // follow the cells, other references keep their cells. Cells of the range the result does not cover are
    // cleared. Refused when the result leaves the sheet or cuts a merged block.
    void transpose(const Range& range, int toCol = 0, int toRow = 0);
    // Round-off balance: divides the numbers of `range` by the divisor and rounds them to the decimals so that
    // every row and column still adds up to its total, each rounded value within one last digit of the exact one.
    void roundBalance(const Range& range, const RoundBalanceOptions& options);
    // Fills `range` with a series from its first cell of each run (a number or, for dates, a date).
    void fillSeries(const Range& range, const SeriesOptions& options);
    // Copies `range` of the current sheet to the same place on each of `sheets`.
    void fillBetweenSheets(const Range& range, const QList<int>& sheets);
    // The same formula into every cell of `range`, its relative references moved with each cell.
    void setFormulaBatch(const Range& range, const QString& text);

    // Sums and queries (CellControlSums.cpp). The class sum writes a table at options.toCol/toRow: per class
    // (in the order first met) the key and the function of each sum column, then "合计".
    void classSum(const Range& range, const ClassSumOptions& options);
    // Adds `sources` (ranges of the same size on the current sheet) cell by cell into the block at (toCol, toRow).
    void rangeSum(const QList<Range>& sources, int toCol, int toRow);
    // Adds `range` of each of `sheets` cell by cell into the same range of `toSheet`.
    void sheetRangeSum(const QList<int>& sheets, const Range& range, int toSheet);
    // The rows of `range` on each of `sheets` that meet `query` (no change).
    QList<FoundRow> queryRows(const QList<int>& sheets, const Range& range, const Query& query) const;
    // The rows of `range` on sheet `sheet` of each table file that meet `query` (files of the same form);
    // FoundRow::file names the file. A file that does not open is listed in `failed` with its message.
    static QList<FoundRow> queryFiles(const QStringList& files, int sheet, const Range& range, const Query& query,
                                      QStringList* failed = nullptr);
    // Format painter: takes the formats of the selection; the next selection made in the view receives them
    // (applyFormatPainter, one undo step), and the painter stops unless it was started `sticky`.
    void startFormatPainter(bool sticky);
    void stopFormatPainter();
    bool formatPainterActive() const { return m_painter.active; }
    void applyFormatPainter(const Range& target);
    // The formats of `source` (repeated over a larger target) onto `target` of the current sheet: cell formats,
    // and merged blocks wholly inside the source.
    void copyFormats(const Range& source, const Range& target);
    // Display and colour formulas (CellControlRules.cpp): sets the rules of a cell (one undo step). Formulas are
    // checked first; a syntax error throws QuelmarError and changes nothing.
    void setCellRules(int col, int row, int sheet, const CellRules& rules);
    // Every formula of `sheet`, row by row.
    QList<FormulaEntry> formulaList(int sheet) const;

    // ---- Clipboard and selection (current sheet) ----------------------------------------------------------------
    void CutRange(int col1, int row1, int col2, int row2);
    void CopyRange(int col1, int row1, int col2, int row2);
    // Pastes the clipboard with its top-left at (col,row). mode 0 all, 1 formulas (and constants), 2 texts and
    // values (formulas pasted as their results), 3 formats. sizeFlag 0: also take over the source's column widths
    // and row heights; blankFlag 0: blank source cells leave the target untouched. Text copied from another
    // program (tab-separated) is pasted as typed.
    // A cut range is moved by the first plain paste (mode 0, blankFlag 1), in one undo step: the block leaves its
    // place (also from another sheet), formulas anywhere that refer to its cells follow them, the moved formulas
    // keep pointing at the same cells, and references to cells it overwrote become #REF!
    // (FormulaEngine::moveRange). A special paste of a cut range copies it and leaves the cut pending.
    void PasteRange(int col, int row, int mode, int sizeFlag, int blankFlag);
    void SelectRange(int col1, int row1, int col2, int row2);
    void GetSelectRange(int& col1, int& row1, int& col2, int& row2) const;
    int GetCurCol() const;
    int GetCurRow() const;
    // 1 down, 2 right, 4 up, 8 left (copy the edge row / column over the selection), 16 repeat, 32 arithmetic
    // series, 64 geometric series (down each column of a selection with several rows, else right along the row,
    // seeded by its first one or two values).
    void FillSelection(int flag);
    // 1 content, 2 formulas, 4 hyperlinks, 8 formats, 16 pictures and charts, 32 all (content, formats, lists, links,
    // pictures). Flags may be combined.
    void ClearSelection(int flag);

    // ---- View options ---------------------------------------------------------------------------------------
    void ShowRowLabel(int show, int sheet);
    void ShowColLabel(int show, int sheet);
    void ShowSheetLabel(int show, int sheet);
    void ShowHScroll(int show, int sheet);
    void ShowVScroll(int show, int sheet);
    void ShowGridLine(int show, int sheet);
    // on 0: no fixed columns / rows; else columns 1..last (rows 1..last) stay in view while scrolling.
    void SetFixedCols(int on, int last);
    void SetFixedRows(int on, int last);
    void SetScreenScale(int sheet, double scale);   // 1.0 = 100 %
    // The viewer option: the current cell and selection are highlighted. On after every OpenFile and
    // ResetContent; the main window's read-only viewers switch it off with SetViewerOption(0).
    void SetViewerOption(int on);
    bool viewerOption() const { return m_viewerOption; }
    void Invalidate();   // repaint requested
    void Redraw();       // repaint requested

    // ---- Tables ------------------------------------------------------------------------------------------------
    int FindFontIndex(const QString& name, int add);
    int FindColorIndex(const QColor& color, int add);

    // ---- Undo ---------------------------------------------------------------------------------------------
    void EnableUndo(int on);
    void Undo();
    void Redo();
    int CanUndo() const;
    int CanRedo() const;

    // ---- Printing (through the installed CellPrintBackend; nothing happens while GetFileName is empty) ---------
    int PrintSheet(int withDialog, int sheet);
    void PrintPreview(int mode, int sheet);
    void PrintPreviewEx(int mode, int sheet, bool modal);
    void PrintPageSetup();
    void SetPrintCopies(int copies);
    static void setPrintBackend(CellPrintBackend* backend);   // not owned
    static CellPrintBackend* printBackend();

    // ---- For the view and other callers (not control operations) -------------------------------------------------
    // The workbook with the results of the cells' display and colour formulas brought up to date.
    const Workbook& workbook() const
    {
        updateRules();
        return m_wb;
    }
    const Sheet& sheet(int index) const;               // an unknown index gives the current sheet
    bool isValidCell(int col, int row, int sheet) const;
    // The cell's text as shown (number formats applied; formula results; error values).
    QString cellText(int col, int row, int sheet) const;
    // What typing into a cell does: "" clears the content, "=..." sets a formula, a number (also "12%",
    // "1,234.5") becomes a number, anything else a text. False (nothing changed) when the cell is locked.
    // respectLock false: the program itself (CLI, import) writes into locked cells too.
    bool enterText(int col, int row, int sheet, const QString& text, bool respectLock = true);
    void setCurSheet(int sheet);
    // Sheets of the workbook (undoable). Names are unique and not empty; references of formulas follow a rename
    // and become #REF! when their sheet is removed. The last sheet cannot be removed.
    int insertSheet(int index, const QString& name);   // returns the new sheet's index
    void removeSheet(int index);
    void renameSheet(int index, const QString& name);
    void setCurrentCell(int col, int row);                   // also selects that cell (or its merged block)
    void setSelection(int curCol, int curRow, const Range& selection);
    void setColWidth(int sheet, int col, int width);         // pixels at 100 %
    void setRowHeight(int sheet, int row, int height);
    void setCellFormat(int col, int row, int sheet, const CellFormat& format);
    void setHyperlink(int col, int row, int sheet, const QString& target);
    void addPicture(int sheet, const Picture& picture);
    void setBackgroundPicture(int sheet, const QByteArray& data);
    // Pictures and charts of a sheet (each one undo step). A chart whose data or anchor lies outside the sheet
    // is refused with QuelmarError.
    void setPictureAnchor(int sheet, int index, const Range& anchor);
    void removePicture(int sheet, int index);
    void insertChart(int sheet, const Chart& chart);
    void setPageSetup(int sheet, const PageSetup& page);
    // Takes over the sheets of `other` (an imported file), one undo step: `replace` puts them in place of every
    // sheet, else they are added after the last one (names made unique). Fonts and colours of the formats are
    // carried over into this workbook's tables.
    void insertWorkbookSheets(const Workbook& other, bool replace);
    // Groups the edits until the matching end into one undo step (the designer's loops over a selection): the
    // step holds the sheets before and after the group, so undo and redo put back contents, formats, merges and
    // sizes exactly. Groups nest (only the outermost makes a step); a group that changed nothing makes none.
    void beginEditGroup(const QString& text);
    void endEditGroup();
    // The same as a scope guard: the group ends also when an edit inside throws.
    class EditGroup {
    public:
        EditGroup(CellControl& control, const QString& text) : m_c(control) { m_c.beginEditGroup(text); }
        ~EditGroup() { m_c.endEditGroup(); }
        EditGroup(const EditGroup&) = delete;
        EditGroup& operator=(const EditGroup&) = delete;

    private:
        CellControl& m_c;
    };
    QUndoStack* undoStack() const { return m_undo.get(); }
    bool undoEnabled() const { return m_undoEnabled; }

    // Applies a whole new state of one sheet as one edit (used by the edit commands and by undo).
    void replaceSheet(int sheet, const Sheet& state, const QString& text);

signals:
    void cellsChanged(int sheet, const cell::Range& range);   // content or formats of these cells
    void layoutChanged(int sheet);                            // sizes, merges, rows/columns, view options
    void selectionChanged();                                  // current cell, selection or current sheet
    void workbookReset();                                     // a new workbook: opened, reset
    void modifiedChanged(bool modified);
    void repaintRequested();                                  // Invalidate / Redraw
    void fileError(const QString& message);                   // OpenFile / SaveFile failed

private:
    friend class CellsEdit;
    friend class SheetsEdit;
    using CellChanges = QHash<quint32, Cell>;   // key -> the new cell (a blank default cell removes it)

    Sheet* sheetPtr(int sheet);
    // Recalculates Sheet::ruleResults when something changed since the last time (cheap when nothing did).
    void updateRules() const;
    void markRulesDirty(bool rescan = false);
    void resetModel();   // ResetContent without recalculation and signals
    void setModified(bool modified);
    // The one path of every content / format edit: applies `changes`, lets the formula engine follow, records
    // the edit (when undo is on) and tells the view.
    void editCells(int sheet, const CellChanges& changes, const QString& text);
    void editCell(int col, int row, int sheet, const QString& text, const std::function<void(Cell&)>& change);
    void editFormat(int col, int row, int sheet, const std::function<void(CellFormat&)>& change);
    // The one path of every structural edit: `change` changes the sheet (and may call the formula engine; when it
    // returns false the formulas are rebuilt afterwards) and the sheets before and after are recorded.
    void editSheet(int sheet, const QString& text, const std::function<bool(Sheet&)>& change);
    void editViewOption(int sheet, const std::function<void(Sheet&)>& change);   // no undo step
    void push(QUndoCommand* command);
    // Whether an edit is recorded as a step of its own (undo on, no edit group open).
    bool recording() const { return m_undoEnabled && m_groupDepth == 0; }
    // An edit inside an open group: the group will make a step.
    void noteGroupChange(int sheet);
    // Tells the views of the cells the open group changed in place so far.
    void flushGroupCells();
    // Used by undo / redo.
    void restoreCells(int sheet, const QList<quint32>& keys, const CellChanges& cells);
    void restoreSheets(const QList<Sheet>& sheets, int changedSheet);
    void notifyCells(int sheet, const Range& range);
    QRgb colorOf(int colorIndex) const;
    void moveStructure(int sheet, bool rows, int at, int count);   // insert (count > 0) or delete (count < 0)

    struct Painter {
        bool active = false, sticky = false;
        int sheet = 0;
        Range source;
    } m_painter;
    mutable bool m_rulesDirty = false;
    bool m_anyRules = false;   // some cell has rules (never cleared by edits; recomputed on open)
    Workbook m_wb;
    QString m_fileName;
    QString m_error;
    bool m_modified = false;
    bool m_undoEnabled = false;
    bool m_viewerOption = true;
    int m_groupDepth = 0;
    QList<Sheet> m_groupBefore;   // the sheets when the open edit group began
    QString m_groupText;
    bool m_groupChanged = false;
    int m_groupSheet = 0;
    Range m_groupDirty;           // cells the open group changed in place, not yet told to the views
    int m_groupDirtySheet = -1;
    std::unique_ptr<QUndoStack> m_undo;
    std::unique_ptr<formula::FormulaEngine> m_engine;
};

} // namespace cell
