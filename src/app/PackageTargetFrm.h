#pragma once
#include "trees/LibraryTreeModel.h"

#include <QDialog>
#include <QList>
#include <QPersistentModelIndex>

class QComboBox;
class QLabel;
class QTreeView;

// "导入交换包": where a package opened from outside the program goes — the library (when the package fits more than
// one) and the node below which it is imported, chosen in the library's tree. The dialog shows the main window's own
// tree models; the import itself is the core's.
class TPackageTargetFrm final : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        QString caption;              // "工程库", "模板库"
        LibraryTreeModel* model = nullptr;
        QModelIndex initial;          // the node proposed (the library's selected node)
        bool rootOnly = false;        // a template or project package: always below the library's root
    };

    TPackageTargetFrm(const QString& file, const QList<Choice>& choices, QWidget* parent = nullptr);

    int chosenLibrary() const;
    QModelIndex chosenNode() const;

private:
    void showChoice(int i);

    QList<Choice> m_choices;
    QComboBox* m_library = nullptr;
    QTreeView* m_tree = nullptr;
    QLabel* m_hint = nullptr;
};
