#pragma once
#include "store/DatabaseLocation.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSqlError;

// Where the two database engines differ, in one place of the data module: how a connection is opened and set up,
// where the schema version is kept, how the write lock is taken and how long it is waited for, how values of truth
// columns are bound, and what an engine failure means for the user. Everything else is the same SQL on both.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    virtual DatabaseLocation::Engine engine() const = 0;
    virtual QString driverName() const = 0;
    // Sets the connection's parameters before open().
    virtual void configure(QSqlDatabase& db, const DatabaseLocation& location, int busyMilliseconds) const = 0;
    // After open(): the connection's settings and functions. Fails with a message naming the database.
    virtual void prepare(QSqlDatabase& db, const DatabaseLocation& location, int busyMilliseconds) const = 0;

    // The schema version (0: none, not a database of this program) and the statement that sets it.
    virtual int schemaVersion(QSqlDatabase& db) const = 0;
    virtual QStringList setSchemaVersion(int version) const = 0;
    // Whether the database holds the program's tables (a new server database holds none).
    virtual bool hasMainTables(QSqlDatabase& db) const = 0;

    // The statements that start a write transaction holding the database's write lock.
    virtual QStringList beginWrite() const = 0;
    virtual QString busyTimeout(int milliseconds) const = 0;
    // The failure was waiting for another writer's lock (busy timeout, lock timeout, deadlock).
    virtual bool isBusy(const QSqlError& error) const = 0;
    // The connection to the server is gone (the server stopped, the network broke).
    virtual bool isConnectionLost(const QSqlError& error) const = 0;
    // The server refused the login: no password, or a wrong one.
    virtual bool isPasswordRefused(const QSqlError&) const { return false; }
    // What the user reads: what happened and what to do, the engine's words after it.
    virtual QString message(const QSqlError& error) const = 0;

    // A lock that lasts as long as this connection, taken without waiting: false when another connection holds
    // it. An engine without such locks (a database file, one connection per program) has none to give: it says
    // so through hasSessionLocks() and holders are told apart by their process instead.
    virtual bool hasSessionLocks() const { return false; }
    virtual bool trySessionLock(QSqlDatabase&, const QString&) const { return true; }
    virtual void releaseSessionLock(QSqlDatabase&, const QString&) const {}

    // The statement as the engine runs it (on the server lower() is the program's folding function).
    virtual QString statement(const QString& sql) const { return sql; }
    // How many rows one INSERT statement writes when many follow each other. On a server each statement is a round
    // trip, so many rows go in one; a database file has no round trips, and a statement of many rows costs more to
    // parse than it saves (SQLite looks each of its thousands of parameters up in a list), so one prepared
    // single-row statement is run again for every row.
    virtual int rowsPerInsert() const { return 1; }
    // The value as the engine wants it bound for the table's column.
    virtual QVariant bindValue(const QString& table, const QString& column, const QVariant& value) const;
    // A fetched value as the program holds it (truth values as 0 / 1 on both engines).
    virtual QVariant fetchedValue(const QVariant& value) const;

    static const SqlDialect& sqlite();
    static const SqlDialect& postgres();
    static const SqlDialect& of(DatabaseLocation::Engine engine);
};

// The engine's own words of a failure.
QString EngineText(const QSqlError& error);
