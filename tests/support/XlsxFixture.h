#pragma once
// Hand-made spreadsheet files for the Excel import tests: a zip archive of stored entries and a minimal .xlsx
// around the <sheetData> of one sheet, so that a test can put into the file exactly what a reader must handle.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

QByteArray zipOf(const QList<QPair<QString, QByteArray>>& entries);
QByteArray handMadeXlsx(const QByteArray& sheetData);
