// The user commands end to end: add with a password (the --password after the command's name), list, log in as the
// new user, rename one's own account and keep one's projects, delete with and without --yes, the refusals.
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TstUsersCli : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolderFixture> m_folder;

    CliRun cli(QStringList args, const QString& user = QStringLiteral("Admin"), const QString& password = QString())
    {
        args = QStringList{QStringLiteral("--dir"), m_folder->paths().AppDir, QStringLiteral("--user"), user,
                           QStringLiteral("--password"), password}
             + args;
        return runQuelmarCli(args);
    }
    static QStringList u(std::initializer_list<const char*> words)
    {
        QStringList l{QStringLiteral("user")};
        for (const char* w : words)
            l << QString::fromUtf8(w);
        return l;
    }

private slots:
    void init() { m_folder = std::make_unique<ProgramFolderFixture>(); }
    void cleanup() { m_folder.reset(); }

    void addListLoginRename()
    {
        CliRun r = cli(u({"add", " boss ", "--full", "王工", "--des", "项目经理", "--password", "Pa55", "--type", "1"}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("已添加用户 boss（高级用户）\n"));
        r = cli(u({"list", "--json"}));
        const QJsonArray list = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[1].toObject().value(QStringLiteral("name")).toString(), QStringLiteral("boss"));
        QCOMPARE(list[1].toObject().value(QStringLiteral("fullName")).toString(), QStringLiteral("王工"));
        QCOMPARE(list[1].toObject().value(QStringLiteral("type")).toInt(), 1);

        // The new user logs in with his password in any letter case, and owns a project.
        QCOMPARE(cli({QStringLiteral("login")}, QStringLiteral("BOSS"), QStringLiteral("pa55")).exitCode, 0);
        QCOMPARE(cli({QStringLiteral("login")}, QStringLiteral("boss"), QString()).exitCode, 1);
        m_folder->addNode(Library::ZiLiao, nodeRec(1, 5, QStringLiteral("我的工程"), 0, 1), QStringLiteral("boss"));

        // He renames himself: his project goes with him.
        r = cli(u({"set", "boss", "--rename", "chief", "--type", "1"}), QStringLiteral("boss"), QStringLiteral("pa55"));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("已修改用户 chief\n"));
        r = cli({QStringLiteral("tree"), QStringLiteral("project")}, QStringLiteral("chief"), QStringLiteral("PA55"));
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QStringLiteral("我的工程")));

        // His own type change tells him to log in again.
        r = cli(u({"set", "chief", "--type", "0", "--des", "  资料员 "}), QStringLiteral("chief"), QStringLiteral("pa55"));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QStringLiteral("用户 chief 权限有变化，必须重新登录或注销可以应用。\n"));
        r = cli(u({"list"}));
        QVERIFY(r.out.contains(QStringLiteral("chief\t标准用户\t王工\t资料员")));

        // A standard user does not reach user management.
        r = cli(u({"list"}), QStringLiteral("chief"), QStringLiteral("pa55"));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("只有高级用户才能管理用户和密码。\n"));

        r = cli(u({"passwd", "CHIEF", "neu"}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(cli({QStringLiteral("login")}, QStringLiteral("chief"), QStringLiteral("NEU")).exitCode, 0);
    }

    void refusalsAndDelete()
    {
        QCOMPARE(cli(u({"add", "bob"})).exitCode, 0);
        CliRun r = cli(u({"add", "BOB"}));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("无法添加用户BOB，因为该用户已经有权使用本系统。\n"));
        r = cli(u({"add", "a/b"}));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.startsWith(QStringLiteral("您输入的用户名称无效。")));
        QCOMPARE(cli(u({"add", "x", "--type", "2"})).exitCode, 2);
        r = cli(u({"set", "bob", "--rename", "admin"}));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("无法更改 bob 的用户名。\n"));
        r = cli(u({"set", "admin", "--type", "0"}));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("最后一个高级用户")));

        r = cli(u({"delete", "admin", "--yes"}));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("无法删除用户 Admin, 用户正在使用中。\n"));
        r = cli(u({"delete", "bob"}));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("--yes")));
        r = cli(u({"delete", "nobody", "--yes"}));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("没有名为“nobody”的用户。\n"));
        r = cli(u({"delete", "Bob", "--yes"}));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("已删除用户 bob\n"));
        QVERIFY(!cli(u({"list"})).out.contains(QStringLiteral("bob")));
    }
};

QTEST_MAIN(TstUsersCli)
#include "tst_users_cli.moc"
