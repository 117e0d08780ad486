// Start-up on temporary runtime trees: folders, INI settings, databases, scale
// models, option lists, character sizes, catalogue, and what a damaged tree does.
#include "context/appcontext.h"
#include "context/barcodeformats.h"
#include "model/irancharconvert.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/log.h"

#include <QDir>
#include <QSqlQuery>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillon;

namespace {

const char* kLanguageSeed = R"(CREATE TABLE tbl_LANGUAGE (E_NAME TEXT, Caption TEXT, English TEXT, Chinese TEXT, Other TEXT);
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.SoftwareName', 'Quillon', 'Quillon', 'Quillon');
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.catPos_PrintStatusCombo', '0 - No|1 - Yes||3 - Both', '0 - 否|1 - 是', '0 - Нет');
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.catLogoSize_SizeCombo', '1|2|3', '1|2|3', '');
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'frmProperty.msgValueForbiddenChars', 'No quotes', '无引号', 'Без кавычек');
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'frmProperty.msgAngleChoices', 'Right angles', '直角', 'Прямые углы');
)";
const char* kScaleTable = "CREATE TABLE SCALE (SC_NO INTEGER, DP_NO INTEGER, SC_IP TEXT, SC_USED BOOLEAN, SC_MODEL_ID INTEGER);\n";
const char* kOnlyModel = "1, 'Only', 60, 30, 100, 20, 125";

QString modelSeed(const QStringList& rows)
{
    QString s = QStringLiteral("CREATE TABLE SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, "
                               "MM_PER_KDOT);\n") + QLatin1String(kScaleTable);
    for (const QString& r : rows)
        s += QStringLiteral("INSERT INTO SCALE_MODEL VALUES (%1);\n").arg(r);
    return s;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A root folder with a program folder "bin/" below it and stand-in seeds beside.
struct Tree {
    QTemporaryDir dir;
    QString root = dir.path() + QStringLiteral("/"), bin = root + QStringLiteral("bin/");
    QString seeds = root + QStringLiteral("seeds/");

    explicit Tree(const QString& main = modelSeed({kOnlyModel}), const QString& language = kLanguageSeed)
    {
        QDir().mkpath(bin);
        writeFile(seeds + QStringLiteral("vexo2005.sql"), main.toUtf8());
        writeFile(seeds + QStringLiteral("language.sql"), language.toUtf8());
    }
    bool init(AppContext& ctx, const QByteArray& ini = {})
    {
        if (!ini.isNull())
            writeFile(root + QStringLiteral("Vexo2005.INI"), ini);
        ctx.db().setSeedFolder(seeds);
        return ctx.InitApplication(bin);
    }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    RecordingReporter m_reporter;

private slots:
    void initTestCase() { SetErrorReporter(&m_reporter); }
    void cleanupTestCase() { SetErrorReporter(nullptr); }
    void init() { m_reporter.clear(); }
    void cleanup() { SetLogFolder(QString()); }

    void runtimePaths()
    {
        const char* const rows[][3] = {
            {"/opt/q/bin", "/opt/q/bin/", "/opt/q/"}, {"/opt/q/bin/", "/opt/q/bin/", "/opt/q/"},
            {"C:\\Program\\Q\\bin", "C:/Program/Q/bin/", "C:/Program/Q/"}, {"C:\\Q\\bin\\", "C:/Q/bin/", "C:/Q/"},
            {"/opt//q/bin", "/opt/q/bin/", "/opt/q/"}, {"/bin", "/bin/", "/"}};
        for (const auto& r : rows) {
            const RuntimePaths p = ComputeRuntimePaths(QString::fromLatin1(r[0]));
            QCOMPARE(p.g_strAppPath, QString::fromLatin1(r[1]));
            QCOMPARE(p.g_strRootPath, QString::fromLatin1(r[2]));
            QCOMPARE(p.g_strIniFile, p.g_strRootPath + QStringLiteral("Vexo2005.INI"));
        }
    }

    void settings()
    {
        const struct { QByteArray ini; const char* language; int set, convert, ansi; bool persian; } rows[] = {
            {{}, "English", 0, 0, 1252, false}, {"", "English", 0, 0, 1252, false}, // no INI file, empty INI
            {"[Setting]\r\nLanguage=Chinese\r\n", "Chinese", 0, 0, 1252, false},
            {"[setting]\nlanguage = Other \n", "Other", 0, 0, 1252, false},
            {"[Setting]\nLanguage=english\n", "English", 0, 0, 1252, false},
            {"[Setting]\nLanguage=Klingon\n", "English", 0, 0, 1252, false},
            {"[Setting]\nSetLanguageCodepage=1abc\nLangeCodepageToConvert=0\n", "English", 1, 0, 1250, false},
            {"[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=1.4\n", "English", 1, 1, 1251, false},
            {"[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=2\n", "English", 1, 2, 1256, true},
            {"[Setting]\nSetLanguageCodepage=0\nLangeCodepageToConvert=2\n", "English", 0, 2, 1252, false},
            {"[Setting]\nSetLanguageCodepage=yes\nLangeCodepageToConvert=1\n", "English", 0, 1, 1252, false},
            {"[Setting]\nSetLanguageCodepage=70001\n", "English", 0, 0, 1252, false},
            {"[Setting]\nSetLanguageCodepage=1\nAnsiCodepage=936\n", "English", 1, 0, 936, false},
            {"[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=1\nAnsiCodepage=cyrillic\n", "English", 1, 1, 1251,
             false},
            {"[Other]\nLanguage=Chinese\nSetLanguageCodepage=1\n", "English", 0, 0, 1252, false}};
        for (const auto& r : rows) {
            Tree t;
            AppContext ctx;
            QVERIFY(t.init(ctx, r.ini));
            const Tables& s = ctx.tables;
            QVERIFY2(s.g_strLanguage == r.language && ctx.db().language() == r.language
                         && s.g_iSetLanguageCodepage == r.set && s.g_iLangeCodepageToConvert == r.convert
                         && s.m_iAnsiCodepage == r.ansi,
                     qPrintable(QString::fromLatin1(r.ini)));
            // The Persian converter exists only when the conversion is asked for.
            ctx.BuildCodePageTables();
            QCOMPARE(bool(ctx.tables.g_objIranConvert), r.persian);
        }
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void firstStartWithEmbeddedSeeds()
    {
        if (QDir(QStringLiteral(":/sql")).entryList().isEmpty())
            QSKIP("no seeds embedded in this build");
        Tree t;
        const QDir program(QStringLiteral(QUILLON_SOURCE_DIR "/data/program"));
        for (const QString& f : program.entryList(QDir::Files))
            QFile::copy(program.filePath(f), t.bin + f);
        QFile::copy(QStringLiteral(QUILLON_SOURCE_DIR "/data/root/Vexo2005.INI"), t.root + "Vexo2005.INI");
        AppContext ctx;
        QVERIFY(ctx.LoadAll(t.bin));
        QVERIFY(QFileInfo(t.root + QStringLiteral("Database/VEXO2005.sqlite")).isFile());
        QVERIFY(QFileInfo(t.root + QStringLiteral("Database/language.sqlite")).isFile());
        QVERIFY(QFileInfo(t.bin + QStringLiteral("log")).isDir());
        const Tables& s = ctx.tables;
        for (int i = 1; i <= s.g_iScaleModelMax(); ++i)
            QVERIFY(s.g_arrScaleModel[i - 1].SCALE_NAME <= s.g_arrScaleModel[i].SCALE_NAME);
        QVERIFY(s.g_iScaleModelMax() >= 0 && s.g_iFieldFontMax() >= 2 && s.g_iFieldDefMax() >= 0);
        QVERIFY(!s.softwareName.isEmpty() && !s.g_varPrintStatusList.isEmpty() && !s.g_varLogoSizeList.isEmpty());
        QVERIFY(!s.g_objIranConvert);
        // Every shipped barcode format is one the program can use.
        int skipped = -1;
        QCOMPARE(LoadBarcodeFormats(ctx.db().mainDb(), nullptr, &skipped).size(), 6);
        QCOMPARE(skipped, 0);
        QVERIFY(m_reporter.entries.isEmpty());
        const QByteArray log = readFile(LogFilePath(QDateTime::currentDateTime()));
        QVERIFY(log.startsWith("\xFF\xFE"));
        QVERIFY(QString::fromUtf16(reinterpret_cast<const char16_t*>(log.constData() + 2), (log.size() - 2) / 2)
                    .contains(QStringLiteral("]  QueryVexoDB select * from SCALE_MODEL order by SCALE_NAME\r\n")));
    }

    // A database of an older program gains the tables; formats and choices survive a round trip.
    void barcodeFormats()
    {
        Tree t;
        {
            AppContext old;
            QVERIFY(t.init(old));
            QVERIFY(LabelBarcodeFormat(old.db().mainDb(), QStringLiteral("/l/A.QLF")).isEmpty()); // no table: no choice
        }
        QVERIFY(QFile::copy(QStringLiteral(QUILLON_SOURCE_DIR "/data/sql/vexo2005-barcode.sql"),
                            t.seeds + QStringLiteral("vexo2005-barcode.sql")));
        AppContext ctx;
        QVERIFY(t.init(ctx));
        QSqlDatabase db = ctx.db().mainDb();
        const int shipped = int(LoadBarcodeFormats(db).size());
        QCOMPARE(shipped, 6);

        const BarcodeFormat weight{QStringLiteral("Weight"), BarcodeKind::Ean13, QStringLiteral("21PPPPPWWWWW")};
        const BarcodeFormat qr{QStringLiteral("QR"), BarcodeKind::QrCode, QString()};
        const QList<BarcodeFormat> refused[] = {
            {weight, {QStringLiteral("weight"), BarcodeKind::Ean8, QStringLiteral("2PPPPPP")}}, // names differ by case only
            {{QStringLiteral("Short"), BarcodeKind::Ean13, QStringLiteral("21PPPPP")}},
            {{QStringLiteral("Letters"), BarcodeKind::Itf14, QStringLiteral("1XPPPPPWWWWWW")}},
            {{QString(), BarcodeKind::QrCode, QString()}}};
        for (const QList<BarcodeFormat>& formats : refused)
            QVERIFY(!SaveBarcodeFormats(db, formats));
        QCOMPARE(LoadBarcodeFormats(db).size(), shipped); // a refusal changes nothing

        QVERIFY(SaveBarcodeFormats(db, {weight, qr}));
        QVERIFY(SetLabelBarcodeFormat(db, QStringLiteral("/labels/Cheese.QLF"), QStringLiteral("Weight")));
        QVERIFY(SetLabelBarcodeFormat(db, QStringLiteral("/labels/Fish.QLF"), QStringLiteral("QR")));
        // The file name is the key: the same label in another folder keeps its choice.
        QCOMPARE(LabelBarcodeFormat(db, QStringLiteral("/other/Cheese.QLF")), QStringLiteral("Weight"));
        QVERIFY(SetLabelBarcodeFormat(db, QStringLiteral("/labels/Cheese.QLF"), QString()));
        QVERIFY(LabelBarcodeFormat(db, QStringLiteral("Cheese.QLF")).isEmpty());
        // A format that is gone takes its labels' choices with it.
        QVERIFY(SaveBarcodeFormats(db, {weight}));
        QVERIFY(LabelBarcodeFormat(db, QStringLiteral("Fish.QLF")).isEmpty());

        // Rows another program wrote that this one cannot use are left out, not shown broken.
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("INSERT INTO BARCODE_FORMAT VALUES ('Odd', 'pdf417', '')")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO BARCODE_FORMAT VALUES ('Long', 'ean8', '2PPPPPPPP')")));
        int skipped = 0;
        QCOMPARE(LoadBarcodeFormats(db, nullptr, &skipped), QList<BarcodeFormat>{weight});
        QCOMPARE(skipped, 2);
        QCOMPARE(BarcodeData(WithBarcodeFormat(DefaultSampleItem(QStringLiteral("English")), weight)).size(), 13);
    }

    void scaleModels()
    {
        const struct { QStringList rows, names; } tables[] = {
            {{}, {}}, // empty table
            {{"1, 'Zeta', 60, 30, 100, 20, 125", "2, 'Alpha', 80, 40, 150, 25, 83", "3, 'Mid', 56, 30, 90, 20, 167"},
             {"Alpha", "Mid", "Zeta"}}, // sorted by name
            // Without regard to case, as the databases labels were made with: a label keeps its model's place.
            {{"1, 'beta', 60, 30, 100, 20, 125", "2, 'Alpha', 60, 30, 100, 20, 125", "3, 'DELTA', 60, 30, 100, 20, 125",
              "4, 'charlie', 60, 30, 100, 20, 125"},
             {"Alpha", "beta", "charlie", "DELTA"}},
            {{"'7', 'Text', ' 60 ', 2.5, 32767.4, -32768, 125"}, {"Text"}}}; // numbers as text, half to even
        for (const auto& [rows, names] : tables) {
            Tree t(modelSeed(rows));
            AppContext ctx;
            QVERIFY(t.init(ctx));
            QStringList got;
            for (const ScaleModel& m : ctx.tables.g_arrScaleModel)
                got << m.SCALE_NAME;
            QCOMPARE(got, names);
            // Option lists: split at every "|", empty parts kept.
            QCOMPARE(ctx.tables.g_varPrintStatusList, (QStringList{"0 - No", "1 - Yes", QString(), "3 - Both"}));
            QCOMPARE(ctx.tables.g_varLogoSizeList.size(), 3);
            QCOMPARE(ctx.tables.softwareName, QStringLiteral("Quillon"));
            if (names.size() == 3)
                QCOMPARE(ctx.tables.g_arrScaleModel[0].MAX_WIDTH, 80);
            if (names.size() == 1) {
                const ScaleModel& m = ctx.tables.g_arrScaleModel[0];
                QVERIFY(m.ID == 7 && m.MAX_WIDTH == 60 && m.MIN_WIDTH == 2 && m.MAX_HEIGHT == 32767
                        && m.MIN_HEIGHT == -32768);
            }
        }
    }

    // Each damaged tree is reported and ends start-up, never a crash.
    void damagedTree()
    {
        const QString lang = QString::fromUtf8(kLanguageSeed);
        const QString open = QStringLiteral("OpenDatabases"), load = QStringLiteral("LoadScaleModels");
        const auto bad = [](const char* row) { return modelSeed({kOnlyModel, row}); };
        const struct { const char* what; QString main, language; QStringList sources; QByteArray mainFile{}; } rows[] = {
            {"no SCALE_MODEL table", kScaleTable, lang,
             {"QueryVexoDB select * from SCALE_MODEL order by SCALE_NAME", load}},
            {"column missing",
             "CREATE TABLE SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT);\n"
             "INSERT INTO SCALE_MODEL VALUES (1, 'A', 1, 1, 1, 1);\n", lang, {load}},
            {"Null number", bad("2, 'B', NULL, 30, 100, 20, 125"), lang, {load}},
            {"Null name", bad("2, NULL, 60, 30, 100, 20, 125"), lang, {load}},
            {"not a number", bad("2, 'B', 'wide', 30, 100, 20, 125"), lang, {load}},
            {"above 16 bits", bad("2, 'B', 40000, 30, 100, 20, 125"), lang, {load}},
            {"below 16 bits", bad("-32769, 'B', 60, 30, 100, 20, 125"), lang, {load}},
            {"rounds past 16 bits", bad("2, 'B', 60, 30, 32767.5, 20, 125"), lang, {load}},
            {"no resolution", bad("2, 'B', 60, 30, 100, 20, 0"), lang, {load}},
            {"binary value", bad("2, 'B', x'00FF', 30, 100, 20, 125"), lang, {load}},
            {"no text table", modelSeed({kOnlyModel}), "CREATE TABLE words (a);\n", {open}},
            {"text column missing", modelSeed({kOnlyModel}),
             "CREATE TABLE tbl_LANGUAGE (E_NAME, Caption, English, Chinese);\n", {open}},
            {"main file is no database", modelSeed({}), lang, {open}, QByteArray(2048, 'J')}};
        for (const auto& r : rows) {
            m_reporter.clear();
            Tree t(r.main, r.language);
            const QString mainFile = t.root + QStringLiteral("Database/VEXO2005.sqlite");
            if (!r.mainFile.isEmpty())
                writeFile(mainFile, r.mainFile);
            AppContext ctx;
            QVERIFY2(!t.init(ctx) && m_reporter.entries.size() == r.sources.size(), r.what);
            for (int i = 0; i < r.sources.size(); ++i)
                QVERIFY(m_reporter.entries[i].source.startsWith(r.sources[i]));
            QVERIFY(ctx.tables.g_arrScaleModel.isEmpty());
            QVERIFY(r.mainFile.isEmpty() || readFile(mainFile) == r.mainFile);
        }
    }

    void programFiles()
    {
        // Character sizes: what is missing or unusable is reported.
        const struct { QByteArray file; bool ok; int count, reports; } fonts[] = {
            {{}, false, 0, 1}, // missing
            {"; sizes\r\n   ; indented\r\n\r\n Big , 1A , 12 , 24 \r\nSmall,02,8,16\r\nThird,3,9,9\r\n", true, 3, 0},
            {"A,01,8,16\nBroken,02\nB,03,9,18\n", true, 2, 1}, // short line reported, others kept
            {"; nothing\n\n", false, 0, 1}, {"", false, 0, 1}};
        for (const auto& r : fonts) {
            m_reporter.clear();
            Tree t;
            if (!r.file.isNull())
                writeFile(t.bin + QStringLiteral("FieldFont.dsc"), r.file);
            AppContext ctx;
            ctx.paths = ComputeRuntimePaths(t.bin);
            QCOMPARE(ctx.LoadFieldFonts(), r.ok);
            QCOMPARE(ctx.tables.g_iFieldFontMax(), r.count - 1);
            QCOMPARE(m_reporter.entries.size(), r.reports);
            for (const auto& e : m_reporter.entries)
                QVERIFY2(e.source == QStringLiteral("LoadFieldFonts ") + t.bin + QStringLiteral("FieldFont.dsc"),
                         qPrintable(e.source));
        }
        // The catalogue of the interface language; a file named "log" keeps the log from being made.
        m_reporter.clear();
        Tree t;
        writeFile(t.bin + QStringLiteral("log"), "not a folder");
        {
            AppContext ctx;
            QVERIFY(t.init(ctx, "[Setting]\nLanguage=Chinese\n"));
            QCOMPARE(readFile(t.bin + QStringLiteral("log")), QByteArray("not a folder"));
            QVERIFY(m_reporter.entries.isEmpty());
            QVERIFY(!ctx.LoadFieldCatalogue());
            QCOMPARE(m_reporter.entries.size(), 1);
            QCOMPARE(m_reporter.entries[0].source,
                     QStringLiteral("LoadFieldCatalogue ") + t.bin + QStringLiteral("FormatField.Chinese.dsc"));
            SetApp(&ctx);
            QCOMPARE(&App(), &ctx);
            QCOMPARE(GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName")), QStringLiteral("Quillon"));
        }
        // The context is gone: lookups report instead of touching freed memory.
        QVERIFY(GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName")).isEmpty());
        QCOMPARE(m_reporter.entries.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
