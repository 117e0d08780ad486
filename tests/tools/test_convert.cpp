// Runs the real quillon-convert on files in a temporary runtime tree.
#include "common/simprocess.h"
#include "context/appcontext.h"
#include "model/f52data.h"
#include "model/qlffile.h"

#include <QTest>

using namespace quillon;
using namespace transfertest;

namespace {

// The label a fresh program would build for the tree, with some fields placed.
Label sampleLabel(const AppContext& ctx)
{
    Label l(ctx.tables);
    for (int i = 0; i < l.fieldCount(); i += 2) {
        l.m_arrFields[i].bUsed = true;
        l.m_arrFields[i].sngX = 1.5f + float(i % 7);
        l.m_arrFields[i].sngY = 2.0f + float(i % 5);
        l.m_arrFields[i].iTextLine = 0;
    }
    l.m_iFormatNo = 12;
    for (int i = 0; i < l.fieldCount(); ++i)
        l.NormaliseField(i);
    return l;
}

} // namespace

class TestConvert : public QObject {
    Q_OBJECT
private slots:
    void usage_data();
    void usage();
    void formatRoundTrip();
    void textRoundTrip_data();
    void textRoundTrip();
    void badInput_data();
    void badInput();
};

void TestConvert::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"explode", "a", "b"};
    QTest::newRow("missing argument") << QStringList{"export-format", "a.QLF"};
    QTest::newRow("bad type") << QStringList{"export-text", "a.QLF", "b.DAT", "--type", "12"};
    QTest::newRow("option of another command") << QStringList{"export-format", "a", "b", "--type", "10"};
    QTest::newRow("option without value") << QStringList{"import-format", "a", "b", "--model-index"};
}

void TestConvert::usage()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QByteArray err;
    QCOMPARE(runConvert(makeRuntimeTree(dir.path()), args, &err), 2);
    QVERIFY(err.contains("usage:"));
}

void TestConvert::formatRoundTrip()
{
    QTemporaryDir dir;
    const QString bin = makeRuntimeTree(dir.path());
    AppContext ctx;
    QVERIFY(ctx.LoadAll(bin));
    const Label a = sampleLabel(ctx);
    Label b = a;
    b.m_iFormatNo = 13;
    b.m_arrFields[0].bUsed = false;
    const QString f52 = dir.filePath("F52.DAT"), out = dir.filePath("labels");
    QVERIFY(writeAll(f52, (FormatRecord(a) + FormatRecord(b)).toLatin1() + "\r\n"));
    QByteArray err;
    QCOMPARE(runConvert(bin, {"import-format", f52, out}, &err), 0);
    QVERIFY2(err.isEmpty(), err.constData());
    QCOMPARE(QDir(out).entryList({"*.QLF"}), (QStringList{"1.QLF", "2.QLF"}));
    Label opened(ctx.tables);
    QVERIFY(OpenFromFile(out + "/1.QLF", opened).ok());
    QCOMPARE(FormatRecord(opened), FormatRecord(a));
    QCOMPARE(runConvert(bin, {"export-format", out + "/2.QLF", dir.filePath("back.DAT")}), 0);
    QCOMPARE(readAll(dir.filePath("back.DAT")), FormatRecord(b).toLatin1() + "\r\n");
}

void TestConvert::textRoundTrip_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::newRow("plain shop name") << QByteArray() << "Crème & Co, Lyon" << 11;
    QTest::newRow("Polish table") << QByteArray("SetLanguageCodepage=1\r\nLangeCodepageToConvert=0\r\n") << "Żółć" << 10;
    QTest::newRow("Russian table") << QByteArray("SetLanguageCodepage=1\r\nLangeCodepageToConvert=1\r\n") << "Ёлка" << 10;
    QTest::newRow("Chinese") << QByteArray("AnsiCodepage=936\r\n") << "北京烤鸭" << 11;
    QTest::newRow("Persian") << QByteArray("SetLanguageCodepage=1\r\nLangeCodepageToConvert=2\r\n")
                             << "فروشگاه بزرگ تهران" << 11;
}

void TestConvert::textRoundTrip()
{
    QFETCH(QByteArray, setting);
    QFETCH(QString, text);
    QFETCH(int, type);
    QTemporaryDir dir;
    const QString bin = makeRuntimeTree(dir.path(), setting);
    AppContext ctx;
    QVERIFY(ctx.LoadAll(bin));
    Label l = sampleLabel(ctx);
    int field = 0;
    while (field < l.fieldCount() && l.fieldType(field) != type)
        ++field;
    QVERIFY(field < l.fieldCount());
    l.m_arrFields[field].iTextLine = 1;
    l.m_arrFields[field].strText[1] = text;
    const QString with = dir.filePath("with.QLF"), without = dir.filePath("without.QLF");
    const QString data = dir.filePath("F56.DAT"), out = dir.filePath("out.QLF"), t = QString::number(type);
    QVERIFY(SaveToFile(l, with).ok);
    QVERIFY(SaveToFile(sampleLabel(ctx), without).ok);
    QCOMPARE(runConvert(bin, {"export-text", with, data, "--type", t}), 0);
    QCOMPARE(runConvert(bin, {"import-text", without, data, "--type", t, out}), 0);
    Label back(ctx.tables);
    QVERIFY(OpenFromFile(out, back).ok());
    QCOMPARE(back.m_arrFields[field].strText[1], text);
    QCOMPARE(back.m_arrFields[field].iTextLine, qint16(1));
}

void TestConvert::badInput_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("input");   // "<none>": no file
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("non-hex F52") << "import-format" << QByteArray("0000000100XX\r\n") << QByteArray("not hexadecimal");
    QTest::newRow("odd F52") << "import-format" << QByteArray("000000010\r\n") << QByteArray("odd number");
    QTest::newRow("F52 length past end") << "import-format" << QByteArray("0000000100FF00000000000200\r\n")
                                         << QByteArray("incomplete");
    QTest::newRow("QLF of another program") << "export-format" << QByteArray("\"Other\",0,1\r\n")
                                            << QByteArray("format error");
    QTest::newRow("empty QLF") << "export-format" << QByteArray() << QByteArray("format error");
    QTest::newRow("missing input") << "export-format" << QByteArray("<none>") << QByteArray("annot read");
    QTest::newRow("non-hex text data") << "import-text" << QByteArray("0000000100080000Z\r\n")
                                       << QByteArray("not hexadecimal");
}

void TestConvert::badInput()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, message);
    QTemporaryDir dir;
    const QString bin = makeRuntimeTree(dir.path());
    AppContext ctx;
    QVERIFY(ctx.LoadAll(bin));
    const QString label = dir.filePath("label.QLF"), in = dir.filePath("in.DAT"), out = dir.filePath("out");
    QVERIFY(SaveToFile(sampleLabel(ctx), label).ok);
    QVERIFY(input == "<none>" || writeAll(in, input));
    QVERIFY(writeAll(out, "keep me"));
    QStringList args{command};
    if (command == "import-format")
        args << in << dir.filePath("labels");
    else if (command == "export-format")
        args << in << out;
    else
        args << label << in << "--type" << "10" << out;
    QByteArray err;
    QCOMPARE(runConvert(bin, args, &err), 1);
    QVERIFY2(err.contains(message) && err.contains(QDir::toNativeSeparators(in).toLocal8Bit()), err.constData());
    QCOMPARE(err.count('\n'), 1);
    QCOMPARE(readAll(out), QByteArray("keep me"));
    QVERIFY(!QDir(dir.filePath("labels")).exists());
}

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
