#include "app/ProjectWizardFrm.h"

#include "app/IconFactory.h"
#include "app/NodeIconDelegate.h"
#include "core/Prompter.h"
#include "trees/NodeKinds.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

TProjectWizardFrm::TProjectWizardFrm(TDataPoolDM& dm, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_wizard(dm)
{
    setWindowTitle(QStringLiteral("新建项目"));
    resize(560, 420);

    // ---- page 1 ----
    auto* first = new QWidget;
    first->setObjectName(QStringLiteral("FirstPage"));
    m_templates = new QListWidget;
    m_templates->setViewMode(QListView::IconMode);
    m_templates->setIconSize(QSize(32, 32));
    m_templates->setGridSize(QSize(120, 72));
    m_templates->setWordWrap(true);
    m_templates->setResizeMode(QListView::Adjust);
    m_templates->setMovement(QListView::Static);
    for (const NodeRecord& t : m_wizard.templates()) {
        auto* item = new QListWidgetItem(IconFactory::nodeIcon(NodeIcon::Template), t.Name);
        item->setData(Qt::UserRole, t.ItemID);
        m_templates->addItem(item);
    }
    auto* templatesLabel = new QLabel(QStringLiteral("模板(&T):"));
    templatesLabel->setBuddy(m_templates);
    m_large = new QToolButton;
    m_large->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_large->setToolTip(QStringLiteral("大图标"));
    m_list = new QToolButton;
    m_list->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    m_list->setToolTip(QStringLiteral("列表"));
    for (QToolButton* b : {m_large, m_list}) {
        b->setCheckable(true);
        b->setAutoRaise(true);
    }
    m_large->setChecked(true);
    auto* viewGroup = new QButtonGroup(this);
    viewGroup->addButton(m_large);
    viewGroup->addButton(m_list);
    connect(m_large, &QToolButton::clicked, this, [this] {
        m_templates->setViewMode(QListView::IconMode);
        m_templates->setIconSize(QSize(32, 32));
        m_templates->setGridSize(QSize(120, 72));
    });
    connect(m_list, &QToolButton::clicked, this, [this] {
        m_templates->setViewMode(QListView::ListMode);
        m_templates->setIconSize(QSize(16, 16));
        m_templates->setGridSize(QSize());
    });
    m_panel = new QLabel;
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_name = new QLineEdit(QStringLiteral("新建工程"));
    auto* nameLabel = new QLabel(QStringLiteral("名称(&M):"));
    nameLabel->setBuddy(m_name);
    auto* hint = new QLabel(QStringLiteral("(请重命名)"));

    auto* head = new QHBoxLayout;
    head->addWidget(templatesLabel);
    head->addStretch();
    head->addWidget(m_large);
    head->addWidget(m_list);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(hint);
    auto* firstLayout = new QVBoxLayout(first);
    firstLayout->setContentsMargins(0, 0, 0, 0);
    firstLayout->addLayout(head);
    firstLayout->addWidget(m_templates, 1);
    firstLayout->addWidget(m_panel);
    firstLayout->addLayout(nameRow);

    auto* popup = new QMenu(this);
    m_popupNext = popup->addAction(QStringLiteral("下一步(&N)"));
    m_popupNext->setShortcut(QKeySequence(QStringLiteral("Alt+C")));
    addAction(m_popupNext);
    m_templates->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_templates, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& p) { popup->exec(m_templates->viewport()->mapToGlobal(p)); });
    connect(m_popupNext, &QAction::triggered, this, [this] {
        if (page() == 0)
            next();
    });

    // ---- page 2 ----
    auto* second = new QWidget;
    second->setObjectName(QStringLiteral("SecondPage"));
    m_tree = new QTreeView;
    m_tree->setHeaderHidden(true);
    m_tree->setModel(&m_wizard.tree());
    m_tree->setItemDelegate(new NodeIconDelegate(m_tree));
    auto* treeLabel = new QLabel(QStringLiteral("新建工程时自动生成的条目(&L):"));
    treeLabel->setBuddy(m_tree);
    auto* secondLayout = new QVBoxLayout(second);
    secondLayout->setContentsMargins(0, 0, 0, 0);
    secondLayout->addWidget(treeLabel);
    secondLayout->addWidget(m_tree, 1);

    m_pages = new QStackedWidget;
    m_pages->addWidget(first);
    m_pages->addWidget(second);

    m_back = new QPushButton(QStringLiteral("上一步(&P)"));
    m_next = new QPushButton(QStringLiteral("下一步(&N)"));
    m_next->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addSpacing(8);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);

    connect(m_back, &QPushButton::clicked, this, &TProjectWizardFrm::back);
    connect(m_next, &QPushButton::clicked, this, &TProjectWizardFrm::next);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_templates, &QListWidget::currentItemChanged, this, &TProjectWizardFrm::templateChanged);
    connect(m_templates, &QListWidget::itemSelectionChanged, this, &TProjectWizardFrm::templateChanged);
    templateChanged();
    m_back->setEnabled(false);
}

int TProjectWizardFrm::page() const
{
    return m_pages->currentIndex();
}

const NodeRecord* TProjectWizardFrm::selectedTemplate() const
{
    const QList<QListWidgetItem*> items = m_templates->selectedItems();
    if (items.isEmpty())
        return nullptr;
    return m_wizard.findTemplate(items.first()->data(Qt::UserRole).toInt());
}

void TProjectWizardFrm::templateChanged()
{
    const NodeRecord* t = selectedTemplate();
    m_panel->setText(t ? QStringLiteral(" 当前模板: ") + t->Name : QStringLiteral(" 请选择您需要的模板"));
    if (page() == 0) {
        m_next->setEnabled(t != nullptr);
        m_popupNext->setEnabled(t != nullptr);
    }
}

void TProjectWizardFrm::next()
{
    if (page() == 1) {
        const QString refusal = m_wizard.finishRefusal();
        if (!refusal.isEmpty()) {
            m_prompter.error(QStringLiteral("Quelmar"), refusal);
            return;
        }
        accept();
        return;
    }
    const NodeRecord* t = selectedTemplate();
    if (!t)
        return;
    const QString refusal = ProjectWizard::nameRefusal(m_name->text());
    if (!refusal.isEmpty()) {
        m_prompter.inform(QStringLiteral("Quelmar"), refusal);
        m_name->setFocus();
        return;
    }
    m_pages->setCurrentIndex(1);
    m_back->setEnabled(true);
    m_next->setText(QStringLiteral("完成(&F)"));
    m_next->setEnabled(true);
    WaitCursor wait;
    if (m_wizard.prepareTree(*t))
        m_tree->expand(m_wizard.tree().rootNode());
}

void TProjectWizardFrm::back()
{
    if (page() != 1)
        return;
    m_pages->setCurrentIndex(0);
    m_next->setText(QStringLiteral("下一步(&N)"));
    m_back->setEnabled(false);
    templateChanged();
}

QString TProjectWizardFrm::projectName() const
{
    return m_name->text();
}

DataPacket TProjectWizardFrm::resultRows() const
{
    return m_wizard.tree().result(projectName());
}

bool RunProjectWizard(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, QString& projectName,
                      DataPacket& result)
{
    TProjectWizardFrm wizard(dm, prompter, parent);
    if (wizard.exec() != QDialog::Accepted)
        return false;
    projectName = wizard.projectName();
    result = wizard.resultRows();
    return true;
}
