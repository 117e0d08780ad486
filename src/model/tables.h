#pragma once
// The shared tables built once at start-up and read-only afterwards. Every model
// function takes them by const reference, so a tool or a test can load its own set.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <functional>
#include <memory>

namespace quillon {

class IranCharConvert;

// Field type codes; compared everywhere as numbers.
enum FieldTypeCode : qint32 {
    FT_B1 = 0, FT_B2 = 1, FT_B3 = 2, FT_B4 = 3, FT_B5 = 4,
    FT_C1 = 5, FT_C2 = 6, FT_C3 = 7, FT_C4 = 8, FT_N1 = 9,
    FT_TEXT = 10, FT_SHOPNAME = 11
};

struct ScaleModel {
    qint16 ID = 0;
    QString SCALE_NAME;
    qint16 MAX_WIDTH = 0;
    qint16 MIN_WIDTH = 0;
    qint16 MAX_HEIGHT = 0;
    qint16 MIN_HEIGHT = 0;
    qint16 MM_PER_KDOT = 0;
};

struct FieldFont {
    QString Name;
    qint16 Code = 0;
    qint16 Width = 0;
    qint16 Height = 0;
};

struct FieldDef {
    QString Name;
    qint32 FieldType = FT_B1;
    float X = 0, Y = 0, Width = 0, Height = 0;
};

using CodePageTable = std::array<qint16, 128>; // index = byte - 128

struct Tables {
    QString g_strLanguage = QStringLiteral("English"); // "English", "Chinese" or "Other"
    QString softwareName;                                // localised "SoftwareName" (line 1 of a QLF)

    QVector<ScaleModel> g_arrScaleModel;  // sorted by SCALE_NAME
    QVector<FieldFont> g_arrFieldFont;    // file order of "FieldFont.dsc"
    QVector<FieldDef> g_arrFieldDef;      // catalogue order
    QStringList g_varPrintStatusList;     // "catPos_PrintStatusCombo" split at "|"
    QStringList g_varLogoSizeList;        // "catLogoSize_SizeCombo" split at "|"
    // Why a property edit is refused, in the interface language once start-up has
    // read the texts; the English ones serve tools and tests.
    QString msgValueForbiddenChars = QStringLiteral("A value cannot contain a double quote or a line break.");
    QString msgAngleChoices = QStringLiteral("The angle must be 0, 90, 180 or 270.");

    CodePageTable g_arrCp852ToCp1250{};
    CodePageTable g_arrCp1250ToCp852{};
    CodePageTable g_arrCp866ToCp1251{};
    CodePageTable g_arrCp1251ToCp866{};

    qint16 g_iSetLanguageCodepage = 0;     // 1 = convert texts exchanged with the scale
    qint16 g_iLangeCodepageToConvert = 0;  // 0 = 1250/852, 1 = 1251/866, 2 = Persian (Iran System)
    int m_iAnsiCodepage = 1252;            // the workstation's ANSI code page (INI "AnsiCodepage")

    // Exists only in Persian mode (g_iSetLanguageCodepage 1 and g_iLangeCodepageToConvert 2).
    std::shared_ptr<const IranCharConvert> g_objIranConvert;

    // Highest index, -1 when empty.
    int g_iScaleModelMax() const { return int(g_arrScaleModel.size()) - 1; }
    int g_iFieldFontMax() const { return int(g_arrFieldFont.size()) - 1; }
    int g_iFieldDefMax() const { return int(g_arrFieldDef.size()) - 1; }

    bool persianMode() const { return g_iSetLanguageCodepage == 1 && g_iLangeCodepageToConvert == 2; }
    bool tableMode() const {
        return g_iSetLanguageCodepage == 1 && (g_iLangeCodepageToConvert == 0 || g_iLangeCodepageToConvert == 1);
    }
};

// Default ANSI code page when the INI does not name one: 1250 in table mode 0,
// 1251 in table mode 1, 1256 in Persian mode, else 1252.
int DefaultAnsiCodepage(qint16 setLanguageCodepage, qint16 langeCodepageToConvert);

// Fills the four 852/866 <-> 1250/1251 tables, exceptions included.
void BuildCodePageTables(Tables& t);

// --- lookups over the tables ------------------------------------------------
// Type name to code, compared in upper case; unknown names give 0 and *unknown = true
// (the caller shows "GetFieldType parameter error: Unknown type\r\n\t\t\t" + name).
qint32 GetFieldType(const QString& name, bool* unknown = nullptr);
QString GetFieldTypeErrorText(const QString& name);
QString FontNameToCode(const Tables& t, const QString& name);  // 2 upper-case hex chars, "00" when unknown
QString FontCodeToName(const Tables& t, int code);              // name of entry 0 when unknown ("" when empty)
int FontIndexByName(const Tables& t, const QString& name);      // 0 when unknown
int ScaleModelIndexByName(const Tables& t, const QString& name);// 0 when unknown
int FindScaleModelIndexByID(const Tables& t, int id);           // 0 when unknown
// Entry length in characters of a field type in the F52 record; 0 for codes outside 0..11.
int FieldEntryLength(qint32 fieldType);

// --- readers of the program folder's text files ------------------------------
// "FieldFont.dsc": one size per data line "name, hexcode, width, height".
// Lines with fewer than four parts are skipped and listed in *badLines (1-based).
QVector<FieldFont> ParseFieldFonts(const QByteArray& text, QList<int>* badLines = nullptr);

// The field catalogue ("FormatField.<language>.dsc"). The callbacks receive the
// groups and palette items as the reading pass meets them.
struct CatalogueCallbacks {
    std::function<void(int groupId, const QString& caption)> onGroup;
    std::function<void(int groupId, int fieldIndex, const QString& name)> onItem;
    std::function<void(const QString& unknownTypeName)> onUnknownType;
};
QVector<FieldDef> ParseFieldCatalogue(const QByteArray& text, const CatalogueCallbacks& cb = {});

} // namespace quillon
