#include "app/PrinterBatchOutput.h"

#include "cell/PageRenderer.h"
#include "core/QuelmarError.h"
#include "printing/SheetPageWriter.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {

PrinterBatchOutput::DialogHook& dialogHook()
{
    static PrinterBatchOutput::DialogHook hook;
    return hook;
}

QString printerLabel(const QPrinter& printer)
{
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

} // namespace

void PrinterBatchOutput::setDialogHook(DialogHook hook)
{
    dialogHook() = std::move(hook);
}

PrinterBatchOutput::PrinterBatchOutput(QWidget* dialogParent) : m_parent(dialogParent) {}

PrinterBatchOutput::~PrinterBatchOutput()
{
    fail();
}

bool PrinterBatchOutput::begin(const cell::Workbook& first, int sheet, int& copies)
{
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    cell::PageRenderer(first, sheet).applyPageSetup(*m_printer);
    m_printer->setDocName(QStringLiteral("批量打印"));
    m_printer->setCopyCount(copies);
    m_printer->setCollateCopies(true);
    bool accepted = false;
    if (dialogHook()) {
        accepted = dialogHook()(*m_printer);
    } else {
        QPrintDialog dialog(m_printer.get(), m_parent);
        dialog.setWindowTitle(QStringLiteral("打印"));
        // Every form prints whole with its own page settings: no page ranges across a batch.
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
        dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
        dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted) {
        m_printer.reset();
        return false;
    }
    if (m_printer->outputFormat() == QPrinter::NativeFormat && m_printer->printerName().isEmpty())
        throw QuelmarError(QStringLiteral("无法打印：系统中没有可用的打印机。"));
    // The copies are repeated pages of the job, so that each file comes out `copies` times before the next one.
    copies = std::max(1, m_printer->copyCount());
    m_printer->setCopyCount(1);
    m_printer->setPageRanges(QPageRanges());
    m_pages = std::make_unique<SheetPageWriter>(*m_printer);
    return true;
}

int PrinterBatchOutput::add(const cell::Workbook& wb, int sheet, int copies)
{
    try {
        return m_pages->add(wb, sheet, copies);
    } catch (const QuelmarError& e) {
        throw QuelmarError(QStringLiteral("无法向打印机“%1”输出（%2）").arg(printerLabel(*m_printer), e.message()));
    }
}

void PrinterBatchOutput::finish()
{
    const bool sent = !m_pages || m_pages->end();
    const QString label = m_printer ? printerLabel(*m_printer) : QString();
    m_pages.reset();
    m_printer.reset();
    if (!sent)
        throw QuelmarError(QStringLiteral("打印失败：无法向打印机“%1”输出。").arg(label));
}

void PrinterBatchOutput::fail() noexcept
{
    // What was printed before the failure is sent: those forms are done.
    if (m_pages)
        m_pages->end();
    m_pages.reset();
    m_printer.reset();
}

QString PrinterBatchOutput::failureNote(int printed) const
{
    return QStringLiteral("已打印 %1 个表格文件，打印在此停止。").arg(printed);
}
