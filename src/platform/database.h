#pragma once
// The two SQLite databases of the root folder: "Database/VEXO2005.sqlite" (scale
// models, scales) and "Database/language.sqlite" (the interface texts).
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <memory>
#include <optional>

namespace quillon {

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
    QString mainFilePath() const { return m_mainPath; }
    QString languageFilePath() const { return m_languagePath; }

private:
    bool openOne(const QString& connectionName, const QString& path, const QString& seedPrefix);
    bool createFromSeeds(const QString& path, const QString& seedPrefix);
    bool checkLanguageTable();

    QString m_mainConn;
    QString m_languageConn;
    QString m_mainPath;
    QString m_languagePath;
    QString m_seedFolder = QStringLiteral(":/sql");
    QString m_language = QStringLiteral("English");
    bool m_open = false;
    std::unique_ptr<QSqlQuery> m_langQuery; // prepared once per language
};

} // namespace quillon
