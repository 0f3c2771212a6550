// The dialogs of the project work: overview, fill positions, the new-project wizard and the option lists. They
// gather input and call the core; these checks drive them as a user would. With QUELMAR_SHOTS=DIR each dialog is
// also saved as a picture there.
#include "app/AutoFillRangeFrm.h"
#include "app/OptConfigFrm.h"
#include "app/ProjectOptFrm.h"
#include "app/ProjectWizardFrm.h"
#include "core/ScriptedPrompter.h"
#include "projects/HeaderFields.h"
#include "projects/OptionLists.h"
#include "projects/SampleTemplate.h"
#include "support/ProgramFolderFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

namespace {

void shot(QWidget& w, const QString& name)
{
    const QString dir = qEnvironmentVariable("QUELMAR_SHOTS");
    if (dir.isEmpty())
        return;
    w.show();
    QTest::qWait(50);
    w.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class TestProjectDialogs : public QObject {
    Q_OBJECT

private slots:
    void overviewDialog();
    void fillPositionsDialog();
    void wizardPages();
    void optionListsDialog();
    void overviewActionStoresTrimmedValues();
};

void TestProjectDialogs::overviewDialog()
{
    ProgramFolderFixture f;
    AddSampleTemplate(f.dm(), f.paths());
    ScriptedPrompter prompter;
    TProjectOptFrm dialog(f.dm(), prompter);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("工程概况"));
    QStringList captions;
    for (QLabel* l : dialog.findChildren<QLabel*>())
        captions << l->text();
    for (int n = 1; n <= 18; ++n) {
        QVERIFY(captions.contains(HeaderFields::name(n) + QStringLiteral(":")));
        QVERIFY(dialog.box(n)->isEditable());
        QCOMPARE(dialog.box(n)->lineEdit()->maxLength(), 50);
    }
    QVERIFY(captions.contains(QStringLiteral("说明：新建表格时，系统会自动导概况。")));
    // Choices come from the option lists, in order; typed texts are kept.
    QCOMPARE(dialog.box(2)->count(), 2);
    QCOMPARE(dialog.box(2)->itemText(0), QStringLiteral("华通交通工程监理有限公司"));
    QStringList v = HeaderFields::emptyValues();
    v[0] = QStringLiteral("青山至白河高速公路");
    v[1] = QStringLiteral("自填的监理单位");
    dialog.setLabel(QStringLiteral("青白高速第三合同段"));
    dialog.setValues(v);
    QCOMPARE(dialog.values(), v);
    dialog.box(3)->setEditText(QString(60, QLatin1Char('x')));
    QCOMPARE(dialog.values().at(2).size(), 50);
    shot(dialog, QStringLiteral("overview"));
}

void TestProjectDialogs::fillPositionsDialog()
{
    ScriptedPrompter prompter;
    TAutoFillRangeFrm dialog(prompter);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("填写位置"));
    QCOMPARE(dialog.check(18)->text(), QStringLiteral("18.分包技术负责人"));
    FillPositions p;
    p[2] = FillPosition{true, QStringLiteral("8"), QStringLiteral("c")};
    p[5] = FillPosition{false, QStringLiteral("3"), QStringLiteral("F")};
    dialog.setPositions(p);
    QCOMPARE(dialog.positions(), p);
    shot(dialog, QStringLiteral("fillpositions"));

    dialog.show();
    dialog.check(5)->setChecked(true);   // no position typed
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(prompter.messages(QStringLiteral("information")), QStringList{QStringLiteral("专业工长的行或列位置不正确！")});
    // The whole reference in the column box with the row box empty is no position either.
    prompter.events.clear();
    dialog.colEdit(5)->setText(QStringLiteral("E9"));
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(prompter.messages(QStringLiteral("information")), QStringList{QStringLiteral("专业工长的行或列位置不正确！")});
    QCOMPARE(dialog.focusWidget(), dialog.rowEdit(5));
    // A cell beyond the form's sheet is refused with the sheet's size.
    prompter.events.clear();
    dialog.setSheet(SheetExtent{8, 20});
    dialog.rowEdit(5)->setText(QStringLiteral("21"));
    dialog.colEdit(5)->setText(QStringLiteral("e"));
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(prompter.messages(QStringLiteral("information")),
             QStringList{QStringLiteral("专业工长的位置“E21”在表格之外：表格只有 8 列、20 行。")});
    dialog.rowEdit(5)->setText(QStringLiteral("9"));
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.positions()[4].ref(), QStringLiteral("e9"));
}

void TestProjectDialogs::wizardPages()
{
    ProgramFolderFixture f;
    const int templ = AddSampleTemplate(f.dm(), f.paths());
    ScriptedPrompter prompter;
    TProjectWizardFrm wizard(f.dm(), prompter);
    wizard.show();
    QCOMPARE(wizard.windowTitle(), QStringLiteral("新建项目"));
    QVERIFY(!wizard.nextButton()->isEnabled());
    QVERIFY(!wizard.backButton()->isEnabled());
    QCOMPARE(wizard.templatePanel()->text(), QStringLiteral(" 请选择您需要的模板"));
    QCOMPARE(wizard.nameEdit()->text(), QStringLiteral("新建工程"));
    QCOMPARE(wizard.templateList()->count(), 1);

    wizard.templateList()->setCurrentRow(0);
    QVERIFY(wizard.nextButton()->isEnabled());
    QCOMPARE(wizard.templatePanel()->text(), QStringLiteral(" 当前模板: 公路工程质量检验表格（示例）"));
    shot(wizard, QStringLiteral("wizard1"));

    wizard.nameEdit()->setText(QStringLiteral("   "));
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    QCOMPARE(wizard.page(), 0);
    QCOMPARE(prompter.messages(QStringLiteral("information")), QStringList{QStringLiteral("名称无效，请输入正确的名称。")});

    wizard.nameEdit()->setText(QStringLiteral(" 青白高速 "));
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    QCOMPARE(wizard.page(), 1);
    QCOMPARE(wizard.nextButton()->text(), QStringLiteral("完成(&F)"));
    QVERIFY(wizard.backButton()->isEnabled());
    ProjectWizardTree& tree = wizard.wizard().tree();
    QCOMPARE(tree.builtFor(), templ);
    QVERIFY(wizard.itemTree()->isExpanded(tree.rootNode()));
    // Untick the bridge division through the model, as a click on its box does.
    const QModelIndex bridge = tree.index(3, 0, tree.rootNode());
    QCOMPARE(bridge.data().toString(), QStringLiteral("桥梁工程"));
    tree.setData(bridge, Qt::Unchecked, Qt::CheckStateRole);
    wizard.itemTree()->expandAll();
    shot(wizard, QStringLiteral("wizard2"));

    // Back keeps the ticks for the same template.
    QTest::mouseClick(wizard.backButton(), Qt::LeftButton);
    QCOMPARE(wizard.page(), 0);
    QCOMPARE(wizard.nextButton()->text(), QStringLiteral("下一步(&N)"));
    QVERIFY(!wizard.backButton()->isEnabled());
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    QVERIFY(!tree.isChecked(bridge));

    tree.setData(tree.rootNode(), Qt::Unchecked, Qt::CheckStateRole);
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    QVERIFY(wizard.isVisible());
    QCOMPARE(prompter.messages(QStringLiteral("error")),
             QStringList{QStringLiteral("由于没有选中任何节点，因不能进行下一步的操作。")});
    tree.setData(tree.index(0, 0, tree.rootNode()), Qt::Checked, Qt::CheckStateRole);
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    QCOMPARE(wizard.result(), int(QDialog::Accepted));
    QCOMPARE(wizard.projectName(), QStringLiteral(" 青白高速 "));
    const DataPacket rows = wizard.resultRows();
    QCOMPARE(rows.rows.size(), 4);   // the template, the common part and its two styles
}

void TestProjectDialogs::optionListsDialog()
{
    ProgramFolderFixture f;
    AddSampleTemplate(f.dm(), f.paths());
    OptionLists lists(f.dm());
    ScriptedPrompter prompter;
    TOptConfigFrm dialog(lists, prompter);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("维护工程概况选项"));
    QCOMPARE(dialog.fieldList()->count(), 18);
    QCOMPARE(dialog.currentField(), 1);
    QCOMPARE(dialog.itemList()->count(), 0);
    QVERIFY(!dialog.clearAction()->isEnabled());
    QVERIFY(!dialog.deleteButton()->isEnabled());

    dialog.fieldList()->setCurrentRow(1);
    QCOMPARE(dialog.itemList()->count(), 2);
    QVERIFY(dialog.clearAction()->isEnabled());
    QVERIFY(!dialog.editButton()->isEnabled());
    shot(dialog, QStringLiteral("optconfig"));

    prompter.texts.enqueue(QStringLiteral("新监理公司"));
    // The shortcut Ctrl+N (fired directly: a window manager may not activate the window under a virtual display).
    QShortcut* newShortcut = nullptr;
    for (QShortcut* s : dialog.findChildren<QShortcut*>())
        if (s->key() == QKeySequence(QStringLiteral("Ctrl+N")))
            newShortcut = s;
    QVERIFY(newShortcut);
    emit newShortcut->activated();
    QCOMPARE(dialog.itemList()->count(), 3);
    QCOMPARE(dialog.itemList()->currentRow(), 2);
    QVERIFY(dialog.deleteButton()->isEnabled());
    QVERIFY(!dialog.downButton()->isEnabled());

    QTest::mouseClick(dialog.upButton(), Qt::LeftButton);
    QCOMPARE(OptionLists(f.dm()).items(2).value(1), QStringLiteral("新监理公司"));
    QCOMPARE(dialog.itemList()->currentRow(), 1);

    prompter.defaultYes = true;
    dialog.deleteItem();
    QCOMPARE(OptionLists(f.dm()).items(2).size(), 2);
    QCOMPARE(dialog.itemList()->currentRow(), 1);
    dialog.clearList();
    QCOMPARE(dialog.itemList()->count(), 0);
    QVERIFY(OptionLists(f.dm()).items(2).isEmpty());
    QVERIFY(!dialog.clearAction()->isEnabled());
    QCOMPARE(OptionLists(f.dm()).items(10).size(), 2);
}

void TestProjectDialogs::overviewActionStoresTrimmedValues()
{
    ProgramFolderFixture f;
    f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("青白高速"), 0, 3), QStringLiteral("Admin"));
    ScriptedPrompter prompter;
    // Types into the modal dialog once it shows, then confirms (or cancels) it.
    const auto answer = [](const QString& text, bool ok) {
        QTimer::singleShot(0, [text, ok] {
            auto* dialog = qobject_cast<TProjectOptFrm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->label(), QStringLiteral("青白高速"));
            dialog->box(2)->setEditText(text);
            ok ? dialog->accept() : dialog->reject();
        });
    };
    answer(QStringLiteral("  华通监理  "), true);
    OverviewResult r = RunProjectOverview(f.dm(), prompter, nullptr, 3, QStringLiteral("青白高速"));
    QVERIFY(r.accepted);
    QCOMPARE(r.values.at(1), QStringLiteral("华通监理"));
    answer(QStringLiteral("别的"), false);
    r = RunProjectOverview(f.dm(), prompter, nullptr, 3, QStringLiteral("青白高速"));
    QVERIFY(!r.accepted);
    QCOMPARE(ReadProjectOverview(f.dm(), 3)->at(1), QStringLiteral("华通监理"));
}

QTEST_MAIN(TestProjectDialogs)
#include "tst_projectdialogs.moc"
