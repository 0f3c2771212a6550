#include "app/AppStart.h"

#include "app/FlashFrm.h"
#include "app/LoginFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

QuelmarShell::QuelmarShell(QString appDir) : m_appDir(std::move(appDir)) {}

QuelmarShell::~QuelmarShell() = default;

QString QuelmarShell::programFolder(const QString& dirOption)
{
    if (!dirOption.isEmpty())
        return dirOption;
    const QString env = qEnvironmentVariable("QUELMAR_DIR");
    if (!env.isEmpty())
        return env;
    return QCoreApplication::applicationDirPath();
}

bool QuelmarShell::login(const QString& name)
{
    return ShowLoginDialog(
        m_prompter,
        [this](const QString& n, const QString& pw) { return TryLogin(*m_dm, n, pw, m_login, true); }, name);
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
        if (!login(name)) {
            // A cancelled re-login ends the program; the leaving user's layout is already stored.
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

int QuelmarShell::run()
{
    // Installation checks and the database: a failure ends the program before any window.
    if (!QuelmarApplication::guarded([this] {
            m_paths = CheckInstallation(m_appDir);
            m_dm = std::make_unique<TDataPoolDM>(m_paths.DatabaseFile);
        }))
        return 1;

    // Without a name the dialog offers the last user's.
    QString lastUser;
    if (!QuelmarApplication::guarded([&] { lastUser = m_dm->GetLastUser(); }))
        return 1;
    if (!login(lastUser))
        return 0;

    MainServices services;
    services.paths = m_paths;
    services.dm = m_dm.get();
    services.prompter = &m_prompter;
    services.login = &m_login;
    m_main = std::make_unique<TMainFrm>(services);
    m_prompter.setParentWidget(m_main.get());
    m_prompter.setStatusTarget(m_main->findChild<QWidget*>(QStringLiteral("statusPanel0")));
    m_main->setLogoutHandler([this] {
        // Runs after the current event has been handled, so the log-out dialog is gone first.
        QTimer::singleShot(0, [this] { logout(); });
    });

    // A failure while the first user's data loads ends the program with its message.
    if (!loadUser())
        return 1;

    const int status = QApplication::exec();
    m_main.reset();
    m_dm.reset();
    return status;
}
