#pragma once

// Every library action of the main window. Each action `X` runs the handler TMainFrm::XExecute, connected by name
// (the action's object name is X). The handlers of the operations that later work brings are listed in
// QUELMAR_PENDING_ACTIONS: their bodies (MainFrmPending.cpp) tell the user that the function is not available yet.
// To build an operation, take its names out of QUELMAR_PENDING_ACTIONS, list them in a group of their own below
// and define their Execute handlers in the operation's own source file of src/app (MainFrmNodes.cpp holds the node
// operations, MainFrmProjects.cpp the project ones); the handler reaches the window's state through TMainFrm's
// accessors (library data, selected node, viewer, prompter, login); the node operations take `nodeOps(lib)`.
//
// Where each group plugs in:
//   New (NewTypeID*), QuicklyNew ........ node creation, new project from template, quick add
//   Rename, DeleteNode, ClearRecycle .... rename, delete and recycle bin
//   MoveUp, MoveDown .................... move up and down
//   LocateNode .......................... locate node
//   ProjectMsg, DefaultProjectMsg ....... project overview (with LoadHeaderValues / FillPendingHeader below)
//   EditTable ........................... the cell designer (and OpenInDesigner for double-clicks)
//   Import*, Export*, SaveAsTemplate .... packages, external files, save as style
//   PrintWithoutDlg, PrintWithDlg, Preview  printing and batch printing
// The shell itself implements Save, OpenOleContainer, DisplayTree and DisplayGuiDangTree.

#define QUELMAR_MOBAN_PENDING_ACTIONS(X)
#define QUELMAR_ZILIAO_PENDING_ACTIONS(X)
#define QUELMAR_GUIDANG_PENDING_ACTIONS(X)

#define QUELMAR_PENDING_ACTIONS(X)                                                                                \
    QUELMAR_MOBAN_PENDING_ACTIONS(X) QUELMAR_ZILIAO_PENDING_ACTIONS(X) QUELMAR_GUIDANG_PENDING_ACTIONS(X)

// The actions the shell implements itself (MainFrm.cpp).
#define QUELMAR_SHELL_ACTIONS(X)                                                                                  \
    X(MobanSave) X(ZiLiaoSave) X(GuiDangSave) X(MobanOpenOleContainer) X(ZiLiaoOpenOleContainer)                  \
    X(MobanDisplayTree) X(ZiLiaoDisplayTree) X(ZiLiaoDisplayGuiDangTree)

// Node operations (MainFrmNodes.cpp): New, Rename, Delete, the empty-bin action, Move up / down.
#define QUELMAR_NODE_ACTIONS(X)                                                                                   \
    X(MobanNewTypeID9) X(MobanNewTypeID10) X(MobanNewTypeID3) X(MobanNewTypeID4) X(MobanNewTypeID11)             \
    X(MobanNewTypeID5) X(MobanRename) X(MobanDeleteNode) X(MobanClearRecycle) X(MobanMoveUp) X(MobanMoveDown)    \
    X(ZiLiaoNewTypeID10) X(ZiLiaoNewTypeID3) X(ZiLiaoNewTypeID4) X(ZiLiaoNewTypeID11) X(ZiLiaoNewTypeID5)         \
    X(ZiLiaoNewTypeID6) X(ZiLiaoNewTypeID7) X(ZiLiaoRename) X(ZiLiaoDeleteNode) X(ZiLiaoClearRecycle)             \
    X(ZiLiaoMoveUp) X(ZiLiaoMoveDown) X(GuiDangNewTypeID1) X(GuiDangNewTypeID2) X(GuiDangRename)                  \
    X(GuiDangDeleteNode) X(GuiDangMoveUp) X(GuiDangMoveDown)

// Projects (MainFrmProjects.cpp): new project from a template, quick add, the project and default overviews.
#define QUELMAR_PROJECT_ACTIONS(X)                                                                                \
    X(ZiLiaoNewTypeID1) X(ZiLiaoQuicklyNew) X(ZiLiaoProjectMsg) X(ZiLiaoDefaultProjectMsg)

// Printing (MainFrmPrinting.cpp): print at once, print with the dialog, preview; the batch print dialog for
// folder-like nodes.
#define QUELMAR_PRINT_ACTIONS(X)                                                                                  \
    X(MobanPrintWithoutDlg) X(MobanPrintWithDlg) X(MobanPreview) X(ZiLiaoPrintWithoutDlg) X(ZiLiaoPrintWithDlg)   \
    X(ZiLiaoPreview) X(GuiDangPrintWithoutDlg) X(GuiDangPrintWithDlg) X(GuiDangPreview)

// The table designer (MainFrmDesigner.cpp): "编辑文件(&E)..." of the three libraries (and OpenInDesigner, the
// double-click on a table node).
#define QUELMAR_DESIGNER_ACTIONS(X) X(MobanEditTable) X(ZiLiaoEditTable) X(GuiDangEditTable)

// Exchange (MainFrmExchange.cpp): export and import of packages, external files, save as style.
#define QUELMAR_EXCHANGE_ACTIONS(X)                                                                               \
    X(MobanImportTypeID3) X(MobanImportTypeID4) X(MobanImportTypeID5) X(MobanImportTypeID9)                      \
    X(MobanImportTypeID11) X(MobanImportTypeID16) X(MobanExportTypeID3) X(MobanExportTypeID4)                    \
    X(MobanExportTypeID5) X(MobanExportTypeID9) X(MobanExportTypeID11) X(MobanExportTypeID16)                    \
    X(ZiLiaoImportTypeID1) X(ZiLiaoImportTypeID3) X(ZiLiaoImportTypeID4) X(ZiLiaoImportTypeID5)                   \
    X(ZiLiaoImportTypeID6) X(ZiLiaoImportTypeID7) X(ZiLiaoImportTypeID11) X(ZiLiaoImportTypeID16)                 \
    X(ZiLiaoExportTypeID1) X(ZiLiaoExportTypeID3) X(ZiLiaoExportTypeID4) X(ZiLiaoExportTypeID5)                   \
    X(ZiLiaoExportTypeID6) X(ZiLiaoExportTypeID7) X(ZiLiaoExportTypeID11) X(ZiLiaoExportTypeID16)                 \
    X(ZiLiaoSaveAsTemplate)

// Locate node (LocateNodeFrm.cpp): the find dialog "查找" of each library's tree.
#define QUELMAR_LOCATE_ACTIONS(X) X(MobanLocateNode) X(ZiLiaoLocateNode) X(GuiDangLocateNode)

#define QUELMAR_MAIN_ACTIONS(X)                                                                                   \
    QUELMAR_PENDING_ACTIONS(X) QUELMAR_NODE_ACTIONS(X) QUELMAR_PROJECT_ACTIONS(X) QUELMAR_PRINT_ACTIONS(X)        \
    QUELMAR_EXCHANGE_ACTIONS(X) QUELMAR_LOCATE_ACTIONS(X) QUELMAR_DESIGNER_ACTIONS(X) \
    QUELMAR_SHELL_ACTIONS(X)
