#pragma once
#include "printing/PrintActions.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

// The viewer of a content pane's table page: a read-only spreadsheet control showing the selected node's table file
// (CellForMoban, CellForZiLiao). The operations are those of the spreadsheet control the panes rely on, with its
// names and results (1 = success). The main window knows the viewer only through this interface, so tests can
// drive it with a scripted viewer. The viewer owns its widget; a pane that shows it gives it back before the viewer
// goes. The print actions reach it as a PrintViewer.
class TableViewer : public PrintViewer {
public:
    ~TableViewer() override = default;

    virtual QWidget* widget() = 0;
    virtual int OpenFile(const QString& path, const QString& password) = 0;
    virtual int SaveFile(const QString& path, int mode) = 0;
    QString GetFileName() const override = 0;
    virtual int IsModified() const = 0;
    virtual void ResetContent() = 0;
    int GetCurSheet() const override = 0;
    virtual void ShowColLabel(int show, int sheet) = 0;
    virtual void ShowRowLabel(int show, int sheet) = 0;
    virtual void SetViewerOption(int on) = 0;
    // Why the last OpenFile / SaveFile failed (empty when it did not).
    virtual QString errorString() const { return {}; }
    // Printing and preview of the shown table (the program's viewer prints through the spreadsheet control; a
    // viewer without a printer prints nothing).
    int PrintSheet(int, int) override { return 0; }
    void PrintPreview(int, int) override {}
    void PrintPreviewEx(int, int, bool) override {}
};

using TableViewerFactory = std::function<std::unique_ptr<TableViewer>(QWidget* parent)>;

// The viewer of the desktop program (the spreadsheet engine's control and view).
std::unique_ptr<TableViewer> createCellViewer(QWidget* parent);

// The password every table file is opened with.
inline const char* const TableFilePassword = "58206143";
