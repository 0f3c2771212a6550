#pragma once
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

// Every question, message, file choice, status text and busy cursor that an operation of the core needs goes
// through this interface. The GUI answers with dialogs (app/WidgetPrompter); tests and the CLI answer from a script
// (core/ScriptedPrompter). The core never shows anything itself.
class Prompter {
public:
    enum class Answer { Yes, No, Cancel };
    enum class Icon { Information, Warning, Error, Question };

    virtual ~Prompter() = default;

    // Asks for a line of text; `value` holds the proposal on entry and the answer on return. False: cancelled.
    virtual bool askText(const QString& caption, const QString& prompt, QString& value) = 0;
    // Yes / No question; true for Yes.
    virtual bool confirm(const QString& caption, const QString& text) = 0;
    // Yes / No (/ Cancel when `withCancel`).
    virtual Answer question(const QString& caption, const QString& text, bool withCancel) = 0;
    // A modal message with one OK button.
    virtual void message(Icon icon, const QString& caption, const QString& text) = 0;
    // File and folder choices; an empty result means cancelled.
    virtual QString chooseOpenFile(const QString& caption, const QString& filter, const QString& dir) = 0;
    virtual QString chooseSaveFile(const QString& caption, const QString& filter, const QString& proposal) = 0;
    virtual QString chooseFolder(const QString& caption, const QString& dir) = 0;
    // A save dialog with a default extension (".gc", with its dot), added to a chosen name that has none. By
    // default chooseSaveFile, then the extension added.
    virtual QString chooseSaveFileWithExt(const QString& caption, const QString& filter, const QString& proposal,
                                          const QString& defaultExt);
    // Text of the first status-bar panel (progress of long operations); the GUI repaints at once.
    virtual void status(const QString& text) = 0;
    // Hourglass on / off. Use BusyCursor rather than calling this directly.
    virtual void setBusy(bool busy) = 0;
    // Progress of long work (batch printing, export, import, backup): step `done` of `total` (0: unknown) with a
    // text. Returns false once the user asked to stop; the work then stops after the current step and says so.
    // The default shows the text as a status text and never stops.
    virtual bool progress(const QString& text, qint64 done, qint64 total);
    // The long work ended, successfully or not: the progress display goes away. Use ProgressScope.
    virtual void endProgress() {}

    void inform(const QString& caption, const QString& text) { message(Icon::Information, caption, text); }
    void warn(const QString& caption, const QString& text) { message(Icon::Warning, caption, text); }
    void error(const QString& caption, const QString& text) { message(Icon::Error, caption, text); }
};

// Ends the progress display when the scope is left, also by an exception.
class ProgressScope {
public:
    explicit ProgressScope(Prompter& p) : m_p(p) {}
    ~ProgressScope() { m_p.endProgress(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    bool step(const QString& text, qint64 done, qint64 total) { return m_p.progress(text, done, total); }

private:
    Prompter& m_p;
};

// Progress of many small steps: the first, the last and then at most every 50 ms reach the prompter (which repaints
// the status bar each time), so that reporting never costs more than the work. `text` is called only for the steps
// that are shown.
class ThrottledProgress {
public:
    explicit ThrottledProgress(ProgressScope& scope) : m_scope(scope) { m_clock.start(); }
    template <typename F>
    bool step(F&& text, qint64 done, qint64 total)
    {
        if (done != 1 && done != total && m_clock.elapsed() < 50)
            return true;
        m_clock.restart();
        return m_scope.step(text(), done, total);
    }

private:
    ProgressScope& m_scope;
    QElapsedTimer m_clock;
};

// Hourglass for the lifetime of the guard, also when an exception leaves the scope.
class BusyCursor {
public:
    explicit BusyCursor(Prompter& p) : m_p(p) { m_p.setBusy(true); }
    ~BusyCursor() { m_p.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Prompter& m_p;
};
