#include "app/LoginFrm.h"

#include "app/IconFactory.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const char* const kFailed =
    "系统无法让您登录。请确定您的用户名无误，然后再次输入密码。\r\n\r\n注：用户名及密码忽略大小写。";

// The banner across the top of the dialog: the program's picture and name.
QLabel* banner()
{
    QPixmap pm(420, 64);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 420, 0);
    g.setColorAt(0, QColor(0x1d, 0x4e, 0x99));
    g.setColorAt(1, QColor(0x5a, 0x95, 0xdb));
    p.fillRect(pm.rect(), g);
    p.drawPixmap(14, 12, IconFactory::appIcon().pixmap(40, 40));
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(66, 6, 340, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quelmar"));
    f.setPixelSize(13);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(66, 34, 340, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("公路工程施工资料管理系统"));
    p.end();
    auto* label = new QLabel;
    label->setPixmap(pm);
    label->setFixedSize(pm.size());
    return label;
}

// The key picture beside the heading.
QLabel* keyPicture()
{
    QPixmap pm(40, 40);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x8a, 0x62, 0x12), 2));
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.drawEllipse(QRectF(4, 8, 16, 16));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(9, 13, 6, 6));
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.drawRect(QRectF(19, 14, 17, 4));
    p.drawRect(QRectF(29, 18, 3, 6));
    p.drawRect(QRectF(33, 18, 3, 4));
    p.end();
    auto* label = new QLabel;
    label->setPixmap(pm);
    label->setAlignment(Qt::AlignTop);
    return label;
}

}  // namespace

TLoginFrm::TLoginFrm(Prompter& prompter, LoginRule tryLogin, const QString& initialName, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_tryLogin(std::move(tryLogin))
{
    setWindowTitle(QStringLiteral("登录到系统"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* heading = new QLabel(QStringLiteral("要登录到该系统，请键入用户名和密码。"));
    heading->setWordWrap(true);

    m_nameLabel = new QLabel(QStringLiteral("用户名(&U):"));
    m_name = new QLineEdit(initialName);
    m_name->setMaxLength(50);
    m_name->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_nameLabel->setBuddy(m_name);

    m_passwordLabel = new QLabel(QStringLiteral("密码(&P):"));
    m_password = new QLineEdit;
    m_password->setMaxLength(50);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_passwordLabel->setBuddy(m_password);

    auto* hint1 = new QLabel(QStringLiteral("登录后，密码未设置，请在工具菜单设置密码，以确保数据安全。"));
    auto* hint2 = new QLabel(QStringLiteral("如您首次使用本公司的产品，请使用用户名(Admin)，密码(无)。"));
    for (QLabel* h : {hint1, hint2}) {
        h->setWordWrap(true);
        h->setStyleSheet(QStringLiteral("color: #555d6a;"));
    }

    m_login = new QPushButton(QStringLiteral("登录(&L)"));
    m_login->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消"));
    connect(m_login, &QPushButton::clicked, this, &TLoginFrm::accept);
    connect(m_cancel, &QPushButton::clicked, this, &TLoginFrm::reject);

    auto* fields = new QGridLayout;
    fields->addWidget(m_nameLabel, 0, 0);
    fields->addWidget(m_name, 0, 1);
    fields->addWidget(m_passwordLabel, 1, 0);
    fields->addWidget(m_password, 1, 1);
    fields->setColumnStretch(1, 1);
    fields->setHorizontalSpacing(10);

    auto* top = new QHBoxLayout;
    top->addWidget(keyPicture());
    auto* right = new QVBoxLayout;
    right->addWidget(heading);
    right->addSpacing(6);
    right->addLayout(fields);
    top->addLayout(right, 1);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_login);
    buttons->addWidget(m_cancel);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(14, 12, 14, 12);
    body->addLayout(top);
    body->addSpacing(4);
    body->addWidget(hint1);
    body->addWidget(hint2);
    body->addWidget(line);
    body->addLayout(buttons);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(banner());
    outer->addLayout(body);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    if (m_name->text().isEmpty())
        m_name->setFocus();
    else
        m_password->setFocus();

    if (QScreen* screen = QApplication::primaryScreen()) {
        adjustSize();
        move(screen->availableGeometry().center() - rect().center());
    }
}

QList<QWidget*> TLoginFrm::inputControls() const
{
    return {m_nameLabel, m_passwordLabel, m_name, m_password, m_login, m_cancel};
}

void TLoginFrm::setInputEnabled(bool enabled)
{
    for (QWidget* w : inputControls())
        w->setEnabled(enabled);
    // While disabled the fields take the button-face colour, afterwards the window colour again.
    const QString sheet = enabled ? QString() : QStringLiteral("QLineEdit { background: palette(button); }");
    m_name->setStyleSheet(sheet);
    m_password->setStyleSheet(sheet);
}

void TLoginFrm::accept()
{
    bool matched = false;
    bool failed = true;
    try {
        matched = m_tryLogin(m_name->text(), m_password->text());
        failed = false;
    } catch (const QuelmarError& e) {
        m_failure = e.message();
    } catch (const std::exception& e) {
        m_failure = QString::fromLocal8Bit(e.what());
    }
    if (failed) {
        done(CheckFailed);
        return;
    }
    if (matched) {
        QDialog::accept();
        return;
    }
    setInputEnabled(false);
    m_prompter.inform(QStringLiteral("Quelmar"), QString::fromUtf8(kFailed));
    setInputEnabled(true);
    if (!m_name->text().isEmpty()) {
        m_password->setFocus();
        m_password->selectAll();
    } else {
        m_name->setFocus();
    }
}

TLogoutFrm::TLogoutFrm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("注销系统"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* icon = new QLabel;
    icon->setPixmap(IconFactory::actionIcon(QStringLiteral("logout")).pixmap(32, 32));
    auto* text = new QLabel(QStringLiteral("确实要注销吗？"));
    m_yes = new QPushButton(QStringLiteral("是(&Y)"));
    m_yes->setDefault(true);
    m_no = new QPushButton(QStringLiteral("否(&N)"));
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(8);
    row->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 12);
    layout->addLayout(row);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool ShowLoginDialog(Prompter& prompter, const TLoginFrm::LoginRule& tryLogin, const QString& name)
{
    TLoginFrm dialog(prompter, tryLogin, name);
    const int result = dialog.exec();
    if (result == TLoginFrm::CheckFailed)
        throw QuelmarError(dialog.failure().isEmpty() ? QStringLiteral("登录检查失败。") : dialog.failure());
    return result == QDialog::Accepted;
}

bool ShowLogoutDialog(QWidget* parent)
{
    TLogoutFrm dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}
