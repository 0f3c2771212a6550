// Several workstations on one set of libraries: two programs create, rename, move, recycle and purge nodes of the
// project library at the same time, and afterwards the libraries hold no duplicate numbers, no orphans and no
// file without its row, and every operation either happened or said clearly why not. Run on both engines (the
// suite's second run is on the PostgreSQL server); on the server also a connection cut off in the middle of a
// new project.
//
// The test runs itself as the workers: `tst_teamwork --worker DIR SEED COUNT`.
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "projects/NewProject.h"
#include "projects/SampleTemplate.h"
#include "store/DataPool.h"
#include "store/FaultPoint.h"
#include "store/FileLayout.h"
#include "store/WriteUnit.h"
#include "support/FolderState.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestDatabase.h"
#include "trees/NodeFiles.h"
#include "trees/NodeOps.h"
#include "users/Login.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

QList<QModelIndex> nodesOfKind(const LibraryTreeModel& tree, int typeId, bool inBin)
{
    QList<QModelIndex> out;
    tree.forEachPreOrder([&](const QModelIndex& index, int) {
        if (index.data(LibraryTreeModel::TypeIdRole).toInt() == typeId && IsInRecycleBin(tree, index) == inBin)
            out << index;
    });
    return out;
}

// One workstation: `count` operations chosen at random, each on the library as it was just read (another one
// changes it meanwhile). Prints "ok" or "failed<TAB>message" per operation.
int runWorker(const QString& dir, quint32 seed, int count)
{
    QTextStream out(stdout);
    const AppPaths paths = CheckInstallation(dir);
    TDataPoolDM dm(ProgramDatabase(paths));
    TLoginInfo login{QStringLiteral("Admin"), UserType::Advanced};
    ScriptedPrompter prompter;
    prompter.defaultYes = true;
    LibraryData data(Library::ZiLiao);
    QRandomGenerator random(seed);
    for (int i = 0; i < count; ++i) {
        try {
            data.load(dm, login.opName);
            NodeOps ops(NodeOpsContext{data, dm, paths, login, prompter});
            const auto pick = [&](const QList<QModelIndex>& from) {
                return from.isEmpty() ? QModelIndex() : from.at(int(random.bounded(quint32(from.size()))));
            };
            const QList<QModelIndex> forms = nodesOfKind(data.tree, 6, false);
            const quint32 what = random.bounded(100u);
            QModelIndex node;
            if (what < 40 || forms.size() < 4) {
                node = pick(nodesOfKind(data.tree, 5, false));
                if (node.isValid())
                    ops.CreateNode(6, node, QStringLiteral("表%1-%2").arg(seed).arg(i));
            } else if (what < 55) {
                node = pick(forms);
                ops.RenameNode(node, QStringLiteral("改%1-%2").arg(seed).arg(i));
            } else if (what < 70) {
                node = pick(forms);
                (what % 2 ? ops.MoveUp(node) : ops.MoveDown(node));
            } else if (what < 88) {
                node = pick(forms);
                ops.DeleteNode(node);   // into the bin
            } else {
                node = pick(nodesOfKind(data.tree, 6, true));
                if (node.isValid())
                    ops.DeleteNode(node);   // for good
            }
            out << "ok\n";
        } catch (const QuelmarError& e) {
            out << "failed\t" << QString(e.message()).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
        }
        out.flush();
    }
    return 0;
}

QList<QVariantList> rows(TDataPoolDM& dm, const QString& sql)
{
    QSqlQuery q(dm.database());
    if (!q.exec(sql))
        return {};
    QList<QVariantList> out;
    while (q.next()) {
        QVariantList r;
        for (int i = 0; i < q.record().count(); ++i)
            r << q.value(i);
        out << r;
    }
    return out;
}

int count(TDataPoolDM& dm, const QString& sql)
{
    const QList<QVariantList> r = rows(dm, sql);
    return r.isEmpty() ? -1 : r.first().first().toInt();
}

} // namespace

class TstTeamwork : public QObject {
    Q_OBJECT

private slots:
    void twoWorkstationsAtOnce()
    {
        ProgramFolderFixture f;
        AddSampleTemplate(f.dm(), f.paths());
        {
            ScriptedPrompter prompter;
            TLoginInfo login{QStringLiteral("Admin"), UserType::Advanced};
            LibraryData ziLiao(Library::ZiLiao);
            ziLiao.load(f.dm(), login.opName);
            const DataPacket result = WizardResultFor(f.dm(), 2, QStringLiteral("工程甲"), {});
            CreateProjectFromTemplate(NodeOpsContext{ziLiao, f.dm(), f.paths(), login, prompter}, QStringLiteral("工程甲"),
                                      result);
        }
        constexpr int perWorker = 500;
        QList<QProcess*> workers;
        for (int w = 0; w < 2; ++w) {
            auto* p = new QProcess(this);
            p->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--worker"), f.paths().AppDir, QString::number(w + 1), QString::number(perWorker)});
            workers << p;
        }
        int ok = 0;
        QStringList failures;
        for (QProcess* p : std::as_const(workers)) {
            QVERIFY(p->waitForFinished(300000));
            QCOMPARE(p->exitCode(), 0);
            const QStringList lines = QString::fromUtf8(p->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(int(lines.size()), perWorker);
            for (const QString& line : lines) {
                if (line == QLatin1String("ok"))
                    ++ok;
                else
                    failures << line.section(QLatin1Char('\t'), 1);
            }
        }
        // Every failure is said in Chinese, never as the engine's raw words alone.
        static const QRegularExpression chinese(QStringLiteral("^[\\x{4e00}-\\x{9fff}“]"));
        for (const QString& m : std::as_const(failures))
            QVERIFY2(chinese.match(m).hasMatch(), qPrintable(m));
        QVERIFY2(ok > perWorker, qPrintable(QStringLiteral("only %1 operations succeeded").arg(ok)));

        TDataPoolDM& dm = f.dm();
        // No two nodes share a file, no node lost its parent, no header-fill record lost its node or the other way.
        QCOMPARE(count(dm, QStringLiteral("SELECT COUNT(*) FROM (SELECT iDir, File_Name FROM ZiLiao WHERE File_Name > 0 "
                                          "GROUP BY iDir, File_Name HAVING COUNT(*) > 1) AS d")),
                 0);
        QCOMPARE(count(dm, QStringLiteral("SELECT COUNT(*) FROM ZiLiao c WHERE c.P_ItemID >= 0 AND NOT EXISTS "
                                          "(SELECT 1 FROM ZiLiao p WHERE p.ItemID = c.P_ItemID)")),
                 0);
        QCOMPARE(count(dm, QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange h WHERE NOT EXISTS "
                                          "(SELECT 1 FROM ZiLiao z WHERE z.FillMode = h.ID) AND NOT EXISTS "
                                          "(SELECT 1 FROM Moban m WHERE m.FillMode = h.ID)")),
                 0);
        QCOMPARE(count(dm, QStringLiteral("SELECT COUNT(*) FROM ZiLiao z WHERE z.TypeID IN (5, 6, 7, 11) AND NOT EXISTS "
                                          "(SELECT 1 FROM HeadingFillRange h WHERE h.ID = z.FillMode)")),
                 0);
        // Every form's file is there, and every file of the project's folder is a node's.
        QSet<QString> files;
        for (const QVariantList& r : rows(dm, QStringLiteral("SELECT iDir, File_Name, Ext FROM ZiLiao WHERE File_Name > 0"))) {
            const QString path = FileLayout::NodeFilePath(f.paths().ZiLiaoFolderPath(r.at(0).toInt()), r.at(1).toInt(), r.at(2).toString());
            QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
            files.insert(QFileInfo(path).absoluteFilePath());
        }
        QDirIterator it(f.paths().ProTablesDir, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QFileInfo(it.next()).absoluteFilePath();
            QVERIFY2(files.contains(path), qPrintable(QStringLiteral("a file without its row: ") + path));
        }
        if (WorkJournal::HasJournals(f.paths().AppDir)) {
            QDirIterator j(WorkJournal::FolderOf(f.paths().AppDir), QDir::Files);
            while (j.hasNext()) {
                QFile file(j.next());
                file.open(QIODevice::ReadOnly);
                qWarning() << file.fileName() << file.readAll();
            }
            QFAIL("a journal was left");
        }
        // The library loads as one tree.
        LibraryData check(Library::ZiLiao);
        check.load(dm, QStringLiteral("Admin"));
        int treeNodes = 0;
        check.tree.forEachPreOrder([&](const QModelIndex&, int) { ++treeNodes; });
        QCOMPARE(treeNodes, check.rows.totalCount());
    }

    // The connection to the server is cut off in the middle of a new project: the failure is told in Chinese, the
    // project is not there at all, and the next new project works.
    void serverGoneDuringNewProject()
    {
        if (!TestOnServer())
            QSKIP("needs the database server");
        ProgramFolderFixture f;
        AddSampleTemplate(f.dm(), f.paths());
        ScriptedPrompter prompter;
        TLoginInfo login{QStringLiteral("Admin"), UserType::Advanced};
        LibraryData ziLiao(Library::ZiLiao);
        ziLiao.load(f.dm(), login.opName);
        const DataPacket result = WizardResultFor(f.dm(), 2, QStringLiteral("工程甲"), {});
        const QString before = ProgramFolderState(f.paths().AppDir);
        int backend = 0;
        {
            QSqlQuery q(f.dm().database());
            QVERIFY(q.exec(QStringLiteral("SELECT pg_backend_pid()")) && q.next());
            backend = q.value(0).toInt();
        }
        TDataPoolDM killer(ProgramDatabase(f.paths()));
        FaultInjection::onEveryPoint([&](int step, const char*) {
            if (step == 20) {
                QSqlQuery q(killer.database());
                q.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend));
            }
        });
        QString message;
        try {
            CreateProjectFromTemplate(NodeOpsContext{ziLiao, f.dm(), f.paths(), login, prompter}, QStringLiteral("工程甲"), result);
        } catch (const QuelmarError& e) {
            message = e.message();
        }
        FaultInjection::onEveryPoint({});
        QVERIFY2(message.startsWith(QStringLiteral("与数据库服务器的连接中断")), qPrintable(message));
        QCOMPARE(ProgramFolderState(f.paths().AppDir), before);
        // Back again: the same project is made in full.
        QVERIFY(CreateProjectFromTemplate(NodeOpsContext{ziLiao, f.dm(), f.paths(), login, prompter},
                                          QStringLiteral("工程甲"), result)
                    .isValid());
        QVERIFY(ProgramFolderState(f.paths().AppDir) != before);
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("--worker"))
        return runWorker(args.at(2), args.at(3).toUInt(), args.at(4).toInt());
    TstTeamwork test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_teamwork.moc"
