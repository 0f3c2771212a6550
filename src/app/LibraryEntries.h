#pragma once
#include "trees/NodeRecord.h"

#include <QList>
#include <QString>

// "Moban", "ZiLiao", "GuiDang": the prefix of the library's action names (ZiLiaoNewTypeID6, MobanRename, ...).
QString libraryPrefix(Library library);

// Which entries the main window offers for a selected node of one kind: the New, Import and Export entries (the
// first kind of each list is the default entry, the one the toolbar button runs), the captions of the three toolbar
// buttons, and which of the node actions are enabled. One row per kind of the library; the main window switches its
// one set of actions of the library by these rows.
struct KindEntries {
    int typeId = 0;
    QList<int> newKinds;        // NewTypeID<k>, empty: the New button and submenus are hidden
    QString newCaption;         // toolbar caption of the New button
    QList<int> importKinds;     // ImportTypeID<k>
    QString importCaption;
    int exportKind = -1;        // ExportTypeID<k>, -1: none
    QString exportCaption;
    bool edit = false;          // EditTable
    bool rename = false;
    bool del = false;           // DeleteNode
    bool print = false;         // PrintWithoutDlg, PrintWithDlg
    bool move = false;          // MoveUp, MoveDown
    bool preview = false;
    bool quickAdd = false;      // QuicklyNew (project library)
    bool saveAsStyle = false;   // SaveAsTemplate (project library)
};

// The table of a library, one row per node kind, in the order of the library's kind table.
const QList<KindEntries>& entryTable(Library library);

// The row of a kind, or nullptr for a TypeID outside the library's table.
const KindEntries* findEntries(Library library, int typeId);

// The kinds for which a library has New, Import and Export actions (the union of its table's lists).
QList<int> newActionKinds(Library library);
QList<int> importActionKinds(Library library);
QList<int> exportActionKinds(Library library);
