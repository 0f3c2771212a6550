#include "printing/PrintActions.h"

#include "core/Prompter.h"
#include "trees/NodeKinds.h"

#include <QDir>
#include <QFileInfo>

namespace {

PrintStep print(int withDialog)
{
    PrintStep s;
    s.kind = PrintStep::Kind::PrintSheet;
    s.withDialog = withDialog;
    return s;
}

PrintStep batch(Library library)
{
    PrintStep s;
    s.kind = PrintStep::Kind::BatchPrint;
    s.mode = BatchPrintModeFor(library);
    return s;
}

PrintStep step(PrintStep::Kind kind)
{
    PrintStep s;
    s.kind = kind;
    return s;
}

PrintStep printStep(Library library, const NodeRecord& node, bool topLevel, bool withDialog)
{
    const int type = node.TypeID;
    switch (library) {
    case Library::Moban:
        if (type == 5 || type == 11)
            return print(withDialog ? 1 : 0);
        return batch(library);
    case Library::ZiLiao:
        if (topLevel)
            return {};
        // Both print actions of the project library show the print dialog.
        if (type == 6 || type == 7)
            return print(1);
        return batch(library);
    case Library::GuiDang:
        if (type == NodeKinds::Root)
            return {};
        if (type == 3)
            return print(withDialog ? 1 : 0);
        return batch(library);
    }
    return {};
}

QString comparable(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString RecycleBinRefusal()
{
    return QStringLiteral("加收站不提供此功能！请选择其他节点。");
}

PrintStep PrintStepFor(Library library, const NodeRecord& node, bool topLevel, PrintCommand command)
{
    if (command != PrintCommand::Preview)
        return printStep(library, node, topLevel, command == PrintCommand::PrintWithDlg);
    if (library == Library::GuiDang)
        return step(PrintStep::Kind::PreviewEx);
    if (node.TypeID == NodeKinds::RecycleBin)
        return step(PrintStep::Kind::RecycleBinWarning);
    return step(PrintStep::Kind::Preview);
}

void RunPrintStep(const PrintStep& s, PrintViewer& viewer, const QString& nodeFile, Prompter& prompter,
                  const std::function<void(BatchPrintMode)>& openBatch)
{
    const auto hasFile = [&] {
        const QString shown = viewer.GetFileName();
        return !shown.isEmpty() && !nodeFile.isEmpty() && comparable(shown) == comparable(nodeFile);
    };
    switch (s.kind) {
    case PrintStep::Kind::Nothing:
        return;
    case PrintStep::Kind::RecycleBinWarning:
        prompter.warn(QStringLiteral("Quelmar"), RecycleBinRefusal());
        return;
    case PrintStep::Kind::BatchPrint:
        if (openBatch)
            openBatch(s.mode);
        return;
    case PrintStep::Kind::PrintSheet:
        if (hasFile())
            viewer.PrintSheet(s.withDialog, viewer.GetCurSheet());
        return;
    case PrintStep::Kind::Preview:
        if (hasFile())
            viewer.PrintPreview(1, viewer.GetCurSheet());
        return;
    case PrintStep::Kind::PreviewEx:
        if (hasFile())
            viewer.PrintPreviewEx(0, viewer.GetCurSheet(), true);
        return;
    }
}
