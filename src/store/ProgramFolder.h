#pragma once
#include "store/AppPaths.h"

// Creates a complete program folder in `dir` (made when missing): "ProTables", "SysTables", "Temp", the blank table
// file "Book1.cll", the empty package database "S.mdb", "Readme.txt" and the main database "vesk.mdb" with its
// start-up rows. Refuses a folder that already holds a "vesk.mdb". The database is written last, so a folder whose
// creation failed half-way is not taken for a program folder. Returns the paths.
AppPaths CreateProgramFolder(const QString& dir);

// The text of "Readme.txt".
QString ProgramReadmeText();
