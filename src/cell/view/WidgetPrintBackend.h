#pragma once
// Printing, preview and page setup of CellControl with Qt's print dialogs; pages are drawn by PageRenderer, so
// paper, preview and PDF agree.

#include "cell/CellControl.h"

#include <QString>

namespace cell {

class WidgetPrintBackend final : public CellPrintBackend {
public:
    // 1 = printed, 0 = the print dialog was cancelled. A printer that cannot be printed on (none installed, or
    // unreachable) throws QuelmarError with a message for the user.

    int printSheet(CellControl& control, int withDialog, int sheet) override;
    void preview(CellControl& control, int sheet) override;
    void pageSetup(CellControl& control) override;

    // The printer chosen in the last print dialog; later prints without a dialog go to it (a batch run shows the
    // dialog for its first file only). Empty: the system's default printer.
    QString lastPrinterName() const { return m_printerName; }

private:
    QString m_printerName;
};

// Installs the widget print backend for every CellControl of the program. Called once by the GUI at start-up.
void installWidgetPrintBackend();

} // namespace cell
