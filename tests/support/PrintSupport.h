#pragma once
// What the printing tests share: small table files written straight through the table-file writer, and the text
// and page sizes of a PDF read back with poppler's tools (pdftotext, pdfinfo).
#include "cell/Workbook.h"

#include <QSizeF>
#include <QString>
#include <QStringList>

// A form whose cells A1, A2, ... hold `lines` (one sheet, A4 portrait unless `page` says otherwise). `rows` data rows
// (so a long sheet runs over several pages); the lines go into the first rows, `lastLine` (when given) into the
// last row. Fails the test when the file cannot be written.
void writeForm(const QString& path, const QStringList& lines, int rows = 20, const QString& lastLine = QString(),
               const cell::PageSetup& page = cell::PageSetup());

int pdfPageCount(const QString& pdf);
// The text of page `page` (from 1), lines trimmed and blank lines dropped, joined with '|'.
QString pdfPageText(const QString& pdf, int page);
// Every page's text in order.
QStringList pdfPageTexts(const QString& pdf);
// Page `page`'s size in points.
QSizeF pdfPageSize(const QString& pdf, int page);
