#pragma once
// The print actions of the three library pages: "打印(&P)" (at once), "打印(&P)..." (with the print dialog) and
// "打印预览(&V)...". What they do depends on the selected node's kind: a table node prints or previews the table
// its page's viewer shows, a folder-like node opens the batch print dialog for its subtree, the archive's root and
// the project library's top level do nothing.

#include "printing/BatchPrint.h"
#include "trees/NodeRecord.h"

#include <QString>

#include <functional>

class Prompter;

enum class PrintCommand { PrintWithoutDlg, PrintWithDlg, Preview };

// What one print action does for the selected node.
struct PrintStep {
    enum class Kind {
        Nothing,
        PrintSheet,         // PrintSheet(withDialog, current sheet) when the viewer holds the node's file
        BatchPrint,         // the batch print dialog of `mode` for the node's subtree
        Preview,            // PrintPreview(1, current sheet) when the viewer holds the node's file
        PreviewEx,          // PrintPreviewEx(0, current sheet, true) (archive library)
        RecycleBinWarning,  // "加收站不提供此功能！请选择其他节点。"
    };
    Kind kind = Kind::Nothing;
    int withDialog = 0;
    BatchPrintMode mode = BatchPrintMode::ZMode;

    bool operator==(const PrintStep&) const = default;
};

// The step of `command` on a node of the library; `topLevel`: the node is a top-level node of its tree.
PrintStep PrintStepFor(Library library, const NodeRecord& node, bool topLevel, PrintCommand command);

// The viewer of a library page as the print actions use it (the spreadsheet control operations they call).
class PrintViewer {
public:
    virtual ~PrintViewer() = default;
    virtual QString GetFileName() const = 0;
    virtual int GetCurSheet() const = 0;
    virtual int PrintSheet(int withDialog, int sheet) = 0;
    virtual void PrintPreview(int mode, int sheet) = 0;
    virtual void PrintPreviewEx(int mode, int sheet, bool modal) = 0;
};

// Runs a step. The viewer has a file for the node when it holds `nodeFile`, the selected node's own table file (a
// viewer still showing another node's table counts as empty: the user never gets a different form printed than
// the one selected). `openBatch` opens the batch print dialog.
void RunPrintStep(const PrintStep& step, PrintViewer& viewer, const QString& nodeFile, Prompter& prompter,
                  const std::function<void(BatchPrintMode)>& openBatch);

// The recycle bin's refusal of the preview.
QString RecycleBinRefusal();
