#pragma once
// One print job made of the sheets of several workbooks: each sheet is laid out with its own page settings (paper,
// orientation, margins, scale) and its pages follow the pages before it on the same device, so a batch run becomes
// one PDF or one printer job.

#include "cell/Workbook.h"

#include <QPainter>

class QPagedPaintDevice;

class SheetPageWriter {
public:
    explicit SheetPageWriter(QPagedPaintDevice& device);
    ~SheetPageWriter();
    SheetPageWriter(const SheetPageWriter&) = delete;
    SheetPageWriter& operator=(const SheetPageWriter&) = delete;

    // Appends the pages of `sheet` of `wb`, `copies` times, collated (every page of one copy before the next
    // copy); a sheet with nothing to print gives one blank page per copy, as printing it alone does. Returns the
    // number of pages added. Throws QuelmarError when the device cannot be painted on.
    int add(const cell::Workbook& wb, int sheet, int copies);
    // Ends the job (the last page is written out); false when the device failed. Nothing happens when no page was
    // added.
    bool end();
    int pageCount() const { return m_pages; }

private:
    QPagedPaintDevice& m_device;
    QPainter m_painter;
    int m_pages = 0;
};
