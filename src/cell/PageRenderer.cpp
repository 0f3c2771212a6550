#include "cell/PageRenderer.h"

#include "cell/Charts.h"

#include "cell/NumberFormat.h"

#include <QCache>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace cell {

namespace {

const QString kCjkFamily = QStringLiteral("WenQuanYi Micro Hei");

bool nameIn(const QString& name, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (name.compare(QString::fromUtf8(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QStringList serifFamilies() { return {QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif"), kCjkFamily}; }
QStringList sansFamilies() { return {QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans"), kCjkFamily}; }
QStringList monoFamilies()
{
    return {QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono"), kCjkFamily};
}

bool familyInstalled(const QString& name)
{
    static const QStringList installed = QFontDatabase::families();
    return installed.contains(name, Qt::CaseInsensitive);
}

// Sheet pixels of a dash pattern, given in units of the pen width as Qt wants them.
QPen dashedPen(qreal width, std::initializer_list<qreal> pixels)
{
    QPen pen(Qt::black, width, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    QList<qreal> pattern;
    for (qreal px : pixels)
        pattern << px / width;
    pen.setDashPattern(pattern);
    return pen;
}

QImage pictureImage(const QByteArray& data)
{
    static QCache<QByteArray, QImage> cache(64 * 1024);   // cost in KiB
    // Pictures are keyed by their bytes' hash and size; decoding each repaint would make scrolling sluggish.
    QByteArray key = QByteArray::number(qHash(data)) + '/' + QByteArray::number(data.size());
    if (QImage* img = cache.object(key))
        return *img;
    QImage img = QImage::fromData(data);
    if (!img.isNull())
        cache.insert(key, new QImage(img), int(std::max<qsizetype>(1, img.sizeInBytes() / 1024)));
    return img;
}

bool isTextValue(const Cell* c) { return c && std::holds_alternative<QString>(c->value); }

} // namespace

namespace {
struct Paper {
    int code;
    QPageSize::PageSizeId id;
    const char* name;
};
const Paper kPapers[] = {
    {9, QPageSize::A4, "A4 (210 × 297 毫米)"},      {8, QPageSize::A3, "A3 (297 × 420 毫米)"},
    {11, QPageSize::A5, "A5 (148 × 210 毫米)"},     {66, QPageSize::A2, "A2 (420 × 594 毫米)"},
    {12, QPageSize::JisB4, "B4 (257 × 364 毫米)"},  {13, QPageSize::JisB5, "B5 (182 × 257 毫米)"},
    {93, QPageSize::Prc16K, "16开 (146 × 215 毫米)"}, {94, QPageSize::Prc32K, "32开 (97 × 151 毫米)"},
    {1, QPageSize::Letter, "Letter (8.5 × 11 英寸)"}, {5, QPageSize::Legal, "Legal (8.5 × 14 英寸)"},
    {7, QPageSize::Executive, "Executive (7.25 × 10.5 英寸)"},
};
} // namespace

QPageSize::PageSizeId paperSize(int code)
{
    for (const Paper& p : kPapers)
        if (p.code == code)
            return p.id;
    return QPageSize::A4;
}

int paperCode(QPageSize::PageSizeId id)
{
    for (const Paper& p : kPapers)
        if (p.id == id)
            return p.code;
    return 9;
}

QList<QPair<int, QString>> paperChoices()
{
    QList<QPair<int, QString>> list;
    for (const Paper& p : kPapers)
        list.append({p.code, QString::fromUtf8(p.name)});
    return list;
}

QStringList fontFamiliesFor(const QString& fontName)
{
    const QString name = fontName.trimmed();
    if (nameIn(name, {"宋体", "新宋体", "仿宋", "仿宋_GB2312", "楷体", "楷体_GB2312", "隶书", "华文宋体", "华文仿宋",
                      "华文楷体", "华文中宋", "方正小标宋简体", "SimSun", "NSimSun", "FangSong", "KaiTi", "STSong",
                      "Times New Roman", "Times", "Georgia", "Cambria", "Garamond", "Book Antiqua"}))
        return serifFamilies();
    if (nameIn(name, {"黑体", "微软雅黑", "幼圆", "华文细黑", "华文黑体", "SimHei", "Microsoft YaHei", "YouYuan",
                      "Arial", "Helvetica", "Tahoma", "Verdana", "Calibri", "Segoe UI", "MS Sans Serif"}))
        return sansFamilies();
    if (nameIn(name, {"Courier New", "Courier", "Consolas", "Lucida Console", "Fixedsys"}))
        return monoFamilies();
    // Another installed font is used as named (Noto CJK excepted: its PDF text does not extract as written).
    if (!name.isEmpty() && familyInstalled(name) && !name.contains(QLatin1String("CJK"), Qt::CaseInsensitive))
        return {name, kCjkFamily};
    return serifFamilies();
}

QFont cellFont(const Workbook& wb, const CellFormat& f)
{
    QFont font;
    font.setFamilies(fontFamiliesFor(wb.fonts.value(f.font)));
    font.setPixelSize(std::max(1, int(std::lround(std::clamp(f.fontSize, 1, 2000) * SheetDpi / 72.0))));
    font.setBold(f.fontStyle & 2);
    font.setItalic(f.fontStyle & 4);
    font.setUnderline(f.fontStyle & 8);
    font.setHintingPreference(QFont::PreferNoHinting);   // the same advances on screen and paper
    return font;
}

QPen linePen(const Line& line)
{
    QPen pen;
    switch (line.style) {
    case 0:
        return QPen(Qt::NoPen);
    case 3:
        pen = QPen(Qt::black, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        break;
    case 4:
        pen = QPen(Qt::black, 2.25, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        break;
    case 5:
        pen = dashedPen(0.75, {4, 2});
        break;
    case 6:
        pen = dashedPen(0.75, {1, 1.5});
        break;
    case 7:
        pen = dashedPen(0.75, {5, 2, 1, 2});
        break;
    case 8:
        pen = dashedPen(0.75, {5, 2, 1, 2, 1, 2});
        break;
    case 9:
        pen = dashedPen(1.5, {5, 2.5});
        break;
    case 10:
        pen = dashedPen(1.5, {1.5, 1.5});
        break;
    case 11:
        pen = dashedPen(1.5, {6, 2.5, 1.5, 2.5});
        break;
    case 12:
        pen = dashedPen(1.5, {6, 2.5, 1.5, 2.5, 1.5, 2.5});
        break;
    default:   // 2 thin, 255 and unknown codes
        pen = QPen(Qt::black, 0.75, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        break;
    }
    pen.setColor(QColor::fromRgba(line.color | 0xff000000u));
    return pen;
}

QColor tableColor(const Workbook& wb, int index, const QColor& fallback)
{
    if (index < 0 || index >= wb.colors.size())
        return fallback;
    return QColor::fromRgb(wb.colors.at(index));
}

// ---- SheetPainter ------------------------------------------------------------------------------------------------

SheetPainter::SheetPainter(const Workbook& wb, const Sheet& sheet) : m_wb(wb), m_sheet(sheet) {}

QFont SheetPainter::fontOf(const CellFormat& f) const
{
    quint64 key = (quint64(quint32(f.font)) << 32) | (quint64(quint16(f.fontSize)) << 8) | quint64(f.fontStyle & 0xff);
    auto it = m_fonts.constFind(key);
    if (it != m_fonts.constEnd())
        return it.value();
    QFont font = cellFont(m_wb, f);
    m_fonts.insert(key, font);
    return font;
}

int SheetPainter::textFlags(const Cell* c) const
{
    int flags = 0;
    const int align = c ? c->format.align : 0;
    switch (align & HAlignMask) {
    case AlignLeft:
        flags |= Qt::AlignLeft;
        break;
    case AlignRight:
        flags |= Qt::AlignRight;
        break;
    case AlignHCenter:
        flags |= Qt::AlignHCenter;
        break;
    default:   // general: numbers right, truth values and errors centred, text left
        if (c && std::holds_alternative<double>(c->value))
            flags |= Qt::AlignRight;
        else if (c && (std::holds_alternative<bool>(c->value) || std::holds_alternative<ErrorValue>(c->value)))
            flags |= Qt::AlignHCenter;
        else
            flags |= Qt::AlignLeft;
    }
    switch (align & VAlignMask) {
    case AlignTop:
        flags |= Qt::AlignTop;
        break;
    case AlignBottom:
        flags |= Qt::AlignBottom;
        break;
    default:
        flags |= Qt::AlignVCenter;
    }
    if (c && (c->format.textStyle & 2))
        flags |= Qt::TextWordWrap;
    return flags;
}

QRectF SheetPainter::textRect(const QRectF& rect) { return rect.adjusted(2.5, 1, -2.5, -1); }

void SheetPainter::paintBackground(QPainter& p, const Block& b) const
{
    const Cell* c = m_sheet.cellAt(b.range.col1, b.range.row1);
    if (const RuleResult* r = ruleOf(b.range.col1, b.range.row1); r && qAlpha(r->backColor)) {
        p.fillRect(b.rect, QColor::fromRgba(r->backColor));
        return;
    }
    if (c && c->format.backColor >= 0 && c->format.backColor < m_wb.colors.size())
        p.fillRect(b.rect, tableColor(m_wb, c->format.backColor, Qt::white));
}

const RuleResult* SheetPainter::ruleOf(int col, int row) const
{
    if (m_sheet.ruleResults.isEmpty())
        return nullptr;
    const auto it = m_sheet.ruleResults.constFind(Sheet::key(col, row));
    return it == m_sheet.ruleResults.constEnd() ? nullptr : &it.value();
}

void SheetPainter::paintText(QPainter& p, const Block& b, const QRectF& clip) const
{
    const Cell* c = m_sheet.cellAt(b.range.col1, b.range.row1);
    if (!c)
        return;
    const RuleResult* rule = ruleOf(b.range.col1, b.range.row1);
    QString text = rule && rule->showsText ? rule->text : displayText(*c);
    if (text.isEmpty())
        return;
    QFont font = fontOf(c->format);
    const int flags = textFlags(c);
    if (std::holds_alternative<double>(c->value) && !(rule && rule->showsText) && !(flags & Qt::TextWordWrap)) {
        // A number that does not fit shows as #### rather than as a cut-off, misleading figure.
        const double room = textRect(clip).width();
        // Figures are narrower than 0.75 em: most numbers fit without being measured.
        if (text.size() * font.pixelSize() * 0.75 > room
            && QFontMetricsF(font).horizontalAdvance(text) > room + 0.5) {
            const QFontMetricsF fm(font);
            // A number in the general format gives up decimals to fit, as in any spreadsheet.
            if (c->format.numType == NumGeneral && c->format.decimals < 0 && c->format.separator != 2) {
                const double digit = std::max(1.0, fm.horizontalAdvance(QLatin1Char('0')));
                text = generalNumberText(std::get<double>(c->value), std::max(1, int(room / digit)));
            }
        }
        if (text.size() * font.pixelSize() * 0.75 > room
            && QFontMetricsF(font).horizontalAdvance(text) > room + 0.5) {
            const QFontMetricsF fm(font);
            text = QString(std::max(1, int(room / std::max(1.0, fm.horizontalAdvance(QLatin1Char('#'))))),
                           QLatin1Char('#'));
        }
    }
    QColor color = tableColor(m_wb, c->format.textColor, Qt::black);
    if (!c->hyperlink.isEmpty() && c->format.textColor < 0) {
        color = QColor(0, 0, 0xcc);
        font.setUnderline(true);
    }
    if (rule && qAlpha(rule->textColor))
        color = QColor::fromRgba(rule->textColor);
    p.save();
    p.setClipRect(clip, Qt::IntersectClip);
    p.setFont(font);
    p.setPen(color);
    // A text running into neighbours was given room on its aligned side only (both sides when centred), so its
    // position relative to its own cell is kept.
    p.drawText(textRect(clip), flags, text);
    p.restore();
}

void SheetPainter::paintDiagonals(QPainter& p, const Block& b) const
{
    const Cell* c = m_sheet.cellAt(b.range.col1, b.range.row1);
    if (!c)
        return;
    for (int k = 0; k < 2; ++k) {
        const Line& l = c->format.diagonal[k];
        if (!l.style)
            continue;
        p.save();
        p.setClipRect(b.rect, Qt::IntersectClip);
        p.setPen(linePen(l));
        if (k == 0)
            p.drawLine(b.rect.bottomLeft(), b.rect.topRight());
        else
            p.drawLine(b.rect.topLeft(), b.rect.bottomRight());
        p.restore();
    }
}

Line SheetPainter::edgeLine(int col, int row, int side) const
{
    if (const Cell* c = m_sheet.cellAt(col, row); c && c->format.border[side].style)
        return c->format.border[side];
    // The same edge seen from the neighbour's side.
    int nc = col, nr = row, opposite = (side + 2) % 4;
    switch (side) {
    case Left:
        --nc;
        break;
    case Right:
        ++nc;
        break;
    case Top:
        --nr;
        break;
    default:
        ++nr;
    }
    if (const Cell* n = m_sheet.cellAt(nc, nr))
        return n->format.border[opposite];
    return Line{};
}

void SheetPainter::paintBorders(QPainter& p, const Block& b) const
{
    const Range& r = b.range;
    const QRectF& rc = b.rect;
    auto draw = [&p](const Line& l, QPointF a, QPointF z) {
        if (!l.style)
            return;
        p.setPen(linePen(l));
        p.drawLine(a, z);
    };
    // Each edge of a block is made of one segment per cell along it; neighbouring segments of one style meet.
    if (r.width() == 1 && r.height() == 1) {
        draw(edgeLine(r.col1, r.row1, Top), rc.topLeft(), rc.topRight());
        draw(edgeLine(r.col1, r.row1, Bottom), rc.bottomLeft(), rc.bottomRight());
        draw(edgeLine(r.col1, r.row1, Left), rc.topLeft(), rc.bottomLeft());
        draw(edgeLine(r.col1, r.row1, Right), rc.topRight(), rc.bottomRight());
        return;
    }
    double x = rc.left();
    for (int c = r.col1; c <= r.col2; ++c) {
        double w = m_sheet.colWidth(c);
        if (w > 0) {
            draw(edgeLine(c, r.row1, Top), QPointF(x, rc.top()), QPointF(x + w, rc.top()));
            draw(edgeLine(c, r.row2, Bottom), QPointF(x, rc.bottom()), QPointF(x + w, rc.bottom()));
        }
        x += w;
    }
    double y = rc.top();
    for (int rr = r.row1; rr <= r.row2; ++rr) {
        double h = m_sheet.rowHeight(rr);
        if (h > 0) {
            draw(edgeLine(r.col1, rr, Left), QPointF(rc.left(), y), QPointF(rc.left(), y + h));
            draw(edgeLine(r.col2, rr, Right), QPointF(rc.right(), y), QPointF(rc.right(), y + h));
        }
        y += h;
    }
}

void SheetPainter::paintPicture(QPainter& p, const Picture& pic, const QRectF& rect) const
{
    QImage img = pictureImage(pic.data);
    if (img.isNull() || rect.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect, img);
    p.restore();
}

void SheetPainter::paintCell(QPainter& p, int col, int row, const QRectF& rect) const
{
    Block b{m_sheet.mergeAt(col, row), rect};
    paintBackground(p, b);
    paintText(p, b, rect);
    paintDiagonals(p, b);
    paintBorders(p, b);
}

void SheetPainter::paint(QPainter& p, const Range& area, const Options& opt) const
{
    if (area.isEmpty())
        return;
    // Offsets of the columns and rows of the area; cells left of or above it get negative offsets.
    QVector<double> xs(area.width() + 1), ys(area.height() + 1);
    for (int i = 0; i < area.width(); ++i)
        xs[i + 1] = xs[i] + m_sheet.colWidth(area.col1 + i);
    for (int i = 0; i < area.height(); ++i)
        ys[i + 1] = ys[i] + m_sheet.rowHeight(area.row1 + i);
    auto xOf = [&](int c) {
        if (c >= area.col1 && c <= area.col2 + 1)
            return xs[c - area.col1];
        double x = c < area.col1 ? 0 : xs.last();
        for (int k = c; k < area.col1; ++k)
            x -= m_sheet.colWidth(k);
        for (int k = area.col2 + 1; k < c; ++k)
            x += m_sheet.colWidth(k);
        return x;
    };
    auto yOf = [&](int r) {
        if (r >= area.row1 && r <= area.row2 + 1)
            return ys[r - area.row1];
        double y = r < area.row1 ? 0 : ys.last();
        for (int k = r; k < area.row1; ++k)
            y -= m_sheet.rowHeight(k);
        for (int k = area.row2 + 1; k < r; ++k)
            y += m_sheet.rowHeight(k);
        return y;
    };
    auto rectOf = [&](const Range& r) {
        return QRectF(QPointF(xOf(r.col1), yOf(r.row1)), QPointF(xOf(r.col2 + 1), yOf(r.row2 + 1)));
    };

    // The blocks to draw: every visible cell, merged blocks once.
    QHash<quint32, int> mergeOf;
    QList<Range> merges;
    for (const Range& m : m_sheet.merges) {
        if (!m.intersects(area))
            continue;
        merges << m;
        for (int r = std::max(m.row1, area.row1); r <= std::min(m.row2, area.row2); ++r)
            for (int c = std::max(m.col1, area.col1); c <= std::min(m.col2, area.col2); ++c)
                mergeOf.insert(Sheet::key(c, r), int(merges.size()) - 1);
    }
    QList<Block> blocks;
    blocks.reserve(area.width() * area.height());
    for (const Range& m : merges)
        blocks.append(Block{m, rectOf(m)});
    for (int r = area.row1; r <= area.row2; ++r) {
        if (m_sheet.rowHeight(r) <= 0)
            continue;
        for (int c = area.col1; c <= area.col2; ++c) {
            if (m_sheet.colWidth(c) <= 0 || mergeOf.contains(Sheet::key(c, r)))
                continue;
            blocks.append(Block{Range{c, r, c, r}, QRectF(xs[c - area.col1], ys[r - area.row1],
                                                          m_sheet.colWidth(c), m_sheet.rowHeight(r))});
        }
    }

    if (opt.backgroundPicture && !m_sheet.backgroundPicture.isEmpty()) {
        QImage bg = pictureImage(m_sheet.backgroundPicture);
        if (!bg.isNull())
            p.fillRect(QRectF(0, 0, xs.last(), ys.last()), QBrush(bg));
    }
    for (const Block& b : blocks)
        paintBackground(p, b);

    if (opt.gridLines && m_sheet.showGrid) {
        p.save();
        p.setPen(QPen(opt.gridColor, 0));
        for (const Block& b : blocks) {
            const Cell* c = m_sheet.cellAt(b.range.col1, b.range.row1);
            const RuleResult* r = ruleOf(b.range.col1, b.range.row1);
            if ((c && c->format.backColor >= 0) || (r && qAlpha(r->backColor)))
                continue;
            p.drawLine(b.rect.topRight(), b.rect.bottomRight());
            p.drawLine(b.rect.bottomLeft(), b.rect.bottomRight());
            if (b.range.col1 <= area.col1)
                p.drawLine(b.rect.topLeft(), b.rect.bottomLeft());
            if (b.range.row1 <= area.row1)
                p.drawLine(b.rect.topLeft(), b.rect.topRight());
        }
        p.restore();
    }

    for (const Block& b : blocks) {
        const Cell* c = m_sheet.cellAt(b.range.col1, b.range.row1);
        if (!c || c->isBlank())
            continue;
        QRectF clip = b.rect;
        // A long single-line text runs on into empty, unmerged neighbours, as in any spreadsheet.
        if (isTextValue(c) && b.range.width() == 1 && b.range.height() == 1 && !(c->format.textStyle & 2)) {
            const QString& text = std::get<QString>(c->value);
            const QFont font = fontOf(c->format);
            // No glyph is wider than about 1.1 em: short texts fit without being measured.
            double need = text.size() * font.pixelSize() * 1.1 + 5;
            if (need > b.rect.width())
                need = QFontMetricsF(font).horizontalAdvance(text) + 5;
            if (need > b.rect.width() && !text.contains(QLatin1Char('\n'))) {
                int flags = textFlags(c);
                auto freeCell = [&](int col) {
                    if (col < area.col1 || col > area.col2 || mergeOf.contains(Sheet::key(col, b.range.row1)))
                        return false;
                    const Cell* n = m_sheet.cellAt(col, b.range.row1);
                    return !n || n->isBlank();
                };
                double extra = need - b.rect.width();
                if (flags & Qt::AlignLeft) {
                    for (int col = b.range.col1 + 1; extra > 0 && freeCell(col); ++col) {
                        clip.setRight(clip.right() + m_sheet.colWidth(col));
                        extra -= m_sheet.colWidth(col);
                    }
                } else if (flags & Qt::AlignRight) {
                    for (int col = b.range.col1 - 1; extra > 0 && freeCell(col); --col) {
                        clip.setLeft(clip.left() - m_sheet.colWidth(col));
                        extra -= m_sheet.colWidth(col);
                    }
                } else {
                    for (int k = 1; extra > 0 && (freeCell(b.range.col1 - k) && freeCell(b.range.col1 + k)); ++k) {
                        clip.setLeft(clip.left() - m_sheet.colWidth(b.range.col1 - k));
                        clip.setRight(clip.right() + m_sheet.colWidth(b.range.col1 + k));
                        extra -= m_sheet.colWidth(b.range.col1 - k) + m_sheet.colWidth(b.range.col1 + k);
                    }
                }
            }
        }
        paintText(p, b, clip);
    }

    for (const Block& b : blocks)
        paintDiagonals(p, b);

    if (opt.pictures) {
        for (const Picture& pic : m_sheet.pictures)
            if (pic.anchor.intersects(area))
                paintPicture(p, pic, rectOf(pic.anchor));
        for (const Chart& chart : m_sheet.charts)
            if (chart.anchor.intersects(area))
                paintChart(p, m_wb, m_sheet, chart, rectOf(chart.anchor));
    }

    p.save();
    for (const Block& b : blocks)
        paintBorders(p, b);
    p.restore();
}

// ---- PageRenderer ------------------------------------------------------------------------------------------------

namespace {
const Sheet& sheetOf(const Workbook& wb, int index)
{
    if (index >= 0 && index < wb.sheets.size())
        return wb.sheets.at(index);
    return wb.sheets.at(std::clamp(wb.curSheet, 0, int(wb.sheets.size()) - 1));
}
} // namespace

PageRenderer::PageRenderer(const Workbook& wb, int sheet) : m_wb(wb), m_sheet(sheetOf(wb, sheet)) {}

QPageLayout PageRenderer::pageLayout() const
{
    const PageSetup& ps = m_sheet.page;
    QPageSize size(paperSize(ps.paper));
    QPageLayout::Orientation o = ps.landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    QSizeF mm = size.size(QPageSize::Millimeter);
    if (ps.landscape)
        mm.transpose();
    // Margins that would leave no paper are cut down to 40 % of the page each.
    auto clampMargin = [](double m, double extent) { return std::clamp(std::isfinite(m) ? m : 0.0, 0.0, extent * 0.4); };
    QMarginsF margins(clampMargin(ps.marginLeft, mm.width()), clampMargin(ps.marginTop, mm.height()),
                      clampMargin(ps.marginRight, mm.width()), clampMargin(ps.marginBottom, mm.height()));
    return QPageLayout(size, o, margins, QPageLayout::Millimeter);
}

Range PageRenderer::usedRange(const Sheet& sheet)
{
    int maxCol = 0, maxRow = 0;
    auto take = [&](int c, int r) {
        maxCol = std::max(maxCol, c);
        maxRow = std::max(maxRow, r);
    };
    for (auto it = sheet.cells.constBegin(); it != sheet.cells.constEnd(); ++it) {
        const Cell& c = it.value();
        const CellFormat& f = c.format;
        bool used = !c.isBlank() || f.backColor >= 0 || f.diagonal[0].style || f.diagonal[1].style;
        for (const Line& l : f.border)
            used = used || l.style;
        if (used)
            take(Sheet::keyCol(it.key()), Sheet::keyRow(it.key()));
    }
    for (const Range& m : sheet.merges)
        take(m.col2, m.row2);
    for (const Picture& p : sheet.pictures)
        take(p.anchor.col2, p.anchor.row2);
    for (const Chart& c : sheet.charts)
        take(c.anchor.col2, c.anchor.row2);
    maxCol = std::min(maxCol, sheet.cols - 1);
    maxRow = std::min(maxRow, sheet.rows - 1);
    if (maxCol < 1 || maxRow < 1)
        return Range{};
    return Range{1, 1, maxCol, maxRow};
}

Range PageRenderer::printRange() const
{
    Range area = m_sheet.page.printArea;
    if (area.isEmpty())
        return usedRange(m_sheet);
    area.col1 = std::max(area.col1, 1);
    area.row1 = std::max(area.row1, 1);
    area.col2 = std::min(area.col2, m_sheet.cols - 1);
    area.row2 = std::min(area.row2, m_sheet.rows - 1);
    return area.isEmpty() ? Range{} : area;
}

QList<int> PageRenderer::breaks(int first, int last, double available, bool columns) const
{
    const Range range = printRange();
    QList<Range> merges;
    for (const Range& m : m_sheet.merges)
        if (m.intersects(range))
            merges << m;
    auto size = [&](int i) { return columns ? m_sheet.colWidth(i) : m_sheet.rowHeight(i); };
    QList<int> starts;
    int i = first;
    while (i <= last) {
        starts << i;
        double acc = 0;
        int j = i;
        while (j <= last && (j == i || acc + size(j) <= available + 0.01)) {
            acc += size(j);
            ++j;
        }
        // Move the break before any merged block it would cut, unless the block itself starts the page.
        for (bool moved = true; moved && j <= last;) {
            moved = false;
            for (const Range& m : merges) {
                int a = columns ? m.col1 : m.row1, z = columns ? m.col2 : m.row2;
                if (a > i && a < j && z >= j) {
                    j = a;
                    moved = true;
                }
            }
        }
        i = j;
    }
    return starts;
}

void PageRenderer::layout(const QPageLayout& pageLayout)
{
    m_pages.clear();
    m_paintSize = pageLayout.paintRect(QPageLayout::Inch).size() * SheetDpi;
    m_scale = std::clamp(m_sheet.page.scale, 10, 400) / 100.0;
    const Range range = printRange();
    if (range.isEmpty() || m_paintSize.isEmpty())
        return;
    double total = 0;
    for (int c = range.col1; c <= range.col2; ++c)
        total += m_sheet.colWidth(c);
    if (m_sheet.page.fitToWidth && total * m_scale > m_paintSize.width() && total > 0)
        m_scale = m_paintSize.width() / total;
    const QList<int> colStarts = breaks(range.col1, range.col2, m_paintSize.width() / m_scale, true);
    const QList<int> rowStarts = breaks(range.row1, range.row2, m_paintSize.height() / m_scale, false);
    for (int ci = 0; ci < colStarts.size(); ++ci) {
        int c2 = ci + 1 < colStarts.size() ? colStarts[ci + 1] - 1 : range.col2;
        for (int ri = 0; ri < rowStarts.size(); ++ri) {
            int r2 = ri + 1 < rowStarts.size() ? rowStarts[ri + 1] - 1 : range.row2;
            m_pages << Range{colStarts[ci], rowStarts[ri], c2, r2};
        }
    }
}

void PageRenderer::paintPage(QPainter& p, int index, double dpi) const
{
    if (index < 0 || index >= m_pages.size())
        return;
    const Range r = m_pages.at(index);
    double w = 0, h = 0;
    for (int c = r.col1; c <= r.col2; ++c)
        w += m_sheet.colWidth(c);
    for (int rr = r.row1; rr <= r.row2; ++rr)
        h += m_sheet.rowHeight(rr);
    const double availW = m_paintSize.width() / m_scale, availH = m_paintSize.height() / m_scale;
    double dx = m_sheet.page.centerHorizontally ? std::max(0.0, (availW - w) / 2) : 0;
    double dy = m_sheet.page.centerVertically ? std::max(0.0, (availH - h) / 2) : 0;
    p.save();
    const double k = dpi / SheetDpi * m_scale;
    p.scale(k, k);
    p.translate(dx, dy);
    // Room for the outer borders' width; anything of a larger merged block beyond the page is cut.
    p.setClipRect(QRectF(-2, -2, w + 4, h + 4), Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    SheetPainter::Options opt;
    opt.gridLines = false;
    SheetPainter(m_wb, m_sheet).paint(p, r, opt);
    p.restore();
}

void PageRenderer::applyPageSetup(QPagedPaintDevice& device) const { device.setPageLayout(pageLayout()); }

bool PageRenderer::print(QPagedPaintDevice& device, int copies)
{
    layout(device.pageLayout());
    const QPageRanges ranges = device.pageRanges();
    QList<int> pages;
    for (int i = 0; i < pageCount(); ++i)
        if (ranges.isEmpty() || ranges.contains(i + 1))
            pages << i;
    QPainter p;
    if (!p.begin(&device))
        return false;
    const double dpi = device.logicalDpiX();
    bool first = true;
    for (int copy = 0; copy < std::max(1, copies); ++copy) {
        for (int i : pages) {
            if (!first && !device.newPage())
                return false;
            first = false;
            paintPage(p, i, dpi);
        }
    }
    return p.end();
}

} // namespace cell
