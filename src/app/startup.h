#pragma once
// Start-up without any window: folders, INI settings, log folder, databases,
// scale models, option lists, character sizes, code-page tables, catalogue.
// The program, the tools and the tests all start through this.
#include "model/tables.h"
#include <QString>
#include <memory>

namespace quillon {

class Database;

struct RuntimePaths {
    QString g_strAppPath;   // program folder, ends with "/"
    QString g_strRootPath;  // its parent, ends with "/"
    QString g_strIniFile;   // g_strRootPath + "Vexo2005.INI"
};

// The program folder: $QUILLON_PROGRAM_DIR when set, else `fallback` (the executable's folder).
QString ProgramDirectory(const QString& fallback);
RuntimePaths ComputeRuntimePaths(const QString& programDir);

class AppContext {
public:
    AppContext();
    ~AppContext();

    // Folders, INI, log folder, OpenDatabases, LoadScaleModels, LoadComboLists,
    // and the "SoftwareName" text. False when a step failed (already reported).
    bool InitApplication(const QString& programDir);
    // "FieldFont.dsc" of the program folder into tables.g_arrFieldFont.
    bool LoadFieldFonts();
    // The four code-page tables, then the Persian converter when the settings ask for it.
    void BuildCodePageTables();
    // "FormatField.<language>.dsc" into tables.g_arrFieldDef.
    bool LoadFieldCatalogue(const CatalogueCallbacks& cb = {});
    // Everything a tool needs, in the program's order.
    bool LoadAll(const QString& programDir);

    // Steps of InitApplication, for callers that reload one table.
    // "select * from SCALE_MODEL order by SCALE_NAME" into tables.g_arrScaleModel.
    bool LoadScaleModels();
    // The two option lists of "Global" split at "|".
    bool LoadComboLists();

    RuntimePaths paths;
    Tables tables;
    Database& db();

private:
    std::unique_ptr<Database> m_db;
};

// The program's one context (set by main); tools and tests make their own.
AppContext& App();
void SetApp(AppContext* ctx);

// App().db().GetLangString(section, key): the localised text, "" after a reported error.
QString GetLangString(const QString& section, const QString& key);

} // namespace quillon
