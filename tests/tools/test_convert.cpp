// Runs the real quillon-convert on files in a temporary runtime tree.
#include "common/simprocess.h"
#include "context/appcontext.h"
#include "model/f52data.h"
#include "model/qlffile.h"

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

    // A refused input is named in one line of error, and no output is written.
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
