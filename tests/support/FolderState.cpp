#include "support/FolderState.h"

#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/DatabaseSchema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace {

QString databaseState(const QString& appDir)
{
    QStringList out;
    try {
        TDataPoolDM dm(ProgramDatabase(AppPaths::forDir(appDir)));
        for (const QString& table : DatabaseSchema::mainTableNames()) {
            QSqlQuery q(dm.database());
            q.exec(QStringLiteral("SELECT * FROM ") + table);
            QStringList lines;
            while (q.next()) {
                QStringList cells;
                for (int i = 0; i < q.record().count(); ++i) {
                    const QVariant v = q.value(i);
                    // Truth values read alike on both engines.
                    const QString text = v.typeId() == QMetaType::Bool ? QString::number(v.toBool() ? 1 : 0) : v.toString();
                    cells << DatabaseSchema::canonicalColumn(table, q.record().fieldName(i)) + QLatin1Char('=') + text;
                }
                lines << cells.join(QLatin1Char(' '));
            }
            lines.sort();
            out << QStringLiteral("[%1]").arg(table) << lines;
        }
    } catch (const QuelmarError& e) {
        return QStringLiteral("(database cannot be opened: %1)").arg(e.message());
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace

QString ProgramFolderState(const QString& appDir)
{
    QStringList out{databaseState(appDir)};
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
