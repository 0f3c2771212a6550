#include "fuzz/FuzzTargets.h"
#include "cell/CellControl.h"
#include "cell/NumberFormat.h"
#include "cell/PageRenderer.h"
#include "cell/TableFile.h"
#include "cell/formula/FormulaEngine.h"
#include "core/QuelmarError.h"

#include <QImage>
#include <QPainter>

namespace fuzz {
namespace {

void exercise(cell::Workbook& wb)
{
    cell::formula::FormulaEngine engine(wb);
    engine.rebuild();
    for (const cell::Sheet& sh : wb.sheets)
        for (const cell::Cell& c : sh.cells)
            (void)cell::displayText(c);
    for (int s = 0; s < wb.sheets.size(); ++s) {
        cell::PageRenderer pages(wb, s);
        pages.layout(pages.pageLayout());
        if (pages.pageCount() == 0)
            continue;
        // A small image at a low resolution: the drawing code runs over every cell of the page all the same.
        QImage image(200, 280, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        pages.paintPage(p, 0, 24);
    }
}

} // namespace

int TableFilePayload(const uint8_t* data, size_t size)
{
    const QByteArray payload(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString password = cell::tableFilePassword();
    cell::Workbook wb;
    cell::TableFileReader reader;
    if (reader.decode(cell::TableFileWriter::seal(payload, password), password, wb))
        exercise(wb);
    return 0;
}

int TableFileBytes(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    cell::Workbook wb;
    cell::TableFileReader reader;
    if (reader.decode(bytes, cell::tableFilePassword(), wb))
        exercise(wb);
    return 0;
}

int FormulaText(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        (void)cell::formula::FormulaEngine::normalize(text);
    } catch (const QuelmarError&) {
        return 0;
    }
    cell::Workbook wb;
    cell::Sheet& sh = wb.sheets[0];
    for (int col = 1; col <= 4; ++col)
        for (int row = 1; row <= 4; ++row)
            sh.cellRef(col, row).value = double(col * 10 + row);
    sh.cellRef(2, 2).value = QStringLiteral("文字");
    cell::formula::FormulaEngine engine(wb);
    engine.rebuild();
    try {
        engine.setFormula(0, 5, 5, text);
        engine.setFormula(0, 1, 6, QStringLiteral("E5+1"));
    } catch (const QuelmarError&) {
        return 0;
    }
    engine.recalculateAll();
    (void)cell::displayText(sh.cells.value(cell::Sheet::key(5, 5)));
    // Copied elsewhere (the engine rewrites its references).
    (void)cell::formula::FormulaEngine::translateFormula(text, 3, -2);
    (void)cell::formula::FormulaEngine::translateFormula(text, -300, 70000);
    return 0;
}

}
