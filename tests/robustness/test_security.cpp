// Hostile input: addresses and names that try to leave the program folder or pass
// for options, 10 MB lines in every file the program reads, control characters.
#include "common/simprocess.h"
#include "common/testtables.h"
#include "model/datafile.h"
#include "model/f52data.h"
#include "model/f56f61data.h"
#include "model/qlffile.h"
#include "platform/ini.h"
#include "scale/driverresult.h"

#include <QDirIterator>
#include <QTest>
#include <sys/resource.h>

using namespace quillon;
using namespace transfertest;

namespace {

using Files = QMap<QString, QByteArray>;

// Every file under a folder with its bytes, to see what a run changed.
Files snapshot(const QString& root)
{
    Files files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), readAll(path));
    }
    return files;
}

QStringList changed(const Files& before, const Files& after)
{
    Files all = before;
    all.insert(after);
    QStringList out;
    for (const QString& k : all.keys())
        if (before.value(k, "-") != after.value(k, "-"))
            out << k;
    return out;
}

long peakKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

const QByteArray k10MB(10 << 20, 'A');

} // namespace

class TestSecurity : public QObject {
    Q_OBJECT
private slots:
    void driverAddresses_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("addresses");
        const QStringList escapes = {"../escaped", "../../../../escaped", "/tmp/quillon-escaped", "..\\..\\escaped",
                                     "127.0.0.1/../../escaped", "127.0.0.1/../x", "./127.0.0.1"};
        const QStringList options = {"-h", "--help", "-rf", "--port=1", "WR", "52"};
        const QStringList odd = {"127.0.0.1;rm -rf x", "a:b", "127.0.0.1\r\n127.0.0.2", "%s%n%x", "0x7f.0.0.1",
                                 " 127.0.0.1", QString(100000, u'9'), QString::fromUtf8("١٢٧.٠.٠.١")};
        for (const char* op : {"RD", "WR"}) {
            QTest::addRow("%s folder escapes", op) << op << escapes;
            QTest::addRow("%s options", op) << op << options;
            QTest::addRow("%s odd", op) << op << odd;
        }
    }
    void driverAddresses()
    {
        QFETCH(QString, op);
        QFETCH(QStringList, addresses);
        if (!QFile::exists(driverPath()))
            QSKIP("the transfer driver is not built");
        QTemporaryDir tmp;
        const QString bin = tmp.filePath("a/b/c/root/bin");
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(writeAll(tmp.filePath("a/b/c/root/Vexo2005.INI"), "[Transfer]\r\nPort=1\r\n"));
        // Bait: files a read or write would pick up if the address were used as a path.
        QVERIFY(writeAll(tmp.filePath("a/b/c/root/SMF52.DAT"), "00"));
        QVERIFY(writeAll(bin + "/SM127.0.0.1F52.DAT", "0000000100\r\n"));
        const Files before = snapshot(tmp.path());
        const DriverRun run = runDriver(bin, QStringList{op, "52"} + addresses, 1, 300, 60000);
        QVERIFY(run.finished && run.exitCode == 0);
        // Only the result file may appear, and only in the program folder.
        QCOMPARE(changed(before, snapshot(tmp.path())), QStringList{"a/b/c/root/bin/result"});
        QVERIFY(!QFile::exists("/tmp/quillon-escaped"));
        const QList<QByteArray> entries = readAll(bin + "/result").split(';');
        QCOMPARE(entries.size(), addresses.size());
        for (const QByteArray& e : entries)
            QVERIFY2(e.endsWith(":6"), e.left(200).constData());
    }

    void convertHostileLabel()
    {
        if (!QFile::exists(programDir() + QStringLiteral("/quillon-convert")))
            QSKIP("quillon-convert is not built");
        QTemporaryDir tmp;
        const QString bin = makeRuntimeTree(tmp.filePath("root")), work = tmp.filePath("work/");
        QVERIFY(QDir().mkpath(work));
        // A label the tool wrote itself from a header-only record, then every string made hostile.
        QVERIFY(writeAll(work + "in.DAT", "00000001000C01E001400002\r\n"));
        QCOMPARE(runConvert(bin, {"import-format", work + "in.DAT", work}), 0);
        QList<QByteArray> lines = readAll(work + "1.QLF").split('\n');
        QVERIFY(lines.size() > 4);
        for (int i = 4; i < lines.size(); ++i) {
            // Logo size, three lines of text and their character sizes.
            QList<QByteArray> items = lines[i].split(',');
            if (items.size() < 52)
                continue;
            for (auto [k, v] : {std::pair{7, "\"../../../escaped\""}, {11, "3"}, {13, "\"/tmp/quillon-escaped\""},
                                {14, "\"-rf\""}, {15, "\"\x01\x1b[2J\""}, {16, "\"..\\\\..\\\\escaped\""}})
                items[k] = v;
            lines[i] = items.join(',');
        }
        const QString plain = work + "plain.QLF";
        QVERIFY(writeAll(plain, lines.join('\n')));
        const Files before = snapshot(tmp.path());
        QCOMPARE(runConvert(bin, {"export-format", plain, work + "F52.DAT"}), 0);
        QCOMPARE(runConvert(bin, {"export-text", plain, work + "F56.DAT", "--type", "10"}), 0);
        QCOMPARE(runConvert(bin, {"import-text", plain, work + "F56.DAT", "--type", "10", work + "out.QLF"}), 0);
        QCOMPARE(runConvert(bin, {"import-format", work + "F52.DAT", work + "labels"}), 0);
        // The day's log is the one file the tool may write besides its outputs.
        QStringList written = changed(before, snapshot(tmp.path()));
        written.removeIf([](const QString& f) { return f.startsWith("root/bin/log/"); });
        QCOMPARE(written, (QStringList{"work/F52.DAT", "work/F56.DAT", "work/labels/1.QLF", "work/out.QLF"}));
        QVERIFY(!QFile::exists("/tmp/quillon-escaped"));
        // The texts themselves came through as data.
        QVERIFY(readAll(work + "out.QLF").contains("\"/tmp/quillon-escaped\""));
    }

    void overlongLines_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QByteArray>("content");
        const QByteArray qlf = FormatFileBytes(test::makeLabel(test::makeTables(), 0));
        QList<QByteArray> longText = qlf.split('\n');
        QVERIFY(longText[4 + 10].contains(",\"Label 0 field 10 line 1\""));
        longText[4 + 10].replace(QByteArray(",\"Label 0 field 10 line 1\""), ",\"" + k10MB + "\"");
        const QByteArray zeros(10 << 20, '0'), commas(10 << 20, ',');
        const struct { const char* name; const char* reader; QByteArray content; } rows[] = {
            {"QLF, text of 10 MB", "qlf", longText.join('\n')},
            {"QLF, no line end at all", "qlf", QByteArray(15 << 20, ',')},
            {"F52, letters", "f52", k10MB + "\r\n"},
            {"F52, one long record", "f52", "000000017FFF" + zeros + "\r\n"},
            {"F52, zeros", "f52", zeros},
            {"F56, one record of empty lines", "f56", "0000000100000000" + zeros},
            {"F56, letters", "f56", k10MB},
            {"catalogue, one heading", "catalogue", k10MB},
            {"catalogue, commas", "catalogue", "Group\n" + commas},
            {"FieldFont.dsc, commas", "fieldfont", commas},
            {"INI, value", "ini", "[Setting]\r\nLanguage=" + k10MB + "\r\n"},
            {"INI, section name", "ini", "[" + k10MB + "\r\nLanguage=Chinese\r\n"},
            {"INI, no line end", "ini", k10MB},
            {"driver result, one address", "result", k10MB + ":0"},
            {"driver result, separators", "result", QByteArray(10 << 20, ';')},
            {"driver result, entries", "result", QByteArray("1.2.3.4:0;").repeated(1 << 20)},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString::fromLatin1(r.reader) << r.content;
    }
    void overlongLines()
    {
        QFETCH(QString, reader);
        QFETCH(QByteArray, content);
        QTemporaryDir tmp;
        const QString path = tmp.filePath("input");
        QVERIFY(writeAll(path, content));
        const Tables t = test::makeTables();
        const long before = peakKiB();
        Label l(t);
        if (reader == "qlf") {
            const QlfReadResult r = OpenFromFile(path, l);
            QVERIFY(r.ok() ? LabelIsStorable(l) : !r.message.isEmpty());
        } else if (reader == "f52") {
            QByteArray line;
            QVERIFY(ReadFirstLine(path, &line).ok);
            QString trailing;
            for (const QString& rec : SplitFormatRecords(QString::fromLatin1(line), &trailing))
                ImportFormatData(l, rec);
        } else if (reader == "f56") {
            QList<int> c;
            QVERIFY(ImportTextData(l, path, FT_TEXT, &c).ok);
            for (const FieldRecord& r : l.m_arrFields)
                QVERIFY(r.iTextLine >= 0 && r.iTextLine <= kMaxTextLines);
        } else if (reader == "catalogue") {
            QVERIFY(ParseFieldCatalogue(content).size() <= 1);
        } else if (reader == "fieldfont") {
            QVERIFY(ParseFieldFonts(content).size() <= 1);
        } else if (reader == "result") {
            // The scales asked about are reported on; nothing unlisted passes as a success.
            const QString report = ReadDriverResult(path, {QStringLiteral("1.2.3.4"), QStringLiteral("5.6.7.8")},
                                                    [](int code) { return QString::number(code); });
            QVERIFY(report.contains(QStringLiteral("5.6.7.8")) && report.size() < 200);
        } else {
            QVERIFY(ReadIniString("Setting", "Language", path).size() <= 254);
            (void)ReadIniNumber("Setting", "SetLanguageCodepage", path);
        }
        // A few copies of the line are fine; a blow-up per character is not.
        const long grown = peakKiB() - before;
        QVERIFY2(grown < 400 * 1024, qPrintable(QStringLiteral("%1 MiB").arg(grown / 1024)));
    }

    void controlCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("NUL") << QString::fromUtf8("a\0b", 3);
        QTest::newRow("escape sequence") << QStringLiteral("\x1b[2J\x1b]0;title\x07");
        QTest::newRow("tab, backspace, form feed") << QStringLiteral("a\tb\bc\fd\ve");
        QTest::newRow("DEL and C1") << QString::fromUtf8("x\x7f\xc2\x85\xc2\x9b");
        QTest::newRow("separators of the formats") << QStringLiteral(",;:#TRUE#0C0D");
        QTest::newRow("direction override") << QString::fromUtf8("abc\u202Edef");
    }
    void controlCharacters()
    {
        QFETCH(QString, text);
        const Tables t = test::makeTables();
        Label l = test::makeLabel(t, 0);
        FieldRecord& r = l.m_arrFields[10]; // TEXT
        r.iTextLine = 2;
        r.strText[1] = r.strLogoSize = text;
        r.strText[2] = QStringLiteral("after");
        QTemporaryDir tmp;
        // Format file and text data: the text comes back as it was, and the line after it too.
        const bool storable = UnencodableCharacters(t, text).isEmpty();
        Label back(t), imported(t);
        QVERIFY(SaveToFile(l, tmp.filePath("a.QLF")).ok && OpenFromFile(tmp.filePath("a.QLF"), back).ok());
        QVERIFY(!storable || back == l);
        QVERIFY(ExportTextData(l, tmp.filePath("F56.DAT"), FT_TEXT).ok);
        const QByteArray data = readAll(tmp.filePath("F56.DAT"));
        QVERIFY(data.endsWith("\r\n") && data.count('\r') == 1 && data.count('\n') == 1);
        QVERIFY(ImportTextData(imported, tmp.filePath("F56.DAT"), FT_TEXT).ok);
        QVERIFY(!storable || imported.m_arrFields[10].strText[1] == text);
        for (const Label* b : {&back, &imported})
            QVERIFY(b->m_arrFields[10].iTextLine == 2 && b->m_arrFields[10].strText[2] == QStringLiteral("after"));
    }

    // N1 figures come from a scale in hexadecimal (up to 255) but go out in two decimal
    // figures: 128 would shift every later entry of the record. Refused, and the file kept.
    void n1FiguresKeepTheFile()
    {
        const Tables t = test::makeTables();
        QTemporaryDir tmp;
        const QString f52 = tmp.filePath("F52.DAT");
        Label n(t);
        QVERIFY(HexToField(t, "0008001000700180", n.m_arrFields[FT_N1], FT_N1, 125));
        QCOMPARE(n.m_arrFields[FT_N1].iNumOfFigures, qint16(128));
        QVERIFY(writeAll(f52, "E2\r\n"));
        const Result r = ExportFormatData(n, f52);
        QVERIFY2(!r.ok && r.error.contains(t.g_arrFieldDef[FT_N1].Name), qPrintable(r.error));
        QCOMPARE(readAll(f52), QByteArray("E2\r\n"));
        n.m_arrFields[FT_N1].iNumOfFigures = 99;
        QVERIFY(ExportFormatData(n, f52).ok);
        QCOMPARE(readAll(f52), FormatRecord(n).toLatin1() + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSecurity)
#include "test_security.moc"
