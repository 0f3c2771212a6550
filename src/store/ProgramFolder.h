#pragma once
#include "store/AppPaths.h"
#include "store/DatabaseLocation.h"

#include <functional>

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

// Makes a new program folder at `dir` all or nothing: `fill` makes it in a hidden folder beside `dir` (it is given
// that folder's path and must close every file and database it opened there), which then takes the place of `dir`
// by one rename. `dir` must not exist yet or be an empty folder. A failure removes the hidden folder and the parent
// folders made for it, so nothing is left and a retry works. Returns the paths of the new folder.
AppPaths BuildProgramFolder(const QString& dir, const std::function<void(const QString& folder)>& fill);

// A copy of the program folder `skeleton` (the installation's model of a new folder) at `dir`, made as
// BuildProgramFolder makes it: every file and folder except the work journals ("Journal") and the database
// engine's side files; "ProTables", "SysTables" and "Temp" are there even when the model has them empty.
AppPaths CopyProgramFolder(const QString& skeleton, const QString& dir);
