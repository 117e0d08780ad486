// The scale list as CSV and from legacy databases: the address rules, the CSV reader and
// writer, and the real quillon-convert on temporary runtime trees, with stand-ins for
// mdbtools' programs first on PATH.
#include "common/simprocess.h"
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

const char* kModel20 = "insert into SCALE_MODEL values (20, 'Deli \"Pro\", 2 heads', 60, 30, 100, 20, 125)";

// moc reads raw strings poorly, so the script is spelled line by line.
const char* kStandIn =
    "#!/bin/sh\n"
    "# Stand-in for mdbtools: prints the tables of $STANDIN_DIR as mdb-export would.\n"
    "PATH=/usr/bin:/bin\n"
    "case \"$(basename \"$0\")\" in\n"
    "  mdb-tables) file=\"$2\" ;;\n"
    "  *) file=\"$1\"; table=\"$2\" ;;\n"
    "esac\n"
    "case \"$file\" in\n"
    "  /*) ;;\n"
    "  *) echo \"not an absolute path: $file\" >&2; exit 3 ;;\n"
    "esac\n"
    "[ -f \"$file\" ] || { echo \"Couldn't open database.\" >&2; exit 1; }\n"
    "if [ \"$(basename \"$0\")\" = mdb-tables ]; then cat \"$STANDIN_DIR/tables\"; exit 0; fi\n"
    "if [ -f \"$STANDIN_DIR/$table.fail\" ]; then\n"
    "  echo \"Error: Table $table does not exist in this database.\" >&2; exit 1\n"
    "fi\n"
    "cat \"$STANDIN_DIR/$table.csv\"\n";

} // namespace

class TestScaleList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void addressRules();
    void parseCsv_data();
    void parseCsv();
    void csvLineRoundTrip();
    void importScales_data();
    void importScales();
    void exportRoundTrip();
    void importDbMain_data();
    void importDbMain();
    void importDbLanguage();

private:
    QTemporaryDir m_tools; // the stand-ins, and their tables
    QTemporaryDir m_runtime;
};

void TestScaleList::initTestCase()
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

void TestScaleList::addressRules()
{
    // Dotted: the only form that may become a file name or an argument; the scale number is read anyway.
    const struct {
        const char* ip;
        bool dotted;
        int scaleNo;
    } cases[] = {
        {"192.168.1.21", true, 21}, {"10.0.0.0", true, 0}, {"255.255.255.255", true, 255},
        {"0.0.0.255", true, 255}, {"10.0.0.256", false, 256}, {"192.168.1.x", false, 0},
        {"10.0.0.07", false, 7}, {"10.0.7", false, 7}, {"10.0.0.7.1", false, 1},
        {"10..0.7", false, 7}, {"10.0.0.7 ", false, 7}, {"10.0.0. 5", false, 5},
        {"10.0.0.+7", false, 7}, {"scale.local", false, 0}, {"-oProxy=1", false, 0},
        {"../../etc.1", false, 1}, {"42", false, 42}, {"10.0.0.12ab", false, 12},
        {"1.1.1.99999", false, 0}, {"", false, 0}, {"10.0.0.٧", false, 0},
    };
    for (const auto& c : cases) {
        const QString ip = QString::fromUtf8(c.ip);
        QVERIFY2(IsDottedIPv4(ip) == c.dotted, c.ip);
        QVERIFY2(GetScaleNoFromIP(ip) == c.scaleNo, c.ip);
    }
}

void TestScaleList::parseCsv_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QStringList>>("expected");
    QTest::addColumn<QString>("error"); // part of the message; empty: parses
    using L = QList<QStringList>;
    QTest::newRow("plain, CR LF") << QByteArray("a,b\r\n1,2\r\n") << L{{"a", "b"}, {"1", "2"}} << "";
    QTest::newRow("LF, no final line end") << QByteArray("a,b\n1,2") << L{{"a", "b"}, {"1", "2"}} << "";
    QTest::newRow("quoted comma, quote, line break") << QByteArray("\"x,y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n")
                                                     << L{{"x,y", "say \"hi\"", "two\r\nlines"}} << "";
    QTest::newRow("Null and empty") << QByteArray("1,,\"\",3\n") << L{{"1", kNull, "", "3"}} << "";
    QTest::newRow("byte order mark, blank lines") << QByteArray("\xEF\xBB\xBF" "a\n\n\r\nb\n") << L{{"a"}, {"b"}} << "";
    QTest::newRow("blanks are data") << QByteArray(" a , b \n") << L{{" a ", " b "}} << "";
    QTest::newRow("UTF-8 text") << QByteArray("\"Весы\",秤\n") << L{{"Весы", "秤"}} << "";
    QTest::newRow("empty file") << QByteArray() << L{} << "";
    QTest::newRow("quote inside a field") << QByteArray("a,b\"c\n") << L{} << "line 1: a quote inside";
    QTest::newRow("text after closing quote") << QByteArray("a\n\"b\"c\n") << L{} << "line 2: text after";
    QTest::newRow("quote left open") << QByteArray("a\n\"b,\nc\n") << L{} << "line 2: a quoted field is not closed";
    QTest::newRow("not UTF-8") << QByteArray("caf\xE9\n") << L{} << "not UTF-8";
}

void TestScaleList::parseCsv()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QStringList>, expected);
    QFETCH(QString, error);
    QString why;
    const auto parsed = ParseCsv(input, &why);
    QCOMPARE(bool(parsed), error.isEmpty());
    QVERIFY2(why.contains(error), qPrintable(why));
    if (parsed)
        QCOMPARE(flatten(*parsed), expected);
}

void TestScaleList::csvLineRoundTrip()
{
    const QList<QStringList> records = {
        {"12", "10.0.0.12", "QC-20 Counter"},
        {"a,b", "say \"x\"", "line\nbreak", " padded ", ""},
        {"\"", ",", "\r\n"},
    };
    QByteArray bytes;
    for (const QStringList& r : records)
        bytes += CsvLine(r);
    QVERIFY(bytes.endsWith("\r\n"));
    QString why;
    const auto parsed = ParseCsv(bytes, &why);
    QVERIFY2(parsed, qPrintable(why));
    QList<QStringList> back = flatten(*parsed);
    // An empty field is written bare and so reads as Null.
    QCOMPARE(back[1][4], kNull);
    back[1][4].clear();
    QCOMPARE(back, records);
}

void TestScaleList::importScales_data()
{
    QTest::addColumn<QByteArray>("preset");   // imported first (empty: nothing)
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<int>("rc");
    QTest::addColumn<QStringList>("table");   // SC_NO|DP_NO|SC_IP|SC_USED|SC_MODEL_ID by address
    QTest::addColumn<QStringList>("messages"); // each somewhere in the output
    const QByteArray header = "Number,Address,Model\r\n";
    const QByteArray preset = header + "7,10.0.0.7,QT-12 Basic\r\n";
    const QStringList presetRows = {"7|97|10.0.0.7|1|7"};
    QTest::newRow("adds") << QByteArray() << header + "21,192.168.1.21,\"QC-20 Counter\"\r\n9,10.0.0.9,QP-80 Prepack\r\n"
                          << 0 << QStringList{"9|97|10.0.0.9|1|4", "21|97|192.168.1.21|1|1"}
                          << QStringList{"2 scale(s) added, 0 skipped"};
    QTest::newRow("invalid and repeated addresses skipped")
        << QByteArray()
        << header + "7,10.0.0.7,QC-20 Counter\n7,10.0.0.7,QD-50 Deli\n,10.0.0.300,QC-20 Counter\n"
                    "0,10.0.0.0,QC-20 Counter\n, 10.0.0.8 ,QC-20 Counter\n,scale.local,QC-20 Counter\n"
        << 0 << QStringList{"7|97|10.0.0.7|1|1", "8|97|10.0.0.8|1|1"}
        << QStringList{"line 3: the address 10.0.0.7 is already", "line 4: \"10.0.0.300\"", "line 5: \"10.0.0.0\"",
                       "line 7: \"scale.local\"", "2 scale(s) added, 4 skipped"};
    QTest::newRow("address already listed")
        << preset << header + "7,10.0.0.7,QC-20 Counter\r\n9,10.0.0.9,QC-20 Counter\r\n" << 0
        << QStringList{"7|97|10.0.0.7|1|7", "9|97|10.0.0.9|1|1"} << QStringList{"already in the scale list"};
    QTest::newRow("number not the address's")
        << QByteArray() << header + "5,10.0.0.9,QC-20 Counter\r\n" << 0 << QStringList{"9|97|10.0.0.9|1|1"}
        << QStringList{"the number 5 is not the last part of 10.0.0.9; 9 is stored"};
    QTest::newRow("unknown model changes nothing")
        << preset << header + "9,10.0.0.9,QC-20 Counter\r\n10,10.0.0.10,QZ-99 Unknown\r\n" << 1 << presetRows
        << QStringList{"line 3: there is no scale model \"QZ-99 Unknown\"", "unchanged"};
    QTest::newRow("quote left open changes nothing") << preset << header + "9,10.0.0.9,\"QC-20 Counter\r\n" << 1
                                                     << presetRows << QStringList{"line 2: a quoted field is not closed"};
    QTest::newRow("two fields changes nothing")
        << preset << header + "9,10.0.0.9,QC-20 Counter\r\n10.0.0.10,QC-20 Counter\r\n" << 1 << presetRows
        << QStringList{"line 3: 2 fields"};
    QTest::newRow("no header") << preset << QByteArray("9,10.0.0.9,QC-20 Counter\r\n") << 1 << presetRows
                               << QStringList{"must be the header"};
    QTest::newRow("empty file") << preset << QByteArray() << 1 << presetRows << QStringList{"the file is empty"};
}

void TestScaleList::importScales()
{
    QFETCH(QByteArray, preset);
    QFETCH(QByteArray, csv);
    QFETCH(int, rc);
    QFETCH(QStringList, table);
    QFETCH(QStringList, messages);
    QTemporaryDir dir;
    const QString bin = makeRuntimeTree(dir.path());
    QByteArray out;
    put(dir.filePath("preset.csv"), preset);
    QVERIFY(preset.isEmpty() || runConvert(bin, {"import-scales", dir.filePath("preset.csv")}) == 0);
    put(dir.filePath("in.csv"), csv);
    QCOMPARE(runConvert(bin, {"import-scales", dir.filePath("in.csv")}, &out), rc);
    for (const QString& m : messages)
        QVERIFY2(out.contains(m.toUtf8()), out.constData());
    QCOMPARE(scales(bin), table);
}

void TestScaleList::exportRoundTrip()
{
    QTemporaryDir dir, other;
    const QString bin = makeRuntimeTree(dir.path()), bin2 = makeRuntimeTree(other.path());
    for (const QString& b : {bin, bin2}) {
        QCOMPARE(runConvert(b, {"export-scales", b + "/../empty.csv"}), 0); // also makes the database
        QCOMPARE(readAll(b + "/../empty.csv"), QByteArray("Number,Address,Model\r\n"));
        // A model name as a user may type it: a comma and quotes.
        rows(b + "/../Database/VEXO2005.sqlite", kModel20);
    }
    put(dir.filePath("in.csv"), "Number,Address,Model\r\n"
                                "31,10.1.0.31,QX-30 Self-Service\r\n"
                                "2,10.1.0.2,\"Deli \"\"Pro\"\", 2 heads\"\r\n"
                                "2,10.2.0.2,QC-20 Counter\r\n");
    QCOMPARE(runConvert(bin, {"import-scales", dir.filePath("in.csv")}), 0);
    QCOMPARE(runConvert(bin, {"export-scales", dir.filePath("out.csv")}), 0);
    // By number, then address.
    QCOMPARE(readAll(dir.filePath("out.csv")), QByteArray("Number,Address,Model\r\n"
                                                          "2,10.1.0.2,\"Deli \"\"Pro\"\", 2 heads\"\r\n"
                                                          "2,10.2.0.2,QC-20 Counter\r\n"
                                                          "31,10.1.0.31,QX-30 Self-Service\r\n"));
    // The exported file fills another workstation's list the same way.
    QCOMPARE(runConvert(bin2, {"import-scales", dir.filePath("out.csv")}), 0);
    QCOMPARE(scales(bin2), scales(bin));
    // A folder that cannot take the file leaves nothing behind.
    QCOMPARE(runConvert(bin, {"export-scales", dir.filePath("no/such/folder/out.csv")}), 1);
    QVERIFY(!QFileInfo::exists(dir.filePath("no/such/folder")));
}

void TestScaleList::importDbMain_data()
{
    QTest::addColumn<QByteArray>("tables");
    QTest::addColumn<QByteArray>("models"); // SCALE_MODEL as mdb-export writes it ("" : fails)
    QTest::addColumn<QByteArray>("scales");
    QTest::addColumn<int>("rc");
    QTest::addColumn<QStringList>("newModels"); // ID|SCALE_NAME|MM_PER_KDOT of rows past the seed's
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QStringList>("messages");
    const QByteArray models = "ID,SCALE_NAME,MAX_WIDTH,MIN_WIDTH,MAX_HEIGHT,MIN_HEIGHT,MM_PER_KDOT\n"
                              "1,\"Legacy A\",60,30,100,20,125\n"        // ID taken by the seed
                              "9,\"QC-20 Counter\",80,40,150,25,83\n"    // name known: kept
                              "10,\"Broken\",60,30,100,20,0\n"           // MM_PER_KDOT 0
                              "40,\"Legacy B\",58,30,100,20,167\n";
    const QByteArray scales = "SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID\n"
                              "21,12,\"192.168.5.21\",1,1\n"
                              "22,97,\"192.168.5.22\",0,9\n"
                              "0,97,\"192.168.5.x\",1,1\n"
                              "21,97,\"192.168.5.21\",1,40\n"
                              "23,97,\"192.168.5.23\",1,10\n"
                              "24,,\"192.168.5.24\",1,40\n";
    const QByteArray both = "SCALE_MODEL\nSCALE\n";
    QTest::newRow("models and scales")
        << both + "MSysObjects\n" << models << scales << 0 << QStringList{"8|Legacy A|125", "40|Legacy B|167"}
        << QStringList{"21|12|192.168.5.21|1|8", "22|97|192.168.5.22|0|1", "24|97|192.168.5.24|1|40"}
        << QStringList{"\"Legacy A\" gets the ID 8, as 1 is taken", "\"QC-20 Counter\" is already known",
                       "\"Broken\"", "\"192.168.5.x\" is not", "192.168.5.21 is already",
                       "192.168.5.23 has no known model", "5 added, 4 skipped"};
    QTest::newRow("scales only: models by their IDs here")
        << QByteArray("SCALE\n") << QByteArray()
        << QByteArray("SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID\n7,97,\"10.0.0.7\",1,3\n8,97,\"10.0.0.8\",1,99\n") << 0
        << QStringList{} << QStringList{"7|97|10.0.0.7|1|3"} << QStringList{"10.0.0.8 has no known model"};
    QTest::newRow("a table mdb-export cannot read changes nothing")
        << both << models << QByteArray() << 1 << QStringList{} << QStringList{}
        << QStringList{"Table SCALE does not exist", "unchanged"};
    QTest::newRow("a ragged row changes nothing")
        << both << models << scales + "25,97,\"192.168.5.25\"\n" << 1 << QStringList{} << QStringList{}
        << QStringList{"line 8: 3 fields where the header has 5"};
    QTest::newRow("a column missing changes nothing")
        << QByteArray("SCALE_MODEL\n") << QByteArray("ID,SCALE_NAME\n1,\"A\"\n") << QByteArray() << 1
        << QStringList{} << QStringList{} << QStringList{"has no column MAX_WIDTH"};
    QTest::newRow("none of the tables") << QByteArray("Customers\n") << QByteArray() << QByteArray() << 1
                                        << QStringList{} << QStringList{} << QStringList{"holds none of the tables"};
}

void TestScaleList::importDbMain()
{
    QFETCH(QByteArray, tables);
    QFETCH(QByteArray, models);
    QFETCH(QByteArray, scales);
    QFETCH(int, rc);
    QFETCH(QStringList, newModels);
    QFETCH(QStringList, table);
    QFETCH(QStringList, messages);
    QDir(m_tools.filePath("tables")).removeRecursively();
    put(m_tools.filePath("tables/tables"), tables);
    put(m_tools.filePath(models.isEmpty() ? "tables/SCALE_MODEL.fail" : "tables/SCALE_MODEL.csv"), models);
    put(m_tools.filePath(scales.isEmpty() ? "tables/SCALE.fail" : "tables/SCALE.csv"), scales);
    QTemporaryDir dir;
    const QString bin = makeRuntimeTree(dir.path());
    // A name that would read as an option; it reaches mdbtools as an absolute path.
    put(dir.filePath("-legacy.mdb"), "stand-in");
    QByteArray out;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const int status = runConvert(bin, {"import-db", "-legacy.mdb"}, &out);
    QDir::setCurrent(cwd);
    QCOMPARE(status, rc);
    for (const QString& m : messages)
        QVERIFY2(out.contains(m.toUtf8()), out.constData());
    QCOMPARE(rows(dir.filePath("Database/VEXO2005.sqlite"),
                  "select ID, SCALE_NAME, MM_PER_KDOT from SCALE_MODEL where ID > 7 order by ID"),
             newModels);
    QCOMPARE(::scales(bin), table);
}

void TestScaleList::importDbLanguage()
{
    QDir(m_tools.filePath("tables")).removeRecursively();
    put(m_tools.filePath("tables/tables"), "tbl_LANGUAGE\n");
    put(m_tools.filePath("tables/tbl_LANGUAGE.csv"),
        "\"E_NAME\",\"Caption\",\"English\",\"Chinese\",\"Other\"\n"
        "\"quillon.exe\",\"global.softwarename\",\"Scale Label Studio\",\"秤标签\",\"Этикетки\"\n"
        "\"LEGACY.EXE\",\"frmMain.msgWantQuit\",\"Quit, \"\"really\"\"?\nSure?\",,\"Выйти?\"\n"
        "\"LEGACY.EXE\",\"FRMMAIN.MSGWANTQUIT\",\"again\",\"again\",\"again\"\n"
        "\"LEGACY.EXE\",,\"no key\",\"no key\",\"no key\"\n");
    QTemporaryDir dir;
    const QString bin = makeRuntimeTree(dir.path()), mdb = dir.filePath("language.mdb");
    put(mdb, "stand-in");
    QByteArray out;
    QCOMPARE(runConvert(bin, {"import-db", mdb}, &out), 0);
    QVERIFY2(out.contains("given twice; skipped") && out.contains("without program or key"), out.constData());
    const QString lang = dir.filePath("Database/language.sqlite");
    // The key already there keeps its row and takes the new texts.
    QCOMPARE(rows(lang, "select E_NAME, English, Chinese, Other from tbl_LANGUAGE where Caption = 'Global.SoftwareName'"),
             QStringList{"QUILLON.EXE|Scale Label Studio|秤标签|Этикетки"});
    // Null stays Null, so the program still reports the missing text.
    QCOMPARE(rows(lang, "select English, Chinese, Other from tbl_LANGUAGE where E_NAME = 'LEGACY.EXE'"),
             QStringList{"Quit, \"really\"?\nSure?|" + kNull + "|Выйти?"});

    // mdb-export failing on the table leaves the texts as they were.
    put(m_tools.filePath("tables/tbl_LANGUAGE.fail"), "");
    QCOMPARE(runConvert(bin, {"import-db", mdb}, &out), 1);
    QVERIFY2(out.contains("the texts are unchanged"), out.constData());
    QCOMPARE(rows(lang, "select count(*) from tbl_LANGUAGE where E_NAME = 'LEGACY.EXE'"), QStringList{"1"});

    // Without mdbtools at all: a clear message, nothing imported.
    QFile::remove(m_tools.filePath("bin/mdb-tables"));
    QCOMPARE(runConvert(bin, {"import-db", mdb}, &out), 1);
    QVERIFY2(out.contains("mdb-tables cannot be started (is the package mdbtools installed?)"), out.constData());
    put(m_tools.filePath("bin/mdb-tables"), kStandIn, true);
}

QTEST_GUILESS_MAIN(TestScaleList)
#include "test_scalelist.moc"
