#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "store/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The program folder: what init makes, the start-up checks with their messages, node paths and removal.
class TstStoreFiles : public QObject {
    Q_OBJECT

    static void touch(const QString& path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

private slots:
    void initMakesACompleteFolderOnce()
    {
        QTemporaryDir tmp;
        const AppPaths p = CreateProgramFolder(tmp.path() + QStringLiteral("/new/app"));
        QCOMPARE(CheckInstallation(p.AppDir).DatabaseFile, p.DatabaseFile);
        QVERIFY(QFile(p.ReadmeFile).size() > 0);
        QVERIFY(!QFile::exists(p.TempPackageFile));
        {
            // The package database holds its three tables.
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pkg"));
            db.setDatabaseName(p.BlankPackageFile);
            QVERIFY(db.open());
            QStringList tables = db.tables();
            tables.sort();
            QCOMPARE(tables, QStringList({QStringLiteral("TreeHandle"), QStringLiteral("bs"), QStringLiteral("hi")}));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("pkg"));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, CreateProgramFolder(p.AppDir));
    }

    void installationChecksInOrder_data()
    {
        QTest::addColumn<QStringList>("missing");   // removed, in this order
        QTest::addColumn<QString>("message");       // %1 = program folder
        QTest::newRow("database") << QStringList{QStringLiteral("vesk.mdb"), QStringLiteral("ProTables")}
                                  << QStringLiteral("系统数据库文件不存在？");
        QTest::newRow("ProTables") << QStringList{QStringLiteral("ProTables"), QStringLiteral("Readme.txt")}
                                   << QStringLiteral("“%1ProTables/”目录不存在！");
        QTest::newRow("SysTables") << QStringList{QStringLiteral("SysTables"), QStringLiteral("Temp")}
                                   << QStringLiteral("“%1SysTables/ ”目录不存在！");
        QTest::newRow("blank table") << QStringList{QStringLiteral("Book1.cll")}
                                     << QStringLiteral("“%1Book1.cll ”文件不存在！");
        QTest::newRow("blank package") << QStringList{QStringLiteral("S.mdb")}
                                       << QStringLiteral("“%1S.mdb ”库文件不存在！");
        QTest::newRow("Temp") << QStringList{QStringLiteral("Temp")} << QStringLiteral("“%1Temp/ ”目录不存在！");
        QTest::newRow("readme") << QStringList{QStringLiteral("Readme.txt")}
                                << QStringLiteral("“%1Readme.txt ”文件不存在！");
    }
    void installationChecksInOrder()
    {
        QFETCH(QStringList, missing);
        QFETCH(QString, message);
        QTemporaryDir tmp;
        const AppPaths p = CreateProgramFolder(tmp.path());
        for (const QString& m : missing) {
            const QString path = p.AppDir + m;
            QVERIFY(QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path));
        }
        try {
            CheckInstallation(tmp.path());
            QFAIL("the check passed");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), message.contains(QStringLiteral("%1")) ? message.arg(p.AppDir) : message);
        }
    }

    void nodePaths()
    {
        const AppPaths p = AppPaths::forDir(QStringLiteral("/opt/q"));
        QCOMPARE(p.AppDir, QStringLiteral("/opt/q/"));
        QCOMPARE(p.TempPackageFile, QStringLiteral("/opt/q/Temp/S.mdb"));
        QCOMPARE(p.ZiLiaoFolderPath(3), QStringLiteral("/opt/q/ProTables/3/"));
        QCOMPARE(p.MobanFolderPath(12), QStringLiteral("/opt/q/SysTables/12/"));
        QCOMPARE(FileLayout::NodeFilePath(p.ZiLiaoFolderPath(3), 17, QStringLiteral(".cll")),
                 QStringLiteral("/opt/q/ProTables/3/17.cll"));
        QCOMPARE(FileLayout::NodeFilePath(QStringLiteral("/opt/q/ProTables/3"), 17, QStringLiteral(".cll")),
                 QStringLiteral("/opt/q/ProTables/3/17.cll"));
    }

    void folderCreationAndRemoval()
    {
        QTemporaryDir tmp;
        const QString folder = tmp.path() + QStringLiteral("/SysTables/4/");
        FileLayout::CreateNodeFolder(folder, true);
        try {
            FileLayout::CreateNodeFolder(folder, true);
            QFAIL("an existing folder was accepted");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), QStringLiteral("“%1”目录已经存在！").arg(folder));
        }
        touch(folder + QStringLiteral("1.cll"));
        touch(folder + QStringLiteral("2.doc"));
        QFile::setPermissions(folder + QStringLiteral("2.doc"), QFileDevice::ReadOwner);
        QVERIFY(FileLayout::RemoveNodeFolder(folder));   // read-only file made writable and deleted
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(!FileLayout::RemoveNodeFolder(folder));  // no folder: false

        FileLayout::CreateNodeFolder(folder + QStringLiteral("sub"), false);
        QVERIFY(!FileLayout::RemoveNodeFolder(folder));  // a subfolder keeps it
        QVERIFY(QFileInfo(folder).isDir());

        const QString file = tmp.path() + QStringLiteral("/ro.cll");
        touch(file);
        QFile::setPermissions(file, QFileDevice::ReadOwner);
        QVERIFY(FileLayout::RemoveNodeFile(file));
        QVERIFY(!QFileInfo::exists(file));
    }
};

QTEST_GUILESS_MAIN(TstStoreFiles)
#include "tst_store_files.moc"
