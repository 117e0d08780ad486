// The two SQLite databases: creation from seeds, refusal of damaged or locked
// files, localised texts, queries with bound values.
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/log.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

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

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

int count(Database& db, const QString& sql, const QVariantList& values = {})
{
    auto q = db.QueryVexoDB(sql, values);
    return q && q->next() ? q->value(0).toInt() : -1;
}

} // namespace

class TestPlatformDatabase : public QObject {
    Q_OBJECT

private:
    RecordingReporter m_reporter;
    QTemporaryDir m_seeds;

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
        writeFile(m_seeds.filePath(QStringLiteral("vexo2005.sql")), kMainSeed);
        writeFile(m_seeds.filePath(QStringLiteral("language.sql")), kLanguageSeed);
        writeFile(m_seeds.filePath(QStringLiteral("language-2.sql")),
                  "INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.Second', 'From the second seed', 'b', 'c');\n");
    }
    void cleanupTestCase() { SetErrorReporter(nullptr); }
    void init() { m_reporter.clear(); }

    void seedsCreateBothFilesOnce()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Database/"));
        {
            Database db;
            QVERIFY(open(db, dir));
            QVERIFY(QFileInfo(folder + QStringLiteral("VEXO2005.sqlite")).isFile());
            QVERIFY(QFileInfo(folder + QStringLiteral("language.sqlite")).isFile());
            QVERIFY(!QFileInfo::exists(folder + QStringLiteral("VEXO2005.sqlite.new")));
            auto q = db.QueryVexoDB(QStringLiteral("select SCALE_NAME from SCALE_MODEL order by SCALE_NAME"));
            QVERIFY(q && q->next());
            QCOMPARE(q->value(0).toString(), QStringLiteral("Alpha; with semicolon"));
            QCOMPARE(db.GetLangString(QStringLiteral("Global"), QStringLiteral("Second")), "From the second seed");
            QVERIFY(db.QueryVexoDB(QStringLiteral("insert into SCALE_MODEL values (3, 'Added', 1, 1, 1, 1, 1)")));
            // A second start keeps what the first one left, whatever the seeds say
            // (the first stays open: two instances side by side).
            Database again;
            QVERIFY(open(again, dir));
            QCOMPARE(count(again, QStringLiteral("select count(*) from SCALE_MODEL")), 3);
        }
        // A newer program's texts reach an existing file; what the file holds stays.
        QVERIFY(runOn(folder + QStringLiteral("language.sqlite"),
                      {QStringLiteral("delete from tbl_LANGUAGE where Caption = 'Global.Second'"),
                       QStringLiteral("update tbl_LANGUAGE set English = 'Edited' where Caption = 'frmMain.Caption'")}));
        Database db;
        QVERIFY(open(db, dir));
        QCOMPARE(db.GetLangString(QStringLiteral("Global"), QStringLiteral("Second")), "From the second seed");
        QCOMPARE(db.GetLangString(QStringLiteral("frmMain"), QStringLiteral("Caption")), QStringLiteral("Edited"));
        QVERIFY(db.QueryVexoDB(QStringLiteral("select 1")));
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
        for (const auto& r : rows) {
            m_reporter.clear();
            Database db;
            QVERIFY(open(db, dir, QString::fromUtf8(r.language)));
            const QString section = QString::fromUtf8(r.section), key = QString::fromUtf8(r.key);
            const QString text = db.GetLangString(section, key);
            QVERIFY2(text == QString::fromUtf8(r.expected) && !text.isNull(), r.key);
            QCOMPARE(m_reporter.entries.size(), r.reported ? 1 : 0);
            if (r.reported)
                QCOMPARE(m_reporter.entries[0].source, QStringLiteral("GetLangString (%1, %2)").arg(section, key));
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
            {"language file is not a database", 'w', langFile, QByteArray(4096, '\x42')},
            {"main file is one byte", 'w', mainFile, "x"}, {"main file is empty", 'w', mainFile, ""},
            {"text table missing", 'q', langFile, "create table other (a)"},
            {"text column missing", 'q', langFile, "create table tbl_LANGUAGE (E_NAME, Caption, English, Other)"},
            {"Database is a file", 'w', db, "file"}, {"main path is a folder", 'd', mainFile, {}},
            {"broken seed", 's', {}, "CREATE TABLE A (x);\nCREATE TABLE oops oops;\n"}, {"no seed", 's', {}, {}}};
        for (const auto& r : rows) {
            m_reporter.clear();
            QTemporaryDir dir, seeds;
            const QString root = dir.path() + QLatin1Char('/');
            QDir().mkpath(root + db);
            if (r.file == db)
                QDir(root + db).removeRecursively();
            if (r.how == 'w')
                writeFile(root + r.file, r.bytes);
            else if (r.how == 'q')
                QVERIFY(runOn(root + r.file, {QString::fromLatin1(r.bytes)}));
            else if (r.how == 'd')
                QDir().mkpath(root + r.file);
            else if (!r.bytes.isEmpty()) {
                writeFile(seeds.filePath(QStringLiteral("language.sql")), kLanguageSeed);
                writeFile(seeds.filePath(QStringLiteral("vexo2005.sql")), r.bytes);
            }
            const QByteArray mainBefore = readFile(root + mainFile), langBefore = readFile(root + langFile);
            Database d;
            d.setSeedFolder(r.how == 's' ? seeds.path() : m_seeds.path());
            QVERIFY2(!d.OpenDatabases(root) && !d.isOpen() && !m_reporter.entries.isEmpty(), r.what);
            const QString source = m_reporter.entries[0].source;
            QVERIFY2(source.startsWith(QStringLiteral("OpenDatabases")) || source.startsWith(QStringLiteral("MakeDir")),
                     qPrintable(source));
            // Files that were there stay as they were (a missing one may have been made).
            QVERIFY2(mainBefore.isEmpty() || readFile(root + mainFile) == mainBefore, r.what);
            QVERIFY2(langBefore.isEmpty() || readFile(root + langFile) == langBefore, r.what);
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

    void queryFailureAndLogLine()
    {
        QTemporaryDir dir;
        SetLogFolder(dir.filePath(QStringLiteral("log")));
        QDir().mkpath(dir.filePath(QStringLiteral("log")));
        Database db;
        QVERIFY(open(db, dir));
        const QString bad = QStringLiteral("select * from NO_SUCH_TABLE");
        QVERIFY(!db.QueryVexoDB(bad));
        QCOMPARE(m_reporter.entries.size(), 1);
        QCOMPARE(m_reporter.entries[0].source, QStringLiteral("QueryVexoDB ") + bad);
        const QByteArray bytes = readFile(LogFilePath(QDateTime::currentDateTime()));
        const QString log = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                               (bytes.size() - 2) / 2);
        QVERIFY(log.contains(QStringLiteral("]  QueryVexoDB select * from NO_SUCH_TABLE\r\n")));
        QVERIFY(log.contains(QStringLiteral("]  QueryVexoDB select * from NO_SUCH_TABLE:    ")));
        SetLogFolder(QString());
    }

    void boundValuesKeepTheirMeaning()
    {
        QTemporaryDir dir;
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
        QCOMPARE(count(db, QStringLiteral("select count(*) from SCALE where SC_Used=true")), 1);
        QVERIFY(m_reporter.entries.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlatformDatabase)
#include "test_platform_database.moc"
