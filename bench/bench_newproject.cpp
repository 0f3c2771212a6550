// New project from a template of 1,000 items, 300 of them forms with table files: the time of what
// `quelmar-cli new-project` runs (the wizard's result, loading the project library, creating the project), against
// a floor made of copying the same 300 files with cp and inserting the same rows (1,000 nodes, 300 header-fill
// records) in one SQLite transaction. Prints both and their ratio.

#include "core/ScriptedPrompter.h"
#include "projects/HeaderFill.h"
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
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kTemplateDir = 1;
constexpr int kItems = 1000;
constexpr int kForms = 300;

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

    // (The copy of the database is in WAL mode as the original: the mode is kept in the file.)
    bench::InsertInOneTransaction(dbCopy, {.base = 100000 * (run + 1), .items = kItems, .forms = kForms,
                                           .fillPositions = 2, .owned = true});
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
        bench::BuildTemplate(dm, paths, {kTemplateDir, kItems, kForms, 2});
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
