// The 公式 menu's dialogs: 输入公式 (with the function list and the arguments of the chosen function), 批量录入公式,
// 填充公式序列 and 公式列表.

#include "designer/dialogs/DialogSupport.h"

#include "cell/formula/FormulaEngine.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace designer::dialogs {

namespace {

// What the functions a form uses most take and give.
QString functionHelp(const cell::formula::FunctionInfo& f)
{
    static const QHash<QString, QString> help{
        {QStringLiteral("SUM"), QStringLiteral("SUM(数值1, 数值2, ...)：求各参数之和。")},
        {QStringLiteral("AVERAGE"), QStringLiteral("AVERAGE(数值1, 数值2, ...)：求平均值。")},
        {QStringLiteral("COUNT"), QStringLiteral("COUNT(值1, 值2, ...)：数字的个数。")},
        {QStringLiteral("COUNTA"), QStringLiteral("COUNTA(值1, 值2, ...)：非空单元格的个数。")},
        {QStringLiteral("COUNTIF"), QStringLiteral("COUNTIF(区域, 条件)：满足条件的单元格个数，如 COUNTIF(B2:B20,\">=90\")。")},
        {QStringLiteral("SUMIF"), QStringLiteral("SUMIF(区域, 条件, [求和区域])：对满足条件的单元格求和。")},
        {QStringLiteral("MAX"), QStringLiteral("MAX(数值1, 数值2, ...)：最大值。")},
        {QStringLiteral("MIN"), QStringLiteral("MIN(数值1, 数值2, ...)：最小值。")},
        {QStringLiteral("IF"), QStringLiteral("IF(条件, 条件成立时的值, [不成立时的值])：按条件取值，如 IF(C5>=90,\"合格\",\"不合格\")。")},
        {QStringLiteral("AND"), QStringLiteral("AND(条件1, 条件2, ...)：全部成立时为 TRUE。")},
        {QStringLiteral("OR"), QStringLiteral("OR(条件1, 条件2, ...)：任一成立时为 TRUE。")},
        {QStringLiteral("NOT"), QStringLiteral("NOT(条件)：条件的反面。")},
        {QStringLiteral("ROUND"), QStringLiteral("ROUND(数值, 小数位数)：四舍五入。")},
        {QStringLiteral("ROUNDUP"), QStringLiteral("ROUNDUP(数值, 小数位数)：向上舍入。")},
        {QStringLiteral("ROUNDDOWN"), QStringLiteral("ROUNDDOWN(数值, 小数位数)：向下舍去。")},
        {QStringLiteral("INT"), QStringLiteral("INT(数值)：向下取整。")},
        {QStringLiteral("ABS"), QStringLiteral("ABS(数值)：绝对值。")},
        {QStringLiteral("SQRT"), QStringLiteral("SQRT(数值)：平方根。")},
        {QStringLiteral("POWER"), QStringLiteral("POWER(底数, 指数)：乘幂。")},
        {QStringLiteral("MOD"), QStringLiteral("MOD(被除数, 除数)：余数。")},
        {QStringLiteral("STDEV"), QStringLiteral("STDEV(数值1, ...)：样本标准差（强度评定常用）。")},
        {QStringLiteral("TODAY"), QStringLiteral("TODAY()：今天的日期。")},
        {QStringLiteral("NOW"), QStringLiteral("NOW()：现在的日期和时间。")},
        {QStringLiteral("DATE"), QStringLiteral("DATE(年, 月, 日)：日期。")},
        {QStringLiteral("YEAR"), QStringLiteral("YEAR(日期)：年份。")},
        {QStringLiteral("MONTH"), QStringLiteral("MONTH(日期)：月份。")},
        {QStringLiteral("DAY"), QStringLiteral("DAY(日期)：日。")},
        {QStringLiteral("TEXT"), QStringLiteral("TEXT(数值, 格式)：按格式变成文字，如 TEXT(A1,\"0.00\")。")},
        {QStringLiteral("LEFT"), QStringLiteral("LEFT(文字, [字数])：左边的字。")},
        {QStringLiteral("RIGHT"), QStringLiteral("RIGHT(文字, [字数])：右边的字。")},
        {QStringLiteral("MID"), QStringLiteral("MID(文字, 开始位置, 字数)：中间的字。")},
        {QStringLiteral("LEN"), QStringLiteral("LEN(文字)：字数。")},
        {QStringLiteral("CONCATENATE"), QStringLiteral("CONCATENATE(文字1, 文字2, ...)：连接文字。")},
        {QStringLiteral("VLOOKUP"), QStringLiteral("VLOOKUP(查找值, 区域, 列号, [近似匹配])：在区域首列查找并取同行的值。")},
        {QStringLiteral("HLOOKUP"), QStringLiteral("HLOOKUP(查找值, 区域, 行号, [近似匹配])：在区域首行查找并取同列的值。")},
        {QStringLiteral("INDEX"), QStringLiteral("INDEX(区域, 行号, [列号])：区域中某个单元格的值。")},
        {QStringLiteral("MATCH"), QStringLiteral("MATCH(查找值, 区域, [方式])：查找值在区域中的位置。")},
    };
    const QString h = help.value(f.name);
    if (!h.isEmpty())
        return h;
    const QString count = f.maxArgs < 0 ? QStringLiteral("%1 个或更多").arg(f.minArgs)
        : f.minArgs == f.maxArgs       ? QString::number(f.minArgs)
                                       : QStringLiteral("%1 到 %2 个").arg(f.minArgs).arg(f.maxArgs);
    return QStringLiteral("%1(...)：参数 %2。").arg(f.name, count);
}

// The function list beside a formula edit: a double-click inserts "NAME(" at the cursor.
QWidget* functionPicker(QWidget* parent, QLineEdit* edit)
{
    auto* box = new QWidget(parent);
    auto* list = new QListWidget(box);
    list->setObjectName(QStringLiteral("functions"));
    auto* help = noteLabel(QStringLiteral("选中函数可看到它的参数说明。"), box);
    help->setObjectName(QStringLiteral("functionHelp"));
    help->setMinimumHeight(48);
    const QList<cell::formula::FunctionInfo> functions = cell::formula::FormulaEngine::functions();
    for (const auto& f : functions) {
        auto* item = new QListWidgetItem(f.name, list);
        item->setData(Qt::UserRole, functionHelp(f));
    }
    QObject::connect(list, &QListWidget::currentItemChanged, help, [help](QListWidgetItem* item) {
        help->setText(item ? item->data(Qt::UserRole).toString() : QString());
    });
    QObject::connect(list, &QListWidget::itemDoubleClicked, edit, [edit](QListWidgetItem* item) {
        if (edit->text().isEmpty())
            edit->setText(QStringLiteral("="));
        edit->insert(item->text() + QLatin1Char('('));
        edit->setFocus();
    });
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buddyLabel(QStringLiteral("函数(&U)（双击插入）:"), list, box));
    layout->addWidget(list, 1);
    layout->addWidget(help);
    return box;
}

QString currentFormula(const cell::CellControl& control)
{
    const cell::Cell* c = control.sheet(control.GetCurSheet()).cellAt(control.GetCurCol(), control.GetCurRow());
    return c && !c->formula.isEmpty() ? QLatin1Char('=') + c->formula : QString();
}

} // namespace

bool formulaInputDialog(QWidget* parent, cell::CellControl& control)
{
    const int col = control.GetCurCol(), row = control.GetCurRow(), sheet = control.GetCurSheet();
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("输入公式 - %1").arg(cell::CellControl::GetCellRef(col, row)));
    auto* edit = lineEdit(&dlg, currentFormula(control), "formula");
    auto* preview = new QLabel(&dlg);
    preview->setObjectName(QStringLiteral("check"));
    QObject::connect(edit, &QLineEdit::textChanged, preview, [&](const QString& text) {
        if (text.trimmed().isEmpty() || text.trimmed() == QLatin1String("=")) {
            preview->clear();
            return;
        }
        try {
            cell::formula::FormulaEngine::normalize(text);
        } catch (const QuelmarError& e) {
            preview->setText(e.message());
            return;
        }
        preview->setText(QStringLiteral("公式正确。"));
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("公式(&F):"), edit);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(preview);
    layout->addWidget(functionPicker(&dlg, edit), 1);
    addOkCancel(dlg, layout, [&] {
        return attempt(&dlg, [&] { control.SetFormula(col, row, sheet, edit->text()); });
    });
    dlg.resize(520, 480);
    return dlg.exec() == QDialog::Accepted;
}

bool batchFormulaDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("批量录入公式"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* edit = lineEdit(&dlg, currentFormula(control), "formula");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("录入区域(&R):"), range);
    form->addRow(QStringLiteral("首个单元格的公式(&F):"), edit);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(noteLabel(QStringLiteral("区域内每个单元格都得到这个公式，相对引用随单元格移动（如 =B2*C2 到下一行成为 =B3*C3）。"), &dlg));
    layout->addWidget(functionPicker(&dlg, edit), 1);
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        return attempt(&dlg, [&] { control.setFormulaBatch(r, edit->text()); });
    });
    dlg.resize(520, 480);
    return dlg.exec() == QDialog::Accepted;
}

bool fillFormulaSerialDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("填充公式序列"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* down = new QRadioButton(QStringLiteral("向下填充（按列）(&D)"), &dlg);
    auto* right = new QRadioButton(QStringLiteral("向右填充（按行）(&R)"), &dlg);
    down->setObjectName(QStringLiteral("down"));
    right->setObjectName(QStringLiteral("right"));
    int c1, r1, c2, r2;
    control.GetSelectRange(c1, r1, c2, r2);
    (c2 > c1 && r2 == r1 ? right : down)->setChecked(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("填充区域(&A):"), range);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(down);
    layout->addWidget(right);
    layout->addWidget(noteLabel(QStringLiteral("用区域第一行（向右时为第一列）的公式填满区域，相对引用逐格移动。"), &dlg));
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        return attempt(&dlg, [&] {
            // The selection is what FillSelection fills; it is put back afterwards.
            int s1, t1, s2, t2;
            control.GetSelectRange(s1, t1, s2, t2);
            const int cc = control.GetCurCol(), cr = control.GetCurRow();
            control.SelectRange(r.col1, r.row1, r.col2, r.row2);
            control.FillSelection(down->isChecked() ? 1 : 2);
            control.setSelection(cc, cr, cell::Range{s1, t1, s2, t2});
        });
    });
    return dlg.exec() == QDialog::Accepted;
}

bool formulaListDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("公式列表"));
    auto* table = new QTableWidget(&dlg);
    table->setObjectName(QStringLiteral("formulas"));
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({QStringLiteral("单元格"), QStringLiteral("公式"), QStringLiteral("结果")});
    const QList<cell::FormulaEntry> list = control.formulaList(control.GetCurSheet());
    table->setRowCount(int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        const cell::FormulaEntry& f = list.at(i);
        auto* where = new QTableWidgetItem(cell::CellControl::GetCellRef(f.col, f.row));
        where->setData(Qt::UserRole, f.col);
        where->setData(Qt::UserRole + 1, f.row);
        table->setItem(i, 0, where);
        table->setItem(i, 1, new QTableWidgetItem(QLatin1Char('=') + f.formula));
        table->setItem(i, 2, new QTableWidgetItem(f.result));
    }
    table->horizontalHeader()->setStretchLastSection(true);
    table->resizeColumnsToContents();
    if (!list.isEmpty())
        table->selectRow(0);
    const auto jump = [&] {
        const QTableWidgetItem* where = table->item(table->currentRow(), 0);
        if (where)
            control.setCurrentCell(where->data(Qt::UserRole).toInt(), where->data(Qt::UserRole + 1).toInt());
    };
    QObject::connect(table, &QTableWidget::cellDoubleClicked, &dlg, [&](int, int) {
        jump();
        dlg.accept();
    });
    auto* go = new QPushButton(QStringLiteral("定位(&G)"), &dlg);
    go->setObjectName(QStringLiteral("go"));
    QObject::connect(go, &QPushButton::clicked, &dlg, [&] {
        jump();
        dlg.accept();
    });
    go->setEnabled(!list.isEmpty());
    auto* close = new QPushButton(QStringLiteral("关闭"), &dlg);
    QObject::connect(close, &QPushButton::clicked, &dlg, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("本页共 %1 个公式。").arg(list.size()), &dlg), 1);
    buttons->addWidget(go);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(table, 1);
    layout->addLayout(buttons);
    dlg.resize(560, 420);
    dlg.exec();
    return false;   // going to a cell changes nothing
}

} // namespace designer::dialogs

namespace designer::dialogs {

// 定义单元显示公式 / 定义单元颜色公式: the rules of the current cell (or the top-left of its merged block).
namespace {

bool rulesDialog(QWidget* parent, cell::CellControl& control, bool colour)
{
    const int sheet = control.GetCurSheet();
    const cell::Range m = control.sheet(sheet).mergeAt(control.GetCurCol(), control.GetCurRow());
    const cell::Cell* c = control.sheet(sheet).cellAt(m.col1, m.row1);
    const cell::CellRules old = c ? c->rules : cell::CellRules{};
    const QString ref = cell::CellControl::GetCellRef(m.col1, m.row1);

    QDialog dlg(parent);
    dlg.setWindowTitle(colour ? QStringLiteral("定义单元颜色公式 - %1").arg(ref) : QStringLiteral("定义单元显示公式 - %1").arg(ref));
    auto* edit = lineEdit(&dlg, QString(), "formula");
    const QString current = colour ? old.colorFormula : old.showFormula;
    edit->setText(current.isEmpty() ? QString() : QLatin1Char('=') + current);
    auto* form = new QFormLayout;
    ColorButton* text = nullptr;
    ColorButton* back = nullptr;
    if (colour) {
        edit->setPlaceholderText(QStringLiteral("=C5<60"));
        form->addRow(QStringLiteral("条件(&F):"), edit);
        text = new ColorButton(&dlg, qAlpha(old.textColor) ? QColor::fromRgba(old.textColor) : QColor(Qt::red),
                               QStringLiteral("不变"));
        back = new ColorButton(&dlg, qAlpha(old.backColor) ? QColor::fromRgba(old.backColor) : QColor(),
                               QStringLiteral("不变"));
        text->setObjectName(QStringLiteral("textColor"));
        back->setObjectName(QStringLiteral("backColor"));
        auto* noBack = new QPushButton(QStringLiteral("底色不变"), &dlg);
        QObject::connect(noBack, &QPushButton::clicked, &dlg, [back] { back->setColor(QColor()); });
        auto* backRow = new QHBoxLayout;
        backRow->addWidget(back);
        backRow->addWidget(noBack);
        backRow->addStretch();
        form->addRow(QStringLiteral("条件成立时文字颜色(&T):"), text);
        addRow(form, QStringLiteral("条件成立时底色(&B):"), backRow, back);
    } else {
        edit->setPlaceholderText(QStringLiteral("=IF(C5>=90,\"合格\",\"不合格\")"));
        form->addRow(QStringLiteral("显示公式(&F):"), edit);
    }
    auto* note = noteLabel(colour ? QStringLiteral("条件成立（为真或非零）时单元格换用所选颜色，随数据变化即时更新，打印时同样生效。")
                                  : QStringLiteral("单元格显示公式的结果，其中的值不变；随数据变化即时更新，打印时同样生效。"),
                           &dlg);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(functionPicker(&dlg, edit), 1);
    bool changed = false;
    const auto apply = [&](const QString& text_) {
        cell::CellRules r = old;
        if (colour) {
            r.colorFormula = text_;
            r.textColor = text && text->color().isValid() ? text->color().rgba() : 0;
            r.backColor = back && back->color().isValid() ? back->color().rgba() : 0;
        } else {
            r.showFormula = text_;
        }
        return attempt(&dlg, [&] {
            control.setCellRules(m.col1, m.row1, sheet, r);
            changed = true;
        });
    };
    QDialogButtonBox* buttons = addOkCancel(dlg, layout, [&] { return apply(edit->text()); });
    QPushButton* clear = buttons->addButton(QStringLiteral("清除公式(&C)"), QDialogButtonBox::ResetRole);
    clear->setObjectName(QStringLiteral("clear"));
    clear->setEnabled(!current.isEmpty());
    QObject::connect(clear, &QPushButton::clicked, &dlg, [&] {
        if (apply(QString()))
            dlg.accept();
    });
    dlg.resize(520, 460);
    dlg.exec();
    return changed;
}

} // namespace

bool showFormulaDialog(QWidget* parent, cell::CellControl& control) { return rulesDialog(parent, control, false); }
bool colorFormulaDialog(QWidget* parent, cell::CellControl& control) { return rulesDialog(parent, control, true); }
} // namespace designer::dialogs
