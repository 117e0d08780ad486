#include "model/datafile.h"
#include "model/document.h"
#include "model/f52data.h"
#include "model/qlffile.h"
#include "model/numberspelling.h"
#include "common/testtables.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

// Every field placed inside a 55 x 50 label, on whole dots, with type values set.
Tables roundTripTables()
{
    Tables t = test::makeTables();
    t.g_varLogoSizeList = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")};
    return t;
}

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
    void workedRecord();
    void fieldEntries_data();
    void fieldEntries();
    void entryImport_data();
    void entryImport();
    void f52RoundTrip();
    void malformedRecords_data();
    void malformedRecords();
    void splitRecords_data();
    void splitRecords();
    void numberSpelling_data();
    void numberSpelling();
    void qlfRoundTrip();
    void qlfThroughF52();
    void qlfRefused_data();
    void qlfRefused();
    void quoteNeverWritten();
    void atomicSave();
    void propertyEdits_data();
    void propertyEdits();
    void propertyUndo();
};

void TestFormats::workedRecord()
{
    Tables t = test::makeTables();
    t.g_arrFieldDef = {test::def("B", FT_B1), test::def("C", FT_C1), test::def("N", FT_N1)};
    Label l(t);
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

    QTemporaryDir dir;
    const QString path = dir.filePath("F52.DAT");
    QVERIFY(ExportFormatData(l, path).ok);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), expected.toLatin1() + "\r\n");

    // An empty label still lists every entry, all zeros.
    Label empty(t);
    QCOMPARE(FormatRecord(empty).mid(24), QString(24 + 28 + 16, u'0'));
}

void TestFormats::fieldEntries_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<QString>("entry");
    QTest::newRow("B1") << int(FT_B1) << 1.0f << 2.0f << "000800100070002000A00000";
    QTest::newRow("B2 logo size in decimal") << int(FT_B2) << 1.0f << 2.0f << "000800100070002000A02000";
    QTest::newRow("B3 end point and thickness") << int(FT_B3) << 1.0f << 2.0f << "00080010007000A80030000C";
    QTest::newRow("B4 image number") << int(FT_B4) << 1.0f << 2.0f << "000800100070002000A00042";
    QTest::newRow("B5 figures in hex") << int(FT_B5) << 1.0f << 2.0f << "000800100070002000A0000C";
    QTest::newRow("C1") << int(FT_C1) << 1.0f << 2.0f << "000800100070002000A002000000";
    QTest::newRow("C3") << int(FT_C3) << 1.0f << 2.0f << "000800100070002000A002" + QString(30, u'0');
    QTest::newRow("C4") << int(FT_C4) << 1.0f << 2.0f << "000800100070002000A002" + QString(14, u'0');
    QTest::newRow("N1 no size part") << int(FT_N1) << 1.0f << 2.0f << "0008001000700212";
    QTest::newRow("TEXT") << int(FT_TEXT) << 1.0f << 2.0f << "000800100070002000A00200";
    QTest::newRow("negative position") << int(FT_C2) << -2.0f << -0.125f << "FFF0FFFF0070002000A00200";
    QTest::newRow("oversize position written whole") << int(FT_B1) << 5000.0f << 0.0f
                                                     << "7FFF00000070002000A00000";
}

void TestFormats::fieldEntries()
{
    QFETCH(int, type);
    QFETCH(float, x);
    QFETCH(float, y);
    const Tables t = test::makeTables();
    FieldRecord r;
    r.bUsed = true;
    r.sngX = x;
    r.sngY = y;
    r.sngWidth = 20;
    r.sngHeight = 4;
    r.lAttribute = 112;
    r.strLogoSize = QStringLiteral("20");
    r.dblThickness = 1.5;
    r.iImageNumber = 42;
    r.iNumOfFigures = 12;
    r.strCharSize[1] = QStringLiteral("Medium");
    QTEST(FieldToHex(t, r, type, 125), "entry");
    r.bUsed = false;
    QCOMPARE(FieldToHex(t, r, type, 125), QString(FieldEntryLength(type), u'0'));
    QCOMPARE(FieldToHex(t, r, 99, 125), QString());
}

void TestFormats::entryImport_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("used");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::newRow("all zero keeps values") << int(FT_C2) << QString(24, u'0') << false << 7.0f << 9.0f << 3.0f;
    QTest::newRow("N1 attribute 0 is empty") << int(FT_N1) << "0050002800000306" << false << 7.0f << 9.0f << 3.0f;
    QTest::newRow("N1 size from font") << int(FT_N1) << "0050002800700300" << true << 10.0f << 15.0f << 3.0f;
    QTest::newRow("width 0 becomes 10 mm") << int(FT_B1) << "000800100070000000000000" << true << 1.0f << 10.0f << 5.0f;
    QTest::newRow("B3 end point left and below") << int(FT_B3) << "00500050007000100020000C" << true << 10.0f << 8.0f << 6.0f;
    QTest::newRow("negative coordinates") << int(FT_C2) << "FFF0FFF00070002000A00200" << true << -2.0f << 20.0f << 4.0f;
    QTest::newRow("B2 logo index outside the list") << int(FT_B2) << "000800100070002000A02000" << true << 1.0f << 20.0f << 4.0f;
    QTest::newRow("non-hex reads as zero") << int(FT_B1) << "00G800100070002000A00000" << true << 0.0f << 20.0f << 4.0f;
}

void TestFormats::entryImport()
{
    QFETCH(int, type);
    QFETCH(QString, entry);
    const Tables t = test::makeTables();
    FieldRecord r;
    r.sngX = 7;
    r.sngWidth = 9;
    r.sngHeight = 3;
    r.strText[1] = QStringLiteral("kept");
    QVERIFY(HexToField(t, entry, r, type, 125));
    QTEST(r.bUsed, "used");
    QTEST(r.sngX, "x");
    QTEST(r.sngWidth, "width");
    QTEST(r.sngHeight, "height");
    // A placed entry replaces the whole record.
    QCOMPARE(r.strText[1].isEmpty(), r.bUsed);
    // A piece of the wrong length changes nothing.
    FieldRecord before = r;
    QVERIFY(!HexToField(t, entry.left(entry.size() - 2), r, type, 125));
    QVERIFY(FieldRecordsEqual(r, before));
}

void TestFormats::f52RoundTrip()
{
    const Tables t = roundTripTables();
    const Label l = fullLabel(t);
    const QString record = FormatRecord(l);
    Label back(t);
    QVERIFY(ImportFormatData(back, record));
    QCOMPARE(FormatRecord(back), record);
    QCOMPARE(back.m_iFormatNo, qint16(17));
    for (int i = 0; i < l.fieldCount(); ++i) {
        const FieldRecord& a = l.m_arrFields[i];
        const FieldRecord& b = back.m_arrFields[i];
        QVERIFY2(a.bUsed == b.bUsed && a.sngX == b.sngX && a.sngY == b.sngY && a.lAttribute == b.lAttribute,
                 qPrintable(QString::number(i)));
        QCOMPARE(b.sngWidth, a.sngWidth);
        QCOMPARE(b.sngHeight, a.sngHeight);
    }
    QCOMPARE(back.m_arrFields[FT_B3].dblThickness, 0.5);
    QCOMPARE(back.m_arrFields[FT_B2].strLogoSize, QStringLiteral("2"));
    QCOMPARE(back.m_arrFields[FT_B4].iImageNumber, qint16(42));
    QCOMPARE(back.m_arrFields[FT_B5].iNumOfFigures, qint16(8));
    QCOMPARE(back.m_iSelected, qint16(-1));
    QVERIFY(!back.m_bModified);
}

void TestFormats::malformedRecords_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<bool>("lengthOk");
    const Tables t = test::makeTables();
    const QString good = FormatRecord(fullLabel(t));
    QTest::newRow("good") << good << true;
    QTest::newRow("truncated") << good.left(good.size() - 10) << false;
    QTest::newRow("odd length") << good + "0" << false;
    QTest::newRow("length past end") << good.left(8) + "7FFF" + good.mid(12) << false;
    QTest::newRow("negative length") << good.left(8) + "FFFF" + good.mid(12) << false;
    QTest::newRow("header only") << QStringLiteral("00000001") << false;
    QTest::newRow("length 0, no header") << QStringLiteral("") << false;
    QString junk = good;
    junk.replace(30, 6, "ZZ!!??");
    QTest::newRow("non-hex inside") << junk << true;
}

void TestFormats::malformedRecords()
{
    QFETCH(QString, record);
    QFETCH(bool, lengthOk);
    const Tables t = test::makeTables();
    Label l(t);
    const Label before = l;
    QCOMPARE(ImportFormatData(l, record), lengthOk);
    if (!lengthOk) {
        l.m_iFormatNo = before.m_iFormatNo;
        QVERIFY(l == before);
    }
}

void TestFormats::splitRecords_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("trailing");
    const Tables t = test::makeTables();
    const QString a = FormatRecord(fullLabel(t));
    QTest::newRow("E2") << " E2 " << 0 << 0;
    QTest::newRow("empty") << "" << 0 << 0;
    QTest::newRow("one") << a << 1 << 0;
    QTest::newRow("three") << a + a + a << 3 << 0;
    QTest::newRow("truncated second") << a + a.left(40) << 1 << 40;
    QTest::newRow("zero length") << "00000001000000000000000000" << 0 << 26;
}

void TestFormats::splitRecords()
{
    QFETCH(QString, line);
    QString trailing;
    const QStringList records = SplitFormatRecords(line, &trailing);
    QTEST(int(records.size()), "count");
    QTEST(int(trailing.size()), "trailing");
}

void TestFormats::numberSpelling_data()
{
    QTest::addColumn<double>("v");
    QTest::addColumn<bool>("isSingle");
    QTest::addColumn<QString>("text");
    QTest::newRow("half") << 0.5 << true << "0.5";
    QTest::newRow("minus half") << -0.5 << true << "-0.5";
    QTest::newRow("zero") << 0.0 << true << "0";
    QTest::newRow("whole") << 12.0 << true << "12";
    QTest::newRow("snapped") << 10.125 << true << "10.125";
    QTest::newRow("single figures") << double(0.1f) << true << "0.1";
    QTest::newRow("big single") << 12345678.0 << true << "1.234568E+07";
    QTest::newRow("tiny single") << 0.00001 << true << "1E-05";
    QTest::newRow("double") << 0.1 << false << "0.1";
    QTest::newRow("double figures") << 1.0 / 3 << false << "0.333333333333333";
}

void TestFormats::numberSpelling()
{
    QFETCH(double, v);
    QFETCH(bool, isSingle);
    QFETCH(QString, text);
    QCOMPARE(QString::fromLatin1(isSingle ? FormatSingle(float(v)) : FormatDouble(v)), text);
}

void TestFormats::qlfRoundTrip()
{
    Tables t = test::makeTables();
    Label l = fullLabel(t);
    l.m_arrFields[FT_TEXT].iTextLine = 2;
    l.m_arrFields[FT_TEXT].strText[1] = QStringLiteral("Apples, pears");
    l.m_arrFields[FT_TEXT].strText[2] = QString();
    l.m_arrFields[FT_TEXT].strCharSize[2] = QStringLiteral("Small");
    l.m_arrFields[FT_SHOPNAME].strText[20] = QStringLiteral("Crème");
    l.m_arrFields[FT_B1].iReserved = -3;
    l.m_arrFields[FT_B3].dblThickness = 0.375;
    l.m_iSelected = 4;
    l.m_bModified = true;
    const QByteArray bytes = FormatFileBytes(l);
    QVERIFY(bytes.startsWith("\"Quillon Label Designer\",0,13\r\n0,1,2,3,4,5,6,7,8,9,10,11,10,11\r\n55,50\r\n17,0,4\r\n"));
    QVERIFY(bytes.contains("#TRUE#,1,2.125,"));

    Label back(t);
    const QlfReadResult r = ParseFormatFile(bytes, back);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QVERIFY(back == l);
    QVERIFY(!back.m_bModified);

    // The reader takes other spellings too.
    QByteArray other = bytes;
    other.replace("#TRUE#,1,2.125,", "#TRUE#,1.0E0,.2125e1,");
    Label again(t);
    QVERIFY(ParseFormatFile(other, again).ok());
    QVERIFY(again == l);
}

void TestFormats::qlfThroughF52()
{
    const Tables t = roundTripTables();
    const Label l = fullLabel(t);
    Label fromF52(t);
    QVERIFY(ImportFormatData(fromF52, FormatRecord(l)));
    Label back(t);
    QVERIFY(ParseFormatFile(FormatFileBytes(fromF52), back).ok());
    QVERIFY(back == fromF52);
    QCOMPARE(FormatRecord(back), FormatRecord(l));
}

void TestFormats::qlfRefused_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<int>("error");
    const int F = int(QlfError::Format), R = int(QlfError::Read);
    QTest::newRow("other program name") << QByteArray("\"Quillon Label Designer\"") << QByteArray("\"Other\"") << F;
    QTest::newRow("one field more") << QByteArray(",0,13\r\n") << QByteArray(",0,14\r\n") << F;
    QTest::newRow("other type") << QByteArray("0,1,2,3,") << QByteArray("0,1,5,3,") << F;
    QTest::newRow("not a label") << QByteArray("\"Quillon Label Designer\",0,13") << QByteArray("hello") << F;
    QTest::newRow("line ends early") << QByteArray(",\"\",\"\"\r\n") << QByteArray("\r\n") << R;
    QTest::newRow("too many items") << QByteArray("17,0,-1\r\n") << QByteArray("17,0,-1,9\r\n") << R;
    QTest::newRow("string where number") << QByteArray("55,50") << QByteArray("\"55\",50") << R;
    QTest::newRow("number out of range") << QByteArray("55,50") << QByteArray("55,70000") << R;
    QTest::newRow("nan") << QByteArray("#TRUE#,1,") << QByteArray("#TRUE#,nan,") << R;
    QTest::newRow("inf") << QByteArray("#TRUE#,1,") << QByteArray("#TRUE#,1e999,") << R;
    QTest::newRow("20+ text lines") << QByteArray(",0,6,0,\"Medium\"") << QByteArray(",0,6,21,\"Medium\"") << R;
    QTest::newRow("unclosed string") << QByteArray("\"\",\"\"\r\n") << QByteArray("\"\",\"\r\n") << R;
    QTest::newRow("file ends early") << QByteArray("\r\n#TRUE#") << QByteArray("\r\n") << R;
}

void TestFormats::qlfRefused()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(int, error);
    const Tables t = test::makeTables();
    QByteArray bytes = FormatFileBytes(fullLabel(t));
    const qsizetype at = bytes.indexOf(from);
    QVERIFY(at >= 0);
    if (QByteArray(QTest::currentDataTag()) == "file ends early")
        bytes.truncate(at + 2);
    else
        bytes.replace(at, from.size(), to);
    Label out(t);
    out.m_iFormatNo = 42;
    const Label before = out;
    const QlfReadResult r = ParseFormatFile(bytes, out);
    QCOMPARE(int(r.error), error);
    QVERIFY(out == before);
}

void TestFormats::quoteNeverWritten()
{
    const Tables t = test::makeTables();
    Label l(t);
    l.m_arrFields[FT_TEXT].strText[3] = QStringLiteral("12\" pizza");
    QString why;
    QVERIFY(!LabelIsStorable(l, &why));
    QVERIFY(why.contains("Line 3"));
    QTemporaryDir dir;
    const QString path = dir.filePath("a.QLF");
    QVERIFY(!SaveToFile(l, path).ok);
    QVERIFY(!QFile::exists(path));
}

void TestFormats::atomicSave()
{
    const Tables t = test::makeTables();
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.QLF");
    QVERIFY(WriteFileAtomic(path, "old").ok);
    // Saving into a folder that does not exist fails and reports it.
    QVERIFY(!SaveToFile(Label(t), dir.filePath("missing/x.QLF")).ok);
    Label bad(t);
    bad.m_arrFields[0].strLogoSize = QStringLiteral("\"");
    QVERIFY(!SaveToFile(bad, path).ok);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old"));
    f.close();
    QVERIFY(SaveToFile(Label(t), path).ok);
    Label back(t);
    QVERIFY(OpenFromFile(path, back).ok());
    QVERIFY(back == Label(t));
    QCOMPARE(int(OpenFromFile(dir.filePath("none.QLF"), back).error), int(QlfError::Read));
}

void TestFormats::propertyEdits_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("member");
    QTest::addColumn<double>("expected");
    QTest::newRow("format 100") << int(PROP_FORMAT_NO) << "100" << "format" << 1.0;
    QTest::newRow("format 105") << int(PROP_FORMAT_NO) << "105" << "format" << 5.0;
    QTest::newRow("format 0") << int(PROP_FORMAT_NO) << "0" << "format" << 1.0;
    QTest::newRow("format negative") << int(PROP_FORMAT_NO) << "-7" << "format" << 7.0;
    QTest::newRow("width over max") << int(PROP_LABEL_WIDTH) << "1000" << "width" << 60.0;
    QTest::newRow("width under min") << int(PROP_LABEL_WIDTH) << "3 (mm)" << "width" << 20.0;
    QTest::newRow("height in dots") << int(PROP_LABEL_HEIGHT_DOT) << "244 (Dot)" << "height" << 30.0;
    QTest::newRow("height half mm to even") << int(PROP_LABEL_HEIGHT) << "30.5" << "height" << 30.0;
    QTest::newRow("X snapped") << int(PROP_X) << "5.3 (mm)" << "x" << 5.25;
    QTest::newRow("X in dots") << int(PROP_X_DOT) << "42" << "x" << 5.25;
    QTest::newRow("X outside moved in") << int(PROP_X) << "1e30" << "x" << 55.0; // turned 90: X is the box's right edge
    QTest::newRow("angle keeps status") << int(PROP_ANGLE) << "180" << "attr" << double((2 << 14) | 112);
    QTest::newRow("status keeps angle") << int(PROP_PRINT_STATUS) << "1 Once" << "attr" << double((1 << 14) | 16);
    QTest::newRow("thickness dots") << int(PROP_THICKNESS_DOT) << "12" << "thickness" << 1.5;
    QTest::newRow("figures") << int(PROP_NUM_OF_FIGURES) << "7.5" << "figures" << 8.0;
    QTest::newRow("scale model by name") << int(PROP_SCALE_MODEL) << "Beta" << "model" << 1.0;
    QTest::newRow("unknown model") << int(PROP_SCALE_MODEL) << "Gamma" << "model" << 0.0;
}

void TestFormats::propertyEdits()
{
    QFETCH(int, tag);
    QFETCH(QString, value);
    QFETCH(QString, member);
    QFETCH(double, expected);
    const Tables t = test::makeTables();
    Document d(t);
    Label& l = d.label();
    l.m_arrFields[FT_B3].lAttribute = (1 << 14) | 112;
    l.m_arrFields[FT_B3].bUsed = true;
    l.m_iSelected = FT_B3;
    l.NormaliseField(FT_B3);
    const PropertyChange c = d.PropertyChanged(tag, value);
    QVERIFY(c.refusal.isEmpty());
    QVERIFY(l.m_bModified);
    const FieldRecord& r = l.m_arrFields[FT_B3];
    double got = 0;
    if (member == "format") got = l.m_iFormatNo;
    else if (member == "width") got = l.m_iHoriRulerWidth;
    else if (member == "height") got = l.m_iVertRulerHeight;
    else if (member == "x") got = r.sngX;
    else if (member == "attr") got = r.lAttribute;
    else if (member == "thickness") got = r.dblThickness;
    else if (member == "figures") got = r.iNumOfFigures;
    else if (member == "model") got = l.m_iScaleModelIndex;
    QCOMPARE(got, expected);
}

void TestFormats::propertyUndo()
{
    const Tables t = test::makeTables();
    Document d(t);
    Label& l = d.label();
    QCOMPARE(d.PropertyChanged(PROP_NAME, "Price").field, int(FT_C2));
    QCOMPARE(l.m_iSelected, qint16(FT_C2));
    QVERIFY(!d.PropertyChanged(PROP_CHAR_SIZE_1, "Say \"hi\"").refusal.isEmpty());
    QVERIFY(!d.PropertyChanged(PROP_ANGLE, "45").refusal.isEmpty());
    QCOMPARE(l.m_arrFields[FT_C2].lAttribute, 112);
    QVERIFY(!d.undo().canUndo());
    d.PropertyChanged(PROP_CHAR_SIZE_1, "Small");
    QCOMPARE(l.m_arrFields[FT_C2].strCharSize[1], QStringLiteral("Small"));
    QCOMPARE(d.Undo(), QList<int>{FT_C2});
    QCOMPARE(l.m_arrFields[FT_C2].strCharSize[1], QStringLiteral("Large"));
    // Label edits are not in the history.
    d.PropertyChanged(PROP_FORMAT_NO, "3");
    QVERIFY(d.Undo().isEmpty());
}

QTEST_GUILESS_MAIN(TestFormats)
#include "test_formats.moc"
