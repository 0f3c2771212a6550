// 查找 / 替换: the search stays open while the user steps through the matches; the view follows the current cell.

#include "designer/dialogs/DialogSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace designer::dialogs {

bool findReplaceDialog(QWidget* parent, cell::CellControl& control, int mode)
{
    const bool replace = mode == 1;
    QDialog dlg(parent);
    dlg.setWindowTitle(replace ? QStringLiteral("替换") : QStringLiteral("查找"));
    auto* find = lineEdit(&dlg, QString(), "find");
    auto* with = lineEdit(&dlg, QString(), "replaceWith");
    find->setMinimumWidth(240);
    auto* matchCase = new QCheckBox(QStringLiteral("区分大小写(&C)"), &dlg);
    auto* whole = new QCheckBox(QStringLiteral("单元格完全匹配(&O)"), &dlg);
    matchCase->setObjectName(QStringLiteral("matchCase"));
    whole->setObjectName(QStringLiteral("wholeCell"));
    auto* order = new QComboBox(&dlg);
    order->setObjectName(QStringLiteral("order"));
    order->addItems({QStringLiteral("按行"), QStringLiteral("按列")});
    auto* lookIn = new QComboBox(&dlg);
    lookIn->setObjectName(QStringLiteral("lookIn"));
    lookIn->addItems({QStringLiteral("值"), QStringLiteral("公式")});
    if (replace)
        lookIn->setCurrentIndex(1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("查找内容(&N):"), find);
    if (replace)
        form->addRow(QStringLiteral("替换为(&E):"), with);
    else
        with->hide();
    form->addRow(QStringLiteral("搜索(&S):"), order);
    form->addRow(QStringLiteral("查找范围(&L):"), lookIn);
    form->addRow(QString(), matchCase);
    form->addRow(QString(), whole);

    auto* next = new QPushButton(QStringLiteral("查找下一个(&F)"), &dlg);
    auto* one = new QPushButton(QStringLiteral("替换(&R)"), &dlg);
    auto* all = new QPushButton(QStringLiteral("全部替换(&A)"), &dlg);
    auto* close = new QPushButton(QStringLiteral("关闭"), &dlg);
    next->setObjectName(QStringLiteral("findNext"));
    one->setObjectName(QStringLiteral("replaceOne"));
    all->setObjectName(QStringLiteral("replaceAll"));
    next->setDefault(true);
    one->setVisible(replace);
    all->setVisible(replace);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {next, one, all, close})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* top = new QHBoxLayout(&dlg);
    top->addLayout(form, 1);
    top->addLayout(buttons);

    bool changed = false;
    const auto options = [&] {
        cell::FindOptions o;
        o.text = find->text();
        o.matchCase = matchCase->isChecked();
        o.wholeCell = whole->isChecked();
        o.byColumns = order->currentIndex() == 1;
        o.inFormulas = lookIn->currentIndex() == 1;
        return o;
    };
    const auto notFound = [&] {
        QMessageBox::information(&dlg, dlg.windowTitle(), QStringLiteral("找不到“%1”。").arg(find->text()));
    };
    QObject::connect(next, &QPushButton::clicked, &dlg, [&] {
        if (find->text().isEmpty())
            return;
        if (!control.findNext(options()))
            notFound();
    });
    QObject::connect(one, &QPushButton::clicked, &dlg, [&] {
        if (find->text().isEmpty())
            return;
        bool did = false;
        attempt(&dlg, [&] {
            if (!control.replaceCurrent(options(), with->text(), &did) && !did)
                notFound();
        });
        changed = changed || did;
    });
    QObject::connect(all, &QPushButton::clicked, &dlg, [&] {
        if (find->text().isEmpty())
            return;
        int n = 0;
        attempt(&dlg, [&] { n = control.replaceAll(options(), with->text()); });
        if (n == 0) {
            notFound();
            return;
        }
        changed = true;
        QMessageBox::information(&dlg, dlg.windowTitle(), QStringLiteral("已完成替换，共替换 %1 处。").arg(n));
    });
    QObject::connect(close, &QPushButton::clicked, &dlg, &QDialog::reject);
    orderTabs(&dlg);
    dlg.exec();
    return changed;
}

} // namespace designer::dialogs
