#pragma once
#include <QDateTime>
#include <QString>

struct AppPaths;
class Prompter;
class TDataPoolDM;

// Backup and restore of a whole installation (one program folder): one file (.qmb) that holds a consistent snapshot
// of the database, every node file and the files a program folder needs, with a manifest (every file with its size
// and SHA-256, the program and schema versions, the time).
//
// Layout of a backup file: the magic "QMBACKUP" and a format number; the files' bytes one after the other; the
// manifest (JSON, UTF-8); a trailer with the manifest's offset, length and SHA-256 and the closing magic. Nothing of
// a backup is trusted before the trailer, the manifest and every file's hash have been checked.

struct BackupInfo {
    QString program;        // the version of the program that wrote it
    int schemaVersion = 0;
    QDateTime created;      // UTC
    int files = 0;
    qint64 bytes = 0;
};

// Writes a backup of the installation to `file` (a temporary file beside it, renamed when complete). The database is
// copied with SQLite's online backup while this program holds the write lock, so every row and file belongs to one
// moment; other programs may keep working (their writes wait a moment or are refused, as for any long operation).
// In team mode (the database on a server) it refuses with a message saying how to back up there. Progress goes to
// the prompter.
BackupInfo CreateBackup(TDataPoolDM& dm, const AppPaths& paths, const QString& file, Prompter& prompter);

// Checks a backup completely (trailer, manifest, every file's size and SHA-256) without writing anything. A damaged
// or foreign file fails with a clear message.
BackupInfo CheckBackup(const QString& file, Prompter& prompter);

// Restores a checked backup into `dir`: a folder that is missing or empty gets the installation; a folder that holds
// an installation is replaced after the prompter's confirmation — the new one is written beside it, then the old
// one is moved aside, the new one moved in and only then the old one deleted (a failure puts the old one back).
// Any other non-empty folder is refused. Returns what was restored; false-like (files 0) is never returned: a
// refusal or failure throws, a declined confirmation returns an empty BackupInfo with files == -1.
BackupInfo RestoreBackup(const QString& file, const QString& dir, Prompter& prompter);
