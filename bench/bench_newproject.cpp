// New project from a template of 1,000 items, 300 of them forms with table files: the time of what
// `quelmar-cli new-project` runs (the wizard's result, loading the project library, creating the project), against
// a floor made of copying the same 300 files with cp and inserting the same rows (1,000 nodes, 300 header-fill
// records) in one SQLite transaction. Prints both and their ratio.

#include "cell/CellControl.h"
#include "core/ScriptedPrompter.h"
#include "projects/HeaderFill.h"
#include "projects/NewProject.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "trees/LibraryData.h"
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

// A form of the size of a real inspection record: 12 columns by 30 rows of text with borders and merges.
void writeForm(const QString& path)
{
    cell::CellControl c;
    c.ResetContent();
    c.SetCols(13, 0);
    c.SetRows(31, 0);
    c.MergeCells(1, 1, 12, 1);
    c.SetCellString(1, 1, 0, QStringLiteral("土方路基质量检验表"));
    for (int r = 3; r <= 30; ++r)
        for (int col = 1; col <= 3; ++col)
            c.SetCellString(col, r, 0, QStringLiteral("检查项目 %1-%2").arg(r).arg(col));
    c.DrawLine(1, 3, 12, 30, 0, 2, -1);
    c.SaveFile(path, 0);
}

// The template: root, 20 divisions, 100 data categories (5 per division), 300 sub-items (3 per category) and the
// rest empty sub-categories, written in one go.
void buildTemplate(TDataPoolDM& dm, const AppPaths& paths)
{
    QDir().mkpath(paths.MobanFolderPath(kTemplateDir));
    const QString first = paths.MobanFolderPath(kTemplateDir) + QStringLiteral("1.cll");
    writeForm(first);
    for (int f = 2; f <= kForms; ++f)
        QFile::copy(first, paths.MobanFolderPath(kTemplateDir) + QStringLiteral("%1.cll").arg(f));

    QSqlDatabase db = dm.database();
    db.transaction();
    QSqlQuery node(db);
    node.prepare(QStringLiteral("INSERT INTO Moban (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, File_Name, "
                                "Ext, FillMode) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery fill(db);
    fill.prepare(QStringLiteral("INSERT INTO HeadingFillRange (ID, BeFilled1, Row1, Col1, BeFilled2, Row2, Col2) "
                                "VALUES (?, 1, '3', 'C', 1, '4', 'C')"));
    int key = 2;
    int items = 0;
    const auto add = [&](int part, const QString& name, int type, int parent, int file) {
        node.addBindValue(part);
        node.addBindValue(key);
        node.addBindValue(name);
        node.addBindValue(type);
        node.addBindValue(parent);
        node.addBindValue(kTemplateDir);
        node.addBindValue(file);
        node.addBindValue(file ? QStringLiteral(".cll") : QString());
        node.addBindValue(file ? 1000 + file : 0);
        node.exec();
        if (file) {
            fill.addBindValue(1000 + file);
            fill.exec();
        }
        ++items;
        return key++;
    };
    const int root = add(1, QStringLiteral("大模板"), 9, 0, 0);
    QList<int> categories;
    for (int d = 0; d < 20; ++d) {
        const int division = add(d, QStringLiteral("分部%1").arg(d), 3, root, 0);
        for (int c = 0; c < 5; ++c)
            categories << add(c, QStringLiteral("分类%1-%2").arg(d).arg(c), 4, division, 0);
    }
    int file = 1;
    QList<int> children(categories.size(), 0);
    for (int i = 0; i < categories.size(); ++i)
        for (int n = 0; n < 3; ++n) {
            const int f = file++;
            add(children[i]++, QStringLiteral("分项%1").arg(f), 5, categories.at(i), f);
        }
    for (int i = 0; items < kItems; i = (i + 1) % int(categories.size()))
        add(children[i]++, QStringLiteral("子分类%1").arg(items), 4, categories.at(i), 0);
    db.commit();
}

double timeNewProject(TDataPoolDM& dm, const AppPaths& paths, int run)
{
    QElapsedTimer t;
    t.start();
    TLoginInfo login{QStringLiteral("Admin"), 1};
    ScriptedPrompter prompter;
    const QString name = QStringLiteral("工程%1").arg(run);
    const DataPacket result = WizardResultFor(dm, 2, name, {});
    const double wizard = double(t.nsecsElapsed()) / 1e6;
    LibraryData ziLiao(Library::ZiLiao);
    ziLiao.load(dm, login.opName);
    const double load = double(t.nsecsElapsed()) / 1e6 - wizard;
    CreateProjectFromTemplate(NodeOpsContext{ziLiao, dm, paths, login, prompter}, name, result);
    const double total = double(t.nsecsElapsed()) / 1e6;
    std::printf("  wizard result %.1f ms, project library load %.1f ms, creation %.1f ms\n", wizard, load,
                total - wizard - load);
    return total;
}

// The floor: cp of the 300 files into a fresh folder, and the same number of rows in one transaction.
double timeFloor(const AppPaths& paths, const QString& dbCopy, int run)
{
    QElapsedTimer t;
    t.start();
    const QString target = paths.ProTablesDir + QStringLiteral("floor%1/").arg(run);
    QDir().mkpath(target);
    QStringList args;
    for (int f = 1; f <= kForms; ++f)
        args << paths.MobanFolderPath(kTemplateDir) + QStringLiteral("%1.cll").arg(f);
    args << target;
    QProcess::execute(QStringLiteral("cp"), args);

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("floor%1").arg(run));
        db.setDatabaseName(dbCopy);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        db.transaction();
        QSqlQuery node(db);
        node.prepare(QStringLiteral("INSERT INTO ZiLiao (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, "
                                    "File_Name, Ext, FillMode, UserID) VALUES (?, ?, ?, 4, ?, ?, ?, '.cll', ?, 'Admin')"));
        QSqlQuery fill(db);
        fill.prepare(QStringLiteral("INSERT INTO HeadingFillRange (ID, BeFilled1, Row1, Col1, BeFilled2, Row2, Col2) "
                                    "VALUES (?, 1, '3', 'C', 1, '4', 'C')"));
        const int base = 100000 * (run + 1);
        for (int i = 0; i < kItems; ++i) {
            node.addBindValue(i);
            node.addBindValue(base + i);
            node.addBindValue(QStringLiteral("条目%1").arg(i));
            node.addBindValue(base + i / 10);
            node.addBindValue(base);
            node.addBindValue(i);
            node.addBindValue(i < kForms ? base + i : 0);
            node.exec();
            if (i < kForms) {
                fill.addBindValue(base + i);
                fill.exec();
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("floor%1").arg(run));
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    const AppPaths paths = CreateProgramFolder(tmp.path() + QStringLiteral("/app"));
    const QString dbCopy = tmp.path() + QStringLiteral("/floor.mdb");
    double best = 1e18;
    double floor = 1e18;
    {
        TDataPoolDM dm(paths.DatabaseFile);
        buildTemplate(dm, paths);
        QFile::copy(paths.DatabaseFile, dbCopy);
        constexpr int runs = 3;
        for (int run = 0; run < runs; ++run) {
            const double ms = timeNewProject(dm, paths, run);
            const double f = timeFloor(paths, dbCopy, run);
            std::printf("run %d: new-project %.1f ms, floor (cp + one transaction) %.1f ms\n", run + 1, ms, f);
            best = std::min(best, ms);
            floor = std::min(floor, f);
        }
    }
    std::printf("template: %d items, %d forms with table files\n", kItems, kForms);
    std::printf("new-project best: %.1f ms; floor best: %.1f ms; ratio %.2fx\n", best, floor, best / floor);
    return 0;
}
