#include "editor/labelview.h"
#include "model/units.h"
#include "model/numberspelling.h"
#include "render/labelpainter.h"
#include "editor/rulers.h"
#include "platform/screenunits.h"
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>
#include <optional>

namespace quillon {

namespace {

// Layout of the window in twips.
constexpr int kOrigin = 500;       // canvas and rulers at scroll position 0
constexpr int kExtraRoom = 500;    // beyond the canvas when a bar is shown
constexpr int kSmallStep = 200;
constexpr int kLargeStep = 500;
constexpr int kAutoScroll = 20;
constexpr double kHandleMM = 1.7;  // screen mm

// What the canvas widget asks of the view that owns it.
struct CanvasHost {
    virtual ~CanvasHost() = default;
    virtual void paintCanvas(QPainter& p) = 0;
    virtual void canvasPress(QMouseEvent* e) = 0;
    virtual void canvasMove(QMouseEvent* e) = 0;
    virtual void canvasRelease(QMouseEvent* e) = 0;
    virtual void canvasDoubleClick(QMouseEvent* e) = 0;
    virtual bool canvasKey(QKeyEvent* e) = 0;
    virtual void canvasWheel(QWheelEvent* e) = 0;
};

class Canvas : public QWidget {
public:
    Canvas(CanvasHost* host, QWidget* parent) : QWidget(parent), m_host(host)
    {
        setObjectName(QStringLiteral("picCanvas"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        m_host->paintCanvas(p);
    }
    void mousePressEvent(QMouseEvent* e) override { m_host->canvasPress(e); }
    void mouseMoveEvent(QMouseEvent* e) override { m_host->canvasMove(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { m_host->canvasRelease(e); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { m_host->canvasDoubleClick(e); }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (!m_host->canvasKey(e))
            QWidget::keyPressEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override { m_host->canvasWheel(e); }
    // Arrow keys nudge the field; they must not move the focus away.
    bool focusNextPrevChild(bool) override { return false; }

private:
    CanvasHost* m_host;
};

} // namespace

struct LabelView::Impl : CanvasHost {
    enum class Drag { None, Field, Handle, InertHandle };

    LabelView* q;
    float scale = 2.5f;
    float xTwipsPerMM = 0, yTwipsPerMM = 0;
    bool nodesVisible = false;
    bool guidesVisible = false;
    Drag drag = Drag::None;
    int dragHandle = -1;
    float origX = 0, origY = 0;        // press point: twips in the field, or snapped mm in the handle
    QPointF lastHandlePos{-1e9, -1e9};
    bool anchorPending = false;        // Ctrl+wheel: keep this label point under the pointer
    QPointF anchorMM, anchorPx;

    QWidget* corner = nullptr;
    Ruler* hruler = nullptr;
    Ruler* vruler = nullptr;
    QWidget* canvas = nullptr;
    QScrollBar* hbar = nullptr;
    QScrollBar* vbar = nullptr;

    std::optional<UndoStep> pendingStep;

    explicit Impl(LabelView* view) : q(view) {}
    // The document may be gone before the view: an unfinished drag records nothing.
    ~Impl() { if (pendingStep) pendingStep->Cancel(); }

    Label& label() { return q->m_doc.label(); }
    int selected() { return label().m_iSelected; }

    double dpiX() const { return q->logicalDpiX(); }
    double dpiY() const { return q->logicalDpiY(); }
    int pxX(double twips) const { return int(std::lround(twips * dpiX() / kTwipsPerInch)); }
    int pxY(double twips) const { return int(std::lround(twips * dpiY() / kTwipsPerInch)); }
    double twX(double px) const { return px * kTwipsPerInch / dpiX(); }
    double twY(double px) const { return px * kTwipsPerInch / dpiY(); }
    double pxPerMM() const { return scale * dpiX() / kMMPerInch; }   // canvas px per label mm
    double handlePx() const { return kHandleMM * dpiX() / kMMPerInch; }

    QRectF boxPx(const FieldBox& b) const
    {
        const double k = pxPerMM();
        return QRectF(b.left * k, b.top * k, b.width * k, b.height * k);
    }
    float dot() { return label().GetMMPerKDot() / 1000.0f; }

    LabelPaintOptions paintOptions() const
    {
        LabelPaintOptions o;
        o.pxPerMM = pxPerMM();
        o.zoom = scale;
        o.selected = q->m_doc.label().m_iSelected;
        o.handles = nodesVisible;
        o.guides = guidesVisible;
        o.handleSizePx = handlePx();
        return o;
    }

    void refresh()
    {
        canvas->update();
        hruler->update();
        vruler->update();
    }

    // Hit tests in canvas pixels: handles lie above every field, later fields above earlier ones.
    int handleAt(const QPointF& pt)
    {
        const int sel = selected();
        if (!nodesVisible || sel < 0 || sel >= label().fieldCount())
            return -1;
        const QRectF box = boxPx(FieldBoxOf(label(), sel));
        for (int k = 7; k >= 0; --k)
            if (HandleRect(box, k, handlePx(), handlePx()).contains(pt))
                return k;
        return -1;
    }
    int fieldAt(const QPointF& pt)
    {
        Label work = label();
        for (int i = work.fieldCount() - 1; i >= 0; --i)
            if (work.m_arrFields[i].bUsed && boxPx(work.GetFieldSize(i)).contains(pt))
                return i;
        return -1;
    }

    void placeCanvas()
    {
        const int hv = hbar->isHidden() ? 0 : hbar->value();
        const int vv = vbar->isHidden() ? 0 : vbar->value();
        hruler->move(pxX(kOrigin - hv), 0);
        vruler->move(0, pxY(kOrigin - vv));
        canvas->move(pxX(kOrigin - hv), pxY(kOrigin - vv));
    }

    bool recordEdit(UndoStep& step, int i)
    {
        const bool recorded = step.Commit();
        if (recorded)
            emit q->fieldEdited(i);
        return recorded;
    }

    // A drag's step lives from the press to the release.
    bool recordDrag(int i)
    {
        if (!pendingStep)
            return false;
        const bool recorded = recordEdit(*pendingStep, i);
        pendingStep.reset();
        return recorded;
    }

    // Moves the selected field by (dx, dy) label mm (dy downwards), kept inside the
    // label. False when the move is below one dot on both axes.
    bool moveSelected(float dx, float dy)
    {
        const int sel = selected();
        const float one = dot();
        if (std::fabs(dx) < one && std::fabs(dy) < one)
            return false;
        Label& lb = label();
        const FieldBox b = lb.GetFieldSize(sel);
        if (dx < 0 && std::fabs(dx) > b.left)
            dx = -b.left;
        if (dx > 0 && dx > lb.m_iHoriRulerWidth - (b.width + b.left))
            dx = lb.m_iHoriRulerWidth - (b.width + b.left);
        if (dy < 0 && std::fabs(dy) > b.top)
            dy = -b.top;
        if (dy > 0 && dy > lb.m_iVertRulerHeight - (b.height + b.top))
            dy = lb.m_iVertRulerHeight - (b.height + b.top);
        if (std::fabs(dx) < one && std::fabs(dy) < one)
            return false;
        FieldRecord& r = lb.m_arrFields[sel];
        r.sngX += dx;
        r.sngY -= dy;
        q->AdjustLabel(sel);
        lb.SetModifiedFlag(true);
        return true;
    }

    void ResizeByNode(int k, float dx, float dy)
    {
        const int sel = selected();
        if (sel < 0 || sel >= label().fieldCount())
            return;
        Label& lb = label();
        const FieldRecord before = lb.m_arrFields[sel];
        const FieldBox b = lb.GetFieldSize(sel);
        const float L = b.left, T = b.top, W = b.width, H = b.height;
        float l2 = L, t2 = T, w2 = W, h2 = H;
        const bool limitW = k == 5 || k == 6 || k == 7;
        const bool limitH = k == 2 || k == 4 || k == 7;
        if (limitW && W + dx < 1)
            dx = 1 - W;
        if (limitH && H + dy < 1)
            dy = 1 - H;
        switch (k) {
        case 0: w2 = W - dx; h2 = H - dy; l2 = L + dx; t2 = T + dy; break;
        case 1: w2 = W - dx; l2 = L + dx; break;
        case 2: w2 = W - dx; h2 = H + dy; l2 = L + dx; break;
        case 3: h2 = H - dy; t2 = T + dy; break;
        case 4: h2 = H + dy; break;
        case 5: w2 = W + dx; h2 = H - dy; t2 = T + dy; break;
        case 6: w2 = W + dx; break;
        case 7: w2 = W + dx; h2 = H + dy; break;
        default: return;
        }
        if (t2 < 0) { h2 += t2; t2 = 0; }
        if (l2 < 0) { w2 += l2; l2 = 0; }
        if (w2 < 1) { l2 = L + W - 1; w2 = 1; }
        if (h2 < 1) { t2 = T + H - 1; h2 = 1; }
        lb.SetFieldSize(sel, FieldBox{l2, t2, w2, h2});
        // A resize is an edit like any other: without the flag, closing would drop it.
        if (!FieldRecordsEqual(before, lb.m_arrFields[sel]))
            lb.SetModifiedFlag(true);
        q->SelectField(sel);
        canvas->update();
    }

    void autoScroll(const QPointF& viewPt)
    {
        const double px = twX(viewPt.x()), py = twY(viewPt.y());
        const double SW = twX(q->width()), SH = twY(q->height());
        if (!vbar->isHidden()) {
            if (py >= SH)
                vbar->setValue(qMin(vbar->value() + kAutoScroll, vbar->maximum()));
            else if (py <= kOrigin)
                vbar->setValue(qMax(vbar->value() - kAutoScroll, vbar->minimum()));
        }
        if (!hbar->isHidden()) {
            if (px >= SW)
                hbar->setValue(qMin(hbar->value() + kAutoScroll, hbar->maximum()));
            else if (px <= kOrigin)
                hbar->setValue(qMax(hbar->value() - kAutoScroll, hbar->minimum()));
        }
    }

    void hotTrackCanvas(const QPointF& pt)
    {
        q->VertRulerHotTrack(float(pt.y() / pxPerMM()));
        q->HoriRulerHotTrack(float(pt.x() / pxPerMM()));
    }

    static Qt::CursorShape handleCursor(int k)
    {
        switch (k) {
        case 0: case 7: return Qt::SizeFDiagCursor;
        case 1: case 6: return Qt::SizeHorCursor;
        case 2: case 5: return Qt::SizeBDiagCursor;
        default: return Qt::SizeVerCursor;
        }
    }

    // --- canvas events --------------------------------------------------------
    void paintCanvas(QPainter& p) override { PaintLabel(p, label(), paintOptions()); }

    void canvasPress(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        const QPointF pt = e->position();
        const int k = handleAt(pt);
        if (k >= 0) {
            pressHandle(k, pt);
            return;
        }
        const int i = fieldAt(pt);
        if (i < 0)
            return;
        pendingStep.emplace(q->m_doc, i);
        q->SelectField(i);
        guidesVisible = true;
        const FieldRecord& r = label().m_arrFields[i];
        q->VertRulerHotTrack(label().m_iVertRulerHeight - r.sngY);
        q->HoriRulerHotTrack(r.sngX);
        nodesVisible = false;
        const QRectF box = boxPx(FieldBoxOf(label(), i));
        origX = float(twX(pt.x() - box.left()));
        origY = float(twY(pt.y() - box.top()));
        drag = Drag::Field;
        refresh();
    }

    void pressHandle(int k, const QPointF& pt)
    {
        const int sel = selected();
        const QRectF h = HandleRect(boxPx(FieldBoxOf(label(), sel)), k, handlePx(), handlePx());
        origX = label().AdjustMMtoDot(float(twX(pt.x() - h.left()) / xTwipsPerMM));
        origY = label().AdjustMMtoDot(float(twY(pt.y() - h.top()) / yTwipsPerMM));
        lastHandlePos = QPointF(-1e9, -1e9);
        dragHandle = k;
        if (label().fieldType(sel) == FT_N1) {
            drag = Drag::InertHandle; // its size follows its font and figures
            return;
        }
        pendingStep.emplace(q->m_doc, sel);
        drag = Drag::Handle;
    }

    void canvasMove(QMouseEvent* e) override
    {
        const QPointF pt = e->position();
        const bool left = e->buttons() & Qt::LeftButton;
        const int sel = selected();
        if (drag == Drag::Field && left && sel >= 0) {
            dragStep(pt, e);
            return;
        }
        if (drag == Drag::Handle && left && sel >= 0) {
            if (pt == lastHandlePos)
                return;
            lastHandlePos = pt;
            const QRectF h = HandleRect(boxPx(FieldBoxOf(label(), sel)), dragHandle, handlePx(), handlePx());
            const float x = label().AdjustMMtoDot(float(twX(pt.x() - h.left()) / xTwipsPerMM));
            const float y = label().AdjustMMtoDot(float(twY(pt.y() - h.top()) / yTwipsPerMM));
            q->VertRulerHotTrack(float(h.top() / pxPerMM()) + y);
            q->HoriRulerHotTrack(float(h.left() / pxPerMM()) + x);
            ResizeByNode(dragHandle, label().AdjustMMtoDot(x - origX), label().AdjustMMtoDot(y - origY));
            return;
        }
        if (drag != Drag::None)
            return;
        const int k = handleAt(pt);
        const bool resizable = sel >= 0 && label().fieldType(sel) != FT_N1;
        canvas->setCursor(k >= 0 && resizable ? handleCursor(k) : Qt::ArrowCursor);
        hotTrackCanvas(pt);
    }

    void dragStep(const QPointF& pt, QMouseEvent* e)
    {
        const int sel = selected();
        nodesVisible = false;
        const QRectF box = boxPx(FieldBoxOf(label(), sel));
        const float dx = float((twX(pt.x() - box.left()) - origX) / xTwipsPerMM);
        const float dy = float((twY(pt.y() - box.top()) - origY) / yTwipsPerMM);
        if (moveSelected(dx, dy)) {
            const FieldRecord& r = label().m_arrFields[sel];
            q->VertRulerHotTrack(label().m_iVertRulerHeight - r.sngY);
            q->HoriRulerHotTrack(r.sngX);
            emit q->selectionChanged(sel);
        }
        refresh();
        autoScroll(canvas->mapTo(q, e->position()));
    }

    void canvasRelease(QMouseEvent* e) override
    {
        const int sel = selected();
        const Drag was = drag;
        if (e->button() == Qt::LeftButton)
            drag = Drag::None;
        if (was == Drag::Field) {
            if (e->button() == Qt::LeftButton)
                recordDrag(sel);
            guidesVisible = false;
            q->SelectField(sel);
        } else if (was == Drag::Handle && e->button() == Qt::LeftButton) {
            recordDrag(sel);
        }
        // An inert (N1) handle saved nothing on the press, so there is nothing to record.
        refresh();
    }

    void canvasDoubleClick(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        const QPointF pt = e->position();
        if (handleAt(pt) >= 0)
            return;
        const int i = fieldAt(pt);
        if (i < 0) {
            q->SelectField(-1);
            return;
        }
        const qint32 t = label().fieldType(i);
        if (t == FT_TEXT || t == FT_SHOPNAME)
            emit q->editTextRequested(i);
    }

    // Handled by the view in its own coordinates (whatever way the event came).
    void canvasWheel(QWheelEvent* e) override
    {
        QWheelEvent mapped(canvas->mapTo(q, e->position()), e->globalPosition(), e->pixelDelta(), e->angleDelta(),
                           e->buttons(), e->modifiers(), e->phase(), e->inverted(), e->source());
        q->wheelEvent(&mapped);
        e->setAccepted(mapped.isAccepted());
    }

    bool canvasKey(QKeyEvent* e) override
    {
        const int sel = selected();
        if (drag != Drag::None || sel < 0)
            return false;
        if (e->key() == Qt::Key_Delete) {
            UndoStep step(q->m_doc, sel);
            label().m_arrFields[sel].bUsed = false;
            q->AdjustLabel(sel);
            recordEdit(step, sel);
            // Deleting is an edit: without the flag, closing would drop it.
            label().SetModifiedFlag(true);
            emit q->fieldRemoved(sel);
            q->SelectField(-1);
            return true;
        }
        float dx = 0, dy = 0;
        const float nudge = (e->modifiers() & Qt::ShiftModifier) ? 1.0f : dot();
        switch (e->key()) {
        case Qt::Key_Left: dx = -nudge; break;
        case Qt::Key_Right: dx = nudge; break;
        case Qt::Key_Up: dy = -nudge; break;
        case Qt::Key_Down: dy = nudge; break;
        default: return false;
        }
        UndoStep step(q->m_doc, sel);
        if (moveSelected(dx, dy))
            recordEdit(step, sel);
        q->SelectField(sel);
        return true;
    }
};

namespace {

class RulerWidget : public Ruler {
public:
    RulerWidget(Orientation o, LabelView* view) : Ruler(o, view), m_view(view) {}

protected:
    void mousePressEvent(QMouseEvent* e) override { e->accept(); }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        const double tw = orientationIsHori() ? e->position().x() / m_view->pxPerTwipX()
                                              : e->position().y() / m_view->pxPerTwipY();
        const float mm = float(tw / kTwipsPerMM / m_view->m_sngLabelScale());
        if (orientationIsHori())
            m_view->HoriRulerHotTrack(mm);
        else
            m_view->VertRulerHotTrack(mm);
    }

private:
    bool orientationIsHori() const { return objectName() == QLatin1String("picHoriRuler"); }
    LabelView* m_view;
};

class CornerBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Ruler::background());
        p.setPen(Qt::black);
        QFont f = font();
        f.setPixelSize(qMax(7, height() / 2));
        p.setFont(f);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("mm"));
    }
    void mousePressEvent(QMouseEvent* e) override { e->accept(); }
};

} // namespace

LabelView::LabelView(Document& doc, QWidget* parent) : QWidget(parent), m_doc(doc), d(new Impl(this))
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(true);

    d->canvas = new Canvas(d, this);
    d->hruler = new RulerWidget(Ruler::Orientation::Horizontal, this);
    d->hruler->setObjectName(QStringLiteral("picHoriRuler"));
    d->vruler = new RulerWidget(Ruler::Orientation::Vertical, this);
    d->vruler->setObjectName(QStringLiteral("picVertRuler"));
    d->corner = new CornerBox(this);
    d->corner->setObjectName(QStringLiteral("picMM"));
    d->hbar = new QScrollBar(Qt::Horizontal, this);
    d->hbar->setObjectName(QStringLiteral("wndHScroll"));
    d->vbar = new QScrollBar(Qt::Vertical, this);
    d->vbar->setObjectName(QStringLiteral("wndVScroll"));
    for (QScrollBar* b : {d->hbar, d->vbar}) {
        b->setSingleStep(kSmallStep);
        b->setPageStep(kLargeStep);
        b->setRange(0, 0);
        b->hide();
        connect(b, &QScrollBar::valueChanged, this, [this] { d->placeCanvas(); });
    }
    setFocusProxy(d->canvas);

    // Corner box: 5 mm and one pixel square, above the rulers that slide under it.
    const int cornerPx = int(std::lround(5 * logicalDpiX() / kMMPerInch)) + 1;
    d->corner->setGeometry(0, 0, cornerPx, cornerPx);
    d->canvas->lower();
    d->corner->raise();
    d->hbar->raise();
    d->vbar->raise();

    // A new document's label may still be unnormalised; the first zoom places everything.
    const float start = 2.5f;
    d->scale = 0; // forces the rebuild below
    ApplyLabelScale(start);
}

LabelView::~LabelView() { delete d; }

float LabelView::m_sngLabelScale() const { return d->scale; }
float LabelView::m_sngXTwipsPerMM() const { return d->xTwipsPerMM; }
float LabelView::m_sngYTwipsPerMM() const { return d->yTwipsPerMM; }
float LabelView::horiHotTrack() const { return d->hruler->mark(); }
float LabelView::vertHotTrack() const { return d->vruler->mark(); }
double LabelView::pxPerTwipX() const { return logicalDpiX() / kTwipsPerInch; }
double LabelView::pxPerTwipY() const { return logicalDpiY() / kTwipsPerInch; }

void LabelView::ApplyLabelScale(float sngScale)
{
    if (!(sngScale >= 0.5f && sngScale <= 5.0f))
        return;
    setUpdatesEnabled(false);
    d->scale = sngScale;
    HoriRulerHotTrack(-1);
    VertRulerHotTrack(-1);

    const Label& lb = m_doc.label();
    const double onePxTwipsX = kTwipsPerInch / logicalDpiX();
    const double onePxTwipsY = kTwipsPerInch / logicalDpiY();
    const double rulerThickX = 5 * kTwipsPerMM + onePxTwipsX;
    const double rulerThickY = 5 * kTwipsPerMM + onePxTwipsY;
    d->xTwipsPerMM = float(sngScale * kTwipsPerMM);
    d->yTwipsPerMM = float(sngScale * kTwipsPerMM);
    d->hruler->resize(d->pxX(RulerLengthMM(lb.m_iHoriRulerWidth) * d->xTwipsPerMM), d->pxY(rulerThickY));
    d->hruler->setScale(sngScale, lb.m_iHoriRulerWidth);
    d->vruler->resize(d->pxX(rulerThickX), d->pxY(RulerLengthMM(lb.m_iVertRulerHeight) * d->yTwipsPerMM));
    d->vruler->setScale(sngScale, lb.m_iVertRulerHeight);

    d->canvas->resize(int(std::lround(lb.m_iHoriRulerWidth * d->pxPerMM())) + 1,
                      int(std::lround(lb.m_iVertRulerHeight * sngScale * logicalDpiY() / kMMPerInch)) + 1);

    for (int i = 0; i < m_doc.label().fieldCount(); ++i)
        m_doc.label().NormaliseField(i);
    SelectField(m_doc.label().m_iSelected);
    Form_Resize();

    if (d->anchorPending) {
        // Keep the label point that was under the pointer where it was.
        const double leftPx = d->anchorPx.x() - d->anchorMM.x() * d->pxPerMM();
        const double topPx = d->anchorPx.y() - d->anchorMM.y() * d->pxPerMM();
        if (!d->hbar->isHidden())
            d->hbar->setValue(int(std::lround(kOrigin - d->twX(leftPx))));
        if (!d->vbar->isHidden())
            d->vbar->setValue(int(std::lround(kOrigin - d->twY(topPx))));
        d->anchorPending = false;
    }
    d->placeCanvas();
    setUpdatesEnabled(true);
    d->refresh();
}

void LabelView::Form_Resize()
{
    const Label& lb = m_doc.label();
    const int SW = int(d->twX(width()));
    const int SH = int(d->twY(height()));
    const int barH = int(std::lround(d->twY(d->hbar->sizeHint().height())));
    const int barW = int(std::lround(d->twX(d->vbar->sizeHint().width())));

    // Hiding needs 500 twips more room than showing, so a bar does not flicker at the threshold.
    auto layoutBar = [&](QScrollBar* bar, int window, int needed) {
        if (!bar->isHidden()) {
            if (window - kExtraRoom > needed) {
                bar->setValue(0);
                bar->hide();
            } else {
                bar->setMaximum(needed + kExtraRoom - window);
            }
        } else if (window < needed) {
            bar->show();
            bar->setMaximum(needed + kExtraRoom - window);
        }
    };

    const int neededW = int(kOrigin + lb.m_iHoriRulerWidth * d->scale * kTwipsPerMM + (d->vbar->isHidden() ? 0 : barW));
    layoutBar(d->hbar, SW, neededW);
    const int neededH = int(kOrigin + lb.m_iVertRulerHeight * d->scale * kTwipsPerMM + (d->hbar->isHidden() ? 0 : barH));
    layoutBar(d->vbar, SH, neededH);

    const int vbarPx = d->vbar->isHidden() ? 0 : d->vbar->sizeHint().width();
    const int hbarPx = d->hbar->sizeHint().height();
    d->hbar->setGeometry(0, height() - hbarPx, width() - vbarPx, hbarPx);
    d->vbar->setGeometry(width() - d->vbar->sizeHint().width(), 0, d->vbar->sizeHint().width(),
                         d->hbar->isHidden() ? height() : height() - hbarPx);
    d->placeCanvas();
}

void LabelView::AdjustLabel(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_doc.label().fieldCount())
        return;
    m_doc.label().NormaliseField(iIndex);
    d->canvas->update();
}

void LabelView::AdjustAllLabels()
{
    for (int i = 0; i < m_doc.label().fieldCount(); ++i)
        m_doc.label().NormaliseField(i);
    d->canvas->update();
    emit selectionChanged(m_doc.label().m_iSelected);
}

void LabelView::SelectField(int i)
{
    Label& lb = m_doc.label();
    if (i < 0 || i >= lb.fieldCount() || !lb.m_arrFields[i].bUsed) {
        lb.m_iSelected = -1;
        d->nodesVisible = false;
        d->canvas->update();
        emit selectionChanged(-1);
        return;
    }
    lb.m_iSelected = qint16(i);
    d->nodesVisible = true;
    d->canvas->setFocus(Qt::OtherFocusReason);
    d->canvas->update();
    emit selectionChanged(i);
}

void LabelView::HoriRulerHotTrack(float position) { d->hruler->setMark(position); }
void LabelView::VertRulerHotTrack(float position) { d->vruler->setMark(position); }

void LabelView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    Form_Resize();
}

void LabelView::wheelEvent(QWheelEvent* e)
{
    const int delta = e->angleDelta().y() != 0 ? e->angleDelta().y() : e->angleDelta().x();
    if (!(e->modifiers() & Qt::ControlModifier)) {
        QScrollBar* bar = (e->modifiers() & Qt::ShiftModifier) ? d->hbar : d->vbar;
        if (!bar->isHidden() && delta != 0)
            bar->setValue(bar->value() - (delta > 0 ? kLargeStep : -kLargeStep));
        e->accept();
        return;
    }
    e->accept();
    if (delta == 0)
        return;
    const double step = delta > 0 ? 0.1 : -0.1;
    const int pct = Clamp(int(CInt((double(d->scale) + step) * 10)) * 10, 500, 50);
    const float next = float(pct / 100.0);
    if (next == d->scale)
        return;
    const QPointF inCanvas = e->position() - QPointF(d->canvas->pos());
    d->anchorMM = inCanvas / d->pxPerMM();
    d->anchorPx = e->position();
    d->anchorPending = true;
    if (isSignalConnected(QMetaMethod::fromSignal(&LabelView::zoomRequested)))
        emit zoomRequested(next);
    else
        ApplyLabelScale(next);
    d->anchorPending = false;
}

void LabelView::mousePressEvent(QMouseEvent* e)
{
    // A click on the window beside the canvas selects nothing.
    if (e->button() == Qt::LeftButton)
        SelectField(-1);
}

void LabelView::mouseMoveEvent(QMouseEvent* e)
{
    const float s = d->scale;
    const double x = d->twX(e->position().x() - d->hruler->x());
    const double y = d->twY(e->position().y() - d->vruler->y());
    VertRulerHotTrack(float(y / kTwipsPerMM / s));
    HoriRulerHotTrack(float(x / kTwipsPerMM / s));
}

} // namespace quillon
