#pragma once
#include <QString>
#include <QStringList>

// What several test executables share: running the CLI as a user would and reading back its output.
struct CliRun {
    int exitCode = -1;       // -1 when the process did not end normally (killed, crashed)
    bool killed = false;     // ended by a signal
    QString out;
    QString err;
};

// Runs quelmar-cli with `args` (environment: QUELMAR_* cleared, QT_QPA_PLATFORM=offscreen), waits and returns.
CliRun runQuelmarCli(const QStringList& args, const QString& workingDir = QString());
// The same with variables added to its environment ("NAME=value").
CliRun runQuelmarCli(const QStringList& args, const QString& workingDir, const QStringList& environment);

#include "core/QuelmarError.h"

// The message of the QuelmarError that `f` throws, or "(no failure)" when it returns normally.
template <typename F>
QString failureMessage(F&& f)
{
    try {
        f();
    } catch (const QuelmarError& e) {
        return e.message();
    }
    return QStringLiteral("(no failure)");
}
