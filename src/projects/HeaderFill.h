#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class Prompter;
class RowSet;
class TDataPoolDM;
namespace cell {
class CellControl;
}

// The header-fill record of a form (table HeadingFillRange, referenced by the node's FillMode): for each of the 18
// header fields whether the form holds it (BeFilledN) and in which cell (ColN + RowN, e.g. "B" and "8").
struct FillPosition {
    bool filled = false;
    QString row;   // as typed: decimal digits
    QString col;   // as typed: letters, either case
    QString ref() const { return col + row; }
    bool operator==(const FillPosition&) const = default;
};
using FillPositions = std::array<FillPosition, 18>;   // index 0 = field 1

// The record with that ID, or nothing when there is none. A null BeFilledN reads as false.
std::optional<FillPositions> ReadFillPositions(TDataPoolDM& dm, int id);

// "工程名称的行或列位置不正确！" ... for field n (1..18).
QString FillPositionMessage(int n);
// The first ticked field (in field order) whose position is no cell: the row box must hold decimal digits only,
// the column box letters only (either case), and the two together a cell reference; so a whole reference typed
// into the column box ("B8") with an empty row box is refused. 0 when every ticked field names a cell. Unticked
// fields are not checked.
int FirstInvalidFillPosition(const FillPositions& positions);

// The sheet a form's positions are checked against: its data columns and rows (without the label column and row).
// 0 x 0: unknown, only the references are checked.
struct SheetExtent {
    int cols = 0;
    int rows = 0;
};
// The current sheet of the form open in the control.
SheetExtent CurrentSheetExtent(const cell::CellControl& cell);

// The dialog's check on OK, in field order over the ticked fields: the first position that is no cell gets
// FillPositionMessage(); the first cell outside the sheet gets FillPositionOutsideMessage(). `field` 0: accepted.
struct FillPositionCheck {
    int field = 0;
    QString message;
};
FillPositionCheck CheckFillPositions(const FillPositions& positions, const SheetExtent& sheet);
// "工程名称的位置“Z200”在表格之外：表格只有 10 列、40 行。"
QString FillPositionOutsideMessage(int n, const FillPosition& position, const SheetExtent& sheet);

// Stores what the dialog confirmed: BeFilledN for every field; RowN / ColN only for ticked fields (an unticked
// field keeps its stored position, which comes back when it is ticked again). Writes only when something changed.
// A missing record fails with "没有找到相应表头信息！".
void StoreFillPositions(TDataPoolDM& dm, int id, const FillPositions& positions);

// The dialog "填写位置" (TAutoFillRangeFrm in the program): shows the positions and returns true on OK with the
// positions as typed. Its OK button may close the dialog only when CheckFillPositions() against `sheet` accepts
// them; otherwise it shows the check's message and stays open.
class FillPositionsEditor {
public:
    virtual ~FillPositionsEditor() = default;
    virtual bool edit(FillPositions& positions, const SheetExtent& sheet) = 0;
};

// The designer's "填写属性(&F)...": reads the record (none: "没有找到相应表头信息！"), runs the dialog on the
// positions with the sheet of the form it shows, stores the result on OK. Returns whether it was accepted.
bool EditFillPositions(TDataPoolDM& dm, FillPositionsEditor& editor, int id, const SheetExtent& sheet);

// The option lists (gkxx) by field: list n (1..18) holds the names in iSort order.
using OptionItems = std::array<QStringList, 18>;
OptionItems ReadOptionItems(TDataPoolDM& dm);

// Gives every ticked header cell of fields first..18 a drop-down list of its option list (an empty list leaves
// the cell without one); any earlier list is removed first. Writes no value. A stored position that is not a cell
// reference is skipped. The record's absence fails with `missingMessage`.
void AttachOptionLists(cell::CellControl& cell, TDataPoolDM& dm, int id, int firstField,
                       const QString& missingMessage = QStringLiteral("没找到相应表格表头信息！"));
void AttachOptionLists(cell::CellControl& cell, const FillPositions& positions, const OptionItems& items,
                       int firstField);

// Writes the 18 values into the ticked header cells of the form open in `cell` (current sheet), attaches the
// option lists of fields 2..18 and saves the file under its own name. A missing record fails with
// "没有找到相应表头信息！" before anything is written; a failed save fails with the control's message and the
// form stays as it is in the control. Stored positions that are not cell references are skipped.
void FillHeaderCells(cell::CellControl& cell, TDataPoolDM& dm, int id, const QStringList& values);

// The same on a table file: opens it with the table-file password, fills and saves it.
void FillHeaderCellsInFile(TDataPoolDM& dm, const QString& path, int id, const QStringList& values);

// The first display of a new form in the project library: when `pending` is set, fills the form's file from
// `values` and clears the flag (a failure leaves it set, so the next display tries again). Returns whether the
// file was filled (the viewer then reopens it).
bool FillPendingFormHeader(TDataPoolDM& dm, const QString& path, int fillMode, const QStringList& values, bool& pending);

struct NodeRecord;
// What the program does when it shows a newly created inspection or general form for the first time, in one step
// (the CLI's `new`): loads the header values for the form's folder (the project's overview, or the user's
// defaults outside a project) and fills the form's table file at `path`.
void FillNewFormHeader(TDataPoolDM& dm, const QString& userName, const QString& path, const NodeRecord& form);
