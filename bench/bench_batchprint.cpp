// Batch printing to one PDF: 300 forms (the demo template's twelve inspection forms, copied to separate files) run
// through the batch print of the program (RunBatchPrint into a PdfBatchOutput), as forms per second, and its peak
// memory against 3,000 forms (each size in a process of its own, so the peaks do not mix): the memory must stay flat
// as the batch grows. Then the same 300 forms exported to xlsx (quelmar-cli cell export-excel) and converted to PDF
// by LibreOffice headless in one soffice run, as a ratio; that part runs only when both the export command and
// soffice (Debian package libreoffice-calc-nogui, `scripts/deps --bench`) are there, and says so when not.
//
//   bench_batchprint [--cli PATH-TO-quelmar-cli] [--forms N] [--large N]

#include "core/ScriptedPrompter.h"
#include "printing/BatchPrintRun.h"
#include "projects/SampleTemplate.h"
#include "store/DataPool.h"
#include "store/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The demo template's forms, copied to `count` files in `dir`.
QStringList makeForms(const QString& dir, int count)
{
    const AppPaths paths = CreateProgramFolder(dir + QStringLiteral("/app"));
    QStringList sources;
    {
        TDataPoolDM dm(paths.DatabaseFile);
        AddSampleTemplate(dm, paths);
    }
    QDirIterator it(paths.SysTablesDir, {QStringLiteral("*.cll")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        sources << it.next();
    sources.sort();
    QDir().mkpath(dir + QStringLiteral("/forms"));
    QStringList forms;
    for (int i = 0; i < count; ++i) {
        const QString path = dir + QStringLiteral("/forms/%1.cll").arg(i + 1, 5, 10, QLatin1Char('0'));
        QFile::copy(sources.at(i % sources.size()), path);
        forms << path;
    }
    return forms;
}

struct Run {
    int forms = 0;
    int pages = 0;
    double seconds = 0;
    double cpu = 0;
    long baselineKb = 0;
    long peakKb = 0;
};

// One run in this process: what the child prints for the parent.
int child(int count)
{
    QTemporaryDir dir;
    const QStringList forms = makeForms(dir.path(), count);
    QList<BatchPrintItem> items;
    for (int i = 0; i < forms.size(); ++i)
        items << BatchPrintItem{i + 1, QStringLiteral("表%1").arg(i + 1), forms[i]};
    const long baseline = maxRssKb();
    PdfBatchOutput output(dir.path() + QStringLiteral("/batch.pdf"));
    ScriptedPrompter prompter;
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    const BatchPrintResult r = RunBatchPrint(items, 1, output, prompter);
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("%d %d %.4f %.4f %ld %ld\n", r.printed, r.pages, seconds, cpuSeconds() - cpu0, baseline, maxRssKb());
    return r.printed == count ? 0 : 1;
}

bool runChild(int count, Run& run)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QString::number(count)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "run of %d forms failed: %s\n", count, p.readAllStandardError().constData());
        return false;
    }
    const QStringList f = QString::fromLatin1(p.readAllStandardOutput()).split(QLatin1Char(' '));
    if (f.size() < 6)
        return false;
    run = Run{f[0].toInt(), f[1].toInt(), f[2].toDouble(), f[3].toDouble(), f[4].toLong(), f[5].toLong()};
    return true;
}

QString findCli(const QStringList& args)
{
    const qsizetype i = args.indexOf(QStringLiteral("--cli"));
    if (i >= 0 && i + 1 < args.size())
        return args.at(i + 1);
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/quelmar-cli"));
}

bool hasExportCommand(const QString& cli)
{
    QProcess p;
    p.start(cli, {QStringLiteral("--help")});
    if (!p.waitForFinished(60000))
        return false;
    return QString::fromUtf8(p.readAllStandardOutput()).contains(QStringLiteral("cell export-excel"));
}

// LibreOffice on the same forms: the xlsx export is not timed, one soffice run converts them all (after a warm-up
// conversion that creates its profile).
void compareWithLibreOffice(const QString& cli, int count, const Run& ours)
{
    if (!QFileInfo(cli).isExecutable()) {
        std::printf("LibreOffice comparison: not run, quelmar-cli not found at %s (use --cli)\n", qPrintable(cli));
        return;
    }
    if (!hasExportCommand(cli)) {
        std::printf("LibreOffice comparison: not run, `quelmar-cli cell export-excel FILE OUT.xlsx` does not exist yet\n");
        return;
    }
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("LibreOffice comparison: not run, soffice not found (scripts/deps --bench installs "
                    "libreoffice-calc-nogui)\n");
        return;
    }
    QTemporaryDir dir;
    const QStringList forms = makeForms(dir.path(), count);
    QDir().mkpath(dir.path() + QStringLiteral("/xlsx"));
    QStringList xlsx;
    for (const QString& f : forms) {
        const QString out = dir.path() + QStringLiteral("/xlsx/") + QFileInfo(f).completeBaseName() + QStringLiteral(".xlsx");
        if (QProcess::execute(cli, {QStringLiteral("cell"), QStringLiteral("export-excel"), f, out}) != 0) {
            std::printf("LibreOffice comparison: not run, export of %s failed\n", qPrintable(f));
            return;
        }
        xlsx << out;
    }
    const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir.path() + QStringLiteral("/lo-profile");
    const QString warm = dir.path() + QStringLiteral("/warm");
    QProcess::execute(soffice, {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                                QStringLiteral("--outdir"), warm, xlsx.first()});
    QElapsedTimer t;
    t.start();
    QStringList args{profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                     QStringLiteral("--outdir"), dir.path() + QStringLiteral("/pdf")};
    args << xlsx;
    QProcess::execute(soffice, args);
    const double lo = t.nsecsElapsed() / 1e9;
    const int made = int(QDir(dir.path() + QStringLiteral("/pdf")).entryList({QStringLiteral("*.pdf")}).size());
    std::printf("LibreOffice headless:       %d forms -> %d PDF files in %.2f s = %.1f forms/s\n", count, made, lo,
                made / lo);
    std::printf("ratio (LibreOffice / ours): %.1fx by the clock (goal: at least 10x)\n", lo / ours.seconds);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1) == QLatin1String("--child"))
        return child(args.at(2).toInt());
    const auto option = [&](const char* name, int fallback) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1).toInt() : fallback;
    };
    const int forms = option("--forms", 300);
    const int large = option("--large", 3000);

    Run small, big;
    if (!runChild(forms, small) || !runChild(large, big))
        return 1;
    for (const Run& r : {small, big})
        std::printf("batch print to one PDF:     %5d forms, %6d pages in %6.2f s = %6.1f forms/s (CPU %.2f s = %.1f "
                    "forms/s); memory %ld MB before, peak %ld MB (+%ld MB)\n",
                    r.forms, r.pages, r.seconds, r.forms / r.seconds, r.cpu, r.forms / r.cpu, r.baselineKb / 1024,
                    r.peakKb / 1024, (r.peakKb - r.baselineKb) / 1024);
    std::printf("peak memory %d vs %d forms:  %.2fx (must stay far below %dx)\n", large, forms,
                double(big.peakKb) / double(small.peakKb), large / forms);
    compareWithLibreOffice(findCli(args), forms, small);
    return 0;
}
