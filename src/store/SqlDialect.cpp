#include "store/SqlDialect.h"
#include "core/QuelmarError.h"
#include "core/TextFold.h"
#include "store/DatabaseSchema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

QString EngineText(const QSqlError& e)
{
    const QString db = e.databaseText().trimmed();
    return db.isEmpty() ? e.text().trimmed() : db;
}

namespace {

QString withEngineText(const QString& sentence, const QSqlError& e)
{
    const QString engine = EngineText(e);
    return engine.isEmpty() ? sentence : QStringLiteral("%1（%2）").arg(sentence, engine);
}

const QString kBusy = QStringLiteral("数据库正被其他程序或用户写入，等待超时。请稍后再试。");
const QString kConflict = QStringLiteral("要写入的数据与已有的记录冲突，没有写入任何内容。请刷新后再试。");
const QString kOther = QStringLiteral("数据库操作失败，没有写入任何内容。请重试；若仍然失败，请与管理员联系。");

// ---- SQLite ----------------------------------------------------------------------------------------------------

// lower() of the connection: the same folding as foldCase() in C++, for every letter.
void foldCaseFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const void* text = sqlite3_value_text16(argv[0]);
    const int bytes = sqlite3_value_bytes16(argv[0]);
    const QString folded = foldCase(QString::fromUtf16(static_cast<const char16_t*>(text), bytes / 2));
    sqlite3_result_text16(ctx, folded.utf16(), int(folded.size() * 2), SQLITE_TRANSIENT);
}

void registerFoldCase(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw QuelmarError(QStringLiteral("数据库驱动不是 SQLite，无法注册比较函数。"));
    sqlite3* h = *static_cast<sqlite3* const*>(handle.constData());
    if (!h || sqlite3_create_function_v2(h, "lower", 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr,
                                         foldCaseFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw QuelmarError(QStringLiteral("无法在数据库连接上注册比较函数。"));
}

int sqliteCode(const QSqlError& e)
{
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1;
}

class Sqlite final : public SqlDialect {
public:
    DatabaseLocation::Engine engine() const override { return DatabaseLocation::Engine::Sqlite; }
    QString driverName() const override { return QStringLiteral("QSQLITE"); }

    void configure(QSqlDatabase& db, const DatabaseLocation& location, int busy) const override
    {
        db.setDatabaseName(location.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busy));
    }

    void prepare(QSqlDatabase& db, const DatabaseLocation& location, int) const override
    {
        // The first statement is where SQLite notices a file that is not a database.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
            throw QuelmarError(QStringLiteral("无法打开数据库“%1”：%2").arg(location.displayName(), message(q.lastError())));
        q.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
        registerFoldCase(db);
    }

    int schemaVersion(QSqlDatabase& db) const override
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
            return 0;
        return q.value(0).toInt();
    }

    QStringList setSchemaVersion(int version) const override
    {
        return {QStringLiteral("PRAGMA user_version = %1").arg(version)};
    }

    bool hasMainTables(QSqlDatabase& db) const override { return db.tables().contains(QStringLiteral("czy")); }

    QStringList beginWrite() const override { return {QStringLiteral("BEGIN IMMEDIATE")}; }
    QString busyTimeout(int ms) const override { return QStringLiteral("PRAGMA busy_timeout = %1").arg(ms); }
    bool isBusy(const QSqlError& e) const override
    {
        const int c = sqliteCode(e);
        return c == SQLITE_BUSY || c == SQLITE_LOCKED;
    }
    bool isConnectionLost(const QSqlError&) const override { return false; }

    QString message(const QSqlError& e) const override
    {
        QString sentence;
        switch (sqliteCode(e)) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: sentence = kBusy; break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: sentence = QStringLiteral("数据库文件已损坏。请从备份恢复数据库，或与管理员联系。"); break;
        case SQLITE_FULL: sentence = QStringLiteral("磁盘已满，无法写入数据库。请腾出磁盘空间后再试。"); break;
        case SQLITE_READONLY:
        case SQLITE_PERM: sentence = QStringLiteral("数据库文件不可写入。请检查程序文件夹和数据库文件的权限。"); break;
        case SQLITE_CANTOPEN: sentence = QStringLiteral("无法打开数据库文件。请检查它是否存在、是否可以访问。"); break;
        case SQLITE_IOERR:
            sentence = QStringLiteral("读写数据库文件时出错（磁盘或网络故障）。请检查磁盘或网络后再试。");
            break;
        case SQLITE_CONSTRAINT: sentence = kConflict; break;
        default: sentence = kOther; break;
        }
        return withEngineText(sentence, e);
    }
};

// ---- PostgreSQL ------------------------------------------------------------------------------------------------

// The write lock of one set of tables: the program's key, and the schema's (several schemas may share a server).
const QString kLockStatement =
    QStringLiteral("SELECT pg_advisory_xact_lock(1364541517, hashtext(current_schema()))");

class Postgres final : public SqlDialect {
public:
    int rowsPerInsert() const override { return 50; }
    DatabaseLocation::Engine engine() const override { return DatabaseLocation::Engine::Postgres; }
    QString driverName() const override { return QStringLiteral("QPSQL"); }

    void configure(QSqlDatabase& db, const DatabaseLocation& l, int) const override
    {
        if (!l.host.isEmpty())
            db.setHostName(l.host);
        db.setPort(l.port);
        db.setDatabaseName(l.database);
        if (!l.user.isEmpty())
            db.setUserName(l.user);
        if (!l.password.isEmpty())
            db.setPassword(l.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=Quelmar"));
    }

    void prepare(QSqlDatabase& db, const DatabaseLocation& l, int busy) const override
    {
        QSqlQuery q(db);
        const auto exec = [&](const QString& sql) {
            if (!q.exec(sql))
                throw QuelmarError(QStringLiteral("无法打开数据库“%1”：%2").arg(l.displayName(), message(q.lastError())));
        };
        exec(QStringLiteral("SET client_encoding = 'UTF8'"));
        exec(QStringLiteral("SET client_min_messages = warning"));
        if (!l.schema.isEmpty()) {
            q.prepare(QStringLiteral("SELECT set_config('search_path', ?, false)"));
            q.addBindValue(QStringLiteral("\"%1\"").arg(QString(l.schema).replace(QLatin1Char('"'), QStringLiteral("\"\""))));
            if (!q.exec())
                throw QuelmarError(QStringLiteral("无法打开数据库“%1”：%2").arg(l.displayName(), message(q.lastError())));
        }
        exec(busyTimeout(busy));
    }

    int schemaVersion(QSqlDatabase& db) const override
    {
        QSqlQuery q(db);
        // A failed statement aborts a transaction on this engine: ask whether the table is there first.
        if (!q.exec(QStringLiteral("SELECT to_regclass('SchemaInfo') IS NOT NULL")) || !q.next() || !q.value(0).toBool())
            return 0;
        if (!q.exec(QStringLiteral("SELECT Version FROM SchemaInfo")) || !q.next())
            return 0;
        return q.value(0).toInt();
    }

    QStringList setSchemaVersion(int version) const override
    {
        return {QStringLiteral("CREATE TABLE IF NOT EXISTS SchemaInfo (Version INTEGER)"),
                QStringLiteral("DELETE FROM SchemaInfo"),
                QStringLiteral("INSERT INTO SchemaInfo (Version) VALUES (%1)").arg(version)};
    }

    bool hasMainTables(QSqlDatabase& db) const override
    {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SELECT to_regclass('czy') IS NOT NULL")) && q.next() && q.value(0).toBool();
    }

    QStringList beginWrite() const override { return {QStringLiteral("BEGIN"), kLockStatement}; }

    // Table locks: session advisory locks of their own class, keyed by the schema and the file.
    bool hasSessionLocks() const override { return true; }
    bool trySessionLock(QSqlDatabase& db, const QString& key) const override
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT pg_try_advisory_lock(1364541518, hashtext(current_schema() || '/' || ?))"));
        q.addBindValue(key);
        if (!q.exec() || !q.next())
            throw QuelmarError(message(q.lastError()));
        return q.value(0).toBool();
    }
    void releaseSessionLock(QSqlDatabase& db, const QString& key) const override
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT pg_advisory_unlock(1364541518, hashtext(current_schema() || '/' || ?))"));
        q.addBindValue(key);
        q.exec();   // a connection that is gone took its locks with it
    }
    QString busyTimeout(int ms) const override { return QStringLiteral("SET lock_timeout = %1").arg(ms); }

    static QString state(const QSqlError& e) { return e.nativeErrorCode().trimmed().toUpper(); }

    bool isBusy(const QSqlError& e) const override
    {
        const QString s = state(e);
        return s == QLatin1String("55P03") || s == QLatin1String("40P01") || s == QLatin1String("40001");
    }

    bool isPasswordRefused(const QSqlError& e) const override
    {
        const QString text = EngineText(e);
        return state(e).startsWith(QLatin1String("28")) || text.contains(QLatin1String("password authentication failed"))
            || text.contains(QLatin1String("no password supplied"));
    }

    bool isConnectionLost(const QSqlError& e) const override
    {
        if (isPasswordRefused(e))
            return false;
        const QString s = state(e);
        if (s.startsWith(QLatin1String("08")) || s == QLatin1String("57P01") || s == QLatin1String("57P02")
            || s == QLatin1String("57P03"))
            return true;
        // A broken connection often comes without a state, only the client's words.
        const QString text = EngineText(e);
        return (s.isEmpty() && e.type() == QSqlError::ConnectionError)
            || text.contains(QLatin1String("server closed the connection"))
            || text.contains(QLatin1String("no connection to the server"))
            || text.contains(QLatin1String("terminating connection"));
    }

    QString message(const QSqlError& e) const override
    {
        const QString s = state(e);
        QString sentence = kOther;
        if (isBusy(e))
            sentence = kBusy;
        else if (isConnectionLost(e))
            sentence = QStringLiteral("与数据库服务器的连接中断，本次操作没有写入任何内容。请检查网络和服务器，稍后再试。");
        else if (s.startsWith(QLatin1String("23")))
            sentence = kConflict;
        else if (isPasswordRefused(e))
            sentence = QStringLiteral("数据库服务器拒绝登录：用户名或口令不对。");
        else if (s == QLatin1String("3D000"))
            sentence = QStringLiteral("数据库服务器上没有这个数据库。请检查连接设置。");
        else if (s.startsWith(QLatin1String("53")))
            sentence = QStringLiteral("数据库服务器的磁盘或内存不足，无法写入。请与管理员联系。");
        else if (s == QLatin1String("42501"))
            sentence = QStringLiteral("数据库服务器上的用户没有写入这些表的权限。请与管理员联系。");
        return withEngineText(sentence, e);
    }

    QString statement(const QString& sql) const override
    {
        if (!sql.contains(QLatin1String("lower(")))
            return sql;
        return QString(sql).replace(QStringLiteral("lower("), DatabaseSchema::PostgresFoldName() + QLatin1Char('('));
    }

    QVariant bindValue(const QString& table, const QString& column, const QVariant& value) const override
    {
        if (!value.isNull() && value.typeId() != QMetaType::Bool && DatabaseSchema::isBooleanColumn(table, column))
            return QVariant(value.toBool());
        return value;
    }
};

} // namespace

QVariant SqlDialect::bindValue(const QString&, const QString&, const QVariant& value) const
{
    return value;
}

QVariant SqlDialect::fetchedValue(const QVariant& value) const
{
    if (value.typeId() == QMetaType::Bool)
        return value.isNull() ? QVariant(QMetaType::fromType<int>()) : QVariant(value.toBool() ? 1 : 0);
    return value;
}

const SqlDialect& SqlDialect::sqlite()
{
    static const Sqlite d;
    return d;
}

const SqlDialect& SqlDialect::postgres()
{
    static const Postgres d;
    return d;
}

const SqlDialect& SqlDialect::of(DatabaseLocation::Engine engine)
{
    return engine == DatabaseLocation::Engine::Postgres ? postgres() : sqlite();
}
