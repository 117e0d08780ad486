#include "scale/scaledialog.h"

#include "platform/placement.h"
#include "platform/screenunits.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTreeWidget>
#include <QWidget>

namespace quillon {

namespace {

double dpiOf(const QWidget* w)
{
    const double d = w->logicalDpiX();
    return d > 0 ? d : 96.0;
}
} // namespace

void RestoreDialogPlacement(QWidget* w, const QString& prefix, int defaultWidthTwips)
{
    const double dpi = dpiOf(w);
    auto px = [dpi](int twips) { return int(qRound(twips * dpi / kTwipsPerInch)); };
    const QPoint pos(px(ReadPlacement(prefix + QStringLiteral("Left"), 1000)),
                     px(ReadPlacement(prefix + QStringLiteral("Top"), 1000)));
    QSize size(px(ReadPlacement(prefix + QStringLiteral("Width"), defaultWidthTwips)),
               px(ReadPlacement(prefix + QStringLiteral("Height"), 6500)));
    size = size.expandedTo(w->minimumSizeHint()).expandedTo(QSize(200, 150));
    if (const QScreen* scr = QGuiApplication::primaryScreen())
        size = size.boundedTo(scr->availableVirtualGeometry().size());
    w->resize(size);
    if (QGuiApplication::screenAt(pos + QPoint(20, 20)))
        w->move(pos);
}

void StoreDialogPlacement(QWidget* w, const QString& prefix)
{
    if (w->isMinimized())
        return;
    const double dpi = dpiOf(w);
    auto twips = [dpi](int px) { return int(qRound(px * kTwipsPerInch / dpi)); };
    WritePlacement(prefix + QStringLiteral("Left"), twips(w->x()));
    WritePlacement(prefix + QStringLiteral("Top"), twips(w->y()));
    WritePlacement(prefix + QStringLiteral("Width"), twips(w->width()));
    WritePlacement(prefix + QStringLiteral("Height"), twips(w->height()));
}

QPixmap PingStateIcon(int state)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (state) {
    case PingChecking:
    case PingQueued: {
        // A clock face: still waiting for the answer (grey: not yet asked).
        const bool queued = state == PingQueued;
        p.setPen(QPen(queued ? QColor(120, 120, 120) : QColor(40, 80, 160), 1.4));
        p.setBrush(queued ? QColor(235, 235, 235) : QColor(220, 232, 250));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawLine(QPointF(8, 8), QPointF(8, 4));
        p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
        break;
    }
    case PingOK: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 150, 60));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(4.5, 8.5);
        tick.lineTo(7, 11);
        tick.lineTo(11.5, 5);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        break;
    }
    case PingTimeOut: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 40, 40));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
        break;
    }
    default: {
        p.setPen(QPen(QColor(110, 110, 110), 1.2));
        p.setBrush(QColor(200, 200, 200));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(QColor(90, 90, 90), 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
        break;
    }
    }
    return pm;
}

QLabel* MakeCaptionStrip(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* strip = new QLabel(caption, parent);
    strip->setObjectName(objectName);
    QFont bold = strip->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    strip->setFont(bold);
    strip->setContentsMargins(6, 4, 6, 4);
    strip->setAutoFillBackground(true);
    strip->setBackgroundRole(QPalette::Mid);
    return strip;
}

QTreeWidget* MakeScaleList(QWidget* parent, const QString& numberTitle, const QString& addressTitle,
                           const QString& modelTitle)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("lvwScale"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setHeaderLabels({numberTitle, addressTitle, modelTitle});
    list->header()->setSectionResizeMode(QHeaderView::Stretch);
    return list;
}

} // namespace quillon
