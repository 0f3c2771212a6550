#pragma once
// The spreadsheet control's own dialogs, as the designer calls them: one entry per dialog of the control. Each
// dialog gathers its arguments and runs one operation of the engine on the control (one undo step). The designer
// window only says which dialog and hands its control; it knows nothing of how a dialog works.

class QWidget;
namespace cell {
class CellControl;
}

namespace designer {

enum class ControlDialog {
    FindReplace,          // argument 0: find, 1: replace
    Hyperlink,
    SpecialChar,
    FillBetweenSheets,
    BackPicture,
    FormatCell,
    Line,
    InsertPicture,
    FormatPainter,
    FormulaInput,         // at the current cell
    BatchFormula,
    FillFormulaSerial,
    ShowFormula,
    ColorFormula,
    FormulaList,
    Transpose,
    RoundBalance,
    Sort,
    RangeQuery,
    RangeSum,
    ClassSum,
    SheetRangeSum,
    SheetRangeView,
    SheetRangeQuery,
    BookQuery,
    ChartWizard,
    FillSerial,
    ImportExcel,
    ExportExcel,
    ExportPdf,
};

// Shows the dialog over `parent` for `control` and runs its operation when the user accepts. Returns whether the
// workbook changed (or, for the exports, whether a file was written).
bool RunControlDialog(QWidget* parent, cell::CellControl& control, ControlDialog dialog, int argument = 0);

}
