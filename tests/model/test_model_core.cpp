#include "model/arrange.h"
#include "model/codepage.h"
#include "model/document.h"
#include "model/label.h"
#include "model/undo.h"
#include "model/units.h"
#include "model/numberspelling.h"
#include "model/qlffile.h"
#include "model/sampledata.h"
#include "common/testtables.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace quillon;

class TestModelCore : public QObject {
    Q_OBJECT
private slots:
    void numbers()
    {
        // Half to even, saturating at the 16-bit ends with the overflow flag set.
        const struct { double v; int cint; bool overflow; } rounding[] = {
            {0.5, 0, false}, {1.5, 2, false}, {2.5, 2, false}, {-0.5, 0, false}, {-1.5, -2, false},
            {2.5000001, 3, false}, {32767.4, 32767, false}, {32767.5, 32767, true}, {-32768.5, -32768, false},
            {-40000.0, -32768, true}, {double(NAN), 0, true}, {double(INFINITY), 32767, true}};
        for (const auto& r : rounding) {
            bool ov = !r.overflow;
            const int got = CInt(r.v, &ov);
            QVERIFY2(got == r.cint && ov == r.overflow, qPrintable(QString::number(r.v)));
        }
        const struct { const char* text; double value; } vals[] = {
            {"12.50 (mm)", 12.5}, {"96 (Dot)", 96}, {"  -3e2x", -300}, {"1D2", 100}, {"7E", 7}, {"1.2.3", 1.2},
            {".5", 0.5}, {"&HFF", 255}, {"&HFFFF", -1}, {"&H10000", 65536}, {"&O17", 15}, {"abc", 0}, {"", 0},
            {"-", 0}, {"1e999", 1.7976931348623157e308}};
        for (const auto& r : vals)
            QVERIFY2(Val(QString::fromUtf8(r.text)) == r.value, r.text);
        const QString padded[][2] = {
            {HexN(4, 80), "0050"}, {HexN(4, -16), "FFF0"}, {HexN(4, -1), "FFFF"}, {HexN(2, 300), "12C"},
            {DecN(8, 5), "00000005"}, {DecN(2, 123), "123"}, {PadLeft(4, "1A"), "001A"}, {PadLeft(2, "12345"), "12345"},
            {QString::number(HexLeading(u"1Azz")), "26"}, {QString::number(HexLeading(u"123456789")), "305419896"},
            {QString::number(DecLeading(u"99999999999")), "4294967295"}, {AnsiChar(936, qint16(0xD6D0)), "中"},
            {FormatSingle(12345678), "1.234568E+07"}, {FormatDouble(1.0 / 3), "0.333333333333333"}};
        for (const auto& p : padded)
            QCOMPARE(p[0], p[1]);
        // Millimetres to dots and back onto the dot grid.
        const struct { float mm, perK; int dots; float snapped; } dots[] = {
            {10, 125, 80, 10}, {10.07f, 125, 81, 10.125f}, {50.3f, 125, 402, 50.25f}, {0.0625f, 125, 0, 0},
            {0.1875f, 125, 2, 0.25f}, {0.3125f, 125, 2, 0.25f}, {-2, 125, -16, -2}, {10, 100, 100, 10},
            {5000, 125, 32767, 4095.875f}};
        for (const auto& d : dots) {
            QCOMPARE(int(MMToDot(d.mm, d.perK)), d.dots);
            QCOMPARE(AdjustMMtoDot(d.mm, d.perK), d.snapped);
        }
    }

    void newLabel()
    {
        Tables t = test::makeTables();
        Label l(t);
        QVERIFY(l.m_iFormatNo == 1 && l.m_iHoriRulerWidth == 55 && l.m_iVertRulerHeight == 50 && l.m_iSelected == -1);
        QCOMPARE(l.fieldCount(), int(t.g_arrFieldDef.size()));
        // A new field takes the last print status, the third size and the second logo size.
        const FieldRecord& r = l.m_arrFields[FT_C1];
        QVERIFY(!r.bUsed && r.lAttribute == 112 && r.printStatus() == 7 && r.iNumOfFigures == 6);
        QVERIFY(r.strCharSize[1] == "Large" && r.strLogoSize == "20");
        Label copy = l;
        QVERIFY(copy == l);
        copy.m_arrFields[3].strText[20] = QStringLiteral("x");
        QVERIFY(copy != l);
        // Without models the default resolution holds; without fields nothing breaks.
        t.g_arrScaleModel.clear();
        QCOMPARE(Label(t).MMToDot(10), qint16(80));
        t.g_arrFieldDef.clear();
        QCOMPARE(Label(t).fieldCount(), 0);
        QCOMPARE(Label(t).GetFieldSize(0).width, 0.0f);
    }

    void fieldBoxes()
    {
        const Tables t = test::makeTables();
        // A box set from the canvas is snapped, kept at least 1 mm and moved inside the label.
        const FieldBox limits[][2] = {
            {{10.07f, 5, 20, 4}, {10.125f, 5, 20, 4}}, {{10, 5, 0.2f, 0}, {10, 5, 1, 1}},
            {{50, 5, 20, 4}, {50, 5, 5, 4}}, {{-3, -2, 10, 4}, {0, 0, 10, 4}},
            {{-10, 0, 80, 4}, {0, 0, 55, 4}}, {{0, -8, 4, 70}, {0, 0, 4, 50}}};
        for (const auto& [in, e] : limits) {
            Label l(t);
            const auto [left, top, width, height] = l.SetFieldSize(FT_B1, in);
            QCOMPARE(QRectF(left, top, width, height), QRectF(e.left, e.top, e.width, e.height));
            QVERIFY(l.m_arrFields[FT_B1].sngX == left && l.m_arrFields[FT_B1].sngY == 50.0f - top - height);
        }
    }

    // Align, distribute and same size on three boxes (left, top, width, height in mm)
    // of the 55 x 50 mm label; the boxes stay on whole dots and inside the label.
    void arrangeFields()
    {
        const Tables t = test::makeTables();
        using Boxes = std::array<QRectF, 3>;
        const Boxes start{QRectF(2, 4, 10, 5), QRectF(20, 11, 6, 3), QRectF(40, 30, 12, 8)};
        const std::tuple<Arrange, Boxes> rows[] = {
            {Arrange::AlignLeft, {QRectF(2, 4, 10, 5), QRectF(2, 11, 6, 3), QRectF(2, 30, 12, 8)}},
            {Arrange::AlignRight, {QRectF(42, 4, 10, 5), QRectF(46, 11, 6, 3), QRectF(40, 30, 12, 8)}},
            {Arrange::AlignHCentre, {QRectF(22, 4, 10, 5), QRectF(24, 11, 6, 3), QRectF(21, 30, 12, 8)}},
            {Arrange::AlignBottom, {QRectF(2, 33, 10, 5), QRectF(20, 35, 6, 3), QRectF(40, 30, 12, 8)}},
            {Arrange::AlignVCentre, {QRectF(2, 18.5, 10, 5), QRectF(20, 19.5, 6, 3), QRectF(40, 17, 12, 8)}},
            // Gaps of (50 - 28) / 2 = 11 mm between the boxes.
            {Arrange::DistributeH, {QRectF(2, 4, 10, 5), QRectF(23, 11, 6, 3), QRectF(40, 30, 12, 8)}},
            {Arrange::SameWidth, {QRectF(2, 4, 12, 5), QRectF(20, 11, 12, 3), QRectF(40, 30, 12, 8)}},
            {Arrange::SameHeight, {QRectF(2, 4, 10, 8), QRectF(20, 11, 6, 8), QRectF(40, 30, 12, 8)}}};
        const int fields[] = {FT_C1, FT_C2, FT_C3};
        for (const auto& [how, expected] : rows) {
            Label l(t);
            for (int k = 0; k < 3; ++k)
                test::place(l, fields[k], start[k].x(), start[k].y(), start[k].width(), start[k].height());
            const QList<int> changed = ArrangeFields(l, {FT_C3, FT_C1, FT_C2, FT_B1}, how, FT_C3);
            for (int k = 0; k < 3; ++k) {
                const FieldBox b = l.GetFieldSize(fields[k]);
                QCOMPARE(QRectF(b.left, b.top, b.width, b.height), expected[k]);
                QCOMPARE(changed.contains(fields[k]), expected[k] != start[k]);
            }
        }
        // Two fields cannot be distributed; a field off the label is never placed by it.
        Label l(t);
        test::place(l, FT_C1, 2, 4, 10, 5);
        test::place(l, FT_C2, 30, 4, 10, 5);
        QVERIFY(ArrangeFields(l, {FT_C1, FT_C2}, Arrange::DistributeH, FT_C1).isEmpty());
        QVERIFY(ArrangeFields(l, {FT_C1, FT_C3}, Arrange::AlignTop, FT_C1).isEmpty() && !l.m_arrFields[FT_C3].bUsed);
    }

    // The nearest line within the tolerance wins; a grid is a line at every step.
    void snapping()
    {
        const QVector<float> lines{0, 27.5f, 55};
        const std::tuple<QVector<float>, float, float, bool, float, float> rows[] = {
            // edges, grid step, tolerance, snaps, shift, line
            {{26.9f, 30, 33.1f}, 0, 1, true, 0.6f, 27.5f}, {{1.5f}, 0, 1, false, 0, 0},
            {{0.8f, 54.5f}, 0, 1, true, 0.5f, 55}, {{12.3f}, 2.5f, 0.5f, true, 0.2f, 12.5f},
            {{12.3f}, 2.5f, 0.1f, false, 0, 0}, {{-0.4f}, 0, 0.5f, true, 0.4f, 0}};
        for (const auto& [edges, grid, tolerance, snaps, shift, line] : rows) {
            const std::optional<Snap> s = SnapShift(edges, lines, grid, tolerance);
            QCOMPARE(s.has_value(), snaps);
            if (s)
                QVERIFY(qAbs(s->shift - shift) < 1e-4f && s->line == line);
        }
        // The targets leave the moving fields out.
        const Tables t = test::makeTables();
        Label l(t);
        test::place(l, FT_C1, 5, 6, 10, 4);
        test::place(l, FT_C2, 30, 20, 10, 4);
        const SnapLines targets = SnapTargets(l, {FT_C2});
        QCOMPARE(targets.x, (QVector<float>{0, 27.5f, 55, 5, 10, 15}));
        QCOMPARE(targets.y, (QVector<float>{0, 25, 50, 6, 8, 10}));
    }

    // Fields copied from one label paste into another with the same catalogue as
    // they were; data for another catalogue, damaged or unsound data pastes nothing.
    void clipboard()
    {
        const Tables t = test::makeTables();
        Label from(t);
        test::place(from, FT_TEXT, 4, 5, 20, 6, 1);
        from.m_arrFields[FT_TEXT].iTextLine = 2;
        from.m_arrFields[FT_TEXT].strText[2] = QStringLiteral("Fresh \u00E9");
        test::place(from, FT_B3, 1, 40, 30, 2);
        const QByteArray data = FieldsToClipboard(from, {FT_TEXT, FT_B3, FT_C1});
        Label to(t);
        to.m_iHoriRulerWidth = 40;
        const QList<ClipboardField> fields = FieldsFromClipboard(to, data);
        QCOMPARE(fields.size(), 2);
        QCOMPARE(PasteFields(to, fields), (QList<int>{FT_B3, FT_TEXT}));
        QVERIFY(to.m_arrFields[FT_TEXT] == from.m_arrFields[FT_TEXT]);
        // Kept inside the narrower label.
        QCOMPARE(to.GetFieldSize(FT_B3).width, 30.0f);

        Tables other = t;
        other.g_arrFieldDef[FT_B3].Name = QStringLiteral("Rule");
        Label foreign(other);
        QCOMPARE(FieldsFromClipboard(foreign, data).size(), 1);
        Label unsound(t);
        test::place(unsound, FT_C1, 4, 5, 20, 6);
        unsound.m_arrFields[FT_C1].strText[1] = QStringLiteral("say \"hi\"");
        // At most the whole fields before a cut.
        const std::pair<QByteArray, int> bad[] = {{QByteArray(), 0}, {data.left(data.size() / 2), 1},
                                                  {QByteArray("QFLD"), 0}, {data.mid(1), 0},
                                                  {FieldsToClipboard(unsound, {FT_C1}), 0}};
        for (const auto& [bytes, most] : bad)
            QVERIFY(FieldsFromClipboard(to, bytes).size() <= most);
    }

    // Characters of the sample against the cells of the field's size on its own width,
    // on the shipped catalogue (8 dots per mm; Medium cells are 10 x 20 dots).
    void sampleFit()
    {
        Tables t = test::makeTables();
        QFile catalogue(QUILLON_SOURCE_DIR "/data/program/FormatField.English.dsc");
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        t.g_arrFieldDef = ParseFieldCatalogue(catalogue.readAll());
        SampleItem item = DefaultSampleItem(QStringLiteral("English"));
        item.netWeightKg = 0.482;   // "0.482 kg": 8 characters
        enum { Name1 = 0, Plu = 4, Weight = 5, Total = 9, Large = 10, Code = 14, Free = 20 };
        struct Row { int field; float w, h; int rot; int figures; bool fits; int capacity, needed; };
        const Row rows[] = {
            {Weight, 10, 2.5f, 0, 0, true, 8, 8},         // 80 dots: exactly 8 cells
            {Weight, 9.875f, 2.5f, 0, 0, false, 7, 8},    // one dot too narrow
            {Weight, 10, 2.375f, 0, 0, false, 8, 8},      // one dot too low
            {Weight, 10, 2.5f, 1, 0, true, 8, 8},         // turned by 90: along its own width still
            {Plu, 1, 1, 0, 3, true, 3, 3},                // N1 "123" in 3 figures
            {Plu, 1, 1, 0, 2, false, 2, 3},
            {Large, 20, 8, 0, 3, true, 3, 3},             // B5: "3.33" needs three figures
            {Code, 14.125f, 10, 0, 0, true, 113, 113},    // EAN-13 and its quiet zones, one dot a module
            {Code, 14, 10, 0, 0, false, 112, 113},
            {Free, 30, 2.5f, 0, 0, false, 24, 25},        // its own line, 25 characters
        };
        for (const Row& row : rows) {
            Label l(t);
            test::place(l, row.field, 2, 2, row.rot % 2 ? row.h : row.w, row.rot % 2 ? row.w : row.h, row.rot);
            FieldRecord& r = l.m_arrFields[row.field];
            r.strCharSize[1] = QStringLiteral("Medium");
            r.iNumOfFigures = qint16(row.figures);
            if (row.field == Free) {
                r.iTextLine = 1;
                r.strText[1] = QStringLiteral("Keep refrigerated at 4 C.");
            }
            l.NormaliseField(row.field);
            const FieldFit fit = CheckFieldFit(l, row.field, item, row.field == Code ? 113 : 0);
            QVERIFY2(fit.checked && fit.fits == row.fits && fit.capacity == row.capacity && fit.needed == row.needed,
                     qPrintable(QStringLiteral("field %1 width %2: %3 of %4").arg(row.field).arg(row.w)
                                    .arg(fit.capacity).arg(fit.needed)));
        }
        QCOMPARE(SampleText(Label(t), Total, item), QStringLiteral("3.33"));
        QCOMPARE(SampleText(Label(t), Name1, LongSampleItem()).size(), 40);
        // The in-store EAN-13: flag, PLU, price in cents, check digit.
        QCOMPARE(BarcodeData(item), QStringLiteral("2000123003337"));
        item.barcode = BarcodeKind::Ean8;
        item.barcodePattern = QStringLiteral("2PPPPPP");
        QCOMPARE(BarcodeData(item), QStringLiteral("20001230"));
        // The chosen symbology survives a restart.
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        item.barcode = BarcodeKind::Itf14;
        StoreSampleItem(store, item);
        QCOMPARE(SampleItemFromSettings(store, DefaultSampleItem(QStringLiteral("English"))).barcode, BarcodeKind::Itf14);
        for (BarcodeKind k : {BarcodeKind::Ean13, BarcodeKind::Ean8, BarcodeKind::Code128, BarcodeKind::Itf14,
                              BarcodeKind::QrCode})
            QCOMPARE(BarcodeKindFromKey(BarcodeKindKey(k).toUpper()), std::optional(k));
        QVERIFY(!BarcodeKindFromKey(QStringLiteral("pdf417")));
        const struct { BarcodeFormat f; BarcodeFormatProblem problem; } formats[] = {
            {{QStringLiteral("Price"), BarcodeKind::Ean13, QStringLiteral("20PPPPPRRRRR")}, BarcodeFormatProblem::None},
            {{QStringLiteral("Price"), BarcodeKind::Ean13, QStringLiteral("20PPPPPRRRR")}, BarcodeFormatProblem::PatternLength},
            {{QStringLiteral("Price"), BarcodeKind::Ean13, QStringLiteral("20pppppRRRRR")}, BarcodeFormatProblem::PatternCharacter},
            {{QStringLiteral(" Price"), BarcodeKind::Ean8, QStringLiteral("2PPPPPP")}, BarcodeFormatProblem::Name},
            {{QString(41, QLatin1Char('x')), BarcodeKind::QrCode, QString()}, BarcodeFormatProblem::Name},
            {{QStringLiteral("Text"), BarcodeKind::Code128, QStringLiteral("anything")}, BarcodeFormatProblem::None}};
        for (const auto& [f, problem] : formats)
            QVERIFY2(CheckBarcodeFormat(f) == problem, qPrintable(f.name + QLatin1Char(' ') + f.pattern));
    }

    void undoRing()
    {
        const Tables t = test::makeTables();
        Document d(t);
        Label& l = d.label();
        const QList<int> none;
        QVERIFY(d.Undo().isEmpty() && !d.undo().canRedo());
        // A move released where it started records nothing.
        QVERIFY(!UndoStep(d, 2).Commit() && !d.undo().canUndo());

        { UndoStep s(d, 2); l.m_arrFields[2].bUsed = true; }
        { UndoStep s(d, 2); l.m_arrFields[2].sngX = 7; }
        // Something outside the history changes the field; undo restores the whole record.
        l.m_arrFields[2].strText[1] = QStringLiteral("imported");
        QCOMPARE(d.Undo(), QList<int>{2});
        QVERIFY(l.m_arrFields[2].sngX == 2 && l.m_arrFields[2].bUsed && l.m_arrFields[2].strText[1].isEmpty());
        QCOMPARE(d.Redo(), QList<int>{2});
        QVERIFY(l.m_arrFields[2].sngX == 7 && d.Redo().isEmpty());

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
        for (const QList<int>& step : {QList<int>{0, 3}, QList<int>{4}, QList<int>{2}, none})
            QCOMPARE(d.Undo(), step);
        QVERIFY(!l.m_arrFields[2].bUsed);

        // A label opened into the document starts a history of its own.
        { UndoStep s(d, 2); l.m_arrFields[2].sngX = 5; }
        d.ClearHistory();
        QVERIFY(!d.undo().canUndo() && !d.undo().canRedo());

        // The ring keeps the last 100 steps, also after wrapping round.
        for (int steps : {100, 101, 250}) {
            Document w(t);
            for (int i = 1; i <= steps; ++i) {
                UndoStep s(w, 0);
                w.label().m_arrFields[0].sngX = float(i);
            }
            int undone = 0, redone = 0;
            while (!w.Undo().isEmpty())
                ++undone;
            QCOMPARE(w.label().m_arrFields[0].sngX, float(steps == 100 ? 2 : steps - 100));
            while (!w.Redo().isEmpty())
                ++redone;
            QVERIFY(undone == 100 && redone == 100 && w.label().m_arrFields[0].sngX == float(steps));
        }
    }
};

QTEST_GUILESS_MAIN(TestModelCore)
#include "test_model_core.moc"
