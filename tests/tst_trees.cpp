#include "core/QuelmarError.h"
#include "store/DataPool.h"
#include "support/ProgramFolderFixture.h"
#include "trees/LibraryData.h"
#include "trees/NodeKinds.h"
#include "trees/OwnerRename.h"

#include <QAbstractItemModelTester>
#include <QTest>

// Tree building (order, visibility, unreachable rows), recycle bins, kinds and icons, the owner rewrite and the
// model operations the node operations build on.
class TstTrees : public QObject {
    Q_OBJECT

    // "name(children...)" of the whole tree, in order.
    static QString shape(const LibraryTreeModel& m, const QModelIndex& parent = {})
    {
        QStringList parts;
        for (int r = 0; r < m.rowCount(parent); ++r) {
            const QModelIndex i = m.index(r, 0, parent);
            const QString inner = shape(m, i);
            parts << i.data().toString() + (inner.isEmpty() ? QString() : QStringLiteral("(") + inner + QStringLiteral(")"));
        }
        return parts.join(QLatin1Char(' '));
    }

private slots:
    void siblingsFollowPartIndexAndUnreachableRowsStayOut()
    {
        ProgramFolderFixture f;
        RowSet seed;
        seed.load(f.dm().GetMobanData());
        seed.setValue(seed.find(1), QStringLiteral("iPartIndex"), 2);   // the bin stays last
        f.dm().ApplyMobanUpdates(seed.changeLog());
        f.addNode(Library::Moban, nodeRec(9, 5, QStringLiteral("T1"), 0, 1), {}, 1);
        f.addNode(Library::Moban, nodeRec(9, 6, QStringLiteral("T0"), 0, 2), {}, 0);
        f.addNode(Library::Moban, nodeRec(3, 7, QStringLiteral("D"), 5, 1), {}, 0);
        f.addNode(Library::Moban, nodeRec(3, 8, QStringLiteral("orphan"), 99, 1), {}, 0);
        f.addNode(Library::Moban, nodeRec(3, 9, QStringLiteral("loopA"), 10, 1), {}, 0);
        f.addNode(Library::Moban, nodeRec(3, 10, QStringLiteral("loopB"), 9, 1), {}, 0);
        LibraryData lib(Library::Moban);
        QAbstractItemModelTester tester(&lib.tree, QAbstractItemModelTester::FailureReportingMode::QtTest);
        lib.load(f.dm(), QStringLiteral("Admin"));
        QCOMPARE(shape(lib.tree), QStringLiteral("模板库(T0 T1(D) 回收站)"));
        QVERIFY(!lib.rows.isFiltered());
        QCOMPARE(lib.tree.nodeCount(), 5);
        QCOMPARE(lib.recycleNode().data(LibraryTreeModel::IconIndexRole).toInt(), NodeIcon::RecycleBinEmpty);
        QCOMPARE(lib.tree.index(0, 0).data(LibraryTreeModel::IconIndexRole).toInt(), NodeIcon::LibraryRoot);
    }

    void visibilityPerUser()
    {
        ProgramFolderFixture f;
        f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("li lower"), 0, 1), QStringLiteral("li"), 1);
        f.addNode(Library::ZiLiao, nodeRec(1, 3, QStringLiteral("li upper"), 0, 2), QStringLiteral("LI"), 2);
        f.addNode(Library::ZiLiao, nodeRec(1, 4, QStringLiteral("wang"), 0, 3), QStringLiteral("Wang"), 3);
        f.addNode(Library::ZiLiao, nodeRec(10, 5, QStringLiteral("deleted by li"), 1, 1), QStringLiteral("Li"), 0);
        f.addNode(Library::ZiLiao, nodeRec(10, 6, QStringLiteral("deleted by wang"), 1, 3), QStringLiteral("wang"), 1);
        LibraryData lib(Library::ZiLiao);
        lib.load(f.dm(), QStringLiteral("Li"));
        QCOMPARE(shape(lib.tree), QStringLiteral("资料库(回收站(deleted by li) li lower li upper)"));
        QCOMPARE(lib.recycleNode().data(LibraryTreeModel::IconIndexRole).toInt(), NodeIcon::RecycleBinFull);
    }

    void missingRecycleBinFails()
    {
        ProgramFolderFixture f;
        RowSet rows;
        rows.load(f.dm().GetMobanData());
        rows.remove(rows.find(1));
        f.dm().ApplyMobanUpdates(rows.changeLog());
        LibraryData lib(Library::Moban);
        try {
            lib.load(f.dm(), QStringLiteral("Admin"));
            QFAIL("built without a bin");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), QStringLiteral("没有找到模板库的回收站点！"));
        }
        LibraryTreeModel empty(Library::ZiLiao);
        try {
            FindZiLiaoRecycleNode(empty);
            QFAIL("found a bin in an empty tree");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), QStringLiteral("没有找到资料库的回收站点！"));
        }
    }

    void icons_data()
    {
        QTest::addColumn<int>("library");
        QTest::addColumn<int>("typeId");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<int>("icon");
        const int m = int(Library::Moban), z = int(Library::ZiLiao), g = int(Library::GuiDang);
        QTest::newRow("template") << m << 9 << QString() << 0;
        QTest::newRow("template sub-item") << m << 5 << QStringLiteral(".cll") << 3;
        QTest::newRow("project") << z << 1 << QString() << 13;
        QTest::newRow("inspection form") << z << 6 << QStringLiteral(".cll") << 14;
        QTest::newRow("DOC in capitals") << z << 16 << QStringLiteral(".DOC") << 46;
        QTest::newRow("xls") << m << 16 << QStringLiteral(".xls") << 45;
        QTest::newRow("wps") << z << 16 << QStringLiteral(".Wps") << 41;
        QTest::newRow("txt") << z << 16 << QStringLiteral(".txt") << 42;
        QTest::newRow("mht") << z << 16 << QStringLiteral(".mht") << 43;
        QTest::newRow("other extension") << z << 16 << QStringLiteral(".pdf") << 44;
        QTest::newRow("cabinet") << g << 1 << QString() << 31;
        QTest::newRow("archive category") << g << 2 << QString() << 1;
        QTest::newRow("archived form") << g << 3 << QStringLiteral(".cll") << 14;
        QTest::newRow("unknown kind") << z << 8 << QString() << -1;
        QTest::newRow("template kind in projects") << z << 9 << QString() << -1;
    }
    void icons()
    {
        QFETCH(int, library);
        QFETCH(int, typeId);
        QFETCH(QString, ext);
        QFETCH(int, icon);
        QCOMPARE(NodeIconIndex(Library(library), nodeRec(typeId, 3, QStringLiteral("n"), 0, 0, 0, ext), false), icon);
    }

    void unknownKindsFailWithTheLibrarysMessage()
    {
        QCOMPARE(CheckNodeKind(Library::ZiLiao, 6).name, QStringLiteral("检验表格"));
        QVERIFY(CheckNodeKind(Library::Moban, 9).ownsFolder);
        try {
            CheckNodeKind(Library::Moban, 1);
            QFAIL("accepted");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), QStringLiteral("节点类型不正确！"));
        }
        try {
            CheckNodeKind(Library::GuiDang, 5);
            QFAIL("accepted");
        } catch (const QuelmarError& e) {
            QCOMPARE(e.message(), QStringLiteral("节点类型的值应在 [0,1,2,3] 之中。"));
        }
    }

    void ownerRenameKeepsRowsVisible()
    {
        ProgramFolderFixture f;
        f.addNode(Library::ZiLiao, nodeRec(1, 2, QStringLiteral("mine"), 0, 1), QStringLiteral("li"), 1);
        f.addNode(Library::ZiLiao, nodeRec(1, 3, QStringLiteral("shared"), 0, 2), QStringLiteral("Everyone"), 2);
        f.addNode(Library::GuiDang, nodeRec(1, 1, QStringLiteral("cabinet"), 0), QStringLiteral("LI"));
        f.addNode(Library::ZiLiao, nodeRec(1, 4, QStringLiteral("other"), 0, 3), QStringLiteral("wang"), 3);
        LibraryData ziliao(Library::ZiLiao), guidang(Library::GuiDang);
        QVERIFY_THROWS_EXCEPTION(QuelmarError, OwnerRenameHook(f.dm(), QStringLiteral("Li"), ziliao.rows, guidang.rows,
                                                               QStringLiteral("Zhang")));
        ziliao.load(f.dm(), QStringLiteral("Li"));
        guidang.load(f.dm(), QStringLiteral("Li"));
        OwnerRenameHook(f.dm(), QStringLiteral("Li"), ziliao.rows, guidang.rows, QStringLiteral("Zhang"));
        QCOMPARE(ziliao.rows.pendingCount(), 0);

        LibraryData after(Library::ZiLiao), afterArchive(Library::GuiDang);
        after.load(f.dm(), QStringLiteral("zhang"));
        afterArchive.load(f.dm(), QStringLiteral("zhang"));
        const auto owner = [](const LibraryData& d, int key) {
            return d.rows.value(d.rows.find(key), QStringLiteral("UserID")).toString();
        };
        QCOMPARE(shape(after.tree), QStringLiteral("资料库(回收站 mine shared)"));
        QCOMPARE(owner(after, 0), QStringLiteral("Everyone"));
        QCOMPARE(owner(after, 1), QStringLiteral("Everyone"));
        QCOMPARE(owner(after, 2), QStringLiteral("Zhang"));
        QCOMPARE(owner(after, 3), QStringLiteral("Everyone"));   // shared rows stay shared
        QCOMPARE(owner(afterArchive, 0), QStringLiteral("Everyone"));
        QCOMPARE(owner(afterArchive, 1), QStringLiteral("Zhang"));
        LibraryData wang(Library::ZiLiao);
        wang.load(f.dm(), QStringLiteral("wang"));
        QCOMPARE(shape(wang.tree), QStringLiteral("资料库(回收站 shared other)"));
    }

    void modelOperationsKeepIndexAndBinIcon()
    {
        ProgramFolderFixture f;
        LibraryData lib(Library::ZiLiao);
        QAbstractItemModelTester tester(&lib.tree, QAbstractItemModelTester::FailureReportingMode::QtTest);
        lib.load(f.dm(), QStringLiteral("Admin"));
        LibraryTreeModel& m = lib.tree;
        const QModelIndex root = m.indexOfItem(0);
        const QModelIndex project = m.addNode(root, nodeRec(1, 2, QStringLiteral("P"), 0, 1), 0);   // before the bin
        QCOMPARE(shape(m), QStringLiteral("资料库(P 回收站)"));
        const QModelIndex form = m.addNode(project, nodeRec(6, 3, QStringLiteral("F"), 2, 1, 1, QStringLiteral(".cll")));
        QVERIFY_THROWS_EXCEPTION(QuelmarError, m.addNode(project, nodeRec(6, 3, QStringLiteral("dup"), 2)));
        m.rename(form, QStringLiteral("F2"));
        QCOMPARE(m.record(m.indexOfItem(3)).Name, QStringLiteral("F2"));
        m.moveNode(project, m.indexOfItem(1));
        QCOMPARE(shape(m), QStringLiteral("资料库(回收站(P(F2)))"));
        QCOMPARE(m.indexOfItem(1).data(LibraryTreeModel::IconIndexRole).toInt(), NodeIcon::RecycleBinFull);
        QCOMPARE(m.level(m.indexOfItem(3)), 3);
        QVERIFY_THROWS_EXCEPTION(QuelmarError, m.moveNode(m.indexOfItem(2), m.indexOfItem(3)));
        m.removeNode(m.indexOfItem(2));
        QVERIFY(!m.indexOfItem(3).isValid());
        QCOMPARE(m.indexOfItem(1).data(LibraryTreeModel::IconIndexRole).toInt(), NodeIcon::RecycleBinEmpty);
    }
};

QTEST_GUILESS_MAIN(TstTrees)
#include "tst_trees.moc"
