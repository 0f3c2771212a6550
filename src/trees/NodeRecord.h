#pragma once
#include "store/RowSet.h"

#include <QMetaType>
#include <QString>
#include <QVariantMap>

// The three libraries: template (table Moban), project (ZiLiao) and archive (GuiDang).
enum class Library { Moban, ZiLiao, GuiDang };

// The table of a library ("Moban", "ZiLiao", "GuiDang").
QString LibraryTable(Library library);
// Project and archive rows carry an owner (UserID); template rows are shared.
bool LibraryHasOwner(Library library);
// The template and project libraries keep a recycle bin (the root's child with ItemID 1).
bool LibraryHasRecycleBin(Library library);

// The record every tree node carries: a copy of its row's columns of the same names. UserID stays in the row.
struct NodeRecord {
    int TypeID = 0;
    int ItemID = 0;
    QString Name;
    int P_ItemID = -1;
    int iDir = 0;
    int File_Name = 0;
    QString Ext;
    int FillMode = 0;

    // The record of a cached row of a node table.
    static NodeRecord fromRow(const RowSet& rows, RowSet::RowId id);
    // The record's columns for RowSet::append / setValues (without UserID).
    QVariantMap toValues() const;

    bool operator==(const NodeRecord&) const = default;
};

// The record types of the three libraries share their fields.
using TMobanRec = NodeRecord;
using TZiLiaoRec = NodeRecord;
using TGuiDangRec = NodeRecord;

Q_DECLARE_METATYPE(NodeRecord)
