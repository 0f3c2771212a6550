#pragma once
#include "core/Prompter.h"

#include <QPointer>
#include <QWidget>

class QProgressDialog;
class QStatusBar;

// The desktop program's prompter: questions and messages as modal message boxes over the main window, names in
// input boxes, file choices in file dialogs, status texts in the first panel of the main window's status bar
// (repainted at once, since long operations run on the user-interface thread), the hourglass as override cursor.
class WidgetPrompter final : public Prompter {
public:
    WidgetPrompter() = default;

    // The window the dialogs belong to and the label of the first status panel; both may change (log-out).
    void setParentWidget(QWidget* parent) { m_parent = parent; }
    void setStatusTarget(QWidget* target) { m_status = target; }

    bool askText(const QString& caption, const QString& prompt, QString& value) override;
    bool confirm(const QString& caption, const QString& text) override;
    Answer question(const QString& caption, const QString& text, bool withCancel) override;
    void message(Icon icon, const QString& caption, const QString& text) override;
    QString chooseOpenFile(const QString& caption, const QString& filter, const QString& dir) override;
    QString chooseSaveFile(const QString& caption, const QString& filter, const QString& proposal) override;
    QString chooseFolder(const QString& caption, const QString& dir) override;
    // The save dialog adds the extension itself, so its overwrite question names the file that will be written.
    QString chooseSaveFileWithExt(const QString& caption, const QString& filter, const QString& proposal,
                                  const QString& defaultExt) override;
    void status(const QString& text) override;
    void setBusy(bool busy) override;
    // Long work: the status text, and after half a second a window-modal progress window with "取消".
    bool progress(const QString& text, qint64 done, qint64 total) override;
    void endProgress() override;

    // The caption of the confirmation that TDeleteBoxFrm asks instead of a message box ("确认删除").
    static QString DeleteBoxCaption();

    // Filters are written as "描述|*.a;*.b|描述|*.c"; Qt's dialogs want "描述 (*.a *.b);;描述 (*.c)".
    static QString qtFilter(const QString& filter);

private:
    QWidget* dialogParent() const;

    QPointer<QWidget> m_parent;
    QPointer<QWidget> m_status;
    QPointer<QProgressDialog> m_progress;
};
