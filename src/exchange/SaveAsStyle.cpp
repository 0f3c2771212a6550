#include "exchange/SaveAsStyle.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "exchange/Package.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "trees/NodeFiles.h"

namespace {

bool isForm(const NodeRecord& r)
{
    return r.TypeID == 6 || r.TypeID == 7;
}

} // namespace

bool SaveAsStyle(NodeOpsContext ctx, const QModelIndex& form)
{
    if (!NodeOps(ctx).RecycleGuard(form))
        return false;
    const NodeRecord rec = ctx.data.tree.record(form);
    if (ctx.data.library() != Library::ZiLiao || !isForm(rec)) {
        ctx.prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("请选择最终节点即最终表格！"));
        return false;
    }
    const QString file = ctx.prompter.chooseSaveFileWithExt(QStringLiteral("另存为样式"),
                                                            QStringLiteral("通用表格样式(*.ys)|*.ys|所有文件(*.*)|*.*"),
                                                            rec.Name + QStringLiteral(".ys"), QStringLiteral(".ys"));
    if (file.isEmpty())
        return false;
    SaveAsStyleTo(ctx, form, file);
    return true;
}

void SaveAsStyleTo(NodeOpsContext ctx, const QModelIndex& form, const QString& file)
{
    const NodeRecord rec = ctx.data.tree.record(form);
    if (ctx.data.library() != Library::ZiLiao || !isForm(rec))
        throw QuelmarError(QStringLiteral("请选择最终节点即最终表格！"));
    BusyCursor busy(ctx.prompter);
    PackageContent content;
    content.handle = rec.P_ItemID;
    const QString path = NodeFile(ctx.paths, Library::ZiLiao, rec);
    if (FileLayout::NodeFileExists(path))
        content.files.append({QString::number(rec.File_Name) + QStringLiteral(".cll"), path});
    const RowSet::RowId row = ctx.data.rows.find(rec.ItemID);
    if (row < 0)
        throw QuelmarError(QStringLiteral("在数据容器中找不到节点: ") + rec.Name);
    const RowSet& rows = ctx.data.rows;
    content.nodes << QVariantList{rows.value(row, QStringLiteral("iPartIndex")), rec.ItemID, rec.Name, 11,
                                  rec.P_ItemID, rec.iDir, rec.File_Name, rows.value(row, QStringLiteral("Ext")),
                                  rec.FillMode};
    RowSet fill(QStringLiteral("ID"));
    fill.load(ctx.dm.GetHeadingFillRangeData(rec.FillMode), QStringLiteral("ID"));
    if (fill.totalCount() == 0)
        throw QuelmarError(QStringLiteral("该节点没有其填充表头信息？"));
    const RowSet::RowId f = fill.allRows().first();
    QVariantList values;
    for (const QString& c : PackageFillColumns())
        values << (fill.hasColumn(c) ? fill.value(f, c) : QVariant());
    content.fillRanges << values;
    WritePackageFile(ctx, file, content);
    ctx.prompter.status(rec.Name);
    ctx.prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("文件被保存到: ") + file);
}
