// The sums and queries of the 数据 menu: 区域查询, 简单区域汇总, 区域分类汇总, 页间区域汇总 / 透视 / 查询 and
// 表间区域查询. The queries list what they found; a double-click goes to the row.

#include "designer/dialogs/DialogSupport.h"

#include "cell/formula/FormulaEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace designer::dialogs {

namespace {

using cell::CompareOp;

// Up to three conditions on columns of a range, joined by "并且" or "或者".
struct ConditionEditor {
    QGroupBox* box = nullptr;
    QComboBox* col[3] = {};
    QComboBox* op[3] = {};
    QLineEdit* value[3] = {};
    QComboBox* join = nullptr;

    ConditionEditor(QWidget* parent, const cell::Range& r)
    {
        box = new QGroupBox(QStringLiteral("查询条件"), parent);
        auto* grid = new QGridLayout(box);
        for (int i = 0; i < 3; ++i) {
            col[i] = new QComboBox(box);
            op[i] = new QComboBox(box);
            value[i] = lineEdit(box, QString(), "");
            col[i]->setObjectName(QStringLiteral("conditionColumn%1").arg(i + 1));
            op[i]->setObjectName(QStringLiteral("conditionOp%1").arg(i + 1));
            value[i]->setObjectName(QStringLiteral("conditionValue%1").arg(i + 1));
            for (int k = 0; k <= int(CompareOp::NotContains); ++k)
                op[i]->addItem(cell::compareOpText(CompareOp(k)), k);
            grid->addWidget(new QLabel(QStringLiteral("条件 %1:").arg(i + 1), box), i, 0);
            grid->addWidget(col[i], i, 1);
            grid->addWidget(op[i], i, 2);
            grid->addWidget(value[i], i, 3);
        }
        join = new QComboBox(box);
        join->setObjectName(QStringLiteral("join"));
        join->addItems({QStringLiteral("同时满足所有条件"), QStringLiteral("满足任一条件")});
        grid->addWidget(join, 3, 1, 1, 3);
        setRange(r);
    }
    void setRange(const cell::Range& r)
    {
        for (QComboBox* c : col) {
            const QVariant keep = c->currentData();
            fillColumns(c, r.col1, r.col2);
            c->insertItem(0, QStringLiteral("（不用）"), 0);
            const int at = c->findData(keep);
            c->setCurrentIndex(at > 0 ? at : 0);
        }
        if (col[0]->count() > 1 && col[0]->currentIndex() == 0)
            col[0]->setCurrentIndex(1);
    }
    cell::Query query() const
    {
        cell::Query q;
        q.all = join->currentIndex() == 0;
        for (int i = 0; i < 3; ++i)
            if (col[i]->currentData().toInt() > 0)
                q.conditions << cell::Condition{col[i]->currentData().toInt(), CompareOp(op[i]->currentData().toInt()),
                                                value[i]->text()};
        return q;
    }
};

// The found rows as a table: where each one is, then its cells. A double-click makes it the current row.
QTableWidget* resultTable(QWidget* parent)
{
    auto* t = new QTableWidget(parent);
    t->setObjectName(QStringLiteral("results"));
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->setMinimumSize(560, 220);
    return t;
}

void showRows(QTableWidget* t, const cell::CellControl& control, const QList<cell::FoundRow>& rows,
              const cell::Range& r, bool withFile)
{
    QStringList headers;
    if (withFile)
        headers << QStringLiteral("文件");
    headers << QStringLiteral("表页") << QStringLiteral("行");
    for (int c = r.col1; c <= r.col2; ++c)
        headers << columnName(c);
    t->clear();
    t->setColumnCount(int(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const cell::FoundRow& f = rows.at(i);
        int k = 0;
        if (withFile)
            t->setItem(i, k++, new QTableWidgetItem(QFileInfo(f.file).fileName()));
        const QString sheetName = withFile ? QString::number(f.sheet + 1) : control.workbook().sheets.value(f.sheet).name;
        auto* where = new QTableWidgetItem(sheetName);
        where->setData(Qt::UserRole, f.sheet);
        where->setData(Qt::UserRole + 1, f.row);
        t->setItem(i, k++, where);
        t->setItem(i, k++, new QTableWidgetItem(QString::number(f.row)));
        for (const QString& text : f.texts)
            t->setItem(i, k++, new QTableWidgetItem(text));
    }
    t->resizeColumnsToContents();
}

void jumpOnDoubleClick(QTableWidget* t, cell::CellControl& control, int col, int column)
{
    QObject::connect(t, &QTableWidget::cellDoubleClicked, t, [t, &control, col, column](int row, int) {
        const QTableWidgetItem* where = t->item(row, column);
        if (!where)
            return;
        control.setCurSheet(where->data(Qt::UserRole).toInt());
        control.setCurrentCell(col, where->data(Qt::UserRole + 1).toInt());
    });
}

// The shared frame of the three queries: range, conditions, [查询], results.
bool queryDialog(QWidget* parent, cell::CellControl& control, const QString& title, bool sheets, bool files)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(title);
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    cell::Range r{1, 1, 1, 1};
    parseRange(range->text(), r);
    if (r.width() == 1 && r.height() == 1) {   // one cell selected: the whole sheet
        r = cell::Range{1, 1, control.GetCols(control.GetCurSheet()) - 1, control.GetRows(control.GetCurSheet()) - 1};
        range->setText(rangeText(r));
    }
    ConditionEditor conditions(&dlg, r);
    QObject::connect(range, &QLineEdit::editingFinished, &dlg, [&] {
        cell::Range nr;
        if (parseRange(range->text(), nr))
            conditions.setRange(nr);
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("查询区域(&R):"), range);
    QListWidget* sheetBox = nullptr;
    QListWidget* fileBox = nullptr;
    QSpinBox* sheetNo = nullptr;
    if (sheets) {
        sheetBox = sheetList(control, &dlg, true);
        sheetBox->setObjectName(QStringLiteral("sheets"));
        sheetBox->setMaximumHeight(110);
        form->addRow(QStringLiteral("表页(&S):"), sheetBox);
    }
    if (files) {
        fileBox = new QListWidget(&dlg);
        fileBox->setObjectName(QStringLiteral("files"));
        fileBox->setMaximumHeight(110);
        if (!control.GetFileName().isEmpty())
            fileBox->addItem(control.GetFileName());
        auto* add = new QPushButton(QStringLiteral("添加文件(&A)..."), &dlg);
        auto* remove = new QPushButton(QStringLiteral("移去(&M)"), &dlg);
        add->setObjectName(QStringLiteral("addFiles"));
        remove->setObjectName(QStringLiteral("removeFile"));
        QObject::connect(add, &QPushButton::clicked, &dlg, [&] {
            const QStringList chosen = QFileDialog::getOpenFileNames(&dlg, QStringLiteral("选择同样格式的表格文件"),
                                                                     QFileInfo(control.GetFileName()).path(),
                                                                     QStringLiteral("表格文件 (*.cll)"));
            for (const QString& f : chosen)
                if (fileBox->findItems(f, Qt::MatchExactly).isEmpty())
                    fileBox->addItem(f);
        });
        QObject::connect(remove, &QPushButton::clicked, &dlg, [&] { delete fileBox->currentItem(); });
        auto* fileButtons = new QHBoxLayout;
        fileButtons->addWidget(add);
        fileButtons->addWidget(remove);
        fileButtons->addStretch();
        auto* fileColumn = new QVBoxLayout;
        fileColumn->addWidget(fileBox);
        fileColumn->addLayout(fileButtons);
        addRow(form, QStringLiteral("文件(&F):"), fileColumn, fileBox);
        sheetNo = numberBox(&dlg, 1, 999, control.GetCurSheet() + 1, "sheetNumber");
        form->addRow(QStringLiteral("第几页(&P):"), sheetNo);
    }
    auto* run = new QPushButton(QStringLiteral("查询(&Q)"), &dlg);
    run->setObjectName(QStringLiteral("run"));
    run->setDefault(true);
    auto* count = new QLabel(&dlg);
    count->setObjectName(QStringLiteral("count"));
    auto* table = resultTable(&dlg);
    jumpOnDoubleClick(table, control, 1, files ? -1 : 0);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(run);
    runRow->addWidget(count, 1);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(conditions.box);
    layout->addLayout(runRow);
    layout->addWidget(table, 1);
    addClose(dlg, layout);
    QObject::connect(run, &QPushButton::clicked, &dlg, [&] {
        cell::Range qr;
        if (!readRange(&dlg, range, qr))
            return;
        if (sheets && checkedSheets(sheetBox).isEmpty()) {
            fail(&dlg, QStringLiteral("请选择要查询的表页。"));
            return;
        }
        if (files && fileBox->count() == 0) {
            fail(&dlg, QStringLiteral("请添加要查询的表格文件。"));
            return;
        }
        QList<cell::FoundRow> rows;
        QStringList failed;
        if (files) {
            QStringList paths;
            for (int i = 0; i < fileBox->count(); ++i)
                paths << fileBox->item(i)->text();
            rows = cell::CellControl::queryFiles(paths, sheetNo->value() - 1, qr, conditions.query(), &failed);
        } else {
            rows = control.queryRows(sheets ? checkedSheets(sheetBox) : QList<int>{control.GetCurSheet()}, qr,
                                     conditions.query());
        }
        showRows(table, control, rows, qr, files);
        count->setText(QStringLiteral("找到 %1 行。").arg(rows.size())
                       + (failed.isEmpty() ? QString() : QStringLiteral(" %1 个文件无法打开。").arg(failed.size())));
        if (!failed.isEmpty())
            fail(&dlg, failed.join(QLatin1Char('\n')));
    });
    dlg.resize(720, 560);
    dlg.exec();
    return false;   // a query changes nothing
}

} // namespace

bool rangeQueryDialog(QWidget* parent, cell::CellControl& control)
{
    return queryDialog(parent, control, QStringLiteral("区域查询"), false, false);
}

bool sheetRangeQueryDialog(QWidget* parent, cell::CellControl& control)
{
    return queryDialog(parent, control, QStringLiteral("页间区域查询"), true, false);
}

bool bookQueryDialog(QWidget* parent, cell::CellControl& control)
{
    return queryDialog(parent, control, QStringLiteral("表间区域查询"), false, true);
}

bool rangeSumDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("简单区域汇总"));
    auto* sources = new QListWidget(&dlg);
    sources->setObjectName(QStringLiteral("sources"));
    sources->addItem(selectionText(control));
    auto* source = lineEdit(&dlg, QString(), "source");
    auto* add = new QPushButton(QStringLiteral("添加(&A)"), &dlg);
    auto* remove = new QPushButton(QStringLiteral("移去(&M)"), &dlg);
    add->setObjectName(QStringLiteral("add"));
    add->setAutoDefault(false);
    remove->setAutoDefault(false);
    // The result goes beside the selection unless the user says otherwise.
    int c1, r1, c2, r2;
    control.GetSelectRange(c1, r1, c2, r2);
    auto* target = lineEdit(&dlg, cell::CellControl::GetCellRef(c2 + 2, r1), "target");
    QObject::connect(add, &QPushButton::clicked, &dlg, [&] {
        cell::Range r;
        if (readRange(&dlg, source, r)) {
            sources->addItem(rangeText(r));
            source->clear();
        }
    });
    onReturn(source, [add] { add->click(); });
    QObject::connect(remove, &QPushButton::clicked, &dlg, [&] { delete sources->currentItem(); });
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(source, 1);
    sourceRow->addWidget(add);
    sourceRow->addWidget(remove);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("汇总区域(&S):"), sources);
    addRow(form, QStringLiteral("添加区域(&N):"), sourceRow, source);
    form->addRow(QStringLiteral("结果左上角(&T):"), target);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(noteLabel(QStringLiteral("把大小相同的几个区域逐个单元格相加，结果写到目标位置。"), &dlg));
    addOkCancel(dlg, layout, [&] {
        QList<cell::Range> list;
        for (int i = 0; i < sources->count(); ++i) {
            cell::Range r;
            if (parseRange(sources->item(i)->text(), r))
                list << r;
        }
        if (list.isEmpty())
            return fail(&dlg, QStringLiteral("请添加要汇总的区域。"));
        cell::Range t;
        if (!readRange(&dlg, target, t))
            return false;
        return attempt(&dlg, [&] { control.rangeSum(list, t.col1, t.row1); });
    });
    return dlg.exec() == QDialog::Accepted;
}

bool classSumDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("区域分类汇总"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    cell::Range r{1, 1, 1, 1};
    parseRange(range->text(), r);
    auto* key = new QComboBox(&dlg);
    key->setObjectName(QStringLiteral("key"));
    auto* sums = new QListWidget(&dlg);
    sums->setObjectName(QStringLiteral("sumColumns"));
    auto* function = new QComboBox(&dlg);
    function->setObjectName(QStringLiteral("function"));
    function->addItems({QStringLiteral("求和"), QStringLiteral("计数"), QStringLiteral("平均值"),
                        QStringLiteral("最大值"), QStringLiteral("最小值")});
    auto* header = new QCheckBox(QStringLiteral("第一行为标题(&H)"), &dlg);
    header->setObjectName(QStringLiteral("header"));
    header->setChecked(true);
    auto* total = new QCheckBox(QStringLiteral("加总计行“合计”(&G)"), &dlg);
    total->setObjectName(QStringLiteral("grandTotal"));
    total->setChecked(true);
    auto* target = lineEdit(&dlg, cell::CellControl::GetCellRef(r.col2 + 2, r.row1), "target");
    const auto refill = [&] {
        cell::Range nr;
        if (!parseRange(range->text(), nr))
            return;
        fillColumns(key, nr.col1, nr.col2);
        sums->clear();
        for (int c = nr.col1; c <= nr.col2; ++c) {
            auto* item = new QListWidgetItem(QStringLiteral("%1 列").arg(columnName(c)), sums);
            item->setData(Qt::UserRole, c);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(c > nr.col1 ? Qt::Checked : Qt::Unchecked);
        }
    };
    QObject::connect(range, &QLineEdit::editingFinished, &dlg, refill);
    refill();
    // The key column is what the rows are grouped by, not something to add up.
    QObject::connect(key, &QComboBox::currentIndexChanged, &dlg, [&] {
        for (int i = 0; i < sums->count(); ++i)
            if (sums->item(i)->data(Qt::UserRole) == key->currentData())
                sums->item(i)->setCheckState(Qt::Unchecked);
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("汇总区域(&R):"), range);
    form->addRow(QStringLiteral("分类字段(&K):"), key);
    form->addRow(QStringLiteral("汇总方式(&F):"), function);
    form->addRow(QStringLiteral("汇总项(&S):"), sums);
    form->addRow(QStringLiteral("结果左上角(&T):"), target);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(header);
    layout->addWidget(total);
    addOkCancel(dlg, layout, [&] {
        cell::Range sr, t;
        if (!readRange(&dlg, range, sr) || !readRange(&dlg, target, t))
            return false;
        cell::ClassSumOptions o;
        o.keyCol = key->currentData().toInt();
        for (int i = 0; i < sums->count(); ++i)
            if (sums->item(i)->checkState() == Qt::Checked)
                o.sumCols << sums->item(i)->data(Qt::UserRole).toInt();
        o.function = cell::SumFunction(function->currentIndex());
        o.header = header->isChecked();
        o.grandTotal = total->isChecked();
        o.toCol = t.col1;
        o.toRow = t.row1;
        return attempt(&dlg, [&] { control.classSum(sr, o); });
    });
    return dlg.exec() == QDialog::Accepted;
}

bool sheetRangeSumDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("页间区域汇总"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* sheets = sheetList(control, &dlg, true, control.GetCurSheet());
    sheets->setObjectName(QStringLiteral("sheets"));
    auto* target = new QComboBox(&dlg);
    target->setObjectName(QStringLiteral("targetSheet"));
    for (const cell::Sheet& sh : control.workbook().sheets)
        target->addItem(sh.name);
    target->setCurrentIndex(control.GetCurSheet());
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("汇总区域(&R):"), range);
    form->addRow(QStringLiteral("参加汇总的表页(&S):"), sheets);
    form->addRow(QStringLiteral("汇总到表页(&T):"), target);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(noteLabel(QStringLiteral("各表页同一区域逐个单元格相加，结果写到目标表页的同一区域。"), &dlg));
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        const QList<int> list = checkedSheets(sheets);
        if (list.isEmpty())
            return fail(&dlg, QStringLiteral("请选择参加汇总的表页。"));
        return attempt(&dlg, [&] { control.sheetRangeSum(list, r, target->currentIndex()); });
    });
    return dlg.exec() == QDialog::Accepted;
}

bool sheetRangeViewDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("页间区域透视"));
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* sheets = sheetList(control, &dlg, true);
    sheets->setObjectName(QStringLiteral("sheets"));
    sheets->setMaximumHeight(110);
    auto* show = new QPushButton(QStringLiteral("透视(&V)"), &dlg);
    show->setObjectName(QStringLiteral("run"));
    show->setDefault(true);
    auto* table = resultTable(&dlg);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("透视区域(&R):"), range);
    form->addRow(QStringLiteral("表页(&S):"), sheets);
    auto* showRow = new QHBoxLayout;
    showRow->addWidget(show);
    showRow->addStretch();
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addLayout(showRow);
    layout->addWidget(table, 1);
    addClose(dlg, layout);
    // One row per sheet, one column per cell of the range, and a last row with the sums of the numbers.
    QObject::connect(show, &QPushButton::clicked, &dlg, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return;
        if (qint64(r.width()) * r.height() > 1000) {
            fail(&dlg, QStringLiteral("透视区域最多 1000 个单元格。"));
            return;
        }
        const QList<int> list = checkedSheets(sheets);
        if (list.isEmpty()) {
            fail(&dlg, QStringLiteral("请选择要透视的表页。"));
            return;
        }
        QStringList headers{QStringLiteral("表页")};
        for (int row = r.row1; row <= r.row2; ++row)
            for (int c = r.col1; c <= r.col2; ++c)
                headers << cell::CellControl::GetCellRef(c, row);
        table->clear();
        table->setColumnCount(int(headers.size()));
        table->setHorizontalHeaderLabels(headers);
        table->setRowCount(int(list.size()) + 1);
        QVector<double> sums(headers.size(), 0.0);
        for (int i = 0; i < list.size(); ++i) {
            const int s = list.at(i);
            table->setItem(i, 0, new QTableWidgetItem(control.workbook().sheets.at(s).name));
            int k = 1;
            for (int row = r.row1; row <= r.row2; ++row)
                for (int c = r.col1; c <= r.col2; ++c, ++k) {
                    table->setItem(i, k, new QTableWidgetItem(control.cellText(c, row, s)));
                    const cell::Cell* cc = control.sheet(s).cellAt(c, row);
                    if (cc && std::holds_alternative<double>(cc->value))
                        sums[k] += std::get<double>(cc->value);
                }
        }
        table->setItem(int(list.size()), 0, new QTableWidgetItem(QStringLiteral("合计")));
        for (int k = 1; k < headers.size(); ++k)
            table->setItem(int(list.size()), k, new QTableWidgetItem(cell::formula::generalNumberText(sums[k])));
        table->resizeColumnsToContents();
    });
    dlg.resize(720, 520);
    dlg.exec();
    return false;
}

} // namespace designer::dialogs
