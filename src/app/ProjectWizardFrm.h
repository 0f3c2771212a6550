#pragma once
#include "projects/NewProject.h"

#include <QDialog>

class Prompter;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QTreeView;
class TDataPoolDM;

// "新建项目": page 1 chooses a template and names the project, page 2 shows the template's items with ticks
// (ticking a node ticks its ancestors and subtree; unticking unticks its subtree). The rules live in
// ProjectWizard; the dialog only shows them.
class TProjectWizardFrm final : public QDialog {
    Q_OBJECT
public:
    TProjectWizardFrm(TDataPoolDM& dm, Prompter& prompter, QWidget* parent = nullptr);

    // After OK: the name as typed and the ticked items (ProjectWizardTree::result).
    QString projectName() const;
    DataPacket resultRows() const;

    ProjectWizard& wizard() { return m_wizard; }
    QListWidget* templateList() const { return m_templates; }
    QLineEdit* nameEdit() const { return m_name; }
    QTreeView* itemTree() const { return m_tree; }
    QPushButton* backButton() const { return m_back; }
    QPushButton* nextButton() const { return m_next; }
    QLabel* templatePanel() const { return m_panel; }
    QToolButton* largeIconsButton() const { return m_large; }
    QToolButton* listButton() const { return m_list; }
    int page() const;

    void next();
    void back();

private:
    void templateChanged();
    const NodeRecord* selectedTemplate() const;

    Prompter& m_prompter;
    ProjectWizard m_wizard;
    QStackedWidget* m_pages = nullptr;
    QListWidget* m_templates = nullptr;
    QLabel* m_panel = nullptr;
    QLineEdit* m_name = nullptr;
    QTreeView* m_tree = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QAction* m_popupNext = nullptr;
    QToolButton* m_large = nullptr;
    QToolButton* m_list = nullptr;
};

// The wizard shown modally; true when accepted, with the name as typed and the result rows.
bool RunProjectWizard(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, QString& projectName,
                      DataPacket& result);
