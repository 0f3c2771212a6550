#pragma once
// The paper output of a batch run: the print dialog once, for the first file (printer, copies, or Qt's print to a
// PDF file), then every file's pages in one print job on the printer chosen there, each file with its own page
// settings and its copies collated.

#include "printing/BatchPrintRun.h"

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

class PrinterBatchOutput final : public BatchPrintOutput {
public:
    explicit PrinterBatchOutput(QWidget* dialogParent);
    ~PrinterBatchOutput() override;

    bool begin(const cell::Workbook& first, int sheet, int& copies) override;
    int add(const cell::Workbook& wb, int sheet, int copies) override;
    void finish() override;
    void fail() noexcept override;
    QString failureNote(int printed) const override;

    // What stands in for the print dialog (tests: choose a PDF file and accept); empty: Qt's print dialog.
    using DialogHook = std::function<bool(QPrinter& printer)>;
    static void setDialogHook(DialogHook hook);

private:
    QWidget* m_parent;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<SheetPageWriter> m_pages;
};
