#include "app/UserManagerFrm.h"

#include "app/AddUserFrm.h"
#include "app/IconFactory.h"
#include "app/SetUserPasswordFrm.h"
#include "app/UserPropertyFrm.h"
#include "core/TextFold.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

UserDialogs UserDialogs::standard()
{
    UserDialogs d;
    d.addUser = [](QWidget* parent, const UserManager& m, Prompter& p, UserAccount& account, QString& password) {
        TAddUserFrm wizard(m, p, parent);
        if (wizard.exec() != QDialog::Accepted)
            return false;
        account = wizard.account();
        password = wizard.password();
        return true;
    };
    d.properties = [](QWidget* parent, UserManager& m, Prompter& p, QString& name) {
        TUserPropertyFrm dialog(m, name, p, parent);
        dialog.exec();
        name = dialog.accountName();
        return dialog.changed();
    };
    d.setPassword = [](QWidget* parent, Prompter& p, QString& password) {
        TSetUserPasswordFrm dialog(p, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        password = dialog.password();
        return true;
    };
    return d;
}

TUserManagerFrm::TUserManagerFrm(TDataPoolDM& dm, TLoginInfo& login, Prompter& prompter,
                                 std::function<void(const QString&)> ownRename, QWidget* parent)
    : QDialog(parent), m_manager(dm, login, prompter), m_prompter(prompter), m_dialogs(UserDialogs::standard())
{
    m_manager.setOwnRenameHook(std::move(ownRename));
    m_manager.Load();

    setObjectName(QStringLiteral("TUserManagerFrm"));
    setWindowTitle(UserRules::Caption());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* picture = new QLabel;
    picture->setPixmap(IconFactory::userPixmap(40));
    picture->setAlignment(Qt::AlignTop);
    lblInfo = new QLabel(QStringLiteral("请从下面的列表中看出几个用户可以访问该系统，还可以更改其密码和其他设置。"));
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);

    lvUsers = new QTreeWidget;
    lvUsers->setObjectName(QStringLiteral("lvUsers"));
    lvUsers->setColumnCount(2);
    lvUsers->setHeaderLabels({QStringLiteral("用户名"), QStringLiteral("说明")});
    lvUsers->setRootIsDecorated(false);
    lvUsers->setUniformRowHeights(true);
    lvUsers->setAllColumnsShowFocus(true);
    lvUsers->setSelectionMode(QAbstractItemView::SingleSelection);
    lvUsers->header()->setStretchLastSection(true);
    lvUsers->setColumnWidth(0, 130);
    lvUsers->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* listLabel = new QLabel(QStringLiteral("本系统用户(&U):"));
    listLabel->setBuddy(lvUsers);

    btnAdd = new QPushButton(QStringLiteral("添加(&D)..."));
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnDelete = new QPushButton(QStringLiteral("删除(&R)"));
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnProperty = new QPushButton(QStringLiteral("属性(&O)"));
    btnProperty->setObjectName(QStringLiteral("btnProperty"));

    gbPassword = new QGroupBox;
    gbPassword->setObjectName(QStringLiteral("gbPassword"));
    lblPassword = new QLabel;
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    lblPassword->setWordWrap(true);
    btnSetPassword = new QPushButton(QStringLiteral("设置密码(&P)..."));
    btnSetPassword->setObjectName(QStringLiteral("btnSetPassword"));
    auto* keyPicture = new QLabel;
    keyPicture->setPixmap(IconFactory::actionIcon(QStringLiteral("users")).pixmap(32, 32));
    keyPicture->setAlignment(Qt::AlignTop);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(keyPicture);
    passwordRow->addWidget(lblPassword, 1);
    auto* passwordButton = new QHBoxLayout;
    passwordButton->addStretch(1);
    passwordButton->addWidget(btnSetPassword);
    auto* passwordLayout = new QVBoxLayout(gbPassword);
    passwordLayout->addLayout(passwordRow);
    passwordLayout->addLayout(passwordButton);

    btnClose = new QPushButton(QStringLiteral("关闭(&C)"));
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);

    pmUsers = new QMenu(this);
    miAdd = pmUsers->addAction(QStringLiteral("添加(&D)..."));
    miDelete = pmUsers->addAction(QStringLiteral("删除(&R)"));
    miProperty = pmUsers->addAction(QStringLiteral("属性(&O)"));

    for (QPushButton* b : {btnAdd, btnDelete, btnProperty, btnSetPassword})
        b->setAutoDefault(false);
    connect(btnAdd, &QPushButton::clicked, this, &TUserManagerFrm::Add);
    connect(btnDelete, &QPushButton::clicked, this, &TUserManagerFrm::Delete);
    connect(btnProperty, &QPushButton::clicked, this, &TUserManagerFrm::Properties);
    connect(btnSetPassword, &QPushButton::clicked, this, &TUserManagerFrm::SetPassword);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(miAdd, &QAction::triggered, this, &TUserManagerFrm::Add);
    connect(miDelete, &QAction::triggered, this, &TUserManagerFrm::Delete);
    connect(miProperty, &QAction::triggered, this, &TUserManagerFrm::Properties);
    connect(lvUsers, &QTreeWidget::itemSelectionChanged, this, &TUserManagerFrm::selectionChanged);
    connect(lvUsers, &QTreeWidget::itemDoubleClicked, this, [this] { Properties(); });
    connect(lvUsers, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmUsers->exec(lvUsers->viewport()->mapToGlobal(pos)); });

    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(lblInfo, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addStretch(1);
    listButtons->addWidget(btnAdd);
    listButtons->addWidget(btnDelete);
    listButtons->addWidget(btnProperty);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(4);
    layout->addWidget(listLabel);
    layout->addWidget(lvUsers, 1);
    layout->addLayout(listButtons);
    layout->addSpacing(4);
    layout->addWidget(gbPassword);
    layout->addLayout(closeRow);
    resize(440, 480);

    fillList(login.opName);
    lvUsers->setFocus();
}

void TUserManagerFrm::fillList(const QString& select)
{
    lvUsers->clear();
    for (const UserAccount& a : m_manager.accounts()) {
        auto* item = new QTreeWidgetItem(lvUsers, {a.name, a.description});
        item->setIcon(0, QIcon(IconFactory::userPixmap(16)));
    }
    selectName(select);
    selectionChanged();
}

void TUserManagerFrm::selectRow(int row)
{
    if (row < 0 || row >= lvUsers->topLevelItemCount()) {
        lvUsers->clearSelection();
        lvUsers->setCurrentItem(nullptr);
        return;
    }
    QTreeWidgetItem* item = lvUsers->topLevelItem(row);
    lvUsers->setCurrentItem(item);
    item->setSelected(true);
    lvUsers->scrollToItem(item);
}

void TUserManagerFrm::selectName(const QString& name)
{
    selectRow(m_manager.indexOf(name));
}

QString TUserManagerFrm::selectedName() const
{
    const QList<QTreeWidgetItem*> selected = lvUsers->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

QStringList TUserManagerFrm::listedNames() const
{
    QStringList names;
    for (int i = 0; i < lvUsers->topLevelItemCount(); ++i)
        names << lvUsers->topLevelItem(i)->text(0);
    return names;
}

void TUserManagerFrm::selectionChanged()
{
    const QString name = selectedName();
    const bool any = !name.isEmpty();
    for (QPushButton* b : {btnDelete, btnProperty, btnSetPassword})
        b->setEnabled(any);
    miDelete->setEnabled(any);
    miProperty->setEnabled(any);
    gbPassword->setTitle(any ? name + QStringLiteral(" 的密码") : QString());
    lblPassword->setText(any ? QStringLiteral("要更改 ") + name + QStringLiteral(" 的密码，请单击“设置密码”。")
                             : QString());
}

void TUserManagerFrm::Add()
{
    UserAccount account;
    QString password;
    if (!m_dialogs.addUser(this, m_manager, m_prompter, account, password))
        return;
    const QString name = m_manager.AddUser(account, password);
    fillList(name);
}

void TUserManagerFrm::Delete()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    const int row = lvUsers->indexOfTopLevelItem(lvUsers->selectedItems().first());
    if (!m_manager.DeleteUser(name))
        return;
    fillList(QString());
    selectRow(std::min(row, lvUsers->topLevelItemCount() - 1));
    selectionChanged();
}

void TUserManagerFrm::Properties()
{
    QString name = selectedName();
    if (name.isEmpty())
        return;
    const bool changed = m_dialogs.properties(this, m_manager, m_prompter, name);
    if (changed)
        fillList(name);
}

void TUserManagerFrm::SetPassword()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    QString password;
    if (!m_dialogs.setPassword(this, m_prompter, password))
        return;
    m_manager.SetPassword(name, password);
}

void RunUserManager(TDataPoolDM& dm, TLoginInfo& login, Prompter& prompter,
                    std::function<void(const QString&)> ownRename, QWidget* parent)
{
    TUserManagerFrm frm(dm, login, prompter, std::move(ownRename), parent);
    frm.exec();
}
