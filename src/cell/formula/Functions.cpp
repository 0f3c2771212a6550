// The function table: every spreadsheet function the engine knows, gathered from the function families
// (FunctionsMaths.cpp, FunctionsStatistics.cpp, FunctionsCriteria.cpp, FunctionsLogic.cpp, FunctionsText.cpp,
// FunctionsDates.cpp, FunctionsLookup.cpp; their shared argument rules are in FunctionSupport.h).

#include "cell/formula/FunctionSupport.h"

#include "cell/formula/FormulaEngine.h"

#include <QHash>

#include <algorithm>

namespace cell::formula {

const FnDef* findFunction(const QString& upperName)
{
    static const QHash<QString, const FnDef*> table = [] {
        QHash<QString, const FnDef*> t;
        for (const auto family : {fn::mathsFunctions(), fn::statisticsFunctions(), fn::criteriaFunctions(),
                                  fn::logicFunctions(), fn::textFunctions(), fn::dateFunctions(), fn::lookupFunctions()})
            for (const FnDef& f : family)
                t.insert(QString::fromLatin1(f.name), &f);
        return t;
    }();
    return table.value(upperName, nullptr);
}

QList<FunctionInfo> FormulaEngine::functions()
{
    QList<FunctionInfo> out;
    for (const auto family : {fn::mathsFunctions(), fn::statisticsFunctions(), fn::criteriaFunctions(),
                              fn::logicFunctions(), fn::textFunctions(), fn::dateFunctions(), fn::lookupFunctions()})
        for (const FnDef& f : family)
            out << FunctionInfo{QString::fromLatin1(f.name), f.minArgs, f.maxArgs};
    std::sort(out.begin(), out.end(), [](const FunctionInfo& a, const FunctionInfo& b) { return a.name < b.name; });
    return out;
}

} // namespace cell::formula
