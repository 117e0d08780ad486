#include "editor/rulers.h"
#include "platform/screenunits.h"
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace quillon {

int RulerLengthMM(int labelMM)
{
    return (qMax(0, labelMM) / 10 + 1) * 10;
}

QVector<RulerTick> RulerTicks(float s, int labelMM)
{
    QVector<RulerTick> ticks;
    for (int i = 0; i <= labelMM; i += 10)
        ticks.append({i, 1.0f, QString::number(i)});
    for (int i = 5; i <= labelMM; i += 10)
        ticks.append({i, 3.0f, s >= 2.5f ? QString::number(i) : QString()});
    if (s >= 0.5f)
        for (int i = 0; i <= labelMM; ++i)
            ticks.append({i, 4.0f, QString()});
    return ticks;
}

Ruler::Ruler(Orientation o, QWidget* parent) : QWidget(parent), m_o(o)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    QFont f = font();
    f.setPixelSize(qMax(7, int(std::lround(2.2 * pxPerMM()))));
    setFont(f);
}

QColor Ruler::background() { return QColor(221, 228, 238); }

double Ruler::pxPerMM() const { return logicalDpiX() / kMMPerInch; }

void Ruler::setScale(float s, int labelMM)
{
    m_scale = s;
    m_length = labelMM;
    m_ticks = RulerTicks(s, labelMM);
    update();
}

void Ruler::setMark(float position)
{
    if (position == m_mark)
        return;
    m_mark = position;
    update();
}

void Ruler::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), background());
    const double k = pxPerMM();
    const double q = 1.0; // one pixel
    const double s = m_scale;
    const bool hori = m_o == Orientation::Horizontal;
    p.setPen(QPen(Qt::black, 0));

    if (hori)
        p.drawLine(QPointF(0, 5 * k), QPointF(m_length * s * k + q, 5 * k));
    else
        p.drawLine(QPointF(5 * k, 0), QPointF(5 * k, m_length * s * k + q));

    const QFontMetrics fm(font());
    for (const RulerTick& t : m_ticks) {
        const double along = hori ? t.mm * s * k : (m_length - t.mm) * s * k;
        if (hori)
            p.drawLine(QPointF(along, t.from * k), QPointF(along, 5 * k));
        else
            p.drawLine(QPointF(t.from * k, along), QPointF(5 * k, along));
        if (t.number.isEmpty())
            continue;
        // Figures sit just past their tick, their top at the ruler's edge.
        const int x = hori ? int(std::nearbyint(along + 1)) : int(std::nearbyint(0.5 * k));
        const int y = hori ? 0 : int(std::nearbyint(along + 1));
        p.drawText(QPoint(x, y + fm.ascent()), t.number);
    }

    if (markDrawn()) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(QColor(0, 255, 255), 0, Qt::DotLine));
        const double at = m_mark * s * k;
        if (hori)
            p.drawLine(QPointF(at, 0), QPointF(at, 5 * k));
        else
            p.drawLine(QPointF(0, at), QPointF(5 * k, at));
    }
}

} // namespace quillon
