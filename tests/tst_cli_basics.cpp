#include "support/TestSupport.h"

#include <QTest>

// The command-line framework itself: help, unknown commands and options, exit codes.
class TstCliBasics : public QObject {
    Q_OBJECT
private slots:
    void usageErrorsExitTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")};
        QTest::newRow("missing global value") << QStringList{QStringLiteral("--dir")};
    }
    void usageErrorsExitTwo()
    {
        QFETCH(QStringList, args);
        const CliRun r = runQuelmarCli(args);
        QCOMPARE(r.exitCode, 2);
    }
    void helpListsCommands()
    {
        const CliRun r = runQuelmarCli({QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QStringLiteral("用法")));
    }
};

QTEST_GUILESS_MAIN(TstCliBasics)
#include "tst_cli_basics.moc"
