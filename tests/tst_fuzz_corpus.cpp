// The kept corpus of the fuzz targets (tests/fuzz/corpus: seeds and every input that once broke a reader) run
// through the same entry points as the fuzz programs, on every test run and in every build. A crash here is a
// crash of the desktop program or of quelmar-cli on such a file.
#include "fuzz/FuzzTargets.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtTest>

namespace {

using Target = int (*)(const uint8_t*, size_t);

} // namespace

class TstFuzzCorpus : public QObject {
    Q_OBJECT

private slots:
    void corpus_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        const QDir root(QStringLiteral(QUELMAR_FUZZ_CORPUS));
        for (const QString& target : {QStringLiteral("tablefile-payload"), QStringLiteral("tablefile-bytes"),
                                      QStringLiteral("formula")}) {
            QDirIterator it(root.filePath(target), QDir::Files);
            QStringList paths;
            while (it.hasNext())
                paths << it.next();
            paths.sort();
            for (const QString& path : paths)
                QTest::newRow(qPrintable(target + QLatin1Char('/') + QFileInfo(path).fileName())) << target << path;
        }
    }

    void corpus()
    {
        QFETCH(QString, target);
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const Target run = target == QLatin1String("formula")             ? fuzz::FormulaText
                         : target == QLatin1String("tablefile-bytes")     ? fuzz::TableFileBytes
                                                                          : fuzz::TableFilePayload;
        QCOMPARE(run(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())), 0);
    }

    // The corpus is there and holds each target's seeds (a missing folder would pass silently).
    void corpusIsThere()
    {
        const QDir root(QStringLiteral(QUELMAR_FUZZ_CORPUS));
        for (const QString& target : {QStringLiteral("tablefile-payload"), QStringLiteral("tablefile-bytes"),
                                      QStringLiteral("formula")})
            QVERIFY2(!QDir(root.filePath(target)).isEmpty(QDir::Files), qPrintable(target));
    }
};

QTEST_MAIN(TstFuzzCorpus)
#include "tst_fuzz_corpus.moc"
