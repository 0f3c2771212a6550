#include "store/RowSet.h"
#include "core/QuelmarError.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

bool isNumeric(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Bool: case QMetaType::Short:
    case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

// Values compare as the database would see them: numbers by value whatever their C++ type (the engine hands back
// 64-bit integers, callers write int or bool), everything else as text; null equals only null.
bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (isNumeric(a) && isNumeric(b))
        return a.toDouble() == b.toDouble();
    return a.toString() == b.toString();
}

bool sameValues(const QVariantList& a, const QVariantList& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!sameValue(a.at(i), b.at(i)))
            return false;
    return true;
}

} // namespace

void RowSet::load(const DataPacket& packet, const QString& keyColumn)
{
    DataPacket withKey = packet;
    withKey.keyColumn = keyColumn;
    load(withKey);
}

void RowSet::load(const DataPacket& packet)
{
    if (m_editing)
        cancel();
    m_columns = packet.columns;
    if (!packet.keyColumn.isEmpty())
        m_keyColumn = packet.keyColumn;
    m_keyIndex = m_keyColumn.isEmpty() ? -1 : int(m_columns.indexOf(m_keyColumn));
    if (!m_keyColumn.isEmpty() && m_keyIndex < 0)
        throw QuelmarError(QStringLiteral("数据集中没有关键字段“%1”。").arg(m_keyColumn));
    m_rows.clear();
    m_order.clear();
    m_deleted.clear();
    m_filtered = false;
    m_filterColumn = -1;
    for (const QVariantList& values : packet.rows) {
        Row r;
        r.current = values;
        r.current.resize(m_columns.size());
        r.original = r.current;
        const RowId id = m_nextId++;
        m_rows.insert(id, r);
        m_order.append(id);
    }
    m_open = true;
    invalidateFilterIndex();
    reindex();
}

void RowSet::close()
{
    invalidateFilterIndex();
    m_open = false;
    m_editing = false;
    m_rows.clear();
    m_order.clear();
    m_deleted.clear();
    m_index.clear();
    m_columns.clear();
    m_filtered = false;
}

int RowSet::columnIndex(const QString& column) const
{
    const int i = int(m_columns.indexOf(column));
    if (i < 0)
        throw QuelmarError(QStringLiteral("数据集中没有字段“%1”。").arg(column));
    return i;
}

QString RowSet::keyText(const QVariant& v)
{
    if (v.isNull())
        return QString();
    if (isNumeric(v))
        return QString::number(v.toLongLong());
    return v.toString();
}

const RowSet::Row& RowSet::row(RowId id) const
{
    const auto it = m_rows.constFind(id);
    if (it == m_rows.cend())
        throw QuelmarError(QStringLiteral("数据集中没有该记录。"));
    return *it;
}

RowSet::Row& RowSet::row(RowId id)
{
    const auto it = m_rows.find(id);
    if (it == m_rows.end())
        throw QuelmarError(QStringLiteral("数据集中没有该记录。"));
    return *it;
}

void RowSet::reindex()
{
    m_index.clear();
    if (m_keyIndex < 0)
        return;
    for (RowId id : std::as_const(m_order))
        m_index.insert(keyText(m_rows.value(id).current.at(m_keyIndex)), id);
}

bool RowSet::matchesFilter(const Row& r) const
{
    return m_filterColumn < 0 || sameValue(r.current.at(m_filterColumn), m_filterValue);
}

QList<RowSet::RowId> RowSet::rows() const
{
    if (!m_filtered || m_filterColumn < 0)
        return m_order;
    if (m_filterValue.isNull()) {
        QList<RowId> out;
        for (RowId id : m_order)
            if (matchesFilter(m_rows.value(id)))
                out.append(id);
        return out;
    }
    if (m_filterIndexColumn != m_filterColumn) {
        m_filterIndex.clear();
        for (RowId id : m_order) {
            const QVariant& v = m_rows.value(id).current.at(m_filterColumn);
            if (!v.isNull())
                m_filterIndex[keyText(v)].append(id);
        }
        m_filterIndexColumn = m_filterColumn;
    }
    return m_filterIndex.value(keyText(m_filterValue));
}

QVariant RowSet::value(RowId id, const QString& column) const
{
    return row(id).current.at(columnIndex(column));
}

QVariantList RowSet::values(RowId id) const
{
    return row(id).current;
}

QVariantMap RowSet::valueMap(RowId id) const
{
    const Row& r = row(id);
    QVariantMap m;
    for (int i = 0; i < m_columns.size(); ++i)
        m.insert(m_columns.at(i), r.current.at(i));
    return m;
}

RowSet::RowId RowSet::find(const QVariant& key) const
{
    if (m_keyIndex < 0)
        throw QuelmarError(QStringLiteral("数据集没有关键字段，无法按关键字查找。"));
    return m_index.value(keyText(key), -1);
}

RowSet::RowId RowSet::appendValues(const QVariantList& values)
{
    Row r;
    r.current = values;
    r.current.resize(m_columns.size());
    r.state = State::Inserted;
    r.firstChange = ++m_changeSeq;
    invalidateFilterIndex();
    const RowId id = m_nextId++;
    m_rows.insert(id, r);
    m_order.append(id);
    if (m_keyIndex >= 0)
        m_index.insert(keyText(r.current.at(m_keyIndex)), id);
    return id;
}

RowSet::RowId RowSet::append(const QVariantMap& values)
{
    if (!m_open)
        throw QuelmarError(QStringLiteral("数据集没有打开。"));
    QVariantList list(m_columns.size());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        list[columnIndex(it.key())] = it.value();
    return appendValues(list);
}

void RowSet::writeRow(RowId id, const QVariantList& values)
{
    Row& r = row(id);
    if (sameValues(r.current, values))
        return;
    invalidateFilterIndex();
    const QString oldKey = m_keyIndex >= 0 ? keyText(r.current.at(m_keyIndex)) : QString();
    r.current = values;
    if (r.state == State::Unchanged) {
        r.state = State::Modified;
        r.firstChange = ++m_changeSeq;
    } else if (r.state == State::Modified && sameValues(r.current, r.original)) {
        r.state = State::Unchanged;   // edited back to what the database holds
    }
    if (m_keyIndex >= 0) {
        const QString newKey = keyText(r.current.at(m_keyIndex));
        if (newKey != oldKey) {
            if (m_index.value(oldKey) == id)
                m_index.remove(oldKey);
            m_index.insert(newKey, id);
        }
    }
}

void RowSet::setValue(RowId id, const QString& column, const QVariant& value)
{
    QVariantList v = row(id).current;
    v[columnIndex(column)] = value;
    writeRow(id, v);
}

void RowSet::setValues(RowId id, const QVariantMap& values)
{
    QVariantList v = row(id).current;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        v[columnIndex(it.key())] = it.value();
    writeRow(id, v);
}

void RowSet::remove(RowId id)
{
    const Row r = row(id);
    invalidateFilterIndex();
    const int position = int(m_order.indexOf(id));
    m_order.removeAt(position);
    m_rows.remove(id);
    if (m_keyIndex >= 0) {
        const QString key = keyText(r.current.at(m_keyIndex));
        if (m_index.value(key) == id)
            m_index.remove(key);
    }
    if (r.state != State::Inserted)
        m_deleted.append({r.original, r.state == State::Modified ? r.firstChange : ++m_changeSeq, position});
}

void RowSet::edit(RowId id)
{
    m_buffer = row(id).current;
    m_editRow = id;
    m_editing = true;
}

void RowSet::insert()
{
    if (!m_open)
        throw QuelmarError(QStringLiteral("数据集没有打开。"));
    m_buffer = QVariantList(m_columns.size());
    m_editRow = -1;
    m_editing = true;
}

void RowSet::setField(const QString& column, const QVariant& value)
{
    if (!m_editing)
        throw QuelmarError(QStringLiteral("数据集不在编辑状态。"));
    m_buffer[columnIndex(column)] = value;
}

QVariant RowSet::field(const QString& column) const
{
    if (!m_editing)
        throw QuelmarError(QStringLiteral("数据集不在编辑状态。"));
    return m_buffer.at(columnIndex(column));
}

RowSet::RowId RowSet::post()
{
    if (!m_editing)
        throw QuelmarError(QStringLiteral("数据集不在编辑状态。"));
    m_editing = false;
    if (m_editRow < 0)
        return appendValues(m_buffer);
    writeRow(m_editRow, m_buffer);
    return m_editRow;
}

void RowSet::cancel()
{
    m_editing = false;
    m_buffer.clear();
}

void RowSet::setFilter(const QString& expression)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*([A-Za-z_][A-Za-z0-9_]*)\s*=\s*(-?\d+|'(?:[^']|'')*')\s*$)"));
    const QRegularExpressionMatch m = re.match(expression);
    if (!m.hasMatch())
        throw QuelmarError(QStringLiteral("过滤条件不正确：%1").arg(expression));
    const QString literal = m.captured(2);
    QVariant v;
    if (literal.startsWith(QLatin1Char('\'')))
        v = literal.mid(1, literal.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    else
        v = literal.toLongLong();
    setFilter(m.captured(1), v);
}

void RowSet::setFilter(const QString& column, const QVariant& value)
{
    m_filterColumn = columnIndex(column);
    m_filterValue = value;
}

void RowSet::clearFilter()
{
    m_filtered = false;
    m_filterColumn = -1;
    m_filterValue.clear();
}

void RowSet::sortBy(const QStringList& columns)
{
    QList<int> idx;
    for (const QString& c : columns)
        idx << columnIndex(c);
    invalidateFilterIndex();
    std::stable_sort(m_order.begin(), m_order.end(), [&](RowId a, RowId b) {
        const QVariantList& va = m_rows[a].current;
        const QVariantList& vb = m_rows[b].current;
        for (int i : idx) {
            const QVariant& x = va.at(i);
            const QVariant& y = vb.at(i);
            if (sameValue(x, y))
                continue;
            if (x.isNull() || y.isNull())
                return x.isNull();
            if (isNumeric(x) && isNumeric(y))
                return x.toDouble() < y.toDouble();
            return x.toString() < y.toString();
        }
        return false;
    });
}

int RowSet::pendingCount() const
{
    int n = int(m_deleted.size());
    for (const Row& r : m_rows)
        if (r.state != State::Unchanged)
            ++n;
    return n;
}

ChangeLog RowSet::changeLog() const
{
    QList<std::pair<qint64, RowChange>> entries;
    for (const Row& r : m_rows) {
        if (r.state == State::Inserted)
            entries.append({r.firstChange, {RowChange::Kind::Insert, {}, r.current}});
        else if (r.state == State::Modified)
            entries.append({r.firstChange, {RowChange::Kind::Modify, r.original, r.current}});
    }
    for (const Deleted& d : m_deleted)
        entries.append({d.firstChange, {RowChange::Kind::Delete, d.original, {}}});
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    ChangeLog log;
    log.columns = m_columns;
    for (auto& e : entries)
        log.changes.append(std::move(e.second));
    return log;
}

void RowSet::merge()
{
    for (Row& r : m_rows) {
        r.original = r.current;
        r.state = State::Unchanged;
    }
    m_deleted.clear();
}

void RowSet::cancelUpdates()
{
    if (m_editing)
        cancel();
    invalidateFilterIndex();
    for (auto it = m_order.begin(); it != m_order.end();) {
        Row& r = m_rows[*it];
        if (r.state == State::Inserted) {
            m_rows.remove(*it);
            it = m_order.erase(it);
            continue;
        }
        r.current = r.original;
        r.state = State::Unchanged;
        ++it;
    }
    // Deleted rows come back where they stood, the latest deletion last undone first.
    for (auto d = m_deleted.crbegin(); d != m_deleted.crend(); ++d) {
        Row r;
        r.current = d->original;
        r.original = d->original;
        const RowId id = m_nextId++;
        m_rows.insert(id, r);
        m_order.insert(std::min<qsizetype>(d->position, m_order.size()), id);
    }
    m_deleted.clear();
    reindex();
}
