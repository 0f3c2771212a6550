#include "app/AddUserFrm.h"

#include "app/IconFactory.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QLabel* heading(const QString& text)
{
    auto* label = new QLabel(text);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setWordWrap(true);
    return label;
}

QLineEdit* lineEdit(const char* objectName, int maxLength, bool masked = false)
{
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(objectName));
    e->setMaxLength(maxLength);
    if (masked)
        e->setEchoMode(QLineEdit::Password);
    return e;
}

} // namespace

QWidget* UserTypeChoice(QRadioButton*& standard, QRadioButton*& advanced, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int type : {UserType::Standard, UserType::Advanced}) {
        auto* button = new QRadioButton(UserRules::TypeCaption(type));
        button->setObjectName(type == UserType::Standard ? QStringLiteral("rbStandard") : QStringLiteral("rbAdvanced"));
        auto* note = new QLabel(UserRules::TypeDescription(type));
        note->setWordWrap(true);
        note->setIndent(22);
        note->setMinimumWidth(300);
        layout->addWidget(button);
        layout->addWidget(note);
        layout->addSpacing(8);
        (type == UserType::Standard ? standard : advanced) = button;
    }
    layout->addStretch(1);
    standard->setChecked(true);
    return box;
}

TAddUserFrm::TAddUserFrm(const UserManager& manager, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_manager(manager), m_prompter(prompter)
{
    setObjectName(QStringLiteral("TAddUserFrm"));
    setWindowTitle(QStringLiteral("添加新用户"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    // Page one: who.
    edtName = lineEdit("edtName", UserRules::MaxName);
    edtFullName = lineEdit("edtFullName", UserRules::MaxFullName);
    edtDescription = lineEdit("edtDescription", UserRules::MaxDescription);
    auto* one = new QWidget;
    auto* oneForm = new QFormLayout;
    auto* nameLabel = new QLabel(QStringLiteral("用户名(&U):"));
    nameLabel->setBuddy(edtName);
    auto* fullLabel = new QLabel(QStringLiteral("全名(&F):"));
    fullLabel->setBuddy(edtFullName);
    auto* desLabel = new QLabel(QStringLiteral("说明(&D):"));
    desLabel->setBuddy(edtDescription);
    oneForm->addRow(nameLabel, edtName);
    oneForm->addRow(fullLabel, edtFullName);
    oneForm->addRow(desLabel, edtDescription);
    auto* oneLayout = new QVBoxLayout(one);
    oneLayout->addWidget(heading(QStringLiteral("请输入新用户的基本信息。")));
    oneLayout->addSpacing(6);
    oneLayout->addLayout(oneForm);
    oneLayout->addStretch(1);
    oneLayout->addWidget(new QLabel(QStringLiteral("单击“下一步”继续。")));

    // Page two: the password.
    edtPassword = lineEdit("edtPassword", UserRules::MaxPassword, true);
    edtConfirm = lineEdit("edtConfirm", UserRules::MaxPassword, true);
    auto* two = new QWidget;
    auto* twoForm = new QFormLayout;
    auto* pwLabel = new QLabel(QStringLiteral("密码(&P):"));
    pwLabel->setBuddy(edtPassword);
    auto* confirmLabel = new QLabel(QStringLiteral("确认密码(&C):"));
    confirmLabel->setBuddy(edtConfirm);
    twoForm->addRow(pwLabel, edtPassword);
    twoForm->addRow(confirmLabel, edtConfirm);
    auto* twoLayout = new QVBoxLayout(two);
    twoLayout->addWidget(heading(QStringLiteral("键入并确认该用户的密码。")));
    twoLayout->addSpacing(6);
    twoLayout->addLayout(twoForm);
    twoLayout->addStretch(1);

    // Page three: the type.
    auto* three = new QWidget;
    auto* threeLayout = new QVBoxLayout(three);
    threeLayout->addWidget(heading(QStringLiteral("想授予该用户何种级别的访问权限？")));
    threeLayout->addSpacing(6);
    threeLayout->addWidget(UserTypeChoice(rbStandard, rbAdvanced), 1);

    m_pages = new QStackedWidget;
    m_pages->addWidget(one);
    m_pages->addWidget(two);
    m_pages->addWidget(three);

    auto* picture = new QLabel;
    picture->setPixmap(IconFactory::userPixmap(64));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    picture->setFixedWidth(84);

    btnBack = new QPushButton(QStringLiteral("上一步(&B)"));
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnNext = new QPushButton(QStringLiteral("下一步(&N)"));
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnCancel = new QPushButton(QStringLiteral("取消"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton* b : {btnBack, btnNext, btnCancel})
        b->setAutoDefault(false);
    btnBack->setEnabled(false);
    connect(btnBack, &QPushButton::clicked, this, &TAddUserFrm::back);
    connect(btnNext, &QPushButton::clicked, this, &TAddUserFrm::next);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtName, &QLineEdit::textChanged, this, &TAddUserFrm::nameChanged);

    auto* body = new QHBoxLayout;
    body->addWidget(picture);
    body->addWidget(m_pages, 1);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnBack);
    buttons->addWidget(btnNext);
    buttons->addSpacing(8);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);
    resize(500, 330);
    nameChanged();
    edtName->setFocus();
}

int TAddUserFrm::page() const
{
    return m_pages->currentIndex();
}

void TAddUserFrm::nameChanged()
{
    if (page() != 0)
        return;
    const bool named = !edtName->text().isEmpty();
    btnNext->setEnabled(named);
    btnNext->setDefault(named);
    btnCancel->setDefault(!named);
}

void TAddUserFrm::next()
{
    switch (page()) {
    case 0:
        if (edtName->text().isEmpty())
            return;
        if (const UserRefusal r = m_manager.NewNameRefusal(edtName->text())) {
            r.show(m_prompter);
            edtName->setFocus();
            return;
        }
        m_pages->setCurrentIndex(1);
        btnBack->setEnabled(true);
        btnNext->setEnabled(true);
        btnNext->setDefault(true);
        btnCancel->setDefault(false);
        edtPassword->setFocus();
        return;
    case 1:
        if (const UserRefusal r = UserRules::WizardPasswordRefusal(edtPassword->text(), edtConfirm->text())) {
            r.show(m_prompter);
            edtPassword->setFocus();
            return;
        }
        m_pages->setCurrentIndex(2);
        btnNext->setText(QStringLiteral("完成(&F)"));
        rbStandard->isChecked() ? rbStandard->setFocus() : rbAdvanced->setFocus();
        return;
    default:
        accept();
    }
}

void TAddUserFrm::back()
{
    if (page() == 2) {
        m_pages->setCurrentIndex(1);
        btnNext->setText(QStringLiteral("下一步(&N)"));
        edtPassword->setFocus();
    } else if (page() == 1) {
        m_pages->setCurrentIndex(0);
        btnBack->setEnabled(false);
        nameChanged();
        edtName->setFocus();
    }
}

UserAccount TAddUserFrm::account() const
{
    UserAccount a;
    a.name = edtName->text();
    a.fullName = edtFullName->text();
    a.description = edtDescription->text();
    a.type = rbAdvanced->isChecked() ? UserType::Advanced : UserType::Standard;
    return a;
}

QString TAddUserFrm::password() const
{
    return edtPassword->text();
}
