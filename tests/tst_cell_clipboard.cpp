#include "cell/CellControl.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

using namespace cell;

// Copy and paste through the system clipboard (a GUI application): our own copies keep formats and formulas,
// text from other programs is entered as typed.
class TstCellClipboard : public QObject {
    Q_OBJECT

private slots:
    void ownCopiesKeepFormatsAndFormulas()
    {
        CellControl c;
        c.enterText(1, 1, 0, QStringLiteral("2"));
        c.SetFormula(1, 2, 0, QStringLiteral("A1*3"));
        c.SetCellFontStyle(1, 2, 0, 2);
        c.CopyRange(1, 1, 1, 2);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("2\n6"));
        c.PasteRange(2, 1, 0, 1, 1);
        QCOMPARE(c.sheet(0).cellAt(2, 2)->formula, QStringLiteral("B1*3"));
        QCOMPARE(c.sheet(0).cellAt(2, 2)->format.fontStyle, 2);
        QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("6"));
    }

    void textFromOtherProgramsIsTyped()
    {
        CellControl c;
        c.EnableUndo(1);
        c.SetCellString(3, 3, 0, QStringLiteral("keep"));
        QGuiApplication::clipboard()->setText(QStringLiteral("1,200\t合格\r\n=SUM(A1\t\r\n=1+1\t\r\n"));
        c.PasteRange(2, 2, 0, 1, 0);   // skip blanks
        QCOMPARE(c.cellText(2, 2, 0), QStringLiteral("1200"));
        QCOMPARE(c.cellText(3, 2, 0), QStringLiteral("合格"));
        QCOMPARE(c.cellText(2, 3, 0), QStringLiteral("=SUM(A1"));   // not a formula: kept as text
        QCOMPARE(c.cellText(3, 3, 0), QStringLiteral("keep"));
        QCOMPARE(c.cellText(2, 4, 0), QStringLiteral("2"));
        QCOMPARE(c.sheet(0).cellAt(2, 4)->formula, QStringLiteral("1+1"));
        c.Undo();   // the whole paste is one step
        QVERIFY(!c.sheet(0).cellAt(2, 2));
        QVERIFY(!c.sheet(0).cellAt(2, 4));
        QCOMPARE(c.CanUndo(), 1);   // the SetCellString before it
        // Text beyond the sheet's edge is dropped, not grown into.
        QGuiApplication::clipboard()->setText(QStringLiteral("a\tb\tc"));
        c.PasteRange(9, 1, 0, 1, 1);
        QCOMPARE(c.cellText(10, 1, 0), QStringLiteral("b"));
        QCOMPARE(c.GetCols(0), 11);
    }
};

QTEST_MAIN(TstCellClipboard)
#include "tst_cell_clipboard.moc"
