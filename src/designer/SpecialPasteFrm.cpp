#include "designer/SpecialPasteFrm.h"

#include "core/Prompter.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TSpecialPasteFrm::TSpecialPasteFrm(Prompter& prompter, QWidget* parent) : QDialog(parent), m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("选择性粘贴"));
    setObjectName(QStringLiteral("TSpecialPasteFrm"));
    m_modes = new QListWidget;
    m_modes->setObjectName(QStringLiteral("lbMode"));
    m_modes->addItems({QStringLiteral("全部"), QStringLiteral("单元公式"), QStringLiteral("文本和数值"),
                       QStringLiteral("单元格式")});
    m_modes->setCurrentRow(0);
    m_modes->setFixedHeight(m_modes->sizeHintForRow(0) * 4 + 2 * m_modes->frameWidth() + 4);
    auto* label = new QLabel(QStringLiteral("方式(&A):"));
    label->setBuddy(m_modes);
    m_sameSize = new QCheckBox(QStringLiteral("等大小粘帖"));
    m_skipBlanks = new QCheckBox(QStringLiteral("跳过空单元"));
    auto* ok = new QPushButton(QStringLiteral("确定"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    connect(ok, &QPushButton::clicked, this, &TSpecialPasteFrm::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_modes, &QListWidget::itemDoubleClicked, this, &TSpecialPasteFrm::accept);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(label);
    left->addWidget(m_modes);
    left->addWidget(m_sameSize);
    left->addWidget(m_skipBlanks);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    resize(300, sizeHint().height());
}

int TSpecialPasteFrm::mode() const
{
    const QListWidgetItem* item = m_modes->currentItem();
    return item && item->isSelected() ? m_modes->row(item) : -1;
}

bool TSpecialPasteFrm::sameSize() const { return m_sameSize->isChecked(); }
bool TSpecialPasteFrm::skipBlanks() const { return m_skipBlanks->isChecked(); }

void TSpecialPasteFrm::accept()
{
    if (mode() < 0) {
        m_prompter.inform(QStringLiteral("选择性粘贴"), QStringLiteral("请选择要粘贴的方式！"));
        return;
    }
    QDialog::accept();
}
