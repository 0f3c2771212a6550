#include "app/UserPropertyFrm.h"

#include "app/AddUserFrm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

TUserPropertyFrm::TUserPropertyFrm(UserManager& manager, const QString& name, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_manager(manager), m_prompter(prompter)
{
    const UserAccount account = manager.PropertiesOf(name);
    m_name = account.name;
    setObjectName(QStringLiteral("TUserPropertyFrm"));
    setWindowTitle(m_name + QStringLiteral(" 属性"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    edtName = new QLineEdit;
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setMaxLength(UserRules::MaxName);
    edtFullName = new QLineEdit;
    edtFullName->setObjectName(QStringLiteral("edtFullName"));
    edtFullName->setMaxLength(UserRules::MaxFullName);
    edtDescription = new QLineEdit;
    edtDescription->setObjectName(QStringLiteral("edtDescription"));
    edtDescription->setMaxLength(UserRules::MaxDescription);
    auto* general = new QWidget;
    auto* form = new QFormLayout(general);
    auto* nameLabel = new QLabel(QStringLiteral("用户名(&U):"));
    nameLabel->setBuddy(edtName);
    auto* fullLabel = new QLabel(QStringLiteral("全名(&F):"));
    fullLabel->setBuddy(edtFullName);
    auto* desLabel = new QLabel(QStringLiteral("说明(&D):"));
    desLabel->setBuddy(edtDescription);
    form->addRow(nameLabel, edtName);
    form->addRow(fullLabel, edtFullName);
    form->addRow(desLabel, edtDescription);

    auto* rights = new QWidget;
    auto* rightsLayout = new QVBoxLayout(rights);
    rightsLayout->addWidget(UserTypeChoice(rbStandard, rbAdvanced), 1);

    pcPages = new QTabWidget;
    pcPages->addTab(general, QStringLiteral("常规"));
    pcPages->addTab(rights, QStringLiteral("权限"));

    btnOk = new QPushButton(QStringLiteral("确定"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("取消"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    btnApply = new QPushButton(QStringLiteral("应用(&A)"));
    btnApply->setObjectName(QStringLiteral("btnApply"));
    btnApply->setAutoDefault(false);
    connect(btnOk, &QPushButton::clicked, this, [this] { ok(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnApply, &QPushButton::clicked, this, [this] { applyChanges(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnApply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcPages, 1);
    layout->addLayout(buttons);

    load(account);
    const auto touched = [this] {
        if (!m_loading)
            btnApply->setEnabled(true);
    };
    for (QLineEdit* e : {edtName, edtFullName, edtDescription})
        connect(e, &QLineEdit::textChanged, this, touched);
    connect(rbStandard, &QRadioButton::toggled, this, touched);
    connect(rbAdvanced, &QRadioButton::toggled, this, touched);
    resize(440, 340);
    edtName->setFocus();
}

void TUserPropertyFrm::load(const UserAccount& a)
{
    m_loading = true;
    edtName->setText(a.name);
    edtFullName->setText(a.fullName);
    edtDescription->setText(a.description);
    (a.type == UserType::Advanced ? rbAdvanced : rbStandard)->setChecked(true);
    m_loading = false;
    btnApply->setEnabled(false);
}

UserAccount TUserPropertyFrm::edited() const
{
    UserAccount a;
    a.name = edtName->text();
    a.fullName = edtFullName->text();
    a.description = edtDescription->text();
    a.type = rbAdvanced->isChecked() ? UserType::Advanced : UserType::Standard;
    return a;
}

bool TUserPropertyFrm::applyChanges()
{
    const UserAccount values = edited();
    if (const UserRefusal r = m_manager.PropertiesRefusal(m_name, values)) {
        r.show(m_prompter);
        return false;
    }
    m_name = m_manager.WriteProperties(m_name, values);
    m_changed = true;
    load(m_manager.PropertiesOf(m_name));
    setWindowTitle(m_name + QStringLiteral(" 属性"));
    return true;
}

bool TUserPropertyFrm::ok()
{
    // Nothing changed since the dialog opened or was applied: nothing to write.
    if (!btnApply->isEnabled()) {
        accept();
        return true;
    }
    if (!applyChanges())
        return false;
    accept();
    return true;
}
