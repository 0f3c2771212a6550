#include "support/PrintSupport.h"

#include "cell/CellControl.h"
#include "cell/TableFile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

void writeForm(const QString& path, const QStringList& lines, int rows, const QString& lastLine,
               const cell::PageSetup& page)
{
    cell::Workbook wb;
    cell::Sheet s = cell::makeSheet(QStringLiteral("Sheet1"), 4, rows);
    s.page = page;
    for (int i = 0; i < lines.size(); ++i)
        s.cellRef(1, i + 1).value = lines[i];
    if (!lastLine.isEmpty())
        s.cellRef(1, rows).value = lastLine;
    wb.sheets = {s};
    cell::TableFileWriter writer;
    QVERIFY2(writer.write(path, cell::tableFilePassword(), wb), qPrintable(writer.errorString()));
}

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

int pdfPageCount(const QString& pdf)
{
    const QString out = run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfPageText(const QString& pdf, int page)
{
    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page),
                                                          QStringLiteral("-l"), QString::number(page), pdf,
                                                          QStringLiteral("-")});
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() && line.trimmed() != QStringLiteral("\f"))
            lines << line.trimmed().remove(QLatin1Char('\f'));
    lines.removeAll(QString());
    return lines.join(QLatin1Char('|'));
}

QStringList pdfPageTexts(const QString& pdf)
{
    QStringList pages;
    const int n = pdfPageCount(pdf);
    for (int i = 1; i <= n; ++i)
        pages << pdfPageText(pdf, i);
    return pages;
}

QSizeF pdfPageSize(const QString& pdf, int page)
{
    const QString out = run(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                       QString::number(page), pdf});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page\\s+%1 size:\\s+([\\d.]+) x ([\\d.]+)").arg(page)).match(out);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}
