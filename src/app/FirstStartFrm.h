#pragma once
#include <QDialog>

class Prompter;
class QLineEdit;
class QPushButton;

// The first start of a user who has no program folder yet, "创建程序目录": where to make it (proposed: the place
// the program looked, ~/Quelmar unless another was remembered) with "浏览(&B)...", "创建(&C)" (a new folder with the
// sample template, CreateSampleProgramFolder), "打开已有的程序目录(&O)..." (a folder made before, elsewhere) and
// "退出(&X)". A creation that fails shows its message and the dialog stays; accepted, folder() is the program
// folder to start on. Messages and the folder choice go through the prompter.
class TFirstStartFrm final : public QDialog {
    Q_OBJECT
public:
    TFirstStartFrm(Prompter& prompter, const QString& proposal, QWidget* parent = nullptr);

    QString folder() const { return m_folder; }

    QLineEdit* folderEdit() const { return m_edit; }
    QPushButton* browseButton() const { return m_browse; }
    QPushButton* createButton() const { return m_create; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* quitButton() const { return m_quit; }

private:
    void browse();
    void create();
    void openExisting();

    Prompter& m_prompter;
    QString m_folder;
    QLineEdit* m_edit = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_create = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_quit = nullptr;
};

// Shows the dialog modally; the program folder to start on, empty when the user chose "退出(&X)".
QString ShowFirstStartDialog(Prompter& prompter, const QString& proposal);
