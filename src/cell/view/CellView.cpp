#include "cell/view/CellView.h"

#include "cell/CellControl.h"
#include "cell/NumberFormat.h"
#include "cell/PageRenderer.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QUrl>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTextBlock>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace cell {

namespace {

const QColor kHeaderBack(0xf3, 0xf3, 0xf3);
const QColor kHeaderSelected(0xd6, 0xe4, 0xf5);
const QColor kHeaderLine(0xc4, 0xc4, 0xc4);
const QColor kSelectionFill(0x33, 0x66, 0xcc, 38);
const QColor kSelectionLine(0x1a, 0x5f, 0xb4);

QString columnLetters(int col)
{
    QString s;
    for (int c = col; c > 0; c = (c - 1) / 26)
        s.prepend(QChar(u'A' + (c - 1) % 26));
    return s;
}

QStringList listItems(const QString& items)
{
    QStringList list = items.split(QLatin1Char('\n'));
    for (QString& s : list)
        if (s.endsWith(QLatin1Char('\r')))
            s.chop(1);
    while (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

} // namespace

CellView::CellView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    setFrameShape(QFrame::StyledPanel);
    m_tabs = new QTabBar(this);
    m_tabs->setShape(QTabBar::RoundedSouth);
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    // The tabs share the height of the horizontal scroll bar.
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    m_tabs->setStyleSheet(QStringLiteral("QTabBar::tab { height: %1px; padding: 0px 12px; margin: 0px; }")
                              .arg(std::max(12, extent - 1)));
    QFont tabFont = m_tabs->font();
    tabFont.setPixelSize(std::max(9, extent - 5));
    m_tabs->setFont(tabFont);
    addScrollBarWidget(m_tabs, Qt::AlignLeft);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (!m_control || index < 0 || index == m_control->GetCurSheet())
            return;
        if (isEditing())
            commitEdit();
        m_control->setCurSheet(index);
    });
}

void CellView::updateTabs()
{
    const bool show = m_control && m_control->workbook().showSheetLabel;
    QStringList names;
    if (m_control)
        for (const Sheet& s : m_control->workbook().sheets)
            names << s.name;
    const QSignalBlocker block(m_tabs);
    if (m_tabs->count() != names.size() || [&] {
            for (int i = 0; i < names.size(); ++i)
                if (m_tabs->tabText(i) != names[i])
                    return true;
            return false;
        }()) {
        while (m_tabs->count())
            m_tabs->removeTab(0);
        for (const QString& n : names)
            m_tabs->addTab(n);
    }
    if (m_control)
        m_tabs->setCurrentIndex(m_control->GetCurSheet());
    m_tabs->setVisible(show);
}

CellView::~CellView() = default;

void CellView::setControl(CellControl* control)
{
    if (m_control == control)
        return;
    closeEditors();
    if (m_control)
        disconnect(m_control, nullptr, this, nullptr);
    m_control = control;
    if (control) {
        connect(control, &CellControl::cellsChanged, this, [this] { viewport()->update(); });
        connect(control, &CellControl::layoutChanged, this, [this] {
            updateScrollBars();
            viewport()->update();
        });
        connect(control, &CellControl::selectionChanged, this, &CellView::onSelectionChanged);
        connect(control, &CellControl::repaintRequested, this, [this] { viewport()->update(); });
        connect(control, &CellControl::workbookReset, this, [this] {
            closeEditors();
            horizontalScrollBar()->setValue(0);
            verticalScrollBar()->setValue(0);
            m_lastCol = m_lastRow = 0;   // a new workbook: show its current cell
            updateScrollBars();
            onSelectionChanged();
        });
    }
    m_lastCol = m_lastRow = 0;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    updateScrollBars();
    onSelectionChanged();
}

void CellView::setReadOnly(bool readOnly)
{
    if (readOnly)
        closeEditors();
    m_readOnly = readOnly;
    viewport()->update();
}

// ---- Geometry ----------------------------------------------------------------------------------------------------

const Sheet* CellView::sheet() const
{
    if (!m_control)
        return nullptr;
    return &m_control->sheet(m_control->GetCurSheet());
}

int CellView::sheetIndex() const { return m_control ? m_control->GetCurSheet() : 0; }

double CellView::zoom() const
{
    const Sheet* s = sheet();
    return s ? std::clamp(s->zoom, 0.05, 8.0) : 1.0;
}

double CellView::headerWidth() const
{
    const Sheet* s = sheet();
    if (!s || !s->showRowLabel)
        return 0;
    // Wide enough for the largest row number.
    const double digits = QString::number(s->rows - 1).size();
    return std::round(std::max<double>(s->colWidth(0), 10 + 8 * digits) * zoom());
}

double CellView::headerHeight() const
{
    const Sheet* s = sheet();
    return s && s->showColLabel ? std::round(s->rowHeight(0) * zoom()) : 0;
}

int CellView::fixedCols() const
{
    const Sheet* s = sheet();
    return s ? std::clamp(s->fixedCols, 0, std::max(0, s->cols - 2)) : 0;
}

int CellView::fixedRows() const
{
    const Sheet* s = sheet();
    return s ? std::clamp(s->fixedRows, 0, std::max(0, s->rows - 2)) : 0;
}

int CellView::firstScrollCol() const
{
    const Sheet* s = sheet();
    return s ? std::clamp(fixedCols() + 1 + horizontalScrollBar()->value(), 1, std::max(1, s->cols - 1)) : 1;
}

int CellView::firstScrollRow() const
{
    const Sheet* s = sheet();
    return s ? std::clamp(fixedRows() + 1 + verticalScrollBar()->value(), 1, std::max(1, s->rows - 1)) : 1;
}

QList<CellView::Segment> CellView::colSegments() const
{
    QList<Segment> segs;
    const Sheet* s = sheet();
    if (!s)
        return segs;
    const double z = zoom();
    double x = headerWidth();
    const int fc = fixedCols();
    if (fc > 0) {
        Segment a{1, fc, x, x};
        for (int c = 1; c <= fc; ++c)
            x += s->colWidth(c) * z;
        a.end = x;
        segs << a;
    }
    Segment b{firstScrollCol(), 0, x, x};
    int c = b.first;
    const double limit = viewport()->width();
    while (c <= s->cols - 1 && x < limit) {
        x += s->colWidth(c) * z;
        ++c;
    }
    b.last = c - 1;
    b.end = x;
    if (b.last >= b.first)
        segs << b;
    return segs;
}

QList<CellView::Segment> CellView::rowSegments() const
{
    QList<Segment> segs;
    const Sheet* s = sheet();
    if (!s)
        return segs;
    const double z = zoom();
    double y = headerHeight();
    const int fr = fixedRows();
    if (fr > 0) {
        Segment a{1, fr, y, y};
        for (int r = 1; r <= fr; ++r)
            y += s->rowHeight(r) * z;
        a.end = y;
        segs << a;
    }
    Segment b{firstScrollRow(), 0, y, y};
    int r = b.first;
    const double limit = viewport()->height();
    while (r <= s->rows - 1 && y < limit) {
        y += s->rowHeight(r) * z;
        ++r;
    }
    b.last = r - 1;
    b.end = y;
    if (b.last >= b.first)
        segs << b;
    return segs;
}

QList<CellView::Pane> CellView::panes() const
{
    QList<Pane> list;
    const QList<Segment> cols = colSegments(), rows = rowSegments();
    for (const Segment& rs : rows)
        for (const Segment& cs : cols)
            list << Pane{Range{cs.first, rs.first, cs.last, rs.last}, QPointF(cs.start, rs.start),
                         QRectF(QPointF(cs.start, rs.start), QPointF(cs.end, rs.end))};
    return list;
}

double CellView::colLeft(int col) const
{
    const Sheet* s = sheet();
    double x = headerWidth();
    if (!s)
        return x;
    const double z = zoom();
    const int fc = fixedCols();
    for (int k = 1; k < std::min(col, fc + 1); ++k)
        x += s->colWidth(k) * z;
    if (col <= fc)
        return x;
    const int f = firstScrollCol();
    for (int k = f; k < col; ++k)
        x += s->colWidth(k) * z;
    for (int k = col; k < f; ++k)
        x -= s->colWidth(k) * z;
    return x;
}

double CellView::rowTop(int row) const
{
    const Sheet* s = sheet();
    double y = headerHeight();
    if (!s)
        return y;
    const double z = zoom();
    const int fr = fixedRows();
    for (int k = 1; k < std::min(row, fr + 1); ++k)
        y += s->rowHeight(k) * z;
    if (row <= fr)
        return y;
    const int f = firstScrollRow();
    for (int k = f; k < row; ++k)
        y += s->rowHeight(k) * z;
    for (int k = row; k < f; ++k)
        y -= s->rowHeight(k) * z;
    return y;
}

QRectF CellView::rangeRect(const Range& r) const
{
    return QRectF(QPointF(colLeft(r.col1), rowTop(r.row1)), QPointF(colLeft(r.col2 + 1), rowTop(r.row2 + 1)));
}

QRect CellView::cellRect(int col, int row) const
{
    const Sheet* s = sheet();
    if (!s)
        return QRect();
    const QRectF r = rangeRect(s->mergeAt(col, row));
    return QRect(QPoint(int(std::lround(r.left())), int(std::lround(r.top()))),
                 QPoint(int(std::lround(r.right())) - 1, int(std::lround(r.bottom())) - 1));
}

int CellView::colAtX(double x) const
{
    const Sheet* s = sheet();
    if (!s || x < 0)
        return -1;
    if (x < headerWidth())
        return 0;
    for (const Segment& seg : colSegments()) {
        if (x < seg.start || x >= seg.end)
            continue;
        double left = seg.start;
        for (int c = seg.first; c <= seg.last; ++c) {
            left += s->colWidth(c) * zoom();
            if (x < left)
                return c;
        }
    }
    return -1;
}

int CellView::rowAtY(double y) const
{
    const Sheet* s = sheet();
    if (!s || y < 0)
        return -1;
    if (y < headerHeight())
        return 0;
    for (const Segment& seg : rowSegments()) {
        if (y < seg.start || y >= seg.end)
            continue;
        double top = seg.start;
        for (int r = seg.first; r <= seg.last; ++r) {
            top += s->rowHeight(r) * zoom();
            if (y < top)
                return r;
        }
    }
    return -1;
}

bool CellView::cellAt(const QPoint& pos, int& col, int& row) const
{
    const int c = colAtX(pos.x() + 0.5), r = rowAtY(pos.y() + 0.5);
    if (c < 1 || r < 1)
        return false;
    col = c;
    row = r;
    return true;
}

void CellView::updateScrollBars()
{
    const Sheet* s = sheet();
    if (!s) {
        updateTabs();
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
        return;
    }
    updateTabs();
    // The sheet tabs live beside the horizontal scroll bar, which therefore stays while they are shown.
    setHorizontalScrollBarPolicy(!s->showHScroll                          ? Qt::ScrollBarAlwaysOff
                                 : m_control->workbook().showSheetLabel ? Qt::ScrollBarAlwaysOn
                                                                          : Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(s->showVScroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    const double z = zoom();
    const int fc = fixedCols(), fr = fixedRows();
    double fixedW = 0, fixedH = 0;
    for (int c = 1; c <= fc; ++c)
        fixedW += s->colWidth(c) * z;
    for (int r = 1; r <= fr; ++r)
        fixedH += s->rowHeight(r) * z;
    const double availW = viewport()->width() - headerWidth() - fixedW;
    const double availH = viewport()->height() - headerHeight() - fixedH;
    // The furthest first column (row) that still fills the view up to the last one.
    auto lastStart = [](int first, int last, double avail, auto size) {
        double acc = 0;
        int f = last + 1;
        while (f - 1 >= first && acc + size(f - 1) <= avail) {
            --f;
            acc += size(f);
        }
        return std::min(f, last);
    };
    const int maxCol = lastStart(fc + 1, s->cols - 1, availW, [&](int c) { return s->colWidth(c) * z; });
    const int maxRow = lastStart(fr + 1, s->rows - 1, availH, [&](int r) { return s->rowHeight(r) * z; });
    horizontalScrollBar()->setRange(0, std::max(0, maxCol - (fc + 1)));
    verticalScrollBar()->setRange(0, std::max(0, maxRow - (fr + 1)));
    horizontalScrollBar()->setPageStep(std::max(1, int(availW / std::max(1.0, 72 * z))));
    verticalScrollBar()->setPageStep(std::max(1, int(availH / std::max(1.0, 22 * z))));
}

void CellView::scrollToCell(int col, int row)
{
    const Sheet* s = sheet();
    if (!s)
        return;
    const double z = zoom();
    const int fc = fixedCols(), fr = fixedRows();
    if (col > fc && col < s->cols) {
        double fixedW = 0;
        for (int c = 1; c <= fc; ++c)
            fixedW += s->colWidth(c) * z;
        const double avail = viewport()->width() - headerWidth() - fixedW;
        int f = firstScrollCol();
        if (col < f) {
            f = col;
        } else {
            double acc = 0;
            for (int c = f; c <= col; ++c)
                acc += s->colWidth(c) * z;
            while (acc > avail && f < col)
                acc -= s->colWidth(f++) * z;
        }
        if (f - fc - 1 > horizontalScrollBar()->maximum())
            horizontalScrollBar()->setMaximum(f - fc - 1);
        horizontalScrollBar()->setValue(f - fc - 1);
    }
    if (row > fr && row < s->rows) {
        double fixedH = 0;
        for (int r = 1; r <= fr; ++r)
            fixedH += s->rowHeight(r) * z;
        const double avail = viewport()->height() - headerHeight() - fixedH;
        int f = firstScrollRow();
        if (row < f) {
            f = row;
        } else {
            double acc = 0;
            for (int r = f; r <= row; ++r)
                acc += s->rowHeight(r) * z;
            while (acc > avail && f < row)
                acc -= s->rowHeight(f++) * z;
        }
        if (f - fr - 1 > verticalScrollBar()->maximum())
            verticalScrollBar()->setMaximum(f - fr - 1);
        verticalScrollBar()->setValue(f - fr - 1);
    }
}

void CellView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CellView::scrollContentsBy(int, int)
{
    if (m_editor || m_combo) {
        const QRect r = cellRect(m_editCol, m_editRow);
        if (m_editor)
            m_editor->move(r.topLeft());
        if (m_combo)
            m_combo->move(r.topLeft());
    }
    viewport()->update();
}

// ---- Painting ----------------------------------------------------------------------------------------------------

void CellView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), Qt::white);
    const Sheet* s = sheet();
    if (!s)
        return;
    const double z = zoom();
    const QList<Segment> cols = colSegments(), rows = rowSegments();
    const QList<Pane> list = panes();
    SheetPainter painter(m_control->workbook(), *s);
    SheetPainter::Options opt;
    opt.gridLines = true;
    opt.backgroundPicture = true;
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const Pane& pane : list) {
        p.save();
        p.setClipRect(pane.clip);
        p.translate(pane.origin);
        p.scale(z, z);
        painter.paint(p, pane.area, opt);
        p.restore();
    }
    if (m_control->viewerOption())
        paintSelection(p, list);
    // The edges of the fixed panes.
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    const double right = cols.isEmpty() ? 0 : std::min<double>(cols.last().end, viewport()->width());
    const double bottom = rows.isEmpty() ? 0 : std::min<double>(rows.last().end, viewport()->height());
    if (cols.size() > 1)
        p.drawLine(QPointF(cols[0].end, headerHeight()), QPointF(cols[0].end, bottom));
    if (rows.size() > 1)
        p.drawLine(QPointF(headerWidth(), rows[0].end), QPointF(right, rows[0].end));
    paintHeaders(p, cols, rows);
    if (m_drag == Drag::ResizeCol || m_drag == Drag::ResizeRow) {
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        if (m_drag == Drag::ResizeCol)
            p.drawLine(QPointF(m_resizeLine, 0), QPointF(m_resizeLine, viewport()->height()));
        else
            p.drawLine(QPointF(0, m_resizeLine), QPointF(viewport()->width(), m_resizeLine));
    }
}

void CellView::paintSelection(QPainter& p, const QList<Pane>& list)
{
    const Sheet* s = sheet();
    const Range sel = s->selection;
    const Range cur = s->mergeAt(s->curCol, s->curRow);
    const QRectF cells(QPointF(headerWidth(), headerHeight()), QPointF(viewport()->width(), viewport()->height()));
    for (const Pane& pane : list) {
        if (!sel.intersects(pane.area) && !cur.intersects(pane.area))
            continue;
        p.save();
        p.setClipRect(pane.clip.intersected(cells));
        if (sel.intersects(pane.area)) {
            const QRectF sr = rangeRect(sel);
            if (!(sel == cur)) {
                QPainterPath path;
                path.addRect(sr);
                QPainterPath hole;
                hole.addRect(rangeRect(cur));
                p.fillPath(path.subtracted(hole), kSelectionFill);
            }
            p.setPen(QPen(kSelectionLine, 2));
            p.drawRect(sr.adjusted(0, 0, -1, -1));
        }
        p.restore();
    }
    if (!m_readOnly && hasList(cur.col1, cur.row1)) {
        const QRectF b = dropdownButton();
        if (b.isValid()) {
            QStyleOptionButton o;
            o.rect = b.toRect();
            o.state = QStyle::State_Enabled | QStyle::State_Raised;
            style()->drawControl(QStyle::CE_PushButtonBevel, &o, &p, this);
            QPolygonF arrow;
            const QPointF c = b.center();
            arrow << c + QPointF(-4, -2) << c + QPointF(4, -2) << c + QPointF(0, 3);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawPolygon(arrow);
        }
    }
}

void CellView::paintHeaders(QPainter& p, const QList<Segment>& cols, const QList<Segment>& rows)
{
    const Sheet* s = sheet();
    const double z = zoom();
    const double hw = headerWidth(), hh = headerHeight();
    QFont f = font();
    f.setPixelSize(std::max(6, int(std::lround(12 * z))));
    p.setFont(f);
    const Range sel = s->selection;
    if (hh > 0) {
        p.save();
        p.setClipRect(QRectF(hw, 0, viewport()->width() - hw, hh));
        for (const Segment& seg : cols) {
            double x = seg.start;
            for (int c = seg.first; c <= seg.last; ++c) {
                const double w = s->colWidth(c) * z;
                const QRectF r(x, 0, w, hh);
                const bool selected = m_control->viewerOption() && c >= sel.col1 && c <= sel.col2;
                p.fillRect(r, selected ? kHeaderSelected : kHeaderBack);
                p.setPen(kHeaderLine);
                p.drawLine(r.topRight(), r.bottomRight());
                p.drawLine(r.bottomLeft(), r.bottomRight());
                p.setPen(Qt::black);
                if (w > 4)
                    p.drawText(r, Qt::AlignCenter, columnLetters(c));
                x += w;
            }
        }
        p.restore();
    }
    if (hw > 0) {
        p.save();
        p.setClipRect(QRectF(0, hh, hw, viewport()->height() - hh));
        for (const Segment& seg : rows) {
            double y = seg.start;
            for (int r = seg.first; r <= seg.last; ++r) {
                const double h = s->rowHeight(r) * z;
                const QRectF rc(0, y, hw, h);
                const bool selected = m_control->viewerOption() && r >= sel.row1 && r <= sel.row2;
                p.fillRect(rc, selected ? kHeaderSelected : kHeaderBack);
                p.setPen(kHeaderLine);
                p.drawLine(rc.topRight(), rc.bottomRight());
                p.drawLine(rc.bottomLeft(), rc.bottomRight());
                p.setPen(Qt::black);
                if (h > 4)
                    p.drawText(rc, Qt::AlignCenter, QString::number(r));
                y += h;
            }
        }
        p.restore();
    }
    if (hw > 0 && hh > 0) {
        p.fillRect(QRectF(0, 0, hw, hh), kHeaderBack);
        p.setPen(kHeaderLine);
        p.drawLine(QPointF(hw - 0.5, 0), QPointF(hw - 0.5, hh));
        p.drawLine(QPointF(0, hh - 0.5), QPointF(hw, hh - 0.5));
    }
}

QRectF CellView::dropdownButton() const
{
    const Sheet* s = sheet();
    if (!s)
        return QRectF();
    const QRectF r = rangeRect(s->mergeAt(s->curCol, s->curRow));
    const double h = std::min(r.height(), 20.0);
    return QRectF(r.right() - 16, r.bottom() - h, 16, h);
}

bool CellView::hasList(int col, int row) const
{
    const Sheet* s = sheet();
    const Cell* c = s ? s->cellAt(col, row) : nullptr;
    return c && !c->dropdown.isEmpty() && !listItems(c->dropdown).isEmpty();
}

bool CellView::isLocked(int col, int row) const
{
    const Sheet* s = sheet();
    const Cell* c = s ? s->cellAt(col, row) : nullptr;
    return c && c->format.input == 5;
}

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
