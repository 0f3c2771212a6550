#include "projects/HeaderFill.h"

#include "cell/CellControl.h"
#include "core/QuelmarError.h"
#include "projects/HeaderFields.h"
#include "projects/ProjectOverview.h"
#include "trees/NodeRecord.h"
#include "store/DataPool.h"
#include "store/RowSet.h"

#include <algorithm>

namespace {

QString beFilledColumn(int n) { return QStringLiteral("BeFilled%1").arg(n); }
QString rowColumn(int n) { return QStringLiteral("Row%1").arg(n); }
QString colColumn(int n) { return QStringLiteral("Col%1").arg(n); }

const QString kNoRecord = QStringLiteral("没有找到相应表头信息！");

bool loadRecord(TDataPoolDM& dm, int id, RowSet& rows)
{
    rows.load(dm.GetHeadingFillRangeData(id), QStringLiteral("ID"));
    return rows.totalCount() > 0;
}

FillPositions positionsOf(const RowSet& rows, RowSet::RowId r)
{
    FillPositions p;
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        FillPosition& f = p[size_t(n - 1)];
        f.filled = rows.value(r, beFilledColumn(n)).toBool();
        f.row = rows.value(r, rowColumn(n)).toString();
        f.col = rows.value(r, colColumn(n)).toString();
    }
    return p;
}

// The cell of a stored position; false for a text that is no cell reference.
bool cellOf(const FillPosition& f, int& col, int& row)
{
    return cell::CellControl::ParseCellRef(f.ref(), col, row);
}

} // namespace

std::optional<FillPositions> ReadFillPositions(TDataPoolDM& dm, int id)
{
    RowSet rows;
    if (!loadRecord(dm, id, rows))
        return std::nullopt;
    return positionsOf(rows, rows.allRows().first());
}

QString FillPositionMessage(int n)
{
    return HeaderFields::name(n) + QStringLiteral("的行或列位置不正确！");
}

namespace {

bool allOf(const QString& text, bool (*accept)(char16_t))
{
    for (const QChar c : text)
        if (!accept(c.unicode()))
            return false;
    return true;
}

bool isAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// What the dialog accepts: letters in the column box, digits in the row box, and together a cell reference.
bool typedCellOf(const FillPosition& f, int& col, int& row)
{
    return allOf(f.col, isAsciiLetter) && allOf(f.row, isAsciiDigit) && cellOf(f, col, row);
}

} // namespace

int FirstInvalidFillPosition(const FillPositions& positions)
{
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        const FillPosition& f = positions[size_t(n - 1)];
        int col = 0, row = 0;
        if (f.filled && !typedCellOf(f, col, row))
            return n;
    }
    return 0;
}

SheetExtent CurrentSheetExtent(const cell::CellControl& cell)
{
    const int sheet = cell.GetCurSheet();
    return {std::max(0, cell.GetCols(sheet) - 1), std::max(0, cell.GetRows(sheet) - 1)};
}

QString FillPositionOutsideMessage(int n, const FillPosition& position, const SheetExtent& sheet)
{
    return QStringLiteral("%1的位置“%2”在表格之外：表格只有 %3 列、%4 行。")
        .arg(HeaderFields::name(n), position.col.toUpper() + position.row)
        .arg(sheet.cols)
        .arg(sheet.rows);
}

FillPositionCheck CheckFillPositions(const FillPositions& positions, const SheetExtent& sheet)
{
    const bool sized = sheet.cols > 0 && sheet.rows > 0;
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        const FillPosition& f = positions[size_t(n - 1)];
        if (!f.filled)
            continue;
        int col = 0, row = 0;
        if (!typedCellOf(f, col, row))
            return {n, FillPositionMessage(n)};
        if (sized && (col > sheet.cols || row > sheet.rows))
            return {n, FillPositionOutsideMessage(n, f, sheet)};
    }
    return {};
}

void StoreFillPositions(TDataPoolDM& dm, int id, const FillPositions& positions)
{
    RowSet rows;
    if (!loadRecord(dm, id, rows))
        throw QuelmarError(kNoRecord);
    const RowSet::RowId r = rows.allRows().first();
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        const FillPosition& f = positions[size_t(n - 1)];
        const QVariant old = rows.value(r, beFilledColumn(n));
        if (old.isNull() || old.toBool() != f.filled)
            rows.setValue(r, beFilledColumn(n), f.filled);
        if (!f.filled)
            continue;
        if (rows.value(r, rowColumn(n)).toString() != f.row || rows.value(r, rowColumn(n)).isNull())
            rows.setValue(r, rowColumn(n), f.row);
        if (rows.value(r, colColumn(n)).toString() != f.col || rows.value(r, colColumn(n)).isNull())
            rows.setValue(r, colColumn(n), f.col);
    }
    if (rows.hasChanges()) {
        dm.ApplyHeadingFillRangeUpdates(id, rows.changeLog());
        rows.merge();
    }
}

bool EditFillPositions(TDataPoolDM& dm, FillPositionsEditor& editor, int id, const SheetExtent& sheet)
{
    std::optional<FillPositions> positions = ReadFillPositions(dm, id);
    if (!positions)
        throw QuelmarError(kNoRecord);
    if (!editor.edit(*positions, sheet))
        return false;
    // The dialog checks before it closes; a caller that skipped the check must not store a bad position.
    if (const FillPositionCheck check = CheckFillPositions(*positions, sheet); check.field != 0)
        throw QuelmarError(check.message);
    StoreFillPositions(dm, id, *positions);
    return true;
}

OptionItems ReadOptionItems(TDataPoolDM& dm)
{
    const DataPacket packet = dm.GetGkxxData();   // ordered by TypeID, iSort
    const int typeCol = int(packet.columns.indexOf(QStringLiteral("TypeID")));
    const int nameCol = int(packet.columns.indexOf(QStringLiteral("Name")));
    const int sortCol = int(packet.columns.indexOf(QStringLiteral("iSort")));
    // TypeID is text: "10" sorts before "2" in the fetch, but within one list the order is by iSort.
    std::array<QList<QPair<int, QString>>, 18> byField;
    for (const QVariantList& row : packet.rows) {
        bool ok = false;
        const int n = row.value(typeCol).toString().trimmed().toInt(&ok);
        if (ok && n >= 1 && n <= HeaderFields::Count)
            byField[size_t(n - 1)].append({row.value(sortCol).toInt(), row.value(nameCol).toString()});
    }
    OptionItems items;
    for (size_t i = 0; i < byField.size(); ++i) {
        std::stable_sort(byField[i].begin(), byField[i].end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& e : byField[i])
            items[i] << e.second;
    }
    return items;
}

void AttachOptionLists(cell::CellControl& cell, const FillPositions& positions, const OptionItems& items,
                       int firstField)
{
    const int sheet = cell.GetCurSheet();
    for (int n = std::max(1, firstField); n <= HeaderFields::Count; ++n) {
        const FillPosition& f = positions[size_t(n - 1)];
        int col = 0, row = 0;
        if (!f.filled || !cellOf(f, col, row))
            continue;
        cell.SetDropdownList(col, row, sheet, QString(), 2);
        QString list;
        for (const QString& name : items[size_t(n - 1)])
            list += name + QLatin1Char('\n');
        if (!list.isEmpty())
            cell.SetDropdownList(col, row, sheet, list, 2);
    }
}

void AttachOptionLists(cell::CellControl& cell, TDataPoolDM& dm, int id, int firstField,
                       const QString& missingMessage)
{
    const std::optional<FillPositions> positions = ReadFillPositions(dm, id);
    if (!positions)
        throw QuelmarError(missingMessage);
    AttachOptionLists(cell, *positions, ReadOptionItems(dm), firstField);
}

void FillHeaderCells(cell::CellControl& cell, TDataPoolDM& dm, int id, const QStringList& values)
{
    const std::optional<FillPositions> positions = ReadFillPositions(dm, id);
    if (!positions)
        throw QuelmarError(kNoRecord);
    const int sheet = cell.GetCurSheet();
    for (int n = 1; n <= HeaderFields::Count; ++n) {
        const FillPosition& f = (*positions)[size_t(n - 1)];
        int col = 0, row = 0;
        // A position that is no cell reference would write into a wrong cell: it is left out.
        if (f.filled && cellOf(f, col, row))
            cell.SetCellString(col, row, sheet, values.value(n - 1));
    }
    AttachOptionLists(cell, *positions, ReadOptionItems(dm), 2);
    const QString file = cell.GetFileName();
    if (file.isEmpty())
        throw QuelmarError(QStringLiteral("表格没有文件名，表头信息无法保存。"));
    if (cell.SaveFile(file, 0) != 1)
        throw QuelmarError(cell.errorString().isEmpty() ? QStringLiteral("文件没有被保存？") : cell.errorString());
}

void FillHeaderCellsInFile(TDataPoolDM& dm, const QString& path, int id, const QStringList& values)
{
    cell::CellControl control;
    if (control.OpenFile(path, cell::tableFilePassword()) != 1)
        throw QuelmarError(control.errorString().isEmpty()
                               ? QStringLiteral("无法打开表格文件“%1”。").arg(path)
                               : control.errorString());
    FillHeaderCells(control, dm, id, values);
}

bool FillPendingFormHeader(TDataPoolDM& dm, const QString& path, int fillMode, const QStringList& values, bool& pending)
{
    if (!pending)
        return false;
    FillHeaderCellsInFile(dm, path, fillMode, values);
    pending = false;
    return true;
}

void FillNewFormHeader(TDataPoolDM& dm, const QString& userName, const QString& path, const NodeRecord& form)
{
    int cachedDir = 0;
    QStringList values = HeaderFields::emptyValues();
    LoadHeaderValues(dm, userName, form, cachedDir, values);
    FillHeaderCellsInFile(dm, path, form.FillMode, values);
}
