// The data module's table locks: which designer holds a table file open for editing.
#include "store/DataPool.h"
#include "store/SqlDialect.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>

#include <cerrno>
#include <csignal>

namespace {

QString thisHost() { return QSysInfo::machineHostName(); }

// Whether the process of a lock row on a database file still runs. A row of another machine cannot be checked
// from here and is honoured.
bool processAlive(const QString& host, qint64 pid)
{
    if (host != thisHost())
        return true;
    if (pid <= 0)
        return false;
    if (pid == QCoreApplication::applicationPid())
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

QString TDataPoolDM::AcquireTableLock(const QString& fileKey, const QString& user)
{
    QSqlDatabase db = database();
    if (m_dialect->hasSessionLocks() && !m_dialect->trySessionLock(db, fileKey)) {
        QSqlQuery q = run(QStringLiteral("SELECT Holder FROM TableLock WHERE FileKey = ?"), {fileKey});
        const QString holder = q.next() ? q.value(0).toString() : QString();
        return holder.isEmpty() ? QStringLiteral("另一位用户") : holder;
    }
    try {
        WriteScope scope(*this);
        QSqlQuery q = run(QStringLiteral("SELECT Holder, Host, Pid FROM TableLock WHERE FileKey = ?"), {fileKey});
        if (q.next() && !m_dialect->hasSessionLocks() && processAlive(q.value(1).toString(), q.value(2).toLongLong())) {
            const QString holder = q.value(0).toString();
            return holder.isEmpty() ? QStringLiteral("另一位用户") : holder;
        }
        q.finish();
        // No living holder: a row left by one that is gone is taken over.
        run(QStringLiteral("DELETE FROM TableLock WHERE FileKey = ?"), {fileKey});
        run(QStringLiteral("INSERT INTO TableLock (FileKey, Holder, Host, Pid, Since) VALUES (?, ?, ?, ?, ?)"),
            {fileKey, user, thisHost(), QCoreApplication::applicationPid(),
             QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
        scope.commit();
        return {};
    } catch (...) {
        if (m_dialect->hasSessionLocks())
            m_dialect->releaseSessionLock(db, fileKey);
        throw;
    }
}

void TDataPoolDM::ReleaseTableLock(const QString& fileKey)
{
    QSqlDatabase db = database();
    try {
        WriteScope scope(*this);
        run(QStringLiteral("DELETE FROM TableLock WHERE FileKey = ? AND Host = ? AND Pid = ?"),
            {fileKey, thisHost(), QCoreApplication::applicationPid()});
        scope.commit();
    } catch (const QuelmarError&) {
        // A row that stays behind is taken over by the next one who opens the file (its holder is gone).
    }
    if (m_dialect->hasSessionLocks())
        m_dialect->releaseSessionLock(db, fileKey);
}
