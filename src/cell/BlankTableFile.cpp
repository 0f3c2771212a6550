#include "cell/BlankTableFile.h"
#include "core/QuelmarError.h"

#include <QSaveFile>

namespace cell {
// Placeholder until the table-file format lands: an empty file.
void writeBlankTableFile(const QString& path)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.commit())
        throw QuelmarError(QStringLiteral("无法写入文件 \"%1\"：%2").arg(path, f.errorString()));
}
}
