// The sheet widget, headless: typing into cells, navigation, selection by keyboard and mouse, merged cells,
// drop-down list cells, the clipboard and undo shortcuts, zoom, fixed rows, painting; and the page-setup dialog.
#include "cell/CellControl.h"
#include "cell/view/CellView.h"
#include "cell/TableFile.h"
#include "cell/view/PageSetupDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace cell;

namespace {
struct Pos {
    int col, row;
};

// Types `text` into `target` as a user would: ASCII through key presses, Chinese through the input method.
void type(QWidget* target, const QString& text)
{
    for (QChar ch : text) {
        if (ch.unicode() < 128) {
            QTest::keyClicks(target, QString(ch));
        } else {
            QInputMethodEvent e;
            e.setCommitString(QString(ch));
            QApplication::sendEvent(target, &e);
        }
    }
}
} // namespace

class TestCellView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void typing_data();
    void typing();
    void editAndCancel();
    void lockedAndReadOnly();
    void keyboardNavigation_data();
    void keyboardNavigation();
    void shiftSelection();
    void mouseSelection();
    void dropDownList();
    void hyperlinkToCell();
    void clipboardAndUndo();
    void deleteClearsContent();
    void zoomAndFixedRows();
    void paintsCells();
    void sheetTabs();
    void pageSetupDialog_data();
    void pageSetupDialog();

private:
    CellControl* m_control = nullptr;
    CellView* m_view = nullptr;
    int sheet() const { return m_control->GetCurSheet(); }
    QString text(int col, int row) const { return m_control->cellText(col, row, sheet()); }
    void go(int col, int row) { m_control->setCurrentCell(col, row); }
    Pos current() const { return Pos{m_control->GetCurCol(), m_control->GetCurRow()}; }
};

void TestCellView::init()
{
    m_control = new CellControl;
    m_control->ResetContent();
    m_view = new CellView;
    m_view->resize(800, 500);
    m_view->setControl(m_control);
    m_view->show();
    m_view->setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void TestCellView::cleanup()
{
    delete m_view;
    delete m_control;
    m_view = nullptr;
    m_control = nullptr;
}

void TestCellView::typing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("isNumber");
    QTest::newRow("number") << "123" << "123" << true;
    QTest::newRow("decimal") << "12.50" << "12.5" << true;
    QTest::newRow("chinese text") << "合格" << "合格" << false;
    QTest::newRow("mixed") << "K12+345" << "K12+345" << false;
}

void TestCellView::typing()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, isNumber);
    go(2, 2);
    type(m_view, typed.left(1));
    QVERIFY(m_view->isEditing());
    type(m_view->textEditor(), typed.mid(1));
    QTest::keyClick(m_view->textEditor(), Qt::Key_Return);
    QVERIFY(!m_view->isEditing());
    QCOMPARE(text(2, 2), shown);
    const Cell* c = m_control->sheet(sheet()).cellAt(2, 2);
    QVERIFY(c);
    QCOMPARE(std::holds_alternative<double>(c->value), isNumber);
    // Enter commits and moves down; Tab commits and moves right.
    QCOMPARE(current().row, 3);
    QTest::keyClicks(m_view, "7");
    QTest::keyClick(m_view->textEditor(), Qt::Key_Tab);
    QCOMPARE(text(2, 3), QStringLiteral("7"));
    QCOMPARE(current().col, 3);
}

void TestCellView::editAndCancel()
{
    m_control->SetCellString(2, 2, sheet(), QStringLiteral("检查"));
    go(2, 2);
    QTest::keyClick(m_view, Qt::Key_F2);
    QVERIFY(m_view->textEditor());
    QCOMPARE(m_view->textEditor()->toPlainText(), QStringLiteral("检查"));
    type(m_view->textEditor(), QStringLiteral("项目"));
    QTest::keyClick(m_view->textEditor(), Qt::Key_Return);
    QCOMPARE(text(2, 2), QStringLiteral("检查项目"));

    // Escape drops what was typed.
    go(2, 2);
    QTest::keyClicks(m_view, "x");
    QTest::keyClick(m_view->textEditor(), Qt::Key_Escape);
    QVERIFY(!m_view->isEditing());
    QCOMPARE(text(2, 2), QStringLiteral("检查项目"));
    QCOMPARE(current().row, 2);

    // Opening and committing without a change leaves a number's format alone.
    m_control->SetCellDouble(3, 3, sheet(), 0.25);
    m_control->SetCellNumType(3, 3, sheet(), NumPercent);
    go(3, 3);
    QTest::keyClick(m_view, Qt::Key_F2);
    QCOMPARE(m_view->textEditor()->toPlainText(), QStringLiteral("25%"));
    QTest::keyClick(m_view->textEditor(), Qt::Key_Return);
    QCOMPARE(text(3, 3), QStringLiteral("25%"));
    QCOMPARE(m_control->sheet(sheet()).cellAt(3, 3)->format.numType, int(NumPercent));

    // Typing then an arrow key commits and moves; after F2 the arrows move the caret instead.
    go(4, 4);
    QTest::keyClicks(m_view, "5");
    QTest::keyClick(m_view->textEditor(), Qt::Key_Right);
    QCOMPARE(text(4, 4), QStringLiteral("5"));
    QCOMPARE(current().col, 5);
    go(4, 4);
    QTest::keyClick(m_view, Qt::Key_F2);
    QTest::keyClick(m_view->textEditor(), Qt::Key_Left);
    QVERIFY(m_view->isEditing());
    QTest::keyClicks(m_view->textEditor(), "1");
    QTest::keyClick(m_view->textEditor(), Qt::Key_Return);
    QCOMPARE(text(4, 4), QStringLiteral("15"));

    // Alt+Enter breaks the line inside the cell; editing it again shows both lines.
    go(6, 6);
    QTest::keyClicks(m_view, "a");
    QTest::keyClick(m_view->textEditor(), Qt::Key_Return, Qt::AltModifier);
    QTest::keyClicks(m_view->textEditor(), "b");
    QTest::keyClick(m_view->textEditor(), Qt::Key_Return);
    QCOMPARE(text(6, 6), QStringLiteral("a\nb"));
    go(6, 6);
    QTest::keyClick(m_view, Qt::Key_F2);
    QVERIFY(m_view->textEditor()->height() > m_view->cellRect(6, 6).height());
    QTest::keyClick(m_view->textEditor(), Qt::Key_Escape);
}

void TestCellView::lockedAndReadOnly()
{
    m_control->SetCellString(2, 2, sheet(), QStringLiteral("锁定"));
    m_control->SetCellInput(2, 2, sheet(), 5);
    go(2, 2);
    QTest::keyClicks(m_view, "9");
    QTest::keyClick(m_view, Qt::Key_F2);
    QTest::keyClick(m_view, Qt::Key_Delete);
    QVERIFY(!m_view->isEditing());
    QCOMPARE(text(2, 2), QStringLiteral("锁定"));

    m_view->setReadOnly(true);
    go(3, 3);
    QTest::keyClicks(m_view, "9");
    QVERIFY(!m_view->isEditing());
    QTest::keyClick(m_view, Qt::Key_Right);   // navigation still works
    QCOMPARE(current().col, 4);
    QCOMPARE(text(3, 3), QString());
}

void TestCellView::keyboardNavigation_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("fromCol");
    QTest::addColumn<int>("fromRow");
    QTest::addColumn<int>("toCol");
    QTest::addColumn<int>("toRow");
    const int none = Qt::NoModifier;
    QTest::newRow("right") << int(Qt::Key_Right) << none << 3 << 5 << 4 << 5;
    QTest::newRow("left at edge") << int(Qt::Key_Left) << none << 1 << 5 << 1 << 5;
    QTest::newRow("up at edge") << int(Qt::Key_Up) << none << 3 << 1 << 3 << 1;
    QTest::newRow("down at last row") << int(Qt::Key_Down) << none << 3 << 30 << 3 << 30;
    QTest::newRow("tab") << int(Qt::Key_Tab) << none << 3 << 5 << 4 << 5;
    QTest::newRow("shift tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 3 << 5 << 2 << 5;
    QTest::newRow("enter") << int(Qt::Key_Return) << none << 3 << 5 << 3 << 6;
    QTest::newRow("home") << int(Qt::Key_Home) << none << 7 << 5 << 1 << 5;
    QTest::newRow("end") << int(Qt::Key_End) << none << 3 << 5 << 10 << 5;
    QTest::newRow("ctrl home") << int(Qt::Key_Home) << int(Qt::ControlModifier) << 7 << 9 << 1 << 1;
    QTest::newRow("ctrl end") << int(Qt::Key_End) << int(Qt::ControlModifier) << 2 << 2 << 10 << 30;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << none << 3 << 1 << 3 << -1;
    // Ctrl+arrow: to the end of the filled run (C3:C6), across blanks to the next filled cell (C12), to the edge.
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("ctrl down in run") << int(Qt::Key_Down) << ctrl << 3 << 3 << 3 << 6;
    QTest::newRow("ctrl down to next") << int(Qt::Key_Down) << ctrl << 3 << 6 << 3 << 12;
    QTest::newRow("ctrl down to edge") << int(Qt::Key_Down) << ctrl << 3 << 12 << 3 << 30;
    QTest::newRow("ctrl up from blank") << int(Qt::Key_Up) << ctrl << 3 << 20 << 3 << 12;
    QTest::newRow("ctrl right empty row") << int(Qt::Key_Right) << ctrl << 1 << 2 << 10 << 2;
    // Merged block B8:C9: moving into it lands on its top-left, moving out leaves from its far edge.
    QTest::newRow("into merge") << int(Qt::Key_Right) << none << 1 << 9 << 2 << 8;
    QTest::newRow("out of merge right") << int(Qt::Key_Right) << none << 2 << 8 << 4 << 8;
    QTest::newRow("out of merge down") << int(Qt::Key_Down) << none << 2 << 8 << 2 << 10;
}

void TestCellView::keyboardNavigation()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, fromCol);
    QFETCH(int, fromRow);
    QFETCH(int, toCol);
    QFETCH(int, toRow);
    m_control->MergeCells(2, 8, 3, 9);
    for (int r : {3, 4, 5, 6, 12})
        m_control->SetCellDouble(3, r, sheet(), r);
    go(fromCol, fromRow);
    QTest::keyClick(m_view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(current().col, toCol);
    if (toRow > 0) {
        QCOMPARE(current().row, toRow);
    } else {
        QVERIFY(current().row > 10);   // a page of rows further
        QCOMPARE(m_view->cellRect(current().col, current().row).isValid(), true);
    }
    // The current cell is always in view.
    QVERIFY(m_view->viewport()->rect().intersects(m_view->cellRect(current().col, current().row)));
}

void TestCellView::shiftSelection()
{
    go(2, 2);
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Down, Qt::ShiftModifier);
    int c1, r1, c2, r2;
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({2, 2, 4, 3}));
    QCOMPARE(current().col, 2);   // the anchor stays the current cell
    QTest::keyClick(m_view, Qt::Key_Left, Qt::ShiftModifier);
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({2, 2, 3, 3}));
    // A selection touching a merged block takes it whole.
    m_control->MergeCells(4, 4, 5, 6);
    go(3, 3);
    QTest::keyClick(m_view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({3, 3, 5, 6}));
    // A plain move collapses the selection.
    QTest::keyClick(m_view, Qt::Key_Up);
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({3, 2, 3, 2}));
}

void TestCellView::mouseSelection()
{
    QWidget* vp = m_view->viewport();
    const QPoint b3 = m_view->cellRect(2, 3).center();
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, b3);
    QCOMPARE(current().col, 2);
    QCOMPARE(current().row, 3);
    int col = 0, row = 0;
    QVERIFY(m_view->cellAt(b3, col, row));
    QCOMPARE(QList<int>({col, row}), QList<int>({2, 3}));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, m_view->cellRect(4, 5).center());
    int c1, r1, c2, r2;
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({2, 3, 4, 5}));
    // Dragging.
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, m_view->cellRect(5, 2).center());
    QMouseEvent move(QEvent::MouseMove, QPointF(m_view->cellRect(6, 4).center()), vp->mapToGlobal(QPointF(m_view->cellRect(6, 4).center())),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, m_view->cellRect(6, 4).center());
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({5, 2, 6, 4}));
    // A click on a column label selects the whole column.
    const QRect c = m_view->cellRect(3, 1);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(c.center().x(), c.top() - 5));
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({3, 1, 3, 30}));
    // A right click inside the selection keeps it; outside, it moves the current cell.
    QTest::mouseClick(vp, Qt::RightButton, Qt::NoModifier, m_view->cellRect(3, 5).center());
    m_control->GetSelectRange(c1, r1, c2, r2);
    QCOMPARE(QList<int>({c1, r1, c2, r2}), QList<int>({3, 1, 3, 30}));
    QTest::mouseClick(vp, Qt::RightButton, Qt::NoModifier, m_view->cellRect(5, 5).center());
    QCOMPARE(current().col, 5);
    QCOMPARE(current().row, 5);
    // Double-click edits.
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, b3);
    QVERIFY(m_view->textEditor());
}

void TestCellView::dropDownList()
{
    m_control->SetDropdownList(2, 2, sheet(), QStringLiteral("合格\n不合格\n"), 2);
    go(2, 2);
    QTest::keyClick(m_view, Qt::Key_F2);
    QComboBox* list = m_view->listEditor();
    QVERIFY(list);
    QVERIFY(!m_view->textEditor());
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->itemText(1), QStringLiteral("不合格"));
    emit list->activated(1);
    QVERIFY(!m_view->isEditing());
    QCOMPARE(text(2, 2), QStringLiteral("不合格"));
    // Typing on a list cell opens the list instead of free text; Escape leaves the cell as it was.
    QTest::keyClicks(m_view, "x");
    QVERIFY(m_view->listEditor());
    QCOMPARE(m_view->listEditor()->currentText(), QStringLiteral("不合格"));
    QTest::keyClick(m_view->listEditor(), Qt::Key_Escape);
    QVERIFY(!m_view->isEditing());
    QCOMPARE(text(2, 2), QStringLiteral("不合格"));
}

void TestCellView::hyperlinkToCell()
{
    m_control->SetCellString(2, 2, sheet(), QStringLiteral("见第25行"));
    m_control->setHyperlink(2, 2, sheet(), QStringLiteral("#Sheet1!$B$25"));
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::ControlModifier, m_view->cellRect(2, 2).center());
    QCOMPARE(current().col, 2);
    QCOMPARE(current().row, 25);
    // A plain click only selects the cell.
    go(1, 1);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, m_view->cellRect(2, 2).center());
    QCOMPARE(current().row, 2);
}

void TestCellView::clipboardAndUndo()
{
    m_control->EnableUndo(1);
    m_control->SetCellString(1, 1, sheet(), QStringLiteral("实测值"));
    m_control->SetCellDouble(2, 1, sheet(), 12.5);
    m_control->SelectRange(1, 1, 2, 1);
    QTest::keyClick(m_view, Qt::Key_C, Qt::ControlModifier);
    go(1, 4);
    QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(text(1, 4), QStringLiteral("实测值"));
    QCOMPARE(text(2, 4), QStringLiteral("12.5"));
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text(1, 4), QString());
    QTest::keyClick(m_view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(text(1, 4), QStringLiteral("实测值"));
    // Cut moves.
    m_control->SelectRange(1, 4, 1, 4);
    QTest::keyClick(m_view, Qt::Key_X, Qt::ControlModifier);
    go(3, 6);
    QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(text(3, 6), QStringLiteral("实测值"));
    QCOMPARE(text(1, 4), QString());
    // Typing is undone too.
    go(5, 5);
    QTest::keyClicks(m_view, "8");
    QTest::keyClick(m_view->textEditor(), Qt::Key_Return);
    QCOMPARE(text(5, 5), QStringLiteral("8"));
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text(5, 5), QString());
}

void TestCellView::deleteClearsContent()
{
    m_control->SetCellString(2, 2, sheet(), QStringLiteral("甲"));
    m_control->SetCellString(3, 3, sheet(), QStringLiteral("乙"));
    m_control->SetCellString(4, 4, sheet(), QStringLiteral("丙"));
    m_control->SetCellBorder(2, 2, sheet(), 0, 2);
    m_control->SetCellInput(3, 3, sheet(), 5);
    m_control->SelectRange(2, 2, 3, 3);
    QTest::keyClick(m_view, Qt::Key_Delete);
    QCOMPARE(text(2, 2), QString());
    QCOMPARE(text(3, 3), QStringLiteral("乙"));   // locked
    QCOMPARE(text(4, 4), QStringLiteral("丙"));   // outside the selection
    QCOMPARE(m_control->sheet(sheet()).cellAt(2, 2)->format.border[0].style, 2);   // formats stay
}

void TestCellView::zoomAndFixedRows()
{
    const int width = m_view->cellRect(2, 2).width();
    m_control->SetScreenScale(sheet(), 2.0);
    QCOMPARE(m_view->cellRect(2, 2).width(), width * 2);
    QWheelEvent wheel(QPointF(100, 100), m_view->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_view->viewport(), &wheel);
    QCOMPARE(m_control->sheet(sheet()).zoom, 2.1);
    m_control->SetScreenScale(sheet(), 1.0);

    m_control->SetRows(201, sheet());
    m_control->SetFixedRows(1, 2);
    const QRect row1 = m_view->cellRect(1, 1);
    go(1, 150);
    QCOMPARE(m_view->cellRect(1, 1), row1);                  // fixed rows stay
    QVERIFY(m_view->cellRect(1, 3).top() < row1.top());      // scrolled rows went under them
    int col = 0, row = 0;
    QVERIFY(m_view->cellAt(m_view->cellRect(1, 150).center(), col, row));
    QCOMPARE(row, 150);
    QVERIFY(m_view->cellAt(row1.center(), col, row));
    QCOMPARE(row, 1);
}

void TestCellView::paintsCells()
{
    const int red = m_control->FindColorIndex(QColor(255, 0, 0), 1);
    m_control->SetCellBackColor(3, 3, sheet(), red);
    m_control->SetCellString(2, 2, sheet(), QStringLiteral("检验表"));
    m_control->SetViewerOption(0);   // no selection highlight over the cells
    const QImage img = m_view->viewport()->grab().toImage();
    QCOMPARE(QColor(img.pixel(m_view->cellRect(3, 3).center())), QColor(255, 0, 0));
    // The text cell has dark pixels, an empty one has none.
    auto darkPixels = [&img](const QRect& r) {
        int n = 0;
        for (int y = r.top() + 2; y < r.bottom() - 1; ++y)
            for (int x = r.left() + 2; x < r.right() - 1; ++x)
                n += qGray(img.pixel(x, y)) < 100;
        return n;
    };
    QVERIFY(darkPixels(m_view->cellRect(2, 2)) > 20);
    QCOMPARE(darkPixels(m_view->cellRect(4, 4)), 0);
}

void TestCellView::sheetTabs()
{
    Workbook wb;
    wb.sheets = {makeSheet(QStringLiteral("检验表")), makeSheet(QStringLiteral("附表"))};
    wb.sheets[1].cellRef(1, 1).value = QStringLiteral("附表内容");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.cll"));
    TableFileWriter writer;
    QVERIFY2(writer.write(path, tableFilePassword(), wb), qPrintable(writer.errorString()));
    QCOMPARE(m_control->OpenFile(path, tableFilePassword()), 1);
    QTabBar* tabs = m_view->sheetTabs();
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(1), QStringLiteral("附表"));
    QVERIFY(tabs->isVisibleTo(m_view));
    // The tabs fit the scroll bar's strip, each with room for its text between its two border lines.
    for (int i = 0; i < tabs->count(); ++i) {
        QVERIFY(tabs->tabRect(i).height() <= tabs->parentWidget()->height());
        QVERIFY(QFontMetrics(tabs->font()).height() <= tabs->tabRect(i).height() - 2);
    }
    tabs->setCurrentIndex(1);
    QCOMPARE(m_control->GetCurSheet(), 1);
    QCOMPARE(text(1, 1), QStringLiteral("附表内容"));
    m_control->ShowSheetLabel(0, 1);
    QVERIFY(!tabs->isVisibleTo(m_view));
}

void TestCellView::pageSetupDialog_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<Range>("area");
    QTest::newRow("empty") << "" << true << Range{};
    QTest::newRow("range") << "A1:F20" << true << Range{1, 1, 6, 20};
    QTest::newRow("reversed lower case") << "f20:a1" << true << Range{1, 1, 6, 20};
    QTest::newRow("one cell") << "B3" << true << Range{2, 3, 2, 3};
    QTest::newRow("beyond the sheet") << "A1:Z99" << false << Range{};
    QTest::newRow("garbage") << "A1:B2:C3" << false << Range{};
    QTest::newRow("no row") << "A:B" << false << Range{};
}

void TestCellView::pageSetupDialog()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(Range, area);
    const Sheet s = makeSheet(QStringLiteral("S"), 10, 30);
    Range got{5, 5, 5, 5};
    QCOMPARE(PageSetupDialog::parsePrintArea(text, s, got), valid);
    if (valid) {
        QCOMPARE(got, area);
        QCOMPARE(PageSetupDialog::printAreaText(area), area.isEmpty() ? QString() : PageSetupDialog::printAreaText(got));
    }
    // The dialog gives back what it was given.
    PageSetup page;
    page.paper = 8;
    page.landscape = true;
    page.marginLeft = 20;
    page.scale = 80;
    page.fitToWidth = true;
    page.centerVertically = true;
    page.printArea = Range{1, 1, 6, 20};
    page.copies = 3;
    PageSetupDialog dialog(page, s);
    QCOMPARE(dialog.pageSetup(), page);
}

QTEST_MAIN(TestCellView)
#include "tst_cellview.moc"
