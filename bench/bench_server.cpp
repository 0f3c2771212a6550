// Team mode against the single-user file: loading a project library of 50,000 nodes and creating a project from a
// template of 1,000 items (300 forms), on SQLite and on a PostgreSQL server on this machine, best of three each,
// and the ratios. The server is the one whose socket folder $QUELMAR_BENCH_POSTGRES names (scripts/bench-server
// starts a private one and runs this program).

#include "cell/CellControl.h"
#include "core/ScriptedPrompter.h"
#include "projects/NewProject.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"
#include "trees/LibraryData.h"
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

// The template: 20 divisions, 100 categories, 300 sub-items with files and header-fill records, the rest
// sub-categories.
void buildTemplate(TDataPoolDM& dm, const AppPaths& paths)
{
    QDir().mkpath(paths.MobanFolderPath(kTemplateDir));
    const QString first = paths.MobanFolderPath(kTemplateDir) + QStringLiteral("1.cll");
    writeForm(first);
    for (int f = 2; f <= kTemplateForms; ++f)
        QFile::copy(first, paths.MobanFolderPath(kTemplateDir) + QStringLiteral("%1.cll").arg(f));
    RowSet rows;
    rows.load(dm.GetMobanData());
    RowSet fills(QStringLiteral("ID"));
    fills.load(dm.GetHeadingFillRangeData(-1), QStringLiteral("ID"));
    int key = 2;
    int items = 0;
    const auto add = [&](int part, const QString& name, int type, int parent, int file) {
        rows.append(node(part, key, name, type, parent, kTemplateDir, file));
        if (file)
            fills.append({{QStringLiteral("ID"), 100000 + file}, {QStringLiteral("BeFilled1"), true},
                          {QStringLiteral("Row1"), QStringLiteral("3")}, {QStringLiteral("Col1"), QStringLiteral("C")}});
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
    for (int i = 0; items < kTemplateItems; i = (i + 1) % int(categories.size()))
        add(children[i]++, QStringLiteral("子分类%1").arg(items), 4, categories.at(i), 0);
    rows.setValue(rows.find(1), QStringLiteral("iPartIndex"), 2);
    dm.ApplyHeadingFillRangeUpdates(0, fills.changeLog());
    dm.ApplyMobanUpdates(rows.changeLog());
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
    buildTemplate(dm, paths);
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
