#include "store/DatabaseSchema.h"

#include "core/TextFold.h"

#include <QHash>
#include <QSet>
#include <QRegularExpression>

namespace DatabaseSchema {

namespace {

const QString kNodeColumns = QStringLiteral(
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

} // namespace

// Version 1 of the main database. UserID holds a whole login name (50 characters); opPassword holds a password
// hash string, hence 128.
QStringList mainTablesV1()
{
    return {
        QStringLiteral("CREATE TABLE Moban (%1)").arg(kNodeColumns),
        QStringLiteral("CREATE TABLE ZiLiao (%1, UserID VARCHAR(50))").arg(kNodeColumns),
        QStringLiteral("CREATE TABLE GuiDang (%1, UserID VARCHAR(50))").arg(kNodeColumns),
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

// The server's own lower() folds by its locale (ASCII only under "C"): names are folded there by this function
// instead, a translation table of every letter the program folds, so that SQL and C++ fold alike on both engines.
QString postgresFoldFunction()
{
    QString from;
    QString to;
    for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const QString c = QString::fromUcs4(&cp, 1);
        const QString folded = foldCase(c);
        if (folded != c && folded.toUcs4().size() == 1) {
            from += c;
            to += folded;
        }
    }
    return QStringLiteral("CREATE FUNCTION %1(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT AS "
                          "$$ SELECT translate(t, '%2', '%3') $$")
        .arg(PostgresFoldName(), from, to);
}

// Version 2: user names unique whatever their letter case (the folded name, kept by triggers through the
// connection's lower() — on SQLite the program's own, which folds every letter — under a unique index), and the
// commit marks of the work journal (store/WorkJournal).
QStringList stepV2(DatabaseLocation::Engine engine)
{
    QStringList sql{
        QStringLiteral("ALTER TABLE czy ADD COLUMN opNameFold VARCHAR(50)"),
        QStringLiteral("CREATE UNIQUE INDEX czyNameFold ON czy (opNameFold)"),
        QStringLiteral("CREATE TABLE WorkJournal (Token VARCHAR(40) PRIMARY KEY)"),
    };
    if (engine == DatabaseLocation::Engine::Sqlite) {
        sql << QStringLiteral("CREATE TRIGGER czyFoldInsert AFTER INSERT ON czy BEGIN "
                              "UPDATE czy SET opNameFold = lower(NEW.opName) WHERE rowid = NEW.rowid; END")
            << QStringLiteral("CREATE TRIGGER czyFoldRename AFTER UPDATE OF opName ON czy BEGIN "
                              "UPDATE czy SET opNameFold = lower(NEW.opName) WHERE rowid = NEW.rowid; END");
    } else {
        sql << postgresFoldFunction()
            << QStringLiteral("CREATE FUNCTION czyFoldName() RETURNS trigger AS $$ BEGIN "
                              "NEW.opNameFold := lower(NEW.opName); RETURN NEW; END $$ LANGUAGE plpgsql")
            << QStringLiteral("CREATE TRIGGER czyFold BEFORE INSERT OR UPDATE OF opName ON czy "
                              "FOR EACH ROW EXECUTE FUNCTION czyFoldName()");
    }
    return sql;
}

QStringList stepV3()
{
    return {QStringLiteral("CREATE TABLE TableLock (FileKey VARCHAR(255) PRIMARY KEY, Holder VARCHAR(50), "
                           "Host VARCHAR(255), Pid INTEGER, Since VARCHAR(30))")};
}

// The first version's folded names: the first of names that differ only in letter case keeps it.
QString stepV2FillFold()
{
    return QStringLiteral("UPDATE czy SET opNameFold = lower(opName) WHERE opName IN "
                          "(SELECT MIN(opName) FROM czy GROUP BY lower(opName))");
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
                       "MPanelSize, ZPanelSize, GPanelSize) VALUES ('Admin', TRUE, 80, 40, 1024, 700, 220, 240, 180)"),
        QStringLiteral("INSERT INTO defaultgk (CZYID) VALUES ('Admin')"),
        QStringLiteral("INSERT INTO lastczy (opName) VALUES ('')"),
    };
}

QStringList packageTables()
{
    return {
        QStringLiteral("CREATE TABLE bs (%1)").arg(kNodeColumns),
        QStringLiteral("CREATE TABLE hi (%1)").arg(fillRangeColumns()),
        QStringLiteral("CREATE TABLE TreeHandle (HID INTEGER)"),
    };
}


namespace {

struct ColumnInfo {
    QHash<QString, QHash<QString, QString>> canonical;   // table (lower) -> column (lower) -> as written
    QHash<QString, QSet<QString>> booleans;              // table (lower) -> columns (lower)
};

const ColumnInfo& columnInfo()
{
    static const ColumnInfo info = [] {
        ColumnInfo i;
        static const QRegularExpression create(QStringLiteral("^CREATE TABLE (\\w+) \\((.*)\\)$"));
        static const QRegularExpression add(QStringLiteral("^ALTER TABLE (\\w+) ADD COLUMN (.*)$"));
        const auto column = [&i](const QString& table, const QString& definition) {
            const QStringList words = definition.trimmed().split(QLatin1Char(' '));
            const QString name = words.value(0);
            i.canonical[table.toLower()].insert(name.toLower(), name);
            if (words.value(1).compare(QLatin1String("BOOLEAN"), Qt::CaseInsensitive) == 0)
                i.booleans[table.toLower()].insert(name.toLower());
        };
        for (const QString& sql : mainTablesV1() + stepV2(DatabaseLocation::Engine::Sqlite) + packageTables()) {
            if (const QRegularExpressionMatch m = create.match(sql); m.hasMatch()) {
                for (const QString& def : m.captured(2).split(QLatin1Char(',')))
                    column(m.captured(1), def);
            } else if (const QRegularExpressionMatch a = add.match(sql); a.hasMatch()) {
                column(a.captured(1), a.captured(2));
            }
        }
        return i;
    }();
    return info;
}

} // namespace

QString PostgresFoldName()
{
    return QStringLiteral("quelmar_fold");
}

QStringList mainTableNames()
{
    static const QRegularExpression create(QStringLiteral("^CREATE TABLE (\\w+) "));
    QStringList names;
    for (const QString& sql : mainTablesV1() + stepV2(DatabaseLocation::Engine::Sqlite) + stepV3())
        if (const QRegularExpressionMatch m = create.match(sql); m.hasMatch())
            names << m.captured(1);
    return names;
}

QString canonicalColumn(const QString& table, const QString& column)
{
    return columnInfo().canonical.value(table.toLower()).value(column.toLower(), column);
}

bool isBooleanColumn(const QString& table, const QString& column)
{
    return columnInfo().booleans.value(table.toLower()).contains(column.toLower());
}

}
