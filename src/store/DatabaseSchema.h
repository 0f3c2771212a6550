#pragma once
#include "store/DatabaseLocation.h"

#include <QString>
#include <QStringList>

// The tables of the main database and of package databases, part of the data module. The statements are in the
// SQL both engines run; where they differ (triggers), the engine is an argument.
namespace DatabaseSchema {

// Version 1: the node tables, users, overview, header-fill records, option lists and window layout.
QStringList mainTablesV1();
// The step from version 1 to 2, and the statement that fills the new folded names of an older database.
QStringList stepV2(DatabaseLocation::Engine engine);
QString stepV2FillFold();
// The step from version 2 to 3: the lock rows of table files open in a designer (store/TableLock).
QStringList stepV3();
// The start-up rows of a new database: library roots, recycle bins, the user Admin with his rows, the last user.
QStringList mainSeed();
// A package database: bs, hi, TreeHandle.
QStringList packageTables();

// The name of the server's folding function, which stands for lower() in the statements run there.
QString PostgresFoldName();

// The tables of the main database, in the order they are made.
QStringList mainTableNames();

// PostgreSQL gives column names in lower case: the name as the program writes it ("ItemID"), by table; a name it
// does not know comes back as it is.
QString canonicalColumn(const QString& table, const QString& column);
// Whether the column holds truth values (PostgreSQL wants them bound as such).
bool isBooleanColumn(const QString& table, const QString& column);

}
