#include "trees/NodeRecord.h"

QString LibraryTable(Library library)
{
    switch (library) {
    case Library::Moban: return QStringLiteral("Moban");
    case Library::ZiLiao: return QStringLiteral("ZiLiao");
    case Library::GuiDang: return QStringLiteral("GuiDang");
    }
    return {};
}

bool LibraryHasOwner(Library library)
{
    return library != Library::Moban;
}

bool LibraryHasRecycleBin(Library library)
{
    return library != Library::GuiDang;
}

NodeRecord NodeRecord::fromRow(const RowSet& rows, RowSet::RowId id)
{
    NodeRecord r;
    r.TypeID = rows.value(id, QStringLiteral("TypeID")).toInt();
    r.ItemID = rows.value(id, QStringLiteral("ItemID")).toInt();
    r.Name = rows.value(id, QStringLiteral("Name")).toString();
    r.P_ItemID = rows.value(id, QStringLiteral("P_ItemID")).toInt();
    r.iDir = rows.value(id, QStringLiteral("iDir")).toInt();
    r.File_Name = rows.value(id, QStringLiteral("File_Name")).toInt();
    r.Ext = rows.value(id, QStringLiteral("Ext")).toString();
    r.FillMode = rows.value(id, QStringLiteral("FillMode")).toInt();
    return r;
}

QVariantMap NodeRecord::toValues() const
{
    return {
        {QStringLiteral("TypeID"), TypeID},       {QStringLiteral("ItemID"), ItemID},
        {QStringLiteral("Name"), Name},           {QStringLiteral("P_ItemID"), P_ItemID},
        {QStringLiteral("iDir"), iDir},           {QStringLiteral("File_Name"), File_Name},
        {QStringLiteral("Ext"), Ext},             {QStringLiteral("FillMode"), FillMode},
    };
}
