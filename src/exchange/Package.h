#pragma once
#include "trees/NodeOps.h"

#include <QList>
#include <QModelIndex>
#include <QString>
#include <QVariantList>

// Exchange packages: one subtree of the template or project library with its rows, header-fill records and node
// files, carried to another place or installation. A package is a Microsoft cabinet (exchange/Cabinet) whose
// entries are "S.mdb" — the package database: tables bs (the nodes in pre-order), hi (their header-fill records) and
// TreeHandle (HID, the top node's parent key) — and each node file under its file number and extension ("12.cll",
// "3.doc"). Every reader and writer of packages goes through here; save as style writes a one-node package.
//
// The package kinds 0..8 only choose the file dialog (title, filter, extension); what is exported is always the
// selected node's subtree, and where an import goes follows from the package's top node.

// One package kind: its extension with the dot, the titles of the save and open dialogs and the dialogs' filter.
struct PackageKind {
    int kind = 0;
    QString ext;
    QString saveTitle;
    QString openTitle;
    QString filter;
};

// The kind 0..8; any other fails with "不合法的导出类型。".
const PackageKind& CheckPackageKind(int kind);
// The kind of a package file by its extension (".gc" 0 ... ".cg" 8, any letter case); -1 for none.
int PackageKindOfFile(const QString& path);
// The kind that exports a node of `typeId` (project 0, division 1, data category 2, sub-item 3, inspection form 4,
// general form 5, template 6, general form style 7, external file 8); -1 when none does.
int PackageKindOfNode(Library library, int typeId);

// The file dialogs of a kind (SetupExportDialog / SetupImportDialog).
struct FileDialogSetup {
    QString title;
    QString filter;
    QString defaultExt;
};
FileDialogSetup SetupExportDialog(int kind);
FileDialogSetup SetupImportDialog(int kind);

// Deletes every entry of the folder (read-only files are made writable first, "设置文件“%s”属性出错！" when that
// fails). False at the first entry that cannot be deleted (a sub-folder makes it fail) and for a missing folder.
bool EmptyFolder(const QString& path);

// The export actions (ExportSubtree): the save dialog of `kind`, then ExportSubtreeTo. False when cancelled or
// refused (the recycle bin).
bool ExportSubtree(NodeOpsContext ctx, int kind, const QModelIndex& top);
// Writes the package of the node's subtree to `file` (exactly that name) and tells the user "文件被导到: ...". The
// package is complete when this returns; a failure leaves no package under the name (an older file there stays).
void ExportSubtreeTo(NodeOpsContext ctx, const QModelIndex& top, const QString& file);

// The import actions (ImportPackage): the open dialog of `kind`, then ImportPackageFrom. Returns the new top node
// (to be selected), invalid when cancelled or refused.
QModelIndex ImportPackage(NodeOpsContext ctx, int kind, const QModelIndex& selected);
// Imports the package `file` below `selected` — a template or project package (top node of kind 9 / 1) as a new
// top-level node in a folder of its own just before the recycle bin, anything else as the selected node's last
// child in its folder — with fresh keys, file numbers and header-fill records, and tells the user
// "文件“%s”中数据被成功地导入。". The whole package is checked before anything is created; the import is one
// write unit, so a failure leaves the library, its files and folders exactly as they were.
QModelIndex ImportPackageFrom(NodeOpsContext ctx, const QModelIndex& selected, const QString& file);

// ---- the package format, for the writers (export, save as style) -------------------------------------------------

// The columns of bs and hi, in the program's order.
QStringList PackageNodeColumns();
QStringList PackageFillColumns();

// What goes into a package: the handle, the bs rows and hi rows (values in the column order above) and the node
// files (entry name -> source path).
struct PackageContent {
    int handle = 0;
    QList<QVariantList> nodes;
    QList<QVariantList> fillRanges;
    QList<std::pair<QString, QString>> files;
};

// Writes a package file through the temporary folder (held for this program alone while it works): clears it,
// copies the blank package database, writes the rows, builds the cabinet at `file`. Status texts go to the
// prompter at each step ("清空系统临时文件夹...", "创建目标数据上下文...", "提交缓冲区...", "创建目标文件...").
void WritePackageFile(NodeOpsContext& ctx, const QString& file, const PackageContent& content);
