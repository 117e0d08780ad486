#include "model/datafile.h"
#include "model/document.h"
#include "model/f52data.h"
#include "model/qlffile.h"
#include "common/testtables.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

// Every field placed inside a 55 x 50 label, on whole dots, with type values set.
Label fullLabel(const Tables& t)
{
    Label l(t);
    for (int i = 0; i < l.fieldCount(); ++i) {
        FieldRecord& r = l.m_arrFields[i];
        r.bUsed = true;
        r.sngX = 1.0f + float(i) * 0.5f;
        r.sngY = 2.125f + float(i);
        r.sngWidth = 12.25f;
        r.sngHeight = 3.5f;
        r.lAttribute = ((i % 4) << 14) | ((i % 8) * 16) | 16;
        r.strCharSize[1] = QStringLiteral("Medium");
    }
    // The scale reads the decimal logo size back as a list index: both agree for 0 to 9.
    l.m_arrFields[FT_B2].strLogoSize = QStringLiteral("2");
    l.m_arrFields[FT_B3].dblThickness = 0.5;
    l.m_arrFields[FT_B4].iImageNumber = 42;
    l.m_arrFields[FT_B5].iNumOfFigures = 8;
    l.m_arrFields[FT_N1].iNumOfFigures = 5;
    l.m_iFormatNo = 17;
    for (int i = 0; i < l.fieldCount(); ++i)
        l.NormaliseField(i);
    return l;
}

} // namespace

class TestFormats : public QObject {
    Q_OBJECT
private slots:
    void fieldEntries()
    {
        const Tables t = test::makeTables();
        const struct { int type; float x, y; QString entry; } rows[] = {
            {FT_B1, 1, 2, "000800100070002000A00000"}, {FT_B2, 1, 2, "000800100070002000A02000"}, // logo size decimal
            {FT_B3, 1, 2, "00080010007000A80030000C"}, // end point and thickness
            {FT_B4, 1, 2, "000800100070002000A00042"}, {FT_B5, 1, 2, "000800100070002000A0000C"}, // figures hex
            {FT_C1, 1, 2, "000800100070002000A002000000"}, {FT_C3, 1, 2, "000800100070002000A002" + QString(30, u'0')},
            {FT_C4, 1, 2, "000800100070002000A002" + QString(14, u'0')}, {FT_N1, 1, 2, "0008001000700212"},
            {FT_TEXT, 1, 2, "000800100070002000A00200"}, {FT_C2, -2, -0.125f, "FFF0FFFF0070002000A00200"},
            {FT_B1, 5000, 0, "7FFF00000070002000A00000"}}; // oversize position written whole
        for (const auto& row : rows) {
            FieldRecord r;
            r.bUsed = true;
            r.sngX = row.x;
            r.sngY = row.y;
            r.sngWidth = 20;
            r.sngHeight = 4;
            r.lAttribute = 112;
            r.strLogoSize = QStringLiteral("20");
            r.dblThickness = 1.5;
            r.iImageNumber = 42;
            r.iNumOfFigures = 12;
            r.strCharSize[1] = QStringLiteral("Medium");
            QCOMPARE(FieldToHex(t, r, row.type, 125), row.entry);
            r.bUsed = false;
            QCOMPARE(FieldToHex(t, r, row.type, 125), QString(FieldEntryLength(row.type), u'0'));
        }
        QCOMPARE(FieldToHex(t, FieldRecord(), 99, 125), QString());
        // A whole record: header, then every entry in catalogue order.
        Tables three = test::makeTables();
        three.g_arrFieldDef = {test::def("B", FT_B1), test::def("C", FT_C1), test::def("N", FT_N1)};
        Label l(three);
        l.m_iHoriRulerWidth = 60;
        l.m_iVertRulerHeight = 40;
        l.m_iFormatNo = 5;
        FieldRecord& c = l.m_arrFields[1];
        c.bUsed = true;
        c.sngX = 10;
        c.sngY = 5;
        c.sngWidth = 20;
        c.sngHeight = 4;
        c.lAttribute = (1 << 14) | 112;
        c.strCharSize[1] = QStringLiteral("Large");
        const QString expected = QStringLiteral("00000005002E01E001400002") + QString(24, u'0')
            + QStringLiteral("00500028407000200" "0A003000000") + QString(16, u'0');
        QCOMPARE(FormatRecord(l), expected);
        // An empty label still lists every entry, all zeros.
        QCOMPARE(FormatRecord(Label(three)).mid(24), QString(24 + 28 + 16, u'0'));
    }

    void entryImport()
    {
        const Tables t = test::makeTables();
        const struct { const char* what; int type; QString entry; bool used; float x, width, height; } rows[] = {
            {"all zero keeps values", FT_C2, QString(24, u'0'), false, 7, 9, 3},
            {"N1 attribute 0 is empty", FT_N1, "0050002800000306", false, 7, 9, 3},
            {"N1 size from font", FT_N1, "0050002800700300", true, 10, 15, 3},
            {"width 0 becomes 10 mm", FT_B1, "000800100070000000000000", true, 1, 10, 5},
            {"B3 end point left and below", FT_B3, "00500050007000100020000C", true, 10, 8, 6},
            {"negative coordinates", FT_C2, "FFF0FFF00070002000A00200", true, -2, 20, 4},
            {"B2 logo index outside the list", FT_B2, "000800100070002000A02000", true, 1, 20, 4},
            {"non-hex reads as zero", FT_B1, "00G800100070002000A00000", true, 0, 20, 4}};
        for (const auto& row : rows) {
            FieldRecord r;
            r.sngX = 7;
            r.sngWidth = 9;
            r.sngHeight = 3;
            r.strText[1] = QStringLiteral("kept");
            QVERIFY(HexToField(t, row.entry, r, row.type, 125));
            QVERIFY2(r.bUsed == row.used && r.sngX == row.x && r.sngWidth == row.width && r.sngHeight == row.height,
                     row.what);
            // A placed entry replaces the whole record.
            QCOMPARE(r.strText[1].isEmpty(), r.bUsed);
            // A piece of the wrong length changes nothing.
            const FieldRecord before = r;
            QVERIFY(!HexToField(t, row.entry.left(row.entry.size() - 2), r, row.type, 125));
            QVERIFY(FieldRecordsEqual(r, before));
        }
    }

    void roundTrips()
    {
        Tables t = test::makeTables();
        t.g_varLogoSizeList = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")};
        Label l = fullLabel(t);
        // Format data: everything it holds comes back, the rest is reset.
        const QString record = FormatRecord(l);
        Label back(t);
        QVERIFY(ImportFormatData(back, record));
        QCOMPARE(FormatRecord(back), record);
        QVERIFY(back.m_iFormatNo == 17 && back.m_iSelected == -1 && !back.m_bModified);
        QCOMPARE(back.m_arrFields[FT_B2].strLogoSize, QStringLiteral("2"));
        // A label file of what came from the scale gives the same format data again.
        Label viaFile(t);
        QVERIFY(ParseFormatFile(FormatFileBytes(back), viaFile).ok());
        QVERIFY(viaFile == back);
        QCOMPARE(FormatRecord(viaFile), record);

        // Label file: every record field, text included.
        l.m_arrFields[FT_TEXT].iTextLine = 2;
        l.m_arrFields[FT_TEXT].strText[1] = QStringLiteral("Apples, pears");
        l.m_arrFields[FT_TEXT].strCharSize[2] = QStringLiteral("Small");
        l.m_arrFields[FT_SHOPNAME].strText[20] = QStringLiteral("Crème");
        l.m_arrFields[FT_B1].iReserved = -3;
        l.m_arrFields[FT_B3].dblThickness = 0.375;
        l.m_iSelected = 4;
        l.m_bModified = true;
        const QByteArray bytes = FormatFileBytes(l);
        QVERIFY(bytes.startsWith(
            "\"Quillon Label Designer\",0,13\r\n0,1,2,3,4,5,6,7,8,9,10,11,10,11\r\n55,50\r\n17,0,4\r\n"));
        QVERIFY(bytes.contains("#TRUE#,1,2.125,"));
        const QlfReadResult r = ParseFormatFile(bytes, back);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QVERIFY(back == l && !back.m_bModified);
        // The reader takes other spellings too.
        QByteArray other = bytes;
        other.replace("#TRUE#,1,2.125,", "#TRUE#,1.0E0,.2125e1,");
        Label again(t);
        QVERIFY(ParseFormatFile(other, again).ok());
        QVERIFY(again == l);
    }

    void malformedRecords()
    {
        const Tables t = test::makeTables();
        const QString good = FormatRecord(fullLabel(t));
        QString junk = good;
        junk.replace(30, 6, "ZZ!!??");
        const struct { const char* what; QString record; bool lengthOk; } rows[] = {
            {"good", good, true}, {"truncated", good.left(good.size() - 10), false}, {"empty", "", false},
            {"negative length", good.left(8) + "FFFF" + good.mid(12), false}, {"non-hex inside", junk, true}};
        for (const auto& row : rows) {
            Label l(t);
            const Label before = l;
            QVERIFY2(ImportFormatData(l, row.record) == row.lengthOk, row.what);
            l.m_iFormatNo = before.m_iFormatNo;
            QVERIFY2(row.lengthOk || l == before, row.what);
        }
        // A received line of several records, possibly cut short.
        const struct { QString line; int count, trailing; } splits[] = {
            {" E2 ", 0, 0}, {good + good + good, 3, 0}, {good + good.left(40), 1, 40},
            {"00000001000000000000000000", 0, 26}};
        for (const auto& s : splits) {
            QString trailing;
            QCOMPARE(SplitFormatRecords(s.line, &trailing).size(), s.count);
            QCOMPARE(trailing.size(), s.trailing);
        }
    }

    void qlfRefused()
    {
        const Tables t = test::makeTables();
        const QByteArray good = FormatFileBytes(fullLabel(t));
        const int F = int(QlfError::Format), R = int(QlfError::Read);
        const struct { const char* what; QByteArray from, to; int error; } rows[] = {
            {"other program name", "\"Quillon Label Designer\"", "\"Other\"", F},
            {"one field more", ",0,13\r\n", ",0,14\r\n", F}, {"other type", "0,1,2,3,", "0,1,5,3,", F},
            {"not a label", "\"Quillon Label Designer\",0,13", "hello", F},
            {"line ends early", ",\"\",\"\"\r\n", "\r\n", R}, {"too many items", "17,0,-1\r\n", "17,0,-1,9\r\n", R},
            {"string where number", "55,50", "\"55\",50", R}, {"number out of range", "55,50", "55,70000", R},
            {"nan", "#TRUE#,1,", "#TRUE#,nan,", R}, {"inf", "#TRUE#,1,", "#TRUE#,1e999,", R},
            {"20+ text lines", ",0,6,0,\"Medium\"", ",0,6,21,\"Medium\"", R},
            {"unclosed string", "\"\",\"\"\r\n", "\"\",\"\r\n", R}, {"file ends early", "\r\n#TRUE#", {}, R}};
        for (const auto& row : rows) {
            QByteArray bytes = good;
            const qsizetype at = bytes.indexOf(row.from);
            QVERIFY2(at >= 0, row.what);
            if (row.to.isNull())
                bytes.truncate(at + 2);
            else
                bytes.replace(at, row.from.size(), row.to);
            Label out(t);
            out.m_iFormatNo = 42;
            const Label before = out;
            QVERIFY2(int(ParseFormatFile(bytes, out).error) == row.error, row.what);
            QVERIFY2(out == before, row.what);
        }
    }

    void save()
    {
        const Tables t = test::makeTables();
        QTemporaryDir dir;
        // A quote cannot be written in a label file: refused, and an old file stays whole.
        const QString path = dir.filePath("keep.QLF");
        QVERIFY(WriteFileAtomic(path, "old").ok);
        Label bad(t);
        bad.m_arrFields[FT_TEXT].strText[3] = QStringLiteral("12\" pizza");
        QString why;
        QVERIFY(!LabelIsStorable(bad, &why) && why.contains("Line 3"));
        bad = Label(t);
        bad.m_arrFields[0].strLogoSize = QStringLiteral("\"");
        QVERIFY(!SaveToFile(bad, path).ok && !SaveToFile(Label(t), dir.filePath("missing/x.QLF")).ok);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == "old");
        QVERIFY(SaveToFile(Label(t), path).ok);
        Label back(t);
        QVERIFY(OpenFromFile(path, back).ok() && back == Label(t));
        QCOMPARE(int(OpenFromFile(dir.filePath("none.QLF"), back).error), int(QlfError::Read));
    }

    void propertyEdits()
    {
        const Tables t = test::makeTables();
        // The edges the property pane's own tests leave out.
        const struct { int tag; const char* value; const char* member; double expected; } rows[] = {
            {PROP_FORMAT_NO, "0", "format", 1}, {PROP_FORMAT_NO, "-7", "format", 7},
            {PROP_LABEL_WIDTH, "1000", "width", 60}, {PROP_LABEL_WIDTH, "3 (mm)", "width", 20},
            {PROP_X, "1e30", "x", 55}, // turned 90: X is the box's right edge
            {PROP_PRINT_STATUS, "1 Once", "attr", (1 << 14) | 16}, {PROP_NUM_OF_FIGURES, "7.5", "figures", 8}};
        for (const auto& row : rows) {
            Document d(t);
            Label& l = d.label();
            const FieldRecord& r = l.m_arrFields[FT_B3];
            test::place(l, FT_B3, 2, 3, 20, 5, 1);
            l.m_iSelected = FT_B3;
            QVERIFY(d.PropertyChanged(row.tag, row.value).refusal.isEmpty());
            QVERIFY(l.m_bModified);
            const QByteArray m(row.member);
            const double got = m == "format" ? l.m_iFormatNo : m == "width" ? l.m_iHoriRulerWidth : m == "x" ? r.sngX
                : m == "attr" ? r.lAttribute : r.iNumOfFigures;
            QVERIFY2(got == row.expected, qPrintable(QStringLiteral("%1 %2: %3").arg(row.tag).arg(row.value).arg(got)));
        }
        // Selection by name, refusals, undo of a field edit; label edits are not in the history.
        Document d(t);
        Label& l = d.label();
        QVERIFY(d.PropertyChanged(PROP_NAME, "Price").field == FT_C2 && l.m_iSelected == FT_C2);
        QVERIFY(!d.PropertyChanged(PROP_CHAR_SIZE_1, "Say \"hi\"").refusal.isEmpty()
                && !d.PropertyChanged(PROP_ANGLE, "45").refusal.isEmpty());
        QCOMPARE(l.m_arrFields[FT_C2].lAttribute, 112);
        QVERIFY(!d.undo().canUndo());
        d.PropertyChanged(PROP_CHAR_SIZE_1, "Small");
        QCOMPARE(l.m_arrFields[FT_C2].strCharSize[1], QStringLiteral("Small"));
        QCOMPARE(d.Undo(), QList<int>{FT_C2});
        QCOMPARE(l.m_arrFields[FT_C2].strCharSize[1], QStringLiteral("Large"));
        d.PropertyChanged(PROP_SCALE_MODEL, "Beta");
        QCOMPARE(l.m_iScaleModelIndex, qint16(1));
        d.PropertyChanged(PROP_SCALE_MODEL, "Gamma"); // no such model: the first
        QVERIFY(l.m_iScaleModelIndex == 0 && d.Undo().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "test_formats.moc"
