#pragma once
#include <QString>

// Everything the operations write in a program folder, as text to compare: every table of its database (rows sorted,
// null and empty text alike) and every file and folder below it with a hash of its contents (the database files
// themselves and the work journal's own folder aside; a journal left inside it does show).
QString ProgramFolderState(const QString& appDir);
