// The scale list as CSV and from legacy databases: address rules, CSV reader and writer, and the real
// quillon-convert on temporary runtime trees with stand-ins for mdbtools' programs first on PATH.
#include "common/simprocess.h"
#include "context/appcontext.h"
#include "platform/database.h"
#include "scale/scaledata.h"
#include "scale/scalelistimport.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace quillon;
using namespace quillon::scalelist;
using namespace transfertest;

namespace {

const QString kNull = QStringLiteral("<null>");

void put(const QString& path, const QByteArray& bytes, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY2(writeAll(path, bytes), qPrintable(path));
    QVERIFY(!executable || QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QList<QStringList> flatten(const QList<CsvRecord>& records)
{
    QList<QStringList> out;
    for (const CsvRecord& r : records) {
        QStringList l;
        for (const QVariant& v : r)
            l << (v.isNull() ? kNull : v.toString());
        out << l;
    }
    return out;
}

// Rows of a query on an SQLite file, each row's columns joined by "|".
QStringList rows(const QString& file, const QString& sql)
{
    QStringList out;
    const QString conn = QStringLiteral("check-%1").arg(qHash(file + sql));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(file);
        QSqlQuery q(db.open() ? db : QSqlDatabase());
        if (!q.exec(sql))
            out << QStringLiteral("error: ") + sql;
        while (q.next()) {
            QStringList cols;
            for (int i = 0; i < q.record().count(); ++i)
                cols << (q.value(i).isNull() ? kNull : q.value(i).toString());
            out << cols.join(u'|');
        }
    }
    QSqlDatabase::removeDatabase(conn);
    return out;
}

QStringList scales(const QString& bin)
{
    return rows(bin + QStringLiteral("/../Database/VEXO2005.sqlite"),
                QStringLiteral("select SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID from SCALE order by SC_IP"));
}

// Stand-in for mdbtools: prints the tables of $STANDIN_DIR as mdb-export would (spelled line by line for moc).
const char* kStandIn =
    "#!/bin/sh\n"
    "PATH=/usr/bin:/bin\n"
    "case \"$(basename \"$0\")\" in mdb-tables) file=\"$2\" ;; *) file=\"$1\"; table=\"$2\" ;; esac\n"
    "case \"$file\" in /*) ;; *) echo \"not an absolute path: $file\" >&2; exit 3 ;; esac\n"
    "[ -f \"$file\" ] || { echo \"Couldn't open database.\" >&2; exit 1; }\n"
    "if [ \"$(basename \"$0\")\" = mdb-tables ]; then cat \"$STANDIN_DIR/tables\"; exit 0; fi\n"
    "[ -f \"$STANDIN_DIR/$table.fail\" ] && { echo \"Error: Table $table does not exist\" >&2; exit 1; }\n"
    "cat \"$STANDIN_DIR/$table.csv\"\n";

} // namespace

class TestScaleList : public QObject {
    Q_OBJECT
    QTemporaryDir m_tools; // the stand-ins, and their tables
    QTemporaryDir m_runtime;


private slots:
    void initTestCase()
    {
        put(m_tools.filePath("bin/mdb-export"), kStandIn, true);
        put(m_tools.filePath("bin/mdb-tables"), kStandIn, true);
        QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // What quillon-convert inherits: only the stand-ins, even where mdbtools is installed.
        qunsetenv("QUILLON_PROGRAM_DIR");
        qputenv("PATH", m_tools.filePath("bin").toUtf8());
        qputenv("STANDIN_DIR", m_tools.filePath("tables").toUtf8());
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }

    // Dotted is the only form that may become a file name or an argument; the scale number is read anyway.
    void addressRules()
    {
        const struct {
            const char* ip;
            bool dotted;
            int scaleNo;
        } cases[] = {
            {"192.168.1.21", true, 21}, {"10.0.0.0", true, 0}, {"255.255.255.255", true, 255},
            {"10.0.0.256", false, 256}, {"192.168.1.x", false, 0}, {"10.0.0.07", false, 7}, {"10.0.7", false, 7},
            {"10.0.0.7.1", false, 1}, {"10..0.7", false, 7}, {"10.0.0. 5", false, 5}, {"10.0.0.+7", false, 7},
            {"42", false, 42}, {"10.0.0.12ab", false, 12}, {"1.1.1.99999", false, 0}, {"", false, 0},
            {"10.0.0.٧", false, 0},
        };
        for (const auto& c : cases) {
            QVERIFY2(IsDottedIPv4(QString::fromUtf8(c.ip)) == c.dotted, c.ip);
            QVERIFY2(GetScaleNoFromIP(QString::fromUtf8(c.ip)) == c.scaleNo, c.ip);
        }
    }

    void parseCsv()
    {
        using L = QList<QStringList>;
        const struct {
            QByteArray input;
            L expected;
            const char* error; // part of the message; "": parses
        } cases[] = {
            {"a,b\r\n1,2", {{"a", "b"}, {"1", "2"}}, ""},
            {"\"x,y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n", {{"x,y", "say \"hi\"", "two\r\nlines"}}, ""},
            {"1,,\"\",3\n", {{"1", kNull, "", "3"}}, ""},
            {"\xEF\xBB\xBF" "a\n\n\r\nb\n", {{"a"}, {"b"}}, ""}, // byte order mark, blank lines
            {" a , b \n", {{" a ", " b "}}, ""},
            {"\"Весы\",秤\n", {{"Весы", "秤"}}, ""},
            {"", {}, ""},
            {"a,b\"c\n", {}, "line 1: a quote inside"},
            {"a\n\"b\"c\n", {}, "line 2: text after"},
            {"a\n\"b,\nc\n", {}, "line 2: a quoted field is not closed"},
            {"caf\xE9\n", {}, "not UTF-8"},
        };
        for (const auto& c : cases) {
            QString why;
            const auto parsed = ParseCsv(c.input, &why);
            QVERIFY2(bool(parsed) == !*c.error && why.contains(QLatin1String(c.error)), c.input.constData());
            QCOMPARE(parsed ? flatten(*parsed) : L{}, c.expected);
            // Written back line by line and read again, the same, but that an empty field is written bare
            // and so reads as Null.
            QByteArray written;
            L expected = c.expected;
            for (QStringList& record : expected) {
                written += CsvLine(record);
                record.replaceInStrings(QRegularExpression("^$"), kNull);
            }
            const auto back = ParseCsv(written, &why);
            QVERIFY(back && (written.isEmpty() || written.endsWith("\r\n")));
            QCOMPARE(flatten(*back), expected);
        }
    }

    void importScales()
    {
        const QByteArray h = "Number,Address,Model\r\n";
        const QByteArray preset = h + "7,10.0.0.7,QT-12 Basic\r\n";
        const QStringList presetRows = {"7|97|10.0.0.7|1|7"};
        const struct {
            QByteArray preset, csv;
            int rc;
            QStringList table, messages; // SC_NO|DP_NO|SC_IP|SC_USED|SC_MODEL_ID by address; each in the output
        } cases[] = {
            {{}, h + "5,192.168.1.21,\"QC-20 Counter\"\r\n9,10.0.0.9,QP-80 Prepack\r\n", 0,
             {"9|97|10.0.0.9|1|4", "21|97|192.168.1.21|1|1"},
             {"the number 5 is not the last part of 192.168.1.21; 21 is stored", "2 scale(s) added, 0 skipped"}},
            {{}, h + "7,10.0.0.7,QC-20 Counter\n7,10.0.0.7,QD-50 Deli\n0,10.0.0.0,QC-20 Counter\n"
                     ", 10.0.0.8 ,QC-20 Counter\n,scale.local,QC-20 Counter\n", 0,
             {"7|97|10.0.0.7|1|1", "8|97|10.0.0.8|1|1"},
             {"line 3: the address 10.0.0.7 is already", "line 4: \"10.0.0.0\"", "line 6: \"scale.local\"",
              "2 scale(s) added, 3 skipped"}},
            // Nothing changes when any line is wrong.
            {preset, h + "9,10.0.0.9,QC-20 Counter\r\n10.0.0.10,QC-20 Counter\r\n11,10.0.0.11,QZ-99 Unknown\r\n", 1,
             presetRows, {"line 3: 2 fields", "line 4: there is no scale model \"QZ-99 Unknown\"", "unchanged"}},
            {preset, "9,10.0.0.9,QC-20 Counter\r\n", 1, presetRows, {"must be the header"}},
            {preset, "Number,Address,Model,Store\r\n9,10.0.0.9,QC-20 Counter\r\n", 1, presetRows,
             {"line 2: 3 fields where the header has 4"}},
            {preset, "", 1, presetRows, {"the file is empty"}},
        };
        for (const auto& c : cases) {
            QTemporaryDir dir;
            const QString bin = makeRuntimeTree(dir.path());
            QByteArray out;
            put(dir.filePath("preset.csv"), c.preset);
            put(dir.filePath("in.csv"), c.csv);
            QVERIFY(c.preset.isEmpty() || runConvert(bin, {"import-scales", dir.filePath("preset.csv")}) == 0);
            QCOMPARE(runConvert(bin, {"import-scales", dir.filePath("in.csv")}, &out), c.rc);
            for (const QString& m : c.messages)
                QVERIFY2(out.contains(m.toUtf8()), out.constData());
            QCOMPARE(scales(bin), c.table);
        }
    }

    void exportRoundTrip()
    {
        QTemporaryDir dir, other;
        const QString bin = makeRuntimeTree(dir.path()), bin2 = makeRuntimeTree(other.path());
        for (const QString& b : {bin, bin2}) {
            QCOMPARE(runConvert(b, {"export-scales", b + "/../empty.csv"}), 0); // also makes the database
            QCOMPARE(readAll(b + "/../empty.csv"), QByteArray("Number,Address,Model,Store\r\n"));
            // A model name as a user may type it: a comma and quotes.
            rows(b + "/../Database/VEXO2005.sqlite",
                 "insert into SCALE_MODEL values (20, 'Deli \"Pro\", 2 heads', 60, 30, 100, 20, 125)");
        }
        // With stores, and a file from before the store column: its scales get none.
        const QByteArray head = "Number,Address,Model,Store\r\n";
        const QByteArray deli = "2,10.1.0.2,\"Deli \"\"Pro\"\", 2 heads\",\"Berlin, Mitte\"\r\n";
        const QByteArray counter = "2,10.2.0.2,QC-20 Counter,Köln\r\n", self = "31,10.1.0.31,QX-30 Self-Service,\r\n";
        const QByteArray old = "Number,Address,Model\r\n4,10.3.0.4,QC-20 Counter\r\n";
        put(dir.filePath("in.csv"), head + self + deli + "2,10.2.0.2,QC-20 Counter, Köln \r\n");
        put(dir.filePath("old.csv"), old);
        QCOMPARE(runConvert(bin, {"import-scales", dir.filePath("in.csv")}), 0);
        QCOMPARE(runConvert(bin, {"import-scales", dir.filePath("old.csv")}), 0);
        QCOMPARE(runConvert(bin, {"export-scales", dir.filePath("out.csv")}), 0);
        QCOMPARE(readAll(dir.filePath("out.csv")), // by number, then address
                 head + deli + counter + "4,10.3.0.4,QC-20 Counter,\r\n" + self);
        // The exported file fills another workstation's list the same way.
        QCOMPARE(runConvert(bin2, {"import-scales", dir.filePath("out.csv")}), 0);
        QCOMPARE(scales(bin2), scales(bin));
        const QString stores = "select SC_IP, Store from SCALE order by SC_IP";
        QCOMPARE(rows(bin2 + "/../Database/VEXO2005.sqlite", stores),
                 (QStringList{"10.1.0.2|Berlin, Mitte", "10.1.0.31|<null>", "10.2.0.2|Köln", "10.3.0.4|<null>"}));
        // A folder that cannot take the file leaves nothing behind.
        QCOMPARE(runConvert(bin, {"export-scales", dir.filePath("no/such/folder/out.csv")}), 1);
        QVERIFY(!QFileInfo::exists(dir.filePath("no/such/folder")));
    }

    // A database file from before the store column gains it when opened, its rows kept; a store's scales.
    void oldDatabaseGainsStore()
    {
        QTemporaryDir dir;
        const QString bin = makeRuntimeTree(dir.path()), file = bin + "/../Database/VEXO2005.sqlite";
        QCOMPARE(runConvert(bin, {"export-scales", dir.filePath("made.csv")}), 0);
        for (const char* sql : {"create table OLD as select SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID from SCALE",
                                "drop table SCALE", "alter table OLD rename to SCALE",
                                "insert into SCALE values (7, 12, '10.0.0.7', 1, 1)"})
            QCOMPARE(rows(file, sql), QStringList{});
        QCOMPARE(rows(file, "select count(*) from pragma_table_info('SCALE') where name = 'Store'"), QStringList{"0"});
        Database db;
        QVERIFY(db.OpenDatabases(dir.path() + "/"));
        QVERIFY(AddScale(db, "10.0.0.9", 1, " Köln ") && AddScale(db, "10.0.0.10", 1, "Köln"));
        QVERIFY(AddScale(db, "10.0.0.8", 1, "Berlin") && AddScale(db, "10.0.0.11", 1, "  "));
        const struct {
            QString store;
            QStringList scales;
        } cases[] = {{"Köln", {"10.0.0.10", "10.0.0.9"}}, {" Berlin", {"10.0.0.8"}}, {"", {"10.0.0.11", "10.0.0.7"}},
                     {"köln", {}}, {"Nowhere", {}}};
        for (const auto& c : cases)
            QCOMPARE(ScalesOfStore(db, c.store), c.scales);
        QCOMPARE(ListStores(db), (QStringList{"Berlin", "Köln"}));
        db.Close();
        QCOMPARE(rows(file, "select SC_NO, DP_NO, SC_IP, Store from SCALE where SC_IP = '10.0.0.7'"),
                 QStringList{"7|12|10.0.0.7|<null>"});
    }

    void importDb()
    {
        const QByteArray models = "ID,SCALE_NAME,MAX_WIDTH,MIN_WIDTH,MAX_HEIGHT,MIN_HEIGHT,MM_PER_KDOT\n"
                                  "1,\"Legacy A\",60,30,100,20,125\n"        // ID taken by the seed
                                  "9,\"QC-20 Counter\",80,40,150,25,83\n"    // name known: kept
                                  "10,\"Broken\",60,30,100,20,0\n"           // MM_PER_KDOT 0
                                  "40,\"legacy b\",58,30,100,20,167\n";     // sorts among the others whatever its case
        const QByteArray head = "SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID\n";
        const QByteArray scales = head + "21,12,\"192.168.5.21\",1,1\n22,97,\"192.168.5.22\",0,9\n"
                                         "0,97,\"192.168.5.x\",1,1\n21,97,\"192.168.5.21\",1,40\n"
                                         "23,97,\"192.168.5.23\",1,10\n24,,\"192.168.5.24\",1,40\n";
        // The first key is the seed's in other case, the third the second's again, the last without key.
        const QByteArray texts = "E_NAME,Caption,English,Chinese,Other\n"
                                 "quillon.exe,global.softwarename,Scale Label Studio,秤标签,Этикетки\n"
                                 "LEGACY.EXE,frmMain.msgWantQuit,\"Quit, \"\"really\"\"?\nSure?\",,Выйти?\n"
                                 "LEGACY.EXE,FRMMAIN.MSGWANTQUIT,again,again,again\n"
                                 "LEGACY.EXE,,no key,no key,no key\n";
        const struct {
            QByteArray tables, models, scales; // a table's CSV as mdb-export writes it; "": mdb-export fails
            int rc;
            // ID|SCALE_NAME|MM_PER_KDOT of rows past the seed's; the scales; in the output; the imported texts
            QStringList newModels, table, messages, texts = {};
        } cases[] = {
            // A key already there keeps its row and takes the new texts; Null stays Null, so the program still
            // reports the missing text.
            {"SCALE_MODEL\nSCALE\ntbl_LANGUAGE\nMSysObjects\n", models, scales, 0,
             {"8|Legacy A|125", "40|legacy b|167"},
             {"21|12|192.168.5.21|1|8", "22|97|192.168.5.22|0|1", "24|97|192.168.5.24|1|40"},
             {"\"Legacy A\" gets the ID 8, as 1 is taken", "\"QC-20 Counter\" is already known", "\"Broken\"",
              "\"192.168.5.x\" is not", "192.168.5.21 is already", "192.168.5.23 has no known model",
              "5 added, 4 skipped", "texts: 1 added, 1 replaced, 2 skipped"},
             {"LEGACY.EXE|Quit, \"really\"?\nSure?|" + kNull + "|Выйти?",
              "QUILLON.EXE|Scale Label Studio|秤标签|Этикетки"}},
            // Scales only: models by their IDs here.
            {"SCALE\n", {}, head + "7,97,\"10.0.0.7\",1,3\n8,97,\"10.0.0.8\",1,99\n", 0, {}, {"7|97|10.0.0.7|1|3"},
             {"10.0.0.8 has no known model"}},
            // Nothing changes when any table is wrong (tbl_LANGUAGE here fails as well).
            {"SCALE_MODEL\nSCALE\ntbl_LANGUAGE\n", models, {}, 1, {}, {},
             {"Table SCALE does not exist", "scales are unchanged", "texts are unchanged"}},
            {"SCALE_MODEL\nSCALE\n", models, scales + "25,97,\"192.168.5.25\"\n", 1, {}, {},
             {"line 8: 3 fields where the header has 5"}},
            {"SCALE_MODEL\n", "ID,SCALE_NAME\n1,\"A\"\n", {}, 1, {}, {}, {"has no column MAX_WIDTH"}},
            {"Customers\n", {}, {}, 1, {}, {}, {"holds none of the tables"}},
            // Without mdbtools at all: a clear message, nothing imported.
            {{}, {}, {}, 1, {}, {}, {"mdb-tables cannot be started (is the package mdbtools installed?)"}},
        };
        for (const auto& c : cases) {
            QDir(m_tools.filePath("tables")).removeRecursively();
            put(m_tools.filePath("tables/tables"), c.tables);
            put(m_tools.filePath(c.models.isEmpty() ? "tables/SCALE_MODEL.fail" : "tables/SCALE_MODEL.csv"), c.models);
            put(m_tools.filePath(c.scales.isEmpty() ? "tables/SCALE.fail" : "tables/SCALE.csv"), c.scales);
            if (!c.texts.isEmpty())
                put(m_tools.filePath("tables/tbl_LANGUAGE.csv"), texts);
            if (c.tables.isEmpty())
                QFile::remove(m_tools.filePath("bin/mdb-tables"));
            QTemporaryDir dir;
            const QString bin = makeRuntimeTree(dir.path());
            // A name that would read as an option; it reaches mdbtools as an absolute path.
            put(dir.filePath("-legacy.mdb"), "stand-in");
            QByteArray out;
            const QString cwd = QDir::currentPath();
            QDir::setCurrent(dir.path());
            const int status = runConvert(bin, {"import-db", "-legacy.mdb"}, &out);
            QDir::setCurrent(cwd);
            put(m_tools.filePath("bin/mdb-tables"), kStandIn, true);
            QCOMPARE(status, c.rc);
            for (const QString& m : c.messages)
                QVERIFY2(out.contains(m.toUtf8()), out.constData());
            QCOMPARE(rows(dir.filePath("Database/VEXO2005.sqlite"),
                          "select ID, SCALE_NAME, MM_PER_KDOT from SCALE_MODEL where ID > 7 order by ID"),
                     c.newModels);
            QCOMPARE(::scales(bin), c.table);
            if (!c.newModels.isEmpty()) { // labels keep their model as a place in the case-blind name order
                AppContext ctx;
                QVERIFY(ctx.InitApplication(bin));
                QCOMPARE(ctx.tables.g_arrScaleModel.value(1).SCALE_NAME, QStringLiteral("legacy b"));
            }
            QCOMPARE(rows(dir.filePath("Database/language.sqlite"), "select E_NAME, English, Chinese, Other from "
                          "tbl_LANGUAGE where E_NAME = 'LEGACY.EXE' or English = 'Scale Label Studio' order by E_NAME"),
                     c.texts);
        }
    }
};

QTEST_GUILESS_MAIN(TestScaleList)
#include "test_scalelist.moc"
