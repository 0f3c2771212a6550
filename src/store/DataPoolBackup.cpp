// The data module's copy of the database for backups: SQLite's online backup API on the program's own connection.
#include "core/QuelmarError.h"
#include "store/DataPool.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

void TDataPoolDM::BackupDatabaseTo(const QString& path)
{
    if (isServer())
        throw QuelmarError(QStringLiteral("数据库在服务器上，请用服务器自己的工具备份。"));
    // A reader of its own: the program's connection may hold the write lock (so nobody changes anything meanwhile),
    // and a connection that writes cannot be the source of a backup. In WAL mode the reader sees the last commit.
    sqlite3* source = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(m_file).constData(), &source, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString why = source ? QString::fromUtf8(sqlite3_errmsg(source)) : QString();
        sqlite3_close(source);
        throw QuelmarError(QStringLiteral("无法读取数据库“%1”：%2").arg(QDir::toNativeSeparators(m_file), why));
    }
    sqlite3_busy_timeout(source, m_busyTimeout);
    struct CloseSource {
        sqlite3* db;
        ~CloseSource() { sqlite3_close(db); }
    } closeSource{source};
    sqlite3* target = nullptr;
    QFile::remove(path);
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString why = target ? QString::fromUtf8(sqlite3_errmsg(target)) : QString();
        sqlite3_close(target);
        throw QuelmarError(QStringLiteral("无法写入“%1”：%2").arg(QDir::toNativeSeparators(path), why));
    }
    QString failure;
    if (sqlite3_backup* b = sqlite3_backup_init(target, "main", source, "main")) {
        int rc = SQLITE_OK;
        int waits = 0;
        do {
            rc = sqlite3_backup_step(b, -1);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                sqlite3_sleep(20);
        } while (rc == SQLITE_OK || ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++waits < 500));
        if (rc != SQLITE_DONE)
            failure = QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_backup_finish(b);
    } else {
        failure = QString::fromUtf8(sqlite3_errmsg(target));
    }
    // One file: the copy is not left in WAL mode, so it is complete without its -wal file.
    if (failure.isEmpty() && sqlite3_exec(target, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        failure = QString::fromUtf8(sqlite3_errmsg(target));
    sqlite3_close(target);
    if (!failure.isEmpty()) {
        QFile::remove(path);
        throw QuelmarError(QStringLiteral("备份数据库失败：%1").arg(failure));
    }
}
