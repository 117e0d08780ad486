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

// Today's log: UTF-16 after its byte-order mark.
QString todaysLog()
{
    const QByteArray b = readAll(LogFilePath(QDateTime::currentDateTime()));
    return b.startsWith("\xFF\xFE") ? QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData() + 2),
                                                         (b.size() - 2) / 2) : QString();
}

} // namespace

class TestPlatformFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    RecordingReporter m_reporter;

private slots:
    void initTestCase() { SetErrorReporter(&m_reporter); }
    void cleanupTestCase() { SetErrorReporter(nullptr); }
    void init()
    {
        m_reporter.clear();
        SetLogFolder(QString());
    }

    void iniNumber()
    {
        const struct { const char* text; int expected; bool valid; } rows[] = {
            {"1abc", 1, true}, {"abc", 0, true}, {"", 0, true}, {" 2.5", 2, true}, {"3.5", 4, true},
            {"-2.5", -2, true}, {".6", 1, true}, {"1.5e1", 15, true}, {"2e", 2, true}, {"&H1A", 26, true},
            {"&HFFFF", -1, true}, {"32767", 32767, true}, {"32767.5", 0, false}, {"99999999999", 0, false},
            {"1e999", 0, false}};
        for (const auto& r : rows) {
            bool valid = !r.valid;
            const int got = IniNumber(QString::fromLatin1(r.text), &valid);
            QVERIFY2(got == r.expected && valid == r.valid, r.text);
        }
    }

    void readIni()
    {
        const QString file = m_dir.filePath(QStringLiteral("read.ini"));
        const QByteArray base = "; settings\r\n[Setting]\r\n; interface language\r\nLanguage=Chinese\r\n"
                                "SetLanguageCodepage = 1 \r\nList=a,b,c\r\nQuoted=\"  spaced  \"\r\nEq=a=b\r\n"
                                "[Other]\r\nLanguage=Other\r\n";
        const struct { QByteArray content; const char *section, *key; QString expected; } rows[] = {
            {base, "Setting", "Language", "Chinese"}, {base, "setting", "LANGUAGE", "Chinese"},
            {base, "Setting", "SetLanguageCodepage", "1"}, {base, "Setting", "List", "a,b,c"},
            {base, "Setting", "Quoted", "  spaced  "}, {base, "Setting", "Eq", "a=b"},
            {base, "Other", "Language", "Other"}, {base, "Setting", "Nothing", ""}, {base, "Nowhere", "Language", ""},
            {"[S]\n;K=1\n", "S", "K", ""}, {"\xEF\xBB\xBF[S]\r\nK=v", "S", "K", "v"},
            {"[S]\nK=\xE4\xB8\xAD\n", "S", "K", QString::fromUtf8("\xE4\xB8\xAD")},
            {"[S]\nK=Cr\xE8me\n", "S", "K", QString::fromLatin1("Cr\xE8me")}, {"", "S", "K", ""},
            {"[S]\nK=" + QByteArray(300, 'x') + "\n", "S", "K", QString(254, QLatin1Char('x'))}};
        for (const auto& r : rows) {
            writeAll(file, r.content);
            const QString value = ReadIniString(QString::fromLatin1(r.section), QString::fromLatin1(r.key), file);
            QCOMPARE(value, r.expected);
            QVERIFY(!value.isNull());
        }
        const QString none = m_dir.filePath(QStringLiteral("none.ini"));
        QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), none), QString());
        QCOMPARE(ReadIniNumber(QStringLiteral("Setting"), QStringLiteral("X"), none), qint16(0));
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void writeIni()
    {
        const QString file = m_dir.filePath(QStringLiteral("write.ini"));
        const struct { QByteArray before; const char *section, *key, *value; QByteArray after; } rows[] = {
            // Replacing keeps comments and spelling.
            {"; top\r\n[Setting]\r\n; the language\r\nlanguage=English\r\nOther=1\r\n", "SETTING", "Language", "Chinese",
             "; top\r\n[Setting]\r\n; the language\r\nlanguage=Chinese\r\nOther=1\r\n"},
            // A new key goes after the section's last key.
            {"[Setting]\r\nA=1\r\n\r\n; next section\r\n[Driver]\r\nB=2\r\n", "Setting", "Language", "Other",
             "[Setting]\r\nA=1\r\nLanguage=Other\r\n\r\n; next section\r\n[Driver]\r\nB=2\r\n"},
            {"[A]\nx=1", "Setting", "Language", "English", "[A]\nx=1\n\n[Setting]\nLanguage=English\n"},
            {"", "Setting", "Language", "English", "[Setting]\r\nLanguage=English\r\n"},
            {"[S]\r\nK=1\r\n", "S", "K", "a,b=c", "[S]\r\nK=a,b=c\r\n"},
            {"[S]\nK=Cr\xE8me\nL=1\n", "S", "L", "2", "[S]\nK=Cr\xE8me\nL=2\n"}, // Latin-1 kept byte for byte
            {"\xEF\xBB\xBF[S]\r\nK=1\r\n", "S", "K", "2", "\xEF\xBB\xBF[S]\r\nK=2\r\n"},
            {"[S]\r\n[T]\r\n", "S", "K", "v", "[S]\r\nK=v\r\n[T]\r\n"}};
        for (const auto& r : rows) {
            writeAll(file, r.before);
            const QString section = QString::fromLatin1(r.section), key = QString::fromLatin1(r.key);
            QVERIFY(WriteIniString(section, key, QString::fromLatin1(r.value), file));
            QCOMPARE(readAll(file), r.after);
            QCOMPARE(ReadIniString(section, key, file), QString::fromLatin1(r.value));
        }
        QVERIFY(m_reporter.entries.isEmpty());
        // A missing file is made; line breaks and "=" in a key are refused and change nothing.
        QFile::remove(file);
        QVERIFY(WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), QStringLiteral("Other"), file));
        QCOMPARE(ReadIniString(QStringLiteral("Setting"), QStringLiteral("Language"), file), QStringLiteral("Other"));
        const QByteArray before = readAll(file);
        QVERIFY(!WriteIniString(QStringLiteral("Setting"), QStringLiteral("Language"), "English\r\n[Evil]", file));
        QVERIFY(!WriteIniString(QStringLiteral("Setting"), QStringLiteral("A=B"), QStringLiteral("x"), file));
        QCOMPARE(readAll(file), before);
        QCOMPARE(m_reporter.entries.size(), 2);
        QVERIFY(!WriteIniString("S", "K", "v", m_dir.filePath(QStringLiteral("no/such/folder.ini"))));
        QVERIFY(m_reporter.hasSource(QStringLiteral("WriteIniString")));
    }

    void logAndReports()
    {
        WriteLog(QStringLiteral("no folder set")); // nothing to write to
        QTemporaryDir dir;
        SetLogFolder(dir.path());
        WriteLog(QStringLiteral("first"));
        WriteLog(QString::fromUtf8("second \xE4\xB8\xAD line\r\nbreak"));
        ReportError(QStringLiteral("MakeDir /x"), QStringLiteral("denied"));
        const QString path = LogFilePath(QDateTime::currentDateTime());
        QCOMPARE(QFileInfo(path).fileName(),
                 QStringLiteral("QLN2005_%1.log").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
        QCOMPARE(readAll(path).size() % 2, 0);
        const QString stamp = QStringLiteral("\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]  ");
        const QRegularExpression re(
            QStringLiteral("^%1first\r\n%1second \u4E2D line break\r\n%1MakeDir /x:    denied\r\n$").arg(stamp));
        QVERIFY2(re.match(todaysLog()).hasMatch(), qPrintable(todaysLog()));
        QCOMPARE(m_reporter.entries.size(), 1);
        QVERIFY(m_reporter.entries[0].source == "MakeDir /x" && m_reporter.entries[0].description == "denied");
        // A scoped reporter takes the reports while it lives.
        RecordingReporter inner;
        {
            ScopedErrorReporter scope(&inner);
            ReportError(QStringLiteral("a"), QStringLiteral("b"));
        }
        ReportError(QStringLiteral("c"), QStringLiteral("d"));
        QVERIFY(inner.entries.size() == 1 && m_reporter.entries.size() == 2);
        // The log never fails: a missing folder is not made, a file in its place is left alone.
        SetLogFolder(dir.filePath(QStringLiteral("missing")));
        WriteLog(QStringLiteral("folder missing"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
        writeAll(dir.filePath(QStringLiteral("log")), "a file");
        SetLogFolder(dir.filePath(QStringLiteral("log")));
        WriteLog(QStringLiteral("folder is a file"));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("log"))), QByteArray("a file"));
    }

    void makeDir()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + QLatin1Char('/');
        // "\" and "/" as given, and the folder that must exist afterwards.
        const char* const rows[][2] = {{"one", "one"}, {"a/b", "a/b"}, {"c/d/", "c/d"}, {"e\\f\\", "e/f"},
                                       {"g\\h/i", "g/h/i"}, {"j//k", "j/k"}};
        for (const auto& r : rows) {
            QVERIFY(MakeDir(base + r[0]));
            QVERIFY2(QFileInfo(base + r[1]).isDir(), r[0]);
            QVERIFY(MakeDir(base + r[0])); // again: already there
        }
        // A file of that name counts as made and stays; nothing can go below it.
        const QString file = base + QStringLiteral("plain");
        writeAll(file, "data");
        QVERIFY(MakeDir(file));
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
        QTemporaryDir root, other;
        {
            SingleInstance first(root.path());
            QVERIFY(first.tryLock());
            {
                SingleInstance second(root.path() + QStringLiteral("/"));
                QVERIFY(!second.tryLock());
                SingleInstance elsewhere(other.path());
                QVERIFY(elsewhere.tryLock());
            }
            QVERIFY(first.tryLock()); // the refused copy left the lock alone
        }
        // A running copy blocks; once it is killed its lock file stays behind, as
        // after a crash, and no longer blocks.
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-lock"), root.path()});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readAll().trimmed(), QByteArray("locked"));
        SingleInstance second(root.path());
        QVERIFY(!second.tryLock());
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFileInfo::exists(second.lockFilePath()));
        QVERIFY(second.tryLock() && second.isLocked());
    }
};

// With "--hold-lock <root>" the test program is a running copy that holds the
// lock of <root> until it is killed; the application name differs from the
// executable's, as in the program.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        QCoreApplication::setApplicationName(QStringLiteral("Quillon"));
        SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        if (!instance.tryLock() || !instance.isLocked())
            return 1;
        std::fputs("locked\n", stdout);
        std::fflush(stdout);
        return app.exec();
    }
    TestPlatformFiles tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "test_platform_files.moc"
