#pragma once
#include "app/WidgetPrompter.h"
#include "store/AppPaths.h"
#include "users/Login.h"

#include <QString>

#include <memory>

class TDataPoolDM;
class TFlashFrm;
class TMainFrm;

// The program's start-up and shutdown: the installation checks, the data module, the login, the main window
// (created hidden), the splash while the user's data loads, the event loop, log-out with re-login, and the end.
class QuelmarShell {
public:
    explicit QuelmarShell(QString appDir);
    ~QuelmarShell();

    // Runs the whole program; returns the process's exit status.
    int run();

    // The program folder: `--dir DIR` when given, else $QUELMAR_DIR, else the executable's folder.
    static QString programFolder(const QString& dirOption);

private:
    bool login(const QString& name);
    // Splash, LoadUserData, splash hidden, main window shown. False when loading failed (the message was shown).
    bool loadUser();
    void logout();

    QString m_appDir;
    AppPaths m_paths;
    WidgetPrompter m_prompter;
    TLoginInfo m_login;
    std::unique_ptr<TDataPoolDM> m_dm;
    std::unique_ptr<TMainFrm> m_main;
};
