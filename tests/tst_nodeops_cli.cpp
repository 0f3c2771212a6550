#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// The node commands end to end: quelmar-cli on a fresh program folder, as a script would use it.
class TstNodeOpsCli : public QObject {
    Q_OBJECT

    ProgramFolderFixture* m_folder = nullptr;

    CliRun cli(QStringList args)
    {
        args.prepend(m_folder->paths().AppDir);
        args.prepend(QStringLiteral("--dir"));
        return runQuelmarCli(args);
    }
    QJsonObject show(const QString& library, const QString& id)
    {
        const CliRun r = cli({QStringLiteral("show"), library, id, QStringLiteral("--json")});
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }
    static QString text(const char* s) { return QString::fromUtf8(s); }

private slots:
    void init() { m_folder = new ProgramFolderFixture; }
    void cleanup()
    {
        delete m_folder;
        m_folder = nullptr;
    }

    void newShowRenameMove()
    {
        const QString m = QStringLiteral("moban");
        QCOMPARE(cli({QStringLiteral("new"), m, QStringLiteral("0"), QStringLiteral("9"), text("模板")}).out,
                 QStringLiteral("2\n"));
        QCOMPARE(cli({QStringLiteral("new"), m, QStringLiteral("2"), QStringLiteral("3"), text("分部")}).out,
                 QStringLiteral("3\n"));
        cli({QStringLiteral("new"), m, QStringLiteral("3"), QStringLiteral("4"), text("分类")});
        const CliRun sub = cli({QStringLiteral("new"), m, QStringLiteral("4"), QStringLiteral("5"), text("分项")});
        QCOMPARE(sub.exitCode, 0);
        QCOMPARE(sub.out, QStringLiteral("5\n"));

        const QJsonObject o = show(m, QStringLiteral("5"));
        QCOMPARE(o.value(QStringLiteral("TypeID")).toInt(), 5);
        QCOMPARE(o.value(QStringLiteral("Ext")).toString(), QStringLiteral(".cll"));
        const QString path = o.value(QStringLiteral("path")).toString();
        QCOMPARE(path, m_folder->paths().MobanFolderPath(1) + QStringLiteral("1.cll"));
        QVERIFY(QFileInfo(path).isFile());
        QVERIFY(cli({QStringLiteral("show"), m, QStringLiteral("5")}).out.contains(QStringLiteral("path: ") + path));

        QCOMPARE(cli({QStringLiteral("rename"), m, QStringLiteral("5"), text(" 新名 ")}).exitCode, 0);
        QCOMPARE(show(m, QStringLiteral("5")).value(QStringLiteral("Name")).toString(), text(" 新名 "));

        cli({QStringLiteral("new"), m, QStringLiteral("4"), QStringLiteral("11"), text("样式")});
        const CliRun up = cli({QStringLiteral("move-up"), m, QStringLiteral("6")});
        QCOMPARE(up.exitCode, 0);
        QCOMPARE(show(m, QStringLiteral("6")).value(QStringLiteral("iPartIndex")).toInt(), 0);
        QCOMPARE(show(m, QStringLiteral("5")).value(QStringLiteral("iPartIndex")).toInt(), 1);
    }

    void refusalsExitNonZeroWithTheMessage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("kind not offered")
            << QStringList{QStringLiteral("new"), QStringLiteral("moban"), QStringLiteral("0"), QStringLiteral("5"),
                           QStringLiteral("x")}
            << text("“模板库”下不能新建类型为 5 的节点；可新建的类型：9 模板。");
        QTest::newRow("project") << QStringList{QStringLiteral("new"), QStringLiteral("project"), QStringLiteral("0"),
                                                QStringLiteral("1"), QStringLiteral("x")}
                                 << text("新建工程（类型 1）由新建工程向导按模板建立，命令行尚不提供。");
        QTest::newRow("external file") << QStringList{QStringLiteral("new"), QStringLiteral("moban"),
                                                      QStringLiteral("0"), QStringLiteral("16"), QStringLiteral("x")}
                                       << text("外部文件（类型 16）通过导入文档建立，命令行尚不提供。");
        QTest::newRow("bin") << QStringList{QStringLiteral("new"), QStringLiteral("ziliao"), QStringLiteral("1"),
                                            QStringLiteral("10"), QStringLiteral("x")}
                             << text("加收站不提供此功能！请选择其他节点。");
        QTest::newRow("blank name") << QStringList{QStringLiteral("new"), QStringLiteral("archive"),
                                                   QStringLiteral("0"), QStringLiteral("1"), QStringLiteral(" ")}
                                    << text("名称无效，请提供一个正确有效的名称。");
        QTest::newRow("delete without --yes")
            << QStringList{QStringLiteral("delete"), QStringLiteral("archive"), QStringLiteral("2")}
            << text("未删除：没有得到确认（加 --yes 回答“是”）。");
        QTest::newRow("empty bin") << QStringList{QStringLiteral("empty-bin"), QStringLiteral("moban"),
                                                  QStringLiteral("--yes")}
                                   << text("空的！");
        QTest::newRow("no such node") << QStringList{QStringLiteral("show"), QStringLiteral("moban"),
                                                     QStringLiteral("42")}
                                      << text("没有关键字为 42 的节点（或它不属于当前用户）。");
    }
    void refusalsExitNonZeroWithTheMessage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        m_folder->addNode(Library::GuiDang, nodeRec(1, 2, QStringLiteral("K"), 0), QStringLiteral("Admin"));
        const CliRun r = cli(args);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err.trimmed(), message);
        QCOMPARE(r.out, QString());
        QCOMPARE(show(QStringLiteral("archive"), QStringLiteral("2")).value(QStringLiteral("Name")).toString(),
                 QStringLiteral("K"));
    }

    void deleteAndEmptyTheBin()
    {
        const QString p = QStringLiteral("project");
        m_folder->addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("P"), 0, 1), QStringLiteral("Admin"));
        QVERIFY(QDir().mkpath(m_folder->paths().ZiLiaoFolderPath(1)));
        QCOMPARE(cli({QStringLiteral("new"), p, QStringLiteral("2"), QStringLiteral("10"), QStringLiteral("c")}).out,
                 QStringLiteral("3\n"));
        const CliRun recycled = cli({QStringLiteral("delete"), p, QStringLiteral("3"), QStringLiteral("--yes")});
        QCOMPARE(recycled.exitCode, 0);
        QCOMPARE(recycled.out, text("已放入回收站：c [3]\n"));
        QCOMPARE(show(p, QStringLiteral("3")).value(QStringLiteral("P_ItemID")).toInt(), 1);
        QCOMPARE(cli({QStringLiteral("empty-bin"), p}).exitCode, 1);
        QCOMPARE(cli({QStringLiteral("empty-bin"), p, QStringLiteral("--yes")}).exitCode, 0);
        QCOMPARE(cli({QStringLiteral("show"), p, QStringLiteral("3")}).exitCode, 1);
        QCOMPARE(show(p, QStringLiteral("2")).value(QStringLiteral("Name")).toString(), QStringLiteral("P"));
    }
};

QTEST_GUILESS_MAIN(TstNodeOpsCli)
#include "tst_nodeops_cli.moc"
