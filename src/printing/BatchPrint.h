#pragma once
// Batch printing: the tree of the batch print dialog (TBatchPrintFrm) with its ticks, its records and its icons,
// and the list of table files a run prints. The three modes are the three libraries: each decides which node kinds
// carry a printable file, the dialog's texts and the icons of its image list.

#include "store/AppPaths.h"
#include "trees/CheckableTreeModel.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

enum class BatchPrintMode { ZMode, GMode, MMode };

// The mode of a library's print actions: project "ZMode", archive "GMode", template "MMode".
BatchPrintMode BatchPrintModeFor(Library library);
Library BatchPrintLibrary(BatchPrintMode mode);
// The name of the mode's page in the dialog ("ZMode", "GMode", "MMode").
QString BatchPrintPageName(BatchPrintMode mode);
// "说明: 资料库中只能打印最终表格，样式不算。" and the others.
QString BatchPrintDescription(BatchPrintMode mode);
// The label of the mode panel: "最终表格" or "样式表格".
QString BatchPrintPanelLabel(BatchPrintMode mode);
// Whether a node of this TypeID carries a printable table file in the mode (project 6, 7; archive 3;
// template 5, 11).
bool IsBatchPrintable(BatchPrintMode mode, int typeId);
// "打印的表格文件数量: %d 个".
QString BatchPrintCountText(int count);

// The record of a node of the dialog's tree: the source node's kind (for an external document a code by its
// extension: ".doc" 160, ".xls" 161, ".wps" 162, ".txt" 163, ".mht" 164, any other 165) and the full path of its
// table file when the node is printable in the mode, else empty.
struct TPrintedFile {
    int kind = 0;
    QString path;
};

// The kind of a node as the dialog records it.
int PrintedFileKind(const NodeRecord& node);
// The icon of a kind in the dialog's image list (0 template, 1 folder, 2 data category, 3 sub-item / style,
// 4 library root, 5 project, 6 final form, 7 cabinet, 10 .mht, 11 .xls, 12 .wps, 13 .txt, 14 other document,
// 15 .doc); -1 where the node keeps no icon (the project library's recycle bin). A kind the mode does not list fails
// with "类型错误！".
int BatchPrintIcon(BatchPrintMode mode, int kind);
// The dialog's image list has this many entries.
constexpr int BatchPrintIconCount = 16;

// One table file of a run: the node it belongs to and the file's full path.
struct BatchPrintItem {
    int itemId = 0;
    QString name;
    QString path;
};

// The dialog's tree: a copy of a node of a library tree with its whole subtree, each node with its TPrintedFile
// record and its icon (IconIndexRole), every node ticked. Ticking a node ticks its ancestors; a node's new state
// goes to every node below it. The list of files follows the ticks: every ticked node with a path, in display
// order (depth first, parents before children, siblings in tree order).
class BatchPrintTree final : public CheckableTreeModel {
    Q_OBJECT
public:
    BatchPrintTree(BatchPrintMode mode, AppPaths paths, QObject* parent = nullptr);

    BatchPrintMode mode() const { return m_mode; }

    // Clears the tree and copies `node` of `source` (a tree of the mode's library) with its subtree; every node
    // ticked. A kind the mode's icon table does not list fails with "类型错误！" (the tree is then left empty).
    void build(const LibraryTreeModel& source, const QModelIndex& node);
    QModelIndex topNode() const { return index(0, 0); }

    TPrintedFile printedFile(const QModelIndex& node) const;

    // The files to print, in display order.
    QList<BatchPrintItem> items() const;
    QStringList files() const;
    int fileCount() const { return int(items().size()); }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void copySubtree(const LibraryTreeModel& source, const QModelIndex& from, const QModelIndex& to);
    QString tablePath(const NodeRecord& node) const;

    BatchPrintMode m_mode;
    AppPaths m_paths;
    QHash<int, TPrintedFile> m_files;   // by ItemID
    QHash<int, int> m_icons;            // by ItemID
};

// The dialog's run order for a node of a library tree without the dialog (quelmar-cli batch-print): the tree
// built for the library's mode with the nodes `excluded` (ItemIDs) and their subtrees unticked.
QList<BatchPrintItem> BatchPrintItemsFor(const LibraryTreeModel& source, const QModelIndex& node,
                                         const AppPaths& paths, const QList<int>& excluded);
