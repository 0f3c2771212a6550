#include "designer/dialogs/DialogSupport.h"

#include "core/QuelmarError.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

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

} // namespace designer::dialogs
