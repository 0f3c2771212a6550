#include "store/DataPool.h"
#include "core/QuelmarError.h"
#include "core/PasswordHash.h"
#include "core/TextFold.h"
#include "store/FaultPoint.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

namespace {

QAtomicInt connectionCounter;

QString newConnectionName()
{
    return QStringLiteral("quelmar-dm-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
}

QString engineText(const QSqlError& e)
{
    const QString db = e.databaseText().trimmed();
    return db.isEmpty() ? e.text().trimmed() : db;
}

} // namespace

// What the user reads when the engine refuses: what happened and what to do, then the engine's own words.
QString DatabaseErrorMessage(const QSqlError& e)
{
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok) & 0xff;
    QString sentence;
    switch (ok ? code : -1) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        sentence = QStringLiteral("数据库正被其他程序或用户写入，等待超时。请稍后再试。");
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        sentence = QStringLiteral("数据库文件已损坏。请从备份恢复数据库，或与管理员联系。");
        break;
    case SQLITE_FULL:
        sentence = QStringLiteral("磁盘已满，无法写入数据库。请腾出磁盘空间后再试。");
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        sentence = QStringLiteral("数据库文件不可写入。请检查程序文件夹和数据库文件的权限。");
        break;
    case SQLITE_CANTOPEN:
        sentence = QStringLiteral("无法打开数据库文件。请检查它是否存在、是否可以访问。");
        break;
    case SQLITE_IOERR:
        sentence = QStringLiteral("读写数据库文件时出错（磁盘或网络故障）。请检查磁盘或网络后再试。");
        break;
    case SQLITE_CONSTRAINT:
        sentence = QStringLiteral("要写入的数据与已有的记录冲突，没有写入任何内容。请刷新后再试。");
        break;
    default:
        sentence = QStringLiteral("数据库操作失败，没有写入任何内容。请重试；若仍然失败，请与管理员联系。");
        break;
    }
    const QString engine = engineText(e);
    return engine.isEmpty() ? sentence : QStringLiteral("%1（%2）").arg(sentence, engine);
}

namespace {

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

const QString nodeColumns = QStringLiteral(
    "iPartIndex INTEGER, ItemID INTEGER PRIMARY KEY, Name VARCHAR(255), TypeID INTEGER, P_ItemID INTEGER, "
    "iDir INTEGER, File_Name INTEGER, Ext VARCHAR(50), FillMode INTEGER");

QString overviewColumns()
{
    QStringList cols;
    for (int n = 1; n <= 18; ++n)
        cols << QStringLiteral("s%1 VARCHAR(50)").arg(n);
    return cols.join(QStringLiteral(", "));
}

QString fillRangeColumns()
{
    QStringList cols{QStringLiteral("ID INTEGER PRIMARY KEY")};
    for (int n = 1; n <= 18; ++n)
        cols << QStringLiteral("BeFilled%1 BOOLEAN").arg(n) << QStringLiteral("Row%1 VARCHAR(10)").arg(n)
             << QStringLiteral("Col%1 VARCHAR(10)").arg(n);
    return cols.join(QStringLiteral(", "));
}

// Version 1 of the main database. UserID holds a whole login name (50 characters); opPassword holds a password
// hash string, hence 128.
QStringList mainSchemaV1()
{
    return {
        QStringLiteral("CREATE TABLE Moban (%1)").arg(nodeColumns),
        QStringLiteral("CREATE TABLE ZiLiao (%1, UserID VARCHAR(50))").arg(nodeColumns),
        QStringLiteral("CREATE TABLE GuiDang (%1, UserID VARCHAR(50))").arg(nodeColumns),
        QStringLiteral("CREATE INDEX MobanParent ON Moban (P_ItemID, iPartIndex)"),
        QStringLiteral("CREATE INDEX ZiLiaoParent ON ZiLiao (P_ItemID, iPartIndex)"),
        QStringLiteral("CREATE INDEX GuiDangParent ON GuiDang (P_ItemID, iPartIndex)"),
        QStringLiteral("CREATE INDEX MobanDir ON Moban (iDir)"),
        QStringLiteral("CREATE INDEX ZiLiaoDir ON ZiLiao (iDir)"),
        QStringLiteral("CREATE TABLE czy (opName VARCHAR(50) PRIMARY KEY, opFullName VARCHAR(50), "
                       "opDes VARCHAR(255), opPassword VARCHAR(128), opType INTEGER)"),
        QStringLiteral("CREATE TABLE lastczy (opName VARCHAR(50))"),
        QStringLiteral("CREATE TABLE gcgk (ID INTEGER PRIMARY KEY, %1)").arg(overviewColumns()),
        QStringLiteral("CREATE TABLE defaultgk (CZYID VARCHAR(50) PRIMARY KEY, %1)").arg(overviewColumns()),
        QStringLiteral("CREATE TABLE HeadingFillRange (%1)").arg(fillRangeColumns()),
        QStringLiteral("CREATE TABLE gkxx (ItemID INTEGER PRIMARY KEY, iSort INTEGER, Name VARCHAR(50), "
                       "TypeID VARCHAR(50))"),
        QStringLiteral("CREATE TABLE OwnerConfig (Opname VARCHAR(50) PRIMARY KEY, IsNormal BOOLEAN, "
                       "FrmLeft INTEGER, FrmTop INTEGER, FrmWidth INTEGER, FrmHeight INTEGER, "
                       "MPanelSize INTEGER, ZPanelSize INTEGER, GPanelSize INTEGER)"),
    };
}

// Version 2: user names unique whatever their letter case (the folded name, kept by triggers through the
// connection's lower(), which folds every letter), and the commit marks of the work journal (store/WorkJournal).
QStringList schemaStepV2()
{
    return {
        QStringLiteral("ALTER TABLE czy ADD COLUMN opNameFold VARCHAR(50)"),
        QStringLiteral("CREATE UNIQUE INDEX czyNameFold ON czy (opNameFold)"),
        QStringLiteral("CREATE TRIGGER czyFoldInsert AFTER INSERT ON czy BEGIN "
                       "UPDATE czy SET opNameFold = lower(NEW.opName) WHERE rowid = NEW.rowid; END"),
        QStringLiteral("CREATE TRIGGER czyFoldRename AFTER UPDATE OF opName ON czy BEGIN "
                       "UPDATE czy SET opNameFold = lower(NEW.opName) WHERE rowid = NEW.rowid; END"),
        QStringLiteral("CREATE TABLE WorkJournal (Token VARCHAR(40) PRIMARY KEY)"),
    };
}

QStringList mainSeed()
{
    const QString node = QStringLiteral(
        "INSERT INTO %1 (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, Ext, FillMode%2) "
        "VALUES (%3)");
    return {
        node.arg(QStringLiteral("Moban"), QString(), QStringLiteral("0, 0, '模板库', 0, -1, 0, 0, '', 0")),
        node.arg(QStringLiteral("Moban"), QString(), QStringLiteral("0, 1, '回收站', 2, 0, 0, 0, '', 0")),
        node.arg(QStringLiteral("ZiLiao"), QStringLiteral(", UserID"),
                 QStringLiteral("0, 0, '资料库', 0, -1, 0, 0, '', 0, 'Everyone'")),
        node.arg(QStringLiteral("ZiLiao"), QStringLiteral(", UserID"),
                 QStringLiteral("0, 1, '回收站', 2, 0, 0, 0, '', 0, 'Everyone'")),
        node.arg(QStringLiteral("GuiDang"), QStringLiteral(", UserID"),
                 QStringLiteral("0, 0, '档案库', 0, -1, 0, 0, '', 0, 'Everyone'")),
        QStringLiteral("INSERT INTO czy (opName, opFullName, opDes, opPassword, opType) "
                       "VALUES ('Admin', '系统管理员', '系统管理员，可以维护模板库和管理用户。', NULL, 1)"),
        QStringLiteral("INSERT INTO OwnerConfig (Opname, IsNormal, FrmLeft, FrmTop, FrmWidth, FrmHeight, "
                       "MPanelSize, ZPanelSize, GPanelSize) VALUES ('Admin', 1, 80, 40, 1024, 700, 220, 240, 180)"),
        QStringLiteral("INSERT INTO defaultgk (CZYID) VALUES ('Admin')"),
        QStringLiteral("INSERT INTO lastczy (opName) VALUES ('')"),
    };
}

QStringList packageSchema()
{
    return {
        QStringLiteral("CREATE TABLE bs (%1)").arg(nodeColumns),
        QStringLiteral("CREATE TABLE hi (%1)").arg(fillRangeColumns()),
        QStringLiteral("CREATE TABLE TreeHandle (HID INTEGER)"),
    };
}

// Creates a database file from statements in one transaction, through a temporary file renamed at the end.
void createDatabaseFile(const QString& path, const QStringList& statements, int userVersion)
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
            failure = engineText(db.lastError());
        } else {
            QSqlQuery q(db);
            db.transaction();
            for (const QString& sql : statements) {
                if (!q.exec(sql)) {
                    failure = engineText(q.lastError());
                    break;
                }
            }
            if (failure.isEmpty() && !q.exec(QStringLiteral("PRAGMA user_version = %1").arg(userVersion)))
                failure = engineText(q.lastError());
            if (failure.isEmpty() && !db.commit())
                failure = engineText(db.lastError());
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

} // namespace

// ---------------------------------------------------------------------------------------------------------------

TDataPoolDM::TDataPoolDM(const QString& databaseFile) : m_file(databaseFile), m_connection(newConnectionName())
{
    try {
        openConnection();
        registerFunctions();
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

void TDataPoolDM::openConnection()
{
    if (!QFileInfo(m_file).isFile())
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：文件不存在。").arg(m_file));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：%2").arg(m_file, DatabaseErrorMessage(db.lastError())));
    // The first statement is where SQLite notices a file that is not a database.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：%2").arg(m_file, DatabaseErrorMessage(q.lastError())));
    q.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
}

void TDataPoolDM::registerFunctions()
{
    registerFoldCase(database());
}

int TDataPoolDM::schemaVersion() const
{
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return 0;
    return q.value(0).toInt();
}

void TDataPoolDM::checkSchema()
{
    const int version = schemaVersion();
    if (version == 0 || !database().tables().contains(QStringLiteral("czy")))
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：不是本系统的数据库文件。").arg(m_file));
    if (version > SchemaVersion)
        throw QuelmarError(QStringLiteral("数据库“%1”的版本（%2）高于本程序支持的版本（%3），请使用新版程序。")
                               .arg(m_file)
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
        // Another program may have migrated the file while this one waited for the write lock.
        if (schemaVersion() > v) {
            scope.commit();
            continue;
        }
        switch (v) {
        case 1:
            for (const QString& sql : schemaStepV2())
                run(sql);
            // Names that already differ only in letter case keep working: the first keeps the folded name, the
            // others stay without one until they are renamed; any new name is checked against all folded names.
            run(QStringLiteral("UPDATE czy SET opNameFold = lower(opName) WHERE rowid IN "
                               "(SELECT MIN(rowid) FROM czy GROUP BY lower(opName))"));
            break;
        default:
            throw QuelmarError(QStringLiteral("不知道如何升级版本 %1 的数据库。").arg(v));
        }
        run(QStringLiteral("PRAGMA user_version = %1").arg(v + 1));
        scope.commit();
    }
}

void TDataPoolDM::CreateMainDatabase(const QString& path)
{
    createDatabaseFile(path, mainSchemaV1() + schemaStepV2() + mainSeed(), SchemaVersion);
}

void TDataPoolDM::CreateBlankPackageFile(const QString& path)
{
    createDatabaseFile(path, packageSchema(), 1);
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
    QSqlQuery q(active());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw QuelmarError(DatabaseErrorMessage(q.lastError()));
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec())
        throw QuelmarError(DatabaseErrorMessage(q.lastError()));
    return q;
}

// Applies write the same few statements once per row: keep them prepared (per connection) instead of parsing the
// SQL again for every row. Only writes go through here, so no caller ever holds a result of a cached statement.
int TDataPoolDM::runWrite(const QString& sql, const QVariantList& params)
{
    FaultPoint("row");
    QSqlDatabase db = active();
    auto it = m_writeStatements.find(sql);
    if (it == m_writeStatements.end()) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw QuelmarError(DatabaseErrorMessage(q.lastError()));
        it = m_writeStatements.insert(sql, q);
    }
    QSqlQuery& q = it.value();
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec()) {
        const QString message = DatabaseErrorMessage(q.lastError());
        q.finish();
        throw QuelmarError(message);
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
        packet.columns << rec.fieldName(i);
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row << q.value(i);
        packet.rows << row;
    }
    return packet;
}

void TDataPoolDM::writeChange(const QString& table, const QString& key, const QStringList& columns,
                              const RowChange& c)
{
    const int keyIndex = int(columns.indexOf(key));
    switch (c.kind) {
    case RowChange::Kind::Insert: {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        runWrite(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                     .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                 c.newValues);
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
            params << n;
        }
        if (sets.isEmpty())
            return;
        params << c.oldValues.value(keyIndex);
        const int affected = runWrite(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                          .arg(table, sets.join(QStringLiteral(", ")), key),
                                      params);
        if (affected < 1)
            throw QuelmarError(QStringLiteral("无法写入表 %1 中关键字为“%2”的记录：该记录已不存在。")
                                   .arg(table, keyText(c.oldValues.value(keyIndex))));
        return;
    }
    case RowChange::Kind::Delete: {
        const int affected = runWrite(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, key),
                                      {c.oldValues.value(keyIndex)});
        if (affected < 1)
            throw QuelmarError(QStringLiteral("无法删除表 %1 中关键字为“%2”的记录：该记录已不存在。")
                                   .arg(table, keyText(c.oldValues.value(keyIndex))));
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
    for (const RowChange& c : log.changes) {
        writeChange(table, key, log.columns, c);
        if (hook)
            hook(c, log.columns);
    }
    scope.commit();
}

// ---------------------------------------------------------------------------------------------------------------
// Write transactions. SQLite's BEGIN IMMEDIATE takes the write lock at once: a second writer waits for it (up to the
// busy timeout) instead of both reading, then colliding when they write. Inside, an apply is a savepoint, so a
// failed apply undoes only itself and the caller decides about the rest.

void TDataPoolDM::exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw QuelmarError(DatabaseErrorMessage(q.lastError()));
}

void TDataPoolDM::beginWrite()
{
    if (m_writeOpen)
        throw QuelmarError(QStringLiteral("数据库写入事务已经开始。"));
    QSqlDatabase db = active();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        const QSqlError e = q.lastError();
        bool ok = false;
        const int code = e.nativeErrorCode().toInt(&ok) & 0xff;
        if (ok && (code == SQLITE_BUSY || code == SQLITE_LOCKED))
            throw QuelmarError(QStringLiteral("数据库正被其他程序或用户写入，等待 %1 秒后仍未轮到本操作，没有做任何改动。"
                                              "请稍后再试。（%2）")
                                   .arg(m_busyTimeout / 1000.0, 0, 'g', 3)
                                   .arg(engineText(e)));
        throw QuelmarError(DatabaseErrorMessage(e));
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
        const QString message = DatabaseErrorMessage(q.lastError());
        rollbackWrite();
        throw QuelmarError(message);
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
    q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(milliseconds));
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

DataPacket TDataPoolDM::GetZiLiaoData(const QString& userName)
{
    return fetch(QStringLiteral("ZiLiao"),
                 QStringLiteral("SELECT * FROM ZiLiao WHERE lower(UserID) = ? OR UserID = 'Everyone' "
                                "ORDER BY P_ItemID, iPartIndex"),
                 {foldCase(userName)});
}

void TDataPoolDM::ApplyZiLiaoUpdates(const QString&, const ChangeLog& log)
{
    apply(QStringLiteral("ZiLiao"), log,
          [this](const RowChange& c, const QStringList& cols) { ziLiaoAfterUpdateRecord(c, cols); });
}

DataPacket TDataPoolDM::GetGuiDangData(const QString& userName)
{
    return fetch(QStringLiteral("GuiDang"),
                 QStringLiteral("SELECT * FROM GuiDang WHERE lower(UserID) = ? OR UserID = 'Everyone' "
                                "ORDER BY P_ItemID, iPartIndex"),
                 {foldCase(userName)});
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
    return fetch(QStringLiteral("OwnerConfig"), QStringLiteral("SELECT * FROM OwnerConfig WHERE lower(Opname) = ?"),
                 {foldCase(userName)});
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
    return fetch(QStringLiteral("defaultgk"), QStringLiteral("SELECT * FROM defaultgk WHERE lower(CZYID) = ?"),
                 {foldCase(userName)});
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
    QSqlQuery q = run(QStringLiteral("SELECT opPassword FROM czy WHERE lower(opName) = ?"), {foldCase(name)});
    while (q.next())
        if (PasswordHash::matches(q.value(0).toString(), password))
            return true;
    return false;
}

int TDataPoolDM::GetUserType(const QString& name)
{
    QSqlQuery q = run(QStringLiteral("SELECT opType FROM czy WHERE lower(opName) = ?"), {foldCase(name)});
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
            throw QuelmarError(QStringLiteral("无法打开包数据库“%1”：%2").arg(path, engineText(db.lastError())));
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
        PackageContents c;
        QSqlQuery q = run(QStringLiteral("SELECT HID FROM TreeHandle"));
        if (!q.next())
            throw QuelmarError(QStringLiteral("交换包“%1”中没有树句柄。").arg(path));
        c.handle = q.value(0).toInt();
        q.finish();
        c.nodes = fetch(QStringLiteral("bs"), QStringLiteral("SELECT * FROM bs"));
        c.fillRanges = fetch(QStringLiteral("hi"), QStringLiteral("SELECT * FROM hi"));
        return c;
    });
}
