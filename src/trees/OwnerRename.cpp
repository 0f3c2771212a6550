#include "trees/OwnerRename.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "store/RowSet.h"
#include "trees/NodeKinds.h"

void OwnerRenameHook(TDataPoolDM& dm, const QString& oldName, RowSet& ziLiaoRows, RowSet& guiDangRows,
                     const QString& newName)
{
    const QString userId = QStringLiteral("UserID");
    const QString typeId = QStringLiteral("TypeID");
    const QString everyone = QStringLiteral("Everyone");
    // Only the user's own rows change hands: rows shared by everyone stay shared, whatever their kind.
    const auto owned = [&](const RowSet& rows, RowSet::RowId id) {
        return rows.value(id, userId).toString() != everyone;
    };
    if (!ziLiaoRows.isOpen())
        throw QuelmarError(QStringLiteral("资料数据上下文不存在！"));
    for (RowSet::RowId id : ziLiaoRows.allRows()) {
        const int type = ziLiaoRows.value(id, typeId).toInt();
        if (type != NodeKinds::Root && type != NodeKinds::RecycleBin && owned(ziLiaoRows, id))
            ziLiaoRows.setValue(id, userId, newName);
    }
    if (ziLiaoRows.hasChanges()) {
        dm.ApplyZiLiaoUpdates(oldName, ziLiaoRows.changeLog());
        ziLiaoRows.merge();
    }
    if (!guiDangRows.isOpen())
        throw QuelmarError(QStringLiteral("档案数据上下文不存在！"));
    for (RowSet::RowId id : guiDangRows.allRows())
        if (guiDangRows.value(id, typeId).toInt() != NodeKinds::Root && owned(guiDangRows, id))
            guiDangRows.setValue(id, userId, newName);
    if (guiDangRows.hasChanges()) {
        dm.ApplyGuiDangUpdates(oldName, guiDangRows.changeLog());
        guiDangRows.merge();
    }
}
