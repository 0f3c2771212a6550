#pragma once
#include <QDialog>

class QAbstractSpinBox;

// "设置表页尺寸": the number of data rows and columns the sheet is to have. The boxes take any text (a value
// beyond the up-down ranges is passed on; the control keeps its own limits); the designer converts them.
class TSetSheetSizeFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TSetSheetSizeFrm(QWidget* parent = nullptr);

    QString rowsText() const;
    QString colsText() const;
    void setRowsText(const QString& text);
    void setColsText(const QString& text);
    QAbstractSpinBox* rowsBox() const { return m_rows; }
    QAbstractSpinBox* colsBox() const { return m_cols; }

private:
    QAbstractSpinBox* m_rows = nullptr;
    QAbstractSpinBox* m_cols = nullptr;
};
