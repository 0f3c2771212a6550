// Copy, move, archive and locate: what the drop menus of the trees and the find dialog do, on nodes given by their
// ItemID. A pair the drag-and-drop tables refuse is refused here with the same message ("目标节点类型错误！"); the
// operation's information box and warnings go to stderr.
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "trees/DragDrop.h"
#include "trees/LocateNode.h"
#include "trees/NodeCopy.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

NodeOpsContext contextFor(CliContext& ctx, LibraryData& data)
{
    CliSession& s = ctx.session();
    return NodeOpsContext{data, s.dm(), s.paths(), s.login(), s.prompter()};
}

QModelIndex nodeOf(CliContext& ctx, LibraryData& data, int i, const char* what)
{
    const int itemId = ctx.intArg(i, what);
    const QModelIndex index = data.tree.indexOfItem(itemId);
    if (!index.isValid())
        throw QuelmarError(QStringLiteral("没有关键字为 %1 的节点（或它不属于当前用户）。").arg(itemId));
    return index;
}

DropPlace placeArg(CliContext& ctx, int i)
{
    DropPlace place = DropPlace::Child;
    if (!ParseDropPlace(ctx.arg(i, "child|prior|next"), &place))
        throw CliUsageError(QStringLiteral("位置应为 child、prior 或 next，而不是“%1”。").arg(ctx.arg(i, "PLACE")));
    return place;
}

void reportMessages(CliContext& ctx)
{
    for (const ScriptedPrompter::Event& e : std::as_const(ctx.prompter.events))
        if (e.kind == QLatin1String("warning") || e.kind == QLatin1String("information")
            || e.kind == QLatin1String("error"))
            ctx.err << e.text << '\n';
    ctx.err.flush();
}

int printNode(CliContext& ctx, const QModelIndex& node)
{
    reportMessages(ctx);
    const int itemId = node.data(LibraryTreeModel::ItemIdRole).toInt();
    if (ctx.opt.json)
        ctx.printJson(QJsonObject{{QStringLiteral("ItemID"), itemId}});
    else
        ctx.print(QString::number(itemId));
    return 0;
}

int runCopyOrMove(CliContext& ctx, bool move)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QModelIndex source = nodeOf(ctx, data, 1, "SOURCE_ID");
    const QModelIndex target = nodeOf(ctx, data, 2, "TARGET_ID");
    const DropPlace place = placeArg(ctx, 3);
    SubtreeOps ops(contextFor(ctx, data));
    const QModelIndex result = move ? ops.MoveSubtree(source, target, place) : ops.CopySubtree(source, target, place);
    if (!result.isValid()) {
        reportMessages(ctx);
        return 1;
    }
    return printNode(ctx, result);
}

int runArchive(CliContext& ctx)
{
    LibraryData& project = ctx.session().library(Library::ZiLiao);
    LibraryData& archive = ctx.session().library(Library::GuiDang);
    const QModelIndex source = nodeOf(ctx, project, 0, "PROJECT_SOURCE_ID");
    const QModelIndex target = nodeOf(ctx, archive, 1, "ARCHIVE_TARGET_ID");
    const DropPlace place = placeArg(ctx, 2);
    return printNode(ctx, ArchiveSubtree(contextFor(ctx, archive), project.tree, source, target, place));
}

int runLocate(CliContext& ctx)
{
    LibraryData& data = ctx.session().library(CliSession::parseLibrary(ctx.arg(0, "LIBRARY")));
    const QString text = ctx.arg(1, "TEXT");
    const bool up = ctx.flag(QStringLiteral("up"));
    const bool whole = ctx.flag(QStringLiteral("whole"));
    QModelIndex selected;
    if (ctx.opt.values.contains(QStringLiteral("from"))) {
        bool ok = false;
        const int from = ctx.value(QStringLiteral("from")).toInt(&ok);
        selected = data.tree.indexOfItem(from);
        if (!ok || !selected.isValid())
            throw QuelmarError(QStringLiteral("没有关键字为 %1 的节点（或它不属于当前用户）。").arg(ctx.value(QStringLiteral("from"))));
    }
    // Press after press, each hit selected, until the search reports the text as not found.
    NodeLocator locator(data.tree);
    QJsonArray ids;
    QStringList lines;
    for (QModelIndex hit = locator.findNext(text, up, whole, selected); hit.isValid();
         hit = locator.findNext(text, up, whole, hit)) {
        const int id = hit.data(LibraryTreeModel::ItemIdRole).toInt();
        ids.append(id);
        lines << QStringLiteral("%1\t%2").arg(id).arg(hit.data().toString());
    }
    if (ctx.opt.json)
        ctx.printJson(ids);
    else
        for (const QString& line : std::as_const(lines))
            ctx.print(line);
    if (ids.isEmpty()) {
        ctx.err << NodeNotFoundMessage(text.trimmed()) << '\n';
        ctx.err.flush();
        return 1;
    }
    return 0;
}

CliCommand locateSpec()
{
    CliCommand c = makeCliCommand("locate", "LIBRARY TEXT [--whole] [--up] [--from ID]",
                                  "按“查找”的规则列出名称含 TEXT 的节点（--whole：名称等于 TEXT；--up：向上；"
                                  "--from：从该节点开始，含该节点），按查找顺序（--json：ItemID 数组）",
                                  2, 2, runLocate);
    c.flagOptions = {QStringLiteral("whole"), QStringLiteral("up")};
    c.valueOptions = {QStringLiteral("from")};
    return c;
}

const CliRegistrar regCopy(makeCliCommand("copy", "LIBRARY SOURCE_ID TARGET_ID child|prior|next",
                                          "把节点连同下级复制为目标的子节点、同级上方或同级下方节点，输出新节点的 ItemID",
                                          4, 4, [](CliContext& ctx) { return runCopyOrMove(ctx, false); }));
const CliRegistrar regMove(makeCliCommand("move", "LIBRARY SOURCE_ID TARGET_ID child|prior|next",
                                          "把节点连同下级移动为目标的子节点、同级上方或同级下方节点，输出它的 ItemID",
                                          4, 4, [](CliContext& ctx) { return runCopyOrMove(ctx, true); }));
const CliRegistrar regArchive(makeCliCommand("archive", "PROJECT_SOURCE_ID ARCHIVE_TARGET_ID child|prior|next",
                                             "把工程库的节点连同下级归档到档案库，输出新节点的 ItemID", 3, 3,
                                             runArchive));
const CliRegistrar regLocate(locateSpec());

} // namespace
