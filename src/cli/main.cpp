#include "cli/Cli.h"

#include <QCoreApplication>
#include <QGuiApplication>

int main(int argc, char* argv[])
{
    // Printing to PDF needs fonts, hence a GUI application; the offscreen platform keeps it screen-free.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quelmar"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return runCli(args);
}
