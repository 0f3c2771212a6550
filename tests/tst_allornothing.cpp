// Every operation that writes rows and files is all or nothing: a failure injected at any of its write steps
// (a row, a commit, a journal entry, a file or folder made, copied, moved) leaves rows, files, folders and
// header-fill records exactly as they were, the cached copy and the tree equal to the database, and the same
// operation succeeds once the cause is gone. Also the real causes: another program's write lock, a folder that was
// there before with files of its own, a missing form file.
#include "core/QuelmarError.h"
#include "core/ScriptedPrompter.h"
#include "exchange/ExternalFiles.h"
#include "exchange/Package.h"
#include "projects/NewProject.h"
#include "projects/SampleTemplate.h"
#include "store/FaultPoint.h"
#include "store/WriteUnit.h"
#include "support/FolderState.h"
#include "support/ProgramFolderFixture.h"
#include "support/TestSupport.h"
#include "trees/NodeCopy.h"
#include "trees/NodeFiles.h"
#include "trees/NodeOps.h"
#include "users/Login.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <functional>

namespace {

QString dumpRows(const QStringList& columns, QList<QVariantList> rows)
{
    QStringList lines;
    for (const QVariantList& r : rows) {
        QStringList cells;
        for (qsizetype i = 0; i < columns.size(); ++i)
            cells << columns.at(i) + QLatin1Char('=') + r.value(i).toString();   // null and empty text alike
        lines << cells.join(QLatin1Char(' '));
    }
    lines.sort();
    return lines.join(QLatin1Char('\n'));
}

QString treeShape(const LibraryTreeModel& m, const QModelIndex& parent = {})
{
    QStringList parts;
    for (int r = 0; r < m.rowCount(parent); ++r) {
        const QModelIndex i = m.index(r, 0, parent);
        const QString inner = treeShape(m, i);
        parts << QStringLiteral("%1#%2").arg(i.data().toString()).arg(i.data(LibraryTreeModel::ItemIdRole).toInt())
                     + (inner.isEmpty() ? QString() : QStringLiteral("(") + inner + QStringLiteral(")"));
    }
    return parts.join(QLatin1Char(' '));
}

// A program folder with the demo template, one project made from it and an archive cabinet.
struct World {
    ProgramFolderFixture folder;
    TLoginInfo login{QStringLiteral("Admin"), UserType::Advanced};
    ScriptedPrompter prompter;
    LibraryData moban{Library::Moban};
    LibraryData ziLiao{Library::ZiLiao};
    LibraryData guiDang{Library::GuiDang};
    int templateId = 0;

    World()
    {
        prompter.defaultYes = true;
        templateId = AddSampleTemplate(folder.dm(), folder.paths());
        for (LibraryData* d : libraries())
            d->load(folder.dm(), login.opName);
        newProject(QStringLiteral("工程甲"));
        ops(guiDang).CreateNode(1, guiDang.tree.index(0, 0), QStringLiteral("档案柜"));
    }

    QList<LibraryData*> libraries() { return {&moban, &ziLiao, &guiDang}; }

    NodeOps ops(LibraryData& d) { return NodeOps(NodeOpsContext{d, folder.dm(), folder.paths(), login, prompter}); }
    SubtreeOps subtree(LibraryData& d) { return SubtreeOps(NodeOpsContext{d, folder.dm(), folder.paths(), login, prompter}); }

    QModelIndex newProject(const QString& name)
    {
        const DataPacket result = WizardResultFor(folder.dm(), templateId, name, {});
        return CreateProjectFromTemplate(NodeOpsContext{ziLiao, folder.dm(), folder.paths(), login, prompter}, name,
                                         result);
    }

    // The first node of the kind in pre-order below `from` (the whole library by default).
    QModelIndex first(LibraryData& d, int typeId, const QModelIndex& from = {})
    {
        for (int r = 0; r < d.tree.rowCount(from); ++r) {
            const QModelIndex i = d.tree.index(r, 0, from);
            if (i.data(LibraryTreeModel::TypeIdRole).toInt() == typeId)
                return i;
            const QModelIndex found = first(d, typeId, i);
            if (found.isValid())
                return found;
        }
        return {};
    }

    QModelIndex project(const QString& name)
    {
        const QModelIndex root = ziLiao.tree.index(0, 0);
        for (int r = 0; r < ziLiao.tree.rowCount(root); ++r)
            if (ziLiao.tree.index(r, 0, root).data().toString() == name)
                return ziLiao.tree.index(r, 0, root);
        return {};
    }

    QString state() { return ProgramFolderState(folder.paths().AppDir); }

    NodeOpsContext ctx(LibraryData& d) { return NodeOpsContext{d, folder.dm(), folder.paths(), login, prompter}; }
    // Packages and documents to import live outside the program folder.
    QTemporaryDir outside;
    QString package(const QString& name) { return outside.filePath(name); }

    // The cached copies and trees equal what a fresh load of the database gives.
    void checkMemoryMatchesDatabase()
    {
        for (LibraryData* d : libraries()) {
            QCOMPARE(d->rows.pendingCount(), 0);
            LibraryData fresh(d->library());
            fresh.load(folder.dm(), login.opName);
            QList<QVariantList> held;
            for (RowSet::RowId id : d->rows.allRows())
                held << d->rows.values(id);
            QList<QVariantList> stored;
            for (RowSet::RowId id : fresh.rows.allRows())
                stored << fresh.rows.values(id);
            const QString a = dumpRows(d->rows.columns(), held), b = dumpRows(fresh.rows.columns(), stored);
            if (a != b) {
                const QStringList la = a.split(QLatin1Char('\n')), lb = b.split(QLatin1Char('\n'));
                for (qsizetype i = 0; i < std::max(la.size(), lb.size()); ++i)
                    if (la.value(i) != lb.value(i))
                        QFAIL(qPrintable(QStringLiteral("held: %1\nstored: %2").arg(la.value(i), lb.value(i))));
            }
            QCOMPARE(treeShape(d->tree), treeShape(fresh.tree));
        }
    }
};

using Operation = std::function<void(World&)>;

} // namespace

Q_DECLARE_METATYPE(Operation)

class TstAllOrNothing : public QObject {
    Q_OBJECT

private slots:
    void failureAtEveryStepChangesNothing_data()
    {
        QTest::addColumn<Operation>("prepare");
        QTest::addColumn<Operation>("operation");
        const Operation none = [](World&) {};

        QTest::newRow("new template") << none << Operation([](World& w) {
            QVERIFY(w.ops(w.moban).CreateNode(9, w.moban.tree.index(0, 0), QStringLiteral("新模板")).isValid());
        });
        QTest::newRow("new sub-item in a template") << none << Operation([](World& w) {
            const QModelIndex category = w.first(w.moban, 4);
            QVERIFY(w.ops(w.moban).CreateNode(5, category, QStringLiteral("新分项")).isValid());
        });
        QTest::newRow("new inspection form") << none << Operation([](World& w) {
            const QModelIndex sub = w.first(w.ziLiao, 5);
            QVERIFY(w.ops(w.ziLiao).CreateNode(6, sub, QStringLiteral("K1+000 检验表")).isValid());
        });
        QTest::newRow("quick add") << Operation([](World& w) {
            w.ops(w.ziLiao).CreateNode(6, w.first(w.ziLiao, 5), QStringLiteral("检验表一"));
        }) << Operation([](World& w) {
            w.prompter.texts.enqueue(QStringLiteral("检验表二"));
            QVERIFY(QuickAddForm(NodeOpsContext{w.ziLiao, w.folder.dm(), w.folder.paths(), w.login, w.prompter},
                                 w.first(w.ziLiao, 6))
                        .isValid());
        });
        // The next project's folder is already there with a file of somebody else's: it must stay as it was.
        QTest::newRow("new project into a foreign folder") << Operation([](World& w) {
            const QString folder = w.folder.paths().ZiLiaoFolderPath(w.folder.dm().NewZiLiaoDirNo());
            QDir().mkpath(folder);
            QFile notes(folder + QStringLiteral("notes.txt"));
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write("keep me");
        }) << Operation([](World& w) { QVERIFY(w.newProject(QStringLiteral("工程乙")).isValid()); });
        QTest::newRow("recycle a division") << none << Operation([](World& w) {
            QVERIFY(w.ops(w.ziLiao).DeleteNode(w.first(w.ziLiao, 3)));
        });
        QTest::newRow("recycle a project") << none << Operation([](World& w) {
            QVERIFY(w.ops(w.ziLiao).DeleteNode(w.project(QStringLiteral("工程甲"))));
        });
        QTest::newRow("purge a project with a missing form file") << Operation([](World& w) {
            const QModelIndex p = w.project(QStringLiteral("工程甲"));
            QVERIFY(QFile::remove(NodeFile(w.folder.paths(), Library::ZiLiao, w.ziLiao.tree.record(w.first(w.ziLiao, 5, p)))));
            QVERIFY(w.ops(w.ziLiao).DeleteNode(p));
        }) << Operation([](World& w) {
            QVERIFY(w.ops(w.ziLiao).DeleteNode(w.first(w.ziLiao, 1, w.ziLiao.recycleNode())));
        });
        QTest::newRow("empty the bin") << Operation([](World& w) {
            w.newProject(QStringLiteral("工程乙"));
            QVERIFY(w.ops(w.ziLiao).DeleteNode(w.project(QStringLiteral("工程甲"))));
            QVERIFY(w.ops(w.ziLiao).DeleteNode(w.project(QStringLiteral("工程乙"))));
        }) << Operation([](World& w) { QVERIFY(w.ops(w.ziLiao).EmptyRecycleBin()); });
        QTest::newRow("purge a template") << Operation([](World& w) {
            QVERIFY(w.ops(w.moban).DeleteNode(w.first(w.moban, 9)));
        }) << Operation([](World& w) { QVERIFY(w.ops(w.moban).EmptyRecycleBin()); });
        QTest::newRow("move down") << none << Operation([](World& w) {
            const QModelIndex division = w.first(w.ziLiao, 3);
            const int row = division.row();
            QCOMPARE(w.ops(w.ziLiao).MoveDown(division).row(), row + 1);
        });
        QTest::newRow("rename") << none << Operation([](World& w) {
            QVERIFY(w.ops(w.ziLiao).RenameNode(w.project(QStringLiteral("工程甲")), QStringLiteral("工程丙")));
        });
        QTest::newRow("copy a template to the root") << none << Operation([](World& w) {
            QVERIFY(w.subtree(w.moban).CopySubtreeAsChild(w.first(w.moban, 9), w.moban.tree.index(0, 0)).isValid());
        });
        QTest::newRow("copy a project to the root") << none << Operation([](World& w) {
            const QModelIndex p = w.project(QStringLiteral("工程甲"));
            QVERIFY(w.subtree(w.ziLiao).CopySubtreeAsChild(p, w.ziLiao.tree.index(0, 0)).isValid());
        });
        QTest::newRow("move a division into another project") << Operation([](World& w) {
            w.newProject(QStringLiteral("工程乙"));
        }) << Operation([](World& w) {
            const QModelIndex division = w.first(w.ziLiao, 3, w.project(QStringLiteral("工程甲")));
            QVERIFY(w.subtree(w.ziLiao).MoveSubtree(division, w.project(QStringLiteral("工程乙")), DropPlace::Child).isValid());
        });
        QTest::newRow("restore a template from the bin") << Operation([](World& w) {
            QVERIFY(w.ops(w.moban).DeleteNode(w.first(w.moban, 9)));
        }) << Operation([](World& w) {
            const QModelIndex t = w.first(w.moban, 9, w.moban.recycleNode());
            QVERIFY(w.subtree(w.moban).MoveSubtree(t, w.moban.tree.index(0, 0), DropPlace::Child).isValid());
        });
        QTest::newRow("archive a project") << Operation([](World& w) {
            w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("分类"));
        }) << Operation([](World& w) {
            QVERIFY(ArchiveSubtree(NodeOpsContext{w.guiDang, w.folder.dm(), w.folder.paths(), w.login, w.prompter},
                                   w.ziLiao.tree, w.project(QStringLiteral("工程甲")), w.first(w.guiDang, 2),
                                   DropPlace::Child)
                        .isValid());
        });
        QTest::newRow("archive copy") << Operation([](World& w) {
            w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("甲"));
            w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("乙"));
        }) << Operation([](World& w) {
            const QModelIndex cabinet = w.first(w.guiDang, 1);
            QVERIFY(w.subtree(w.guiDang)
                        .CopySubtreeAsChild(w.guiDang.tree.index(0, 0, cabinet), w.guiDang.tree.index(1, 0, cabinet))
                        .isValid());
        });
        QTest::newRow("archive move") << Operation([](World& w) {
            w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("甲"));
            w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("乙"));
        }) << Operation([](World& w) {
            const QModelIndex cabinet = w.first(w.guiDang, 1);
            QVERIFY(w.subtree(w.guiDang)
                        .MoveSubtree(w.guiDang.tree.index(1, 0, cabinet), w.guiDang.tree.index(0, 0, cabinet),
                                     DropPlace::Prior)
                        .isValid());
        });
        QTest::newRow("import a project package") << Operation([](World& w) {
            ExportSubtreeTo(w.ctx(w.ziLiao), w.project(QStringLiteral("工程甲")), w.package(QStringLiteral("p.gc")));
        }) << Operation([](World& w) {
            QVERIFY(ImportPackageFrom(w.ctx(w.ziLiao), w.ziLiao.tree.index(0, 0), w.package(QStringLiteral("p.gc"))).isValid());
        });
        QTest::newRow("import a template package") << Operation([](World& w) {
            ExportSubtreeTo(w.ctx(w.moban), w.first(w.moban, 9), w.package(QStringLiteral("t.mb")));
        }) << Operation([](World& w) {
            QVERIFY(ImportPackageFrom(w.ctx(w.moban), w.moban.tree.index(0, 0), w.package(QStringLiteral("t.mb"))).isValid());
        });
        QTest::newRow("import a division into a project") << Operation([](World& w) {
            ExportSubtreeTo(w.ctx(w.ziLiao), w.first(w.ziLiao, 3), w.package(QStringLiteral("d.fb")));
        }) << Operation([](World& w) {
            QVERIFY(ImportPackageFrom(w.ctx(w.ziLiao), w.project(QStringLiteral("工程甲")), w.package(QStringLiteral("d.fb"))).isValid());
        });
        QTest::newRow("import an external file") << Operation([](World& w) {
            QFile doc(w.package(QStringLiteral("说明.txt")));
            QVERIFY(doc.open(QIODevice::WriteOnly));
            doc.write("text");
        }) << Operation([](World& w) {
            QVERIFY(ImportExternalFileFrom(w.ctx(w.ziLiao), w.first(w.ziLiao, 4), w.package(QStringLiteral("说明.txt"))).isValid());
        });
        QTest::newRow("archive category") << none << Operation([](World& w) {
            QVERIFY(w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("分类")).isValid());
        });
        QTest::newRow("archive delete") << Operation([](World& w) {
            w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("分类"));
        }) << Operation([](World& w) { QVERIFY(w.ops(w.guiDang).DeleteNode(w.first(w.guiDang, 1))); });
    }

    void failureAtEveryStepChangesNothing()
    {
        QFETCH(Operation, prepare);
        QFETCH(Operation, operation);
        World w;
        prepare(w);
        if (QTest::currentTestFailed())
            return;
        const QString before = w.state();
        int step = 1;
        for (;; ++step) {
            FaultInjection::arm(step);
            QString failure;
            try {
                operation(w);
            } catch (const QuelmarError& e) {
                failure = e.message();
            }
            const bool fired = FaultInjection::fired();
            FaultInjection::disarm();
            if (QTest::currentTestFailed())
                return;
            // A fault after the commit (the clean-up of the journal's mark) loses nothing: the operation succeeded.
            if (!fired || failure.isEmpty()) {
                QCOMPARE(failure, QString());
                break;
            }
            QVERIFY2(!failure.isEmpty(), qPrintable(QStringLiteral("step %1 fired but the operation reported success").arg(step)));
            const QString after = w.state();
            if (after != before)
                QFAIL(qPrintable(QStringLiteral("after a failure at step %1 (%2) the state changed").arg(step).arg(failure)));
            w.checkMemoryMatchesDatabase();
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(w.prompter.busyDepth, 0);
        }
        QVERIFY(step > 1);   // the operation did pass fault points
        QVERIFY(w.state() != before);
        w.checkMemoryMatchesDatabase();
        QVERIFY(!WorkJournal::HasJournals(w.folder.paths().AppDir));
    }

    // Another program holds the write lock: the operation waits, gives up with a clear message and changes
    // nothing; once the lock is free the same operation works.
    void heldWriteLock()
    {
        World w;
        w.folder.dm().setBusyTimeout(50);
        const QString before = w.state();
        TDataPoolDM other(ProgramDatabase(w.folder.paths()));
        other.beginWrite();
        const QString message = failureMessage([&] { w.newProject(QStringLiteral("工程乙")); });
        QVERIFY2(message.startsWith(QStringLiteral("数据库正被其他程序或用户写入")), qPrintable(message));
        QCOMPARE(w.state(), before);
        w.checkMemoryMatchesDatabase();
        other.rollbackWrite();
        QVERIFY(w.newProject(QStringLiteral("工程乙")).isValid());
    }

    // Another program holds the write lock: copy, move and archive give up with the clear message and change
    // nothing; once the lock is free they work.
    void heldWriteLockStopsCopyMoveAndArchive()
    {
        World w;
        w.newProject(QStringLiteral("工程乙"));
        w.ops(w.guiDang).CreateNode(2, w.first(w.guiDang, 1), QStringLiteral("分类"));
        w.folder.dm().setBusyTimeout(50);
        const QList<Operation> operations{
            [](World& w) {
                const QModelIndex p = w.project(QStringLiteral("工程甲"));
                QVERIFY(w.subtree(w.ziLiao).CopySubtreeAsSibling(p, w.project(QStringLiteral("工程乙")), true).isValid());
            },
            [](World& w) {
                const QModelIndex division = w.first(w.ziLiao, 3, w.project(QStringLiteral("工程甲")));
                QVERIFY(w.subtree(w.ziLiao)
                            .MoveSubtree(division, w.project(QStringLiteral("工程乙")), DropPlace::Child)
                            .isValid());
            },
            [](World& w) {
                QVERIFY(ArchiveSubtree(NodeOpsContext{w.guiDang, w.folder.dm(), w.folder.paths(), w.login, w.prompter},
                                       w.ziLiao.tree, w.project(QStringLiteral("工程乙")), w.first(w.guiDang, 2),
                                       DropPlace::Child)
                            .isValid());
            },
        };
        for (const Operation& op : operations) {
            const QString before = w.state();
            {
                TDataPoolDM other(ProgramDatabase(w.folder.paths()));
                other.beginWrite();
                const QString message = failureMessage([&] { op(w); });
                QVERIFY2(message.startsWith(QStringLiteral("数据库正被其他程序或用户写入")), qPrintable(message));
                QCOMPARE(w.state(), before);
                w.checkMemoryMatchesDatabase();
                other.rollbackWrite();
            }
            op(w);
            if (QTest::currentTestFailed())
                return;
            QVERIFY(w.state() != before);
            w.checkMemoryMatchesDatabase();
        }
    }

    // A unit undoes what it did to files: a created file goes, a file in the way comes back, a moved file moves
    // back, a folder it made goes but one that was there stays; what was to be removed stays.
    void unitUndoesFileSteps()
    {
        ProgramFolderFixture f;
        const QString dir = f.paths().ProTablesDir;
        QDir().mkpath(dir + QStringLiteral("old"));
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(dir + QStringLiteral("old/1.cll"), "one"));
        QVERIFY(write(dir + QStringLiteral("old/2.cll"), "two"));
        QVERIFY(write(dir + QStringLiteral("old/3.cll"), "three"));
        {
            WriteUnit unit(f.dm(), f.paths());
            unit.createFolder(dir + QStringLiteral("new/deeper"), true);
            unit.createFolder(dir + QStringLiteral("old"), false);
            QVERIFY(unit.copyFile(dir + QStringLiteral("old/1.cll"), dir + QStringLiteral("new/deeper/1.cll")));
            QVERIFY(unit.copyFile(dir + QStringLiteral("old/1.cll"), dir + QStringLiteral("old/2.cll")));   // over 2
            QVERIFY(unit.moveFile(dir + QStringLiteral("old/3.cll"), dir + QStringLiteral("new/3.cll")));
            unit.removeFileAfterCommit(dir + QStringLiteral("old/1.cll"));
            QVERIFY(!QFile::exists(dir + QStringLiteral("old/3.cll")));
            QVERIFY(WorkJournal::HasJournals(f.paths().AppDir));
        }   // not committed
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("new")));
        QVERIFY(QFileInfo(dir + QStringLiteral("old")).isDir());
        QStringList left = QDir(dir + QStringLiteral("old")).entryList(QDir::Files);
        QCOMPARE(left, (QStringList{QStringLiteral("1.cll"), QStringLiteral("2.cll"), QStringLiteral("3.cll")}));
        QFile two(dir + QStringLiteral("old/2.cll"));
        QVERIFY(two.open(QIODevice::ReadOnly));
        QCOMPARE(two.readAll(), QByteArray("two"));
        QVERIFY(!WorkJournal::HasJournals(f.paths().AppDir));

        // Committed: the file set aside and the one to remove go, a missing one is no failure.
        {
            WriteUnit unit(f.dm(), f.paths());
            QVERIFY(unit.copyFile(dir + QStringLiteral("old/1.cll"), dir + QStringLiteral("old/2.cll")));
            unit.removeFileAfterCommit(dir + QStringLiteral("old/3.cll"));
            unit.removeFileAfterCommit(dir + QStringLiteral("old/gone.cll"));
            unit.commit();
            QVERIFY(unit.leftovers().isEmpty());
        }
        left = QDir(dir + QStringLiteral("old")).entryList(QDir::Files);
        QCOMPARE(left, (QStringList{QStringLiteral("1.cll"), QStringLiteral("2.cll")}));
        QVERIFY(!WorkJournal::HasJournals(f.paths().AppDir));
    }

    // Moves go into the journal in one go, but only those whose target is free: a move stops before a target that
    // is taken, and the journal never names that file (recovery of a killed operation moves what the journal names
    // back, and would take another file's place).
    void movesStopBeforeATakenTarget()
    {
        ProgramFolderFixture f;
        const QString dir = f.paths().ProTablesDir;
        QVERIFY(QDir().mkpath(dir + QStringLiteral("from")));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("to")));
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(dir + QStringLiteral("from/1.cll"), "one"));
        QVERIFY(write(dir + QStringLiteral("from/2.cll"), "two"));
        QVERIFY(write(dir + QStringLiteral("from/3.cll"), "three"));
        QVERIFY(write(dir + QStringLiteral("to/12.cll"), "someone else's"));
        {
            WriteUnit unit(f.dm(), f.paths());
            const QList<std::pair<QString, QString>> moves{
                {dir + QStringLiteral("from/1.cll"), dir + QStringLiteral("to/11.cll")},
                {dir + QStringLiteral("from/2.cll"), dir + QStringLiteral("to/12.cll")},
                {dir + QStringLiteral("from/3.cll"), dir + QStringLiteral("to/13.cll")}};
            QCOMPARE(unit.moveFiles(moves), qsizetype(1));
            QVERIFY(QFileInfo::exists(dir + QStringLiteral("to/11.cll")));
            QVERIFY(!QFileInfo::exists(dir + QStringLiteral("to/13.cll")));
            QByteArray journal;
            for (const QFileInfo& j : QDir(WorkJournal::FolderOf(f.paths().AppDir)).entryInfoList(QDir::Files)) {
                QFile file(j.absoluteFilePath());
                QVERIFY(file.open(QIODevice::ReadOnly));
                journal += file.readAll();
            }
            // (Paths are written percent-encoded.)
            QVERIFY2(journal.contains("to%2F11.cll"), journal.constData());
            QVERIFY2(!journal.contains("to%2F12.cll") && !journal.contains("to%2F13.cll"), journal.constData());
        }   // not committed
        QCOMPARE(QDir(dir + QStringLiteral("from")).entryList(QDir::Files),
                 (QStringList{QStringLiteral("1.cll"), QStringLiteral("2.cll"), QStringLiteral("3.cll")}));
        QCOMPARE(QDir(dir + QStringLiteral("to")).entryList(QDir::Files), QStringList{QStringLiteral("12.cll")});
        QFile taken(dir + QStringLiteral("to/12.cll"));
        QVERIFY(taken.open(QIODevice::ReadOnly));
        QCOMPARE(taken.readAll(), QByteArray("someone else's"));
        QVERIFY(!WorkJournal::HasJournals(f.paths().AppDir));
    }

    // A unit inside another joins it: the inner commit writes nothing; the outer failure undoes both; the cached
    // copy goes back to its state when the outer unit tracked it.
    void nestedUnitsAndTrackedRows()
    {
        ProgramFolderFixture f;
        RowSet rows;
        rows.load(f.dm().GetGkxxData(), QStringLiteral("ItemID"));
        {
            WriteUnit outer(f.dm());
            outer.track(rows);
            rows.append({{QStringLiteral("ItemID"), 1}, {QStringLiteral("iSort"), 1}, {QStringLiteral("Name"), QStringLiteral("甲")},
                         {QStringLiteral("TypeID"), QStringLiteral("2")}});
            f.dm().ApplyGkxxUpdates(rows.changeLog());
            rows.merge();
            {
                WriteUnit inner(f.dm());
                inner.track(rows);
                rows.append({{QStringLiteral("ItemID"), 2}, {QStringLiteral("iSort"), 2}, {QStringLiteral("Name"), QStringLiteral("乙")},
                             {QStringLiteral("TypeID"), QStringLiteral("2")}});
                f.dm().ApplyGkxxUpdates(rows.changeLog());
                rows.merge();
                inner.commit();
            }
            QCOMPARE(rows.totalCount(), 2);
        }
        QCOMPARE(rows.totalCount(), 0);
        QCOMPARE(rows.pendingCount(), 0);
        QCOMPARE(f.dm().GetGkxxData().rows.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TstAllOrNothing)
#include "tst_allornothing.moc"
