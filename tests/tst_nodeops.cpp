#include "support/TestSupport.h"
#include "core/QuelmarError.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "support/NodeOpsFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

// Node creation in the three libraries, rename, and move up / down: what each writes to disk and database, where
// the new node lands, and every refusal and failure message.
class TstNodeOps : public QObject {
    Q_OBJECT

    static QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QString text(const char* s) { return QString::fromUtf8(s); }


private slots:
    void templateLibraryCreation()
    {
        NodeOpsFixture f(Library::Moban);
        NodeOps ops = f.ops();
        f.prompter.texts << text("模板A") << text("模板B") << text(" 分部 ") << text("资料") << text("分项")
                         << text("样式") << text("通用");
        const QModelIndex a = ops.NewNode(f.node(0), 9);
        QCOMPARE(f.prompter.events.last().caption, text("新建模板"));
        QCOMPARE(f.prompter.events.last().text, text("请输入名称:"));
        const QModelIndex b = ops.NewNode(f.node(0), 9);
        // Each template gets a folder of its own and lands just above the bin, whose row follows its index.
        QCOMPARE(f.data.tree.record(a).iDir, 1);
        QCOMPARE(f.data.tree.record(b).iDir, 2);
        QVERIFY(QFileInfo(f.folder.paths().MobanFolderPath(1)).isDir());
        QVERIFY(QFileInfo(f.folder.paths().MobanFolderPath(2)).isDir());
        QCOMPARE(f.shape(), text("模板库(模板A 模板B 回收站)"));
        QCOMPARE(f.dbShape(), text("模板库:0(模板A:0 模板B:1 回收站:2)"));

        const QModelIndex division = ops.NewNode(a, 3);
        const QModelIndex category = ops.NewNode(division, 4);
        const QModelIndex subItem = ops.NewNode(category, 5);
        const QModelIndex style = ops.NewNode(category, 11);
        const QModelIndex common = ops.NewNode(a, 10);
        QCOMPARE(f.dbShape(), text("模板库:0(模板A:0( 分部 :0(资料:0(分项:0 样式:1)) 通用:1) 模板B:1 回收站:2)"));

        const NodeRecord div = f.data.tree.record(division);
        QCOMPARE(div.Name, text(" 分部 "));   // stored as typed
        QCOMPARE(div.iDir, 1);
        QCOMPARE(div.File_Name, 0);
        QCOMPARE(div.FillMode, 0);
        QCOMPARE(f.data.tree.record(common).TypeID, 10);

        // Forms: numbered files in the template's folder, copies of the blank table file, blank header records.
        const NodeRecord sub = f.data.tree.record(subItem);
        const NodeRecord sty = f.data.tree.record(style);
        QCOMPARE(sub.File_Name, 1);
        QCOMPARE(sty.File_Name, 2);
        QCOMPARE(sub.Ext, text(".cll"));
        QCOMPARE(sub.FillMode, 1);
        QCOMPARE(sty.FillMode, 2);
        QCOMPARE(bytes(f.filePath(sub)), bytes(f.folder.paths().BlankTableFile));
        QVERIFY(!bytes(f.filePath(sty)).isEmpty());
        const QVariantMap fill = f.fillRange(1);
        QCOMPARE(fill.value(QStringLiteral("ID")).toInt(), 1);
        for (int n = 1; n <= 18; ++n) {
            QVERIFY(!fill.value(QStringLiteral("BeFilled%1").arg(n)).toBool());
            QVERIFY(fill.value(QStringLiteral("Row%1").arg(n)).toString().isEmpty());
        }
        const QVariantMap row = f.dbRow(sub.ItemID);
        QCOMPARE(row.value(QStringLiteral("File_Name")).toInt(), 1);
        QCOMPARE(row.value(QStringLiteral("FillMode")).toInt(), 1);
        QCOMPARE(row.value(QStringLiteral("P_ItemID")).toInt(), f.data.tree.record(category).ItemID);
        QCOMPARE(f.prompter.busyDepth, 0);
        QVERIFY(!f.headerFillPending);
        QCOMPARE(f.data.rows.pendingCount(), 0);
    }

    void projectLibraryCreationCopiesTheParentForm()
    {
        NodeOpsFixture f(Library::ZiLiao);
        f.seed(nodeRec(1, 2, text("工程"), 0, 3), 0);
        f.makeFolder(3);
        NodeOps ops = f.ops();
        f.prompter.texts << text("通用") << text("分部") << text("分类") << text("分项") << text("样式")
                         << text("检验表") << text("通用表");
        ops.NewNode(f.node(2), 10);
        const QModelIndex division = ops.NewNode(f.node(2), 3);
        const QModelIndex category = ops.NewNode(division, 4);
        QCOMPARE(f.prompter.events.last().caption, text("新建分类"));
        const QModelIndex subItem = ops.NewNode(category, 5);
        const QModelIndex style = ops.NewNode(category, 11);
        QCOMPARE(f.prompter.events.last().caption, text("新建样式"));
        const NodeRecord sub = f.data.tree.record(subItem);
        QCOMPARE(sub.iDir, 3);
        QCOMPARE(sub.File_Name, 1);
        QCOMPARE(f.dbRow(sub.ItemID).value(QStringLiteral("UserID")).toString(), text("Admin"));

        // The sub-item as the user has edited it: its table and two header positions.
        QFile file(f.filePath(sub));
        QVERIFY(file.open(QIODevice::Append));
        file.write("edited");
        file.close();
        RowSet fill;
        fill.load(f.folder.dm().GetHeadingFillRangeData(sub.FillMode), QStringLiteral("ID"));
        fill.setValues(fill.allRows().first(), {{QStringLiteral("BeFilled1"), true},
                                                {QStringLiteral("Row1"), QStringLiteral("2")},
                                                {QStringLiteral("Col1"), QStringLiteral("B")},
                                                {QStringLiteral("BeFilled18"), true},
                                                {QStringLiteral("Row18"), QStringLiteral("9")},
                                                {QStringLiteral("Col18"), QStringLiteral("c")}});
        f.folder.dm().ApplyHeadingFillRangeUpdates(sub.FillMode, fill.changeLog());

        QVERIFY(!f.headerFillPending);
        const QModelIndex formIndex = ops.NewNode(subItem, 6);
        QCOMPARE(f.prompter.events.last().caption, text("新建检验表格"));
        const NodeRecord form = f.data.tree.record(formIndex);
        QCOMPARE(form.TypeID, 6);
        QCOMPARE(form.File_Name, 3);
        QCOMPARE(bytes(f.filePath(form)), bytes(f.filePath(sub)));
        QVERIFY(f.headerFillPending);
        QVERIFY(ops.headerFillPending());
        const QVariantMap copied = f.fillRange(form.FillMode);
        QCOMPARE(copied.value(QStringLiteral("ID")).toInt(), form.FillMode);
        QVERIFY(form.FillMode != sub.FillMode);
        QVERIFY(copied.value(QStringLiteral("BeFilled1")).toBool());
        QCOMPARE(copied.value(QStringLiteral("Row1")).toString(), text("2"));
        QCOMPARE(copied.value(QStringLiteral("Col1")).toString(), text("B"));
        QCOMPARE(copied.value(QStringLiteral("Col18")).toString(), text("c"));
        QVERIFY(!copied.value(QStringLiteral("BeFilled2")).toBool());

        const QModelIndex general = ops.NewNode(style, 7);
        QCOMPARE(f.prompter.events.last().caption, text("新建通用表格"));
        QCOMPARE(f.data.tree.record(general).File_Name, 4);
        QCOMPARE(bytes(f.filePath(f.data.tree.record(general))), bytes(f.folder.paths().BlankTableFile));
        QCOMPARE(f.dbShape(), text("资料库:0(工程:0(通用:0 分部:1(分类:0(分项:0(检验表:0) 样式:1(通用表:0)))) "
                                   "回收站:99)"));
    }

    void archiveCreation()
    {
        NodeOpsFixture f(Library::GuiDang);
        NodeOps ops = f.ops();
        f.prompter.texts << text("柜") << text("类") << text("子类") << text("  ");
        const QModelIndex cabinet = ops.NewNode(f.node(0), 1);
        QCOMPARE(f.prompter.events.last().caption, text("新建档案柜"));
        const QModelIndex category = ops.NewNode(cabinet, 2);
        QCOMPARE(f.prompter.events.last().caption, text("新建分类"));
        ops.NewNode(category, 2);
        QCOMPARE(f.dbShape(), text("档案库:0(柜:0(类:0(子类:0)))"));
        const QVariantMap row = f.dbRow(f.data.tree.record(category).ItemID);
        QCOMPARE(row.value(QStringLiteral("UserID")).toString(), text("Admin"));
        QCOMPARE(row.value(QStringLiteral("iDir")).toInt(), 0);
        QCOMPARE(row.value(QStringLiteral("Ext")).toString(), QString());
        // The archive refuses a blank name with an error, not a warning.
        QCOMPARE(failureMessage([&] { ops.NewNode(category, 2); }), text("名称无效，请提供一个正确有效的名称。"));
        QVERIFY(f.prompter.messages(QStringLiteral("warning")).isEmpty());
        QCOMPARE(failureMessage([&] { ops.NewNode(cabinet, 1); }),
                 text("“柜”下不能新建类型为 1 的节点；可新建的类型：2 分类。"));
        QCOMPARE(f.data.tree.nodeCount(), 4);
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    void creationRefusals_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("error");
        QTest::newRow("bin selected") << "bin" << text("加收站不提供此功能！请选择其他节点。") << QString();
        QTest::newRow("blank name") << "blank" << text("名称无效，请提供一个正确有效的名称。") << QString();
        QTest::newRow("dialog cancelled") << "cancel" << QString() << QString();
        QTest::newRow("kind not offered") << "kind" << QString()
                                          << text("“模板库”下不能新建类型为 5 的节点；可新建的类型：9 模板。");
        QTest::newRow("leftover folder") << "folder" << QString() << text("“%1”目录已经存在！");
        QTest::newRow("no blank table file") << "blank file" << QString()
                                             << text("系统模板文件不存在！请与开发商联系。");
        QTest::newRow("parent table missing") << "parent file" << QString() << text("“%1”样式表格不存在！");
        QTest::newRow("parent header record missing") << "parent fill" << QString() << text("%1 样式不存在！");
        QTest::newRow("project through New") << "project" << QString() << text("新工程由新建工程向导按模板建立。");
    }
    void creationRefusals()
    {
        QFETCH(QString, situation);
        QFETCH(QString, warning);
        QFETCH(QString, error);
        const bool project = situation.startsWith(QLatin1String("parent")) || situation == QLatin1String("project");
        NodeOpsFixture f(project ? Library::ZiLiao : Library::Moban);
        QModelIndex parent = f.node(0);
        int kind = 9;
        f.prompter.texts << text("新节点");
        if (situation == QLatin1String("bin")) {
            parent = f.node(1);
        } else if (situation == QLatin1String("blank")) {
            f.prompter.texts.clear();
            f.prompter.texts << text(" \t ");
        } else if (situation == QLatin1String("cancel")) {
            f.prompter.texts.clear();
        } else if (situation == QLatin1String("kind")) {
            kind = 5;
        } else if (situation == QLatin1String("folder")) {
            f.makeFolder(1);
            error = error.arg(f.folder.paths().MobanFolderPath(1));
        } else if (situation == QLatin1String("blank file")) {
            f.seed(nodeRec(9, 2, text("T"), 0, 1), 0);
            f.seed(nodeRec(4, 3, text("C"), 2, 1), 0);
            f.makeFolder(1);
            QVERIFY(QFile::remove(f.folder.paths().BlankTableFile));
            parent = f.node(3);
            kind = 5;
        } else if (situation == QLatin1String("project")) {
            kind = 1;
        } else {
            // An inspection form under a sub-item whose file or header record is gone.
            f.seed(nodeRec(1, 2, text("P"), 0, 1), 0);
            f.seed(nodeRec(5, 3, text("S"), 2, 1, 1, text(".cll"), 7), 0);
            f.makeFolder(1);
            QVERIFY(QFile::copy(f.folder.paths().BlankTableFile, f.filePath(f.record(3))));
            if (situation == QLatin1String("parent file")) {
                QVERIFY(QFile::remove(f.filePath(f.record(3))));
                error = error.arg(f.filePath(f.record(3)));
            } else {
                error = error.arg(7);
            }
            parent = f.node(3);
            kind = 6;
        }
        const int nodes = f.data.tree.nodeCount();
        const int nextKey = project ? f.folder.dm().NewZiLiaoKey() : f.folder.dm().NewMobanKey();
        NodeOps ops = f.ops();
        QString message;
        QModelIndex created;
        try {
            created = ops.NewNode(parent, kind);
        } catch (const QuelmarError& e) {
            message = e.message();
        }
        QCOMPARE(message, error);
        QVERIFY(!created.isValid());
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")), warning.isEmpty() ? QStringList() : QStringList{warning});
        if (situation == QLatin1String("bin") || situation == QLatin1String("kind"))
            QVERIFY(f.prompter.messages(QStringLiteral("askText")).isEmpty());   // refused before the dialog
        QCOMPARE(f.data.tree.nodeCount(), nodes);
        QVERIFY(f.dbRow(nextKey).isEmpty());
        QCOMPARE(f.data.rows.pendingCount(), 0);
        QVERIFY(!f.headerFillPending);   // a form that was not made waits for no header values
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    void leftoverFileIsOverwritten()
    {
        NodeOpsFixture f(Library::Moban);
        f.seed(nodeRec(9, 2, text("T"), 0, 4), 0);
        f.seed(nodeRec(4, 3, text("C"), 2, 4), 0);
        f.makeFolder(4);
        const QString leftover = f.folder.paths().MobanFolderPath(4) + QStringLiteral("1.cll");
        QFile file(leftover);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
        f.prompter.texts << text("S");
        const NodeRecord sub = f.data.tree.record(f.ops().NewNode(f.node(3), 5));
        QCOMPARE(f.filePath(sub), leftover);
        QCOMPARE(bytes(leftover), bytes(f.folder.paths().BlankTableFile));
        QVERIFY(QFile(leftover).permissions() & QFileDevice::WriteOwner);
        QVERIFY(!QFileInfo::exists(leftover + QStringLiteral(".part")));
    }

    void rename_data()
    {
        QTest::addColumn<int>("library");
        QTest::newRow("template") << int(Library::Moban);
        QTest::newRow("project") << int(Library::ZiLiao);
        QTest::newRow("archive") << int(Library::GuiDang);
    }
    void rename()
    {
        QFETCH(int, library);
        NodeOpsFixture f{Library(library)};
        f.seed(nodeRec(library == int(Library::GuiDang) ? 1 : library == int(Library::Moban) ? 9 : 1, 2,
                       text("旧名"), 0, 1),
               0);
        NodeOps ops = f.ops();
        f.prompter.texts << text(" 新名 ");
        QVERIFY(ops.Rename(f.node(2)));
        QCOMPARE(f.prompter.events.first().caption, text("重命名"));
        QCOMPARE(f.prompter.events.first().text, text("请输入新的名称:"));
        QCOMPARE(f.node(2).data().toString(), text(" 新名 "));
        QCOMPARE(f.record(2).Name, text(" 新名 "));
        QCOMPARE(f.dbRow(2).value(QStringLiteral("Name")).toString(), text(" 新名 "));

        // Cancel writes the current name back; a blank name is refused with a warning.
        QVERIFY(ops.Rename(f.node(2)));
        QCOMPARE(f.dbRow(2).value(QStringLiteral("Name")).toString(), text(" 新名 "));
        f.prompter.texts << text("   ");
        QVERIFY(!ops.Rename(f.node(2)));
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")), QStringList{text("名称无效，请提供一个正确有效的名称。")});
        QCOMPARE(f.dbRow(2).value(QStringLiteral("Name")).toString(), text(" 新名 "));
        QCOMPARE(f.data.rows.pendingCount(), 0);
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    void renameRefusesTheBinAndAMissingRow()
    {
        NodeOpsFixture f(Library::ZiLiao);
        NodeOps ops = f.ops();
        f.prompter.texts << text("x");
        QVERIFY(!ops.Rename(f.node(1)));
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")), QStringList{text("加收站不提供此功能！请选择其他节点。")});
        QCOMPARE(f.dbRow(1).value(QStringLiteral("Name")).toString(), text("回收站"));
        f.data.tree.addNode(f.node(0), nodeRec(3, 9, text("无行"), 0), 0);
        QCOMPARE(failureMessage([&] { ops.RenameNode(f.node(9), text("y")); }), text("在数据容器中找不到节点: 无行"));
    }

    void moveRules_data()
    {
        QTest::addColumn<int>("library");
        QTest::addColumn<int>("itemId");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("order");
        const int m = int(Library::Moban), z = int(Library::ZiLiao), g = int(Library::GuiDang);
        QTest::newRow("first up") << m << 2 << true << "A B C 回收站";
        QTest::newRow("middle up") << m << 3 << true << "B A C 回收站";
        QTest::newRow("middle down") << m << 3 << false << "A C B 回收站";
        QTest::newRow("last template down stays above the bin") << m << 4 << false << "A B C 回收站";
        QTest::newRow("first down") << z << 2 << false << "B A C 回收站";
        QTest::newRow("project above the bin down") << z << 4 << false << "A B C 回收站";
        QTest::newRow("root up") << m << 0 << true << "A B C 回收站";
        QTest::newRow("root down") << z << 0 << false << "A B C 回收站";
        QTest::newRow("archive last down") << g << 4 << false << "A B C";
        QTest::newRow("archive last up") << g << 4 << true << "A C B";
        QTest::newRow("archive first down") << g << 2 << false << "B A C";
    }
    void moveRules()
    {
        QFETCH(int, library);
        QFETCH(int, itemId);
        QFETCH(bool, up);
        QFETCH(QString, order);
        NodeOpsFixture f{Library(library)};
        const int kind = library == int(Library::Moban) ? 9 : 1;
        f.seed(nodeRec(kind, 2, text("A"), 0, 1), 0);
        f.seed(nodeRec(kind, 3, text("B"), 0, 2), 1);
        f.seed(nodeRec(kind, 4, text("C"), 0, 3), 2);
        const QString before = f.dbShape();
        NodeOps ops = f.ops();
        const QModelIndex moved = up ? ops.MoveUp(f.node(itemId)) : ops.MoveDown(f.node(itemId));
        QCOMPARE(moved, f.node(itemId));   // the moved node stays where the caller can select it
        const QModelIndex root = f.node(0);
        QStringList names;
        for (int r = 0; r < f.data.tree.rowCount(root); ++r)
            names << f.data.tree.index(r, 0, root).data().toString();
        QCOMPARE(names.join(QLatin1Char(' ')), order);
        QVERIFY(f.prompter.events.isEmpty());   // moving nowhere shows nothing either
        if (order.startsWith(QLatin1String("A B C"))) {
            QCOMPARE(f.dbShape(), before);
        } else {
            // Every sibling, the bin included, is renumbered to its place.
            QStringList expected;
            for (int r = 0; r < names.size(); ++r)
                expected << QStringLiteral("%1:%2").arg(names[r]).arg(r);
            QCOMPARE(f.dbShape(), f.data.tree.index(0, 0).data().toString() + QStringLiteral(":0(")
                                      + expected.join(QLatin1Char(' ')) + QStringLiteral(")"));
        }
        QCOMPARE(f.prompter.busyDepth, 0);
    }

    void moveClosesGapsAndRefusesTheBin()
    {
        NodeOpsFixture f(Library::Moban);
        f.seed(nodeRec(9, 2, text("T"), 0, 1), 0);
        f.seed(nodeRec(3, 3, text("D1"), 2, 1), 0);
        f.seed(nodeRec(3, 4, text("D2"), 2, 1), 5);
        f.seed(nodeRec(3, 5, text("D3"), 2, 1), 9);
        NodeOps ops = f.ops();
        ops.MoveUp(f.node(5));
        QCOMPARE(f.dbShape(), text("模板库:0(T:0(D1:0 D3:1 D2:2) 回收站:99)"));
        QVERIFY(!ops.MoveDown(f.node(1)).isValid());
        QVERIFY(!ops.MoveUp(f.node(1)).isValid());
        QCOMPARE(f.prompter.messages(QStringLiteral("warning")),
                 QStringList(2, text("加收站不提供此功能！请选择其他节点。")));

        // A sibling missing from the cached copy: the tree shows the new order, nothing is written.
        f.data.tree.addNode(f.node(2), nodeRec(3, 8, text("无行"), 2, 1));
        QCOMPARE(failureMessage([&] { ops.MoveDown(f.node(3)); }), text("节点信息不在数据容器中。"));
        QCOMPARE(f.data.rows.pendingCount(), 0);
        QCOMPARE(f.dbShape(), text("模板库:0(T:0(D1:0 D3:1 D2:2) 回收站:99)"));
    }

    void recycleBinHelpers()
    {
        NodeOpsFixture f(Library::ZiLiao);
        f.seed(nodeRec(1, 2, text("P"), 0, 1), 0);
        f.seed(nodeRec(1, 3, text("deleted"), 1, 2), 0);
        f.seed(nodeRec(3, 4, text("deep"), 3, 2), 0);
        QVERIFY(!IsInRecycleBin(f.data.tree, f.node(0)));
        QVERIFY(!IsInRecycleBin(f.data.tree, f.node(1)));
        QVERIFY(!IsInRecycleBin(f.data.tree, f.node(2)));
        QVERIFY(IsInRecycleBin(f.data.tree, f.node(3)));
        QVERIFY(IsInRecycleBin(f.data.tree, f.node(4)));

        LibraryTreeModel copy(Library::ZiLiao);
        const QModelIndex top = copy.addNode({}, f.record(1));
        CloneTreeChildren(f.data.tree, f.node(1), copy, top);
        QCOMPARE(copy.nodeCount(), 3);
        QCOMPARE(copy.record(copy.indexOfItem(4)), f.record(4));
        QCOMPARE(copy.indexOfItem(4).parent(), copy.indexOfItem(3));
        QCOMPARE(copy.iconIndex(top), int(NodeIcon::RecycleBinFull));

        QCOMPARE(NewMenuKinds(Library::ZiLiao, 5), QList<int>{6});
        QVERIFY(NewMenuKinds(Library::ZiLiao, 6).isEmpty());
        QCOMPARE(NewMenuKinds(Library::Moban, 4), (QList<int>{4, 11, 5}));
    }
};

QTEST_GUILESS_MAIN(TstNodeOps)
#include "tst_nodeops.moc"
