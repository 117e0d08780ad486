// Runs the real quillon-convert on files in a temporary runtime tree.
#include "context/appcontext.h"
#include "model/f52data.h"
#include "model/qlffile.h"
#include "model/f56f61data.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestConvert : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void formatRoundTrip();
    void textRoundTrip_data();
    void textRoundTrip();
    void badInput_data();
    void badInput();

private:
    // A runtime tree with the staged data files and an INI with the given conversion.
    QString makeTree(QTemporaryDir& dir, const QByteArray& setting);
    int run(const QStringList& args, QByteArray* err = nullptr);
    // The label a fresh program would build for the tree, with some fields placed.
    Label sampleLabel(const AppContext& ctx);

    QString m_exe;
    QString m_programDir;
};

void TestConvert::initTestCase()
{
    m_programDir = qEnvironmentVariable("QUILLON_BUILD_PROGRAM_DIR", QStringLiteral(QUILLON_PROGRAM_DIR_BUILD));
    m_exe = m_programDir + QStringLiteral("/quillon-convert");
    QVERIFY2(QFile::exists(m_exe), qPrintable(m_exe));
}

QString TestConvert::makeTree(QTemporaryDir& dir, const QByteArray& setting)
{
    const QString bin = dir.filePath("bin");
    QDir().mkpath(bin);
    for (const QString& f : QDir(m_programDir).entryList({"*.dsc"}, QDir::Files))
        QFile::copy(m_programDir + "/" + f, bin + "/" + f);
    writeAll(dir.filePath("Vexo2005.INI"), "[Setting]\r\nLanguage=English\r\n" + setting);
    return bin;
}

int TestConvert::run(const QStringList& args, QByteArray* err)
{
    QProcess p;
    p.start(m_exe, args);
    if (!p.waitForFinished(60000))
        return -1;
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

Label TestConvert::sampleLabel(const AppContext& ctx)
{
    Label l(ctx.tables);
    for (int i = 0; i < l.fieldCount(); i += 2) {
        FieldRecord& r = l.m_arrFields[i];
        r.bUsed = true;
        r.sngX = 1.5f + float(i % 7);
        r.sngY = 2.0f + float(i % 5);
        r.iTextLine = 0;
    }
    l.m_iFormatNo = 12;
    for (int i = 0; i < l.fieldCount(); ++i)
        l.NormaliseField(i);
    return l;
}

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
    const QString bin = makeTree(dir, "");
    QByteArray err;
    QCOMPARE(run(QStringList{"--program-dir", bin} + args, &err), 2);
    QVERIFY(err.contains("usage:"));
}

void TestConvert::formatRoundTrip()
{
    QTemporaryDir dir;
    const QString bin = makeTree(dir, "");
    AppContext ctx;
    QVERIFY(ctx.LoadAll(bin));
    const Label a = sampleLabel(ctx);
    Label b = a;
    b.m_iFormatNo = 13;
    b.m_arrFields[0].bUsed = false;
    const QString record = FormatRecord(a) + FormatRecord(b);
    const QString f52 = dir.filePath("F52.DAT");
    writeAll(f52, record.toLatin1() + "\r\n");

    const QString out = dir.filePath("labels");
    QByteArray err;
    QCOMPARE(run({"--program-dir", bin, "import-format", f52, out}, &err), 0);
    QVERIFY2(err.isEmpty(), err.constData());
    QCOMPARE(QDir(out).entryList({"*.QLF"}), (QStringList{"1.QLF", "2.QLF"}));

    Label opened(ctx.tables);
    QVERIFY(OpenFromFile(out + "/1.QLF", opened).ok());
    QCOMPARE(FormatRecord(opened), FormatRecord(a));

    const QString back = dir.filePath("back.DAT");
    QCOMPARE(run({"--program-dir", bin, "export-format", out + "/2.QLF", back}), 0);
    QCOMPARE(readAll(back), FormatRecord(b).toLatin1() + "\r\n");
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
    const QString bin = makeTree(dir, setting);
    AppContext ctx;
    QVERIFY(ctx.LoadAll(bin));
    Label l = sampleLabel(ctx);
    int field = -1;
    for (int i = 0; i < l.fieldCount() && field < 0; ++i)
        if (l.fieldType(i) == type)
            field = i;
    QVERIFY(field >= 0);
    l.m_arrFields[field].iTextLine = 1;
    l.m_arrFields[field].strText[1] = text;
    const QString withText = dir.filePath("with.QLF");
    const QString without = dir.filePath("without.QLF");
    QVERIFY(SaveToFile(l, withText).ok);
    QVERIFY(SaveToFile(sampleLabel(ctx), without).ok);

    const QString data = dir.filePath("F56.DAT");
    const QString out = dir.filePath("out.QLF");
    const QString t = QString::number(type);
    QCOMPARE(run({"--program-dir", bin, "export-text", withText, data, "--type", t}), 0);
    QCOMPARE(run({"--program-dir", bin, "import-text", without, data, "--type", t, out}), 0);
    Label back(ctx.tables);
    QVERIFY(OpenFromFile(out, back).ok());
    QCOMPARE(back.m_arrFields[field].strText[1], text);
    QCOMPARE(back.m_arrFields[field].iTextLine, qint16(1));
}

void TestConvert::badInput_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("input");
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
    const QString bin = makeTree(dir, "");
    AppContext ctx;
    QVERIFY(ctx.LoadAll(bin));
    const QString label = dir.filePath("label.QLF");
    QVERIFY(SaveToFile(sampleLabel(ctx), label).ok);
    const QString in = dir.filePath("in.DAT");
    if (input != "<none>")
        writeAll(in, input);
    const QString out = dir.filePath("out");
    writeAll(out, "keep me");
    QStringList args{"--program-dir", bin, command};
    if (command == "import-format")
        args << in << dir.filePath("labels");
    else if (command == "export-format")
        args << in << out;
    else
        args << label << in << "--type" << "10" << out;
    QByteArray err;
    QCOMPARE(run(args, &err), 1);
    QVERIFY2(err.contains(message), err.constData());
    QCOMPARE(err.count('\n'), 1);
    QVERIFY(err.contains(QDir::toNativeSeparators(in).toLocal8Bit()));
    QCOMPARE(readAll(out), QByteArray("keep me"));
    QVERIFY(!QDir(dir.filePath("labels")).exists());
}

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
