#include "support/BenchSupport.h"
#include "cell/CellControl.h"
#include "store/AppPaths.h"
#include "store/DataPool.h"
#include "store/RowSet.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantMap>

namespace bench {

void WriteForm(const QString& path)
{
    cell::CellControl c;
    c.ResetContent();
    c.SetCols(13, 0);
    c.SetRows(31, 0);
    c.MergeCells(1, 1, 12, 1);
    c.SetCellString(1, 1, 0, QStringLiteral("土方路基质量检验表"));
    for (int r = 3; r <= 30; ++r)
        for (int col = 1; col <= 3; ++col)
            c.SetCellString(col, r, 0, QStringLiteral("检查项目 %1-%2").arg(r).arg(col));
    c.DrawLine(1, 3, 12, 30, 0, 2, -1);
    c.SaveFile(path, 0);
}

void BuildTemplate(TDataPoolDM& dm, const AppPaths& paths, const TemplateShape& shape)
{
    const QString folder = paths.MobanFolderPath(shape.folder);
    QDir().mkpath(folder);
    const QString first = folder + QStringLiteral("1.cll");
    WriteForm(first);
    for (int f = 2; f <= shape.forms; ++f)
        QFile::copy(first, folder + QStringLiteral("%1.cll").arg(f));

    RowSet rows;
    rows.load(dm.GetMobanData());
    RowSet fills(QStringLiteral("ID"));
    fills.load(dm.GetHeadingFillRangeData(-1), QStringLiteral("ID"));
    constexpr int kFillBase = 100000;
    int key = 2;
    int items = 0;
    const auto add = [&](int part, const QString& name, int type, int parent, int file) {
        rows.append({{QStringLiteral("iPartIndex"), part},
                     {QStringLiteral("ItemID"), key},
                     {QStringLiteral("Name"), name},
                     {QStringLiteral("TypeID"), type},
                     {QStringLiteral("P_ItemID"), parent},
                     {QStringLiteral("iDir"), shape.folder},
                     {QStringLiteral("File_Name"), file},
                     {QStringLiteral("Ext"), file ? QStringLiteral(".cll") : QString()},
                     {QStringLiteral("FillMode"), file ? kFillBase + file : 0}});
        if (file) {
            QVariantMap fill{{QStringLiteral("ID"), kFillBase + file},
                             {QStringLiteral("BeFilled1"), true},
                             {QStringLiteral("Row1"), QStringLiteral("3")},
                             {QStringLiteral("Col1"), QStringLiteral("C")}};
            if (shape.fillPositions > 1) {
                fill.insert(QStringLiteral("BeFilled2"), true);
                fill.insert(QStringLiteral("Row2"), QStringLiteral("4"));
                fill.insert(QStringLiteral("Col2"), QStringLiteral("C"));
            }
            fills.append(fill);
        }
        ++items;
        return key++;
    };
    const int root = add(1, QStringLiteral("大模板"), 9, 0, 0);
    QList<int> categories;
    for (int d = 0; d < 20; ++d) {
        const int division = add(d, QStringLiteral("分部%1").arg(d), 3, root, 0);
        for (int c = 0; c < 5; ++c)
            categories << add(c, QStringLiteral("分类%1-%2").arg(d).arg(c), 4, division, 0);
    }
    int file = 1;
    QList<int> children(categories.size(), 0);
    for (int i = 0; i < categories.size() && file <= shape.forms; i = (i + 1) % int(categories.size()))
        for (int n = 0; n < 3 && file <= shape.forms; ++n) {
            const int f = file++;
            add(children[i]++, QStringLiteral("分项%1").arg(f), 5, categories.at(i), f);
        }
    for (int i = 0; items < shape.items; i = (i + 1) % int(categories.size()))
        add(children[i]++, QStringLiteral("子分类%1").arg(items), 4, categories.at(i), 0);
    // The recycle bin (ItemID 1) stays the last child of the root.
    rows.setValue(rows.find(1), QStringLiteral("iPartIndex"), 2);
    dm.ApplyHeadingFillRangeUpdates(0, fills.changeLog());
    dm.ApplyMobanUpdates(rows.changeLog());
}

void InsertInOneTransaction(const QString& dbPath, const FloorRows& rows)
{
    const QString name = QStringLiteral("floor%1").arg(rows.base);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        db.open();
        db.transaction();
        QSqlQuery node(db);
        node.prepare(rows.owned ? QStringLiteral("INSERT INTO %1 (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, "
                                                 "File_Name, Ext, FillMode, UserID) "
                                                 "VALUES (?, ?, ?, 4, ?, ?, ?, '.cll', ?, 'Admin')").arg(rows.nodeTable)
                                : QStringLiteral("INSERT INTO %1 (iPartIndex, ItemID, Name, TypeID, P_ItemID, iDir, "
                                                 "File_Name, Ext, FillMode) "
                                                 "VALUES (?, ?, ?, 4, ?, ?, ?, '.cll', ?)").arg(rows.nodeTable));
        QSqlQuery fill(db);
        fill.prepare(rows.fillPositions > 1
                         ? QStringLiteral("INSERT INTO %1 (ID, BeFilled1, Row1, Col1, BeFilled2, Row2, Col2) "
                                          "VALUES (?, 1, '3', 'C', 1, '4', 'C')").arg(rows.fillTable)
                         : QStringLiteral("INSERT INTO %1 (ID, BeFilled1, Row1, Col1) VALUES (?, 1, '3', 'C')")
                               .arg(rows.fillTable));
        for (int i = 0; i < rows.items; ++i) {
            node.addBindValue(i);
            node.addBindValue(rows.base + i);
            node.addBindValue(QStringLiteral("条目%1").arg(i));
            node.addBindValue(rows.base + i / 10);
            node.addBindValue(rows.base);
            node.addBindValue(i);
            node.addBindValue(i < rows.forms ? rows.base + i : 0);
            node.exec();
            if (i < rows.forms) {
                fill.addBindValue(rows.base + i);
                fill.exec();
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace bench
