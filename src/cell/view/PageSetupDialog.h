#pragma once
// The page-setup dialog of a sheet: paper, orientation, margins, scale or fit to the page width, centring and the
// print area. The settings are saved with the workbook.

#include "cell/Workbook.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace cell {

class PageSetupDialog final : public QDialog {
    Q_OBJECT

public:
    PageSetupDialog(const PageSetup& page, const Sheet& sheet, QWidget* parent = nullptr);

    // The settings as edited (the copies are kept from the settings given).
    PageSetup pageSetup() const;

    // "A1:F20" -> the range; "" -> an empty range (the whole used part). False for anything else or a range
    // outside the sheet.
    static bool parsePrintArea(const QString& text, const Sheet& sheet, Range& area);
    static QString printAreaText(const Range& area);

    void accept() override;

private:
    PageSetup m_page;
    const Sheet& m_sheet;
    QComboBox* m_paper;
    QRadioButton* m_portrait;
    QRadioButton* m_landscape;
    QDoubleSpinBox* m_margins[4];   // left, top, right, bottom
    QSpinBox* m_scale;
    QCheckBox* m_fitWidth;
    QCheckBox* m_centerH;
    QCheckBox* m_centerV;
    QLineEdit* m_area;
};

} // namespace cell
