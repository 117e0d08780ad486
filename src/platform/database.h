#pragma once
// The two SQLite databases of the root folder: "Database/VEXO2005.sqlite" (scale
// models, scales) and "Database/language.sqlite" (the interface texts). The main
// one can instead live on a PostgreSQL server that the workstations of a store share.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>

class QDir;

namespace quillon {

// Section "Database" of the INI file: where the main database lives.
struct MainDatabaseSettings {
    enum class Driver { Sqlite, Psql };
    Driver driver = Driver::Sqlite;   // "Driver": "SQLITE" (default) or "PSQL"
    QString host = QStringLiteral("localhost"); // "Host"
    int port = 5432;                  // "Port"
    QString name = QStringLiteral("quillon");   // "Name": the database on the server
    QString user;                     // "User"; empty: the login name
    // "user@host:port/name", for messages (never with the password).
    QString describe() const;
};

// Reads section "Database" of the INI file (missing keys keep the defaults).
// False with *error for a driver or port nobody can have meant.
bool ReadMainDatabaseSettings(const QString& iniFile, MainDatabaseSettings* out, QString* error);

// The server password comes from the per-user settings store ("Quillon"/"Quillon",
// this key); when the store has none the prompt is asked, if one is set (the GUI
// sets one, tools do not). Without either, the connection goes without a password
// (trust, peer or ~/.pgpass). The prompt returns nullopt when the user cancels.
constexpr const char* kDatabasePasswordKey = "Database/Password";
using DatabasePasswordPrompt = std::function<std::optional<QString>(const MainDatabaseSettings&)>;
void SetDatabasePasswordPrompt(DatabasePasswordPrompt prompt);

class Database {
public:
    static constexpr const char* kMainFile = "VEXO2005.sqlite";
    static constexpr const char* kLanguageFile = "language.sqlite";
    // E_NAME of every text row this program reads, whichever executable asks.
    static constexpr const char* kProgramName = "QUILLON.EXE";

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Folder of the SQL seeds that create a missing database file (files
    // "vexo2005*.sql" and "language*.sql", run in name order). Default ":/sql".
    void setSeedFolder(const QString& folder) { m_seedFolder = folder; }
    QString seedFolder() const { return m_seedFolder; }

    // Where OpenDatabases finds the main database; SQLite unless told otherwise.
    // On a server the seeds' tables that are missing are created there.
    void setMainSettings(const MainDatabaseSettings& settings) { m_mainSettings = settings; }
    const MainDatabaseSettings& mainSettings() const { return m_mainSettings; }
    bool isMainOnServer() const { return m_mainSettings.driver == MainDatabaseSettings::Driver::Psql; }

    // Opens both files under rootPath + "Database/", creating the folder and a
    // missing file from the seeds; an existing file is never replaced. A file
    // that is not a database, is locked or read-only, or lacks the text table
    // is reported and gives false.
    bool OpenDatabases(const QString& rootPath);
    void Close();
    bool isOpen() const { return m_open; }

    // "English", "Chinese" or "Other": the column GetLangString reads.
    void setLanguage(const QString& language);
    QString language() const { return m_language; }

    // Logs "QueryVexoDB " + sql and runs it on the main database. Failures are
    // reported with that same source and give no result.
    std::optional<QSqlQuery> QueryVexoDB(const QString& sql);
    // The same with bound values ("?" placeholders); the log line shows the SQL text.
    std::optional<QSqlQuery> QueryVexoDB(const QString& sql, const QVariantList& params);

    // The text of section + "." + key in the current language; "" after a
    // reported error (no such row, Null text, no database).
    QString GetLangString(const QString& section, const QString& key);

    QSqlDatabase mainDb() const;
    QSqlDatabase languageDb() const;
    // The file, or the server's describe() text.
    QString mainFilePath() const { return m_mainPath; }
    QString languageFilePath() const { return m_languagePath; }

private:
    bool openOne(const QString& connectionName, const QString& path, const QString& seedPrefix);
    bool createFromSeeds(const QString& path, const QString& seedPrefix);
    bool checkLanguageTable();
    // The columns newer seeds give tables of an existing SQLite main database.
    bool addMissingColumns();
    void addMissingTexts();
    static QString runSeeds(QSqlDatabase& db, const QDir& seedDir, const QStringList& seeds);
    bool openServer(const QString& connectionName);
    bool createMissingServerTables(const QString& source);

    QString m_mainConn;
    QString m_languageConn;
    QString m_mainPath;
    QString m_languagePath;
    QString m_seedFolder = QStringLiteral(":/sql");
    QString m_language = QStringLiteral("English");
    MainDatabaseSettings m_mainSettings;
    bool m_open = false;
    std::unique_ptr<QSqlQuery> m_langQuery; // prepared once per language
};

} // namespace quillon
