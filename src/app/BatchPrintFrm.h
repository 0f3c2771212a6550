#pragma once
#include "printing/BatchPrint.h"
#include "printing/BatchPrintRun.h"

#include <QDialog>

#include <functional>
#include <memory>

class Prompter;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTreeView;

// "批量打印": the subtree of a node with a tick on every node, the mode's description and panel, the number of
// files to print, the copies per file; "打印(&P)" prints the ticked forms on paper (the print dialog for the first
// file only), "打印到PDF文件(&F)..." writes them into one PDF. While a run goes, the progress bar shows file k of
// n and "取消" stops the run after the current file. The dialog stays open after a run; "取消" closes it.
class TBatchPrintFrm final : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog's tree from `node` of `source`; a kind the mode does not list fails with "类型错误！" (the
    // dialog is then never shown).
    TBatchPrintFrm(BatchPrintMode mode, const LibraryTreeModel& source, const QModelIndex& node, const AppPaths& paths,
                   Prompter& prompter, QWidget* parent = nullptr);
    ~TBatchPrintFrm() override;

    BatchPrintTree& tree() { return *m_tree; }
    QTreeView* tvPrint = nullptr;
    QStackedWidget* pcMode = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblCount = nullptr;
    QSpinBox* seCopies = nullptr;
    QProgressBar* pbProgress = nullptr;
    QLabel* lblProgress = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnPdf = nullptr;
    QPushButton* btnCancel = nullptr;

    // Where "打印(&P)" sends the pages; by default the printer (PrinterBatchOutput). Tests put in their own.
    using OutputFactory = std::function<std::unique_ptr<BatchPrintOutput>(QWidget* parent)>;
    void setPaperOutput(OutputFactory factory) { m_paperOutput = std::move(factory); }

    // "打印(&P)" and "打印到PDF文件(&F)...".
    void Print();
    void PrintToPdf();
    bool isRunning() const { return m_running; }
    // "取消" while a run goes: the run stops after the current file.
    void requestStop() { m_stopRequested = true; }
    const BatchPrintResult& lastResult() const { return m_result; }

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    class RunPrompter;
    void updateCount();
    BatchPrintResult run(BatchPrintOutput& output);
    void setRunning(bool running);
    void showProgress(const QString& text, qint64 done, qint64 total);

    Prompter& m_prompter;
    std::unique_ptr<BatchPrintTree> m_tree;
    OutputFactory m_paperOutput;
    BatchPrintResult m_result;
    QString m_topName;
    bool m_running = false;
    bool m_stopRequested = false;
};

// Opens the batch print dialog for `node` of `source` and runs it modally.
void RunBatchPrintDialog(BatchPrintMode mode, const LibraryTreeModel& source, const QModelIndex& node,
                         const AppPaths& paths, Prompter& prompter, QWidget* parent);
