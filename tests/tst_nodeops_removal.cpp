#include "support/TestSupport.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "support/NodeOpsFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

// Delete in two stages (into the recycle bin, then for good), emptying the bin and the archive's delete: rows,
// files, header-fill and overview rows, folders, sibling order, the bin's icon and every message.
class TstNodeOpsRemoval : public QObject {
    Q_OBJECT

    static QString text(const char* s) { return QString::fromUtf8(s); }


    // Template library: A (folder 1), T (folder 2) with category C holding sub-item S and style Y, U (folder 3).
    static void buildTemplates(NodeOpsFixture& f)
    {
        NodeOps ops = f.ops();
        const QModelIndex root = f.node(0);
        ops.CreateNode(9, root, text("A"));                          // 2
        const QModelIndex t = ops.CreateNode(9, root, text("T"));    // 3
        ops.CreateNode(9, root, text("U"));                          // 4
        const QModelIndex c = ops.CreateNode(4, t, text("C"));       // 5
        ops.CreateNode(5, c, text("S"));                             // 6
        ops.CreateNode(11, c, text("Y"));                            // 7
        QCOMPARE(f.dbShape(), text("模板库:0(A:0 T:1(C:0(S:0 Y:1)) U:2 回收站:3)"));
    }

    static int statusIndex(const NodeOpsFixture& f, const QString& status)
    {
        const QStringList all = f.prompter.messages(QStringLiteral("status"));
        return int(all.indexOf(status));
    }

private slots:
    void recycleTopLevelNodeRenumbersTheRootsChildren()
    {
        NodeOpsFixture f(Library::Moban);
        buildTemplates(f);
        NodeOps ops = f.ops();
        QVERIFY(!ops.DeleteNode(f.node(3)));   // not confirmed
        QCOMPARE(f.dbShape(), text("模板库:0(A:0 T:1(C:0(S:0 Y:1)) U:2 回收站:3)"));

        QSignalSpy changed(&f.data.tree, &QAbstractItemModel::dataChanged);
        f.prompter.defaultYes = true;
        QVERIFY(ops.DeleteNode(f.node(3)));
        QCOMPARE(f.prompter.events.last().kind, text("confirm"));
        QCOMPARE(f.prompter.events.last().caption, text("确认删除"));
        QCOMPARE(f.prompter.events.last().text, text("确实要把 “T” 放入回收站吗？"));
        QCOMPARE(f.shape(), text("模板库(A U 回收站(T(C(S Y))))"));
        // The bin's row again stands at its index; the subtree's own rows are untouched.
        QCOMPARE(f.dbShape(), text("模板库:0(A:0 U:1 回收站:2(T:0(C:0(S:0 Y:1))))"));
        QCOMPARE(f.record(3).P_ItemID, 1);
        QCOMPARE(f.dbRow(5).value(QStringLiteral("P_ItemID")).toInt(), 3);
        QCOMPARE(f.data.tree.iconIndex(f.node(1)), int(NodeIcon::RecycleBinFull));
        bool binRepainted = false;
        for (const QList<QVariant>& args : changed)
            binRepainted |= args.at(0).toModelIndex() == f.node(1);
        QVERIFY(binRepainted);
        // A recycled template keeps its folder and files.
        QVERIFY(QFileInfo::exists(f.filePath(f.record(6))));

        QVERIFY(ops.DeleteNode(f.node(2)));
        QCOMPARE(f.dbShape(), text("模板库:0(U:0 回收站:1(T:0(C:0(S:0 Y:1)) A:1))"));
        QCOMPARE(f.data.rows.pendingCount(), 0);
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    void recycleDeeperNodeLeavesAGap()
    {
        NodeOpsFixture f(Library::ZiLiao);
        f.seed(nodeRec(1, 2, text("P"), 0, 1), 0);
        f.seed(nodeRec(3, 3, text("D1"), 2, 1), 0);
        f.seed(nodeRec(3, 4, text("D2"), 2, 1), 1);
        f.seed(nodeRec(3, 5, text("D3"), 2, 1), 2);
        f.prompter.defaultYes = true;
        QVERIFY(f.ops().DeleteNode(f.node(4)));
        QCOMPARE(f.dbShape(), text("资料库:0(P:0(D1:0 D3:2) 回收站:99(D2:0))"));
        QCOMPARE(f.dbRow(4).value(QStringLiteral("UserID")).toString(), text("Admin"));   // keeps its owner
    }

    void purgeRemovesFilesRowsAndTheEmptiedFolder()
    {
        NodeOpsFixture f(Library::Moban);
        buildTemplates(f);
        const NodeRecord s = f.record(6), y = f.record(7);
        const QString folder = f.folder.paths().MobanFolderPath(2);
        f.prompter.defaultYes = true;
        NodeOps ops = f.ops();
        QVERIFY(ops.DeleteNode(f.node(3)));

        f.prompter.events.clear();
        f.prompter.defaultYes = false;
        f.viewerOpen = true;
        QVERIFY(!ops.DeleteNode(f.node(3)));   // answered No
        QCOMPARE(f.prompter.events.last().text, text("确实要删除节点: T"));
        QVERIFY(QFileInfo::exists(f.filePath(s)));
        QVERIFY(f.node(3).isValid());
        QCOMPARE(f.viewerClosed, 0);

        f.prompter.events.clear();
        f.prompter.defaultYes = true;
        QVERIFY(ops.DeleteNode(f.node(3)));
        QCOMPARE(f.viewerClosed, 1);   // the viewer's file is closed before files go
        QVERIFY(!QFileInfo::exists(f.filePath(s)));
        QVERIFY(!QFileInfo::exists(f.filePath(y)));
        QVERIFY(!QFileInfo::exists(folder));
        for (int key : {3, 5, 6, 7})
            QVERIFY(f.dbRow(key).isEmpty());
        QVERIFY(f.fillRange(s.FillMode).isEmpty());
        QVERIFY(f.fillRange(y.FillMode).isEmpty());
        QCOMPARE(f.shape(), text("模板库(A U 回收站)"));
        QCOMPARE(f.data.tree.iconIndex(f.node(1)), int(NodeIcon::RecycleBinEmpty));
        const QStringList expected{text("正在删除节点: T"), text("正在删除节点: C"), text("正在删除节点: S"),
                                   text("正在删除节点: Y"), text("正在刷新数据容器..."),
                                   text("正在移除虚拟的模板库目录...")};
        QCOMPARE(f.prompter.messages(QStringLiteral("status")), expected);
        QVERIFY(QFileInfo(f.folder.paths().MobanFolderPath(1)).isDir());   // other templates keep theirs
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    void purgeInsideALiveTemplateKeepsItsFolder()
    {
        NodeOpsFixture f(Library::Moban);
        buildTemplates(f);
        const NodeRecord s = f.record(6);
        f.prompter.defaultYes = true;
        NodeOps ops = f.ops();
        QVERIFY(ops.DeleteNode(f.node(6)));
        QVERIFY(ops.DeleteNode(f.node(6)));
        QVERIFY(!QFileInfo::exists(f.filePath(s)));
        QVERIFY(f.fillRange(s.FillMode).isEmpty());
        QVERIFY(QFileInfo::exists(f.filePath(f.record(7))));
        QVERIFY(QFileInfo(f.folder.paths().MobanFolderPath(2)).isDir());
        QCOMPARE(statusIndex(f, text("正在移除虚拟的模板库目录...")), -1);
    }

    void purgeFileStates_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("read-only file") << "read-only";
        QTest::newRow("missing file") << "missing";
    }
    void purgeFileStates()
    {
        QFETCH(QString, state);
        NodeOpsFixture f(Library::Moban);
        buildTemplates(f);
        f.prompter.defaultYes = true;
        NodeOps ops = f.ops();
        QVERIFY(ops.DeleteNode(f.node(5)));   // C with S and Y into the bin
        const QString path = f.filePath(f.record(7));
        if (state == QLatin1String("read-only"))
            QVERIFY(QFile(path).setPermissions(QFileDevice::ReadOwner));
        else
            QVERIFY(QFile::remove(path));
        const QString dbBefore = f.dbShape();
        QString message;
        try {
            ops.DeleteNode(f.node(5));
        } catch (const QuelmarError& e) {
            message = e.message();
        }
        // A read-only file is made writable and deleted; a file that is already gone counts as deleted.
        QCOMPARE(message, QString());
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(f.shape(), text("模板库(A T U 回收站)"));
        QCOMPARE(f.dbShape(), text("模板库:0(A:0 T:1 U:2 回收站:3)"));
        QCOMPARE(f.data.rows.pendingCount(), 0);
        QCOMPARE(f.prompter.busyDepth, 0);
        Q_UNUSED(dbBefore);
    }

    void projectPurgeDropsOverviewAndHeaderRecords()
    {
        NodeOpsFixture f(Library::ZiLiao);
        f.seed(nodeRec(1, 2, text("P"), 0, 5), 0);
        f.seed(nodeRec(1, 3, text("Q"), 0, 6), 1);
        f.folder.addNode(Library::ZiLiao, nodeRec(3, 4, text("wang's"), 0, 6), QStringLiteral("wang"));
        f.makeFolder(5);
        f.makeFolder(6);
        QCOMPARE(f.folder.dm().GetGcgkData(5).rows.size(), 1);   // made with the project's row
        NodeOps ops = f.ops();
        const QModelIndex sub = ops.CreateNode(5, f.node(2), text("S"));
        const NodeRecord s = f.data.tree.record(sub);
        const NodeRecord form = f.data.tree.record(ops.CreateNode(6, sub, text("F")));
        f.seed(nodeRec(16, 9, text("E"), 2, 5, 3, text(".DOC")), 1);
        QFile doc(f.filePath(f.record(9)));
        QVERIFY(doc.open(QIODevice::WriteOnly));
        doc.close();

        f.prompter.defaultYes = true;
        QVERIFY(ops.DeleteNode(f.node(2)));
        QVERIFY(ops.DeleteNode(f.node(3)));
        QVERIFY(ops.EmptyRecycleBin());
        QCOMPARE(f.folder.dm().GetGcgkData(5).rows.size(), 0);
        QVERIFY(f.fillRange(s.FillMode).isEmpty());
        QVERIFY(f.fillRange(form.FillMode).isEmpty());
        QVERIFY(!QFileInfo::exists(f.folder.paths().ZiLiaoFolderPath(5)));
        // Another user's row still uses folder 6.
        QVERIFY(QFileInfo(f.folder.paths().ZiLiaoFolderPath(6)).isDir());
        QVERIFY(statusIndex(f, text("正在移除虚拟的工程库目录...")) >= 0);
        QCOMPARE(f.dbShape(), text("资料库:0(回收站:0)"));
    }

    void refusals()
    {
        NodeOpsFixture f(Library::Moban);
        f.prompter.defaultYes = true;
        NodeOps ops = f.ops();
        QCOMPARE(failureMessage([&] { ops.DeleteNode(f.node(0)); }), text("不能删除最顶层节点！"));
        QCOMPARE(failureMessage([&] { ops.DeleteNode(QModelIndex()); }), text("请选择您要删除的节点！"));
        QVERIFY(!ops.DeleteNode(f.node(1)));
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")), QStringList{text("加收站不提供此功能！请选择其他节点。")});
        QVERIFY(!ops.RecycleNode(f.node(1)));
        QCOMPARE(failureMessage([&] { ops.RecycleNode(f.node(0)); }), text("不能删除最顶层节点！"));
        QCOMPARE(f.dbShape(), text("模板库:0(回收站:0)"));
        QCOMPARE(failureMessage([&] { ops.EmptyRecycleBin(); }), text("空的！"));
        QVERIFY(f.prompter.messages(QStringLiteral("confirm")).isEmpty());   // refused before any question
        NodeOpsFixture z(Library::ZiLiao);
        z.prompter.defaultYes = true;
        QCOMPARE(failureMessage([&] { z.ops().DeleteNode(z.node(0)); }), text("不能删除最顶层节点！"));
        QCOMPARE(z.dbShape(), text("资料库:0(回收站:0)"));
    }

    void folderThatCannotBeRemoved()
    {
        NodeOpsFixture f(Library::Moban);
        buildTemplates(f);
        f.prompter.defaultYes = true;
        NodeOps ops = f.ops();
        QVERIFY(ops.DeleteNode(f.node(4)));
        QVERIFY(QDir().mkpath(f.folder.paths().MobanFolderPath(3) + QStringLiteral("sub")));
        // The rows go, and so does the node; the folder that cannot go is reported, not a failure.
        QCOMPARE(failureMessage([&] { ops.DeleteNode(f.node(4)); }), text("(no failure)"));
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")), QStringList{text("无法删除虚拟的模板库目录。")});
        QVERIFY(f.dbRow(4).isEmpty());
        QVERIFY(!f.node(4).isValid());
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    void emptyRecycleBin()
    {
        NodeOpsFixture f(Library::Moban);
        buildTemplates(f);
        f.prompter.defaultYes = true;
        NodeOps ops = f.ops();
        QVERIFY(ops.DeleteNode(f.node(3)));   // T
        QVERIFY(ops.DeleteNode(f.node(4)));   // U
        QVERIFY(ops.DeleteNode(f.node(2)));   // A
        f.prompter.defaultYes = false;
        f.prompter.events.clear();
        f.viewerOpen = true;
        QVERIFY(!ops.EmptyRecycleBin(f.node(6)));
        QCOMPARE(f.prompter.events.last().text, text("您要清空回收站吗？"));
        QCOMPARE(f.data.tree.rowCount(f.node(1)), 3);
        QCOMPARE(f.viewerClosed, 0);

        f.prompter.defaultYes = true;
        f.prompter.events.clear();
        QVERIFY(ops.EmptyRecycleBin(f.node(6)));
        QCOMPARE(f.viewerClosed, 1);
        QCOMPARE(f.shape(), text("模板库(回收站)"));
        QCOMPARE(f.dbShape(), text("模板库:0(回收站:0)"));
        for (int dir : {1, 2, 3})
            QVERIFY(!QFileInfo::exists(f.folder.paths().MobanFolderPath(dir)));
        // Last child first, one write each.
        QVERIFY(statusIndex(f, text("正准备删除节点: A")) < statusIndex(f, text("正准备删除节点: U")));
        QVERIFY(statusIndex(f, text("正准备删除节点: U")) < statusIndex(f, text("正准备删除节点: T")));
        QCOMPARE(f.prompter.messages(QStringLiteral("status")).count(text("正在局部刷新数据容器...")), 3);
        QCOMPARE(f.prompter.lastStatus(), text("回收站"));
        QCOMPARE(f.objectCounts, QStringList{text("0 个对象")});
        QCOMPARE(f.data.tree.iconIndex(f.node(1)), int(NodeIcon::RecycleBinEmpty));
    }

    void emptyingTakesAMissingFileAsRemoved()
    {
        NodeOpsFixture f(Library::Moban);
        buildTemplates(f);
        f.prompter.defaultYes = true;
        NodeOps ops = f.ops();
        QVERIFY(ops.DeleteNode(f.node(3)));   // T, handled last
        QVERIFY(ops.DeleteNode(f.node(4)));   // U, handled first
        QVERIFY(QFile::remove(f.filePath(f.record(7))));
        QCOMPARE(failureMessage([&] { ops.EmptyRecycleBin(); }), text("(no failure)"));
        QCOMPARE(f.shape(), text("模板库(A 回收站)"));
        QCOMPARE(f.dbShape(), text("模板库:0(A:0 回收站:1)"));
        for (int dir : {2, 3})
            QVERIFY(!QFileInfo::exists(f.folder.paths().MobanFolderPath(dir)));
        QCOMPARE(f.data.rows.pendingCount(), 0);
    }

    void archiveDeleteRemovesRowsOnly()
    {
        NodeOpsFixture f(Library::GuiDang);
        f.seed(nodeRec(1, 2, text("K"), 0), 0);
        f.seed(nodeRec(2, 3, text("C"), 2), 0);
        f.seed(nodeRec(3, 4, text("F"), 3, 5, 1, text(".cll"), 8), 0);
        f.seed(nodeRec(1, 5, text("L"), 0), 1);
        const QString projectFile = f.folder.paths().ZiLiaoFolderPath(5) + QStringLiteral("1.cll");
        QVERIFY(QDir().mkpath(f.folder.paths().ZiLiaoFolderPath(5)));
        QVERIFY(QFile::copy(f.folder.paths().BlankTableFile, projectFile));
        NodeOps ops = f.ops();
        QVERIFY(!ops.DeleteNode(f.node(2)));
        QCOMPARE(f.prompter.events.last().text, text("确实要删除节点: K"));
        f.prompter.defaultYes = true;
        QCOMPARE(failureMessage([&] { ops.DeleteNode(f.node(0)); }), text("不能删除最顶层节点！"));
        QVERIFY(ops.DeleteNode(f.node(2)));
        QCOMPARE(f.dbShape(), text("档案库:0(L:1)"));
        QVERIFY(QFileInfo::exists(projectFile));
        QVERIFY(statusIndex(f, text("正在删除节点: F")) > statusIndex(f, text("正在删除节点: K")));
        QCOMPARE(f.prompter.lastStatus(), text("正在刷新数据容器..."));
    }
};

QTEST_GUILESS_MAIN(TstNodeOpsRemoval)
#include "tst_nodeops_removal.moc"
