// Printing commands: print (one node's table to PDF) and batch-print (a subtree's forms, as the batch print dialog
// lists them, into one PDF). Without a screen there is no printer dialog, so the output is always a PDF file.
#include "cli/Cli.h"
#include "cli/CliSession.h"

#include "cell/CellControl.h"
#include "printing/BatchPrintRun.h"
#include "printing/PrintActions.h"
#include "store/FileLayout.h"
#include "trees/NodeKinds.h"

#include <QDir>
#include <QJsonObject>

namespace {

QModelIndex nodeArg(CliContext& ctx, LibraryData& data, int i)
{
    const int itemId = ctx.intArg(i, "ID");
    const QModelIndex index = data.tree.indexOfItem(itemId);
    if (!index.isValid())
        throw QuelmarError(QStringLiteral("没有关键字为 %1 的节点（或它不属于当前用户）。").arg(itemId));
    return index;
}

QString pdfOption(CliContext& ctx)
{
    const QString pdf = ctx.value(QStringLiteral("pdf"));
    if (pdf.isEmpty())
        throw CliUsageError(QStringLiteral("请用 --pdf 指定输出的 PDF 文件（命令行只能打印到 PDF 文件）。"));
    return pdf;
}

// The node's own table file: template sub-items and styles, the project library's sub-items, styles and forms,
// archived forms (which refer to the project library's file).
QString tableFileOf(CliSession& s, Library library, const NodeRecord& r)
{
    const NodeKind* kind = FindNodeKind(library, r.TypeID);
    const bool hasTable = library == Library::GuiDang ? r.TypeID == 3 : kind && kind->ownsTableFile;
    if (!hasTable)
        return {};
    const QString folder =
        library == Library::Moban ? s.paths().MobanFolderPath(r.iDir) : s.paths().ZiLiaoFolderPath(r.iDir);
    return FileLayout::NodeFilePath(folder, r.File_Name, r.Ext);
}

void printResult(CliContext& ctx, int files, int pages, const QString& pdf)
{
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("files"), files},
                                  {QStringLiteral("pages"), pages},
                                  {QStringLiteral("pdf"), pdf}});
    else
        ctx.print(QStringLiteral("已打印 %1 个表格文件，共 %2 页：%3").arg(files).arg(pages).arg(QDir::toNativeSeparators(pdf)));
}

int runPrint(CliContext& ctx)
{
    CliSession& s = ctx.session();
    const Library library = CliSession::parseLibrary(ctx.arg(0, "LIBRARY"));
    LibraryData& data = s.library(library);
    const QModelIndex index = nodeArg(ctx, data, 1);
    const QString pdf = pdfOption(ctx);
    const NodeRecord r = data.tree.record(index);
    const QString path = tableFileOf(s, library, r);
    if (path.isEmpty())
        throw QuelmarError(QStringLiteral("节点“%1”[%2] 没有表格文件，无法打印；要打印它下面的表格文件，请用 batch-print。")
                               .arg(r.Name)
                               .arg(r.ItemID));
    cell::CellControl control;
    if (control.OpenFile(path, cell::tableFilePassword()) != 1)
        throw QuelmarError(control.errorString());
    PdfBatchOutput output(pdf);
    int copies = 1;
    output.begin(control.workbook(), control.GetCurSheet(), copies);
    const int pages = output.add(control.workbook(), control.GetCurSheet(), copies);
    output.finish();
    printResult(ctx, 1, pages, pdf);
    return 0;
}

int runBatchPrint(CliContext& ctx)
{
    CliSession& s = ctx.session();
    const Library library = CliSession::parseLibrary(ctx.arg(0, "LIBRARY"));
    LibraryData& data = s.library(library);
    const QModelIndex index = nodeArg(ctx, data, 1);
    const QString pdf = pdfOption(ctx);
    int copies = 1;
    if (const QString c = ctx.value(QStringLiteral("copies")); !c.isEmpty()) {
        bool ok = false;
        copies = c.toInt(&ok);
        if (!ok || copies < BatchPrintMinCopies || copies > BatchPrintMaxCopies)
            throw CliUsageError(QStringLiteral("--copies 应为 %1 到 %2 之间的整数：%3")
                                    .arg(BatchPrintMinCopies)
                                    .arg(BatchPrintMaxCopies)
                                    .arg(c));
    }
    // Where the program's print actions do nothing (the project library's top level, the archive's root), there is
    // no batch to print either: the project library's root would also print the forms in its recycle bin.
    const NodeRecord top = data.tree.record(index);
    if (PrintStepFor(library, top, data.tree.level(index) == 0, PrintCommand::PrintWithDlg).kind == PrintStep::Kind::Nothing)
        throw QuelmarError(QStringLiteral("“%1”是%2的最顶层节点，不能批量打印；请选择它下面的节点。")
                               .arg(top.Name, library == Library::GuiDang ? QStringLiteral("档案库")
                                                                           : QStringLiteral("工程库")));
    QList<int> excluded;
    for (const QString& e : ctx.opt.values.value(QStringLiteral("exclude"))) {
        bool ok = false;
        excluded << e.toInt(&ok);
        if (!ok)
            throw CliUsageError(QStringLiteral("--exclude 应为整数：%1").arg(e));
    }
    const QList<BatchPrintItem> items = BatchPrintItemsFor(data.tree, index, s.paths(), excluded);
    if (items.isEmpty())
        throw QuelmarError(QStringLiteral("请选择要打印的文件！（节点“%1”下没有可打印的表格文件。）")
                               .arg(data.tree.record(index).Name));
    PdfBatchOutput output(pdf);
    const BatchPrintResult result = RunBatchPrint(items, copies, output, ctx.prompter);
    printResult(ctx, result.printed, result.pages, pdf);
    return 0;
}

CliCommand printSpec()
{
    CliCommand c = makeCliCommand("print", "LIBRARY ID --pdf OUT.pdf",
                                  "把节点的表格文件（当前工作表）打印到 PDF 文件", 2, 2, runPrint);
    c.valueOptions = {QStringLiteral("pdf")};
    return c;
}

CliCommand batchPrintSpec()
{
    CliCommand c = makeCliCommand(
        "batch-print", "LIBRARY ID --pdf OUT.pdf [--copies N] [--exclude ID]...",
        "批量打印：节点下可打印的全部表格文件（同批量打印对话框的顺序，--exclude 的节点及其下级除外），每个文件 N 份"
        "逐份打印，合成一个 PDF 文件；进度写在标准错误上",
        2, 2, runBatchPrint);
    c.valueOptions = {QStringLiteral("pdf"), QStringLiteral("copies"), QStringLiteral("exclude")};
    return c;
}

const CliRegistrar regPrint(printSpec());
const CliRegistrar regBatchPrint(batchPrintSpec());

} // namespace
