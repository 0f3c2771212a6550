#pragma once
#include <QDialog>

#include <functional>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;

// The login dialog "登录到系统". Closing it with "登录(&L)" runs the login rule; on a failed attempt the dialog
// stays open, its controls disabled while the message shows, and the focus returns to the password (or to the name
// when that is empty). Only a successful attempt closes it with the OK result. A rule that fails (the database
// cannot be read or written) closes the dialog with the result CheckFailed and keeps the failure's message: the
// failure must not leave through Qt's event and signal delivery, ShowLoginDialog raises it again.
class TLoginFrm final : public QDialog {
    Q_OBJECT
public:
    // `tryLogin(name, password)`: the login rule; true when a user matches (it then records the login).
    using LoginRule = std::function<bool(const QString& name, const QString& password)>;

    TLoginFrm(Prompter& prompter, LoginRule tryLogin, const QString& initialName, QWidget* parent = nullptr);

    // The dialog's result when the login rule failed; failure() holds its message.
    static constexpr int CheckFailed = 2;
    QString failure() const { return m_failure; }

    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* passwordEdit() const { return m_password; }
    QPushButton* loginButton() const { return m_login; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The two labels, the two fields and both buttons: what is disabled while the failure message shows.
    QList<QWidget*> inputControls() const;

public slots:
    void accept() override;

private:
    void setInputEnabled(bool enabled);

    Prompter& m_prompter;
    LoginRule m_tryLogin;
    QString m_failure;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_login = nullptr;
    QPushButton* m_cancel = nullptr;
};

// The log-out dialog "注销系统": "确实要注销吗？" with "是(&Y)" (default) and "否(&N)".
class TLogoutFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TLogoutFrm(QWidget* parent = nullptr);
    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }

private:
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
};

// Shows the login dialog modally (the program's login step); false when the user cancelled. A failure of the login
// rule closes the dialog and is raised here as a QuelmarError with its message.
bool ShowLoginDialog(Prompter& prompter, const TLoginFrm::LoginRule& tryLogin, const QString& name);
// Shows the log-out confirmation; true for "是(&Y)".
bool ShowLogoutDialog(QWidget* parent);
