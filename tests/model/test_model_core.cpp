#include "model/document.h"
#include "model/label.h"
#include "model/undo.h"
#include "model/units.h"
#include "model/numberspelling.h"
#include "common/testtables.h"

#include <QTest>
#include <cmath>

using namespace quillon;

class TestModelCore : public QObject {
    Q_OBJECT
private slots:
    void rounding_data();
    void rounding();
    void val_data();
    void val();
    void hexAndPad_data();
    void hexAndPad();
    void dots_data();
    void dots();
    void newLabel();
    void boxRoundTrip_data();
    void boxRoundTrip();
    void boxLimits_data();
    void boxLimits();
    void n1SizeFollowsFont();
    void emptyModelTable();
    void undoRing();
    void undoRingWrap();
};

void TestModelCore::rounding_data()
{
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("cint");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("half down to even") << 0.5 << 0 << false;
    QTest::newRow("half up to even") << 1.5 << 2 << false;
    QTest::newRow("2.5") << 2.5 << 2 << false;
    QTest::newRow("-0.5") << -0.5 << 0 << false;
    QTest::newRow("-1.5") << -1.5 << -2 << false;
    QTest::newRow("just above half") << 2.5000001 << 3 << false;
    QTest::newRow("top") << 32767.4 << 32767 << false;
    QTest::newRow("over top") << 32767.5 << 32767 << true;
    QTest::newRow("bottom") << -32768.5 << -32768 << false;
    QTest::newRow("under bottom") << -40000.0 << -32768 << true;
    QTest::newRow("nan") << double(NAN) << 0 << true;
    QTest::newRow("inf") << double(INFINITY) << 32767 << true;
}

void TestModelCore::rounding()
{
    QFETCH(double, v);
    QFETCH(int, cint);
    QFETCH(bool, overflow);
    bool ov = !overflow;
    QCOMPARE(int(CInt(v, &ov)), cint);
    QCOMPARE(ov, overflow);
}

void TestModelCore::val_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("mm display") << "12.50 (mm)" << 12.5;
    QTest::newRow("dot display") << "96 (Dot)" << 96.0;
    QTest::newRow("blanks and sign") << "  -3e2x" << -300.0;
    QTest::newRow("D exponent") << "1D2" << 100.0;
    QTest::newRow("E without figures") << "7E" << 7.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("hex") << "&HFF" << 255.0;
    QTest::newRow("hex 16-bit negative") << "&HFFFF" << -1.0;
    QTest::newRow("hex 32-bit") << "&H10000" << 65536.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("huge exponent stays finite") << "1e999" << 1.7976931348623157e308;
}

void TestModelCore::val()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    const double v = Val(text);
    QVERIFY(std::isfinite(v));
    QCOMPARE(v, value);
}

void TestModelCore::hexAndPad_data()
{
    QTest::addColumn<QString>("got");
    QTest::addColumn<QString>("expected");
    QTest::newRow("hex4") << HexN(4, 80) << "0050";
    QTest::newRow("hex4 negative") << HexN(4, -16) << "FFF0";
    QTest::newRow("hex4 -1") << HexN(4, -1) << "FFFF";
    QTest::newRow("hex2 too wide kept whole") << HexN(2, 300) << "12C";
    QTest::newRow("dec8") << DecN(8, 5) << "00000005";
    QTest::newRow("dec2 too wide") << DecN(2, 123) << "123";
    QTest::newRow("pad") << PadLeft(4, "1A") << "001A";
    QTest::newRow("pad never shortens") << PadLeft(2, "12345") << "12345";
    QTest::newRow("hex leading") << QString::number(HexLeading(u"1Azz")) << "26";
    QTest::newRow("hex leading 8 max") << QString::number(HexLeading(u"123456789")) << "305419896";
    QTest::newRow("dec leading saturates") << QString::number(DecLeading(u"99999999999")) << "4294967295";
}

void TestModelCore::hexAndPad()
{
    QFETCH(QString, got);
    QFETCH(QString, expected);
    QCOMPARE(got, expected);
}

void TestModelCore::dots_data()
{
    QTest::addColumn<float>("mm");
    QTest::addColumn<float>("perK");
    QTest::addColumn<int>("dots");
    QTest::addColumn<float>("snapped");
    QTest::newRow("10 mm") << 10.0f << 125.0f << 80 << 10.0f;
    QTest::newRow("10.07 snaps up") << 10.07f << 125.0f << 81 << 10.125f;
    QTest::newRow("50.3") << 50.3f << 125.0f << 402 << 50.25f;
    QTest::newRow("half dot to even 0") << 0.0625f << 125.0f << 0 << 0.0f;
    QTest::newRow("1.5 dots to 2") << 0.1875f << 125.0f << 2 << 0.25f;
    QTest::newRow("2.5 dots to 2") << 0.3125f << 125.0f << 2 << 0.25f;
    QTest::newRow("negative") << -2.0f << 125.0f << -16 << -2.0f;
    QTest::newRow("other model") << 10.0f << 100.0f << 100 << 10.0f;
    QTest::newRow("saturates") << 5000.0f << 125.0f << 32767 << 4095.875f;
}

void TestModelCore::dots()
{
    QFETCH(float, mm);
    QFETCH(float, perK);
    QFETCH(int, dots);
    QFETCH(float, snapped);
    QCOMPARE(int(MMToDot(mm, perK)), dots);
    QCOMPARE(AdjustMMtoDot(mm, perK), snapped);
}

void TestModelCore::newLabel()
{
    const Tables t = test::makeTables();
    Label l(t);
    QCOMPARE(l.m_iFormatNo, qint16(1));
    QCOMPARE(l.m_iHoriRulerWidth, qint16(55));
    QCOMPARE(l.m_iVertRulerHeight, qint16(50));
    QCOMPARE(l.m_iSelected, qint16(-1));
    QCOMPARE(l.fieldCount(), int(t.g_arrFieldDef.size()));
    const FieldRecord& r = l.m_arrFields[FT_C1];
    QVERIFY(!r.bUsed);
    QCOMPARE(r.lAttribute, 112);
    QCOMPARE(r.printStatus(), 7);
    QCOMPARE(r.strCharSize[1], QStringLiteral("Large"));
    QCOMPARE(r.strLogoSize, QStringLiteral("20"));
    QCOMPARE(r.iNumOfFigures, qint16(6));
    QCOMPARE(r.dblThickness, 1.0);
    QCOMPARE(r.sngWidth, 20.0f);
    QCOMPARE(l.GetMMPerKDot(), 125.0f);
    Label copy = l;
    QVERIFY(copy == l);
    copy.m_arrFields[3].strText[20] = QStringLiteral("x");
    QVERIFY(copy != l);
}

void TestModelCore::boxRoundTrip_data()
{
    QTest::addColumn<int>("rotation");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    // Field at X 10, Y 5, own size 20 x 4 on a 55 x 50 label: the reference point
    // is the box's bottom-left, bottom-right, top-right, top-left corner.
    QTest::newRow("0") << 0 << 10.0f << 41.0f << 20.0f << 4.0f;
    QTest::newRow("90") << 1 << 6.0f << 25.0f << 4.0f << 20.0f;
    QTest::newRow("180") << 2 << -10.0f << 45.0f << 20.0f << 4.0f;
    QTest::newRow("270") << 3 << 10.0f << 45.0f << 4.0f << 20.0f;
}

void TestModelCore::boxRoundTrip()
{
    QFETCH(int, rotation);
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(float, width);
    QFETCH(float, height);
    const Tables t = test::makeTables();
    Label l(t);
    FieldRecord& r = l.m_arrFields[FT_C1];
    r.sngX = 10;
    r.sngY = 5;
    r.sngWidth = 20;
    r.sngHeight = 4;
    r.lAttribute = (rotation << 14) | 112;
    const FieldBox b = l.GetFieldSize(FT_C1);
    QCOMPARE(b.left, left);
    QCOMPARE(b.top, top);
    QCOMPARE(b.width, width);
    QCOMPARE(b.height, height);
    if (left >= 0 && top + height <= 50) {
        // Inside the label: storing the box gives back the same record.
        const FieldRecord before = r;
        l.NormaliseField(FT_C1);
        QVERIFY(FieldRecordsEqual(l.m_arrFields[FT_C1], before));
    }
}

void TestModelCore::boxLimits_data()
{
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("eLeft");
    QTest::addColumn<float>("eTop");
    QTest::addColumn<float>("eWidth");
    QTest::addColumn<float>("eHeight");
    QTest::newRow("inside, snapped") << 10.07f << 5.0f << 20.0f << 4.0f << 10.125f << 5.0f << 20.0f << 4.0f;
    QTest::newRow("too narrow") << 10.0f << 5.0f << 0.2f << 0.0f << 10.0f << 5.0f << 1.0f << 1.0f;
    QTest::newRow("past right edge") << 50.0f << 5.0f << 20.0f << 4.0f << 50.0f << 5.0f << 5.0f << 4.0f;
    QTest::newRow("negative position") << -3.0f << -2.0f << 10.0f << 4.0f << 0.0f << 0.0f << 10.0f << 4.0f;
    QTest::newRow("wider than label") << -10.0f << 0.0f << 80.0f << 4.0f << 0.0f << 0.0f << 55.0f << 4.0f;
    QTest::newRow("above the top, taller than label") << 0.0f << -8.0f << 4.0f << 70.0f << 0.0f << 0.0f << 4.0f << 50.0f;
}

void TestModelCore::boxLimits()
{
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(float, width);
    QFETCH(float, height);
    const Tables t = test::makeTables();
    Label l(t);
    l.SetFieldSize(FT_B1, left, top, width, height);
    QTEST(left, "eLeft");
    QTEST(top, "eTop");
    QTEST(width, "eWidth");
    QTEST(height, "eHeight");
    const FieldRecord& r = l.m_arrFields[FT_B1];
    QCOMPARE(r.sngX, left);
    QCOMPARE(r.sngY, 50.0f - top - height);
}

void TestModelCore::n1SizeFollowsFont()
{
    const Tables t = test::makeTables();
    Label l(t);
    FieldRecord& r = l.m_arrFields[FT_N1];
    r.sngWidth = 33;
    r.sngHeight = 17;
    l.NormaliseField(FT_N1);
    // Large is 12 x 24 dots: 6 figures give 72 x 24 dots.
    QCOMPARE(l.MMToDot(r.sngWidth), qint16(72));
    QCOMPARE(l.MMToDot(r.sngHeight), qint16(24));
}

void TestModelCore::emptyModelTable()
{
    Tables t = test::makeTables();
    t.g_arrScaleModel.clear();
    Label l(t);
    QCOMPARE(l.GetMMPerKDot(), 125.0f);
    QCOMPARE(l.MMToDot(10), qint16(80));
    t.g_arrFieldDef.clear();
    Label none(t);
    QCOMPARE(none.fieldCount(), 0);
    QCOMPARE(none.GetFieldSize(0).width, 0.0f);
}

void TestModelCore::undoRing()
{
    const Tables t = test::makeTables();
    Document d(t);
    Label& l = d.label();
    const QList<int> none;
    QVERIFY(!d.undo().canUndo() && !d.undo().canRedo());
    QCOMPARE(d.Undo(), none);

    // A move released where it started records nothing.
    QVERIFY(!UndoStep(d, 2).Commit());
    QVERIFY(!d.undo().canUndo());

    { UndoStep s(d, 2); l.m_arrFields[2].bUsed = true; }
    { UndoStep s(d, 2); l.m_arrFields[2].sngX = 7; }
    QVERIFY(d.undo().canUndo());

    // Something outside the history changes the field; undo restores the whole record.
    l.m_arrFields[2].strText[1] = QStringLiteral("imported");
    QCOMPARE(d.Undo(), QList<int>{2});
    QCOMPARE(l.m_arrFields[2].sngX, 2.0f);
    QVERIFY(l.m_arrFields[2].bUsed);
    QVERIFY(l.m_arrFields[2].strText[1].isEmpty());
    QCOMPARE(d.Redo(), QList<int>{2});
    QCOMPARE(l.m_arrFields[2].sngX, 7.0f);
    QCOMPARE(d.Redo(), none);

    // Undo then a new change: nothing left to redo.
    QCOMPARE(d.Undo(), QList<int>{2});
    { UndoStep s(d, 4); l.m_arrFields[4].iNumOfFigures = 3; }
    QVERIFY(!d.undo().canRedo());

    // Several fields edited together are one step; a cancelled step records nothing.
    const float x0 = l.m_arrFields[0].sngX;
    {
        UndoStep s(d, QList<int>{0, 1, 3});
        l.m_arrFields[0].sngX = 9;
        l.m_arrFields[3].sngY = 9;
    }
    { UndoStep s(d, 5); l.m_arrFields[5].sngX = 8; s.Cancel(); }
    QCOMPARE(d.Undo(), (QList<int>{0, 3}));
    QCOMPARE(l.m_arrFields[0].sngX, x0);
    QCOMPARE(d.Redo(), (QList<int>{0, 3}));
    QCOMPARE(l.m_arrFields[3].sngY, 9.0f);
    QCOMPARE(d.Undo(), (QList<int>{0, 3}));
    QCOMPARE(d.Undo(), QList<int>{4});
    QCOMPARE(d.Undo(), QList<int>{2});
    QVERIFY(!l.m_arrFields[2].bUsed);
    QCOMPARE(d.Undo(), none);

    // A label opened into the document starts a history of its own.
    { UndoStep s(d, 2); l.m_arrFields[2].sngX = 5; }
    d.ClearHistory();
    QVERIFY(!d.undo().canUndo() && !d.undo().canRedo());
}

void TestModelCore::undoRingWrap()
{
    const Tables t = test::makeTables();
    for (int steps : {100, 101, 250}) {
        Document d(t);
        Label& l = d.label();
        for (int i = 1; i <= steps; ++i) {
            UndoStep s(d, 0);
            l.m_arrFields[0].sngX = float(i);
        }
        int undone = 0;
        while (!d.Undo().isEmpty())
            ++undone;
        QCOMPARE(undone, 100);
        QCOMPARE(l.m_arrFields[0].sngX, float(steps - 100 == 0 ? 2 : steps - 100));
        int redone = 0;
        while (!d.Redo().isEmpty())
            ++redone;
        QCOMPARE(redone, 100);
        QCOMPARE(l.m_arrFields[0].sngX, float(steps));
    }
}

QTEST_GUILESS_MAIN(TestModelCore)
#include "test_model_core.moc"
