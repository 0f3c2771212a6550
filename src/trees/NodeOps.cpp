#include "trees/NodeOps.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "trees/NodeFiles.h"
#include "users/Login.h"

#include <map>
#include <utility>

namespace {

const QString kPartIndex = QStringLiteral("iPartIndex");

} // namespace

void RequireNodeRow(TDataPoolDM& dm, Library library, int itemId)
{
    if (!dm.NodeRowExists(LibraryTable(library), itemId))
        throw QuelmarError(QStringLiteral("节点已被其他用户修改或删除，请刷新。"));
}

QList<int> NewMenuKinds(Library library, int selectedTypeId)
{
    static const std::map<int, QList<int>> moban{{0, {9}}, {9, {10, 3}}, {10, {4, 11}}, {3, {4}}, {4, {4, 11, 5}}};
    static const std::map<int, QList<int>> ziLiao{{0, {1}},      {1, {10, 3}}, {10, {4, 11}}, {3, {4}},
                                                  {4, {4, 11, 5}}, {5, {6}},   {11, {7}}};
    static const std::map<int, QList<int>> guiDang{{0, {1}}, {1, {2}}, {2, {2}}};
    const auto& table = library == Library::Moban ? moban : library == Library::ZiLiao ? ziLiao : guiDang;
    const auto it = table.find(selectedTypeId);
    return it == table.end() ? QList<int>() : it->second;
}

QString NewNodeCaption(Library library, int typeId)
{
    switch (library) {
    case Library::Moban:
        switch (typeId) {
        case 9: return QStringLiteral("新建模板");
        case 10: return QStringLiteral("新建通用部分");
        case 3: return QStringLiteral("新建分部");
        case 4: return QStringLiteral("新建资料分类");
        case 11: return QStringLiteral("新建通用表格样式");
        case 5: return QStringLiteral("新建分项");
        }
        break;
    case Library::ZiLiao:
        switch (typeId) {
        case 10: return QStringLiteral("新建通用部分");
        case 3: return QStringLiteral("新建分部");
        case 4: return QStringLiteral("新建分类");
        case 11: return QStringLiteral("新建样式");
        case 5: return QStringLiteral("新建分项");
        case 7: return QStringLiteral("新建通用表格");
        case 6: return QStringLiteral("新建检验表格");
        }
        break;
    case Library::GuiDang:
        switch (typeId) {
        case 1: return QStringLiteral("新建档案柜");
        case 2: return QStringLiteral("新建分类");
        }
        break;
    }
    return {};
}

bool IsInRecycleBin(const LibraryTreeModel& tree, const QModelIndex& node)
{
    if (!node.isValid() || !LibraryHasRecycleBin(tree.library()))
        return false;
    QModelIndex levelOne = node;
    int depth = tree.level(node);
    if (depth < 2)
        return false;
    while (depth > 1) {
        levelOne = levelOne.parent();
        --depth;
    }
    return levelOne.data(LibraryTreeModel::TypeIdRole).toInt() == NodeKinds::RecycleBin;
}

bool RenumberSiblings(LibraryData& data, const QModelIndex& parent, int fromRow, const QString& missingMessage,
                      bool appendName)
{
    bool changed = false;
    const int count = data.tree.rowCount(parent);
    for (int r = std::max(fromRow, 0); r < count; ++r) {
        const NodeRecord rec = data.tree.record(data.tree.index(r, 0, parent));
        const RowSet::RowId row = data.rows.find(rec.ItemID);
        if (row < 0)
            throw QuelmarError(appendName ? missingMessage + rec.Name : missingMessage);
        if (data.rows.value(row, kPartIndex).toInt() != r || data.rows.value(row, kPartIndex).isNull()) {
            data.rows.setValue(row, kPartIndex, r);
            changed = true;
        }
    }
    return changed;
}

void CloneTreeChildren(const LibraryTreeModel& fromTree, const QModelIndex& from, LibraryTreeModel& toTree,
                       const QModelIndex& to)
{
    for (int r = 0; r < fromTree.rowCount(from); ++r) {
        const QModelIndex child = fromTree.index(r, 0, from);
        const QModelIndex copy = toTree.addNode(to, fromTree.record(child));
        CloneTreeChildren(fromTree, child, toTree, copy);
    }
}

// ---------------------------------------------------------------------------------------------------------------

NodeOps::NodeOps(NodeOpsContext ctx) : m_ctx(std::move(ctx)) {}

bool NodeOps::RecycleGuard(const QModelIndex& node)
{
    if (!LibraryHasRecycleBin(library()))
        return true;
    if (node.isValid() && node.data(LibraryTreeModel::TypeIdRole).toInt() == NodeKinds::RecycleBin) {
        m_ctx.prompter.warn(QStringLiteral("Quelmar"), QStringLiteral("加收站不提供此功能！请选择其他节点。"));
        return false;
    }
    return true;
}

void NodeOps::applyUpdates()
{
    m_ctx.data.applyUpdates(m_ctx.dm, m_ctx.login.opName);
}

QString NodeOps::folderOf(int iDir) const
{
    return NodeFolder(m_ctx.paths, library(), iDir);
}

QString NodeOps::nodeFile(const NodeRecord& rec) const
{
    return NodeFile(m_ctx.paths, library(), rec);
}

RowSet::RowId NodeOps::findRow(const NodeRecord& rec, const QString& missingMessage, bool appendName) const
{
    const RowSet::RowId row = m_ctx.data.rows.find(rec.ItemID);
    if (row < 0)
        throw QuelmarError(appendName ? missingMessage + rec.Name : missingMessage);
    return row;
}
