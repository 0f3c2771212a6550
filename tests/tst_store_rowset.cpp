#include "core/QuelmarError.h"
#include "store/RowSet.h"

#include <QTest>

// The cached copy: filter, key index, changes and the change log the data module writes.
class TstStoreRowSet : public QObject {
    Q_OBJECT

    static RowSet sample()
    {
        DataPacket p;
        p.columns = QStringList{QStringLiteral("ItemID"), QStringLiteral("Name"), QStringLiteral("P_ItemID")};
        p.keyColumn = QStringLiteral("ItemID");
        p.rows = {{0, QStringLiteral("root"), -1}, {1, QStringLiteral("bin"), 0}, {2, QStringLiteral("a"), 0},
                  {3, QStringLiteral("b"), 2}};
        RowSet r;
        r.load(p);
        return r;
    }
    static QStringList names(const RowSet& r)
    {
        QStringList out;
        for (RowSet::RowId id : r.rows())
            out << r.value(id, QStringLiteral("Name")).toString();
        return out;
    }

private slots:
    void filterAndFind()
    {
        RowSet r = sample();
        r.setFilter(QStringLiteral("P_ItemID = 0"));
        QCOMPARE(names(r), QStringList({QStringLiteral("root"), QStringLiteral("bin"), QStringLiteral("a"),
                                        QStringLiteral("b")}));   // set but not switched on
        r.setFiltered(true);
        QCOMPARE(names(r), QStringList({QStringLiteral("bin"), QStringLiteral("a")}));
        // find ignores the filter
        QCOMPARE(r.value(r.find(3), QStringLiteral("Name")).toString(), QStringLiteral("b"));
        QCOMPARE(r.find(99), -1);
        r.setFilter(QStringLiteral("P_ItemID=-1"));
        QCOMPARE(names(r), QStringList{QStringLiteral("root")});
        // Changes show at once under the filter.
        r.setFilter(QStringLiteral("P_ItemID = 0"));
        r.setValue(r.find(3), QStringLiteral("P_ItemID"), qlonglong(0));
        r.remove(r.find(1));
        r.append({{QStringLiteral("ItemID"), 4}, {QStringLiteral("Name"), QStringLiteral("c")}, {QStringLiteral("P_ItemID"), 0}});
        QCOMPARE(names(r), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
        r.setFilter(QStringLiteral("Name = 'a'"));
        QCOMPARE(names(r), QStringList{QStringLiteral("a")});
        QVERIFY_THROWS_EXCEPTION(QuelmarError, r.setFilter(QStringLiteral("P_ItemID > 3")));
    }

    void changeLogHoldsOneEntryPerRowInOrderOfFirstChange()
    {
        RowSet r = sample();
        QCOMPARE(r.pendingCount(), 0);
        r.setValue(r.find(2), QStringLiteral("Name"), QStringLiteral("a2"));
        const RowSet::RowId added = r.append({{QStringLiteral("ItemID"), 7}, {QStringLiteral("Name"), QStringLiteral("n")}});
        r.setValue(added, QStringLiteral("Name"), QStringLiteral("n2"));   // still one insert, with the new value
        r.setValue(r.find(2), QStringLiteral("Name"), QStringLiteral("a3"));
        r.remove(r.find(3));
        const RowSet::RowId gone = r.append({{QStringLiteral("ItemID"), 8}});
        r.remove(gone);                                                    // inserted then deleted: nothing
        QCOMPARE(r.pendingCount(), 3);
        const ChangeLog log = r.changeLog();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log.changes[0].kind, RowChange::Kind::Modify);
        QCOMPARE(log.changes[0].oldValues.at(1).toString(), QStringLiteral("a"));
        QCOMPARE(log.changes[0].newValues.at(1).toString(), QStringLiteral("a3"));
        QCOMPARE(log.changes[1].kind, RowChange::Kind::Insert);
        QCOMPARE(log.changes[1].newValues.at(1).toString(), QStringLiteral("n2"));
        QCOMPARE(log.changes[2].kind, RowChange::Kind::Delete);
        QCOMPARE(log.changes[2].oldValues.at(0).toInt(), 3);
        r.merge();
        QCOMPARE(r.pendingCount(), 0);
        QCOMPARE(r.totalCount(), 4);
    }

    void keyChangeKeepsOldKeyToLocateTheRow()
    {
        RowSet r = sample();
        r.setValue(r.find(2), QStringLiteral("ItemID"), 20);
        QCOMPARE(r.find(2), -1);
        QVERIFY(r.find(20) >= 0);
        const ChangeLog log = r.changeLog();
        QCOMPARE(log.changes[0].oldValues.at(0).toInt(), 2);
    }

    void editBufferPostsOnlyRealChanges()
    {
        RowSet r = sample();
        const RowSet::RowId id = r.find(1);
        r.edit(id);
        r.setField(QStringLiteral("Name"), QStringLiteral("bin"));   // same value, other C++ type for the key
        r.setField(QStringLiteral("ItemID"), qlonglong(1));
        r.post();
        QCOMPARE(r.pendingCount(), 0);
        r.setValue(id, QStringLiteral("Name"), QStringLiteral("x"));
        r.setValue(id, QStringLiteral("Name"), QStringLiteral("bin"));   // edited back
        QCOMPARE(r.pendingCount(), 0);
        r.insert();
        r.setField(QStringLiteral("ItemID"), 9);
        const RowSet::RowId added = r.post();
        QCOMPARE(r.value(added, QStringLiteral("ItemID")).toInt(), 9);
        QCOMPARE(r.pendingCount(), 1);
    }

    void cancelUpdatesRestoresRows()
    {
        RowSet r = sample();
        r.remove(r.find(2));
        r.setValue(r.find(1), QStringLiteral("Name"), QStringLiteral("x"));
        r.append({{QStringLiteral("ItemID"), 5}});
        r.cancelUpdates();
        QCOMPARE(names(r), QStringList({QStringLiteral("root"), QStringLiteral("bin"), QStringLiteral("a"),
                                        QStringLiteral("b")}));
        QCOMPARE(r.pendingCount(), 0);
        QVERIFY(r.find(2) >= 0);
        QCOMPARE(r.find(5), -1);
    }
};

QTEST_GUILESS_MAIN(TstStoreRowSet)
#include "tst_store_rowset.moc"
