#pragma once
#include "app/ContentPane.h"
#include "app/LibraryActions.h"
#include "app/MainActions.h"
#include "app/TableViewer.h"
#include "designer/DesignerEntry.h"
#include "store/AppPaths.h"
#include "store/RowSet.h"
#include "trees/LibraryData.h"
#include "trees/NodeOps.h"
#include "users/Login.h"

#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QStringList>

#include <functional>

class Prompter;
class QLabel;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QTreeView;
class TDataPoolDM;

// What the main window works with: the program folder's paths, the data module, the prompter of the operations,
// the logged-in user, and how the content panes' viewers are made.
struct MainServices {
    AppPaths paths;
    TDataPoolDM* dm = nullptr;
    Prompter* prompter = nullptr;
    TLoginInfo* login = nullptr;
    TableViewerFactory viewerFactory;   // empty: the spreadsheet engine's viewer
    // How a table file is opened in the designer and waited for (empty: the designer window, modally).
    std::function<void(QWidget* parent, const designer::DesignerServices&, const designer::DesignerRequest&)>
        designerRunner;
};

// The main window: the template page (template tree, its toolbar and content pane) and the project page (project
// tree with the archive tree below it, the toolbars ZBar / GBar, the shared content pane), the menus, the status
// bar, the per-user window layout, and the handlers of every library action (see MainActions.h).
class TMainFrm final : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainFrm(MainServices services, QWidget* parent = nullptr);
    ~TMainFrm() override;

    // ---- start-up and log-out (called by the program's start-up sequence) ----
    // Loads everything that depends on the logged-in user; `splash` is repainted between the steps and nodes.
    void LoadUserData(QWidget* splash = nullptr);
    void LoadWindowLayout();
    void SaveWindowLayout();
    // What "注销(&L)..." does after the user confirmed (the start-up sequence runs the re-login).
    void setLogoutHandler(std::function<void()> handler) { m_logoutHandler = std::move(handler); }
    // Before the window closes or the user logs out: each viewer holding a changed table asks whether to save it.
    // False when a save failed (the table stays, and the caller does not go on).
    bool SaveChangedTables();
    // Closes without the close question and without storing the layout (a cancelled re-login ends the program).
    void closeWithoutQuery();

    // ---- pages and trees ----
    void miMobanClick();
    void miZiLiaoClick();
    void tvZiLiaoEnter();
    void tvGuiDangEnter();
    void tvMobanChange();
    void tvZiLiaoChange();
    void tvGuiDangChange();
    bool isTemplatePageCurrent() const;
    bool templateLoaded() const { return TemplateLoaded; }

    // ---- state for the operations ----
    LibraryData& library(Library library);
    LibraryActions& actions(Library library);
    QTreeView* treeView(Library library) const;
    // The selected node of the library's tree (invalid when none).
    QModelIndex selectedNode(Library library) const;
    // Selects a node; the selection event runs as for a click.
    void selectNode(Library library, const QModelIndex& index);
    // The content pane that shows the library's nodes (the archive shares the project pane).
    ContentPane& contentPane(Library library);
    Prompter& prompter() { return *m_s.prompter; }
    TDataPoolDM& dataModule() { return *m_s.dm; }
    const TLoginInfo& loginInfo() const { return *m_s.login; }
    const AppPaths& paths() const { return m_s.paths; }
    // The full path of a node's file (template folders for the template library, project folders otherwise).
    QString nodeFilePath(Library library, const NodeRecord& record) const;
    // What the node operations of a library work with (its data, the viewer to close, the pending header fill, the
    // object count panel): `NodeOps(nodeOpsContext(lib)).Rename(selectedNode(lib))`.
    NodeOpsContext nodeOpsContext(Library library);
    // The node operations of a library in that context: `nodeOps(lib).MoveUp(selectedNode(lib))`.
    NodeOps nodeOps(Library library) { return NodeOps(nodeOpsContext(library)); }
    // Sets the text of a status-bar panel (0 node and progress, 1 object count).
    void setStatusText(int panel, const QString& text);
    // Whether a selected node of this kind shows a file in the content pane.
    static bool kindShowsFile(Library library, int typeId);

    // Project overview state (filled by the overview work): the 18 header values for new forms, whether a new form
    // waits for them, and the folder whose values were loaded last (0 after each login).
    QStringList PendingHeaderValues;
    bool HeaderFillPending = false;
    int HeaderValuesDir = 0;
    // The new form that HeaderFillPending waits for (its ItemID; 0: none): only that form is ever filled, so a fill
    // that failed is tried again on that form and never lands in another one.
    int HeaderFillItem = 0;

    // ---- panels and status bar ----
    bool isPanelShown(Library library) const;
    QString statusText(int panel) const;
    QMenu* operationsMenu(Library library) const;
    // The pop-up menu the library's tree shows for its selected node (the recycle-bin menu for the bin).
    QMenu* treeMenuFor(Library library) const;

    // Re-evaluates the save actions (enabled exactly while the viewer's table is modified).
    void updateSaveActions();

    // Menu items of the window (for tests and the start-up sequence).
    QAction* miUserManager = nullptr;
    QAction* miZiLiao = nullptr;
    QAction* miMoban = nullptr;
    QAction* miLogout = nullptr;
    QAction* miExit = nullptr;
    QAction* miGkxxConfig = nullptr;
    QAction* miRefresh = nullptr;
    QAction* miReadme = nullptr;
    QAction* miAbout = nullptr;
    QAction* miBackup = nullptr;
    QAction* miRestore = nullptr;

    // ---- action handlers: TMainFrm::<action>Execute ----
#define QUELMAR_DECLARE_HANDLER(name) void name##Execute();
    QUELMAR_MAIN_ACTIONS(QUELMAR_DECLARE_HANDLER)
#undef QUELMAR_DECLARE_HANDLER
    void miUserManagerClick();
    void miGkxxConfigClick();
    // Reloads the trees from the database (what other users or programs changed), keeping the open branches and
    // the selected nodes where they still exist.
    void miRefreshClick();
    void miReadmeClick();
    void miAboutClick();
    void miLogoutClick();
    // "工具 → 备份数据(&B)..." and "恢复数据(&R)..." (MainFrmExchange.cpp).
    void miBackupClick();
    void miRestoreClick();

    // The program was started with a package file ("quelmar FILE.gc"): asks for the library (where both fit) and
    // the node to import below (the selected node of that library first), then imports it as the import action of
    // its kind does and selects the new node. False when the user cancelled or the import failed (its message was
    // shown).
    bool ImportPackageFile(const QString& path);

    // The project overview and header fill of the selection event (MainFrmProjects.cpp): the overview values of
    // the node's folder (and the overview action's state), and the header fill of a newly created form.
    void LoadHeaderValues(const NodeRecord& node);
    void FillPendingHeader(const NodeRecord& node);
    // Double-click on a table node (and the edit actions after their checks): the file check ("文件 %s 不存在。"),
    // the viewer released, the designer run on the file with the node's name and FillMode, the viewer showing the
    // file again afterwards, whatever the designer did.
    void OpenInDesigner(Library library, const QModelIndex& node);

    // User management calls this when the logged-in user renames himself: his project and archive rows move to the
    // new name (the caller then replaces LoginInfo.opName).
    void OwnerRenameHook(const QString& newName);

    // The edit action of a library: the recycle-bin refusal, documents to their application, tables to the designer.
    void EditTable(Library library);

    // ---- the file the program was started on (`quelmar FILE`, MainFrmOpenFile.cpp) ----
    // After the login: a package (".gc", ".fb", ".fl", ".fx", ".jy", ".bg", ".mb", ".ys", ".cg") is imported
    // (ImportPackageFile); a table file (".cll") that a node of this program folder owns is selected in its tree
    // (the template page for a template's file), any other table file is shown read-only in the designer.
    void OpenFileArgument(const QString& path);
    // The package extensions, with their dot, lower case.
    static const QStringList& PackageExtensions();

    // Tells the user that an operation is not available yet.
    void notAvailable(const QString& actionName);

    // ---- drag and drop (MainFrmDragDrop.cpp) and locate node (LocateNodeFrm.cpp) ----
    // The last drop of each tree: the dragged node and the node it was dropped on (GuiDangDragSource is a project
    // node when the drop archives), and whether the dragged node lay in the recycle bin when the drag started.
    QPersistentModelIndex MobanDragSource, MobanDropTarget;
    QPersistentModelIndex ZiLiaoDragSource, ZiLiaoDropTarget;
    QPersistentModelIndex GuiDangDragSource, GuiDangDropTarget;
    bool MobanDragFromBin = false;
    bool ZiLiaoDragFromBin = false;
    // The drop menus; their entries are enabled by the drop's code when they open.
    QMenu* pmMSelfDrag = nullptr;
    QMenu* pmZSelfDrag = nullptr;
    QMenu* pmGSelfDrag = nullptr;
    QMenu* pmGuiDang = nullptr;
    QMenu* pmMDeleteDragSource = nullptr;
    QMenu* pmZDeleteDragSource = nullptr;
    // The find dialog of a library's tree, shown modally.
    void LocateNode(Library library);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPages();
    QWidget* buildTreePanel(Library library, const QString& title, QTreeView*& tree, QToolButton*& hideButton);
    void buildMenus();
    void buildStatusBar();
    void connectActions();
    void connectTree(Library library);
    void setOperationsMenus(bool ziLiao, bool moban, bool guiDang);
    // The selection event of a tree; `previous` is the node selected before (the same node when it is shown anew).
    void selectionEvent(Library library, const QModelIndex& previous);
    // Status texts and the library's entries for the node.
    void describeNode(Library library, const QModelIndex& node);
    // Before the next node is shown: the viewer's changed table is offered for saving and closed (template and
    // project trees) or saved (archive tree, when the next node shows a table). Throws when the save fails.
    void releaseViewer(Library library, const NodeRecord& next);
    // After a failed save: the selection goes back to the node whose table the viewer still shows.
    void keepViewerNodeSelected(Library library, const QModelIndex& previous);
    void showNodeContent(Library library, const NodeRecord& record);
    // Before another node replaces a modified table in the viewer: ask whether to save it.
    void offerToSaveViewer(TableViewer& viewer);
    void saveViewer(TableViewer& viewer);
    void setPanelShown(Library library, bool shown);
    void onHideButton(Library library);
    void treeDoubleClicked(Library library, const QModelIndex& index);
    void treeContextMenu(Library library, const QPoint& pos);
    void newButtonClicked(Library library, QMenu* menu);
    // The recycle-bin refusal of the template and project libraries; false when the bin is selected.
    bool RecycleGuard(Library library);
    void loadTemplateTree();
    void menusByUserType();
    // Runs an action handler, showing a failure in an error box.
    void run(const std::function<void()>& handler);
    // The node of the library's tree whose file is `canonicalPath` (invalid when none).
    QModelIndex nodeOwningFile(Library library, const QString& canonicalPath);

    // ---- exchange (MainFrmExchange.cpp) ----
    void buildExchangeMenu(QMenu* tools);
    void exportPackage(Library library, int kind);
    void importPackage(Library library, int kind);
    void importExternalFile(Library library);
    void exportExternalFile(Library library);
    // Shows a node a package or document import created: its library's page, the node selected.
    void showImported(Library library, const QModelIndex& node);

    // ---- node operations (MainFrmNodes.cpp) ----
    void newNode(Library library, int typeId);
    void renameNode(Library library);
    void deleteNode(Library library);
    void clearRecycle(Library library);
    void moveNode(Library library, bool up);
    // Runs an operation that may take the selected node out of its place (delete, purge, empty the bin); `op`
    // returns whether it did its work. The tree's own reaction to a removed current node is held back while it
    // runs. Afterwards the selection is shown again where it changed: `afterwards` when the operation was done,
    // else the current node, else the root; after a failure always (what was applied stays applied).
    void runRemoval(Library library, const QPersistentModelIndex& afterwards, const std::function<bool()>& op);

    // ---- drag and drop (MainFrmDragDrop.cpp) ----
    struct TreeDrag;
    void setUpDragDrop();
    // The mouse and key events of the trees' viewports while a node is pressed or dragged; true when consumed.
    bool dragDropEvent(QObject* watched, QEvent* event);
    void dragOver(const QPoint& globalPos);
    void dropAt(const QPoint& globalPos);
    void endDrag();
    void dropMenuChosen(Library library, bool move, int place);
    void archiveMenuChosen(int place);
    TreeDrag* m_drag = nullptr;   // a child object of the window

    // While positive, the trees' selection changes do not run the selection event (an operation is changing the
    // tree; it shows the selection itself when done).
    int m_selectionHold = 0;

    // The node whose table each viewer holds (the project page's viewer serves the project and archive trees).
    struct ViewerNode {
        Library library = Library::ZiLiao;
        QPersistentModelIndex index;
    };
    ViewerNode m_mobanViewerNode{Library::Moban, {}};
    ViewerNode m_ziLiaoViewerNode;

    MainServices m_s;
    LibraryData m_moban{Library::Moban};
    LibraryData m_ziLiao{Library::ZiLiao};
    LibraryData m_guiDang{Library::GuiDang};
    LibraryActions* m_mobanActs = nullptr;
    LibraryActions* m_ziLiaoActs = nullptr;
    LibraryActions* m_guiDangActs = nullptr;

    QStackedWidget* m_pages = nullptr;
    QWidget* MobanPage = nullptr;
    QWidget* ProjectPage = nullptr;
    QStackedWidget* m_projectBars = nullptr;
    QTreeView* tvMoban = nullptr;
    QTreeView* tvZiLiao = nullptr;
    QTreeView* tvGuiDang = nullptr;
    ContentPane* m_mobanPane = nullptr;
    ContentPane* m_ziLiaoPane = nullptr;
    QWidget* m_mobanPanel = nullptr;
    QWidget* m_ziLiaoPanel = nullptr;
    QWidget* m_guiDangPanel = nullptr;
    QSplitter* m_mobanSplitter = nullptr;
    QSplitter* m_projectSplitter = nullptr;
    QSplitter* m_leftSplitter = nullptr;
    QToolButton* m_mobanHide = nullptr;
    QToolButton* m_ziLiaoHide = nullptr;
    QToolButton* m_guiDangHide = nullptr;
    // Panel sizes as the user left them; kept while a panel is hidden, stored with the layout.
    int m_mPanelSize = 220;
    int m_zPanelSize = 240;
    int m_gPanelSize = 180;

    QLabel* m_status0 = nullptr;
    QLabel* m_status1 = nullptr;
    QWidget* m_status2 = nullptr;

    RowSet cdsOwnerConfig;
    bool TemplateLoaded = false;
    bool m_closeWithoutQuery = false;
    std::function<void()> m_logoutHandler;
};
