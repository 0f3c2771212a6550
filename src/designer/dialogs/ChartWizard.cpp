// 图表向导: the kind of chart, its data and title, with a preview drawn by the engine as it will be printed.

#include "designer/dialogs/DialogSupport.h"

#include "cell/Charts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

namespace designer::dialogs {

namespace {

// The chart as the engine draws it, over the current cells.
class ChartPreview : public QWidget {
public:
    ChartPreview(const cell::CellControl& control, QWidget* parent) : QWidget(parent), m_control(control)
    {
        setMinimumSize(420, 260);
    }
    void setChart(const cell::Chart& chart)
    {
        m_chart = chart;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        const int sheet = m_control.GetCurSheet();
        cell::paintChart(p, m_control.workbook(), m_control.sheet(sheet), m_chart, QRectF(rect()).adjusted(4, 4, -4, -4));
    }

private:
    const cell::CellControl& m_control;
    cell::Chart m_chart;
};

} // namespace

bool chartWizard(QWidget* parent, cell::CellControl& control)
{
    const int sheet = control.GetCurSheet();
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("图表向导"));
    auto* type = new QComboBox(&dlg);
    type->setObjectName(QStringLiteral("type"));
    type->addItem(QStringLiteral("柱形图"), int(cell::ChartType::Bar));
    type->addItem(QStringLiteral("折线图"), int(cell::ChartType::Line));
    type->addItem(QStringLiteral("饼图"), int(cell::ChartType::Pie));
    auto* data = lineEdit(&dlg, selectionText(control), "range");
    auto* inCols = new QRadioButton(QStringLiteral("列(&C)"), &dlg);
    auto* inRows = new QRadioButton(QStringLiteral("行(&R)"), &dlg);
    inCols->setObjectName(QStringLiteral("inColumns"));
    inRows->setObjectName(QStringLiteral("inRows"));
    inCols->setChecked(true);
    auto* labels = new QCheckBox(QStringLiteral("首行、首列为名称(&N)"), &dlg);
    labels->setObjectName(QStringLiteral("labels"));
    labels->setChecked(true);
    auto* title = lineEdit(&dlg, QString(), "title");
    auto* place = lineEdit(&dlg, QString(), "place");
    cell::Range r;
    if (parseRange(data->text(), r))
        place->setText(rangeText(cell::chartAnchorFor(control.sheet(sheet), r)));
    auto* preview = new ChartPreview(control, &dlg);

    auto* seriesRow = new QHBoxLayout;
    seriesRow->addWidget(inCols);
    seriesRow->addWidget(inRows);
    seriesRow->addStretch();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("图表类型(&T):"), type);
    form->addRow(QStringLiteral("数据区域(&D):"), data);
    form->addRow(QStringLiteral("系列产生在:"), seriesRow);
    form->addRow(QString(), labels);
    form->addRow(QStringLiteral("图表标题(&I):"), title);
    form->addRow(QStringLiteral("放置区域(&P):"), place);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(preview, 1);
    layout->addWidget(noteLabel(QStringLiteral("图表随数据变化自动重画，与表格一起保存和打印。"), &dlg));

    const auto current = [&] {
        cell::Chart c;
        c.type = cell::ChartType(type->currentData().toInt());
        parseRange(data->text(), c.data);
        c.seriesInRows = inRows->isChecked();
        c.labelsInFirst = labels->isChecked();
        c.title = title->text().trimmed();
        parseRange(place->text(), c.anchor);
        return c;
    };
    const auto refresh = [&] { preview->setChart(current()); };
    QObject::connect(type, &QComboBox::currentIndexChanged, &dlg, refresh);
    QObject::connect(data, &QLineEdit::editingFinished, &dlg, refresh);
    QObject::connect(inRows, &QRadioButton::toggled, &dlg, refresh);
    QObject::connect(labels, &QCheckBox::toggled, &dlg, refresh);
    QObject::connect(title, &QLineEdit::textChanged, &dlg, refresh);
    refresh();
    addOkCancel(dlg, layout, [&] {
        cell::Range d, a;
        if (!readRange(&dlg, data, d) || !readRange(&dlg, place, a))
            return false;
        return attempt(&dlg, [&] { control.insertChart(sheet, current()); });
    });
    dlg.resize(620, 620);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace designer::dialogs
