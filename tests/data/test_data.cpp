// Checks the shipped data against what the program and the other files expect of it:
// the seeds load statement by statement, every looked-up text exists in all three
// languages, the catalogues agree across languages, and the settings and bitmaps load.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString sourceDir()
{
    const QString env = qEnvironmentVariable("QUILLON_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(QUILLON_SOURCE_DIR) : env;
}

QString dataPath(const QString& rel) { return sourceDir() + QStringLiteral("/data/") + rel; }

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The seeds' own rule: a statement ends with ";" at the end of a line.
QStringList splitStatements(const QString& text)
{
    QStringList statements;
    QString current;
    bool hasCode = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line.remove(QLatin1Char('\r'));
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1String("--")))
            hasCode = true;
        current += line + QLatin1Char('\n');
        if (trimmed.endsWith(QLatin1Char(';'))) {
            if (hasCode)
                statements << current;
            current.clear();
            hasCode = false;
        }
    }
    if (hasCode)
        statements << current; // unterminated: still run it so the fault shows
    return statements;
}

// Runs every statement of a seed file; returns "" or the first failure.
QString loadSeed(QSqlDatabase& db, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read ") + path;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(f.readAll());
    if (utf8.hasError())
        return path + QStringLiteral(": not valid UTF-8");
    for (const QString& s : splitStatements(text)) {
        QSqlQuery q(db);
        if (!q.exec(s))
            return QStringLiteral("%1: %2\n%3").arg(path, q.lastError().text(), s.left(300));
    }
    return {};
}

struct CatalogueField {
    QString name;
    QString type;
    int parts = 0;
    float x = 0, y = 0, w = 0, h = 0;
    bool numbersOk = true;
    int group = -1;
};

struct Catalogue {
    QStringList groups;
    QList<CatalogueField> fields;
};

// The catalogue reader's simple rules: trim, skip comments, no comma = heading.
Catalogue parseCatalogue(const QString& text)
{
    Catalogue c;
    int current = -1;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        QStringList parts = line.split(QLatin1Char(','));
        for (QString& p : parts)
            p = p.trimmed();
        if (parts.size() == 1) {
            current = int(c.groups.indexOf(line));
            if (current < 0) {
                c.groups << line;
                current = int(c.groups.size()) - 1;
            }
            continue;
        }
        CatalogueField f;
        f.name = parts[0];
        f.type = parts[1].toUpper();
        f.parts = int(parts.size());
        f.group = current;
        if (parts.size() >= 6) {
            bool ok[4];
            f.x = parts[2].toFloat(&ok[0]);
            f.y = parts[3].toFloat(&ok[1]);
            f.w = parts[4].toFloat(&ok[2]);
            f.h = parts[5].toFloat(&ok[3]);
            f.numbersOk = ok[0] && ok[1] && ok[2] && ok[3];
        }
        c.fields << f;
    }
    return c;
}

const QStringList kLanguages{QStringLiteral("English"), QStringLiteral("Chinese"), QStringLiteral("Other")};
const QStringList kFieldTypes{
    QStringLiteral("B1"), QStringLiteral("B2"), QStringLiteral("B3"), QStringLiteral("B4"),
    QStringLiteral("B5"), QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("C3"),
    QStringLiteral("C4"), QStringLiteral("N1"), QStringLiteral("TEXT"), QStringLiteral("SHOPNAME")};

// Every key the windows, dialogs, option lists and the transfer report look up.
struct KeyGroup {
    const char* section;
    const char* keys;
};
const KeyGroup kKeys[] = {
    {"Global", "SoftwareName catPos_PrintStatusCombo catLogoSize_SizeCombo msgFormatFileError "
               "msgTCPDriver0 msgTCPDriver1 msgTCPDriver2 msgTCPDriver3 msgTCPDriver4 msgTCPDriver5 "
               "msgTCPDriver6 msgTCPDriver7 msgTCPDriver8 msgTCPDriver9 msgTCPDriver98 msgTCPDriver99"},
    {"frmMain", "Caption mnuFile mnuEdit mnuView mnuSend mnuWindow mnuHelp "
                "mnuFileNew mnuFileOpen mnuFileClose mnuFileSave mnuFileSaveAs mnuFileExit "
                "mnuFileExport mnuFileImport mnuFileExportAll mnuFileExportFormat mnuFileExportText "
                "mnuFileExportShopname mnuFileImportAll mnuFileImportFormat mnuFileImportText "
                "mnuFileImportShopname mnuEditUndo mnuEditRedo mnuEditOption mnuEditMorviBarcode "
                "mnuSendToScale mnuSendReceive mnuViewStatusBar panPLUFields panProperty mnuLanguage "
                "mnuID_VIEW_LANGUAGE_ENGLISH mnuID_VIEW_LANGUAGE_CHINESE mnuID_VIEW_LANGUAGE_OTHER "
                "mnuWindowCascade mnuWindowTileHori mnuWindowTileVert mnuWindowList mnuHelpAbout "
                "tlbStandard tlbZoomOut tlbZoomIn tlbZoomComboBox "
                "tblStandardFileNewToolTip tblStandardFileNewDesc tblStandardFileOpenToolTip "
                "tblStandardFileOpenDesc tblStandardFileSaveToolTip tblStandardFileSaveDesc "
                "tblStandardEditUndoToolTip tblStandardEditUndoDesc tblStandardEditRedoToolTip "
                "tblStandardEditRedoDesc msgAvailableNextStart "
                "msgExportFormatTo msgExportTextTo msgExportShopNameTo msgImportFormatFrom "
                "msgImportTextFrom msgImportShopNameFrom "
                "msgCreateDriverError msgUnknownError msgSendFormatToScale msgSendTextToScale "
                "msgSendShopnameToScale msgAllSuccessful msgSendToScaleResult msgRecvFormatFromScale "
                "msgRecvTextFromScale msgRecvShopnameFromScale msgRecvFromScaleResult"},
    {"frmSelectLabelType", "Caption cmdOK lblLabelType"},
    {"frmDocument", "msgWantQuit msgDblClickToEdit"},
    {"frmProperty", "catCharSize catCharSize_Size catImageNumber catImageNumber_Number catLabel "
                    "catLabel_FormatNo catLabel_Height catLabel_HeightInDot catLabel_Width "
                    "catLabel_WidthInDot catLabel_ScaleModal catLogoSize catLogoSize_Size catName "
                    "catName_Name catNumOfDigits catNumOfDigits_Num catPos_Angle catPos_PrintStatus "
                    "catPos_X catPos_XInDot catPos_Y catPos_YInDot catPosition catSize catSize_Height "
                    "catSize_HeightInDot catSize_Width catSize_WidthInDot catThickness "
                    "catThickness_Thickness catThickness_InDot"},
    {"frmEditText", "Caption cmdOK cmdCancel lblLineNumberTitle lblFontTitle lblContentsTitle"},
    {"frmScaleConfig", "Caption cmdOK cmdEdit cmdAddNew cmdDelete lvwScaleNumber lvwIPAddress lvwScaleModel"},
    {"frmScaleEdit", "CaptionAdd CaptionEdit cmdOK cmdCancel lblIP lblScaleModal"},
    {"frmScaleSelect", "Caption cmdOK cmdCancel lblChecking lblPingOK lblTimeOut mnuSelect mnuUnselect "
                       "mnuSelectAll mnuUnselectAll lvwScaleNumber lvwIPAddress lvwScaleModel"},
    {"frmAbout", "Caption cmdOK cmdSysInfo lblDescription"},
};

} // namespace

class TestData : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void statementSplitting_data();
    void statementSplitting();
    void languageKeys_data();
    void languageKeys();
    void sourceLookupsHaveRows();
    void noDuplicateKeys();
    void softwareNameIsLanguageFree();
    void optionLists_data();
    void optionLists();
    void cataloguesAgree();
    void fieldFonts();
    void scaleModels();
    void iniTemplate();
    void bitmaps_data();
    void bitmaps();

private:
    QStringList texts(const QString& section, const QString& key);

    QTemporaryDir m_dir;
    QSqlDatabase m_lang;
    QSqlDatabase m_main;
};

void TestData::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")), "the SQLite driver is missing");

    m_lang = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lang"));
    m_lang.setDatabaseName(m_dir.filePath(QStringLiteral("language.db")));
    QVERIFY(m_lang.open());
    QString err = loadSeed(m_lang, dataPath(QStringLiteral("sql/language.sql")));
    QVERIFY2(err.isEmpty(), qPrintable(err));
    // Other areas add their own rows in language-<area>.sql.
    const QStringList extra = QDir(dataPath(QStringLiteral("sql")))
                                  .entryList({QStringLiteral("language-*.sql")}, QDir::Files, QDir::Name);
    for (const QString& f : extra) {
        err = loadSeed(m_lang, dataPath(QStringLiteral("sql/") + f));
        QVERIFY2(err.isEmpty(), qPrintable(err));
    }

    m_main = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("main"));
    m_main.setDatabaseName(m_dir.filePath(QStringLiteral("vexo2005.db")));
    QVERIFY(m_main.open());
    err = loadSeed(m_main, dataPath(QStringLiteral("sql/vexo2005.sql")));
    QVERIFY2(err.isEmpty(), qPrintable(err));
}

void TestData::cleanupTestCase()
{
    m_lang.close();
    m_main.close();
    m_lang = m_main = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("lang"));
    QSqlDatabase::removeDatabase(QStringLiteral("main"));
}

// English, Chinese, Other of one key; empty list when the row is missing.
QStringList TestData::texts(const QString& section, const QString& key)
{
    QSqlQuery q(m_lang);
    q.prepare(QStringLiteral("select English, Chinese, Other from tbl_LANGUAGE where E_NAME = ? and Caption = ?"));
    q.addBindValue(QStringLiteral("quillon.exe")); // the lookup ignores case, as the program's does
    q.addBindValue(section + QLatin1Char('.') + key);
    if (!q.exec() || !q.next())
        return {};
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
}

void TestData::statementSplitting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("one per line") << "select 1;\nselect 2;\n" << 2;
    QTest::newRow("spread over lines") << "create table t (\n a int\n);\ninsert into t values (1);" << 2;
    QTest::newRow("semicolon inside a line") << "select 'a;b';\n" << 1;
    QTest::newRow("comments only at the end") << "select 1;\n-- done\n\n" << 1;
    QTest::newRow("CRLF") << "select 1;\r\nselect 2;\r\n" << 2;
    QTest::newRow("unterminated last") << "select 1;\nselect 2" << 2;
}

void TestData::statementSplitting()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    const QStringList parts = splitStatements(text);
    QCOMPARE(parts.size(), count);
    QSqlQuery q(m_main);
    for (const QString& s : parts)
        QVERIFY2(q.exec(s), qPrintable(s + q.lastError().text()));
}

void TestData::languageKeys_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    for (const KeyGroup& g : kKeys) {
        const QStringList keys = QString::fromLatin1(g.keys).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& k : keys)
            QTest::addRow("%s.%s", g.section, qPrintable(k)) << QString::fromLatin1(g.section) << k;
    }
}

void TestData::languageKeys()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    const QStringList t = texts(section, key);
    QVERIFY2(t.size() == 3, "no row");
    for (int i = 0; i < 3; ++i)
        QVERIFY2(!t[i].trimmed().isEmpty(), qPrintable(kLanguages[i] + QStringLiteral(" is empty")));
}

void TestData::sourceLookupsHaveRows()
{
    // Literal lookups only; a lookup whose section or key is computed is skipped.
    // Kept out of macros: moc cannot read raw strings inside them.
    static const char wrappedPattern[] =
        R"re((?:\b(?:QStringLiteral|QLatin1String|QLatin1StringView|QString)\s*\(\s*("[^"\\]*")\s*\))|\bu("[^"\\]*")(?:_s|_L1)?)re";
    static const char callPattern[] = R"re(\bGetLangString\s*\(\s*"([^"\\]*)"\s*,\s*"([^"\\]*)")re";
    // A file's section constants (const QString kSection = QStringLiteral("frmProperty")) count as their literal.
    static const char constPattern[] = R"re(\bconst\s+QString\s+(k\w+)\s*=\s*("[^"\\]*"))re";

    // Wrapped literals count as bare ones.
    static const QRegularExpression wrapped(QString::fromLatin1(wrappedPattern));
    static const QRegularExpression call(QString::fromLatin1(callPattern));
    static const QRegularExpression constant(QString::fromLatin1(constPattern));

    QStringList missing;
    int calls = 0;
    QDirIterator it(sourceDir() + QStringLiteral("/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QString code = QString::fromUtf8(readAll(path)).replace(wrapped, QStringLiteral("\\1\\2"));
        auto c = constant.globalMatch(code);
        QList<std::pair<QString, QString>> constants;
        while (c.hasNext()) {
            const auto hit = c.next();
            constants.append({hit.captured(1), hit.captured(2)});
        }
        for (const auto& [name, value] : constants)
            code.replace(QRegularExpression(QStringLiteral("\\b%1\\b(?!\\s*=)").arg(name)), value);
        auto m = call.globalMatch(code);
        while (m.hasNext()) {
            const auto hit = m.next();
            const QString section = hit.captured(1), key = hit.captured(2);
            if (key.contains(u'%')) // completed at run time
                continue;
            ++calls;
            const QStringList t = texts(section, key);
            if (t.size() != 3 || t[0].isEmpty() || t[1].isEmpty() || t[2].isEmpty())
                missing << QStringLiteral("%1.%2 (%3)").arg(section, key, QDir(sourceDir()).relativeFilePath(path));
        }
    }
    missing.removeDuplicates();
    qInfo("%d literal text lookups in the sources", calls);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no complete row for: ") + missing.join(QStringLiteral(", "))));
}

void TestData::noDuplicateKeys()
{
    // Two rows for one key would make the text depend on the row order.
    QSqlQuery q(m_lang);
    QVERIFY(q.exec(QStringLiteral("select lower(E_NAME), lower(Caption), count(*) from tbl_LANGUAGE "
                                  "group by lower(E_NAME), lower(Caption) having count(*) > 1")));
    QStringList dups;
    while (q.next())
        dups << q.value(1).toString();
    QVERIFY2(dups.isEmpty(), qPrintable(dups.join(QStringLiteral(", "))));
}

void TestData::softwareNameIsLanguageFree()
{
    // A format file starts with this name and must open whatever the interface language.
    const QStringList t = texts(QStringLiteral("Global"), QStringLiteral("SoftwareName"));
    QCOMPARE(t.size(), 3);
    QCOMPARE(t[1], t[0]);
    QCOMPARE(t[2], t[0]);
    QVERIFY(!t[0].contains(QLatin1Char('"')) && !t[0].contains(QLatin1Char(',')));
}

void TestData::optionLists_data()
{
    QTest::addColumn<int>("column");
    for (int i = 0; i < 3; ++i)
        QTest::newRow(qPrintable(kLanguages[i])) << i;
}

void TestData::optionLists()
{
    QFETCH(int, column);
    // The print-status code is the first character of an entry; a new field takes
    // the last entry, which must be code 7.
    const QStringList status = texts(QStringLiteral("Global"), QStringLiteral("catPos_PrintStatusCombo"))
                                   .value(column).split(QLatin1Char('|'));
    QCOMPARE(status.size(), 8);
    for (int code = 0; code < status.size(); ++code) {
        QVERIFY2(status[code].startsWith(QString::number(code)), qPrintable(status[code]));
        QVERIFY(status[code].size() > 1 && !status[code].at(1).isDigit());
    }
    // A logo size is exported by its numeric value; a new logo takes entry 1.
    const QStringList logo = texts(QStringLiteral("Global"), QStringLiteral("catLogoSize_SizeCombo"))
                                 .value(column).split(QLatin1Char('|'));
    QVERIFY(logo.size() >= 2);
    for (const QString& e : logo) {
        bool ok = false;
        const int v = e.toInt(&ok);
        QVERIFY2(ok && v >= 0 && v <= 99, qPrintable(e));
    }
    const QStringList english = texts(QStringLiteral("Global"), QStringLiteral("catLogoSize_SizeCombo"))
                                    .value(0).split(QLatin1Char('|'));
    QCOMPARE(logo, english);
}

void TestData::cataloguesAgree()
{
    QList<Catalogue> cats;
    for (const QString& lang : kLanguages) {
        const QByteArray bytes = readAll(dataPath(QStringLiteral("program/FormatField.%1.dsc").arg(lang)));
        QVERIFY2(!bytes.isEmpty(), qPrintable(lang));
        QVERIFY2(!bytes.startsWith("\xEF\xBB\xBF"), "byte-order mark would become part of the first line");
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bytes);
        QVERIFY2(!utf8.hasError(), qPrintable(lang + QStringLiteral(": not valid UTF-8")));
        const Catalogue c = parseCatalogue(text);
        QVERIFY2(c.groups.size() >= 2 && c.groups.size() <= 51, qPrintable(lang));

        QSet<QString> names;
        QSet<QString> types;
        for (const CatalogueField& f : c.fields) {
            const QString where = lang + QStringLiteral(": ") + f.name;
            QVERIFY2(f.group >= 0, qPrintable(where + QStringLiteral(" comes before any heading")));
            QVERIFY2(f.parts == 6 && f.numbersOk, qPrintable(where));
            QVERIFY2(kFieldTypes.contains(f.type), qPrintable(where));
            // The field selector finds a field by its name.
            QVERIFY2(!names.contains(f.name), qPrintable(where + QStringLiteral(" twice")));
            QVERIFY2(!f.name.contains(QLatin1Char('"')), qPrintable(where));
            names.insert(f.name);
            types.insert(f.type);
            // Placed with its defaults a field lies inside the new 55 x 50 mm label.
            QVERIFY2(f.x >= 0 && f.y >= 0 && f.w >= 1 && f.h >= 1 && f.x + f.w <= 55 && f.y + f.h <= 50,
                     qPrintable(where));
        }
        QCOMPARE(types.size(), kFieldTypes.size());
        cats << c;
    }
    // Label files store fields by catalogue index, so every language must agree.
    for (int l = 1; l < cats.size(); ++l) {
        QCOMPARE(cats[l].fields.size(), cats[0].fields.size());
        QCOMPARE(cats[l].groups.size(), cats[0].groups.size());
        for (int i = 0; i < cats[0].fields.size(); ++i) {
            const CatalogueField& a = cats[0].fields[i];
            const CatalogueField& b = cats[l].fields[i];
            const QString where = QStringLiteral("%1, field %2 (%3)").arg(kLanguages[l]).arg(i).arg(a.name);
            QVERIFY2(a.type == b.type && a.group == b.group, qPrintable(where));
            QVERIFY2(a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h, qPrintable(where));
        }
    }
}

void TestData::fieldFonts()
{
    const QString text = QString::fromUtf8(readAll(dataPath(QStringLiteral("program/FieldFont.dsc"))));
    struct Font { QString name; int code, w, h; };
    QList<Font> fonts;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        const QStringList p = line.split(QLatin1Char(','));
        QVERIFY2(p.size() == 4, qPrintable(line));
        bool ok[3];
        Font f{p[0].trimmed(), p[1].trimmed().toInt(&ok[0], 16), p[2].trimmed().toInt(&ok[1]),
               p[3].trimmed().toInt(&ok[2])};
        QVERIFY2(ok[0] && ok[1] && ok[2] && !f.name.isEmpty(), qPrintable(line));
        QVERIFY2(f.code > 0 && f.code <= 0xFF && f.w > 0 && f.h > 0, qPrintable(line));
        QVERIFY2(!f.name.contains(QLatin1Char('"')), qPrintable(line));
        for (const Font& o : fonts) // sizes are looked up both by name and by code
            QVERIFY2(o.name != f.name && o.code != f.code, qPrintable(line));
        fonts << f;
    }
    // A new text field takes the third size: it must exist and be neither extreme.
    QVERIFY(fonts.size() >= 3);
    int minH = fonts[0].h, maxH = fonts[0].h;
    for (const Font& f : fonts) {
        minH = qMin(minH, f.h);
        maxH = qMax(maxH, f.h);
    }
    QVERIFY(fonts[2].h > minH && fonts[2].h < maxH);
}

void TestData::scaleModels()
{
    QSqlQuery q(m_main);
    QVERIFY(q.exec(QStringLiteral("select ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, "
                                  "MM_PER_KDOT from SCALE_MODEL order by SCALE_NAME")));
    int rows = 0;
    QSet<QString> names;
    while (q.next()) {
        ++rows;
        const QString name = q.value(1).toString();
        QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(name));
        names.insert(name);
        int v[7];
        for (int c : {0, 2, 3, 4, 5, 6}) {
            bool ok = false;
            v[c] = q.value(c).toInt(&ok);
            QVERIFY2(ok && v[c] >= 0 && v[c] <= 32767, qPrintable(name));
        }
        QVERIFY2(v[6] > 0, qPrintable(name));
        QVERIFY2(v[3] <= v[2] && v[5] <= v[4], qPrintable(name));
        // A new label is 55 x 50 mm whatever model it gets.
        QVERIFY2(v[3] <= 55 && 55 <= v[2] && v[5] <= 50 && 50 <= v[4], qPrintable(name));
    }
    QVERIFY(rows >= 1);

    QVERIFY(q.exec(QStringLiteral("select SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID from SCALE")));
    QVERIFY(!q.next());
}

void TestData::iniTemplate()
{
    const QString path = dataPath(QStringLiteral("root/Vexo2005.INI"));
    QVERIFY(QFile::exists(path));
    QVERIFY2(!readAll(path).contains('\r'), "CR would end up in the values");
    QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.status(), QSettings::NoError);
    QCOMPARE(ini.value(QStringLiteral("Setting/Language")).toString(), QStringLiteral("English"));
    QCOMPARE(ini.value(QStringLiteral("Setting/SetLanguageCodepage")).toString(), QStringLiteral("0"));
    QCOMPARE(ini.value(QStringLiteral("Setting/LangeCodepageToConvert")).toString(), QStringLiteral("0"));
    // Left out so the default follows the conversion setting.
    QVERIFY(!ini.contains(QStringLiteral("Setting/AnsiCodepage")));
    QCOMPARE(ini.value(QStringLiteral("Transfer/Port")).toString(), QStringLiteral("3001"));
    QCOMPARE(ini.value(QStringLiteral("Transfer/Ping")).toString(), QStringLiteral("ping"));
}

void TestData::bitmaps_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    QTest::newRow("close") << "program/Icon/Close.bmp" << 16;
    QTest::newRow("info") << "program/Icon/info.bmp" << 16;
    QTest::newRow("error") << "program/Icon/error.bmp" << 16;
    QTest::newRow("app icon") << "icons/quillon.png" << 64;
    QTest::newRow("app icon large") << "icons/quillon-256.png" << 256;
}

void TestData::bitmaps()
{
    QFETCH(QString, file);
    QFETCH(int, size);
    QImage img;
    QVERIFY2(img.load(dataPath(file)), qPrintable(file));
    QCOMPARE(img.size(), QSize(size, size));
}

QTEST_GUILESS_MAIN(TestData)
#include "test_data.moc"
