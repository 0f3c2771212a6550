#pragma once
// The undo commands of CellControl. Every edit of the workbook is one of two kinds:
//   CellsEdit  - the content or format of some cells changed (the cells before and after are kept);
//   SheetsEdit - the structure changed (rows, columns, merges, sorting, paste, fill, clear, sizes): the sheets
//                before and after are kept. Sheets share their data implicitly, so a snapshot costs one copy of
//                the sheet that changed.
// Both are created after the control applied the edit, so their first redo() only marks that; undo() and later
// redo() put the stored state back through the control, which recalculates formulas and tells the view.

#include "cell/Workbook.h"

#include <QHash>
#include <QUndoCommand>

namespace cell {

class CellControl;

// Command ids for QUndoCommand::mergeWith, one place for all of them.
enum CellCommandId { CellsEditId = 1, SheetsEditId = 2 };

class CellsEdit final : public QUndoCommand {
public:
    // before/after: the cells at the changed keys; a key missing from a map means a blank default cell.
    CellsEdit(CellControl& control, int sheet, QHash<quint32, Cell> before, QHash<quint32, Cell> after,
              const QString& text);
    void undo() override;
    void redo() override;
    int id() const override { return CellsEditId; }

private:
    CellControl& m_control;
    int m_sheet;
    QHash<quint32, Cell> m_before, m_after;
    QList<quint32> m_keys;
    bool m_applied = true;
};

class SheetsEdit final : public QUndoCommand {
public:
    SheetsEdit(CellControl& control, QList<Sheet> before, QList<Sheet> after, int changedSheet, const QString& text);
    void undo() override;
    void redo() override;
    int id() const override { return SheetsEditId; }

private:
    CellControl& m_control;
    QList<Sheet> m_before, m_after;
    int m_sheet;
    bool m_applied = true;
};

} // namespace cell
