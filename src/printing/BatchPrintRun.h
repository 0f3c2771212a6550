#pragma once
// A batch print run: the table files of the list, opened one at a time, their current sheets appended to one
// output (the printer chosen in the print dialog, shown once for the first file, or one PDF file), each file
// `copies` times collated. The run reports its progress (file k of n) through the prompter and stops after the
// current file when the user asks it to.

#include "cell/Workbook.h"
#include "printing/BatchPrint.h"

#include <QList>
#include <QSaveFile>
#include <QString>

#include <memory>

class Prompter;
class QPdfWriter;
class SheetPageWriter;

// Where the pages of a run go.
class BatchPrintOutput {
public:
    virtual ~BatchPrintOutput();
    // Before the first file's pages, with the first file's workbook: the paper output shows the print dialog here
    // (it may change `copies`). False: the user cancelled and nothing is printed.
    virtual bool begin(const cell::Workbook& first, int sheet, int& copies) = 0;
    // Appends one file's pages, `copies` times collated; returns the number of pages. Throws on failure.
    virtual int add(const cell::Workbook& wb, int sheet, int copies) = 0;
    // The run is over (all files, or stopped by the user): the job is sent, the file written. Throws on failure.
    virtual void finish() = 0;
    // A file failed: what was printed so far is handled as the output does it (paper: sent; PDF: not written).
    virtual void fail() noexcept = 0;
    // How the failure message ends ("已打印 3 个表格文件。" / "没有生成 PDF 文件。").
    virtual QString failureNote(int printed) const = 0;
};

// All ticked forms into one PDF file, written atomically: a run that fails leaves an existing file untouched; a
// run stopped by the user writes the forms printed until then.
class PdfBatchOutput final : public BatchPrintOutput {
public:
    explicit PdfBatchOutput(QString path);
    ~PdfBatchOutput() override;

    bool begin(const cell::Workbook& first, int sheet, int& copies) override;
    int add(const cell::Workbook& wb, int sheet, int copies) override;
    void finish() override;
    void fail() noexcept override;
    QString failureNote(int printed) const override;

private:
    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<SheetPageWriter> m_pages;
};

struct BatchPrintResult {
    int total = 0;        // files in the list
    int printed = 0;      // files printed
    int pages = 0;        // pages sent (copies included)
    bool cancelled = false;   // the print dialog was cancelled: nothing printed
    bool stopped = false;     // the user stopped the run after `printed` files
};

// Runs the list. An empty list shows "请选择要打印的文件！" (warning) and prints nothing. Hourglass and progress
// while it runs; `prompter.progress` answering "stop" ends the run after the current file. A file that cannot be
// opened or printed ends the run with a message naming it, its place in the list and what was printed.
BatchPrintResult RunBatchPrint(const QList<BatchPrintItem>& items, int copies, BatchPrintOutput& output,
                               Prompter& prompter);

// The caption of the batch print dialog and of the run's messages.
QString BatchPrintCaption();
// The smallest and largest number of copies.
constexpr int BatchPrintMinCopies = 1;
constexpr int BatchPrintMaxCopies = 9999;
