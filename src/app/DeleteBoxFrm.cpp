#include "app/DeleteBoxFrm.h"

#include "app/IconFactory.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TDeleteBoxFrm::TDeleteBoxFrm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("确认删除"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("imgIcon"));
    icon->setPixmap(IconFactory::nodeIcon(33).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    icon->setFixedWidth(48);

    lblNote = new QLabel;
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    lblNote->setMinimumWidth(260);
    lblNote->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    bbtnYes = new QPushButton(QStringLiteral("是(&Y)"));
    bbtnYes->setObjectName(QStringLiteral("bbtnYes"));
    bbtnYes->setDefault(true);
    bbtnYes->setAutoDefault(true);
    bbtnNo = new QPushButton(QStringLiteral("否(&N)"));
    bbtnNo->setObjectName(QStringLiteral("bbtnNo"));
    bbtnNo->setAutoDefault(false);
    connect(bbtnYes, &QPushButton::clicked, this, &QDialog::accept);
    // Escape and the window's close button answer No as well (QDialog rejects on them).
    connect(bbtnNo, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(lblNote, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbtnYes);
    buttons->addWidget(bbtnNo);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 14, 12, 10);
    layout->setSpacing(14);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    setFixedWidth(360);
}

void TDeleteBoxFrm::setNote(const QString& text)
{
    lblNote->setText(text);
}

void TDeleteBoxFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    adjustSize();
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect g = frameGeometry();
        g.moveCenter(screen->availableGeometry().center());
        move(g.topLeft());
    }
    bbtnYes->setFocus();
}

bool TDeleteBoxFrm::Ask(const QString& note, QWidget* parent)
{
    TDeleteBoxFrm box(parent);
    box.setNote(note);
    return box.exec() == QDialog::Accepted;
}
