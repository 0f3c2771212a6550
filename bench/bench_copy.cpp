// Copy, move and archive of large subtrees, each against a floor of the same file work and the same rows written in
// one SQLite transaction:
//   1. a 1,000-node project (300 forms with table files) copied as a new project   vs cp of the 300 files + 1,000
//      node rows and 300 header-fill rows inserted;
//   2. a 500-node division (150 forms) moved into another project, every file relocated   vs mv of the 150 files +
//      500 node rows updated;
//   3. the 1,000-node project archived (rows only)   vs 1,000 archive rows inserted.
// The operations run as quelmar-cli runs them (libraries loaded, a scripted prompter). Prints the times and ratios.

#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "trees/LibraryData.h"
#include "trees/NodeCopy.h"
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

constexpr int kProjectDir = 1;
constexpr int kOtherDir = 2;
constexpr int kProject = 2;
constexpr int kOtherProject = 3;
constexpr int kDivisionA = 4;
constexpr int kArchiveCategory = 3;

// Project 2 (folder 1): two divisions of 500 and 499 nodes, each 50 data categories with 3 sub-items (table files)
// and empty sub-categories; project 3 (folder 2) empty; an archive cabinet with one category.
void buildProjects(TDataPoolDM& dm, const AppPaths& paths)
{
    const QString folder = paths.ZiLiaoFolderPath(kProjectDir);
    QDir().mkpath(folder);
    QDir().mkpath(paths.ZiLiaoFolderPath(kOtherDir));
    bench::WriteForm(folder + QStringLiteral("1.cll"));
    for (int f = 2; f <= 300; ++f)
        QFile::copy(folder + QStringLiteral("1.cll"), folder + QStringLiteral("%1.cll").arg(f));

    QSqlDatabase db = dm.database();
    db.transaction();
    QSqlQuery node(db);
    node.prepare(QStringLiteral("INSERT INTO ZiLiao (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, "
                                "Ext, FillMode, UserID) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 'Admin')"));
    QSqlQuery fill(db);
    fill.prepare(QStringLiteral("INSERT INTO HeadingFillRange (ID, BeFilled1, Row1, Col1) VALUES (?, 1, '3', 'C')"));
    QSqlQuery gk(db);
    int key = kProject;
    const auto add = [&](int part, const QString& name, int type, int parent, int dir, int file) {
        node.addBindValue(part);
        node.addBindValue(key);
        node.addBindValue(name);
        node.addBindValue(type);
        node.addBindValue(parent);
        node.addBindValue(dir);
        node.addBindValue(file);
        node.addBindValue(file ? QStringLiteral(".cll") : QString());
        node.addBindValue(file ? file : 0);
        node.exec();
        if (file) {
            fill.addBindValue(file);
            fill.exec();
        }
        return key++;
    };
    add(0, QStringLiteral("大工程"), 1, 0, kProjectDir, 0);
    add(1, QStringLiteral("空工程"), 1, 0, kOtherDir, 0);
    gk.exec(QStringLiteral("INSERT INTO gcgk (ID) VALUES (1)"));
    gk.exec(QStringLiteral("INSERT INTO gcgk (ID) VALUES (2)"));
    gk.exec(QStringLiteral("UPDATE ZiLiao SET iPartIndex = 2 WHERE ItemID = 1"));
    int file = 1;
    for (int d = 0; d < 2; ++d) {
        const int division = add(d, QStringLiteral("分部%1").arg(d), 3, kProject, kProjectDir, 0);
        int nodes = 1;
        const int wanted = d == 0 ? 500 : 499;
        QList<int> categories;
        for (int c = 0; c < 50; ++c, ++nodes)
            categories << add(c, QStringLiteral("分类%1-%2").arg(d).arg(c), 4, division, kProjectDir, 0);
        QList<int> children(categories.size(), 0);
        for (int c = 0; c < categories.size(); ++c)
            for (int n = 0; n < 3; ++n, ++nodes, ++file)
                add(children[c]++, QStringLiteral("分项%1").arg(file), 5, categories.at(c), kProjectDir, file);
        for (int c = 0; nodes < wanted; c = (c + 1) % int(categories.size()), ++nodes)
            add(children[c]++, QStringLiteral("子分类%1").arg(nodes), 4, categories.at(c), kProjectDir, 0);
    }
    QSqlQuery archive(db);
    archive.exec(QStringLiteral("INSERT INTO GuiDang (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, "
                                "Ext, FillMode, UserID) VALUES (0, 2, '柜', 1, 0, 0, 0, '', 0, 'Admin')"));
    archive.exec(QStringLiteral("INSERT INTO GuiDang (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, "
                                "Ext, FillMode, UserID) VALUES (0, 3, '类', 2, 2, 0, 0, '', 0, 'Admin')"));
    db.commit();
}

// The floor: the files with cp or mv, and `rows` inserts (or updates) in one transaction of a copy of the database.
double timeFloor(const QString& dbCopy, const QString& tool, const QStringList& files, const QString& target,
                 int rows, int fillRows, bool update, int run)
{
    QElapsedTimer t;
    t.start();
    if (!files.isEmpty()) {
        QDir().mkpath(target);
        QProcess::execute(tool, QStringList(files) << target);
    }
    const QString name = QStringLiteral("floor%1").arg(run);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbCopy);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        db.transaction();
        QSqlQuery q(db);
        if (update)
            q.prepare(QStringLiteral("UPDATE ZiLiao SET P_ItemID = ?, iDir = ?, File_Name = ? WHERE ItemID = ?"));
        else
            q.prepare(QStringLiteral("INSERT INTO ZiLiao (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, "
                                     "Ext, FillMode, UserID) VALUES (?, ?, ?, 4, ?, 9, ?, '.cll', ?, 'Admin')"));
        QSqlQuery fill(db);
        fill.prepare(QStringLiteral("INSERT INTO HeadingFillRange (ID) VALUES (?)"));
        const int base = 100000 * (run + 1);
        for (int i = 0; i < rows; ++i) {
            if (update) {
                q.addBindValue(kOtherProject);
                q.addBindValue(kOtherDir);
                q.addBindValue(i);
                q.addBindValue(kDivisionA + i);
            } else {
                q.addBindValue(i);
                q.addBindValue(base + i);
                q.addBindValue(QStringLiteral("条目%1").arg(i));
                q.addBindValue(base + i / 10);
                q.addBindValue(i);
                q.addBindValue(i < fillRows ? base + i : 0);
            }
            q.exec();
            if (i < fillRows) {
                fill.addBindValue(base + i);
                fill.exec();
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return bench::Ms(t);
}

struct Figures {
    double best = 1e18;
    double floor = 1e18;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    const AppPaths paths = CreateProgramFolder(tmp.path() + QStringLiteral("/app"));
    const QString dbCopy = tmp.path() + QStringLiteral("/floor.mdb");
    Figures copy, move, archive;
    {
        TDataPoolDM dm(paths.DatabaseFile);
        buildProjects(dm, paths);
        QFile::copy(paths.DatabaseFile, dbCopy);
        TLoginInfo login{QStringLiteral("Admin"), 1};
        ScriptedPrompter prompter;
        LibraryData ziLiao(Library::ZiLiao);
        LibraryData guiDang(Library::GuiDang);
        ziLiao.load(dm, login.opName);
        guiDang.load(dm, login.opName);
        const NodeOpsContext zctx{ziLiao, dm, paths, login, prompter};
        const NodeOpsContext gctx{guiDang, dm, paths, login, prompter};

        const QString from = paths.ProTablesDir + QStringLiteral("floormove/");
        QDir().mkpath(from);
        for (int f = 1; f <= 150; ++f)
            QFile::copy(paths.ZiLiaoFolderPath(kProjectDir) + QStringLiteral("1.cll"), from + QStringLiteral("%1.cll").arg(f));

        constexpr int runs = 5;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer t;
            t.start();
            const QModelIndex project = ziLiao.tree.indexOfItem(kProject);
            SubtreeOps(zctx).CopySubtreeAsChild(project, ziLiao.tree.index(0, 0));
            const double c = bench::Ms(t);
            // The project's 300 files where they are now (after an odd run its first division is in project 3).
            QStringList projectForms;
            for (const int dir : {kProjectDir, kOtherDir})
                for (const QString& name : QDir(paths.ZiLiaoFolderPath(dir)).entryList({QStringLiteral("*.cll")}, QDir::Files))
                    projectForms << paths.ZiLiaoFolderPath(dir) + name;
            const double cf = timeFloor(dbCopy, QStringLiteral("cp"), projectForms,
                                        paths.ProTablesDir + QStringLiteral("floorcopy%1/").arg(run), 1000, 300, false,
                                        run);
            std::printf("run %d: copy of the project %.1f ms, floor %.1f ms\n", run + 1, c, cf);
            copy.best = std::min(copy.best, c);
            copy.floor = std::min(copy.floor, cf);

            // The division goes to the other project and, next run, back: every run relocates its 150 files.
            t.restart();
            const QModelIndex division = ziLiao.tree.indexOfItem(kDivisionA);
            const int to = run % 2 == 0 ? kOtherProject : kProject;
            SubtreeOps(zctx).MoveSubtree(division, ziLiao.tree.indexOfItem(to), DropPlace::Child);
            const double m = bench::Ms(t);
            // The floor moves as many files from one folder to another (and back, untimed).
            QStringList moving;
            for (int f = 1; f <= 150; ++f)
                moving << from + QStringLiteral("%1.cll").arg(f);
            const QString there = paths.ProTablesDir + QStringLiteral("floormoved/");
            const double mf = timeFloor(dbCopy, QStringLiteral("mv"), moving, there, 500, 0, true, 100 + run);
            for (int f = 1; f <= 150; ++f)
                QFile::rename(there + QStringLiteral("%1.cll").arg(f), from + QStringLiteral("%1.cll").arg(f));
            std::printf("run %d: move of the division %.1f ms, floor %.1f ms\n", run + 1, m, mf);
            move.best = std::min(move.best, m);
            move.floor = std::min(move.floor, mf);

            t.restart();
            ArchiveSubtree(gctx, ziLiao.tree, ziLiao.tree.indexOfItem(kProject), guiDang.tree.indexOfItem(kArchiveCategory),
                           DropPlace::Child);
            const double a = bench::Ms(t);
            const double af = timeFloor(dbCopy, QString(), {}, QString(), 1000, 0, false, 200 + run);
            std::printf("run %d: archiving the project %.1f ms, floor %.1f ms\n", run + 1, a, af);
            archive.best = std::min(archive.best, a);
            archive.floor = std::min(archive.floor, af);
        }
    }
    std::printf("project: 1,000 nodes, 300 forms; division: 500 nodes, 150 forms\n");
    std::printf("copy as a new project: best %.1f ms, floor %.1f ms, ratio %.2fx\n", copy.best, copy.floor,
                copy.best / copy.floor);
    std::printf("move into another project: best %.1f ms, floor %.1f ms, ratio %.2fx\n", move.best, move.floor,
                move.best / move.floor);
    std::printf("archiving: best %.1f ms, floor %.1f ms, ratio %.2fx\n", archive.best, archive.floor,
                archive.best / archive.floor);
    return 0;
}
