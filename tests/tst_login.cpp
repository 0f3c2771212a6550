#include "core/PasswordHash.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "support/ProgramFolderFixture.h"
#include "users/Login.h"
#include "users/WindowLayoutData.h"

#include <QSqlQuery>
#include <QTest>

// The login rule, stored passwords, and the per-user layout row.
class TstLogin : public QObject {
    Q_OBJECT

    static QVariant scalar(TDataPoolDM& dm, const QString& sql)
    {
        QSqlQuery q(dm.database());
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }

private slots:
    void matchingRules_data()
    {
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<QString>("storedPassword");
        QTest::addColumn<QString>("typedName");
        QTest::addColumn<QString>("typedPassword");
        QTest::addColumn<bool>("match");
        QTest::newRow("no password, empty typed") << "Zhao" << QString() << "Zhao" << QString() << true;
        QTest::newRow("name in capitals") << "zhao" << QString() << "ZHAO" << "" << true;
        QTest::newRow("trailing blank") << "Zhao" << QString() << "Zhao " << "" << false;
        QTest::newRow("leading blank") << "Zhao" << QString() << " Zhao" << "" << false;
        QTest::newRow("no password, something typed") << "Zhao" << QString() << "Zhao" << "x" << false;
        QTest::newRow("password any case") << "Li" << "Secret9" << "li" << "sECRET9" << true;
        QTest::newRow("password with blank") << "Li" << "Secret9" << "li" << "Secret9 " << false;
        QTest::newRow("password missing") << "Li" << "Secret9" << "li" << "" << false;
        QTest::newRow("unicode password") << "Li" << "Пароль" << "LI" << "пароль" << true;
    }
    void matchingRules()
    {
        QFETCH(QString, storedName);
        QFETCH(QString, storedPassword);
        QFETCH(QString, typedName);
        QFETCH(QString, typedPassword);
        QFETCH(bool, match);
        ProgramFolderFixture f;
        f.addUser(storedName, storedPassword, 0);
        QCOMPARE(f.dm().UserExists(typedName, typedPassword), match);
    }

    void passwordsAreStoredHashed()
    {
        ProgramFolderFixture f;
        f.addUser(QStringLiteral("Li"), QStringLiteral("Secret9"), 0);
        const QString stored = scalar(f.dm(), QStringLiteral("SELECT opPassword FROM czy WHERE opName='Li'")).toString();
        QVERIFY(PasswordHash::isHash(stored));
        QVERIFY(!stored.contains(QStringLiteral("ecret")));
        QVERIFY(PasswordHash::hash(QStringLiteral("a")) != PasswordHash::hash(QStringLiteral("a")));   // salted
        QVERIFY(PasswordHash::hash(QString()).isNull());
        // An account written in clear text (by hand or an older release) still logs in, case-free.
        QVERIFY(PasswordHash::matches(QStringLiteral("Plain"), QStringLiteral("PLAIN")));
    }

    void loginKeepsTheNameAsTyped()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        QCOMPARE(dm.GetLastUser(), QString());
        TLoginInfo info;
        QVERIFY(TryLogin(dm, QStringLiteral("ADMIN"), QString(), info, false));
        QCOMPARE(info.opName, QStringLiteral("ADMIN"));
        QCOMPARE(info.opType, 1);
        QCOMPARE(dm.GetLastUser(), QString());   // the CLI does not remember
        QVERIFY(TryLogin(dm, QStringLiteral("ADMIN"), QString(), info, true));
        QCOMPARE(dm.GetLastUser(), QStringLiteral("ADMIN"));

        TLoginInfo untouched{QStringLiteral("before"), 0};
        QVERIFY(!TryLogin(dm, QStringLiteral("Admin"), QStringLiteral("wrong"), untouched, true));
        QCOMPARE(untouched.opName, QStringLiteral("before"));
        QCOMPARE(dm.GetLastUser(), QStringLiteral("ADMIN"));
        QVERIFY(LoginFailedMessage().contains(QStringLiteral("\r\n\r\n注：用户名及密码忽略大小写。")));

        f.addUser(QStringLiteral("odd"), QString(), 7);
        QVERIFY(TryLogin(dm, QStringLiteral("odd"), QString(), info, false));   // accepted here, refused by the load
        try {
            CheckUserType(info);
            QFAIL("type 7 accepted");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), QStringLiteral("用户类型不明确！"));
        }
    }

    void layoutRows()
    {
        ProgramFolderFixture f;
        TDataPoolDM& dm = f.dm();
        RowSet cds;
        const TLoginInfo admin{QStringLiteral("ADMIN"), 1};
        WindowLayout l = LoadWindowLayoutData(dm, admin, cds);   // the stored row, found case-free
        QVERIFY(l.isNormal);
        QCOMPARE(l.geometry.size(), QSize(1024, 700));
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM OwnerConfig")).toInt(), 1);

        // Maximized: the geometry stays as it was stored.
        l.geometry = QRect(1, 2, 3, 4);
        l.zPanelSize = 300;
        SaveWindowLayoutData(dm, admin, cds, l, true);
        l = LoadWindowLayoutData(dm, admin, cds);
        QVERIFY(!l.isNormal);
        QCOMPARE(l.geometry.size(), QSize(1024, 700));
        QCOMPARE(l.zPanelSize, 300);

        // A user added later logs in with a default row; a standard user's template panel width is kept.
        f.addUser(QStringLiteral("Wang"), QString(), 0);
        const TLoginInfo wang{QStringLiteral("Wang"), 0};
        RowSet wangCds;
        l = LoadWindowLayoutData(dm, wang, wangCds);
        QCOMPARE(l.geometry, WindowLayout().geometry);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM OwnerConfig WHERE Opname='Wang'")).toInt(), 1);
        l.mPanelSize = 999;
        l.geometry = QRect(10, 20, 800, 600);
        SaveWindowLayoutData(dm, wang, wangCds, l, false);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT MPanelSize FROM OwnerConfig WHERE Opname='Wang'")).toInt(),
                 WindowLayout().mPanelSize);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT FrmWidth FROM OwnerConfig WHERE Opname='Wang'")).toInt(), 800);
    }
};

QTEST_GUILESS_MAIN(TstLogin)
#include "tst_login.moc"
