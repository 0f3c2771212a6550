#include "core/Prompter.h"

#include <QFileInfo>

bool Prompter::progress(const QString& text, qint64 done, qint64 total)
{
    status(total > 0 ? QStringLiteral("%1 (%2/%3)").arg(text).arg(done).arg(total) : text);
    return true;
}

QString Prompter::chooseSaveFileWithExt(const QString& caption, const QString& filter, const QString& proposal,
                                        const QString& defaultExt)
{
    QString file = chooseSaveFile(caption, filter, proposal);
    if (!file.isEmpty() && !defaultExt.isEmpty() && QFileInfo(file).suffix().isEmpty())
        file += defaultExt.startsWith(QLatin1Char('.')) ? defaultExt : QLatin1Char('.') + defaultExt;
    return file;
}
