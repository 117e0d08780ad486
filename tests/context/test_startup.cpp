// Start-up on temporary runtime trees: folders, INI settings, databases, scale
// models, option lists, character sizes, catalogue, and what a damaged tree does.
#include "context/appcontext.h"
#include "model/irancharconvert.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillon;

namespace {

const char* kLanguageSeed = R"(CREATE TABLE tbl_LANGUAGE (E_NAME TEXT, Caption TEXT, English TEXT, Chinese TEXT, Other TEXT);
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.SoftwareName', 'Quillon', 'Quillon', 'Quillon');
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.catPos_PrintStatusCombo', '0 - No|1 - Yes||3 - Both', '0 - 否|1 - 是', '0 - Нет');
INSERT INTO tbl_LANGUAGE VALUES ('QUILLON.EXE', 'Global.catLogoSize_SizeCombo', '1|2|3', '1|2|3', '');
)";

const char* kScaleTable = "CREATE TABLE SCALE (SC_NO INTEGER, DP_NO INTEGER, SC_IP TEXT, SC_USED BOOLEAN, SC_MODEL_ID INTEGER);\n";
const char* kModelTable = "CREATE TABLE SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT);\n";

QString modelSeed(const QStringList& rows)
{
    QString s = QLatin1String(kModelTable) + QLatin1String(kScaleTable);
    for (const QString& r : rows)
        s += QStringLiteral("INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) "
                            "VALUES (%1);\n").arg(r);
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

QString sourceDir()
{
    const QString env = qEnvironmentVariable("QUILLON_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(QUILLON_SOURCE_DIR) : env;
}

// A root folder with a program folder "bin/" below it and stand-in seeds beside.
struct Tree {
    QTemporaryDir dir;
    QString root;
    QString bin;
    QString seeds;

    Tree()
    {
        root = dir.path() + QStringLiteral("/");
        bin = root + QStringLiteral("bin/");
        seeds = root + QStringLiteral("seeds/");
        QDir().mkpath(bin);
        setSeeds(modelSeed({QStringLiteral("1, 'Only', 60, 30, 100, 20, 125")}), QString::fromUtf8(kLanguageSeed));
    }
    void setSeeds(const QString& main, const QString& language)
    {
        writeFile(seeds + QStringLiteral("vexo2005.sql"), main.toUtf8());
        writeFile(seeds + QStringLiteral("language.sql"), language.toUtf8());
    }
    void setIni(const QByteArray& text) { writeFile(root + QStringLiteral("Vexo2005.INI"), text); }
    // The shipped data files of the program folder and the INI template.
    bool copyShippedData()
    {
        const QDir program(sourceDir() + QStringLiteral("/data/program"));
        const QStringList files = program.entryList(QDir::Files);
        if (files.isEmpty())
            return false;
        for (const QString& f : files)
            QFile::copy(program.filePath(f), bin + f);
        QFile::copy(sourceDir() + QStringLiteral("/data/root/Vexo2005.INI"), root + QStringLiteral("Vexo2005.INI"));
        return true;
    }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    RecordingReporter m_reporter;

    QByteArray reports() const
    {
        QStringList lines;
        for (const auto& e : m_reporter.entries)
            lines << e.source + QStringLiteral(":    ") + e.description;
        return lines.join(QLatin1Char('\n')).toUtf8();
    }

private slots:
    void initTestCase() { SetErrorReporter(&m_reporter); }
    void cleanupTestCase() { SetErrorReporter(nullptr); }
    void init() { m_reporter.clear(); }
    void cleanup() { SetLogFolder(QString()); }

    void runtimePaths_data()
    {
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("root");
        QTest::newRow("plain") << "/opt/q/bin" << "/opt/q/bin/" << "/opt/q/";
        QTest::newRow("trailing separator") << "/opt/q/bin/" << "/opt/q/bin/" << "/opt/q/";
        QTest::newRow("backslashes") << "C:\\Program\\Q\\bin" << "C:/Program/Q/bin/" << "C:/Program/Q/";
        QTest::newRow("trailing backslash") << "C:\\Q\\bin\\" << "C:/Q/bin/" << "C:/Q/";
        QTest::newRow("doubled separator") << "/opt//q/bin" << "/opt/q/bin/" << "/opt/q/";
        QTest::newRow("below the file-system root") << "/bin" << "/bin/" << "/";
    }
    void runtimePaths()
    {
        QFETCH(QString, programDir);
        QFETCH(QString, app);
        QFETCH(QString, root);
        const RuntimePaths p = ComputeRuntimePaths(programDir);
        QCOMPARE(p.g_strAppPath, app);
        QCOMPARE(p.g_strRootPath, root);
        QCOMPARE(p.g_strIniFile, root + QStringLiteral("Vexo2005.INI"));
    }

    void settings_data()
    {
        QTest::addColumn<QByteArray>("ini"); // null: no INI file at all
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("setCodepage");
        QTest::addColumn<int>("convert");
        QTest::addColumn<int>("ansi");
        QTest::newRow("no INI file") << QByteArray() << "English" << 0 << 0 << 1252;
        QTest::newRow("empty INI") << QByteArray("") << "English" << 0 << 0 << 1252;
        QTest::newRow("Chinese") << QByteArray("[Setting]\r\nLanguage=Chinese\r\n") << "Chinese" << 0 << 0 << 1252;
        QTest::newRow("Other with blanks") << QByteArray("[setting]\nlanguage = Other \n") << "Other" << 0 << 0 << 1252;
        QTest::newRow("lower case") << QByteArray("[Setting]\nLanguage=english\n") << "English" << 0 << 0 << 1252;
        QTest::newRow("unknown language") << QByteArray("[Setting]\nLanguage=Klingon\n") << "English" << 0 << 0 << 1252;
        QTest::newRow("Central European")
            << QByteArray("[Setting]\nSetLanguageCodepage=1abc\nLangeCodepageToConvert=0\n") << "English" << 1 << 0 << 1250;
        QTest::newRow("Cyrillic") << QByteArray("[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=1.4\n")
                                  << "English" << 1 << 1 << 1251;
        QTest::newRow("Persian") << QByteArray("[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=2\n")
                                 << "English" << 1 << 2 << 1256;
        QTest::newRow("no number") << QByteArray("[Setting]\nSetLanguageCodepage=yes\nLangeCodepageToConvert=1\n")
                                   << "English" << 0 << 1 << 1252;
        QTest::newRow("huge number") << QByteArray("[Setting]\nSetLanguageCodepage=70001\n") << "English" << 0 << 0 << 1252;
        QTest::newRow("ANSI code page set")
            << QByteArray("[Setting]\nSetLanguageCodepage=1\nAnsiCodepage=936\n") << "English" << 1 << 0 << 936;
        QTest::newRow("ANSI code page garbage")
            << QByteArray("[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=1\nAnsiCodepage=cyrillic\n")
            << "English" << 1 << 1 << 1251;
        QTest::newRow("keys of another section")
            << QByteArray("[Other]\nLanguage=Chinese\nSetLanguageCodepage=1\n") << "English" << 0 << 0 << 1252;
    }
    void settings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, language);
        QFETCH(int, setCodepage);
        QFETCH(int, convert);
        QFETCH(int, ansi);
        Tree t;
        if (!ini.isNull())
            t.setIni(ini);
        AppContext ctx;
        ctx.db().setSeedFolder(t.seeds);
        QVERIFY2(ctx.InitApplication(t.bin), reports().constData());
        QCOMPARE(ctx.tables.g_strLanguage, language);
        QCOMPARE(int(ctx.tables.g_iSetLanguageCodepage), setCodepage);
        QCOMPARE(int(ctx.tables.g_iLangeCodepageToConvert), convert);
        QCOMPARE(ctx.tables.m_iAnsiCodepage, ansi);
        QCOMPARE(ctx.db().language(), language);
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void firstStartWithEmbeddedSeeds()
    {
        if (QDir(QStringLiteral(":/sql")).entryList().isEmpty())
            QSKIP("no seeds embedded in this build");
        Tree t;
        t.copyShippedData();
        AppContext ctx;
        QVERIFY2(ctx.LoadAll(t.bin), reports().constData());
        QVERIFY(QFileInfo(t.root + QStringLiteral("Database/VEXO2005.sqlite")).isFile());
        QVERIFY(QFileInfo(t.root + QStringLiteral("Database/language.sqlite")).isFile());
        QVERIFY(QFileInfo(t.bin + QStringLiteral("log")).isDir());
        QVERIFY(ctx.tables.g_iScaleModelMax() >= 0);
        for (int i = 1; i <= ctx.tables.g_iScaleModelMax(); ++i)
            QVERIFY(ctx.tables.g_arrScaleModel[i - 1].SCALE_NAME <= ctx.tables.g_arrScaleModel[i].SCALE_NAME);
        QVERIFY(!ctx.tables.softwareName.isEmpty());
        QVERIFY(!ctx.tables.g_varPrintStatusList.isEmpty());
        QVERIFY(!ctx.tables.g_varLogoSizeList.isEmpty());
        QVERIFY(ctx.tables.g_iFieldFontMax() >= 2);
        QVERIFY(ctx.tables.g_iFieldDefMax() >= 0);
        QVERIFY(!ctx.tables.g_objIranConvert);
        QVERIFY(m_reporter.entries.isEmpty());

        const QByteArray log = readFile(LogFilePath(QDateTime::currentDateTime()));
        QVERIFY(log.startsWith("\xFF\xFE"));
        QVERIFY(QString::fromUtf16(reinterpret_cast<const char16_t*>(log.constData() + 2), (log.size() - 2) / 2)
                    .contains(QStringLiteral("]  QueryVexoDB select * from SCALE_MODEL order by SCALE_NAME\r\n")));
    }

    void scaleModels_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("firstMaxWidth");
        QTest::newRow("empty table") << QStringList() << QStringList() << 0;
        QTest::newRow("sorted by name")
            << QStringList{QStringLiteral("1, 'Zeta', 60, 30, 100, 20, 125"), QStringLiteral("2, 'Alpha', 80, 40, 150, 25, 83"),
                           QStringLiteral("3, 'Mid', 56, 30, 90, 20, 167")}
            << QStringList{QStringLiteral("Alpha"), QStringLiteral("Mid"), QStringLiteral("Zeta")} << 80;
        QTest::newRow("numbers as text, rounded half to even")
            << QStringList{QStringLiteral("'7', 'Text', ' 60 ', 2.5, 32767.4, -32768, 125")}
            << QStringList{QStringLiteral("Text")} << 60;
    }
    void scaleModels()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, names);
        QFETCH(int, firstMaxWidth);
        Tree t;
        t.setSeeds(modelSeed(rows), QString::fromUtf8(kLanguageSeed));
        AppContext ctx;
        ctx.db().setSeedFolder(t.seeds);
        QVERIFY2(ctx.InitApplication(t.bin), reports().constData());
        QCOMPARE(ctx.tables.g_iScaleModelMax(), int(names.size()) - 1);
        QStringList got;
        for (const ScaleModel& m : ctx.tables.g_arrScaleModel)
            got << m.SCALE_NAME;
        QCOMPARE(got, names);
        if (!names.isEmpty())
            QCOMPARE(int(ctx.tables.g_arrScaleModel[0].MAX_WIDTH), firstMaxWidth);
        if (names == QStringList{QStringLiteral("Text")}) {
            const ScaleModel& m = ctx.tables.g_arrScaleModel[0];
            QCOMPARE(int(m.ID), 7);
            QCOMPARE(int(m.MIN_WIDTH), 2);
            QCOMPARE(int(m.MAX_HEIGHT), 32767);
            QCOMPARE(int(m.MIN_HEIGHT), -32768);
        }
        // Option lists: split at every "|", empty parts kept.
        QCOMPARE(ctx.tables.g_varPrintStatusList,
                 (QStringList{QStringLiteral("0 - No"), QStringLiteral("1 - Yes"), QString(), QStringLiteral("3 - Both")}));
        QCOMPARE(ctx.tables.g_varLogoSizeList.size(), 3);
        QCOMPARE(ctx.tables.softwareName, QStringLiteral("Quillon"));
    }

    // Each damaged tree is reported and ends start-up, never a crash.
    void damagedTree_data()
    {
        QTest::addColumn<QString>("mainSeed");
        QTest::addColumn<QString>("languageSeed");
        QTest::addColumn<QByteArray>("mainFile"); // written in place of the main database when not empty
        QTest::addColumn<QStringList>("sources");
        const QString lang = QString::fromUtf8(kLanguageSeed);
        const QString row = QStringLiteral("1, 'Only', 60, 30, 100, 20, 125");
        const QStringList load{QStringLiteral("LoadScaleModels")};
        QTest::newRow("main file is no database")
            << QString() << lang << QByteArray(2048, 'J') << QStringList{QStringLiteral("OpenDatabases")};
        QTest::newRow("no SCALE_MODEL table")
            << QString::fromLatin1(kScaleTable) << lang << QByteArray()
            << QStringList{QStringLiteral("QueryVexoDB select * from SCALE_MODEL order by SCALE_NAME"), QStringLiteral("LoadScaleModels")};
        QTest::newRow("column missing")
            << QStringLiteral("CREATE TABLE SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT);\n"
                              "INSERT INTO SCALE_MODEL VALUES (1, 'A', 1, 1, 1, 1);\n")
            << lang << QByteArray() << load;
        QTest::newRow("Null number") << modelSeed({row, QStringLiteral("2, 'B', NULL, 30, 100, 20, 125")}) << lang << QByteArray() << load;
        QTest::newRow("Null name") << modelSeed({QStringLiteral("2, NULL, 60, 30, 100, 20, 125")}) << lang << QByteArray() << load;
        QTest::newRow("not a number") << modelSeed({QStringLiteral("2, 'B', 'wide', 30, 100, 20, 125")}) << lang << QByteArray() << load;
        QTest::newRow("above 16 bits") << modelSeed({QStringLiteral("2, 'B', 40000, 30, 100, 20, 125")}) << lang << QByteArray() << load;
        QTest::newRow("below 16 bits") << modelSeed({QStringLiteral("-32769, 'B', 60, 30, 100, 20, 125")}) << lang << QByteArray() << load;
        QTest::newRow("rounds past 16 bits") << modelSeed({QStringLiteral("2, 'B', 60, 30, 32767.5, 20, 125")}) << lang << QByteArray() << load;
        QTest::newRow("no resolution") << modelSeed({QStringLiteral("2, 'B', 60, 30, 100, 20, 0")}) << lang << QByteArray() << load;
        QTest::newRow("binary value") << modelSeed({QStringLiteral("2, 'B', x'00FF', 30, 100, 20, 125")}) << lang << QByteArray() << load;
        QTest::newRow("no text table")
            << modelSeed({row}) << QStringLiteral("CREATE TABLE words (a);\n") << QByteArray() << QStringList{QStringLiteral("OpenDatabases")};
        QTest::newRow("text column missing")
            << modelSeed({row}) << QStringLiteral("CREATE TABLE tbl_LANGUAGE (E_NAME, Caption, English, Chinese);\n") << QByteArray()
            << QStringList{QStringLiteral("OpenDatabases")};
    }
    void damagedTree()
    {
        QFETCH(QString, mainSeed);
        QFETCH(QString, languageSeed);
        QFETCH(QByteArray, mainFile);
        QFETCH(QStringList, sources);
        Tree t;
        t.setSeeds(mainSeed.isEmpty() ? modelSeed({}) : mainSeed, languageSeed);
        if (!mainFile.isEmpty())
            writeFile(t.root + QStringLiteral("Database/VEXO2005.sqlite"), mainFile);
        AppContext ctx;
        ctx.db().setSeedFolder(t.seeds);
        QVERIFY(!ctx.InitApplication(t.bin));
        QCOMPARE(m_reporter.entries.size(), sources.size());
        for (int i = 0; i < sources.size(); ++i)
            QVERIFY2(m_reporter.entries[i].source.startsWith(sources[i]), reports().constData());
        QVERIFY(ctx.tables.g_arrScaleModel.isEmpty());
        if (!mainFile.isEmpty())
            QCOMPARE(readFile(t.root + QStringLiteral("Database/VEXO2005.sqlite")), mainFile);
    }

    void logNameTakenByFile()
    {
        Tree t;
        writeFile(t.bin + QStringLiteral("log"), "not a folder");
        AppContext ctx;
        ctx.db().setSeedFolder(t.seeds);
        QVERIFY2(ctx.InitApplication(t.bin), reports().constData());
        QCOMPARE(readFile(t.bin + QStringLiteral("log")), QByteArray("not a folder"));
        QVERIFY(m_reporter.entries.isEmpty());
    }

    void fieldFonts_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: missing
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("reports");
        QTest::newRow("missing") << QByteArray() << false << 0 << 1;
        QTest::newRow("comments, blanks and spaces")
            << QByteArray("; sizes\r\n   ; indented comment\r\n\r\n Big , 1A , 12 , 24 \r\nSmall,02,8,16\r\nThird,3,9,9\r\n")
            << true << 3 << 0;
        QTest::newRow("short line reported, others kept")
            << QByteArray("A,01,8,16\nBroken,02\nB,03,9,18\n") << true << 2 << 1;
        QTest::newRow("only comments") << QByteArray("; nothing\n\n") << false << 0 << 1;
        QTest::newRow("empty") << QByteArray("") << false << 0 << 1;
    }
    void fieldFonts()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, ok);
        QFETCH(int, count);
        QFETCH(int, reports);
        Tree t;
        if (!file.isNull())
            writeFile(t.bin + QStringLiteral("FieldFont.dsc"), file);
        AppContext ctx;
        ctx.paths = ComputeRuntimePaths(t.bin);
        QCOMPARE(ctx.LoadFieldFonts(), ok);
        QCOMPARE(ctx.tables.g_iFieldFontMax(), count - 1);
        QCOMPARE(m_reporter.entries.size(), reports);
        for (const auto& e : m_reporter.entries)
            QVERIFY2(e.source.startsWith(QStringLiteral("LoadFieldFonts ") + t.bin + QStringLiteral("FieldFont.dsc")),
                     qPrintable(e.source));
        if (count == 3) {
            const FieldFont& f = ctx.tables.g_arrFieldFont[0];
            QCOMPARE(f.Name, QStringLiteral("Big"));
            QCOMPARE(int(f.Code), 26);
            QCOMPARE(int(f.Width), 12);
            QCOMPARE(int(f.Height), 24);
        }
    }

    void catalogueMissing()
    {
        Tree t;
        t.setIni("[Setting]\nLanguage=Chinese\n");
        AppContext ctx;
        ctx.db().setSeedFolder(t.seeds);
        QVERIFY(ctx.InitApplication(t.bin));
        QVERIFY(!ctx.LoadFieldCatalogue());
        QCOMPARE(m_reporter.entries.size(), 1);
        QCOMPARE(m_reporter.entries[0].source, QStringLiteral("LoadFieldCatalogue ") + t.bin + QStringLiteral("FormatField.Chinese.dsc"));
    }

    void persianConverterOnlyWhenAsked_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("converter");
        QTest::newRow("Persian") << QByteArray("[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=2\n") << true;
        QTest::newRow("Persian without conversion") << QByteArray("[Setting]\nSetLanguageCodepage=0\nLangeCodepageToConvert=2\n") << false;
        QTest::newRow("Cyrillic") << QByteArray("[Setting]\nSetLanguageCodepage=1\nLangeCodepageToConvert=1\n") << false;
    }
    void persianConverterOnlyWhenAsked()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, converter);
        Tree t;
        t.setIni(ini);
        AppContext ctx;
        ctx.db().setSeedFolder(t.seeds);
        QVERIFY(ctx.InitApplication(t.bin));
        ctx.BuildCodePageTables();
        QCOMPARE(bool(ctx.tables.g_objIranConvert), converter);
    }

    void appAccessor()
    {
        Tree t;
        {
            AppContext ctx;
            ctx.db().setSeedFolder(t.seeds);
            QVERIFY(ctx.InitApplication(t.bin));
            SetApp(&ctx);
            QCOMPARE(&App(), &ctx);
            QCOMPARE(GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName")), QStringLiteral("Quillon"));
        }
        // The context is gone: lookups report instead of touching freed memory.
        QVERIFY(GetLangString(QStringLiteral("Global"), QStringLiteral("SoftwareName")).isEmpty());
        QCOMPARE(m_reporter.entries.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
