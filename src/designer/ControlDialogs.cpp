#include "designer/ControlDialogs.h"

#include "designer/dialogs/DialogSupport.h"

namespace designer {

bool RunControlDialog(QWidget* parent, cell::CellControl& control, ControlDialog dialog, int argument)
{
    using namespace dialogs;
    switch (dialog) {
    case ControlDialog::FindReplace: return findReplaceDialog(parent, control, argument);
    case ControlDialog::Hyperlink: return hyperlinkDialog(parent, control);
    case ControlDialog::SpecialChar: return specialCharDialog(parent, control);
    case ControlDialog::FillBetweenSheets: return fillBetweenSheetsDialog(parent, control);
    case ControlDialog::BackPicture: return backPictureDialog(parent, control);
    case ControlDialog::FormatCell: return formatCellDialog(parent, control);
    case ControlDialog::Line: return lineDialog(parent, control);
    case ControlDialog::InsertPicture: return insertPictureDialog(parent, control);
    case ControlDialog::FormatPainter: return formatPainter(parent, control, argument);
    case ControlDialog::FormulaInput: return formulaInputDialog(parent, control);
    case ControlDialog::BatchFormula: return batchFormulaDialog(parent, control);
    case ControlDialog::FillFormulaSerial: return fillFormulaSerialDialog(parent, control);
    case ControlDialog::ShowFormula: return showFormulaDialog(parent, control);
    case ControlDialog::ColorFormula: return colorFormulaDialog(parent, control);
    case ControlDialog::FormulaList: return formulaListDialog(parent, control);
    case ControlDialog::Transpose: return transposeDialog(parent, control);
    case ControlDialog::RoundBalance: return roundBalanceDialog(parent, control);
    case ControlDialog::Sort: return sortDialog(parent, control);
    case ControlDialog::RangeQuery: return rangeQueryDialog(parent, control);
    case ControlDialog::RangeSum: return rangeSumDialog(parent, control);
    case ControlDialog::ClassSum: return classSumDialog(parent, control);
    case ControlDialog::SheetRangeSum: return sheetRangeSumDialog(parent, control);
    case ControlDialog::SheetRangeView: return sheetRangeViewDialog(parent, control);
    case ControlDialog::SheetRangeQuery: return sheetRangeQueryDialog(parent, control);
    case ControlDialog::BookQuery: return bookQueryDialog(parent, control);
    case ControlDialog::ChartWizard: return chartWizard(parent, control);
    case ControlDialog::FillSerial: return fillSerialDialog(parent, control);
    case ControlDialog::ImportExcel: return importExcelDialog(parent, control);
    case ControlDialog::ExportExcel: return exportExcelDialog(parent, control);
    case ControlDialog::ExportPdf: return exportPdfDialog(parent, control);
    }
    return false;
}

}
