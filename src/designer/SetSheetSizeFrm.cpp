#include "designer/SetSheetSizeFrm.h"

#include <QAbstractSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// An edit box with up-down buttons whose buttons step within a range while the box takes any text.
class FreeSpinBox final : public QAbstractSpinBox {
public:
    FreeSpinBox(int minimum, int maximum) : m_min(minimum), m_max(maximum)
    {
        setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
        setKeyboardTracking(true);
    }
    void stepBy(int steps) override
    {
        bool ok = false;
        const qint64 v = lineEdit()->text().trimmed().toLongLong(&ok);
        const qint64 next = qBound(qint64(m_min), (ok ? v : qint64(m_min)) + steps, qint64(m_max));
        lineEdit()->setText(QString::number(next));
    }
    QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }

protected:
    StepEnabled stepEnabled() const override
    {
        bool ok = false;
        const qint64 v = lineEdit()->text().trimmed().toLongLong(&ok);
        if (!ok)
            return StepUpEnabled | StepDownEnabled;
        StepEnabled e = StepNone;
        if (v < m_max)
            e |= StepUpEnabled;
        if (v > m_min)
            e |= StepDownEnabled;
        return e;
    }

private:
    int m_min, m_max;
};

} // namespace

TSetSheetSizeFrm::TSetSheetSizeFrm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("设置表页尺寸"));
    setObjectName(QStringLiteral("TSetSheetSizeFrm"));
    m_rows = new FreeSpinBox(1, 32767);
    m_rows->setObjectName(QStringLiteral("edRows"));
    m_cols = new FreeSpinBox(1, 256);
    m_cols->setObjectName(QStringLiteral("edCols"));
    setRowsText(QStringLiteral("1"));
    setColsText(QStringLiteral("1"));
    auto* rowsLabel = new QLabel(QStringLiteral("行数(&R):"));
    rowsLabel->setBuddy(m_rows);
    auto* colsLabel = new QLabel(QStringLiteral("列数(&C):"));
    colsLabel->setBuddy(m_cols);
    auto* grid = new QGridLayout;
    grid->addWidget(rowsLabel, 0, 0);
    grid->addWidget(m_rows, 0, 1);
    grid->addWidget(colsLabel, 1, 0);
    grid->addWidget(m_cols, 1, 1);
    auto* note = new QLabel(QStringLiteral("说明: 有效行数1~65535，有效列数1~256。"));
    auto* ok = new QPushButton(QStringLiteral("确定"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TSetSheetSizeFrm::rowsText() const { return m_rows->text(); }
QString TSetSheetSizeFrm::colsText() const { return m_cols->text(); }

void TSetSheetSizeFrm::setRowsText(const QString& text) { m_rows->findChild<QLineEdit*>()->setText(text); }
void TSetSheetSizeFrm::setColsText(const QString& text) { m_cols->findChild<QLineEdit*>()->setText(text); }
