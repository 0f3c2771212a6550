// Copy and move of subtrees, archiving, the drag-and-drop tables and locating a node: what each operation writes to
// rows, files and header-fill records, where the nodes land (renumbering, the recycle bin), and the refusals.
#include "support/NodeOpsFixture.h"
#include "support/TestSupport.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/FileLayout.h"
#include "trees/DragDrop.h"
#include "trees/LocateNode.h"
#include "trees/NodeCopy.h"
#include "trees/NodeFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

namespace {

QString text(const char* s)
{
    return QString::fromUtf8(s);
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files);
    names.sort();
    return names;
}

NodeOpsContext contextOf(NodeOpsFixture& f)
{
    ViewerHook viewer{[&f] { return f.viewerOpen; },
                      [&f] {
                          f.viewerOpen = false;
                          ++f.viewerClosed;
                      }};
    return NodeOpsContext{f.data, f.folder.dm(), f.folder.paths(), f.login, f.prompter, viewer};
}

SubtreeOps subtreeOps(NodeOpsFixture& f)
{
    return SubtreeOps(contextOf(f));
}

int idOf(const QModelIndex& i)
{
    return i.data(LibraryTreeModel::ItemIdRole).toInt();
}

// Header positions on a form's record, as the user sets them in "填写位置".
void setFillPosition(TDataPoolDM& dm, int fillId, int field, const QString& row, const QString& col)
{
    RowSet fill;
    fill.load(dm.GetHeadingFillRangeData(fillId), QStringLiteral("ID"));
    fill.setValues(fill.allRows().first(), {{QStringLiteral("BeFilled%1").arg(field), true},
                                            {QStringLiteral("Row%1").arg(field), row},
                                            {QStringLiteral("Col%1").arg(field), col}});
    dm.ApplyHeadingFillRangeUpdates(fillId, fill.changeLog());
}

bool isBlankFillRecord(const QVariantMap& fill)
{
    if (fill.isEmpty())
        return false;
    for (int n = 1; n <= 18; ++n)
        if (fill.value(QStringLiteral("BeFilled%1").arg(n)).toBool()
            || !fill.value(QStringLiteral("Row%1").arg(n)).toString().isEmpty())
            return false;
    return true;
}

// A template library with two templates: 模板甲 (folder 1: 分部甲 > 分类甲 > 分项一, 分项二) and 模板乙 (folder 2:
// 分部乙 > 分类乙 > 分项三). Returns the keys by name.
QHash<QString, int> twoTemplates(NodeOpsFixture& f)
{
    QHash<QString, int> k;
    NodeOps ops = f.ops();
    auto make = [&](int type, const QString& parent, const char* name) {
        const QModelIndex p = parent.isEmpty() ? f.node(0) : f.node(k.value(parent));
        k.insert(text(name), idOf(ops.CreateNode(type, p, text(name))));
    };
    make(9, {}, "模板甲");
    make(3, text("模板甲"), "分部甲");
    make(4, text("分部甲"), "分类甲");
    make(5, text("分类甲"), "分项一");
    make(5, text("分类甲"), "分项二");
    make(9, {}, "模板乙");
    make(3, text("模板乙"), "分部乙");
    make(4, text("分部乙"), "分类乙");
    make(5, text("分类乙"), "分项三");
    return k;
}

} // namespace

class TstNodeCopy : public QObject {
    Q_OBJECT

private slots:
    // ---- the tables ----

    void dropMenuCodes_data()
    {
        QTest::addColumn<int>("library");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("code");
        const int M = int(Library::Moban), Z = int(Library::ZiLiao), G = int(Library::GuiDang);
        struct Row {
            int lib, s, n, code;
        };
        const Row rows[] = {
            // template tree
            {M, 9, 0, 5}, {M, 9, 9, 10}, {M, 9, 2, 16}, {M, 9, 3, 0},
            {M, 3, 9, 5}, {M, 3, 3, 10}, {M, 3, 10, 10}, {M, 3, 1, 0}, {M, 10, 9, 5}, {M, 10, 3, 10},
            {M, 4, 3, 5}, {M, 4, 10, 5}, {M, 4, 4, 15}, {M, 4, 5, 0}, {M, 16, 10, 5}, {M, 16, 4, 15},
            {M, 5, 4, 5}, {M, 5, 5, 10}, {M, 5, 2, 16}, {M, 5, 3, 0},
            {M, 11, 4, 5}, {M, 11, 10, 5}, {M, 11, 5, 10}, {M, 11, 11, 10}, {M, 11, 9, 0},
            {M, 1, 0, 0}, {M, 6, 5, 0},
            // project tree
            {Z, 1, 0, 5}, {Z, 1, 1, 10}, {Z, 1, 2, 16},
            {Z, 3, 1, 5}, {Z, 3, 9, 0}, {Z, 3, 3, 10}, {Z, 10, 10, 10}, {Z, 10, 1, 5},
            {Z, 4, 3, 5}, {Z, 4, 4, 15}, {Z, 16, 4, 15}, {Z, 16, 2, 16},
            {Z, 5, 4, 5}, {Z, 5, 5, 10}, {Z, 6, 5, 5}, {Z, 6, 6, 10}, {Z, 6, 7, 0},
            {Z, 7, 11, 5}, {Z, 7, 7, 10}, {Z, 7, 2, 16}, {Z, 7, 6, 0},
            {Z, 11, 4, 5}, {Z, 11, 11, 10}, {Z, 9, 0, 0},
            // archive tree
            {G, 1, 0, 5}, {G, 1, 1, 10}, {G, 1, 2, 0}, {G, 2, 1, 5}, {G, 2, 2, 15}, {G, 2, 0, 0},
            {G, 3, 2, 15}, {G, 3, 3, 10}, {G, 3, 16, 10}, {G, 16, 2, 15}, {G, 16, 3, 10}, {G, 3, 1, 0},
        };
        for (const Row& r : rows)
            QTest::addRow("%s %d on %d", r.lib == M ? "template" : r.lib == Z ? "project" : "archive", r.s, r.n)
                << r.lib << r.s << r.n << r.code;
    }
    void dropMenuCodes()
    {
        QFETCH(int, library);
        QFETCH(int, source);
        QFETCH(int, target);
        QFETCH(int, code);
        QCOMPARE(DropMenuCode(Library(library), source, target), code);
    }

    void dragOverKinds_data()
    {
        QTest::addColumn<int>("library");
        QTest::addColumn<int>("source");
        QTest::addColumn<QList<int>>("accepted");
        const int M = int(Library::Moban), Z = int(Library::ZiLiao), G = int(Library::GuiDang);
        QTest::newRow("template 3") << M << 3 << QList<int>{2, 3, 9, 10};
        QTest::newRow("template 4") << M << 4 << QList<int>{2, 3, 4, 10};
        QTest::newRow("template 5") << M << 5 << QList<int>{2, 4, 5};
        QTest::newRow("template 9") << M << 9 << QList<int>{0, 2, 9};
        QTest::newRow("template 10") << M << 10 << QList<int>{2, 3, 9, 10};
        QTest::newRow("template 11") << M << 11 << QList<int>{2, 4, 5, 10, 11};
        QTest::newRow("template 16") << M << 16 << QList<int>{2, 3, 4, 10};
        QTest::newRow("template 1") << M << 1 << QList<int>{};
        QTest::newRow("project 1") << Z << 1 << QList<int>{0, 1, 2};
        QTest::newRow("project 3") << Z << 3 << QList<int>{1, 2, 3, 10};
        QTest::newRow("project 6") << Z << 6 << QList<int>{2, 5, 6};
        QTest::newRow("project 7") << Z << 7 << QList<int>{2, 7, 11};
        QTest::newRow("project 9") << Z << 9 << QList<int>{};
        QTest::newRow("project 10") << Z << 10 << QList<int>{1, 2, 3, 10};
        QTest::newRow("project 11") << Z << 11 << QList<int>{2, 4, 5, 10, 11};
        QTest::newRow("archive 0") << G << 0 << QList<int>{};
        QTest::newRow("archive 1") << G << 1 << QList<int>{0, 1};
        QTest::newRow("archive 2") << G << 2 << QList<int>{1, 2};
        QTest::newRow("archive 3") << G << 3 << QList<int>{2, 3, 16};
        QTest::newRow("archive 16") << G << 16 << QList<int>{2, 3, 16};
    }
    void dragOverKinds()
    {
        QFETCH(int, library);
        QFETCH(int, source);
        QFETCH(QList<int>, accepted);
        for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 16})
            QVERIFY2(DragOverKindAccepted(Library(library), source, n) == accepted.contains(n),
                     qPrintable(QStringLiteral("target kind %1").arg(n)));
        // Every pair the drag-over table accepts has a menu: none of them ends in "目标节点类型错误！".
        for (int n : accepted)
            QVERIFY2(DropMenuCode(Library(library), source, n) != DropMenu::None,
                     qPrintable(QStringLiteral("target kind %1").arg(n)));
    }

    // The tree's own refusals: itself, the bin and what lies in it, the root, a category onto its own descendant;
    // a node from the bin may go anywhere but onto the bin.
    void dragOverRefusals()
    {
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        NodeOps ops = f.ops();
        const int inner = idOf(ops.CreateNode(4, f.node(k[text("分类甲")]), text("子分类")));
        const LibraryTreeModel& t = f.data.tree;
        const QModelIndex bin = f.data.recycleNode();
        const QModelIndex category = f.node(k[text("分类甲")]);
        QVERIFY(!DragOverAccepted(t, category, category));
        QVERIFY(!DragOverAccepted(t, category, f.node(inner)));   // onto its own descendant
        QVERIFY(DragOverAccepted(t, f.node(inner), category));
        QVERIFY(DragOverAccepted(t, category, bin));
        QVERIFY(!DragOverAccepted(t, f.node(0), f.node(k[text("模板甲")])));
        QVERIFY(!DragOverAccepted(t, bin, f.node(0)));
        QVERIFY(!DragOverAccepted(t, category, QModelIndex()));

        f.prompter.defaultYes = true;
        QVERIFY(ops.DeleteNode(f.node(k[text("分项二")])));
        const QModelIndex recycled = f.node(k[text("分项二")]);
        QVERIFY(IsInRecycleBin(t, recycled));
        QVERIFY(!DragOverAccepted(t, recycled, bin));
        QVERIFY(DragOverAccepted(t, recycled, f.node(k[text("分类乙")])));
        QVERIFY(!DragOverAccepted(t, f.node(k[text("分项一")]), recycled));   // nothing into the bin's content
        QCOMPARE(SelfDropRefusal(t, f.node(k[text("分项一")]), f.node(0), false, DropPlace::Child),
                 text("目标节点类型错误！"));
        // Sibling entries of a child-only pair are refused as such.
        QVERIFY(!SelfDropRefusal(t, f.node(k[text("分项一")]), f.node(k[text("分类乙")]), true, DropPlace::Prior)
                     .isEmpty());
        QVERIFY(SelfDropRefusal(t, f.node(k[text("分项一")]), f.node(k[text("分类乙")]), true, DropPlace::Child)
                    .isEmpty());
    }

    void archiveDragOver()
    {
        NodeOpsFixture z(Library::ZiLiao);
        z.seed(nodeRec(1, 2, text("工程"), 0, 1), 0);
        LibraryData g(Library::GuiDang);
        g.load(z.folder.dm(), z.login.opName);
        NodeOps gops(NodeOpsContext{g, z.folder.dm(), z.folder.paths(), z.login, z.prompter});
        const QModelIndex cabinet = gops.CreateNode(1, g.tree.index(0, 0), text("柜"));
        const QModelIndex category = gops.CreateNode(2, cabinet, text("类"));
        const QModelIndex project = z.node(2);
        QVERIFY(!ArchiveDragOverAccepted(z.data.tree, project, g.tree.index(0, 0)));
        QVERIFY(!ArchiveDragOverAccepted(z.data.tree, project, g.tree.indexOfItem(idOf(cabinet))));
        QVERIFY(ArchiveDragOverAccepted(z.data.tree, project, g.tree.indexOfItem(idOf(category))));
        QVERIFY(!ArchiveDragOverAccepted(z.data.tree, z.node(0), g.tree.indexOfItem(idOf(category))));
        QVERIFY(!ArchiveDragOverAccepted(z.data.tree, z.data.recycleNode(), g.tree.indexOfItem(idOf(category))));
        QCOMPARE(ArchiveMenuCode(2), ArchiveMenu::Child | ArchiveMenu::Siblings);
        QCOMPARE(ArchiveMenuCode(3), ArchiveMenu::Siblings);
        QCOMPARE(ArchiveMenuCode(16), ArchiveMenu::Siblings);
        QCOMPARE(ArchiveMenuCode(1), ArchiveMenu::None);
    }

    // ---- copy ----

    // A template copied as a child of the root: a new folder with copies of every form under new numbers, the copy
    // just above the recycle bin (whose row follows), blank header-fill records, the texts and the information box.
    void copyTemplateToTheRoot()
    {
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        const NodeRecord one = f.record(k[text("分项一")]);
        setFillPosition(f.folder.dm(), one.FillMode, 1, text("8"), text("B"));
        QFile edit(f.filePath(one));
        QVERIFY(edit.open(QIODevice::Append));
        edit.write("edited");
        edit.close();
        f.prompter.events.clear();

        const QModelIndex copy = subtreeOps(f).CopySubtreeAsChild(f.node(k[text("模板甲")]), f.node(0));
        QCOMPARE(f.shape(), text("模板库(模板甲(分部甲(分类甲(分项一 分项二))) 模板乙(分部乙(分类乙(分项三))) "
                                 "模板甲(分部甲(分类甲(分项一 分项二))) 回收站)"));
        QCOMPARE(f.dbShape(), text("模板库:0(模板甲:0(分部甲:0(分类甲:0(分项一:0 分项二:1))) "
                                   "模板乙:1(分部乙:0(分类乙:0(分项三:0))) "
                                   "模板甲:2(分部甲:0(分类甲:0(分项一:0 分项二:1))) 回收站:3)"));
        const NodeRecord top = f.data.tree.record(copy);
        QCOMPARE(top.iDir, 3);
        QVERIFY(top.ItemID > k[text("分项三")]);
        QCOMPARE(filesIn(f.folder.paths().MobanFolderPath(3)), (QStringList{text("1.cll"), text("2.cll")}));
        const QModelIndex copiedOne = f.data.tree.index(0, 0, f.data.tree.index(0, 0, f.data.tree.index(0, 0, copy)));
        const NodeRecord c1 = f.data.tree.record(copiedOne);
        QCOMPARE(c1.iDir, 3);
        QCOMPARE(c1.File_Name, 1);
        QCOMPARE(bytes(f.filePath(c1)), bytes(f.filePath(one)));
        QVERIFY(c1.FillMode != one.FillMode);
        QVERIFY(isBlankFillRecord(f.fillRange(c1.FillMode)));   // positions are not carried over
        QVERIFY(f.fillRange(one.FillMode).value(QStringLiteral("BeFilled1")).toBool());
        // The source is as it was.
        QCOMPARE(filesIn(f.folder.paths().MobanFolderPath(1)), (QStringList{text("1.cll"), text("2.cll")}));
        QCOMPARE(f.prompter.messages(QStringLiteral("information")), QStringList{text("目标位置: 模板库->最后一个节点。")});
        const QStringList status = f.prompter.messages(QStringLiteral("status"));
        QCOMPARE(status.first(), text("正准备复制..."));
        QVERIFY(status.contains(text("正在复制节点: 分项二")));
        QCOMPARE(status.mid(status.size() - 2), (QStringList{text("复制完成！"), text("当前节点: 模板甲")}));
        QCOMPARE(f.prompter.busyDepth, 0);
        QCOMPARE(f.data.rows.pendingCount(), 0);
    }

    // Copies as siblings: numbered after the highest file of the folder; the siblings renumbered in tree order.
    void copyAsSiblings_data()
    {
        QTest::addColumn<bool>("prior");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("message");
        QTest::newRow("prior") << true << text("分类甲:0(分项一:0 分项一:1 分项二:2)") << text("目标位置: 分项二->上方节点。");
        QTest::newRow("next") << false << text("分类甲:0(分项一:0 分项二:1 分项一:2)") << text("目标位置: 分项二->下方节点。");
    }
    void copyAsSiblings()
    {
        QFETCH(bool, prior);
        QFETCH(QString, shape);
        QFETCH(QString, message);
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        const QModelIndex copy = subtreeOps(f).CopySubtreeAsSibling(f.node(k[text("分项一")]), f.node(k[text("分项二")]), prior);
        QVERIFY(f.dbShape().contains(shape));
        QCOMPARE(copy.row(), prior ? 1 : 2);
        const NodeRecord c = f.data.tree.record(copy);
        QCOMPARE(c.iDir, 1);
        QCOMPARE(c.File_Name, 3);
        QVERIFY(QFileInfo::exists(f.filePath(c)));
        QCOMPARE(f.prompter.messages(QStringLiteral("information")).last(), message);
        QVERIFY(f.prompter.messages(QStringLiteral("status")).contains(text("刷新相对位置...")));
    }

    // A copied project gets a new folder, an empty overview (the source's values are not copied), rows of the
    // current user, its forms new files and blank header-fill records.
    void copyProject()
    {
        NodeOpsFixture f(Library::ZiLiao);
        f.seed(nodeRec(1, 2, text("工程甲"), 0, 1), 0);
        f.makeFolder(1);
        NodeOps ops = f.ops();
        const int division = idOf(ops.CreateNode(3, f.node(2), text("分部")));
        const int category = idOf(ops.CreateNode(4, f.node(division), text("分类")));
        const int sub = idOf(ops.CreateNode(5, f.node(category), text("分项")));
        setFillPosition(f.folder.dm(), f.record(sub).FillMode, 3, text("4"), text("c"));
        const int form = idOf(ops.CreateNode(6, f.node(sub), text("检验表")));
        RowSet gk;
        gk.load(f.folder.dm().GetGcgkData(1), QStringLiteral("ID"));
        gk.setValue(gk.allRows().first(), QStringLiteral("s1"), text("工程甲"));
        f.folder.dm().ApplyGcgkUpdates(1, gk.changeLog());

        f.login.opName = text("admin");   // the owner as typed at login
        const QModelIndex copy = subtreeOps(f).CopySubtreeAsChild(f.node(2), f.node(0));
        const NodeRecord top = f.data.tree.record(copy);
        QCOMPARE(top.iDir, 2);
        QCOMPARE(f.dbShape(), text("资料库:0(工程甲:0(分部:0(分类:0(分项:0(检验表:0)))) "
                                   "工程甲:1(分部:0(分类:0(分项:0(检验表:0)))) 回收站:2)"));
        RowSet copiedGk;
        copiedGk.load(f.folder.dm().GetGcgkData(2), QStringLiteral("ID"));
        QCOMPARE(copiedGk.totalCount(), 1);
        QVERIFY(copiedGk.value(copiedGk.allRows().first(), QStringLiteral("s1")).toString().isEmpty());
        QCOMPARE(f.dbRow(top.ItemID).value(QStringLiteral("UserID")).toString(), text("admin"));

        const QModelIndex copiedForm = f.data.tree.index(0, 0, f.data.tree.index(0, 0, f.data.tree.index(0, 0,
                                                                 f.data.tree.index(0, 0, copy))));
        const NodeRecord cf = f.data.tree.record(copiedForm);
        QCOMPARE(cf.TypeID, 6);
        QCOMPARE(cf.iDir, 2);
        QCOMPARE(cf.File_Name, 2);
        QCOMPARE(bytes(f.filePath(cf)), bytes(f.filePath(f.record(form))));
        QVERIFY(isBlankFillRecord(f.fillRange(cf.FillMode)));
        QVERIFY(!isBlankFillRecord(f.fillRange(f.record(form).FillMode)));
        QCOMPARE(filesIn(f.folder.paths().ZiLiaoFolderPath(2)), (QStringList{text("1.cll"), text("2.cll")}));
    }

    void copyRefusesAMissingSourceFile()
    {
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        QVERIFY(QFile::remove(f.filePath(f.record(k[text("分项二")]))));
        const QString before = f.dbShape();
        QCOMPARE(failureMessage([&] { subtreeOps(f).CopySubtreeAsChild(f.node(k[text("模板甲")]), f.node(0)); }),
                 text("节点“分项二”的文件不存在？"));
        QCOMPARE(f.dbShape(), before);
        QVERIFY(!QFileInfo::exists(f.folder.paths().MobanFolderPath(3)));
        QCOMPARE(f.data.tree.nodeCount(), 11);
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    // ---- move ----

    // A division moved into another template takes its files into that folder, renumbered from the highest number
    // there; the header-fill records stay as they are; the viewer lets go of its file first.
    void moveIntoAnotherTemplateRelocatesFiles()
    {
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        const NodeRecord one = f.record(k[text("分项一")]);
        setFillPosition(f.folder.dm(), one.FillMode, 2, text("3"), text("D"));
        const QByteArray oneBytes = bytes(f.filePath(one));
        f.viewerOpen = true;
        f.prompter.events.clear();

        SubtreeOps ops = subtreeOps(f);
        const QModelIndex moved = ops.MoveSubtree(f.node(k[text("分部甲")]), f.node(k[text("模板乙")]), DropPlace::Child);
        QVERIFY(ops.relocated());
        QCOMPARE(f.viewerClosed, 1);
        QCOMPARE(f.dbShape(), text("模板库:0(模板甲:0 模板乙:1(分部乙:0(分类乙:0(分项三:0)) "
                                   "分部甲:1(分类甲:0(分项一:0 分项二:1))) 回收站:2)"));
        QCOMPARE(filesIn(f.folder.paths().MobanFolderPath(1)), QStringList());
        QCOMPARE(filesIn(f.folder.paths().MobanFolderPath(2)),
                 (QStringList{text("1.cll"), text("2.cll"), text("3.cll")}));
        const NodeRecord after = f.record(k[text("分项一")]);
        QCOMPARE(after.iDir, 2);
        QCOMPARE(after.File_Name, 2);
        QCOMPARE(f.record(k[text("分项二")]).File_Name, 3);
        QCOMPARE(f.record(k[text("分类甲")]).iDir, 2);
        QCOMPARE(f.record(k[text("分类甲")]).File_Name, 0);
        QCOMPARE(bytes(f.filePath(after)), oneBytes);
        QCOMPARE(after.FillMode, one.FillMode);
        QCOMPARE(f.fillRange(one.FillMode).value(QStringLiteral("Col2")).toString(), text("D"));
        QCOMPARE(f.dbRow(k[text("分项一")]).value(QStringLiteral("File_Name")).toInt(), 2);
        QCOMPARE(f.data.tree.record(moved).P_ItemID, k[text("模板乙")]);
        QCOMPARE(f.prompter.messages(QStringLiteral("information")), QStringList{text("目标位置: 模板乙->最后一个节点。")});
        const QStringList status = f.prompter.messages(QStringLiteral("status"));
        QVERIFY(status.contains(text("修改节点: “分项二”附属信息、移动文件")));
        QCOMPARE(status.mid(status.size() - 2), (QStringList{text("移动完成！"), text("当前节点: 分部甲")}));

        // Within one template no file moves.
        const QModelIndex back = subtreeOps(f).MoveSubtree(f.node(k[text("分类甲")]), f.node(k[text("分部乙")]),
                                                           DropPlace::Child);
        QVERIFY(back.isValid());
        QCOMPARE(f.record(k[text("分项一")]).File_Name, 2);
        QCOMPARE(filesIn(f.folder.paths().MobanFolderPath(2)),
                 (QStringList{text("1.cll"), text("2.cll"), text("3.cll")}));
        QCOMPARE(f.viewerClosed, 1);
    }

    // Sibling moves within one list leave iPartIndex 0, 1, 2, ... in tree order, also over gaps.
    void moveAsSiblingRenumbers_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("prior");
        QTest::addColumn<QString>("shape");
        QTest::newRow("last before first") << 3 << 0 << true << text("D:0 A:1 B:2 C:3");
        QTest::newRow("first after last") << 0 << 3 << false << text("B:0 C:1 D:2 A:3");
        QTest::newRow("first after second") << 0 << 1 << false << text("B:0 A:1 C:2 D:3");
        QTest::newRow("third before second") << 2 << 1 << true << text("A:0 C:1 B:2 D:3");
    }
    void moveAsSiblingRenumbers()
    {
        QFETCH(int, source);
        QFETCH(int, target);
        QFETCH(bool, prior);
        QFETCH(QString, shape);
        NodeOpsFixture f(Library::Moban);
        f.seed(nodeRec(9, 2, text("T"), 0, 1), 0);
        const char* names[] = {"A", "B", "C", "D"};
        for (int i = 0; i < 4; ++i)
            f.seed(nodeRec(3, 10 + i, text(names[i]), 2, 1), i * 3);   // gaps: 0, 3, 6, 9
        const QModelIndex moved = subtreeOps(f).MoveSubtree(f.node(10 + source), f.node(10 + target),
                                                            prior ? DropPlace::Prior : DropPlace::Next);
        QVERIFY(moved.isValid());
        QCOMPARE(f.dbShape(), QStringLiteral("模板库:0(T:0(%1) 回收站:99)").arg(shape));
        QVERIFY(f.shape().contains(QString(shape).remove(QRegularExpression(QStringLiteral(":\\d")))));
    }

    // A template comes back from the recycle bin by a move onto the root: just above the bin, whose row follows and
    // whose icon shows it empty again.
    void restoreTemplateFromTheBin()
    {
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        f.prompter.defaultYes = true;
        QVERIFY(f.ops().DeleteNode(f.node(k[text("模板甲")])));
        QCOMPARE(f.data.tree.iconIndex(f.data.recycleNode()), NodeIcon::RecycleBinFull);
        QCOMPARE(f.dbShape(), text("模板库:0(模板乙:0(分部乙:0(分类乙:0(分项三:0))) "
                                   "回收站:1(模板甲:0(分部甲:0(分类甲:0(分项一:0 分项二:1)))))"));
        const QModelIndex moved = subtreeOps(f).MoveSubtree(f.node(k[text("模板甲")]), f.node(0), DropPlace::Child);
        QCOMPARE(moved.row(), 1);
        QCOMPARE(f.dbShape(), text("模板库:0(模板乙:0(分部乙:0(分类乙:0(分项三:0))) "
                                   "模板甲:1(分部甲:0(分类甲:0(分项一:0 分项二:1))) 回收站:2)"));
        QCOMPARE(f.data.tree.iconIndex(f.data.recycleNode()), NodeIcon::RecycleBinEmpty);
        QCOMPARE(f.record(k[text("分项一")]).iDir, 1);   // a template keeps its folder
        QVERIFY(QFileInfo::exists(f.filePath(f.record(k[text("分项一")]))));
        QVERIFY(f.prompter.messages(QStringLiteral("status")).contains(text("正在刷新回收站节点的相对位置...")));
    }

    void moveRefusals()
    {
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        const QString before = f.dbShape();
        SubtreeOps ops = subtreeOps(f);
        QVERIFY(!ops.MoveSubtree(f.node(k[text("分类甲")]), f.node(k[text("分部甲")]), DropPlace::Child).isValid());
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")),
                 QStringList{text("无法移动“分类甲”：目标节点和源节点相同。")});
        QCOMPARE(failureMessage([&] { ops.MoveSubtree(f.node(k[text("分项一")]), f.node(0), DropPlace::Child); }),
                 text("目标节点类型错误！"));
        QCOMPARE(failureMessage([&] {
                     ops.MoveSubtree(f.node(k[text("分项一")]), f.node(k[text("分项二")]), DropPlace::Prior);
                 }),
                 text("父节点没有指定？"));   // already just above it: nothing to write
        QCOMPARE(f.dbShape(), before);
        QCOMPARE(f.prompter.busyDepth, 0);
        QCOMPARE(f.data.rows.pendingCount(), 0);
    }

    // Real causes of a failed relocation leave rows, files and the tree as they were, and name what failed: a
    // missing form file, a stray file in the way of a new number, a folder that cannot be written.
    void failedRelocationChangesNothing_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing file") << text("missing");
        QTest::newRow("file in the way") << text("in the way");
        QTest::newRow("unwritable folder") << text("unwritable");
    }
    void failedRelocationChangesNothing()
    {
        QFETCH(QString, cause);
        NodeOpsFixture f(Library::Moban);
        const QHash<QString, int> k = twoTemplates(f);
        const QString folder1 = f.folder.paths().MobanFolderPath(1);
        const QString folder2 = f.folder.paths().MobanFolderPath(2);
        QString expected;
        if (cause == text("missing")) {
            QVERIFY(QFile::remove(folder1 + text("2.cll")));
            expected = text("文件“%1”不存在？").arg(QDir::toNativeSeparators(folder1 + text("2.cll")));
        } else if (cause == text("in the way")) {
            QFile stray(folder2 + text("3.cll"));
            QVERIFY(stray.open(QIODevice::WriteOnly));
            stray.close();
            expected = text("文件“%1”存在？").arg(QDir::toNativeSeparators(folder2 + text("3.cll")));
        } else {
            if (geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QFile::setPermissions(folder2, QFile::ReadOwner | QFile::ExeOwner);
            expected = text("移动文件出错？");
        }
        const QStringList files1 = filesIn(folder1), files2 = filesIn(folder2);
        const QString before = f.dbShape();
        const QString message = failureMessage(
            [&] { subtreeOps(f).MoveSubtree(f.node(k[text("分部甲")]), f.node(k[text("模板乙")]), DropPlace::Child); });
        QFile::setPermissions(folder2, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(message, expected);
        QCOMPARE(f.dbShape(), before);
        QCOMPARE(filesIn(folder1), files1);
        QCOMPARE(filesIn(folder2), files2);
        QCOMPARE(f.shape(), text("模板库(模板甲(分部甲(分类甲(分项一 分项二))) 模板乙(分部乙(分类乙(分项三))) 回收站)"));
        QCOMPARE(f.record(k[text("分项一")]).iDir, 1);
        QCOMPARE(f.data.rows.pendingCount(), 0);
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    // ---- the archive ----

    // Archiving a project onto a category: a category for every node but the forms, archived forms for inspection
    // and general forms, external files as they are; each refers to the project's own file; nothing on disk.
    void archiveProject()
    {
        NodeOpsFixture z(Library::ZiLiao);
        z.seed(nodeRec(1, 2, text("工程"), 0, 1), 0);
        z.makeFolder(1);
        NodeOps ops = z.ops();
        const int division = idOf(ops.CreateNode(3, z.node(2), text("分部")));
        const int category = idOf(ops.CreateNode(4, z.node(division), text("分类")));
        const int sub = idOf(ops.CreateNode(5, z.node(category), text("分项")));
        const int form = idOf(ops.CreateNode(6, z.node(sub), text("检验表")));
        const int style = idOf(ops.CreateNode(11, z.node(category), text("样式")));
        const int general = idOf(ops.CreateNode(7, z.node(style), text("通用表")));
        z.seed(nodeRec(16, 40, text("说明.doc"), division, 1, 9, text(".doc")), 1);
        QFile doc(z.folder.paths().ZiLiaoFolderPath(1) + text("9.doc"));
        QVERIFY(doc.open(QIODevice::WriteOnly));
        doc.close();
        const QStringList filesBefore = filesIn(z.folder.paths().ZiLiaoFolderPath(1));

        LibraryData g(Library::GuiDang);
        g.load(z.folder.dm(), z.login.opName);
        NodeOpsContext gctx{g, z.folder.dm(), z.folder.paths(), z.login, z.prompter};
        NodeOps gops(gctx);
        const int cabinet = idOf(gops.CreateNode(1, g.tree.index(0, 0), text("柜")));
        const int shelf = idOf(gops.CreateNode(2, g.tree.indexOfItem(cabinet), text("类")));
        z.prompter.events.clear();

        const QModelIndex top = ArchiveSubtree(gctx, z.data.tree, z.node(2), g.tree.indexOfItem(shelf), DropPlace::Child);
        QVERIFY(z.prompter.messages(QStringLiteral("status")).isEmpty());
        QVERIFY(z.prompter.messages(QStringLiteral("information")).isEmpty());
        QCOMPARE(filesIn(z.folder.paths().ZiLiaoFolderPath(1)), filesBefore);
        QStringList kinds;
        g.tree.forEachPreOrder([&](const QModelIndex& i, int) {
            kinds << QStringLiteral("%1=%2").arg(i.data().toString()).arg(i.data(LibraryTreeModel::TypeIdRole).toInt());
        });
        QCOMPARE(kinds.join(QLatin1Char(' ')), text("档案库=0 柜=1 类=2 工程=2 分部=2 分类=2 分项=2 检验表=3 样式=2 "
                                                    "通用表=3 说明.doc=16"));
        // The archived forms show the project's files.
        for (int projectId : {form, general, 40}) {
            const NodeRecord p = z.record(projectId);
            QModelIndex archived;
            g.tree.forEachPreOrder([&](const QModelIndex& i, int) {
                if (i.data().toString() == p.Name)
                    archived = i;
            });
            const NodeRecord a = g.tree.record(archived);
            QCOMPARE(a.iDir, p.iDir);
            QCOMPARE(a.File_Name, p.File_Name);
            QCOMPARE(a.Ext, p.Ext);
            QCOMPARE(a.FillMode, p.FillMode);
            QCOMPARE(NodeFile(z.folder.paths(), Library::GuiDang, a), NodeFile(z.folder.paths(), Library::ZiLiao, p));
            QVERIFY(QFileInfo::exists(NodeFile(z.folder.paths(), Library::GuiDang, a)));
        }
        LibraryData fresh(Library::GuiDang);
        fresh.load(z.folder.dm(), z.login.opName);
        QCOMPARE(fresh.tree.nodeCount(), g.tree.nodeCount());
        QCOMPARE(fresh.rows.value(fresh.rows.find(idOf(top)), QStringLiteral("UserID")).toString(), text("Admin"));

        // As a prior sibling of the category the siblings are renumbered; archiving onto a cabinet is refused.
        const QModelIndex before = ArchiveSubtree(gctx, z.data.tree, z.node(division), g.tree.indexOfItem(shelf),
                                                  DropPlace::Prior);
        QCOMPARE(before.row(), 0);
        QCOMPARE(g.rows.value(g.rows.find(shelf), QStringLiteral("iPartIndex")).toInt(), 1);
        QCOMPARE(failureMessage([&] {
                     ArchiveSubtree(gctx, z.data.tree, z.node(2), g.tree.indexOfItem(cabinet), DropPlace::Child);
                 }),
                 text("目标节点类型错误！"));
        // An archived form takes archived subtrees only beside it.
        QModelIndex archivedForm;
        g.tree.forEachPreOrder([&](const QModelIndex& i, int) {
            if (i.data(LibraryTreeModel::TypeIdRole).toInt() == 3 && !archivedForm.isValid())
                archivedForm = i;
        });
        QVERIFY(!failureMessage([&] { ArchiveSubtree(gctx, z.data.tree, z.node(form), archivedForm, DropPlace::Child); })
                     .isEmpty());
        QVERIFY(ArchiveSubtree(gctx, z.data.tree, z.node(form), archivedForm, DropPlace::Next).isValid());
        QCOMPARE(z.prompter.busyDepth, 0);
    }

    // Copy and move inside the archive library: rows only, with the same file references; "Delta is null." when a
    // move changes nothing; the same-parent warning.
    void copyAndMoveInTheArchive()
    {
        NodeOpsFixture f(Library::GuiDang);
        NodeOps ops = f.ops();
        const int cabinet = idOf(ops.CreateNode(1, f.node(0), text("柜")));
        const int a = idOf(ops.CreateNode(2, f.node(cabinet), text("甲")));
        const int b = idOf(ops.CreateNode(2, f.node(cabinet), text("乙")));
        f.seed(nodeRec(3, 50, text("表"), a, 7, 3, text(".cll"), 12), 0);
        f.prompter.events.clear();
        SubtreeOps sub = subtreeOps(f);
        const QModelIndex copy = sub.CopySubtreeAsChild(f.node(a), f.node(b));
        QCOMPARE(f.dbShape(), text("档案库:0(柜:0(甲:0(表:0) 乙:1(甲:0(表:0))))"));
        const NodeRecord copiedForm = f.data.tree.record(f.data.tree.index(0, 0, copy));
        QCOMPARE(copiedForm.iDir, 7);
        QCOMPARE(copiedForm.File_Name, 3);
        QCOMPARE(copiedForm.FillMode, 12);
        QVERIFY(copiedForm.ItemID != 50);
        QCOMPARE(f.prompter.messages(QStringLiteral("status")),
                 (QStringList{text("正准备复制..."), text("正在复制节点: 甲"), text("正在复制节点: 表"), text("复制完成！"),
                              text("当前节点: 甲")}));
        QVERIFY(f.prompter.messages(QStringLiteral("information")).isEmpty());
        f.prompter.events.clear();
        sub.CopySubtreeAsSibling(f.node(50), f.node(copiedForm.ItemID), true);
        QVERIFY(f.prompter.messages(QStringLiteral("status")).isEmpty());
        QCOMPARE(f.dbShape(), text("档案库:0(柜:0(甲:0(表:0) 乙:1(甲:0(表:0 表:1))))"));

        QVERIFY(sub.MoveSubtree(f.node(b), f.node(a), DropPlace::Prior).isValid());
        QCOMPARE(f.dbShape(), text("档案库:0(柜:0(乙:0(甲:0(表:0 表:1)) 甲:1(表:0)))"));
        QCOMPARE(failureMessage([&] { sub.MoveSubtree(f.node(b), f.node(a), DropPlace::Prior); }), text("Delta is null."));
        QVERIFY(!sub.MoveSubtree(f.node(50), f.node(a), DropPlace::Child).isValid());
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")), QStringList{text("无法移动“表”：目标节点和源节点相同。")});
        QVERIFY(sub.MoveSubtree(f.node(50), f.node(b), DropPlace::Child).isValid());
        QCOMPARE(f.dbShape(), text("档案库:0(柜:0(乙:0(甲:0(表:0 表:1) 表:1) 甲:1))"));
        QCOMPARE(f.dbRow(50).value(QStringLiteral("iDir")).toInt(), 7);
    }

    // ---- locate ----

    void locateHitCounting()
    {
        NodeOpsFixture f(Library::GuiDang);
        NodeOps ops = f.ops();
        // Flat order: 档案库, 柜A, 桥梁 一, 路面, 桥梁 二, 柜B, 桥梁 三, abc
        const int cabA = idOf(ops.CreateNode(1, f.node(0), text("柜A")));
        const int q1 = idOf(ops.CreateNode(2, f.node(cabA), text("桥梁 一")));
        const int road = idOf(ops.CreateNode(2, f.node(cabA), text("路面")));
        const int q2 = idOf(ops.CreateNode(2, f.node(cabA), text("桥梁 二")));
        const int cabB = idOf(ops.CreateNode(1, f.node(0), text("柜B")));
        const int q3 = idOf(ops.CreateNode(2, f.node(cabB), text("桥梁 三")));
        const int abc = idOf(ops.CreateNode(2, f.node(cabB), text("abc")));

        // Down from the selected node: the first press may find the selected node itself.
        NodeLocator down(f.data.tree);
        QCOMPARE(idOf(down.findNext(text(" 桥梁 "), false, false, f.node(q1))), q1);
        QCOMPARE(down.hits(), 1);
        QCOMPARE(idOf(down.findNext(text("桥梁"), false, false, f.node(q1))), q2);
        QCOMPARE(idOf(down.findNext(text("桥梁"), false, false, f.node(q2))), q3);
        QVERIFY(!down.findNext(text("桥梁"), false, false, f.node(q3)).isValid());   // no wrap-around
        QCOMPARE(down.hits(), 3);

        // Another direction (or text, or flag) starts afresh from the selected node, itself included.
        QCOMPARE(idOf(down.findNext(text("桥梁"), true, false, f.node(q3))), q3);
        QCOMPARE(down.hits(), 1);
        QCOMPARE(idOf(down.findNext(text("桥梁"), true, false, f.node(q3))), q2);
        QCOMPARE(idOf(down.findNext(text("桥梁"), true, false, f.node(road))), q1);   // moved by hand: from there
        QVERIFY(!down.findNext(text("桥梁"), true, false, f.node(q1)).isValid());

        // A text only the selected node holds: found once, then not found.
        NodeLocator once(f.data.tree);
        QCOMPARE(idOf(once.findNext(text("路面"), false, false, f.node(road))), road);
        QVERIFY(!once.findNext(text("路面"), false, false, f.node(road)).isValid());

        // No selection: down from the root, up from the last node.
        NodeLocator none(f.data.tree);
        QCOMPARE(idOf(none.findNext(text("柜"), false, false, {})), cabA);
        NodeLocator up(f.data.tree);
        QCOMPARE(idOf(up.findNext(text("柜"), true, false, {})), cabB);

        // Whole text, case, blanks.
        NodeLocator whole(f.data.tree);
        QVERIFY(!whole.findNext(text("桥梁"), false, true, f.node(0)).isValid());
        QCOMPARE(idOf(whole.findNext(text("桥梁 二"), false, true, f.node(0))), q2);
        NodeLocator cased(f.data.tree);
        QVERIFY(!cased.findNext(text("ABC"), false, false, f.node(0)).isValid());
        QCOMPARE(idOf(cased.findNext(text("bc"), false, false, f.node(0))), abc);
        QVERIFY(!NodeLocator(f.data.tree).findNext(text("   "), false, false, f.node(0)).isValid());
        f.seed(nodeRec(2, 90, QString(), cabB, 0), 5);
        QCOMPARE(idOf(NodeLocator(f.data.tree).findNext(text("   "), false, true, f.node(0))), 90);
        QCOMPARE(NodeNotFoundMessage(text("桥梁")), text("“桥梁” 没有被找到！"));
    }
};

QTEST_GUILESS_MAIN(TstNodeCopy)
#include "tst_nodecopy.moc"
