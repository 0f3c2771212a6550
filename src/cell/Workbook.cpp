#include "cell/Workbook.h"

namespace cell {

QString errorText(ErrorValue e)
{
    switch (e) {
    case ErrorValue::Null: return QStringLiteral("#NULL!");
    case ErrorValue::Div0: return QStringLiteral("#DIV/0!");
    case ErrorValue::Value: return QStringLiteral("#VALUE!");
    case ErrorValue::Ref: return QStringLiteral("#REF!");
    case ErrorValue::Name: return QStringLiteral("#NAME?");
    case ErrorValue::Num: return QStringLiteral("#NUM!");
    case ErrorValue::NA: return QStringLiteral("#N/A");
    case ErrorValue::Circular: return QStringLiteral("#CIRC!");
    }
    return QStringLiteral("#VALUE!");
}

int Workbook::findFontIndex(const QString& name, bool add)
{
    // Font names compare case-free: "Arial" and "arial" are one font to the renderer.
    for (int i = 0; i < fonts.size(); ++i)
        if (fonts.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    if (!add || name.trimmed().isEmpty())
        return -1;
    fonts.append(name);
    return int(fonts.size()) - 1;
}

int Workbook::findColorIndex(QRgb color, bool add)
{
    const QRgb opaque = color | 0xff000000u;
    const int i = int(colors.indexOf(opaque));
    if (i >= 0 || !add)
        return i;
    colors.append(opaque);
    return int(colors.size()) - 1;
}

Sheet makeSheet(const QString& name, int dataCols, int dataRows)
{
    Sheet s;
    s.name = name;
    s.cols = qBound(1, dataCols, MaxCols) + 1;
    s.rows = qBound(1, dataRows, MaxRows) + 1;
    s.colWidths = QVector<int>(s.cols, 72);
    s.colWidths[0] = 40;
    s.rowHeights = QVector<int>(s.rows, 22);
    return s;
}

} // namespace cell
