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

    // The program folder: `--dir DIR` when given, else $QUELMAR_DIR, else the executable's folder.
    static QString programFolder(const QString& dirOption);

private:
    bool login(const QString& name);
    void openDatabase();
    // Splash, LoadUserData, splash hidden, main window shown. False when loading failed (the message was shown).
    bool loadUser();
    void end(int status);

    QString m_appDir;
    QString m_databaseOverride;
    AppPaths m_paths;
    std::unique_ptr<WidgetPrompter> m_widgetPrompter;
    Prompter* m_prompter = nullptr;
    LoginStep m_loginStep;
    TableViewerFactory m_viewerFactory;
    TLoginInfo m_login;
    std::unique_ptr<TDataPoolDM> m_dm;
    std::unique_ptr<TMainFrm> m_main;
    bool m_ended = false;
    int m_status = 0;
};
