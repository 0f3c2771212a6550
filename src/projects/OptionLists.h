#pragma once
#include "store/RowSet.h"

#include <QString>
#include <QStringList>

class Prompter;
class TDataPoolDM;

// The option lists of the 18 header fields (table gkxx): per field a list of frequent values, the choices of the
// overview dialog and the drop-down lists of header cells. A list is the rows whose TypeID is the field's number
// (as text), ordered by iSort, and within one list the iSort values are exactly 1..k: an entry is found by
// iSort = its position + 1, new entries get k + 1, deleting renumbers, moves exchange names.
//
// One object is the dialog's cached copy (TOptConfigFrm): every change is applied to the database at once; a
// failed apply throws its message and the copy is put back as it was.
class OptionLists {
public:
    // A copy of the whole table.
    explicit OptionLists(TDataPoolDM& dm);
    // A copy of the given packet (the overview dialog's own copy of the table).
    OptionLists(TDataPoolDM& dm, const DataPacket& packet);

    // The copy's rows as a packet, for a caller that keeps its own copy.
    DataPacket packet() const;
    const RowSet& rows() const { return m_rows; }

    // The names of list `field` (1..18) in iSort order.
    QStringList items(int field) const;

    // ---- operations on positions (0-based, as in the dialog's list) ----
    // Appends `name` as typed; a name that is empty after trimming fails with "名称无效，请提供一个正确有效的名称。".
    // Returns the new entry's position.
    int add(int field, const QString& name);
    // Sets the entry's name as typed (same refusal of blank names).
    void rename(int field, int position, const QString& name);
    // Deletes the entry and renumbers the rest 1..k in their order.
    void remove(int field, int position);
    // Exchanges the names with the neighbour; returns the entry's new position (unchanged at the list's edge).
    int moveUp(int field, int position);
    int moveDown(int field, int position);
    // Deletes every entry of the list (k down to 1); an empty list fails with "没有删除数据？".
    void clear(int field);

    // ---- the dialog's commands, asking through the prompter ----
    // "新建": asks the name (caption "新建", prompt "请输入名称:"); returns the new position, -1 when cancelled.
    int New(Prompter& prompter, int field);
    // "编辑": position -1 tells "请选取您要编辑的项！"; a blank name warns and changes nothing. True when changed.
    bool Edit(Prompter& prompter, int field, int position);
    // "删除": position -1 tells "请选取您要删除的项！"; asks "确实要删除该项吗？". Returns the position to select
    // afterwards (-1 for an empty list), or -2 when nothing was deleted.
    int Delete(Prompter& prompter, int field, int position);
    // "清空选项列表(&L)": asks "确实要清空吗？". True when cleared.
    bool Clear(Prompter& prompter, int field);

private:
    // The rows of list `field` in iSort order.
    QList<RowSet::RowId> listRows(int field) const;
    // The row with iSort = position + 1; missing: "项“%s”在数据上下文找不到！" with the entry's text.
    RowSet::RowId entry(int field, int position) const;
    void apply();
    static void checkName(const QString& name);
    static QString fieldText(int field);
    static void checkField(int field);

    TDataPoolDM& m_dm;
    RowSet m_rows{QStringLiteral("ItemID")};
};
