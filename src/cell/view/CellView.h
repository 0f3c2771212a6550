#pragma once
// The widget that shows one sheet of a CellControl and edits it through the control's operations: grid and
// labels, fixed rows and columns, everything SheetPainter draws, the current cell and the selection, keyboard and
// mouse navigation, typing into cells, drop-down list cells, the clipboard shortcuts, undo, zoom and column /
// row resizing by the labels. Only the visible cells are painted.

#include "cell/CellControl.h"
#include "cell/Workbook.h"

#include <QAbstractScrollArea>
#include <QPointer>

class QComboBox;
class QPlainTextEdit;
class QTabBar;

namespace cell {



class CellView final : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CellView(QWidget* parent = nullptr);
    ~CellView() override;

    // The control shown (not owned). The view follows its signals.
    void setControl(CellControl* control);
    CellControl* control() const { return m_control; }

    // A read-only view navigates and copies but never edits.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    // Geometry in viewport coordinates, for tests and for callers placing things over cells.
    QRect cellRect(int col, int row) const;   // the merged block holding the cell
    bool cellAt(const QPoint& pos, int& col, int& row) const;   // false outside the cells (labels, beyond)

    // The in-place editors: the text editor while a cell is typed into, the list of a drop-down cell.
    bool isEditing() const { return m_editor || m_combo; }
    QPlainTextEdit* textEditor() const { return m_editor; }
    QComboBox* listEditor() const { return m_combo; }
    // The sheet tabs beside the horizontal scroll bar (shown while the workbook's sheet labels are on).
    QTabBar* sheetTabs() const { return m_tabs; }
    // Starts editing the current cell (F2): a list cell opens its list. `typed` replaces the content.
    void editCurrentCell(const QString& typed = QString(), bool replace = false);
    // Writes the editor's text into the cell (false when the cell refused it, e.g. locked) / drops it.
    bool commitEdit();
    void cancelEdit();

    void scrollToCell(int col, int row);

signals:
    void currentCellChanged(int col, int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct Pane {
        Range area;        // the cells shown
        QPointF origin;    // viewport position of the top-left corner of (area.col1, area.row1)
        QRectF clip;       // viewport rectangle of the pane
    };
    struct Segment {       // a run of columns (or rows) shown side by side
        int first = 1, last = 0;
        double start = 0, end = 0;   // viewport coordinates
    };

    const Sheet* sheet() const;
    int sheetIndex() const;
    double zoom() const;
    double headerWidth() const;
    double headerHeight() const;
    int fixedCols() const;
    int fixedRows() const;
    int firstScrollCol() const;
    int firstScrollRow() const;
    QList<Segment> colSegments() const;
    QList<Segment> rowSegments() const;
    QList<Pane> panes() const;
    double colLeft(int col) const;
    double rowTop(int row) const;
    QRectF rangeRect(const Range& r) const;
    int colAtX(double x) const;   // 0 in the label column, -1 beyond the last column
    int rowAtY(double y) const;

    void updateScrollBars();
    void updateTabs();
    void paintHeaders(QPainter& p, const QList<Segment>& cols, const QList<Segment>& rows);
    void paintSelection(QPainter& p, const QList<Pane>& panes);
    QRectF dropdownButton() const;
    bool hasList(int col, int row) const;
    static QStringList listItems(const QString& items);   // the entries of a drop-down list text
    bool isLocked(int col, int row) const;

    void moveCurrent(int dCol, int dRow, bool extend);
    void jump(int dCol, int dRow, bool extend);   // Ctrl+arrow
    void setCurrent(int col, int row, bool extend);
    Range expandToMerges(Range r) const;
    void selectTo(int col, int row);
    void clearSelectionContent();
    void applyZoom(double zoom);
    QString editText(int col, int row) const;
    void openListEditor();
    void closeEditors();
    void onSelectionChanged();
    int resizeHandleAt(const QPoint& pos, bool& isColumn) const;
    // Ctrl+click on a cell with a hyperlink: a place in the workbook or an address for the system to open.
    bool followHyperlink(int col, int row);

    QPointer<CellControl> m_control;
    QTabBar* m_tabs = nullptr;
    bool m_readOnly = false;
    QPlainTextEdit* m_editor = nullptr;
    QComboBox* m_combo = nullptr;
    int m_editCol = 0, m_editRow = 0, m_editSheet = 0;
    QString m_editOriginal;
    bool m_editByTyping = false;
    bool m_committing = false;
    // The moving corner of a Shift / drag selection; the current cell is the other corner.
    int m_extCol = 1, m_extRow = 1;
    int m_lastCol = 0, m_lastRow = 0;   // the current cell last seen
    enum class Drag { None, Cells, Columns, Rows, ResizeCol, ResizeRow, PictureMove, PictureSize } m_drag = Drag::None;
    // The picture selected by a click on it (-1: none): dragged it moves by whole cells, dragged by its
    // bottom-right corner it is sized; Delete removes it.
    int m_picture = -1;
    int m_pictureCol = 0, m_pictureRow = 0;   // the cell where the drag started
    Range m_pictureAnchor;                     // where the picture is shown while dragged
    bool pressPicture(const QPoint& pos, int col, int row);
    void paintPictureFrame(QPainter& p);
    int m_resizeIndex = 0;
    double m_resizeStart = 0;
    int m_resizeOriginal = 0;
    double m_resizeLine = -1;
};

} // namespace cell
