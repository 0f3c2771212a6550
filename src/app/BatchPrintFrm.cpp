#include "app/BatchPrintFrm.h"

#include "app/IconFactory.h"
#include "app/PrinterBatchOutput.h"
#include "core/Prompter.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The pictures of the dialog's image list, drawn with the node images of the main window.
int nodeImageOf(int batchIcon)
{
    static const int images[BatchPrintIconCount] = {0, 1, 2, 3, 12, 13, 14, 31, 44, 44, 43, 45, 41, 42, 44, 46};
    return batchIcon >= 0 && batchIcon < BatchPrintIconCount ? images[batchIcon] : -1;
}

class BatchIconDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int image = nodeImageOf(index.data(LibraryTreeModel::IconIndexRole).toInt());
        if (image >= 0) {
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->icon = IconFactory::nodeIcon(image);
            option->decorationSize = QSize(16, 16);
        }
    }
};

QWidget* modePage(BatchPrintMode mode)
{
    auto* page = new QWidget;
    page->setObjectName(BatchPrintPageName(mode));
    auto* icon = new QLabel;
    icon->setPixmap(IconFactory::nodeIcon(mode == BatchPrintMode::MMode ? 3 : 14).pixmap(32, 32));
    auto* label = new QLabel(BatchPrintPanelLabel(mode));
    QFont f = label->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    label->setFont(f);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(icon);
    layout->addWidget(label, 1);
    return page;
}

} // namespace

// The run's prompter: messages and questions go to the program's prompter, the progress to the dialog's own bar.
// Between files the dialog repaints and takes the click on "取消".
class TBatchPrintFrm::RunPrompter final : public Prompter {
public:
    RunPrompter(TBatchPrintFrm& frm, Prompter& outer) : m_frm(frm), m_outer(outer) {}

    bool askText(const QString& c, const QString& p, QString& v) override { return m_outer.askText(c, p, v); }
    bool confirm(const QString& c, const QString& t) override { return m_outer.confirm(c, t); }
    Answer question(const QString& c, const QString& t, bool w) override { return m_outer.question(c, t, w); }
    void message(Icon i, const QString& c, const QString& t) override { m_outer.message(i, c, t); }
    QString chooseOpenFile(const QString& c, const QString& f, const QString& d) override
    {
        return m_outer.chooseOpenFile(c, f, d);
    }
    QString chooseSaveFile(const QString& c, const QString& f, const QString& p) override
    {
        return m_outer.chooseSaveFile(c, f, p);
    }
    QString chooseFolder(const QString& c, const QString& d) override { return m_outer.chooseFolder(c, d); }
    void status(const QString& text) override { m_outer.status(text); }
    void setBusy(bool busy) override { m_outer.setBusy(busy); }
    bool progress(const QString& text, qint64 done, qint64 total) override
    {
        m_frm.showProgress(text, done, total);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return !m_frm.m_stopRequested;
    }
    void endProgress() override {}

private:
    TBatchPrintFrm& m_frm;
    Prompter& m_outer;
};

TBatchPrintFrm::TBatchPrintFrm(BatchPrintMode mode, const LibraryTreeModel& source, const QModelIndex& node,
                               const AppPaths& paths, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_tree(std::make_unique<BatchPrintTree>(mode, paths))
{
    m_tree->build(source, node);
    m_topName = source.record(node).Name;
    m_paperOutput = [](QWidget* p) { return std::make_unique<PrinterBatchOutput>(p); };

    setObjectName(QStringLiteral("TBatchPrintFrm"));
    setWindowTitle(BatchPrintCaption());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    tvPrint = new QTreeView;
    tvPrint->setObjectName(QStringLiteral("tvPrint"));
    tvPrint->setHeaderHidden(true);
    tvPrint->setModel(m_tree.get());
    tvPrint->setItemDelegate(new BatchIconDelegate(tvPrint));
    tvPrint->setIconSize(QSize(16, 16));
    tvPrint->expand(m_tree->topNode());
    tvPrint->setCurrentIndex(m_tree->topNode());
    auto* treeGroup = new QGroupBox(QStringLiteral("请选择要打印的节点"));
    auto* treeLayout = new QVBoxLayout(treeGroup);
    treeLayout->addWidget(tvPrint);

    pcMode = new QStackedWidget;
    pcMode->setObjectName(QStringLiteral("pcMode"));
    pcMode->setFrameShape(QFrame::StyledPanel);
    for (BatchPrintMode m : {BatchPrintMode::ZMode, BatchPrintMode::GMode, BatchPrintMode::MMode})
        pcMode->addWidget(modePage(m));
    pcMode->setCurrentIndex(int(mode));
    pcMode->setFixedHeight(pcMode->sizeHint().height());

    lblDescription = new QLabel(BatchPrintDescription(mode));
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblCount = new QLabel;
    lblCount->setObjectName(QStringLiteral("lblCount"));

    seCopies = new QSpinBox;
    seCopies->setObjectName(QStringLiteral("seCopies"));
    seCopies->setRange(BatchPrintMinCopies, BatchPrintMaxCopies);
    seCopies->setValue(1);
    auto* copiesLabel = new QLabel(QStringLiteral("每张表格打印份数(&C):"));
    copiesLabel->setBuddy(seCopies);
    auto* hint = new QLabel(QStringLiteral("提示: 打印方式是逐份打印的。"));
    hint->setWordWrap(true);
    auto* copiesGroup = new QGroupBox(QStringLiteral("份数"));
    auto* copiesLayout = new QGridLayout(copiesGroup);
    copiesLayout->addWidget(copiesLabel, 0, 0);
    copiesLayout->addWidget(seCopies, 0, 1);
    copiesLayout->addWidget(hint, 1, 0, 1, 2);

    auto* side = new QVBoxLayout;
    side->addWidget(pcMode);
    side->addWidget(lblDescription);
    side->addWidget(lblCount);
    side->addWidget(copiesGroup);
    side->addStretch(1);

    pbProgress = new QProgressBar;
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setRange(0, 1);
    pbProgress->setValue(0);
    pbProgress->setTextVisible(false);
    pbProgress->setFormat(QStringLiteral("%v / %m"));
    lblProgress = new QLabel;
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setMinimumWidth(200);

    btnPrint = new QPushButton(QStringLiteral("打印(&P)"));
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setDefault(true);
    btnPdf = new QPushButton(QStringLiteral("打印到PDF文件(&F)..."));
    btnPdf->setObjectName(QStringLiteral("btnPdf"));
    btnPdf->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("取消"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnPrint, &QPushButton::clicked, this, &TBatchPrintFrm::Print);
    connect(btnPdf, &QPushButton::clicked, this, &TBatchPrintFrm::PrintToPdf);
    connect(btnCancel, &QPushButton::clicked, this, &TBatchPrintFrm::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(treeGroup, 3);
    top->addLayout(side, 2);
    auto* progress = new QHBoxLayout;
    progress->addWidget(pbProgress, 1);
    progress->addWidget(lblProgress);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnPdf);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(progress);
    layout->addLayout(buttons);

    connect(m_tree.get(), &BatchPrintTree::checksChanged, this, &TBatchPrintFrm::updateCount);
    updateCount();
    resize(640, 460);
    tvPrint->setFocus();
}

TBatchPrintFrm::~TBatchPrintFrm()
{
    // The view goes before the model it shows.
    delete tvPrint;
}

void TBatchPrintFrm::updateCount()
{
    lblCount->setText(BatchPrintCountText(m_tree->fileCount()));
}

void TBatchPrintFrm::showProgress(const QString& text, qint64 done, qint64 total)
{
    pbProgress->setTextVisible(true);
    pbProgress->setRange(0, int(std::max<qint64>(total, 1)));
    pbProgress->setValue(int(std::min(done, total)));
    lblProgress->setText(done < total ? QStringLiteral("第 %1 个，共 %2 个：%3").arg(done + 1).arg(total).arg(text)
                                      : text);
}

void TBatchPrintFrm::setRunning(bool running)
{
    m_running = running;
    m_stopRequested = false;
    tvPrint->setEnabled(!running);
    seCopies->setEnabled(!running);
    btnPrint->setEnabled(!running);
    btnPdf->setEnabled(!running);
    btnCancel->setToolTip(running ? QStringLiteral("打印完当前的表格文件后停止") : QString());
}

BatchPrintResult TBatchPrintFrm::run(BatchPrintOutput& output)
{
    const QList<BatchPrintItem> items = m_tree->items();
    RunPrompter prompter(*this, m_prompter);
    setRunning(true);
    auto done = qScopeGuard([this] { setRunning(false); });
    m_result = BatchPrintResult();
    m_result = RunBatchPrint(items, seCopies->value(), output, prompter);
    return m_result;
}

void TBatchPrintFrm::Print()
{
    if (m_running)
        return;
    std::unique_ptr<BatchPrintOutput> output = m_paperOutput(this);
    const BatchPrintResult r = run(*output);
    if (r.cancelled || r.total == 0)
        return;
    if (r.stopped)
        m_prompter.inform(BatchPrintCaption(),
                          QStringLiteral("打印已停止：已打印 %1 个表格文件（共 %2 个）。").arg(r.printed).arg(r.total));
    lblProgress->setText(QStringLiteral("已打印 %1 个表格文件，共 %2 页。").arg(r.printed).arg(r.pages));
}

void TBatchPrintFrm::PrintToPdf()
{
    if (m_running)
        return;
    if (m_tree->fileCount() == 0) {
        PdfBatchOutput none{QString()};
        run(none);   // says "请选择要打印的文件！"
        return;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // The node's name as the proposed file name, without the characters a file name cannot hold.
    QString proposal = m_topName.trimmed();
    for (QChar& c : proposal)
        if (QStringLiteral("/\\:*?\"<>|").contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    if (proposal.isEmpty())
        proposal = BatchPrintCaption();
    QString path = m_prompter.chooseSaveFile(QStringLiteral("打印到PDF文件"), QStringLiteral("PDF 文件|*.pdf"),
                                             QDir(folder).filePath(proposal + QStringLiteral(".pdf")));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    PdfBatchOutput output(path);
    const BatchPrintResult r = run(output);
    const QString shown = QDir::toNativeSeparators(path);
    if (r.stopped && r.printed == 0)
        m_prompter.inform(BatchPrintCaption(), QStringLiteral("打印已停止，没有生成 PDF 文件。"));
    else if (r.stopped)
        m_prompter.inform(BatchPrintCaption(), QStringLiteral("打印已停止：PDF 文件“%1”中是前 %2 个表格文件（共 %3 个），共 %4 页。")
                                                   .arg(shown)
                                                   .arg(r.printed)
                                                   .arg(r.total)
                                                   .arg(r.pages));
    else
        m_prompter.inform(BatchPrintCaption(), QStringLiteral("已把 %1 个表格文件（共 %2 页）打印到 PDF 文件“%3”。")
                                                   .arg(r.printed)
                                                   .arg(r.pages)
                                                   .arg(shown));
    lblProgress->setText(QStringLiteral("已打印 %1 个表格文件，共 %2 页。").arg(r.printed).arg(r.pages));
}

void TBatchPrintFrm::reject()
{
    if (m_running) {
        requestStop();
        return;
    }
    QDialog::reject();
}

void TBatchPrintFrm::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        requestStop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void RunBatchPrintDialog(BatchPrintMode mode, const LibraryTreeModel& source, const QModelIndex& node,
                         const AppPaths& paths, Prompter& prompter, QWidget* parent)
{
    TBatchPrintFrm dialog(mode, source, node, paths, prompter, parent);
    dialog.exec();
}
