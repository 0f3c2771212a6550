// The exchange commands end to end: quelmar-cli on a program folder with the demo template, as a script uses them.
#include "projects/SampleTemplate.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestDatabase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TstExchangeCli : public QObject {
    Q_OBJECT

    ProgramFolderFixture* m_folder = nullptr;
    QTemporaryDir* m_outside = nullptr;
    int m_template = 0;

    CliRun cli(QStringList args)
    {
        args.prepend(m_folder->paths().AppDir);
        args.prepend(QStringLiteral("--dir"));
        return runQuelmarCli(args);
    }
    QJsonObject show(const QString& library, const QString& id)
    {
        return QJsonDocument::fromJson(cli({QStringLiteral("show"), library, id, QStringLiteral("--json")}).out.toUtf8())
            .object();
    }
    QString out(const QString& name) const { return m_outside->filePath(name); }

private slots:
    void init()
    {
        m_folder = new ProgramFolderFixture;
        m_outside = new QTemporaryDir;
        m_template = AddSampleTemplate(m_folder->dm(), m_folder->paths());
    }
    void cleanup()
    {
        delete m_folder;
        delete m_outside;
        m_folder = nullptr;
        m_outside = nullptr;
    }

    void packagesAndFiles()
    {
        const QString t = QString::number(m_template);
        // The kind follows from the node; the package lands as a new template before the bin.
        const CliRun exported = cli({QStringLiteral("export"), QStringLiteral("template"), t, out(QStringLiteral("模板 甲.mb"))});
        QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
        QVERIFY(exported.err.contains(QStringLiteral("文件被导到: ")));
        QVERIFY(QFileInfo(out(QStringLiteral("模板 甲.mb"))).isFile());
        const CliRun imported = cli({QStringLiteral("import"), QStringLiteral("template"), QStringLiteral("0"),
                                     out(QStringLiteral("模板 甲.mb"))});
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        const QString copy = imported.out.trimmed();
        const QJsonObject c = show(QStringLiteral("template"), copy);
        QCOMPARE(c.value(QStringLiteral("TypeID")).toInt(), 9);
        QCOMPARE(c.value(QStringLiteral("Name")).toString(), SampleTemplateName());
        QVERIFY(c.value(QStringLiteral("iDir")).toInt() != show(QStringLiteral("template"), t).value(QStringLiteral("iDir")).toInt());

        // A bad kind is a usage error; a kind that does not fit the node is still only the dialogs' choice.
        QCOMPARE(cli({QStringLiteral("export"), QStringLiteral("template"), t, out(QStringLiteral("x.mb")),
                      QStringLiteral("--kind"), QStringLiteral("12")})
                     .err.contains(QStringLiteral("不合法的导出类型。")),
                 true);
        // A template does not go below a node of the template.
        const CliRun refused = cli({QStringLiteral("import"), QStringLiteral("template"), t, out(QStringLiteral("模板 甲.mb"))});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.err.contains(QStringLiteral("不能导入到")));

        // External files in and out.
        const QString doc = out(QStringLiteral("记录.txt"));
        QFile f(doc);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("notes");
        f.close();
        const QJsonObject tpl = show(QStringLiteral("template"), copy);
        QVERIFY(!tpl.isEmpty());
        // The first data category of the copy: the ids below it are consecutive from the copy's key.
        int category = 0;
        for (int id = copy.toInt() + 1; id < copy.toInt() + 60 && category == 0; ++id)
            if (show(QStringLiteral("template"), QString::number(id)).value(QStringLiteral("TypeID")).toInt() == 4)
                category = id;
        QVERIFY(category > 0);
        const CliRun added = cli({QStringLiteral("import-file"), QStringLiteral("template"), QString::number(category), doc});
        QVERIFY2(added.exitCode == 0, qPrintable(added.err));
        const QJsonObject d = show(QStringLiteral("template"), added.out.trimmed());
        QCOMPARE(d.value(QStringLiteral("Ext")).toString(), QStringLiteral(".txt"));
        QCOMPARE(d.value(QStringLiteral("Name")).toString(), QStringLiteral("记录.txt"));
        const CliRun copied = cli({QStringLiteral("export-file"), QStringLiteral("template"), added.out.trimmed(),
                                   out(QStringLiteral("副本.txt"))});
        QVERIFY2(copied.exitCode == 0, qPrintable(copied.err));
        QFile back(out(QStringLiteral("副本.txt")));
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), QByteArray("notes"));
    }

    void saveAsStyle()
    {
        const CliRun project = cli({QStringLiteral("new-project"), QString::number(m_template), QStringLiteral("工程甲")});
        QVERIFY2(project.exitCode == 0, qPrintable(project.err));
        // A sub-item of the project and a form below it.
        int sub = 0;
        for (int id = project.out.trimmed().toInt(); id < project.out.trimmed().toInt() + 80 && sub == 0; ++id)
            if (show(QStringLiteral("project"), QString::number(id)).value(QStringLiteral("TypeID")).toInt() == 5)
                sub = id;
        QVERIFY(sub > 0);
        const CliRun form = cli({QStringLiteral("new"), QStringLiteral("project"), QString::number(sub), QStringLiteral("6"),
                                 QStringLiteral("检验表")});
        QVERIFY2(form.exitCode == 0, qPrintable(form.err));
        const CliRun saved = cli({QStringLiteral("save-as-style"), form.out.trimmed(), out(QStringLiteral("样式.ys"))});
        QVERIFY2(saved.exitCode == 0, qPrintable(saved.err));
        QVERIFY(saved.err.contains(QStringLiteral("文件被保存到: ")));
        const CliRun division = cli({QStringLiteral("save-as-style"), QString::number(sub), out(QStringLiteral("不行.ys"))});
        QCOMPARE(division.exitCode, 1);
        QVERIFY(division.err.contains(QStringLiteral("请选择最终节点即最终表格！")));
        QVERIFY(!QFileInfo::exists(out(QStringLiteral("不行.ys"))));
    }

    void backupAndRestore()
    {
        QUELMAR_SQLITE_ONLY();
        const CliRun backup = cli({QStringLiteral("backup"), out(QStringLiteral("全部.qmb"))});
        QVERIFY2(backup.exitCode == 0, qPrintable(backup.err));
        QVERIFY(backup.err.contains(QStringLiteral("正在备份")));   // progress on stderr
        const QString target = out(QStringLiteral("新机器"));
        const CliRun restore = runQuelmarCli({QStringLiteral("restore"), out(QStringLiteral("全部.qmb")), target});
        QVERIFY2(restore.exitCode == 0, qPrintable(restore.err));
        const CliRun tree = runQuelmarCli({QStringLiteral("--dir"), target, QStringLiteral("tree"), QStringLiteral("template")});
        QCOMPARE(tree.exitCode, 0);
        QVERIFY(tree.out.contains(SampleTemplateName()));
        // Over an installation only with --yes.
        const CliRun again = runQuelmarCli({QStringLiteral("restore"), out(QStringLiteral("全部.qmb")), target});
        QCOMPARE(again.exitCode, 1);
        QVERIFY(again.err.contains(QStringLiteral("--yes")));
        QCOMPARE(runQuelmarCli({QStringLiteral("--yes"), QStringLiteral("restore"), out(QStringLiteral("全部.qmb")), target}).exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TstExchangeCli)
#include "tst_exchange_cli.moc"
