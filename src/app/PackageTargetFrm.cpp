#include "app/PackageTargetFrm.h"

#include "app/IconFactory.h"
#include "app/NodeIconDelegate.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

TPackageTargetFrm::TPackageTargetFrm(const QString& file, const QList<Choice>& choices, QWidget* parent)
    : QDialog(parent), m_choices(choices)
{
    setWindowTitle(QStringLiteral("导入交换包"));
    auto* layout = new QVBoxLayout(this);
    auto* what = new QLabel(QStringLiteral("把交换包“%1”导入到下面选中的节点之下：").arg(QFileInfo(file).fileName()));
    what->setWordWrap(true);
    what->setToolTip(QDir::toNativeSeparators(file));
    layout->addWidget(what);
    if (choices.size() > 1) {
        auto* form = new QFormLayout;
        m_library = new QComboBox;
        for (const Choice& c : choices)
            m_library->addItem(c.caption);
        form->addRow(QStringLiteral("导入到(&L):"), m_library);
        layout->addLayout(form);
        connect(m_library, &QComboBox::currentIndexChanged, this, &TPackageTargetFrm::showChoice);
    }
    m_tree = new QTreeView;
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setItemDelegate(new NodeIconDelegate(m_tree));
    m_tree->setMinimumSize(360, 320);
    layout->addWidget(m_tree, 1);
    m_hint = new QLabel;
    m_hint->setWordWrap(true);
    m_hint->setStyleSheet(QStringLiteral("color: #6b7380;"));
    layout->addWidget(m_hint);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    showChoice(0);
}

void TPackageTargetFrm::showChoice(int i)
{
    if (i < 0 || i >= m_choices.size())
        return;
    const Choice& c = m_choices[i];
    m_tree->setModel(c.model);
    const QModelIndex root = c.model->index(0, 0);
    m_tree->expand(root);
    const QModelIndex initial = c.rootOnly || !c.initial.isValid() ? root : c.initial;
    for (QModelIndex p = initial.parent(); p.isValid(); p = p.parent())
        m_tree->expand(p);
    m_tree->setCurrentIndex(initial);
    m_tree->scrollTo(initial);
    m_tree->setEnabled(!c.rootOnly);
    m_hint->setText(c.rootOnly ? QStringLiteral("模板或工程总是导入为库中新的一项，放在回收站之前。")
                               : QStringLiteral("交换包导入为所选节点的最后一个下级节点。"));
}

int TPackageTargetFrm::chosenLibrary() const
{
    return m_library ? m_library->currentIndex() : 0;
}

QModelIndex TPackageTargetFrm::chosenNode() const
{
    return m_tree->currentIndex();
}
