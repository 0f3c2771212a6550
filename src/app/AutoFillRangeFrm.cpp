#include "app/AutoFillRangeFrm.h"

#include "core/Prompter.h"
#include "projects/HeaderFields.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAutoFillRangeFrm::TAutoFillRangeFrm(Prompter& prompter, QWidget* parent) : QDialog(parent), m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("填写位置"));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        auto* check = new QCheckBox(QStringLiteral("%1.%2").arg(n).arg(HeaderFields::name(n)));
        auto* row = new QLineEdit;
        auto* col = new QLineEdit;
        row->setMaxLength(10);
        col->setMaxLength(10);
        row->setFixedWidth(48);
        col->setFixedWidth(48);
        const int r = (n - 1) % 9;
        const int c = n <= 9 ? 0 : 6;
        grid->addWidget(check, r, c);
        grid->addWidget(new QLabel(QStringLiteral("行:")), r, c + 1);
        grid->addWidget(row, r, c + 2);
        grid->addWidget(new QLabel(QStringLiteral("列:")), r, c + 3);
        grid->addWidget(col, r, c + 4);
        m_checks << check;
        m_rows << row;
        m_cols << col;
    }
    grid->setColumnMinimumWidth(5, 24);
    auto* note = new QLabel(QStringLiteral(
        "说明: 请在要自动填写的项前面打对勾，并指出填写的具体位置，列的字母是不区分大小字。如: (行 8，列 B)"));
    note->setWordWrap(true);
    m_ok = new QPushButton(QStringLiteral("确定"));
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &TAutoFillRangeFrm::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TAutoFillRangeFrm::setPositions(const FillPositions& positions)
{
    for (int n = 0; n < HeaderFields::Count; ++n) {
        const FillPosition& f = positions[size_t(n)];
        m_checks.at(n)->setChecked(f.filled);
        m_rows.at(n)->setText(f.row);
        m_cols.at(n)->setText(f.col);
    }
}

FillPositions TAutoFillRangeFrm::positions() const
{
    FillPositions p;
    for (int n = 0; n < HeaderFields::Count; ++n)
        p[size_t(n)] = FillPosition{m_checks.at(n)->isChecked(), m_rows.at(n)->text(), m_cols.at(n)->text()};
    return p;
}

void TAutoFillRangeFrm::accept()
{
    const FillPositionCheck check = CheckFillPositions(positions(), m_sheet);
    if (check.field != 0) {
        m_prompter.inform(QStringLiteral("Quelmar"), check.message);
        m_rows.at(check.field - 1)->setFocus();
        return;
    }
    QDialog::accept();
}

bool AutoFillRangeEditor::edit(FillPositions& positions, const SheetExtent& sheet)
{
    TAutoFillRangeFrm dialog(m_prompter, m_parent);
    dialog.setPositions(positions);
    dialog.setSheet(sheet);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    positions = dialog.positions();
    return true;
}

bool RunFillPositions(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, int fillId, const cell::CellControl& cell)
{
    AutoFillRangeEditor editor(prompter, parent);
    return EditFillPositions(dm, editor, fillId, CurrentSheetExtent(cell));
}
