// The label painter and the rulers' scales, without a window (the rulers' marks: test_canvas).
//
// The painter's output is compared with tests/render/reference/label.png. After an
// intended change of the drawing, regenerate it with
//     QUILLON_UPDATE_REFERENCE=1 ctest -R test_render
// and look at the new image before committing it.
#include "common/simprocess.h"
#include "common/testtables.h"
#include "editor/rulers.h"
#include "render/labelpainter.h"
#include <QPainter>
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillon;
using namespace quillon::test;
using transfertest::readAll;

class TestRender : public QObject {
    Q_OBJECT
    const Tables t = makeTables();

    Label sampleLabel()
    {
        Label lb(t);
        place(lb, 0, 2, 2, 12, 7);      // B1
        place(lb, 2, 16, 2, 20, 3);     // B3
        place(lb, 5, 2, 12, 24, 5);     // C1 upright, then C2 to C4 at 90, 180 and 270
        place(lb, 6, 40, 12, 5, 24, 1);
        place(lb, 7, 28, 12, 10, 5, 2);
        place(lb, 8, 48, 12, 5, 20, 3);
        place(lb, 9, 2, 20, 1, 1);      // N1: size from font and figures
        lb.m_arrFields[10].iTextLine = 2;
        lb.m_arrFields[10].strText[1] = QStringLiteral("Fresh bread");
        lb.m_arrFields[10].strText[2] = QStringLiteral("second line");
        place(lb, 10, 2, 30, 30, 6);
        place(lb, 11, 2, 40, 40, 6);    // SHOPNAME without text: its name
        return lb;
    }

private slots:
    // The preview's barcode is a real symbol: rendered and decoded again, every
    // symbology gives the sample item's data, check digit included.
    void barcodesDecode()
    {
        const std::tuple<BarcodeKind, ZXing::BarcodeFormat, QString> rows[] = {
            {BarcodeKind::Ean13, ZXing::BarcodeFormat::EAN13, "20PPPPPRRRRR"},
            {BarcodeKind::Ean8, ZXing::BarcodeFormat::EAN8, "2PPPPPP"},
            {BarcodeKind::Itf14, ZXing::BarcodeFormat::ITF, "1PPPPPPRRRRRR"},
            {BarcodeKind::Code128, ZXing::BarcodeFormat::Code128, ""},
            {BarcodeKind::QrCode, ZXing::BarcodeFormat::QRCode, ""}};
        for (const auto& [kind, format, pattern] : rows) {
            SampleItem item = DefaultSampleItem(QStringLiteral("English"));
            item.barcode = kind;
            item.barcodePattern = pattern;
            Label lb(t);
            place(lb, FT_B1, 2, 2, 50, 40);
            QVERIFY(FieldFitOf(lb, FT_B1, item).fits);
            const QImage img = RenderLabelToImage(lb, 3.0, &item).convertToFormat(QImage::Format_Grayscale8);
            ZXing::DecodeHints hints;
            hints.setFormats(format);
            hints.setTryHarder(true);
            const ZXing::Result r = ZXing::ReadBarcode(
                {img.constBits(), img.width(), img.height(), ZXing::ImageFormat::Lum, int(img.bytesPerLine())}, hints);
            QVERIFY2(r.isValid(), qPrintable(BarcodeData(item)));
            QCOMPARE(QString::fromStdString(r.text()), BarcodeData(item));
        }
        // Too narrow for one dot a module: not drawn, and outlined as not fitting.
        SampleItem item = DefaultSampleItem(QStringLiteral("English"));
        Label lb(t);
        place(lb, FT_B1, 2, 2, 12, 10);
        QVERIFY(!FieldFitOf(lb, FT_B1, item).fits);
    }

    void rulerScale()
    {
        const struct { float zoom; int labelMM, length; const char* numbers; int mmTicks; } cases[] = {
            {1.0f, 55, 60, "0 10 20 30 40 50", 56},
            {2.5f, 55, 60, "0 10 20 30 40 50 5 15 25 35 45 55", 56},
            {0.5f, 7, 10, "0", 8},
            {5.0f, 0, 10, "0", 1},
        };
        for (const auto& c : cases) {
            QCOMPARE(RulerLengthMM(c.labelMM), c.length);
            QStringList shown;
            int millimetre = 0;
            for (const RulerTick& tick : RulerTicks(c.zoom, c.labelMM)) {
                if (!tick.number.isEmpty())
                    shown << tick.number;
                millimetre += tick.from == 4.0f;
                QVERIFY(tick.mm >= 0 && tick.mm <= c.labelMM);
            }
            QCOMPARE(shown.join(u' '), QLatin1String(c.numbers));
            QCOMPARE(millimetre, c.mmTicks);
        }
    }

    void imageMatchesReference()
    {
        const QImage img = RenderLabelToImage(sampleLabel(), 2.0).convertToFormat(QImage::Format_RGB32);
        const QString ref = QStringLiteral(QUILLON_SOURCE_DIR "/tests/render/reference/label.png");
        if (qEnvironmentVariableIsSet("QUILLON_UPDATE_REFERENCE")) {
            QVERIFY(img.save(ref));
            QSKIP("reference image written");
        }
        const QImage want = QImage(ref).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(img.size(), want.size());
        // Font rasterisers differ a little between machines: allow soft differences
        // and a few strongly differing pixels at glyph edges.
        int strong = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb a = img.pixel(x, y), b = want.pixel(x, y);
                strong += qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))))
                          > 64;
            }
        QVERIFY2(strong <= img.width() * img.height() / 200, qPrintable(QString::number(strong)));
    }

    // At a device ratio of 1.5 the separator is one solid device pixel of its own colour, never a
    // blend from a scaled bitmap; a Persian caption sits at the right of its box, a Latin one at the left.
    void deviceRatioAndDirection()
    {
        const double dpr = 1.5, k = 2.0 * 96 / 25.4;
        for (int mode : {0, 2}) {
            Tables pt = t;
            pt.g_iLangeCodepageToConvert = qint16(mode);
            Label lb(pt);
            lb.m_arrFields[10].iTextLine = 1;
            lb.m_arrFields[10].strText[1] = mode == 2 ? QStringLiteral("\u0646\u0627\u0646") : QStringLiteral("Bread");
            lb.m_arrFields[10].strCharSize[1] = QStringLiteral("Unknown"); // drawn in the first font's size
            place(lb, 10, 0, 20, 50, 6);
            LabelPaintOptions o;
            o.zoom = 2.0;
            o.pxPerMM = k;
            QImage img(QSize(450, 400) * dpr, QImage::Format_RGB32);
            img.setDevicePixelRatio(dpr);
            img.fill(Qt::black);
            QPainter p(&img);
            PaintLabel(p, lb, o);
            p.end();
            QList<QColor> grey; // down a column across the separator, without the white and the frame
            for (int y = 0; y < int(15 * k * dpr); ++y)
                if (const QColor c = img.pixelColor(int(200 * dpr), y); c.red() > 150 && c.red() < 250)
                    grey << c;
            QVERIFY(grey.size() >= 1 && grey.size() <= 2 && grey.count(QColor(210, 210, 210)) == grey.size());
            double sum = 0;
            int dark = 0;
            for (int y = int((20 * k + 2) * dpr); y < int((26 * k - 2) * dpr); ++y)
                for (int x = int(2 * dpr); x < int((50 * k - 2) * dpr); ++x)
                    if (qGray(img.pixel(x, y)) < 100)
                        sum += x, ++dark;
            QVERIFY(dark > 0);
            QCOMPARE(sum / dark > 25 * k * dpr, mode == 2);
        }
    }

    // 55 x 50 mm in whole points; a folder that does not exist is refused.
    void pdfHasTheLabelSize()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("label.pdf"));
        QVERIFY(RenderLabelToPdf(sampleLabel(), path).ok);
        const QString pdf = QString::fromLatin1(readAll(path));
        const auto m = QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]")).match(pdf);
        QVERIFY(pdf.startsWith(QLatin1String("%PDF")) && m.hasMatch());
        QVERIFY(qAbs(m.captured(1).toDouble() - 55 * 72 / 25.4) <= 0.5);
        QVERIFY(qAbs(m.captured(2).toDouble() - 50 * 72 / 25.4) <= 0.5);
        QVERIFY(!RenderLabelToPdf(sampleLabel(), dir.filePath(QStringLiteral("missing/dir/x.pdf"))).ok);
    }
};

QTEST_MAIN(TestRender)
#include "test_render.moc"
