#include "cell/view/CellView.h"

#include "cell/CellControl.h"
#include "cell/PageRenderer.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>

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

} // namespace

QStringList CellView::listItems(const QString& items)
{
    QStringList list = items.split(QLatin1Char('\n'));
    for (QString& s : list)
        if (s.endsWith(QLatin1Char('\r')))
            s.chop(1);
    while (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

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
    // The tabs share the height of the horizontal scroll bar. They are drawn whole by the style sheet: a
    // platform style draws its own frame around the given height and shifts the other tabs by a pixel or two,
    // which pushed them out of the scroll bar's strip and cut their text. Each tab is one pixel line above and
    // below the text; the current one is open towards the sheet. The font is the largest that fits.
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int textHeight = std::max(10, extent - 2);
    QFont tabFont = m_tabs->font();
    int pixels = textHeight;
    tabFont.setPixelSize(pixels);
    while (pixels > 8 && QFontMetrics(tabFont).height() > textHeight)
        tabFont.setPixelSize(--pixels);
    m_tabs->setFont(tabFont);
    m_tabs->setStyleSheet(
        QStringLiteral("QTabBar::tab { height: %1px; padding: 0px 10px; margin: 0px 0px 0px -1px;"
                       " border: 1px solid palette(mid); background: palette(button); color: palette(button-text); }"
                       "QTabBar::tab:first { margin-left: 0px; }"
                       "QTabBar::tab:selected { border-top-color: palette(base); background: palette(base); }")
            .arg(textHeight));
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
    paintPictureFrame(p);
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

} // namespace cell
