#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// What a fetch hands over: the column names in table order and every row's values in the same order.
struct DataPacket {
    QStringList columns;
    QList<QVariantList> rows;
    QString keyColumn;   // the column by which the table's rows are updated and deleted
};

// One entry of a change log: the kind of change with the values needed to locate the row (the old values) and the
// values to write (the new ones). Insert has no old values, Delete no new ones. Both lists follow `columns`.
struct RowChange {
    enum class Kind { Insert, Modify, Delete };
    Kind kind = Kind::Insert;
    QVariantList oldValues;
    QVariantList newValues;
};

struct ChangeLog {
    QStringList columns;
    QList<RowChange> changes;
    bool isEmpty() const { return changes.isEmpty(); }
    int size() const { return int(changes.size()); }
};

// The in-memory copy of a table's rows (a cached copy): loaded from a fetch, changed here, and written back by the
// data module from its change log. Rows are addressed by a RowId that stays valid until the row is deleted or the
// set is reloaded. A filter ("P_ItemID = 5") restricts rows() to the matching rows in their current order; find()
// always searches all rows through the key index.
//
// Changes are kept per row, so the log holds at most one entry per row: editing an inserted row changes the insert,
// deleting an inserted row drops it, a modified row keeps its original values (to locate it by its old key). The log
// lists rows in the order of their first change.
class RowSet {
public:
    using RowId = int;

    RowSet() = default;
    explicit RowSet(QString keyColumn) : m_keyColumn(std::move(keyColumn)) {}

    // Replaces every row and the change log with the packet's rows. The key column (the packet's, else the one given
    // at construction) must be one of its columns.
    void load(const DataPacket& packet);
    void load(const DataPacket& packet, const QString& keyColumn);
    void close();
    bool isOpen() const { return m_open; }

    const QStringList& columns() const { return m_columns; }
    const QString& keyColumn() const { return m_keyColumn; }
    // Index of the column, or a failure naming it.
    int columnIndex(const QString& column) const;
    bool hasColumn(const QString& column) const { return m_columns.contains(column); }

    // --- rows ---
    QList<RowId> rows() const;            // in order, filtered when the filter is on
    const QList<RowId>& allRows() const { return m_order; }   // in order, whatever the filter
    int count() const { return int(rows().size()); }
    int totalCount() const { return int(m_order.size()); }
    bool contains(RowId id) const { return m_rows.contains(id); }
    QVariant value(RowId id, const QString& column) const;
    QVariantList values(RowId id) const;
    QVariantMap valueMap(RowId id) const;
    // The row whose key equals `key`, or -1. Searches all rows whatever the filter.
    RowId find(const QVariant& key) const;

    // --- changes (each call is posted at once) ---
    RowId append(const QVariantMap& values);   // missing columns stay null; appended at the end
    void setValue(RowId id, const QString& column, const QVariant& value);
    void setValues(RowId id, const QVariantMap& values);
    void remove(RowId id);

    // --- the edit buffer, for callers that fill a row field by field and post it once ---
    void edit(RowId id);
    void insert();                            // a new, empty buffer that post() appends
    void setField(const QString& column, const QVariant& value);
    QVariant field(const QString& column) const;
    RowId post();                             // writes the buffer; returns the row; no change when nothing differs
    void cancel();
    bool isEditing() const { return m_editing; }

    // --- filter and order ---
    // Accepts the form "COLUMN = N" (also "COLUMN=N", N an integer or a quoted text). A malformed text fails.
    void setFilter(const QString& expression);
    void setFilter(const QString& column, const QVariant& value);
    void setFiltered(bool on) { m_filtered = on; }
    bool isFiltered() const { return m_filtered; }
    void clearFilter();
    // Stable sort of all rows by the columns, in ascending order.
    void sortBy(const QStringList& columns);

    // --- change log ---
    int pendingCount() const;
    bool hasChanges() const { return pendingCount() > 0; }
    ChangeLog changeLog() const;
    // Accepts the change log after it was applied: current values become the original ones.
    void merge();
    // Throws every pending change away and restores the original rows.
    void cancelUpdates();

private:
    enum class State { Unchanged, Inserted, Modified };
    struct Row {
        QVariantList current;
        QVariantList original;
        State state = State::Unchanged;
        qint64 firstChange = 0;
    };
    struct Deleted {
        QVariantList original;
        qint64 firstChange = 0;
        int position = 0;   // where the row stood, for cancelUpdates
    };

    static QString keyText(const QVariant& v);
    const Row& row(RowId id) const;
    Row& row(RowId id);
    void writeRow(RowId id, const QVariantList& values);
    void reindex();
    bool matchesFilter(const Row& r) const;
    RowId appendValues(const QVariantList& values);

    bool m_open = false;
    QStringList m_columns;
    QString m_keyColumn;
    int m_keyIndex = -1;
    QHash<RowId, Row> m_rows;
    QList<RowId> m_order;
    QList<Deleted> m_deleted;
    QHash<QString, RowId> m_index;   // key text -> row
    RowId m_nextId = 1;
    qint64 m_changeSeq = 0;

    bool m_filtered = false;
    int m_filterColumn = -1;
    QVariant m_filterValue;
    // Rows by value of the filter column, in order; built on demand so that building a tree level by level stays
    // linear, and dropped by every change of the rows.
    mutable QHash<QString, QList<RowId>> m_filterIndex;
    mutable int m_filterIndexColumn = -1;
    void invalidateFilterIndex() { m_filterIndexColumn = -1; m_filterIndex.clear(); }

    bool m_editing = false;
    RowId m_editRow = -1;   // -1 with m_editing: a new row
    QVariantList m_buffer;
};
