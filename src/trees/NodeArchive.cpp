// Archiving: a project subtree becomes archive rows that refer to the project's own files.
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "store/WriteUnit.h"
#include "trees/NodeCopy.h"
#include "trees/PendingChangesGuard.h"
#include "users/Login.h"

#include <functional>

namespace {

// The archive kind of a project node: inspection and general forms become archived forms, external files stay
// external files, everything else (the project included) becomes a category.
int archivedKind(int projectType)
{
    if (projectType == 6 || projectType == 7)
        return 3;
    if (projectType == NodeKinds::ExternalFile)
        return NodeKinds::ExternalFile;
    return 2;
}

} // namespace

QModelIndex ArchiveSubtree(NodeOpsContext ctx, const LibraryTreeModel& projectTree, const QModelIndex& source,
                           const QModelIndex& target, DropPlace place)
{
    LibraryData& data = ctx.data;
    LibraryTreeModel& tree = data.tree;
    if (data.library() != Library::GuiDang || projectTree.library() != Library::ZiLiao)
        throw QuelmarError(QStringLiteral("归档只能把工程库的节点放到档案库中。"));
    const QString refusal = ArchiveDropRefusal(projectTree, source, tree, target, place);
    if (!refusal.isEmpty())
        throw QuelmarError(refusal);
    const QPersistentModelIndex newParent = place == DropPlace::Child ? QModelIndex(target) : target.parent();
    const NodeRecord parentRec = tree.record(newParent);

    BusyCursor busy(ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(ctx.dm);
    unit.track(data.rows);
    RequireNodeRow(ctx.dm, Library::GuiDang, parentRec.ItemID);

    // The plan, in pre-order: each node with its archive row.
    struct Planned {
        NodeRecord rec;
        int partIndex = 0;
    };
    QList<Planned> plan;
    int nextKey = ctx.dm.NewGuiDangKey();
    const std::function<void(const QModelIndex&, int, int)> planNode = [&](const QModelIndex& node, int parentKey,
                                                                          int partIndex) {
        const NodeRecord from = projectTree.record(node);
        CheckNodeKind(Library::ZiLiao, from.TypeID);
        Planned p;
        p.rec = from;
        p.rec.TypeID = archivedKind(from.TypeID);
        p.rec.ItemID = nextKey++;
        p.rec.P_ItemID = parentKey;
        p.partIndex = partIndex;
        plan.append(p);
        const int key = p.rec.ItemID;
        for (int r = 0; r < projectTree.rowCount(node); ++r)
            planNode(projectTree.index(r, 0, node), key, r);
    };
    planNode(source, parentRec.ItemID, 0);

    const int row = place == DropPlace::Child   ? tree.rowCount(newParent)
                    : place == DropPlace::Prior ? target.row()
                                                : target.row() + 1;
    const QPersistentModelIndex top = tree.addNode(newParent, plan.first().rec, row);
    unit.onRollback([&tree, top] {
        if (top.isValid())
            tree.removeNode(top);
    });
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const Planned& p = plan.at(i);
        if (i > 0)
            tree.addNode(tree.indexOfItem(p.rec.P_ItemID), p.rec);
        QVariantMap values = p.rec.toValues();
        values.insert(QStringLiteral("iPartIndex"), i == 0 ? top.row() : p.partIndex);
        values.insert(QStringLiteral("UserID"), ctx.login.opName);
        data.rows.append(values);
    }
    if (data.rows.pendingCount() < plan.size())
        throw QuelmarError(QStringLiteral("源节点信息未插入到数据容器中。"));
    // The siblings at the destination take their tree places (gaps included).
    const bool changed = RenumberSiblings(data, newParent, 0, QStringLiteral("在数据容器中找不到节点: "), true);
    if (place == DropPlace::Prior && !changed)
        throw QuelmarError(QStringLiteral("复制为同级上方节点？"));
    data.applyUpdates(ctx.dm, ctx.login.opName);
    unit.commit();
    return top;
}
