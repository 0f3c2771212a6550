// Exchange and backup speed:
//   - export and import of a 1,000-node project (300 forms with table files) against a floor of `gcab -c -z -n`
//     creating (and `gcab -x` extracting, into the program's Temp folder as the import does) the same files plus the
//     same rows written in one SQLite transaction;
//   - backup of an installation with 10,000 forms against `tar cf` of the same program folder.
// Prints each time, the floor and their ratio (the goal: within 2x). `bench_exchange packages` or `bench_exchange backup`
// runs one half only (for profiling).

#include "core/ScriptedPrompter.h"
#include "exchange/Backup.h"
#include "exchange/Package.h"
#include "projects/NewProject.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "trees/LibraryData.h"
#include "support/BenchSupport.h"
#include "users/Login.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kTemplateDir = 1;
constexpr int kItems = 1000;
constexpr int kForms = 300;
constexpr int kBackupForms = 10000;

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (!only.isEmpty() && only != QLatin1String("packages") && only != QLatin1String("backup")) {
        std::fprintf(stderr, "usage: bench_exchange [packages|backup]\n");
        return 2;
    }
    QTemporaryDir tmp;
    const AppPaths paths = CreateProgramFolder(tmp.path() + QStringLiteral("/app"));
    const QString work = tmp.path() + QStringLiteral("/work/");
    QDir().mkpath(work);
    TLoginInfo login{QStringLiteral("Admin"), 1};
    ScriptedPrompter prompter;
    double bestExport = 1e18, bestImport = 1e18, floorCreate = 1e18, floorExtract = 1e18;
    if (only != QLatin1String("backup")) {
        TDataPoolDM dm(paths.DatabaseFile);
        bench::BuildTemplate(dm, paths, {kTemplateDir, kItems, kForms, 1});
        LibraryData ziLiao(Library::ZiLiao);
        ziLiao.load(dm, login.opName);
        NodeOpsContext ctx{ziLiao, dm, paths, login, prompter};
        const QModelIndex project =
            CreateProjectFromTemplate(ctx, QStringLiteral("工程"), WizardResultFor(dm, 2, QStringLiteral("工程"), {}));
        const NodeRecord p = ziLiao.tree.record(project);
        const QString folder = paths.ZiLiaoFolderPath(p.iDir);
        QStringList files;
        for (const QString& f : QDir(folder).entryList(QDir::Files))
            files << folder + f;

        for (int run = 0; run < 3; ++run) {
            const QString pkg = work + QStringLiteral("p%1.gc").arg(run);
            QElapsedTimer t;
            t.start();
            ExportSubtreeTo(ctx, project, pkg);
            const double e = bench::Ms(t);
            t.restart();
            ImportPackageFrom(ctx, ziLiao.tree.index(0, 0), pkg);
            const double i = bench::Ms(t);

            // Floor of the export: the rows into a package database in one transaction, gcab creating the cabinet.
            t.restart();
            const QString db = work + QStringLiteral("S%1.mdb").arg(run);
            QFile::copy(paths.BlankPackageFile, db);
            bench::InsertInOneTransaction(db, {QStringLiteral("bs"), QStringLiteral("hi"), 100000 * (run + 1), kItems, kForms});
            QProcess::execute(QStringLiteral("gcab"), QStringList{QStringLiteral("-c"), QStringLiteral("-z"),
                                                                  QStringLiteral("-n"), work + QStringLiteral("f%1.cab").arg(run), db} + files);
            const double fc = bench::Ms(t);
            // Floor of the import: gcab extracting into the program's Temp folder (emptied, as an import empties
            // it: on a file system that is slow to create files where many were just deleted — ext4 without a
            // journal scans for recently deleted inodes — a fresh folder elsewhere would be an unfair floor), the
            // rows into the main database in one transaction.
            t.restart();
            const QString out = paths.TempDir;
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            QProcess::execute(QStringLiteral("gcab"), {QStringLiteral("-x"), QStringLiteral("-C"), out,
                                                       work + QStringLiteral("f%1.cab").arg(run)});
            bench::InsertInOneTransaction(paths.DatabaseFile, {.base = 1000000 * (run + 1), .items = kItems, .forms = kForms});
            const double fx = bench::Ms(t);
            std::printf("run %d: export %.1f ms (gcab -c + rows %.1f ms), import %.1f ms (gcab -x + rows %.1f ms)\n",
                        run + 1, e, fc, i, fx);
            bestExport = std::min(bestExport, e);
            bestImport = std::min(bestImport, i);
            floorCreate = std::min(floorCreate, fc);
            floorExtract = std::min(floorExtract, fx);
        }
        std::printf("project: %d nodes, %d forms with table files\n", kItems, kForms);
        std::printf("export best %.1f ms, floor %.1f ms, ratio %.2fx\n", bestExport, floorCreate, bestExport / floorCreate);
        std::printf("import best %.1f ms, floor %.1f ms, ratio %.2fx\n", bestImport, floorExtract,
                    bestImport / floorExtract);
    }
    if (only == QLatin1String("packages"))
        return 0;

    // Backup: an installation with 10,000 forms (one folder per 100, rows in the project library).
    QTemporaryDir big;
    const AppPaths bigPaths = CreateProgramFolder(big.path() + QStringLiteral("/app"));
    {
        TDataPoolDM dm(bigPaths.DatabaseFile);
        const QString form = big.path() + QStringLiteral("/form.cll");
        bench::WriteForm(form);
        QSqlDatabase db = dm.database();
        db.transaction();
        QSqlQuery node(db);
        node.prepare(QStringLiteral("INSERT INTO ZiLiao (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, "
                                    "Ext, FillMode, UserID) VALUES (?, ?, ?, 6, 0, ?, ?, '.cll', ?, 'Admin')"));
        for (int i = 0; i < kBackupForms; ++i) {
            const int dir = 1 + i / 100, file = 1 + i % 100;
            if (file == 1)
                QDir().mkpath(bigPaths.ZiLiaoFolderPath(dir));
            QFile::copy(form, bigPaths.ZiLiaoFolderPath(dir) + QStringLiteral("%1.cll").arg(file));
            node.addBindValue(i);
            node.addBindValue(10 + i);
            node.addBindValue(QStringLiteral("表%1").arg(i));
            node.addBindValue(dir);
            node.addBindValue(file);
            node.addBindValue(10 + i);
            node.exec();
        }
        db.commit();
        double best = 1e18, tarBest = 1e18;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer t;
            t.start();
            CreateBackup(dm, bigPaths, big.path() + QStringLiteral("/b%1.qmb").arg(run), prompter);
            const double b = bench::Ms(t);
            t.restart();
            QProcess::execute(QStringLiteral("tar"), {QStringLiteral("cf"), big.path() + QStringLiteral("/t%1.tar").arg(run),
                                                      QStringLiteral("-C"), bigPaths.AppDir, QStringLiteral(".")});
            const double tr = bench::Ms(t);
            std::printf("run %d: backup %.1f ms, tar %.1f ms\n", run + 1, b, tr);
            best = std::min(best, b);
            tarBest = std::min(tarBest, tr);
        }
        std::printf("installation: %d forms; backup best %.1f ms, tar best %.1f ms, ratio %.2fx\n", kBackupForms, best,
                    tarBest, best / tarBest);
    }
    return 0;
}
