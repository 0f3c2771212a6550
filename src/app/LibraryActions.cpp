#include "app/LibraryActions.h"

#include "app/IconFactory.h"
#include "core/QuelmarError.h"

#include <QAction>
#include <QMenu>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

namespace {

// Captions of the kind entries. New entries name the kind they create; import and export entries are those of the
// exchange packages.
QString kindCaption(Library library, const QString& verb, int kind)
{
    struct Caption {
        Library library;
        const char* verb;
        int kind;
        const char* text;
    };
    static const Caption captions[] = {
        {Library::Moban, "New", 9, "新建模板(&M)..."},
        {Library::Moban, "New", 10, "新建通用部分(&T)..."},
        {Library::Moban, "New", 3, "新建分部(&B)..."},
        {Library::Moban, "New", 4, "新建资料分类(&L)..."},
        {Library::Moban, "New", 11, "新建通用表格样式(&Y)..."},
        {Library::Moban, "New", 5, "新建分项(&X)..."},
        {Library::ZiLiao, "New", 1, "新建工程(&G)..."},
        {Library::ZiLiao, "New", 10, "新建通用部分(&T)..."},
        {Library::ZiLiao, "New", 3, "新建分部(&B)..."},
        {Library::ZiLiao, "New", 4, "新建资料分类(&L)..."},
        {Library::ZiLiao, "New", 11, "新建通用表格样式(&Y)..."},
        {Library::ZiLiao, "New", 5, "新建分项(&X)..."},
        {Library::ZiLiao, "New", 6, "新建检验表格(&J)..."},
        {Library::ZiLiao, "New", 7, "新建通用表格(&T)..."},
        {Library::GuiDang, "New", 1, "新建档案柜(&G)..."},
        {Library::GuiDang, "New", 2, "新建分类(&F)..."},
        {Library::Moban, "Import", 3, "导入分部(&B)..."},
        {Library::Moban, "Import", 4, "导入资料分类(&L)..."},
        {Library::Moban, "Import", 5, "导入分项(&X)..."},
        {Library::Moban, "Import", 9, "导入模板(&M)..."},
        {Library::Moban, "Import", 11, "导入通用表格样式(&Y)..."},
        {Library::Moban, "Import", 16, "导入外部文件(&E)..."},
        {Library::ZiLiao, "Import", 1, "导入工程(&G)..."},
        {Library::ZiLiao, "Import", 3, "导入分部(&B)..."},
        {Library::ZiLiao, "Import", 4, "导入资料分类(&L)..."},
        {Library::ZiLiao, "Import", 5, "导入分项(&X)..."},
        {Library::ZiLiao, "Import", 6, "导入检验批表格(&J)..."},
        {Library::ZiLiao, "Import", 7, "导入通用表格(&T)..."},
        {Library::ZiLiao, "Import", 11, "导入通用表格样式(&Y)..."},
        {Library::ZiLiao, "Import", 16, "导入外部文件(&E)..."},
        {Library::Moban, "Export", 3, "导出分部(&B)..."},
        {Library::Moban, "Export", 4, "导出资料分类(&L)..."},
        {Library::Moban, "Export", 5, "导出分项(&X)..."},
        {Library::Moban, "Export", 9, "导出模板(&M)..."},
        {Library::Moban, "Export", 11, "导出通用表格样式(&Y)..."},
        {Library::Moban, "Export", 16, "导出外部文件(&E)..."},
        {Library::ZiLiao, "Export", 1, "导出工程(&G)..."},
        {Library::ZiLiao, "Export", 3, "导出分部(&B)..."},
        {Library::ZiLiao, "Export", 4, "导出资料分类(&L)..."},
        {Library::ZiLiao, "Export", 5, "导出分项(&X)..."},
        {Library::ZiLiao, "Export", 6, "导出检验批表格(&J)..."},
        {Library::ZiLiao, "Export", 7, "导出通用表格(&T)..."},
        {Library::ZiLiao, "Export", 11, "导出通用表格样式(&Y)..."},
        {Library::ZiLiao, "Export", 16, "导出外部文件(&E)..."},
    };
    for (const Caption& c : captions)
        if (c.library == library && verb == QLatin1String(c.verb) && c.kind == kind)
            return QString::fromUtf8(c.text);
    return {};
}

// The node picture of a kind, shown beside its New entry.
int kindImage(Library library, int kind)
{
    switch (kind) {
    case 9: return 0;
    case 10:
    case 3: return 1;
    case 4: return 2;
    case 5:
    case 11: return 3;
    case 6:
    case 7: return 14;
    case 1: return library == Library::GuiDang ? 31 : 13;
    case 2: return 1;
    default: return 44;
    }
}

}  // namespace

LibraryActions::LibraryActions(Library library, QWidget* parent) : QObject(parent), m_library(library)
{
    const bool archive = library == Library::GuiDang;
    for (int k : newActionKinds(library))
        makeKind(QStringLiteral("New"), k, kindCaption(library, QStringLiteral("New"), k));
    if (library == Library::ZiLiao)
        make(QStringLiteral("QuicklyNew"), QStringLiteral("快增加(&Q)..."), QStringLiteral("quickadd"),
             QStringLiteral("Ctrl+Q"));
    if (!archive) {
        for (int k : importActionKinds(library))
            makeKind(QStringLiteral("Import"), k, kindCaption(library, QStringLiteral("Import"), k));
        for (int k : exportActionKinds(library))
            makeKind(QStringLiteral("Export"), k, kindCaption(library, QStringLiteral("Export"), k));
    }
    make(QStringLiteral("EditTable"), archive ? QStringLiteral("编辑表格(&E)...") : QStringLiteral("编辑文件(&E)..."),
         QStringLiteral("edit"), QStringLiteral("Ctrl+E"));
    if (!archive)
        make(QStringLiteral("OpenOleContainer"), QStringLiteral("打开(&O)..."), QStringLiteral("open"));
    make(QStringLiteral("Save"), QStringLiteral("保存(&S)"), QStringLiteral("save"),
         archive ? QString() : QStringLiteral("Ctrl+S"));
    make(QStringLiteral("Rename"), QStringLiteral("重命名(&R)..."), QStringLiteral("rename"), QStringLiteral("F2"));
    make(QStringLiteral("DeleteNode"), QStringLiteral("删除(&D)"), QStringLiteral("delete"), QStringLiteral("Del"));
    if (!archive)
        make(QStringLiteral("ClearRecycle"), QStringLiteral("清空回收站(&R)"), QStringLiteral("clearrecycle"));
    make(QStringLiteral("MoveUp"), QStringLiteral("上移(&U)"), QStringLiteral("up"), QStringLiteral("Ctrl+Up"));
    make(QStringLiteral("MoveDown"), QStringLiteral("下移(&D)"), QStringLiteral("down"), QStringLiteral("Ctrl+Down"));
    make(QStringLiteral("PrintWithoutDlg"), QStringLiteral("打印(&P)"), QStringLiteral("print"));
    make(QStringLiteral("PrintWithDlg"), QStringLiteral("打印(&P)..."), QStringLiteral("printdlg"),
         QStringLiteral("Ctrl+P"));
    make(QStringLiteral("Preview"), QStringLiteral("打印预览(&V)..."), QStringLiteral("preview"));
    make(QStringLiteral("LocateNode"), QStringLiteral("查找(&F)..."), QStringLiteral("find"), QStringLiteral("Ctrl+F"));
    if (library == Library::ZiLiao) {
        make(QStringLiteral("SaveAsTemplate"), QStringLiteral("另存为样式(&A)"), QStringLiteral("saveasstyle"))
            ->setToolTip(QStringLiteral("另存为样式"));
        make(QStringLiteral("ProjectMsg"), QStringLiteral("工程概况(&O)..."), QStringLiteral("overview"));
        make(QStringLiteral("DefaultProjectMsg"), QStringLiteral("缺省概况(&D)"), QStringLiteral("defaultoverview"));
        QAction* archiveView =
            make(QStringLiteral("DisplayGuiDangTree"), QStringLiteral("归档视图(&G)"), QStringLiteral("archiveview"));
        archiveView->setCheckable(true);
        archiveView->setChecked(true);
    }
    if (!archive) {
        QAction* display = make(QStringLiteral("DisplayTree"), QStringLiteral("显示"), QStringLiteral("showtree"));
        display->setCheckable(true);
        display->setChecked(true);
        display->setToolTip(library == Library::Moban ? QStringLiteral("显示模板树") : QStringLiteral("显示工程树"));
    }
    buildMenus(parent);
    buildToolBar(parent);
    apply(nullptr);
}

QAction* LibraryActions::make(const QString& suffix, const QString& caption, const QString& icon,
                              const QString& shortcut)
{
    auto* a = new QAction(IconFactory::actionIcon(icon), caption, this);
    a->setObjectName(prefix() + suffix);
    if (!shortcut.isEmpty())
        a->setShortcut(QKeySequence(shortcut));
    // Tool tips show the caption without its accelerator and ellipsis: "编辑文件(&E)..." -> "编辑文件".
    QString tip = caption;
    tip.remove(QRegularExpression(QStringLiteral("\\(&[A-Z]\\)"))).remove(QStringLiteral("..."));
    a->setToolTip(tip);
    a->setStatusTip(tip);
    m_actions.insert(a->objectName(), a);
    m_ordered << a;
    return a;
}

QAction* LibraryActions::makeKind(const QString& verb, int kind, const QString& caption)
{
    const QString icon = verb == QLatin1String("New") ? QString() : verb.toLower();
    QAction* a = make(verb + QStringLiteral("TypeID%1").arg(kind), caption, icon);
    if (verb == QLatin1String("New"))
        a->setIcon(IconFactory::nodeIcon(kindImage(m_library, kind)));
    a->setData(kind);
    return a;
}

QAction* LibraryActions::action(const QString& name) const
{
    return m_actions.value(name);
}

void LibraryActions::buildMenus(QWidget* parent)
{
    const bool archive = m_library == Library::GuiDang;
    m_newMenu = new QMenu(QStringLiteral("新建(&N)"), parent);
    m_newMenu->menuAction()->setIcon(IconFactory::actionIcon(QStringLiteral("new")));
    for (int k : newActionKinds(m_library))
        m_newMenu->addAction(own(QStringLiteral("NewTypeID%1").arg(k)));
    if (!archive) {
        m_importMenu = new QMenu(QStringLiteral("导入(&I)"), parent);
        m_importMenu->menuAction()->setIcon(IconFactory::actionIcon(QStringLiteral("import")));
        for (int k : importActionKinds(m_library))
            m_importMenu->addAction(own(QStringLiteral("ImportTypeID%1").arg(k)));
        m_exportMenu = new QMenu(QStringLiteral("导出(&E)"), parent);
        m_exportMenu->menuAction()->setIcon(IconFactory::actionIcon(QStringLiteral("export")));
        for (int k : exportActionKinds(m_library))
            m_exportMenu->addAction(own(QStringLiteral("ExportTypeID%1").arg(k)));
    }

    // The same entries in the tree's pop-up menu and the operations menu; only the menus' frames differ.
    auto fill = [&](QMenu* m, bool operations) {
        m->addMenu(m_newMenu);
        if (QAction* a = own(QStringLiteral("QuicklyNew")))
            m->addAction(a);
        if (!archive) {
            m->addMenu(m_importMenu);
            m->addMenu(m_exportMenu);
        }
        m->addSeparator();
        m->addAction(own(QStringLiteral("EditTable")));
        if (QAction* a = own(QStringLiteral("OpenOleContainer")))
            m->addAction(a);
        if (operations)
            m->addAction(own(QStringLiteral("Save")));
        m->addSeparator();
        m->addAction(own(QStringLiteral("Rename")));
        m->addAction(own(QStringLiteral("DeleteNode")));
        m->addSeparator();
        m->addAction(own(QStringLiteral("MoveUp")));
        m->addAction(own(QStringLiteral("MoveDown")));
        m->addSeparator();
        m->addAction(own(QStringLiteral("PrintWithoutDlg")));
        m->addAction(own(QStringLiteral("PrintWithDlg")));
        m->addAction(own(QStringLiteral("Preview")));
        if (m_library == Library::ZiLiao) {
            m->addSeparator();
            m->addAction(own(QStringLiteral("ProjectMsg")));
            m->addAction(own(QStringLiteral("DefaultProjectMsg")));
            m->addAction(own(QStringLiteral("SaveAsTemplate")));
        }
        m->addSeparator();
        m->addAction(own(QStringLiteral("LocateNode")));
        if (operations && !archive) {
            m->addSeparator();
            m->addAction(own(QStringLiteral("ClearRecycle")));
            m->addAction(own(QStringLiteral("DisplayTree")));
            if (QAction* a = own(QStringLiteral("DisplayGuiDangTree")))
                m->addAction(a);
        }
    };
    m_treeMenu = new QMenu(parent);
    fill(m_treeMenu, false);
    const QString opsTitle = m_library == Library::ZiLiao ? QStringLiteral("操作(&Z)")
                             : m_library == Library::Moban ? QStringLiteral("操作(&M)")
                                                           : QStringLiteral("操作(&G)");
    m_opsMenu = new QMenu(opsTitle, parent);
    m_opsMenu->setObjectName(QStringLiteral("mi%1Operations").arg(prefix()));
    fill(m_opsMenu, true);
    if (!archive) {
        m_recycleMenu = new QMenu(parent);
        m_recycleMenu->addAction(own(QStringLiteral("ClearRecycle")));
    }
}

QToolButton* LibraryActions::dropDownButton(QMenu* menu, const QString& icon)
{
    auto* b = new QToolButton;
    b->setMenu(menu);
    b->setPopupMode(QToolButton::MenuButtonPopup);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIcon(IconFactory::actionIcon(icon));
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, this, [this, menu] {
        if (m_buttonHandler)
            m_buttonHandler(menu);
        else
            runDefault(menu);
    });
    return b;
}

void LibraryActions::buildToolBar(QWidget* parent)
{
    m_toolBar = new QToolBar(parent);
    m_toolBar->setObjectName(prefix() == QLatin1String("ZiLiao")    ? QStringLiteral("ZBar")
                             : prefix() == QLatin1String("GuiDang") ? QStringLiteral("GBar")
                                                                    : QStringLiteral("MBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    m_newButton = dropDownButton(m_newMenu, QStringLiteral("new"));
    m_newButton->setObjectName(prefix() + QStringLiteral("New"));
    m_newButtonAction = m_toolBar->addWidget(m_newButton);
    if (QAction* a = own(QStringLiteral("QuicklyNew")))
        m_toolBar->addAction(a);
    m_newSeparator = m_toolBar->addSeparator();
    if (m_importMenu) {
        m_importButton = dropDownButton(m_importMenu, QStringLiteral("import"));
        m_importButton->setObjectName(prefix() + QStringLiteral("Import"));
        m_importButtonAction = m_toolBar->addWidget(m_importButton);
        m_exportButton = dropDownButton(m_exportMenu, QStringLiteral("export"));
        m_exportButton->setObjectName(prefix() + QStringLiteral("Export"));
        m_exportButtonAction = m_toolBar->addWidget(m_exportButton);
        m_exchangeSeparator = m_toolBar->addSeparator();
    }
    m_toolBar->addAction(own(QStringLiteral("EditTable")));
    m_toolBar->addAction(own(QStringLiteral("Save")));
    m_toolBar->addAction(own(QStringLiteral("Rename")));
    m_toolBar->addAction(own(QStringLiteral("DeleteNode")));
    m_toolBar->addSeparator();
    m_toolBar->addAction(own(QStringLiteral("MoveUp")));
    m_toolBar->addAction(own(QStringLiteral("MoveDown")));
    m_toolBar->addSeparator();
    m_toolBar->addAction(own(QStringLiteral("PrintWithDlg")));
    m_toolBar->addAction(own(QStringLiteral("Preview")));
    m_toolBar->addSeparator();
    m_toolBar->addAction(own(QStringLiteral("LocateNode")));
    if (m_library == Library::ZiLiao) {
        m_toolBar->addAction(own(QStringLiteral("ProjectMsg")));
        m_toolBar->addAction(own(QStringLiteral("SaveAsTemplate")));
    }
    if (QAction* a = own(QStringLiteral("DisplayTree"))) {
        m_toolBar->addSeparator();
        m_toolBar->addAction(a);
        if (auto* b = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(a)))
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
}

void LibraryActions::switchKinds(QMenu* menu, const QList<int>& kinds)
{
    if (!menu)
        return;
    QAction* def = nullptr;
    for (QAction* a : menu->actions()) {
        const bool offered = kinds.contains(a->data().toInt());
        a->setVisible(offered);
        a->setEnabled(offered);
        if (offered && a->data().toInt() == kinds.value(0))
            def = a;
    }
    // The first kind of a row is the default entry, shown in bold, and what the button runs.
    menu->setDefaultAction(def);
    menu->menuAction()->setVisible(!kinds.isEmpty());
}

void LibraryActions::apply(const KindEntries* e)
{
    m_applied = e;
    static const KindEntries none;
    const KindEntries& r = e ? *e : none;

    switchKinds(m_newMenu, r.newKinds);
    switchKinds(m_importMenu, r.importKinds);
    switchKinds(m_exportMenu, r.exportKind >= 0 ? QList<int>{r.exportKind} : QList<int>{});

    m_newButton->setText(r.newCaption);
    m_newButtonAction->setVisible(!r.newKinds.isEmpty());
    if (QAction* q = own(QStringLiteral("QuicklyNew"))) {
        q->setEnabled(r.quickAdd);
        m_newSeparator->setVisible(!r.newKinds.isEmpty() || r.quickAdd);
    } else {
        m_newSeparator->setVisible(!r.newKinds.isEmpty());
    }
    if (m_importButton) {
        m_importButton->setText(r.importCaption);
        m_importButtonAction->setVisible(!r.importKinds.isEmpty());
        m_exportButton->setText(r.exportCaption);
        m_exportButtonAction->setVisible(r.exportKind >= 0);
        // Without either button their separator would stand alone.
        m_exchangeSeparator->setVisible(!r.importKinds.isEmpty() || r.exportKind >= 0);
    }

    own(QStringLiteral("EditTable"))->setEnabled(r.edit);
    own(QStringLiteral("Rename"))->setEnabled(r.rename);
    own(QStringLiteral("DeleteNode"))->setEnabled(r.del);
    own(QStringLiteral("PrintWithoutDlg"))->setEnabled(r.print);
    own(QStringLiteral("PrintWithDlg"))->setEnabled(r.print);
    own(QStringLiteral("MoveUp"))->setEnabled(r.move);
    own(QStringLiteral("MoveDown"))->setEnabled(r.move);
    own(QStringLiteral("Preview"))->setEnabled(r.preview);
    if (QAction* a = own(QStringLiteral("SaveAsTemplate")))
        a->setEnabled(r.saveAsStyle);
    if (QAction* a = own(QStringLiteral("OpenOleContainer")))
        a->setEnabled(e && r.typeId == 16);
    if (QAction* a = own(QStringLiteral("ProjectMsg"))) {
        // The overview belongs to a project node only.
        const bool project = e && r.typeId == 1;
        a->setEnabled(project);
        a->setIcon(IconFactory::nodeIcon(project ? 15 : 25));
    }
}

void LibraryActions::runDefault(QMenu* menu)
{
    QAction* def = menu ? menu->defaultAction() : nullptr;
    if (!def || !def->isVisible() || !def->isEnabled())
        throw QuelmarError(QStringLiteral("没有指定的默认项。"));
    def->trigger();
}

void LibraryActions::setShortcutScope(const QList<QWidget*>& trees, const QList<QWidget*>& panes)
{
    const QStringList paneActions = {prefix() + QStringLiteral("Save"), prefix() + QStringLiteral("PrintWithDlg")};
    for (QAction* a : m_ordered) {
        if (a->shortcut().isEmpty())
            continue;
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        for (QWidget* w : trees)
            w->addAction(a);
        if (paneActions.contains(a->objectName()))
            for (QWidget* w : panes)
                w->addAction(a);
    }
}
