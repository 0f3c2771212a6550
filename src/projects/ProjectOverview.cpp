#include "projects/ProjectOverview.h"

#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "core/TextFold.h"
#include "projects/HeaderFields.h"
#include "store/DataPool.h"
#include "store/RowSet.h"
#include "trees/NodeKinds.h"
#include "trees/NodeRecord.h"

namespace {

QString column(int n)
{
    return QStringLiteral("s%1").arg(n);
}

QStringList rowValues(const RowSet& rows, RowSet::RowId id)
{
    QStringList v;
    for (int n = 1; n <= HeaderFields::Count; ++n)
        v << rows.value(id, column(n)).toString();
    return v;
}

QStringList trimmed(const QStringList& values)
{
    QStringList v;
    for (int n = 0; n < HeaderFields::Count; ++n) {
        const QString text = values.value(n).trimmed();
        if (text.size() > HeaderFields::MaxValueLength)
            throw QuelmarError(QStringLiteral("“%1”的内容超过 %2 个字符，请缩短后再保存。")
                                   .arg(HeaderFields::name(n + 1))
                                   .arg(HeaderFields::MaxValueLength));
        v << text;
    }
    return v;
}

// Writes the values into the only row of `rows`; only changed columns produce a change.
void setRowValues(RowSet& rows, RowSet::RowId id, const QStringList& values)
{
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        const QVariant old = rows.value(id, column(n));
        const QString text = values.at(n - 1);
        // A null column that stays empty is no change.
        if (old.toString() == text)
            continue;
        rows.setValue(id, column(n), text);
    }
}

// The name the user's row is stored under: the account's own spelling, so the row matches the account exactly.
QString accountName(TDataPoolDM& dm, const QString& userName)
{
    const DataPacket users = dm.GetCzyData();
    const int nameCol = int(users.columns.indexOf(QStringLiteral("opName")));
    if (nameCol >= 0)
        for (const QVariantList& row : users.rows)
            if (foldCase(row.value(nameCol).toString()) == foldCase(userName))
                return row.value(nameCol).toString();
    return userName;
}

void loadDefaultRow(TDataPoolDM& dm, const QString& userName, RowSet& rows)
{
    rows.load(dm.GetDefaultGkData(userName), QStringLiteral("CZYID"));
    if (rows.totalCount() > 0)
        return;
    rows.append({{QStringLiteral("CZYID"), accountName(dm, userName)}});
    dm.ApplyDefaultGkUpdates(userName, rows.changeLog());
    rows.merge();
}

} // namespace

QString DefaultOverviewLabel()
{
    return QStringLiteral("缺省工程概况 - 没有工程节点的节点填写信息");
}

std::optional<QStringList> ReadProjectOverview(TDataPoolDM& dm, int dirNo)
{
    RowSet rows(QStringLiteral("ID"));
    rows.load(dm.GetGcgkData(dirNo), QStringLiteral("ID"));
    if (rows.totalCount() == 0)
        return std::nullopt;
    return rowValues(rows, rows.allRows().first());
}

std::optional<QStringList> ReadDefaultOverview(TDataPoolDM& dm, const QString& userName)
{
    RowSet rows(QStringLiteral("CZYID"));
    rows.load(dm.GetDefaultGkData(userName), QStringLiteral("CZYID"));
    if (rows.totalCount() == 0)
        return std::nullopt;
    return rowValues(rows, rows.allRows().first());
}

QStringList LoadDefaultOverview(TDataPoolDM& dm, const QString& userName)
{
    RowSet rows(QStringLiteral("CZYID"));
    loadDefaultRow(dm, userName, rows);
    return rowValues(rows, rows.allRows().first());
}

QStringList WriteProjectOverview(TDataPoolDM& dm, int dirNo, const QStringList& values, const QString& projectName)
{
    const QStringList v = trimmed(values);
    RowSet rows(QStringLiteral("ID"));
    rows.load(dm.GetGcgkData(dirNo), QStringLiteral("ID"));
    if (rows.totalCount() == 0)
        throw QuelmarError(QStringLiteral("工程“%1”没有其工程概况信息！").arg(projectName));
    setRowValues(rows, rows.allRows().first(), v);
    if (rows.hasChanges()) {
        dm.ApplyGcgkUpdates(dirNo, rows.changeLog());
        rows.merge();
    }
    return v;
}

QStringList WriteDefaultOverview(TDataPoolDM& dm, const QString& userName, const QStringList& values)
{
    const QStringList v = trimmed(values);
    RowSet rows(QStringLiteral("CZYID"));
    loadDefaultRow(dm, userName, rows);
    setRowValues(rows, rows.allRows().first(), v);
    if (rows.hasChanges()) {
        dm.ApplyDefaultGkUpdates(userName, rows.changeLog());
        rows.merge();
    }
    return v;
}

OverviewResult EditProjectOverview(TDataPoolDM& dm, Prompter& prompter, OverviewEditor& editor, int dirNo,
                                   const QString& projectName)
{
    const std::optional<QStringList> stored = ReadProjectOverview(dm, dirNo);
    if (!stored) {
        prompter.error(QStringLiteral("Quelmar"), QStringLiteral("工程“%1”没有其工程概况信息！").arg(projectName));
        return {};
    }
    QStringList values = *stored;
    if (!editor.edit(projectName, values))
        return {};
    return {true, WriteProjectOverview(dm, dirNo, values, projectName)};
}

OverviewResult EditDefaultOverview(TDataPoolDM& dm, OverviewEditor& editor, const QString& userName)
{
    QStringList values = LoadDefaultOverview(dm, userName);
    if (!editor.edit(DefaultOverviewLabel(), values))
        return {};
    return {true, WriteDefaultOverview(dm, userName, values)};
}

bool ProjectOverviewAvailable(const NodeRecord& node)
{
    return node.TypeID == 1;
}

bool LoadHeaderValues(TDataPoolDM& dm, const QString& userName, const NodeRecord& node, int& cachedDir,
                      QStringList& values)
{
    if (node.TypeID == NodeKinds::Root || node.TypeID == NodeKinds::RecycleBin)
        return false;
    const bool projectNode = ProjectOverviewAvailable(node);
    if (node.iDir == cachedDir)
        return projectNode;
    // Cached before the read: a folder whose record is missing fails once, not on every node of the folder.
    cachedDir = node.iDir;
    if (dm.IsProjectDir(node.iDir)) {
        const std::optional<QStringList> overview = ReadProjectOverview(dm, node.iDir);
        if (!overview)
            throw QuelmarError(QStringLiteral("该工程没有相应的工程概况！"));
        values = *overview;
    } else {
        values = LoadDefaultOverview(dm, userName);
    }
    return projectNode;
}
