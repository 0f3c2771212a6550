#pragma once
#include "users/UserManager.h"

#include <QDialog>

#include <functional>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;

// How the user manager asks for its three dialogs (the wizard, the properties, the password); tests answer them
// without showing anything.
struct UserDialogs {
    // TAddUserFrm: true with the account and password after "完成(&F)".
    std::function<bool(QWidget* parent, const UserManager&, Prompter&, UserAccount&, QString& password)> addUser;
    // TUserPropertyFrm for `name`: true when the dialog wrote the account; `name` then holds its name.
    std::function<bool(QWidget* parent, UserManager&, Prompter&, QString& name)> properties;
    // TSetUserPasswordFrm: true with the password after "确定".
    std::function<bool(QWidget* parent, Prompter&, QString& password)> setPassword;

    static UserDialogs standard();
};

// "用户和密码": the accounts of the system (name and description, sorted by name), add / delete / properties and the
// password of the selected account. Opens with the logged-in user's row selected.
class TUserManagerFrm final : public QDialog {
    Q_OBJECT
public:
    // Loads the users table (fails with "当前登录用户不存在用户列表中。" and for a standard user). `ownRename` is the
    // main window's OwnerRenameHook.
    TUserManagerFrm(TDataPoolDM& dm, TLoginInfo& login, Prompter& prompter,
                    std::function<void(const QString&)> ownRename, QWidget* parent = nullptr);

    void setDialogs(UserDialogs dialogs) { m_dialogs = std::move(dialogs); }
    UserManager& manager() { return m_manager; }

    // The buttons and the pop-up menu's entries.
    void Add();
    void Delete();
    void Properties();
    void SetPassword();

    // The selected account's name (empty when no row is selected) and the list's names in order.
    QString selectedName() const;
    QStringList listedNames() const;
    void selectName(const QString& name);

    QLabel* lblInfo = nullptr;
    QTreeWidget* lvUsers = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnProperty = nullptr;
    QGroupBox* gbPassword = nullptr;
    QLabel* lblPassword = nullptr;
    QPushButton* btnSetPassword = nullptr;
    QPushButton* btnClose = nullptr;
    QMenu* pmUsers = nullptr;
    QAction* miAdd = nullptr;
    QAction* miDelete = nullptr;
    QAction* miProperty = nullptr;

private:
    void fillList(const QString& select);
    void selectRow(int row);
    void selectionChanged();

    UserManager m_manager;
    Prompter& m_prompter;
    UserDialogs m_dialogs;
};

// "用户(&U)...": the user manager shown modally.
void RunUserManager(TDataPoolDM& dm, TLoginInfo& login, Prompter& prompter,
                    std::function<void(const QString&)> ownRename, QWidget* parent);
