#include "app/OptConfigFrm.h"

#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "projects/HeaderFields.h"
#include "projects/OptionLists.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

TOptConfigFrm::TOptConfigFrm(OptionLists& lists, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_lists(lists), m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("维护工程概况选项"));
    m_fields = new QListWidget;
    m_fields->addItems(HeaderFields::names());
    m_fields->setFixedWidth(150);
    m_fields->setMinimumHeight(m_fields->sizeHintForRow(0) * HeaderFields::Count + 2 * m_fields->frameWidth() + 2);
    m_items = new QListWidget;
    m_items->setMinimumWidth(260);

    auto* fieldLabel = new QLabel(QStringLiteral("分类(&C):"));
    fieldLabel->setBuddy(m_fields);
    auto* itemLabel = new QLabel(QStringLiteral("选项(&I):"));
    itemLabel->setBuddy(m_items);

    m_new = new QPushButton(QStringLiteral("新建(&N)..."));
    m_delete = new QPushButton(QStringLiteral("删除(&D)..."));
    m_edit = new QPushButton(QStringLiteral("编辑(&E)..."));
    m_up = new QPushButton(style()->standardIcon(QStyle::SP_ArrowUp), QString());
    m_up->setToolTip(QStringLiteral("上移"));
    m_down = new QPushButton(style()->standardIcon(QStyle::SP_ArrowDown), QString());
    m_down->setToolTip(QStringLiteral("下移"));
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    auto* note = new QLabel(QStringLiteral("快捷键说明: 新建 - Ctrl+N；删除 - Del；编辑 - Ctrl + E。"));

    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(20);
    for (QPushButton* b : {m_new, m_delete, m_edit})
        buttons->addWidget(b);
    auto* moves = new QHBoxLayout;
    moves->addWidget(m_up);
    moves->addWidget(m_down);
    buttons->addLayout(moves);
    buttons->addStretch();
    buttons->addWidget(cancel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(fieldLabel, 0, 0);
    grid->addWidget(itemLabel, 0, 1);
    grid->addWidget(m_fields, 1, 0);
    grid->addWidget(m_items, 1, 1);
    grid->addLayout(buttons, 0, 2, 2, 1);
    grid->addWidget(note, 2, 0, 1, 3);

    // Pop-up menus: the left list offers new and clear, the right one new, delete and edit.
    auto* newAction = new QAction(QStringLiteral("新建(&N)..."), this);
    m_clear = new QAction(QStringLiteral("清空选项列表(&L)"), this);
    auto* fieldMenu = new QMenu(this);
    fieldMenu->addAction(newAction);
    fieldMenu->addAction(m_clear);
    m_fields->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_fields, &QWidget::customContextMenuRequested, this,
            [this, fieldMenu](const QPoint& p) { fieldMenu->exec(m_fields->viewport()->mapToGlobal(p)); });
    auto* itemMenu = new QMenu(this);
    itemMenu->addAction(newAction);
    QAction* deleteAction = itemMenu->addAction(QStringLiteral("删除(&D)..."));
    QAction* editAction = itemMenu->addAction(QStringLiteral("编辑(&E)..."));
    m_items->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_items, &QWidget::customContextMenuRequested, this,
            [this, itemMenu](const QPoint& p) { itemMenu->exec(m_items->viewport()->mapToGlobal(p)); });

    connect(m_new, &QPushButton::clicked, this, &TOptConfigFrm::newItem);
    connect(newAction, &QAction::triggered, this, &TOptConfigFrm::newItem);
    connect(m_delete, &QPushButton::clicked, this, &TOptConfigFrm::deleteItem);
    connect(deleteAction, &QAction::triggered, this, &TOptConfigFrm::deleteItem);
    connect(m_edit, &QPushButton::clicked, this, &TOptConfigFrm::editItem);
    connect(editAction, &QAction::triggered, this, &TOptConfigFrm::editItem);
    connect(m_up, &QPushButton::clicked, this, &TOptConfigFrm::moveUp);
    connect(m_down, &QPushButton::clicked, this, &TOptConfigFrm::moveDown);
    connect(m_clear, &QAction::triggered, this, &TOptConfigFrm::clearList);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_items, &QListWidget::itemDoubleClicked, this, [this] { editItem(); });
    connect(m_items, &QListWidget::itemClicked, this, [this] {
        m_itemClicked = true;
        updateButtons();
    });
    connect(m_fields, &QListWidget::currentRowChanged, this, [this] { showField(); });
    new QShortcut(QKeySequence(QStringLiteral("Ctrl+N")), this, this, &TOptConfigFrm::newItem);
    new QShortcut(QKeySequence(QStringLiteral("Ctrl+E")), this, this, &TOptConfigFrm::editItem);
    new QShortcut(QKeySequence(Qt::Key_Delete), this, this, &TOptConfigFrm::deleteItem);

    m_fields->setCurrentRow(0);
}

int TOptConfigFrm::currentField() const
{
    return m_fields->currentRow() + 1;
}

void TOptConfigFrm::showField(int selectRow)
{
    m_items->clear();
    if (currentField() < 1)
        return;
    m_items->addItems(m_lists.items(currentField()));
    m_itemClicked = selectRow >= 0 && selectRow < m_items->count();
    if (m_itemClicked)
        m_items->setCurrentRow(selectRow);
    else
        m_items->setCurrentRow(-1);
    updateButtons();
}

void TOptConfigFrm::updateButtons()
{
    const bool selected = m_itemClicked && m_items->currentRow() >= 0;
    m_delete->setEnabled(selected);
    m_edit->setEnabled(selected);
    m_up->setEnabled(selected && m_items->currentRow() > 0);
    m_down->setEnabled(selected && m_items->currentRow() < m_items->count() - 1);
    m_clear->setEnabled(m_items->count() > 0);
}

void TOptConfigFrm::run(const std::function<void()>& command)
{
    try {
        command();
    } catch (const QuelmarError& e) {
        m_prompter.error(QStringLiteral("Quelmar"), e.message());
        showField(m_items->currentRow());
    }
}

namespace {
int selectedRow(const QListWidget* list, bool clicked)
{
    return clicked ? list->currentRow() : -1;
}
} // namespace

void TOptConfigFrm::newItem()
{
    run([this] {
        const int row = m_lists.New(m_prompter, currentField());
        if (row >= 0)
            showField(row);
    });
}

void TOptConfigFrm::editItem()
{
    run([this] {
        const int row = selectedRow(m_items, m_itemClicked);
        if (m_lists.Edit(m_prompter, currentField(), row))
            showField(row);
    });
}

void TOptConfigFrm::deleteItem()
{
    run([this] {
        const int next = m_lists.Delete(m_prompter, currentField(), selectedRow(m_items, m_itemClicked));
        if (next != -2)
            showField(next);
    });
}

void TOptConfigFrm::moveUp()
{
    run([this] {
        const int row = selectedRow(m_items, m_itemClicked);
        if (row > 0)
            showField(m_lists.moveUp(currentField(), row));
    });
}

void TOptConfigFrm::moveDown()
{
    run([this] {
        const int row = selectedRow(m_items, m_itemClicked);
        if (row >= 0 && row < m_items->count() - 1)
            showField(m_lists.moveDown(currentField(), row));
    });
}

void TOptConfigFrm::clearList()
{
    run([this] {
        if (m_lists.Clear(m_prompter, currentField()))
            showField();
    });
}

void EditOptionLists(TDataPoolDM& dm, Prompter& prompter, QWidget* parent)
{
    OptionLists lists(dm);
    TOptConfigFrm dialog(lists, prompter, parent);
    dialog.exec();
}

DataPacket EditOptionLists(TDataPoolDM& dm, Prompter& prompter, const DataPacket& packet, QWidget* parent)
{
    OptionLists lists(dm, packet);
    TOptConfigFrm dialog(lists, prompter, parent);
    dialog.exec();
    return lists.packet();
}
