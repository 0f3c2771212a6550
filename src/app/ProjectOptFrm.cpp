#include "app/ProjectOptFrm.h"

#include "app/OptConfigFrm.h"
#include "projects/HeaderFields.h"
#include "projects/OptionLists.h"
#include "store/DataPool.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

TProjectOptFrm::TProjectOptFrm(TDataPoolDM& dm, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_prompter(prompter), m_gkxx(dm.GetGkxxData())
{
    setWindowTitle(QStringLiteral("工程概况"));
    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    tabs->addTab(page, QStringLiteral("常规"));

    m_label = new QLabel;
    QFont f = m_label->font();
    f.setBold(true);
    m_label->setFont(f);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        auto* box = new QComboBox;
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->lineEdit()->setMaxLength(HeaderFields::MaxValueLength);
        box->setMinimumWidth(200);
        box->setObjectName(QStringLiteral("cbo%1").arg(n));
        auto* caption = new QLabel(HeaderFields::name(n) + QStringLiteral(":"));
        caption->setBuddy(box);
        const int row = (n - 1) % 9;
        const int col = n <= 9 ? 0 : 2;
        grid->addWidget(caption, row, col, Qt::AlignRight);
        grid->addWidget(box, row, col + 1);
        m_boxes << box;
    }
    grid->setColumnMinimumWidth(2, 100);
    auto* note = new QLabel(QStringLiteral("说明：新建表格时，系统会自动导概况。"));
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(m_label);
    pageLayout->addSpacing(6);
    pageLayout->addLayout(grid);
    pageLayout->addSpacing(6);
    pageLayout->addWidget(note);

    auto* ok = new QPushButton(QStringLiteral("确定"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    m_options = new QPushButton(QStringLiteral("维护选项列表(&C)"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_options);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_options, &QPushButton::clicked, this, &TProjectOptFrm::maintainOptionLists);
    fillChoices();
}

void TProjectOptFrm::setLabel(const QString& text)
{
    m_label->setText(text);
}

QString TProjectOptFrm::label() const
{
    return m_label->text();
}

void TProjectOptFrm::setValues(const QStringList& values)
{
    for (int n = 0; n < m_boxes.size(); ++n)
        m_boxes.at(n)->setEditText(values.value(n));
}

QStringList TProjectOptFrm::values() const
{
    QStringList v;
    for (QComboBox* box : m_boxes)
        v << box->currentText();
    return v;
}

void TProjectOptFrm::fillChoices()
{
    OptionLists lists(m_dm, m_gkxx);
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        QComboBox* box = m_boxes.at(n - 1);
        const QString text = box->currentText();
        box->clear();
        box->addItems(lists.items(n));
        box->setEditText(text);
    }
}

void TProjectOptFrm::maintainOptionLists()
{
    m_gkxx = EditOptionLists(m_dm, m_prompter, m_gkxx, this);
    fillChoices();
}

bool ProjectOptEditor::edit(const QString& label, QStringList& values)
{
    TProjectOptFrm dialog(m_dm, m_prompter, m_parent);
    dialog.setLabel(label);
    dialog.setValues(values);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values();
    return true;
}

OverviewResult RunProjectOverview(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, int dirNo,
                                  const QString& projectName)
{
    ProjectOptEditor editor(dm, prompter, parent);
    return EditProjectOverview(dm, prompter, editor, dirNo, projectName);
}

OverviewResult RunDefaultOverview(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, const QString& userName)
{
    ProjectOptEditor editor(dm, prompter, parent);
    return EditDefaultOverview(dm, editor, userName);
}
