// The main database on a real PostgreSQL server, started here in a temporary
// folder on a loopback port: start-up, scale models, scale rows, the CSV exchange
// between workstations, the transfer journal and the connection settings.
#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/log.h"
#include "scale/scaledata.h"
#include "scale/scalelistimport.h"
#include "scale/transferjournal.h"
#include <QtNetwork>
#include <QtSql>
#include <QtTest>
#include <pwd.h>
#include <unistd.h>

using namespace quillon;

namespace {

const QString kPassword = QStringLiteral("Sh0p-pass word");
constexpr char kDatabase[] = "quillon_test";

void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

} // namespace

class TestPgsql : public QObject {
    Q_OBJECT

    // The server: initdb into a temporary folder and pg_ctl start on a free loopback port.
    QTemporaryDir m_pg, m_home, m_trees;
    QString m_bin;
    int m_port = 0, m_treeCount = 0;
    bool m_asRoot = false;   // postgres refuses root: its programs then run as the Debian user "postgres"
    RecordingReporter m_reporter;

    // Runs a PostgreSQL program; empty when it succeeded, else why not.
    QString pg(const QString& program, QStringList args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_pg.path());
        if (m_asRoot)
            args = QStringList{"-u", "postgres", "--", m_bin + program} + args;
        p.start(m_asRoot ? QString("runuser") : m_bin + program, args);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            return program + " did not finish";
        }
        if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return {};
        return program + " failed: " + QString::fromLocal8Bit(p.readAll()).simplified().left(600);
    }
    // Empty when the server runs, else why it does not.
    QString startServer()
    {
        for (const QString& v : QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (QFile::exists("/usr/lib/postgresql/" + v + "/bin/initdb"))
                m_bin = "/usr/lib/postgresql/" + v + "/bin/";
        if (m_bin.isEmpty() || !m_pg.isValid())
            return "PostgreSQL is not installed (Debian package postgresql)";
        writeAll(m_pg.filePath("pw"), kPassword.toUtf8());
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("postgres");
            if (!pw || QStandardPaths::findExecutable("runuser").isEmpty())
                return "running as root without a \"postgres\" user or runuser to start the server as";
            for (const QString& p : {m_pg.path(), m_pg.filePath("pw")})
                if (::chown(QFile::encodeName(p).constData(), pw->pw_uid, pw->pw_gid) != 0)
                    return "cannot hand the temporary folder to the user postgres";
            m_asRoot = true;
        }
        QString why = pg("initdb", {"-D", m_pg.filePath("data"), "-U", "postgres", "--auth=scram-sha-256", "--no-sync",
                                    "--pwfile=" + m_pg.filePath("pw"), "--no-locale", "-E", "UTF8"});
        // Another process may take the free port between the look and the start: try again then.
        for (int attempt = 0; why.isEmpty() && attempt < 3 && !m_port; ++attempt) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                continue;
            const int port = probe.serverPort();
            probe.close();
            const QString options =
                QString("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(port).arg(m_pg.path());
            const QString failed = pg("pg_ctl", {"-D", m_pg.filePath("data"), "-l", m_pg.filePath("server.log"), "-w",
                                                 "-t", "60", "-o", options, "start"});
            if (failed.isEmpty())
                m_port = port;
            else if (attempt == 2)
                why = failed;
        }
        return m_port || !why.isEmpty() ? why : QString("no free loopback port");
    }
    // A workstation's runtime tree whose INI has this database section; returns its program folder.
    QString makeTree(const QByteArray& databaseSection)
    {
        const QString root = m_trees.filePath(QString::number(++m_treeCount));
        writeAll(root + "/Vexo2005.INI", "[Setting]\r\nLanguage=English\r\n" + databaseSection);
        QDir().mkpath(root + "/bin");
        return root + "/bin";
    }
    QByteArray serverSection(const QByteArray& name = kDatabase) const
    {
        return "[Database]\r\nDriver=PSQL\r\nHost=127.0.0.1\r\nPort=" + QByteArray::number(m_port) + "\r\nName=" + name
               + "\r\nUser=shop\r\n";
    }
    // The first column of each row, as the server's administrator sees it.
    QStringList admin(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database("admin"));
        if (!q.exec(sql))
            return {"error: " + q.lastError().text()};
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    void setStoredPassword(const QVariant& password)
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Quillon");
        if (password.isValid())
            store.setValue(QLatin1String(kDatabasePasswordKey), password);
        else
            store.remove(QLatin1String(kDatabasePasswordKey));
    }

private slots:
    void initTestCase()
    {
        // The per-user settings store (the password) and data live in a folder of the test.
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
        SetErrorReporter(&m_reporter);
        if (!QSqlDatabase::isDriverAvailable("QPSQL"))
            QSKIP("The PostgreSQL driver of Qt is not installed (Debian package libqt6sql6-psql).");
        if (const QString why = startServer(); !why.isEmpty())
            QSKIP(qPrintable("The PostgreSQL test server cannot start: " + why));
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "admin");
        db.setHostName("127.0.0.1");
        db.setPort(m_port);
        db.setDatabaseName("postgres");
        QVERIFY2(db.open("postgres", kPassword), qPrintable(db.lastError().text()));
        QCOMPARE(admin(QString("create role shop login password '%1'").arg(kPassword)), QStringList{});
        QCOMPARE(admin(QString("create database %1 owner shop").arg(kDatabase)), QStringList{});
        db.close();
        db.setDatabaseName(kDatabase);
        QVERIFY2(db.open("postgres", kPassword), qPrintable(db.lastError().text()));
        setStoredPassword(kPassword);
    }
    void cleanupTestCase()
    {
        QSqlDatabase::database("admin", false).close();
        QSqlDatabase::removeDatabase("admin");
        SetErrorReporter(nullptr);
        if (m_port)
            pg("pg_ctl", {"-D", m_pg.filePath("data"), "-m", "immediate", "-w", "stop"});
    }
    void init() { m_reporter.clear(); }
    void cleanup()
    {
        SetDatabasePasswordPrompt({});
        SetLogFolder(QString());
    }

    // The first workstation makes the tables from the seed; the second, started later,
    // finds what the first one and the administrator put there, and no second seed.
    void workstationsShareTheServer()
    {
        const QString bin = makeTree(serverSection());
        AppContext first;
        QVERIFY2(first.InitApplication(bin), qPrintable(m_reporter.entries.value(0).description));
        QVERIFY(first.db().isMainOnServer() && !first.tables.softwareName.isEmpty());
        // The seed's models, sorted by name, with their numbers.
        const ScaleModel& prepack = first.tables.g_arrScaleModel.value(3);
        QCOMPARE(first.tables.g_arrScaleModel.size(), 7);
        QVERIFY(prepack.SCALE_NAME == "QP-80 Prepack" && prepack.ID == 4 && prepack.MM_PER_KDOT == 83
                && prepack.MAX_HEIGHT == 150);
        // The texts stay in the local file; no local main database appears.
        QVERIFY(QFile::exists(bin + "/../Database/language.sqlite"));
        QVERIFY(!QFile::exists(bin + "/../Database/VEXO2005.sqlite"));
        const scalelist::Report imported = scalelist::ImportScales(first.db(),
            "Number,Address,Model\r\n21,192.168.1.21,QC-20 Counter\r\n21,192.168.1.21,QD-50 Deli\r\n"
            "3,192.168.1.300,QC-20 Counter\r\n4,192.168.1.4,\"QT-12 Basic\"\r\n");
        QVERIFY2(imported.ok && imported.added == 2 && imported.skipped == 2, qPrintable(imported.error));

        // A model added on the server sorts first at the next start of any workstation.
        QCOMPARE(admin("insert into SCALE_MODEL values (50, 'AA-01 First', 60, 30, 100, 20, 125)"), QStringList{});
        AppContext second;
        QVERIFY(second.InitApplication(makeTree(serverSection())));
        QCOMPARE(second.tables.g_arrScaleModel.size(), 8);
        QCOMPARE(second.tables.g_arrScaleModel[0].SCALE_NAME, "AA-01 First");
        QCOMPARE(admin("select count(*) from SCALE_MODEL where SCALE_NAME = 'QC-20 Counter'"), QStringList{"1"});
        QByteArray out;
        QVERIFY(scalelist::ExportScales(second.db(), &out).ok);
        QCOMPARE(out, QByteArray("Number,Address,Model,Store\r\n4,192.168.1.4,QT-12 Basic,\r\n21,192.168.1.21,QC-20 Counter,\r\n"));
        // A failing file leaves the server's list as it was, even after rows were checked.
        QVERIFY(!scalelist::ImportScales(second.db(), "Number,Address,Model\r\n5,192.168.1.5,QC-20 Counter\r\n"
                                                      "6,192.168.1.6,Nope\r\n").ok);
        QCOMPARE(admin("select count(*) from SCALE"), QStringList{"2"});

        // A table dropped on the server is made again, empty, at the next start.
        QCOMPARE(admin("delete from SCALE_MODEL where ID = 50"), QStringList{});
        QCOMPARE(admin("drop table SCALE"), QStringList{});
        AppContext third;
        QVERIFY(third.InitApplication(makeTree(serverSection())));
        QCOMPARE(admin("select count(*) from SCALE_MODEL"), QStringList{"7"});
        QCOMPARE(admin("select count(*) from SCALE"), QStringList{"0"});

        // Rows as the scale dialogs write and list them; a value is data, never SQL.
        Database& db = third.db();
        const QString hostile = "10.0.0.9'); drop table SCALE; --";
        QVERIFY(AddScale(db, "10.0.0.7", 3) && AddScale(db, hostile, 2) && AddScale(db, "10.0.0.4", 1));
        // The address is unique: a second row is refused and reported.
        QVERIFY(!AddScale(db, "10.0.0.7", 1) && m_reporter.hasSource("QueryVexoDB insert into SCALE"));
        QVERIFY(ChangeScale(db, "10.0.0.4", "10.0.0.2", 1) && ScaleExists(db, hostile));
        QStringList listed;
        for (const ScaleRow& r : ListScales(db))
            listed << QString::number(r.SC_NO) + u'|' + r.SC_IP + u'|' + r.SCALE_NAME;
        QCOMPARE(listed, (QStringList{"2|10.0.0.2|QC-20 Counter", "7|10.0.0.7|QL-60 Label Printer",
                                      "9|" + hostile + "|QS-40 Hanging"}));

        // A server list from before the store column gains it at the next start, its rows kept.
        QCOMPARE(admin("alter table SCALE drop column Store"), QStringList{});
        AppContext fourth;
        QVERIFY(fourth.InitApplication(makeTree(serverSection())));
        QVERIFY(ChangeScale(fourth.db(), "10.0.0.7", "10.0.0.7", 3, QStringLiteral(" Köln ")));
        QCOMPARE(admin("select SC_IP || '|' || coalesce(Store, '') from SCALE order by SC_IP"),
                 (QStringList{"10.0.0.2|", "10.0.0.7|Köln", hostile + "|"}));
        QCOMPARE(ScalesOfStore(fourth.db(), "Köln"), QStringList{"10.0.0.7"});
    }

    // Every workstation reads every other's transfer runs; a server from before the journal gains its table.
    void journalOnServer()
    {
        QCOMPARE(admin("drop table if exists TRANSFER_JOURNAL"), QStringList{});
        AppContext first, second;
        QVERIFY(first.InitApplication(makeTree(serverSection())));
        QCOMPARE(admin("select count(*) from pg_indexes where tablename = 'transfer_journal'"), QStringList{"4"});
        const QString label = "Bread 'x'); drop table SCALE; --.qlf";
        const JournalRun run = NewJournalRun(TransferDirection::Send, label, {});
        QSqlDatabase db = first.db().mainDb();
        QVERIFY(WriteJournal(db, run, {{"10.0.0.2", {0, 4, 0}}, {"10.0.0.1", {0, 0, 0}}}));

        QVERIFY(second.InitApplication(makeTree(serverSection())));
        QSqlDatabase other = second.db().mainDb();
        JournalEntry shared;
        const QList<ScaleOutcome> outcomes = JournalRunOutcomes(other, run.runId, &shared);
        QCOMPARE(outcomes.size(), 2);
        QVERIFY(outcomes[1].address == "10.0.0.2" && outcomes[1].codes[1] == 4 && OverallOutcome(outcomes[0]) == 0);
        QVERIFY(shared.label == label && shared.host == run.host && shared.utc == run.utc);
        QCOMPARE(LastTransfers(other, {"10.0.0.2", "10.0.0.9"}).value("10.0.0.2").code, kInconsistentOutcome);
        JournalModel model(other);
        QVERIFY(model.setFilter({"10.0.0.2", "bread", QDate::currentDate().addDays(-1), QDate::currentDate()}));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(admin("select count(*) from SCALE_MODEL"), QStringList{"7"});
    }

    void settings_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QVariant>("stored");       // invalid: no password in the store
        QTest::addColumn<QVariant>("promptAnswer"); // invalid: no prompt; null string: cancelled
        QTest::addColumn<QString>("message");       // "": starts
        const QByteArray server = serverSection();
        const QVariant none, pass(kPassword);
        QTest::newRow("wrong stored password") << server << QVariant("wrong-one") << none
                                               << "password authentication failed";
        QTest::newRow("asked when the store has none") << server << none << pass << "";
        QTest::newRow("asking cancelled") << server << none << QVariant(QString()) << "No password was given";
        QTest::newRow("unknown driver") << QByteArray("[Database]\r\nDriver=ORACLE\r\n") << pass << none << "neither";
        QTest::newRow("port out of range") << QByteArray("[Database]\r\nDriver=psql\r\nPort=70000\r\n") << pass << none
                                           << "Port=70000";
        QTest::newRow("no such database") << serverSection("none_here") << pass << none << "none_here";
        QTest::newRow("SQLite by default") << QByteArray("[Database]\r\nHost=127.0.0.1\r\n") << none << none << "";
    }

    void settings()
    {
        QFETCH(QByteArray, section);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, promptAnswer);
        QFETCH(QString, message);
        setStoredPassword(stored);
        int asked = 0;
        if (promptAnswer.isValid())
            SetDatabasePasswordPrompt([&](const MainDatabaseSettings& s) -> std::optional<QString> {
                ++asked;
                const QString answer = promptAnswer.toString();
                const bool named = s.describe() == QString("shop@127.0.0.1:%1/%2").arg(m_port).arg(kDatabase);
                return named && !answer.isNull() ? std::optional(answer) : std::nullopt;
            });
        const QString bin = makeTree(section);
        const bool started = AppContext().InitApplication(bin);
        setStoredPassword(kPassword);
        QCOMPARE(asked, promptAnswer.isValid() ? 1 : 0);
        QString reports;
        for (const auto& e : m_reporter.entries)
            reports += e.source + ":    " + e.description + u'\n';
        QVERIFY2(started == message.isEmpty() && reports.contains(message), qPrintable(reports));
        // The password never reaches a message or the log.
        for (const QString& f : QDir(bin + "/log").entryList(QDir::Files)) {
            QFile log(bin + "/log/" + f);
            QVERIFY(log.open(QIODevice::ReadOnly));
            reports += QString::fromUtf16(reinterpret_cast<const char16_t*>(log.readAll().constData()), log.size() / 2);
        }
        QVERIFY(!reports.contains(kPassword) && !reports.contains("wrong-one"));
    }
};

QTEST_GUILESS_MAIN(TestPgsql)
#include "test_pgsql.moc"
