// The canvas as the user drives it: real mouse, key and wheel events on the
// widgets of a LabelView, checked against the label record and the undo ring.
#include "editor/labelview.h"
#include "render/labelpainter.h"
#include "common/viewtables.h"
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>

using namespace quillon;
using namespace quillon::viewtest;

namespace {

enum : int { B1 = 0, B3 = 2, C1 = 5, C2 = 6, N1 = 9, TEXT = 10, SHOP = 11 };

struct Fixture {
    Tables t = makeTables();
    Document doc{t};
    LabelView view{doc};
    QWidget* canvas = nullptr;

    explicit Fixture(float zoom = 4.0f, QSize size = QSize(1500, 1400))
    {
        view.resize(size);
        view.show();
        view.ApplyLabelScale(zoom);
        canvas = view.findChild<QWidget*>(QStringLiteral("picCanvas"));
    }
    Label& lb() { return doc.label(); }
    double pxPerMM() const { return view.m_sngLabelScale() * view.logicalDpiX() / 25.4; }
    QPoint px(double xmm, double ymm) const
    {
        return QPoint(int(std::lround(xmm * pxPerMM())), int(std::lround(ymm * pxPerMM())));
    }
    void put(int i, float l, float t, float w, float h, int rot = 0)
    {
        place(lb(), i, l, t, w, h, rot);
        view.AdjustLabel(i);
    }
    FieldBox box(int i) { return lb().GetFieldSize(i); }
    QPointF handleCentreMM(int k)
    {
        const FieldBox b = box(lb().m_iSelected);
        const double hs = 1.7 / view.m_sngLabelScale();
        return HandleRect(QRectF(b.left, b.top, b.width, b.height), k, hs, hs).center();
    }
    // Press at `from`, move in `steps` equal steps to `to` (label mm), release there.
    void drag(QPointF from, QPointF to, int steps = 4)
    {
        QTest::mousePress(canvas, Qt::LeftButton, {}, px(from.x(), from.y()));
        for (int n = 1; n <= steps; ++n) {
            const QPointF p = from + (to - from) * (double(n) / steps);
            QTest::mouseMove(canvas, px(p.x(), p.y()));
        }
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, px(to.x(), to.y()));
    }
    // Counts the steps by undoing them, then redoes them all.
    int undoSteps()
    {
        int n = 0;
        while (!doc.Undo().isEmpty())
            ++n;
        for (int i = 0; i < n; ++i)
            doc.Redo();
        return n;
    }
};

void compareBox(const FieldBox& b, float l, float t, float w, float h)
{
    QCOMPARE(b.left, l);
    QCOMPARE(b.top, t);
    QCOMPARE(b.width, w);
    QCOMPARE(b.height, h);
}

} // namespace

class TestCanvas : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QWidget().logicalDpiX() != 96)
            QSKIP("the expected twips assume 96 logical DPI");
    }

    void selectByClick()
    {
        Fixture f;
        f.put(C1, 10, 10, 20, 5);
        f.put(C2, 15, 12, 20, 5); // above C1 where they overlap
        QSignalSpy sel(&f.view, &LabelView::selectionChanged);
        QTest::mouseClick(f.canvas, Qt::LeftButton, {}, f.px(12, 11));
        QCOMPARE(int(f.lb().m_iSelected), C1);
        QTest::mouseClick(f.canvas, Qt::LeftButton, {}, f.px(16, 13));
        QCOMPARE(int(f.lb().m_iSelected), C2);
        QVERIFY(!sel.isEmpty());
        QCOMPARE(sel.last().at(0).toInt(), C2);
        // A click that does not move records nothing and leaves the label unmodified.
        QCOMPARE(f.undoSteps(), 0);
        QVERIFY(!f.lb().m_bModified);
        // A single click on the empty canvas keeps the selection, a double-click clears it.
        QTest::mouseClick(f.canvas, Qt::LeftButton, {}, f.px(50, 45));
        QCOMPARE(int(f.lb().m_iSelected), C2);
        QTest::mouseDClick(f.canvas, Qt::LeftButton, {}, f.px(50, 45));
        QCOMPARE(int(f.lb().m_iSelected), -1);
        QCOMPARE(sel.last().at(0).toInt(), -1);
        // A hidden field cannot be selected.
        f.view.SelectField(B1);
        QCOMPARE(int(f.lb().m_iSelected), -1);
    }

    void pressShowsGuidesAndHotTrack()
    {
        Fixture f;
        f.put(C1, 10, 20, 20, 5); // reference point X 10, Y 25
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px(15, 22));
        QCOMPARE(f.view.horiHotTrack(), 10.0f);
        QCOMPARE(f.view.vertHotTrack(), 25.0f); // from the top: 50 - 25
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, f.px(15, 22));
        f.view.HoriRulerHotTrack(-1);
        QCOMPARE(f.view.horiHotTrack(), -1.0f);
    }

    void hoverHotTracks()
    {
        Fixture f(2.0f);
        auto hover = [&](QWidget* w, QPoint at) {
            QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        };
        hover(f.canvas, f.px(12, 30));
        QCOMPARE(qRound(f.view.horiHotTrack() * 10), 120);
        QCOMPARE(qRound(f.view.vertHotTrack() * 10), 300);
        // Over the ruler only its own mark follows.
        auto* hr = f.view.findChild<QWidget*>(QStringLiteral("picHoriRuler"));
        hover(hr, QPoint(f.px(40, 0).x(), 5));
        QCOMPARE(qRound(f.view.horiHotTrack() * 10), 400);
        QCOMPARE(qRound(f.view.vertHotTrack() * 10), 300);
        // Past the label's end the position is kept but no mark is drawn.
        hover(f.canvas, f.px(54.9, 30));
        hover(hr, QPoint(f.px(58, 0).x(), 5));
        QCOMPARE(qRound(f.view.horiHotTrack()), 58);
    }

    void dragField_data()
    {
        QTest::addColumn<QRectF>("start");    // left, top, width, height (mm)
        QTest::addColumn<QPointF>("move");    // pointer movement (mm)
        QTest::addColumn<QPointF>("end");     // expected left, top
        QTest::newRow("within") << QRectF(10, 10, 10, 5) << QPointF(7, 4) << QPointF(17, 14);
        QTest::newRow("past left edge") << QRectF(3, 10, 10, 5) << QPointF(-5, 0) << QPointF(0, 10);
        QTest::newRow("past right edge") << QRectF(40, 10, 10, 5) << QPointF(10, 0) << QPointF(45, 10);
        QTest::newRow("past top edge") << QRectF(10, 4, 10, 5) << QPointF(0, -9) << QPointF(10, 0);
        QTest::newRow("past bottom corner") << QRectF(30, 40, 10, 5) << QPointF(30, 30) << QPointF(45, 45);
        QTest::newRow("below one dot") << QRectF(10, 10, 10, 5) << QPointF(0.05, 0.05) << QPointF(10, 10);
    }
    void dragField()
    {
        QFETCH(QRectF, start);
        QFETCH(QPointF, move);
        QFETCH(QPointF, end);
        Fixture f;
        f.put(C1, start.x(), start.y(), start.width(), start.height());
        const FieldRecord before = f.lb().m_arrFields[C1];
        QSignalSpy edited(&f.view, &LabelView::fieldEdited);
        const QPointF grip(start.x() + 2, start.y() + 2);
        f.drag(grip, grip + move);
        compareBox(f.box(C1), end.x(), end.y(), start.width(), start.height());
        QCOMPARE(int(f.lb().m_iSelected), C1);
        const bool moved = end != start.topLeft();
        QCOMPARE(f.lb().m_bModified, moved);
        QCOMPARE(f.undoSteps(), moved ? 1 : 0);
        QCOMPARE(edited.count(), moved ? 1 : 0);
        if (moved) {
            QCOMPARE(f.doc.Undo(), QList<int>{int(C1)});
            QVERIFY(FieldRecordsEqual(f.lb().m_arrFields[C1], before));
            QCOMPARE(f.doc.Redo(), QList<int>{int(C1)});
            compareBox(f.box(C1), end.x(), end.y(), start.width(), start.height());
        }
    }

    void dragRotatedField_data()
    {
        QTest::addColumn<int>("rot");
        QTest::addColumn<QPointF>("ref"); // reference point after placing box (10, 10, 8, 4)
        QTest::newRow("0") << 0 << QPointF(10, 36);
        QTest::newRow("90") << 1 << QPointF(18, 36);
        QTest::newRow("180") << 2 << QPointF(18, 40);
        QTest::newRow("270") << 3 << QPointF(10, 40);
    }
    void dragRotatedField()
    {
        QFETCH(int, rot);
        QFETCH(QPointF, ref);
        Fixture f;
        f.put(C1, 10, 10, 8, 4, rot);
        const FieldRecord& r = f.lb().m_arrFields[C1];
        QCOMPARE(r.sngX, float(ref.x()));
        QCOMPARE(r.sngY, float(ref.y()));
        // The box, not the unrotated record, is what the pointer hits.
        QTest::mouseClick(f.canvas, Qt::LeftButton, {}, f.px(17, 13));
        QCOMPARE(int(f.lb().m_iSelected), C1);
        f.view.SelectField(-1);
        f.drag(QPointF(11, 11), QPointF(16, 8));
        compareBox(f.box(C1), 15, 7, 8, 4);
        QCOMPARE(r.sngX, float(ref.x() + 5));
        QCOMPARE(r.sngY, float(ref.y() + 3));
        QCOMPARE(r.rotation(), rot);
    }

    void resizeByHandle_data()
    {
        QTest::addColumn<QRectF>("start");
        QTest::addColumn<int>("handle");
        QTest::addColumn<QPointF>("move");
        QTest::addColumn<QRectF>("end");
        const QRectF b(20, 20, 10, 10);
        QTest::newRow("0 top left") << b << 0 << QPointF(-2, -3) << QRectF(18, 17, 12, 13);
        QTest::newRow("1 middle left") << b << 1 << QPointF(2, 5) << QRectF(22, 20, 8, 10);
        QTest::newRow("2 bottom left") << b << 2 << QPointF(-4, 2) << QRectF(16, 20, 14, 12);
        QTest::newRow("3 top middle") << b << 3 << QPointF(3, 4) << QRectF(20, 24, 10, 6);
        QTest::newRow("4 bottom middle") << b << 4 << QPointF(-3, -2.5) << QRectF(20, 20, 10, 7.5);
        QTest::newRow("5 top right") << b << 5 << QPointF(5, -5) << QRectF(20, 15, 15, 15);
        QTest::newRow("6 middle right") << b << 6 << QPointF(-1.5, 9) << QRectF(20, 20, 8.5, 10);
        QTest::newRow("7 bottom right") << b << 7 << QPointF(4, 6) << QRectF(20, 20, 14, 16);
        const QRectF small(20, 20, 5, 5);
        QTest::newRow("7 past opposite") << small << 7 << QPointF(-8, -8) << QRectF(20, 20, 1, 1);
        QTest::newRow("0 past opposite") << small << 0 << QPointF(8, 8) << QRectF(24, 24, 1, 1);
        QTest::newRow("1 past opposite") << small << 1 << QPointF(9, 0) << QRectF(24, 20, 1, 5);
        QTest::newRow("4 past opposite") << small << 4 << QPointF(0, -9) << QRectF(20, 20, 5, 1);
        QTest::newRow("3 past top") << QRectF(10, 2, 10, 10) << 3 << QPointF(0, -5) << QRectF(10, 0, 10, 12);
        QTest::newRow("1 past left") << QRectF(3, 10, 10, 10) << 1 << QPointF(-6, 0) << QRectF(0, 10, 13, 10);
        QTest::newRow("6 past right") << QRectF(40, 10, 10, 10) << 6 << QPointF(10, 0) << QRectF(40, 10, 15, 10);
    }
    void resizeByHandle()
    {
        QFETCH(QRectF, start);
        QFETCH(int, handle);
        QFETCH(QPointF, move);
        QFETCH(QRectF, end);
        Fixture f;
        f.put(C1, start.x(), start.y(), start.width(), start.height());
        f.view.SelectField(C1);
        const FieldRecord before = f.lb().m_arrFields[C1];
        QSignalSpy edited(&f.view, &LabelView::fieldEdited);
        const QPointF grip = f.handleCentreMM(handle);
        f.drag(grip, grip + move);
        compareBox(f.box(C1), end.x(), end.y(), end.width(), end.height());
        QCOMPARE(int(f.lb().m_iSelected), C1);
        QVERIFY(f.lb().m_bModified); // a resize must not be lost on close
        QCOMPARE(f.undoSteps(), 1);
        QCOMPARE(edited.count(), 1);
        f.doc.Undo();
        QVERIFY(FieldRecordsEqual(f.lb().m_arrFields[C1], before));
        f.doc.Redo();
        compareBox(f.box(C1), end.x(), end.y(), end.width(), end.height());
    }

    void n1HandlesAreInert()
    {
        Fixture f;
        f.put(C1, 30, 30, 10, 5);
        f.put(N1, 10, 10, 1, 1); // its size follows its font and figures
        const FieldBox n1 = f.box(N1);
        QCOMPARE(n1.width, f.lb().DotToMM(12 * 6));
        f.view.SelectField(N1);
        const QImage shot = f.canvas->grab().toImage();
        const QPointF hc = f.handleCentreMM(7);
        QCOMPARE(shot.pixelColor(f.px(hc.x(), hc.y()) * shot.devicePixelRatio()), QColor(128, 128, 128));
        f.drag(hc, hc + QPointF(6, 6));
        compareBox(f.box(N1), n1.left, n1.top, n1.width, n1.height);
        QCOMPARE(f.undoSteps(), 0);
        QVERIFY(!f.lb().m_bModified);
        // The field itself still moves.
        f.drag(QPointF(n1.left + 0.5, n1.top + 0.5), QPointF(n1.left + 5.5, n1.top + 0.5));
        QCOMPARE(f.box(N1).left, n1.left + 5);
        QCOMPARE(f.undoSteps(), 1);
    }

    void deleteKey()
    {
        Fixture f;
        f.put(C1, 10, 10, 10, 5);
        QSignalSpy removed(&f.view, &LabelView::fieldRemoved);
        // Nothing selected: the key does nothing.
        QTest::keyClick(f.canvas, Qt::Key_Delete);
        QVERIFY(f.lb().m_arrFields[C1].bUsed);
        QTest::mouseClick(f.canvas, Qt::LeftButton, {}, f.px(12, 12));
        QTest::keyClick(f.canvas, Qt::Key_Delete);
        QVERIFY(!f.lb().m_arrFields[C1].bUsed);
        QCOMPARE(int(f.lb().m_iSelected), -1);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(0).toInt(), C1);
        QVERIFY(f.lb().m_bModified); // deleting must not be lost on close
        QCOMPARE(f.undoSteps(), 1);
        // A click where it was selects nothing now.
        QTest::mouseClick(f.canvas, Qt::LeftButton, {}, f.px(12, 12));
        QCOMPARE(int(f.lb().m_iSelected), -1);
        QCOMPARE(f.doc.Undo(), QList<int>{int(C1)});
        QVERIFY(f.lb().m_arrFields[C1].bUsed);
        compareBox(f.box(C1), 10, 10, 10, 5);
        QCOMPARE(f.doc.Redo(), QList<int>{int(C1)});
        QVERIFY(!f.lb().m_arrFields[C1].bUsed);
    }

    void deleteIgnoredDuringDrag()
    {
        Fixture f;
        f.put(C1, 10, 10, 10, 5);
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px(12, 12));
        QTest::keyClick(f.canvas, Qt::Key_Delete);
        QVERIFY(f.lb().m_arrFields[C1].bUsed);
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, f.px(12, 12));
    }

    void nudge_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<QPointF>("end");
        QTest::addColumn<int>("stepsAfterTwo");
        const QPointF s(10, 10);
        QTest::newRow("left") << int(Qt::Key_Left) << false << s << QPointF(9.875, 10) << 2;
        QTest::newRow("right") << int(Qt::Key_Right) << false << s << QPointF(10.125, 10) << 2;
        QTest::newRow("up") << int(Qt::Key_Up) << false << s << QPointF(10, 9.875) << 2;
        QTest::newRow("down shift") << int(Qt::Key_Down) << true << s << QPointF(10, 11) << 2;
        QTest::newRow("right shift") << int(Qt::Key_Right) << true << s << QPointF(11, 10) << 2;
        QTest::newRow("left at edge") << int(Qt::Key_Left) << false << QPointF(0, 10) << QPointF(0, 10) << 0;
        QTest::newRow("right shift near edge") << int(Qt::Key_Right) << true << QPointF(44.5, 10) << QPointF(45, 10) << 1;
        QTest::newRow("down at edge") << int(Qt::Key_Down) << true << QPointF(10, 45) << QPointF(10, 45) << 0;
    }
    void nudge()
    {
        QFETCH(int, key);
        QFETCH(bool, shift);
        QFETCH(QPointF, start);
        QFETCH(QPointF, end);
        QFETCH(int, stepsAfterTwo);
        Fixture f;
        f.put(C1, start.x(), start.y(), 10, 5);
        f.view.SelectField(C1);
        QTest::keyClick(f.canvas, Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
        compareBox(f.box(C1), end.x(), end.y(), 10, 5);
        const bool moved = end != start;
        QCOMPARE(f.undoSteps(), moved ? 1 : 0);
        QCOMPARE(f.lb().m_bModified, moved);
        QCOMPARE(int(f.lb().m_iSelected), C1);
        // Each press is its own step; one that cannot move records nothing.
        QTest::keyClick(f.canvas, Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(f.undoSteps(), stepsAfterTwo);
    }

    void doubleClick_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("asks");
        QTest::newRow("TEXT") << int(TEXT) << true;
        QTest::newRow("SHOPNAME") << int(SHOP) << true;
        QTest::newRow("C1") << int(C1) << false;
        QTest::newRow("B3") << int(B3) << false;
    }
    void doubleClick()
    {
        QFETCH(int, field);
        QFETCH(bool, asks);
        Fixture f;
        f.put(field, 10, 10, 20, 6);
        QSignalSpy edit(&f.view, &LabelView::editTextRequested);
        QTest::mouseDClick(f.canvas, Qt::LeftButton, {}, f.px(12, 12));
        QCOMPARE(edit.count(), asks ? 1 : 0);
        if (asks)
            QCOMPARE(edit.at(0).at(0).toInt(), field);
        QCOMPARE(f.undoSteps(), 0);
    }

    void zoomLimits_data()
    {
        QTest::addColumn<float>("request");
        QTest::addColumn<float>("result");
        QTest::newRow("0.4 ignored") << 0.4f << 2.5f;
        QTest::newRow("5.1 ignored") << 5.1f << 2.5f;
        QTest::newRow("0.5") << 0.5f << 0.5f;
        QTest::newRow("5.0") << 5.0f << 5.0f;
        QTest::newRow("1.3") << 1.3f << 1.3f;
    }
    void zoomLimits()
    {
        QFETCH(float, request);
        QFETCH(float, result);
        Fixture f(2.5f);
        f.view.ApplyLabelScale(request);
        QCOMPARE(f.view.m_sngLabelScale(), result);
        QCOMPARE(f.view.m_sngXTwipsPerMM(), float(result * 1440 / 25.4));
        // 55 x 50 mm: the canvas is the label at the zoom plus one pixel.
        QCOMPARE(f.canvas->width(), int(std::lround(55 * result * 96 / 25.4)) + 1);
        QCOMPARE(f.canvas->height(), int(std::lround(50 * result * 96 / 25.4)) + 1);
    }

    void wheelZoom_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<int>("delta");
        QTest::addColumn<float>("result");
        QTest::newRow("in from 250") << 2.5f << 120 << 2.6f;
        QTest::newRow("out from 250") << 2.5f << -120 << 2.4f;
        QTest::newRow("in from 490") << 4.9f << 120 << 5.0f;
        QTest::newRow("in at 500") << 5.0f << 120 << 5.0f;
        QTest::newRow("out from 60") << 0.6f << -120 << 0.5f;
        QTest::newRow("out at 50") << 0.5f << -120 << 0.5f;
        QTest::newRow("in from 255") << 2.55f << 120 << 2.6f;
    }
    void wheelZoom()
    {
        QFETCH(float, start);
        QFETCH(int, delta);
        QFETCH(float, result);
        Fixture f(start, QSize(600, 500));
        QSignalSpy zoom(&f.view, &LabelView::zoomRequested);
        connect(&f.view, &LabelView::zoomRequested, &f.view, &LabelView::ApplyLabelScale);
        const QPoint at = f.px(20, 20);
        QWheelEvent ev(at, f.canvas->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.canvas, &ev);
        QCOMPARE(f.view.m_sngLabelScale(), result);
        QCOMPARE(zoom.count(), result == start ? 0 : 1);
    }

    void wheelZoomKeepsPointer()
    {
        Fixture f(2.5f, QSize(400, 350)); // small enough for both bars
        connect(&f.view, &LabelView::zoomRequested, &f.view, &LabelView::ApplyLabelScale);
        const QPoint at = f.px(30, 25);
        const QPoint inView = f.canvas->mapTo(&f.view, at);
        QWheelEvent ev(at, f.canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.canvas, &ev);
        QCOMPARE(f.view.m_sngLabelScale(), 2.6f);
        const QPointF under = QPointF(f.canvas->mapFrom(&f.view, inView)) / f.pxPerMM();
        QVERIFY2(std::fabs(under.x() - 30) < 0.3 && std::fabs(under.y() - 25) < 0.3,
                 qPrintable(QStringLiteral("%1, %2").arg(under.x()).arg(under.y())));
    }

    void scrollBarsShowAndHide()
    {
        // 55 mm at 2.5 needs 500 + 7795 = 8295 twips across; at 96 DPI one pixel is 15 twips.
        Fixture f(2.5f, QSize(600, 1200));
        auto* hbar = f.view.findChild<QScrollBar*>(QStringLiteral("wndHScroll"));
        auto* vbar = f.view.findChild<QScrollBar*>(QStringLiteral("wndVScroll"));
        QVERIFY(hbar && vbar);
        QVERIFY(vbar->isHidden());
        struct Step { int widthPx; bool shown; int maximum; };
        const Step steps[] = {
            {560, false, 0},    // 8400 >= 8295: fits
            {552, true, 515},   // 8280 < 8295: shown, 8295 + 500 - 8280
            {580, true, 95},    // 8700 - 500 = 8200 is not > 8295: stays
            {586, true, 5},     // 8790 - 500 = 8290: stays
            {590, false, 0},    // 8850 - 500 = 8350 > 8295: hidden
            {556, false, 0},    // 8340 >= 8295 while hidden: stays hidden
        };
        for (const Step& s : steps) {
            f.view.resize(s.widthPx, 1200);
            QCOMPARE(!hbar->isHidden(), s.shown);
            if (s.shown)
                QCOMPARE(hbar->maximum(), s.maximum);
            else
                QCOMPARE(f.canvas->x(), 33); // 500 twips
        }
    }

    void scrollingMovesCanvasAndRuler()
    {
        Fixture f(5.0f, QSize(500, 400));
        auto* hbar = f.view.findChild<QScrollBar*>(QStringLiteral("wndHScroll"));
        auto* vbar = f.view.findChild<QScrollBar*>(QStringLiteral("wndVScroll"));
        auto* hr = f.view.findChild<QWidget*>(QStringLiteral("picHoriRuler"));
        auto* vr = f.view.findChild<QWidget*>(QStringLiteral("picVertRuler"));
        QVERIFY(!hbar->isHidden() && !vbar->isHidden());
        QCOMPARE(hbar->singleStep(), 200);
        QCOMPARE(hbar->pageStep(), 500);
        hbar->setValue(1500);
        QCOMPARE(f.canvas->x(), -67); // (500 - 1500) twips
        QCOMPARE(hr->x(), -67);
        QCOMPARE(vr->y(), 33);
        vbar->setValue(3000);
        QCOMPARE(f.canvas->y(), -167);
        QCOMPARE(vr->y(), -167);
        QCOMPARE(hr->y(), 0);
        // At the maximum the canvas ends 500 twips before the bar.
        hbar->setValue(hbar->maximum());
        const int canvasRightTw = (f.canvas->x() + f.canvas->width()) * 15;
        QVERIFY(std::abs(canvasRightTw + 500 - (f.view.width() - vbar->width()) * 15) <= 30);
    }

    void autoScrollAtWindowEdge()
    {
        Fixture f(5.0f, QSize(600, 500));
        auto* vbar = f.view.findChild<QScrollBar*>(QStringLiteral("wndVScroll"));
        QVERIFY(!vbar->isHidden());
        f.put(C1, 10, 10, 10, 5);
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px(12, 12));
        // Pointer below the window's bottom edge: each move scrolls 20 twips further.
        const QPoint below = f.canvas->mapFrom(&f.view, QPoint(200, f.view.height() + 5));
        QTest::mouseMove(f.canvas, below);
        const int v1 = vbar->value();
        QCOMPARE(v1, 20);
        QTest::mouseMove(f.canvas, below + QPoint(0, 1));
        QCOMPARE(vbar->value(), 40);
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, below);
        QVERIFY(f.box(C1).top > 10);
        QCOMPARE(f.undoSteps(), 1);
    }

    void labelReplacedAndRezoomed()
    {
        // The document window replaces the label after a successful open, then rezooms.
        Fixture f;
        f.put(C1, 10, 10, 10, 5);
        f.view.SelectField(C1);
        Label fresh(f.t);
        fresh.m_iHoriRulerWidth = 80;
        place(fresh, TEXT, 60, 5, 15, 5);
        fresh.m_arrFields[TEXT].iTextLine = 1;
        fresh.m_arrFields[TEXT].strText[1] = QStringLiteral("Hello");
        f.lb() = fresh;
        f.view.ApplyLabelScale(2.0f);
        QCOMPARE(int(f.lb().m_iSelected), -1);
        QCOMPARE(f.canvas->width(), int(std::lround(80 * 2.0 * 96 / 25.4)) + 1);
        QTest::mouseClick(f.canvas, Qt::LeftButton, {}, f.px(65, 7));
        QCOMPARE(int(f.lb().m_iSelected), int(TEXT));
        QCOMPARE(FieldCaption(f.lb(), TEXT), QStringLiteral("Hello"));
    }
};

QTEST_MAIN(TestCanvas)
#include "test_canvas.moc"
