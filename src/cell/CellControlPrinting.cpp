// Printing through the print backend the program installs (print dialog, preview, page setup).

#include "cell/CellControl.h"
#include "core/QuelmarError.h"

namespace cell {

CellPrintBackend::~CellPrintBackend() = default;

namespace {

CellPrintBackend* g_printBackend = nullptr;

CellPrintBackend& requireBackend()
{
    if (!g_printBackend)
        throw QuelmarError(QStringLiteral("打印功能不可用"));
    return *g_printBackend;
}
} // namespace

void CellControl::setPrintBackend(CellPrintBackend* backend) { g_printBackend = backend; }

CellPrintBackend* CellControl::printBackend() { return g_printBackend; }

int CellControl::PrintSheet(int withDialog, int sheet)
{
    if (m_fileName.isEmpty())
        return 0;
    return requireBackend().printSheet(*this, withDialog, sheetPtr(sheet) ? sheet : m_wb.curSheet);
}

void CellControl::PrintPreview(int /*mode*/, int sheet)
{
    if (m_fileName.isEmpty())
        return;
    requireBackend().preview(*this, sheetPtr(sheet) ? sheet : m_wb.curSheet);
}

void CellControl::PrintPreviewEx(int /*mode*/, int sheet, bool /*modal*/)
{
    if (m_fileName.isEmpty())
        return;
    requireBackend().preview(*this, sheetPtr(sheet) ? sheet : m_wb.curSheet);
}

void CellControl::PrintPageSetup()
{
    requireBackend().pageSetup(*this);
}

void CellControl::SetPrintCopies(int copies)
{
    // A setting of the next prints, not an edit of the form: no undo step, not a modification.
    for (Sheet& sh : m_wb.sheets)
        sh.page.copies = qBound(1, copies, 32767);
}

} // namespace cell
