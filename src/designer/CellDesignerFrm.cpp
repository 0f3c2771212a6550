#include "designer/CellDesignerFrm.h"

#include "app/AutoFillRangeFrm.h"
#include "app/QuelmarApplication.h"
#include "cell/view/CellView.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "designer/ControlDialogs.h"
#include "designer/DesignerCommands.h"
#include "designer/DesignerIcons.h"
#include "designer/SetSheetSizeFrm.h"
#include "designer/SpecialPasteFrm.h"
#include "projects/HeaderFields.h"
#include "projects/HeaderFill.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace designer {

namespace {

const QString kCaption = QStringLiteral("Diridod");

// The actions that stay on while a file is only shown: looking at it, printing it, copying from it, leaving.
const QStringList kReadOnlyActions = {
    QStringLiteral("FilePageSetting"), QStringLiteral("FilePrintPreview"), QStringLiteral("FilePrintWithDlg"),
    QStringLiteral("FilePrintWithoutDlg"), QStringLiteral("FileExportExcel"), QStringLiteral("FileExportPdf"),
    QStringLiteral("FileBack"), QStringLiteral("EditCopy"), QStringLiteral("EditSelectAll"),
    QStringLiteral("EditFind"), QStringLiteral("ViewRowLabel"), QStringLiteral("ViewColLabel"),
    QStringLiteral("ViewSheetLabel"), QStringLiteral("ViewHScroll"), QStringLiteral("ViewVScroll"),
    QStringLiteral("ViewFixed"), QStringLiteral("ViewGridLine"), QStringLiteral("HelpAbout")};

} // namespace

TCellDesignerFrm::TCellDesignerFrm(DesignerServices services, QWidget* parent)
    : QDialog(parent), m_s(std::move(services))
{
    setObjectName(QStringLiteral("TCellDesignerFrm"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("无 - Diridod"));
    setSizeGripEnabled(false);
    m_commands = std::make_unique<DesignerCommands>(m_cell, *m_s.prompter);
    m_colorChooser = [this](const QColor& initial, const QString& title) {
        return QColorDialog::getColor(initial, this, title);
    };

    m_view = new cell::CellView;
    m_view->setObjectName(QStringLiteral("Cell1"));
    m_view->setControl(&m_cell);

    m_menuBar = new QMenuBar(this);
    buildActions();
    buildMenus();
    buildToolBars();

    auto* band = new QWidget;
    band->setObjectName(QStringLiteral("toolBand"));
    auto* bandLayout = new QVBoxLayout(band);
    bandLayout->setContentsMargins(0, 0, 0, 0);
    bandLayout->setSpacing(0);
    for (QToolBar* bar : std::as_const(m_toolBars))
        bandLayout->addWidget(bar);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(band);
    layout->addWidget(m_view, 1);

    // The window takes the whole work area of its screen.
    const QScreen* screen = parent && parent->screen() ? parent->screen() : QApplication::primaryScreen();
    if (screen)
        setGeometry(screen->availableGeometry());

    QUndoStack* undo = m_cell.undoStack();
    connect(undo, &QUndoStack::canUndoChanged, this, &TCellDesignerFrm::updateActions);
    connect(undo, &QUndoStack::canRedoChanged, this, &TCellDesignerFrm::updateActions);
    connect(&m_cell, &cell::CellControl::modifiedChanged, this, &TCellDesignerFrm::updateActions);
    connect(&m_cell, &cell::CellControl::selectionChanged, this, &TCellDesignerFrm::showFormatState);
    // A command over thousands of cells changes them one by one: the buttons follow once it is done.
    connect(&m_cell, &cell::CellControl::cellsChanged, this, [this] {
        if (m_formatStatePending)
            return;
        m_formatStatePending = true;
        QMetaObject::invokeMethod(this, &TCellDesignerFrm::showFormatState, Qt::QueuedConnection);
    });
    updateActions();
}

TCellDesignerFrm::~TCellDesignerFrm()
{
    // The control outlives this window's own members for a moment: it must not call back into them.
    disconnect(m_cell.undoStack(), nullptr, this, nullptr);
    disconnect(&m_cell, nullptr, this, nullptr);
    // The view goes before the control it shows.
    delete m_view;
}

// ---- Building -------------------------------------------------------------------------------------------------------

QAction* TCellDesignerFrm::add(const QString& name, const QString& caption, const QString& icon,
                               const QKeySequence& shortcut, const std::function<void()>& handler)
{
    Q_ASSERT(!m_actions.contains(name));
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    if (!icon.isEmpty())
        a->setIcon(designerIcon(icon));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    QString tip = caption;
    tip.remove(QStringLiteral("(&")).remove(QStringLiteral("...")).remove(QLatin1Char('&'));
    if (tip.endsWith(QLatin1Char(')')) && tip.size() >= 2 && tip.at(tip.size() - 2).isLetter())
        tip.chop(2);
    a->setToolTip(tip.trimmed());
    a->setStatusTip(tip.trimmed());
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { runGuarded(handler); });
    addAction(a);   // the shortcut works wherever the focus is in the window
    m_actions.insert(name, a);
    m_actionOrder << name;
    return a;
}

QAction* TCellDesignerFrm::addToggle(const QString& name, const QString& caption, const QString& icon,
                                     const std::function<void(bool)>& handler)
{
    QAction* a = add(name, caption, icon, {}, {});
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, handler](bool on) { runGuarded([&] { handler(on); }); });
    return a;
}

QAction* TCellDesignerFrm::addDialog(const QString& name, const QString& caption, const QString& icon, int dialog,
                                     int argument)
{
    return add(name, caption, icon, {}, [this, dialog, argument] { runDialog(dialog, argument); });
}

void TCellDesignerFrm::runGuarded(const std::function<void()>& work)
{
    QuelmarApplication::guarded(work);
    updateActions();
}

void TCellDesignerFrm::runDialog(int dialog, int argument)
{
    RunControlDialog(this, m_cell, ControlDialog(dialog), argument);
}

void TCellDesignerFrm::buildActions()
{
    DesignerCommands& c = *m_commands;
    using D = ControlDialog;

    // ---- File ----
    add(QStringLiteral("FileSave"), QStringLiteral("保存(&S)"), QStringLiteral("save"), QKeySequence::Save,
        [this] { fileSave(); });
    addDialog(QStringLiteral("FileImportExcel"), QStringLiteral("导入Excel文件(&I)"), QStringLiteral("importexcel"),
              int(D::ImportExcel));
    addDialog(QStringLiteral("FileExportExcel"), QStringLiteral("导出Excel文件(&X)..."), QStringLiteral("exportexcel"),
              int(D::ExportExcel));
    addDialog(QStringLiteral("FileExportPdf"), QStringLiteral("导出PDF文件(&D)..."), QStringLiteral("pdf"),
              int(D::ExportPdf));
    add(QStringLiteral("FilePageSetting"), QStringLiteral("页面设置(&U)..."), QStringLiteral("pagesetup"), {},
        [this] { m_cell.PrintPageSetup(); });
    add(QStringLiteral("FilePrintPreview"), QStringLiteral("打印预览(&V)..."), QStringLiteral("preview"), {},
        [this] { m_cell.PrintPreviewEx(0, m_cell.GetCurSheet(), true); });
    add(QStringLiteral("FilePrintWithDlg"), QStringLiteral("打印(&P)..."), QStringLiteral("printdlg"), QKeySequence::Print,
        [this] { m_cell.PrintSheet(1, m_cell.GetCurSheet()); });
    add(QStringLiteral("FilePrintWithoutDlg"), QStringLiteral("打印(&P)"), QStringLiteral("print"), {},
        [this] { m_cell.PrintSheet(0, m_cell.GetCurSheet()); });
    add(QStringLiteral("FileAutoFillOpt"), QStringLiteral("填写属性(&F)..."), QStringLiteral("fillopt"), {},
        [this] { autoFillOpt(); });
    add(QStringLiteral("FileLoadProjectInfo"), QStringLiteral("加载工程概况(&L)"), QStringLiteral("projectinfo"), {},
        [this] { loadProjectInfo(); });
    add(QStringLiteral("FileBack"), QStringLiteral("返回(&B)"), QStringLiteral("back"), QKeySequence(Qt::ALT | Qt::Key_F4),
        [this] { close(); });

    // ---- Edit ----
    add(QStringLiteral("EditUndo"), QStringLiteral("撤消(&U)"), QStringLiteral("undo"), QKeySequence(Qt::CTRL | Qt::Key_Z),
        [this] { m_cell.Undo(); });
    add(QStringLiteral("EditRedo"), QStringLiteral("重做(&R)"), QStringLiteral("redo"), QKeySequence(Qt::CTRL | Qt::Key_Y),
        [this] { m_cell.Redo(); });
    add(QStringLiteral("EditCut"), QStringLiteral("剪切(&T)"), QStringLiteral("cut"), QKeySequence::Cut, [&c] { c.Cut(); });
    add(QStringLiteral("EditCopy"), QStringLiteral("复制(&C)"), QStringLiteral("copy"), QKeySequence::Copy,
        [&c] { c.Copy(); });
    add(QStringLiteral("EditPaste"), QStringLiteral("粘贴(&P)"), QStringLiteral("paste"), QKeySequence::Paste,
        [&c] { c.Paste(); });
    add(QStringLiteral("EditSpecialPaste"), QStringLiteral("选择性粘贴(&S)..."), QStringLiteral("specialpaste"), {},
        [this] { specialPaste(); });
    add(QStringLiteral("EditSelectAll"), QStringLiteral("全选(&A)"), QStringLiteral("selectall"), QKeySequence::SelectAll,
        [&c] { c.SelectAll(); });
    static const struct {
        const char* name;
        int flag;
        const char* icon;
    } fills[] = {{"EditFillDown", 1, "filldown"},      {"EditFillRight", 2, "fillright"},
                 {"EditFillUp", 4, "fillup"},          {"EditFillLeft", 8, "fillleft"},
                 {"EditFillRepeat", 16, "fillrepeat"}, {"EditFillArithmetic", 32, "fillarith"},
                 {"EditFillGeometric", 64, "fillgeom"}};
    for (const auto& f : fills)
        add(QLatin1String(f.name), DesignerCommands::fillCaption(f.flag), QLatin1String(f.icon), {},
            [&c, flag = f.flag] { c.Fill(flag); });
    addDialog(QStringLiteral("EditFillBetweenSheet"), QStringLiteral("垂直填充(&W)"), QString(),
              int(D::FillBetweenSheets));
    static const struct {
        const char* name;
        int flag;
    } clears[] = {{"EditClearContent", 1},   {"EditClearFormula", 2}, {"EditClearHyperlink", 4},
                  {"EditClearFormat", 8},    {"EditClearChart", 16},  {"EditClearAll", 32}};
    for (const auto& cl : clears)
        add(QLatin1String(cl.name), DesignerCommands::clearCaption(cl.flag), cl.flag == 1 ? QStringLiteral("clear") : QString(),
            cl.flag == 1 ? QKeySequence(QKeySequence::Delete) : QKeySequence(), [&c, flag = cl.flag] { c.Clear(flag); });
    add(QStringLiteral("EditFind"), QStringLiteral("查找(&F)..."), QStringLiteral("find"), QKeySequence::Find,
        [this] { runDialog(int(D::FindReplace), 0); });
    add(QStringLiteral("EditFindNext"), QStringLiteral("查找下一个(&N)"), QString(), QKeySequence(Qt::Key_F3), {})
        ->setEnabled(false);
    add(QStringLiteral("EditReplace"), QStringLiteral("替换(&H)..."), QStringLiteral("replace"),
        QKeySequence(Qt::CTRL | Qt::Key_H), [this] { runDialog(int(D::FindReplace), 1); });
    add(QStringLiteral("EditGoto"), QStringLiteral("定位(&G)..."), QString(), QKeySequence(Qt::CTRL | Qt::Key_G), {})
        ->setEnabled(false);
    addDialog(QStringLiteral("EditHyperlink"), QStringLiteral("超级链接(&K)..."), QStringLiteral("hyperlink"),
              int(D::Hyperlink));
    addDialog(QStringLiteral("EditSpecialChar"), QStringLiteral("插入特殊符号(&Y)..."), QStringLiteral("specialchar"),
              int(D::SpecialChar));

    // ---- View ----
    const auto viewToggle = [this](const QString& name, const QString& caption,
                                   void (cell::CellControl::*op)(int, int)) {
        QAction* a = addToggle(name, caption, QString(), [this, op](bool on) {
            (m_cell.*op)(on ? 1 : 0, m_cell.GetCurSheet());
        });
        a->setChecked(true);
        return a;
    };
    viewToggle(QStringLiteral("ViewRowLabel"), QStringLiteral("行标(&R)"), &cell::CellControl::ShowRowLabel);
    viewToggle(QStringLiteral("ViewColLabel"), QStringLiteral("列标(&C)"), &cell::CellControl::ShowColLabel);
    viewToggle(QStringLiteral("ViewSheetLabel"), QStringLiteral("页签(&S)"), &cell::CellControl::ShowSheetLabel);
    viewToggle(QStringLiteral("ViewHScroll"), QStringLiteral("水平滚动条(&H)"), &cell::CellControl::ShowHScroll);
    viewToggle(QStringLiteral("ViewVScroll"), QStringLiteral("垂直滚动条(&V)"), &cell::CellControl::ShowVScroll);
    QAction* fixed = addToggle(QStringLiteral("ViewFixed"), QStringLiteral("不滚动行列(&F)"), QStringLiteral("fixed"),
                               [this, &c](bool) {
                                   c.ToggleFixedRowsCols(m_fixedMark);
                                   action(QStringLiteral("ViewFixed"))->setChecked(m_fixedMark);
                               });
    fixed->setToolTip(QStringLiteral("设置不滚动行列"));
    QAction* grid = addToggle(QStringLiteral("ViewGridLine"), QStringLiteral("背景网格线(&G)"), QStringLiteral("grid"),
                              [&c](bool on) { c.ShowGrid(on); });
    grid->setChecked(true);
    addDialog(QStringLiteral("ViewGridPic"), QStringLiteral("表格背景图片(&B)..."), QStringLiteral("backpicture"),
              int(D::BackPicture));

    // ---- Format ----
    addDialog(QStringLiteral("FormatCell"), QStringLiteral("设置单元格格式(&C)..."), QStringLiteral("formatcell"),
              int(D::FormatCell));
    addToggle(QStringLiteral("FormatBold"), QStringLiteral("粗体"), QStringLiteral("bold"), [this](bool) {
        fontStyleChanged();
    })->setShortcut(QKeySequence::Bold);
    addToggle(QStringLiteral("FormatItalic"), QStringLiteral("斜体"), QStringLiteral("italic"), [this](bool) {
        fontStyleChanged();
    })->setShortcut(QKeySequence::Italic);
    addToggle(QStringLiteral("FormatUnderline"), QStringLiteral("下划线"), QStringLiteral("underline"), [this](bool) {
        fontStyleChanged();
    })->setShortcut(QKeySequence::Underline);
    add(QStringLiteral("FormatBackColor"), QStringLiteral("背景色(&B)..."), QStringLiteral("backcolor"), {},
        [this] { chooseColor(true); });
    add(QStringLiteral("FormatTextColor"), QStringLiteral("前景色(&F)..."), QStringLiteral("textcolor"), {},
        [this] { chooseColor(false); });
    addToggle(QStringLiteral("FormatWrap"), QStringLiteral("拆行显示(&T)"), QStringLiteral("wrap"),
              [&c](bool on) { c.Wrap(on); });
    m_alignGroup = new QActionGroup(this);
    m_alignGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    static const struct {
        const char* name;
        const char16_t* caption;
        const char* icon;
        int code;
    } aligns[] = {{"FormatAlignLeft", u"左对齐", "alignleft", HAlignLeftCode},
                  {"FormatAlignCenter", u"居中", "aligncenter", HAlignCenterCode},
                  {"FormatAlignRight", u"右对齐", "alignright", HAlignRightCode}};
    for (const auto& al : aligns) {
        QAction* a = add(QLatin1String(al.name), QString::fromUtf16(al.caption), QLatin1String(al.icon), {}, {});
        a->setCheckable(true);
        a->setData(al.code);
        m_alignGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a](bool on) { alignChanged(a, on); });
    }
    static const struct {
        const char* name;
        const char16_t* caption;
        const char* icon;
        int side;   // -1 grid, -2 frame, -3 "/", -4 "\"
    } draws[] = {{"FormatDrawGrid", u"画网格线(&W)", "drawgrid", -1},
                 {"FormatDrawFrame", u"画框线(&K)", "drawframe", -2},
                 {"FormatDrawTop", u"画单元格上线(&T)", "drawtop", 1},
                 {"FormatDrawBottom", u"画单元格下线(&B)", "drawbottom", 3},
                 {"FormatDrawLeft", u"画单元格左线(&L)", "drawleft", 0},
                 {"FormatDrawRight", u"画单元格右线(&R)", "drawright", 2},
                 {"FormatDrawSlash", u"画正斜线(&X)", "drawslash", -3},
                 {"FormatDrawBackslash", u"画反斜线(&F)", "drawbackslash", -4}};
    for (const auto& d : draws)
        add(QLatin1String(d.name), QString::fromUtf16(d.caption), QLatin1String(d.icon), {}, [this, &c, side = d.side] {
            const int style = lineStyle();
            switch (side) {
            case -1: c.DrawGrid(style); break;
            case -2: c.DrawFrame(style); break;
            case -3: c.DrawDiagonal(true, style); break;
            case -4: c.DrawDiagonal(false, style); break;
            default: c.DrawSide(side, style);
            }
        });
    static const struct {
        const char* name;
        const char16_t* caption;
        const char* icon;
        int kind;
    } erases[] = {{"FormatEraseGrid", u"抹网格线(&W)", "erasegrid", 0},
                  {"FormatEraseFrame", u"抹框线(&K)", "eraseframe", 1},
                  {"FormatEraseLeft", u"抹单元格左线(&L)", "eraseleft", 2},
                  {"FormatEraseRight", u"抹单元格右线(&R)", "eraseright", 3},
                  {"FormatEraseTop", u"抹单元格上线(&T)", "erasetop", 4},
                  {"FormatEraseBottom", u"抹单元格下线(&B)", "erasebottom", 5},
                  {"FormatEraseSlash", u"抹正斜线(&X)", "eraseslash", 6},
                  {"FormatEraseBackslash", u"抹反斜线(&F)", "erasebackslash", 7}};
    for (const auto& e : erases)
        add(QLatin1String(e.name), QString::fromUtf16(e.caption), QLatin1String(e.icon), {},
            [&c, kind = e.kind] { c.EraseLine(kind); });
    addDialog(QStringLiteral("FormatLine"), QStringLiteral("画线/抹线(&D)..."), QStringLiteral("linedialog"), int(D::Line));
    add(QStringLiteral("FormatMerge"), QStringLiteral("设置组合(&M)"), QStringLiteral("merge"), {}, [&c] { c.Merge(); })
        ->setToolTip(QStringLiteral("组合单元格"));
    add(QStringLiteral("FormatUnmerge"), QStringLiteral("取消组合(&U)"), QStringLiteral("unmerge"), {},
        [&c] { c.Unmerge(); })
        ->setToolTip(QStringLiteral("取消组合单元"));
    add(QStringLiteral("FormatSheetSize"), QStringLiteral("表页尺寸(&S)..."), QStringLiteral("sheetsize"), {},
        [this] { sheetSize(); });
    add(QStringLiteral("FormatRMB"), QStringLiteral("人民币符号(&R)"), QStringLiteral("rmb"), {}, [&c] { c.Currency(2); });
    add(QStringLiteral("FormatDollar"), QStringLiteral("美元符号(&M)"), QStringLiteral("dollar"), {},
        [&c] { c.Currency(3); });
    add(QStringLiteral("FormatEuro"), QStringLiteral("欧元符号(&O)"), QStringLiteral("euro"), {}, [&c] { c.Currency(4); });
    add(QStringLiteral("FormatPercent"), QStringLiteral("百分号(&N)"), QStringLiteral("percent"), {},
        [&c] { c.Percent(); });
    add(QStringLiteral("FormatThousands"), QStringLiteral("千分位(&S)"), QStringLiteral("thousands"), {},
        [&c] { c.Thousands(); });
    const QStringList dates = dateStyleCaptions();
    for (int k = 1; k <= dates.size(); ++k)
        add(QStringLiteral("FormatDate%1").arg(k), dates.at(k - 1), k == 1 ? QStringLiteral("date") : QString(), {},
            [&c, k] { c.DateStyle(k, QDate::currentDate()); });
    const QStringList times = timeStyleCaptions();
    for (int k = 1; k <= times.size(); ++k)
        add(QStringLiteral("FormatTime%1").arg(k), times.at(k - 1), k == 1 ? QStringLiteral("time") : QString(), {},
            [&c, k] { c.TimeStyle(k, QTime::currentTime()); });
    add(QStringLiteral("FormatLock"), QStringLiteral("加锁"), QStringLiteral("lock"), {}, [&c] { c.Lock(true); });
    add(QStringLiteral("FormatUnlock"), QStringLiteral("解锁"), QStringLiteral("unlock"), {}, [&c] { c.Lock(false); });
    addDialog(QStringLiteral("FormatInsertPic"), QStringLiteral("插入图片(&P)..."), QString(), int(D::InsertPicture));
    // Only the pictures of the selection go; its contents and formats stay.
    add(QStringLiteral("FormatDelPic"), QStringLiteral("删除图片(&L)"), QStringLiteral("delpicture"), {},
        [&c] { c.Clear(16); });
    addDialog(QStringLiteral("FormatFormatBush"), QStringLiteral("格式刷"), QStringLiteral("brush"),
              int(D::FormatPainter));

    // ---- Formula ----
    addDialog(QStringLiteral("FormulaInput"), QStringLiteral("输入公式(&I)"), QStringLiteral("formula"),
              int(D::FormulaInput));
    addDialog(QStringLiteral("FormulaBatchInput"), QStringLiteral("批量录入公式(&B)..."), QString(), int(D::BatchFormula));
    addDialog(QStringLiteral("FormulaFillSerial"), QStringLiteral("填充公式序列(&S)"), QString(),
              int(D::FillFormulaSerial));
    addDialog(QStringLiteral("FormulaShow"), QStringLiteral("定义单元显示公式(&D)..."), QString(), int(D::ShowFormula));
    addDialog(QStringLiteral("FormulaColor"), QStringLiteral("定义单元颜色公式(&E)..."), QString(), int(D::ColorFormula));
    addDialog(QStringLiteral("FormulaList"), QStringLiteral("公式列表(&L)..."), QString(), int(D::FormulaList));
    add(QStringLiteral("FormulaCalculateAll"), QStringLiteral("重算全表(&C)"), QStringLiteral("calculate"), QKeySequence(Qt::Key_F9),
        [this] { m_cell.CalculateAll(); });
    add(QStringLiteral("FormulaCheck"), QStringLiteral("审核公式(&A)"), QStringLiteral("check"), {},
        [&c] { c.CheckFormulas(); });

    // ---- Data ----
    add(QStringLiteral("DataRowSum"), QStringLiteral("横向求和(&R)"), QStringLiteral("rowsum"), {}, [&c] { c.RowSums(); });
    add(QStringLiteral("DataColSum"), QStringLiteral("纵向求和(&C)"), QStringLiteral("colsum"), {}, [&c] { c.ColSums(); });
    add(QStringLiteral("DataBothSum"), QStringLiteral("双向求和(&D)"), QStringLiteral("bothsum"), {},
        [&c] { c.BothSums(); });
    add(QStringLiteral("BarSortAsc"), QStringLiteral("升序排序"), QStringLiteral("sortasc"), {}, [this] { sort(true); });
    add(QStringLiteral("BarSortDesc"), QStringLiteral("降序排序"), QStringLiteral("sortdesc"), {}, [this] { sort(false); });
    addDialog(QStringLiteral("DataRangeSort"), QStringLiteral("区域排序(&S)..."), QString(), int(D::Sort));
    addDialog(QStringLiteral("DataRotate"), QStringLiteral("数据转置(&R)..."), QString(), int(D::Transpose));
    addDialog(QStringLiteral("DataBlance"), QStringLiteral("舍位平衡(&B)..."), QString(), int(D::RoundBalance));
    addDialog(QStringLiteral("DataRangeQuery"), QStringLiteral("区域查询(&Q)..."), QString(), int(D::RangeQuery));
    addDialog(QStringLiteral("DataRange3DEasySum"), QStringLiteral("简单区域汇总(&T)..."), QString(), int(D::RangeSum));
    addDialog(QStringLiteral("DataRangeClassSum"), QStringLiteral("区域分类汇总(&Y)..."), QString(), int(D::ClassSum));
    addDialog(QStringLiteral("DataRange3DSum"), QStringLiteral("页间区域汇总(&R)..."), QString(), int(D::SheetRangeSum));
    addDialog(QStringLiteral("DataRange3DView"), QStringLiteral("页间区域透视(&V)..."), QString(), int(D::SheetRangeView));
    addDialog(QStringLiteral("DataRange3DQuery"), QStringLiteral("页间区域查询(&Q)..."), QString(),
              int(D::SheetRangeQuery));
    addDialog(QStringLiteral("DataSheet3DQuery"), QStringLiteral("表间区域查询(&Q)..."), QString(), int(D::BookQuery));
    addDialog(QStringLiteral("DataWzdChart"), QStringLiteral("图表向导(&C)..."), QStringLiteral("chart"),
              int(D::ChartWizard));

    // ---- Toolbar buttons of their own ----
    add(QStringLiteral("BarAutoFillInfo"), QStringLiteral("自动填写信息"), QStringLiteral("fillopt"), {},
        [this] { autoFillOpt(); });
    addDialog(QStringLiteral("BarInsertPic"), QStringLiteral("插入图片"), QStringLiteral("picture"),
              int(D::InsertPicture));
    addDialog(QStringLiteral("BarFillSerialDlg"), QStringLiteral("序列填充"), QStringLiteral("serial"),
              int(D::FillSerial));
    add(QStringLiteral("BarInsertCol"), QStringLiteral("插入列"), QStringLiteral("insertcol"), {}, [&c] { c.InsertCols(); });
    add(QStringLiteral("BarAppendCol"), QStringLiteral("追加列"), QStringLiteral("appendcol"), {}, [&c] { c.AppendCols(); });
    add(QStringLiteral("BarDeleteCol"), QStringLiteral("删除列"), QStringLiteral("deletecol"), {}, [&c] { c.DeleteCols(); });
    add(QStringLiteral("BarInsertRow"), QStringLiteral("插入行"), QStringLiteral("insertrow"), {}, [&c] { c.InsertRows(); });
    add(QStringLiteral("BarAppendRow"), QStringLiteral("追加行"), QStringLiteral("appendrow"), {}, [&c] { c.AppendRows(); });
    add(QStringLiteral("BarDeleteRow"), QStringLiteral("删除行"), QStringLiteral("deleterow"), {}, [&c] { c.DeleteRows(); });
    add(QStringLiteral("BarSetTableSize"), QStringLiteral("设置表格大小"), QStringLiteral("tablesize"), {},
        [&c] { c.SetTableSize(); });
    add(QStringLiteral("BarMergeRow"), QStringLiteral("行组合"), QStringLiteral("mergerow"), {}, [&c] { c.MergeRows(); });
    add(QStringLiteral("BarMergeCol"), QStringLiteral("列组合"), QStringLiteral("mergecol"), {}, [&c] { c.MergeCols(); });

    // ---- Help ----
    add(QStringLiteral("HelpAbout"), QStringLiteral("关于 Diridod(&A)..."), QStringLiteral("about"), {},
        [this] { about(); });
}

QMenu* TCellDesignerFrm::dropDownMenu(const QString& name, const QList<QAction*>& entries, QAction* defaultEntry)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(name + QStringLiteral("Menu"));
    menu->addActions(entries);
    menu->setDefaultAction(defaultEntry);
    m_dropDowns.insert(name, menu);
    return menu;
}

void TCellDesignerFrm::buildMenus()
{
    const auto a = [this](const char* name) { return action(QLatin1String(name)); };
    const auto addAll = [&](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (!n)
                m->addSeparator();
            else
                m->addAction(a(n));
        }
    };

    QMenu* file = m_menuBar->addMenu(QStringLiteral("文件(&F)"));
    addAll(file, {"FileSave", nullptr, "FileImportExcel", "FileExportExcel", "FileExportPdf", nullptr,
                  "FilePageSetting", "FilePrintPreview", "FilePrintWithDlg", nullptr, "FileAutoFillOpt",
                  "FileLoadProjectInfo", nullptr, "FileBack"});

    QMenu* edit = m_menuBar->addMenu(QStringLiteral("编辑(&E)"));
    addAll(edit, {"EditUndo", "EditRedo", nullptr, "EditCut", "EditCopy", "EditPaste", "EditSpecialPaste", nullptr,
                  "EditSelectAll", nullptr});
    m_fillMenu = edit->addMenu(QStringLiteral("填充(&I)"));
    addAll(m_fillMenu, {"EditFillDown", "EditFillRight", "EditFillUp", "EditFillLeft", nullptr, "EditFillRepeat",
                        "EditFillArithmetic", "EditFillGeometric", nullptr, "EditFillBetweenSheet"});
    m_clearMenu = edit->addMenu(QStringLiteral("清除(&E)"));
    addAll(m_clearMenu, {"EditClearContent", "EditClearFormula", "EditClearHyperlink", "EditClearFormat",
                         "EditClearChart", nullptr, "EditClearAll"});
    edit->addSeparator();
    addAll(edit, {"EditFind", "EditFindNext", "EditReplace", "EditGoto", nullptr, "EditHyperlink", "EditSpecialChar"});

    QMenu* view = m_menuBar->addMenu(QStringLiteral("视图(&V)"));
    addAll(view, {"ViewRowLabel", "ViewColLabel", "ViewSheetLabel", "ViewHScroll", "ViewVScroll", nullptr,
                  "ViewFixed", "ViewGridLine", nullptr, "ViewGridPic"});

    QMenu* format = m_menuBar->addMenu(QStringLiteral("格式(&F)"));
    addAll(format, {"FormatCell", nullptr, "FormatWrap", "FormatBackColor", "FormatTextColor", nullptr});
    m_drawMenu = format->addMenu(designerIcon(QStringLiteral("drawgrid")), QStringLiteral("画线(&W)"));
    addAll(m_drawMenu, {"FormatDrawGrid", "FormatDrawFrame", nullptr, "FormatDrawTop", "FormatDrawBottom",
                        "FormatDrawLeft", "FormatDrawRight", nullptr, "FormatDrawSlash", "FormatDrawBackslash"});
    m_drawMenu->setDefaultAction(a("FormatDrawGrid"));
    m_eraseMenu = format->addMenu(designerIcon(QStringLiteral("erasegrid")), QStringLiteral("抹线(&E)"));
    addAll(m_eraseMenu, {"FormatEraseGrid", "FormatEraseFrame", nullptr, "FormatEraseLeft", "FormatEraseRight",
                         "FormatEraseTop", "FormatEraseBottom", nullptr, "FormatEraseSlash", "FormatEraseBackslash"});
    m_eraseMenu->setDefaultAction(a("FormatEraseGrid"));
    addAll(format, {"FormatLine", nullptr, "FormatMerge", "FormatUnmerge", nullptr, "FormatSheetSize", nullptr});
    m_numberMenu = format->addMenu(QStringLiteral("数字格式(&N)"));
    addAll(m_numberMenu, {"FormatRMB", "FormatDollar", "FormatEuro", nullptr, "FormatPercent", "FormatThousands",
                          nullptr});
    m_dateMenu = m_numberMenu->addMenu(designerIcon(QStringLiteral("date")), QStringLiteral("日期(&D)"));
    for (int k = 1; k <= 21; ++k)
        m_dateMenu->addAction(action(QStringLiteral("FormatDate%1").arg(k)));
    m_dateMenu->setDefaultAction(action(QStringLiteral("FormatDate1")));
    m_timeMenu = m_numberMenu->addMenu(designerIcon(QStringLiteral("time")), QStringLiteral("时间(&T)"));
    for (int k = 1; k <= 10; ++k)
        m_timeMenu->addAction(action(QStringLiteral("FormatTime%1").arg(k)));
    m_timeMenu->setDefaultAction(action(QStringLiteral("FormatTime1")));
    format->addSeparator();
    addAll(format, {"FormatInsertPic", "FormatDelPic"});

    QMenu* formula = m_menuBar->addMenu(QStringLiteral("公式(&M)"));
    addAll(formula, {"FormulaInput", "FormulaBatchInput", "FormulaFillSerial", nullptr, "FormulaShow", "FormulaColor",
                     "FormulaList", nullptr, "FormulaCalculateAll", "FormulaCheck"});

    QMenu* data = m_menuBar->addMenu(QStringLiteral("数据(&D)"));
    addAll(data, {"DataRowSum", "DataColSum", "DataBothSum", nullptr, "DataRangeSort", "DataRotate", "DataBlance",
                  nullptr, "DataRangeQuery", "DataRange3DEasySum", "DataRangeClassSum", nullptr, "DataRange3DSum",
                  "DataRange3DView", "DataRange3DQuery", "DataSheet3DQuery", nullptr, "DataWzdChart"});

    QMenu* help = m_menuBar->addMenu(QStringLiteral("帮助(&H)"));
    help->addAction(a("HelpAbout"));

    // The drop-downs of the toolbar buttons; each button runs its menu's default entry.
    dropDownMenu(QStringLiteral("BarPaste"), {a("EditPaste"), a("EditSpecialPaste")}, a("EditPaste"));
    m_dropDowns.insert(QStringLiteral("BarDrawLine"), m_drawMenu);
    m_dropDowns.insert(QStringLiteral("BarEraseLine"), m_eraseMenu);
    dropDownMenu(QStringLiteral("BarCurrency"), {a("FormatRMB"), a("FormatDollar"), a("FormatEuro")}, a("FormatRMB"));
    m_dropDowns.insert(QStringLiteral("BarDate"), m_dateMenu);
    m_dropDowns.insert(QStringLiteral("BarTime"), m_timeMenu);
    dropDownMenu(QStringLiteral("BarFill"),
                 {a("EditFillRepeat"), a("EditFillArithmetic"), a("EditFillGeometric"), a("EditFillDown"),
                  a("EditFillRight"), a("EditFillUp"), a("EditFillLeft")},
                 a("EditFillRepeat"));
}

void TCellDesignerFrm::addDropDownButton(QToolBar* bar, const QString& name, const QString& hint, const QString& icon,
                                         QMenu* menu)
{
    QAction* a = add(name, hint, icon, {}, [this, menu] { runDefault(menu); });
    auto* button = new QToolButton(bar);
    button->setDefaultAction(a);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    button->setAutoRaise(true);
    button->setObjectName(name + QStringLiteral("Button"));
    bar->addWidget(button);
}

void TCellDesignerFrm::runDefault(QMenu* menu)
{
    QAction* entry = menu ? menu->defaultAction() : nullptr;
    if (!entry)
        throw QuelmarError(QStringLiteral("Error!"));
    entry->trigger();
}

void TCellDesignerFrm::buildToolBars()
{
    const auto a = [this](const char* name) { return action(QLatin1String(name)); };
    const auto bar = [this](const QString& name, const QString& title) {
        auto* b = new QToolBar(title, this);
        b->setObjectName(name);
        b->setIconSize(QSize(18, 18));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setMovable(false);
        b->setFloatable(false);
        m_toolBars << b;
        return b;
    };

    // One: file, edit, data.
    QToolBar* one = bar(QStringLiteral("FileToolBar"), QStringLiteral("文件、编辑和数据"));
    one->addAction(a("FileSave"));
    one->addAction(a("FilePrintWithoutDlg"));
    one->addAction(a("FilePrintPreview"));
    one->addSeparator();
    one->addAction(a("EditCut"));
    one->addAction(a("EditCopy"));
    addDropDownButton(one, QStringLiteral("BarPaste"), QStringLiteral("粘贴"), QStringLiteral("paste"),
                      m_dropDowns.value(QStringLiteral("BarPaste")));
    one->addAction(a("FormatFormatBush"));
    one->addSeparator();
    one->addAction(a("EditUndo"));
    one->addAction(a("EditRedo"));
    one->addSeparator();
    one->addAction(a("EditFind"));
    one->addAction(a("ViewFixed"));
    one->addSeparator();
    one->addAction(a("BarAutoFillInfo"));
    one->addAction(a("FileLoadProjectInfo"));
    one->addSeparator();
    one->addAction(a("DataRowSum"));
    one->addAction(a("DataColSum"));
    one->addAction(a("DataBothSum"));
    one->addAction(a("BarSortAsc"));
    one->addAction(a("BarSortDesc"));
    one->addAction(a("FormulaInput"));
    one->addSeparator();
    one->addAction(a("BarInsertPic"));
    one->addAction(a("DataWzdChart"));
    one->addSeparator();
    one->addAction(a("FileBack"));

    // Two: rows, columns and cell kinds.
    QToolBar* two = bar(QStringLiteral("RowColToolBar"), QStringLiteral("行列和单元"));
    two->addAction(a("BarInsertCol"));
    two->addAction(a("BarAppendCol"));
    two->addAction(a("BarDeleteCol"));
    two->addSeparator();
    two->addAction(a("BarInsertRow"));
    two->addAction(a("BarAppendRow"));
    two->addAction(a("BarDeleteRow"));
    two->addSeparator();
    two->addAction(a("BarSetTableSize"));
    two->addSeparator();
    two->addAction(a("FormatMerge"));
    two->addAction(a("BarMergeRow"));
    two->addAction(a("BarMergeCol"));
    two->addAction(a("FormatUnmerge"));
    two->addSeparator();
    addDropDownButton(two, QStringLiteral("BarFill"), QStringLiteral("填充"), QStringLiteral("fillrepeat"),
                      m_dropDowns.value(QStringLiteral("BarFill")));
    two->addAction(a("BarFillSerialDlg"));
    two->addSeparator();
    two->addAction(a("FormatLock"));
    two->addAction(a("FormatUnlock"));
    two->addSeparator();
    two->addWidget(new QLabel(QStringLiteral(" 显示比例 ")));
    m_zoom = new QComboBox;
    m_zoom->setObjectName(QStringLiteral("cbZoom"));
    m_zoom->setEditable(true);
    m_zoom->addItems(zoomTexts());
    m_zoom->setCurrentText(QStringLiteral("100%"));
    m_zoom->setMinimumContentsLength(5);
    m_zoom->setToolTip(QStringLiteral("显示比例"));
    connect(m_zoom, &QComboBox::textActivated, this,
            [this](const QString& text) { runGuarded([&] { m_commands->Zoom(text); }); });
    two->addWidget(m_zoom);

    // Three: fonts, colours, alignment, borders and number formats.
    QToolBar* three = bar(QStringLiteral("FormatToolBar"), QStringLiteral("字体、颜色、对齐、边框和数字格式"));
    m_fontName = new QComboBox;
    m_fontName->setObjectName(QStringLiteral("cbFontName"));
    m_fontName->setEditable(true);
    m_fontName->setInsertPolicy(QComboBox::NoInsert);
    m_fontName->setMinimumContentsLength(12);
    m_fontName->setToolTip(QStringLiteral("字体"));
    m_fontName->setCurrentText(QStringLiteral("宋体"));
    connect(m_fontName, &QComboBox::textActivated, this,
            [this](const QString& text) { runGuarded([&] { m_commands->FontName(text); }); });
    three->addWidget(m_fontName);
    m_fontSize = new QComboBox;
    m_fontSize->setObjectName(QStringLiteral("cbFontSize"));
    m_fontSize->setEditable(true);
    m_fontSize->setInsertPolicy(QComboBox::NoInsert);
    m_fontSize->addItems(fontSizeTexts());
    m_fontSize->setCurrentText(QStringLiteral("10"));
    m_fontSize->setMinimumContentsLength(4);
    m_fontSize->setToolTip(QStringLiteral("字号"));
    connect(m_fontSize, &QComboBox::textActivated, this,
            [this](const QString& text) { runGuarded([&] { m_commands->FontSize(text); }); });
    three->addWidget(m_fontSize);
    three->addAction(a("FormatBold"));
    three->addAction(a("FormatItalic"));
    three->addAction(a("FormatUnderline"));
    three->addSeparator();
    three->addAction(a("FormatBackColor"));
    three->addAction(a("FormatTextColor"));
    three->addAction(a("FormatWrap"));
    three->addSeparator();
    three->addAction(a("FormatAlignLeft"));
    three->addAction(a("FormatAlignCenter"));
    three->addAction(a("FormatAlignRight"));
    three->addSeparator();
    m_lineStyle = new QComboBox;
    m_lineStyle->setObjectName(QStringLiteral("cbLineStyle"));
    m_lineStyle->addItems(lineStyleTexts());
    m_lineStyle->setCurrentText(QStringLiteral("细线"));
    m_lineStyle->setToolTip(QStringLiteral("线型"));
    three->addWidget(m_lineStyle);
    addDropDownButton(three, QStringLiteral("BarDrawLine"), QStringLiteral("画线"), QStringLiteral("drawgrid"),
                      m_drawMenu);
    addDropDownButton(three, QStringLiteral("BarEraseLine"), QStringLiteral("抹线"), QStringLiteral("erasegrid"),
                      m_eraseMenu);
    three->addSeparator();
    addDropDownButton(three, QStringLiteral("BarCurrency"), QStringLiteral("货币符号"), QStringLiteral("rmb"),
                      m_dropDowns.value(QStringLiteral("BarCurrency")));
    three->addAction(a("FormatPercent"));
    three->addAction(a("FormatThousands"));
    addDropDownButton(three, QStringLiteral("BarDate"), QStringLiteral("日期"), QStringLiteral("date"), m_dateMenu);
    addDropDownButton(three, QStringLiteral("BarTime"), QStringLiteral("时间"), QStringLiteral("time"), m_timeMenu);
    three->addSeparator();
    three->addAction(a("ViewGridLine"));
}

// ---- Opening and state ------------------------------------------------------------------------------------------------

bool TCellDesignerFrm::openFile(const QString& path, const QString& displayName, int fillMode)
{
    m_fillMode = fillMode;
    action(QStringLiteral("FileAutoFillOpt"))->setVisible(fillMode != 0);
    if (m_cell.OpenFile(path, cell::tableFilePassword()) != 1)
        return false;
    m_cell.EnableUndo(1);
    m_displayName = displayName;
    updateCaption();
    syncViewChecks();
    showFormatState();
    updateActions();
    return true;
}

void TCellDesignerFrm::setReadOnly(const QString& note)
{
    m_readOnly = true;
    m_readOnlyNote = note;
    m_view->setReadOnly(true);
    m_fontName->setEnabled(false);
    m_fontSize->setEnabled(false);
    m_lineStyle->setEnabled(false);
    for (QToolButton* b : findChildren<QToolButton*>())
        if (b->menu() && b->defaultAction() && !kReadOnlyActions.contains(b->defaultAction()->objectName()))
            b->setEnabled(false);
    updateCaption();
    updateActions();
}

void TCellDesignerFrm::updateCaption()
{
    if (m_displayName.isEmpty() && m_cell.GetFileName().isEmpty()) {
        setWindowTitle(QStringLiteral("无 - Diridod"));
        return;
    }
    QString name = m_displayName;
    if (m_readOnly)
        name += m_readOnlyNote.isEmpty() ? QStringLiteral(" [只读]") : QStringLiteral(" [只读：%1]").arg(m_readOnlyNote);
    setWindowTitle(QStringLiteral("%1 - Diridod").arg(name));
}

void TCellDesignerFrm::updateActions()
{
    if (m_readOnly) {
        for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
            it.value()->setEnabled(kReadOnlyActions.contains(it.key()));
        return;
    }
    action(QStringLiteral("EditUndo"))->setEnabled(m_cell.CanUndo() == 1);
    action(QStringLiteral("EditRedo"))->setEnabled(m_cell.CanRedo() == 1);
    // The header-fill commands need the libraries' data.
    const bool data = m_s.dm != nullptr;
    action(QStringLiteral("FileAutoFillOpt"))->setEnabled(data);
    action(QStringLiteral("BarAutoFillInfo"))->setEnabled(data);
    action(QStringLiteral("FileLoadProjectInfo"))->setEnabled(data);
}

void TCellDesignerFrm::syncViewChecks()
{
    const cell::Sheet& sh = m_cell.sheet(m_cell.GetCurSheet());
    action(QStringLiteral("ViewRowLabel"))->setChecked(sh.showRowLabel);
    action(QStringLiteral("ViewColLabel"))->setChecked(sh.showColLabel);
    action(QStringLiteral("ViewSheetLabel"))->setChecked(m_cell.workbook().showSheetLabel);
    action(QStringLiteral("ViewHScroll"))->setChecked(sh.showHScroll);
    action(QStringLiteral("ViewVScroll"))->setChecked(sh.showVScroll);
    action(QStringLiteral("ViewGridLine"))->setChecked(sh.showGrid);
    m_fixedMark = sh.fixedCols > 0 || sh.fixedRows > 0;
    action(QStringLiteral("ViewFixed"))->setChecked(m_fixedMark);
    m_zoom->setCurrentText(QStringLiteral("%1%").arg(qRound(sh.zoom * 100)));
}

// The toggle buttons and boxes show the format of the current cell, so pressing one changes what it shows.
void TCellDesignerFrm::showFormatState()
{
    m_formatStatePending = false;
    const int sheet = m_cell.GetCurSheet();
    const cell::Sheet& sh = m_cell.sheet(sheet);
    const cell::Cell* c = sh.cellAt(m_cell.GetCurCol(), m_cell.GetCurRow());
    const cell::CellFormat f = c ? c->format : cell::CellFormat{};
    action(QStringLiteral("FormatBold"))->setChecked(f.fontStyle & 2);
    action(QStringLiteral("FormatItalic"))->setChecked(f.fontStyle & 4);
    action(QStringLiteral("FormatUnderline"))->setChecked(f.fontStyle & 8);
    action(QStringLiteral("FormatWrap"))->setChecked(f.textStyle == 2);
    const int h = f.align & cell::HAlignMask;
    action(QStringLiteral("FormatAlignLeft"))->setChecked(h == HAlignLeftCode);
    action(QStringLiteral("FormatAlignCenter"))->setChecked(h == HAlignCenterCode);
    action(QStringLiteral("FormatAlignRight"))->setChecked(h == HAlignRightCode);
    const QStringList& fonts = m_cell.workbook().fonts;
    if (!m_fontName->lineEdit() || !m_fontName->lineEdit()->hasFocus())
        m_fontName->setCurrentText(f.font >= 0 && f.font < fonts.size() ? fonts.at(f.font) : QStringLiteral("宋体"));
    if (!m_fontSize->lineEdit() || !m_fontSize->lineEdit()->hasFocus())
        m_fontSize->setCurrentText(QString::number(f.fontSize));
}

void TCellDesignerFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_fontsFilled)
        return;
    // The font names of the screen, once the window shows; the box keeps the current cell's font.
    m_fontsFilled = true;
    const QString current = m_fontName->currentText();
    m_fontName->addItems(QFontDatabase::families());
    m_fontName->setCurrentText(current);
    m_view->setFocus();
}

void TCellDesignerFrm::setColorChooser(std::function<QColor(const QColor&, const QString&)> chooser)
{
    m_colorChooser = std::move(chooser);
}

int TCellDesignerFrm::lineStyle() const
{
    return lineStyleCode(m_lineStyle->currentText());
}

// ---- Commands that need the window's state ------------------------------------------------------------------------

void TCellDesignerFrm::chooseColor(bool background)
{
    const QColor color = m_colorChooser(background ? QColor(Qt::white) : QColor(Qt::black),
                                        background ? QStringLiteral("背景色") : QStringLiteral("前景色"));
    if (!color.isValid())
        return;
    if (background)
        m_commands->BackColor(color);
    else
        m_commands->TextColor(color);
}

void TCellDesignerFrm::fontStyleChanged()
{
    m_commands->FontStyle(action(QStringLiteral("FormatBold"))->isChecked(),
                          action(QStringLiteral("FormatItalic"))->isChecked(),
                          action(QStringLiteral("FormatUnderline"))->isChecked());
}

void TCellDesignerFrm::alignChanged(QAction* button, bool checked)
{
    runGuarded([&] { m_commands->HorizontalAlign(checked ? button->data().toInt() : HAlignNone); });
}

void TCellDesignerFrm::sort(bool ascending)
{
    if (m_commands->Sort(ascending) == SortOutcome::NeedsDialog)
        runDialog(int(ControlDialog::Sort), 0);
}

void TCellDesignerFrm::fileSave()
{
    if (m_readOnly)
        return;
    int result = 0;
    {
        BusyCursor busy(*m_s.prompter);
        result = m_cell.SaveFile(m_cell.GetFileName(), 0);
    }
    if (result != 1)
        m_s.prompter->error(kCaption, QStringLiteral("文件没有被保存？"));
}

void TCellDesignerFrm::autoFillOpt()
{
    if (!m_s.dm)
        return;
    RunFillPositions(*m_s.dm, *m_s.prompter, this, m_fillMode, m_cell);
}

void TCellDesignerFrm::loadProjectInfo()
{
    if (!m_s.dm)
        return;
    const std::optional<FillPositions> positions = ReadFillPositions(*m_s.dm, m_fillMode);
    if (!positions)
        throw QuelmarError(QStringLiteral("没找到相应表格表头信息！"));
    const QStringList values = m_s.headerValues ? m_s.headerValues() : QStringList();
    const OptionItems items = ReadOptionItems(*m_s.dm);
    cell::CellControl::EditGroup group(m_cell, QStringLiteral("加载工程概况"));
    if (!values.isEmpty()) {
        const int sheet = m_cell.GetCurSheet();
        for (int n = 1; n <= HeaderFields::Count; ++n) {
            const FillPosition& f = (*positions)[size_t(n - 1)];
            int col = 0, row = 0;
            if (f.filled && cell::CellControl::ParseCellRef(f.ref(), col, row))
                m_cell.SetCellString(col, row, sheet, values.value(n - 1));
        }
    }
    AttachOptionLists(m_cell, *positions, items, 1);
    m_cell.Redraw();
}

void TCellDesignerFrm::specialPaste()
{
    TSpecialPasteFrm dialog(*m_s.prompter, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_commands->SpecialPaste(dialog.mode(), dialog.sameSize(), dialog.skipBlanks());
}

void TCellDesignerFrm::sheetSize()
{
    TSetSheetSizeFrm dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_commands->SetSheetSize(dialog.rowsText(), dialog.colsText());
}

void TCellDesignerFrm::about()
{
    QDialog box(this);
    box.setWindowTitle(QStringLiteral("关于Diridod"));
    box.setObjectName(QStringLiteral("AboutDiridod"));
    auto* label = new QLabel(QStringLiteral("Diridod v1.0"));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(220);
    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("确定(&O)"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    auto* icon = new QLabel;
    icon->setPixmap(designerIcon(QStringLiteral("about")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addWidget(label);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    box.exec();
}

// ---- Closing -----------------------------------------------------------------------------------------------------------

bool TCellDesignerFrm::closeQuery()
{
    if (m_readOnly) {
        m_cell.ResetContent();
        return true;
    }
    if (m_cell.IsModified() != 1)
        return true;
    const QString text = QStringLiteral("%1 文件已经改变。\r\n\r\n想保存文件吗？").arg(m_cell.GetFileName());
    switch (m_s.prompter->question(kCaption, text, true)) {
    case Prompter::Answer::Cancel: return false;
    case Prompter::Answer::Yes: {
        int result = 0;
        {
            BusyCursor busy(*m_s.prompter);
            result = m_cell.SaveFile(m_cell.GetFileName(), 1);
        }
        // A save that fails keeps the window open with the changes: closing would lose them without a word.
        if (result != 1) {
            m_s.prompter->error(kCaption, QStringLiteral("文件没有被保存？"));
            return false;
        }
        return true;
    }
    case Prompter::Answer::No: m_cell.ResetContent(); return true;
    }
    return true;
}

void TCellDesignerFrm::done(int result)
{
    if (m_closing)
        return;
    m_closing = true;
    bool mayClose = false;
    QuelmarApplication::guarded([&] { mayClose = closeQuery(); });
    m_closing = false;
    if (mayClose)
        QDialog::done(result);
}

}  // namespace designer
