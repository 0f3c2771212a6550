#pragma once
#include "store/AppPaths.h"
#include "trees/LibraryData.h"
#include "users/Login.h"

#include <QString>

#include <map>
#include <memory>

class CliContext;
class Prompter;
class TDataPoolDM;

// The CLI's logged-in session over a program folder (--dir): runs the installation checks, opens the data module
// and logs in with the rules of the login dialog (--user / --password) without touching the last user's name.
// A failed check or login throws its message. Commands reach everything through ctx.session().
class CliSession {
public:
    explicit CliSession(CliContext& ctx);
    ~CliSession();

    const AppPaths& paths() const { return m_paths; }
    TDataPoolDM& dm() { return *m_dm; }
    const TLoginInfo& login() const { return m_login; }
    TLoginInfo& login() { return m_login; }
    Prompter& prompter();

    // The library loaded and its tree built as the logged-in user sees it (on first use). The template library is
    // refused to standard users.
    LibraryData& library(Library library);

    // "moban" / "template", "ziliao" / "project", "guidang" / "archive" (any letter case); else a usage error.
    static Library parseLibrary(const QString& text);

private:
    CliContext& m_ctx;
    AppPaths m_paths;
    std::unique_ptr<TDataPoolDM> m_dm;
    TLoginInfo m_login;
    std::map<Library, std::unique_ptr<LibraryData>> m_libraries;
};
