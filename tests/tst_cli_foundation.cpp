#include "store/DataPool.h"
#include "store/AppPaths.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestDatabase.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

// init, login and tree end to end, as a user runs them.
class TstCliFoundation : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_dir;

    QJsonArray treeJson(const QStringList& extra, const QString& library)
    {
        const CliRun r = runQuelmarCli(QStringList{QStringLiteral("--dir"), m_dir, QStringLiteral("--json")} + extra
                                       + QStringList{QStringLiteral("tree"), library});
        [&] { QCOMPARE(r.exitCode, 0); }();
        return QJsonDocument::fromJson(r.out.toUtf8()).array();
    }

private slots:
    void initTestCase()
    {
        m_dir = m_tmp.path() + QStringLiteral("/prog");
        const CliRun r = runQuelmarCli({QStringLiteral("init"), m_dir});   // the plain folder, no demo template
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        // Users and rows for the later cases, written through the data module.
        TDataPoolDM dm(ProgramDatabase(AppPaths::forDir(m_dir)));
        RowSet users;
        users.load(dm.GetCzyData());
        users.append({{QStringLiteral("opName"), QStringLiteral("Li")}, {QStringLiteral("opType"), 0}});
        dm.ApplyCzyUpdates(users.changeLog());
        RowSet rows;
        rows.load(dm.GetZiLiaoData(QStringLiteral("li")));
        rows.append({{QStringLiteral("iPartIndex"), 0}, {QStringLiteral("ItemID"), 2}, {QStringLiteral("Name"), QStringLiteral("李的工程")},
                     {QStringLiteral("TypeID"), 1}, {QStringLiteral("P_ItemID"), 0}, {QStringLiteral("iDir"), 1},
                     {QStringLiteral("UserID"), QStringLiteral("li")}});
        rows.setValue(rows.find(1), QStringLiteral("iPartIndex"), 1);   // the bin stays last
        dm.ApplyZiLiaoUpdates(QStringLiteral("li"), rows.changeLog());
    }

    void initRefusesAnExistingDatabase()
    {
        const CliRun r = runQuelmarCli({QStringLiteral("init"), m_dir});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(TestOnServer() ? QStringLiteral("server.ini") : QStringLiteral("vesk.mdb")));
    }

    void loginDefaultsToAdmin()
    {
        CliRun r = runQuelmarCli({QStringLiteral("--dir"), m_dir, QStringLiteral("--json"), QStringLiteral("login")});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value(QStringLiteral("opName")).toString(), QStringLiteral("Admin"));
        QCOMPARE(o.value(QStringLiteral("opType")).toInt(), 1);
        // The folder from the current directory, the name as typed; the last user is not changed.
        r = runQuelmarCli({QStringLiteral("--user"), QStringLiteral("LI"), QStringLiteral("login")}, m_dir);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("LI\t0")));
        TDataPoolDM dm(ProgramDatabase(AppPaths::forDir(m_dir)));
        QCOMPARE(dm.GetLastUser(), QString());
    }

    void failuresExitOne_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << QStringList{QStringLiteral("--password"), QStringLiteral("x"), QStringLiteral("login")}
                                        << QStringLiteral("系统无法让您登录。");
        QTest::newRow("unknown user") << QStringList{QStringLiteral("--user"), QStringLiteral("nobody"), QStringLiteral("tree"), QStringLiteral("ziliao")}
                                      << QStringLiteral("注：用户名及密码忽略大小写。");
        QTest::newRow("template library for a standard user")
            << QStringList{QStringLiteral("--user"), QStringLiteral("li"), QStringLiteral("tree"), QStringLiteral("template")}
            << QStringLiteral("高级用户");
    }
    void failuresExitOne()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const CliRun r = runQuelmarCli(QStringList{QStringLiteral("--dir"), m_dir} + args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void missingFolderAndBadLibrary()
    {
        CliRun r = runQuelmarCli({QStringLiteral("--dir"), m_tmp.path() + QStringLiteral("/none"), QStringLiteral("login")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("系统数据库文件不存在？")));
        r = runQuelmarCli({QStringLiteral("--dir"), m_dir, QStringLiteral("tree"), QStringLiteral("books")});
        QCOMPARE(r.exitCode, 2);
    }

    void treesAsEachUserSeesThem()
    {
        const QJsonArray admin = treeJson({}, QStringLiteral("project"));
        QCOMPARE(admin.size(), 2);   // root and bin only: Li's project is his
        const QJsonObject root = admin.at(0).toObject();
        QCOMPARE(root.value(QStringLiteral("Name")).toString(), QStringLiteral("资料库"));
        QCOMPARE(root.value(QStringLiteral("P_ItemID")).toInt(), -1);
        QCOMPARE(root.value(QStringLiteral("UserID")).toString(), QStringLiteral("Everyone"));
        QCOMPARE(admin.at(1).toObject().value(QStringLiteral("level")).toInt(), 1);

        const QJsonArray li = treeJson({QStringLiteral("--user"), QStringLiteral("Li")}, QStringLiteral("ziliao"));
        QStringList names;
        for (const QJsonValue& v : li)
            names << v.toObject().value(QStringLiteral("Name")).toString();
        QCOMPARE(names, QStringList({QStringLiteral("资料库"), QStringLiteral("李的工程"), QStringLiteral("回收站")}));

        const QJsonArray moban = treeJson({}, QStringLiteral("moban"));
        QCOMPARE(moban.size(), 2);
        QVERIFY(!moban.at(0).toObject().contains(QStringLiteral("UserID")));
        QCOMPARE(moban.at(1).toObject().value(QStringLiteral("TypeID")).toInt(), 2);
        const QJsonArray archive = treeJson({}, QStringLiteral("archive"));
        QCOMPARE(archive.size(), 1);
        QCOMPARE(archive.at(0).toObject().value(QStringLiteral("Name")).toString(), QStringLiteral("档案库"));

        const CliRun text = runQuelmarCli({QStringLiteral("--dir"), m_dir, QStringLiteral("tree"), QStringLiteral("guidang")});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, QStringLiteral("档案库  [0]\n"));
    }
};

QTEST_GUILESS_MAIN(TstCliFoundation)
#include "tst_cli_foundation.moc"
