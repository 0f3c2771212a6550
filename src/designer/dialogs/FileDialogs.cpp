// 导入Excel文件, 导出Excel文件 and 导出PDF文件: the file is chosen here, the work is the engine's.

#include "designer/dialogs/DialogSupport.h"

#include "cell/PdfExport.h"
#include "cell/excel/ExcelExport.h"
#include "cell/excel/ExcelImport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace designer::dialogs {

namespace {

QString suggestedName(const cell::CellControl& control, const QString& suffix)
{
    const QFileInfo fi(control.GetFileName());
    const QString base = fi.completeBaseName().isEmpty() ? QStringLiteral("表格") : fi.completeBaseName();
    return QDir(fi.path().isEmpty() ? QDir::homePath() : fi.path()).filePath(base + suffix);
}

// The hourglass while `work` runs.
bool busy(QWidget* parent, const std::function<void()>& work)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = attempt(parent, [&] {
        try {
            work();
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
    });
    if (ok)
        QApplication::restoreOverrideCursor();
    return ok;
}

} // namespace

bool importExcelDialog(QWidget* parent, cell::CellControl& control)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("导入Excel文件"));
    auto* path = lineEdit(&dlg, QString(), "path");
    auto* browse = new QPushButton(QStringLiteral("浏览(&B)..."), &dlg);
    QObject::connect(browse, &QPushButton::clicked, &dlg, [&] {
        const QString chosen = QFileDialog::getOpenFileName(
            &dlg, QStringLiteral("选择要导入的文件"), QFileInfo(path->text()).path(),
            QStringLiteral("电子表格 (*.xlsx *.xlsm *.xls *.ods *.csv);;所有文件 (*)"));
        if (!chosen.isEmpty())
            path->setText(chosen);
    });
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(path, 1);
    fileRow->addWidget(browse);
    auto* mode = new QGroupBox(QStringLiteral("导入方式"), &dlg);
    auto* replace = new QRadioButton(QStringLiteral("替换全部表页(&R)"), mode);
    auto* append = new QRadioButton(QStringLiteral("追加为新的表页(&A)"), mode);
    replace->setObjectName(QStringLiteral("replace"));
    append->setObjectName(QStringLiteral("append"));
    replace->setChecked(true);
    auto* modeLayout = new QVBoxLayout(mode);
    modeLayout->addWidget(replace);
    modeLayout->addWidget(append);
    auto* form = new QFormLayout;
    addRow(form, QStringLiteral("文件(&F):"), fileRow, path);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(mode);
    layout->addWidget(noteLabel(QStringLiteral("可导入 .xlsx、.xls、.ods 和 .csv 文件：数值、公式、组合单元格、列宽行高、字体、对齐、边框、底色和数字格式。"), &dlg));
    QString report;
    addOkCancel(dlg, layout, [&] {
        if (path->text().trimmed().isEmpty())
            return fail(&dlg, QStringLiteral("请选择要导入的文件。"));
        return busy(&dlg, [&] {
            cell::excel::ImportReport r;
            // The file is read whole before the workbook is touched: a damaged file leaves it as it was.
            const cell::Workbook wb = cell::excel::importFile(path->text().trimmed(), &r);
            control.insertWorkbookSheets(wb, replace->isChecked());
            report = cell::excel::importNote(r);
        });
    });
    dlg.resize(560, dlg.sizeHint().height());
    if (dlg.exec() != QDialog::Accepted)
        return false;
    QMessageBox::information(parent, QStringLiteral("导入Excel文件"), report);
    return true;
}

bool exportExcelDialog(QWidget* parent, cell::CellControl& control)
{
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("导出Excel文件"),
                                                      suggestedName(control, QStringLiteral(".xlsx")),
                                                      QStringLiteral("Excel 工作簿 (*.xlsx)"));
    if (path.isEmpty())
        return false;
    const QString target = path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".xlsx");
    return busy(parent, [&] { cell::excel::exportXlsx(control.workbook(), target); });
}

bool exportPdfDialog(QWidget* parent, cell::CellControl& control)
{
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("导出PDF文件"),
                                                      suggestedName(control, QStringLiteral(".pdf")),
                                                      QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return false;
    const QString target = path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".pdf");
    return busy(parent, [&] { cell::exportSheetToPdf(control.workbook(), control.GetCurSheet(), target); });
}

} // namespace designer::dialogs
