// The platform layer: INI files and the number rule, the daily log, error reports, folders, the
// instance lock; the two databases made from seeds, refused when damaged or locked, texts, bound values.
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/fileutil.h"
#include "platform/ini.h"
#include "platform/log.h"
#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <thread>

using namespace quillon;

namespace {

const char* kMainSeed = R"(-- stand-in main database
CREATE TABLE SCALE_MODEL (ID INTEGER, SCALE_NAME TEXT, MAX_WIDTH INTEGER, MIN_WIDTH INTEGER,
  MAX_HEIGHT INTEGER, MIN_HEIGHT INTEGER, MM_PER_KDOT INTEGER);
INSERT INTO SCALE_MODEL VALUES (1, 'Zeta', 60, 30, 100, 20, 125);
INSERT INTO SCALE_MODEL VALUES (2, 'Alpha; with semicolon', 80, 40, 150, 25, 83);
CREATE TABLE SCALE (SC_NO INTEGER, DP_NO INTEGER, SC_IP TEXT, SC_USED BOOLEAN, SC_MODEL_ID INTEGER);
)";

const char* kLanguageSeed = R"(CREATE TABLE tbl_LANGUAGE (E_NAME TEXT, Caption TEXT, English TEXT, Chinese TEXT, Other TEXT);
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.catPos_PrintStatusCombo', '0 - No|1 - Yes', '0 - 否|1 - 是', '0 - Нет|1 - Да');
INSERT INTO tbl_LANGUAGE VALUES ('quillon.exe', 'frmMain.Caption', 'Designer', NULL, 'Редактор');
INSERT INTO tbl_LANGUAGE VALUES ('OTHER.EXE', 'Global.OnlyElsewhere', 'x', 'x', 'x');
)";

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

// Runs statements on a database file through a connection of its own; `held`
// runs while the connection is still open.
bool runOn(const QString& path, const QStringList& statements, const std::function<void()>& held = {})
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-helper"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString& s : statements)
            ok = ok && q.exec(s);
        if (held)
            held();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-helper"));
    return ok;
}

} // namespace

class TestPlatformFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir, m_seeds;
    RecordingReporter m_reporter;

    // Opens the databases below `dir` (a root whose Database folder need not exist) from the test seeds.
    bool open(Database& db, const QTemporaryDir& dir, const QString& language = QStringLiteral("English"))
    {
        db.setSeedFolder(m_seeds.path());
        db.setLanguage(language);
        return db.OpenDatabases(dir.path() + QLatin1Char('/'));
    }

private slots:
    void initTestCase()
    {
        SetErrorReporter(&m_reporter);
        writeAll(m_seeds.filePath(QStringLiteral("vexo2005.sql")), kMainSeed);
        writeAll(m_seeds.filePath(QStringLiteral("language.sql")), kLanguageSeed);
        writeAll(m_seeds.filePath(QStringLiteral("language-2.sql")),
                 "INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.Second', 'From the second seed', 'b', 'c');\n");
    }
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
        QCOMPARE(QFileInfo(path).fileName(), "QLN2005_" + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
        QCOMPARE(readAll(path).size() % 2, 0);
        const QString stamp = QStringLiteral("\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]  ");
        const QRegularExpression re(
            QStringLiteral("^%1first\r\n%1second \u4E2D line break\r\n%1MakeDir /x:    denied\r\n$").arg(stamp));
        QVERIFY2(re.match(todaysLog()).hasMatch(), qPrintable(todaysLog()));
        QCOMPARE(m_reporter.entries.size(), 1);
        QVERIFY(m_reporter.entries[0].source == "MakeDir /x" && m_reporter.entries[0].description == "denied");
        // The log never fails: a file where its folder should be is left alone.
        writeAll(dir.filePath("log"), "a file");
        SetLogFolder(dir.filePath("log"));
        WriteLog(QStringLiteral("folder is a file"));
        QCOMPARE(readAll(dir.filePath("log")), QByteArray("a file"));
    }

    void makeDir()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + QLatin1Char('/');
        // "\" and "/" as given, and the folder that must exist afterwards.
        const char* const rows[][2] = {{"a/b", "a/b"}, {"c/d/", "c/d"}, {"e\\f\\g", "e/f/g"}, {"j//k", "j/k"}};
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

    // A later start's paths reach the running copy, past a socket file a crashed run left;
    // while the running copy does not answer, the later start gives up in time.
    void handOverToRunningCopy()
    {
        QTemporaryDir root;
        SingleInstance first(root.path()), second(root.path());
        QVERIFY(first.tryLock() && !second.tryLock());
        const QDeadlineTimer limit(3000);
        QVERIFY(!second.handOver({QStringLiteral("/a.QLF")}, 300) && !limit.hasExpired());
        writeAll(first.serverPath(), "left by a crash");
        QList<QStringList> received;
        QVERIFY(first.listen([&received](const QStringList& paths) { received << paths; }));
        const QStringList paths{QStringLiteral("/labels/a b.QLF"), QStringLiteral("/labels/\u00fc52.DAT")};
        bool sent = false;
        std::thread start([&] { sent = second.handOver(paths); });
        QTRY_COMPARE(received.size(), 1);
        start.join();
        QVERIFY(sent);
        QCOMPARE(received[0], paths);
    }

    void seedsCreateBothFilesOnce()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Database/"));
        {
            Database db;
            QVERIFY(open(db, dir) && !QFileInfo::exists(folder + "VEXO2005.sqlite.new"));
            auto q = db.QueryVexoDB(QStringLiteral("select SCALE_NAME from SCALE_MODEL order by SCALE_NAME"));
            QVERIFY(q && q->next());
            QCOMPARE(q->value(0).toString(), QStringLiteral("Alpha; with semicolon"));
            QCOMPARE(db.GetLangString(QStringLiteral("Global"), QStringLiteral("Second")), "From the second seed");
            QVERIFY(db.QueryVexoDB(QStringLiteral("insert into SCALE_MODEL values (3, 'Added', 1, 1, 1, 1, 1)")));
            // A second start keeps what the first one left, whatever the seeds say
            // (the first stays open: two instances side by side).
            Database again;
            QVERIFY(open(again, dir));
            auto n = again.QueryVexoDB(QStringLiteral("select count(*) from SCALE_MODEL"));
            QVERIFY(n && n->next() && n->value(0).toInt() == 3);
        }
        // A newer program's texts reach an existing file; what the file holds stays.
        QVERIFY(runOn(folder + QStringLiteral("language.sqlite"),
                      {QStringLiteral("delete from tbl_LANGUAGE where Caption = 'Global.Second'"),
                       QStringLiteral("update tbl_LANGUAGE set English = 'Edited' where Caption = 'frmMain.Caption'")}));
        Database db;
        QVERIFY(open(db, dir));
        QCOMPARE(db.GetLangString(QStringLiteral("Global"), QStringLiteral("Second")), "From the second seed");
        QCOMPARE(db.GetLangString(QStringLiteral("frmMain"), QStringLiteral("Caption")), QStringLiteral("Edited"));
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void getLangString()
    {
        QTemporaryDir dir;
        const struct { const char *language, *section, *key, *expected; bool reported; } rows[] = {
            {"English", "Global", "catPos_PrintStatusCombo", "0 - No|1 - Yes", false},
            {"Chinese", "Global", "catPos_PrintStatusCombo", "0 - 否|1 - 是", false},
            {"Other", "frmMain", "Caption", "Редактор", false},
            {"English", "FRMMAIN", "caption", "Designer", false}, // case of key and program ignored
            {"Chinese", "frmMain", "Caption", "", true}, // Null text
            {"English", "Global", "msgNothing", "", true}, {"English", "Global", "OnlyElsewhere", "", true},
            {"Klingon", "frmMain", "Caption", "Designer", false}, // unknown language reads English
            {"English", "Global", "x' or '1'='1", "", true}};
        Database db;
        QVERIFY(open(db, dir));
        for (const auto& r : rows) {
            m_reporter.clear();
            db.setLanguage(QString::fromUtf8(r.language));
            const QString section = QString::fromUtf8(r.section), key = QString::fromUtf8(r.key);
            const QString text = db.GetLangString(section, key);
            QVERIFY2(text == QString::fromUtf8(r.expected) && !text.isNull(), r.key);
            QVERIFY2(m_reporter.entries.size() == (r.reported ? 1 : 0), r.key);
            QVERIFY(!r.reported || m_reporter.hasSource("GetLangString (" + section + ", " + key + ")"));
        }
    }

    // Each damaged root is refused with a report and leaves the files as they were.
    void refusedFiles()
    {
        const QString db = QStringLiteral("/Database"), mainFile = db + QStringLiteral("/VEXO2005.sqlite");
        const QString langFile = db + QStringLiteral("/language.sqlite");
        // How: w writes the bytes, q runs them as SQL, d makes a folder, s uses them as the only seeds.
        const struct { const char* what; char how; QString file; QByteArray bytes; } rows[] = {
            {"main file is not a database", 'w', mainFile, "Standard Jet DB, or any other bytes, no SQLite file"},
            {"main file is empty", 'w', mainFile, ""},
            {"text table missing", 'q', langFile, "create table other (a)"},
            {"text column missing", 'q', langFile, "create table tbl_LANGUAGE (E_NAME, Caption, English, Other)"},
            {"Database is a file", 'w', db, "file"}, {"main path is a folder", 'd', mainFile, {}},
            {"broken seed", 's', {}, "CREATE TABLE A (x);\nCREATE TABLE oops oops;\n"}, {"no seed", 's', {}, {}}};
        for (const auto& r : rows) {
            m_reporter.clear();
            QTemporaryDir dir, seeds;
            const QString root = dir.path() + QLatin1Char('/');
            if (r.file != db)
                QDir().mkpath(root + db);
            if (r.how == 'w')
                writeAll(root + r.file, r.bytes);
            else if (r.how == 'q')
                QVERIFY(runOn(root + r.file, {QString::fromLatin1(r.bytes)}));
            else if (r.how == 'd')
                QDir().mkpath(root + r.file);
            else if (!r.bytes.isEmpty()) {
                writeAll(seeds.filePath(QStringLiteral("language.sql")), kLanguageSeed);
                writeAll(seeds.filePath(QStringLiteral("vexo2005.sql")), r.bytes);
            }
            const QByteArray mainBefore = readAll(root + mainFile), langBefore = readAll(root + langFile);
            Database d;
            d.setSeedFolder(r.how == 's' ? seeds.path() : m_seeds.path());
            QVERIFY2(!d.OpenDatabases(root) && !d.isOpen() && !m_reporter.entries.isEmpty(), r.what);
            const QString source = m_reporter.entries[0].source;
            QVERIFY2(source.startsWith("OpenDatabases") || source.startsWith("MakeDir"), qPrintable(source));
            // Files that were there stay as they were (a missing one may have been made).
            QVERIFY2(mainBefore.isEmpty() || readAll(root + mainFile) == mainBefore, r.what);
            QVERIFY2(langBefore.isEmpty() || readAll(root + langFile) == langBefore, r.what);
            // A failed creation leaves nothing the next start would take for a database.
            if (r.how == 's')
                QVERIFY(!QFileInfo::exists(root + mainFile) && !QFileInfo::exists(root + mainFile + ".new"));
            // Nothing is run on a refused database.
            QVERIFY(!d.QueryVexoDB(QStringLiteral("select 1")));
            QCOMPARE(d.GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName")), QString());
        }
        // A main database another program holds locked.
        m_reporter.clear();
        QTemporaryDir dir;
        {
            Database first;
            QVERIFY(open(first, dir));
        }
        const QString path = dir.path() + mainFile;
        QVERIFY(runOn(path, {QStringLiteral("BEGIN EXCLUSIVE")}, [&] {
            Database locked;
            QVERIFY(!locked.OpenDatabases(dir.path() + QLatin1Char('/')));
            QVERIFY(m_reporter.hasSource(QStringLiteral("OpenDatabases ") + path));
        }));
    }

    // Bound values are data, never SQL; a failing query is refused, reported and logged.
    void queries()
    {
        QTemporaryDir dir;
        SetLogFolder(dir.path());
        Database db;
        QVERIFY(open(db, dir));
        const QString insert = QStringLiteral("insert into SCALE (SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID) "
                                              "values (?, ?, ?, ?, ?)");
        QVERIFY(db.QueryVexoDB(insert, {1, 2, QStringLiteral("192.168.0.10"), true, 1}));
        const QString addresses[] = {"1.2.3.4' or '1'='1", "x'); DROP TABLE SCALE; --", "10.0.0.1 -- rest",
                                     "\"SC_IP\"", QString::fromUtf8("秤 №1")};
        for (int i = 0; i < 5; ++i)
            QVERIFY(db.QueryVexoDB(insert, {i + 2, 2, addresses[i], false, 1}));
        for (int i = 0; i < 5; ++i) {
            auto q = db.QueryVexoDB(QStringLiteral("select SC_NO from SCALE where SC_IP = ?"), {addresses[i]});
            QVERIFY(q && q->next());
            QCOMPARE(q->value(0).toInt(), i + 2);
            QVERIFY(!q->next());
        }
        auto used = db.QueryVexoDB(QStringLiteral("select count(*) from SCALE where SC_Used=true"));
        QVERIFY(used && used->next() && used->value(0).toInt() == 1);
        QVERIFY(m_reporter.entries.isEmpty());
        const QString bad = QStringLiteral("select * from NO_SUCH_TABLE");
        QVERIFY(!db.QueryVexoDB(bad));
        QCOMPARE(m_reporter.entries.size(), 1);
        QCOMPARE(m_reporter.entries[0].source, QStringLiteral("QueryVexoDB ") + bad);
        QVERIFY(todaysLog().contains(QStringLiteral("]  QueryVexoDB select * from NO_SUCH_TABLE\r\n")));
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
