#include "core/ScriptedPrompter.h"

#include <QTextStream>

bool ScriptedPrompter::askText(const QString& caption, const QString& prompt, QString& value)
{
    events.append({QStringLiteral("askText"), caption, prompt});
    if (texts.isEmpty())
        return false;
    const QString answer = texts.dequeue();
    if (answer.isNull())
        return false;
    value = answer;
    return true;
}

bool ScriptedPrompter::confirm(const QString& caption, const QString& text)
{
    events.append({QStringLiteral("confirm"), caption, text});
    if (answers.isEmpty())
        return defaultYes;
    return answers.dequeue() == Answer::Yes;
}

Prompter::Answer ScriptedPrompter::question(const QString& caption, const QString& text, bool withCancel)
{
    events.append({QStringLiteral("question"), caption, text});
    if (answers.isEmpty())
        return defaultYes ? Answer::Yes : (withCancel ? Answer::Cancel : Answer::No);
    return answers.dequeue();
}

void ScriptedPrompter::message(Icon icon, const QString& caption, const QString& text)
{
    static const char* const kinds[] = {"information", "warning", "error", "question"};
    events.append({QString::fromLatin1(kinds[int(icon)]), caption, text});
}

QString ScriptedPrompter::chooseOpenFile(const QString& caption, const QString&, const QString&)
{
    events.append({QStringLiteral("openFile"), caption, {}});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedPrompter::chooseSaveFile(const QString& caption, const QString&, const QString& proposal)
{
    events.append({QStringLiteral("saveFile"), caption, proposal});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedPrompter::chooseFolder(const QString& caption, const QString&)
{
    events.append({QStringLiteral("folder"), caption, {}});
    return files.isEmpty() ? QString() : files.dequeue();
}

void ScriptedPrompter::status(const QString& text)
{
    events.append({QStringLiteral("status"), {}, text});
}

bool ScriptedPrompter::progress(const QString& text, qint64 done, qint64 total)
{
    ++progressCalls;
    const QString line = total > 0 ? QStringLiteral("[%1/%2] %3").arg(done).arg(total).arg(text)
                                   : QStringLiteral("[%1] %2").arg(done).arg(text);
    events.append({QStringLiteral("progress"), {}, line});
    if (echoProgress) {
        QTextStream err(stderr);
        err << line << '\n';
    }
    return stopAtProgress <= 0 || progressCalls < stopAtProgress;
}

void ScriptedPrompter::endProgress()
{
    events.append({QStringLiteral("endProgress"), {}, {}});
}

void ScriptedPrompter::setBusy(bool busy)
{
    busyDepth += busy ? 1 : -1;
}

QStringList ScriptedPrompter::messages(const QString& kind) const
{
    QStringList out;
    for (const Event& e : events)
        if (e.kind == kind)
            out << e.text;
    return out;
}

QString ScriptedPrompter::lastStatus() const
{
    for (auto it = events.crbegin(); it != events.crend(); ++it)
        if (it->kind == QLatin1String("status"))
            return it->text;
    return {};
}
