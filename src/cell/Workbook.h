#pragma once
// The workbook model of the spreadsheet engine: plain data, no behaviour beyond lookups. Operations that change it
// (with undo) live in CellControl; the file format in TableFile; formulas in formula/; drawing in PageRenderer and
// view/CellView. Columns and rows count from 1; row 0 and column 0 are the label row and column, so a sheet with
// `cols` == 11 has data columns 1..10.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <QVector>

#include <variant>

namespace cell {

constexpr int MaxCols = 256;     // data columns
constexpr int MaxRows = 65535;   // data rows

// A rectangle of cells, inclusive on both ends.
struct Range {
    int col1 = 0, row1 = 0, col2 = -1, row2 = -1;
    bool isEmpty() const { return col2 < col1 || row2 < row1; }
    bool contains(int c, int r) const { return c >= col1 && c <= col2 && r >= row1 && r <= row2; }
    bool intersects(const Range& o) const
    {
        return !isEmpty() && !o.isEmpty() && col1 <= o.col2 && o.col1 <= col2 && row1 <= o.row2 && o.row1 <= row2;
    }
    int width() const { return col2 - col1 + 1; }
    int height() const { return row2 - row1 + 1; }
    bool operator==(const Range&) const = default;
};

// Error values of formulas.
enum class ErrorValue : quint8 { Null = 1, Div0, Value, Ref, Name, Num, NA, Circular };
QString errorText(ErrorValue e);   // "#DIV/0!" ...

struct Empty {
    bool operator==(const Empty&) const = default;
};

// What a cell holds: nothing, a number, a text, a truth value or an error (the last two only as formula results).
using Value = std::variant<Empty, double, QString, bool, ErrorValue>;

// Line-style codes of borders and diagonals: 0 none, 2 thin, 3 medium, 4 thick, 5 dash, 6 dot, 7 dash-dot,
// 8 dash-dot-dot, 9 thick dash, 10 thick dot, 11 thick dash-dot, 12 thick dash-dot-dot; 255 = a style the
// caller did not know, drawn as thin.
struct Line {
    quint8 style = 0;
    QRgb color = 0xff000000;
    bool operator==(const Line&) const = default;
};

enum Side { Left = 0, Top = 1, Right = 2, Bottom = 3 };

// Alignment flags: horizontal left 1, right 2, centre 4 (0 = general: numbers right, text left);
// vertical under mask 0x38: top 8, centre 16, bottom 32 (0 = centre).
enum AlignFlag { AlignLeft = 1, AlignRight = 2, AlignHCenter = 4, AlignTop = 8, AlignVCenter = 16, AlignBottom = 32 };
constexpr int HAlignMask = 0x07;
constexpr int VAlignMask = 0x38;

// Number types: 0 general, 1 number, 2 currency, 3 date, 4 time, 5 percent.
enum NumType { NumGeneral = 0, NumNumber = 1, NumCurrency = 2, NumDate = 3, NumTime = 4, NumPercent = 5 };

// The most digits after the point a number format shows.
constexpr int MaxDecimals = 30;

struct CellFormat {
    int font = 0;            // index into Workbook::fonts
    int fontSize = 10;       // points
    int fontStyle = 0;       // 2 bold | 4 italic | 8 underline
    int textColor = -1;      // index into Workbook::colors; -1 = black
    int backColor = -1;      // index into Workbook::colors; -1 = none
    int align = 0;           // AlignFlag bits
    int textStyle = 0;       // 2 = wrap
    int numType = NumGeneral;
    int decimals = -1;       // -1 = as needed (general), else digits after the point
    int separator = 0;       // 2 = thousands separator
    int currency = 0;        // 2 ¥, 3 $, 4 €
    int dateStyle = 0;       // 1..21
    int timeStyle = 0;       // 1..10
    int input = 1;           // 1 editable, 5 locked
    Line border[4];          // Side
    Line diagonal[2];        // 0 "/" (bottom-left to top-right), 1 "\" (top-left to bottom-right)
    bool operator==(const CellFormat&) const = default;
};

// The display and colour formulas of a cell, evaluated live by the control after every change: while a display
// formula is set the cell shows its result (the value stays what it is); while the colour formula is true the
// cell takes the rule's colours.
struct CellRules {
    QString showFormula;     // without '='; empty = none
    QString colorFormula;    // a condition without '='; empty = none
    QRgb textColor = 0;      // alpha 0 = leave the text colour
    QRgb backColor = 0;      // alpha 0 = leave the background
    bool isEmpty() const { return showFormula.isEmpty() && colorFormula.isEmpty(); }
    bool operator==(const CellRules&) const = default;
};

// What the rules of a cell give at present (not saved; the control recalculates it).
struct RuleResult {
    bool showsText = false;
    QString text;
    QRgb textColor = 0, backColor = 0;   // alpha 0 = unchanged
    bool operator==(const RuleResult&) const = default;
};

struct Cell {
    Value value;             // the typed value, or the calculated result of the formula
    QString formula;         // formula text without a leading '=', empty when none
    CellFormat format;
    QString dropdown;        // items each followed by '\n'; empty = no list
    int dropdownKind = 0;    // 2 = pick from the list
    QString hyperlink;       // target URL or "#Sheet!A1"; empty = none
    CellRules rules;
    bool isBlank() const     // no content (format may still be set)
    {
        return std::holds_alternative<Empty>(value) && formula.isEmpty();
    }
};

struct Picture {
    Range anchor;            // the cells it covers (drawn scaled into them)
    QByteArray data;         // PNG or JPEG bytes as given
};

// A chart drawn by the engine from a block of cells, over the cells of its anchor. It reads the cells whenever it
// is drawn, so it follows every change of the data; it is saved with the sheet and printed.
enum class ChartType : quint8 { Bar = 0, Line = 1, Pie = 2 };

struct Chart {
    ChartType type = ChartType::Bar;
    Range data;                    // the cells it shows
    bool seriesInRows = false;     // each row of the data is a series (else each column)
    bool labelsInFirst = true;     // the first row and column of the data hold the category and series names
    QString title;
    Range anchor;                  // the cells it covers
    bool operator==(const Chart&) const = default;
};

struct PageSetup {
    int paper = 9;                   // printer paper number: 9 A4, 8 A3, 11 A5, 1 Letter ... (cell::paperSize maps it)
    bool landscape = false;
    double marginLeft = 15, marginTop = 15, marginRight = 15, marginBottom = 15;   // millimetres
    int scale = 100;                 // percent
    bool fitToWidth = false;         // scale the columns to the paper width
    bool centerHorizontally = true;
    bool centerVertically = false;
    Range printArea;                 // empty = all used cells
    int copies = 1;
    bool operator==(const PageSetup&) const = default;
};

struct Sheet {
    QString name = QStringLiteral("Sheet1");
    int cols = 11;                   // including the label column
    int rows = 31;                   // including the label row
    QVector<int> colWidths;          // pixels at 100 %, index 0 = label column; size() == cols
    QVector<int> rowHeights;         // pixels at 100 %, index 0 = label row; size() == rows
    QHash<quint32, Cell> cells;      // key(col,row); absent = blank with default format
    QList<Range> merges;
    QList<Picture> pictures;
    QList<Chart> charts;
    QByteArray backgroundPicture;
    QHash<quint32, RuleResult> ruleResults;   // key(col,row) -> the current result of that cell's rules
    int curCol = 1, curRow = 1;
    Range selection{1, 1, 1, 1};
    int fixedCols = 0, fixedRows = 0;     // last fixed index; 0 = none
    bool showRowLabel = true, showColLabel = true, showGrid = true, showHScroll = true, showVScroll = true;
    double zoom = 1.0;
    PageSetup page;

    static quint32 key(int col, int row) { return (quint32(row) << 9) | quint32(col); }
    static int keyCol(quint32 k) { return int(k & 0x1ff); }
    static int keyRow(quint32 k) { return int(k >> 9); }

    const Cell* cellAt(int col, int row) const
    {
        auto it = cells.constFind(key(col, row));
        return it == cells.constEnd() ? nullptr : &it.value();
    }
    Cell& cellRef(int col, int row) { return cells[key(col, row)]; }
    // The merged range holding (col,row), or a 1×1 range of the cell itself.
    Range mergeAt(int col, int row) const
    {
        for (const Range& m : merges)
            if (m.contains(col, row))
                return m;
        return Range{col, row, col, row};
    }
    int colWidth(int c) const { return c >= 0 && c < colWidths.size() ? colWidths[c] : 72; }
    int rowHeight(int r) const { return r >= 0 && r < rowHeights.size() ? rowHeights[r] : 22; }
};

struct Workbook {
    QList<Sheet> sheets{Sheet{}};
    int curSheet = 0;
    QStringList fonts{QStringLiteral("宋体")};
    QList<QRgb> colors;              // the colour table; CellFormat indexes it
    bool showSheetLabel = true;

    // Index of `name` / `color` in the tables; -1 when absent and `add` is false.
    int findFontIndex(const QString& name, bool add);
    int findColorIndex(QRgb color, bool add);
};

// A blank sheet of `dataCols` × `dataRows` with default sizes.
Sheet makeSheet(const QString& name, int dataCols = 10, int dataRows = 30);

} // namespace cell
