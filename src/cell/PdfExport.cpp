#include "cell/PdfExport.h"

#include "cell/PageRenderer.h"
#include "core/QuelmarError.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>

namespace cell {

void exportSheetToPdf(const Workbook& wb, int sheet, const QString& path)
{
    if (sheet < 0 || sheet >= wb.sheets.size())
        throw QuelmarError(QStringLiteral("工作表 %1 不存在，无法打印到 PDF 文件。").arg(sheet + 1));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw QuelmarError(QStringLiteral("无法写入 PDF 文件 \"%1\"：%2").arg(path, file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setResolution(1200);
        writer.setCreator(QStringLiteral("Quelmar"));
        writer.setTitle(QFileInfo(path).completeBaseName());
        PageRenderer renderer(wb, sheet);
        renderer.applyPageSetup(writer);
        if (!renderer.print(writer)) {
            file.cancelWriting();
            throw QuelmarError(QStringLiteral("无法生成 PDF 文件 \"%1\"。").arg(path));
        }
    }
    if (!file.commit())
        throw QuelmarError(QStringLiteral("无法写入 PDF 文件 \"%1\"：%2").arg(path, file.errorString()));
}

} // namespace cell
