// `quillon-convert render` on a temporary runtime tree: the same picture as the
// painter gives in process, PDFs, and refusals that leave no output behind.
#include "context/appcontext.h"
#include "context/barcodeformats.h"
#include "platform/database.h"
#include "render/labelpainter.h"
#include "model/qlffile.h"
#include "common/testtables.h"

#include "common/simprocess.h"

#include <QtTest>

using namespace quillon;
using namespace transfertest;

class TestRenderTool : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_bin = makeRuntimeTree(m_tree.path());
        QVERIFY(m_ctx.LoadAll(m_bin));
        Label lb(m_ctx.tables);
        lb.m_iHoriRulerWidth = 60;
        lb.m_iVertRulerHeight = 40;
        for (int i = 0; i < lb.fieldCount(); i += 3)
            test::place(lb, i, float(i % 40), float(i % 30), 15, 5, (i / 3) % 4);
        m_label = m_tree.filePath(QStringLiteral("sample.QLF"));
        QVERIFY(SaveToFile(lb, m_label).ok);
    }

    void pngAndPdf()
    {
        const QString png = m_tree.filePath(QStringLiteral("sample.png"));
        QCOMPARE(runConvert(m_bin, {"render", m_label, png, "--zoom", "2"}), 0);
        const QImage img(png);
        // What the tool exports, at its zoom, is what the painter draws for the canvas.
        Label expected(m_ctx.tables);
        QVERIFY(OpenFromFile(m_label, expected).ok());
        for (int i = 0; i < expected.fieldCount(); ++i)
            expected.NormaliseField(i);
        QCOMPARE(img.convertToFormat(QImage::Format_RGB32),
                 RenderLabelToImage(expected, 2.0).convertToFormat(QImage::Format_RGB32));

        const QString pdf = m_tree.filePath(QStringLiteral("sample.pdf"));
        QCOMPARE(runConvert(m_bin, {QStringLiteral("render"), m_label, pdf}), 0);
        QVERIFY(readAll(pdf).startsWith("%PDF"));
    }

    // Refusals leave no output behind.
    void refusals()
    {
        QVERIFY(writeAll(m_tree.filePath(QStringLiteral("garbage.QLF")), "\"Not a label\",0,3\r\n1,2\r\n"));
        const struct {
            const char *in, *zoom; // in "": the sample label
            int status;
            const char* out;
        } cases[] = {{"", "0.4", 2, "a.png"}, {"", "5.1", 2, "b.png"}, {"", "x", 2, "c.png"}, {"", "", 2, "d.jpg"},
                     {"nothing.QLF", "", 1, "e.png"}, {"garbage.QLF", "", 1, "f.png"}};
        for (const auto& c : cases) {
            const QString out = m_tree.filePath(QLatin1String(c.out));
            QStringList args{QStringLiteral("render"), *c.in ? m_tree.filePath(QLatin1String(c.in)) : m_label, out};
            if (*c.zoom)
                args << QStringLiteral("--zoom") << QLatin1String(c.zoom);
            QCOMPARE(runConvert(m_bin, args), c.status);
            QVERIFY(!QFile::exists(out));
        }
    }

    // check: status 3 when a field has no room, 0 when all fit, 1 on bad input; the
    // barcode is the one the label was given, or the one named on the command line.
    void check()
    {
        Label lb(m_ctx.tables);
        const auto& defs = m_ctx.tables.g_arrFieldDef;
        const int code = int(std::find_if(defs.begin(), defs.end(), [](auto& d) { return d.FieldType == FT_B1; })
                             - defs.begin());
        test::place(lb, code, 2, 2, 15, 10, 0);   // 120 dots: room for EAN-8, not for ITF-14
        const QString label = m_tree.filePath(QStringLiteral("code.QLF"));
        QVERIFY(SaveToFile(lb, label).ok);
        QSqlDatabase db = m_ctx.db().mainDb();
        QVERIFY(SetLabelBarcodeFormat(db, label, QStringLiteral("Carton ITF-14")));
        const struct { QStringList options; int status; } cases[] = {
            {{}, 3},
            {{"--barcode-format", "In-store EAN-8"}, 0},
            {{"--barcode-format", "Nothing like it"}, 1},
            {{"--sample", m_tree.filePath(QStringLiteral("missing.ini"))}, 1}};
        for (const auto& c : cases) {
            QByteArray out;
            QCOMPARE(runConvert(m_bin, QStringList{QStringLiteral("check"), label} + c.options, &out), c.status);
            QCOMPARE(out.count('\n'), c.status == 0 ? 0 : 1);   // the misfit, or what was wrong
        }
    }

private:
    QTemporaryDir m_tree;
    QString m_bin, m_label;
    AppContext m_ctx;
};

QTEST_MAIN(TestRenderTool)
#include "test_render_tool.moc"
