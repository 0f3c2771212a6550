#pragma once
#include "core/QuelmarError.h"
#include "store/DatabaseLocation.h"
#include "store/RowSet.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>


// The data module: owns the connection to the main database ("vesk.mdb", SQLite), every SQL statement of the
// system, the fetches and applies of every table, the numbering and login queries and the after-update hooks of
// the node tables. Nothing outside this class builds SQL. Every value that comes from a user is a bound parameter.
//
// Callers work on RowSets: Get...Data() returns a packet to load into a RowSet; the RowSet is changed; its change
// log goes back through Apply...Updates(), which writes it row by row, locating rows by key only, inside one
// transaction (a savepoint of the operation's write transaction when one is open): a row that cannot be written
// fails the whole apply with a clear message and nothing of it stays written, so the caller's RowSet still holds
// every change. Callers merge() the RowSet after a successful apply.
//
// Names are compared case-free with one folding on both sides: the connection's lower() is replaced by
// foldCase() (core/TextFold.h), and C++ code folds with the same function.
class QSqlError;
class QuelmarError;
class SqlDialect;
class WriteUnit;

// The server refused the login for want of the right password: the desktop program asks for it and tries again.
class DatabasePasswordError : public QuelmarError {
public:
    using QuelmarError::QuelmarError;
};

class TDataPoolDM {
public:
    // The version of the schema this program writes; older databases are migrated when opened.
    static constexpr int SchemaVersion = 3;

    // Opens the main database (each instance on a connection of its own). Fails with the engine's message when the
    // file is missing or is not a database of this system.
    explicit TDataPoolDM(const QString& databaseFile);
    // Opens the database where the location says: a file, or a PostgreSQL server (team mode).
    explicit TDataPoolDM(const DatabaseLocation& location);
    ~TDataPoolDM();
    TDataPoolDM(const TDataPoolDM&) = delete;
    TDataPoolDM& operator=(const TDataPoolDM&) = delete;

    // The SQLite file (empty in team mode).
    const QString& databaseFile() const { return m_file; }
    const DatabaseLocation& location() const { return m_location; }
    bool isServer() const { return m_location.isServer(); }
    // How long a statement waits for another program's write lock (5 s unless set).
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_busyTimeout; }

    // --- write transactions (store/WriteUnit runs them for an operation) ---
    // Takes the write lock and starts a transaction (BEGIN IMMEDIATE): another writer waits until it ends, up to
    // the busy timeout, so keys and numbers drawn inside are this writer's own. Applies inside it are savepoints.
    // A lock that cannot be had fails with a clear message and nothing changed.
    void beginWrite();
    // Commits; a failure rolls everything back and throws.
    void commitWrite();
    void rollbackWrite();
    bool inWrite() const { return m_writeOpen; }

    QSqlDatabase database() const;
    int schemaVersion() const;

    // A new main database with every table and the start-up rows: the library roots and recycle bins, the user
    // Admin (advanced, no password) with its layout and default overview rows, and an empty last-user row.
    // Written to a temporary file and renamed, so a failure leaves no half-made database. Refuses an existing file.
    static void CreateMainDatabase(const QString& path);
    // A new empty package database (tables bs, hi, TreeHandle).
    static void CreateBlankPackageFile(const QString& path);
    // The tables and start-up rows in an empty database of a PostgreSQL server (in the location's schema, made
    // when missing), in one transaction. Refuses a database that already holds them.
    static void CreateServerDatabase(const DatabaseLocation& location);
    // Copies every table of this (single-user) database into an empty database of a server, in one transaction:
    // how a team starts from one clerk's data. Refuses a server database that already holds tables.
    using Progress = std::function<void(const QString& table, qsizetype done, qsizetype total)>;
    void PushToServer(const DatabaseLocation& server, const Progress& progress = {});

    // --- fetches and applies ---
    DataPacket GetMobanData();
    void ApplyMobanUpdates(const ChangeLog& log);
    DataPacket GetZiLiaoData(const QString& userName);
    void ApplyZiLiaoUpdates(const QString& userName, const ChangeLog& log);
    DataPacket GetGuiDangData(const QString& userName);
    void ApplyGuiDangUpdates(const QString& userName, const ChangeLog& log);
    DataPacket GetGkxxData();
    void ApplyGkxxUpdates(const ChangeLog& log);
    DataPacket GetCzyData();
    void ApplyCzyUpdates(const ChangeLog& log);
    DataPacket GetGcgkData(int id);
    void ApplyGcgkUpdates(int id, const ChangeLog& log);
    // The user's layout row; the name is matched case-free, as the login is.
    DataPacket GetOwnerConfigData(const QString& userName);
    void ApplyOwnerConfigUpdates(const QString& userName, const ChangeLog& log);
    DataPacket GetHeadingFillRangeData(int id);
    void ApplyHeadingFillRangeUpdates(int id, const ChangeLog& log);
    DataPacket GetDefaultGkData(const QString& userName);
    void ApplyDefaultGkUpdates(const QString& userName, const ChangeLog& log);
    // The header-fill records of every node in folder n of the library.
    DataPacket GetMobanFillRanges(int dirNo);
    void ApplyMobanFillRanges(int dirNo, const ChangeLog& log);
    DataPacket GetZiLiaoFillRanges(int dirNo);
    void ApplyZiLiaoFillRanges(int dirNo, const ChangeLog& log);

    // --- numbering: the largest used value + 1, or 1 for an empty table; they read the database, not a RowSet ---
    int NewMobanKey();
    int NewZiLiaoKey();
    int NewGuiDangKey();
    int NewGkxxKey();
    int NewFillRangeKey();
    int NewMobanDirNo();
    int NewZiLiaoDirNo();
    int NewMobanFileNo(int dirNo);
    int NewZiLiaoFileNo(int dirNo);
    bool IsMobanDirEmpty(int dirNo);
    bool IsZiLiaoDirEmpty(int dirNo);
    bool IsProjectDir(int dirNo);
    // Whether the node's row is (still) there: "Moban", "ZiLiao" or "GuiDang". Asked inside a write unit before a
    // node is added below a parent that another program may have removed.
    bool NodeRowExists(const QString& table, int itemId);

    // --- login ---
    // A user whose name equals `name` case-free (blanks significant) and whose password matches `password`
    // (case-free; a null or empty stored password matches an empty one).
    bool UserExists(const QString& name, const QString& password);
    // The opType of the user named `name` (case-free), or -1 when there is none.
    int GetUserType(const QString& name);
    // The last user's name; empty when none was stored.
    QString GetLastUser();
    void SetLastUser(const QString& name);

    // --- user accounts ---
    // Writes the user manager's change log of czy in one transaction together with what follows from each row: a
    // new account gets its OwnerConfig row (the default window layout) and its defaultgk row, unless rows of that
    // name (case-free) are there already; a renamed account (opName changed other than in letter case) takes along
    // its project and archive rows (UserID; rows shared by 'Everyone' stay shared), its OwnerConfig and defaultgk
    // rows (left-over rows of the new name are dropped) and the last-user row. A failure leaves every table as it
    // was.
    void ApplyUserAccountUpdates(const ChangeLog& log);

    // --- package databases (a copy of the blank package file, written by export and read by import) ---
    struct PackageContents {
        int handle = 0;            // the P_ItemID of the exported top node
        DataPacket nodes;          // table bs
        DataPacket fillRanges;     // table hi
    };
    // Writes the handle, the node change log into bs and the header-fill change log (may be empty) into hi.
    void WritePackage(const QString& path, int handle, const ChangeLog& nodes, const ChangeLog& fillRanges);
    void WritePackageNodes(const QString& path, int handle, const ChangeLog& nodes);
    PackageContents ReadPackage(const QString& path);

    // --- backup ---
    // Copies the whole SQLite database, as this connection sees it now, to a new file at `path` with SQLite's
    // online backup (consistent even while other programs read it). Refused in team mode.
    void BackupDatabaseTo(const QString& path);

    // The key column of a table of the main or package database ("ItemID" for the node tables).
    static QString keyColumnOf(const QString& table);

    // --- table locks (a form open in a designer; store/TableLock) ---
    // Takes the lock of the table file `fileKey` (its path in the program folder) for `user` and returns an empty
    // string, or returns the name of the user whose living designer holds it. A holder is living while its
    // connection to the server lasts (team mode), or while its process runs on this machine (a database file); a
    // lock row of a holder that is gone is taken over.
    QString AcquireTableLock(const QString& fileKey, const QString& user);
    void ReleaseTableLock(const QString& fileKey);

    // The work journal's commit marks (a row per unit that wrote files, inside its transaction).
    void InsertWorkMark(const QString& token);
    bool HasWorkMark(const QString& token);
    void DeleteWorkMark(const QString& token);
    QStringList WorkMarks();

private:
    // One write: inside an open write transaction a savepoint, else a transaction of its own. Not committed when
    // the scope is left: rolled back.
    class WriteScope {
    public:
        explicit WriteScope(TDataPoolDM& dm);
        ~WriteScope();
        void commit();
        WriteScope(const WriteScope&) = delete;
        WriteScope& operator=(const WriteScope&) = delete;

    private:
        TDataPoolDM& m_dm;
        bool m_nested;
        bool m_done = false;
        QString m_name;
    };
    void exec(QSqlDatabase db, const QString& sql);
    static QStringList mainDatabaseStatements(DatabaseLocation::Engine engine);
    static void onEmptyServer(const DatabaseLocation& location,
                              const std::function<void(const std::function<void(const QString&, const QVariantList&)>&)>& fill);
    const SqlDialect& dialect() const;
    QString errorMessage(const QSqlError& error) const;
    // The failure to throw for an engine error (notes a lost connection, to be opened again).
    QuelmarError failure(const QSqlError& error);
    void connectNow();
    void reconnectIfLost();

    using Hook = std::function<void(const RowChange& change, const QStringList& columns)>;

    QSqlDatabase active() const;   // the main connection, or the package connection during a package operation
    template <typename F>
    auto withPackage(const QString& path, bool mustExist, F&& body);
    void openConnection();
    void checkSchema();
    void migrate(int fromVersion);

    QSqlQuery run(const QString& sql, const QVariantList& params = {});
    // Runs a write through a statement kept prepared on the active connection; returns the rows it changed.
    int runWrite(const QString& sql, const QVariantList& params);
    int scalarInt(const QString& sql, const QVariantList& params = {});
    DataPacket fetch(const QString& table, const QString& sql, const QVariantList& params = {});
    DataPacket fetchOwnedRows(const QString& table, const QString& userName);
    void apply(const QString& table, const ChangeLog& log, const Hook& hook = {});
    void writeChange(const QString& table, const QString& key, const QStringList& columns, const RowChange& c);
    void writeInserts(const QString& table, const QStringList& columns, const QList<RowChange>& rows);

    void mobanAfterUpdateRecord(const RowChange& change, const QStringList& columns);
    void ziLiaoAfterUpdateRecord(const RowChange& change, const QStringList& columns);

    DatabaseLocation m_location;
    QString m_file;
    const SqlDialect* m_dialect;
    QString m_connection;
    QString m_active;
    QHash<QString, QSqlQuery> m_writeStatements;   // by SQL text, on the active connection
    bool m_writeOpen = false;
    bool m_connectionLost = false;
    friend class WriteUnit;
    WriteUnit* m_unit = nullptr;   // the operation whose write transaction is open
    int m_savepoints = 0;
    int m_busyTimeout = 5000;
};

class QSqlError;
// The message of an engine failure for the user: what happened and what to do, the engine's text after it.
QString DatabaseErrorMessage(const QSqlError& error);
