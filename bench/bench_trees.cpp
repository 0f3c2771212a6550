// Loading a large project library: 100 projects × 10 divisions × 20 sub-items × 10 forms (about 220,000 rows).
// Prints the time of the fetch, of the tree build and of the first apply, as a log-in would run them.

#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "trees/LibraryData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    const AppPaths paths = CreateProgramFolder(tmp.path());
    TDataPoolDM dm(paths.DatabaseFile);

    QElapsedTimer t;
    t.start();
    {
        QSqlDatabase db = dm.database();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO ZiLiao (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, "
                                 "Ext, FillMode, UserID) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, 'Admin')"));
        int key = 2;
        const auto add = [&](int part, const QString& name, int type, int parent, int dir, int file) {
            q.addBindValue(part);
            q.addBindValue(key);
            q.addBindValue(name);
            q.addBindValue(type);
            q.addBindValue(parent);
            q.addBindValue(dir);
            q.addBindValue(file);
            q.addBindValue(file ? QStringLiteral(".cll") : QString());
            q.exec();
            return key++;
        };
        for (int p = 0; p < 100; ++p) {
            const int project = add(p, QStringLiteral("工程%1").arg(p), 1, 0, p + 1, 0);
            int file = 1;
            for (int d = 0; d < 10; ++d) {
                const int division = add(d, QStringLiteral("分部%1").arg(d), 3, project, p + 1, 0);
                for (int s = 0; s < 20; ++s) {
                    const int sub = add(s, QStringLiteral("分项%1").arg(s), 5, division, p + 1, file++);
                    for (int f = 0; f < 10; ++f)
                        add(f, QStringLiteral("表格%1").arg(f), 6, sub, p + 1, file++);
                }
            }
        }
        db.commit();
        std::printf("rows written: %d in %lld ms\n", key - 2, t.elapsed());
    }

    LibraryData lib(Library::ZiLiao);
    t.restart();
    lib.rows.load(dm.GetZiLiaoData(QStringLiteral("admin")));
    std::printf("fetch:       %lld ms\n", t.elapsed());
    t.restart();
    BuildTree(lib.tree, lib.rows, QModelIndex(), -1);
    std::printf("tree build:  %lld ms (%d nodes)\n", t.elapsed(), lib.tree.nodeCount());
    t.restart();
    int visited = 0;
    lib.tree.forEachPreOrder([&](const QModelIndex&, int) { ++visited; });
    std::printf("pre-order:   %lld ms (%d nodes)\n", t.elapsed(), visited);
    t.restart();
    lib.rows.setValue(lib.rows.find(5), QStringLiteral("Name"), QStringLiteral("改名"));
    lib.applyUpdates(dm, QStringLiteral("Admin"));
    std::printf("one apply:   %lld ms\n", t.elapsed());
    return 0;
}
