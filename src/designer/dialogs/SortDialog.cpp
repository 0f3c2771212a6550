// 区域排序: up to three keys, each ascending or descending, rows by columns or columns by rows, a header kept.

#include "designer/dialogs/DialogSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace designer::dialogs {

bool sortDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("区域排序"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* byRows = new QRadioButton(QStringLiteral("按行排序（按列的值重排各行）(&W)"), &dlg);
    auto* byCols = new QRadioButton(QStringLiteral("按列排序（按行的值重排各列）(&L)"), &dlg);
    byRows->setObjectName(QStringLiteral("byRows"));
    byCols->setObjectName(QStringLiteral("byColumns"));
    byRows->setChecked(true);
    auto* header = new QCheckBox(QStringLiteral("第一行（列）为标题，不参加排序(&H)"), &dlg);
    header->setObjectName(QStringLiteral("header"));

    auto* keysBox = new QGroupBox(QStringLiteral("排序关键字"), &dlg);
    auto* grid = new QGridLayout(keysBox);
    QComboBox* key[3];
    QComboBox* dir[3];
    const QString names[3] = {QStringLiteral("主要关键字(&1):"), QStringLiteral("次要关键字(&2):"),
                              QStringLiteral("第三关键字(&3):")};
    for (int i = 0; i < 3; ++i) {
        key[i] = new QComboBox(keysBox);
        dir[i] = new QComboBox(keysBox);
        dir[i]->addItems({QStringLiteral("升序"), QStringLiteral("降序")});
        key[i]->setObjectName(QStringLiteral("key%1").arg(i + 1));
        dir[i]->setObjectName(QStringLiteral("order%1").arg(i + 1));
        auto* label = new QLabel(names[i], keysBox);
        label->setBuddy(key[i]);
        grid->addWidget(label, i, 0);
        grid->addWidget(key[i], i, 1);
        grid->addWidget(dir[i], i, 2);
    }
    const auto refill = [&] {
        cell::Range r;
        if (!parseRange(range->text(), r))
            return;
        for (int i = 0; i < 3; ++i) {
            const QVariant keep = key[i]->currentData();
            key[i]->clear();
            if (byRows->isChecked())
                fillColumns(key[i], r.col1, r.col2);
            else
                for (int row = r.row1; row <= r.row2; ++row)
                    key[i]->addItem(QStringLiteral("第 %1 行").arg(row), row);
            if (i > 0)
                key[i]->insertItem(0, QStringLiteral("（无）"), 0);
            const int at = key[i]->findData(keep);
            key[i]->setCurrentIndex(at >= 0 ? at : 0);
        }
    };
    QObject::connect(range, &QLineEdit::editingFinished, &dlg, refill);
    QObject::connect(byRows, &QRadioButton::toggled, &dlg, refill);
    refill();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("排序区域(&R):"), range);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(byRows);
    layout->addWidget(byCols);
    layout->addWidget(header);
    layout->addWidget(keysBox);
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        QList<cell::SortKey> keys;
        for (int i = 0; i < 3; ++i) {
            const int k = key[i]->currentData().toInt();
            if (k > 0)
                keys << cell::SortKey{k, dir[i]->currentIndex() == 0};
        }
        return attempt(&dlg, [&] { control.sortRange(r, keys, byRows->isChecked(), header->isChecked()); });
    });
    return dlg.exec() == QDialog::Accepted;
}

} // namespace designer::dialogs
