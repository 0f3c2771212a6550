// Team mode against the single-user file: loading a project library of 50,000 nodes and creating a project from a
// template of 1,000 items (300 forms), on SQLite and on a PostgreSQL server on this machine, best of three each,
// and the ratios. The server is the one whose socket folder $QUELMAR_BENCH_POSTGRES names (scripts/bench-server
// starts a private one and runs this program).

#include "core/ScriptedPrompter.h"
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
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kLibraryNodes = 50000;
constexpr int kTemplateItems = 1000;
constexpr int kTemplateForms = 300;
constexpr int kTemplateDir = 1;

QVariantMap node(int part, int key, const QString& name, int type, int parent, int dir, int file)
{
    return {{QStringLiteral("iPartIndex"), part}, {QStringLiteral("ItemID"), key},  {QStringLiteral("Name"), name},
            {QStringLiteral("TypeID"), type},     {QStringLiteral("P_ItemID"), parent}, {QStringLiteral("iDir"), dir},
            {QStringLiteral("File_Name"), file},  {QStringLiteral("Ext"), file ? QStringLiteral(".cll") : QString()},
            {QStringLiteral("FillMode"), file ? 100000 + file : 0}};
}

// 50,000 project rows: 50 projects of 1,000 nodes (divisions, categories, sub-items, forms), one apply.
void fillProjectLibrary(TDataPoolDM& dm)
{
    RowSet rows;
    rows.load(dm.GetZiLiaoData(QStringLiteral("Admin")));
    int key = 2;
    for (int p = 0; p < kLibraryNodes / 1000; ++p) {
        const int project = key++;
        QVariantMap v = node(p, project, QStringLiteral("工程%1").arg(p), 1, 0, p + 100, 0);
        v.insert(QStringLiteral("UserID"), QStringLiteral("Admin"));
        rows.append(v);
        for (int i = 1; i < 1000; ++i) {
            QVariantMap n = node(i, key++, QStringLiteral("节点%1-%2").arg(p).arg(i), i % 10 ? 6 : 5, project, p + 100, 0);
            n.insert(QStringLiteral("UserID"), QStringLiteral("Admin"));
            rows.append(n);
        }
    }
    rows.setValue(rows.find(1), QStringLiteral("iPartIndex"), kLibraryNodes / 1000);
    dm.ApplyZiLiaoUpdates(QStringLiteral("Admin"), rows.changeLog());
}

struct Figures {
    double load = 1e18;
    double project = 1e18;
};

Figures measure(const AppPaths& paths)
{
    Figures f;
    TDataPoolDM dm(ProgramDatabase(paths));
    fillProjectLibrary(dm);
    bench::BuildTemplate(dm, paths, {kTemplateDir, kTemplateItems, kTemplateForms, 1});
    TLoginInfo login{QStringLiteral("Admin"), 1};
    ScriptedPrompter prompter;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        LibraryData ziLiao(Library::ZiLiao);
        ziLiao.load(dm, login.opName);
        f.load = std::min(f.load, double(t.nsecsElapsed()) / 1e6);
        const QString name = QStringLiteral("新工程%1").arg(run);
        const DataPacket result = WizardResultFor(dm, 2, name, {});
        t.restart();
        CreateProjectFromTemplate(NodeOpsContext{ziLiao, dm, paths, login, prompter}, name, result);
        f.project = std::min(f.project, double(t.nsecsElapsed()) / 1e6);
    }
    return f;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString socket = qEnvironmentVariable("QUELMAR_BENCH_POSTGRES");
    if (socket.isEmpty()) {
        std::fprintf(stderr, "Needs a PostgreSQL server: run scripts/bench-server build/bench/bench_server\n");
        return 2;
    }
    QTemporaryDir tmp;
    const Figures lite = measure(CreateProgramFolder(tmp.path() + QStringLiteral("/lite")));
    DatabaseLocation server;
    server.engine = DatabaseLocation::Engine::Postgres;
    server.host = socket;
    server.database = QStringLiteral("quelmar");
    server.user = QStringLiteral("quelmar");
    server.schema = QStringLiteral("bench_") + QUuid::createUuid().toString(QUuid::Id128).left(8);
    const Figures team = measure(CreateProgramFolder(tmp.path() + QStringLiteral("/team"), server));
    std::printf("project library of %d nodes, load (fetch and tree): SQLite %.0f ms, PostgreSQL %.0f ms, ratio %.2fx\n",
                kLibraryNodes, lite.load, team.load, team.load / lite.load);
    std::printf("new project from %d items (%d forms): SQLite %.0f ms, PostgreSQL %.0f ms, ratio %.2fx\n",
                kTemplateItems, kTemplateForms, lite.project, team.project, team.project / lite.project);
    return 0;
}
