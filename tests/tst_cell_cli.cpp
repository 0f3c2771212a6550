#include "support/TestSupport.h"

#include "cell/CellControl.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// quelmar-cli cell ...: end to end, through the program as a user runs it.
class TstCellCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    static QJsonObject json(const CliRun& r)
    {
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }
    static CliRun ok(const QStringList& args)
    {
        const CliRun r = runQuelmarCli(args);
        if (r.exitCode != 0)
            qWarning() << args << r.exitCode << r.err;
        return r;
    }

private slots:
    void newSetGetDump()
    {
        const QString f = path("form.cll");
        QCOMPARE(ok({"cell", "new", f}).exitCode, 0);
        QCOMPARE(runQuelmarCli({"cell", "new", f}).exitCode, 1);   // never overwrites by accident
        QCOMPARE(ok({"cell", "new", f, "--force"}).exitCode, 0);

        QCOMPARE(ok({"cell", "set", f, "b8", "K12+300 路基"}).exitCode, 0);
        QCOMPARE(ok({"cell", "set", f, "C2", "1234.5"}).exitCode, 0);
        QCOMPARE(ok({"cell", "set", f, "D2", "0012"}).exitCode, 0);

        CliRun r = ok({"cell", "get", f, "B8"});
        QCOMPARE(r.out.trimmed(), QStringLiteral("K12+300 路基"));
        r = ok({"cell", "get", f, "C2", "--json"});
        QJsonObject o = json(r);
        QCOMPARE(o.value("ref").toString(), QStringLiteral("C2"));
        QCOMPARE(o.value("value").toDouble(), 1234.5);
        QCOMPARE(o.value("text").toString(), QStringLiteral("1234.5"));
        QVERIFY(o.value("formula").isNull());
        o = json(ok({"cell", "get", f, "D2", "--json"}));
        QCOMPARE(o.value("value").toDouble(), 12.0);   // typed digits become a number
        o = json(ok({"cell", "get", f, "A1", "--json"}));
        QVERIFY(o.value("value").isNull());
        QCOMPARE(o.value("text").toString(), QString());

        QCOMPARE(ok({"cell", "set", f, "F2", "=1+2"}).exitCode, 0);   // data, not a formula
        o = json(ok({"cell", "get", f, "F2", "--json"}));
        QCOMPARE(o.value("value").toString(), QStringLiteral("=1+2"));
        QVERIFY(o.value("formula").isNull());
        QCOMPARE(ok({"cell", "set", f, "F2", ""}).exitCode, 0);      // empty text clears

        QCOMPARE(ok({"cell", "formula", f, "E2", "Sum(C2:D2)"}).exitCode, 0);
        o = json(ok({"cell", "get", f, "E2", "--json"}));
        QCOMPARE(o.value("value").toDouble(), 1246.5);
        QCOMPARE(o.value("formula").toString(), QStringLiteral("SUM(C2:D2)"));

        o = json(ok({"cell", "dump", f, "--json"}));
        QCOMPARE(o.value("sheets").toInt(), 1);
        QCOMPARE(o.value("cols").toInt(), 10);
        QCOMPARE(o.value("rows").toInt(), 30);
        QStringList refs;
        for (const QJsonValue& v : o.value("cells").toArray())
            refs << v.toObject().value("ref").toString();
        QCOMPARE(refs, QStringList({"C2", "D2", "E2", "B8"}));   // row by row

        r = ok({"cell", "dump", f});
        QVERIFY(r.out.contains(QStringLiteral("B8\tK12+300 路基")));
        QVERIFY(r.out.contains(QStringLiteral("E2\t1246.5\t=SUM(C2:D2)")));
    }

    void sizeAndRefusals()
    {
        const QString f = path("size.cll");
        QCOMPARE(ok({"cell", "new", f}).exitCode, 0);
        QCOMPARE(ok({"cell", "size", f, "8", "20"}).exitCode, 0);
        const QJsonObject o = json(ok({"cell", "dump", f, "--json"}));
        QCOMPARE(o.value("cols").toInt(), 8);
        QCOMPARE(o.value("rows").toInt(), 20);

        CliRun r = runQuelmarCli({"cell", "set", f, "I1", "x"});   // column 9 of 8
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("超出表格范围")), qPrintable(r.err));
        r = runQuelmarCli({"cell", "formula", f, "A21", "1+1"});
        QCOMPARE(r.exitCode, 1);
        r = runQuelmarCli({"cell", "set", f, "1A", "x"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("不正确")));
        r = runQuelmarCli({"cell", "formula", f, "A1", "SUM(A2"});
        QCOMPARE(r.exitCode, 1);
        r = runQuelmarCli({"cell", "size", f, "0", "5"});
        QCOMPARE(r.exitCode, 1);
        r = runQuelmarCli({"cell", "size", f, "x", "5"});
        QCOMPARE(r.exitCode, 2);
        r = runQuelmarCli({"cell", "get", f});
        QCOMPARE(r.exitCode, 2);
        // Nothing of the refused commands reached the file.
        QVERIFY(json(ok({"cell", "dump", f, "--json"})).value("cells").toArray().isEmpty());
    }

    void badFilesAreReportedNotWritten()
    {
        const QString f = path("junk.cll");
        QFile junk(f);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a table file at all");
        junk.close();
        CliRun r = runQuelmarCli({"cell", "set", f, "A1", "x"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("不是表格文件")), qPrintable(r.err));
        QVERIFY(junk.open(QIODevice::ReadOnly));
        QCOMPARE(junk.readAll(), QByteArray("not a table file at all"));
        r = runQuelmarCli({"cell", "get", path("missing.cll"), "A1"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("不存在")));
    }

    void pdfOfTheCurrentSheet()
    {
        const QString f = path("pdf.cll");
        QCOMPARE(ok({"cell", "new", f}).exitCode, 0);
        QCOMPARE(ok({"cell", "set", f, "B2", "路基压实度检验记录"}).exitCode, 0);
        QCOMPARE(ok({"cell", "set", f, "B3", "96.5"}).exitCode, 0);
        const QString out = path("out.pdf");
        QCOMPARE(ok({"cell", "pdf", f, out}).exitCode, 0);
        QFile pdf(out);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext is not installed");
        QProcess p;
        p.start(pdftotext, {out, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("路基压实度检验记录")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("96.5")));
    }
};

QTEST_GUILESS_MAIN(TstCellCli)
#include "tst_cell_cli.moc"
