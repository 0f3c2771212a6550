#pragma once
#include "core/Prompter.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

// A prompter that answers from a script and records everything it was asked or told. Tests queue answers; the CLI
// sets defaults from its options (--yes). When the queue for a kind of question is empty the default answer is used:
// confirm/question -> defaultYes, askText -> cancelled, file choices -> cancelled.
class ScriptedPrompter : public Prompter {
public:
    struct Event {
        QString kind;     // "askText", "confirm", "question", "information", "warning", "error", "status", ...
        QString caption;
        QString text;
    };

    bool defaultYes = false;
    QQueue<QString> texts;        // answers for askText (a null QString cancels)
    QQueue<Answer> answers;       // answers for confirm and question
    QQueue<QString> files;        // answers for file and folder choices
    QList<Event> events;          // everything in order
    int busyDepth = 0;
    // progress() answers "stop" from its n-th call on (1 = the first); 0 never stops.
    int stopAtProgress = 0;
    int progressCalls = 0;
    // Progress lines also go to standard error (the CLI's progress display).
    bool echoProgress = false;

    bool askText(const QString& caption, const QString& prompt, QString& value) override;
    bool confirm(const QString& caption, const QString& text) override;
    Answer question(const QString& caption, const QString& text, bool withCancel) override;
    void message(Icon icon, const QString& caption, const QString& text) override;
    QString chooseOpenFile(const QString& caption, const QString& filter, const QString& dir) override;
    QString chooseSaveFile(const QString& caption, const QString& filter, const QString& proposal) override;
    QString chooseFolder(const QString& caption, const QString& dir) override;
    void status(const QString& text) override;
    void setBusy(bool busy) override;
    bool progress(const QString& text, qint64 done, qint64 total) override;
    void endProgress() override;

    // Texts of the events of one kind, in order (e.g. messages("warning")).
    QStringList messages(const QString& kind) const;
    QString lastStatus() const;
};
