#include "core/PasswordHash.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "store/DatabaseSchema.h"
#include "store/TableLock.h"
#include "support/TestDatabase.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QTest>

// The data module: schema, apply by key with its hooks, the numbering queries, quoting and case folding.
class TstStoreDataPool : public QObject {
    Q_OBJECT

    static int countRows(TDataPoolDM& dm, const QString& sql)
    {
        QSqlQuery q(dm.database());
        if (!q.exec(sql) || !q.next())
            return -1;
        return q.value(0).toInt();
    }
    static void clearTable(TDataPoolDM& dm, const QString& table)
    {
        QSqlQuery q(dm.database());
        QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(table)));
    }
    static void addFillRange(TDataPoolDM& dm, int id)
    {
        RowSet r;
        r.load(dm.GetHeadingFillRangeData(id));
        r.append({{QStringLiteral("ID"), id}, {QStringLiteral("BeFilled1"), true}, {QStringLiteral("Row1"), QStringLiteral("3")}});
        dm.ApplyHeadingFillRangeUpdates(id, r.changeLog());
    }

private slots:
    void schemaHasTheColumnsInOrder_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columns");
        const QString node = QStringLiteral("iPartIndex,ItemID,Name,TypeID,P_ItemID,iDir,File_Name,Ext,FillMode");
        QTest::newRow("Moban") << "Moban" << node;
        QTest::newRow("ZiLiao") << "ZiLiao" << node + QStringLiteral(",UserID");
        QTest::newRow("GuiDang") << "GuiDang" << node + QStringLiteral(",UserID");
        QTest::newRow("czy") << "czy" << "opName,opFullName,opDes,opPassword,opType,opNameFold";
        QTest::newRow("lastczy") << "lastczy" << "opName";
        QTest::newRow("gkxx") << "gkxx" << "ItemID,iSort,Name,TypeID";
        QTest::newRow("OwnerConfig") << "OwnerConfig"
                                     << "Opname,IsNormal,FrmLeft,FrmTop,FrmWidth,FrmHeight,MPanelSize,ZPanelSize,GPanelSize";
        QStringList gk{QStringLiteral("ID")}, dgk{QStringLiteral("CZYID")}, hfr{QStringLiteral("ID")};
        for (int n = 1; n <= 18; ++n) {
            gk << QStringLiteral("s%1").arg(n);
            dgk << QStringLiteral("s%1").arg(n);
            hfr << QStringLiteral("BeFilled%1").arg(n) << QStringLiteral("Row%1").arg(n) << QStringLiteral("Col%1").arg(n);
        }
        QTest::newRow("gcgk") << "gcgk" << gk.join(QLatin1Char(','));
        QTest::newRow("defaultgk") << "defaultgk" << dgk.join(QLatin1Char(','));
        QTest::newRow("HeadingFillRange") << "HeadingFillRange" << hfr.join(QLatin1Char(','));
    }
    void schemaHasTheColumnsInOrder()
    {
        QFETCH(QString, table);
        QFETCH(QString, columns);
        ProgramFolderFixture f;
        QSqlQuery q(f.dm().database());
        QVERIFY(q.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(table)));
        const QSqlRecord rec = q.record();
        QStringList names;
        for (int i = 0; i < rec.count(); ++i)
            names << DatabaseSchema::canonicalColumn(table, rec.fieldName(i));
        QCOMPARE(names.join(QLatin1Char(',')), columns);
        QCOMPARE(f.dm().schemaVersion(), TDataPoolDM::SchemaVersion);
    }

    void startUpRows()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM Moban WHERE ItemID=0 AND TypeID=0 AND P_ItemID=-1 "
                                              "AND Name='模板库'")), 1);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM ZiLiao WHERE ItemID=1 AND TypeID=2 AND P_ItemID=0 "
                                              "AND Name='回收站' AND UserID='Everyone'")), 1);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM GuiDang WHERE ItemID=0 AND P_ItemID=-1 "
                                              "AND Name='档案库' AND UserID='Everyone'")), 1);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM czy WHERE opName='Admin' AND opType=1 "
                                              "AND opPassword IS NULL")), 1);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM lastczy WHERE opName=''")), 1);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT FrmWidth FROM OwnerConfig WHERE Opname='Admin' AND IsNormal = TRUE")), 1024);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM defaultgk WHERE CZYID='Admin'")), 1);
        // A login name of 50 characters fits the owner column.
        const QString longName(50, QLatin1Char('x'));
        f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("工程"), 0, 1), longName);
        RowSet rows;
        rows.load(dm.GetZiLiaoData(longName));
        QCOMPARE(rows.value(rows.find(2), QStringLiteral("UserID")).toString(), longName);
    }

    void numberingOnEmptyTables()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        clearTable(dm, QStringLiteral("Moban"));
        clearTable(dm, QStringLiteral("ZiLiao"));
        clearTable(dm, QStringLiteral("GuiDang"));
        for (int v : {dm.NewMobanKey(), dm.NewZiLiaoKey(), dm.NewGuiDangKey(), dm.NewGkxxKey(), dm.NewFillRangeKey(),
                      dm.NewMobanDirNo(), dm.NewZiLiaoDirNo(), dm.NewMobanFileNo(3), dm.NewZiLiaoFileNo(3)})
            QCOMPARE(v, 1);
        QVERIFY(dm.IsMobanDirEmpty(0));
        QVERIFY(!dm.IsProjectDir(1));
    }

    void numberingOnFilledTables()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        QCOMPARE(dm.NewMobanKey(), 2);
        QCOMPARE(dm.NewMobanDirNo(), 1);   // only folder 0 is used
        f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("P"), 0, 7));
        f.addNode(Library::ZiLiao, nodeRec(5, 3, QStringLiteral("f5"), 2, 7, 5, QStringLiteral(".cll")));
        f.addNode(Library::ZiLiao, nodeRec(6, 4, QStringLiteral("f9"), 3, 7, 9, QStringLiteral(".cll")));
        f.addNode(Library::ZiLiao, nodeRec(6, 5, QStringLiteral("other"), 0, 8, 30, QStringLiteral(".cll")));
        QCOMPARE(dm.NewZiLiaoFileNo(7), 10);   // folder 8's file 30 does not count
        QCOMPARE(dm.NewZiLiaoFileNo(9), 1);
        QCOMPARE(dm.NewZiLiaoDirNo(), 9);
        QCOMPARE(dm.NewZiLiaoKey(), 6);
        QVERIFY(dm.IsProjectDir(7));
        QVERIFY(!dm.IsProjectDir(8));
        QVERIFY(!dm.IsZiLiaoDirEmpty(8));
        // Purging the highest file frees its number; a lower gap is not reused.
        RowSet rows;
        rows.load(dm.GetZiLiaoData(QStringLiteral("x")));
        rows.remove(rows.find(4));
        dm.ApplyZiLiaoUpdates(QStringLiteral("x"), rows.changeLog());
        QCOMPARE(dm.NewZiLiaoFileNo(7), 6);
    }

    void applyLocatesRowsByKeyOnly()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        f.addNode(Library::Moban, nodeRec(9, 2, QStringLiteral("模板"), 0, 1));
        RowSet mine, theirs;
        mine.load(dm.GetMobanData());
        theirs.load(dm.GetMobanData());
        theirs.setValue(theirs.find(2), QStringLiteral("Name"), QStringLiteral("改名"));
        dm.ApplyMobanUpdates(theirs.changeLog());
        // Another column of the same row still writes, and the other writer's name stays.
        mine.setValue(mine.find(2), QStringLiteral("iPartIndex"), 4);
        dm.ApplyMobanUpdates(mine.changeLog());
        QCOMPARE(countRows(dm, QStringLiteral("SELECT iPartIndex FROM Moban WHERE ItemID=2 AND Name='改名'")), 4);
        // A changed key: the row is found by its old key.
        mine.merge();
        mine.setValue(mine.find(2), QStringLiteral("ItemID"), 12);
        dm.ApplyMobanUpdates(mine.changeLog());
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM Moban WHERE ItemID=12")), 1);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM Moban WHERE ItemID=2")), 0);
    }

    void failedRowRaisesAndWritesNothing()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        RowSet rows;
        rows.load(dm.GetMobanData());
        rows.append({{QStringLiteral("ItemID"), 5}, {QStringLiteral("Name"), QStringLiteral("ok")}});
        rows.append({{QStringLiteral("ItemID"), 1}, {QStringLiteral("Name"), QStringLiteral("duplicate key")}});
        try {
            dm.ApplyMobanUpdates(rows.changeLog());
            QFAIL("a duplicate key was written");
        } catch (const QuelmarError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive), qPrintable(e.message()));
        }
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM Moban WHERE ItemID=5")), 0);
        QCOMPARE(rows.pendingCount(), 2);

        // A row that another writer deleted cannot be updated: reported, not skipped.
        RowSet stale;
        stale.load(dm.GetMobanData());
        QSqlQuery q(dm.database());
        QVERIFY(q.exec(QStringLiteral("DELETE FROM Moban WHERE ItemID=1")));
        stale.setValue(stale.find(1), QStringLiteral("Name"), QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, dm.ApplyMobanUpdates(stale.changeLog()));
    }

    void hooksKeepDependentRows()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        for (int id : {40, 41, 42, 43})
            addFillRange(dm, id);
        f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("工程"), 0, 12));
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM gcgk WHERE ID=12")), 1);
        f.addNode(Library::Moban, nodeRec(5, 2, QStringLiteral("分项"), 0, 1, 1, QStringLiteral(".cll"), 40));
        f.addNode(Library::ZiLiao, nodeRec(6, 3, QStringLiteral("检验表格"), 2, 12, 1, QStringLiteral(".cll"), 41));
        f.addNode(Library::ZiLiao, nodeRec(4, 4, QStringLiteral("资料分类"), 2, 12, 0, QString(), 42));
        f.addNode(Library::GuiDang, nodeRec(3, 1, QStringLiteral("归档表格"), 0, 12, 1, QStringLiteral(".cll"), 43));

        RowSet moban, ziliao, guidang;
        moban.load(dm.GetMobanData());
        moban.remove(moban.find(2));
        dm.ApplyMobanUpdates(moban.changeLog());
        ziliao.load(dm.GetZiLiaoData(QStringLiteral("Everyone")));
        for (int key : {2, 3, 4})
            ziliao.remove(ziliao.find(key));
        dm.ApplyZiLiaoUpdates(QStringLiteral("Everyone"), ziliao.changeLog());
        guidang.load(dm.GetGuiDangData(QStringLiteral("Everyone")));
        guidang.remove(guidang.find(1));
        dm.ApplyGuiDangUpdates(QStringLiteral("Everyone"), guidang.changeLog());

        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM gcgk WHERE ID=12")), 0);
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange WHERE ID=40")), 0);   // template sub-item
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange WHERE ID=41")), 0);   // project form
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange WHERE ID=42")), 1);   // not a form
        QCOMPARE(countRows(dm, QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange WHERE ID=43")), 1);   // archive: no hook
    }

    void quotesAreSafe()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        const QString name = QStringLiteral("O'Brien' OR '1'='1");
        QVERIFY(!dm.UserExists(name, QString()));
        QCOMPARE(dm.GetUserType(name), -1);
        f.addUser(name, QStringLiteral("it's"), 0);
        QVERIFY(dm.UserExists(name.toUpper(), QStringLiteral("IT'S")));
        QCOMPARE(dm.GetUserType(name), 0);
        dm.SetLastUser(name);
        QCOMPARE(dm.GetLastUser(), name);
        f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("工程"), 0, 1), name);
        RowSet rows;
        rows.load(dm.GetZiLiaoData(name));
        QVERIFY(rows.find(2) >= 0);
        rows.load(dm.GetZiLiaoData(QStringLiteral("x' OR '1'='1")));
        QCOMPARE(rows.find(2), -1);
    }

    void namesFoldTheSameWayInSqlAndCpp_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::newRow("latin with umlaut") << QStringLiteral("ädmin") << QStringLiteral("ÄDMIN");
        QTest::newRow("cyrillic") << QStringLiteral("Петров") << QStringLiteral("ПЕТРОВ");
        QTest::newRow("fullwidth latin") << QStringLiteral("ａｄｍｉｎ") << QStringLiteral("ＡＤＭＩＮ");
        QTest::newRow("greek") << QStringLiteral("ΣΩΚΡΆΤΗΣ") << QStringLiteral("σωκράτης");
    }
    void namesFoldTheSameWayInSqlAndCpp()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        f.addUser(stored, QString(), 1);
        QVERIFY(dm.UserExists(typed, QString()));
        QCOMPARE(dm.GetUserType(typed), 1);
        f.addNode(Library::GuiDang, nodeRec(1, 5, QStringLiteral("柜"), 0), stored);
        RowSet rows;
        rows.load(dm.GetGuiDangData(typed));
        QVERIFY(rows.find(5) >= 0);
    }

    void packagesRoundTrip()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        const QString package = f.paths().TempPackageFile;
        QVERIFY(QFile::copy(f.paths().BlankPackageFile, package));
        DataPacket shape;
        shape.columns = dm.GetMobanData().columns;
        RowSet nodes(QStringLiteral("ItemID")), fills(QStringLiteral("ID"));
        nodes.load(shape);
        nodes.append({{QStringLiteral("ItemID"), 5}, {QStringLiteral("Name"), QStringLiteral("分项's")}, {QStringLiteral("FillMode"), 9}});
        nodes.append({{QStringLiteral("ItemID"), 6}, {QStringLiteral("Name"), QStringLiteral("b")}});
        fills.load(dm.GetHeadingFillRangeData(0));
        fills.append({{QStringLiteral("ID"), 9}, {QStringLiteral("Row3"), QStringLiteral("B8")}});
        dm.WritePackage(package, 7, nodes.changeLog(), fills.changeLog());
        // A second write with the same keys fails and leaves the package as it was.
        QVERIFY_THROWS_EXCEPTION(QuelmarError, dm.WritePackageNodes(package, 8, nodes.changeLog()));
        const TDataPoolDM::PackageContents c = dm.ReadPackage(package);
        QCOMPARE(c.handle, 7);
        QCOMPARE(c.nodes.rows.size(), 2);
        QCOMPARE(c.fillRanges.rows.size(), 1);
        RowSet read;
        read.load(c.nodes);
        QCOMPARE(read.value(read.find(5), QStringLiteral("Name")).toString(), QStringLiteral("分项's"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, dm.ReadPackage(f.dir() + QStringLiteral("/none.mdb")));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, dm.ReadPackage(f.paths().DatabaseFile));
        QCOMPARE(dm.NewMobanKey(), 2);   // the main connection is untouched
    }

    void openRefusesWhatIsNotItsDatabase()
    {
        QUELMAR_SQLITE_ONLY();
        ProgramFolderFixture f;
        const QString junk = f.dir() + QStringLiteral("/junk.mdb");
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        try {
            TDataPoolDM dm(junk);
            QFAIL("opened a file that is not a database");
        } catch (const QuelmarError& e) {
            QVERIFY2(e.message().contains(junk), qPrintable(e.message()));
        }
        // Package database: its three tables, and it is not taken for a main database.
        QVERIFY_THROWS_EXCEPTION(QuelmarError, TDataPoolDM(f.paths().BlankPackageFile));
        // Two data modules on one file work side by side.
        TDataPoolDM second(f.paths().DatabaseFile);
        QCOMPARE(second.NewMobanKey(), f.dm().NewMobanKey());
        // A database written by a newer release is refused rather than misread.
        QSqlQuery q(second.database());
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = %1").arg(TDataPoolDM::SchemaVersion + 1)));
        q.finish();
        try {
            TDataPoolDM third(f.paths().DatabaseFile);
            QFAIL("opened a newer database");
        } catch (const QuelmarError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("新版程序")), qPrintable(e.message()));
        }
    }

    // User names are unique whatever their letter case, in the schema itself; a database of the first version
    // whose names already differ only in case is migrated and keeps both.
    void userNamesUniqueWhateverTheirCase()
    {
        ProgramFolderFixture f;
        f.addUser(QStringLiteral("Änne"), QString(), 0);
        for (const QString& twin : {QStringLiteral("admin"), QStringLiteral("ÄNNE"), QStringLiteral("äNNE")}) {
            const QString message = failureMessage([&] { f.addUser(twin, QString(), 0); });
            QVERIFY2(message.contains(QStringLiteral("冲突")), qPrintable(message));
        }
        QCOMPARE(f.dm().GetCzyData().rows.size(), 2);
        // A rename onto another user's name is refused too; onto one's own name in other letters it is fine.
        RowSet rows;
        rows.load(f.dm().GetCzyData());
        const RowSet::RowId anne = rows.find(QStringLiteral("Änne"));
        rows.setValue(anne, QStringLiteral("opName"), QStringLiteral("ADMIN"));
        QVERIFY(failureMessage([&] { f.dm().ApplyCzyUpdates(rows.changeLog()); }).contains(QStringLiteral("冲突")));
        rows.cancelUpdates();
        rows.setValue(anne, QStringLiteral("opName"), QStringLiteral("ÄNNE"));
        f.dm().ApplyCzyUpdates(rows.changeLog());

        // The first version, with two names that differ only in case (a file of the first version).
        if (TestOnServer())
            return;
        const QString file = f.dir() + QStringLiteral("/v1.mdb");
        {
            TDataPoolDM::CreateMainDatabase(file);
            TDataPoolDM v(file);
            QSqlQuery q(v.database());
            for (const char* sql : {"DROP TRIGGER czyFoldInsert", "DROP TRIGGER czyFoldRename", "DROP INDEX czyNameFold",
                                    "ALTER TABLE czy DROP COLUMN opNameFold", "DROP TABLE WorkJournal", "DROP TABLE TableLock",
                                    "INSERT INTO czy (opName, opType) VALUES ('ADMIN', 0)", "PRAGMA user_version = 1"})
                QVERIFY2(q.exec(QString::fromLatin1(sql)), sql);
        }
        TDataPoolDM migrated(file);
        QCOMPARE(migrated.schemaVersion(), TDataPoolDM::SchemaVersion);
        QVERIFY(migrated.UserExists(QStringLiteral("admin"), QString()));
        QCOMPARE(migrated.GetCzyData().rows.size(), 2);
        RowSet more;
        more.load(migrated.GetCzyData());
        more.append({{QStringLiteral("opName"), QStringLiteral("Admin")}, {QStringLiteral("opType"), 0}});
        QVERIFY(failureMessage([&] { migrated.ApplyCzyUpdates(more.changeLog()); }).contains(QStringLiteral("冲突")));
    }

    // A form open in one designer is held for its editor: another connection learns who holds it, until he lets
    // it go or is gone.
    void tableLocksTellWhoHoldsAFile()
    {
        using store::TableLock;
        ProgramFolderFixture f;
        const QString key = QStringLiteral("ProTables/3/1.cll");
        auto other = std::make_unique<TDataPoolDM>(ProgramDatabase(f.paths()));
        auto held = TableLock::acquire(*other, key, QStringLiteral("甲"), nullptr);
        QVERIFY(held);
        QString holder;
        QVERIFY(!TableLock::acquire(f.dm(), key, QStringLiteral("乙"), &holder));
        QCOMPARE(holder, QStringLiteral("甲"));
        QCOMPARE(TableLock::heldMessage(holder), QStringLiteral("表格正由 甲 编辑。"));
        QVERIFY(TableLock::acquire(f.dm(), QStringLiteral("ProTables/3/2.cll"), QStringLiteral("乙"), nullptr));
        held.reset();
        QVERIFY(TableLock::acquire(f.dm(), key, QStringLiteral("乙"), &holder));
        QCOMPARE(countRows(f.dm(), QStringLiteral("SELECT COUNT(*) FROM TableLock")), 0);

        // A row left by a holder that is gone (its process ended, or its connection to the server) is taken over.
        auto stale = [&](const QString& host) {
            QSqlQuery q(f.dm().database());
            q.prepare(QStringLiteral("INSERT INTO TableLock (FileKey, Holder, Host, Pid, Since) VALUES (?, ?, ?, ?, '')"));
            q.addBindValue(key);
            q.addBindValue(QStringLiteral("丙"));
            q.addBindValue(host);
            q.addBindValue(2147483000);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        };
        stale(QSysInfo::machineHostName());
        held = TableLock::acquire(*other, key, QStringLiteral("甲"), &holder);
        QVERIFY(held);
        held.reset();
        if (TestOnServer())
            return;
        // On a database file a row of another machine cannot be checked there: it is honoured.
        stale(QStringLiteral("another-machine"));
        QVERIFY(!TableLock::acquire(*other, key, QStringLiteral("甲"), &holder));
        QCOMPARE(holder, QStringLiteral("丙"));
    }

    // Engine failures read as what happened and what to do, with the engine's words after them.
    void engineMessagesInChinese()
    {
        ProgramFolderFixture f;
        f.dm().setBusyTimeout(20);
        TDataPoolDM other(ProgramDatabase(f.paths()));
        other.beginWrite();
        const QString busy = failureMessage([&] { f.dm().SetLastUser(QStringLiteral("Admin")); });
        const QString engineWords = TestOnServer() ? QStringLiteral("lock timeout") : QStringLiteral("database is locked");
        QVERIFY2(busy.startsWith(QStringLiteral("数据库正被其他程序或用户写入")) && busy.contains(engineWords),
                 qPrintable(busy));
        other.rollbackWrite();
        f.dm().SetLastUser(QStringLiteral("Admin"));
        QCOMPARE(f.dm().GetLastUser(), QStringLiteral("Admin"));
    }
};

QTEST_GUILESS_MAIN(TstStoreDataPool)
#include "tst_store_datapool.moc"
