// Display and colour formulas: rules of a cell that the control evaluates after every change, so that what the
// cell shows and its colours follow the data live, on screen, in print and in PDF.

#include "cell/CellControl.h"
#include "cell/CellControlHelpers.h"
#include "cell/NumberFormat.h"
#include "core/QuelmarError.h"

namespace cell {

using namespace control;

namespace {

bool truthy(const Value& v)
{
    if (const bool* b = std::get_if<bool>(&v))
        return *b;
    if (const double* d = std::get_if<double>(&v))
        return *d != 0;
    return false;
}

} // namespace

void CellControl::markRulesDirty(bool rescan)
{
    if (rescan) {
        m_anyRules = false;
        for (const Sheet& sh : std::as_const(m_wb.sheets))
            for (const Cell& c : sh.cells)
                if (!c.rules.isEmpty()) {
                    m_anyRules = true;
                    break;
                }
    }
    m_rulesDirty = true;
}

void CellControl::updateRules() const
{
    if (!m_rulesDirty)
        return;
    m_rulesDirty = false;
    // The results are a cache beside the cells, not content: writing them changes no state a caller sees.
    auto& wb = const_cast<Workbook&>(m_wb);
    for (int s = 0; s < wb.sheets.size(); ++s) {
        if (!m_anyRules) {
            if (!wb.sheets.at(s).ruleResults.isEmpty())
                wb.sheets[s].ruleResults.clear();
            continue;
        }
        QHash<quint32, RuleResult> results;
        const Sheet& sh = wb.sheets.at(s);
        for (auto it = sh.cells.cbegin(); it != sh.cells.cend(); ++it) {
            const CellRules& rules = it.value().rules;
            if (rules.isEmpty())
                continue;
            const int c = Sheet::keyCol(it.key()), r = Sheet::keyRow(it.key());
            RuleResult res;
            if (!rules.showFormula.isEmpty()) {
                res.showsText = true;
                res.text = displayText(m_engine->evaluate(rules.showFormula, s, c, r), it.value().format);
            }
            if (!rules.colorFormula.isEmpty() && truthy(m_engine->evaluate(rules.colorFormula, s, c, r))) {
                res.textColor = rules.textColor;
                res.backColor = rules.backColor;
            }
            results.insert(it.key(), res);
        }
        if (results != sh.ruleResults)
            wb.sheets[s].ruleResults = results;
    }
}

void CellControl::setCellRules(int col, int row, int sheet, const CellRules& rules)
{
    CellRules clean = rules;
    clean.showFormula = clean.showFormula.trimmed().isEmpty() || clean.showFormula.trimmed() == QLatin1String("=")
        ? QString()
        : formula::FormulaEngine::normalize(clean.showFormula);   // throws on a syntax error
    clean.colorFormula = clean.colorFormula.trimmed().isEmpty() || clean.colorFormula.trimmed() == QLatin1String("=")
        ? QString()
        : formula::FormulaEngine::normalize(clean.colorFormula);
    if (clean.colorFormula.isEmpty())
        clean.textColor = clean.backColor = 0;
    if (!clean.isEmpty())
        m_anyRules = true;
    editCell(col, row, sheet, tr("单元公式"), [&](Cell& c) { c.rules = clean; });
    markRulesDirty();
}

} // namespace cell
