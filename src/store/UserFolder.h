#pragma once
#include <QString>

// Where a user's program folder is when no folder is named (neither --dir nor $QUELMAR_DIR): the folder he chose
// when the desktop program made or opened it for him, remembered in "$XDG_CONFIG_HOME/quelmar/quelmar.conf"
// (default ~/.config), else "~/Quelmar". The desktop program and the CLI both look here.
QString UserProgramFolder();
// "~/Quelmar".
QString DefaultUserProgramFolder();
// Remembers `dir` (made absolute) as the user's program folder. A failure to write is reported as a message.
void RememberUserProgramFolder(const QString& dir);
// The file the choice is remembered in.
QString UserSettingsFile();
