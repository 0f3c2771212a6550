#include "exchange/ExternalFiles.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/WriteUnit.h"
#include "trees/NodeFiles.h"
#include "trees/NodeKinds.h"
#include "trees/PendingChangesGuard.h"
#include "users/Login.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The extension as the file's name writes it ("报告.DOC" -> ".DOC"); empty for a name without one.
QString extensionOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == fileName.size() - 1)
        return {};
    return fileName.mid(dot);
}

} // namespace

QString ExternalFileFilter()
{
    return QStringLiteral("外部文件 (*.doc; *.xls; *.wps; *.txt; *.mht)|*.doc; *.xls; *.wps; *.txt; *.mht|"
                          "Word 文档 (*.doc)|*.doc|Microsoft Excel 工作薄 (*.xls)|*.xls|WPS 文字 (*.wps)|*.wps|"
                          "文本文件 (.txt)|*.txt|网页，单一文件 (*.mht)|*.mht|所有文件 (*.*)|*.*");
}

QModelIndex ImportExternalFile(NodeOpsContext ctx, const QModelIndex& selected)
{
    if (!NodeOps(ctx).RecycleGuard(selected))
        return {};
    const QString file = ctx.prompter.chooseOpenFile(QStringLiteral("导入操作系统支持的文件"), ExternalFileFilter(), QString());
    if (file.isEmpty())
        return {};
    return ImportExternalFileFrom(ctx, selected, file);
}

QModelIndex ImportExternalFileFrom(NodeOpsContext ctx, const QModelIndex& selected, const QString& file)
{
    LibraryData& data = ctx.data;
    const Library lib = data.library();
    if (lib == Library::GuiDang)
        throw QuelmarError(QStringLiteral("档案库中的外部文件由归档操作建立。"));
    if (!NodeOps(ctx).RecycleGuard(selected))
        return {};
    const NodeRecord parent = data.tree.record(selected);
    const NodeKind& parentKind = CheckNodeKind(lib, parent.TypeID);
    if (!parentKind.mayContain.contains(NodeKinds::ExternalFile))
        throw QuelmarError(QStringLiteral("“%1”下不能放外部文件。").arg(parent.Name));
    const QFileInfo info(file);
    const QString ext = extensionOf(info.fileName());
    if (ext.isEmpty())
        throw QuelmarError(QStringLiteral("不可识别的文件！"));
    if (!info.isFile())
        throw QuelmarError(QStringLiteral("“%1”文件不存在！").arg(native(file)));
    if (ext.size() > 50)
        throw QuelmarError(QStringLiteral("文件“%1”的扩展名太长（最多 50 个字符）。").arg(info.fileName()));
    if (info.fileName().size() > 255)
        throw QuelmarError(QStringLiteral("文件名“%1”太长（最多 255 个字符）。").arg(info.fileName()));

    BusyCursor busy(ctx.prompter);
    PendingChangesGuard guard(data.rows);
    WriteUnit unit(ctx.dm, ctx.paths);
    unit.track(data.rows);
    RequireNodeRow(ctx.dm, lib, parent.ItemID);
    const bool moban = lib == Library::Moban;
    NodeRecord rec;
    rec.TypeID = NodeKinds::ExternalFile;
    rec.ItemID = moban ? ctx.dm.NewMobanKey() : ctx.dm.NewZiLiaoKey();
    rec.Name = info.fileName();
    rec.P_ItemID = parent.ItemID;
    rec.iDir = parent.iDir;
    rec.File_Name = moban ? ctx.dm.NewMobanFileNo(rec.iDir) : ctx.dm.NewZiLiaoFileNo(rec.iDir);
    rec.Ext = ext;
    // The folder of a template or project is there; an older installation may have lost it.
    unit.createFolder(NodeFolder(ctx.paths, lib, rec.iDir), false);
    if (!unit.copyFile(file, NodeFile(ctx.paths, lib, rec)))
        throw QuelmarError(QStringLiteral("复制物理文件进出错！"));
    const int row = data.tree.rowCount(selected);
    QVariantMap values = rec.toValues();
    values.insert(QStringLiteral("iPartIndex"), row);
    if (LibraryHasOwner(lib))
        values.insert(QStringLiteral("UserID"), ctx.login.opName);
    data.rows.append(values);
    if (!data.rows.hasChanges())
        throw QuelmarError(QStringLiteral("未插入新节点！"));
    data.applyUpdates(ctx.dm, ctx.login.opName);
    unit.commit();
    return data.tree.addNode(selected, rec, row);
}

bool ExportExternalFile(NodeOpsContext ctx, const QModelIndex& node)
{
    if (!NodeOps(ctx).RecycleGuard(node))
        return false;
    const NodeRecord rec = ctx.data.tree.record(node);
    if (rec.TypeID != NodeKinds::ExternalFile)
        throw QuelmarError(QStringLiteral("“%1”不是外部文件。").arg(rec.Name));
    const QString filter = QStringLiteral("外部文件 (*%1)|*%1|所有文件(*.*)|*.*").arg(rec.Ext);
    const QString file = ctx.prompter.chooseSaveFileWithExt(QStringLiteral("导出外部文件"), filter, rec.Name, rec.Ext);
    if (file.isEmpty())
        return false;
    ExportExternalFileTo(ctx, node, file);
    return true;
}

void ExportExternalFileTo(NodeOpsContext ctx, const QModelIndex& node, const QString& file)
{
    const Library lib = ctx.data.library();
    const NodeRecord rec = ctx.data.tree.record(node);
    if (rec.TypeID != NodeKinds::ExternalFile)
        throw QuelmarError(QStringLiteral("“%1”不是外部文件。").arg(rec.Name));
    BusyCursor busy(ctx.prompter);
    // The archive's documents are the project library's files.
    const QString source = NodeFile(ctx.paths, lib == Library::GuiDang ? Library::ZiLiao : lib, rec);
    if (!FileLayout::NodeFileExists(source))
        throw QuelmarError(QStringLiteral("节点文件不存在！"));
    if (QFileInfo(source).canonicalFilePath() == QFileInfo(file).canonicalFilePath())
        throw QuelmarError(QStringLiteral("不能把节点文件导出到它自己。"));
    if (!FileLayout::CopyNodeFile(source, file))
        throw QuelmarError(QStringLiteral("复制物理文件出错！"));
    ctx.prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("另存副本到“%1”").arg(file));
}
