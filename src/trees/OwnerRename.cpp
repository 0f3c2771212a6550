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
    if (!ziLiaoRows.isOpen())
        throw QuelmarError(QStringLiteral("资料数据上下文不存在！"));
    for (RowSet::RowId id : ziLiaoRows.allRows()) {
        const int type = ziLiaoRows.value(id, typeId).toInt();
        if (type != NodeKinds::Root && type != NodeKinds::RecycleBin)
            ziLiaoRows.setValue(id, userId, newName);
    }
    if (ziLiaoRows.hasChanges()) {
        dm.ApplyZiLiaoUpdates(oldName, ziLiaoRows.changeLog());
        ziLiaoRows.merge();
    }
    if (!guiDangRows.isOpen())
        throw QuelmarError(QStringLiteral("档案数据上下文不存在！"));
    for (RowSet::RowId id : guiDangRows.allRows())
        if (guiDangRows.value(id, typeId).toInt() != NodeKinds::Root)
            guiDangRows.setValue(id, userId, newName);
    if (guiDangRows.hasChanges()) {
        dm.ApplyGuiDangUpdates(oldName, guiDangRows.changeLog());
        guiDangRows.merge();
    }
}
