#include "printing/SheetPageWriter.h"

#include "cell/PageRenderer.h"
#include "core/QuelmarError.h"

#include <QPagedPaintDevice>

#include <algorithm>

SheetPageWriter::SheetPageWriter(QPagedPaintDevice& device) : m_device(device) {}

SheetPageWriter::~SheetPageWriter()
{
    if (m_painter.isActive())
        m_painter.end();
}

int SheetPageWriter::add(const cell::Workbook& wb, int sheet, int copies)
{
    cell::PageRenderer renderer(wb, sheet);
    // The new layout applies from the next page on; a device that cannot change it while printing keeps its own,
    // and the sheet is laid out for that.
    m_device.setPageLayout(renderer.pageLayout());
    if (!m_painter.isActive()) {
        if (!m_painter.begin(&m_device))
            throw QuelmarError(QStringLiteral("无法开始打印：打印设备不可用。"));
    } else if (!m_device.newPage()) {
        throw QuelmarError(QStringLiteral("打印失败：无法开始新的一页。"));
    }
    renderer.layout(m_device.pageLayout());
    const int pages = std::max(1, renderer.pageCount());
    const double dpi = m_device.logicalDpiX();
    bool first = true;
    for (int copy = 0; copy < std::max(1, copies); ++copy) {
        for (int i = 0; i < pages; ++i) {
            if (!first && !m_device.newPage())
                throw QuelmarError(QStringLiteral("打印失败：无法开始新的一页。"));
            first = false;
            renderer.paintPage(m_painter, i, dpi);
            ++m_pages;
        }
    }
    return pages * std::max(1, copies);
}

bool SheetPageWriter::end()
{
    if (!m_painter.isActive())
        return true;
    return m_painter.end();
}
