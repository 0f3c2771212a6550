#include "support/FolderState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace {

QString databaseState(const QString& file)
{
    const QString name = QStringLiteral("folder-state");
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            return QStringLiteral("(database cannot be opened)");
        QStringList tables = db.tables();
        tables.sort();
        for (const QString& table : tables) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT * FROM ") + table);
            QStringList lines;
            while (q.next()) {
                QStringList cells;
                for (int i = 0; i < q.record().count(); ++i)
                    cells << q.record().fieldName(i) + QLatin1Char('=') + q.value(i).toString();
                lines << cells.join(QLatin1Char(' '));
            }
            lines.sort();
            out << QStringLiteral("[%1]").arg(table) << lines;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out.join(QLatin1Char('\n'));
}

} // namespace

QString ProgramFolderState(const QString& appDir)
{
    QStringList out{databaseState(QDir(appDir).filePath(QStringLiteral("vesk.mdb")))};
    QDirIterator it(appDir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(appDir).relativeFilePath(path);
        if (rel.startsWith(QStringLiteral("vesk.mdb")) || rel == QLatin1String("Journal"))
            continue;
        QString entry = rel;
        if (it.fileInfo().isFile()) {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            entry += QLatin1Char(' ')
                   + QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex());
        }
        files << entry;
    }
    files.sort();
    out << QStringLiteral("[files]") << files;
    return out.join(QLatin1Char('\n'));
}
