#pragma once
#include "trees/NodeOps.h"

#include <QModelIndex>
#include <QString>

// Save as style (ZiLiaoSaveAsTemplate, "另存为样式(&A)"): a filled inspection or general form of the project library
// becomes a reusable general form style — a one-node exchange package (.ys) whose node is of kind 11 and carries the
// form's table file and header-fill record. Importing it ("导入通用表格样式(&Y)...") creates the style.

// The action: the recycle-bin refusal, "请选择最终节点即最终表格！" for anything but a form, the save dialog
// "另存为样式", then SaveAsStyleTo. False when refused or cancelled.
bool SaveAsStyle(NodeOpsContext ctx, const QModelIndex& form);
// Writes the style package of the form to `file` (exactly that name) and tells "文件被保存到: ...". Nothing in the
// libraries changes; a failure leaves no package under the name.
void SaveAsStyleTo(NodeOpsContext ctx, const QModelIndex& form, const QString& file);
