#include "app/commandicons.h"
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace quillon {

namespace {

// Everything is drawn on a 24 x 24 grid and scaled to the requested rectangle.
constexpr double kGrid = 24.0;

struct Colours {
    QColor ink;     // outlines
    QColor accent;  // arrows, plus and minus
    QColor glass;   // magnifier lens fill
    QColor body;    // scale body fill
};

Colours coloursFor(QIcon::Mode mode)
{
    const QPalette pal = QGuiApplication::palette();
    const bool dark = pal.color(QPalette::Window).lightness() < 128;
    Colours c;
    if (mode == QIcon::Disabled) {
        const QColor off = pal.color(QPalette::Disabled, QPalette::WindowText);
        c.ink = off;
        c.accent = off;
        c.glass = Qt::transparent;
        c.body = Qt::transparent;
        return c;
    }
    c.ink = pal.color(QPalette::WindowText);
    c.accent = dark ? QColor(110, 180, 255) : QColor(20, 100, 200);
    c.glass = dark ? QColor(80, 120, 170, 110) : QColor(200, 225, 250, 200);
    c.body = dark ? QColor(90, 96, 106) : QColor(225, 229, 235);
    if (mode == QIcon::Selected || mode == QIcon::Active) {
        c.accent = c.accent.lighter(115);
    }
    return c;
}

QPen pen(const QColor& colour, double width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawMagnifier(QPainter& p, const Colours& c, bool plus)
{
    p.setPen(pen(c.ink, 2.0));
    p.setBrush(c.glass);
    p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
    p.setPen(pen(c.ink, 3.2));
    p.drawLine(QPointF(15, 15), QPointF(21, 21));
    p.setPen(pen(c.accent, 2.0));
    p.drawLine(QPointF(6.8, 10), QPointF(13.2, 10));
    if (plus)
        p.drawLine(QPointF(10, 6.8), QPointF(10, 13.2));
}

// A counter scale seen from the front: platter on a column, body with a display.
void drawScale(QPainter& p, const Colours& c, const QRectF& box)
{
    const double sx = box.width() / kGrid, sy = box.height() / kGrid;
    p.save();
    p.translate(box.topLeft());
    p.scale(sx, sy);
    p.setPen(pen(c.ink, 1.6));
    p.setBrush(c.body);
    p.drawRoundedRect(QRectF(3, 5, 18, 2.5), 1, 1);     // platter
    p.drawLine(QPointF(12, 7.5), QPointF(12, 11));       // column
    p.drawRoundedRect(QRectF(2.5, 11, 19, 10), 2, 2);    // body
    p.setBrush(c.accent);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(5, 13.5, 9, 3.5));                 // display
    p.setBrush(c.ink);
    p.drawEllipse(QPointF(17.5, 15.3), 1.2, 1.2);        // key
    p.restore();
}

// A bold arrow from `from` to `to` (grid units).
void drawArrow(QPainter& p, const QColor& colour, QPointF from, QPointF to)
{
    const QLineF shaft(from, to);
    const double head = 4.0;
    QLineF back = QLineF(to, from);
    back.setLength(head);
    QLineF left = back, right = back;
    left.setAngle(back.angle() + 40);
    right.setAngle(back.angle() - 40);
    p.setPen(pen(colour, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawLine(shaft);
    p.drawLine(left);
    p.drawLine(right);
}

void drawScaleList(QPainter& p, const Colours& c)
{
    // Two scales one behind the other, and list lines beside them.
    drawScale(p, c, QRectF(6, 0, 16, 16));
    drawScale(p, c, QRectF(1, 7, 17, 17));
}

// Two or three field boxes against a line: what an arrange command does to them.
// The boxes are drawn for the horizontal commands and turned for the vertical ones.
void drawArrange(QPainter& p, const Colours& c, CommandIcon kind)
{
    const bool vertical = kind == CommandIcon::AlignTop || kind == CommandIcon::AlignBottom
                          || kind == CommandIcon::AlignMiddle || kind == CommandIcon::DistributeV
                          || kind == CommandIcon::SameHeight;
    if (vertical) {
        // Mirror on the diagonal: x and y change places.
        p.setTransform(QTransform(0, 1, 1, 0, 0, 0), true);
    }
    p.setPen(pen(c.ink, 1.4));
    p.setBrush(c.glass);
    QList<QRectF> boxes;
    switch (kind) {
    case CommandIcon::AlignLeft: case CommandIcon::AlignTop:
        boxes = {QRectF(5, 5, 14, 5), QRectF(5, 14, 9, 5)};
        break;
    case CommandIcon::AlignRight: case CommandIcon::AlignBottom:
        boxes = {QRectF(5, 5, 14, 5), QRectF(10, 14, 9, 5)};
        break;
    case CommandIcon::AlignCentre: case CommandIcon::AlignMiddle:
        boxes = {QRectF(4, 5, 16, 5), QRectF(7.5, 14, 9, 5)};
        break;
    case CommandIcon::DistributeH: case CommandIcon::DistributeV:
        boxes = {QRectF(2, 7, 5, 10), QRectF(9.5, 7, 5, 10), QRectF(17, 7, 5, 10)};
        break;
    default: // same width or height
        boxes = {QRectF(5, 4, 14, 6), QRectF(5, 14, 14, 6)};
        break;
    }
    for (const QRectF& r : boxes)
        p.drawRect(r);
    p.setPen(pen(c.accent, 2.0));
    switch (kind) {
    case CommandIcon::AlignLeft: case CommandIcon::AlignTop: p.drawLine(QPointF(3, 2), QPointF(3, 22)); break;
    case CommandIcon::AlignRight: case CommandIcon::AlignBottom: p.drawLine(QPointF(21, 2), QPointF(21, 22)); break;
    case CommandIcon::AlignCentre: case CommandIcon::AlignMiddle: p.drawLine(QPointF(12, 2), QPointF(12, 22)); break;
    case CommandIcon::DistributeH: case CommandIcon::DistributeV:
        p.drawLine(QPointF(8.2, 3), QPointF(8.2, 21));
        p.drawLine(QPointF(15.8, 3), QPointF(15.8, 21));
        break;
    default:
        drawArrow(p, c.accent, QPointF(8, 12), QPointF(3, 12));
        drawArrow(p, c.accent, QPointF(16, 12), QPointF(21, 12));
        break;
    }
}

// A label frame with four corner arrows pointing out.
void drawZoomFit(QPainter& p, const Colours& c)
{
    p.setPen(pen(c.ink, 1.6));
    p.setBrush(c.glass);
    p.drawRect(QRectF(7, 7, 10, 10));
    drawArrow(p, c.accent, QPointF(6, 6), QPointF(2, 2));
    drawArrow(p, c.accent, QPointF(18, 6), QPointF(22, 2));
    drawArrow(p, c.accent, QPointF(6, 18), QPointF(2, 22));
    drawArrow(p, c.accent, QPointF(18, 18), QPointF(22, 22));
}

// A label with a barcode and two lines of text: the label as it prints.
void drawPreview(QPainter& p, const Colours& c)
{
    p.setPen(pen(c.ink, 1.4));
    p.setBrush(c.glass);
    p.drawRoundedRect(QRectF(2.5, 3.5, 19, 17), 1.5, 1.5);
    p.setPen(pen(c.accent, 1.6));
    p.drawLine(QPointF(5.5, 7.5), QPointF(15, 7.5));
    p.drawLine(QPointF(5.5, 10.5), QPointF(12, 10.5));
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    const double bars[][2] = {{5.5, 1}, {7, 0.6}, {8.2, 1.4}, {10.2, 0.6}, {11.5, 1}, {13.2, 0.6}, {14.4, 1.4}, {16.5, 0.8}};
    for (const auto& b : bars)
        p.drawRect(QRectF(b[0], 13, b[1], 5));
}

class CommandIconEngine : public QIconEngine {
public:
    explicit CommandIconEngine(CommandIcon kind) : m_kind(kind) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const Colours c = coloursFor(mode);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        // Keep the square grid centred in a non-square rectangle.
        const double side = qMin(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / kGrid, side / kGrid);
        switch (m_kind) {
        case CommandIcon::ZoomIn: drawMagnifier(*painter, c, true); break;
        case CommandIcon::ZoomOut: drawMagnifier(*painter, c, false); break;
        // Down into the scale, up out of it.
        case CommandIcon::SendToScale:
            drawScale(*painter, c, QRectF(0, 6, 18, 18));
            drawArrow(*painter, c.accent, QPointF(20.5, 1.5), QPointF(20.5, 12));
            break;
        case CommandIcon::ReceiveFromScale:
            drawScale(*painter, c, QRectF(0, 6, 18, 18));
            drawArrow(*painter, c.accent, QPointF(20.5, 12), QPointF(20.5, 1.5));
            break;
        case CommandIcon::ScaleList: drawScaleList(*painter, c); break;
        case CommandIcon::ZoomFit: drawZoomFit(*painter, c); break;
        case CommandIcon::Preview: drawPreview(*painter, c); break;
        default: drawArrange(*painter, c, m_kind); break;
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        if (size.isEmpty())
            return {};
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    // QIcon asks with the size already in device pixels and sets the ratio of the
    // result itself: drawing at that size keeps every line sharp.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal) override
    {
        return pixmap(size, mode, state);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new CommandIconEngine(m_kind); }
    QString key() const override { return QStringLiteral("quillon-command"); }

private:
    CommandIcon m_kind;
};

} // namespace

QIcon MakeCommandIcon(CommandIcon kind)
{
    return QIcon(new CommandIconEngine(kind));
}

} // namespace quillon
