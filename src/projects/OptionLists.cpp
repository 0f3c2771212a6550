#include "projects/OptionLists.h"

#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "projects/HeaderFields.h"
#include "store/DataPool.h"

#include <algorithm>

namespace {

const QString kInvalidName = QStringLiteral("名称无效，请提供一个正确有效的名称。");
const QString kTypeID = QStringLiteral("TypeID");
const QString kSort = QStringLiteral("iSort");
const QString kName = QStringLiteral("Name");

} // namespace

OptionLists::OptionLists(TDataPoolDM& dm) : m_dm(dm)
{
    m_rows.load(dm.GetGkxxData(), QStringLiteral("ItemID"));
}

OptionLists::OptionLists(TDataPoolDM& dm, const DataPacket& packet) : m_dm(dm)
{
    m_rows.load(packet, QStringLiteral("ItemID"));
}

DataPacket OptionLists::packet() const
{
    DataPacket p;
    p.columns = m_rows.columns();
    p.keyColumn = m_rows.keyColumn();
    for (RowSet::RowId id : m_rows.allRows())
        p.rows << m_rows.values(id);
    return p;
}

QString OptionLists::fieldText(int field)
{
    return QString::number(field);
}

void OptionLists::checkField(int field)
{
    if (field < 1 || field > HeaderFields::Count)
        throw QuelmarError(QStringLiteral("表头项的序号应在 1 到 %1 之间。").arg(HeaderFields::Count));
}

void OptionLists::checkName(const QString& name)
{
    if (name.trimmed().isEmpty())
        throw QuelmarError(kInvalidName);
    if (name.size() > HeaderFields::MaxValueLength)
        throw QuelmarError(QStringLiteral("名称超过 %1 个字符，请缩短。").arg(HeaderFields::MaxValueLength));
}

QList<RowSet::RowId> OptionLists::listRows(int field) const
{
    QList<RowSet::RowId> ids;
    const QString type = fieldText(field);
    for (RowSet::RowId id : m_rows.allRows())
        if (m_rows.value(id, kTypeID).toString().trimmed() == type)
            ids << id;
    std::stable_sort(ids.begin(), ids.end(), [this](RowSet::RowId a, RowSet::RowId b) {
        return m_rows.value(a, kSort).toInt() < m_rows.value(b, kSort).toInt();
    });
    return ids;
}

QStringList OptionLists::items(int field) const
{
    QStringList names;
    for (RowSet::RowId id : listRows(field))
        names << m_rows.value(id, kName).toString();
    return names;
}

RowSet::RowId OptionLists::entry(int field, int position) const
{
    const QList<RowSet::RowId> ids = listRows(field);
    for (RowSet::RowId id : ids)
        if (m_rows.value(id, kSort).toInt() == position + 1)
            return id;
    const QString text = position >= 0 && position < ids.size() ? m_rows.value(ids.at(position), kName).toString()
                                                                : QString::number(position + 1);
    throw QuelmarError(QStringLiteral("项“%1”在数据上下文找不到！").arg(text));
}

void OptionLists::apply()
{
    if (!m_rows.hasChanges())
        return;
    try {
        m_dm.ApplyGkxxUpdates(m_rows.changeLog());
    } catch (...) {
        m_rows.cancelUpdates();
        throw;
    }
    m_rows.merge();
}

int OptionLists::add(int field, const QString& name)
{
    checkField(field);
    checkName(name);
    const int count = int(listRows(field).size());
    m_rows.append({{QStringLiteral("ItemID"), m_dm.NewGkxxKey()},
                   {kSort, count + 1},
                   {kName, name},
                   {kTypeID, fieldText(field)}});
    apply();
    return count;
}

void OptionLists::rename(int field, int position, const QString& name)
{
    checkField(field);
    checkName(name);
    const RowSet::RowId id = entry(field, position);
    if (m_rows.value(id, kName).toString() == name)
        return;
    m_rows.setValue(id, kName, name);
    apply();
}

void OptionLists::remove(int field, int position)
{
    checkField(field);
    m_rows.remove(entry(field, position));
    int sort = 1;
    for (RowSet::RowId id : listRows(field)) {
        if (m_rows.value(id, kSort).toInt() != sort)
            m_rows.setValue(id, kSort, sort);
        ++sort;
    }
    apply();
}

int OptionLists::moveUp(int field, int position)
{
    checkField(field);
    if (position <= 0 || position >= listRows(field).size())
        return position;
    const RowSet::RowId a = entry(field, position);
    const RowSet::RowId b = entry(field, position - 1);
    const QVariant nameA = m_rows.value(a, kName);
    m_rows.setValue(a, kName, m_rows.value(b, kName));
    m_rows.setValue(b, kName, nameA);
    apply();
    return position - 1;
}

int OptionLists::moveDown(int field, int position)
{
    checkField(field);
    if (position < 0 || position >= listRows(field).size() - 1)
        return position;
    moveUp(field, position + 1);
    return position + 1;
}

void OptionLists::clear(int field)
{
    checkField(field);
    const int count = int(listRows(field).size());
    for (int position = count - 1; position >= 0; --position)
        m_rows.remove(entry(field, position));
    if (!m_rows.hasChanges())
        throw QuelmarError(QStringLiteral("没有删除数据？"));
    apply();
}

int OptionLists::New(Prompter& prompter, int field)
{
    QString name;
    if (!prompter.askText(QStringLiteral("新建"), QStringLiteral("请输入名称:"), name))
        return -1;
    return add(field, name);
}

bool OptionLists::Edit(Prompter& prompter, int field, int position)
{
    if (position < 0) {
        prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("请选取您要编辑的项！"));
        return false;
    }
    const QStringList names = items(field);
    QString name = names.value(position);
    if (!prompter.askText(QStringLiteral("编辑"), QStringLiteral("请输入新的名称:"), name))
        return false;
    if (name.trimmed().isEmpty()) {
        prompter.warn(QStringLiteral("Quelmar"), kInvalidName);
        return false;
    }
    const bool changed = name != names.value(position);
    rename(field, position, name);
    return changed;
}

int OptionLists::Delete(Prompter& prompter, int field, int position)
{
    if (position < 0) {
        prompter.inform(QStringLiteral("Quelmar"), QStringLiteral("请选取您要删除的项！"));
        return -2;
    }
    if (!prompter.confirm(QStringLiteral("Quelmar"), QStringLiteral("确实要删除该项吗？")))
        return -2;
    remove(field, position);
    const int count = int(listRows(field).size());
    return count == 0 ? -1 : std::min(position, count - 1);
}

bool OptionLists::Clear(Prompter& prompter, int field)
{
    if (!prompter.confirm(QStringLiteral("Quelmar"), QStringLiteral("确实要清空吗？")))
        return false;
    clear(field);
    return true;
}
