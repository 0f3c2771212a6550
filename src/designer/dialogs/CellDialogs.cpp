// The dialogs of one cell or block: 超级链接, 插入特殊符号, 设置单元格格式, 画线/抹线, 表格背景图片, 插入图片 and the
// format painter.

#include "designer/dialogs/DialogSupport.h"

#include "cell/Pictures.h"
#include "cell/view/CellView.h"
#include "designer/DesignerCommands.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace designer::dialogs {

namespace {

// The line styles of the designer's line-style box, by code.
const QList<QPair<QString, int>>& lineStyles()
{
    static const QList<QPair<QString, int>> styles{
        {QStringLiteral("细线"), 2},   {QStringLiteral("中线"), 3},     {QStringLiteral("粗线"), 4},
        {QStringLiteral("划线"), 5},   {QStringLiteral("点线"), 6},     {QStringLiteral("点划线"), 7},
        {QStringLiteral("点点划线"), 8}, {QStringLiteral("粗划线"), 9},   {QStringLiteral("粗点线"), 10},
        {QStringLiteral("粗点划线"), 11}, {QStringLiteral("粗点点划线"), 12}};
    return styles;
}

void fillLineStyles(QComboBox* box, bool withNone)
{
    if (withNone)
        box->addItem(QStringLiteral("无"), 0);
    for (const auto& s : lineStyles())
        box->addItem(s.first, s.second);
}

// Reads a picture file; empty with a message when it is not a PNG or JPEG image that decodes.
QByteArray readPicture(QWidget* parent, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        fail(parent, QStringLiteral("无法打开图片文件“%1”：%2").arg(path, f.errorString()));
        return {};
    }
    if (f.size() > 32 * 1024 * 1024) {
        fail(parent, QStringLiteral("图片文件“%1”太大（最多 32 MB）。").arg(path));
        return {};
    }
    const QByteArray data = f.readAll();
    const bool png = data.startsWith("\x89PNG"), jpeg = data.startsWith("\xff\xd8");
    QImage img;
    if ((!png && !jpeg) || !img.loadFromData(data)) {
        fail(parent, QStringLiteral("“%1”不是可用的 PNG 或 JPEG 图片。").arg(path));
        return {};
    }
    return data;
}

QString pictureFilter() { return QStringLiteral("图片 (*.png *.jpg *.jpeg)"); }

cell::CellView* viewOf(QWidget* parent, cell::CellControl& control)
{
    if (!parent)
        return nullptr;
    for (cell::CellView* v : parent->window()->findChildren<cell::CellView*>())
        if (v->control() == &control)
            return v;
    return nullptr;
}

} // namespace

// ---- 超级链接 ---------------------------------------------------------------------------------------------------------

bool hyperlinkDialog(QWidget* parent, cell::CellControl& control)
{
    const int sheet = control.GetCurSheet(), col = control.GetCurCol(), row = control.GetCurRow();
    const cell::Range m = control.sheet(sheet).mergeAt(col, row);
    const cell::Cell* c = control.sheet(sheet).cellAt(m.col1, m.row1);
    const QString old = c ? c->hyperlink : QString();

    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("超级链接"));
    auto* toUrl = new QRadioButton(QStringLiteral("网址或文件(&U)"), &dlg);
    auto* toPlace = new QRadioButton(QStringLiteral("本文件中的位置(&P)"), &dlg);
    toUrl->setObjectName(QStringLiteral("toUrl"));
    toPlace->setObjectName(QStringLiteral("toPlace"));
    auto* url = lineEdit(&dlg, QString(), "url");
    url->setPlaceholderText(QStringLiteral("https://... 或 file:///..."));
    auto* sheetBox = new QComboBox(&dlg);
    sheetBox->setObjectName(QStringLiteral("sheet"));
    for (const cell::Sheet& sh : control.workbook().sheets)
        sheetBox->addItem(sh.name);
    sheetBox->setCurrentIndex(sheet);
    auto* ref = lineEdit(&dlg, QStringLiteral("A1"), "cell");
    if (old.startsWith(QLatin1Char('#'))) {
        toPlace->setChecked(true);
        const QString place = old.mid(1);
        const int bang = int(place.lastIndexOf(QLatin1Char('!')));
        if (bang >= 0) {
            QString name = place.left(bang);
            if (name.startsWith(QLatin1Char('\'')) && name.endsWith(QLatin1Char('\'')) && name.size() >= 2)
                name = name.mid(1, name.size() - 2);
            const int at = sheetBox->findText(name);
            if (at >= 0)
                sheetBox->setCurrentIndex(at);
        }
        ref->setText(place.mid(bang + 1));
    } else {
        toUrl->setChecked(true);
        url->setText(old);
    }
    const auto sync = [&] {
        url->setEnabled(toUrl->isChecked());
        sheetBox->setEnabled(toPlace->isChecked());
        ref->setEnabled(toPlace->isChecked());
    };
    QObject::connect(toUrl, &QRadioButton::toggled, &dlg, sync);
    sync();
    auto* form = new QFormLayout;
    form->addRow(toUrl);
    form->addRow(QStringLiteral("地址(&A):"), url);
    form->addRow(toPlace);
    form->addRow(QStringLiteral("表页(&S):"), sheetBox);
    form->addRow(QStringLiteral("单元格(&C):"), ref);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(new QLabel(QStringLiteral("单元格 %1 的链接：").arg(cell::CellControl::GetCellRef(m.col1, m.row1)), &dlg));
    layout->addLayout(form);
    layout->addWidget(noteLabel(QStringLiteral("按住 Ctrl 单击单元格即可打开链接。"), &dlg));
    bool changed = false;
    QDialogButtonBox* buttons = addOkCancel(dlg, layout, [&] {
        QString target;
        if (toUrl->isChecked()) {
            target = url->text().trimmed();
            if (target.isEmpty())
                return fail(&dlg, QStringLiteral("请输入链接地址。"));
        } else {
            int cc = 0, rr = 0;
            if (!cell::CellControl::ParseCellRef(ref->text().trimmed(), cc, rr))
                return fail(&dlg, QStringLiteral("单元格“%1”不正确（应如 B8）。").arg(ref->text().trimmed()));
            QString name = sheetBox->currentText();
            if (name.contains(QLatin1Char('!')) || name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char('\'')))
                name = QLatin1Char('\'') + name.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
            target = QLatin1Char('#') + name + QLatin1Char('!') + cell::CellControl::GetCellRef(cc, rr);
        }
        control.setHyperlink(m.col1, m.row1, sheet, target);
        changed = target != old;
        return true;
    });
    // Removing sits apart from 确定 / 取消, on the left.
    QPushButton* remove = buttons->addButton(QStringLiteral("删除链接(&R)"), QDialogButtonBox::ResetRole);
    remove->setObjectName(QStringLiteral("remove"));
    remove->setEnabled(!old.isEmpty());
    QObject::connect(remove, &QPushButton::clicked, &dlg, [&] {
        control.setHyperlink(m.col1, m.row1, sheet, QString());
        changed = true;
        dlg.reject();
    });
    dlg.exec();
    return changed;
}

// ---- 插入特殊符号 -------------------------------------------------------------------------------------------------------

bool specialCharDialog(QWidget* parent, cell::CellControl& control)
{
    // Where the text goes: the cell editor that had the focus, else the end of the current cell's text.
    QWidget* focus = QApplication::focusWidget();
    auto* plain = qobject_cast<QPlainTextEdit*>(focus);
    auto* line = qobject_cast<QLineEdit*>(focus);

    struct Group {
        QString name;
        QString chars;
    };
    const QList<Group> groups{
        {QStringLiteral("常用"), QStringLiteral("±×÷°℃‰√ΦΦ∅≤≥≠≈∞∑∏∫∠⊥∥△□○◇☆★※→←↑↓§№")},
        {QStringLiteral("单位"), QStringLiteral("㎡㎥㎜㎝㎞㎏㎎㎖㎘㏄㏒㏑ℓ℉Ω‰%￥$€")},
        {QStringLiteral("序号"), QStringLiteral("①②③④⑤⑥⑦⑧⑨⑩⑪⑫⑬⑭⑮⑯⑰⑱⑲⑳⑴⑵⑶⑷⑸⑹⑺⑻⑼⑽ⅠⅡⅢⅣⅤⅥⅦⅧⅨⅩⅪⅫ㈠㈡㈢㈣㈤㈥㈦㈧㈨㈩")},
        {QStringLiteral("希腊字母"), QStringLiteral("αβγδεζηθικλμνξοπρστυφχψωΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ")},
        {QStringLiteral("标点"), QStringLiteral("、。·ˉˇ¨〃々—～‖…‘’“”〔〕〈〉《》「」『』〖〗【】！＂＃（）＊＋，－．／：；＜＝＞？［］｛｜｝")},
        {QStringLiteral("上下标"), QStringLiteral("⁰¹²³⁴⁵⁶⁷⁸⁹⁺⁻₀₁₂₃₄₅₆₇₈₉₊₋")},
    };

    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("插入特殊符号"));
    auto* tabs = new QTabWidget(&dlg);
    auto* chosen = lineEdit(&dlg, QString(), "chosen");
    QFont big = dlg.font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    for (const Group& g : groups) {
        auto* page = new QWidget(tabs);
        auto* grid = new QGridLayout(page);
        grid->setSpacing(2);
        int i = 0;
        QString seen;
        for (const QChar ch : g.chars) {
            if (seen.contains(ch))
                continue;
            seen += ch;
            auto* b = new QToolButton(page);
            b->setText(QString(ch));
            b->setFont(big);
            b->setFixedSize(34, 34);
            QObject::connect(b, &QToolButton::clicked, chosen, [chosen, ch] { chosen->insert(QString(ch)); });
            grid->addWidget(b, i / 12, i % 12);
            ++i;
        }
        grid->setRowStretch(i / 12 + 1, 1);
        tabs->addTab(page, g.name);
    }
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("要插入的符号(&S):"), chosen);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(tabs);
    layout->addLayout(form);
    QDialogButtonBox* buttons = addOkCancel(dlg, layout, [] { return true; });
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("插入(&I)"));
    if (dlg.exec() != QDialog::Accepted || chosen->text().isEmpty())
        return false;
    if (plain) {
        plain->insertPlainText(chosen->text());
        return false;   // the editor writes the cell when it commits
    }
    if (line) {
        line->insert(chosen->text());
        return false;
    }
    const int sheet = control.GetCurSheet(), col = control.GetCurCol(), row = control.GetCurRow();
    const cell::Cell* c = control.sheet(sheet).cellAt(col, row);
    if (c && !c->formula.isEmpty())
        return fail(parent, QStringLiteral("当前单元格是公式，不能在其后插入符号。"));
    control.SetCellString(col, row, sheet, control.cellText(col, row, sheet) + chosen->text());
    return true;
}

// ---- 设置单元格格式 ---------------------------------------------------------------------------------------------------

bool formatCellDialog(QWidget* parent, cell::CellControl& control)
{
    const int sheet = control.GetCurSheet();
    const cell::Sheet& sh = control.sheet(sheet);
    int c1, r1, c2, r2;
    control.GetSelectRange(c1, r1, c2, r2);
    const cell::Cell* first = sh.cellAt(control.GetCurCol(), control.GetCurRow());
    const cell::CellFormat f0 = first ? first->format : cell::CellFormat{};
    const cell::Workbook& wb = control.workbook();

    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("设置单元格格式"));
    auto* tabs = new QTabWidget(&dlg);
    // Which pages the user touched: only those are applied, so that one change does not overwrite the other
    // formats of a mixed selection.
    bool touched[6] = {false, false, false, false, false, false};
    const auto touch = [&touched](int page) { return [&touched, page] { touched[page] = true; }; };

    // Number
    auto* numPage = new QWidget(tabs);
    auto* numType = new QComboBox(numPage);
    numType->setObjectName(QStringLiteral("numType"));
    numType->addItems({QStringLiteral("常规"), QStringLiteral("数值"), QStringLiteral("货币"), QStringLiteral("日期"),
                       QStringLiteral("时间"), QStringLiteral("百分比")});
    numType->setCurrentIndex(qBound(0, f0.numType, 5));
    auto* decimals = numberBox(numPage, -1, 10, f0.decimals, "decimals");
    decimals->setSpecialValueText(QStringLiteral("自动"));
    auto* separator = new QCheckBox(QStringLiteral("使用千位分隔符(&U)"), numPage);
    separator->setObjectName(QStringLiteral("separator"));
    separator->setChecked(f0.separator == 2);
    auto* currency = new QComboBox(numPage);
    currency->setObjectName(QStringLiteral("currency"));
    currency->addItem(QStringLiteral("无"), 0);
    currency->addItem(QStringLiteral("￥ 人民币"), 2);
    currency->addItem(QStringLiteral("$ 美元"), 3);
    currency->addItem(QStringLiteral("€ 欧元"), 4);
    currency->setCurrentIndex(qMax(0, currency->findData(f0.currency)));
    // The date and time styles by their look, as the toolbar's menus show them.
    const auto styleBox = [numPage](const QStringList& captions, int current, const char* name) {
        auto* box = new QComboBox(numPage);
        box->setObjectName(QLatin1String(name));
        box->addItem(QStringLiteral("（默认）"), 0);
        for (int k = 0; k < captions.size(); ++k)
            box->addItem(captions.at(k).trimmed(), k + 1);
        box->setCurrentIndex(qMax(0, box->findData(current)));
        return box;
    };
    auto* dateStyle = styleBox(designer::dateStyleCaptions(), f0.dateStyle, "dateStyle");
    auto* timeStyle = styleBox(designer::timeStyleCaptions(), f0.timeStyle, "timeStyle");
    auto* numForm = new QFormLayout(numPage);
    numForm->addRow(QStringLiteral("分类(&C):"), numType);
    numForm->addRow(QStringLiteral("小数位数(&D):"), decimals);
    numForm->addRow(QString(), separator);
    numForm->addRow(QStringLiteral("货币符号(&S):"), currency);
    numForm->addRow(QStringLiteral("日期样式(&T):"), dateStyle);
    numForm->addRow(QStringLiteral("时间样式(&M):"), timeStyle);
    for (QComboBox* b : {numType, currency, dateStyle, timeStyle})
        QObject::connect(b, &QComboBox::currentIndexChanged, &dlg, touch(0));
    QObject::connect(decimals, &QSpinBox::valueChanged, &dlg, touch(0));
    QObject::connect(separator, &QCheckBox::toggled, &dlg, touch(0));
    tabs->addTab(numPage, QStringLiteral("数字"));

    // Alignment
    auto* alignPage = new QWidget(tabs);
    auto* hAlign = new QComboBox(alignPage);
    hAlign->setObjectName(QStringLiteral("hAlign"));
    hAlign->addItem(QStringLiteral("常规"), 0);
    hAlign->addItem(QStringLiteral("靠左"), cell::AlignLeft);
    hAlign->addItem(QStringLiteral("居中"), cell::AlignHCenter);
    hAlign->addItem(QStringLiteral("靠右"), cell::AlignRight);
    hAlign->setCurrentIndex(qMax(0, hAlign->findData(f0.align & cell::HAlignMask)));
    // No vertical flag means centred.
    auto* vAlign = new QComboBox(alignPage);
    vAlign->setObjectName(QStringLiteral("vAlign"));
    vAlign->addItem(QStringLiteral("靠上"), cell::AlignTop);
    vAlign->addItem(QStringLiteral("居中"), cell::AlignVCenter);
    vAlign->addItem(QStringLiteral("靠下"), cell::AlignBottom);
    const int v0 = f0.align & cell::VAlignMask;
    vAlign->setCurrentIndex(qMax(0, vAlign->findData(v0 ? v0 : int(cell::AlignVCenter))));
    auto* wrap = new QCheckBox(QStringLiteral("自动换行(&W)"), alignPage);
    wrap->setObjectName(QStringLiteral("wrap"));
    wrap->setChecked(f0.textStyle == 2);
    auto* merge = new QCheckBox(QStringLiteral("合并单元格(&M)"), alignPage);
    merge->setObjectName(QStringLiteral("merge"));
    bool wholeMerged = false;
    for (const cell::Range& m : sh.merges)
        wholeMerged = wholeMerged || m == cell::Range{c1, r1, c2, r2};
    merge->setChecked(wholeMerged);
    merge->setEnabled(c1 != c2 || r1 != r2);
    auto* alignForm = new QFormLayout(alignPage);
    alignForm->addRow(QStringLiteral("水平对齐(&H):"), hAlign);
    alignForm->addRow(QStringLiteral("垂直对齐(&V):"), vAlign);
    alignForm->addRow(QString(), wrap);
    alignForm->addRow(QString(), merge);
    for (QComboBox* b : {hAlign, vAlign})
        QObject::connect(b, &QComboBox::currentIndexChanged, &dlg, touch(1));
    QObject::connect(wrap, &QCheckBox::toggled, &dlg, touch(1));
    QObject::connect(merge, &QCheckBox::toggled, &dlg, touch(1));
    tabs->addTab(alignPage, QStringLiteral("对齐"));

    // Font
    auto* fontPage = new QWidget(tabs);
    auto* fontName = new QComboBox(fontPage);
    fontName->setObjectName(QStringLiteral("fontName"));
    fontName->setEditable(true);
    QStringList families = QFontDatabase::families();
    for (const QString& f : wb.fonts)
        if (!families.contains(f))
            families.prepend(f);
    fontName->addItems(families);
    fontName->setCurrentText(wb.fonts.value(f0.font, QStringLiteral("宋体")));
    auto* fontSize = numberBox(fontPage, 5, 2000, f0.fontSize, "fontSize");
    auto* bold = new QCheckBox(QStringLiteral("加粗(&B)"), fontPage);
    auto* italic = new QCheckBox(QStringLiteral("倾斜(&I)"), fontPage);
    auto* underline = new QCheckBox(QStringLiteral("下划线(&U)"), fontPage);
    bold->setObjectName(QStringLiteral("bold"));
    italic->setObjectName(QStringLiteral("italic"));
    underline->setObjectName(QStringLiteral("underline"));
    bold->setChecked(f0.fontStyle & 2);
    italic->setChecked(f0.fontStyle & 4);
    underline->setChecked(f0.fontStyle & 8);
    auto* textColor = new ColorButton(fontPage, f0.textColor >= 0 ? QColor::fromRgba(wb.colors.value(f0.textColor)) : QColor(),
                                      QStringLiteral("自动"));
    textColor->setObjectName(QStringLiteral("textColor"));
    auto* fontForm = new QFormLayout(fontPage);
    fontForm->addRow(QStringLiteral("字体(&F):"), fontName);
    fontForm->addRow(QStringLiteral("字号(&S):"), fontSize);
    fontForm->addRow(QString(), bold);
    fontForm->addRow(QString(), italic);
    fontForm->addRow(QString(), underline);
    fontForm->addRow(QStringLiteral("颜色(&C):"), textColor);
    QObject::connect(fontName, &QComboBox::currentTextChanged, &dlg, touch(2));
    QObject::connect(fontSize, &QSpinBox::valueChanged, &dlg, touch(2));
    for (QCheckBox* b : {bold, italic, underline})
        QObject::connect(b, &QCheckBox::toggled, &dlg, touch(2));
    QObject::connect(textColor, &QToolButton::clicked, &dlg, touch(2));
    tabs->addTab(fontPage, QStringLiteral("字体"));

    // Border
    auto* borderPage = new QWidget(tabs);
    auto* borderStyle = new QComboBox(borderPage);
    borderStyle->setObjectName(QStringLiteral("borderStyle"));
    fillLineStyles(borderStyle, true);
    borderStyle->setCurrentIndex(1);
    auto* borderColor = new ColorButton(borderPage, QColor(Qt::black), QStringLiteral("黑色"));
    auto* outline = new QCheckBox(QStringLiteral("外边框(&O)"), borderPage);
    auto* inner = new QCheckBox(QStringLiteral("内部(&I)"), borderPage);
    auto* diagUp = new QCheckBox(QStringLiteral("正斜线 /(&X)"), borderPage);
    auto* diagDown = new QCheckBox(QStringLiteral("反斜线 \\(&F)"), borderPage);
    outline->setObjectName(QStringLiteral("outline"));
    inner->setObjectName(QStringLiteral("inner"));
    diagUp->setObjectName(QStringLiteral("diagonalUp"));
    diagDown->setObjectName(QStringLiteral("diagonalDown"));
    auto* borderForm = new QFormLayout(borderPage);
    borderForm->addRow(QStringLiteral("线型(&L):"), borderStyle);
    borderForm->addRow(QStringLiteral("颜色(&C):"), borderColor);
    borderForm->addRow(QString(), outline);
    borderForm->addRow(QString(), inner);
    borderForm->addRow(QString(), diagUp);
    borderForm->addRow(QString(), diagDown);
    borderForm->addRow(noteLabel(QStringLiteral("线型选“无”时去掉所选的线。"), borderPage));
    for (QCheckBox* b : {outline, inner, diagUp, diagDown})
        QObject::connect(b, &QCheckBox::toggled, &dlg, touch(3));
    tabs->addTab(borderPage, QStringLiteral("边框"));

    // Fill
    auto* fillPage = new QWidget(tabs);
    auto* backColor = new ColorButton(fillPage, f0.backColor >= 0 ? QColor::fromRgba(wb.colors.value(f0.backColor)) : QColor(),
                                      QStringLiteral("无填充"));
    backColor->setObjectName(QStringLiteral("backColor"));
    auto* noFill = new QPushButton(QStringLiteral("无填充(&N)"), fillPage);
    noFill->setObjectName(QStringLiteral("noFill"));
    QObject::connect(noFill, &QPushButton::clicked, &dlg, [&] {
        backColor->setColor(QColor());
        touched[4] = true;
    });
    auto* fillForm = new QFormLayout(fillPage);
    auto* fillRow = new QHBoxLayout;
    fillRow->addWidget(backColor);
    fillRow->addWidget(noFill);
    fillRow->addStretch();
    addRow(fillForm, QStringLiteral("背景色(&B):"), fillRow, backColor);
    QObject::connect(backColor, &QToolButton::clicked, &dlg, touch(4));
    tabs->addTab(fillPage, QStringLiteral("填充"));

    // Protection
    auto* protPage = new QWidget(tabs);
    auto* locked = new QCheckBox(QStringLiteral("锁定（不能输入）(&L)"), protPage);
    locked->setObjectName(QStringLiteral("locked"));
    locked->setChecked(f0.input == 5);
    auto* protLayout = new QVBoxLayout(protPage);
    protLayout->addWidget(locked);
    protLayout->addWidget(noteLabel(QStringLiteral("锁定的单元格在浏览和填写表格时不能修改。"), protPage));
    protLayout->addStretch();
    QObject::connect(locked, &QCheckBox::toggled, &dlg, touch(5));
    tabs->addTab(protPage, QStringLiteral("保护"));

    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(tabs);
    addOkCancel(dlg, layout, [] { return true; });
    dlg.resize(480, 400);   // every tab visible
    if (dlg.exec() != QDialog::Accepted)
        return false;
    bool any = false;
    for (bool t : touched)
        any = any || t;
    if (!any)
        return false;

    cell::CellControl::EditGroup group(control, QStringLiteral("设置单元格格式"));
    // Fonts and colours enter the workbook's tables only for the pages that use them.
    const int fontIndex = touched[2] ? control.FindFontIndex(fontName->currentText(), 1) : -1;
    const int textIndex = touched[2] && textColor->color().isValid() ? control.FindColorIndex(textColor->color(), 1) : -1;
    const int backIndex = touched[4] && backColor->color().isValid() ? control.FindColorIndex(backColor->color(), 1) : -1;
    const int lineColor = touched[3] ? control.FindColorIndex(borderColor->color(), 1) : -1;
    const int style = borderStyle->currentData().toInt();
    for (int c = c1; c <= c2; ++c)
        for (int r = r1; r <= r2; ++r) {
            const cell::Cell* cell = control.sheet(sheet).cellAt(c, r);
            cell::CellFormat f = cell ? cell->format : cell::CellFormat{};
            if (touched[0]) {
                f.numType = numType->currentIndex();
                f.decimals = decimals->value();
                f.separator = separator->isChecked() ? 2 : 0;
                f.currency = currency->currentData().toInt();
                f.dateStyle = dateStyle->currentData().toInt();
                f.timeStyle = timeStyle->currentData().toInt();
            }
            if (touched[1]) {
                f.align = hAlign->currentData().toInt() | vAlign->currentData().toInt();
                f.textStyle = wrap->isChecked() ? 2 : 0;
            }
            if (touched[2]) {
                f.font = fontIndex;
                f.fontSize = fontSize->value();
                f.fontStyle = (bold->isChecked() ? 2 : 0) | (italic->isChecked() ? 4 : 0) | (underline->isChecked() ? 8 : 0);
                f.textColor = textIndex;
            }
            if (touched[4])
                f.backColor = backIndex;
            if (touched[5])
                f.input = locked->isChecked() ? 5 : 1;
            control.setCellFormat(c, r, sheet, f);
        }
    if (touched[3]) {
        if (style == 0) {
            if (outline->isChecked())
                control.ClearLine(c1, r1, c2, r2, 1);
            if (inner->isChecked())
                for (int c = c1; c <= c2; ++c)
                    for (int r = r1; r <= r2; ++r) {
                        if (c < c2)
                            control.SetCellBorder(c, r, sheet, cell::Right, 0);
                        if (r < r2)
                            control.SetCellBorder(c, r, sheet, cell::Bottom, 0);
                    }
            if (diagUp->isChecked())
                control.ClearLine(c1, r1, c2, r2, 6);
            if (diagDown->isChecked())
                control.ClearLine(c1, r1, c2, r2, 7);
        } else {
            if (outline->isChecked())
                control.DrawLine(c1, r1, c2, r2, 1, style, lineColor);
            if (inner->isChecked())
                for (int c = c1; c <= c2; ++c)
                    for (int r = r1; r <= r2; ++r) {
                        if (c < c2)
                            control.SetCellBorder(c, r, sheet, cell::Right, style, lineColor);
                        if (r < r2)
                            control.SetCellBorder(c, r, sheet, cell::Bottom, style, lineColor);
                    }
            if (diagUp->isChecked())
                control.DrawLine(c1, r1, c2, r2, 6, style, lineColor);
            if (diagDown->isChecked())
                control.DrawLine(c1, r1, c2, r2, 7, style, lineColor);
        }
    }
    if (touched[1] && merge->isEnabled() && merge->isChecked() != wholeMerged) {
        if (merge->isChecked())
            control.MergeCells(c1, r1, c2, r2);
        else
            control.UnmergeCells(c1, r1, c2, r2);
    }
    return true;
}

// ---- 画线/抹线 -------------------------------------------------------------------------------------------------------

bool lineDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("画线/抹线"));
    auto* draw = new QRadioButton(QStringLiteral("画线(&D)"), &dlg);
    auto* erase = new QRadioButton(QStringLiteral("抹线(&E)"), &dlg);
    draw->setObjectName(QStringLiteral("draw"));
    erase->setObjectName(QStringLiteral("erase"));
    draw->setChecked(true);
    auto* kind = new QComboBox(&dlg);
    kind->setObjectName(QStringLiteral("kind"));
    kind->addItems({QStringLiteral("网格线"), QStringLiteral("框线"), QStringLiteral("单元格左线"),
                    QStringLiteral("单元格右线"), QStringLiteral("单元格上线"), QStringLiteral("单元格下线"),
                    QStringLiteral("正斜线"), QStringLiteral("反斜线")});
    auto* style = new QComboBox(&dlg);
    style->setObjectName(QStringLiteral("style"));
    fillLineStyles(style, false);
    auto* color = new ColorButton(&dlg, QColor(Qt::black), QStringLiteral("黑色"));
    color->setObjectName(QStringLiteral("color"));
    QObject::connect(erase, &QRadioButton::toggled, style, &QWidget::setDisabled);
    QObject::connect(erase, &QRadioButton::toggled, color, &QWidget::setDisabled);
    auto* range = lineEdit(&dlg, selectionText(control), "range");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("区域(&R):"), range);
    auto* mode = new QHBoxLayout;
    mode->addWidget(draw);
    mode->addWidget(erase);
    form->addRow(QStringLiteral("操作:"), mode);
    form->addRow(QStringLiteral("线的位置(&P):"), kind);
    form->addRow(QStringLiteral("线型(&L):"), style);
    form->addRow(QStringLiteral("颜色(&C):"), color);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    addOkCancel(dlg, layout, [&] {
        cell::Range r;
        if (!readRange(&dlg, range, r))
            return false;
        // The kinds of DrawLine: 0 grid, 1 frame, 2 left, 3 right, 4 top, 5 bottom, 6 "/", 7 "\".
        const int k = kind->currentIndex();
        if (erase->isChecked())
            control.ClearLine(r.col1, r.row1, r.col2, r.row2, k);
        else
            control.DrawLine(r.col1, r.row1, r.col2, r.row2, k, style->currentData().toInt(),
                             control.FindColorIndex(color->color(), 1));
        control.Invalidate();
        return true;
    });
    return dlg.exec() == QDialog::Accepted;
}

// ---- Pictures -------------------------------------------------------------------------------------------------------

bool backPictureDialog(QWidget* parent, cell::CellControl& control)
{
    const int sheet = control.GetCurSheet();
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("表格背景图片"));
    QByteArray data = control.sheet(sheet).backgroundPicture;
    auto* preview = new QLabel(&dlg);
    preview->setFixedSize(320, 200);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    const auto show = [&] {
        QImage img;
        if (!data.isEmpty() && img.loadFromData(data))
            preview->setPixmap(QPixmap::fromImage(img.scaled(preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        else
            preview->setText(QStringLiteral("（无背景图片）"));
    };
    show();
    auto* choose = new QPushButton(QStringLiteral("选择图片(&P)..."), &dlg);
    auto* clear = new QPushButton(QStringLiteral("清除背景(&C)"), &dlg);
    choose->setObjectName(QStringLiteral("choose"));
    clear->setObjectName(QStringLiteral("clear"));
    clear->setEnabled(!data.isEmpty());
    QObject::connect(choose, &QPushButton::clicked, &dlg, [&] {
        const QString path = QFileDialog::getOpenFileName(&dlg, QStringLiteral("选择背景图片"), QString(), pictureFilter());
        if (path.isEmpty())
            return;
        const QByteArray read = readPicture(&dlg, path);
        if (!read.isEmpty()) {
            data = read;
            show();
            clear->setEnabled(true);
        }
    });
    QObject::connect(clear, &QPushButton::clicked, &dlg, [&] {
        data.clear();
        preview->clear();
        show();
        clear->setEnabled(false);
    });
    auto* side = new QVBoxLayout;
    side->addWidget(choose);
    side->addWidget(clear);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(preview);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(top);
    layout->addWidget(noteLabel(QStringLiteral("背景图片只在屏幕上平铺显示，不打印。"), &dlg));
    addOkCancel(dlg, layout, [] { return true; });
    if (dlg.exec() != QDialog::Accepted || data == control.sheet(sheet).backgroundPicture)
        return false;
    control.setBackgroundPicture(sheet, data);
    return true;
}

bool insertPictureDialog(QWidget* parent, cell::CellControl& control)
{
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("插入图片"), QString(), pictureFilter());
    if (path.isEmpty())
        return false;
    const QByteArray data = readPicture(parent, path);
    if (data.isEmpty())
        return false;
    QImage img;
    img.loadFromData(data);
    const int sheet = control.GetCurSheet();
    int c1, r1, c2, r2;
    control.GetSelectRange(c1, r1, c2, r2);
    cell::Range anchor{c1, r1, c2, r2};
    if (c1 == c2 && r1 == r2)
        anchor = cell::pictureAnchorFor(control.sheet(sheet), c1, r1, img.size());
    control.addPicture(sheet, cell::Picture{anchor, data});
    return true;
}

bool formatPainter(QWidget* parent, cell::CellControl& control, int argument)
{
    control.startFormatPainter(argument != 0);
    if (cell::CellView* v = viewOf(parent, control))
        v->viewport()->setCursor(Qt::PointingHandCursor);
    return false;   // the formats change when the user selects the target
}

} // namespace designer::dialogs
