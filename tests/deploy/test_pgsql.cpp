// The main database on a real PostgreSQL server, started here in a temporary
// folder on a loopback port: start-up, scale models, scale rows, the CSV exchange
// and the connection settings.
#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/log.h"
#include "scale/scalelistimport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace quillon;

namespace {

const QString kPassword = QStringLiteral("Sh0p-pass word");
const QString kDatabase = QStringLiteral("quillon_test");

void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

// A PostgreSQL server of its own: initdb into a temporary folder and pg_ctl
// start on a free loopback port. postgres refuses to run as root, so as root
// its programs run as the user "postgres" that the Debian package creates.
class PgServer {
public:
    ~PgServer() { stop(); }

    bool start(QString* why)
    {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& v : versions)
            if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(v)))
                m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
        if (m_bin.isEmpty()) {
            *why = QStringLiteral("PostgreSQL is not installed (Debian package postgresql)");
            return false;
        }
        if (!m_dir.isValid()) {
            *why = QStringLiteral("no temporary folder");
            return false;
        }
        writeAll(m_dir.filePath("pw"), kPassword.toUtf8());
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("postgres");
            if (!pw || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty()) {
                *why = QStringLiteral("running as root without a \"postgres\" user or runuser to start the server as");
                return false;
            }
            for (const QString& p : {m_dir.path(), m_dir.filePath("pw")})
                if (::chown(QFile::encodeName(p).constData(), pw->pw_uid, pw->pw_gid) != 0) {
                    *why = QStringLiteral("cannot hand the temporary folder to the user postgres");
                    return false;
                }
            m_asRoot = true;
        }
        if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), QStringLiteral("postgres"),
                                            QStringLiteral("--auth=scram-sha-256"), QStringLiteral("--pwfile=") + m_dir.filePath("pw"),
                                            QStringLiteral("--no-locale"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                                            QStringLiteral("--no-sync")},
                 why))
            return false;
        // Another process may take the free port between the look and the start: try again then.
        for (int attempt = 0; attempt < 3; ++attempt) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                continue;
            m_port = probe.serverPort();
            probe.close();
            const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                        .arg(m_port)
                                        .arg(m_dir.path());
            if (run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-l"), m_dir.filePath("server.log"),
                                               QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                                               QStringLiteral("-o"), options, QStringLiteral("start")},
                    why)) {
                m_running = true;
                return true;
            }
        }
        return false;
    }

    void stop()
    {
        if (!m_running)
            return;
        m_running = false;
        QString why;
        run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"), QStringLiteral("immediate"),
                                       QStringLiteral("-w"), QStringLiteral("stop")},
            &why);
    }

    int port() const { return m_port; }

private:
    QString dataDir() const { return m_dir.filePath("data"); }

    bool run(const QString& program, const QStringList& args, QString* why)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_dir.path());
        if (m_asRoot)
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                                           m_bin + program} + args);
        else
            p.start(m_bin + program, args);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            *why = program + QStringLiteral(" did not finish");
            return false;
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            *why = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAll()).simplified().left(600);
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    int m_port = 0;
    bool m_asRoot = false;
    bool m_running = false;
};

} // namespace

class TestPgsql : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { m_reporter.clear(); }
    void cleanup()
    {
        SetDatabasePasswordPrompt({});
        SetLogFolder(QString());
    }

    void startupCreatesTables();
    void laterStartKeepsRows();
    void scaleRows();
    void csvOnServer();
    void missingTableRecreated();
    void settings_data();
    void settings();

private:
    // A runtime tree whose INI names the test server; returns the program folder.
    QString makeTree(const QByteArray& databaseSection);
    QByteArray serverSection(const QByteArray& extra = {}) const;
    QStringList adminRows(const QString& sql);
    void setStoredPassword(const QVariant& password);

    PgServer m_server;
    RecordingReporter m_reporter;
    QTemporaryDir m_home;
    QTemporaryDir m_trees;
    int m_treeCount = 0;
};

void TestPgsql::initTestCase()
{
    // The per-user settings store (the password) and data live in a folder of the test.
    qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
    SetErrorReporter(&m_reporter);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP("The PostgreSQL driver of Qt is not installed (Debian package libqt6sql6-psql).");
    QString why;
    if (!m_server.start(&why))
        QSKIP(qPrintable(QStringLiteral("The PostgreSQL test server cannot start: ") + why));

    QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
    admin.setHostName(QStringLiteral("127.0.0.1"));
    admin.setPort(m_server.port());
    admin.setDatabaseName(QStringLiteral("postgres"));
    admin.setUserName(QStringLiteral("postgres"));
    admin.setPassword(kPassword);
    QVERIFY2(admin.open(), qPrintable(admin.lastError().text()));
    QSqlQuery q(admin);
    QVERIFY2(q.exec(QStringLiteral("create role shop login password '%1'").arg(kPassword)), qPrintable(q.lastError().text()));
    QVERIFY2(q.exec(QStringLiteral("create database %1 owner shop").arg(kDatabase)), qPrintable(q.lastError().text()));
    q.finish();
    admin.close();
    admin.setDatabaseName(kDatabase);
    QVERIFY2(admin.open(), qPrintable(admin.lastError().text()));
    setStoredPassword(kPassword);
}

void TestPgsql::cleanupTestCase()
{
    if (QSqlDatabase::contains(QStringLiteral("admin"))) {
        QSqlDatabase::database(QStringLiteral("admin"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    }
    m_server.stop();
    SetErrorReporter(nullptr);
}

void TestPgsql::setStoredPassword(const QVariant& password)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"), QStringLiteral("Quillon"));
    if (password.isValid())
        store.setValue(QLatin1String(kDatabasePasswordKey), password);
    else
        store.remove(QLatin1String(kDatabasePasswordKey));
    store.sync();
}

QByteArray TestPgsql::serverSection(const QByteArray& extra) const
{
    return "[Database]\r\nDriver=PSQL\r\nHost=127.0.0.1\r\nPort=" + QByteArray::number(m_server.port())
           + "\r\nName=" + kDatabase.toUtf8() + "\r\nUser=shop\r\n" + extra;
}

QString TestPgsql::makeTree(const QByteArray& databaseSection)
{
    const QString root = m_trees.filePath(QString::number(++m_treeCount));
    const QString bin = root + QStringLiteral("/bin");
    QDir().mkpath(bin);
    writeAll(root + QStringLiteral("/Vexo2005.INI"), "[Setting]\r\nLanguage=English\r\n" + databaseSection);
    return bin;
}

QStringList TestPgsql::adminRows(const QString& sql)
{
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("admin")));
    if (!q.exec(sql))
        return {QStringLiteral("error: ") + q.lastError().text()};
    QStringList out;
    while (q.next()) {
        QStringList cols;
        for (int i = 0; i < q.record().count(); ++i)
            cols << q.value(i).toString();
        out << cols.join(u'|');
    }
    return out;
}

void TestPgsql::startupCreatesTables()
{
    const QString bin = makeTree(serverSection());
    AppContext ctx;
    QVERIFY2(ctx.InitApplication(bin), qPrintable(m_reporter.entries.value(0).description));
    QVERIFY(ctx.db().isMainOnServer());

    // The seed's models, in name order, as from the embedded file.
    QStringList names;
    for (const ScaleModel& m : ctx.tables.g_arrScaleModel)
        names << m.SCALE_NAME;
    QCOMPARE(names, (QStringList{"QC-20 Counter", "QD-50 Deli", "QL-60 Label Printer", "QP-80 Prepack", "QS-40 Hanging",
                                 "QT-12 Basic", "QX-30 Self-Service"}));
    QCOMPARE(ctx.tables.g_arrScaleModel[3].ID, qint16(4));
    QCOMPARE(ctx.tables.g_arrScaleModel[3].MM_PER_KDOT, qint16(83));
    QCOMPARE(ctx.tables.g_arrScaleModel[3].MAX_HEIGHT, qint16(150));
    // The texts stay in the local file; no local main database appears.
    QVERIFY(QFile::exists(bin + QStringLiteral("/../Database/language.sqlite")));
    QVERIFY(!QFile::exists(bin + QStringLiteral("/../Database/VEXO2005.sqlite")));
    QVERIFY(!ctx.tables.softwareName.isEmpty());
}

void TestPgsql::laterStartKeepsRows()
{
    // A model added on the server sorts first at the next start of any workstation.
    QCOMPARE(adminRows("insert into SCALE_MODEL values (50, 'AA-01 First', 60, 30, 100, 20, 125)"), QStringList{});
    const QString bin = makeTree(serverSection());
    AppContext ctx;
    QVERIFY(ctx.InitApplication(bin));
    QCOMPARE(ctx.tables.g_arrScaleModel.size(), 8);
    QCOMPARE(ctx.tables.g_arrScaleModel[0].SCALE_NAME, QStringLiteral("AA-01 First"));
    QCOMPARE(ctx.tables.g_arrScaleModel[1].SCALE_NAME, QStringLiteral("QC-20 Counter"));
    // The seed did not run again.
    QCOMPARE(adminRows("select count(*) from SCALE_MODEL where SCALE_NAME = 'QC-20 Counter'"), QStringList{"1"});
    QCOMPARE(adminRows("delete from SCALE_MODEL where ID = 50"), QStringList{});
}

void TestPgsql::scaleRows()
{
    const QString bin = makeTree(serverSection());
    AppContext ctx;
    QVERIFY(ctx.InitApplication(bin));
    Database& db = ctx.db();
    const QString insert = QStringLiteral("insert into SCALE(SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID) VALUES(?,?,?,?,?)");
    QVERIFY(db.QueryVexoDB(insert, {7, 97, QStringLiteral("10.0.0.7"), true, 3}));
    QVERIFY(db.QueryVexoDB(insert, {2, 97, QStringLiteral("10.0.0.2"), true, 1}));
    QVERIFY(db.QueryVexoDB(insert, {5, 97, QStringLiteral("10.0.0.5"), false, 1}));
    // A value is data, never SQL.
    const QString hostile = QStringLiteral("10.0.0.9'); drop table SCALE; --");
    QVERIFY(db.QueryVexoDB(insert, {9, 97, hostile, true, 2}));
    // The address is unique: a second row is refused and reported.
    QVERIFY(!db.QueryVexoDB(insert, {7, 97, QStringLiteral("10.0.0.7"), true, 1}));
    QVERIFY(m_reporter.hasSource(QStringLiteral("QueryVexoDB insert into SCALE")));

    // The list query as the scale dialogs send it.
    auto q = db.QueryVexoDB(QStringLiteral("Select SC_No, SC_IP, SCALE_NAME from SCALE, SCALE_MODEL "
                                           "where SC_Used=true and SC_MODEL_ID=ID order by SC_No"));
    QVERIFY(q);
    QStringList listed;
    while (q->next())
        listed << q->value(0).toString() + u'|' + q->value(1).toString() + u'|' + q->value(2).toString();
    QCOMPARE(listed, (QStringList{"2|10.0.0.2|QC-20 Counter", "7|10.0.0.7|QL-60 Label Printer",
                                  "9|" + hostile + "|QS-40 Hanging"}));
    auto exists = db.QueryVexoDB(QStringLiteral("Select SC_IP from SCALE where SC_IP=?"), {hostile});
    QVERIFY(exists && exists->next());
    QCOMPARE(adminRows("delete from SCALE"), QStringList{});
}

void TestPgsql::csvOnServer()
{
    const QString bin = makeTree(serverSection());
    AppContext ctx;
    QVERIFY(ctx.InitApplication(bin));
    Database& db = ctx.db();
    const QByteArray csv = "Number,Address,Model\r\n21,192.168.1.21,QC-20 Counter\r\n21,192.168.1.21,QD-50 Deli\r\n"
                           "3,192.168.1.300,QC-20 Counter\r\n4,192.168.1.4,\"QT-12 Basic\"\r\n";
    scalelist::Report r = scalelist::ImportScales(db, csv);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.added, 2);
    QCOMPARE(r.skipped, 2);
    QByteArray out;
    QVERIFY(scalelist::ExportScales(db, &out).ok);
    QCOMPARE(out, QByteArray("Number,Address,Model\r\n4,192.168.1.4,QT-12 Basic\r\n21,192.168.1.21,QC-20 Counter\r\n"));

    // A failing file leaves the server's list as it was, even after rows were checked.
    r = scalelist::ImportScales(db, "Number,Address,Model\r\n5,192.168.1.5,QC-20 Counter\r\n6,192.168.1.6,Nope\r\n");
    QVERIFY(!r.ok);
    QCOMPARE(adminRows("select count(*) from SCALE"), QStringList{"2"});
    QCOMPARE(adminRows("delete from SCALE"), QStringList{});
}

void TestPgsql::missingTableRecreated()
{
    QCOMPARE(adminRows("drop table SCALE"), QStringList{});
    const QString bin = makeTree(serverSection());
    AppContext ctx;
    QVERIFY(ctx.InitApplication(bin));
    QCOMPARE(adminRows("select count(*) from SCALE"), QStringList{"0"});
    QCOMPARE(adminRows("select count(*) from SCALE_MODEL"), QStringList{"7"});
}

void TestPgsql::settings_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QVariant>("stored");       // invalid: no password in the store
    QTest::addColumn<QVariant>("promptAnswer"); // invalid: no prompt; null string: cancelled
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");

    const QByteArray server = serverSection();
    QTest::newRow("stored password") << server << QVariant(kPassword) << QVariant() << true << "";
    QTest::newRow("wrong stored password") << server << QVariant(QStringLiteral("wrong-one")) << QVariant() << false
                                           << "password authentication failed";
    QTest::newRow("asked when the store has none") << server << QVariant() << QVariant(kPassword) << true << "";
    QTest::newRow("asking cancelled") << server << QVariant() << QVariant(QString()) << false
                                      << "No password was given";
    QTest::newRow("unknown driver") << QByteArray("[Database]\r\nDriver=ORACLE\r\n") << QVariant(kPassword) << QVariant()
                                    << false << "Driver=ORACLE in section [Database] is neither SQLITE nor PSQL";
    QTest::newRow("port out of range") << QByteArray("[Database]\r\nDriver=psql\r\nPort=70000\r\n") << QVariant(kPassword)
                                       << QVariant() << false << "Port=70000";
    QTest::newRow("no such database") << serverSection("Name=none_here\r\n").replace("Name=" + kDatabase.toUtf8() + "\r\n", "")
                                      << QVariant(kPassword) << QVariant() << false << "none_here";
    QTest::newRow("SQLite by default") << QByteArray("[Database]\r\nHost=127.0.0.1\r\n") << QVariant() << QVariant() << true
                                       << "";
}

void TestPgsql::settings()
{
    QFETCH(QByteArray, section);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, promptAnswer);
    QFETCH(bool, ok);
    QFETCH(QString, message);

    setStoredPassword(stored);
    int asked = 0;
    if (promptAnswer.isValid())
        SetDatabasePasswordPrompt([&](const MainDatabaseSettings& s) -> std::optional<QString> {
            ++asked;
            if (s.describe() != QStringLiteral("shop@127.0.0.1:%1/%2").arg(m_server.port()).arg(kDatabase))
                return std::nullopt;
            const QString answer = promptAnswer.toString();
            return answer.isNull() ? std::nullopt : std::optional<QString>(answer);
        });
    const QString bin = makeTree(section);
    bool started;
    {
        AppContext ctx;
        started = ctx.InitApplication(bin);
    }
    setStoredPassword(kPassword);
    QCOMPARE(asked, promptAnswer.isValid() ? 1 : 0);
    QString reports;
    for (const auto& e : m_reporter.entries)
        reports += e.source + QStringLiteral(":    ") + e.description + u'\n';
    QVERIFY2(started == ok, qPrintable(reports));
    if (!message.isEmpty())
        QVERIFY2(reports.contains(message), qPrintable(reports));
    // The password never reaches a message or the log.
    QVERIFY(!reports.contains(kPassword));
    QVERIFY(!reports.contains(QStringLiteral("wrong-one")));
    for (const QString& f : QDir(bin + QStringLiteral("/log")).entryList(QDir::Files)) {
        QFile log(bin + QStringLiteral("/log/") + f);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(log.readAll().constData()),
                                                log.size() / 2);
        QVERIFY(!text.contains(kPassword));
        QVERIFY(!text.contains(QStringLiteral("wrong-one")));
    }
}

QTEST_GUILESS_MAIN(TestPgsql)
#include "test_pgsql.moc"
