#pragma once
// The table designer (TCellDesignerFrm): the full editor of one table file in its own spreadsheet control Cell1,
// with the menus "文件(&F)" ... "帮助(&H)", three toolbars (file / edit / data; rows, columns and cell kinds;
// fonts, colours, alignment, borders and number formats) and the close question. The commands themselves are
// DesignerCommands; the control's own dialogs are reached through RunControlDialog.
//
// Every action is a child of the window with its name as object name (action("FileSave")), so tests reach each.

#include "cell/CellControl.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class Prompter;
class QActionGroup;
class QComboBox;
class QMenu;
class QMenuBar;
class QToolBar;
class TDataPoolDM;

namespace cell {
class CellView;
}

namespace designer {

class DesignerCommands;

// What the designer works with: the data module (header-fill record and option lists; may be null for a file
// outside the libraries: the header-fill commands are then off), the prompter of its questions and messages, and
// the 18 header values that "加载工程概况(&L)" writes (empty: only the option lists are attached).
struct DesignerServices {
    TDataPoolDM* dm = nullptr;
    Prompter* prompter = nullptr;
    std::function<QStringList()> headerValues;
};

class TCellDesignerFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TCellDesignerFrm(DesignerServices services, QWidget* parent = nullptr);
    ~TCellDesignerFrm() override;

    // Steps of opening for editing: the node's FillMode ("填写属性(&F)..." shown only when it is not 0), the file
    // opened with the table-file password and undo on, the caption "%s - Diridod". False when the file cannot be
    // read (the control's message is in Cell1().errorString()); the designer then holds nothing.
    bool openFile(const QString& path, const QString& displayName, int fillMode);
    // The file is shown but not edited: nothing can be changed or saved, the caption says so; `note` (e.g. who
    // holds the form) follows the name in the caption.
    void setReadOnly(const QString& note);
    bool isReadOnly() const { return m_readOnly; }

    cell::CellControl& Cell1() { return m_cell; }
    cell::CellView* view() const { return m_view; }
    DesignerCommands& commands() { return *m_commands; }
    int fillMode() const { return m_fillMode; }

    // ---- for tests and the look of the window ----
    QAction* action(const QString& name) const { return m_actions.value(name); }
    QStringList actionNames() const { return m_actionOrder; }
    QMenuBar* menuBar() const { return m_menuBar; }
    QList<QToolBar*> toolBars() const { return m_toolBars; }
    QComboBox* fontNameBox() const { return m_fontName; }
    QComboBox* fontSizeBox() const { return m_fontSize; }
    QComboBox* lineStyleBox() const { return m_lineStyle; }
    QComboBox* zoomBox() const { return m_zoom; }
    // The drop-down menus of the toolbar buttons, by the button's action name ("BarPaste", "BarDrawLine",
    // "BarEraseLine", "BarCurrency", "BarDate", "BarTime", "BarFill").
    QMenu* dropDown(const QString& name) const { return m_dropDowns.value(name); }
    // Runs the entry of a drop-down that is marked default; "Error!" when none is.
    void runDefault(QMenu* menu);
    // How the colour dialog is asked (tests answer it); an invalid colour means cancelled.
    void setColorChooser(std::function<QColor(const QColor& initial, const QString& title)> chooser);

    // Enables undo / redo from CanUndo / CanRedo (also run whenever the workbook changes).
    void updateActions();

    // The close question ("返回(&B)", the window's close button, Esc): true when the window may close.
    bool closeQuery();

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QAction* add(const QString& name, const QString& caption, const QString& icon, const QKeySequence& shortcut,
                 const std::function<void()>& handler);
    QAction* addToggle(const QString& name, const QString& caption, const QString& icon,
                       const std::function<void(bool)>& handler);
    QAction* addDialog(const QString& name, const QString& caption, const QString& icon, int dialog, int argument = 0);
    void buildActions();
    void buildMenus();
    void buildToolBars();
    QMenu* dropDownMenu(const QString& name, const QList<QAction*>& entries, QAction* defaultEntry);
    void addDropDownButton(QToolBar* bar, const QString& name, const QString& hint, const QString& icon, QMenu* menu);
    void runGuarded(const std::function<void()>& work);
    void runDialog(int dialog, int argument);
    int lineStyle() const;
    void chooseColor(bool background);
    void fontStyleChanged();
    void alignChanged(QAction* button, bool checked);
    void showFormatState();
    void syncViewChecks();
    void updateCaption();
    void fileSave();
    void autoFillOpt();
    void loadProjectInfo();
    void specialPaste();
    void sheetSize();
    void sort(bool ascending);
    void about();

    DesignerServices m_s;
    cell::CellControl m_cell;
    cell::CellView* m_view = nullptr;
    std::unique_ptr<DesignerCommands> m_commands;
    QMenuBar* m_menuBar = nullptr;
    QList<QToolBar*> m_toolBars;
    QHash<QString, QAction*> m_actions;
    QStringList m_actionOrder;
    QHash<QString, QMenu*> m_dropDowns;
    QComboBox* m_fontName = nullptr;
    QComboBox* m_fontSize = nullptr;
    QComboBox* m_lineStyle = nullptr;
    QComboBox* m_zoom = nullptr;
    QActionGroup* m_alignGroup = nullptr;
    QMenu* m_fillMenu = nullptr;
    QMenu* m_clearMenu = nullptr;
    QMenu* m_drawMenu = nullptr;
    QMenu* m_eraseMenu = nullptr;
    QMenu* m_numberMenu = nullptr;
    QMenu* m_dateMenu = nullptr;
    QMenu* m_timeMenu = nullptr;
    std::function<QColor(const QColor&, const QString&)> m_colorChooser;
    QString m_displayName;
    QString m_readOnlyNote;
    int m_fillMode = 0;
    bool m_readOnly = false;
    bool m_fixedMark = false;
    bool m_fontsFilled = false;
    bool m_closing = false;
    bool m_formatStatePending = false;
};

}  // namespace designer
