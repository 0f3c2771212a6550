#pragma once
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"

#include <QHash>
#include <QJsonValue>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>

class CliSession;

// Bad usage of the command line: the CLI prints the message and the usage and exits 2.
class CliUsageError : public QuelmarError {
public:
    using QuelmarError::QuelmarError;
};

struct CliOptions {
    QString dir;                          // --dir, else $QUELMAR_DIR, else the current folder
    QString user;                         // --user, else $QUELMAR_USER, else "Admin"
    QString password;                     // --password, else $QUELMAR_PASSWORD, else empty
    QString db;                           // --db postgresql://...: the database elsewhere than the folder says
    bool json = false;                    // --json
    bool yes = false;                     // --yes: answer yes to every question
    QHash<QString, QStringList> values;   // the command's own options with a value (repeatable)
    QSet<QString> flags;                  // the command's own flags
    QStringList args;                     // positional arguments after the command name
};

class CliContext {
public:
    CliContext();
    ~CliContext();

    CliOptions opt;
    ScriptedPrompter prompter;     // answers questions from the options (--yes)
    QTextStream out;
    QTextStream err;

    // The positional argument i, or a usage error naming `what` when it is missing.
    QString arg(int i, const char* what) const;
    int intArg(int i, const char* what) const;
    QString value(const QString& option) const { return opt.values.value(option).value(0); }
    bool flag(const QString& f) const { return opt.flags.contains(f); }

    void print(const QString& line);
    void printJson(const QJsonValue& value);

    // The logged-in session over the program folder (opened on first use with --user / --password; a failed login
    // throws the login's message). Commands that declare needsLogin have it before they run.
    CliSession& session();

private:
    std::unique_ptr<CliSession> m_session;
};

struct CliCommand {
    QString name;                 // one or two words: "login", "cell set"
    QString usage;                // arguments after the name: "LIBRARY ID [--yes]"
    QString summary;              // one line in Chinese or English for --help
    bool needsLogin = true;
    QStringList valueOptions;     // e.g. {"exclude"}: --exclude VALUE
    QStringList flagOptions;      // e.g. {"sample"}: --sample
    int minArgs = 0;
    int maxArgs = -1;             // -1: any number
    std::function<int(CliContext&)> run;   // returns the exit status
};

class CliRegistry {
public:
    static CliRegistry& instance();
    void add(CliCommand command);
    // The command whose name matches the first one or two words of `words` (the longer name wins).
    const CliCommand* find(const QStringList& words, int* wordsUsed) const;
    QList<const CliCommand*> all() const;

private:
    QList<CliCommand> m_commands;
};

// A command taking `minArgs` to `maxArgs` positional arguments (-1: any number).
CliCommand makeCliCommand(const char* name, const char* usage, const char* summary, int minArgs, int maxArgs,
                          std::function<int(CliContext&)> run, bool needsLogin = true);

// Put one of these at namespace scope in a command file: `static CliRegistrar reg({...});`
struct CliRegistrar {
    explicit CliRegistrar(CliCommand command) { CliRegistry::instance().add(std::move(command)); }
};

int runCli(const QStringList& arguments);
