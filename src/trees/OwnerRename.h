#pragma once
#include <QString>

class RowSet;
class TDataPoolDM;

// When the logged-in user renames himself, every project row of his own except the root and the recycle bin, and
// every archive row of his own except the root, get UserID = `newName` (rows shared by 'Everyone' stay shared); each library's change is applied under `oldName` and
// merged. Fails with "资料数据上下文不存在！" / "档案数据上下文不存在！" when a cached copy is not open. The caller
// then replaces LoginInfo.opName.
void OwnerRenameHook(TDataPoolDM& dm, const QString& oldName, RowSet& ziLiaoRows, RowSet& guiDangRows,
                     const QString& newName);
