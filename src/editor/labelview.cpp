#include "editor/labelview.h"
#include "context/texts.h"
#include "model/arrange.h"
#include "model/units.h"
#include "model/numberspelling.h"
#include "render/labelpainter.h"
#include "editor/rulers.h"
#include "platform/screenunits.h"
#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QMimeData>
#include <QToolTip>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
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
constexpr double kSnapPx = 6;      // how near (canvas px) a line must be to snap

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
    virtual void canvasContextMenu(QContextMenuEvent* e) = 0;
    virtual QString canvasToolTip(const QPointF& pt) = 0;
    virtual bool canvasDrop(const QMimeData* mime, const QPointF& pt, bool commit) = 0;
};

class Canvas : public QWidget {
public:
    Canvas(CanvasHost* host, QWidget* parent) : QWidget(parent), m_host(host)
    {
        setObjectName(QStringLiteral("picCanvas"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAcceptDrops(true);
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ToolTip) {
            auto* he = static_cast<QHelpEvent*>(e);
            const QString tip = m_host->canvasToolTip(he->pos());
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(he->globalPos(), tip, this);
            return true;
        }
        return QWidget::event(e);
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        m_host->paintCanvas(p);
    }
    void mousePressEvent(QMouseEvent* e) override { m_host->canvasPress(e); }
    void mouseMoveEvent(QMouseEvent* e) override { m_host->canvasMove(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { m_host->canvasRelease(e); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { m_host->canvasDoubleClick(e); }
    void contextMenuEvent(QContextMenuEvent* e) override { m_host->canvasContextMenu(e); }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (!m_host->canvasKey(e))
            QWidget::keyPressEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override { m_host->canvasWheel(e); }
    void dragEnterEvent(QDragEnterEvent* e) override { dragOver(e); }
    void dragMoveEvent(QDragMoveEvent* e) override { dragOver(e); }
    void dropEvent(QDropEvent* e) override
    {
        if (m_host->canvasDrop(e->mimeData(), e->position(), true))
            e->acceptProposedAction();
        else
            e->ignore();
    }
    // Arrow keys nudge and Tab steps through the fields; they must not move the focus away.
    bool focusNextPrevChild(bool) override { return false; }

private:
    void dragOver(QDropEvent* e)
    {
        if (m_host->canvasDrop(e->mimeData(), e->position(), false))
            e->acceptProposedAction();
        else
            e->ignore();
    }
    CanvasHost* m_host;
};

} // namespace

struct LabelView::Impl : CanvasHost {
    enum class Drag { None, Field, Handle, InertHandle, Band };

    LabelView* q;
    float scale = 2.5f;
    float xTwipsPerMM = 0, yTwipsPerMM = 0;
    bool nodesVisible = false;
    bool guidesVisible = false;
    Drag drag = Drag::None;
    bool dragStarted = false;          // the pointer went past the platform's drag distance
    bool collapseOnClick = false;      // a plain click on one of several selected fields
    int dragHandle = -1;
    QPointF pressPt;                   // canvas px
    QHash<int, FieldBox> dragFrom;     // boxes at the press
    FieldBox dragCommon;
    SnapLines snapLines;
    QVector<float> guideX, guideY;     // lines snapped to in the last step
    QRectF band;                       // rubber band, canvas px
    QList<int> bandBase;               // the selection a Ctrl/Shift band adds to
    LabelView::GridOptions gridOptions;
    std::optional<SampleItem> sample;
    bool preview = false;
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
    QList<int> selection() { return q->m_doc.selection(); }

    double dpiX() const { return q->logicalDpiX(); }
    double dpiY() const { return q->logicalDpiY(); }
    int pxX(double twips) const { return int(std::lround(twips * dpiX() / kTwipsPerInch)); }
    int pxY(double twips) const { return int(std::lround(twips * dpiY() / kTwipsPerInch)); }
    double twX(double px) const { return px * kTwipsPerInch / dpiX(); }
    double twY(double px) const { return px * kTwipsPerInch / dpiY(); }
    double pxPerMM() const { return scale * dpiX() / kMMPerInch; }   // canvas px per label mm
    double handlePx() const { return kHandleMM * dpiX() / kMMPerInch; }
    float snapTolerance() const { return float(kSnapPx / pxPerMM()); }

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
        o.guides = guidesVisible && guideX.isEmpty() && guideY.isEmpty();
        o.handleSizePx = handlePx();
        if (gridOptions.visible)
            o.gridStepPx = gridOptions.stepMM * pxPerMM();
        o.sample = sample ? &*sample : nullptr;
        o.preview = preview;
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
    // The placed fields under a point, topmost first.
    QList<int> fieldsAt(const QPointF& pt)
    {
        Label work = label();
        QList<int> out;
        for (int i = work.fieldCount() - 1; i >= 0; --i)
            if (work.m_arrFields[i].bUsed && boxPx(work.GetFieldSize(i)).contains(pt))
                out << i;
        return out;
    }
    int fieldAt(const QPointF& pt)
    {
        const QList<int> all = fieldsAt(pt);
        return all.isEmpty() ? -1 : all.first();
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

    // Puts each field at its box from `from` shifted by (dx, dy) label mm, the
    // group kept inside the label. False when nothing moved.
    bool placeShifted(const QHash<int, FieldBox>& from, const FieldBox& common, float dx, float dy)
    {
        Label& lb = label();
        dx = std::clamp(dx, -common.left, std::max(0.0f, lb.m_iHoriRulerWidth - (common.left + common.width)));
        dy = std::clamp(dy, -common.top, std::max(0.0f, lb.m_iVertRulerHeight - (common.top + common.height)));
        bool moved = false;
        for (auto it = from.cbegin(); it != from.cend(); ++it) {
            const FieldRecord before = lb.m_arrFields[it.key()];
            FieldBox b = it.value();
            b.left += dx;
            b.top += dy;
            lb.SetFieldSize(it.key(), b);
            lb.NormaliseField(it.key());
            moved = moved || !FieldRecordsEqual(before, lb.m_arrFields[it.key()]);
        }
        if (moved)
            lb.SetModifiedFlag(true);
        return moved;
    }

    // Moves the selection by (dx, dy) label mm (dy downwards). False when it
    // did not move (below one dot, or against the label's edge).
    bool moveSelection(float dx, float dy)
    {
        const QList<int> sel = selection();
        if (sel.isEmpty() || (std::fabs(dx) < dot() && std::fabs(dy) < dot()))
            return false;
        QHash<int, FieldBox> from;
        for (int i : sel)
            from.insert(i, label().GetFieldSize(i));
        const std::optional<FieldBox> common = CommonBox(label(), sel);
        return common && placeShifted(from, *common, dx, dy);
    }

    // The edges of a box along one axis that snap: start, centre and end, or the
    // moving edge of a resize.
    static QVector<float> edges(float start, float extent) { return {start, start + extent / 2, start + extent}; }

    // Snaps a shift of the edges to the nearest line (unless Alt is held) and
    // remembers the line for the guides.
    float snapped(float shift, const QVector<float>& at, const QVector<float>& lines, QVector<float>& guides,
                  Qt::KeyboardModifiers mods)
    {
        guides.clear();
        if (mods & Qt::AltModifier)
            return shift;
        QVector<float> moved;
        for (float e : at)
            moved << e + shift;
        const float grid = gridOptions.snapToGrid ? gridOptions.stepMM : 0.0f;
        if (const std::optional<Snap> s = SnapShift(moved, lines, grid, snapTolerance())) {
            guides << s->line;
            return shift + s->shift;
        }
        return shift;
    }

    void ResizeByNode(int k, float dx, float dy)
    {
        const int sel = selected();
        if (sel < 0 || sel >= label().fieldCount() || !dragFrom.contains(sel))
            return;
        Label& lb = label();
        const FieldRecord before = lb.m_arrFields[sel];
        const FieldBox b = dragFrom.value(sel);
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
        emit q->selectionChanged(sel);
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
    void paintCanvas(QPainter& p) override
    {
        Label& lb = label();
        const double k = pxPerMM();
        const double w = lb.m_iHoriRulerWidth * k, h = lb.m_iVertRulerHeight * k;
        p.fillRect(QRectF(0, 0, canvas->width(), canvas->height()), Qt::white);
        PaintLabel(p, lb, paintOptions());
        p.save();
        const QList<int> sel = selection();
        if (sel.size() > 1) {
            p.setPen(QPen(QColor(0, 90, 220), 0, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            for (int i : sel)
                p.drawRect(boxPx(FieldBoxOf(lb, i)).adjusted(-1, -1, 0, 0));
        }
        if (drag == Drag::Field || drag == Drag::Handle) {
            p.setPen(QPen(QColor(230, 0, 140), 0));
            for (float x : guideX)
                p.drawLine(QPointF(x * k, 0), QPointF(x * k, h + 1));
            for (float y : guideY)
                p.drawLine(QPointF(0, y * k), QPointF(w + 1, y * k));
        }
        if (drag == Drag::Band && !band.isEmpty()) {
            p.setPen(QPen(QColor(0, 90, 220), 0));
            p.setBrush(QColor(0, 90, 220, 40));
            p.drawRect(band);
        }
        p.restore();
    }

    void canvasPress(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        const QPointF pt = e->position();
        pressPt = pt;
        dragStarted = false;
        collapseOnClick = false;
        guideX.clear();
        guideY.clear();
        const Qt::KeyboardModifiers mods = e->modifiers();
        const bool adding = mods & (Qt::ShiftModifier | Qt::ControlModifier);
        const int k = adding || (mods & Qt::AltModifier) ? -1 : handleAt(pt);
        if (k >= 0) {
            pressHandle(k);
            return;
        }
        int i = fieldAt(pt);
        if (mods & Qt::AltModifier) {
            // The field under the selected one here (or under the topmost), round again at the bottom.
            const QList<int> under = fieldsAt(pt);
            const qsizetype at = under.indexOf(selected());
            if (under.size() > 1)
                i = under[at < 0 ? 1 : (at + 1) % under.size()];
        }
        if (i < 0) {
            bandBase = adding ? selection() : QList<int>();
            if (!adding)
                q->SelectField(-1);
            band = QRectF(pt, QSizeF());
            drag = Drag::Band;
            return;
        }
        QList<int> sel = selection();
        if (adding) {
            if (sel.contains(i) && sel.size() > 1) {
                sel.removeAll(i);
                q->SetSelection(sel);
                return;
            }
            sel.removeAll(i);
            q->SetSelection(sel << i);
        } else if (sel.contains(i)) {
            collapseOnClick = sel.size() > 1;
            sel.removeAll(i);
            q->SetSelection(sel << i);
        } else {
            q->SetSelection({i});
        }
        startMove(i);
    }

    void startMove(int primary)
    {
        dragFrom.clear();
        const QList<int> sel = selection();
        for (int f : sel)
            dragFrom.insert(f, label().GetFieldSize(f));
        dragCommon = CommonBox(label(), sel).value_or(FieldBox{});
        snapLines = SnapTargets(label(), sel);
        const FieldRecord& r = label().m_arrFields[primary];
        q->VertRulerHotTrack(label().m_iVertRulerHeight - r.sngY);
        q->HoriRulerHotTrack(r.sngX);
        drag = Drag::Field;
        refresh();
    }

    void pressHandle(int k)
    {
        const int sel = selected();
        dragHandle = k;
        if (label().fieldType(sel) == FT_N1) {
            drag = Drag::InertHandle; // its size follows its font and figures
            return;
        }
        dragFrom.clear();
        dragFrom.insert(sel, label().GetFieldSize(sel));
        snapLines = SnapTargets(label(), {sel});
        drag = Drag::Handle;
    }

    // Nothing moves until the pointer leaves the platform's drag distance, so a
    // click with a small wobble is only a click.
    bool beyondDragDistance(const QPointF& pt)
    {
        if (!dragStarted && (pt - pressPt).manhattanLength() >= QApplication::startDragDistance()) {
            dragStarted = true;
            pendingStep.emplace(q->m_doc, dragFrom.keys());
        }
        return dragStarted;
    }

    void canvasMove(QMouseEvent* e) override
    {
        const QPointF pt = e->position();
        const bool left = e->buttons() & Qt::LeftButton;
        const int sel = selected();
        if (drag == Drag::Field && left && sel >= 0) {
            if (beyondDragDistance(pt))
                dragStep(pt, e);
            return;
        }
        if (drag == Drag::Handle && left && sel >= 0) {
            if (beyondDragDistance(pt))
                resizeStep(pt, e->modifiers());
            return;
        }
        if (drag == Drag::Band && left) {
            band = QRectF(pressPt, pt).normalized();
            bandSelect();
            refresh();
            return;
        }
        if (drag != Drag::None)
            return;
        const int k = handleAt(pt);
        const bool resizable = sel >= 0 && label().fieldType(sel) != FT_N1;
        canvas->setCursor(k >= 0 && resizable ? handleCursor(k) : Qt::ArrowCursor);
        hotTrackCanvas(pt);
    }

    void bandSelect()
    {
        QList<int> sel = bandBase;
        Label work = label();
        for (int i = 0; i < work.fieldCount(); ++i)
            if (work.m_arrFields[i].bUsed && !sel.contains(i) && band.intersects(boxPx(work.GetFieldSize(i))))
                sel << i;
        q->SetSelection(sel);
    }

    void dragStep(const QPointF& pt, QMouseEvent* e)
    {
        const int sel = selected();
        nodesVisible = false;
        guidesVisible = true;
        float dx = float((pt.x() - pressPt.x()) / pxPerMM());
        float dy = float((pt.y() - pressPt.y()) / pxPerMM());
        const FieldBox& c = dragCommon;
        dx = label().AdjustMMtoDot(snapped(dx, edges(c.left, c.width), snapLines.x, guideX, e->modifiers()));
        dy = label().AdjustMMtoDot(snapped(dy, edges(c.top, c.height), snapLines.y, guideY, e->modifiers()));
        if (placeShifted(dragFrom, dragCommon, dx, dy)) {
            const FieldRecord& r = label().m_arrFields[sel];
            q->VertRulerHotTrack(label().m_iVertRulerHeight - r.sngY);
            q->HoriRulerHotTrack(r.sngX);
            emit q->selectionChanged(sel);
        }
        refresh();
        autoScroll(canvas->mapTo(q, e->position()));
    }

    void resizeStep(const QPointF& pt, Qt::KeyboardModifiers mods)
    {
        const int k = dragHandle;
        const FieldBox b = dragFrom.value(selected());
        float dx = float((pt.x() - pressPt.x()) / pxPerMM());
        float dy = float((pt.y() - pressPt.y()) / pxPerMM());
        // Only the edges the handle moves snap.
        const bool leftEdge = k <= 2, rightEdge = k >= 5, topEdge = k == 0 || k == 3 || k == 5,
                   bottomEdge = k == 2 || k == 4 || k == 7;
        guideX.clear();
        guideY.clear();
        if (leftEdge || rightEdge)
            dx = snapped(dx, {leftEdge ? b.left : b.left + b.width}, snapLines.x, guideX, mods);
        if (topEdge || bottomEdge)
            dy = snapped(dy, {topEdge ? b.top : b.top + b.height}, snapLines.y, guideY, mods);
        const QRectF now = boxPx(b).adjusted(leftEdge ? dx * pxPerMM() : 0, topEdge ? dy * pxPerMM() : 0,
                                             rightEdge ? dx * pxPerMM() : 0, bottomEdge ? dy * pxPerMM() : 0);
        q->HoriRulerHotTrack(float((rightEdge ? now.right() : now.left()) / pxPerMM()));
        q->VertRulerHotTrack(float((bottomEdge ? now.bottom() : now.top()) / pxPerMM()));
        ResizeByNode(k, label().AdjustMMtoDot(dx), label().AdjustMMtoDot(dy));
    }

    void canvasRelease(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        const int sel = selected();
        const Drag was = drag;
        drag = Drag::None;
        guideX.clear();
        guideY.clear();
        if (was == Drag::Field) {
            recordDrag(sel);
            guidesVisible = false;
            if (!dragStarted && collapseOnClick)
                q->SetSelection({sel});
            else
                q->SelectField(sel);
        } else if (was == Drag::Handle) {
            recordDrag(sel);
            q->SelectField(sel);
        } else if (was == Drag::Band) {
            band = QRectF();
        }
        pendingStep.reset();
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

    void canvasContextMenu(QContextMenuEvent* e) override
    {
        if (drag != Drag::None)
            return;
        const int i = e->reason() == QContextMenuEvent::Mouse ? fieldAt(e->pos()) : selected();
        if (i < 0)
            q->SelectField(-1);
        else if (!selection().contains(i))
            q->SetSelection({i});
        emit q->contextMenuRequested(e->globalPos());
    }

    QString canvasToolTip(const QPointF& pt) override
    {
        const int i = fieldAt(pt);
        if (i < 0)
            return {};
        const qint32 t = label().fieldType(i);
        const auto& defs = label().tables().g_arrFieldDef;
        QString tip = t == FT_TEXT || t == FT_SHOPNAME
                          ? GetLangString(QStringLiteral("frmDocument"), QStringLiteral("msgDblClickToEdit"))
                          : (i < defs.size() ? defs[i].Name : QString());
        if (sample) {
            const FieldFit fit = FieldFitOf(label(), i, *sample);
            if (!fit.fits)
                tip += QLatin1Char('\n') + FitText(fit, t == FT_B1);
        }
        return tip;
    }

    bool canvasDrop(const QMimeData* mime, const QPointF& pt, bool commit) override
    {
        if (!mime || !mime->hasFormat(QLatin1String(kFieldMimeType)))
            return false;
        bool ok = false;
        const int i = QString::fromLatin1(mime->data(QLatin1String(kFieldMimeType))).toInt(&ok);
        if (!ok || i < 0 || i >= label().fieldCount())
            return false;
        if (commit)
            emit q->fieldDropped(i, pt / pxPerMM());
        return true;
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
        if (drag != Drag::None)
            return false;
        const QList<int> sel = selection();
        switch (e->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            q->SelectNextField(e->key() == Qt::Key_Tab && !(e->modifiers() & Qt::ShiftModifier));
            return true;
        case Qt::Key_Escape:
            if (sel.isEmpty())
                return false;
            q->SelectField(-1);
            return true;
        default:
            break;
        }
        if (sel.isEmpty())
            return false;
        if (e->key() == Qt::Key_Delete) {
            q->DeleteSelection();
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
        if (moveSelection(dx, dy))
            recordEdit(step, selected());
        q->SelectField(selected());
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
        SetSelection({});
        return;
    }
    // The selected field keeps the others selected with it (a redraw after an edit).
    if (i == lb.m_iSelected && m_doc.selection().contains(i))
        SetSelection(m_doc.selection());
    else
        SetSelection({i});
}

void LabelView::SetSelection(const QList<int>& fields)
{
    m_doc.SetSelection(fields);
    d->nodesVisible = m_doc.label().m_iSelected >= 0;
    d->canvas->update();
    emit selectionChanged(m_doc.label().m_iSelected);
}

void LabelView::SelectNextField(bool forward)
{
    const Label& lb = m_doc.label();
    const int n = lb.fieldCount();
    const int start = lb.m_iSelected;
    for (int step = 1; step <= n; ++step) {
        const int i = ((start < 0 ? (forward ? -1 : n) : start) + (forward ? step : -step) % n + n) % n;
        if (lb.m_arrFields[i].bUsed) {
            SetSelection({i});
            return;
        }
    }
}

void LabelView::DeleteSelection()
{
    const QList<int> sel = m_doc.selection();
    // Not under a drag: its step, begun at the press, would record the fields again.
    if (sel.isEmpty() || d->drag != Impl::Drag::None)
        return;
    UndoStep step(m_doc, sel);
    for (int i : sel) {
        m_doc.label().m_arrFields[i].bUsed = false;
        AdjustLabel(i);
    }
    d->recordEdit(step, sel.last());
    // Deleting is an edit: without the flag, closing would drop it.
    m_doc.label().SetModifiedFlag(true);
    for (int i : sel)
        emit fieldRemoved(i);
    SelectField(-1);
}

float LabelView::FitScale() const
{
    const Label& lb = m_doc.label();
    if (lb.m_iHoriRulerWidth <= 0 || lb.m_iVertRulerHeight <= 0)
        return 2.5f;
    // Room for the rulers and the scroll bars' margin on both axes.
    const double roomW = d->twX(width()) - kOrigin - kExtraRoom;
    const double roomH = d->twY(height()) - kOrigin - kExtraRoom;
    const double s = std::min(roomW / (lb.m_iHoriRulerWidth * kTwipsPerMM), roomH / (lb.m_iVertRulerHeight * kTwipsPerMM));
    return float(std::clamp(std::floor(s * 100) / 100, 0.5, 5.0));
}

void LabelView::SetGrid(const GridOptions& grid)
{
    GridOptions g = grid;
    if (!(g.stepMM > 0))
        g.stepMM = 1.0f;
    if (g.visible == d->gridOptions.visible && g.snapToGrid == d->gridOptions.snapToGrid
        && g.stepMM == d->gridOptions.stepMM)
        return;
    d->gridOptions = g;
    d->canvas->update();
}

LabelView::GridOptions LabelView::grid() const { return d->gridOptions; }

void LabelView::SetSample(const SampleItem& item, bool preview)
{
    d->sample = item;
    d->preview = preview;
    d->canvas->update();
}

bool LabelView::isPreview() const { return d->preview; }
std::optional<SampleItem> LabelView::sample() const { return d->sample; }
bool LabelView::isDragging() const { return d->drag != Impl::Drag::None; }

QString FitText(const FieldFit& fit, bool barcode)
{
    const QString section = QStringLiteral("frmDocument");
    if (barcode)
        return GetLangString(section, QStringLiteral("msgBarcodeTooNarrow"))
            .replace(QLatin1String("%1"), QString::number(fit.needed))
            .replace(QLatin1String("%2"), QString::number(fit.capacity));
    if (fit.needed > fit.capacity)
        return GetLangString(section, QStringLiteral("msgFitsOf"))
            .replace(QLatin1String("%1"), QString::number(fit.capacity))
            .replace(QLatin1String("%2"), QString::number(fit.needed));
    return GetLangString(section, QStringLiteral("msgCellsTooHigh"));
}
QVector<float> LabelView::snapGuidesX() const { return d->guideX; }
QVector<float> LabelView::snapGuidesY() const { return d->guideY; }

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
