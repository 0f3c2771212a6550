// copy, move, archive and locate end to end: quelmar-cli on a program folder, as a script would use them.
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"
#include "core/ScriptedPrompter.h"
#include "trees/LibraryData.h"
#include "trees/NodeOps.h"
#include "users/Login.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TstCopyCli : public QObject {
    Q_OBJECT

    ProgramFolderFixture* m_folder = nullptr;

    CliRun cli(QStringList args)
    {
        args.prepend(m_folder->paths().AppDir);
        args.prepend(QStringLiteral("--dir"));
        return runQuelmarCli(args);
    }
    QJsonObject show(const QString& library, int id)
    {
        const CliRun r = cli({QStringLiteral("show"), library, QString::number(id), QStringLiteral("--json")});
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }
    static QString text(const char* s) { return QString::fromUtf8(s); }

    // Template 模板 (2) > 分部 (3) > 分类 (4) > 分项 (5, file 1); archive 柜 (2) > 类 (3); project P (2, folder 1) >
    // 路基 (3).
    void build()
    {
        TLoginInfo login{QStringLiteral("Admin"), 1};
        ScriptedPrompter prompter;
        LibraryData moban(Library::Moban);
        moban.load(m_folder->dm(), login.opName);
        NodeOps ops(NodeOpsContext{moban, m_folder->dm(), m_folder->paths(), login, prompter});
        const QModelIndex t = ops.CreateNode(9, moban.tree.index(0, 0), text("模板"));
        const QModelIndex d = ops.CreateNode(3, t, text("分部"));
        const QModelIndex c = ops.CreateNode(4, d, text("分类"));
        ops.CreateNode(5, c, text("分项"));
        m_folder->addNode(Library::GuiDang, nodeRec(1, 2, text("柜"), 0), QStringLiteral("Admin"), 0);
        m_folder->addNode(Library::GuiDang, nodeRec(2, 3, text("类"), 2), QStringLiteral("Admin"), 0);
        m_folder->addNode(Library::ZiLiao, nodeRec(1, 2, text("P"), 0, 1), QStringLiteral("Admin"), 0);
        m_folder->addNode(Library::ZiLiao, nodeRec(3, 3, text("路基"), 2, 1), QStringLiteral("Admin"), 0);
        QDir().mkpath(m_folder->paths().ZiLiaoFolderPath(1));
    }

private slots:
    void init()
    {
        m_folder = new ProgramFolderFixture;
        build();
    }
    void cleanup()
    {
        delete m_folder;
        m_folder = nullptr;
    }

    void copyMoveAndArchive()
    {
        const QString m = QStringLiteral("moban");
        const CliRun copy = cli({QStringLiteral("copy"), m, QStringLiteral("2"), QStringLiteral("0"), QStringLiteral("child")});
        QCOMPARE(copy.exitCode, 0);
        QCOMPARE(copy.out, QStringLiteral("6\n"));
        QCOMPARE(copy.err.trimmed(), text("目标位置: 模板库->最后一个节点。"));
        QCOMPARE(show(m, 6).value(QStringLiteral("iDir")).toInt(), 2);
        QCOMPARE(show(m, 6).value(QStringLiteral("iPartIndex")).toInt(), 1);
        QCOMPARE(show(m, 1).value(QStringLiteral("iPartIndex")).toInt(), 2);   // the bin stays last
        const QJsonObject copiedForm = show(m, 9);
        QCOMPARE(copiedForm.value(QStringLiteral("TypeID")).toInt(), 5);
        QVERIFY(QFileInfo(copiedForm.value(QStringLiteral("path")).toString()).isFile());

        // The copied division goes into the other template with its form, whose file moves along.
        const CliRun move = cli({QStringLiteral("move"), m, QStringLiteral("7"), QStringLiteral("3"), QStringLiteral("next"),
                                 QStringLiteral("--json")});
        QCOMPARE(move.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(move.out.toUtf8()).object().value(QStringLiteral("ItemID")).toInt(), 7);
        const QJsonObject moved = show(m, 9);
        QCOMPARE(moved.value(QStringLiteral("iDir")).toInt(), 1);
        QCOMPARE(moved.value(QStringLiteral("File_Name")).toInt(), 2);
        QVERIFY(QFileInfo(moved.value(QStringLiteral("path")).toString()).isFile());
        QVERIFY(!QFileInfo::exists(copiedForm.value(QStringLiteral("path")).toString()));
        QCOMPARE(show(m, 7).value(QStringLiteral("iPartIndex")).toInt(), 1);

        const CliRun archive = cli({QStringLiteral("archive"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("child")});
        QCOMPARE(archive.exitCode, 0);
        QCOMPARE(archive.out, QStringLiteral("4\n"));
        const QJsonObject archived = show(QStringLiteral("archive"), 4);
        QCOMPARE(archived.value(QStringLiteral("TypeID")).toInt(), 2);
        QCOMPARE(archived.value(QStringLiteral("P_ItemID")).toInt(), 3);
        QCOMPARE(show(QStringLiteral("archive"), 5).value(QStringLiteral("Name")).toString(), text("路基"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString m = QStringLiteral("moban");
        QTest::newRow("form onto the root") << QStringList{QStringLiteral("copy"), m, QStringLiteral("5"), QStringLiteral("0"),
                                                           QStringLiteral("child")}
                                            << 1 << text("目标节点类型错误！");
        QTest::newRow("onto its own descendant") << QStringList{QStringLiteral("move"), m, QStringLiteral("2"), QStringLiteral("3"),
                                                                QStringLiteral("child")}
                                                 << 1 << text("不能把“模板”放到它自己的下级中。");
        QTest::newRow("same parent") << QStringList{QStringLiteral("move"), m, QStringLiteral("4"), QStringLiteral("3"),
                                                    QStringLiteral("child")}
                                     << 1 << text("无法移动“分类”：目标节点和源节点相同。");
        QTest::newRow("archive onto a cabinet") << QStringList{QStringLiteral("archive"), QStringLiteral("2"), QStringLiteral("2"),
                                                               QStringLiteral("child")}
                                                << 1 << text("目标节点类型错误！");
        QTest::newRow("onto the bin") << QStringList{QStringLiteral("copy"), m, QStringLiteral("3"), QStringLiteral("1"),
                                                     QStringLiteral("child")}
                                      << 1 << text("拖到回收站上只能删除节点。");
        QTest::newRow("bad place") << QStringList{QStringLiteral("copy"), m, QStringLiteral("3"), QStringLiteral("2"),
                                                  QStringLiteral("inside")}
                                   << 2 << QString();
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const CliRun r = cli(args);
        QCOMPARE(r.exitCode, exitCode);
        if (!message.isEmpty())
            QCOMPARE(r.err.trimmed(), message);
        QCOMPARE(r.out, QString());
        QCOMPARE(show(QStringLiteral("moban"), 4).value(QStringLiteral("P_ItemID")).toInt(), 3);
        QCOMPARE(cli({QStringLiteral("show"), QStringLiteral("moban"), QStringLiteral("6")}).exitCode, 1);
    }

    void locate()
    {
        const QString m = QStringLiteral("moban");
        // Flat order: 模板库 0, 模板 2, 分部 3, 分类 4, 分项 5, 回收站 1.
        QCOMPARE(cli({QStringLiteral("locate"), m, text("分")}).out, text("3\t分部\n4\t分类\n5\t分项\n"));
        const CliRun json = cli({QStringLiteral("locate"), m, text("分"), QStringLiteral("--up"), QStringLiteral("--json")});
        QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).array(), (QJsonArray{5, 4, 3}));
        QCOMPARE(cli({QStringLiteral("locate"), m, text("分"), QStringLiteral("--from"), QStringLiteral("4")}).out,
                 text("4\t分类\n5\t分项\n"));
        QCOMPARE(cli({QStringLiteral("locate"), m, text("分"), QStringLiteral("--whole")}).exitCode, 1);
        QCOMPARE(cli({QStringLiteral("locate"), m, text("分类"), QStringLiteral("--whole")}).out, text("4\t分类\n"));
        const CliRun none = cli({QStringLiteral("locate"), m, text(" 桥 ")});
        QCOMPARE(none.exitCode, 1);
        QCOMPARE(none.err.trimmed(), text("“桥” 没有被找到！"));
    }
};

QTEST_GUILESS_MAIN(TstCopyCli)
#include "tst_copy_cli.moc"
