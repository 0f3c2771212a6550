#include "cell/CellCommands.h"
#include "cell/CellControl.h"

#include <QSet>

namespace cell {

CellsEdit::CellsEdit(CellControl& control, int sheet, QHash<quint32, Cell> before, QHash<quint32, Cell> after,
                     const QString& text)
    : QUndoCommand(text), m_control(control), m_sheet(sheet), m_before(std::move(before)), m_after(std::move(after))
{
    QSet<quint32> keys;
    for (auto it = m_before.cbegin(); it != m_before.cend(); ++it)
        keys.insert(it.key());
    for (auto it = m_after.cbegin(); it != m_after.cend(); ++it)
        keys.insert(it.key());
    m_keys = keys.values();
}

void CellsEdit::undo()
{
    m_control.restoreCells(m_sheet, m_keys, m_before);
}

void CellsEdit::redo()
{
    if (m_applied) {   // the control applied the edit before pushing it
        m_applied = false;
        return;
    }
    m_control.restoreCells(m_sheet, m_keys, m_after);
}

SheetsEdit::SheetsEdit(CellControl& control, QList<Sheet> before, QList<Sheet> after, int changedSheet,
                       const QString& text)
    : QUndoCommand(text), m_control(control), m_before(std::move(before)), m_after(std::move(after)),
      m_sheet(changedSheet)
{
}

void SheetsEdit::undo()
{
    m_control.restoreSheets(m_before, m_sheet);
}

void SheetsEdit::redo()
{
    if (m_applied) {
        m_applied = false;
        return;
    }
    m_control.restoreSheets(m_after, m_sheet);
}

} // namespace cell
