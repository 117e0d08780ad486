// The canvas as the user drives it: real mouse, key and wheel events on the
// widgets of a LabelView, checked against the label record and the undo ring.
#include "common/testtables.h"
#include "editor/labelview.h"
#include "editor/rulers.h"
#include "render/labelpainter.h"
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>

using namespace quillon;

namespace {

enum : int { B1 = 0, C1 = 5, C2 = 6, N1 = 9, SHOP = 11 };

struct Fixture {
    Tables t = test::makeTables();
    Document doc{t};
    LabelView view{doc};
    QWidget* canvas = view.findChild<QWidget*>(QStringLiteral("picCanvas"));

    explicit Fixture(float zoom = 4.0f, QSize size = QSize(1500, 1400))
    {
        view.resize(size);
        view.show();
        view.ApplyLabelScale(zoom);
        QObject::connect(&view, &LabelView::zoomRequested, &view, &LabelView::ApplyLabelScale);
    }
    Label& lb() { return doc.label(); }
    double pxPerMM() const { return view.m_sngLabelScale() * view.logicalDpiX() / 25.4; }
    QPoint px(QPointF mm) const { return (mm * pxPerMM()).toPoint(); }
    QRectF box(int i)
    {
        const FieldBox b = lb().GetFieldSize(i);
        return {b.left, b.top, b.width, b.height};
    }
    template <class T> T* child(const char* name) { return view.findChild<T*>(QLatin1String(name)); }
    void put(int i, QRectF r, int rot = 0)
    {
        test::place(lb(), i, r.x(), r.y(), r.width(), r.height(), rot);
        view.AdjustLabel(i);
    }
    QPointF handleCentre(int k)
    {
        const double hs = 1.7 / view.m_sngLabelScale();
        return HandleRect(box(lb().m_iSelected), k, hs, hs).center();
    }
    void click(QPointF mm) { QTest::mouseClick(canvas, Qt::LeftButton, {}, px(mm)); }
    // Press at `from`, move in four equal steps to `to` (label mm), release there.
    void drag(QPointF from, QPointF to)
    {
        QTest::mousePress(canvas, Qt::LeftButton, {}, px(from));
        for (int n = 1; n <= 4; ++n)
            QTest::mouseMove(canvas, px(from + (to - from) * (n / 4.0)));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, px(to));
    }
    void send(QWidget* w, QPoint at, int wheel = 0)
    {
        QWheelEvent we(at, w->mapToGlobal(at), {}, {0, wheel}, {}, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QMouseEvent me(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, {}, {});
        QApplication::sendEvent(w, wheel ? static_cast<QEvent*>(&we) : &me);
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

} // namespace

class TestCanvas : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QWidget().logicalDpiX() != 96)
            QSKIP("the expected twips assume 96 logical DPI");
    }

    void selectAndHotTrack()
    {
        Fixture f;
        f.put(C1, {10, 20, 20, 5}); // reference point X 10, Y 25
        f.put(C2, {15, 22, 20, 5}); // above C1 where they overlap
        QSignalSpy sel(&f.view, &LabelView::selectionChanged);
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px({12, 21}));
        QCOMPARE(int(f.lb().m_iSelected), C1);
        QCOMPARE(QPointF(f.view.horiHotTrack(), f.view.vertHotTrack()), QPointF(10, 25)); // from the top: 50 - 25
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, f.px({12, 21}));
        f.click({16, 23});
        QCOMPARE(sel.last().at(0).toInt(), C2);
        // A double-click asks for the text of a text field only.
        f.put(SHOP, {30, 35, 20, 6});
        QSignalSpy edit(&f.view, &LabelView::editTextRequested);
        QTest::mouseDClick(f.canvas, Qt::LeftButton, {}, f.px({16, 23}));
        QTest::mouseDClick(f.canvas, Qt::LeftButton, {}, f.px({32, 37}));
        QCOMPARE(QList<QList<QVariant>>(edit), QList<QList<QVariant>>{{SHOP}});
        f.view.SelectField(C2);
        // Clicks that do not move record nothing and leave the label unmodified.
        QVERIFY(f.undoSteps() == 0 && !f.lb().m_bModified);
        // A click on the empty canvas clears the selection, and so does Escape.
        f.click({50, 45});
        QCOMPARE(sel.last().at(0).toInt(), -1);
        f.view.SelectField(C2);
        QTest::keyClick(f.canvas, Qt::Key_Escape);
        QCOMPARE(int(f.lb().m_iSelected), -1);
        f.view.SelectField(B1); // hidden: cannot be selected
        QCOMPARE(int(f.lb().m_iSelected), -1);
        // Hovering moves both marks, over a ruler only its own. A mark is drawn up to the label's end;
        // past it the position is kept but nothing drawn, and the mark it had leaves no trace.
        auto marks = [&] { return QPoint(qRound(f.view.horiHotTrack() * 10), qRound(f.view.vertHotTrack() * 10)); };
        auto* hr = static_cast<Ruler*>(f.child<QWidget>("picHoriRuler"));
        f.view.HoriRulerHotTrack(-1);
        const QImage clean = hr->grab().toImage();
        f.send(f.canvas, f.px({12, 30}));
        QCOMPARE(marks(), QPoint(120, 300));
        QVERIFY(hr->grab().toImage() != clean);
        f.send(hr, QPoint(f.px({40, 0}).x(), 5));
        QCOMPARE(marks(), QPoint(400, 300));
        f.view.HoriRulerHotTrack(55);
        QVERIFY(hr->markDrawn());
        f.send(hr, QPoint(f.px({58, 0}).x(), 5));
        QVERIFY(marks().x() == 580 && !hr->markDrawn());
        QCOMPARE(hr->grab().toImage(), clean);
    }

    // Moving by the body (handle -1) or resizing by a handle, kept on the label and at least 1 mm.
    void dragAndResize()
    {
        const QRectF b(20, 20, 10, 10), s(20, 20, 5, 5);
        const struct { QRectF start; int handle; QPointF move; QRectF end; } cases[] = {
            {{3, 10, 10, 5}, -1, {-5, 0}, {0, 10, 10, 5}},  {{40, 10, 10, 5}, -1, {10, 0}, {45, 10, 10, 5}},
            {{10, 4, 10, 5}, -1, {0, -9}, {10, 0, 10, 5}},  {{30, 40, 10, 5}, -1, {30, 30}, {45, 45, 10, 5}},
            {{10, 10, 10, 5}, -1, {.05, .05}, {10, 10, 10, 5}}, // below one dot: no move
            {b, 0, {-2, -3}, {18, 17, 12, 13}},  {b, 1, {2, 5}, {22, 20, 8, 10}},  {b, 2, {-4, 2}, {16, 20, 14, 12}},
            {b, 3, {3, 4}, {20, 24, 10, 6}},     {b, 4, {-3, -2.5}, {20, 20, 10, 7.5}},
            {b, 5, {5, -5}, {20, 15, 15, 15}},   {b, 6, {-1.5, 9}, {20, 20, 8.5, 10}},
            {b, 7, {4, 6}, {20, 20, 14, 16}},    {s, 7, {-8, -8}, {20, 20, 1, 1}}, {s, 0, {8, 8}, {24, 24, 1, 1}},
            {{10, 2, 10, 10}, 3, {0, -5}, {10, 0, 10, 12}}, {{3, 10, 10, 10}, 1, {-6, 0}, {0, 10, 13, 10}},
            {{40, 10, 10, 10}, 6, {10, 0}, {40, 10, 15, 10}},
        };
        for (const auto& c : cases) {
            Fixture f;
            f.put(C1, c.start);
            f.view.SelectField(C1);
            const FieldRecord before = f.lb().m_arrFields[C1];
            QSignalSpy edited(&f.view, &LabelView::fieldEdited);
            const QPointF grip = c.handle < 0 ? c.start.topLeft() + QPointF(2, 2) : f.handleCentre(c.handle);
            f.drag(grip, grip + c.move);
            QCOMPARE(f.box(C1), c.end);
            // An edit must not be lost on close, and is one step.
            const int changed = c.end != c.start;
            QCOMPARE(QList<int>({f.lb().m_bModified, int(edited.count()), f.undoSteps()}), QList<int>(3, changed));
            if (changed) {
                QCOMPARE(f.doc.Undo(), QList<int>{C1});
                QVERIFY(FieldRecordsEqual(f.lb().m_arrFields[C1], before));
                QCOMPARE(f.doc.Redo(), QList<int>{C1});
                QCOMPARE(f.box(C1), c.end);
            }
        }
    }

    void dragRotatedField()
    {
        // Reference point after placing box (10, 10, 8, 4) at each rotation.
        const QPointF refs[] = {{10, 36}, {18, 36}, {18, 40}, {10, 40}};
        for (int rot = 0; rot < 4; ++rot) {
            Fixture f;
            f.put(C1, {10, 10, 8, 4}, rot);
            const FieldRecord& r = f.lb().m_arrFields[C1];
            QCOMPARE(QPointF(r.sngX, r.sngY), refs[rot]);
            // The box, not the unrotated record, is what the pointer hits.
            f.click({17, 13});
            QCOMPARE(int(f.lb().m_iSelected), C1);
            f.drag({11, 11}, {16, 8});
            QCOMPARE(f.box(C1), QRectF(15, 7, 8, 4));
            QCOMPARE(QPointF(r.sngX, r.sngY), refs[rot] + QPointF(5, 3));
        }
    }

    void n1HandlesAreInert()
    {
        Fixture f;
        f.put(N1, {10, 10, 1, 1}); // its size follows its font and figures
        const QRectF n1 = f.box(N1);
        QCOMPARE(float(n1.width()), f.lb().DotToMM(12 * 6));
        f.view.SelectField(N1);
        const QImage shot = f.canvas->grab().toImage();
        const QPointF hc = f.handleCentre(7);
        QCOMPARE(shot.pixelColor(f.px(hc) * shot.devicePixelRatio()), QColor(128, 128, 128));
        f.drag(hc, hc + QPointF(6, 6));
        QCOMPARE(f.box(N1), n1);
        QCOMPARE(f.undoSteps(), 0);
        // The field itself still moves.
        f.drag(n1.topLeft() + QPointF(0.5, 0.5), n1.topLeft() + QPointF(5.5, 0.5));
        QCOMPARE(f.box(N1), n1.translated(5, 0));
    }

    void deleteKey()
    {
        Fixture f;
        f.put(C1, {10, 10, 10, 5});
        QSignalSpy removed(&f.view, &LabelView::fieldRemoved);
        QTest::keyClick(f.canvas, Qt::Key_Delete); // nothing selected
        // Ignored while dragging.
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px({12, 12}));
        QTest::keyClick(f.canvas, Qt::Key_Delete);
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, f.px({12, 12}));
        QVERIFY(f.lb().m_arrFields[C1].bUsed);
        QTest::keyClick(f.canvas, Qt::Key_Delete);
        QVERIFY(!f.lb().m_arrFields[C1].bUsed && f.lb().m_bModified); // must not be lost on close
        QCOMPARE(QList<int>({f.lb().m_iSelected, int(removed.count()), f.undoSteps()}), QList<int>({-1, 1, 1}));
        f.click({12, 12}); // selects nothing now
        QCOMPARE(int(f.lb().m_iSelected), -1);
        QCOMPARE(f.doc.Undo(), QList<int>{C1});
        QCOMPARE(f.box(C1), QRectF(10, 10, 10, 5));
    }

    void nudge()
    {
        // Each press is its own step; one that cannot move records nothing.
        const struct { Qt::Key key; bool shift; QPointF start, end; int stepsAfterTwo; } cases[] = {
            {Qt::Key_Left, false, {10, 10}, {9.875, 10}, 2}, {Qt::Key_Right, false, {10, 10}, {10.125, 10}, 2},
            {Qt::Key_Up, false, {10, 10}, {10, 9.875}, 2},   {Qt::Key_Down, true, {10, 10}, {10, 11}, 2},
            {Qt::Key_Right, true, {10, 10}, {11, 10}, 2},    {Qt::Key_Left, false, {0, 10}, {0, 10}, 0},
            {Qt::Key_Right, true, {44.5, 10}, {45, 10}, 1},  {Qt::Key_Down, true, {10, 45}, {10, 45}, 0},
        };
        for (const auto& c : cases) {
            Fixture f;
            f.put(C1, {c.start, QSizeF(10, 5)});
            f.view.SelectField(C1);
            QTest::keyClick(f.canvas, c.key, c.shift ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(f.box(C1), QRectF(c.end, QSizeF(10, 5)));
            QCOMPARE(QList<int>({f.lb().m_bModified, f.undoSteps()}), QList<int>(2, c.end != c.start));
            QTest::keyClick(f.canvas, c.key, c.shift ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(f.undoSteps(), c.stepsAfterTwo);
        }
    }

    // The user's paths with several fields: a wobbling click moves nothing, Shift+click
    // and a rubber band select, the selection moves as one undo step, a drag snaps to
    // another field's edge (not with Alt), Tab steps, Delete takes all, a palette drop lands.
    void severalFields()
    {
        Fixture f;
        f.put(C1, {10, 20, 20, 5});
        f.put(C2, {15, 30, 10, 5});
        f.put(SHOP, {30, 5, 20, 6});
        auto move = [&](QPointF mm, Qt::KeyboardModifiers mods = {}) {
            QMouseEvent e(QEvent::MouseMove, f.px(mm), f.canvas->mapToGlobal(f.px(mm)), Qt::NoButton, Qt::LeftButton,
                          mods);
            QApplication::sendEvent(f.canvas, &e);
        };
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px({12, 22}));
        QTest::mouseMove(f.canvas, f.px({12, 22}) + QPoint(1, 1));
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, f.px({12, 22}) + QPoint(1, 1));
        QVERIFY(f.box(C1) == QRectF(10, 20, 20, 5) && !f.lb().m_bModified && f.undoSteps() == 0);

        QTest::mouseClick(f.canvas, Qt::LeftButton, Qt::ShiftModifier, f.px({16, 31}));
        QCOMPARE(f.view.selection(), (QList<int>{C1, C2}));
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px({16, 31}));
        move({18, 32}, Qt::AltModifier);
        move({21.3, 33.4}, Qt::AltModifier);
        QTest::mouseRelease(f.canvas, Qt::LeftButton, Qt::AltModifier, f.px({21.3, 33.4}));
        QVERIFY(f.box(C1) == QRectF(15.25, 22.375, 20, 5) && f.box(C2) == QRectF(20.25, 32.375, 10, 5));
        QCOMPARE(f.undoSteps(), 1);
        QList<int> undone = f.doc.Undo();
        std::sort(undone.begin(), undone.end());
        QVERIFY(undone == (QList<int>{C1, C2}) && f.box(C2) == QRectF(15, 30, 10, 5));

        // C2's left edge dragged near C1's (10 mm) snaps onto it and shows the guide.
        f.click({16, 31});
        QCOMPARE(f.view.selection(), QList<int>{C2});
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px({16, 31}));
        move({13, 31});
        move({11.2, 31});
        QCOMPARE(f.view.snapGuidesX(), QVector<float>{10});
        f.view.DeleteSelection();   // a shortcut under the drag waits for its end
        QVERIFY(f.view.isDragging() && f.lb().m_arrFields[C2].bUsed);
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, f.px({11.2, 31}));
        QVERIFY(f.box(C2).left() == 10 && f.view.snapGuidesX().isEmpty());

        // A band over C1 and C2 from the empty corner; Tab and Shift+Tab step through the fields.
        QTest::mousePress(f.canvas, Qt::LeftButton, {}, f.px({2, 45}));
        move({12, 22});
        QTest::mouseRelease(f.canvas, Qt::LeftButton, {}, f.px({12, 22}));
        QCOMPARE(f.view.selection().size(), 2);
        QTest::keyClick(f.canvas, Qt::Key_Tab);
        QCOMPARE(f.view.selection(), QList<int>{SHOP});
        QTest::keyClick(f.canvas, Qt::Key_Backtab);
        QCOMPARE(f.view.selection(), QList<int>{C2});
        f.view.SetSelection({C1, C2});
        QTest::keyClick(f.canvas, Qt::Key_Delete);
        QVERIFY(!f.lb().m_arrFields[C1].bUsed && !f.lb().m_arrFields[C2].bUsed && f.view.selection().isEmpty());
        QCOMPARE(f.doc.Undo(), (QList<int>{C1, C2}));

        QSignalSpy dropped(&f.view, &LabelView::fieldDropped);
        QMimeData mime;
        mime.setData(kFieldMimeType, QByteArray::number(N1));
        QDragEnterEvent enter(f.px({30, 40}), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(f.canvas, &enter);
        QDropEvent drop(f.px({30, 40}), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(f.canvas, &drop);
        QVERIFY(dropped.size() == 1 && dropped[0][0].toInt() == N1);
        QVERIFY((dropped[0][1].toPointF() - QPointF(30, 40)).manhattanLength() < 0.2);
    }

    // The canvas and the renderer are one painter: the same pixels at the same zoom, in
    // the editing view and with the preview on.
    void sameAsRender()
    {
        for (const bool preview : {false, true}) {
            Fixture f(2.0f);
            f.put(C1, {5, 5, 30, 6});
            f.put(B1, {5, 20, 40, 20});
            const SampleItem item = DefaultSampleItem(QStringLiteral("English"));
            if (preview)
                f.view.SetSample(item, true);
            const QImage render = RenderLabelToImage(f.lb(), 2.0, preview ? &item : nullptr);
            QCOMPARE(f.canvas->grab().toImage().convertToFormat(render.format()), render);
        }
    }

    void zoom()
    {
        // Out of 0.5 to 5.0 is ignored; the canvas is the 55 x 50 mm label at the zoom plus one pixel.
        for (auto [request, result] : {std::pair{0.4f, 2.5f}, {5.1f, 2.5f}, {0.5f, 0.5f}, {5.0f, 5.0f}, {1.3f, 1.3f}}) {
            Fixture f(2.5f);
            f.view.ApplyLabelScale(request);
            QCOMPARE(f.view.m_sngXTwipsPerMM(), float(result * 1440 / 25.4));
            QCOMPARE(f.canvas->size(), QSize(std::lround(55 * result * 96 / 25.4), std::lround(50 * result * 96 / 25.4))
                                           + QSize(1, 1));
        }
        // Ctrl+wheel steps by 0.1 within the limits.
        const struct { float start; int delta; float result; } wheels[] = {
            {4.9f, 120, 5.0f}, {5.0f, 120, 5.0f}, {0.6f, -120, 0.5f}, {0.5f, -120, 0.5f}, {2.55f, 120, 2.6f}};
        for (const auto& w : wheels) {
            Fixture f(w.start, QSize(600, 500));
            QSignalSpy zoom(&f.view, &LabelView::zoomRequested);
            f.send(f.canvas, f.px({20, 20}), w.delta);
            QCOMPARE(f.view.m_sngLabelScale(), w.result);
            QCOMPARE(zoom.count(), int(w.result != w.start));
        }
        // The point under the pointer stays under it, with both bars shown.
        Fixture f(2.5f, QSize(400, 350));
        const QPoint inView = f.canvas->mapTo(&f.view, f.px({30, 25}));
        f.send(f.canvas, f.px({30, 25}), 120);
        const QPointF under = QPointF(f.canvas->mapFrom(&f.view, inView)) / f.pxPerMM();
        QVERIFY2(qAbs(under.x() - 30) < 0.3 && qAbs(under.y() - 25) < 0.3, qPrintable(QString::number(under.x())));
    }

    void scrollBars()
    {
        // 55 mm at 2.5 needs 500 + 7795 = 8295 twips across; at 96 DPI one pixel is 15 twips.
        Fixture f(2.5f, QSize(600, 1200));
        auto* hbar = f.child<QScrollBar>("wndHScroll");
        QVERIFY(f.child<QScrollBar>("wndVScroll")->isHidden());
        const struct { int widthPx, maximum; } steps[] = {
            {560, -1},  // 8400 >= 8295: fits
            {552, 515}, // 8280 < 8295: shown, 8295 + 500 - 8280
            {586, 5},   // 8790 - 500 = 8290: stays
            {590, -1},  // 8850 - 500 = 8350 > 8295: hidden
            {556, -1},  // 8340 >= 8295 while hidden: stays hidden, the canvas 500 twips in
        };
        for (const auto& s : steps) {
            f.view.resize(s.widthPx, 1200);
            QCOMPARE(hbar->isHidden() ? -f.canvas->x() : hbar->maximum(), s.maximum < 0 ? -33 : s.maximum);
        }
        // Scrolling moves the canvas and the rulers along with it.
        Fixture z(5.0f, QSize(500, 400));
        hbar = z.child<QScrollBar>("wndHScroll");
        auto* vbar = z.child<QScrollBar>("wndVScroll");
        auto* hr = z.child<QWidget>("picHoriRuler");
        auto* vr = z.child<QWidget>("picVertRuler");
        QCOMPARE(QPoint(hbar->singleStep(), hbar->pageStep()), QPoint(200, 500));
        hbar->setValue(1500);
        QCOMPARE(QList<int>({z.canvas->x(), hr->x(), vr->y()}), QList<int>({-67, -67, 33})); // (500 - 1500) twips
        vbar->setValue(3000);
        QCOMPARE(QList<int>({z.canvas->y(), vr->y(), hr->y()}), QList<int>({-167, -167, 0}));
        // At the maximum the canvas ends 500 twips before the bar.
        hbar->setValue(hbar->maximum());
        const int canvasRightTw = (z.canvas->x() + z.canvas->width()) * 15;
        QVERIFY(std::abs(canvasRightTw + 500 - (z.view.width() - vbar->width()) * 15) <= 30);
        // A drag past the window's bottom edge scrolls 20 twips further with each move.
        hbar->setValue(0);
        vbar->setValue(0);
        z.put(C1, {10, 10, 10, 5});
        QTest::mousePress(z.canvas, Qt::LeftButton, {}, z.px({12, 12}));
        const QPoint below = z.canvas->mapFrom(&z.view, QPoint(200, z.view.height() + 5));
        QTest::mouseMove(z.canvas, below);
        QCOMPARE(vbar->value(), 20);
        QTest::mouseMove(z.canvas, below + QPoint(0, 1));
        QCOMPARE(vbar->value(), 40);
        QTest::mouseRelease(z.canvas, Qt::LeftButton, {}, below);
        QVERIFY(z.box(C1).top() > 10 && z.undoSteps() == 1);
    }
};

QTEST_MAIN(TestCanvas)
#include "test_canvas.moc"
