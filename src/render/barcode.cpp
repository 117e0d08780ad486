#include "render/barcode.h"
#include <QFont>
#include <QHash>
#include <QPainter>
#include <zint.h>
#include <cmath>
#include <memory>

namespace quillon {

namespace {

struct ZintDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

bool moduleSet(const zint_symbol* s, int row, int col)
{
    return (s->encoded_data[row][col >> 3] >> (col & 7)) & 1;
}

} // namespace

BarcodeSymbol EncodeBarcode(BarcodeKind kind, const QString& data)
{
    // The same few symbols are drawn on every repaint.
    thread_local QHash<QString, BarcodeSymbol> cache;
    const QString key = QString::number(int(kind)) + QLatin1Char('|') + data;
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;

    BarcodeSymbol out;
    std::unique_ptr<zint_symbol, ZintDeleter> s(ZBarcode_Create());
    QByteArray bytes = data.toUtf8();
    switch (kind) {
    case BarcodeKind::Ean13: s->symbology = BARCODE_EANX_CHK; out.quiet = 11; break;
    case BarcodeKind::Ean8: s->symbology = BARCODE_EANX_CHK; out.quiet = 7; break;
    case BarcodeKind::Itf14:
        s->symbology = BARCODE_ITF14;
        bytes.chop(1);   // libzint adds the check digit itself
        out.quiet = 10;
        break;
    case BarcodeKind::Code128: s->symbology = BARCODE_CODE128; out.quiet = 10; break;
    case BarcodeKind::QrCode:
        s->symbology = BARCODE_QRCODE;
        s->input_mode = UNICODE_MODE;
        out.quiet = 4;
        break;
    }
    if (kind == BarcodeKind::Itf14)
        s->border_width = 0;
    s->show_hrt = 0;
    const int rc = ZBarcode_Encode(s.get(), reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()));
    if (rc >= ZINT_ERROR) {
        out.error = QString::fromLatin1(s->errtxt);
    } else {
        out.width = s->width;
        for (int r = 0; r < s->rows && r < 200; ++r) {
            QBitArray row(s->width);
            for (int c = 0; c < s->width && c < 1152; ++c)
                row.setBit(c, moduleSet(s.get(), r, c));
            out.rows << row;
        }
    }
    if (cache.size() > 64)
        cache.clear();
    cache.insert(key, out);
    return out;
}

bool DrawBarcode(QPainter& p, const BarcodeSymbol& symbol, const QRectF& box, double dotPx, const QString& text)
{
    if (!symbol.ok() || dotPx <= 0)
        return false;
    const int boxDots = int(std::floor(box.width() / dotPx + 1e-6));
    const int perModule = boxDots / symbol.modulesAcross();
    if (perModule < 1)
        return false;
    const double m = perModule * dotPx;
    const bool matrix = symbol.rows.size() > 1;
    const double symbolW = symbol.width * m;
    // Centred on whole dots.
    const double left = box.left() + std::floor((box.width() - symbolW) / 2 / dotPx) * dotPx;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    if (matrix) {
        const double top = box.top() + std::max(0.0, std::floor((box.height() - symbol.rows.size() * m) / 2 / dotPx) * dotPx);
        for (int r = 0; r < symbol.rows.size(); ++r)
            for (int c = 0; c < symbol.width; ++c)
                if (symbol.rows[r].testBit(c))
                    p.drawRect(QRectF(left + c * m, top + r * m, m, m));
    } else {
        // Digits under the bars when the box is high enough for them.
        const double textH = text.isEmpty() ? 0 : std::min(box.height() * 0.22, 9 * m);
        const double barH = box.height() - textH;
        const QBitArray& row = symbol.rows.value(0);
        for (int c = 0; c < symbol.width;) {
            if (!row.testBit(c)) {
                ++c;
                continue;
            }
            int run = 1;
            while (c + run < symbol.width && row.testBit(c + run))
                ++run;
            p.drawRect(QRectF(left + c * m, box.top(), run * m, barH));
            c += run;
        }
        if (textH >= 4) {
            QFont f(QStringLiteral("DejaVu Sans Mono"));
            f.setPixelSize(std::max(1, int(textH * 0.85)));
            p.setFont(f);
            p.setPen(Qt::black);
            p.drawText(QRectF(box.left(), box.top() + barH, box.width(), textH), Qt::AlignCenter, text);
        }
    }
    p.restore();
    return true;
}

} // namespace quillon
