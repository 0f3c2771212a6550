// The spreadsheet control's dialogs as the designer opens them: each is filled in from here by its fields' object
// names and accepted; its effect on a small workbook is checked, and one undo must give the workbook back exactly.
// Cancel changes nothing; refused input shows a Chinese message, leaves the dialog open and changes nothing.
#include "cell/CellControl.h"
#include "cell/TableFile.h"
#include "cell/excel/ExcelExport.h"
#include "designer/ControlDialogs.h"
#include "support/ModalWalker.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>

using cell::CellControl;
using designer::ControlDialog;

using Step = ModalWalker::Step;
using Setup = std::function<void(CellControl&)>;
using Check = std::function<void(const CellControl&)>;
Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Check)
Q_DECLARE_METATYPE(ControlDialog)

namespace {

// ---- driving a dialog -----------------------------------------------------------------------------------------------

template <class W> W* field(QWidget* dlg, const char* name)
{
    W* w = dlg->findChild<W*>(QLatin1String(name));
    if (!w)
        qWarning("no field \"%s\" in \"%s\"", name, qPrintable(dlg->windowTitle()));
    return w;
}

void type(QWidget* dlg, const char* name, const QString& text)
{
    if (auto* e = field<QLineEdit>(dlg, name))
        e->setText(text);
}

void tick(QWidget* dlg, const char* name, bool on = true)
{
    if (auto* b = field<QAbstractButton>(dlg, name))
        b->setChecked(on);
}

void choose(QWidget* dlg, const char* name, int index)
{
    if (auto* c = field<QComboBox>(dlg, name))
        c->setCurrentIndex(index);
}

void chooseData(QWidget* dlg, const char* name, const QVariant& data)
{
    if (auto* c = field<QComboBox>(dlg, name))
        c->setCurrentIndex(c->findData(data));
}

void press(QWidget* dlg, QDialogButtonBox::StandardButton which)
{
    for (auto* box : dlg->findChildren<QDialogButtonBox*>())
        if (QPushButton* b = box->button(which)) {
            b->click();
            return;
        }
    qWarning("no standard button in \"%s\"", qPrintable(dlg->windowTitle()));
}

void click(QWidget* dlg, const char* name)
{
    if (auto* b = field<QAbstractButton>(dlg, name))
        b->click();
}

// Fills the dialog with `fill`, then presses 确定.
Step okAfter(std::function<void(QWidget*)> fill)
{
    return [fill](QWidget* w) {
        fill(w);
        press(w, QDialogButtonBox::Ok);
    };
}

// Notes the text of a message box and closes it.
Step note(QStringList* messages)
{
    return [messages](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        *messages << (box ? box->text() : QStringLiteral("<not a message box: %1>").arg(w->windowTitle()));
        ModalWalker::close(w);
    };
}

// Picks `path` in a file dialog.
Step pickFile(const QString& path)
{
    return [path](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        if (!fd) {
            qWarning("not a file dialog: %s", qPrintable(w->windowTitle()));
            ModalWalker::close(w);
            return;
        }
        fd->setDirectory(QFileInfo(path).path());
        if (auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QFileInfo(path).fileName());
        QMetaObject::invokeMethod(fd, "accept");
    };
}

// ---- the workbook ---------------------------------------------------------------------------------------------------

// Sheet 1: a header row and four rows (名称, 数量) in A1:B5; two more sheets; undo on from here.
void fillBook(CellControl& c)
{
    c.SetCols(9, 0);
    c.SetRows(12, 0);
    c.SetCellString(1, 1, 0, QStringLiteral("名称"));
    c.SetCellString(2, 1, 0, QStringLiteral("数量"));
    const QStringList names{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("甲"), QStringLiteral("丙")};
    const double numbers[4] = {3, 1, 4, 2};
    for (int i = 0; i < 4; ++i) {
        c.SetCellString(1, 2 + i, 0, names.at(i));
        c.SetCellDouble(2, 2 + i, 0, numbers[i]);
    }
    c.insertSheet(1, QStringLiteral("二月"));
    c.insertSheet(2, QStringLiteral("三月"));
    c.SetCellDouble(2, 2, 1, 10);
    c.SetCellDouble(2, 2, 2, 20);
    c.setCurSheet(0);
    c.setSelection(1, 2, cell::Range{1, 1, 2, 5});
    c.EnableUndo(1);
}

// Everything of the workbook that an operation may change, without where the cursor is, and without the font and
// colour tables: a colour once looked up keeps its entry (cells refer to entries by index), and undo does not take
// unused entries out again.
QByteArray contentOf(const CellControl& c)
{
    cell::Workbook wb = c.workbook();
    wb.fonts.clear();
    wb.colors.clear();
    wb.curSheet = 0;
    for (cell::Sheet& sh : wb.sheets) {
        sh.curCol = sh.curRow = 1;
        sh.selection = cell::Range{1, 1, 1, 1};
    }
    return cell::TableFileWriter::payload(wb);
}

QString text(const CellControl& c, int col, int row, int sheet = 0)
{
    return c.cellText(col, row, sheet);
}

QString formula(const CellControl& c, int col, int row, int sheet = 0)
{
    const cell::Cell* cl = c.sheet(sheet).cellAt(col, row);
    return cl ? cl->formula : QString();
}

double number(const CellControl& c, int col, int row)
{
    const cell::Cell* cl = c.sheet(0).cellAt(col, row);
    const double* v = cl ? std::get_if<double>(&cl->value) : nullptr;
    return v ? *v : qQNaN();
}

cell::CellFormat formatAt(const CellControl& c, int col, int row)
{
    const cell::Cell* cl = c.sheet(0).cellAt(col, row);
    return cl ? cl->format : cell::CellFormat{};
}

QByteArray pngBytes()
{
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}

bool chinese(const QString& s)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return s.contains(han);
}

} // namespace

class TestControlDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void acceptedDialogsDoTheirWork_data();
    void acceptedDialogsDoTheirWork();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void refusedInput_data();
    void refusedInput();
    void findNextSaysNotFound();
    void queriesListTheRows_data();
    void queriesListTheRows();
    void formulaListGoesToTheCell();
    void formatCellAppliesOnlyTouchedPages();
    void tabOrderFollowsTheLayout_data();
    void tabOrderFollowsTheLayout();

private:
    bool run(ControlDialog dialog, int argument, const QList<Step>& steps);

    QTemporaryDir m_dir;
    QMainWindow* m_window = nullptr;
    CellControl* m_control = nullptr;
    QStringList m_unexpected;
};

void TestControlDialogs::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile png(m_dir.filePath(QStringLiteral("logo.png")));
    QVERIFY(png.open(QIODevice::WriteOnly));
    png.write(pngBytes());
    png.close();
    // A small Excel file to import, written by the exporter.
    CellControl source;
    source.SetCellString(1, 1, 0, QStringLiteral("导入"));
    source.SetCellDouble(2, 1, 0, 42);
    cell::excel::exportXlsx(source.workbook(), m_dir.filePath(QStringLiteral("in.xlsx")));
    QFile damaged(m_dir.filePath(QStringLiteral("damaged.xlsx")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("PK\x03\x04 this is no workbook");
}

void TestControlDialogs::init()
{
    m_window = new QMainWindow;
    m_window->resize(800, 600);
    m_window->show();
    m_control = new CellControl;
    fillBook(*m_control);
    m_unexpected.clear();
}

void TestControlDialogs::cleanup()
{
    delete m_control;
    delete m_window;
}

bool TestControlDialogs::run(ControlDialog dialog, int argument, const QList<Step>& steps)
{
    ModalWalker walker;
    for (const Step& s : steps)
        walker.then(s);
    // A dialog that waits for a step that never comes is closed, so that the test fails instead of hanging.
    QTimer watchdog;
    watchdog.setInterval(10000);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
        m_unexpected << QStringLiteral("still open: %1").arg(QApplication::activeModalWidget()
                                                                 ? QApplication::activeModalWidget()->windowTitle()
                                                                 : QStringLiteral("?"));
        if (QWidget* w = QApplication::activeModalWidget())
            ModalWalker::close(w);
    });
    watchdog.start();
    m_unexpected.clear();
    const bool changed = designer::RunControlDialog(m_window, *m_control, dialog, argument);
    if (!QTest::qWaitFor([&] { return walker.done(); }, 5000))
        m_unexpected << QStringLiteral("steps left unused");
    m_unexpected << walker.unexpected;
    if (!m_unexpected.isEmpty())
        qWarning() << "modal windows:" << walker.titles;
    return changed;
}

// ---- accepted: the effect, and one undo ----------------------------------------------------------------------------

void TestControlDialogs::acceptedDialogsDoTheirWork_data()
{
    QTest::addColumn<ControlDialog>("dialog");
    QTest::addColumn<int>("argument");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<int>("messages");   // message boxes that follow (noted, not checked here)
    QTest::addColumn<Check>("check");
    const Setup none = [](CellControl&) {};
    const QString png = m_dir.filePath(QStringLiteral("logo.png"));

    QTest::newRow("replace all") << ControlDialog::FindReplace << 1 << none
                                 << QList<Step>{[](QWidget* w) {
                                                    type(w, "find", QStringLiteral("甲"));
                                                    type(w, "replaceWith", QStringLiteral("丁"));
                                                    click(w, "replaceAll");
                                                },
                                                nullptr, ModalWalker::reject()}
                                 << 1 << Check([](const CellControl& c) {
                                        QCOMPARE(text(c, 1, 2), QStringLiteral("丁"));
                                        QCOMPARE(text(c, 1, 4), QStringLiteral("丁"));
                                        QCOMPARE(text(c, 1, 3), QStringLiteral("乙"));
                                    });
    QTest::newRow("hyperlink to a place") << ControlDialog::Hyperlink << 0 << none
                                          << QList<Step>{okAfter([](QWidget* w) {
                                                 tick(w, "toPlace");
                                                 choose(w, "sheet", 1);
                                                 type(w, "cell", QStringLiteral("b3"));
                                             })}
                                          << 0 << Check([](const CellControl& c) {
                                                 QCOMPARE(c.sheet(0).cellAt(1, 2)->hyperlink, QStringLiteral("#二月!B3"));
                                             });
    QTest::newRow("special character") << ControlDialog::SpecialChar << 0 << none
                                       << QList<Step>{okAfter([](QWidget* w) {
                                              for (auto* b : w->findChildren<QToolButton*>())
                                                  if (b->text() == QStringLiteral("℃"))
                                                      b->click();
                                          })}
                                       << 0 << Check([](const CellControl& c) { QCOMPARE(text(c, 1, 2), QStringLiteral("甲℃")); });
    QTest::newRow("fill between sheets") << ControlDialog::FillBetweenSheets << 0 << none
                                         << QList<Step>{okAfter([](QWidget* w) {
                                                field<QListWidget>(w, "sheets")->item(2)->setCheckState(Qt::Checked);
                                            })}
                                         << 0 << Check([](const CellControl& c) {
                                                QCOMPARE(text(c, 1, 5, 2), QStringLiteral("丙"));
                                                QCOMPARE(text(c, 2, 5, 2), QStringLiteral("2"));
                                                QCOMPARE(text(c, 1, 5, 1), QString());
                                            });
    QTest::newRow("background picture") << ControlDialog::BackPicture << 0 << none
                                        << QList<Step>{[](QWidget* w) { click(w, "choose"); }, pickFile(png),
                                                       [](QWidget* w) { press(w, QDialogButtonBox::Ok); }}
                                        << 0 << Check([](const CellControl& c) {
                                               QCOMPARE(c.sheet(0).backgroundPicture, pngBytes());
                                           });
    QTest::newRow("format cell: wrap and centre") << ControlDialog::FormatCell << 0 << none
                                                  << QList<Step>{okAfter([](QWidget* w) {
                                                         tick(w, "wrap");
                                                         chooseData(w, "hAlign", int(cell::AlignHCenter));
                                                     })}
                                                  << 0 << Check([](const CellControl& c) {
                                                         for (const auto& [col, row] : {std::pair{1, 1}, std::pair{2, 5}}) {
                                                             QCOMPARE(formatAt(c, col, row).textStyle, 2);
                                                             QCOMPARE(formatAt(c, col, row).align & cell::HAlignMask, int(cell::AlignHCenter));
                                                         }
                                                         QCOMPARE(formatAt(c, 3, 1).textStyle, 0);
                                                     });
    QTest::newRow("format cell: a date style") << ControlDialog::FormatCell << 0 << none
                                               << QList<Step>{okAfter([](QWidget* w) {
                                                      choose(w, "numType", 3);
                                                      chooseData(w, "dateStyle", 12);
                                                  })}
                                               << 0 << Check([](const CellControl& c) {
                                                      QCOMPARE(formatAt(c, 2, 3).numType, int(cell::NumDate));
                                                      QCOMPARE(formatAt(c, 2, 3).dateStyle, 12);
                                                  });
    QTest::newRow("line: frame") << ControlDialog::Line << 0 << none
                                 << QList<Step>{okAfter([](QWidget* w) {
                                        choose(w, "kind", 1);
                                        chooseData(w, "style", 4);
                                    })}
                                 << 0 << Check([](const CellControl& c) {
                                        QCOMPARE(int(formatAt(c, 1, 1).border[cell::Top].style), 4);
                                        QCOMPARE(int(formatAt(c, 2, 5).border[cell::Right].style), 4);
                                        QCOMPARE(int(formatAt(c, 1, 3).border[cell::Right].style), 0);
                                    });
    QTest::newRow("insert picture") << ControlDialog::InsertPicture << 0 << none << QList<Step>{pickFile(png)} << 0
                                    << Check([](const CellControl& c) {
                                           QCOMPARE(c.sheet(0).pictures.size(), 1);
                                           QCOMPARE(c.sheet(0).pictures.first().data, pngBytes());
                                           QCOMPARE(c.sheet(0).pictures.first().anchor, (cell::Range{1, 1, 2, 5}));
                                       });
    QTest::newRow("formula input") << ControlDialog::FormulaInput << 0 << none
                                   << QList<Step>{okAfter([](QWidget* w) { type(w, "formula", QStringLiteral("=sum(B2:B5)")); })}
                                   << 0 << Check([](const CellControl& c) {
                                          QCOMPARE(formula(c, 1, 2), QStringLiteral("SUM(B2:B5)"));
                                          QCOMPARE(text(c, 1, 2), QStringLiteral("10"));
                                      });
    QTest::newRow("batch formula") << ControlDialog::BatchFormula << 0 << none
                                   << QList<Step>{okAfter([](QWidget* w) {
                                          type(w, "range", QStringLiteral("C2:C5"));
                                          type(w, "formula", QStringLiteral("=B2*10"));
                                      })}
                                   << 0 << Check([](const CellControl& c) {
                                          QCOMPARE(formula(c, 3, 5), QStringLiteral("B5*10"));
                                          QCOMPARE(text(c, 3, 5), QStringLiteral("20"));
                                      });
    QTest::newRow("fill formula series") << ControlDialog::FillFormulaSerial << 0
                                         << Setup([](CellControl& c) { c.SetFormula(3, 2, 0, QStringLiteral("B2+1")); })
                                         << QList<Step>{okAfter([](QWidget* w) {
                                                type(w, "range", QStringLiteral("C2:C5"));
                                                tick(w, "down");
                                            })}
                                         << 0 << Check([](const CellControl& c) {
                                                QCOMPARE(formula(c, 3, 4), QStringLiteral("B4+1"));
                                                QCOMPARE(text(c, 3, 5), QStringLiteral("3"));
                                            });
    QTest::newRow("show formula") << ControlDialog::ShowFormula << 0 << none
                                  << QList<Step>{okAfter([](QWidget* w) { type(w, "formula", QStringLiteral("=IF(B2>2,\"多\",\"少\")")); })}
                                  << 0 << Check([](const CellControl& c) {
                                         QVERIFY(!c.sheet(0).cellAt(1, 2)->rules.showFormula.isEmpty());
                                         QCOMPARE(text(c, 1, 2), QStringLiteral("多"));
                                     });
    QTest::newRow("colour formula") << ControlDialog::ColorFormula << 0 << none
                                    << QList<Step>{okAfter([](QWidget* w) { type(w, "formula", QStringLiteral("=B2>2")); })}
                                    << 0 << Check([](const CellControl& c) {
                                           const cell::CellRules& r = c.sheet(0).cellAt(1, 2)->rules;
                                           QCOMPARE(r.colorFormula, QStringLiteral("B2>2"));
                                           QCOMPARE(QColor::fromRgba(r.textColor), QColor(Qt::red));
                                       });
    QTest::newRow("transpose") << ControlDialog::Transpose << 0 << none
                               << QList<Step>{okAfter([](QWidget* w) { type(w, "target", QStringLiteral("D1")); })}
                               << 0 << Check([](const CellControl& c) {
                                      QCOMPARE(text(c, 4, 1), QStringLiteral("名称"));
                                      QCOMPARE(text(c, 8, 1), QStringLiteral("丙"));
                                      QCOMPARE(text(c, 8, 2), QStringLiteral("2"));
                                  });
    QTest::newRow("round balance") << ControlDialog::RoundBalance << 0
                                   << Setup([](CellControl& c) {
                                          for (int row = 2; row <= 4; ++row)
                                              c.SetCellDouble(3, row, 0, 1.4);
                                          c.SetCellDouble(3, 5, 0, 4.2);
                                      })
                                   << QList<Step>{okAfter([](QWidget* w) {
                                          type(w, "range", QStringLiteral("C2:C5"));
                                          field<QSpinBox>(w, "decimals")->setValue(0);
                                          tick(w, "totalCol", false);
                                      })}
                                   << 0 << Check([](const CellControl& c) {
                                          double sum = 0;
                                          for (int row = 2; row <= 4; ++row) {
                                              const double v = number(c, 3, row);
                                              QCOMPARE(v, std::round(v));
                                              sum += v;
                                          }
                                          QCOMPARE(number(c, 3, 5), 4.0);
                                          QCOMPARE(sum, 4.0);
                                      });
    QTest::newRow("sort descending with header") << ControlDialog::Sort << 0 << none
                                                 << QList<Step>{okAfter([](QWidget* w) {
                                                        tick(w, "header");
                                                        chooseData(w, "key1", 2);
                                                        choose(w, "order1", 1);
                                                    })}
                                                 << 0 << Check([](const CellControl& c) {
                                                        QCOMPARE(text(c, 1, 1), QStringLiteral("名称"));
                                                        QCOMPARE(text(c, 2, 2), QStringLiteral("4"));
                                                        QCOMPARE(text(c, 1, 3), QStringLiteral("甲"));
                                                        QCOMPARE(text(c, 2, 5), QStringLiteral("1"));
                                                        QCOMPARE(text(c, 1, 5), QStringLiteral("乙"));
                                                    });
    QTest::newRow("range sum") << ControlDialog::RangeSum << 0
                               << Setup([](CellControl& c) { c.setSelection(2, 2, cell::Range{2, 2, 2, 3}); })
                               << QList<Step>{okAfter([](QWidget* w) {
                                      type(w, "source", QStringLiteral("B4:B5"));
                                      click(w, "add");
                                      type(w, "target", QStringLiteral("D2"));
                                  })}
                               << 0 << Check([](const CellControl& c) {
                                      QCOMPARE(text(c, 4, 2), QStringLiteral("7"));
                                      QCOMPARE(text(c, 4, 3), QStringLiteral("3"));
                                  });
    QTest::newRow("class sum") << ControlDialog::ClassSum << 0 << none
                               << QList<Step>{okAfter([](QWidget* w) { type(w, "target", QStringLiteral("D1")); })}
                               << 0 << Check([](const CellControl& c) {
                                      QStringList rows;
                                      for (int row = 1; row <= 6; ++row)
                                          rows << text(c, 4, row) + QLatin1Char(' ') + text(c, 5, row);
                                      QVERIFY2(rows.contains(QStringLiteral("甲 7")), qPrintable(rows.join(QLatin1Char('|'))));
                                      QVERIFY2(rows.contains(QStringLiteral("合计 10")), qPrintable(rows.join(QLatin1Char('|'))));
                                  });
    QTest::newRow("sheet range sum") << ControlDialog::SheetRangeSum << 0
                                     << Setup([](CellControl& c) { c.setSelection(2, 2, cell::Range{2, 2, 2, 2}); })
                                     << QList<Step>{okAfter([](QWidget* w) { choose(w, "targetSheet", 0); })}
                                     << 0 << Check([](const CellControl& c) { QCOMPARE(text(c, 2, 2), QStringLiteral("30")); });
    QTest::newRow("chart wizard") << ControlDialog::ChartWizard << 0 << none
                                  << QList<Step>{okAfter([](QWidget* w) {
                                         choose(w, "type", 2);
                                         type(w, "title", QStringLiteral("数量构成"));
                                     })}
                                  << 0 << Check([](const CellControl& c) {
                                         QCOMPARE(c.sheet(0).charts.size(), 1);
                                         const cell::Chart& ch = c.sheet(0).charts.first();
                                         QCOMPARE(ch.type, cell::ChartType::Pie);
                                         QCOMPARE(ch.title, QStringLiteral("数量构成"));
                                         QCOMPARE(ch.data, (cell::Range{1, 1, 2, 5}));
                                     });
    QTest::newRow("fill series with a step") << ControlDialog::FillSerial << 0
                                             << Setup([](CellControl& c) { c.SetCellDouble(3, 2, 0, 1); })
                                             << QList<Step>{okAfter([](QWidget* w) {
                                                    type(w, "range", QStringLiteral("C2:C5"));
                                                    type(w, "step", QStringLiteral("2.5"));
                                                })}
                                             << 0 << Check([](const CellControl& c) {
                                                    QCOMPARE(text(c, 3, 3), QStringLiteral("3.5"));
                                                    QCOMPARE(text(c, 3, 5), QStringLiteral("8.5"));
                                                });
    QTest::newRow("import excel, appended") << ControlDialog::ImportExcel << 0 << none
                                            << QList<Step>{okAfter([this](QWidget* w) {
                                                   type(w, "path", m_dir.filePath(QStringLiteral("in.xlsx")));
                                                   tick(w, "append");
                                               }),
                                                           nullptr}
                                            << 1 << Check([](const CellControl& c) {
                                                   QCOMPARE(c.workbook().sheets.size(), 4);
                                                   QCOMPARE(text(c, 1, 1, 3), QStringLiteral("导入"));
                                                   QCOMPARE(text(c, 2, 1, 3), QStringLiteral("42"));
                                                   QCOMPARE(text(c, 1, 2, 0), QStringLiteral("甲"));
                                               });
}

void TestControlDialogs::acceptedDialogsDoTheirWork()
{
    QFETCH(ControlDialog, dialog);
    QFETCH(int, argument);
    QFETCH(Setup, setup);
    QFETCH(QList<Step>, steps);
    QFETCH(int, messages);
    QFETCH(Check, check);
    setup(*m_control);
    const QByteArray before = contentOf(*m_control);
    const int undoBefore = m_control->CanUndo();
    if (undoBefore) {   // what the setup did is not part of the dialog's step
        m_control->EnableUndo(0);
        m_control->EnableUndo(1);
    }
    QStringList noted;
    for (Step& s : steps)
        if (!s)
            s = note(&noted);
    QVERIFY(run(dialog, argument, steps));
    QVERIFY2(m_unexpected.isEmpty(), qPrintable(m_unexpected.join(QLatin1Char('\n'))));
    QCOMPARE(noted.size(), messages);
    for (const QString& m : noted)
        QVERIFY2(chinese(m), qPrintable(m));
    check(*m_control);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(contentOf(*m_control) != before);
    m_control->Undo();
    QCOMPARE(contentOf(*m_control), before);
    QCOMPARE(m_control->CanUndo(), 0);
}

// ---- cancel ---------------------------------------------------------------------------------------------------------

void TestControlDialogs::cancelChangesNothing_data()
{
    QTest::addColumn<ControlDialog>("dialog");
    QTest::addColumn<Step>("fill");
    QTest::newRow("transpose") << ControlDialog::Transpose << Step([](QWidget* w) { type(w, "target", QStringLiteral("D1")); });
    QTest::newRow("sort") << ControlDialog::Sort << Step([](QWidget* w) { choose(w, "order1", 1); });
    QTest::newRow("format cell") << ControlDialog::FormatCell << Step([](QWidget* w) { tick(w, "wrap"); });
    QTest::newRow("fill series") << ControlDialog::FillSerial << Step([](QWidget* w) { type(w, "step", QStringLiteral("3")); });
    QTest::newRow("chart wizard") << ControlDialog::ChartWizard << Step([](QWidget* w) { type(w, "title", QStringLiteral("图")); });
    QTest::newRow("hyperlink") << ControlDialog::Hyperlink << Step([](QWidget* w) { type(w, "url", QStringLiteral("https://x.cn")); });
    QTest::newRow("colour formula") << ControlDialog::ColorFormula << Step([](QWidget* w) { type(w, "formula", QStringLiteral("=1")); });
    QTest::newRow("class sum") << ControlDialog::ClassSum << Step([](QWidget*) {});
    QTest::newRow("import excel") << ControlDialog::ImportExcel
                                  << Step([this](QWidget* w) { type(w, "path", m_dir.filePath(QStringLiteral("in.xlsx"))); });
}

void TestControlDialogs::cancelChangesNothing()
{
    QFETCH(ControlDialog, dialog);
    QFETCH(Step, fill);
    const QByteArray before = contentOf(*m_control);
    QVERIFY(!run(dialog, 0, {[fill](QWidget* w) {
                     fill(w);
                     press(w, QDialogButtonBox::Cancel);
                 }}));
    QVERIFY2(m_unexpected.isEmpty(), qPrintable(m_unexpected.join(QLatin1Char('\n'))));
    QCOMPARE(contentOf(*m_control), before);
    QCOMPARE(m_control->CanUndo(), 0);
}

// ---- refused input --------------------------------------------------------------------------------------------------

void TestControlDialogs::refusedInput_data()
{
    QTest::addColumn<ControlDialog>("dialog");
    QTest::addColumn<Step>("fill");
    QTest::addColumn<QString>("message");   // a part of it
    const auto range = [](const char* name, const char* value) {
        return Step([name, value](QWidget* w) { type(w, name, QString::fromUtf8(value)); });
    };
    QTest::newRow("transpose: empty range") << ControlDialog::Transpose << range("range", "") << QStringLiteral("不正确");
    QTest::newRow("transpose: bad target") << ControlDialog::Transpose << range("target", "第一格") << QStringLiteral("不正确");
    QTest::newRow("sort: not a range") << ControlDialog::Sort << range("range", "A1:") << QStringLiteral("不正确");
    QTest::newRow("series: text step") << ControlDialog::FillSerial << range("step", "二") << QStringLiteral("步长值应为数字");
    QTest::newRow("series: text stop") << ControlDialog::FillSerial << range("stop", "abc") << QStringLiteral("终止值应为数字");
    QTest::newRow("series: stop before start")
        << ControlDialog::FillSerial << Step([](QWidget* w) {
               type(w, "range", QStringLiteral("B2:B5"));
               type(w, "stop", QStringLiteral("1"));
           })
        << QStringLiteral("终止值在起始值之前");
    QTest::newRow("round balance: empty range") << ControlDialog::RoundBalance << range("range", " ") << QStringLiteral("不正确");
    QTest::newRow("fill between sheets: no sheet") << ControlDialog::FillBetweenSheets << Step([](QWidget*) {})
                                                   << QStringLiteral("请选择要填充的表页");
    QTest::newRow("range sum: no target") << ControlDialog::RangeSum << range("target", "") << QStringLiteral("不正确");
    QTest::newRow("sheet range sum: no sheet")
        << ControlDialog::SheetRangeSum << Step([](QWidget* w) {
               auto* list = field<QListWidget>(w, "sheets");
               for (int i = 0; i < list->count(); ++i)
                   list->item(i)->setCheckState(Qt::Unchecked);
           })
        << QStringLiteral("请选择参加汇总的表页");
    QTest::newRow("hyperlink: no address") << ControlDialog::Hyperlink << range("url", "") << QStringLiteral("请输入链接地址");
    QTest::newRow("hyperlink: bad cell") << ControlDialog::Hyperlink << Step([](QWidget* w) {
        tick(w, "toPlace");
        type(w, "cell", QStringLiteral("B"));
    }) << QStringLiteral("不正确");
    QTest::newRow("formula input: broken formula") << ControlDialog::FormulaInput << range("formula", "=SUM(B2:") << QString();
    QTest::newRow("batch formula: bad range") << ControlDialog::BatchFormula << range("range", "C0") << QStringLiteral("不正确");
    QTest::newRow("chart: no place") << ControlDialog::ChartWizard << range("place", "") << QStringLiteral("不正确");
    QTest::newRow("import: no file") << ControlDialog::ImportExcel << Step([](QWidget*) {}) << QStringLiteral("请选择要导入的文件");
    QTest::newRow("import: damaged file")
        << ControlDialog::ImportExcel << Step([this](QWidget* w) { type(w, "path", m_dir.filePath(QStringLiteral("damaged.xlsx"))); })
        << QString();
    QTest::newRow("import: missing file")
        << ControlDialog::ImportExcel << Step([this](QWidget* w) { type(w, "path", m_dir.filePath(QStringLiteral("none.xlsx"))); })
        << QString();
}

void TestControlDialogs::refusedInput()
{
    QFETCH(ControlDialog, dialog);
    QFETCH(Step, fill);
    QFETCH(QString, message);
    const QByteArray before = contentOf(*m_control);
    QStringList noted;
    QStringList stillOpen;
    QVERIFY(!run(dialog, 0, {[fill](QWidget* w) {
                                 fill(w);
                                 press(w, QDialogButtonBox::Ok);
                             },
                             note(&noted),
                             [&stillOpen](QWidget* w) {   // the dialog again, to be put right or cancelled
                                 stillOpen << w->windowTitle();
                                 press(w, QDialogButtonBox::Cancel);
                             }}));
    QVERIFY2(m_unexpected.isEmpty(), qPrintable(m_unexpected.join(QLatin1Char('\n'))));
    QCOMPARE(noted.size(), 1);
    QVERIFY2(chinese(noted.first()), qPrintable(noted.first()));
    QVERIFY2(noted.first().contains(message), qPrintable(noted.first()));
    QCOMPARE(stillOpen.size(), 1);
    QCOMPARE(contentOf(*m_control), before);
    QCOMPARE(m_control->CanUndo(), 0);
}

// ---- dialogs that only show -----------------------------------------------------------------------------------------

void TestControlDialogs::findNextSaysNotFound()
{
    QStringList noted;
    QVERIFY(!run(ControlDialog::FindReplace, 0,
                 {[](QWidget* w) {
                      QVERIFY(!field<QLineEdit>(w, "replaceWith")->isVisibleTo(w));
                      type(w, "find", QStringLiteral("丁"));
                      click(w, "findNext");
                  },
                  note(&noted),
                  [](QWidget* w) {
                      type(w, "find", QStringLiteral("丙"));
                      click(w, "findNext");
                      ModalWalker::close(w);
                  }}));
    QCOMPARE(noted, QStringList{QStringLiteral("找不到“丁”。")});
    QCOMPARE(m_control->GetCurCol(), 1);
    QCOMPARE(m_control->GetCurRow(), 5);
    QCOMPARE(m_control->CanUndo(), 0);
}

void TestControlDialogs::queriesListTheRows_data()
{
    QTest::addColumn<ControlDialog>("dialog");
    QTest::addColumn<int>("found");
    QTest::newRow("range query") << ControlDialog::RangeQuery << 2;
    QTest::newRow("sheet range query") << ControlDialog::SheetRangeQuery << 2;
    QTest::newRow("book query") << ControlDialog::BookQuery << 2;
}

void TestControlDialogs::queriesListTheRows()
{
    QFETCH(ControlDialog, dialog);
    QFETCH(int, found);
    const QByteArray before = contentOf(*m_control);
    int rows = -1;
    QString count;
    const Step query = [&](QWidget* w) {
        type(w, "conditionValue1", QStringLiteral("甲"));
        click(w, "run");
        rows = field<QTableWidget>(w, "results")->rowCount();
        count = field<QLabel>(w, "count")->text();
        ModalWalker::close(w);
    };
    QList<Step> steps{query};
    if (dialog == ControlDialog::BookQuery) {   // the same form saved as a file, chosen by the user
        const QString file = m_dir.filePath(QStringLiteral("same.cll"));
        QVERIFY(cell::TableFileWriter().write(file, QStringLiteral("58206143"), m_control->workbook()));
        steps = {[](QWidget* w) { click(w, "addFiles"); }, pickFile(file), query};
    }
    QVERIFY(!run(dialog, 0, steps));
    QVERIFY2(m_unexpected.isEmpty(), qPrintable(m_unexpected.join(QLatin1Char('\n'))));
    QCOMPARE(rows, found);
    QCOMPARE(count, QStringLiteral("找到 %1 行。").arg(found));
    QCOMPARE(contentOf(*m_control), before);
}

void TestControlDialogs::formulaListGoesToTheCell()
{
    m_control->SetFormula(2, 6, 0, QStringLiteral("SUM(B2:B5)"));
    int listed = -1;
    QVERIFY(!run(ControlDialog::FormulaList, 0, {[&](QWidget* w) {
                     listed = field<QTableWidget>(w, "formulas")->rowCount();
                     click(w, "go");
                 }}));
    QCOMPARE(listed, 1);
    QCOMPARE(m_control->GetCurCol(), 2);
    QCOMPARE(m_control->GetCurRow(), 6);
}

// A page the user did not touch is not applied: the fonts of a mixed selection stay as they were.
void TestControlDialogs::formatCellAppliesOnlyTouchedPages()
{
    m_control->SetCellFontSize(2, 3, 0, 16);
    m_control->SetCellFontStyle(1, 4, 0, 2);
    m_control->EnableUndo(0);
    m_control->EnableUndo(1);
    QVERIFY(run(ControlDialog::FormatCell, 0, {okAfter([](QWidget* w) {
                    field<QTabWidget>(w, "")->setCurrentIndex(5);
                    tick(w, "locked");
                })}));
    QCOMPARE(formatAt(*m_control, 2, 3).fontSize, 16);
    QCOMPARE(formatAt(*m_control, 1, 4).fontStyle, 2);
    QCOMPARE(formatAt(*m_control, 1, 2).fontSize, 10);
    QCOMPARE(formatAt(*m_control, 2, 5).input, 5);
    QCOMPARE(formatAt(*m_control, 3, 5).input, 1);
}

void TestControlDialogs::tabOrderFollowsTheLayout_data()
{
    QTest::addColumn<ControlDialog>("dialog");
    QTest::addColumn<int>("argument");
    // The named fields, from the first on (a radio button of a group that is not checked takes no Tab, but keeps
    // its place for when it is checked).
    QTest::addColumn<QStringList>("order");
    QTest::newRow("replace") << ControlDialog::FindReplace << 1
                             << QStringList{"find", "replaceWith", "order", "lookIn", "matchCase", "wholeCell", "findNext",
                                            "replaceOne", "replaceAll"};
    QTest::newRow("series") << ControlDialog::FillSerial << 0
                            << QStringList{"range", "step", "stop", "inRows", "inColumns", "linear", "growth", "date",
                                           "days", "workdays", "months", "years"};
    QTest::newRow("hyperlink") << ControlDialog::Hyperlink << 0 << QStringList{"toUrl", "url", "toPlace", "sheet", "cell"};
    QTest::newRow("class sum") << ControlDialog::ClassSum << 0
                               << QStringList{"range", "key", "function", "sumColumns", "target", "header", "grandTotal"};
    QTest::newRow("line") << ControlDialog::Line << 0 << QStringList{"range", "draw", "erase", "kind", "style", "color"};
}

void TestControlDialogs::tabOrderFollowsTheLayout()
{
    QFETCH(ControlDialog, dialog);
    QFETCH(int, argument);
    QFETCH(QStringList, order);
    QStringList seen;
    run(dialog, argument, {[&](QWidget* w) {
            QWidget* at = w->findChild<QWidget*>(order.first());
            for (int steps = 0; at && steps < 200 && seen.size() < order.size(); ++steps, at = at->nextInFocusChain())
                if (!at->objectName().isEmpty() && at->focusPolicy() != Qt::NoFocus && at->isVisibleTo(w)
                    && order.contains(at->objectName()) && !seen.contains(at->objectName()))
                    seen << at->objectName();
            ModalWalker::close(w);
        }});
    QVERIFY2(seen == order, qPrintable(seen.join(QLatin1Char(' '))));
}

QTEST_MAIN(TestControlDialogs)
#include "tst_controldialogs.moc"
