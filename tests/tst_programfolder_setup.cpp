// A new program folder for a user who has none: made all or nothing beside its place, copied from the installation's
// model folder (or made like `init --sample` when there is none); where the programs look for the model, for the
// user's folder and what the CLI says when there is no folder at all.
#include "projects/SampleFolder.h"
#include "projects/SampleTemplate.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "store/RowSet.h"
#include "store/UserFolder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <functional>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList templateNames(const AppPaths& p)
{
    TDataPoolDM dm(p.DatabaseFile);
    RowSet rows;
    rows.load(dm.GetMobanData());
    QStringList names;
    for (RowSet::RowId id : rows.rows())
        names << rows.value(id, QStringLiteral("Name")).toString();
    return names;
}

// Every entry below `dir`, relative, sorted (hidden ones too).
QStringList entriesBelow(const QString& dir)
{
    QStringList out;
    const QDir root(dir);
    const std::function<void(const QString&)> walk = [&](const QString& path) {
        for (const QFileInfo& e : QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            out << root.relativeFilePath(e.filePath());
            if (e.isDir())
                walk(e.filePath());
        }
    };
    walk(dir);
    out.sort();
    return out;
}

}  // namespace

class TestProgramFolderSetup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void copiesTheModelFolder();
    void refusesAndFailsWithoutTrace();
    void makesTheSampleWithoutModel();
    void findsTheInstalledModel();
    void userFolderAndCliDefaults();

private:
    QTemporaryDir m_tmp;
    QString m_model;   // a model folder as the build makes it (init --sample, journal and empty folders gone)
    QByteArray m_home;
    AppPaths m_copy;   // the first copy of the model
};

void TestProgramFolderSetup::initTestCase()
{
    m_home = qgetenv("HOME");
    m_model = m_tmp.path() + QStringLiteral("/model");
    CreateSampleProgramFolder(m_model, QString());   // as `init --sample` makes it
    QDir(m_model + QStringLiteral("/Journal")).removeRecursively();
    QDir().rmdir(m_model + QStringLiteral("/Temp"));
    QDir().rmdir(m_model + QStringLiteral("/ProTables"));
    // What a copy must leave out: the database engine's side files and a journal left behind.
    QDir().mkpath(m_model + QStringLiteral("/Journal"));
    QFile(m_model + QStringLiteral("/Journal/x.journal")).open(QIODevice::WriteOnly);
    QFile(m_model + QStringLiteral("/vesk.mdb-wal")).open(QIODevice::WriteOnly);
}

void TestProgramFolderSetup::cleanupTestCase()
{
    qputenv("HOME", m_home);
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("QUELMAR_DATA_DIR");
}

void TestProgramFolderSetup::copiesTheModelFolder()
{
    // Installed, the model is read-only for the user: his copy is his own.
    const auto setModelPermissions = [this](QFile::Permissions permissions) {
        for (const QString& f : entriesBelow(m_model))
            if (QFileInfo(m_model + QLatin1Char('/') + f).isFile())
                QFile::setPermissions(m_model + QLatin1Char('/') + f, permissions);
    };
    setModelPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

    // Parents that do not exist yet are made.
    const QString dir = m_tmp.path() + QStringLiteral("/home/clerk/Quelmar");
    const AppPaths p = CopyProgramFolder(m_model, dir);
    QCOMPARE(p.AppDir, dir + QLatin1Char('/'));
    CheckInstallation(dir);
    QStringList expected = entriesBelow(m_model);
    expected.removeAll(QStringLiteral("Journal"));
    expected.removeAll(QStringLiteral("Journal/x.journal"));
    expected.removeAll(QStringLiteral("vesk.mdb-wal"));
    expected << QStringLiteral("ProTables") << QStringLiteral("Temp");
    expected.sort();
    QCOMPARE(entriesBelow(dir), expected);
    QVERIFY(QFileInfo(p.DatabaseFile).isWritable());
    QVERIFY(QFileInfo(p.BlankTableFile).isWritable());
    // Nothing of the work stays beside it, and the copy works: the sample template is in its library.
    QCOMPARE(QDir(m_tmp.path() + QStringLiteral("/home/clerk")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList(QStringLiteral("Quelmar")));
    setModelPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    QVERIFY(templateNames(p).contains(SampleTemplateName()));
    m_copy = p;

    // An empty folder in its place is taken.
    const QString empty = m_tmp.path() + QStringLiteral("/empty");
    QVERIFY(QDir().mkpath(empty));
    CopyProgramFolder(m_model, empty);
    CheckInstallation(empty);
}

void TestProgramFolderSetup::refusesAndFailsWithoutTrace()
{
    // A folder that is not empty is never touched.
    const QString used = m_tmp.path() + QStringLiteral("/used");
    QVERIFY(QDir().mkpath(used));
    QFile(used + QStringLiteral("/letter.txt")).open(QIODevice::WriteOnly);
    QVERIFY(failureMessage([&] { CopyProgramFolder(m_model, used); }).contains(QStringLiteral("不是空文件夹")));
    QCOMPARE(entriesBelow(used), QStringList(QStringLiteral("letter.txt")));
    // A model without a database is no model.
    QVERIFY(failureMessage([&] { CopyProgramFolder(used, m_tmp.path() + QStringLiteral("/x")); }).contains(QStringLiteral("vesk.mdb")));
    QVERIFY(!QFileInfo::exists(m_tmp.path() + QStringLiteral("/x")));

    // A failure while the folder is made: the half-made folder and the parents made for it are gone, and a
    // retry works.
    const QString base = m_tmp.path() + QStringLiteral("/fail");
    QVERIFY(QDir().mkpath(base));
    const QString dir = base + QStringLiteral("/a/b/Quelmar");
    const QString message = failureMessage([&] {
        BuildProgramFolder(dir, [](const QString& folder) {
            CreateProgramFolder(folder);
            throw QuelmarError(QStringLiteral("磁盘已满"));
        });
    });
    QCOMPARE(message, QStringLiteral("磁盘已满"));
    QCOMPARE(entriesBelow(base), QStringList());
    CopyProgramFolder(m_model, dir);
    CheckInstallation(dir);
    QCOMPARE(QDir(base + QStringLiteral("/a/b")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList(QStringLiteral("Quelmar")));
}

void TestProgramFolderSetup::makesTheSampleWithoutModel()
{
    // Without a model folder the new folder is made here, as init --sample makes it.
    const QString dir = m_tmp.path() + QStringLiteral("/made");
    const AppPaths p = CreateSampleProgramFolder(dir, QString());
    CheckInstallation(dir);
    QVERIFY(templateNames(p).contains(SampleTemplateName()));
    QCOMPARE(templateNames(p), templateNames(m_copy));
    QCOMPARE(QDir(m_tmp.path()).entryList({QStringLiteral(".made*")}, QDir::AllEntries | QDir::Hidden), QStringList());
}

void TestProgramFolderSetup::findsTheInstalledModel()
{
    // The build puts the model beside the executables' folder, as the package puts it beside /usr/bin.
    qunsetenv("QUELMAR_DATA_DIR");
    const QString built = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quelmar"));
    QCOMPARE(InstalledDataDir(), built + QLatin1Char('/'));
    QCOMPARE(InstalledSkeletonFolder(), built + QStringLiteral("/skel/"));
    QVERIFY(QFileInfo(built + QStringLiteral("/skel/SysTables")).isDir());
    QVERIFY(!QFileInfo::exists(built + QStringLiteral("/skel/Journal")));

    // $QUELMAR_DATA_DIR names another; one without a model folder gives none.
    qputenv("QUELMAR_DATA_DIR", m_tmp.path().toLocal8Bit());
    QCOMPARE(InstalledDataDir(), m_tmp.path() + QLatin1Char('/'));
    QCOMPARE(InstalledSkeletonFolder(), QString());
    qputenv("QUELMAR_DATA_DIR", (m_tmp.path() + QStringLiteral("/none")).toLocal8Bit());
    QCOMPARE(InstalledDataDir(), QString());
    qunsetenv("QUELMAR_DATA_DIR");
}

void TestProgramFolderSetup::userFolderAndCliDefaults()
{
    const QString home = m_tmp.path() + QStringLiteral("/clerk");
    QVERIFY(QDir().mkpath(home));
    qputenv("HOME", home.toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(UserProgramFolder(), home + QStringLiteral("/Quelmar"));
    RememberUserProgramFolder(m_tmp.path() + QStringLiteral("/elsewhere/../work"));
    QCOMPARE(UserProgramFolder(), m_tmp.path() + QStringLiteral("/work"));
    QVERIFY(QFileInfo::exists(home + QStringLiteral("/.config/quelmar/quelmar.conf")));
    qputenv("XDG_CONFIG_HOME", (m_tmp.path() + QStringLiteral("/config")).toLocal8Bit());
    QCOMPARE(UserProgramFolder(), home + QStringLiteral("/Quelmar"));
    qunsetenv("XDG_CONFIG_HOME");
    QFile::remove(UserSettingsFile());

    // The CLI outside any program folder, the user having none: it says how to make one.
    const QStringList env{QStringLiteral("HOME=") + home};
    const QString elsewhere = m_tmp.path();
    CliRun r = runQuelmarCli({QStringLiteral("login")}, elsewhere, env);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("系统数据库文件不存在？")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("quelmar-cli init %1/Quelmar --sample").arg(home)), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("--dir")), qPrintable(r.err));

    // With the user's folder made, the CLI finds it from anywhere; a program folder as the current folder wins.
    CopyProgramFolder(m_model, home + QStringLiteral("/Quelmar"));
    r = runQuelmarCli({QStringLiteral("tree"), QStringLiteral("template")}, elsewhere, env);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains(SampleTemplateName()));
    const QString plain = m_tmp.path() + QStringLiteral("/plain");
    CreateProgramFolder(plain);
    r = runQuelmarCli({QStringLiteral("tree"), QStringLiteral("template")}, plain, env);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(!r.out.contains(SampleTemplateName()));
}

QTEST_GUILESS_MAIN(TestProgramFolderSetup)
#include "tst_programfolder_setup.moc"
