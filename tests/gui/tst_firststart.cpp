// The installed program's start: the first start of a user without a program folder (the shell's step and the
// dialog "创建程序目录"), Qt's own texts in Chinese, and the file the program is started on (`quelmar FILE`).
#include "app/AppStart.h"
#include "app/FirstStartFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "core/ScriptedPrompter.h"
#include "projects/SampleFolder.h"
#include "projects/SampleTemplate.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "store/UserFolder.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace {

// The first table file below `folder` (a template's or a project's form).
QString firstTableFile(const QString& folder)
{
    QDirIterator it(folder, {QStringLiteral("*.cll")}, QDir::Files, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files.value(0);
}

}  // namespace

class TestFirstStart : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void firstStartMakesTheFolder();
    void givingUpEndsTheProgram();
    void dialogCreatesOrOpens();
    void qtTextsInChinese();
    void openingAFile();

private:
    QuelmarShell::LoginStep loginAs(const QString& user)
    {
        return [user](const QString&, TDataPoolDM& dm, TLoginInfo& info) {
            return TryLogin(dm, user, QString(), info, true);
        };
    }

    QTemporaryDir m_tmp;
    QString m_home;
    QByteArray m_savedHome;
    ScriptedPrompter m_prompter;
    QStringList errors;
};

void TestFirstStart::initTestCase()
{
    m_savedHome = qgetenv("HOME");
    QuelmarApplication::setErrorSink([this](const QString& m) { errors << m; });
}

void TestFirstStart::cleanupTestCase()
{
    qputenv("HOME", m_savedHome);
    QuelmarApplication::setErrorSink({});
}

void TestFirstStart::init()
{
    // A new user's home each time.
    static int n = 0;
    m_home = m_tmp.path() + QStringLiteral("/home%1").arg(++n);
    QVERIFY(QDir().mkpath(m_home));
    qputenv("HOME", m_home.toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("QUELMAR_DIR");
    m_prompter = ScriptedPrompter();
    errors.clear();
}

void TestFirstStart::firstStartMakesTheFolder()
{
    // No folder named: the program looks at the user's own, which is not there yet.
    bool named = true;
    const QString folder = QuelmarShell::programFolder(QString(), &named);
    QVERIFY(!named);
    QCOMPARE(folder, m_home + QStringLiteral("/Quelmar"));

    // The user makes it elsewhere; the program starts on it and remembers it for the next start.
    const QString chosen = m_home + QStringLiteral("/资料/Quelmar");
    QStringList proposals;
    QuelmarShell shell(folder, &m_prompter);
    shell.setLoginStep(loginAs(QStringLiteral("Admin")));
    shell.setFirstStartStep([&](const QString& proposal) {
        proposals << proposal;
        return CreateSampleProgramFolder(chosen, InstalledSkeletonFolder()).AppDir;
    });
    QVERIFY(shell.start());
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QCOMPARE(proposals, QStringList(folder));
    QCOMPARE(QDir::cleanPath(shell.appDir()), chosen);
    QCOMPARE(UserProgramFolder(), chosen);
    QVERIFY(shell.mainWindow()->isVisible());
    shell.mainWindow()->miMobanClick();
    QVERIFY(shell.mainWindow()->library(Library::Moban).tree.nodeCount() > 10);
    shell.mainWindow()->closeWithoutQuery();

    // The next start finds it and asks nothing.
    QuelmarShell again(QuelmarShell::programFolder(QString()), &m_prompter);
    again.setLoginStep(loginAs(QStringLiteral("Admin")));
    again.setFirstStartStep([&](const QString& proposal) {
        proposals << proposal;
        return QString();
    });
    QVERIFY(again.start());
    QCOMPARE(proposals.size(), 1);
    again.mainWindow()->closeWithoutQuery();
}

void TestFirstStart::givingUpEndsTheProgram()
{
    int logins = 0;
    QuelmarShell shell(m_home + QStringLiteral("/Quelmar"), &m_prompter);
    shell.setLoginStep([&](const QString&, TDataPoolDM&, TLoginInfo&) { return ++logins > 0; });
    shell.setFirstStartStep([](const QString&) { return QString(); });
    QVERIFY(!shell.start());
    QVERIFY(shell.ended());
    QCOMPARE(shell.exitStatus(), 0);
    QCOMPARE(logins, 0);
    QVERIFY(!shell.mainWindow());
    QVERIFY(errors.isEmpty());
    QVERIFY(!QFileInfo::exists(m_home + QStringLiteral("/Quelmar")));
    QVERIFY(!QFileInfo::exists(UserSettingsFile()));
}

void TestFirstStart::dialogCreatesOrOpens()
{
    const QString proposal = m_home + QStringLiteral("/Quelmar");
    {
        // "浏览(&B)..." chooses where the folder goes; it keeps its name.
        TFirstStartFrm dialog(m_prompter, proposal);
        QCOMPARE(dialog.folderEdit()->text(), proposal);
        m_prompter.files << m_tmp.path();
        dialog.browseButton()->click();
        QCOMPARE(dialog.folderEdit()->text(), m_tmp.path() + QStringLiteral("/Quelmar"));
    }
    {
        // A folder that holds something else: refused, nothing touched, the dialog stays.
        const QString used = m_home + QStringLiteral("/文档");
        QVERIFY(QDir().mkpath(used));
        QFile(used + QStringLiteral("/a.txt")).open(QIODevice::WriteOnly);
        TFirstStartFrm dialog(m_prompter, used);
        dialog.createButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(m_prompter.messages(QStringLiteral("error")).size(), 1);
        QCOMPARE(QDir(used).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList(QStringLiteral("a.txt")));
        // A relative path is not taken either.
        dialog.folderEdit()->setText(QStringLiteral("Quelmar"));
        dialog.createButton()->click();
        QCOMPARE(m_prompter.messages(QStringLiteral("warning")).size(), 1);
        QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("Quelmar/vesk.mdb"))));

        // "~/" is the home folder: the folder is made with the sample template and the dialog closes on it.
        dialog.folderEdit()->setText(QStringLiteral("~/Quelmar"));
        dialog.createButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QDir::cleanPath(dialog.folder()), proposal);
        CheckInstallation(proposal);
        QVERIFY(m_prompter.messages(QStringLiteral("information")).value(0).contains(QStringLiteral("Admin")));
        QCOMPARE(m_prompter.busyDepth, 0);
    }
    {
        // "打开已有的程序目录(&O)...": a folder without a database is refused, a program folder taken.
        TFirstStartFrm dialog(m_prompter, m_home + QStringLiteral("/other"));
        m_prompter.files << m_home << proposal;
        dialog.openButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_prompter.messages(QStringLiteral("warning")).last().contains(QStringLiteral("vesk.mdb")));
        dialog.openButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.folder(), proposal);
        // "退出(&X)" gives up.
        TFirstStartFrm quit(m_prompter, proposal);
        quit.quitButton()->click();
        QCOMPARE(quit.result(), int(QDialog::Rejected));
        QCOMPARE(quit.folder(), QString());
    }
}

void TestFirstStart::qtTextsInChinese()
{
    const QString file = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm");
    if (!QFileInfo::exists(file))
        QSKIP("Qt's translations (qt6-translations-l10n) are not installed");
    QCOMPARE(QFileInfo(QuelmarApplication::installQtTranslation()).canonicalFilePath(), QFileInfo(file).canonicalFilePath());
    // Installing again changes nothing.
    QCOMPARE(QFileInfo(QuelmarApplication::installQtTranslation()).canonicalFilePath(), QFileInfo(file).canonicalFilePath());

    QMessageBox box(QMessageBox::Question, QStringLiteral("Quelmar"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QVERIFY2(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")), qPrintable(box.button(QMessageBox::Yes)->text()));
    QVERIFY(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
    // The standard dialogs' own texts.
    for (const auto& [context, text] : {std::pair{"QFileDialog", "&Open"}, std::pair{"QPrintDialog", "Print"},
                                        std::pair{"QColorDialog", "Select Color"}, std::pair{"QFontDialog", "Select Font"}}) {
        const QString translated = QCoreApplication::translate(context, text);
        QVERIFY2(translated != QLatin1String(text), context);
    }
}

void TestFirstStart::openingAFile()
{
    const QString dir = m_home + QStringLiteral("/Quelmar");
    const AppPaths p = CreateSampleProgramFolder(dir, InstalledSkeletonFolder());
    CliRun r = runQuelmarCli({QStringLiteral("--dir"), dir, QStringLiteral("new-project"), QStringLiteral("2"), QStringLiteral("示例工程")});
    QCOMPARE(r.exitCode, 0);
    r = runQuelmarCli({QStringLiteral("--dir"), dir, QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("Li"),
                       QStringLiteral("--type"), QStringLiteral("0")});
    QCOMPARE(r.exitCode, 0);
    const QString templateFile = firstTableFile(p.SysTablesDir);
    const QString projectFile = firstTableFile(p.ProTablesDir);
    QVERIFY(!templateFile.isEmpty() && !projectFile.isEmpty());

    const auto selectedFile = [](TMainFrm* main, Library lib) {
        const QModelIndex node = main->selectedNode(lib);
        return node.isValid() ? QFileInfo(main->nodeFilePath(lib, main->library(lib).tree.record(node))).canonicalFilePath()
                              : QString();
    };

    // Started on a template's form: after the login the template page shows its node.
    {
        QuelmarShell shell(dir, &m_prompter);
        shell.setLoginStep(loginAs(QStringLiteral("Admin")));
        shell.setFileToOpen(templateFile);
        QVERIFY(shell.start());
        TMainFrm* main = shell.mainWindow();
        QTRY_VERIFY(main->isTemplatePageCurrent());
        QCOMPARE(selectedFile(main, Library::Moban), QFileInfo(templateFile).canonicalFilePath());

        // A project's form (named through a detour): the project page, its node.
        main->OpenFileArgument(p.ProTablesDir + QStringLiteral("../ProTables/") + QDir(p.ProTablesDir).relativeFilePath(projectFile));
        QVERIFY(!main->isTemplatePageCurrent());
        QCOMPARE(selectedFile(main, Library::ZiLiao), QFileInfo(projectFile).canonicalFilePath());
        QVERIFY(m_prompter.messages(QStringLiteral("information")).isEmpty());

        // What cannot be opened.
        QVERIFY(failureMessage([&] { main->OpenFileArgument(dir + QStringLiteral("/none.gc")); }).contains(QStringLiteral("不存在")));
        QVERIFY(failureMessage([&] { main->OpenFileArgument(p.ReadmeFile); }).contains(QStringLiteral("不能打开")));
        main->closeWithoutQuery();
    }
    // A standard user sees neither the template library nor another user's project.
    {
        QuelmarShell shell(dir, &m_prompter);
        shell.setLoginStep(loginAs(QStringLiteral("Li")));
        QVERIFY(shell.start());
        TMainFrm* main = shell.mainWindow();
        main->OpenFileArgument(templateFile);
        QVERIFY(!main->isTemplatePageCurrent());
        QVERIFY(m_prompter.messages(QStringLiteral("information")).value(0).contains(QStringLiteral("只有高级用户")));
        main->OpenFileArgument(projectFile);
        QVERIFY(m_prompter.messages(QStringLiteral("information")).value(1).contains(QStringLiteral("不在您能看到的")));
        main->closeWithoutQuery();
    }
}

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
