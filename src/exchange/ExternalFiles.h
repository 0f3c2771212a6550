#pragma once
#include "trees/NodeOps.h"

#include <QModelIndex>
#include <QString>

// External files (TypeID 16): ordinary documents (word-processor, spreadsheet, text, web archive, anything) kept in
// a library folder under a file number and their own extension, shown in the content pane and opened in the
// platform's default application (the GUI does that, with QDesktopServices).

// "导入外部文件(&E)...": the open dialog "导入操作系统支持的文件", then ImportExternalFileFrom. Returns the new node (to
// be selected), invalid when cancelled or refused.
QModelIndex ImportExternalFile(NodeOpsContext ctx, const QModelIndex& selected);
// Copies `file` into the selected node's folder as a new external-file node, its last child: Name = the file's name
// with its extension, Ext = its extension as written ("不可识别的文件！" for a name without one). All or nothing.
QModelIndex ImportExternalFileFrom(NodeOpsContext ctx, const QModelIndex& selected, const QString& file);

// "导出外部文件(&E)...": the save dialog "导出外部文件" with the node's extension, then ExportExternalFileTo. False
// when cancelled or refused.
bool ExportExternalFile(NodeOpsContext ctx, const QModelIndex& node);
// Saves a copy of the node's document as `file` ("节点文件不存在！" when the node's file is gone) and tells the
// user "另存副本到“%s”". The copy is written beside `file` and renamed, so a failure leaves no partial file.
void ExportExternalFileTo(NodeOpsContext ctx, const QModelIndex& node, const QString& file);

// The open dialog's filter of external documents.
QString ExternalFileFilter();
