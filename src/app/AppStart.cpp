#include "app/AppStart.h"

#include "app/FirstStartFrm.h"
#include "app/FlashFrm.h"
#include "app/LoginFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "store/UserFolder.h"
#include "store/WriteUnit.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QTimer>

QuelmarShell::QuelmarShell(QString appDir, Prompter* prompter) : m_appDir(std::move(appDir))
{
    if (prompter) {
        m_prompter = prompter;
    } else {
        m_widgetPrompter = std::make_unique<WidgetPrompter>();
        m_prompter = m_widgetPrompter.get();
    }
    m_loginStep = [this](const QString& name, TDataPoolDM& dm, TLoginInfo& info) {
        return ShowLoginDialog(
            *m_prompter, [&](const QString& n, const QString& pw) { return TryLogin(dm, n, pw, info, true); }, name);
    };
}

QuelmarShell::~QuelmarShell() = default;

QString QuelmarShell::programFolder(const QString& dirOption, bool* named)
{
    if (named)
        *named = true;
    if (!dirOption.isEmpty())
        return dirOption;
    const QString env = qEnvironmentVariable("QUELMAR_DIR");
    if (!env.isEmpty())
        return env;
    const QString beside = QCoreApplication::applicationDirPath();
    if (HasProgramDatabase(beside))
        return beside;
    if (named)
        *named = false;
    return UserProgramFolder();
}

void QuelmarShell::offerFirstStart()
{
    m_firstStart = [this](const QString& proposal) { return ShowFirstStartDialog(*m_prompter, proposal); };
}

bool QuelmarShell::firstStart()
{
    if (!m_firstStart || !m_databaseOverride.isEmpty() || HasProgramDatabase(m_appDir))
        return true;
    const QString folder = m_firstStart(m_appDir);
    if (folder.isEmpty())
        return false;
    m_appDir = folder;
    // The next start finds it without asking; a folder that cannot be remembered is only asked for again.
    QuelmarApplication::guarded([&] {
        if (QDir::cleanPath(QDir(folder).absolutePath()) != QDir::cleanPath(UserProgramFolder()))
            RememberUserProgramFolder(folder);
    });
    return true;
}

// The program folder's database. A server that wants a password it was not given (none in ~/.pgpass) asks for it
// until it is right or the user gives up.
void QuelmarShell::openDatabase()
{
    DatabaseLocation location = ProgramDatabase(m_paths, m_databaseOverride);
    for (;;) {
        try {
            m_dm = std::make_unique<TDataPoolDM>(location);
            return;
        } catch (const DatabasePasswordError& e) {
            if (!m_widgetPrompter)
                throw;
            bool ok = false;
            const QString password = QInputDialog::getText(
                nullptr, QStringLiteral("连接数据库服务器"),
                QStringLiteral("%1\n\n请输入数据库用户“%2”的口令:").arg(e.message(), location.user), QLineEdit::Password,
                QString(), &ok);
            if (!ok)
                throw QuelmarError(e.message());
            location.password = password;
        }
    }
}

bool QuelmarShell::login(const QString& name)
{
    return m_loginStep(name, *m_dm, m_login);
}

void QuelmarShell::end(int status)
{
    m_ended = true;
    m_status = status;
}

bool QuelmarShell::loadUser()
{
    TFlashFrm splash;
    const bool loaded = QuelmarApplication::guarded([&] { m_main->LoadUserData(&splash); });
    splash.hide();
    if (loaded)
        m_main->show();
    return loaded;
}

void QuelmarShell::logout()
{
    m_main->hide();
    QuelmarApplication::guarded([this] { m_main->SaveWindowLayout(); });
    QString name = m_login.opName;
    for (;;) {
        // A login check that fails (the database) shows its message; the login dialog then comes again.
        bool loggedIn = false;
        if (!QuelmarApplication::guarded([&] { loggedIn = login(name); }))
            continue;
        if (!loggedIn) {
            // A cancelled re-login ends the program; the leaving user's layout is already stored.
            end(0);
            m_main->closeWithoutQuery();
            QApplication::quit();
            return;
        }
        // A failed load shows its message; the login dialog then comes again.
        if (loadUser())
            return;
        name = m_login.opName;
    }
}

bool QuelmarShell::start()
{
    bool made = false;
    if (!QuelmarApplication::guarded([&] { made = firstStart(); })) {
        end(1);
        return false;
    }
    if (!made) {
        end(0);
        return false;
    }
    // Installation checks and the database: a failure ends the program before any window.
    if (!QuelmarApplication::guarded([this] {
            m_paths = CheckInstallation(m_appDir, !m_databaseOverride.isEmpty());
            openDatabase();
            RecoverInterruptedWork(*m_dm, m_paths);
        })) {
        end(1);
        return false;
    }

    // Without a name the dialog offers the last user's.
    QString lastUser;
    if (!QuelmarApplication::guarded([&] { lastUser = m_dm->GetLastUser(); })) {
        end(1);
        return false;
    }
    // A failure of the login check (the database) ends the program with its message; a cancel ends it at once.
    bool loggedIn = false;
    if (!QuelmarApplication::guarded([&] { loggedIn = login(lastUser); })) {
        end(1);
        return false;
    }
    if (!loggedIn) {
        end(0);
        return false;
    }

    MainServices services;
    services.paths = m_paths;
    services.dm = m_dm.get();
    services.prompter = m_prompter;
    services.login = &m_login;
    services.viewerFactory = m_viewerFactory;
    m_main = std::make_unique<TMainFrm>(services);
    if (m_widgetPrompter) {
        m_widgetPrompter->setParentWidget(m_main.get());
        m_widgetPrompter->setStatusTarget(m_main->findChild<QWidget*>(QStringLiteral("statusPanel0")));
    }
    m_main->setLogoutHandler([this] {
        // Runs after the current event has been handled, so the log-out dialog is gone first.
        QTimer::singleShot(0, [this] { logout(); });
    });

    // A failure while the first user's data loads ends the program with its message.
    if (!loadUser()) {
        end(1);
        return false;
    }
    // The file the program was started on, once the window is on the screen.
    if (!m_fileToOpen.isEmpty())
        QTimer::singleShot(0, m_main.get(), [this, file = m_fileToOpen] {
            QuelmarApplication::guarded([&] { m_main->OpenFileArgument(file); });
        });
    return true;
}

int QuelmarShell::run()
{
    if (!start())
        return m_status;
    const int status = QApplication::exec();
    m_main.reset();
    m_dm.reset();   // closes the database
    return m_ended ? m_status : status;
}
