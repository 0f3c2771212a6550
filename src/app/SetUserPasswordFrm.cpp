#include "app/SetUserPasswordFrm.h"

#include "users/UserManager.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TSetUserPasswordFrm::TSetUserPasswordFrm(Prompter& prompter, QWidget* parent) : QDialog(parent), m_prompter(prompter)
{
    setObjectName(QStringLiteral("TSetUserPasswordFrm"));
    setWindowTitle(QStringLiteral("设置密码"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    edtPassword = new QLineEdit;
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtConfirm = new QLineEdit;
    edtConfirm->setObjectName(QStringLiteral("edtConfirm"));
    for (QLineEdit* e : {edtPassword, edtConfirm}) {
        e->setMaxLength(UserRules::MaxPassword);
        e->setEchoMode(QLineEdit::Password);
        e->setMinimumWidth(200);
    }
    auto* pwLabel = new QLabel(QStringLiteral("新密码(&P):"));
    pwLabel->setBuddy(edtPassword);
    auto* confirmLabel = new QLabel(QStringLiteral("确认新密码(&C):"));
    confirmLabel->setBuddy(edtConfirm);
    auto* form = new QFormLayout;
    form->addRow(pwLabel, edtPassword);
    form->addRow(confirmLabel, edtConfirm);

    btnOk = new QPushButton(QStringLiteral("确定"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("取消"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnOk, &QPushButton::clicked, this, [this] { ok(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
    edtPassword->setFocus();
}

QString TSetUserPasswordFrm::password() const
{
    return edtPassword->text();
}

bool TSetUserPasswordFrm::ok()
{
    if (const UserRefusal r = UserRules::SetPasswordRefusal(edtPassword->text(), edtConfirm->text())) {
        r.show(m_prompter);
        edtPassword->setFocus();
        return false;
    }
    accept();
    return true;
}
