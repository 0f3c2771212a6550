#include "cli/Cli.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // Printing to PDF needs fonts, hence a GUI application; the offscreen platform keeps it screen-free.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (cron, CI, ssh) Qt would warn about a missing runtime folder on every run: give it a
    // private one, as it would make itself.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::tempPath() + QStringLiteral("/runtime-quelmar-%1").arg(::getuid());
        if (QDir().mkpath(runtime)
            && QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quelmar"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return runCli(args);
}
