#pragma once
// The formula engine of the spreadsheet: parses spreadsheet formula text, keeps a dependency graph of every formula
// cell of a workbook, calculates results into Cell::value and rewrites formula text when rows, columns or sheets move.
//
// Formula text is what a user types after '=' ("SUM(B2:D2)", "IF(C5>=90,\"合格\",\"不合格\")",
// "'第二页'!A1*$B$2"). The engine stores it in Cell::formula in its normalised form: no leading '=', no blanks
// between tokens, function names in upper case, references with upper-case column letters, sheet names spelled as
// the sheet is. Full-width punctuation and “typographic quotes” from a Chinese input method are read as their ASCII
// forms. References: A1, $A$1, A$1, A1:B5, whole columns A:C and rows 3:5, Sheet2!A1, 'My sheet'!A1:B2.
//
// Results are written into Cell::value of each formula cell: a number, a text, a truth value or an ErrorValue
// (#DIV/0!, #VALUE!, #REF!, #NAME?, #N/A, #NUM!, and ErrorValue::Circular, "#CIRC!", for a cell caught in a
// circular reference). Calculation never recurses over cells, so chains of any length are safe; a circular reference
// never hangs. Editing a cell recalculates only the formulas that depend on it, plus the volatile ones (TODAY, NOW,
// RAND, and INDIRECT / OFFSET, whose targets are known only when they run).
//
// Who calls what (CellControl is the usual caller; the engine never touches undo, selection or formats):
//   - a formula entered:                   setFormula(sheet, col, row, text)       (throws on a syntax error)
//   - a value typed, pasted or cleared:    cellChanged(...) or rangeChanged(...)   AFTER the model changed the cell(s)
//   - a formula cleared or typed over:     removeFormula(...)  (or just clear Cell::formula and call cellChanged)
//   - rows / columns inserted or deleted:  FIRST move the cells in the model, THEN call insertRows / deleteRows /
//                                          insertCols / deleteCols; the engine rewrites every formula's text in
//                                          the whole workbook and recalculates
//   - sheets renamed or removed:           FIRST change the model, THEN sheetRenamed / sheetRemoved
//   - a sheet added, a file loaded, an undo/redo, a sort, a paste or fill that moves formula cells, anything
//     that replaced Cell::formula texts directly:                     rebuild()
//   - "CalculateAll":                      recalculateAll()
//   - copy / paste / fill of a formula:    translateFormula(text, dCol, dRow) gives the text for the target cell
//   - a cut block pasted (moved):          FIRST move the cells in the model, THEN moveRange(...)
//
// A syntax error ("SUM(A1", "1+*2") is refused: setFormula throws QuelmarError with a Chinese message and changes
// nothing, as a spreadsheet refuses to accept such an entry. An unknown function name or an unknown sheet is not a
// syntax error: the formula is stored and shows #NAME? / #REF!, so that a user can fix it later. A stored formula
// that no longer parses (a damaged file) is kept as it is and shows #NAME? after rebuild().

#include "cell/Workbook.h"

#include <QString>
#include <QVector>

#include <memory>

namespace cell::formula {

// One formula text rewritten by a move of rows, columns or sheets (positions are those after the move).
struct FormulaEdit {
    int sheet = 0, col = 0, row = 0;
    QString oldText, newText;
};

// A function the engine knows: its name and how many arguments it takes (maxArgs -1: any number).
struct FunctionInfo {
    QString name;
    int minArgs = 0, maxArgs = 0;
};

class FormulaEngine {
public:
    // Every function, by name.
    static QList<FunctionInfo> functions();

    explicit FormulaEngine(Workbook& workbook);   // the engine starts empty: call rebuild() for a loaded workbook
    ~FormulaEngine();
    FormulaEngine(const FormulaEngine&) = delete;
    FormulaEngine& operator=(const FormulaEngine&) = delete;

    Workbook& workbook() const { return m_wb; }

    // Parses `text` (with or without a leading '=') and returns its normalised form, without '='.
    // Throws QuelmarError with a Chinese message on a syntax error.
    static QString normalize(const QString& text);

    // Enters a formula into the cell: Cell::formula = normalised text, Cell::value = its result; the cells that
    // depend on it are recalculated. An empty text (or "=") removes the formula, as removeFormula does.
    // Throws QuelmarError on a syntax error and changes nothing then.
    void setFormula(int sheet, int col, int row, const QString& text);

    // Forgets the formula of the cell (clears Cell::formula, keeps Cell::value as the last result) and
    // recalculates its dependents.
    void removeFormula(int sheet, int col, int row);

    // The model changed the content of a cell / of every cell of a range (typed value, paste, clear). The engine
    // picks up formula texts that appeared or vanished there and recalculates exactly the dependent formulas.
    void cellChanged(int sheet, int col, int row);
    void rangeChanged(int sheet, const Range& range);

    // Recalculates every formula of the workbook ("CalculateAll").
    void recalculateAll();

    // Forgets everything, re-reads every Cell::formula of the workbook and calculates all of them.
    void rebuild();

    // Reference moves, called AFTER the model moved the cells of `sheet`. Every formula in the workbook (on any
    // sheet) that refers to `sheet` is rewritten the way a spreadsheet user expects: references at or after the
    // insertion point shift; a range grows when rows/columns are inserted inside it (inserting at its first row
    // moves it whole) and shrinks when part of it is deleted; a reference whose cells were all deleted becomes
    // #REF!. Absolute and relative references move alike. Then everything is recalculated.
    // Returns the texts that changed (for undo, if the caller keeps them).
    QVector<FormulaEdit> insertRows(int sheet, int at, int count);
    QVector<FormulaEdit> deleteRows(int sheet, int at, int count);
    QVector<FormulaEdit> insertCols(int sheet, int at, int count);
    QVector<FormulaEdit> deleteCols(int sheet, int at, int count);

    // A block cut and pasted elsewhere, called AFTER the model moved the cells: `from` on `sheet` now has its
    // top-left at (toCol, toRow) on `toSheet`, cut to the target sheet's size. Every formula of the workbook
    // (the moved ones included, at their new places) is rewritten as a spreadsheet does it for a move: a reference
    // to a moved cell, or a range wholly inside the block, follows it to its new place; a range only partly inside
    // stays; a reference wholly inside the cells the block landed on (and not part of it) becomes #REF!, as does
    // one whose cells fell off the sheet. Moved formulas are not translated as in a copy: their other references
    // keep pointing at the same cells (naming their sheet when the formula went to another sheet).
    // Then everything is recalculated. Returns the texts that changed.
    QVector<FormulaEdit> moveRange(int sheet, const Range& from, int toSheet, int toCol, int toRow);

    // A sheet was renamed / removed in the model: references naming it are rewritten (to the new name / to #REF!).
    QVector<FormulaEdit> sheetRenamed(const QString& oldName, const QString& newName);
    QVector<FormulaEdit> sheetRemoved(const QString& name);

    // The text of `text` copied dCol columns right and dRow rows down: relative parts of references move,
    // absolute parts ($A, $1) stay; a reference pushed off the sheet becomes #REF!. `text` may carry a leading
    // '=' (kept in the result). Text that does not parse is returned unchanged.
    static QString translateFormula(const QString& text, int dCol, int dRow);

    // Whether `text` parses and uses only functions and names the engine knows; `normalized` then receives its
    // normalised form (as normalize gives it).
    static bool knowsFormula(const QString& text, QString* normalized = nullptr);

    // The text of a formula (without '=') whose cells were transposed: references wholly inside `block` (on the
    // formula's own sheet) turn with the block, whose top-left lands on (toCol, toRow); others keep their cells.
    static QString transposeFormula(const QString& text, const Range& block, int toCol, int toRow);
    // The text of a formula (without '=') outside a block that was transposed on sheet `blockSheet`: references to
    // the block's cells follow them (a single cell goes where it went, a range wholly inside turns with the block, a
    // range partly inside keeps its cells). `onBlockSheet`: the formula stands on the block's sheet.
    static QString followTranspose(const QString& text, bool onBlockSheet, const QString& blockSheet, const Range& block,
                                   int toCol, int toRow);

    // Calculates `text` as if it stood in (sheet, col, row), without storing anything. A syntax error gives
    // ErrorValue::Name.
    Value evaluate(const QString& text, int sheet, int col, int row);

    // Number of formula cells the engine tracks.
    int formulaCount() const;

private:
    struct Impl;
    Workbook& m_wb;
    std::unique_ptr<Impl> d;
};

// The text of a number as the General format shows it (up to 15 significant digits, "1E+20", "0.3"),
// as the & operator and text functions turn numbers into text.
QString generalNumberText(double v);

// The text of a value as the & operator sees it ("" for empty, "TRUE"/"FALSE", error text for errors).
QString valueText(const Value& v);

// Date serial numbers (day 0 = 1899-12-30, fractions are the time of day), as DATE(), TODAY() and TEXT() use them.
double dateToSerial(int year, int month, int day);
bool serialToDate(double serial, int& year, int& month, int& day);

// TEXT(value, format): a number formatted with a spreadsheet number-format pattern ("0.00", "#,##0", "0%",
// "yyyy-mm-dd", "yyyy年m月d日", "hh:mm:ss", ...).
QString formatWithPattern(double v, const QString& pattern);

} // namespace cell::formula
