#pragma once
// What the control's dialogs share: the dialog entries the dispatcher calls, range texts ("B2:D8"), the OK /
// Cancel buttons with their Chinese captions, and the error box of an operation the engine refused.

#include "cell/CellControl.h"
#include "core/QuelmarError.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QIcon>
#include <QPixmap>
#include <QToolButton>
#include <QString>

#include <functional>

class QBoxLayout;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace designer::dialogs {

// "B2:D8", "b2", "D8:B2" -> the rectangle (normalised). False for anything else.
bool parseRange(const QString& text, cell::Range& out);
QString rangeText(const cell::Range& r);
// The selection of the current sheet as a range text.
QString selectionText(const cell::CellControl& control);
// Column letters ("A", "ab") -> 1-based index; 0 when not a column of the sheet.
int parseColumn(const QString& text);
QString columnName(int col);

// Runs `work`; a QuelmarError is shown in an error box over `parent` and gives false.
bool attempt(QWidget* parent, const std::function<void()>& work);

// "确定" / "取消" buttons wired to accept / reject.
QDialogButtonBox* okCancel(QDialog* dialog);
// Replaces the plain accept of the OK button by `onOk`, which accepts the dialog when it returns true.
void onAccept(QDialog& dlg, QDialogButtonBox* buttons, const std::function<bool()>& onOk);
// Shows `message` as a warning over `parent`; returns false (for "return fail(...)").
bool fail(QWidget* parent, const QString& message);
// A checkable list of the workbook's sheets (all checked but `except` when `checkAll`).
QListWidget* sheetList(const cell::CellControl& control, QWidget* parent, bool checkAll, int except = -1);
QList<int> checkedSheets(const QListWidget* list);
// The columns A.. of the sheet as combo items (data = column index).
void fillColumns(QComboBox* box, int from, int to);

// A range text that must parse; shows "区域 ... 不正确" and gives false when it does not.
bool readRange(QWidget* parent, const QLineEdit* edit, cell::Range& out);
// A number typed in `edit`; shows "<what>应为数字。" and gives false when it is not one.
bool readNumber(QWidget* parent, const QLineEdit* edit, const QString& what, double& out);

// ---- form pieces the dialogs share; every field gets an object name, by which scripts and tests find it ----------
// A line edit holding `text` (a range box when given the selection text).
QLineEdit* lineEdit(QWidget* parent, const QString& text, const char* name);
// A whole-number box.
QSpinBox* numberBox(QWidget* parent, int min, int max, int value, const char* name);
// A label whose mnemonic ("(&R)") moves the focus to `buddy`.
QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent);
// A form row whose field is a layout; the label's mnemonic goes to `buddy`.
void addRow(QFormLayout* form, const QString& label, QLayout* field, QWidget* buddy);
// A wrapped line of explanation.
QLabel* noteLabel(const QString& text, QWidget* parent);
// 确定 / 取消 at the foot of `layout`; 确定 runs `onOk` and closes the dialog only when it returns true.
QDialogButtonBox* addOkCancel(QDialog& dlg, QBoxLayout* layout, const std::function<bool()>& onOk);
// A lone 关闭 button at the foot of `layout`, for the dialogs that only show things.
QDialogButtonBox* addClose(QDialog& dlg, QBoxLayout* layout);
// Enter in `edit` runs `action` instead of the dialog's default button.
void onReturn(QLineEdit* edit, const std::function<void()>& action);
// The Tab key moves through the fields of `root` in the order its layouts hold them (rows of a form, the cells of a
// grid, a group box's own fields in turn), whatever order they were made in. addOkCancel and addClose arrange it for
// when the dialog is first shown.
void orderTabs(QWidget* root);

// A button that shows a colour and asks for another; an invalid colour means "none" / "automatic".
class ColorButton : public QToolButton {
public:
    ColorButton(QWidget* parent, const QColor& color, const QString& noneText)
        : QToolButton(parent), m_color(color), m_none(noneText)
    {
        setMinimumWidth(90);
        connect(this, &QToolButton::clicked, this, [this] {
            const QColor c = QColorDialog::getColor(m_color.isValid() ? m_color : Qt::white, this);
            if (c.isValid())
                setColor(c);
        });
        setColor(color);
    }
    void setColor(const QColor& c)
    {
        m_color = c;
        if (!c.isValid()) {
            setText(m_none);
            setIcon(QIcon());
            return;
        }
        QPixmap pm(28, 14);
        pm.fill(c);
        setIcon(QIcon(pm));
        setText(c.name());
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    QColor color() const { return m_color; }

private:
    QColor m_color;
    QString m_none;
};

// ---- the dialogs (one function each; `argument` as RunControlDialog gets it) --------------------------------------
bool findReplaceDialog(QWidget* parent, cell::CellControl& control, int mode);
bool sortDialog(QWidget* parent, cell::CellControl& control);
bool transposeDialog(QWidget* parent, cell::CellControl& control);
bool roundBalanceDialog(QWidget* parent, cell::CellControl& control);
bool fillSerialDialog(QWidget* parent, cell::CellControl& control);
bool fillBetweenSheetsDialog(QWidget* parent, cell::CellControl& control);
bool rangeQueryDialog(QWidget* parent, cell::CellControl& control);
bool rangeSumDialog(QWidget* parent, cell::CellControl& control);
bool classSumDialog(QWidget* parent, cell::CellControl& control);
bool sheetRangeSumDialog(QWidget* parent, cell::CellControl& control);
bool sheetRangeViewDialog(QWidget* parent, cell::CellControl& control);
bool sheetRangeQueryDialog(QWidget* parent, cell::CellControl& control);
bool bookQueryDialog(QWidget* parent, cell::CellControl& control);
bool formulaInputDialog(QWidget* parent, cell::CellControl& control);
bool batchFormulaDialog(QWidget* parent, cell::CellControl& control);
bool fillFormulaSerialDialog(QWidget* parent, cell::CellControl& control);
bool formulaListDialog(QWidget* parent, cell::CellControl& control);
bool showFormulaDialog(QWidget* parent, cell::CellControl& control);
bool colorFormulaDialog(QWidget* parent, cell::CellControl& control);
bool hyperlinkDialog(QWidget* parent, cell::CellControl& control);
bool specialCharDialog(QWidget* parent, cell::CellControl& control);
bool formatCellDialog(QWidget* parent, cell::CellControl& control);
bool lineDialog(QWidget* parent, cell::CellControl& control);
bool backPictureDialog(QWidget* parent, cell::CellControl& control);
bool insertPictureDialog(QWidget* parent, cell::CellControl& control);
bool formatPainter(QWidget* parent, cell::CellControl& control, int argument);
bool chartWizard(QWidget* parent, cell::CellControl& control);
bool importExcelDialog(QWidget* parent, cell::CellControl& control);
bool exportExcelDialog(QWidget* parent, cell::CellControl& control);
bool exportPdfDialog(QWidget* parent, cell::CellControl& control);

} // namespace designer::dialogs
