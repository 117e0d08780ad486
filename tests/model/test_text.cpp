#include "model/codepage.h"
#include "model/irancharconvert.h"
#include "model/label.h"
#include "model/f56f61data.h"
#include "common/testtables.h"

#include <QTemporaryDir>
#include <QTest>
#include <iconv.h>
#include <memory>

using namespace quillon;

namespace {

// The byte iconv gives for one byte between two code pages, or 0x20 when it has none.
int iconvByte(const char* from, const char* to, int b)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return -1;
    char in = char(b);
    char out[8] = {};
    char* ip = &in;
    char* op = out;
    size_t il = 1, ol = sizeof out;
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return r == size_t(-1) || ol != sizeof out - 1 ? 0x20 : uchar(out[0]);
}

Tables modeTables(int set, int lange, int ansi)
{
    Tables t = test::makeTables();
    BuildCodePageTables(t);
    t.g_iSetLanguageCodepage = qint16(set);
    t.g_iLangeCodepageToConvert = qint16(lange);
    t.m_iAnsiCodepage = ansi;
    if (t.persianMode())
        t.g_objIranConvert = std::make_shared<IranCharConvert>();
    return t;
}

} // namespace

class TestText : public QObject {
    Q_OBJECT
private slots:
    void codePageTables_data();
    void codePageTables();
    void ansiCodes_data();
    void ansiCodes();
    void persianShaping_data();
    void persianShaping();
    void textRoundTrip_data();
    void textRoundTrip();
    void workedTextRecords();
    void moreThan20Lines();
    void malformedTextData_data();
    void malformedTextData();
    void unencodable();
    void catalogue();
    void fieldFonts();
};

void TestText::codePageTables_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("852 to 1250") << 0;
    QTest::newRow("1250 to 852") << 1;
    QTest::newRow("866 to 1251") << 2;
    QTest::newRow("1251 to 866") << 3;
}

void TestText::codePageTables()
{
    QFETCH(int, which);
    Tables t;
    BuildCodePageTables(t);
    struct Pair {
        const CodePageTable* table;
        const char* from;
        const char* to;
        QList<int> exceptions;
    };
    const Pair pairs[] = {
        {&t.g_arrCp852ToCp1250, "CP852", "CP1250", {0x95, 0x96, 0xAA}},
        {&t.g_arrCp1250ToCp852, "CP1250", "CP852", {0xA0, 0xAC, 0xAD, 0xBC, 0xBE}},
        {&t.g_arrCp866ToCp1251, "CP866", "CP1251", {0xFC, 0xFD, 0xFF}},
        {&t.g_arrCp1251ToCp866, "CP1251", "CP866", {0xA0}},
    };
    const Pair& p = pairs[which];
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (p.exceptions.contains(b))
            continue;
        QCOMPARE((*p.table)[b - 128], qint16(iconvByte(p.from, p.to, b)));
    }
    QCOMPARE(t.g_arrCp1250ToCp852[0xBC - 128], qint16(0x20));
    QCOMPARE(t.g_arrCp852ToCp1250[0x95 - 128], qint16(0xBE));
    QCOMPARE(t.g_arrCp1250ToCp852[0xBE - 128], qint16(0x95));
}

void TestText::ansiCodes_data()
{
    QTest::addColumn<int>("cp");
    QTest::addColumn<QString>("ch");
    QTest::addColumn<int>("code");
    QTest::newRow("ASCII") << 1252 << "A" << 0x41;
    QTest::newRow("1252 e grave") << 1252 << "è" << 0xE8;
    QTest::newRow("1252 euro") << 1252 << "€" << 0x80;
    QTest::newRow("1250 z dot") << 1250 << "ż" << 0xBF;
    QTest::newRow("1251 ya") << 1251 << "я" << 0xFF;
    QTest::newRow("936 double byte") << 936 << "中" << int(qint16(0xD6D0));
    QTest::newRow("1252 cannot hold") << 1252 << "ж" << 63;
}

void TestText::ansiCodes()
{
    QFETCH(int, cp);
    QFETCH(QString, ch);
    QFETCH(int, code);
    QCOMPARE(AnsiCode(cp, ch.toUcs4().first()), code);
    if (code != 63)
        QCOMPARE(AnsiChar(cp, code), ch);
}

void TestText::persianShaping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // Logical order; initial/medial and final/isolated forms by the neighbours.
    QTest::newRow("salam: seen, lam-alef, meem") << "سلام" << QByteArray("\xA8\xF2\xF4");
    QTest::newRow("bozorg") << "بزرگ" << QByteArray("\x93\xA5\xA4\xEF");
    QTest::newRow("ain four forms") << "ع عع ععع" << QByteArray("\xE1 \xE4\xE2 \xE4\xE3\xE2");
    QTest::newRow("heh and yeh") << "هی ههه" << QByteArray("\xFB\xFC \xFB\xFA\xF9");
    QTest::newRow("digits") << "۱۲ ١٢ 12" << QByteArray("\x81\x82 \x81\x82 12");
    QTest::newRow("presentation forms in") << "\uFE91\uFEAE" << QByteArray("\x93\xA4");
    QTest::newRow("not in the chart") << "€" << QByteArray("?");
}

void TestText::persianShaping()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const IranCharConvert c;
    const QString out = c.Uni2IrSys(text);
    QCOMPARE(out.toLatin1(), bytes);
}

void TestText::textRoundTrip_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("lange");
    QTest::addColumn<int>("ansi");
    QTest::addColumn<QString>("text");
    QTest::newRow("no conversion, Western") << 0 << 0 << 1252 << "Crème brûlée 5€";
    QTest::newRow("no conversion, Polish on 1250") << 0 << 0 << 1250 << "Zażółć gęślą jaźń";
    QTest::newRow("no conversion, Russian on 1251") << 0 << 0 << 1251 << "Съешь же ещё";
    QTest::newRow("no conversion, Chinese on 936") << 0 << 0 << 936 << "北京烤鸭 12元 A";
    QTest::newRow("table 0, Polish") << 1 << 0 << 1250 << "Zażółć gęślą jaźń ŁÓDŹ";
    QTest::newRow("table 1, Russian") << 1 << 1 << 1251 << "Съешь же ещё этих ЁЖИК";
    QTest::newRow("other setting, raw bytes") << 1 << 7 << 1250 << "Kraków";
    QTest::newRow("Persian shop") << 1 << 2 << 1256 << "فروشگاه بزرگ تهران";
    QTest::newRow("Persian bakery, digits") << 1 << 2 << 1256 << "نان و شیرینی ۱۲۳۴ تلفن ۰۲۱";
    QTest::newRow("Persian with Latin") << 1 << 2 << 1256 << "کافه Roma، پاساژ";
}

void TestText::textRoundTrip()
{
    QFETCH(int, set);
    QFETCH(int, lange);
    QFETCH(int, ansi);
    QFETCH(QString, text);
    const Tables t = modeTables(set, lange, ansi);
    QVERIFY(UnencodableCharacters(t, text).isEmpty());
    const QString hex = EncodeScaleText(t, text);
    QCOMPARE(hex.size() % 2, 0);
    QCOMPARE(DecodeScaleText(t, hex), text);

    // The whole file, both kinds, through a label.
    for (qint32 type : {qint32(FT_TEXT), qint32(FT_SHOPNAME)}) {
        Label l(t);
        const int second = type == FT_TEXT ? 12 : 13;
        l.m_arrFields[second].iTextLine = 2;
        l.m_arrFields[second].strText[1] = text;
        l.m_arrFields[second].strCharSize[1] = QStringLiteral("Huge");
        l.m_arrFields[second].strText[2] = QStringLiteral("2");
        l.m_arrFields[second].strCharSize[2] = QStringLiteral("Small");
        QTemporaryDir dir;
        const QString path = dir.filePath("F56.DAT");
        QVERIFY(ExportTextData(l, path, type).ok);
        Label back(t);
        QList<int> changed;
        QVERIFY(ImportTextData(back, path, type, &changed).ok);
        QCOMPARE(changed, QList<int>{second});
        QVERIFY(FieldRecordsEqual(back.m_arrFields[second], l.m_arrFields[second]));
    }
}

void TestText::workedTextRecords()
{
    const Tables t = modeTables(0, 0, 1252);
    Label l(t);
    // Three TEXT fields (10, 12 and an extra), only the second has lines.
    l.m_arrFields[12].iTextLine = 1;
    l.m_arrFields[12].strText[1] = QStringLiteral("AB");
    l.m_arrFields[12].strCharSize[1] = QStringLiteral("Medium");
    QCOMPARE(TextDataRecord(l, FT_TEXT), QStringLiteral("00000002000D0000" "0202" "4142" "0C"));
    l.m_arrFields[12].iTextLine = 2;
    QCOMPARE(TextDataRecord(l, FT_TEXT), QStringLiteral("0000000200100000" "0202" "4142" "0D" "0000" "0C")); // empty size: code 00
    QCOMPARE(TextDataRecord(l, FT_SHOPNAME), QString());
    QTemporaryDir dir;
    QVERIFY(ExportTextData(Label(t), dir.filePath("e.DAT"), FT_SHOPNAME).ok);
    QFile f(dir.filePath("e.DAT"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\r\n"));
}

void TestText::moreThan20Lines()
{
    const Tables t = modeTables(0, 0, 1252);
    QString line = QStringLiteral("00000001") + QStringLiteral("0000") + QStringLiteral("0000");
    for (int j = 1; j <= 22; ++j)
        line += QStringLiteral("0101") + QString::number(0x40 + j, 16).toUpper() + (j == 22 ? "0C" : "0D");
    line += QStringLiteral("00000002000D0000") + QStringLiteral("0202") + QStringLiteral("4142") + QStringLiteral("0C");
    Label l(t);
    l.m_arrFields[FT_TEXT].strText[20] = QStringLiteral("old");
    const QList<int> changed = ImportTextDataLine(l, line, FT_TEXT);
    QCOMPARE(changed, (QList<int>{FT_TEXT, 12}));
    const FieldRecord& r = l.m_arrFields[FT_TEXT];
    QCOMPARE(r.iTextLine, qint16(20));
    QCOMPARE(r.strText[1], QStringLiteral("A"));
    QCOMPARE(r.strText[20], QStringLiteral("T"));
    QCOMPARE(r.strCharSize[20], QStringLiteral("Small"));
    QCOMPARE(l.m_arrFields[12].strText[1], QStringLiteral("AB"));
}

void TestText::malformedTextData_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("too short") << "0000000100";
    QTest::newRow("no end mark") << "00000001000D00000205414243";
    QTest::newRow("count past the end") << "00000001000D000002FF4142";
    QTest::newRow("odd length") << "00000001000D0000020241420C0";
    QTest::newRow("non-hex") << "0000000100XX0000ZZ02QQ420C";
    QTest::newRow("record for no field") << "00000009000D0000020241420C";
    QTest::newRow("record 0") << "00000000000D0000020241420C";
    QTest::newRow("huge record number") << "99999999000D0000020241420C";
}

void TestText::malformedTextData()
{
    QFETCH(QString, line);
    const Tables t = modeTables(0, 0, 936);
    Label l(t);
    const QList<int> changed = ImportTextDataLine(l, line, FT_TEXT);
    for (int i : changed)
        QVERIFY(l.m_arrFields[i].iTextLine >= 0 && l.m_arrFields[i].iTextLine <= 20);
}

void TestText::unencodable()
{
    QCOMPARE(UnencodableCharacters(modeTables(0, 0, 1252), "Łódź ж"), QStringLiteral("Łźж"));
    QCOMPARE(UnencodableCharacters(modeTables(1, 0, 1250), "Ľubica"), QStringLiteral("Ľ"));
    QCOMPARE(UnencodableCharacters(modeTables(1, 2, 1256), "نان €"), QStringLiteral("€"));
    QCOMPARE(EncodeScaleText(modeTables(0, 0, 1252), "ж?"), QStringLiteral("3F3F"));
}

void TestText::catalogue()
{
    QList<QPair<int, QString>> groups;
    QList<QPair<int, int>> items;
    QStringList unknown;
    CatalogueCallbacks cb;
    cb.onGroup = [&](int id, const QString& c) { groups.append({id, c}); };
    cb.onItem = [&](int g, int i, const QString&) { items.append({g, i}); };
    cb.onUnknownType = [&](const QString& n) { unknown.append(n); };
    const QByteArray text = "\xEF\xBB\xBFNote,C2\r\n  ; comment\r\nBarcodes\r\nEAN,B1,2,30,40,15\r\n   \r\n"
                            "Texts\nTitle,text,1,45,50,4\nBarcodes\nOdd,XX,a,1.5\nPLU, B5 ,1,2,3,4\n";
    const QVector<FieldDef> defs = ParseFieldCatalogue(text, cb);
    QCOMPARE(defs.size(), 5);
    QCOMPARE(defs[0].FieldType, qint32(FT_C2));
    QCOMPARE(defs[0].Width, 0.0f);
    QCOMPARE(defs[1].X, 2.0f);
    QCOMPARE(defs[1].Height, 15.0f);
    QCOMPARE(defs[2].FieldType, qint32(FT_TEXT));
    QCOMPARE(defs[3].FieldType, qint32(FT_B1));
    QCOMPARE(defs[3].X, 0.0f);
    QCOMPARE(defs[3].Y, 1.5f);
    QCOMPARE(defs[4].FieldType, qint32(FT_B5));
    QCOMPARE(groups, (QList<QPair<int, QString>>{{0, "Barcodes"}, {1, "Texts"}}));
    QCOMPARE(items, (QList<QPair<int, int>>{{0, 1}, {1, 2}, {0, 3}, {0, 4}}));
    QCOMPARE(unknown, QStringList{"XX"});
    QVERIFY(ParseFieldCatalogue(QByteArray()).isEmpty());

    QByteArray many;
    for (int i = 0; i < 60; ++i)
        many += "G" + QByteArray::number(i) + "\nF,B1,1,1,1,1\n";
    groups.clear();
    items.clear();
    QCOMPARE(ParseFieldCatalogue(many, cb).size(), 60);
    QCOMPARE(groups.size(), 51);
    QCOMPARE(items.last(), (QPair<int, int>{50, 59}));
}

void TestText::fieldFonts()
{
    QList<int> bad;
    const QVector<FieldFont> fonts =
        ParseFieldFonts("  ; comment\r\n Big , 1A , 12 , 24 \r\nbroken,1\r\n\r\nSmall,3,8,16,extra\r\n", &bad);
    QCOMPARE(fonts.size(), 2);
    QCOMPARE(fonts[0].Name, QStringLiteral("Big"));
    QCOMPARE(fonts[0].Code, qint16(26));
    QCOMPARE(fonts[0].Width, qint16(12));
    QCOMPARE(fonts[0].Height, qint16(24));
    QCOMPARE(fonts[1].Code, qint16(3));
    QCOMPARE(bad, QList<int>{3});
    Tables t;
    t.g_arrFieldFont = fonts;
    QCOMPARE(FontNameToCode(t, "Big"), QStringLiteral("1A"));
    QCOMPARE(FontNameToCode(t, "big"), QStringLiteral("00"));
    QCOMPARE(FontCodeToName(t, 99), QStringLiteral("Big"));
    QCOMPARE(FontIndexByName(t, "Small"), 1);
}

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
