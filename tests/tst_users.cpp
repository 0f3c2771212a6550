// User management: the name rules, adding (trimmed texts, hashed password, the settings rows, duplicates ignoring
// case), deleting (own account, the question before the reserved names, the last advanced account), properties
// (renames that take the account's rows along, letter case only, one's own rename and type change, another
// account's name), passwords, and all-or-nothing writes under an injected failure.
#include "core/PasswordHash.h"
#include "core/ScriptedPrompter.h"
#include "store/DataPool.h"
#include "support/TestDatabase.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"
#include "users/UserManager.h"

#include <QSqlQuery>
#include <QtTest>

namespace {

const QString kCaption = QStringLiteral("用户和密码");

QStringList column(TDataPoolDM& dm, const QString& sql)
{
    QStringList out;
    QSqlQuery q(dm.database());
    if (!q.exec(sql))
        return {QStringLiteral("<failed: %1>").arg(sql)};
    while (q.next())
        out << q.value(0).toString();
    out.sort();
    return out;
}

void exec(TDataPoolDM& dm, const QString& sql)
{
    QSqlQuery q(dm.database());
    QVERIFY2(q.exec(sql), qPrintable(sql));
}

// A trigger that makes every write of `event` ("INSERT", "UPDATE") on the table fail with `text`, and its removal.
void refuseWrites(TDataPoolDM& dm, const QString& event, const QString& table, const QString& text)
{
    if (TestOnServer()) {
        exec(dm, QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION '%1'; END $$ "
                                "LANGUAGE plpgsql").arg(text));
        exec(dm, QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON %2 FOR EACH ROW EXECUTE FUNCTION refuse()").arg(event, table));
    } else {
        exec(dm, QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, '%3'); END").arg(event, table, text));
    }
}

void allowWrites(TDataPoolDM& dm, const QString& table)
{
    exec(dm, TestOnServer() ? QStringLiteral("DROP TRIGGER refuse ON %1").arg(table) : QStringLiteral("DROP TRIGGER refuse"));
    if (TestOnServer())
        exec(dm, QStringLiteral("DROP FUNCTION refuse()"));
}

} // namespace

class TestUsers : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nameRules_data();
    void nameRules();
    void newNameRefusals_data();
    void newNameRefusals();
    void addStoresTrimmedAccountWithItsRows();
    void addIsAllOrNothing();
    void deleteRules_data();
    void deleteRules();
    void deleteSelectsAndKeepsProjects();
    void renameOtherAccountTakesItsRows();
    void renameLetterCaseOnlyStoresNothing();
    void renameRefusals_data();
    void renameRefusals();
    void ownRenameAndTypeChange();
    void typeChangeOfOtherAccountNeedsNoNotice();
    void renameIsAllOrNothing();
    void passwords();
    void loadRules();

private:
    UserManager& manager(const QString& login = QStringLiteral("Admin"), int type = 1);

    std::unique_ptr<ProgramFolderFixture> m_f;
    ScriptedPrompter m_prompter;
    TLoginInfo m_login;
    std::unique_ptr<UserManager> m_manager;
    QStringList m_renames;
};

void TestUsers::init()
{
    m_f = std::make_unique<ProgramFolderFixture>();
    m_prompter = ScriptedPrompter();
    m_renames.clear();
}

void TestUsers::cleanup()
{
    m_manager.reset();
    m_f.reset();
}

UserManager& TestUsers::manager(const QString& login, int type)
{
    m_login = TLoginInfo{login, type};
    m_manager = std::make_unique<UserManager>(m_f->dm(), m_login, m_prompter);
    m_manager->setOwnRenameHook([this](const QString& n) { m_renames << n; });
    m_manager->Load();
    return *m_manager;
}

void TestUsers::nameRules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "bob" << true;
    QTest::newRow("blanks around") << "  bob  " << true;
    QTest::newRow("chinese") << "张三" << true;
    QTest::newRow("control char") << "a\x01" "b" << true;
    QTest::newRow("inner blank") << "bob li" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
    for (const char* c : {"*", "+", ",", "/", ":", ";", "<", "=", ">", "?", "[", "\\", "]", "|", "\""})
        QTest::addRow("with %s", c) << QStringLiteral("a%1b").arg(QLatin1String(c)) << false;
}

void TestUsers::nameRules()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(UserRules::IsValidUserName(name), valid);
}

void TestUsers::newNameRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    const QString invalid = QStringLiteral("您输入的用户名称无效。用户名称不能包含下列字符中的任何一个：\r\n*+,/:;<=>?[\\]|\"");
    QTest::newRow("fine") << "carol" << "" << "" << 0;
    QTest::newRow("invalid") << "a?b" << kCaption << invalid << int(Prompter::Icon::Error);
    QTest::newRow("blank") << "  " << kCaption << invalid << int(Prompter::Icon::Error);
    QTest::newRow("same name other case") << "ADMIN" << "添加用户向导" << "无法添加用户ADMIN，因为该用户已经有权使用本系统。"
                                          << int(Prompter::Icon::Information);
    QTest::newRow("same name with blanks") << " bob " << "添加用户向导" << "无法添加用户bob，因为该用户已经有权使用本系统。"
                                           << int(Prompter::Icon::Information);
    QTest::newRow("unicode case") << "ÄNNE" << "添加用户向导" << "无法添加用户ÄNNE，因为该用户已经有权使用本系统。"
                                  << int(Prompter::Icon::Information);
    QTest::newRow("sharing name") << "everyone" << kCaption << "“everyone”是系统表示“所有用户”的名称，不能用作用户名。"
                                  << int(Prompter::Icon::Error);
}

void TestUsers::newNameRefusals()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QFETCH(int, icon);
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    m_f->addUser(QStringLiteral("änne"), {}, 0);
    UserManager& m = manager();
    const UserRefusal r = m.NewNameRefusal(name);
    QCOMPARE(r.text, text);
    QCOMPARE(r.caption, caption);
    if (r)
        QCOMPARE(int(r.icon), icon);
}

void TestUsers::addStoresTrimmedAccountWithItsRows()
{
    TDataPoolDM& dm = m_f->dm();
    // A left-over layout row of the same name (another letter case) is kept, not doubled.
    exec(dm, QStringLiteral("INSERT INTO OwnerConfig (Opname, IsNormal, FrmLeft, FrmTop, FrmWidth, FrmHeight, MPanelSize, "
                            "ZPanelSize, GPanelSize) VALUES ('CAROL', FALSE, 1, 2, 3, 4, 5, 6, 7)"));
    UserManager& m = manager();
    const QString stored = m.AddUser({QStringLiteral("  carol "), QStringLiteral(" 王卡罗 "), QStringLiteral(" 资料员 "),
                                      UserType::Advanced},
                                     QStringLiteral("Secret Word"));
    QCOMPARE(stored, QStringLiteral("carol"));
    const UserAccount a = *m.account(QStringLiteral("CAROL"));
    QCOMPARE(a, (UserAccount{QStringLiteral("carol"), QStringLiteral("王卡罗"), QStringLiteral("资料员"), UserType::Advanced}));
    const QString hash = column(dm, QStringLiteral("SELECT opPassword FROM czy WHERE opName = 'carol'")).value(0);
    QVERIFY(PasswordHash::isHash(hash));
    QVERIFY(dm.UserExists(QStringLiteral("Carol"), QStringLiteral("secret word")));
    QVERIFY(!dm.UserExists(QStringLiteral("carol"), QStringLiteral("secret")));
    QCOMPARE(column(dm, QStringLiteral("SELECT Opname FROM OwnerConfig")), (QStringList{"Admin", "CAROL"}));
    QCOMPARE(column(dm, QStringLiteral("SELECT CZYID FROM defaultgk")), (QStringList{"Admin", "carol"}));
    QCOMPARE(dm.GetUserType(QStringLiteral("carol")), 1);

    // An empty password is no password; the list stays sorted by name whatever the letter case.
    m.AddUser({QStringLiteral("Bob"), {}, {}, UserType::Standard}, QString());
    QVERIFY(column(dm, QStringLiteral("SELECT CASE WHEN opPassword IS NULL THEN 1 ELSE 0 END FROM czy WHERE opName = 'Bob'")) == QStringList{"1"});
    QVERIFY(dm.UserExists(QStringLiteral("bob"), QString()));
    QStringList names;
    for (const UserAccount& u : m.accounts())
        names << u.name;
    QCOMPARE(names, (QStringList{"Admin", "Bob", "carol"}));
    QCOMPARE(m.indexOf(QStringLiteral("CAROL")), 2);

    // A name the wizard would refuse, and texts longer than their boxes, are refused here too.
    QCOMPARE(failureMessage([&] { m.AddUser({QStringLiteral("bob"), {}, {}, 0}, {}); }),
             QStringLiteral("无法添加用户bob，因为该用户已经有权使用本系统。"));
    QCOMPARE(failureMessage([&] { m.AddUser({QString(51, QLatin1Char('x')), {}, {}, 0}, {}); }),
             QStringLiteral("用户名不能超过 50 个字符。"));
    QCOMPARE(failureMessage([&] { m.AddUser({QStringLiteral("dave"), {}, QString(256, QLatin1Char('x')), 0}, {}); }),
             QStringLiteral("说明不能超过 255 个字符。"));
}

void TestUsers::addIsAllOrNothing()
{
    TDataPoolDM& dm = m_f->dm();
    UserManager& m = manager();
    // The third row of the unit fails: the account and its layout row must not stay either.
    refuseWrites(dm, QStringLiteral("INSERT"), QStringLiteral("defaultgk"), QStringLiteral("disk full"));
    const QString message = failureMessage([&] { m.AddUser({QStringLiteral("erin"), {}, {}, 0}, QStringLiteral("pw")); });
    QVERIFY2(message.contains(QStringLiteral("disk full")), qPrintable(message));
    QCOMPARE(column(dm, QStringLiteral("SELECT opName FROM czy")), QStringList{"Admin"});
    QCOMPARE(column(dm, QStringLiteral("SELECT Opname FROM OwnerConfig")), QStringList{"Admin"});
    QVERIFY(!m.account(QStringLiteral("erin")));
    QCOMPARE(m.accounts().size(), 1);
    allowWrites(dm, QStringLiteral("defaultgk"));
    m.AddUser({QStringLiteral("erin"), {}, {}, 0}, QStringLiteral("pw"));
    QCOMPARE(column(dm, QStringLiteral("SELECT CZYID FROM defaultgk")), (QStringList{"Admin", "erin"}));
}

void TestUsers::deleteRules_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("events");   // kind:text, in order
    QTest::addColumn<bool>("deleted");

    const QString ask = QStringLiteral("confirm:您已选择将 %1 从本机用户列表中删除。%1 将不再允许使用本系统。\r\n\r\n是否要删除 %1？");
    QTest::newRow("own account") << "boss" << "BOSS" << true << "information:无法删除用户 BOSS, 用户正在使用中。" << false;
    QTest::newRow("own reserved account") << "Admin" << "Admin" << true << "information:无法删除用户 Admin, 用户正在使用中。"
                                          << false;
    QTest::newRow("reserved admin, asked first") << "boss" << "Admin" << true
                                                 << ask.arg("Admin") + "|error:无法删除用户 Admin(系统保留)。" << false;
    QTest::newRow("reserved, answered no") << "boss" << "guest" << false << ask.arg("guest") << false;
    QTest::newRow("reserved guest") << "boss" << "guest" << true << ask.arg("guest") + "|error:无法删除用户 guest(系统保留)。"
                                    << false;
    QTest::newRow("reserved SYSTEM") << "boss" << "SYSTEM" << true
                                     << ask.arg("SYSTEM") + "|error:无法删除用户 SYSTEM(系统保留)。" << false;
    QTest::newRow("answered no") << "boss" << "bob" << false << ask.arg("bob") << false;
    QTest::newRow("deleted") << "boss" << "bob" << true << ask.arg("bob") << true;
}

void TestUsers::deleteRules()
{
    QFETCH(QString, login);
    QFETCH(QString, name);
    QFETCH(bool, answer);
    QFETCH(QString, events);
    QFETCH(bool, deleted);
    m_f->addUser(QStringLiteral("boss"), {}, 1);
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    m_f->addUser(QStringLiteral("guest"), {}, 0);
    m_f->addUser(QStringLiteral("SYSTEM"), {}, 0);
    UserManager& m = manager(login);
    m_prompter.answers.enqueue(answer ? Prompter::Answer::Yes : Prompter::Answer::No);
    QCOMPARE(m.DeleteUser(name), deleted);
    QStringList said;
    for (const ScriptedPrompter::Event& e : std::as_const(m_prompter.events)) {
        if (e.kind == QLatin1String("status") || e.kind == QLatin1String("busy"))
            continue;
        QCOMPARE(e.caption, kCaption);
        said << e.kind + QLatin1Char(':') + e.text;
    }
    QCOMPARE(said.join(QLatin1Char('|')), events);
    QCOMPARE(bool(m.account(name)), !deleted);
    QCOMPARE(m_f->dm().GetUserType(name) >= 0, !deleted);
}

void TestUsers::deleteSelectsAndKeepsProjects()
{
    TDataPoolDM& dm = m_f->dm();
    // The last advanced account cannot go: the session's own row was made standard meanwhile.
    m_f->addUser(QStringLiteral("boss"), {}, 0);
    m_f->addUser(QStringLiteral("chief"), {}, 1);
    exec(dm, QStringLiteral("UPDATE czy SET opType = 0 WHERE opName = 'Admin'"));
    UserManager& m = manager(QStringLiteral("boss"));
    QCOMPARE(m.advancedCount(), 1);
    m_prompter.defaultYes = true;
    QVERIFY(!m.DeleteUser(QStringLiteral("chief")));
    QCOMPARE(m_prompter.messages(QStringLiteral("error")),
             QStringList{QStringLiteral("无法删除用户 chief：这是最后一个高级用户。系统中至少要保留一个高级用户，才能管理用户和模板库。")});
    QVERIFY(m.account(QStringLiteral("chief")));

    // A deleted account's rows are the data of its projects: they stay.
    m_f->addNode(Library::ZiLiao, nodeRec(1, 5, QStringLiteral("工程"), 0, 1), QStringLiteral("bob"));
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    UserManager& again = manager(QStringLiteral("chief"));
    QVERIFY(again.DeleteUser(QStringLiteral("bob")));
    QCOMPARE(column(dm, QStringLiteral("SELECT UserID FROM ZiLiao WHERE ItemID = 5")), QStringList{"bob"});

    // Gone meanwhile: the message of the copy.
    exec(dm, QStringLiteral("DELETE FROM czy WHERE opName = 'boss'"));
    QVERIFY(failureMessage([&] { again.DeleteUser(QStringLiteral("boss")); }).contains(QStringLiteral("boss")));
    QVERIFY(again.account(QStringLiteral("boss")));   // the copy is as it was
}

void TestUsers::renameOtherAccountTakesItsRows()
{
    TDataPoolDM& dm = m_f->dm();
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    m_f->addUser(QStringLiteral("ann"), {}, 0);
    m_f->addNode(Library::ZiLiao, nodeRec(1, 5, QStringLiteral("Bob 的工程"), 0, 1), QStringLiteral("BOB"));
    m_f->addNode(Library::ZiLiao, nodeRec(3, 6, QStringLiteral("分部"), 5, 1), QStringLiteral("bob"));
    m_f->addNode(Library::ZiLiao, nodeRec(1, 7, QStringLiteral("Ann 的工程"), 0, 2), QStringLiteral("ann"));
    m_f->addNode(Library::ZiLiao, nodeRec(1, 8, QStringLiteral("共享工程"), 0, 3), QStringLiteral("Everyone"));
    m_f->addNode(Library::GuiDang, nodeRec(1, 5, QStringLiteral("Bob 的档案柜"), 0), QStringLiteral("bob"));
    exec(dm, QStringLiteral("INSERT INTO OwnerConfig (Opname, IsNormal, FrmLeft, FrmTop, FrmWidth, FrmHeight, MPanelSize, "
                            "ZPanelSize, GPanelSize) VALUES ('Bob', FALSE, 1, 2, 3, 4, 5, 6, 7)"));
    exec(dm, QStringLiteral("INSERT INTO defaultgk (CZYID, s1) VALUES ('bob', 'G318')"));
    // Rows left by a deleted account of the new name give way to the renamed account's own.
    exec(dm, QStringLiteral("INSERT INTO defaultgk (CZYID, s1) VALUES ('Robert', 'old')"));
    dm.SetLastUser(QStringLiteral("BOB"));

    UserManager& m = manager();
    UserAccount edited = m.PropertiesOf(QStringLiteral("bob"));
    edited.name = QStringLiteral(" Robert ");
    edited.fullName = QStringLiteral(" 李罗伯 ");
    QVERIFY(!m.PropertiesRefusal(QStringLiteral("bob"), edited));
    QCOMPARE(m.WriteProperties(QStringLiteral("bob"), edited), QStringLiteral("Robert"));

    QCOMPARE(column(dm, QStringLiteral("SELECT opName || ':' || coalesce(opFullName, '') FROM czy")),
             (QStringList{"Admin:系统管理员", "Robert:李罗伯", "ann:"}));
    QCOMPARE(column(dm, QStringLiteral("SELECT ItemID || ':' || UserID FROM ZiLiao WHERE ItemID > 1")),
             (QStringList{"5:Robert", "6:Robert", "7:ann", "8:Everyone"}));
    QCOMPARE(column(dm, QStringLiteral("SELECT UserID FROM GuiDang WHERE ItemID = 5")), QStringList{"Robert"});
    QCOMPARE(column(dm, QStringLiteral("SELECT Opname || ':' || FrmLeft FROM OwnerConfig")),
             (QStringList{"Admin:80", "Robert:1"}));
    QCOMPARE(column(dm, QStringLiteral("SELECT CZYID || ':' || coalesce(s1, '') FROM defaultgk")),
             (QStringList{"Admin:", "Robert:G318"}));
    QCOMPARE(dm.GetLastUser(), QStringLiteral("Robert"));
    // He logs in under the new name and sees his projects.
    RowSet rows;
    rows.load(dm.GetZiLiaoData(QStringLiteral("robert")));
    QVERIFY(rows.find(5) >= 0 && rows.find(6) >= 0 && rows.find(7) < 0);
    QVERIFY(m_renames.isEmpty());
    QCOMPARE(m_login.opName, QStringLiteral("Admin"));
    QVERIFY(m_prompter.messages(QStringLiteral("information")).isEmpty());
}

void TestUsers::renameLetterCaseOnlyStoresNothing()
{
    TDataPoolDM& dm = m_f->dm();
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    UserManager& m = manager();
    UserAccount edited = m.PropertiesOf(QStringLiteral("bob"));
    edited.name = QStringLiteral("BOB");
    QCOMPARE(m.WriteProperties(QStringLiteral("bob"), edited), QStringLiteral("bob"));
    QCOMPARE(column(dm, QStringLiteral("SELECT opName FROM czy")), (QStringList{"Admin", "bob"}));
    QCOMPARE(m.account(QStringLiteral("bob"))->name, QStringLiteral("bob"));
}

void TestUsers::renameRefusals_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("another account's name") << "bob" << "ANN" << 0 << "无法更改 bob 的用户名。";
    QTest::newRow("invalid") << "bob" << "b<b" << 0 << "无法更改 bob 的用户名。";
    QTest::newRow("empty") << "bob" << "  " << 0 << "无法更改 bob 的用户名。";
    QTest::newRow("sharing name") << "bob" << "Everyone" << 0 << "无法更改 bob 的用户名。";
    QTest::newRow("own name other case") << "bob" << "Bob" << 0 << "";
    QTest::newRow("last advanced made standard")
        << "Admin" << "Admin" << 0 << "无法把用户 Admin 改为标准用户：这是最后一个高级用户。系统中至少要保留一个高级用户，才能管理用户和模板库。";
    QTest::newRow("standard made advanced") << "bob" << "bob" << 1 << "";
}

void TestUsers::renameRefusals()
{
    QFETCH(QString, account);
    QFETCH(QString, newName);
    QFETCH(int, type);
    QFETCH(QString, text);
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    m_f->addUser(QStringLiteral("ann"), {}, 0);
    UserManager& m = manager();
    UserAccount edited = m.PropertiesOf(account);
    edited.name = newName;
    edited.type = type;
    const UserRefusal r = m.PropertiesRefusal(account, edited);
    QCOMPARE(r.text, text);
    if (!r)
        return;
    QCOMPARE(r.caption, kCaption);
    QCOMPARE(int(r.icon), int(Prompter::Icon::Error));
    QCOMPARE(failureMessage([&] { m.WriteProperties(account, edited); }), text);
    QCOMPARE(column(m_f->dm(), QStringLiteral("SELECT opName || opType FROM czy")), (QStringList{"Admin1", "ann0", "bob0"}));
}

void TestUsers::ownRenameAndTypeChange()
{
    TDataPoolDM& dm = m_f->dm();
    m_f->addUser(QStringLiteral("boss"), {}, 1);
    m_f->addNode(Library::ZiLiao, nodeRec(1, 5, QStringLiteral("我的工程"), 0, 1), QStringLiteral("boss"));
    exec(dm, QStringLiteral("INSERT INTO defaultgk (CZYID) VALUES ('boss')"));
    UserManager& m = manager(QStringLiteral("BOSS"));
    UserAccount edited = m.PropertiesOf(QStringLiteral("boss"));
    edited.name = QStringLiteral("chief");
    edited.type = UserType::Standard;
    QCOMPARE(m.WriteProperties(QStringLiteral("boss"), edited), QStringLiteral("chief"));
    QCOMPARE(m_renames, QStringList{QStringLiteral("chief")});
    QCOMPARE(m_login.opName, QStringLiteral("chief"));
    QCOMPARE(column(dm, QStringLiteral("SELECT UserID FROM ZiLiao WHERE ItemID = 5")), QStringList{"chief"});
    QCOMPARE(dm.GetUserType(QStringLiteral("chief")), 0);
    QCOMPARE(m_prompter.messages(QStringLiteral("information")),
             QStringList{QStringLiteral("用户 boss 权限有变化，必须重新登录或注销可以应用。")});
    QCOMPARE(m_prompter.events.last().caption, QStringLiteral("用户权限"));
    QVERIFY(m.isLoggedIn(QStringLiteral("CHIEF")));
}

void TestUsers::typeChangeOfOtherAccountNeedsNoNotice()
{
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    UserManager& m = manager();
    UserAccount edited = m.PropertiesOf(QStringLiteral("bob"));
    edited.type = UserType::Advanced;
    edited.description = QStringLiteral("  测量员 ");
    m.WriteProperties(QStringLiteral("bob"), edited);
    QCOMPARE(m_f->dm().GetUserType(QStringLiteral("bob")), 1);
    QCOMPARE(m.account(QStringLiteral("bob"))->description, QStringLiteral("测量员"));
    QVERIFY(m_prompter.messages(QStringLiteral("information")).isEmpty());
    // Now there are two advanced accounts: Admin may become a standard user.
    UserAccount admin = m.PropertiesOf(QStringLiteral("Admin"));
    admin.type = UserType::Standard;
    QVERIFY(!m.PropertiesRefusal(QStringLiteral("Admin"), admin));
}

void TestUsers::renameIsAllOrNothing()
{
    TDataPoolDM& dm = m_f->dm();
    m_f->addUser(QStringLiteral("bob"), {}, 0);
    m_f->addNode(Library::ZiLiao, nodeRec(1, 5, QStringLiteral("工程"), 0, 1), QStringLiteral("bob"));
    m_f->addNode(Library::GuiDang, nodeRec(1, 5, QStringLiteral("档案柜"), 0), QStringLiteral("bob"));
    UserManager& m = manager();
    refuseWrites(dm, QStringLiteral("UPDATE"), QStringLiteral("GuiDang"), QStringLiteral("locked"));
    UserAccount edited = m.PropertiesOf(QStringLiteral("bob"));
    edited.name = QStringLiteral("rob");
    edited.type = UserType::Advanced;
    QVERIFY(failureMessage([&] { m.WriteProperties(QStringLiteral("bob"), edited); }).contains(QStringLiteral("locked")));
    QCOMPARE(column(dm, QStringLiteral("SELECT opName || opType FROM czy")), (QStringList{"Admin1", "bob0"}));
    QCOMPARE(column(dm, QStringLiteral("SELECT UserID FROM ZiLiao WHERE ItemID = 5")), QStringList{"bob"});
    QCOMPARE(m.account(QStringLiteral("bob"))->type, 0);
    QVERIFY(!m.account(QStringLiteral("rob")));
    allowWrites(dm, QStringLiteral("GuiDang"));
    QCOMPARE(m.WriteProperties(QStringLiteral("bob"), edited), QStringLiteral("rob"));
    QCOMPARE(column(dm, QStringLiteral("SELECT UserID FROM GuiDang WHERE ItemID = 5")), QStringList{"rob"});
}

void TestUsers::passwords()
{
    TDataPoolDM& dm = m_f->dm();
    m_f->addUser(QStringLiteral("bob"), QStringLiteral("old"), 0);
    UserManager& m = manager();
    QCOMPARE(UserRules::SetPasswordRefusal(QStringLiteral("a"), QStringLiteral("b")).text,
             QStringLiteral("您键入的密码不匹配。请在两个文本框内键入该帐户的密码。"));
    QCOMPARE(UserRules::SetPasswordRefusal(QStringLiteral("a"), QStringLiteral("b")).caption, QStringLiteral("设置用户密码"));
    QCOMPARE(UserRules::WizardPasswordRefusal(QStringLiteral("a"), QStringLiteral("A")).text,
             QStringLiteral("您键入的密码不匹配。请在两个文本框内键入该账户的密码。"));
    QCOMPARE(UserRules::WizardPasswordRefusal(QStringLiteral("a"), QStringLiteral("A")).caption, QStringLiteral("添加用户向导"));
    QVERIFY(!UserRules::SetPasswordRefusal(QStringLiteral(" x "), QStringLiteral(" x ")));

    m.SetPassword(QStringLiteral("BOB"), QStringLiteral(" New Pass "));
    QVERIFY(dm.UserExists(QStringLiteral("bob"), QStringLiteral(" new pass ")));
    QVERIFY(!dm.UserExists(QStringLiteral("bob"), QStringLiteral("new pass")));
    QVERIFY(!dm.UserExists(QStringLiteral("bob"), QStringLiteral("old")));
    m.SetPassword(QStringLiteral("bob"), QString());
    QCOMPARE(column(dm, QStringLiteral("SELECT CASE WHEN opPassword IS NULL THEN 1 ELSE 0 END FROM czy WHERE opName = 'bob'")), QStringList{"1"});

    // A clear-text password of an older release is replaced by its hash even when it is typed again.
    exec(dm, QStringLiteral("UPDATE czy SET opPassword = 'plain' WHERE opName = 'bob'"));
    UserManager& fresh = manager();
    fresh.SetPassword(QStringLiteral("bob"), QStringLiteral("plain"));
    QVERIFY(PasswordHash::isHash(column(dm, QStringLiteral("SELECT opPassword FROM czy WHERE opName = 'bob'")).value(0)));

    QCOMPARE(failureMessage([&] { fresh.SetPassword(QStringLiteral("nobody"), QStringLiteral("x")); }),
             QStringLiteral("要修改密码的用户已经不存在后台表中。"));
}

void TestUsers::loadRules()
{
    m_login = TLoginInfo{QStringLiteral("Admin"), 0};
    UserManager standard(m_f->dm(), m_login, m_prompter);
    QCOMPARE(failureMessage([&] { standard.Load(); }), QStringLiteral("只有高级用户才能管理用户和密码。"));
    m_login = TLoginInfo{QStringLiteral("ghost"), 1};
    UserManager ghost(m_f->dm(), m_login, m_prompter);
    QCOMPARE(failureMessage([&] { ghost.Load(); }), QStringLiteral("当前登录用户不存在用户列表中。"));
    exec(m_f->dm(), QStringLiteral("UPDATE czy SET opType = 7"));
    UserManager& m = manager();
    QCOMPARE(failureMessage([&] { m.PropertiesOf(QStringLiteral("admin")); }), QStringLiteral("用户的类别有误！"));
    QCOMPARE(failureMessage([&] { m.PropertiesOf(QStringLiteral("nobody")); }), QStringLiteral("被选中的用户不在后台中。"));
}

QTEST_MAIN(TestUsers)
#include "tst_users.moc"
