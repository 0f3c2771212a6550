#pragma once
#include "store/AppPaths.h"
#include "store/DatabaseLocation.h"

// Creates a complete program folder in `dir` (made when missing): "ProTables", "SysTables", "Temp", the blank table
// file "Book1.cll", the empty package database "S.mdb", "Readme.txt" and the main database "vesk.mdb" with its
// start-up rows. Refuses a folder that already holds a "vesk.mdb". The database is written last, so a folder whose
// creation failed half-way is not taken for a program folder. Returns the paths.
AppPaths CreateProgramFolder(const QString& dir);
// The same for team mode: the folder's files, the tables and start-up rows on the server, and "server.ini" naming
// it instead of "vesk.mdb". Refuses a folder that already holds either, and a server database that holds tables.
AppPaths CreateProgramFolder(const QString& dir, const DatabaseLocation& server);

// The text of "Readme.txt".
QString ProgramReadmeText();
