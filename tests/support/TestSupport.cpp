#include "support/TestSupport.h"
#include "support/TestDatabase.h"

#include <QProcess>
#include <QProcessEnvironment>

CliRun runQuelmarCli(const QStringList& args, const QString& workingDir)
{
    return runQuelmarCli(args, workingDir, {});
}

CliRun runQuelmarCli(const QStringList& args, const QString& workingDir, const QStringList& environment)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"QUELMAR_DIR", "QUELMAR_USER", "QUELMAR_PASSWORD"})
        env.remove(QString::fromLatin1(v));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString& v : environment)
        env.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    // In the server run a new program folder gets a schema of the test server of its own.
    QStringList arguments = args;
    if (TestOnServer()) {
        const qsizetype init = arguments.indexOf(QStringLiteral("init"));
        if (init >= 0 && (init == 0 || !arguments.at(init - 1).startsWith(QLatin1String("--")))
            && !arguments.contains(QStringLiteral("--server")))
            arguments << QStringLiteral("--server") << NewTestServerLocation().url();
    }
    p.start(QStringLiteral(QUELMAR_CLI_PATH), arguments);
    CliRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        r.err = QStringLiteral("quelmar-cli did not finish");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.killed = p.exitStatus() != QProcess::NormalExit;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
