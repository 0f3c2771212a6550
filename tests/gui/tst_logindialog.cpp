// The login dialog on a fresh program folder: a failed attempt keeps the dialog open with the controls disabled
// while the message shows and the focus back in the right field; only a successful attempt records the user.
#include "app/LoginFrm.h"
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "support/ProgramFolderFixture.h"
#include "users/Login.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Records, at the moment the failure message shows, which of the dialog's controls are enabled.
class WatchingPrompter final : public ScriptedPrompter {
public:
    void message(Icon icon, const QString& caption, const QString& text) override
    {
        ScriptedPrompter::message(icon, caption, text);
        enabledDuringMessage.clear();
        if (dialog)
            for (QWidget* w : dialog->inputControls())
                enabledDuringMessage << w->isEnabled();
    }
    TLoginFrm* dialog = nullptr;
    QList<bool> enabledDuringMessage;
};

}  // namespace

class TestLoginDialog : public QObject {
    Q_OBJECT

private slots:
    void texts();
    void failedAttempt_data();
    void failedAttempt();
    void successRecordsUser();
    void failingCheckClosesDialog();
    void logoutDialog();
};

void TestLoginDialog::texts()
{
    ScriptedPrompter prompter;
    TLoginFrm dialog(prompter, [](const QString&, const QString&) { return false; }, QStringLiteral("Admin"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("登录到系统"));
    QStringList labels;
    for (QLabel* l : dialog.findChildren<QLabel*>())
        labels << l->text();
    for (const char* text : {"要登录到该系统，请键入用户名和密码。", "用户名(&U):", "密码(&P):",
                             "登录后，密码未设置，请在工具菜单设置密码，以确保数据安全。",
                             "如您首次使用本公司的产品，请使用用户名(Admin)，密码(无)。"})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
    QCOMPARE(dialog.loginButton()->text(), QStringLiteral("登录(&L)"));
    QVERIFY(dialog.loginButton()->isDefault());
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("取消"));
    QCOMPARE(dialog.passwordEdit()->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.nameEdit()->text(), QStringLiteral("Admin"));
    QVERIFY(dialog.passwordEdit()->text().isEmpty());
}

void TestLoginDialog::failedAttempt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("focusOnPassword");
    QTest::newRow("wrong password") << "Admin" << "secret" << true;
    QTest::newRow("trailing blank") << "Admin " << "" << true;
    QTest::newRow("unknown user") << "Wang" << "" << true;
    QTest::newRow("empty name") << "" << "" << false;
}

void TestLoginDialog::failedAttempt()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, focusOnPassword);

    ProgramFolderFixture folder;
    WatchingPrompter prompter;
    TLoginInfo info;
    TLoginFrm dialog(
        prompter,
        [&](const QString& n, const QString& pw) { return TryLogin(folder.dm(), n, pw, info, true); }, QString());
    prompter.dialog = &dialog;
    dialog.show();
    dialog.nameEdit()->setText(name);
    dialog.passwordEdit()->setText(password);
    dialog.loginButton()->click();

    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(prompter.messages(QStringLiteral("information")),
             QStringList(QStringLiteral("系统无法让您登录。请确定您的用户名无误，然后再次输入密码。\r\n\r\n注：用户名及密码忽略大小写。")));
    // Labels, fields and buttons were all disabled while the message showed, and are enabled again.
    QCOMPARE(prompter.enabledDuringMessage, QList<bool>(6, false));
    for (QWidget* w : dialog.inputControls())
        QVERIFY(w->isEnabled());
    QCOMPARE(dialog.focusWidget(), focusOnPassword ? static_cast<QWidget*>(dialog.passwordEdit())
                                                   : static_cast<QWidget*>(dialog.nameEdit()));
    // What was typed stays; nothing was recorded.
    QCOMPARE(dialog.nameEdit()->text(), name);
    QVERIFY(info.opName.isEmpty());
    QCOMPARE(folder.dm().GetLastUser(), QString());
}

void TestLoginDialog::successRecordsUser()
{
    ProgramFolderFixture folder;
    ScriptedPrompter prompter;
    TLoginInfo info;
    TLoginFrm dialog(
        prompter,
        [&](const QString& n, const QString& pw) { return TryLogin(folder.dm(), n, pw, info, true); }, QString());
    dialog.show();
    dialog.nameEdit()->setText(QStringLiteral("ADMIN"));
    dialog.loginButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(prompter.events.isEmpty());
    // The name as typed, in LoginInfo and as the last user.
    QCOMPARE(info.opName, QStringLiteral("ADMIN"));
    QCOMPARE(info.opType, 1);
    QCOMPARE(folder.dm().GetLastUser(), QStringLiteral("ADMIN"));

    // Cancel closes with the cancel result and checks nothing.
    TLoginFrm again(prompter, [](const QString&, const QString&) -> bool { throw std::logic_error("checked"); },
                    QStringLiteral("ADMIN"));
    again.show();
    again.cancelButton()->click();
    QCOMPARE(again.result(), int(QDialog::Rejected));
}

void TestLoginDialog::failingCheckClosesDialog()
{
    // A check that fails (the database) does not leave through the button's signal: the dialog closes with its
    // own result and the message, and ShowLoginDialog raises it again after the dialog is gone.
    ScriptedPrompter prompter;
    const TLoginFrm::LoginRule failing = [](const QString&, const QString&) -> bool {
        throw QuelmarError(QStringLiteral("数据库错误：database is locked"));
    };
    TLoginFrm dialog(prompter, failing, QStringLiteral("Admin"));
    dialog.show();
    dialog.loginButton()->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), TLoginFrm::CheckFailed);
    QCOMPARE(dialog.failure(), QStringLiteral("数据库错误：database is locked"));
    QVERIFY(prompter.events.isEmpty());

    // Through the modal dialog: Enter on the default button while it runs.
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<TLoginFrm*>(QApplication::activeModalWidget()))
            QTest::keyClick(d->passwordEdit(), Qt::Key_Return);
    });
    try {
        ShowLoginDialog(prompter, failing, QStringLiteral("Admin"));
        QFAIL("the failure was not raised");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("数据库错误：database is locked"));
    }
    QVERIFY(!QApplication::activeModalWidget());
}

void TestLoginDialog::logoutDialog()
{
    TLogoutFrm dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("注销系统"));
    QCOMPARE(dialog.yesButton()->text(), QStringLiteral("是(&Y)"));
    QVERIFY(dialog.yesButton()->isDefault());
    QCOMPARE(dialog.noButton()->text(), QStringLiteral("否(&N)"));
    QVERIFY(!dialog.findChildren<QLabel*>().isEmpty());
    bool found = false;
    for (QLabel* l : dialog.findChildren<QLabel*>())
        found = found || l->text() == QStringLiteral("确实要注销吗？");
    QVERIFY(found);
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
