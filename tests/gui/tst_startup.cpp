// The program's start-up and log-out sequence on a fresh program folder, with the login dialog scripted: the
// checks before any window, the first login with the last user's name, log-out storing the layout and logging in
// again with the leaving user's name, a cancelled re-login ending the program, a failed load asking for a login
// again. Also where the program folder is, and "--version" without a display.
#include "app/AppStart.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "support/TestDatabase.h"
#include "support/ProgramFolderFixture.h"
#include "app/LoginFrm.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <QCoreApplication>
#include <QProcess>
#include <QQueue>
#include <QtTest>

struct OwnerRow {
    bool isNormal = false;
    int left = 0;
};

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startAndLogout();
    void cancelledReloginEndsProgram();
    void failedLoadAsksForLoginAgain();
    void failuresBeforeAnyWindow();
    void failingLoginCheckEndsStartup();
    void failingReloginCheckAsksAgain();
    void programFolder();
    void versionWithoutWindow();

private:
    // The scripted login dialog: records the name it starts with and logs in as the next queued user (a null
    // name cancels).
    void script(QuelmarShell& shell)
    {
        shell.setLoginStep([this](const QString& name, TDataPoolDM& dm, TLoginInfo& info) {
            offered << name;
            const QString user = users.isEmpty() ? QString() : users.dequeue();
            if (user.isNull())
                return false;
            return TryLogin(dm, user, QString(), info, true);
        });
    }
    OwnerRow layoutOf(const QString& user);

    std::unique_ptr<ProgramFolderFixture> m_folder;
    ScriptedPrompter m_prompter;
    QStringList offered;
    QQueue<QString> users;
    QStringList errors;
};

OwnerRow TestStartup::layoutOf(const QString& user)
{
    RowSet row;
    row.load(m_folder->dm().GetOwnerConfigData(user));
    const RowSet::RowId id = row.rows().value(0);
    return {row.value(id, QStringLiteral("IsNormal")).toBool(), row.value(id, QStringLiteral("FrmLeft")).toInt()};
}

void TestStartup::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_prompter = ScriptedPrompter();
    offered.clear();
    users.clear();
    errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { errors << m; });
}

void TestStartup::cleanup()
{
    QuelmarApplication::setErrorSink({});
    m_folder.reset();
}

void TestStartup::startAndLogout()
{
    QuelmarShell shell(m_folder->paths().AppDir, &m_prompter);
    script(shell);
    users << QStringLiteral("ADMIN") << QStringLiteral("Admin");
    QVERIFY(shell.start());
    QVERIFY(errors.isEmpty());
    // The first dialog offers the last user: nobody yet.
    QCOMPARE(offered, QStringList(QString()));
    QCOMPARE(shell.loginInfo().opName, QStringLiteral("ADMIN"));
    TMainFrm* main = shell.mainWindow();
    QVERIFY(main->isVisible());
    QCOMPARE(main->windowTitle(), QStringLiteral("工程管理 - Quelmar"));
    QVERIFY(main->library(Library::ZiLiao).tree.nodeCount() >= 2);

    main->setGeometry(33, 44, 860, 600);
    shell.logout();
    QVERIFY(errors.isEmpty());
    // The leaving user's layout was stored, and the login started with his name as he typed it.
    QCOMPARE(layoutOf(QStringLiteral("admin")).left, 33);
    QCOMPARE(offered, QStringList({QString(), QStringLiteral("ADMIN")}));
    QCOMPARE(shell.loginInfo().opName, QStringLiteral("Admin"));
    QVERIFY(main->isVisible());
    QVERIFY(!shell.ended());
    main->closeWithoutQuery();
}

void TestStartup::cancelledReloginEndsProgram()
{
    QuelmarShell shell(m_folder->paths().AppDir, &m_prompter);
    script(shell);
    users << QStringLiteral("Admin") << QString();
    QVERIFY(shell.start());
    shell.mainWindow()->setGeometry(71, 44, 860, 600);
    shell.logout();
    QVERIFY(shell.ended());
    QCOMPARE(shell.exitStatus(), 0);
    QVERIFY(!shell.mainWindow()->isVisible());
    QCOMPARE(layoutOf(QStringLiteral("Admin")).left, 71);
    // No close question was asked.
    QVERIFY(m_prompter.messages(QStringLiteral("question")).isEmpty());
}

void TestStartup::failedLoadAsksForLoginAgain()
{
    m_folder->addUser(QStringLiteral("Odd"), QString(), 7);
    QuelmarShell shell(m_folder->paths().AppDir, &m_prompter);
    script(shell);
    users << QStringLiteral("Admin") << QStringLiteral("Odd") << QStringLiteral("Admin");
    QVERIFY(shell.start());
    shell.logout();
    QCOMPARE(errors, QStringList(QStringLiteral("用户类型不明确！")));
    QCOMPARE(offered, QStringList({QString(), QStringLiteral("Admin"), QStringLiteral("Odd")}));
    QVERIFY(shell.mainWindow()->isVisible());
    QCOMPARE(shell.loginInfo().opName, QStringLiteral("Admin"));
    shell.mainWindow()->closeWithoutQuery();
}

void TestStartup::failuresBeforeAnyWindow()
{
    // A program folder without its database: the message, no login, no window.
    QTemporaryDir empty;
    QuelmarShell broken(empty.path(), &m_prompter);
    script(broken);
    QVERIFY(!broken.start());
    QCOMPARE(broken.exitStatus(), 1);
    QCOMPARE(errors.size(), 1);
    QVERIFY(offered.isEmpty());
    QVERIFY(!broken.mainWindow());

    // A cancelled first login ends the program without a window.
    QuelmarShell cancelled(m_folder->paths().AppDir, &m_prompter);
    script(cancelled);
    users << QString();
    QVERIFY(!cancelled.start());
    QCOMPARE(cancelled.exitStatus(), 0);
    QVERIFY(!cancelled.mainWindow());
}

namespace {

// Overwrites the first page of a table in a database file that no connection holds, so that the file still opens
// and every other table reads, but the first statement that reads this table fails with the engine's message.
void damageTable(const QString& file, const QString& table)
{
    int page = 0;
    int pageSize = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damage"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
        pageSize = q.value(0).toInt();
        QVERIFY(q.prepare(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = ?")));
        q.addBindValue(table);
        QVERIFY(q.exec() && q.next());
        page = q.value(0).toInt();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damage"));
    QVERIFY(page > 1 && pageSize > 0);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(qint64(page - 1) * pageSize));
    QCOMPARE(f.write(QByteArray(pageSize, '\xff')), qint64(pageSize));
}

}  // namespace

void TestStartup::failingLoginCheckEndsStartup()
{
    QUELMAR_SQLITE_ONLY();   // a damaged database file
    // A program folder whose users table cannot be read: the database opens and the dialog offers the last user,
    // but the check of the typed name fails. The program ends with the engine's message and shows no window.
    QTemporaryDir dir;
    const AppPaths paths = CreateProgramFolder(dir.path());
    damageTable(paths.DatabaseFile, QStringLiteral("czy"));

    QuelmarShell shell(paths.AppDir, &m_prompter);   // the program's own login dialog
    int dialogs = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* d = qobject_cast<TLoginFrm*>(QApplication::activeModalWidget());
        if (!d || !d->loginButton()->isEnabled())
            return;
        ++dialogs;
        d->nameEdit()->setText(QStringLiteral("Admin"));
        d->loginButton()->click();
    });
    answer.start(5);
    QVERIFY(!shell.start());
    answer.stop();
    QCOMPARE(dialogs, 1);
    QCOMPARE(shell.exitStatus(), 1);
    QVERIFY(!shell.mainWindow());
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(QStringLiteral("malformed")), qPrintable(errors.first()));
    // The failed check was no login: nobody was recorded as the last user.
    QVERIFY(m_prompter.events.isEmpty());
}

void TestStartup::failingReloginCheckAsksAgain()
{
    // After a log-out a failing check shows its message and the login comes again (the window stays hidden).
    QuelmarShell shell(m_folder->paths().AppDir, &m_prompter);
    int calls = 0;
    shell.setLoginStep([&](const QString& name, TDataPoolDM& dm, TLoginInfo& info) {
        offered << name;
        if (++calls == 2)
            throw QuelmarError(QStringLiteral("数据库已被锁定。"));
        return TryLogin(dm, QStringLiteral("Admin"), QString(), info, true);
    });
    QVERIFY(shell.start());
    shell.logout();
    QCOMPARE(errors, QStringList(QStringLiteral("数据库已被锁定。")));
    QCOMPARE(calls, 3);
    QCOMPARE(offered, QStringList({QString(), QStringLiteral("Admin"), QStringLiteral("Admin")}));
    QVERIFY(!shell.ended());
    QVERIFY(shell.mainWindow()->isVisible());
    shell.mainWindow()->closeWithoutQuery();
}

void TestStartup::programFolder()
{
    qputenv("QUELMAR_DIR", "/srv/quelmar");
    QCOMPARE(QuelmarShell::programFolder(QStringLiteral("/data/app")), QStringLiteral("/data/app"));
    QCOMPARE(QuelmarShell::programFolder(QString()), QStringLiteral("/srv/quelmar"));
    qunsetenv("QUELMAR_DIR");
    // Else the user's own folder (the executable's folder is no program folder here), which is offered to be made.
    const QByteArray home = qgetenv("HOME");
    QTemporaryDir user;
    qputenv("HOME", user.path().toLocal8Bit());
    bool named = true;
    QCOMPARE(QuelmarShell::programFolder(QString(), &named), user.path() + QStringLiteral("/Quelmar"));
    QVERIFY(!named);
    QuelmarShell::programFolder(QStringLiteral("/data/app"), &named);
    QVERIFY(named);
    qputenv("HOME", home);
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
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).startsWith(QStringLiteral("Quelmar ")));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
