#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/fileutil.h"
#include "platform/ini.h"
#include "platform/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>
#include <atomic>

namespace quillon {

namespace {

std::atomic<int> g_connectionCounter{0};
DatabasePasswordPrompt g_passwordPrompt;

QString errorText(const QSqlError& e)
{
    const QString db = e.databaseText().trimmed();
    const QString driver = e.driverText().trimmed();
    if (!db.isEmpty() && !driver.isEmpty() && db != driver)
        return db + QStringLiteral(" (") + driver + QLatin1Char(')');
    return db.isEmpty() ? (driver.isEmpty() ? QStringLiteral("Unknown database error.") : driver) : db;
}

bool isLanguageName(const QString& s)
{
    return s == QLatin1String("English") || s == QLatin1String("Chinese") || s == QLatin1String("Other");
}

// Statements end with a ';' at the end of a line; lines starting with "--" are comments.
QStringList splitSeed(const QString& text)
{
    QStringList statements;
    QString current;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("--")))
            continue;
        if (trimmed.endsWith(QLatin1Char(';'))) {
            current += line.left(line.lastIndexOf(QLatin1Char(';')));
            if (!current.trimmed().isEmpty())
                statements.append(current);
            current.clear();
        } else {
            current += line + QLatin1Char('\n');
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current);
    return statements;
}

// The seed files of a prefix in the order they run: name order without the
// extension, so "language.sql" runs before "language-shell.sql".
QStringList orderedSeeds(const QDir& seedDir, const QString& seedPrefix)
{
    QStringList seeds = seedDir.entryList({seedPrefix + QStringLiteral("*.sql")}, QDir::Files);
    std::sort(seeds.begin(), seeds.end(), [](const QString& a, const QString& b) {
        const QString ka = a.left(a.size() - 4);
        const QString kb = b.left(b.size() - 4);
        return ka == kb ? a < b : ka < kb;
    });
    return seeds;
}

// The table a seed statement makes or fills ("" for anything else), lower case.
QString seedStatementTable(const QString& statement)
{
    static const QRegularExpression re(
        QStringLiteral(R"re(^\s*(?:CREATE\s+TABLE|INSERT\s+INTO|CREATE\s+(?:UNIQUE\s+)?INDEX\s+\w+\s+ON)\s+"?(\w+)"?)re"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(statement);
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

// The column definitions of a seed's CREATE TABLE statement, by lower-case name:
// the parts between the outer parentheses, table constraints left out.
QList<QPair<QString, QString>> seedColumns(const QString& statement)
{
    QList<QPair<QString, QString>> columns;
    const qsizetype open = statement.indexOf(QLatin1Char('('));
    const qsizetype close = statement.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close <= open)
        return columns;
    QStringList parts;
    QString current;
    int depth = 0;
    for (QChar c : statement.mid(open + 1, close - open - 1)) {
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        if (c == QLatin1Char(',') && depth == 0) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    static const QStringList constraints = {QStringLiteral("primary"), QStringLiteral("unique"),
                                            QStringLiteral("foreign"), QStringLiteral("constraint"),
                                            QStringLiteral("check")};
    for (const QString& part : std::as_const(parts)) {
        const QString def = part.simplified();
        const QString name = def.section(QLatin1Char(' '), 0, 0).remove(QLatin1Char('"')).toLower();
        if (!name.isEmpty() && !constraints.contains(name))
            columns.append({name, def});
    }
    return columns;
}

// Adds to the tables that exist the columns a newer seed gives them, so that an
// older database keeps its rows and gains the column (Null in every row).
// Returns "" or the failure; *added counts the columns.
QString addMissingSeedColumns(QSqlDatabase& db, const QDir& seedDir, const QStringList& seeds, int* added)
{
    QSqlQuery q(db);
    const QStringList tables = db.tables();
    for (const QString& name : seeds) {
        QFile f(seedDir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("%1: %2").arg(name, f.errorString());
        for (const QString& statement : splitSeed(QString::fromUtf8(f.readAll()))) {
            if (!statement.trimmed().startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive))
                continue;
            const QString table = seedStatementTable(statement);
            const auto found = std::find_if(tables.cbegin(), tables.cend(), [&table](const QString& t) {
                return t.compare(table, Qt::CaseInsensitive) == 0;
            });
            if (found == tables.cend())
                continue;
            const QSqlRecord record = db.record(*found);
            QSet<QString> have;
            for (int i = 0; i < record.count(); ++i)
                have.insert(record.fieldName(i).toLower());
            for (const auto& [column, def] : seedColumns(statement)) {
                if (have.contains(column))
                    continue;
                if (!q.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(*found, def)))
                    return QStringLiteral("%1, column %2 of %3: %4").arg(name, column, *found, errorText(q.lastError()));
                ++*added;
            }
        }
    }
    return QString();
}

void dropConnection(const QString& name)
{
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

QString MainDatabaseSettings::describe() const
{
    QString s = user.isEmpty() ? QString() : user + QLatin1Char('@');
    return s + host + QLatin1Char(':') + QString::number(port) + QLatin1Char('/') + name;
}

bool ReadMainDatabaseSettings(const QString& iniFile, MainDatabaseSettings* out, QString* error)
{
    const QString section = QStringLiteral("Database");
    MainDatabaseSettings s;
    const QString driver = ReadIniString(section, QStringLiteral("Driver"), iniFile).trimmed();
    if (driver.isEmpty() || driver.compare(QLatin1String("SQLITE"), Qt::CaseInsensitive) == 0) {
        s.driver = MainDatabaseSettings::Driver::Sqlite;
    } else if (driver.compare(QLatin1String("PSQL"), Qt::CaseInsensitive) == 0) {
        s.driver = MainDatabaseSettings::Driver::Psql;
    } else {
        // Falling back to the local file would quietly split the store's shared scale list.
        *error = QStringLiteral("Driver=%1 in section [Database] is neither SQLITE nor PSQL.").arg(driver);
        return false;
    }
    const QString host = ReadIniString(section, QStringLiteral("Host"), iniFile).trimmed();
    if (!host.isEmpty())
        s.host = host;
    const QString port = ReadIniString(section, QStringLiteral("Port"), iniFile).trimmed();
    if (!port.isEmpty()) {
        bool ok = false;
        const int p = port.toInt(&ok);
        if (!ok || p < 1 || p > 65535) {
            *error = QStringLiteral("Port=%1 in section [Database] is not a port number (1 to 65535).").arg(port);
            return false;
        }
        s.port = p;
    }
    const QString name = ReadIniString(section, QStringLiteral("Name"), iniFile).trimmed();
    if (!name.isEmpty())
        s.name = name;
    s.user = ReadIniString(section, QStringLiteral("User"), iniFile).trimmed();
    *out = s;
    return true;
}

void SetDatabasePasswordPrompt(DatabasePasswordPrompt prompt)
{
    g_passwordPrompt = std::move(prompt);
}

Database::Database()
{
    const int n = ++g_connectionCounter;
    m_mainConn = QStringLiteral("quillon-main-%1").arg(n);
    m_languageConn = QStringLiteral("quillon-language-%1").arg(n);
}

Database::~Database()
{
    Close();
}

void Database::setLanguage(const QString& language)
{
    const QString lang = isLanguageName(language) ? language : QStringLiteral("English");
    if (lang != m_language) {
        m_language = lang;
        m_langQuery.reset();
    }
}

QSqlDatabase Database::mainDb() const
{
    return QSqlDatabase::database(m_mainConn, false);
}

QSqlDatabase Database::languageDb() const
{
    return QSqlDatabase::database(m_languageConn, false);
}

void Database::Close()
{
    m_langQuery.reset();
    m_open = false;
    dropConnection(m_languageConn);
    dropConnection(m_mainConn);
}

bool Database::OpenDatabases(const QString& rootPath)
{
    Close();
    QString root = rootPath;
    root.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!root.isEmpty() && !root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    const QString folder = root + QStringLiteral("Database");
    m_languagePath = folder + QLatin1Char('/') + QLatin1String(kLanguageFile);
    m_mainPath = isMainOnServer() ? QStringLiteral("PostgreSQL ") + m_mainSettings.describe()
                                  : folder + QLatin1Char('/') + QLatin1String(kMainFile);

    if (!MakeDir(folder))
        return false;
    if (!openOne(m_languageConn, m_languagePath, QStringLiteral("language")) || !checkLanguageTable()) {
        Close();
        return false;
    }
    addMissingTexts();
    const bool mainOpened = isMainOnServer()
                                ? openServer(m_mainConn)
                                : openOne(m_mainConn, m_mainPath, QStringLiteral("vexo2005")) &&
                                      createMissingTables(QStringLiteral("OpenDatabases ") + m_mainPath, false);
    if (!mainOpened) {
        Close();
        return false;
    }
    m_open = true;
    return true;
}

bool Database::openOne(const QString& connectionName, const QString& path, const QString& seedPrefix)
{
    const QString source = QStringLiteral("OpenDatabases ") + path;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        ReportError(source, QStringLiteral("The database path is not a file."));
        return false;
    }
    if (!info.exists() && !createFromSeeds(path, seedPrefix))
        return false;

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (!db.open()) {
        ReportError(source, errorText(db.lastError()));
        return false;
    }
    QSqlQuery q(db);
    // SQLite opens any file lazily; reading the schema tells a database from anything else.
    if (!q.exec(QStringLiteral("select count(*) from sqlite_master"))) {
        ReportError(source, errorText(q.lastError()));
        return false;
    }
    // An empty or truncated file opens as an empty database; it is none of ours.
    if (!q.next() || q.value(0).toInt() == 0) {
        ReportError(source, QStringLiteral("The file holds no database tables."));
        return false;
    }
    // The program writes to both files (scale list, texts): a read-only or locked
    // file is refused now rather than failing at the first change.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        ReportError(source, errorText(q.lastError()));
        return false;
    }
    q.exec(QStringLiteral("ROLLBACK"));
    return true;
}

QString Database::runSeeds(QSqlDatabase& db, const QDir& seedDir, const QStringList& seeds)
{
    QSqlQuery q(db);
    for (const QString& name : seeds) {
        QFile f(seedDir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("%1: %2").arg(name, f.errorString());
        const QStringList statements = splitSeed(QString::fromUtf8(f.readAll()));
        for (qsizetype i = 0; i < statements.size(); ++i) {
            if (!q.exec(statements[i]))
                return QStringLiteral("%1, statement %2: %3").arg(name).arg(i + 1).arg(errorText(q.lastError()));
        }
    }
    return QString();
}

void Database::addMissingTexts()
{
    // A newer program brings texts an existing file lacks; without them every new
    // caption would be an error box. Rows the file already has are never changed.
    QDir seedDir(m_seedFolder);
    const QStringList seeds = orderedSeeds(seedDir, QStringLiteral("language"));
    if (seeds.isEmpty())
        return;
    const QString conn = QStringLiteral("quillon-texts-%1").arg(++g_connectionCounter);
    QString failure;
    int added = 0;
    {
        QSqlDatabase seed = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        seed.setDatabaseName(QStringLiteral(":memory:"));
        if (!seed.open()) {
            failure = errorText(seed.lastError());
        } else {
            failure = runSeeds(seed, seedDir, seeds);
            QSqlDatabase target = languageDb();
            QSqlQuery rows(seed);
            if (failure.isEmpty()
                && rows.exec(QStringLiteral("select E_NAME, Caption, English, Chinese, Other from tbl_LANGUAGE"))) {
                QSqlQuery insert(target);
                insert.prepare(QStringLiteral(
                    "insert into tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) select ?, ?, ?, ?, ? "
                    "where not exists (select 1 from tbl_LANGUAGE where E_NAME = ? and Caption = ?)"));
                target.transaction();
                while (failure.isEmpty() && rows.next()) {
                    for (int c = 0; c < 5; ++c)
                        insert.addBindValue(rows.value(c));
                    insert.addBindValue(rows.value(0));
                    insert.addBindValue(rows.value(1));
                    if (!insert.exec())
                        failure = errorText(insert.lastError());
                    else
                        added += insert.numRowsAffected() > 0 ? 1 : 0;
                }
                if (failure.isEmpty())
                    target.commit();
                else
                    target.rollback();
            }
            rows.finish();
            seed.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    if (!failure.isEmpty())
        WriteLog(QStringLiteral("OpenDatabases %1:    texts not brought up to date: %2").arg(m_languagePath, failure));
    else if (added > 0)
        WriteLog(QStringLiteral("OpenDatabases %1:    %2 new texts added").arg(m_languagePath).arg(added));
}

bool Database::createFromSeeds(const QString& path, const QString& seedPrefix)
{
    const QString source = QStringLiteral("OpenDatabases ") + path;
    QDir seedDir(m_seedFolder);
    const QStringList seeds = orderedSeeds(seedDir, seedPrefix);
    if (seeds.isEmpty()) {
        ReportError(source, QStringLiteral("The database file is missing and there is no SQL seed (%1*.sql) to create it.")
                                .arg(seedPrefix));
        return false;
    }

    // Built under another name and renamed when complete, so a failed seed never
    // leaves a half-made database that the next start would take as it is.
    const QString tmpPath = path + QStringLiteral(".new");
    QFile::remove(tmpPath);
    const QString conn = QStringLiteral("quillon-seed-%1").arg(++g_connectionCounter);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(tmpPath);
        if (!db.open()) {
            failure = errorText(db.lastError());
        } else {
            db.transaction();
            failure = runSeeds(db, seedDir, seeds);
            if (failure.isEmpty() && !db.commit())
                failure = errorText(db.lastError());
            if (!failure.isEmpty())
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);

    if (failure.isEmpty() && !QFile::rename(tmpPath, path))
        failure = QStringLiteral("The new database cannot be moved into place.");
    if (!failure.isEmpty()) {
        QFile::remove(tmpPath);
        ReportError(source, failure);
        return false;
    }
    return true;
}

bool Database::openServer(const QString& connectionName)
{
    const QString source = QStringLiteral("OpenDatabases ") + m_mainPath;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        ReportError(source, QStringLiteral("The PostgreSQL driver of Qt is not installed (Debian package libqt6sql6-psql)."));
        return false;
    }
    QString password;
    bool havePassword = false;
    {
        const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon"),
                              QStringLiteral("Quillon"));
        const QVariant v = store.value(QLatin1String(kDatabasePasswordKey));
        if (v.isValid()) {
            password = v.toString();
            havePassword = true;
        }
    }
    if (!havePassword && g_passwordPrompt) {
        const std::optional<QString> asked = g_passwordPrompt(m_mainSettings);
        if (!asked) {
            ReportError(source, QStringLiteral("No password was given for the database server."));
            return false;
        }
        password = *asked;
        havePassword = true;
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(m_mainSettings.host);
    db.setPort(m_mainSettings.port);
    db.setDatabaseName(m_mainSettings.name);
    if (!m_mainSettings.user.isEmpty())
        db.setUserName(m_mainSettings.user);
    if (havePassword)
        db.setPassword(password);
    // An unreachable server must not hold the start for minutes.
    db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    const bool opened = db.open();
    // The connection keeps its own copy; nothing else needs the password.
    db.setPassword(QString());
    if (!opened) {
        ReportError(source, errorText(db.lastError()));
        return false;
    }
    return createMissingTables(source, true);
}

bool Database::createMissingTables(const QString& source, bool server)
{
    QDir seedDir(m_seedFolder);
    const QStringList seeds = orderedSeeds(seedDir, QStringLiteral("vexo2005"));
    if (seeds.isEmpty()) {
        ReportError(source, QStringLiteral("There is no SQL seed (vexo2005*.sql) for the tables of the main database."));
        return false;
    }
    QSqlDatabase db = mainDb();
    QString failure;
    int created = 0;
    {
        QSqlQuery q(db);
        if (!db.transaction()) {
            ReportError(source, errorText(db.lastError()));
            return false;
        }
        // Workstations starting together: the first makes the tables, the others
        // wait here and then find them.
        if (server && !q.exec(QStringLiteral("select pg_advisory_xact_lock(2005052)")))
            failure = errorText(q.lastError());
        QSet<QString> existing;
        if (failure.isEmpty()) {
            if (!q.exec(server ? QStringLiteral("select lower(table_name) from information_schema.tables "
                                                "where table_schema = current_schema()")
                               : QStringLiteral("select lower(name) from sqlite_master where type = 'table'")))
                failure = errorText(q.lastError());
            while (failure.isEmpty() && q.next())
                existing.insert(q.value(0).toString());
        }
        // Each seed statement makes or fills one table; a table already there,
        // with whatever rows the store has, is left alone.
        for (const QString& name : seeds) {
            if (!failure.isEmpty())
                break;
            QFile f(seedDir.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) {
                failure = QStringLiteral("%1: %2").arg(name, f.errorString());
                break;
            }
            const QStringList statements = splitSeed(QString::fromUtf8(f.readAll()));
            for (qsizetype i = 0; i < statements.size() && failure.isEmpty(); ++i) {
                const QString table = seedStatementTable(statements[i]);
                if (table.isEmpty() || existing.contains(table))
                    continue;
                if (!q.exec(statements[i]))
                    failure = QStringLiteral("%1, statement %2: %3").arg(name).arg(i + 1).arg(errorText(q.lastError()));
                else if (statements[i].trimmed().startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive))
                    ++created;
            }
        }
        q.finish();
        if (failure.isEmpty())
            failure = addMissingSeedColumns(db, seedDir, seeds, &created);
    }
    if (failure.isEmpty() && !db.commit())
        failure = errorText(db.lastError());
    if (!failure.isEmpty()) {
        db.rollback();
        ReportError(source, failure);
        return false;
    }
    if (created > 0)
        WriteLog(QStringLiteral("OpenDatabases %1: %2 missing table(s) or column(s) created").arg(m_mainPath).arg(created));
    return true;
}

bool Database::checkLanguageTable()
{
    QSqlQuery q(languageDb());
    if (!q.exec(QStringLiteral("PRAGMA table_info(tbl_LANGUAGE)"))) {
        ReportError(QStringLiteral("OpenDatabases ") + m_languagePath, errorText(q.lastError()));
        return false;
    }
    QSet<QString> columns;
    while (q.next())
        columns.insert(q.value(1).toString().toUpper());
    if (columns.isEmpty()) {
        ReportError(QStringLiteral("OpenDatabases ") + m_languagePath, QStringLiteral("The table tbl_LANGUAGE is missing."));
        return false;
    }
    for (const char* name : {"E_NAME", "Caption", "English", "Chinese", "Other"}) {
        if (!columns.contains(QString::fromLatin1(name).toUpper())) {
            ReportError(QStringLiteral("OpenDatabases ") + m_languagePath,
                        QStringLiteral("The table tbl_LANGUAGE has no column %1.").arg(QLatin1String(name)));
            return false;
        }
    }
    return true;
}

std::optional<QSqlQuery> Database::QueryVexoDB(const QString& sql)
{
    return QueryVexoDB(sql, {});
}

std::optional<QSqlQuery> Database::QueryVexoDB(const QString& sql, const QVariantList& params)
{
    const QString source = QStringLiteral("QueryVexoDB ") + sql;
    WriteLog(source);
    if (!QSqlDatabase::contains(m_mainConn) || !mainDb().isOpen()) {
        ReportError(source, QStringLiteral("The main database is not open."));
        return std::nullopt;
    }
    QSqlQuery q(mainDb());
    bool ok;
    if (params.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        if (ok) {
            for (const QVariant& v : params)
                q.addBindValue(v);
            ok = q.exec();
        }
    }
    if (!ok) {
        ReportError(source, errorText(q.lastError()));
        return std::nullopt;
    }
    return q;
}

QString Database::GetLangString(const QString& section, const QString& key)
{
    const QString source = QStringLiteral("GetLangString (%1, %2)").arg(section, key);
    if (!QSqlDatabase::contains(m_languageConn) || !languageDb().isOpen()) {
        ReportError(source, QStringLiteral("The language database is not open."));
        return QString(QLatin1String(""));
    }
    if (!m_langQuery) {
        // The column name is one of three fixed names, never caller text.
        m_langQuery = std::make_unique<QSqlQuery>(languageDb());
        if (!m_langQuery->prepare(QStringLiteral("select \"%1\" from tbl_LANGUAGE where E_NAME = ? collate nocase "
                                                 "and Caption = ? collate nocase")
                                      .arg(m_language))) {
            const QString why = errorText(m_langQuery->lastError());
            m_langQuery.reset();
            ReportError(source, why);
            return QString(QLatin1String(""));
        }
    }
    QSqlQuery& q = *m_langQuery;
    q.bindValue(0, QString::fromLatin1(kProgramName));
    q.bindValue(1, section + QLatin1Char('.') + key);
    QString text;
    QString why;
    if (!q.exec())
        why = errorText(q.lastError());
    else if (!q.next())
        why = QStringLiteral("No text for this key in the language table.");
    else if (q.value(0).isNull())
        why = QStringLiteral("The text of this key in column %1 is Null.").arg(m_language);
    else
        text = q.value(0).toString();
    q.finish();
    if (!why.isEmpty()) {
        ReportError(source, why);
        return QString(QLatin1String(""));
    }
    return text;
}

} // namespace quillon
