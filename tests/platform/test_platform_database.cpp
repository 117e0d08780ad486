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

const char* kLanguageSeed2 = R"(INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.Second', 'From the second seed', 'b', 'c');
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

// Runs statements on a database file through a connection of its own.
bool runOn(const QString& path, const QStringList& statements)
{
    const QString conn = QStringLiteral("test-helper");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString& s : statements)
            ok = ok && q.exec(s);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return ok;
}

} // namespace

class TestPlatformDatabase : public QObject {
    Q_OBJECT

private:
    RecordingReporter m_reporter;
    QTemporaryDir m_seeds;

    QByteArray reports() const
    {
        QStringList lines;
        for (const auto& e : m_reporter.entries)
            lines << e.source + QStringLiteral(":    ") + e.description;
        return lines.join(QLatin1Char('\n')).toUtf8();
    }

    // A root folder whose Database folder does not exist yet.
    QString freshRoot(QTemporaryDir& dir) { return dir.path() + QLatin1Char('/'); }

private slots:
    void initTestCase()
    {
        SetErrorReporter(&m_reporter);
        writeFile(m_seeds.filePath(QStringLiteral("vexo2005.sql")), kMainSeed);
        writeFile(m_seeds.filePath(QStringLiteral("language.sql")), kLanguageSeed);
        writeFile(m_seeds.filePath(QStringLiteral("language-2.sql")), kLanguageSeed2);
    }
    void cleanupTestCase() { SetErrorReporter(nullptr); }
    void init() { m_reporter.clear(); }

    void seedsCreateBothFilesOnce()
    {
        QTemporaryDir dir;
        const QString root = freshRoot(dir);
        Database db;
        {
            db.setSeedFolder(m_seeds.path());
            QVERIFY(db.OpenDatabases(root));
            QVERIFY(QFileInfo(root + QStringLiteral("Database/VEXO2005.sqlite")).isFile());
            QVERIFY(QFileInfo(root + QStringLiteral("Database/language.sqlite")).isFile());
            QVERIFY(!QFileInfo::exists(root + QStringLiteral("Database/VEXO2005.sqlite.new")));
            auto q = db.QueryVexoDB(QStringLiteral("select SCALE_NAME from SCALE_MODEL order by SCALE_NAME"));
            QVERIFY(q && q->next());
            QCOMPARE(q->value(0).toString(), QStringLiteral("Alpha; with semicolon"));
            QCOMPARE(db.GetLangString(QStringLiteral("Global"), QStringLiteral("Second")), QStringLiteral("From the second seed"));
            QVERIFY(db.QueryVexoDB(QStringLiteral("insert into SCALE_MODEL values (3, 'Added', 1, 1, 1, 1, 1)")));
        }
        // A second start keeps what the first one left, whatever the seeds say
        // (the first stays open: two instances side by side).
        Database again;
        again.setSeedFolder(m_seeds.path());
        QVERIFY(again.OpenDatabases(root));
        auto q = again.QueryVexoDB(QStringLiteral("select count(*) from SCALE_MODEL"));
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), 3);
        QVERIFY(m_reporter.entries.isEmpty());
    }

    // A newer program's texts reach an existing file; what the file holds stays.
    void missingTextsAddedOnOpen()
    {
        QTemporaryDir dir;
        const QString root = freshRoot(dir);
        const QString lang = root + QStringLiteral("Database/language.sqlite");
        {
            Database db;
            db.setSeedFolder(m_seeds.path());
            QVERIFY(db.OpenDatabases(root));
        }
        QVERIFY(runOn(lang, {QStringLiteral("delete from tbl_LANGUAGE where Caption = 'Global.Second'"),
                             QStringLiteral("update tbl_LANGUAGE set English = 'Edited' where Caption = 'frmMain.Caption'")}));
        Database db;
        db.setSeedFolder(m_seeds.path());
        QVERIFY(db.OpenDatabases(root));
        QCOMPARE(db.GetLangString(QStringLiteral("Global"), QStringLiteral("Second")), QStringLiteral("From the second seed"));
        QCOMPARE(db.GetLangString(QStringLiteral("frmMain"), QStringLiteral("Caption")), QStringLiteral("Edited"));
        auto q = db.QueryVexoDB(QStringLiteral("select 1"));
        QVERIFY(q);
        QVERIFY2(m_reporter.entries.isEmpty(), reports().constData());
    }

    void embeddedSeeds()
    {
        if (QDir(QStringLiteral(":/sql")).entryList().isEmpty())
            QSKIP("no seeds embedded in this build");
        QTemporaryDir dir;
        Database db;
        QVERIFY2(db.OpenDatabases(freshRoot(dir)), reports().constData());
        auto q = db.QueryVexoDB(QStringLiteral("select count(*) from SCALE_MODEL"));
        QVERIFY(q && q->next());
        QVERIFY(q->value(0).toInt() > 0);
        QVERIFY(db.QueryVexoDB(QStringLiteral("select SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID from SCALE where SC_Used=true")));
        QVERIFY(!db.GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName")).isEmpty());
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void getLangString_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("reported");
        QTest::newRow("English") << "English" << "Global" << "catPos_PrintStatusCombo" << "0 - No|1 - Yes" << false;
        QTest::newRow("Chinese column") << "Chinese" << "Global" << "catPos_PrintStatusCombo"
                                        << QString::fromUtf8("0 - 否|1 - 是") << false;
        QTest::newRow("Other column") << "Other" << "frmMain" << "Caption" << QString::fromUtf8("Редактор") << false;
        QTest::newRow("case of key and program ignored") << "English" << "FRMMAIN" << "caption" << "Designer" << false;
        QTest::newRow("Null text") << "Chinese" << "frmMain" << "Caption" << "" << true;
        QTest::newRow("missing key") << "English" << "Global" << "msgNothing" << "" << true;
        QTest::newRow("row of another program") << "English" << "Global" << "OnlyElsewhere" << "" << true;
        QTest::newRow("unknown language reads English") << "Klingon" << "frmMain" << "Caption" << "Designer" << false;
        QTest::newRow("quote in key") << "English" << "Global" << "x' or '1'='1" << "" << true;
    }
    void getLangString()
    {
        QFETCH(QString, language);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFETCH(bool, reported);
        QTemporaryDir dir;
        Database db;
        db.setSeedFolder(m_seeds.path());
        db.setLanguage(language);
        QVERIFY(db.OpenDatabases(freshRoot(dir)));
        const QString text = db.GetLangString(section, key);
        QCOMPARE(text, expected);
        QVERIFY(!text.isNull());
        QCOMPARE(m_reporter.entries.size(), reported ? 1 : 0);
        if (reported)
            QCOMPARE(m_reporter.entries[0].source, QStringLiteral("GetLangString (%1, %2)").arg(section, key));
    }

    // Each damaged root is refused with a report and leaves the files as they were.
    void refusedFiles_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("main file is not a database") << "garbageMain";
        QTest::newRow("language file is not a database") << "garbageLanguage";
        QTest::newRow("main file is one byte") << "shortMain";
        QTest::newRow("main file is empty") << "emptyMain";
        QTest::newRow("text table missing") << "noLanguageTable";
        QTest::newRow("text column missing") << "noChineseColumn";
        QTest::newRow("Database is a file") << "databaseIsFile";
        QTest::newRow("main path is a folder") << "mainIsFolder";
        QTest::newRow("broken seed") << "brokenSeed";
        QTest::newRow("no seed") << "noSeed";
    }
    void refusedFiles()
    {
        QFETCH(QString, damage);
        QTemporaryDir dir;
        const QString root = freshRoot(dir);
        const QString folder = root + QStringLiteral("Database");
        QDir().mkpath(folder);
        const QString mainPath = folder + QStringLiteral("/VEXO2005.sqlite");
        const QString langPath = folder + QStringLiteral("/language.sqlite");
        QTemporaryDir seeds;
        QString seedFolder = m_seeds.path();

        if (damage == QLatin1String("garbageMain"))
            writeFile(mainPath, "Standard Jet DB, or any other bytes that are no SQLite file at all....");
        else if (damage == QLatin1String("garbageLanguage"))
            writeFile(langPath, QByteArray(4096, '\x42'));
        else if (damage == QLatin1String("shortMain"))
            writeFile(mainPath, "x");
        else if (damage == QLatin1String("emptyMain"))
            writeFile(mainPath, QByteArray());
        else if (damage == QLatin1String("noLanguageTable"))
            QVERIFY(runOn(langPath, {QStringLiteral("create table other (a)")}));
        else if (damage == QLatin1String("noChineseColumn"))
            QVERIFY(runOn(langPath, {QStringLiteral("create table tbl_LANGUAGE (E_NAME, Caption, English, Other)")}));
        else if (damage == QLatin1String("databaseIsFile")) {
            QDir(folder).removeRecursively();
            writeFile(folder, "file");
        } else if (damage == QLatin1String("mainIsFolder"))
            QDir().mkpath(mainPath);
        else if (damage == QLatin1String("brokenSeed")) {
            writeFile(seeds.filePath(QStringLiteral("language.sql")), kLanguageSeed);
            writeFile(seeds.filePath(QStringLiteral("vexo2005.sql")), "CREATE TABLE A (x);\nCREATE TABLE oops oops;\n");
            seedFolder = seeds.path();
        } else if (damage == QLatin1String("noSeed")) {
            seedFolder = seeds.path();
        }

        const QByteArray mainBefore = readFile(mainPath);
        const QByteArray langBefore = readFile(langPath);
        Database db;
        db.setSeedFolder(seedFolder);
        QVERIFY(!db.OpenDatabases(root));
        QVERIFY(!db.isOpen());
        QVERIFY(!m_reporter.entries.isEmpty());
        QVERIFY2(m_reporter.entries[0].source.startsWith(QStringLiteral("OpenDatabases"))
                     || m_reporter.entries[0].source.startsWith(QStringLiteral("MakeDir")),
                 qPrintable(m_reporter.entries[0].source));
        // Files that were there stay as they were (a missing one may have been made).
        if (!mainBefore.isEmpty())
            QCOMPARE(readFile(mainPath), mainBefore);
        if (!langBefore.isEmpty())
            QCOMPARE(readFile(langPath), langBefore);
        // A failed creation leaves nothing the next start would take for a database.
        if (damage == QLatin1String("brokenSeed") || damage == QLatin1String("noSeed")) {
            QVERIFY(!QFileInfo::exists(mainPath));
            QVERIFY(!QFileInfo::exists(mainPath + QStringLiteral(".new")));
        }
        // Nothing is run on a refused database.
        QVERIFY(!db.QueryVexoDB(QStringLiteral("select 1")));
        QCOMPARE(db.GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName")), QString());
    }

    void lockedDatabaseRefused()
    {
        QTemporaryDir dir;
        const QString root = freshRoot(dir);
        {
            Database first;
            first.setSeedFolder(m_seeds.path());
            QVERIFY(first.OpenDatabases(root));
        }
        const QString conn = QStringLiteral("test-locker");
        {
            QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
            locker.setDatabaseName(root + QStringLiteral("Database/VEXO2005.sqlite"));
            QVERIFY(locker.open());
            QSqlQuery q(locker);
            QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            Database db;
            QVERIFY(!db.OpenDatabases(root));
            QVERIFY(m_reporter.hasSource(QStringLiteral("OpenDatabases ") + root + QStringLiteral("Database/VEXO2005.sqlite")));
            q.exec(QStringLiteral("ROLLBACK"));
            q.finish();
            locker.close();
        }
        QSqlDatabase::removeDatabase(conn);
    }

    void queryFailureAndLogLine()
    {
        QTemporaryDir dir;
        SetLogFolder(dir.filePath(QStringLiteral("log")));
        QDir().mkpath(dir.filePath(QStringLiteral("log")));
        Database db;
        db.setSeedFolder(m_seeds.path());
        QVERIFY(db.OpenDatabases(freshRoot(dir)));
        const QString bad = QStringLiteral("select * from NO_SUCH_TABLE");
        QVERIFY(!db.QueryVexoDB(bad));
        QCOMPARE(m_reporter.entries.size(), 1);
        QCOMPARE(m_reporter.entries[0].source, QStringLiteral("QueryVexoDB ") + bad);
        const QByteArray bytes = readFile(LogFilePath(QDateTime::currentDateTime()));
        const QString log = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
        QVERIFY(log.contains(QStringLiteral("]  QueryVexoDB select * from NO_SUCH_TABLE\r\n")));
        QVERIFY(log.contains(QStringLiteral("]  QueryVexoDB select * from NO_SUCH_TABLE:    ")));
        SetLogFolder(QString());
    }

    void boundValuesKeepTheirMeaning_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("quote and or") << "1.2.3.4' or '1'='1";
        QTest::newRow("statement break") << "x'); DROP TABLE SCALE; --";
        QTest::newRow("comment") << "10.0.0.1 -- rest";
        QTest::newRow("double quotes") << "\"SC_IP\"";
        QTest::newRow("unicode") << QString::fromUtf8("秤 №1");
    }
    void boundValuesKeepTheirMeaning()
    {
        QFETCH(QString, address);
        QTemporaryDir dir;
        Database db;
        db.setSeedFolder(m_seeds.path());
        QVERIFY(db.OpenDatabases(freshRoot(dir)));
        QVERIFY(db.QueryVexoDB(QStringLiteral("insert into SCALE (SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID) values (?, ?, ?, ?, ?)"),
                               {1, 2, QStringLiteral("192.168.0.10"), true, 1}));
        QVERIFY(db.QueryVexoDB(QStringLiteral("insert into SCALE (SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID) values (?, ?, ?, ?, ?)"),
                               {2, 2, address, false, 1}));
        auto q = db.QueryVexoDB(QStringLiteral("select SC_NO from SCALE where SC_IP = ?"), {address});
        QVERIFY(q);
        QVERIFY(q->next());
        QCOMPARE(q->value(0).toInt(), 2);
        QVERIFY(!q->next());
        auto count = db.QueryVexoDB(QStringLiteral("select count(*) from SCALE where SC_Used=true"));
        QVERIFY(count && count->next());
        QCOMPARE(count->value(0).toInt(), 1);
        QVERIFY(m_reporter.entries.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlatformDatabase)
#include "test_platform_database.moc"
