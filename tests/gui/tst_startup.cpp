// The program's start-up choices that need no screen: where the program folder is, and "--version".
#include "app/AppStart.h"

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void programFolder();
    void versionWithoutWindow();
};

void TestStartup::programFolder()
{
    qputenv("QUELMAR_DIR", "/srv/quelmar");
    QCOMPARE(QuelmarShell::programFolder(QStringLiteral("/data/app")), QStringLiteral("/data/app"));
    QCOMPARE(QuelmarShell::programFolder(QString()), QStringLiteral("/srv/quelmar"));
    qunsetenv("QUELMAR_DIR");
    QCOMPARE(QuelmarShell::programFolder(QString()), QCoreApplication::applicationDirPath());
}

void TestStartup::versionWithoutWindow()
{
    // The desktop program sits beside the test folder in the build tree.
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/quelmar");
    if (!QFileInfo::exists(program))
        QSKIP("the desktop program is not built beside the tests");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display of any kind: answering must not need one.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.start(program, {QStringLiteral("--version")});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).startsWith(QStringLiteral("Quelmar ")));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
