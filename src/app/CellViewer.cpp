#include "app/TableViewer.h"

#include <QFileInfo>
#include <QLabel>

namespace {

// Stands in for the spreadsheet view until the engine's widget is linked in: it tracks the open file as the control
// would and shows its name.
class PlainViewer final : public TableViewer {
public:
    explicit PlainViewer(QWidget* parent) : m_label(new QLabel(parent))
    {
        m_label->setAlignment(Qt::AlignCenter);
        m_label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    QWidget* widget() override { return m_label; }
    int OpenFile(const QString& path, const QString&) override
    {
        m_file = path;
        m_label->setText(QFileInfo(path).fileName());
        return 1;
    }
    int SaveFile(const QString& path, int) override
    {
        m_file = path;
        return 1;
    }
    QString GetFileName() const override { return m_file; }
    int IsModified() const override { return 0; }
    void ResetContent() override
    {
        m_file.clear();
        m_label->clear();
    }
    int GetCurSheet() const override { return 0; }
    void ShowColLabel(int, int) override {}
    void ShowRowLabel(int, int) override {}
    void SetViewerOption(int) override {}

private:
    QLabel* m_label;
    QString m_file;
};

}  // namespace

std::unique_ptr<TableViewer> createCellViewer(QWidget* parent)
{
    return std::make_unique<PlainViewer>(parent);
}
