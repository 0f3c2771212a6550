#include "cell/view/PageSetupDialog.h"

#include "cell/CellControl.h"
#include "cell/PageRenderer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace cell {

PageSetupDialog::PageSetupDialog(const PageSetup& page, const Sheet& sheet, QWidget* parent)
    : QDialog(parent), m_page(page), m_sheet(sheet)
{
    setWindowTitle(QStringLiteral("页面设置"));

    auto* paperBox = new QGroupBox(QStringLiteral("纸张"), this);
    auto* paperForm = new QFormLayout(paperBox);
    m_paper = new QComboBox(paperBox);
    for (const auto& [code, name] : paperChoices())
        m_paper->addItem(name, code);
    const int paperIndex = m_paper->findData(paperCode(paperSize(page.paper)));
    m_paper->setCurrentIndex(paperIndex < 0 ? 0 : paperIndex);
    paperForm->addRow(QStringLiteral("纸张大小(&Z):"), m_paper);
    m_portrait = new QRadioButton(QStringLiteral("纵向(&T)"), paperBox);
    m_landscape = new QRadioButton(QStringLiteral("横向(&L)"), paperBox);
    (page.landscape ? m_landscape : m_portrait)->setChecked(true);
    auto* orientation = new QHBoxLayout;
    orientation->addWidget(m_portrait);
    orientation->addWidget(m_landscape);
    orientation->addStretch();
    paperForm->addRow(QStringLiteral("方向:"), orientation);

    auto* marginBox = new QGroupBox(QStringLiteral("页边距（毫米）"), this);
    auto* marginGrid = new QGridLayout(marginBox);
    const QString marginNames[4] = {QStringLiteral("左(&F):"), QStringLiteral("上(&P):"), QStringLiteral("右(&R):"),
                                    QStringLiteral("下(&B):")};
    const double marginValues[4] = {page.marginLeft, page.marginTop, page.marginRight, page.marginBottom};
    for (int i = 0; i < 4; ++i) {
        m_margins[i] = new QDoubleSpinBox(marginBox);
        m_margins[i]->setRange(0, 100);
        m_margins[i]->setDecimals(1);
        m_margins[i]->setSingleStep(1);
        m_margins[i]->setValue(marginValues[i]);
        auto* label = new QLabel(marginNames[i], marginBox);
        label->setBuddy(m_margins[i]);
        marginGrid->addWidget(label, i / 2, (i % 2) * 2);
        marginGrid->addWidget(m_margins[i], i / 2, (i % 2) * 2 + 1);
    }

    auto* scaleBox = new QGroupBox(QStringLiteral("缩放"), this);
    auto* scaleForm = new QFormLayout(scaleBox);
    m_scale = new QSpinBox(scaleBox);
    m_scale->setRange(10, 400);
    m_scale->setSuffix(QStringLiteral(" %"));
    m_scale->setValue(std::clamp(page.scale, 10, 400));
    scaleForm->addRow(QStringLiteral("缩放比例(&S):"), m_scale);
    m_fitWidth = new QCheckBox(QStringLiteral("缩放到纸张宽度(&W)"), scaleBox);
    m_fitWidth->setChecked(page.fitToWidth);
    scaleForm->addRow(m_fitWidth);

    auto* placeBox = new QGroupBox(QStringLiteral("居中方式与打印区域"), this);
    auto* placeForm = new QFormLayout(placeBox);
    m_centerH = new QCheckBox(QStringLiteral("水平居中(&H)"), placeBox);
    m_centerH->setChecked(page.centerHorizontally);
    m_centerV = new QCheckBox(QStringLiteral("垂直居中(&V)"), placeBox);
    m_centerV->setChecked(page.centerVertically);
    auto* centring = new QHBoxLayout;
    centring->addWidget(m_centerH);
    centring->addWidget(m_centerV);
    centring->addStretch();
    placeForm->addRow(centring);
    m_area = new QLineEdit(printAreaText(page.printArea), placeBox);
    m_area->setPlaceholderText(QStringLiteral("如 A1:H30；留空则打印全部内容"));
    placeForm->addRow(QStringLiteral("打印区域(&A):"), m_area);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(paperBox);
    layout->addWidget(marginBox);
    layout->addWidget(scaleBox);
    layout->addWidget(placeBox);
    layout->addWidget(buttons);
}

bool PageSetupDialog::parsePrintArea(const QString& text, const Sheet& sheet, Range& area)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        area = Range{};
        return true;
    }
    const QStringList parts = t.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return false;
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    if (!CellControl::ParseCellRef(parts.first().trimmed(), c1, r1))
        return false;
    c2 = c1;
    r2 = r1;
    if (parts.size() == 2 && !CellControl::ParseCellRef(parts.last().trimmed(), c2, r2))
        return false;
    const Range r{std::min(c1, c2), std::min(r1, r2), std::max(c1, c2), std::max(r1, r2)};
    if (r.col2 >= sheet.cols || r.row2 >= sheet.rows)
        return false;
    area = r;
    return true;
}

QString PageSetupDialog::printAreaText(const Range& area)
{
    if (area.isEmpty())
        return QString();
    return CellControl::GetCellRef(area.col1, area.row1) + QLatin1Char(':') + CellControl::GetCellRef(area.col2, area.row2);
}

PageSetup PageSetupDialog::pageSetup() const
{
    PageSetup p = m_page;
    p.paper = m_paper->currentData().toInt();
    p.landscape = m_landscape->isChecked();
    p.marginLeft = m_margins[0]->value();
    p.marginTop = m_margins[1]->value();
    p.marginRight = m_margins[2]->value();
    p.marginBottom = m_margins[3]->value();
    p.scale = m_scale->value();
    p.fitToWidth = m_fitWidth->isChecked();
    p.centerHorizontally = m_centerH->isChecked();
    p.centerVertically = m_centerV->isChecked();
    Range area;
    if (parsePrintArea(m_area->text(), m_sheet, area))
        p.printArea = area;
    return p;
}

void PageSetupDialog::accept()
{
    Range area;
    if (!parsePrintArea(m_area->text(), m_sheet, area)) {
        QMessageBox::warning(this, QStringLiteral("页面设置"),
                             QStringLiteral("打印区域 \"%1\" 无效，请输入如 A1:H30 的单元格区域。").arg(m_area->text()));
        m_area->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace cell
