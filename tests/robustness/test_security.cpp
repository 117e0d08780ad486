// Hostile input: addresses and names that try to leave the program folder or pass
// for options, 10 MB lines in every file the program reads, control characters.
#include "robustlabels.h"

#include "model/datafile.h"
#include "model/f52data.h"
#include "model/qlffile.h"
#include "model/f56f61data.h"
#include "platform/ini.h"
#include "scale/driverresult.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>

using namespace quillon;

namespace {

// Every file under a folder with its bytes, to see what a run changed.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        files.insert(QDir(root).relativeFilePath(path), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?"));
    }
    return files;
}

QStringList changed(const QMap<QString, QByteArray>& before, const QMap<QString, QByteArray>& after)
{
    QStringList out;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()) || before.value(it.key()) != it.value())
            out << it.key();
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!after.contains(it.key()))
            out << QStringLiteral("-") + it.key();
    out.sort();
    return out;
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

long peakKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

QString programDir()
{
    return qEnvironmentVariable("QUILLON_BUILD_PROGRAM_DIR", QStringLiteral(QUILLON_PROGRAM_DIR_BUILD));
}

const QByteArray k10MB(10 << 20, 'A');

} // namespace

class TestSecurity : public QObject {
    Q_OBJECT
private slots:
    void driverAddresses_data();
    void driverAddresses();
    void convertHostileLabel();
    void overlongLines_data();
    void overlongLines();
    void controlCharacters_data();
    void controlCharacters();
    void refusedSaveKeepsFile();
    void wideValueRefusedOnExport();
};

void TestSecurity::driverAddresses_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QStringList>("addresses");
    const QStringList escapes = {"../escaped", "../../../../escaped", "/tmp/quillon-escaped", "..\\..\\escaped",
                                 "127.0.0.1/../../escaped", "127.0.0.1/../x", "./127.0.0.1"};
    const QStringList options = {"-h", "--help", "-rf", "--port=1", "WR", "52"};
    const QStringList odd = {"127.0.0.1;rm -rf x", "a:b", "127.0.0.1\r\n127.0.0.2", "%s%n%x", "127.000.0.1",
                             "0x7f.0.0.1", " 127.0.0.1", "127.0.0.1 ", QString(100000, u'9'),
                             QString::fromUtf8("١٢٧.٠.٠.١")};
    for (const char* op : {"RD", "WR"}) {
        QTest::addRow("%s folder escapes", op) << op << escapes;
        QTest::addRow("%s options", op) << op << options;
        QTest::addRow("%s odd", op) << op << odd;
    }
}

void TestSecurity::driverAddresses()
{
    QFETCH(QString, op);
    QFETCH(QStringList, addresses);
    const QString driver = programDir() + QStringLiteral("/vexowtcp");
    if (!QFile::exists(driver))
        QSKIP("the transfer driver is not built");
    QTemporaryDir tmp;
    const QString bin = tmp.filePath("a/b/c/root/bin");
    QVERIFY(QDir().mkpath(bin));
    writeAll(tmp.filePath("a/b/c/root/Vexo2005.INI"), "[Transfer]\r\nPort=1\r\n");
    // Bait: files a read or write would pick up if the address were used as a path.
    writeAll(tmp.filePath("a/b/c/root/SMF52.DAT"), "00");
    writeAll(bin + "/SM127.0.0.1F52.DAT", "0000000100\r\n");
    const auto before = snapshot(tmp.path());

    QProcess p;
    p.setWorkingDirectory(bin);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLON_SCALE_PORT", "1");
    env.insert("QUILLON_SCALE_TIMEOUT_MS", "300");
    p.setProcessEnvironment(env);
    p.start(driver, QStringList{op, "52"} + addresses);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);

    // Only the result file may appear, and only in the program folder.
    QCOMPARE(changed(before, snapshot(tmp.path())), QStringList{"a/b/c/root/bin/result"});
    QVERIFY(!QFile::exists("/tmp/quillon-escaped"));
    const QList<QByteArray> entries = readAll(bin + "/result").split(';');
    QCOMPARE(entries.size(), addresses.size());
    for (const QByteArray& e : entries)
        QVERIFY2(e.endsWith(":6"), e.left(200).constData());
}

void TestSecurity::convertHostileLabel()
{
    const QString exe = programDir() + QStringLiteral("/quillon-convert");
    if (!QFile::exists(exe))
        QSKIP("quillon-convert is not built");
    QTemporaryDir tmp;
    const QString bin = tmp.filePath("root/bin");
    QVERIFY(QDir().mkpath(bin));
    for (const QString& f : QDir(programDir()).entryList({"*.dsc"}, QDir::Files))
        QVERIFY(QFile::copy(programDir() + "/" + f, bin + "/" + f));
    writeAll(tmp.filePath("root/Vexo2005.INI"), "[Setting]\r\nLanguage=English\r\n");
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(tmp.filePath("root"));
        p.start(exe, QStringList{"--program-dir", bin} + args);
        p.waitForFinished(60000);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };

    // A label the tool wrote itself, then every string made hostile in the file.
    const QString plain = tmp.filePath("work/plain.QLF");
    QVERIFY(QDir().mkpath(tmp.filePath("work")));
    // A record with the header only: every field keeps its defaults.
    writeAll(tmp.filePath("work/in.DAT"), "00000001000C01E001400002\r\n");
    QCOMPARE(run({"import-format", tmp.filePath("work/in.DAT"), tmp.filePath("work")}), 0);
    QByteArray bytes = readAll(tmp.filePath("work/1.QLF"));
    QVERIFY(!bytes.isEmpty());
    QList<QByteArray> lines = bytes.split('\n');
    for (int i = 4; i < lines.size(); ++i) {
        // Logo size, three lines of text and their character sizes.
        QList<QByteArray> items = lines[i].split(',');
        if (items.size() < 52)
            continue;
        items[7] = "\"../../../escaped\"";
        items[11] = "3";
        items[13] = "\"/tmp/quillon-escaped\"";
        items[14] = "\"-rf\"";
        items[15] = "\"\x01\x1b[2J\"";
        items[16] = "\"..\\\\..\\\\escaped\"";
        lines[i] = items.join(',');
    }
    writeAll(plain, lines.join('\n'));
    QFile::remove(tmp.filePath("work/1.QLF"));

    const auto before = snapshot(tmp.path());
    QCOMPARE(run({"export-format", plain, tmp.filePath("work/F52.DAT")}), 0);
    QCOMPARE(run({"export-text", plain, tmp.filePath("work/F56.DAT"), "--type", "10"}), 0);
    QCOMPARE(run({"export-text", plain, tmp.filePath("work/F61.DAT"), "--type", "11"}), 0);
    QCOMPARE(run({"import-text", plain, tmp.filePath("work/F56.DAT"), "--type", "10", tmp.filePath("work/out.QLF")}), 0);
    QCOMPARE(run({"import-format", tmp.filePath("work/F52.DAT"), tmp.filePath("work/labels")}), 0);
    // The day's log is the one file the tool may write besides its outputs.
    QStringList written = changed(before, snapshot(tmp.path()));
    written.removeIf([](const QString& f) { return f.startsWith("root/bin/log/"); });
    QCOMPARE(written, (QStringList{"work/F52.DAT", "work/F56.DAT", "work/F61.DAT", "work/labels/1.QLF", "work/out.QLF"}));
    QVERIFY(!QFile::exists("/tmp/quillon-escaped"));
    // The texts themselves came through as data.
    QVERIFY(readAll(tmp.filePath("work/out.QLF")).contains("\"/tmp/quillon-escaped\""));
}

void TestSecurity::overlongLines_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("content");
    const Tables t = robust::makeTables(14);
    const QByteArray qlf = FormatFileBytes(robust::makeLabel(t, 0));
    QList<QByteArray> lines = qlf.split('\n');
    QList<QByteArray> withLongText = lines;
    withLongText[4 + 10].replace(QByteArray(",\"Label 0 field 10 line 1\""), ",\"" + k10MB + "\"");
    QTest::newRow("QLF, line 1") << "qlf" << k10MB + "\r\n" + qlf;
    QTest::newRow("QLF, text of 10 MB") << "qlf" << withLongText.join('\n');
    QTest::newRow("QLF, no line end at all") << "qlf" << QByteArray(15 << 20, ',');
    QTest::newRow("F52, letters") << "f52" << k10MB + "\r\n";
    QTest::newRow("F52, one long record") << "f52" << "000000017FFF" + QByteArray(10 << 20, '0') + "\r\n";
    QTest::newRow("F52, zeros") << "f52" << QByteArray(10 << 20, '0');
    QTest::newRow("F56, one record of empty lines") << "f56" << "0000000100000000" + QByteArray(10 << 20, '0');
    QTest::newRow("F56, letters") << "f56" << k10MB;
    QTest::newRow("catalogue, one heading") << "catalogue" << k10MB;
    QTest::newRow("catalogue, commas") << "catalogue" << "Group\n" + QByteArray(10 << 20, ',');
    QTest::newRow("FieldFont.dsc, commas") << "fieldfont" << QByteArray(10 << 20, ',');
    QTest::newRow("FieldFont.dsc, one name") << "fieldfont" << k10MB + ", 01, 12, 16\r\n";
    QTest::newRow("INI, value") << "ini" << "[Setting]\r\nLanguage=" + k10MB + "\r\n";
    QTest::newRow("INI, section name") << "ini" << "[" + k10MB + "\r\nLanguage=Chinese\r\n";
    QTest::newRow("INI, no line end") << "ini" << k10MB;
    QTest::newRow("driver result, one address") << "result" << k10MB + ":0";
    QTest::newRow("driver result, separators") << "result" << QByteArray(10 << 20, ';');
    QTest::newRow("driver result, entries") << "result" << QByteArray("1.2.3.4:0;").repeated(1 << 20);
}

void TestSecurity::overlongLines()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, content);
    QTemporaryDir tmp;
    const QString path = tmp.filePath("input");
    writeAll(path, content);
    const Tables t = robust::makeTables(14);
    const long before = peakKiB();
    QElapsedTimer clock;
    clock.start();
    if (reader == "qlf") {
        Label l(t);
        const QlfReadResult r = OpenFromFile(path, l);
        if (r.ok())
            QVERIFY(LabelIsStorable(l));
        else
            QVERIFY(!r.message.isEmpty());
    } else if (reader == "f52") {
        QByteArray line;
        QVERIFY(ReadFirstLine(path, &line).ok);
        QString trailing;
        const QStringList records = SplitFormatRecords(QString::fromLatin1(line), &trailing);
        for (const QString& rec : records) {
            Label l(t);
            ImportFormatData(l, rec);
        }
    } else if (reader == "f56") {
        Label l(t);
        QList<int> c;
        QVERIFY(ImportTextData(l, path, FT_TEXT, &c).ok);
        for (const FieldRecord& r : l.m_arrFields)
            QVERIFY(r.iTextLine >= 0 && r.iTextLine <= kMaxTextLines);
    } else if (reader == "catalogue") {
        const QVector<FieldDef> defs = ParseFieldCatalogue(content);
        QVERIFY(defs.size() <= 1);
    } else if (reader == "fieldfont") {
        const QVector<FieldFont> fonts = ParseFieldFonts(content);
        QVERIFY(fonts.size() <= 1);
    } else if (reader == "result") {
        // The scales asked about are reported on; nothing unlisted passes as a success.
        const QString report = ReadDriverResult(path, {QStringLiteral("1.2.3.4"), QStringLiteral("5.6.7.8")},
                                                [](int code) { return QString::number(code); });
        QVERIFY(report.contains(QStringLiteral("5.6.7.8")));
        QVERIFY(report.size() < 200);
    } else if (reader == "ini") {
        QVERIFY(ReadIniString("Setting", "Language", path).size() <= 254);
        (void)ReadIniNumber("Setting", "SetLanguageCodepage", path);
    }
    const long grown = peakKiB() - before;
    qInfo("%s: %lld ms, peak memory grew by %ld MiB", QTest::currentDataTag(), clock.elapsed(), grown / 1024);
    // A few copies of the line are fine; a blow-up per character is not.
    QVERIFY2(grown < 400 * 1024, qPrintable(QStringLiteral("%1 MiB").arg(grown / 1024)));
}

void TestSecurity::controlCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("NUL") << QString::fromUtf8("a\0b", 3);
    QTest::newRow("escape sequence") << QStringLiteral("\x1b[2J\x1b]0;title\x07");
    QTest::newRow("tab, backspace, form feed") << QStringLiteral("a\tb\bc\fd\ve");
    QTest::newRow("DEL and C1") << QString::fromUtf8("x\x7f\xc2\x85\xc2\x9b");
    QTest::newRow("separators of the formats") << QStringLiteral(",;:#TRUE#0C0D");
    QTest::newRow("direction override") << QString::fromUtf8("abc\u202Edef");
}

void TestSecurity::controlCharacters()
{
    QFETCH(QString, text);
    const Tables t = robust::makeTables(14);
    Label l = robust::makeLabel(t, 0);
    int field = -1;
    for (int i = 0; i < l.fieldCount() && field < 0; ++i)
        if (l.fieldType(i) == FT_TEXT)
            field = i;
    QVERIFY(field >= 0);
    FieldRecord& r = l.m_arrFields[field];
    r.iTextLine = 2;
    r.strText[1] = text;
    r.strText[2] = QStringLiteral("after");
    r.strLogoSize = text;
    QTemporaryDir tmp;

    // Format file: the text comes back as it was, and the lines after it too.
    const bool storable = UnencodableCharacters(t, text).isEmpty();
    QVERIFY(SaveToFile(l, tmp.filePath("a.QLF")).ok);
    Label back(t);
    QVERIFY(OpenFromFile(tmp.filePath("a.QLF"), back).ok());
    if (storable)
        QVERIFY(back == l);
    QCOMPARE(back.m_arrFields[field].strText[2], QStringLiteral("after"));

    // Text data: the same text and nothing else changes.
    QVERIFY(ExportTextData(l, tmp.filePath("F56.DAT"), FT_TEXT).ok);
    const QByteArray data = readAll(tmp.filePath("F56.DAT"));
    QVERIFY(data.endsWith("\r\n") && data.count('\r') == 1 && data.count('\n') == 1);
    Label imported(t);
    QVERIFY(ImportTextData(imported, tmp.filePath("F56.DAT"), FT_TEXT).ok);
    if (storable)
        QCOMPARE(imported.m_arrFields[field].strText[1], text);
    QCOMPARE(imported.m_arrFields[field].strText[2], QStringLiteral("after"));
    QCOMPARE(imported.m_arrFields[field].iTextLine, qint16(2));
}

void TestSecurity::refusedSaveKeepsFile()
{
    // A text the format file cannot hold is refused with a message, and the file
    // saved before stays as it was.
    const Tables t = robust::makeTables(14);
    Label l = robust::makeLabel(t, 0);
    QTemporaryDir tmp;
    const QString path = tmp.filePath("a.QLF");
    QVERIFY(SaveToFile(l, path).ok);
    const QByteArray before = readAll(path);
    for (const QString& bad : {QStringLiteral("say \"cheese\""), QStringLiteral("two\r\nlines"), QStringLiteral("cr\r")}) {
        Label changedLabel = l;
        changedLabel.m_arrFields[10].strText[1] = bad;
        const Result r = SaveToFile(changedLabel, path);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(readAll(path), before);
    }
}

void TestSecurity::wideValueRefusedOnExport()
{
    // N1 figures come from a scale in hexadecimal (up to 255) but go out in two
    // decimal figures: 128 would shift every later entry of the record.
    const Tables t = robust::makeTables(14);
    Label l(t);
    QVERIFY(HexToField(t, "0008001000700180", l.m_arrFields[9], FT_N1, 125));
    QCOMPARE(l.m_arrFields[9].iNumOfFigures, qint16(128));
    QTemporaryDir tmp;
    const QString path = tmp.filePath("F52.DAT");
    writeAll(path, "E2\r\n");
    const Result r = ExportFormatData(l, path);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(t.g_arrFieldDef[9].Name), qPrintable(r.error));
    QCOMPARE(readAll(path), QByteArray("E2\r\n"));
    l.m_arrFields[9].iNumOfFigures = 99;
    QVERIFY(ExportFormatData(l, path).ok);
    QCOMPARE(readAll(path), FormatRecord(l).toLatin1() + "\r\n");
}

QTEST_GUILESS_MAIN(TestSecurity)
#include "test_security.moc"
