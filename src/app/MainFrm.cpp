#include "app/MainFrm.h"

#include "app/AboutFrm.h"
#include "app/IconFactory.h"
#include "app/NodeIconDelegate.h"
#include "app/LoginFrm.h"
#include "app/QuelmarApplication.h"
#include "app/RepaintThrottle.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "trees/NodeFiles.h"
#include "trees/NodeKinds.h"
#include "trees/OwnerRename.h"
#include "users/WindowLayoutData.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kProjectCaption = QStringLiteral("工程管理 - Quelmar");
const QString kTemplateCaption = QStringLiteral("模板管理 - Quelmar");
const QString kArchiveCaption = QStringLiteral("归档管理 - Quelmar");

// Status panel 2: the user picture as a square as high as the panel, then "当前用户: %s" 4 pixels to its right
// and 1 pixel below the panel's top.
class UserStatusPanel final : public QWidget {
public:
    explicit UserStatusPanel(std::function<QString()> user) : m_user(std::move(user))
    {
        setMinimumWidth(80);
    }
    QString text() const { return QStringLiteral("当前用户: %1").arg(m_user()); }
    QSize sizeHint() const override
    {
        const int h = fontMetrics().height() + 4;
        return {std::max(80, h + 4 + fontMetrics().horizontalAdvance(text()) + 6), h};
    }
    void refresh()
    {
        updateGeometry();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const int h = height();
        p.drawPixmap(QRect(0, 0, h, h), IconFactory::userPixmap(h));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(h + 4, 1, width() - h - 4, h - 1), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    std::function<QString()> m_user;
};

// A library tree whose one column is as wide as its longest visible name, and never narrower than the view: long
// names scroll sideways, and the selection bar still spans the whole row.
class LibraryTreeView final : public QTreeView {
public:
    LibraryTreeView()
    {
        header()->setStretchLastSection(false);
        header()->setSectionResizeMode(QHeaderView::Interactive);
        connect(this, &QTreeView::expanded, this, &LibraryTreeView::fitColumn);
        connect(this, &QTreeView::collapsed, this, &LibraryTreeView::fitColumn);
    }
    void setModel(QAbstractItemModel* model) override
    {
        QTreeView::setModel(model);
        connect(model, &QAbstractItemModel::modelReset, this, &LibraryTreeView::fitColumnLater);
        connect(model, &QAbstractItemModel::rowsInserted, this, &LibraryTreeView::fitColumnLater);
        connect(model, &QAbstractItemModel::dataChanged, this, &LibraryTreeView::fitColumnLater);
    }
    void fitColumn()
    {
        m_fitPending = false;
        const int content = sizeHintForColumn(0);
        setColumnWidth(0, std::max(content, viewport()->width()));
    }
    // Once the model has settled: a tree of 20,000 nodes built node by node asks for one fit, not 20,000.
    void fitColumnLater()
    {
        if (m_fitPending)
            return;
        m_fitPending = true;
        QMetaObject::invokeMethod(this, &LibraryTreeView::fitColumn, Qt::QueuedConnection);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QTreeView::resizeEvent(event);
        fitColumn();
    }

private:
    bool m_fitPending = false;
};

// The title bar of a tree panel: its caption and the hide button "隐藏".
QWidget* titleBar(const QString& title, QToolButton*& hide)
{
    auto* bar = new QFrame;
    bar->setObjectName(QStringLiteral("panelTitle"));
    bar->setStyleSheet(QStringLiteral(
        "#panelTitle { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eef3fa, stop:1 #d6e2f1);"
        " border: 1px solid #aebdd2; border-radius: 2px; }"));
    auto* label = new QLabel(title);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setStyleSheet(QStringLiteral("color: #1d3f73; background: transparent;"));
    hide = new QToolButton;
    hide->setText(QStringLiteral("隐藏"));
    hide->setToolTip(QStringLiteral("隐藏"));
    hide->setIcon(IconFactory::actionIcon(QStringLiteral("hide")));
    hide->setIconSize(QSize(12, 12));
    hide->setAutoRaise(true);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 1, 1, 1);
    layout->addWidget(label, 1);
    layout->addWidget(hide);
    return bar;
}

bool isFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

}  // namespace

TMainFrm::TMainFrm(MainServices services, QWidget* parent) : QMainWindow(parent), m_s(std::move(services))
{
    if (!m_s.viewerFactory)
        m_s.viewerFactory = [](QWidget* parent) { return createCellViewer(parent); };
    setWindowTitle(kProjectCaption);
    setWindowIcon(IconFactory::appIcon());

    m_mobanActs = new LibraryActions(Library::Moban, this);
    m_ziLiaoActs = new LibraryActions(Library::ZiLiao, this);
    m_guiDangActs = new LibraryActions(Library::GuiDang, this);

    buildPages();
    buildMenus();
    buildStatusBar();
    connectActions();
    for (Library lib : {Library::Moban, Library::ZiLiao, Library::GuiDang})
        connectTree(lib);
    setUpDragDrop();

    // Both viewers are read-only views of the selected node's table.
    m_mobanPane->viewer().SetViewerOption(0);
    m_ziLiaoPane->viewer().SetViewerOption(0);

    // The save actions follow the viewers' modified state while the program is idle.
    auto* idle = new QTimer(this);
    idle->setInterval(250);
    connect(idle, &QTimer::timeout, this, &TMainFrm::updateSaveActions);
    idle->start();
    updateSaveActions();
    setOperationsMenus(true, false, false);
    resize(1024, 700);
}

TMainFrm::~TMainFrm() = default;

// ---------------------------------------------------------------------------------------------------------------
// Building the window

QWidget* TMainFrm::buildTreePanel(Library library, const QString& title, QTreeView*& tree, QToolButton*& hideButton)
{
    auto* panel = new QWidget;
    tree = new LibraryTreeView;
    tree->setObjectName(library == Library::Moban    ? QStringLiteral("tvMoban")
                        : library == Library::ZiLiao ? QStringLiteral("tvZiLiao")
                                                     : QStringLiteral("tvGuiDang"));
    tree->setHeaderHidden(true);
    tree->setItemDelegate(new NodeIconDelegate(tree));
    tree->setModel(&this->library(library).tree);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->setIconSize(QSize(16, 16));
    tree->setUniformRowHeights(true);
    tree->setExpandsOnDoubleClick(false);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(titleBar(title, hideButton));
    layout->addWidget(tree, 1);
    return panel;
}

void TMainFrm::buildPages()
{
    m_pages = new QStackedWidget;

    // Template page: its toolbar, the template tree panel and the template content pane.
    MobanPage = new QWidget;
    MobanPage->setObjectName(QStringLiteral("MobanPage"));
    m_mobanPanel = buildTreePanel(Library::Moban, QStringLiteral(" 模板管理"), tvMoban, m_mobanHide);
    m_mobanPane = new ContentPane(m_s.viewerFactory(nullptr));
    m_mobanSplitter = new QSplitter(Qt::Horizontal);
    m_mobanSplitter->addWidget(m_mobanPanel);
    m_mobanSplitter->addWidget(m_mobanPane);
    m_mobanSplitter->setStretchFactor(0, 0);
    m_mobanSplitter->setStretchFactor(1, 1);
    m_mobanSplitter->setChildrenCollapsible(false);
    auto* mobanLayout = new QVBoxLayout(MobanPage);
    mobanLayout->setContentsMargins(2, 0, 2, 2);
    mobanLayout->setSpacing(2);
    mobanLayout->addWidget(m_mobanActs->toolBar());
    mobanLayout->addWidget(m_mobanSplitter, 1);

    // Project page: ZBar or GBar, the project tree panel with the archive panel below it, the shared content pane.
    ProjectPage = new QWidget;
    ProjectPage->setObjectName(QStringLiteral("ProjectPage"));
    QWidget* projectBox = buildTreePanel(Library::ZiLiao, QStringLiteral(" 工程管理"), tvZiLiao, m_ziLiaoHide);
    m_guiDangPanel = buildTreePanel(Library::GuiDang, QStringLiteral(" 归档管理"), tvGuiDang, m_guiDangHide);
    m_leftSplitter = new QSplitter(Qt::Vertical);
    m_leftSplitter->addWidget(projectBox);
    m_leftSplitter->addWidget(m_guiDangPanel);
    m_leftSplitter->setStretchFactor(0, 1);
    m_leftSplitter->setStretchFactor(1, 0);
    m_leftSplitter->setChildrenCollapsible(false);
    m_ziLiaoPanel = m_leftSplitter;
    m_ziLiaoPane = new ContentPane(m_s.viewerFactory(nullptr));
    m_projectSplitter = new QSplitter(Qt::Horizontal);
    m_projectSplitter->addWidget(m_ziLiaoPanel);
    m_projectSplitter->addWidget(m_ziLiaoPane);
    m_projectSplitter->setStretchFactor(0, 0);
    m_projectSplitter->setStretchFactor(1, 1);
    m_projectSplitter->setChildrenCollapsible(false);
    m_projectBars = new QStackedWidget;
    m_projectBars->addWidget(m_ziLiaoActs->toolBar());
    m_projectBars->addWidget(m_guiDangActs->toolBar());
    m_projectBars->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* projectLayout = new QVBoxLayout(ProjectPage);
    projectLayout->setContentsMargins(2, 0, 2, 2);
    projectLayout->setSpacing(2);
    projectLayout->addWidget(m_projectBars);
    projectLayout->addWidget(m_projectSplitter, 1);

    m_pages->addWidget(MobanPage);
    m_pages->addWidget(ProjectPage);
    m_pages->setCurrentWidget(ProjectPage);
    setCentralWidget(m_pages);

    // Panel sizes follow the user's dragging; hidden panels keep theirs.
    connect(m_mobanSplitter, &QSplitter::splitterMoved, this, [this] {
        if (m_mobanPanel->isVisible())
            m_mPanelSize = m_mobanSplitter->sizes().value(0);
    });
    connect(m_projectSplitter, &QSplitter::splitterMoved, this, [this] {
        if (m_ziLiaoPanel->isVisible())
            m_zPanelSize = m_projectSplitter->sizes().value(0);
    });
    connect(m_leftSplitter, &QSplitter::splitterMoved, this, [this] {
        if (m_guiDangPanel->isVisible())
            m_gPanelSize = m_leftSplitter->sizes().value(1);
    });

    connect(m_mobanHide, &QToolButton::clicked, this, [this] { run([this] { onHideButton(Library::Moban); }); });
    connect(m_ziLiaoHide, &QToolButton::clicked, this, [this] { run([this] { onHideButton(Library::ZiLiao); }); });
    connect(m_guiDangHide, &QToolButton::clicked, this, [this] { run([this] { onHideButton(Library::GuiDang); }); });

    // Each library's shortcuts act where its tree or its viewer has the focus.
    m_mobanActs->setShortcutScope({m_mobanPanel}, {m_mobanPane});
    m_ziLiaoActs->setShortcutScope({projectBox}, {m_ziLiaoPane});
    m_guiDangActs->setShortcutScope({m_guiDangPanel}, {});

    m_mobanPane->documents().setContextMenu([this] {
        auto* m = new QMenu(this);
        m->addAction(m_mobanActs->own(QStringLiteral("OpenOleContainer")));
        return m;
    }());
    m_ziLiaoPane->documents().setContextMenu([this] {
        auto* m = new QMenu(this);
        m->addAction(m_ziLiaoActs->own(QStringLiteral("OpenOleContainer")));
        return m;
    }());
    connect(&m_mobanPane->documents(), &DocumentPane::openRequested, this,
            [this] { run([this] { MobanOpenOleContainerExecute(); }); });
    connect(&m_ziLiaoPane->documents(), &DocumentPane::openRequested, this,
            [this] { run([this] { ZiLiaoOpenOleContainerExecute(); }); });

    tvZiLiao->installEventFilter(this);
    tvGuiDang->installEventFilter(this);
}

void TMainFrm::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("菜单(&F)"));
    miUserManager = file->addAction(IconFactory::actionIcon(QStringLiteral("users")), QStringLiteral("用户(&U)..."));
    file->addSeparator();
    miZiLiao = file->addAction(IconFactory::actionIcon(QStringLiteral("project")), QStringLiteral("工程管理(&G)"));
    miZiLiao->setShortcut(QKeySequence(QStringLiteral("Ctrl+G")));
    miMoban = file->addAction(IconFactory::actionIcon(QStringLiteral("template")), QStringLiteral("模板管理(&M)"));
    miMoban->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+M")));
    miRefresh = file->addAction(IconFactory::actionIcon(QStringLiteral("refresh")), QStringLiteral("刷新(&R)"));
    miRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    file->addSeparator();
    miLogout = file->addAction(IconFactory::actionIcon(QStringLiteral("logout")), QStringLiteral("注销(&L)..."));
    miLogout->setShortcut(QKeySequence(QStringLiteral("Shift+F4")));
    miExit = file->addAction(IconFactory::actionIcon(QStringLiteral("exit")), QStringLiteral("退出(&X)"));

    menuBar()->addMenu(m_ziLiaoActs->operationsMenu());
    menuBar()->addMenu(m_mobanActs->operationsMenu());
    menuBar()->addMenu(m_guiDangActs->operationsMenu());

    QMenu* tools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    miGkxxConfig = tools->addAction(IconFactory::actionIcon(QStringLiteral("options")),
                                    QStringLiteral("维护工程概况选项(&C)..."));
    buildExchangeMenu(tools);
    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    miReadme = help->addAction(IconFactory::actionIcon(QStringLiteral("readme")), QStringLiteral("自述文件(&R)"));
    miReadme->setShortcut(QKeySequence(QStringLiteral("F1")));
    help->addSeparator();
    miAbout = help->addAction(IconFactory::actionIcon(QStringLiteral("about")), QStringLiteral("关于(&A)..."));

    auto bind = [this](QAction* a, void (TMainFrm::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { run([this, handler] { (this->*handler)(); }); });
    };
    bind(miUserManager, &TMainFrm::miUserManagerClick);
    bind(miZiLiao, &TMainFrm::miZiLiaoClick);
    bind(miMoban, &TMainFrm::miMobanClick);
    bind(miLogout, &TMainFrm::miLogoutClick);
    connect(miExit, &QAction::triggered, this, &QWidget::close);
    bind(miGkxxConfig, &TMainFrm::miGkxxConfigClick);
    bind(miRefresh, &TMainFrm::miRefreshClick);
    bind(miReadme, &TMainFrm::miReadmeClick);
    bind(miAbout, &TMainFrm::miAboutClick);
}

void TMainFrm::buildStatusBar()
{
    m_status0 = new QLabel;
    m_status0->setObjectName(QStringLiteral("statusPanel0"));
    m_status1 = new QLabel;
    m_status1->setObjectName(QStringLiteral("statusPanel1"));
    m_status1->setFixedWidth(80);
    auto* user = new UserStatusPanel([this] { return m_s.login ? m_s.login->opName : QString(); });
    m_status2 = user;
    // Panel 0 takes what panels 1 and 2 leave, so it follows the bar's width.
    statusBar()->addWidget(m_status0, 1);
    statusBar()->addPermanentWidget(m_status1);
    statusBar()->addPermanentWidget(m_status2);
}

QMenu* TMainFrm::operationsMenu(Library library) const
{
    switch (library) {
    case Library::Moban: return m_mobanActs->operationsMenu();
    case Library::ZiLiao: return m_ziLiaoActs->operationsMenu();
    case Library::GuiDang: return m_guiDangActs->operationsMenu();
    }
    return nullptr;
}

void TMainFrm::setOperationsMenus(bool ziLiao, bool moban, bool guiDang)
{
    m_ziLiaoActs->operationsMenu()->menuAction()->setVisible(ziLiao);
    m_mobanActs->operationsMenu()->menuAction()->setVisible(moban);
    m_guiDangActs->operationsMenu()->menuAction()->setVisible(guiDang);
}

void TMainFrm::run(const std::function<void()>& handler)
{
    QuelmarApplication::guarded(handler);
}

void TMainFrm::connectActions()
{
    auto find = [this](const char* name) -> QAction* {
        const QString n = QString::fromLatin1(name);
        for (LibraryActions* acts : {m_mobanActs, m_ziLiaoActs, m_guiDangActs})
            if (QAction* a = acts->action(n))
                return a;
        qFatal("main window action %s has no QAction", name);
        return nullptr;
    };
#define QUELMAR_CONNECT_HANDLER(name)                                                                              \
    connect(find(#name), &QAction::triggered, this, [this] { run([this] { name##Execute(); }); });
    QUELMAR_MAIN_ACTIONS(QUELMAR_CONNECT_HANDLER)
#undef QUELMAR_CONNECT_HANDLER

    m_mobanActs->setButtonHandler([this](QMenu* menu) { run([this, menu] { newButtonClicked(Library::Moban, menu); }); });
    m_ziLiaoActs->setButtonHandler(
        [this](QMenu* menu) { run([this, menu] { newButtonClicked(Library::ZiLiao, menu); }); });
    m_guiDangActs->setButtonHandler(
        [this](QMenu* menu) { run([this, menu] { newButtonClicked(Library::GuiDang, menu); }); });
}

void TMainFrm::connectTree(Library lib)
{
    QTreeView* tree = treeView(lib);
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, lib](const QModelIndex&, const QModelIndex& previous) {
                if (m_selectionHold > 0)
                    return;
                const QPersistentModelIndex before(previous);
                run([this, lib, before] { selectionEvent(lib, before); });
            });
    connect(tree, &QTreeView::doubleClicked, this,
            [this, lib](const QModelIndex& index) { run([this, lib, index] { treeDoubleClicked(lib, index); }); });
    connect(tree, &QTreeView::customContextMenuRequested, this,
            [this, lib](const QPoint& pos) { run([this, lib, pos] { treeContextMenu(lib, pos); }); });
}

// ---------------------------------------------------------------------------------------------------------------
// Accessors

LibraryData& TMainFrm::library(Library lib)
{
    switch (lib) {
    case Library::Moban: return m_moban;
    case Library::ZiLiao: return m_ziLiao;
    case Library::GuiDang: return m_guiDang;
    }
    return m_ziLiao;
}

LibraryActions& TMainFrm::actions(Library lib)
{
    switch (lib) {
    case Library::Moban: return *m_mobanActs;
    case Library::ZiLiao: return *m_ziLiaoActs;
    case Library::GuiDang: return *m_guiDangActs;
    }
    return *m_ziLiaoActs;
}

QTreeView* TMainFrm::treeView(Library lib) const
{
    switch (lib) {
    case Library::Moban: return tvMoban;
    case Library::ZiLiao: return tvZiLiao;
    case Library::GuiDang: return tvGuiDang;
    }
    return nullptr;
}

QModelIndex TMainFrm::selectedNode(Library lib) const
{
    return treeView(lib)->currentIndex();
}

void TMainFrm::selectNode(Library lib, const QModelIndex& index)
{
    QTreeView* tree = treeView(lib);
    if (tree->currentIndex() == index) {
        // Selecting the selected node again still shows it anew.
        selectionEvent(lib, index);
        return;
    }
    tree->setCurrentIndex(index);
    tree->scrollTo(index);
}

ContentPane& TMainFrm::contentPane(Library lib)
{
    return lib == Library::Moban ? *m_mobanPane : *m_ziLiaoPane;
}

bool TMainFrm::isTemplatePageCurrent() const
{
    return m_pages->currentWidget() == MobanPage;
}

QString TMainFrm::statusText(int panel) const
{
    switch (panel) {
    case 0: return m_status0->text();
    case 1: return m_status1->text();
    case 2: return static_cast<UserStatusPanel*>(m_status2)->text();
    }
    return {};
}

NodeOpsContext TMainFrm::nodeOpsContext(Library lib)
{
    TableViewer* viewer = &contentPane(lib).viewer();
    NodeOpsContext ctx{library(lib), *m_s.dm, m_s.paths, *m_s.login, *m_s.prompter};
    // The archive shows the project library's files, but owns none: its operations never close the viewer.
    if (lib != Library::GuiDang)
        ctx.viewer = ViewerHook{[viewer] { return !viewer->GetFileName().isEmpty(); },
                                [viewer] { viewer->ResetContent(); }};
    ctx.headerFillPending = lib == Library::ZiLiao ? &HeaderFillPending : nullptr;
    if (lib != Library::GuiDang)
        ctx.objectCountStatus = [this](const QString& text) { setStatusText(1, text); };
    return ctx;
}

void TMainFrm::setStatusText(int panel, const QString& text)
{
    QLabel* label = panel == 0 ? m_status0 : panel == 1 ? m_status1 : nullptr;
    if (label) {
        label->setText(text);
        label->repaint();
    }
}

QString TMainFrm::nodeFilePath(Library lib, const NodeRecord& r) const
{
    return NodeFile(m_s.paths, lib, r);
}

bool TMainFrm::kindShowsFile(Library lib, int typeId)
{
    switch (lib) {
    case Library::Moban: return typeId == 5 || typeId == 11 || typeId == 16;
    case Library::ZiLiao: return typeId == 5 || typeId == 6 || typeId == 7 || typeId == 11 || typeId == 16;
    case Library::GuiDang: return typeId == 3 || typeId == 16;
    }
    return false;
}

bool TMainFrm::isPanelShown(Library lib) const
{
    switch (lib) {
    case Library::Moban: return !m_mobanPanel->isHidden();
    case Library::ZiLiao: return !m_ziLiaoPanel->isHidden();
    case Library::GuiDang: return !m_guiDangPanel->isHidden();
    }
    return false;
}

QMenu* TMainFrm::treeMenuFor(Library lib) const
{
    LibraryActions* acts = lib == Library::Moban ? m_mobanActs : lib == Library::ZiLiao ? m_ziLiaoActs : m_guiDangActs;
    const QModelIndex node = selectedNode(lib);
    if (lib != Library::GuiDang && node.isValid() &&
        node.data(LibraryTreeModel::TypeIdRole).toInt() == NodeKinds::RecycleBin)
        return acts->recycleMenu();
    return acts->treeMenu();
}

// ---------------------------------------------------------------------------------------------------------------
// Start-up, layout, log-out and close

void TMainFrm::LoadUserData(QWidget* splash)
{
    BusyCursor busy(*m_s.prompter);
    // The splash is repainted between the steps, and while a tree is built at most every 50 ms: a repaint after
    // every node would make a large library load many times slower than the build itself.
    RepaintThrottle splashPainter(splash);
    const auto repaintSplash = [&splashPainter] { splashPainter.now(); };
    const auto nodeAdded = [&splashPainter] { splashPainter.tick(); };

    setWindowTitle(kProjectCaption);
    m_pages->setCurrentWidget(ProjectPage);
    m_projectBars->setCurrentWidget(m_ziLiaoActs->toolBar());

    HeaderFillPending = false;
    HeaderFillItem = 0;
    HeaderValuesDir = 0;

    repaintSplash();
    LoadWindowLayout();
    repaintSplash();

    // Nothing of the previous user stays on screen (his changed tables were offered for saving at log-out).
    for (ContentPane* pane : {m_mobanPane, m_ziLiaoPane}) {
        pane->viewer().ResetContent();
        pane->documents().clear();
        pane->showPage(ContentPane::Page::NodeInfo);
    }
    m_status0->clear();
    m_status1->clear();

    m_ziLiao.load(*m_s.dm, m_s.login->opName, nodeAdded);
    repaintSplash();
    if (m_ziLiao.tree.rowCount() > 0)
        tvZiLiao->expand(m_ziLiao.tree.index(0, 0));

    m_guiDang.load(*m_s.dm, m_s.login->opName, nodeAdded);
    if (m_guiDang.tree.rowCount() > 0)
        tvGuiDang->expand(m_guiDang.tree.index(0, 0));

    menusByUserType();
    static_cast<UserStatusPanel*>(m_status2)->refresh();

    // The window opens with the project root selected, so its toolbar offers what the root allows.
    if (m_ziLiao.tree.rowCount() > 0)
        selectNode(Library::ZiLiao, m_ziLiao.tree.index(0, 0));
    tvZiLiao->setFocus();
}

void TMainFrm::menusByUserType()
{
    CheckUserType(*m_s.login);
    const bool advanced = m_s.login->opType == UserType::Advanced;
    miUserManager->setVisible(advanced);
    miZiLiao->setEnabled(advanced);
    miZiLiao->setVisible(advanced);
    miMoban->setEnabled(advanced);
    miMoban->setVisible(advanced);
    setOperationsMenus(true, false, false);
    TemplateLoaded = false;
}

void TMainFrm::LoadWindowLayout()
{
    const WindowLayout layout = LoadWindowLayoutData(*m_s.dm, *m_s.login, cdsOwnerConfig);
    setWindowState(Qt::WindowNoState);
    const QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect();
    if (layout.isNormal) {
        QRect g = layout.geometry;
        // A window left on a screen that is no longer there comes back to the work area.
        if (work.isValid() && !work.intersects(g))
            g.moveTopLeft(work.topLeft());
        setGeometry(g);
    } else {
        // The window fills the screen's work area; its state stays normal.
        setGeometry(work.isValid() ? work : layout.geometry);
    }
    m_zPanelSize = layout.zPanelSize;
    setPanelShown(Library::ZiLiao, true);
    m_gPanelSize = layout.gPanelSize;
    setPanelShown(Library::GuiDang, true);
    if (m_s.login->opType == UserType::Advanced) {
        m_mPanelSize = layout.mPanelSize;
        setPanelShown(Library::Moban, true);
    }
}

void TMainFrm::SaveWindowLayout()
{
    WindowLayout layout;
    const bool maximized = isMaximized();
    layout.isNormal = !maximized;
    layout.geometry = geometry();
    layout.mPanelSize = m_mPanelSize;
    layout.zPanelSize = m_zPanelSize;
    layout.gPanelSize = m_gPanelSize;
    SaveWindowLayoutData(*m_s.dm, *m_s.login, cdsOwnerConfig, layout, maximized);
}

void TMainFrm::setPanelShown(Library lib, bool shown)
{
    switch (lib) {
    case Library::Moban:
        m_mobanPanel->setVisible(shown);
        if (shown)
            m_mobanSplitter->setSizes({m_mPanelSize, std::max(200, width() - m_mPanelSize)});
        m_mobanActs->own(QStringLiteral("DisplayTree"))->setChecked(shown);
        break;
    case Library::ZiLiao:
        m_ziLiaoPanel->setVisible(shown);
        if (shown)
            m_projectSplitter->setSizes({m_zPanelSize, std::max(200, width() - m_zPanelSize)});
        m_ziLiaoActs->own(QStringLiteral("DisplayTree"))->setChecked(shown);
        break;
    case Library::GuiDang:
        m_guiDangPanel->setVisible(shown);
        if (shown)
            m_leftSplitter->setSizes({std::max(100, height() - m_gPanelSize), m_gPanelSize});
        m_ziLiaoActs->own(QStringLiteral("DisplayGuiDangTree"))->setChecked(shown);
        break;
    }
}

void TMainFrm::onHideButton(Library lib)
{
    setPanelShown(lib, false);
    if (lib == Library::GuiDang)
        tvZiLiao->setFocus();
}

void TMainFrm::MobanDisplayTreeExecute()
{
    setPanelShown(Library::Moban, m_mobanPanel->isHidden());
}

void TMainFrm::ZiLiaoDisplayTreeExecute()
{
    setPanelShown(Library::ZiLiao, m_ziLiaoPanel->isHidden());
}

void TMainFrm::ZiLiaoDisplayGuiDangTreeExecute()
{
    setPanelShown(Library::GuiDang, m_guiDangPanel->isHidden());
}

void TMainFrm::miLogoutClick()
{
    if (!ShowLogoutDialog(this))
        return;
    if (!SaveChangedTables())
        return;
    if (m_logoutHandler)
        m_logoutHandler();
}

void TMainFrm::closeWithoutQuery()
{
    m_closeWithoutQuery = true;
    close();
}

void TMainFrm::closeEvent(QCloseEvent* event)
{
    if (m_closeWithoutQuery) {
        event->accept();
        return;
    }
    if (m_s.prompter->question(QStringLiteral("确认"), QStringLiteral("您要退出系统吗？"), false) !=
        Prompter::Answer::Yes) {
        event->ignore();
        return;
    }
    // Changed tables are not dropped silently; a table that cannot be saved keeps the window open.
    if (!SaveChangedTables()) {
        event->ignore();
        return;
    }
    // A failure to store the layout is shown, and the window still closes.
    run([this] { SaveWindowLayout(); });
    event->accept();
}

bool TMainFrm::SaveChangedTables()
{
    return QuelmarApplication::guarded([this] {
        offerToSaveViewer(m_mobanPane->viewer());
        offerToSaveViewer(m_ziLiaoPane->viewer());
    });
}

// ---------------------------------------------------------------------------------------------------------------
// Pages and trees

void TMainFrm::loadTemplateTree()
{
    BusyCursor busy(*m_s.prompter);
    TemplateLoaded = true;
    m_status0->setText(QStringLiteral("正在加载模板资料..."));
    m_status0->repaint();
    m_status0->setText(QStringLiteral("加载模板树数据上下文..."));
    // The window is repainted as the tree grows, at most every 50 ms (the first node shows the second text).
    RepaintThrottle painter(this);
    m_moban.load(*m_s.dm, m_s.login->opName, [&painter] { painter.tick(); });
    painter.now();
    if (m_moban.tree.rowCount() > 0) {
        const QModelIndex first = m_moban.tree.index(0, 0);
        selectNode(Library::Moban, first);
        tvMoban->expand(first);
    }
}

void TMainFrm::miMobanClick()
{
    if (isTemplatePageCurrent())
        return;
    if (!TemplateLoaded) {
        loadTemplateTree();
    }
    setWindowTitle(kTemplateCaption);
    m_pages->setCurrentWidget(MobanPage);
    setOperationsMenus(false, true, false);
    if (TemplateLoaded)
        tvMobanChange();
}

void TMainFrm::miZiLiaoClick()
{
    if (!isTemplatePageCurrent())
        return;
    setWindowTitle(kProjectCaption);
    m_pages->setCurrentWidget(ProjectPage);
    m_projectBars->setCurrentWidget(m_ziLiaoActs->toolBar());
    setOperationsMenus(true, false, false);
    tvZiLiaoChange();
}

void TMainFrm::tvZiLiaoEnter()
{
    if (windowTitle() == kProjectCaption)
        return;
    setWindowTitle(kProjectCaption);
    m_projectBars->setCurrentWidget(m_ziLiaoActs->toolBar());
    setOperationsMenus(true, false, false);
    tvZiLiaoChange();
}

void TMainFrm::tvGuiDangEnter()
{
    if (windowTitle() == kArchiveCaption)
        return;
    setWindowTitle(kArchiveCaption);
    m_projectBars->setCurrentWidget(m_guiDangActs->toolBar());
    setOperationsMenus(false, false, true);
    tvGuiDangChange();
}

bool TMainFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (dragDropEvent(watched, event))
        return true;
    if (event->type() == QEvent::FocusIn) {
        if (watched == tvZiLiao)
            run([this] { tvZiLiaoEnter(); });
        else if (watched == tvGuiDang)
            run([this] { tvGuiDangEnter(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFrm::tvMobanChange()
{
    selectionEvent(Library::Moban, selectedNode(Library::Moban));
}

void TMainFrm::tvZiLiaoChange()
{
    selectionEvent(Library::ZiLiao, selectedNode(Library::ZiLiao));
}

void TMainFrm::tvGuiDangChange()
{
    selectionEvent(Library::GuiDang, selectedNode(Library::GuiDang));
}

void TMainFrm::selectionEvent(Library lib, const QModelIndex& previous)
{
    const QModelIndex node = selectedNode(lib);
    if (!node.isValid())
        return;
    LibraryData& data = library(lib);
    const NodeRecord r = data.tree.record(node);

    // The changed table of the viewer is dealt with before anything of the new node is shown: when its save
    // fails, the table stays in the viewer and the selection goes back to the node it belongs to, so the tree,
    // the status bar and the menus never describe another node than the table on the screen.
    try {
        releaseViewer(lib, r);
    } catch (...) {
        keepViewerNodeSelected(lib, previous);
        throw;
    }

    describeNode(lib, node);
    if (lib == Library::ZiLiao)
        LoadHeaderValues(r);
    showNodeContent(lib, r);
    updateSaveActions();
}

void TMainFrm::describeNode(Library lib, const QModelIndex& node)
{
    LibraryData& data = library(lib);
    const NodeRecord r = data.tree.record(node);
    m_status0->setText(QStringLiteral("当前节点: %1").arg(r.Name));
    if (lib != Library::GuiDang)
        m_status1->setText(QStringLiteral("%1 个对象").arg(data.tree.rowCount(node)));

    const KindEntries* entries = findEntries(lib, r.TypeID);
    actions(lib).apply(entries);
    if (!entries) {
        // A kind outside the library's table: nothing is offered or shown, and the library's message says why.
        contentPane(lib).showPage(ContentPane::Page::NodeInfo);
        CheckNodeKind(lib, r.TypeID);
    }
}

void TMainFrm::releaseViewer(Library lib, const NodeRecord& next)
{
    TableViewer& viewer = contentPane(lib).viewer();
    if (lib != Library::GuiDang) {
        // The table shown before is closed; unsaved edits are offered for saving rather than dropped.
        offerToSaveViewer(viewer);
        viewer.ResetContent();
        return;
    }
    // The archive tree keeps the shared viewer: a changed table is saved without a question when the next node
    // brings a table of its own (as LoadTableFile does).
    if (!kindShowsFile(lib, next.TypeID) || next.TypeID == NodeKinds::ExternalFile ||
        !isFile(nodeFilePath(lib, next)))
        return;
    if (viewer.GetFileName().isEmpty() || viewer.IsModified() != 1)
        return;
    BusyCursor busy(*m_s.prompter);
    if (viewer.SaveFile(viewer.GetFileName(), 0) != 1)
        throw QuelmarError(QStringLiteral("文件没有被保存？"));
}

void TMainFrm::keepViewerNodeSelected(Library lib, const QModelIndex& previous)
{
    const ViewerNode& shown = lib == Library::Moban ? m_mobanViewerNode : m_ziLiaoViewerNode;
    QTreeView* tree = treeView(lib);
    ++m_selectionHold;
    const QPersistentModelIndex back(shown.library == lib && shown.index.isValid() ? QModelIndex(shown.index)
                                                                                     : previous);
    tree->setCurrentIndex(back);
    --m_selectionHold;
    // A mouse press selects the clicked row only after the current node has changed: the highlight follows once
    // the press has been handled.
    QMetaObject::invokeMethod(
        tree,
        [tree, back] {
            if (tree->currentIndex() != back)
                return;
            if (back.isValid())
                tree->selectionModel()->select(back, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            else
                tree->selectionModel()->clearSelection();
        },
        Qt::QueuedConnection);
    if (shown.library == lib || !shown.index.isValid())
        return;
    // The table belongs to the other tree of the project page: that tree has the focus again, with its caption,
    // toolbar and menus, and the status bar shows its node (the caption is set first, so that entering the tree
    // does not run its selection event once more).
    if (shown.library == Library::ZiLiao) {
        setWindowTitle(kProjectCaption);
        m_projectBars->setCurrentWidget(m_ziLiaoActs->toolBar());
        setOperationsMenus(true, false, false);
    } else {
        setWindowTitle(kArchiveCaption);
        m_projectBars->setCurrentWidget(m_guiDangActs->toolBar());
        setOperationsMenus(false, false, true);
    }
    treeView(shown.library)->setFocus();
    describeNode(shown.library, shown.index);
}

void TMainFrm::showNodeContent(Library lib, const NodeRecord& r)
{
    ContentPane& pane = contentPane(lib);
    if (!kindShowsFile(lib, r.TypeID)) {
        pane.showPage(ContentPane::Page::NodeInfo);
        return;
    }
    const QString path = nodeFilePath(lib, r);
    if (!isFile(path)) {
        pane.showPage(ContentPane::Page::NodeInfo);
        m_s.prompter->warn(QStringLiteral("Quelmar"),
                           QStringLiteral("“%1”文件不存在！").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (r.TypeID == NodeKinds::ExternalFile) {
        pane.showPage(ContentPane::Page::DataPacket);
        LoadDocument(pane.documents(), path);
        pane.documents().setDisplayName(r.Name);
        return;
    }
    pane.showPage(ContentPane::Page::TableFile);
    LoadTableFile(pane.viewer(), path);
    ViewerNode& shown = lib == Library::Moban ? m_mobanViewerNode : m_ziLiaoViewerNode;
    shown = {lib, QPersistentModelIndex(library(lib).tree.indexOfItem(r.ItemID))};
    if (lib == Library::ZiLiao && HeaderFillPending)
        FillPendingHeader(r);
}

void TMainFrm::offerToSaveViewer(TableViewer& viewer)
{
    if (viewer.GetFileName().isEmpty() || viewer.IsModified() != 1)
        return;
    const QString question = QStringLiteral("%1 文件已经改变。\r\n\r\n想保存文件吗？").arg(viewer.GetFileName());
    if (m_s.prompter->question(QStringLiteral("Quelmar"), question, false) != Prompter::Answer::Yes)
        return;
    BusyCursor busy(*m_s.prompter);
    // A table that cannot be saved stays in the viewer, so the edit is not lost behind the user's back.
    if (viewer.SaveFile(viewer.GetFileName(), 0) != 1)
        throw QuelmarError(QStringLiteral("文件没有被保存？"));
}

void TMainFrm::updateSaveActions()
{
    const bool moban = m_mobanPane->viewer().IsModified() == 1;
    const bool ziLiao = m_ziLiaoPane->viewer().IsModified() == 1;
    m_mobanActs->own(QStringLiteral("Save"))->setEnabled(moban);
    m_ziLiaoActs->own(QStringLiteral("Save"))->setEnabled(ziLiao);
    m_guiDangActs->own(QStringLiteral("Save"))->setEnabled(ziLiao);
}

void TMainFrm::saveViewer(TableViewer& viewer)
{
    if (viewer.IsModified() == 1) {
        int result = 0;
        {
            BusyCursor busy(*m_s.prompter);
            result = viewer.SaveFile(viewer.GetFileName(), 0);
        }
        if (result != 1)
            m_s.prompter->error(QStringLiteral("Quelmar"), QStringLiteral("文件没有被保存？"));
    }
    updateSaveActions();
}

void TMainFrm::MobanSaveExecute()
{
    saveViewer(m_mobanPane->viewer());
}

void TMainFrm::ZiLiaoSaveExecute()
{
    saveViewer(m_ziLiaoPane->viewer());
}

void TMainFrm::GuiDangSaveExecute()
{
    saveViewer(m_ziLiaoPane->viewer());
}

void TMainFrm::MobanOpenOleContainerExecute()
{
    m_mobanPane->documents().open(*m_s.prompter);
}

void TMainFrm::ZiLiaoOpenOleContainerExecute()
{
    m_ziLiaoPane->documents().open(*m_s.prompter);
}

void TMainFrm::treeDoubleClicked(Library lib, const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const int type = index.data(LibraryTreeModel::TypeIdRole).toInt();
    if (type == NodeKinds::ExternalFile) {
        if (lib == Library::Moban)
            MobanOpenOleContainerExecute();
        else
            ZiLiaoOpenOleContainerExecute();
        return;
    }
    const bool table = (lib == Library::Moban && (type == 5 || type == 11)) ||
                       (lib == Library::ZiLiao && (type == 6 || type == 7)) || (lib == Library::GuiDang && type == 3);
    if (table)
        OpenInDesigner(lib, index);
}

void TMainFrm::treeContextMenu(Library lib, const QPoint& pos)
{
    QTreeView* tree = treeView(lib);
    const QModelIndex under = tree->indexAt(pos);
    if (under.isValid() && under != tree->currentIndex())
        selectNode(lib, under);
    if (!tree->currentIndex().isValid())
        return;
    treeMenuFor(lib)->exec(tree->viewport()->mapToGlobal(pos));
}

bool TMainFrm::RecycleGuard(Library lib)
{
    if (lib == Library::GuiDang)
        return true;
    const QModelIndex node = selectedNode(lib);
    if (node.isValid() && node.data(LibraryTreeModel::TypeIdRole).toInt() == NodeKinds::RecycleBin) {
        m_s.prompter->warn(QStringLiteral("Quelmar"), QStringLiteral("加收站不提供此功能！请选择其他节点。"));
        return false;
    }
    return true;
}

void TMainFrm::newButtonClicked(Library lib, QMenu* menu)
{
    if (menu == actions(lib).newMenu() && !RecycleGuard(lib))
        return;
    LibraryActions::runDefault(menu);
}

// ---------------------------------------------------------------------------------------------------------------
// Menus of the window

void TMainFrm::miReadmeClick()
{
    const QString path = m_s.paths.ReadmeFile;
    if (!isFile(path)) {
        m_s.prompter->error(QStringLiteral("Quelmar"), QStringLiteral("找不到Readme.txt文件！"));
        return;
    }
    TReadmeFrm readme(path, this);
    readme.exec();
}

void TMainFrm::miAboutClick()
{
    TAboutFrm about(this);
    about.exec();
}

void TMainFrm::notAvailable(const QString& actionName)
{
    QString caption = QStringLiteral("Quelmar");
    for (LibraryActions* acts : {m_mobanActs, m_ziLiaoActs, m_guiDangActs})
        if (QAction* a = acts->action(actionName))
            caption = a->toolTip();
    m_s.prompter->inform(caption, QStringLiteral("此功能尚未提供。"));
}
