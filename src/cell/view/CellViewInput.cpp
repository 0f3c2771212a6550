#include "cell/view/CellView.h"

#include "cell/CellControl.h"
#include "cell/NumberFormat.h"
#include "cell/PageRenderer.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

// The input side of CellView: navigation and selection, the in-place editors, keyboard and mouse.

namespace cell {

// ---- Selection and navigation --------------------------------------------------------------------------------------

Range CellView::expandToMerges(Range r) const
{
    const Sheet* s = sheet();
    for (bool grew = true; grew;) {
        grew = false;
        for (const Range& m : s->merges) {
            if (!m.intersects(r))
                continue;
            const Range u{std::min(r.col1, m.col1), std::min(r.row1, m.row1), std::max(r.col2, m.col2),
                          std::max(r.row2, m.row2)};
            if (!(u == r)) {
                r = u;
                grew = true;
            }
        }
    }
    return r;
}

void CellView::setCurrent(int col, int row, bool extend)
{
    const Sheet* s = sheet();
    if (!s)
        return;
    col = std::clamp(col, 1, s->cols - 1);
    row = std::clamp(row, 1, s->rows - 1);
    if (extend) {
        selectTo(col, row);
        return;
    }
    const Range m = s->mergeAt(col, row);
    m_extCol = m.col1;
    m_extRow = m.row1;
    m_control->setCurrentCell(m.col1, m.row1);
    scrollToCell(col, row);
}

void CellView::selectTo(int col, int row)
{
    const Sheet* s = sheet();
    col = std::clamp(col, 1, s->cols - 1);
    row = std::clamp(row, 1, s->rows - 1);
    m_extCol = col;
    m_extRow = row;
    const Range r = expandToMerges(Range{std::min(s->curCol, col), std::min(s->curRow, row), std::max(s->curCol, col),
                                         std::max(s->curRow, row)});
    const int ec = m_extCol, er = m_extRow;
    m_control->setSelection(s->curCol, s->curRow, r);
    m_extCol = ec;
    m_extRow = er;
    scrollToCell(col, row);
}

void CellView::moveCurrent(int dCol, int dRow, bool extend)
{
    const Sheet* s = sheet();
    if (!s)
        return;
    const int fromCol = extend ? m_extCol : s->curCol, fromRow = extend ? m_extRow : s->curRow;
    const Range b = s->mergeAt(fromCol, fromRow);
    int col = fromCol, row = fromRow;
    if (dCol > 0)
        col = b.col2 + dCol;
    else if (dCol < 0)
        col = b.col1 + dCol;
    if (dRow > 0)
        row = b.row2 + dRow;
    else if (dRow < 0)
        row = b.row1 + dRow;
    setCurrent(col, row, extend);
}

void CellView::jump(int dCol, int dRow, bool extend)
{
    const Sheet* s = sheet();
    if (!s)
        return;
    auto filled = [s](int c, int r) {
        const Cell* cell = s->cellAt(c, r);
        return cell && !cell->isBlank();
    };
    auto inside = [s](int c, int r) { return c >= 1 && r >= 1 && c < s->cols && r < s->rows; };
    int col = extend ? m_extCol : s->curCol, row = extend ? m_extRow : s->curRow;
    // To the edge of the data block the cell is in, or across blanks to the next filled cell, or to the sheet's
    // edge, as spreadsheets do with Ctrl and an arrow.
    const bool fromFilled = filled(col, row) && inside(col + dCol, row + dRow) && filled(col + dCol, row + dRow);
    while (inside(col + dCol, row + dRow)) {
        const bool next = filled(col + dCol, row + dRow);
        if (fromFilled && !next)
            break;
        col += dCol;
        row += dRow;
        if (!fromFilled && next)
            break;
    }
    setCurrent(col, row, extend);
}

void CellView::onSelectionChanged()
{
    const Sheet* s = sheet();
    if (s && !s->selection.contains(m_extCol, m_extRow)) {
        m_extCol = s->curCol;
        m_extRow = s->curRow;
    }
    updateScrollBars();
    if (s && (s->curCol != m_lastCol || s->curRow != m_lastRow)) {
        // The program moved the current cell (or the user did): bring it into view.
        m_lastCol = s->curCol;
        m_lastRow = s->curRow;
        scrollToCell(s->curCol, s->curRow);
        emit currentCellChanged(s->curCol, s->curRow);
    }
    viewport()->update();
}

void CellView::clearSelectionContent()
{
    const Sheet* s = sheet();
    if (!s || m_readOnly)
        return;
    const Range sel = s->selection;
    QList<quint32> keys;
    for (auto it = s->cells.constBegin(); it != s->cells.constEnd(); ++it)
        if (!it.value().isBlank() && sel.contains(Sheet::keyCol(it.key()), Sheet::keyRow(it.key())))
            keys << it.key();
    if (keys.isEmpty())
        return;
    std::sort(keys.begin(), keys.end());
    const int sheetNo = sheetIndex();
    m_control->beginEditGroup(tr("清除内容"));
    for (quint32 k : keys)
        m_control->enterText(Sheet::keyCol(k), Sheet::keyRow(k), sheetNo, QString());   // locked cells stay
    m_control->endEditGroup();
}

void CellView::applyZoom(double z)
{
    if (!m_control)
        return;
    z = std::clamp(std::round(z * 100) / 100, 0.1, 4.0);
    m_control->SetScreenScale(sheetIndex(), z);
    updateScrollBars();
    viewport()->update();
}

// ---- Editing -----------------------------------------------------------------------------------------------------

QString CellView::editText(int col, int row) const
{
    const Sheet* s = sheet();
    const Cell* c = s ? s->cellAt(col, row) : nullptr;
    if (!c)
        return QString();
    if (!c->formula.isEmpty())
        return QLatin1Char('=') + c->formula;
    if (const double* v = std::get_if<double>(&c->value)) {
        switch (c->format.numType) {
        case NumDate:
        case NumTime:
            return displayText(*c);
        case NumPercent:
            return QString::number(*v * 100, 'g', 15) + QLatin1Char('%');
        default:
            return QString::number(*v, 'g', 15);
        }
    }
    return displayText(*c);
}

void CellView::editCurrentCell(const QString& typed, bool replace)
{
    const Sheet* s = sheet();
    if (!s || m_readOnly || isEditing())
        return;
    const Range b = s->mergeAt(s->curCol, s->curRow);
    if (isLocked(b.col1, b.row1))
        return;
    m_editCol = b.col1;
    m_editRow = b.row1;
    m_editSheet = sheetIndex();
    scrollToCell(b.col1, b.row1);
    if (hasList(b.col1, b.row1)) {
        openListEditor();
        return;
    }
    const Cell* c = s->cellAt(b.col1, b.row1);
    m_editOriginal = editText(b.col1, b.row1);
    m_editByTyping = replace;
    m_editor = new QPlainTextEdit(viewport());
    m_editor->setObjectName(QStringLiteral("cellEditor"));
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setTabChangesFocus(false);
    m_editor->document()->setDocumentMargin(1);
    QFont f = cellFont(m_control->workbook(), c ? c->format : CellFormat{});
    f.setPixelSize(std::max(4, int(std::lround(f.pixelSize() * zoom()))));
    f.setUnderline(false);
    m_editor->setFont(f);
    m_editor->setLineWrapMode((c && (c->format.textStyle & 2)) ? QPlainTextEdit::WidgetWidth
                                                                : QPlainTextEdit::NoWrap);
    m_editor->setPlainText(replace ? typed : m_editOriginal);
    m_editor->moveCursor(QTextCursor::End);
    QRect r = cellRect(b.col1, b.row1).adjusted(1, 1, 0, 0);
    const int textWidth = QFontMetrics(f).horizontalAdvance(m_editor->toPlainText()) + 12;
    if (textWidth > r.width() && !(c && (c->format.textStyle & 2)))
        r.setWidth(std::min(textWidth, std::max(r.width(), viewport()->width() - r.left())));
    // Every line of a text with line breaks stays in sight.
    const int lines = int(m_editor->toPlainText().count(QLatin1Char('\n'))) + 1;
    const int needHeight = lines * QFontMetrics(f).lineSpacing() + 4;
    if (lines > 1 && needHeight > r.height())
        r.setHeight(std::min(needHeight, std::max(r.height(), viewport()->height() - r.top())));
    m_editor->setGeometry(r);
    m_editor->installEventFilter(this);
    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_editor)
            return;
        const int w = m_editor->fontMetrics().horizontalAdvance(m_editor->toPlainText()) + 12;
        if (w > m_editor->width() && m_editor->lineWrapMode() == QPlainTextEdit::NoWrap)
            m_editor->resize(std::min(w, std::max(m_editor->width(), viewport()->width() - m_editor->x())),
                             m_editor->height());
    });
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void CellView::openListEditor()
{
    const Sheet* s = sheet();
    if (!s || m_readOnly || isEditing())
        return;
    const Range b = s->mergeAt(s->curCol, s->curRow);
    if (isLocked(b.col1, b.row1) || !hasList(b.col1, b.row1))
        return;
    m_editCol = b.col1;
    m_editRow = b.row1;
    m_editSheet = sheetIndex();
    const Cell* c = s->cellAt(b.col1, b.row1);
    m_combo = new QComboBox(viewport());
    m_combo->setObjectName(QStringLiteral("cellList"));
    m_combo->addItems(listItems(c->dropdown));
    const int current = m_combo->findText(displayText(*c));
    m_combo->setCurrentIndex(current);
    m_combo->setGeometry(cellRect(b.col1, b.row1));
    m_combo->installEventFilter(this);
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        if (!m_combo || !m_control)
            return;
        const QString text = m_combo->itemText(index);
        const int col = m_editCol, row = m_editRow, sheetNo = m_editSheet;
        closeEditors();
        m_control->enterText(col, row, sheetNo, text);
        setFocus(Qt::OtherFocusReason);
    });
    m_combo->show();
    m_combo->setFocus(Qt::OtherFocusReason);
    m_combo->showPopup();
}

bool CellView::commitEdit()
{
    if (m_combo) {
        closeEditors();
        return true;
    }
    if (!m_editor || m_committing || !m_control)
        return true;
    m_committing = true;
    const QString text = m_editor->toPlainText();
    bool ok = true;
    if (text != m_editOriginal)
        ok = m_control->enterText(m_editCol, m_editRow, m_editSheet, text);
    closeEditors();
    m_committing = false;
    setFocus(Qt::OtherFocusReason);
    return ok;
}

void CellView::cancelEdit()
{
    const bool had = isEditing();
    closeEditors();
    if (had)
        setFocus(Qt::OtherFocusReason);
}

void CellView::closeEditors()
{
    if (m_editor) {
        m_editor->removeEventFilter(this);
        m_editor->hide();
        m_editor->deleteLater();
        m_editor = nullptr;
    }
    if (m_combo) {
        m_combo->removeEventFilter(this);
        m_combo->hidePopup();
        m_combo->hide();
        m_combo->deleteLater();
        m_combo = nullptr;
    }
    viewport()->update();
}

bool CellView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && m_editor) {
        if (event->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(event);
            const bool shift = k->modifiers() & Qt::ShiftModifier;
            switch (k->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (k->modifiers() & Qt::AltModifier) {
                    m_editor->insertPlainText(QStringLiteral("\n"));
                    return true;
                }
                if (commitEdit())
                    moveCurrent(0, shift ? -1 : 1, false);
                return true;
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                if (commitEdit())
                    moveCurrent(k->key() == Qt::Key_Backtab || shift ? -1 : 1, 0, false);
                return true;
            case Qt::Key_Escape:
                cancelEdit();
                return true;
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_Left:
            case Qt::Key_Right:
                if (m_editByTyping) {
                    const int key = k->key();
                    if (commitEdit())
                        moveCurrent(key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0,
                                    key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0, false);
                    return true;
                }
                break;
            default:
                break;
            }
        } else if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_committing)
                commitEdit();
        }
    } else if (watched == m_combo && m_combo) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            cancelEdit();
            return true;
        }
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                QMetaObject::invokeMethod(this, [this] { cancelEdit(); }, Qt::QueuedConnection);
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

// ---- Input -------------------------------------------------------------------------------------------------------

// Tab and Shift+Tab move between cells rather than out of the view.
bool CellView::focusNextPrevChild(bool) { return false; }

void CellView::keyPressEvent(QKeyEvent* event)
{
    const Sheet* s = sheet();
    if (!s) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const Range sel = s->selection;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Escape && m_control->formatPainterActive()) {
        m_control->stopFormatPainter();
        viewport()->unsetCursor();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        m_control->CopyRange(sel.col1, sel.row1, sel.col2, sel.row2);
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        if (!m_readOnly)
            m_control->CutRange(sel.col1, sel.row1, sel.col2, sel.row2);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        if (!m_readOnly)
            m_control->PasteRange(s->curCol, s->curRow, 0, 1, 1);
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        if (!m_readOnly && m_control->undoEnabled() && m_control->CanUndo())
            m_control->Undo();
        return;
    }
    if (event->matches(QKeySequence::Redo) || (ctrl && event->key() == Qt::Key_Y)) {
        if (!m_readOnly && m_control->undoEnabled() && m_control->CanRedo())
            m_control->Redo();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        m_control->setSelection(s->curCol, s->curRow, Range{1, 1, s->cols - 1, s->rows - 1});
        return;
    }
    const int pageRows = std::max(1, verticalScrollBar()->pageStep());
    if (ctrl && !(event->modifiers() & Qt::AltModifier)) {
        switch (event->key()) {
        case Qt::Key_Left:
            jump(-1, 0, shift);
            return;
        case Qt::Key_Right:
            jump(1, 0, shift);
            return;
        case Qt::Key_Up:
            jump(0, -1, shift);
            return;
        case Qt::Key_Down:
            jump(0, 1, shift);
            return;
        default:
            break;
        }
    }
    switch (event->key()) {
    case Qt::Key_Left:
        moveCurrent(-1, 0, shift);
        return;
    case Qt::Key_Right:
        moveCurrent(1, 0, shift);
        return;
    case Qt::Key_Up:
        if (event->modifiers() & Qt::AltModifier)
            break;
        moveCurrent(0, -1, shift);
        return;
    case Qt::Key_Down:
        if (event->modifiers() & Qt::AltModifier) {
            openListEditor();
            return;
        }
        moveCurrent(0, 1, shift);
        return;
    case Qt::Key_Tab:
        moveCurrent(1, 0, false);
        return;
    case Qt::Key_Backtab:
        moveCurrent(-1, 0, false);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        moveCurrent(0, shift ? -1 : 1, false);
        return;
    case Qt::Key_Home:
        if (ctrl)
            setCurrent(1, 1, shift);
        else
            setCurrent(1, shift ? m_extRow : s->curRow, shift);
        return;
    case Qt::Key_End:
        if (ctrl)
            setCurrent(s->cols - 1, s->rows - 1, shift);
        else
            setCurrent(s->cols - 1, shift ? m_extRow : s->curRow, shift);
        return;
    case Qt::Key_PageDown:
        moveCurrent(0, pageRows, shift);
        return;
    case Qt::Key_PageUp:
        moveCurrent(0, -pageRows, shift);
        return;
    case Qt::Key_F2:
        editCurrentCell();
        return;
    case Qt::Key_Delete:
        clearSelectionContent();
        return;
    case Qt::Key_Backspace:
        editCurrentCell(QString(), true);
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        editCurrentCell(text, true);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CellView::inputMethodEvent(QInputMethodEvent* event)
{
    // An input method composing Chinese text starts the editor, which then receives the composition.
    if (!isEditing() && !m_readOnly && (!event->commitString().isEmpty() || !event->preeditString().isEmpty()))
        editCurrentCell(QString(), true);
    if (m_editor) {
        QCoreApplication::sendEvent(m_editor, event);
        return;
    }
    QAbstractScrollArea::inputMethodEvent(event);
}

QVariant CellView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const Sheet* s = sheet();
    if (s && (query == Qt::ImCursorRectangle || query == Qt::ImAnchorRectangle))
        return QRectF(cellRect(s->curCol, s->curRow)).translated(viewport()->pos());
    if (query == Qt::ImEnabled)
        return !m_readOnly;
    return QAbstractScrollArea::inputMethodQuery(query);
}

int CellView::resizeHandleAt(const QPoint& pos, bool& isColumn) const
{
    const Sheet* s = sheet();
    if (!s || m_readOnly)
        return 0;
    const double z = zoom();
    if (pos.y() < headerHeight() && pos.x() > headerWidth()) {
        for (const Segment& seg : colSegments()) {
            double x = seg.start;
            for (int c = seg.first; c <= seg.last; ++c) {
                x += s->colWidth(c) * z;
                if (std::abs(pos.x() - x) <= 3) {
                    isColumn = true;
                    return c;
                }
            }
        }
    }
    if (pos.x() < headerWidth() && pos.y() > headerHeight()) {
        for (const Segment& seg : rowSegments()) {
            double y = seg.start;
            for (int r = seg.first; r <= seg.last; ++r) {
                y += s->rowHeight(r) * z;
                if (std::abs(pos.y() - y) <= 2) {
                    isColumn = false;
                    return r;
                }
            }
        }
    }
    return 0;
}

void CellView::mousePressEvent(QMouseEvent* event)
{
    const Sheet* s = sheet();
    if (s && event->button() == Qt::RightButton) {
        // A context menu acts on the selection; a right click outside it first makes the clicked cell current.
        int col = 0, row = 0;
        if (cellAt(event->position().toPoint(), col, row) && !s->selection.contains(col, row)) {
            if (isEditing())
                commitEdit();
            setCurrent(col, row, false);
        }
    }
    if (!s || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    if (isEditing() && !commitEdit())
        return;
    setFocus(Qt::MouseFocusReason);
    s = sheet();
    const QPoint pos = event->position().toPoint();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    bool isColumn = false;
    if (int handle = resizeHandleAt(pos, isColumn)) {
        m_drag = isColumn ? Drag::ResizeCol : Drag::ResizeRow;
        m_resizeIndex = handle;
        m_resizeOriginal = isColumn ? s->colWidth(handle) : s->rowHeight(handle);
        m_resizeStart = isColumn ? pos.x() : pos.y();
        m_resizeLine = m_resizeStart;
        viewport()->update();
        return;
    }
    if (!m_readOnly && hasList(s->curCol, s->curRow) && dropdownButton().contains(event->position())) {
        openListEditor();
        return;
    }
    const int col = colAtX(pos.x()), row = rowAtY(pos.y());
    if ((event->modifiers() & Qt::ControlModifier) && col > 0 && row > 0 && followHyperlink(col, row))
        return;
    if (col == 0 && row == 0) {
        m_control->setSelection(s->curCol, s->curRow, Range{1, 1, s->cols - 1, s->rows - 1});
    } else if (row == 0 && col > 0) {
        if (!shift)
            setCurrent(col, fixedRows() > 0 ? 1 : firstScrollRow(), false);
        s = sheet();
        const int from = shift ? s->curCol : col;
        m_control->setSelection(s->curCol, s->curRow, Range{std::min(from, col), 1, std::max(from, col), s->rows - 1});
        m_extCol = col;
        m_drag = Drag::Columns;
    } else if (col == 0 && row > 0) {
        if (!shift)
            setCurrent(1, row, false);
        s = sheet();
        const int from = shift ? s->curRow : row;
        m_control->setSelection(s->curCol, s->curRow, Range{1, std::min(from, row), s->cols - 1, std::max(from, row)});
        m_extRow = row;
        m_drag = Drag::Rows;
    } else if (col > 0 && row > 0) {
        setCurrent(col, row, shift);
        m_drag = Drag::Cells;
    }
}

bool CellView::followHyperlink(int col, int row)
{
    const Sheet* s = sheet();
    const Range m = s->mergeAt(col, row);
    const Cell* c = s->cellAt(m.col1, m.row1);
    if (!c || c->hyperlink.isEmpty())
        return false;
    const QString target = c->hyperlink.trimmed();
    if (target.startsWith(QLatin1Char('#'))) {
        // "#Sheet!B8" or "#B8": a place in this workbook.
        QString ref = target.mid(1);
        int sheetNo = sheetIndex();
        const int bang = int(ref.lastIndexOf(QLatin1Char('!')));
        if (bang >= 0) {
            QString name = ref.left(bang);
            if (name.size() >= 2 && name.startsWith(QLatin1Char('\'')) && name.endsWith(QLatin1Char('\'')))
                name = name.mid(1, name.size() - 2);
            ref = ref.mid(bang + 1);
            const QList<Sheet>& sheets = m_control->workbook().sheets;
            sheetNo = -1;
            for (int i = 0; i < sheets.size(); ++i)
                if (sheets[i].name == name)
                    sheetNo = i;
        }
        int tc = 0, tr = 0;
        if (sheetNo < 0 || !CellControl::ParseCellRef(ref.remove(QLatin1Char('$')), tc, tr))
            return true;
        m_control->setCurSheet(sheetNo);
        setCurrent(tc, tr, false);
        return true;
    }
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
    return true;
}

void CellView::mouseMoveEvent(QMouseEvent* event)
{
    const Sheet* s = sheet();
    if (!s)
        return;
    const QPoint pos = event->position().toPoint();
    if (m_drag == Drag::None) {
        bool isColumn = false;
        if (resizeHandleAt(pos, isColumn))
            viewport()->setCursor(isColumn ? Qt::SplitHCursor : Qt::SplitVCursor);
        else
            viewport()->unsetCursor();
        return;
    }
    if (m_drag == Drag::ResizeCol || m_drag == Drag::ResizeRow) {
        m_resizeLine = m_drag == Drag::ResizeCol ? pos.x() : pos.y();
        viewport()->update();
        return;
    }
    // Dragging past the edge scrolls.
    if (pos.x() >= viewport()->width())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + 1);
    else if (pos.x() < headerWidth())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - 1);
    if (pos.y() >= viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
    else if (pos.y() < headerHeight())
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
    const QPoint inside(std::clamp(pos.x(), int(headerWidth()) + 1, viewport()->width() - 1),
                        std::clamp(pos.y(), int(headerHeight()) + 1, viewport()->height() - 1));
    int col = colAtX(inside.x()), row = rowAtY(inside.y());
    if (col < 1)
        col = s->cols - 1;
    if (row < 1)
        row = s->rows - 1;
    if (m_drag == Drag::Cells) {
        selectTo(col, row);
    } else if (m_drag == Drag::Columns) {
        m_control->setSelection(s->curCol, s->curRow,
                                Range{std::min(s->curCol, col), 1, std::max(s->curCol, col), s->rows - 1});
    } else if (m_drag == Drag::Rows) {
        m_control->setSelection(s->curCol, s->curRow,
                                Range{1, std::min(s->curRow, row), s->cols - 1, std::max(s->curRow, row)});
    }
}

void CellView::mouseReleaseEvent(QMouseEvent* event)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if ((drag == Drag::ResizeCol || drag == Drag::ResizeRow) && m_control) {
        const double pos = drag == Drag::ResizeCol ? event->position().x() : event->position().y();
        const int size = std::max(0, int(std::lround(m_resizeOriginal + (pos - m_resizeStart) / zoom())));
        if (size != m_resizeOriginal) {
            if (drag == Drag::ResizeCol)
                m_control->setColWidth(sheetIndex(), m_resizeIndex, size);
            else
                m_control->setRowHeight(sheetIndex(), m_resizeIndex, size);
        }
        viewport()->update();
    }
    // The format painter gives its formats to the cells just selected.
    if (drag == Drag::Cells && m_control && m_control->formatPainterActive() && !m_readOnly) {
        if (const Sheet* s = sheet())
            m_control->applyFormatPainter(s->selection);
        if (!m_control->formatPainterActive())
            viewport()->unsetCursor();
    }
    event->accept();
}

void CellView::mouseDoubleClickEvent(QMouseEvent* event)
{
    int col = 0, row = 0;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), col, row)) {
        editCurrentCell();
        return;
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void CellView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0)
            applyZoom(zoom() + 0.1 * steps);
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

} // namespace cell
