#include "designer/DesignerIcons.h"

#include "app/IconFactory.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace designer {

namespace {

const QColor kInk(0x33, 0x3a, 0x45);
const QColor kBlue(0x2a, 0x6c, 0xc8);
const QColor kRed(0xc8, 0x32, 0x2a);
const QColor kGreen(0x2e, 0x8b, 0x3e);
const QColor kPaper(0xfc, 0xfd, 0xff);
const QColor kGrid(0x9a, 0xa6, 0xb5);

using Drawing = std::function<void(QPainter&)>;

void text(QPainter& p, const QString& t, const QColor& color, int size, bool bold = true, bool italic = false,
          bool underline = false, const QRectF& r = QRectF(0, 0, 32, 32))
{
    QFont f = p.font();
    f.setPixelSize(size);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    p.setFont(f);
    p.setPen(color);
    p.drawText(r, Qt::AlignCenter, t);
}

// A 3 x 3 block of cells inside (4,4)-(28,28), with the grid in light grey.
void cells(QPainter& p, bool gridLines = true)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 4, 24, 24));
    if (!gridLines)
        return;
    p.setPen(QPen(kGrid, 1));
    for (int i = 0; i <= 3; ++i) {
        p.drawLine(QPointF(4 + 8 * i, 4), QPointF(4 + 8 * i, 28));
        p.drawLine(QPointF(4, 4 + 8 * i), QPointF(28, 4 + 8 * i));
    }
}

void heavy(QPainter& p, QPointF a, QPointF b, const QColor& c = kInk, double w = 2.6)
{
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(a, b);
}

void dotted(QPainter& p, QPointF a, QPointF b)
{
    p.setPen(QPen(kRed, 2, Qt::DotLine));
    p.drawLine(a, b);
}

void eraser(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xf2, 0x8c, 0xa0));
    QPolygonF poly;
    poly << QPointF(18, 30) << QPointF(30, 18) << QPointF(25, 13) << QPointF(13, 25);
    p.drawPolygon(poly);
}

void bars(QPainter& p, const QList<std::pair<double, double>>& lines)   // x offset, width of each text line
{
    for (int i = 0; i < lines.size(); ++i)
        heavy(p, QPointF(lines[i].first, 7 + 6 * i), QPointF(lines[i].first + lines[i].second, 7 + 6 * i), kInk, 2.2);
}

void arrowHead(QPainter& p, QPointF tip, QPointF from, const QColor& c)
{
    QLineF l(tip, from);
    l.setLength(6);
    QLineF a = l, b = l;
    a.setAngle(l.angle() + 35);
    b.setAngle(l.angle() - 35);
    heavy(p, tip, a.p2(), c, 2.2);
    heavy(p, tip, b.p2(), c, 2.2);
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c = kBlue)
{
    heavy(p, from, to, c, 2.2);
    arrowHead(p, to, from, c);
}

void badge(QPainter& p, const QString& t, const QColor& c, const QRectF& r = QRectF(17, 17, 14, 14))
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(r);
    text(p, t, Qt::white, 11, true, false, false, r);
}

// Rows or columns being inserted / appended / deleted: a grid with one band marked.
void rowCol(QPainter& p, bool rows, int band, const QString& mark, const QColor& c)
{
    cells(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(c.red(), c.green(), c.blue(), 90));
    if (rows)
        p.drawRect(QRectF(4, 4 + 8 * band, 24, 8));
    else
        p.drawRect(QRectF(4 + 8 * band, 4, 8, 24));
    badge(p, mark, c);
}

const QHash<QString, Drawing>& drawings()
{
    static const QHash<QString, Drawing> table = {
        {QStringLiteral("bold"), [](QPainter& p) { text(p, QStringLiteral("B"), kInk, 22); }},
        {QStringLiteral("italic"), [](QPainter& p) { text(p, QStringLiteral("I"), kInk, 22, true, true); }},
        {QStringLiteral("underline"), [](QPainter& p) { text(p, QStringLiteral("U"), kInk, 20, true, false, true); }},
        {QStringLiteral("alignleft"), [](QPainter& p) { bars(p, {{4, 24}, {4, 16}, {4, 24}, {4, 12}}); }},
        {QStringLiteral("aligncenter"), [](QPainter& p) { bars(p, {{4, 24}, {8, 16}, {4, 24}, {10, 12}}); }},
        {QStringLiteral("alignright"), [](QPainter& p) { bars(p, {{4, 24}, {12, 16}, {4, 24}, {16, 12}}); }},
        {QStringLiteral("wrap"),
         [](QPainter& p) {
             heavy(p, QPointF(4, 8), QPointF(26, 8), kInk, 2.2);
             QPainterPath path(QPointF(4, 15));
             path.lineTo(22, 15);
             path.arcTo(QRectF(18, 15, 8, 8), 90, -180);
             path.lineTo(14, 23);
             p.setPen(QPen(kBlue, 2.2));
             p.setBrush(Qt::NoBrush);
             p.drawPath(path);
             arrowHead(p, QPointF(12, 23), QPointF(18, 23), kBlue);
         }},
        {QStringLiteral("backcolor"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xff, 0xe0, 0x4a));
             p.drawRect(QRectF(5, 5, 22, 17));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0xff, 0xc8, 0x00));
             p.drawRect(QRectF(3, 25, 26, 5));
         }},
        {QStringLiteral("textcolor"),
         [](QPainter& p) {
             text(p, QStringLiteral("A"), kInk, 20, true, false, false, QRectF(0, 0, 32, 25));
             p.setPen(Qt::NoPen);
             p.setBrush(kRed);
             p.drawRect(QRectF(3, 25, 26, 5));
         }},
        {QStringLiteral("drawgrid"),
         [](QPainter& p) {
             cells(p, false);
             p.setPen(QPen(kInk, 1.6));
             for (int i = 0; i <= 3; ++i) {
                 p.drawLine(QPointF(4 + 8 * i, 4), QPointF(4 + 8 * i, 28));
                 p.drawLine(QPointF(4, 4 + 8 * i), QPointF(28, 4 + 8 * i));
             }
         }},
        {QStringLiteral("drawframe"),
         [](QPainter& p) {
             cells(p);
             p.setPen(QPen(kInk, 2.4));
             p.setBrush(Qt::NoBrush);
             p.drawRect(QRectF(4, 4, 24, 24));
         }},
        {QStringLiteral("drawtop"), [](QPainter& p) { cells(p); heavy(p, QPointF(4, 4), QPointF(28, 4)); }},
        {QStringLiteral("drawbottom"), [](QPainter& p) { cells(p); heavy(p, QPointF(4, 28), QPointF(28, 28)); }},
        {QStringLiteral("drawleft"), [](QPainter& p) { cells(p); heavy(p, QPointF(4, 4), QPointF(4, 28)); }},
        {QStringLiteral("drawright"), [](QPainter& p) { cells(p); heavy(p, QPointF(28, 4), QPointF(28, 28)); }},
        {QStringLiteral("drawslash"), [](QPainter& p) { cells(p); heavy(p, QPointF(4, 28), QPointF(28, 4), kInk, 2); }},
        {QStringLiteral("drawbackslash"),
         [](QPainter& p) { cells(p); heavy(p, QPointF(4, 4), QPointF(28, 28), kInk, 2); }},
        {QStringLiteral("erasegrid"),
         [](QPainter& p) {
             cells(p, false);
             p.setPen(QPen(kInk, 1.4, Qt::DotLine));
             for (int i = 0; i <= 3; ++i) {
                 p.drawLine(QPointF(4 + 8 * i, 4), QPointF(4 + 8 * i, 28));
                 p.drawLine(QPointF(4, 4 + 8 * i), QPointF(28, 4 + 8 * i));
             }
             eraser(p);
         }},
        {QStringLiteral("eraseframe"),
         [](QPainter& p) {
             cells(p);
             p.setPen(QPen(kRed, 1.6, Qt::DotLine));
             p.setBrush(Qt::NoBrush);
             p.drawRect(QRectF(4, 4, 24, 24));
             eraser(p);
         }},
        {QStringLiteral("eraseleft"), [](QPainter& p) { cells(p); dotted(p, QPointF(4, 4), QPointF(4, 28)); eraser(p); }},
        {QStringLiteral("eraseright"), [](QPainter& p) { cells(p); dotted(p, QPointF(28, 4), QPointF(28, 28)); eraser(p); }},
        {QStringLiteral("erasetop"), [](QPainter& p) { cells(p); dotted(p, QPointF(4, 4), QPointF(28, 4)); eraser(p); }},
        {QStringLiteral("erasebottom"), [](QPainter& p) { cells(p); dotted(p, QPointF(4, 28), QPointF(28, 28)); eraser(p); }},
        {QStringLiteral("eraseslash"), [](QPainter& p) { cells(p); dotted(p, QPointF(4, 28), QPointF(28, 4)); eraser(p); }},
        {QStringLiteral("erasebackslash"), [](QPainter& p) { cells(p); dotted(p, QPointF(4, 4), QPointF(28, 28)); eraser(p); }},
        {QStringLiteral("merge"),
         [](QPainter& p) {
             cells(p);
             p.setPen(QPen(kBlue, 1.6));
             p.setBrush(QColor(0xd8, 0xe6, 0xfa));
             p.drawRect(QRectF(4, 4, 24, 16));
             arrow(p, QPointF(8, 12), QPointF(14, 12));
             arrow(p, QPointF(24, 12), QPointF(18, 12));
         }},
        {QStringLiteral("mergerow"),
         [](QPainter& p) {
             cells(p);
             p.setPen(QPen(kBlue, 1.6));
             p.setBrush(QColor(0xd8, 0xe6, 0xfa));
             for (int r = 0; r < 3; ++r)
                 p.drawRect(QRectF(4, 4 + 8 * r, 24, 8));
         }},
        {QStringLiteral("mergecol"),
         [](QPainter& p) {
             cells(p);
             p.setPen(QPen(kBlue, 1.6));
             p.setBrush(QColor(0xd8, 0xe6, 0xfa));
             for (int c = 0; c < 3; ++c)
                 p.drawRect(QRectF(4 + 8 * c, 4, 8, 24));
         }},
        {QStringLiteral("unmerge"),
         [](QPainter& p) {
             cells(p);
             arrow(p, QPointF(14, 16), QPointF(6, 16), kRed);
             arrow(p, QPointF(18, 16), QPointF(26, 16), kRed);
         }},
        {QStringLiteral("insertcol"), [](QPainter& p) { rowCol(p, false, 1, QStringLiteral("+"), kGreen); }},
        {QStringLiteral("appendcol"), [](QPainter& p) { rowCol(p, false, 2, QStringLiteral("»"), kGreen); }},
        {QStringLiteral("deletecol"), [](QPainter& p) { rowCol(p, false, 1, QStringLiteral("−"), kRed); }},
        {QStringLiteral("insertrow"), [](QPainter& p) { rowCol(p, true, 1, QStringLiteral("+"), kGreen); }},
        {QStringLiteral("appendrow"), [](QPainter& p) { rowCol(p, true, 2, QStringLiteral("»"), kGreen); }},
        {QStringLiteral("deleterow"), [](QPainter& p) { rowCol(p, true, 1, QStringLiteral("−"), kRed); }},
        {QStringLiteral("tablesize"),
         [](QPainter& p) {
             cells(p);
             p.setPen(QPen(kBlue, 2));
             p.setBrush(Qt::NoBrush);
             p.drawRect(QRectF(4, 4, 16, 16));
             arrow(p, QPointF(28, 28), QPointF(21, 21));
         }},
        {QStringLiteral("sheetsize"),
         [](QPainter& p) {
             cells(p);
             arrow(p, QPointF(8, 30), QPointF(28, 30));
             arrow(p, QPointF(30, 8), QPointF(30, 28));
         }},
        {QStringLiteral("fixed"),
         [](QPainter& p) {
             cells(p);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0x2a, 0x6c, 0xc8, 80));
             p.drawRect(QRectF(4, 4, 24, 8));
             p.drawRect(QRectF(4, 12, 8, 16));
             heavy(p, QPointF(4, 12), QPointF(28, 12), kBlue, 2);
             heavy(p, QPointF(12, 4), QPointF(12, 28), kBlue, 2);
         }},
        {QStringLiteral("grid"), [](QPainter& p) { cells(p); }},
        {QStringLiteral("rmb"), [](QPainter& p) { text(p, QStringLiteral("¥"), kGreen, 22); }},
        {QStringLiteral("dollar"), [](QPainter& p) { text(p, QStringLiteral("$"), kGreen, 22); }},
        {QStringLiteral("euro"), [](QPainter& p) { text(p, QStringLiteral("€"), kGreen, 22); }},
        {QStringLiteral("percent"), [](QPainter& p) { text(p, QStringLiteral("%"), kInk, 22); }},
        {QStringLiteral("thousands"), [](QPainter& p) { text(p, QStringLiteral(",00"), kInk, 15); }},
        {QStringLiteral("date"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(kPaper);
             p.drawRect(QRectF(4, 6, 24, 22));
             p.setPen(Qt::NoPen);
             p.setBrush(kRed);
             p.drawRect(QRectF(4, 6, 24, 6));
             text(p, QStringLiteral("12"), kInk, 11, true, false, false, QRectF(4, 12, 24, 16));
         }},
        {QStringLiteral("time"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.6));
             p.setBrush(kPaper);
             p.drawEllipse(QRectF(4, 4, 24, 24));
             heavy(p, QPointF(16, 16), QPointF(16, 8), kInk, 2);
             heavy(p, QPointF(16, 16), QPointF(22, 19), kInk, 2);
         }},
        {QStringLiteral("lock"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 2.4));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(10, 4, 12, 14), 0, 180 * 16);
             heavy(p, QPointF(10, 11), QPointF(10, 15), kInk, 2.4);
             heavy(p, QPointF(22, 11), QPointF(22, 15), kInk, 2.4);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0xd9, 0xa4, 0x1f));
             p.drawRoundedRect(QRectF(7, 15, 18, 13), 2, 2);
         }},
        {QStringLiteral("unlock"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 2.4));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(16, 2, 12, 14), 0, 180 * 16);
             heavy(p, QPointF(28, 9), QPointF(28, 13), kInk, 2.4);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0x9c, 0xb8, 0x5a));
             p.drawRoundedRect(QRectF(4, 15, 18, 13), 2, 2);
         }},
        {QStringLiteral("cut"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 2));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(5, 20, 8, 8));
             p.drawEllipse(QRectF(19, 20, 8, 8));
             heavy(p, QPointF(11, 21), QPointF(22, 4), kInk, 2);
             heavy(p, QPointF(21, 21), QPointF(10, 4), kInk, 2);
         }},
        {QStringLiteral("copy"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xe6, 0xec, 0xf4));
             p.drawRect(QRectF(4, 4, 15, 19));
             p.setBrush(kPaper);
             p.drawRect(QRectF(12, 10, 15, 19));
         }},
        {QStringLiteral("paste"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xc9, 0x9a, 0x5b));
             p.drawRoundedRect(QRectF(5, 5, 18, 23), 2, 2);
             p.setBrush(kPaper);
             p.drawRect(QRectF(13, 12, 15, 17));
             p.setBrush(kGrid);
             p.drawRect(QRectF(10, 3, 8, 5));
         }},
        {QStringLiteral("specialpaste"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xc9, 0x9a, 0x5b));
             p.drawRoundedRect(QRectF(5, 5, 18, 23), 2, 2);
             badge(p, QStringLiteral("S"), kBlue);
         }},
        {QStringLiteral("undo"),
         [](QPainter& p) {
             p.setPen(QPen(kBlue, 2.6));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(8, 8, 18, 16), -90 * 16, 240 * 16);
             arrowHead(p, QPointF(7, 13), QPointF(12, 9), kBlue);
         }},
        {QStringLiteral("redo"),
         [](QPainter& p) {
             p.setPen(QPen(kBlue, 2.6));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(6, 8, 18, 16), -90 * 16, -240 * 16);
             arrowHead(p, QPointF(25, 13), QPointF(20, 9), kBlue);
         }},
        {QStringLiteral("selectall"),
         [](QPainter& p) {
             cells(p);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0x2a, 0x6c, 0xc8, 70));
             p.drawRect(QRectF(4, 4, 24, 24));
         }},
        {QStringLiteral("clear"), [](QPainter& p) { cells(p); eraser(p); }},
        {QStringLiteral("replace"), [](QPainter& p) { text(p, QStringLiteral("ab"), kInk, 12, true, false, false, QRectF(0, 0, 20, 16)); arrow(p, QPointF(8, 24), QPointF(26, 24)); }},
        {QStringLiteral("hyperlink"),
         [](QPainter& p) {
             p.setPen(QPen(kBlue, 2.6));
             p.setBrush(Qt::NoBrush);
             p.drawRoundedRect(QRectF(3, 11, 15, 10), 5, 5);
             p.drawRoundedRect(QRectF(14, 11, 15, 10), 5, 5);
         }},
        {QStringLiteral("specialchar"), [](QPainter& p) { text(p, QStringLiteral("Ω"), kInk, 22); }},
        {QStringLiteral("filldown"), [](QPainter& p) { cells(p); arrow(p, QPointF(16, 6), QPointF(16, 26)); }},
        {QStringLiteral("fillright"), [](QPainter& p) { cells(p); arrow(p, QPointF(6, 16), QPointF(26, 16)); }},
        {QStringLiteral("fillup"), [](QPainter& p) { cells(p); arrow(p, QPointF(16, 26), QPointF(16, 6)); }},
        {QStringLiteral("fillleft"), [](QPainter& p) { cells(p); arrow(p, QPointF(26, 16), QPointF(6, 16)); }},
        {QStringLiteral("fillrepeat"), [](QPainter& p) { cells(p); text(p, QStringLiteral("11"), kBlue, 13); }},
        {QStringLiteral("fillarith"), [](QPainter& p) { cells(p); text(p, QStringLiteral("123"), kBlue, 11); }},
        {QStringLiteral("fillgeom"), [](QPainter& p) { cells(p); text(p, QStringLiteral("248"), kBlue, 11); }},
        {QStringLiteral("serial"), [](QPainter& p) { cells(p); text(p, QStringLiteral("1‥n"), kGreen, 11); }},
        {QStringLiteral("rowsum"), [](QPainter& p) { text(p, QStringLiteral("Σ"), kInk, 22, true, false, false, QRectF(0, 0, 24, 32)); arrow(p, QPointF(20, 26), QPointF(30, 26)); }},
        {QStringLiteral("colsum"), [](QPainter& p) { text(p, QStringLiteral("Σ"), kInk, 22, true, false, false, QRectF(0, 0, 24, 32)); arrow(p, QPointF(27, 12), QPointF(27, 28)); }},
        {QStringLiteral("bothsum"), [](QPainter& p) { text(p, QStringLiteral("Σ"), kInk, 22, true, false, false, QRectF(0, 0, 24, 28)); badge(p, QStringLiteral("+"), kBlue); }},
        {QStringLiteral("sortasc"),
         [](QPainter& p) {
             text(p, QStringLiteral("A"), kInk, 11, true, false, false, QRectF(2, 2, 14, 13));
             text(p, QStringLiteral("Z"), kInk, 11, true, false, false, QRectF(2, 17, 14, 13));
             arrow(p, QPointF(23, 4), QPointF(23, 28));
         }},
        {QStringLiteral("sortdesc"),
         [](QPainter& p) {
             text(p, QStringLiteral("Z"), kInk, 11, true, false, false, QRectF(2, 2, 14, 13));
             text(p, QStringLiteral("A"), kInk, 11, true, false, false, QRectF(2, 17, 14, 13));
             arrow(p, QPointF(23, 4), QPointF(23, 28));
         }},
        {QStringLiteral("formula"), [](QPainter& p) { text(p, QStringLiteral("fx"), kBlue, 18, true, true); }},
        {QStringLiteral("calculate"), [](QPainter& p) { text(p, QStringLiteral("="), kInk, 24); }},
        {QStringLiteral("check"),
         [](QPainter& p) {
             p.setPen(QPen(kGreen, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             QPolygonF tick;
             tick << QPointF(6, 17) << QPointF(13, 24) << QPointF(26, 8);
             p.drawPolyline(tick);
         }},
        {QStringLiteral("chart"),
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             p.drawRect(QRectF(6, 16, 5, 12));
             p.setBrush(kGreen);
             p.drawRect(QRectF(13, 8, 5, 20));
             p.setBrush(kRed);
             p.drawRect(QRectF(20, 12, 5, 16));
             heavy(p, QPointF(4, 28), QPointF(28, 28), kInk, 1.6);
         }},
        {QStringLiteral("picture"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xcf, 0xe6, 0xff));
             p.drawRect(QRectF(3, 6, 26, 20));
             p.setPen(Qt::NoPen);
             p.setBrush(kGreen);
             QPolygonF hill;
             hill << QPointF(4, 25) << QPointF(13, 14) << QPointF(20, 21) << QPointF(24, 17) << QPointF(28, 25);
             p.drawPolygon(hill);
             p.setBrush(QColor(0xff, 0xc8, 0x00));
             p.drawEllipse(QRectF(20, 8, 5, 5));
         }},
        {QStringLiteral("delpicture"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xcf, 0xe6, 0xff));
             p.drawRect(QRectF(3, 6, 22, 17));
             badge(p, QStringLiteral("×"), kRed);
         }},
        {QStringLiteral("brush"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xff, 0xe0, 0x4a));
             p.drawRect(QRectF(4, 4, 22, 9));
             heavy(p, QPointF(15, 13), QPointF(15, 18), kInk, 2);
             p.setBrush(QColor(0x8b, 0x5a, 0x2b));
             p.drawRect(QRectF(12, 18, 6, 11));
         }},
        {QStringLiteral("formatcell"), [](QPainter& p) { cells(p); badge(p, QStringLiteral("A"), kBlue); }},
        {QStringLiteral("linedialog"), [](QPainter& p) { cells(p); heavy(p, QPointF(4, 28), QPointF(28, 4), kBlue, 2); }},
        {QStringLiteral("backpicture"), [](QPainter& p) { cells(p); badge(p, QStringLiteral("▲"), kGreen); }},
        {QStringLiteral("fillopt"),
         [](QPainter& p) {
             cells(p);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0xff, 0xe0, 0x4a));
             p.drawRect(QRectF(12, 4, 16, 8));
             badge(p, QStringLiteral("i"), kBlue);
         }},
        {QStringLiteral("projectinfo"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(kPaper);
             p.drawRect(QRectF(5, 3, 20, 26));
             bars(p, {{9, 12}, {9, 8}, {9, 12}});
             badge(p, QStringLiteral("↓"), kGreen);
         }},
        {QStringLiteral("importexcel"), [](QPainter& p) { badge(p, QStringLiteral("X"), kGreen, QRectF(3, 3, 22, 22)); arrow(p, QPointF(30, 30), QPointF(20, 20)); }},
        {QStringLiteral("exportexcel"), [](QPainter& p) { badge(p, QStringLiteral("X"), kGreen, QRectF(3, 3, 22, 22)); arrow(p, QPointF(20, 20), QPointF(30, 30)); }},
        {QStringLiteral("pdf"), [](QPainter& p) { badge(p, QStringLiteral("P"), kRed, QRectF(3, 3, 24, 24)); }},
        {QStringLiteral("pagesetup"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(kPaper);
             p.drawRect(QRectF(6, 3, 20, 26));
             p.setPen(QPen(kGrid, 1, Qt::DashLine));
             p.drawRect(QRectF(9, 6, 14, 20));
         }},
        {QStringLiteral("back"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(0xe6, 0xec, 0xf4));
             p.drawRect(QRectF(14, 4, 14, 24));
             arrow(p, QPointF(20, 16), QPointF(4, 16), kRed);
         }},
    };
    return table;
}

} // namespace

QIcon designerIcon(const QString& key)
{
    static QHash<QString, QIcon> cache;
    const auto cached = cache.constFind(key);
    if (cached != cache.constEnd())
        return cached.value();
    // The pictures the main window has already.
    static const QStringList shared = {QStringLiteral("save"), QStringLiteral("print"), QStringLiteral("printdlg"),
                                       QStringLiteral("preview"), QStringLiteral("find"), QStringLiteral("about")};
    QIcon icon;
    if (shared.contains(key)) {
        icon = IconFactory::actionIcon(key);
    } else {
        const auto it = drawings().constFind(key);
        if (it == drawings().constEnd())
            return {};
        QPixmap pm(64, 64);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(2, 2);
            it.value()(p);
        }
        pm.setDevicePixelRatio(2);
        icon.addPixmap(pm, QIcon::Normal);
        icon.addPixmap(IconFactory::greyed(pm), QIcon::Disabled);
    }
    cache.insert(key, icon);
    return icon;
}

}  // namespace designer
