// The print actions of the three library pages: the selected node's kind decides (printing/PrintActions) whether
// the page's viewer prints or previews the node's table, the batch print dialog opens for its subtree, or nothing
// happens.
#include "app/MainFrm.h"

#include "app/BatchPrintFrm.h"
#include "printing/PrintActions.h"

namespace {

void runPrintAction(TMainFrm& frm, Library lib, PrintCommand command)
{
    const QModelIndex node = frm.selectedNode(lib);
    if (!node.isValid())
        return;
    LibraryData& data = frm.library(lib);
    const NodeRecord r = data.tree.record(node);
    const PrintStep step = PrintStepFor(lib, r, data.tree.level(node) == 0, command);
    RunPrintStep(step, frm.contentPane(lib).viewer(), frm.nodeFilePath(lib, r), frm.prompter(),
                 [&](BatchPrintMode mode) {
                     RunBatchPrintDialog(mode, data.tree, node, frm.paths(), frm.prompter(), &frm);
                 });
}

} // namespace

void TMainFrm::MobanPrintWithoutDlgExecute()
{
    runPrintAction(*this, Library::Moban, PrintCommand::PrintWithoutDlg);
}

void TMainFrm::MobanPrintWithDlgExecute()
{
    runPrintAction(*this, Library::Moban, PrintCommand::PrintWithDlg);
}

void TMainFrm::MobanPreviewExecute()
{
    runPrintAction(*this, Library::Moban, PrintCommand::Preview);
}

void TMainFrm::ZiLiaoPrintWithoutDlgExecute()
{
    runPrintAction(*this, Library::ZiLiao, PrintCommand::PrintWithoutDlg);
}

void TMainFrm::ZiLiaoPrintWithDlgExecute()
{
    runPrintAction(*this, Library::ZiLiao, PrintCommand::PrintWithDlg);
}

void TMainFrm::ZiLiaoPreviewExecute()
{
    runPrintAction(*this, Library::ZiLiao, PrintCommand::Preview);
}

void TMainFrm::GuiDangPrintWithoutDlgExecute()
{
    runPrintAction(*this, Library::GuiDang, PrintCommand::PrintWithoutDlg);
}

void TMainFrm::GuiDangPrintWithDlgExecute()
{
    runPrintAction(*this, Library::GuiDang, PrintCommand::PrintWithDlg);
}

void TMainFrm::GuiDangPreviewExecute()
{
    runPrintAction(*this, Library::GuiDang, PrintCommand::Preview);
}
