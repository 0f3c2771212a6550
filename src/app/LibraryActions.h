#pragma once
#include "app/LibraryEntries.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QMenu;
class QToolBar;
class QToolButton;
class QWidget;

// The one set of actions of a library and every place that offers them: the toolbar with its New / Import / Export
// drop-down buttons, the tree's pop-up menu with its submenus "新建(&N)", "导入(&I)", "导出(&E)", the operations
// menu with the same submenus, and (template and project libraries) the recycle-bin pop-up menu. The drop-downs and
// the submenus are the same menu objects, so the three places always offer the same entries; `apply` switches them
// by a row of the library's entry table.
//
// Actions are named as the main window's handlers expect: prefix + verb (+ kind), e.g. "ZiLiaoNewTypeID6",
// "MobanRename", "GuiDangSave"; `action(name)` finds one by its full name.
class LibraryActions final : public QObject {
    Q_OBJECT
public:
    LibraryActions(Library library, QWidget* parent);

    Library library() const { return m_library; }
    QString prefix() const { return libraryPrefix(m_library); }

    // The action with the full name, or nullptr.
    QAction* action(const QString& name) const;
    // The action prefix + suffix ("Rename" -> "MobanRename"), or nullptr.
    QAction* own(const QString& suffix) const { return action(prefix() + suffix); }
    QList<QAction*> actions() const { return m_ordered; }

    QMenu* newMenu() const { return m_newMenu; }
    QMenu* importMenu() const { return m_importMenu; }   // nullptr in the archive library
    QMenu* exportMenu() const { return m_exportMenu; }   // nullptr in the archive library
    QMenu* treeMenu() const { return m_treeMenu; }
    QMenu* recycleMenu() const { return m_recycleMenu; }   // nullptr in the archive library
    QMenu* operationsMenu() const { return m_opsMenu; }
    QToolBar* toolBar() const { return m_toolBar; }
    QToolButton* newButton() const { return m_newButton; }
    QToolButton* importButton() const { return m_importButton; }
    QToolButton* exportButton() const { return m_exportButton; }

    // Switches visibility, default entries, button captions and enabling for a selected node of the given kind;
    // nullptr (no node selected) switches every node entry off.
    void apply(const KindEntries* entries);
    const KindEntries* applied() const { return m_applied; }

    // Runs the default entry of a drop-down ("没有指定的默认项。" when it has none).
    static void runDefault(QMenu* menu);

    // What a click on one of the three drop-down buttons does; by default runDefault on its menu. The main window
    // puts the recycle-bin refusal in front of it.
    void setButtonHandler(std::function<void(QMenu*)> handler) { m_buttonHandler = std::move(handler); }

    // Gives the actions' shortcuts their scope, so the same key can serve all three libraries: node actions act where
    // the library's tree has the focus, saving and printing also where its viewer has it (keys such as Del and F2
    // belong to the viewer's cells there).
    void setShortcutScope(const QList<QWidget*>& trees, const QList<QWidget*>& panes);

private:
    QAction* make(const QString& suffix, const QString& caption, const QString& icon, const QString& shortcut = {});
    QAction* makeKind(const QString& verb, int kind, const QString& caption);
    void buildMenus(QWidget* parent);
    void buildToolBar(QWidget* parent);
    QToolButton* dropDownButton(QMenu* menu, const QString& icon);
    void switchKinds(QMenu* menu, const QList<int>& kinds);

    Library m_library;
    QHash<QString, QAction*> m_actions;
    QList<QAction*> m_ordered;
    QMenu* m_newMenu = nullptr;
    QMenu* m_importMenu = nullptr;
    QMenu* m_exportMenu = nullptr;
    QMenu* m_treeMenu = nullptr;
    QMenu* m_recycleMenu = nullptr;
    QMenu* m_opsMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolButton* m_newButton = nullptr;
    QToolButton* m_importButton = nullptr;
    QToolButton* m_exportButton = nullptr;
    QAction* m_newButtonAction = nullptr;
    QAction* m_newSeparator = nullptr;
    QAction* m_importButtonAction = nullptr;
    QAction* m_exportButtonAction = nullptr;
    QAction* m_exchangeSeparator = nullptr;
    const KindEntries* m_applied = nullptr;
    std::function<void(QMenu*)> m_buttonHandler;
};
