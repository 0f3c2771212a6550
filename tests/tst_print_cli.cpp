// The printing commands end to end: quelmar-cli print and batch-print on the demo template and on a project made
// from it; the PDF read back with pdftotext.
#include "projects/SampleTemplate.h"
#include "support/PrintSupport.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TstPrintCli : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolderFixture> m_folder;
    int m_template = 0;

    CliRun cli(QStringList args)
    {
        args.prepend(m_folder->paths().AppDir);
        args.prepend(QStringLiteral("--dir"));
        return runQuelmarCli(args);
    }
    QString pdf(const QString& name) const { return m_folder->dir() + QLatin1Char('/') + name; }
    // The pages of one node printed alone.
    QStringList alone(const QString& library, int id)
    {
        const QString out = pdf(QStringLiteral("alone-%1.pdf").arg(id));
        const CliRun r = cli({QStringLiteral("print"), library, QString::number(id), QStringLiteral("--pdf"), out});
        if (r.exitCode != 0)
            return {QStringLiteral("<print %1 failed: %2>").arg(id).arg(r.err)};
        return pdfPageTexts(out);
    }

private slots:
    void initTestCase()
    {
        m_folder = std::make_unique<ProgramFolderFixture>();
        m_template = AddSampleTemplate(m_folder->dm(), m_folder->paths());
    }
    void cleanupTestCase() { m_folder.reset(); }

    void batchPrintTemplateWithCopiesAndExclusions()
    {
        // The demo template: 通用部分 (4, 5), 路基工程 (8, 9, 11), 路面工程 (14, 15, 17), 桥梁工程 (20, 21, 23, 24).
        const QString out = pdf(QStringLiteral("batch.pdf"));
        const CliRun r = cli({QStringLiteral("batch-print"), QStringLiteral("template"), QString::number(m_template),
                              QStringLiteral("--pdf"), out, QStringLiteral("--copies"), QStringLiteral("2"),
                              QStringLiteral("--exclude"), QStringLiteral("6"), QStringLiteral("--exclude"),
                              QStringLiteral("23")});
        QCOMPARE(r.exitCode, 0);
        QStringList expected;
        for (int id : {4, 5, 14, 15, 17, 20, 21, 24}) {
            const QStringList pages = alone(QStringLiteral("moban"), id);
            expected << pages << pages;
        }
        QCOMPARE(pdfPageTexts(out), expected);
        QCOMPARE(r.out, QStringLiteral("已打印 8 个表格文件，共 %1 页：%2\n").arg(expected.size()).arg(QDir::toNativeSeparators(out)));
        // Progress on stderr, file k of n.
        QVERIFY(r.err.contains(QStringLiteral("[0/8] 正在打印“施工放样报验单”")));
        QVERIFY(r.err.contains(QStringLiteral("[8/8]")));
    }

    void batchPrintProjectPrintsFinalFormsOnly()
    {
        // A project from the template holds the sub-items and styles only: nothing to print yet.
        CliRun r = cli({QStringLiteral("new-project"), QString::number(m_template), QStringLiteral("G318 改建"),
                        QStringLiteral("--json")});
        QCOMPARE(r.exitCode, 0);
        const int project = r.out.trimmed().toInt() > 0
                              ? r.out.trimmed().toInt()
                              : QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("ItemID")).toInt();
        QVERIFY(project > 0);
        r = cli({QStringLiteral("batch-print"), QStringLiteral("project"), QString::number(project),
                 QStringLiteral("--pdf"), pdf(QStringLiteral("empty.pdf"))});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.startsWith(QStringLiteral("请选择要打印的文件！")));
        QVERIFY(!QFile::exists(pdf(QStringLiteral("empty.pdf"))));

        // Two inspection forms below the project's first sub-item, their headers filled from the overview.
        QCOMPARE(cli({QStringLiteral("overview"), QStringLiteral("set"), QString::number(project),
                      QStringLiteral("1=G318 改建工程")}).exitCode,
                 0);
        r = cli({QStringLiteral("tree"), QStringLiteral("project"), QStringLiteral("--json")});
        const QString tree = r.out;
        int subItem = 0;
        for (const QJsonValue& v : QJsonDocument::fromJson(tree.toUtf8()).array())
            if (v.toObject().value(QStringLiteral("TypeID")).toInt() == 5) {
                subItem = v.toObject().value(QStringLiteral("ItemID")).toInt();
                break;
            }
        QVERIFY2(subItem > 0, qPrintable(tree.left(400)));
        QList<int> forms;
        for (const char* name : {"K1+000 压实度", "K2+000 压实度"}) {
            r = cli({QStringLiteral("new"), QStringLiteral("project"), QString::number(subItem), QStringLiteral("6"),
                     QString::fromUtf8(name)});
            QCOMPARE(r.exitCode, 0);
            forms << r.out.trimmed().toInt();
        }
        const QString out = pdf(QStringLiteral("project.pdf"));
        r = cli({QStringLiteral("batch-print"), QStringLiteral("project"), QString::number(project),
                 QStringLiteral("--pdf"), out, QStringLiteral("--json")});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value(QStringLiteral("files")).toInt(), 2);
        QCOMPARE(pdfPageTexts(out), alone(QStringLiteral("project"), forms[0]) + alone(QStringLiteral("project"), forms[1]));
        // The filled header of a new form is in the PDF as text.
        QVERIFY(pdfPageText(out, 1).contains(QStringLiteral("G318 改建工程")));
    }

    void refusals()
    {
        const QString out = pdf(QStringLiteral("x.pdf"));
        // A folder has no table file of its own.
        CliRun r = cli({QStringLiteral("print"), QStringLiteral("moban"), QStringLiteral("6"), QStringLiteral("--pdf"), out});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.startsWith(QStringLiteral("节点“路基工程”[6] 没有表格文件，无法打印")));
        r = cli({QStringLiteral("print"), QStringLiteral("moban"), QStringLiteral("8")});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains(QStringLiteral("--pdf")));
        r = cli({QStringLiteral("batch-print"), QStringLiteral("moban"), QStringLiteral("2"), QStringLiteral("--pdf"), out,
                 QStringLiteral("--copies"), QStringLiteral("0")});
        QCOMPARE(r.exitCode, 2);
        r = cli({QStringLiteral("print"), QStringLiteral("moban"), QStringLiteral("999"), QStringLiteral("--pdf"), out});
        QCOMPARE(r.exitCode, 1);
        // The project library's root offers no printing (its recycle bin would be printed too).
        r = cli({QStringLiteral("batch-print"), QStringLiteral("project"), QStringLiteral("0"), QStringLiteral("--pdf"), out});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("“资料库”是工程库的最顶层节点，不能批量打印；请选择它下面的节点。\n"));
        // A form whose file went missing: the message names it, nothing is written.
        const QString gone = m_folder->paths().MobanFolderPath(1);
        QVERIFY(!QFile::exists(out));
        QFile::rename(gone + QStringLiteral("3.cll"), gone + QStringLiteral("3.bak"));
        r = cli({QStringLiteral("batch-print"), QStringLiteral("moban"), QString::number(m_template), QStringLiteral("--pdf"),
                 out});
        QFile::rename(gone + QStringLiteral("3.bak"), gone + QStringLiteral("3.cll"));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("个表格文件“")) && r.err.contains(QStringLiteral("没有生成 PDF 文件。")),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(out));
    }
};

QTEST_MAIN(TstPrintCli)
#include "tst_print_cli.moc"
