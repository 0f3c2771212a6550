#include "app/IconFactory.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&)>;

// Palette shared by all pictures, so the set looks like one family.
const QColor kInk(0x33, 0x3d, 0x4d);
const QColor kPaper(0xfb, 0xfc, 0xfe);
const QColor kBlue(0x2f, 0x6f, 0xc4);
const QColor kLightBlue(0x8d, 0xb8, 0xea);
const QColor kFolder(0xf2, 0xc1, 0x4e);
const QColor kFolderDark(0xc8, 0x8f, 0x1c);
const QColor kGreen(0x3a, 0x9a, 0x4a);
const QColor kRed(0xd2, 0x3f, 0x31);
const QColor kGrey(0x8a, 0x93, 0xa0);

QPen ink(qreal w = 1.6) { return QPen(kInk, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// A sheet of paper with a folded corner, in the 32 x 32 drawing space.
void page(QPainter& p, const QRectF& r = QRectF(7, 3, 19, 26), const QColor& fill = kPaper)
{
    QPainterPath path;
    const qreal fold = 6;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(ink(1.3));
    p.setBrush(fill);
    p.drawPath(path);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(0xdd, 0xe3, 0xec));
    p.drawPath(corner);
}

// Ruled grid lines of a form on a page.
void formLines(QPainter& p, const QRectF& r, const QColor& c = kBlue)
{
    p.setPen(QPen(c, 1.1));
    for (qreal y = r.top(); y <= r.bottom(); y += 4)
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    p.drawLine(QPointF(r.left() + r.width() * 0.38, r.top()), QPointF(r.left() + r.width() * 0.38, r.bottom()));
}

void folder(QPainter& p, const QColor& fill = kFolder, const QColor& dark = kFolderDark)
{
    QPainterPath back;
    back.moveTo(3, 9);
    back.lineTo(12, 9);
    back.lineTo(14.5, 6.5);
    back.lineTo(29, 6.5);
    back.lineTo(29, 26);
    back.lineTo(3, 26);
    back.closeSubpath();
    p.setPen(QPen(dark, 1.3));
    p.setBrush(dark.lighter(130));
    p.drawPath(back);
    QLinearGradient g(0, 11, 0, 27);
    g.setColorAt(0, fill.lighter(115));
    g.setColorAt(1, fill);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 11, 26, 15.5), 1.5, 1.5);
}

void badge(QPainter& p, const QColor& c, const QString& text, const QRectF& r = QRectF(15, 15, 16, 16))
{
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c);
    p.drawEllipse(r);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(int(r.height() * 0.72));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, qreal w = 3)
{
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    if (len <= 0)
        return;
    const QPointF u = d / len, n(-u.y(), u.x());
    const qreal head = 5.5;
    QPolygonF tri({to + u * 1.5, to - u * head + n * head * 0.8, to - u * head - n * head * 0.8});
    p.setBrush(c);
    p.setPen(QPen(c, 1));
    p.drawPolygon(tri);
}

void documentWithTag(QPainter& p, const QColor& tagColor, const QString& tag)
{
    page(p, QRectF(6, 3, 20, 26));
    p.setPen(QPen(kGrey, 1.1));
    for (qreal y = 9; y <= 14; y += 2.5)
        p.drawLine(QPointF(9, y), QPointF(20, y));
    QRectF tagRect(3, 16, 22, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(tagColor);
    p.drawRoundedRect(tagRect, 2, 2);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(tag.size() > 1 ? 8 : 10);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(tagRect, Qt::AlignCenter, tag);
}

void recycleBin(QPainter& p, bool full)
{
    QPainterPath body;
    body.moveTo(7, 10);
    body.lineTo(25, 10);
    body.lineTo(23, 29);
    body.lineTo(9, 29);
    body.closeSubpath();
    QLinearGradient g(7, 0, 25, 0);
    g.setColorAt(0, QColor(0xb9, 0xc6, 0xd6));
    g.setColorAt(0.5, QColor(0xe9, 0xef, 0xf6));
    g.setColorAt(1, QColor(0xa5, 0xb3, 0xc5));
    p.setPen(ink(1.3));
    p.setBrush(g);
    p.drawPath(body);
    p.setPen(QPen(kGrey, 1.2));
    for (qreal x = 12; x <= 20; x += 4)
        p.drawLine(QPointF(x, 13), QPointF(x - (x - 16) * 0.1, 26));
    if (full) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 3, 9, 8));
        p.setBrush(QColor(0xfd, 0xf1, 0xc7));
        p.save();
        p.translate(19, 6);
        p.rotate(20);
        p.drawRect(QRectF(-4, -3, 8, 7));
        p.restore();
    }
    p.setPen(ink(1.3));
    p.setBrush(QColor(0x9f, 0xae, 0xc2));
    p.drawRoundedRect(QRectF(5, 8.5, 22, 3), 1, 1);
}

// The node pictures by image index.
Draw nodeDrawing(int index)
{
    switch (index) {
    case 0:  // template: a bound set of blank forms
        return [](QPainter& p) {
            page(p, QRectF(10, 2, 18, 23), QColor(0xe4, 0xec, 0xf7));
            page(p, QRectF(5, 6, 18, 23));
            formLines(p, QRectF(8, 14, 12, 12), kGreen);
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawRect(QRectF(8, 9, 9, 3));
        };
    case 1:  // folder: common part, division, archive category
        return [](QPainter& p) { folder(p); };
    case 2:  // data category: folder with a form sheet
        return [](QPainter& p) {
            folder(p, QColor(0x8f, 0xc4, 0x6b), QColor(0x4f, 0x8a, 0x3a));
            p.setPen(QPen(Qt::white, 1.4));
            for (qreal y = 15; y <= 23; y += 4)
                p.drawLine(QPointF(7, y), QPointF(25, y));
        };
    case 3:  // form style: an empty ruled form
        return [](QPainter& p) {
            page(p);
            formLines(p, QRectF(10, 11, 13, 15));
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawRect(QRectF(10, 6, 8, 3));
        };
    case 12:  // library root
        return [](QPainter& p) {
            QLinearGradient g(0, 4, 0, 28);
            g.setColorAt(0, QColor(0x5d, 0x93, 0xd8));
            g.setColorAt(1, QColor(0x2a, 0x5c, 0xa8));
            p.setPen(QPen(QColor(0x1f, 0x46, 0x84), 1.2));
            p.setBrush(g);
            for (int i = 0; i < 3; ++i)
                p.drawRoundedRect(QRectF(5 + i * 8, 6 + (i % 2) * 2, 7, 21 - (i % 2) * 2), 1, 1);
            p.setPen(QPen(Qt::white, 1.2));
            for (int i = 0; i < 3; ++i)
                p.drawLine(QPointF(7 + i * 8, 11 + (i % 2) * 2), QPointF(10 + i * 8, 11 + (i % 2) * 2));
            p.setPen(ink(1.6));
            p.drawLine(QPointF(3, 28.5), QPointF(29, 28.5));
        };
    case 13:  // project: a road sign over a folder
        return [](QPainter& p) {
            folder(p, QColor(0x6f, 0xa8, 0xe8), QColor(0x2f, 0x6f, 0xc4));
            QPainterPath road;
            road.moveTo(12, 26);
            road.lineTo(15, 13);
            road.lineTo(17, 13);
            road.lineTo(20, 26);
            road.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x3a, 0x42, 0x50));
            p.drawPath(road);
            p.setPen(QPen(QColor(0xff, 0xd8, 0x4a), 1.2, Qt::DashLine));
            p.drawLine(QPointF(16, 14), QPointF(16, 25.5));
        };
    case 14:  // filled form
        return [](QPainter& p) {
            page(p);
            formLines(p, QRectF(10, 11, 13, 15));
            p.setPen(QPen(kRed, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(15, 15), QPointF(21, 15));
            p.drawLine(QPointF(15, 19), QPointF(20, 19));
            p.drawLine(QPointF(15, 23), QPointF(22, 23));
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawRect(QRectF(10, 6, 8, 3));
        };
    case 15:  // project overview
        return [](QPainter& p) {
            page(p);
            badge(p, kBlue, QStringLiteral("i"));
        };
    case 25:  // project overview, unavailable
        return [](QPainter& p) {
            page(p, QRectF(7, 3, 19, 26), QColor(0xee, 0xee, 0xee));
            badge(p, kGrey, QStringLiteral("i"));
        };
    case 31:  // archive cabinet
        return [](QPainter& p) {
            QLinearGradient g(6, 0, 26, 0);
            g.setColorAt(0, QColor(0x8a, 0x6a, 0x4a));
            g.setColorAt(1, QColor(0xb0, 0x8b, 0x63));
            p.setPen(QPen(QColor(0x5a, 0x43, 0x2c), 1.3));
            p.setBrush(g);
            p.drawRoundedRect(QRectF(6, 3, 20, 26), 1.5, 1.5);
            for (int i = 0; i < 3; ++i) {
                const QRectF d(8.5, 5.5 + i * 7.8, 15, 6.3);
                p.setBrush(QColor(0xc9, 0xa7, 0x7e));
                p.drawRect(d);
                p.setBrush(QColor(0xee, 0xe2, 0xc6));
                p.drawRect(QRectF(d.center().x() - 3, d.top() + 1.5, 6, 2.4));
            }
        };
    case 32:
        return [](QPainter& p) { recycleBin(p, false); };
    case 33:
        return [](QPainter& p) { recycleBin(p, true); };
    case 41:
        return [](QPainter& p) { documentWithTag(p, QColor(0xd9, 0x5b, 0x1f), QStringLiteral("W")); };
    case 42:
        return [](QPainter& p) { documentWithTag(p, kGrey, QStringLiteral("TXT")); };
    case 43:
        return [](QPainter& p) { documentWithTag(p, QColor(0x1f, 0x8a, 0xb5), QStringLiteral("e")); };
    case 44:
        return [](QPainter& p) { documentWithTag(p, QColor(0x6b, 0x6f, 0x8a), QStringLiteral("?")); };
    case 45:
        return [](QPainter& p) { documentWithTag(p, QColor(0x21, 0x84, 0x4a), QStringLiteral("X")); };
    case 46:
        return [](QPainter& p) { documentWithTag(p, QColor(0x29, 0x5c, 0xb5), QStringLiteral("W")); };
    default:
        return [](QPainter& p) { page(p); };
    }
}

void pencil(QPainter& p, QPointF tip, qreal angle)
{
    p.save();
    p.translate(tip);
    p.rotate(angle);
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xf5, 0xb9, 0x3b));
    p.drawRect(QRectF(4, -2.5, 14, 5));
    p.setBrush(QColor(0xe8, 0x8f, 0x8f));
    p.drawRect(QRectF(18, -2.5, 3, 5));
    QPolygonF tipPoly({QPointF(0, 0), QPointF(4, -2.5), QPointF(4, 2.5)});
    p.setBrush(QColor(0xf3, 0xdc, 0xb4));
    p.drawPolygon(tipPoly);
    p.restore();
}

void printer(QPainter& p)
{
    p.setPen(ink(1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 3, 14, 9));
    QLinearGradient g(0, 11, 0, 24);
    g.setColorAt(0, QColor(0xb6, 0xc2, 0xd2));
    g.setColorAt(1, QColor(0x7c, 0x8a, 0x9e));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 19, 14, 10));
    p.setPen(QPen(kGrey, 1));
    p.drawLine(QPointF(11, 23), QPointF(21, 23));
    p.drawLine(QPointF(11, 26), QPointF(19, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(24, 14, 2.5, 2.5));
}

void magnifier(QPainter& p, QPointF c, qreal r)
{
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(r * 0.7, r * 0.7), c + QPointF(r * 1.6, r * 1.6));
    p.setPen(QPen(kInk, 1.8));
    QRadialGradient g(c, r);
    g.setColorAt(0, QColor(0xe8, 0xf3, 0xff));
    g.setColorAt(1, kLightBlue);
    p.setBrush(g);
    p.drawEllipse(c, r, r);
}

void person(QPainter& p, QPointF at, qreal s, const QColor& c)
{
    p.setPen(QPen(c.darker(150), 1));
    p.setBrush(c);
    p.drawEllipse(QPointF(at.x(), at.y() - 5 * s), 4.2 * s, 4.2 * s);
    QPainterPath body;
    body.moveTo(at.x() - 8 * s, at.y() + 9 * s);
    body.cubicTo(at.x() - 8 * s, at.y() - 1 * s, at.x() + 8 * s, at.y() - 1 * s, at.x() + 8 * s, at.y() + 9 * s);
    body.closeSubpath();
    p.drawPath(body);
}

Draw actionDrawing(const QString& name)
{
    static const QHash<QString, Draw> drawings = {
        {QStringLiteral("new"),
         [](QPainter& p) {
             page(p, QRectF(5, 4, 18, 25));
             badge(p, kGreen, QStringLiteral("+"));
         }},
        {QStringLiteral("import"),
         [](QPainter& p) {
             folder(p);
             arrow(p, QPointF(16, 1), QPointF(16, 19), kGreen, 3.2);
         }},
        {QStringLiteral("export"),
         [](QPainter& p) {
             folder(p);
             arrow(p, QPointF(16, 21), QPointF(16, 2), kBlue, 3.2);
         }},
        {QStringLiteral("edit"),
         [](QPainter& p) {
             page(p, QRectF(4, 3, 18, 25));
             formLines(p, QRectF(7, 9, 12, 14));
             pencil(p, QPointF(13, 27), -55);
         }},
        {QStringLiteral("rename"),
         [](QPainter& p) {
             p.setPen(ink(1.2));
             p.setBrush(kPaper);
             p.drawRoundedRect(QRectF(2, 9, 28, 14), 2, 2);
             QFont f = p.font();
             f.setBold(true);
             f.setPixelSize(11);
             p.setFont(f);
             p.setPen(kBlue);
             p.drawText(QRectF(3, 9, 18, 14), Qt::AlignCenter, QStringLiteral("Ab"));
             p.setPen(QPen(kInk, 1.6));
             p.drawLine(QPointF(23, 6), QPointF(23, 26));
             p.drawLine(QPointF(20.5, 6), QPointF(25.5, 6));
             p.drawLine(QPointF(20.5, 26), QPointF(25.5, 26));
         }},
        {QStringLiteral("delete"),
         [](QPainter& p) {
             p.setPen(QPen(kRed, 5, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(8, 8), QPointF(24, 24));
             p.drawLine(QPointF(24, 8), QPointF(8, 24));
         }},
        {QStringLiteral("print"), [](QPainter& p) { printer(p); }},
        {QStringLiteral("printdlg"),
         [](QPainter& p) {
             printer(p);
             p.setPen(QPen(kInk, 1));
             p.setBrush(kFolder);
             p.drawRoundedRect(QRectF(20, 1, 11, 8), 1.5, 1.5);
             p.setPen(QPen(kInk, 1.2));
             p.drawLine(QPointF(22, 5), QPointF(29, 5));
         }},
        {QStringLiteral("preview"),
         [](QPainter& p) {
             page(p, QRectF(3, 2, 18, 25));
             formLines(p, QRectF(6, 8, 11, 14));
             magnifier(p, QPointF(19, 18), 6);
         }},
        {QStringLiteral("up"), [](QPainter& p) { arrow(p, QPointF(16, 28), QPointF(16, 5), kBlue, 4); }},
        {QStringLiteral("down"), [](QPainter& p) { arrow(p, QPointF(16, 4), QPointF(16, 27), kBlue, 4); }},
        {QStringLiteral("quickadd"),
         [](QPainter& p) {
             page(p, QRectF(10, 2, 17, 22), QColor(0xe4, 0xec, 0xf7));
             page(p, QRectF(4, 7, 17, 22));
             formLines(p, QRectF(7, 14, 10, 12), kBlue);
             badge(p, kGreen, QStringLiteral("+"), QRectF(17, 17, 14, 14));
         }},
        {QStringLiteral("saveasstyle"),
         [](QPainter& p) {
             page(p);
             formLines(p, QRectF(10, 11, 13, 15));
             badge(p, QColor(0x8e, 0x5a, 0xc8), QStringLiteral("S"));
         }},
        {QStringLiteral("save"),
         [](QPainter& p) {
             p.setPen(QPen(QColor(0x1f, 0x46, 0x84), 1.3));
             p.setBrush(kBlue);
             p.drawRoundedRect(QRectF(4, 4, 24, 24), 2.5, 2.5);
             p.setBrush(kPaper);
             p.drawRect(QRectF(8, 4, 16, 9));
             p.setBrush(QColor(0xdd, 0xe3, 0xec));
             p.drawRect(QRectF(9, 18, 14, 10));
             p.setBrush(kInk);
             p.drawRect(QRectF(18, 5.5, 3, 6));
         }},
        {QStringLiteral("find"), [](QPainter& p) { magnifier(p, QPointF(13, 13), 8); }},
        {QStringLiteral("overview"),
         [](QPainter& p) {
             page(p);
             badge(p, kBlue, QStringLiteral("i"));
         }},
        {QStringLiteral("defaultoverview"),
         [](QPainter& p) {
             page(p, QRectF(7, 3, 19, 26), QColor(0xf4, 0xf0, 0xe2));
             badge(p, kFolderDark, QStringLiteral("i"));
         }},
        {QStringLiteral("showtree"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.3));
             p.drawLine(QPointF(8, 8), QPointF(8, 25));
             p.drawLine(QPointF(8, 16), QPointF(15, 16));
             p.drawLine(QPointF(8, 25), QPointF(15, 25));
             p.setBrush(kFolder);
             p.drawRect(QRectF(4, 3, 9, 7));
             p.setBrush(kLightBlue);
             p.drawRect(QRectF(15, 13, 13, 6));
             p.drawRect(QRectF(15, 22, 13, 6));
         }},
        {QStringLiteral("archiveview"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(kPaper);
             p.drawRect(QRectF(3, 3, 26, 26));
             p.setBrush(QColor(0xc9, 0xa7, 0x7e));
             p.drawRect(QRectF(3, 17, 26, 12));
             p.setBrush(kLightBlue);
             p.drawRect(QRectF(3, 3, 26, 5));
         }},
        {QStringLiteral("hide"),
         [](QPainter& p) {
             p.setPen(QPen(kInk, 2.4, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(10, 10), QPointF(22, 22));
             p.drawLine(QPointF(22, 10), QPointF(10, 22));
         }},
        {QStringLiteral("users"),
         [](QPainter& p) {
             person(p, QPointF(21, 15), 0.9, QColor(0x8d, 0xb8, 0xea));
             person(p, QPointF(12, 18), 1.05, kBlue);
         }},
        {QStringLiteral("logout"),
         [](QPainter& p) {
             p.setPen(ink(1.3));
             p.setBrush(QColor(0xc9, 0xa7, 0x7e));
             p.drawRect(QRectF(4, 3, 14, 26));
             p.setBrush(kFolderDark);
             p.drawEllipse(QRectF(14, 15, 2.5, 2.5));
             arrow(p, QPointF(13, 16), QPointF(29, 16), kRed, 3);
         }},
        {QStringLiteral("exit"),
         [](QPainter& p) {
             p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(5, 6, 22, 22), 120 * 16, 300 * 16);
             p.drawLine(QPointF(16, 3), QPointF(16, 15));
         }},
        {QStringLiteral("readme"),
         [](QPainter& p) {
             p.setPen(ink(1.2));
             p.setBrush(kBlue);
             p.drawRoundedRect(QRectF(5, 3, 21, 26), 2, 2);
             p.setBrush(kPaper);
             p.drawRect(QRectF(9, 3, 17, 26));
             p.setPen(QPen(kGrey, 1.1));
             for (qreal y = 9; y <= 23; y += 3.5)
                 p.drawLine(QPointF(12, y), QPointF(23, y));
         }},
        {QStringLiteral("about"),
         [](QPainter& p) { badge(p, kBlue, QStringLiteral("i"), QRectF(4, 4, 24, 24)); }},
        {QStringLiteral("clearrecycle"),
         [](QPainter& p) {
             recycleBin(p, false);
             p.setPen(QPen(kRed, 2.4, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(20, 2), QPointF(30, 12));
             p.drawLine(QPointF(30, 2), QPointF(20, 12));
         }},
        {QStringLiteral("open"),
         [](QPainter& p) {
             folder(p);
             QPainterPath flap;
             flap.moveTo(6, 14);
             flap.lineTo(31, 14);
             flap.lineTo(27, 26);
             flap.lineTo(3, 26);
             flap.closeSubpath();
             p.setPen(QPen(kFolderDark, 1.2));
             p.setBrush(QColor(0xfa, 0xd7, 0x7a));
             p.drawPath(flap);
         }},
        {QStringLiteral("refresh"),
         [](QPainter& p) {
             p.setPen(QPen(kGreen.darker(130), 3, Qt::SolidLine, Qt::RoundCap));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(6, 6, 20, 20), 60 * 16, 280 * 16);
             arrow(p, QPointF(20, 6.5), QPointF(25, 9), kGreen.darker(130), 3);
         }},
        {QStringLiteral("template"), nodeDrawing(0)},
        {QStringLiteral("project"), nodeDrawing(13)},
        {QStringLiteral("options"),
         [](QPainter& p) {
             p.setPen(ink(1.2));
             p.setBrush(kPaper);
             p.drawRect(QRectF(4, 4, 24, 24));
             for (int i = 0; i < 4; ++i) {
                 p.setBrush(i % 2 ? kLightBlue : kGreen);
                 p.drawRect(QRectF(7, 7.5 + i * 5, 3.5, 3));
                 p.drawLine(QPointF(13, 9 + i * 5), QPointF(25, 9 + i * 5));
             }
         }},
    };
    return drawings.value(name);
}

QPixmap render(const Draw& draw, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p);
    return pm;
}

QIcon iconFrom(const Draw& draw)
{
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48}) {
        const QPixmap pm = render(draw, size);
        icon.addPixmap(pm, QIcon::Normal);
        icon.addPixmap(IconFactory::greyed(pm), QIcon::Disabled);
    }
    return icon;
}

}  // namespace

namespace IconFactory {

QPixmap greyed(const QPixmap& pm)
{
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x];
            // Light grey, half transparent: reads as "not available" on any background.
            const int g = 130 + qGray(c) / 3;
            line[x] = qRgba(g, g, g, qAlpha(c) * 6 / 10);
        }
    }
    return QPixmap::fromImage(img);
}

QIcon nodeIcon(int index)
{
    static QHash<int, QIcon> cache;
    auto it = cache.find(index);
    if (it == cache.end())
        it = cache.insert(index, iconFrom(nodeDrawing(index)));
    return *it;
}

QIcon actionIcon(const QString& name)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        const Draw d = actionDrawing(name);
        it = cache.insert(name, d ? iconFrom(d) : QIcon());
    }
    return *it;
}

QPixmap userPixmap(int size)
{
    return render([](QPainter& p) { person(p, QPointF(16, 15), 1.3, kBlue); }, size);
}

QIcon appIcon()
{
    return iconFrom([](QPainter& p) {
        QLinearGradient g(0, 0, 0, 32);
        g.setColorAt(0, QColor(0x3f, 0x7f, 0xd4));
        g.setColorAt(1, QColor(0x1d, 0x4e, 0x99));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        QPainterPath road;
        road.moveTo(8, 30);
        road.lineTo(14.5, 9);
        road.lineTo(17.5, 9);
        road.lineTo(24, 30);
        road.closeSubpath();
        p.setBrush(QColor(0x32, 0x38, 0x44));
        p.drawPath(road);
        p.setPen(QPen(QColor(0xff, 0xd8, 0x4a), 1.6, Qt::DashLine));
        p.drawLine(QPointF(16, 11), QPointF(16, 29));
        p.setPen(Qt::NoPen);
        p.setBrush(kPaper);
        p.drawRect(QRectF(20, 3, 9, 11));
        p.setPen(QPen(kBlue, 1));
        for (qreal y = 6; y <= 12; y += 2.5)
            p.drawLine(QPointF(21.5, y), QPointF(27.5, y));
    });
}

QPixmap splashPixmap(const QString& version, const QString& note)
{
    QPixmap pm(400, 245);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Sky to dusk, the road running into the distance, and a sheet of forms: what the program is about.
    QLinearGradient sky(0, 0, 0, 245);
    sky.setColorAt(0, QColor(0x1d, 0x4e, 0x99));
    sky.setColorAt(0.62, QColor(0x4f, 0x8c, 0xd6));
    sky.setColorAt(1, QColor(0xcf, 0xe1, 0xf5));
    p.fillRect(pm.rect(), sky);

    QPainterPath hills;
    hills.moveTo(0, 170);
    hills.cubicTo(80, 140, 150, 160, 220, 150);
    hills.cubicTo(290, 140, 340, 155, 400, 145);
    hills.lineTo(400, 245);
    hills.lineTo(0, 245);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5c, 0x9a, 0x5a));
    p.drawPath(hills);

    QPainterPath road;
    road.moveTo(60, 245);
    road.lineTo(196, 152);
    road.lineTo(206, 152);
    road.lineTo(300, 245);
    road.closeSubpath();
    p.setBrush(QColor(0x3a, 0x40, 0x4c));
    p.drawPath(road);
    p.setPen(QPen(QColor(0xff, 0xd8, 0x4a), 2.5));
    for (int i = 0; i < 6; ++i) {
        const qreal t0 = i / 6.0 + 0.02, t1 = t0 + 0.08;
        auto at = [](qreal t) { return QPointF(201 - t * 21, 152 + t * 93); };
        p.drawLine(at(t0), at(t1));
    }

    // The forms sheet, top right.
    p.save();
    p.translate(300, 36);
    p.rotate(6);
    p.setPen(QPen(QColor(0x33, 0x3d, 0x4d), 1.2));
    p.setBrush(QColor(0xfb, 0xfc, 0xfe));
    p.drawRect(QRectF(0, 0, 70, 90));
    p.setPen(QPen(QColor(0x2f, 0x6f, 0xc4), 1));
    for (int y = 20; y <= 84; y += 8)
        p.drawLine(6, y, 64, y);
    p.drawLine(26, 20, 26, 84);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x6f, 0xc4));
    p.drawRect(QRectF(14, 7, 42, 6));
    p.restore();

    QFont title(QStringLiteral("Noto Sans CJK SC"));
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 60));
    p.drawText(QRectF(26, 28, 300, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quelmar"));
    p.setPen(Qt::white);
    p.drawText(QRectF(24, 26, 300, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quelmar"));

    QFont sub(QStringLiteral("Noto Sans CJK SC"));
    sub.setPixelSize(17);
    p.setFont(sub);
    p.drawText(QRectF(26, 76, 300, 26), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("公路工程施工资料管理系统"));

    QFont small(QStringLiteral("Noto Sans CJK SC"));
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(0xee, 0xf4, 0xfb));
    p.drawText(QRectF(26, 104, 300, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("版本 %1").arg(version));
    if (!note.isEmpty()) {
        p.fillRect(QRectF(0, 219, 400, 26), QColor(255, 255, 255, 200));
        p.setPen(QColor(0x23, 0x2a, 0x35));
        p.drawText(QRectF(12, 223, 376, 18), Qt::AlignRight | Qt::AlignVCenter, note);
    }
    p.setPen(QPen(QColor(0x1d, 0x4e, 0x99), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}

}  // namespace IconFactory
