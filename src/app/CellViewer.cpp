#include "app/TableViewer.h"

#include "cell/CellControl.h"
#include "cell/view/CellView.h"

#include <QPointer>

namespace {

// The content pane's viewer: the spreadsheet engine's control shown by its view. The user may edit the shown
// table in place; the main window's save actions follow IsModified.
class CellTableViewer final : public TableViewer {
public:
    explicit CellTableViewer(QWidget* parent) : m_view(new cell::CellView(parent))
    {
        m_view->setControl(&m_control);
        // Only the user's edits count as changes of the shown table: hiding the labels for viewing is not one.
        auto edited = [this] {
            if (!m_adjustingView)
                m_userEdited = true;
        };
        QObject::connect(&m_control, &cell::CellControl::cellsChanged, m_view, edited);
        QObject::connect(&m_control, &cell::CellControl::layoutChanged, m_view, edited);
    }
    // The view goes before the control it shows.
    ~CellTableViewer() override { delete m_view; }
    QWidget* widget() override { return m_view; }
    int OpenFile(const QString& path, const QString& password) override
    {
        const int result = m_control.OpenFile(path, password);
        m_userEdited = false;
        return result;
    }
    int SaveFile(const QString& path, int mode) override
    {
        const int result = m_control.SaveFile(path, mode);
        if (result == 1)
            m_userEdited = false;
        return result;
    }
    QString GetFileName() const override { return m_control.GetFileName(); }
    int IsModified() const override { return m_userEdited && m_control.IsModified() == 1 ? 1 : 0; }
    void ResetContent() override
    {
        m_control.ResetContent();
        m_userEdited = false;
    }
    int GetCurSheet() const override { return m_control.GetCurSheet(); }
    void ShowColLabel(int show, int sheet) override
    {
        m_adjustingView = true;
        m_control.ShowColLabel(show, sheet);
        m_adjustingView = false;
    }
    void ShowRowLabel(int show, int sheet) override
    {
        m_adjustingView = true;
        m_control.ShowRowLabel(show, sheet);
        m_adjustingView = false;
    }
    void SetViewerOption(int on) override { m_control.SetViewerOption(on); }
    QString errorString() const override { return m_control.errorString(); }
    int PrintSheet(int withDialog, int sheet) override { return m_control.PrintSheet(withDialog, sheet); }
    void PrintPreview(int mode, int sheet) override { m_control.PrintPreview(mode, sheet); }
    void PrintPreviewEx(int mode, int sheet, bool modal) override { m_control.PrintPreviewEx(mode, sheet, modal); }

private:
    cell::CellControl m_control;
    QPointer<cell::CellView> m_view;   // owned by this viewer; shown inside a content pane
    bool m_userEdited = false;
    bool m_adjustingView = false;
};

}  // namespace

std::unique_ptr<TableViewer> createCellViewer(QWidget* parent)
{
    return std::make_unique<CellTableViewer>(parent);
}
