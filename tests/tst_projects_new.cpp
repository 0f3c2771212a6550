// New project from template (wizard ticks, result rows, CopyCheckedItems numbering, files and header-fill
// records), quick add, the demo template and the project commands of the CLI.
#include "cell/CellControl.h"
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "projects/HeaderFill.h"
#include "projects/NewProject.h"
#include "projects/SampleTemplate.h"
#include "store/FileLayout.h"
#include "store/DatabaseSchema.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"
#include "trees/NodeOps.h"
#include "users/Login.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

constexpr int kTemplateDir = 5;

// Template R (10) with divisions A (11) and B (12); A holds the sub-items A1 (13, file 1) and A2 (14, file 2,
// missing on disk); B holds the general form style B1 (15, file 3).
struct TemplateFixture {
    ProgramFolderFixture f;
    TLoginInfo login{QStringLiteral("Admin"), UserType::Advanced};
    ScriptedPrompter prompter;
    LibraryData ziLiao{Library::ZiLiao};

    TemplateFixture()
    {
        f.addNode(Library::Moban, nodeRec(9, 10, QStringLiteral("模板R"), 0, kTemplateDir), QString(), 1);
        f.addNode(Library::Moban, nodeRec(3, 11, QStringLiteral("A"), 10, kTemplateDir), QString(), 0);
        f.addNode(Library::Moban, nodeRec(3, 12, QStringLiteral("B"), 10, kTemplateDir), QString(), 1);
        f.addNode(Library::Moban, nodeRec(5, 13, QStringLiteral("A1"), 11, kTemplateDir, 1, ".cll", 100), QString(), 0);
        f.addNode(Library::Moban, nodeRec(5, 14, QStringLiteral("A2"), 11, kTemplateDir, 2, ".cll", 101), QString(), 1);
        f.addNode(Library::Moban, nodeRec(11, 15, QStringLiteral("B1"), 12, kTemplateDir, 3, ".cll", 102), QString(), 0);
        for (int id : {100, 101, 102}) {
            RowSet rows;
            rows.load(f.dm().GetHeadingFillRangeData(id), QStringLiteral("ID"));
            rows.append({{QStringLiteral("ID"), id}});
            f.dm().ApplyHeadingFillRangeUpdates(id, rows.changeLog());
            FillPositions p;
            p[0] = FillPosition{true, QString::number(id - 98), QStringLiteral("B")};
            StoreFillPositions(f.dm(), id, p);
        }
        QDir().mkpath(f.paths().MobanFolderPath(kTemplateDir));
        writeForm(f.paths().MobanFolderPath(kTemplateDir) + "1.cll", QStringLiteral("A1 的表"));
        writeForm(f.paths().MobanFolderPath(kTemplateDir) + "3.cll", QStringLiteral("B1 的表"));
        ziLiao.load(f.dm(), login.opName);
    }

    static void writeForm(const QString& path, const QString& text)
    {
        cell::CellControl c;
        c.ResetContent();
        c.SetCellString(1, 1, 0, text);
        QCOMPARE(c.SaveFile(path, 0), 1);
    }

    NodeOpsContext ctx() { return NodeOpsContext{ziLiao, f.dm(), f.paths(), login, prompter}; }

    QVariantMap dbRow(int itemId)
    {
        QSqlQuery q(f.dm().database());
        q.prepare(QStringLiteral("SELECT * FROM ZiLiao WHERE ItemID = ?"));
        q.addBindValue(itemId);
        q.exec();
        QVariantMap m;
        if (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                m.insert(DatabaseSchema::canonicalColumn(QStringLiteral("ZiLiao"), q.record().fieldName(i)), q.value(i));
        return m;
    }
    int count(const QString& sql)
    {
        QSqlQuery q(f.dm().database());
        q.exec(sql);
        return q.next() ? q.value(0).toInt() : -1;
    }
};

QString cellA1(const QString& path)
{
    cell::CellControl c;
    if (c.OpenFile(path, cell::tableFilePassword()) != 1)
        return QStringLiteral("<cannot open>");
    return c.cellText(1, 1, c.GetCurSheet());
}

QStringList names(const DataPacket& p)
{
    QStringList n;
    for (const QVariantList& r : p.rows)
        n << r.value(p.columns.indexOf(QStringLiteral("Name"))).toString();
    return n;
}

} // namespace

class TestNewProject : public QObject {
    Q_OBJECT

private slots:
    void wizardTickPropagation();
    void wizardResultRows();
    void wizardRefusals();
    void projectNumberingFilesAndRecords();
    void secondProjectGoesBeforeTheBin();
    void failedCreationLeavesNothing();
    void quickAddCopiesFormWithBlankRecord();
    void sampleTemplateFormsCarryPositions();
    void cliProjectCommands();
};

void TestNewProject::wizardTickPropagation()
{
    TemplateFixture t;
    ProjectWizard w(t.f.dm());
    QCOMPARE(w.templates().size(), 1);
    QCOMPARE(w.templates().first().ItemID, 10);
    QVERIFY(w.prepareTree(w.templates().first()));
    ProjectWizardTree& tree = w.tree();
    QCOMPARE(tree.checkedCount(), 6);
    auto node = [&](int id) { return tree.indexOfItem(id); };

    tree.setData(node(11), Qt::Unchecked, Qt::CheckStateRole);
    QVERIFY(!tree.isChecked(node(11)) && !tree.isChecked(node(13)) && !tree.isChecked(node(14)));
    QVERIFY(tree.isChecked(node(10)) && tree.isChecked(node(12)) && tree.isChecked(node(15)));
    QCOMPARE(node(13).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(tree.flags(node(13)) & Qt::ItemIsUserCheckable);

    // Ticking a form ticks its division and the template; its sibling stays unticked.
    tree.setChecked(node(14), true);
    QVERIFY(tree.isChecked(node(14)) && tree.isChecked(node(11)) && tree.isChecked(node(10)));
    QVERIFY(!tree.isChecked(node(13)));

    // The same template again keeps the ticks; unticking the root empties the tree's selection.
    QVERIFY(!w.prepareTree(w.templates().first()));
    QCOMPARE(tree.checkedCount(), 5);
    QVERIFY(w.finishRefusal().isEmpty());
    tree.setChecked(node(10), false);
    QCOMPARE(tree.checkedCount(), 0);
    QCOMPARE(w.finishRefusal(), QStringLiteral("由于没有选中任何节点，因不能进行下一步的操作。"));
}

void TestNewProject::wizardResultRows()
{
    TemplateFixture t;
    ProjectWizard w(t.f.dm());
    w.prepareTree(w.templates().first());
    w.tree().setChecked(w.tree().indexOfItem(13), false);
    const DataPacket r = w.tree().result(QStringLiteral(" 新工程 "));
    QCOMPARE(r.columns, ProjectWizardTree::resultColumns());
    QCOMPARE(names(r), (QStringList{" 新工程 ", "A", "A2", "B", "B1"}));
    const auto col = [&](int row, const char* c) { return r.rows.at(row).value(r.columns.indexOf(QLatin1String(c))); };
    QCOMPARE(col(0, "TypeID").toInt(), 1);
    QCOMPARE(col(0, "ItemID").toInt(), 10);
    QCOMPARE(col(2, "iPartIndex").toInt(), 1);   // A1, unticked, still counts
    QCOMPARE(col(2, "FillMode").toInt(), 101);
    QCOMPARE(col(4, "P_ItemID").toInt(), 12);
    QCOMPARE(col(4, "File_Name").toInt(), 3);
}

void TestNewProject::wizardRefusals()
{
    TemplateFixture t;
    TDataPoolDM& dm = t.f.dm();
    QCOMPARE(names(WizardResultFor(dm, 10, QStringLiteral("P"), {11})), (QStringList{"P", "B", "B1"}));
    QCOMPARE(names(WizardResultFor(dm, 10, QStringLiteral("P"), {13, 15})), (QStringList{"P", "A", "A2", "B"}));
    const auto refusal = [&](int templ, const QString& name, const QList<int>& excluded) {
        try {
            WizardResultFor(dm, templ, name, excluded);
        } catch (const QuelmarError& e) {
            return e.message();
        }
        return QString();
    };
    QCOMPARE(refusal(10, QStringLiteral("   "), {}), QStringLiteral("名称无效，请输入正确的名称。"));
    QCOMPARE(refusal(10, QStringLiteral("P"), {10}), QStringLiteral("由于没有选中任何节点，因不能进行下一步的操作。"));
    QVERIFY(!refusal(11, QStringLiteral("P"), {}).isEmpty());    // a division is no template
    QVERIFY(!refusal(1, QStringLiteral("P"), {}).isEmpty());     // nor is the recycle bin
    QVERIFY(!refusal(10, QStringLiteral("P"), {99}).isEmpty());
}

void TestNewProject::projectNumberingFilesAndRecords()
{
    TemplateFixture t;
    const int k = t.f.dm().NewZiLiaoKey();
    const int dir = t.f.dm().NewZiLiaoDirNo();
    const DataPacket result = WizardResultFor(t.f.dm(), 10, QStringLiteral(" 青白高速 "), {});
    const QModelIndex project = CreateProjectFromTemplate(t.ctx(), QStringLiteral(" 青白高速 "), result);

    // Children of a node are numbered together, before any grandchild: R k, A k+1, B k+2, A1 k+3, A2 k+4, B1 k+5.
    const QList<std::tuple<int, QString, int, int, int>> expected{
        {k, " 青白高速 ", 1, 0, 0},     {k + 1, "A", 3, k, 0},      {k + 2, "B", 3, k, 1},
        {k + 3, "A1", 5, k + 1, 0},     {k + 4, "A2", 5, k + 1, 1}, {k + 5, "B1", 11, k + 2, 0},
    };
    for (const auto& [id, name, type, parent, part] : expected) {
        const QVariantMap row = t.dbRow(id);
        QCOMPARE(row.value("Name").toString(), name);
        QCOMPARE(row.value("TypeID").toInt(), type);
        QCOMPARE(row.value("P_ItemID").toInt(), parent);
        QCOMPARE(row.value("iPartIndex").toInt(), part);
        QCOMPARE(row.value("iDir").toInt(), dir);
        QCOMPARE(row.value("UserID").toString(), QStringLiteral("Admin"));
    }
    QCOMPARE(project.data(LibraryTreeModel::ItemIdRole).toInt(), k);
    QCOMPARE(project.row(), 0);
    QCOMPARE(t.ziLiao.recycleNode().row(), 1);
    QCOMPARE(t.dbRow(1).value("iPartIndex").toInt(), 1);
    QCOMPARE(t.prompter.messages(QStringLiteral("information")), QStringList{QStringLiteral("工程“ 青白高速 ”创建成功。")});
    QCOMPARE(t.count(QStringLiteral("SELECT COUNT(*) FROM gcgk WHERE ID = %1").arg(dir)), 1);

    // Files keep their numbers; the missing template file is skipped, its node and record are still made.
    const QString folder = t.f.paths().ZiLiaoFolderPath(dir);
    QCOMPARE(cellA1(folder + "1.cll"), QStringLiteral("A1 的表"));
    QCOMPARE(cellA1(folder + "3.cll"), QStringLiteral("B1 的表"));
    QVERIFY(!QFile::exists(folder + "2.cll"));
    for (int id : {k + 3, k + 4, k + 5}) {
        const int fill = t.dbRow(id).value("FillMode").toInt();
        QVERIFY(fill > 102);
        const std::optional<FillPositions> p = ReadFillPositions(t.f.dm(), fill);
        QVERIFY(p);
        QVERIFY((*p)[0].filled);
    }
    QCOMPARE(ReadFillPositions(t.f.dm(), t.dbRow(k + 4).value("FillMode").toInt())->at(0).ref(), QStringLiteral("B3"));
    QCOMPARE(t.dbRow(k + 1).value("FillMode").toInt(), 0);

    // The tree held matches a fresh load.
    LibraryData fresh(Library::ZiLiao);
    fresh.load(t.f.dm(), QStringLiteral("Admin"));
    QCOMPARE(fresh.tree.nodeCount(), t.ziLiao.tree.nodeCount());
    QCOMPARE(fresh.tree.indexOfItem(k + 5).parent().data(LibraryTreeModel::ItemIdRole).toInt(), k + 2);
}

void TestNewProject::secondProjectGoesBeforeTheBin()
{
    TemplateFixture t;
    CreateProjectFromTemplate(t.ctx(), QStringLiteral("一"), WizardResultFor(t.f.dm(), 10, QStringLiteral("一"), {}));
    const QModelIndex second = CreateProjectFromTemplate(
        t.ctx(), QStringLiteral("二"), WizardResultFor(t.f.dm(), 10, QStringLiteral("二"), {11, 12}));
    QCOMPARE(second.row(), 1);
    QCOMPARE(t.ziLiao.recycleNode().row(), 2);
    QCOMPARE(t.dbRow(1).value("iPartIndex").toInt(), 2);
    QCOMPARE(t.dbRow(second.data(LibraryTreeModel::ItemIdRole).toInt()).value("iPartIndex").toInt(), 1);
    QCOMPARE(t.ziLiao.tree.rowCount(second), 0);
}

void TestNewProject::failedCreationLeavesNothing()
{
    TemplateFixture t;
    QSqlQuery(t.f.dm().database()).exec(QStringLiteral("DELETE FROM HeadingFillRange WHERE ID = 102"));
    const int dir = t.f.dm().NewZiLiaoDirNo();
    const int fills = t.count(QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange"));
    const int nodes = t.ziLiao.tree.nodeCount();
    try {
        CreateProjectFromTemplate(t.ctx(), QStringLiteral("P"), WizardResultFor(t.f.dm(), 10, QStringLiteral("P"), {}));
        QFAIL("no error");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("“B1”节点没有自动填充属性！"));
    }
    QCOMPARE(t.count(QStringLiteral("SELECT COUNT(*) FROM ZiLiao WHERE iDir = %1").arg(dir)), 0);
    QCOMPARE(t.count(QStringLiteral("SELECT COUNT(*) FROM HeadingFillRange")), fills);
    QCOMPARE(t.count(QStringLiteral("SELECT COUNT(*) FROM gcgk")), 0);
    QVERIFY(!QDir(t.f.paths().ZiLiaoFolderPath(dir)).exists());
    QCOMPARE(t.ziLiao.tree.nodeCount(), nodes);
    QVERIFY(!t.ziLiao.rows.hasChanges());
    QCOMPARE(t.prompter.busyDepth, 0);
}

void TestNewProject::quickAddCopiesFormWithBlankRecord()
{
    TemplateFixture t;
    CreateProjectFromTemplate(t.ctx(), QStringLiteral("P"), WizardResultFor(t.f.dm(), 10, QStringLiteral("P"), {}));
    const QModelIndex subItem = t.ziLiao.tree.indexOfItem(t.f.dm().NewZiLiaoKey() - 3);   // A1
    QCOMPARE(subItem.data().toString(), QStringLiteral("A1"));
    t.prompter.texts.enqueue(QStringLiteral("表一"));
    const QModelIndex form = NodeOps(t.ctx()).NewNode(subItem, 6);
    QVERIFY(form.isValid());

    // A sub-item is not offered quick add; a blank name is refused; cancel does nothing.
    QVERIFY_THROWS_EXCEPTION(QuelmarError, QuickAddForm(t.ctx(), subItem));
    t.prompter.texts.enqueue(QStringLiteral("  "));
    QVERIFY_THROWS_EXCEPTION(QuelmarError, QuickAddForm(t.ctx(), form));
    t.prompter.texts.enqueue(QString());
    QVERIFY(!QuickAddForm(t.ctx(), form).isValid());

    t.prompter.texts.enqueue(QStringLiteral(" 表二"));
    const QModelIndex copy = QuickAddForm(t.ctx(), form);
    QVERIFY(copy.isValid());
    const NodeRecord src = t.ziLiao.tree.record(form);
    const NodeRecord rec = t.ziLiao.tree.record(copy);
    QCOMPARE(copy.parent(), subItem);
    QCOMPARE(copy.row(), 1);
    QCOMPARE(rec.Name, QStringLiteral(" 表二"));
    QCOMPARE(rec.TypeID, 6);
    QCOMPARE(rec.File_Name, src.File_Name + 1);
    QVERIFY(rec.FillMode != src.FillMode);
    QCOMPARE(t.dbRow(rec.ItemID).value("iPartIndex").toInt(), 1);
    const QString folder = t.f.paths().ZiLiaoFolderPath(rec.iDir);
    QCOMPARE(cellA1(FileLayout::NodeFilePath(folder, rec.File_Name, rec.Ext)), QStringLiteral("A1 的表"));
    const std::optional<FillPositions> blank = ReadFillPositions(t.f.dm(), rec.FillMode);
    QVERIFY(blank);
    QCOMPARE(*blank, FillPositions{});
    QVERIFY(ReadFillPositions(t.f.dm(), src.FillMode)->at(0).filled);
}

void TestNewProject::sampleTemplateFormsCarryPositions()
{
    ProgramFolderFixture f;
    const int id = AddSampleTemplate(f.dm(), f.paths());
    ProjectWizard w(f.dm());
    QCOMPARE(w.templates().size(), 1);
    QCOMPARE(w.templates().first().Name, QStringLiteral("公路工程质量检验表格（示例）"));
    w.prepareTree(*w.findTemplate(id));
    int forms = 0;
    QStringList divisions;
    w.tree().forEachPreOrder([&](const QModelIndex& node, int level) {
        const NodeRecord r = w.tree().record(node);
        if (level == 1)
            divisions << r.Name;
        if (r.TypeID != 5 && r.TypeID != 11)
            return;
        ++forms;
        const std::optional<FillPositions> p = ReadFillPositions(f.dm(), r.FillMode);
        QVERIFY(p);
        QVERIFY2((*p)[0].filled && (*p)[1].filled && (*p)[9].filled, qPrintable(r.Name));
        cell::CellControl c;
        QCOMPARE(c.OpenFile(FileLayout::NodeFilePath(f.paths().MobanFolderPath(r.iDir), r.File_Name, r.Ext),
                            cell::tableFilePassword()),
                 1);
        QCOMPARE(c.cellText(1, 1, 0), r.Name);
        int col = 0, row = 0;
        QVERIFY(cell::CellControl::ParseCellRef((*p)[0].ref(), col, row));
        QVERIFY(c.cellText(col, row, 0).isEmpty());   // the header cell waits for the project's value
        QCOMPARE(c.cellText(col - 2, row, 0), QStringLiteral("工程名称"));
    });
    QCOMPARE(forms, 12);
    QCOMPARE(divisions, (QStringList{"通用部分", "路基工程", "路面工程", "桥梁工程"}));
}

void TestNewProject::cliProjectCommands()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/demo");
    QCOMPARE(runQuelmarCli({"init", dir, "--sample"}).exitCode, 0);
    const auto cli = [&](QStringList args) {
        args.prepend(dir);
        args.prepend(QStringLiteral("--dir"));
        return runQuelmarCli(args);
    };
    CliRun r = cli({"new-project", "2", "合同段 A", "--exclude", "18"});
    QCOMPARE(r.exitCode, 0);
    const QString project = r.out.trimmed();
    QVERIFY(!cli({"tree", "project"}).out.contains(QStringLiteral("桥梁工程")));

    r = cli({"overview", "set", project, "1= 青白高速 ", "2=华通监理", "14=王志远"});
    QCOMPARE(r.exitCode, 0);
    r = cli({"overview", "get", project, "--json"});
    const QJsonObject overview = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(overview.size(), 18);
    QCOMPARE(overview.value("1").toString(), QStringLiteral("青白高速"));
    QCOMPARE(cli({"overview", "set", project, "19=x"}).exitCode, 2);

    // `new` of an inspection form fills its header at once: the file holds the project's values.
    const QString tree = cli({"tree", "project", "--json"}).out;
    QString subItem;
    for (const QJsonValue& v : QJsonDocument::fromJson(tree.toUtf8()).array())
        if (v.toObject().value("Name").toString() == QStringLiteral("土方路基质量检验表"))
            subItem = QString::number(v.toObject().value("ItemID").toInt());
    QVERIFY(!subItem.isEmpty());
    r = cli({"new", "project", subItem, "6", "K1+000 土方路基", "--json"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject form = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QString path = form.value("path").toString();
    const QString formId = QString::number(form.value("ItemID").toInt());
    const QJsonObject positions =
        QJsonDocument::fromJson(cli({"fill-positions", "get", "project", formId, "--json"}).out.toUtf8()).object();
    const QJsonObject first = positions.value("1").toObject();
    QVERIFY(first.value("filled").toBool());
    const QString ref = first.value("col").toString() + first.value("row").toString();
    QCOMPARE(cli({"cell", "get", path, ref}).out.trimmed(), QStringLiteral("青白高速"));

    // fill-positions set: the dialog's validation and messages.
    r = cli({"fill-positions", "set", "project", formId, "4=d9", "5=9D"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains(QStringLiteral("专业工长的行或列位置不正确！")));
    // A cell beyond the form's sheet is refused, and nothing is stored.
    r = cli({"fill-positions", "set", "project", formId, "4=d9", "6=IV9999"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("结构类型的位置“IV9999”在表格之外：表格只有 ")), qPrintable(r.err));
    QVERIFY(!QJsonDocument::fromJson(cli({"fill-positions", "get", "project", formId, "--json"}).out.toUtf8())
                 .object().value("4").toObject().value("filled").toBool());
    r = cli({"fill-positions", "set", "project", formId, "4=d9", "1=off", "--json"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject set = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(set.value("4").toObject().value("col").toString(), QStringLiteral("d"));
    QVERIFY(!set.value("1").toObject().value("filled").toBool());
    QCOMPARE(set.value("1").toObject().value("col").toString(), first.value("col").toString());

    // quick-add and the option lists.
    r = cli({"quick-add", formId, "K2+000 土方路基"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.trimmed().toInt() > formId.toInt());
    QCOMPARE(cli({"options", "add", "6", "整体式路基"}).out.trimmed(), QStringLiteral("1"));
    QCOMPARE(cli({"options", "add", "6", "分离式路基"}).out.trimmed(), QStringLiteral("2"));
    // Deleting asks first, like the other deletes: without --yes the answer is no and nothing goes.
    r = cli({"options", "delete", "6", "1"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("未删除：没有得到确认（加 --yes 回答“是”）。")), qPrintable(r.err));
    QCOMPARE(cli({"options", "list", "6", "--json"}).out.simplified(),
             QStringLiteral("[ \"整体式路基\", \"分离式路基\" ]"));
    QCOMPARE(cli({"options", "delete", "6", "1", "--yes"}).exitCode, 0);
    QCOMPARE(cli({"options", "list", "6", "--json"}).out.simplified(), QStringLiteral("[ \"分离式路基\" ]"));
    QCOMPARE(cli({"options", "clear", "6"}).exitCode, 1);
    QCOMPARE(cli({"options", "clear", "6", "--yes"}).exitCode, 0);
    QCOMPARE(cli({"options", "list", "6", "--json"}).out.simplified(), QStringLiteral("[ ]"));
    QVERIFY(cli({"options", "list"}).out.contains(QStringLiteral("华通交通工程监理有限公司")));

    r = cli({"defaults", "set", "10=  东方路桥 "});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(cli({"defaults", "get", "--json"}).out.toUtf8()).object().value("10").toString(),
             QStringLiteral("东方路桥"));
}

QTEST_MAIN(TestNewProject)
#include "tst_projects_new.moc"
