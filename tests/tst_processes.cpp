// Several programs on one program folder, and programs killed half-way: writers wait for each other instead of
// colliding, every operation either happened or reported a clear message, and a kill at any write step leaves the
// folder as it was before the operation or as the operation finished it, once the next program has started.
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/WorkJournal.h"
#include "support/FolderState.h"
#include "support/TestDatabase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace {

bool copyFolder(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
        if (it.fileInfo().isDir() ? !QDir().mkpath(target) : !QFile::copy(path, target))
            return false;
    }
    return true;
}

QList<QVariantList> query(const QString& appDir, const QString& sql)
{
    TDataPoolDM dm(ProgramDatabase(AppPaths::forDir(appDir)));
    QSqlQuery q(dm.database());
    q.exec(sql);
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList r;
        for (int i = 0; i < q.record().count(); ++i)
            r << q.value(i);
        rows << r;
    }
    return rows;
}

// The first sub-item (TypeID 5) of the project library, from the CLI's tree.
int firstOfKind(const QJsonArray& nodes, int typeId)
{
    for (const QJsonValue& v : nodes) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("TypeID")).toInt() == typeId)
            return o.value(QStringLiteral("ItemID")).toInt();
        const int inner = firstOfKind(o.value(QStringLiteral("children")).toArray(), typeId);
        if (inner > 0)
            return inner;
    }
    return 0;
}

// Every node of the kind, in pre-order.
void allOfKind(const QJsonArray& nodes, int typeId, QList<int>& found)
{
    for (const QJsonValue& v : nodes) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("TypeID")).toInt() == typeId)
            found << o.value(QStringLiteral("ItemID")).toInt();
        allOfKind(o.value(QStringLiteral("children")).toArray(), typeId, found);
    }
}

int templateId(const QString& dir)
{
    const CliRun r = runQuelmarCli({QStringLiteral("--dir"), dir, QStringLiteral("--json"), QStringLiteral("tree"),
                                    QStringLiteral("template")});
    return firstOfKind(QJsonDocument::fromJson(r.out.toUtf8()).array(), 9);
}

} // namespace

class TstProcesses : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_pristine = m_tmp.filePath(QStringLiteral("pristine"));
        CliRun r = runQuelmarCli({QStringLiteral("init"), m_pristine, QStringLiteral("--sample")});
        QCOMPARE(r.exitCode, 0);
        m_template = templateId(m_pristine);
        QVERIFY(m_template > 0);
        r = runQuelmarCli({QStringLiteral("--dir"), m_pristine, QStringLiteral("new-project"),
                           QString::number(m_template), QStringLiteral("工程甲")});
        QCOMPARE(r.exitCode, 0);
    }

    void killAtEveryStep_data()
    {
        QTest::addColumn<QStringList>("prepare");
        QTest::addColumn<QStringList>("command");
        QTest::newRow("new project") << QStringList()
                                     << QStringList{QStringLiteral("new-project"), QStringLiteral("TEMPLATE"),
                                                    QStringLiteral("工程乙")};
        // Emptying the bin removes files after the commit: a kill there must finish the removal, not undo it.
        QTest::newRow("empty the bin") << QStringList{QStringLiteral("delete"), QStringLiteral("project"),
                                                      QStringLiteral("PROJECT"), QStringLiteral("--yes")}
                                       << QStringList{QStringLiteral("empty-bin"), QStringLiteral("project"),
                                                      QStringLiteral("--yes")};
        // A division moved into another project takes its files along into that project's folder.
        QTest::newRow("move into another project")
            << QStringList{QStringLiteral("new-project"), QStringLiteral("TEMPLATE"), QStringLiteral("工程乙")}
            << QStringList{QStringLiteral("move"), QStringLiteral("project"), QStringLiteral("DIVISION"),
                           QStringLiteral("PROJECT2"), QStringLiteral("child")};
    }

    void killAtEveryStep()
    {
        // Each step works on a copy of the folder, database included: a file of its own.
        QUELMAR_SQLITE_ONLY();
        QFETCH(QStringList, prepare);
        QFETCH(QStringList, command);
        const QString base = m_tmp.filePath(QStringLiteral("kill-base-") + QTest::currentDataTag());
        QVERIFY(copyFolder(m_pristine, base));
        const auto expand = [&](QStringList args, const QString& dir) {
            const QJsonArray nodes =
                QJsonDocument::fromJson(runQuelmarCli({QStringLiteral("--dir"), dir, QStringLiteral("--json"),
                                                       QStringLiteral("tree"), QStringLiteral("project")})
                                            .out.toUtf8())
                    .array();
            QList<int> projects, divisions;
            allOfKind(nodes, 1, projects);
            allOfKind(nodes, 3, divisions);
            args.replaceInStrings(QStringLiteral("TEMPLATE"), QString::number(m_template));
            args.replaceInStrings(QStringLiteral("PROJECT2"), QString::number(projects.value(1)));
            args.replaceInStrings(QStringLiteral("PROJECT"), QString::number(projects.value(0)));
            args.replaceInStrings(QStringLiteral("DIVISION"), QString::number(divisions.value(0)));
            return QStringList{QStringLiteral("--dir"), dir} + args;
        };
        if (!prepare.isEmpty())
            QCOMPARE(runQuelmarCli(expand(prepare, base)).exitCode, 0);
        const QString before = ProgramFolderState(base);

        // What the operation leaves when nothing stops it.
        const QString done = m_tmp.filePath(QStringLiteral("kill-done-") + QTest::currentDataTag());
        QVERIFY(copyFolder(base, done));
        QCOMPARE(runQuelmarCli(expand(command, done)).exitCode, 0);
        const QString after = ProgramFolderState(done);
        QVERIFY(after != before);

        int killed = 0;
        for (int step = 1;; ++step) {
            const QString dir = m_tmp.filePath(QStringLiteral("kill-%1-%2").arg(QTest::currentDataTag()).arg(step));
            QVERIFY(copyFolder(base, dir));
            const CliRun r = runQuelmarCli(expand(command, dir), QString(),
                                           {QStringLiteral("QUELMAR_KILL_AT=%1").arg(step)});
            if (!r.killed) {
                QCOMPARE(r.exitCode, 0);
                QCOMPARE(ProgramFolderState(dir), after);
                break;
            }
            ++killed;
            // The next program to start clears what the killed one left.
            QCOMPARE(runQuelmarCli({QStringLiteral("--dir"), dir, QStringLiteral("tree"), QStringLiteral("project")})
                         .exitCode,
                     0);
            QVERIFY(!WorkJournal::HasJournals(dir));
            const QString state = ProgramFolderState(dir);
            if (state != before && state != after)
                QFAIL(qPrintable(QStringLiteral("killed at step %1: the folder is neither as before nor as after").arg(step)));
            QDir(dir).removeRecursively();
        }
        QVERIFY(killed > 3);
    }

    // Four programs make 30 inspection forms each under one sub-item at once.
    void parallelWriters()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("parallel"));
        QVERIFY(copyFolder(m_pristine, dir));
        const CliRun tree = runQuelmarCli({QStringLiteral("--dir"), dir, QStringLiteral("--json"), QStringLiteral("tree"),
                                           QStringLiteral("project")});
        const int subItem = firstOfKind(QJsonDocument::fromJson(tree.out.toUtf8()).array(), 5);
        QVERIFY(subItem > 0);
        constexpr int writers = 4;
        constexpr int each = 30;
        QList<QList<CliRun>> runs(writers);
        std::vector<std::thread> threads;
        for (int w = 0; w < writers; ++w)
            threads.emplace_back([&, w] {
                for (int i = 0; i < each; ++i)
                    runs[w].append(runQuelmarCli({QStringLiteral("--dir"), dir, QStringLiteral("new"),
                                                  QStringLiteral("project"), QString::number(subItem),
                                                  QStringLiteral("6"), QStringLiteral("表%1-%2").arg(w).arg(i)}));
            });
        for (std::thread& t : threads)
            t.join();

        QSet<int> reported;
        int failed = 0;
        for (const QList<CliRun>& list : std::as_const(runs))
            for (const CliRun& r : list) {
                if (r.exitCode == 0) {
                    reported.insert(r.out.trimmed().toInt());
                    continue;
                }
                ++failed;
                // A failure is a clear message in Chinese, never the engine's raw words.
                QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("请稍后再试")), qPrintable(r.err));
            }
        const QList<QVariantList> forms = query(
            dir, QStringLiteral("SELECT ItemID, iDir, File_Name, Ext, FillMode FROM ZiLiao WHERE TypeID = 6 AND P_ItemID = %1")
                     .arg(subItem));
        QCOMPARE(int(forms.size()), writers * each - failed);
        QSet<int> keys;
        QSet<int> files;
        QSet<int> fills;
        for (const QVariantList& f : forms) {
            keys.insert(f.at(0).toInt());
            files.insert(f.at(2).toInt());
            fills.insert(f.at(4).toInt());
            const QString path = QStringLiteral("%1/ProTables/%2/%3%4").arg(dir).arg(f.at(1).toInt()).arg(f.at(2).toInt()).arg(f.at(3).toString());
            QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        }
        QCOMPARE(keys, reported);
        QCOMPARE(int(files.size()), int(forms.size()));
        QCOMPARE(int(fills.size()), int(forms.size()));
        // Every header-fill record belongs to a node, and every node's record is there.
        QCOMPARE(query(dir, QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange WHERE ID NOT IN (SELECT FillMode FROM ZiLiao) "
                                           "AND ID NOT IN (SELECT FillMode FROM Moban)"))
                     .first()
                     .first()
                     .toInt(),
                 0);
        QCOMPARE(query(dir, QStringLiteral("SELECT COUNT(*) FROM ZiLiao WHERE TypeID IN (5, 6, 7, 11) "
                                           "AND FillMode NOT IN (SELECT ID FROM HeadingFillRange)"))
                     .first()
                     .first()
                     .toInt(),
                 0);
        // No file in the project's folder without a row.
        const int projectDir = forms.isEmpty() ? 0 : forms.first().at(1).toInt();
        const QStringList onDisk = QDir(QStringLiteral("%1/ProTables/%2").arg(dir).arg(projectDir)).entryList(QDir::Files);
        const QList<QVariantList> all = query(dir, QStringLiteral("SELECT File_Name, Ext FROM ZiLiao WHERE iDir = %1 AND File_Name > 0").arg(projectDir));
        QCOMPARE(int(onDisk.size()), int(all.size()));
    }

private:
    QTemporaryDir m_tmp;
    QString m_pristine;
    int m_template = 0;
};

QTEST_GUILESS_MAIN(TstProcesses)
#include "tst_processes.moc"
