// `quillon-convert render` on a temporary runtime tree: the same picture as the
// painter gives in process, PDFs, and refusals that leave no output behind.
#include "context/appcontext.h"
#include "render/labelpainter.h"
#include "model/qlffile.h"
#include "common/viewtables.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace quillon;

class TestRenderTool : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString programDir =
            qEnvironmentVariable("QUILLON_BUILD_PROGRAM_DIR", QStringLiteral(QUILLON_PROGRAM_DIR_BUILD));
        m_exe = programDir + QStringLiteral("/quillon-convert");
        QVERIFY2(QFile::exists(m_exe), qPrintable(m_exe));
        QVERIFY(m_tree.isValid());
        m_bin = m_tree.filePath(QStringLiteral("bin"));
        QDir().mkpath(m_bin);
        for (const QString& f : QDir(programDir).entryList({QStringLiteral("*.dsc")}, QDir::Files))
            QVERIFY(QFile::copy(programDir + QLatin1Char('/') + f, m_bin + QLatin1Char('/') + f));
        QFile ini(m_tree.filePath(QStringLiteral("Vexo2005.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Setting]\r\nLanguage=English\r\n");
        ini.close();
        QVERIFY(m_ctx.LoadAll(m_bin));

        Label lb(m_ctx.tables);
        lb.m_iHoriRulerWidth = 60;
        lb.m_iVertRulerHeight = 40;
        for (int i = 0; i < lb.fieldCount(); i += 3)
            viewtest::place(lb, i, float(i % 40), float(i % 30), 15, 5, (i / 3) % 4);
        m_label = m_tree.filePath(QStringLiteral("sample.QLF"));
        QVERIFY(SaveToFile(lb, m_label).ok);
        m_expected = new Label(m_ctx.tables);
        QVERIFY(OpenFromFile(m_label, *m_expected).ok());
        for (int i = 0; i < m_expected->fieldCount(); ++i)
            m_expected->NormaliseField(i);
    }
    void cleanupTestCase() { delete m_expected; }

    void png()
    {
        const QString out = m_tree.filePath(QStringLiteral("sample.png"));
        QCOMPARE(run({QStringLiteral("render"), m_label, out, QStringLiteral("--zoom"), QStringLiteral("2")}), 0);
        const QImage img(out);
        QCOMPARE(img.width(), int(std::lround(60 * 2.0 * 96 / 25.4)) + 1);
        QCOMPARE(img.height(), int(std::lround(40 * 2.0 * 96 / 25.4)) + 1);
        // What the tool exports is what the painter draws for the canvas.
        const QImage here = RenderLabelToImage(*m_expected, 2.0).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(img.convertToFormat(QImage::Format_RGB32), here);
    }

    void pdf()
    {
        const QString out = m_tree.filePath(QStringLiteral("sample.pdf"));
        QCOMPARE(run({QStringLiteral("render"), m_label, out}), 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("%PDF"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::newRow("zoom too small") << QStringList{QStringLiteral("--zoom"), QStringLiteral("0.4")} << 2 << "a.png";
        QTest::newRow("zoom too large") << QStringList{QStringLiteral("--zoom"), QStringLiteral("5.1")} << 2 << "b.png";
        QTest::newRow("zoom not a number") << QStringList{QStringLiteral("--zoom"), QStringLiteral("x")} << 2 << "c.png";
        QTest::newRow("other extension") << QStringList{} << 2 << "d.jpg";
        QTest::newRow("missing label") << QStringList{QStringLiteral("missing")} << 1 << "e.png";
        QTest::newRow("not a label") << QStringList{QStringLiteral("garbage")} << 1 << "f.png";
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QString in = m_label;
        if (args.value(0) == QLatin1String("missing")) {
            in = m_tree.filePath(QStringLiteral("nothing.QLF"));
            args.clear();
        } else if (args.value(0) == QLatin1String("garbage")) {
            in = m_tree.filePath(QStringLiteral("garbage.QLF"));
            QFile g(in);
            QVERIFY(g.open(QIODevice::WriteOnly));
            g.write("\"Not a label\",0,3\r\n1,2\r\n");
            g.close();
            args.clear();
        }
        const QString outPath = m_tree.filePath(out);
        QCOMPARE(run(QStringList{QStringLiteral("render"), in, outPath} + args), status);
        QVERIFY(!QFile::exists(outPath));
    }

private:
    int run(const QStringList& args)
    {
        QProcess p;
        p.start(m_exe, QStringList{QStringLiteral("--program-dir"), m_bin} + args);
        if (!p.waitForFinished(60000))
            return -1;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QTemporaryDir m_tree;
    QString m_exe, m_bin, m_label;
    AppContext m_ctx;
    Label* m_expected = nullptr;
};

QTEST_MAIN(TestRenderTool)
#include "test_render_tool.moc"
