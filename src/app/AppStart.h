#pragma once
#include "app/TableViewer.h"
#include "app/WidgetPrompter.h"
#include "store/AppPaths.h"
#include "users/Login.h"

#include <QString>

#include <functional>
#include <memory>

class Prompter;
class TDataPoolDM;
class TMainFrm;

// The program's start-up and shutdown: the installation checks, the data module, the login, the main window
// (created hidden), the splash while the user's data loads, the event loop, log-out with re-login, and the end.
class QuelmarShell {
public:
    // The login step: shows the login dialog starting with `name` and, on success, fills `info` (and records the
    // last user). False: the user cancelled. The program's is the login dialog; tests script it.
    using LoginStep = std::function<bool(const QString& name, TDataPoolDM& dm, TLoginInfo& info)>;

    // Without a prompter the shell uses the desktop's (message boxes over the main window).
    explicit QuelmarShell(QString appDir, Prompter* prompter = nullptr);
    ~QuelmarShell();

    void setLoginStep(LoginStep step) { m_loginStep = std::move(step); }
    void setViewerFactory(TableViewerFactory factory) { m_viewerFactory = std::move(factory); }
    // The first start of a user without a program folder: given the folder the program looked for, makes or finds
    // one and returns it; empty when the user gave up (the program ends). Set only when no folder was named; the
    // program's shows TFirstStartFrm, tests script it.
    using FirstStartStep = std::function<QString(const QString& proposal)>;
    void setFirstStartStep(FirstStartStep step) { m_firstStart = std::move(step); }
    // Offers the program's first-start dialog when the folder has no database (the folder was not named).
    void offerFirstStart();
    // A file to open once the user is logged in (`quelmar FILE`): a package is imported, a table file shown
    // (TMainFrm::OpenFileArgument).
    void setFileToOpen(const QString& path) { m_fileToOpen = path; }
    // `--db URL`: the database elsewhere than the program folder says (a PostgreSQL server).
    void setDatabaseOverride(const QString& url) { m_databaseOverride = url; }

    // Runs the whole program; returns the process's exit status.
    int run();

    // Everything before the event loop: checks, database, login, main window, the user's data, the window shown.
    // False when the program must end (a failure was shown, or the login was cancelled); see exitStatus(). A
    // failure before the window is shown (the checks, the database, the login check, the first load) ends the
    // program with its message.
    bool start();
    // "注销(&L)..." after the user confirmed: the layout is stored, the login runs again with the leaving user's
    // name; a cancelled login ends the program, a failed login check or a failed load shows its message and asks
    // for a login again.
    void logout();

    bool ended() const { return m_ended; }
    int exitStatus() const { return m_status; }
    TMainFrm* mainWindow() const { return m_main.get(); }
    const TLoginInfo& loginInfo() const { return m_login; }
    TDataPoolDM* dataModule() const { return m_dm.get(); }

    // The program folder: `--dir DIR` when given, else $QUELMAR_DIR, else the executable's folder when it is a
    // program folder (a folder installed beside the program), else the user's own (UserProgramFolder: the one
    // remembered, else ~/Quelmar). `named` tells whether it was one of the first three, which must exist; the
    // user's own is offered to be made when it is not there yet.
    static QString programFolder(const QString& dirOption, bool* named = nullptr);
    const QString& appDir() const { return m_appDir; }

private:
    bool login(const QString& name);
    void openDatabase();
    // Splash, LoadUserData, splash hidden, main window shown. False when loading failed (the message was shown).
    bool loadUser();
    void end(int status);
    // Before the checks: a missing program folder of the user is made (or another chosen) through the first-start
    // step. False when the user gave up.
    bool firstStart();

    QString m_appDir;
    QString m_databaseOverride;
    AppPaths m_paths;
    std::unique_ptr<WidgetPrompter> m_widgetPrompter;
    Prompter* m_prompter = nullptr;
    LoginStep m_loginStep;
    FirstStartStep m_firstStart;
    QString m_fileToOpen;
    TableViewerFactory m_viewerFactory;
    TLoginInfo m_login;
    std::unique_ptr<TDataPoolDM> m_dm;
    std::unique_ptr<TMainFrm> m_main;
    bool m_ended = false;
    int m_status = 0;
};
