// 数据转置, 舍位平衡, 序列填充 and 垂直填充: each gathers its arguments and runs one operation of the control.

#include "designer/dialogs/DialogSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace designer::dialogs {

bool transposeDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("数据转置"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    int c1, r1, c2, r2;
    control.GetSelectRange(c1, r1, c2, r2);
    auto* target = lineEdit(&dlg, cell::CellControl::GetCellRef(c1, r1), "target");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("转置区域(&R):"), range);
    form->addRow(QStringLiteral("结果左上角(&T):"), target);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(noteLabel(QStringLiteral("行变为列、列变为行；组合单元格随之转置，指向这些单元格的公式引用随之移动。"), &dlg));
    addOkCancel(dlg, layout, [&] {
        cell::Range r, t;
        if (!readRange(&dlg, range, r) || !readRange(&dlg, target, t))
            return false;
        return attempt(&dlg, [&] { control.transpose(r, t.col1, t.row1); });
    });
    return dlg.exec() == QDialog::Accepted;
}

bool roundBalanceDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("舍位平衡"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* unit = new QComboBox(&dlg);
    unit->setObjectName(QStringLiteral("unit"));
    const QList<QPair<QString, double>> units{{QStringLiteral("不换算"), 1},     {QStringLiteral("除以 10"), 10},
                                               {QStringLiteral("除以 100"), 100}, {QStringLiteral("除以 1000（千）"), 1000},
                                               {QStringLiteral("除以 10000（万）"), 10000}};
    for (const auto& u : units)
        unit->addItem(u.first, u.second);
    auto* decimals = numberBox(&dlg, 0, 6, 2, "decimals");
    auto* totalRow = new QCheckBox(QStringLiteral("最后一行为合计行(&B)"), &dlg);
    auto* totalCol = new QCheckBox(QStringLiteral("最后一列为合计列(&C)"), &dlg);
    totalRow->setObjectName(QStringLiteral("totalRow"));
    totalCol->setObjectName(QStringLiteral("totalCol"));
    totalRow->setChecked(true);
    totalCol->setChecked(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("平衡区域(&R):"), range);
    form->addRow(QStringLiteral("换算单位(&U):"), unit);
    form->addRow(QStringLiteral("保留小数位数(&D):"), decimals);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(totalRow);
    layout->addWidget(totalCol);
    layout->addWidget(noteLabel(QStringLiteral("舍位后各行、各列仍与合计相符，每个数与原值相差不超过末位的 1。"), &dlg));
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        const cell::RoundBalanceOptions o{decimals->value(), unit->currentData().toDouble(), totalRow->isChecked(),
                                          totalCol->isChecked()};
        return attempt(&dlg, [&] { control.roundBalance(r, o); });
    });
    return dlg.exec() == QDialog::Accepted;
}

bool fillSerialDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("序列"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");

    auto* along = new QGroupBox(QStringLiteral("序列产生在"), &dlg);
    auto* inCols = new QRadioButton(QStringLiteral("列(&C)"), along);
    auto* inRows = new QRadioButton(QStringLiteral("行(&R)"), along);
    inCols->setObjectName(QStringLiteral("inColumns"));
    inRows->setObjectName(QStringLiteral("inRows"));
    int c1, r1, c2, r2;
    control.GetSelectRange(c1, r1, c2, r2);
    (r2 > r1 || c2 == c1 ? inCols : inRows)->setChecked(true);
    auto* alongLayout = new QVBoxLayout(along);
    alongLayout->addWidget(inRows);
    alongLayout->addWidget(inCols);

    auto* type = new QGroupBox(QStringLiteral("类型"), &dlg);
    auto* linear = new QRadioButton(QStringLiteral("等差序列(&L)"), type);
    auto* growth = new QRadioButton(QStringLiteral("等比序列(&G)"), type);
    auto* date = new QRadioButton(QStringLiteral("日期(&D)"), type);
    linear->setObjectName(QStringLiteral("linear"));
    growth->setObjectName(QStringLiteral("growth"));
    date->setObjectName(QStringLiteral("date"));
    linear->setChecked(true);
    auto* typeLayout = new QVBoxLayout(type);
    typeLayout->addWidget(linear);
    typeLayout->addWidget(growth);
    typeLayout->addWidget(date);

    auto* unitBox = new QGroupBox(QStringLiteral("日期单位"), &dlg);
    auto* unitLayout = new QVBoxLayout(unitBox);
    QRadioButton* units[4] = {new QRadioButton(QStringLiteral("日(&A)"), unitBox),
                              new QRadioButton(QStringLiteral("工作日(&W)"), unitBox),
                              new QRadioButton(QStringLiteral("月(&M)"), unitBox),
                              new QRadioButton(QStringLiteral("年(&Y)"), unitBox)};
    auto* unitGroup = new QButtonGroup(&dlg);
    const char* unitNames[4] = {"days", "workdays", "months", "years"};
    for (int i = 0; i < 4; ++i) {
        units[i]->setObjectName(QLatin1String(unitNames[i]));
        unitGroup->addButton(units[i], i);
        unitLayout->addWidget(units[i]);
    }
    units[0]->setChecked(true);
    unitBox->setEnabled(false);
    QObject::connect(date, &QRadioButton::toggled, unitBox, &QWidget::setEnabled);

    auto* step = lineEdit(&dlg, QStringLiteral("1"), "step");
    auto* stop = lineEdit(&dlg, QString(), "stop");
    stop->setPlaceholderText(QStringLiteral("不限；日期可写作 2024-12-31"));
    auto* grid = new QGridLayout;
    grid->addWidget(along, 0, 0);
    grid->addWidget(type, 0, 1);
    grid->addWidget(unitBox, 0, 2);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("填充区域(&F):"), range);
    form->addRow(QStringLiteral("步长值(&S):"), step);
    form->addRow(QStringLiteral("终止值(&O):"), stop);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addLayout(grid);
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        cell::SeriesOptions o;
        o.byColumns = inCols->isChecked();
        o.type = linear->isChecked() ? cell::SeriesType::Linear
                                     : (growth->isChecked() ? cell::SeriesType::Growth : cell::SeriesType::Date);
        o.unit = cell::DateUnit(unitGroup->checkedId());
        if (!readNumber(&dlg, step, QStringLiteral("步长值"), o.step))
            return false;
        if (!stop->text().trimmed().isEmpty()) {
            o.hasStop = true;
            // A date series stops at a date; its cells hold day numbers counted from 1899-12-30.
            const QDate d = QDate::fromString(stop->text().trimmed(), QStringLiteral("yyyy-M-d"));
            if (o.type == cell::SeriesType::Date && d.isValid())
                o.stop = double(QDate(1899, 12, 30).daysTo(d));
            else if (!readNumber(&dlg, stop, QStringLiteral("终止值"), o.stop))
                return false;
        }
        return attempt(&dlg, [&] { control.fillSeries(r, o); });
    });
    return dlg.exec() == QDialog::Accepted;
}

bool fillBetweenSheetsDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("垂直填充"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* sheets = sheetList(control, &dlg, false);
    sheets->setObjectName(QStringLiteral("sheets"));
    // The current sheet is the source: it cannot be a target.
    if (auto* self = sheets->item(control.GetCurSheet()))
        self->setFlags(self->flags() & ~Qt::ItemIsEnabled);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("填充区域(&R):"), range);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(buddyLabel(QStringLiteral("把当前表页的区域复制到下列表页的同一位置(&S):"), sheets, &dlg));
    layout->addWidget(sheets);
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        const QList<int> targets = checkedSheets(sheets);
        if (targets.isEmpty()) {
            return fail(&dlg, QStringLiteral("请选择要填充的表页。"));
        }
        return attempt(&dlg, [&] { control.fillBetweenSheets(r, targets); });
    });
    return dlg.exec() == QDialog::Accepted;
}

} // namespace designer::dialogs
