#pragma once
#include <QString>

struct AppPaths;

// Where a program folder's database is: the file "vesk.mdb" in the folder (one user, the default), or a
// PostgreSQL server shared by several workstations (team mode), named by the folder's small connection file
// "server.ini" or by a URL (`--db postgresql://user@host:port/dbname`). A password is never stored in the program
// folder: it is asked at start-up or read by the PostgreSQL client from the user's own ~/.pgpass.
struct DatabaseLocation {
    enum class Engine { Sqlite, Postgres };

    Engine engine = Engine::Sqlite;
    QString file;        // SQLite: the database file
    QString host;        // PostgreSQL: host name, or the folder of the server's Unix socket
    int port = 5432;
    QString database;
    QString user;
    QString password;    // only in memory
    QString schema;      // the schema the tables live in (empty: the server's default, "public")

    bool isServer() const { return engine == Engine::Postgres; }

    static DatabaseLocation sqliteFile(const QString& file);
    // "postgresql://user@host:port/dbname" (also "postgres://"; user, port optional; "?host=/socket/folder" and
    // "?schema=name" accepted). A text that is no such URL fails with a message saying what is expected.
    static DatabaseLocation fromUrl(const QString& url);
    // The URL without the password.
    QString url() const;
    // How messages name it: the file, or "服务器 host:port 上的数据库 db".
    QString displayName() const;

    // The connection file of a program folder in team mode.
    static QString ServerFileName() { return QStringLiteral("server.ini"); }
    static DatabaseLocation readServerFile(const QString& path);
    // Written through a temporary file; never holds the password.
    void writeServerFile(const QString& path) const;
};

// The database of the program folder: `override` (a --db URL) when given, else its "server.ini" when there is
// one, else its "vesk.mdb".
DatabaseLocation ProgramDatabase(const AppPaths& paths, const QString& override = QString());
