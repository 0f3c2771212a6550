// The user manager and its dialogs, driven headless: the list and the password group, add / delete / properties /
// password through scripted dialogs, the wizard's pages and refusals, the properties dialog's "应用(&A)" and "取消",
// the password dialog, the menu entry of the main window, and one's own rename through the main window's hook (its
// cached copies and its layout row follow).
#include "app/AddUserFrm.h"
#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "app/SetUserPasswordFrm.h"
#include "app/UserManagerFrm.h"
#include "app/UserPropertyFrm.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"
#include "support/ModalWalker.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString one(TDataPoolDM& dm, const QString& sql)
{
    QSqlQuery q(dm.database());
    return q.exec(sql) && q.next() ? q.value(0).toString() : QStringLiteral("<none>");
}

} // namespace

class TestUserDialogs : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void managerListAndPasswordGroup();
    void managerAddDeleteProperties();
    void wizardPagesAndRefusals();
    void propertiesApplyAndCancel();
    void passwordDialog();
    void menuEntryAndOwnRenameThroughTheWindow();

private:
    std::unique_ptr<TUserManagerFrm> managerFrm();

    std::unique_ptr<ProgramFolderFixture> m_f;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login{QStringLiteral("Admin"), 1};
    QStringList m_errors;
};

void TestUserDialogs::init()
{
    m_errors.clear();
    QuelmarApplication::setErrorSink([this](const QString& m) { m_errors << m; });
    m_prompter = ScriptedPrompter();
    m_login = TLoginInfo{QStringLiteral("Admin"), 1};
    m_f = std::make_unique<ProgramFolderFixture>();
    m_f->addUser(QStringLiteral("carol"), {}, 0);
    m_f->addUser(QStringLiteral("Bob"), {}, 0);
    m_f->addUser(QStringLiteral("dave"), {}, 1);
}

void TestUserDialogs::cleanup()
{
    m_f.reset();
    QuelmarApplication::setErrorSink({});
}

std::unique_ptr<TUserManagerFrm> TestUserDialogs::managerFrm()
{
    return std::make_unique<TUserManagerFrm>(m_f->dm(), m_login, m_prompter, [](const QString&) {});
}

void TestUserDialogs::managerListAndPasswordGroup()
{
    auto frm = managerFrm();
    QCOMPARE(frm->windowTitle(), QStringLiteral("用户和密码"));
    QCOMPARE(frm->listedNames(), (QStringList{"Admin", "Bob", "carol", "dave"}));
    QCOMPARE(frm->lvUsers->headerItem()->text(0), QStringLiteral("用户名"));
    QCOMPARE(frm->lvUsers->headerItem()->text(1), QStringLiteral("说明"));
    QCOMPARE(frm->lvUsers->topLevelItem(0)->text(1), QStringLiteral("系统管理员，可以维护模板库和管理用户。"));
    QCOMPARE(frm->selectedName(), QStringLiteral("Admin"));
    QCOMPARE(frm->gbPassword->title(), QStringLiteral("Admin 的密码"));
    QCOMPARE(frm->lblPassword->text(), QStringLiteral("要更改 Admin 的密码，请单击“设置密码”。"));
    frm->selectName(QStringLiteral("CAROL"));
    QCOMPARE(frm->gbPassword->title(), QStringLiteral("carol 的密码"));
    QVERIFY(frm->btnDelete->isEnabled() && frm->btnProperty->isEnabled() && frm->btnSetPassword->isEnabled());
    QVERIFY(frm->miDelete->isEnabled() && frm->miProperty->isEnabled());
    frm->lvUsers->clearSelection();
    QVERIFY(!frm->btnDelete->isEnabled() && !frm->btnProperty->isEnabled() && !frm->btnSetPassword->isEnabled());
    QVERIFY(!frm->miDelete->isEnabled() && !frm->miProperty->isEnabled() && frm->miAdd->isEnabled());

    // The logged-in user as typed in another letter case is found too.
    m_login.opName = QStringLiteral("DAVE");
    QCOMPARE(managerFrm()->selectedName(), QStringLiteral("dave"));
}

void TestUserDialogs::managerAddDeleteProperties()
{
    auto frm = managerFrm();
    UserDialogs d;
    d.addUser = [](QWidget*, const UserManager&, Prompter&, UserAccount& a, QString& pw) {
        a = UserAccount{QStringLiteral(" Ann "), QStringLiteral("安"), QStringLiteral("测量"), 0};
        pw = QStringLiteral("pw");
        return true;
    };
    d.properties = [](QWidget*, UserManager& m, Prompter&, QString& name) {
        UserAccount a = m.PropertiesOf(name);
        a.name = QStringLiteral("zoe");
        name = m.WriteProperties(name, a);
        return true;
    };
    d.setPassword = [](QWidget*, Prompter&, QString& pw) {
        pw = QStringLiteral("Geheim");
        return true;
    };
    frm->setDialogs(d);

    frm->Add();
    QCOMPARE(frm->listedNames(), (QStringList{"Admin", "Ann", "Bob", "carol", "dave"}));
    QCOMPARE(frm->selectedName(), QStringLiteral("Ann"));
    QCOMPARE(frm->lvUsers->topLevelItem(1)->text(1), QStringLiteral("测量"));

    frm->SetPassword();
    QVERIFY(m_f->dm().UserExists(QStringLiteral("ann"), QStringLiteral("geheim")));

    // Deleting a row in the middle selects the row now at its place; the last row, the new last row.
    frm->selectName(QStringLiteral("Bob"));
    m_prompter.defaultYes = true;
    frm->Delete();
    QCOMPARE(frm->listedNames(), (QStringList{"Admin", "Ann", "carol", "dave"}));
    QCOMPARE(frm->selectedName(), QStringLiteral("carol"));
    frm->selectName(QStringLiteral("dave"));
    frm->Delete();
    QCOMPARE(frm->selectedName(), QStringLiteral("carol"));
    QCOMPARE(frm->gbPassword->title(), QStringLiteral("carol 的密码"));

    // The logged-in user's row is refused without a question.
    frm->selectName(QStringLiteral("Admin"));
    m_prompter.events.clear();
    frm->Delete();
    QCOMPARE(m_prompter.messages(QStringLiteral("information")),
             QStringList{QStringLiteral("无法删除用户 Admin, 用户正在使用中。")});
    QVERIFY(m_prompter.messages(QStringLiteral("confirm")).isEmpty());

    // Properties that renamed the account: the list shows the new name, sorted, selected.
    frm->selectName(QStringLiteral("Ann"));
    frm->Properties();
    QCOMPARE(frm->listedNames(), (QStringList{"Admin", "carol", "zoe"}));
    QCOMPARE(frm->selectedName(), QStringLiteral("zoe"));
}

void TestUserDialogs::wizardPagesAndRefusals()
{
    UserManager m(m_f->dm(), m_login, m_prompter);
    m.Load();
    TAddUserFrm w(m, m_prompter);
    QCOMPARE(w.windowTitle(), QStringLiteral("添加新用户"));
    QCOMPARE(w.page(), 0);
    QVERIFY(!w.btnNext->isEnabled() && w.btnCancel->isDefault() && !w.btnBack->isEnabled());
    QCOMPARE(w.edtName->maxLength(), 50);
    QCOMPARE(w.edtFullName->maxLength(), 50);
    QCOMPARE(w.edtDescription->maxLength(), 255);

    w.edtName->setText(QStringLiteral("a:b"));
    QVERIFY(w.btnNext->isEnabled() && w.btnNext->isDefault() && !w.btnCancel->isDefault());
    w.next();
    QCOMPARE(w.page(), 0);
    QCOMPARE(m_prompter.events.last().kind, QStringLiteral("error"));
    QCOMPARE(m_prompter.events.last().caption, QStringLiteral("用户和密码"));

    w.edtName->setText(QStringLiteral("BOB"));
    w.next();
    QCOMPARE(w.page(), 0);
    QCOMPARE(m_prompter.events.last().kind, QStringLiteral("information"));
    QCOMPARE(m_prompter.events.last().caption, QStringLiteral("添加用户向导"));
    QCOMPARE(m_prompter.events.last().text, QStringLiteral("无法添加用户BOB，因为该用户已经有权使用本系统。"));

    w.edtName->setText(QStringLiteral(" erin "));
    w.edtFullName->setText(QStringLiteral("艾琳"));
    w.next();
    QCOMPARE(w.page(), 1);
    QVERIFY(w.btnBack->isEnabled());
    QCOMPARE(w.edtPassword->echoMode(), QLineEdit::Password);
    w.edtPassword->setText(QStringLiteral("one"));
    w.edtConfirm->setText(QStringLiteral("two"));
    w.next();
    QCOMPARE(w.page(), 1);
    QCOMPARE(m_prompter.events.last().text, QStringLiteral("您键入的密码不匹配。请在两个文本框内键入该账户的密码。"));
    w.edtConfirm->setText(QStringLiteral("one"));
    w.next();
    QCOMPARE(w.page(), 2);
    QCOMPARE(w.btnNext->text(), QStringLiteral("完成(&F)"));
    QVERIFY(w.rbStandard->isChecked());
    w.back();
    QCOMPARE(w.page(), 1);
    QCOMPARE(w.btnNext->text(), QStringLiteral("下一步(&N)"));
    w.back();
    QCOMPARE(w.page(), 0);
    QVERIFY(!w.btnBack->isEnabled());
    w.next();
    w.next();
    w.rbAdvanced->setChecked(true);
    w.next();
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(w.account(), (UserAccount{QStringLiteral(" erin "), QStringLiteral("艾琳"), QString(), 1}));
    QCOMPARE(w.password(), QStringLiteral("one"));
}

void TestUserDialogs::propertiesApplyAndCancel()
{
    UserManager m(m_f->dm(), m_login, m_prompter);
    m.Load();
    TDataPoolDM& dm = m_f->dm();
    {
        TUserPropertyFrm p(m, QStringLiteral("carol"), m_prompter);
        QCOMPARE(p.windowTitle(), QStringLiteral("carol 属性"));
        QCOMPARE(p.pcPages->tabText(0), QStringLiteral("常规"));
        QCOMPARE(p.pcPages->tabText(1), QStringLiteral("权限"));
        QVERIFY(!p.btnApply->isEnabled() && p.rbStandard->isChecked());
        // A changed description and "取消": nothing is stored.
        p.edtDescription->setText(QStringLiteral("资料员"));
        QVERIFY(p.btnApply->isEnabled());
        p.btnCancel->click();
        QVERIFY(!p.changed());
        QCOMPARE(one(dm, QStringLiteral("SELECT coalesce(opDes, '') FROM czy WHERE opName = 'carol'")), QString());
    }
    {
        TUserPropertyFrm p(m, QStringLiteral("carol"), m_prompter);
        p.rbAdvanced->setChecked(true);
        QVERIFY(p.btnApply->isEnabled());
        QVERIFY(p.applyChanges());
        QVERIFY(!p.btnApply->isEnabled() && p.changed());
        QCOMPARE(dm.GetUserType(QStringLiteral("carol")), 1);
        // Another account's name: refused with the name the dialog stands for, the dialog stays.
        p.edtName->setText(QStringLiteral("dave"));
        QVERIFY(!p.ok());
        QCOMPARE(m_prompter.events.last().text, QStringLiteral("无法更改 carol 的用户名。"));
        QCOMPARE(m_prompter.events.last().caption, QStringLiteral("用户和密码"));
        QVERIFY(p.result() != QDialog::Accepted);
        // Edits after "应用(&A)" and then "取消" are not stored.
        p.edtName->setText(QStringLiteral("karla"));
        p.btnCancel->click();
        QCOMPARE(one(dm, QStringLiteral("SELECT count(*) FROM czy WHERE opName = 'karla'")), QStringLiteral("0"));
    }
    {
        TUserPropertyFrm p(m, QStringLiteral("carol"), m_prompter);
        p.edtName->setText(QStringLiteral(" Karla "));
        QVERIFY(p.ok());
        QCOMPARE(p.result(), int(QDialog::Accepted));
        QCOMPARE(p.accountName(), QStringLiteral("Karla"));
        QCOMPARE(one(dm, QStringLiteral("SELECT opType FROM czy WHERE opName = 'Karla'")), QStringLiteral("1"));
    }
}

void TestUserDialogs::passwordDialog()
{
    TSetUserPasswordFrm d(m_prompter);
    QCOMPARE(d.windowTitle(), QStringLiteral("设置密码"));
    QCOMPARE(d.edtPassword->maxLength(), 50);
    QCOMPARE(d.edtConfirm->echoMode(), QLineEdit::Password);
    d.edtPassword->setText(QStringLiteral("abc"));
    d.edtConfirm->setText(QStringLiteral("abd"));
    QVERIFY(!d.ok());
    QCOMPARE(m_prompter.events.last().caption, QStringLiteral("设置用户密码"));
    QCOMPARE(m_prompter.events.last().text, QStringLiteral("您键入的密码不匹配。请在两个文本框内键入该帐户的密码。"));
    d.edtConfirm->setText(QStringLiteral("abc"));
    QVERIFY(d.ok());
    QCOMPARE(d.password(), QStringLiteral("abc"));
}

void TestUserDialogs::menuEntryAndOwnRenameThroughTheWindow()
{
    TDataPoolDM& dm = m_f->dm();
    m_f->addNode(Library::ZiLiao, nodeRec(1, 5, QStringLiteral("戴夫的工程"), 0, 1), QStringLiteral("dave"));
    m_f->addNode(Library::GuiDang, nodeRec(1, 5, QStringLiteral("戴夫的档案柜"), 0), QStringLiteral("dave"));
    m_login = TLoginInfo{QStringLiteral("Dave"), 1};
    MainServices s;
    s.paths = m_f->paths();
    s.dm = &dm;
    s.prompter = &m_prompter;
    s.login = &m_login;
    TMainFrm main(s);
    main.LoadUserData();
    QVERIFY(main.miUserManager->isVisible());

    // The menu entry opens the manager on the logged-in user.
    QString selected;
    whenShown<TUserManagerFrm>([&](TUserManagerFrm* frm) {
        selected = frm->selectedName();
        frm->btnClose->click();
    });
    main.miUserManager->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(selected, QStringLiteral("dave"));

    // Renaming himself: the rows, the window's cached copies, the login name and the layout row follow.
    TUserManagerFrm frm(dm, m_login, m_prompter, [&](const QString& n) { main.OwnerRenameHook(n); });
    UserAccount a = frm.manager().PropertiesOf(QStringLiteral("dave"));
    a.name = QStringLiteral("david");
    frm.manager().WriteProperties(QStringLiteral("dave"), a);
    QCOMPARE(main.loginInfo().opName, QStringLiteral("david"));
    RowSet& rows = main.library(Library::ZiLiao).rows;
    QCOMPARE(rows.value(rows.find(5), QStringLiteral("UserID")).toString(), QStringLiteral("david"));
    QVERIFY(!rows.hasChanges());
    RowSet& archive = main.library(Library::GuiDang).rows;
    QCOMPARE(archive.value(archive.find(5), QStringLiteral("UserID")).toString(), QStringLiteral("david"));
    QCOMPARE(one(dm, QStringLiteral("SELECT UserID FROM ZiLiao WHERE ItemID = 5")), QStringLiteral("david"));
    main.resize(1111, 666);
    main.SaveWindowLayout();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(one(dm, QStringLiteral("SELECT Opname || ':' || FrmWidth FROM OwnerConfig WHERE lower(Opname) = 'david'")),
             QStringLiteral("david:1111"));
    main.closeWithoutQuery();

    // A standard user is refused even if the entry were reached.
    m_login = TLoginInfo{QStringLiteral("carol"), 0};
    TMainFrm standard(s);
    standard.LoadUserData();
    QVERIFY(!standard.miUserManager->isVisible());
    m_errors.clear();
    QVERIFY(failureMessage([&] { standard.miUserManagerClick(); }) == QStringLiteral("只有高级用户才能管理用户和密码。"));
    standard.closeWithoutQuery();
}

QTEST_MAIN(TestUserDialogs)
#include "tst_userdialogs.moc"
