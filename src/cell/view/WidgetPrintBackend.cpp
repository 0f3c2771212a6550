#include "cell/view/WidgetPrintBackend.h"

#include "cell/PageRenderer.h"
#include "cell/view/PageSetupDialog.h"
#include "core/QuelmarError.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace cell {

namespace {

void preparePrinter(QPrinter& printer, const CellControl& control, int sheet)
{
    const Workbook& wb = control.workbook();
    PageRenderer(wb, sheet).applyPageSetup(printer);
    printer.setDocName(QFileInfo(control.GetFileName()).completeBaseName());
    const int copies = std::max(1, wb.sheets.value(sheet).page.copies);
    printer.setCopyCount(copies);
    printer.setCollateCopies(true);
}

QWidget* dialogParent() { return QApplication::activeWindow(); }

} // namespace

int WidgetPrintBackend::printSheet(CellControl& control, int withDialog, int sheet)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!m_printerName.isEmpty() && QPrinterInfo::printerInfo(m_printerName).isNull())
        m_printerName.clear();   // the printer went away: back to the default
    if (!m_printerName.isEmpty())
        printer.setPrinterName(m_printerName);
    preparePrinter(printer, control, sheet);
    if (withDialog == 1) {
        QPrintDialog dialog(&printer, dialogParent());
        dialog.setWindowTitle(QStringLiteral("打印"));
        if (dialog.exec() != QDialog::Accepted)
            return 0;
        if (printer.outputFormat() == QPrinter::NativeFormat)
            m_printerName = printer.printerName();
    }
    PageRenderer renderer(control.workbook(), sheet);
    // Without a print system that makes copies, the copies are sent as repeated pages.
    const int copies = printer.supportsMultipleCopies() ? 1 : printer.copyCount();
    if (!renderer.print(printer, copies)) {
        // Printing nothing without a word would look like success to the user.
        if (printer.printerName().isEmpty() && printer.outputFileName().isEmpty())
            throw QuelmarError(QStringLiteral("无法打印：系统中没有可用的打印机。"));
        throw QuelmarError(QStringLiteral("打印失败：无法向打印机“%1”输出。")
                               .arg(printer.printerName().isEmpty() ? printer.outputFileName() : printer.printerName()));
    }
    return 1;
}

void WidgetPrintBackend::preview(CellControl& control, int sheet)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!m_printerName.isEmpty())
        printer.setPrinterName(m_printerName);
    preparePrinter(printer, control, sheet);
    QPrintPreviewDialog dialog(&printer, dialogParent());
    dialog.setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&control, sheet](QPrinter* p) {
        PageRenderer renderer(control.workbook(), sheet);
        renderer.print(*p);
    });
    dialog.resize(900, 700);
    dialog.exec();
}

void WidgetPrintBackend::pageSetup(CellControl& control)
{
    const int sheet = control.GetCurSheet();
    const Sheet& s = control.sheet(sheet);
    PageSetupDialog dialog(s.page, s, dialogParent());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const PageSetup page = dialog.pageSetup();
    if (!(page == s.page))
        control.setPageSetup(sheet, page);
}

void installWidgetPrintBackend()
{
    static WidgetPrintBackend backend;
    CellControl::setPrintBackend(&backend);
}

} // namespace cell
