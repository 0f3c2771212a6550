#include "printing/BatchPrintRun.h"

#include "cell/CellControl.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"
#include "printing/SheetPageWriter.h"

#include <QFileInfo>
#include <QPdfWriter>

#include <algorithm>
#include <optional>

QString BatchPrintCaption()
{
    return QStringLiteral("批量打印");
}

BatchPrintOutput::~BatchPrintOutput() = default;

// ---- one PDF file -------------------------------------------------------------------------------------------------

PdfBatchOutput::PdfBatchOutput(QString path) : m_path(std::move(path)) {}

PdfBatchOutput::~PdfBatchOutput()
{
    // A run that never finished leaves no file behind.
    if (m_file)
        fail();
}

bool PdfBatchOutput::begin(const cell::Workbook&, int, int&)
{
    m_file = std::make_unique<QSaveFile>(m_path);
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString why = m_file->errorString();
        m_file.reset();
        throw QuelmarError(QStringLiteral("无法写入 PDF 文件 \"%1\"：%2").arg(m_path, why));
    }
    m_writer = std::make_unique<QPdfWriter>(m_file.get());
    m_writer->setResolution(1200);
    m_writer->setCreator(QStringLiteral("Quelmar"));
    m_writer->setTitle(QFileInfo(m_path).completeBaseName());
    m_pages = std::make_unique<SheetPageWriter>(*m_writer);
    return true;
}

int PdfBatchOutput::add(const cell::Workbook& wb, int sheet, int copies)
{
    return m_pages->add(wb, sheet, copies);
}

void PdfBatchOutput::finish()
{
    const bool painted = m_pages->end();
    m_pages.reset();
    m_writer.reset();
    if (!painted) {
        fail();
        throw QuelmarError(QStringLiteral("无法生成 PDF 文件 \"%1\"。").arg(m_path));
    }
    const bool committed = m_file->commit();
    const QString why = m_file->errorString();
    m_file.reset();
    if (!committed)
        throw QuelmarError(QStringLiteral("无法写入 PDF 文件 \"%1\"：%2").arg(m_path, why));
}

void PdfBatchOutput::fail() noexcept
{
    m_pages.reset();
    m_writer.reset();
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset();
    }
}

QString PdfBatchOutput::failureNote(int) const
{
    return QStringLiteral("没有生成 PDF 文件。");
}

// ---- the run ----------------------------------------------------------------------------------------------------

BatchPrintResult RunBatchPrint(const QList<BatchPrintItem>& items, int copies, BatchPrintOutput& output,
                               Prompter& prompter)
{
    BatchPrintResult result;
    result.total = int(items.size());
    if (items.isEmpty()) {
        prompter.warn(BatchPrintCaption(), QStringLiteral("请选择要打印的文件！"));
        return result;
    }
    copies = std::clamp(copies, BatchPrintMinCopies, BatchPrintMaxCopies);
    ProgressScope progress(prompter);
    // The hourglass starts once the print dialog is gone.
    std::optional<BusyCursor> busy;
    cell::CellControl control;
    bool begun = false;
    try {
        for (int k = 0; k < result.total; ++k) {
            const BatchPrintItem& item = items.at(k);
            if (!progress.step(QStringLiteral("正在打印“%1”").arg(item.name), k, result.total)) {
                result.stopped = true;
                break;
            }
            if (control.OpenFile(item.path, cell::tableFilePassword()) != 1)
                throw QuelmarError(QStringLiteral("第 %1 个表格文件“%2”无法打开：%3\n%4")
                                       .arg(k + 1)
                                       .arg(item.name, control.errorString(), output.failureNote(result.printed)));
            const int sheet = control.GetCurSheet();
            if (!begun) {
                if (!output.begin(control.workbook(), sheet, copies)) {
                    result.cancelled = true;
                    return result;
                }
                begun = true;
                copies = std::clamp(copies, BatchPrintMinCopies, BatchPrintMaxCopies);
                busy.emplace(prompter);
            }
            try {
                result.pages += output.add(control.workbook(), sheet, copies);
            } catch (const QuelmarError& e) {
                throw QuelmarError(QStringLiteral("第 %1 个表格文件“%2”打印失败：%3\n%4")
                                       .arg(k + 1)
                                       .arg(item.name, e.message(), output.failureNote(result.printed)));
            }
            ++result.printed;
        }
        if (!result.stopped)
            progress.step(QStringLiteral("打印完成"), result.total, result.total);
        if (begun)
            output.finish();
    } catch (...) {
        if (begun)
            output.fail();
        throw;
    }
    return result;
}
