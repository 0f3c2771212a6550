#include "designer/dialogs/DialogSupport.h"

#include "core/QuelmarError.h"

#include <cmath>

#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace designer::dialogs {

using cell::CellControl;
using cell::Range;

bool parseRange(const QString& text, Range& out)
{
    const QString t = text.trimmed().remove(QLatin1Char('$'));
    const QStringList parts = t.split(QLatin1Char(':'));
    if (parts.isEmpty() || parts.size() > 2)
        return false;
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    if (!CellControl::ParseCellRef(parts.first().trimmed(), c1, r1))
        return false;
    c2 = c1;
    r2 = r1;
    if (parts.size() == 2 && !CellControl::ParseCellRef(parts.last().trimmed(), c2, r2))
        return false;
    out = Range{qMin(c1, c2), qMin(r1, r2), qMax(c1, c2), qMax(r1, r2)};
    return true;
}

QString rangeText(const Range& r)
{
    if (r.col1 == r.col2 && r.row1 == r.row2)
        return CellControl::GetCellRef(r.col1, r.row1);
    return CellControl::GetCellRef(r.col1, r.row1) + QLatin1Char(':') + CellControl::GetCellRef(r.col2, r.row2);
}

QString selectionText(const CellControl& control)
{
    int c1, r1, c2, r2;
    control.GetSelectRange(c1, r1, c2, r2);
    return rangeText(Range{c1, r1, c2, r2});
}

int parseColumn(const QString& text)
{
    int col = 0, row = 0;
    if (!CellControl::ParseCellRef(text.trimmed() + QLatin1Char('1'), col, row))
        return 0;
    return col;
}

QString columnName(int col)
{
    QString ref = CellControl::GetCellRef(col, 1);
    ref.chop(1);
    return ref;
}

bool attempt(QWidget* parent, const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const QuelmarError& e) {
        QMessageBox::critical(parent, QStringLiteral("错误"), e.message());
        return false;
    }
}

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

void onAccept(QDialog& dlg, QDialogButtonBox* buttons, const std::function<bool()>& onOk)
{
    QObject::disconnect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, [&dlg, onOk] {
        if (onOk())
            dlg.accept();
    });
}

bool fail(QWidget* parent, const QString& message)
{
    QMessageBox::warning(parent, QStringLiteral("提示"), message);
    return false;
}

QListWidget* sheetList(const CellControl& control, QWidget* parent, bool checkAll, int except)
{
    auto* list = new QListWidget(parent);
    const auto& sheets = control.workbook().sheets;
    for (int i = 0; i < sheets.size(); ++i) {
        auto* item = new QListWidgetItem(sheets.at(i).name, list);
        item->setData(Qt::UserRole, i);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checkAll && i != except ? Qt::Checked : Qt::Unchecked);
    }
    return list;
}

QList<int> checkedSheets(const QListWidget* list)
{
    QList<int> out;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            out << list->item(i)->data(Qt::UserRole).toInt();
    return out;
}

void fillColumns(QComboBox* box, int from, int to)
{
    box->clear();
    for (int c = from; c <= to; ++c)
        box->addItem(QStringLiteral("%1 列").arg(columnName(c)), c);
}

bool readRange(QWidget* parent, const QLineEdit* edit, Range& out)
{
    if (parseRange(edit->text(), out))
        return true;
    QMessageBox::warning(parent, QStringLiteral("提示"),
                         QStringLiteral("区域“%1”不正确（应如 B2:D8）。").arg(edit->text().trimmed()));
    return false;
}

bool readNumber(QWidget* parent, const QLineEdit* edit, const QString& what, double& out)
{
    bool ok = false;
    out = edit->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(out))
        return true;
    fail(parent, QStringLiteral("%1应为数字。").arg(what));
    return false;
}

QLineEdit* lineEdit(QWidget* parent, const QString& text, const char* name)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QSpinBox* numberBox(QWidget* parent, int min, int max, int value, const char* name)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setValue(value);
    return box;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

void addRow(QFormLayout* form, const QString& label, QLayout* field, QWidget* buddy)
{
    form->addRow(buddyLabel(label, buddy, form->parentWidget()), field);
}

QLabel* noteLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

namespace {

void collectFields(QLayout* layout, QList<QWidget*>& out);

void collectFields(QWidget* w, QList<QWidget*>& out)
{
    if (!w || w->isWindow())
        return;
    if (w->focusPolicy() != Qt::NoFocus)   // an unchecked radio button of a group has no Tab now, but may later
        out << w;
    if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < tabs->count(); ++i)
            collectFields(tabs->widget(i), out);
        return;
    }
    if (w->layout())
        collectFields(w->layout(), out);
}

void collectFields(QLayoutItem* item, QList<QWidget*>& out)
{
    if (!item)
        return;
    if (QWidget* w = item->widget())
        collectFields(w, out);
    else if (QLayout* inner = item->layout())
        collectFields(inner, out);
}

void collectFields(QLayout* layout, QList<QWidget*>& out)
{
    // A form's items are not kept in the order of its rows: go row by row.
    if (auto* form = qobject_cast<QFormLayout*>(layout)) {
        for (int row = 0; row < form->rowCount(); ++row)
            for (const auto role : {QFormLayout::LabelRole, QFormLayout::FieldRole, QFormLayout::SpanningRole})
                collectFields(form->itemAt(row, role), out);
        return;
    }
    for (int i = 0; i < layout->count(); ++i)
        collectFields(layout->itemAt(i), out);
}

// Orders the tabs once, when the dialog is first shown (its layout is complete by then).
class TabOrderOnShow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            orderTabs(static_cast<QWidget*>(watched));
            watched->removeEventFilter(this);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void orderTabs(QWidget* root)
{
    if (!root->layout())
        return;
    QList<QWidget*> fields;
    collectFields(root->layout(), fields);
    for (int i = 0; i + 1 < fields.size(); ++i)
        QWidget::setTabOrder(fields.at(i), fields.at(i + 1));
}

QDialogButtonBox* addOkCancel(QDialog& dlg, QBoxLayout* layout, const std::function<bool()>& onOk)
{
    QDialogButtonBox* buttons = okCancel(&dlg);
    layout->addWidget(buttons);
    onAccept(dlg, buttons, onOk);
    dlg.installEventFilter(new TabOrderOnShow(&dlg));
    return buttons;
}

QDialogButtonBox* addClose(QDialog& dlg, QBoxLayout* layout)
{
    auto* box = new QDialogButtonBox(&dlg);
    box->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    layout->addWidget(box);
    dlg.installEventFilter(new TabOrderOnShow(&dlg));
    return box;
}

namespace {

class ReturnFilter : public QObject {
public:
    ReturnFilter(QLineEdit* edit, std::function<void()> action) : QObject(edit), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_action();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

} // namespace

void onReturn(QLineEdit* edit, const std::function<void()>& action)
{
    edit->installEventFilter(new ReturnFilter(edit, action));
}

} // namespace designer::dialogs
