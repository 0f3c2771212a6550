#include "store/DataPool.h"
#include "core/QuelmarError.h"
#include "core/PasswordHash.h"
#include "core/TextFold.h"
#include "store/DatabaseSchema.h"
#include "store/FaultPoint.h"
#include "store/SqlDialect.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>


QString DatabaseErrorMessage(const QSqlError& error)
{
    return SqlDialect::sqlite().message(error);
}

namespace {

QAtomicInt connectionCounter;

QString newConnectionName()
{
    return QStringLiteral("quelmar-dm-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
}

} // namespace

namespace {

// Creates a database file from statements in one transaction, through a temporary file renamed at the end.
void createDatabaseFile(const QString& path, const QStringList& statements)
{
    if (QFileInfo::exists(path))
        throw QuelmarError(QStringLiteral("数据库文件“%1”已经存在。").arg(path));
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    const QString name = newConnectionName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temp);
        if (!db.open()) {
            failure = EngineText(db.lastError());
        } else {
            QSqlQuery q(db);
            db.transaction();
            for (const QString& sql : statements) {
                if (!q.exec(sql)) {
                    failure = EngineText(q.lastError());
                    break;
                }
            }
            if (failure.isEmpty() && !db.commit())
                failure = EngineText(db.lastError());
            if (!failure.isEmpty())
                db.rollback();
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (failure.isEmpty() && !QFile::rename(temp, path))
        failure = QStringLiteral("无法改名为“%1”").arg(path);
    if (!failure.isEmpty()) {
        QFile::remove(temp);
        throw QuelmarError(QStringLiteral("创建数据库“%1”失败：%2").arg(path, failure));
    }
}

const QRegularExpression& identifierPattern()
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re;
}

// A change log names its columns; they become identifiers of statements, so only plain names pass.
void checkLog(const QString& table, const QString& key, const ChangeLog& log)
{
    if (log.isEmpty())
        return;
    if (!log.columns.contains(key))
        throw QuelmarError(QStringLiteral("写入表 %1 的数据中没有关键字段 %2。").arg(table, key));
    for (const QString& c : log.columns)
        if (!identifierPattern().match(c).hasMatch())
            throw QuelmarError(QStringLiteral("字段名不正确：%1").arg(c));
}

QString keyText(const QVariant& v)
{
    return v.isNull() ? QStringLiteral("(空)") : v.toString();
}

// A row that another program removed or moved since this one read it.
QString missingRowMessage(const QString& table, const QString& text, const QVariant& key)
{
    static const QStringList nodeTables{QStringLiteral("moban"), QStringLiteral("ziliao"), QStringLiteral("guidang")};
    if (nodeTables.contains(table.toLower()))
        return QStringLiteral("节点已被其他用户修改或删除，请刷新。");
    return text.arg(table, keyText(key));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

TDataPoolDM::TDataPoolDM(const QString& databaseFile) : TDataPoolDM(DatabaseLocation::sqliteFile(databaseFile)) {}

TDataPoolDM::TDataPoolDM(const DatabaseLocation& location)
    : m_location(location), m_file(location.file), m_dialect(&SqlDialect::of(location.engine)),
      m_connection(newConnectionName())
{
    try {
        openConnection();
        checkSchema();
    } catch (...) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
        throw;
    }
}

TDataPoolDM::~TDataPoolDM()
{
    m_writeStatements.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlDatabase TDataPoolDM::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

const SqlDialect& TDataPoolDM::dialect() const
{
    // A package database is always a file of its own.
    return m_active.isEmpty() ? *m_dialect : SqlDialect::sqlite();
}

QString TDataPoolDM::errorMessage(const QSqlError& error) const
{
    return dialect().message(error);
}

void TDataPoolDM::openConnection()
{
    if (!m_location.isServer() && !QFileInfo(m_file).isFile())
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：文件不存在。").arg(m_file));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect->driverName(), m_connection);
        if (!db.isValid())
            throw QuelmarError(QStringLiteral("无法打开数据库“%1”：缺少数据库驱动 %2。")
                                   .arg(m_location.displayName(), m_dialect->driverName()));
    }
    connectNow();
}

void TDataPoolDM::connectNow()
{
    QSqlDatabase db = database();
    m_dialect->configure(db, m_location, m_busyTimeout);
    if (!db.open()) {
        const QString message =
            QStringLiteral("无法打开数据库“%1”：%2").arg(m_location.displayName(), m_dialect->message(db.lastError()));
        if (m_dialect->isPasswordRefused(db.lastError()))
            throw DatabasePasswordError(message);
        throw QuelmarError(message);
    }
    m_dialect->prepare(db, m_location, m_busyTimeout);
}

// After the server went away (stopped, network broken) the next statement outside a transaction opens the
// connection again, so the program works again once the server is back.
void TDataPoolDM::reconnectIfLost()
{
    if (!m_connectionLost || m_writeOpen || !m_active.isEmpty())
        return;
    m_writeStatements.clear();
    {
        QSqlDatabase db = database();
        db.close();
    }
    connectNow();
    m_connectionLost = false;
}

QuelmarError TDataPoolDM::failure(const QSqlError& error)
{
    if (m_active.isEmpty() && m_dialect->isConnectionLost(error))
        m_connectionLost = true;
    return QuelmarError(errorMessage(error));
}

int TDataPoolDM::schemaVersion() const
{
    QSqlDatabase db = database();
    return m_dialect->schemaVersion(db);
}

void TDataPoolDM::checkSchema()
{
    QSqlDatabase db = database();
    const int version = m_dialect->schemaVersion(db);
    if (version == 0 || !m_dialect->hasMainTables(db)) {
        if (m_location.isServer())
            throw QuelmarError(QStringLiteral("“%1”中没有本系统的数据表。请先用 quelmar-cli init --server 建立。")
                                   .arg(m_location.displayName()));
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：不是本系统的数据库文件。").arg(m_file));
    }
    if (version > SchemaVersion)
        throw QuelmarError(QStringLiteral("数据库“%1”的版本（%2）高于本程序支持的版本（%3），请使用新版程序。")
                               .arg(m_location.displayName())
                               .arg(version)
                               .arg(SchemaVersion));
    if (version < SchemaVersion)
        migrate(version);
}

// Each step brings the schema from version v to v + 1 inside one transaction; add a case per new version.
void TDataPoolDM::migrate(int fromVersion)
{
    for (int v = fromVersion; v < SchemaVersion; ++v) {
        WriteScope scope(*this);
        // Another program may have migrated the database while this one waited for the write lock.
        if (schemaVersion() > v) {
            scope.commit();
            continue;
        }
        switch (v) {
        case 1:
            for (const QString& sql : DatabaseSchema::stepV2(m_location.engine))
                run(sql);
            // Names that already differ only in letter case keep working: the first keeps the folded name, the
            // others stay without one until they are renamed; any new name is checked against all folded names.
            run(DatabaseSchema::stepV2FillFold());
            break;
        case 2:
            for (const QString& sql : DatabaseSchema::stepV3())
                run(sql);
            break;
        default:
            throw QuelmarError(QStringLiteral("不知道如何升级版本 %1 的数据库。").arg(v));
        }
        for (const QString& sql : m_dialect->setSchemaVersion(v + 1))
            run(sql);
        scope.commit();
    }
}

QStringList TDataPoolDM::mainDatabaseStatements(DatabaseLocation::Engine engine)
{
    return DatabaseSchema::mainTablesV1() + DatabaseSchema::stepV2(engine) + DatabaseSchema::stepV3()
         + DatabaseSchema::mainSeed()
         + SqlDialect::of(engine).setSchemaVersion(SchemaVersion);
}

void TDataPoolDM::CreateMainDatabase(const QString& path)
{
    createDatabaseFile(path, mainDatabaseStatements(DatabaseLocation::Engine::Sqlite));
}

void TDataPoolDM::CreateBlankPackageFile(const QString& path)
{
    createDatabaseFile(path, DatabaseSchema::packageTables() + SqlDialect::sqlite().setSchemaVersion(1));
}

// Runs `fill` in one transaction on a fresh connection to the server, in the location's schema (made when
// missing), after checking that the schema holds none of the program's tables.
void TDataPoolDM::onEmptyServer(const DatabaseLocation& location,
                                const std::function<void(const std::function<void(const QString&, const QVariantList&)>&)>& fill)
{
    if (!location.isServer())
        throw QuelmarError(QStringLiteral("不是数据库服务器的地址。"));
    const QString name = newConnectionName();
    const SqlDialect& d = SqlDialect::postgres();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(d.driverName(), name);
        DatabaseLocation bare = location;
        bare.schema.clear();   // the schema may not be there yet
        d.configure(db, bare, 5000);
        try {
            if (!db.isValid())
                throw QuelmarError(QStringLiteral("缺少数据库驱动 %1。").arg(d.driverName()));
            if (!db.open())
                throw QuelmarError(QStringLiteral("无法连接“%1”：%2").arg(location.displayName(), d.message(db.lastError())));
            d.prepare(db, bare, 5000);
            QSqlQuery q(db);
            const auto exec = [&](const QString& text, const QVariantList& params) {
                const QString sql = d.statement(text);
                bool ok = false;
                if (params.isEmpty()) {
                    ok = q.exec(sql);
                } else if (q.prepare(sql)) {
                    for (int i = 0; i < params.size(); ++i)
                        q.bindValue(i, params.at(i));
                    ok = q.exec();
                }
                if (!ok)
                    throw QuelmarError(QStringLiteral("写入“%1”失败，没有写入任何内容：%2").arg(location.displayName(), d.message(q.lastError())));
            };
            exec(QStringLiteral("BEGIN"), {});
            if (!location.schema.isEmpty()) {
                const QString quoted =
                    QStringLiteral("\"%1\"").arg(QString(location.schema).replace(QLatin1Char('"'), QStringLiteral("\"\"")));
                exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS ") + quoted, {});
                exec(QStringLiteral("SET LOCAL search_path TO ") + quoted, {});
            }
            if (d.hasMainTables(db))
                throw QuelmarError(QStringLiteral("“%1”中已经有本系统的数据表，不能再次建立。").arg(location.displayName()));
            fill(exec);
            exec(QStringLiteral("COMMIT"), {});
        } catch (const QuelmarError& e) {
            failure = e.message();
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw QuelmarError(failure);
}

void TDataPoolDM::CreateServerDatabase(const DatabaseLocation& location)
{
    onEmptyServer(location, [](const auto& exec) {
        for (const QString& sql : mainDatabaseStatements(DatabaseLocation::Engine::Postgres))
            exec(sql, {});
    });
}

void TDataPoolDM::PushToServer(const DatabaseLocation& server, const Progress& progress)
{
    if (isServer())
        throw QuelmarError(QStringLiteral("数据库已经在服务器上。"));
    // Every table as this database holds it, read before the server is touched.
    QList<std::pair<QString, DataPacket>> tables;
    for (const QString& table : DatabaseSchema::mainTableNames())
        tables.append({table, fetch(table, QStringLiteral("SELECT * FROM ") + table)});
    const SqlDialect& pg = SqlDialect::postgres();
    onEmptyServer(server, [&](const auto& exec) {
        QStringList schema = DatabaseSchema::mainTablesV1() + DatabaseSchema::stepV2(DatabaseLocation::Engine::Postgres);
        for (const QString& sql : schema)
            exec(sql, {});
        qsizetype done = 0;
        for (const auto& [table, packet] : tables) {
            QStringList marks;
            for (qsizetype i = 0; i < packet.columns.size(); ++i)
                marks << QStringLiteral("?");
            const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(table, packet.columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
            for (const QVariantList& row : packet.rows) {
                QVariantList values;
                for (qsizetype i = 0; i < row.size(); ++i)
                    values << pg.bindValue(table, packet.columns.at(i), row.at(i));
                exec(insert, values);
            }
            if (progress)
                progress(table, ++done, tables.size());
        }
        for (const QString& sql : pg.setSchemaVersion(schemaVersion()))
            exec(sql, {});
    });
}

QString TDataPoolDM::keyColumnOf(const QString& table)
{
    static const QHash<QString, QString> keys{
        {QStringLiteral("moban"), QStringLiteral("ItemID")},
        {QStringLiteral("ziliao"), QStringLiteral("ItemID")},
        {QStringLiteral("guidang"), QStringLiteral("ItemID")},
        {QStringLiteral("gkxx"), QStringLiteral("ItemID")},
        {QStringLiteral("bs"), QStringLiteral("ItemID")},
        {QStringLiteral("czy"), QStringLiteral("opName")},
        {QStringLiteral("gcgk"), QStringLiteral("ID")},
        {QStringLiteral("headingfillrange"), QStringLiteral("ID")},
        {QStringLiteral("hi"), QStringLiteral("ID")},
        {QStringLiteral("defaultgk"), QStringLiteral("CZYID")},
        {QStringLiteral("ownerconfig"), QStringLiteral("Opname")},
    };
    const QString key = keys.value(table.toLower());
    if (key.isEmpty())
        throw QuelmarError(QStringLiteral("表“%1”没有关键字段。").arg(table));
    return key;
}

// ---------------------------------------------------------------------------------------------------------------

QSqlDatabase TDataPoolDM::active() const
{
    return QSqlDatabase::database(m_active.isEmpty() ? m_connection : m_active, false);
}

QSqlQuery TDataPoolDM::run(const QString& sql, const QVariantList& params)
{
    reconnectIfLost();
    QSqlQuery q(active());
    q.setForwardOnly(true);
    if (!q.prepare(dialect().statement(sql)))
        throw failure(q.lastError());
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec())
        throw failure(q.lastError());
    return q;
}

// Applies write the same few statements once per row: keep them prepared (per connection) instead of parsing the
// SQL again for every row. Only writes go through here, so no caller ever holds a result of a cached statement.
int TDataPoolDM::runWrite(const QString& sql, const QVariantList& params)
{
    FaultPoint("row");
    reconnectIfLost();
    QSqlDatabase db = active();
    auto it = m_writeStatements.find(sql);
    if (it == m_writeStatements.end()) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(dialect().statement(sql)))
            throw failure(q.lastError());
        it = m_writeStatements.insert(sql, q);
    }
    QSqlQuery& q = it.value();
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec()) {
        const QuelmarError error = failure(q.lastError());
        q.finish();
        throw error;
    }
    const int affected = q.numRowsAffected();
    q.finish();
    return affected;
}

int TDataPoolDM::scalarInt(const QString& sql, const QVariantList& params)
{
    QSqlQuery q = run(sql, params);
    return q.next() ? q.value(0).toInt() : 0;
}

DataPacket TDataPoolDM::fetch(const QString& table, const QString& sql, const QVariantList& params)
{
    QSqlQuery q = run(sql, params);
    DataPacket packet;
    packet.keyColumn = keyColumnOf(table);
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        packet.columns << DatabaseSchema::canonicalColumn(table, rec.fieldName(i));
    const SqlDialect& d = dialect();
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row << d.fetchedValue(q.value(i));
        packet.rows << row;
    }
    return packet;
}

void TDataPoolDM::writeChange(const QString& table, const QString& key, const QStringList& columns,
                              const RowChange& c)
{
    const int keyIndex = int(columns.indexOf(key));
    const SqlDialect& d = dialect();
    switch (c.kind) {
    case RowChange::Kind::Insert: {
        QStringList marks;
        QVariantList values;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            marks << QStringLiteral("?");
            values << d.bindValue(table, columns.at(i), c.newValues.value(i));
        }
        runWrite(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                     .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                 values);
        return;
    }
    case RowChange::Kind::Modify: {
        QStringList sets;
        QVariantList params;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const QVariant& o = c.oldValues.value(i);
            const QVariant& n = c.newValues.value(i);
            if (o.isNull() == n.isNull() && o == n)
                continue;
            sets << columns.at(i) + QStringLiteral(" = ?");
            params << d.bindValue(table, columns.at(i), n);
        }
        if (sets.isEmpty())
            return;
        params << c.oldValues.value(keyIndex);
        const int affected = runWrite(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                          .arg(table, sets.join(QStringLiteral(", ")), key),
                                      params);
        if (affected < 1)
            throw QuelmarError(missingRowMessage(table, QStringLiteral("无法写入表 %1 中关键字为“%2”的记录：该记录已不存在。"),
                                                 c.oldValues.value(keyIndex)));
        return;
    }
    case RowChange::Kind::Delete: {
        const int affected = runWrite(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, key),
                                      {c.oldValues.value(keyIndex)});
        if (affected < 1)
            throw QuelmarError(missingRowMessage(table, QStringLiteral("无法删除表 %1 中关键字为“%2”的记录：该记录已不存在。"),
                                                 c.oldValues.value(keyIndex)));
        return;
    }
    }
}

void TDataPoolDM::apply(const QString& table, const ChangeLog& log, const Hook& hook)
{
    if (log.isEmpty())
        return;
    const QString key = keyColumnOf(table);
    checkLog(table, key, log);
    WriteScope scope(*this);
    // Inserts that follow each other go in statements of many rows on a server (one round trip each).
    const qsizetype kRowsPerInsert = dialect().rowsPerInsert();
    for (qsizetype i = 0; i < log.changes.size();) {
        qsizetype end = i + 1;
        if (log.changes.at(i).kind == RowChange::Kind::Insert && kRowsPerInsert > 1) {
            while (end < log.changes.size() && end - i < kRowsPerInsert
                   && log.changes.at(end).kind == RowChange::Kind::Insert)
                ++end;
            writeInserts(table, log.columns, log.changes.mid(i, end - i));
        } else {
            writeChange(table, key, log.columns, log.changes.at(i));
        }
        if (hook)
            for (qsizetype h = i; h < end; ++h)
                hook(log.changes.at(h), log.columns);
        i = end;
    }
    scope.commit();
}

void TDataPoolDM::writeInserts(const QString& table, const QStringList& columns, const QList<RowChange>& rows)
{
    const SqlDialect& d = dialect();
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const QString row = QStringLiteral("(") + marks.join(QStringLiteral(", ")) + QStringLiteral(")");
    QStringList values;
    QVariantList params;
    params.reserve(rows.size() * columns.size());
    for (const RowChange& c : rows) {
        values << row;
        for (qsizetype i = 0; i < columns.size(); ++i)
            params << d.bindValue(table, columns.at(i), c.newValues.value(i));
    }
    runWrite(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                 .arg(table, columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", "))),
             params);
}

// ---------------------------------------------------------------------------------------------------------------
// Write transactions. SQLite's BEGIN IMMEDIATE takes the write lock at once: a second writer waits for it (up to the
// busy timeout) instead of both reading, then colliding when they write. Inside, an apply is a savepoint, so a
// failed apply undoes only itself and the caller decides about the rest.

void TDataPoolDM::exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw failure(q.lastError());
}

void TDataPoolDM::beginWrite()
{
    if (m_writeOpen)
        throw QuelmarError(QStringLiteral("数据库写入事务已经开始。"));
    reconnectIfLost();
    const SqlDialect& d = dialect();
    QSqlDatabase db = active();
    QSqlQuery q(db);
    const QStringList statements = d.beginWrite();
    for (qsizetype i = 0; i < statements.size(); ++i) {
        if (q.exec(statements.at(i)))
            continue;
        const QSqlError e = q.lastError();
        if (i > 0)
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        if (d.isBusy(e))
            throw QuelmarError(QStringLiteral("数据库正被其他程序或用户写入，等待 %1 秒后仍未轮到本操作，没有做任何改动。"
                                              "请稍后再试。（%2）")
                                   .arg(m_busyTimeout / 1000.0, 0, 'g', 3)
                                   .arg(EngineText(e)));
        throw failure(e);
    }
    m_writeOpen = true;
}

void TDataPoolDM::commitWrite()
{
    if (!m_writeOpen)
        throw QuelmarError(QStringLiteral("没有打开的数据库写入事务。"));
    FaultPoint("commit");
    QSqlQuery q(active());
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const QuelmarError error = failure(q.lastError());
        rollbackWrite();
        throw error;
    }
    m_writeOpen = false;
}

void TDataPoolDM::rollbackWrite()
{
    if (!m_writeOpen)
        return;
    m_writeOpen = false;
    for (QSqlQuery& statement : m_writeStatements)
        statement.finish();
    QSqlQuery q(active());
    q.exec(QStringLiteral("ROLLBACK"));   // a failed rollback leaves SQLite's own automatic rollback
}

void TDataPoolDM::InsertWorkMark(const QString& token)
{
    run(QStringLiteral("INSERT INTO WorkJournal (Token) VALUES (?)"), {token});
}

bool TDataPoolDM::HasWorkMark(const QString& token)
{
    return scalarInt(QStringLiteral("SELECT COUNT(*) FROM WorkJournal WHERE Token = ?"), {token}) > 0;
}

void TDataPoolDM::DeleteWorkMark(const QString& token)
{
    WriteScope scope(*this);
    run(QStringLiteral("DELETE FROM WorkJournal WHERE Token = ?"), {token});
    scope.commit();
}

QStringList TDataPoolDM::WorkMarks()
{
    QStringList tokens;
    QSqlQuery q = run(QStringLiteral("SELECT Token FROM WorkJournal"));
    while (q.next())
        tokens << q.value(0).toString();
    return tokens;
}

void TDataPoolDM::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = milliseconds;
    QSqlQuery q(database());
    q.exec(m_dialect->busyTimeout(milliseconds));
}

TDataPoolDM::WriteScope::WriteScope(TDataPoolDM& dm) : m_dm(dm), m_nested(dm.m_writeOpen)
{
    if (m_nested) {
        m_name = QStringLiteral("apply%1").arg(++m_dm.m_savepoints);
        m_dm.exec(m_dm.active(), QStringLiteral("SAVEPOINT ") + m_name);
    } else {
        m_dm.beginWrite();
    }
}

TDataPoolDM::WriteScope::~WriteScope()
{
    if (m_done)
        return;
    if (!m_nested) {
        m_dm.rollbackWrite();
        return;
    }
    for (QSqlQuery& statement : m_dm.m_writeStatements)
        statement.finish();
    QSqlQuery q(m_dm.active());
    q.exec(QStringLiteral("ROLLBACK TO ") + m_name);
    q.exec(QStringLiteral("RELEASE ") + m_name);
}

void TDataPoolDM::WriteScope::commit()
{
    if (m_nested)
        m_dm.exec(m_dm.active(), QStringLiteral("RELEASE ") + m_name);
    else
        m_dm.commitWrite();
    m_done = true;
}

namespace {

int columnInt(const RowChange& c, const QStringList& columns, const QString& column)
{
    const qsizetype i = columns.indexOf(column);
    if (i < 0)
        return 0;
    const QVariantList& values = c.kind == RowChange::Kind::Delete ? c.oldValues : c.newValues;
    return values.value(i).toInt();
}

} // namespace

// Deleting a form's row deletes its header-fill record.
void TDataPoolDM::mobanAfterUpdateRecord(const RowChange& c, const QStringList& columns)
{
    if (c.kind != RowChange::Kind::Delete)
        return;
    const int type = columnInt(c, columns, QStringLiteral("TypeID"));
    if (type == 5 || type == 11)
        run(QStringLiteral("DELETE FROM HeadingFillRange WHERE ID = ?"),
            {columnInt(c, columns, QStringLiteral("FillMode"))});
}

// A project's overview row lives and dies with the project's row; every form's header-fill record dies with its
// row (sub-items and styles, and also the inspection and general forms, whose records would otherwise be orphaned).
void TDataPoolDM::ziLiaoAfterUpdateRecord(const RowChange& c, const QStringList& columns)
{
    const int type = columnInt(c, columns, QStringLiteral("TypeID"));
    const int dir = columnInt(c, columns, QStringLiteral("iDir"));
    if (c.kind == RowChange::Kind::Insert && type == 1) {
        // A new project starts with an empty overview, whatever an earlier project of the same folder number left.
        run(QStringLiteral("DELETE FROM gcgk WHERE ID = ?"), {dir});
        run(QStringLiteral("INSERT INTO gcgk (ID) VALUES (?)"), {dir});
    } else if (c.kind == RowChange::Kind::Delete) {
        if (type == 1)
            run(QStringLiteral("DELETE FROM gcgk WHERE ID = ?"), {dir});
        else if (type == 5 || type == 11 || type == 6 || type == 7)
            run(QStringLiteral("DELETE FROM HeadingFillRange WHERE ID = ?"),
                {columnInt(c, columns, QStringLiteral("FillMode"))});
    }
}

// ---------------------------------------------------------------------------------------------------------------

DataPacket TDataPoolDM::GetMobanData()
{
    return fetch(QStringLiteral("Moban"), QStringLiteral("SELECT * FROM Moban ORDER BY P_ItemID, iPartIndex"));
}

void TDataPoolDM::ApplyMobanUpdates(const ChangeLog& log)
{
    apply(QStringLiteral("Moban"), log,
          [this](const RowChange& c, const QStringList& cols) { mobanAfterUpdateRecord(c, cols); });
}

// The rows a user sees in a library with owners: his own (his name in any letter case) and everyone's. The owners'
// spellings are matched first, in the program, so that the large fetch compares plain values and folds nothing
// per row (folding every row's owner in the statement costs ten times the fetch on a server).
DataPacket TDataPoolDM::fetchOwnedRows(const QString& table, const QString& userName)
{
    QStringList marks{QStringLiteral("'Everyone'")};
    QVariantList params;
    QSqlQuery owners = run(QStringLiteral("SELECT DISTINCT UserID FROM %1").arg(table));
    while (owners.next()) {
        const QString owner = owners.value(0).toString();
        if (owner != QLatin1String("Everyone") && equalsFolded(owner, userName)) {
            marks << QStringLiteral("?");
            params << owner;
        }
    }
    owners.finish();
    return fetch(table,
                 QStringLiteral("SELECT * FROM %1 WHERE UserID IN (%2) ORDER BY P_ItemID, iPartIndex")
                     .arg(table, marks.join(QStringLiteral(", "))),
                 params);
}

DataPacket TDataPoolDM::GetZiLiaoData(const QString& userName)
{
    return fetchOwnedRows(QStringLiteral("ZiLiao"), userName);
}

void TDataPoolDM::ApplyZiLiaoUpdates(const QString&, const ChangeLog& log)
{
    apply(QStringLiteral("ZiLiao"), log,
          [this](const RowChange& c, const QStringList& cols) { ziLiaoAfterUpdateRecord(c, cols); });
}

DataPacket TDataPoolDM::GetGuiDangData(const QString& userName)
{
    return fetchOwnedRows(QStringLiteral("GuiDang"), userName);
}

void TDataPoolDM::ApplyGuiDangUpdates(const QString&, const ChangeLog& log)
{
    apply(QStringLiteral("GuiDang"), log);
}

DataPacket TDataPoolDM::GetGkxxData()
{
    return fetch(QStringLiteral("gkxx"), QStringLiteral("SELECT * FROM gkxx ORDER BY TypeID, iSort"));
}

void TDataPoolDM::ApplyGkxxUpdates(const ChangeLog& log)
{
    apply(QStringLiteral("gkxx"), log);
}

DataPacket TDataPoolDM::GetCzyData()
{
    return fetch(QStringLiteral("czy"), QStringLiteral("SELECT * FROM czy"));
}

void TDataPoolDM::ApplyCzyUpdates(const ChangeLog& log)
{
    apply(QStringLiteral("czy"), log);
}

DataPacket TDataPoolDM::GetGcgkData(int id)
{
    return fetch(QStringLiteral("gcgk"), QStringLiteral("SELECT * FROM gcgk WHERE ID = ?"), {id});
}

void TDataPoolDM::ApplyGcgkUpdates(int, const ChangeLog& log)
{
    apply(QStringLiteral("gcgk"), log);
}

DataPacket TDataPoolDM::GetOwnerConfigData(const QString& userName)
{
    return fetch(QStringLiteral("OwnerConfig"), QStringLiteral("SELECT * FROM OwnerConfig WHERE lower(Opname) = lower(?)"),
                 {userName});
}

void TDataPoolDM::ApplyOwnerConfigUpdates(const QString&, const ChangeLog& log)
{
    apply(QStringLiteral("OwnerConfig"), log);
}

DataPacket TDataPoolDM::GetHeadingFillRangeData(int id)
{
    return fetch(QStringLiteral("HeadingFillRange"), QStringLiteral("SELECT * FROM HeadingFillRange WHERE ID = ?"),
                 {id});
}

void TDataPoolDM::ApplyHeadingFillRangeUpdates(int, const ChangeLog& log)
{
    apply(QStringLiteral("HeadingFillRange"), log);
}

DataPacket TDataPoolDM::GetDefaultGkData(const QString& userName)
{
    return fetch(QStringLiteral("defaultgk"), QStringLiteral("SELECT * FROM defaultgk WHERE lower(CZYID) = lower(?)"),
                 {userName});
}

void TDataPoolDM::ApplyDefaultGkUpdates(const QString&, const ChangeLog& log)
{
    apply(QStringLiteral("defaultgk"), log);
}

DataPacket TDataPoolDM::GetMobanFillRanges(int dirNo)
{
    return fetch(QStringLiteral("HeadingFillRange"),
                 QStringLiteral("SELECT * FROM HeadingFillRange WHERE ID IN (SELECT FillMode FROM Moban WHERE iDir = ?)"),
                 {dirNo});
}

void TDataPoolDM::ApplyMobanFillRanges(int, const ChangeLog& log)
{
    apply(QStringLiteral("HeadingFillRange"), log);
}

DataPacket TDataPoolDM::GetZiLiaoFillRanges(int dirNo)
{
    return fetch(QStringLiteral("HeadingFillRange"),
                 QStringLiteral("SELECT * FROM HeadingFillRange WHERE ID IN (SELECT FillMode FROM ZiLiao WHERE iDir = ?)"),
                 {dirNo});
}

void TDataPoolDM::ApplyZiLiaoFillRanges(int, const ChangeLog& log)
{
    apply(QStringLiteral("HeadingFillRange"), log);
}

// ---------------------------------------------------------------------------------------------------------------

int TDataPoolDM::NewMobanKey()
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(ItemID) + 1 END AS NewKey FROM Moban"));
}

int TDataPoolDM::NewZiLiaoKey()
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(ItemID) + 1 END AS NewKey FROM ZiLiao"));
}

int TDataPoolDM::NewGuiDangKey()
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(ItemID) + 1 END AS NewKey FROM GuiDang"));
}

int TDataPoolDM::NewGkxxKey()
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(ItemID) + 1 END AS NewKey FROM gkxx"));
}

int TDataPoolDM::NewFillRangeKey()
{
    return scalarInt(
        QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(ID) + 1 END AS NewKey FROM HeadingFillRange"));
}

int TDataPoolDM::NewMobanDirNo()
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(iDir) + 1 END AS NewDirNo "
                                    "FROM (SELECT DISTINCT iDir FROM Moban) AS d"));
}

int TDataPoolDM::NewZiLiaoDirNo()
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(iDir) + 1 END AS NewDirNo "
                                    "FROM (SELECT DISTINCT iDir FROM ZiLiao) AS d"));
}

int TDataPoolDM::NewMobanFileNo(int dirNo)
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(File_Name) + 1 END AS NewFileNo "
                                    "FROM (SELECT * FROM Moban WHERE iDir = ?) AS f"),
                     {dirNo});
}

int TDataPoolDM::NewZiLiaoFileNo(int dirNo)
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE MAX(File_Name) + 1 END AS NewFileNo "
                                    "FROM (SELECT * FROM ZiLiao WHERE iDir = ?) AS f"),
                     {dirNo});
}

bool TDataPoolDM::IsMobanDirEmpty(int dirNo)
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE 0 END AS IsEmpty FROM Moban "
                                    "WHERE iDir = ?"),
                     {dirNo}) == 1;
}

bool TDataPoolDM::IsZiLiaoDirEmpty(int dirNo)
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 1 ELSE 0 END AS IsEmpty FROM ZiLiao "
                                    "WHERE iDir = ?"),
                     {dirNo}) == 1;
}

bool TDataPoolDM::NodeRowExists(const QString& table, int itemId)
{
    static const QStringList nodeTables{QStringLiteral("Moban"), QStringLiteral("ZiLiao"), QStringLiteral("GuiDang")};
    if (!nodeTables.contains(table))
        throw QuelmarError(QStringLiteral("“%1”不是节点表。").arg(table));
    return scalarInt(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE ItemID = ?").arg(table), {itemId}) > 0;
}

bool TDataPoolDM::IsProjectDir(int dirNo)
{
    return scalarInt(QStringLiteral("SELECT CASE WHEN COUNT(*) = 0 THEN 0 ELSE 1 END AS IsExists FROM ZiLiao "
                                    "WHERE iDir = ? AND TypeID = 1"),
                     {dirNo}) == 1;
}

// ---------------------------------------------------------------------------------------------------------------

bool TDataPoolDM::UserExists(const QString& name, const QString& password)
{
    // Passwords are salted hashes, so the match is made here rather than in the statement.
    QSqlQuery q = run(QStringLiteral("SELECT opPassword FROM czy WHERE lower(opName) = lower(?)"), {name});
    while (q.next())
        if (PasswordHash::matches(q.value(0).toString(), password))
            return true;
    return false;
}

int TDataPoolDM::GetUserType(const QString& name)
{
    QSqlQuery q = run(QStringLiteral("SELECT opType FROM czy WHERE lower(opName) = lower(?)"), {name});
    if (!q.next() || q.value(0).isNull())
        return -1;
    return q.value(0).toInt();
}

QString TDataPoolDM::GetLastUser()
{
    QSqlQuery q = run(QStringLiteral("SELECT opName FROM lastczy"));
    return q.next() ? q.value(0).toString() : QString();
}

// The last-user table holds one row; a missing row is made again rather than the name being lost.
void TDataPoolDM::SetLastUser(const QString& name)
{
    WriteScope scope(*this);
    QSqlQuery q = run(QStringLiteral("UPDATE lastczy SET opName = ?"), {name});
    if (q.numRowsAffected() < 1)
        run(QStringLiteral("INSERT INTO lastczy (opName) VALUES (?)"), {name});
    q.finish();
    scope.commit();
}

// ---------------------------------------------------------------------------------------------------------------
// Package databases: each operation opens the package file on a connection of its own and closes it at the end,
// also when it fails. Writing happens in one transaction.

namespace {

QString packageKey()
{
    return QStringLiteral("ItemID");
}

} // namespace

template <typename F>
auto TDataPoolDM::withPackage(const QString& path, bool mustExist, F&& body)
{
    if (mustExist && !QFileInfo(path).isFile())
        throw QuelmarError(QStringLiteral("包数据库“%1”不存在。").arg(path));
    const QString name = m_connection + QStringLiteral("-S");
    struct Closer {
        TDataPoolDM& dm;
        QString name;
        bool writeOpen;
        ~Closer()
        {
            dm.m_writeStatements.clear();
            dm.m_active.clear();
            dm.m_writeOpen = writeOpen;
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }
    } closer{*this, name, m_writeOpen};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            throw QuelmarError(QStringLiteral("无法打开包数据库“%1”：%2").arg(path, EngineText(db.lastError())));
        if (!db.tables().contains(QStringLiteral("TreeHandle")))
            throw QuelmarError(QStringLiteral("“%1”不是交换包数据库。").arg(path));
    }
    m_writeStatements.clear();
    m_active = name;
    m_writeOpen = false;   // the main connection's transaction, if any, is not this connection's
    return body();
}

void TDataPoolDM::WritePackage(const QString& path, int handle, const ChangeLog& nodes, const ChangeLog& fillRanges)
{
    checkLog(QStringLiteral("bs"), packageKey(), nodes);
    checkLog(QStringLiteral("hi"), QStringLiteral("ID"), fillRanges);
    withPackage(path, true, [&] {
        WriteScope scope(*this);
        run(QStringLiteral("INSERT INTO TreeHandle (HID) VALUES (?)"), {handle});
        for (const RowChange& c : nodes.changes)
            writeChange(QStringLiteral("bs"), packageKey(), nodes.columns, c);
        for (const RowChange& c : fillRanges.changes)
            writeChange(QStringLiteral("hi"), QStringLiteral("ID"), fillRanges.columns, c);
        scope.commit();
        return 0;
    });
}

void TDataPoolDM::WritePackageNodes(const QString& path, int handle, const ChangeLog& nodes)
{
    WritePackage(path, handle, nodes, ChangeLog());
}

TDataPoolDM::PackageContents TDataPoolDM::ReadPackage(const QString& path)
{
    return withPackage(path, true, [&] {
        // A package comes from elsewhere: its file must be sound and its three tables plain tables (a view could
        // compute rows without end), and nothing in its schema runs.
        run(QStringLiteral("PRAGMA trusted_schema = OFF"));
        {
            QSqlQuery check = run(QStringLiteral("PRAGMA quick_check"));
            if (!check.next() || check.value(0).toString() != QLatin1String("ok"))
                throw QuelmarError(QStringLiteral("交换包数据库“%1”已损坏。").arg(path));
        }
        {
            QSqlQuery kinds = run(QStringLiteral("SELECT lower(name), type FROM sqlite_master "
                                                 "WHERE lower(name) IN ('bs', 'hi', 'treehandle')"));
            int tables = 0;
            while (kinds.next()) {
                if (kinds.value(1).toString() != QLatin1String("table"))
                    throw QuelmarError(QStringLiteral("“%1”不是交换包数据库。").arg(path));
                ++tables;
            }
            if (tables != 3)
                throw QuelmarError(QStringLiteral("“%1”不是交换包数据库。").arg(path));
        }
        PackageContents c;
        QSqlQuery q = run(QStringLiteral("SELECT HID FROM TreeHandle"));
        if (!q.next())
            throw QuelmarError(QStringLiteral("交换包“%1”中没有树句柄。").arg(path));
        bool ok = false;
        c.handle = q.value(0).toInt(&ok);
        if (!ok || q.next())
            throw QuelmarError(QStringLiteral("交换包“%1”的树句柄不正确（表 TreeHandle 应正好有一个整数）。").arg(path));
        q.finish();
        c.nodes = fetch(QStringLiteral("bs"), QStringLiteral("SELECT * FROM bs"));
        c.fillRanges = fetch(QStringLiteral("hi"), QStringLiteral("SELECT * FROM hi"));
        return c;
    });
}
