// INI reading and writing, the number rule, the daily log, error reporting,
// folders, placements and the single-instance lock.
#include "platform/errorreport.h"
#include "platform/fileutil.h"
#include "platform/ini.h"
#include "platform/log.h"
#include "platform/placement.h"
#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

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
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestPlatformFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    RecordingReporter m_reporter;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SetErrorReporter(&m_reporter);
    }
    void cleanupTestCase()
    {
        SetErrorReporter(nullptr);
        SetLogFolder(QString());
    }
    void init()
    {
        m_reporter.clear();
        SetLogFolder(QString());
    }

    void iniNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("valid");
        QTest::newRow("trailing text") << "1abc" << 1 << true;
        QTest::newRow("no number") << "abc" << 0 << true;
        QTest::newRow("empty") << "" << 0 << true;
        QTest::newRow("blank then half below even") << " 2.5" << 2 << true;
        QTest::newRow("half to even up") << "3.5" << 4 << true;
        QTest::newRow("negative half") << "-2.5" << -2 << true;
        QTest::newRow("leading dot") << ".6" << 1 << true;
        QTest::newRow("exponent") << "1.5e1" << 15 << true;
        QTest::newRow("exponent without figures") << "2e" << 2 << true;
        QTest::newRow("hexadecimal") << "&H1A" << 26 << true;
        QTest::newRow("hexadecimal 16-bit negative") << "&HFFFF" << -1 << true;
        QTest::newRow("largest") << "32767" << 32767 << true;
        QTest::newRow("rounds past largest") << "32767.5" << 0 << false;
        QTest::newRow("huge") << "99999999999" << 0 << false;
        QTest::newRow("beyond double") << "1e999" << 0 << false;
    }
    void iniNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(bool, valid);
        bool isValid = !valid;
        QCOMPARE(int(IniNumber(text, &isValid)), expected);
        QCOMPARE(isValid, valid);
    }

    void readIni_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray base = "; settings\r\n[Setting]\r\n; interface language\r\nLanguage=Chinese\r\n"
                                "SetLanguageCodepage = 1 \r\nList=a,b,c\r\nQuoted=\"  spaced  \"\r\nEq=a=b\r\n"
                                "[Other]\r\nLanguage=Other\r\n";
        QTest::newRow("plain") << base << "Setting" << "Language" << "Chinese";
        QTest::newRow("case of names ignored") << base << "setting" << "LANGUAGE" << "Chinese";
        QTest::newRow("blanks around value") << base << "Setting" << "SetLanguageCodepage" << "1";
        QTest::newRow("comma stays text") << base << "Setting" << "List" << "a,b,c";
        QTest::newRow("quotes dropped") << base << "Setting" << "Quoted" << "  spaced  ";
        QTest::newRow("second equals sign kept") << base << "Setting" << "Eq" << "a=b";
        QTest::newRow("key of another section") << base << "Other" << "Language" << "Other";
        QTest::newRow("missing key") << base << "Setting" << "Nothing" << "";
        QTest::newRow("missing section") << base << "Nowhere" << "Language" << "";
        QTest::newRow("comment is no key") << QByteArray("[S]\n;K=1\n") << "S" << "K" << "";
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF[S]\r\nK=v") << "S" << "K" << "v";
        QTest::newRow("UTF-8 text") << QByteArray("[S]\nK=\xE4\xB8\xAD\n") << "S" << "K" << QString::fromUtf8("\xE4\xB8\xAD");
        QTest::newRow("Latin-1 text") << QByteArray("[S]\nK=Cr\xE8me\n") << "S" << "K" << QString::fromLatin1("Cr\xE8me");
        QTest::newRow("empty file") << QByteArray() << "S" << "K" << "";
        QTest::newRow("long value cut") << QByteArray("[S]\nK=" + QByteArray(300, 'x') + "\n") << "S" << "K"
                                        << QString(254, QLatin1Char('x'));
    }
    void readIni()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString file = m_dir.filePath(QStringLiteral("read.ini"));
        writeAll(file, content);
        const QString value = ReadIniString(section, key, file);
        QCOMPARE(value, expected);
        QVERIFY(!value.isNull());
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void readIniMissingFile()
    {
        QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), m_dir.filePath(QStringLiteral("none.ini"))),
                 QString());
        QCOMPARE(ReadIniNumber(QStringLiteral("Setting"), QStringLiteral("X"), m_dir.filePath(QStringLiteral("none.ini"))),
                 qint16(0));
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void writeIni_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("replace keeps comments and spelling")
            << QByteArray("; top\r\n[Setting]\r\n; the language\r\nlanguage=English\r\nOther=1\r\n")
            << "SETTING" << "Language" << "Chinese"
            << QByteArray("; top\r\n[Setting]\r\n; the language\r\nlanguage=Chinese\r\nOther=1\r\n");
        QTest::newRow("new key after the section's last key")
            << QByteArray("[Setting]\r\nA=1\r\n\r\n; next section\r\n[Driver]\r\nB=2\r\n")
            << "Setting" << "Language" << "Other"
            << QByteArray("[Setting]\r\nA=1\r\nLanguage=Other\r\n\r\n; next section\r\n[Driver]\r\nB=2\r\n");
        QTest::newRow("new section, unterminated last line")
            << QByteArray("[A]\nx=1") << "Setting" << "Language" << "English"
            << QByteArray("[A]\nx=1\n\n[Setting]\nLanguage=English\n");
        QTest::newRow("empty file") << QByteArray() << "Setting" << "Language" << "English"
                                    << QByteArray("[Setting]\r\nLanguage=English\r\n");
        QTest::newRow("comma and equals stay") << QByteArray("[S]\r\nK=1\r\n") << "S" << "K" << "a,b=c"
                                               << QByteArray("[S]\r\nK=a,b=c\r\n");
        QTest::newRow("Latin-1 line kept byte for byte")
            << QByteArray("[S]\nK=Cr\xE8me\nL=1\n") << "S" << "L" << "2" << QByteArray("[S]\nK=Cr\xE8me\nL=2\n");
        QTest::newRow("byte-order mark kept")
            << QByteArray("\xEF\xBB\xBF[S]\r\nK=1\r\n") << "S" << "K" << "2" << QByteArray("\xEF\xBB\xBF[S]\r\nK=2\r\n");
        QTest::newRow("empty section header")
            << QByteArray("[S]\r\n[T]\r\n") << "S" << "K" << "v" << QByteArray("[S]\r\nK=v\r\n[T]\r\n");
    }
    void writeIni()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString file = m_dir.filePath(QStringLiteral("write.ini"));
        writeAll(file, before);
        QVERIFY(WriteIniString(section, key, value, file));
        QCOMPARE(readAll(file), after);
        QCOMPARE(ReadIniString(section, key, file), value);
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void writeIniCreatesFileAndRefusesLineBreaks()
    {
        const QString file = m_dir.filePath(QStringLiteral("new.ini"));
        QFile::remove(file);
        QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), QStringLiteral("Other"), file));
        QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), file), QStringLiteral("Other"));

        const QByteArray before = readAll(file);
        QVERIFY(!WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), QStringLiteral("English\r\n[Evil]"), file));
        QVERIFY(!WriteIniString(QStringLiteral("Setting"), QStringLiteral("A=B"), QStringLiteral("x"), file));
        QCOMPARE(readAll(file), before);
        QCOMPARE(m_reporter.entries.size(), 2);

        m_reporter.clear();
        QVERIFY(!WriteIniString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"),
                                m_dir.filePath(QStringLiteral("no/such/folder.ini"))));
        QVERIFY(m_reporter.hasSource(QStringLiteral("WriteIniString")));
    }

    void logFormat()
    {
        QTemporaryDir dir;
        SetLogFolder(dir.path());
        WriteLog(QStringLiteral("first"));
        WriteLog(QString::fromUtf8("second \xE4\xB8\xAD line\r\nbreak"));
        const QString path = LogFilePath(QDateTime::currentDateTime());
        QCOMPARE(QFileInfo(path).fileName(),
                 QStringLiteral("QLN2005_%1.log").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.startsWith("\xFF\xFE"));
        QCOMPARE(bytes.size() % 2, 0);
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
        QVERIFY(!text.contains(QChar(0xFEFF)));
        const QRegularExpression re(QStringLiteral(
            "^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]  first\r\n\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]  "
            "second \u4E2D line break\r\n$"));
        QVERIFY2(re.match(text).hasMatch(), qPrintable(text));
    }

    void logNeverFails()
    {
        WriteLog(QStringLiteral("no folder set")); // nothing to write to
        QTemporaryDir dir;
        SetLogFolder(dir.filePath(QStringLiteral("missing")));
        WriteLog(QStringLiteral("folder missing"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
        writeAll(dir.filePath(QStringLiteral("log")), "a file");
        SetLogFolder(dir.filePath(QStringLiteral("log")));
        WriteLog(QStringLiteral("folder is a file"));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("log"))), QByteArray("a file"));
    }

    void reportErrorLogsAndReports()
    {
        QTemporaryDir dir;
        SetLogFolder(dir.path());
        ReportError(QStringLiteral("MakeDir /x"), QStringLiteral("denied"));
        QCOMPARE(m_reporter.entries.size(), 1);
        QCOMPARE(m_reporter.entries[0].source, QStringLiteral("MakeDir /x"));
        QCOMPARE(m_reporter.entries[0].description, QStringLiteral("denied"));
        const QByteArray bytes = readAll(LogFilePath(QDateTime::currentDateTime()));
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
        QVERIFY2(text.endsWith(QStringLiteral("]  MakeDir /x:    denied\r\n")), qPrintable(text));

        RecordingReporter inner;
        {
            ScopedErrorReporter scope(&inner);
            ReportError(QStringLiteral("a"), QStringLiteral("b"));
        }
        ReportError(QStringLiteral("c"), QStringLiteral("d"));
        QCOMPARE(inner.entries.size(), 1);
        QCOMPARE(m_reporter.entries.size(), 2);
    }

    void makeDir_data()
    {
        QTest::addColumn<QString>("path");      // relative to the test folder; "\" and "/" as given
        QTest::addColumn<QString>("folder");    // the folder that must exist afterwards
        QTest::newRow("one level") << "one" << "one";
        QTest::newRow("two levels") << "a/b" << "a/b";
        QTest::newRow("trailing slash") << "c/d/" << "c/d";
        QTest::newRow("backslashes") << "e\\f\\" << "e/f";
        QTest::newRow("mixed") << "g\\h/i" << "g/h/i";
        QTest::newRow("doubled separator") << "j//k" << "j/k";
    }
    void makeDir()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QTemporaryDir dir;
        const QString base = dir.path() + QLatin1Char('/');
        QVERIFY(MakeDir(base + path));
        QVERIFY(QFileInfo(base + folder).isDir());
        QVERIFY(MakeDir(base + path)); // again: already there
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void makeDirFileAndFailure()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("plain"));
        writeAll(file, "data");
        QVERIFY(MakeDir(file));
        QVERIFY(QFileInfo(file).isFile());
        QCOMPARE(readAll(file), QByteArray("data"));
        QVERIFY(m_reporter.entries.isEmpty());

        QVERIFY(!MakeDir(file + QStringLiteral("/below/deeper")));
        QCOMPARE(m_reporter.entries.size(), 1);
        QCOMPARE(m_reporter.entries[0].source, QStringLiteral("MakeDir ") + file + QStringLiteral("/below"));
    }

    void placement()
    {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("user.ini"));
        SetPlacementStoreFile(store);
        QCOMPARE(ReadPlacement(QStringLiteral("MainLeft"), 1200), 1200);
        WritePlacement(QStringLiteral("MainLeft"), -300);
        QCOMPARE(ReadPlacement(QStringLiteral("MainLeft"), 1200), -300);
        {
            QSettings s(store, QSettings::IniFormat);
            s.setValue(QStringLiteral("Settings/MainTop"), QStringLiteral("garbage"));
            s.setValue(QStringLiteral("Settings/MainWidth"), QStringLiteral("12.5"));
        }
        QCOMPARE(ReadPlacement(QStringLiteral("MainTop"), 600), 600);
        QCOMPARE(ReadPlacement(QStringLiteral("MainWidth"), 9000), 9000);
        SetPlacementStoreFile(QString());
    }

    void singleInstance()
    {
        QTemporaryDir root;
        QTemporaryDir other;
        SingleInstance first(root.path());
        QVERIFY(first.tryLock());
        {
            SingleInstance second(root.path() + QStringLiteral("/"));
            QVERIFY(!second.tryLock());
            SingleInstance elsewhere(other.path());
            QVERIFY(elsewhere.tryLock());
        }
        QVERIFY(first.tryLock());
    }

    void runningCopyBlocksCrashedOneDoesNot()
    {
        QTemporaryDir root;
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-lock"), root.path()});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readAll().trimmed(), QByteArray("locked"));

        // Longer than QLockFile's usual 30 s stale age would not matter either.
        SingleInstance second(root.path());
        QVERIFY(!second.tryLock());

        holder.kill(); // the lock file stays behind, as after a crash
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFileInfo::exists(second.lockFilePath()));
        QVERIFY(second.tryLock());
        QVERIFY(second.isLocked());
    }

};

// With "--hold-lock <root>" the test program is a running copy that holds the
// lock of <root> until it is killed; the application name differs from the
// executable's, as in the program.
int main(int argc, char* argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Quillon"));
        SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        if (!instance.tryLock() || !instance.isLocked())
            return 1;
        std::fputs("locked\n", stdout);
        std::fflush(stdout);
        return app.exec();
    }
    QCoreApplication app(argc, argv);
    TestPlatformFiles tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "test_platform_files.moc"
