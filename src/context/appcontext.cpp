#include "context/appcontext.h"
#include "context/texts.h"

#include "model/irancharconvert.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/fileutil.h"
#include "platform/ini.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <algorithm>
#include <unistd.h>
#endif

#include <cmath>
#include <optional>

namespace quillon {

namespace {

AppContext* g_app = nullptr;

// The program's text files are small; anything far larger is not one of them.
constexpr qint64 kMaxTextFileSize = 16 * 1024 * 1024;

std::optional<QByteArray> readProgramFile(const QString& path, const QString& source)
{
    QFile f(path);
    if (!f.exists()) {
        ReportError(source, QStringLiteral("The file %1 is missing.").arg(path));
        return std::nullopt;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        ReportError(source, QStringLiteral("The file %1 cannot be read: %2").arg(path, f.errorString()));
        return std::nullopt;
    }
    if (f.size() > kMaxTextFileSize) {
        ReportError(source, QStringLiteral("The file %1 is too large to be a data file of the program.").arg(path));
        return std::nullopt;
    }
    return f.readAll();
}

} // namespace

QString ProgramDirectory(const QString& fallback)
{
    const QString env = qEnvironmentVariable("QUILLON_PROGRAM_DIR");
    const QString dir = env.isEmpty() ? fallback : env;
    return QDir::fromNativeSeparators(QFileInfo(dir).absoluteFilePath());
}

RuntimePaths ComputeRuntimePaths(const QString& programDir)
{
    QString p = programDir;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    p = QDir::cleanPath(p);
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);

    RuntimePaths r;
    r.g_strAppPath = p.endsWith(QLatin1Char('/')) ? p : p + QLatin1Char('/');
    const qsizetype k = p.lastIndexOf(QLatin1Char('/'));
    if (p == QLatin1String("/"))
        r.g_strRootPath = p;
    else if (k >= 0)
        r.g_strRootPath = p.left(k + 1);
    else
        r.g_strRootPath = QStringLiteral("./");
    r.g_strIniFile = r.g_strRootPath + QStringLiteral("Vexo2005.INI");
    r.g_strWorkPath = r.g_strAppPath;
    return r;
}

bool IsWritableFolder(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK) != 0)
        return false;
#else
    if (!info.isWritable())
        return false;
#endif
    // The mode bits only: Qt's "User" bits follow access(), which lets root write anywhere.
    const QFileDevice::Permissions any = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (info.permissions() & any) != 0;
}

QString PerUserRootPath()
{
    // The program's AppDataLocation, also for the tools, whose own names differ.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return QString();
    return QDir::cleanPath(base + QStringLiteral("/Quillon/Quillon")) + QLatin1Char('/');
}

RuntimePaths ResolveRuntimePaths(const QString& programDir)
{
    RuntimePaths r = ComputeRuntimePaths(programDir);
    if (IsWritableFolder(r.g_strAppPath) && IsWritableFolder(r.g_strRootPath))
        return r;
    const QString user = PerUserRootPath();
    if (user.isEmpty())
        return r; // no home at all: the installed tree, and its errors, as they are
    r.bPerUserRoot = true;
    r.g_strRootPath = user;
    r.g_strIniFile = user + QStringLiteral("Vexo2005.INI");
    r.g_strWorkPath = user + QStringLiteral("bin/");
    return r;
}

namespace {

// Copies a shipped file when the user has none yet. The copy is made writable
// (the language menu writes the INI file; the program writes its databases)
// and appears whole or not at all.
bool copyTemplate(const QString& from, const QString& to)
{
    if (QFileInfo::exists(to) || !QFileInfo(from).isFile())
        return true;
    const QString source = QStringLiteral("PreparePerUserRoot ") + to;
    const QString tmp = to + QStringLiteral(".new");
    QFile::remove(tmp);
    if (!QFile::copy(from, tmp)) {
        ReportError(source, QStringLiteral("The file %1 cannot be copied.").arg(from));
        return false;
    }
    QFile::setPermissions(tmp, QFile::permissions(tmp) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!QFile::rename(tmp, to)) {
        QFile::remove(tmp);
        ReportError(source, QStringLiteral("The copy cannot be moved into place."));
        return false;
    }
    return true;
}

} // namespace

bool PreparePerUserRoot(const RuntimePaths& paths, const QString& installedRoot)
{
    if (!MakeDir(paths.g_strRootPath) || !MakeDir(paths.g_strWorkPath))
        return false;
    QString shipped = installedRoot;
    if (!shipped.endsWith(QLatin1Char('/')))
        shipped += QLatin1Char('/');
    if (!copyTemplate(shipped + QStringLiteral("Vexo2005.INI"), paths.g_strIniFile))
        return false;
    // An administrator may ship filled databases beside the template; otherwise
    // OpenDatabases makes them from the seeds.
    for (const char* name : {Database::kMainFile, Database::kLanguageFile}) {
        const QString from = shipped + QStringLiteral("Database/") + QLatin1String(name);
        if (!QFileInfo(from).isFile())
            continue;
        if (!MakeDir(paths.g_strRootPath + QStringLiteral("Database"))
            || !copyTemplate(from, paths.g_strRootPath + QStringLiteral("Database/") + QLatin1String(name)))
            return false;
    }
    return true;
}

AppContext::AppContext() : m_db(std::make_unique<Database>()) {}

AppContext::~AppContext()
{
    // The text lookup must not outlive the databases it reads.
    if (g_app == this)
        SetApp(nullptr);
}

Database& AppContext::db()
{
    return *m_db;
}

bool AppContext::InitApplication(const QString& programDir)
{
    paths = ResolveRuntimePaths(programDir);
    if (paths.bPerUserRoot && !PreparePerUserRoot(paths, ComputeRuntimePaths(programDir).g_strRootPath))
        return false;
    const QString section = QStringLiteral("Setting");
    const QString& ini = paths.g_strIniFile;

    const QString language = ReadIniString(section, QStringLiteral("Language"), ini);
    if (language == QLatin1String("English") || language == QLatin1String("Chinese")
        || language == QLatin1String("Other"))
        tables.g_strLanguage = language;
    else
        tables.g_strLanguage = QStringLiteral("English");

    tables.g_iSetLanguageCodepage = ReadIniNumber(section, QStringLiteral("SetLanguageCodepage"), ini);
    tables.g_iLangeCodepageToConvert = ReadIniNumber(section, QStringLiteral("LangeCodepageToConvert"), ini);

    // Linux has no system ANSI code page, so it is a setting; an unusable value
    // falls back to the one that fits the conversion settings.
    const double ansi = LeadingNumber(ReadIniString(section, QStringLiteral("AnsiCodepage"), ini));
    if (std::isfinite(ansi) && ansi >= 1 && ansi <= 65535)
        tables.m_iAnsiCodepage = int(std::nearbyint(ansi));
    else
        tables.m_iAnsiCodepage = DefaultAnsiCodepage(tables.g_iSetLanguageCodepage, tables.g_iLangeCodepageToConvert);

    const QString logFolder = paths.g_strWorkPath + QStringLiteral("log");
    if (!QFileInfo(logFolder).isFile())
        MakeDir(logFolder); // the program runs on without a log
    SetLogFolder(logFolder);

    MainDatabaseSettings server;
    QString why;
    if (!ReadMainDatabaseSettings(ini, &server, &why)) {
        ReportError(QStringLiteral("InitApplication ") + ini, why);
        return false;
    }
    m_db->setMainSettings(server);
    m_db->setLanguage(tables.g_strLanguage);
    if (!m_db->OpenDatabases(paths.g_strRootPath))
        return false;
    if (!LoadScaleModels())
        return false;
    if (!LoadComboLists())
        return false;
    tables.softwareName = m_db->GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName"));

    bool quitOk = false;
    const int quitAfter = qEnvironmentVariableIntValue(kQuitAfterStartVariable, &quitOk);
    if (quitOk && quitAfter >= 0 && QCoreApplication::instance())
        QTimer::singleShot(quitAfter, QCoreApplication::instance(), &QCoreApplication::quit);
    return true;
}

bool AppContext::LoadScaleModels()
{
    const QString source = QStringLiteral("LoadScaleModels");
    auto q = m_db->QueryVexoDB(QStringLiteral("select * from SCALE_MODEL order by SCALE_NAME"));
    if (!q) {
        ReportError(source, QStringLiteral("The scale models cannot be read from the main database."));
        return false;
    }

    const QSqlRecord rec = q->record();
    struct Column {
        const char* name;
        qint16 ScaleModel::*member;
        int index = -1;
    };
    Column intColumns[] = {
        {"ID", &ScaleModel::ID},
        {"MAX_WIDTH", &ScaleModel::MAX_WIDTH},
        {"MIN_WIDTH", &ScaleModel::MIN_WIDTH},
        {"MAX_HEIGHT", &ScaleModel::MAX_HEIGHT},
        {"MIN_HEIGHT", &ScaleModel::MIN_HEIGHT},
        {"MM_PER_KDOT", &ScaleModel::MM_PER_KDOT},
    };
    for (Column& c : intColumns) {
        c.index = rec.indexOf(QLatin1String(c.name));
        if (c.index < 0) {
            ReportError(source, QStringLiteral("The table SCALE_MODEL has no column %1.").arg(QLatin1String(c.name)));
            return false;
        }
    }
    const int nameIndex = rec.indexOf(QStringLiteral("SCALE_NAME"));
    if (nameIndex < 0) {
        ReportError(source, QStringLiteral("The table SCALE_MODEL has no column SCALE_NAME."));
        return false;
    }

    QVector<ScaleModel> models;
    int row = 0;
    while (q->next()) {
        ++row;
        ScaleModel m;
        const QVariant name = q->value(nameIndex);
        if (name.isNull()) {
            ReportError(source, QStringLiteral("SCALE_MODEL row %1: SCALE_NAME is Null.").arg(row));
            return false;
        }
        m.SCALE_NAME = name.toString();
        const QString where = QStringLiteral("SCALE_MODEL row %1 (\"%2\")").arg(row).arg(m.SCALE_NAME);
        for (const Column& c : intColumns) {
            const QVariant v = q->value(c.index);
            const QString col = QLatin1String(c.name);
            if (v.isNull()) {
                ReportError(source, QStringLiteral("%1: %2 is Null.").arg(where, col));
                return false;
            }
            bool ok = false;
            const double d = v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
            if (!ok) {
                ReportError(source, QStringLiteral("%1: %2 is not a number (%3).").arg(where, col, v.toString()));
                return false;
            }
            bool overflow = false;
            const qint16 value = RoundToInt16(d, &overflow);
            if (overflow) {
                ReportError(source, QStringLiteral("%1: %2 is beyond the 16-bit range (%3).").arg(where, col, v.toString()));
                return false;
            }
            m.*(c.member) = value;
        }
        // Every millimetre/dot conversion divides by it.
        if (m.MM_PER_KDOT <= 0) {
            ReportError(source, QStringLiteral("%1: MM_PER_KDOT must be above 0 (%2).").arg(where).arg(m.MM_PER_KDOT));
            return false;
        }
        models.append(m);
    }
    // Labels keep their model as a position in this list, and the databases they
    // were made with ordered the names without regard to case.
    std::stable_sort(models.begin(), models.end(), [](const ScaleModel& a, const ScaleModel& b) {
        return QString::compare(a.SCALE_NAME, b.SCALE_NAME, Qt::CaseInsensitive) < 0;
    });
    tables.g_arrScaleModel = models;
    return true;
}

bool AppContext::LoadComboLists()
{
    const auto list = [this](const QString& key) {
        const QString text = m_db->GetLangString(QStringLiteral("Global"), key);
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('|'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    };
    tables.g_varPrintStatusList = list(QStringLiteral("catPos_PrintStatusCombo"));
    tables.g_varLogoSizeList = list(QStringLiteral("catLogoSize_SizeCombo"));
    // The model words its refusals with these; without a text the English one stays.
    for (auto [key, text] : {std::pair("msgValueForbiddenChars", &tables.msgValueForbiddenChars),
                             std::pair("msgAngleChoices", &tables.msgAngleChoices)}) {
        const QString localised = m_db->GetLangString(QStringLiteral("frmProperty"), QString::fromLatin1(key));
        if (!localised.isEmpty())
            *text = localised;
    }
    return true;
}

bool AppContext::LoadFieldFonts()
{
    const QString file = paths.g_strAppPath + QStringLiteral("FieldFont.dsc");
    const QString source = QStringLiteral("LoadFieldFonts ") + file;
    const auto bytes = readProgramFile(file, source);
    if (!bytes)
        return false;
    QList<int> badLines;
    QVector<FieldFont> fonts = ParseFieldFonts(*bytes, &badLines);
    if (!badLines.isEmpty()) {
        QStringList numbers;
        for (int n : badLines)
            numbers << QString::number(n);
        ReportError(source, QStringLiteral("Line(s) %1 do not have the four parts \"name, code, width, height\" "
                                           "and were skipped.")
                                .arg(numbers.join(QStringLiteral(", "))));
    }
    if (fonts.isEmpty()) {
        ReportError(source, QStringLiteral("The file %1 holds no character size.").arg(file));
        return false;
    }
    tables.g_arrFieldFont = fonts;
    return true;
}

void AppContext::BuildCodePageTables()
{
    quillon::BuildCodePageTables(tables);
    if (tables.persianMode())
        tables.g_objIranConvert = std::make_shared<const IranCharConvert>();
    else
        tables.g_objIranConvert.reset();
}

bool AppContext::LoadFieldCatalogue(const CatalogueCallbacks& cb)
{
    const QString file = paths.g_strAppPath + QStringLiteral("FormatField.") + tables.g_strLanguage + QStringLiteral(".dsc");
    const QString source = QStringLiteral("LoadFieldCatalogue ") + file;
    const auto bytes = readProgramFile(file, source);
    if (!bytes)
        return false;
    CatalogueCallbacks callbacks = cb;
    if (!callbacks.onUnknownType)
        callbacks.onUnknownType = [&source](const QString& name) { ReportError(source, GetFieldTypeErrorText(name)); };
    QVector<FieldDef> defs = ParseFieldCatalogue(*bytes, callbacks);
    if (defs.isEmpty()) {
        ReportError(source, QStringLiteral("The file %1 defines no field.").arg(file));
        return false;
    }
    tables.g_arrFieldDef = defs;
    return true;
}

bool AppContext::LoadAll(const QString& programDir)
{
    if (!InitApplication(programDir) || !LoadFieldFonts())
        return false;
    BuildCodePageTables();
    return LoadFieldCatalogue();
}

AppContext& App()
{
    if (!g_app) {
        // Nothing set yet: an empty context rather than a crash.
        static AppContext fallback;
        return fallback;
    }
    return *g_app;
}

void SetApp(AppContext* ctx)
{
    g_app = ctx;
    // Once the context is gone, a lookup reaches the empty fallback, which reports it.
    SetTextLookup([](const QString& section, const QString& key) { return App().db().GetLangString(section, key); });
}

} // namespace quillon
