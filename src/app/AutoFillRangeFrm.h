#pragma once
#include "projects/HeaderFill.h"

#include <QDialog>
#include <QList>

class Prompter;
class QCheckBox;
class QLineEdit;
class QPushButton;
class TDataPoolDM;

// "填写位置": for each of the 18 header fields a tick and the row and column of its cell. "确定" closes only when
// every ticked field names a cell inside the form's sheet (the first one that does not is reported with its
// message and the dialog stays open); "取消" closes without checks.
class TAutoFillRangeFrm final : public QDialog {
    Q_OBJECT
public:
    TAutoFillRangeFrm(Prompter& prompter, QWidget* parent = nullptr);

    void setPositions(const FillPositions& positions);
    // The sheet the positions must lie in (unknown by default: only the references are checked).
    void setSheet(const SheetExtent& sheet) { m_sheet = sheet; }
    FillPositions positions() const;   // as typed

    QCheckBox* check(int n) const { return m_checks.value(n - 1); }
    QLineEdit* rowEdit(int n) const { return m_rows.value(n - 1); }
    QLineEdit* colEdit(int n) const { return m_cols.value(n - 1); }
    QPushButton* okButton() const { return m_ok; }

public slots:
    void accept() override;

private:
    Prompter& m_prompter;
    QList<QCheckBox*> m_checks;
    QList<QLineEdit*> m_rows;
    QList<QLineEdit*> m_cols;
    QPushButton* m_ok = nullptr;
    SheetExtent m_sheet;
};

// The editor of EditFillPositions: the dialog shown modally.
class AutoFillRangeEditor final : public FillPositionsEditor {
public:
    AutoFillRangeEditor(Prompter& prompter, QWidget* parent) : m_prompter(prompter), m_parent(parent) {}
    bool edit(FillPositions& positions, const SheetExtent& sheet) override;

private:
    Prompter& m_prompter;
    QWidget* m_parent;
};

// The designer's "填写属性(&F)..." on the form's header-fill record, for the form open in `cell`: the dialog
// (positions checked against the control's current sheet), stored on OK.
bool RunFillPositions(TDataPoolDM& dm, Prompter& prompter, QWidget* parent, int fillId, const cell::CellControl& cell);
