// The find dialog of the three library trees and the main window's LocateNode actions (Ctrl+F).
#include "app/LocateNodeFrm.h"

#include "app/MainFrm.h"
#include "app/QuelmarApplication.h"
#include "core/Prompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

TLocateNodeFrm::TLocateNodeFrm(TMainFrm& main, Library library)
    : QDialog(&main), m_main(main), m_library(library), m_locator(main.library(library).tree)
{
    setObjectName(QStringLiteral("TLocateNodeFrm"));
    setWindowTitle(QStringLiteral("查找"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Label1 = new QLabel(QStringLiteral("查找内容(&N):"));
    edtFindTarget = new QLineEdit;
    edtFindTarget->setObjectName(QStringLiteral("edtFindTarget"));
    edtFindTarget->setAttribute(Qt::WA_InputMethodEnabled, false);
    edtFindTarget->setMinimumWidth(200);
    Label1->setBuddy(edtFindTarget);

    btnFindNext = new QPushButton(QStringLiteral("查找下一个(&F)"));
    btnFindNext->setObjectName(QStringLiteral("btnFindNext"));
    btnFindNext->setDefault(true);
    btnFindNext->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("取消"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    GroupBox1 = new QGroupBox(QStringLiteral("方向"));
    rbtnForward = new QRadioButton(QStringLiteral("向下(&D)"));
    rbtnForward->setObjectName(QStringLiteral("rbtnForward"));
    rbtnBackward = new QRadioButton(QStringLiteral("向上(&B)"));
    rbtnBackward->setObjectName(QStringLiteral("rbtnBackward"));
    rbtnForward->setChecked(true);
    auto* direction = new QHBoxLayout(GroupBox1);
    direction->addWidget(rbtnForward);
    direction->addWidget(rbtnBackward);

    cbxWholeWordsOnly = new QCheckBox(QStringLiteral("全字匹配(&W)"));
    cbxWholeWordsOnly->setObjectName(QStringLiteral("cbxWholeWordsOnly"));

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(edtFindTarget, 0, 1, 1, 2);
    grid->addWidget(cbxWholeWordsOnly, 1, 0, 1, 2, Qt::AlignBottom | Qt::AlignLeft);
    grid->addWidget(GroupBox1, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnFindNext);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    // The button is there while the box holds at least one character (blanks count).
    connect(edtFindTarget, &QLineEdit::textChanged, this,
            [this](const QString& text) { btnFindNext->setEnabled(!text.isEmpty()); });
    connect(btnFindNext, &QPushButton::clicked, this, [this] { QuelmarApplication::guarded([this] { btnFindNextClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(sizeHint());
    move(main.frameGeometry().topLeft() + QPoint(40, 50));
}

void TLocateNodeFrm::btnFindNextClick()
{
    const QString text = edtFindTarget->text();
    const QModelIndex hit = m_locator.findNext(text, rbtnBackward->isChecked(), cbxWholeWordsOnly->isChecked(),
                                               m_main.selectedNode(m_library));
    if (!hit.isValid()) {
        m_main.prompter().inform(QStringLiteral("Quelmar"), NodeNotFoundMessage(text.trimmed()));
        return;
    }
    // The hit is selected as a click would select it (the tree scrolls to it and the window shows it).
    QTreeView* tree = m_main.treeView(m_library);
    for (QModelIndex p = hit.parent(); p.isValid(); p = p.parent())
        tree->expand(p);
    m_main.selectNode(m_library, hit);
    tree->scrollTo(hit);
}

// ---------------------------------------------------------------------------------------------------------------
// The actions

void TMainFrm::LocateNode(Library lib)
{
    TLocateNodeFrm dialog(*this, lib);
    dialog.exec();
}

void TMainFrm::MobanLocateNodeExecute()
{
    LocateNode(Library::Moban);
}

void TMainFrm::ZiLiaoLocateNodeExecute()
{
    LocateNode(Library::ZiLiao);
}

void TMainFrm::GuiDangLocateNodeExecute()
{
    LocateNode(Library::GuiDang);
}
