// Runs the real quillon-convert on files in a temporary runtime tree.
#include "common/simprocess.h"
#include "context/appcontext.h"
#include "platform/database.h"
#include "model/f52data.h"
#include "model/qlffile.h"
#include "model/receiveddata.h"

#include <QSqlQuery>
#include <QTest>

using namespace quillon;
using namespace transfertest;

namespace {

// The label a fresh program would build for the tree, with some fields placed.
Label sampleLabel(const AppContext& ctx)
{
    Label l(ctx.tables);
    l.m_iFormatNo = 12;
    for (int i = 0; i < l.fieldCount(); ++i) {
        FieldRecord& r = l.m_arrFields[i];
        if (i % 2 == 0) {
            r.bUsed = true;
            r.sngX = 1.5f + float(i % 7);
            r.sngY = 2.0f + float(i % 5);
            r.iTextLine = 0;
        }
        l.NormaliseField(i);
    }
    return l;
}

} // namespace

class TestConvert : public QObject {
    Q_OBJECT
private slots:
    void usage()
    {
        const QStringList cases[] = {{}, {"explode", "a", "b"}, {"export-format", "a.QLF"},
                                     {"export-text", "a.QLF", "b.DAT", "--type", "12"},
                                     {"export-format", "a", "b", "--type", "10"},   // option of another command
                                     {"import-format", "a", "b", "--model-index"}}; // option without value
        QTemporaryDir dir;
        const QString bin = makeRuntimeTree(dir.path());
        for (const QStringList& args : cases) {
            QByteArray err;
            QCOMPARE(runConvert(bin, args, &err), 2);
            QVERIFY(err.contains("usage:"));
        }
    }

    void formatRoundTrip()
    {
        QTemporaryDir dir;
        const QString bin = makeRuntimeTree(dir.path());
        AppContext ctx;
        QVERIFY(ctx.LoadAll(bin));
        const Label a = sampleLabel(ctx);
        Label b = a;
        b.m_iFormatNo = 13;
        b.m_arrFields[0].bUsed = false;
        const QString f52 = dir.filePath("F52.DAT"), out = dir.filePath("labels");
        QVERIFY(writeAll(f52, (FormatRecord(a) + FormatRecord(b)).toLatin1() + "\r\n"));
        QByteArray err;
        QCOMPARE(runConvert(bin, {"import-format", f52, out}, &err), 0);
        QVERIFY2(err.isEmpty(), err.constData());
        QCOMPARE(QDir(out).entryList({"*.QLF"}), (QStringList{"1.QLF", "2.QLF"}));
        Label opened(ctx.tables);
        QVERIFY(OpenFromFile(out + "/1.QLF", opened).ok());
        QCOMPARE(FormatRecord(opened), FormatRecord(a));
        QCOMPARE(runConvert(bin, {"export-format", out + "/2.QLF", dir.filePath("back.DAT")}), 0);
        QCOMPARE(readAll(dir.filePath("back.DAT")), FormatRecord(b).toLatin1() + "\r\n");
    }

    void textRoundTrip()
    {
        const struct {
            QByteArray setting;
            const char* text;
            int type;
        } cases[] = {
            {"", "Crème & Co, Lyon", 11},
            {"SetLanguageCodepage=1\r\nLangeCodepageToConvert=0\r\n", "Żółć", 10},
            {"SetLanguageCodepage=1\r\nLangeCodepageToConvert=1\r\n", "Ёлка", 10},
            {"AnsiCodepage=936\r\n", "北京烤鸭", 11},
            {"SetLanguageCodepage=1\r\nLangeCodepageToConvert=2\r\n", "فروشگاه بزرگ تهران", 11},
        };
        for (const auto& c : cases) {
            QTemporaryDir dir;
            const QString bin = makeRuntimeTree(dir.path(), c.setting);
            AppContext ctx;
            QVERIFY(ctx.LoadAll(bin));
            Label l = sampleLabel(ctx);
            int field = 0;
            while (field < l.fieldCount() && l.fieldType(field) != c.type)
                ++field;
            QVERIFY(field < l.fieldCount());
            l.m_arrFields[field].iTextLine = 1;
            l.m_arrFields[field].strText[1] = QString::fromUtf8(c.text);
            const QString with = dir.filePath("with.QLF"), without = dir.filePath("without.QLF");
            const QString data = dir.filePath("F56.DAT"), out = dir.filePath("out.QLF"), t = QString::number(c.type);
            QVERIFY(SaveToFile(l, with).ok && SaveToFile(sampleLabel(ctx), without).ok);
            QCOMPARE(runConvert(bin, {"export-text", with, data, "--type", t}), 0);
            QCOMPARE(runConvert(bin, {"import-text", without, data, "--type", t, out}), 0);
            Label back(ctx.tables);
            QVERIFY(OpenFromFile(out, back).ok());
            QCOMPARE(back.m_arrFields[field].strText[1], QString::fromUtf8(c.text));
            QCOMPARE(back.m_arrFields[field].iTextLine, qint16(1));
        }
    }

    // A label received from a scale and sent back is the label that was sent, and the
    // converter makes it exactly as the program's own receive does.
    void receivedLabelsKeepEveryValue()
    {
        QTemporaryDir dir;
        const QString bin = makeRuntimeTree(dir.path());
        AppContext ctx;
        QVERIFY(ctx.LoadAll(bin));
        const Tables& t = ctx.tables;
        QVERIFY(t.g_varLogoSizeList.size() > 1 && t.g_arrScaleModel.size() > 1);
        int logo = 0;
        while (logo < t.g_arrFieldDef.size() && t.g_arrFieldDef[logo].FieldType != FT_B2)
            ++logo;
        QVERIFY(logo < t.g_arrFieldDef.size());
        // Every entry of the shipped list, none, and a value the list lacks (kept as the scale had it).
        QStringList sizes = t.g_varLogoSizeList;
        sizes << QString() << QStringLiteral("42");
        for (const int model : {0, int(t.g_arrScaleModel.size()) - 1}) {
            for (const QString& size : sizes) {
                Label sent = sampleLabel(ctx);
                sent.m_iScaleModelIndex = qint16(model);
                sent.m_arrFields[logo].bUsed = true;
                sent.m_arrFields[logo].strLogoSize = size;
                const QString f52 = dir.filePath("F52.DAT"), out = dir.filePath("in");
                QVERIFY(writeAll(f52, FormatRecord(sent).toLatin1() + "\r\n"));
                QCOMPARE(runConvert(bin, {"import-format", f52, out, "--model-index", QString::number(model)}), 0);
                Label received(t), inProgram(t);
                QVERIFY(OpenFromFile(out + "/1.QLF", received).ok());
                QVERIFY(ImportReceivedRecord(inProgram, FormatRecord(sent), model));
                QCOMPARE(received.m_arrFields[logo].strLogoSize, size);
                QCOMPARE(FormatFileBytes(received), FormatFileBytes(inProgram));
                QCOMPARE(FormatRecord(received), FormatRecord(sent));
            }
        }
    }

    // Many labels in one run: each input has its line and fails alone; outputs equal single runs.
    void batch()
    {
        QTemporaryDir dir;
        const QString bin = makeRuntimeTree(dir.path());
        AppContext ctx;
        QVERIFY(ctx.LoadAll(bin));
        const QString a = dir.filePath("a.QLF"), b = dir.filePath("b.QLF"), bad = dir.filePath("bad.QLF");
        const QString twin = dir.filePath("twin/a.QLF"), out = dir.filePath("out");
        Label second = sampleLabel(ctx);
        second.m_iFormatNo = 40;
        QVERIFY(SaveToFile(sampleLabel(ctx), a).ok && SaveToFile(second, b).ok && writeAll(bad, "\"Other\"\r\n"));
        QVERIFY(QDir().mkpath(dir.filePath("twin")) && QFile::copy(a, twin));
        QByteArray err;
        QCOMPARE(runConvert(bin, {"export-format", "--out-dir", out, a, bad, b, twin}, &err), 1);
        const QList<QByteArray> lines = err.trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].endsWith("ok: " + QDir::toNativeSeparators(out + "/a.DAT").toLocal8Bit()));
        QVERIFY(lines[1].contains("format error") && lines[2].contains("ok:") && lines[3].contains("already wrote"));
        QCOMPARE(runConvert(bin, {"export-format", b, dir.filePath("single.DAT")}), 0);
        QCOMPARE(readAll(out + "/b.DAT"), readAll(dir.filePath("single.DAT")));
        QVERIFY(!QFile::exists(out + "/bad.DAT"));

        // Text data: pairs of a label and its data file; an output may never replace an input.
        QCOMPARE(runConvert(bin, {"export-text", "--out-dir", out, a, "--type", "10"}), 0);
        QCOMPARE(runConvert(bin, {"import-text", "--out-dir", dir.filePath("t"), b, out + "/a.DAT", "--type", "10"}), 0);
        QVERIFY(QFile::exists(dir.filePath("t/b.QLF")));
        QCOMPARE(runConvert(bin, {"import-text", "--out-dir", dir.path(), a, out + "/a.DAT", "--type", "10"}, &err), 1);
        QVERIFY(err.contains("is one of the inputs"));

        const QStringList usage[] = {{"export-format", "--out-dir", out},
                                     {"import-text", "--out-dir", out, a, "--type", "10"},
                                     {"import-format", "--out-dir", out, a}};
        for (const QStringList& args : usage)
            QCOMPARE(runConvert(bin, args), 2);
    }

    // A refused input is named in one line of error, and no output is written.
    // send and receive without windows, through the real driver and simulator: one line per scale
    // or JSON, and the exit status a script reads; a partial receive through a stand-in driver.
    void headlessSendAndReceive()
    {
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY(QDir().mkpath(dir.filePath("sim")));
        QVERIFY(sim.start({"127.0.11.1", "127.0.11.2:hang", "127.0.11.3:refuse", "127.0.11.4"}, dir.filePath("sim")));
        const QString bin = makeRuntimeTree(dir.path(), "[Transfer]\r\nPort=" + QByteArray::number(sim.port())
                                                            + "\r\nReplyTimeoutMs=700\r\n");
        QVERIFY(QFile::copy(driverPath(), bin + "/vexowtcp"));
        AppContext ctx;
        QVERIFY(ctx.LoadAll(bin));
        const QString label = dir.filePath("a.QLF"), out = dir.filePath("out");
        QVERIFY(SaveToFile(sampleLabel(ctx), label).ok);
        const QByteArray json = R"({"address":"127.0.11.4","code":0,"text":"Transfer completed","type":%1})" "\n";
        const struct {
            QStringList args;
            int status;
            QByteArray output;   // all of it, or with a leading "~" a part of it
        } cases[] = {
            {{"receive", "127.0.11.4", out}, 3, "127.0.11.4 0 received\n127.0.11.4: the scale holds no label\n"},
            {{"send", label, "--to", "127.0.11.1", "127.0.11.2", "--to", "127.0.11.3"}, 3,
             "127.0.11.1 0 received\n127.0.11.2 3 timed out\n127.0.11.3 2 unreachable\n"},
            {{"send", label, "--json", "--to", "127.0.11.4"}, 0,
             QByteArray(json).replace("%1", "52") + QByteArray(json).replace("%1", "56")
                 + QByteArray(json).replace("%1", "61")},
            {{"receive", "127.0.11.1", out}, 0, "127.0.11.1 0 received\n"},
            {{"receive", "127.0.11.3", out}, 3, "127.0.11.3 2 unreachable\n"},
            {{"send", label, "--to", "127.0.11.256"}, 1, "~not a scale address"},
            {{"receive", "../x", out}, 1, "~not a scale address"},
            {{"send", label, "--store", "North"}, 1, "~no scale to send to"},
            {{"send", dir.filePath("missing.QLF"), "--all"}, 1, ""},
            {{"send", label}, 2, "~exactly one of"},
            {{"send", label, "--all", "--to", "127.0.11.1"}, 2, "~exactly one of"},
            {{"send", label, "--to"}, 2, "~needs one or more"},
        };
        for (const auto& c : cases) {
            QByteArray output;
            QCOMPARE(runConvert(bin, c.args, &output), c.status);
            if (c.output.startsWith('~'))
                QVERIFY2(output.contains(c.output.mid(1)), output.constData());
            else if (!c.output.isEmpty())
                QCOMPARE(output, c.output);
        }
        QCOMPARE(QDir(out).entryList({"*.QLF"}), QStringList{"1.QLF"});
        Label back(ctx.tables);
        QVERIFY(OpenFromFile(out + "/1.QLF", back).ok());
        QCOMPARE(FormatRecord(back), FormatRecord(sampleLabel(ctx)));

        // --store takes one store's scales and --all every scale.
        {
            QSqlQuery q(ctx.db().mainDb());
            const QVariantList rows[] = {{1, "127.0.11.1", "North"}, {4, "127.0.11.4", "South"}};
            for (const QVariantList& r : rows) {
                q.prepare("insert into SCALE(SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID,Store) values(?,97,?,1,1,?)");
                for (const QVariant& v : r)
                    q.addBindValue(v);
                QVERIFY(q.exec());
            }
        }
        QByteArray stores;
        QCOMPARE(runConvert(bin, {"send", label, "--store", "North"}, &stores), 0);
        QCOMPARE(stores, QByteArray("127.0.11.1 0 received\n"));
        QCOMPARE(runConvert(bin, {"send", label, "--all"}, &stores), 0);
        QCOMPARE(stores, QByteArray("127.0.11.1 0 received\n127.0.11.4 0 received\n"));

        // SIGTERM (a cron job's time limit) cancels the run: what finished stands, the rest is cancelled.
        {
            QVERIFY(writeAll(dir.filePath("Vexo2005.INI"), "[Setting]\r\nLanguage=English\r\n[Transfer]\r\nPort="
                                                               + QByteArray::number(sim.port()) + "\r\n"));
            QProcess p;
            p.start(programDir() + "/quillon-convert", {"--program-dir", bin, "send", label, "--to", "127.0.11.1",
                                                        "127.0.11.2"});
            QVERIFY(QTest::qWaitFor([&] { return sim.log().count("127.0.11.2 WR 52") == 2; }, 10000));
            p.terminate();
            QVERIFY(p.waitForFinished(5000));
            QCOMPARE(p.exitCode(), 3);
            QCOMPARE(p.readAllStandardOutput(), QByteArray("127.0.11.1 97 inconsistent (new format, old texts)\n"
                                                           "127.0.11.2 11 cancelled\n"));
        }

        // The format arrives, the texts time out: the label is saved and the run counts as failed.
        QVERIFY(QFile::remove(bin + "/vexowtcp"));
        QVERIFY(writeAll(bin + "/vexowtcp", "#!/bin/sh\nfor a; do :; done\ncase \"$*\" in *'RD 52'*) printf '"
                                               + FormatRecord(sampleLabel(ctx)).toLatin1()
                                               + "\\r\\n' > SM${a}F52.DAT; printf \"$a:0\" > result;;\n"
                                                 " *) printf \"$a:3\" > result;;\nesac\n"));
        QVERIFY(QFile::setPermissions(bin + "/vexowtcp", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QByteArray output;
        QCOMPARE(runConvert(bin, {"receive", "127.0.11.9", dir.filePath("partial")}, &output), 3);
        QVERIFY2(output.contains("127.0.11.9 97 ") && output.contains("saved without its text data: timed out"),
                 output.constData());
        QCOMPARE(QDir(dir.filePath("partial")).entryList({"*.QLF"}), QStringList{"1.QLF"});
    }

    void badInput()
    {
        const struct {
            const char* command;
            QByteArray input; // "<none>": no file
            QByteArray message;
        } cases[] = {
            {"import-format", "0000000100XX\r\n", "not hexadecimal"},
            {"import-format", "000000010\r\n", "odd number"},
            {"import-format", "0000000100FF00000000000200\r\n", "incomplete"}, // length past the end
            {"export-format", "\"Other\",0,1\r\n", "format error"},             // a QLF of another program
            {"export-format", "", "format error"},
            {"export-format", "<none>", "annot read"},
            {"import-text", "0000000100080000Z\r\n", "not hexadecimal"},
        };
        QTemporaryDir dir;
        const QString bin = makeRuntimeTree(dir.path());
        AppContext ctx;
        QVERIFY(ctx.LoadAll(bin));
        const QString label = dir.filePath("label.QLF"), in = dir.filePath("in.DAT"), out = dir.filePath("out");
        QVERIFY(SaveToFile(sampleLabel(ctx), label).ok);
        for (const auto& c : cases) {
            QFile::remove(in);
            QVERIFY(c.input == "<none>" || writeAll(in, c.input));
            QVERIFY(writeAll(out, "keep me"));
            const QString command = QString::fromLatin1(c.command);
            QStringList args = command == "import-format"   ? QStringList{command, in, dir.filePath("labels")}
                               : command == "export-format" ? QStringList{command, in, out}
                                                            : QStringList{command, label, in, "--type", "10", out};
            QByteArray err;
            QCOMPARE(runConvert(bin, args, &err), 1);
            QVERIFY2(err.contains(c.message) && err.contains(QDir::toNativeSeparators(in).toLocal8Bit()), err.constData());
            QCOMPARE(err.count('\n'), 1);
            QCOMPARE(readAll(out), QByteArray("keep me"));
            QVERIFY(!QDir(dir.filePath("labels")).exists());
        }
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
