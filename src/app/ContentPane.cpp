#include "app/ContentPane.h"

#include "app/IconFactory.h"
#include "core/Prompter.h"
#include "core/QuelmarError.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

bool openWithPlatform(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::function<bool(const QString&)>& opener()
{
    static std::function<bool(const QString&)> open = openWithPlatform;
    return open;
}

// Hourglass while a file is loaded into a pane, also when the load fails.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QString missingFile(const QString& path)
{
    return QStringLiteral("“%1”文件不存在！").arg(QDir::toNativeSeparators(path));
}

}  // namespace

int documentImage(const QString& pathOrExt)
{
    const QString ext = QFileInfo(pathOrExt).suffix().toLower();
    if (ext == QLatin1String("doc"))
        return 46;
    if (ext == QLatin1String("xls"))
        return 45;
    if (ext == QLatin1String("wps"))
        return 41;
    if (ext == QLatin1String("txt"))
        return 42;
    if (ext == QLatin1String("mht"))
        return 43;
    return 44;
}

DocumentPane::DocumentPane(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);

    m_icon = new QLabel;
    m_icon->setFixedSize(72, 72);
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setToolTip(QStringLiteral("双击打开文档"));
    m_name = new QLabel;
    m_name->setAlignment(Qt::AlignCenter);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont f = m_name->font();
    f.setPointSizeF(f.pointSizeF() * 1.1);
    m_name->setFont(f);
    m_folder = new QLabel;
    m_folder->setAlignment(Qt::AlignCenter);
    m_folder->setStyleSheet(QStringLiteral("color: #6b7380;"));
    auto* hint = new QLabel(QStringLiteral("双击图标，用系统关联的程序打开该文档。"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setStyleSheet(QStringLiteral("color: #6b7380;"));

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(2);
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    layout->addWidget(m_name);
    layout->addWidget(m_folder);
    layout->addSpacing(12);
    layout->addWidget(hint);
    layout->addStretch(3);

}

void DocumentPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    // As in a document container, a double-click opens the linked document.
    if (!m_path.isEmpty() && m_icon->geometry().contains(event->pos()))
        emit openRequested();
    QWidget::mouseDoubleClickEvent(event);
}

void DocumentPane::setOpener(std::function<bool(const QString&)> open)
{
    opener() = open ? std::move(open) : std::function<bool(const QString&)>(openWithPlatform);
}

void DocumentPane::link(const QString& path)
{
    if (!QFileInfo::exists(path))
        throw QuelmarError(missingFile(path));
    m_path = path;
    const QFileInfo info(path);
    m_icon->setPixmap(IconFactory::nodeIcon(documentImage(path)).pixmap(64, 64));
    m_name->setText(info.fileName());
    m_folder->setText(QDir::toNativeSeparators(info.absoluteFilePath()));
}

void DocumentPane::setDisplayName(const QString& name)
{
    m_name->setText(name);
}

void DocumentPane::clear()
{
    m_path.clear();
    m_icon->clear();
    m_name->clear();
    m_folder->clear();
}

void DocumentPane::open(Prompter& prompter)
{
    if (m_path.isEmpty())
        throw QuelmarError(QStringLiteral("Ole对象是空的？"));
    if (!QFileInfo::exists(m_path)) {
        prompter.error(QStringLiteral("Quelmar"), QStringLiteral("文件已经被移除！"));
        return;
    }
    bool opened = false;
    {
        BusyCursor busy(prompter);
        opened = opener()(m_path);
    }
    // The file is there, but nothing on this computer opens it: say so rather than claim it was removed.
    if (!opened)
        prompter.error(QStringLiteral("Quelmar"),
                       QStringLiteral("无法打开“%1”：系统中没有与该类文件关联的程序。")
                           .arg(QDir::toNativeSeparators(m_path)));
}

void DocumentPane::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_menu)
        m_menu->exec(event->globalPos());
}

ContentPane::ContentPane(std::unique_ptr<TableViewer> viewer, QWidget* parent)
    : QWidget(parent), m_viewer(std::move(viewer))
{
    m_stack = new QStackedWidget;
    m_stack->addWidget(m_viewer->widget());   // TableFilePage
    m_documents = new DocumentPane;
    m_stack->addWidget(m_documents);           // DataPacketPage
    m_nodeInfo = new QLabel(QStringLiteral("[ 无表格 ]"));
    m_nodeInfo->setAlignment(Qt::AlignCenter);
    m_nodeInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_nodeInfo->setAutoFillBackground(true);
    m_nodeInfo->setStyleSheet(QStringLiteral("color: #7a828e;"));
    m_stack->addWidget(m_nodeInfo);            // NodeInfoPage
    m_stack->setCurrentWidget(m_nodeInfo);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
}

ContentPane::~ContentPane()
{
    // The viewer owns its widget: take it out of the stack so that the viewer deletes it, before its control.
    m_stack->removeWidget(m_viewer->widget());
    m_viewer->widget()->setParent(nullptr);
}

void ContentPane::showPage(Page page)
{
    switch (page) {
    case Page::TableFile: m_stack->setCurrentIndex(0); break;
    case Page::DataPacket: m_stack->setCurrentIndex(1); break;
    case Page::NodeInfo: m_stack->setCurrentIndex(2); break;
    }
}

ContentPane::Page ContentPane::currentPage() const
{
    switch (m_stack->currentIndex()) {
    case 0: return Page::TableFile;
    case 1: return Page::DataPacket;
    default: return Page::NodeInfo;
    }
}

bool LoadTableFile(TableViewer& viewer, const QString& path)
{
    if (!QFileInfo::exists(path))
        return false;
    WaitCursor wait;
    // A changed table is saved before the next one replaces it; if that fails the changed table stays shown.
    if (!viewer.GetFileName().isEmpty() && viewer.IsModified() == 1 && viewer.SaveFile(viewer.GetFileName(), 0) != 1)
        throw QuelmarError(QStringLiteral("文件没有被保存？"));
    // A table that cannot be opened (damaged, not a table file) leaves the viewer empty; the user is told why.
    if (viewer.OpenFile(path, QString::fromLatin1(TableFilePassword)) != 1) {
        const QString why = viewer.errorString();
        throw QuelmarError(why.isEmpty() ? QStringLiteral("“%1”文件打开失败！").arg(QDir::toNativeSeparators(path))
                                         : why);
    }
    const int sheet = viewer.GetCurSheet();
    viewer.ShowColLabel(0, sheet);
    viewer.ShowRowLabel(0, sheet);
    viewer.SetViewerOption(0);
    return true;
}

void LoadDocument(DocumentPane& pane, const QString& path)
{
    if (!QFileInfo::exists(path))
        throw QuelmarError(missingFile(path));
    WaitCursor wait;
    pane.link(path);
}
