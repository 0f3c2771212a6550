#pragma once
#include "projects/ProjectOverview.h"
#include "store/RowSet.h"

#include <QDialog>
#include <QList>

class Prompter;
class QComboBox;
class QLabel;
class QPushButton;
class TDataPoolDM;

// "工程概况": a project's (or the user's default) 18 header values in editable combo boxes, each offering its
// option list; "维护选项列表(&C)" maintains the lists on the dialog's own copy and refills the choices, keeping
// the texts typed so far. The boxes take at most the 50 characters the overview columns hold.
class TProjectOptFrm final : public QDialog {
    Q_OBJECT
public:
    TProjectOptFrm(TDataPoolDM& dm, Prompter& prompter, QWidget* parent = nullptr);

    void setLabel(const QString& text);
    QString label() const;
    void setValues(const QStringList& values);
    QStringList values() const;   // as typed
    QComboBox* box(int n) const { return m_boxes.value(n - 1); }   // n = 1..18
    QPushButton* optionsButton() const { return m_options; }

    // "维护选项列表(&C)".
    void maintainOptionLists();

private:
    void fillChoices();

    TDataPoolDM& m_dm;
    Prompter& m_prompter;
    DataPacket m_gkxx;   // the dialog's copy of the option lists
    QLabel* m_label = nullptr;
    QList<QComboBox*> m_boxes;
    QPushButton* m_options = nullptr;
};

// The editor of the overview operations: TProjectOptFrm shown modally.
class ProjectOptEditor final : public OverviewEditor {
public:
    ProjectOptEditor(TDataPoolDM& dm, Prompter& prompter, QWidget* parent)
        : m_dm(dm), m_prompter(prompter), m_parent(parent)
    {
    }
    bool edit(const QString& label, QStringList& values) override;

private:
    TDataPoolDM& m_dm;
    Prompter& m_prompter;
    QWidget* m_parent;
};

// ZiLiaoProjectMsg on a project node and ZiLiaoDefaultProjectMsg for the logged-in user, with the dialog.
OverviewResult RunProjectOverview(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, int dirNo,
                                  const QString& projectName);
OverviewResult RunDefaultOverview(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, const QString& userName);
