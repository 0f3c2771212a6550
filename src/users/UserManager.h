#pragma once
// User management: the accounts of table czy as the user manager window (TUserManagerFrm) holds them, and the rules
// of adding, changing, deleting accounts and setting passwords. The dialogs gather the input; every rule and every
// message is here, so the CLI's user commands and the tests run the same.
//
// Names are compared case-free (foldCase) everywhere; names, full names and descriptions are trimmed before they
// are stored; passwords are stored as salted hashes (core/PasswordHash). Every change is posted to the cached copy
// and applied at once with ApplyUserAccountUpdates (one transaction with the account's other rows); a failed apply
// puts the copy back as it was.

#include "core/Prompter.h"
#include "store/RowSet.h"
#include "users/Login.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class TDataPoolDM;

struct UserAccount {
    QString name;          // opName
    QString fullName;      // opFullName
    QString description;   // opDes
    int type = UserType::Standard;

    bool operator==(const UserAccount&) const = default;
};

// A refused input: the message box to show (the dialog then stays where it is).
struct UserRefusal {
    Prompter::Icon icon = Prompter::Icon::Error;
    QString caption;
    QString text;
    explicit operator bool() const { return !text.isEmpty(); }
    // Shows the refusal; nothing when there is none.
    void show(Prompter& prompter) const;
};

namespace UserRules {
constexpr int MaxName = 50;
constexpr int MaxFullName = 50;
constexpr int MaxDescription = 255;
constexpr int MaxPassword = 50;

QString Caption();          // "用户和密码"
QString WizardCaption();    // "添加用户向导"
// Not empty after trimming, and none of * + , / : ; < = > ? [ \ ] | and the double quote.
bool IsValidUserName(const QString& name);
QString InvalidNameMessage();
// Guest, Admin and System (any letter case) cannot be deleted.
bool IsReservedUserName(const QString& name);
// The owner of shared project and archive rows; an account of that name would share all its rows.
bool IsSharingName(const QString& name);
// "标准用户(&S)" / "高级用户(&R)" and their descriptions.
QString TypeCaption(int type);
QString TypeDescription(int type);
// The two boxes of a password differ: the wizard's "账户" message, the password dialog's "帐户" message.
UserRefusal WizardPasswordRefusal(const QString& password, const QString& confirmation);
UserRefusal SetPasswordRefusal(const QString& password, const QString& confirmation);
}

class UserManager {
public:
    UserManager(TDataPoolDM& dm, TLoginInfo& login, Prompter& prompter);

    // What renaming one's own account does besides the rows of the data module: the main window re-stamps its cached
    // project and archive copies (OwnerRenameHook); called with the new name after the rename was written, before
    // LoginInfo.opName becomes the new name.
    void setOwnRenameHook(std::function<void(const QString& newName)> hook) { m_ownRename = std::move(hook); }

    // Loads the users table. Only an advanced user manages users; the logged-in user must be in the table
    // ("当前登录用户不存在用户列表中。").
    void Load();

    // The accounts sorted by name.
    QList<UserAccount> accounts() const;
    // The position in accounts() of the account with that name (case-free), or -1.
    int indexOf(const QString& name) const;
    std::optional<UserAccount> account(const QString& name) const;
    bool isLoggedIn(const QString& name) const;
    int advancedCount() const;

    // ---- add (TAddUserFrm) ----
    // Page one's "下一步(&N)": an invalid name, or a name an account has.
    UserRefusal NewNameRefusal(const QString& name) const;
    // Appends and applies the account (texts trimmed, the password hashed) with its OwnerConfig and defaultgk rows;
    // returns the stored name. Fails with the refusal's text for a name page one would refuse, and for texts longer
    // than their boxes allow.
    QString AddUser(const UserAccount& account, const QString& password);

    // ---- delete ----
    // The delete button: the own account is refused, the question asked, reserved names and the last advanced
    // account refused; then the row is deleted. True when it was.
    bool DeleteUser(const QString& name);

    // ---- properties (TUserPropertyFrm) ----
    // The account as the dialog opens it ("被选中的用户不在后台中。", "用户的类别有误！").
    UserAccount PropertiesOf(const QString& name) const;
    // "确定" / "应用(&A)": an invalid name or one of another account; the last advanced account made standard.
    UserRefusal PropertiesRefusal(const QString& name, const UserAccount& edited) const;
    // Writes the dialog's values back (hourglass): a new name other than in letter case renames the account with
    // its rows (one's own: also the cached copies through the hook, and LoginInfo.opName); full name and
    // description; a changed type, with the re-login notice for one's own account. Returns the account's name
    // afterwards. Fails as PropertiesRefusal refuses.
    QString WriteProperties(const QString& name, const UserAccount& edited);

    // ---- set password (TSetUserPasswordFrm) ----
    // Stores the password (hashed) when it changes anything ("要修改密码的用户已经不存在后台表中。").
    void SetPassword(const QString& name, const QString& password);

private:
    RowSet::RowId rowOf(const QString& name) const;
    UserAccount accountOf(RowSet::RowId id) const;
    void applyOrRestore();
    void checkLengths(const UserAccount& account) const;

    TDataPoolDM& m_dm;
    TLoginInfo& m_login;
    Prompter& m_prompter;
    RowSet cdsCzy{QStringLiteral("opName")};
    std::function<void(const QString&)> m_ownRename;
};
