#pragma once
#include "app/TableViewer.h"

#include <QWidget>

#include <memory>

class Prompter;
class QLabel;
class QMenu;
class QStackedWidget;

// The document page of a content pane (DataPacketPage: OleForMoban, OleForZiLiao): shows the linked document as its
// icon and file name and opens it in the platform's default application. The file stays where it is; the pane
// holds only the link.
class DocumentPane final : public QWidget {
    Q_OBJECT
public:
    explicit DocumentPane(QWidget* parent = nullptr);

    // Links the file (shown as its icon and name); fails with "“%s”文件不存在！" when it is missing.
    void link(const QString& path);
    void clear();
    // The name the document is shown under (the node's name; by default the file's name).
    void setDisplayName(const QString& name);
    QString linkedFile() const { return m_path; }
    bool isEmpty() const { return m_path.isEmpty(); }

    // Opens the linked document in its own application: "Ole对象是空的？" with nothing linked; an error message (not
    // a failure) "文件已经被移除！" when the file is gone, another when no application opens it.
    void open(Prompter& prompter);

    // The pop-up menu of the pane (its open action).
    void setContextMenu(QMenu* menu) { m_menu = menu; }

    // How a document is opened; the platform's default application unless a test replaces it (empty: back to it).
    static void setOpener(std::function<bool(const QString&)> opener);

signals:
    void openRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString m_path;
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_folder = nullptr;
    QMenu* m_menu = nullptr;
};

// The content pane of a library page: the table page with the viewer, the document page, and the placeholder page
// "[ 无表格 ]". It always shows one of the three.
class ContentPane final : public QWidget {
    Q_OBJECT
public:
    enum class Page { TableFile, DataPacket, NodeInfo };

    ContentPane(std::unique_ptr<TableViewer> viewer, QWidget* parent = nullptr);
    ~ContentPane() override;

    TableViewer& viewer() { return *m_viewer; }
    DocumentPane& documents() { return *m_documents; }

    void showPage(Page page);
    Page currentPage() const;

private:
    std::unique_ptr<TableViewer> m_viewer;
    QStackedWidget* m_stack = nullptr;
    DocumentPane* m_documents = nullptr;
    QLabel* m_nodeInfo = nullptr;
};

// Opens `path` in the viewer as the table page shows it: a modified file in the viewer is saved under its own name
// first; column and row labels hidden; the viewer option off. False (and nothing done) when the file is missing.
bool LoadTableFile(TableViewer& viewer, const QString& path);
// Links `path` into the document page; fails with "“%s”文件不存在！" when it is missing.
void LoadDocument(DocumentPane& pane, const QString& path);

// The node image of an external document by its extension (".doc" 46, ".xls" 45, ".wps" 41, ".txt" 42, ".mht" 43,
// anything else 44; letter case ignored).
int documentImage(const QString& pathOrExt);
