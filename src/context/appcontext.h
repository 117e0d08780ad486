#pragma once
// Start-up without any window: folders, INI settings, log folder, databases,
// scale models, option lists, character sizes, code-page tables, catalogue.
// The program, the tools and the tests all start through this.
#include "context/texts.h"
#include "model/tables.h"
#include <QString>
#include <memory>

namespace quillon {

class Database;

struct RuntimePaths {
    QString g_strAppPath;   // program folder, ends with "/"
    QString g_strRootPath;  // its parent, ends with "/"; the per-user root on an installed system
    QString g_strIniFile;   // g_strRootPath + "Vexo2005.INI"
    // The writable part of the program folder (the "log" folder, per-scale and
    // result files of a transfer), ends with "/". The program folder itself in a
    // writable tree; g_strRootPath + "bin/" with a per-user root.
    QString g_strWorkPath;
    bool bPerUserRoot = false;
};

// The program folder: $QUILLON_PROGRAM_DIR when set, else `fallback` (the executable's folder).
QString ProgramDirectory(const QString& fallback);
RuntimePaths ComputeRuntimePaths(const QString& programDir);

// True when files can be made in the folder: the process may write there and the
// folder has a write permission bit at all (root may write into anything, but a
// tree made read-only is still an installed one).
bool IsWritableFolder(const QString& path);
// The per-user root of an installed system: the user's data location of the
// program ("Quillon/Quillon" under the XDG data folder), whichever executable asks. Ends with "/".
QString PerUserRootPath();
// ComputeRuntimePaths, then the per-user root when the program folder or its parent
// is not writable. Creates nothing.
RuntimePaths ResolveRuntimePaths(const QString& programDir);
// Makes the per-user root and its work folder, copying the shipped INI template
// (and any database files shipped in the installed root) when missing. Copies are
// made writable. False after a reported error.
bool PreparePerUserRoot(const RuntimePaths& paths, const QString& installedRoot);

// Set to a number of milliseconds, the program quits that long after its start:
// a smoke test of an installed copy without a display or a user.
constexpr const char* kQuitAfterStartVariable = "QUILLON_QUIT_AFTER_START";

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
    // The two option lists of "Global" split at "|", and the texts of refused property edits.
    bool LoadComboLists();

    RuntimePaths paths;
    Tables tables;
    Database& db();

private:
    std::unique_ptr<Database> m_db;
};

// The program's one context (set by main); tools and tests make their own.
// Setting it makes its localisation database the source of GetLangString; once it
// is unset or destroyed, a lookup reports the error and gives "".
AppContext& App();
void SetApp(AppContext* ctx);

} // namespace quillon
