#include "model/codepage.h"
#include "model/irancharconvert.h"
#include "model/label.h"
#include "model/f56f61data.h"
#include "common/testtables.h"

#include <QTest>
#include <memory>

using namespace quillon;

namespace {

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
    void persianShaping()
    {
        // Logical order; initial/medial and final/isolated forms by the neighbours.
        const char* const rows[][2] = {
            {"سلام", "\xA8\xF2\xF4"}, {"بزرگ", "\x93\xA5\xA4\xEF"}, {"ع عع ععع", "\xE1 \xE4\xE2 \xE4\xE3\xE2"},
            {"هی ههه", "\xFB\xFC \xFB\xFA\xF9"}, {"۱۲ ١٢ 12", "\x81\x82 \x81\x82 12"},
            {"\uFE91\uFEAE", "\x93\xA4"}, {"€", "?"}};
        const IranCharConvert c;
        for (const auto& r : rows)
            QCOMPARE(c.Uni2IrSys(QString::fromUtf8(r[0])).toLatin1(), QByteArray(r[1]));
    }

    void textRoundTrip()
    {
        const struct { int set, lange, ansi; const char* text; } rows[] = {
            {0, 0, 1252, "Crème brûlée 5€"}, {0, 0, 1251, "Съешь же ещё"}, {0, 0, 936, "北京烤鸭 12元 A"},
            {1, 0, 1250, "Zażółć gęślą jaźń ŁÓDŹ"},
            {1, 1, 1251, "Съешь же ещё этих ЁЖИК"}, {1, 7, 1250, "Kraków"}, // another setting: raw bytes
            {1, 2, 1256, "فروشگاه بزرگ تهران"}, {1, 2, 1256, "نان و شیرینی ۱۲۳۴ تلفن ۰۲۱"},
            {1, 2, 1256, "کافه Roma، پاساژ"}};
        // Where the 852 tables depart from the standard mapping on purpose.
        const Tables cp = modeTables(1, 0, 1250);
        QVERIFY(cp.g_arrCp1250ToCp852[0xBC - 128] == 0x20 && cp.g_arrCp852ToCp1250[0x95 - 128] == 0xBE
                && cp.g_arrCp1250ToCp852[0xBE - 128] == 0x95);
        for (const auto& [set, lange, ansi, utf8] : rows) {
            const QString text = QString::fromUtf8(utf8);
            const Tables t = modeTables(set, lange, ansi);
            QVERIFY(UnencodableCharacters(t, text).isEmpty());
            const QString hex = EncodeScaleText(t, text);
            QCOMPARE(hex.size() % 2, 0);
            QCOMPARE(DecodeScaleText(t, hex), text);
            // Through a record of each kind, into the second field of that kind.
            for (const int second : {12, 13}) {
                Label l(t), back(t);
                l.m_arrFields[second].iTextLine = 1;
                l.m_arrFields[second].strText[1] = text;
                l.m_arrFields[second].strCharSize[1] = QStringLiteral("Huge");
                const qint32 type = l.fieldType(second);
                QCOMPARE(ImportTextDataLine(back, TextDataRecord(l, type), type), QList<int>{second});
                QVERIFY(FieldRecordsEqual(back.m_arrFields[second], l.m_arrFields[second]));
            }
        }
    }

    void textRecords()
    {
        const Tables t = modeTables(0, 0, 1252);
        Label l(t);
        // Three TEXT fields (10, 12 and an extra), only the second has lines.
        l.m_arrFields[12].iTextLine = 1;
        l.m_arrFields[12].strText[1] = QStringLiteral("AB");
        l.m_arrFields[12].strCharSize[1] = QStringLiteral("Medium");
        QCOMPARE(TextDataRecord(l, FT_TEXT), QStringLiteral("00000002000D0000" "0202" "4142" "0C"));
        l.m_arrFields[12].iTextLine = 2; // empty size: code 00
        QCOMPARE(TextDataRecord(l, FT_TEXT), QStringLiteral("0000000200100000" "0202" "4142" "0D" "0000" "0C"));
        QCOMPARE(TextDataRecord(l, FT_SHOPNAME), QString());

        // A record of 22 lines keeps the first 20; the next record still reads.
        QString line = QStringLiteral("00000001" "0000" "0000");
        for (int j = 1; j <= 22; ++j)
            line += QStringLiteral("0101") + QString::number(0x40 + j, 16).toUpper() + (j == 22 ? "0C" : "0D");
        line += QStringLiteral("00000002000D0000" "0202" "4142" "0C");
        Label many(t);
        many.m_arrFields[FT_TEXT].strText[20] = QStringLiteral("old");
        QCOMPARE(ImportTextDataLine(many, line, FT_TEXT), (QList<int>{FT_TEXT, 12}));
        const FieldRecord& r = many.m_arrFields[FT_TEXT];
        QVERIFY(r.iTextLine == 20 && r.strText[1] == "A" && r.strText[20] == "T" && r.strCharSize[20] == "Small");
        QCOMPARE(many.m_arrFields[12].strText[1], QStringLiteral("AB"));

        // Damaged lines never leave a field with a line count out of range.
        const Tables cjk = modeTables(0, 0, 936);
        for (const char* bad : {"0000000100", "00000001000D000002FF4142", "00000001000D0000020241420C0",
                                "0000000100XX0000ZZ02QQ420C", "00000009000D0000020241420C"}) {
            Label d(cjk);
            for (int i : ImportTextDataLine(d, QString::fromLatin1(bad), FT_TEXT))
                QVERIFY2(d.m_arrFields[i].iTextLine >= 0 && d.m_arrFields[i].iTextLine <= 20, bad);
        }
        QCOMPARE(UnencodableCharacters(modeTables(0, 0, 1252), "Łódź ж"), QStringLiteral("Łźж"));
        QCOMPARE(UnencodableCharacters(modeTables(1, 0, 1250), "Ľubica"), QStringLiteral("Ľ"));
        QCOMPARE(UnencodableCharacters(modeTables(1, 2, 1256), "نان €"), QStringLiteral("€"));
        QCOMPARE(EncodeScaleText(modeTables(0, 0, 1252), "ж?"), QStringLiteral("3F3F"));
    }

    void catalogueAndFonts()
    {
        // Grouping is checked where the palette shows it; here what the reader skips, reports and limits.
        int groups = 0;
        QList<QPair<int, int>> items;
        QStringList unknown;
        CatalogueCallbacks cb;
        cb.onGroup = [&](int, const QString&) { ++groups; };
        cb.onItem = [&](int g, int i, const QString&) { items.append({g, i}); };
        cb.onUnknownType = [&](const QString& n) { unknown.append(n); };
        const QByteArray text = "\xEF\xBB\xBFNote,C2\r\n  ; comment\r\nBarcodes\r\nEAN,B1,2,30,40,15\r\n   \r\n"
                                "Texts\nTitle,text,1,45,50,4\nBarcodes\nOdd,XX,a,1.5\nPLU, B5 ,1,2,3,4\n";
        const QVector<FieldDef> defs = ParseFieldCatalogue(text, cb);
        QCOMPARE(defs.size(), 5);
        QVERIFY(defs[0].FieldType == FT_C2 && defs[0].Width == 0 && defs[1].X == 2 && defs[1].Height == 15);
        QVERIFY(defs[2].FieldType == FT_TEXT && defs[3].FieldType == FT_B1 && defs[4].FieldType == FT_B5);
        QVERIFY(defs[3].X == 0 && defs[3].Y == 1.5f && unknown == QStringList{"XX"});
        QVERIFY(groups == 2 && items.size() == 4);
        QVERIFY(ParseFieldCatalogue(QByteArray()).isEmpty());
        // At most 51 groups: later headings fall into the last one.
        QByteArray many;
        for (int i = 0; i < 60; ++i)
            many += "G" + QByteArray::number(i) + "\nF,B1,1,1,1,1\n";
        groups = 0;
        QVERIFY(ParseFieldCatalogue(many, cb).size() == 60 && groups == 51 && items.last() == qMakePair(50, 59));

        QList<int> bad;
        const QVector<FieldFont> fonts =
            ParseFieldFonts("  ; comment\r\n Big , 1A , 12 , 24 \r\nbroken,1\r\n\r\nSmall,3,8,16,extra\r\n", &bad);
        QCOMPARE(fonts.size(), 2);
        QVERIFY(fonts[0].Name == "Big" && fonts[0].Code == 26 && fonts[0].Width == 12 && fonts[0].Height == 24);
        QCOMPARE(fonts[1].Code, qint16(3));
        QCOMPARE(bad, QList<int>{3});
        Tables t;
        t.g_arrFieldFont = fonts;
        QCOMPARE(FontNameToCode(t, "Big"), QStringLiteral("1A"));
        QCOMPARE(FontNameToCode(t, "big"), QStringLiteral("00"));
        QCOMPARE(FontCodeToName(t, 99), QStringLiteral("Big"));
        QCOMPARE(FontIndexByName(t, "Small"), 1);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
