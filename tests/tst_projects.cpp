// Project overview and defaults, header-fill positions with FillHeaderCells, and the option lists.
#include "cell/CellControl.h"
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "projects/HeaderFields.h"
#include "projects/HeaderFill.h"
#include "projects/OptionLists.h"
#include "projects/ProjectOverview.h"
#include "store/FileLayout.h"
#include "support/ProgramFolderFixture.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QtTest>

namespace {

// Stands in for TProjectOptFrm: records what it was shown and answers with the prepared texts.
class ScriptedOverviewEditor : public OverviewEditor {
public:
    bool accept = true;
    QMap<int, QString> typed;   // field -> text the user types
    QString shownLabel;
    QStringList shownValues;
    bool edit(const QString& label, QStringList& values) override
    {
        shownLabel = label;
        shownValues = values;
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            values[it.key() - 1] = it.value();
        return accept;
    }
};

class ScriptedFillEditor : public FillPositionsEditor {
public:
    std::function<void(FillPositions&)> change;
    bool accept = true;
    SheetExtent shownSheet;
    bool edit(FillPositions& p, const SheetExtent& sheet) override
    {
        shownSheet = sheet;
        if (change)
            change(p);
        return accept;
    }
};

QStringList values(std::initializer_list<std::pair<int, QString>> set)
{
    QStringList v = HeaderFields::emptyValues();
    for (const auto& [n, text] : set)
        v[n - 1] = text;
    return v;
}

void setGcgk(TDataPoolDM& dm, int dir, int field, const QString& text)
{
    QSqlQuery q(dm.database());
    q.prepare(QStringLiteral("UPDATE gcgk SET s%1 = ? WHERE ID = ?").arg(field));
    q.addBindValue(text);
    q.addBindValue(dir);
    QVERIFY(q.exec());
}

int newFillRecord(TDataPoolDM& dm, const FillPositions& p)
{
    const int id = dm.NewFillRangeKey();
    RowSet rows;
    rows.load(dm.GetHeadingFillRangeData(id), QStringLiteral("ID"));
    rows.append({{QStringLiteral("ID"), id}});
    dm.ApplyHeadingFillRangeUpdates(id, rows.changeLog());
    StoreFillPositions(dm, id, p);
    return id;
}

FillPosition at(const QString& ref)
{
    static const QRegularExpression split(QStringLiteral("^([A-Za-z]*)(.*)$"));
    const auto m = split.match(ref);
    return FillPosition{true, m.captured(2), m.captured(1)};
}

} // namespace

class TestProjects : public QObject {
    Q_OBJECT

private slots:
    // ---- overview and defaults ----
    void headerValuesAreCachedPerFolder();
    void nodesOutsideProjectsGetTheDefaults();
    void missingDefaultRowIsCreated();
    void missingOverviewFailsOnceForTheFolder();
    void overviewDialogTrimsAndCancelWritesNothing();
    void overviewRefusesOverlongValues();
    void missingProjectOverviewIsReported();
    void defaultDialogStoresForTheUser();

    // ---- fill positions ----
    void fillPositionValidation_data();
    void fillPositionValidation();
    void untickedFieldKeepsItsPosition();
    void fillPositionsInsideSheet_data();
    void fillPositionsInsideSheet();
    void fillHeaderCellsWritesSavesAndAttachesLists();
    void fillHeaderCellsWithoutRecordLeavesFileAlone();
    void pendingFillRunsOnce();

    // ---- option lists ----
    void optionListsKeepSortInvariant();
    void optionDialogCommands();
    void clearingOneListLeavesTheOthers();
    void sortGapIsReported();
};

void TestProjects::headerValuesAreCachedPerFolder()
{
    ProgramFolderFixture f;
    f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("A"), 0, 10), QStringLiteral("Admin"));
    f.addNode(Library::ZiLiao, nodeRec(1, 3, QStringLiteral("B"), 0, 20), QStringLiteral("Admin"));
    setGcgk(f.dm(), 10, 1, QStringLiteral("工程甲"));
    setGcgk(f.dm(), 20, 1, QStringLiteral("工程乙"));
    setGcgk(f.dm(), 20, 18, QStringLiteral("李工"));

    int cached = 0;
    QStringList v;
    QVERIFY(!LoadHeaderValues(f.dm(), QStringLiteral("Admin"), nodeRec(6, 9, QStringLiteral("表"), 5, 10), cached, v));
    QCOMPARE(cached, 10);
    QCOMPARE(v.value(0), QStringLiteral("工程甲"));
    QVERIFY(LoadHeaderValues(f.dm(), QStringLiteral("Admin"), nodeRec(1, 3, QStringLiteral("B"), 0, 20), cached, v));
    QCOMPARE(v.value(0), QStringLiteral("工程乙"));
    QCOMPARE(v.value(17), QStringLiteral("李工"));

    // Another node of the same folder reads nothing: a change in the database is not seen.
    setGcgk(f.dm(), 20, 1, QStringLiteral("改过"));
    LoadHeaderValues(f.dm(), QStringLiteral("Admin"), nodeRec(7, 11, QStringLiteral("表"), 5, 20), cached, v);
    QCOMPARE(v.value(0), QStringLiteral("工程乙"));

    // Root and recycle bin: disabled, nothing loaded, cache untouched.
    QVERIFY(!LoadHeaderValues(f.dm(), QStringLiteral("Admin"), nodeRec(0, 0, QStringLiteral("资料库"), -1, 0), cached, v));
    QVERIFY(!LoadHeaderValues(f.dm(), QStringLiteral("Admin"), nodeRec(2, 1, QStringLiteral("回收站"), 0, 0), cached, v));
    QCOMPARE(cached, 20);
}

void TestProjects::nodesOutsideProjectsGetTheDefaults()
{
    ProgramFolderFixture f;
    WriteDefaultOverview(f.dm(), QStringLiteral("admin"), values({{2, QStringLiteral("缺省监理")}}));
    int cached = 0;
    QStringList v;
    // Folder 7 holds no project row.
    LoadHeaderValues(f.dm(), QStringLiteral("ADMIN"), nodeRec(4, 5, QStringLiteral("分类"), 2, 7), cached, v);
    QCOMPARE(v.value(1), QStringLiteral("缺省监理"));
    QCOMPARE(v.size(), 18);
}

void TestProjects::missingDefaultRowIsCreated()
{
    ProgramFolderFixture f;
    f.addUser(QStringLiteral("Zhang"), QString(), 0);
    QVERIFY(!ReadDefaultOverview(f.dm(), QStringLiteral("Zhang")));
    int cached = 0;
    QStringList v{QStringLiteral("old")};
    LoadHeaderValues(f.dm(), QStringLiteral("zhang"), nodeRec(4, 5, QStringLiteral("分类"), 2, 7), cached, v);
    QCOMPARE(v, HeaderFields::emptyValues());
    const DataPacket row = f.dm().GetDefaultGkData(QStringLiteral("Zhang"));
    QCOMPARE(row.rows.size(), 1);
    // Stored under the account's own spelling.
    QCOMPARE(row.rows.first().value(row.columns.indexOf(QStringLiteral("CZYID"))).toString(), QStringLiteral("Zhang"));
}

void TestProjects::missingOverviewFailsOnceForTheFolder()
{
    ProgramFolderFixture f;
    f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("A"), 0, 10), QStringLiteral("Admin"));
    QSqlQuery(f.dm().database()).exec(QStringLiteral("DELETE FROM gcgk"));
    int cached = 0;
    QStringList v{QStringLiteral("before")};
    try {
        LoadHeaderValues(f.dm(), QStringLiteral("Admin"), nodeRec(1, 2, QStringLiteral("A"), 0, 10), cached, v);
        QFAIL("no error");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("该工程没有相应的工程概况！"));
    }
    QCOMPARE(cached, 10);
    LoadHeaderValues(f.dm(), QStringLiteral("Admin"), nodeRec(6, 3, QStringLiteral("表"), 2, 10), cached, v);
    QCOMPARE(v, QStringList{QStringLiteral("before")});
}

void TestProjects::overviewDialogTrimsAndCancelWritesNothing()
{
    ProgramFolderFixture f;
    f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("A"), 0, 10), QStringLiteral("Admin"));
    ScriptedPrompter prompter;
    ScriptedOverviewEditor editor;
    editor.typed = {{1, QStringLiteral("  青白高速  ")}, {14, QStringLiteral("\t王工 ")}};
    OverviewResult r = EditProjectOverview(f.dm(), prompter, editor, 10, QStringLiteral("A"));
    QVERIFY(r.accepted);
    QCOMPARE(editor.shownLabel, QStringLiteral("A"));
    QCOMPARE(r.values.value(0), QStringLiteral("青白高速"));
    QCOMPARE(r.values.value(13), QStringLiteral("王工"));
    QCOMPARE(ReadProjectOverview(f.dm(), 10)->value(0), QStringLiteral("青白高速"));

    editor.accept = false;
    editor.typed = {{1, QStringLiteral("别的")}};
    r = EditProjectOverview(f.dm(), prompter, editor, 10, QStringLiteral("A"));
    QVERIFY(!r.accepted);
    QCOMPARE(editor.shownValues.value(0), QStringLiteral("青白高速"));
    QCOMPARE(ReadProjectOverview(f.dm(), 10)->value(0), QStringLiteral("青白高速"));
}

void TestProjects::overviewRefusesOverlongValues()
{
    ProgramFolderFixture f;
    f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("A"), 0, 10), QStringLiteral("Admin"));
    const QString fifty(50, QChar(0x8DEF));
    WriteProjectOverview(f.dm(), 10, values({{3, fifty + QStringLiteral("  ")}}));
    QCOMPARE(ReadProjectOverview(f.dm(), 10)->value(2), fifty);
    QVERIFY_THROWS_EXCEPTION(QuelmarError,
                             WriteProjectOverview(f.dm(), 10, values({{1, QStringLiteral("x")}, {3, fifty + "x"}})));
    // Nothing of the refused write was stored.
    QCOMPARE(ReadProjectOverview(f.dm(), 10)->value(0), QString());
}

void TestProjects::missingProjectOverviewIsReported()
{
    ProgramFolderFixture f;
    ScriptedPrompter prompter;
    ScriptedOverviewEditor editor;
    const OverviewResult r = EditProjectOverview(f.dm(), prompter, editor, 99, QStringLiteral("无名"));
    QVERIFY(!r.accepted);
    QVERIFY(editor.shownLabel.isNull());
    QCOMPARE(prompter.messages(QStringLiteral("error")), QStringList{QStringLiteral("工程“无名”没有其工程概况信息！")});
}

void TestProjects::defaultDialogStoresForTheUser()
{
    ProgramFolderFixture f;
    ScriptedOverviewEditor editor;
    editor.typed = {{10, QStringLiteral(" 东方路桥 ")}};
    const OverviewResult r = EditDefaultOverview(f.dm(), editor, QStringLiteral("admin"));
    QVERIFY(r.accepted);
    QCOMPARE(editor.shownLabel, QStringLiteral("缺省工程概况 - 没有工程节点的节点填写信息"));
    QCOMPARE(ReadDefaultOverview(f.dm(), QStringLiteral("Admin"))->value(9), QStringLiteral("东方路桥"));
}

void TestProjects::fillPositionValidation_data()
{
    QTest::addColumn<QString>("col");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("filled");
    QTest::addColumn<bool>("valid");
    QTest::newRow("B8") << "B" << "8" << true << true;
    QTest::newRow("lower case column") << "c" << "8" << true << true;
    QTest::newRow("two letters") << "AB" << "120" << true << true;
    QTest::newRow("empty row") << "B" << "" << true << false;
    QTest::newRow("empty column") << "" << "8" << true << false;
    QTest::newRow("row zero") << "B" << "0" << true << false;
    QTest::newRow("digits in column") << "8" << "B" << true << false;
    QTest::newRow("blank inside") << "B" << " 8" << true << false;
    QTest::newRow("unticked garbage") << "?" << "x" << false << true;
    // The two boxes together must not make a reference that neither box holds.
    QTest::newRow("whole reference in column box") << "B8" << "" << true << false;
    QTest::newRow("whole reference in row box") << "" << "B8" << true << false;
    QTest::newRow("digits split over the boxes") << "B8" << "0" << true << false;
    QTest::newRow("full-width letter") << QString::fromUtf8("Ｂ") << "8" << true << false;
}

void TestProjects::fillPositionValidation()
{
    QFETCH(QString, col);
    QFETCH(QString, row);
    QFETCH(bool, filled);
    QFETCH(bool, valid);
    // The field under test is 14; field 3 is valid and ticked; a later bad field is not reported first.
    FillPositions p;
    p[2] = at(QStringLiteral("C8"));
    p[13] = FillPosition{filled, row, col};
    p[16] = FillPosition{true, QString(), QString()};
    const int bad = FirstInvalidFillPosition(p);
    QCOMPARE(bad, valid ? 17 : 14);
    QCOMPARE(FillPositionMessage(bad), valid ? QStringLiteral("项目技术负责人的行或列位置不正确！")
                                             : QStringLiteral("监理工程师的行或列位置不正确！"));
}

void TestProjects::fillPositionsInsideSheet_data()
{
    QTest::addColumn<QString>("ref");
    QTest::addColumn<QString>("message");   // empty: accepted
    const QString outside = QStringLiteral("专业工长的位置“%1”在表格之外：表格只有 10 列、30 行。");
    QTest::newRow("last cell") << "J30" << "";
    QTest::newRow("lower case last cell") << "j30" << "";
    QTest::newRow("one column too far") << "K1" << outside.arg("K1");
    QTest::newRow("one row too far") << "A31" << outside.arg("A31");
    QTest::newRow("far away, lower case") << "iv9999" << outside.arg("IV9999");
}

void TestProjects::fillPositionsInsideSheet()
{
    QFETCH(QString, ref);
    QFETCH(QString, message);
    // Field 5 under test, field 1 valid; a 10 x 30 sheet.
    FillPositions p;
    p[0] = at(QStringLiteral("B2"));
    p[4] = at(ref);
    const SheetExtent sheet{10, 30};
    const FillPositionCheck check = CheckFillPositions(p, sheet);
    QCOMPARE(check.message, message);
    QCOMPARE(check.field, message.isEmpty() ? 0 : 5);
    // Without a known sheet only the reference counts.
    QCOMPARE(CheckFillPositions(p, SheetExtent{}).field, 0);
    // A bad reference in an earlier field is reported first.
    p[1] = FillPosition{true, QString(), QStringLiteral("C3")};
    QCOMPARE(CheckFillPositions(p, sheet).message, QStringLiteral("监理单位的行或列位置不正确！"));

    // An editor that skipped the check cannot store the position.
    if (message.isEmpty())
        return;
    ProgramFolderFixture f;
    const int id = newFillRecord(f.dm(), FillPositions{});
    ScriptedFillEditor editor;
    editor.change = [&](FillPositions& q) { q[4] = at(ref); };
    try {
        EditFillPositions(f.dm(), editor, id, sheet);
        QFAIL("an outside position was stored");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), message);
    }
    QCOMPARE(editor.shownSheet.cols, 10);
    QVERIFY(!ReadFillPositions(f.dm(), id)->at(4).filled);
}

void TestProjects::untickedFieldKeepsItsPosition()
{
    ProgramFolderFixture f;
    FillPositions p;
    p[2] = at(QStringLiteral("c8"));
    const int id = newFillRecord(f.dm(), p);
    ScriptedFillEditor editor;
    editor.change = [](FillPositions& q) {
        QCOMPARE(q[2].ref(), QStringLiteral("c8"));
        q[2].filled = false;
        q[2].row = QStringLiteral("99");   // typed into an unticked field: not stored
    };
    QVERIFY(EditFillPositions(f.dm(), editor, id, SheetExtent{10, 30}));
    FillPositions stored = *ReadFillPositions(f.dm(), id);
    QVERIFY(!stored[2].filled);
    QCOMPARE(stored[2].ref(), QStringLiteral("c8"));

    // An invalid ticked field is refused and nothing is written.
    editor.change = [](FillPositions& q) {
        q[0] = FillPosition{true, QStringLiteral("2"), QStringLiteral("B")};
        q[4] = FillPosition{true, QStringLiteral(""), QStringLiteral("B")};
    };
    QVERIFY_THROWS_EXCEPTION(QuelmarError, EditFillPositions(f.dm(), editor, id, SheetExtent{10, 30}));
    QVERIFY(!ReadFillPositions(f.dm(), id)->at(0).filled);
    QVERIFY_THROWS_EXCEPTION(QuelmarError, EditFillPositions(f.dm(), editor, 4711, SheetExtent{10, 30}));
}

void TestProjects::fillHeaderCellsWritesSavesAndAttachesLists()
{
    ProgramFolderFixture f;
    FillPositions p;
    p[0] = at(QStringLiteral("B2"));
    p[1] = at(QStringLiteral("b3"));
    p[2] = FillPosition{true, QStringLiteral("8"), QStringLiteral("C9")};   // not a reference: skipped
    p[4] = FillPosition{false, QStringLiteral("5"), QStringLiteral("E")};   // unticked
    const int id = newFillRecord(f.dm(), p);
    OptionLists lists(f.dm());
    lists.add(2, QStringLiteral("监理甲"));
    lists.add(2, QStringLiteral("监理乙"));
    lists.add(1, QStringLiteral("工程名不进下拉"));

    const QString path = f.paths().ProTablesDir + QStringLiteral("form.cll");
    QVERIFY(QFile::copy(f.paths().BlankTableFile, path));
    FillHeaderCellsInFile(f.dm(), path, id,
                          values({{1, QStringLiteral("青白高速")}, {2, QStringLiteral("监理乙")},
                                  {3, QStringLiteral("不写")}, {5, QStringLiteral("不写")}}));

    cell::CellControl c;
    QCOMPARE(c.OpenFile(path, cell::tableFilePassword()), 1);
    const int s = c.GetCurSheet();
    QCOMPARE(c.cellText(2, 2, s), QStringLiteral("青白高速"));
    QCOMPARE(c.cellText(2, 3, s), QStringLiteral("监理乙"));
    QCOMPARE(c.cellText(5, 5, s), QString());
    for (int col = 1; col < c.GetCols(s); ++col)
        for (int row = 1; row < c.GetRows(s); ++row)
            if (!(col == 2 && (row == 2 || row == 3)))
                QVERIFY2(c.cellText(col, row, s).isEmpty(), qPrintable(cell::CellControl::GetCellRef(col, row)));
    const cell::Sheet& sheet = c.sheet(s);
    QCOMPARE(sheet.cells.value(cell::Sheet::key(2, 3)).dropdown, QStringLiteral("监理甲\n监理乙\n"));
    QCOMPARE(sheet.cells.value(cell::Sheet::key(2, 3)).dropdownKind, 2);
    QVERIFY(sheet.cells.value(cell::Sheet::key(2, 2)).dropdown.isEmpty());
}

void TestProjects::fillHeaderCellsWithoutRecordLeavesFileAlone()
{
    ProgramFolderFixture f;
    const QString path = f.paths().ProTablesDir + QStringLiteral("form.cll");
    QVERIFY(QFile::copy(f.paths().BlankTableFile, path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    try {
        FillHeaderCellsInFile(f.dm(), path, 77, HeaderFields::emptyValues());
        QFAIL("no error");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("没有找到相应表头信息！"));
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestProjects::pendingFillRunsOnce()
{
    ProgramFolderFixture f;
    FillPositions p;
    p[0] = at(QStringLiteral("A1"));
    const int id = newFillRecord(f.dm(), p);
    const QString path = f.paths().ProTablesDir + QStringLiteral("form.cll");
    QVERIFY(QFile::copy(f.paths().BlankTableFile, path));
    bool pending = true;
    // A failure keeps the flag for the next display.
    QVERIFY_THROWS_EXCEPTION(QuelmarError, FillPendingFormHeader(f.dm(), path, 4711, values({{1, "x"}}), pending));
    QVERIFY(pending);
    QVERIFY(FillPendingFormHeader(f.dm(), path, id, values({{1, QStringLiteral("第一次")}}), pending));
    QVERIFY(!pending);
    QVERIFY(!FillPendingFormHeader(f.dm(), path, id, values({{1, QStringLiteral("第二次")}}), pending));
    cell::CellControl c;
    c.OpenFile(path, cell::tableFilePassword());
    QCOMPARE(c.cellText(1, 1, c.GetCurSheet()), QStringLiteral("第一次"));
}

namespace {

QList<int> sorts(TDataPoolDM& dm, int field)
{
    QList<int> s;
    QSqlQuery q(dm.database());
    q.exec(QStringLiteral("SELECT iSort FROM gkxx WHERE TypeID = '%1' ORDER BY iSort").arg(field));
    while (q.next())
        s << q.value(0).toInt();
    return s;
}

QStringList dbNames(TDataPoolDM& dm, int field)
{
    return OptionLists(dm).items(field);
}

} // namespace

void TestProjects::optionListsKeepSortInvariant()
{
    ProgramFolderFixture f;
    OptionLists lists(f.dm());
    QCOMPARE(lists.add(5, QStringLiteral("甲")), 0);
    QCOMPARE(sorts(f.dm(), 5), QList<int>{1});
    lists.add(5, QStringLiteral(" 乙 "));
    QCOMPARE(lists.add(5, QStringLiteral("丙")), 2);
    lists.add(5, QStringLiteral("丁"));
    QCOMPARE(sorts(f.dm(), 5), (QList<int>{1, 2, 3, 4}));
    QCOMPARE(dbNames(f.dm(), 5).value(1), QStringLiteral(" 乙 "));   // stored as typed

    lists.remove(5, 1);
    QCOMPARE(dbNames(f.dm(), 5), (QStringList{"甲", "丙", "丁"}));
    QCOMPARE(sorts(f.dm(), 5), (QList<int>{1, 2, 3}));

    QCOMPARE(lists.moveUp(5, 0), 0);
    QCOMPARE(lists.moveDown(5, 2), 2);
    QCOMPARE(dbNames(f.dm(), 5), (QStringList{"甲", "丙", "丁"}));
    QCOMPARE(lists.moveDown(5, 0), 1);
    QCOMPARE(dbNames(f.dm(), 5), (QStringList{"丙", "甲", "丁"}));
    QCOMPARE(lists.moveUp(5, 2), 1);
    QCOMPARE(dbNames(f.dm(), 5), (QStringList{"丙", "丁", "甲"}));
    QCOMPARE(sorts(f.dm(), 5), (QList<int>{1, 2, 3}));

    QVERIFY_THROWS_EXCEPTION(QuelmarError, lists.add(5, QStringLiteral("   ")));
    QVERIFY_THROWS_EXCEPTION(QuelmarError, lists.add(19, QStringLiteral("x")));
    QCOMPARE(lists.items(5).size(), 3);

    // Lists above 9 sort as numbers, not as the text of TypeID.
    lists.add(10, QStringLiteral("十"));
    lists.add(2, QStringLiteral("二"));
    QCOMPARE(ReadOptionItems(f.dm())[9], QStringList{QStringLiteral("十")});
    QCOMPARE(ReadOptionItems(f.dm())[1], QStringList{QStringLiteral("二")});
}

void TestProjects::optionDialogCommands()
{
    ProgramFolderFixture f;
    OptionLists lists(f.dm());
    ScriptedPrompter p;
    for (const QString& t : {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"), QString()})
        p.texts.enqueue(t);
    QCOMPARE(lists.New(p, 3), 0);
    QCOMPARE(lists.New(p, 3), 1);
    QCOMPARE(lists.New(p, 3), 2);
    QCOMPARE(lists.New(p, 3), -1);   // cancelled
    QCOMPARE(p.events.at(0).caption, QStringLiteral("新建"));

    // Edit: nothing selected, a blank name (warning, nothing changes), a real change.
    QVERIFY(!lists.Edit(p, 3, -1));
    QCOMPARE(p.messages(QStringLiteral("information")).last(), QStringLiteral("请选取您要编辑的项！"));
    p.texts.enqueue(QStringLiteral("  "));
    QVERIFY(!lists.Edit(p, 3, 1));
    QCOMPARE(p.messages(QStringLiteral("warning")).last(), QStringLiteral("名称无效，请提供一个正确有效的名称。"));
    p.texts.enqueue(QStringLiteral("贰"));
    QVERIFY(lists.Edit(p, 3, 1));
    QCOMPARE(dbNames(f.dm(), 3), (QStringList{"一", "贰", "三"}));

    // Delete: not confirmed, the middle one (selects the new middle), the last, the only one.
    QCOMPARE(lists.Delete(p, 3, -1), -2);
    p.answers.enqueue(Prompter::Answer::No);
    QCOMPARE(lists.Delete(p, 3, 1), -2);
    QCOMPARE(lists.items(3).size(), 3);
    p.defaultYes = true;
    QCOMPARE(lists.Delete(p, 3, 1), 1);
    QCOMPARE(lists.Delete(p, 3, 1), 0);
    QCOMPARE(lists.Delete(p, 3, 0), -1);
    QVERIFY(lists.items(3).isEmpty());
}

void TestProjects::clearingOneListLeavesTheOthers()
{
    ProgramFolderFixture f;
    OptionLists lists(f.dm());
    for (int n : {1, 2, 18})
        for (const char* name : {"a", "b", "c"})
            lists.add(n, QString::fromLatin1(name));
    ScriptedPrompter p;
    QVERIFY(!lists.Clear(p, 2));   // not confirmed
    p.defaultYes = true;
    QVERIFY(lists.Clear(p, 2));
    QVERIFY(dbNames(f.dm(), 2).isEmpty());
    QCOMPARE(dbNames(f.dm(), 1).size(), 3);
    QCOMPARE(dbNames(f.dm(), 18).size(), 3);
    try {
        lists.Clear(p, 2);
        QFAIL("no error");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("没有删除数据？"));
    }
}

void TestProjects::sortGapIsReported()
{
    ProgramFolderFixture f;
    OptionLists(f.dm()).add(4, QStringLiteral("甲"));
    OptionLists(f.dm()).add(4, QStringLiteral("乙"));
    QSqlQuery(f.dm().database()).exec(QStringLiteral("UPDATE gkxx SET iSort = 5 WHERE Name = '乙'"));
    OptionLists lists(f.dm());
    try {
        lists.rename(4, 1, QStringLiteral("丙"));
        QFAIL("no error");
    } catch (const QuelmarError& e) {
        QCOMPARE(e.message(), QStringLiteral("项“乙”在数据上下文找不到！"));
    }
    // The copy still matches the database after the failure.
    QCOMPARE(lists.items(4), (QStringList{"甲", "乙"}));
}

QTEST_MAIN(TestProjects)
#include "tst_projects.moc"
