#include "core/Prompter.h"

bool Prompter::progress(const QString& text, qint64 done, qint64 total)
{
    status(total > 0 ? QStringLiteral("%1 (%2/%3)").arg(text).arg(done).arg(total) : text);
    return true;
}
