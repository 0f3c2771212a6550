#pragma once
// The arguments and results of the control's data operations (find and replace, sorting, series, round-off
// balance, sums and queries): plain values, so that a dialog, the command line and a test build them alike.

#include "cell/Workbook.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace cell {

// ---- Find and replace ------------------------------------------------------------------------------------------

struct FindOptions {
    QString text;              // what to look for (not empty)
    bool matchCase = false;
    bool wholeCell = false;    // the whole content must equal the text
    bool byColumns = false;    // search down each column first (else along each row)
    bool inFormulas = false;   // look into formula texts ("=SUM(A1:A3)"); else into the values as shown
};

// ---- Sorting ---------------------------------------------------------------------------------------------------

struct SortKey {
    int index = 0;             // the column (sorting rows) or the row (sorting columns) that holds the key
    bool ascending = true;
};

// ---- Series ----------------------------------------------------------------------------------------------------

enum class SeriesType { Linear, Growth, Date };
enum class DateUnit { Day, Weekday, Month, Year };

struct SeriesOptions {
    bool byColumns = true;     // down each column of the range (else right along each row)
    SeriesType type = SeriesType::Linear;
    DateUnit unit = DateUnit::Day;
    double step = 1;
    bool hasStop = false;      // stop before a value beyond `stop`
    double stop = 0;
};

// ---- Round-off balance ------------------------------------------------------------------------------------------

struct RoundBalanceOptions {
    int decimals = 0;          // digits after the point, 0..6
    double divisor = 1;        // 1, 10, 100, 1000, 10000 (yuan to ten-thousands of yuan)
    bool totalRow = true;      // the last row of the range holds the column totals
    bool totalCol = true;      // the last column of the range holds the row totals
};

// ---- Conditions of the queries ------------------------------------------------------------------------------------

enum class CompareOp { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Contains, NotContains };

struct Condition {
    int col = 0;               // the column tested
    CompareOp op = CompareOp::Equal;
    QString value;             // compared as a number when both sides are numbers, else as text
};

// A row matches when all conditions hold (`all`) or any one does.
struct Query {
    QList<Condition> conditions;
    bool all = true;
};

// A row found by a query: where it is and the texts of its cells as shown.
struct FoundRow {
    QString file;              // book queries: the file it came from
    int sheet = 0;
    int row = 0;
    QStringList texts;
};

// ---- Sums ----------------------------------------------------------------------------------------------------

enum class SumFunction { Sum, Count, Average, Max, Min };

struct ClassSumOptions {
    int keyCol = 0;            // the column whose equal values form the classes
    QList<int> sumCols;        // the columns added up per class
    SumFunction function = SumFunction::Sum;
    bool header = true;        // the first row of the range holds captions (copied above the result)
    bool grandTotal = true;    // a last row "合计" over all classes
    int toCol = 0, toRow = 0;  // the top-left cell of the result table on the same sheet
};

// One formula of a sheet.
struct FormulaEntry {
    int sheet = 0, col = 0, row = 0;
    QString formula;           // without '='
    QString result;            // as shown
};

// Whether `text` (a cell as shown) meets `c`.
bool conditionHolds(const QString& text, const Condition& c);
QString compareOpText(CompareOp op);   // "等于", "大于" ...

} // namespace cell
