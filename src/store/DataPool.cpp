#include "store/DataPool.h"
#include "core/QuelmarError.h"
#include "core/PasswordHash.h"
#include "core/TextFold.h"

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
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：%2").arg(m_file, engineText(db.lastError())));
    // The first statement is where SQLite notices a file that is not a database.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        throw QuelmarError(QStringLiteral("无法打开数据库“%1”：%2").arg(m_file, engineText(q.lastError())));
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
    QSqlDatabase db = database();
    for (int v = fromVersion; v < SchemaVersion; ++v) {
        db.transaction();
        try {
            switch (v) {
            default:
                throw QuelmarError(QStringLiteral("不知道如何升级版本 %1 的数据库。").arg(v));
            }
            run(QStringLiteral("PRAGMA user_version = %1").arg(v + 1));
            db.commit();
        } catch (...) {
            db.rollback();
            throw;
        }
    }
}

void TDataPoolDM::CreateMainDatabase(const QString& path)
{
    createDatabaseFile(path, mainSchemaV1() + mainSeed(), SchemaVersion);
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
        throw QuelmarError(QStringLiteral("数据库错误：%1").arg(engineText(q.lastError())));
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec())
        throw QuelmarError(QStringLiteral("数据库错误：%1").arg(engineText(q.lastError())));
    return q;
}

// Applies write the same few statements once per row: keep them prepared (per connection) instead of parsing the
// SQL again for every row. Only writes go through here, so no caller ever holds a result of a cached statement.
int TDataPoolDM::runWrite(const QString& sql, const QVariantList& params)
{
    QSqlDatabase db = active();
    auto it = m_writeStatements.find(sql);
    if (it == m_writeStatements.end()) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw QuelmarError(QStringLiteral("数据库错误：%1").arg(engineText(q.lastError())));
        it = m_writeStatements.insert(sql, q);
    }
    QSqlQuery& q = it.value();
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec()) {
        const QString message = engineText(q.lastError());
        q.finish();
        throw QuelmarError(QStringLiteral("数据库错误：%1").arg(message));
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
    QSqlDatabase db = active();
    if (!db.transaction())
        throw QuelmarError(QStringLiteral("数据库错误：%1").arg(engineText(db.lastError())));
    try {
        for (const RowChange& c : log.changes) {
            writeChange(table, key, log.columns, c);
            if (hook)
                hook(c, log.columns);
        }
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const QString text = engineText(db.lastError());
        db.rollback();
        throw QuelmarError(QStringLiteral("数据库错误：%1").arg(text));
    }
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
        run(QStringLiteral("INSERT INTO gcgk (ID) SELECT ? WHERE NOT EXISTS (SELECT 1 FROM gcgk WHERE ID = ?)"),
            {dir, dir});
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
    QSqlDatabase db = database();
    db.transaction();
    try {
        QSqlQuery q = run(QStringLiteral("UPDATE lastczy SET opName = ?"), {name});
        if (q.numRowsAffected() < 1)
            run(QStringLiteral("INSERT INTO lastczy (opName) VALUES (?)"), {name});
    } catch (...) {
        db.rollback();
        throw;
    }
    db.commit();
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
        ~Closer()
        {
            dm.m_writeStatements.clear();
            dm.m_active.clear();
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }
    } closer{*this, name};
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
    return body();
}

void TDataPoolDM::WritePackage(const QString& path, int handle, const ChangeLog& nodes, const ChangeLog& fillRanges)
{
    checkLog(QStringLiteral("bs"), packageKey(), nodes);
    checkLog(QStringLiteral("hi"), QStringLiteral("ID"), fillRanges);
    withPackage(path, true, [&] {
        QSqlDatabase db = active();
        db.transaction();
        try {
            run(QStringLiteral("INSERT INTO TreeHandle (HID) VALUES (?)"), {handle});
            for (const RowChange& c : nodes.changes)
                writeChange(QStringLiteral("bs"), packageKey(), nodes.columns, c);
            for (const RowChange& c : fillRanges.changes)
                writeChange(QStringLiteral("hi"), QStringLiteral("ID"), fillRanges.columns, c);
        } catch (...) {
            db.rollback();
            throw;
        }
        if (!db.commit())
            throw QuelmarError(QStringLiteral("数据库错误：%1").arg(engineText(db.lastError())));
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
