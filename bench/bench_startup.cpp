// Start-up on a large project library: a program folder with 20,000 project rows (20 projects × 9 divisions ×
// 10 sub-items × 10 forms), loaded after the login
//   - without a splash (TMainFrm::LoadUserData alone),
//   - with the splash on the screen (LoadUserData repainting the splash),
//   - the whole way from a successful login to the shown main window, as the program runs it (QuelmarShell).
// Runs under the offscreen platform unless another one is asked for. Prints the median of a few runs of each.
//
//   bench_startup [runs]      (default 5)

#include "app/AppStart.h"
#include "app/FlashFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int writeProjectRows(TDataPoolDM& dm)
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
    for (int p = 0; p < 20; ++p) {
        const int project = add(p, QStringLiteral("工程%1").arg(p + 1), 1, 0, p + 1, 0);
        int file = 1;
        for (int d = 0; d < 9; ++d) {
            const int division = add(d, QStringLiteral("分部工程%1").arg(d + 1), 3, project, p + 1, 0);
            for (int s = 0; s < 10; ++s) {
                const int sub = add(s, QStringLiteral("分项工程%1").arg(s + 1), 5, division, p + 1, file++);
                for (int f = 0; f < 10; ++f)
                    add(f, QStringLiteral("检验表格 K%1+%2").arg(s).arg(f * 20), 6, sub, p + 1, file++);
            }
        }
    }
    db.commit();
    return key - 2;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

MainServices servicesFor(const AppPaths& paths, TDataPoolDM& dm, Prompter& prompter, TLoginInfo& login)
{
    MainServices s;
    s.paths = paths;
    s.dm = &dm;
    s.prompter = &prompter;
    s.login = &login;
    return s;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QuelmarApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    QTemporaryDir tmp;
    const AppPaths paths = CreateProgramFolder(tmp.path());
    int rows = 0;
    {
        TDataPoolDM dm(paths.DatabaseFile);
        rows = writeProjectRows(dm);
    }
    std::printf("project rows: %d (platform %s, %d runs each, median)\n", rows,
                qPrintable(QGuiApplication::platformName()), runs);

    TDataPoolDM dm(paths.DatabaseFile);
    ScriptedPrompter prompter;
    TLoginInfo login;
    login.opName = QStringLiteral("Admin");
    login.opType = 1;
    QuelmarApplication::setErrorSink([](const QString& m) { std::fprintf(stderr, "error: %s\n", qPrintable(m)); });

    std::vector<double> plain, splashed, shellTimes;
    int nodes = 0;
    for (int i = 0; i < runs; ++i) {
        {
            TMainFrm main(servicesFor(paths, dm, prompter, login));
            QElapsedTimer t;
            t.start();
            main.LoadUserData();
            plain.push_back(double(t.nsecsElapsed()) / 1e6);
            nodes = main.library(Library::ZiLiao).tree.nodeCount();
            main.closeWithoutQuery();
        }
        {
            TMainFrm main(servicesFor(paths, dm, prompter, login));
            QElapsedTimer t;
            t.start();
            {
                TFlashFrm splash;
                main.LoadUserData(&splash);
            }
            splashed.push_back(double(t.nsecsElapsed()) / 1e6);
            main.closeWithoutQuery();
        }
        {
            // The program's own sequence: the time runs from the successful login to the shown window (main
            // window created, splash shown, the user's data loaded, splash hidden, window shown).
            QuelmarShell shell(paths.AppDir, &prompter);
            QElapsedTimer t;
            shell.setLoginStep([&t](const QString&, TDataPoolDM& d, TLoginInfo& info) {
                const bool ok = TryLogin(d, QStringLiteral("Admin"), QString(), info, false);
                t.start();
                return ok;
            });
            if (!shell.start()) {
                std::fprintf(stderr, "start-up failed\n");
                return 1;
            }
            shellTimes.push_back(double(t.nsecsElapsed()) / 1e6);
            shell.mainWindow()->closeWithoutQuery();
        }
    }
    const double base = median(plain);
    std::printf("tree nodes:                      %d\n", nodes);
    std::printf("load without splash:             %8.1f ms\n", base);
    std::printf("load with splash:                %8.1f ms  (%.2f x)\n", median(splashed), median(splashed) / base);
    std::printf("login to window (program):       %8.1f ms  (%.2f x)\n", median(shellTimes),
                median(shellTimes) / base);
    return 0;
}
