// Checks the shipped data against what the program and the other files expect of it:
// the seeds create both databases, every looked-up text exists in all three languages,
// the catalogues agree across languages, and the settings and bitmaps load.
#include "platform/database.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString dataPath(const QString& rel) { return QStringLiteral(QUILLON_SOURCE_DIR "/data/") + rel; }

// A file's text; empty when it cannot be read or is not valid UTF-8.
QString utf8File(const QString& path)
{
    QFile f(path);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = f.open(QIODevice::ReadOnly) ? utf8.decode(f.readAll()) : QString();
    return utf8.hasError() ? QString() : text;
}

// The data lines of a program-folder file, split at commas and trimmed; comments and blank lines left out.
QList<QStringList> dataLines(const QString& text)
{
    QList<QStringList> lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char(';')))
            continue;
        lines << line.split(QLatin1Char(','));
        for (QString& part : lines.last())
            part = part.trimmed();
    }
    return lines;
}

const QStringList kLanguages{QStringLiteral("English"), QStringLiteral("Chinese"), QStringLiteral("Other")};
const QStringList kFieldTypes = QStringLiteral("B1 B2 B3 B4 B5 C1 C2 C3 C4 N1 TEXT SHOPNAME").split(QLatin1Char(' '));

// Keys looked up under computed names that no one-key helper spells out: driver codes, transfer
// headings, the scale picker's menu and legend.
const char* const kKeys[][2] = {
    {"Global", "msgTCPDriver0 msgTCPDriver1 msgTCPDriver2 msgTCPDriver3 msgTCPDriver4 msgTCPDriver5 msgTCPDriver6 "
               "msgTCPDriver7 msgTCPDriver8 msgTCPDriver9 msgTCPDriver10 msgTCPDriver98 msgTCPDriver99"},
    {"frmMain", "msgSendFormatToScale msgSendTextToScale msgSendShopnameToScale msgAllSuccessful "
                "msgRecvFormatFromScale msgRecvTextFromScale msgRecvShopnameFromScale msgOutcome0 msgOutcome1 "
                "msgOutcome2 msgOutcome3 msgOutcome4 msgOutcome5 msgOutcome6 msgOutcome7 msgOutcome8 msgOutcome9 "
                "msgOutcome10 msgOutcome97 msgOutcome98 msgOutcome99"},
    {"frmScaleSelect", "mnuSelect mnuUnselect mnuSelectAll mnuUnselectAll lblChecking lblPingOK lblTimeOut"}};

// Adds every literal lookup in the sources to `wanted`; returns how many there are.
int addLiteralLookups(QSet<QString>& wanted)
{
    int count = 0;
    // Wrapped literals count as bare ones, a file's section constants
    // (const QString kSection = QStringLiteral("frmProperty")) as their literal;
    // a lookup whose section or key is computed is skipped, except a file's one-key helper
    // (T, Caption, text) called with a literal key.
    // Out of macros, and one plainly spelt: moc miscounts the quotes of raw strings.
    static const char kWrapped[] =
        R"re((?:\b(?:QStringLiteral|QLatin1String|QLatin1StringView|QString)\s*\(\s*("[^"\\]*")\s*\))|\bu("[^"\\]*")(?:_s|_L1)?)re";
    static const char kCall[] = R"re(\bGetLangString\s*\(\s*"([^"\\]*)"\s*,\s*"([^"\\]*)")re";
    static const char kConstant[] = "\\bconst\\s+QString\\s+(k\\w+)\\s*=\\s*(\"[^\"\\\\]*\")";
    static const char kHelperSection[] = R"re(\bGetLangString\s*\(\s*"(\w+)"\s*,\s*QString::fromLatin1\(key\))re";
    static const char kHelper[] = R"re(\b(?:T|Caption|text)\s*\(\s*"(\w+)"\s*\))re";
    static const QRegularExpression wrapped(QString::fromLatin1(kWrapped)), call(QString::fromLatin1(kCall)),
        constant(QString::fromLatin1(kConstant)), helperSection(QString::fromLatin1(kHelperSection)),
        helper(QString::fromLatin1(kHelper));
    QDirIterator it(QStringLiteral(QUILLON_SOURCE_DIR "/src"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString code = utf8File(it.next()).replace(wrapped, QStringLiteral("\\1\\2"));
        QList<std::pair<QString, QString>> constants;
        for (const auto& hit : constant.globalMatch(code))
            constants.append({hit.captured(1), hit.captured(2)});
        for (const auto& [name, value] : constants)
            code.replace(QRegularExpression(QStringLiteral("\\b%1\\b(?!\\s*=)").arg(name)), value);
        for (const auto& hit : call.globalMatch(code))
            if (!hit.captured(2).contains(u'%') && ++count) // completed at run time
                wanted << hit.captured(1) + QLatin1Char('.') + hit.captured(2);
        const QString section = helperSection.match(code).captured(1);
        for (const auto& hit : helper.globalMatch(section.isEmpty() ? QString() : code))
            wanted << section + QLatin1Char('.') + hit.captured(1);
    }
    return count;
}

} // namespace

class TestData : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QSqlDatabase m_db; // the language database with the main one attached as "vexo"

    // English, Chinese, Other of one key; empty list when the row is missing.
    QStringList texts(const QString& key)
    {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("select English, Chinese, Other from tbl_LANGUAGE where E_NAME = ? and Caption = ?"));
        q.addBindValue(QStringLiteral("quillon.exe")); // the lookup ignores case, as the program's does
        q.addBindValue(key);
        if (!q.exec() || !q.next())
            return {};
        return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    }

private slots:
    void initTestCase()
    {
        // The program's own start makes both databases from every seed (and reports what fails).
        for (const QString& f : QDir(dataPath(QStringLiteral("sql"))).entryList({QStringLiteral("*.sql")}))
            QVERIFY2(!utf8File(dataPath(QStringLiteral("sql/") + f)).isEmpty(), qPrintable(f + " is not UTF-8"));
        {
            quillon::Database db;
            db.setSeedFolder(dataPath(QStringLiteral("sql")));
            QVERIFY(db.OpenDatabases(m_dir.path() + QLatin1Char('/')));
        }
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("data"));
        m_db.setDatabaseName(m_dir.filePath(QStringLiteral("Database/language.sqlite")));
        QVERIFY(m_db.open());
        QVERIFY(QSqlQuery(m_db).exec("attach database '" + m_dir.filePath("Database/VEXO2005.sqlite") + "' as vexo"));
    }

    // The keys above and every literal lookup in the sources.
    void lookedUpTextsExist()
    {
        QSet<QString> wanted;
        for (const auto& g : kKeys)
            for (const QString& k : QString::fromLatin1(g[1]).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                wanted << QString::fromLatin1(g[0]) + QLatin1Char('.') + k;
        QVERIFY2(addLiteralLookups(wanted) > 0, "no literal lookup found in the sources");
        QStringList missing;
        for (const QString& w : wanted)
            if (texts(w).isEmpty())
                missing << w;
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no row for: ") + missing.join(u", ")));
        // Every row complete, also those looked up under names only the running program builds.
        QSqlQuery q(m_db);
        QVERIFY(q.exec(QStringLiteral("select Caption from tbl_LANGUAGE where trim(coalesce(English, '')) = '' "
                                      "or trim(coalesce(Chinese, '')) = '' or trim(coalesce(Other, '')) = ''")));
        QVERIFY2(!q.next(), qPrintable(q.value(0).toString()));
    }

    void textRows()
    {
        // Two rows for one key would make the text depend on the row order.
        QSqlQuery q(m_db);
        QVERIFY(q.exec(QStringLiteral("select lower(Caption) from tbl_LANGUAGE group by lower(E_NAME), lower(Caption) "
                                      "having count(*) > 1")));
        QVERIFY2(!q.next(), qPrintable(q.value(0).toString()));
        // A format file starts with this name and must open whatever the interface language.
        const QStringList name = texts(QStringLiteral("Global.SoftwareName"));
        QVERIFY(name.size() == 3 && name[1] == name[0] && name[2] == name[0]);
        QVERIFY(!name[0].contains(QLatin1Char('"')) && !name[0].contains(QLatin1Char(',')));
        const QStringList status = texts(QStringLiteral("Global.catPos_PrintStatusCombo"));
        const QStringList logo = texts(QStringLiteral("Global.catLogoSize_SizeCombo"));
        for (int column = 0; column < 3; ++column) {
            // The print-status code is the first character of an entry; a new field takes
            // the last entry, which must be code 7.
            const QStringList s = status.value(column).split(QLatin1Char('|'));
            QCOMPARE(s.size(), 8);
            for (int code = 0; code < s.size(); ++code)
                QVERIFY2(s[code].startsWith(QString::number(code)) && s[code].size() > 1 && !s[code].at(1).isDigit(),
                         qPrintable(s[code]));
            // A logo size is exported by its numeric value; a new logo takes entry 1.
            const QStringList l = logo.value(column).split(QLatin1Char('|'));
            QVERIFY(l.size() >= 2);
            QCOMPARE(l, logo.value(0).split(QLatin1Char('|')));
            for (const QString& e : l)
                QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d?$")).match(e).hasMatch(), qPrintable(e));
        }
    }

    void cataloguesAgree()
    {
        // Label files store fields by catalogue index, so every language must agree.
        QStringList fields[3];
        for (int l = 0; l < 3; ++l) {
            const QString path = dataPath(QStringLiteral("program/FormatField.%1.dsc").arg(kLanguages[l]));
            const QString text = utf8File(path);
            QVERIFY2(!text.isEmpty(), qPrintable(path + " is missing or not UTF-8"));
            QVERIFY2(!text.startsWith(QChar(0xFEFF)), "byte-order mark would become part of the first line");
            QStringList groups;
            QSet<QString> names, types;
            for (const QStringList& p : dataLines(text)) {
                if (p.size() == 1) { // a heading; a repeated one continues its group
                    if (!groups.contains(p[0]))
                        groups << p[0];
                    fields[l] << QString::number(groups.indexOf(p[0]));
                    continue;
                }
                const QString where = kLanguages[l] + QStringLiteral(": ") + p.join(u',');
                // The field selector finds a field by its name.
                QVERIFY2(!groups.isEmpty() && p.size() == 6 && kFieldTypes.contains(p[1].toUpper())
                             && !names.contains(p[0]) && !p[0].contains(QLatin1Char('"')), qPrintable(where));
                bool ok[4];
                float v[4];
                for (int i = 0; i < 4; ++i)
                    v[i] = p[i + 2].toFloat(&ok[i]);
                // Placed with its defaults a field lies inside the new 55 x 50 mm label.
                QVERIFY2(ok[0] && ok[1] && ok[2] && ok[3] && v[0] >= 0 && v[1] >= 0 && v[2] >= 1 && v[3] >= 1
                             && v[0] + v[2] <= 55 && v[1] + v[3] <= 50, qPrintable(where));
                names << p[0];
                types << p[1].toUpper();
                fields[l] << p[1].toUpper() + QStringLiteral(" %1 %2 %3 %4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
            }
            QVERIFY2(groups.size() >= 2 && groups.size() <= 51, qPrintable(path));
            QCOMPARE(types.size(), kFieldTypes.size());
        }
        QCOMPARE(fields[1], fields[0]);
        QCOMPARE(fields[2], fields[0]);
    }

    void programFiles()
    {
        // Character sizes are looked up both by name and by code; a new text field
        // takes the third size, which must exist and be neither extreme.
        QStringList names;
        QList<int> codes, heights;
        for (const QStringList& p : dataLines(utf8File(dataPath(QStringLiteral("program/FieldFont.dsc"))))) {
            bool ok[3] = {};
            const int code = p.value(1).toInt(&ok[0], 16), w = p.value(2).toInt(&ok[1]), h = p.value(3).toInt(&ok[2]);
            QVERIFY2(p.size() == 4 && ok[0] && ok[1] && ok[2] && !p[0].isEmpty() && !p[0].contains(QLatin1Char('"'))
                         && code > 0 && code <= 0xFF && w > 0 && h > 0 && !names.contains(p[0]) && !codes.contains(code),
                     qPrintable(p.join(u',')));
            names << p[0];
            codes << code;
            heights << h;
        }
        QVERIFY(heights.size() >= 3);
        QVERIFY(heights[2] > *std::min_element(heights.begin(), heights.end())
                && heights[2] < *std::max_element(heights.begin(), heights.end()));

        // Scale models (the program's loader checks their numbers): a new label is 55 x 50 mm whatever
        // model it gets, a model is chosen by its name; no scale is configured.
        QSqlQuery q(m_db);
        QVERIFY(q.exec(QStringLiteral("select count(*), count(distinct SCALE_NAME), sum(MIN_WIDTH <= 55 "
                                      "and 55 <= MAX_WIDTH and MIN_HEIGHT <= 50 and 50 <= MAX_HEIGHT) "
                                      "from vexo.SCALE_MODEL")) && q.next());
        QVERIFY(q.value(0).toInt() > 0 && q.value(1) == q.value(0) && q.value(2) == q.value(0));
        QVERIFY(q.exec(QStringLiteral("select SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID from vexo.SCALE")) && !q.next());

        const QString ini = dataPath(QStringLiteral("root/Vexo2005.INI"));
        QVERIFY2(!utf8File(ini).contains(QLatin1Char('\r')), "CR would end up in the values");
        QSettings s(ini, QSettings::IniFormat);
        QCOMPARE(s.status(), QSettings::NoError);
        const char* const values[][2] = {{"Setting/Language", "English"}, {"Setting/SetLanguageCodepage", "0"},
                                         {"Setting/LangeCodepageToConvert", "0"}, {"Transfer/Port", "3001"},
                                         {"Transfer/Ping", "ping"}};
        for (const auto& [key, value] : values)
            QCOMPARE(s.value(QString::fromLatin1(key)).toString(), QString::fromLatin1(value));
        // Left out so the default follows the conversion setting.
        QVERIFY(!s.contains(QStringLiteral("Setting/AnsiCodepage")));

        const std::pair<const char*, int> bitmaps[] = {{"program/Icon/Close.bmp", 16}, {"program/Icon/info.bmp", 16},
            {"program/Icon/error.bmp", 16}, {"icons/quillon.png", 64}, {"icons/quillon-256.png", 256}};
        for (const auto& [file, size] : bitmaps)
            QVERIFY2(QImage(dataPath(QString::fromLatin1(file))).size() == QSize(size, size), file);
    }
};

QTEST_GUILESS_MAIN(TestData)
#include "test_data.moc"
